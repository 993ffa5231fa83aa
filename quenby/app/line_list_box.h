// The viewer's list layer over the toolkit list: a list of a document's
// line records with the page forms the page view needs (hit test modulo the
// page height, scroll clamp after a size change, the end area painted once
// per page), the print job state, and a plain drawing of one text row per
// line that the page view falls back to while it has no style set.
#pragma once

#include <windows.h>

#include <cstdint>

#include "base/raw_string.h"
#include "quenby/document/document_model.h"
#include "toolkit/list_box.h"

namespace AppLayer {

using DocLayer::JobLineList;
using DocLayer::JobLineUnit;

// The display text of a line without its mark runs (0x1E ... 0x1F).
RawLayer::RawString VisibleLineText(const RawLayer::RawString& text);

class GuiLineListBox : public WinLayer::WinListBoxR<JobLineUnit> {
public:
    enum : uint32_t {
        // Laid out as printed pages of `pageHeight` pixels.
        DrawPageMode = 0x10000,
    };

    // Makes the view a line list (a toolkit list with the style bits given).
    void Construct(uint32_t styleBits);

    // ---- the document ---------------------------------------------------------
    // Rebuilds the items from the document's line records, one per record
    // (null: no items); lines that Shows() refuses are hidden. No repaint.
    void SetDocument(JobLineList* document);
    JobLineList* Document() const { return document_; }
    // Whether the line gets a visible row; every drawn kind by default.
    virtual bool Shows(const JobLineUnit& line) const;
    // Called once the items have been rebuilt from a document (or emptied).
    virtual void ItemsRebuilt() {}

    // The first item whose row reaches below the top of the shown part; 0
    // for an empty list.
    int32_t TopLine();
    // Scrolls so that the item's row starts at the top (as far as the
    // content allows); an index outside the list scrolls to the start.
    void SetTopLine(int32_t index);
    // The top line, -1 when the items were not laid out since they were
    // set: the place a layout of the whole document (a font, the page
    // view) is to keep.
    int32_t PlaceToKeep();
    // After such a layout: the line that was at the top is at the top
    // again, and the cursor's line is in view. Nothing for -1.
    void RestorePlace(int32_t top);

    // ---- page forms -------------------------------------------------------------
    bool PageMode() const { return (drawFlags & DrawPageMode) != 0; }
    // Page mode with the page height and the four margins (printer pixels
    // scaled to the view), or line mode when the height is below 1.
    void SetPageMode(int32_t height, const RECT& pageMargins);
    // The item under a client point: in page mode the point is taken modulo
    // the page height, and a point in a margin band hits nothing (-1).
    int32_t HitTestPage(POINT point);
    // After a size change: content scrolled past its end is pulled back so
    // the end stays at the bottom, then a repaint without erasing.
    void ClampAfterResize();

    // ---- print job ------------------------------------------------------------------
    // Bit of pageState: a print job reads the lines. The box then neither
    // lays out nor paints its items (a worker paints them for the printer):
    // it fills its background and lays out and repaints after the job.
    enum : uint16_t { PagePrintJob = 0x20 };
    bool PrintJobRuns() const { return (pageState & PagePrintJob) != 0; }
    void SetPrintJob(bool on);
    void RefreshNoPaint() override;
    void RefreshIfDirty() override;

    // ---- the toolkit list's operations ---------------------------------------------
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    void DrawItemOf(WinLayer::WinDrawContext& dc, const RECT& rect, int32_t index,
                    WinLayer::WinListBoxItemUnit& unit, JobLineUnit* line) override;
    void MeasureItemOf(WinLayer::WinDrawContext& dc, RECT& size, int32_t index,
                       WinLayer::WinListBoxItemUnit& unit, JobLineUnit* line) override;
    // The end item: once per page in page mode (each copy a page lower,
    // only where it meets the rectangle), else once below the last item.
    void DrawSpecialItem(WinLayer::WinDrawContext& dc, const RECT& rect, int32_t index,
                         WinLayer::WinListBoxItemUnit& unit) override;

    uint32_t drawFlags = 0;
    int32_t pageHeight = 0;
    RECT pageMargins{};
    uint16_t pageState = 0;

private:
    JobLineList* document_ = nullptr;
};

}  // namespace AppLayer
