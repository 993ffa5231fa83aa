// The help viewer's "Page" button on one document: the time from the press
// into page view to the view painted, and back into line view, in a
// 1000 x 800 main window. The first switch counts apart from the later
// ones (a picture met for the first time is decoded then).
//
//   quenby_page_switch_bench FILE [ROUNDS]
//
// Prints "first S" (the first switch into page view), "into S" and
// "back S" (the slowest later switch each way, out of ROUNDS, default 3)
// and "seconds S" (the slowest switch of all).

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "base/raw_string.h"
#include "bench/bench_clock.h"
#include "quenby/app/main_dialog.h"
#include "quenby/app/quenby_main.h"

namespace {

RawLayer::RawString Utf8(const char* text) { return RawLayer::RawString::FromText(text); }

// A program file beside the document, so the run's profile lands there.
RawLayer::RawString ProgramBeside(const char* document) {
    std::string path = document;
    const size_t cut = path.find_last_of("\\/");
    path = (cut == std::string::npos ? std::string(".") : path.substr(0, cut)) + "\\Quenby.exe";
    return Utf8(path.c_str());
}

void Pump() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

// Presses the Page button and waits for the view to be painted again.
double Switch(AppLayer::GuiMainDialog& dialog) {
    LARGE_INTEGER from, to;
    QueryPerformanceCounter(&from);
    SendMessageW(dialog.items.page.window, BM_CLICK, 0, 0);
    Pump();
    RedrawWindow(dialog.items.view.window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    QueryPerformanceCounter(&to);
    return Seconds(from, to);
}

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
    const double first = Switch(dialog);
    if (!dialog.items.view.PageMode()) {
        std::fprintf(stderr, "the Page button did not switch the view\n");
        return 1;
    }
    double back = Switch(dialog), into = 0;
    for (int i = 1; i < rounds; ++i) {
        into = std::max(into, Switch(dialog));
        back = std::max(back, Switch(dialog));
    }
    if (rounds == 1) into = first;
    std::printf("first %.4f\n", first);
    std::printf("into %.4f\n", into);
    std::printf("back %.4f\n", back);
    std::printf("seconds %.4f\n", std::max(first, std::max(into, back)));
    DestroyWindow(dialog.window);
    Pump();
    return 0;
}
