// Copy-on-write arrays of small plain records (RawArrayC): copies share one
// body until one of them writes.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <new>
#include <type_traits>
#include <utility>

namespace RawLayer {

// The base of a shared array body.
struct RawDataShared {
    CRITICAL_SECTION lock;
    uint32_t shareCount;   // holders besides the first
    void* elements;
    int32_t step;          // growth step, 10 when made
    int32_t count;
    int32_t capacity;

    static constexpr int32_t kDefaultStep = 10;

    // A new body of `capacity` elements of `elementSize` bytes (count 0);
    // null when the memory cannot be had.
    static RawDataShared* NewBody(size_t elementSize, int32_t capacity, int32_t step);
    // The one read-only body of every array that has not written yet (no
    // elements, step 10): a document makes four arrays for each of its
    // lines and most of them stay empty, so an array gets a body of its own
    // only when it first writes. Share and Drop leave it alone.
    static RawDataShared* EmptyBody() { return &emptyBody_; }
    // A new body with the same step, count and capacity and a copy of the
    // elements.
    static RawDataShared* CopyBody(const RawDataShared& source, size_t elementSize);
    // Raises the share count under the lock.
    static void Share(RawDataShared* body);
    // Drops one share under the lock and frees the body when it was the
    // last; true when it was freed.
    static bool Drop(RawDataShared* body);
    // Makes room for at least `needed` elements (growing by the step, and
    // by half the capacity for long arrays); false when out of memory.
    static bool Grow(RawDataShared* body, size_t elementSize, int32_t needed);
    // Makes the capacity exactly `capacity` when it is below it; false when
    // out of memory.
    static bool GrowExact(RawDataShared* body, size_t elementSize, int32_t capacity);

    // A handle on a body: slot 0 the destructor (drops one share), slot 1
    // Duplicate (a private copy of the body).
    class Duplicator {
    public:
        Duplicator() : body_(nullptr) {}
        virtual ~Duplicator() {
            if (body_) Drop(body_);
        }
        virtual RawDataShared* Duplicate() const = 0;
        RawDataShared* Body() const { return body_; }

    protected:
        Duplicator(const Duplicator&) = delete;
        Duplicator& operator=(const Duplicator&) = delete;
        RawDataShared* body_;
    };

private:
    static RawDataShared emptyBody_;
};

// Typed view of a body holding elements of T.
template <class T>
struct RawArrayData : RawDataShared {
    T* Elements() { return static_cast<T*>(elements); }
    const T* Elements() const { return static_cast<const T*>(elements); }
};

// The body of a copy-on-write array: elements are plain records copied
// byte for byte.
template <class T>
struct RawArrayDataC : RawArrayData<T> {
    static_assert(std::is_trivially_copyable<T>::value,
                  "shared arrays hold plain records");
};

// The handle of a copy-on-write array over RawArrayDataC<T>.
template <class T>
class RawArrayBody : public RawDataShared::Duplicator {
public:
    RawArrayBody() { body_ = RawDataShared::EmptyBody(); }
    RawDataShared* Duplicate() const override {
        RawDataShared* copy = RawDataShared::CopyBody(*body_, sizeof(T));
        if (!copy) throw std::bad_alloc();
        return copy;
    }
    RawArrayDataC<T>* Data() const { return static_cast<RawArrayDataC<T>*>(body_); }
    // Shares another handle's body in place of this one.
    void ShareFrom(const RawArrayBody& other) {
        if (other.body_ == body_) return;
        RawDataShared::Share(other.body_);
        RawDataShared::Drop(body_);
        body_ = other.body_;
    }
    // Gives this handle a private body when its body is shared (or is the
    // empty one).
    void Detach() {
        if (body_ == RawDataShared::EmptyBody()) {
            body_ = NewOrDie(0, RawDataShared::kDefaultStep);
            return;
        }
        EnterCriticalSection(&body_->lock);
        if (body_->shareCount == 0) {
            LeaveCriticalSection(&body_->lock);
            return;
        }
        RawDataShared* copy = RawDataShared::CopyBody(*body_, sizeof(T));
        if (!copy) {
            LeaveCriticalSection(&body_->lock);
            throw std::bad_alloc();
        }
        --body_->shareCount;
        LeaveCriticalSection(&body_->lock);
        body_ = copy;
    }
    void Reset(int32_t step) {
        RawDataShared* fresh =
            step == RawDataShared::kDefaultStep ? RawDataShared::EmptyBody() : NewOrDie(0, step);
        RawDataShared::Drop(body_);
        body_ = fresh;
    }
    void Swap(RawArrayBody& other) { std::swap(body_, other.body_); }

private:
    static RawDataShared* NewOrDie(int32_t capacity, int32_t step) {
        RawDataShared* b = RawDataShared::NewBody(sizeof(T), capacity, step);
        if (!b) throw std::bad_alloc();
        return b;
    }
};

// A copy-on-write array of plain records: copies share one body; every
// write first gives the writer a private body when the body is shared.
template <class T>
class RawArrayC {
public:
    RawArrayC() = default;
    RawArrayC(const RawArrayC& other) { handle_.ShareFrom(other.handle_); }
    RawArrayC(RawArrayC&& other) { handle_.Swap(other.handle_); }
    RawArrayC& operator=(const RawArrayC& other) {
        handle_.ShareFrom(other.handle_);
        return *this;
    }
    RawArrayC& operator=(RawArrayC&& other) {
        if (this != &other) {
            handle_.Swap(other.handle_);
            other.Clear();
        }
        return *this;
    }

