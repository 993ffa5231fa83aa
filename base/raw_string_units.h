// Unit access on a string body, shared by the RawString source files.
// Internal to base/: callers outside go through RawString.
#pragma once

#include <cstddef>
#include <cstdint>

#include "base/raw_string.h"

namespace RawLayer {
namespace StringUnits {

inline uint32_t GetUnit(const RawStringBody* body, int32_t pos) {
    if (body->kind == KindUtf16) return static_cast<const uint16_t*>(body->buffer)[pos];
    return static_cast<const uint8_t*>(body->buffer)[pos];
}

inline void PutUnit(RawStringBody* body, int32_t pos, uint32_t unit) {
    if (body->kind == KindUtf16)
        static_cast<uint16_t*>(body->buffer)[pos] = static_cast<uint16_t>(unit);
    else
        static_cast<uint8_t*>(body->buffer)[pos] = static_cast<uint8_t>(unit);
}

inline char* UnitPtr(const RawStringBody* body, int32_t pos) {
    return static_cast<char*>(body->buffer) + static_cast<size_t>(pos) * UnitWidth(body->kind);
}

// Writes the terminator; only owned heap buffers are ever written.
inline void Terminate(RawStringBody* body) {
    if (body->ownership == OwnHeap) PutUnit(body, body->length, 0);
}

}  // namespace StringUnits
}  // namespace RawLayer
