// The key-step benchmarks' figures: each step timed with the paint of what
// it changed, and per kind of step the mean, the slowest, and the steps over
// one frame (16 ms) and over 50 ms.
#pragma once

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <functional>

#include "bench/bench_clock.h"

struct StepTimes {
    double total = 0;
    double slowest = 0;
    int count = 0;
    int over16 = 0;
    int over50 = 0;

    void Add(double s) {
        total += s;
        slowest = std::max(slowest, s);
        ++count;
        if (s > 0.016) ++over16;
        if (s > 0.050) ++over50;
    }
    // "NAME MEAN SLOWEST OVER16 OVER50 COUNT", in seconds.
    void Print(const char* name) const {
        std::printf("%s %.5f %.5f %d %d %d\n", name, total / std::max(count, 1), slowest, over16, over50, count);
    }
};

// One step and the paint of what it changed in the window, in seconds.
inline double TimedStep(HWND window, const std::function<void()>& step) {
    LARGE_INTEGER t0, t1;
    QueryPerformanceCounter(&t0);
    step();
    UpdateWindow(window);
    QueryPerformanceCounter(&t1);
    return Seconds(t0, t1);
}
