// The input dialog: rows built from the field list, the two blocks stacked
// and anchored, and the commands that end a run.
#include "toolkit/input_dialog.h"

#include <algorithm>

#include "toolkit/common_dialog_text.h"
#include "toolkit/environment.h"
#include "toolkit/win_message.h"

namespace WinLayer {

using RawLayer::RawString;

namespace {

RAW_CONSTANT_TEXT(InputDialogClassText, "Class_InputDialog")
RAW_CONSTANT_TEXT(DefaultTitleText, "Input text.")

constexpr uint32_t kDialogStyle = WS_CAPTION | WS_SYSMENU | WS_THICKFRAME;
constexpr uint32_t kEditExStyle = WS_EX_CLIENTEDGE | WS_EX_ACCEPTFILES;
constexpr uint16_t kHintOpenCode = 0x1102;
constexpr uint16_t kHintChosenCode = 0x1103;
constexpr uint32_t kFinishStyle = 3;
constexpr uint32_t kCancelStyle = 12;
// Labels: text at the left, centred vertically.
constexpr uint16_t kLabelFlagsCleared = 0x77;
constexpr uint16_t kLabelFlagsSet = 0x41;
constexpr uint16_t kStretchAnchors = AnchorLeftToLeft | AnchorRightToRight | AnchorTopToTop | AnchorBottomToTop;
constexpr uint16_t kFixedAnchors = AnchorLeftToLeft | AnchorRightToLeft | AnchorTopToTop | AnchorBottomToTop;
constexpr uint16_t kRightAnchors = AnchorLeftToRight | AnchorRightToRight | AnchorTopToTop | AnchorBottomToTop;
constexpr uint16_t kBottomRightAnchors =
    AnchorLeftToRight | AnchorRightToRight | AnchorTopToBottom | AnchorBottomToBottom;

void SetOrClear(WinView& view, const RawString& text) {
    if (text.IsEmpty()) {
        view.ClearText();
    } else {
        view.SetText(text);
    }
}

}  // namespace

WinInputDialog::WinInputDialog() {
    className = InputDialogClassText();
    prompt.Construct();
    for (Row& row : rows) {
        row.label.Construct();
        row.edit.Construct();
        row.hint.Construct();
    }
    finishButton.Construct();
    cancelButton.Construct();
    RECT area{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
    defaultWidth = (area.right - area.left) / 4;
}

void WinInputDialog::Build(const RECT& ownerRect, const RawString& title, const WinInputParameterList& list) {
    closing = false;
    result = 0;
    fields = list;
    rowCount = std::min<int32_t>(fields.Count(), kMaxRows);
    text = title.IsEmpty() ? DefaultTitleText() : title;
    style = kDialogStyle;
    exStyle = WS_EX_TOOLWINDOW;
    const int32_t margin = WinEnvironment::Instance().margin;

    SetOrClear(prompt, fields.title);
    prompt.rect = RECT{};
    if (!fields.title.IsEmpty()) {
        FitChild(prompt);
        prompt.rect = RECT{0, 0, prompt.fittedWidth, prompt.fittedHeight};
    }

    int32_t labelWidth = 0, editWidth = kMinEditWidth, hintWidth = 0, index = 0;
    for (const WinInputParameterUnit& field : fields) {
        if (index >= rowCount) break;
        Row& row = rows[index++];
        row.label.viewFlags = static_cast<uint16_t>((row.label.viewFlags & ~kLabelFlagsCleared) | kLabelFlagsSet);
        SetOrClear(row.label, field.label);
        FitChild(row.label);
        if (!field.label.IsEmpty()) labelWidth = std::max(labelWidth, row.label.fittedWidth);

        row.edit.exStyle |= kEditExStyle;
        row.edit.options = WinEditBox::OptionTabNotText;
        if (field.flags & WinInputParameterUnit::FieldReadOnly) row.edit.options |= WinEditBox::OptionReadOnly;
        SetOrClear(row.edit, field.initialText);
        row.hasHint = (field.flags & WinInputParameterUnit::FieldNoHints) == 0;
        if (row.hasHint) {
            row.hint.SetCaption(RawString(), 0, kHintOpenCode);
            row.hint.target = &row.edit;
            row.hint.openCode = kHintOpenCode;
            row.hint.chosenCode = kHintChosenCode;
            row.hint.hintOptions = field.hintOptions;
            row.hint.hints = field.hints;
            row.hint.hints.SetExactCase(field.hintCase != 0);
            row.edit.options |= WinEditBox::OptionDownNotifies;
            FitChild(row.hint);
            if (hintWidth == 0) hintWidth = row.hint.fittedWidth;
        }
        FitChild(row.edit);
        editWidth = std::max(editWidth, row.edit.fittedWidth);
    }

    // The inner width: the columns, widened to the prompt and to the
    // dialog's default width; the edit column takes what is added.
    RECT frame{0, 0, 0, 0};
    AdjustWindowRectEx(&frame, style, FALSE, exStyle);
    const int32_t columns = labelWidth + margin + editWidth + (hintWidth ? margin + hintWidth : 0);
    const int32_t defaultInner = defaultWidth - (frame.right - frame.left) - 2 * margin;
    const int32_t inner = std::max({columns, static_cast<int32_t>(prompt.rect.right), defaultInner});
    editWidth += inner - columns;

    int32_t y = prompt.rect.bottom ? prompt.rect.bottom + margin : 0;
    for (int32_t i = 0; i < rowCount; ++i) {
        Row& row = rows[i];
        const int32_t height = std::max(row.label.fittedHeight, row.edit.fittedHeight);
        row.label.rect = RECT{0, y, labelWidth, y + height};
        const int32_t editLeft = labelWidth + margin;
        row.edit.rect = RECT{editLeft, y, editLeft + editWidth, y + height};
        const int32_t hintLeft = row.edit.rect.right + margin;
        row.hint.rect = RECT{hintLeft, y, hintLeft + hintWidth, y + height};
        y += height + margin;
    }
    rowRegion = RECT{0, 0, inner, std::max<int32_t>(y - margin, 0)};

    finishButton.SetCaption(WinCommonDialogText::Text(FinishButtonKeyText()), kFinishStyle, WinNotify::FinishButton);
    cancelButton.SetCaption(WinCommonDialogText::Text(CancelButtonKeyText()), kCancelStyle, WinNotify::CancelButton);
    FitChild(finishButton);
    FitChild(cancelButton);
    const int32_t buttonHeight = std::max(finishButton.fittedHeight, cancelButton.fittedHeight);
    cancelButton.rect = RECT{inner - cancelButton.fittedWidth, 0, inner, buttonHeight};
    finishButton.rect =
        RECT{cancelButton.rect.left - margin - finishButton.fittedWidth, 0, cancelButton.rect.left - margin, buttonHeight};
    buttonRegion = RECT{0, 0, inner, buttonHeight};

    StackRows();
    SetAnchors();
    WindowRectFromClient();
    PlaceOnWorkArea(ownerRect);
}

void WinInputDialog::MoveBlock(RECT& region, int32_t dx, int32_t dy, bool rowsBlock) {
    OffsetRect(&region, dx, dy);
    if (!rowsBlock) {
        OffsetRect(&finishButton.rect, dx, dy);
        OffsetRect(&cancelButton.rect, dx, dy);
        return;
    }
    OffsetRect(&prompt.rect, dx, dy);
    for (int32_t i = 0; i < rowCount; ++i) {
        OffsetRect(&rows[i].label.rect, dx, dy);
        OffsetRect(&rows[i].edit.rect, dx, dy);
        OffsetRect(&rows[i].hint.rect, dx, dy);
    }
}

void WinInputDialog::StackRows() {
    const int32_t margin = WinEnvironment::Instance().margin;
    MoveBlock(rowRegion, margin - rowRegion.left, margin - rowRegion.top, true);
    MoveBlock(buttonRegion, margin - buttonRegion.left, rowRegion.bottom + margin - buttonRegion.top, false);
    rect = RECT{0, 0, std::max(rowRegion.right, buttonRegion.right) + margin, buttonRegion.bottom + margin};
}

void WinInputDialog::SetAnchors() {
    prompt.anchors = kStretchAnchors;
    for (int32_t i = 0; i < rowCount; ++i) {
        rows[i].label.anchors = kFixedAnchors;
        rows[i].edit.anchors = kStretchAnchors;
        rows[i].hint.anchors = kRightAnchors;
    }
    finishButton.anchors = kBottomRightAnchors;
    cancelButton.anchors = kBottomRightAnchors;
}

void WinInputDialog::CreateChildren() {
    if (!prompt.GetText().IsEmpty()) CreateFollowing(prompt);
    for (int32_t i = 0; i < rowCount; ++i) {
        CreateFollowing(rows[i].label);
        CreateFollowing(rows[i].edit);
        if (rows[i].hasHint) CreateFollowing(rows[i].hint);
    }
    CreateFollowing(finishButton);
    CreateFollowing(cancelButton);
}

void WinInputDialog::OnCreated() {
    WinDialog::OnCreated();
    if (rowCount > 0 && rows[0].edit.window) SetFocus(rows[0].edit.window);
}

void WinInputDialog::CopyResults() {
    int32_t index = 0;
    for (WinInputParameterUnit& field : fields) {
        if (index >= rowCount) break;
        field.result = rows[index++].edit.GetText().As(RawLayer::KindUtf8);
    }
}

LRESULT WinInputDialog::OnChildCommand(WinView* child, uint16_t code) {
    CopyResults();
    switch (code) {
    case WinNotify::FinishButton:
    case WinNotify::Activate:
        Finish(1);
        break;
    case WinNotify::CancelButton:
    case WinNotify::Cancel:
        Finish(0);
        break;
    case WinNotify::DownKey:
        for (int32_t i = 0; i < rowCount; ++i) {
            if (child == &rows[i].edit && rows[i].hasHint) rows[i].hint.ShowHints();
        }
        break;
    default:
        break;
    }
    return 0;
}

}  // namespace WinLayer
