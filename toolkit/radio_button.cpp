// Radio and selector groups.
#include "toolkit/radio_button.h"

#include <algorithm>

#include "toolkit/dialog.h"
#include "toolkit/environment.h"

namespace WinLayer {

using RawLayer::RawLabelUnit;
using RawLayer::RawString;

namespace {

RAW_CONSTANT_TEXT(PressButtonKeyText, "Button")

// Segments are padded like push buttons.
constexpr int32_t kSegmentMargin = 5;
// Space between the caption and the segments.
constexpr int32_t kCaptionGap = 8;
constexpr COLORREF kFocusShadow = 0xFFC0C0;
constexpr COLORREF kDimText = RGB(0x60, 0x60, 0x60);

// Button styles of the segments: one item, the first, the last, the others.
constexpr uint32_t kRadioStyles[4] = {0x20FF, 0x20D3, 0x20EC, 0x20C0};
constexpr uint32_t kSelectorStyles[4] = {0x000F, 0x0003, 0x000C, 0x0000};

uint32_t StyleOf(const uint32_t (&styles)[4], int32_t index, int32_t count) {
    if (count == 1) return styles[0];
    if (index == 0) return styles[1];
    if (index == count - 1) return styles[2];
    return styles[3];
}

}  // namespace

// ---- body ------------------------------------------------------------------------------

WinRadioButtonBody::WinRadioButtonBody() = default;

void WinRadioButtonBody::Construct() {
    className = RawString::FromText("BUTTON");
    viewKind = KindSubclassed;
    style |= WS_CHILD | WS_VISIBLE | BS_MULTILINE | BS_OWNERDRAW;
    viewFlags = static_cast<uint16_t>(viewFlags & ~(FitAlignRight | FitCentre | FitAlignTop | FitAlignBottom));
    viewFlags |= FitAlignLeft | FitMiddle;
    marginLeft = marginTop = marginRight = marginBottom = kSegmentMargin;
}

void WinRadioButtonBody::SetItems(const RawString& text, RawLayer::RawLabelList* list, uint32_t code) {
    items = list;
    notificationCode = code;
    if (!text.IsEmpty()) SetText(text);
    caption = GetText();
    if (!caption.IsEmpty()) caption.AppendAscii(":");
    itemCount = -1;
    EnsureMeasured();
}

void WinRadioButtonBody::SetEnabled(const uint8_t* bytes, int32_t count) {
    enabled_ = bytes;
    enabledCount_ = bytes ? std::max(count, 0) : 0;
}

bool WinRadioButtonBody::IsItemEnabled(int32_t index) const {
    if (!enabled_ || index < 0 || index >= enabledCount_) return true;
    return enabled_[index] != 0;
}

uint32_t WinRadioButtonBody::ItemStyle(int32_t) { return 0; }

void WinRadioButtonBody::MeasureItems() {
    itemSizes.Clear();
    totalWidth = 0;
    maximumHeight = 0;
    itemCount = items ? items->Count() : 0;
    if (!items) return;
    for (const RawLabelUnit& unit : *items) {
        RECT measured{};
        MeasureText(measured, unit.label);
        const SIZE size{(measured.right - measured.left) + marginLeft + marginRight, measured.bottom - measured.top};
        itemSizes.Append(size);
        totalWidth += size.cx;
        maximumHeight = std::max<int32_t>(maximumHeight, size.cy);
    }
}

void WinRadioButtonBody::EnsureMeasured() {
    const int32_t count = items ? items->Count() : 0;
    if (count != itemCount || itemSizes.Count() != itemCount) MeasureItems();
}

void WinRadioButtonBody::FitToText(RECT& rect) {
    MeasureItems();
    int32_t captionPart = 0;
    if (!caption.IsEmpty()) {
        RECT measured{};
        MeasureText(measured, caption);
        captionPart = (measured.right - measured.left) + kCaptionGap;
    }
    rect = RECT{0, 0, captionPart + totalWidth - marginLeft - marginRight, maximumHeight};
}

RECT WinRadioButtonBody::SegmentRect(const RECT& client, int32_t index) const {
    LONG x = client.right - totalWidth;
    for (int32_t i = 0; i < index && i < itemSizes.Count(); ++i) x += itemSizes[i].cx;
    const LONG width = (index >= 0 && index < itemSizes.Count()) ? itemSizes[index].cx : 0;
    return RECT{x, client.top, x + width, client.bottom};
}

uint32_t WinRadioButtonBody::ValueAt(int32_t index) const {
    const RawLabelUnit* unit = items ? items->At(index) : nullptr;
    return unit ? unit->value : 0;
}

int32_t WinRadioButtonBody::PickAt(POINT point) {
    if (readOnly) return -1;
    pressed = false;
    EnsureMeasured();
    RECT client{};
    if (window) GetClientRect(window, &client);
    int32_t hit = -1;
    for (int32_t i = 0; i < itemSizes.Count(); ++i) {
        const RECT segment = SegmentRect(client, i);
        if (point.x >= segment.left && point.x <= segment.right && point.y >= segment.top &&
            point.y <= segment.bottom) {
            hit = i;
            break;
        }
    }
    if (window) SetFocus(window);
    Invalidate();
    if (hit < 0 || !IsItemEnabled(hit)) return -1;
    pressed = true;
    currentIndex = hit;
    items->selectedValue = ValueAt(hit);
    return hit;
}

int32_t WinRadioButtonBody::StepFrom(int32_t index, int32_t direction) const {
    for (int32_t i = index + direction; i >= 0 && i < itemCount; i += direction) {
        if (IsItemEnabled(i)) return i;
    }
    return index;
}

void WinRadioButtonBody::PostCommand(uint16_t code) {
    if (window) PostMessageW(window, WM_COMMAND, MAKEWPARAM(controlId, code), 0);
}

void WinRadioButtonBody::Invalidate() {
    if (window) InvalidateRect(window, nullptr, FALSE);
}

LRESULT WinRadioButtonBody::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_LBUTTONDOWN:
        PickAt(PointFromLParam(lParam));
        return 0;
    case WM_LBUTTONUP:
        pressed = false;
        Invalidate();
        return 0;
    case WM_KEYDOWN:
        if (wParam == VK_RETURN || wParam == VK_SPACE || wParam == VK_LEFT || wParam == VK_RIGHT ||
            wParam == VK_UP || wParam == VK_DOWN) {
            OnKey(wParam);
            return 0;
        }
        break;
    case WM_SETFOCUS:
        EnsureMeasured();
        // An empty group has no segment to focus.
        if (itemCount == 0) {
            currentIndex = -1;
        } else if (currentIndex < 0 || currentIndex >= itemCount) {
            currentIndex = 0;
        }
        break;
    case WM_ERASEBKGND:
        return 1;
    case WM_DRAWITEM:
        if (wParam == 0 || !lParam) break;
        Paint(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
        return 1;
    default:
        break;
    }
    return WinView::OnMessage(message, wParam, lParam);
}

