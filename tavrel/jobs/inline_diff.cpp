#include "tavrel/jobs/inline_diff.h"

#include <algorithm>

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

InlineDiffEngine::InlineDiffEngine(int32_t minMatchingChars)
    : minChars_(minMatchingChars < 1 ? 1 : minMatchingChars) {}

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
    int32_t pos = 0;
    while (pos < length) {
        int32_t next = text.NextCharPos(pos);
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

void InlineDiffEngine::Run(const RawString& a, const RawString& b, std::vector<JobDetailUnit>& out) {
    out.clear();
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
    if (prefix == na && prefix == nb) return;

    // Common suffix, never reaching into the prefix on either side.
    int32_t suffix = 0;
    if (prefix < na) {
        while (suffix < na - prefix && suffix < nb - prefix &&
               keysA_[na - 1 - suffix] == keysB_[nb - 1 - suffix])
            ++suffix;
    }
    int32_t suffixUnits = a.Length() - startsA_[na - suffix];

    SplitRange(prefix, na - suffix, prefix, nb - suffix, out);
    out.push_back(JobDetailUnit(SegmentSame, suffixUnits, suffixUnits));
}

int32_t InlineDiffEngine::SameUnits(const RawString& a, const RawString& b) {
    Run(a, b, scratch_);
    int32_t same = 0;
    for (const JobDetailUnit& unit : scratch_)
        if (unit.kind == SegmentSame) same += unit.length1;
    return same;
}

int32_t InlineDiffEngine::LongestRun(int32_t a0, int32_t a1, int32_t b0, int32_t b1, int32_t& atA,
                                     int32_t& atB) {
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

void InlineDiffEngine::SplitRange(int32_t a0, int32_t a1, int32_t b0, int32_t b1,
                                  std::vector<JobDetailUnit>& out) {
    // The part before a run is split first and the part after it later, so
    // that segments come out in text order; the pending parts wait here.
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
        int32_t atA = 0, atB = 0;
        int32_t best = LongestRun(w.a0, w.a1, w.b0, w.b1, atA, atB);
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

void AppendMerged(JobDetailList& segments, uint32_t kind, int32_t length1, int32_t length2) {
    JobDetailUnit* last = segments.Last();
    if (last && last->kind == kind) {
        last->length1 += length1;
        last->length2 += length2;
        return;
    }
    segments.Add(kind, length1, length2);
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
        AppendMerged(segments, same ? SegmentSame : SegmentChanged, ea - pa, eb - pb);
        pa = ea;
        pb = eb;
    }
    if (pa < ra.end) AppendMerged(segments, SegmentOnly1, ra.end - pa, 0);
    if (pb < rb.end) AppendMerged(segments, SegmentOnly2, 0, rb.end - pb);
}

void RowBackgroundPaint(const JobDetailList (&details)[3], const JobDetailColumn::Viewer& viewer,
                        HDC dc, const RECT& rect, uint32_t side, uint32_t column) {
    if (column > 2 || side > 1 || !dc) return;
    static const bool separated = ConfigStore::Instance().colors.lineColorSeparation ||
                                  ConfigStore::Instance().colors.lineDetailSeparation;
    const ColorTable& colors = ConfigStore::Instance().colors;
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
            RECT fill;
            fill.left = rect.left + viewer.PositionX(start);
            fill.right = rect.left + viewer.PositionX(start + length);
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
