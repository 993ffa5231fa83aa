// How a help document's text reaches the screen and the printer: per
// character widths, where rows may break, tab widths, wrapping a paragraph
// into rows of runs, and drawing a run with its inline emphasis.
//
// Mark runs: 0x1E, a code letter, for links and pictures the serial as
// decimal digits, then 0x1F. A mark run has no width and is never drawn; it
// switches emphasis on or off. A 0x1E without its 0x1F hides the rest of
// its hard line.
//
// The width and break arrays live in the WinTextDraw object handed to every
// call, never in statics, so that a print worker laying out with its own
// object never shares scratch space with the GUI thread.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "base/raw_string.h"
#include "quenby/app/glyph_coverage.h"
#include "quenby/app/width_table.h"

namespace AppLayer {

using RawLayer::RawRange;
using RawLayer::RawString;

// One laid-out run of a text: a range of units drawn at a rectangle whose
// origin is the text's origin. A mark run has a zero-width rectangle.
struct WinTextPart {
    int32_t start = 0;
    int32_t end = 0;
    int32_t row = 0;
    RECT rect{};
};

// One row of a wrapped text: its units (hidden runs before its first
// visible character included) and its width.
struct WinTextRow {
    int32_t start = 0;
    int32_t end = 0;
    int32_t top = 0;
    int32_t height = 0;
    int32_t width = 0;
};

// The laid-out text of one list item.
struct WinTextData {
    std::vector<WinTextPart> parts;
    std::vector<WinTextRow> rows;
    void Clear() {
        parts.clear();
        rows.clear();
    }
};

// Tab widths: mode 0 each tab count x unit wide; 1 to the next multiple of
// count columns (a column is a character, unit pixels wide, counted from
// the row start; a tab that would not advance moves 1 pixel); 2 to the next
// multiple of count x unit pixels; 3 each tab unit wide. A count or unit
// below 1 counts as 1.
struct WinTabSettings {
    int32_t mode = 0;
    int32_t count = 8;
    int32_t unit = 8;
    // The gap between wrapped rows.
    int32_t wrapGap = 0;
    // Width of a tab at x pixels and `columns` characters into a row.
    int32_t TabWidth(int32_t x, int32_t columns) const;
};

class WinTextDraw {
public:
    // Width values of the width array besides a visible width.
    enum : int32_t { WidthMark = -1, WidthHidden = -2, WidthTrail = -3 };

    WinTextDraw() = default;
    virtual ~WinTextDraw();
    WinTextDraw(const WinTextDraw&) = delete;
    WinTextDraw& operator=(const WinTextDraw&) = delete;

    // Forgets the emphasis state before a line is drawn.
    virtual void Reset() {}
    // Reads the mark run that starts at `pos`.
    virtual void HandleMark(const RawString& text, int32_t pos);
    // Draws the units of the run at its rectangle moved by the origin.
    virtual void DrawRun(HDC dc, const RawString& text, const WinTextPart& part, POINT origin);
    // Marks the units of [first, end) (already measured) before which a row
    // may break, by the break mode.
    virtual void BreakMarks(const RawString& text, int32_t first, int32_t end);

    // Scratch of the text being laid out, for the units from `base`.
    int32_t WidthAt(int32_t pos) const { return widths_[pos - base_]; }
    bool BreakAt(int32_t pos) const { return breaks_[pos - base_] != 0; }
    // Makes both arrays hold at least `count` entries, cleared.
    void Prepare(int32_t first, int32_t count);

    WinTabSettings tabs;
    int32_t breakMode = 0;

    // The advance widths of the 7-bit characters in the font selected into
    // the DC, kept per font handle: 7-bit text is then measured without a
    // platform call. A pass forgets them when it starts and around every
    // font it makes and deletes itself, since a deleted handle's value may
    // come back for another font.
    const int32_t* SevenBitWidths(HDC dc, int32_t* height) { return widthTable_.SevenBitWidths(dc, height); }
    void ForgetFontWidths() { widthTable_.Forget(); }

