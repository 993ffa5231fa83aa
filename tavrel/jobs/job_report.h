// Result rows of a job and the coloured field bands of a detail box.
#pragma once

#include <cstdint>

#include "base/raw_array_list.h"
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

struct JobReportUnit;

// The three detail lists of a row, one per column, behind one pointer: most
// rows have no segments at all, and a row gets its block of lists only when
// one of them is written. The rows of a kind whose units give their detail
// themselves (binary rows: it follows from the bytes of the two rows) hold
// none: reading a column of a changed row asks its units.
//
// Reading goes through a const row: `row.details[c]` gives the column's list
// (a copy sharing the row's segments, or the units' answer, or an empty
// list). Writing through a non-const row (`row.details[c] = list`,
// `row.details[c].Add(...)`, iterating over JobDetailList&) works on the
// row's own lists, made at the first such access.
class JobRowDetails {
public:
    JobRowDetails() : block_(nullptr) {}
    ~JobRowDetails() { delete block_; }
    JobRowDetails(const JobRowDetails&) = delete;
    JobRowDetails& operator=(const JobRowDetails&) = delete;

    // The list of a column (0-2); empty for another column.
    JobDetailList operator[](int32_t column) const;
    // The row's own list of a column (0-2; another column gives the last).
    JobDetailList& operator[](int32_t column);

    // Iterates over the three columns' lists (as operator[] const).
    class ConstIterator {
    public:
        ConstIterator(const JobRowDetails* details, int32_t column) : details_(details), column_(column) {}
        JobDetailList operator*() const { return (*details_)[column_]; }
        ConstIterator& operator++() {
            ++column_;
            return *this;
        }
        bool operator!=(const ConstIterator& o) const { return column_ != o.column_; }
        bool operator==(const ConstIterator& o) const { return column_ == o.column_; }

    private:
        const JobRowDetails* details_;
        int32_t column_;
    };
    ConstIterator begin() const { return ConstIterator(this, 0); }
    ConstIterator end() const { return ConstIterator(this, 3); }
    // The row's own three lists.
    JobDetailList* begin();
    JobDetailList* end();

    // Every column without segments of the row's own.
    void Clear();
    // Whether the row holds lists of its own.
    bool IsStored() const { return block_ != nullptr; }

private:
    struct Block : RawLayer::SmallBlockObject {
        JobDetailList lists[3];
    };
    const JobReportUnit& Row() const;
    // The row's block, made with the columns as they read so far.
    Block& Stored();

    Block* block_;
};

// One result row.
struct JobReportUnit : RawLayer::SmallBlockObject {
    JobReportUnit() : flags(0), kind(RowSame), unit1(nullptr), unit2(nullptr) {}
    JobReportUnit(const JobReportUnit&) = delete;
    JobReportUnit& operator=(const JobReportUnit&) = delete;

    JobContentUnit* Unit(uint32_t side) const { return side == 0 ? unit1 : unit2; }
    void SetUnit(uint32_t side, JobContentUnit* unit) { (side == 0 ? unit1 : unit2) = unit; }
    // The detail list of a column (0-2), as details[column] of a const row.
    JobDetailList Details(int32_t column) const;

    uint32_t flags;
    uint32_t kind;           // 0 same, 1 only side 1, 2 only side 2, 3 changed
    JobContentUnit* unit1;   // not owned; a missing side holds a placeholder
    JobContentUnit* unit2;
    JobRowDetails details;   // one list per column
};

class JobReportListAllocator : public RawLayer::RawListDeleteAllocator<JobReportUnit> {};

// The owning list of a job's rows, in display order.
class JobReportList : public RawLayer::RawArrayListR<JobReportListAllocator, JobReportUnit> {};

// A new row with flags 0 and copies of the three detail lists (the copies
// share the lists' segments). The caller appends it.
JobReportUnit* CreateCompareRow(uint32_t kind, JobContentUnit* unit1, JobContentUnit* unit2,
                                const JobDetailList& details0, const JobDetailList& details1,
                                const JobDetailList& details2);
// The same with three empty lists: a compare makes one row per line or
// entry, with a batch (of blocks of sizeof(JobReportUnit)) when it makes
// them by the thousand.
JobReportUnit* NewCompareRow(uint32_t kind, JobContentUnit* unit1, JobContentUnit* unit2,
                             RawLayer::SmallBlockBatch* batch = nullptr);

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