void WinRadioButtonBody::OnKey(WPARAM key) {
    EnsureMeasured();
    switch (key) {
    case VK_RETURN:
    case VK_SPACE:
        if (currentIndex >= 0 && currentIndex < itemCount && IsItemEnabled(currentIndex)) PostCommand(0);
        break;
    case VK_LEFT:
    case VK_RIGHT:
        if (currentIndex >= 0 && currentIndex < itemCount) {
            currentIndex = StepFrom(currentIndex, key == VK_LEFT ? -1 : 1);
            Invalidate();
        }
        break;
    default:
        if (owner && owner->window) {
            SendMessageW(owner->window, WinMessage::FocusNext, controlId, key == VK_UP ? 1 : 0);
        }
        break;
    }
}

LRESULT WinRadioButtonBody::OnCommand(uint16_t code) {
    if (code == 0 && !readOnly) {
        EnsureMeasured();
        if (items && currentIndex >= 0 && currentIndex < itemCount && IsItemEnabled(currentIndex)) {
            items->selectedValue = ValueAt(currentIndex);
        }
        Invalidate();
        if (notificationCode) PostCommand(static_cast<uint16_t>(notificationCode));
    }
    return WinView::OnCommand(code);
}

// ---- painting ----------------------------------------------------------------------------

void WinRadioButtonBody::Paint(const DRAWITEMSTRUCT& item) {
    WinDrawContext dc(item.hDC);
    const WinFontParameter& font = GetEffectiveFont();
    if (font.handle) dc.Select(font.handle);
    SetBkMode(dc.dc, TRANSPARENT);
    FillRect(dc.dc, &item.rcItem, GetSysColorBrush(COLOR_BTNFACE));
    EnsureMeasured();
    if (!caption.IsEmpty()) PaintCaption(dc, item.rcItem, item.itemState);
    for (int32_t i = 0; i < itemSizes.Count(); ++i) PaintSegment(dc, item.rcItem, i, item.itemState);
    dc.Restore();
}