    // Draws the units plainly with ExtTextOut at the rectangle's top left,
    // clipped to it. Characters the selected font has no glyph for are
    // drawn in a face that has them, on the same baseline. On a printer
    // every glyph stands at a whole-pixel advance as measured, spread over
    // `fit` pixels when the layout gave the units that width (0: their own
    // width), and the clip leaves room for the ink of the first and the
    // last glyph.
    void DrawPlain(HDC dc, const RawString& text, int32_t start, int32_t end, const RECT& rect, int32_t fit = 0);
    // Whether the device advances glyphs by whole pixels as they are
    // measured (the screen and its bitmaps); a printer's driver places them
    // at finer advances of its own unless it is given each one.
    static bool WholePixelAdvances(HDC dc);
    // The clip of a run drawn at the rectangle: the rectangle itself where
    // advances are whole pixels; on a printer its sides moved out by the
    // height of the selected font.
    RECT RunClip(HDC dc, const RECT& rect);

    // The installed face that stands in for characters a font lacks (found
    // once); empty when there is none.
    static const std::wstring& FallbackFace() { return InstalledFallbackFace(); }

    // What the glyph check asked of the platform and what went to the
    // fallback, counted over the object's life (for tests and benchmarks).
    struct GlyphStats {
        uint64_t blockChecks = 0;     // blocks of characters looked up in a font and its fallback
        uint64_t linkChecks = 0;      // characters asked whether the link draws them
        uint64_t fallbackPieces = 0;  // stretches drawn in the fallback font
        uint64_t fallbackMeasures = 0;  // ranges measured in the fallback font
        uint64_t tableRanges = 0;       // ranges measured from the width table
    };
    GlyphStats GlyphStatistics() const;

protected:
    // The number of extra strokes, one pixel apart, that give the font
    // selected into the DC its weight on the device: a printer's driver
    // makes no bold of a face that has no bold style, so a bold font of such
    // a face is stroked as emphasised bold is, whether it is the document's
    // font or the fallback; 0 where no stroke is wanted (the screen makes
    // its own bold).
    int32_t BoldStrokes(HDC dc);

private:
    // Gives the visible non-ASCII characters of [first, end) (measured)
    // that the selected font lacks the widths of the fallback face; returns
    // the change of the range's width and raises *height to the fallback's.
    int32_t MeasureFallback(HDC dc, const RawString& text, int32_t first, int32_t end, int32_t* height);
    // Draws UTF-16 text from x by the plan in useFallback_: each stretch in
    // its own font, its glyphs at the advances the layout measured.
    void DrawPlanned(HDC dc, const wchar_t* wide, int32_t count, HFONT fallback, const RECT& rect, int32_t fit);
    // Draws units that need no fallback with each glyph at its measured
    // advance (spread over `fit` pixels when it is above 0), through the
    // wide entry point, stroked as often as the font's weight asks.
    void DrawPlaced(HDC dc, const RawString& text, int32_t start, int32_t end, const RECT& rect, int32_t fit);

    std::vector<int32_t> widths_;
    std::vector<uint8_t> breaks_;
    std::vector<int> extents_;
    std::wstring wide_;
    int32_t base_ = 0;
    FontWidthTable widthTable_;
    GlyphCoverage coverage_;
    BoldStyleCache boldStyles_;
    uint64_t fallbackPieces_ = 0;
    uint64_t fallbackMeasures_ = 0;
    // Which units of the text last planned go to the fallback font.
    std::vector<uint8_t> useFallback_;
    std::wstring fallbackText_;
    std::vector<int32_t> fallbackPos_;
    std::vector<int> fallbackExtents_;
    std::vector<INT> advances_;
    friend struct TextLayout;
};

class GuiTextDraw : public WinTextDraw {
public:
    enum : uint32_t { StateLink = 0x01, StateItalic = 0x02, StateBold = 0x04, StateUnderline = 0x08,
                      StateStrike = 0x10 };
    static constexpr COLORREF kItalicColor = 0x2060A0;
    static constexpr COLORREF kLinkColor = 0xFF0000;
    static constexpr COLORREF kLineColor = 0x0000FF;
    // Text height per pixel of bold offset: 1 pixel for screen text up to
    // 23 pixels high, 3 printer pixels for 10-point text at 300 dpi.
    static constexpr int32_t kBoldHeightPerPixel = 16;

