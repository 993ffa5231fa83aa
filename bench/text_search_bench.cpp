// Searching and replacing in a text side through the edit commands.
//
//   text_search_bench search FILE EXPRESSION
//   text_search_bench replace FILE EXPRESSION REPLACEMENT
//
// The file is loaded (the loading limit raised) as side 1 of a job with no
// side 2. "search" runs one forward search (command 19) from the top and
// prints its time; "replace" runs the replace loop of the main window
// (command 19, then command 21, until the search fails) from the top and
// prints the number of replacements and the time.

#include <windows.h>

#include "bench/bench_clock.h"
#include "bench/quiet_editor.h"

#include <cstdio>
#include <cstring>

#include "base/raw_string.h"
#include "tavrel/jobs/action_args.h"
#include "tavrel/jobs/config_store.h"
#include "tavrel/jobs/job_group.h"
#include "tavrel/jobs/text/text_kind.h"

using namespace JobLayer;
using RawLayer::RawString;

int main(int argc, char** argv) {
    const bool replace = argc > 1 && std::strcmp(argv[1], "replace") == 0;
    if (argc < (replace ? 5 : 4)) {
        std::fprintf(stderr, "usage: text_search_bench search FILE EXPRESSION\n"
                             "       text_search_bench replace FILE EXPRESSION REPLACEMENT\n");
        return 2;
    }
    ConfigStore::Instance().maxTextLoading = 0x7FFFFFFF;
    JobGroupUnit job(JobKindType::FromKind(KindText), &JobLineControl::Shared());
    job.content1.path = RawString::FromText(argv[2]);
    job.edit.edit1 = 1;
    job.controller->Load(job, ModeBoth);
    if (job.content1.Count() == 0 || (job.content1.flags & (ContentCut | ContentUnreadable))) {
        std::fprintf(stderr, "cannot read the file whole\n");
        return 1;
    }
    QuietEditor editor;
    ActionArgs args(RawString::FromText(argv[3]), RawString::FromText(replace ? argv[4] : ""));
    job.side1.anchorRow = job.side1.cursorRow = 0;
    job.side1.anchorColumn = job.side1.cursorColumn = 0;
    LARGE_INTEGER t0, t1;
    QueryPerformanceCounter(&t0);
    int64_t count = 0;
    if (replace) {
        while (job.controller->Execute(editor, job, 0, CommandSearchForward, args) &&
               job.controller->Execute(editor, job, 0, CommandReplaceText, args))
            ++count;
    } else {
        count = job.controller->Execute(editor, job, 0, CommandSearchForward, args) ? 1 : 0;
    }
    QueryPerformanceCounter(&t1);
    std::printf("lines %d\n", job.content1.Count());
    std::printf("found %lld\n", static_cast<long long>(count));
    std::printf("seconds %.4f\n", Seconds(t0, t1));
    return 0;
}
