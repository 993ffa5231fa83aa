// The kind controller interface and its kind-3 base, the pool, content unit
// defaults, result rows and the base detail-box strategy.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/test_support.h"
#include "support/text_edit_support.h"
#include "tavrel/jobs/action_args.h"
#include "tavrel/jobs/binary/binary_kind.h"
#include "tavrel/jobs/color_settings.h"
#include "tavrel/jobs/config_store.h"
#include "tavrel/jobs/folder/folder_draw.h"
#include "tavrel/jobs/folder/folder_kind.h"
#include "tavrel/jobs/inline_diff.h"
#include "tavrel/jobs/job_dbox_draw.h"
#include "tavrel/jobs/job_group.h"
#include "tavrel/jobs/job_kind_control.h"
#include "tavrel/jobs/text/line_unit.h"
#include "tavrel/jobs/text/text_kind.h"

using namespace JobLayer;
using RawLayer::RawString;
using TestSupport::TempFolder;
using TestSupport::WriteFileBytes;
using TestSupport::RecordingEditor;
using TestSupport::S;

namespace {

RawString T(const char* text) { return RawString::FromText(text); }

// A detail box that records what the strategy set on it.
class RecordingBox : public JobDetailBox {
public:
    bool typing = false;
    int attached = -1;
    COLORREF back = 0;
    int32_t tab = -1;
    uint32_t drawFlags = 0;
    bool AllowsTyping() const override { return typing; }
    void AttachIme(bool attach) override { attached = attach ? 1 : 0; }
    void SetBackColor(COLORREF color) override { back = color; }
    void SetTabWidth(int32_t characters) override { tab = characters; }
    void SetDrawFlag(uint32_t flag, bool on) override {
        drawFlags = on ? (drawFlags | flag) : (drawFlags & ~flag);
    }
    int32_t TextEndX() const override { return textEnd; }
    int32_t textEnd = 0;
};

class Line : public JobContentUnit {
public:
    explicit Line(const char* text) : text_(RawString::FromText(text)) {}
    RawString Text() const override { return text_; }
    void Destroy() override { delete this; }

private:
    RawString text_;
};

}  // namespace

TEST(KindControlTest, KindThreeControllerDoesNothing) {
    JobKindPool pool;
    JobGroupList list;
    list.SetKindPool(&pool);
    JobGroupUnit* job = list.CreateUnit(JobKindType::FromKind(KindNone));
    JobKindControl* control = job->controller;
    ASSERT_EQ(control, &JobKindControl::NoneControl());
    job->content1.path = T("C:\\x");
    Line* line = new Line("abc");
    job->content1.Add(line);
    job->side1.cursorRow = 0;
    job->side1.cursorColumn = 0;
    job->side1.anchorRow = 0;
    job->side1.anchorColumn = 0;
    job->edit.edit1 = 1;

    EXPECT_EQ(control->Load(*job, ModeBoth), 0u);
    EXPECT_EQ(control->Compare(*job), 0u);
    EXPECT_FALSE(control->SaveFile(*job, ModeBoth));
    EXPECT_FALSE(control->DiscardFile(*job, ModeBoth));
    control->InvalidateSide(*job, 0);
    control->Idle(*job);
    EXPECT_FALSE(control->ConnectLines(*job, 0, 0, ConnectModeConnect));
    EXPECT_FALSE(control->ConnectLines(*job, 0, 1, ConnectModeFloat));
    EXPECT_FALSE(control->DisconnectLines(*job));
    POINT pt = {1, 1};
    EXPECT_FALSE(control->SideMenu(*job, 0, nullptr, pt));
    EXPECT_EQ(control->PairStatus(*job, line, &JobNullHeaderUnit::Shared()), 3u);
    EXPECT_EQ(control->PairStatus(*job, nullptr, nullptr), 3u);

    RecordingEditor editor;
    ActionArgs args;
    for (uint32_t command = 0; command <= 27; ++command) {
        EXPECT_FALSE(control->CanExecute(editor, *job, 0, command)) << command;
        EXPECT_FALSE(control->Execute(editor, *job, 0, command, args)) << command;
    }
    EXPECT_EQ(editor.Calls(), 0);

    // Nothing of the job changed.
    EXPECT_EQ(job->content1.Count(), 1);
    EXPECT_EQ(job->rows.Count(), 0);
    EXPECT_EQ(job->flags, 0);
    EXPECT_EQ(job->content1.flags, 0);
    EXPECT_EQ(job->side1.cursorRow, 0);
    EXPECT_EQ(job->statusMask, StatusAll);
}

