// Lines of a help document in UTF-8, whatever the file's encoding.
//
// The reader's searches step one byte at a time and look for ASCII marks
// ('\', '|', '[', '_', '~', ...). In Shift_JIS, EUC-JP or a double-byte ANSI
// code page a trail byte can equal such a mark, so every line is converted
// to UTF-8 (where no byte of a multibyte character is below 0x80) as it is
// read. The viewer never writes a document back, so nothing is lost by it.
// Bytes that form no character become U+FFFD, so a damaged file still shows
// every line.
#pragma once

#include <cstdint>

#include "base/raw_string.h"

namespace DocLayer {

using RawLayer::RawString;

// Which encoding kind the lines of a file are in, from the kind its reader
// found (`fileKind`, with `markKind` the kind of a byte-order mark or 0) and
// the raw bytes of all its lines (`lineAt(i)` for i in [0, count), each a
// RawString of bytes). A mark or a UTF-16 guess decides; otherwise the
// first of UTF-8, EUC-JP and Shift_JIS that reads every line without an
// invalid byte (a last character cut by the end of the file is allowed),
// else the ANSI code page.
template <class LineAt>
uint8_t ChooseLineKind(uint8_t fileKind, uint8_t markKind, int32_t count, LineAt lineAt);

// Whether the bytes read as text of the kind (UTF-8, EUC-JP or Shift_JIS;
// other kinds answer true), allowing a character cut short at the end when
// `cutEndAllowed` is set.
bool BytesReadAs(uint8_t kind, const uint8_t* bytes, int32_t count, bool cutEndAllowed);

// The line as UTF-8 (kind 2) from its raw bytes in the given kind (0-6; 8
// and unknown kinds are read as UTF-8). Valid UTF-8 comes back shared;
// anything that forms no character becomes U+FFFD, and so does a character
// cut short at the end.
RawString DecodeLineToUtf8(uint8_t kind, const RawString& raw);

// Appends the UTF-8 form of UTF-16 units; a lone surrogate becomes U+FFFD.
void AppendUtf16AsUtf8(RawString& out, const uint16_t* units, int32_t count);

// The code point of the UTF-8 character at `pos` (U+FFFD for a broken one)
// and, through `next`, the position after it.
uint32_t Utf8CodePointAt(const RawString& text, int32_t pos, int32_t* next);
// The code point of the last character that ends at or before `end`.
uint32_t Utf8CodePointBefore(const RawString& text, int32_t end);

// ---------------------------------------------------------------------------

template <class LineAt>
uint8_t ChooseLineKind(uint8_t fileKind, uint8_t markKind, int32_t count, LineAt lineAt) {
    if (markKind != 0) return markKind;
    if (fileKind == RawLayer::KindUtf16BE || fileKind == RawLayer::KindUtf16LE) return fileKind;
    const uint8_t candidates[] = {RawLayer::KindUtf8, RawLayer::KindEucJp, RawLayer::KindSjis};
    for (uint8_t kind : candidates) {
        bool all = true;
        for (int32_t i = 0; i < count && all; ++i) {
            const RawString& raw = lineAt(i);
            all = BytesReadAs(kind, reinterpret_cast<const uint8_t*>(raw.Bytes()), raw.Length(),
                              i + 1 == count);
        }
        if (all) return kind;
    }
    return RawLayer::KindAnsi;
}

}  // namespace DocLayer
