// The advances of the characters of the fonts a pass draws in, kept per
// font so that text is measured without asking the platform again: the
// 7-bit characters of a font read all at once, any other character of the
// basic plane the first time it is met in that font.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "base/raw_string.h"

namespace AppLayer {

// The advances of the UTF-16 units in the font selected into the DC: each
// unit's extent less the one before. False when the text cannot be
// measured.
bool MeasureAdvances(HDC dc, const wchar_t* wide, int32_t count, INT* advances);

class FontWidthTable {
public:
    // The advance widths of the 7-bit characters in the font selected into
    // the DC and its height; null when the font cannot be measured.
    const int32_t* SevenBitWidths(HDC dc, int32_t* height);
    // Forgets every font. A pass does so when it starts and around every
    // font it makes and deletes itself, since a deleted handle's value may
    // come back for another font.
    void Forget() {
        for (FontWidths& f : fonts_) f.font = nullptr;
    }
    // Measures the visible characters of [first, end) of the text from the
    // table of the selected font, asking the platform only about characters
    // not met before in that font. `widths` holds an entry per unit of the
    // range, negative where no visible character starts; each visible
    // character's advance goes to its first unit and `trail` to its other
    // units. Only for UTF-8 and UTF-16 text whose characters are each one
    // unit of the basic plane; false, with nothing measured, for any other
    // range or when the platform fails.
    bool Fit(HDC dc, const RawLayer::RawString& text, int32_t first, int32_t end, int32_t* widths, int32_t trail,
             SIZE* size);
    // The ranges measured from the table over the object's life (for tests
    // and benchmarks).
    uint64_t Ranges() const { return ranges_; }

private:
    // A few fonts (the text font, the heading levels) alternate line by line.
    struct FontWidths {
        HGDIOBJ font = nullptr;
        int32_t height = 0;
        uint32_t lastUse = 0;
        int32_t widths[128] = {};
        // The advances of basic-plane characters as the wide entry point
        // measures them, in blocks of 256 made when first needed; -1 where
        // not yet measured.
        std::vector<std::vector<int32_t>> wide;
    };
    // The slot of the font selected into the DC, its 7-bit widths filled;
    // null when the font cannot be measured.
    FontWidths* Slot(HDC dc);

    FontWidths fonts_[8];
    uint32_t clock_ = 0;
    std::wstring ask_;
    std::wstring units_;
    std::vector<int> advances_;
    uint64_t ranges_ = 0;
};

}  // namespace AppLayer
