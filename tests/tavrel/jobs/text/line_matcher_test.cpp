// The line compare: equal files, inserted and deleted blocks, connect and
// float marks, the Escape narrowing, the score cache and upper bound, and a
// property test over random files with random marks (termination, every
// line exactly once, in order).
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "base/encoding.h"
#include "tavrel/jobs/config_store.h"
#include "tavrel/jobs/job_kind_control.h"
#include "tavrel/jobs/text/line_matcher.h"

using namespace JobLayer;
using RawLayer::RawString;

namespace {

RawString T(const std::string& s) { return RawString::FromText(s.c_str()); }
std::string S(const RawString& s) { return std::string(s.Bytes(), static_cast<size_t>(s.Length())); }

// A text job built in memory.
struct TextJob {
    JobGroupUnit job{JobKindType::FromKind(KindText), &JobKindControl::NoneControl()};
    bool anchors = true;  // off: the walk alone, as it was before the anchors

    JobLineUnit* Add(int side, const std::string& text, uint16_t mark = 0, uint32_t serial = 0) {
        JobLineUnit* line = new JobLineUnit(T(text));
        line->markKind = mark;
        line->markSerial = serial;
        job.Content(side).Add(line);
        line->SetNumber(job.Content(side).Count());
        return line;
    }
    void AddAll(int side, const std::vector<std::string>& texts) {
        for (const std::string& t : texts) Add(side, t);
    }
    bool Run(LineMatcher::Stats* stats = nullptr, std::function<bool()> probe = nullptr) {
        LineMatcher matcher(job);
        matcher.SetCancelProbe(probe);
        matcher.SetUniqueAnchors(anchors);
        bool same = matcher.Run();
        if (stats) *stats = matcher.Statistics();
        return same;
    }
    // Rows as "kind:text1|text2" with "-" for a missing side.
    std::vector<std::string> Rows() const {
        std::vector<std::string> out;
        for (const JobReportUnit& row : job.rows) {
            std::string one = row.unit1->IsPlaceholder() ? "-" : S(row.unit1->Text());
            std::string two = row.unit2->IsPlaceholder() ? "-" : S(row.unit2->Text());
            out.push_back(std::to_string(row.kind) + ":" + one + "|" + two);
        }
        return out;
    }
};

// Lines that share no character with each other's kind of line.
std::string Plain(int i) { return "line " + std::to_string(i) + " of the common text"; }
std::string Odd(int i) {
    std::string s = "#";
    for (int k = 0; k < 6; ++k) s += static_cast<char>('A' + (i * 7 + k * 3) % 26);
    return s + "!";
}

// Option values for one test, restored afterwards.
struct OptionScope {
    ConfigStore& store = ConfigStore::Instance();
    int32_t window = store.foreReadingLines;
    int32_t escaped = store.foreReadingLinesEscaped;
    int32_t threshold = store.matchingRateThreshold;
    ~OptionScope() {
        store.foreReadingLines = window;
        store.foreReadingLinesEscaped = escaped;
        store.matchingRateThreshold = threshold;
    }
};

}  // namespace

TEST(LineMatcher, IdenticalFilesGiveOnlySameRowsWithoutSearching) {
    TextJob t;
    for (int i = 0; i < 300; ++i) {
        t.Add(0, Plain(i % 17));  // repeated lines too
        t.Add(1, Plain(i % 17));
    }
    LineMatcher::Stats stats;
    EXPECT_TRUE(t.Run(&stats));
    ASSERT_EQ(t.job.rows.Count(), 300);
    for (const JobReportUnit& row : t.job.rows) {
        EXPECT_EQ(row.kind, RowSame);
        EXPECT_EQ(row.details[1].Count(), 0);
    }
    EXPECT_EQ(stats.windowSearches, 0u);
    EXPECT_EQ(stats.scoreCalls, 0u);
    EXPECT_EQ(stats.characterCompares, 0u);
    EXPECT_EQ(stats.rowCompares, 0u);
}

TEST(LineMatcher, EmptySides) {
    TextJob none;
    EXPECT_TRUE(none.Run());
    EXPECT_EQ(none.job.rows.Count(), 0);

    TextJob one;
    one.AddAll(0, {"a", "b"});
    EXPECT_FALSE(one.Run());
    EXPECT_EQ(one.Rows(), (std::vector<std::string>{"1:a|-", "1:b|-"}));
    for (const JobReportUnit& row : one.job.rows) EXPECT_EQ(row.unit2, &EmptyLineUnit());
}

TEST(LineMatcher, BlocksWithinTheWindowBecomeOneSidedRows) {
    // Inserted on side 2 and deleted from side 1, at the start, in the
    // middle and at the end, from one line up to one less than the window.
    for (int size : {1, 2, 10, 49}) {
        for (int where : {0, 40, 100}) {
            for (int side : {0, 1}) {
                TextJob t;
                std::vector<std::string> expected;
                for (int i = 0; i <= 100; ++i) {
                    if (i == where)
                        for (int k = 0; k < size; ++k) {
                            t.Add(side, Odd(k));
                            expected.push_back(side == 0 ? "1:" + Odd(k) + "|-" : "2:-|" + Odd(k));
                        }
                    if (i == 100) break;
                    t.Add(0, Plain(i));
                    t.Add(1, Plain(i));
                    expected.push_back("0:" + Plain(i) + "|" + Plain(i));
                }
                EXPECT_FALSE(t.Run());
                EXPECT_EQ(t.Rows(), expected) << "size " << size << " at " << where << " side " << side;
            }
        }
    }
}