TEST(KindControlTest, PoolHandsOutEachKindsController) {
    JobKindPool pool;
    const JobKindControl* controls[4] = {&JobPathControl::Shared(), &JobLineControl::Shared(),
                                         &JobBinaryControl::Shared(), &JobKindControl::NoneControl()};
    for (uint32_t kind = 0; kind <= 3; ++kind) {
        JobKindType t = JobKindType::FromKind(kind);
        EXPECT_TRUE(pool.HasKind(t)) << kind;
        EXPECT_EQ(pool.CreateControl(t), controls[kind]) << kind;
        JobKindDBoxDraw* draw = kind == KindText   ? static_cast<JobKindDBoxDraw*>(&JobLineDBoxDraw::Shared())
                                : kind == KindPath ? static_cast<JobKindDBoxDraw*>(&JobPathDBoxDraw::Shared())
                                                   : static_cast<JobKindDBoxDraw*>(&JobBaseDBoxDraw::Shared());
        if (kind == KindBinary) draw = &JobBinaryDBoxDraw::Shared();
        EXPECT_EQ(pool.CreateDraw(t), draw) << kind;
    }
    // A list without a pool makes kind-3 jobs.
    JobGroupList bare;
    JobGroupUnit* job = bare.CreateUnit(JobKindType::FromKind(KindText));
    EXPECT_EQ(job->kind.kind, KindNone);
    EXPECT_EQ(job->controller, &JobKindControl::NoneControl());
}

TEST(KindControlTest, NewJobAndSideRecordDefaults) {
    JobGroupUnit job(JobKindType::FromKind(KindBinary), nullptr);
    EXPECT_EQ(job.controller, &JobKindControl::NoneControl());
    EXPECT_EQ(job.side1.sideIndex, 0u);
    EXPECT_EQ(job.side2.sideIndex, 1u);
    EXPECT_EQ(job.side2.columnCount, 3u);
    EXPECT_EQ(job.side2.kind.kind, KindBinary);
    EXPECT_EQ(job.side1.focusSide, 2u);
    EXPECT_EQ(job.side1.anchorRow, -1);
    EXPECT_EQ(job.side1.cursorColumn, -1);
    EXPECT_EQ(job.side1.viewMode, 7u);
    EXPECT_EQ(job.side1.kindData.get(), nullptr);
    EXPECT_EQ(job.currentRow, -1);
    EXPECT_EQ(job.statusMask, StatusAll);
    EXPECT_EQ(job.useCount, 0);
    EXPECT_EQ(job.parent, nullptr);
    EXPECT_EQ(job.content1.header, &JobNullHeaderUnit::Shared());
    EXPECT_EQ(JobNullHeaderUnit::Shared().flags, UnitHeader);
    EXPECT_EQ(job.content2.encodingKind, 2u);
    EXPECT_EQ(JobSideRecord::ColumnCountOf(KindText), 2u);
    EXPECT_EQ(JobSideRecord::ColumnCountOf(KindNone), 0u);
    JobSideRecord free;
    EXPECT_EQ(free.kind.kind, KindNone);
}

