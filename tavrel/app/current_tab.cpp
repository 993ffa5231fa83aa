// The current tab in the views, the job commands, and the buttons that
// mirror its options.
#include "tavrel/app/current_tab.h"

#include <algorithm>

#include "tavrel/app/command_codes.h"
#include "toolkit/dialog.h"
#include "tavrel/jobs/action_args.h"
#include "tavrel/jobs/gui_profile.h"
#include "tavrel/jobs/pair_line.h"

namespace AppLayer {

using JobLayer::JobGroupList;

namespace {

JobGroupUnit* ShownJob(GuiViewSet& views) { return views.tabBar.CurrentJob(); }

void Repaint(WinLayer::WinView& view) {
    if (view.window) InvalidateRect(view.window, nullptr, FALSE);
}

void MarkTabState(JobGroupUnit& job) {
    job.flags = static_cast<uint16_t>(job.flags | JobLayer::JobTabStateChanged);
}

// An edit command over the selected rows of the current side pair.
void RunRowCommand(GuiViewSet& views, JobLayer::JobViewEditor& editor, uint32_t side, uint32_t command) {
    JobGroupUnit* job = ShownJob(views);
    if (!job || views.folderBox.MarkSelectedRows() == 0) return;
    WaitCursor wait;
    JobLayer::ActionArgs args;
    job->controller->Execute(editor, *job, side, command, args);
    MarkTabState(*job);
    RefreshAfterJobChange(views);
}

}  // namespace

WaitCursor::WaitCursor() {
    static const HCURSOR wait = LoadCursorW(nullptr, MAKEINTRESOURCEW(32514));
    SetCursor(wait);
}

WaitCursor::~WaitCursor() {
    static const HCURSOR arrow = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));
    SetCursor(arrow);
}

void SetButtonChecked(GuiButton& button, bool on) {
    if (button.checked == on) return;
    button.checked = on;
    Repaint(button);
}

void ShowCurrentTab(GuiViewSet& views) {
    JobGroupUnit* job = ShownJob(views);
    // Each job keeps its own horizontal places in its side records, so
    // nothing is carried over from the job shown before.
    views.folderBox.SetJob(job);
    views.positionBar.rows = job ? &job->rows : nullptr;
    if (job) ApplyDetailKindFont(views, job->kind.kind);
    // The rows are those of the job; its sides were measured when its
    // content last changed.
    RefreshAfterJobChange(views, false);
    Repaint(views.folderBox);
    ShowEditableStates(views);
    ShowSimpleState(views);
    ShowFilterStates(views);
    // No view shows a closed job any more: now they may go.
    JobGroupList::Instance().PurgeClosed();
    Repaint(views.tabBar);
    if (views.folderBox.owner && views.folderBox.owner->window) {
        PostMessageW(views.folderBox.owner->window, WM_COMMAND, MAKEWPARAM(0, CmdRefreshButtons), 0);
    }
    ShowCursorRowDetails(views);
}

void RefreshAfterJobChange(GuiViewSet& views, bool measure) {
    GuiFolderBox& box = views.folderBox;
    const bool fromEdit = box.Job()->rowChanges.fromEdit;
    box.RebuildRows(measure);
    const uint32_t side = box.CurrentSide();
    if (side < 2) {
        const int32_t row = box.Job()->Side(side).cursorRow;
        if (row >= 0 && row < box.Count()) box.cursor = row;
    }
    box.InvalidateViews();
    Repaint(views.positionBar);
    Repaint(views.tabBar);
    // The rows were made again: the details take the cursor row anew.
    ShowCursorRowDetails(views);
    if (fromEdit) {
        const WinLayer::WinListBoxItemUnit* item = box.ItemAt(box.cursor);
        views.freshDetailsRow = item ? GuiFolderBox::ItemOf(*item) : nullptr;
    }
}

void ShowCursorRowDetails(GuiViewSet& views) {
    views.freshDetailsRow = nullptr;
    DetailBoxPair& pair = views.detailPair;
    JobGroupUnit* job = ShownJob(views);
    GuiFolderBox& box = views.folderBox;
    const WinLayer::WinListBoxItemUnit* item = job && box.Job() == job ? box.ItemAt(box.cursor) : nullptr;
    JobLayer::JobReportUnit* row = item ? GuiFolderBox::ItemOf(*item) : nullptr;
    // Without a row the boxes hold nothing that could outlive its job.
    if (!row) {
        pair.Reset();
        return;
    }
    pair.box1->record.InitWith(pair.box1, job, row, 0);
    pair.box2->record.InitWith(pair.box2, job, row, 1);
    pair.ShowJob();
}

int32_t MoveByDetailChange(GuiViewSet& views, int32_t d) {
    // The detail boxes grow only while the folder box keeps half the height
    // the three share: a huge view font would push it out of sight.
    const int64_t shared = static_cast<int64_t>(views.folderBox.Height()) + views.detail1.Height() +
                           views.detail2.Height();
    const int64_t least = (shared / 2 - views.folderBox.Height()) / 2;
    if (d < 0) d = static_cast<int32_t>(std::max<int64_t>(d, std::min<int64_t>(least, 0)));
    if (d == 0) return 0;
    // Counted before the box is resized: its view font stays fitted to the
    // height it shares with the detail boxes.
    views.folderBox.View().heightLent -= 2 * d;
    auto moveBy = [](WinLayer::WinView& view, LONG top, LONG bottom) {
        view.rect.top += top;
        view.rect.bottom += bottom;
        if (view.window) MoveWindow(view.window, view.rect.left, view.rect.top, view.Width(), view.Height(), TRUE);
    };
    moveBy(views.folderBox, 0, 2 * d);
    moveBy(views.positionBar, 0, 2 * d);
    moveBy(views.twinBar, 2 * d, 2 * d);
    moveBy(views.detail1, 2 * d, d);
    moveBy(views.detail2, d, 0);
    return d;
}

