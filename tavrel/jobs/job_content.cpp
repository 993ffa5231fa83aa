#include "tavrel/jobs/job_content.h"

#include "tavrel/jobs/color_settings.h"
#include "tavrel/jobs/job_kind.h"

namespace JobLayer {

void JobColumnControl::KindData::UpdateMetrics(HDC, int32_t, int32_t) {}

RawString JobContentUnit::Name() const { return RawString(); }
uint32_t JobContentUnit::EntryKind() const { return 3; }
bool JobContentUnit::UpdateKind() { return false; }

const JobFileInfo& JobContentUnit::FileInfo() const {
    static const JobFileInfo zero = {};
    return zero;
}

RawString JobContentUnit::ColumnText(int32_t) const { return RawString(); }
RawString JobContentUnit::Text() const { return RawString(); }
void JobContentUnit::LayoutColumns(JobSideRecord&, const RECT&, bool) {}
void JobContentUnit::MeasureColumns(JobSideRecord&, HDC, int32_t) {}
void JobContentUnit::MeasureContent(JobSideRecord&, HDC, int32_t) {}
void JobContentUnit::MeasureFirstColumn(JobSideRecord&, HDC, int32_t) {}
void JobContentUnit::Draw(const JobDrawContext&) {}
int32_t JobContentUnit::FitCharIndex(int32_t index) const { return index; }
uint32_t JobContentUnit::ColumnAtX(const JobDrawContext&, int32_t) const { return 3; }
int32_t JobContentUnit::CharIndexAtX(const JobDrawContext&, int32_t) const { return -1; }

RECT JobContentUnit::CaretRect(const JobDrawContext&, int32_t) const {
    RECT empty = {0, 0, 0, 0};
    return empty;
}

RECT JobContentUnit::TextAreaRect(const JobDrawContext&) const {
    RECT empty = {0, 0, 0, 0};
    return empty;
}

void JobContentUnit::LayoutCharPositions(JobSideRecord&, HDC) {}
int32_t JobContentUnit::CharMidX(int32_t) const { return -1; }
int32_t JobContentUnit::CharIndexAtOffset(int32_t) const { return -1; }
int32_t JobContentUnit::LastColumn() const { return -1; }
int32_t JobContentUnit::EndColumn() const { return -1; }
int32_t JobContentUnit::NextColumn(int32_t index) const { return index; }
bool JobContentUnit::ToggleColumn(JobSideRecord&) { return false; }
void JobContentUnit::SetNumber(int32_t) {}
bool JobContentUnit::RowDetail(const JobContentUnit&, int32_t, JobDetailList&) const { return false; }

JobNullHeaderUnit& JobNullHeaderUnit::Shared() {
    static JobNullHeaderUnit unit;
    return unit;
}

void BuildSideTitles(RawString (&titles)[3]) {
    for (int column = 1; column <= 2; ++column) {
        RawString title = RawString::FromLiteral("[");
        title.Append(ColumnTitles(KindPath, column));
        title.AppendAscii("] ");
        titles[column] = title;
    }
}

}  // namespace JobLayer
