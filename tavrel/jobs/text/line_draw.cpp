// Text rows on screen: the x positions of a line's characters with tab
// expansion, measuring and laying out the two columns of a side (line
// number, text), drawing a row (changed segments, selection or input-method
// clauses, the text, the line-end mark) and mapping x positions back to
// characters.
//
// The text is drawn run by run between tabs at the laid out positions (the
// toolkit's TextAtPlaces, as the detail boxes draw theirs), only the part
// that reaches into the visible part of the cell: the caret and a click
// always meet the drawn glyphs, and a line of a megabyte costs no more to
// draw than the screen it fills. Pieces of right-to-left and joining
// scripts are laid out as the platform sets them and drawn whole by it
// (toolkit/shaped_text.h); their bands, selection, caret and clicks follow
// where each character's glyphs stand.
#include <algorithm>
#include <cstring>
#include <vector>

#include "base/encoding.h"
#include "tavrel/jobs/cell_draw.h"
#include "tavrel/jobs/color_settings.h"
#include "tavrel/jobs/config_store.h"
#include "tavrel/jobs/cursor.h"
#include "tavrel/jobs/inline_diff.h"
#include "tavrel/jobs/job_report.h"
#include "tavrel/jobs/text/line_unit.h"
#include "tavrel/jobs/text/text_kind.h"
#include "toolkit/draw.h"
#include "toolkit/environment.h"
#include "toolkit/gdi_scope.h"
#include "toolkit/view.h"

