// The process command line and its split into options and arguments.
#include "base/command_line.h"

#include <windows.h>

#include "base/profile.h"

namespace RawLayer {

namespace {

// Blanks between arguments, and the blanks around the program's own path.
RAW_CONSTANT_TEXT(ArgumentBlanks, " \t\r\n")
RAW_CONSTANT_TEXT(NoTagText, "NoTag")

bool IsPathBlank(uint32_t unit) { return unit == ' ' || unit == '\t'; }

// One token of the argument text read at a position: its range and the
// position after it and after the blanks that follow.
struct Token {
    RawRange range;
    int32_t next;
};

Token ReadToken(const RawString& text, int32_t pos) {
    const int32_t length = text.Length();
    if (pos >= length) return Token{RawRange{length, length}, length};
    uint32_t unit = text.UnitAt(pos);
    if (unit == '-') return Token{RawRange{pos, pos}, pos};  // the next option
    Token token;
    int32_t after;
    if (unit == '"') {
        int32_t close = text.FindChar(RawRange{pos + 1, length}, '"');
        token.range = RawRange{pos + 1, close};
        after = close < length ? close + 1 : length;
    } else {
        int32_t end = FindFirstOf(text, pos, ArgumentBlanks());
        token.range = RawRange{pos, end};
        after = end;
    }
    token.next = text.SkipSet(RawRange{after, length}, ArgumentBlanks());
    return token;
}

bool IsNoValueName(const RawString& name, const char* const* names) {
    if (names == nullptr) return false;
    for (int i = 0; names[i] != nullptr && names[i][0] != 0; ++i) {
        if (name.EqualsAscii(names[i])) return true;
    }
    return false;
}

}  // namespace

int32_t FindFirstOf(const RawString& text, int32_t from, const RawString& set) {
    const int32_t length = text.Length();
    int32_t pos = from < 0 ? 0 : from;
    while (pos < length) {
        if (IsOneOf(text, pos, set)) return pos;
        int32_t next = text.NextCharPos(pos);
        pos = next > pos ? next : pos + 1;
    }
    return length;
}

bool IsOneOf(const RawString& text, int32_t index, const RawString& set) {
    if (index < 0 || index >= text.Length()) return false;
    uint32_t unit = text.UnitAt(index);
    for (int32_t i = 0, n = set.Length(); i < n; ++i) {
        if (set.UnitAt(i) == unit) return true;
    }
    return false;
}

RawString CommandLineAfterProgram(const RawString& commandLine) {
    RawString text = commandLine.As(KindUtf8);
    const int32_t length = text.Length();
    int32_t pos = 0;
    while (pos < length && IsPathBlank(text.UnitAt(pos))) ++pos;
    bool quoted = false;
    while (pos < length) {
        uint32_t unit = text.UnitAt(pos);
        if (unit == '"') {
            quoted = !quoted;
        } else if (!quoted && IsPathBlank(unit)) {
            break;
        }
        ++pos;  // UTF-8 bytes of other characters are never blanks or quotes
    }
    while (pos < length && IsPathBlank(text.UnitAt(pos))) ++pos;
    return RawString::InitBodyFromRange(KindUtf8, text, RawRange{pos, length});
}

RawString ParseProcessCommandLine() {
    const wchar_t* line = GetCommandLineW();
    if (line == nullptr) return RawString(KindUtf8);
    return CommandLineAfterProgram(RawString::FromWideText(line));
}

void CommandLineSplit(RawParameterList& list, const char* const* noValueNames,
                      const RawString& text) {
    list.SetExactCase(true);
    const int32_t length = text.Length();
    const uint8_t kind = text.Kind();
    int32_t counter = 1;
    int32_t pos = text.SkipSet(RawRange{0, length}, ArgumentBlanks());
    while (pos < length) {
        const int32_t before = pos;
        if (text.UnitAt(pos) == '-') {
            Token name = ReadToken(text, pos + 1);
            RawString key = RawString::InitBodyFromRange(kind, text, name.range);
            pos = name.next;
            if (key.IsEmpty()) {
                list.Add(RawString(kind), RawString(kind));
            } else if (IsNoValueName(key, noValueNames) || text.UnitAt(pos) == '-') {
                list.Add(key, RawString(kind));
            } else {
                Token value = ReadToken(text, pos);
                list.Add(key, RawString::InitBodyFromRange(kind, text, value.range));
                pos = value.next;
            }
        } else {
            Token value = ReadToken(text, pos);
            RawString key = NoTagText();
            key.AppendChar('_');
            key.AppendInt(counter++);
            list.Add(key, RawString::InitBodyFromRange(kind, text, value.range));
            pos = value.next;
        }
        if (pos <= before) pos = before + 1;  // every round moves on
    }
}

}  // namespace RawLayer
