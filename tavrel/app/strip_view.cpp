// The owner-drawn strips: the position bar and the twin scroll bar.
#include "tavrel/app/strip_view.h"

#include <windowsx.h>

#include <algorithm>
#include <cstdlib>

#include "tavrel/app/command_codes.h"
#include "tavrel/jobs/config_store.h"
#include "toolkit/dialog.h"
#include "toolkit/gdi_scope.h"
#include "toolkit/work_counts.h"

namespace AppLayer {

using WinLayer::GdiBrush;
using WinLayer::GdiPen;
using WinLayer::GdiSelection;

namespace {

constexpr int kPositionBarMargin = 2;

COLORREF ButtonFace() {
    static const COLORREF face = GetSysColor(COLOR_BTNFACE);
    return face;
}

void FillColour(HDC dc, const RECT& rect, COLORREF colour) {
    GdiBrush brush(colour);
    FillRect(dc, &rect, brush.Handle());
}

bool Inside(const RECT& rect, POINT point) {
    return rect.left <= point.x && point.x <= rect.right && rect.top <= point.y && point.y <= rect.bottom;
}

}  // namespace

// ---- strips --------------------------------------------------------------------------------------

void GuiStripView::Construct() {
    className = RawLayer::RawString::FromText("BUTTON");
    viewKind = KindSubclassed;
    style = kStripStyle;
}

void GuiStripView::Paint(HDC dc, const RECT& item) { FillColour(dc, item, ButtonFace()); }

LRESULT GuiStripView::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_DRAWITEM && wParam != 0) {
        const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
        if (item && item->hDC) {
            const int saved = SaveDC(item->hDC);
            Paint(item->hDC, item->rcItem);
            RestoreDC(item->hDC, saved);
        }
        return TRUE;
    }
    if (message == WM_ERASEBKGND) return 1;
    return WinView::OnMessage(message, wParam, lParam);
}

// ---- position bar --------------------------------------------------------------------------------

void GuiPositionBar::Construct() {
    GuiStripView::Construct();
    marginLeft = marginTop = marginRight = marginBottom = kPositionBarMargin;
    verticalMargin = GetSystemMetrics(SM_CYVSCROLL);
    rect = RECT{0, 0, GetSystemMetrics(SM_CYVSCROLL), 0};
}

void GuiPositionBar::FitToText(RECT& area) { area = RECT{0, 0, 9, 4}; }

RECT GuiPositionBar::Track(const RECT& client) const {
    return RECT{client.left, client.top + verticalMargin, client.right, client.bottom - verticalMargin};
}

void GuiPositionBar::ComputeMarks(int32_t height) {
    if (height < 0) height = 0;
    for (std::vector<int32_t>& column : marks_) {
        if (static_cast<int32_t>(column.size()) < height) column.resize(static_cast<size_t>(height));
        std::fill(column.begin(), column.end(), MarkNone);
    }
    const int32_t count = rows ? rows->Count() : 0;
    if (count <= 0 || height <= 0) return;
    const int32_t perRow = std::max(height / count, 2);
    auto mark = [&](int32_t i, uint32_t kind) {
        if (kind == JobLayer::RowSame || kind > JobLayer::RowChanged) return;
        const int32_t y = static_cast<int32_t>(static_cast<int64_t>(i) * height / count);
        // Within the track: a row's marks never run past its bottom.
        const int32_t last = y + std::min(perRow, height - y);
        const int32_t mark1 = kind == JobLayer::RowOnly2 ? MarkMissing : MarkChanged;
        const int32_t mark2 = kind == JobLayer::RowOnly1 ? MarkMissing : MarkChanged;
        std::fill(marks_[0].begin() + y, marks_[0].begin() + last, mark1);
        std::fill(marks_[1].begin() + y, marks_[1].begin() + last, mark2);
    };
    // Same rows mark nothing: with the folder box's note of the others only
    // those are read, in list order (later rows still overwrite earlier
    // marks).
    if (differing && differing->Describes(rows)) {
        WinLayer::WinWorkCounts::Instance().positionBarRows += static_cast<int64_t>(differing->rowsNotSame.size());
        for (int32_t i : differing->rowsNotSame) {
            const JobLayer::JobReportUnit* row = rows->At(i);
            if (row) mark(i, row->kind);
        }
        return;
    }
    WinLayer::WinWorkCounts::Instance().positionBarRows += count;
    int32_t i = 0;
    for (const JobLayer::JobReportUnit& row : *rows) mark(i++, row.kind);
}

