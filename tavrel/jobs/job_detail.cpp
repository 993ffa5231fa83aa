#include "tavrel/jobs/job_detail.h"

#include <cstddef>
#include <cstring>
#include <new>

#include "base/small_block.h"

namespace JobLayer {

namespace {

// A changed line has a handful of segments: the first block holds three.
constexpr int32_t kFirstCapacity = 3;
constexpr int32_t kMostSegments = 0x3FFFFFFF / static_cast<int32_t>(sizeof(JobDetailUnit));

}  // namespace

size_t JobDetailList::BodyBytes(int32_t capacity) {
    return offsetof(Body, segments) + static_cast<size_t>(capacity) * sizeof(JobDetailUnit);
}

JobDetailList::Body* JobDetailList::NewBody(int32_t capacity) {
    Body* body = static_cast<Body*>(RawLayer::SmallAllocate(BodyBytes(capacity)));
    body->shareCount = 0;
    body->count = 0;
    body->capacity = capacity;
    return body;
}

void JobDetailList::FreeBody(Body* body) { RawLayer::SmallRelease(body, BodyBytes(body->capacity)); }

void JobDetailList::Drop() {
    Body* body = body_;
    if (!body) return;
    body_ = nullptr;
    if (body->shareCount > 0)
        --body->shareCount;
    else
        FreeBody(body);
}

JobDetailList& JobDetailList::operator=(const JobDetailList& other) {
    if (other.body_ == body_) return *this;
    if (other.body_) ++other.body_->shareCount;
    Drop();
    body_ = other.body_;
    return *this;
}

JobDetailList& JobDetailList::operator=(JobDetailList&& other) noexcept {
    if (this != &other) {
        Drop();
        body_ = other.body_;
        other.body_ = nullptr;
    }
    return *this;
}

void JobDetailList::Grow(int32_t needed) {
    if (needed > kMostSegments) throw std::bad_alloc();
    Body* old = body_;
    if (old && old->shareCount == 0 && needed <= old->capacity) return;
    int32_t capacity = old ? old->capacity : 0;
    if (needed > capacity) {
        int32_t grown = capacity < kFirstCapacity ? kFirstCapacity : capacity + capacity / 2 + 1;
        capacity = grown < needed ? needed : (grown > kMostSegments ? kMostSegments : grown);
    }
    Body* body = NewBody(capacity);
    if (old) {
        body->count = old->count;
        std::memcpy(static_cast<void*>(body->segments), old->segments,
                    static_cast<size_t>(old->count) * sizeof(JobDetailUnit));
    }
    Drop();
    body_ = body;
}

bool JobDetailList::Own() {
    if (!body_) return false;
    if (body_->shareCount > 0) Grow(body_->count);
    return true;
}

void JobDetailList::Reserve(int32_t count) {
    if (count > 0) Grow(count);
}

JobDetailUnit* JobDetailList::Add(uint32_t kind, int32_t length1, int32_t length2) {
    Grow(Count() + 1);
    return new (body_->segments + body_->count++) JobDetailUnit(kind, length1, length2);
}

void JobDetailList::AppendAll(const JobDetailList& source) {
    // A hold of the source's block keeps its segments in place while this
    // list grows (when both are one list, the growth copies the block).
    JobDetailList keep(source);
    const int32_t n = keep.Count();
    if (n == 0) return;
    Grow(Count() + n);
    std::memcpy(static_cast<void*>(body_->segments + body_->count), keep.body_->segments,
                static_cast<size_t>(n) * sizeof(JobDetailUnit));
    body_->count += n;
}

}  // namespace JobLayer