namespace JobLayer {

namespace {

using RawLayer::RawRange;

// Units that share one x before NextColumn steps by the text instead.
constexpr int32_t kSharedColumnSteps = 6;
// The width of a character of a line that was never laid out.
constexpr int32_t kUnlaidCell = 8;

// A part of a line as UTF-16 with the wide index of every unit from the
// part's start: a trail unit maps to the index after its character, the
// part's end to the wide length. The part starts and ends on character
// starts.
struct WideLine {
    RawString wide;
    std::vector<int32_t> index;  // part length + 1 entries
    int32_t at(int32_t unit) const { return index[static_cast<size_t>(unit)]; }
};

// Wide units a UTF-8 character of `count` units makes.
int32_t Utf8WideUnits(uint32_t lead, int32_t count) { return lead >= 0xF0 && count == 4 ? 2 : 1; }

void BuildWideLine(const RawString& text, RawRange part, WideLine& line) {
    const int32_t length = part.end - part.start;
    line.index.assign(static_cast<size_t>(length) + 1, 0);
    const uint8_t kind = text.Kind();
    const void* units = static_cast<const char*>(text.Data()) + part.start * RawLayer::UnitWidth(kind);
    if (RawLayer::ConvertToUtf16(kind, units, length, line.wide)) {
        if (kind == RawLayer::KindUtf16) {
            for (int32_t i = 0; i <= length; ++i) line.index[static_cast<size_t>(i)] = i;
            return;
        }
        int32_t wide = 0;
        for (int32_t pos = part.start; pos < part.end;) {
            int32_t next = std::min(text.NextCharPos(pos), part.end);
            wide += kind == RawLayer::KindUtf8 ? Utf8WideUnits(text.UnitAt(pos), next - pos) : 1;
            for (int32_t t = pos + 1; t <= next; ++t) line.index[static_cast<size_t>(t - part.start)] = wide;
            pos = next;
        }
        if (wide == line.wide.Length()) return;
    }
    // The converter took the characters otherwise than counted (broken
    // bytes): the units are shown one by one as Latin-1, never misplaced.
    line.wide = RawString::ReserveAs(RawLayer::KindUtf16, length);
    for (int32_t i = 0; i < length; ++i) line.wide.AppendChar(text.UnitAt(part.start + i));
    for (int32_t i = 0; i <= length; ++i) line.index[static_cast<size_t>(i)] = i;
}

// Lines longer than this are measured character by character from a table
// of widths: one call for a whole line of a megabyte costs more than the
// frame it is drawn in.
constexpr int32_t kDirectExtentUnits = 4096;

// The advance of each UTF-16 unit in one font, measured on first use.
struct WidthTable {
    LOGFONTW font;
    bool valid = false;
    std::vector<int32_t> widths;
};

WidthTable& TheWidthTable() {
    static WidthTable table;
    return table;
}

// The partial extents of a text in the context's font (entry i: the width
// of units 0 to i); false when they could not be had.
bool MeasureExtents(HDC dc, const wchar_t* text, int32_t count, int* extents) {
    if (!dc) return false;
    SIZE size = {0, 0};
    if (count <= kDirectExtentUnits) return GetTextExtentExPointW(dc, text, count, -1, nullptr, extents, &size) != 0;
    LOGFONTW font;
    std::memset(&font, 0, sizeof(font));
    if (!GetObjectW(GetCurrentObject(dc, OBJ_FONT), sizeof(font), &font)) return false;
    WidthTable& table = TheWidthTable();
    if (!table.valid || std::memcmp(&table.font, &font, sizeof(font)) != 0) {
        table.font = font;
        table.valid = true;
        table.widths.assign(0x10000, -1);
    }
    int32_t x = 0;
    for (int32_t i = 0; i < count; ++i) {
        const uint32_t unit = static_cast<uint16_t>(text[i]);
        if (RawLayer::IsHighSurrogate(unit) && i + 1 < count && RawLayer::IsLowSurrogate(text[i + 1])) {
            // A pair is measured whole, each time.
            x += GetTextExtentPoint32W(dc, text + i, 2, &size) ? size.cx : 0;
            extents[i] = extents[i + 1] = x;
            ++i;
            continue;
        }
        int32_t& width = table.widths[unit];
        if (width < 0) width = GetTextExtentPoint32W(dc, text + i, 1, &size) ? size.cx : 0;
        x += width;
        extents[i] = x;
    }
    return true;
}

const JobLineBaseData& DefaultBaseData() {
    static JobLineBaseData data;
    return data;
}

// The line-end mark and its colour, read at the first line drawn.
struct LineEndMark {
    RawString text;
    COLORREF color;
};
const LineEndMark& TheLineEndMark() {
    static const LineEndMark mark = {ConfigStore::Instance().textNewLineCode,
                                     ConfigStore::Instance().colors.textNewLineColor};
    return mark;
}

// Whether the font selected into the DC has a glyph of its own for every
// character of the text. Many fonts (and the Japanese ones Wine links in)
// lack U+FFE9, the default line-end mark, and would draw their empty box.
bool FontHasGlyphs(HDC dc, const RawString& text) {
    const RawString wide = text.As(RawLayer::KindUtf16);
    if (wide.Length() <= 0) return false;
    std::vector<WORD> glyphs(static_cast<size_t>(wide.Length()));
    if (GetGlyphIndicesW(dc, wide.Wide(), wide.Length(), glyphs.data(), GGI_MARK_NONEXISTING_GLYPHS) == GDI_ERROR)
        return false;
    return std::find(glyphs.begin(), glyphs.end(), WORD(0xFFFF)) == glyphs.end();
}

// The line-end mark drawn with lines where the font has no glyph for it: a
// small leftwards arrow one average character wide, centred on the text.
void DrawLineEndArrow(HDC dc, int32_t x, int32_t height, const TEXTMETRICW& metrics, COLORREF color) {
    const int32_t width = std::max<int32_t>(5, metrics.tmAveCharWidth);
    const int32_t head = std::max<int32_t>(2, width / 3);
    const int32_t middle = height / 2;
    HPEN pen = CreatePen(PS_SOLID, 1, color);
    if (pen == nullptr) return;
    HGDIOBJ old = SelectObject(dc, pen);
    const int32_t left = x + 1, right = x + width - 1;
    MoveToEx(dc, right, middle, nullptr);
    LineTo(dc, left - 1, middle);
    MoveToEx(dc, left + head, middle - head, nullptr);
    LineTo(dc, left - 1, middle + 1);
    MoveToEx(dc, left + head, middle + head, nullptr);
    LineTo(dc, left - 1, middle - 1);
    SelectObject(dc, old);
    DeleteObject(pen);
}

// Blends a colour over the glyphs of the units [from, to) of a laid-out
// line (with the line break's cell after the text when `withBreak`).
void FillSpan(HDC dc, const JobLineDrawData& data, int32_t origin, int32_t height, int32_t from, int32_t to,
              bool withBreak, COLORREF color, int32_t opacity) {
    if (!data.shaped) {
        const int32_t right = withBreak ? data.PositionX(data.count + 1) : data.PositionX(to);
        RECT fill = {origin + data.PositionX(from), 0, origin + right, height};
        AlphaRect(dc, fill, color, opacity);
        return;
    }
    std::vector<std::pair<int32_t, int32_t>> cells;
    data.Cells(from, to, cells);
    if (withBreak) {
        const int32_t end = data.PositionX(data.count), after = data.PositionX(data.count + 1);
        if (!cells.empty() && cells.back().second >= end) {
            cells.back().second = std::max(cells.back().second, after);
        } else {
            cells.emplace_back(end, after);
        }
    }
    for (const std::pair<int32_t, int32_t>& cell : cells) {
        RECT fill = {origin + cell.first, 0, origin + cell.second, height};
        AlphaRect(dc, fill, color, opacity);
    }
}

}  // namespace

int32_t LineCharStart(const RawString& text, int32_t index) {
    const int32_t length = text.Length();
    if (index <= 0) return 0;
    if (index >= length) return length;
    switch (text.Kind()) {
    case RawLayer::KindUtf16: {
        const uint32_t u = text.UnitAt(index);
        return RawLayer::IsLowSurrogate(u) && text.NextCharPos(index - 1) == index + 1 ? index - 1 : index;
    }
    case RawLayer::KindUtf8: {
        // At most three continuation bytes back to the lead that owns them.
        int32_t lead = index;
        while (lead > 0 && index - lead < 3 && (text.UnitAt(lead) & 0xC0) == 0x80) --lead;
        return text.NextCharPos(lead) > index ? lead : index;
    }
    default: {
        int32_t start = 0;
        for (int32_t pos = 0; pos <= index && pos < length; pos = text.NextCharPos(pos)) start = pos;
        return start;
    }
    }
}

// ---------------------------------------------------------------------------
// Positions

int32_t JobLineDrawData::PositionX(int32_t index) const {
    if (!positions || count < 0) return 0;
    return positions[ClampInt(index, 0, count + 1)];
}

void JobLineDrawData::Cells(int32_t from, int32_t to, std::vector<std::pair<int32_t, int32_t>>& cells) const {
    if (!shaped || !positions || count < 0) {
        JobDetailColumn::Viewer::Cells(from, to, cells);
        return;
    }
    from = ClampInt(from, 0, count);
    WinLayer::WinShapedText::Cells(positions.get(), shaped.get(), from, ClampInt(to, from, count), cells);
}

int32_t JobLineDrawData::CaretX(int32_t index) const {
    if (!shaped || !positions || count < 0) return PositionX(index);
    return WinLayer::WinShapedText::CaretX(positions.get(), shaped.get(), count, ClampInt(index, 0, count));
}

int32_t JobLineDrawData::UnitAtX(int32_t x) const {
    if (!positions || count < 0) return -1;
    if (shaped) return WinLayer::WinShapedText::UnitAtX(positions.get(), shaped.get(), count, x);
    // The first i with x < position[i], minus 1; the length when none.
    const int32_t* begin = positions.get();
    const int32_t* found = std::upper_bound(begin, begin + count + 1, x);
    if (found == begin + count + 1) return count;
    return static_cast<int32_t>(found - begin) - 1;
}

void JobLineDrawData::Layout(const JobLineBaseData& base, HDC dc, const RawString& text) {
    const int32_t length = text.Length();
    if (stamp == base.revision && count == length && positions) return;
    stamp = base.revision;
    cellWidth = base.cellWidth;
    std::unique_ptr<int32_t[]> p(new int32_t[static_cast<size_t>(length) + 2]);
    p[0] = 0;
    WideLine line;
    BuildWideLine(text, text.All(), line);
    const int32_t wideLength = line.wide.Length();
    std::vector<int> extents(static_cast<size_t>(wideLength) + 1, 0);
    // Every unit gets its position, however wide the line (no extent cap).
    if (wideLength > 0 && !MeasureExtents(dc, line.wide.Wide(), wideLength, extents.data())) {
        for (int32_t i = 0; i < wideLength; ++i) extents[static_cast<size_t>(i)] = (i + 1) * kUnlaidCell;
    }
    // Pieces the platform shapes take the widths of their glyphs, run by
    // run between tabs, and their places.
    std::vector<WinLayer::WinShapedPlace> widePlaces;
    if (dc && WinLayer::WinShapedText::NeedsShaping(line.wide.Wide(), wideLength)) {
        std::vector<int32_t> widths(static_cast<size_t>(wideLength), 0);
        for (int32_t i = 0; i < wideLength; ++i)
            widths[static_cast<size_t>(i)] = extents[static_cast<size_t>(i)] - (i > 0 ? extents[static_cast<size_t>(i) - 1] : 0);
        if (WinLayer::WinShapedText::LayoutLine(dc, line.wide.Wide(), wideLength, widths.data(), widePlaces)) {
            int32_t x = 0;
            for (int32_t i = 0; i < wideLength; ++i) extents[static_cast<size_t>(i)] = x += widths[static_cast<size_t>(i)];
        }
    }
    for (int32_t pos = 0; pos < length;) {
        int32_t next = text.NextCharPos(pos);
        int32_t wideEnd = line.at(next);
        int32_t x = wideEnd > 0 ? extents[static_cast<size_t>(wideEnd - 1)] : 0;
        for (int32_t t = pos + 1; t <= next; ++t) p[t] = x;
        pos = next;
    }
    // A tab reaches the next tab stop, a full tab width on when it starts
    // on one; everything after it moves by the same amount. DrawTextEx
    // draws no tab glyph, so its measured width does not count.
    const int32_t tabWidth = base.tabWidth;
    int32_t shift = 0;
    for (int32_t i = 0; i < length; ++i) {
        p[i + 1] += shift;
        if (tabWidth > 0 && text.UnitAt(i) == '\t') {
            int32_t stop = (p[i] / tabWidth + 1) * tabWidth;
            shift += stop - p[i + 1];
            p[i + 1] = stop;
        }
    }
    p[length + 1] = p[length] + cellWidth;
    shaped.reset();
    if (!widePlaces.empty()) {
        // Each character's place is that of its glyphs' left edge; its
        // further units stand at its trailing edge, without width.
        std::unique_ptr<WinLayer::WinShapedPlace[]> places(new WinLayer::WinShapedPlace[static_cast<size_t>(length) + 1]);
        for (int32_t pos = 0; pos < length;) {
            const int32_t next = text.NextCharPos(pos);
            const int32_t from = line.at(pos), to = std::max(line.at(next), from + 1);
            WinLayer::WinShapedPlace place = widePlaces[static_cast<size_t>(std::min(from, wideLength - 1))];
            // The glyphs' left edge: the leftmost of the units that have a
            // width (a pair's share may lie with either unit).
            const int32_t wideX0 = from > 0 ? extents[static_cast<size_t>(from) - 1] : 0;
            int32_t left = INT32_MAX;
            for (int32_t w = from, wx = wideX0; w < to && w < wideLength; ++w) {
                const int32_t width = extents[static_cast<size_t>(w)] - wx;
                if (width > 0) left = std::min(left, wx + widePlaces[static_cast<size_t>(w)].shift);
                wx = extents[static_cast<size_t>(w)];
            }
            if (left != INT32_MAX) place.shift = left - wideX0;
            places[static_cast<size_t>(pos)] = place;
            const int32_t width = p[next] - p[pos];
            for (int32_t t = pos + 1; t < next; ++t) {
                WinLayer::WinShapedPlace& trail = places[static_cast<size_t>(t)];
                trail = place;
                trail.group = place.group ? 1 : 0;
                // p[t] is the character's end: the trailing edge is its
                // glyphs' left edge when it reads right to left.
                trail.shift = place.rightToLeft ? place.shift - width : place.shift;
            }
            pos = next;
        }
        shaped = std::move(places);
    }
    positions = std::move(p);
    count = length;
}

int32_t JobLineUnit::PositionOf(int32_t index) const {
    if (const JobLineDrawData* data = DrawData()) return data->PositionX(index);
    // Not laid out: one cell per character.
    int32_t x = 0;
    const int32_t end = ClampInt(index, 0, text_.Length());
    for (int32_t pos = 0; pos < end; pos = text_.NextCharPos(pos)) x += kUnlaidCell;
    return index > text_.Length() ? x + kUnlaidCell : x;
}

void JobLineUnit::LayoutCharPositions(JobSideRecord& side, HDC dc) {
    const JobLineBaseData* base = LineBaseData(side);
    if (!draw_) draw_.reset(new JobLineDrawData());
    draw_->Layout(base ? *base : DefaultBaseData(), dc, text_);
}

// ---------------------------------------------------------------------------
// Character indexes

int32_t JobLineUnit::FitCharIndex(int32_t index) const {
    const int32_t length = text_.Length();
    if (index < 1) return 0;
    if (index >= length) return length;
    const JobLineDrawData* data = DrawData();
    if (!data) return LineCharStart(text_, index);
    int32_t j = index;
    while (j > 0 && data->positions[j] == data->positions[j + 1]) --j;
    return j;
}

int32_t JobLineUnit::NextColumn(int32_t index) const {
    const int32_t length = text_.Length();
    if (index < 0) return 0;
    if (index >= length) return length;
    if (DrawData()) {
        // The next place with an x of its own (a character start; a
        // zero-width character belongs to the one before it).
        for (int32_t k = index + 1; k <= index + kSharedColumnSteps && k <= length; ++k) {
            int32_t fit = FitCharIndex(k);
            if (fit > index) return fit;
        }
    }
    // Seven or more units at one x (zero-width characters, combining runs),
    // or a line not laid out: the next character of the text.
    int32_t next = text_.NextCharPos(LineCharStart(text_, index));
    return next > index ? next : index + 1;
}

int32_t JobLineUnit::CharIndexAtOffset(int32_t x) const {
    const int32_t length = text_.Length();
    if (const JobLineDrawData* data = DrawData()) return data->UnitAtX(x);
    if (x < 0) return -1;
    int32_t left = 0;
    for (int32_t pos = 0; pos < length; pos = text_.NextCharPos(pos)) {
        if (x < left + kUnlaidCell) return pos;
        left += kUnlaidCell;
    }
    return length;
}

int32_t JobLineUnit::CharMidX(int32_t index) const {
    const JobLineDrawData* data = DrawData();
    // Inside the line the middle of the character itself, so that
    // CharIndexAtOffset gives the index back (a character narrower than the
    // caret cell would otherwise move a vertical step one to the right).
    if (data && index >= 0 && index < text_.Length()) {
        const int32_t left = PositionOf(index);
        const int32_t right = PositionOf(text_.NextCharPos(index));
        // Where the platform set the glyphs elsewhere: their middle.
        const int32_t shift = data->shaped ? data->shaped[index].shift : 0;
        if (right > left) return left + shift + (right - left - 1) / 2;
    }
    return PositionOf(index) + (data ? data->cellWidth : kUnlaidCell) / 2;
}

uint32_t JobLineUnit::ColumnAtX(const JobDrawContext& context, int32_t x) const {
    if (!context.side) return 3;
    const int32_t left = context.rect.left;
    const int32_t w0 = context.side->layoutWidth[0];
    const int32_t w1 = context.side->layoutWidth[1];
    if (left <= x && x <= left + w0) return 0;
    if (left + w0 <= x && x <= left + w0 + w1) return 1;
    return 3;
}

int32_t JobLineUnit::CharIndexAtX(const JobDrawContext& context, int32_t x) const {
    if (!context.side) return -1;
    const JobSideRecord& side = *context.side;
    const int32_t left = context.rect.left;
    const int32_t w0 = side.layoutWidth[0];
    const int32_t w1 = side.layoutWidth[1];
    if (x < left + w0) return 0;
    if (x > left + w0 + w1) return text_.Length();
    int32_t index = FitCharIndex(CharIndexAtOffset(x - (left - side.scrollX + w0 + context.margin)));
    return index < 0 ? 0 : index;
}

RECT JobLineUnit::CaretRect(const JobDrawContext& context, int32_t index) const {
    RECT caret = {0, 0, 0, 0};
    if (!context.side) return caret;
    const JobSideRecord& side = *context.side;
    const JobLineDrawData* data = DrawData();
    const int32_t at = ClampInt(index, 0, text_.Length());
    caret.left = context.rect.left - side.scrollX + side.layoutWidth[0] + context.margin +
                 (data ? data->CaretX(at) : PositionOf(at));
    caret.right = caret.left + (data ? data->cellWidth : kUnlaidCell);
    caret.top = context.rect.top;
    caret.bottom = context.rect.bottom;
    return caret;
}

RECT JobLineUnit::TextAreaRect(const JobDrawContext& context) const {
    RECT area = {0, 0, 0, 0};
    if (!context.side) return area;
    const int32_t w0 = context.side->layoutWidth[0];
    const int32_t w1 = context.side->layoutWidth[1];
    area.left = context.rect.left + w0 + context.margin;
    area.right = context.rect.left + w0 + w1 - context.margin;
    area.top = context.rect.top;
    area.bottom = context.rect.bottom;
    return area;
}

// ---------------------------------------------------------------------------
// Measuring and column layout

void JobLineUnit::MeasureColumn(JobSideRecord& side, HDC dc, int32_t margin, int32_t column, int tabLength) {
    if (column < 0 || column > 1 || !dc) return;
    const JobLineBaseData* base = LineBaseData(side);
    const int32_t cell = column == 1 && base ? base->cellWidth : 0;
    int32_t width;
    const JobLineDrawData* data = column == 1 && !IsHeader() ? DrawData() : nullptr;
    const uint16_t revision = (base ? *base : DefaultBaseData()).revision;
    // A width measured for this revision stands until the text changes.
    const bool noted = column == 1 && tabLength > 1 && !IsHeader() && base;
    bool exact = false;
    const int32_t known = noted ? NotedWidth(revision, exact) : -1;
    const bool laidOut = data && tabLength > 1 && data->stamp == revision;
    if (known >= 0 && exact && !laidOut) {
        width = known;
    } else {
        // Positions of another revision were measured in another font or
        // tab width: they are laid out again in this context first.
        if (data && tabLength > 1 && !laidOut) {
            LayoutCharPositions(side, dc);
            data = DrawData();
        }
        if (data && tabLength > 1) {
            // Laid out: the positions are what DrawTextEx measures.
            width = data->positions[text_.Length()];
        } else {
            RawString text = ColumnText(column);
            RECT rect = {0, 0, 32767, 0};
            WinLayer::WinDrawContext context(dc);
            WinLayer::WinView::MeasureTextRange(context, rect,
                                                DT_NOPREFIX | DT_EXPANDTABS | DT_TABSTOP | DT_SINGLELINE | DT_VCENTER,
                                                text, text.All(), tabLength);
            width = text.IsEmpty() ? 0 : rect.right - rect.left;
        }
    }
    if (noted) NoteWidth(revision, width, true);
    width += 2 * margin + cell;
    if (width > side.measuredWidth[column]) side.measuredWidth[column] = width;
}

void JobLineUnit::MeasureColumns(JobSideRecord& side, HDC dc, int32_t margin) {
    MeasureColumn(side, dc, margin, 0, 1);
    MeasureColumn(side, dc, margin, 1, 1);
}

void JobLineUnit::MeasureContent(JobSideRecord& side, HDC dc, int32_t margin) {
    MeasureColumn(side, dc, margin, 1, ConfigStore::Instance().tabStop);
}

void JobLineUnit::MeasureFirstColumn(JobSideRecord& side, HDC dc, int32_t margin) {
    MeasureColumn(side, dc, margin, 0, 1);
    // Digits need not be equally wide: the column holds as many of the
    // widest digit as this number has, so no number of that length is cut.
    const int32_t digits = NumberText().Length();
    if (!dc || digits <= 0 || digits > 10) return;
    int32_t widest = 0;
    for (wchar_t digit = L'0'; digit <= L'9'; ++digit) {
        wchar_t text[10];
        for (int32_t i = 0; i < digits; ++i) text[i] = digit;
        RECT rect = {0, 0, 32767, 0};
        DrawTextExW(dc, text, digits, &rect, DT_CALCRECT | DT_NOPREFIX | DT_SINGLELINE | DT_VCENTER, nullptr);
        widest = std::max<int32_t>(widest, rect.right - rect.left);
    }
    side.measuredWidth[0] = std::max(side.measuredWidth[0], widest + 2 * margin);
}

void JobLineUnit::LayoutColumns(JobSideRecord& side, const RECT& area, bool hideFirstColumn) {
    const int32_t columns = static_cast<int32_t>(std::min<uint32_t>(side.columnCount, 3));
    if (columns < 1) return;
    int32_t total = 0;
    for (int32_t i = 0; i < columns; ++i) {
        side.layoutWidth[i] = side.measuredWidth[i];
        if (i == 0 && hideFirstColumn) side.layoutWidth[i] = 0;
        total += side.layoutWidth[i];
    }
    const int32_t last = columns - 1;
    const int32_t rest = (area.right - area.left) - total;
    side.lastColumnWidthBefore = side.layoutWidth[last];
    side.layoutWidth[last] = std::max(0, side.layoutWidth[last] + rest);
    side.lastColumnWidth = side.layoutWidth[last];
    side.totalWidth = total - side.lastColumnWidthBefore + side.layoutWidth[last];
}

// ---------------------------------------------------------------------------
// Drawing

void JobLineUnit::Draw(const JobDrawContext& context) {
    if (!context.dc || !context.side) return;
    const JobSideRecord& side = *context.side;
    const int32_t columns = static_cast<int32_t>(std::min<uint32_t>(side.columnCount, 2));
    const COLORREF textColor = WinLayer::ListTextColor();
    const int oldMode = SetBkMode(context.dc, TRANSPARENT);
    const COLORREF oldColor = SetTextColor(context.dc, textColor);
    int32_t x = context.rect.left;
    for (int32_t i = 0; i < columns; ++i) {
        const int32_t width = side.layoutWidth[i];
        if (width <= 0) continue;
        RECT cell = {x, context.rect.top, x + width, context.rect.bottom};
        if (IsPlaceholder()) {
            // A missing side shows no text.
        } else if (IsHeader()) {
            DrawCellText(context.dc, cell, context.margin, ColumnText(i), DT_LEFT);
        } else if (i == 0) {
            DrawCellText(context.dc, cell, context.margin, NumberText(), DT_RIGHT);
        } else {
            DrawLineText(context, cell);
        }
        WinLayer::GdiPen pen(PS_SOLID, 1, GetSysColor(COLOR_BTNSHADOW));
        WinLayer::GdiSelection keep(context.dc, pen.Get());
        MoveToEx(context.dc, cell.right - 1, cell.top, nullptr);
        LineTo(context.dc, cell.right - 1, cell.bottom);
        x += width;
    }
    SetTextColor(context.dc, oldColor);
    SetBkMode(context.dc, oldMode);
}

void JobLineUnit::DrawLineText(const JobDrawContext& context, const RECT& cell) {
    const RECT area = {cell.left + context.margin, cell.top, cell.right - context.margin, cell.bottom};
    const int32_t width = area.right - area.left;
    const int32_t height = area.bottom - area.top;
    if (width <= 0 || height <= 0) return;
    LayoutCharPositions(*context.side, context.dc);
    if (GetObjectType(context.dc) == OBJ_MEMDC) {
        // Painting off screen already: straight into the target, clipped
        // to the cell and moved to its origin; RestoreDC gives back the
        // clip region, the origin and every object and colour.
        const int saved = SaveDC(context.dc);
        if (!saved) return;
        IntersectClipRect(context.dc, area.left, area.top, area.right, area.bottom);
        OffsetViewportOrgEx(context.dc, area.left, area.top, nullptr);
        PaintLineText(context, context.dc, width, height);
        RestoreDC(context.dc, saved);
        return;
    }
    // On screen: through a memory bitmap of the cell, against flicker.
    WinLayer::WinMemoryDC memory;
    if (!memory.Begin(context.dc, area)) return;
    // The box painted the row's background already: it shows through.
    memory.CopyRect();
    memory.Select(GetCurrentObject(context.dc, OBJ_FONT));
    PaintLineText(context, memory.dc, width, height);
    memory.CopyBack();
}

void JobLineUnit::PaintLineText(const JobDrawContext& context, HDC dc, int32_t width, int32_t height) {
    JobSideRecord& side = *context.side;
    const JobLineDrawData& data = *draw_;
    const int32_t length = text_.Length();
    SetBkMode(dc, TRANSPARENT);
    const int32_t origin = -side.scrollX;

    // 1. The changed segments of the row.
    if (context.report) {
        RECT band = {origin, 0, origin + data.PositionX(length + 1), height};
        RowBackgroundPaint(context.report->details, data, dc, band, side.sideIndex, 1);
    }

    // 2. The selection, or the clauses of a composition, on the focus side.
    const ColorTable& colors = ConfigStore::Instance().colors;
    if (side.focusSide == side.sideIndex) {
        int32_t startRow = side.anchorRow, endRow = side.cursorRow;
        if (startRow > endRow) std::swap(startRow, endRow);
        if (context.row >= startRow && context.row <= endRow && startRow >= 0) {
            JobColumnSpan span = SelectionColumnsOnRow(side, context.row, 0, length);
            if (side.imeState & 1) {
                // The composition is selected: its clauses get their colours.
                const JobCompositionText& main = side.composition[0];
                const int32_t start = ClampInt(span.from, 0, length);
                const int32_t end = ClampInt(span.to, start, length);
                const int32_t clauses = static_cast<int32_t>(main.clauses.size());
                if (clauses == 0) FillSpan(dc, data, origin, height, start, end, false, colors.imeClause2Color,
                                           colors.imeClauseOverwrap);
                for (int32_t c = 0; c < clauses; ++c) {
                    const RawRange& clause = main.clauses[static_cast<size_t>(c)];
                    const int32_t from = ClampInt(clause.start, 0, main.text.Length());
                    const int32_t to = ClampInt(clause.end, from, main.text.Length());
                    // Clause offsets count units of the record's text; the
                    // line holds the composition in its own kind.
                    RawString head, part;
                    head.AssignRange(main.text, RawRange{0, from});
                    part.AssignRange(main.text, RawRange{0, to});
                    RawString a, b;
                    RawLayer::ConvertTextExactly(head, text_.Kind(), a);
                    RawLayer::ConvertTextExactly(part, text_.Kind(), b);
                    const int32_t i0 = ClampInt(start + a.Length(), start, end);
                    const int32_t i1 = ClampInt(start + b.Length(), start, end);
                    // The attribute of the clause's first UTF-16 unit.
                    const size_t unit = static_cast<size_t>(head.As(RawLayer::KindUtf16).Length());
                    const uint8_t attribute = unit < main.attributes.size() ? main.attributes[unit] : 0;
                    const bool target = attribute == ATTR_TARGET_CONVERTED || attribute == ATTR_TARGET_NOTCONVERTED;
                    FillSpan(dc, data, origin, height, i0, i1, false,
                             target ? colors.imeClause1Color : colors.imeClause2Color, colors.imeClauseOverwrap);
                }
            } else if (span.from < span.to || context.row < endRow) {
                // A selection that goes on past the line takes its break too.
                FillSpan(dc, data, origin, height, span.from, context.row < endRow ? length : span.to,
                         context.row < endRow, colors.cursorPivotColor, colors.cursorPivotOverwrap);
            }
        }
    }

    // 3. The text: the runs between tabs that reach into the cell.
    TEXTMETRICW metrics{};
    const int32_t y = GetTextMetricsW(dc, &metrics) ? (height - metrics.tmHeight) / 2 : 0;
    SetTextColor(dc, WinLayer::ListTextColor());
    if (length > 0) {
        const int32_t* p = data.positions.get();
        // The first unit whose right edge passes the left edge, the first
        // whose left edge passes the right edge.
        const int32_t leftX = side.scrollX;
        const int32_t rightX = side.scrollX + width;
        int32_t first = static_cast<int32_t>(std::upper_bound(p + 1, p + length + 1, leftX) - p) - 1;
        int32_t last = static_cast<int32_t>(std::lower_bound(p, p + length + 1, rightX) - p);
        first = LineCharStart(text_, ClampInt(first, 0, length));
        last = ClampInt(last + 1, first, length);
        if (last < length) last = text_.NextCharPos(LineCharStart(text_, last));
        const WinLayer::WinShapedPlace* shaped = data.shaped.get();
        if (shaped) {
            // Pieces the platform shapes stand anywhere within their stretch
            // of the line: the whole line goes to the drawing, which draws
            // what reaches into the cell.
            first = 0;
            last = length;
        }
        WideLine line;
        BuildWideLine(text_, RawRange{first, last}, line);
        // The place of every wide unit: a character's first unit at the
        // character's position, its further units where it ends.
        const int32_t wideLength = line.wide.Length();
        std::vector<int32_t> places(static_cast<size_t>(wideLength) + 1, p[last]);
        std::vector<WinLayer::WinShapedPlace> widePlaces(shaped ? static_cast<size_t>(wideLength) : 0);
        for (int32_t pos = first; pos < last;) {
            const int32_t next = std::min(text_.NextCharPos(pos), last);
            const int32_t from = line.at(pos - first), to = line.at(next - first);
            for (int32_t w = from; w < to; ++w) {
                places[static_cast<size_t>(w)] = w == from ? p[pos] : p[next];
                // Only whether a unit starts or goes on with a shaped piece
                // matters for drawing.
                if (!shaped) continue;
                WinLayer::WinShapedPlace& place = widePlaces[static_cast<size_t>(w)];
                place = shaped[pos];
                if (w > from) place.group = shaped[pos].group ? 1 : 0;
            }
            pos = next;
        }
        if (shaped) {
            WinLayer::WinDraw::TextAtPlaces(dc, origin, y, line.wide.Wide(), wideLength, places.data(),
                                            widePlaces.data(), leftX - height, rightX + height);
        } else {
            WinLayer::WinDraw::TextAtPlaces(dc, origin, y, line.wide.Wide(), wideLength, places.data());
        }
    }

    // 4. The line-end mark right after the text.
    const LineEndMark& mark = TheLineEndMark();
    if (!mark.text.IsEmpty() && mark.color != NoColorValue) {
        const int32_t x = origin + data.PositionX(length);
        if (FontHasGlyphs(dc, mark.text)) {
            SetTextColor(dc, mark.color);
            RECT at = {x, 0, x + 32767, height};
            WinLayer::WinDrawContext target(dc);
            WinLayer::WinView::DrawTextRange(target, at, DT_NOPREFIX | DT_SINGLELINE | DT_VCENTER | DT_NOCLIP,
                                             mark.text, mark.text.All(), 1);
        } else {
            DrawLineEndArrow(dc, x, height, metrics, mark.color);
        }
    }

}

}  // namespace JobLayer
