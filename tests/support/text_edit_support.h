// Helpers of the text-edit tests: text jobs opened on real files through
// the job list, an editor that records what the controller asks of it, and
// checks that the rows and the sides agree.
#pragma once

#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "base/raw_string.h"
#include "support/job_support.h"
#include "support/test_support.h"
#include "tavrel/jobs/action_args.h"
#include "tavrel/jobs/config_store.h"
#include "tavrel/jobs/inline_diff.h"
#include "tavrel/jobs/job_group.h"
#include "tavrel/jobs/job_kind_control.h"
#include "tavrel/jobs/text/line_edit.h"
#include "tavrel/jobs/text/text_kind.h"

namespace TestSupport {

// An editor that counts what the controller asked of it.
class RecordingEditor : public JobLayer::JobViewEditor {
public:
    int selected = 0, restored = 0, filters = 0, refreshes = 0, carets = 0, moves = 0, repaints = 0,
        boxes = 0, alerts = 0, inputs = 0, listBoxes = 0;
    // Every call of every slot.
    int Calls() const {
        return selected + restored + filters + refreshes + carets + moves + repaints + boxes + alerts + inputs +
               listBoxes;
    }
    int32_t CountSelectedRows() override { return ++selected, 0; }
    int32_t RestoreSelection() override { return ++restored, 0; }
    void ResetFilter() override { ++filters; }
    void RefreshViews() override { ++refreshes; }
    void UpdateCaret() override { ++carets; }
    bool MoveToContentRow() override { return ++moves, true; }
    void RepaintViews() override { ++repaints; }
    void RefreshFolderBox() override { ++boxes; }
    void Alert() override { ++alerts; }
    bool RunInputDialog(JobLayer::ActionArgs&) override { return ++inputs, false; }
    WinLayer::WinListBox* FolderBox() override { return ++listBoxes, nullptr; }
};

// The bytes of a text as it stands in memory.
inline std::string Units(const RawLayer::RawString& s) {
    const int width = s.Kind() == RawLayer::KindUtf16 ? 2 : 1;
    return std::string(s.Bytes(), static_cast<size_t>(s.Length()) * width);
}

// UTF-16 bytes of a UTF-8 text, little- or big-endian.
inline std::string Utf16Bytes(const std::string& utf8, bool big) {
    std::wstring w = Wide(utf8);
    std::string out;
    for (wchar_t c : w) {
        char lo = static_cast<char>(c & 0xFF), hi = static_cast<char>((c >> 8) & 0xFF);
        out += big ? std::string{hi, lo} : std::string{lo, hi};
    }
    return out;
}

// Text jobs on files in a temporary folder, with the kinds in the pool and
// the default extension table; reports go to `logger`, backups to
// folder\Backups; no job is left behind.
class TextEditFixture : public BackupFixture {
protected:
    void SetUp() override {
        BackupFixture::SetUp();
        static JobLayer::JobKindPool pool;
        JobLayer::JobGroupList::Instance().SetKindPool(&pool);
        std::wstring ini = folder.Join(L"Tavrel.ini");
        WriteFileBytes(ini, "[Common]\r\nProgram=Tavrel\r\n");
        JobLayer::ExtensionKindTable::Shared().Load(RawLayer::ProfileFileRef::FromPath(W(ini)));
        CloseAll();
    }
    void TearDown() override {
        CloseAll();
        BackupFixture::TearDown();
    }
    static void CloseAll() {
        JobLayer::JobGroupList& list = JobLayer::JobGroupList::Instance();
        for (JobLayer::JobGroupUnit& job : list)
            job.flags = static_cast<uint16_t>(job.flags | JobLayer::JobClosed);
        list.PurgeClosed();
    }
    // A text job of two files, both sides editable.
    JobLayer::JobGroupUnit* Open(const std::string& bytes1, const std::string& bytes2) {
        std::wstring one = File(Wide("one" + std::to_string(serial) + ".txt"), bytes1);
        std::wstring two = File(Wide("two" + std::to_string(serial++) + ".txt"), bytes2);
        JobLayer::JobGroupUnit* job = JobLayer::JobGroupList::Instance().OpenPair(W(one), W(two));
        EXPECT_EQ(job->kind.kind, uint32_t(JobLayer::KindText));
        job->edit.edit1 = job->edit.edit2 = 1;
        return job;
    }
    bool Run(JobLayer::JobGroupUnit* job, uint32_t side, uint32_t command) {
        return job->controller->Execute(editor, *job, side, command, args);
    }
    bool Run(JobLayer::JobGroupUnit* job, uint32_t side, uint32_t command, const std::string& operand) {
        args.operands[0] = RawLayer::RawString::FromText(operand.c_str());
        return Run(job, side, command);
    }
    // Anchor and caret of a side, in display rows.
    static void Place(JobLayer::JobGroupUnit* job, uint32_t side, int32_t anchorRow, int32_t anchorColumn,
                      int32_t caretRow, int32_t caretColumn) {
        JobLayer::JobSideRecord& s = job->Side(side);
        s.anchorRow = anchorRow;
        s.anchorColumn = anchorColumn;
        s.cursorRow = caretRow;
        s.cursorColumn = caretColumn;
    }
    // The lines of a side as their bytes in memory.
    static std::vector<std::string> Lines(const JobLayer::JobGroupUnit* job, uint32_t side) {
        std::vector<std::string> out;
        for (const JobLayer::JobContentUnit& unit : job->Content(side)) out.push_back(Units(unit.Text()));
        return out;
    }
    // The lines of a side as UTF-8.
    static std::vector<std::string> Text(const JobLayer::JobGroupUnit* job, uint32_t side) {
        std::vector<std::string> out;
        for (const JobLayer::JobContentUnit& unit : job->Content(side)) out.push_back(S(unit.Text()));
        return out;
    }
    // The segments of a detail list as text: kind, length 1, length 2.
    static std::string Segments(const JobLayer::JobDetailList& list) {
        std::string text;
        for (const JobLayer::JobDetailUnit& unit : list)
            text += std::to_string(unit.kind) + ":" + std::to_string(unit.length1) + "," + std::to_string(unit.length2) + " ";
        return text;
    }
    // Every line of each side stands in the rows once and in side order,
    // the lines are numbered 1, 2, 3, ..., and a row's kind and detail fit
    // its units.
    static void ExpectConsistent(const JobLayer::JobGroupUnit* job) {
        for (uint32_t side = 0; side < 2; ++side) {
            std::vector<const JobLayer::JobContentUnit*> inRows, inList;
            for (const JobLayer::JobReportUnit& row : job->rows) {
                const JobLayer::JobContentUnit* unit = row.Unit(side);
                ASSERT_NE(unit, nullptr);
                if (!unit->IsPlaceholder()) inRows.push_back(unit);
            }
            int32_t number = 1;
            for (const JobLayer::JobContentUnit& unit : job->Content(side)) {
                inList.push_back(&unit);
                EXPECT_EQ(static_cast<const JobLayer::JobLineUnit&>(unit).LineNumber(), number++);
            }
            EXPECT_EQ(inRows, inList) << "side " << side;
        }
        for (const JobLayer::JobReportUnit& row : job->rows) {
            bool real1 = !row.unit1->IsPlaceholder(), real2 = !row.unit2->IsPlaceholder();
            EXPECT_TRUE(real1 || real2);
            EXPECT_EQ(row.flags & JobLayer::RowEdited, 0u);
            uint32_t kind = !real2 ? uint32_t(JobLayer::RowOnly1) : !real1 ? uint32_t(JobLayer::RowOnly2) : row.kind;
            EXPECT_EQ(row.kind, kind);
            if (real1 && real2) {
                EXPECT_EQ(row.kind == JobLayer::RowSame, row.unit1->Text().Equals(row.unit2->Text()));
                // The text column holds the character comparison of the two
                // lines (none when they are equal), the other columns none.
                JobLayer::JobDetailList expected;
                if (row.kind != JobLayer::RowSame) JobLayer::InlineDiff(expected, row.unit1->Text(), row.unit2->Text());
                EXPECT_EQ(Segments(row.details[1]), Segments(expected));
                EXPECT_TRUE(row.details[0].IsEmpty());
                EXPECT_TRUE(row.details[2].IsEmpty());
            }
        }
    }

    RecordingEditor editor;
    JobLayer::ActionArgs args;
    int serial = 0;
};

}  // namespace TestSupport
