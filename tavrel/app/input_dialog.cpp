// The input dialog: the option row, its layout over the toolkit's rows, and
// the marks of the first row kept in step with IgnoreCase and the mode.
#include "tavrel/app/input_dialog.h"

#include <algorithm>

#include "base/language.h"
#include "toolkit/environment.h"
#include "toolkit/win_message.h"

namespace AppLayer {

using RawLayer::RawString;
using WinLayer::WinNotify;
using WinLayer::WinView;

namespace {

RAW_CONSTANT_TEXT(InputDialogSectionText, "InputDialog")
RAW_CONSTANT_TEXT(OptionTagKeyText, "OptionTag")
RAW_CONSTANT_TEXT(IgnoreCaseKeyText, "IgnoreCase")
RAW_CONSTANT_TEXT(ConfirmKeyText, "Confirm")
RAW_CONSTANT_TEXT(FromHeadKeyText, "FromHead")

const RawLayer::RawLocaleRecord* InputDialogTexts() {
    static const RawLayer::RawLocaleRecord table[] = {
        {"OptionTag", "Option:"}, {"IgnoreCase", "IgnoreCase"}, {"Confirm", "Confirm"}, {"FromHead", "FromHead"},
        {"WildCard", "WildCard"}, {"Literal", "Literal"},       {"Complex", "Complex"},   {"", ""},
    };
    return table;
}

// The match modes in their order, each name its own language key.
struct ModeEntry {
    const char* name;
    uint32_t value;
};
constexpr ModeEntry kModes[] = {{"WildCard", 2}, {"Literal", 1}, {"Complex", 4}};

constexpr uint16_t kOptionRowAnchors = 0x2111;
constexpr uint16_t kMarkInvert = JobLayer::ExpressionInvert;
constexpr uint16_t kMarkFoldCase = JobLayer::ExpressionFoldCase;

RawString Section() { return RawLayer::LanguageTable::Lookup(InputDialogSectionText(), InputDialogTexts()); }

RawString TextOf(const RawString& key) { return RawLayer::LanguageTable::Text(Section(), key); }

void ShowChecked(WinLayer::WinButton& button, bool on) {
    button.checked = on;
    if (button.window) {
        SendMessageW(button.window, BM_SETCHECK, on ? BST_CHECKED : BST_UNCHECKED, 0);
        InvalidateRect(button.window, nullptr, FALSE);
    }
}

void CreateOption(WinLayer::WinDialog& dialog, WinView& child) {
    child.anchors = kOptionRowAnchors;
    dialog.CreateFollowing(child);
}

}  // namespace

GuiInputDialog::GuiInputDialog(JobLayer::ActionArgs& args) : request(&args) {
    optionLabel.Construct();
    ignoreCase.Construct();
    modeSelector.Construct();
    confirm.Construct();
    fromHead.Construct();
}

void GuiInputDialog::Build(WinView& owner) {
    WinLayer::WinInputParameterList list = WinLayer::WinInputParameterList::Construct();
    const int32_t rowsWanted = (request->flags & ShowSecondRow) ? 2 : 1;
    for (int32_t i = 0; i < rowsWanted; ++i) {
        WinLayer::WinInputParameterUnit field;
        field.label = request->labels[i];
        field.initialText = request->operands[i];
        field.hintOptions = request->historyWord;
        field.hints = request->history;
        field.hintCase = request->history.ExactCase() ? 1 : 0;
        list.Add(field);
    }
    RECT ownerRect{};
    if (owner.window) GetWindowRect(owner.window, &ownerRect);
    WinLayer::WinInputDialog::Build(ownerRect, request->title, list);
}

void GuiInputDialog::LayOutOptionRow() {
    const RawString label = TextOf(OptionTagKeyText());
    if (!label.IsEmpty()) optionLabel.SetText(label);
    FitChild(optionLabel);
    ignoreCase.SetCaption(TextOf(IgnoreCaseKeyText()), kToggleStyle, kOptionChanged);
    confirm.SetCaption(TextOf(ConfirmKeyText()), kToggleStyle, kOptionChanged);
    fromHead.SetCaption(TextOf(FromHeadKeyText()), kToggleStyle, kOptionChanged);
    FitChild(ignoreCase);
    FitChild(confirm);
    FitChild(fromHead);
    if (modes.Count() == 0) {
        for (const ModeEntry& mode : kModes) modes.Add(TextOf(RawString::FromText(mode.name)), mode.value);
        modes.selectedValue = 2;
    }
    modeSelector.SetItems(RawString(), &modes, kOptionChanged);
    FitChild(modeSelector);

    const int32_t h = std::max({optionLabel.fittedHeight, ignoreCase.fittedHeight, modeSelector.fittedHeight,
                                confirm.fittedHeight});
    optionRow = RECT{0, 0, 0, h};
    optionLabel.rect = ignoreCase.rect = modeSelector.rect = confirm.rect = fromHead.rect = RECT{};
    if (!HasOptionFlags()) return;
    const int32_t margin = WinLayer::WinEnvironment::Instance().margin;
    optionLabel.rect = RECT{0, 0, optionLabel.fittedWidth, h};
    int32_t x = optionLabel.fittedWidth;
    auto place = [&](WinView& control, uint16_t flag) {
        if (!(request->flags & flag)) return;
        x += margin;
        control.rect = RECT{x, 0, x + control.fittedWidth, h};
        x += control.fittedWidth;
    };
    place(ignoreCase, ShowIgnoreCase);
    place(modeSelector, ShowMode);
    place(confirm, ShowConfirm);
    place(fromHead, ShowFromHead);
    optionRow.right = x;
}

void GuiInputDialog::StackRows() {
    LayOutOptionRow();
    const int32_t margin = WinLayer::WinEnvironment::Instance().margin;
    const int32_t w = std::max({static_cast<int32_t>(optionRow.right), static_cast<int32_t>(rowRegion.right - rowRegion.left),
                                static_cast<int32_t>(buttonRegion.right - buttonRegion.left)});
    // Rows and buttons narrower than the option row widen with it: the
    // edit boxes take the extra width, the buttons stay at the right.
    const int32_t extra = w - (rowRegion.right - rowRegion.left);
    if (extra > 0) {
        for (int32_t i = 0; i < rowCount; ++i) {
            rows[i].edit.rect.right += extra;
            OffsetRect(&rows[i].hint.rect, extra, 0);
        }
        OffsetRect(&finishButton.rect, extra, 0);
        OffsetRect(&cancelButton.rect, extra, 0);
    }
    rowRegion.right = rowRegion.left + w;
    buttonRegion.right = buttonRegion.left + w;
    optionRow.right = optionRow.left + w;

    auto shift = [](WinView& control, int32_t dx, int32_t dy) {
        if (!IsRectEmpty(&control.rect)) OffsetRect(&control.rect, dx, dy);
    };
    const int32_t dx = margin - optionRow.left, dy = margin - optionRow.top;
    OffsetRect(&optionRow, dx, dy);
    for (WinView* control : {static_cast<WinView*>(&optionLabel), static_cast<WinView*>(&ignoreCase),
                             static_cast<WinView*>(&modeSelector), static_cast<WinView*>(&confirm),
                             static_cast<WinView*>(&fromHead)}) {
        shift(*control, dx, dy);
    }
    MoveBlock(rowRegion, margin - rowRegion.left, optionRow.bottom + margin - rowRegion.top, true);
    MoveBlock(buttonRegion, margin - buttonRegion.left, rowRegion.bottom + margin - buttonRegion.top, false);
    rect = RECT{0, 0, buttonRegion.right + margin, buttonRegion.bottom + margin};
}

void GuiInputDialog::SetAnchors() {
    WinLayer::WinInputDialog::SetAnchors();
    for (WinView* control : {static_cast<WinView*>(&optionLabel), static_cast<WinView*>(&ignoreCase),
                             static_cast<WinView*>(&modeSelector), static_cast<WinView*>(&confirm),
                             static_cast<WinView*>(&fromHead)}) {
        control->anchors = kOptionRowAnchors;
    }
}

void GuiInputDialog::CreateChildren() {
    WinLayer::WinInputDialog::CreateChildren();
    if (HasOptionFlags()) CreateOption(*this, optionLabel);
    if (request->flags & ShowIgnoreCase) CreateOption(*this, ignoreCase);
    if (request->flags & ShowMode) CreateOption(*this, modeSelector);
    if (request->flags & ShowConfirm) CreateOption(*this, confirm);
    if (request->flags & ShowFromHead) CreateOption(*this, fromHead);
    result = 0;
}

void GuiInputDialog::OnCreated() {
    WinLayer::WinInputDialog::OnCreated();
    SyncOptionsFromText(true);
}

void GuiInputDialog::OnLayout() {
    for (WinView* control : {static_cast<WinView*>(&optionLabel), static_cast<WinView*>(&ignoreCase),
                             static_cast<WinView*>(&modeSelector), static_cast<WinView*>(&confirm),
                             static_cast<WinView*>(&fromHead)}) {
        if (control->window && !IsRectEmpty(&control->rect)) {
            MoveWindow(control->window, control->rect.left, control->rect.top, control->rect.right - control->rect.left,
                       control->rect.bottom - control->rect.top, FALSE);
        }
    }
    WinLayer::WinInputDialog::OnLayout();
}

LRESULT GuiInputDialog::OnChildCommand(WinView* child, uint16_t code) {
    const bool firstRow = rowCount > 0 && child == &rows[0].edit;
    const bool secondRow = rowCount > 1 && child == &rows[1].edit;
    if (firstRow && code == WinNotify::TextChanged) {
        SyncOptionsFromText();
        return 0;
    }
    if (firstRow && code == WinNotify::Activate) {
        if (rowCount > 1 && rows[1].edit.window) {
            SetFocus(rows[1].edit.window);
        } else {
            Finish();
        }
        return 0;
    }
    if ((secondRow && code == WinNotify::Activate) || code == WinNotify::FinishButton) {
        Finish();
        return 0;
    }
    if (code == kOptionChanged) {
        RewritePrefix();
        return 0;
    }
    if (code == WinNotify::Activate) return 0;
    return WinLayer::WinInputDialog::OnChildCommand(child, code);
}

void GuiInputDialog::SyncOptionsFromText(bool fromRequest) {
    const RawString text = rowCount > 0 && rows[0].edit.window ? rows[0].edit.GetText() : RawString();
    const JobLayer::ExpressionPrefix prefix = ParseExpressionPrefix(text);
    ShowChecked(ignoreCase, (prefix.flags & kMarkFoldCase) != 0);
    modes.selectedValue = (prefix.flags & JobLayer::ExpressionPattern)   ? 4u
                          : (prefix.flags & JobLayer::ExpressionLiteral) ? 1u
                                                                         : 2u;
    if (modeSelector.window) InvalidateRect(modeSelector.window, nullptr, FALSE);
    if (fromRequest) {
        ShowChecked(confirm, (request->flags & ConfirmChecked) != 0);
        ShowChecked(fromHead, (request->flags & FromHeadChecked) != 0);
    }
}

void GuiInputDialog::RewritePrefix() {
    if (rowCount == 0) return;
    const RawString text = rows[0].edit.GetText();
    const JobLayer::ExpressionPrefix prefix = ParseExpressionPrefix(text);
    RawString rewritten(text.Kind());
    // "!" inverts the search and has no control here: it stays.
    if (prefix.flags & kMarkInvert) rewritten.AppendChar('!');
    if (ignoreCase.checked) rewritten.AppendChar('&');
    if (Mode() == 1) rewritten.AppendChar('$');
    if (Mode() == 4) rewritten.AppendChar('@');
    rewritten.AppendRange(text, RawLayer::RawRange{std::min(prefix.start, text.Length()), text.Length()});
    if (!rewritten.Equals(text)) rows[0].edit.SetText(rewritten);
}

void GuiInputDialog::Finish() {
    if (rowCount == 0 || closing) return;
    const RawString first = rows[0].edit.GetText().As(RawLayer::KindUtf8);
    if (first.IsEmpty()) {
        if (rows[0].edit.window) SetFocus(rows[0].edit.window);
        return;
    }
    const RawString second = rowCount > 1 ? rows[1].edit.GetText().As(RawLayer::KindUtf8) : RawString();
    request->operands[0] = first;
    request->operands[1] = second;
    uint16_t flags = static_cast<uint16_t>(request->flags & ~(ConfirmChecked | FromHeadChecked));
    if (confirm.checked) flags |= ConfirmChecked;
    if (fromHead.checked) flags |= FromHeadChecked;
    request->flags = flags;
    AddHistory(first);
    AddHistory(second);
    WinLayer::WinInputDialog::Finish(1);
}

void GuiInputDialog::AddHistory(const RawString& text) {
    RawLayer::RawParameterList& history = request->history;
    RawLayer::RawListLink* old = history.FindLink(text);
    if (old && !old->IsSentinel()) history.RemoveLink(old);
    history.InsertBefore(history.FirstLink(), text);
}

}  // namespace AppLayer