TEST(LineMatcher, BlocksBeyondTheWindow) {
    // At the end of a file any block is one-sided.
    {
        TextJob t;
        std::vector<std::string> expected;
        for (int i = 0; i < 20; ++i) {
            t.Add(0, Plain(i));
            t.Add(1, Plain(i));
            expected.push_back("0:" + Plain(i) + "|" + Plain(i));
        }
        for (int k = 0; k < 120; ++k) {
            t.Add(1, Odd(k));
            expected.push_back("2:-|" + Odd(k));
        }
        t.Run();
        EXPECT_EQ(t.Rows(), expected);
    }
    // Inside a file the walk alone does not see past a block longer than the
    // look-ahead: the lines at the two walk positions pair as a changed row,
    // as two unlike lines with no better partner in the window do. (The
    // anchors on unique lines keep it in step; see below.)
    {
        TextJob t;
        t.anchors = false;
        for (int i = 0; i < 10; ++i) t.Add(0, Plain(i)), t.Add(1, Plain(i));
        for (int k = 0; k < 60; ++k) t.Add(1, Odd(k));
        for (int i = 10; i < 20; ++i) t.Add(0, Plain(i)), t.Add(1, Plain(i));
        t.Run();
        std::vector<std::string> rows = t.Rows();
        ASSERT_GT(rows.size(), 11u);
        EXPECT_EQ(rows[9], "0:" + Plain(9) + "|" + Plain(9));
        EXPECT_EQ(rows[10], "3:" + Plain(10) + "|" + Odd(0));
        EXPECT_EQ(rows.size(), 80u);
    }
    // A wider window sees the same block.
    {
        OptionScope options;
        options.store.foreReadingLines = 100;
        TextJob t;
        t.anchors = false;
        std::vector<std::string> expected;
        for (int i = 0; i < 10; ++i) t.Add(0, Plain(i)), t.Add(1, Plain(i));
        for (int k = 0; k < 60; ++k) t.Add(1, Odd(k));
        for (int i = 10; i < 20; ++i) t.Add(0, Plain(i)), t.Add(1, Plain(i));
        t.Run();
        std::vector<std::string> rows = t.Rows();
        ASSERT_EQ(rows.size(), 80u);
        EXPECT_EQ(rows[10], "2:-|" + Odd(0));
        EXPECT_EQ(rows[69], "2:-|" + Odd(59));
        EXPECT_EQ(rows[70], "0:" + Plain(10) + "|" + Plain(10));
    }
}

TEST(LineMatcher, ChangedLinesPairWithTheirDetail) {
    TextJob t;
    t.AddAll(0, {"int a = 1;", "keep", "return value + 1;", "tail"});
    t.AddAll(1, {"int a = 2;", "keep", "return value + 2;", "tail"});
    EXPECT_FALSE(t.Run());
    ASSERT_EQ(t.Rows(), (std::vector<std::string>{"3:int a = 1;|int a = 2;", "0:keep|keep",
                                                  "3:return value + 1;|return value + 2;",
                                                  "0:tail|tail"}));
    const JobReportUnit* row = t.job.rows.First();
    EXPECT_EQ(row->details[0].Count(), 0);
    EXPECT_EQ(row->details[2].Count(), 0);
    std::vector<uint32_t> kinds;
    for (const JobDetailUnit& u : row->details[1]) kinds.push_back(u.kind);
    EXPECT_EQ(kinds, (std::vector<uint32_t>{0, 3, 0}));

    // Two unlike lines at the walk positions still pair as a changed row.
    TextJob u;
    u.AddAll(0, {"same", "abcdefgh", "end"});
    u.AddAll(1, {"same", "zyxwvuts", "end"});
    u.Run();
    EXPECT_EQ(u.Rows(), (std::vector<std::string>{"0:same|same", "3:abcdefgh|zyxwvuts", "0:end|end"}));
}

TEST(LineMatcher, OneSidedRowsOfSideOneComeFirst) {
    TextJob t;
    t.AddAll(0, {"common line one", "only in first AAAAAAA", "common line two"});
    t.AddAll(1, {"common line one", "only in second ZZZZZZ", "common line two"});
    LineMatcher matcher(t.job);
    matcher.SetCancelProbe(nullptr);
    // Threshold above any changed score: the middle lines are then still
    // paired as a changed row (no candidate at all).
    matcher.Run();
    std::vector<std::string> rows = t.Rows();
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[1], "3:only in first AAAAAAA|only in second ZZZZZZ");
}

TEST(LineMatcher, ConnectMarksForceAPair) {
    TextJob t;
    t.AddAll(0, {"pp", "qq"});
    t.Add(0, "rr");
    t.AddAll(1, {"ss", "tt"});
    t.Add(1, "uu");
    t.job.content1.At(1)->markKind = MarkConnect;
    t.job.content1.At(1)->markSerial = 5;
    t.job.content2.At(2)->markKind = MarkConnect;
    t.job.content2.At(2)->markSerial = 5;
    t.Run();
    EXPECT_EQ(t.Rows(), (std::vector<std::string>{"3:pp|ss", "2:-|tt", "3:qq|uu", "1:rr|-"}));

    // Connect wins over equal text: the equal line passed over is one-sided.
    TextJob c;
    c.Add(0, "alpha", MarkConnect, 9);
    c.Add(0, "beta");
    c.Add(1, "alpha");
    c.Add(1, "gamma", MarkConnect, 9);
    c.Add(1, "beta");
    c.Run();
    EXPECT_EQ(c.Rows(), (std::vector<std::string>{"2:-|alpha", "3:alpha|gamma", "0:beta|beta"}));

    // A connect mark whose partner is gone: the line is one-sided.
    TextJob d;
    d.Add(0, "x1", MarkConnect, 4);
    d.Add(0, "same");
    d.Add(1, "same");
    d.Run();
    EXPECT_EQ(d.Rows(), (std::vector<std::string>{"1:x1|-", "0:same|same"}));
}

TEST(LineMatcher, FloatedLinesStandAtTheirAnchor) {
    TextJob t;
    t.Add(0, "a");
    t.Add(0, "F1", MarkFloat, 9);
    t.Add(0, "F2", MarkFloat, 9);
    t.Add(0, "F3", MarkFloat, 9);
    t.AddAll(0, {"b", "c", "d"});
    t.AddAll(1, {"a", "b", "c"});
    t.Add(1, "T", MarkFloatAnchor, 9);
    t.AddAll(1, {"x", "y", "d"});
    t.Run();
    EXPECT_EQ(t.Rows(), (std::vector<std::string>{"0:a|a", "0:b|b", "0:c|c", "3:F1|T", "3:F2|x",
                                                  "3:F3|y", "0:d|d"}));
    JobLineUnit* anchor = static_cast<JobLineUnit*>(t.job.content2.At(3));
    EXPECT_EQ(anchor->matchId, static_cast<JobLineUnit*>(t.job.content1.At(1))->matchId);
}

