#include "tavrel/jobs/job_kind_control.h"

#include <new>

#include "tavrel/jobs/job_dbox_draw.h"
#include "tavrel/jobs/job_group.h"
#include "tavrel/jobs/job_report.h"
#include "tavrel/jobs/shell_commands.h"

namespace JobLayer {

namespace {

// A report needs a little memory of its own; when even that is not there,
// the report is dropped rather than the program.
void ReportTooLarge(const RawString& path) {
    try {
        ReportError(TooLargeFileText(), path);
    } catch (const std::bad_alloc&) {
    }
}

}  // namespace

void DropSideOutOfMemory(JobGroupUnit& job, uint32_t side) {
    JobContentList& content = job.Content(side);
    content.ResetForLoad();
    content.flags = static_cast<uint16_t>(content.flags | ContentCut);
    ReportTooLarge(content.path);
}

void DropRowsOutOfMemory(JobGroupUnit& job) {
    job.rows.Clear();
    JobGroupUnit::SetSame(&job, false);
    for (uint32_t side = 0; side < 2; ++side)
        if (!job.Path(side).IsEmpty()) ReportTooLarge(job.Path(side));
}

JobKindControl& JobKindControl::NoneControl() {
    static JobKindControl control;
    return control;
}

uint32_t JobKindControl::Load(JobGroupUnit&, uint32_t) { return 0; }
void JobKindControl::InvalidateSide(JobGroupUnit&, uint32_t) {}
bool JobKindControl::SaveFile(JobGroupUnit&, uint32_t) { return false; }
bool JobKindControl::DiscardFile(JobGroupUnit&, uint32_t) { return false; }
uint32_t JobKindControl::Compare(JobGroupUnit&) { return 0; }
void JobKindControl::Idle(JobGroupUnit&) {}
bool JobKindControl::ConnectLines(JobGroupUnit&, int32_t, uint32_t, uint32_t) { return false; }
bool JobKindControl::DisconnectLines(JobGroupUnit&) { return false; }

uint32_t JobKindControl::PairStatus(JobGroupUnit&, JobContentUnit*, JobContentUnit*) {
    return RowChanged;
}

bool JobKindControl::SideMenu(JobGroupUnit&, uint32_t, HWND, POINT) { return false; }

bool JobKindControl::Execute(JobViewEditor&, JobGroupUnit&, uint32_t, uint32_t, ActionArgs&) {
    return false;
}

bool JobKindControl::CanExecute(JobViewEditor&, JobGroupUnit&, uint32_t, uint32_t) {
    return false;
}

}  // namespace JobLayer
