// Array list bodies and their sort.
#include "base/raw_array_list.h"

#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

namespace RawLayer {

namespace {

constexpr int32_t kFirstArrayCapacity = 4;

size_t ArrayBytes(int32_t capacity) { return static_cast<size_t>(capacity) * sizeof(void*); }

}  // namespace

void RawArrayListBody::FreeArray(void** units, int32_t capacity) {
    if (units) SmallRelease(units, ArrayBytes(capacity));
}

RawArrayListBody::RawArrayListBody(const RawArrayListBody& other, RawListProperty::Allocator* allocator)
    : body_(nullptr), allocator_(allocator) {
    // The copy must see what either of them adds later: one body for both.
    other.OwnBody();
    body_ = other.body_;
    ++body_->shareCount;
}

void RawArrayListBody::OwnBody() const {
    if (body_) return;
    RawArrayListShared* b = new RawArrayListShared;
    b->shareCount = 0;
    b->count = 0;
    b->capacity = 0;
    b->units = nullptr;
    body_ = b;
}

void RawArrayListBody::AssignShared(const RawArrayListBody& other) {
    if (&other == this) return;
    other.OwnBody();
    if (other.body_ == body_) return;
    RawArrayListShared* b = other.body_;
    ++b->shareCount;
    Release();
    body_ = b;
}

void RawArrayListBody::AssignStolen(RawArrayListBody& other) {
    if (&other == this) return;
    if (other.body_ == body_) {
        // Both held the same body (or none): this keeps its hold.
        if (!body_) return;
        other.Release();
        return;
    }
    Release();
    body_ = other.body_;
    other.body_ = nullptr;
}

void RawArrayListBody::Release() {
    RawArrayListShared* b = body_;
    if (!b) return;
    body_ = nullptr;
    if (b->shareCount > 0) {
        --b->shareCount;
        return;
    }
    void** units = b->units;
    int32_t count = b->count;
    int32_t capacity = b->capacity;
    b->units = nullptr;
    b->count = 0;
    b->capacity = 0;
    delete b;
    for (int32_t i = 0; i < count; ++i) allocator_->ReleaseUnit(units[i]);
    FreeArray(units, capacity);
}

void RawArrayListBody::Clear() { Release(); }

int32_t RawArrayListBody::IndexOfUnit(const void* unit) const {
    const int32_t n = Count();
    void** units = Units();
    for (int32_t i = 0; i < n; ++i)
        if (units[i] == unit) return i;
    return -1;
}

void RawArrayListBody::Grow(int32_t needed) {
    OwnBody();
    RawArrayListShared* b = body_;
    if (needed <= b->capacity) return;
    // Doubling: a list that grows to n units has copied fewer than n
    // pointers on its way; the room left over goes at ShrinkToFit.
    int64_t want = 2 * static_cast<int64_t>(b->capacity);
    if (want < kFirstArrayCapacity) want = kFirstArrayCapacity;
    if (want < needed) want = needed;
    const int64_t most = static_cast<int64_t>(INT32_MAX / sizeof(void*));
    if (want > most) want = most;
    if (want < needed) throw std::bad_alloc();
    int32_t capacity = static_cast<int32_t>(want);
    void** units = static_cast<void**>(SmallAllocate(ArrayBytes(capacity)));
    if (b->count > 0) std::memcpy(units, b->units, ArrayBytes(b->count));
    FreeArray(b->units, b->capacity);
    b->units = units;
    b->capacity = capacity;
}

void RawArrayListBody::Reserve(int32_t count) {
    if (count > 0) Grow(count);
}

void RawArrayListBody::ShrinkToFit() {
    RawArrayListShared* b = body_;
    if (!b || b->capacity == b->count) return;
    void** units = nullptr;
    if (b->count > 0) {
        units = static_cast<void**>(SmallAllocate(ArrayBytes(b->count)));
        std::memcpy(units, b->units, ArrayBytes(b->count));
    }
    FreeArray(b->units, b->capacity);
    b->units = units;
    b->capacity = b->count;
}

void RawArrayListBody::InsertUnitAt(int32_t index, void* unit) {
    int32_t count = Count();
    if (count == INT32_MAX) throw std::bad_alloc();
    // The unit is not lost when the array cannot grow.
    try {
        Grow(count + 1);
    } catch (...) {
        ReleaseUnit(unit);
        throw;
    }
    void** units = body_->units;
    if (index < count)
        std::memmove(units + index + 1, units + index, ArrayBytes(count - index));
    units[index] = unit;
    body_->count = count + 1;
}

void RawArrayListBody::InsertUnitsAt(const int32_t* before, void* const* units, int32_t count) {
    const int32_t had = Count();
    if (count > INT32_MAX - had) {
        for (int32_t i = 0; i < count; ++i) ReleaseUnit(units[i]);
        throw std::bad_alloc();
    }
    // The units are not lost when the array cannot grow.
    try {
        Grow(had + count);
    } catch (...) {
        for (int32_t i = 0; i < count; ++i) ReleaseUnit(units[i]);
        throw;
    }
    // From the end: each old unit moves once, past the new units before it.
    void** array = body_->units;
    int32_t old = had;
    for (int32_t k = count; k-- > 0;) {
        const int32_t at = before[k];
        const int32_t run = old - at;
        if (run > 0) std::memmove(array + at + k + 1, array + at, ArrayBytes(run));
        old = at;
        array[at + k] = units[k];
    }
    body_->count = had + count;
}

int32_t RawArrayListBody::CompactRange(int32_t from, int32_t to, bool (*keep)(const void* unit, void* context),
                                       void* context) {
    const int32_t count = Count();
    from = from < 0 ? 0 : from;
    to = to > count ? count : to;
    if (from >= to) return 0;
    void** array = body_->units;
    // The dropped units wait at the end of the range until the rest stands
    // in order; then the tail moves once and they are released.
    std::vector<void*> dropped;
    dropped.reserve(static_cast<size_t>(to - from));  // before anything moves
    int32_t out = from;
    for (int32_t i = from; i < to; ++i) {
        if (keep(array[i], context))
            array[out++] = array[i];
        else
            dropped.push_back(array[i]);
    }
    const int32_t removed = to - out;
    if (removed == 0) return 0;
    std::memmove(array + out, array + to, ArrayBytes(count - to));
    body_->count = count - removed;
    for (void* unit : dropped) ReleaseUnit(unit);
    return removed;
}

void* RawArrayListBody::TakeAtIndex(int32_t index) {
    int32_t count = Count();
    if (index < 0 || index >= count) return nullptr;
    void** units = body_->units;
    void* unit = units[index];
    std::memmove(units + index, units + index + 1, ArrayBytes(count - index - 1));
    body_->count = count - 1;
    return unit;
}

bool RawArrayListBody::RemoveAtIndex(int32_t index) {
    void* unit = TakeAtIndex(index);
    if (!unit) return false;
    ReleaseUnit(unit);
    return true;
}

namespace {

// Sorts `count` pointers in place; `spare` has room for count / 2 of them.
// The decisions are those of the linked merge sort: the runs are halved the
// same way and a right unit goes first only when it compares greater than
// zero against the left one.
void SortArrayRun(const RawListSort& cmp, void** run, void** spare, int32_t count) {
    if (count < 2) return;
    int32_t half = count / 2;
    SortArrayRun(cmp, run, spare, half);
    SortArrayRun(cmp, run + half, spare, count - half);
    std::memcpy(spare, run, static_cast<size_t>(half) * sizeof(void*));
    int32_t l = 0, r = half, out = 0;
    while (l < half && r < count) {
        if (cmp.Compare(spare[l], run[r]) > 0)
            run[out++] = run[r++];
        else
            run[out++] = spare[l++];
    }
    while (l < half) run[out++] = spare[l++];
}

}  // namespace

void RawArrayListBody::Sort(const RawListSort& comparator) {
    int32_t count = Count();
    if (count < 2) return;
    void** spare = static_cast<void**>(SmallAllocate(ArrayBytes(count / 2)));
    SortArrayRun(comparator, body_->units, spare, count);
    SmallRelease(spare, ArrayBytes(count / 2));
}

}  // namespace RawLayer
