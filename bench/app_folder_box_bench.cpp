// The folder box on a text pair of 100,000 lines with 1 % of them changed:
// the rebuild of the rows plus the first paint, a repaint of one screen, a
// page scroll at the end of the list, a switch between two such tabs, and
// a window resize; best of the rounds, in seconds. The pairs are loaded and
// compared before the clock runs.
//
//   app_folder_box_bench FILE1 FILE2 [ROUNDS]

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>

#include "bench/app_bench.h"
#include "tavrel/app/start_up.h"
#include "tavrel/jobs/config_store.h"
#include "tavrel/jobs/job_group.h"
#include "toolkit/dialog.h"

using namespace JobLayer;
using RawLayer::RawString;

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: app_folder_box_bench FILE1 FILE2 [ROUNDS]\n");
        return 2;
    }
    int rounds = argc > 3 ? std::atoi(argv[3]) : 5;
    rounds = std::min(std::max(rounds, 1), 20);
    const std::wstring folder = AppBench::ProgramFolder(L"tavrel_folder_box_bench");
    const RawString left = RawString::FromText(argv[1]);
    const RawString right = RawString::FromText(argv[2]);
    {
        AppLayer::GuiApplication application(GetModuleHandleW(nullptr));
        if (!AppBench::StartMainWindow(application, folder)) return 1;
        // Both sides whole: no cut at the loading limit.
        JobLayer::ConfigStore::Instance().maxTextLoading = JobLayer::MaxTextLoadingLimit;
        AppLayer::GuiViewSet& views = application.dialog->views;
        AppLayer::GuiFolderBox& box = views.folderBox;
        ShowWindow(application.dialog->window, SW_SHOW);
        AppBench::Pump();
        // Two tabs of the pair, the second with the sides swapped.
        JobGroupUnit* first = JobGroupList::Instance().FindOrOpenPair(left, right);
        JobGroupUnit* second = JobGroupList::Instance().FindOrOpenPair(right, left);
        if (!first || !second) {
            std::fprintf(stderr, "the pair did not load\n");
            return 1;
        }
        // Both stay in tabs for the whole run: a tab's reference keeps its
        // job alive.
        views.tabBar.InsertJob(nullptr, second);
        views.tabBar.InsertJob(nullptr, first);
        AppBench::Pump();
        const double rebuild = AppBench::Best(rounds, [] {}, [&] {
            box.RebuildRows();
            AppBench::Paint(box.window);
        });
        const int32_t rows = box.Count();
        const double repaint = AppBench::Best(rounds, [] {}, [&] { AppBench::Paint(box.window); });
        const double scroll = AppBench::Best(
            rounds,
            [&] {
                box.ScrollToEnd();
                box.scroll.y = std::max<LONG>(0, box.scroll.y - 3 * (box.clientRect.bottom - box.clientRect.top));
                AppBench::Paint(box.window);
            },
            [&] {
                SendMessageW(box.window, WM_VSCROLL, SB_PAGEDOWN, 0);
                UpdateWindow(box.window);
            });
        WinLayer::WinTabBarItemUnit* tab1 = views.tabBar.FindItemByData(first);
        WinLayer::WinTabBarItemUnit* tab2 = views.tabBar.FindItemByData(second);
        const double tabSwitch = AppBench::Best(
            rounds, [] {},
            [&] {
                views.tabBar.SelectTab(views.tabBar.current == tab1 ? tab2 : tab1);
                UpdateWindow(box.window);
            });
        RECT rect{};
        GetWindowRect(box.window, &rect);
        MapWindowPoints(nullptr, GetParent(box.window), reinterpret_cast<POINT*>(&rect), 2);
        int grow = 0;
        const double resize = AppBench::Best(
            rounds, [] {},
            [&] {
                grow = grow ? 0 : 16;
                MoveWindow(box.window, rect.left, rect.top, rect.right - rect.left - grow, rect.bottom - rect.top,
                           TRUE);
                UpdateWindow(box.window);
            });
        std::printf("rows %d\n", rows);
        std::printf("rebuild %.4f\n", rebuild);
        std::printf("repaint %.4f\n", repaint);
        std::printf("scroll %.4f\n", scroll);
        std::printf("switch %.4f\n", tabSwitch);
        std::printf("resize %.4f\n", resize);
        DestroyWindow(application.dialog->window);
        AppBench::Pump();
    }
    DeleteFileW((folder + L"\\Tavrel.ini").c_str());
    RemoveDirectoryW(folder.c_str());
    return 0;
}
