// RawString: shared bodies, copy on write, growth and editing.
//
// Sharing: the share count of a body is the only per-body synchronisation.
// A value (the body pointer) belongs to one thread at a time, so a holder
// that sees a count of 0 is the only holder and nobody can raise the count
// behind its back. A holder that sees a shared body copies the text first
// and only then gives up its hold; the holder whose decrement finds 0 frees
// the body. That is race-free without a per-body critical section, which
// matters because the programs make one string per text line.

#include "base/raw_string.h"

#include <climits>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <new>

#include "base/encoding.h"
#include "base/raw_string_units.h"
#include "base/small_block.h"
#include <windows.h>

namespace RawLayer {

using namespace StringUnits;

namespace {

// The terminating zero every empty body points at. Wide enough for a zero
// 16-bit unit; never written.
alignas(8) uint16_t g_zeroUnits[4] = {0, 0, 0, 0};

// The process-wide empty body: ownership 0, kind 2. Constant-initialised so
// it exists before any static constructor runs, and never freed.
RawStringBody g_emptyBody = {OwnEmpty, KindUtf8, 0, g_zeroUnits, 0, 0, {0u}};

inline bool IsStaticEmpty(const RawStringBody* body) { return body == &g_emptyBody; }

// The growth rule: room for n units gives 2n + 20 below 200, else 2n + 100,
// kept inside the 32-bit range.
int32_t GrowthCapacity(int32_t needed) {
    int64_t cap = needed < 200 ? 2 * static_cast<int64_t>(needed) + 20
                               : 2 * static_cast<int64_t>(needed) + 100;
    const int64_t limit = INT32_MAX / 2 - 1;
    if (cap > limit) cap = needed > limit ? needed : limit;
    return static_cast<int32_t>(cap);
}

// A buffer of its own for the units of a text: the bytes follow from the
// capacity and the kind, which the body keeps until the buffer goes.
inline size_t UnitBytes(int32_t capacity, uint8_t kind) {
    return (static_cast<size_t>(capacity) + 1) * UnitWidth(kind);
}

void* AllocateUnits(int32_t capacity, uint8_t kind) { return SmallAllocate(UnitBytes(capacity, kind)); }

// A body and the units of a short text usually live in one heap block: the
// body, then (at InlineUnits) room for its units. A load makes a string per
// line, and a heap block costs far more than its bytes. Every body block has
// at least a few bytes past the body, so that InlineUnits of a body never is
// the address of a buffer allocated on its own.
constexpr size_t kBodyBytes = (sizeof(RawStringBody) + 7) & ~static_cast<size_t>(7);
constexpr size_t kMinTailBytes = 8;
// Longer texts get a buffer of their own: a body whose text grows past its
// inline room keeps that room unused until it dies.
constexpr size_t kMaxInlineBytes = 1024;

inline void* InlineUnits(RawStringBody* body) {
    return reinterpret_cast<char*>(body) + kBodyBytes;
}

// A body block with room for `tailBytes` bytes of units after the body.
RawStringBody* AllocateBodyBlock(uint8_t ownership, uint8_t kind, void* buffer, int32_t length,
                                 int32_t capacity, size_t tailBytes) {
    if (tailBytes < kMinTailBytes) tailBytes = kMinTailBytes;
    // A block of the pool; its size is kept in the body for the release
    // (callers ask for at most kMaxInlineBytes of units).
    static_assert(kBodyBytes + kMaxInlineBytes <= 0xFFFF, "a body block's size fits its field");
    const size_t bytes = kBodyBytes + tailBytes;
    void* p = SmallAllocate(bytes);
    return new (p) RawStringBody{ownership, kind, static_cast<uint16_t>(bytes), buffer, length, capacity, {0u}};
}

RawStringBody* AllocateBody(uint8_t ownership, uint8_t kind, void* buffer, int32_t length,
                            int32_t capacity) {
    return AllocateBodyBlock(ownership, kind, buffer, length, capacity, 0);
}

// Frees the units of an owned heap buffer, unless they live in the body's
// own block.
void FreeUnits(RawStringBody* body) {
    if (body->ownership == OwnHeap && body->buffer != InlineUnits(body))
        SmallRelease(body->buffer, UnitBytes(body->capacity, body->kind));
}

void FreeBody(RawStringBody* body) {
    FreeUnits(body);
    uint16_t poolBytes = body->poolBytes;
    body->~RawStringBody();
    // A body placed in its owner's memory (ViewInPlace) is not the pool's.
    if (poolBytes != 0) SmallRelease(body, poolBytes);
}

// Gives up one hold on a body; the last holder frees it.
void ReleaseBody(RawStringBody* body) {
    if (IsStaticEmpty(body)) return;
    // A count of 0 seen by a holder means it is the only one: nobody else
    // can reach the body to raise the count.
    if (body->shareCount.load(std::memory_order_acquire) == 0 ||
        body->shareCount.fetch_sub(1, std::memory_order_acq_rel) == 0) {
        FreeBody(body);
    }
}

// Moves the units of a private body into a new heap buffer of the given
// capacity (never below the length).
void Reallocate(RawStringBody* body, int32_t capacity) {
    if (capacity < body->length) capacity = body->length;
    void* buffer = AllocateUnits(capacity, body->kind);
    if (body->length > 0)
        std::memcpy(buffer, body->buffer,
                    static_cast<size_t>(body->length) * UnitWidth(body->kind));
    FreeUnits(body);
    body->buffer = buffer;
    body->ownership = OwnHeap;
    body->capacity = capacity;
    PutUnit(body, body->length, 0);
}

// A new owned body of a kind holding count units copied from `units`.
RawStringBody* CopyBody(uint8_t kind, const void* units, int32_t count, int32_t capacity) {
    if (count < 0) count = 0;
    if (capacity < count) capacity = count;
    if (capacity == 0) return AllocateBody(OwnEmpty, kind, g_zeroUnits, 0, 0);
    size_t unitBytes = (static_cast<size_t>(capacity) + 1) * UnitWidth(kind);
    RawStringBody* body;
    void* buffer;
    if (unitBytes <= kMaxInlineBytes) {
        // Short: the units follow the body in its block.
        body = AllocateBodyBlock(OwnHeap, kind, nullptr, count, capacity, unitBytes);
        buffer = InlineUnits(body);
        body->buffer = buffer;
    } else {
        buffer = AllocateUnits(capacity, kind);
        try {
            body = AllocateBody(OwnHeap, kind, buffer, count, capacity);
        } catch (...) {
            SmallRelease(buffer, UnitBytes(capacity, kind));
            throw;
        }
    }
    if (count > 0) std::memcpy(buffer, units, static_cast<size_t>(count) * UnitWidth(kind));
    PutUnit(body, count, 0);
    return body;
}

bool RangeIsAscii(const RawStringBody* body, int32_t start, int32_t end) {
    for (int32_t i = start; i < end; ++i)
        if (GetUnit(body, i) >= 0x80) return false;
    return true;
}

}  // namespace

// ---------------------------------------------------------------------------
// Life and sharing

RawStringBody* RawString::StaticEmptyBody() { return &g_emptyBody; }

RawStringBody* RawString::NewBody(uint8_t kind) {
    return AllocateBody(OwnEmpty, kind, g_zeroUnits, 0, 0);
}

RawString::RawString() : body_(&g_emptyBody) {}

RawString::RawString(uint8_t kind)
    : body_(kind == KindUtf8 ? &g_emptyBody : NewBody(kind)) {}

RawString::RawString(const RawString& other) : body_(other.ShareAs(other.Kind())) {}

RawString::RawString(RawString&& other) noexcept : body_(other.body_) {
    other.body_ = &g_emptyBody;
}

RawString::RawString(uint8_t kind, const RawString& other) : body_(other.ShareAs(kind)) {}

RawString::~RawString() { ReleaseBody(body_); }

RawString& RawString::operator=(const RawString& other) {
    Assign(other);
    return *this;
}

RawString& RawString::operator=(RawString&& other) noexcept {
    if (this != &other) {
        ReleaseBody(body_);
        body_ = other.body_;
        other.body_ = &g_emptyBody;
    }
    return *this;
}

const RawString& RawString::Empty() {
    static const RawString empty;
    return empty;
}

RawStringBody* RawString::ShareAs(uint8_t kind, bool* ok) const {
    if (ok) *ok = true;
    RawStringBody* body = body_;
    if (body->kind == kind && body->ownership != OwnView) {
        if (!IsStaticEmpty(body)) body->shareCount.fetch_add(1, std::memory_order_relaxed);
        return body;
    }
    RawString fresh(NewBody(kind));
    bool converted = fresh.AssignBody(kind, *this);
    if (ok) *ok = converted;
    RawStringBody* result = fresh.body_;
    fresh.body_ = &g_emptyBody;
    return result;
}

void RawString::Release() {
    ReleaseBody(body_);
    body_ = &g_emptyBody;
}

void RawString::Assign(const RawString& other) {
    // Share first, release after: assigning a string to itself keeps the body.
    RawStringBody* shared = other.ShareAs(other.Kind());
    ReleaseBody(body_);
    body_ = shared;
}

bool RawString::AssignAs(uint8_t kind, const RawString& other) {
    bool ok = true;
    RawStringBody* shared = other.ShareAs(kind, &ok);
    ReleaseBody(body_);
    body_ = shared;
    return ok;
}

RawString RawString::As(uint8_t kind, bool* ok) const { return RawString(ShareAs(kind, ok)); }

RawString RawString::FromLiteral(const char* text) {
    if (!text) return RawString();
    int32_t length = static_cast<int32_t>(std::strlen(text));
    if (length == 0) return RawString();
    RawString s(AllocateBody(OwnLiteral, KindUtf8, const_cast<char*>(text), length, length));
    s.FixLiteralCodePage();
    return s;
}

void RawString::FixLiteralCodePage() {
    RawStringBody* body = body_;
    if (body->ownership != OwnLiteral || body->kind != KindUtf8) return;
    // Pure 7-bit text reads the same in both guesses: keep the literal.
    if (RangeIsAscii(body, 0, body->length)) return;
    if (GuessEncoding(body->buffer, body->length) != KindSjis) return;
    RawString sjis(AllocateBody(OwnLiteral, KindSjis, body->buffer, body->length, body->length));
    RawString utf8(NewBody(KindUtf8));
    if (utf8.AssignBody(KindUtf8, sjis)) swap(utf8);
    // A failed conversion keeps the bytes as they are rather than losing them.
}

RawString RawString::FromText(const char* text) {
    if (!text) return RawString();
    return FromBytes(text, static_cast<int32_t>(std::strlen(text)), KindUtf8);
}

RawString RawString::FromBytes(const void* bytes, int32_t count, uint8_t kind) {
    if (!bytes || count <= 0) return RawString(kind);
    return RawString(CopyBody(kind, bytes, count, count));
}

RawString RawString::FromWideText(const wchar_t* text) {
    if (!text) return RawString(KindUtf16);
    return FromWideText(text, static_cast<int32_t>(std::wcslen(text)));
}

RawString RawString::FromWideText(const wchar_t* text, int32_t count) {
    if (!text || count <= 0) return RawString(KindUtf16);
    return RawString(CopyBody(KindUtf16, text, count, count));
}

RawString RawString::WithCapacity(int32_t count) {
    if (count < 0) count = 0;
    return RawString(CopyBody(KindUtf8, nullptr, 0, count));
}

RawString RawString::ReserveAs(uint8_t kind, int32_t count) {
    if (count < 0) count = 0;
    return RawString(CopyBody(kind, nullptr, 0, count));
}

RawString RawString::ViewOf(const void* units, int32_t count, uint8_t kind) {
    if (!units || count <= 0) return RawString(kind);
    return RawString(AllocateBody(OwnView, kind, const_cast<void*>(units), count, count));
}

RawString RawString::ViewInPlace(void* place, const void* units, int32_t count, uint8_t kind) {
    static_assert(PlacedBodyBytes == kBodyBytes, "a placed body takes what a body block does");
    if (count < 0) count = 0;
    return RawString(new (place) RawStringBody{OwnView, kind, 0, const_cast<void*>(units), count, count, {0u}});
}

RawString RawString::FromInt(int32_t value) {
    RawString s;
    s.AppendInt(value);
    return s;
}

RawString RawString::FromInt64(uint32_t low, uint32_t high) {
    const uint64_t bits = (static_cast<uint64_t>(high) << 32) | low;
    RawString s = ReserveAs(KindUtf8, 24);
    // The magnitude of a negative value in unsigned arithmetic, so that
    // INT64_MIN needs no positive counterpart.
    if (high & 0x80000000u) {
        s.AppendChar('-');
        s.AppendUnsigned(~bits + 1, 10);
    } else {
        s.AppendUnsigned(bits, 10);
    }
    return s;
}

RawString RawString::FromBorrowedUtf8(const char* bytes, int32_t count) {
    if (!bytes || count <= 0) return RawString(KindUtf8);
    return FromBytes(bytes, count, KindUtf8);
}

void RawString::ViewRange(RawString& target, const RawString& source, RawRange range) {
    const RawRange r = source.ClampEnd(range);
    if (r.end == source.Length() && source.Ownership() != OwnEmpty) {
        const char* start = source.Bytes() + static_cast<size_t>(r.start) * UnitWidth(source.Kind());
        target = ViewOf(start, r.end - r.start, source.Kind());
    } else {
        target = InitBodyFromRange(source.Kind(), source, r);
    }
}

// ---------------------------------------------------------------------------
// Inspection

uint32_t RawString::RawUnit(int32_t pos) const { return GetUnit(body_, pos); }

void RawString::StoreUnit(int32_t pos, uint32_t unit) { PutUnit(body_, pos, unit); }

uint32_t RawString::UnitAt(int32_t pos) const {
    if (pos < 0 || pos >= body_->length) return 0;
    return GetUnit(body_, pos);
}

RawRange RawString::ClampEnd(RawRange range) const {
    int32_t end = range.end;
    if (end > body_->length) end = body_->length;
    if (end < 0) end = 0;
    int32_t start = range.start;
    if (start < 0) start = 0;
    if (start > end) start = end;
    return RawRange{start, end};
}

// ---------------------------------------------------------------------------
// Copy on write and growth

// Makes the body private and writable with room for `needed` units. A shared
// body is copied first and the hold on it given up afterwards; literal,
// view and static empty bodies are never written, so they are copied too.
void RawString::EnsureRoom(int32_t needed) {
    RawStringBody* body = body_;
    bool writable = !IsStaticEmpty(body) &&
                    (body->ownership == OwnHeap || body->ownership == OwnEmpty) &&
                    body->shareCount.load(std::memory_order_acquire) == 0;
    if (writable) {
        if (needed > body->capacity) Reallocate(body, GrowthCapacity(needed));
        return;
    }
    int32_t capacity = needed > body->length ? GrowthCapacity(needed) : body->length;
    RawStringBody* fresh = CopyBody(body->kind, body->buffer, body->length, capacity);
    ReleaseBody(body);
    body_ = fresh;
}

void RawString::Detach() { EnsureRoom(0); }

void RawString::Reserve(int32_t count) {
    EnsureRoom(0);
    if (count < body_->length) count = body_->length;
    if (body_->ownership == OwnHeap && body_->capacity >= count) return;
    Reallocate(body_, count);
}

void RawString::Grow(int32_t needed) { EnsureRoom(needed); }

void* RawString::WritableData() {
    EnsureRoom(0);
    // Give an empty body a buffer of its own so a caller never writes into
    // the shared zero units.
    if (body_->ownership != OwnHeap) Reallocate(body_, body_->capacity);
    return body_->buffer;
}

char* RawString::WritableBytes() { return static_cast<char*>(WritableData()); }

wchar_t* RawString::WritableWide() { return static_cast<wchar_t*>(WritableData()); }

void RawString::SyncLength(int32_t length) {
    EnsureRoom(0);
    if (length < 0) length = 0;
    if (length > body_->capacity) length = body_->capacity;
    body_->length = length;
    Terminate(body_);
}

void RawString::SetUnitAt(int32_t pos, uint32_t unit) {
    if (pos < 0 || pos >= body_->length) return;
    EnsureRoom(0);
    StoreUnit(pos, unit);
}

void RawString::Clear() {
    RawStringBody* body = body_;
    if (body->length == 0) return;  // nothing to clear; never a write
    bool writable = body->ownership == OwnHeap &&
                    body->shareCount.load(std::memory_order_acquire) == 0;
    if (writable) {
        // Keep the private buffer for reuse.
        body->length = 0;
        Terminate(body);
        return;
    }
    uint8_t kind = body->kind;
    ReleaseBody(body);
    body_ = kind == KindUtf8 ? &g_emptyBody : NewBody(kind);
}

void RawString::ResetKind(uint8_t kind) {
    RawStringBody* body = body_;
    if (body->kind == kind && body->length == 0) return;
    bool writable = !IsStaticEmpty(body) &&
                    (body->ownership == OwnHeap || body->ownership == OwnEmpty) &&
                    body->shareCount.load(std::memory_order_acquire) == 0;
    if (!writable) {
        ReleaseBody(body);
        body_ = NewBody(kind);
        return;
    }
    body->length = 0;
    if (body->ownership == OwnHeap && UnitWidth(body->kind) != UnitWidth(kind)) {
        // Keep the capacity in units of the new kind.
        FreeUnits(body);
        body->buffer = AllocateUnits(body->capacity, kind);
    }
    body->kind = kind;
    Terminate(body);
}

// ---------------------------------------------------------------------------
// Building and editing

void RawString::AppendChar(uint32_t unit) {
    int32_t length = body_->length;
    EnsureRoom(length + 1);
    StoreUnit(length, unit);
    body_->length = length + 1;
    Terminate(body_);
}

void RawString::InsertChar(int32_t pos, uint32_t unit) { InsertRange(pos, 1, unit); }

void RawString::InsertRange(int32_t pos, int32_t count, uint32_t unit) {
    if (count <= 0) return;
    if (pos < 0) pos = 0;
    if (pos > body_->length) pos = body_->length;
    OpenGap(pos, count);
    for (int32_t i = 0; i < count; ++i) StoreUnit(pos + i, unit);
}

void RawString::OpenGap(int32_t pos, int32_t count) {
    if (count <= 0) return;
    int32_t length = body_->length;
    if (pos < 0) pos = 0;
    if (pos > length) pos = length;
    if (count > INT32_MAX / 2 - length) throw std::bad_alloc();
    EnsureRoom(length + count);
    int w = UnitWidth(body_->kind);
    std::memmove(UnitPtr(body_, pos + count), UnitPtr(body_, pos),
                 static_cast<size_t>(length - pos) * w);
    std::memset(UnitPtr(body_, pos), 0, static_cast<size_t>(count) * w);
    body_->length = length + count;
    Terminate(body_);
}

void RawString::Erase(int32_t pos, int32_t count) {
    int32_t length = body_->length;
    if (pos < 0) pos = 0;
    if (pos >= length || count <= 0) return;
    if (count > length - pos) count = length - pos;
    EnsureRoom(0);
    int w = UnitWidth(body_->kind);
    std::memmove(UnitPtr(body_, pos), UnitPtr(body_, pos + count),
                 static_cast<size_t>(length - pos - count) * w);
    body_->length = length - count;
    Terminate(body_);
}

void RawString::AssignRange(const RawString& other, RawRange range) {
    RawRange r = other.ClampEnd(range);
    if (r.start == 0 && r.end == other.Length()) {
        Assign(other);
        return;
    }
    RawStringBody* fresh =
        CopyBody(other.Kind(), UnitPtr(other.body_, r.start), r.end - r.start, r.end - r.start);
    ReleaseBody(body_);
    body_ = fresh;
}

RawString RawString::InitBodyFromRange(uint8_t kind, const RawString& other, RawRange range,
                                       bool* ok) {
    if (ok) *ok = true;
    RawRange r = other.ClampEnd(range);
    int32_t count = r.end - r.start;
    if (other.Kind() == kind ||
        (IsAsciiCompatibleKind(kind) && IsAsciiCompatibleKind(other.Kind()) &&
         RangeIsAscii(other.body_, r.start, r.end))) {
        RawString s(kind);
        if (count > 0) {
            s.EnsureRoom(count);
            if (other.Kind() == kind) {
                std::memcpy(s.body_->buffer, UnitPtr(other.body_, r.start),
                            static_cast<size_t>(count) * UnitWidth(kind));
            } else {
                for (int32_t i = 0; i < count; ++i)
                    PutUnit(s.body_, i, GetUnit(other.body_, r.start + i));
            }
            s.body_->length = count;
            Terminate(s.body_);
        }
        return s;
    }
    RawString view = ViewOf(UnitPtr(other.body_, r.start), count, other.Kind());
    RawString s(NewBody(kind));
    bool converted = s.AssignBody(kind, view);
    if (ok) *ok = converted;
    return s;
}

// Text of `other[range]` in this string's kind. A failed conversion falls
// back to a unit copy, so that text is never dropped silently.
static RawString InThisKind(uint8_t kind, const RawString& other, RawRange range) {
    bool ok = true;
    RawString s = RawString::InitBodyFromRange(kind, other, range, &ok);
    if (!ok) {
        RawRange r = other.ClampEnd(range);
        s = RawString(kind);
        s.CopyUnitsAt(0, other, r);
    }
    return s;
}

void RawString::AppendRange(const RawString& other, RawRange range) {
    if (other.Kind() != body_->kind) {
        RawString part = InThisKind(body_->kind, other, range);
        AppendRange(part, part.All());
        return;
    }
    RawRange r = other.ClampEnd(range);
    int32_t count = r.end - r.start;
    if (count <= 0) {
        return;
    }
    // Appending a string to itself: a held copy keeps the source text alive
    // while this body is copied or grown.
    RawString keep;
    if (other.body_ == body_) keep = other;
    const RawStringBody* src = other.body_ == body_ ? keep.body_ : other.body_;
    int32_t length = body_->length;
    if (count > INT32_MAX / 2 - length) throw std::bad_alloc();
    EnsureRoom(length + count);
    std::memmove(UnitPtr(body_, length), UnitPtr(src, r.start),
                 static_cast<size_t>(count) * UnitWidth(body_->kind));
    body_->length = length + count;
    Terminate(body_);
}

void RawString::AppendAscii(const char* text) {
    if (!text) return;
    size_t n = std::strlen(text);
    if (n == 0) return;
    int32_t length = body_->length;
    if (n > static_cast<size_t>(INT32_MAX / 2 - length)) throw std::bad_alloc();
    int32_t count = static_cast<int32_t>(n);
    EnsureRoom(length + count);
    for (int32_t i = 0; i < count; ++i)
        StoreUnit(length + i, static_cast<uint8_t>(text[i]));
    body_->length = length + count;
    Terminate(body_);
}

void RawString::ReplaceRange(RawRange range, const RawString& other, RawRange otherRange) {
    RawRange r = ClampEnd(range);
    RawString part;
    if (other.Kind() != body_->kind || other.body_ == body_) {
        part = InThisKind(body_->kind, other, otherRange);
    } else {
        RawRange o = other.ClampEnd(otherRange);
        part = ViewOf(UnitPtr(other.body_, o.start), o.end - o.start, other.Kind());
    }
    int32_t oldCount = r.end - r.start;
    int32_t newCount = part.Length();
    if (oldCount == 0 && newCount == 0) return;
    if (newCount > oldCount)
        OpenGap(r.end, newCount - oldCount);
    else if (newCount < oldCount)
        Erase(r.start + newCount, oldCount - newCount);
    else
        EnsureRoom(0);
    if (newCount > 0)
        std::memcpy(UnitPtr(body_, r.start), part.body_->buffer,
                    static_cast<size_t>(newCount) * UnitWidth(body_->kind));
}

void RawString::CopyUnitsAt(int32_t pos, const RawString& other, RawRange range) {
    RawRange r = other.ClampEnd(range);
    int32_t count = r.end - r.start;
    int32_t length = body_->length;
    if (pos < 0) pos = 0;
    if (pos > length) pos = length;
    if (count <= 0) return;
    // Copying from itself: a held copy keeps the source text apart.
    RawString keep;
    if (other.body_ == body_) keep = other;
    const RawStringBody* src = other.body_ == body_ ? keep.body_ : other.body_;
    if (count > INT32_MAX / 2 - pos) throw std::bad_alloc();
    int32_t end = pos + count;
    EnsureRoom(end > length ? end : length);
    for (int32_t i = 0; i < count; ++i) PutUnit(body_, pos + i, GetUnit(src, r.start + i));
    if (end > length) body_->length = end;
    Terminate(body_);
}

void RawString::AppendMany(const RawString& a, const RawString& b, const RawString& c,
                           const RawString& d, const RawString& e) {
    const RawString* parts[5] = {&a, &b, &c, &d, &e};
    RawString converted[5];
    int64_t total = body_->length;
    for (int i = 0; i < 5; ++i) {
        if (parts[i]->Kind() != body_->kind && !parts[i]->IsEmpty()) {
            converted[i] = InThisKind(body_->kind, *parts[i], parts[i]->All());
            parts[i] = &converted[i];
        } else if (parts[i]->body_ == body_) {
            converted[i] = *parts[i];  // keeps the body alive while this one grows
            parts[i] = &converted[i];
        }
        total += parts[i]->Length();
    }
    if (total > INT32_MAX / 2) throw std::bad_alloc();
    if (total == body_->length) return;
    // One reservation for the whole result.
    EnsureRoom(0);
    if (body_->ownership != OwnHeap || body_->capacity < total)
        Reallocate(body_, static_cast<int32_t>(total));
    for (int i = 0; i < 5; ++i) {
        int32_t n = parts[i]->Length();
        if (n == 0) continue;
        std::memcpy(UnitPtr(body_, body_->length), parts[i]->body_->buffer,
                    static_cast<size_t>(n) * UnitWidth(body_->kind));
        body_->length += n;
    }
    Terminate(body_);
}

RawString RawString::ConcatMany(const RawString& a, const RawString& b, const RawString& c,
                                const RawString& d, const RawString& e) {
    RawString s(a.Kind());
    s.AppendMany(a, b, c, d, e);
    return s;
}

RawString RawString::Concat(const RawString& other) const {
    RawString s(body_->kind);
    s.AppendMany(*this, other);
    return s;
}

RawString RawString::Quoted() const {
    RawString s(body_->kind);
    int32_t length = body_->length;
    s.Reserve(length + 2);
    s.AppendChar('"');
    s.AppendRange(*this, All());
    s.AppendChar('"');
    return s;
}

bool RawString::AssignBody(uint8_t kind, const RawString& source) {
    if (source.Kind() == kind) {
        int32_t count = source.Length();
        RawStringBody* fresh =
            count == 0 ? NewBody(kind)
                       : CopyBody(kind, source.Data(), count, GrowthCapacity(count));
        ReleaseBody(body_);
        body_ = fresh;
        return true;
    }
    RawString out;
    bool ok;
    if (source.IsEmpty()) {
        ok = true;
    } else if (kind == KindUtf16) {
        ok = ConvertToUtf16(source.Kind(), source.Data(), source.Length(), out);
    } else if (source.Kind() == KindUtf16) {
        ok = ConvertFromUtf16(kind, source.Wide(), source.Length(), out);
    } else {
        RawString wide;
        ok = ConvertToUtf16(source.Kind(), source.Data(), source.Length(), wide);
        if (ok) ok = ConvertFromUtf16(kind, wide.Wide(), wide.Length(), out);
    }
    if (!ok || out.IsEmpty() || out.Kind() != kind) {
        if (ok && !out.IsEmpty() && out.Kind() != kind) ok = false;
        if (!source.IsEmpty() && out.IsEmpty()) ok = false;
        RawStringBody* fresh = NewBody(kind);
        ReleaseBody(body_);
        body_ = fresh;
        return ok;
    }
    swap(out);
    return true;
}

}  // namespace RawLayer
