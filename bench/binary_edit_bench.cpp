// Typing hex digits into a binary side of 1 MiB through the edit commands,
// each digit with its re-compare of the rows, beside the floor of moving or
// writing the buffer's bytes alone:
//
//   binary_edit_bench.exe FILE
//
// The file is loaded on both sides. 200 digits are typed in insert mode at
// the start of side 1 (every digit re-flows every row after it), then 200
// in overwrite mode at its end. Output lines: "rows N", "start MEAN MAX
// FLOOR" and "end MEAN MAX FLOOR" in seconds a digit. Then every row
// cleared, its undo, every row copied from side 2, its undo: "clearrows S",
// "undoclear S", "copyrows S", "undocopy S".
#include <windows.h>

#include "bench/bench_clock.h"
#include "bench/quiet_editor.h"

#include <algorithm>
#include <cstdio>
#include <vector>

#include "base/raw_string.h"
#include "tavrel/jobs/action_args.h"
#include "tavrel/jobs/binary/binary_kind.h"
#include "tavrel/jobs/config_store.h"

using namespace JobLayer;
using RawLayer::RawString;

namespace {

constexpr int kDigits = 200;

struct Times {
    double mean = 0, max = 0, floor = 0;
};

Times TypeDigits(JobGroupUnit& job, QuietEditor& editor) {
    ActionArgs args;
    Times times;
    LARGE_INTEGER t0, t1;
    for (int i = 0; i < kDigits; ++i) {
        args.operands[0] = RawString::FromText(i % 2 ? "7" : "c");
        QueryPerformanceCounter(&t0);
        job.controller->Execute(editor, job, 0, CommandInsertTypedText, args);
        QueryPerformanceCounter(&t1);
        const double t = Seconds(t0, t1);
        times.mean += t / kDigits;
        times.max = std::max(times.max, t);
    }
    return times;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: binary_edit_bench FILE\n");
        return 2;
    }
    ConfigStore::Instance().maxBinaryLoading = MaxBinaryLoadingLimit;
    JobGroupUnit job(JobKindType::FromKind(KindBinary), &JobBinaryControl::Shared());
    job.content1.path = RawString::FromText(argv[1]);
    job.content2.path = RawString::FromText(argv[1]);
    job.edit.edit1 = 1;
    job.controller->Load(job, ModeBoth);
    JobBinaryBaseData* data = BinaryDataOf(job.side1);
    if (!data || data->Length() == 0) {
        std::fprintf(stderr, "cannot read the file\n");
        return 1;
    }
    QuietEditor editor;
    std::vector<char> floorBuffer(data->bytes.Bytes(), data->bytes.Bytes() + data->Length());
    std::printf("rows %d\n", job.rows.Count());

    // Insert mode at the start.
    BinaryInsertMode(job.side1) = 1;
    Times start = TypeDigits(job, editor);
    LARGE_INTEGER t0, t1;
    QueryPerformanceCounter(&t0);
    for (int i = 0; i < kDigits / 2; ++i) floorBuffer.insert(floorBuffer.begin(), static_cast<char>(i));
    QueryPerformanceCounter(&t1);
    start.floor = Seconds(t0, t1) / kDigits;

    // Overwrite mode at the end: the last 100 bytes.
    BinaryInsertMode(job.side1) = 0;
    const int32_t last = job.content1.Count() - 1;
    const int32_t at = last * 16 + static_cast<JobBinaryUnit*>(job.content1.At(last))->extent - kDigits / 2;
    job.side1.anchorRow = job.side1.cursorRow = at / 16;
    job.side1.anchorColumn = job.side1.cursorColumn = at % 16;
    Times end = TypeDigits(job, editor);
    QueryPerformanceCounter(&t0);
    volatile char sink = 0;
    for (int i = 0; i < kDigits; ++i) {
        floorBuffer[floorBuffer.size() - kDigits / 2 + i / 2] = static_cast<char>(i);
        sink = sink + floorBuffer[floorBuffer.size() - 1];
    }
    QueryPerformanceCounter(&t1);
    end.floor = Seconds(t0, t1) / kDigits;
    if (editor.alerts) {
        std::fprintf(stderr, "%d digits were refused\n", editor.alerts);
        return 1;
    }
    std::printf("start %.6f %.6f %.6f\n", start.mean, start.max, start.floor);
    std::printf("end %.6f %.6f %.6f\n", end.mean, end.max, end.floor);

    // The row commands over every row: the rows cleared, their undo, the
    // other side's rows copied in, their undo.
    const uint32_t rowCommands[] = {CommandDeleteLines, CommandUndo, CommandCopyLinesTo, CommandUndo};
    const char* const rowNames[] = {"clearrows", "undoclear", "copyrows", "undocopy"};
    ActionArgs args;
    for (int i = 0; i < 4; ++i) {
        for (JobReportUnit& row : job.rows)
            row.flags = rowCommands[i] == CommandUndo ? (row.flags & ~static_cast<uint32_t>(RowMarked))
                                                      : (row.flags | RowMarked);
        QueryPerformanceCounter(&t0);
        const bool done = job.controller->Execute(editor, job, 0, rowCommands[i], args);
        QueryPerformanceCounter(&t1);
        if (!done) {
            std::fprintf(stderr, "%s was refused\n", rowNames[i]);
            return 1;
        }
        std::printf("%s %.6f\n", rowNames[i], Seconds(t0, t1));
    }
    return 0;
}
