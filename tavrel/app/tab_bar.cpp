// The tab bar: tabs holding counted job references, captions and colours.
#include "tavrel/app/tab_bar.h"

#include "base/api_text.h"
#include "base/clipboard.h"
#include "base/file_system.h"
#include "base/language.h"
#include "base/line_file.h"
#include "base/profile.h"
#include "tavrel/app/command_codes.h"
#include "tavrel/jobs/gui_profile.h"
#include "tavrel/jobs/pair_line.h"
#include "tavrel/jobs/shell_commands.h"
#include "toolkit/popup_menu.h"
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

RAW_CONSTANT_TEXT(TabMenuSectionText, "TabMenu")
RAW_CONSTANT_TEXT(Side1PrefixText, "[1] ")
RAW_CONSTANT_TEXT(Side2PrefixText, "[2] ")

const RawLayer::RawLocaleRecord* TabMenuTexts() {
    static const RawLayer::RawLocaleRecord table[] = {
        {"ClipSide1", "Copy side1 path to clipboard."},
        {"ClipSide2", "Copy side2 path to clipboard."},
        {"ClipTab", "Copy tab pair paths to clipboard."},
        {"SavePairs", "Save each tab pairs to file for reuse."},
        {"ReloadTab", "Reload tab."},
        {"ReloadAll", "Reload all tabs."},
        {"DeleteTab", "Delete tab."},
        {"ParentTab", "Open parent tab."},
        {"OpenClipPaths", "Open tab by pair paths in clipboard."},
        {"LoadClipSide1", "Load side1 by path in clipboard."},
        {"LoadClipSide2", "Load side2 by path in clipboard."},
        {"NewDialog", "Open new dialog with current tab."},
        {"SelectTab", "Select specified tab."},
        {"", ""},
    };
    return table;
}

// The tab menu's ids: 1 to 14 the items, from 15 one per tab.
enum TabMenuId : UINT {
    MenuOpen1 = 1,
    MenuOpen2,
    MenuClipSide1,
    MenuClipSide2,
    MenuClipTab,
    MenuSavePairs,
    MenuReloadTab,
    MenuReloadAll,
    MenuDeleteTab,
    MenuParentTab,
    MenuOpenClipPaths,
    MenuLoadClipSide1,
    MenuLoadClipSide2,
    MenuNewDialog,
    MenuFirstTab = 15,
    MenuLastTab = 115,
};

// Whether the file's first line begins with the group marker.
bool IsGroupFile(const RawString& path) {
    RawLayer::RawLineFile file(path);
    if (!file.Open() || !file.ReadLine()) return false;
    const RawString& line = file.Line().text;
    return line.EqualsAt(0, JobLayer::GroupMarkerText(), JobLayer::GroupMarkerText().All());
}

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
    // Files dropped from the shell open in the current tab.
    exStyle |= WS_EX_ACCEPTFILES;
}

void GuiTabBar::OnCreated() {
    WinTabBar::OnCreated();
    if (window) DragAcceptFiles(window, TRUE);
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
    if (held && releasing) releasing(held);
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

void GuiTabBar::LoadPair(const RawString& givenPath1, const RawString& givenPath2) {
    if (!current) return;
    // The job takes the long forms: a short name of the held job's own
    // file is that file.
    const RawString path1 = RawLayer::LongPathForm(givenPath1);
    const RawString path2 = RawLayer::LongPathForm(givenPath2);
    JobGroupUnit* held = CurrentJob();
    if (held && (!RawString::EqualsNoCase(held->Path(0), path1) || !RawString::EqualsNoCase(held->Path(1), path2)) &&
        confirmRelease && !confirmRelease(held)) {
        return;
    }
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
    if (confirmRelease && !confirmRelease(JobOf(item))) return;
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
    if (job && releasing) releasing(job);
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
            item.textColour = WinLayer::ListTextColor();
        }
        job->flags = static_cast<uint16_t>(job->flags & ~JobLayer::JobTabStateChanged);
    }
}

LRESULT GuiTabBar::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_LBUTTONDOWN:
        plainClick = (!WinLayer::KeyHeld(VK_CONTROL) && !WinLayer::KeyHeld(VK_SHIFT)) ? 1 : 0;
        break;
    case WM_LBUTTONUP:
        plainClick = 0;
        break;
    case WM_DRAWITEM:
        RefreshTabColours();
        break;
    case WM_DROPFILES:
        OnDropFiles(reinterpret_cast<HDROP>(wParam));
        return 0;
    case WM_KEYDOWN:
        if (wParam == kKeyW && WinLayer::KeyHeld(VK_CONTROL)) {
            SendCommand(kDeleteCurrentTabCode);
            return 0;
        }
        break;
    default:
        break;
    }
    return WinTabBar::OnMessage(message, wParam, lParam);
}

void GuiTabBar::Drop(int32_t, int32_t targetIndex, int32_t sourceIndex) {
    MoveItem(targetIndex, sourceIndex);
    if (window) InvalidateRect(window, nullptr, FALSE);
}

void GuiTabBar::OnDropFiles(HDROP drop) {
    const UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
    if (count > 0) {
        JobLayer::StartSource& source = JobLayer::GuiProfileStore::Instance().startSource;
        // Wide names: a name outside the ANSI code page arrives whole.
        const RawString first = RawLayer::ApiDragQueryFile(drop, 0, RawLayer::KindUtf8);
        source.path1 = first;
        source.path2 = RawString();
        if (IsGroupFile(first)) {
            source.kind = JobLayer::StartGroupFile;
        } else if (count >= 2) {
            source.kind = JobLayer::StartBothSides;
            source.path2 = RawLayer::ApiDragQueryFile(drop, 1, RawLayer::KindUtf8);
        } else {
            source.kind = JobLayer::StartSide1;
        }
        if (window) PostMessageW(window, WM_COMMAND, MAKEWPARAM(controlId, CmdOpenStartSource), 0);
    }
    DragFinish(drop);
}

