// Push buttons: face colours, face painting, text placement and the
// button's messages.
#include "toolkit/button.h"

#include "toolkit/dialog.h"
#include "toolkit/draw.h"
#include "toolkit/environment.h"
#include "toolkit/gdi_scope.h"

namespace WinLayer {

using RawLayer::RawString;

namespace {

constexpr int32_t kButtonMargin = 5;
constexpr int kTabLength = 4;
// The gloss: a white disc drawn four times larger and shrunk with
// halftoning onto a small square near the face's top-left corner.
constexpr int32_t kGlossInset = 2;
constexpr int32_t kGlossSize = 5;
constexpr int32_t kGlossScale = 4;
constexpr int32_t kGlossRing = 2;

constexpr COLORREF kFrameGrey = RGB(0x80, 0x80, 0x80);
constexpr COLORREF kCheckedUpper = 0xFF27FF;
constexpr COLORREF kCheckedLower = 0xFF00FF;

COLORREF Lighter(COLORREF c) {
    const int r = GetRValue(c), g = GetGValue(c), b = GetBValue(c);
    return RGB(r + ((255 - r) >> 1), g + ((255 - g) >> 1), b + ((255 - b) >> 1));
}

void Inset(RECT& rect, int32_t by) {
    rect.left += by;
    rect.top += by;
    rect.right -= by;
    rect.bottom -= by;
}

void PaintGloss(WinDrawContext& dc, const RECT& face) {
    const RECT target{face.left + kGlossInset, face.top + kGlossInset, face.left + kGlossInset + kGlossSize,
                      face.top + kGlossInset + kGlossSize};
    const int32_t large = kGlossSize * kGlossScale;
    WinMemoryDC memory;
    if (!memory.Begin(dc.dc, target, SIZE{large, large})) return;
    memory.CopyRect();
    WinDraw::WhiteEllipse(memory, RECT{0, 0, large, large});
    WinDraw::WhiteEllipse(memory, RECT{kGlossRing, kGlossRing, large - kGlossRing, large - kGlossRing});
    memory.CopyBack();
}

}  // namespace

// ---- face -------------------------------------------------------------------------

COLORREF WinButtonDraw::BaseColour() {
    static const COLORREF base = [] {
        const COLORREF face = GetSysColor(COLOR_BTNFACE);
        const int r = GetRValue(face), g = GetGValue(face), b = GetBValue(face);
        return RGB(r - ((3 * r) >> 8), g + ((255 - g) >> 7), b + ((255 - b) >> 7));
    }();
    return base;
}

WinButtonDraw::Scheme WinButtonDraw::SchemeOf(uint32_t faceFlags) {
    const COLORREF base = BaseColour();
    switch (faceFlags & StateMask) {
    case 0:
        return Scheme{kFrameGrey, Lighter(base), WinDraw::Darker(base, 40), 0, WinDraw::Darker(base, 10), WinDraw::Darker(base, 25), true};
    case StateDisabled:
        return Scheme{RGB(0xC0, 0xC0, 0xC0), RGB(0xE0, 0xE0, 0xE0), RGB(0xC0, 0xC0, 0xC0), RGB(0xA0, 0xA0, 0xA0),
                      WinDraw::Darker(base, 10), WinDraw::Darker(base, 10), false};
    case StatePressed:
        return Scheme{0, RGB(0x60, 0x60, 0x60), kFrameGrey, RGB(0x40, 0x40, 0x40), WinDraw::Darker(base, 10),
                      WinDraw::Darker(base, 25), false};
    case StateFocused:
        return Scheme{0xFF0000, 0xFFD0A0, 0xE0A060, 0xF00000, WinDraw::Darker(base, 10), WinDraw::Darker(base, 25), true};
    default:
        return Scheme{0, 0, 0, 0, 0, 0, false};
    }
}

uint32_t WinButtonDraw::StateOf(UINT itemState) {
    if (itemState & ODS_SELECTED) return StatePressed;
    if (itemState & ODS_FOCUS) return StateFocused;
    if (itemState & ODS_DISABLED) return StateDisabled;
    return 0;
}

void WinButtonDraw::PaintFace(WinDrawContext& dc, const RECT& rect, uint32_t faceFlags) {
    const Scheme scheme = SchemeOf(faceFlags);
    const int radius = WinEnvironment::Instance().buttonRadius;
    const int tl = (faceFlags & RoundTopLeft) ? radius : 0;
    const int bl = (faceFlags & RoundBottomLeft) ? radius : 0;
    const int tr = (faceFlags & RoundTopRight) ? radius : 0;
    const int br = (faceFlags & RoundBottomRight) ? radius : 0;
    RECT face = rect;
    if (faceFlags & BorderAny) {
        const bool checkedToggle = (faceFlags & (FaceChecked | Toggles)) == (FaceChecked | Toggles) ||
                                   (faceFlags & (FaceChecked | TogglesBordered)) == (FaceChecked | TogglesBordered);
        const COLORREF upper = checkedToggle ? kCheckedUpper : scheme.upper;
        const COLORREF lower = checkedToggle ? kCheckedLower : scheme.lower;
        WinDraw::FillRoundBox(dc, face, tl, bl, tr, br, upper, lower);
        WinDraw::FrameRoundBox(dc, face, tl, bl, tr, br, kFrameGrey, 0);
        if (faceFlags & BorderLeft) face.left += 2;
        if (faceFlags & BorderRight) face.right -= 2;
        if (faceFlags & BorderTop) face.top += 2;
        if (faceFlags & BorderBottom) face.bottom -= 2;
    }
    WinDraw::FillRoundBox(dc, face, tl, bl, tr, br, scheme.upper, scheme.lower);
    RECT inner = face;
    Inset(inner, 1);
    WinDraw::FrameRoundBox(dc, inner, tl, bl, tr, br, scheme.innerLight, scheme.innerDark);
    WinDraw::FrameRoundBox(dc, face, tl, bl, tr, br, scheme.outerLight, scheme.outerDark);
    if (scheme.gloss) PaintGloss(dc, face);
}

// ---- text -------------------------------------------------------------------------

UINT WinButtonDraw::TextFormat(uint16_t viewFlags) {
    UINT format = (viewFlags & WinViewFitting::FitWordBreak) ? (DT_WORDBREAK | DT_NOPREFIX | DT_EDITCONTROL)
                                                             : DT_NOPREFIX;
    if (viewFlags & WinViewFitting::FitAlignLeft) return format | DT_LEFT;
    if (viewFlags & WinViewFitting::FitAlignRight) return format | DT_RIGHT;
    return format | DT_CENTER;
}

void WinButtonDraw::AlignVertically(RECT& rect, int32_t contentHeight, uint16_t viewFlags) {
    const int32_t height = rect.bottom - rect.top;
    if (height <= contentHeight || (viewFlags & WinViewFitting::FitAlignTop)) return;
    if (viewFlags & WinViewFitting::FitAlignBottom) {
        rect.top = rect.bottom - contentHeight;
    } else {
        rect.top += (height - contentHeight) / 2;
    }
}

RECT WinButtonDraw::TextRect(WinDrawContext& dc, const RECT& item, const WinViewFitting& fitting,
                             const RawString& text) {
    RECT rect{item.left + fitting.marginLeft, item.top + fitting.marginTop, item.right - fitting.marginRight,
              item.bottom - fitting.marginBottom};
    RECT measured{0, 0, rect.right - rect.left, 0};
    const int32_t height = WinView::MeasureTextRange(dc, measured, TextFormat(fitting.viewFlags), text,
                                                     text.All(), kTabLength);
    AlignVertically(rect, height, fitting.viewFlags);
    return rect;
}

void WinButtonDraw::DrawViewText(WinDrawContext& dc, RECT rect, const RawString& text, uint16_t viewFlags,
                                 COLORREF colour) {
    SetTextColor(dc.dc, colour);
    WinView::DrawTextRange(dc, rect, TextFormat(viewFlags), text, text.All(), kTabLength);
}

// ---- the button -------------------------------------------------------------------

WinButton::WinButton() = default;

void WinButton::Construct() {
    className = RawString::FromText("BUTTON");
    viewKind = KindSubclassed;
    style |= WS_CHILD | WS_VISIBLE | BS_MULTILINE | BS_OWNERDRAW;
    viewFlags = static_cast<uint16_t>(viewFlags & ~(FitAlignLeft | FitAlignRight | FitAlignTop | FitAlignBottom));
    viewFlags |= FitCentre | FitMiddle;
    marginLeft = marginTop = marginRight = marginBottom = kButtonMargin;
    buttonStyle = 0;
    focused = false;
    checked = false;
    notificationCode = 0;
}

void WinButton::SetCaption(const RawString& caption, uint32_t newStyle, uint32_t code) {
    RawString shown = caption;
    const RawString escape = RawString::FromText("\\n");
    // Each replacement moves past what it wrote, so the walk ends.
    for (int32_t pos = 0; pos < shown.Length();) {
        const int32_t found = shown.FindRange(RawLayer::RawRange{pos, shown.Length()}, escape, escape.All());
        if (found >= shown.Length()) break;
        shown.ReplaceRange(RawLayer::RawRange{found, found + 2}, RawLayer::LineBreakText(),
                           RawLayer::LineBreakText().All());
        pos = found + 2;
    }
    buttonStyle = newStyle;
    notificationCode = code;
    if (!shown.IsEmpty()) {
        SetText(shown);
        UpdateWindowText();
    }
}

void WinButton::PostCommand(uint16_t code) {
    if (window) PostMessageW(window, WM_COMMAND, MAKEWPARAM(controlId, code), 0);
}

LRESULT WinButton::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_KEYDOWN:
        switch (wParam) {
        case VK_RETURN:
        case VK_SPACE:
            PostCommand(0);
            return 0;
        case VK_LEFT:
        case VK_UP:
        case VK_RIGHT:
        case VK_DOWN: {
            const bool backwards = wParam == VK_LEFT || wParam == VK_UP;
            if (owner && owner->window) SendMessageW(owner->window, WinMessage::FocusNext, controlId, backwards);
            return 0;
        }
        default:
            return WinView::OnMessage(message, wParam, lParam);
        }
    case WM_LBUTTONDBLCLK:
        PostCommand(0);
        return 0;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
        focused = message == WM_SETFOCUS;
        if (window) InvalidateRect(window, nullptr, FALSE);
        return WinView::OnMessage(message, wParam, lParam);
    case WM_ERASEBKGND:
        return 1;
    case WM_DRAWITEM:
        if (wParam == 0 || !lParam) return WinView::OnMessage(message, wParam, lParam);
        Paint(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
        return 1;
    default:
        return WinView::OnMessage(message, wParam, lParam);
    }
}

