// Page bands and the page cutter of the printed and the page view: the
// header or footer record of one page (three texts, the band's lengths and
// colours, the page number and the total), and the walk that cuts a laid-out
// list of lines into pages.
#pragma once

#include <windows.h>

#include <cstdint>

#include "base/raw_string.h"
#include "toolkit/list_box.h"

namespace AppLayer {

using RawLayer::RawString;

struct WinPrintHeader {
    RawString left;
    RawString center;
    RawString right;
    int32_t interMargin = 0;
    int32_t lineHeight = 0;
    int32_t textHeight = 0;
    COLORREF lineColor = 0;
    COLORREF textColor = 0;
    int32_t spare = 0;
    int32_t page = 0;
    int32_t total = 0;

    bool HasText() const { return !left.IsEmpty() || !center.IsEmpty() || !right.IsEmpty(); }
    // A copy of the part with its first "%p" replaced by the page number
    // and then its first "%t" by the total.
    RawString ExpandText(const RawString& part) const;
    // Fills the rule rectangle in the line colour and draws the three
    // expanded texts (left, centred, right) in the text rectangle.
    void Draw(HDC dc, const RECT& rule, const RECT& text) const;
};

// The page geometry of a list: page height, the four page margins and the
// top and bottom of the page rectangle.
struct WinPageGeometry {
    int32_t pageHeight = 0;
    RECT margins{};
    int32_t rectTop = 0;
    int32_t rectBottom = 0;
};

struct WinPrintListBox {
    // Whether a unit forces a new page, and the page-start mark of a unit.
    class Pages {
    public:
        virtual ~Pages() = default;
        virtual bool IsPageBreak(const WinLayer::WinListBoxItemUnit& unit) const = 0;
        virtual void MarkPageStart(WinLayer::WinListBoxItemUnit& unit, bool start) = 0;
    };
    // Marks every unit that begins a page after the first, moves the units
    // down into their pages and grows the total height; the page count.
    static int32_t Paginate(WinLayer::WinListBoxItemList& units, Pages& pages, const WinPageGeometry& geometry,
                            SIZE& total);
};

}  // namespace AppLayer
