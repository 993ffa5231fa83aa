#include "quenby/app/print_header.h"

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <vector>

#include "quenby/app/text_draw.h"

namespace AppLayer {

namespace {

RAW_CONSTANT_TEXT(PageMarkText, "%p")
RAW_CONSTANT_TEXT(TotalMarkText, "%t")

void ReplaceFirst(RawString& text, const RawString& mark, int32_t value) {
    RawString number(text.Kind());
    number.AppendInt(value);
    RawString mine(text.Kind(), mark);
    int32_t at = text.Find(mine);
    if (at >= text.Length()) return;
    text.ReplaceRange(RawLayer::RawRange{at, at + mine.Length()}, number, number.All());
}

}  // namespace

RawString WinPrintHeader::ExpandText(const RawString& part) const {
    RawString text(part.Kind());
    text.Append(part);
    ReplaceFirst(text, PageMarkText(), page);
    ReplaceFirst(text, TotalMarkText(), total);
    return text;
}

void WinPrintHeader::Draw(HDC dc, const RECT& rule, const RECT& text, WinTextDraw& draw) const {
    HBRUSH brush = CreateSolidBrush(lineColor);
    if (brush) {
        if (rule.right > rule.left && rule.bottom > rule.top) FillRect(dc, &rule, brush);
        DeleteObject(brush);
    }
    int oldMode = SetBkMode(dc, TRANSPARENT);
    COLORREF oldColour = SetTextColor(dc, textColor);
    // Through the body text's drawing: a printer's driver links no face to
    // the band's font, so characters that font lacks need the fallback face.
    const RawString* parts[3] = {&left, &center, &right};
    const int64_t room = static_cast<int64_t>(text.right) - text.left;
    for (int i = 0; i < 3; ++i) {
        if (parts[i]->IsEmpty()) continue;
        RawString shown = ExpandText(*parts[i]);
        const SIZE size = TextLayout::FitText(draw, dc, shown, 0, shown.Length());
        const int64_t x = i == 0 ? text.left : i == 1 ? text.left + (room - size.cx) / 2 : text.right - size.cx;
        const RECT run{static_cast<LONG>(x), text.top, static_cast<LONG>(x + size.cx), text.bottom};
        // A text wider than the band is cut at the band's sides.
        const int saved = size.cx > room ? SaveDC(dc) : 0;
        if (saved) IntersectClipRect(dc, text.left, text.top, text.right, text.bottom);
        draw.DrawPlain(dc, shown, 0, shown.Length(), run, size.cx);
        if (saved) RestoreDC(dc, saved);
    }
    SetTextColor(dc, oldColour);
    SetBkMode(dc, oldMode);
}

int32_t WinPrintListBox::Paginate(WinLayer::WinListBoxItemList& units, Pages& pages, const WinPageGeometry& g,
                                  SIZE& total) {
    const int32_t P = g.pageHeight;
    const int32_t Mt = g.margins.top, Mb = g.margins.bottom;
    const int32_t It = g.rectTop, Ib = g.rectBottom;
    for (WinLayer::WinListBoxItemUnit& unit : units) pages.MarkPageStart(unit, false);
    if (P < 1) return 0;
    int64_t H = static_cast<int64_t>(P) - Mt - Mb;
    if (H < 1) H = 1;  // margins that leave no page still give every page one pixel
    int64_t limit = It - Ib + H;
    int64_t offset = static_cast<int64_t>(Mt) - It + Ib;
    int32_t count = 0;
    int64_t lastBottom = 0;
    bool any = false;
    for (WinLayer::WinListBoxItemUnit& unit : units) {
        const int64_t t = unit.rect.top, b = unit.rect.bottom;
        bool start = false;
        // A unit that crosses the page's end goes to the next page, unless
        // it is taller than a page and can be cut between rows right here.
        const bool crosses = t < limit && limit < b;
        const int32_t left = static_cast<int32_t>(std::min<int64_t>(limit - t, INT32_MAX));
        const bool cutHere = crosses && b - t > H && pages.RowCut(unit, left) > 0;
        if (pages.IsPageBreak(unit) || (crosses && !cutHere)) {
            offset += limit - t;
            limit = t;
            start = true;
        } else if (limit <= t) {
            start = true;
        }
        if (start) {
            pages.MarkPageStart(unit, true);
            limit += It - Ib + H;
            offset += Mb + Mt + Ib - It;
            ++count;
        }
        const int64_t topOffset = offset;
        // What does not fit goes on to the next page, from the lowest row
        // boundary that fits (or from the page's end). Every piece ends a
        // page lower, so the walk ends.
        struct Cut {
            int64_t at, by;
        };
        std::vector<Cut> cuts;
        int64_t from = t;
        while (limit < b && cuts.size() < 100000) {
            const int64_t room = std::min<int64_t>(limit - t, INT32_MAX);
            const int64_t row = pages.RowCut(unit, static_cast<int32_t>(room));
            const int64_t at = row > from - t && row <= room ? t + row : limit;
            const int64_t before = offset;
            offset += limit - at;
            limit = at + It - Ib + H;
            offset += Mb + Mt + Ib - It;
            ++count;
            cuts.push_back(Cut{at - t, offset - before});
            from = at;
        }
        unit.rect.top = static_cast<LONG>(t + topOffset);
        unit.rect.bottom = static_cast<LONG>(b + offset);
        // From the lowest cut up: a part below several cuts moves by each.
        for (size_t i = cuts.size(); i-- > 0;)
            pages.CutUnit(unit, static_cast<int32_t>(cuts[i].at), static_cast<int32_t>(cuts[i].by));
        lastBottom = b;
        any = true;
    }
    if (any && lastBottom > 0) {
        total.cy = static_cast<LONG>(total.cy + Mb + offset + limit - lastBottom);
        ++count;
    }
    return count;
}

namespace {

const WinPrintListBox::DocumentCalls kSystemCalls{&StartDocW, &StartPage, &EndPage, &EndDoc};
std::atomic<const WinPrintListBox::DocumentCalls*> documentCalls{&kSystemCalls};

}  // namespace

const WinPrintListBox::DocumentCalls* WinPrintListBox::SetDocumentCalls(const DocumentCalls* calls) {
    return documentCalls.exchange(calls ? calls : &kSystemCalls);
}

WinPrintListBox::PrintOutcome WinPrintListBox::Print(PageSource& source, HDC dc, const DOCINFOW& doc,
                                                     PageChecker& checker) {
    const DocumentCalls& calls = *documentCalls.load();
    if (!dc) return PrintFailed;
    const int32_t count = source.PrintedPageCount();
    checker.OnPageCount(count);
    bool started = false;
    bool failed = false;
    bool stopped = false;
    for (int32_t k = 0; k < count; ++k) {
        if (checker.IsStopped()) {
            stopped = true;
            break;
        }
        if (!checker.IsPageWanted(k)) continue;
        if (!started) {
            if (calls.startDoc(dc, &doc) < 1) return PrintFailed;
            started = true;
        }
        if (calls.startPage(dc) < 1) {
            failed = true;
            break;
        }
        source.PaintPrintedPage(dc, k);
        if (calls.endPage(dc) < 1) {
            failed = true;
            break;
        }
    }
    if (!started) return stopped ? PrintStopped : PrintNoPage;
    // A queue that refuses the job may still have taken every page: only
    // the end of the document tells.
    if (calls.endDoc(dc) < 1) failed = true;
    if (failed) return PrintFailed;
    return stopped ? PrintStopped : PrintDone;
}

}  // namespace AppLayer
