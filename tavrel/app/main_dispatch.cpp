// The command dispatcher of the main window: every command code, in one
// place, and the enabled state of the command buttons that ends each
// dispatch. A code that only tells of a change (a font, a view's notice)
// refreshes the buttons and nothing else.
#include <windows.h>

#include "base/api_text.h"
#include "base/file_system.h"
#include "base/shell.h"
#include "tavrel/app/backup_dialog.h"
#include "tavrel/app/command_codes.h"
#include "tavrel/app/current_tab.h"
#include "tavrel/app/job_environment.h"
#include "tavrel/app/main_dialog.h"
#include "tavrel/app/tab_operations.h"
#include "tavrel/jobs/action_args.h"
#include "tavrel/jobs/config_store.h"
#include "tavrel/jobs/gui_profile.h"

namespace AppLayer {

using JobLayer::JobGroupList;
using WinLayer::WinListBoxItemUnit;
using WinLayer::WinView;

namespace {

RAW_CONSTANT_TEXT(GroupSwitchText, "-g ")

}  // namespace

LRESULT GuiMainDialog::OnCommand(uint16_t code) {
    MainCommandDispatch(this, code);
    return -1;
}

namespace {

// The command button that sent the code, when one did.
const GuiButton* SendingButton(const GuiViewSet& views, const WinView* child, uint16_t code) {
    for (const GuiButton& button : views.buttons) {
        if (child == &button) return code != 0 && code == button.notificationCode ? &button : nullptr;
    }
    return nullptr;
}

}  // namespace

LRESULT GuiMainDialog::OnChildCommand(WinView* child, uint16_t code) {
    if (code == NotifyIgnored) return 0;
    const bool fromButton = SendingButton(views, child, code) != nullptr;
    MainCommandDispatch(child, code);
    // A click leaves the keys with the button, which has no use for them
    // (and may just have been disabled, leaving them with no window at
    // all): once its command has run, and any dialog it opened has closed,
    // they go back to the folder box, which still knows its side. A window
    // of another program that came to the front meanwhile keeps them.
    if (fromButton && window && views.folderBox.window && GetActiveWindow() == window) {
        const HWND focus = GetFocus();
        if (!focus || focus == window || IsChild(window, focus)) SetFocus(views.folderBox.window);
    }
    return 0;
}

void GuiMainDialog::ReloadCurrent(uint32_t mode) { ReloadSide(views, mode); }

void GuiMainDialog::SaveCurrent(uint32_t mode) { SaveSide(views, mode); }

void GuiMainDialog::RunSideCommand(uint32_t editCommand, uint32_t side) {
    if (editCommand == JobLayer::CommandCopyLinesTo) {
        CopyLines(views, command, side);
    } else {
        DeleteLines(views, command, side);
    }
}

void GuiMainDialog::CentreClickedRow() {
    GuiFolderBox& box = views.folderBox;
    const int32_t rowHeight = box.RowHeight();
    // The row the position bar was clicked at is the only input: the
    // cursor stays where it is.
    const int32_t row = views.positionBar.clickedRow;
    // Before the first paint no row has a height: nothing to centre by.
    if (rowHeight <= 0 || row < 0 || row >= box.Count() || !box.window) return;
    RECT client{};
    GetClientRect(box.window, &client);
    const int32_t visible = (client.bottom - client.top) / rowHeight;
    int32_t first = row - (visible - 1) / 2;
    if (first < 0) first = 0;
    const WinListBoxItemUnit* unit = box.ItemAt(first);
    if (!unit) return;
    box.scroll.y = unit->rect.top;
    box.ClampScroll();
    box.UpdateScroll();
    InvalidateRect(box.window, nullptr, FALSE);
}

bool GuiMainDialog::Restart() {
    if (restarting) return false;
    if (JobLayer::ConfigStore::Instance().backupDisabled && HasUnsavedEdits() && !ConfirmUnsavedEdits()) {
        return false;
    }
    if (!BackUpEditsBeforeDrop(EveryOpenJob(), JobLayer::ModeBoth)) return false;
    SavePlacement(showState, ShowDestroying);
    const RawString file = NewRestartFilePath();
    if (!WriteRestartFile(views.tabBar, file)) return false;
    const RawString program =
        restartProgram.IsEmpty() ? RawLayer::ApiGetModuleFileName(RawLayer::KindUtf8) : restartProgram;
    RawLayer::RawShell shell(program);
    const RawString parameters = RawString::ConcatMany(GroupSwitchText(), file.Quoted());
    const bool started = shell.Execute(parameters, RawString());
    shell.CloseProcess();
    if (!started) {
        // This instance stays as it was.
        DiscardRestartFile(file);
        return false;
    }
    restartFile = file;
    restarting = 1;
    if (window) DestroyWindow(window);
    return true;
}

void GuiMainDialog::MainCommandDispatch(WinView* sender, uint16_t code) {
    if (code == CmdRefreshButtons) {
        UpdateButtonStates();
        return;
    }
    JobGroupUnit* job = views.tabBar.CurrentJob();
    const bool fromTabBar = sender == &views.tabBar;
    if (fromTabBar && (code == NotifySelectionChanged || code == NotifyItemRemoved)) {
        ShowCurrentTab(views);
    } else if (fromTabBar && code == NotifyNewTabArea) {
        JobGroupUnit* fresh = JobGroupList::Instance().CreateUnit(JobLayer::JobKindType::FromKind(JobLayer::KindNone));
        views.tabBar.InsertJob(nullptr, fresh);
        ShowCurrentTab(views);
    } else if (sender == &views.folderBox && code == NotifySelectionChanged) {
        // An edit showed the cursor row's details as it refreshed the rows.
        const WinLayer::WinListBoxItemUnit* item = views.folderBox.ItemAt(views.folderBox.cursor);
        const bool fresh = item && views.freshDetailsRow && GuiFolderBox::ItemOf(*item) == views.freshDetailsRow;
        if (!fresh) ShowCursorRowDetails(views);
    } else {
        switch (code) {
        case CmdCentreCursor:
            CentreClickedRow();
            break;
        case CmdFocusFolderBox:
            if (views.folderBox.window) SetFocus(views.folderBox.window);
            break;
        case CmdRecompare:
            CompareCurrent(views);
            break;
        case CmdDisconnect:
            // The rows take the box's selection first: their marks may
            // still stand from the last drag.
            if (job && command.CountSelectedRows() > 0 && job->controller->DisconnectLines(*job)) {
                CompareCurrent(views);
            }
            break;
        case CmdReloadTab:
            if (job && ConfirmReload(job, JobLayer::ModeBoth)) ReloadCurrent(JobLayer::ModeBoth);
            break;
        case CmdReloadAll:
            if (ConfirmReload(nullptr, JobLayer::ModeBoth)) ReloadAllTabs(views);
            break;
        case CmdReloadSide1:
            if (job && ConfirmReload(job, JobLayer::ModeSide1)) ReloadCurrent(JobLayer::ModeSide1);
            break;
        case CmdReloadSide2:
            if (job && ConfirmReload(job, JobLayer::ModeSide2)) ReloadCurrent(JobLayer::ModeSide2);
            break;
        case CmdSaveSide1:
            SaveCurrent(JobLayer::ModeSide1);
            break;
        case CmdSaveSide2:
            SaveCurrent(JobLayer::ModeSide2);
            break;
        case CmdSaveFile:
            SaveCurrent(JobLayer::ModeBoth);
            break;
        case CmdOpenConfig: {
            RawLayer::RawShell shell(JobLayer::ConfigStore::Instance().configPath);
            shell.Execute(RawString(), RawString());
            shell.CloseProcess();
            break;
        }
        case CmdSavePairs:
            SaveTabPairs(views, pairChooser, *this);
            break;
        case CmdClipTab:
            CopyPairPathsToClipboard(views);
            break;
        case CmdOpenClipPaths:
            OpenClipPaths(views);
            break;
        case CmdLoadClipSide1:
        case CmdLoadClipSide2:
            LoadClipSide(views, code == CmdLoadClipSide1 ? 0 : 1);
            break;
        case CmdClipLoad1:
        case CmdClipLoad2:
            LoadClipAsFile(views, code == CmdClipLoad1 ? 0 : 1);
            break;
        case CmdNewDialog:
            OpenNewInstance(views, restartProgram);
            break;
        case CmdOpenChildTab:
            OpenChildTab(views);
            break;
        case CmdOpenParentTab:
            OpenParentTab(views);
            break;
        case CmdOpenStartSource:
            OpenStartSource(views, JobLayer::GuiProfileStore::Instance().startSource);
            break;
        case CmdDeleteTab:
            views.tabBar.RemoveTab(views.tabBar.current);
            break;
        case CmdCopy1to2:
            RunSideCommand(JobLayer::CommandCopyLinesTo, 1);
            break;
        case CmdCopy2to1:
            RunSideCommand(JobLayer::CommandCopyLinesTo, 0);
            break;
        case CmdDeleteLine1:
            RunSideCommand(JobLayer::CommandDeleteLines, 0);
            break;
        case CmdDeleteLine2:
            RunSideCommand(JobLayer::CommandDeleteLines, 1);
            break;
        case CmdEditable1:
        case CmdEditable2: {
            const uint32_t side = code == CmdEditable1 ? 0 : 1;
            const GuiButton& button = views.buttons[side == 0 ? BtnEditable1 : BtnEditable2];
            // A side that may not be edited keeps its state, and so does
            // the button that the click toggled.
            if (!SetSideEditable(views.folderBox, side, button.checked)) ShowEditableStates(views);
            break;
        }
        case CmdShowEditable:
            ShowEditableStates(views);
            break;
        case CmdSimple:
            ApplySimpleState(views);
            break;
        case CmdFilter:
            ApplyFilterButtons(views);
            break;
        case CmdShowStatus:
            views.statusBox.ShowQueued();
            break;
        case CmdViewFontFitted:
            FollowFittedViewFont(views);
            break;
        case CmdRestart:
            // The window is gone after a restart: nothing may read its
            // tabs or their released jobs any more.
            if (Restart()) return;
            break;
        case CmdPathViewFont:
        case CmdTextViewFont:
        case CmdBinaryViewFont:
            JobLayer::GuiProfileStore::Instance().ReloadViewFont(static_cast<uint32_t>(code - CmdPathViewFont));
            ApplyViewFontChange(views, static_cast<uint32_t>(code - CmdPathViewFont));
            break;
        case CmdViewHelp:
            if (window) SendMessageW(window, WM_SYSCOMMAND, kHelpMenuItem, 0);
            break;
        case CmdWindowFont:
        case CmdFolderBoxNotice:
        case CmdTwinBarNotice:
        case CmdDrawNotice:
            // Nothing beyond the refresh of the buttons.
            break;
        case CmdOpenBackup:
            RunBackupDialog(*this);
            break;
        case CmdDragConnect1:
        case CmdDragConnect2:
        case CmdDragFloat1:
        case CmdDragFloat2: {
            const uint32_t offset = static_cast<uint32_t>(code - CmdDragConnect1);
            views.folderBox.StartDragByCommand(offset >= 2 ? 1 : 0, offset % 2);
            break;
        }
        case CmdPrevDifferent:
            views.folderBox.GotoPrevNonSameRow();
            break;
        case CmdNextDifferent:
            views.folderBox.GotoNextNonSameRow();
            break;
        case CmdTabMenu:
            views.tabBar.OpenCurrentTabMenu();
            break;
        case CmdListMenu:
            if (views.tabBar.CurrentJob()) views.folderBox.OpenCurrentSideMenu();
            break;
        default:
            break;
        }
    }
    if (!window) return;
    UpdateButtonStates();
}

void GuiMainDialog::UpdateButtonStates() {
    const JobGroupUnit* job = views.tabBar.CurrentJob();
    GuiFolderBox& box = views.folderBox;
    const bool shown = job != nullptr;
    const bool edit1 = shown && job->edit.edit1;
    const bool edit2 = shown && job->edit.edit2;
    const bool content1 = shown && box.AnySelectedRealUnit(0);
    const bool content2 = shown && box.AnySelectedRealUnit(1);
    GuiButton* b = views.buttons;
    b[BtnCopy1to2].SetStateEnabled(edit2 && content1 && !job->Path(1).IsEmpty());
    b[BtnCopy2to1].SetStateEnabled(edit1 && content2 && !job->Path(0).IsEmpty());
    b[BtnDeleteLine1].SetStateEnabled(edit1 && content1);
    b[BtnDeleteLine2].SetStateEnabled(edit2 && content2);
    b[BtnSaveFile].SetStateEnabled(shown && (job->kind.kind == JobLayer::KindText ||
                                             job->kind.kind == JobLayer::KindBinary));
    b[BtnEditable1].SetStateEnabled(shown && SideCanBeEdited(*job, 0));
    b[BtnEditable2].SetStateEnabled(shown && SideCanBeEdited(*job, 1));
    for (int32_t i = BtnSimple; i <= BtnOnly2; ++i) b[i].SetStateEnabled(shown);
}

}  // namespace AppLayer