TEST(LineMatcher, IncompleteFloatGroupsAreOrdinaryLines) {
    // An anchor whose serial no line of the other side carries.
    TextJob a;
    a.Add(0, "a");
    a.Add(0, "b");
    a.Add(1, "a");
    a.Add(1, "T", MarkFloatAnchor, 77);
    a.Add(1, "b");
    a.Run();
    EXPECT_EQ(a.Rows(), (std::vector<std::string>{"0:a|a", "2:-|T", "0:b|b"}));

    // Floated lines whose anchor was removed.
    TextJob f;
    f.Add(0, "a");
    f.Add(0, "F1", MarkFloat, 5);
    f.Add(0, "b");
    f.Add(1, "a");
    f.Add(1, "b");
    f.Run();
    EXPECT_EQ(f.Rows(), (std::vector<std::string>{"0:a|a", "1:F1|-", "0:b|b"}));

    // Two anchors of one serial, and an anchor at the very end.
    TextJob two;
    two.Add(0, "A1", MarkFloatAnchor, 3);
    two.Add(0, "z");
    two.Add(1, "A2", MarkFloatAnchor, 3);
    two.Add(1, "z");
    two.Add(1, "END", MarkFloatAnchor, 8);
    two.Run();
    std::vector<std::string> rows = two.Rows();
    EXPECT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows.back(), "2:-|END");
}

TEST(LineMatcher, EscapeNarrowsTheWindowForThisRunOnly) {
    auto build = [](TextJob& t) {
        for (int i = 0; i < 5; ++i) t.Add(0, Plain(i)), t.Add(1, Plain(i));
        for (int k = 0; k < 30; ++k) t.Add(1, Odd(k));
        for (int i = 5; i < 10; ++i) t.Add(0, Plain(i)), t.Add(1, Plain(i));
    };
    int calls = 0;
    LineMatcher::Stats stats;
    TextJob quiet;
    build(quiet);
    quiet.Run(&stats, [&] {
        ++calls;
        return false;
    });
    // Sampled once per window search; the 30 lines are seen past.
    EXPECT_EQ(static_cast<uint64_t>(calls), stats.windowSearches);
    EXPECT_EQ(quiet.Rows()[5], "2:-|" + Odd(0));

    TextJob escaped;
    build(escaped);
    LineMatcher matcher(escaped.job);
    matcher.SetUniqueAnchors(false);  // the narrowed walk alone does not see past the block
    int asked = 0;
    matcher.SetCancelProbe([&] {
        ++asked;
        return true;
    });
    EXPECT_EQ(matcher.Window(), ConfigStore::Instance().foreReadingLines);
    matcher.Run();
    EXPECT_EQ(asked, 1);  // not asked again once narrowed
    EXPECT_EQ(matcher.Window(), ConfigStore::Instance().foreReadingLinesEscaped);
    EXPECT_EQ(escaped.Rows()[5], "3:" + Plain(5) + "|" + Odd(0));

    LineMatcher next(escaped.job);
    EXPECT_EQ(next.Window(), ConfigStore::Instance().foreReadingLines);
}

TEST(LineMatcher, WindowAndCacheAreSizedFromTheClampedOption) {
    OptionScope options;
    options.store.foreReadingLines = 0x7FFFFFFF;
    TextJob t;
    t.AddAll(0, {"a", "b"});
    LineMatcher wide(t.job);
    EXPECT_EQ(wide.Window(), 1000);
    EXPECT_EQ(wide.CacheDimension(), 1000);
    EXPECT_TRUE(wide.HasCache());
    options.store.foreReadingLines = -5;
    LineMatcher narrow(t.job);
    EXPECT_EQ(narrow.Window(), 1);
    EXPECT_TRUE(narrow.Run() == false);
}

TEST(LineMatcher, UnnumberedLinesDoNotShareScores) {
    // The same files compared with proper numbers, with every number 0 (as
    // lines inserted by an edit are before renumbering) and with numbers
    // repeating: the rows must be the same.
    std::mt19937 rng(4);
    std::vector<std::string> one, two;
    for (int i = 0; i < 80; ++i) {
        std::string s = "value_" + std::to_string(rng() % 30) + " = " + std::to_string(rng() % 7);
        one.push_back(s);
        two.push_back(rng() % 3 ? s : s + "x" + std::to_string(i));
    }
    std::vector<std::string> reference;
    for (int variant = 0; variant < 3; ++variant) {
        TextJob t;
        t.AddAll(0, one);
        t.AddAll(1, two);
        int n = 0;
        for (int side = 0; side < 2; ++side)
            for (JobContentUnit& u : t.job.Content(side)) u.SetNumber(variant == 0 ? ++n : variant == 1 ? 0 : n++ % 3);
        t.Run();
        if (variant == 0)
            reference = t.Rows();
        else
            EXPECT_EQ(t.Rows(), reference) << "variant " << variant;
    }
}

TEST(LineMatcher, ScoresFollowTheCharacterComparison) {
    TextJob t;
    std::mt19937 rng(11);
    std::vector<std::string> texts;
    for (int i = 0; i < 40; ++i) {
        std::string s;
        int n = 1 + rng() % 20;
        for (int k = 0; k < n; ++k) s += "abcdxy"[rng() % (i % 2 ? 3 : 6)];
        texts.push_back(s);
    }
    t.AddAll(0, texts);
    for (int i = 0; i < 40; ++i) t.Add(1, texts[(i * 7) % 40] + (i % 3 ? "" : "q"));
    LineMatcher matcher(t.job);
    matcher.Run();
    const int32_t threshold = ConfigStore::Instance().matchingRateThreshold;
    int compared = 0;
    for (int i = 0; i < 40; ++i)
        for (int j = 0; j < 40; ++j) {
            RawString a = matcher.Line(0, i)->LineText();
            RawString b = matcher.Line(1, j)->LineText();
            int32_t expected;
            if (a.Equals(b)) {
                expected = SimilarityEqual;
            } else {
                JobDetailList list;
                InlineDiff(list, a, b);
                int64_t same = 0;
                for (const JobDetailUnit& u : list)
                    if (u.kind == 0) same += u.length1 + u.length2;
                expected = same > 0 ? static_cast<int32_t>(same * 100 / (a.Length() + b.Length())) : 0;
                if (expected < threshold) expected = 0;
                ++compared;
            }
            ASSERT_EQ(matcher.SimilarityScore(i, j), expected) << S(a) << " / " << S(b);
            ASSERT_EQ(matcher.SimilarityScore(i, j), expected);  // from the cache
        }
    EXPECT_GT(compared, 1000);
    EXPECT_GT(matcher.Statistics().boundSkips, 0u);
    EXPECT_GT(matcher.Statistics().cacheHits, 0u);

    TextJob e;
    e.AddAll(0, {"abcdefgh", "abcdef"});
    e.AddAll(1, {"abcdefgX", "abXYef"});
    LineMatcher m(e.job);
    m.Run();
    if (threshold <= 87) {
        EXPECT_EQ(m.SimilarityScore(0, 0), 87);
    }
    if (threshold > 66) {
        EXPECT_EQ(m.SimilarityScore(1, 1), 0);
    }
}

