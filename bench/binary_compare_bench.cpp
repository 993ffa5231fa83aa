// Loads and compares two files through the binary kind, as opening a pair of
// binary files does, and prints the best time of several runs:
//
//   binary_compare_bench.exe FILE1 FILE2 [RUNS]
//
// Output lines: "rows N", "changed N", "seconds S" (load and compare of both
// sides) and "release S" (destroying the job afterwards).
#include <windows.h>

#include "bench/bench_clock.h"

#include <cstdio>
#include <cstdlib>

#include "base/raw_string.h"
#include "tavrel/jobs/binary/binary_kind.h"
#include "tavrel/jobs/config_store.h"

using namespace JobLayer;

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: binary_compare_bench FILE1 FILE2 [RUNS]\n");
        return 2;
    }
    int runs = argc > 3 ? std::atoi(argv[3]) : 5;
    if (runs < 1) runs = 1;
    if (runs > 100) runs = 100;
    // Room for the whole of both files.
    ConfigStore::Instance().maxBinaryLoading = MaxBinaryLoadingLimit;
    RawString path1 = RawString::FromText(argv[1]);
    RawString path2 = RawString::FromText(argv[2]);
    double best = 1e30, bestRelease = 1e30, first = 0;
    int32_t rows = 0, changed = 0;
    bool ok = true;
    for (int run = 0; run < runs; ++run) {
        LARGE_INTEGER t0, t1, t2;
        JobGroupUnit* job = new JobGroupUnit(JobKindType::FromKind(KindBinary), &JobBinaryControl::Shared());
        job->content1.path = path1;
        job->content2.path = path2;
        QueryPerformanceCounter(&t0);
        job->controller->Load(*job, ModeBoth);
        QueryPerformanceCounter(&t1);
        ok = ok && (job->content1.flags & ContentRead) && (job->content2.flags & ContentRead);
        rows = job->rows.Count();
        changed = 0;
        for (const JobReportUnit& row : job->rows)
            if (row.kind != RowSame) ++changed;
        delete job;
        QueryPerformanceCounter(&t2);
        if (run == 0) first = Seconds(t0, t1);
        if (Seconds(t0, t1) < best) best = Seconds(t0, t1);
        if (Seconds(t1, t2) < bestRelease) bestRelease = Seconds(t1, t2);
    }
    if (!ok) {
        std::fprintf(stderr, "a file could not be read\n");
        return 1;
    }
    // The first run touches every page for the first time; later runs reuse
    // the memory the first one gave back.
    std::printf("rows %d, changed %d; taking a job apart %.4f s\nfirst run %.6f\nseconds %.6f\n", rows, changed,
                bestRelease, first, best);
    return 0;
}
