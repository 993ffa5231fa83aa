// The line compare of the text kind: matches the lines of side 1 with the
// lines of side 2 of a job and builds the job's result rows.
//
// It is a look-ahead heuristic over the two line lists. Two walk positions
// (A on side 1, B on side 2) move forward together; equal lines pair at
// once, the user's marks steer the pairing (a connected line pairs with the
// line of the other side that carries its serial; floated lines attach to
// their anchor), and otherwise the best pair within a window of lines read
// ahead is chosen by a similarity score from the character comparison of
// the two lines (InlineDiff). Each line ends with a match id: 1 or 2 for a
// one-sided line, 3 and up shared by the two lines of a changed or equal
// row. The rows are then emitted in order.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <unordered_map>
#include <utility>
#include <vector>

#include "tavrel/jobs/inline_diff.h"
#include "tavrel/jobs/job_group.h"
#include "tavrel/jobs/job_report.h"
#include "tavrel/jobs/text/line_unit.h"

namespace JobLayer {

// The score of two equal texts; it ends a partner search at once.
enum : int32_t { SimilarityEqual = 300 };

// Kind and text-column detail of a row of two lines: 0 (same) with an empty
// detail when the texts are equal, else 3 (changed) with the InlineDiff of
// the two texts appended to `textDetail`.
uint32_t LineRowDetail(const JobLineUnit& line1, const JobLineUnit& line2,
                       JobDetailList& textDetail);
// The same for an existing row of two real lines: its kind and its three
// detail lists (only the text column filled) are replaced.
void LineRowDetail(JobReportUnit& row);

// LineRowDetail for row after row: one character comparison engine and its
// buffers serve them all, so a refresh of many rows does not pay for an
// engine (and its allocations) per row.
class LineRowDetailer {
public:
    LineRowDetailer();
    // As LineRowDetail(row).
    void Refresh(JobReportUnit& row);

private:
    InlineDiffEngine engine_;
    std::vector<JobDetailUnit> segments_;
};

class LineMatcher {
public:
    // The Escape key as the default cancel source: true while it is down.
    static bool EscapeKeyDown();

    // The context of one run over the job: the window "ForeReadingLines"
    // and the threshold "MatchingRateThreshold" are read from the options.
    explicit LineMatcher(JobGroupUnit& job);
    ~LineMatcher();
    LineMatcher(const LineMatcher&) = delete;
    LineMatcher& operator=(const LineMatcher&) = delete;

    // The source asked once per window search whether the user wants the
    // compare shortened; once it says so the window becomes
    // "ForeReadingLinesEscaped" for the rest of this run. The default asks
    // the Escape key; an empty function never cancels.
    void SetCancelProbe(std::function<bool()> probe) { cancelProbe_ = std::move(probe); }
    // Whether a run anchors the walk on the lines that occur once on each
    // side (on by default; off, the walk alone decides).
    void SetUniqueAnchors(bool on) { uniqueAnchors_ = on; }

    // Matches the lines and rebuilds the job's rows; true when every row is
    // of kind 0. The caller sets the job's Same bit from it.
    bool Run();

    // What a run did, for tests and benchmarks.
    struct Stats {
        uint64_t anchors = 0;            // pairs of unique lines anchored before the main pass
        uint64_t windowSearches = 0;     // PairBestInWindow steps
        uint64_t scoreCalls = 0;         // scores asked for (equal, cached or computed)
        uint64_t cacheHits = 0;          // answered from the score cache
        uint64_t equalTexts = 0;         // scored 300 by equal texts
        uint64_t boundSkips = 0;         // scored 0 by the upper bound
        uint64_t characterCompares = 0;  // InlineDiff runs for a score
        uint64_t estimates = 0;          // scores of long lines estimated
        uint64_t rowCompares = 0;        // InlineDiff runs for a row's detail
    };
    const Stats& Statistics() const { return stats_; }
    int32_t Window() const { return window_; }
    int32_t CacheDimension() const { return cacheDim_; }
    bool HasCache() const { return cache_ != nullptr; }

    // ---- the steps of a run --------------------------------------------------------
    // Pairs the float anchors of side x with the first line of side y that
    // carries their serial, then the group's lines after them.
    void PairFloatGroups(int x, int y);
    // Pairs the lines after an anchor (side x) with the group's lines (side
    // y), from the current walk positions.
    void FloatGroupLines(int x, int y, uint32_t serial);
    // Gives a shared match id to each pair of lines whose text occurs exactly
    // once on each side, keeping the longest chain of such pairs that is in
    // order on both sides (less the pairs that agree with no neighbour in
    // it): the walk then pairs them when it reaches them however long the
    // blocks between them are.
    void AnchorUniqueLines();
    void MainPass();
    // A connected line at the x position pairs with the first unplaced line
    // of side y (from its position) that has its serial; true when it applied.
    bool ConnectStep(int x, int y);
    // A line at the x position that already has a match id pairs with the
    // line of side y (from its position) that has the same id.
    bool SharedIdStep(int x, int y);
    // Chooses the best pair within the window; modes per side (0: lines after
    // an anchor, 1: lines of the group `serial`, 2: the main pass).
    void PairBestInWindow(const int (&modes)[2], uint32_t serial);
    // The similarity score (0..100, or 300 for equal texts) of line ia of
    // side 1 and line ib of side 2, from the score cache when it holds the
    // pair.
    int32_t SimilarityScore(int32_t ia, int32_t ib);
    void EmitRows();

