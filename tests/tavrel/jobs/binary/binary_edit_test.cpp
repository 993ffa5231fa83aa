// The edit commands of a binary side through JobKindControl::Execute with a
// recording editor, on real files: a property run of random commands over
// random files (rows stay whole, undo and redo take the side back and
// forth, a save writes the buffer), then the cases that a random run cannot
// tell: typing by half-bytes, gaps, the end row, addresses, the row
// commands, the clipboard and the search.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "base/clipboard.h"
#include "support/job_support.h"
#include "support/test_support.h"
#include "support/text_edit_support.h"
#include "tavrel/jobs/binary/binary_edit.h"
#include "tavrel/jobs/binary/binary_kind.h"
#include "tavrel/jobs/config_store.h"

using namespace JobLayer;
using RawLayer::RawString;
using TestSupport::ReadFileBytes;
using TestSupport::RecordingEditor;
using TestSupport::S;
using TestSupport::W;

namespace {

std::string BytesOf(const std::vector<uint8_t>& v) { return std::string(v.begin(), v.end()); }

class BinaryEditTest : public TestSupport::BackupFixture {
protected:
    std::unique_ptr<JobGroupUnit> Open(const std::string& bytes1, const std::string& bytes2) {
        path1 = File(L"one" + std::to_wstring(serial) + L".bin", bytes1);
        path2 = File(L"two" + std::to_wstring(serial++) + L".bin", bytes2);
        std::unique_ptr<JobGroupUnit> job(
            new JobGroupUnit(JobKindType::FromKind(KindBinary), &JobBinaryControl::Shared()));
        job->content1.path = W(path1);
        job->content2.path = W(path2);
        job->edit.edit1 = job->edit.edit2 = 1;
        job->controller->Load(*job, ModeBoth);
        return job;
    }
    bool Run(JobGroupUnit& job, uint32_t command, uint32_t side = 0) {
        return job.controller->Execute(editor, job, side, command, args);
    }
    bool Run(JobGroupUnit& job, uint32_t command, const std::string& operand, uint32_t side = 0) {
        args.operands[0] = RawString::FromText(operand.c_str());
        return Run(job, command, side);
    }
    bool Type(JobGroupUnit& job, const std::string& units) {
        bool all = true;
        for (char c : units) all = Run(job, CommandInsertTypedText, std::string(1, c)) && all;
        return all;
    }
    static void Place(JobGroupUnit& job, uint32_t side, int32_t anchorRow, int32_t anchorColumn, int32_t row,
                      int32_t column) {
        JobSideRecord& s = job.Side(side);
        s.anchorRow = anchorRow;
        s.anchorColumn = anchorColumn;
        s.cursorRow = row;
        s.cursorColumn = column;
    }
    static std::string Buffer(JobGroupUnit& job, uint32_t side = 0) {
        JobBinaryBaseData* data = BinaryDataOf(job.Side(side));
        std::string out;
        for (int32_t i = 0; data && i < data->Length(); ++i) out += static_cast<char>(data->ByteAt(i));
        return out;
    }
    static JobBinaryUnit* Row(JobGroupUnit& job, uint32_t side, int32_t index) {
        return static_cast<JobBinaryUnit*>(job.Content(side).At(index));
    }

    // Rows of every side stay whole: first indexes add up, mask bits lie
    // below the extent, every row but the last is full and the last has
    // room; result row r shows unit r of each side (or a placeholder), its
    // kind fits its units; the places stay inside the rows.
    static void ExpectWhole(JobGroupUnit& job) {
        for (uint32_t side = 0; side < 2; ++side) {
            JobContentList& content = job.Content(side);
            JobBinaryBaseData* data = BinaryDataOf(job.Side(side));
            ASSERT_NE(data, nullptr);
            ASSERT_GT(content.Count(), 0);
            uint32_t next = 0;
            for (int32_t i = 0; i < content.Count(); ++i) {
                const JobBinaryUnit* unit = Row(job, side, i);
                ASSERT_EQ(unit->firstIndex, next) << "side " << side << " row " << i;
                ASSERT_EQ(unit->mask & ~JobBinaryUnit::MaskOfCount(unit->extent), 0) << "row " << i;
                ASSERT_EQ(unit->byteCount, __builtin_popcount(unit->mask));
                if (i + 1 < content.Count()) {
                    ASSERT_EQ(unit->extent, 16) << "row " << i;
                }
                next += unit->byteCount;
            }
            ASSERT_LT(Row(job, side, content.Count() - 1)->extent, 16);
            ASSERT_EQ(next, static_cast<uint32_t>(data->Length()));
        }
        const int32_t n1 = job.content1.Count(), n2 = job.content2.Count();
        ASSERT_EQ(job.rows.Count(), std::max(n1, n2));
        for (int32_t r = 0; r < job.rows.Count(); ++r) {
            const JobReportUnit* row = job.rows.At(r);
            ASSERT_EQ(row->unit1, r < n1 ? job.content1.At(r) : &EmptyBinaryUnit()) << "row " << r;
            ASSERT_EQ(row->unit2, r < n2 ? job.content2.At(r) : &EmptyBinaryUnit()) << "row " << r;
            uint32_t kind = r >= n2 ? uint32_t(RowOnly1) : r >= n1 ? uint32_t(RowOnly2) : BinaryRowsSame(*Row(job, 0, r), *Row(job, 1, r)) ? uint32_t(RowSame) : uint32_t(RowChanged);
            ASSERT_EQ(row->kind, kind) << "row " << r;
        }
        for (uint32_t side = 0; side < 2; ++side) {
            ASSERT_LT(job.Side(side).cursorRow, job.rows.Count());
            ASSERT_LT(job.Side(side).anchorRow, job.rows.Count());
        }
        ASSERT_LT(job.currentRow, job.rows.Count());
        ASSERT_EQ((job.flags & JobSame) != 0, JobGroupUnit::AllRowsSame(&job));
    }