void WinButton::Click() {
    if (buttonStyle & ToggleMask) {
        checked = !checked;
        if (window) {
            SendMessageW(window, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
            InvalidateRect(window, nullptr, FALSE);
        }
    }
    if (notificationCode) PostCommand(static_cast<uint16_t>(notificationCode));
}

LRESULT WinButton::OnCommand(uint16_t code) {
    if (code == 0) Click();
    return WinView::OnCommand(code);
}

void WinButton::DrawFace(WinDrawContext& dc, RECT& textRect, uint32_t faceFlags) {
    const COLORREF colour =
        (faceFlags & StateMask) == StateDisabled ? kGreyText : static_cast<COLORREF>(GetSysColor(COLOR_WINDOWTEXT));
    DrawViewText(dc, textRect, GetText(), viewFlags, colour);
}

void WinButton::Paint(const DRAWITEMSTRUCT& item) {
    WinDrawContext dc(item.hDC);
    const WinFontParameter& font = GetEffectiveFont();
    if (font.handle) dc.Select(font.handle);
    SetBkMode(dc.dc, TRANSPARENT);
    const uint32_t faceFlags = buttonStyle | StateOf(item.itemState) | (checked ? uint32_t(FaceChecked) : 0u);
    FillRect(dc.dc, &item.rcItem, GetSysColorBrush(COLOR_BTNFACE));
    PaintFace(dc, item.rcItem, faceFlags);
    RECT textRect = TextRect(dc, item.rcItem, *this, GetText());
    DrawFace(dc, textRect, faceFlags);
    dc.Restore();
}

}  // namespace WinLayer
