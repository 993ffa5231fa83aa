// Line pairing quality of the text compare: loads two files through the text
// kind's controller, matches their lines and counts the lines it leaves out
// of same rows: the lines of one-sided rows and both lines of every changed
// row (GNU diff marks a changed line with '<' and '>' alike).
//
//   line_pairing_bench FILE1 FILE2 [--walk-alone]
//
// --walk-alone runs the look-ahead walk without its anchors on unique lines.
// Prints "unpaired N" with the row counts and the compare's time.

#include <windows.h>

#include "bench/bench_clock.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

#include "base/raw_string.h"
#include "tavrel/jobs/config_store.h"
#include "tavrel/jobs/job_group.h"
#include "tavrel/jobs/job_kind_control.h"
#include "tavrel/jobs/text/line_matcher.h"
#include "tavrel/jobs/text/text_kind.h"

using namespace JobLayer;
using RawLayer::RawString;

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: line_pairing_bench FILE1 FILE2 [--walk-alone]\n");
        return 2;
    }
    const bool anchored = !(argc > 3 && std::strcmp(argv[3], "--walk-alone") == 0);
    ConfigStore::Instance().maxTextLoading = 0x7FFFFFFF;
    JobGroupUnit job(JobKindType::FromKind(KindText), &JobLineControl::Shared());
    job.content1.path = RawString::FromText(argv[1]);
    job.content2.path = RawString::FromText(argv[2]);
    if (!JobLineControl::LoadSide(job, 0) || !JobLineControl::LoadSide(job, 1)) {
        std::fprintf(stderr, "cannot read the files whole\n");
        return 1;
    }
    LARGE_INTEGER t0, t1;
    LineMatcher matcher(job);
    matcher.SetCancelProbe(nullptr);
    matcher.SetUniqueAnchors(anchored);
    QueryPerformanceCounter(&t0);
    matcher.Run();
    QueryPerformanceCounter(&t1);
    int32_t kinds[4] = {0, 0, 0, 0};
    for (const JobReportUnit& row : job.rows)
        if (row.kind < 4) ++kinds[row.kind];
    std::printf("lines %d / %d, rows %d (same %d, only1 %d, only2 %d, changed %d), anchors %llu\n",
                job.content1.Count(), job.content2.Count(), job.rows.Count(), kinds[0], kinds[1], kinds[2],
                kinds[3], (unsigned long long)matcher.Statistics().anchors);
    std::printf("compare %.4f s\n", Seconds(t0, t1));
    std::printf("unpaired %d\n", kinds[1] + kinds[2] + 2 * kinds[3]);
    return 0;
}
