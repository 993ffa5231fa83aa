// Encoding detection and conversion between the encoding kinds of RawString.
#pragma once

#include <cstdint>

#include "raw_string.h"

namespace RawLayer {

// The native order of UTF-16 in memory: little-endian (kind 6).
inline uint8_t NativeUtf16Kind() { return KindUtf16LE; }

// The code page a kind converts through (0 for CP_ACP; -1 for kinds 5-8,
// which need no code page). Kind 4 uses 51932 when the system has it, else
// 20932.
int KindCodePage(uint8_t kind);

// Whether 8-bit text of this kind goes to ANSI Win32 entry points: kind 0;
// kind 1 only when the ANSI code page is 932.
bool KindFitsAnsiApi(uint8_t kind);

// Byte-order marks.
uint8_t DetectBom(const void* bytes, int32_t count);   // 0, 2, 5 or 6
int32_t BomLength(uint8_t kind);                        // 5,6: 2; 2: 3; 3: 5; else 0
// The bytes of the mark written for a kind (kind 7 writes kind 6's); count 0
// for kinds without one.
const uint8_t* BomBytes(uint8_t kind, int32_t* count);

// 1 (Shift_JIS) or 2 (UTF-8), never 0; empty input gives 1.
uint8_t GuessEncoding(const void* bytes, int32_t count);

// State of a guess carried across chunks of one file.
struct GuessState {
    bool flag = true;      // set while the 8-bit line end has not been seen
    int32_t position = 0;  // where the scan of the current chunk reached
};
// 0 undecided, 1, 2, 5, 6 or 8 (not text).
uint8_t GuessTextKind(GuessState& state, const void* bytes, int32_t count);

// The longest prefix of count bytes (units for kind 7) that ends on a whole
// character.
int32_t WholeCharLength(uint8_t kind, const void* bytes, int32_t count);

// Conversions. Both return false when non-empty input could not be
// converted (the output is then empty); an empty input succeeds.
// `units` counts bytes for kinds 0-6.
bool ConvertToUtf16(uint8_t kind, const void* units, int32_t count, RawString& out);
// From count 16-bit units to `kind` (0-6; 7 copies).
bool ConvertFromUtf16(uint8_t kind, const wchar_t* units, int32_t count, RawString& out);

// The profile/menu name of a kind ("ASCII" .. "UTF16", "ERROR" for 8 and
// anything unknown); with the mark flag " [BOM]" follows.
RawString EncodingKindName(uint8_t kind, bool withMark);
// The kind named by a profile word; -1 when none matches.
int KindFromName(const RawString& name);

}  // namespace RawLayer
