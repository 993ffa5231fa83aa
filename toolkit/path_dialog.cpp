// The path chooser: the bar's keys, the dialog's layout and placement, the
// requests of the bar and the box, and the checks of accepting.
#include "toolkit/path_dialog.h"

#include <shellapi.h>

#include <algorithm>

#include "base/api_text.h"
#include "base/file_system.h"
#include "base/language.h"
#include "base/profile.h"
#include "base/shell.h"
#include "toolkit/common_dialog_text.h"
#include "toolkit/environment.h"
#include "toolkit/win_message.h"

namespace WinLayer {

using RawLayer::RawLabelUnit;
using RawLayer::RawString;

namespace {

RAW_CONSTANT_TEXT(PathDialogClassText, "Class_PathDialog")
RAW_CONSTANT_TEXT(PathBoxSectionText, "PathBox")
RAW_CONSTANT_TEXT(ExpandExtensionKeyText, "ExpandExtension")
RAW_CONSTANT_TEXT(SpecifyFolderKeyText, "SpecifyFolder")
RAW_CONSTANT_TEXT(SpecifyFileKeyText, "SpecifyFile")
RAW_CONSTANT_TEXT(OverwriteKeyText, "Overwrite")
RAW_CONSTANT_TEXT(SpecifyExistKeyText, "SpecifyExist")
RAW_CONSTANT_TEXT(SpecifyValidKeyText, "SpecifyValid")
RAW_CONSTANT_TEXT(CreateFolderKeyText, "CreateFolder")
RAW_CONSTANT_TEXT(ErrorCreateKeyText, "ErrorCreate")
RAW_CONSTANT_TEXT(OpenVerbText, "open")

const RawLayer::RawLocaleRecord kPathBoxTexts[] = {
    {"ExpandExtension", "You want expand extension ?"},
    {"SpecifyFolder", "Must specify the folder !"},
    {"SpecifyFile", "Must specify the file !"},
    {"Overwrite", "Overwrite on this file ?"},
    {"SpecifyExist", "Must specify the exist path !"},
    {"SpecifyValid", "Must specifiy the file on valid path !"},
    {"CreateFolder", "Create specified folder ?"},
    {"ErrorCreate", "Error occured on creating folders !"},
    {"", ""},
};

constexpr uint32_t kDialogStyle = WS_CAPTION | WS_SYSMENU | WS_THICKFRAME;
constexpr uint32_t kBarExStyle = WS_EX_CLIENTEDGE | WS_EX_ACCEPTFILES;
constexpr uint32_t kOpenStyle = 12;
constexpr uint32_t kFinishStyle = 3;
constexpr uint32_t kCancelStyle = 12;
constexpr uint32_t kHiddenStyle = 0x10FF;
constexpr uint16_t kTopRowAnchors = 0x2111;
constexpr uint16_t kBoxAreaAnchors = 0x1111;
constexpr uint16_t kBottomRowAnchors = 0x1211;
constexpr uint16_t kStretchAnchors = 0x1111;
constexpr uint16_t kOpenAnchors = 0x1112;
constexpr uint16_t kFinishAnchors = 0x1221;
constexpr uint16_t kRightButtonAnchors = 0x1212;
// The keys sub-command 5 carries: Ctrl+Up and Ctrl+Down stand for Home and
// End.
constexpr LPARAM kMoveKeys[] = {VK_UP, VK_DOWN, VK_HOME, VK_END};

const RawLabelUnit* YesNoCancelTable() {
    static const RawLabelUnit table[] = {RawLabelUnit(RawString::FromText("Yes"), 2),
                                         RawLabelUnit(RawString::FromText("No"), 3),
                                         RawLabelUnit(RawString::FromText("Cancel"), 0), RawLabelUnit(RawString(), 0)};
    return table;
}

const RawLabelUnit* OkCancelTable() {
    static const RawLabelUnit table[] = {RawLabelUnit(RawString::FromText("OK"), 1),
                                         RawLabelUnit(RawString::FromText("Cancel"), 0), RawLabelUnit(RawString(), 0)};
    return table;
}

bool IsEmptyRange(RawLayer::RawRange range) { return range.end <= range.start; }

bool IsZero(const RECT& rect) { return rect.left == 0 && rect.top == 0 && rect.right == 0 && rect.bottom == 0; }

}  // namespace

// ---- the bar ---------------------------------------------------------------------------

void WinPathBar::ShowPath(const RawString& path) {
    SetText(path);
    SyncDisplayText();
    MoveCaret(Length(), false);
}

void WinPathBar::SetPath(const RawString& path) {
    ShowPath(path);
    StorePath();
    Tell(CommandListPath);
}

void WinPathBar::StorePath() {
    if (info) info->path = GetText().As(RawLayer::KindUtf8);
}

void WinPathBar::Tell(uint32_t command, LPARAM value) {
    HWND parent = window ? GetParent(window) : nullptr;
    if (parent) SendMessageW(parent, WinMessage::PathDialogCommand, command, value);
}

LRESULT WinPathBar::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_CHAR && swallowSpace_ && wParam == L' ') {
        swallowSpace_ = false;
        return 0;
    }
    if (message == WM_DROPFILES) {
        const HDROP drop = reinterpret_cast<HDROP>(wParam);
        if (DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0) > 0) {
            SetPath(RawLayer::ApiDragQueryFile(drop, 0, RawLayer::KindUtf8));
        }
        DragFinish(drop);
        return 0;
    }
    if (message != WM_KEYDOWN) return WinEditBox::OnMessage(message, wParam, lParam);
    swallowSpace_ = false;
    const bool ctrl = KeyHeld(VK_CONTROL);
    switch (wParam) {
    case VK_RETURN:
        StorePath();
        Tell(CommandAccept);
        return 0;
    case VK_ESCAPE:
        Tell(CommandCancel);
        return 0;
    case VK_UP:
        Tell(CommandMoveCursor, ctrl ? VK_HOME : VK_UP);
        return 0;
    case VK_DOWN:
        Tell(CommandMoveCursor, ctrl ? VK_END : VK_DOWN);
        return 0;
    case VK_SPACE:
        if (!ctrl) break;
        swallowSpace_ = true;
        Tell(CommandTakeCursor);
        return 0;
    case 'O':
        if (!ctrl) break;
        Tell(CommandOpenCursor);
        return 0;
    default:
        break;
    }
    return WinEditBox::OnMessage(message, wParam, lParam);
}

