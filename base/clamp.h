// A value held inside bounds, for every limit read from a profile or a file.
#pragma once

#include <cstdint>

namespace RawLayer {

// The value held inside [low, high]; `low` wins when the two cross. The
// bounds lie within 32 bits; the value may not (a 64-bit size or product).
inline int32_t ClampInt(int64_t value, int64_t low, int64_t high) {
    return static_cast<int32_t>(value < low ? low : (value > high ? high : value));
}

}  // namespace RawLayer
