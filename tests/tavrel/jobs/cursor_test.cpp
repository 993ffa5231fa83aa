// Cursor stepping over result rows, the selected columns of a row, the
// translucent selection rectangle and the undo list's push rule.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tavrel/jobs/cursor.h"
#include "tavrel/jobs/job_kind_control.h"

using namespace JobLayer;
using RawLayer::RawString;

namespace {

// A unit whose characters are one or two units wide ('#' starts a
// two-unit character), 10 pixels per unit.
class TestUnit : public JobContentUnit {
public:
    explicit TestUnit(const std::string& text, uint16_t unitFlags = 0)
        : JobContentUnit(unitFlags), text_(text) {}
    int32_t FitCharIndex(int32_t index) const override {
        int32_t fit = 0;
        for (int32_t p = 0; p <= Length() && p <= index; p = Next(p)) fit = p;
        return fit;
    }
    int32_t CharIndexAtOffset(int32_t x) const override { return x / 10; }
    int32_t LastColumn() const override { return Length(); }
    int32_t NextColumn(int32_t index) const override { return Next(index); }
    void Destroy() override { delete this; }

private:
    int32_t Length() const { return static_cast<int32_t>(text_.size()); }
    int32_t Next(int32_t p) const {
        if (p >= Length()) return p + 1;
        return p + (text_[p] == '#' ? 2 : 1);
    }
    std::string text_;
};

struct CursorJob {
    JobGroupUnit job{JobKindType::FromKind(KindText), &JobKindControl::NoneControl()};
    TestUnit placeholder{"", UnitPlaceholder};

    // A row with a unit on side 1 (or the placeholder for "-") and a plain
    // unit on side 2.
    JobReportUnit* AddRow(const std::string& text, uint32_t flags = 0) {
        JobContentUnit* unit1 = &placeholder;
        if (text != "-") {
            unit1 = new TestUnit(text);
            job.content1.Add(unit1);
        }
        JobContentUnit* unit2 = new TestUnit("side two");
        job.content2.Add(unit2);
        JobReportUnit* row = new JobReportUnit();
        row->unit1 = unit1;
        row->unit2 = unit2;
        row->flags = flags;
        return job.rows.Add(row);
    }
    JobCursor At(int32_t row, int32_t column) {
        job.side1.cursorRow = row;
        job.side1.cursorColumn = column;
        return JobCursor(job, 0);
    }
};

}  // namespace

TEST(JobCursor, StepsAcrossRowsAndSkipsRowsWithoutALine) {
    CursorJob t;
    t.AddRow("abc");
    t.AddRow("-");                 // no line on side 1
    t.AddRow("zz", RowSkipped);    // passed over by cursor movement
    t.AddRow("de");

    JobCursor c = t.At(0, 3);
    ASSERT_TRUE(c.MoveRight());
    EXPECT_EQ(c.row, 3);
    EXPECT_EQ(c.column, 0);
    ASSERT_TRUE(c.MoveRight());
    EXPECT_EQ(c.column, 1);
    ASSERT_TRUE(c.MoveToLineHead());
    EXPECT_EQ(c.column, 0);
    ASSERT_TRUE(c.MoveLeft());
    EXPECT_EQ(c.row, 0);
    EXPECT_EQ(c.column, 3);
    EXPECT_EQ(c.preferredX, -1);

    EXPECT_EQ(c.SkipToRealRow(1, 1), 3);
    EXPECT_EQ(c.SkipToRealRow(2, -1), 0);
    EXPECT_EQ(c.SkipToRealRow(4, 1), -1);
    EXPECT_EQ(c.SkipToRealRow(-1, 1), -1);
}

TEST(JobCursor, StopsAtTheEnds) {
    CursorJob t;
    t.AddRow("-");
    t.AddRow("ab");
    t.AddRow("cd");
    JobCursor first = t.At(1, 0);
    EXPECT_FALSE(first.MoveLeft());
    EXPECT_EQ(first.row, 1);
    EXPECT_EQ(first.column, 0);

    JobCursor last = t.At(2, 2);
    EXPECT_FALSE(last.MoveRight());
    EXPECT_EQ(last.row, 2);
    EXPECT_EQ(last.column, 2);
    ASSERT_TRUE(last.MoveToLineHead());
    ASSERT_TRUE(last.MoveToLineFoot());
    EXPECT_EQ(last.column, 2);

    // No row, no column, or a kind without a cursor: nothing moves.
    EXPECT_FALSE(t.At(-1, 0).MoveRight());
    EXPECT_FALSE(t.At(1, -1).MoveLeft());
    CursorJob folder;
    folder.job.kind = JobKindType::FromKind(KindPath);
    folder.AddRow("ab");
    EXPECT_FALSE(folder.At(0, 1).MoveLeft());
    EXPECT_FALSE(folder.At(0, 0).MoveToLineFoot());
}

