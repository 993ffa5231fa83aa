// Bodies of the copy-on-write arrays.
#include "base/raw_array.h"

#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>

namespace RawLayer {

namespace {

bool ByteSize(size_t elementSize, int32_t count, size_t* out) {
    if (count < 0) return false;
    if (elementSize != 0 && static_cast<size_t>(count) > SIZE_MAX / elementSize) return false;
    *out = static_cast<size_t>(count) * elementSize;
    return true;
}

}  // namespace

RawDataShared RawDataShared::emptyBody_ = {{}, 0, nullptr, RawDataShared::kDefaultStep, 0, 0};

RawDataShared* RawDataShared::NewBody(size_t elementSize, int32_t capacity, int32_t step) {
    size_t bytes = 0;
    if (!ByteSize(elementSize, capacity, &bytes)) return nullptr;
    RawDataShared* b = new (std::nothrow) RawDataShared;
    if (!b) return nullptr;
    b->elements = nullptr;
    if (bytes > 0) {
        b->elements = std::malloc(bytes);
        if (!b->elements) {
            delete b;
            return nullptr;
        }
    }
    InitializeCriticalSection(&b->lock);  // see NewShared: cheap to delete
    b->shareCount = 0;
    b->step = step > 0 ? step : kDefaultStep;
    b->count = 0;
    b->capacity = capacity;
    return b;
}

RawDataShared* RawDataShared::CopyBody(const RawDataShared& source, size_t elementSize) {
    RawDataShared* b = NewBody(elementSize, source.capacity, source.step);
    if (!b) return nullptr;
    if (source.count > 0)
        std::memcpy(b->elements, source.elements, static_cast<size_t>(source.count) * elementSize);
    b->count = source.count;
    return b;
}

void RawDataShared::Share(RawDataShared* body) {
    if (body == EmptyBody()) return;
    EnterCriticalSection(&body->lock);
    ++body->shareCount;
    LeaveCriticalSection(&body->lock);
}

bool RawDataShared::Drop(RawDataShared* body) {
    if (!body || body == EmptyBody()) return false;
    EnterCriticalSection(&body->lock);
    if (body->shareCount > 0) {
        --body->shareCount;
        LeaveCriticalSection(&body->lock);
        return false;
    }
    LeaveCriticalSection(&body->lock);
    DeleteCriticalSection(&body->lock);
    std::free(body->elements);
    delete body;
    return true;
}

bool RawDataShared::Grow(RawDataShared* body, size_t elementSize, int32_t needed) {
    if (needed <= body->capacity) return true;
    int64_t want = static_cast<int64_t>(body->capacity) + body->step;
    int64_t half = static_cast<int64_t>(body->capacity) + body->capacity / 2;
    if (want < half) want = half;
    if (want < needed) want = needed;
    if (want > INT32_MAX) want = INT32_MAX;
    return GrowExact(body, elementSize, static_cast<int32_t>(want));
}

bool RawDataShared::GrowExact(RawDataShared* body, size_t elementSize, int32_t capacity) {
    if (capacity <= body->capacity) return true;
    size_t bytes = 0;
    if (!ByteSize(elementSize, capacity, &bytes)) return false;
    void* grown = std::realloc(body->elements, bytes);
    if (!grown) return false;
    body->elements = grown;
    body->capacity = capacity;
    return true;
}

}  // namespace RawLayer
