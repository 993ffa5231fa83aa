// The editor of the main window: what the kinds' edit commands ask of the
// views.
#include "tavrel/app/main_command.h"

#include "tavrel/app/current_tab.h"
#include "tavrel/app/input_dialog.h"
#include "tavrel/app/main_dialog.h"
#include "tavrel/jobs/pair_line.h"

namespace AppLayer {

namespace {

constexpr UINT kAlertFlashes = 5;
constexpr DWORD kAlertFlashMs = 70;

void Repaint(WinLayer::WinView& view) {
    if (view.window) InvalidateRect(view.window, nullptr, FALSE);
}

}  // namespace

FLASHWINFO AlertFlash(HWND window) {
    FLASHWINFO flash{};
    // The real size: 20 bytes in the 32-bit program, 32 in a 64-bit build.
    flash.cbSize = sizeof(FLASHWINFO);
    flash.hwnd = window;
    flash.dwFlags = FLASHW_CAPTION;
    flash.uCount = kAlertFlashes;
    flash.dwTimeout = kAlertFlashMs;
    return flash;
}

int32_t GuiMainCommand::CountSelectedRows() { return views.folderBox.CopySelectionToRows(); }

int32_t GuiMainCommand::RestoreSelection() {
    if (!views.tabBar.CurrentJob()) return 0;
    return views.folderBox.CopySelectionFromRows();
}

void GuiMainCommand::ResetFilter() {
    JobGroupUnit* job = views.tabBar.CurrentJob();
    if (job && job->statusMask != JobLayer::StatusAll) SetFilterWord(views, JobLayer::StatusAll);
}

void GuiMainCommand::RefreshViews() { RefreshAfterJobChange(views); }

void GuiMainCommand::UpdateCaret() {
    const int32_t cursor = views.folderBox.cursor;
    if (cursor >= 0) views.folderBox.ScrollIntoView(cursor);
}

bool GuiMainCommand::MoveToContentRow() {
    GuiFolderBox& box = views.folderBox;
    if (box.cursor < 0) {
        views.freshDetailsRow = nullptr;
        return true;
    }
    // From the cursor on, not from the head: every edit command with a
    // redraw asks, and ItemAt steps on from the place it last found.
    const int32_t shown = box.FirstRowFrom(box.cursor, 1, [&box](int32_t index) {
        const WinLayer::WinListBoxItemUnit* unit = box.ItemAt(index);
        return unit && !(unit->flags & WinLayer::WinListBoxItemUnit::ItemHidden);
    });
    if (shown < 0) {
        box.cursor = WinLayer::WinListBoxInfo::kNone;
        views.freshDetailsRow = nullptr;
        return false;
    }
    const bool already = shown == box.cursor;
    box.SetCursor(shown);
    views.freshDetailsRow = nullptr;
    return already;
}

// The views that show the cursor or the scroll position.
static void RepaintCursorViews(GuiViewSet& views) {
    Repaint(views.tabBar);
    Repaint(views.folderBox);
    Repaint(views.twinBar);
}

void GuiMainCommand::RepaintViews() {
    RepaintCursorViews(views);
    Repaint(views.positionBar);
}

void GuiMainCommand::RefreshFolderBox() {
    // The kinds call this when the cursor moved: the rows are as they were,
    // so the caret is scrolled into view and the views that show the cursor
    // repainted (rebuilding and measuring 100,000 rows for a selection took
    // over a second). The position bar shows only the rows' kinds, and
    // painting it walks every row: a content change repaints it, a cursor
    // step does not.
    views.folderBox.ScrollCaretIntoView();
    RepaintCursorViews(views);
}

void GuiMainCommand::Alert() {
    MessageBeep(0);
    if (!dialog.window) return;
    FLASHWINFO flash = AlertFlash(dialog.window);
    FlashWindowEx(&flash);
}

bool GuiMainCommand::RunInputDialog(JobLayer::ActionArgs& request) {
    // Over the folder box, which gets the keys back afterwards.
    GuiInputDialog input(request);
    input.Build(views.folderBox);
    return input.RunModal(views.folderBox) == 1;
}

WinLayer::WinListBox* GuiMainCommand::FolderBox() { return &views.folderBox; }

}  // namespace AppLayer