TEST(JobCursor, WideCharactersAndPreferredX) {
    CursorJob t;
    t.AddRow("a#xb");   // characters at 0, 1 (two units), 3
    t.AddRow("#x#xc");  // characters at 0, 2, 4
    JobCursor c = t.At(0, 1);
    ASSERT_TRUE(c.MoveRight());
    EXPECT_EQ(c.column, 3);
    ASSERT_TRUE(c.MoveLeft());
    EXPECT_EQ(c.column, 1);  // FitCharIndex(2) lands on the character start

    t.job.side1.preferredX = 35;  // unit 3: inside the second character
    JobCursor p = t.At(0, 0);
    ASSERT_TRUE(p.PlaceOnRow(1));
    EXPECT_EQ(p.row, 1);
    EXPECT_EQ(p.column, 2);
    EXPECT_EQ(p.preferredX, 35);
    EXPECT_FALSE(p.PlaceOnRow(7));
    p.StoreToSide();
    EXPECT_EQ(t.job.side1.cursorRow, 1);
    EXPECT_EQ(t.job.side1.cursorColumn, 2);
}

TEST(SelectionColumnsOnRow, OrdersAnchorAndCursor) {
    JobSideRecord side(0, JobKindType::FromKind(KindText));
    side.anchorRow = 5;
    side.anchorColumn = 7;
    side.cursorRow = 3;
    side.cursorColumn = 2;
    struct Case {
        int32_t row;
        int32_t from;
        int32_t to;
    };
    for (const Case& c : {Case{2, 0, 0}, Case{3, 2, 40}, Case{4, 0, 40}, Case{5, 0, 7}, Case{6, 0, 0}}) {
        JobColumnSpan span = SelectionColumnsOnRow(side, c.row, 0, 40);
        EXPECT_EQ(span.from, c.from) << c.row;
        EXPECT_EQ(span.to, c.to) << c.row;
    }
    side.anchorRow = side.cursorRow = 4;
    side.anchorColumn = 9;
    side.cursorColumn = 1;
    JobColumnSpan one = SelectionColumnsOnRow(side, 4, 0, 40);
    EXPECT_EQ(one.from, 1);
    EXPECT_EQ(one.to, 9);
}

TEST(AlphaRect, BlendsAConstantOpacity) {
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, 40, 20);
    ReleaseDC(nullptr, screen);
    ASSERT_TRUE(dc && bitmap);
    HGDIOBJ old = SelectObject(dc, bitmap);
    RECT all = {0, 0, 40, 20};
    FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));

    RECT half = {10, 5, 30, 15};
    EXPECT_TRUE(AlphaRect(dc, half, RGB(0, 0, 0), 128));
    COLORREF inside = GetPixel(dc, 20, 10);
    EXPECT_NEAR(GetRValue(inside), 127, 2);
    EXPECT_NEAR(GetBValue(inside), 127, 2);
    EXPECT_EQ(GetPixel(dc, 5, 10), RGB(255, 255, 255));
    EXPECT_EQ(GetPixel(dc, 30, 10), RGB(255, 255, 255));

    EXPECT_TRUE(AlphaRect(dc, RECT{0, 0, 0, 20}, RGB(0, 0, 0), 255));  // empty: nothing
    EXPECT_EQ(GetPixel(dc, 0, 0), RGB(255, 255, 255));
    EXPECT_TRUE(AlphaRect(dc, RECT{0, 0, 5, 5}, RGB(255, 0, 0), 255));
    EXPECT_EQ(GetPixel(dc, 2, 2), RGB(255, 0, 0));

    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
}

TEST(JobUndoDataList, PushDropsTheRedoableRecords) {
    JobUndoDataList list;
    EXPECT_EQ(list.record.startRow, -1);
    EXPECT_EQ(list.record.tag, 0u);
    for (int i = 1; i <= 5; ++i) {
        JobUndoDataUnit unit;
        unit.tag = static_cast<uint32_t>(i);
        list.Push(unit);
    }
    EXPECT_EQ(list.Count(), 5);
    EXPECT_EQ(list.position, 5u);
    list.position = 3;  // two undos

    JobUndoDataUnit fresh;
    fresh.tag = 9;
    fresh.operation = 2;
    fresh.startRow = 1;
    fresh.text = RawString::FromText("replaced");
    list.Push(fresh);
    EXPECT_EQ(list.Count(), 4);
    EXPECT_EQ(list.position, 4u);
    std::vector<uint32_t> tags;
    for (const JobUndoDataUnit& u : list) tags.push_back(u.tag);
    EXPECT_EQ(tags, (std::vector<uint32_t>{1, 2, 3, 9}));
    EXPECT_EQ(list.Last()->text.Body(), fresh.text.Body());  // the text is shared
    EXPECT_EQ(list.Last()->startRow, 1);

    list.position = 0;
    list.Push(fresh);
    EXPECT_EQ(list.Count(), 1);
    EXPECT_EQ(list.position, 1u);
    list.position = 7;  // past the records: nothing is dropped
    list.Push(fresh);
    EXPECT_EQ(list.Count(), 2);
    EXPECT_EQ(list.position, 2u);
    list.Reset();
    EXPECT_EQ(list.Count(), 0);
    EXPECT_EQ(list.position, 0u);
}