LRESULT WinPathBar::OnCommand(uint16_t code) {
    if (code == WinNotify::TextChanged) {
        StorePath();
        Tell(CommandListPath);
        return 0;
    }
    return WinEditBox::OnCommand(code);
}

// ---- the dialog ---------------------------------------------------------------------------

WinPathDialog::WinPathDialog() : bar(this), box(this) {
    className = PathDialogClassText();
    bar.Construct();
    openButton.Construct();
    box.Construct();
    finishButton.Construct();
    cancelButton.Construct();
    hiddenButton.Construct();
}

RECT& WinPathDialog::LastRect() {
    static RECT last{};
    return last;
}

void WinPathDialog::Setup(const RECT& ownerRect, const RawString& title, const RawString& startPath) {
    closing = false;
    result = 0;
    if (!title.IsEmpty()) text = title;
    if (!startPath.IsEmpty()) path = startPath;
    options |= OptionFile;
    style = kDialogStyle;
    exStyle = WS_EX_TOOLWINDOW;

    bar.exStyle |= kBarExStyle;
    box.exStyle |= WS_EX_CLIENTEDGE;
    openButton.SetCaption(WinCommonDialogText::Text(OpenSideKeyText()), kOpenStyle, CodeOpen);
    finishButton.SetCaption(WinCommonDialogText::Text(FinishButtonKeyText()), kFinishStyle, CodeFinish);
    cancelButton.SetCaption(WinCommonDialogText::Text(CancelButtonKeyText()), kCancelStyle, CodeCancel);
    hiddenButton.SetCaption(WinCommonDialogText::Text(HiddenButtonKeyText()), kHiddenStyle, CodeHidden);
    for (WinView* child : {static_cast<WinView*>(&bar), static_cast<WinView*>(&openButton),
                           static_cast<WinView*>(&finishButton), static_cast<WinView*>(&cancelButton),
                           static_cast<WinView*>(&hiddenButton)}) {
        FitChild(*child);
    }
    topRow.anchors = kTopRowAnchors;
    boxArea.anchors = kBoxAreaAnchors;
    bottomRow.anchors = kBottomRowAnchors;
    bar.anchors = kStretchAnchors;
    openButton.anchors = kOpenAnchors;
    box.anchors = kStretchAnchors;
    finishButton.anchors = kFinishAnchors;
    cancelButton.anchors = kRightButtonAnchors;
    hiddenButton.anchors = kRightButtonAnchors;

    const RECT& last = LastRect();
    if (!IsZero(last)) {
        rect = last;
        return;
    }
    RECT area{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
    rect = RECT{0, 0, (area.right - area.left) / 4, (area.bottom - area.top) / 3};
    PlaceOnWorkArea(ownerRect);
}

void WinPathDialog::PlaceChildren(const RECT& client) {
    const int32_t margin = WinEnvironment::Instance().margin;
    const LONG right = std::max<LONG>(client.right - margin, margin);
    const LONG barHeight = std::max(bar.fittedHeight, openButton.fittedHeight);
    topRow.rect = RECT{margin, margin, right, margin + barHeight};
    openButton.rect = RECT{std::max<LONG>(right - openButton.fittedWidth, margin), margin, right, topRow.rect.bottom};
    bar.rect = RECT{margin, margin, std::max<LONG>(openButton.rect.left - margin, margin), topRow.rect.bottom};

    const LONG buttonHeight =
        std::max({finishButton.fittedHeight, cancelButton.fittedHeight, hiddenButton.fittedHeight});
    const LONG bottom = std::max<LONG>(client.bottom - margin, topRow.rect.bottom + 2 * margin + buttonHeight);
    bottomRow.rect = RECT{margin, bottom - buttonHeight, right, bottom};
    LONG x = margin;
    for (WinButton* button : {&finishButton, &cancelButton, &hiddenButton}) {
        button->rect = RECT{x, bottomRow.rect.top, x + button->fittedWidth, bottom};
        x = button->rect.right + margin;
    }
    boxArea.rect = RECT{margin, topRow.rect.bottom + margin, right, bottomRow.rect.top - margin};
    box.rect = boxArea.rect;
}

void WinPathDialog::CreateChildren() {
    PlaceChildren(anchor.rect);
    topRow.Follow(&anchor.rect);
    boxArea.Follow(&anchor.rect);
    bottomRow.Follow(&anchor.rect);
    CreateFollowing(bar, &topRow.rect);
    CreateFollowing(openButton, &topRow.rect);
    CreateFollowing(box, &boxArea.rect);
    CreateFollowing(finishButton, &bottomRow.rect);
    CreateFollowing(cancelButton, &bottomRow.rect);
    CreateFollowing(hiddenButton, &bottomRow.rect);
}

void WinPathDialog::OnLayout() {
    // The rows first: the children follow them.
    topRow.Relayout();
    boxArea.Relayout();
    bottomRow.Relayout();
    WinDialog::OnLayout();
}

void WinPathDialog::OnCreated() {
    WinDialog::OnCreated();
    hiddenButton.checked = (options & OptionHiddenShown) != 0;
    if (hiddenButton.window) {
        SendMessageW(hiddenButton.window, BM_SETCHECK, hiddenButton.checked ? BST_CHECKED : BST_UNCHECKED, 0);
        InvalidateRect(hiddenButton.window, nullptr, FALSE);
    }
    if (bar.window) SetFocus(bar.window);
    bar.SetPath(path);
}

void WinPathDialog::OnDestroying() {
    RECT& last = LastRect();
    if (window && !IsIconic(window) && !IsZoomed(window)) {
        GetWindowRect(window, &last);
    } else if (!IsZero(normalRect)) {
        last = normalRect;
    }
    WinDialog::OnDestroying();
}

LRESULT WinPathDialog::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WinMessage::PathDialogCommand) {
        // Only this thread's own bar and box make these requests.
        if (!InSendMessage()) OnPathCommand(wParam, lParam);
        return 0;
    }
    // An automation request from another process: its data is never read.
    if (message == WM_COPYDATA) return FALSE;
    return WinDialog::OnMessage(message, wParam, lParam);
}

