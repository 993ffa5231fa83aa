// The text dialog: built per run, placed where the last run was closed, and
// ended by its buttons, by Enter and Escape in the edit box, or by a
// WM_COPYDATA record.
#include "quenby/app/text_dialog.h"

#include <algorithm>

#include "toolkit/common_dialog_text.h"
#include "toolkit/environment.h"
#include "toolkit/win_message.h"

namespace WinLayer {

using RawLayer::RawString;

namespace {

RAW_CONSTANT_TEXT(TextDialogClassText, "Class_TextDialog")

constexpr uint16_t kLargeIcon = 130;
constexpr uint16_t kSmallIcon = 131;
constexpr uint32_t kDialogStyle = WS_CAPTION | WS_SYSMENU | WS_THICKFRAME;
constexpr uint32_t kEditExStyle = WS_EX_CLIENTEDGE | WS_EX_ACCEPTFILES;
constexpr uint32_t kFirstFace = 3;
constexpr uint32_t kLastFace = 12;
constexpr int32_t kMinEditWidth = 100;
constexpr uint16_t kStretchAnchors = AnchorLeftToLeft | AnchorRightToRight | AnchorTopToTop | AnchorBottomToTop;
constexpr uint16_t kRightAnchors = AnchorLeftToRight | AnchorRightToRight | AnchorTopToTop | AnchorBottomToTop;
constexpr uint16_t kBottomRightAnchors =
    AnchorLeftToRight | AnchorRightToRight | AnchorTopToBottom | AnchorBottomToBottom;

}  // namespace

RECT& WinTextDialog::LastPlacement() {
    static RECT placement{};
    return placement;
}

RawString WinTextDialog::CopyDataText(const COPYDATASTRUCT* record) {
    if (!record || !record->lpData || record->cbData == 0) return RawString(RawLayer::KindUtf8);
    const uint32_t bytes = std::min<uint32_t>(record->cbData, kMaxCopyDataBytes);
    return RawString::FromBytes(record->lpData, static_cast<int32_t>(bytes), RawLayer::KindUtf8);
}

WinTextDialog::WinTextDialog() {
    className = TextDialogClassText();
    largeIconId = kLargeIcon;
    smallIconId = kSmallIcon;
    edit.Construct();
    hintButton.Construct();
    finishButton.Construct();
    cancelButton.Construct();
}

bool WinTextDialog::AskText(const RECT& ownerRect, const RawString& title, const RawString& initialText,
                            WinView& ownerView) {
    closing = false;
    result = 0;
    resultText = RawString(RawLayer::KindUtf8);
    text = title.IsEmpty() ? WinCommonDialogText::Text(InputTextPromptKeyText()) : title;
    style = kDialogStyle;
    exStyle = WS_EX_TOOLWINDOW;
    const int32_t margin = WinEnvironment::Instance().margin;

    edit.exStyle |= kEditExStyle;
    edit.style &= ~static_cast<uint32_t>(WS_VSCROLL);
    edit.options = WinEditBox::OptionTabNotText;
    if (initialText.IsEmpty()) {
        edit.ClearText();
    } else {
        edit.SetText(initialText);
    }
    FitChild(edit);
    const bool withHint = (options & OptionHintButton) != 0;
    if (withHint) {
        hintButton.SetCaption(WinCommonDialogText::Text(HintSideKeyText()), kLastFace, kHintCode);
        edit.options |= WinEditBox::OptionDownNotifies;
        FitChild(hintButton);
    }
    finishButton.SetCaption(WinCommonDialogText::Text(FinishButtonKeyText()), kFirstFace, WinNotify::FinishButton);
    cancelButton.SetCaption(WinCommonDialogText::Text(CancelButtonKeyText()), kLastFace, WinNotify::CancelButton);
    FitChild(finishButton);
    FitChild(cancelButton);

    RECT area{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
    RECT frame{0, 0, 0, 0};
    AdjustWindowRectEx(&frame, style, FALSE, exStyle);
    const int32_t hintWidth = withHint ? hintButton.fittedWidth + margin : 0;
    const int32_t defaultInner = (area.right - area.left) / 4 - (frame.right - frame.left) - 2 * margin;
    const int32_t buttonsWidth = finishButton.fittedWidth + margin + cancelButton.fittedWidth;
    const int32_t inner = std::max({kMinEditWidth + hintWidth, buttonsWidth, defaultInner});

    const int32_t editHeight = std::max(edit.fittedHeight, withHint ? hintButton.fittedHeight : 0);
    edit.rect = RECT{margin, margin, margin + inner - hintWidth, margin + editHeight};
    hintButton.rect = RECT{edit.rect.right + margin, margin, margin + inner, margin + editHeight};
    const int32_t buttonHeight = std::max(finishButton.fittedHeight, cancelButton.fittedHeight);
    const int32_t buttonTop = edit.rect.bottom + margin;
    cancelButton.rect = RECT{margin + inner - cancelButton.fittedWidth, buttonTop, margin + inner,
                             buttonTop + buttonHeight};
    finishButton.rect = RECT{cancelButton.rect.left - margin - finishButton.fittedWidth, buttonTop,
                             cancelButton.rect.left - margin, buttonTop + buttonHeight};
    edit.anchors = kStretchAnchors;
    hintButton.anchors = kRightAnchors;
    finishButton.anchors = kBottomRightAnchors;
    cancelButton.anchors = kBottomRightAnchors;

    rect = RECT{0, 0, inner + 2 * margin, buttonTop + buttonHeight + margin};
    anchor.minimum = rect;
    WindowRectFromClient();
    // The last run's rectangle, unless no monitor shows it any more (a
    // screen taken away since).
    const RECT& last = LastPlacement();
    if (!IsRectEmpty(&last) && MonitorFromRect(&last, MONITOR_DEFAULTTONULL)) {
        rect = last;
    } else {
        PlaceOnWorkArea(ownerRect);
    }
    return RunModal(ownerView) == 1;
}

void WinTextDialog::CreateChildren() {
    edit.Follow(&anchor.rect);
    CreateChild(edit);
    if (options & OptionHintButton) {
        hintButton.Follow(&anchor.rect);
        CreateChild(hintButton);
    }
    finishButton.Follow(&anchor.rect);
    CreateChild(finishButton);
    cancelButton.Follow(&anchor.rect);
    CreateChild(cancelButton);
}

void WinTextDialog::OnCreated() {
    WinDialog::OnCreated();
    if (edit.window) {
        SetFocus(edit.window);
        edit.SetSelection(0, edit.Length());
    }
}

void WinTextDialog::TakeEditText() { resultText = edit.GetText().As(RawLayer::KindUtf8); }

LRESULT WinTextDialog::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_COPYDATA) {
        // The system copies the record into this process; its text has
        // exactly cbData bytes and no terminator of its own.
        const auto* record = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
        if (!record || record->dwData != 0) {
            Finish(0);
            return TRUE;
        }
        const RawString carried = CopyDataText(record);
        if (carried.IsEmpty()) {
            edit.ClearText();
        } else {
            edit.SetText(carried);
        }
        if (edit.window) InvalidateRect(edit.window, nullptr, FALSE);
        resultText = carried;
        Finish(1);
        return TRUE;
    }
    return WinDialog::OnMessage(message, wParam, lParam);
}

