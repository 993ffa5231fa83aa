// The plane box: a scrollable drawing plane. Its content has a size of its
// own, sits inside the client area (left, right or centred across; top,
// bottom or centred down when it is smaller, by the view's fitting flags),
// scrolls by scroll bars, the wheel and the keys of view classes, and is
// painted through a memory bitmap copied once.
#pragma once

#include <windows.h>

#include <cstdint>

#include "toolkit/draw.h"
#include "toolkit/view.h"

namespace WinLayer {

class WinPlaneBox : public WinView {
public:
    enum : uint16_t {
        PlaneFocus = 0x1,
        PlaneLayoutPending = 0x2,
        PlaneScrollPending = 0x4,
        // The view paints its margins itself.
        PlaneNoMarginFill = 0x10,
    };
    static constexpr COLORREF kEmptyFrame = RGB(0xFF, 0xC0, 0xCB);
    static constexpr COLORREF kFocusLine = RGB(0x00, 0x00, 0xFF);

    WinPlaneBox() = default;
    ~WinPlaneBox() override;

    // Makes the view a plane: an owner-drawn "BUTTON", subclassed, margins 2.
    void Construct();

    // Measures the content for the present client area, places content
    // smaller than the area, keeps the offsets within the content, and
    // repaints when asked.
    void UpdateLayout(bool repaint);
    // Brings the scroll bars up to date and notifies a new position.
    void UpdateScrollBars();
    // Paints the plane as a copy of a window rectangle into a DC.
    void Paint(HDC target, const RECT& itemRect);

    // ---- operations of plane classes ---------------------------------------------
    // The size of the content for a content area.
    virtual void MeasureContent(WinDrawContext& dc, const RECT& area, SIZE& size) = 0;
    // Paints into the memory DC: the whole rectangle, the content area and
    // the scroll offsets.
    virtual void PaintContent(WinDrawContext& dc, const RECT& whole, const RECT& inner, POINT offset) = 0;
    // After every layout.
    virtual void AfterLayout();
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

    uint16_t planeFlags = PlaneLayoutPending;
    RECT contentArea{};
    SIZE contentSize{};
    SIZE lineStep{10, 10};
    POINT scroll{};
    int32_t spare[2] = {-1, -1};
    POINT reportedScroll{};

protected:
    // The client rectangle less the margins.
    RECT AreaOfClient() const;
    int32_t MaxScroll(bool vertical) const;
    void Invalidate();
    void ClampScroll();

private:
    void OnWheel(WPARAM wParam);
};

}  // namespace WinLayer