void WinPathDialog::OnPathCommand(WPARAM command, LPARAM value) {
    switch (command) {
    case WinPathBar::CommandCancel:
        Finish(0);
        break;
    case WinPathBar::CommandAccept:
        Accept();
        break;
    case WinPathBar::CommandListPath:
        box.currentFolder = path;
        box.Refresh();
        break;
    case WinPathBar::CommandTakeCursor: {
        WinListBoxItemUnit* unit = box.cursor >= 0 ? box.ItemAt(box.cursor) : nullptr;
        if (!unit || !unit->item) break;
        path = WinPathBox::ItemOf(*unit)->path;
        bar.ShowPath(path);
        break;
    }
    case WinPathBar::CommandOpenCursor:
        box.OpenItem();
        break;
    case WinPathBar::CommandMoveCursor:
        // Only the four keys the bar sends; the box moves and reports.
        if (box.Count() > 0 && box.window &&
            std::find(std::begin(kMoveKeys), std::end(kMoveKeys), value) != std::end(kMoveKeys)) {
            SendMessageW(box.window, WM_KEYDOWN, static_cast<WPARAM>(value), 0);
        }
        break;
    case CommandShowPath:
        bar.ShowPath(path);
        break;
    default:
        break;
    }
}

LRESULT WinPathDialog::OnChildCommand(WinView* child, uint16_t code) {
    if (child == &openButton && code == CodeOpen) {
        OpenInShell();
        return 0;
    }
    if (child == &finishButton && code == CodeFinish) {
        Accept();
        return 0;
    }
    if (child == &cancelButton && code == CodeCancel) {
        Finish(0);
        return 0;
    }
    if (child == &hiddenButton && code == CodeHidden) {
        options = hiddenButton.checked ? (options | OptionHiddenShown) : (options & ~uint32_t(OptionHiddenShown));
        box.currentFolder = path;
        box.Refresh();
        return 0;
    }
    return WinDialog::OnChildCommand(child, code);
}

