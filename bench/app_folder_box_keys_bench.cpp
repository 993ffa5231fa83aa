// The folder box's key actions on a text pair of 100,000 lines whose first
// 99,990 lines are the same: "MoveCursorDown" 1,000 times from row 99,000
// (each step with its repaint; the slowest and the mean step), one
// "GotoNextDiffrentLine" from row 0 across the same rows, and "SelectAll"
// with its repaint (best of the rounds), in seconds.
//
//   app_folder_box_keys_bench FILE1 FILE2 [ROUNDS]

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "bench/app_bench.h"
#include "tavrel/app/start_up.h"
#include "tavrel/jobs/config_store.h"
#include "tavrel/jobs/job_group.h"
#include "toolkit/dialog.h"

using namespace JobLayer;
using RawLayer::RawString;

namespace {

// Runs one action by name on the box and paints what it changed.
double TimedAction(AppLayer::GuiFolderBox& box, const char* name) {
    const JobActionUnit action(RawString::FromText(name), RawLayer::RawStringList(true));
    LARGE_INTEGER t0, t1;
    QueryPerformanceCounter(&t0);
    box.ActionDispatch(action);
    UpdateWindow(box.window);
    QueryPerformanceCounter(&t1);
    return Seconds(t0, t1);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: app_folder_box_keys_bench FILE1 FILE2 [ROUNDS]\n");
        return 2;
    }
    const int rounds = std::min(std::max(argc > 3 ? std::atoi(argv[3]) : 5, 1), 20);
    const std::wstring folder = AppBench::ProgramFolder(L"tavrel_folder_box_keys_bench");
    {
        AppLayer::GuiApplication application(GetModuleHandleW(nullptr));
        if (!AppBench::StartMainWindow(application, folder)) return 1;
        JobLayer::ConfigStore::Instance().maxTextLoading = JobLayer::MaxTextLoadingLimit;
        AppLayer::GuiViewSet& views = application.dialog->views;
        AppLayer::GuiFolderBox& box = views.folderBox;
        ShowWindow(application.dialog->window, SW_SHOW);
        AppBench::Pump();
        JobGroupUnit* job =
            JobGroupList::Instance().FindOrOpenPair(RawString::FromText(argv[1]), RawString::FromText(argv[2]));
        if (!job) {
            std::fprintf(stderr, "the pair did not load\n");
            return 1;
        }
        views.tabBar.InsertJob(nullptr, job);
        AppBench::Pump();
        SetFocus(box.window);
        box.SetCurrentSide(0);
        double slowest = 0, total = 0;
        int steps = 0;
        // Steps over 16 ms: a frame missed.
        int missed = 0;
        double jump = -1, selectAll = -1;
        for (int round = 0; round < rounds; ++round) {
            box.ClearSelection();
            box.GotoRow(99000, false);
            AppBench::Pump();
            for (int i = 0; i < 1000; ++i) {
                const double s = TimedAction(box, "MoveCursorDown");
                slowest = std::max(slowest, s);
                if (s > 0.016) ++missed;
                total += s;
                ++steps;
            }
            box.ClearSelection();
            box.GotoRow(0, false);
            AppBench::Pump();
            const double j = TimedAction(box, "GotoNextDiffrentLine");
            jump = jump < 0 ? j : std::min(jump, j);
            AppBench::Pump();
            const double a = TimedAction(box, "SelectAll");
            selectAll = selectAll < 0 ? a : std::min(selectAll, a);
            AppBench::Pump();
        }
        std::printf("rows %d\n", box.Count());
        std::printf("cursor %d\n", box.cursor);
        std::printf("down-slowest %.4f\n", slowest);
        std::printf("down-mean %.4f\n", total / std::max(steps, 1));
        std::printf("down-missed %d of %d\n", missed, steps);
        std::printf("next-diff %.4f\n", jump);
        std::printf("select-all %.4f\n", selectAll);
        DestroyWindow(application.dialog->window);
        AppBench::Pump();
    }
    DeleteFileW((folder + L"\\Tavrel.ini").c_str());
    RemoveDirectoryW(folder.c_str());
    return 0;
}
