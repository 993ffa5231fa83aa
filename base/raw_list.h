// List templates and shared arrays.
//
// Every list of both programs is one instantiation of the templates below:
// mostly a doubly linked ring of links kept in a reference-counted body with
// its own lock; the lists that a compare fills by the hundred thousand (the
// units of a side, the rows of a job) are array lists (RawArrayListR), with
// the same operations over one array of unit pointers and no lock. Copying a
// list object shares the body (both holders see the same units); the last
// holder to let go releases every unit through the list's allocator. Owning
// lists (RawListR, RawArrayListR) delete their units then; non-owning lists
// (RawListP) leave them alone.
//
// Making a new list type:
//
//     class FooListAllocator : public RawListDeleteAllocator<FooUnit> {};
//     class FooList : public RawListR<FooListAllocator, FooUnit> {
//         // extra fields (a case flag, ...) and keyed look-ups go here
//     };
//
// A list class that declares its own Add, Insert, SetAt or Find overloads
// hides those of the templates; bring them back with
// `using RawListBodyT<FooUnit>::Add;` and so on.
//
// A list object, like a RawString value, belongs to one thread at a time
// (index access keeps a position cache in the object); threads that share
// one body through their own list objects take Lock/Unlock (RawListLockGuard)
// around walks that another thread may change.
//
// Unit deletion belongs in the allocator class (its DeleteUnit), never in the
// list class: the units are released from ~RawListR, where a DeleteUnit
// override of a class derived from RawListR would no longer be reached.
//
// An owning list takes the unit in every call that hands it one, also when
// the call is refused (a bad index): the refused unit is released at once.
//
// Beside the lists stand copy-on-write arrays of small plain records
// (RawArrayC), whose copies share one body until one of them writes.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <type_traits>
#include <utility>
#include <vector>

#include "base/raw_string.h"
#include "base/small_block.h"

namespace RawLayer {

// ---------------------------------------------------------------------------
// Links and the shared body
// ---------------------------------------------------------------------------

// A link of the ring. The sentinel of a body is the link whose unit field
// points to itself; an empty list has the sentinel linked to itself.
struct RawListLink {
    RawListLink* prev;
    RawListLink* next;
    void* unit;
    bool IsSentinel() const { return unit == static_cast<const void*>(this); }
};

// The shared list body.
struct RawListShared : SmallBlockObject {
    CRITICAL_SECTION lock;   // guards the share count and the release
    uint32_t shareCount;     // holders besides the first (0 = one holder)
    RawListLink sentinel;    // prev = last link, next = first link
    int32_t count;           // number of units
    uint32_t version;        // raised by every change of the ring's shape
    // The links live in blocks owned by the body (links never move from one
    // body to another), so that a list of n units costs a few heap blocks
    // instead of n: unused links wait in a chain, and the blocks go with
    // the body.
    RawListLink* spareLinks; // freed links, chained by `next`
    void* linkBlocks;        // the blocks, each starting with the next one's address
    RawListLink* blockNext;  // the next never used link of the newest block
    int32_t blockLeft;       // never used links left there
    int32_t blockSize;       // links in the newest block
};

class RawListSort;

class RawListProperty {
public:
    // The interface through which a body hands a unit back when it lets go
    // of it (slot 0 destructor, slot 1 ReleaseUnit).
    class Allocator {
    public:
        virtual ~Allocator() = default;
        virtual void ReleaseUnit(void* unit) = 0;

    protected:
        Allocator() = default;
        Allocator(const Allocator&) = default;
        Allocator& operator=(const Allocator&) = default;
    };
};

// The typed allocator: ReleaseUnit hands the unit to DeleteUnit, which every
// list allocator defines. NewUnit is how lists create units; an allocator
// that keeps units elsewhere may hide it with its own.
template <class Unit>
class RawListAllocator : public RawListProperty::Allocator {
public:
    using UnitType = Unit;
    void ReleaseUnit(void* unit) override { DeleteUnit(static_cast<Unit*>(unit)); }
    virtual void DeleteUnit(Unit* unit) = 0;
    template <class... Args>
    static Unit* NewUnit(Args&&... args) {
        return new Unit(std::forward<Args>(args)...);
    }
};

// The allocator of an owning list: a unit dies with the list.
template <class Unit>
class RawListDeleteAllocator : public RawListAllocator<Unit> {
public:
    void DeleteUnit(Unit* unit) override { delete unit; }
};

// The allocator of a non-owning list: units belong to someone else.
template <class Unit>
class RawListKeepAllocator : public RawListAllocator<Unit> {
public:
    void DeleteUnit(Unit*) override {}
};

// The untyped part of every list object: the body pointer and the allocator
// pointer. The allocator is the list object itself for every list built
// from RawListR and RawListP; copies never take the source's pointer.
class RawListBody : public RawListProperty {
public:
    int32_t Count() const { return body_->count; }
    bool IsEmpty() const { return body_->count == 0; }
    // Holders of the body besides this one.
    uint32_t ShareCount() const;
    // Whether two list objects hold the same body. Every list shares with
    // itself; two lists that never held a unit share nothing.
    bool SharesBodyWith(const RawListBody& other) const {
        return this == &other || (body_ == other.body_ && body_ != EmptyShared());
    }

