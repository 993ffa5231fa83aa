// Plain and Unicode text on the clipboard, and the colour blend of the
// shaded compare backgrounds.
#pragma once

#include <windows.h>

#include <cstdint>

#include "base/raw_string.h"

namespace RawLayer {

// Puts the units [range.start, range.end) of the text on the clipboard (the
// end is clamped to the length, a negative start taken as 0). Text that the
// ANSI entry points take (ANSI, Shift_JIS under code page 932, 7-bit UTF-8,
// or empty) goes as CF_TEXT up to its first NUL byte; UTF-16 goes as
// CF_UNICODETEXT up to its first NUL unit; any other kind is converted to
// UTF-16 first. Exactly one format is put. False when the clipboard could not
// be opened (it is tried for a short while when another program holds it),
// the memory could not be had, or the clipboard refused the data; no memory
// is left behind then.
bool ClipboardSetText(const RawString& text, RawRange range);
inline bool ClipboardSetText(const RawString& text) { return ClipboardSetText(text, text.All()); }

// The clipboard's Unicode text (kind 7) up to its first NUL, cut to at most
// `maximum` units; never read past the clipboard's memory block. An empty
// kind-7 string when there is none or the clipboard cannot be opened.
RawString ClipboardGetText(int32_t maximum);

// Mixes two colours for the shaded backgrounds: when a equals the plain
// colour the result is b, when b does, a; otherwise b is darkened by the
// weight (in 1/256, clamped to 0..256: each channel c becomes
// c - c * weight / 256) and the result is the channel-wise mean of a and the
// darkened b, rounded down. Callers pass GetSysColor(COLOR_WINDOW) as the
// plain colour.
COLORREF BlendColor(COLORREF a, COLORREF b, COLORREF plain, int weight);

}  // namespace RawLayer
