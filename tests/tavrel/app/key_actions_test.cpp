// The folder box's keys, cursor moves, clicks, replace loop, line drag and
// side menu on the main window built by the start-up code, with key files
// written by each test.
#include "tab_view_fixture.h"

#include <algorithm>
#include <cstdio>
#include <functional>
#include <random>
#include <memory>
#include <string>
#include <vector>

#include "base/clipboard.h"
#include "base/language.h"
#include "toolkit/environment.h"
#include "toolkit/gdi_scope.h"
#include "tavrel/app/command_codes.h"
#include "tavrel/app/input_dialog.h"
#include "tavrel/app/job_environment.h"
#include "tavrel/app/tab_operations.h"
#include "tavrel/jobs/shell_commands.h"
#include "tavrel/jobs/text/line_unit.h"
#include "tavrel/jobs/text/text_kind.h"
#include "toolkit/win_message.h"
#include "toolkit/work_counts.h"

namespace TabViewTest {
namespace {

using JobLayer::JobReportUnit;
using WinLayer::WinListBoxItemUnit;

class KeyActionsTest : public MainWindowFixture {
protected:
    // Key files beside the profile: the names used here and the bindings.
    void WriteKeys(const std::string& bindings) {
        ASSERT_TRUE(WriteFileBytes(temp.Join(L"VirtualKey.ini"),
                                   "[VirtualKey]\r\nS=0x53\r\nF=0x46\r\nL=0x4C\r\nR=0x52\r\n"));
        ASSERT_TRUE(WriteFileBytes(temp.Join(L"KeyBinding.ini"), "[KeyBinding]\r\n" + bindings));
        // Named in full: the configuration of an earlier window in this
        // process still holds its own resolved paths.
        WriteProfile("", "VirtualKeyFile=" + Utf8(temp.Join(L"VirtualKey.ini")) + "\r\nKeyBindingFile=" +
                             Utf8(temp.Join(L"KeyBinding.ini")) + "\r\n");
    }
    // The thread's key state with exactly these modifiers down.
    static void SetModifiers(bool shift, bool ctrl, bool alt = false) {
        BYTE state[256] = {};
        GetKeyboardState(state);
        state[VK_SHIFT] = state[VK_LSHIFT] = shift ? 0x80 : 0;
        state[VK_CONTROL] = state[VK_LCONTROL] = ctrl ? 0x80 : 0;
        state[VK_MENU] = state[VK_LMENU] = alt ? 0x80 : 0;
        SetKeyboardState(state);
    }
    void Key(UINT message, WPARAM key) { SendMessageW(Box().window, message, key, 1); }
    // Runs one action list as a bound key would.
    void Run(const std::string& actions) {
        JobLayer::JobBindingUnit binding;
        JobLayer::ParseActionList(binding.actions, RawLayer::RawString::FromText(actions.c_str()));
        for (const JobLayer::JobActionUnit& action : binding.actions) {
            if (!Box().ActionDispatch(action)) break;
        }
        PumpUntilIdle();
    }
    std::wstring PutText(const wchar_t* name, const std::string& text) {
        const std::wstring path = temp.Join(name);
        EXPECT_TRUE(WriteFileBytes(path, text));
        return path;
    }
    // The client point in the middle of a row's cell on a side.
    POINT CellPoint(int32_t index, uint32_t side, int32_t x = -1) {
        const RECT row = RowRect(index);
        const int32_t d = Box().GetDividingPoint();
        if (x < 0) x = side == 0 ? d / 2 : (d + Box().clientRect.right) / 2;
        return POINT{x, (row.top + row.bottom) / 2};
    }
    void Mouse(UINT message, POINT point, WPARAM keys = 0) {
        SendMessageW(Box().window, message, keys, MAKELPARAM(point.x, point.y));
    }
    std::string LineText(uint32_t side, int32_t row) {
        const JobReportUnit* report = Current()->rows.At(row);
        const JobLayer::JobContentUnit* unit = report ? report->Unit(side) : nullptr;
        return unit ? Utf8(unit->Text().As(RawLayer::KindUtf16)) : std::string("<none>");
    }
    static std::string Utf8(const std::wstring& text) { return TestSupport::Utf8(text); }
    static std::string Utf8(const RawLayer::RawString& wide) {
        return TestSupport::Utf8(std::wstring(wide.Wide(), static_cast<size_t>(wide.Length())));
    }
};

TEST_F(KeyActionsTest, ModifierWordIsTheKeyStateOfEachPress) {
    WriteKeys("C-F=SelectSide(Side2)\r\nC-S=SelectSide(Side1)\r\n");
    OpenPair(PutText(L"1.txt", "a\nb\n"), PutText(L"2.txt", "a\nc\n"));
    Box().SetCurrentSide(0);
    // Ctrl+Shift+F: no binding has exactly that word.
    SetModifiers(true, true);
    Key(WM_KEYDOWN, VK_SHIFT);
    Key(WM_KEYDOWN, VK_CONTROL);
    Key(WM_KEYDOWN, 'F');
    EXPECT_EQ(Box().CurrentSide(), 0u);
    SetModifiers(false, true);
    Key(WM_KEYDOWN, 'F');
    EXPECT_EQ(Box().CurrentSide(), 1u);
    // Shift held repeats its key-down; then Shift is up and Ctrl+S runs.
    SetModifiers(true, false);
    for (int i = 0; i < 5; ++i) Key(WM_KEYDOWN, VK_SHIFT);
    SetModifiers(false, true);
    Key(WM_KEYDOWN, VK_CONTROL);
    Key(WM_KEYDOWN, 'S');
    EXPECT_EQ(Box().CurrentSide(), 0u);
    // Ctrl released while another window had the focus: S alone runs nothing.
    Box().SetCurrentSide(1);
    SetFocus(Views().tabBar.window);
    SetModifiers(false, false);
    SetFocus(Box().window);
    Key(WM_KEYDOWN, 'S');
    EXPECT_EQ(Box().CurrentSide(), 1u);
}

TEST_F(KeyActionsTest, UnboundSystemKeyGoesOnAndBoundAltKeyRuns) {
    WriteKeys("A-L=SelectSide(Side1)\r\nA-R=SelectSide(Side2)\r\n");
    OpenPair(PutText(L"1.txt", "a\n"), PutText(L"2.txt", "b\n"));
    Box().SetCurrentSide(0);
    SetModifiers(false, false, true);
    Key(WM_SYSKEYDOWN, 'R');
    EXPECT_EQ(Box().CurrentSide(), 1u);
    Key(WM_SYSKEYDOWN, 'L');
    EXPECT_EQ(Box().CurrentSide(), 0u);
    // Alt+F4 is unbound: the default handling closes the window.
    const HWND main = run.Window();
    SendMessageW(Box().window, WM_SYSKEYDOWN, VK_F4, 0x20000001);
    SetModifiers(false, false, false);
    PumpUntil([main] { return !IsWindow(main); }, 3000);
    EXPECT_FALSE(IsWindow(main));
}

TEST_F(KeyActionsTest, UnknownActionStopsTheList) {
    OpenPair(PutText(L"1.txt", "one\ntwo\nthree\n"), PutText(L"2.txt", "one\n2\nthree\n"));
    Box().SetCurrentSide(0);
    ASSERT_TRUE(RawLayer::ClipboardSetText(RawLayer::RawString::FromLiteral("kept")));
    Run("SelectAll; Bogus; CopyToClipboard");
    EXPECT_EQ(Box().CountSelection(), Box().Count());
    EXPECT_EQ(Utf8(RawLayer::ClipboardGetText(100).As(RawLayer::KindUtf16)), "kept");
    // The names are matched letter for letter.
    JobLayer::JobActionUnit misspelt(RawLayer::RawString::FromLiteral("GotoPrevDifferentLine"),
                                     RawLayer::RawStringList(true));
    EXPECT_FALSE(Box().ActionDispatch(misspelt));
}

TEST_F(KeyActionsTest, ReplaceEachEndsAfterDoublingEveryMatchOnce) {
    const std::wstring two = PutText(L"2.txt", "a ba\nxyz\naa\n");
    OpenPair(PutText(L"1.txt", "q\n"), two);
    ASSERT_TRUE(AppLayer::SetSideEditable(Box(), 1, true));
    Box().SetCurrentSide(1);
    Run("ReplaceText(\"a\", \"aa\")");
    EXPECT_EQ(LineText(1, 0) + "|" + LineText(1, 1) + "|" + LineText(1, 2), "aa baa|xyz|aaaa");
    // Empty hits on every line without x: the loop ends.
    Run("ReplaceText(\"!x\", \"-\")");
    Command(AppLayer::CmdSaveSide2);
    const std::vector<uint8_t> bytes = ReadFileBytes(two);
    EXPECT_NE(std::string(bytes.begin(), bytes.end()).find("xyz"), std::string::npos);
}

TEST_F(KeyActionsTest, HorizontalMovesOfAFolderJobScrollByPages) {
    const std::wstring a = temp.Join(L"a"), b = temp.Join(L"b");
    CreateDirectoryW(a.c_str(), nullptr);
    CreateDirectoryW(b.c_str(), nullptr);
    WriteFileBytes(a + L"\\" + std::wstring(60, L'n') + L".txt", "x");
    WriteFileBytes(b + L"\\short.txt", "y");
    OpenPair(a, b);
    // Side 1 is narrowed until its content is wider than the view.
    Box().SetDividingPoint(80);
    Box().LayoutColumns();
    const int32_t max = Box().ScrollMax(0);
    ASSERT_GT(max, 0);
    Box().Job()->side1.scrollX = max;
    Run("MoveCursorLeft(Side1)");
    EXPECT_EQ(Box().Job()->side1.scrollX, std::max(0, max - Box().View().viewWidth));
    Run("MoveCursorLeft(Side1)");
    EXPECT_EQ(Box().Job()->side1.scrollX, 0);
    Run("MoveCursorToLineFoot(Side1)");
    EXPECT_EQ(Box().Job()->side1.scrollX, max);
    // Side 2 shows all its content: head gives content - visible, foot 0.
    const int32_t narrow = Box().ScrollMax(1);
    ASSERT_LT(narrow, 0);
    Run("MoveCursorToLineHead(Side2)");
    EXPECT_EQ(Box().Job()->side2.scrollX, narrow);
    Run("MoveCursorToLineFoot(Side2)");
    EXPECT_EQ(Box().Job()->side2.scrollX, 0);
}

TEST_F(KeyActionsTest, HScrollToLineFootStopsAtTheLimit) {
    OpenPair(PutText(L"1.txt", std::string(300000, 'w') + "\n"), PutText(L"2.txt", "w\n"));
    // The text column as wide as such a line would measure unclipped.
    Box().Job()->side1.measuredWidth[1] = 300000 * 8;
    ASSERT_GT(Box().ScrollMax(0), 100000);
    Run("HScrollToLineFoot(Side1)");
    EXPECT_EQ(Box().Job()->side1.scrollX, 100000);
}

TEST_F(KeyActionsTest, VerticalMovesAndDifferentLineJumpsStartWithoutACursor) {
    // Row 0 same, row 1 only on side 2 (a placeholder on side 1), then
    // same rows and a changed one.
    OpenPair(PutText(L"1.txt", "s\nt\nu\nv\n"), PutText(L"2.txt", "s\nextra\nt\nu\nV\n"));
    JobGroupUnit& job = *Current();
    job.side1.cursorRow = -1;
    Box().SetCurrentSide(0);
    Run("MoveCursorDown");
    EXPECT_EQ(job.side1.cursorRow, 0);
    Run("MoveCursorDown");
    EXPECT_EQ(job.side1.cursorRow, 2) << "the placeholder row is passed";
    // A hidden row is passed as well.
    Box().ItemAt(3)->flags |= WinListBoxItemUnit::ItemHidden;
    job.rows.At(3)->flags |= JobLayer::RowSkipped;
    Run("MoveCursorDown");
    EXPECT_GT(job.side1.cursorRow, 3);
    Box().ClearItems();
    Box().RebuildRows();
    Box().cursor = -1;
    Run("GotoNextDiffrentLine");
    EXPECT_EQ(Box().cursor, 1);
    Box().cursor = -1;
    Run("GotoPrevDiffrentLine");
    EXPECT_EQ(Box().cursor, Box().Count() - 1);
}

TEST_F(KeyActionsTest, SearchAndGotoLeaveTheRowWhollyBelowTheHeader) {
    std::string text;
    for (int i = 0; i < 300; ++i) text += "line " + std::to_string(i) + "\n";
    OpenPair(PutText(L"1.txt", text), PutText(L"2.txt", text));
    JobGroupUnit& job = *Current();
    Box().SetCurrentSide(0);
    // Down to a far row, then back up to rows above the view: each time the
    // row found stands between the header and the box's foot, and no row
    // stands half under the header.
    for (const char* action : {"GotoLine(\"250\")", "SearchBackward(\"line 120\")", "GotoLine(\"30\")",
                               "SearchForward(\"line 200\")", "GotoLine(\"2\")"}) {
        Run(action);
        PumpUntilIdle();
        const RECT row = Box().SideRect(job.side1.cursorRow, 0);
        EXPECT_GE(row.top, Box().clientRect.top) << action;
        EXPECT_LE(row.bottom, Box().clientRect.bottom) << action;
        // The top row of the view is whole too: it starts at the header.
        const int32_t top = Box().HitTest(POINT{10, Box().clientRect.top});
        ASSERT_GE(top, 0) << action;
        EXPECT_EQ(Box().SideRect(top, 0).top, Box().clientRect.top) << action;
    }
}

TEST_F(KeyActionsTest, ClicksPlaceTheCursorOnlyOnRows) {
    OpenPair(PutText(L"1.txt", "alpha beta\nsecond line\nthird\n"), PutText(L"2.txt", "alpha\nsecond\nthird\n"));
    JobGroupUnit& job = *Current();
    const POINT onRow = CellPoint(1, 0, Box().GetDividingPoint() - 20);
    Mouse(WM_LBUTTONDOWN, onRow);
    Mouse(WM_LBUTTONUP, onRow);
    EXPECT_EQ(job.side1.cursorRow, 1);
    EXPECT_EQ(job.currentRow, 1);
    // The title row and the space under the rows leave it.
    const RECT title = RowRect(-2);
    Mouse(WM_LBUTTONDOWN, POINT{20, (title.top + title.bottom) / 2});
    Mouse(WM_LBUTTONUP, POINT{20, (title.top + title.bottom) / 2});
    const RECT last = RowRect(Box().Count() - 1);
    Mouse(WM_LBUTTONDOWN, POINT{20, last.bottom + 40});
    Mouse(WM_LBUTTONUP, POINT{20, last.bottom + 40});
    EXPECT_EQ(job.side1.cursorRow, 1);
    EXPECT_EQ(job.currentRow, 1);
    EXPECT_EQ(Box().cursor, 1);
    // The line-number column selects the whole line.
    const POINT number = CellPoint(0, 0, Box().clientRect.left + 4);
    Mouse(WM_LBUTTONDOWN, number);
    Mouse(WM_LBUTTONUP, number);
    EXPECT_EQ(job.side1.cursorRow, 0);
    EXPECT_EQ(job.side1.anchorRow, 0);
    EXPECT_EQ(job.side1.anchorColumn, 0);
    EXPECT_EQ(job.side1.cursorColumn, 10) << "the whole of \"alpha beta\"";
    // Shift+click there extends the line selection.
    SetModifiers(true, false);
    const POINT third = CellPoint(2, 0, Box().clientRect.left + 4);
    Mouse(WM_LBUTTONDOWN, third, MK_LBUTTON | MK_SHIFT);
    Mouse(WM_LBUTTONUP, third, MK_SHIFT);
    SetModifiers(false, false);
    EXPECT_EQ(job.side1.anchorRow, 0);
    EXPECT_EQ(job.side1.cursorRow, 2);
}

TEST_F(KeyActionsTest, LineDragStartsPastFivePixelsAndConnectsOnRelease) {
    OpenPair(PutText(L"1.txt", "one\ntwo\nthree\n"), PutText(L"2.txt", "zero\nthree\nfour\n"));
    JobGroupUnit& job = *Current();
    const int32_t from = 0;
    const POINT press = CellPoint(from, 0);
    SetModifiers(false, true);
    Mouse(WM_LBUTTONDOWN, press, MK_LBUTTON | MK_CONTROL);
    Mouse(WM_MOUSEMOVE, POINT{press.x + 5, press.y}, MK_LBUTTON | MK_CONTROL);
    EXPECT_NE(Box().Drag().state, AppLayer::LineDragState::LineDrag);
    Mouse(WM_MOUSEMOVE, POINT{press.x + 6, press.y}, MK_LBUTTON | MK_CONTROL);
    ASSERT_EQ(Box().Drag().state, AppLayer::LineDragState::LineDrag);
    // A press whose drag was cancelled by the mode going away connects nothing.
    SendMessageW(Box().window, WM_CANCELMODE, 0, 0);
    EXPECT_EQ(Box().Drag().state, AppLayer::LineDragState::Idle);
    // Again, released over a line of the other side.
    Mouse(WM_LBUTTONDOWN, press, MK_LBUTTON | MK_CONTROL);
    Mouse(WM_MOUSEMOVE, POINT{press.x + 10, press.y}, MK_LBUTTON | MK_CONTROL);
    ASSERT_EQ(Box().Drag().state, AppLayer::LineDragState::LineDrag);
    const int32_t target = Box().Count() - 1;
    const std::string targetText = LineText(1, target);
    ASSERT_NE(targetText, LineText(1, job.side2.cursorRow));
    // Near the cell's left end: the dragged line's image, drawn after the
    // frame, leaves the rest of the cell uncovered.
    const POINT drop = CellPoint(target, 1, Box().GetDividingPoint() + 8);
    Mouse(WM_MOUSEMOVE, drop, MK_LBUTTON | MK_CONTROL);
    EXPECT_TRUE(Box().Drag().dropAllowed);
    // The red frame around the target's cell on the other side.
    {
        const DibCanvas canvas = Capture();
        const RECT row = RowRect(target);
        const RECT cell{Box().GetDividingPoint() + 2, row.top, Box().clientRect.right, row.bottom};
        EXPECT_GT(canvas.CountColor(cell, RGB(0xFF, 0, 0)), 20);
        EXPECT_EQ(canvas.CountColor(RECT{0, 0, canvas.Width(), row.top - 1}, RGB(0xFF, 0, 0)), 0);
    }
    Mouse(WM_LBUTTONUP, drop, MK_CONTROL);
    SetModifiers(false, false);
    PumpUntilIdle();
    EXPECT_EQ(Box().Drag().state, AppLayer::LineDragState::Idle);
    // The rows pair "one" with the line that was the drop target.
    std::string paired;
    for (const JobReportUnit& row : job.rows) {
        const JobLayer::JobContentUnit* left = row.Unit(0);
        const JobLayer::JobContentUnit* right = row.Unit(1);
        if (left && right && !left->IsPlaceholder() && !right->IsPlaceholder() &&
            Utf8(left->Text().As(RawLayer::KindUtf16)) == "one") {
            paired = Utf8(right->Text().As(RawLayer::KindUtf16));
        }
    }
    EXPECT_EQ(paired, targetText);
}

TEST_F(KeyActionsTest, AnEmptyFileTakesTypingEnterAndPasteAtLineOneAndSavesThem) {
    WriteKeys("0x0D=InsertNewLine\r\nC-R=PasteFromClipboard\r\nC-S=SelectSide(Side1)\r\n");
    const std::wstring path = PutText(L"1.txt", "");
    OpenPair(path, PutText(L"2.txt", ""));
    JobGroupUnit& job = *Current();
    ASSERT_EQ(job.content1.Count(), 0);
    ASSERT_TRUE(AppLayer::SetSideEditable(Box(), 0, true));
    const auto ctrlKey = [this](WPARAM key) {
        SetModifiers(false, true);
        Key(WM_KEYDOWN, VK_CONTROL);
        Key(WM_KEYDOWN, key);
        Key(WM_KEYUP, key);
        SetModifiers(false, false);
        Key(WM_KEYUP, VK_CONTROL);
    };
    ctrlKey('S');
    ASSERT_EQ(Box().CurrentSide(), 0u);
    SendMessageW(Box().window, WM_CHAR, L'a', 1);
    Key(WM_KEYDOWN, VK_RETURN);
    SendMessageW(Box().window, WM_CHAR, L'b', 1);
    EXPECT_EQ(LineText(0, 0) + "|" + LineText(0, 1), "a|b");
    // Undone to nothing, Enter alone and a paste start the file again.
    Run("Undo");
    Run("Undo");
    Run("Undo");
    ASSERT_EQ(job.content1.Count(), 0);
    Key(WM_KEYDOWN, VK_RETURN);
    ASSERT_TRUE(RawLayer::ClipboardSetText(RawLayer::RawString::FromText("c\r\nd")));
    ctrlKey('R');
    SendMessageW(Box().window, WM_CHAR, L'e', 1);
    PumpUntilIdle();
    Command(AppLayer::CmdSaveFile);
    EXPECT_EQ(FileText(path), "\r\nc\r\nde");
}

// Ctrl+A, Delete and Ctrl+Z on a side give back the rows as they stood
// before the Delete, and the side's width; lines pasted after a line fill
// the rows below it that show the other side's lines, in order, as typing
// them one by one would.
TEST_F(KeyActionsTest, UndoAndPasteOfSeveralLinesRefillTheRowsTheyLandOn) {
    auto numbered = [](int from, int to, int changed) {
        std::string text;
        for (int i = from; i <= to; ++i) text += "line " + std::to_string(i) + (i == changed ? " changed" : "") + "\r\n";
        return text;
    };
    auto rows = [this] {
        std::vector<std::string> out;
        for (int32_t i = 0; i < Current()->rows.Count(); ++i)
            out.push_back(std::to_string(Current()->rows.At(i)->kind) + ":" + LineText(0, i) + "|" + LineText(1, i));
        return out;
    };
    auto press = [this](WPARAM key, bool shift = false, bool ctrl = false) {
        SetModifiers(shift, ctrl);
        if (ctrl) Key(WM_KEYDOWN, VK_CONTROL);
        Key(WM_KEYDOWN, key);
        Key(WM_KEYUP, key);
        SetModifiers(false, false);
        if (ctrl) Key(WM_KEYUP, VK_CONTROL);
        PumpUntilIdle();
    };
    OpenPair(PutText(L"a.txt", numbered(1, 10, 0)), PutText(L"b.txt", numbered(1, 10, 5)));
    ASSERT_TRUE(AppLayer::SetSideEditable(Box(), 0, true));
    Box().SetCurrentSide(0);
    const std::vector<std::string> before = rows();
    ASSERT_EQ(before.size(), 10u);
    ASSERT_EQ(before[4], std::to_string(JobLayer::RowChanged) + ":line 5|line 5 changed");
    press('A', false, true);
    press(VK_DELETE);
    ASSERT_EQ(Current()->content1.Count(), 1);
    press('Z', false, true);
    EXPECT_EQ(rows(), before);
    EXPECT_EQ(Box().Count(), 10);
    // The lines come back with the widths they measured before: the side's
    // text column is as wide as measuring every line anew makes it.
    JobGroupUnit& job = *Current();
    const int32_t kept = job.side1.measuredWidth[1];
    job.controller->InvalidateSide(job, 0);
    Box().RemeasureColumns();
    EXPECT_EQ(job.side1.measuredWidth[1], kept);

    // Side 2's lines 3 to 5, from the end of its line 2, pasted at the end
    // of side 1's line 2.
    Views().tabBar.LoadPair(P(PutText(L"c.txt", numbered(1, 2, 0) + numbered(6, 10, 0))),
                            P(PutText(L"d.txt", numbered(1, 10, 0))));
    ShowCurrentTab(Views());
    PumpUntilIdle();
    ASSERT_TRUE(AppLayer::SetSideEditable(Box(), 0, true));
    ASSERT_EQ(rows()[2], std::to_string(JobLayer::RowOnly2) + ":|line 3");
    Box().SetCurrentSide(1);
    Box().ClearSelection();
    Box().GotoRow(1, false);
    press(VK_END);
    for (int i = 0; i < 3; ++i) press(VK_DOWN, true);
    press(VK_END, true);
    press('C', false, true);
    Box().SetCurrentSide(0);
    Box().ClearSelection();
    Box().GotoRow(1, false);
    press(VK_END);
    press('V', false, true);
    std::vector<std::string> paired;
    for (int i = 1; i <= 10; ++i)
        paired.push_back(std::to_string(JobLayer::RowSame) + ":line " + std::to_string(i) + "|line " + std::to_string(i));
    EXPECT_EQ(rows(), paired);
    EXPECT_EQ(Box().Count(), 10);
}

TEST_F(KeyActionsTest, ReloadDuringALineDragEndsItUnconnected) {
    OpenPair(PutText(L"1.txt", "one\ntwo\n"), PutText(L"2.txt", "uno\ndos\n"));
    const POINT press = CellPoint(0, 0);
    Mouse(WM_LBUTTONDOWN, press, MK_LBUTTON | MK_CONTROL);
    Mouse(WM_MOUSEMOVE, POINT{press.x + 20, press.y}, MK_LBUTTON | MK_CONTROL);
    ASSERT_EQ(Box().Drag().state, AppLayer::LineDragState::LineDrag);
    Command(AppLayer::CmdReloadTab);
    EXPECT_EQ(Box().Drag().state, AppLayer::LineDragState::Idle);
    EXPECT_NE(GetCapture(), Box().window);
    // A press released elsewhere: the next move without the button ends it.
    Mouse(WM_LBUTTONDOWN, press, MK_LBUTTON);
    Mouse(WM_MOUSEMOVE, POINT{press.x + 1, press.y}, 0);
    EXPECT_EQ(Box().Drag().state, AppLayer::LineDragState::Idle);
}

TEST_F(KeyActionsTest, ImeCompositionGoesIntoTheEditableLineOnce) {
    OpenPair(PutText(L"1.txt", "left\n"), PutText(L"2.txt", "xy\n"));
    SetFocus(Box().window);
    // A non-editable side: the box holds no context.
    Box().SelectSide(1);
    EXPECT_EQ(ImmGetContext(Box().window), nullptr);
    ASSERT_TRUE(AppLayer::SetSideEditable(Box(), 1, true));
    const POINT head = CellPoint(0, 1);  // in the text, right of its end
    Mouse(WM_LBUTTONDOWN, head, MK_LBUTTON);
    Mouse(WM_LBUTTONUP, head);
    ASSERT_EQ(Box().CurrentSide(), 1u);
    HIMC context = ImmGetContext(Box().window);
    ASSERT_NE(context, nullptr);
    wchar_t text[] = L"\x3042\x3044";
    ImmSetCompositionStringW(context, SCS_SETSTR, text, sizeof(wchar_t) * 2, nullptr, 0);
    ImmNotifyIME(context, NI_COMPOSITIONSTR, CPS_COMPLETE, 0);
    ImmReleaseContext(Box().window, context);
    PumpUntilIdle();
    EXPECT_EQ(LineText(1, 0), "xy\xE3\x81\x82\xE3\x81\x84");
    Run("Undo(Side2)");
    EXPECT_EQ(LineText(1, 0), "xy");
    // The character-position query reads only a whole record.
    EXPECT_EQ(SendMessageW(Box().window, WM_IME_REQUEST, IMR_QUERYCHARPOSITION, 0), 0);
    BYTE small[sizeof(IMECHARPOSITION)];
    memset(small, 0xAB, sizeof small);
    reinterpret_cast<IMECHARPOSITION*>(small)->dwSize = 20;
    EXPECT_EQ(SendMessageW(Box().window, WM_IME_REQUEST, IMR_QUERYCHARPOSITION, reinterpret_cast<LPARAM>(small)), 0);
    for (size_t i = sizeof(DWORD); i < sizeof small; ++i) ASSERT_EQ(small[i], 0xAB) << i;
    IMECHARPOSITION whole{};
    whole.dwSize = sizeof whole;
    whole.dwCharPos = 7;
    EXPECT_EQ(SendMessageW(Box().window, WM_IME_REQUEST, IMR_QUERYCHARPOSITION, reinterpret_cast<LPARAM>(&whole)), 1);
    EXPECT_EQ(whole.dwCharPos, 7u);
    // Side 1 is not editable: the context goes.
    Box().SelectSide(0);
    EXPECT_EQ(ImmGetContext(Box().window), nullptr);
}

// What the timer read from the open popup menu: per position the id and
// its state (-1 for a separator).
struct MenuSeen {
    int opened = 0;
    std::vector<std::pair<UINT, UINT>> items;
    std::vector<std::wstring> texts;
};
MenuSeen g_menu;

// The popup menu window of this thread (another test's menu may be open
// on the same display).
BOOL CALLBACK FindOwnMenu(HWND window, LPARAM found) {
    wchar_t name[16] = {};
    GetClassNameW(window, name, 16);
    if (std::wstring(name) != L"#32768" || !IsWindowVisible(window)) return TRUE;
    *reinterpret_cast<HWND*>(found) = window;
    return FALSE;
}

void CALLBACK ReadOpenMenu(HWND, UINT, UINT_PTR timer, DWORD) {
    HWND popup = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), FindOwnMenu, reinterpret_cast<LPARAM>(&popup));
    if (!popup) return;
    KillTimer(nullptr, timer);
    const HMENU menu = reinterpret_cast<HMENU>(SendMessageW(popup, MN_GETHMENU, 0, 0));
    ++g_menu.opened;
    g_menu.items.clear();
    g_menu.texts.clear();
    for (int i = 0; i < GetMenuItemCount(menu); ++i) {
        const UINT state = GetMenuState(menu, static_cast<UINT>(i), MF_BYPOSITION);
        g_menu.items.emplace_back(GetMenuItemID(menu, i), state);
        wchar_t text[200] = {};
        GetMenuStringW(menu, static_cast<UINT>(i), text, 200, MF_BYPOSITION);
        g_menu.texts.push_back(text);
    }
    EndMenu();
}

