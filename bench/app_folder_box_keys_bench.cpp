// The folder box's key steps on a loaded pair (text, binary or folders), each
// step with its repaint, in the main window:
//   cursor      "MoveCursorDown" 500 times from the middle row
//   page        Page Down 100 times from the middle row
//   scroll      a scroll-bar line step 500 times from the middle
//   next-diff   "GotoNextDiffrentLine" from row 0 (once a round)
//   select-all  "SelectAll" (once a round)
//   type        a typed character on the middle row, 20 a round (text only)
//   enter       "InsertNewLine" on the middle row, 20 a round (text only)
//   backspace   "Backspace" there, 20 a round (text only)
//   undo        "Undo" there, 20 a round (text only): the last Backspaces
//               come back
// For each: the mean, the slowest step, and the steps over 16 ms and over
// 50 ms, in seconds.
//
//   app_folder_box_keys_bench PATH1 PATH2 [ROUNDS]

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>

#include "bench/app_bench.h"
#include "bench/step_times.h"
#include "tavrel/app/job_environment.h"
#include "tavrel/app/start_up.h"
#include "tavrel/jobs/config_store.h"
#include "tavrel/jobs/job_group.h"
#include "toolkit/dialog.h"

using namespace JobLayer;
using RawLayer::RawString;

namespace {

double TimedAction(AppLayer::GuiFolderBox& box, const char* name) {
    const JobActionUnit action(RawString::FromText(name), RawLayer::RawStringList(true));
    return TimedStep(box.window, [&] { box.ActionDispatch(action); });
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: app_folder_box_keys_bench PATH1 PATH2 [ROUNDS]\n");
        return 2;
    }
    const int rounds = std::min(std::max(argc > 3 ? std::atoi(argv[3]) : 3, 1), 20);
    const std::wstring folder = AppBench::ProgramFolder(L"tavrel_folder_box_keys_bench");
    {
        AppLayer::GuiApplication application(GetModuleHandleW(nullptr));
        if (!AppBench::StartMainWindow(application, folder)) return 1;
        ConfigStore::Instance().maxTextLoading = MaxTextLoadingLimit;
        ConfigStore::Instance().maxBinaryLoading = MaxBinaryLoadingLimit;
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
        const int32_t middle = box.Count() / 2;
        StepTimes cursor, page, scroll, jump, selectAll, type, enter, backspace, undo;
        // A text side takes typing once editable.
        const bool typing = job->kind.kind == KindText && AppLayer::SetSideEditable(box, 0, true);
        for (int round = 0; round < rounds; ++round) {
            box.ClearSelection();
            box.GotoRow(middle, false);
            AppBench::Pump();
            for (int i = 0; i < 500; ++i) cursor.Add(TimedAction(box, "MoveCursorDown"));
            box.ClearSelection();
            box.GotoRow(middle, false);
            AppBench::Pump();
            for (int i = 0; i < 100; ++i) {
                page.Add(TimedStep(box.window, [&] { SendMessageW(box.window, WM_KEYDOWN, VK_NEXT, 0); }));
            }
            box.GotoRow(middle, false);
            AppBench::Pump();
            for (int i = 0; i < 500; ++i) {
                scroll.Add(TimedStep(box.window, [&] { SendMessageW(box.window, WM_VSCROLL, SB_LINEDOWN, 0); }));
            }
            box.ClearSelection();
            box.GotoRow(0, false);
            AppBench::Pump();
            jump.Add(TimedAction(box, "GotoNextDiffrentLine"));
            AppBench::Pump();
            selectAll.Add(TimedAction(box, "SelectAll"));
            AppBench::Pump();
            if (typing) {
                box.ClearSelection();
                box.GotoRow(middle, false);
                AppBench::Pump();
                for (int i = 0; i < 20; ++i) {
                    type.Add(TimedStep(box.window, [&] { SendMessageW(box.window, WM_CHAR, L'a', 1); }));
                }
                // Each Enter adds a row and each Backspace joins one back;
                // the undos put the joined breaks back (20 rows more a round).
                for (int i = 0; i < 20; ++i) enter.Add(TimedAction(box, "InsertNewLine"));
                for (int i = 0; i < 20; ++i) backspace.Add(TimedAction(box, "Backspace"));
                for (int i = 0; i < 20; ++i) undo.Add(TimedAction(box, "Undo"));
            }
        }
        std::printf("rows %d\n", box.Count());
        cursor.Print("cursor");
        page.Print("page");
        scroll.Print("scroll");
        jump.Print("next-diff");
        selectAll.Print("select-all");
        if (typing) {
            type.Print("type");
            enter.Print("enter");
            backspace.Print("backspace");
            undo.Print("undo");
        }
        DestroyWindow(application.dialog->window);
        AppBench::Pump();
    }
    DeleteFileW((folder + L"\\Tavrel.ini").c_str());
    RemoveDirectoryW(folder.c_str());
    return 0;
}
