// Array lists: the operations of the linked lists over one array of unit
// pointers, for the lists a compare fills by the hundred thousand.
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

#include "base/raw_list.h"
#include "base/small_block.h"

namespace RawLayer {

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

}  // namespace RawLayer
