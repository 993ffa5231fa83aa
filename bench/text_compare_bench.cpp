// Text compare of two files through the text kind: each side is loaded by
// the text kind's controller (RawLineFile into line units, in the file's own
// encoding), then the controller's compare matches the lines and gives
// every changed row its character comparison.
//
//   text_compare_bench FILE1 FILE2 [ROUNDS]
//   text_compare_bench --read FILE1 FILE2
//
// The loading limit is lifted, so large files load whole. Prints the best
// time of the rounds for the load and the compare, the load of the first
// round, and what the compare did. With --read the two files are only read
// line by line with RawLineFile, in their own kind and in the chunks of the
// text kind's load, as the peer of the load ("read S").

#include <windows.h>

#include "bench/text_round.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "base/line_file.h"
#include "base/raw_string.h"
#include "tavrel/jobs/config_store.h"
#include "tavrel/jobs/job_kind_control.h"

using namespace JobLayer;

namespace {

// Reads a file's lines as the text kind's load does, keeping none.
bool ReadLinesOnly(const char* path, int64_t& lines) {
    RawLayer::RawLineFile file(RawString::FromText(path), 65536);
    if (!file.Open()) return false;
    while (file.ReadLine()) ++lines;
    return file.State() == RawLayer::LineStateEnd;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::strcmp(argv[1], "--read") == 0) {
        LARGE_INTEGER t0, t1;
        int64_t lines = 0;
        QueryPerformanceCounter(&t0);
        bool ok = ReadLinesOnly(argv[2], lines) && ReadLinesOnly(argv[3], lines);
        QueryPerformanceCounter(&t1);
        if (!ok) {
            std::fprintf(stderr, "cannot read the files\n");
            return 1;
        }
        std::printf("lines %lld\nread %.4f\n", static_cast<long long>(lines), Seconds(t0, t1));
        return 0;
    }
    if (argc < 3) {
        std::fprintf(stderr, "usage: text_compare_bench FILE1 FILE2 [ROUNDS] | --read FILE1 FILE2\n");
        return 2;
    }
    int rounds = argc > 3 ? std::atoi(argv[3]) : 3;
    // Whole files: the largest pair is a little above the 32-bit program's
    // limit (MaxTextLoadingLimit), and fits either build at its cost.
    ConfigStore::Instance().maxTextLoading = 0x7FFFFFFF;
    if (rounds < 1) rounds = 1;
    double bestLoad = 1e30, bestCompare = 1e30, bestTotal = 1e30, first = 0, firstLoad = 0;
    int32_t rows = 0, lines1 = 0, lines2 = 0;
    int32_t kinds[4] = {0, 0, 0, 0};
    LineMatcher::Stats stats;
    for (int round = 0; round < rounds; ++round) {
        // A job is taken apart after its round, outside the time: the first
        // round touches all its memory for the first time, the later ones
        // reuse what the round before gave back (as a reload or the next
        // pair of a session does).
        JobGroupUnit* owned = new JobGroupUnit(JobKindType::FromKind(KindText), &JobLineControl::Shared());
        JobGroupUnit& job = *owned;
        TextRound timed;
        if (!LoadAndCompare(job, argv[1], argv[2], timed)) return 1;
        stats = timed.stats;
        double load = timed.load, compare = timed.compare;
        if (round == 0) {
            first = load + compare;
            firstLoad = load;
        }
        if (load < bestLoad) bestLoad = load;
        if (compare < bestCompare) bestCompare = compare;
        if (load + compare < bestTotal) bestTotal = load + compare;
        rows = job.rows.Count();
        lines1 = job.content1.Count();
        lines2 = job.content2.Count();
        for (int k = 0; k < 4; ++k) kinds[k] = 0;
        for (const JobReportUnit& row : job.rows)
            if (row.kind < 4) ++kinds[row.kind];
        delete owned;
    }
    std::printf("lines %d / %d, rows %d (same %d, only1 %d, only2 %d, changed %d)\n", lines1, lines2,
                rows, kinds[0], kinds[1], kinds[2], kinds[3]);
    std::printf("window searches %llu, scores %llu, cache hits %llu, bound skips %llu, "
                "character compares %llu, row compares %llu\n",
                (unsigned long long)stats.windowSearches, (unsigned long long)stats.scoreCalls,
                (unsigned long long)stats.cacheHits, (unsigned long long)stats.boundSkips,
                (unsigned long long)stats.characterCompares, (unsigned long long)stats.rowCompares);
    std::printf("best round: load %.4f s, compare %.4f s\n", bestLoad, bestCompare);
    std::printf("first load %.4f\n", firstLoad);
    std::printf("first run %.4f\n", first);
    std::printf("seconds %.4f\n", bestTotal);
    return 0;
}