int32_t GuiPositionBar::RowAtY(int32_t y, const RECT& client) const {
    const int32_t count = rows ? rows->Count() : 0;
    const RECT track = Track(client);
    const int32_t height = track.bottom - track.top;
    if (count <= 0 || height <= 0 || y < track.top || y > track.bottom) return -1;
    const int64_t row = static_cast<int64_t>(y - track.top) * count / height;
    // The bottom edge itself would be one past the last row.
    return static_cast<int32_t>(std::min<int64_t>(row, count - 1));
}

void GuiPositionBar::Paint(HDC dc, const RECT& item) {
    FillColour(dc, item, ButtonFace());
    if (focus) FillColour(dc, RECT{item.left, item.top, item.right, item.top + 1}, kFocusLine);
    const RECT track = Track(item);
    const int32_t height = track.bottom - track.top;
    if (height < 1 || !rows) return;
    ComputeMarks(height);
    const JobLayer::ColorTable& colours = JobLayer::ConfigStore::Instance().colors;
    const LONG columns[2][2] = {{item.left + marginLeft, item.left + marginLeft + kColumnWidth},
                                {item.right - marginRight - kColumnWidth, item.right - marginRight}};
    for (uint32_t side = 0; side < 2; ++side) {
        const COLORREF palette[3] = {colours.posBarSameColor,
                                     side == 0 ? colours.posBarSide1Color : colours.posBarSide2Color,
                                     colours.posBarBlankColor};
        const std::vector<int32_t>& column = marks_[side];
        // Runs of equal marks are filled as one rectangle.
        int32_t k = 0;
        while (k < height) {
            const int32_t mark = column[static_cast<size_t>(k)];
            int32_t end = k + 1;
            while (end < height && column[static_cast<size_t>(end)] == mark) ++end;
            const COLORREF colour = palette[mark >= 0 && mark <= 2 ? mark : 0];
            if (colour != JobLayer::NoColorValue) {
                FillColour(dc, RECT{columns[side][0], track.top + k, columns[side][1], track.top + end}, colour);
            }
            k = end;
        }
    }
}

LRESULT GuiPositionBar::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
        focus = message == WM_SETFOCUS ? 1 : 0;
        if (window) InvalidateRect(window, nullptr, FALSE);
        break;
    case WM_LBUTTONDOWN: {
        if (!window) break;
        RECT client{};
        GetClientRect(window, &client);
        const int32_t x = GET_X_LPARAM(lParam);
        if (x < client.left || x > client.right) break;
        const int32_t row = RowAtY(GET_Y_LPARAM(lParam), client);
        if (row < 0) break;
        clickedRow = row;
        if (owner && owner->window) SendMessageW(owner->window, WM_COMMAND, MAKEWPARAM(controlId, CmdCentreCursor), 0);
        break;
    }
    default:
        break;
    }
    return GuiStripView::OnMessage(message, wParam, lParam);
}

// ---- twin scroll bar -----------------------------------------------------------------------------

