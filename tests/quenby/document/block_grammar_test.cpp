// The block grammar of the reader, by construct: each document is written
// to a real file and loaded, and every line's kind, flags, level, number,
// display text and parameters are compared.
#include "quenby/document/document_reader.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <utility>
#include <vector>

#include "tests/quenby/document/document_support.h"

using namespace DocLayer;
using DocumentTest::Bytes;
using DocumentTest::Describe;
using DocumentTest::LoadBytes;
using DocumentTest::Lines;
using DocumentTest::U8;
using DocumentTest::Visible;

namespace {

struct Case {
    const char* document;
    std::vector<std::string> lines;
};

void Check(const std::vector<Case>& cases, const char* prefix = "@", const char* suffix = "") {
    TestSupport::TempFolder folder;
    for (const Case& c : cases) {
        auto doc = LoadBytes(folder, c.document, prefix, suffix);
        EXPECT_EQ(c.lines, Describe(*doc)) << c.document;
    }
}

}  // namespace

TEST(BlockGrammarTest, HeadingsRulesBulletsAndParagraphs) {
    Check({
        {"#Title", {"1:07:0:0:#Title p6=0 p7=0"}},
        {"# Title ##", {"2:18:1:0:Title"}},
        // A closing run counts only after a blank; one that ends a word stays.
        {"# Using C#", {"2:18:1:0:Using C#"}},
        {"## F# and C# ##  ", {"2:18:2:0:F# and C#"}},
        // Words after '*' or '_' marks make text, not a rule.
        {"*** Note ***", {"1:07:0:0:{d} Note {D} p6=0 p7=0"}},
        {"_ _ _ x", {"1:07:0:0:_ _ _ x p6=0 p7=0"}},
        {"####### x", {"2:18:6:0:x"}},
        {"--- text", {"3:18:0:0:"}},
        {"- - -", {"3:18:0:0:"}},
        {"-- x", {"1:07:0:0:-- x p6=0 p7=0"}},
        {"+item", {"1:07:0:0:+item p6=0 p7=0"}},
        {"_ x", {"1:07:0:0:_ x p6=0 p7=0"}},
        {"***Note***", {"1:07:0:0:{d}Note{D} p6=0 p7=0"}},
        {"___x___\n* * *", {"1:07:0:0:___x___ p6=0 p7=0", "3:18:0:0:"}},
        {"~~struck~~ text", {"1:07:0:0:{s}struck{S} text p6=0 p7=0"}},
        {"~text", {"1:07:0:0:~text p6=0 p7=0"}},
        {"3.14 is pi", {"1:07:0:0:3.14 is pi p6=0 p7=0"}},
        {"123", {"1:07:0:0:123 p6=0 p7=0"}},
        {"1.Item", {"5:27:1:1:Item"}},
        {"* item", {"4:27:1:0:item"}},
    });
}

TEST(BlockGrammarTest, TaskMarksNumberingAndLevels) {
    Check({
        {"- [ ] task\n- [x] done\n- [x]done",
         {"4:25:1:0:task p5= ", "4:24:1:1:done p5=x", "4:26:1:2:[x]done"}},
        {"1. a\n2. b", {"5:25:1:1:a", "5:26:1:2:b"}},
        {"- a\n  - b\n    - c\n  - d", {"4:25:1:0:a", "4:24:2:0:b", "4:24:3:0:c", "4:26:2:1:d"}},
        {"- a\n# H\n- b", {"4:27:1:0:a", "2:18:1:0:H", "4:27:1:0:b"}},
        {"- a\n1. b", {"4:25:1:0:a", "5:26:1:1:b"}},
        // Setext, with and without a trailing blank on the underline.
        {"Title\n==\nText", {"2:18:1:0:Title", "0:40:0:0:", "1:07:0:0:Text p6=0 p7=0"}},
        {"Title\n== ", {"1:07:0:0:Title == p6=0 p7=0", "0:00:0:0:"}},
        {"Sub\n---", {"2:18:2:0:Sub", "0:40:0:0:"}},
        // A hard break keeps the next line a line of its own in the block.
        {"one  \ntwo", {"1:0d:0:0:one p6=0 p7=0", "1:06:0:0:two p6=0 p7=0"}},
    });
}

