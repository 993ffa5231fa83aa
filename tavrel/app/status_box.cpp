// The status box: queued reports, their move into the list, and drawing.
#include "tavrel/app/status_box.h"

#include "toolkit/gdi_scope.h"

namespace AppLayer {

using WinLayer::WinDrawContext;
using WinLayer::WinListBoxItemUnit;

namespace {

// The width limit when a line is measured: wide enough for any line.
constexpr LONG kMeasureWidth = 32767;

}  // namespace

GuiStatusBox::GuiStatusBox() { InitializeCriticalSection(&lock_); }

GuiStatusBox::~GuiStatusBox() {
    // The list box's items point into lines_: they go first.
    ClearItems();
    DeleteCriticalSection(&lock_);
}

void GuiStatusBox::Construct() { WinListBox::Construct(); }

void GuiStatusBox::Report(const RawString& line) {
    EnterCriticalSection(&lock_);
    auto* unit = new JobStatusUnit();
    unit->text = line;
    lines_.Add(unit);
    queued_.push_back(unit);
    const HWND target = window;
    const uint32_t id = controlId;
    // One 4404 waiting is enough: it moves every line queued until it runs.
    // A flood of reports would otherwise fill the thread's message queue
    // (Windows refuses posts beyond its limit), losing other views' posts.
    const bool post = target && !posted_;
    if (post) posted_ = true;
    LeaveCriticalSection(&lock_);
    // Posted, not sent: a reporting worker never waits for the GUI thread.
    if (post && !PostMessageW(target, WM_COMMAND, MAKEWPARAM(id, kShowQueuedCode), 0)) {
        // The window went: the next report tries again.
        EnterCriticalSection(&lock_);
        posted_ = false;
        LeaveCriticalSection(&lock_);
    }
}

int32_t GuiStatusBox::ShowQueued() {
    std::vector<JobStatusUnit*> moving;
    EnterCriticalSection(&lock_);
    // Reports from here on need a 4404 of their own.
    posted_ = false;
    moving.swap(queued_);
    for (JobStatusUnit* unit : moving) {
        unit->shown = 1;
        AddItem(unit);
    }
    LeaveCriticalSection(&lock_);
    if (moving.empty()) return 0;
    if (window) {
        Refresh();
        ScrollToEnd();
    }
    return static_cast<int32_t>(moving.size());
}

int32_t GuiStatusBox::ReportedCount() {
    EnterCriticalSection(&lock_);
    const int32_t count = lines_.Count();
    LeaveCriticalSection(&lock_);
    return count;
}

LRESULT GuiStatusBox::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_SIZE) {
        VisibleRows();
        ScrollToEnd();
        if (window) InvalidateRect(window, nullptr, FALSE);
    }
    return WinListBox::OnMessage(message, wParam, lParam);
}

void GuiStatusBox::FitToText(RECT& rect) {
    MeasureText(rect, GetText());
    rect.bottom += 2;
}

void GuiStatusBox::SetPaintRect(WinDrawContext& dc, const RECT& rect, POINT origin) {
    itemArea_ = rect;
    WinListBox::SetPaintRect(dc, rect, origin);
}

void GuiStatusBox::MeasureRow(WinDrawContext& dc, SIZE& size) {
    SetTextAlign(dc.dc, 0);
    RECT sample{0, 0, kMeasureWidth, 0};
    const RawString a = RawString::FromLiteral("A");
    WinView::MeasureTextRange(dc, sample, kTextFormat, a, a.All(), kTabLength);
    WinListBox::MeasureSampleRow(dc, size);
    size.cy = (sample.bottom - sample.top) + kLinePadding;
}

void GuiStatusBox::MeasureItemOf(WinDrawContext& dc, RECT& size, int32_t, WinListBoxItemUnit&, JobStatusUnit* item) {
    RECT measured{0, 0, kMeasureWidth, 0};
    if (item) WinView::MeasureTextRange(dc, measured, kTextFormat, item->text, item->text.All(), kTabLength);
    size.right = size.left + marginLeft + kTextInset + (measured.right - measured.left);
    size.bottom = size.top + (measured.bottom - measured.top) + kLinePadding;
}

void GuiStatusBox::DrawItemOf(WinDrawContext& dc, const RECT& rect, int32_t, WinListBoxItemUnit& unit,
                              JobStatusUnit* item) {
    RECT row{itemArea_.left, rect.top, itemArea_.right, rect.bottom};
    WinLayer::GdiBrush fill(ItemColor(unit));
    FillRect(dc.dc, &row, fill.Handle());
    SetBkMode(dc.dc, TRANSPARENT);
    SetTextColor(dc.dc, GetSysColor(COLOR_WINDOWTEXT));
    if (item) {
        RECT text = row;
        text.left += marginLeft + kTextInset;
        OffsetRect(&text, 0, 1);
        WinView::DrawTextRange(dc, text, kTextFormat, item->text, item->text.All(), kTabLength);
    }
    WinLayer::GdiBrush line(kSeparatorColour);
    RECT separator{0, row.bottom - 1, itemArea_.right, row.bottom};
    FillRect(dc.dc, &separator, line.Handle());
}

}  // namespace AppLayer
