// RawString: the one text type of both programs.
//
// A value is one pointer to a shared body. Copies of the same encoding kind
// share the body; every writing operation detaches a shared body first (copy
// on write). A copy asked for in another kind is converted. Lengths, positions
// and capacities always count code units of the string's own kind: bytes for
// kinds 0-6 (kinds 5 and 6 hold UTF-16 as bytes), 16-bit units for kind 7.
#pragma once

#include <atomic>
#include <cstdint>
#include <cstddef>

namespace RawLayer {

// Encoding kinds, shared by strings, line files, profiles and menus.
enum : uint8_t {
    KindAnsi = 0,     // the system ANSI code page
    KindSjis = 1,     // Shift_JIS (code page 932)
    KindUtf8 = 2,     // UTF-8 (65001)
    KindUtf7 = 3,     // UTF-7 (65000)
    KindEucJp = 4,    // EUC-JP (51932, or 20932 where 51932 is missing)
    KindUtf16BE = 5,  // UTF-16 big-endian held as bytes
    KindUtf16LE = 6,  // UTF-16 little-endian held as bytes
    KindUtf16 = 7,    // UTF-16 in memory, 16-bit units
    KindError = 8     // not text: the guess for binary data
};

// Ownership codes of a string body.
enum : uint8_t {
    OwnEmpty = 0,    // the one static empty buffer
    OwnHeap = 1,     // a heap buffer owned by the body
    OwnLiteral = 2,  // a constant literal, never written
    OwnView = 3      // a view of a buffer owned elsewhere, never shared
};

// A range of unit positions [start, end). Operations that take a range clamp
// the end to the length and a negative start to 0 (and the start to the end).
struct RawRange {
    int32_t start;
    int32_t end;
};

// Width of one code unit of a kind, in bytes.
inline int UnitWidth(uint8_t kind) { return kind == KindUtf16 ? 2 : 1; }

// Whether a kind's units below 0x80 are the ASCII characters themselves
// (kinds 0, 1, 2, 4 and 7), so that 7-bit text moves between two such kinds
// unit by unit, without a conversion. UTF-7 and the byte forms of UTF-16
// are not.
inline bool IsAsciiCompatibleKind(uint8_t kind) {
    return kind == KindAnsi || kind == KindSjis || kind == KindUtf8 || kind == KindEucJp ||
           kind == KindUtf16;
}

// Whether a unit is a path separator ('\' or '/').
inline bool IsPathSeparator(uint32_t unit) { return unit == '\\' || unit == '/'; }

// Whether a UTF-16 unit is the first (high) or second (low) half of a
// surrogate pair.
inline bool IsHighSurrogate(uint32_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
inline bool IsLowSurrogate(uint32_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

// An ASCII capital as its small letter; every other unit as it is.
inline uint32_t FoldAscii(uint32_t unit) { return (unit >= 'A' && unit <= 'Z') ? unit + ('a' - 'A') : unit; }

// The shared body. Field order follows the stored layout the rest of the
// system reasons about; the "lock" is the atomic share count itself, because
// copy-on-write only needs an atomic decision on the number of holders (see
// Detach), and a per-body critical section made every short string expensive.
struct RawStringBody {
    uint8_t ownership;
    uint8_t kind;
    uint16_t poolBytes;     // size of the body's block (the pool's)
    void* buffer;           // units followed by one zero unit
    int32_t length;         // in units
    int32_t capacity;       // in units, without the terminator
    std::atomic<uint32_t> shareCount;  // holders besides the first
};

class RawStringList;

class RawString {
public:
    // ---- life and sharing -------------------------------------------------
    RawString();                                  // the shared empty string
    explicit RawString(uint8_t kind);             // empty string of a kind
    RawString(const RawString& other);            // shares (same kind)
    RawString(RawString&& other) noexcept;
    RawString(uint8_t kind, const RawString& other);  // copy converted to kind
    ~RawString();
    RawString& operator=(const RawString& other);     // Assign
    RawString& operator=(RawString&& other) noexcept;

    // The process-wide empty string: ownership 0, kind 2.
    static const RawString& Empty();

    // A body over a NUL-terminated 8-bit literal without copying (ownership
    // 2, kind 2), then FixLiteralCodePage. Use only for literals whose bytes
    // are pure ASCII or known UTF-8; non-ASCII constants are built from wide
    // literals with FromWideText instead of being guessed.
    static RawString FromLiteral(const char* text);
    // An owned kind-2 copy of a NUL-terminated 8-bit text (no guess).
    static RawString FromText(const char* text);
    // An owned copy of count units of 8-bit text, in the given kind.
    static RawString FromBytes(const void* bytes, int32_t count, uint8_t kind);
    // An owned kind-7 copy of a NUL-terminated UTF-16 text.
    static RawString FromWideText(const wchar_t* text);
    static RawString FromWideText(const wchar_t* text, int32_t count);
    // An empty, private kind-2 string whose capacity is at least count.
    static RawString WithCapacity(int32_t count);
    // An empty, private string of the kind with room for at least count
    // units (a negative count as 0), for text built in one allocation.
    static RawString ReserveAs(uint8_t kind, int32_t count);
    // A view (ownership 3) of a buffer owned elsewhere; never shared: a copy
    // of it is private. The buffer must outlive the string and hold a
    // terminating zero unit after count units.
    static RawString ViewOf(const void* units, int32_t count, uint8_t kind);
    // The bytes a caller sets aside for ViewInPlace (aligned as a body).
    static constexpr size_t PlacedBodyBytes = (sizeof(RawStringBody) + 7) & ~static_cast<size_t>(7);
    // A view as ViewOf whose body is made in `place`, PlacedBodyBytes of
    // memory that the caller owns (a record that keeps its text beside
    // itself in one block): nothing is allocated, and letting go of the
    // string never frees the place. The caller lets the string go, or
    // replaces it, before the memory goes, and never moves the string itself
    // elsewhere; copies of it are private, as copies of every view are. A
    // count below 0 counts as 0.
    static RawString ViewInPlace(void* place, const void* units, int32_t count, uint8_t kind);
    static RawString FromInt(int32_t value);
    // The decimal text of the signed 64-bit number made of two 32-bit
    // halves, as UTF-8; every value, INT64_MIN too.
    static RawString FromInt64(uint32_t low, uint32_t high);
    // An owned UTF-8 copy of exactly `count` bytes handed over by someone
    // else (a window message payload, which carries no terminator); nothing
    // past them is read. A null pointer or a negative count gives "".
    static RawString FromBorrowedUtf8(const char* bytes, int32_t count);
    // Makes the target show source[range] in the source's kind: a view of
    // the source's buffer (ownership 3) when the range ends at the source's
    // end, where its terminator stands, else a copy (a view must end at a
    // terminator). A view must not outlive the source's buffer.
    static void ViewRange(RawString& target, const RawString& source, RawRange range);

    // The body to use for a copy in the wanted kind: the same body with one
    // more holder when the kind matches and it is not a view, else a new body
    // filled by AssignBody. On a failed conversion `ok` becomes false and the
    // new body is empty.
    RawStringBody* ShareAs(uint8_t kind, bool* ok = nullptr) const;
    // Gives up this value's hold on its body.
    void Release();
    void Assign(const RawString& other);
    // Converts `other` into this string's storage in the given kind; false
    // (and an empty string) when non-empty input could not be converted.
    bool AssignAs(uint8_t kind, const RawString& other);
    // A copy in the given kind (shared when the kind matches); `ok` as above.
    RawString As(uint8_t kind, bool* ok = nullptr) const;
    // Rewrites a literal body to owned UTF-8 when its bytes look Shift_JIS.
    void FixLiteralCodePage();

    // ---- inspection -------------------------------------------------------
    uint8_t Kind() const { return body_->kind; }
    uint8_t Ownership() const { return body_->ownership; }
    int32_t Length() const { return body_->length; }
    int32_t Capacity() const { return body_->capacity; }
    uint32_t ShareCount() const { return body_->shareCount.load(std::memory_order_acquire); }
    bool IsEmpty() const { return body_->length == 0; }
    const RawStringBody* Body() const { return body_; }
    // The unit at a position (byte, or 16-bit unit in kind 7); 0 outside.
    uint32_t UnitAt(int32_t pos) const;
    const void* Data() const { return body_->buffer; }
    const char* Bytes() const { return static_cast<const char*>(body_->buffer); }
    const wchar_t* Wide() const { return static_cast<const wchar_t*>(body_->buffer); }
    // Clamps a range end to the length, a negative start to 0 and a start
    // beyond the end to the end.
    RawRange ClampEnd(RawRange range) const;
    RawRange All() const { return RawRange{0, body_->length}; }

    // ---- copy on write and growth -----------------------------------------
    void Detach();
    // Detaches, then makes the capacity at least count (exactly count, or
    // the length when larger, when it has to reallocate).
    void Reserve(int32_t count);
    // Makes room for `needed` units by the growth rule: capacity becomes
    // 2n + 20 below 200 units, else 2n + 100.
    void Grow(int32_t needed);
    // Writable storage (detaches first).
    char* WritableBytes();
    wchar_t* WritableWide();
    void* WritableData();
    // Sets the length after a caller wrote into WritableData (clamped to the
    // capacity) and writes the terminator.
    void SyncLength(int32_t length);
    // Stores one unit inside the text (detaches first); a position outside
    // [0, length) is ignored.
    void SetUnitAt(int32_t pos, uint32_t unit);
    void Clear();
    // Changes the kind of an empty private string (no conversion); a
    // non-empty or shared string becomes an empty one of the kind. The
    // capacity stays, counted in units of the new kind.
    void ResetKind(uint8_t kind);

    // ---- building and editing ---------------------------------------------
    void AppendChar(uint32_t unit);
    void InsertChar(int32_t pos, uint32_t unit);
    void InsertRange(int32_t pos, int32_t count, uint32_t unit);
    void OpenGap(int32_t pos, int32_t count);
    void Erase(int32_t pos, int32_t count);
    // This becomes other[range] in other's kind (like Assign).
    void AssignRange(const RawString& other, RawRange range);
    // Appends other[range] in this string's kind: a unit copy for the same
    // kind or 7-bit text, a conversion otherwise (falling back to a unit
    // copy when the conversion fails, so text is never dropped).
    void AppendRange(const RawString& other, RawRange range);
    void Append(const RawString& other) { AppendRange(other, other.All()); }
    void AppendAscii(const char* text);   // 7-bit text, unit by unit
    void ReplaceRange(RawRange range, const RawString& other, RawRange otherRange);
    // Copies units one by one (widening or narrowing, no code-page
    // conversion) over this string from pos on, growing as needed.
    void CopyUnitsAt(int32_t pos, const RawString& other, RawRange range);
    // A new string of a given kind from a range of another, converted when
    // the kinds differ.
    static RawString InitBodyFromRange(uint8_t kind, const RawString& other, RawRange range,
                                       bool* ok = nullptr);
    void AppendMany(const RawString& a, const RawString& b = Empty(), const RawString& c = Empty(),
                    const RawString& d = Empty(), const RawString& e = Empty());
    static RawString ConcatMany(const RawString& a, const RawString& b, const RawString& c = Empty(),
                                const RawString& d = Empty(), const RawString& e = Empty());
    RawString Concat(const RawString& other) const;
    RawString Quoted() const;
    // Fills this (fresh) string in kind `kind` from `source`: a unit copy
    // for the same kind, a conversion otherwise. False when a conversion of
    // non-empty text failed.
    bool AssignBody(uint8_t kind, const RawString& source);

    // ---- compare and search (units compare by value across kinds) ---------
    bool Equals(const RawString& other) const;
    bool operator==(const RawString& other) const { return Equals(other); }
    bool operator!=(const RawString& other) const { return !Equals(other); }
    bool EqualsRange(RawRange range, const RawString& other, RawRange otherRange) const;
    bool EqualsRangeNoCase(RawRange range, const RawString& other, RawRange otherRange) const;
    // Whether `other[otherRange]` stands at pos (exact).
    bool EqualsAt(int32_t pos, const RawString& other, RawRange otherRange) const;
    bool MatchesAt(int32_t pos, const RawString& other, RawRange otherRange, bool fold) const;
    static bool EqualsNoCase(const RawString& a, const RawString& b);
    bool EqualsAscii(const char* text) const;
    // Ordering by unit value (used by sorted lists).
    int CompareTo(const RawString& other) const;
    int CompareNoCase(const RawString& other) const;

    int32_t FindRange(RawRange range, const RawString& other, RawRange otherRange) const;
    int32_t Find(const RawString& other) const { return FindRange(All(), other, other.All()); }
    int32_t FindNoCase(RawRange range, const RawString& other, RawRange otherRange) const;
    int32_t FindChar(RawRange range, uint32_t unit) const;
    int32_t FindEitherChar(RawRange range, uint32_t a, uint32_t b) const;
    int32_t FindCharOutsideQuotes(RawRange range, uint32_t unit) const;
    // Last position of the unit in the range; the range end when absent.
    int32_t FindLastChar(RawRange range, uint32_t unit) const;
    // Index of the last character in the range that is one of the set's
    // units (stepping whole characters); the range end when none is.
    int32_t FindLastOf(RawRange range, const RawString& set) const;
    // The index just after the next LF at or after pos; the length when no
    // LF follows.
    int32_t FindLineEnd(int32_t pos) const;
    int32_t SkipSet(RawRange range, const RawString& set) const;
    bool IsOneOfAt(int32_t pos, const RawString& set) const;
    bool ContainsUnit(uint32_t unit) const;
    RawRange TrimRange(RawRange range, const RawString& set) const;
    int32_t TrailUnits(int32_t pos) const;
    // The position after the character that starts at pos (never past the
    // length, also for a sequence cut off by the end).
    int32_t NextCharPos(int32_t pos) const;

    // Replaces the first occurrence of `from` by `to`; false when absent.
    bool ReplaceFirst(const RawString& from, const RawString& to);
    // The text split at ',' outside quotes, items trimmed of blanks and tabs.
    void SplitToList(RawStringList& list, RawRange range) const;

    // ---- numbers ------------------------------------------------------------
    int32_t ToInt() const;
    // The same over a range of the text.
    int32_t ToInt(RawRange range) const;
    void AppendInt(int32_t value);
    // Digits of value in radix 2..36; false (nothing appended) otherwise.
    bool AppendUnsigned(uint64_t value, int radix);
    // Exactly `width` digits, the lowest digits of the value, zero-filled.
    bool AppendPadded(uint64_t value, int radix, int width);

    void swap(RawString& other) noexcept {
        RawStringBody* t = body_;
        body_ = other.body_;
        other.body_ = t;
    }

private:
    explicit RawString(RawStringBody* body) : body_(body) {}
    static RawStringBody* NewBody(uint8_t kind);
    static RawStringBody* StaticEmptyBody();
    uint32_t RawUnit(int32_t pos) const;
    void StoreUnit(int32_t pos, uint32_t unit);
    void EnsureRoom(int32_t needed);

    RawStringBody* body_;
};

// Result of a number scan.
struct RawNumberScan {
    uint32_t sign;    // 0, '-' or '+'
    int radix;
    int32_t position; // where the scan stopped
    uint64_t value;
    bool overflow;    // the value did not fit in 64 bits
};

// Scans a range as a number (see RawString::ToInt); true on success. Fails
// on a lone sign, a bad digit, or a value past 64 bits.
bool ParseNumber(const RawString& text, RawRange range, RawNumberScan& scan);

// Character classes of a 16-bit unit: 1 word, 2 blank, 3 line end, 4 control,
// 5 Latin-1, 0 other below 0x100, 6 at or above 0x100.
int CharClass(uint32_t unit);

// The range after the last '\' or '/' to the end; the whole text without one.
RawRange PathNameRange(const RawString& path);
// The index of the next '\\' or '/' at or after `from` (a negative start
// as 0), stepping by whole characters, so that the trail byte of a
// Shift_JIS character is never taken for one; the length when none follows.
int32_t FindPathSeparator(const RawString& text, int32_t from);

}  // namespace RawLayer

// Function-local constant strings: built once on first use (thread-safe
// static initialisation) and destroyed at exit. The text must be 7-bit;
// non-ASCII constants use RAW_WIDE_CONSTANT.
#define RAW_CONSTANT_TEXT(Name, literal)                                       \
    inline const ::RawLayer::RawString& Name() {                              \
        static const ::RawLayer::RawString value =                            \
            ::RawLayer::RawString::FromLiteral(literal);                      \
        return value;                                                          \
    }
#define RAW_WIDE_CONSTANT(Name, literal)                                       \
    inline const ::RawLayer::RawString& Name() {                              \
        static const ::RawLayer::RawString value =                            \
            ::RawLayer::RawString::FromWideText(literal);                     \
        return value;                                                          \
    }

namespace RawLayer {
RAW_CONSTANT_TEXT(LineBreakText, "\r\n")
RAW_CONSTANT_TEXT(FalseText, "False")
RAW_CONSTANT_TEXT(LetterTText, "t")
}  // namespace RawLayer