    int32_t Count() const { return Data()->count; }
    bool IsEmpty() const { return Data()->count == 0; }
    int32_t Capacity() const { return Data()->capacity; }
    int32_t Step() const { return Data()->step; }
    uint32_t ShareCount() const { return Data()->shareCount; }
    // Every array shares with itself; two arrays that never wrote share
    // nothing.
    bool SharesBodyWith(const RawArrayC& other) const {
        return this == &other || (handle_.Body() == other.handle_.Body() &&
                                  handle_.Body() != RawDataShared::EmptyBody());
    }
    const T* Elements() const { return Data()->Elements(); }
    const T* begin() const { return Data()->Elements(); }
    const T* end() const { return Data()->Elements() + Data()->count; }
    // The element at an index (which must be in range).
    const T& operator[](int32_t index) const { return Data()->Elements()[index]; }
    // The element at an index; false (out untouched) out of range.
    bool GetAt(int32_t index, T& out) const {
        if (index < 0 || index >= Count()) return false;
        out = Data()->Elements()[index];
        return true;
    }
    // The element at an index, or `fallback` out of range.
    T At(int32_t index, const T& fallback = T()) const {
        return (index < 0 || index >= Count()) ? fallback : Data()->Elements()[index];
    }

    // Writable elements (detaches first).
    T* WritableElements() {
        handle_.Detach();
        return Data()->Elements();
    }
    // Replaces the element at an index from 0 to Count() - 1; false outside.
    bool SetAt(int32_t index, const T& value) {
        if (index < 0 || index >= Count()) return false;
        WritableElements()[index] = value;
        return true;
    }
    void Append(const T& value) { Insert(Count(), value); }
    // Inserts at an index from 0 to Count(); false outside.
    bool Insert(int32_t index, const T& value) {
        if (index < 0 || index > Count()) return false;
        T copy = value;  // the value may live in this array
        Reserve(Count() + 1);
        RawArrayDataC<T>* d = Data();
        T* e = d->Elements();
        std::memmove(static_cast<void*>(e + index + 1), static_cast<const void*>(e + index),
                     static_cast<size_t>(d->count - index) * sizeof(T));
        e[index] = copy;
        ++d->count;
        return true;
    }
    // Removes `count` elements from an index; the range is clamped.
    void RemoveAt(int32_t index, int32_t count = 1) {
        int32_t n = Count();
        if (index < 0 || index >= n || count <= 0) return;
        if (count > n - index) count = n - index;
        handle_.Detach();
        RawArrayDataC<T>* d = Data();
        T* e = d->Elements();
        std::memmove(static_cast<void*>(e + index), static_cast<const void*>(e + index + count),
                     static_cast<size_t>(n - index - count) * sizeof(T));
        d->count = n - count;
    }
    // Sets the count; new elements are filled with zero bytes.
    void SetSize(int32_t count) {
        if (count < 0) count = 0;
        int32_t n = Count();
        if (count == n) return;
        if (count > n) Reserve(count);
        else handle_.Detach();
        RawArrayDataC<T>* d = Data();
        if (count > n)
            std::memset(static_cast<void*>(d->Elements() + n), 0,
                        static_cast<size_t>(count - n) * sizeof(T));
        d->count = count;
    }
    // Makes room for `count` elements (detaching first).
    void Reserve(int32_t count) {
        handle_.Detach();
        if (count > Data()->capacity && !RawDataShared::Grow(Data(), sizeof(T), count))
            throw std::bad_alloc();
    }
    // Makes the capacity exactly `count` when it is below it (detaching
    // first), for callers that grow by a rule of their own.
    void ReserveExact(int32_t count) {
        handle_.Detach();
        if (count > Data()->capacity && !RawDataShared::GrowExact(Data(), sizeof(T), count))
            throw std::bad_alloc();
    }
    // A new empty body with the same step; other holders keep the old one.
    void Clear() { handle_.Reset(Step()); }
    void SetStep(int32_t step) {
        handle_.Detach();
        Data()->step = step > 0 ? step : 1;
    }

private:
    RawArrayDataC<T>* Data() const { return handle_.Data(); }
    RawArrayBody<T> handle_;
};

}  // namespace RawLayer