    // Link walking. The sentinel marks both ends: FirstLink of an empty list
    // and NextLink of the last link give the sentinel.
    RawListLink* Sentinel() const { return &body_->sentinel; }
    RawListLink* FirstLink() const { return body_->sentinel.next; }
    RawListLink* LastLink() const { return body_->sentinel.prev; }
    static RawListLink* NextLink(const RawListLink* link) { return link->next; }
    static RawListLink* PrevLink(const RawListLink* link) { return link->prev; }
    bool IsEnd(const RawListLink* link) const { return link == &body_->sentinel; }

    // The link at an index; the sentinel when the index is out of range.
    // Walking from the nearer of both ends or from the last index asked,
    // so that ascending or descending loops over the index stay linear.
    RawListLink* LinkAt(int32_t index) const;
    // Index of a link of this list; -1 for the sentinel or a foreign link.
    int32_t IndexOfLink(const RawListLink* link) const;
    // The link that holds the unit, or the sentinel.
    RawListLink* FindLink(const void* unit) const;
    bool ContainsUnit(const void* unit) const { return !IsEnd(FindLink(unit)); }
    int32_t IndexOfUnit(const void* unit) const;

    // The body's lock, for callers that walk a list that other threads may
    // change. The list operations themselves take it only for sharing and
    // release.
    void Lock() const;
    void Unlock() const;

    // Sorts the whole list, stable (RawListSort::MergeSort).
    void Sort(const RawListSort& comparator);

    // Lets go of the body (releasing the units when this was the last
    // holder) and starts a new empty one. Other holders keep the old units.
    void Clear();

    // Removes and releases the unit of a link; the next link is returned.
    // The sentinel is refused (returned unchanged).
    RawListLink* RemoveLink(RawListLink* link);
    // Unlinks a link without releasing its unit, which is returned (null for
    // the sentinel). The caller owns the unit from then on.
    void* TakeLink(RawListLink* link);
    // Moves a link of this list before another link (or the sentinel, to
    // the end).
    void MoveLinkBefore(RawListLink* link, RawListLink* before);

    // Lets go of the body: under its lock the share count is lowered; when
    // it was 0, every link is unlinked from the front, freed and its unit
    // handed to the allocator. Leaves the object without a body; only
    // destructors and Clear call it.
    void Release();

protected:
    explicit RawListBody(RawListProperty::Allocator* allocator);
    // Shares the other's body.
    RawListBody(const RawListBody& other, RawListProperty::Allocator* allocator);
    struct StealTag {};
    // Takes the other's body and gives it a new empty one.
    RawListBody(StealTag, RawListBody& other, RawListProperty::Allocator* allocator);
    ~RawListBody() = default;
    RawListBody(const RawListBody&) = delete;
    RawListBody& operator=(const RawListBody&) = delete;

    // Shares the other's body in place of this one (the allocator stays).
    void AssignShared(const RawListBody& other);
    // Takes the other's body; the other gets a new empty one.
    void AssignStolen(RawListBody& other);

    // A new link holding the unit, put before `before` (the sentinel
    // appends). The unit must not be null.
    RawListLink* LinkBefore(RawListLink* before, void* unit);
    // Hands a unit to the allocator (deletes it in owning lists).
    void ReleaseUnit(void* unit) { allocator_->ReleaseUnit(unit); }
    void Touch() { ++body_->version; }

    static RawListShared* NewShared();
    // A link from the body's blocks, and one handed back to them.
    static RawListLink* NewLink(RawListShared* body);
    static void FreeLink(RawListShared* body, RawListLink* link);
    // Frees the body's link blocks (every link of them is dead).
    static void FreeLinkBlocks(RawListShared* body);
    // The one read-only body of every list that has not needed a body of its
    // own yet. A compare makes lists by the thousand (three per result row)
    // and most of them stay empty; their real body, with its lock, is made
    // only when a unit arrives, a copy shares it or the lock is taken.
    static RawListShared* EmptyShared() { return &emptyShared_; }
    bool HasOwnBody() const { return body_ != EmptyShared(); }
    // Gives a list that still has the read-only empty body a body of its own.
    void OwnBody() const {
        if (body_ == EmptyShared()) {
            body_ = NewShared();
            cacheIndex_ = -1;
        }
    }

