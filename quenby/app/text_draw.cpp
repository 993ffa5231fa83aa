#include "quenby/app/text_draw.h"

#include <algorithm>
#include <climits>

#include "base/api_text.h"

namespace AppLayer {

namespace {

constexpr uint32_t kMarkOpen = 0x1E;
constexpr uint32_t kMarkClose = 0x1F;
// The largest extent the platform's measuring call is asked about.
constexpr int kMaxExtent = 32767;

// The unit at a position inside the text (the caller keeps it in range).
inline uint32_t Unit(const RawString& text, int32_t pos) {
    return text.Kind() == RawLayer::KindUtf16 ? static_cast<uint32_t>(text.Wide()[pos])
                                              : static_cast<uint8_t>(text.Bytes()[pos]);
}

// Whether [first, end) of a text of one-byte units is 7-bit: one unit per
// character, measured through the ANSI entry point as it is.
bool SevenBit(const RawString& text, int32_t first, int32_t end) {
    if (text.Kind() == RawLayer::KindUtf16) return false;
    const char* bytes = text.Bytes();
    for (int32_t i = first; i < end; ++i)
        if (static_cast<uint8_t>(bytes[i]) >= 0x80) return false;
    return true;
}

bool PrintableAscii(uint32_t c) { return c >= 33 && c <= 126; }
bool AsciiAlnum(uint32_t c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

// The end of the mark run that starts at `pos` (after its 0x1F, or `end`).
int32_t MarkRunEnd(const RawString& text, int32_t pos, int32_t end) {
    for (int32_t i = pos + 1; i < end; ++i)
        if (Unit(text, i) == kMarkClose) return i + 1;
    return end;
}

}  // namespace

int32_t WinTabSettings::TabWidth(int32_t x, int32_t columns) const {
    int32_t n = count < 1 ? 1 : count;
    int32_t u = unit < 1 ? 1 : unit;
    int64_t stop = static_cast<int64_t>(n) * u;
    int64_t width;
    switch (mode) {
    case 1: {
        int64_t target = (static_cast<int64_t>(columns) / n + 1) * stop;
        width = target - x;
        break;
    }
    case 2:
        width = (x < 0 ? 0 : (x / stop + 1) * stop) - x;
        break;
    case 3:
        width = u;
        break;
    default:
        width = stop;
        break;
    }
    if (width < 1) width = 1;
    return width > kMaxExtent ? kMaxExtent : static_cast<int32_t>(width);
}

// ---------------------------------------------------------------------------
// WinTextDraw

void WinTextDraw::Prepare(int32_t first, int32_t count) {
    size_t n = static_cast<size_t>(count < 0 ? 0 : count);
    if (widths_.size() < n) {
        widths_.resize(n);
        breaks_.resize(n);
    }
    std::fill(widths_.begin(), widths_.begin() + n, 0);
    std::fill(breaks_.begin(), breaks_.begin() + n, 0);
    base_ = first;
}

void WinTextDraw::HandleMark(const RawString&, int32_t) {}

void WinTextDraw::DrawRun(HDC dc, const RawString& text, const WinTextPart& part, POINT origin) {
    RECT r = part.rect;
    OffsetRect(&r, origin.x, origin.y);
    DrawPlain(dc, text, part.start, part.end, r, r.right - r.left);
}

namespace {

// The pixels of bold weight for a font of the height: one per
// kBoldHeightPerPixel pixels of it, rounded.
int32_t BoldPixels(int32_t height) {
    return (std::max(0, height) + GuiTextDraw::kBoldHeightPerPixel / 2) / GuiTextDraw::kBoldHeightPerPixel;
}

// Whether any unit of [first, end) is outside 7-bit ASCII.
bool AnyNonAscii(const RawString& text, int32_t first, int32_t end) {
    for (int32_t i = first; i < end; ++i)
        if (Unit(text, i) >= 0x80) return true;
    return false;
}

// Appends the UTF-16 form of the units [first, end) of the text.
void AppendWide(const RawString& text, int32_t first, int32_t end, std::wstring& out) {
    const int32_t count = end - first;
    if (count <= 0) return;
    if (text.Kind() == RawLayer::KindUtf16) {
        out.append(text.Wide() + first, static_cast<size_t>(count));
        return;
    }
    const UINT page = text.Kind() == RawLayer::KindUtf8 ? CP_UTF8
                      : text.Kind() == RawLayer::KindSjis ? 932
                      : text.Kind() == RawLayer::KindAnsi ? CP_ACP
                                                          : 0;
    if (page != 0) {
        const int n = MultiByteToWideChar(page, 0, text.Bytes() + first, count, nullptr, 0);
        if (n <= 0) return;
        const size_t at = out.size();
        out.resize(at + static_cast<size_t>(n));
        MultiByteToWideChar(page, 0, text.Bytes() + first, count, &out[at], n);
        return;
    }
    RawString piece(text.Kind());
    piece.AssignRange(text, RawRange{first, end});
    RawString converted = piece.As(RawLayer::KindUtf16);
    out.append(converted.Wide(), static_cast<size_t>(converted.Length()));
}

// The code point of the well-formed UTF-8 character of exactly n bytes at
// b; 0x110000 for anything else.
uint32_t DecodeUtf8Char(const uint8_t* b, int32_t n) {
    uint32_t code = 0;
    return n > 0 && RawLayer::DecodeUtf8(b, n, code) == n ? code : 0x110000;
}

// Appends the UTF-16 form of the one character [at, next) of the text:
// UTF-16 and well-formed UTF-8 as they are, anything else as the platform
// converts it. A layout meets every character once: one platform call per
// character would cost more than the measuring.
void AppendCharWide(const RawString& text, int32_t at, int32_t next, std::wstring& out) {
    if (text.Kind() == RawLayer::KindUtf16) {
        out.append(text.Wide() + at, static_cast<size_t>(next - at));
        return;
    }
    if (text.Kind() == RawLayer::KindUtf8) {
        const uint32_t code = DecodeUtf8Char(reinterpret_cast<const uint8_t*>(text.Bytes()) + at, next - at);
        if (code < 0x10000) {
            out.push_back(static_cast<wchar_t>(code));
            return;
        }
        if (code < 0x110000) {
            out.push_back(static_cast<wchar_t>(0xD800 + ((code - 0x10000) >> 10)));
            out.push_back(static_cast<wchar_t>(0xDC00 + ((code - 0x10000) & 0x3FF)));
            return;
        }
    }
    AppendWide(text, at, next, out);
}

// Spreads whole-pixel advances over `width` pixels, each glyph where its
// share of the width puts it.
void FitAdvances(INT* advances, int32_t count, int32_t width) {
    int64_t total = 0;
    for (int32_t i = 0; i < count; ++i) total += advances[i];
    if (width <= 0 || total <= 0 || total == width) return;
    int64_t sum = 0, placed = 0;
    for (int32_t i = 0; i < count; ++i) {
        sum += advances[i];
        const int64_t at = (sum * width + total / 2) / total;
        advances[i] = static_cast<INT>(at - placed);
        placed = at;
    }
}

}  // namespace

WinTextDraw::~WinTextDraw() = default;

WinTextDraw::GlyphStats WinTextDraw::GlyphStatistics() const {
    GlyphStats stats;
    stats.blockChecks = coverage_.BlockChecks();
    stats.linkChecks = coverage_.LinkChecks();
    stats.fallbackPieces = fallbackPieces_;
    stats.fallbackMeasures = fallbackMeasures_;
    stats.tableRanges = widthTable_.Ranges();
    return stats;
}

bool WinTextDraw::WholePixelAdvances(HDC dc) { return GetDeviceCaps(dc, TECHNOLOGY) == DT_RASDISPLAY; }

RECT WinTextDraw::RunClip(HDC dc, const RECT& rect) {
    if (WholePixelAdvances(dc)) return rect;
    // A glyph's ink may stand out of its advance, and a printer's driver
    // puts the ink at finer positions than whole pixels: the sides of a run
    // are no place to cut a glyph. The clip keeps the run to its rows.
    TEXTMETRICW metrics{};
    const int64_t height = GetTextMetricsW(dc, &metrics) ? metrics.tmHeight : 0;
    const int64_t room = std::min<int64_t>(std::max<int64_t>(height, 0), kMaxExtent);
    RECT clip = rect;
    clip.left = static_cast<LONG>(std::max<int64_t>(static_cast<int64_t>(rect.left) - room, INT32_MIN));
    clip.right = static_cast<LONG>(std::min<int64_t>(static_cast<int64_t>(rect.right) + room, INT32_MAX));
    return clip;
}

int32_t WinTextDraw::BoldStrokes(HDC dc) {
    if (WholePixelAdvances(dc)) return 0;
    HGDIOBJ font = GetCurrentObject(dc, OBJ_FONT);
    LOGFONTW want{};
    if (!font || GetObjectW(font, sizeof want, &want) != static_cast<int>(sizeof want) || want.lfWeight < FW_SEMIBOLD)
        return 0;
    // The face the driver draws in, not the one asked for: a face that is
    // not installed is replaced by another, which may have a bold style.
    TEXTMETRICW metrics{};
    wchar_t face[LF_FACESIZE] = {};
    if (!GetTextMetricsW(dc, &metrics) || GetTextFaceW(dc, LF_FACESIZE, face) <= 0) return 0;
    face[LF_FACESIZE - 1] = 0;
    if (boldStyles_.Has(face)) return 0;
    return std::max(1, std::min(BoldPixels(metrics.tmHeight), 64));
}

void WinTextDraw::DrawPlanned(HDC dc, const wchar_t* wide, int32_t count, HFONT fallback, const RECT& rect,
                              int32_t fit) {
    HGDIOBJ base = GetCurrentObject(dc, OBJ_FONT);
    const RECT clip = RunClip(dc, rect);
    // Each font is selected once, whatever the number of stretches: a
    // selection can cost far more than the measuring and drawing it serves
    // (Wine on an X display without a resource database reads the user's
    // X defaults files again for every one). The base font's stretches are
    // measured while it is still selected, the fallback's next, and the
    // fallback's are drawn before the base's; the text is drawn on a
    // transparent background, so the order leaves the same pixels.
    auto eachStretch = [&](uint8_t which, auto&& act) {
        int32_t x = rect.left;
        for (int32_t i = 0; i < count;) {
            const uint8_t use = useFallback_[static_cast<size_t>(i)];
            int32_t j = i + 1;
            while (j < count && useFallback_[static_cast<size_t>(j)] == use) ++j;
            if (use == which) act(i, j, x);
            for (int32_t k = i; k < j; ++k) x += advances_[static_cast<size_t>(k)];
            i = j;
        }
    };
    advances_.assign(static_cast<size_t>(count), 0);
    bool placed = true;
    auto measure = [&](int32_t i, int32_t j, int32_t) {
        placed = MeasureAdvances(dc, wide + i, j - i, advances_.data() + i) && placed;
    };
    TEXTMETRICW baseMetrics{}, fallbackMetrics{};
    GetTextMetricsW(dc, &baseMetrics);
    const int32_t baseStrokes = BoldStrokes(dc);
    eachStretch(0, measure);
    SelectObject(dc, fallback);
    GetTextMetricsW(dc, &fallbackMetrics);
    eachStretch(1, measure);
    if (fit > 0) FitAdvances(advances_.data(), count, fit);
    const int32_t strokes[2] = {baseStrokes, BoldStrokes(dc)};
    // Both faces stand on the base font's baseline.
    const int32_t rise = baseMetrics.tmAscent - fallbackMetrics.tmAscent;
    auto draw = [&](int32_t i, int32_t j, int32_t x) {
        const bool use = useFallback_[static_cast<size_t>(i)] != 0;
        if (use) ++fallbackPieces_;
        const int32_t y = rect.top + (use ? rise : 0);
        const INT* advances = placed ? advances_.data() + i : nullptr;
        const int32_t times = 1 + strokes[use ? 1 : 0];
        for (int32_t o = 0; o < times; ++o)
            ExtTextOutW(dc, x + o, y, ETO_CLIPPED, &clip, wide + i, static_cast<UINT>(j - i), advances);
    };
    eachStretch(1, draw);
    SelectObject(dc, base);
    eachStretch(0, draw);
}

void WinTextDraw::DrawPlaced(HDC dc, const RawString& text, int32_t start, int32_t end, const RECT& rect,
                             int32_t fit) {
    wide_.clear();
    AppendWide(text, start, end, wide_);
    const int32_t n = static_cast<int32_t>(wide_.size());
    if (n <= 0) return;
    advances_.assign(static_cast<size_t>(n), 0);
    // 7-bit text of one-byte units is measured from the font's table, as
    // the layout measured it; other text by the platform.
    int32_t height = 0;
    const int32_t* table = n == end - start && SevenBit(text, start, end) ? SevenBitWidths(dc, &height) : nullptr;
    bool placed = true;
    if (table) {
        const char* bytes = text.Bytes();
        for (int32_t i = 0; i < n; ++i) advances_[static_cast<size_t>(i)] = table[static_cast<uint8_t>(bytes[start + i])];
    } else {
        placed = MeasureAdvances(dc, wide_.data(), n, advances_.data());
    }
    if (placed && fit > 0) FitAdvances(advances_.data(), n, fit);
    const RECT clip = RunClip(dc, rect);
    const int32_t strokes = BoldStrokes(dc);
    for (int32_t o = 0; o <= strokes; ++o)
        ExtTextOutW(dc, rect.left + o, rect.top, ETO_CLIPPED, &clip, wide_.data(), static_cast<UINT>(n),
                    placed ? advances_.data() : nullptr);
}

void WinTextDraw::DrawPlain(HDC dc, const RawString& text, int32_t start, int32_t end, const RECT& rect,
                            int32_t fit) {
    RawRange range = text.ClampEnd(RawRange{start, end});
    int32_t count = range.end - range.start;
    if (count <= 0) return;
    const bool whole = WholePixelAdvances(dc);
    if (AnyNonAscii(text, range.start, range.end)) {
        // The printer's driver, and a screen without a font link, draw the
        // characters the font lacks as empty boxes.
        fallbackText_.clear();
        AppendWide(text, range.start, range.end, fallbackText_);
        HFONT fallback = nullptr;
        const int32_t n = static_cast<int32_t>(fallbackText_.size());
        if (coverage_.Plan(dc, fallbackText_.data(), n, useFallback_, &fallback)) {
            DrawPlanned(dc, fallbackText_.data(), n, fallback, rect, whole ? 0 : fit);
            return;
        }
        if (whole && !RawLayer::TakesAnsi(RawLayer::ApiKindOfRange(text, range)) &&
            text.Kind() != RawLayer::KindUtf16) {
            // Converted already: drawn as it is.
            if (n > 0)
                ExtTextOutW(dc, rect.left, rect.top, ETO_CLIPPED, &rect, fallbackText_.data(), static_cast<UINT>(n),
                            nullptr);
            return;
        }
    }
    if (!whole) {
        // A printer's driver left to place the glyphs itself advances them
        // by finer steps than the whole pixels they were measured in, and
        // the run grows or shrinks by their sum.
        DrawPlaced(dc, text, range.start, range.end, rect, fit);
        return;
    }
    if (RawLayer::TakesAnsi(RawLayer::ApiKindOfRange(text, range))) {
        ExtTextOutA(dc, rect.left, rect.top, ETO_CLIPPED, &rect, text.Bytes() + range.start,
                    static_cast<UINT>(count), nullptr);
        return;
    }
    if (text.Kind() == RawLayer::KindUtf16) {
        ExtTextOutW(dc, rect.left, rect.top, ETO_CLIPPED, &rect, text.Wide() + range.start,
                    static_cast<UINT>(count), nullptr);
        return;
    }
    wide_.clear();
    AppendWide(text, range.start, range.end, wide_);
    if (!wide_.empty())
        ExtTextOutW(dc, rect.left, rect.top, ETO_CLIPPED, &rect, wide_.data(), static_cast<UINT>(wide_.size()),
                    nullptr);
}

int32_t WinTextDraw::MeasureFallback(HDC dc, const RawString& text, int32_t first, int32_t end, int32_t* height) {
    // The visible non-ASCII characters, each with the position of its first
    // unit.
    fallbackText_.clear();
    fallbackPos_.clear();
    for (int32_t at = first; at < end;) {
        const int32_t next = text.NextCharPos(at);
        if (next <= at) break;
        if (WidthAt(at) >= 0 && Unit(text, at) >= 0x80) {
            AppendCharWide(text, at, next, fallbackText_);
            fallbackPos_.resize(fallbackText_.size(), at);
        }
        at = next;
    }
    HFONT fallback = nullptr;
    const int32_t n = static_cast<int32_t>(fallbackText_.size());
    if (!coverage_.Plan(dc, fallbackText_.data(), n, useFallback_, &fallback)) return 0;
    // Those the fallback draws, measured in it one after another.
    std::wstring chosen;
    std::vector<int32_t> chosenPos;
    for (int32_t i = 0; i < n; ++i) {
        if (!useFallback_[static_cast<size_t>(i)]) continue;
        chosen.push_back(fallbackText_[static_cast<size_t>(i)]);
        chosenPos.push_back(fallbackPos_[static_cast<size_t>(i)]);
    }
    const int32_t m = static_cast<int32_t>(chosen.size());
    ++fallbackMeasures_;
    if (fallbackExtents_.size() < chosen.size()) fallbackExtents_.resize(chosen.size());
    HGDIOBJ old = SelectObject(dc, fallback);
    int fit = 0;
    SIZE size{0, 0};
    const bool measured =
        GetTextExtentExPointW(dc, chosen.data(), m, INT_MAX, &fit, fallbackExtents_.data(), &size) != 0;
    SelectObject(dc, old);
    if (!measured) return 0;
    *height = std::max<int32_t>(*height, size.cy);
    int32_t change = 0;
    for (int32_t i = 0; i < m;) {
        // The units of one character share its position; its width is the
        // extent to its last unit.
        int32_t j = i + 1;
        while (j < m && chosenPos[static_cast<size_t>(j)] == chosenPos[static_cast<size_t>(i)]) ++j;
        const int32_t before = i > 0 ? fallbackExtents_[static_cast<size_t>(i - 1)] : 0;
        const int32_t width = std::max<int32_t>(0, fallbackExtents_[static_cast<size_t>(j - 1)] - before);
        int32_t& w = widths_[static_cast<size_t>(chosenPos[static_cast<size_t>(i)] - base_)];
        change += width - w;
        w = width;
        i = j;
    }
    return change;
}

void WinTextDraw::BreakMarks(const RawString& text, int32_t first, int32_t end) {
    uint32_t previous = 0;
    bool any = false;
    for (int32_t i = first; i < end; ++i) {
        int32_t w = WidthAt(i);
        if (w < 0) continue;  // hidden units and trail units never allow a break
        uint32_t c = Unit(text, i);
        bool allowed = true;
        if (any && breakMode == 1) allowed = !(PrintableAscii(c) && PrintableAscii(previous));
        if (any && breakMode == 2) allowed = !(AsciiAlnum(c) && AsciiAlnum(previous));
        breaks_[i - base_] = allowed ? 1 : 0;
        previous = c;
        any = true;
    }
}

// ---------------------------------------------------------------------------
// GuiTextDraw

void GuiTextDraw::HandleMark(const RawString& text, int32_t pos) {
    if (pos < 0 || pos + 1 >= text.Length()) return;
    uint32_t code = text.UnitAt(pos + 1);
    switch (code) {
    case 'l': case 'm': state |= StateLink; break;
    case 'L': case 'M': state &= ~static_cast<uint32_t>(StateLink); break;
    case 'i': state |= StateItalic; break;
    case 'I': state &= ~static_cast<uint32_t>(StateItalic); break;
    case 'd': state |= StateItalic | StateBold; break;
    case 'D': state &= ~static_cast<uint32_t>(StateItalic | StateBold); break;
    case 'b': state |= StateBold; break;
    case 'B': state &= ~static_cast<uint32_t>(StateBold); break;
    case 'u': state |= StateUnderline; break;
    case 'U': state &= ~static_cast<uint32_t>(StateUnderline); break;
    case 's': state |= StateStrike; break;
    case 'S': state &= ~static_cast<uint32_t>(StateStrike); break;
    default: break;  // 0x1F at once, or an unknown code: nothing changes
    }
}

namespace {

// A horizontal line in a colour from row y down, `width` rows thick.
void HorizontalLine(HDC dc, int32_t left, int32_t right, int32_t y, int32_t width, COLORREF colour) {
    HBRUSH brush = CreateSolidBrush(colour);
    if (!brush) return;
    const RECT line{left, y, right, y + std::max(1, width)};
    FillRect(dc, &line, brush);
    DeleteObject(brush);
}

}  // namespace

COLORREF GuiTextDraw::StateColour() const {
    return (state & StateLink) ? kLinkColor : (state & (StateStrike | StateUnderline)) ? kLineColor : kItalicColor;
}

// A shrunk page keeps a one-pixel offset and line only when they span a
// whole screen pixel wherever they fall: the bold offset is at least the
// reduction, a line twice the reduction less one. A bold offset of one
// device pixel would vanish on a printer's fine pixels: it grows with the
// text height, the same share of it on the screen and on paper.
int32_t GuiTextDraw::BoldOffset(HDC dc) {
    if (!(state & StateBold)) return 0;
    int32_t height = 0;
    if (!SevenBitWidths(dc, &height)) {
        TEXTMETRICW metrics{};
        height = GetTextMetricsW(dc, &metrics) ? metrics.tmHeight : 0;
    }
    return std::max(1, std::min(std::max(reduction, BoldPixels(height)), 64));
}

int32_t GuiTextDraw::LineWidth() const { return 2 * std::max(1, std::min(reduction, 64)) - 1; }

void GuiTextDraw::DrawStateLines(HDC dc, const RECT& r, COLORREF colour, int32_t boldOffset) {
    const int32_t width = LineWidth();
    if (state & StateLink) {
        HorizontalLine(dc, r.left, r.right + boldOffset, r.bottom - width, width, colour);
    } else if (state & (StateStrike | StateUnderline)) {
        if (state & StateStrike) HorizontalLine(dc, r.left, r.right, (r.top + r.bottom) / 2 - width / 2, width, colour);
        if (state & StateUnderline) HorizontalLine(dc, r.left, r.right, r.bottom - width, width, colour);
    }
}

void GuiTextDraw::DrawRun(HDC dc, const RawString& text, const WinTextPart& part, POINT origin) {
    RECT r = part.rect;
    OffsetRect(&r, origin.x, origin.y);
    const int32_t offset = BoldOffset(dc);
    auto drawText = [&] {
        DrawPlain(dc, text, part.start, part.end, r, r.right - r.left);
        for (int32_t o = 1; o <= offset; ++o) {
            RECT b = r;
            OffsetRect(&b, o, 0);
            DrawPlain(dc, text, part.start, part.end, b, b.right - b.left);
        }
    };
    if (state == 0 || state == StateBold) {
        drawText();
        return;
    }
    COLORREF colour = StateColour();
    COLORREF previous = SetTextColor(dc, colour);
    drawText();
    DrawStateLines(dc, r, colour, offset);
    SetTextColor(dc, previous);
}

void GuiTextDraw::DrawRowRuns(HDC dc, const RawString& text, const std::vector<const WinTextPart*>& runs,
                              POINT origin) {
    int32_t height = 0;
    const int32_t* widths =
        runs.size() > 1 && text.Kind() != RawLayer::KindUtf16 ? SevenBitWidths(dc, &height) : nullptr;
    rowText_.clear();
    rowAdvances_.clear();
    rowRuns_.clear();
    const char* bytes = text.Bytes();
    for (const WinTextPart* part : runs) {
        RawRange r = text.ClampEnd(RawRange{part->start, part->end});
        if (!widths || r.end <= r.start || !SevenBit(text, r.start, r.end)) {
            DrawRun(dc, text, *part, origin);
            continue;
        }
        // The last character before this run advances to the run's start,
        // where the layout put it.
        if (!rowRuns_.empty()) rowAdvances_.back() += part->rect.left - rowRuns_.back()->rect.right;
        for (int32_t i = r.start; i < r.end; ++i) {
            const uint8_t c = static_cast<uint8_t>(bytes[i]);
            rowText_.push_back(static_cast<wchar_t>(c));
            rowAdvances_.push_back(widths[c]);
        }
        rowRuns_.push_back(part);
    }
    if (rowRuns_.empty()) return;
    RECT whole{rowRuns_.front()->rect.left, rowRuns_.front()->rect.top, rowRuns_.back()->rect.right,
               rowRuns_.front()->rect.bottom};
    OffsetRect(&whole, origin.x, origin.y);
    const bool plain = state == 0 || state == StateBold;
    const COLORREF colour = plain ? GetTextColor(dc) : StateColour();
    const COLORREF previous = SetTextColor(dc, colour);
    const UINT count = static_cast<UINT>(rowText_.size());
    const RECT clip = RunClip(dc, whole);
    ExtTextOutW(dc, whole.left, whole.top, ETO_CLIPPED, &clip, rowText_.data(), count, rowAdvances_.data());
    const int32_t offset = BoldOffset(dc);
    // Where the device makes no bold of the font's face, the font's own
    // strokes follow the emphasis strokes: the pixels of the runs drawn one
    // at a time.
    const int32_t strokes = offset + BoldStrokes(dc);
    for (int32_t o = 1; o <= strokes; ++o) {
        RECT b = clip;
        OffsetRect(&b, o, 0);
        ExtTextOutW(dc, whole.left + o, whole.top, ETO_CLIPPED, &b, rowText_.data(), count, rowAdvances_.data());
    }
    if (!plain) {
        for (const WinTextPart* part : rowRuns_) {
            RECT r = part->rect;
            OffsetRect(&r, origin.x, origin.y);
            DrawStateLines(dc, r, colour, offset);
        }
    }
    SetTextColor(dc, previous);
}

// ---------------------------------------------------------------------------
// TextLayout

SIZE TextLayout::MeasureZero(HDC dc) {
    SIZE size{0, 0};
    if (!GetTextExtentPoint32W(dc, L"0", 1, &size)) size = SIZE{0, 0};
    return size;
}

SIZE TextLayout::FitText(WinTextDraw& draw, HDC dc, const RawString& text, int32_t first, int32_t end) {
    RawRange range = text.ClampEnd(RawRange{first, end});
    int32_t count = range.end - range.start;
    draw.Prepare(range.start, count);
    SIZE total{0, 0};
    // Hidden units first: they take no part in the visible widths.
    bool hidden = false;
    for (int32_t i = range.start; i < range.end; ++i) {
        uint32_t c = Unit(text, i);
        if (c == kMarkOpen && !hidden) {
            hidden = true;
            draw.widths_[i - range.start] = WinTextDraw::WidthMark;
        } else if (c == kMarkClose) {
            hidden = false;
            draw.widths_[i - range.start] = WinTextDraw::WidthMark;
        } else if (hidden) {
            draw.widths_[i - range.start] = WinTextDraw::WidthHidden;
        }
    }
    // The extents come in pieces of at most the largest extent: the
    // platform fills them only up to the fit count.
    int32_t pos = range.start;
    int32_t height = 0;
    const bool narrow = SevenBit(text, range.start, range.end);
    int32_t tableHeight = 0;
    const int32_t* table = narrow ? draw.SevenBitWidths(dc, &tableHeight) : nullptr;
    if (table) {
        // Widths from the font's table: no platform call per range.
        const char* bytes = text.Bytes();
        for (int32_t i = range.start; i < range.end; ++i) {
            int32_t& w = draw.widths_[i - range.start];
            if (w < 0) continue;
            w = table[static_cast<uint8_t>(bytes[i])];
            total.cx += w;
        }
        total.cy = tableHeight > 0 ? tableHeight : MeasureZero(dc).cy;
        return total;
    }
    // Text outside 7-bit ASCII is measured from the font's table of what it
    // met before: asking the platform about every range costs several
    // times the layout's own work on such text.
    SIZE fromTable{0, 0};
    if (!narrow && draw.widthTable_.Fit(dc, text, range.start, range.end, draw.widths_.data(), WinTextDraw::WidthTrail,
                                        &fromTable)) {
        total.cx = fromTable.cx;
        height = fromTable.cy;
        pos = range.end;  // measured: the platform is not asked below
    }
    auto nextChar = [&](int32_t at) { return narrow ? at + 1 : text.NextCharPos(at); };
    if (draw.extents_.size() < static_cast<size_t>(count)) draw.extents_.resize(static_cast<size_t>(count));
    while (pos < range.end) {
        int fit = 0;
        SIZE size{0, 0};
        int* ext = draw.extents_.data();
        // Unmeasurable text keeps the widths 0.
        if (narrow) {
            if (!GetTextExtentExPointA(dc, text.Bytes() + pos, range.end - pos, kMaxExtent, &fit, ext, &size)) break;
        } else if (!RawLayer::ApiTextExtent(dc, text, pos, range.end, kMaxExtent, &fit, ext, &size)) {
            break;
        }
        height = std::max<int32_t>(height, size.cy);
        int32_t stop = pos + (fit < 0 ? 0 : fit);
        if (nextChar(pos) > stop) {
            // Not even one character fits: it is measured alone.
            stop = nextChar(pos);
            if (!RawLayer::ApiTextExtent(dc, text, pos, stop, INT_MAX, nullptr, ext, &size)) break;
        }
        int32_t at = pos;
        while (at < stop) {
            int32_t next = nextChar(at);
            if (next > stop) break;  // a character cut by the fit count is measured again
            int32_t& w = draw.widths_[at - range.start];
            if (w >= 0) {
                int32_t before = at > pos ? ext[at - 1 - pos] : 0;
                int32_t width = ext[next - 1 - pos] - before;
                w = width < 0 ? 0 : width;
                for (int32_t t = at + 1; t < next; ++t) draw.widths_[t - range.start] = WinTextDraw::WidthTrail;
                total.cx += w;
            }
            at = next;
        }
        pos = at;
    }
    // Characters the font lacks take the width of the face that draws them.
    if (!narrow) total.cx += draw.MeasureFallback(dc, text, range.start, range.end, &height);
    total.cy = height > 0 ? height : MeasureZero(dc).cy;
    return total;
}

int32_t TextLayout::ExpandTabs(WinTextDraw& draw, const RawString& text, const WinTabSettings& tabs,
                               int32_t from, int32_t to, int32_t x) {
    int32_t columns = 0;
    for (int32_t i = from; i < to; ++i) {
        int32_t& w = draw.widths_[i - draw.base_];
        if (w < 0) continue;
        if (Unit(text, i) == '\t') w = tabs.TabWidth(x, columns);
        x += w;
        ++columns;
    }
    return x;
}

namespace {

// Appends the runs of one row [start, end) of a measured hard line.
int32_t EmitRow(WinTextDraw& draw, const RawString& text, int32_t start, int32_t end, int32_t x, int32_t y,
                int32_t height, int32_t rowIndex, WinTextData& out) {
    WinTextPart run;
    bool open = false;
    auto close = [&] {
        if (open) out.parts.push_back(run);
        open = false;
    };
    int32_t columns = 0;
    for (int32_t i = start; i < end;) {
        int32_t w = draw.WidthAt(i);
        uint32_t c = Unit(text, i);
        if (w == WinTextDraw::WidthMark || w == WinTextDraw::WidthHidden) {
            close();
            int32_t e = i + 1;
            if (c == kMarkOpen) e = MarkRunEnd(text, i, end);
            else
                while (e < end && draw.WidthAt(e) == WinTextDraw::WidthHidden) ++e;
            WinTextPart mark;
            mark.start = i;
            mark.end = e;
            mark.row = rowIndex;
            mark.rect = RECT{x, y, x, y + height};
            out.parts.push_back(mark);
            i = e;
            continue;
        }
        int32_t next = i + 1;
        while (next < end && draw.WidthAt(next) == WinTextDraw::WidthTrail) ++next;
        if (c == '\t') {
            close();
            x += draw.tabs.TabWidth(x, columns);
        } else {
            if (!open) {
                run.start = i;
                run.row = rowIndex;
                run.rect = RECT{x, y, x, y + height};
                open = true;
            }
            x += w;
            run.end = next;
            run.rect.right = x;
        }
        ++columns;
        i = next;
    }
    close();
    return x;
}

}  // namespace

SIZE TextLayout::LayOutParagraph(WinTextDraw& draw, HDC dc, int32_t width, int32_t continuation,
                                 const RawString& text, RawRange range, WinTextData& out) {
    RawRange all = text.ClampEnd(range);
    SIZE result{0, 0};
    int32_t y = 0;
    int32_t gap = draw.tabs.wrapGap < 0 ? 0 : draw.tabs.wrapGap;
    bool firstRow = true;
    int32_t lineStart = all.start;
    while (true) {
        // One hard line [lineStart, lineEnd), ended by "\r\n" or the range.
        int32_t lineEnd = all.end;
        for (int32_t i = lineStart; i + 1 < all.end; ++i) {
            if (Unit(text, i) == '\r' && Unit(text, i + 1) == '\n') {
                lineEnd = i;
                break;
            }
        }
        SIZE measured = FitText(draw, dc, text, lineStart, lineEnd);
        int32_t h = measured.cy;
        draw.BreakMarks(text, lineStart, lineEnd);
        int32_t rowStart = lineStart;
        int32_t x = 0;
        int32_t columns = 0;
        int32_t firstVisible = -1;
        int32_t lastBreak = -1;
        auto emit = [&](int32_t rowEnd, int32_t rowX) {
            if (!firstRow) y += gap;
            int32_t right = EmitRow(draw, text, rowStart, rowEnd, rowX, y, h,
                                    static_cast<int32_t>(out.rows.size()), out);
            // Blanks that end a wrapped row hang past its edge: they take no
            // width of the row.
            for (int32_t b = rowEnd; b > rowStart; --b) {
                const int32_t w = draw.WidthAt(b - 1);
                if (w < 0) continue;
                if (Unit(text, b - 1) != ' ') break;
                right -= w;
            }
            WinTextRow row;
            row.start = rowStart;
            row.end = rowEnd;
            row.top = y;
            row.height = h;
            row.width = right;
            out.rows.push_back(row);
            result.cx = std::max<LONG>(result.cx, right);
            y += h;
            firstRow = false;
        };
        int32_t rowX = 0;
        for (int32_t i = lineStart; i < lineEnd;) {
            int32_t w = draw.WidthAt(i);
            if (w < 0) {
                ++i;
                continue;
            }
            int32_t next = i + 1;
            while (next < lineEnd && draw.WidthAt(next) == WinTextDraw::WidthTrail) ++next;
            int32_t cw = Unit(text, i) == '\t' ? draw.tabs.TabWidth(x, columns) : w;
            if (firstVisible >= 0 && static_cast<int64_t>(x) + cw > width) {
                int32_t rowEnd = lastBreak > firstVisible ? lastBreak : i;
                // The overflowing character may start the next row itself.
                if (draw.BreakAt(i)) rowEnd = i;
                // Blanks where the row breaks stay on the row they follow
                // (with the marks between them).
                bool rest = false;
                for (int32_t e = rowEnd; e < lineEnd; ++e) {
                    if (draw.WidthAt(e) < 0) continue;
                    if (Unit(text, e) != ' ') {
                        rest = true;
                        break;
                    }
                    rowEnd = e + 1;
                }
                if (!rest) break;  // nothing visible is left but blanks: they end this row
                emit(rowEnd, rowX);
                rowStart = rowEnd;
                rowX = x = continuation;
                columns = 0;
                firstVisible = lastBreak = -1;
                i = rowEnd;
                continue;
            }
            if (firstVisible < 0) firstVisible = i;
            else if (draw.BreakAt(i)) lastBreak = i;
            x += cw;
            ++columns;
            i = next;
        }
        emit(lineEnd, rowX);
        if (lineEnd >= all.end) break;
        lineStart = lineEnd + 2;
    }
    result.cy = y;
    return result;
}

RECT TextLayout::BoundingRect(const std::vector<WinTextPart>& parts, const std::vector<int32_t>& which) {
    RECT box{0, 0, 0, 0};
    bool any = false;
    for (int32_t index : which) {
        const RECT& r = parts[static_cast<size_t>(index)].rect;
        if (!any) {
            box = r;
            any = true;
        } else {
            box.left = std::min(box.left, r.left);
            box.top = std::min(box.top, r.top);
            box.right = std::max(box.right, r.right);
            box.bottom = std::max(box.bottom, r.bottom);
        }
    }
    return box;
}

RECT TextLayout::BoundingRect(const std::vector<WinTextPart>& parts) {
    std::vector<int32_t> all(parts.size());
    for (size_t i = 0; i < parts.size(); ++i) all[i] = static_cast<int32_t>(i);
    return BoundingRect(parts, all);
}

std::vector<int32_t> TextLayout::CollectRuns(const std::vector<WinTextPart>& parts, RawRange range) {
    std::vector<int32_t> which;
    for (size_t i = 0; i < parts.size(); ++i)
        if (parts[i].start >= range.start && parts[i].end <= range.end && parts[i].start < range.end)
            which.push_back(static_cast<int32_t>(i));
    return which;
}

std::vector<std::vector<int32_t>> TextLayout::CollectCellRuns(const std::vector<WinTextPart>& parts,
                                                              const std::vector<RawRange>& cells) {
    std::vector<std::vector<int32_t>> which(cells.size());
    size_t k = 0;
    for (size_t c = 0; c < cells.size(); ++c) {
        const RawRange& range = cells[c];
        // A part that starts before this cell's end belongs to no later cell.
        for (; k < parts.size() && parts[k].start < range.end; ++k)
            if (parts[k].start >= range.start && parts[k].end <= range.end) which[c].push_back(static_cast<int32_t>(k));
    }
    return which;
}

void TextLayout::AlignRuns(std::vector<WinTextPart>& parts, const std::vector<int32_t>& which, uint32_t letter) {
    if (which.empty()) return;
    RECT box = BoundingRect(parts, which);
    int32_t widest = box.right - box.left;
    for (size_t k = 0; k < which.size();) {
        int32_t row = parts[static_cast<size_t>(which[k])].row;
        size_t end = k;
        int32_t left = INT_MAX, right = INT_MIN;
        while (end < which.size() && parts[static_cast<size_t>(which[end])].row == row) {
            const RECT& r = parts[static_cast<size_t>(which[end])].rect;
            left = std::min<int32_t>(left, r.left);
            right = std::max<int32_t>(right, r.right);
            ++end;
        }
        int32_t shift = letter == 'L' ? box.left - left
                        : letter == 'R' ? box.right - right
                                        : box.left + (widest - (right - left)) / 2 - left;
        for (size_t j = k; j < end; ++j) OffsetRect(&parts[static_cast<size_t>(which[j])].rect, shift, 0);
        k = end;
    }
}

void TextLayout::PlaceColumns(std::vector<WinTextPart>& parts, const std::vector<RawRange>& cells,
                              const int32_t* columns, int32_t columnCount, const RawString& alignment,
                              int32_t left, int32_t outer, int32_t frame, int32_t leftMargin, int32_t rightMargin) {
    int32_t x = left + outer + frame + leftMargin;
    const std::vector<std::vector<int32_t>> runs = CollectCellRuns(parts, cells);
    for (size_t c = 0; c < cells.size(); ++c) {
        int32_t width = static_cast<int32_t>(c) < columnCount ? columns[c] : 0;
        const std::vector<int32_t>& which = runs[c];
        if (!which.empty()) {
            RECT box = BoundingRect(parts, which);
            uint32_t letter = static_cast<int32_t>(c) < alignment.Length() ? alignment.UnitAt(static_cast<int32_t>(c))
                                                                           : 'L';
            int32_t cellWidth = box.right - box.left;
            int32_t target = letter == 'R' ? x + width - cellWidth
                             : letter == 'L' || letter == 0 ? x
                                                           : x + (width - cellWidth) / 2;
            if (target < x) target = x;
            for (int32_t index : which) OffsetRect(&parts[static_cast<size_t>(index)].rect, target - box.left, 0);
        }
        x += width + leftMargin + rightMargin + frame;
    }
}

}  // namespace AppLayer
