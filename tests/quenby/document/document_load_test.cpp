// Loading documents from real files: one sample in every encoding and line
// end, lines cut inside a character, missing paths, reloads, mark
// characters in the file and lines with many links.
// RUN_UNDER_BOTH_CODE_PAGES
#include "quenby/document/document_reader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/encoding.h"
#include "tests/quenby/document/document_support.h"

using namespace DocLayer;
using DocumentTest::Bytes;
using DocumentTest::CheckMarks;
using DocumentTest::LoadBytes;
using DocumentTest::Lines;
using DocumentTest::U8;
using DocumentTest::Visible;

namespace {

const char kSample[] =
    "# 見出し Title\n"
    "Intro with **bold**, a [link](a.md) and ![pic](p.png).\n"
    "continued 日本語 line\n"
    "\n"
    "表[docs](a.md)\n"
    "\n"
    "Setext 見出し\n"
    "----------\n"
    "- bullet one\n"
    "  - nested 二\n"
    "1. numbered\n"
    "2. second\n"
    "- [x] task\n"
    "\n"
    "    indented code 表\n"
    "\n"
    "```\n"
    "  fenced 表 code\n"
    "```\n"
    "| ポ | b |\n"
    "|-|-|\n"
    "| 表 | [d](d.md) |\n"
    "\n"
    "@TOC:2:3:目次\n"
    "@Align:Center\n"
    "centered 段落\n"
    "@PageBreak\n"
    "<div class=\"pagebreak\"></div>\n"
    "***\n"
    "> quoted 引用\n"
    "> > deeper\n";

std::vector<std::string> Describe(JobFileUnit& doc) { return DocumentTest::Describe(doc, true); }

std::string Encode(const std::string& utf8, uint8_t kind) {
    std::wstring wide = TestSupport::Wide(utf8);
    RawString out;
    EXPECT_TRUE(RawLayer::ConvertFromUtf16(kind, wide.data(), static_cast<int32_t>(wide.size()), out));
    return std::string(out.Bytes(), static_cast<size_t>(out.Length()));
}

std::string WithLineEnds(const std::string& text, const char* end) {
    std::string out;
    for (char c : text) {
        if (c == '\n') out += end;
        else out += c;
    }
    return out;
}

}  // namespace

TEST(DocumentLoadTest, EveryEncodingAndLineEndReadsTheSame) {
    TestSupport::TempFolder folder;
    auto base = LoadBytes(folder, kSample);
    std::vector<std::string> expected = Describe(*base);
    ASSERT_EQ(31u, expected.size());
    // A few readings of the sample, so that the comparison compares a good one.
    std::vector<JobLineUnit*> lines = Lines(*base);
    EXPECT_EQ(KindHeading, lines[0]->kind);
    EXPECT_EQ("見出し Title", Bytes(lines[0]->text));
    EXPECT_EQ("Intro with {b}bold{B}, a {l2}link{L} and {m1}{M}. continued 日本語 line", Visible(lines[1]->text));
    EXPECT_EQ(KindHeading, lines[6]->kind);
    EXPECT_EQ(KindIndentedCode, lines[14]->kind);
    EXPECT_EQ("  fenced 表 code", Bytes(lines[17]->text));
    EXPECT_EQ(KindToc, lines[23]->kind);
    EXPECT_EQ(2, lines[29]->kind == KindParagraph ? 2 : 0);
    // The double-byte traps: one link labelled "docs", one row of two cells.
    ASSERT_EQ(1, lines[4]->links.Count());
    EXPECT_EQ("docs", Bytes(lines[4]->links.First()->text));
    EXPECT_EQ("表{l1}docs{L}", Visible(lines[4]->text));
    EXPECT_EQ(KindTableRow, lines[19]->kind);
    EXPECT_EQ("ポ\tb", Bytes(lines[19]->text));
    EXPECT_EQ("表\t{l1}d{L}", Visible(lines[21]->text));

    struct Form {
        const char* name;
        std::string bytes;
    };
    const char* ends[] = {"\r\n", "\n", "\r"};
    for (const char* end : ends) {
        std::string text = WithLineEnds(kSample, end);
        std::string le = Encode(text, RawLayer::KindUtf16LE);
        std::string be = Encode(text, RawLayer::KindUtf16BE);
        const Form forms[] = {
            {"UTF-8", text},
            {"UTF-8 with mark", "\xEF\xBB\xBF" + text},
            {"UTF-16LE", "\xFF\xFE" + le},
            {"UTF-16BE", "\xFE\xFF" + be},
            {"UTF-16LE without mark", le},
            {"UTF-16BE without mark", be},
            {"Shift_JIS", Encode(text, RawLayer::KindSjis)},
            {"EUC-JP", Encode(text, RawLayer::KindEucJp)},
        };
        for (const Form& form : forms) {
            auto doc = LoadBytes(folder, form.bytes);
            EXPECT_EQ(expected, Describe(*doc)) << form.name << " with line end " << int(end[0]) << "/" << int(end[1]);
        }
    }
}

