// Result rows of a job and the coloured field bands of a detail box.
#pragma once

#include <cstdint>

#include "base/raw_list.h"
#include "tavrel/jobs/job_content.h"
#include "tavrel/jobs/job_detail.h"

namespace JobLayer {

// Row kinds.
enum : uint32_t {
    RowSame = 0,
    RowOnly1 = 1,
    RowOnly2 = 2,
    RowChanged = 3
};

// Row flags.
enum : uint32_t {
    RowSkipped = 1,  // cursor movement passes over the row
    RowMarked = 2,   // marked by the view; connect and float act on marked rows
    RowEdited = 4    // changed by an edit, recomputed afterwards
};

// One result row.
struct JobReportUnit : RawLayer::SmallBlockObject {
    JobReportUnit() : flags(0), kind(RowSame), unit1(nullptr), unit2(nullptr) {}
    JobReportUnit(const JobReportUnit&) = delete;
    JobReportUnit& operator=(const JobReportUnit&) = delete;

    JobContentUnit* Unit(uint32_t side) const { return side == 0 ? unit1 : unit2; }
    void SetUnit(uint32_t side, JobContentUnit* unit) { (side == 0 ? unit1 : unit2) = unit; }

    uint32_t flags;
    uint32_t kind;           // 0 same, 1 only side 1, 2 only side 2, 3 changed
    JobContentUnit* unit1;   // not owned; a missing side holds a placeholder
    JobContentUnit* unit2;
    JobDetailList details[3];  // one per column
};

class JobReportListAllocator : public RawLayer::RawListDeleteAllocator<JobReportUnit> {};

// The owning list of a job's rows, in display order.
class JobReportList : public RawLayer::RawListR<JobReportListAllocator, JobReportUnit> {};

// A new row with flags 0 and copies of the three detail lists (the copies
// share the lists' bodies). The caller appends it.
JobReportUnit* CreateCompareRow(uint32_t kind, JobContentUnit* unit1, JobContentUnit* unit2,
                                const JobDetailList& details0, const JobDetailList& details1,
                                const JobDetailList& details2);
// The same with three empty lists of the row's own, without making list
// bodies only to share them: a compare makes one row per line or entry.
JobReportUnit* NewCompareRow(uint32_t kind, JobContentUnit* unit1, JobContentUnit* unit2);

// One coloured band of a detail box.
struct JobDrawFieldUnit {
    JobDrawFieldUnit() : xStart(0), xEnd(0), color(0) {}
    JobDrawFieldUnit(int32_t start, int32_t end, uint32_t c) : xStart(start), xEnd(end), color(c) {}
    int32_t xStart;
    int32_t xEnd;    // FieldRightEnd for the right end of the box
    uint32_t color;  // COLORREF
};

enum : int32_t { FieldRightEnd = 0x7FFFFFFF };

class JobDrawFieldListAllocator : public RawLayer::RawListDeleteAllocator<JobDrawFieldUnit> {};

class JobDrawFieldList : public RawLayer::RawListR<JobDrawFieldListAllocator, JobDrawFieldUnit> {
public:
    using RawLayer::RawListBodyT<JobDrawFieldUnit>::Add;
    JobDrawFieldUnit* Add(int32_t start, int32_t end, uint32_t color) {
        return AddNew(start, end, color);
    }
};

}  // namespace JobLayer