class SideMenuTest : public KeyActionsTest {
protected:
    // Right-clicks a point and reads the menu that opens (none: opened 0).
    void RightClick(POINT point) {
        g_menu = MenuSeen();
        const UINT_PTR timer = SetTimer(nullptr, 0, 30, ReadOpenMenu);
        Mouse(WM_RBUTTONDOWN, point);
        Mouse(WM_RBUTTONUP, point);
        KillTimer(nullptr, timer);
        PumpUntilIdle();
    }
    // The state of an id in the menu read; ~0u when it is not listed.
    static UINT State(UINT id) {
        for (const auto& item : g_menu.items) {
            if (item.first == id) return item.second;
        }
        return ~0u;
    }
    static bool Grayed(UINT id) { return State(id) != ~0u && (State(id) & MF_GRAYED); }
    static bool Enabled(UINT id) { return State(id) != ~0u && !(State(id) & (MF_GRAYED | MF_DISABLED)); }
    // Separators only between items.
    static void ExpectSeparatorsBetween() {
        ASSERT_FALSE(g_menu.items.empty());
        EXPECT_FALSE(g_menu.items.front().second & MF_SEPARATOR);
        EXPECT_FALSE(g_menu.items.back().second & MF_SEPARATOR);
        for (size_t i = 1; i < g_menu.items.size(); ++i) {
            EXPECT_FALSE((g_menu.items[i].second & MF_SEPARATOR) && (g_menu.items[i - 1].second & MF_SEPARATOR));
        }
    }
};

