#include "tavrel/jobs/job_report.h"

namespace JobLayer {

JobReportUnit* CreateCompareRow(uint32_t kind, JobContentUnit* unit1, JobContentUnit* unit2,
                                const JobDetailList& details0, const JobDetailList& details1,
                                const JobDetailList& details2) {
    JobReportUnit* row = new JobReportUnit();
    row->kind = kind;
    row->unit1 = unit1;
    row->unit2 = unit2;
    row->details[0] = details0;
    row->details[1] = details1;
    row->details[2] = details2;
    return row;
}

JobReportUnit* NewCompareRow(uint32_t kind, JobContentUnit* unit1, JobContentUnit* unit2) {
    JobReportUnit* row = new JobReportUnit();
    row->kind = kind;
    row->unit1 = unit1;
    row->unit2 = unit2;
    return row;
}

}  // namespace JobLayer