TEST(DocumentLoadTest, CutLastCharactersMissingPathsAndFolders) {
    TestSupport::TempFolder folder;
    auto utf8 = LoadBytes(folder, "# a\nend \xE6\x97");
    ASSERT_EQ(2, utf8->Count());
    EXPECT_EQ("end \xEF\xBF\xBD", Bytes(utf8->Last()->text));

    auto utf16 = LoadBytes(folder, std::string("\xFF\xFE" "#\0 \0a\0\n\0x\0y\0z", 15));
    ASSERT_EQ(2, utf16->Count());
    EXPECT_EQ("xy\xEF\xBF\xBD", Bytes(utf16->Last()->text));

    auto sjis = LoadBytes(folder, "# a \x95\x5C\n\x95");
    ASSERT_EQ(2, sjis->Count());
    EXPECT_EQ("a 表", Bytes(sjis->First()->text));
    EXPECT_EQ("\xEF\xBF\xBD", Bytes(sjis->Last()->text));

    auto missing = DocumentTest::NewDocument(folder.Join(L"none.md"));
    LoadDocumentLines(*missing);
    EXPECT_EQ(0, missing->Count());
    auto onFolder = DocumentTest::NewDocument(folder.Path());
    LoadDocumentLines(*onFolder);
    EXPECT_EQ(0, onFolder->Count());
    auto noPath = DocumentTest::NewDocument(L"");
    LoadDocumentLines(*noPath);
    EXPECT_EQ(0, noPath->Count());
}

TEST(DocumentLoadTest, ReloadStartsAfresh) {
    TestSupport::TempFolder folder;
    std::wstring path = folder.Join(L"r.md");
    ASSERT_TRUE(TestSupport::WriteFileBytes(path, std::string("@Align:Right\npara\n```\ncode\n")));
    auto doc = DocumentTest::NewDocument(path);
    LoadDocumentLines(*doc);
    std::vector<std::string> first = Describe(*doc);
    EXPECT_EQ("1:07:0:0:0:0:para [] p6=4 p7=0", first[1]);
    EXPECT_TRUE(doc->style.FenceOpen());
    LoadDocumentLines(*doc);
    EXPECT_EQ(first, Describe(*doc));

    ASSERT_TRUE(TestSupport::WriteFileBytes(path, std::string("# New\n[l](n.md)\n")));
    LoadDocumentLines(*doc);
    std::vector<std::string> second = Describe(*doc);
    ASSERT_EQ(2u, second.size());
    EXPECT_EQ("2:18:1:0:0:0:New []", second[0]);
    EXPECT_EQ(1, doc->Last()->links.Count());
    EXPECT_EQ(Bytes(TestSupport::W(folder.Join(L"n.md"))), Bytes(FindMarkerPair(*doc->Last())));
    EXPECT_TRUE(doc->Params().IsEmpty());
    EXPECT_FALSE(doc->style.FenceOpen());
}

