// Compare of two one-line text files through the text kind: the sides are
// loaded by the text kind's controller, the line compare scores the two
// lines and gives the changed row its character comparison. For one line a
// side, nearly all the time is that comparison.
//
//   long_line_bench FILE1 FILE2 [ROUNDS]
//
// Prints the best time of the rounds for the load and for the compare, the
// share of the text found in same segments, and whether the comparison ran
// out of its work budget (the rest of the pair then shows as changed).

#include <windows.h>

#include "bench/text_round.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "tavrel/jobs/config_store.h"
#include "tavrel/jobs/inline_diff.h"
#include "tavrel/jobs/job_kind_control.h"

using namespace JobLayer;

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: long_line_bench FILE1 FILE2 [ROUNDS]\n");
        return 2;
    }
    int rounds = argc > 3 ? std::atoi(argv[3]) : 3;
    if (rounds < 1) rounds = 1;
    ConfigStore::Instance().maxTextLoading = 0x7FFFFFFF;
    double bestLoad = 1e30, bestCompare = 1e30, first = 0;
    int64_t units1 = 0, units2 = 0, same = 0;
    int32_t segments = 0, rows = 0;
    bool budgetSpent = false;
    LineMatcher::Stats stats;
    for (int round = 0; round < rounds; ++round) {
        JobGroupUnit job(JobKindType::FromKind(KindText), &JobLineControl::Shared());
        TextRound timed;
        if (!LoadAndCompare(job, argv[1], argv[2], timed)) return 1;
        stats = timed.stats;
        double load = timed.load, compare = timed.compare;
        if (round == 0) first = load + compare;
        if (load < bestLoad) bestLoad = load;
        if (compare < bestCompare) bestCompare = compare;
        units1 = units2 = same = 0;
        segments = 0;
        rows = job.rows.Count();
        for (const JobReportUnit& row : job.rows)
            for (const JobDetailUnit& unit : row.details[1]) {
                ++segments;
                units1 += unit.length1;
                units2 += unit.length2;
                if (unit.kind == SegmentSame) same += unit.length1;
            }
        // Whether the character comparison of the row ran out of its budget
        // (the rest of the pair then shows as one changed segment).
        if (round == 0 && rows == 1) {
            const JobReportUnit& row = *job.rows.begin();
            const JobLineUnit* line1 = dynamic_cast<const JobLineUnit*>(row.unit1);
            const JobLineUnit* line2 = dynamic_cast<const JobLineUnit*>(row.unit2);
            if (line1 && line2) {
                InlineDiffEngine engine(InlineDiffMinMatchingChars());
                std::vector<JobDetailUnit> out;
                engine.Run(line1->LineText(), line2->LineText(), out);
                budgetSpent = engine.Exhausted();
            }
        }
    }
    std::printf("rows %d, segments %d, units %lld / %lld, same %.1f %%%s\n", rows, segments,
                (long long)units1, (long long)units2, units1 > 0 ? 100.0 * same / units1 : 0.0,
                budgetSpent ? ", work budget spent" : "");
    std::printf("scores estimated %llu, character compares %llu, row compares %llu\n",
                (unsigned long long)stats.estimates, (unsigned long long)stats.characterCompares,
                (unsigned long long)stats.rowCompares);
    std::printf("best round: load %.4f s, compare %.4f s\n", bestLoad, bestCompare);
    std::printf("first run %.4f\n", first);
    std::printf("seconds %.4f\n", bestCompare);
    return 0;
}