TEST(BlockGrammarTest, Tables) {
    Check({
        {"| a | b |\n|:-|-:|\n| c | d |", {"8:0d:2:0:a\tb", "0:40:0:0:", "8:0e:2:0:c\td"}},
        {"| a |\n|:-:|", {"8:0f:1:0:a", "0:40:0:0:"}},
        {"|  | b |\n|-|-|", {"8:0f:2:0:\tb", "0:40:0:0:"}},
        {"| a | b |\n|-|-|\n| x | y", {"8:0d:2:0:a\tb", "0:40:0:0:", "8:0e:2:0:x\ty"}},
        {"| a | b |\n|-|-|\n| x |", {"8:0d:2:0:a\tb", "0:40:0:0:", "8:0e:2:0:x\t"}},
        {"| a | b |\n|-|", {"1:07:0:0:| a | b | |-| p6=0 p7=0", "0:00:0:0:"}},
        {"| [a](a.md) | **b** |\n|-|-|", {"8:0f:2:0:{l1}a{L}\t{b}b{B}", "0:40:0:0:"}},
    });
    TestSupport::TempFolder folder;
    auto doc = LoadBytes(folder, "| a | b |\n|:-|-:|\n| c | d |\n\n| e |\n|-|");
    std::vector<JobLineUnit*> lines = Lines(*doc);
    EXPECT_EQ("LR", Bytes(lines[0]->alignment));
    EXPECT_EQ("LR", Bytes(lines[2]->alignment));
    EXPECT_EQ(2, lines[0]->cellWidths.Count());
    EXPECT_EQ(&lines[0]->cellWidths, lines[0]->tableWidths);
    EXPECT_EQ(&lines[0]->cellWidths, lines[2]->tableWidths);
    EXPECT_EQ(&lines[4]->cellWidths, lines[4]->tableWidths);  // a new table after the empty line
    EXPECT_EQ("L", Bytes(lines[4]->alignment));
}

TEST(BlockGrammarTest, IndentedCode) {
    Check({
        {"    a\n\n    b", {"6:1b:0:0:a", "0:00:0:0:", "6:0b:0:0:b"}},
        {"    a\n\tb", {"6:09:0:0:a", "6:0a:0:0:b"}},
        {"    x... y", {"6:8b:0:0:x... y"}},
        // After an open paragraph an indented line is its continuation.
        {"p\n    q", {"1:07:0:0:p q p6=0 p7=0", "0:00:0:0:"}},
        // Four columns counted after the quote markers.
        {"# H\n>     code\n> >     deep", {"2:18:1:0:H", "6:0b:0:0:code", "6:0b:0:0:deep"}},
        // A line of blanks is an empty line, not code.
        {"# H\n        \nx", {"2:18:1:0:H", "0:00:0:0:", "1:07:0:0:x p6=0 p7=0"}},
    });
    TestSupport::TempFolder folder;
    auto doc = LoadBytes(folder, "    a\n    b\n\n    c\n    x... y");
    std::vector<JobLineUnit*> lines = Lines(*doc);
    EXPECT_EQ(lines[0]->block.Get(), lines[1]->block.Get());
    EXPECT_NE(lines[1]->block.Get(), lines[3]->block.Get());
    EXPECT_EQ(lines[3]->block.Get(), lines[4]->block.Get());
    EXPECT_EQ(1u, lines[0]->block.Get()->holders);
    EXPECT_EQ(1, lines[4]->markBegin);
    EXPECT_EQ(5, lines[4]->markEnd);
}