// Mark characters in the file never reach a display text as marks.
TEST(DocumentLoadTest, MarkCharactersOfTheFileAreBlanks) {
    TestSupport::TempFolder folder;
    auto doc = LoadBytes(folder,
                         "a\x1E" "b **c**\x1F d [x](y)\n"
                         "# \x1Fh\x1E\n"
                         "\n"
                         "    co\x1E" "de\n"
                         "@TOC:1:1:t\x1F" "x\n"
                         "```\n"
                         "f\x1E\n"
                         "```\n"
                         "| \x1E | b |\n"
                         "|-|-|\n"
                         "- [\x1E] t\n");
    int marked = 0;
    for (JobLineUnit* line : Lines(*doc)) {
        CheckMarks(*line, Bytes(line->rawText));
        marked += !line->links.IsEmpty();
    }
    EXPECT_EQ(1, marked);
    std::vector<JobLineUnit*> lines = Lines(*doc);
    EXPECT_EQ("a b {b}c{B}  d {l1}x{L}", Visible(lines[0]->text));
    EXPECT_EQ("a\x1E" "b **c**\x1F d [x](y)", Bytes(lines[0]->rawText));
    EXPECT_EQ("h", Bytes(lines[1]->text));
    EXPECT_EQ("co de", Bytes(lines[3]->text));
    EXPECT_EQ("t x", Bytes(lines[4]->text));
    EXPECT_EQ("f ", Bytes(lines[6]->text));
    EXPECT_EQ("\tb", Bytes(lines[8]->text));
    EXPECT_EQ(" ", Bytes(lines[10]->params.Find(ParamTaskMark).text));
}

// Serials that equal a tab, a line end, a quote, '*', '<', '[' or '\' as one
// unit, and serials past 255, are all written as digits.
TEST(DocumentLoadTest, ManyLinksOnALineAndInATableRow) {
    TestSupport::TempFolder folder;
    std::string line, header = "|", delimiter = "|", row = "|";
    for (int k = 1; k <= 300; ++k) line += "[t" + std::to_string(k) + "](f" + std::to_string(k) + ".md) ";
    for (int k = 1; k <= 10; ++k) {
        header += " h |";
        delimiter += "-|";
        row += " [c" + std::to_string(k) + "](c" + std::to_string(k) + ".md) |";
    }
    auto doc = LoadBytes(folder, line + "\n\n" + header + "\n" + delimiter + "\n" + row + "\n");
    std::vector<JobLineUnit*> lines = Lines(*doc);
    std::vector<int32_t> serials = CheckMarks(*lines[0], "long line");
    ASSERT_EQ(300u, serials.size());
    for (int k = 1; k <= 300; ++k) {
        ASSERT_EQ(k, serials[k - 1]);
        const JobLinkDataUnit* unit = lines[0]->links.FindSerial(k);
        ASSERT_TRUE(unit);
        EXPECT_EQ("t" + std::to_string(k), Bytes(unit->text));
        EXPECT_EQ(Bytes(TestSupport::W(folder.Join(L"f" + std::to_wstring(k) + L".md"))), Bytes(unit->target));
    }
    JobLineUnit& tableRow = *lines[4];
    ASSERT_EQ(KindTableRow, tableRow.kind);
    std::vector<int32_t> rowSerials = CheckMarks(tableRow, "row");
    EXPECT_EQ(10u, rowSerials.size());
    std::string text = Bytes(tableRow.text);
    std::vector<std::string> cells;
    size_t start = 0;
    for (size_t tab; (tab = text.find('\t', start)) != std::string::npos; start = tab + 1)
        cells.push_back(text.substr(start, tab - start));
    cells.push_back(text.substr(start));
    ASSERT_EQ(10u, cells.size());
    for (int k = 1; k <= 10; ++k) {
        EXPECT_EQ("{l" + std::to_string(k) + "}c" + std::to_string(k) + "{L}", Visible(U8(cells[k - 1])));
        EXPECT_EQ(Bytes(TestSupport::W(folder.Join(L"c" + std::to_wstring(k) + L".md"))),
                  Bytes(tableRow.links.FindSerial(k)->target));
    }
}
