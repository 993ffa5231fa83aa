#include "tavrel/jobs/job_dbox_draw.h"

#include "tavrel/jobs/color_settings.h"
#include "tavrel/jobs/config_store.h"
#include "tavrel/jobs/inline_diff.h"
#include "toolkit/environment.h"

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

JobLineDBoxDraw& JobLineDBoxDraw::Shared() {
    static JobLineDBoxDraw draw;
    return draw;
}

void JobLineDBoxDraw::PrepareBox(DetailDrawRecord& record) {
    JobDetailBox* box = record.view;
    if (!box) return;
    box->AttachIme(box->AllowsTyping());
    box->SetBackColor(WinLayer::ListWindowColor());
    box->SetTabWidth(ConfigStore::Instance().tabStop);
    box->SetDrawFlag(DetailBoxPlainFlag, false);
}

void JobLineDBoxDraw::FillFields(DetailDrawRecord& record) {
    record.fields = JobDrawFieldList();
    if (!record.view) return;
    record.fields.Add(record.view->TextEndX(), FieldRightEnd, ButtonFaceColor());
}

RawString JobLineDBoxDraw::DetailText(DetailDrawRecord&, JobContentUnit* unit) {
    return unit ? unit->Text() : RawString();
}

void JobLineDBoxDraw::MeasureBox(DetailDrawRecord&, DetailDrawRecord&) {}

JobDetailList JobLineDBoxDraw::DetailList(const JobReportUnit* row, const RawString& text1,
                                          const RawString& text2) {
    JobDetailList list;
    if (row && row->kind == RowChanged) InlineDiff(list, text1, text2);
    return list;
}

}  // namespace JobLayer
