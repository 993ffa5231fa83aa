// Folder rows on screen: the folder kind's detail-box strategy (name, size
// and date lined up at tab stops in both boxes).
#pragma once

#include <windows.h>

#include <cstdint>

#include "base/raw_string.h"
#include "tavrel/jobs/job_dbox_draw.h"

namespace JobLayer {

// The detail boxes' tab stop, in characters.
constexpr int32_t kPathDetailTabCharacters = 4;

class JobPathDBoxDraw : public JobBaseDBoxDraw {
public:
    static JobPathDBoxDraw& Shared();

    // The input method by the box's mode, the button-face background, tab
    // stops every kPathDetailTabCharacters characters, plain drawing.
    void PrepareBox(DetailDrawRecord& record) override;
    // The name, the side's first tab count of tabs, the size title and
    // text, the second tab count of tabs, the date title and text; empty
    // for the placeholder.
    RawString DetailText(DetailDrawRecord& record, JobContentUnit* unit) override;
    // Both boxes take the larger width (a whole number of tab widths); the
    // tab counts bring the size to the last stop that leaves room for the
    // size and date, the date to the next stop past the size, with at
    // least one tab each.
    void MeasureBox(DetailDrawRecord& record1, DetailDrawRecord& record2) override;
    // For a changed row: the names compared by characters, the tabs, the
    // size and date parts compared by tokens; empty otherwise.
    JobDetailList DetailList(const JobReportUnit* row, const RawString& text1, const RawString& text2) override;
};

}  // namespace JobLayer