    // Walk positions and lines (read by tests).
    int32_t Position(int side) const { return pos_[side]; }
    int32_t LineCount(int side) const { return static_cast<int32_t>(lines_[side].size()); }
    JobLineUnit* Line(int side, int32_t index) const { return lines_[side][index]; }

private:
    // A hash of a line's text; equal texts hash alike.
    static uint64_t TextHash(const RawString& text);
    // The key of a pair of line positions in the kept character compares.
    static uint64_t PairKey(int32_t index1, int32_t index2) {
        return (static_cast<uint64_t>(static_cast<uint32_t>(index1)) << 32) | static_cast<uint32_t>(index2);
    }

    struct Candidate {
        uint64_t weight = 0;
        int32_t score = 0;
        int32_t offsetA = 0;
        int32_t offsetB = 0;
    };
    struct CacheEntry {
        int32_t lineA;  // index of the side-1 line in this run, -1 when empty
        int32_t lineB;
        int32_t score;
    };
    struct GroupInfo {
        int32_t anchors = 0;
        int anchorSide = -1;
        int32_t anchorIndex = -1;
        bool valid = false;
    };
    enum ScanVerdict { ScanCandidate, ScanSkip, ScanStop };

    Candidate BestInWindow(const int (&modes)[2], uint32_t serial);
    // The offset from B of the first scanned line of side 2 whose text equals
    // line ia's, or -1.
    int32_t EqualPartner(int32_t ia);
    // The best partner of line ia among the scanned lines of side 2 when none
    // is equal (score, offset from B).
    int32_t BestPartner(int32_t ia, int32_t& offset);
    // The score through a cache slot (null: no cache), and without it.
    int32_t CachedScore(CacheEntry* slot, int32_t ia, int32_t ib);
    int32_t ComputeScore(int32_t ia, int32_t ib);
    ScanVerdict Classify(const JobLineUnit* line, int mode, uint32_t serial) const;

    // One-sided (id 1, placed) unless placed already; the position advances.
    void Drop(int side);
    // Pairs the lines at the two positions; both advance.
    void PairAtPositions();
    void PairLines(int32_t index1, int32_t index2);
    void AssignId(int side, int32_t index, uint32_t id);
    uint32_t NewId();
    // Index of the line of a side holding a pair id, or -1.
    int32_t LineWithId(int side, uint32_t id) const;
    // Indexes of a side's lines with a serial, in order (null when none).
    const std::vector<int32_t>* LinesWithSerial(int side, uint32_t serial) const;

    // Upper bound, from unit counts, of the units that can lie in same
    // segments of the two texts.
    // (Stops early once a bound rules the pair out for the threshold.)
    int32_t SameUnitsBound(int32_t ia, const RawString& a, const RawString& b, int64_t total);
    // Unit tables of the side-1 line ia for the bounds.
    void PrepareBound(int32_t ia);
    // The longest common subsequence of the prepared line and b, by low byte.
    int32_t LcsBound(const RawString& b);
    void SampleCancel();

    // ---- row emission ------------------------------------------------------------
    void BuildGroups();
    bool IsValidAnchor(int side, int32_t index) const;
    bool IsPendingMember(int side, int32_t index) const;
    bool PartnerPending(int side, int32_t index, int32_t otherPosition) const;
    void EmitAlone(int side, int32_t index);
    void EmitPair(int32_t index1, int32_t index2);
    void EmitGroup(int x, int32_t anchor);

    JobGroupUnit& job_;
    std::vector<JobLineUnit*> lines_[2];
    int32_t pos_[2] = {0, 0};
    int32_t window_;
    int32_t escapedWindow_;
    bool escaped_ = false;
    bool ran_ = false;
    int32_t threshold_;
    uint32_t nextId_ = MatchFirstPair;
    int32_t cacheDim_;
    std::unique_ptr<CacheEntry[]> cache_;
    bool result_ = true;
    std::function<bool()> cancelProbe_;
    bool uniqueAnchors_ = true;
    bool marked_ = false;  // some line of this run has a mark
    std::vector<int32_t> idLine_[2];  // pair id -> line index of the side
    std::vector<uint64_t> hash_[2];   // of each line's text
    RawLayer::SmallBlockBatch rowBlocks_{sizeof(JobReportUnit)};  // for the rows it emits
    // The lines of side 2 a window search scores (offsets from B) and their
    // cache columns; the same for every line of side 1 in one search.
    std::vector<int32_t> partners_;
    std::vector<int32_t> partnerColumns_;
    // The scanned lines of side 1 (offset from A, offset of an equal partner
    // or -1).
    std::vector<std::pair<int32_t, int32_t>> candidates_;
    std::unordered_map<uint32_t, std::vector<int32_t>> serialLines_[2];
    InlineDiffEngine engine_;
    std::vector<JobDetailUnit> segments_;
    // The character compares of the scoring, kept for the rows: a changed
    // row is nearly always a pair the scoring compared already. Keyed by
    // (side-1 index << 32 | side-2 index); the segments lie in keptSegments_
    // (start, count), which is bounded.
    std::unordered_map<uint64_t, std::pair<uint32_t, uint32_t>> keptDiffs_;
    std::vector<JobDetailUnit> keptSegments_;

    // Unit histograms of the side-1 line last scored (by low byte, and by
    // hashed pairs of neighbouring units) and the work counters for the
    // side-2 line.
    int32_t preparedA_ = -1;
    std::vector<uint32_t> histA1_, histA2_, used1_, used2_;
    int32_t wordsA_ = 0;            // words per symbol in peqA_ (0: no table)
    std::vector<uint64_t> peqA_;    // per low byte, the positions in the side-1 line
    std::vector<uint64_t> lcsRow_;

    // Row emission state.
    std::vector<char> emitted_[2];
    std::unordered_map<uint32_t, GroupInfo> groups_;

    Stats stats_;
};

}  // namespace JobLayer
