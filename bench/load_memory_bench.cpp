// Memory that a load and compare of two files takes, per byte of the files:
//
//   load_memory_bench.exe text|binary FILE1 FILE2
//
// Prints the growth of the process's private memory (committed bytes) over
// the load and compare, at its peak and once the job stands, each divided
// by the bytes of both files together: the cost per input byte from which
// the loading limits of the options are derived (config_store.h). Also the
// time of the load and compare.
#include <windows.h>
#include <psapi.h>

#include "bench/bench_clock.h"

#include <cstdio>
#include <cstring>

#include "base/raw_string.h"
#include "tavrel/jobs/binary/binary_kind.h"
#include "tavrel/jobs/config_store.h"
#include "tavrel/jobs/text/text_kind.h"

using namespace JobLayer;

namespace {

struct Commit {
    double now;
    double peak;
};

Commit CommittedBytes() {
    PROCESS_MEMORY_COUNTERS_EX counters = {};
    counters.cb = sizeof(counters);
    GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                         sizeof(counters));
    return {static_cast<double>(counters.PagefileUsage), static_cast<double>(counters.PeakPagefileUsage)};
}

double FileBytes(const char* path) {
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    if (!GetFileAttributesExA(path, GetFileExInfoStandard, &data)) return 0;
    return static_cast<double>(data.nFileSizeHigh) * 4294967296.0 + data.nFileSizeLow;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: load_memory_bench text|binary FILE1 FILE2\n");
        return 2;
    }
    const bool text = std::strcmp(argv[1], "text") == 0;
    // Whole files, whatever the limits of the 32-bit program are.
    ConfigStore::Instance().maxTextLoading = 0x7FFFFFFF;
    ConfigStore::Instance().maxBinaryLoading = 0x7FFFFFFF;
    JobKindControl* control = text ? static_cast<JobKindControl*>(&JobLineControl::Shared())
                                   : static_cast<JobKindControl*>(&JobBinaryControl::Shared());
    JobGroupUnit* job = new JobGroupUnit(JobKindType::FromKind(text ? KindText : KindBinary), control);
    job->content1.path = RawString::FromText(argv[2]);
    job->content2.path = RawString::FromText(argv[3]);
    const double input = FileBytes(argv[2]) + FileBytes(argv[3]);
    const Commit before = CommittedBytes();
    LARGE_INTEGER t0, t1;
    QueryPerformanceCounter(&t0);
    job->controller->Load(*job, ModeBoth);
    QueryPerformanceCounter(&t1);
    const Commit after = CommittedBytes();
    const uint16_t failed = ContentCut | ContentUnreadable | ContentNoFile;
    if ((job->content1.flags | job->content2.flags) & failed || input <= 0) {
        std::fprintf(stderr, "the files could not be loaded whole\n");
        return 1;
    }
    int32_t changed = 0;
    for (const JobReportUnit& row : job->rows)
        if (row.kind != RowSame) ++changed;
    std::printf("input %.0f bytes, rows %d, not same %d\n", input, job->rows.Count(), changed);
    std::printf("bytes per input byte: standing %.2f, peak %.2f\n", (after.now - before.now) / input,
                (after.peak - before.now) / input);
    std::printf("seconds %.4f\n", Seconds(t0, t1));
    return 0;
}
