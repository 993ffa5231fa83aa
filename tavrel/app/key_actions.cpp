// The key actions of the folder box: a key press finds the action list
// bound to it and the modifiers held, each action runs by its name, and the
// search, replace, go-to and insert actions ask through the input dialog.
#include <algorithm>
#include <cstring>

#include "base/clipboard.h"
#include "base/language.h"
#include "tavrel/app/command_codes.h"
#include "tavrel/app/folder_box.h"
#include "tavrel/app/job_environment.h"
#include "tavrel/app/main_dialog.h"
#include "tavrel/jobs/binary/binary_kind.h"
#include "toolkit/info_dialog.h"

namespace AppLayer {

using JobLayer::ActionArgs;
using JobLayer::JobActionUnit;
using RawLayer::RawString;

namespace {

// The action names, in the order they are compared. The spelling is the
// bindings' own ("Diffrent", "Paires").
enum ActionId : int32_t {
    ActMoveCursorLeft, ActMoveCursorToLineHead, ActMoveCursorRight, ActMoveCursorToLineFoot, ActMoveCursorUp,
    ActMoveCursorToFileHead, ActMoveCursorDown, ActMoveCursorToFileFoot, ActGotoPrevDiffrentLine,
    ActGotoNextDiffrentLine, ActSelectSide, ActSelectToggleColumn, ActResetDividingPoint, ActHScrollLeft,
    ActHScrollToLineHead, ActHScrollRight, ActHScrollToLineFoot, ActSetEditable, ActToggleInsertMode, ActSelectAll,
    ActSelectWholeLine, ActSelectWord, ActSelectWordEx, ActInsertText, ActInsertNewLine, ActBackspace,
    ActDeleteCharOrSelections, ActDeleteSelections, ActCopyToClipboard, ActPasteFromClipboard, ActUndo, ActRedo,
    ActInsertLineTabs, ActRemoveLineTabs, ActCopyLinesTo, ActDeleteLines, ActSearchForward, ActSearchBackward,
    ActReplaceText, ActGotoLine, ActReloadCurrentTab, ActReloadAllTabs, ActReloadSide, ActSaveSide, ActOpenParentTab,
    ActOpenChildTab, ActOpenNewDialog, ActDeleteCurrentTab, ActCopyPathToClipboard, ActLoadClipPath,
    ActCopyPairPathsToClipboard, ActOpenClipPaths, ActDragStartConnecting, ActDragStartFloating, ActDisconnectLines,
    ActSetExtensionAsText, ActSetExtensionAsBinary, ActFinishDrags, ActOpenConfig, ActOpenBackup, ActSaveTabPaires,
    ActShellOpenPath, ActShellOpenParent, ActViewHelp, ActOpenTabMenu, ActOpenListMenu, ActCount
};

const char* const kActionNames[ActCount] = {
    "MoveCursorLeft", "MoveCursorToLineHead", "MoveCursorRight", "MoveCursorToLineFoot", "MoveCursorUp",
    "MoveCursorToFileHead", "MoveCursorDown", "MoveCursorToFileFoot", "GotoPrevDiffrentLine",
    "GotoNextDiffrentLine", "SelectSide", "SelectToggleColumn", "ResetDividingPoint", "HScrollLeft",
    "HScrollToLineHead", "HScrollRight", "HScrollToLineFoot", "SetEditable", "ToggleInsertMode", "SelectAll",
    "SelectWholeLine", "SelectWord", "SelectWordEx", "InsertText", "InsertNewLine", "Backspace",
    "DeleteCharOrSelections", "DeleteSelections", "CopyToClipboard", "PasteFromClipboard", "Undo", "Redo",
    "InsertLineTabs", "RemoveLineTabs", "CopyLinesTo", "DeleteLines", "SearchForward", "SearchBackward",
    "ReplaceText", "GotoLine", "ReloadCurrentTab", "ReloadAllTabs", "ReloadSide", "SaveSide", "OpenParentTab",
    "OpenChildTab", "OpenNewDialog", "DeleteCurrentTab", "CopyPathToClipboard", "LoadClipPath",
    "CopyPairPathsToClipboard", "OpenClipPaths", "DragStartConnecting", "DragStartFloating", "DisconnectLines",
    "SetExtensionAsText", "SetExtensionAsBinary", "FinishDrags", "OpenConfig", "OpenBackup", "SaveTabPaires",
    "ShellOpenPath", "ShellOpenParent", "ViewHelp", "OpenTabMenu", "OpenListMenu",
};

// The row of the name, compared exactly; -1 for none.
int32_t ActionIdOf(const RawString& name) {
    const RawString utf8 = name.As(RawLayer::KindUtf8);
    const size_t length = static_cast<size_t>(std::max(utf8.Length(), 0));
    for (int32_t id = 0; id < ActCount; ++id) {
        if (std::strlen(kActionNames[id]) == length && std::memcmp(kActionNames[id], utf8.Bytes(), length) == 0) {
            return id;
        }
    }
    return -1;
}

// The edit command an action runs directly; 0 for the others.
uint32_t EditCommandOf(int32_t id) {
    switch (id) {
    case ActSelectWholeLine: return JobLayer::CommandSelectWholeLine;
    case ActSelectWord: return JobLayer::CommandSelectWord;
    case ActSelectWordEx: return JobLayer::CommandSelectWordEx;
    case ActInsertNewLine: return JobLayer::CommandInsertNewLine;
    case ActBackspace: return JobLayer::CommandBackspace;
    case ActDeleteCharOrSelections: return JobLayer::CommandDeleteCharOrSelections;
    case ActDeleteSelections: return JobLayer::CommandDeleteSelections;
    case ActCopyToClipboard: return JobLayer::CommandCopyToClipboard;
    case ActPasteFromClipboard: return JobLayer::CommandPasteFromClipboard;
    case ActUndo: return JobLayer::CommandUndo;
    case ActRedo: return JobLayer::CommandRedo;
    case ActInsertLineTabs: return JobLayer::CommandInsertLineTabs;
    case ActRemoveLineTabs: return JobLayer::CommandRemoveLineTabs;
    default: return 0;
    }
}

// Whether an action only moves the cursor (or finds a place for it).
bool PlacesTheCursor(int32_t id) {
    return (id >= ActMoveCursorLeft && id <= ActMoveCursorToFileFoot) || id == ActSearchForward ||
           id == ActSearchBackward || id == ActGotoLine;
}

// The code an action sends: `first` for side 1, `second` for side 2.
uint16_t BySide(uint32_t side, uint16_t first, uint16_t second) { return side == 0 ? first : second; }

}  // namespace

bool GuiFolderBox::RunActionList(WPARAM keyCode) {
    // The modifier keys themselves run nothing. The word of the others is
    // taken from the key state now: nothing is kept between presses, so
    // auto-repeat and a key-up missed in another window change nothing.
    if (keyCode == VK_SHIFT || keyCode == VK_CONTROL || keyCode == VK_MENU) return false;
    const JobLayer::JobBindingUnit* binding =
        JobLayer::FindKeyBinding(bindings_.bindings, static_cast<uint32_t>(keyCode));
    if (!binding || binding->actions.IsEmpty()) return false;
    // A counted reference: an action that reloads the bindings cannot free
    // the list being run.
    const JobLayer::JobActionList actions = binding->actions;
    if (std::find(heldKeys_, heldKeys_ + heldCount_, keyCode) == heldKeys_ + heldCount_ && heldCount_ < 20) {
        heldKeys_[heldCount_++] = keyCode;
    }
    for (const JobActionUnit& action : actions) {
        if (!ActionDispatch(action)) break;
    }
    return true;
}

bool GuiFolderBox::ActionDispatch(const JobActionUnit& action) {
    const int32_t id = ActionIdOf(action.name);
    if (id < 0) return false;
    JobGroupUnit& job = *view_.job;
    uint32_t side = action.TargetSide(CurrentSide());
    // Without a current side a cursor move, a search or a go-to starts on
    // side 1, as the jumps to a different line do, and side 1 becomes
    // current: the caret shows where the cursor went and where the next
    // edit goes. Edits themselves need a current side.
    if (side > 1 && PlacesTheCursor(id)) {
        SelectSide(0);
        side = 0;
    }
    const bool pivot = action.HasPivot();
    auto send = [this](uint16_t code) {
        if (window) SendMessageW(window, WM_COMMAND, MAKEWPARAM(controlId, code), 0);
    };
    auto execute = [&](uint32_t command) {
        if (side > 1 || !view_.editor) return false;
        ActionArgs args;
        return job.controller->Execute(*view_.editor, job, side, command, args);
    };
    if (const uint32_t command = EditCommandOf(id)) {
        execute(command);
        return true;
    }
    switch (id) {
    case ActMoveCursorLeft: MoveCursorLeftOp(side, pivot); break;
    case ActMoveCursorToLineHead: MoveCursorToLineHeadOp(side, pivot); break;
    case ActMoveCursorRight: MoveCursorRightOp(side, pivot); break;
    case ActMoveCursorToLineFoot: MoveCursorToLineFootOp(side, pivot); break;
    case ActMoveCursorUp: MoveCursorUpOp(side, pivot); break;
    case ActMoveCursorToFileHead: MoveCursorToFileHeadOp(side, pivot); break;
    case ActMoveCursorDown: MoveCursorDownOp(side, pivot); break;
    case ActMoveCursorToFileFoot: MoveCursorToFileFootOp(side, pivot); break;
    case ActGotoPrevDiffrentLine: send(CmdPrevDifferent); break;
    case ActGotoNextDiffrentLine: send(CmdNextDifferent); break;
    case ActSelectSide:
        if (side < 2) SelectSide(side);
        break;
    case ActSelectToggleColumn:
        if (side < 2 && job.kind.kind == JobLayer::KindBinary) {
            uint32_t& column = job.Side(side).activeColumn;
            column = column == 1 ? 2 : 1;
            job.Side(side).preferredX = -1;
            UpdateCaretX();
            InvalidateViews();
        }
        break;
    case ActResetDividingPoint:
        if (drag_.keptCursor) ::SetCursor(drag_.keptCursor);
        ResetDividingPoint();
        LayoutColumns();
        break;
    case ActHScrollLeft:
    case ActHScrollRight:
    case ActHScrollToLineHead:
    case ActHScrollToLineFoot: {
        if (side > 1) break;
        const int32_t step = id == ActHScrollLeft ? -view_.viewWidth : view_.viewWidth;
        int64_t wanted = static_cast<int64_t>(job.Side(side).scrollX) + step;
        if (id == ActHScrollToLineFoot) wanted = 100000;
        if (id == ActHScrollToLineHead) wanted = 0;
        SetSideOffset(side, ClampSideOffset(wanted, ScrollMax(side)));
        break;
    }
    case ActSetEditable:
        if (side < 2) SetSideEditable(*this, side, !SideEditable(job, side));
        break;
    case ActToggleInsertMode: ToggleInsertMode(*this, side); break;
    case ActSelectAll:
        // Without a side there is nothing to select on.
        if (side > 1) break;
        execute(JobLayer::CommandSelectAll);
        // The list notifies the changed selection itself.
        if (mode & ModeMultiple) SelectAll();
        InvalidateViews();
        break;
    case ActInsertText: RunInputCommand(action, side, JobLayer::CommandInsertText); break;
    case ActSearchForward: RunInputCommand(action, side, JobLayer::CommandSearchForward); break;
    case ActSearchBackward: RunInputCommand(action, side, JobLayer::CommandSearchBackward); break;
    case ActReplaceText: RunInputCommand(action, side, JobLayer::CommandReplaceText); break;
    case ActGotoLine: RunInputCommand(action, side, JobLayer::CommandGotoLine); break;
    case ActCopyLinesTo:
        if (side < 2) send(side == 1 ? CmdCopy1to2 : CmdCopy2to1);
        break;
    case ActDeleteLines:
        if (side < 2) send(BySide(side, CmdDeleteLine1, CmdDeleteLine2));
        break;
    case ActReloadCurrentTab: send(CmdReloadTab); break;
    case ActReloadAllTabs: send(CmdReloadAll); break;
    case ActReloadSide:
        if (side < 2) send(BySide(side, CmdReloadSide1, CmdReloadSide2));
        break;
    case ActSaveSide:
        if (side < 2) send(BySide(side, CmdSaveSide1, CmdSaveSide2));
        break;
    case ActOpenParentTab: send(CmdOpenParentTab); break;
    case ActOpenChildTab: send(CmdOpenChildTab); break;
    case ActOpenNewDialog: send(CmdNewDialog); break;
    case ActDeleteCurrentTab: send(CmdDeleteTab); break;
    case ActCopyPathToClipboard:
        if (side < 2 && !job.Path(side).IsEmpty()) RawLayer::ClipboardSetText(job.Path(side));
        break;
    case ActLoadClipPath:
        if (side < 2) send(BySide(side, CmdLoadClipSide1, CmdLoadClipSide2));
        break;
    case ActCopyPairPathsToClipboard: send(CmdClipTab); break;
    case ActOpenClipPaths: send(CmdOpenClipPaths); break;
    case ActDragStartConnecting:
        if (side < 2) send(BySide(side, CmdDragConnect1, CmdDragConnect2));
        break;
    case ActDragStartFloating:
        if (side < 2) send(BySide(side, CmdDragFloat1, CmdDragFloat2));
        break;
    case ActDisconnectLines: send(CmdDisconnect); break;
    case ActFinishDrags:
        if (drag_.state == LineDragState::LineDrag) {
            if (window && GetCapture() == window) ReleaseCapture();
            drag_.target = -1;
            InvalidateViews();
            if (drag_.keptCursor) ::SetCursor(drag_.keptCursor);
        }
        drag_.state = LineDragState::Idle;
        break;
    case ActOpenConfig: send(CmdOpenConfig); break;
    case ActOpenBackup: send(CmdOpenBackup); break;
    case ActSaveTabPaires: send(CmdSavePairs); break;
    case ActShellOpenParent:
        if (side < 2) ShellOpenParent(*this, side);
        break;
    case ActShellOpenPath:
        if (side < 2) ShellOpenPath(*this, side);
        break;
    case ActSetExtensionAsText:
    case ActSetExtensionAsBinary:
        if (side < 2) SetExtensionKind(*this, side, id == ActSetExtensionAsText ? 1 : 2);
        break;
    case ActViewHelp: send(CmdViewHelp); break;
    case ActOpenTabMenu: send(CmdTabMenu); break;
    case ActOpenListMenu: send(CmdListMenu); break;
    default: break;
    }
    return true;
}

ActionArgs& GuiFolderBox::InputParameters(uint32_t command) {
    const bool binary = view_.job->kind.kind == JobLayer::KindBinary;
    int32_t slot = 0;
    const char* title = "SearchTitle";
    const char* tags[2] = {"SearchTag", nullptr};
    uint16_t flags = view_.job->kind.kind != JobLayer::KindPath ? 3 : 2;
    switch (command) {
    case JobLayer::CommandReplaceText:
        title = "ReplaceTitle";
        tags[1] = "ReplaceTag";
        flags = 823;
        break;
    case JobLayer::CommandGotoLine:
        slot = binary ? 2 : 1;
        title = binary ? "GotoAddressTitle" : "GotoLineTitle";
        tags[0] = binary ? "GotoAddressTag" : "GotoLineTag";
        flags = 0;
        break;
    case JobLayer::CommandInsertText:
        slot = 3;
        title = "InsertTextTitle";
        tags[0] = "InsertTextTag";
        flags = 0;
        break;
    default:
        break;
    }
    ActionArgs& request = actionArgs_[slot];
    request.title = ToolMessageTitle(title);
    request.labels[0] = ToolMessageText(tags[0]);
    request.labels[1] = tags[1] ? ToolMessageText(tags[1]) : RawString();
    // The flags choose the dialog's option controls; the replace loop reads
    // the dialog's answers back from them.
    request.flags = flags;
    return request;
}

// A line found or gone to becomes the row the list highlights, as a cursor
// move leaves it: the highlight leaves the row the cursor came from.
static void HighlightCursorRow(GuiFolderBox& box, uint32_t side) {
    if (side != box.CurrentSide()) return;
    const int32_t row = box.Job()->Side(side).cursorRow;
    if (row < 0 || row >= box.Count()) return;
    box.MoveCursorTo(row);
    box.ScrollCaretIntoView();
}

static bool MovesTheCursor(uint32_t command) {
    return command == JobLayer::CommandSearchForward || command == JobLayer::CommandSearchBackward ||
           command == JobLayer::CommandGotoLine;
}

bool GuiFolderBox::RunInputCommand(const JobActionUnit& action, uint32_t side, uint32_t command) {
    JobGroupUnit& job = *view_.job;
    if (!view_.editor || side > 1) return false;
    if (!job.controller->CanExecute(*view_.editor, job, side, command)) {
        view_.editor->Alert();
        return false;
    }
    ActionArgs& request = InputParameters(command);
    const RawString first = action.ArgumentText(0);
    if (first.Equals(JobLayer::InputMarkText()) ||
        (first.Equals(JobLayer::EmptyMarkText()) && request.operands[0].IsEmpty())) {
        if (!view_.editor->RunInputDialog(request)) return false;
    } else if (!first.Equals(JobLayer::EmptyMarkText())) {
        ActionArgs given(first, action.ArgumentText(1));
        if (command == JobLayer::CommandReplaceText) {
            ReplaceEach(side, given);
        } else if (job.controller->Execute(*view_.editor, job, side, command, given) && MovesTheCursor(command)) {
            HighlightCursorRow(*this, side);
        }
        return true;
    }
    if (command == JobLayer::CommandReplaceText) {
        ReplaceEach(side, request);
    } else if (job.controller->Execute(*view_.editor, job, side, command, request) && MovesTheCursor(command)) {
        HighlightCursorRow(*this, side);
    }
    return true;
}

bool GuiFolderBox::ReplaceEach(uint32_t side, ActionArgs& request) {
    JobGroupUnit& job = *view_.job;
    if (!view_.editor || side > 1) return false;
    if (request.flags & ActionArgs::BeginAtHead) MoveCursorToFileHeadOp(side, false);
    const RawString question = ToolMessageText("ReplaceEach");
    enum : int32_t { AnswerCancel = 0, AnswerNo = 1, AnswerYes = 2 };
    const RawLayer::RawLabelUnit buttons[] = {
        RawLayer::RawLabelUnit(ToolMessageText("Yes"), AnswerYes),
        RawLayer::RawLabelUnit(ToolMessageText("No"), AnswerNo),
        RawLayer::RawLabelUnit(ToolMessageText("Cancel"), AnswerCancel), RawLayer::RawLabelUnit(RawString(), 0)};
    // A hit must lie after the previous hit or replacement: a search that
    // finds the same place again (an empty match where the last one ended)
    // would loop for ever.
    int32_t lastRow = -1;
    int32_t lastEnd = -1;
    // Every pass moves past at least one character of a finite side; the
    // bound only guards against a kind that reports hits that never end.
    for (int64_t pass = 0; pass < (int64_t{1} << 31); ++pass) {
        if (!job.controller->Execute(*view_.editor, job, side, JobLayer::CommandSearchForward, request)) return true;
        HighlightCursorRow(*this, side);
        const JobLayer::JobSearchPlace& place = request.place;
        const int32_t row = place.valid ? place.row : job.Side(side).cursorRow;
        const int32_t start = place.valid ? place.hitStart : job.Side(side).anchorColumn;
        const int32_t end = place.valid ? place.hitEnd : job.Side(side).cursorColumn;
        if (row < lastRow || (row == lastRow && (start < lastEnd || (start == lastEnd && end == start)))) {
            return true;
        }
        lastRow = row;
        lastEnd = end;
        if (request.flags & ActionArgs::AskEachReplacement) {
            RECT rect{};
            if (window) GetWindowRect(window, &rect);
            WinLayer::WinInfoDialog dialog;
            dialog.Setup(rect, ApplicationNameText(), question, buttons, WinLayer::WinInfoDialog::IconQuestion);
            const int32_t answer = dialog.RunModal(*this);
            if (answer == AnswerCancel) return true;
            if (answer != AnswerYes) continue;
        }
        if (!job.controller->Execute(*view_.editor, job, side, JobLayer::CommandReplaceText, request)) return false;
        HighlightCursorRow(*this, side);
        if (request.place.valid) lastEnd = request.place.end;
    }
    return true;
}

}  // namespace AppLayer
