// The tab bar of the main window: one tab per compare job. Each tab holds a
// counted reference to its job; putting a job into a tab adds one use, and
// taking it out removes it and hands the job to the job list, which closes
// it once nothing uses it. The strip is never empty.
#pragma once

#include <windows.h>
#include <shellapi.h>

#include <cstdint>
#include <functional>

#include "base/raw_string.h"
#include "tavrel/jobs/job_group.h"
#include "toolkit/tab_bar.h"

namespace AppLayer {

using JobLayer::JobGroupUnit;
using RawLayer::RawRange;
using RawLayer::RawString;
using WinLayer::WinTabBarItemUnit;

// The caption of a pair: the two name parts joined by "/", or one name when
// both are the same (ASCII case ignored); an empty side shows as "*".
RawString PairCaption(const RawString& path1, const RawString& path2);

class GuiTabBar : public WinLayer::WinTabBar {
public:
    // Notifications to the owner.
    static constexpr uint16_t kFocusFolderBoxCode = 4365;
    static constexpr uint16_t kDeleteCurrentTabCode = 4395;

    // Makes the view the tab bar with the caption "Initial".
    void Construct();

    // Puts a job into a new tab before the item (at the end without one) and
    // makes it current; a job that has a tab already only selects that tab.
    WinTabBarItemUnit* InsertJob(WinTabBarItemUnit* before, JobGroupUnit* job);
    // Points the current tab at the job of its pair with one path replaced
    // (side 0 the first, 1 the second); nothing without a current tab.
    void LoadSide(uint32_t side, const RawString& path);
    // The current tab on a pair in one step: the job of the two paths.
    void LoadPair(const RawString& path1, const RawString& path2);
    static void SetTabCaption(WinTabBarItemUnit& item, const JobGroupUnit& job);

    // The job of a tab; none for a null tab.
    static JobGroupUnit* JobOf(const WinTabBarItemUnit* item);
    JobGroupUnit* CurrentJob() const { return JobOf(current); }
    // Takes the job out of every tab, releasing each reference once, and
    // empties the strip (the window is closing).
    void ReleaseAllJobs();

    void SelectTab(WinTabBarItemUnit* item) override;
    void RemoveTab(WinTabBarItemUnit* item) override;
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    void OnCreated() override;
    // The tab menu of the tab under the right button.
    void OnContextMenu(POINT point, WinTabBarItemUnit* item) override;
    // The current tab's menu from a key (4358): at the bottom of the bar,
    // below the current tab.
    void OpenCurrentTabMenu();
    // A tab-menu choice; the tab is looked up again, for it may have gone
    // while the choice travelled.
    LRESULT OnMenuCommand(WPARAM command, LPARAM value) override;
    // A dragged tab lands in front of the tab it was dropped on (at the end
    // past the last), keeping its job.
    void Drop(int32_t dropEffect, int32_t targetIndex, int32_t sourceIndex) override;
    // Dropped files: a group file, or one or two paths for the current tab.
    void OnDropFiles(HDROP drop);

    // Asked before a tab lets go of a job (a closed tab, a replaced pair);
    // false keeps the tab as it is. Unset: always let go.
    std::function<bool(JobGroupUnit*)> confirmRelease;
    // Told before a tab lets go of a job, while the job still exists.
    std::function<void(JobGroupUnit*)> releasing;

    // A walk over every tab's job, in strip order from the first tab.
    class GroupEnumeration {
    public:
        virtual ~GroupEnumeration() {}
        virtual void Apply(JobGroupUnit& job) = 0;
    };
    void Enumerate(GroupEnumeration& walk) const;

    // Set while the left button went down with neither Ctrl nor Shift.
    uint8_t plainClick = 0;

private:
    // The tab takes the job: the old job's reference goes, the new one's
    // comes.
    void HoldJob(WinTabBarItemUnit& item, JobGroupUnit* job);
    static void ReleaseJob(JobGroupUnit* job);
    void RefreshTabColours();
};

}  // namespace AppLayer
