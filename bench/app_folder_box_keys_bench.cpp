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
// With "whole" after the rounds, a text pair takes instead the edits of a
// whole side, each a key pressed on side 1 and timed up to the repaint of
// the whole window, once a round:
//   ctrl-a      Ctrl+A (select all)
//   delete      Delete (every line goes)
//   ctrl-z      Ctrl+Z (every line comes back)
//   ctrl-y      Ctrl+Y (every line goes again)
// and an untimed Ctrl+Z brings the side back for the next round.
//
//   app_folder_box_keys_bench PATH1 PATH2 [ROUNDS [whole]]

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
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

// A key pressed in the box as the keyboard gives it (Ctrl held down with
// it when asked), timed up to the repaint of every window of the main
// window, the messages the press posted included.
double TimedKey(HWND main, HWND box, WPARAM key, bool ctrl) {
    BYTE state[256] = {};
    GetKeyboardState(state);
    LARGE_INTEGER t0, t1;
    QueryPerformanceCounter(&t0);
    if (ctrl) {
        state[VK_CONTROL] = state[VK_LCONTROL] = 0x80;
        SetKeyboardState(state);
        SendMessageW(box, WM_KEYDOWN, VK_CONTROL, 1);
    }
    SendMessageW(box, WM_KEYDOWN, key, 1);
    SendMessageW(box, WM_KEYUP, key, 1);
    if (ctrl) {
        state[VK_CONTROL] = state[VK_LCONTROL] = 0;
        SetKeyboardState(state);
        SendMessageW(box, WM_KEYUP, VK_CONTROL, 1);
    }
    AppBench::Pump();
    RedrawWindow(main, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
    QueryPerformanceCounter(&t1);
    return Seconds(t0, t1);
}

// The edits of a whole side by their keys, once a round; false when side 1
// cannot take them.
bool WholeSideKeys(HWND main, AppLayer::GuiFolderBox& box, JobGroupUnit& job, int rounds) {
    if (job.kind.kind != KindText || !AppLayer::SetSideEditable(box, 0, true)) {
        std::fprintf(stderr, "side 1 is not an editable text\n");
        return false;
    }
    StepTimes selectAll, erase, undo, redo;
    for (int round = 0; round < rounds; ++round) {
        box.ClearSelection();
        box.GotoRow(0, false);
        AppBench::Pump();
        selectAll.Add(TimedKey(main, box.window, 'A', true));
        erase.Add(TimedKey(main, box.window, VK_DELETE, false));
        undo.Add(TimedKey(main, box.window, 'Z', true));
        redo.Add(TimedKey(main, box.window, 'Y', true));
        TimedKey(main, box.window, 'Z', true);
    }
    std::printf("lines %d\n", job.content1.Count());
    selectAll.Print("ctrl-a");
    erase.Print("delete");
    undo.Print("ctrl-z");
    redo.Print("ctrl-y");
    return true;
}

// The key steps of the pair, `rounds` times.
void KeySteps(AppLayer::GuiFolderBox& box, JobGroupUnit& job, int rounds) {
    const int32_t middle = box.Count() / 2;
    StepTimes cursor, page, scroll, jump, selectAll, type, enter, backspace, undo;
    // A text side takes typing once editable.
    const bool typing = job.kind.kind == KindText && AppLayer::SetSideEditable(box, 0, true);
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
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: app_folder_box_keys_bench PATH1 PATH2 [ROUNDS [whole]]\n");
        return 2;
    }
    const int rounds = std::min(std::max(argc > 3 ? std::atoi(argv[3]) : 3, 1), 20);
    const std::wstring folder = AppBench::ProgramFolder(L"tavrel_folder_box_keys_bench");
    bool ran = true;
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
        const bool whole = argc > 4 && std::strcmp(argv[4], "whole") == 0;
        if (whole)
            ran = WholeSideKeys(application.dialog->window, box, *job, rounds);
        else
            KeySteps(box, *job, rounds);
        DestroyWindow(application.dialog->window);
        AppBench::Pump();
    }
    DeleteFileW((folder + L"\\Tavrel.ini").c_str());
    RemoveDirectoryW(folder.c_str());
    return ran ? 0 : 1;
}
