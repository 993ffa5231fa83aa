// The folder box: the central list of the main window, one item per result
// row of the job shown in the current tab, side 1 left of the dividing
// point and side 2 right of it. It always shows some job: before the first
// tab and while the window closes, the job list's spare job (kind none).
#pragma once

#include <windows.h>

#include <cstdint>

#include "tavrel/jobs/job_group.h"
#include "tavrel/jobs/job_report.h"
#include "toolkit/list_box.h"

namespace AppLayer {

using JobLayer::JobGroupUnit;
using JobLayer::JobReportUnit;

class GuiFolderBox : public WinLayer::WinListBoxR<JobReportUnit> {
public:
    // Multiple selection of rows.
    void Construct();

    // Shows the job's rows (the spare job for null), hiding the row kinds
    // its result filter leaves out.
    void SetJob(JobGroupUnit* job);
    JobGroupUnit* Job() const { return job_; }
    // Rebuilds the items from the job's rows, keeping the first shown row.
    void RefreshRows();
    // Lets every job go (the window is closing): the spare job, no items,
    // no scroll, no selection.
    void ReleaseJob();
    // Copies the items' selection into the rows' selected flag, and back;
    // the number of selected rows.
    int32_t CopySelectionToRows();
    int32_t CopySelectionFromRows();
    // The height of one row; 0 before the first layout.
    int32_t RowHeight() const { return lineStep.cy; }

    void DrawItemOf(WinLayer::WinDrawContext& dc, const RECT& rect, int32_t index, WinLayer::WinListBoxItemUnit& unit,
                    JobReportUnit* row) override;
    void MeasureItemOf(WinLayer::WinDrawContext& dc, RECT& size, int32_t index, WinLayer::WinListBoxItemUnit& unit,
                       JobReportUnit* row) override;

private:
    JobGroupUnit* job_ = nullptr;
    int32_t rowHeight_ = 0;
};

// The spare job of the job list (kind none), made on first use.
JobGroupUnit* SpareJob();

}  // namespace AppLayer