    // Mutable so that sharing from a const list (a copy) and taking the lock
    // can give it its own body first.
    mutable RawListShared* body_;
    RawListProperty::Allocator* allocator_;

private:
    // Position cache of LinkAt, valid while its index is set and the body's
    // version matches; every change of body_ clears the index (a list object
    // is made for every row of a compare, so the cache is kept small).
    mutable uint32_t cacheVersion_ = 0;
    mutable int32_t cacheIndex_ = -1;
    mutable RawListLink* cacheLink_ = nullptr;

    static RawListShared emptyShared_;
};

// Holds a list's lock for a scope.
class RawListLockGuard {
public:
    explicit RawListLockGuard(const RawListBody& list) : list_(list) { list_.Lock(); }
    ~RawListLockGuard() { list_.Unlock(); }
    RawListLockGuard(const RawListLockGuard&) = delete;
    RawListLockGuard& operator=(const RawListLockGuard&) = delete;

private:
    const RawListBody& list_;
};

// ---------------------------------------------------------------------------
// Sorting
// ---------------------------------------------------------------------------

// A comparator of two units: negative, zero or positive.
class RawListSort {
public:
    virtual int Compare(const void* a, const void* b) const = 0;

    // Sorts a run of `count` links starting at `first` in place (stable
    // merge sort, recursion depth log2 of the count) and returns the run's
    // new first link. The run must lie inside one ring; a sentinel ends it
    // early.
    static RawListLink* MergeSort(const RawListSort& comparator, RawListLink* first,
                                  int32_t count);
    // Sorts the links from `first` up to (not including) `end` in place, a
    // stable merge sort (n log n comparisons on every input, recursion
    // depth log2 n); a sentinel ends the range early. The range's new first
    // link is returned.
    static RawListLink* SortRange(const RawListSort& comparator, RawListLink* first,
                                  const RawListLink* end);

protected:
    RawListSort() = default;
    RawListSort(const RawListSort&) = default;
    RawListSort& operator=(const RawListSort&) = default;
    ~RawListSort() = default;
};

// A comparator over a unit type T: Compare forwards to CompareTyped.
template <class T>
class RawListSortR : public RawListSort {
public:
    int Compare(const void* a, const void* b) const override {
        return CompareTyped(*static_cast<const T*>(a), *static_cast<const T*>(b));
    }
    virtual int CompareTyped(const T& a, const T& b) const = 0;

protected:
    ~RawListSortR() = default;
};

// A comparator from a callable int(const T&, const T&).
template <class T, class F>
class RawListSortBy final : public RawListSortR<T> {
public:
    explicit RawListSortBy(F f) : f_(std::move(f)) {}
    int CompareTyped(const T& a, const T& b) const override { return f_(a, b); }

private:
    F f_;
};

// ---------------------------------------------------------------------------
// Typed lists
// ---------------------------------------------------------------------------

// The typed operations shared by owning and non-owning lists.
template <class Unit>
class RawListBodyT : public RawListBody {
public:
    using UnitType = Unit;

    template <class U, class L>
    class IteratorT {
    public:
        IteratorT() : link_(nullptr) {}
        explicit IteratorT(L* link) : link_(link) {}
        U& operator*() const { return *static_cast<U*>(link_->unit); }
        U* operator->() const { return static_cast<U*>(link_->unit); }
        IteratorT& operator++() {
            link_ = link_->next;
            return *this;
        }
        IteratorT& operator--() {
            link_ = link_->prev;
            return *this;
        }
        bool operator==(const IteratorT& o) const { return link_ == o.link_; }
        bool operator!=(const IteratorT& o) const { return link_ != o.link_; }
        L* Link() const { return link_; }

    private:
        L* link_;
    };
    using iterator = IteratorT<Unit, RawListLink>;
    using const_iterator = IteratorT<const Unit, const RawListLink>;

    iterator begin() { return iterator(FirstLink()); }
    iterator end() { return iterator(Sentinel()); }
    const_iterator begin() const { return const_iterator(FirstLink()); }
    const_iterator end() const { return const_iterator(Sentinel()); }

    // The unit of a link; null for the sentinel.
    Unit* UnitOf(const RawListLink* link) const {
        return (!link || link->IsSentinel()) ? nullptr : static_cast<Unit*>(link->unit);
    }
    Unit* First() const { return UnitOf(FirstLink()); }
    Unit* Last() const { return UnitOf(LastLink()); }
    // The unit after / before one of this list; null at the end. Each
    // looks the unit up first: loops walk links or iterators instead.
    Unit* Next(const Unit* unit) const {
        RawListLink* link = FindLink(unit);
        return IsEnd(link) ? nullptr : UnitOf(link->next);
    }
    Unit* Prev(const Unit* unit) const {
        RawListLink* link = FindLink(unit);
        return IsEnd(link) ? nullptr : UnitOf(link->prev);
    }
    // The unit at an index; null out of range.
    Unit* At(int32_t index) const { return UnitOf(LinkAt(index)); }
    Unit* GetAt(int32_t index) const { return At(index); }
    int32_t IndexOf(const Unit* unit) const { return IndexOfUnit(unit); }
    bool Contains(const Unit* unit) const { return ContainsUnit(unit); }