TEST(LineMatcher, LongLinesAreScoredWithoutTheFullCompare) {
    // Two lines of 300,000 units stand before a line that is the first one
    // with 1 % of its characters changed: scoring them by the full character
    // comparison would take hours. The estimate still tells the edited line
    // from the unrelated one, and the changed row gets its whole detail.
    auto words = [](unsigned seed, size_t size) {
        std::mt19937 rng(seed);
        const char* vocabulary[] = {"alpha", "beta", "gamma", "delta", "epsilon", "zeta", "eta", "theta"};
        std::string s;
        while (s.size() < size) s += std::string(vocabulary[rng() % 8]) + (rng() % 4 ? " " : ", ");
        s.resize(size);
        return s;
    };
    std::string original = words(1, 300000), unrelated = words(2, 300000), edited;
    std::mt19937 rng(3);
    for (char c : original) edited += rng() % 100 ? c : static_cast<char>('A' + rng() % 26);
    TextJob t;
    t.AddAll(0, {original, "last line"});
    t.AddAll(1, {unrelated, edited, "last line"});
    LineMatcher::Stats stats;
    auto start = std::chrono::steady_clock::now();
    t.Run(&stats);
    EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(), 10.0);
    EXPECT_GT(stats.estimates, 0u);
    std::vector<uint32_t> kinds;
    for (const JobReportUnit& row : t.job.rows) kinds.push_back(row.kind);
    ASSERT_EQ(kinds, (std::vector<uint32_t>{RowOnly2, RowChanged, RowSame}));
    const JobReportUnit& changed = *t.job.rows.At(1);
    EXPECT_EQ(S(changed.unit2->Text()), edited);
    int64_t units1 = 0, units2 = 0;
    for (const JobDetailUnit& u : changed.details[1]) {
        units1 += u.length1;
        units2 += u.length2;
    }
    EXPECT_EQ(units1, 300000);
    EXPECT_EQ(units2, 300000);
}

namespace {

// Checks the rows of a run: every line of each side exactly once, the row
// kinds consistent with the units, and each side in its own order except the
// lines that belong to a float group (they move to their anchor).
void CheckRows(TextJob& t, const std::string& label) {
    std::set<uint32_t> anchorSerials[2];
    for (int side = 0; side < 2; ++side)
        for (JobContentUnit& u : t.job.Content(side))
            if ((u.markKind & MarkFloatAnchor) == MarkFloatAnchor && u.markSerial)
                anchorSerials[side].insert(u.markSerial);
    std::map<const JobContentUnit*, int> index[2];
    for (int side = 0; side < 2; ++side) {
        int i = 0;
        for (JobContentUnit& u : t.job.Content(side)) index[side][&u] = i++;
    }
    std::vector<int> seen[2];
    for (const JobReportUnit& row : t.job.rows) {
        const JobContentUnit* units[2] = {row.unit1, row.unit2};
        ASSERT_TRUE(units[0] && units[1]) << label;
        switch (row.kind) {
        case RowOnly1:
            ASSERT_TRUE(units[1]->IsPlaceholder() && !units[0]->IsPlaceholder()) << label;
            break;
        case RowOnly2:
            ASSERT_TRUE(units[0]->IsPlaceholder() && !units[1]->IsPlaceholder()) << label;
            break;
        case RowSame:
            ASSERT_TRUE(units[0]->Text().Equals(units[1]->Text())) << label;
            break;
        case RowChanged:
            ASSERT_FALSE(units[0]->Text().Equals(units[1]->Text())) << label;
            break;
        default:
            FAIL() << label;
        }
        for (int side = 0; side < 2; ++side) {
            if (units[side]->IsPlaceholder()) continue;
            auto it = index[side].find(units[side]);
            ASSERT_NE(it, index[side].end()) << label;
            seen[side].push_back(it->second);
        }
    }
    for (int side = 0; side < 2; ++side) {
        std::vector<int> sorted = seen[side];
        std::sort(sorted.begin(), sorted.end());
        ASSERT_EQ(static_cast<int>(sorted.size()), t.job.Content(side).Count()) << label << " side " << side;
        for (size_t i = 0; i < sorted.size(); ++i) ASSERT_EQ(sorted[i], static_cast<int>(i)) << label;
        // Order of the lines that no anchor of the other side pulls away.
        int last = -1;
        for (int i : seen[side]) {
            const JobContentUnit* u = t.job.Content(side).At(i);
            if (u->markSerial && anchorSerials[1 - side].count(u->markSerial)) continue;
            ASSERT_GT(i, last) << label << " side " << side;
            last = i;
        }
    }
}

}  // namespace