TEST_F(SideMenuTest, TextPairItemsFollowTheSidesAndTheSelection) {
    OpenPair(PutText(L"1.txt", "one\ntwo\n"), PutText(L"2.txt", "one\n2\n"));
    ASSERT_TRUE(AppLayer::SetSideEditable(Box(), 1, true));
    const int32_t d = Box().GetDividingPoint();
    RightClick(CellPoint(0, 1));
    ASSERT_EQ(g_menu.opened, 1);
    ExpectSeparatorsBetween();
    EXPECT_TRUE(Enabled(3)) << "a side with a path can be saved";
    EXPECT_EQ(g_menu.texts[2], L"Save to file (side2).");
    EXPECT_TRUE(Grayed(4));
    EXPECT_TRUE(State(16) & MF_CHECKED);
    EXPECT_TRUE(Grayed(17));
    EXPECT_TRUE(Enabled(15));
    EXPECT_TRUE(Enabled(13));
    // No selection: the drag items are grayed; two rows: float only.
    Box().ClearSelection();
    Box().cursor = -1;
    RightClick(CellPoint(0, 0));
    EXPECT_TRUE(Grayed(7));
    EXPECT_TRUE(Grayed(8));
    EXPECT_FALSE(State(16) & MF_CHECKED);
    Box().MarkRange(0, 1);
    RightClick(CellPoint(0, 0));
    EXPECT_TRUE(Grayed(7));
    EXPECT_TRUE(Enabled(8));
    EXPECT_TRUE(Enabled(12) == false) << "side 1 is not editable";
    // The dividing zone shows no menu.
    RightClick(POINT{d, CellPoint(0, 0).y});
    EXPECT_EQ(g_menu.opened, 0);
    // "DeleteSide" chosen on the editable side deletes the selected lines.
    Box().ClearSelection();
    Box().MarkRange(0, 0);
    SendMessageW(Box().window, WinLayer::WinMessage::MenuCommand, 12, 1);
    PumpUntilIdle();
    int32_t lines = 0;
    std::string kept;
    for (const JobReportUnit& row : Current()->rows) {
        if (row.Unit(1) && !row.Unit(1)->IsPlaceholder()) {
            ++lines;
            kept = Utf8(row.Unit(1)->Text().As(RawLayer::KindUtf16));
        }
    }
    EXPECT_EQ(lines, 1);
    EXPECT_EQ(kept, "2");
}

