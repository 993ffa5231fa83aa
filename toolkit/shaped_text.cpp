// Laying out text the platform shapes: the pieces of a run that it
// reorders or shapes are found and set through Uniscribe (itemized,
// reordered for display, shaped into glyphs), so that each unit's share of
// the glyphs and their place are known; the platform draws those pieces
// whole.
#include "toolkit/shaped_text.h"

#include <usp10.h>

#include <algorithm>

namespace WinLayer {

namespace {

// Glyphs for at most this many times the units of an item.
constexpr int32_t kMostGlyphsPerUnit = 4;
// A piece longer than this is set word by word (the platform takes time
// that grows with the square of a piece's length to set it whole: seconds
// for a line of 100,000 letters); each word is drawn alone at its place,
// and the spaces between draw nothing.
constexpr int32_t kWholePiece = 256;

bool ShapedUnit(uint32_t unit) {
    if (unit < 0x0590) return false;
    // Hebrew, Arabic, Syriac, Thaana, N'Ko, Samaritan, Mandaic, the
    // Indic scripts, Thai, Lao, Tibetan, Myanmar.
    if (unit <= 0x109F) return true;
    // Khmer, Mongolian, Limbu, Tai Le, New Tai Lue, Buginese, Tai Tham,
    // Balinese, Sundanese, Batak, Lepcha.
    if (unit >= 0x1780 && unit <= 0x1C4F) return true;
    // The marks and embeddings that set a direction.
    if (unit == 0x200E || unit == 0x200F || (unit >= 0x202A && unit <= 0x202E) || (unit >= 0x2066 && unit <= 0x2069))
        return true;
    // Syloti Nagri to Meetei Mayek.
    if (unit >= 0xA800 && unit <= 0xABFF) return true;
    // The right-to-left scripts of the supplementary planes (Phoenician to
    // Old Uyghur, Brahmi to the scripts of India after it; Adlam, Mende
    // Kikakui, Arabic mathematical letters): their high surrogates.
    if ((unit >= 0xD802 && unit <= 0xD807) || unit == 0xD83A || unit == 0xD83B) return true;
    // Hebrew and Arabic presentation forms.
    return (unit >= 0xFB1D && unit <= 0xFDFF) || (unit >= 0xFE70 && unit <= 0xFEFE);
}

// Wine's ExtTextOutW sets shaped glyphs at their own advances and applies
// no positioning table; Windows sets them as Uniscribe places them.
bool GlyphsAtTheirOwnAdvances() {
    static const bool wine =
        GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
    return wine;
}

bool ComplexScript(WORD script) {
    const SCRIPT_PROPERTIES** properties = nullptr;
    int count = 0;
    if (FAILED(ScriptGetProperties(&properties, &count)) || !properties) return false;
    return script < count && properties[script] && properties[script]->fComplex;
}

bool Itemize(const wchar_t* units, int32_t count, std::vector<SCRIPT_ITEM>& items, int& itemCount) {
    SCRIPT_CONTROL control{};
    SCRIPT_STATE state{};
    items.assign(static_cast<size_t>(count) + 2, SCRIPT_ITEM{});
    itemCount = 0;
    return SUCCEEDED(ScriptItemize(units, count, count + 1, &control, &state, items.data(), &itemCount)) &&
           itemCount > 0;
}

// One item of a piece as the platform sets it: its glyphs in display
// order, their x from the item's left edge, and which glyph starts each
// unit's cluster.
struct ShapedItem {
    int32_t start = 0, end = 0;
    SCRIPT_ANALYSIS analysis{};
    std::vector<WORD> glyphs;
    std::vector<WORD> clusters;
    std::vector<int32_t> glyphX;  // glyphs + 1 entries
};

bool ShapeItem(HDC dc, SCRIPT_CACHE* cache, const wchar_t* units, ShapedItem& item) {
    const int32_t length = item.end - item.start;
    item.clusters.assign(static_cast<size_t>(length), 0);
    std::vector<SCRIPT_VISATTR> attributes;
    int glyphCount = 0;
    HRESULT result = E_OUTOFMEMORY;
    for (int32_t room = length * 3 / 2 + 16; room <= length * kMostGlyphsPerUnit + 16; room *= 2) {
        item.glyphs.assign(static_cast<size_t>(room), 0);
        attributes.assign(static_cast<size_t>(room), SCRIPT_VISATTR{});
        result = ScriptShape(dc, cache, units + item.start, length, room, &item.analysis, item.glyphs.data(),
                             item.clusters.data(), attributes.data(), &glyphCount);
        if (result == USP_E_SCRIPT_NOT_IN_FONT) {
            // The font has no shaping for the script: its glyphs as they are.
            item.analysis.eScript = SCRIPT_UNDEFINED;
            result = ScriptShape(dc, cache, units + item.start, length, room, &item.analysis, item.glyphs.data(),
                                 item.clusters.data(), attributes.data(), &glyphCount);
        }
        if (result != E_OUTOFMEMORY) break;
    }
    if (FAILED(result) || glyphCount < 0) return false;
    item.glyphs.resize(static_cast<size_t>(glyphCount));
    std::vector<int> advances(static_cast<size_t>(glyphCount) + 1, 0);
    if (glyphCount > 0) {
        if (GlyphsAtTheirOwnAdvances()) {
            if (!GetCharWidthI(dc, 0, static_cast<UINT>(glyphCount), item.glyphs.data(), advances.data()))
                return false;
        } else {
            std::vector<GOFFSET> offsets(static_cast<size_t>(glyphCount));
            ABC whole{};
            if (FAILED(ScriptPlace(dc, cache, item.glyphs.data(), glyphCount, attributes.data(), &item.analysis,
                                   advances.data(), offsets.data(), &whole)))
                return false;
        }
    }
    item.glyphX.assign(static_cast<size_t>(glyphCount) + 1, 0);
    for (int32_t g = 0; g < glyphCount; ++g)
        item.glyphX[static_cast<size_t>(g) + 1] = item.glyphX[static_cast<size_t>(g)] + std::max(advances[g], 0);
    return true;
}

// Sets a piece that the platform draws with one ExtTextOutW: shares of
// the glyphs into `widths` (which hold the unit-by-unit widths on entry)
// and places, all counted from the piece's start.
// A long piece, which is drawn word by word, keeps the items of its run
// (`runItems`, from the piece's start on): itemizing it again would cost as
// much as the first time.
bool ShapePiece(HDC dc, SCRIPT_CACHE* cache, const wchar_t* units, int32_t count, int32_t* widths,
                WinShapedPlace* places, const std::vector<SCRIPT_ITEM>& runItems, int firstItem, int endItem) {
    const bool byWords = count > kWholePiece;
    std::vector<SCRIPT_ITEM> found;
    int itemCount = 0;
    if (byWords) {
        const int32_t base = runItems[static_cast<size_t>(firstItem)].iCharPos;
        for (int i = firstItem; i <= endItem; ++i) {
            SCRIPT_ITEM item = runItems[static_cast<size_t>(i)];
            item.iCharPos -= base;
            found.push_back(item);
        }
        itemCount = endItem - firstItem;
    } else if (!Itemize(units, count, found, itemCount)) {
        return false;
    }
    std::vector<ShapedItem> items;
    items.reserve(static_cast<size_t>(itemCount));
    for (int i = 0; i < itemCount; ++i) {
        const int32_t start = found[static_cast<size_t>(i)].iCharPos;
        const int32_t end = std::min<int32_t>(found[static_cast<size_t>(i) + 1].iCharPos, count);
        if (end < start) return false;
        if (end == start) continue;
        // Word by word: runs of spaces and runs of other units, each at the
        // level and in the script of its item.
        for (int32_t from = start; from < end;) {
            int32_t to = end;
            if (byWords && from < end) {
                const bool space = units[from] == L' ';
                to = from + 1;
                while (to < end && (units[to] == L' ') == space) ++to;
            }
            ShapedItem item;
            item.start = from;
            item.end = to;
            item.analysis = found[static_cast<size_t>(i)].a;
            items.push_back(item);
            if (to >= end) break;
            from = to;
        }
    }
    itemCount = static_cast<int>(items.size());
    std::vector<BYTE> levels(static_cast<size_t>(itemCount));
    for (int i = 0; i < itemCount; ++i) {
        ShapedItem& item = items[static_cast<size_t>(i)];
        levels[static_cast<size_t>(i)] = static_cast<BYTE>(item.analysis.s.uBidiLevel);
        if (!ShapeItem(dc, cache, units, item)) return false;
    }
    std::vector<int> visualToLogical(static_cast<size_t>(itemCount));
    if (FAILED(ScriptLayout(itemCount, levels.data(), visualToLogical.data(), nullptr))) return false;
    // The left edge of every unit's glyphs, from the piece's left edge.
    std::vector<int32_t> left(static_cast<size_t>(count), 0);
    std::vector<int32_t> shares(static_cast<size_t>(count), 0);
    int32_t itemX = 0;
    for (int v = 0; v < itemCount; ++v) {
        const ShapedItem& item = items[static_cast<size_t>(visualToLogical[static_cast<size_t>(v)])];
        const int32_t length = item.end - item.start;
        const int32_t glyphCount = static_cast<int32_t>(item.glyphs.size());
        const bool rtl = item.analysis.fRTL != 0;
        for (int32_t c0 = 0; c0 < length;) {
            int32_t c1 = c0 + 1;
            while (c1 < length && item.clusters[static_cast<size_t>(c1)] == item.clusters[static_cast<size_t>(c0)])
                ++c1;
            // The cluster's glyphs: from its first glyph on in display order
            // up to the next cluster's (right to left: back to it).
            int32_t low, high;
            if (!rtl) {
                low = item.clusters[static_cast<size_t>(c0)];
                high = c1 < length ? item.clusters[static_cast<size_t>(c1)] : glyphCount;
            } else {
                high = item.clusters[static_cast<size_t>(c0)] + 1;
                low = c1 < length ? item.clusters[static_cast<size_t>(c1)] + 1 : 0;
            }
            low = std::min(std::max(low, 0), glyphCount);
            high = std::min(std::max(high, low), glyphCount);
            const int32_t from = item.glyphX[static_cast<size_t>(low)];
            const int32_t width = item.glyphX[static_cast<size_t>(high)] - from;
            // The cluster's width goes to its units that have a width of
            // their own (not marks, not the second unit of a pair) in equal
            // parts, in reading order.
            int32_t stops = 0;
            for (int32_t c = c0; c < c1; ++c) stops += widths[item.start + c] > 0;
            int32_t cursor = rtl ? itemX + from + width : itemX + from;
            int32_t k = 0;
            for (int32_t c = c0; c < c1; ++c) {
                const bool stop = stops == 0 ? c == c0 : widths[item.start + c] > 0;
                int32_t share = 0;
                if (stop) {
                    const int32_t parts = std::max(stops, 1);
                    share = width / parts + (k < width % parts ? 1 : 0);
                    ++k;
                }
                const size_t unit = static_cast<size_t>(item.start + c);
                shares[unit] = share;
                if (rtl) {
                    cursor -= share;
                    left[unit] = cursor;
                } else {
                    left[unit] = cursor;
                    cursor += share;
                }
                places[unit].rightToLeft = rtl ? 1 : 0;
            }
            c0 = c1;
        }
        itemX += item.glyphX.back();
    }
    int32_t x = 0;
    for (int32_t i = 0; i < count; ++i) {
        widths[i] = shares[static_cast<size_t>(i)];
        places[i].shift = left[static_cast<size_t>(i)] - x;
        if (!byWords) {
            places[i].group = i == 0 ? 2 : 1;
        } else if (units[i] == L' ') {
            places[i].group = 3;
        } else {
            places[i].group = i == 0 || units[i - 1] == L' ' ? 2 : 1;
        }
        x += widths[i];
    }
    return true;
}

}  // namespace

bool WinShapedText::NeedsShaping(const wchar_t* units, int32_t count) {
    if (!units) return false;
    for (int32_t i = 0; i < count; ++i) {
        if (ShapedUnit(static_cast<uint16_t>(units[i]))) return true;
    }
    return false;
}

bool WinShapedText::Layout(HDC dc, const wchar_t* units, int32_t count, int32_t* widths, WinShapedPlace* places) {
    if (!dc || !units || !widths || !places || count <= 0) return false;
    for (int32_t i = 0; i < count; ++i) places[i] = WinShapedPlace{};
    if (!NeedsShaping(units, count)) return false;
    std::vector<SCRIPT_ITEM> items;
    int itemCount = 0;
    if (!Itemize(units, count, items, itemCount)) return false;
    SCRIPT_CACHE cache = nullptr;
    bool any = false;
    // A piece is a stretch of items the platform reorders (a level above
    // the line's) or shapes; the items between stay in logical order.
    for (int i = 0; i < itemCount;) {
        const auto shaped = [&items](int n) {
            const SCRIPT_ANALYSIS& a = items[static_cast<size_t>(n)].a;
            return a.s.uBidiLevel > 0 || ComplexScript(a.eScript);
        };
        if (!shaped(i)) {
            ++i;
            continue;
        }
        int j = i + 1;
        while (j < itemCount && shaped(j)) ++j;
        const int32_t start = items[static_cast<size_t>(i)].iCharPos;
        const int32_t end = std::min<int32_t>(items[static_cast<size_t>(j)].iCharPos, count);
        if (end > start) {
            std::vector<int32_t> kept(widths + start, widths + end);
            if (ShapePiece(dc, &cache, units + start, end - start, widths + start, places + start, items, i, j)) {
                any = true;
            } else {
                // Not shaped after all: the unit-by-unit widths and places.
                std::copy(kept.begin(), kept.end(), widths + start);
                for (int32_t k = start; k < end; ++k) places[k] = WinShapedPlace{};
            }
        }
        i = j;
    }
    ScriptFreeCache(&cache);
    return any;
}

int32_t WinShapedText::CaretX(const int32_t* x, const WinShapedPlace* shaped, int32_t count, int32_t index) {
    index = std::min(std::max(index, 0), std::max(count, 0));
    if (!shaped || count <= 0) return x[index];
    if (index < count) {
        const WinShapedPlace& place = shaped[index];
        return x[index] + place.shift + (place.rightToLeft ? x[index + 1] - x[index] : 0);
    }
    const WinShapedPlace& place = shaped[count - 1];
    return x[count - 1] + place.shift + (place.rightToLeft ? 0 : x[count] - x[count - 1]);
}

void WinShapedText::Cells(const int32_t* x, const WinShapedPlace* shaped, int32_t from, int32_t to,
                          std::vector<WinCell>& cells) {
    cells.clear();
    for (int32_t i = from; i < to; ++i) {
        const int32_t width = x[i + 1] - x[i];
        if (width <= 0) continue;
        const int32_t left = x[i] + (shaped ? shaped[i].shift : 0);
        cells.emplace_back(left, left + width);
    }
    std::sort(cells.begin(), cells.end());
    size_t kept = 0;
    for (size_t i = 0; i < cells.size(); ++i) {
        if (kept > 0 && cells[i].first <= cells[kept - 1].second) {
            cells[kept - 1].second = std::max(cells[kept - 1].second, cells[i].second);
        } else {
            cells[kept++] = cells[i];
        }
    }
    cells.resize(kept);
}

int32_t WinShapedText::UnitAtX(const int32_t* x, const WinShapedPlace* shaped, int32_t count, int32_t at) {
    for (int32_t i = 0; i < count; ++i) {
        const int32_t width = x[i + 1] - x[i];
        if (width <= 0) continue;
        const int32_t left = x[i] + (shaped ? shaped[i].shift : 0);
        if (at >= left && at < left + width) return i;
    }
    return count > 0 && at < x[0] ? -1 : count;
}

bool WinShapedText::LayoutLine(HDC dc, const wchar_t* units, int32_t count, int32_t* widths,
                               std::vector<WinShapedPlace>& places) {
    places.clear();
    if (!dc || count <= 0 || !NeedsShaping(units, count)) return false;
    places.assign(static_cast<size_t>(count), WinShapedPlace{});
    bool any = false;
    for (int32_t start = 0; start < count;) {
        int32_t stop = start;
        while (stop < count && units[stop] != L'\t' && units[stop] != L'\r' && units[stop] != L'\n') ++stop;
        if (stop > start && Layout(dc, units + start, stop - start, widths + start, places.data() + start))
            any = true;
        start = stop + 1;
    }
    if (!any) places.clear();
    return any;
}

bool WinShapedText::AnyShaped(const WinShapedPlace* shaped, int32_t from, int32_t to) {
    if (!shaped) return false;
    for (int32_t i = from; i < to; ++i) {
        if (shaped[i].group) return true;
    }
    return false;
}

}  // namespace WinLayer
