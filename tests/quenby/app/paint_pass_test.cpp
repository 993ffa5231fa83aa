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

namespace {

// The text draw of the pass, counting the runs it is asked to draw.
class CountingDraw : public GuiTextDraw {
public:
    void DrawRowRuns(HDC dc, const RawString& text, const std::vector<const WinTextPart*>& parts,
                     POINT origin) override {
        runs += static_cast<int>(parts.size());
        GuiTextDraw::DrawRowRuns(dc, text, parts, origin);
    }
    int runs = 0;
};

}  // namespace

// A long line of thousands of emphasis pairs, scrolled halfway: only the runs
// that meet the painted area are drawn, and they still take the emphasis of
// the marks before them.
TEST(PaintPassTest, ALongMarkedLineDrawsOnlyTheRunsOfThePaintedArea) {
    PassFixture f;
    std::string line;
    for (int i = 0; i < 3000; ++i) line += "*it* plain ";
    f.Load(line + "\n");
    DibCanvas canvas(400, 300);
    f.LayOut(canvas.Dc(), 400);
    GuiListBoxItemUnit& item = *f.items[0];
    ASSERT_GT(item.rect.bottom, 10 * canvas.Height());
    const RawString& text = f.lines[0]->text;
    CountingDraw counting;
    f.layout.draw = &counting;
    RECT at = item.rect;
    OffsetRect(&at, 0, -(item.rect.bottom / 2));
    HGDIOBJ old = SelectObject(canvas.Dc(), f.doc->style.textFont.handle);
    PaintPage(f.layout, canvas.Dc(), at, item, *f.lines[0]);
    SelectObject(canvas.Dc(), old);
    f.layout.draw = &f.draw;
    int texts = 0, shown = 0;
    for (const WinTextPart& part : item.text.parts) {
        const uint32_t c = text.UnitAt(part.start);
        if (c == 0x1E || c == 0x1F) continue;
        ++texts;
        RECT r = part.rect;
        OffsetRect(&r, item.textOffset.x, item.textOffset.y);
        if (r.bottom > 0 && r.top < canvas.Height() && r.right + 1 > 0 && r.left < canvas.Width()) ++shown;
    }
    EXPECT_GT(shown, 0);
    EXPECT_LT(shown * 10, texts);
    EXPECT_EQ(counting.runs, shown);
    EXPECT_GT(canvas.CountColor(RECT{0, 0, canvas.Width(), canvas.Height()}, GuiTextDraw::kItalicColor), 0);
    EXPECT_GT(canvas.CountColor(RECT{0, 0, canvas.Width(), canvas.Height()}, PassTest::kText), 0);
}
