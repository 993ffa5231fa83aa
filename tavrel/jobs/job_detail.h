// The detail of a result row: the segments of a character comparison of the
// two sides' texts, in text order. Segments carry no positions: each starts
// where the ones before it end, on each side separately.
#pragma once

#include <cstdint>

#include "base/raw_list.h"

namespace JobLayer {

// Segment kinds (the same values as the row kinds).
enum : uint32_t {
    SegmentSame = 0,
    SegmentOnly1 = 1,
    SegmentOnly2 = 2,
    SegmentChanged = 3
};

struct JobDetailUnit : RawLayer::SmallBlockObject {
    JobDetailUnit() : kind(SegmentSame), length1(0), length2(0) {}
    JobDetailUnit(uint32_t k, int32_t l1, int32_t l2) : kind(k), length1(l1), length2(l2) {}
    uint32_t kind;    // 0 same, 1 only in text 1, 2 only in text 2, 3 changed
    int32_t length1;  // length in text 1, in code units
    int32_t length2;  // length in text 2, in code units
};

class JobDetailListAllocator : public RawLayer::RawListDeleteAllocator<JobDetailUnit> {};

// An owning list of segments; copies share the body.
class JobDetailList : public RawLayer::RawListR<JobDetailListAllocator, JobDetailUnit> {
public:
    using RawLayer::RawListBodyT<JobDetailUnit>::Add;
    JobDetailUnit* Add(uint32_t kind, int32_t length1, int32_t length2) {
        return AddNew(kind, length1, length2);
    }
    // Appends a segment, or adds its lengths to the last one when that is
    // of the same kind.
    void AddMerged(uint32_t kind, int32_t length1, int32_t length2) {
        JobDetailUnit* last = Last();
        if (last && last->kind == kind) {
            last->length1 += length1;
            last->length2 += length2;
            return;
        }
        Add(kind, length1, length2);
    }
    // Appends a copy of every segment of another list.
    void AppendAll(const JobDetailList& source) {
        if (SharesBodyWith(source)) {
            JobDetailList copy;
            copy.AppendAll(source);
            AppendAll(copy);
            return;
        }
        for (const JobDetailUnit& unit : source) Add(unit.kind, unit.length1, unit.length2);
    }
};

}  // namespace JobLayer
