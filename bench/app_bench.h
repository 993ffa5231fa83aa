// Shared pieces of the compare tool's window benchmarks: the message pump,
// a paint, the best of several timed rounds, and the main window started
// with its program in a temporary folder of the benchmark's own.
#pragma once

#include <windows.h>

#include <cstdio>
#include <functional>
#include <string>

#include "bench/bench_clock.h"
#include "tavrel/app/start_up.h"
#include "toolkit/dialog.h"

namespace AppBench {

// Runs the queued messages (a quit message is dropped).
inline void Pump() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message != WM_QUIT) WinLayer::WinDialog::StepMessage(message);
    }
}

// Paints the window now.
inline void Paint(HWND window) {
    InvalidateRect(window, nullptr, FALSE);
    UpdateWindow(window);
}

// The shortest of `rounds` timings of `step`, each after `prepare` and a pump.
inline double Best(int rounds, const std::function<void()>& prepare, const std::function<void()>& step) {
    double best = -1;
    for (int round = 0; round < rounds; ++round) {
        prepare();
        Pump();
        LARGE_INTEGER t0, t1;
        QueryPerformanceCounter(&t0);
        step();
        QueryPerformanceCounter(&t1);
        const double s = Seconds(t0, t1);
        if (best < 0 || s < best) best = s;
    }
    return best;
}

// The benchmark's program folder under the temporary folder, made if missing.
inline std::wstring ProgramFolder(const wchar_t* name) {
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    const std::wstring folder = std::wstring(temp) + name;
    CreateDirectoryW(folder.c_str(), nullptr);
    return folder;
}

// Starts the main window as if Tavrel.exe ran from the folder; false (told
// on stderr) when it cannot be made.
inline bool StartMainWindow(AppLayer::GuiApplication& application, const std::wstring& folder) {
    AppLayer::StartUpInput input;
    input.programPath = RawLayer::RawString::FromWideText((folder + L"\\Tavrel.exe").c_str());
    if (application.Start(input) && application.CreateMainWindow()) return true;
    std::fprintf(stderr, "no main window\n");
    return false;
}

}  // namespace AppBench