    RecordingEditor editor;
    ActionArgs args;
    std::wstring path1, path2;
    int serial = 0;
};

// Whether a file below a folder holds exactly the bytes.
bool HoldsFileWith(const std::wstring& folder, const std::string& bytes) {
    return TestSupport::AnyFileBelow(folder,
                                     [&](const std::wstring& path) { return BytesOf(ReadFileBytes(path)) == bytes; });
}

std::string RandomBytes(std::mt19937& rng, size_t n) {
    std::string s;
    for (size_t i = 0; i < n; ++i) s += static_cast<char>(rng() % 4 == 0 ? 0 : rng() & 0xFF);
    return s;
}

}  // namespace

TEST_F(BinaryEditTest, RandomCommandsKeepRowsWholeUndoRedoAndSave) {
    std::mt19937 rng(21);
    const char* const hexDigits = "0123456789abcdefABCDEF";
    const std::vector<std::string> texts = {"41 42 43", "  41   00", "00", "a", "\xE3\x81\x82\xE3\x81\x84", "xyz",
                                            "\xC3\xA9", "7f ff", "0", "41  42"};
    const uint32_t kinds[] = {RawLayer::KindUtf8, RawLayer::KindSjis, RawLayer::KindUtf16LE};
    int saves = 0;
    for (int run = 0; run < 1500; ++run) {
        const std::string loaded = RandomBytes(rng, rng() % 101);
        std::unique_ptr<JobGroupUnit> job = Open(loaded, RandomBytes(rng, rng() % 101));
        JobSideRecord& side = job->side1;
        BinaryInsertMode(side) = static_cast<uint8_t>(rng() % 2);
        BinaryEncodingKind(side) = kinds[rng() % 3];
        for (int step = 0; step < 24; ++step) {
            JobContentList& content = job->content1;
            if (rng() % 3 == 0) {
                // A new place anywhere on side 1, a selection at times.
                int32_t row = static_cast<int32_t>(rng() % content.Count());
                int32_t column = static_cast<int32_t>(rng() % (Row(*job, 0, row)->extent + 1));
                int32_t anchorRow = row, anchorColumn = column;
                if (rng() % 3 == 0) {
                    anchorRow = static_cast<int32_t>(rng() % content.Count());
                    anchorColumn = static_cast<int32_t>(rng() % (Row(*job, 0, anchorRow)->extent + 1));
                }
                Place(*job, 0, anchorRow, anchorColumn, row, column);
            }
            if (rng() % 8 == 0) side.activeColumn = side.activeColumn == 1 ? 2 : 1;
            if (rng() % 16 == 0) BinaryInsertMode(side) ^= 1;
            switch (rng() % 12) {
            case 0:
            case 1:
            case 2:
                Run(*job, CommandInsertTypedText, std::string(1, hexDigits[rng() % 22]));
                break;
            case 3:
                Run(*job, CommandInsertTypedText, rng() % 2 ? " " : std::string(1, static_cast<char>('G' + rng() % 20)));
                break;
            case 4:
                Run(*job, rng() % 2 ? CommandBackspace : CommandDeleteCharOrSelections);
                break;
            case 5:
                Run(*job, CommandInsertText, texts[rng() % texts.size()]);
                break;
            case 6:
                if (rng() % 4 == 0) {
                    ASSERT_TRUE(RawLayer::ClipboardSetText(RawString::FromText(texts[rng() % texts.size()].c_str())));
                    Run(*job, CommandPasteFromClipboard);
                } else {
                    Run(*job, CommandDeleteSelections);
                }
                break;
            case 7:
            case 8: {
                for (JobReportUnit& row : job->rows) row.flags = rng() % 4 == 0 ? uint32_t(RowMarked) : 0u;
                Run(*job, rng() % 2 ? CommandCopyLinesTo : CommandDeleteLines);
                for (JobReportUnit& row : job->rows) row.flags = 0;
                break;
            }
            case 9:
            case 10:
                Run(*job, CommandUndo);
                break;
            default:
                Run(*job, CommandRedo);
                break;
            }
            ASSERT_NO_FATAL_FAILURE(ExpectWhole(*job)) << "run " << run << " step " << step;
        }
        // Every record done: the edited side.
        for (int i = 0; i < 2000 && Run(*job, CommandRedo); ++i) {
        }
        const std::string edited = Buffer(*job);
        for (int i = 0; i < 2000 && Run(*job, CommandUndo); ++i) {
        }
        ASSERT_EQ(Buffer(*job), loaded) << "run " << run;
        ASSERT_NO_FATAL_FAILURE(ExpectWhole(*job));
        for (int i = 0; i < 2000 && Run(*job, CommandRedo); ++i) {
        }
        ASSERT_EQ(Buffer(*job), edited) << "run " << run;
        ASSERT_NO_FATAL_FAILURE(ExpectWhole(*job));
        if (run % 150 == 0 && edited != loaded) {
            const std::vector<std::wstring> before = BackupFolders();
            ASSERT_TRUE(job->controller->SaveFile(*job, ModeSide1));
            EXPECT_EQ(BytesOf(ReadFileBytes(path1)), edited);
            // The old file is kept in the new dated backup folder.
            const std::vector<std::wstring> after = BackupFolders();
            ASSERT_EQ(after.size(), before.size() + 1);
            for (const std::wstring& made : after) {
                if (std::find(before.begin(), before.end(), made) == before.end()) {
                    EXPECT_TRUE(HoldsFileWith(made, loaded)) << "run " << run;
                }
            }
            ++saves;
        }
    }
    EXPECT_GT(saves, 3);
}

