// The text kind on real files: loading in every encoding with every kind of
// line end, the loading limit, read failures, the compare of loaded sides,
// connect and float marks, and the line primitives keeping rows and line
// numbers consistent.
// RUN_UNDER_BOTH_CODE_PAGES
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "support/test_support.h"
#include "tavrel/jobs/backup/backup_store.h"
#include "tavrel/jobs/config_store.h"
#include "tavrel/jobs/job_kind_control.h"
#include "tavrel/jobs/shell_commands.h"
#include "tavrel/jobs/text/line_matcher.h"
#include "tavrel/jobs/text/text_kind.h"

using namespace JobLayer;
using RawLayer::RawString;
using TestSupport::TempFolder;
using TestSupport::W;
using TestSupport::WriteFileBytes;

namespace {

// The bytes of a text as it stands in memory.
std::string Units(const RawString& s) {
    int width = s.Kind() == RawLayer::KindUtf16 ? 2 : 1;
    return std::string(s.Bytes(), static_cast<size_t>(s.Length()) * width);
}
// A text as UTF-8 (converted from its kind).
std::string U8(const RawString& s) { return Units(s.As(RawLayer::KindUtf8)); }

// UTF-16 bytes of a UTF-8 text, little- or big-endian.
std::string Utf16(const std::string& utf8, bool big) {
    std::wstring w = TestSupport::Wide(utf8);
    std::string out;
    for (wchar_t c : w) {
        char lo = static_cast<char>(c & 0xFF), hi = static_cast<char>((c >> 8) & 0xFF);
        out += big ? std::string{hi, lo} : std::string{lo, hi};
    }
    return out;
}

class CaptureLogger : public RawLayer::JobServerControl::Logger {
public:
    void Report(const RawString& line) override { lines.push_back(U8(line)); }
    std::vector<std::string> lines;
};

struct OptionScope {
    ConfigStore& store = ConfigStore::Instance();
    int32_t maxText = store.maxTextLoading;
    ~OptionScope() { store.maxTextLoading = maxText; }
};

class TextKindTest : public ::testing::Test {
protected:
    void SetUp() override { ShellCommandStore::Instance().SetOutput(&logger); }
    void TearDown() override { ShellCommandStore::Instance().SetOutput(nullptr); }

    std::wstring File(const std::string& name, const std::string& bytes) {
        std::wstring path = folder.Join(TestSupport::Wide(name));
        EXPECT_TRUE(WriteFileBytes(path, bytes));
        return path;
    }
    std::unique_ptr<JobGroupUnit> Open(const std::wstring& path1, const std::wstring& path2) {
        std::unique_ptr<JobGroupUnit> job(
            new JobGroupUnit(JobKindType::FromKind(KindText), &JobLineControl::Shared()));
        job->content1.path = W(path1);
        job->content2.path = W(path2);
        job->edit.edit1 = job->edit.edit2 = 1;
        EXPECT_EQ(job->controller->Load(*job, ModeBoth), uint32_t(TextFullRefresh));
        return job;
    }
    static std::vector<std::string> Lines(const JobGroupUnit& job, uint32_t side) {
        std::vector<std::string> out;
        for (const JobContentUnit& unit : job.Content(side)) out.push_back(U8(unit.Text()));
        return out;
    }
    // Rows as "kind:text1|text2", "-" for a missing side.
    static std::vector<std::string> Rows(const JobGroupUnit& job) {
        std::vector<std::string> out;
        for (const JobReportUnit& row : job.rows) {
            std::string one = row.unit1->IsPlaceholder() ? "-" : U8(row.unit1->Text());
            std::string two = row.unit2->IsPlaceholder() ? "-" : U8(row.unit2->Text());
            out.push_back(std::to_string(row.kind) + ":" + one + "|" + two);
        }
        return out;
    }
    std::string Report(const std::string& key, const std::wstring& path) {
        return key + " (" + TestSupport::Utf8(path) + ")";
    }

    // Rows and sides agree: the real units of a side stand in the rows in
    // list order (floated lines stand at their anchor instead), each exactly
    // once; the row kinds fit the units they hold; the lines are numbered
    // 1, 2, 3, ...
    static void ExpectConsistent(const JobGroupUnit& job, bool ordered = true) {
        for (uint32_t side = 0; side < 2; ++side) {
            std::vector<const JobContentUnit*> inRows;
            for (const JobReportUnit& row : job.rows) {
                const JobContentUnit* unit = row.Unit(side);
                ASSERT_NE(unit, nullptr);
                if (!unit->IsPlaceholder()) inRows.push_back(unit);
            }
            std::vector<const JobContentUnit*> inList;
            int32_t number = 1;
            for (const JobContentUnit& unit : job.Content(side)) {
                inList.push_back(&unit);
                EXPECT_EQ(static_cast<const JobLineUnit&>(unit).LineNumber(), number++);
            }
            if (!ordered) {
                std::sort(inRows.begin(), inRows.end());
                std::sort(inList.begin(), inList.end());
            }
            EXPECT_EQ(inRows, inList) << "side " << side;
        }
        for (const JobReportUnit& row : job.rows) {
            bool real1 = !row.unit1->IsPlaceholder(), real2 = !row.unit2->IsPlaceholder();
            EXPECT_TRUE(real1 || real2);
            EXPECT_EQ(row.flags & RowEdited, 0u);
            if (real1 && real2) {
                bool equal = row.unit1->Text().Equals(row.unit2->Text());
                EXPECT_EQ(row.kind, equal ? uint32_t(RowSame) : uint32_t(RowChanged));
            } else {
                EXPECT_EQ(row.kind, real1 ? uint32_t(RowOnly1) : uint32_t(RowOnly2));
            }
        }
    }

