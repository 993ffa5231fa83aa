// The information dialog: layout, key choice and results.
#include "toolkit/info_dialog.h"

#include <algorithm>

#include "toolkit/environment.h"
#include "toolkit/win_message.h"

namespace WinLayer {

using RawLayer::RawLabelUnit;
using RawLayer::RawString;

namespace {

RAW_CONSTANT_TEXT(InfoDialogClassText, "Class_InfoDialog")
RAW_CONSTANT_TEXT(ButtonKeyText, "Button")
RAW_CONSTANT_TEXT(OkText, "OK")

constexpr uint32_t kDialogStyle = WS_CAPTION | WS_SYSMENU | WS_THICKFRAME;
constexpr uint16_t kIconAnchors = AnchorLeftToLeft | AnchorRightToLeft | AnchorTopToTop | AnchorBottomToTop;
constexpr uint16_t kTextAnchors = AnchorLeftToLeft | AnchorRightToRight | AnchorTopToTop | AnchorBottomToTop;
constexpr uint16_t kButtonAnchors =
    AnchorLeftToRight | AnchorRightToRight | AnchorTopToBottom | AnchorBottomToBottom;
// The text's view flags: centred vertically beside the icon.
constexpr uint16_t kTextFlagsCleared = 0x70;
constexpr uint16_t kTextFlagsSet = 0x40;
// A button table is read up to this many entries even without its end mark.
constexpr int32_t kMaxButtons = 64;

}  // namespace

const RawLabelUnit* OkButtonTable() {
    static const RawLabelUnit table[] = {RawLabelUnit(OkText(), 1), RawLabelUnit(RawString(), 0)};
    return table;
}

WinInfoDialog::WinInfoDialog() {
    className = InfoDialogClassText();
    iconBox.Construct();
    iconBox.image = &icon;
    textBox.Construct();
    buttonRow.Construct();
    buttonRow.scanner = this;
}

WinInfoDialog::~WinInfoDialog() { ReleaseIcons(); }

void WinInfoDialog::ReleaseIcons() {
    if (ownsIcon && icon.icon) DestroyIcon(icon.icon);
    if (smallIcon) DestroyIcon(smallIcon);
    icon = WinIconRecord{};
    smallIcon = nullptr;
    ownsIcon = false;
}

void WinInfoDialog::Setup(const RECT& ownerRect, const RawString& title, const RawString& message,
                          const RawLabelUnit* table, uint32_t iconId) {
    closing = false;
    result = 0;
    ReleaseIcons();
    if (iconId) {
        icon.icon = LoadIconA(nullptr, MAKEINTRESOURCEA(iconId));
        icon.width = GetSystemMetrics(SM_CXICON);
        icon.height = GetSystemMetrics(SM_CYICON);
    }
    buttons.Clear();
    for (int32_t i = 0; table && i < kMaxButtons && !table[i].label.IsEmpty(); ++i) {
        buttons.Add(table[i].label, table[i].value);
    }
    buttons.selectedValue = 0;
    buttonRow.SetItems(RawString(), &buttons, WinNotify::CancelButton);
    buttonRow.currentIndex = -1;
    if (!title.IsEmpty()) text = title;
    style = kDialogStyle;
    exStyle = WS_EX_TOOLWINDOW;

    const int32_t margin = WinEnvironment::Instance().margin;
    int32_t left = margin, rowHeight = 0;
    if (icon.icon) {
        left += icon.width + margin;
        rowHeight = icon.height;
    }
    textBox.viewFlags = static_cast<uint16_t>((textBox.viewFlags & ~kTextFlagsCleared) | kTextFlagsSet);
    textBox.SetText(message);
    FitChild(textBox);
    rowHeight = std::max(rowHeight, textBox.fittedHeight);
    textBox.rect = RECT{left, margin, left + textBox.fittedWidth, margin + rowHeight};
    textBox.anchors = kTextAnchors;
    iconRegion = RECT{margin, margin, textBox.rect.right, margin + rowHeight};
    // The image box centres the icon in the row's height.
    iconBox.rect = RECT{margin, margin, margin + icon.width, margin + rowHeight};
    iconBox.anchors = kIconAnchors;

    FitChild(buttonRow);
    const int32_t width = std::max<int32_t>(textBox.rect.right, margin + buttonRow.fittedWidth) + margin;
    const int32_t top = iconRegion.bottom + margin;
    buttonRow.rect = RECT{width - margin - buttonRow.fittedWidth, top, width - margin, top + buttonRow.fittedHeight};
    buttonRow.anchors = kButtonAnchors;
    buttonRegion = buttonRow.rect;

    rect = RECT{0, 0, width, buttonRow.rect.bottom + margin};
    WindowRectFromClient();
    PlaceOnWorkArea(ownerRect);
}

void WinInfoDialog::CreateChildren() {
    if (icon.icon) CreateFollowing(iconBox);
    CreateFollowing(textBox);
    CreateFollowing(buttonRow);
}

void WinInfoDialog::OnCreated() {
    WinDialog::OnCreated();
    if (buttonRow.window) SetFocus(buttonRow.window);
}

LRESULT WinInfoDialog::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    // The dispatch has refused a request not sent by this thread's program,
    // so the list may be read here.
    if (message == WinMessage::PressButton) {
        const auto* request = reinterpret_cast<const RawLayer::RawParameterList*>(lParam);
        const RawLayer::RawParameterUnit* entry = request ? request->Find(ButtonKeyText()) : nullptr;
        Finish(entry ? static_cast<int32_t>(buttons.Value(entry->value)) : 0);
        return 0;
    }
    return WinDialog::OnMessage(message, wParam, lParam);
}

LRESULT WinInfoDialog::OnChildCommand(WinView* child, uint16_t code) {
    if (child == &buttonRow && code == WinNotify::CancelButton) {
        Finish(static_cast<int32_t>(buttons.selectedValue));
        return 0;
    }
    return WinDialog::OnChildCommand(child, code);
}

bool WinInfoDialog::ScanKey(WPARAM key) {
    if (key < 'A' || key > 'Z') return false;
    for (const RawLabelUnit& unit : buttons) {
        if (unit.label.IsEmpty()) continue;
        uint32_t first = unit.label.As(RawLayer::KindUtf16).UnitAt(0);
        if (first >= 'a' && first <= 'z') first -= 'a' - 'A';
        if (first == key) {
            Finish(static_cast<int32_t>(unit.value));
            return true;
        }
    }
    return false;
}

}  // namespace WinLayer
