// The kind of a compare job or of one of its sides.
#pragma once

#include <cstdint>

#include "base/raw_string.h"

namespace JobLayer {

// Kinds of a side, of a job and of a folder entry.
enum : uint32_t {
    KindPath = 0,    // a folder
    KindText = 1,    // a text file
    KindBinary = 2,  // a binary file
    KindNone = 3     // nothing to compare (no path, a missing path, unlike sides)
};

// The names of the file kinds in the extension table and in a user
// command's target kind.
RAW_CONSTANT_TEXT(TextKindNameText, "Text")
RAW_CONSTANT_TEXT(BinaryKindNameText, "Binary")

// Empty base of the small tool records of the jobs.
class JobToolInfo {
public:
    virtual ~JobToolInfo() {}
};

// A small value holding one kind.
class JobKindType : public JobToolInfo {
public:
    JobKindType() : kind(KindNone) {}
    JobKindType(const JobKindType& other) : JobToolInfo(), kind(other.kind) {}
    JobKindType& operator=(const JobKindType& other) {
        kind = other.kind;
        return *this;
    }
    ~JobKindType() override {}

    // 0, 1 and 2 are kept; every other value is "none".
    static JobKindType FromKind(uint32_t k) {
        JobKindType t;
        t.kind = k <= KindBinary ? k : KindNone;
        return t;
    }
    // The kind of a pair from the kinds of its two sides: two known kinds
    // that differ give "none" (a folder against a file, text against binary);
    // otherwise the known one, side 1's first.
    static JobKindType FromSideKinds(uint32_t a, uint32_t b) {
        bool knownA = a <= KindBinary;
        bool knownB = b <= KindBinary;
        if (knownA && knownB && a != b) return FromKind(KindNone);
        return FromKind(knownA ? a : b);
    }

    bool operator==(const JobKindType& other) const { return kind == other.kind; }
    bool operator!=(const JobKindType& other) const { return kind != other.kind; }

    uint32_t kind;
};

}  // namespace JobLayer