TEST(LineMatcher, PropertyEveryLineExactlyOnceInOrder) {
    OptionScope options;
    std::mt19937 rng(2024);
    for (int run = 0; run < 4000; ++run) {
        options.store.foreReadingLines = 1 + static_cast<int32_t>(rng() % 8);
        options.store.matchingRateThreshold = static_cast<int32_t>(rng() % 3) * 40;
        TextJob t;
        const char* alphabet = run % 3 == 0 ? "ab" : "abc";
        int alpha = run % 3 == 0 ? 2 : 3;
        int n[2] = {static_cast<int>(rng() % 14), static_cast<int>(rng() % 14)};
        for (int side = 0; side < 2; ++side)
            for (int i = 0; i < n[side]; ++i) {
                std::string s;
                for (int k = static_cast<int>(rng() % 4); k > 0; --k) s += alphabet[rng() % alpha];
                t.Add(side, s);
            }
        // Marks: the kinds the user makes (connect pairs, float groups onto
        // one anchor) and arbitrary leftovers of edits.
        uint32_t serial = 1;
        int marks = static_cast<int>(rng() % 5);
        for (int m = 0; m < marks; ++m) {
            int what = static_cast<int>(rng() % 4);
            int side = static_cast<int>(rng() % 2);
            if (n[side] == 0 || n[1 - side] == 0) continue;
            JobContentUnit* here = t.job.Content(side).At(static_cast<int32_t>(rng() % n[side]));
            JobContentUnit* there = t.job.Content(1 - side).At(static_cast<int32_t>(rng() % n[1 - side]));
            if (what == 0) {
                here->markKind = there->markKind = MarkConnect;
                here->markSerial = there->markSerial = serial;
            } else if (what == 1) {
                int count = 1 + static_cast<int>(rng() % 3);
                for (int c = 0; c < count; ++c) {
                    JobContentUnit* f = t.job.Content(side).At(static_cast<int32_t>(rng() % n[side]));
                    f->markKind = MarkFloat;
                    f->markSerial = serial;
                }
                there->markKind = MarkFloatAnchor;
                there->markSerial = serial;
            } else {
                static const uint16_t kinds[] = {MarkConnect, MarkFloat, MarkFloatAnchor, 0};
                here->markKind = kinds[rng() % 4];
                here->markSerial = static_cast<uint32_t>(rng() % 4);
            }
            ++serial;
        }
        bool same = t.Run();
        std::string label = "run " + std::to_string(run);
        CheckRows(t, label);
        if (HasFatalFailure()) return;
        bool allSame = true;
        for (const JobReportUnit& row : t.job.rows) allSame = allSame && row.kind == RowSame;
        ASSERT_EQ(same, allSame) << label;
    }
}

namespace {

// Every changed row carries the character comparison of its two texts as
// they stand now (the matcher reuses the comparisons of its scoring).
void ExpectFreshDetails(const JobGroupUnit& job, int run) {
    for (const JobReportUnit& row : job.rows) {
        if (row.kind != RowChanged) continue;
        const RawString& a = static_cast<JobLineUnit*>(row.unit1)->LineText();
        const RawString& b = static_cast<JobLineUnit*>(row.unit2)->LineText();
        JobDetailList expected;
        InlineDiff(expected, a, b);
        ASSERT_EQ(row.details[1].Count(), expected.Count()) << "run " << run;
        auto e = expected.begin();
        for (const JobDetailUnit& u : row.details[1]) {
            EXPECT_EQ(u.kind, e->kind) << "run " << run;
            EXPECT_EQ(u.length1, e->length1) << "run " << run;
            EXPECT_EQ(u.length2, e->length2) << "run " << run;
            ++e;
        }
    }
}

}  // namespace

TEST(LineMatcher, ASecondRunStartsAfresh) {
    // The same context run again after the lines changed gives what a new
    // context gives (no score or window is carried over).
    TextJob t;
    for (int i = 0; i < 30; ++i) t.Add(0, Plain(i)), t.Add(1, i % 4 ? Plain(i) : Plain(i) + " changed");
    LineMatcher matcher(t.job);
    int asked = 0;
    matcher.SetCancelProbe([&] { return ++asked == 1; });
    matcher.Run();
    EXPECT_EQ(matcher.Window(), ConfigStore::Instance().foreReadingLinesEscaped);
    for (JobContentUnit& u : t.job.content2) {
        JobLineUnit& line = static_cast<JobLineUnit&>(u);
        line.SetText(T(S(line.LineText()) + "x"));
    }
    matcher.Run();
    ExpectFreshDetails(t.job, 0);
    std::vector<std::string> again = t.Rows();
    EXPECT_EQ(matcher.Window(), ConfigStore::Instance().foreReadingLines);
    LineMatcher fresh(t.job);
    fresh.SetCancelProbe(nullptr);
    fresh.Run();
    EXPECT_EQ(t.Rows(), again);
}

namespace {

// The main pass written out literally (no cache, no bounds, no pruning), for
// files without marks: what the matcher's shortcuts must reproduce exactly.
struct LiteralMatcher {
    std::vector<std::string> text[2];
    std::vector<uint32_t> id[2];
    std::vector<bool> placed[2];
    std::vector<uint32_t> distinct[2];
    int32_t pos[2] = {0, 0};
    int32_t window = 50;
    int32_t threshold = 70;
    uint32_t next = 3;

