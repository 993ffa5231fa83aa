// Character comparison of two texts, as a list of segments (JobDetailList):
// the line compare scores pairs of lines with it, the rows of the text kind
// keep it as their detail, and the draw code paints the segments'
// backgrounds from it. A token-wise variant serves the rows of folder
// entries.
//
// A character is a lead unit with its trail units (RawString::TrailUnits);
// two characters are equal when they have the same units. Segments always
// begin and end on character boundaries of both texts, also when the texts'
// encodings are not self-synchronising (Shift_JIS trail bytes may look like
// ASCII) and when the two texts are of different kinds.
#pragma once

#include <windows.h>

#include <cstdint>
#include <vector>

#include "base/raw_string.h"
#include "tavrel/jobs/job_content.h"
#include "tavrel/jobs/job_detail.h"

namespace JobLayer {

class JobRowDetails;

using RawLayer::RawRange;
using RawLayer::RawString;

// "MinMatchingChars" as the option store held it at the first character
// comparison of the process (at least 1); later changes are not seen.
int32_t InlineDiffMinMatchingChars();

// Appends the segments of the two whole texts: the common prefix (always,
// also when empty), the middle split around longest common runs of at least
// "MinMatchingChars" characters, and the common suffix (always, unless the
// texts are equal, which gives the one prefix segment).
void InlineDiff(JobDetailList& segments, const RawString& a, const RawString& b);
// The same with an explicit minimum run length (at least 1).
void InlineDiff(JobDetailList& segments, const RawString& a, const RawString& b,
                int32_t minMatchingChars);

// Appends token-wise segments of two ranges. Tokens are maximal runs of one
// class: letters and digits, blanks (space, tab), everything else. Tokens at
// the same step are the same (kind 0) or changed (kind 3); the rest of the
// longer range is one-sided. A segment of the kind of the list's last one
// extends it.
void InlineDiffPath(JobDetailList& segments, const RawString& a, RawRange rangeA,
                    const RawString& b, RawRange rangeB);

// Paints the segment backgrounds of one column (0..2) of one side (0 side 1,
// 1 side 2) of a row: from rect.left plus the viewer's x of a segment's start
// to rect.left plus the x of its end, in the colour of its kind and side; one
// pixel short at the bottom when "LineColorSeparation" or
// "LineDetailSeparation" is on (read at the first paint of the process).
void RowBackgroundPaint(const JobDetailList (&details)[3], const JobDetailColumn::Viewer& viewer,
                        HDC dc, const RECT& rect, uint32_t side, uint32_t column);
// The same for the lists of a row (those its units compute included).
void RowBackgroundPaint(const JobRowDetails& details, const JobDetailColumn::Viewer& viewer, HDC dc,
                        const RECT& rect, uint32_t side, uint32_t column);

// The working part of InlineDiff, with buffers kept between runs (the line
// compare runs it many times). Runs in time proportional to the texts plus
// the product of the middle parts' lengths, and never recurses: pending
// parts wait on a heap stack.
class InlineDiffEngine {
public:
    explicit InlineDiffEngine(int32_t minMatchingChars);

    // Replaces `out` by the segments of the two texts.
    void Run(const RawString& a, const RawString& b, std::vector<JobDetailUnit>& out);
    // The units of text 1 that lie in segments of kind 0.
    int32_t SameUnits(const RawString& a, const RawString& b);

    int32_t MinMatchingChars() const { return minChars_; }

private:
    struct Work {
        int32_t a0, a1, b0, b1;  // a token range pair, or, with a0 < 0, a same
        int32_t unitsA, unitsB;  // segment to emit
    };
    // Characters of a text as (unit count, units) keys, and their starts.
    static void Tokenize(const RawString& text, int width, std::vector<uint64_t>& keys,
                         std::vector<int32_t>& starts);
    void SplitRange(int32_t a0, int32_t a1, int32_t b0, int32_t b1, std::vector<JobDetailUnit>& out);
    // The first longest common run of characters (smallest start in a, then
    // in b); its length in characters.
    int32_t LongestRun(int32_t a0, int32_t a1, int32_t b0, int32_t b1, int32_t& atA, int32_t& atB);

    int32_t minChars_;
    std::vector<uint64_t> keysA_, keysB_;
    std::vector<int32_t> startsA_, startsB_;
    std::vector<int32_t> rowPrev_, rowCur_;
    std::vector<Work> stack_;
    std::vector<JobDetailUnit> scratch_;
};

}  // namespace JobLayer