    TempFolder folder;
    CaptureLogger logger;
};

std::string Numbered(int from, int to, const char* prefix = "line ") {
    std::string s;
    for (int i = from; i <= to; ++i) s += prefix + std::to_string(i) + " of the text\r\n";
    return s;
}

// ---------------------------------------------------------------------------
// Compare of loaded files

TEST(LineUnitTest, DistinctCountCountsLowBytes) {
    EXPECT_EQ(JobLineUnit::CountDistinct(RawString::FromText("")), 0u);
    EXPECT_EQ(JobLineUnit::CountDistinct(RawString::FromText("aab ba")), 3u);
    std::string all;
    for (int b = 1; b < 256; ++b) all += static_cast<char>(b);
    all += all;
    EXPECT_EQ(JobLineUnit::CountDistinct(RawString::FromBytes(all.data(), static_cast<int32_t>(all.size()),
                                                              RawLayer::KindAnsi)),
              255u);
    // UTF-16 units count by their low byte: U+0141, U+4E41 and 'A' are one value.
    const wchar_t wide[] = {0x0141, L'A', 0x4E41, L'b', 0xFF62, 0x0062, 0};
    EXPECT_EQ(JobLineUnit::CountDistinct(RawString::FromWideText(wide)), 2u);
    JobLineUnit unit(RawString::FromText("hello"));
    EXPECT_EQ(unit.DistinctCount(), 4u);
    unit.SetText(RawString::FromText("zz"));
    EXPECT_EQ(unit.DistinctCount(), 1u);
}

TEST_F(TextKindTest, IdenticalFilesGiveOnlySameRowsWithoutCharacterCompares) {
    std::string text = Numbered(1, 300);
    auto job = Open(File("a.txt", text), File("b.txt", text));
    ASSERT_EQ(job->rows.Count(), 300);
    for (const JobReportUnit& row : job->rows) {
        EXPECT_EQ(row.kind, uint32_t(RowSame));
        EXPECT_TRUE(row.details[1].IsEmpty());
    }
    EXPECT_TRUE(job->flags & JobSame);
    EXPECT_TRUE(logger.lines.empty());

    LineMatcher matcher(*job);
    EXPECT_TRUE(matcher.Run());
    EXPECT_EQ(matcher.Statistics().characterCompares, 0u);
    EXPECT_EQ(matcher.Statistics().rowCompares, 0u);
    EXPECT_EQ(matcher.Statistics().windowSearches, 0u);
}

TEST_F(TextKindTest, InsertedAndDeletedBlocksBecomeOneSidedRows) {
    std::string one = Numbered(1, 40);
    std::string two = Numbered(1, 9) + Numbered(15, 25) + Numbered(1, 3, "added ") + Numbered(26, 40);
    auto job = Open(File("a.txt", one), File("b.txt", two));
    std::vector<uint32_t> kinds;
    for (const JobReportUnit& row : job->rows) kinds.push_back(row.kind);
    std::vector<uint32_t> expected;
    expected.insert(expected.end(), 9, RowSame);
    expected.insert(expected.end(), 5, RowOnly1);
    expected.insert(expected.end(), 11, RowSame);
    expected.insert(expected.end(), 3, RowOnly2);
    expected.insert(expected.end(), 15, RowSame);
    EXPECT_EQ(kinds, expected);
    EXPECT_FALSE(job->flags & JobSame);
    ExpectConsistent(*job);
}

TEST_F(TextKindTest, ChangedLineIsOneChangedRowWithItsDetail) {
    auto job = Open(File("a.txt", "alpha\r\nbeta gamma\r\nomega\r\n"),
                    File("b.txt", "alpha\r\nbeta delta\r\nomega\r\n"));
    EXPECT_EQ(Rows(*job), (std::vector<std::string>{"0:alpha|alpha", "3:beta gamma|beta delta",
                                                    "0:omega|omega"}));
    EXPECT_FALSE(job->rows.At(1)->details[1].IsEmpty());
}

// ---------------------------------------------------------------------------
// Encodings and line ends

struct EncodingCase {
    const char* name;
    std::string bytes;
    uint32_t kind;          // content list's encoding kind
    bool mark;
    uint8_t textKind;       // kind of the lines in memory
    std::vector<std::string> lines;  // as UTF-8
    std::string lineEnd;    // as UTF-8
    bool lastEnded;
    const char* encodingText;
};

TEST_F(TextKindTest, LoadsEveryEncodingWithEveryLineEnd) {
    const std::string bom8 = "\xEF\xBB\xBF";
    const std::string sjis = "\x93\xFA\x96\x7B\x8C\xEA";   // 日本語 in Shift_JIS
    const std::string sjisSo = "\x83\x5C";                    // ソ: a trail byte 0x5C
    const std::string euc = "\xC6\xFC\xCB\xDC\xB8\xEC";     // 日本語 in EUC-JP
    std::vector<EncodingCase> cases = {
        {"utf8-crlf", "a\xC3\xA9\r\nb\r\n", 2, false, 2, {"a\xC3\xA9", "b"}, "\r\n", true, "UTF8"},
        {"utf8-bom-lf", bom8 + "x\ny", 2, true, 2, {"x", "y"}, "\n", false, "UTF8 [BOM]"},
        {"utf8-bom-mixed", bom8 + "\xE3\x81\x82\r\nb\nc\rd\r\n", 2, true, 2,
         {"\xE3\x81\x82", "b", "c", "d"}, "\r\n", true, "UTF8 [BOM]"},
        {"utf8-cr", "p\rq\r", 2, false, 2, {"p", "q"}, "\r", true, "UTF8"},
        {"utf16le-bom-mixed", "\xFF\xFE" + Utf16("a\xC3\xA9\r\nb\nc\rd", false), 6, true, 7,
         {"a\xC3\xA9", "b", "c", "d"}, "\r\n", false, "UTF16LE [BOM]"},
        {"utf16be-bom-crlf", "\xFE\xFF" + Utf16("\xE6\x97\xA5\r\nz\r\n", true), 5, true, 7,
         {"\xE6\x97\xA5", "z"}, "\r\n", true, "UTF16BE [BOM]"},
        {"utf16be-lf", Utf16("one\ntwo\n", true), 5, false, 7, {"one", "two"}, "\n", true,
         "UTF16BE"},
        {"sjis-crlf", sjis + "\r\n" + sjisSo + "\r\n", 1, false, 1,
         {"\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E", "\xE3\x82\xBD"}, "\r\n", true, "SJIS"},
        {"sjis-mixed", sjis + "\n" + sjisSo + "\r\n" + sjis + "\r" + sjis, 1, false, 1,
         {"\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E", "\xE3\x82\xBD",
          "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E", "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E"},
         "\n", false, "SJIS"},
        {"one-line-no-end", "abc", 2, false, 2, {"abc"}, "\r\n", false, "UTF8"},
        {"empty", "", 2, false, 2, {}, "\r\n", false, "UTF8"},
        {"ascii-lf", "k\nl\n", 2, false, 2, {"k", "l"}, "\n", true, "UTF8"},
    };
    int n = 0;
    for (const EncodingCase& c : cases) {
        SCOPED_TRACE(c.name);
        logger.lines.clear();
        std::wstring path = File("enc" + std::to_string(n++) + ".txt", c.bytes);
        auto job = Open(path, path);
        const JobContentList& content = job->content1;
        EXPECT_EQ(content.encodingKind, c.kind);
        EXPECT_EQ((content.flags & ContentByteOrderMark) != 0, c.mark);
        EXPECT_TRUE(content.flags & ContentRead);
        EXPECT_EQ(content.flags & (ContentCut | ContentUnreadable | ContentNoFile), 0);
        EXPECT_EQ(content.fileSize, c.bytes.size());
        EXPECT_EQ(Lines(*job, 0), c.lines);
        EXPECT_EQ(U8(content.lineEnd), c.lineEnd);
        EXPECT_EQ(U8(job->side1.encodingText), c.encodingText);
        JobLineBaseData* data = LineBaseData(job->side1);
        ASSERT_NE(data, nullptr);
        EXPECT_EQ(data->lastLineEnded, c.lastEnded);
        EXPECT_EQ(data->textKind, c.textKind);
        for (const JobContentUnit& unit : content) EXPECT_EQ(unit.Text().Kind(), c.textKind);
        // The same file on both sides: every row is the same.
        EXPECT_EQ(job->rows.Count(), static_cast<int32_t>(c.lines.size()));
        for (const JobReportUnit& row : job->rows) EXPECT_EQ(row.kind, uint32_t(RowSame));
        EXPECT_TRUE(job->flags & JobSame);
        EXPECT_TRUE(logger.lines.empty());
        EXPECT_EQ(job->edit.edit1, 1);
        ExpectConsistent(*job);
    }
}

TEST_F(TextKindTest, ShiftJisTrailByteIsNeverALineEndAndLinesKeepTheirBytes) {
    // 0x5C and 0x0A never split a character; the line keeps the file's bytes.
    std::string so = "\x83\x5C\x83\x5C";
    auto job = Open(File("s1.txt", so + "\r\n" + so + "A\r\n"), File("s2.txt", so + "\r\n" + so + "B\r\n"));
    ASSERT_EQ(job->content1.Count(), 2);
    EXPECT_EQ(Units(job->content1.At(0)->Text()), so);
    EXPECT_EQ(Units(job->content2.At(1)->Text()), so + "B");
    ASSERT_EQ(job->rows.Count(), 2);
    EXPECT_EQ(job->rows.At(0)->kind, uint32_t(RowSame));
    EXPECT_EQ(job->rows.At(1)->kind, uint32_t(RowChanged));
}

TEST_F(TextKindTest, EucJpLinesKeepTheFilesBytes) {
    const std::string euc = "\xC6\xFC\xCB\xDC\xB8\xEC";  // 日本語
    const std::string kana = "\xA4\xA2\xA4\xA4";          // あい
    std::string one = euc + "\r\n" + kana + "\n" + euc + "\r\n";
    std::string two = euc + "\r\n" + euc + "\r\n";
    auto job = Open(File("e1.txt", one), File("e2.txt", two));
    std::vector<std::string> lines;
    for (const JobContentUnit& unit : job->content1) lines.push_back(Units(unit.Text()));
    EXPECT_EQ(lines, (std::vector<std::string>{euc, kana, euc}));
    EXPECT_EQ(Units(job->content1.lineEnd), "\r\n");
    std::vector<uint32_t> kinds;
    for (const JobReportUnit& row : job->rows) kinds.push_back(row.kind);
    EXPECT_EQ(kinds, (std::vector<uint32_t>{RowSame, RowOnly1, RowSame}));
    EXPECT_TRUE(logger.lines.empty());
}

TEST_F(TextKindTest, Utf16LinesStayInMemoryAsUtf16) {
    std::string file = "\xFF\xFE" + Utf16("\xE3\x81\x82\xE3\x81\x84\r\nq\r\n", false);
    auto job = Open(File("u.txt", file), File("v.txt", file));
    ASSERT_EQ(job->content1.Count(), 2);
    // The units as the file holds them (kind 7, little-endian in memory).
    EXPECT_EQ(Units(job->content1.At(0)->Text()), Utf16("\xE3\x81\x82\xE3\x81\x84", false));
    EXPECT_EQ(Units(job->content1.lineEnd), Utf16("\r\n", false));
    EXPECT_EQ(LineBaseData(job->side1)->markKind, 6);
}

// ---------------------------------------------------------------------------
// Limits and failures

TEST_F(TextKindTest, FileOverTheLimitKeepsTheLinesUpToItAndReportsTooLargeFile) {
    OptionScope options;
    options.store.maxTextLoading = 100;
    std::string text;
    for (int i = 0; i < 30; ++i) text += "row " + std::to_string(10 + i) + "\r\n";  // 8 bytes each
    std::wstring path = File("big.txt", text);
    auto job = Open(path, path);
    // Lines start at 0, 8, ..., 96, 104: the line at 104 is the first one at
    // or past 100 and is kept.
    ASSERT_EQ(job->content1.Count(), 14);
    EXPECT_EQ(U8(job->content1.At(13)->Text()), "row 23");
    EXPECT_TRUE(job->content1.flags & ContentCut);
    EXPECT_TRUE(job->content1.flags & ContentRead);
    EXPECT_EQ(job->edit.edit1, 0);
    EXPECT_EQ(job->edit.edit2, 0);
    ASSERT_EQ(logger.lines.size(), 2u);
    EXPECT_EQ(logger.lines[0], Report("TooLargeFile", path));
    ExpectConsistent(*job);
}

TEST_F(TextKindTest, TwoMebibyteFileAtTheDefaultLimit) {
    std::string line(63, 'x');
    line += "\n";
    std::string text;
    for (int i = 0; i < 32768; ++i) text += line;  // 2 MiB, 64 bytes a line
    std::wstring path = File("two.txt", text);
    auto job = Open(path, File("small.txt", "x\n"));
    // The line that starts at byte 1,048,576 is the 16385th.
    EXPECT_EQ(job->content1.Count(), 16385);
    EXPECT_TRUE(job->content1.flags & ContentCut);
    EXPECT_FALSE(job->content2.flags & ContentCut);
    ASSERT_EQ(logger.lines.size(), 1u);
    EXPECT_EQ(logger.lines[0], Report("TooLargeFile", path));
    EXPECT_FALSE(JobLineControl::Shared().SaveFile(*job, ModeSide1));
}

TEST_F(TextKindTest, LongLinesUpToTheLimitLoadWhole) {
    OptionScope options;
    options.store.maxTextLoading = 24 * 1024 * 1024;
    // Longer than the reader's own default bound of 16 MiB.
    std::string longLine(17 * 1024 * 1024, 'q');
    std::wstring path = File("long.txt", longLine + "\r\nend\r\n");
    auto job = Open(path, File("other.txt", "end\r\n"));
    ASSERT_EQ(job->content1.Count(), 2);
    EXPECT_EQ(job->content1.At(0)->Text().Length(), static_cast<int32_t>(longLine.size()));
    EXPECT_EQ(job->content1.flags & (ContentCut | ContentUnreadable), 0);
    EXPECT_TRUE(logger.lines.empty());
}

TEST_F(TextKindTest, LineLongerThanTheLimitIsKeptCutAtTheLimit) {
    OptionScope options;
    options.store.maxTextLoading = 100001;
    // U+00E9 is two bytes in UTF-8: 100001 bytes end inside a character, so
    // the cut line keeps 50000 of them.
    std::string wide;
    for (int i = 0; i < 150000; ++i) wide += "\xC3\xA9";
    const std::vector<std::string> heads[] = {{}, {"first"}};
    for (const std::vector<std::string>& head : heads) {
        SCOPED_TRACE(head.size());
        logger.lines.clear();
        std::string text;
        for (const std::string& line : head) text += line + "\r\n";
        std::wstring path = File("wide.txt", text + wide + "\r\nlast\r\n");
        auto job = Open(path, File("other.txt", "first\r\n"));
        EXPECT_TRUE(job->content1.flags & ContentCut);
        std::vector<std::string> expected = head;
        expected.push_back(wide.substr(0, 100000));
        EXPECT_EQ(Lines(*job, 0), expected);
        EXPECT_EQ(job->edit.edit1, 0);
        EXPECT_EQ(logger.lines, (std::vector<std::string>{Report("TooLargeFile", path)}));
        ExpectConsistent(*job);
    }
}

TEST_F(TextKindTest, ReaderFailureIsReportedAsReadError) {
    // A UTF-16 file whose last unit is cut in half.
    std::wstring path = File("odd.txt", "\xFF\xFE" + Utf16("ok\r\nfine\r\n", false) + "x");
    auto job = Open(path, File("b.txt", "ok\r\n"));
    EXPECT_TRUE(job->content1.flags & ContentUnreadable);
    EXPECT_EQ(Lines(*job, 0), (std::vector<std::string>{"ok", "fine"}));
    EXPECT_EQ(job->edit.edit1, 0);
    EXPECT_EQ(job->edit.edit2, 1);
    ASSERT_EQ(logger.lines.size(), 1u);
    EXPECT_EQ(logger.lines[0], Report("ReadError", path));
}

TEST_F(TextKindTest, StrayZeroByteInEightBitTextReadsAsItsBytes) {
    // LF-only 7-bit text with one zero byte anywhere: the zero votes for
    // UTF-16, which the file cannot be read as; read as 8-bit text, every
    // byte comes back in its line.
    std::mt19937 random(10);
    for (int round = 0; round < 300; ++round) {
        std::string bytes;
        const int lines = 1 + static_cast<int>(random() % 6);
        for (int i = 0; i < lines; ++i) {
            const int length = static_cast<int>(random() % 12);
            for (int j = 0; j < length; ++j) bytes += static_cast<char>('a' + random() % 26);
            if (i + 1 < lines || random() % 2) bytes += '\n';
        }
        bytes.insert(random() % (bytes.size() + 1), 1, '\0');
        // An odd count of bytes, which no UTF-16 text can have.
        if (bytes.size() % 2 == 0) bytes += 'q';
        SCOPED_TRACE(::testing::PrintToString(bytes));
        logger.lines.clear();
        auto job = Open(File("zero.txt", bytes), File("b.txt", "a\n"));
        EXPECT_TRUE(logger.lines.empty());
        EXPECT_FALSE(job->content1.flags & ContentUnreadable);
        EXPECT_NE(job->content1.encodingKind, uint32_t(RawLayer::KindUtf16LE));
        EXPECT_NE(job->content1.encodingKind, uint32_t(RawLayer::KindUtf16BE));
        std::string joined;
        for (const JobContentUnit& unit : job->content1) {
            const RawString& text = static_cast<const JobLineUnit&>(unit).LineText();
            joined.append(text.Bytes(), static_cast<size_t>(text.Length()));
            joined += '\n';
        }
        std::string expected = bytes;
        if (expected.empty() || expected.back() != '\n') expected += '\n';
        EXPECT_EQ(joined, expected);
    }
}

TEST_F(TextKindTest, OpenAndKindFailures) {
    struct Case {
        const char* name;
        std::wstring path;
        uint16_t flag;
        const char* key;  // null: nothing reported
    };
    std::wstring locked = File("locked.txt", "a\r\n");
    HANDLE hold = CreateFileW(locked.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(hold, INVALID_HANDLE_VALUE);
    std::vector<Case> cases = {
        {"empty path", L"", ContentNoFile, nullptr},
        {"missing", folder.Join(L"nothing.txt"), ContentNoFile, nullptr},
        {"folder", folder.Path(), ContentUnreadable, "DifferentKindError"},
        {"locked", locked, ContentUnreadable, "ReadOpenError"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        logger.lines.clear();
        auto job = Open(c.path, File("b.txt", "a\r\n"));
        EXPECT_TRUE(job->content1.flags & c.flag);
        EXPECT_FALSE(job->content1.flags & ContentRead);
        EXPECT_EQ(job->content1.Count(), 0);
        EXPECT_EQ(job->edit.edit1, 0);
        EXPECT_EQ(job->side1.cursorRow, -1);
        EXPECT_EQ(Rows(*job), (std::vector<std::string>{"2:-|a"}));
        if (c.key) {
            ASSERT_EQ(logger.lines.size(), 1u);
            EXPECT_EQ(logger.lines[0], Report(c.key, c.path));
        } else {
            EXPECT_TRUE(logger.lines.empty());
        }
    }
    CloseHandle(hold);
}

TEST_F(TextKindTest, ReloadKeepsHighFlagsAndResetsTheRest) {
    std::wstring path = File("a.txt", "x\r\ny\r\n");
    auto job = Open(path, path);
    job->content1.flags = static_cast<uint16_t>(job->content1.flags | 0x1000 | ContentChanged);
    job->side1.cursorRow = 1;
    JobLineBaseData* data = LineBaseData(job->side1);
    data->undo.Push(JobUndoDataUnit());
    EXPECT_EQ(job->controller->Load(*job, ModeSide1), uint32_t(TextFullRefresh));
    EXPECT_EQ(job->content1.flags, 0x1000 | ContentRead);
    EXPECT_EQ(LineBaseData(job->side1), data);
    EXPECT_EQ(data->undo.Count(), 0);
    EXPECT_EQ(job->side1.cursorRow, 0);
    EXPECT_EQ(job->content1.header, &TextHeaderUnit());
    EXPECT_TRUE(TextHeaderUnit().flags & UnitTitlesFilled);
    EXPECT_TRUE(TextHeaderUnit().flags & UnitHeader);
    ExpectConsistent(*job);
}

TEST_F(TextKindTest, SaveWritesAChangedSideBack) {
    // Saving itself (backups, failures) is covered by text_save_test.
    std::wstring path = File("a.txt", "x\r\n");
    JobBackupList::Instance().SetOptions(W(folder.Join(L"Backups")), 10, false);
    auto job = Open(path, path);
    job->content1.flags = static_cast<uint16_t>(job->content1.flags | ContentChanged);
    EXPECT_TRUE(job->controller->SaveFile(*job, ModeBoth));
    EXPECT_FALSE(job->content1.flags & ContentChanged);
    EXPECT_EQ(TestSupport::ReadFileBytes(path), TestSupport::Bytes("x\r\n"));
}

TEST_F(TextKindTest, PoolHandsOutTheTextController) {
    JobKindPool pool;
    EXPECT_TRUE(pool.HasKind(JobKindType::FromKind(KindText)));
    EXPECT_EQ(pool.CreateControl(JobKindType::FromKind(KindText)), &JobLineControl::Shared());
}

// ---------------------------------------------------------------------------
// Marks

int32_t RowOf(const JobGroupUnit& job, uint32_t side, const std::string& text) {
    int32_t index = 0;
    for (const JobReportUnit& row : job.rows) {
        if (!row.Unit(side)->IsPlaceholder() && U8(row.Unit(side)->Text()) == text) return index;
        ++index;
    }
    return -1;
}
JobContentUnit* LineOf(JobGroupUnit& job, uint32_t side, const std::string& text) {
    for (JobContentUnit& unit : job.Content(side))
        if (U8(unit.Text()) == text) return &unit;
    return nullptr;
}
void MarkRows(JobGroupUnit& job, const std::vector<int32_t>& rows) {
    for (JobReportUnit& row : job.rows) row.flags &= ~static_cast<uint32_t>(RowMarked);
    for (int32_t r : rows) job.rows.At(r)->flags |= RowMarked;
}

TEST_F(TextKindTest, ConnectMarksSteerThePairing) {
    auto job = Open(File("a.txt", "apple pie\r\nbanana split\r\ncherry tart\r\n"),
                    File("b.txt", "zzz 1\r\nyyy 2\r\nxxx 3\r\n"));
    // Connect "cherry tart" (side 1, the marked row) with "zzz 1" (side 2's
    // cursor row).
    job->side2.cursorRow = RowOf(*job, 1, "zzz 1");
    job->side2.cursorColumn = 2;
    job->side1.anchorRow = 0;
    MarkRows(*job, {RowOf(*job, 0, "cherry tart")});
    ASSERT_TRUE(job->controller->ConnectLines(*job, job->side2.cursorRow, 0, ConnectModeConnect));
    JobContentUnit* cherry = LineOf(*job, 0, "cherry tart");
    JobContentUnit* zzz = LineOf(*job, 1, "zzz 1");
    EXPECT_EQ(cherry->markKind, MarkConnect);
    EXPECT_EQ(zzz->markKind, MarkConnect);
    EXPECT_EQ(cherry->markSerial, zzz->markSerial);
    EXPECT_EQ(job->side2.anchorRow, job->side2.cursorRow);
    EXPECT_EQ(job->side2.anchorColumn, 2);
    EXPECT_EQ(job->side1.anchorRow, job->side1.cursorRow);

    job->controller->Compare(*job);
    EXPECT_EQ(Rows(*job), (std::vector<std::string>{"1:apple pie|-", "1:banana split|-",
                                                    "3:cherry tart|zzz 1", "2:-|yyy 2",
                                                    "2:-|xxx 3"}));
    ExpectConsistent(*job);

    // Disconnect: the marks go, the next compare pairs by position again.
    MarkRows(*job, {RowOf(*job, 0, "cherry tart")});
    EXPECT_TRUE(job->controller->DisconnectLines(*job));
    EXPECT_EQ(cherry->markKind, MarkNone);
    EXPECT_EQ(zzz->markKind, MarkNone);
    EXPECT_FALSE(job->controller->DisconnectLines(*job));
    job->controller->Compare(*job);
    EXPECT_EQ(RowOf(*job, 0, "apple pie"), RowOf(*job, 1, "zzz 1"));
}

TEST_F(TextKindTest, ConnectNeedsRealLinesOnBothSides) {
    auto job = Open(File("a.txt", "same\r\nonly one\r\n"), File("b.txt", "same\r\n"));
    job->side2.cursorRow = 1;  // side 2 has no line in row 1
    MarkRows(*job, {0});
    EXPECT_FALSE(job->controller->ConnectLines(*job, 1, 0, ConnectModeConnect));
    job->side2.cursorRow = 0;
    MarkRows(*job, {});
    EXPECT_FALSE(job->controller->ConnectLines(*job, 0, 0, ConnectModeConnect));
    EXPECT_FALSE(job->controller->ConnectLines(*job, 0, 0, 5));
    for (uint32_t s = 0; s < 2; ++s)
        for (const JobContentUnit& unit : job->Content(s)) EXPECT_EQ(unit.markKind, MarkNone);
}

TEST_F(TextKindTest, FloatGroupAttachesToItsTargetAndConnectDissolvesIt) {
    auto job = Open(File("a.txt", "one\r\ntwo\r\nthree\r\nfour\r\nfive\r\n"),
                    File("b.txt", "one\r\ntwo\r\nthree\r\nfour\r\nfive\r\n"));
    // Float "two", "three", "four" of side 1 onto "five" of side 2.
    job->side2.cursorRow = RowOf(*job, 1, "five");
    MarkRows(*job, {1, 2, 3});
    ASSERT_TRUE(job->controller->ConnectLines(*job, job->side2.cursorRow, 0, ConnectModeFloat));
    uint32_t serial = LineOf(*job, 1, "five")->markSerial;
    EXPECT_EQ(LineOf(*job, 1, "five")->markKind, MarkFloatAnchor);
    for (const char* t : {"two", "three", "four"}) {
        EXPECT_EQ(LineOf(*job, 0, t)->markKind, MarkFloat) << t;
        EXPECT_EQ(LineOf(*job, 0, t)->markSerial, serial) << t;
    }
    EXPECT_EQ(LineOf(*job, 0, "one")->markKind, MarkNone);
    job->controller->Compare(*job);
    // The floated lines stand where the anchor stands.
    int32_t anchorRow = RowOf(*job, 1, "five");
    EXPECT_EQ(RowOf(*job, 0, "two"), anchorRow);
    EXPECT_EQ(RowOf(*job, 0, "three"), anchorRow + 1);
    EXPECT_EQ(RowOf(*job, 0, "four"), anchorRow + 2);
    ExpectConsistent(*job, false);

    // Connecting one line of the group dissolves the whole group.
    job->side2.cursorRow = RowOf(*job, 1, "one");
    MarkRows(*job, {RowOf(*job, 0, "three")});
    ASSERT_TRUE(job->controller->ConnectLines(*job, job->side2.cursorRow, 0, ConnectModeConnect));
    EXPECT_EQ(LineOf(*job, 0, "three")->markKind, MarkConnect);
    EXPECT_EQ(LineOf(*job, 0, "two")->markKind, MarkNone);
    EXPECT_EQ(LineOf(*job, 0, "four")->markKind, MarkNone);
    EXPECT_EQ(LineOf(*job, 1, "five")->markKind, MarkNone);

    // Floating with no marked row does nothing.
    MarkRows(*job, {});
    EXPECT_FALSE(job->controller->ConnectLines(*job, 0, 0, ConnectModeFloat));
}

TEST(TextKindMarks, ClearLineMarkOfKindZeroDoesNothing) {
    JobGroupUnit job{JobKindType::FromKind(KindText), &JobLineControl::Shared()};
    JobLineUnit* a = new JobLineUnit(RawString::FromText("a"));
    JobLineUnit* b = new JobLineUnit(RawString::FromText("b"));
    job.content1.Add(a);
    job.content2.Add(b);
    a->markSerial = b->markSerial = 7;
    b->markKind = MarkConnect;
    EXPECT_FALSE(ClearLineMark(job, *a));
    EXPECT_EQ(b->markKind, MarkConnect);
    EXPECT_TRUE(ClearLineMark(job, *b));
    EXPECT_EQ(b->markKind, MarkNone);
    EXPECT_EQ(b->markSerial, 7u);
}

// ---------------------------------------------------------------------------
// Line primitives

TEST_F(TextKindTest, InsertLineBeforeFillsAPlaceholderOrAddsARow) {
    auto job = Open(File("a.txt", "a\r\nc\r\n"), File("b.txt", "a\r\nb\r\nc\r\n"));
    ASSERT_EQ(Rows(*job), (std::vector<std::string>{"0:a|a", "2:-|b", "0:c|c"}));
    // Before "c" of side 1: the row of "b" has no line on side 1 and takes it.
    EXPECT_EQ(InsertRowPosition(*job, 1, 0), 1);
    EXPECT_EQ(InsertLineBefore(*job, 1, 0), 1);
    EXPECT_TRUE(job->content1.flags & ContentChanged);
    EXPECT_TRUE(job->rows.At(1)->flags & RowEdited);
    RefreshEditedRows(*job);
    EXPECT_EQ(Rows(*job), (std::vector<std::string>{"0:a|a", "3:|b", "0:c|c"}));
    EXPECT_FALSE(job->content1.flags & ContentNumbering);
    EXPECT_TRUE(job->flags & JobChanged);
    ExpectConsistent(*job);

    // Before "a" of side 2: no free row, a new one-sided row goes first.
    EXPECT_EQ(InsertLineBefore(*job, 0, 1), 0);
    RefreshEditedRows(*job);
    EXPECT_EQ(Rows(*job), (std::vector<std::string>{"2:-|", "0:a|a", "3:|b", "0:c|c"}));
    ExpectConsistent(*job);

    // At the end (an index outside the side).
    EXPECT_EQ(InsertLineBefore(*job, -1, 0), 4);
    RefreshEditedRows(*job);
    EXPECT_EQ(Rows(*job).back(), "1:|-");
    ExpectConsistent(*job);
}

TEST_F(TextKindTest, InsertLineBeforeIntoAnEmptySide) {
    auto job = Open(File("a.txt", ""), File("b.txt", "x\r\ny\r\n"));
    ASSERT_EQ(Rows(*job), (std::vector<std::string>{"2:-|x", "2:-|y"}));
    EXPECT_EQ(InsertRowPosition(*job, -1, 0), 0);
    EXPECT_EQ(InsertLineBefore(*job, -1, 0), 0);
    RefreshEditedRows(*job);
    EXPECT_EQ(Rows(*job), (std::vector<std::string>{"3:|x", "2:-|y"}));
    ExpectConsistent(*job);
}

TEST_F(TextKindTest, InsertLineAfterAndRemoveLine) {
    auto job = Open(File("a.txt", "a\r\nc\r\n"), File("b.txt", "a\r\nb\r\nc\r\n"));
    JobContentUnit* a1 = job->content1.At(0);
    JobLineUnit* fresh = InsertLineAfter(*job, 0, a1, 0);
    ASSERT_NE(fresh, nullptr);
    EXPECT_EQ(job->content1.IndexOf(fresh), 1);
    EXPECT_EQ(job->rows.At(1)->unit1, fresh);
    RefreshEditedRows(*job);
    ExpectConsistent(*job);

    // After "a" again: the next row now has a line, so a new row comes.
    ASSERT_NE(InsertLineAfter(*job, 0, a1, 0), nullptr);
    RefreshEditedRows(*job);
    EXPECT_EQ(Rows(*job), (std::vector<std::string>{"0:a|a", "1:|-", "3:|b", "0:c|c"}));
    ExpectConsistent(*job);

    // A unit of the other side, and the placeholder, are refused.
    EXPECT_EQ(InsertLineAfter(*job, 0, job->content2.At(0), 0), nullptr);
    EXPECT_FALSE(RemoveLine(*job, 1, &EmptyLineUnit(), 0));
    EXPECT_FALSE(RemoveLine(*job, 0, job->content2.At(0), 0));

    // Removing the only line of a one-sided row removes the row.
    ASSERT_TRUE(RemoveLine(*job, 1, job->rows.At(1)->unit1, 0));
    RefreshEditedRows(*job);
    EXPECT_EQ(Rows(*job), (std::vector<std::string>{"0:a|a", "3:|b", "0:c|c"}));
    ExpectConsistent(*job);

    // Removing one side of a pair leaves a one-sided row of the other side.
    ASSERT_TRUE(RemoveLine(*job, 2, job->rows.At(2)->unit2, 1));
    RefreshEditedRows(*job);
    EXPECT_EQ(Rows(*job), (std::vector<std::string>{"0:a|a", "3:|b", "1:c|-"}));
    EXPECT_TRUE(job->content2.flags & ContentChanged);
    ExpectConsistent(*job);

    // A wrong row hint still finds the line's row.
    ASSERT_TRUE(RemoveLine(*job, 0, job->content1.At(2), 0));
    RefreshEditedRows(*job);
    EXPECT_EQ(Rows(*job), (std::vector<std::string>{"0:a|a", "3:|b"}));
    ExpectConsistent(*job);
}

TEST_F(TextKindTest, RandomPrimitivesKeepRowsAndNumbersConsistent) {
    auto job = Open(File("a.txt", Numbered(1, 12)), File("b.txt", Numbered(4, 18)));
    std::mt19937 random(12345);
    for (int step = 0; step < 400; ++step) {
        uint32_t side = random() % 2;
        JobContentList& content = job->Content(side);
        int32_t count = content.Count();
        switch (random() % 3) {
            case 0:
                InsertLineBefore(*job, count ? static_cast<int32_t>(random() % (count + 1)) - 1 : -1, side);
                break;
            case 1:
                if (count) {
                    JobContentUnit* unit = content.At(static_cast<int32_t>(random() % count));
                    int32_t row = JobGroupUnit::RowOfUnit(job.get(), side, content.IndexOf(unit));
                    ASSERT_NE(InsertLineAfter(*job, row, unit, side), nullptr);
                }
                break;
            default:
                if (count) {
                    JobContentUnit* unit = content.At(static_cast<int32_t>(random() % count));
                    ASSERT_TRUE(RemoveLine(*job, static_cast<int32_t>(random() % 5), unit, side));
                }
                break;
        }
        RefreshEditedRows(*job);
        ExpectConsistent(*job);
        if (HasFailure()) {
            ADD_FAILURE() << "at step " << step;
            return;
        }
    }
    // A compare afterwards starts from the edited sides without trouble.
    job->controller->Compare(*job);
    ExpectConsistent(*job);
}

}  // namespace