    int32_t Count(int s) const { return static_cast<int32_t>(text[s].size()); }
    void Drop(int s) {
        if (!placed[s][pos[s]]) {
            id[s][pos[s]] = 1;
            placed[s][pos[s]] = true;
        }
        ++pos[s];
    }
    void Pair() {
        uint32_t& a = id[0][pos[0]];
        uint32_t& b = id[1][pos[1]];
        if (!(a != 0 && a == b)) a = b = next++;
        placed[0][pos[0]] = placed[1][pos[1]] = true;
        ++pos[0];
        ++pos[1];
    }
    int32_t Score(int32_t ia, int32_t ib) const {
        if (text[0][ia] == text[1][ib]) return 300;
        JobDetailList list;
        InlineDiff(list, T(text[0][ia]), T(text[1][ib]));
        int64_t same = 0, changed = 0;
        for (const JobDetailUnit& u : list) (u.kind == 0 ? same : changed) += u.length1 + u.length2;
        int32_t score = same > 0 ? static_cast<int32_t>(same * 100 / (same + changed)) : 0;
        return score < threshold ? 0 : score;
    }
    bool SharedId(int x, int y) {
        uint32_t want = id[x][pos[x]];
        if (want == 0) return false;
        int32_t f = pos[y];
        while (f < Count(y) && id[y][f] != want) ++f;
        if (f == Count(y)) {
            Drop(x);
            return true;
        }
        while (pos[y] < f) Drop(y);
        placed[x][pos[x]] = placed[y][pos[y]] = true;
        ++pos[x];
        ++pos[y];
        return true;
    }
    void BestInWindow() {
        uint64_t bestWeight = 0;
        int32_t bestA = 0, bestB = 0;
        for (int32_t i = 0; i < window && pos[0] + i < Count(0); ++i) {
            int32_t ia = pos[0] + i;
            if (placed[0][ia]) continue;
            if (id[0][ia] != 0) break;
            int32_t best = 0, offset = 0;
            for (int32_t j = 0; j < window && pos[1] + j < Count(1); ++j) {
                int32_t ib = pos[1] + j;
                if (placed[1][ib]) continue;
                if (id[1][ib] != 0) break;
                int32_t s = Score(ia, ib);
                if (s > best) best = s, offset = j;
                if (s == 300) break;
            }
            if (best <= 0) continue;
            uint64_t w = uint64_t(distinct[0][ia] + distinct[1][pos[1] + offset]) * uint64_t(best);
            if (w > bestWeight) bestWeight = w, bestA = i, bestB = offset;
        }
        if (bestWeight == 0) {
            Pair();
        } else if (bestA > 0 && bestB > 0) {
            id[0][pos[0] + bestA] = id[1][pos[1] + bestB] = next++;
        } else {
            for (int32_t k = 0; k < bestA; ++k) Drop(0);
            for (int32_t k = 0; k < bestB; ++k) Drop(1);
            Pair();
        }
    }
    std::vector<std::string> Run() {
        for (int s = 0; s < 2; ++s) {
            id[s].assign(text[s].size(), 0);
            placed[s].assign(text[s].size(), false);
            distinct[s].clear();
            for (const std::string& t : text[s]) distinct[s].push_back(JobLineUnit::CountDistinct(T(t)));
        }
        while (pos[0] < Count(0) && pos[1] < Count(1)) {
            if (placed[0][pos[0]]) { ++pos[0]; continue; }
            if (placed[1][pos[1]]) { ++pos[1]; continue; }
            if (SharedId(0, 1) || SharedId(1, 0)) continue;
            if (text[0][pos[0]] == text[1][pos[1]]) { Pair(); continue; }
            BestInWindow();
        }
        for (int s = 0; s < 2; ++s)
            while (pos[s] < Count(s)) Drop(s);
        std::vector<std::string> rows;
        int32_t a = 0, b = 0;
        auto one = [&](int s, int32_t i) {
            rows.push_back(s == 0 ? "1:" + text[0][i] + "|-" : "2:-|" + text[1][i]);
        };
        while (a < Count(0) && b < Count(1)) {
            if (id[0][a] == 1) one(0, a++);
            else if (id[1][b] == 1) one(1, b++);
            else if (id[0][a] == id[1][b]) {
                rows.push_back((text[0][a] == text[1][b] ? "0:" : "3:") + text[0][a] + "|" + text[1][b]);
                ++a, ++b;
            } else {
                ADD_FAILURE() << "no rule applies";
                break;
            }
        }
        while (a < Count(0)) one(0, a++);
        while (b < Count(1)) one(1, b++);
        return rows;
    }
};

}  // namespace

TEST(LineMatcher, ShortcutsChangeNoResult) {
    OptionScope options;
    std::mt19937 rng(31337);
    for (int run = 0; run < 600; ++run) {
        int32_t window = 1 + static_cast<int32_t>(rng() % 12);
        int32_t threshold = static_cast<int32_t>(rng() % 4) * 25;
        options.store.foreReadingLines = window;
        options.store.matchingRateThreshold = threshold;
        LiteralMatcher literal;
        literal.window = window;
        literal.threshold = threshold;
        TextJob t;
        t.anchors = false;
        // Lines from a few stems with small edits: many near-equal pairs,
        // equal lines and ties.
        std::vector<std::string> stems = {"alpha beta", "gamma delta", "abcabc", "xyz", "", "a"};
        for (int side = 0; side < 2; ++side) {
            int n = static_cast<int>(rng() % 25);
            for (int i = 0; i < n; ++i) {
                std::string s = stems[rng() % stems.size()];
                if (rng() % 3 == 0) s += static_cast<char>('a' + rng() % 4);
                if (rng() % 4 == 0 && !s.empty()) s[rng() % s.size()] = 'q';
                literal.text[side].push_back(s);
                t.Add(side, s);
            }
        }
        t.Run();
        ASSERT_EQ(t.Rows(), literal.Run()) << "run " << run;
        ExpectFreshDetails(t.job, run);
    }
}

namespace {

// Lines not in a same row: those of one-sided rows and both of a changed row.
int Unpaired(const std::vector<std::string>& rows) {
    int count = 0;
    for (const std::string& row : rows) count += row[0] == '0' ? 0 : row[0] == '3' ? 2 : 1;
    return count;
}

// A text of `count` lines with `block` lines of another text inserted at
// line `at` on one side (the lines of both texts are alike, which tempts
// the window into changed pairs), and the rows a line compare should give.
struct BlockCase {
    TextJob t;
    std::vector<std::string> expected;
    BlockCase(int count, int at, int block, int side) {
        for (int i = 0; i <= count; ++i) {
            if (i == at)
                for (int k = 0; k < block; ++k) {
                    std::string added = "line " + std::to_string(100000 + k) + " of the added text";
                    t.Add(side, added);
                    expected.push_back(side == 0 ? "1:" + added + "|-" : "2:-|" + added);
                }
            if (i == count) break;
            t.Add(0, Plain(i));
            t.Add(1, Plain(i));
            expected.push_back("0:" + Plain(i) + "|" + Plain(i));
        }
    }
};

}  // namespace

TEST(LineMatcher, BlocksLongerThanTheWindowStayInStep) {
    for (int block : {40, 60, 200}) {
        BlockCase c(2000, 100, block, 1);
        LineMatcher::Stats stats;
        c.t.Run(&stats);
        EXPECT_EQ(c.t.Rows(), c.expected) << block << " inserted";
        EXPECT_EQ(stats.anchors, 2000u);
    }
    BlockCase deleted(2000, 100, 500, 0);
    deleted.t.Run();
    EXPECT_EQ(deleted.t.Rows(), deleted.expected) << "500 deleted";

    // The walk alone, for contrast: past the window it pairs unlike lines.
    BlockCase alone(2000, 100, 200, 1);
    alone.t.anchors = false;
    alone.t.Run();
    EXPECT_GT(Unpaired(alone.t.Rows()), 1000);
}