    // Appends a unit at the end; returns it (null when the unit was null).
    Unit* Add(Unit* unit) {
        if (!unit) return nullptr;
        LinkBefore(Sentinel(), unit);
        return unit;
    }
    Unit* Append(Unit* unit) { return Add(unit); }
    // Puts a unit first.
    Unit* Prepend(Unit* unit) {
        if (!unit) return nullptr;
        LinkBefore(FirstLink(), unit);
        return unit;
    }
    // Inserts a unit at an index from 0 to Count(); refused (null) outside.
    Unit* Insert(int32_t index, Unit* unit) {
        if (!unit) return nullptr;
        if (index < 0 || index > Count()) {
            ReleaseUnit(unit);
            return nullptr;
        }
        LinkBefore(index == Count() ? Sentinel() : LinkAt(index), unit);
        return unit;
    }
    // Inserts a unit before a link of this list (the sentinel appends).
    Unit* InsertBefore(RawListLink* link, Unit* unit) {
        if (!unit) return nullptr;
        if (!link) link = Sentinel();
        LinkBefore(link, unit);
        return unit;
    }
    Unit* InsertAfter(RawListLink* link, Unit* unit) {
        if (!unit) return nullptr;
        if (!link) link = Sentinel();
        LinkBefore(link->next, unit);
        return unit;
    }
    // Replaces the unit at an index from 0 to Count() - 1; the old unit is
    // released. A negative index and one at or past the end are refused.
    bool SetAt(int32_t index, Unit* unit) {
        if (!unit) return false;
        RawListLink* link = LinkAt(index);
        if (IsEnd(link)) {
            ReleaseUnit(unit);
            return false;
        }
        void* old = link->unit;
        link->unit = unit;
        if (old != unit) ReleaseUnit(old);
        return true;
    }
    // Removes (and releases) a unit of this list; false when absent.
    bool Remove(Unit* unit) {
        RawListLink* link = FindLink(unit);
        if (IsEnd(link)) return false;
        RemoveLink(link);
        return true;
    }
    bool RemoveAt(int32_t index) {
        RawListLink* link = LinkAt(index);
        if (IsEnd(link)) return false;
        RemoveLink(link);
        return true;
    }
    // Unlinks a unit without releasing it; the caller owns it then.
    Unit* Take(Unit* unit) { return static_cast<Unit*>(TakeLink(FindLink(unit))); }
    Unit* TakeAt(int32_t index) { return static_cast<Unit*>(TakeLink(LinkAt(index))); }

    // The first unit for which pred(unit) holds, or null.
    template <class Pred>
    Unit* FindIf(Pred pred) const {
        for (RawListLink* link = FirstLink(); !IsEnd(link); link = link->next)
            if (pred(*static_cast<Unit*>(link->unit))) return static_cast<Unit*>(link->unit);
        return nullptr;
    }
    // Removes (and releases) every unit for which pred(unit) holds; returns
    // how many went.
    template <class Pred>
    int32_t RemoveIf(Pred pred) {
        int32_t removed = 0;
        for (RawListLink* link = FirstLink(); !IsEnd(link);) {
            if (pred(*static_cast<Unit*>(link->unit))) {
                link = RemoveLink(link);
                ++removed;
            } else {
                link = link->next;
            }
        }
        return removed;
    }

    using RawListBody::Sort;
    // Stable sort by a callable int(const Unit&, const Unit&).
    template <class F>
    void SortBy(F compare) {
        RawListSortBy<Unit, F> sorter(std::move(compare));
        Sort(sorter);
    }

protected:
    explicit RawListBodyT(RawListProperty::Allocator* allocator) : RawListBody(allocator) {}
    RawListBodyT(const RawListBodyT& other, RawListProperty::Allocator* allocator)
        : RawListBody(other, allocator) {}
    RawListBodyT(StealTag tag, RawListBodyT& other, RawListProperty::Allocator* allocator)
        : RawListBody(tag, other, allocator) {}
    ~RawListBodyT() = default;
};

// Typed part of an owning list: it can also make its units.
template <class Unit>
class RawListBodyR : public RawListBodyT<Unit> {
protected:
    using RawListBodyT<Unit>::RawListBodyT;
    ~RawListBodyR() = default;
};

// Typed part of a non-owning list.
template <class Unit>
class RawListBodyP : public RawListBodyT<Unit> {
protected:
    using RawListBodyT<Unit>::RawListBodyT;
    ~RawListBodyP() = default;
};

// An owning list: its units die with the body through the allocator's
// DeleteUnit. `Alloc` derives from RawListAllocator<Unit>. `Base` is the
// typed body part: linked (the default) or an array (RawArrayListR).
template <class Alloc, class Unit, class Base = RawListBodyR<Unit>>
class RawListR : public Alloc, public Base {
    static_assert(std::is_base_of<RawListAllocator<Unit>, Alloc>::value,
                  "the allocator of a list derives from RawListAllocator<Unit>");

public:
    RawListR() : Alloc(), Base(Self()) {}
    // A copy shares the body; its allocator is the new object itself.
    RawListR(const RawListR& other) : Alloc(other), Base(other, Self()) {}
    RawListR(RawListR&& other) : Alloc(other), Base(typename Base::StealTag(), other, Self()) {}
    RawListR& operator=(const RawListR& other) {
        this->AssignShared(other);
        return *this;
    }
    RawListR& operator=(RawListR&& other) {
        if (this != &other) this->AssignStolen(other);
        return *this;
    }
    ~RawListR() override { this->Release(); }

