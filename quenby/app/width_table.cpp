#include "quenby/app/width_table.h"

#include <algorithm>
#include <climits>

#include "base/api_text.h"

namespace AppLayer {

using RawLayer::RawString;

namespace {

// The one UTF-16 unit of the character [at, next) of a UTF-8 or UTF-16
// text when it is a basic-plane character other than a surrogate; -1
// otherwise (a pair, a malformed sequence, another kind of text).
int32_t SingleBmpUnit(const RawString& text, int32_t at, int32_t next) {
    if (text.Kind() == RawLayer::KindUtf16) {
        if (next - at != 1) return -1;
        const uint32_t c = static_cast<uint16_t>(text.Wide()[at]);
        return c >= 0xD800 && c <= 0xDFFF ? -1 : static_cast<int32_t>(c);
    }
    if (text.Kind() != RawLayer::KindUtf8) return -1;
    uint32_t code = 0;
    const int32_t n = next - at;
    if (n <= 0 || RawLayer::DecodeUtf8(reinterpret_cast<const uint8_t*>(text.Bytes()) + at, n, code) != n) return -1;
    return code < 0x10000 ? static_cast<int32_t>(code) : -1;
}

}  // namespace

bool MeasureAdvances(HDC dc, const wchar_t* wide, int32_t count, INT* advances) {
    if (count <= 0) return true;
    SIZE size{0, 0};
    if (!GetTextExtentExPointW(dc, wide, count, INT_MAX, nullptr, advances, &size)) return false;
    for (int32_t i = count - 1; i > 0; --i) advances[i] = std::max(0, advances[i] - advances[i - 1]);
    advances[0] = std::max(0, advances[0]);
    return true;
}

FontWidthTable::FontWidths* FontWidthTable::Slot(HDC dc) {
    HGDIOBJ font = GetCurrentObject(dc, OBJ_FONT);
    if (!font) return nullptr;
    FontWidths* slot = &fonts_[0];
    for (FontWidths& f : fonts_) {
        if (f.font == font) {
            f.lastUse = ++clock_;
            return &f;
        }
        if (f.lastUse < slot->lastUse) slot = &f;
    }
    slot->font = nullptr;
    slot->wide.clear();
    TEXTMETRICW metrics{};
    if (!GetTextMetricsW(dc, &metrics)) return nullptr;
    ABC abc[128];
    if (GetCharABCWidthsW(dc, 0, 127, abc)) {
        for (int i = 0; i < 128; ++i) slot->widths[i] = abc[i].abcA + static_cast<int32_t>(abc[i].abcB) + abc[i].abcC;
    } else {
        INT widths[128];
        if (!GetCharWidth32W(dc, 0, 127, widths)) return nullptr;
        for (int i = 0; i < 128; ++i) slot->widths[i] = widths[i];
    }
    slot->height = metrics.tmHeight;
    slot->font = font;
    slot->lastUse = ++clock_;
    return slot;
}

const int32_t* FontWidthTable::SevenBitWidths(HDC dc, int32_t* height) {
    FontWidths* slot = Slot(dc);
    if (!slot) return nullptr;
    *height = slot->height;
    return slot->widths;
}

bool FontWidthTable::Fit(HDC dc, const RawString& text, int32_t first, int32_t end, int32_t* widths, int32_t trail,
                         SIZE* size) {
    if (text.Kind() != RawLayer::KindUtf8 && text.Kind() != RawLayer::KindUtf16) return false;
    FontWidths* slot = Slot(dc);
    if (!slot) return false;
    if (slot->wide.empty()) slot->wide.resize(256);
    auto known = [&](int32_t c) {
        const std::vector<int32_t>& block = slot->wide[static_cast<size_t>(c) >> 8];
        return !block.empty() && block[static_cast<size_t>(c) & 0xFF] >= 0;
    };
    // The characters not yet in the table; a range the table cannot take
    // leaves it to the platform whole.
    units_.clear();
    ask_.clear();
    for (int32_t at = first; at < end;) {
        const int32_t next = text.NextCharPos(at);
        if (next <= at || next > end) return false;
        if (widths[at - first] >= 0) {
            const int32_t c = SingleBmpUnit(text, at, next);
            if (c < 0) return false;
            units_.push_back(static_cast<wchar_t>(c));
            if (!known(c)) ask_.push_back(static_cast<wchar_t>(c));
        }
        at = next;
    }
    if (!ask_.empty()) {
        std::sort(ask_.begin(), ask_.end());
        ask_.erase(std::unique(ask_.begin(), ask_.end()), ask_.end());
        // The platform measures without kerning: a character's advance is
        // the same alone as among others. Asked in pieces, so that no extent
        // comes near the largest integer whatever the font's size.
        constexpr size_t kPiece = 512;
        advances_.resize(kPiece);
        for (size_t i = 0; i < ask_.size(); i += kPiece) {
            const int32_t n = static_cast<int32_t>(std::min(kPiece, ask_.size() - i));
            if (!MeasureAdvances(dc, ask_.data() + i, n, advances_.data())) return false;
            for (int32_t k = 0; k < n; ++k) {
                const uint32_t c = ask_[i + static_cast<size_t>(k)];
                std::vector<int32_t>& block = slot->wide[c >> 8];
                if (block.empty()) block.assign(256, -1);
                block[c & 0xFF] = advances_[static_cast<size_t>(k)];
            }
        }
    }
    LONG total = 0;
    size_t unit = 0;
    for (int32_t at = first; at < end;) {
        const int32_t next = text.NextCharPos(at);
        int32_t& w = widths[at - first];
        if (w >= 0) {
            const uint32_t c = units_[unit++];
            w = slot->wide[c >> 8][c & 0xFF];
            for (int32_t t = at + 1; t < next; ++t) widths[t - first] = trail;
            total += w;
        }
        at = next;
    }
    size->cx = total;
    size->cy = slot->height;
    ++ranges_;
    return true;
}

}  // namespace AppLayer