TEST(ContentUnitTest, BaseOperationsAndListReset) {
    Line unit("x");
    JobDrawContext context;
    EXPECT_TRUE(unit.Name().IsEmpty());
    EXPECT_EQ(unit.EntryKind(), 3u);
    EXPECT_FALSE(unit.UpdateKind());
    EXPECT_EQ(unit.FileInfo().writeTime.dwLowDateTime, 0u);
    EXPECT_TRUE(unit.ColumnText(1).IsEmpty());
    EXPECT_EQ(unit.FitCharIndex(5), 5);
    EXPECT_EQ(unit.ColumnAtX(context, 10), 3u);
    EXPECT_EQ(unit.CharIndexAtX(context, 10), -1);
    RECT caret = unit.CaretRect(context, 2);
    EXPECT_TRUE(caret.left == 0 && caret.right == 0 && caret.top == 0 && caret.bottom == 0);
    EXPECT_EQ(unit.CharMidX(1), -1);
    EXPECT_EQ(unit.CharIndexAtOffset(4), -1);
    EXPECT_EQ(unit.LastColumn(), -1);
    EXPECT_EQ(unit.EndColumn(), -1);
    EXPECT_EQ(unit.NextColumn(4), 4);
    JobSideRecord toggled;
    EXPECT_FALSE(unit.ToggleColumn(toggled));
    EXPECT_EQ(toggled.activeColumn, 1u);

    JobContentList list;
    list.Add(new Line("a"));
    list.Add(new Line("b"));
    list.flags = ContentChanged | ContentRead | 0x3000;
    list.ResetForLoad();
    EXPECT_EQ(list.Count(), 0);
    EXPECT_EQ(list.flags, 0x3000);
}

TEST(ReportRowTest, CompareRowSharesDetailBodies) {
    Line a("a");
    Line b("b");
    JobDetailList d0;
    JobDetailList d1;
    d1.Add(SegmentSame, 2, 2);
    d1.Add(SegmentChanged, 1, 3);
    JobDetailList d2;
    JobReportUnit* row = CreateCompareRow(RowChanged, &a, &b, d0, d1, d2);
    EXPECT_EQ(row->flags, 0u);
    EXPECT_EQ(row->kind, RowChanged);
    EXPECT_EQ(row->Unit(0), &a);
    EXPECT_EQ(row->Unit(1), &b);
    EXPECT_TRUE(row->details[1].SharesBodyWith(d1));
    EXPECT_EQ(row->details[1].Count(), 2);
    EXPECT_EQ(row->details[1].Last()->length2, 3);
    JobDetailList all;
    all.AppendAll(d1);
    all.AppendAll(all);
    EXPECT_EQ(all.Count(), 4);
    delete row;
    EXPECT_EQ(d1.Count(), 2);  // the caller's list lives on
}

TEST(ReportRowTest, DetailsAreMadeOnlyWhenWrittenAndWritesNeverReachOtherHolders) {
    Line a("a");
    Line b("b");
    // Rows without segments hold no lists; reading them makes none.
    JobReportUnit* row = NewCompareRow(RowChanged, &a, &b);
    const JobReportUnit& view = *row;
    for (const JobDetailList& d : view.details) EXPECT_TRUE(d.IsEmpty());
    EXPECT_TRUE(view.details[7].IsEmpty());
    EXPECT_FALSE(row->details.IsStored());
    JobReportUnit* bare = CreateCompareRow(RowSame, &a, &b, JobDetailList(), JobDetailList(), JobDetailList());
    EXPECT_FALSE(bare->details.IsStored());
    delete bare;

    // A written list is the row's own; a copy of it shares its segments
    // until one of the two writes.
    row->details[1].Add(SegmentSame, 1, 1);
    EXPECT_TRUE(row->details.IsStored());
    JobDetailList copy = view.details[1];
    EXPECT_TRUE(copy.SharesBodyWith(row->details[1]));
    copy.Add(SegmentChanged, 2, 3);
    copy.begin()->length1 = 9;
    EXPECT_FALSE(copy.SharesBodyWith(row->details[1]));
    ASSERT_EQ(view.details[1].Count(), 1);
    EXPECT_EQ(view.details[1].First()->length1, 1);
    ASSERT_EQ(copy.Count(), 2);
    EXPECT_EQ(copy.Last()->length2, 3);
    JobDetailList twice = copy;
    twice.AppendAll(twice);
    EXPECT_EQ(twice.Count(), 4);
    EXPECT_EQ(copy.Count(), 2);
    for (int i = 0; i < 100; ++i) twice.Add(SegmentOnly1, i, 0);
    EXPECT_EQ(twice.Count(), 104);
    EXPECT_EQ(twice.At(103)->length1, 99);
    EXPECT_EQ(twice.At(104), nullptr);

    // Cleared, the row drops its lists.
    row->details.Clear();
    EXPECT_FALSE(row->details.IsStored());
    EXPECT_TRUE(view.details[1].IsEmpty());
    delete row;
}