    // Makes a unit through the allocator and appends it.
    template <class... Args>
    Unit* AddNew(Args&&... args) {
        return this->Add(Alloc::NewUnit(std::forward<Args>(args)...));
    }

private:
    RawListProperty::Allocator* Self() { return static_cast<RawListProperty::Allocator*>(this); }
};

// A non-owning list: its units belong elsewhere; `Alloc` is normally
// RawListKeepAllocator<Unit> or a class named after the list deriving from it.
template <class Alloc, class Unit>
class RawListP : public Alloc, public RawListBodyP<Unit> {
    static_assert(std::is_base_of<RawListAllocator<Unit>, Alloc>::value,
                  "the allocator of a list derives from RawListAllocator<Unit>");
    using Base = RawListBodyP<Unit>;

public:
    RawListP() : Alloc(), Base(Self()) {}
    RawListP(const RawListP& other) : Alloc(other), Base(other, Self()) {}
    RawListP(RawListP&& other) : Alloc(other), Base(typename Base::StealTag(), other, Self()) {}
    RawListP& operator=(const RawListP& other) {
        this->AssignShared(other);
        return *this;
    }
    RawListP& operator=(RawListP&& other) {
        if (this != &other) this->AssignStolen(other);
        return *this;
    }
    ~RawListP() override { this->Release(); }

private:
    RawListProperty::Allocator* Self() { return static_cast<RawListProperty::Allocator*>(this); }
};

// ---------------------------------------------------------------------------
// Array lists
// ---------------------------------------------------------------------------

// The shared body of an array list: the unit pointers side by side in one
// block.
struct RawArrayListShared : SmallBlockObject {
    uint32_t shareCount;  // holders besides the first (0 = one holder)
    int32_t count;        // units
    int32_t capacity;     // room in `units`
    void** units;         // a pool block of `capacity` pointers (null when 0)
};

// A list with the operations of the linked lists (count, index, iterate,
// add, insert, remove, share, sort) whose units stand in one array of
// pointers: one word per unit instead of a link of three, no block per
// unit, and index access in constant time. Inserting or removing in the
// middle moves the pointers behind the place. Made for the lists a compare
// fills by the hundred thousand (the units of a side, the rows of a job).
//
// Copies share the body, as with the linked lists. The body has no lock: an
// array list belongs to one thread (a job's lists live on the GUI thread);
// a list that threads share is a linked list.
//
// Iterators and unit positions stay valid until the list changes its
// length (an insert may move the array).
class RawArrayListBody : public RawListProperty {
public:
    int32_t Count() const { return body_ ? body_->count : 0; }
    bool IsEmpty() const { return Count() == 0; }
    uint32_t ShareCount() const { return body_ ? body_->shareCount : 0; }
    bool SharesBodyWith(const RawArrayListBody& other) const {
        return this == &other || (body_ && body_ == other.body_);
    }

    int32_t IndexOfUnit(const void* unit) const;
    bool ContainsUnit(const void* unit) const { return IndexOfUnit(unit) >= 0; }
    // The unit at an index; null out of range.
    void* UnitAtIndex(int32_t index) const {
        return (index >= 0 && index < Count()) ? body_->units[index] : nullptr;
    }

    // Room for `count` units without moving the array again.
    void Reserve(int32_t count);
    // Gives the array back down to the units it holds (after a load whose
    // length was not known beforehand).
    void ShrinkToFit();
    // Sorts the whole list, stable: the merge of RawListSort::MergeSort on
    // the array (a unit of the right run goes first only when the
    // comparator puts it strictly before the left one).
    void Sort(const RawListSort& comparator);
    // Lets go of the body (releasing the units when this was the last
    // holder) and starts empty. Other holders keep the old units.
    void Clear();
    // Removes and releases the unit at an index; false out of range.
    bool RemoveAtIndex(int32_t index);
    // Removes the unit at an index without releasing it (the caller owns it
    // then); null out of range.
    void* TakeAtIndex(int32_t index);

protected:
    explicit RawArrayListBody(RawListProperty::Allocator* allocator)
        : body_(nullptr), allocator_(allocator) {}
    RawArrayListBody(const RawArrayListBody& other, RawListProperty::Allocator* allocator);
    struct StealTag {};
    RawArrayListBody(StealTag, RawArrayListBody& other, RawListProperty::Allocator* allocator)
        : body_(other.body_), allocator_(allocator) {
        other.body_ = nullptr;
    }
    ~RawArrayListBody() = default;
    RawArrayListBody(const RawArrayListBody&) = delete;
    RawArrayListBody& operator=(const RawArrayListBody&) = delete;

