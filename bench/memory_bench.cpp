// Memory of a compare per byte of its input: two files loaded and compared
// through their kind's controller in a fresh process, with the process's
// working set and committed bytes read before and after. The growth is what
// the job holds (its units, rows and details, and the memory the pools and
// heaps keep for the next one); the peak is the working set's highest point
// during the compare.
//
//   memory_bench KIND FILE1 FILE2
//
// KIND is "text" or "binary". The loading limits are raised to the largest a
// 32-bit process may hold, so the files load whole. Prints the sizes of the
// records that make a job, then "per-byte WS COMMIT PEAK" (bytes per byte of
// both inputs together).
#define PSAPI_VERSION 2
#include <windows.h>
#include <psapi.h>

#include <cstdint>
#include <cstdio>
#include <cstring>

#include "base/raw_string.h"
#include "tavrel/jobs/binary/binary_kind.h"
#include "tavrel/jobs/config_store.h"
#include "tavrel/jobs/job_group.h"
#include "tavrel/jobs/text/text_kind.h"

using namespace JobLayer;
using RawLayer::RawString;

namespace {

PROCESS_MEMORY_COUNTERS Counters() {
    PROCESS_MEMORY_COUNTERS c = {};
    c.cb = sizeof(c);
    GetProcessMemoryInfo(GetCurrentProcess(), &c, sizeof(c));
    return c;
}

uint64_t FileBytes(const char* path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path, GetFileExInfoStandard, &data)) return 0;
    return (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 4 || (std::strcmp(argv[1], "text") != 0 && std::strcmp(argv[1], "binary") != 0)) {
        std::fprintf(stderr, "usage: memory_bench text|binary FILE1 FILE2\n");
        return 2;
    }
    const bool text = std::strcmp(argv[1], "text") == 0;
    ConfigStore::Instance().maxTextLoading = 0x7FFFFFFF;
    ConfigStore::Instance().maxBinaryLoading = 0x7FFFFFFF;
    const uint64_t input = FileBytes(argv[2]) + FileBytes(argv[3]);
    if (input == 0) {
        std::fprintf(stderr, "empty or missing input\n");
        return 1;
    }
    // The shared units and the controllers are made before the first
    // reading: they are there once per process, not once per compare.
    JobKindControl* control =
        text ? static_cast<JobKindControl*>(&JobLineControl::Shared()) : &JobBinaryControl::Shared();
    JobGroupUnit* job = new JobGroupUnit(JobKindType::FromKind(text ? KindText : KindBinary), control);
    job->content1.path = RawString::FromText(argv[2]);
    job->content2.path = RawString::FromText(argv[3]);
    if (text) {
        TextHeaderUnit();
        EmptyLineUnit();
    } else {
        BinaryHeaderUnit();
        EmptyBinaryUnit();
    }

    const PROCESS_MEMORY_COUNTERS before = Counters();
    control->Load(*job, ModeBoth);
    const PROCESS_MEMORY_COUNTERS after = Counters();
    if (!(job->content1.flags & ContentRead) || !(job->content2.flags & ContentRead) ||
        (job->content1.flags & ContentCut) || (job->content2.flags & ContentCut)) {
        std::fprintf(stderr, "the files could not be loaded whole\n");
        return 1;
    }
    int32_t changed = 0;
    for (const JobReportUnit& row : job->rows)
        if (row.kind != RowSame) ++changed;

    const double n = static_cast<double>(input);
    const double ws = static_cast<double>(after.WorkingSetSize) - static_cast<double>(before.WorkingSetSize);
    const double commit = static_cast<double>(after.PagefileUsage) - static_cast<double>(before.PagefileUsage);
    const double peak = static_cast<double>(after.PeakWorkingSetSize) - static_cast<double>(before.WorkingSetSize);
    std::printf("sizes: line unit %u, binary unit %u, row %u, segment %u, pointer %u\n",
                static_cast<unsigned>(sizeof(JobLineUnit)), static_cast<unsigned>(sizeof(JobBinaryUnit)),
                static_cast<unsigned>(sizeof(JobReportUnit)), static_cast<unsigned>(sizeof(JobDetailUnit)),
                static_cast<unsigned>(sizeof(void*)));
    std::printf("input %llu bytes, units %d + %d, rows %d (%d not same)\n",
                static_cast<unsigned long long>(input), job->content1.Count(), job->content2.Count(),
                job->rows.Count(), changed);
    std::printf("per-byte %.2f %.2f %.2f\n", ws / n, commit / n, peak / n);
    delete job;
    return 0;
}
