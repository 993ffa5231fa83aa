// Key bindings: the keys of the folder box do nothing by themselves; every
// key that does something is bound, in "KeyBinding.ini", to a list of named
// actions. "VirtualKey.ini" names the keys.
//
//   [VirtualKey]            key name = virtual-key code ("0x72", "114", ...)
//   F3=0x72
//   [KeyBinding]            [modifiers "-"] key = action; action; ...
//   CS-F3=SearchBackward(Side1, "a;b", 3); SelectWord
//
// Modifiers: "C" Ctrl 0x1000, "S" Shift 0x2000, "A" Alt 0x4000 (upper case
// only), a digit n bit 1 << n; other characters are ignored and repeats
// change nothing. The key part is "0x" and a number, or a key name.
#pragma once

#include <cstdint>

#include "base/profile.h"
#include "base/raw_list.h"
#include "base/raw_string.h"

namespace JobLayer {

using RawLayer::RawParameterList;
using RawLayer::RawString;
using RawLayer::RawStringList;

RAW_CONSTANT_TEXT(BlankCharsText, " \t")
RAW_CONSTANT_TEXT(VirtualKeySectionText, "VirtualKey")
RAW_CONSTANT_TEXT(KeyBindingSectionText, "KeyBinding")

// Modifier bits of a binding's mask and of the modifier word of a key press.
enum : uint32_t {
    KeyMaskCtrl = 0x1000,
    KeyMaskShift = 0x2000,
    KeyMaskAlt = 0x4000,
};

// One action of a binding: its name and its words, in file order. A word
// that begins with a double quote or a digit is an argument; every other
// word is an option ("Side1", "Side2", "SideR", "Pivot", "Input").
struct JobActionUnit {
    JobActionUnit() : words(true) {}
    JobActionUnit(const RawString& actionName, const RawStringList& actionWords)
        : name(actionName), words(actionWords) {}

    RawString name;
    RawStringList words;

    // "Side1" gives 0, else "Side2" 1, else "SideR" the other side, else the
    // current side; with no current side (2 or more), 2: no side.
    uint32_t TargetSide(uint32_t currentSide) const;
    bool HasPivot() const;
    // The n-th argument (from 0): a quoted word without its quotes, a digit
    // word as written. "Input" ends the walk (InputMarkText for 0); words
    // running out give EmptyMarkText for 0; an empty text for n above 0.
    RawString ArgumentText(int32_t n) const;
};

// The base of a binding's action list (no members).
class JobBindingInfo {};

class JobActionListAllocator : public RawLayer::RawListDeleteAllocator<JobActionUnit> {};
// The actions of one binding, in the order written. The runner of the
// actions holds the list's lock while it runs them.
class JobActionList : public JobBindingInfo,
                      public RawLayer::RawListR<JobActionListAllocator, JobActionUnit> {};

struct JobBindingUnit {
    uint32_t mask = 0;  // modifier bits (16 used)
    uint32_t code = 0;  // virtual-key code; 0 never matches
    JobActionList actions;
};

class JobBindingListAllocator : public RawLayer::RawListDeleteAllocator<JobBindingUnit> {};
// Every binding, in file order.
class JobBindingList : public RawLayer::RawListR<JobBindingListAllocator, JobBindingUnit> {};

// What the folder box owns: the key-name table (names found ASCII case-
// insensitively) and the bindings; and the paths of the key files that were
// there but could not be read, for the program to tell.
struct JobBindingOwner {
    RawParameterList keyNames{false};
    JobBindingList bindings;
    RawStringList unreadable{true};
};

// The index of the first unit equal to `unit` at or after `start` (a
// negative start counts as 0), stepping over whole characters; the length
// when there is none.
int32_t FindCodeUnit(const RawString& text, int32_t start, uint32_t unit);

// The virtual-key code of a key part: "0x" at its start reads it as a number
// (profile number syntax), otherwise the name's value in the table is read
// so. A code outside 1-254 (negative, or too large for a key) and a name
// missing from the table give 0.
int32_t KeyCodeValue(const RawString& keyText, const RawParameterList& keyNames);

// Sets the binding's mask and code from the key text and appends the actions
// of the value text. Ends for any text: every scan moves forward by whole
// characters and never reads past the end.
void ParseKeyBinding(JobBindingUnit& binding, const RawString& keyText, const RawString& valueText,
                     const RawParameterList& keyNames);
// The action list part of ParseKeyBinding.
void ParseActionList(JobActionList& actions, const RawString& valueText);

class KeyBindingStore {
public:
    // Reads the key-name table from the "VirtualKeyFile" option's file and
    // appends the bindings of the "KeyBindingFile" option's file (in file
    // order; the list is not emptied first). A missing file or an empty
    // option leaves the table or list as it was. A file that is there but
    // holds no section of its name, or could not be read to the section's
    // end, is added to the owner's unreadable paths (the entries read
    // before a failure are kept).
    static void Load(JobBindingOwner& owner);
    // The same with the two file paths given.
    static void Load(JobBindingOwner& owner, const RawString& keyNameFile, const RawString& bindingFile);
    // Appends the program's own bindings of the usual keys (by key code,
    // whatever the key-name table holds). Put after those of the file, they
    // serve the keys that the file does not bind: the first binding of a
    // key wins, and a binding without actions leaves the key unbound.
    static void AppendDefaults(JobBindingList& bindings);
};

// The modifier word of the key press being handled: Ctrl, Shift and Alt as
// the thread's keyboard state has them now (OR of their bits).
uint32_t CurrentModifierMask();
// The first binding whose code equals the key's code and whose mask equals
// the modifier word exactly; null when none does (a code of 0 never matches).
const JobBindingUnit* FindKeyBinding(const JobBindingList& bindings, uint32_t code, uint32_t mask);
// The same with the modifiers held now.
const JobBindingUnit* FindKeyBinding(const JobBindingList& bindings, uint32_t code);

}  // namespace JobLayer
