// The view set: every child of the main window constructed, no window yet.
#include "tavrel/app/view_set.h"

namespace AppLayer {

GuiViewSet::GuiViewSet() {
    tabBar.Construct();
    // Tabs move by dragging: refused places show "no", accepted ones a hand.
    tabBar.DragPart().noDropCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32648));
    tabBar.DragPart().dropCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32649));
    twinBar.Construct();
    folderBox.Construct();
    positionBar.Construct();
    positionBar.differing = &folderBox.RowsNotSame();
    for (GuiButton& button : buttons) button.Construct();
    detail1.Construct();
    detail2.Construct();
    detailPair.box1 = &detail1;
    detailPair.box2 = &detail2;
    divider.Construct(false, &anchors[AnchorViewArea], &anchors[AnchorStatusArea]);
    statusBox.Construct();
    folderBox.View().twinBar = &twinBar;
    twinBar.scrollOwner = &folderBox;
    // A job a tab lets go of is no longer shown by the box: the box moves
    // to the current job (or the spare one) before the job can be closed.
    tabBar.releasing = [this](JobGroupUnit* job) {
        // The tab's own reference is about to go.
        if (job->useCount <= 1) folderBox.ForgetJob(job);
        JobGroupUnit* shown = tabBar.CurrentJob();
        // Nor may the position bar and the detail boxes keep reading the
        // rows of a job that goes.
        if (positionBar.rows == &job->rows) positionBar.rows = (shown && shown != job) ? &shown->rows : nullptr;
        if (detailPair.ShowsJob(job)) detailPair.Reset();
        if (folderBox.Job() != job) return;
        folderBox.SetJob(shown == job ? nullptr : shown);
        folderBox.RebuildRows();
    };
}

}  // namespace AppLayer