TEST_F(BinaryEditTest, TwoDigitsOverwriteOneByteAndOneUndoRestoresIt) {
    std::unique_ptr<JobGroupUnit> job = Open(std::string(4, '\0'), "");
    EXPECT_TRUE(Run(*job, CommandInsertTypedText, "4"));
    EXPECT_EQ(BinaryPendingHalfByte(job->side1), 1u);
    EXPECT_EQ(Buffer(*job), std::string("\x40\0\0\0", 4));
    EXPECT_TRUE(Run(*job, CommandInsertTypedText, "1"));
    EXPECT_EQ(Buffer(*job), std::string("\x41\0\0\0", 4));
    EXPECT_EQ(job->side1.cursorColumn, 1);
    EXPECT_TRUE(Run(*job, CommandUndo));
    EXPECT_EQ(Buffer(*job), std::string(4, '\0'));
    EXPECT_FALSE(Run(*job, CommandUndo));
    // A space waits for the second digit of a byte: it would blank it.
    EXPECT_TRUE(Run(*job, CommandInsertTypedText, "9"));
    EXPECT_FALSE(Run(*job, CommandInsertTypedText, " "));
    EXPECT_TRUE(Run(*job, CommandInsertTypedText, "a"));
    EXPECT_EQ(Buffer(*job), std::string("\0\x9A\0\0", 4));
    EXPECT_TRUE(Run(*job, CommandUndo));
    // A space makes a gap, never the byte 22.
    Place(*job, 0, 0, 2, 0, 2);
    EXPECT_TRUE(Run(*job, CommandInsertTypedText, " "));
    EXPECT_EQ(Buffer(*job), std::string(3, '\0'));
    EXPECT_FALSE(Row(*job, 0, 0)->HasByteAt(2));
    // Any other command ends a half-byte: the next digit starts a byte.
    Place(*job, 0, 0, 0, 0, 0);
    EXPECT_TRUE(Run(*job, CommandInsertTypedText, "7"));
    EXPECT_TRUE(Run(*job, CommandSelectWholeLine));
    EXPECT_EQ(BinaryPendingHalfByte(job->side1), 0u);
    Place(*job, 0, 0, 1, 0, 1);
    EXPECT_TRUE(Run(*job, CommandInsertTypedText, "2"));
    EXPECT_EQ(Buffer(*job)[0], '\x70');
    EXPECT_EQ(Buffer(*job)[1], '\x20');
    // The caret moved away from a half-typed byte (a click): the digit
    // starts the byte under it, never finishes the other one.
    Place(*job, 0, 0, 2, 0, 2);
    EXPECT_EQ(BinaryPendingHalfByte(job->side1), 1u);
    EXPECT_TRUE(Run(*job, CommandInsertTypedText, "5"));
    EXPECT_EQ(Buffer(*job), std::string("\x70\x20\x50\x00", 4));
    // Switching the column there and back ends it too.
    EXPECT_EQ(BinaryPendingHalfByte(job->side1), 1u);
    EXPECT_TRUE(Row(*job, 0, 0)->ToggleColumn(job->side1));
    EXPECT_TRUE(Row(*job, 0, 0)->ToggleColumn(job->side1));
    EXPECT_TRUE(Run(*job, CommandInsertTypedText, "6"));
    EXPECT_EQ(Buffer(*job), std::string("\x70\x20\x60\x00", 4));
}