void WinRadioButtonBody::PaintCaption(WinDrawContext& dc, const RECT& client, UINT itemState) {
    const RECT area{client.left, client.top, client.right - totalWidth, client.bottom};
    const RECT textRect = WinButtonDraw::TextRect(dc, area, *this, caption);
    if (itemState & ODS_FOCUS) {
        RECT shadow = textRect;
        OffsetRect(&shadow, 1, 0);
        WinButtonDraw::DrawViewText(dc, shadow, caption, viewFlags, kFocusShadow);
    }
    const COLORREF colour = (itemState & ODS_DISABLED) ? WinButtonDraw::kGreyText : GetSysColor(COLOR_WINDOWTEXT);
    WinButtonDraw::DrawViewText(dc, textRect, caption, viewFlags, colour);
}

void WinRadioButtonBody::PaintSegment(WinDrawContext& dc, const RECT& client, int32_t index, UINT itemState) {
    const RawLabelUnit* unit = items ? items->At(index) : nullptr;
    if (!unit) return;
    const bool segmentEnabled = IsItemEnabled(index);
    const bool controlEnabled = !(itemState & ODS_DISABLED);
    const bool chosen = unit->value == items->selectedValue;
    uint32_t state = 0;
    if (!segmentEnabled) {
        state = WinButtonDraw::StateDisabled;
    } else if (pressed && index == currentIndex) {
        state = WinButtonDraw::StatePressed;
    } else if ((itemState & ODS_FOCUS) && index == currentIndex) {
        state = WinButtonDraw::StateFocused;
    } else if (!controlEnabled) {
        state = WinButtonDraw::StateDisabled;
    }
    if (chosen) state |= WinButtonDraw::FaceChecked;
    const RECT segment = SegmentRect(client, index);
    WinButtonDraw::PaintFace(dc, segment, ItemStyle(index) | state);
    COLORREF colour = WinButtonDraw::kGreyText;
    if (segmentEnabled && controlEnabled) colour = (dimOthers && !chosen) ? kDimText : GetSysColor(COLOR_WINDOWTEXT);
    const RECT textRect = WinButtonDraw::TextRect(dc, segment, *this, unit->label);
    WinButtonDraw::DrawViewText(dc, textRect, unit->label, viewFlags, colour);
}

// ---- radio ----------------------------------------------------------------------------------

uint32_t WinRadioButton::ItemStyle(int32_t index) { return StyleOf(kRadioStyles, index, itemCount); }

LRESULT WinRadioButton::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_LBUTTONDOWN) {
        if (PickAt(PointFromLParam(lParam)) >= 0 && notificationCode) {
            PostCommand(static_cast<uint16_t>(notificationCode));
        }
        return 0;
    }
    return WinRadioButtonBody::OnMessage(message, wParam, lParam);
}

// ---- selector -------------------------------------------------------------------------------

uint32_t WinSelectorButton::ItemStyle(int32_t index) { return StyleOf(kSelectorStyles, index, itemCount); }

LRESULT WinSelectorButton::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_KEYDOWN:
        if (scanner && scanner->ScanKey(wParam)) return 0;
        break;
    case WM_LBUTTONUP:
        // Only the release of a press on one of the segments acts; another
        // release (the click that opened a dialog over the row) does not.
        if (pressed) {
            pressed = false;
            Invalidate();
            if (notificationCode) PostCommand(static_cast<uint16_t>(notificationCode));
        }
        return 0;
    case WM_LBUTTONDBLCLK:
        if (PickAt(PointFromLParam(lParam)) >= 0) PostCommand(0);
        return 0;
    case WinMessage::PressButton:
        PressByName(reinterpret_cast<const RawLayer::RawParameterList*>(lParam));
        break;
    default:
        break;
    }
    return WinRadioButtonBody::OnMessage(message, wParam, lParam);
}

void WinSelectorButton::PressByName(const RawLayer::RawParameterList* request) {
    if (!request || !items) return;
    const RawLayer::RawParameterUnit* entry = request->Find(PressButtonKeyText());
    if (!entry) return;
    items->selectedValue = items->Value(entry->value);
    // The named segment becomes the current one (none for a missing label),
    // so the posted click confirms this choice instead of replacing it.
    currentIndex = items->IndexOfLink(items->FindLink(entry->value));
    PostCommand(0);
}

}  // namespace WinLayer