    void AssignShared(const RawArrayListBody& other);
    void AssignStolen(RawArrayListBody& other);
    // Lets go of the body: the last holder first empties it (so that a unit
    // being released finds the list without units), then releases the units
    // front to back, then frees the body. Only destructors and Clear call it.
    void Release();

    // Puts a unit at an index from 0 to Count() (the caller checked it).
    void InsertUnitAt(int32_t index, void* unit);
    // Puts units[i] before the unit at before[i] (Count() for the end), for
    // ascending indexes from 0 to Count() that the caller checked, units of
    // one index in their order, with one move of the array; when the array
    // cannot grow the units are released.
    void InsertUnitsAt(const int32_t* before, void* const* units, int32_t count);
    // Drops the units of [from, to) for which keep(unit, context) is false
    // (asked once per unit, in order), keeping the order of the rest, with
    // one move of the units after the
    // range; the dropped units are released in their order once the list
    // holds its new order. Returns how many went.
    int32_t CompactRange(int32_t from, int32_t to, bool (*keep)(const void* unit, void* context), void* context);
    // Puts a unit at the end (a load appends one per line).
    void AppendUnit(void* unit) {
        RawArrayListShared* b = body_;
        if (b && b->count < b->capacity)
            b->units[b->count++] = unit;
        else
            InsertUnitAt(Count(), unit);
    }
    void ReleaseUnit(void* unit) { allocator_->ReleaseUnit(unit); }
    void** Units() const { return body_ ? body_->units : nullptr; }

    // Mutable: sharing from a const list gives it a body first.
    mutable RawArrayListShared* body_;  // null while the list never held a unit
    RawListProperty::Allocator* allocator_;

private:
    void OwnBody() const;
    // Makes room for `needed` units (doubling, at least to 4).
    void Grow(int32_t needed);
    static void FreeArray(void** units, int32_t capacity);
};

// The typed operations of an array list.
template <class Unit>
class RawArrayListT : public RawArrayListBody {
public:
    using UnitType = Unit;

    template <class U, class P>
    class IteratorT {
    public:
        IteratorT() : at_(nullptr) {}
        explicit IteratorT(P* at) : at_(at) {}
        U& operator*() const { return *static_cast<U*>(*at_); }
        U* operator->() const { return static_cast<U*>(*at_); }
        IteratorT& operator++() {
            ++at_;
            return *this;
        }
        IteratorT& operator--() {
            --at_;
            return *this;
        }
        bool operator==(const IteratorT& o) const { return at_ == o.at_; }
        bool operator!=(const IteratorT& o) const { return at_ != o.at_; }

    private:
        P* at_;
    };
    using iterator = IteratorT<Unit, void* const>;
    using const_iterator = IteratorT<const Unit, void* const>;

    iterator begin() { return iterator(Units()); }
    iterator end() { return iterator(Units() + Count()); }
    const_iterator begin() const { return const_iterator(Units()); }
    const_iterator end() const { return const_iterator(Units() + Count()); }

    // The unit at an index; null out of range.
    Unit* At(int32_t index) const { return static_cast<Unit*>(UnitAtIndex(index)); }
    Unit* GetAt(int32_t index) const { return At(index); }
    Unit* First() const { return At(0); }
    Unit* Last() const { return At(Count() - 1); }
    // The unit after / before one of this list; null at the end. Each looks
    // the unit up first: loops walk indexes or iterators instead.
    Unit* Next(const Unit* unit) const {
        int32_t i = IndexOf(unit);
        return i < 0 ? nullptr : At(i + 1);
    }
    Unit* Prev(const Unit* unit) const {
        int32_t i = IndexOf(unit);
        return i < 0 ? nullptr : At(i - 1);
    }
    int32_t IndexOf(const Unit* unit) const { return IndexOfUnit(unit); }
    bool Contains(const Unit* unit) const { return ContainsUnit(unit); }

