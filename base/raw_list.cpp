// List bodies, the merge sort, the string, label and range lists, shared
// array bodies, and RawString::SplitToList.
#include "base/raw_list.h"

#include <climits>
#include <cstring>
#include <cstddef>
#include <cstdlib>
#include <new>
#include <vector>

namespace RawLayer {

// ---------------------------------------------------------------------------
// RawListBody
// ---------------------------------------------------------------------------

// Never written: its lock is never initialised nor taken, its ring stays
// empty (every change of a list gives it a body of its own first).
RawListShared RawListBody::emptyShared_ = {
    {}, {}, 0, {&emptyShared_.sentinel, &emptyShared_.sentinel, &emptyShared_.sentinel}, 0, 0,
    nullptr, nullptr, nullptr, 0, 0};

namespace {

// Link blocks grow from a few links, doubling, to the most that fill the
// largest pool block (some 2,700 links, or twice that in a 32-bit process);
// a block is at most about twice the links the list ever held at once. Each
// block fills the pool block it gets.
constexpr int32_t kFirstLinkBlock = 4;
// Each block starts with the chain pointer and the block's size in bytes,
// padded so that the links stay aligned.
struct LinkBlockHead {
    void* next;
    size_t bytes;
};
constexpr size_t kLinkBlockHeader =
    (sizeof(LinkBlockHead) + alignof(RawListLink) - 1) / alignof(RawListLink) * alignof(RawListLink);

}  // namespace

RawListLink* RawListBody::NewLink(RawListShared* body) {
    RawListLink* link = body->spareLinks;
    if (link) {
        body->spareLinks = link->next;
        return link;
    }
    if (body->blockLeft == 0) {
        const size_t largest = (SmallBlockLargest() - kLinkBlockHeader) / sizeof(RawListLink);
        size_t wanted = body->blockSize == 0 ? kFirstLinkBlock : static_cast<size_t>(body->blockSize) * 2;
        if (wanted > largest) wanted = largest;
        size_t bytes = SmallBlockSize(kLinkBlockHeader + wanted * sizeof(RawListLink));
        int32_t size = static_cast<int32_t>((bytes - kLinkBlockHeader) / sizeof(RawListLink));
        void* block = SmallAllocate(bytes);
        *static_cast<LinkBlockHead*>(block) = LinkBlockHead{body->linkBlocks, bytes};
        body->linkBlocks = block;
        body->blockNext = reinterpret_cast<RawListLink*>(static_cast<char*>(block) + kLinkBlockHeader);
        body->blockLeft = size;
        body->blockSize = size;
    }
    link = body->blockNext++;
    --body->blockLeft;
    return link;
}

void RawListBody::FreeLink(RawListShared* body, RawListLink* link) {
    link->prev = nullptr;
    link->unit = nullptr;
    link->next = body->spareLinks;
    body->spareLinks = link;
}

void RawListBody::FreeLinkBlocks(RawListShared* body) {
    void* block = body->linkBlocks;
    while (block) {
        LinkBlockHead head = *static_cast<LinkBlockHead*>(block);
        SmallRelease(block, head.bytes);
        block = head.next;
    }
    body->linkBlocks = nullptr;
    body->spareLinks = nullptr;
    body->blockNext = nullptr;
    body->blockLeft = 0;
    body->blockSize = 0;
}

RawListShared* RawListBody::NewShared() {
    RawListShared* b = new RawListShared;
    // The plain form: Wine deletes a lock made without its debug record about
    // a thousand times slower (some 40 us), and a compare frees a list body
    // for every row.
    InitializeCriticalSection(&b->lock);
    b->shareCount = 0;
    b->sentinel.prev = &b->sentinel;
    b->sentinel.next = &b->sentinel;
    b->sentinel.unit = &b->sentinel;
    b->count = 0;
    b->version = 0;
    b->spareLinks = nullptr;
    b->linkBlocks = nullptr;
    b->blockNext = nullptr;
    b->blockLeft = 0;
    b->blockSize = 0;
    return b;
}

RawListBody::RawListBody(RawListProperty::Allocator* allocator)
    : body_(EmptyShared()), allocator_(allocator) {}

RawListBody::RawListBody(const RawListBody& other, RawListProperty::Allocator* allocator)
    : body_(nullptr), allocator_(allocator) {
    // The copy must see what either of them adds later: one body for both.
    other.OwnBody();
    body_ = other.body_;
    EnterCriticalSection(&body_->lock);
    ++body_->shareCount;
    LeaveCriticalSection(&body_->lock);
}

RawListBody::RawListBody(StealTag, RawListBody& other, RawListProperty::Allocator* allocator)
    : body_(other.body_), allocator_(allocator) {
    // The source stays usable: it starts over with an empty list.
    other.body_ = EmptyShared();
    other.cacheIndex_ = -1;
}

uint32_t RawListBody::ShareCount() const {
    if (!HasOwnBody()) return 0;
    EnterCriticalSection(&body_->lock);
    uint32_t n = body_->shareCount;
    LeaveCriticalSection(&body_->lock);
    return n;
}

void RawListBody::Lock() const {
    // Another holder may share the body after the lock is taken; it must be
    // the body the unlock finds.
    OwnBody();
    EnterCriticalSection(&body_->lock);
}

void RawListBody::Unlock() const {
    if (HasOwnBody()) LeaveCriticalSection(&body_->lock);
}

void RawListBody::Release() {
    RawListShared* b = body_;
    if (!b) return;
    cacheIndex_ = -1;
    if (b == EmptyShared()) {
        body_ = nullptr;
        return;
    }
    EnterCriticalSection(&b->lock);
    if (b->shareCount > 0) {
        --b->shareCount;
        body_ = nullptr;
        LeaveCriticalSection(&b->lock);
        return;
    }
    // Last holder. Each link is unlinked before its unit is released, and
    // the body stays in place meanwhile, so that a unit whose destructor
    // looks itself up in this list finds it gone instead of a dead body.
    while (b->sentinel.next != &b->sentinel) {
        RawListLink* link = b->sentinel.next;
        link->prev->next = link->next;
        link->next->prev = link->prev;
        --b->count;
        ++b->version;
        void* unit = link->unit;
        FreeLink(b, link);
        allocator_->ReleaseUnit(unit);
    }
    body_ = nullptr;
    LeaveCriticalSection(&b->lock);
    DeleteCriticalSection(&b->lock);
    FreeLinkBlocks(b);
    delete b;
}

void RawListBody::Clear() {
    Release();
    body_ = EmptyShared();
}

void RawListBody::AssignShared(const RawListBody& other) {
    if (&other == this) return;
    other.OwnBody();
    if (other.body_ == body_) return;
    RawListShared* b = other.body_;
    EnterCriticalSection(&b->lock);
    ++b->shareCount;
    LeaveCriticalSection(&b->lock);
    Release();
    body_ = b;
}

void RawListBody::AssignStolen(RawListBody& other) {
    if (&other == this) return;
    if (other.body_ == body_) {
        // Both held the same body: this keeps its hold, the other lets go.
        // (Both without a body of their own: nothing to move.)
        if (!HasOwnBody()) return;
        other.Release();
        other.body_ = EmptyShared();
        return;
    }
    Release();
    body_ = other.body_;
    other.body_ = EmptyShared();
    other.cacheIndex_ = -1;
}

RawListLink* RawListBody::LinkBefore(RawListLink* before, void* unit) {
    RawListLink* link;
    try {
        if (!HasOwnBody()) {
            // An empty list: whatever link was given is the empty body's sentinel.
            OwnBody();
            before = &body_->sentinel;
        }
        link = NewLink(body_);
    } catch (...) {
        // Out of memory: an owning list takes the unit also when it cannot
        // link it, as when a call is refused.
        ReleaseUnit(unit);
        throw;
    }
    link->unit = unit;
    link->prev = before->prev;
    link->next = before;
    before->prev->next = link;
    before->prev = link;
    ++body_->count;
    Touch();
    return link;
}

RawListLink* RawListBody::RemoveLink(RawListLink* link) {
    if (!link || link->IsSentinel()) return link;
    RawListLink* next = link->next;
    void* unit = TakeLink(link);
    ReleaseUnit(unit);
    return next;
}

void* RawListBody::TakeLink(RawListLink* link) {
    if (!link || link->IsSentinel()) return nullptr;
    link->prev->next = link->next;
    link->next->prev = link->prev;
    --body_->count;
    Touch();
    void* unit = link->unit;
    FreeLink(body_, link);
    return unit;
}

void RawListBody::MoveLinkBefore(RawListLink* link, RawListLink* before) {
    if (!link || !before || link == before || link->IsSentinel() || link->next == before)
        return;
    link->prev->next = link->next;
    link->next->prev = link->prev;
    link->prev = before->prev;
    link->next = before;
    before->prev->next = link;
    before->prev = link;
    Touch();
}

RawListLink* RawListBody::LinkAt(int32_t index) const {
    RawListShared* b = body_;
    int32_t count = b->count;
    if (index < 0 || index >= count) return &b->sentinel;
    // Start from the nearest known position: either end, or the cache.
    int32_t fromFront = index;
    int32_t fromBack = count - 1 - index;
    RawListLink* link;
    int32_t at;
    if (fromFront <= fromBack) {
        link = b->sentinel.next;
        at = 0;
    } else {
        link = b->sentinel.prev;
        at = count - 1;
    }
    int32_t best = fromFront <= fromBack ? fromFront : fromBack;
    if (cacheIndex_ >= 0 && cacheVersion_ == b->version &&
        cacheIndex_ < count) {
        int32_t d = index > cacheIndex_ ? index - cacheIndex_ : cacheIndex_ - index;
        if (d < best) {
            link = cacheLink_;
            at = cacheIndex_;
        }
    }
    while (at < index) {
        link = link->next;
        ++at;
    }
    while (at > index) {
        link = link->prev;
        --at;
    }
    cacheVersion_ = b->version;
    cacheIndex_ = index;
    cacheLink_ = link;
    return link;
}

int32_t RawListBody::IndexOfLink(const RawListLink* link) const {
    int32_t i = 0;
    for (const RawListLink* l = FirstLink(); !IsEnd(l); l = l->next, ++i)
        if (l == link) return i;
    return -1;
}

RawListLink* RawListBody::FindLink(const void* unit) const {
    RawListLink* l = FirstLink();
    while (!IsEnd(l) && l->unit != unit) l = l->next;
    return l;
}

int32_t RawListBody::IndexOfUnit(const void* unit) const {
    int32_t i = 0;
    for (const RawListLink* l = FirstLink(); !IsEnd(l); l = l->next, ++i)
        if (l->unit == unit) return i;
    return -1;
}

void RawListBody::Sort(const RawListSort& comparator) {
    if (body_->count < 2) return;
    RawListSort::MergeSort(comparator, FirstLink(), body_->count);
}

// ---------------------------------------------------------------------------
// Merge sort
// ---------------------------------------------------------------------------

namespace {

// Sorts `count` links from `first` (count >= 0, all of them real links) and
// returns the new first link of the run. The links before and after the run
// stay where they are.
RawListLink* SortRun(const RawListSort& cmp, RawListLink* first, int32_t count) {
    if (count < 2) return first;
    int32_t half = count / 2;
    RawListLink* right = first;
    for (int32_t i = 0; i < half; ++i) right = right->next;
    // Sorting a run keeps it between the same neighbours, so the right run
    // still follows the left one afterwards.
    RawListLink* l = SortRun(cmp, first, half);
    RawListLink* r = SortRun(cmp, right, count - half);
    RawListLink* head = l;
    int32_t lc = half;
    int32_t rc = count - half;
    while (lc > 0 && rc > 0) {
        if (cmp.Compare(l->unit, r->unit) > 0) {
            RawListLink* rn = r->next;
            r->prev->next = r->next;
            r->next->prev = r->prev;
            r->prev = l->prev;
            r->next = l;
            l->prev->next = r;
            l->prev = r;
            if (l == head) head = r;
            r = rn;
            --rc;
        } else {
            l = l->next;
            --lc;
        }
    }
    return head;
}

}  // namespace

RawListLink* RawListSort::MergeSort(const RawListSort& comparator, RawListLink* first,
                                    int32_t count) {
    if (!first || first->IsSentinel() || count < 2) return first;
    // Never run through the sentinel, whatever count the caller gave.
    int32_t n = 0;
    for (RawListLink* l = first; n < count && !l->IsSentinel(); l = l->next) ++n;
    RawListLink* head = SortRun(comparator, first, n);
    // The ring changed shape: raise its body's version so that index
    // caches of the list objects holding it start over.
    RawListLink* l = head;
    while (!l->IsSentinel()) l = l->next;
    RawListShared* body = reinterpret_cast<RawListShared*>(reinterpret_cast<char*>(l) -
                                                           offsetof(RawListShared, sentinel));
    ++body->version;
    return head;
}

RawListLink* RawListSort::SortRange(const RawListSort& comparator, RawListLink* first,
                                    const RawListLink* end) {
    if (!first) return first;
    int32_t count = 0;
    for (const RawListLink* l = first; l != end && !l->IsSentinel() && count < INT32_MAX; l = l->next) ++count;
    return MergeSort(comparator, first, count);
}

// ---------------------------------------------------------------------------
// RawArrayListBody
// ---------------------------------------------------------------------------

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

// ---------------------------------------------------------------------------
// RawStringList
// ---------------------------------------------------------------------------

int RawStringListSort::CompareTyped(const RawString& a, const RawString& b) const {
    return a.CompareTo(b);
}

bool RawStringList::TextEquals(const RawString& a, const RawString& b) const {
    return caseFlag_ ? a.Equals(b) : RawString::EqualsNoCase(a, b);
}

RawString* RawStringList::Find(const RawString& text) const {
    for (RawListLink* l = FirstLink(); !IsEnd(l); l = l->next) {
        RawString* s = static_cast<RawString*>(l->unit);
        if (TextEquals(*s, text)) return s;
    }
    return nullptr;
}

int32_t RawStringList::FindIndex(const RawString& text) const {
    int32_t i = 0;
    for (RawListLink* l = FirstLink(); !IsEnd(l); l = l->next, ++i)
        if (TextEquals(*static_cast<RawString*>(l->unit), text)) return i;
    return -1;
}

RawString* RawStringList::FindOrAppend(const RawString& text) {
    RawString* s = Find(text);
    return s ? s : Add(text);
}

RawString RawStringList::Join(const RawString& separator) const {
    if (IsEmpty()) return RawString();
    RawString out(First()->Kind());
    bool first = true;
    for (const RawString& s : *this) {
        if (!first) out.Append(separator);
        out.Append(s);
        first = false;
    }
    return out;
}

RawStringList RawStringList::FromCommaText(const RawString& text, bool exactCase) {
    RawStringList list(exactCase);
    text.SplitToList(list, text.All());
    return list;
}

namespace {
RAW_CONSTANT_TEXT(BlankTabText, " \t")
}  // namespace

void RawString::SplitToList(RawStringList& list, RawRange range) const {
    RawRange r = ClampEnd(range);
    RawStringTokenizer tokenizer(*this, RawString(), RawString(), true);
    int32_t pos = r.start;
    while (pos < r.end) {
        int32_t end = tokenizer.Next(RawRange{pos, r.end});
        if (end < pos) end = pos;
        if (end > r.end) end = r.end;
        RawRange item = TrimRange(RawRange{pos, end}, BlankTabText());
        list.Add(InitBodyFromRange(Kind(), *this, item));
        pos = end + 1;  // past the ',' that ended the item
    }
}

// ---------------------------------------------------------------------------
// RawLabelList
// ---------------------------------------------------------------------------

RawListLink* RawLabelList::FindLink(const RawString& label) const {
    RawListLink* l = FirstLink();
    for (; !IsEnd(l); l = l->next) {
        const RawString& s = static_cast<RawLabelUnit*>(l->unit)->label;
        if (caseFlag_ ? s.Equals(label) : RawString::EqualsNoCase(s, label)) break;
    }
    return l;
}

uint32_t RawLabelList::Value(const RawString& label) const {
    RawLabelUnit* u = FindLabel(label);
    return u ? u->value : 0;
}

void RawLabelList::CopyFrom(const RawLabelList& other) {
    RawLabelList fresh(other.ExactCase());
    for (const RawLabelUnit& u : other) fresh.Add(u.label, u.value);
    caseFlag_ = fresh.caseFlag_;
    *this = std::move(fresh);
}

// ---------------------------------------------------------------------------
// RawRangeList
// ---------------------------------------------------------------------------

RawRange RawRangeList::RangeAt(int32_t index) const {
    RawRange* r = At(index);
    return r ? *r : RawRange{0, 0};
}

bool RawRangeList::SetAt(int32_t index, RawRange range) {
    if (index < 0) return false;
    int32_t count = Count();
    if (index > count && index - count > kMaxPadding) return false;
    while (Count() < index) AddNew(RawRange{0, 0});
    if (index == Count()) {
        AddNew(range);
    } else {
        *At(index) = range;
    }
    return true;
}

// ---------------------------------------------------------------------------
// Shared array bodies
// ---------------------------------------------------------------------------

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
