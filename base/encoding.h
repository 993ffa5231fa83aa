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

// 1 (Shift_JIS) or 2 (UTF-8), never 0; empty input gives 1. The Shift_JIS
// validator takes the leads 0x81-0x9F, 0xE0-0xEF and the IBM extension rows
// 0xFA-0xFC of code page 932 (never valid in UTF-8).
uint8_t GuessEncoding(const void* bytes, int32_t count);

// State of a guess carried across chunks of one file.
struct GuessState {
    bool flag = true;      // set while zero bytes may still mean UTF-16
    int32_t position = 0;  // where the scan of the current chunk reached
    int64_t offset = 0;    // bytes of the earlier chunks (for the parity of a zero)
    int16_t lastByte = -1; // the last byte of the chunk before, -1 none (the unit a chunk at
                           // an odd offset starts in begins with it)
};
// 0 undecided, 1, 2, 5, 6 or 8 (not text). Each call takes the next chunk of
// the file, the bytes that follow the previous chunk; after an undecided
// result (0) the state is ready for that next chunk (position 0, offset
// advanced by count, the chunk's last byte kept). While the flag is set, a
// chunk's zero bytes are weighed before anything else: read as units on the
// file's 2-byte grid, in each byte order, they make the chunk UTF-16 when
// they stand where UTF-16 puts them (mostly ASCII units, or line ends and
// spaces as 000A, 000D, 0020 that outweigh the signs of 8-bit text around
// them), whatever script the text is in. Otherwise they are stray zeros of
// 8-bit text: the flag is cleared (two zeros in a row alone leave it) and
// the bytes decide as 8-bit text.
uint8_t GuessTextKind(GuessState& state, const void* bytes, int32_t count);

// The longest prefix of count bytes (units for kind 7) that ends on a whole
// character, so that a chunked reader can convert the prefix and keep the
// rest for the next chunk. The prefix is count when nothing can be pending
// (kinds 8 and unknown kinds, single-byte ANSI code pages, bytes that can
// never become part of a longer character).
//   0  the ANSI code page: count for a single-byte code page; the rule of
//      kind 1 with the code page's own lead bytes for a double-byte one; the
//      rule of kind 2 when the ANSI code page is UTF-8.
//   1  code page 932: the run of lead-capable bytes (0x81-0x9F, 0xE0-0xFC) at
//      the end is paired up; an odd run ends in a lone lead, which is cut.
//   2  a lead whose sequence is incomplete is cut with its continuations.
//   3  UTF-7: cut before a '+' whose base64 run is not yet ended by a byte
//      outside the base64 set (a run may go on in the next chunk, and the
//      rest cannot be decoded without its '+'); 0 when such a run fills the
//      whole chunk (a line longer than the chunk).
//   4  EUC-JP: the trailing run of bytes >= 0x80 is walked from its start by
//      characters (0x8E: 2 bytes, 0x8F: 3, 0xA1-0xFE: 2, other: 1); an
//      incomplete last character is cut.
//   5, 6  rounded down to even; a trailing high surrogate is cut as well.
//   7  a trailing high surrogate is cut.
int32_t WholeCharLength(uint8_t kind, const void* bytes, int32_t count);

// Conversions. Both return false when non-empty input could not be
// converted (the output is then empty); an empty input succeeds. Bytes that
// do not form a character of the kind are replaced (the system converter's
// lossy replacement), never dropped silently: an odd last byte of UTF-16
// (kinds 5 and 6) becomes U+FFFD.
// `count` counts bytes for kinds 0-6 and 16-bit units for kind 7 (copied).
// The result is kind 7, owned, length = capacity = the unit count.
bool ConvertToUtf16(uint8_t kind, const void* units, int32_t count, RawString& out);
// From count 16-bit units to `kind` (0-6; 7 copies).
bool ConvertFromUtf16(uint8_t kind, const wchar_t* units, int32_t count, RawString& out);

// Whether count 16-bit units hold a surrogate half without its partner.
bool HasLoneSurrogate(const wchar_t* units, int32_t count);

// The text in another kind only when that kind holds every character of it:
// the conversion must come back to the same UTF-16 units (no character
// replaced by "?" or a look-alike) and the text must hold no lone surrogate.
// False (and `out` empty) otherwise. Text already of the kind is taken as
// it stands (UTF-16 text when it holds no lone surrogate).
bool ConvertTextExactly(const RawString& text, uint8_t kind, RawString& out);

// The profile/menu name of a kind ("ASCII" .. "UTF16", "ERROR" for 8 and
// anything unknown); with the mark flag " [BOM]" follows.
RawString EncodingKindName(uint8_t kind, bool withMark);
// The kind named by a profile word: one of the eight text names, compared
// ASCII case-insensitively; -1 for "ERROR" and anything else.
int KindFromName(const RawString& name);

// Whether the processor has SSE2, which the byte scans of text use sixteen
// bytes at a time (every 64-bit one has it; the 32-bit program asks once).
bool HasSse2();

}  // namespace RawLayer