TEST(DetailBoxDrawTest, BaseStrategy) {
    JobBaseDBoxDraw& draw = JobBaseDBoxDraw::Shared();
    RecordingBox box;
    DetailDrawRecord record;
    record.Init(&box, 1);
    record.fields.Add(0, FieldRightEnd, 0x123456);
    record.Init(&box, 1);
    EXPECT_EQ(record.fields.Count(), 0);
    EXPECT_EQ(record.side, 1u);
    EXPECT_EQ(record.job, nullptr);

    draw.PrepareBox(record);
    EXPECT_EQ(box.attached, 0);
    EXPECT_EQ(box.back, ButtonFaceColor());
    EXPECT_EQ(box.tab, 1);
    EXPECT_EQ(box.drawFlags, DetailBoxPlainFlag);
    box.typing = true;
    draw.PrepareBox(record);
    EXPECT_EQ(box.attached, 1);

    draw.FillFields(record);
    EXPECT_EQ(record.fields.Count(), 0);
    Line unit("text");
    EXPECT_TRUE(draw.DetailText(record, &unit).IsEmpty());
    DetailDrawRecord other;
    draw.MeasureBox(record, other);
    JobReportUnit row;
    row.kind = RowChanged;
    EXPECT_TRUE(draw.DetailList(&row, T("abc"), T("abd")).IsEmpty());

    DetailDrawRecord none;
    draw.PrepareBox(none);  // no box: nothing to prepare
}

TEST(DetailBoxDrawTest, TextStrategy) {
    JobLineDBoxDraw& draw = JobLineDBoxDraw::Shared();
    RecordingBox box;
    box.typing = true;
    box.textEnd = 37;
    box.drawFlags = DetailBoxPlainFlag | 1;
    DetailDrawRecord record;
    record.Init(&box, 0);
    draw.PrepareBox(record);
    EXPECT_EQ(box.attached, 1);
    EXPECT_EQ(box.back, GetSysColor(COLOR_WINDOW));
    EXPECT_EQ(box.tab, ConfigStore::Instance().tabStop);
    EXPECT_EQ(box.drawFlags, 1u);
    // One field from the end of the box's text to its right end.
    record.fields.Add(1, 2, 3);
    draw.FillFields(record);
    ASSERT_EQ(record.fields.Count(), 1);
    EXPECT_EQ(record.fields.First()->xStart, 37);
    EXPECT_EQ(record.fields.First()->xEnd, FieldRightEnd);
    EXPECT_EQ(record.fields.First()->color, ButtonFaceColor());
    JobLineUnit unit(T("line text"));
    EXPECT_EQ(S(draw.DetailText(record, &unit)), "line text");
    // Segments only for a changed row.
    JobReportUnit row;
    row.kind = RowSame;
    EXPECT_TRUE(draw.DetailList(&row, T("abc"), T("abd")).IsEmpty());
    row.kind = RowChanged;
    JobDetailList expected;
    InlineDiff(expected, T("abc"), T("abd"));
    JobDetailList list = draw.DetailList(&row, T("abc"), T("abd"));
    ASSERT_EQ(list.Count(), expected.Count());
    EXPECT_EQ(list.Last()->kind, expected.Last()->kind);
}

TEST(ContentUnitTest, SideTitles) {
    RawString titles[3] = {T("keep"), T(""), T("")};
    BuildSideTitles(titles);
    EXPECT_TRUE(titles[0].EqualsAscii("keep"));
    EXPECT_TRUE(titles[1].EqualsAscii("[Size] "));
    EXPECT_TRUE(titles[2].EqualsAscii("[Date] "));
}
