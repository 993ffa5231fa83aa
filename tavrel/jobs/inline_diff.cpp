#include "tavrel/jobs/inline_diff.h"

#include <algorithm>
#include <new>

#include "base/text_ops.h"
#include "tavrel/jobs/config_store.h"
#include "tavrel/jobs/job_report.h"

namespace JobLayer {

int32_t InlineDiffMinMatchingChars() {
    static const int32_t value = std::max<int32_t>(1, ConfigStore::Instance().minMatchingChars);
    return value;
}

// ---------------------------------------------------------------------------
// InlineDiffEngine

namespace {

// Window length, in characters, of the estimate for long parts.
constexpr int32_t QGram = 8;
// Longest part of b an automaton is built for (up to about 60 bytes a
// character; a line within the default loading limit always fits); a
// longer one is treated like a spent budget.
constexpr int64_t AutomatonMaxChars = int64_t(1) << 20;
// Candidates a search by bounds tries before it walks an automaton.
constexpr int32_t BoundTries = 3;
// Buffers above this many entries are given back after a compare.
constexpr size_t KeptEntries = size_t(1) << 16;

// Smallest power of two (as a shift from 32 bits) whose size is at least n.
inline uint32_t TableShift(size_t n, size_t& size) {
    size = 16;
    uint32_t shift = 28;
    while (size < n) {
        size <<= 1;
        --shift;
    }
    return shift;
}

inline uint32_t PairHash(int32_t state, int32_t symbol) {
    uint32_t h = static_cast<uint32_t>(state) * 0x9E3779B1u ^ static_cast<uint32_t>(symbol) * 0x85EBCA77u;
    h ^= h >> 15;
    return h * 0x2C1B3C6Du;
}

inline uint64_t KeyHash(uint64_t key) {
    key ^= key >> 31;
    key *= 0xBF58476D1CE4E5B9ull;
    return key ^ (key >> 29);
}

template <class T>
void ReleaseIfLarge(std::vector<T>& v) {
    if (v.capacity() > KeptEntries) std::vector<T>().swap(v);
}

}  // namespace

InlineDiffEngine::InlineDiffEngine(int32_t minMatchingChars, bool bySize)
    : minChars_(minMatchingChars < 1 ? 1 : minMatchingChars), bySize_(bySize) {}

void InlineDiffEngine::Tokenize(const RawString& text, int width, std::vector<uint64_t>& keys,
                                std::vector<int32_t>& starts) {
    keys.clear();
    starts.clear();
    const int32_t length = text.Length();
    const bool wide = text.Kind() == RawLayer::KindUtf16;
    const uint16_t* w = wide ? reinterpret_cast<const uint16_t*>(text.Data()) : nullptr;
    const uint8_t* n = wide ? nullptr : reinterpret_cast<const uint8_t*>(text.Data());
    // Up to this many units are packed below the unit count; a longer
    // character can only meet characters of its own count, which exist only
    // in an 8-bit text, and 8-bit texts are packed at width 8 (7 units).
    const int capacity = 56 / width;
    // A 7-bit unit is a character of its own in every kind but the
    // byte-wise UTF-16 ones: most characters need no look at the kind.
    const bool asciiAlone = text.Kind() != RawLayer::KindUtf16BE && text.Kind() != RawLayer::KindUtf16LE;
    int32_t pos = 0;
    while (pos < length) {
        int32_t next = asciiAlone && (wide ? w[pos] : n[pos]) < 0x80 ? pos + 1 : text.NextCharPos(pos);
        if (next <= pos) next = pos + 1;
        uint64_t count = static_cast<uint64_t>(next - pos);
        uint64_t packed = 0;
        int32_t end = std::min<int32_t>(next, pos + capacity);
        for (int32_t i = pos; i < end; ++i)
            packed = (packed << width) | (wide ? w[i] : n[i]);
        keys.push_back((count << 56) | (packed & ((uint64_t(1) << 56) - 1)));
        starts.push_back(pos);
        pos = next;
    }
    starts.push_back(length);
}

bool InlineDiffEngine::Prepare(const RawString& a, const RawString& b, std::vector<JobDetailUnit>& out) {
    out.clear();
    spent_ = 0;
    exhausted_ = false;
    numbered_ = false;
    bounded_ = false;
    // Units of different widths are packed at the wider width so that equal
    // unit values give equal keys across the two texts.
    int width = (a.Kind() == RawLayer::KindUtf16 || b.Kind() == RawLayer::KindUtf16) ? 16 : 8;
    Tokenize(a, width, keysA_, startsA_);
    Tokenize(b, width, keysB_, startsB_);
    const int32_t na = static_cast<int32_t>(keysA_.size());
    const int32_t nb = static_cast<int32_t>(keysB_.size());

    // Common prefix, character by character.
    int32_t prefix = 0;
    while (prefix < na && prefix < nb && keysA_[prefix] == keysB_[prefix]) ++prefix;
    int32_t prefixUnits = startsA_[prefix];
    out.push_back(JobDetailUnit(SegmentSame, prefixUnits, prefixUnits));
    prefix_ = prefix;
    suffix_ = 0;
    if (prefix == na && prefix == nb) return false;

    // Common suffix, never reaching into the prefix on either side.
    int32_t suffix = 0;
    if (prefix < na) {
        while (suffix < na - prefix && suffix < nb - prefix &&
               keysA_[na - 1 - suffix] == keysB_[nb - 1 - suffix])
            ++suffix;
    }
    suffix_ = suffix;
    return true;
}

void InlineDiffEngine::Run(const RawString& a, const RawString& b, std::vector<JobDetailUnit>& out) {
    if (Prepare(a, b, out)) {
        const int32_t na = static_cast<int32_t>(keysA_.size());
        const int32_t nb = static_cast<int32_t>(keysB_.size());
        SplitRange(prefix_, na - suffix_, prefix_, nb - suffix_, out);
        int32_t suffixUnits = a.Length() - startsA_[na - suffix_];
        out.push_back(JobDetailUnit(SegmentSame, suffixUnits, suffixUnits));
    }
    ReleaseLarge();
}

bool InlineDiffEngine::ScoreUnits(const RawString& a, const RawString& b, int32_t exactChars,
                                  std::vector<JobDetailUnit>& out, int32_t& sameUnits) {
    bool exact = true;
    if (!Prepare(a, b, out)) {
        sameUnits = a.Length();
    } else {
        const int32_t na = static_cast<int32_t>(keysA_.size());
        const int32_t nb = static_cast<int32_t>(keysB_.size());
        int32_t suffixUnits = a.Length() - startsA_[na - suffix_];
        exact = na - suffix_ - prefix_ <= exactChars && nb - suffix_ - prefix_ <= exactChars;
        if (exact) {
            SplitRange(prefix_, na - suffix_, prefix_, nb - suffix_, out);
            out.push_back(JobDetailUnit(SegmentSame, suffixUnits, suffixUnits));
            sameUnits = 0;
            for (const JobDetailUnit& unit : out)
                if (unit.kind == SegmentSame) sameUnits += unit.length1;
        } else {
            sameUnits = out.front().length1 + suffixUnits + EstimateMiddle();
            out.clear();
        }
    }
    ReleaseLarge();
    return exact;
}

void InlineDiffEngine::ReleaseLarge() {
    ReleaseIfLarge(keysA_);
    ReleaseIfLarge(keysB_);
    ReleaseIfLarge(startsA_);
    ReleaseIfLarge(startsB_);
    ReleaseIfLarge(rowPrev_);
    ReleaseIfLarge(rowCur_);
    ReleaseIfLarge(stack_);
    ReleaseIfLarge(symbolsA_);
    ReleaseIfLarge(symbolsB_);
    ReleaseIfLarge(symbolKeys_);
    ReleaseIfLarge(symbolIds_);
    ReleaseIfLarge(states_);
    ReleaseIfLarge(edges_);
    ReleaseIfLarge(rootTo_);
    ReleaseIfLarge(edgeIndex_);
    ReleaseIfLarge(gramHashes_);
    ReleaseIfLarge(gramFirst_);
    ReleaseIfLarge(gramNext_);
    ReleaseIfLarge(bounds_);
    ReleaseIfLarge(failure_);
}

bool InlineDiffEngine::LongestRun(int32_t a0, int32_t a1, int32_t b0, int32_t b1, int32_t& best,
                                  int32_t& atA, int32_t& atB) {
    const int64_t n = a1 - a0;
    const int64_t m = b1 - b0;
    // Parts inside a small part are small: the first part searched with an
    // automaton encloses every later one, and leaves bounds for them all.
    if (bySize_ && (n * m <= CellArea || std::min(n, m) <= CellSide)) {
        best = LongestRunByCells(a0, a1, b0, b1, atA, atB);
        return true;
    }
    if (bounded_ && LongestRunByBounds(a0, a1, b0, b1, best, atA, atB)) return true;
    if (m > AutomatonMaxChars) return false;
    try {
        best = LongestRunByAutomaton(a0, a1, b0, b1, atA, atB);
    } catch (const std::bad_alloc&) {
        // Too large for the memory left: as if the budget were spent.
        std::vector<AutoState>().swap(states_);
        std::vector<AutoEdge>().swap(edges_);
        std::vector<int32_t>().swap(edgeIndex_);
        return false;
    }
    bounded_ = true;
    return true;
}

int32_t InlineDiffEngine::LongestRunByCells(int32_t a0, int32_t a1, int32_t b0, int32_t b1,
                                            int32_t& atA, int32_t& atB) {
    // run(i, j) = characters that match from a[i] and b[j]; computed from the
    // last row of a upwards, one row of b at a time. Among runs of the same
    // length the smallest i wins, then the smallest j.
    const int32_t m = b1 - b0;
    rowPrev_.assign(static_cast<size_t>(m) + 1, 0);
    rowCur_.assign(static_cast<size_t>(m) + 1, 0);
    int32_t best = 0;
    atA = a0;
    atB = b0;
    const uint64_t* kb = keysB_.data() + b0;
    for (int32_t i = a1 - 1; i >= a0; --i) {
        const uint64_t key = keysA_[i];
        int32_t* cur = rowCur_.data();
        const int32_t* prev = rowPrev_.data();
        int32_t rowBest = 0;
        int32_t rowAt = 0;
        for (int32_t j = m - 1; j >= 0; --j) {
            int32_t run = kb[j] == key ? prev[j + 1] + 1 : 0;
            cur[j] = run;
            if (run >= rowBest && run > 0) {
                rowBest = run;
                rowAt = j;
            }
        }
        cur[m] = 0;
        if (rowBest > 0 && rowBest >= best) {
            best = rowBest;
            atA = i;
            atB = b0 + rowAt;
        }
        rowPrev_.swap(rowCur_);
    }
    return best;
}

void InlineDiffEngine::NumberSymbols() {
    // Each distinct character key of the middle parts gets a small number.
    const int32_t na = static_cast<int32_t>(keysA_.size());
    const int32_t nb = static_cast<int32_t>(keysB_.size());
    size_t size = 0;
    uint32_t shift = TableShift(256, size);
    symbolKeys_.assign(size, 0);
    symbolIds_.assign(size, 0);
    symbolCount_ = 0;
    auto number = [&](uint64_t key) -> int32_t {
        for (;;) {
            size_t mask = symbolKeys_.size() - 1;
            size_t slot = static_cast<size_t>(KeyHash(key) >> 32 >> shift) & mask;
            for (;; slot = (slot + 1) & mask) {
                if (symbolKeys_[slot] == key) return symbolIds_[slot];
                if (symbolKeys_[slot] == 0) break;
            }
            if (static_cast<size_t>(symbolCount_) * 2 < symbolKeys_.size()) {
                symbolKeys_[slot] = key;  // keys are never 0: they hold a unit count
                symbolIds_[slot] = symbolCount_;
                return symbolCount_++;
            }
            std::vector<uint64_t> keys;
            std::vector<int32_t> ids;
            keys.swap(symbolKeys_);
            ids.swap(symbolIds_);
            shift = TableShift(keys.size() * 2, size);
            symbolKeys_.assign(size, 0);
            symbolIds_.assign(size, 0);
            for (size_t k = 0; k < keys.size(); ++k) {
                if (keys[k] == 0) continue;
                size_t s = static_cast<size_t>(KeyHash(keys[k]) >> 32 >> shift) & (size - 1);
                while (symbolKeys_[s] != 0) s = (s + 1) & (size - 1);
                symbolKeys_[s] = keys[k];
                symbolIds_[s] = ids[k];
            }
        }
    };
    symbolsA_.resize(static_cast<size_t>(na));
    symbolsB_.resize(static_cast<size_t>(nb));
    bounds_.resize(static_cast<size_t>(na));
    for (int32_t i = prefix_; i < na - suffix_; ++i) symbolsA_[i] = number(keysA_[i]);
    for (int32_t j = prefix_; j < nb - suffix_; ++j) symbolsB_[j] = number(keysB_[j]);
    numbered_ = true;
}

int32_t* InlineDiffEngine::FindEdge(int32_t state, int32_t symbol) {
    if (state == 0) return rootTo_[symbol] >= 0 ? &rootTo_[symbol] : nullptr;
    AutoState& s = states_[state];
    if (s.symbol == symbol) return &s.to;
    if (s.more < 0) return nullptr;
    const size_t mask = edgeIndex_.size() - 1;
    for (size_t slot = PairHash(state, symbol) >> edgeShift_;; slot = (slot + 1) & mask) {
        int32_t e = edgeIndex_[slot];
        if (e < 0) return nullptr;
        AutoEdge& edge = edges_[e];
        if (edge.from == state && edge.symbol == symbol) return &edge.to;
    }
}

void InlineDiffEngine::AddEdge(int32_t from, int32_t symbol, int32_t to) {
    if (from == 0) {
        rootTo_[symbol] = to;
        return;
    }
    AutoState& s = states_[from];
    if (s.symbol < 0) {
        s.symbol = symbol;
        s.to = to;
        return;
    }
    const int32_t e = static_cast<int32_t>(edges_.size());
    edges_.push_back(AutoEdge{from, symbol, to, s.more});
    s.more = e;
    if (edges_.size() * 2 > edgeIndex_.size()) {
        GrowEdgeIndex();
        return;
    }
    const size_t mask = edgeIndex_.size() - 1;
    size_t slot = PairHash(from, symbol) >> edgeShift_;
    while (edgeIndex_[slot] >= 0) slot = (slot + 1) & mask;
    edgeIndex_[slot] = e;
}

void InlineDiffEngine::GrowEdgeIndex() {
    size_t size = 0;
    edgeShift_ = TableShift(edgeIndex_.size() * 2, size);
    edgeIndex_.assign(size, -1);
    const size_t mask = size - 1;
    const int32_t count = static_cast<int32_t>(edges_.size());
    for (int32_t e = 0; e < count; ++e) {
        size_t slot = PairHash(edges_[e].from, edges_[e].symbol) >> edgeShift_;
        while (edgeIndex_[slot] >= 0) slot = (slot + 1) & mask;
        edgeIndex_[slot] = e;
    }
}

void InlineDiffEngine::BuildAutomaton(const int32_t* symbols, int32_t from, int32_t to) {
    // The suffix automaton of symbols[from, to) (after Blumer et al.): each
    // state stands for the strings that end at the same set of positions,
    // and keeps the end of their first occurrence. Most states have one
    // edge, kept in the state; further edges are found by hashing.
    const size_t n = static_cast<size_t>(to - from);
    states_.clear();
    edges_.clear();
    states_.reserve(2 * n + 1);
    rootTo_.assign(static_cast<size_t>(symbolCount_), -1);
    size_t size = 0;
    edgeShift_ = TableShift(n / 2, size);
    edgeIndex_.assign(size, -1);
    states_.push_back(AutoState{0, -1, -1, -1, -1, -1});
    int32_t last = 0;
    for (int32_t k = from; k < to; ++k) {
        const int32_t c = symbols[k];
        const int32_t cur = static_cast<int32_t>(states_.size());
        states_.push_back(AutoState{states_[last].len + 1, 0, k, -1, -1, -1});
        int32_t p = last;
        int32_t* edge = nullptr;
        while (p >= 0 && (edge = FindEdge(p, c)) == nullptr) {
            AddEdge(p, c, cur);
            p = states_[p].link;
        }
        if (p >= 0) {
            const int32_t q = *edge;
            if (states_[p].len + 1 == states_[q].len) {
                states_[cur].link = q;
            } else {
                const int32_t clone = static_cast<int32_t>(states_.size());
                AutoState copy = states_[q];
                copy.len = states_[p].len + 1;
                copy.more = -1;
                states_.push_back(copy);
                for (int32_t f = states_[q].more; f >= 0; f = edges_[f].next)
                    AddEdge(clone, edges_[f].symbol, edges_[f].to);
                while (p >= 0) {
                    edge = FindEdge(p, c);
                    if (!edge || *edge != q) break;
                    *edge = clone;
                    p = states_[p].link;
                }
                states_[q].link = clone;
                states_[cur].link = clone;
            }
        }
        last = cur;
    }
}

int32_t InlineDiffEngine::LongestRunByAutomaton(int32_t a0, int32_t a1, int32_t b0, int32_t b1,
                                                int32_t& atA, int32_t& atB) {
    // The automaton of the part of b; the part of a is walked through it
    // keeping the longest string that ends at the current character and
    // occurs in the part of b. Its state gives that string's first
    // occurrence, so among runs of the greatest length the one earliest in a,
    // then in b, is found. The lengths are kept as bounds for the parts
    // inside this one.
    if (!numbered_) NumberSymbols();
    BuildAutomaton(symbolsB_.data(), b0, b1);
    int32_t best = 0;
    atA = a0;
    atB = b0;
    int32_t v = 0;
    int32_t len = 0;
    for (int32_t p = a0; p < a1; ++p) {
        const int32_t c = symbolsA_[p];
        for (;;) {
            if (const int32_t* edge = FindEdge(v, c)) {
                v = *edge;
                ++len;
                break;
            }
            if (v == 0) {
                len = 0;
                break;
            }
            v = states_[v].link;
            len = states_[v].len;
        }
        bounds_[p] = len;
        if (len > best) {
            best = len;
            atA = p - len + 1;
            atB = states_[v].end - len + 1;
        }
    }
    return best;
}

bool InlineDiffEngine::LongestRunByBounds(int32_t a0, int32_t a1, int32_t b0, int32_t b1,
                                          int32_t& best, int32_t& atA, int32_t& atB) {
    // bounds_[p], from the walk of an enclosing part, is at least the longest
    // run of this part that ends at p (this part of b lies inside that one).
    // Their greatest value u is then the longest run here when some string
    // of u characters ending at such a p occurs in this part of b; the
    // first p for which it does gives the run that is first in a, and its
    // first occurrence the one first in b. When the few candidates tried
    // fail, the caller walks an automaton instead.
    int32_t u = 0;
    for (int32_t p = a0; p < a1; ++p) u = std::max(u, std::min(bounds_[p], p - a0 + 1));
    best = u;
    if (u < minChars_) return true;  // no run long enough: where does not matter
    int32_t tries = 0;
    for (int32_t p = a0 + u - 1; p < a1; ++p) {
        if (bounds_[p] < u) continue;
        if (++tries > BoundTries) return false;
        int32_t j = FindFirst(p - u + 1, u, b0, b1);
        if (j >= 0) {
            atA = p - u + 1;
            atB = j;
            return true;
        }
    }
    return false;
}

int32_t InlineDiffEngine::FindFirst(int32_t from, int32_t count, int32_t b0, int32_t b1) {
    // Knuth-Morris-Pratt over the character keys.
    const uint64_t* pattern = keysA_.data() + from;
    failure_.resize(static_cast<size_t>(count));
    failure_[0] = 0;
    for (int32_t k = 1, f = 0; k < count; ++k) {
        while (f > 0 && pattern[k] != pattern[f]) f = failure_[f - 1];
        if (pattern[k] == pattern[f]) ++f;
        failure_[k] = f;
    }
    for (int32_t j = b0, f = 0; j < b1; ++j) {
        while (f > 0 && keysB_[j] != pattern[f]) f = failure_[f - 1];
        if (keysB_[j] == pattern[f]) ++f;
        if (f == count) return j - count + 1;
    }
    return -1;
}

int32_t InlineDiffEngine::EstimateMiddle() {
    // One walk along both middle parts, as a quick alignment: runs of equal
    // characters are followed, and after each the walk moves on to the
    // nearest place (fewest characters passed over on both sides together)
    // where a window of QGram characters of a occurs in b. The units of the
    // runs of at least the minimum length count. Each move passes over at
    // least as many characters as were looked at to find it, so the walk is
    // linear in the two parts.
    const int32_t na = static_cast<int32_t>(keysA_.size());
    const int32_t nb = static_cast<int32_t>(keysB_.size());
    const int32_t a1 = na - suffix_, b1 = nb - suffix_;
    int32_t i = prefix_, j = prefix_;
    if (a1 - i < QGram || b1 - j < QGram) return 0;
    auto windowHash = [](const uint64_t* keys) {
        uint64_t h = 0;
        for (int32_t k = 0; k < QGram; ++k) h = h * 0x100000001B3ull + KeyHash(keys[k]);
        return h;
    };
    // Table entries are marked by their hash (with the low bit set, so never
    // 0); the places of an entry may all be passed, the entry stays.
    uint64_t power = 1;
    for (int32_t k = 1; k < QGram; ++k) power *= 0x100000001B3ull;
    // The windows of b by hash, each with its places in ascending order; a
    // table entry keeps only the places at or after j (j never goes back).
    const int32_t windows = b1 - j - QGram + 1;
    size_t size = 0;
    const uint32_t shift = TableShift(2 * static_cast<size_t>(windows), size);
    const size_t mask = size - 1;
    gramHashes_.assign(size, 0);
    gramFirst_.assign(size, -1);
    gramNext_.assign(static_cast<size_t>(windows), -1);
    auto slotOf = [&](uint64_t h) {
        h |= 1;
        size_t slot = static_cast<size_t>(h >> 32) >> shift;
        while (gramHashes_[slot] != 0 && gramHashes_[slot] != h) slot = (slot + 1) & mask;
        return slot;
    };
    for (int32_t k = b1 - QGram; k >= j; --k) {
        uint64_t h = windowHash(keysB_.data() + k);
        size_t slot = slotOf(h);
        gramHashes_[slot] = h | 1;
        gramNext_[k - j] = gramFirst_[slot];
        gramFirst_[slot] = k;
    }
    const int32_t base = j;
    // The first place at or after `from` where the window of a at `at` lies.
    auto firstAt = [&](int32_t at, uint64_t h, int32_t from) -> int32_t {
        size_t slot = slotOf(h);
        int32_t& first = gramFirst_[slot];
        while (first >= 0 && first < from) first = gramNext_[first - base];
        for (int32_t k = first; k >= 0; k = gramNext_[k - base])
            if (std::equal(keysA_.begin() + at, keysA_.begin() + at + QGram, keysB_.begin() + k)) return k;
        return -1;
    };
    int32_t same = 0;
    for (;;) {
        int32_t run = 0;
        while (i + run < a1 && j + run < b1 && keysA_[i + run] == keysB_[j + run]) ++run;
        if (run >= minChars_) same += startsA_[i + run] - startsA_[i];
        i += run;
        j += run;
        if (i > a1 - QGram || j > b1 - QGram) break;
        int32_t bestCost = -1, bestA = 0, bestB = 0;
        uint64_t h = windowHash(keysA_.data() + i);
        for (int32_t at = i; at <= a1 - QGram; ++at) {
            if (bestCost >= 0 && at - i >= bestCost) break;
            if (at > i) h = (h - KeyHash(keysA_[at - 1]) * power) * 0x100000001B3ull + KeyHash(keysA_[at + QGram - 1]);
            int32_t k = firstAt(at, h, j);
            if (k >= 0 && (bestCost < 0 || (at - i) + (k - j) < bestCost)) {
                bestCost = (at - i) + (k - j);
                bestA = at;
                bestB = k;
            }
        }
        if (bestCost < 0) break;
        i = bestA;
        j = bestB;
    }
    return same;
}

void InlineDiffEngine::SplitRange(int32_t a0, int32_t a1, int32_t b0, int32_t b1,
                                  std::vector<JobDetailUnit>& out) {
    // The part before a run is split first and the part after it later, so
    // that segments come out in text order; the pending parts wait here, and
    // together with the part at hand they always reach to (a1, b1).
    stack_.clear();
    stack_.push_back(Work{a0, a1, b0, b1, 0, 0});
    while (!stack_.empty()) {
        Work w = stack_.back();
        stack_.pop_back();
        if (w.a0 < 0) {
            out.push_back(JobDetailUnit(SegmentSame, w.unitsA, w.unitsB));
            continue;
        }
        int32_t unitsA = startsA_[w.a1] - startsA_[w.a0];
        int32_t unitsB = startsB_[w.b1] - startsB_[w.b0];
        if (w.a0 >= w.a1) {
            if (w.b0 < w.b1) out.push_back(JobDetailUnit(SegmentOnly2, 0, unitsB));
            continue;
        }
        if (w.b0 >= w.b1) {
            out.push_back(JobDetailUnit(SegmentOnly1, unitsA, 0));
            continue;
        }
        const int64_t cost = static_cast<int64_t>(w.a1 - w.a0) + (w.b1 - w.b0);
        int32_t best = 0, atA = 0, atB = 0;
        bool searched = spent_ + cost <= WorkBudget;
        if (searched) {
            spent_ += cost;
            searched = LongestRun(w.a0, w.a1, w.b0, w.b1, best, atA, atB);
        }
        if (!searched) {
            // The budget is spent: the rest of the pair is one changed segment.
            exhausted_ = true;
            out.push_back(JobDetailUnit(SegmentChanged, startsA_[a1] - startsA_[w.a0],
                                        startsB_[b1] - startsB_[w.b0]));
            stack_.clear();
            break;
        }
        if (best >= minChars_) {
            int32_t runA = startsA_[atA + best] - startsA_[atA];
            int32_t runB = startsB_[atB + best] - startsB_[atB];
            stack_.push_back(Work{atA + best, w.a1, atB + best, w.b1, 0, 0});
            stack_.push_back(Work{-1, -1, -1, -1, runA, runB});
            stack_.push_back(Work{w.a0, atA, w.b0, atB, 0, 0});
        } else {
            out.push_back(JobDetailUnit(SegmentChanged, unitsA, unitsB));
        }
    }
}

// ---------------------------------------------------------------------------
// Public operations

void InlineDiff(JobDetailList& segments, const RawString& a, const RawString& b,
                int32_t minMatchingChars) {
    InlineDiffEngine engine(minMatchingChars);
    std::vector<JobDetailUnit> out;
    engine.Run(a, b, out);
    for (const JobDetailUnit& unit : out) segments.Add(unit.kind, unit.length1, unit.length2);
}

void InlineDiff(JobDetailList& segments, const RawString& a, const RawString& b) {
    InlineDiff(segments, a, b, InlineDiffMinMatchingChars());
}

namespace {

int PathTokenClass(uint32_t unit) {
    if ((unit >= '0' && unit <= '9') || (unit >= 'A' && unit <= 'Z') || (unit >= 'a' && unit <= 'z'))
        return 1;
    if (unit == ' ' || unit == '\t') return 2;
    return 3;
}

// The end of the token that starts at pos (at least one unit).
int32_t PathTokenEnd(const RawString& text, int32_t pos, int32_t end) {
    int cls = PathTokenClass(text.UnitAt(pos));
    int32_t next = pos + 1;
    while (next < end && PathTokenClass(text.UnitAt(next)) == cls) ++next;
    return next;
}

}  // namespace

void InlineDiffPath(JobDetailList& segments, const RawString& a, RawRange rangeA,
                    const RawString& b, RawRange rangeB) {
    RawRange ra = a.ClampEnd(rangeA);
    RawRange rb = b.ClampEnd(rangeB);
    int32_t pa = ra.start;
    int32_t pb = rb.start;
    while (pa < ra.end && pb < rb.end) {
        int32_t ea = PathTokenEnd(a, pa, ra.end);
        int32_t eb = PathTokenEnd(b, pb, rb.end);
        bool same = ea - pa == eb - pb && a.EqualsRange(RawRange{pa, ea}, b, RawRange{pb, eb});
        segments.AddMerged(same ? SegmentSame : SegmentChanged, ea - pa, eb - pb);
        pa = ea;
        pb = eb;
    }
    if (pa < ra.end) segments.AddMerged(SegmentOnly1, ra.end - pa, 0);
    if (pb < rb.end) segments.AddMerged(SegmentOnly2, 0, rb.end - pb);
}

void RowBackgroundPaint(const JobDetailList (&details)[3], const JobDetailColumn::Viewer& viewer,
                        HDC dc, const RECT& rect, uint32_t side, uint32_t column) {
    if (column > 2 || side > 1 || !dc) return;
    static const bool separated = ConfigStore::Instance().colors.lineColorSeparation ||
                                  ConfigStore::Instance().colors.lineDetailSeparation;
    const ColorTable& colors = ConfigStore::Instance().colors;
    std::vector<std::pair<int32_t, int32_t>> cells;
    int32_t start = 0;
    for (const JobDetailUnit& unit : details[column]) {
        int32_t length = side == 0 ? unit.length1 : unit.length2;
        if (length < 0) length = 0;
        COLORREF color = NoColorValue;
        switch (unit.kind) {
        case SegmentChanged:
            color = side == 0 ? colors.detailDiff1Color : colors.detailDiff2Color;
            break;
        case SegmentOnly1:
            color = side == 0 ? colors.detailOnly1Color : colors.detailBlankColor;
            break;
        case SegmentOnly2:
            color = side == 0 ? colors.detailBlankColor : colors.detailOnly2Color;
            break;
        default:
            break;
        }
        if (color != NoColorValue) {
            viewer.Cells(start, start + length, cells);
            for (const std::pair<int32_t, int32_t>& cell : cells) {
                RECT fill;
                fill.left = rect.left + cell.first;
                fill.right = rect.left + cell.second;
                fill.top = rect.top;
                fill.bottom = rect.bottom - (separated ? 1 : 0);
                if (fill.right > fill.left && fill.bottom > fill.top) {
                    HBRUSH brush = CreateSolidBrush(color);
                    if (brush) {
                        FillRect(dc, &fill, brush);
                        DeleteObject(brush);
                    }
                }
            }
        }
        start += length;
    }
}

void RowBackgroundPaint(const JobRowDetails& details, const JobDetailColumn::Viewer& viewer, HDC dc,
                        const RECT& rect, uint32_t side, uint32_t column) {
    if (column > 2) return;
    JobDetailList lists[3];
    lists[column] = details[static_cast<int32_t>(column)];
    RowBackgroundPaint(lists, viewer, dc, rect, side, column);
}

}  // namespace JobLayer
