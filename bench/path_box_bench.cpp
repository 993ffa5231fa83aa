// The path chooser on a folder of many files: one character typed in the
// path bar (the relisting of the folder and the paint of the box with its
// icons), beside the bare floor, a FindFirstFileExW loop over the same
// folder; and one screen's paint of the box with icons on its own.
//
//     path_box_bench.exe <folder>
//
// Prints milliseconds: "typing ours floor" and "paint ours".
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>

#include "bench/bench_clock.h"
#include "toolkit/dialog.h"
#include "toolkit/path_dialog.h"
#include "toolkit/work_counts.h"

using namespace WinLayer;
using RawLayer::RawString;

namespace {

constexpr int kRounds = 5;

LARGE_INTEGER Now() {
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return now;
}

double Milliseconds(LARGE_INTEGER from) { return Seconds(from, Now()) * 1000.0; }

void Pump() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) WinDialog::StepMessage(message);
}

// Every entry of the folder, as a bare loop would read them.
double FloorListing(const std::wstring& folder, int& entries) {
    const LARGE_INTEGER start = Now();
    WIN32_FIND_DATAW data;
    entries = 0;
    HANDLE find = FindFirstFileExW((folder + L"\\*").c_str(), FindExInfoBasic, &data, FindExSearchNameMatch,
                                   nullptr, 0);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            ++entries;
        } while (FindNextFileW(find, &data));
        FindClose(find);
    }
    return Milliseconds(start);
}

// One keystroke in the bar (a character, or Backspace taking one back) and
// everything it sets off, painted.
double TypeOne(WinPathDialog& chooser, wchar_t unit) {
    const LARGE_INTEGER start = Now();
    if (unit == L'\b') {
        SendMessageW(chooser.bar.window, WM_KEYDOWN, VK_BACK, 1);
    } else {
        SendMessageW(chooser.bar.window, WM_CHAR, unit, 1);
    }
    Pump();
    UpdateWindow(chooser.box.window);
    GdiFlush();
    return Milliseconds(start);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 2) {
        std::printf("usage: path_box_bench <folder>\n");
        return 2;
    }
    const std::wstring folder = argv[1];
    int entries = 0;
    double floor = 1e9;
    for (int i = 0; i < kRounds; ++i) floor = std::min(floor, FloorListing(folder, entries));

    WinPathDialog chooser;
    RECT area{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
    chooser.Setup(area, RawString::FromText("bench"), RawString::FromWideText((folder + L"\\file1").c_str()));
    chooser.style |= WS_VISIBLE;
    chooser.Create();
    if (!chooser.window) {
        std::printf("no window\n");
        return 1;
    }
    Pump();
    UpdateWindow(chooser.box.window);
    // Type "2" and take it back: each is one keystroke that relists.
    double typing = 1e9;
    for (int i = 0; i < kRounds; ++i) {
        typing = std::min(typing, TypeOne(chooser, L'2'));
        typing = std::min(typing, TypeOne(chooser, L'\b'));
    }
    double paint = 1e9;
    for (int i = 0; i < kRounds; ++i) {
        const LARGE_INTEGER start = Now();
        InvalidateRect(chooser.box.window, nullptr, FALSE);
        UpdateWindow(chooser.box.window);
        GdiFlush();
        paint = std::min(paint, Milliseconds(start));
    }
    std::printf("entries %d rows %d listings %d\n", entries, static_cast<int>(chooser.box.Count()),
                static_cast<int>(WinWorkCounts::Instance().listings));
    std::printf("typing %.2f %.2f\n", typing, floor);
    std::printf("paint %.2f\n", paint);
    DestroyWindow(chooser.window);
    return 0;
}