TEST_F(BinaryEditTest, OverwriteDeletionLeavesGapsAndSavesShorter) {
    std::string bytes;
    for (int i = 0; i < 20; ++i) bytes += static_cast<char>('a' + i);
    std::unique_ptr<JobGroupUnit> job = Open(bytes, bytes);
    Place(*job, 0, 0, 3, 0, 6);
    EXPECT_TRUE(Run(*job, CommandDeleteSelections));
    EXPECT_EQ(job->content1.Count(), 2);
    EXPECT_EQ(Row(*job, 0, 0)->extent, 16);
    EXPECT_EQ(Row(*job, 0, 0)->mask, 0xE3FF);
    EXPECT_EQ(Row(*job, 0, 1)->firstIndex, 13u);
    EXPECT_EQ(S(Row(*job, 0, 0)->ColumnText(2)), "abc   ghijklmnop");
    EXPECT_EQ(S(Row(*job, 0, 0)->ColumnText(1)).substr(6, 14), "63          67");
    EXPECT_TRUE(job->controller->SaveFile(*job, ModeSide1));
    EXPECT_EQ(ReadFileBytes(path1).size(), 17u);
}

TEST_F(BinaryEditTest, InsertAtTheLastPositionOfAFullRowFlowsIntoTheEndRow) {
    std::unique_ptr<JobGroupUnit> job = Open(std::string(32, 'x'), "");
    BinaryInsertMode(job->side1) = 1;
    ASSERT_EQ(job->content1.Count(), 3);
    Place(*job, 0, 1, 15, 1, 15);
    EXPECT_TRUE(Run(*job, CommandInsertText, "41"));
    EXPECT_EQ(job->content1.Count(), 3);
    EXPECT_EQ(Row(*job, 0, 1)->extent, 16);
    EXPECT_EQ(Row(*job, 0, 2)->extent, 1);
    EXPECT_EQ(Buffer(*job).substr(30), "xAx");
}

TEST_F(BinaryEditTest, AddressesAreReadAsHexIn64Bits) {
    std::unique_ptr<JobGroupUnit> job = Open(std::string(0x40, 'q'), "");
    EXPECT_TRUE(Run(*job, CommandGotoLine, "1F"));
    EXPECT_EQ(job->side1.cursorRow, 1);
    EXPECT_EQ(job->side1.cursorColumn, 15);
    Place(*job, 0, 0, 0, 0, 0);
    EXPECT_TRUE(Run(*job, CommandGotoLine, "0x1F"));
    EXPECT_EQ(job->side1.cursorRow, 1);
    EXPECT_EQ(job->side1.cursorColumn, 15);
    EXPECT_FALSE(Run(*job, CommandGotoLine, "40"));
    EXPECT_FALSE(Run(*job, CommandGotoLine, "0x100000010"));
    EXPECT_FALSE(Run(*job, CommandGotoLine, "-1"));
    EXPECT_EQ(job->side1.cursorRow, 1);
    EXPECT_EQ(job->side1.cursorColumn, 15);
}

TEST_F(BinaryEditTest, EnableRules) {
    std::unique_ptr<JobGroupUnit> job = Open("abc", "abd");
    for (uint32_t command : {6u, 7u, 8u, 23u, 24u, 25u, 0u, 27u}) {
        EXPECT_FALSE(job->controller->CanExecute(editor, *job, 0, command)) << command;
        const int before = editor.alerts;
        EXPECT_FALSE(Run(*job, command));
        EXPECT_EQ(editor.alerts, before + 1);
    }
    // A side without its edit flag, and one cut at the loading limit, take
    // no change: 17 and 18 beep and change nothing.
    job->rows.At(0)->flags = RowMarked;
    job->edit.edit1 = 0;
    for (uint32_t command : {9u, 10u, 11u, 13u, 14u, 15u, 16u, 17u, 18u, 21u, 26u})
        EXPECT_FALSE(job->controller->CanExecute(editor, *job, 0, command)) << command;
    EXPECT_FALSE(Run(*job, CommandCopyLinesTo));
    EXPECT_EQ(Buffer(*job), "abc");
    const int32_t old = ConfigStore::Instance().maxBinaryLoading;
    ConfigStore::Instance().maxBinaryLoading = 2;
    std::unique_ptr<JobGroupUnit> cut = Open("abcdef", "abc");
    ConfigStore::Instance().maxBinaryLoading = old;
    cut->edit.edit1 = 1;
    cut->rows.At(0)->flags = RowMarked;
    const int before = editor.alerts;
    EXPECT_FALSE(Run(*cut, CommandDeleteLines));
    EXPECT_EQ(editor.alerts, before + 1);
    EXPECT_EQ(Buffer(*cut), "ab");
    EXPECT_TRUE(job->controller->CanExecute(editor, *job, 0, CommandSearchForward));
    EXPECT_TRUE(job->controller->CanExecute(editor, *job, 0, CommandGotoLine));
}