    // Appends a unit; returns it (null when the unit was null).
    Unit* Add(Unit* unit) {
        if (!unit) return nullptr;
        AppendUnit(unit);
        return unit;
    }
    Unit* Append(Unit* unit) { return Add(unit); }
    Unit* Prepend(Unit* unit) { return Insert(0, unit); }
    // Inserts a unit at an index from 0 to Count(); refused (null, and the
    // unit released) outside.
    Unit* Insert(int32_t index, Unit* unit) {
        if (!unit) return nullptr;
        if (index < 0 || index > Count()) {
            ReleaseUnit(unit);
            return nullptr;
        }
        InsertUnitAt(index, unit);
        return unit;
    }
    // Replaces the unit at an index from 0 to Count() - 1; the old unit is
    // released. Refused (false, the unit released) outside.
    bool SetAt(int32_t index, Unit* unit) {
        if (!unit) return false;
        if (index < 0 || index >= Count()) {
            ReleaseUnit(unit);
            return false;
        }
        void* old = body_->units[index];
        body_->units[index] = unit;
        if (old != unit) ReleaseUnit(old);
        return true;
    }
    // Removes (and releases) a unit of this list; false when absent.
    bool Remove(Unit* unit) { return RemoveAtIndex(IndexOf(unit)); }
    bool RemoveAt(int32_t index) { return RemoveAtIndex(index); }
    // Removes a unit without releasing it; the caller owns it then.
    Unit* Take(Unit* unit) { return static_cast<Unit*>(TakeAtIndex(IndexOf(unit))); }
    Unit* TakeAt(int32_t index) { return static_cast<Unit*>(TakeAtIndex(index)); }

    // The first unit for which pred(unit) holds, or null.
    template <class Pred>
    Unit* FindIf(Pred pred) const {
        for (int32_t i = 0; i < Count(); ++i)
            if (pred(*At(i))) return At(i);
        return nullptr;
    }
    // Removes (and releases) every unit for which pred(unit) holds, keeping
    // the order of the rest; returns how many went.
    template <class Pred>
    int32_t RemoveIf(Pred pred) {
        return RemoveIfIn(0, Count(), pred);
    }
    // The same over the units of [from, to) only, in one pass (pred is
    // asked once per unit, in order): the units after them move once,
    // however many go. The removed units are released after the list holds
    // its new order.
    template <class Pred>
    int32_t RemoveIfIn(int32_t from, int32_t to, Pred pred) {
        auto keep = [](const void* unit, void* context) {
            return !(*static_cast<Pred*>(context))(*static_cast<const Unit*>(unit));
        };
        return CompactRange(from, to, keep, &pred);
    }
    // Inserts units at an index from 0 to Count() in their order, moving
    // the units after it once; refused (false, the units released) outside.
    bool InsertRange(int32_t index, Unit* const* units, int32_t count) {
        if (count <= 0) return true;
        if (index < 0 || index > Count()) {
            for (int32_t i = 0; i < count; ++i) ReleaseUnit(units[i]);
            return false;
        }
        const std::vector<int32_t> before(static_cast<size_t>(count), index);
        InsertUnitsAt(before.data(), reinterpret_cast<void* const*>(units), count);
        return true;
    }
    // Inserts units[i] before the unit at before[i] (Count() for the end),
    // the indexes ascending, in one pass over the array; refused (false, the
    // units released) when an index is out of order or outside.
    bool InsertAtIndexes(const int32_t* before, Unit* const* units, int32_t count) {
        if (count <= 0) return true;
        bool sorted = true;
        for (int32_t i = 0; i < count && sorted; ++i)
            sorted = before[i] >= (i > 0 ? before[i - 1] : 0) && before[i] <= Count();
        if (!sorted) {
            for (int32_t i = 0; i < count; ++i) ReleaseUnit(units[i]);
            return false;
        }
        InsertUnitsAt(before, reinterpret_cast<void* const*>(units), count);
        return true;
    }

    using RawArrayListBody::Sort;
    // Stable sort by a callable int(const Unit&, const Unit&).
    template <class F>
    void SortBy(F compare) {
        RawListSortBy<Unit, F> sorter(std::move(compare));
        Sort(sorter);
    }

protected:
    explicit RawArrayListT(RawListProperty::Allocator* allocator) : RawArrayListBody(allocator) {}
    RawArrayListT(const RawArrayListT& other, RawListProperty::Allocator* allocator)
        : RawArrayListBody(other, allocator) {}
    RawArrayListT(StealTag tag, RawArrayListT& other, RawListProperty::Allocator* allocator)
        : RawArrayListBody(tag, other, allocator) {}
    ~RawArrayListT() = default;
};

// An owning array list: its units die with the body through the allocator's
// DeleteUnit.
template <class Alloc, class Unit>
using RawArrayListR = RawListR<Alloc, Unit, RawArrayListT<Unit>>;

// ---------------------------------------------------------------------------
// Lists of the base library
// ---------------------------------------------------------------------------

// Strings compared code unit by code unit as unsigned values, a prefix first.
class RawStringListSort final : public RawListSortR<RawString> {
public:
    int CompareTyped(const RawString& a, const RawString& b) const override;
};

class RawStringListAllocator : public RawListDeleteAllocator<RawString> {};

// An owning list of strings with a case flag: set, strings compare exactly;
// clear, ASCII letters compare without case.
class RawStringList : public RawListR<RawStringListAllocator, RawString> {
public:
    explicit RawStringList(bool exactCase = true) : caseFlag_(exactCase ? 1 : 0) {}
    RawStringList(const RawStringList& other) = default;
    RawStringList(RawStringList&& other) = default;
    RawStringList& operator=(const RawStringList& other) = default;
    RawStringList& operator=(RawStringList&& other) = default;