void WinPathDialog::OpenInShell() {
    const RawString typed = bar.GetText().As(RawLayer::KindUtf8);
    RawString folder(typed.Kind());
    if (RawLayer::FolderExists(typed)) {
        folder = typed;
    } else {
        folder.AppendRange(typed, RawLayer::PathFolderRange(typed));
        if (folder.IsEmpty() || !RawLayer::FolderExists(folder)) return;
    }
    RawLayer::RawShell shell(folder);
    shell.Execute(RawString(), OpenVerbText());
}

int32_t WinPathDialog::Ask(const RawString& key, const RawString& about, const RawLabelUnit* table, uint32_t icon) {
    static const RawString section = RawLayer::LanguageTable::Lookup(PathBoxSectionText(), kPathBoxTexts);
    RawString message = RawLayer::LanguageTable::Text(section, key);
    message.AppendAscii("\r\n");
    message.Append(about);
    RECT over{};
    if (window) GetWindowRect(window, &over);
    // The chooser is blocked under its question, but requests posted to its
    // bar still arrive: a second accept meanwhile does nothing.
    asking_ = true;
    question.Setup(over, GetText(), message, table, icon);
    const int32_t answer = question.RunModal(*this);
    asking_ = false;
    // Cancelled while the question was open: the question has ended first,
    // now the chooser closes, and nothing more is done.
    if (closing) {
        PostClose();
        return 0;
    }
    return answer;
}