TEST_F(BinaryEditTest, DeletingEveryByteInInsertModeLeavesOneEmptyRowThatTakesTyping) {
    std::unique_ptr<JobGroupUnit> job = Open(std::string(40, 'z'), std::string(40, 'z'));
    BinaryInsertMode(job->side1) = 1;
    Place(*job, 0, 2, 8, 2, 8);
    for (int i = 0; i < 40; ++i) ASSERT_TRUE(Run(*job, CommandBackspace)) << i;
    EXPECT_FALSE(Run(*job, CommandBackspace));
    EXPECT_EQ(job->content1.Count(), 1);
    EXPECT_EQ(Row(*job, 0, 0)->extent, 0);
    EXPECT_EQ(job->rows.Count(), 3);
    EXPECT_EQ(job->side1.cursorRow, 0);
    EXPECT_EQ(job->side1.cursorColumn, 0);
    EXPECT_TRUE(Type(*job, "4142"));
    EXPECT_EQ(Buffer(*job), "AB");
    ASSERT_NO_FATAL_FAILURE(ExpectWhole(*job));
    // All at once: the rows a long deletion empties go in one step.
    std::unique_ptr<JobGroupUnit> whole = Open(std::string(40, 'z'), "");
    BinaryInsertMode(whole->side1) = 1;
    EXPECT_TRUE(Run(*whole, CommandSelectAll));
    EXPECT_TRUE(Run(*whole, CommandDeleteSelections));
    EXPECT_EQ(whole->content1.Count(), 1);
    EXPECT_EQ(whole->rows.Count(), 1);
    EXPECT_EQ(Buffer(*whole), "");
    ASSERT_NO_FATAL_FAILURE(ExpectWhole(*whole));
    EXPECT_TRUE(Run(*whole, CommandUndo));
    EXPECT_EQ(Buffer(*whole), std::string(40, 'z'));
}

TEST_F(BinaryEditTest, WordsAreTakenAroundTheCaretsByte) {
    std::unique_ptr<JobGroupUnit> job = Open("ab cd_ef gh", "");
    Place(*job, 0, 0, 4, 0, 4);
    EXPECT_TRUE(Run(*job, CommandSelectWord));
    EXPECT_EQ(job->side1.anchorColumn, 3);
    EXPECT_EQ(job->side1.cursorColumn, 5);
    Place(*job, 0, 0, 4, 0, 4);
    EXPECT_TRUE(Run(*job, CommandSelectWordEx));
    EXPECT_EQ(job->side1.anchorColumn, 3);
    EXPECT_EQ(job->side1.cursorColumn, 8);
}

TEST_F(BinaryEditTest, CopyingRowsExtendsTheShorterSideToEqualTheLonger) {
    std::string longer;
    for (int i = 0; i < 37; ++i) longer += static_cast<char>(i * 3);
    std::unique_ptr<JobGroupUnit> job = Open("short", longer);
    for (JobReportUnit& row : job->rows) row.flags = RowMarked;
    EXPECT_TRUE(Run(*job, CommandCopyLinesTo));
    EXPECT_EQ(Buffer(*job), longer);
    EXPECT_TRUE((job->flags & JobSame) != 0);
    ASSERT_NO_FATAL_FAILURE(ExpectWhole(*job));
    // The selection becomes the marked rows.
    EXPECT_EQ(job->side1.cursorRow, 0);
    EXPECT_EQ(job->side1.anchorRow, 2);
    EXPECT_TRUE(Run(*job, CommandUndo));
    EXPECT_EQ(Buffer(*job), "short");
    // Clearing rows leaves gaps: the bytes go, the positions stay.
    for (JobReportUnit& row : job->rows) row.flags = RowMarked;
    EXPECT_TRUE(Run(*job, CommandDeleteLines, 1));
    EXPECT_EQ(Buffer(*job, 1), "");
    EXPECT_EQ(Row(*job, 1, 0)->extent, 16);
}

