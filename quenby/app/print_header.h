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
class WinTextDraw;

struct WinPrintHeader {
    RawString left;
    RawString center;
    RawString right;
    int32_t interMargin = 0;
    int32_t lineHeight = 0;
    int32_t textHeight = 0;
    COLORREF lineColor = 0;
    COLORREF textColor = 0;
    int32_t page = 0;
    int32_t total = 0;

    bool HasText() const { return !left.IsEmpty() || !center.IsEmpty() || !right.IsEmpty(); }
    // A copy of the part with its first "%p" replaced by the page number
    // and then its first "%t" by the total.
    RawString ExpandText(const RawString& part) const;
    // Fills the rule rectangle in the line colour and draws the three
    // expanded texts (left, centred, right) on one line at the top of the
    // text rectangle, in the selected font, with the text draw's fallback
    // face for the characters that font lacks.
    void Draw(HDC dc, const RECT& rule, const RECT& text, WinTextDraw& draw) const;
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
    // What the print loop asks before each page; the progress dialog
    // answers.
    class PageChecker {
    public:
        virtual ~PageChecker() = default;
        // The user asked the job to stop.
        virtual bool IsStopped() = 0;
        // Whether page k (from 0) is printed; a wanted page is reported as
        // the page about to print.
        virtual bool IsPageWanted(int32_t k) = 0;
        // The page count the job prints from, told before the first page.
        virtual void OnPageCount(int32_t count) { (void)count; }
    };
    // The pages of a paginated list as the printer gets them.
    class PageSource {
    public:
        virtual ~PageSource() = default;
        virtual int32_t PrintedPageCount() const = 0;
        // Paints page k into a printer page of the DC.
        virtual void PaintPrintedPage(HDC dc, int32_t k) = 0;
    };
    // The document calls of the loop; a test puts a recording DC's calls in
    // the printer's place.
    struct DocumentCalls {
        int(WINAPI* startDoc)(HDC, const DOCINFOW*);
        int(WINAPI* startPage)(HDC);
        int(WINAPI* endPage)(HDC);
        int(WINAPI* endDoc)(HDC);
    };
    // Sets the calls (null: the system's) and gives the previous ones back.
    static const DocumentCalls* SetDocumentCalls(const DocumentCalls* calls);
    // PrintNoPage: no page was wanted, and no document was sent.
    enum PrintOutcome : int32_t { PrintFailed = 0, PrintDone = 1, PrintStopped = 2, PrintNoPage = 3 };
    // The print loop: one document, a page for every wanted page until the
    // checker stops it. The document starts with its first wanted page, so
    // a job without pages sends nothing (a printer would give a blank
    // sheet). A stopped job still ends its document, so the pages sent
    // stay; any failing call of the document makes the job fail.
    static PrintOutcome Print(PageSource& source, HDC dc, const DOCINFOW& doc, PageChecker& checker);
    // Whether a unit forces a new page, and the page-start mark of a unit.
    class Pages {
    public:
        virtual ~Pages() = default;
        virtual bool IsPageBreak(const WinLayer::WinListBoxItemUnit& unit) const = 0;
        virtual void MarkPageStart(WinLayer::WinListBoxItemUnit& unit, bool start) = 0;
        // Where a unit taller than the room left on its page may be cut:
        // the lowest boundary between its rows at most `room` below its
        // top (0: none; the unit is then cut where the page ends).
        virtual int32_t RowCut(const WinLayer::WinListBoxItemUnit& unit, int32_t room) const {
            (void)unit;
            (void)room;
            return 0;
        }
        // The unit runs on over a page: what stands `at` or more below its
        // top moves down by `by` (the unit has already grown by it).
        virtual void CutUnit(WinLayer::WinListBoxItemUnit& unit, int32_t at, int32_t by) {
            (void)unit;
            (void)at;
            (void)by;
        }
    };
    // Marks every unit that begins a page after the first, moves the units
    // down into their pages and grows the total height; the page count. A
    // unit taller than its page runs on over the next pages, cut between
    // its rows where it has any.
    static int32_t Paginate(WinLayer::WinListBoxItemList& units, Pages& pages, const WinPageGeometry& geometry,
                            SIZE& total);
};

}  // namespace AppLayer
