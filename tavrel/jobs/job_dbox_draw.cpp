#include "tavrel/jobs/job_dbox_draw.h"

#include "tavrel/jobs/color_settings.h"

namespace JobLayer {

void DetailDrawRecord::Init(JobDetailBox* box, uint32_t sideIndex) {
    InitWith(box, nullptr, nullptr, sideIndex);
}

void DetailDrawRecord::InitWith(JobDetailBox* box, JobGroupUnit* shownJob, JobReportUnit* shownRow,
                                uint32_t sideIndex) {
    view = box;
    job = shownJob;
    row = shownRow;
    side = sideIndex;
    fields = JobDrawFieldList();
}

JobBaseDBoxDraw& JobBaseDBoxDraw::Shared() {
    static JobBaseDBoxDraw draw;
    return draw;
}

void JobBaseDBoxDraw::PrepareBox(DetailDrawRecord& record) {
    JobDetailBox* box = record.view;
    if (!box) return;
    box->AttachIme(box->AllowsTyping());
    box->SetBackColor(ButtonFaceColor());
    box->SetTabWidth(1);
    box->SetDrawFlag(DetailBoxPlainFlag, true);
}

void JobBaseDBoxDraw::FillFields(DetailDrawRecord&) {}

RawString JobBaseDBoxDraw::DetailText(DetailDrawRecord&, JobContentUnit*) { return RawString(); }

void JobBaseDBoxDraw::MeasureBox(DetailDrawRecord&, DetailDrawRecord&) {}

JobDetailList JobBaseDBoxDraw::DetailList(const JobReportUnit*, const RawString&,
                                          const RawString&) {
    return JobDetailList();
}

}  // namespace JobLayer
