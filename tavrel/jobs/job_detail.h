// The detail of a result row: the segments of a character comparison of the
// two sides' texts, in text order. Segments carry no positions: each starts
// where the ones before it end, on each side separately.
#pragma once

#include <cstdint>

namespace JobLayer {

// Segment kinds (the same values as the row kinds).
enum : uint32_t {
    SegmentSame = 0,
    SegmentOnly1 = 1,
    SegmentOnly2 = 2,
    SegmentChanged = 3
};

struct JobDetailUnit {
    JobDetailUnit() : kind(SegmentSame), length1(0), length2(0) {}
    JobDetailUnit(uint32_t k, int32_t l1, int32_t l2) : kind(k), length1(l1), length2(l2) {}
    uint32_t kind;    // 0 same, 1 only in text 1, 2 only in text 2, 3 changed
    int32_t length1;  // length in text 1, in code units
    int32_t length2;  // length in text 2, in code units
};

// The segments of one detail column, side by side in one block together
// with their count: a changed row costs one small block per column instead
// of a list body and a block per segment. Copies share the block; a list
// that writes while its block is shared first takes a copy of its own, so a
// holder never sees another one's changes. A list that never held a
// segment has no block.
//
// The share count has no lock: the detail lists of a job belong to the GUI
// thread.
class JobDetailList {
public:
    JobDetailList() : body_(nullptr) {}
    JobDetailList(const JobDetailList& other) : body_(other.body_) {
        if (body_) ++body_->shareCount;
    }
    JobDetailList(JobDetailList&& other) noexcept : body_(other.body_) { other.body_ = nullptr; }
    JobDetailList& operator=(const JobDetailList& other);
    JobDetailList& operator=(JobDetailList&& other) noexcept;
    ~JobDetailList() { Drop(); }

    int32_t Count() const { return body_ ? body_->count : 0; }
    bool IsEmpty() const { return Count() == 0; }
    // Holders of the block besides this one.
    uint32_t ShareCount() const { return body_ ? body_->shareCount : 0; }
    // Whether two lists hold the same block (every list shares with itself;
    // two empty lists share nothing).
    bool SharesBodyWith(const JobDetailList& other) const {
        return this == &other || (body_ && body_ == other.body_);
    }

    const JobDetailUnit* begin() const { return body_ ? body_->segments : nullptr; }
    const JobDetailUnit* end() const { return body_ ? body_->segments + body_->count : nullptr; }
    // Writable segments (a shared block is copied first).
    JobDetailUnit* begin() { return Own() ? body_->segments : nullptr; }
    JobDetailUnit* end() { return Own() ? body_->segments + body_->count : nullptr; }

    // The segment at an index; null out of range.
    const JobDetailUnit* At(int32_t index) const {
        return (index >= 0 && index < Count()) ? body_->segments + index : nullptr;
    }
    JobDetailUnit* At(int32_t index) {
        return (index >= 0 && index < Count() && Own()) ? body_->segments + index : nullptr;
    }
    const JobDetailUnit* First() const { return At(0); }
    const JobDetailUnit* Last() const { return At(Count() - 1); }
    JobDetailUnit* First() { return At(0); }
    JobDetailUnit* Last() { return At(Count() - 1); }

    // Appends a segment; returns it (valid until the list changes again).
    JobDetailUnit* Add(uint32_t kind, int32_t length1, int32_t length2);
    // Appends a copy of every segment of another list (this one included).
    void AppendAll(const JobDetailList& source);
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
    // Room for `count` segments.
    void Reserve(int32_t count);
    // Lets go of the block; the list is empty.
    void Clear() { Drop(); }

private:
    struct Body {
        uint32_t shareCount;  // holders besides the first
        int32_t count;
        int32_t capacity;
        JobDetailUnit segments[1];  // `capacity` of them
    };
    static size_t BodyBytes(int32_t capacity);
    static Body* NewBody(int32_t capacity);
    static void FreeBody(Body* body);
    void Drop();
    // Gives the list a block of its own (copying a shared one); false when
    // the list is empty.
    bool Own();
    // Makes room for `needed` segments in a block of its own.
    void Grow(int32_t needed);

    Body* body_;
};

}  // namespace JobLayer
