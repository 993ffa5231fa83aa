// The layout pass by kind, read back from the laid-out items and from the
// painted pixels: heights, deep list items, code blocks and tables, list
// marks and the selection fill.
#include "quenby/app/layout_pass.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "pass_support.h"

using namespace AppLayer;
using PassTest::PassFixture;
using TestSupport::DibCanvas;

namespace {

int32_t Height(const GuiListBoxItemUnit& item) { return item.rect.bottom - item.rect.top; }

// The rightmost column holding the colour in the item's rows; -1 when none.
int32_t RightmostOf(const DibCanvas& canvas, const RECT& item, COLORREF colour) {
    for (int32_t x = canvas.Width() - 1; x >= 0; --x)
        if (canvas.CountColor(RECT{x, item.top, x + 1, item.bottom}, colour) > 0) return x;
    return -1;
}

COLORREF Blend(COLORREF requested, COLORREF base) {
    auto channel = [](int b, int r) { return ((b - b * 50 / 256) + r) / 2; };
    return RGB(channel(GetRValue(base), GetRValue(requested)), channel(GetGValue(base), GetGValue(requested)),
               channel(GetBValue(base), GetBValue(requested)));
}

}  // namespace

TEST(LayoutPassTest, HeightsByKind) {
    PassFixture f;
    f.Load("## Two\n\n- a bullet whose text is long enough to wrap at a narrow width, again and again\n\n"
           "@PageBreak\n\n@PrintPage:2\n\n@PrintHeader:Left:x\n\n@PrintFooter:Left:y\n\nend\n");
    DibCanvas canvas(300, 50);
    f.LayOut(canvas.Dc(), 300);
    // A heading without lines: its text height plus the two percentage spaces.
    const size_t heading = f.IndexOfKind(DocLayer::KindHeading);
    ASSERT_LT(heading, f.lines.size());
    const DocLayer::HeadlineLevelStyle& h = f.doc->style.headline.levels[1];
    ASSERT_EQ(h.overline.value, 0);
    ASSERT_EQ(h.underline.value, 0);
    const int32_t t = f.lines[heading]->usedExtent;
    EXPECT_EQ(Height(*f.items[heading]), t + (h.overSpace.value * t + 50) / 100 + (h.underSpace.value * t + 50) / 100);
    // Empty and directive lines have no height.
    int zero = 0;
    for (size_t i = 0; i < f.lines.size(); ++i) {
        int32_t kind = f.lines[i]->kind;
        if (kind == DocLayer::KindHidden || (kind >= DocLayer::KindPageBreak && kind <= DocLayer::KindPrintFooter)) {
            EXPECT_EQ(Height(*f.items[i]), 0) << i;
            ++zero;
        }
    }
    EXPECT_GE(zero, 8);
    // A bullet at depth 7 takes the depth-6 indent.
    const size_t bullet = f.IndexOfKind(DocLayer::KindBullet);
    ASSERT_LT(bullet, f.lines.size());
    auto rowsAt = [&](int32_t level) {
        f.lines[bullet]->level = level;
        f.LayOut(canvas.Dc(), 300);
        return f.items[bullet]->text.rows.size();
    };
    const size_t depth1 = rowsAt(1), depth6 = rowsAt(6), depth7 = rowsAt(7);
    EXPECT_EQ(depth7, depth6);
    EXPECT_GT(depth6, depth1);
}

TEST(LayoutPassTest, UnwrappedCodeBlockPaintsEveryLineToOneEdge) {
    PassFixture f(PassTest::ColourProfile(std::string(), "WrapLines=False\r\n"));
    std::string longLine(300, 'w');
    std::string huge(5000, 'h');
    f.Load("```\nx\n" + longLine + "\nshort\n```\n\n```\n" + huge + "\n```\n");
    DibCanvas canvas(3000, 400);
    f.LayOut(canvas.Dc(), 400);
    f.Paint(canvas.Dc());
    int32_t edge = -2;
    int lines = 0;
    for (size_t i = 0; i < f.lines.size() && lines < 3; ++i) {
        if (f.lines[i]->kind != DocLayer::KindFencedCode) continue;
        ++lines;
        int32_t right = RightmostOf(canvas, f.items[i]->rect, PassTest::kCodeInner);
        EXPECT_GT(right, 400) << i;
        if (edge == -2) edge = right;
        EXPECT_EQ(right, edge) << i;
    }
    EXPECT_EQ(lines, 3);
    size_t last = f.lines.size();
    for (size_t i = 0; i < f.lines.size(); ++i)
        if (f.lines[i]->kind == DocLayer::KindFencedCode) last = i;
    ASSERT_LT(last, f.lines.size());
    EXPECT_EQ(f.items[last]->text.rows.size(), 1u);
    EXPECT_GT(f.items[last]->rect.right, 32767 / 2);
}