TEST(LineMatcher, AMovedBlockLongerThanTheWindowKeepsTheLargerOrder) {
    // Side 1: A M B; side 2: A B M. The larger of M and B pairs; the other is
    // one-sided on both sides, where each side has it.
    for (int moved : {80, 300}) {
        const int rest = 380 - moved;
        auto text = [](char part, int i) { return std::string(1, part) + " " + Plain(i); };
        TextJob t;
        for (int i = 0; i < 100; ++i) t.Add(0, text('A', i)), t.Add(1, text('A', i));
        for (int i = 0; i < moved; ++i) t.Add(0, text('M', i));
        for (int i = 0; i < rest; ++i) t.Add(0, text('B', i)), t.Add(1, text('B', i));
        for (int i = 0; i < moved; ++i) t.Add(1, text('M', i));
        std::vector<std::string> expected;
        for (int i = 0; i < 100; ++i) expected.push_back("0:" + text('A', i) + "|" + text('A', i));
        if (moved < rest) {
            for (int i = 0; i < moved; ++i) expected.push_back("1:" + text('M', i) + "|-");
            for (int i = 0; i < rest; ++i) expected.push_back("0:" + text('B', i) + "|" + text('B', i));
            for (int i = 0; i < moved; ++i) expected.push_back("2:-|" + text('M', i));
        } else {
            for (int i = 0; i < rest; ++i) expected.push_back("2:-|" + text('B', i));
            for (int i = 0; i < moved; ++i) expected.push_back("0:" + text('M', i) + "|" + text('M', i));
            for (int i = 0; i < rest; ++i) expected.push_back("1:" + text('B', i) + "|-");
        }
        t.Run();
        EXPECT_EQ(t.Rows(), expected) << "moved " << moved;
    }
}

TEST(LineMatcher, AChanceUniqueLineIsNoAnchor) {
    // "u" occurs once on each side, but agrees with no other unique pair:
    // anchored, it would drop the sixty equal lines that the walk pairs.
    TextJob t;
    t.Add(0, "u");
    for (int i = 0; i < 60; ++i) t.Add(0, "a"), t.Add(1, "a");
    t.Add(1, "u");
    LineMatcher::Stats stats;
    t.Run(&stats);
    EXPECT_EQ(stats.anchors, 0u);
    EXPECT_EQ(Unpaired(t.Rows()), 2);
}

TEST(LineMatcher, AnchorsDoNotCrossAConnectedPair) {
    // The unique line "u" on side 1 lies before the connected line, on side 2
    // after its partner: anchored, it would drop the partner; so it is not.
    TextJob t;
    t.AddAll(0, {"u unique", "y"});
    t.Add(0, "c one", MarkConnect, 7);
    t.Add(1, "z");
    t.Add(1, "c two", MarkConnect, 7);
    t.Add(1, "u unique");
    LineMatcher::Stats stats;
    t.Run(&stats);
    EXPECT_EQ(stats.anchors, 0u);
    std::vector<std::string> rows = t.Rows();
    EXPECT_NE(std::find(rows.begin(), rows.end(), "3:c one|c two"), rows.end());
    TextJob alone;
    alone.anchors = false;
    alone.AddAll(0, {"u unique", "y"});
    alone.Add(0, "c one", MarkConnect, 7);
    alone.Add(1, "z");
    alone.Add(1, "c two", MarkConnect, 7);
    alone.Add(1, "u unique");
    alone.Run();
    EXPECT_EQ(rows, alone.Rows());
}