    bool ExactCase() const { return caseFlag_ != 0; }
    void SetExactCase(bool exact) { caseFlag_ = exact ? 1 : 0; }
    // Whether a text equals another by this list's case flag.
    bool TextEquals(const RawString& a, const RawString& b) const;

    using RawListBodyT<RawString>::Add;
    // Appends a copy of the text (sharing its body).
    RawString* Add(const RawString& text) { return AddNew(text); }
    RawString* Append(const RawString& text) { return AddNew(text); }
    using RawListBodyT<RawString>::Append;

    // First string equal to the text, or null.
    RawString* Find(const RawString& text) const;
    int32_t FindIndex(const RawString& text) const;
    using RawListBodyT<RawString>::Contains;
    bool Contains(const RawString& text) const { return Find(text) != nullptr; }
    // The string equal to the text, appended when missing.
    RawString* FindOrAppend(const RawString& text);
    // The strings joined by a separator.
    RawString Join(const RawString& separator) const;
    // The items of a text split at ',' outside quotes, each trimmed of
    // blanks and tabs (RawString::SplitToList).
    static RawStringList FromCommaText(const RawString& text, bool exactCase = true);

private:
    uint8_t caseFlag_;
};

struct RawLabelUnit {
    RawLabelUnit() : value(0) {}
    RawLabelUnit(const RawString& l, uint32_t v) : label(l), value(v) {}
    RawString label;
    uint32_t value;
};

class RawLabelListAllocator : public RawListDeleteAllocator<RawLabelUnit> {};

// An owning list of (label, number) pairs with a case flag as RawStringList.
class RawLabelList : public RawListR<RawLabelListAllocator, RawLabelUnit> {
public:
    explicit RawLabelList(bool exactCase = true) : caseFlag_(exactCase ? 1 : 0) {}
    RawLabelList(const RawLabelList& other) = default;
    RawLabelList(RawLabelList&& other) = default;
    RawLabelList& operator=(const RawLabelList& other) = default;
    RawLabelList& operator=(RawLabelList&& other) = default;

    bool ExactCase() const { return caseFlag_ != 0; }
    void SetExactCase(bool exact) { caseFlag_ = exact ? 1 : 0; }

    using RawListBodyT<RawLabelUnit>::Add;
    RawLabelUnit* Add(const RawString& label, uint32_t value) { return AddNew(label, value); }
    // The link of the first unit whose label equals the text, or the
    // sentinel.
    using RawListBody::FindLink;
    RawListLink* FindLink(const RawString& label) const;
    RawLabelUnit* FindLabel(const RawString& label) const { return UnitOf(FindLink(label)); }
    // The value of the label; 0 when missing.
    uint32_t Value(const RawString& label) const;
    // Becomes an independent copy of the other list: a new body, the case
    // flag copied and every unit copied.
    void CopyFrom(const RawLabelList& other);

    // The value chosen among the units, for the controls that edit the list
    // (radio and selector groups); the list itself never reads it.
    uint32_t selectedValue = 0;

private:
    uint8_t caseFlag_;
};

class RawRangeListAllocator : public RawListDeleteAllocator<RawRange> {};

// An owning list of ranges.
class RawRangeList : public RawListR<RawRangeListAllocator, RawRange> {
public:
    // The furthest SetAt pads beyond the end, so that a wild index cannot
    // exhaust memory.
    static constexpr int32_t kMaxPadding = 1 << 20;

    RawRangeList() = default;
    using RawListBodyT<RawRange>::Add;
    RawRange* Add(RawRange range) { return AddNew(range); }
    RawRange* Add(int32_t start, int32_t end) { return AddNew(RawRange{start, end}); }
    // The range at an index; (0, 0) out of range.
    RawRange RangeAt(int32_t index) const;
    using RawListBodyT<RawRange>::SetAt;
    // Beyond the count, empty ranges (0, 0) are appended up to the index;
    // at the count the range is appended; below it the range is replaced.
    // A negative index, or one more than kMaxPadding past the end, is
    // refused (false).
    bool SetAt(int32_t index, RawRange range);
};

// ---------------------------------------------------------------------------
// Copy-on-write arrays of small plain records
// ---------------------------------------------------------------------------

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
