// Edits over many lines of a text side through the edit commands:
//
//   text_edit_bench FILE OTHER
//
// FILE is loaded on side 1 against OTHER on side 2 (the line count is
// printed as "lines N"). Side 1: select all and delete ("deleteall"), its
// undo ("undoall"), deleting the first half of the lines by a selection
// ("deletehalf") and its undo ("undohalf"); then the first 80,000 rows whose
// lines differ marked ("rows N") and the lines of side 2 copied into side 1
// ("copyrows")
// and its undo ("undocopy"); then every row marked and its line deleted
// ("deletelines") and its undo ("undolines"). Each line: the name and the
// seconds it took.
#include <windows.h>

#include "bench/bench_clock.h"
#include "bench/quiet_editor.h"

#include <cstdio>

#include "base/raw_string.h"
#include "tavrel/jobs/action_args.h"
#include "tavrel/jobs/config_store.h"
#include "tavrel/jobs/job_group.h"
#include "tavrel/jobs/text/text_kind.h"

using namespace JobLayer;
using RawLayer::RawString;

namespace {

bool Timed(const char* name, JobGroupUnit& job, QuietEditor& editor, uint32_t command) {
    ActionArgs args;
    LARGE_INTEGER t0, t1;
    QueryPerformanceCounter(&t0);
    const bool done = job.controller->Execute(editor, job, 0, command, args);
    QueryPerformanceCounter(&t1);
    std::printf("%s %.6f\n", name, Seconds(t0, t1));
    return done;
}

// Marks the first 80,000 rows whose lines differ and that hold a line of
// side 2 (every row with `all`),
// or none; returns how many.
int32_t Mark(JobGroupUnit& job, bool marked, bool all = false) {
    int32_t count = 0;
    for (JobReportUnit& row : job.rows) {
        const bool mark = marked && (all || (row.kind != RowSame && !row.unit2->IsPlaceholder() && count < 80000));
        row.flags = mark ? (row.flags | RowMarked) : (row.flags & ~static_cast<uint32_t>(RowMarked));
        count += mark ? 1 : 0;
    }
    return count;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: text_edit_bench FILE OTHER\n");
        return 2;
    }
    ConfigStore::Instance().maxTextLoading = MaxTextLoadingLimit;
    JobGroupUnit job(JobKindType::FromKind(KindText), &JobLineControl::Shared());
    job.content1.path = RawString::FromText(argv[1]);
    job.content2.path = RawString::FromText(argv[2]);
    job.edit.edit1 = 1;
    job.controller->Load(job, ModeBoth);
    const int32_t lines = job.content1.Count();
    if (lines < 2) {
        std::fprintf(stderr, "cannot read the file\n");
        return 1;
    }
    std::printf("lines %d\n", lines);
    QuietEditor editor;
    JobSideRecord& side = job.side1;
    side.anchorRow = side.cursorRow = 0;
    side.anchorColumn = side.cursorColumn = 0;
    ActionArgs args;
    bool ok = job.controller->Execute(editor, job, 0, CommandSelectAll, args);
    ok = Timed("deleteall", job, editor, CommandDeleteSelections) && ok;
    ok = Timed("undoall", job, editor, CommandUndo) && ok;
    // The first half: from the start to the start of the middle line.
    const int32_t middle = JobGroupUnit::RowOfUnit(&job, 0, lines / 2);
    side.anchorRow = 0;
    side.anchorColumn = 0;
    side.cursorRow = middle;
    side.cursorColumn = 0;
    ok = Timed("deletehalf", job, editor, CommandDeleteSelections) && ok;
    ok = Timed("undohalf", job, editor, CommandUndo) && ok;
    std::printf("rows %d\n", Mark(job, true));
    ok = Timed("copyrows", job, editor, CommandCopyLinesTo) && ok;
    Mark(job, false);
    ok = Timed("undocopy", job, editor, CommandUndo) && ok;
    Mark(job, true, true);
    ok = Timed("deletelines", job, editor, CommandDeleteLines) && ok;
    Mark(job, false);
    ok = Timed("undolines", job, editor, CommandUndo) && ok;
    std::printf("lines %d\n", job.content1.Count());
    return ok ? 0 : 1;
}