// The row commands over runs of marked rows give the cells of writing each
// row on its own; undo and redo take the side back and forth.
TEST_F(BinaryEditTest, RowCommandsOverRunsOfRowsGiveWhatEachRowWouldGive) {
    std::mt19937 rng(38);
    for (int run = 0; run < 300 && !HasFailure(); ++run) {
        SCOPED_TRACE("run " + std::to_string(run));
        std::unique_ptr<JobGroupUnit> job = Open(RandomBytes(rng, rng() % 300), RandomBytes(rng, rng() % 300));
        BinaryInsertMode(job->side1) = static_cast<uint8_t>(rng() % 2);
        if (rng() % 2) {
            // Gaps here and there first.
            Place(*job, 0, 0, static_cast<int32_t>(rng() % 8), 0, 8);
            BinaryInsertMode(job->side1) = 0;
            Run(*job, CommandDeleteSelections);
        }
        auto cellsOf = [&](uint32_t side) {
            const RawString cells = BinaryCellsOfRange(BinaryEditContext(editor, *job, side), BinaryRange{0, 1 << 20});
            std::vector<uint32_t> out;
            for (int32_t i = 0; i < cells.Length(); ++i) out.push_back(cells.UnitAt(i));
            return out;
        };
        const std::vector<uint32_t> before = cellsOf(0), other = cellsOf(1);
        std::vector<uint32_t> expected = before;
        const bool copy = rng() % 2 != 0;
        bool marked = false;
        for (int32_t r = 0; r < job->rows.Count(); ++r) {
            if (rng() % 4 == 0) marked = !marked;
            if (!marked) continue;
            job->rows.At(r)->flags |= RowMarked;
            const size_t at = static_cast<size_t>(r) * 16;
            const size_t here = expected.size() > at ? std::min<size_t>(16, expected.size() - at) : 0;
            std::vector<uint32_t> cells;
            if (copy) {
                if (job->rows.At(r)->unit2->IsPlaceholder()) continue;
                if (at < other.size())
                    cells.assign(other.begin() + static_cast<long>(at),
                                 other.begin() + static_cast<long>(std::min(other.size(), at + 16)));
                while (cells.size() < here) cells.push_back(BinaryEmptyCell);
            } else {
                cells.assign(here, BinaryEmptyCell);
            }
            if (cells.empty()) continue;
            if (expected.size() < at + cells.size()) expected.resize(at + cells.size(), BinaryEmptyCell);
            std::copy(cells.begin(), cells.end(), expected.begin() + static_cast<long>(at));
        }
        const bool done = Run(*job, copy ? CommandCopyLinesTo : CommandDeleteLines);
        for (JobReportUnit& row : job->rows) row.flags = 0;
        EXPECT_EQ(cellsOf(0), expected);
        ASSERT_NO_FATAL_FAILURE(ExpectWhole(*job));
        if (!done) continue;
        EXPECT_TRUE(Run(*job, CommandUndo));
        EXPECT_EQ(cellsOf(0), before);
        ASSERT_NO_FATAL_FAILURE(ExpectWhole(*job));
        EXPECT_TRUE(Run(*job, CommandRedo));
        EXPECT_EQ(cellsOf(0), expected);
        ASSERT_NO_FATAL_FAILURE(ExpectWhole(*job));
    }
}

// The row commands over every row and their undo grow with the rows, not
// with their square: sixteen times the bytes take well under 256 times as
// long.
TEST_F(BinaryEditTest, RowCommandsOverEveryRowTakeTimeInProportion) {
    std::mt19937 rng(5);
    auto measure = [&](size_t bytes) {
        const std::string loaded = RandomBytes(rng, bytes);
        std::unique_ptr<JobGroupUnit> job = Open(loaded, RandomBytes(rng, bytes));
        std::vector<double> times;
        LARGE_INTEGER f, t0, t1;
        QueryPerformanceFrequency(&f);
        for (uint32_t command : {CommandDeleteLines, CommandUndo, CommandCopyLinesTo, CommandUndo}) {
            for (JobReportUnit& row : job->rows) row.flags = command == CommandUndo ? 0u : uint32_t(RowMarked);
            QueryPerformanceCounter(&t0);
            EXPECT_TRUE(Run(*job, command));
            QueryPerformanceCounter(&t1);
            times.push_back(std::max(double(t1.QuadPart - t0.QuadPart) / double(f.QuadPart), 0.002));
        }
        EXPECT_TRUE(Buffer(*job) == loaded);
        return times;
    };
    // The best of three runs of each size: a busy machine stretches single
    // runs, never the best one.
    auto best = [&](size_t bytes) {
        std::vector<double> times = measure(bytes);
        for (int run = 1; run < 3; ++run) {
            const std::vector<double> again = measure(bytes);
            for (size_t i = 0; i < times.size(); ++i) times[i] = std::min(times[i], again[i]);
        }
        return times;
    };
    const std::vector<double> small = best(32 * 1024);
    const std::vector<double> large = best(512 * 1024);
    const char* const names[] = {"clearing", "its undo", "copying", "its undo"};
    for (size_t i = 0; i < small.size(); ++i)
        EXPECT_LT(large[i] / small[i], 64.0) << names[i] << ": " << small[i] << " s, then " << large[i] << " s";
}

