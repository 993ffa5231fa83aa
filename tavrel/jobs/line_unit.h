// The line unit of the text kind: one line of a side, with the marks the
// user puts on it (connect, float), the match id of the latest line compare,
// its 1-based line number and the count of distinct low bytes of its text
// (a cheap weight for the compare). Drawing data is added by the text view.
#pragma once

#include <cstdint>
#include <typeinfo>

#include "base/raw_string.h"
#include "base/small_block.h"
#include "tavrel/jobs/job_content.h"

namespace JobLayer {

using RawLayer::RawString;

// Mark kinds of a line.
enum : uint16_t {
    MarkNone = 0,
    MarkConnect = 1,   // connected to the line of the other side with the same serial
    MarkFloat = 2,     // floated onto the anchor with the same serial
    MarkAnchor = 4,    // with MarkFloat: the line the floated lines attach to
    MarkFloatAnchor = MarkFloat | MarkAnchor
};

// Match ids of the line compare.
enum : uint32_t {
    MatchUndecided = 0,  // not decided yet
    MatchOneSided = 1,   // one-sided, decided while walking
    MatchLeftOver = 2,   // one-sided, left over at the end
    MatchFirstPair = 3   // 3 and up: shared by the two lines of one row
};

class JobLineUnit : public JobContentUnit {
public:
    JobLineUnit() {}
    explicit JobLineUnit(const RawString& text) { SetText(text); }
    ~JobLineUnit() override {}

    // A line of a load: the unit and a copy of the text's units in one block
    // of the pool, the text a view of them (a long line gets a text of its
    // own). One block per line instead of two, and the reader's buffer is
    // copied from directly. Destroy gives the block back.
    static JobLineUnit* NewWithText(const RawString& text, RawLayer::SmallBlockBatches* blocks = nullptr);

    // Sets the text; its distinct low bytes are counted when next asked for.
    void SetText(const RawString& text) {
        text_ = text;
        distinctCount_ = kDistinctUnknown;
    }
    const RawString& LineText() const { return text_; }
    // The line number as decimal text (empty before the line is numbered),
    // made when asked for: a load numbers every line, and only the shown
    // ones need the text.
    RawString NumberText() const { return lineNumber_ != 0 ? RawString::FromInt(lineNumber_) : RawString(); }
    int32_t LineNumber() const { return lineNumber_; }
    // Counted at the first call after the text was set: the line compare
    // weighs only the lines it scores, a small part of a large load.
    uint32_t DistinctCount() const {
        if (distinctCount_ == kDistinctUnknown) distinctCount_ = static_cast<uint16_t>(CountDistinct(text_));
        return distinctCount_;
    }

    bool IsFloatAnchor() const { return (markKind & MarkFloatAnchor) == MarkFloatAnchor; }
    bool IsPlaced() const { return (flags & UnitPlaced) != 0; }

    // The number of distinct values of the low 8 bits of the text's units.
    static uint32_t CountDistinct(const RawString& text) {
        // Every line of a load passes here: the units are read in place and
        // only marked; the marks are counted once at the end.
        uint32_t seen[8] = {0, 0, 0, 0, 0, 0, 0, 0};
        int32_t n = text.Length();
        if (text.Kind() == RawLayer::KindUtf16) {
            const uint16_t* p = static_cast<const uint16_t*>(text.Data());
            for (int32_t i = 0; i < n; ++i) seen[(p[i] >> 5) & 7] |= 1u << (p[i] & 31);
        } else {
            const uint8_t* p = static_cast<const uint8_t*>(text.Data());
            for (int32_t i = 0; i < n; ++i) seen[p[i] >> 5] |= 1u << (p[i] & 31);
        }
        uint32_t count = 0;
        for (uint32_t word : seen) count += static_cast<uint32_t>(__builtin_popcount(word));
        return count;
    }

    RawString Name() const override { return text_; }
    // Column 0 the line number, column 1 the text.
    RawString ColumnText(int32_t column) const override {
        if (column == 0) return NumberText();
        if (column == 1) return text_;
        return RawString();
    }
    RawString Text() const override { return text_; }
    void SetNumber(int32_t number) override { lineNumber_ = number; }
    void Destroy() override {
        if (blockBytes_ == 0) {
            delete this;
            return;
        }
        // Made by NewWithText: the text (a view into the block) goes with
        // the unit, then the block.
        const size_t bytes = blockBytes_;
        this->~JobLineUnit();
        RawLayer::SmallRelease(this, bytes);
    }

protected:
    explicit JobLineUnit(uint16_t unitFlags) : JobContentUnit(unitFlags) {}

private:
    static constexpr uint16_t kDistinctUnknown = 0xFFFF;

    int32_t lineNumber_ = 0;
    mutable uint16_t distinctCount_ = 0;  // at most 256; kDistinctUnknown until counted
    uint16_t blockBytes_ = 0;     // the pool block of NewWithText; 0 for `new`
    RawString text_;
};

// A line unit that lives for the whole process; lists never delete it.
class JobSharedLineUnit : public JobLineUnit {
public:
    explicit JobSharedLineUnit(uint16_t unitFlags) : JobLineUnit(unitFlags) {}
    void Destroy() override {}
};

// The one shared placeholder line (flags 1, empty texts) that stands in a
// row for the missing side.
inline JobLineUnit& EmptyLineUnit() {
    static JobSharedLineUnit unit(UnitPlaceholder);
    return unit;
}

// The unit as a line, or null when it is none. A plain line (nearly every
// unit of a text side) is known by its type alone, without the search of a
// dynamic cast, which walks of a whole side would pay for every line.
inline JobLineUnit* AsLineUnit(JobContentUnit* unit) {
    if (unit && typeid(*unit) == typeid(JobLineUnit)) return static_cast<JobLineUnit*>(unit);
    return dynamic_cast<JobLineUnit*>(unit);
}

}  // namespace JobLayer
