// The layout pass: measures one line record of a document for a list item
// (the view box, the table-of-contents tree and the print run). Given the
// DC with the box font selected and the item rectangle with its left, top
// and right set, it decides the bottom (for some kinds the right), wraps the
// text into rows of runs kept in the item, and stores in the line what the
// paint pass needs again.
#pragma once

#include <windows.h>

#include <cstdint>

#include "quenby/app/text_draw.h"
#include "quenby/app/viewer_pieces.h"
#include "quenby/document/document_model.h"
#include "toolkit/list_box.h"

namespace AppLayer {

using DocLayer::DocumentStyle;
using DocLayer::JobLineUnit;

class GuiPictureCache;

// The item record of the viewer's lists: the list unit plus the laid-out
// runs of its line and what the passes keep of the line's layout.
struct GuiListBoxItemUnit : public WinLayer::WinListBoxItemUnit {
    WinTextData text;
    // The height of the pictures stacked below the line's text.
    int32_t pictureHeight = 0;
    // A numbered item: how much wider than the mark distance its number
    // column is (its list's widest number with a gap on each side must
    // fit); the item's text moves right by as much.
    int32_t numberColumnGrowth = 0;
    // A table row: its cells stand in the table's final columns, not where
    // the row's own layout put them.
    bool cellsPlaced = false;
    // A table row of a table fitted into the page: the percentage of the
    // box font its text is laid out and drawn in (0: the box font itself).
    int32_t tableRatio = 0;
    // The pages the line runs on over past the one it starts on (a line
    // taller than a page; set by the pagination).
    int32_t pagesOn = 0;
    // Where the runs were last drawn, from the item's top-left corner.
    mutable POINT textOffset{0, 0};
};

// The state the passes share for one box (or one print run): the current
// style set, the text draw with its scratch arrays and tab settings, and
// what the paint needs of the box.
struct GuiLayout {
    enum : uint16_t { BoxFocus = 0x01, BoxPlain = 0x04 };

    explicit GuiLayout(GuiTextDraw& textDraw) : draw(&textDraw) {}

    WinLayer::WinListBox* box = nullptr;
    const DocumentStyle* style = nullptr;
    GuiTextDraw* draw;
    // Height of "0" in the box font.
    int32_t textHeight = 0;
    // Bits BoxFocus and BoxPlain; the box's background colour.
    uint16_t boxState = 0;
    COLORREF background = RGB(0xFF, 0xFF, 0xFF);
    // The colour that means "no colour" in a requested fill: the window
    // colour on the screen, the paper's white on the printer.
    COLORREF plain = RGB(0xFF, 0xFF, 0xFF);
    // The tallest a picture is shown (0: no limit): in page view the page's
    // text height, so that a picture is scaled down to fit one page.
    int32_t pictureLimit = 0;
    // The DC's picture is scaled onto the window (page view paints a page at
    // the printer's size): the loaded pictures are drawn on the window after
    // that, at the size they show at, not scaled to the printer's pixels for
    // the shrink to throw them away (seconds a picture).
    bool picturesOnWindow = false;
    // Decoded pictures kept between paints; none decodes at every use.
    GuiPictureCache* pictures = nullptr;
    // Page view (and so print): a table wider than its line is fitted into
    // it. Elsewhere a table keeps its columns as wide as their widest cells
    // and the view scrolls sideways to them.
    bool fitTables = false;
    // The fit of the table laid out last: the width array its rows share,
    // the width it was fitted into, the percentage of the box font its text
    // takes (0: the box font) and the width each column's cells wrap at
    // (none: the table fits unchanged).
    struct TableFit {
        const void* table = nullptr;
        int32_t width = -1;
        int32_t ratio = 0;
        std::vector<int32_t> columns;
    };
    TableFit tableFit;
    // Per list depth, the numbered list last walked: its document and the
    // range of its ordinals, so that the items after the first of a list do
    // not walk it again.
    struct NumberedList {
        const void* owner = nullptr;
        int32_t first = 0;
        int32_t last = -1;
    };
    NumberedList numberedLists[7];
};

// Largest width a text is laid out in when it is not wrapped.
constexpr int32_t kUnboundedWidth = 32767;
// The width of a text that is never wrapped (unwrapped code, table rows):
// its characters are measured piece by piece, so it may pass 32767.
constexpr int32_t kNoWrapWidth = 0x3FFFFFFF;

// The level's index into the per-level arrays (levels 1 to 6; deeper ones
// take the sixth, lower ones the first).
inline int32_t LevelIndex(int32_t level) { return level < 1 ? 0 : (level > 6 ? 5 : level - 1); }
// The quote shift of a line.
int32_t QuoteShift(const DocumentStyle& style, const JobLineUnit& line);

void LayOutDocument(GuiLayout& layout, HDC dc, RECT& rect, GuiListBoxItemUnit& item, JobLineUnit& line);
// Wraps the text between rect.left and rect.right; rect.right becomes
// left + the widest row, rect.bottom top + the margins + the rows' height.
SIZE WrapText(GuiLayout& layout, HDC dc, RECT& rect, GuiListBoxItemUnit& item, const RawString& text);
void AddBlockSpacing(const GuiLayout& layout, RECT& rect, const JobLineUnit& line, int32_t extra);
void LayOutHeading(GuiLayout& layout, HDC dc, RECT& rect, GuiListBoxItemUnit& item, JobLineUnit& line);
void LayOutCode(GuiLayout& layout, HDC dc, RECT& rect, GuiListBoxItemUnit& item, JobLineUnit& line);
// Returns the laid-out width and height of a tab-column code line.
SIZE LayOutCodeColumns(GuiLayout& layout, HDC dc, const RECT& rect, GuiListBoxItemUnit& item, JobLineUnit& line);
void LayOutTableRow(GuiLayout& layout, HDC dc, RECT& rect, GuiListBoxItemUnit& item, JobLineUnit& line);
// How the table of a row fits into a line `width` wide (kept in the layout
// for the table's other rows): when its columns as wide as their widest
// cells do not fit, each column gets a width its cells wrap at, shared out
// so that the longest word of every cell stays whole; when even those words
// do not fit, the table's text is made smaller (down to 40 percent) and
// only then are words broken.
const GuiLayout::TableFit& FitTable(GuiLayout& layout, HDC dc, const JobLineUnit& line, int32_t width);

// The ranges of a table row's cells (between its tabs).
std::vector<RawRange> TableCells(const RawString& text);
// The number text of a numbered item ("12.").
RawString NumberText(int32_t number);

// The font selected in the DC with its height scaled by a percentage (below
// 1: unchanged), selected while the object lives.
class ScaledFont {
public:
    ScaledFont(HDC dc, int32_t percent);
    ScaledFont(const ScaledFont&) = delete;
    ScaledFont& operator=(const ScaledFont&) = delete;

private:
    static LOGFONTW Current(HDC dc);
    ScaledFontSelection selection_;
};

// Selects a font while the object lives (nothing for a null handle).
class SelectedFont {
public:
    SelectedFont(HDC dc, HFONT font) : dc_(dc), previous_(font ? SelectObject(dc, font) : nullptr) {}
    ~SelectedFont() {
        if (previous_) SelectObject(dc_, previous_);
    }
    SelectedFont(const SelectedFont&) = delete;
    SelectedFont& operator=(const SelectedFont&) = delete;

private:
    HDC dc_;
    HGDIOBJ previous_;
};

}  // namespace AppLayer
