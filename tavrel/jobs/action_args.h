// The argument record of an edit command: what the caller (the action
// dispatcher, the folder box, its input-method control) hands the kind's
// controller together with the command number. The controller reads it,
// and a successful search leaves its hit in it for the replace command
// that follows.
#pragma once

#include <cstdint>

#include "base/profile.h"
#include "base/raw_string.h"
#include "tavrel/jobs/expression.h"

namespace JobLayer {

using RawLayer::RawParameterList;
using RawLayer::RawString;

// Operands that the caller still has to supply; the controller never sees
// them (the caller replaces them first): a line feed and "Input" (ask the
// user), a line feed and "Empty" (missing).
RAW_CONSTANT_TEXT(InputMarkText, "\nInput")
RAW_CONSTANT_TEXT(EmptyMarkText, "\nEmpty")

// Where the latest search hit of a record stands, so that the next command
// can tell whether the side still shows it: the job and side (compared,
// never followed), the line and its row, the hit's columns, and where the
// hit, or the replacement made from it, ended.
struct JobSearchPlace {
    bool valid = false;
    bool inverted = false;         // an inverted hit: it stands for its whole line
    const void* job = nullptr;
    uint32_t side = 0;
    const void* line = nullptr;    // text sides: the line unit (compared, never followed)
    const void* buffer = nullptr;  // binary sides: the side's data (compared, never followed)
    int32_t row = -1;
    int32_t hitStart = 0;
    int32_t hitEnd = 0;
    int32_t end = 0;               // the hit's end, or the replacement's
    bool replaced = false;         // the hit was replaced already
    uint32_t revision = 0;         // binary sides: the buffer's revision the kept text mirrors
};

struct ActionArgs {
    // Construct: every member empty, flags 0.
    ActionArgs() : flags(0), historyWord(0), history(false) {}
    // ConstructWithPair: the same with two operands in slots 0 and 1.
    ActionArgs(const RawString& first, const RawString& second) : ActionArgs() {
        operands[0] = first;
        operands[1] = second;
    }
    // Destroy: the members go in reverse order.
    ~ActionArgs() {}
    ActionArgs(const ActionArgs&) = delete;
    ActionArgs& operator=(const ActionArgs&) = delete;

    // Answer bits of the flags, set by the input dialog's Confirm and
    // FromHead and read by the replace loop of the main window.
    enum : uint16_t {
        AskEachReplacement = 0x100,
        BeginAtHead = 0x200
    };

    // The request's flag word: which option controls the input dialog
    // shows (its low bits) and the two answers above.
    uint16_t flags;
    RawString title;
    RawString labels[2];
    // Slot 0: the text to insert, the search expression or the line number;
    // slot 1: the replacement expression.
    RawString operands[2];
    // The history: the texts entered before, newest first, and the options
    // of its menu (the toolkit's hint options).
    uint16_t historyWord;
    RawParameterList history;
    // The line and parts of the latest successful search.
    JobExpressionReplace lastHit;
    JobSearchPlace place;
};

}  // namespace JobLayer