TEST_F(BinaryEditTest, ClipboardHexRoundTripsBytesAndGapsAndCharactersFollowTheEncoding) {
    std::string all;
    for (int i = 0; i < 40; ++i) all += static_cast<char>(i % 3 == 0 ? 0 : i * 7);
    std::unique_ptr<JobGroupUnit> job = Open(all, "");
    Place(*job, 0, 0, 2, 0, 4);
    ASSERT_TRUE(Run(*job, CommandDeleteSelections));  // two gaps (overwrite mode)
    Place(*job, 0, 0, 0, 2, 8);
    ASSERT_TRUE(Run(*job, CommandCopyToClipboard));
    const RawString hex = RawLayer::ClipboardGetText(10000);
    EXPECT_EQ(S(hex).substr(0, 14), "00 07       1C");
    std::unique_ptr<JobGroupUnit> other = Open(std::string(40, 'k'), "");
    BinaryInsertMode(other->side1) = 1;
    ASSERT_TRUE(Run(*other, CommandPasteFromClipboard));
    RawString a = BinaryCellsOfRange(BinaryEditContext(editor, *job, 0), BinaryRange{0, 40});
    RawString b = BinaryCellsOfRange(BinaryEditContext(editor, *other, 0), BinaryRange{0, 40});
    EXPECT_TRUE(a.Equals(b));

    // Characters: UTF-8 and Shift_JIS text copied as it was pasted.
    for (uint32_t kind : {uint32_t(RawLayer::KindUtf8), uint32_t(RawLayer::KindSjis)}) {
        std::unique_ptr<JobGroupUnit> text = Open("", "");
        BinaryEncodingKind(text->side1) = kind;
        text->side1.activeColumn = 2;
        const std::string sample = "a\xE3\x81\x82\xE6\xBC\xA2z";
        ASSERT_TRUE(Run(*text, CommandInsertText, sample));
        Place(*text, 0, 0, 0, 0, text->content1.Count() > 0 ? Row(*text, 0, 0)->extent : 0);
        ASSERT_TRUE(Run(*text, CommandCopyToClipboard));
        EXPECT_EQ(S(RawLayer::ClipboardGetText(100)), sample) << kind;
        EXPECT_EQ(Buffer(*text).size(), kind == RawLayer::KindUtf8 ? 8u : 6u);
    }
    // A 0x00 byte would cut the text short: no copy, false.
    job->side1.activeColumn = 2;
    Place(*job, 0, 0, 0, 0, 8);
    EXPECT_FALSE(Run(*job, CommandCopyToClipboard));
    // あ as characters in UTF-16.
    for (uint32_t kind : {uint32_t(RawLayer::KindUtf16LE), uint32_t(RawLayer::KindUtf16BE)}) {
        std::unique_ptr<JobGroupUnit> wide = Open("", "");
        BinaryEncodingKind(wide->side1) = kind;
        wide->side1.activeColumn = 2;
        ASSERT_TRUE(RawLayer::ClipboardSetText(RawString::FromText("\xE3\x81\x82")));
        ASSERT_TRUE(Run(*wide, CommandPasteFromClipboard));
        EXPECT_EQ(Buffer(*wide), kind == RawLayer::KindUtf16LE ? std::string("\x42\x30") : std::string("\x30\x42"));
    }
    // A character above U+00FF never becomes a gap or a cell above 255.
    std::unique_ptr<JobGroupUnit> latin = Open("", "");
    latin->side1.activeColumn = 2;
    ASSERT_TRUE(Run(*latin, CommandInsertText, "\xC4\x80"));
    EXPECT_EQ(Buffer(*latin), "\xC4\x80");
}

TEST_F(BinaryEditTest, ClipboardTextCutAtTheLimitPastesWholeHexGroupsAndWholeCharacters) {
    ConfigStore& store = ConfigStore::Instance();
    const int32_t keep = store.maxClipLoading;
    std::mt19937 rng(38);
    for (int run = 0; run < 60; ++run) {
        // Hex text of bytes and gaps, cut anywhere: the whole groups before
        // the cut are pasted, never the hex characters themselves.
        std::vector<uint32_t> cells;
        std::string hex;
        for (int i = 0; i < 12; ++i) {
            const bool gap = rng() % 4 == 0;
            const uint32_t cell = gap ? uint32_t(BinaryEmptyCell) : rng() & 0xFF;
            cells.push_back(cell);
            if (i > 0) hex += ' ';
            hex += gap ? std::string("  ") : std::string{"0123456789ABCDEF"[cell >> 4], "0123456789ABCDEF"[cell & 15]};
        }
        const int32_t limit = 2 + static_cast<int32_t>(rng() % (hex.size() + 1));
        store.maxClipLoading = limit;
        ASSERT_TRUE(RawLayer::ClipboardSetText(RawString::FromText(hex.c_str())));
        std::unique_ptr<JobGroupUnit> job = Open("", "");
        BinaryInsertMode(job->side1) = 1;
        const size_t whole = std::min<size_t>(static_cast<size_t>(limit + 1) / 3, cells.size());
        ASSERT_TRUE(Run(*job, CommandPasteFromClipboard)) << hex << " / " << limit;
        const RawString pasted = BinaryCellsOfRange(BinaryEditContext(editor, *job, 0), BinaryRange{0, 1000});
        std::vector<uint32_t> got;
        for (int32_t i = 0; i < pasted.Length(); ++i) got.push_back(pasted.UnitAt(i));
        EXPECT_EQ(got, std::vector<uint32_t>(cells.begin(), cells.begin() + whole)) << hex << " / " << limit;
    }
    // Characters cut inside a surrogate pair: the half pair goes, the rest
    // is pasted.
    std::unique_ptr<JobGroupUnit> text = Open("", "");
    text->side1.activeColumn = 2;
    store.maxClipLoading = 3;
    ASSERT_TRUE(RawLayer::ClipboardSetText(RawString::FromText("ab\xF0\x9F\x98\x80")));
    EXPECT_TRUE(Run(*text, CommandPasteFromClipboard));
    EXPECT_EQ(Buffer(*text), "ab");
    store.maxClipLoading = keep;
}

