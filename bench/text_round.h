// One round of the text kind's compare of two files, as the benchmarks time
// it: both sides loaded by the text kind's controller (in the files' own
// encodings), then the line compare, which gives every changed row its
// character comparison.
#pragma once

#include <windows.h>

#include <cstdio>

#include "base/raw_string.h"
#include "bench/bench_clock.h"
#include "tavrel/jobs/job_group.h"
#include "tavrel/jobs/text/line_matcher.h"
#include "tavrel/jobs/text/text_kind.h"

struct TextRound {
    double load = 0;
    double compare = 0;
    JobLayer::LineMatcher::Stats stats;
};

// Fills `job` (a text job) from the two files and compares them; false, said
// on stderr, when a side cannot be read whole. The matcher is taken apart
// outside the time.
inline bool LoadAndCompare(JobLayer::JobGroupUnit& job, const char* file1, const char* file2,
                           TextRound& round) {
    using namespace JobLayer;
    job.content1.path = RawLayer::RawString::FromText(file1);
    job.content2.path = RawLayer::RawString::FromText(file2);
    LARGE_INTEGER t0, t1, t2;
    QueryPerformanceCounter(&t0);
    if (!JobLineControl::LoadSide(job, 0) || !JobLineControl::LoadSide(job, 1)) {
        std::fprintf(stderr, "cannot read the files whole\n");
        return false;
    }
    QueryPerformanceCounter(&t1);
    LineMatcher matcher(job);
    matcher.SetCancelProbe(nullptr);
    JobGroupUnit::SetSame(&job, matcher.Run());
    QueryPerformanceCounter(&t2);
    round.stats = matcher.Statistics();
    round.load = Seconds(t0, t1);
    round.compare = Seconds(t1, t2);
    return true;
}
