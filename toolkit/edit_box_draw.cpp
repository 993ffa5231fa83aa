// The edit box's display side: display text, line layout, index and x
// mapping, painting with selection, composition marks and caret, the caret
// blink, and the input method.
#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstring>
#include <vector>

#include "base/api_text.h"
#include "toolkit/draw.h"
#include "toolkit/edit_box.h"
#include "toolkit/environment.h"
#include "toolkit/gdi_scope.h"
#include "toolkit/ime_control.h"

namespace WinLayer {

using RawLayer::KindUtf16;
using RawLayer::RawRange;
using RawLayer::RawString;

namespace {

// DT_NOPREFIX | DT_TABSTOP | DT_EXPANDTABS: how lines are drawn and a tab measured.
constexpr UINT kLineFormat = 0x8C0;
constexpr COLORREF kDisabledText = RGB(0xA0, 0xA0, 0xA0);
// Composition marks: clause colours alternate, the target clause has its own.
constexpr COLORREF kMarkColours[3] = {RGB(0xE0, 0xFF, 0xE0), RGB(0xFF, 0xFF, 0xA0), RGB(0xC0, 0xD0, 0xFF)};
// Units read from the input method at most.
constexpr int32_t kImeUnits = 1024;
constexpr int32_t kClauseOffsets = 50;

// The end of the character at i: a surrogate pair is one, and so is CR LF.
int32_t CharEnd(const wchar_t* units, int32_t i, int32_t end) {
    if (i + 1 >= end) return i + 1;
    if (RawLayer::IsHighSurrogate(units[i]) && RawLayer::IsLowSurrogate(units[i + 1])) return i + 2;
    return (units[i] == L'\r' && units[i + 1] == L'\n') ? i + 2 : i + 1;
}

}  // namespace

// ---- the box's own drawer and line layout ------------------------------------------------

void WinEditBoxDraw::Begin(WinDrawContext&, const RECT&, UINT, const RawString&, int) {}
void WinEditBoxDraw::End(WinDrawContext&, const RECT&) {}

// The glyphs stand where the layout measured them, so that marks painted
// under the text, the selection, the caret and a click all meet the very
// characters drawn (a whole-line DrawText may set the glyphs otherwise than
// the per-character extents add up, and expands tabs by its own rule).
void WinEditBoxDraw::DrawLine(WinDrawContext& dc, const RECT& rect, UINT, const RawString& text, const Line& line,
                              int) {
    const int32_t end = std::min<int32_t>(std::min(line.end, text.Length()), static_cast<int32_t>(widths.size()));
    if (end <= line.first) return;
    const wchar_t* units = text.Wide();
    // Only the characters that reach into the clip box (with a line's
    // height to spare for glyphs that overhang their cells) are drawn.
    int64_t left = INT64_MIN / 2, right = INT64_MAX / 2;
    RECT clip{};
    if (GetClipBox(dc.dc, &clip) != ERROR) {
        const int64_t spare = std::max<LONG>(rect.bottom - rect.top, 0);
        left = static_cast<int64_t>(clip.left) - rect.left - spare;
        right = static_cast<int64_t>(clip.right) - rect.left + spare;
    }
    // A line with text the platform shapes: its pieces stand anywhere
    // within their stretch of the line, so every place of the line is
    // worked out and each piece is drawn when its glyphs reach into the
    // clip.
    std::vector<int32_t> at;
    if (ShapedLine(line, at)) {
        const auto clamp = [](int64_t v) { return static_cast<int32_t>(std::min<int64_t>(std::max<int64_t>(v, INT32_MIN), INT32_MAX)); };
        WinDraw::TextAtPlaces(dc.dc, rect.left, rect.top, units + line.first, end - line.first, at.data(),
                              places.data() + line.first, clamp(left), clamp(right));
        return;
    }
    // The places from the line's start up to the clip's right end only: a
    // long line costs no more than the part of it on screen and before it.
    int32_t first = end, last = end;
    int64_t x = 0;
    for (int32_t i = line.first; i < end && x < right;) {
        const int32_t next = std::min(CharEnd(units, i, end), end);
        int64_t charEnd = x;
        for (int32_t k = i; k < next; ++k) charEnd += widths[static_cast<size_t>(k)];
        charEnd = std::min<int64_t>(charEnd, 0x3FFFFFFF);
        if (charEnd > left) {
            if (first == end) first = i;
            last = next;
            at.push_back(static_cast<int32_t>(x));
            for (int32_t k = i + 1; k < next; ++k) at.push_back(static_cast<int32_t>(charEnd));
        }
        x = charEnd;
        i = next;
    }
    if (last <= first) return;
    at.push_back(static_cast<int32_t>(x));
    WinDraw::TextAtPlaces(dc.dc, rect.left, rect.top, units + first, last - first, at.data());
}

void WinEditBoxDraw::AppendLine(int32_t first, int32_t end, int32_t width) {
    if (lines.size() == lines.capacity()) lines.reserve(lines.size() + 100);
    lines.push_back(Line{first, end, width});
}

void WinEditBoxDraw::BreakLines(const RawString& display, const RawString& text, bool multiLine,
                                int32_t wrapWidth) {
    lines.clear();
    const int32_t length = std::min(display.Length(), text.Length());
    const wchar_t* units = display.Wide();
    const wchar_t* characters = text.Wide();
    if (!multiLine) {
        int32_t width = 0;
        for (int32_t i = 0; i < length; ++i) width += widths[static_cast<size_t>(i)];
        AppendLine(0, length, width);
        return;
    }
    int32_t first = 0;
    int32_t width = 0;
    int32_t i = 0;
    while (i < length) {
        const wchar_t unit = units[i];
        if (unit == L'\r' || unit == L'\n') {
            AppendLine(first, i, width);
            i += (unit == L'\r' && i + 1 < length && units[i + 1] == L'\n') ? 2 : 1;
            first = i;
            width = 0;
            continue;
        }
        const int32_t next = CharEnd(characters, i, length);
        int32_t charWidth = 0;
        for (int32_t k = i; k < next; ++k) charWidth += widths[static_cast<size_t>(k)];
        // A line keeps at least its first character, so a narrow wrap width
        // (or none yet) still moves on.
        if (i > first && width + charWidth > wrapWidth) {
            AppendLine(first, i, width);
            first = i;
            width = 0;
        }
        width += charWidth;
        i = next;
    }
    AppendLine(first, length, width);
}

int32_t WinEditBoxDraw::IndexAtX(const RawString& text, int32_t line, int32_t x) const {
    if (lines.empty()) return 0;
    const Line& row = lines[static_cast<size_t>(std::max(0, std::min<int32_t>(line, lines.size() - 1)))];
    const wchar_t* units = text.Wide();
    const int32_t end = std::min<int32_t>(row.end, static_cast<int32_t>(widths.size()));
    std::vector<int32_t> at;
    if (ShapedLine(row, at)) {
        // The character whose glyphs hold x, passed once x reaches two
        // thirds of its width in its reading direction.
        const WinShapedPlace* shaped = places.data() + row.first;
        const int32_t unit = WinShapedText::UnitAtX(at.data(), shaped, end - row.first, x);
        if (unit < 0) return row.first;
        if (unit >= end - row.first) return row.end;
        int32_t start = row.first;
        while (start < end) {
            const int32_t next = std::min(CharEnd(units, start, end), end);
            if (next > row.first + unit) break;
            start = next;
        }
        const int32_t left = at[static_cast<size_t>(unit)] + shaped[unit].shift;
        const int32_t width = at[static_cast<size_t>(unit) + 1] - at[static_cast<size_t>(unit)];
        const bool before = shaped[unit].rightToLeft ? x >= left + width - 2 * width / 3 : x < left + 2 * width / 3;
        return before ? start : std::min(CharEnd(units, start, end), end);
    }
    int32_t before = 0;
    for (int32_t i = row.first; i < end;) {
        const int32_t next = std::min(CharEnd(units, i, end), end);
        int32_t charWidth = 0;
        for (int32_t k = i; k < next; ++k) charWidth += widths[static_cast<size_t>(k)];
        if (x < before + 2 * charWidth / 3) return i;
        before += charWidth;
        i = next;
    }
    return row.end;
}

int32_t WinEditBoxDraw::LineOf(int32_t index) const {
    if (lines.empty()) return 0;
    const auto after = std::upper_bound(lines.begin(), lines.end(), index,
                                        [](int32_t value, const Line& line) { return value < line.first; });
    return std::max<int32_t>(static_cast<int32_t>(after - lines.begin()) - 1, 0);
}

int32_t WinEditBoxDraw::XOf(int32_t index) const {
    if (lines.empty()) return 0;
    const Line& line = lines[static_cast<size_t>(LineOf(index))];
    const int32_t end = std::min(index, line.end);
    std::vector<int32_t> at;
    if (ShapedLine(line, at)) {
        const int32_t count = static_cast<int32_t>(at.size()) - 1;
        return WinShapedText::CaretX(at.data(), places.data() + line.first, count, end - line.first);
    }
    int32_t x = 0;
    for (int32_t i = line.first; i < end && i < static_cast<int32_t>(widths.size()); ++i) {
        x += widths[static_cast<size_t>(i)];
    }
    return x;
}

bool WinEditBoxDraw::ShapedLine(const Line& line, std::vector<int32_t>& x) const {
    const int32_t end = std::min<int32_t>(line.end, static_cast<int32_t>(widths.size()));
    if (places.size() != widths.size() || end <= line.first ||
        !WinShapedText::AnyShaped(places.data(), line.first, end))
        return false;
    x.assign(static_cast<size_t>(end - line.first) + 1, 0);
    for (int32_t i = line.first; i < end; ++i)
        x[static_cast<size_t>(i - line.first) + 1] = x[static_cast<size_t>(i - line.first)] + widths[static_cast<size_t>(i)];
    return true;
}

void WinEditBoxDraw::CellsOf(int32_t from, int32_t to, std::vector<WinCell>& cells) const {
    cells.clear();
    if (lines.empty()) return;
    const Line& line = lines[static_cast<size_t>(LineOf(from))];
    from = std::max(from, line.first);
    to = std::min(to, line.end);
    if (to <= from) return;
    std::vector<int32_t> at;
    if (ShapedLine(line, at)) {
        const int32_t count = static_cast<int32_t>(at.size()) - 1;
        WinShapedText::Cells(at.data(), places.data() + line.first, std::min(from - line.first, count),
                             std::min(to - line.first, count), cells);
        return;
    }
    const int32_t left = XOf(from), right = XOf(to);
    if (right > left) cells.emplace_back(left, right);
}

// ---- display text and layout ----------------------------------------------------------------

void WinEditBox::SyncDisplayText() {
    if (everSynced && viewRevision == textRevision) return;
    everSynced = true;
    viewRevision = textRevision;
    edit = text.Kind() == KindUtf16 ? RawString(KindUtf16, text) : text.As(KindUtf16);
    // Text from outside: nothing recorded for the old text may touch it.
    undo.Clear();
    undoPosition = 0;
    pendingHigh = 0;
    const int32_t length = Length();
    caret = std::min(std::max(caret, 0), length);
    anchor = std::min(std::max(anchor, 0), length);
    compositionStart = std::min(std::max(compositionStart, 0), length);
    compositionEnd = std::min(std::max(compositionEnd, compositionStart), length);
    MakeDisplayText();
    UpdateLayout(true);
}

void WinEditBox::MakeDisplayText() {
    const int32_t length = Length();
    display = RawString(KindUtf16);
    const wchar_t* units = edit.Wide();
    for (int32_t i = 0; i < length; ++i) {
        wchar_t unit = units[i];
        if (options & OptionPassword) {
            unit = L'*';
        } else if (unit == L'\r' || unit == L'\n') {
            if (!IsMultiLine()) unit = kControlMark;
        } else if (unit == L'\t') {
            if (options & OptionTabNotText) unit = kControlMark;
        } else if (unit < 32 || unit == 127) {
            unit = kControlMark;
        }
        display.AppendChar(unit);
    }
}

void WinEditBox::UpdateLineMetrics() {
    GdiWindowDC screen(nullptr);
    WinDrawContext dc(screen.Get());
    GdiSelection keepFont(dc.dc, GetEffectiveFont().handle);
    RECT rect{0, 0, 0x7FFF, 0x7FFF};
    const RawString sample = RawString::FromText("A");
    lineHeight = MeasureTextRange(dc, rect, 0, sample, sample.All(), 0);
}

void WinEditBox::MeasureContent(WinDrawContext& dc, const RECT& area, SIZE& size) {
    if (lineHeight <= 0) UpdateLineMetrics();
    WinEditBoxDraw& layout = drawPart;
    if (!(options & OptionTabNotText)) {
        RECT tab{0, 0, 0x7FFF, 0x7FFF};
        const RawString tabText = RawString::FromText("\t");
        MeasureTextRange(dc, tab, kLineFormat, tabText, tabText.All(), std::max<int32_t>(tabStop, 1));
        layout.tabWidth = std::max<int32_t>(tab.right - tab.left, 1);
    }
    const int32_t length = display.Length();
    layout.widths.assign(static_cast<size_t>(length), 0);
    layout.places.clear();
    if (length > 0) {
        std::vector<int> extents(static_cast<size_t>(length), 0);
        int fit = 0;
        SIZE whole{};
        if (RawLayer::ApiTextExtent(dc.dc, display, 0, length, 0x7FFFFFFF, &fit, extents.data(), &whole)) {
            int previous = 0;
            for (int32_t i = 0; i < length; ++i) {
                layout.widths[static_cast<size_t>(i)] = std::max(extents[static_cast<size_t>(i)] - previous, 0);
                previous = std::max(previous, extents[static_cast<size_t>(i)]);
            }
        }
        const wchar_t* units = display.Wide();
        // Pieces the platform shapes take the widths of their glyphs, run by
        // run between tabs and line breaks.
        WinShapedText::LayoutLine(dc.dc, units, length, layout.widths.data(), layout.places);
        const int32_t tabWidth = std::max(layout.tabWidth, 1);
        int32_t x = 0;
        for (int32_t i = 0; i < length; ++i) {
            int32_t& width = layout.widths[static_cast<size_t>(i)];
            if (units[i] == L'\r' || units[i] == L'\n') {
                width = 0;
                x = 0;
                continue;
            }
            if (units[i] == L'\t') width = x - x % tabWidth + tabWidth - x;
            x += width;
        }
    }
    const int32_t wrap = wrapWidth != 0 ? wrapWidth : area.right - area.left;
    layout.BreakLines(display, edit, IsMultiLine(), wrap);
    const int32_t lineCount = static_cast<int32_t>(layout.lines.size());
    size.cx = IsMultiLine() ? std::max(wrap, 0) : layout.lines.front().width + 2;
    size.cy = lineCount * (lineHeight + lineGap);
}

void WinEditBox::FitToText(RECT& rect) {
    SyncDisplayText();
    if (planeFlags & PlaneLayoutPending) UpdateLayout(false);
    int32_t width = 0;
    for (const WinEditBoxInfo::Line& line : drawPart.lines) width = std::max(width, line.width);
    rect.right = rect.left + width;
    rect.bottom = rect.top + static_cast<int32_t>(drawPart.lines.size()) * (lineHeight + lineGap);
}

RECT WinEditBox::CaretRect(int32_t index, int32_t width) const {
    const int32_t line = drawPart.LineOf(index);
    const int32_t pitch = lineHeight + lineGap;
    const int32_t x = contentArea.left - scroll.x + drawPart.XOf(index);
    const int32_t y = contentArea.top - scroll.y + line * pitch;
    return RECT{x, y, x + width, y + pitch};
}

void WinEditBox::ScrollCaretIntoView() {
    if (planeFlags & PlaneLayoutPending) UpdateLayout(false);
    const RECT caretAt = CaretRect(caret, 3);
    const int32_t areaWidth = contentArea.right - contentArea.left;
    const int32_t areaHeight = contentArea.bottom - contentArea.top;
    if (areaWidth <= 0 || areaHeight <= 0) return;
    if (caretAt.right > contentArea.right) scroll.x += caretAt.right - contentArea.right;
    if (caretAt.left < contentArea.left) scroll.x -= contentArea.left - caretAt.left;
    if (caretAt.bottom > contentArea.bottom) scroll.y += caretAt.bottom - contentArea.bottom;
    if (caretAt.top < contentArea.top) scroll.y -= contentArea.top - caretAt.top;
    planeFlags |= PlaneScrollPending;
}

// ---- paint -----------------------------------------------------------------------------------------

void WinEditBox::PaintUnderText(WinDrawContext&, const RECT&, POINT) {}

void WinEditBox::PaintContent(WinDrawContext& dc, const RECT& whole, const RECT& inner, POINT offset) {
    {
        GdiBrush fill(backgroundColour);
        FillRect(dc.dc, &whole, fill.Handle());
    }
    PaintUnderText(dc, inner, offset);
    const bool focus = (planeFlags & PlaneFocus) != 0;
    const int32_t pitch = lineHeight + lineGap;
    const int saved = SaveDC(dc.dc);
    IntersectClipRect(dc.dc, inner.left, inner.top, inner.right, inner.bottom);
    if (focus) {
        // Line x to client x, as CaretRect counts.
        const int32_t origin = contentArea.left - scroll.x;
        std::vector<WinCell> cells;
        const RawRange selection = Selection();
        for (const WinEditBoxInfo::Line& line : drawPart.lines) {
            const int32_t from = std::max(selection.start, line.first);
            const int32_t to = std::min(selection.end, line.end);
            if (to <= from) continue;
            const RECT start = CaretRect(from, 0);
            GdiBrush brush(kSelection);
            // Over the glyphs of the selected characters, wherever the
            // platform set them.
            drawPart.CellsOf(from, to, cells);
            for (const WinCell& cell : cells) {
                const RECT band{origin + cell.first, start.top, origin + cell.second, start.bottom};
                FillRect(dc.dc, &band, brush.Handle());
            }
        }
        const int32_t marked = std::min(compositionEnd, compositionStart + kMarks);
        for (int32_t i = std::max(compositionStart, 0); i < marked && i < static_cast<int32_t>(drawPart.widths.size());
             ++i) {
            const uint8_t mark = marks[i - compositionStart];
            GdiBrush brush(kMarkColours[mark < 3 ? mark : 0]);
            if (drawPart.places.empty()) {
                const RECT at = CaretRect(i, drawPart.widths[static_cast<size_t>(i)]);
                FillRect(dc.dc, &at, brush.Handle());
                continue;
            }
            const RECT row = CaretRect(i, 0);
            drawPart.CellsOf(i, i + 1, cells);
            for (const WinCell& cell : cells) {
                const RECT at{origin + cell.first, row.top, origin + cell.second, row.bottom};
                FillRect(dc.dc, &at, brush.Handle());
            }
        }
    }
    COLORREF ink = textColour;
    if (ink == CLR_INVALID) ink = (!window || IsWindowEnabled(window)) ? ListTextColor() : kDisabledText;
    SetTextColor(dc.dc, ink);
    WinEditBoxInfo::Drawer& painter = drawer ? *drawer : static_cast<WinEditBoxInfo::Drawer&>(drawPart);
    painter.Begin(dc, inner, kLineFormat, display, tabStop);
    for (size_t n = 0; n < drawPart.lines.size(); ++n) {
        const int32_t top = inner.top - offset.y + static_cast<int32_t>(n) * pitch + (lineGap + 1) / 2;
        const RECT row{inner.left - offset.x, top, inner.right + std::max<LONG>(offset.x, 0) + 0x7FFF, top + lineHeight};
        if (row.bottom <= inner.top || row.top >= inner.bottom) continue;
        painter.DrawLine(dc, row, kLineFormat, display, drawPart.lines[n], tabStop);
    }
    painter.End(dc, inner);
    drawPart.caretRect = RECT{};
    if (focus) {
        drawPart.caretRect = CaretRect(caret, 2);
        if (!(options & OptionNoCaret)) {
            const RECT& c = drawPart.caretRect;
            BitBlt(dc.dc, c.left, c.top, c.right - c.left, c.bottom - c.top, nullptr, 0, 0, DSTINVERT);
        }
    }
    RestoreDC(dc.dc, saved);
    COLORREF frame = CLR_INVALID;
    if (options & OptionImeOpen) {
        frame = kFrameImeOpen;
    } else if (options & OptionAlert) {
        frame = kFrameAlert;
    } else if (focus) {
        frame = kFrameFocus;
    }
    if (frame != CLR_INVALID) {
        GdiBrush brush(frame);
        FrameRect(dc.dc, &whole, brush.Handle());
    }
}

void WinEditBox::BlinkCaret() {
    if ((options & OptionNoCaret) || !window) return;
    const RECT& c = drawPart.caretRect;
    if (c.right <= c.left) return;
    GdiWindowDC dc(window);
    IntersectClipRect(dc.Get(), contentArea.left, contentArea.top, contentArea.right, contentArea.bottom);
    BitBlt(dc.Get(), c.left, c.top, c.right - c.left, c.bottom - c.top, nullptr, 0, 0, DSTINVERT);
}

// ---- input method -----------------------------------------------------------------------------------

namespace {

// One composition string of the context: its units (at most 1024), or -1
// when the context answers an error.
int32_t ReadImeString(HIMC ime, DWORD index, wchar_t* buffer) {
    const LONG bytes = ImmGetCompositionStringW(ime, index, nullptr, 0);
    if (bytes < 0) return -1;
    if (bytes == 0) return 0;
    const LONG wanted = std::min<LONG>(bytes, kImeUnits * 2);
    const LONG got = ImmGetCompositionStringW(ime, index, buffer, static_cast<DWORD>(wanted));
    if (got < 0) return -1;
    return std::min<LONG>(got, wanted) / 2;
}

}  // namespace

void WinEditBox::CompleteComposition() { ImmNotifyIME(ime, NI_COMPOSITIONSTR, CPS_COMPLETE, 0); }

void WinEditBox::ReadMarks(LPARAM flags, int32_t length) {
    std::memset(marks, 0, sizeof(marks));
    const int32_t marked = std::min(length, kMarks);
    if (flags & GCS_COMPCLAUSE) {
        DWORD offsets[kClauseOffsets] = {};
        const LONG bytes = ImmGetCompositionStringW(ime, GCS_COMPCLAUSE, offsets, sizeof(offsets));
        const int32_t count = bytes > 0 ? std::min<int32_t>(bytes / 4, kClauseOffsets) : 0;
        int32_t previous = 0;
        for (int32_t k = 0; k + 1 < count; ++k) {
            const int32_t from = std::max(previous, std::min<int32_t>(static_cast<int32_t>(offsets[k]), marked));
            const int32_t to = std::max(from, std::min<int32_t>(static_cast<int32_t>(offsets[k + 1]), marked));
            for (int32_t i = from; i < to; ++i) marks[i] = static_cast<uint8_t>(k % 2);
            previous = to;
        }
    }
    if (flags & GCS_COMPATTR) {
        BYTE attributes[kMarks] = {};
        const LONG bytes = ImmGetCompositionStringW(ime, GCS_COMPATTR, attributes, sizeof(attributes));
        const int32_t count = bytes > 0 ? std::min<int32_t>(bytes, marked) : 0;
        for (int32_t i = 0; i < count; ++i) {
            if (attributes[i] == ATTR_TARGET_CONVERTED || attributes[i] == ATTR_TARGET_NOTCONVERTED) marks[i] = 2;
        }
    }
}

void WinEditBox::ReadComposition(LPARAM flags) {
    wchar_t buffer[kImeUnits];
    const auto begin = [this] {
        if (composing) return;
        HandleImeMessage(WM_IME_STARTCOMPOSITION, 0, 0);
    };
    if (flags & GCS_RESULTSTR) {
        const int32_t units = ReadImeString(ime, GCS_RESULTSTR, buffer);
        if (units > 0 || (units == 0 && composing)) {
            begin();
            const RawString result = RawString::FromWideText(buffer, units);
            const int32_t start = compositionStart;
            ReplaceText(RawRange{start, compositionEnd}, result);
            // The result and the selection it replaced are one undo step.
            if (!result.IsEmpty() || !compositionReplaced.IsEmpty()) PushUndoRecord(start, compositionReplaced, result);
            lastComposition = result;
            compositionReplaced = RawString(KindUtf16);
            compositionStart = compositionEnd = std::min(start + units, Length());
            caret = anchor = compositionEnd;
            std::memset(marks, 0, sizeof(marks));
        }
    }
    if (flags & GCS_COMPSTR) {
        const int32_t units = ReadImeString(ime, GCS_COMPSTR, buffer);
        if (units > 0 || (units == 0 && composing && compositionEnd > compositionStart)) {
            begin();
            const int32_t start = compositionStart;
            ReplaceText(RawRange{start, compositionEnd}, RawString::FromWideText(buffer, units));
            compositionEnd = std::min(start + units, Length());
            ReadMarks(flags, units);
            if (flags & GCS_CURSORPOS) {
                const LONG position = ImmGetCompositionStringW(ime, GCS_CURSORPOS, nullptr, 0);
                if (position >= 0 && position <= units) caret = anchor = start + position;
                ScrollCaretIntoView();
            }
        }
    }
    Invalidate();
}

void WinEditBox::EndComposition() {
    // A composition never committed is taken out, and the selection it
    // replaced comes back.
    if (composing && (compositionEnd > compositionStart || !compositionReplaced.IsEmpty())) {
        const int32_t start = compositionStart;
        const RawString restored = compositionReplaced;
        ReplaceText(RawRange{start, compositionEnd}, restored);
        SetSelection(start, start + restored.Length());
    }
    compositionReplaced = RawString(KindUtf16);
    compositionEnd = compositionStart = std::min(compositionStart, Length());
    std::memset(marks, 0, sizeof(marks));
    composing = false;
    Invalidate();
}

LRESULT WinEditBox::Reconvert(RECONVERTSTRING* buffer) {
    const RawRange selection = Selection();
    const int32_t units = selection.end - selection.start;
    if (!buffer) return ReconvertSize(units);
    return FillReconvert(*buffer, edit.Wide() + selection.start, units) ? ReconvertSize(units) : 0;
}

LRESULT WinEditBox::HandleImeMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (!ime) return kNotHandled;
    switch (message) {
    case WM_IME_STARTCOMPOSITION: {
        if (!composing) {
            composing = true;
            const RawRange selection = Selection();
            compositionReplaced = RawString(KindUtf16);
            compositionReplaced.AppendRange(edit, selection);
            if (selection.end > selection.start) ReplaceText(selection, RawString(KindUtf16));
            compositionStart = compositionEnd = selection.start;
            std::memset(marks, 0, sizeof(marks));
        }
        LOGFONTW description = GetEffectiveFont().description;
        ImmSetCompositionFontW(ime, &description);
        return 0;
    }
    case WM_IME_COMPOSITION:
        ReadComposition(lParam);
        return 0;
    case WM_IME_ENDCOMPOSITION:
        EndComposition();
        return 0;
    case WM_IME_CHAR:
        return 0;
    case WM_IME_NOTIFY:
        if ((planeFlags & PlaneFocus) && wParam == IMN_SETOPENSTATUS) {
            options = static_cast<uint16_t>(ImmGetOpenStatus(ime) ? (options | OptionImeOpen)
                                                                  : (options & ~OptionImeOpen));
            Invalidate();
        }
        return 0;
    case WM_IME_REQUEST:
        if (wParam == IMR_QUERYCHARPOSITION && lParam) {
            auto& position = *reinterpret_cast<IMECHARPOSITION*>(lParam);
            RECT windowRect{};
            if (window) GetWindowRect(window, &windowRect);
            position.dwSize = sizeof(IMECHARPOSITION);
            position.dwCharPos = static_cast<DWORD>(caret);
            position.pt = POINT{windowRect.left, windowRect.top};
            position.cLineHeight = static_cast<UINT>(windowRect.bottom - windowRect.top);
            position.rcDocument = windowRect;
            return 1;
        }
        if (wParam == IMR_RECONVERTSTRING) return Reconvert(reinterpret_cast<RECONVERTSTRING*>(lParam));
        return 0;
    case WM_SETFOCUS:
        options = static_cast<uint16_t>(ImmGetOpenStatus(ime) ? (options | OptionImeOpen) : (options & ~OptionImeOpen));
        Invalidate();
        return kNotHandled;
    case WM_KILLFOCUS:
        options &= static_cast<uint16_t>(~OptionImeOpen);
        Invalidate();
        if (composing) CompleteComposition();
        return kNotHandled;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
        if (composing) CompleteComposition();
        return kNotHandled;
    case WM_KEYDOWN:
        if ((options & OptionImeOpen) && composing) return 0;
        return kNotHandled;
    default:
        return kNotHandled;
    }
}

}  // namespace WinLayer