TEST(LayoutPassTest, TabColumnLineContinuesUnderItsColumn) {
    PassFixture f;
    f.Load("Text\n\n    --option ... a description long enough to wrap under its column several times over\n");
    DibCanvas canvas(400, 400);
    f.LayOut(canvas.Dc(), 400);
    const size_t code = f.IndexOfKind(DocLayer::KindIndentedCode);
    ASSERT_LT(code, f.lines.size());
    ASSERT_TRUE(f.lines[code]->flags & DocLayer::LineTabColumns);
    const WinTextData& data = f.items[code]->text;
    ASSERT_GE(data.rows.size(), 2u);
    // Every later row starts at the column: the width of the text up to the mark's end.
    HGDIOBJ old = SelectObject(canvas.Dc(), f.doc->style.textFont.handle);
    RawLayer::RawString head = f.lines[code]->text.As(RawLayer::KindUtf16);
    SIZE size{0, 0};
    GetTextExtentPoint32W(canvas.Dc(), head.Wide(), f.lines[code]->markEnd, &size);
    SelectObject(canvas.Dc(), old);
    const int32_t column = size.cx;
    ASSERT_GT(column, 0);
    for (const WinTextPart& part : data.parts) {
        if (part.row == 0 || part.start != data.rows[static_cast<size_t>(part.row)].start) continue;
        EXPECT_LE(std::abs(part.rect.left - column), 1);
    }
}

TEST(LayoutPassTest, TableAlignsItsColumns) {
    PassFixture f;
    f.Load("| Left | Centre | Right |\n|:--|:-:|--:|\n| a | bb | ccc |\n| a much longer cell | c | d |\n");
    DibCanvas canvas(800, 300);
    f.LayOut(canvas.Dc(), 800);
    f.Paint(canvas.Dc());
    std::vector<size_t> rows;
    for (size_t i = 0; i < f.lines.size(); ++i)
        if (f.lines[i]->kind == DocLayer::KindTableRow) rows.push_back(i);
    ASSERT_EQ(rows.size(), 3u);
    // Per column: the left, centre and right edges of its cells.
    std::vector<std::vector<RECT>> cells(3);
    for (size_t r : rows) {
        const WinTextData& data = f.items[r]->text;
        std::vector<RawLayer::RawRange> ranges = TableCells(f.lines[r]->text);
        ASSERT_EQ(ranges.size(), 3u);
        for (size_t c = 0; c < 3; ++c) cells[c].push_back(TextLayout::BoundingRect(data.parts, TextLayout::CollectRuns(data.parts, ranges[c])));
        EXPECT_TRUE(f.items[r]->cellsPlaced);
    }
    for (size_t k = 1; k < 3; ++k) {
        EXPECT_EQ(cells[0][k].left, cells[0][0].left);
        EXPECT_LE(std::abs((cells[1][k].left + cells[1][k].right) - (cells[1][0].left + cells[1][0].right)), 2);
        EXPECT_EQ(cells[2][k].right, cells[2][0].right);
    }
    // Each column is as wide as its widest cell: the second column starts
    // after the longest first cell.
    EXPECT_GT(cells[1][0].left, cells[0][2].right);
    EXPECT_GT(PassTest::kTableFrame, 0u);
    EXPECT_GT(canvas.CountColor(PassTest::kTableFrame), 0);
    EXPECT_GT(canvas.CountColor(PassTest::kTableTitle), 0);
}

TEST(LayoutPassTest, ListMarksAndNumbers) {
    PassFixture f;
    f.Load("- [x] done\n- [X] letter\n- [ ] open\n- plain\n\n12. twelve\n");
    DibCanvas canvas(400, 300);
    f.LayOut(canvas.Dc(), 400);
    f.Paint(canvas.Dc());
    const DocLayer::DocumentStyle& s = f.doc->style;
    auto column = [&](size_t i) {
        int32_t indent = s.itemization.indents[LevelIndex(f.lines[i]->level)].value;
        RECT r = f.items[i]->rect;
        return RECT{indent - s.itemization.markDistance.value, r.top, indent, r.bottom};
    };
    std::vector<size_t> items;
    for (size_t i = 0; i < f.lines.size(); ++i)
        if (f.lines[i]->kind == DocLayer::KindBullet || f.lines[i]->kind == DocLayer::KindNumbered) items.push_back(i);
    ASSERT_EQ(items.size(), 5u);
    // The boxes are drawn in the text colour: the frame, and the mark.
    int checked = canvas.CountColor(column(items[0]), PassTest::kText);
    int empty = canvas.CountColor(column(items[2]), PassTest::kText);
    EXPECT_GT(empty, 0);                                                    // the frame
    EXPECT_GT(checked, empty);                                              // the check mark
    EXPECT_GT(canvas.CountColor(column(items[1]), PassTest::kText), 0);      // the letter X
    EXPECT_GT(canvas.CountColor(column(items[3]), PassTest::kText), 0);      // the dot
    // "12." stands centred in its column.
    RECT number = column(items[4]);
    number.right += f.items[items[4]]->numberColumnGrowth;
    int32_t left = number.right, right = number.left;
    for (int32_t x = number.left; x < number.right; ++x)
        if (canvas.CountColor(RECT{x, number.top, x + 1, number.bottom}, PassTest::kText) > 0) {
            left = std::min(left, x);
            right = std::max(right, x + 1);
        }
    ASSERT_LT(left, right);
    EXPECT_LE(std::abs((left - number.left) - (number.right - right)), 3);
}