bool GuiTwinScrollBar::LayoutHalf(Half& half, const RECT& area) {
    half.rect = area;
    const LONG h = area.bottom - area.top;
    half.leftArrow = RECT{area.left, area.top, area.left + h, area.bottom};
    half.rightArrow = RECT{area.right - h, area.top, area.right, area.bottom};
    half.thumb = RECT{};
    const int64_t page = static_cast<int64_t>(half.end) - half.position;
    const int64_t range = static_cast<int64_t>(half.maximum) - half.minimum;
    if (page <= 0 || page >= range) return false;
    const int64_t track = static_cast<int64_t>(half.rightArrow.left) - half.leftArrow.right;
    const int64_t width = std::max<int64_t>(page * track / range, kMinThumb);
    // Too narrow a half has nowhere to move a thumb.
    if (track - width <= 0) return false;
    const int64_t position = std::min(std::max<int64_t>(static_cast<int64_t>(half.position) - half.minimum, 0),
                                      range - page);
    const int64_t left = half.leftArrow.right + position * (track - width) / (range - page);
    half.thumb = RECT{static_cast<LONG>(left), area.top, static_cast<LONG>(left + width), area.bottom};
    return true;
}

int32_t GuiTwinScrollBar::DragTarget(const Half& half, int32_t offset) {
    if (IsRectEmpty(&half.thumb)) return -1;
    const int64_t page = static_cast<int64_t>(half.end) - half.position;
    const int64_t range = static_cast<int64_t>(half.maximum) - half.minimum;
    const int64_t room = static_cast<int64_t>(half.rightArrow.left) - half.leftArrow.right -
                         (half.thumb.right - half.thumb.left);
    if (room <= 0 || page <= 0 || page >= range) return -1;
    const int64_t value = static_cast<int64_t>(offset) * (range - page) / room;
    return static_cast<int32_t>(std::min(std::max<int64_t>(value, 0), range - page));
}

void GuiTwinScrollBar::LayoutHalves(const RECT& item) {
    EnterCriticalSection(&lock);
    LayoutHalf(halves[0], RECT{item.left, item.top, dividingX, item.bottom - 1});
    LayoutHalf(halves[1], RECT{dividingX + 2, item.top, ownerClient.right + 1, item.bottom - 1});
    LeaveCriticalSection(&lock);
}

void GuiTwinScrollBar::Paint(HDC dc, const RECT& item) {
    FillColour(dc, item, ButtonFace());
    LayoutHalves(item);
    EnterCriticalSection(&lock);
    const Half shown[2] = {halves[0], halves[1]};
    LeaveCriticalSection(&lock);
    GdiPen white(PS_SOLID, 1, RGB(0xFF, 0xFF, 0xFF));
    GdiSelection keep(dc, white.Get());
    for (const Half& half : shown) {
        if (half.rect.right <= half.rect.left) continue;
        const bool scrolls = !IsRectEmpty(&half.thumb);
        MoveToEx(dc, half.rect.left, half.rect.bottom, nullptr);
        LineTo(dc, half.rect.right, half.rect.bottom);
        const UINT inactive = scrolls ? 0 : DFCS_INACTIVE;
        RECT arrow = half.leftArrow;
        DrawFrameControl(dc, &arrow, DFC_SCROLL, DFCS_SCROLLLEFT | DFCS_FLAT | inactive);
        arrow = half.rightArrow;
        DrawFrameControl(dc, &arrow, DFC_SCROLL, DFCS_SCROLLRIGHT | DFCS_FLAT | inactive);
        if (scrolls) FillColour(dc, half.thumb, kThumbColour);
    }
}

void GuiTwinScrollBar::PostRequest() {
    if (scrollOwner && scrollOwner->window) {
        PostMessageW(scrollOwner->window, WM_COMMAND, MAKEWPARAM(scrollOwner->controlId, CmdTwinBarNotice), 0);
    }
}

void GuiTwinScrollBar::OnPress(POINT point) {
    int32_t pressed = 0;
    bool post = false;
    EnterCriticalSection(&lock);
    for (int32_t side = 0; side < 2 && pressed == 0; ++side) {
        const Half& half = halves[side];
        if (IsRectEmpty(&half.thumb) || !Inside(half.rect, point)) continue;
        activeSide = side;
        pressed = 1;
        if (point.x <= half.leftArrow.right) {
            step = -kArrowStep;
        } else if (point.x >= half.rightArrow.left) {
            step = kArrowStep;
        } else if (point.x >= half.thumb.left && point.x <= half.thumb.right) {
            if (dragState == DragIdle) {
                dragState = DragPressed;
                pressPoint = point;
                pressThumbOffset = half.thumb.left - half.leftArrow.right;
            }
            continue;
        } else {
            step = point.x < half.thumb.left ? -kTrackStep : kTrackStep;
        }
        post = true;
    }
    LeaveCriticalSection(&lock);
    if (!pressed || !window) return;
    // Every press holds the mouse until its release, so a release anywhere
    // ends it.
    SetCapture(window);
    if (!post) return;
    repeating_ = true;
    SetTimer(window, kFirstDelayTimer, kFirstDelayMs, nullptr);
    PostRequest();
}

