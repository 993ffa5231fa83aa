// Linked list templates and the lists of the base library.
//
// Every list of both programs is one instantiation of the templates below:
// mostly a doubly linked ring of links kept in a reference-counted body with
// its own lock; the lists that a compare fills by the hundred thousand (the
// units of a side, the rows of a job) are array lists (RawArrayListR in
// raw_array_list.h), with the same operations over one array of unit
// pointers and no lock. Copying a list object shares the body (both holders
// see the same units); the last holder to let go releases every unit through
// the list's allocator. Owning lists (RawListR, RawArrayListR) delete their
// units then; non-owning lists (RawListP) leave them alone.
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
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <type_traits>
#include <utility>

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

}  // namespace RawLayer
