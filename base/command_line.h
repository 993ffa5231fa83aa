// The process command line: the arguments after the program's own path, and
// their split into options and positional arguments.
#pragma once

#include <cstdint>

#include "base/raw_string.h"

namespace RawLayer {

class RawParameterList;

// The first position at or after `from` (a negative `from` counts as 0)
// whose unit is one of the units of `set`, stepping by whole characters;
// the text's length when there is none.
int32_t FindFirstOf(const RawString& text, int32_t from, const RawString& set);
// Whether the unit at `index` is one of the units of `set`; false for an
// index outside the text or an empty set.
bool IsOneOf(const RawString& text, int32_t index, const RawString& set);

// The text of a command line without the program's own path: leading blanks
// and tabs are skipped, then the path (a double quote toggles a quoted part;
// the path ends at the first blank or tab outside quotes), then the blanks and
// tabs after it. UTF-8 (kind 2).
RawString CommandLineAfterProgram(const RawString& commandLine);
// The process command line (GetCommandLineW) without the program's own
// path, as UTF-8.
RawString ParseProcessCommandLine();

// Fills the list from an argument text (the list's case flag is set: keys
// compare exactly; units are appended after any the list holds). "-name
// value" adds the unit (name, value); an option named in `noValueNames`, or
// one followed by another option, gets an empty value; a lone '-' adds a unit
// with an empty key and value. Every other argument is added under the key
// "NoTag_1", "NoTag_2", ... in order. A token in double quotes keeps its
// blanks (a missing closing quote takes the rest of the text). Repeated
// options add repeated units.
// `noValueNames`: 7-bit option names ended by an empty text or a null pointer;
// the array itself may be null.
void CommandLineSplit(RawParameterList& list, const char* const* noValueNames,
                      const RawString& text);

}  // namespace RawLayer