void ApplyDetailKindFont(GuiViewSet& views, uint32_t kind) {
    if (kind >= JobLayer::ViewFontCount) return;
    DetailBoxPair& pair = views.detailPair;
    // However large the kind's view font, the detail boxes show it in the
    // size the folder box fits it to, as the folder box does.
    const int32_t d = pair.ApplyFont(views.folderBox.FittedViewFont());
    // The line height the layout was made for, as far as it could follow.
    pair.lineHeight += d - MoveByDetailChange(views, d);
}

void FollowFittedViewFont(GuiViewSet& views) {
    JobGroupUnit* job = ShownJob(views);
    if (!job || job->kind.kind >= JobLayer::ViewFontCount) return;
    // The jobs of the kind were measured in the font's other size.
    for (JobGroupUnit& other : JobGroupList::Instance()) {
        if (&other != job && other.kind.kind == job->kind.kind)
            other.flags = static_cast<uint16_t>(other.flags | JobLayer::JobLayoutStale);
    }
    ApplyDetailKindFont(views, job->kind.kind);
    GuiFolderBox& box = views.folderBox;
    if (box.Job() != job) return;
    box.RemeasureColumns();
    // Every row is one row of the new size high; the selection stays.
    box.Refresh();
    Repaint(views.twinBar);
}

void ReloadSide(GuiViewSet& views, uint32_t mode) {
    JobGroupUnit* job = ShownJob(views);
    if (!job) return;
    WaitCursor wait;
    job->controller->Load(*job, mode);
    MarkTabState(*job);
    RefreshAfterJobChange(views);
}

void CompareCurrent(GuiViewSet& views) {
    JobGroupUnit* job = ShownJob(views);
    if (!job) return;
    WaitCursor wait;
    job->controller->Compare(*job);
    MarkTabState(*job);
    RefreshAfterJobChange(views);
}

void SaveSide(GuiViewSet& views, uint32_t mode) {
    JobGroupUnit* job = ShownJob(views);
    if (!job) return;
    WaitCursor wait;
    job->controller->SaveFile(*job, mode);
    MarkTabState(*job);
    views.folderBox.InvalidateViews();
    Repaint(views.tabBar);
}

void CopyLines(GuiViewSet& views, JobLayer::JobViewEditor& editor, uint32_t direction) {
    RunRowCommand(views, editor, direction, JobLayer::CommandCopyLinesTo);
}

void DeleteLines(GuiViewSet& views, JobLayer::JobViewEditor& editor, uint32_t side) {
    RunRowCommand(views, editor, side, JobLayer::CommandDeleteLines);
}

void ShowEditableStates(GuiViewSet& views) {
    const JobGroupUnit* job = ShownJob(views);
    SetButtonChecked(views.buttons[BtnEditable1], job && job->edit.edit1);
    SetButtonChecked(views.buttons[BtnEditable2], job && job->edit.edit2);
}

void ShowSimpleState(GuiViewSet& views) {
    const JobGroupUnit* job = ShownJob(views);
    SetButtonChecked(views.buttons[BtnSimple], job && job->edit.simple);
}

void ApplySimpleState(GuiViewSet& views) {
    JobGroupUnit* job = ShownJob(views);
    if (job) {
        job->edit.simple = views.buttons[BtnSimple].checked ? 1 : 0;
        views.folderBox.LayoutColumns();
    }
    ShowSimpleState(views);
}

void ShowFilterStates(GuiViewSet& views) {
    const JobGroupUnit* job = ShownJob(views);
    const uint16_t word = job ? job->statusMask : static_cast<uint16_t>(FilterAll);
    static constexpr uint16_t kBits[4] = {FilterSame, FilterDifferent, FilterOnly1, FilterOnly2};
    for (int32_t i = 0; i < 4; ++i) SetButtonChecked(views.FilterButton(i), (word & kBits[i]) != 0);
}

uint16_t FilterWordOfButtons(GuiViewSet& views) {
    const bool same = views.FilterButton(0).checked;
    const bool different = views.FilterButton(1).checked;
    uint16_t word = 12;
    if (same) word |= FilterSame;
    if (different) word |= FilterDifferent;
    if (!views.FilterButton(2).checked) word = static_cast<uint16_t>(word & ~FilterOnly1);
    if (!views.FilterButton(3).checked) word = static_cast<uint16_t>(word & ~FilterOnly2);
    return word;
}

void ApplyFilterButtons(GuiViewSet& views) { SetFilterWord(views, FilterWordOfButtons(views)); }

void SetFilterWord(GuiViewSet& views, uint16_t word) {
    JobGroupUnit* job = ShownJob(views);
    if (job) {
        job->statusMask = word;
        views.folderBox.ApplyFilter();
    }
    ShowFilterStates(views);
}

void ApplyViewFontChange(GuiViewSet& views, uint32_t kind) {
    for (JobGroupUnit& job : JobGroupList::Instance()) {
        if (job.kind.kind == kind) job.flags = static_cast<uint16_t>(job.flags | JobLayer::JobLayoutStale);
    }
    JobGroupUnit* job = ShownJob(views);
    if (!job || job->kind.kind != kind) return;
    ApplyDetailKindFont(views, kind);
    GuiFolderBox& box = views.folderBox;
    box.SetJob(job);
    box.scroll = POINT{};
    box.RebuildRows();
}

}  // namespace AppLayer
