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
// compare runs it many times). It never recurses: pending parts wait on a
// heap stack.
//
// Each longest common run is found in time linear in the lengths of the two
// parts: a suffix automaton of the part of b walked by the part of a, or,
// inside a part so searched, a check of the bounds that walk left; parts too
// small to pay for either are searched cell by cell. A compare still splits
// a part once per run it finds, so one pair of texts gets a work budget:
// once it is spent (or a part is too large to search), the rest of the pair
// is one changed segment. The budget is above anything two texts under
// 4,096 units can use.
class InlineDiffEngine {
public:
    // Characters passed through run searches in the compare of one pair. A
    // search of two parts of n and m characters costs n + m, and a character
    // is searched once per split above it plus once, each split taking a
    // character from each side: two texts under 4,096 units use at most
    // 8,190 x 4,096 = 33,546,240 and never reach the budget.
    static constexpr int64_t WorkBudget = int64_t(1) << 26;
    // Parts of n and m characters with n x m at most CellArea, or with n or
    // m at most CellSide, are searched cell by cell (cheaper than building
    // an automaton). Every part inside such a part is such a part too.
    static constexpr int64_t CellArea = 16384;
    static constexpr int64_t CellSide = 16;

    // `bySize` false searches every part with an automaton (for tests).
    explicit InlineDiffEngine(int32_t minMatchingChars, bool bySize = true);

    // Replaces `out` by the segments of the two texts.
    void Run(const RawString& a, const RawString& b, std::vector<JobDetailUnit>& out);
    // The units of one side in same segments, for scoring: exact, with `out`
    // holding the segments, when the parts between the common prefix and
    // suffix have at most `exactChars` characters each; otherwise estimated
    // in time linear in the texts (see EstimateMiddle) and `out` is emptied.
    // True when exact.
    bool ScoreUnits(const RawString& a, const RawString& b, int32_t exactChars,
                    std::vector<JobDetailUnit>& out, int32_t& sameUnits);

    int32_t MinMatchingChars() const { return minChars_; }
    // Whether the last Run spent its work budget.
    bool Exhausted() const { return exhausted_; }

private:
    struct Work {
        int32_t a0, a1, b0, b1;  // a token range pair, or, with a0 < 0, a same
        int32_t unitsA, unitsB;  // segment to emit
    };
    struct AutoState {
        int32_t len;     // longest string of the state
        int32_t link;    // suffix link
        int32_t end;     // last character of its first occurrence
        int32_t symbol;  // its first edge (-1: none)
        int32_t to;
        int32_t more;    // its further edges
    };
    struct AutoEdge {
        int32_t from, symbol, to, next;
    };
    // Characters of a text as (unit count, units) keys, and their starts.
    static void Tokenize(const RawString& text, int width, std::vector<uint64_t>& keys,
                         std::vector<int32_t>& starts);
    // Tokenizes both texts, emits the common prefix and finds the common
    // suffix (in characters); false when the texts are equal.
    bool Prepare(const RawString& a, const RawString& b, std::vector<JobDetailUnit>& out);
    void SplitRange(int32_t a0, int32_t a1, int32_t b0, int32_t b1, std::vector<JobDetailUnit>& out);
    // The first longest common run of characters (smallest start in a, then
    // in b) and its length in characters; false when the parts are too
    // large to search in the memory at hand.
    bool LongestRun(int32_t a0, int32_t a1, int32_t b0, int32_t b1, int32_t& best, int32_t& atA,
                    int32_t& atB);
    int32_t LongestRunByCells(int32_t a0, int32_t a1, int32_t b0, int32_t b1, int32_t& atA,
                              int32_t& atB);
    int32_t LongestRunByAutomaton(int32_t a0, int32_t a1, int32_t b0, int32_t b1, int32_t& atA,
                                  int32_t& atB);
    // The same from the bounds an enclosing part's automaton left; false
    // when they did not settle it.
    bool LongestRunByBounds(int32_t a0, int32_t a1, int32_t b0, int32_t b1, int32_t& best,
                            int32_t& atA, int32_t& atB);
    // The first start in b[b0, b1) of the characters a[from, from + count),
    // or -1.
    int32_t FindFirst(int32_t from, int32_t count, int32_t b0, int32_t b1);
    // Dense numbers for the characters of the middle parts.
    void NumberSymbols();
    void BuildAutomaton(const int32_t* symbols, int32_t from, int32_t to);
    // The target of an edge, to read or redirect at once (null: none).
    int32_t* FindEdge(int32_t state, int32_t symbol);
    void AddEdge(int32_t from, int32_t symbol, int32_t to);
    void GrowEdgeIndex();
    void ReleaseLarge();
    // Units of a's middle part in runs that a quick alignment of the two
    // middle parts finds.
    int32_t EstimateMiddle();

    int32_t minChars_;
    bool bySize_;
    std::vector<uint64_t> keysA_, keysB_;
    std::vector<int32_t> startsA_, startsB_;
    int32_t prefix_ = 0, suffix_ = 0;  // characters
    std::vector<int32_t> rowPrev_, rowCur_;
    std::vector<Work> stack_;
    int64_t spent_ = 0;
    bool exhausted_ = false;
    // Automaton of the shorter part of a search; symbols number the
    // characters of the two middle parts (indexed like the keys).
    bool numbered_ = false;
    int32_t symbolCount_ = 0;
    std::vector<int32_t> symbolsA_, symbolsB_;
    std::vector<uint64_t> symbolKeys_;
    std::vector<int32_t> symbolIds_;
    std::vector<AutoState> states_;
    std::vector<AutoEdge> edges_;
    std::vector<int32_t> rootTo_;     // by symbol
    std::vector<int32_t> edgeIndex_;  // open addressing over (from, symbol)
    uint32_t edgeShift_ = 0;
    // Windows of the middle part of b for the estimate: open addressing by
    // hash, each with its first place and the next place of each place.
    std::vector<uint64_t> gramHashes_;
    std::vector<int32_t> gramFirst_, gramNext_;
    // For each character of a, at least the longest run of the part being
    // searched that ends there (valid once bounded_).
    bool bounded_ = false;
    std::vector<int32_t> bounds_;
    std::vector<int32_t> failure_;
};

}  // namespace JobLayer
