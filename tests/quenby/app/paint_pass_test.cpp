// The layout and paint passes over documents read from real files: heights
// by kind, code blocks, tables, emphasis colours, list marks and the
// selection fill, read back as pixels of a DIB section.
#include "quenby/app/paint_pass.h"

#include <gtest/gtest.h>

#include <string>

#include "pass_support.h"

using namespace AppLayer;
using PassTest::PassFixture;
using PassTest::U8;
using RawLayer::RawString;
using TestSupport::DibCanvas;

namespace {

// The first text run of the item whose units are the text.
const WinTextPart* PartOf(const GuiListBoxItemUnit& item, const RawString& line, const std::string& text) {
    RawString wanted = U8(text).As(line.Kind());
    for (const WinTextPart& part : item.text.parts)
        if (line.EqualsRange(RawLayer::RawRange{part.start, part.end}, wanted, wanted.All())) return &part;
    return nullptr;
}

// Pixels of a colour in the columns [left, right) of the item.
int CountIn(const DibCanvas& canvas, const RECT& item, int32_t left, int32_t right, COLORREF colour) {
    return canvas.CountColor(RECT{left, item.top, right, item.bottom}, colour);
}

}  // namespace

TEST(PaintPassTest, EmphasisRunsDrawInTheirColours) {
    PassFixture f;
    f.Load("x *it* y **b** [l](a.md) ~~s~~ z\n");
    DibCanvas canvas(600, 200);
    f.LayOut(canvas.Dc(), 600);
    f.Paint(canvas.Dc());
    const GuiListBoxItemUnit& item = *f.items[0];
    const RawString& text = f.lines[0]->text;
    const WinTextPart* it = PartOf(item, text, "it");
    const WinTextPart* y = PartOf(item, text, " y ");
    const WinTextPart* l = PartOf(item, text, "l");
    const WinTextPart* s = PartOf(item, text, "s");
    const WinTextPart* z = PartOf(item, text, " z");
    ASSERT_TRUE(it && y && l && s && z);
    const COLORREF italic = GuiTextDraw::kItalicColor, blue = GuiTextDraw::kLinkColor, red = GuiTextDraw::kLineColor;
    EXPECT_GT(CountIn(canvas, item.rect, it->rect.left, it->rect.right + 1, italic), 0);
    EXPECT_EQ(CountIn(canvas, item.rect, y->rect.left, y->rect.right, italic), 0);
    EXPECT_GT(CountIn(canvas, item.rect, y->rect.left, y->rect.right, PassTest::kText), 0);
    EXPECT_GT(CountIn(canvas, item.rect, z->rect.left, z->rect.right, PassTest::kText), 0);
    EXPECT_EQ(CountIn(canvas, item.rect, z->rect.left, z->rect.right, red), 0);
    // The link is blue with a blue underline as wide as the run.
    RECT blueBox = canvas.BoundsOf(blue);
    EXPECT_GE(blueBox.left, l->rect.left);
    EXPECT_LE(blueBox.right, l->rect.right + 1);
    EXPECT_GE(canvas.CountColor(RECT{l->rect.left, blueBox.bottom - 1, l->rect.right, blueBox.bottom}, blue),
              l->rect.right - l->rect.left - 1);
    // The struck text is red with its line through the middle.
    RECT redBox = canvas.BoundsOf(red);
    EXPECT_GE(redBox.left, s->rect.left);
    EXPECT_LE(redBox.right, s->rect.right + 1);
    // "b" is drawn twice, one pixel apart: more ink than a single "b".
    const WinTextPart* b = PartOf(item, text, "b");
    ASSERT_TRUE(b);
    DibCanvas single(100, 100);
    HGDIOBJ old = SelectObject(single.Dc(), f.doc->style.textFont.handle);
    SetBkMode(single.Dc(), TRANSPARENT);
    SetTextColor(single.Dc(), PassTest::kText);
    TextOutW(single.Dc(), 10, 10, L"b", 1);
    SelectObject(single.Dc(), old);
    EXPECT_GT(CountIn(canvas, item.rect, b->rect.left, b->rect.right + 1, PassTest::kText),
              single.CountColor(PassTest::kText));

    // A line ending in a lone 0x1E, or in 0x1E 0x1F, changes no emphasis.
    for (const char* tail : {"abc\x1E", "abc\x1E\x1F"}) {
        f.lines[0]->text = U8(tail);
        f.lines[0]->links.Clear();
        DibCanvas again(600, 200);
        f.LayOut(again.Dc(), 600);
        f.Paint(again.Dc());
        EXPECT_GT(again.CountColor(PassTest::kText), 0) << tail;
        EXPECT_EQ(again.CountColor(italic) + again.CountColor(blue) + again.CountColor(red), 0) << tail;
    }
}