TEST_F(SideMenuTest, OnlyTheFirstMarkOfATextTakesTheSide) {
    OpenPair(PutText(L"1.txt", "a\n"), PutText(L"2.txt", "b\n"));
    ASSERT_TRUE(WriteFileBytes(temp.Join(L"Lang.ini"),
                               "[Test]\r\nListMenu_ReloadSide=Side %s or %s\r\nListMenu_ReloadTab=No mark\r\n"));
    RawLayer::LanguageTable& table = RawLayer::LanguageTable::Construct();
    table.SetFilePath(W(temp.Join(L"Lang.ini")));
    ASSERT_TRUE(table.UseLanguage(RawLayer::RawString::FromLiteral("Test")));
    RightClick(CellPoint(0, 1));
    table.UseLanguage(RawLayer::RawString::FromLiteral("Default"));
    ASSERT_EQ(g_menu.opened, 1);
    EXPECT_EQ(g_menu.texts[0], L"No mark");
    EXPECT_EQ(g_menu.texts[1], L"Side 2 or %s");
}

TEST_F(SideMenuTest, SaveIsGrayedWithoutAPathAndLineCommandsNeedOneRow) {
    const std::wstring a = temp.Join(L"a"), b = temp.Join(L"b");
    CreateDirectoryW(a.c_str(), nullptr);
    CreateDirectoryW(b.c_str(), nullptr);
    WriteFileBytes(a + L"\\x.txt", "1");
    WriteFileBytes(a + L"\\y.txt", "2");
    WriteFileBytes(b + L"\\x.txt", "3");
    OpenPair(a, b);
    JobLayer::JobUserShellList& commands = JobLayer::ShellCommandStore::Instance().userCommands;
    auto* single = new JobLayer::JobUserShellUnit();
    single->name = RawLayer::RawString::FromLiteral("Single");
    commands.Add(single);
    struct Drop {
        JobLayer::JobUserShellList& list;
        ~Drop() { list.Clear(); }
    } drop{commands};
    Box().MarkRange(0, 0);
    RightClick(CellPoint(0, 0));
    ASSERT_EQ(g_menu.opened, 1);
    EXPECT_TRUE(Grayed(3)) << "folders are not saved";
    EXPECT_TRUE(Enabled(4));
    EXPECT_TRUE(Enabled(26)) << "one selected row";
    EXPECT_EQ(g_menu.texts.back(), L"Execute line : Single");
    Box().MarkRange(0, 1);
    RightClick(CellPoint(0, 0));
    EXPECT_EQ(State(26), ~0u) << "two selected rows";
    ExpectSeparatorsBetween();
    // Only ids up to 126 run, so no more commands are listed.
    for (int i = 0; i < 110; ++i) {
        auto* many = new JobLayer::JobUserShellUnit();
        many->name = RawLayer::RawString::FromLiteral("Many");
        many->targetLine = 1;
        commands.Add(many);
    }
    RightClick(CellPoint(0, 0));
    ASSERT_FALSE(g_menu.items.empty());
    EXPECT_EQ(g_menu.items.back().first, 126u);
}

// Dialogs answered from a thread timer while they run modally: each step
// waits for a shown window of this thread with the title and then sends
// the key (0: closes it).
struct DialogStep {
    std::wstring title;
    WPARAM key;
};
std::vector<DialogStep> g_steps;
int g_answered = 0;
// The dialog answered last: it stays up a moment after its key, and a tick
// then must not take the next step's answer for it. Nor may the main
// window, which shares the question's title.
HWND g_lastAnswered = nullptr;
HWND g_mainWindow = nullptr;

BOOL CALLBACK AnswerWindow(HWND window, LPARAM) {
    if (g_steps.empty() || !IsWindowVisible(window)) return TRUE;
    if (window == g_mainWindow || window == g_lastAnswered) return TRUE;
    wchar_t title[200] = {};
    GetWindowTextW(window, title, 200);
    if (g_steps.front().title != title) return TRUE;
    const WPARAM key = g_steps.front().key;
    g_steps.erase(g_steps.begin());
    ++g_answered;
    g_lastAnswered = window;
    if (!key) {
        PostMessageW(window, WM_CLOSE, 0, 0);
    } else {
        // The key goes to the focus, the button row. While another program
        // holds the foreground the dialog may have no focus: the row is its
        // last child.
        const HWND focus = GetFocus();
        const HWND first = GetWindow(window, GW_CHILD);
        const HWND row = first ? GetWindow(first, GW_HWNDLAST) : window;
        PostMessageW(focus && IsChild(window, focus) ? focus : row, WM_KEYDOWN, key, 1);
    }
    return FALSE;
}

void CALLBACK AnswerDialogs(HWND, UINT, UINT_PTR, DWORD) {
    EnumThreadWindows(GetCurrentThreadId(), AnswerWindow, 0);
}

class DialogTest : public KeyActionsTest {
protected:
    void Answer(std::vector<DialogStep> steps) {
        g_steps = std::move(steps);
        g_answered = 0;
        g_lastAnswered = nullptr;
        g_mainWindow = run.Window();
        // A dialog nobody answers fails the test instead of hanging it.
        watchdog_ = std::make_unique<TestSupport::ModalWatchdog>(60000);
        timer_ = SetTimer(nullptr, 0, 40, AnswerDialogs);
    }
    void TearDown() override {
        KillTimer(nullptr, timer_);
        KeyActionsTest::TearDown();
    }
    UINT_PTR timer_ = 0;
    std::unique_ptr<TestSupport::ModalWatchdog> watchdog_;
};

// Input dialogs driven from the same kind of timer: each step waits for the
// input dialog with its title and acts on it through its own windows. A
// dialog still up at the tick after its step did not finish: it is closed
// and counted; so is every replace question that comes up.
struct InputStep {
    std::wstring title;
    std::function<void(AppLayer::GuiInputDialog&)> act;
};
std::vector<InputStep> g_inputSteps;
HWND g_stepped = nullptr;
int g_leftOpen = 0, g_questions = 0;

BOOL CALLBACK DriveInputWindow(HWND window, LPARAM) {
    if (!IsWindowVisible(window)) return TRUE;
    wchar_t title[200] = {}, name[64] = {};
    GetWindowTextW(window, title, 200);
    GetClassNameW(window, name, 64);
    if (lstrcmpW(name, L"Class_InfoDialog") == 0) {
        ++g_questions;
        PostMessageW(window, WM_CLOSE, 0, 0);
        return FALSE;
    }
    if (window == g_stepped) {
        ++g_leftOpen;
        g_stepped = nullptr;
        PostMessageW(window, WM_CLOSE, 0, 0);
        return FALSE;
    }
    if (g_inputSteps.empty() || g_inputSteps.front().title != title) return TRUE;
    auto* dialog = dynamic_cast<AppLayer::GuiInputDialog*>(WinLayer::WinWindowRegistry::Instance().FindByHandle(window));
    if (!dialog) return TRUE;
    const std::function<void(AppLayer::GuiInputDialog&)> act = g_inputSteps.front().act;
    g_inputSteps.erase(g_inputSteps.begin());
    g_stepped = window;
    act(*dialog);
    return FALSE;
}

