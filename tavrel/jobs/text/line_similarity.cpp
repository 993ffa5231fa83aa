// The similarity of two lines for the line compare: a text hash for equal
// lines, cheap upper bounds that skip hopeless pairs, and the score from
// the character comparison.
#include "tavrel/jobs/text/line_matcher.h"

#include <algorithm>
#include <cstring>

namespace JobLayer {

namespace {

// Longest side-1 text whose units get the bit-parallel subsequence bound
// (its match table holds 256 x length / 64 words).
constexpr int32_t LcsBoundMaxUnits = 4096;
// Longest parts between the common prefix and suffix of two lines that the
// scoring compares in full (see ComputeScore).
constexpr int32_t ScoreExactChars = 4096;
// At most this many kept segments of the scoring's character compares (3 MiB).
constexpr size_t kMaxKeptSegments = size_t(1) << 18;

// The histogram bucket of a pair of units (12 bits).
inline uint32_t PairBucket(uint32_t first, uint32_t second) {
    return ((first * 0x9E3779B1u) ^ (second * 0x85EBCA6Bu)) >> 20;
}

// Calls f(unit) for every unit of a text.
template <class F>
inline void ForEachUnitOf(const RawString& text, F f) {
    int32_t n = text.Length();
    if (text.Kind() == RawLayer::KindUtf16) {
        const uint16_t* p = reinterpret_cast<const uint16_t*>(text.Data());
        for (int32_t i = 0; i < n; ++i) f(static_cast<uint32_t>(p[i]));
    } else {
        const uint8_t* p = reinterpret_cast<const uint8_t*>(text.Data());
        for (int32_t i = 0; i < n; ++i) f(static_cast<uint32_t>(p[i]));
    }
}

// Mixes eight bytes of a text into a hash.
inline void MixWord(uint64_t& h, uint64_t x) {
    h = (h ^ x) * 0x9E3779B97F4A7C15ull;
    h ^= h >> 29;
}

// The hash of `n` units below 256 as bytes: word(k) gives the k-th full
// eight-byte word, tail(from) the last n - from < 8 units, zero-padded.
// Two chains over alternate words, joined at the end: a 64-bit multiply is
// dear in the 32-bit program, and the two run side by side.
template <class Word, class Tail>
inline uint64_t ByteHash(int32_t n, Word word, Tail tail) {
    uint64_t h = 0xCBF29CE484222325ull ^ static_cast<uint64_t>(n);
    uint64_t g = 0x84222325CBF29CE4ull;
    const int32_t full = n / 8;
    int32_t k = 0;
    for (; k + 2 <= full; k += 2) {
        MixWord(h, word(k));
        MixWord(g, word(k + 1));
    }
    if (k < full) MixWord(h, word(k));
    if (n % 8 != 0) MixWord(g, tail(full * 8));
    MixWord(h, g);
    return h;
}

// A hash of the units (not the bytes: texts of different unit widths can be
// equal); it only sorts out unequal texts before a real comparison. Units
// below 256 are hashed as bytes, eight a step; a UTF-16 text with a larger
// unit cannot equal an 8-bit one and keeps its units whole, four a step.
}  // namespace

uint64_t LineMatcher::TextHash(const RawString& text) {
    const int32_t n = text.Length();
    if (text.Kind() == RawLayer::KindUtf16) {
        const uint16_t* p = reinterpret_cast<const uint16_t*>(text.Data());
        bool narrow = true;
        for (int32_t k = 0; k < n && narrow; ++k) narrow = p[k] < 256;
        if (!narrow) {
            uint64_t h = ~(0xCBF29CE484222325ull ^ static_cast<uint64_t>(n));
            int32_t i = 0;
            for (; i + 4 <= n; i += 4)
                MixWord(h, uint64_t(p[i]) | uint64_t(p[i + 1]) << 16 | uint64_t(p[i + 2]) << 32 |
                               uint64_t(p[i + 3]) << 48);
            for (; i < n; ++i) MixWord(h, p[i]);
            return h;
        }
        auto units = [p](int32_t from, int32_t to) {
            uint64_t w = 0;
            for (int32_t k = to - 1; k >= from; --k) w = (w << 8) | p[k];
            return w;
        };
        return ByteHash(
            n, [&units](int32_t k) { return units(k * 8, k * 8 + 8); },
            [&units, n](int32_t from) { return units(from, n); });
    }
    const uint8_t* p = reinterpret_cast<const uint8_t*>(text.Data());
    return ByteHash(
        n,
        [p](int32_t k) {
            uint64_t w;
            std::memcpy(&w, p + static_cast<size_t>(k) * 8, 8);
            return w;
        },
        [p, n](int32_t from) {
            uint64_t w = 0;
            for (int32_t k = n - 1; k >= from; --k) w = (w << 8) | p[k];
            return w;
        });
}


// ---------------------------------------------------------------------------
// Similarity

void LineMatcher::PrepareBound(int32_t ia) {
    if (preparedA_ == ia) return;
    if (preparedA_ >= 0) {
        const RawString& old = lines_[0][preparedA_]->LineText();
        uint32_t prev = 0;
        bool first = true;
        ForEachUnitOf(old, [&](uint32_t u) {
            uint32_t k = u & 0xFF;
            histA1_[k] = 0;
            if (!first) histA2_[PairBucket(prev, u)] = 0;
            if (wordsA_ > 0)
                for (int32_t w = 0; w < wordsA_; ++w) peqA_[static_cast<size_t>(k) * wordsA_ + w] = 0;
            prev = u;
            first = false;
        });
    }
    const RawString& a = lines_[0][ia]->LineText();
    const int32_t length = a.Length();
    wordsA_ = length <= LcsBoundMaxUnits ? (length + 63) / 64 : 0;
    if (wordsA_ > 0 && peqA_.size() < static_cast<size_t>(256) * wordsA_)
        peqA_.resize(static_cast<size_t>(256) * wordsA_, 0);
    uint32_t prev = 0;
    bool first = true;
    int32_t position = 0;
    ForEachUnitOf(a, [&](uint32_t u) {
        uint32_t k = u & 0xFF;
        ++histA1_[k];
        if (!first) ++histA2_[PairBucket(prev, u)];
        if (wordsA_ > 0)
            peqA_[static_cast<size_t>(k) * wordsA_ + (position >> 6)] |= uint64_t(1) << (position & 63);
        prev = u;
        first = false;
        ++position;
    });
    preparedA_ = ia;
}

int32_t LineMatcher::LcsBound(const RawString& b) {
    // The longest common subsequence of the two texts' units (by low byte,
    // which can only make it longer), one machine word of the side-1 text
    // per step (bit-parallel, after Allison and Dix).
    const int32_t words = wordsA_;
    const int32_t length = lines_[0][preparedA_]->LineText().Length();
    lcsRow_.assign(static_cast<size_t>(words), ~uint64_t(0));
    if (length & 63) lcsRow_[words - 1] = (uint64_t(1) << (length & 63)) - 1;
    uint64_t* v = lcsRow_.data();
    const uint64_t* peq = peqA_.data();
    ForEachUnitOf(b, [&](uint32_t u) {
        const uint64_t* match = peq + static_cast<size_t>(u & 0xFF) * words;
        uint64_t carry = 0;
        for (int32_t w = 0; w < words; ++w) {
            uint64_t x = v[w];
            uint64_t y = x & match[w];
            uint64_t sum = x + y;
            uint64_t c1 = sum < x ? 1 : 0;
            uint64_t sum2 = sum + carry;
            uint64_t c2 = sum2 < sum ? 1 : 0;
            v[w] = sum2 | (x & ~match[w]);
            carry = c1 | c2;
        }
    });
    int32_t ones = 0;
    for (int32_t w = 0; w < words; ++w) {
        uint64_t x = v[w];
        if (w == words - 1 && (length & 63)) x &= (uint64_t(1) << (length & 63)) - 1;
        ones += __builtin_popcountll(x);
    }
    return length - ones;
}

int32_t LineMatcher::SameUnitsBound(int32_t ia, const RawString& a, const RawString& b, int64_t total) {
    // Same segments hold equal units in the same order on both sides, so
    // their units on one side are at most the longest common subsequence of
    // the two texts, and at most the common part of their unit counts. With
    // runs of at least two characters, every same segment but the prefix and
    // the suffix has two units or more, and a segment of u units holds u - 1
    // pairs of neighbouring units that both texts have: so the units are
    // also at most twice the common pairs plus two. Each bound is tried in
    // turn, the cheap ones first, until one rules the pair out.
    auto fails = [&](int64_t bound) { return 2 * bound * 100 / total < threshold_; };
    int32_t bound = std::min(a.Length(), b.Length());
    if (fails(bound)) return bound;
    PrepareBound(ia);
    if (wordsA_ > 0) {
        bound = std::min(bound, LcsBound(b));
        if (fails(bound)) return bound;
    }
    int32_t common1 = 0;
    int32_t common2 = 0;
    {
        uint32_t prev = 0;
        bool first = true;
        ForEachUnitOf(b, [&](uint32_t u) {
            uint32_t k = u & 0xFF;
            if (used1_[k] < histA1_[k]) {
                ++used1_[k];
                ++common1;
            }
            if (!first) {
                uint32_t p = PairBucket(prev, u);
                if (used2_[p] < histA2_[p]) {
                    ++used2_[p];
                    ++common2;
                }
            }
            prev = u;
            first = false;
        });
    }
    {
        uint32_t prev = 0;
        bool first = true;
        ForEachUnitOf(b, [&](uint32_t u) {
            used1_[u & 0xFF] = 0;
            if (!first) used2_[PairBucket(prev, u)] = 0;
            prev = u;
            first = false;
        });
    }
    bound = std::min(bound, common1);
    if (engine_.MinMatchingChars() >= 2) bound = std::min(bound, 2 * common2 + 2);
    return bound;
}

int32_t LineMatcher::SimilarityScore(int32_t ia, int32_t ib) {
    CacheEntry* slot = nullptr;
    if (cache_)
        slot = &cache_[static_cast<size_t>(ia % cacheDim_) * cacheDim_ + static_cast<size_t>(ib % cacheDim_)];
    return CachedScore(slot, ia, ib);
}

int32_t LineMatcher::ComputeScore(int32_t ia, int32_t ib) {
    const RawString& a = lines_[0][ia]->LineText();
    const RawString& b = lines_[1][ib]->LineText();
    if (hash_[0][ia] == hash_[1][ib] && a.Equals(b)) {
        ++stats_.equalTexts;
        return SimilarityEqual;
    }
    int64_t total = static_cast<int64_t>(a.Length()) + b.Length();
    if (total == 0) return SimilarityEqual;
    if (threshold_ > 0) {
        // The score can only fall below the bound's score; when even that is
        // under the threshold the score is 0 without a comparison.
        int64_t bound = SameUnitsBound(ia, a, b, total);
        if (2 * bound * 100 / total < threshold_) {
            ++stats_.boundSkips;
            return 0;
        }
    }
    // A line is scored against every line of the window, so its score must
    // stay cheap also for very long lines. The character comparison runs in
    // full when the parts between the common prefix and suffix are within
    // ScoreExactChars characters each: never dearer than the comparison of
    // two lines under that many units, whose scores it leaves exactly as
    // they were. Longer parts are estimated in linear time by one quick
    // alignment walk: runs of equal characters are followed, and after each
    // the walk moves to the nearest place where a few characters of line a
    // recur in line b. That tells an edited copy (about its true score) from
    // an unrelated line of the same words (far below it). The prefix and
    // the suffix, which hold all of a long line edited in one place, are
    // always exact.
    int32_t sameUnits = 0;
    if (engine_.ScoreUnits(a, b, ScoreExactChars, segments_, sameUnits)) {
        ++stats_.characterCompares;
        if (keptSegments_.size() + segments_.size() <= kMaxKeptSegments) {
            keptDiffs_[PairKey(ia, ib)] = std::make_pair(static_cast<uint32_t>(keptSegments_.size()),
                                                         static_cast<uint32_t>(segments_.size()));
            keptSegments_.insert(keptSegments_.end(), segments_.begin(), segments_.end());
        }
    } else {
        ++stats_.estimates;
    }
    int64_t same = 2 * static_cast<int64_t>(sameUnits);
    int32_t score = same > 0 ? static_cast<int32_t>(same * 100 / total) : 0;
    return score < threshold_ ? 0 : score;
}

}  // namespace JobLayer
