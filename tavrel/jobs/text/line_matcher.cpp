#include "tavrel/jobs/text/line_matcher.h"

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <new>

#include "tavrel/jobs/config_store.h"

namespace JobLayer {

namespace {

// Buckets of the pair histograms of the similarity bound (PairBucket).
constexpr uint32_t PairBuckets = 4096;

}  // namespace

// ---------------------------------------------------------------------------
// Row detail

uint32_t LineRowDetail(const JobLineUnit& line1, const JobLineUnit& line2,
                       JobDetailList& textDetail) {
    if (line1.LineText().Equals(line2.LineText())) return RowSame;
    InlineDiff(textDetail, line1.LineText(), line2.LineText());
    return RowChanged;
}

void LineRowDetail(JobReportUnit& row) {
    LineRowDetailer detailer;
    detailer.Refresh(row);
}

LineRowDetailer::LineRowDetailer() : engine_(InlineDiffMinMatchingChars()) {}

void LineRowDetailer::Refresh(JobReportUnit& row) {
    JobLineUnit* line1 = AsLineUnit(row.unit1);
    JobLineUnit* line2 = AsLineUnit(row.unit2);
    if (!line1 || !line2 || line1->IsPlaceholder() || line2->IsPlaceholder()) return;
    if (line1->LineText().Equals(line2->LineText())) {
        // No segments: the row keeps no lists at all.
        row.kind = RowSame;
        row.details.Clear();
        return;
    }
    // The segments InlineDiff would give: it runs this engine's work.
    engine_.Run(line1->LineText(), line2->LineText(), segments_);
    JobDetailList textDetail;
    textDetail.Reserve(static_cast<int32_t>(segments_.size()));
    for (const JobDetailUnit& unit : segments_) textDetail.Add(unit.kind, unit.length1, unit.length2);
    row.kind = RowChanged;
    // The row's own lists (a block it already has serves again): the
    // segments in the text column, none in the others.
    JobDetailList* lists = row.details.begin();
    lists[0].Clear();
    lists[1] = std::move(textDetail);
    lists[2].Clear();
}

// ---------------------------------------------------------------------------
// Construction

bool LineMatcher::EscapeKeyDown() { return (GetAsyncKeyState(VK_ESCAPE) & 0x8000) != 0; }

LineMatcher::LineMatcher(JobGroupUnit& job)
    : job_(job),
      // The store's bounds, also for values set by hand: the score cache
      // holds window x window entries.
      window_(ClampForeReadingLines(ConfigStore::Instance().foreReadingLines)),
      escapedWindow_(ClampForeReadingLines(ConfigStore::Instance().foreReadingLinesEscaped)),
      threshold_(ConfigStore::Instance().matchingRateThreshold),
      cacheDim_(window_),
      cancelProbe_(&LineMatcher::EscapeKeyDown),
      engine_(InlineDiffMinMatchingChars()),
      histA1_(256, 0),
      histA2_(PairBuckets, 0),
      used1_(256, 0),
      used2_(PairBuckets, 0) {
    // The window is clamped above, so the entry count is small; it is still
    // reckoned in 64 bits, and a failed allocation only costs speed.
    uint64_t entries = static_cast<uint64_t>(cacheDim_) * static_cast<uint64_t>(cacheDim_);
    if (entries <= static_cast<uint64_t>(SIZE_MAX / sizeof(CacheEntry))) {
        cache_.reset(new (std::nothrow) CacheEntry[static_cast<size_t>(entries)]);
        if (cache_)
            for (uint64_t i = 0; i < entries; ++i) cache_[static_cast<size_t>(i)] = CacheEntry{-1, -1, 0};
    }
}

LineMatcher::~LineMatcher() {}

// ---------------------------------------------------------------------------
// Run

bool LineMatcher::Run() {
    // A second run on the same context starts afresh: the window, the score
    // cache (keyed by positions in the line lists, which edits move) and the
    // unit tables of the bounds.
    if (ran_) {
        window_ = cacheDim_;
        escaped_ = false;
        if (cache_)
            for (int64_t i = 0, n = static_cast<int64_t>(cacheDim_) * cacheDim_; i < n; ++i)
                cache_[static_cast<size_t>(i)] = CacheEntry{-1, -1, 0};
        std::fill(histA1_.begin(), histA1_.end(), 0u);
        std::fill(histA2_.begin(), histA2_.end(), 0u);
        std::fill(peqA_.begin(), peqA_.end(), uint64_t(0));
    }
    ran_ = true;
    marked_ = false;
    for (int side = 0; side < 2; ++side) {
        lines_[side].clear();
        serialLines_[side].clear();
        idLine_[side].clear();
        hash_[side].clear();
        lines_[side].reserve(static_cast<size_t>(job_.Content(side).Count()));
        hash_[side].reserve(static_cast<size_t>(job_.Content(side).Count()));
        for (JobContentUnit& unit : job_.Content(side)) {
            JobLineUnit* line = AsLineUnit(&unit);
            if (!line) continue;
            line->flags = static_cast<uint16_t>(line->flags & ~UnitPlaced);
            line->matchId = MatchUndecided;
            if (line->markKind != MarkNone || line->markSerial != 0) marked_ = true;
            if (line->markSerial != 0)
                serialLines_[side][line->markSerial].push_back(static_cast<int32_t>(lines_[side].size()));
            lines_[side].push_back(line);
            hash_[side].push_back(TextHash(line->LineText()));
        }
    }
    nextId_ = MatchFirstPair;
    preparedA_ = -1;
    keptDiffs_.clear();
    keptSegments_.clear();

    PairFloatGroups(0, 1);
    PairFloatGroups(1, 0);
    if (uniqueAnchors_) AnchorUniqueLines();
    MainPass();
    for (int side = 0; side < 2; ++side)
        for (JobLineUnit* line : lines_[side])
            if (!line->IsPlaced()) line->matchId = MatchLeftOver;
    EmitRows();
    return result_;
}

// ---------------------------------------------------------------------------
// Ids, drops and pairs

uint32_t LineMatcher::NewId() { return nextId_++; }

void LineMatcher::AssignId(int side, int32_t index, uint32_t id) {
    lines_[side][index]->matchId = id;
    if (id >= MatchFirstPair) {
        std::vector<int32_t>& map = idLine_[side];
        if (map.size() <= id) map.resize(static_cast<size_t>(id) + 1, -1);
        map[id] = index;
    }
}

int32_t LineMatcher::LineWithId(int side, uint32_t id) const {
    if (id < MatchFirstPair || id >= idLine_[side].size()) return -1;
    int32_t index = idLine_[side][id];
    if (index < 0 || lines_[side][index]->matchId != id) return -1;
    return index;
}

const std::vector<int32_t>* LineMatcher::LinesWithSerial(int side, uint32_t serial) const {
    if (serial == 0) return nullptr;
    auto it = serialLines_[side].find(serial);
    return it == serialLines_[side].end() ? nullptr : &it->second;
}

void LineMatcher::Drop(int side) {
    int32_t p = pos_[side];
    if (p >= LineCount(side)) return;
    JobLineUnit* line = lines_[side][p];
    if (!line->IsPlaced()) {
        AssignId(side, p, MatchOneSided);
        line->flags |= UnitPlaced;
    }
    ++pos_[side];
}

void LineMatcher::PairLines(int32_t index1, int32_t index2) {
    JobLineUnit* line1 = lines_[0][index1];
    JobLineUnit* line2 = lines_[1][index2];
    if (!(line1->matchId != 0 && line1->matchId == line2->matchId)) {
        uint32_t id = NewId();
        AssignId(0, index1, id);
        AssignId(1, index2, id);
    }
    line1->flags |= UnitPlaced;
    line2->flags |= UnitPlaced;
}

void LineMatcher::PairAtPositions() {
    PairLines(pos_[0], pos_[1]);
    ++pos_[0];
    ++pos_[1];
}

// ---------------------------------------------------------------------------
// Float groups

void LineMatcher::PairFloatGroups(int x, int y) {
    const int32_t n = LineCount(x);
    for (int32_t i = 0; i < n; ++i) {
        JobLineUnit* anchor = lines_[x][i];
        // An anchor without a serial was never made by the user; one that is
        // placed already keeps its pair.
        if (!anchor->IsFloatAnchor() || anchor->markSerial == 0 || anchor->IsPlaced()) continue;
        uint32_t serial = anchor->markSerial;
        int32_t found = -1;
        if (const std::vector<int32_t>* list = LinesWithSerial(y, serial)) {
            for (int32_t index : *list)
                if (!lines_[y][index]->IsPlaced()) {
                    found = index;
                    break;
                }
        }
        if (found < 0) {
            AssignId(x, i, MatchOneSided);
            anchor->flags |= UnitPlaced;
            continue;
        }
        if (x == 0)
            PairLines(i, found);
        else
            PairLines(found, i);
        pos_[x] = i + 1;
        pos_[y] = found + 1;
        FloatGroupLines(x, y, serial);
    }
}

void LineMatcher::FloatGroupLines(int x, int y, uint32_t serial) {
    int modes[2];
    modes[x] = 0;
    modes[y] = 1;
    while (pos_[x] < LineCount(x) && pos_[y] < LineCount(y)) {
        JobLineUnit* lx = lines_[x][pos_[x]];
        JobLineUnit* ly = lines_[y][pos_[y]];
        if (lx->IsPlaced()) {
            ++pos_[x];
            continue;
        }
        if (ly->IsPlaced()) {
            ++pos_[y];
            continue;
        }
        if (ly->markSerial != serial) break;
        if (lx->markKind & MarkFloat) {
            if (lx->markKind & MarkAnchor) break;
            ++pos_[x];
            continue;
        }
        if (lx->markKind & MarkConnect) break;
        if (SharedIdStep(x, y) || SharedIdStep(y, x)) continue;
        if (lx->LineText().Equals(ly->LineText())) {
            PairAtPositions();
            continue;
        }
        PairBestInWindow(modes, serial);
    }
    while (pos_[y] < LineCount(y) && lines_[y][pos_[y]]->markSerial == serial) Drop(y);
}

// ---------------------------------------------------------------------------
// Unique-line anchors
//
// The window sees only so far ahead: past a block longer than it the walk
// would pair unrelated lines and stay out of step. A text that occurs
// exactly once on each side is nearly always the same line on both, so the
// longest chain of such pairs in the order of both sides (less the pairs
// that agree with no neighbour in it) gets its match ids before the main
// pass: the shared-id step pairs each pair when the walk reaches it (the
// lines passed over on the other side become one-sided), and every window
// scan stops at it. Between two anchors the walk decides as it always has. Repeated texts never anchor, nor do lines with a mark
// or lines the float groups decided; and no anchor crosses the pair a
// connect mark will make, or the walk would drop a line of one of the two
// pairs. (The float groups leave no pair pending: an id they give ahead is
// settled before the group ends.)

namespace {

// The lines of one connect serial, as a range on each side (first > last:
// none on that side). Anchors stay out of it and on one side of it.
struct Fence {
    int32_t first[2];
    int32_t last[2];
};

// Merges fences into a chain that is strictly in order on both sides
// (fences that overlap or cross become one), in order.
void ChainFences(std::vector<Fence>& fences) {
    std::sort(fences.begin(), fences.end(),
              [](const Fence& x, const Fence& y) { return x.first[0] < y.first[0]; });
    size_t kept = 0;
    for (size_t k = 0; k < fences.size(); ++k) {
        Fence merged = fences[k];
        while (kept > 0 && !(fences[kept - 1].last[0] < merged.first[0] &&
                             fences[kept - 1].last[1] < merged.first[1])) {
            const Fence& before = fences[--kept];
            for (int side = 0; side < 2; ++side) {
                merged.first[side] = std::min(merged.first[side], before.first[side]);
                merged.last[side] = std::max(merged.last[side], before.last[side]);
            }
        }
        fences[kept++] = merged;
    }
    fences.resize(kept);
}

// The number of chained fences wholly before a line of a side, or -1 when
// the line lies within one.
int32_t FenceGap(const std::vector<Fence>& chain, int side, int32_t index) {
    auto after = std::upper_bound(chain.begin(), chain.end(), index,
                                  [side](int32_t value, const Fence& f) { return value < f.first[side]; });
    int32_t before = static_cast<int32_t>(after - chain.begin());
    if (before > 0 && index <= chain[before - 1].last[side]) return -1;
    return before;
}

// The fences of the connect serials of unplaced lines, chained: a connect
// step pairs a connected line with an unplaced line of its serial.
std::vector<Fence> ConnectFences(const std::vector<JobLineUnit*> (&lines)[2]) {
    std::vector<Fence> fences;
    std::unordered_map<uint32_t, size_t> bySerial;
    for (int side = 0; side < 2; ++side)
        for (const JobLineUnit* line : lines[side])
            if (!line->IsPlaced() && (line->markKind & MarkConnect) && line->markSerial != 0 &&
                bySerial.emplace(line->markSerial, fences.size()).second)
                fences.push_back(Fence{{INT32_MAX, INT32_MAX}, {-1, -1}});
    if (fences.empty()) return fences;
    for (int side = 0; side < 2; ++side)
        for (size_t i = 0; i < lines[side].size(); ++i) {
            const JobLineUnit* line = lines[side][i];
            if (line->IsPlaced() || line->markSerial == 0) continue;
            auto it = bySerial.find(line->markSerial);
            if (it == bySerial.end()) continue;
            Fence& fence = fences[it->second];
            fence.first[side] = std::min(fence.first[side], static_cast<int32_t>(i));
            fence.last[side] = std::max(fence.last[side], static_cast<int32_t>(i));
        }
    // A serial with lines on one side only pairs nothing.
    fences.erase(std::remove_if(fences.begin(), fences.end(),
                                [](const Fence& f) { return f.first[0] > f.last[0] || f.first[1] > f.last[1]; }),
                 fences.end());
    ChainFences(fences);
    return fences;
}

// The longest chain of pairs (in the order of side 1) that is also in the
// order of side 2, as indexes into `pairs`, last first. Patience: tails[k]
// is the pair that ends the best chain of k + 1 pairs found so far. Of the
// longest chains the one found first (ending earliest on side 1) is kept.
std::vector<int32_t> LongestChain(const std::vector<std::pair<int32_t, int32_t>>& pairs) {
    std::vector<int32_t> chain;
    // Files with no moved lines give pairs that are in order already.
    if (std::is_sorted(pairs.begin(), pairs.end(),
                       [](const std::pair<int32_t, int32_t>& x, const std::pair<int32_t, int32_t>& y) {
                           return x.second < y.second;
                       })) {
        for (size_t k = pairs.size(); k-- > 0;) chain.push_back(static_cast<int32_t>(k));
        return chain;
    }
    std::vector<int32_t> tails;
    std::vector<int32_t> tailLines;  // the side-2 line of each tail
    std::vector<int32_t> before(pairs.size(), -1);
    int32_t end = -1;
    for (size_t k = 0; k < pairs.size(); ++k) {
        const int32_t j = pairs[k].second;
        // Files that differ little give chains that mostly grow at the end.
        size_t at = !tailLines.empty() && tailLines.back() < j
                        ? tailLines.size()
                        : static_cast<size_t>(std::lower_bound(tailLines.begin(), tailLines.end(), j) -
                                              tailLines.begin());
        if (at > 0) before[k] = tails[at - 1];
        if (at == tails.size()) {
            tails.push_back(static_cast<int32_t>(k));
            tailLines.push_back(j);
            end = static_cast<int32_t>(k);
        } else {
            tails[at] = static_cast<int32_t>(k);
            tailLines[at] = j;
        }
    }
    for (int32_t k = end; k >= 0; k = before[k]) chain.push_back(k);
    return chain;
}

// The pairs of a chain that stand as far apart (line of side 2 less line
// of side 1) as the pair before or after them in it. In a text of few
// distinct lines a line can be unique on both sides by chance; such a pair
// seldom agrees with a neighbour, and anchoring it would drop every line
// the walk passes over to reach it. Lines that are truly the same come in
// runs and mostly keep the distance of a neighbour.
std::vector<int32_t> KeepAgreeing(const std::vector<std::pair<int32_t, int32_t>>& pairs,
                                  const std::vector<int32_t>& chain) {
    auto shift = [&](size_t k) { return pairs[chain[k]].second - pairs[chain[k]].first; };
    std::vector<int32_t> kept;
    for (size_t k = 0; k < chain.size(); ++k)
        if ((k > 0 && shift(k - 1) == shift(k)) || (k + 1 < chain.size() && shift(k + 1) == shift(k)))
            kept.push_back(chain[k]);
    return kept;
}

}  // namespace

void LineMatcher::AnchorUniqueLines() {
    const int32_t n1 = LineCount(0);
    const int32_t n2 = LineCount(1);
    if (n1 == 0 || n2 == 0) return;
    auto eligible = [](const JobLineUnit* line) {
        return !line->IsPlaced() && line->matchId == MatchUndecided && line->markKind == MarkNone &&
               line->markSerial == 0;
    };
    try {
        // The texts of side 1 in an open table (at most three quarters full),
        // each slot with the hash's high half as a tag and the text's first
        // side-1 line; beside it, by that line, the one side-2 line of the
        // same text (-1 none yet, -2 the text repeats on a side). The hashes
        // are mixed already: their low bits choose the slot.
        struct Slot {
            uint32_t tag;
            int32_t line1;
        };
        int bits = 4;
        while ((size_t(1) << bits) * 3 < static_cast<size_t>(n1) * 4) ++bits;
        const size_t mask = (size_t(1) << bits) - 1;
        std::vector<Slot> table(mask + 1, Slot{0, -1});
        std::vector<int32_t> partner(static_cast<size_t>(n1), -1);
        auto home = [mask](uint64_t hash) { return static_cast<size_t>(hash) & mask; };
        // The table is far larger than the caches: each lookup asks for the
        // slot of a line a few ahead, so that it is there when needed.
        constexpr int32_t Ahead = 16;
        auto find = [&](uint64_t hash) -> Slot& {
            const uint32_t tag = static_cast<uint32_t>(hash >> 32);
            size_t k = home(hash);
            while (table[k].line1 >= 0 && (table[k].tag != tag || hash_[0][table[k].line1] != hash))
                k = (k + 1) & mask;
            return table[k];
        };
        for (int32_t i = 0; i < n1; ++i) {
            if (i + Ahead < n1) __builtin_prefetch(&table[home(hash_[0][i + Ahead])]);
            Slot& slot = find(hash_[0][i]);
            if (slot.line1 < 0)
                slot = Slot{static_cast<uint32_t>(hash_[0][i] >> 32), i};
            else
                partner[slot.line1] = -2;
        }
        for (int32_t j = 0; j < n2; ++j) {
            if (j + Ahead < n2) __builtin_prefetch(&table[home(hash_[1][j + Ahead])]);
            const Slot& slot = find(hash_[1][j]);
            if (slot.line1 < 0) continue;
            int32_t& line2 = partner[slot.line1];
            if (line2 != -2) line2 = line2 == -1 ? j : -2;
        }
        // Now the partner of a side-1 line is its side-2 line when the text
        // occurs once on each side.
        std::vector<Slot>().swap(table);

        // The pairs of unique lines outside the connect fences and between
        // the same two. Texts count as equal when their 64-bit hashes are:
        // reading every text again would cost a large share of the whole
        // compare of big files, and were two different texts ever to share
        // a hash, their pair would only come out as a changed row (a row
        // compares its texts).
        // Fences come only from marked lines.
        const std::vector<Fence> fences = marked_ ? ConnectFences(lines_) : std::vector<Fence>();
        std::vector<std::pair<int32_t, int32_t>> pairs;
        pairs.reserve(static_cast<size_t>(
            std::count_if(partner.begin(), partner.end(), [](int32_t j) { return j >= 0; })));
        for (int32_t i = 0; i < n1; ++i) {
            const int32_t j = partner[i];
            if (j < 0) continue;
            if (marked_ && (!eligible(lines_[0][i]) || !eligible(lines_[1][j]))) continue;
            if (!fences.empty()) {
                int32_t gap = FenceGap(fences, 0, i);
                if (gap < 0 || gap != FenceGap(fences, 1, j)) continue;
            }
            pairs.push_back(std::make_pair(i, j));
        }
        std::vector<int32_t>().swap(partner);
        const std::vector<int32_t> chain = KeepAgreeing(pairs, LongestChain(pairs));
        if (chain.empty()) return;
        // Room for the ids first, so that nothing below can fail halfway.
        const size_t last = static_cast<size_t>(nextId_) + chain.size();
        for (int side = 0; side < 2; ++side)
            if (idLine_[side].size() <= last) idLine_[side].resize(last + 1, -1);
        for (size_t k = chain.size(); k-- > 0;) {
            uint32_t id = NewId();
            AssignId(0, pairs[chain[k]].first, id);
            AssignId(1, pairs[chain[k]].second, id);
        }
        stats_.anchors += chain.size();
    } catch (const std::bad_alloc&) {
        // Without memory for the tables the walk runs unanchored.
    }
}

// ---------------------------------------------------------------------------
// Main pass

void LineMatcher::MainPass() {
    pos_[0] = 0;
    pos_[1] = 0;
    static const int mainModes[2] = {2, 2};
    while (pos_[0] < LineCount(0) && pos_[1] < LineCount(1)) {
        JobLineUnit* a = lines_[0][pos_[0]];
        JobLineUnit* b = lines_[1][pos_[1]];
        if (a->IsPlaced()) {
            ++pos_[0];
            continue;
        }
        if (b->IsPlaced()) {
            ++pos_[1];
            continue;
        }
        if (ConnectStep(0, 1) || ConnectStep(1, 0) || SharedIdStep(0, 1) || SharedIdStep(1, 0))
            continue;
        if (a->LineText().Equals(b->LineText())) {
            PairAtPositions();
            continue;
        }
        PairBestInWindow(mainModes, 0);
    }
    for (int side = 0; side < 2; ++side)
        while (pos_[side] < LineCount(side)) Drop(side);
}

bool LineMatcher::ConnectStep(int x, int y) {
    JobLineUnit* lx = lines_[x][pos_[x]];
    if (!(lx->markKind & MarkConnect)) return false;
    int32_t found = -1;
    if (const std::vector<int32_t>* list = LinesWithSerial(y, lx->markSerial)) {
        auto it = std::lower_bound(list->begin(), list->end(), pos_[y]);
        for (; it != list->end(); ++it)
            if (!lines_[y][*it]->IsPlaced()) {
                found = *it;
                break;
            }
    }
    if (found < 0) {
        Drop(x);
        return true;
    }
    while (pos_[y] < found) Drop(y);
    PairAtPositions();
    return true;
}

bool LineMatcher::SharedIdStep(int x, int y) {
    JobLineUnit* lx = lines_[x][pos_[x]];
    if (lx->matchId == MatchUndecided) return false;
    int32_t found = LineWithId(y, lx->matchId);
    if (found < pos_[y]) {
        Drop(x);
        return true;
    }
    while (pos_[y] < found) Drop(y);
    lx->flags |= UnitPlaced;
    lines_[y][found]->flags |= UnitPlaced;
    ++pos_[x];
    ++pos_[y];
    return true;
}

void LineMatcher::SampleCancel() {
    if (escaped_ || !cancelProbe_) return;
    if (cancelProbe_()) {
        escaped_ = true;
        window_ = escapedWindow_;
    }
}

void LineMatcher::PairBestInWindow(const int (&modes)[2], uint32_t serial) {
    ++stats_.windowSearches;
    SampleCancel();
    Candidate best = BestInWindow(modes, serial);
    if (best.weight == 0) {
        if (modes[1] == 1)
            Drop(1);
        else
            PairAtPositions();
        return;
    }
    if (best.offsetA > 0 && best.offsetB > 0) {
        // Both lines lie ahead: they get their id now and pair when the walk
        // reaches them (shared-id step); the lines before them are decided
        // first.
        uint32_t id = NewId();
        AssignId(0, pos_[0] + best.offsetA, id);
        AssignId(1, pos_[1] + best.offsetB, id);
        return;
    }
    for (int32_t k = 0; k < best.offsetA; ++k) Drop(0);
    for (int32_t k = 0; k < best.offsetB; ++k) Drop(1);
    PairAtPositions();
}

LineMatcher::ScanVerdict LineMatcher::Classify(const JobLineUnit* line, int mode,
                                               uint32_t serial) const {
    uint16_t mark = line->markKind;
    bool placed = line->IsPlaced();
    switch (mode) {
    case 0:
        if ((mark & MarkFloatAnchor) == MarkFloatAnchor) return ScanStop;
        if (placed || (mark & MarkFloat)) return ScanSkip;
        if (mark & MarkConnect) return ScanStop;
        break;
    case 1:
        if (placed) return ScanSkip;
        if (line->markSerial != serial) return ScanStop;
        break;
    case 2:
        if (placed || (mark & MarkFloat)) return ScanSkip;
        if (mark & MarkConnect) return ScanStop;
        break;
    default:
        break;
    }
    return line->matchId != MatchUndecided ? ScanStop : ScanCandidate;
}

LineMatcher::Candidate LineMatcher::BestInWindow(const int (&modes)[2], uint32_t serial) {
    Candidate best;
    // Which lines of side 2 are scored depends only on their own state, which
    // a search does not change: find them once for all lines of side 1.
    partners_.clear();
    partnerColumns_.clear();
    const int32_t n2 = LineCount(1);
    int32_t column = pos_[1] % cacheDim_;
    for (int32_t j = 0; j < window_; ++j, ++column) {
        if (column == cacheDim_) column = 0;
        int32_t ib = pos_[1] + j;
        if (ib >= n2) break;
        ScanVerdict verdict = Classify(lines_[1][ib], modes[1], serial);
        if (verdict == ScanSkip) continue;
        if (verdict == ScanStop) break;
        partners_.push_back(j);
        partnerColumns_.push_back(column);
    }
    if (partners_.empty()) return best;

    // First the partners of equal text (cheap, and each is the line's best
    // partner at once); the best weight among them then rules out every line
    // whose weight cannot reach it even with a score of 100 (the most an
    // unequal pair scores), so only the others are scored in full. The
    // earliest line of the highest weight still wins, as if each line were
    // scored in turn.
    uint32_t widest = 0;
    for (int32_t j : partners_) widest = std::max(widest, lines_[1][pos_[1] + j]->DistinctCount());
    candidates_.clear();
    uint64_t equalBest = 0;
    const int32_t n1 = LineCount(0);
    for (int32_t i = 0; i < window_; ++i) {
        int32_t ia = pos_[0] + i;
        if (ia >= n1) break;
        ScanVerdict verdict = Classify(lines_[0][ia], modes[0], serial);
        if (verdict == ScanSkip) continue;
        if (verdict == ScanStop) break;
        int32_t equal = EqualPartner(ia);
        candidates_.push_back(std::make_pair(i, equal));
        if (equal >= 0) {
            uint64_t weight = static_cast<uint64_t>(lines_[0][ia]->DistinctCount() +
                                                    lines_[1][pos_[1] + equal]->DistinctCount()) *
                              SimilarityEqual;
            equalBest = std::max(equalBest, weight);
        }
    }
    for (const std::pair<int32_t, int32_t>& candidate : candidates_) {
        int32_t i = candidate.first;
        int32_t ia = pos_[0] + i;
        uint32_t distinct = lines_[0][ia]->DistinctCount();
        int32_t offset = candidate.second;
        int32_t score = SimilarityEqual;
        if (offset < 0) {
            if (static_cast<uint64_t>(distinct + widest) * 100 < equalBest) continue;
            score = BestPartner(ia, offset);
            if (score <= 0) continue;
        }
        uint64_t weight = static_cast<uint64_t>(distinct + lines_[1][pos_[1] + offset]->DistinctCount()) *
                          static_cast<uint64_t>(score);
        if (weight > best.weight) {
            best.weight = weight;
            best.score = score;
            best.offsetA = i;
            best.offsetB = offset;
        }
    }
    return best;
}

int32_t LineMatcher::EqualPartner(int32_t ia) {
    // An equal line scores 300 and ends the scan, and every line before it
    // scores 100 at most: the first equal line is the best partner.
    const uint64_t hash = hash_[0][ia];
    const RawString& text = lines_[0][ia]->LineText();
    for (int32_t j : partners_) {
        int32_t ib = pos_[1] + j;
        if (hash_[1][ib] == hash && lines_[1][ib]->LineText().Equals(text)) {
            ++stats_.scoreCalls;
            ++stats_.equalTexts;
            return j;
        }
    }
    return -1;
}

int32_t LineMatcher::CachedScore(CacheEntry* slot, int32_t ia, int32_t ib) {
    ++stats_.scoreCalls;
    if (slot && slot->lineA == ia && slot->lineB == ib) {
        ++stats_.cacheHits;
        return slot->score;
    }
    int32_t score = ComputeScore(ia, ib);
    if (slot) *slot = CacheEntry{ia, ib, score};
    return score;
}

int32_t LineMatcher::BestPartner(int32_t ia, int32_t& offset) {
    offset = 0;
    const size_t count = partners_.size();
    int32_t best = 0;
    CacheEntry* row = cache_ ? &cache_[static_cast<size_t>(ia % cacheDim_) * cacheDim_] : nullptr;
    for (size_t k = 0; k < count; ++k) {
        int32_t score = CachedScore(row ? row + partnerColumns_[k] : nullptr, ia, pos_[1] + partners_[k]);
        if (score > best) {
            best = score;
            offset = partners_[k];
        }
    }
    return best;
}

// ---------------------------------------------------------------------------
// Row emission
//
// Every line is emitted exactly once, in the order of its side, except that
// the lines of a float group stand at their anchor. A group counts only when
// it is whole: one anchor, paired with a line of the other side that carries
// its serial. The lines of any other group (an anchor that lost its partner,
// floated lines whose anchor is gone) are treated as ordinary lines.

void LineMatcher::BuildGroups() {
    groups_.clear();
    for (int side = 0; side < 2; ++side) {
        const int32_t n = LineCount(side);
        for (int32_t i = 0; i < n; ++i) {
            JobLineUnit* line = lines_[side][i];
            if (!line->IsFloatAnchor() || line->markSerial == 0) continue;
            GroupInfo& group = groups_[line->markSerial];
            ++group.anchors;
            group.anchorSide = side;
            group.anchorIndex = i;
        }
    }
    for (auto& entry : groups_) {
        GroupInfo& group = entry.second;
        if (group.anchors != 1) continue;
        JobLineUnit* anchor = lines_[group.anchorSide][group.anchorIndex];
        int32_t partner = LineWithId(1 - group.anchorSide, anchor->matchId);
        group.valid = partner >= 0 && lines_[1 - group.anchorSide][partner]->markSerial == entry.first;
    }
}

bool LineMatcher::IsValidAnchor(int side, int32_t index) const {
    const JobLineUnit* line = lines_[side][index];
    if (!line->IsFloatAnchor() || line->markSerial == 0) return false;
    auto it = groups_.find(line->markSerial);
    return it != groups_.end() && it->second.valid && it->second.anchorSide == side &&
           it->second.anchorIndex == index;
}

bool LineMatcher::IsPendingMember(int side, int32_t index) const {
    const JobLineUnit* line = lines_[side][index];
    if (!(line->markKind & MarkFloat) || line->markSerial == 0) return false;
    auto it = groups_.find(line->markSerial);
    if (it == groups_.end() || !it->second.valid || it->second.anchorSide == side) return false;
    return !emitted_[it->second.anchorSide][it->second.anchorIndex];
}

bool LineMatcher::PartnerPending(int side, int32_t index, int32_t otherPosition) const {
    int32_t partner = LineWithId(1 - side, lines_[side][index]->matchId);
    return partner >= otherPosition && !emitted_[1 - side][partner];
}

void LineMatcher::EmitAlone(int side, int32_t index) {
    JobLineUnit* line = lines_[side][index];
    if (side == 0)
        job_.rows.Add(NewCompareRow(RowOnly1, line, &EmptyLineUnit(), &rowBlocks_));
    else
        job_.rows.Add(NewCompareRow(RowOnly2, &EmptyLineUnit(), line, &rowBlocks_));
    emitted_[side][index] = 1;
    result_ = false;
}

void LineMatcher::EmitPair(int32_t index1, int32_t index2) {
    JobLineUnit* line1 = lines_[0][index1];
    JobLineUnit* line2 = lines_[1][index2];
    JobReportUnit* row = job_.rows.Add(NewCompareRow(RowSame, line1, line2, &rowBlocks_));
    if (!line1->LineText().Equals(line2->LineText())) {
        row->kind = RowChanged;
        ++stats_.rowCompares;
        auto kept = keptDiffs_.find(PairKey(index1, index2));
        if (kept != keptDiffs_.end()) {
            // The texts have not changed since the scoring compared them.
            const JobDetailUnit* unit = keptSegments_.data() + kept->second.first;
            for (uint32_t k = 0; k < kept->second.second; ++k, ++unit)
                row->details[1].Add(unit->kind, unit->length1, unit->length2);
        } else {
            engine_.Run(line1->LineText(), line2->LineText(), segments_);
            for (const JobDetailUnit& unit : segments_)
                row->details[1].Add(unit.kind, unit.length1, unit.length2);
        }
        result_ = false;
    }
    emitted_[0][index1] = 1;
    emitted_[1][index2] = 1;
}

void LineMatcher::EmitGroup(int x, int32_t anchor) {
    const int y = 1 - x;
    const uint32_t serial = lines_[x][anchor]->markSerial;
    const std::vector<int32_t>* members = LinesWithSerial(y, serial);
    const int32_t nx = LineCount(x);
    int32_t xi = anchor;
    size_t k = 0;
    while (members && xi < nx && k < members->size()) {
        int32_t yi = (*members)[k];
        if (xi != anchor && emitted_[x][xi]) {
            ++xi;
            continue;
        }
        if (emitted_[y][yi]) {
            ++k;
            continue;
        }
        // The group's walk on its own side ends where another group begins.
        if (xi != anchor && (IsValidAnchor(x, xi) || IsPendingMember(x, xi))) break;
        uint32_t idx = lines_[x][xi]->matchId;
        uint32_t idy = lines_[y][yi]->matchId;
        if (idx == MatchOneSided) {
            EmitAlone(x, xi);
            ++xi;
        } else if (idy == MatchOneSided) {
            EmitAlone(y, yi);
            ++k;
        } else if (idx >= MatchFirstPair && idx == idy) {
            if (x == 0)
                EmitPair(xi, yi);
            else
                EmitPair(yi, xi);
            ++xi;
            ++k;
        } else {
            break;
        }
    }
    // The anchor always has its row, and no line of the group is left out.
    if (!emitted_[x][anchor]) EmitAlone(x, anchor);
    if (members)
        for (int32_t yi : *members)
            if (!emitted_[y][yi]) EmitAlone(y, yi);
}

void LineMatcher::EmitRows() {
    job_.rows.Clear();
    job_.rowChanges.Forget();
    result_ = true;
    for (int side = 0; side < 2; ++side) emitted_[side].assign(lines_[side].size(), 0);
    BuildGroups();

    const int32_t n1 = LineCount(0);
    const int32_t n2 = LineCount(1);
    int32_t a = 0;
    int32_t b = 0;
    // Each turn emits at least one line or moves a position past one, so
    // the walk ends after at most (lines x 3) turns.
    while (a < n1 || b < n2) {
        if (a < n1 && emitted_[0][a]) {
            ++a;
            continue;
        }
        if (b < n2 && emitted_[1][b]) {
            ++b;
            continue;
        }
        if (a < n1 && b < n2) {
            JobLineUnit* la = lines_[0][a];
            JobLineUnit* lb = lines_[1][b];
            if (la->matchId == MatchLeftOver) {
                EmitAlone(0, a);
            } else if (lb->matchId == MatchLeftOver) {
                EmitAlone(1, b);
            } else if (IsValidAnchor(0, a)) {
                EmitGroup(0, a);
            } else if (IsValidAnchor(1, b)) {
                EmitGroup(1, b);
            } else if (IsPendingMember(0, a)) {
                ++a;  // its row comes with its group
            } else if (IsPendingMember(1, b)) {
                ++b;
            } else if (la->matchId == MatchOneSided) {
                EmitAlone(0, a);
            } else if (lb->matchId == MatchOneSided) {
                EmitAlone(1, b);
            } else if (la->matchId >= MatchFirstPair && la->matchId == lb->matchId) {
                EmitPair(a, b);
            } else if (!PartnerPending(0, a, b)) {
                EmitAlone(0, a);  // its partner is gone or already shown
            } else if (!PartnerPending(1, b, a)) {
                EmitAlone(1, b);
            } else {
                EmitAlone(0, a);  // crossing pairs: break one
            }
        } else {
            // One side has ended; the rest of the other is one-sided, but a
            // whole group still comes out as a group. A pending member cannot
            // remain here: every anchor of the ended side has been emitted.
            int side = a < n1 ? 0 : 1;
            int32_t index = side == 0 ? a : b;
            if (IsValidAnchor(side, index))
                EmitGroup(side, index);
            else
                EmitAlone(side, index);
        }
    }
}

}  // namespace JobLayer
