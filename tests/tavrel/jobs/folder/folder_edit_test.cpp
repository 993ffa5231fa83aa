// The edit commands of a folder side on real folders: the commands that
// reach the main window as WM_COMMAND (a real top-level window holding the
// box), the path text on the clipboard, name searches from a placeholder
// row, going to a row, and copy and delete of the selected entries.
// RUN_UNDER_BOTH_CODE_PAGES
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "base/clipboard.h"
#include "support/job_support.h"
#include "support/text_edit_support.h"
#include "support/window_support.h"
#include "tavrel/jobs/action_args.h"
#include "tavrel/jobs/backup/backup_store.h"
#include "tavrel/jobs/folder/folder_kind.h"
#include "tavrel/jobs/job_group.h"
#include "toolkit/list_box.h"

using namespace JobLayer;
using RawLayer::RawString;
using TestSupport::PutFile;
using TestSupport::S;
using TestSupport::W;

namespace {

struct Item {};

// The compare box stand-in: a list box of no rows.
class Box : public WinLayer::WinListBoxR<Item> {
public:
    void DrawItemOf(WinLayer::WinDrawContext&, const RECT&, int32_t, WinLayer::WinListBoxItemUnit&, Item*) override {}
    void MeasureItemOf(WinLayer::WinDrawContext&, RECT& size, int32_t, WinLayer::WinListBoxItemUnit&, Item*) override {
        size.bottom = size.top + 16;
    }
};

// The recording editor, with a real box when one is given.
class BoxEditor : public TestSupport::RecordingEditor {
public:
    WinLayer::WinListBox* FolderBox() override {
        ++listBoxes;
        return box;
    }
    WinLayer::WinListBox* box = nullptr;
};

// Left: sub\, a.txt, b.bin, d.txt; right: sub\, a.txt (other size), c.txt.
// Rows: 0 sub|sub, 1 a.txt|a.txt, 2 b.bin|-, 3 -|c.txt, 4 d.txt|-.
class FolderEditTest : public TestSupport::FolderJobFixture {
protected:
    void SetUp() override {
        FolderJobFixture::SetUp();
        JobBackupList::Instance().SetOptions(W(work.Join(L"Backups")), 10, false);
        CreateDirectoryW((left + L"\\sub").c_str(), nullptr);
        CreateDirectoryW((right + L"\\sub").c_str(), nullptr);
        PutFile(left + L"\\a.txt", "one");
        PutFile(right + L"\\a.txt", "other");
        PutFile(left + L"\\b.bin", "bin");
        PutFile(right + L"\\c.txt", "c");
        PutFile(left + L"\\d.txt", "d");
        job = JobGroupList::Instance().OpenPair(W(left), W(right));
        ASSERT_NE(job, nullptr);
        ASSERT_EQ(RowText(job), "0:sub|sub 3:a.txt|a.txt 1:b.bin| 2:|c.txt 1:d.txt| ");
    }
    bool Run(uint32_t side, uint32_t command, const char* operand = "") {
        args.operands[0] = RawString::FromText(operand);
        return job->controller->Execute(editor, *job, side, command, args);
    }
    void Place(uint32_t side, int32_t anchor, int32_t caret) {
        JobSideRecord& s = job->Side(side);
        s.anchorRow = anchor;
        s.cursorRow = caret;
        s.anchorColumn = s.cursorColumn = 0;
        job->currentRow = caret;
    }

    JobGroupUnit* job = nullptr;
    BoxEditor editor;
    ActionArgs args;
};

}  // namespace

TEST_F(FolderEditTest, ChildTabAndBackupCommandsReachTheMainWindow) {
    TestSupport::TestDialog dialog("FolderEditMain", L"Main", RECT{30, 30, 330, 230});
    Box box;
    box.Construct();
    box.rect = RECT{10, 10, 200, 150};
    dialog.makeChildren = [&](TestSupport::TestDialog& d) { d.CreateChild(box); };
    dialog.Create();
    ASSERT_NE(box.window, nullptr);
    editor.box = &box;

    // 4 and 5 need both ends of the cursor.
    Place(0, -1, -1);
    EXPECT_FALSE(Run(0, CommandSelectWord));
    EXPECT_EQ(editor.alerts, 1);
    Place(0, 0, 0);
    EXPECT_TRUE(Run(0, CommandSelectWord));
    EXPECT_TRUE(Run(1, CommandSelectWordEx));
    EXPECT_TRUE(Run(0, CommandUndo));
    EXPECT_TRUE(Run(1, CommandRedo));
    // WM_COMMAND with the box's id reaches the main window's handling of
    // its child's commands.
    std::vector<std::string> commands;
    for (const std::string& line : dialog.journal)
        if (line.rfind("child command", 0) == 0) commands.push_back(line);
    const std::string id = std::to_string(box.controlId);
    const std::vector<std::string> expected = {"child command " + id + " 4397", "child command " + id + " 4397",
                                               "child command " + id + " 4387", "child command " + id + " 4387"};
    EXPECT_EQ(commands, expected);
    // Commands a folder side does not have are never enabled.
    for (uint32_t command : {3u, 6u, 7u, 8u, 9u, 10u, 11u, 13u, 16u, 21u, 23u, 24u, 25u, 26u})
        EXPECT_FALSE(job->controller->CanExecute(editor, *job, 0, command)) << command;
    DestroyWindow(dialog.window);
}

