// Pair lines: the one-line text form of a compare request, and the tag words
// that name a job's result filter (status mask) and its edit bytes.
//
//   "@Group@" path1 "," path2 [ "," "<Opt>" { "," word } ]
//
// Words: "Same" (mask 1), "Different" (2), "Only1" (4), "Only2" (8),
// "Simple", "Edit1", "Edit2" (the three edit bytes). Words are found ASCII
// case-insensitively; the marker "@Group@" is compared exactly. Paths
// cannot contain ','; there is no quoting.
#pragma once

#include <cstdint>

#include "base/raw_list.h"
#include "base/raw_string.h"

namespace JobLayer {

using RawLayer::RawString;
using RawLayer::RawStringList;

RAW_CONSTANT_TEXT(GroupMarkerText, "@Group@")
RAW_CONSTANT_TEXT(OptionMarkerText, "<Opt>")
RAW_CONSTANT_TEXT(TakeOverDefaultText, "Edit1,Edit2,Same,Different,Only1,Only2")
RAW_CONSTANT_TEXT(SameTagText, "Same")
RAW_CONSTANT_TEXT(UnequalTagText, "Different")
RAW_CONSTANT_TEXT(Only1TagText, "Only1")
RAW_CONSTANT_TEXT(Only2TagText, "Only2")
RAW_CONSTANT_TEXT(SimpleTagText, "Simple")
RAW_CONSTANT_TEXT(Edit1TagText, "Edit1")
RAW_CONSTANT_TEXT(Edit2TagText, "Edit2")

// Status mask bits (the result filter of a job).
enum : uint16_t {
    StatusSame = 1,       // rows of kind 0
    StatusDifferent = 2,  // rows of kind 3
    StatusOnly1 = 4,      // rows of kind 1
    StatusOnly2 = 8,      // rows of kind 2
    StatusAll = 15
};

// The three edit bytes of a job: "Simple", "Edit1" (side 1 may be edited),
// "Edit2" (side 2 may be edited).
struct JobEditFlags {
    uint8_t simple = 0;
    uint8_t edit1 = 0;
    uint8_t edit2 = 0;
    bool operator==(const JobEditFlags& o) const {
        return simple == o.simple && edit1 == o.edit1 && edit2 == o.edit2;
    }
};

// What ParseTabPairLine found.
struct TabPairRecord {
    uint8_t valid = 0;       // the text began with "@Group@"
    uint8_t hasOptions = 0;  // the items include "<Opt>"
    RawString path1;
    RawString path2;
    uint16_t statusMask = StatusAll;
    JobEditFlags edit;
};

// The pair line of two paths with their options ("<Opt>" is always written,
// also with no word after it).
RawString FormatTabPairLine(const RawString& path1, const RawString& path2, uint16_t statusMask,
                            const JobEditFlags& edit);

// Fills the record from a pair line and returns its valid byte. A text that
// does not begin with "@Group@" gives 0 and leaves the rest of the record as
// it was. Items 1 and 2 are the paths; option words count only after the
// "<Opt>" item, so a file named like a word sets nothing. Without "<Opt>" the
// mask and edit bytes keep the caller's values.
uint8_t ParseTabPairLine(TabPairRecord& record, const RawString& text);

// "," and the word of each set status bit, in the order Same, Different,
// Only1, Only2; empty for 0.
RawString StatusWords(uint16_t mask);
// Sets each status bit whose word the list holds and clears the others of
// the four; other bits stay.
void StatusMaskFromList(uint16_t& mask, const RawStringList& words);
// Each edit byte := whether the list holds its word.
void EditFlagsFromList(JobEditFlags& edit, const RawStringList& words);

// The take-over list: the option "TakeOverPathOption" ("*" meaning
// TakeOverDefaultText) split at ',', built once on first use.
const RawStringList& TakeOverList();
// The list an option text stands for ("*" meaning TakeOverDefaultText).
RawStringList TakeOverListFrom(const RawString& option);
// Copy the status bits / edit bytes that the take-over list names from a
// source to a destination; unlisted bits and bytes of the destination stay.
void CopyListedStatusFlags(uint16_t& destination, uint16_t source);
void CopyListedEditFlags(JobEditFlags& destination, const JobEditFlags& source);
// The same with a list given by the caller.
void CopyListedStatusFlags(uint16_t& destination, uint16_t source, const RawStringList& listed);
void CopyListedEditFlags(JobEditFlags& destination, const JobEditFlags& source,
                         const RawStringList& listed);

}  // namespace JobLayer
