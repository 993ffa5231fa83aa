// The help viewer's "Page" button on one document: the time from the press
// into page view to the view painted, and back into line view, in a
// 1000 x 800 main window. The first switch counts apart from the later
// ones (a picture met for the first time is decoded then).
//
//   quenby_page_switch_bench FILE [ROUNDS]
//
// Prints "first S C" (the first switch into page view), "into S C" and
// "back S C" (the slowest later switch each way, out of ROUNDS, default 3),
// each in seconds of wall time and of the process's CPU time (which a busy
// machine changes less), and "seconds S" (the slowest switch of all).

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "base/raw_string.h"
#include "bench/bench_clock.h"
#include "bench/quenby_bench.h"
#include "quenby/app/main_dialog.h"
#include "quenby/app/quenby_main.h"

namespace {

using QuenbyBench::ProgramBeside;
using QuenbyBench::Utf8;

void Pump() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

// The process's user and kernel time in seconds.
double CpuSeconds() {
    FILETIME created, ended, kernel, user;
    if (!GetProcessTimes(GetCurrentProcess(), &created, &ended, &kernel, &user)) return 0;
    auto seconds = [](const FILETIME& t) {
        return static_cast<double>((static_cast<uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime) / 1e7;
    };
    return seconds(kernel) + seconds(user);
}

struct Time {
    double wall = 0;
    double cpu = 0;
};

// Presses the Page button and waits for the view to be painted again.
Time Switch(AppLayer::GuiMainDialog& dialog) {
    LARGE_INTEGER from, to;
    const double cpu = CpuSeconds();
    QueryPerformanceCounter(&from);
    SendMessageW(dialog.items.page.window, BM_CLICK, 0, 0);
    Pump();
    RedrawWindow(dialog.items.view.window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    QueryPerformanceCounter(&to);
    return Time{Seconds(from, to), CpuSeconds() - cpu};
}

Time Slower(const Time& a, const Time& b) { return Time{std::max(a.wall, b.wall), std::max(a.cpu, b.cpu)}; }

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: quenby_page_switch_bench FILE [ROUNDS]\n");
        return 2;
    }
    const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;
    AppLayer::QuenbyStart start{ProgramBeside(argv[1]), Utf8(("-p- \"" + std::string(argv[1]) + "\"").c_str())};
    AppLayer::QuenbyRun run(GetModuleHandleW(nullptr), start);
    if (!run.Start()) {
        std::fprintf(stderr, "the main window was not made\n");
        return 1;
    }
    AppLayer::GuiMainDialog& dialog = *run.Dialog();
    SetWindowPos(dialog.window, nullptr, 0, 0, 1000, 800, SWP_NOMOVE | SWP_NOZORDER);
    RedrawWindow(dialog.window, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    Pump();
    if (dialog.items.view.PageMode()) {
        std::fprintf(stderr, "the view started in page view\n");
        return 1;
    }
    const Time first = Switch(dialog);
    if (!dialog.items.view.PageMode()) {
        std::fprintf(stderr, "the Page button did not switch the view\n");
        return 1;
    }
    Time back = Switch(dialog), into;
    for (int i = 1; i < rounds; ++i) {
        into = Slower(into, Switch(dialog));
        back = Slower(back, Switch(dialog));
    }
    if (rounds == 1) into = first;
    std::printf("first %.4f %.4f\n", first.wall, first.cpu);
    std::printf("into %.4f %.4f\n", into.wall, into.cpu);
    std::printf("back %.4f %.4f\n", back.wall, back.cpu);
    std::printf("seconds %.4f\n", std::max(first.wall, std::max(into.wall, back.wall)));
    DestroyWindow(dialog.window);
    Pump();
    return 0;
}