void CALLBACK DriveInputDialogs(HWND, UINT, UINT_PTR, DWORD) {
    EnumThreadWindows(GetCurrentThreadId(), DriveInputWindow, 0);
}

void Type(HWND edit, const char* text) {
    for (const char* c = text; *c; ++c) PostChar(edit, static_cast<wchar_t>(*c));
}

void Toggle(WinLayer::WinView& button) {
    if (button.window) SendMessageW(button.window, WM_COMMAND, MAKEWPARAM(button.controlId, 0), 0);
}

TEST_F(DialogTest, EachCommandsDialogShowsItsOwnOptionsAndTheCommandTakesTheAnswers) {
    OpenPair(PutText(L"1.txt", "q\nx1\nx2\n"), PutText(L"2.txt", "a a a a\nx1\nx2\n"));
    ASSERT_TRUE(AppLayer::SetSideEditable(Box(), 1, true));
    Box().SetCurrentSide(1);
    JobGroupUnit& job = *Current();
    ASSERT_TRUE(Box().GotoRow(0, false));
    job.side2.cursorColumn = job.side2.anchorColumn = 2;
    g_inputSteps.clear();
    g_stepped = nullptr;
    g_leftOpen = g_questions = 0;
    timer_ = SetTimer(nullptr, 0, 40, DriveInputDialogs);

    // Replace: two rows and every option, Confirm and FromHead ticked at
    // first. Both unticked: the replace starts at the cursor, asking nothing.
    bool replaceShowsAll = false, replaceTicked = false;
    g_inputSteps.push_back({L"Tavrel - Input text for replace.", [&](AppLayer::GuiInputDialog& d) {
                                replaceShowsAll = d.rowCount == 2 && d.ignoreCase.window && d.modeSelector.window &&
                                                  d.confirm.window && d.fromHead.window;
                                replaceTicked = d.confirm.checked && d.fromHead.checked;
                                Toggle(d.confirm);
                                Toggle(d.fromHead);
                                Type(d.rows[0].edit.window, "a");
                                PostKey(d.rows[0].edit.window, VK_RETURN);
                                Type(d.rows[1].edit.window, "b");
                                PostKey(d.rows[1].edit.window, VK_RETURN);
                            }});
    Run("ReplaceText(Input)");
    EXPECT_TRUE(replaceShowsAll);
    EXPECT_TRUE(replaceTicked);
    EXPECT_EQ(g_questions, 0);
    EXPECT_EQ(LineText(1, 0), "a b b b");

    // Goto line: one row, no option at all; Enter finishes.
    bool gotoPlain = false;
    g_inputSteps.push_back({L"Tavrel - Input line to select.", [&](AppLayer::GuiInputDialog& d) {
                                gotoPlain = d.rowCount == 1 && !d.optionLabel.window && !d.ignoreCase.window &&
                                            !d.modeSelector.window && !d.confirm.window;
                                Type(d.rows[0].edit.window, "3");
                                PostKey(d.rows[0].edit.window, VK_RETURN);
                            }});
    Run("GotoLine(Input)");
    EXPECT_TRUE(gotoPlain);
    EXPECT_EQ(job.side2.cursorRow, 2);

    // Backward search: one row with IgnoreCase and the mode, nothing of
    // the replace.
    bool searchOptions = false;
    g_inputSteps.push_back({L"Tavrel - Input text for search.", [&](AppLayer::GuiInputDialog& d) {
                                searchOptions = d.rowCount == 1 && d.ignoreCase.window && d.modeSelector.window &&
                                                !d.confirm.window && !d.fromHead.window;
                                d.rows[0].edit.SetText(RawLayer::RawString::FromLiteral("x1"));
                                PostKey(d.rows[0].edit.window, VK_RETURN);
                            }});
    Run("SearchBackward(Input)");
    EXPECT_TRUE(searchOptions);
    EXPECT_EQ(job.side2.cursorRow, 1);
    EXPECT_EQ(g_leftOpen, 0);
    EXPECT_TRUE(g_inputSteps.empty());
}

TEST_F(DialogTest, SearchWithoutArgumentsAsksOnceThenUsesTheRememberedText) {
    OpenPair(PutText(L"1.txt", "find me\nfind me\n"), PutText(L"2.txt", "x\n"));
    Box().SetCurrentSide(0);
    JobLayer::JobActionUnit search(RawLayer::RawString::FromLiteral("SearchForward"), RawLayer::RawStringList(true));
    Answer({{L"Tavrel - Input text for search.", 0}});
    EXPECT_FALSE(Box().RunInputCommand(search, 0, JobLayer::CommandSearchForward));
    EXPECT_EQ(g_answered, 1);
    // One search with a text; the next one asks nothing.
    Run("SearchForward(\"me\")");
    Box().InputParameters(JobLayer::CommandSearchForward).operands[0] = RawLayer::RawString::FromLiteral("find");
    Answer({{L"Tavrel - Input text for search.", 0}});
    EXPECT_TRUE(Box().RunInputCommand(search, 0, JobLayer::CommandSearchForward));
    EXPECT_EQ(g_answered, 0);
}

TEST_F(DialogTest, ReplaceQuestionSkipsReplacesAndStops) {
    OpenPair(PutText(L"1.txt", "q\n"), PutText(L"2.txt", "a a a a\n"));
    ASSERT_TRUE(AppLayer::SetSideEditable(Box(), 1, true));
    Box().SetCurrentSide(1);
    JobLayer::ActionArgs request(RawLayer::RawString::FromLiteral("a"), RawLayer::RawString::FromLiteral("b"));
    request.flags = JobLayer::ActionArgs::AskEachReplacement | JobLayer::ActionArgs::BeginAtHead;
    Answer({{L"Tavrel", 'N'}, {L"Tavrel", 'Y'}, {L"Tavrel", 'C'}});
    EXPECT_TRUE(Box().ReplaceEach(1, request));
    EXPECT_EQ(g_answered, 3);
    EXPECT_EQ(LineText(1, 0), "a b a a");
}

// Edits at the foot of the file and the lines that searches find: the top
// row of the view stays whole, and the highlighted row is the found line.
TEST_F(DialogTest, EditsAtTheFootKeepWholeRowsAndTheHighlightFollowsTheFoundLine) {
    std::string text;
    for (int i = 1; i <= 300; ++i) text += "line " + std::to_string(i) + "\n";
    OpenPair(PutText(L"1.txt", text), PutText(L"2.txt", text));
    ASSERT_TRUE(AppLayer::SetSideEditable(Box(), 0, true));
    Box().SetCurrentSide(0);
    JobGroupUnit& job = *Current();
    g_inputSteps.clear();
    g_stepped = nullptr;
    g_leftOpen = g_questions = 0;
    timer_ = SetTimer(nullptr, 0, 40, DriveInputDialogs);
    // The view's top row starts right under the header, and the list
    // highlights the side's cursor row and no other.
    auto expectShown = [&](int32_t row, const char* step, bool highlighted = true) {
        PumpUntilIdle();
        ASSERT_EQ(job.side1.cursorRow, row) << step;
        const int32_t top = Box().HitTest(POINT{10, Box().clientRect.top});
        ASSERT_GE(top, 0) << step;
        EXPECT_EQ(Box().SideRect(top, 0).top, Box().clientRect.top) << step;
        const RECT rect = Box().SideRect(row, 0);
        EXPECT_GE(rect.top, Box().clientRect.top) << step;
        EXPECT_LE(rect.bottom, Box().clientRect.bottom) << step;
        std::vector<int32_t> rows;
        for (int32_t i = 0; i < Box().Count(); ++i)
            if (Box().ItemAt(i)->flags & WinListBoxItemUnit::ItemSelected) rows.push_back(i);
        if (highlighted) {
            EXPECT_EQ(rows, std::vector<int32_t>{row}) << step;
        }
    };
    Run("MoveCursorToFileFoot");
    expectShown(299, "to the foot");
    // Whether the view ends on a whole row depends on the box's height:
    // its client height must not be a whole number of rows.
    ASSERT_NE((Box().clientRect.bottom - Box().clientRect.top) % Box().RowHeight(), 0);
    SendMessageW(Box().window, WM_CHAR, 'x', 1);
    EXPECT_EQ(LineText(0, 299), "line 300x");
    expectShown(299, "typed at the foot", false);
    // A replace from the head whose last hit is the last line.
    g_inputSteps.push_back({L"Tavrel - Input text for replace.", [&](AppLayer::GuiInputDialog& d) {
                                if (d.confirm.checked) Toggle(d.confirm);
                                if (!d.fromHead.checked) Toggle(d.fromHead);
                                d.rows[0].edit.SetText(RawLayer::RawString::FromLiteral("line 300"));
                                d.rows[1].edit.SetText(RawLayer::RawString::FromLiteral("the end"));
                                PostKey(d.rows[0].edit.window, VK_RETURN);
                                PostKey(d.rows[1].edit.window, VK_RETURN);
                            }});
    Run("ReplaceText(Input)");
    EXPECT_EQ(LineText(0, 299), "the endx");
    expectShown(299, "replace");
    Run("GotoLine(\"250\")");
    expectShown(249, "goto");
    g_inputSteps.push_back({L"Tavrel - Input text for search.", [&](AppLayer::GuiInputDialog& d) {
                                d.rows[0].edit.SetText(RawLayer::RawString::FromLiteral("line 120"));
                                PostKey(d.rows[0].edit.window, VK_RETURN);
                            }});
    Run("SearchBackward(Input)");
    expectShown(119, "backward search");
    g_inputSteps.push_back({L"Tavrel - Input text for search.", [&](AppLayer::GuiInputDialog& d) {
                                d.rows[0].edit.SetText(RawLayer::RawString::FromLiteral("line 200"));
                                PostKey(d.rows[0].edit.window, VK_RETURN);
                            }});
    Run("SearchForward(Input)");
    expectShown(199, "forward search");
    EXPECT_EQ(g_leftOpen, 0);
    EXPECT_TRUE(g_inputSteps.empty());
}