TEST(BlockGrammarTest, FencedCodeAndPageBreaks) {
    Check({
        {"```\n  indented\n\n\tx\n```", {"0:00:0:0:", "7:09:0:0:  indented", "7:08:0:0:", "7:1a:0:0:\tx", "0:00:0:0:"}},
        {"  ```js\n    x\n  y\n ```", {"0:00:0:0:", "7:09:0:0:  x", "7:1a:0:0:y", "0:00:0:0:"}},
        {"> ```\n>   q\n> ```", {"0:00:0:0:", "7:1b:0:0:  q", "0:00:0:0:"}},
        // Inside a fence only the fence's own quote markers are markers.
        {"```\n>>> print(1)\n1\n> x\n```", {"0:00:0:0:", "7:09:0:0:>>> print(1)", "7:08:0:0:1", "7:1a:0:0:> x", "0:00:0:0:"}},
        {"> ```\n> >>> 2\n>\n> ```", {"0:00:0:0:", "7:09:0:0:>>> 2", "7:1a:0:0:", "0:00:0:0:"}},
        {"~~~\na\n```\nb", {"0:00:0:0:", "7:1b:0:0:a", "0:00:0:0:", "1:07:0:0:b p6=0 p7=0"}},
        {"```\na\n```\n\n```\nb\n```", {"0:00:0:0:", "7:1b:0:0:a", "0:00:0:0:", "0:00:0:0:", "0:00:0:0:",
                                         "7:1b:0:0:b", "0:00:0:0:"}},
        {"text\n<div class=\"pagebreak\"></div>", {"1:1f:0:0:text p6=0 p7=0", "11:00:0:0:"}},
        {"> <DIV class=PageBreak ></div>", {"11:00:0:0:"}},
        {"<div class=\"other\"></div>", {"1:07:0:0:<div class=\"other\"></div> p6=0 p7=0"}},
    });
}

// The flag word of every line of a short document holding every kind, so
// that each step that sets or clears a flag is seen once.
TEST(BlockGrammarTest, FlagsOfEveryKind) {
    Check({{"# Head\n"
            "para one\n"
            "para two  \n"
            "para three\n"
            "\n"
            "- item\n"
            "- item two\n"
            "***\n"
            "| a |\n"
            "|-|\n"
            "| b |\n"
            "\n"
            "    code\n"
            "@TOC:1:2:T\n"
            "```\n"
            "fenced\n"
            "```\n"
            "@PageBreak\n"
            "@PrintPage:3\n"
            "@Unknown",
            {"2:18:1:0:Head", "1:0d:0:0:para one para two p6=0 p7=0", "0:00:0:0:",
             "1:1e:0:0:para three p6=0 p7=0", "0:00:0:0:", "4:25:1:0:item", "4:26:1:1:item two",
             "3:18:0:0:", "8:0d:1:0:a", "0:40:0:0:", "8:1e:1:0:b", "0:00:0:0:", "6:0b:0:0:code",
             "9:0b:1:2:T", "0:00:0:0:", "7:1b:0:0:fenced", "0:00:0:0:", "11:00:0:0:", "12:00:0:0: p1=3",
             "15:00:0:0:"}}});
}

