// Radio and selector groups: one owner-drawn control showing an optional
// caption and a row of segments drawn with the push-button face, joined
// into one bar with rounded outer ends. The group edits the selected value
// of a label list its dialog owns.
//
// A radio group (WinRadioButton) draws bordered segments, marks the chosen
// one and notifies on the press; a selector group (WinSelectorButton) draws
// plain segments, notifies on the release of a press on one of its
// segments, can be driven by a key scanner and accepts the automation
// request 0x8005 when the program sends it on its GUI thread.
//
// Disabled segments are never picked, by mouse or key. The segments are
// measured again whenever the list's count differs from the count
// measured, so drawing and hit tests never read past the sizes.
#pragma once

#include <windows.h>

#include <cstdint>

#include "base/profile.h"
#include "base/raw_array.h"
#include "base/raw_list.h"
#include "base/raw_string.h"
#include "toolkit/button.h"
#include "toolkit/view.h"

namespace WinLayer {

class WinRadioButtonBody : public WinView {
public:
    WinRadioButtonBody();

    // Makes the view a group: class "BUTTON", subclassed, owner-drawn,
    // text at the left and centred vertically, segments padded like push
    // buttons.
    void Construct();
    // Stores the list and the code; a non-empty text becomes the view text,
    // and the caption is the view text followed by ":" when not empty.
    void SetItems(const RawLayer::RawString& caption, RawLayer::RawLabelList* list, uint32_t code);
    // One byte per item, 0 for a disabled item; items past `count` are
    // enabled. None: all enabled. The bytes belong to the caller.
    void SetEnabled(const uint8_t* bytes, int32_t count);
    bool IsItemEnabled(int32_t index) const;

    // The button style of segment `index`.
    virtual uint32_t ItemStyle(int32_t index);
    // Measures every label; the natural size of the group.
    void MeasureItems();
    void FitToText(RECT& rect) override;
    // The segment under a client point (edges included), which becomes the
    // current and chosen one; -1 for none, a disabled one, or read-only.
    int32_t PickAt(POINT point);
    // The rectangle of segment `index` in a client rectangle.
    RECT SegmentRect(const RECT& client, int32_t index) const;

    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    // Code 0 chooses the current segment (an enabled one) and posts the
    // notification code; every code then goes to the owner.
    LRESULT OnCommand(uint16_t code) override;
    void Paint(const DRAWITEMSTRUCT& item);

    RawLayer::RawLabelList* items = nullptr;
    int32_t currentIndex = -1;
    RawLayer::RawString caption;
    int32_t itemCount = 0;
    RawLayer::RawArrayC<SIZE> itemSizes;
    int32_t totalWidth = 0;
    int32_t maximumHeight = 0;
    bool pressed = false;
    bool readOnly = false;
    bool dimOthers = false;
    uint32_t notificationCode = 0;

protected:
    // Re-measures when the list changed its count since the last time.
    void EnsureMeasured();
    // The value of segment `index`, or 0.
    uint32_t ValueAt(int32_t index) const;
    // The enabled segment next to the current one in a direction, or the
    // current index when there is none.
    int32_t StepFrom(int32_t index, int32_t direction) const;
    void PostCommand(uint16_t code);
    void Invalidate();

private:
    void OnKey(WPARAM key);
    void PaintCaption(WinDrawContext& dc, const RECT& client, UINT itemState);
    void PaintSegment(WinDrawContext& dc, const RECT& client, int32_t index, UINT itemState);

    const uint8_t* enabled_ = nullptr;
    int32_t enabledCount_ = 0;
};

class WinRadioButton : public WinRadioButtonBody {
public:
    uint32_t ItemStyle(int32_t index) override;
    // A press that picks a segment posts the notification code at once.
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
};

class WinSelectorButton : public WinRadioButtonBody {
public:
    // Asked first for every key pressed on the group.
    class KeyScanner {
    public:
        virtual ~KeyScanner() = default;
        // Whether the key (a virtual key code) was taken.
        virtual bool ScanKey(WPARAM key) = 0;
    };

    uint32_t ItemStyle(int32_t index) override;
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

    KeyScanner* scanner = nullptr;

private:
    // The request 0x8005: chooses the value of the label its "Button"
    // entry names (0 for a missing label).
    void PressByName(const RawLayer::RawParameterList* request);
};

}  // namespace WinLayer