TEST_F(FolderEditTest, CopyPathsTakesThisSidesEntriesOfTheSelection) {
    Place(0, 3, 0);
    ASSERT_TRUE(Run(0, CommandCopyToClipboard));
    const std::string l = TestSupport::Utf8(left);
    EXPECT_EQ(S(RawLayer::ClipboardGetText(100000)), l + "\\sub\r\n" + l + "\\a.txt\r\n" + l + "\\b.bin\r\n");
    // Rows one-sided on the other side: nothing to copy, not enabled.
    Place(1, 2, 2);
    EXPECT_TRUE(PathSelectionText(*job, 1).IsEmpty());
    EXPECT_FALSE(Run(1, CommandCopyToClipboard));
    Place(0, -1, -1);
    EXPECT_FALSE(Run(0, CommandCopyToClipboard));
    EXPECT_EQ(editor.alerts, 2);
}

TEST_F(FolderEditTest, NameSearchFromAPlaceholderRowStartsBesideIt) {
    Place(0, 3, 3);  // row 3 holds the placeholder on side 1
    ASSERT_TRUE(Run(0, CommandSearchForward, "txt"));
    EXPECT_EQ(job->side1.cursorRow, 4);  // d.txt, not a.txt above
    EXPECT_EQ(job->side1.anchorRow, 4);
    EXPECT_EQ(job->currentRow, 4);
    Place(0, 3, 3);
    ASSERT_TRUE(Run(0, CommandSearchBackward, "txt"));
    EXPECT_EQ(job->side1.cursorRow, 1);  // a.txt, not d.txt below
    // From a real entry: the next one; no hit and no operand give false.
    ASSERT_TRUE(Run(0, CommandSearchForward, "*"));
    EXPECT_EQ(job->side1.cursorRow, 2);
    EXPECT_FALSE(Run(0, CommandSearchForward, "zzz"));
    EXPECT_FALSE(Run(0, CommandSearchForward, ""));
    EXPECT_EQ(job->side1.cursorRow, 2);
    // "!" finds the first name that does not match: from a.txt past b.bin
    // (no "txt") both ways, and d.txt is the only one left that matches.
    Place(0, 1, 1);
    ASSERT_TRUE(Run(0, CommandSearchForward, "!*txt"));
    EXPECT_EQ(job->side1.cursorRow, 2);
    Place(0, 4, 4);
    ASSERT_TRUE(Run(0, CommandSearchBackward, "!*txt"));
    EXPECT_EQ(job->side1.cursorRow, 2);
    Place(0, 2, 2);
    EXPECT_FALSE(Run(0, CommandSearchForward, "!*txt"));
    EXPECT_EQ(job->side1.cursorRow, 2);
    EXPECT_GT(editor.boxes, 0);
}

TEST_F(FolderEditTest, GotoLineInsideTheRowsOnly) {
    Place(1, 1, 1);
    for (const char* operand : {"0", "6", "-2", "4294967299", "0x3", "x"}) {
        EXPECT_FALSE(Run(1, CommandGotoLine, operand)) << operand;
        EXPECT_EQ(job->side2.cursorRow, 1) << operand;
        EXPECT_EQ(job->currentRow, 1) << operand;
    }
    ASSERT_TRUE(Run(1, CommandGotoLine, " 5 "));
    EXPECT_EQ(job->side2.cursorRow, 4);
    EXPECT_EQ(job->side2.anchorRow, 4);
    EXPECT_EQ(job->currentRow, 4);
}