TEST_F(KeyActionsTest, DoubleClickSelectsAWordAndAThirdPressTheLine) {
    OpenPair(PutText(L"1.txt", "alpha beta gamma\n"), PutText(L"2.txt", "x\n"));
    JobGroupUnit& job = *Current();
    // A point inside "beta": the caret's column from the unit itself.
    const int32_t d = Box().GetDividingPoint();
    POINT point = CellPoint(0, 0, 0);
    int32_t column = -1;
    for (int32_t x = Box().clientRect.left; x < d - 2 && column != 7; ++x) {
        point.x = x;
        Mouse(WM_LBUTTONDOWN, point, MK_LBUTTON);
        Mouse(WM_LBUTTONUP, point);
        column = job.side1.cursorColumn;
        Sleep(GetDoubleClickTime() / 1000 + 1);
    }
    ASSERT_EQ(column, 7);
    Sleep(GetDoubleClickTime() + 20);
    Mouse(WM_LBUTTONDOWN, point, MK_LBUTTON);
    Mouse(WM_LBUTTONUP, point);
    Mouse(WM_LBUTTONDBLCLK, point, MK_LBUTTON);
    Mouse(WM_LBUTTONUP, point);
    EXPECT_EQ(job.side1.anchorColumn, 6);
    EXPECT_EQ(job.side1.cursorColumn, 10);
    // A third press 6 pixels away is a plain click.
    Mouse(WM_LBUTTONDOWN, POINT{point.x + 6, point.y}, MK_LBUTTON);
    Mouse(WM_LBUTTONUP, POINT{point.x + 6, point.y});
    EXPECT_EQ(job.side1.anchorColumn, job.side1.cursorColumn);
    // Within 5 pixels and the double-click time: the whole line.
    Mouse(WM_LBUTTONDBLCLK, point, MK_LBUTTON);
    Mouse(WM_LBUTTONUP, point);
    Mouse(WM_LBUTTONDOWN, POINT{point.x + 5, point.y + 5}, MK_LBUTTON);
    Mouse(WM_LBUTTONUP, POINT{point.x + 5, point.y + 5});
    EXPECT_EQ(job.side1.anchorColumn, 0);
    EXPECT_EQ(job.side1.cursorColumn, 16);
}

TEST_F(KeyActionsTest, TwoSelectedRowsFloatAndTheImageShowsTheLabel) {
    OpenPair(PutText(L"1.txt", "one\ntwo\nthree\n"), PutText(L"2.txt", "uno\ndos\ntres\n"));
    Box().ClearSelection();
    Box().MarkRange(0, 1);
    const POINT press = CellPoint(0, 0);
    Mouse(WM_LBUTTONDOWN, press, MK_LBUTTON | MK_CONTROL);
    Box().MarkRange(0, 1);
    Mouse(WM_MOUSEMOVE, POINT{press.x + 30, press.y + 40}, MK_LBUTTON | MK_CONTROL);
    ASSERT_EQ(Box().Drag().state, AppLayer::LineDragState::LineDrag);
    EXPECT_EQ(Box().Drag().dragMode, 1);
    const DibCanvas canvas = Capture();
    // The label box: "FloatedColor" at the image's bottom-right corner.
    const int32_t d = Box().GetDividingPoint();
    const RECT image{press.x + 30, 0, d - 2 + 30, canvas.Height()};
    EXPECT_GT(canvas.CountColor(image, kFloated), 40);
    // Without a "FloatedColor" the label is white: its text is drawn in
    // the list's text colour.
    JobLayer::ConfigStore::Instance().colors.floatedColor = JobLayer::NoColorValue;
    {
        const DibCanvas plain = Capture();
        // The image's bottom row (three rows centred on the mouse), right end.
        const int32_t h = Box().RowHeight();
        const LONG bottom = press.y + 40 + h + h / 2;
        const RECT label{d - 2 + 30 - 40, bottom - h + 2, d - 2 + 30 - 1, bottom - 1};
        EXPECT_EQ(plain.CountColor(image, kFloated), 0);
        EXPECT_GT(plain.CountColor(label, WinLayer::ListTextColor()), 5);
    }
    // A right press ends it, nothing connected.
    Mouse(WM_RBUTTONDOWN, press);
    EXPECT_EQ(Box().Drag().state, AppLayer::LineDragState::Idle);
    EXPECT_NE(GetCapture(), Box().window);
    // A release outside the box connects nothing either.
    Mouse(WM_LBUTTONDOWN, press, MK_LBUTTON | MK_CONTROL);
    Mouse(WM_MOUSEMOVE, POINT{press.x, press.y + 20}, MK_LBUTTON | MK_CONTROL);
    ASSERT_EQ(Box().Drag().state, AppLayer::LineDragState::LineDrag);
    Mouse(WM_LBUTTONUP, POINT{-50, -50}, MK_CONTROL);
    PumpUntilIdle();
    for (const JobReportUnit& row : Current()->rows) {
        ASSERT_TRUE(row.Unit(0) && row.Unit(1));
        EXPECT_FALSE(row.Unit(0)->IsPlaceholder() || row.Unit(1)->IsPlaceholder());
    }
}

TEST_F(KeyActionsTest, BinarySideSelectsByDragAndNeverLineDrags) {
    std::string bytes(64, '\0');
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 7);
    const std::wstring one = temp.Join(L"1.bin"), two = temp.Join(L"2.bin");
    WriteFileBytes(one, bytes);
    bytes[3] = 'x';
    WriteFileBytes(two, bytes);
    OpenPair(one, two);
    ASSERT_EQ(Current()->kind.kind, JobLayer::KindBinary);
    const POINT press = CellPoint(0, 0);
    Mouse(WM_LBUTTONDOWN, press, MK_LBUTTON | MK_CONTROL);
    Mouse(WM_MOUSEMOVE, POINT{press.x + 20, press.y}, MK_LBUTTON | MK_CONTROL);
    EXPECT_EQ(Box().Drag().state, AppLayer::LineDragState::Idle);
    Mouse(WM_LBUTTONUP, POINT{press.x + 20, press.y});
    Mouse(WM_LBUTTONDOWN, press, MK_LBUTTON);
    Mouse(WM_MOUSEMOVE, POINT{press.x + 20, press.y}, MK_LBUTTON);
    EXPECT_EQ(Box().Drag().state, AppLayer::LineDragState::SelectDrag);
    Mouse(WM_LBUTTONUP, POINT{press.x + 20, press.y});
    EXPECT_EQ(Box().Drag().state, AppLayer::LineDragState::Idle);
}

TEST_F(KeyActionsTest, VerticalMovesKeepTheCaretX) {
    OpenPair(PutText(L"1.txt", "abcdef\nab\nabcdef\n"), PutText(L"2.txt", "abcdef\nab\nabcdef\n"));
    JobGroupUnit& job = *Current();
    Box().SetCurrentSide(0);
    ASSERT_TRUE(Box().GotoRow(0, false));
    job.side1.cursorColumn = job.side1.anchorColumn = 5;
    job.side1.preferredX = -1;
    Run("MoveCursorDown");
    EXPECT_EQ(job.side1.cursorRow, 1);
    EXPECT_EQ(job.side1.cursorColumn, 2) << "fitted to the short line";
    Run("MoveCursorDown");
    EXPECT_EQ(job.side1.cursorRow, 2);
    EXPECT_EQ(job.side1.cursorColumn, 5) << "back at the remembered x";
}

TEST_F(KeyActionsTest, DragByCommandFollowsTheMouseAndEscapeFinishesIt) {
    WriteKeys("");
    ASSERT_TRUE(WriteFileBytes(temp.Join(L"KeyBinding.ini"), "[KeyBinding]\r\n0x1B=FinishDrags\r\n"));
    OpenPair(PutText(L"1.txt", "one\ntwo\n"), PutText(L"2.txt", "uno\ndos\n"));
    Box().ClearSelection();
    Box().MarkRange(1, 1);
    Command(AppLayer::CmdDragFloat1);
    ASSERT_EQ(Box().Drag().state, AppLayer::LineDragState::LineDrag);
    EXPECT_EQ(Box().Drag().dragMode, 1);
    EXPECT_EQ(Box().Drag().first, 1);
    EXPECT_EQ(GetCapture(), Box().window);
    SetModifiers(false, false);
    Key(WM_KEYDOWN, VK_ESCAPE);
    EXPECT_EQ(Box().Drag().state, AppLayer::LineDragState::Idle);
    EXPECT_NE(GetCapture(), Box().window);
    Command(AppLayer::CmdDragConnect2);
    ASSERT_EQ(Box().Drag().state, AppLayer::LineDragState::LineDrag);
    EXPECT_EQ(Box().Drag().dragMode, 0);
    EXPECT_EQ(Box().Drag().side, 1u);
    Key(WM_KEYDOWN, VK_ESCAPE);
    EXPECT_EQ(Box().Drag().state, AppLayer::LineDragState::Idle);
}

TEST(ClipLoadRule, TemporaryFolderPathMustBeFollowedBySeparator) {
    using RawLayer::RawString;
    const RawString temp = RawString::FromLiteral("C:\\Tmp\\Tavrel_Temp");
    EXPECT_TRUE(AppLayer::ClipLoadAllowed(RawString(), temp));
    EXPECT_TRUE(AppLayer::ClipLoadAllowed(RawString::FromLiteral("C:\\Tmp\\Tavrel_Temp\\Clip1.txt"), temp));
    EXPECT_FALSE(AppLayer::ClipLoadAllowed(RawString::FromLiteral("C:\\Tmp\\Tavrel_TempX\\a.txt"), temp));
    // An empty folder path holds no file: a UNC path is not in it.
    EXPECT_FALSE(AppLayer::ClipLoadAllowed(RawString::FromLiteral("\\\\server\\share\\a.txt"), RawString()));
}