TEST(BlockGrammarTest, SoftJoins) {
    Check({
        {"two\nwords", {"1:07:0:0:two words p6=0 p7=0", "0:00:0:0:"}},
        {"日本\n語", {"1:07:0:0:日本語 p6=0 p7=0", "0:00:0:0:"}},
        {"end.\n日本", {"1:07:0:0:end. 日本 p6=0 p7=0", "0:00:0:0:"}},
        {"**日本**\n*語*", {"1:07:0:0:{b}日本{B}{i}語{I} p6=0 p7=0", "0:00:0:0:"}},
        {"a<br>\nb", {"1:07:0:0:a|nb p6=0 p7=0", "0:00:0:0:"}},
        {"- item\nmore", {"4:27:1:0:item more", "0:00:0:0:"}},
    });
    // Each line's link keeps its own serial, unit and target.
    TestSupport::TempFolder folder;
    auto doc = LoadBytes(folder, "see [a](a.md) and [b](b.md)\nthen [c](c.md)\n![p](p.png) end");
    std::vector<JobLineUnit*> lines = Lines(*doc);
    JobLineUnit& p = *lines[0];
    EXPECT_EQ("see {l1}a{L} and {l2}b{L} then {l3}c{L} {m4}{M} end", Visible(p.text));
    EXPECT_TRUE(lines[1]->links.IsEmpty());
    std::vector<int32_t> serials = DocumentTest::CheckMarks(p, "joined");
    ASSERT_EQ(4u, serials.size());
    const char* targets[] = {"a.md", "b.md", "c.md", "p.png"};
    for (int k = 0; k < 4; ++k) {
        const JobLinkDataUnit* unit = p.links.FindSerial(serials[k]);
        ASSERT_TRUE(unit);
        EXPECT_EQ(Bytes(TestSupport::W(folder.Join(TestSupport::Wide(targets[k])))), Bytes(unit->target));
    }
    EXPECT_EQ(Bytes(TestSupport::W(folder.Join(L"a.md"))), Bytes(FindMarkerPair(p)));
}

TEST(BlockGrammarTest, Directives) {
    Check({
        {"@PageBreak\n  @PageBreak  \n@\n@pagebreak", {"11:00:0:0:", "11:00:0:0:", "1:07:0:0:@ p6=0 p7=0", "15:00:0:0:"}},
        {"@everyone please read", {"1:07:0:0:@everyone please read p6=0 p7=0"}},
        {"@PrintHeader:Right:\"Page %p\"\n@PrintFooter:Left:a:b", {"13:00:0:0: p4=Page %p", "14:00:0:0: p2=a"}},
        {"@TOC:2:17:Setup\n@TOC:0:1:a\n@TOC:99:2:\"b:c\"",
         {"9:09:2:17:Setup", "9:08:1:1:a", "9:0a:6:2:b:c"}},
        // A directive closes the paragraph before it; TOC and unknown words
        // do not.
        {"p\n@PageBreak", {"1:1f:0:0:p p6=0 p7=0", "11:00:0:0:"}},
        {"p\n@TOC:1:1:t", {"1:07:0:0:p p6=0 p7=0", "9:0b:1:1:t"}},
        {"p\n@Nothing", {"1:07:0:0:p p6=0 p7=0", "15:00:0:0:"}},
        // "Align" and "FontRatio" reach each later paragraph's first line.
        {"a\n@Align:Center\nb\nc\n\nd\n@FontRatio:120\n@Align:Bogus\ne\n@FontRatio:99999\nf",
         {"1:1f:0:0:a p6=0 p7=0", "0:00:0:0:", "1:1f:0:0:b c p6=3 p7=0", "0:00:0:0:", "0:00:0:0:",
          "1:1f:0:0:d p6=3 p7=0", "0:00:0:0:", "0:00:0:0:", "1:1f:0:0:e p6=0 p7=120", "0:00:0:0:",
          "1:07:0:0:f p6=0 p7=1000"}},
        {"@Align: Center\nx", {"0:00:0:0:", "1:07:0:0:x p6=0 p7=0"}},
    });
    Check({
        {"<!--PageBreak-->\n@PageBreak\n<!--Align:Right-->\nx",
         {"11:00:0:0:", "1:1f:0:0:@PageBreak p6=0 p7=0", "0:00:0:0:", "1:07:0:0:x p6=4 p7=0"}},
    },
          "<!--", "-->");
    // Without a form (a style without "Overview"), no line is a directive.
    Check({{"@PageBreak", {"1:07:0:0:@PageBreak p6=0 p7=0"}}}, "", "");
}

