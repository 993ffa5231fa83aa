// Which characters of a text the font selected into a DC draws itself and
// which go to the fallback face: a printer's driver, and a screen without
// a font link, draw the characters a font lacks as empty boxes. The answer
// is worked out per font description and kind of DC, for a block of 256
// characters at a time, and kept.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "quenby/app/fallback_face.h"

namespace AppLayer {

class GlyphCoverage {
public:
    GlyphCoverage() = default;
    ~GlyphCoverage();
    GlyphCoverage(const GlyphCoverage&) = delete;
    GlyphCoverage& operator=(const GlyphCoverage&) = delete;

    // Marks in `use` (an entry per unit) the units of the UTF-16 text whose
    // character the DC does not draw in the selected font and the fallback
    // font has; true when any is marked (the fallback font is then in
    // *fallback; the cache owns it). A screen DC draws through the font
    // link, a printer's does not. On false `use` tells nothing.
    bool Plan(HDC dc, const wchar_t* wide, int32_t count, std::vector<uint8_t>& use, HFONT* fallback);

    // Over the object's life: the blocks of characters looked up in a font
    // and its fallback, and the characters asked whether the link draws
    // them (for tests and benchmarks).
    uint64_t BlockChecks() const { return blockChecks_; }
    uint64_t LinkChecks() const { return linkChecks_; }

private:
    // What each character of the basic plane takes: the font (its own
    // glyph, its link's, or none anywhere), the fallback, or not yet known
    // whether the link draws it.
    enum : uint8_t { GlyphFont = 0, GlyphFallback = 1, GlyphAskLink = 2 };
    struct Coverage {
        LOGFONTW base{};
        bool linked = false;
        bool used = false;
        uint32_t lastUse = 0;
        // The advance of a character no face has; -1 until measured.
        int32_t missingWidth = -1;
        // Whether the link draws for this font at all (a bold face may have
        // no link where its regular face has one): -1 until the first
        // character that only the pixels can settle.
        int32_t linkDraws = -1;
        // Blocks of 256 characters, filled when first met.
        std::vector<std::vector<uint8_t>> blocks;
    };
    // The coverage of the font selected into the DC; null when it cannot be
    // read.
    Coverage* CoverageFor(HDC dc);
    // Fills the block of 256 characters that holds `code`.
    void CheckBlock(HDC dc, Coverage& coverage, uint32_t code);
    // Settles the characters of `ask` whose answer waits on the link.
    void CheckLink(HDC dc, Coverage& coverage, const std::wstring& ask);
    // Marks which of the characters the DC's font draws exactly as it draws
    // a character that no face has (U+FFFF, never given a glyph): each is
    // drawn into a slot of a bitmap of a screen DC and compared with that
    // one. When the bitmap cannot be made every character counts as drawn so.
    void MarkDrawnAsMissing(HDC dc, const std::wstring& chars, std::vector<uint8_t>& missing);

    Coverage coverages_[6];
    uint32_t clock_ = 0;
    FallbackFontCache fallbacks_;
    std::wstring ask_;
    enum : int32_t { kProbeSlots = 64 };
    struct Probe {
        HDC dc = nullptr;
        HBITMAP bitmap = nullptr;
        HGDIOBJ oldBitmap = nullptr;
        void* bits = nullptr;
        int32_t width = 0;
        int32_t height = 0;
    };
    Probe probe_;
    uint64_t blockChecks_ = 0;
    uint64_t linkChecks_ = 0;
};

}  // namespace AppLayer
