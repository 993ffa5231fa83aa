// Start-up of the compare tool on a folder pair: the time from building the
// main window (command bar, placement, creation, the empty tab, the start
// pair loaded and compared at every level) to the first paint of the pair's
// rows, beside the in-process compare of the same pair alone. Both with
// content comparison on, best of the rounds, alternating.
//
//   startup_bench DIR1 DIR2 [ROUNDS]

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "bench/bench_clock.h"
#include "tavrel/app/start_up.h"
#include "tavrel/jobs/config_store.h"
#include "tavrel/jobs/job_group.h"
#include "toolkit/dialog.h"

using namespace JobLayer;
using RawLayer::RawString;

namespace {

void CloseAll() {
    JobGroupList& list = JobGroupList::Instance();
    for (JobGroupUnit& job : list) job.flags = static_cast<uint16_t>(job.flags | JobClosed);
    list.PurgeClosed();
}

void ContentComparisonOn() {
    ConfigStore& store = ConfigStore::Instance();
    store.compareDataOnText = true;
    store.compareDataOnOther = true;
}

// Runs the window's messages until its folder box painted its first row.
bool PumpUntilFirstRowPainted(AppLayer::GuiFolderBox& box, DWORD limitMs) {
    const DWORD start = GetTickCount();
    MSG message;
    while (GetTickCount() - start < limitMs) {
        const WinLayer::WinListBoxItemUnit* first = box.ItemAt(0);
        if (first && (first->flags & WinLayer::WinListBoxItemUnit::ItemPainted)) return true;
        if (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT) continue;
            WinLayer::WinDialog::StepMessage(message);
        } else {
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
        }
    }
    return false;
}

void CloseWindow(AppLayer::GuiMainDialog& dialog) {
    const HWND window = dialog.window;
    if (!window) return;
    PostMessageW(window, WM_CLOSE, 0, 0);
    MSG message;
    const DWORD start = GetTickCount();
    while (IsWindow(window) && GetTickCount() - start < 10000) {
        if (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message != WM_QUIT) WinLayer::WinDialog::StepMessage(message);
        } else {
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
        }
    }
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: startup_bench DIR1 DIR2 [ROUNDS]\n");
        return 2;
    }
    int rounds = argc > 3 ? std::atoi(argv[3]) : 3;
    if (rounds < 1) rounds = 1;
    if (rounds > 20) rounds = 20;
    // A program folder of its own, so the profile start-up writes goes there.
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    const std::wstring folder = std::wstring(temp) + L"tavrel_startup_bench";
    CreateDirectoryW(folder.c_str(), nullptr);
    const RawString program = RawString::FromWideText((folder + L"\\Tavrel.exe").c_str());
    const std::string arguments = std::string("\"") + argv[1] + "\" \"" + argv[2] + "\"";
    const RawString left = RawString::FromText(argv[1]);
    const RawString right = RawString::FromText(argv[2]);

    double bestCompare = -1, bestStartup = -1;
    int32_t rows = 0;
    for (int round = 0; round < rounds; ++round) {
        {
            static JobKindPool pool;
            JobGroupList::Instance().SetKindPool(&pool);
            ContentComparisonOn();
            CloseAll();
            LARGE_INTEGER t0, t1;
            QueryPerformanceCounter(&t0);
            JobGroupUnit* root = JobGroupList::Instance().OpenPair(left, right);
            QueryPerformanceCounter(&t1);
            const double s = Seconds(t0, t1);
            if (bestCompare < 0 || s < bestCompare) bestCompare = s;
            rows = root ? root->rows.Count() : 0;
            CloseAll();
        }
        {
            AppLayer::GuiApplication application(GetModuleHandleW(nullptr));
            AppLayer::StartUpInput input;
            input.programPath = program;
            input.arguments = RawString::FromText(arguments.c_str());
            if (!application.Start(input)) {
                std::fprintf(stderr, "start-up refused\n");
                return 1;
            }
            ContentComparisonOn();
            LARGE_INTEGER t0, t1;
            QueryPerformanceCounter(&t0);
            application.CreateMainWindow();
            const bool painted = application.dialog && PumpUntilFirstRowPainted(application.dialog->views.folderBox, 60000);
            QueryPerformanceCounter(&t1);
            if (!painted) {
                std::fprintf(stderr, "the pair was never painted\n");
                return 1;
            }
            const double s = Seconds(t0, t1);
            if (bestStartup < 0 || s < bestStartup) bestStartup = s;
            CloseWindow(*application.dialog);
        }
    }
    DeleteFileW((folder + L"\\Tavrel.ini").c_str());
    RemoveDirectoryW(folder.c_str());
    std::printf("root rows %d\n", rows);
    std::printf("compare %.4f\n", bestCompare);
    std::printf("startup %.4f\n", bestStartup);
    return 0;
}
