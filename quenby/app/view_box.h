// The page view: the current document's lines as formatted text, one list
// item per line record, measured by the layout pass and painted by the
// paint pass. In page view the document is cut into pages of the printer's
// page size (scaled to the window) with their header and footer bands.
//
// Links never run a program without the user's consent: web targets go to
// the shell, document targets open in a tab when their file exists, and
// anything else starts only after a Yes/No question that shows the target.
#pragma once

#include <windows.h>

#include <cstdint>
#include <vector>

#include "quenby/app/layout_pass.h"
#include "quenby/app/line_box.h"
#include "quenby/app/pictures.h"
#include "quenby/app/print_header.h"

namespace AppLayer {

class GuiViewBox : public GuiLineBox,
                   public WinLayer::WinListBoxItemCreater,
                   private WinPrintListBox::Pages,
                   public WinPrintListBox::PageSource {
public:
    GuiViewBox();
    ~GuiViewBox() override;

    WinLayer::WinListBoxItemUnit* Make() override { return new GuiListBoxItemUnit(); }

    GuiTextDraw textDraw;
    GuiLayout layout;
    // Decoded pictures; it goes with the main items, before GDI+ stops.
    GuiPictureCache pictures;
    std::vector<WinPrintHeader> pageHeaders;
    std::vector<WinPrintHeader> pageFooters;
    int32_t pageCount = 0;
    // The page rectangle's top and bottom (0 on the screen).
    int32_t pageRectTop = 0;
    int32_t pageRectBottom = 0;
    // Bit of drawState: a page is being painted for the printer (the bands
    // go without their screen colour).
    enum : uint16_t { DrawPrinterPage = 0x04 };
    uint16_t drawState = 0;

    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    bool IsPageBreak(const JobLineUnit& line) const { return line.kind == DocLayer::KindPageBreak; }
    void ClipTableOfContents() override;
    void BuildContextMenu(WinLayer::WinPopupMenu& menu) override;

    // ---- the list's drawing part -------------------------------------------------
    void DrawItemOf(WinLayer::WinDrawContext& dc, const RECT& rect, int32_t index, WinLayer::WinListBoxItemUnit& unit,
                    JobLineUnit* line) override;
    void MeasureItemOf(WinLayer::WinDrawContext& dc, RECT& size, int32_t index, WinLayer::WinListBoxItemUnit& unit,
                       JobLineUnit* line) override;
    void MeasureRow(WinLayer::WinDrawContext& dc, SIZE& size) override;
    void SetPaintRect(WinLayer::WinDrawContext& dc, const RECT& rect, POINT origin) override;
    void EndMeasure(WinLayer::WinDrawContext& dc, SIZE& content, int32_t count) override;
    void PaintItems(WinLayer::WinDrawContext& dc, const RECT& rect, POINT origin) override;
    // Page view's pictures, drawn on the window at the size they show at
    // over the page scaled onto it (the page picture leaves them out).
    void DrawScaledOver(HDC target, const RECT& shown, SIZE size) override;
    // Page view paints at the printer's size and shrinks the picture onto
    // the window: the picture is kept, and a step paints only the rows it
    // changed (a line draws inside its item, alike wherever it stands).
    bool KeepsPicture() const override { return PageMode(); }
    // The style set the passes paint with and the drawing state.
    uint64_t PictureStamp() const override;
    // How far the laid-out lines draw past their rows (the last layout's
    // furthest, page view's cuts included).
    WinLayer::WinInkReach InkReach() const override { return inkReach_; }

    void PaintLine(HDC dc, const RECT& rect, GuiListBoxItemUnit& item, JobLineUnit& line);
    // The rectangle a line paints in from its item rectangle (the page's
    // left margin and text width in page view).
    RECT LineRect(const RECT& rect) const;

    // ---- printing (on the print worker while the job bit keeps the GUI off)
    int32_t PrintedPageCount() const override { return PageMode() ? pageCount : 0; }
    // The page's lines and its bands at the page's own origin, painted with
    // a text draw of the job's own and the style set of the pagination.
    void PaintPrintedPage(HDC dc, int32_t k) override;
    // The bands of one page: `area` is the page's margin above (below) its
    // text, `text` the page's text rectangle; their texts are drawn with the
    // text draw of the pass.
    void PaintPageHeader(HDC dc, const RECT& area, const RECT& text, int32_t page, WinTextDraw& draw);
    void PaintPageFooter(HDC dc, const RECT& area, const RECT& text, int32_t page, WinTextDraw& draw);
    // Height of "0" in the selected font; sets the tab settings; the tab stop.
    int32_t MeasureTextHeight(HDC dc, RECT& rect);
    void MeasureLine(HDC dc, RECT& rect, GuiListBoxItemUnit& item, JobLineUnit& line);
    // Cuts the laid-out lines into pages and builds the band records.
    void PaginatePages(SIZE& content);
    // The page a line begins on in page view.
    int32_t PageOf(const WinLayer::WinListBoxItemUnit& unit) const;

    // Opens a link target (see above).
    void FollowLink(const RawString& target);
    // The target of the link under a client point of the cursor line, else
    // of the line's first link; empty when there is none.
    RawString LinkTargetAt(int32_t index, const POINT* point);

    // Page view on (the page size and margins of the style set, scaled) or
    // off (line mode, default insets); the document is laid out again.
    void SetPageView(bool on);
    bool PageView() const { return pageView_; }

private:
    bool IsPageBreak(const WinLayer::WinListBoxItemUnit& unit) const override;
    void MarkPageStart(WinLayer::WinListBoxItemUnit& unit, bool start) override;
    int32_t RowCut(const WinLayer::WinListBoxItemUnit& unit, int32_t room) const override;
    void CutUnit(WinLayer::WinListBoxItemUnit& unit, int32_t at, int32_t by) override;
    void PrepareLayout();
    // The box's background becomes the current style's page background.
    void FollowPageColour();
    bool AskStartLink(const RawString& target);

    bool pageView_ = false;
    WinLayer::WinInkReach inkReach_{};
};

// The extension of a link target's file-name part (after its last '\' or
// '/'), without the dot; empty when the name has none.
RawString LinkExtension(const RawString& target);
// The file part of a local link target: the text before its first '#'
// (a place in the file) or '?' (a query).
RawString LinkFilePart(const RawString& target);

}  // namespace AppLayer
