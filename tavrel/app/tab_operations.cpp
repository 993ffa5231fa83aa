// Tab operations: start source, pair texts and the pair file.
#include "tavrel/app/tab_operations.h"

#include "base/api_text.h"
#include "base/file_system.h"
#include "base/line_file.h"
#include "tavrel/app/current_tab.h"
#include "tavrel/jobs/pair_line.h"

namespace AppLayer {

using JobLayer::JobGroupList;
using RawLayer::RawString;

namespace {

RAW_CONSTANT_TEXT(TemporarySuffixText, ".tmp")

void FocusFolderBox(GuiViewSet& views) {
    if (views.folderBox.window) SetFocus(views.folderBox.window);
}

// The current tab goes when it holds an empty job (kind none).
void DropEmptyTab(GuiViewSet& views, WinTabBarItemUnit* tab) {
    const JobGroupUnit* job = GuiTabBar::JobOf(tab);
    if (tab && job && job->kind.kind == JobLayer::KindNone && views.tabBar.Count() > 1) {
        views.tabBar.RemoveTab(tab);
    }
}

}  // namespace

bool OpenPairText(GuiViewSet& views, const RawString& text) {
    JobLayer::TabPairRecord pair;
    if (!JobLayer::ParseTabPairLine(pair, text)) return false;
    JobGroupUnit* job = JobGroupList::Instance().FindOrOpenPair(pair.path1, pair.path2);
    if (!job) return false;
    if (pair.hasOptions) {
        job->statusMask = pair.statusMask;
        job->edit = pair.edit;
    }
    GuiTabBar& bar = views.tabBar;
    WinTabBarItemUnit* before = bar.current;
    bar.InsertJob(bar.NextItem(before), job);
    DropEmptyTab(views, before);
    if (bar.window) InvalidateRect(bar.window, nullptr, FALSE);
    return true;
}

void OpenStartSource(GuiViewSet& views, const JobLayer::StartSource& source) {
    switch (source.kind) {
    case JobLayer::StartPairText:
        OpenPairText(views, source.path1);
        return;
    case JobLayer::StartSide1:
        FocusFolderBox(views);
        views.tabBar.LoadSide(0, source.path1);
        break;
    case JobLayer::StartSide2:
        FocusFolderBox(views);
        views.tabBar.LoadSide(1, source.path2);
        break;
    case JobLayer::StartBothSides:
        FocusFolderBox(views);
        views.tabBar.LoadPair(source.path1, source.path2);
        break;
    default:
        return;
    }
    ShowCurrentTab(views);
}

RawString PairLineOf(const JobGroupUnit& job) {
    return JobLayer::FormatTabPairLine(job.Path(0), job.Path(1), job.statusMask, job.edit);
}

bool WriteTabPairFile(const GuiTabBar& tabBar, const RawString& path) {
    if (path.IsEmpty()) return false;
    const RawString temporary = path.Concat(TemporarySuffixText());
    bool written = false;
    {
        RawLayer::RawLineFile file(temporary);
        written = file.BeginWrite();
        for (const WinTabBarItemUnit& tab : tabBar.items) {
            const JobGroupUnit* job = GuiTabBar::JobOf(&tab);
            if (!written || !job) continue;
            written = file.WriteLine(PairLineOf(*job)) && file.WriteLine(RawLayer::LineBreakText());
        }
        written = file.Close() && written;
    }
    if (written) {
        written = RawLayer::ApiMoveFileEx(temporary, path, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
    }
    if (!written) RawLayer::ApiDeleteFile(temporary);
    return written;
}

}  // namespace AppLayer