TEST(BlockGrammarTest, SmallOperations) {
    EXPECT_EQ(0, AlignmentCode(U8("center")));
    EXPECT_EQ(3, AlignmentCode(U8("Center")));
    EXPECT_EQ(4, AlignmentCode(U8("Right")));

    JobParamList params;
    JobParamUnit* first = &params.FindOrInsert(5);
    first->text = U8("x");
    EXPECT_EQ(first, &params.FindOrInsert(5));
    EXPECT_EQ(1, params.Count());
    EXPECT_EQ("x", Bytes(params.Find(5).text));
    EXPECT_EQ(0, params.Find(6).id);

    RawArrayC<int32_t> array;
    array.SetStep(8);
    array.ReserveExact(8);
    EXPECT_TRUE(EnsureStepIndex(array, 7));
    EXPECT_EQ(8, array.Capacity());
    EXPECT_TRUE(EnsureStepIndex(array, 8));
    EXPECT_EQ(16, array.Capacity());
    EXPECT_TRUE(EnsureStepIndex(array, 20));
    EXPECT_EQ(24, array.Capacity());

    // Tab stops below 1 count as 1; huge ones cannot overflow the column.
    LineIndent m = MeasureLineIndent(U8("\t\tx"), 0);
    EXPECT_EQ(2, m.column);
    EXPECT_EQ(2, m.index);
    m = MeasureLineIndent(U8("\t\t\tx"), INT32_MAX);
    EXPECT_GT(m.column, 0);
    m = MeasureLineIndent(U8("> >  x"), 8);
    EXPECT_EQ(2, m.quoteDepth);
    EXPECT_EQ(1, m.column);
    EXPECT_EQ(5, m.index);
    EXPECT_EQ(4, m.afterQuotes);

    // Table widths written by a layout are all zero again after the reset.
    TestSupport::TempFolder folder;
    auto doc = LoadBytes(folder, "| a | b |\n|-|-|\n| c | d |\n\n| e |\n|-|");
    int tables = 0;
    for (JobLineUnit& line : *doc) {
        if (line.cellWidths.IsEmpty()) continue;
        ++tables;
        for (int32_t k = 0; k < line.cellWidths.Count(); ++k) line.cellWidths.SetAt(k, 40 + k);
    }
    EXPECT_EQ(2, tables);
    doc->ResetCellWidths();
    for (JobLineUnit& line : *doc)
        for (int32_t w : line.cellWidths) EXPECT_EQ(0, w);
}

// The document's own neighbour searches give what the pass used.
TEST(BlockGrammarTest, DocumentNeighbours) {
    TestSupport::TempFolder folder;
    auto doc = LoadBytes(folder, "\n@PageBreak\n- a\n\n  - b\n- c\n1. d");
    std::vector<JobLineUnit*> lines = Lines(*doc);
    EXPECT_EQ(nullptr, doc->PreviousContentLine(lines[0]->chainLink));
    EXPECT_EQ(nullptr, doc->PreviousContentLine(lines[2]->chainLink));
    EXPECT_EQ(lines[2], doc->PreviousContentLine(lines[4]->chainLink));
    EXPECT_EQ(lines[1], doc->NextLine(lines[0]->chainLink));
    EXPECT_EQ(nullptr, doc->NextLine(lines[6]->chainLink));
    // The list items number from the drawn items before them: a deeper
    // item under its parent, a sibling after the deeper one, another kind
    // starting again at 1.
    const std::vector<std::pair<int32_t, int32_t>> levelAndNumber{{1, 0}, {2, 0}, {1, 1}, {1, 1}};
    const JobLineUnit* items[] = {lines[2], lines[4], lines[5], lines[6]};
    for (size_t k = 0; k < levelAndNumber.size(); ++k) {
        EXPECT_EQ(levelAndNumber[k].first, items[k]->level) << k;
        EXPECT_EQ(levelAndNumber[k].second, items[k]->number) << k;
    }
    JobFileUnit fresh;
    JobLineUnit* record = InitLineRecord(&fresh);
    fresh.Add(record);
    EXPECT_EQ(KindUnclassified, record->kind);
    EXPECT_EQ(0, record->flags);
    EXPECT_TRUE(record->text.IsEmpty());
    EXPECT_TRUE(record->links.IsEmpty());
    EXPECT_TRUE(record->params.IsEmpty());
}
