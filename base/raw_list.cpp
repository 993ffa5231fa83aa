// Linked list bodies and the merge sort.
#include "base/raw_list.h"

#include <cstddef>
#include <cstdlib>
#include <new>

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

}  // namespace RawLayer
