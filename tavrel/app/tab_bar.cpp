// The tab bar: tabs holding counted job references, captions and colours.
#include "tavrel/app/tab_bar.h"

#include "base/profile.h"
#include "tavrel/jobs/config_store.h"
#include "toolkit/environment.h"
#include "toolkit/win_message.h"

namespace AppLayer {

using JobLayer::JobGroupList;
using JobLayer::JobKindType;

namespace {

RAW_CONSTANT_TEXT(InitialCaptionText, "Initial")
RAW_CONSTANT_TEXT(EmptySideText, "*")
RAW_CONSTANT_TEXT(CaptionJoinText, "/")

constexpr WPARAM kKeyW = 'W';

RawString NameOf(const RawString& path) {
    if (path.IsEmpty()) return EmptySideText();
    RawString name;
    name.AssignRange(path, RawLayer::PathNameRange(path));
    return name;
}

}  // namespace

RawString PairCaption(const RawString& path1, const RawString& path2) {
    const RawString name1 = NameOf(path1);
    const RawString name2 = NameOf(path2);
    if (!name1.Equals(EmptySideText()) && RawString::EqualsNoCase(name1, name2)) return name1;
    return RawString::ConcatMany(name1, CaptionJoinText(), name2);
}

void GuiTabBar::Construct() {
    WinTabBar::Construct();
    SetText(InitialCaptionText());
}

JobGroupUnit* GuiTabBar::JobOf(const WinTabBarItemUnit* item) {
    return item ? static_cast<JobGroupUnit*>(item->data) : nullptr;
}

void GuiTabBar::ReleaseJob(JobGroupUnit* job) {
    if (!job) return;
    if (job->useCount > 0) --job->useCount;
    JobGroupList::Instance().CloseJob(job);
}

void GuiTabBar::HoldJob(WinTabBarItemUnit& item, JobGroupUnit* job) {
    JobGroupUnit* held = JobOf(&item);
    if (held == job) return;
    item.data = job;
    if (job) ++job->useCount;
    ReleaseJob(held);
}

void GuiTabBar::SetTabCaption(WinTabBarItemUnit& item, const JobGroupUnit& job) {
    item.text = PairCaption(job.Path(0), job.Path(1));
    item.left = 0;
    item.right = 0;
}

WinTabBarItemUnit* GuiTabBar::InsertJob(WinTabBarItemUnit* before, JobGroupUnit* job) {
    if (!job) return nullptr;
    WinTabBarItemUnit* item = FindItemByData(job);
    if (!item) {
        if (before && items.Contains(before)) {
            item = new WinTabBarItemUnit();
            InitItem(*item);
            item->text = EmptySideText();
            items.InsertBefore(items.FindLink(before), item);
        } else {
            item = AddItem(EmptySideText(), nullptr);
        }
        HoldJob(*item, job);
        SetTabCaption(*item, *job);
    }
    job->flags = static_cast<uint16_t>(job->flags | JobLayer::JobTabStateChanged);
    SelectTab(item);
    return item;
}

void GuiTabBar::LoadPair(const RawString& path1, const RawString& path2) {
    if (!current) return;
    JobGroupUnit* job = JobGroupList::Instance().FindOrOpenPair(path1, path2);
    if (!job) return;
    HoldJob(*current, job);
    job->flags = static_cast<uint16_t>(job->flags | JobLayer::JobTabStateChanged);
    SetTabCaption(*current, *job);
    if (window) InvalidateRect(window, nullptr, FALSE);
}

void GuiTabBar::LoadSide(uint32_t side, const RawString& path) {
    const JobGroupUnit* job = CurrentJob();
    if (!current || !job) return;
    if (side == 0) {
        LoadPair(path, job->Path(1));
    } else {
        LoadPair(job->Path(0), path);
    }
}

void GuiTabBar::ReleaseAllJobs() {
    // Each tab's pointer is cleared as its job is released, so nothing
    // later (the strip's own teardown) can reach a job that is gone.
    while (WinTabBarItemUnit* item = items.First()) {
        JobGroupUnit* job = JobOf(item);
        item->data = nullptr;
        items.Remove(item);
        ReleaseJob(job);
    }
    current = nullptr;
    hitItem = nullptr;
}

void GuiTabBar::SelectTab(WinTabBarItemUnit* item) {
    WinTabBar::SelectTab(item);
    if (plainClick && window && owner) {
        PostMessageW(window, WM_COMMAND, MAKEWPARAM(controlId, kFocusFolderBoxCode), 0);
    }
}

void GuiTabBar::RemoveTab(WinTabBarItemUnit* item) {
    if (!item || !items.Contains(item)) return;
    if (item == current) {
        if (SelectNeighbour(item)) {
            SelectTab(current);
        } else {
            JobGroupUnit* fresh = JobGroupList::Instance().CreateUnit(JobKindType::FromKind(JobLayer::KindNone));
            InsertJob(nullptr, fresh);
        }
    }
    JobGroupUnit* job = JobOf(item);
    item->data = nullptr;
    WinTabBar::RemoveTab(item);
    ReleaseJob(job);
}

void GuiTabBar::RefreshTabColours() {
    const JobLayer::ColorTable& colours = JobLayer::ConfigStore::Instance().colors;
    for (WinTabBarItemUnit& item : items) {
        JobGroupUnit* job = JobOf(&item);
        if (!job || !(job->flags & JobLayer::JobTabStateChanged)) continue;
        if (job->parent) {
            item.flags = static_cast<uint16_t>(item.flags & ~WinTabBarItemUnit::ItemShadow);
        } else {
            item.flags = static_cast<uint16_t>(item.flags | WinTabBarItemUnit::ItemShadow);
        }
        if (job->flags & JobLayer::JobChanged) {
            item.textColour = colours.tabModifiedColor;
        } else if (job->flags & JobLayer::JobSame) {
            item.textColour = colours.tabSameColor;
        } else {
            item.textColour = WinLayer::TabTextColor();
        }
        job->flags = static_cast<uint16_t>(job->flags & ~JobLayer::JobTabStateChanged);
    }
}

LRESULT GuiTabBar::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_LBUTTONDOWN:
        plainClick = (GetKeyState(VK_CONTROL) >= 0 && GetKeyState(VK_SHIFT) >= 0) ? 1 : 0;
        break;
    case WM_LBUTTONUP:
        plainClick = 0;
        break;
    case WM_DRAWITEM:
        RefreshTabColours();
        break;
    case WM_KEYDOWN:
        if (wParam == kKeyW && GetKeyState(VK_CONTROL) < 0) {
            SendCommand(kDeleteCurrentTabCode);
            return 0;
        }
        break;
    default:
        break;
    }
    return WinTabBar::OnMessage(message, wParam, lParam);
}

}  // namespace AppLayer
