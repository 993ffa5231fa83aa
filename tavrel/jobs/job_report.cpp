#include "tavrel/jobs/job_report.h"

#include <cstddef>
#include <new>

namespace JobLayer {

// ---------------------------------------------------------------------------
// JobRowDetails

const JobReportUnit& JobRowDetails::Row() const {
    // The lists are a member of their row, so the row is found from them.
    return *reinterpret_cast<const JobReportUnit*>(reinterpret_cast<const char*>(this) -
                                                   offsetof(JobReportUnit, details));
}

JobDetailList JobRowDetails::operator[](int32_t column) const {
    if (column < 0 || column > 2) return JobDetailList();
    if (block_) return block_->lists[column];
    JobDetailList derived;
    const JobReportUnit& row = Row();
    if (row.kind == RowChanged && row.unit1 && row.unit2 && !row.unit1->IsPlaceholder() &&
        !row.unit2->IsPlaceholder())
        row.unit1->RowDetail(*row.unit2, column, derived);
    return derived;
}

JobRowDetails::Block& JobRowDetails::Stored() {
    if (!block_) {
        Block* block = new Block();
        for (int32_t c = 0; c < 3; ++c) block->lists[c] = static_cast<const JobRowDetails&>(*this)[c];
        block_ = block;
    }
    return *block_;
}

JobDetailList& JobRowDetails::operator[](int32_t column) {
    if (column < 0) column = 0;
    if (column > 2) column = 2;
    return Stored().lists[column];
}

JobDetailList* JobRowDetails::begin() { return Stored().lists; }
JobDetailList* JobRowDetails::end() { return Stored().lists + 3; }

void JobRowDetails::Clear() {
    delete block_;
    block_ = nullptr;
}

JobDetailList JobReportUnit::Details(int32_t column) const { return details[column]; }

// ---------------------------------------------------------------------------
// Rows

JobReportUnit* CreateCompareRow(uint32_t kind, JobContentUnit* unit1, JobContentUnit* unit2,
                                const JobDetailList& details0, const JobDetailList& details1,
                                const JobDetailList& details2) {
    JobReportUnit* row = NewCompareRow(kind, unit1, unit2);
    if (!details0.IsEmpty() || !details1.IsEmpty() || !details2.IsEmpty()) {
        row->details[0] = details0;
        row->details[1] = details1;
        row->details[2] = details2;
    }
    return row;
}

JobReportUnit* NewCompareRow(uint32_t kind, JobContentUnit* unit1, JobContentUnit* unit2,
                             RawLayer::SmallBlockBatch* batch) {
    JobReportUnit* row = batch ? ::new (batch->Next()) JobReportUnit() : new JobReportUnit();
    row->kind = kind;
    row->unit1 = unit1;
    row->unit2 = unit2;
    return row;
}

}  // namespace JobLayer
