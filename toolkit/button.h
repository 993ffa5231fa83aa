// Push buttons: subclassed owner-drawn "BUTTON" windows with a rounded,
// two-tone face whose colours follow the button's state, an optional check
// state that a click toggles, and a notification code posted on a click.
//
// The face painting and the text placement live in WinButtonDraw, so that
// the other owner-drawn controls (labels, tab bar, radio and selector
// groups) draw and align exactly as buttons do.
#pragma once

#include <windows.h>

#include <cstdint>

#include "base/raw_string.h"
#include "toolkit/draw.h"
#include "toolkit/view.h"

namespace WinLayer {

class WinButtonDraw {
public:
    // Button style and face flags. The low byte and the toggle bits are the
    // button's style; the state bits and the check bit are added per paint.
    enum : uint32_t {
        RoundTopLeft = 0x1,
        RoundBottomLeft = 0x2,
        RoundTopRight = 0x4,
        RoundBottomRight = 0x8,
        BorderLeft = 0x10,
        BorderRight = 0x20,
        BorderTop = 0x40,
        BorderBottom = 0x80,
        BorderAny = 0xF0,
        StateDisabled = 0x100,
        StatePressed = 0x200,
        StateFocused = 0x400,
        StateMask = 0x700,
        FaceChecked = 0x800,
        Toggles = 0x1000,
        TogglesBordered = 0x2000,
        ToggleMask = 0x3000,
    };
    // Text colour of disabled controls.
    static constexpr COLORREF kGreyText = RGB(0xA0, 0xA0, 0xA0);

    // The colours of one face.
    struct Scheme {
        COLORREF outerLight;
        COLORREF innerLight;
        COLORREF innerDark;
        COLORREF outerDark;
        COLORREF upper;
        COLORREF lower;
        bool gloss;
    };

    // COLOR_BTNFACE tinted slightly towards blue-green, read once.
    static COLORREF BaseColour();
    static Scheme SchemeOf(uint32_t faceFlags);
    // The state bits of an owner-draw item state: pressed first, then
    // focused, then disabled.
    static uint32_t StateOf(UINT itemState);
    // Paints the face of a button of these face flags into the rectangle,
    // with the corner radius of the window environment.
    static void PaintFace(WinDrawContext& dc, const RECT& rect, uint32_t faceFlags);

    // The DrawText format of a view's text: no prefix (word breaks with view
    // flag 8), aligned left, right or centred by the view flags.
    static UINT TextFormat(uint16_t viewFlags);
    // The text rectangle of an item rectangle: less the view's margins, then
    // moved down by the view flags when it is higher than the text (top:
    // unchanged; bottom: the text's height from the bottom; else centred).
    // The text is measured in the DC's font at the rectangle's width.
    static RECT TextRect(WinDrawContext& dc, const RECT& item, const WinViewFitting& fitting,
                         const RawLayer::RawString& text);
    // Places a content of the given height in the rectangle by the view
    // flags, as TextRect does.
    static void AlignVertically(RECT& rect, int32_t contentHeight, uint16_t viewFlags);
    // Draws a view's text in a colour with the format of TextFormat.
    static void DrawViewText(WinDrawContext& dc, RECT rect, const RawLayer::RawString& text, uint16_t viewFlags,
                             COLORREF colour);
};

class WinButton : public WinView, public WinButtonDraw {
public:
    WinButton();

    // Makes the view a push button: class "BUTTON", subclassed, multi-line
    // owner-drawn child, text centred both ways, margins of 5, no style, no
    // check, no code.
    void Construct();
    // "\n" written as a backslash and "n" becomes a line break; a non-empty
    // caption becomes the view text.
    void SetCaption(const RawLayer::RawString& caption, uint32_t style, uint32_t code);

    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    // A click (code 0) toggles a toggling button and posts the notification
    // code; every code then goes to the owner.
    LRESULT OnCommand(uint16_t code) override;
    // Draws the content of the face (the caption by default) into the text
    // rectangle; the face flags tell the state.
    virtual void DrawFace(WinDrawContext& dc, RECT& textRect, uint32_t faceFlags);

    // Paints the whole button into an owner-draw request's DC.
    void Paint(const DRAWITEMSTRUCT& item);

    uint32_t buttonStyle = 0;
    bool focused = false;
    bool checked = false;
    uint32_t notificationCode = 0;

protected:
    // Posts WM_COMMAND (code, id) to the view's own window.
    void PostCommand(uint16_t code);
    // Toggles a toggling button and posts the notification code: the
    // reaction to a click.
    void Click();
};

}  // namespace WinLayer