TEST(LayoutPassTest, ANumberedListsNumbersKeepOffTheirTextWhichStartsInOneColumn) {
    // A narrow first indent: "10." is wider than its mark distance.
    PassFixture f(PassTest::ColourProfile("[Itemization]\r\nIndent_1=100\r\n"));
    std::string source = "Before.\n\n";
    for (int i = 1; i <= 12; ++i) source += std::to_string(i) + ". web\n";
    source += "\nBetween.\n\n1. web\n2. web\n   1. web\n";
    f.Load(source);
    DibCanvas canvas(400, 600);
    f.LayOut(canvas.Dc(), 400);
    f.Paint(canvas.Dc());
    std::vector<int32_t> starts;            // where each item's text starts
    std::vector<std::vector<int>> texts;    // ink per column from there on
    for (size_t i = 0; i < f.lines.size(); ++i) {
        if (f.lines[i]->kind != DocLayer::KindNumbered) continue;
        const GuiListBoxItemUnit& item = *f.items[i];
        ASSERT_FALSE(item.text.parts.empty());
        const int32_t start = item.rect.left + item.textOffset.x + item.text.parts.front().rect.left;
        auto inkIn = [&](int32_t x) {
            return canvas.CountColor(RECT{x, item.rect.top, x + 1, item.rect.bottom}, PassTest::kText);
        };
        auto ink = [&](int32_t x) { return inkIn(x) > 0; };
        starts.push_back(start);
        // Two blank columns before the text, and the number's ink left of them.
        EXPECT_FALSE(ink(start - 1) || ink(start - 2)) << f.lines[i]->number;
        bool number = false;
        for (int32_t x = 0; x < start - 2; ++x) number = number || ink(x);
        EXPECT_TRUE(number) << f.lines[i]->number;
        std::vector<int> columns;
        for (int32_t x = start; x < start + 40; ++x) columns.push_back(inkIn(x));
        texts.push_back(columns);
    }
    // Nothing of any number reaches into its text: "web" looks the same on
    // every item.
    for (size_t k = 1; k < texts.size(); ++k) EXPECT_EQ(texts[k], texts[0]) << k;
    ASSERT_EQ(starts.size(), 15u);
    // One column for the whole first list; the short list after the
    // paragraph keeps the narrower one of its own.
    for (size_t k = 1; k < 12; ++k) EXPECT_EQ(starts[k], starts[0]) << k;
    EXPECT_LT(starts[12], starts[0]);
    EXPECT_EQ(starts[13], starts[12]);
}

TEST(LayoutPassTest, SelectedLineBlendsTheSelectionColourWithTheElementFill) {
    PassFixture f;
    f.Load("```\ncode\n```\n");
    DibCanvas canvas(300, 100);
    f.LayOut(canvas.Dc(), 300);
    const size_t code = f.IndexOfKind(DocLayer::KindFencedCode);
    ASSERT_LT(code, f.lines.size());
    f.items[code]->flags |= WinLayer::WinListBoxItemUnit::ItemSelected;
    const RECT& r = f.items[code]->rect;
    const int32_t x = f.doc->style.codeBlock.leftMargin.value + 4;
    const int32_t y = (r.top + r.bottom) / 2;
    for (bool focus : {true, false}) {
        f.layout.boxState = focus ? GuiLayout::BoxFocus : 0;
        f.Paint(canvas.Dc());
        const COLORREF base = focus ? kSelectedFocusColor : kSelectedColor;
        EXPECT_EQ(canvas.Pixel(x, y), Blend(PassTest::kCodeInner, base)) << focus;
    }
    f.layout.boxState = GuiLayout::BoxFocus | GuiLayout::BoxPlain;
    f.Paint(canvas.Dc());
    EXPECT_EQ(canvas.Pixel(x, y), PassTest::kCodeInner);
}
