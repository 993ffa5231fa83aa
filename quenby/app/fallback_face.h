// The face that draws the characters a document's font lacks: the search
// for an installed face with kana and kanji (asked once per process),
// whether a face has a bold style of its own, and that face made at the
// size and style of the font it stands in for.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

namespace AppLayer {

// The installed face that stands in for characters a font lacks: the first
// face the system links to its Latin faces that has kana and kanji, else
// the first such face of a Japanese character set (found once, on first
// call); empty when there is none.
const std::wstring& InstalledFallbackFace();

// Whether the installed face has a bold style of its own (every call lists
// the face's styles).
bool FaceHasBoldStyle(const std::wstring& face);

// Whether faces have a bold style of their own, kept for the last few faces
// asked about: listing a face's styles costs far more than drawing a run.
class BoldStyleCache {
public:
    bool Has(const wchar_t* face);

private:
    struct Entry {
        std::wstring face;
        bool bold = false;
        uint32_t lastUse = 0;
    };
    Entry entries_[4];
    uint32_t clock_ = 0;
};

// The fallback face made at the size and style of the fonts it stands in
// for, one font per description, the least recently used replaced. The
// fonts are the cache's own: a caller selects one only for the length of a
// call.
class FallbackFontCache {
public:
    FallbackFontCache() = default;
    ~FallbackFontCache();
    FallbackFontCache(const FallbackFontCache&) = delete;
    FallbackFontCache& operator=(const FallbackFontCache&) = delete;

    // The fallback face at the size and style of the font selected into the
    // DC; null without a fallback face, or when the selected font is that
    // face already.
    HFONT For(HDC dc);

private:
    // Keyed by the description of the font stood in for: a handle's value
    // may come back for another font once it is deleted.
    struct Slot {
        LOGFONTW base{};
        HFONT font = nullptr;
        uint32_t lastUse = 0;
    };
    Slot slots_[6];
    uint32_t clock_ = 0;
};

}  // namespace AppLayer