// A key step costs what it changes, not the rows. The same steps on 10,000
// and 1,000,000 rows, each with everything it repaints (the position bar
// and the command buttons included), are counted: the list units a cursor
// step or a jump to the next difference steps over, and for the edits of a
// line (a typed character, a new line, Backspace, Undo) the list units made,
// the rows read for the position bar's marks and the lines measured. Walking
// every row at a step shows as a million.
TEST_F(KeyActionsTest, KeyStepCostDoesNotGrowWithTheRowCount) {
    WriteProfile("", "MaxTextLoading=100000000\r\n");
    using WinLayer::WinWorkCounts;
    struct Work {
        int64_t walked = 0;    // list units stepped over
        int64_t made = 0;      // list units made
        int64_t marks = 0;     // rows read for the position bar
        int64_t measured = 0;  // lines measured
        int64_t widths = 0;    // lines looked at for a side's width
        int64_t placed = 0;    // list units given a row
    };
    // The most of each count over the steps of one kind.
    struct Steps {
        Work cursor, jump, edit, typing;
    };
    auto most = [](Work& into, const Work& step) {
        into.walked = std::max(into.walked, step.walked);
        into.made = std::max(into.made, step.made);
        into.marks = std::max(into.marks, step.marks);
        into.measured = std::max(into.measured, step.measured);
        into.widths = std::max(into.widths, step.widths);
        into.placed = std::max(into.placed, step.placed);
    };
    bool started = false;
    auto count = [&](int32_t lines) {
        std::string left, right;
        for (int32_t i = 0; i < lines; ++i) {
            const std::string line = std::to_string(i) + "\n";
            left += line;
            right += i < lines - 10 && i != lines / 2 + 5 ? line : "x" + line;
        }
        const std::wstring a = PutText((L"a" + std::to_wstring(lines) + L".txt").c_str(), left);
        const std::wstring b = PutText((L"b" + std::to_wstring(lines) + L".txt").c_str(), right);
        if (!started) {
            OpenPair(a, b);
            started = true;
        } else {
            Views().tabBar.LoadPair(P(a), P(b));
            ShowCurrentTab(Views());
        }
        // A large pair loads on its own thread.
        EXPECT_TRUE(TestSupport::PumpUntil([&] { return Box().Count() == lines; }, 60000)) << Box().Count();
        Box().SetCurrentSide(0);
        PumpUntilIdle();
        auto counted = [&](const std::function<void()>& step) {
            const WinWorkCounts before = WinWorkCounts::Instance();
            step();
            // What the step queued and invalidated, the paints included.
            UpdateWindow(Views().positionBar.window);
            PumpUntilIdle();
            const WinWorkCounts& after = WinWorkCounts::Instance();
            return Work{after.listUnitsWalked - before.listUnitsWalked, after.listUnitsMade - before.listUnitsMade,
                        after.positionBarRows - before.positionBarRows, after.linesMeasured - before.linesMeasured,
                        after.linesWalked - before.linesWalked, after.listUnitsPlaced - before.listUnitsPlaced};
        };
        auto action = [&](const char* name) {
            const JobLayer::JobActionUnit unit(RawLayer::RawString::FromText(name), RawLayer::RawStringList(true));
            Box().ActionDispatch(unit);
        };
        Steps steps;
        Box().GotoRow(lines / 2, false);
        PumpUntilIdle();
        for (int i = 0; i < 10; ++i) most(steps.cursor, counted([&] { action("MoveCursorDown"); }));
        for (int i = 0; i < 3; ++i) {
            Box().ClearSelection();
            Box().GotoRow(lines / 2, false);
            PumpUntilIdle();
            most(steps.jump, counted([&] { action("GotoNextDiffrentLine"); }));
            EXPECT_EQ(Current()->Side(0).cursorRow, lines / 2 + 5);
        }
        EXPECT_TRUE(AppLayer::SetSideEditable(Box(), 0, true));
        Box().ClearSelection();
        Box().GotoRow(lines / 2, false);
        action("MoveCursorToLineFoot");
        PumpUntilIdle();
        const int32_t rows = Box().Count();
        for (int i = 0; i < 3; ++i) most(steps.typing, counted([&] { SendMessageW(Box().window, WM_CHAR, L'q', 1); }));
        most(steps.edit, steps.typing);
        most(steps.edit, counted([&] { action("InsertNewLine"); }));
        EXPECT_EQ(Box().Count(), rows + 1);
        most(steps.edit, counted([&] { action("Backspace"); }));
        EXPECT_EQ(Box().Count(), rows);
        most(steps.edit, counted([&] { action("Undo"); }));
        EXPECT_EQ(Box().Count(), rows + 1);
        // The edits changed the middle line.
        EXPECT_NE(Current()->rows.At(lines / 2)->kind, static_cast<uint32_t>(JobLayer::RowSame));
        return steps;
    };
    const Steps small = count(10000);
    const Steps large = count(1000000);
    auto print = [](const char* name, const Work& a, const Work& b) {
        std::printf("%-6s walked %lld / %lld, made %lld / %lld, marks %lld / %lld, measured %lld / %lld\n", name,
                    static_cast<long long>(a.walked), static_cast<long long>(b.walked), static_cast<long long>(a.made),
                    static_cast<long long>(b.made), static_cast<long long>(a.marks), static_cast<long long>(b.marks),
                    static_cast<long long>(a.measured), static_cast<long long>(b.measured));
    };
    print("cursor", small.cursor, large.cursor);
    print("jump", small.jump, large.jump);
    print("edit", small.edit, large.edit);
    std::printf("widths %lld / %lld, typing placed %lld / %lld\n", static_cast<long long>(small.edit.widths),
                static_cast<long long>(large.edit.widths), static_cast<long long>(small.typing.placed),
                static_cast<long long>(large.typing.placed));
    // A screen's worth more at most: a pass over the rows adds a million.
    constexpr int64_t kSlack = 200;
    for (const Work* step : {&large.cursor, &large.jump}) {
        const Work& base = step == &large.cursor ? small.cursor : small.jump;
        EXPECT_LE(step->walked, base.walked + kSlack);
        EXPECT_LE(step->made, base.made + kSlack);
        EXPECT_EQ(step->marks, 0);
        EXPECT_LE(step->measured, base.measured + kSlack);
    }
    EXPECT_LE(large.edit.made, small.edit.made + kSlack);
    EXPECT_LE(large.edit.marks, small.edit.marks + kSlack);
    EXPECT_LE(large.edit.measured, small.edit.measured + kSlack);
    // An edit lays out and measures from what changed: no walk over the
    // list or over the lines of a side.
    EXPECT_LE(large.edit.walked, small.edit.walked + kSlack);
    EXPECT_LE(large.edit.widths, small.edit.widths + kSlack);
    EXPECT_LE(large.typing.placed, small.typing.placed + kSlack);
}


// Typed edits measure only the lines they change: after each random edit
// the text column is exactly as wide as measuring every line afresh, as
// the widest line grows, shrinks or moves to another line.
TEST_F(KeyActionsTest, TheTextColumnFollowsTheWidestLineThroughTypedEdits) {
    std::mt19937 random(11);
    std::string text;
    for (int line = 0; line < 300; ++line) text += std::string(static_cast<size_t>(random() % 40), 'm') + "\n";
    const std::wstring a = PutText(L"a.txt", text);
    OpenPair(a, PutText(L"b.txt", text));
    ASSERT_TRUE(AppLayer::SetSideEditable(Box(), 0, true));
    Box().SetCurrentSide(0);
    JobGroupUnit& job = *Current();
    const wchar_t typed[] = {L'W', L'i', L'\t', L'\u3042', L'm'};
    auto act = [&](const char* name) {
        Box().ActionDispatch(JobLayer::JobActionUnit(RawLayer::RawString::FromText(name), RawLayer::RawStringList(true)));
    };
    for (int edit = 0; edit < 30; ++edit) {
        Box().ClearSelection();
        Box().GotoRow(static_cast<int32_t>(random() % 300), false);
        act(random() % 2 ? "MoveCursorToLineFoot" : "MoveCursorToLineHead");
        const int count = 1 + static_cast<int>(random() % 30);
        const bool erase = random() % 3 == 0;
        for (int i = 0; i < count; ++i) {
            if (erase) {
                act("DeleteCharOrSelections");
                act("Backspace");
            } else {
                SendMessageW(Box().window, WM_CHAR, typed[random() % 5], 1);
            }
        }
        PumpUntilIdle();
        const int32_t kept = job.side1.measuredWidth[1];
        // A new layout revision: every line is measured again.
        job.controller->InvalidateSide(job, 0);
        Box().RemeasureColumns();
        ASSERT_EQ(kept, job.side1.measuredWidth[1]) << "edit " << edit;
    }
}


