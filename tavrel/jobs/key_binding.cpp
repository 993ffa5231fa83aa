// Key bindings: key texts, action lists and the two key files.
#include "tavrel/jobs/key_binding.h"

#include <windows.h>

#include <algorithm>
#include <vector>

#include "base/file_system.h"
#include "tavrel/jobs/action_args.h"
#include "tavrel/jobs/config_store.h"
#include "toolkit/environment.h"

namespace JobLayer {

using RawLayer::ProfileFileRef;
using RawLayer::RawRange;

namespace {

RAW_CONSTANT_TEXT(Side1WordText, "Side1")
RAW_CONSTANT_TEXT(Side2WordText, "Side2")
RAW_CONSTANT_TEXT(SideRWordText, "SideR")
RAW_CONSTANT_TEXT(PivotWordText, "Pivot")
RAW_CONSTANT_TEXT(InputWordText, "Input")

constexpr uint64_t kLargestKeyCode = 254;

// A profile number (blanks and tabs around it dropped; the digits before a
// bad unit count) as a key code: 0 unless it lies in 1-254.
int32_t KeyCodeOfNumber(const RawString& text) {
    RawRange range = text.TrimRange(text.All(), BlankCharsText());
    RawLayer::RawNumberScan scan;
    RawLayer::ParseNumber(text, range, scan);
    if (scan.overflow || scan.sign == '-' || scan.value == 0 || scan.value > kLargestKeyCode) return 0;
    return static_cast<int32_t>(scan.value);
}

uint32_t ModifierBit(uint32_t unit) {
    switch (unit) {
    case 'C': return KeyMaskCtrl;
    case 'S': return KeyMaskShift;
    case 'A': return KeyMaskAlt;
    default: return unit >= '0' && unit <= '9' ? 1u << (unit - '0') : 0;
    }
}

// The separators of a value text that stand outside double quotes, found in
// one pass: a double quote toggles a quoted part, multi-unit characters are
// stepped over whole.
struct ValueMarks {
    std::vector<int32_t> semicolons;
    std::vector<int32_t> opens;
    std::vector<int32_t> closes;
};

ValueMarks MarksOf(const RawString& text) {
    ValueMarks marks;
    bool quoted = false;
    const int32_t length = text.Length();
    for (int32_t pos = 0; pos < length;) {
        const uint32_t unit = text.UnitAt(pos);
        if (unit == '"') {
            quoted = !quoted;
        } else if (!quoted) {
            if (unit == ';') marks.semicolons.push_back(pos);
            if (unit == '(') marks.opens.push_back(pos);
            if (unit == ')') marks.closes.push_back(pos);
        }
        pos = std::max(pos + 1, text.NextCharPos(pos));
    }
    return marks;
}

// The first mark at or after `from`, else `none`.
int32_t FirstMarkFrom(const std::vector<int32_t>& marks, int32_t from, int32_t none) {
    auto found = std::lower_bound(marks.begin(), marks.end(), from);
    return found == marks.end() ? none : *found;
}

RawString TrimmedRange(const RawString& text, RawRange range) {
    return RawString::InitBodyFromRange(text.Kind(), text, text.TrimRange(range, BlankCharsText()));
}

// Reads a key file's section into `entries`. False when there is nothing
// to take: no path, or no file there (nothing to tell), or a file that is
// there but holds no such section or could not be read to its end (then its
// path goes to the owner's unreadable paths; entries read before a failure
// part-way are still taken).
bool ReadKeyFile(JobBindingOwner& owner, const RawString& path, const RawString& section,
                 RawParameterList& entries) {
    if (path.IsEmpty()) return false;
    if (RawLayer::ApiGetFileAttributes(path) == INVALID_FILE_ATTRIBUTES) return false;
    ProfileFileRef file = ProfileFileRef::FromPath(path);
    bool whole = false;
    const bool found = entries.ReadSection(file, section, &whole);
    if (!found || !whole) owner.unreadable.Add(path);
    return found;
}

// The program's own bindings: the usual keys by their codes.
struct DefaultBinding {
    const char* key;
    const char* actions;
};

constexpr DefaultBinding kDefaultBindings[] = {
    {"0x25", "MoveCursorLeft"},               {"S-0x25", "MoveCursorLeft(Pivot)"},
    {"0x27", "MoveCursorRight"},              {"S-0x27", "MoveCursorRight(Pivot)"},
    {"0x26", "MoveCursorUp"},                 {"S-0x26", "MoveCursorUp(Pivot)"},
    {"0x28", "MoveCursorDown"},               {"S-0x28", "MoveCursorDown(Pivot)"},
    {"0x24", "MoveCursorToLineHead"},         {"S-0x24", "MoveCursorToLineHead(Pivot)"},
    {"0x23", "MoveCursorToLineFoot"},         {"S-0x23", "MoveCursorToLineFoot(Pivot)"},
    {"C-0x24", "MoveCursorToFileHead"},       {"CS-0x24", "MoveCursorToFileHead(Pivot)"},
    {"C-0x23", "MoveCursorToFileFoot"},       {"CS-0x23", "MoveCursorToFileFoot(Pivot)"},
    {"0x08", "Backspace"},                    {"0x2E", "DeleteCharOrSelections"},
    {"0x0D", "InsertNewLine"},                {"0x09", "InsertLineTabs"},
    {"S-0x09", "RemoveLineTabs"},             {"C-0x41", "SelectAll"},
    {"C-0x43", "CopyToClipboard"},            {"C-0x56", "PasteFromClipboard"},
    {"C-0x5A", "Undo"},                       {"C-0x59", "Redo"},
    {"C-0x46", "SearchForward(Input)"},       {"0x72", "SearchForward"},
    {"S-0x72", "SearchBackward"},             {"C-0x48", "ReplaceText(Input)"},
    {"C-0x47", "GotoLine(Input)"},            {"C-0x53", "SaveSide"},
    {"0x74", "ReloadCurrentTab"},             {"C-0x57", "DeleteCurrentTab"},
    {"0x76", "GotoPrevDiffrentLine"},         {"0x77", "GotoNextDiffrentLine"},
    {"C-0x45", "SetEditable"},                {"0x1B", "FinishDrags"},
    {"A-0x31", "SelectSide(Side1)"},          {"A-0x32", "SelectSide(Side2)"},
};

}  // namespace

int32_t FindCodeUnit(const RawString& text, int32_t start, uint32_t unit) {
    return text.FindChar(RawRange{std::max(start, 0), text.Length()}, unit);
}

int32_t KeyCodeValue(const RawString& keyText, const RawParameterList& keyNames) {
    if (keyText.UnitAt(0) == '0' && keyText.UnitAt(1) == 'x') return KeyCodeOfNumber(keyText);
    bool found = false;
    RawString value = keyNames.GetText(keyText, &found);
    return found ? KeyCodeOfNumber(value) : 0;
}

void ParseActionList(JobActionList& actions, const RawString& valueText) {
    const ValueMarks marks = MarksOf(valueText);
    const int32_t length = valueText.Length();
    // An unclosed parenthesis takes the rest of the value as its words, and
    // every later piece is an action too: a value of many unclosed pieces
    // would copy the rest once per piece. Once the copied words pass this
    // budget, words run only to the end of their own piece.
    int64_t wordBudget = 16 * static_cast<int64_t>(length) + 4096;
    int32_t pieceStart = 0;
    size_t nextSemicolon = 0;
    while (pieceStart <= length) {
        const int32_t pieceEnd =
            nextSemicolon < marks.semicolons.size() ? marks.semicolons[nextSemicolon++] : length;
        const RawRange piece = valueText.TrimRange(RawRange{pieceStart, pieceEnd}, BlankCharsText());
        pieceStart = pieceEnd + 1;
        if (piece.start >= piece.end) continue;
        // Quotes never straddle a piece start (pieces begin after a
        // semicolon outside quotes), so the marks of the whole text serve.
        int32_t open = FirstMarkFrom(marks.opens, piece.start, piece.end);
        if (open > piece.end) open = piece.end;
        RawString name = TrimmedRange(valueText, RawRange{piece.start, open});
        RawStringList words(true);
        if (open < piece.end) {
            int32_t close = FirstMarkFrom(marks.closes, open, length);
            if (close > pieceEnd && close - open > wordBudget) close = pieceEnd;
            wordBudget -= close - open;
            RawRange wordRange = valueText.TrimRange(RawRange{open + 1, close}, BlankCharsText());
            if (wordRange.start < wordRange.end) valueText.SplitToList(words, wordRange);
        }
        actions.Add(new JobActionUnit(name, words));
    }
}

void ParseKeyBinding(JobBindingUnit& binding, const RawString& keyText, const RawString& valueText,
                     const RawParameterList& keyNames) {
    const int32_t hyphen = FindCodeUnit(keyText, 0, '-');
    uint32_t mask = 0;
    RawRange keyPart = keyText.All();
    if (hyphen < keyText.Length()) {
        for (int32_t pos = 0; pos < hyphen; pos = std::max(pos + 1, keyText.NextCharPos(pos))) {
            mask |= ModifierBit(keyText.UnitAt(pos));
        }
        keyPart.start = hyphen + 1;
    }
    binding.mask = mask & 0xFFFF;
    binding.code = static_cast<uint32_t>(
        KeyCodeValue(RawString::InitBodyFromRange(keyText.Kind(), keyText, keyPart), keyNames));
    ParseActionList(binding.actions, valueText);
}

uint32_t JobActionUnit::TargetSide(uint32_t currentSide) const {
    if (words.Contains(Side1WordText())) return 0;
    if (words.Contains(Side2WordText())) return 1;
    // Without a current side there is no other side either: such an action
    // has no side, and no edit goes to a side the cursor does not show.
    if (currentSide > 1) return 2;
    if (words.Contains(SideRWordText())) return currentSide == 0 ? 1 : 0;
    return currentSide;
}

bool JobActionUnit::HasPivot() const { return words.Contains(PivotWordText()); }

RawString JobActionUnit::ArgumentText(int32_t n) const {
    int32_t index = 0;
    for (const RawString& word : words) {
        if (word.Equals(InputWordText())) return n == 0 ? InputMarkText() : RawString::Empty();
        const uint32_t first = word.UnitAt(0);
        if (first == '"') {
            if (index++ != n) continue;
            RawRange inner = word.All();
            while (inner.start < inner.end && word.UnitAt(inner.start) == '"') ++inner.start;
            while (inner.end > inner.start && word.UnitAt(inner.end - 1) == '"') --inner.end;
            return RawString::InitBodyFromRange(word.Kind(), word, inner);
        }
        if (first >= '0' && first <= '9') {
            if (index++ == n) return word;
        }
    }
    return n == 0 ? EmptyMarkText() : RawString::Empty();
}

void KeyBindingStore::Load(JobBindingOwner& owner) {
    const ConfigStore& options = ConfigStore::Instance();
    Load(owner, options.virtualKeyFile, options.keyBindingFile);
}

void KeyBindingStore::Load(JobBindingOwner& owner, const RawString& keyNameFile, const RawString& bindingFile) {
    RawParameterList names(false);
    if (ReadKeyFile(owner, keyNameFile, VirtualKeySectionText(), names)) owner.keyNames = names;
    RawParameterList entries(true);
    if (!ReadKeyFile(owner, bindingFile, KeyBindingSectionText(), entries)) return;
    for (const RawLayer::RawParameterUnit& entry : entries) {
        auto* binding = new JobBindingUnit();
        ParseKeyBinding(*binding, entry.key, entry.value, owner.keyNames);
        owner.bindings.Add(binding);
    }
}

void KeyBindingStore::AppendDefaults(JobBindingList& bindings) {
    const RawParameterList noNames(false);
    for (const DefaultBinding& entry : kDefaultBindings) {
        auto* binding = new JobBindingUnit();
        ParseKeyBinding(*binding, RawString::FromLiteral(entry.key), RawString::FromLiteral(entry.actions), noNames);
        bindings.Add(binding);
    }
}

uint32_t CurrentModifierMask() {
    uint32_t mask = 0;
    if (WinLayer::KeyHeld(VK_CONTROL)) mask |= KeyMaskCtrl;
    if (WinLayer::KeyHeld(VK_SHIFT)) mask |= KeyMaskShift;
    if (WinLayer::KeyHeld(VK_MENU)) mask |= KeyMaskAlt;
    return mask;
}

const JobBindingUnit* FindKeyBinding(const JobBindingList& bindings, uint32_t code, uint32_t mask) {
    if (code == 0) return nullptr;
    for (const JobBindingUnit& binding : bindings) {
        if (binding.code == code && binding.mask == mask) return &binding;
    }
    return nullptr;
}

const JobBindingUnit* FindKeyBinding(const JobBindingList& bindings, uint32_t code) {
    return FindKeyBinding(bindings, code, CurrentModifierMask());
}

}  // namespace JobLayer