TEST(LineMatcher, AnchorsAgainstTheWalkAlone) {
    // Random files whose inserted, deleted and changed blocks are all shorter
    // than the window, with repeated lines and with connect and float marks,
    // compared by the walk alone (as before the anchors) and anchored:
    // - files without a text that occurs once on each side: the same rows;
    // - files where the walk alone pairs every such line with its partner:
    //   the same rows but in rare runs (a window scan that now stops at an
    //   anchor can choose another pair);
    // - where the rows differ, the anchored ones leave fewer lines out of
    //   same rows in all but rare runs, and far fewer in total;
    // - a connected pair the walk alone made is still made, unless it
    //   crosses another one (then the walk honours whichever it meets first).
    OptionScope options;
    std::mt19937 rng(99);
    int differ = 0, notFewer = 0, premise = 0, connectedPairs = 0, noUnique = 0, premiseDiffer = 0;
    long long unpaired[2] = {0, 0};
    static const char* repeated[] = {"", "}", "{", "end", "return;"};
    for (int run = 0; run < 3000; ++run) {
        int32_t window = 3 + static_cast<int32_t>(rng() % 10);
        options.store.foreReadingLines = window;
        // One file in eight has only a few texts, none of them once on
        // side 1 (so none once on both sides).
        const bool few = run % 8 == 0;
        auto fresh = [&](int i) {
            return few ? std::string(repeated[rng() % 5]) + std::to_string(rng() % 3)
                       : "value_" + std::to_string(rng() % 1000) + " = f(" + std::to_string(i) + ");";
        };
        std::vector<std::string> texts[2];
        int n = 10 + static_cast<int>(rng() % 80);
        for (int i = 0; i < n; ++i) texts[0].push_back(rng() % 5 == 0 ? repeated[rng() % 5] : fresh(i));
        for (size_t i = 0; i < texts[0].size();) {
            int what = static_cast<int>(rng() % 20);
            int length = 1 + static_cast<int>(rng() % (window - 1));
            if (what == 0) {
                for (int k = 0; k < length; ++k) texts[1].push_back(fresh(100000 + k));
            } else if (what == 1) {
                i += length;
            } else if (what == 2) {
                std::string s = texts[0][i++];
                if (!s.empty()) s[rng() % s.size()] = 'Q';
                texts[1].push_back(s + "!");
            } else {
                texts[1].push_back(texts[0][i++]);
            }
        }
        if (few) {
            std::map<std::string, int> count;
            for (const std::string& text : texts[0]) ++count[text];
            for (const auto& entry : count)
                if (entry.second == 1) texts[0].push_back(entry.first);
        }
        // Marks: connected pairs and float groups, at random places.
        struct Mark {
            int side, here, there, count;
            bool connect;
        };
        std::vector<Mark> marks;
        const int sizes[2] = {static_cast<int>(texts[0].size()), static_cast<int>(texts[1].size())};
        for (int m = static_cast<int>(rng() % 3); m > 0 && sizes[0] && sizes[1]; --m) {
            Mark mark;
            mark.side = static_cast<int>(rng() % 2);
            mark.here = static_cast<int>(rng() % sizes[mark.side]);
            mark.there = static_cast<int>(rng() % sizes[1 - mark.side]);
            mark.count = 1 + static_cast<int>(rng() % 3);
            mark.connect = rng() % 2 == 0;
            marks.push_back(mark);
        }
        std::vector<std::string> rows[2];
        std::set<std::pair<int, int>> paired[2];  // rows of two lines, by index
        for (int pass = 0; pass < 2; ++pass) {
            TextJob t;
            t.anchors = pass == 1;
            t.AddAll(0, texts[0]);
            t.AddAll(1, texts[1]);
            for (size_t m = 0; m < marks.size(); ++m) {
                const Mark& mark = marks[m];
                uint32_t serial = static_cast<uint32_t>(10 + m);
                JobContentUnit* there = t.job.Content(1 - mark.side).At(mark.there);
                for (int c = 0; c < mark.count && mark.here + c < sizes[mark.side]; ++c) {
                    JobContentUnit* here = t.job.Content(mark.side).At(mark.here + c);
                    here->markKind = mark.connect ? MarkConnect : MarkFloat;
                    here->markSerial = serial;
                    if (mark.connect) break;
                }
                there->markKind = mark.connect ? MarkConnect : MarkFloatAnchor;
                there->markSerial = serial;
            }
            t.Run();
            CheckRows(t, "run " + std::to_string(run) + (pass ? " anchored" : " alone"));
            if (HasFatalFailure()) return;
            rows[pass] = t.Rows();
            std::map<const JobContentUnit*, int> index;
            for (int side = 0; side < 2; ++side) {
                int i = 0;
                for (JobContentUnit& u : t.job.Content(side)) index[&u] = i++;
            }
            for (const JobReportUnit& row : t.job.rows)
                if (!row.unit1->IsPlaceholder() && !row.unit2->IsPlaceholder())
                    paired[pass].insert(std::make_pair(index[row.unit1], index[row.unit2]));
        }
        auto connectedPair = [](const Mark& mark) {
            return mark.side == 0 ? std::make_pair(mark.here, mark.there) : std::make_pair(mark.there, mark.here);
        };
        for (const Mark& mark : marks) {
            if (!mark.connect) continue;
            std::pair<int, int> pair = connectedPair(mark);
            bool crossed = false;
            for (const Mark& other : marks) {
                std::pair<int, int> o = connectedPair(other);
                if (&other != &mark && other.connect && !(o.first < pair.first && o.second < pair.second) &&
                    !(o.first > pair.first && o.second > pair.second))
                    crossed = true;
            }
            if (!crossed && paired[0].count(pair)) {
                ++connectedPairs;
                EXPECT_TRUE(paired[1].count(pair)) << "run " << run;
            }
        }
        std::map<std::string, int> counts[2];
        for (int side = 0; side < 2; ++side)
            for (const std::string& s : texts[side]) ++counts[side][s];
        bool all = true, unique = false;
        for (const auto& entry : counts[0])
            if (entry.second == 1 && counts[1][entry.first] == 1) {
                unique = true;
                if (std::find(rows[0].begin(), rows[0].end(), "0:" + entry.first + "|" + entry.first) == rows[0].end())
                    all = false;
            }
        if (!unique) {
            ++noUnique;
            ASSERT_EQ(rows[1], rows[0]) << "run " << run;
        }
        if (all) {
            ++premise;
            if (rows[1] != rows[0]) ++premiseDiffer;
        }
        int before = Unpaired(rows[0]), after = Unpaired(rows[1]);
        unpaired[0] += before;
        unpaired[1] += after;
        if (rows[0] != rows[1]) {
            ++differ;
            if (after >= before) ++notFewer;
        }
    }
    EXPECT_GT(noUnique, 300);
    EXPECT_GT(premise, 1000);
    EXPECT_LT(premiseDiffer * 100, premise);
    EXPECT_GT(differ, 1000);
    EXPECT_LT(notFewer * 100, differ);
    EXPECT_LT(unpaired[1] * 10, unpaired[0] * 9);
    EXPECT_GT(connectedPairs, 1000);
}

TEST(LineMatcher, TextsOfBothUnitWidthsAnchorAsEqual) {
    // Side 1 in UTF-8, side 2 the same texts in UTF-16 behind a block longer
    // than the window: only texts that hash alike in both widths (every
    // length, so every tail of the hash's steps) anchor, and only anchors
    // keep the sides in step past the block.
    OptionScope options;
    options.store.foreReadingLines = 20;
    TextJob t;
    const int n = 120;
    for (int i = 0; i < n; ++i) {
        std::string text = "#" + std::to_string(i) + std::string(static_cast<size_t>(i % 41), 'a' + i % 26);
        t.Add(0, text);
        RawString wide;
        ASSERT_TRUE(RawLayer::ConvertToUtf16(RawLayer::KindUtf8, text.data(), static_cast<int32_t>(text.size()), wide));
        if (i == 0) {
            // The block, with a unit above 255 in each line.
            for (int k = 0; k < 50; ++k) {
                RawString other;
                std::string inserted = "inserted \xC5\x81 " + std::to_string(k);
                ASSERT_TRUE(RawLayer::ConvertToUtf16(RawLayer::KindUtf8, inserted.data(),
                                                     static_cast<int32_t>(inserted.size()), other));
                JobLineUnit* line = new JobLineUnit(other);
                t.job.Content(1).Add(line);
                line->SetNumber(t.job.Content(1).Count());
            }
        }
        ASSERT_EQ(wide.Kind(), RawLayer::KindUtf16);
        JobLineUnit* line = new JobLineUnit(wide);
        t.job.Content(1).Add(line);
        line->SetNumber(t.job.Content(1).Count());
    }
    LineMatcher::Stats stats;
    t.Run(&stats);
    int kinds[4] = {0, 0, 0, 0};
    for (const JobReportUnit& row : t.job.rows) ++kinds[row.kind & 3];
    EXPECT_EQ(kinds[RowSame], n);
    EXPECT_EQ(kinds[RowOnly2], 50);
    EXPECT_EQ(kinds[RowOnly1] + kinds[RowChanged], 0);
    EXPECT_EQ(stats.anchors, static_cast<uint64_t>(n));
}