// An edit gives new rows only to the units of the rows it changed, lays
// the list out from there and measures only the lines it changed: after
// random edits of every kind on either side (typing, new lines, joins,
// deletes, undo and redo, a paste of lines, copied and deleted lines, the
// side's widest line deleted), and now and then a filter, the box holds
// what making every row and measuring every line anew gives: each row's
// kind, each unit's row, shown flag and place, the differing rows the
// jumps and the position bar go by, the list's height, both sides' text
// widths, and every line's number.
TEST_F(KeyActionsTest, EditedRowsMatchRowsMadeAnew) {
    std::mt19937 random(29);
    std::string left, right;
    for (int line = 0; line < 300; ++line) {
        const std::string text = std::string(random() % 24, 'm') + std::to_string(line) + "\n";
        const unsigned pick = random() % 8;
        if (pick != 0) left += text;
        if (pick != 1) right += pick == 2 ? "W" + text : text;
    }
    OpenPair(PutText(L"a.txt", left), PutText(L"b.txt", right));
    ASSERT_TRUE(AppLayer::SetSideEditable(Box(), 0, true));
    ASSERT_TRUE(AppLayer::SetSideEditable(Box(), 1, true));
    JobGroupUnit& job = *Current();
    auto act = [&](const char* name) {
        Box().ActionDispatch(JobLayer::JobActionUnit(RawLayer::RawString::FromText(name), RawLayer::RawStringList(true)));
    };
    struct Shown {
        std::vector<const void*> rows;
        std::vector<int32_t> kinds;
        std::vector<LONG> places;  // top, bottom and shown flag of each unit
        std::vector<int32_t> jumps;    // the shown differing rows, as the jumps find them
        std::vector<int32_t> notSame;  // the differing rows the position bar marks
        std::vector<int32_t> sizes;
        bool operator==(const Shown& other) const {
            return rows == other.rows && kinds == other.kinds && places == other.places && jumps == other.jumps &&
                   notSame == other.notSame && sizes == other.sizes;
        }
    };
    auto shown = [&] {
        Shown now;
        for (int32_t i = 0; i < job.rows.Count(); ++i) now.kinds.push_back(job.rows.At(i)->kind);
        for (int32_t i = 0; i < Box().Count(); ++i) {
            const WinLayer::WinListBoxItemUnit* unit = Box().ItemAt(i);
            now.rows.push_back(unit->item);
            now.places.insert(now.places.end(), {unit->rect.top, unit->rect.bottom,
                                                 (unit->flags & WinLayer::WinListBoxItemUnit::ItemHidden) ? 1 : 0});
        }
        for (int32_t i = Box().FindNonSameRow(0, 1); i >= 0 && i < Box().Count(); i = Box().FindNonSameRow(i + 1, 1))
            now.jumps.push_back(i);
        const AppLayer::DifferingRowIndex& noted = Box().RowsNotSame();
        now.notSame = noted.rowsNotSame;
        now.notSame.push_back(noted.Describes(&job.rows) ? 1 : 0);
        now.sizes = {Box().contentSize.cy, static_cast<int32_t>(Box().placed.size()), job.side1.measuredWidth[1],
                     job.side2.measuredWidth[1], job.rows.Count()};
        return now;
    };
    // Where two lists first differ.
    auto differ = [](const char* name, const std::vector<int32_t>& kept, const std::vector<int32_t>& anew) {
        if (kept == anew) return std::string();
        size_t at = 0;
        while (at < kept.size() && at < anew.size() && kept[at] == anew[at]) ++at;
        auto item = [at](const std::vector<int32_t>& list) {
            return at < list.size() ? std::to_string(list[at]) : std::string("none");
        };
        return std::string(" ") + name + "[" + std::to_string(at) + "] kept " + item(kept) + ", anew " + item(anew);
    };
    // The row of the side's widest line, by what the box's font measures
    // of every line's text (-1 for a side without lines).
    auto widestRow = [&](uint32_t side) {
        WinLayer::GdiWindowDC screen(Box().window);
        WinLayer::GdiSelection font(screen.Get(), Box().GetEffectiveFont().handle);
        WinLayer::WinDrawContext context(screen.Get());
        int32_t widest = -1, found = -1;
        for (int32_t i = 0; i < job.rows.Count(); ++i) {
            JobLayer::JobContentUnit* unit = job.rows.At(i)->Unit(side);
            const auto* line = unit ? JobLayer::AsLineUnit(unit) : nullptr;
            if (!line) continue;
            const RawLayer::RawString text = line->Text();
            RECT rect = {0, 0, 32767, 0};
            WinLayer::WinView::MeasureTextRange(context, rect,
                                                DT_NOPREFIX | DT_EXPANDTABS | DT_TABSTOP | DT_SINGLELINE, text,
                                                text.All(), JobLayer::ConfigStore::Instance().tabStop);
            const int32_t width = text.IsEmpty() ? 0 : rect.right - rect.left;
            if (width > widest) {
                widest = width;
                found = i;
            }
        }
        return found;
    };
    auto copyOrDelete = [&](uint32_t side, int32_t first, int32_t last, bool copy) {
        for (int32_t i = first; i <= last; ++i) Box().ItemAt(i)->flags |= WinLayer::WinListBoxItemUnit::ItemSelected;
        Box().NoteSelected(first, last);
        Command(copy ? (side == 0 ? AppLayer::CmdCopy2to1 : AppLayer::CmdCopy1to2)
                     : (side == 0 ? AppLayer::CmdDeleteLine1 : AppLayer::CmdDeleteLine2));
    };
    auto numbered = [&] {
        for (uint32_t side = 0; side < 2; ++side) {
            for (int32_t i = 0; i < job.Content(side).Count(); ++i) {
                const auto* line = JobLayer::AsLineUnit(job.Content(side).At(i));
                if (!line || line->LineNumber() != i + 1) return false;
            }
        }
        return true;
    };
    const uint16_t filters[] = {JobLayer::StatusAll, JobLayer::StatusDifferent, 13};
    for (int edit = 0; edit < 80; ++edit) {
        AppLayer::SetFilterWord(Views(), edit % 10 == 9 ? filters[random() % 3] : uint16_t{JobLayer::StatusAll});
        const uint32_t side = random() % 2;
        Box().SetCurrentSide(side);
        Box().ClearSelection();
        const int32_t row = static_cast<int32_t>(random() % static_cast<unsigned>(job.rows.Count()));
        Box().GotoRow(row, false);
        act(random() % 2 ? "MoveCursorToLineFoot" : "MoveCursorToLineHead");
        switch (random() % 10) {
        case 0:
            for (int i = 0; i < 3; ++i) SendMessageW(Box().window, WM_CHAR, L"Wm\t"[random() % 3], 1);
            break;
        case 1:
            act("InsertNewLine");
            break;
        case 2:
            act("Backspace");
            break;
        case 3:
            act("DeleteCharOrSelections");
            break;
        case 4:
            act("Undo");
            break;
        case 5:
            act("Redo");
            break;
        case 6:
            ASSERT_TRUE(RawLayer::ClipboardSetText(RawLayer::RawString::FromText("pasted\r\nWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWW\r\n")));
            act("PasteFromClipboard");
            break;
        case 7: {
            // The side's widest line goes: the width falls back to the
            // next widest unless another line stands as wide.
            const int32_t widest = widestRow(side);
            if (widest >= 0) copyOrDelete(side, widest, widest, false);
            break;
        }
        default: {
            // Some rows selected, their lines copied over or deleted.
            const int32_t last = std::min(row + static_cast<int32_t>(random() % 4), Box().Count() - 1);
            copyOrDelete(side, row, last, random() % 2 != 0);
            break;
        }
        }
        PumpUntilIdle();
        ASSERT_TRUE(numbered()) << "edit " << edit;
        const Shown kept = shown();
        // Every row compared again, given anew and every line measured again.
        for (JobReportUnit& report : job.rows) report.flags |= JobLayer::RowEdited;
        JobLayer::RefreshEditedRows(job);
        job.controller->InvalidateSide(job, 0);
        job.controller->InvalidateSide(job, 1);
        AppLayer::RefreshAfterJobChange(Views());
        PumpUntilIdle();
        const Shown anew = shown();
        ASSERT_TRUE(kept == anew) << "edit " << edit << differ("kinds", kept.kinds, anew.kinds)
                                  << differ("jumps", kept.jumps, anew.jumps)
                                  << differ("noted", kept.notSame, anew.notSame)
                                  << differ("sizes", kept.sizes, anew.sizes);
    }
}

// The next and previous difference land where a walk over the rows would,
// and the position bar marks what a pass over every row marks, through
// edits that make rows differ or agree again, add or join lines, and
// through filter changes, from every kind of starting row.
TEST_F(KeyActionsTest, DifferenceJumpsMatchAWalkOverTheRowsThroughEditsAndFilters) {
    std::mt19937 random(23);
    std::string left, right;
    for (int line = 0; line < 400; ++line) {
        const std::string text = "line " + std::to_string(line) + "\n";
        const unsigned pick = random() % 10;
        if (pick != 0) left += text;                    // missing on the left now and then
        if (pick != 1) right += pick == 2 ? "x" + text : text;
    }
    OpenPair(PutText(L"a.txt", left), PutText(L"b.txt", right));
    ASSERT_TRUE(AppLayer::SetSideEditable(Box(), 0, true));
    Box().SetCurrentSide(0);
    JobGroupUnit& job = *Current();
    auto walk = [&](int32_t start, int32_t step) {
        for (int32_t row = start; row >= 0 && row < job.rows.Count(); row += step) {
            const JobReportUnit* report = job.rows.At(row);
            if (!(report->flags & JobLayer::RowSkipped) && report->kind != JobLayer::RowSame) return row;
        }
        return -1;
    };
    const uint16_t filters[] = {JobLayer::StatusAll, JobLayer::StatusDifferent, 12, 13, JobLayer::StatusSame};
    for (int round = 0; round < 25; ++round) {
        if (round % 5 == 4) {
            AppLayer::SetFilterWord(Views(), filters[random() % 5]);
        } else {
            AppLayer::SetFilterWord(Views(), JobLayer::StatusAll);
            Box().ClearSelection();
            Box().GotoRow(static_cast<int32_t>(random() % static_cast<unsigned>(job.rows.Count())), false);
            Box().ActionDispatch(JobLayer::JobActionUnit(RawLayer::RawString::FromText("MoveCursorToLineHead"),
                                                         RawLayer::RawStringList(true)));
            const unsigned pick = random() % 3;
            if (pick == 0) {
                SendMessageW(Box().window, WM_CHAR, L'x', 1);
            } else {
                // Deleting at a line's head of an empty line joins it with
                // the next; a new line splits one: rows come and go.
                Box().ActionDispatch(JobLayer::JobActionUnit(
                    RawLayer::RawString::FromText(pick == 1 ? "DeleteCharOrSelections" : "InsertNewLine"),
                    RawLayer::RawStringList(true)));
            }
        }
        PumpUntilIdle();
        for (int probe = 0; probe < 40; ++probe) {
            const int32_t start = static_cast<int32_t>(random() % static_cast<unsigned>(job.rows.Count()));
            ASSERT_EQ(Box().FindNonSameRow(start, 1), walk(start, 1)) << "round " << round << " from " << start;
            ASSERT_EQ(Box().FindNonSameRow(start, -1), walk(start, -1)) << "round " << round << " from " << start;
        }
        // The position bar's marks, made from the rows the box noted as
        // differing, are those of a pass over every row.
        AppLayer::GuiPositionBar& bar = Views().positionBar;
        ASSERT_TRUE(bar.differing && bar.differing->Describes(&job.rows)) << "round " << round;
        bar.ComputeMarks(300);
        const std::vector<int32_t> noted[2] = {bar.Marks(0), bar.Marks(1)};
        const AppLayer::DifferingRowIndex* kept = bar.differing;
        bar.differing = nullptr;
        bar.ComputeMarks(300);
        bar.differing = kept;
        ASSERT_EQ(noted[0], bar.Marks(0)) << "round " << round;
        ASSERT_EQ(noted[1], bar.Marks(1)) << "round " << round;
    }
}

}  // namespace
}  // namespace TabViewTest