void GuiTwinScrollBar::OnMove(POINT point) {
    if (dragState == DragPressed) {
        if (std::abs(point.x - pressPoint.x) <= kDragSlop && std::abs(point.y - pressPoint.y) <= kDragSlop) return;
        dragState = Dragging;
        if (window && GetCapture() != window) SetCapture(window);
    }
    if (dragState != Dragging) return;
    EnterCriticalSection(&lock);
    const int32_t value = DragTarget(halves[activeSide & 1], pressThumbOffset + (point.x - pressPoint.x));
    if (value >= 0) {
        step = 0;
        target = value;
    }
    LeaveCriticalSection(&lock);
    if (value >= 0) PostRequest();
}

void GuiTwinScrollBar::OnWheel(WPARAM wParam, LPARAM lParam) {
    if (GET_KEYSTATE_WPARAM(wParam) & MK_CONTROL) return;
    if (!window) return;
    POINT point{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    ScreenToClient(window, &point);
    const int32_t delta = GET_WHEEL_DELTA_WPARAM(wParam);
    bool post = false;
    EnterCriticalSection(&lock);
    for (int32_t side = 0; side < 2; ++side) {
        const Half& half = halves[side];
        if (IsRectEmpty(&half.thumb) || !Inside(half.rect, point)) continue;
        // A high-resolution wheel sends parts of a notch: they add up until
        // a whole one is there (a step of 0 would be a move to the target).
        int32_t& rest = wheelRest_[side];
        rest += delta;
        const int32_t notches = rest / WHEEL_DELTA;
        rest -= notches * WHEEL_DELTA;
        if (notches != 0) {
            activeSide = side;
            step = -notches;
            post = true;
        }
        break;
    }
    LeaveCriticalSection(&lock);
    if (post) PostRequest();
}

void GuiTwinScrollBar::EndPress() {
    // The state goes first: letting the capture go comes back here.
    dragState = DragIdle;
    repeating_ = false;
    if (!window) return;
    KillTimer(window, kFirstDelayTimer);
    KillTimer(window, kRepeatTimer);
    if (GetCapture() == window) ReleaseCapture();
}

void GuiTwinScrollBar::OnDestroying() {
    EndPress();
    GuiStripView::OnDestroying();
}

LRESULT GuiTwinScrollBar::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    // The button's own press handling (its capture, its click) stays out:
    // the bar holds the mouse itself.
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
        OnPress(POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
        return 0;
    case WM_MOUSEMOVE:
        OnMove(POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
        return 0;
    case WM_LBUTTONUP:
        EndPress();
        return 0;
    case WM_CANCELMODE:
    case WM_CAPTURECHANGED:
    case WM_DESTROY:
        EndPress();
        break;
    case WM_TIMER:
        if (wParam == kFirstDelayTimer) {
            KillTimer(window, kFirstDelayTimer);
            if (repeating_) SetTimer(window, kRepeatTimer, kRepeatMs, nullptr);
            return 0;
        }
        if (wParam == kRepeatTimer) {
            if (repeating_) {
                PostRequest();
            } else {
                KillTimer(window, kRepeatTimer);
            }
            return 0;
        }
        break;
    case WM_MOUSEWHEEL:
        OnWheel(wParam, lParam);
        break;
    default:
        break;
    }
    return GuiStripView::OnMessage(message, wParam, lParam);
}

}  // namespace AppLayer