TEST_F(BinaryEditTest, HexSearchMatchesBytesLiterallyAndTheReplaceLoopEnds) {
    std::string bytes = "ab*c?d*e%f&*";
    std::unique_ptr<JobGroupUnit> job = Open(bytes, "");
    // Hex 2A is the byte '*', never the wildcard.
    EXPECT_TRUE(Run(*job, CommandSearchForward, "2A"));
    EXPECT_EQ(job->side1.anchorColumn, 2);
    EXPECT_EQ(job->side1.cursorColumn, 3);
    EXPECT_TRUE(Run(*job, CommandSearchForward, "2A"));
    EXPECT_EQ(job->side1.anchorColumn, 6);
    EXPECT_TRUE(Run(*job, CommandSearchForward, "2A"));
    EXPECT_EQ(job->side1.anchorColumn, 11);
    EXPECT_FALSE(Run(*job, CommandSearchForward, "2A"));
    for (const char* mark : {"21", "24", "25", "26", "3F", "40"}) {
        Place(*job, 0, 0, 0, 0, 0);
        bool found = Run(*job, CommandSearchForward, mark);
        const std::string wanted(1, static_cast<char>(std::stoi(mark, nullptr, 16)));
        EXPECT_EQ(found, bytes.find(wanted) != std::string::npos) << mark;
        if (found) {
            EXPECT_EQ(job->side1.anchorColumn, static_cast<int32_t>(bytes.find(wanted))) << mark;
        }
    }
    // Backward from a hit does not find it again.
    Place(*job, 0, 0, 11, 0, 12);
    EXPECT_TRUE(Run(*job, CommandSearchBackward, "2A"));
    EXPECT_EQ(job->side1.anchorColumn, 6);
    EXPECT_TRUE(Run(*job, CommandSearchBackward, "2A"));
    EXPECT_EQ(job->side1.anchorColumn, 2);
    EXPECT_FALSE(Run(*job, CommandSearchBackward, "2A"));

    // Replace: only over the stored hit.
    std::unique_ptr<JobGroupUnit> other = Open("xx", "");
    ActionArgs fresh;
    args.place = fresh.place;
    args.operands[1] = RawString::FromText("41");
    EXPECT_FALSE(Run(*other, CommandReplaceText));
    BinaryInsertMode(job->side1) = 1;
    Place(*job, 0, 0, 0, 0, 0);
    ASSERT_TRUE(Run(*job, CommandSearchForward, "2A"));
    Place(*job, 0, 0, 5, 0, 5);
    EXPECT_FALSE(Run(*job, CommandReplaceText));
    EXPECT_EQ(Buffer(*job), bytes);

    // The loop of the main window: search, replace, until no hit. "*" takes
    // the rest each time, and its empty hit at the end is not found twice.
    job->side1.activeColumn = 2;
    Place(*job, 0, 0, 0, 0, 0);
    args.operands[1] = RawString::FromText("Z");
    int rounds = 0;
    while (rounds < 100 && Run(*job, CommandSearchForward, "*")) {
        ++rounds;
        if (!Run(*job, CommandReplaceText)) break;
    }
    EXPECT_GT(rounds, 0);
    EXPECT_LT(rounds, 100);
    EXPECT_EQ(Buffer(*job).substr(0, 1), "Z");
}

TEST_F(BinaryEditTest, ReplaceLoopOverHexGivesEveryHitReplaced) {
    std::mt19937 rng(7);
    for (int round = 0; round < 20; ++round) {
        std::string bytes = RandomBytes(rng, 1 + rng() % 300);
        std::unique_ptr<JobGroupUnit> job = Open(bytes, "");
        BinaryInsertMode(job->side1) = 1;
        ActionArgs fresh;
        args.place = fresh.place;
        args.operands[1] = RawString::FromText(round % 2 ? "11 22" : "33");
        int count = 0;
        while (count < 1000 && Run(*job, CommandSearchForward, "00") && Run(*job, CommandReplaceText)) ++count;
        std::string expected;
        for (char c : bytes) expected += c == '\0' ? std::string(round % 2 ? "\x11\x22" : "\x33") : std::string(1, c);
        EXPECT_EQ(Buffer(*job), expected) << round;
        EXPECT_EQ(count, static_cast<int>(std::count(bytes.begin(), bytes.end(), '\0')));
        ASSERT_NO_FATAL_FAILURE(ExpectWhole(*job));
        // Backward from the end the last replacement is found where it is.
        const std::string made = round % 2 ? "\x11\x22" : "\x33";
        const int32_t last = job->content1.Count() - 1;
        Place(*job, 0, last, Row(*job, 0, last)->extent, last, Row(*job, 0, last)->extent);
        const size_t wanted = expected.rfind(made);
        EXPECT_EQ(Run(*job, CommandSearchBackward, round % 2 ? "11 22" : "33"), wanted != std::string::npos);
        if (wanted != std::string::npos) {
            EXPECT_EQ(job->side1.anchorRow * 16 + job->side1.anchorColumn, static_cast<int32_t>(wanted)) << round;
        }
    }
}
