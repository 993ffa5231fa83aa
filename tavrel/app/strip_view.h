// The owner-drawn strips of the main window (position bar, twin scroll
// bar): a subclassed "BUTTON" (WS_CHILD | WS_VISIBLE | BS_OWNERDRAW) whose
// face each strip paints itself when its owner hands WM_DRAWITEM back.
#pragma once

#include <windows.h>

#include <cstdint>
#include <vector>

#include "tavrel/jobs/job_report.h"
#include "toolkit/view.h"

namespace AppLayer {

class GuiStripView : public WinLayer::WinView {
public:
    // The window style of the strips (0x5000000B).
    static constexpr DWORD kStripStyle = WS_CHILD | WS_VISIBLE | BS_OWNERDRAW;

    void Construct();
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

protected:
    // Paints the strip's face; the button colour by default.
    virtual void Paint(HDC dc, const RECT& item);
};

// The strip beside the folder box that shows, for the whole current job,
// where the sides differ: one column per side, one mark per pixel row of
// the track. A click asks the main window (4362) to scroll to the row.
// The rows of a row list that are not the same on both sides, in list
// order, as the folder box noted them when it last took the list's rows:
// the marks of a long job that differs in a few places cost those places,
// not a pass over every row.
struct DifferingRowIndex {
    // The list and its row count when the rows were noted; null: none.
    const JobLayer::JobReportList* rows = nullptr;
    int32_t count = -1;
    std::vector<int32_t> rowsNotSame;
    bool Describes(const JobLayer::JobReportList* list) const { return list && rows == list && count == list->Count(); }
};

class GuiPositionBar : public GuiStripView {
public:
    // Marks of a pixel row.
    enum : int32_t { MarkNone = 0, MarkChanged = 1, MarkMissing = 2 };
    static constexpr int32_t kColumnWidth = 4;
    static constexpr COLORREF kFocusLine = 0xFF0000;

    void Construct();
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    // The natural size: 9 wide, 4 high.
    void FitToText(RECT& rect) override;

    // The track of the client rectangle: between the vertical margins.
    RECT Track(const RECT& client) const;
    // Fills the marks of both columns for a track of a height (one pass
    // over the rows): marks(0) for side 1, marks(1) for side 2. The arrays
    // grow to the height and are cleared over their whole capacity.
    void ComputeMarks(int32_t height);
    const std::vector<int32_t>& Marks(uint32_t side) const { return marks_[side & 1]; }
    // The row of a click at a client y: -1 outside the track, with no rows,
    // or with a track of no height.
    int32_t RowAtY(int32_t y, const RECT& client) const;

    // The current job's result rows; null until a tab is shown.
    const JobLayer::JobReportList* rows = nullptr;
    // The folder box's note of the rows that differ; used while it
    // describes `rows`, else the marks read every row.
    const DifferingRowIndex* differing = nullptr;
    uint8_t focus = 0;
    int32_t clickedRow = -1;
    // GetSystemMetrics(SM_CYVSCROLL): the track keeps clear of it at the
    // top and the bottom.
    int32_t verticalMargin = 0;

protected:
    void Paint(HDC dc, const RECT& item) override;

private:
    // One array per column; they only grow.
    std::vector<int32_t> marks_[2];
};

// The horizontal scroll bar under the folder box, one half per side. The
// folder box writes the geometry and each side's range into the shared
// fields under the lock; the bar turns presses, drags, held buttons and the
// wheel into a request (side, step, target) that it posts as 4363 to the
// folder box.
class GuiTwinScrollBar : public GuiStripView {
public:
    enum : UINT { kFirstDelayTimer = 1111, kRepeatTimer = 1112 };
    static constexpr UINT kFirstDelayMs = 400;
    static constexpr UINT kRepeatMs = 50;
    static constexpr int32_t kMinThumb = 5;
    // A press on the thumb becomes a drag once the mouse moved further.
    static constexpr int32_t kDragSlop = 5;
    static constexpr int32_t kArrowStep = 1;
    static constexpr int32_t kTrackStep = 4;
    static constexpr COLORREF kThumbColour = RGB(0xA0, 0xA0, 0xA0);
    enum : int32_t { DragIdle = 0, DragPressed = 1, Dragging = 2 };

    // One side's half: its rectangles and its range.
    struct Half {
        RECT rect{};
        RECT leftArrow{};
        RECT rightArrow{};
        RECT thumb{};
        int32_t position = 0;
        int32_t end = 0;
        int32_t minimum = 0;
        int32_t maximum = 0;
    };

    GuiTwinScrollBar() { InitializeCriticalSection(&lock); }
    ~GuiTwinScrollBar() override { DeleteCriticalSection(&lock); }
    GuiTwinScrollBar(const GuiTwinScrollBar&) = delete;
    GuiTwinScrollBar& operator=(const GuiTwinScrollBar&) = delete;

    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    void OnDestroying() override;

    // Lays a half out in its rectangle: arrows, and the thumb when the half
    // can scroll (its page is shorter than its range and its track leaves
    // the thumb room to move); true then. 64-bit products throughout.
    static bool LayoutHalf(Half& half, const RECT& rect);
    // The drag target of a thumb offset (thumb left minus left-arrow
    // right): within 0 .. range - page; -1 when the half has no thumb.
    static int32_t DragTarget(const Half& half, int32_t offset);
    // Lays both halves out for the bar's client rectangle (under the lock).
    void LayoutHalves(const RECT& item);

    // The view that applies the requests (the folder box).
    WinLayer::WinView* scrollOwner = nullptr;
    int32_t dragState = DragIdle;
    POINT pressPoint{};
    int32_t pressThumbOffset = 0;
    // The last request: side, step (0: move to the target) and target.
    int32_t activeSide = 0;
    int32_t step = 0;
    int32_t target = 0;
    int32_t dividingX = 0;
    RECT ownerClient{};
    Half halves[2];
    CRITICAL_SECTION lock;

protected:
    void Paint(HDC dc, const RECT& item) override;

private:
    void OnPress(POINT point);
    void OnMove(POINT point);
    void OnWheel(WPARAM wParam, LPARAM lParam);
    // Kills both timers, lets the capture go, state idle.
    void EndPress();
    void PostRequest();

    // A held arrow or track press repeats until released.
    bool repeating_ = false;
    // Wheel movement of each half not yet a whole notch.
    int32_t wheelRest_[2] = {};
};

}  // namespace AppLayer
