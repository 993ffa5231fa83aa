#include "quenby/app/print_header.h"

#include "toolkit/view.h"

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

void WinPrintHeader::Draw(HDC dc, const RECT& rule, const RECT& text) const {
    HBRUSH brush = CreateSolidBrush(lineColor);
    if (brush) {
        if (rule.right > rule.left && rule.bottom > rule.top) FillRect(dc, &rule, brush);
        DeleteObject(brush);
    }
    int oldMode = SetBkMode(dc, TRANSPARENT);
    COLORREF oldColour = SetTextColor(dc, textColor);
    WinLayer::WinDrawContext context(dc);
    const UINT base = DT_SINGLELINE | DT_NOPREFIX;
    const RawString* parts[3] = {&left, &center, &right};
    const UINT formats[3] = {base | DT_LEFT, base | DT_CENTER, base | DT_RIGHT};
    for (int i = 0; i < 3; ++i) {
        if (parts[i]->IsEmpty()) continue;
        RawString shown = ExpandText(*parts[i]);
        RECT r = text;
        WinLayer::WinView::DrawTextRange(context, r, formats[i], shown, shown.All(), 0);
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
        if (pages.IsPageBreak(unit) || (t < limit && limit < b)) {
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
        unit.rect.top = static_cast<LONG>(t + offset);
        unit.rect.bottom = static_cast<LONG>(b + offset);
        lastBottom = b;
        any = true;
    }
    if (any && lastBottom > 0) {
        total.cy = static_cast<LONG>(total.cy + Mb + offset + limit - lastBottom);
        ++count;
    }
    return count;
}

}  // namespace AppLayer