TEST_F(FolderEditTest, CopyAndDeleteReportWhatTheyDid) {
    // Enabled on every side, also one that is not editable; nothing marked
    // is nothing done.
    job->edit.edit1 = job->edit.edit2 = 0;
    EXPECT_TRUE(job->controller->CanExecute(editor, *job, 1, CommandCopyLinesTo));
    EXPECT_FALSE(Run(1, CommandCopyLinesTo));
    EXPECT_FALSE(Run(0, CommandDeleteLines));
    EXPECT_EQ(editor.alerts, 0);
    // A marked row whose source entry is missing copies nothing.
    job->rows.At(3)->flags |= RowMarked;
    EXPECT_FALSE(Run(1, CommandCopyLinesTo));
    EXPECT_TRUE(TestSupport::FileExists(right + L"\\c.txt"));

    job->rows.At(2)->flags |= RowMarked;
    EXPECT_TRUE(Run(1, CommandCopyLinesTo));
    EXPECT_EQ(TestSupport::FileText(right + L"\\b.bin"), "bin");
    EXPECT_GT(editor.refreshes, 0);
    for (JobReportUnit& row : job->rows) row.flags &= ~RowMarked;
    for (JobReportUnit& row : job->rows)
        if (S(row.unit1->Text()) == "d.txt") row.flags |= RowMarked;
    EXPECT_TRUE(Run(0, CommandDeleteLines));
    EXPECT_FALSE(TestSupport::FileExists(left + L"\\d.txt"));

    // Refused: the two folders overlap.
    JobGroupUnit* nested = JobGroupList::Instance().OpenPair(W(left), W(left + L"\\sub"));
    ASSERT_NE(nested, nullptr);
    for (JobReportUnit& row : nested->rows) row.flags |= RowMarked;
    EXPECT_FALSE(nested->controller->Execute(editor, *nested, 1, CommandCopyLinesTo, args));
    EXPECT_FALSE(TestSupport::FileExists(left + L"\\sub\\a.txt"));
}

// A selected folder holding, among plain files and a deeper folder, a file
// whose name the system takes for a device (made by another system, as a
// copy from a Unix disk brings it): the folder job's copy command copies
// every other file byte for byte, leaves that one, names it in the output,
// and does not report success.
TEST_F(FolderEditTest, AFolderCopyCopiesEveryFileItCanAndNamesTheOneItCannot) {
    const std::wstring tree = left + L"\\tree";
    ASSERT_TRUE(CreateDirectoryW(tree.c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryW((tree + L"\\zdeeper").c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryW((tree + L"\\zdeeper\\inner").c_str(), nullptr));
    const std::vector<std::wstring> files = {L"a1",           L"b1",         L"c1.txt",
                                             L"mid.txt",      L"x1",         L"y1.bin",
                                             L"z1",           L"zdeeper\\m.txt", L"zdeeper\\inner\\x.txt"};
    std::vector<std::string> contents;
    for (size_t i = 0; i < files.size(); ++i) {
        std::string bytes = "file " + std::to_string(i) + "\r\n";
        for (size_t k = 0; k < i * 37; ++k) bytes.push_back(static_cast<char>((k * 131 + i) & 0xFF));
        contents.push_back(bytes);
        PutFile(tree + L"\\" + files[i], bytes);
    }
    ASSERT_TRUE(TestSupport::WriteFileRawPath(tree + L"\\lpt1.txt", "made elsewhere\r\n"));
    ASSERT_EQ(TestSupport::FolderNames(tree).count(L"lpt1.txt"), 1u);
    job->controller->Load(*job, ModeBoth);
    int32_t treeRow = -1;
    for (int32_t r = 0; r < job->rows.Count(); ++r) {
        job->rows.At(r)->flags &= ~RowMarked;
        if (S(job->rows.At(r)->unit1->Text()) == "tree") treeRow = r;
    }
    ASSERT_GE(treeRow, 0);
    job->rows.At(treeRow)->flags |= RowMarked;
    output.lines.clear();

    EXPECT_FALSE(Run(1, CommandCopyLinesTo)) << "a copy that left a file reported success";
    const std::wstring copied = right + L"\\tree";
    for (size_t i = 0; i < files.size(); ++i) {
        SCOPED_TRACE(TestSupport::Utf8(files[i]));
        EXPECT_EQ(TestSupport::FileText(copied + L"\\" + files[i]), contents[i]);
    }
    EXPECT_EQ(TestSupport::FolderNames(copied).count(L"lpt1.txt"), 0u);
    bool named = false;
    for (const std::string& line : output.lines)
        if (line.find("lpt1.txt") != std::string::npos) named = true;
    EXPECT_TRUE(named) << "the file left behind is not named";
    // The source is as it was.
    EXPECT_EQ(TestSupport::FileText(L"\\\\?\\" + tree + L"\\lpt1.txt"), "made elsewhere\r\n");
    // The file cannot be removed by its plain name.
    DeleteFileW((L"\\\\?\\" + tree + L"\\lpt1.txt").c_str());
}