LRESULT WinTextDialog::OnCommand(uint16_t code) { return OnChildCommand(nullptr, code); }

LRESULT WinTextDialog::OnChildCommand(WinView* child, uint16_t code) {
    TakeEditText();
    const bool fromEdit = child == &edit;
    if (code == WinNotify::FinishButton || (fromEdit && code == WinNotify::Activate)) {
        Finish(1);
    } else if (code == WinNotify::CancelButton || code == WinNotify::Cancel) {
        Finish(0);
    }
    // The Down key and the hint button have nothing to do here.
    return 0;
}

void WinTextDialog::SavePlacement(int32_t stateLeft, int32_t stateEntered) {
    WinDialog::SavePlacement(stateLeft, stateEntered);
    if (stateEntered != ShowDestroying || !window) return;
    RECT placed{};
    if (IsIconic(window) || IsZoomed(window)) {
        placed = normalRect;
    } else {
        GetWindowRect(window, &placed);
    }
    if (!IsRectEmpty(&placed)) LastPlacement() = placed;
}

bool AskSearchText(WinView& view, const RawString& title, RawString& searchText) {
    RECT ownerRect{};
    const HWND root = view.window ? GetAncestor(view.window, GA_ROOT) : nullptr;
    if (root) GetWindowRect(root, &ownerRect);
    WinTextDialog dialog;
    if (!dialog.AskText(ownerRect, title, searchText, view)) return false;
    searchText = dialog.resultText;
    return true;
}

}  // namespace WinLayer