bool WinPathDialog::ConfirmOverwrite(WinView& owner, const RawString& path) {
    static const RawString section = RawLayer::LanguageTable::Lookup(PathBoxSectionText(), kPathBoxTexts);
    RawString message = RawLayer::LanguageTable::Text(section, OverwriteKeyText());
    message.AppendAscii("\r\n");
    message.Append(path);
    RECT over{};
    if (owner.window) GetWindowRect(owner.window, &over);
    question.Setup(over, GetText(), message, OkCancelTable(), WinInfoDialog::IconQuestion);
    return question.RunModal(owner) == 1;
}

void WinPathDialog::Accept() {
    if (path.IsEmpty() || closing || asking_) return;

    // The default extension, for a name without one.
    if ((options & OptionFile) && !defaultExtension.IsEmpty() &&
        !IsEmptyRange(RawLayer::PathNameRange(path)) && IsEmptyRange(RawLayer::PathExtensionRange(path, false))) {
        RawString candidate = path;
        if (defaultExtension.UnitAt(0) != '.') candidate.AppendChar('.');
        candidate.Append(defaultExtension);
        const bool asked = !(options & OptionMustExist) ||
                           (RawLayer::PathExists(candidate) && !RawLayer::FolderExists(candidate));
        if (asked) {
            const int32_t answer =
                Ask(ExpandExtensionKeyText(), candidate, YesNoCancelTable(), WinInfoDialog::IconQuestion);
            if (answer == 0) return;
            if (answer == 2) path = candidate;
        }
    }

    const DWORD attributes = RawLayer::ApiGetFileAttributes(path);
    const bool exists = attributes != INVALID_FILE_ATTRIBUTES;
    const bool folder = exists && (attributes & FILE_ATTRIBUTE_DIRECTORY);
    if ((options & OptionFolder) && exists && !folder) {
        Ask(SpecifyFolderKeyText(), path, OkButtonTable(), WinInfoDialog::IconExclamation);
        return;
    }
    if ((options & OptionFile) && folder) {
        Ask(SpecifyFileKeyText(), path, OkButtonTable(), WinInfoDialog::IconExclamation);
        return;
    }
    if ((options & OptionAskOverwrite) && exists && !folder &&
        Ask(OverwriteKeyText(), path, OkCancelTable(), WinInfoDialog::IconQuestion) != 1) {
        return;
    }
    if ((options & OptionMustExist) && !exists) {
        Ask(SpecifyExistKeyText(), path, OkButtonTable(), WinInfoDialog::IconExclamation);
        return;
    }

    // The folder to create: the path itself when a folder is wanted, else
    // its folder part; computed for either creating option.
    RawString target(path.Kind());
    if (!exists && (options & (OptionOfferCreate | OptionCreate))) {
        if (options & OptionFolder) {
            target = path;
        } else {
            target.AppendRange(path, RawLayer::PathFolderRange(path));
        }
        if (options & OptionOfferCreate) {
            if (target.IsEmpty()) {
                Ask(SpecifyValidKeyText(), path, OkButtonTable(), WinInfoDialog::IconExclamation);
                return;
            }
            if (!RawLayer::PathExists(target) &&
                Ask(CreateFolderKeyText(), target, OkCancelTable(), WinInfoDialog::IconQuestion) != 1) {
                return;
            }
        }
    }
    if (!target.IsEmpty() && !RawLayer::ApiCreateDirectoryTree(target)) {
        Ask(ErrorCreateKeyText(), target, OkButtonTable(), WinInfoDialog::IconExclamation);
        return;
    }
    Finish(1);
}

void WinPathDialog::Finish(int32_t value) {
    if (!BeginClosing(value)) return;
    // An open question ends before the chooser, whose window it runs
    // above; Ask then closes the chooser.
    if (asking_) {
        question.Finish(0);
        return;
    }
    PostClose();
}

}  // namespace WinLayer