    void Reset() override { state = 0; }
    void HandleMark(const RawString& text, int32_t pos) override;
    void DrawRun(HDC dc, const RawString& text, const WinTextPart& part, POINT origin) override;
    // Draws runs of one row that all take the current emphasis: the 7-bit
    // ones in one platform call with their characters placed one by one
    // (a row of many short runs costs a call, not a call per run), any other
    // run alone.
    virtual void DrawRowRuns(HDC dc, const RawString& text, const std::vector<const WinTextPart*>& runs,
                             POINT origin);

    uint32_t state = 0;
    // Pixels of the DC per pixel where the runs are finally seen (1 on the
    // printer and in line view; about 5 for a page view painted at the
    // printer's size and shrunk onto the screen): the bold offset and the
    // text lines are made that much thicker so that the shrinking keeps them.
    int32_t reduction = 1;

private:
    // The colour of the current emphasis; the text colour for plain and bold.
    COLORREF StateColour() const;
    // The link, underline and strike-through lines of a run's rectangle.
    void DrawStateLines(HDC dc, const RECT& r, COLORREF colour, int32_t boldOffset);
    // The bold offset for the font selected into the DC: one pixel per
    // kBoldHeightPerPixel pixels of its height, so that bold keeps its weight
    // at any resolution, and at least the reduction; 0 when not bold.
    int32_t BoldOffset(HDC dc);
    // The thickness of text lines at the reduction.
    int32_t LineWidth() const;
    std::wstring rowText_;
    std::vector<INT> rowAdvances_;
    std::vector<const WinTextPart*> rowRuns_;
};

struct TextLayout {
    // Measures the units [first, end) into the width array: a visible
    // character's width on its first unit (its other units WidthTrail),
    // WidthMark for 0x1E and 0x1F, WidthHidden between them. The size of
    // the range (height that of the font even when the range is empty).
    static SIZE FitText(WinTextDraw& draw, HDC dc, const RawString& text, int32_t first, int32_t end);
    // Gives each tab of [from, to) its width from x (after FitText) and
    // returns the running x over the range.
    static int32_t ExpandTabs(WinTextDraw& draw, const RawString& text, const WinTabSettings& tabs,
                              int32_t from, int32_t to, int32_t x = 0);
    // Width and height of "0" in the selected font; 0 x 0 when measuring fails.
    static SIZE MeasureZero(HDC dc);
    // Wraps [range) at `width` into rows of runs (appended to `out`);
    // continuation rows start at x = `continuation`. Returns the widest row
    // and the total height (no gap after the last row).
    static SIZE LayOutParagraph(WinTextDraw& draw, HDC dc, int32_t width, int32_t continuation,
                                const RawString& text, RawRange range, WinTextData& out);
    // The union of the rectangles of the parts (empty when there is none).
    static RECT BoundingRect(const std::vector<WinTextPart>& parts, const std::vector<int32_t>& which);
    static RECT BoundingRect(const std::vector<WinTextPart>& parts);
    // The indexes of the parts inside [range).
    static std::vector<int32_t> CollectRuns(const std::vector<WinTextPart>& parts, RawRange range);
    // The same for each of the ascending ranges at once (a table row's
    // cells), in one walk over parts laid out in text order.
    static std::vector<std::vector<int32_t>> CollectCellRuns(const std::vector<WinTextPart>& parts,
                                                             const std::vector<RawRange>& cells);
    // Aligns each row of the chosen parts: 'L' to the bounding left edge,
    // 'R' to the right edge, anything else centred in the widest row.
    static void AlignRuns(std::vector<WinTextPart>& parts, const std::vector<int32_t>& which, uint32_t letter);
    // Moves the parts of each cell (ranges between tabs of the text) into
    // its column: columns start at left + outer + frame, each column is its
    // width plus left and right margins plus the frame wide; a cell is
    // aligned inside its column width by its alignment letter.
    static void PlaceColumns(std::vector<WinTextPart>& parts, const std::vector<RawRange>& cells,
                             const int32_t* columns, int32_t columnCount, const RawString& alignment,
                             int32_t left, int32_t outer, int32_t frame, int32_t leftMargin, int32_t rightMargin);
    // Whether a position of [first, end) is a visible character's first unit
    // (after FitText).
    static bool IsVisibleStart(const WinTextDraw& draw, int32_t pos) { return draw.WidthAt(pos) >= 0; }
};

}  // namespace AppLayer
