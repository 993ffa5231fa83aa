#include "tavrel/jobs/cell_draw.h"

#include "toolkit/draw.h"
#include "toolkit/view.h"

namespace JobLayer {

void DrawCellText(HDC dc, const RECT& cell, int32_t margin, const RawLayer::RawString& text, UINT align) {
    if (text.IsEmpty()) return;
    RECT area = {cell.left + margin, cell.top, cell.right - margin, cell.bottom};
    if (area.right <= area.left) return;
    WinLayer::WinDrawContext context(dc);
    WinLayer::WinView::DrawTextRange(context, area, align | DT_NOPREFIX | DT_EXPANDTABS | DT_SINGLELINE | DT_VCENTER,
                                     text, text.All(), 1);
}

}  // namespace JobLayer
