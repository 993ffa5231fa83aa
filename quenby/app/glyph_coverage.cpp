#include "quenby/app/glyph_coverage.h"

#include <algorithm>
#include <climits>
#include <cstring>

#include "base/raw_string.h"
#include "toolkit/font_parameter.h"

namespace AppLayer {

GlyphCoverage::~GlyphCoverage() {
    if (probe_.bitmap) {
        SelectObject(probe_.dc, probe_.oldBitmap);
        DeleteObject(probe_.bitmap);
    }
    if (probe_.dc) DeleteDC(probe_.dc);
}

void GlyphCoverage::MarkDrawnAsMissing(HDC dc, const std::wstring& chars, std::vector<uint8_t>& missing) {
    missing.assign(chars.size(), 1);
    if (chars.empty()) return;
    TEXTMETRICW metrics{};
    if (!GetTextMetricsW(dc, &metrics)) return;
    // Each character in a slot of its own, U+FFFF in the first, all drawn by
    // one call: room for overhangs on either side and for marks above and
    // below.
    const int32_t cell = std::max<int32_t>(1, std::min<int32_t>(metrics.tmMaxCharWidth + metrics.tmHeight, 1024));
    const int32_t slot = 2 * cell;
    const int32_t height = std::max<int32_t>(1, std::min<int32_t>(2 * metrics.tmHeight, 2048));
    const int32_t slots = static_cast<int32_t>(std::min<size_t>(chars.size() + 1, kProbeSlots));
    if (!probe_.dc) probe_.dc = CreateCompatibleDC(nullptr);
    if (!probe_.dc) return;
    if (probe_.width < slots * slot || probe_.height < height) {
        if (probe_.bitmap) {
            SelectObject(probe_.dc, probe_.oldBitmap);
            DeleteObject(probe_.bitmap);
            probe_.bitmap = nullptr;
        }
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = std::max(slots * slot, probe_.width);
        info.bmiHeader.biHeight = -std::max(height, probe_.height);
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        probe_.bitmap = CreateDIBSection(probe_.dc, &info, DIB_RGB_COLORS, &probe_.bits, nullptr, 0);
        if (!probe_.bitmap || !probe_.bits) {
            if (probe_.bitmap) DeleteObject(probe_.bitmap);
            probe_.bitmap = nullptr;
            probe_.width = probe_.height = 0;
            return;
        }
        probe_.width = info.bmiHeader.biWidth;
        probe_.height = -info.bmiHeader.biHeight;
        probe_.oldBitmap = SelectObject(probe_.dc, probe_.bitmap);
        SetBkMode(probe_.dc, TRANSPARENT);
        SetTextColor(probe_.dc, RGB(0, 0, 0));
        SetTextAlign(probe_.dc, TA_LEFT | TA_TOP);
    }
    // The font goes back out at once: its owner may delete it.
    HGDIOBJ oldFont = SelectObject(probe_.dc, GetCurrentObject(dc, OBJ_FONT));
    const size_t stride = static_cast<size_t>(probe_.width) * 4;
    const size_t slotBytes = static_cast<size_t>(slot) * 4;
    uint8_t* bits = static_cast<uint8_t*>(probe_.bits);
    std::wstring line;
    std::vector<INT> advances;
    for (size_t first = 0; first < chars.size(); first += static_cast<size_t>(kProbeSlots - 1)) {
        const size_t count = std::min(chars.size() - first, static_cast<size_t>(kProbeSlots - 1));
        for (int32_t y = 0; y < height; ++y) std::memset(bits + stride * static_cast<size_t>(y), 0xFF, slotBytes * (count + 1));
        line.assign(1, static_cast<wchar_t>(0xFFFF));
        line.append(chars, first, count);
        advances.assign(count + 1, slot);
        ExtTextOutW(probe_.dc, cell / 2, metrics.tmHeight / 2, 0, nullptr, line.data(), static_cast<UINT>(count + 1),
                    advances.data());
        GdiFlush();
        for (size_t i = 0; i < count; ++i) {
            bool same = true;
            for (int32_t y = 0; y < height && same; ++y) {
                const uint8_t* row = bits + stride * static_cast<size_t>(y);
                same = std::memcmp(row, row + slotBytes * (i + 1), slotBytes) == 0;
            }
            missing[first + i] = same ? 1 : 0;
        }
    }
    SelectObject(probe_.dc, oldFont);
}

GlyphCoverage::Coverage* GlyphCoverage::CoverageFor(HDC dc) {
    HGDIOBJ current = GetCurrentObject(dc, OBJ_FONT);
    LOGFONTW base{};
    if (!current || GetObjectW(current, sizeof base, &base) != static_cast<int>(sizeof base)) return nullptr;
    base.lfFaceName[LF_FACESIZE - 1] = 0;
    // The screen draws what the font lacks through its link; a printer's
    // driver draws it as an empty box.
    const bool linked = GetDeviceCaps(dc, TECHNOLOGY) == DT_RASDISPLAY;
    Coverage* slot = &coverages_[0];
    for (Coverage& c : coverages_) {
        if (c.used && c.linked == linked && WinLayer::WinFontParameter::SameDescription(c.base, base)) {
            c.lastUse = ++clock_;
            return &c;
        }
        if (c.lastUse < slot->lastUse) slot = &c;
    }
    slot->base = base;
    slot->linked = linked;
    slot->used = true;
    slot->lastUse = ++clock_;
    slot->missingWidth = -1;
    slot->linkDraws = -1;
    slot->blocks.resize(256);
    for (std::vector<uint8_t>& block : slot->blocks) block.clear();
    return slot;
}

void GlyphCoverage::CheckBlock(HDC dc, Coverage& coverage, uint32_t code) {
    const uint32_t block = (code >> 8) & 0xFF;
    std::vector<uint8_t>& states = coverage.blocks[block];
    states.assign(256, GlyphFont);
    ++blockChecks_;
    // Surrogate halves mean nothing alone: a pair stays in the font.
    if (block >= 0xD8 && block <= 0xDF) return;
    wchar_t chars[256];
    for (uint32_t i = 0; i < 256; ++i) chars[i] = static_cast<wchar_t>((block << 8) | i);
    WORD glyphs[256];
    if (GetGlyphIndicesW(dc, chars, 256, glyphs, GGI_MARK_NONEXISTING_GLYPHS) == GDI_ERROR) return;
    uint8_t lacks[256];
    bool any = false;
    for (uint32_t i = 0; i < 256; ++i) {
        lacks[i] = chars[i] >= 0x80 && glyphs[i] == 0xFFFF;
        any = any || lacks[i];
    }
    if (!any) return;
    HFONT fallback = fallbacks_.For(dc);
    if (!fallback) return;
    HGDIOBJ old = SelectObject(dc, fallback);
    const bool read = GetGlyphIndicesW(dc, chars, 256, glyphs, GGI_MARK_NONEXISTING_GLYPHS) != GDI_ERROR;
    SelectObject(dc, old);
    if (!read) return;
    // The font's own glyph table knows nothing of its link: where the link
    // may draw a character, that is settled when the character is met.
    for (uint32_t i = 0; i < 256; ++i)
        if (lacks[i] && glyphs[i] != 0xFFFF) states[i] = coverage.linked ? GlyphAskLink : GlyphFallback;
}

void GlyphCoverage::CheckLink(HDC dc, Coverage& coverage, const std::wstring& ask) {
    std::wstring chars(ask);
    std::sort(chars.begin(), chars.end());
    chars.erase(std::unique(chars.begin(), chars.end()), chars.end());
    const int32_t n = static_cast<int32_t>(chars.size());
    if (n <= 0) return;
    linkChecks_ += static_cast<uint64_t>(n);
    if (coverage.missingWidth < 0) {
        const wchar_t none = 0xFFFF;
        SIZE size{0, 0};
        coverage.missingWidth = GetTextExtentPoint32W(dc, &none, 1, &size) ? std::max<int32_t>(0, size.cx) : 0;
    }
    // A character the link draws advances by its own glyph; one that no
    // face has by the font's missing glyph. Only an equal advance is drawn
    // to tell them apart.
    std::vector<int> extents(static_cast<size_t>(n));
    int fit = 0;
    SIZE size{0, 0};
    const bool measured = GetTextExtentExPointW(dc, chars.data(), n, INT_MAX, &fit, extents.data(), &size) != 0;
    std::wstring unsure;
    for (int32_t i = 0; i < n; ++i) {
        const int32_t width = extents[static_cast<size_t>(i)] - (i > 0 ? extents[static_cast<size_t>(i - 1)] : 0);
        if (!measured || width == coverage.missingWidth) unsure.push_back(chars[static_cast<size_t>(i)]);
    }
    std::vector<uint8_t> missing;
    if (coverage.linkDraws < 0 && !unsure.empty()) {
        // One character tells whether the link draws for this font; where
        // it does not, every character it was asked about is drawn as the
        // missing glyph, and none needs drawing to be told.
        MarkDrawnAsMissing(dc, unsure.substr(0, 1), missing);
        coverage.linkDraws = missing.empty() || missing[0] ? 0 : 1;
    }
    if (coverage.linkDraws == 0) {
        missing.assign(unsure.size(), 1);
    } else {
        MarkDrawnAsMissing(dc, unsure, missing);
    }
    for (const wchar_t c : chars) {
        const size_t at = static_cast<size_t>(std::lower_bound(unsure.begin(), unsure.end(), c) - unsure.begin());
        const bool none = at < unsure.size() && unsure[at] == c && missing[at];
        coverage.blocks[(static_cast<uint32_t>(c) >> 8) & 0xFF][c & 0xFF] = none ? GlyphFallback : GlyphFont;
    }
}

bool GlyphCoverage::Plan(HDC dc, const wchar_t* wide, int32_t count, std::vector<uint8_t>& use,
                         HFONT* fallback) {
    if (count <= 0) return false;
    bool nonAscii = false;
    for (int32_t i = 0; i < count && !nonAscii; ++i) nonAscii = wide[i] >= 0x80;
    if (!nonAscii) return false;
    Coverage* coverage = CoverageFor(dc);
    if (!coverage) return false;
    const size_t n = static_cast<size_t>(count);
    auto state = [&](wchar_t c) -> uint8_t& {
        return coverage->blocks[(static_cast<uint32_t>(c) >> 8) & 0xFF][c & 0xFF];
    };
    // A surrogate pair stays in the font: the glyph tables are asked about
    // single units only, and the link may draw the pair.
    ask_.clear();
    for (size_t i = 0; i < n; ++i) {
        const wchar_t c = wide[i];
        if (c < 0x80 || RawLayer::IsHighSurrogate(c) || RawLayer::IsLowSurrogate(c)) continue;
        if (coverage->blocks[(static_cast<uint32_t>(c) >> 8) & 0xFF].empty()) CheckBlock(dc, *coverage, c);
        if (state(c) == GlyphAskLink) ask_.push_back(c);
    }
    if (!ask_.empty()) CheckLink(dc, *coverage, ask_);
    use.assign(n, 0);
    bool any = false;
    for (size_t i = 0; i < n; ++i) {
        const wchar_t c = wide[i];
        if (c < 0x80 || RawLayer::IsHighSurrogate(c) || RawLayer::IsLowSurrogate(c)) continue;
        if (state(c) == GlyphFallback) {
            use[i] = 1;
            any = true;
        }
    }
    if (!any) return false;
    HFONT font = fallbacks_.For(dc);
    if (!font) return false;
    *fallback = font;
    return true;
}

}  // namespace AppLayer
