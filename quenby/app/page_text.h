// The page view's per-page texts: a header and a footer record per printed
// page, kept as two arrays of one count.
#pragma once

#include <cstdint>

#include "base/raw_string.h"

namespace AppLayer {

struct PageTextRecord {
    RawLayer::RawString left;
    RawLayer::RawString centre;
    RawLayer::RawString right;
};

struct PageTextArrays {
    PageTextArrays() = default;
    ~PageTextArrays() { Clear(); }
    PageTextArrays(const PageTextArrays&) = delete;
    PageTextArrays& operator=(const PageTextArrays&) = delete;

    // Room for `pages` pages (empty records); false when memory runs out.
    bool Resize(int32_t pages);
    // Destroys every record of both arrays, frees them, and sets both
    // pointers and the count to 0.
    void Clear();

    PageTextRecord* headers = nullptr;
    PageTextRecord* footers = nullptr;
    int32_t count = 0;
};

}  // namespace AppLayer