void GuiTabBar::OnContextMenu(POINT point, WinTabBarItemUnit* item) {
    if (!item || !items.Contains(item)) return;
    const JobGroupUnit* job = JobOf(item);
    const RawString section = RawLayer::LanguageTable::Lookup(TabMenuSectionText(), TabMenuTexts());
    auto text = [&section](const char* key) {
        return RawLayer::LanguageTable::Text(section, RawString::FromText(key));
    };
    WinLayer::WinPopupMenu menu;
    if (!menu.Reset()) return;
    const RawString path1 = job ? job->Path(0) : RawString();
    const RawString path2 = job ? job->Path(1) : RawString();
    menu.AppendItem(RawString::ConcatMany(Side1PrefixText(), path1, RawString()), MenuOpen1);
    menu.AppendItem(RawString::ConcatMany(Side2PrefixText(), path2, RawString()), MenuOpen2);
    menu.AppendSeparator();
    menu.AppendItem(text("ClipSide1"), MenuClipSide1);
    menu.AppendItem(text("ClipSide2"), MenuClipSide2);
    menu.AppendItem(text("ClipTab"), MenuClipTab);
    menu.AppendItem(text("SavePairs"), MenuSavePairs);
    menu.AppendSeparator();
    menu.AppendItem(text("ReloadTab"), MenuReloadTab);
    menu.AppendItem(text("ReloadAll"), MenuReloadAll);
    menu.AppendItem(text("DeleteTab"), MenuDeleteTab);
    menu.AppendSeparator();
    menu.AppendItem(text("ParentTab"), MenuParentTab);
    menu.AppendItem(text("OpenClipPaths"), MenuOpenClipPaths);
    menu.AppendItem(text("LoadClipSide1"), MenuLoadClipSide1);
    menu.AppendItem(text("LoadClipSide2"), MenuLoadClipSide2);
    menu.AppendItem(text("NewDialog"), MenuNewDialog);
    menu.AppendSeparator();
    HMENU tabs = CreatePopupMenu();
    if (tabs) {
        UINT id = MenuFirstTab;
        for (const WinTabBarItemUnit& tab : items) {
            if (id > MenuLastTab) break;
            const RawString caption = WinLayer::MenuText(tab.text).As(RawLayer::KindUtf16);
            AppendMenuW(tabs, MF_STRING, id++, caption.Wide());
        }
        const RawString title = text("SelectTab").As(RawLayer::KindUtf16);
        if (!InsertMenuW(menu.Handle(), static_cast<UINT>(-1), MF_BYPOSITION | MF_POPUP | MF_STRING,
                         reinterpret_cast<UINT_PTR>(tabs), title.Wide())) {
            DestroyMenu(tabs);
        }
    }
    WinLayer::PopupMenuAt(menu, *this, point, reinterpret_cast<LPARAM>(item));
    // Texts the menu met for the first time go to the language file.
    RawLayer::LanguageTable::SaveChanges();
}

void GuiTabBar::OpenCurrentTabMenu() {
    if (!window || !current) return;
    RECT client{};
    ::GetClientRect(window, &client);
    OnContextMenu(POINT{std::max<LONG>(current->left - offset, 0), client.bottom}, current);
}

LRESULT GuiTabBar::OnMenuCommand(WPARAM command, LPARAM value) {
    auto* item = reinterpret_cast<WinTabBarItemUnit*>(value);
    // The tab may have been closed while the choice was posted.
    if (!item || !items.Contains(item)) return 0;
    const UINT id = static_cast<UINT>(command);
    const JobGroupUnit* job = JobOf(item);
    const RawString path1 = job ? job->Path(0) : RawString();
    const RawString path2 = job ? job->Path(1) : RawString();
    auto selectThenSend = [this, item](uint16_t code) {
        SelectTab(item);
        SendCommand(code);
    };
    switch (id) {
    case MenuOpen1:
    case MenuOpen2: {
        const RawString& path = id == MenuOpen1 ? path1 : path2;
        if (!path.IsEmpty()) JobLayer::ShellCommandStore::Instance().openCommands.OpenPath(path, 0);
        break;
    }
    case MenuClipSide1:
        RawLayer::ClipboardSetText(path1);
        break;
    case MenuClipSide2:
        RawLayer::ClipboardSetText(path2);
        break;
    case MenuClipTab:
        selectThenSend(CmdClipTab);
        break;
    case MenuSavePairs:
        selectThenSend(CmdSavePairs);
        break;
    case MenuReloadTab:
        selectThenSend(CmdReloadTab);
        break;
    case MenuReloadAll:
        SendCommand(CmdReloadAll);
        break;
    case MenuDeleteTab:
        RemoveTab(item);
        break;
    case MenuParentTab:
        selectThenSend(CmdOpenParentTab);
        break;
    case MenuOpenClipPaths:
        SendCommand(CmdOpenClipPaths);
        break;
    case MenuLoadClipSide1:
        SendCommand(CmdLoadClipSide1);
        break;
    case MenuLoadClipSide2:
        SendCommand(CmdLoadClipSide2);
        break;
    case MenuNewDialog:
        selectThenSend(CmdNewDialog);
        break;
    default:
        if (id >= MenuFirstTab && id <= MenuLastTab) {
            WinTabBarItemUnit* chosen = ItemAtIndex(static_cast<int32_t>(id - MenuFirstTab));
            if (chosen) SelectTab(chosen);
        }
        break;
    }
    return 0;
}

}  // namespace AppLayer
