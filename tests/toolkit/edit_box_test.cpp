// The edit box on a real dialog, driven by posted and sent messages: typed
// units beyond Latin-1 and surrogate pairs, editing with undo, clipboard
// cut and paste, focus moves, text loaded from outside, wrapping, the
// mouse, dropped files and the pixels of the display.
// RUN_UNDER_BOTH_CODE_PAGES: typed text must not depend on the ANSI code page.
// Uses the clipboard (ClipboardSetText). USES_FOREGROUND: focus moves are one per display.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <string>
#include <vector>

#include <shlobj.h>

#include "base/clipboard.h"
#include "support/window_support.h"
#include "toolkit/edit_box.h"
#include "toolkit/gdi_scope.h"

using namespace WinLayer;
using RawLayer::RawString;
using TestSupport::DibCanvas;
using TestSupport::TestDialog;

namespace {

constexpr int kBoxWidth = 240;
constexpr int kBoxHeight = 26;

std::wstring Text(const WinEditBox& box) {
    return std::wstring(box.EditText().Wide(), static_cast<size_t>(box.EditText().Length()));
}

// A dialog with one edit box (and a second child to take the focus).
struct EditFixture {
    explicit EditFixture(uint16_t options = 0, const wchar_t* text = L"", int width = kBoxWidth,
                         int height = kBoxHeight)
        : dialog("TkEditBox", L"Edit", RECT{60, 60, 420, 300}) {
        box.Construct();
        box.options = options;
        box.rect = RECT{10, 10, 10 + width, 10 + height};
        box.SetText(RawString::FromWideText(text));
        other.rect = RECT{10, 60, 90, 84};
        dialog.makeChildren = [this](TestDialog& d) {
            d.CreateChild(box);
            d.CreateChild(other);
        };
        dialog.Create();
        TestSupport::PumpUntilIdle();
    }
    void Key(UINT key, bool shift = false, bool ctrl = false) {
        TestSupport::SetModifiers(shift, ctrl, false);
        TestSupport::SendKey(box.window, key);
        TestSupport::SetModifiers(false, false, false);
        TestSupport::PumpUntilIdle();
    }
    void Type(const std::wstring& units) {
        for (wchar_t unit : units) PostMessageW(box.window, WM_CHAR, unit, 1);
        TestSupport::PumpUntilIdle();
    }
    int Notified(uint16_t code) const {
        const std::string wanted = "child command " + std::to_string(box.controlId) + " " + std::to_string(code);
        int count = 0;
        for (const std::string& line : dialog.journal) count += line == wanted ? 1 : 0;
        return count;
    }
    DibCanvas Capture() {
        InvalidateRect(box.window, nullptr, FALSE);
        UpdateWindow(box.window);
        return DibCanvas::CaptureClient(box.window);
    }

    TestDialog dialog;
    WinEditBox box;
    // Takes the focus the box passes on.
    TestSupport::TestControl other;
};

TEST(EditBoxTest, TypedUnitsStayWholeAndSurrogatePairsAreOneCharacter) {
    EditFixture f;
    f.Type(L"\u00E9\u3042\xD83D\xDE00");
    EXPECT_EQ(Text(f.box), std::wstring(L"\u00E9\u3042\xD83D\xDE00"));
    // Control units and DEL stay out.
    f.Type(std::wstring(L"\x01\x1F\x7F"));
    EXPECT_EQ(f.box.Length(), 4);
    // One undo step takes the run above Latin-1 out, the pair whole with
    // it, and Redo brings it back.
    f.Key('Z', false, true);
    EXPECT_EQ(Text(f.box), std::wstring(L"\u00E9"));
    f.Key('Z', true, true);
    EXPECT_EQ(Text(f.box), std::wstring(L"\u00E9\u3042\xD83D\xDE00"));

    f.Key(VK_END);
    f.Key(VK_LEFT);
    EXPECT_EQ(f.box.caret, 2);
    f.Key(VK_RIGHT);
    EXPECT_EQ(f.box.caret, 4);
    f.Key(VK_BACK);
    EXPECT_EQ(Text(f.box), std::wstring(L"\u00E9\u3042"));
    f.Type(L"\xD83D\xDE00");
    f.Key(VK_LEFT);
    f.Key(VK_DELETE);
    EXPECT_EQ(Text(f.box), std::wstring(L"\u00E9\u3042"));

    // A high surrogate without its low half is dropped, as is a lone low half.
    f.box.SetText(RawString::FromWideText(L""));
    f.Type(std::wstring(L"\xD83D") + L"a" + std::wstring(L"\xDE00"));
    EXPECT_EQ(Text(f.box), L"a");
}

TEST(EditBoxTest, FocusSelectionCrLfBackspaceAndUndoOfPaste) {
    EditFixture f(0, L"old text");
    SendMessageW(f.box.window, WM_SETFOCUS, 0, 0);
    EXPECT_EQ(f.box.Selection().start, 0);
    EXPECT_EQ(f.box.Selection().end, 8);
    f.Type(L"new");
    EXPECT_EQ(Text(f.box), L"new");

    f.Key(VK_HOME);
    f.Key(VK_END, true);
    f.Key(VK_LEFT);
    EXPECT_EQ(f.box.caret, 0);
    EXPECT_EQ(f.box.anchor, 0);

    EditFixture lines(WinEditBoxBasic::OptionMultiLine, L"\r\nab");
    lines.box.SetSelection(2, 2);
    lines.Key(VK_BACK);
    EXPECT_EQ(Text(lines.box), L"ab");

    // Paste over "ew": Undo restores and selects it, Redo selects the paste.
    ASSERT_TRUE(RawLayer::ClipboardSetText(RawString::FromWideText(L"PASTE")));
    f.box.SetSelection(1, 3);
    f.Key('V', false, true);
    EXPECT_EQ(Text(f.box), L"nPASTE");
    f.Key('Z', false, true);
    EXPECT_EQ(Text(f.box), L"new");
    EXPECT_EQ(f.box.Selection().start, 1);
    EXPECT_EQ(f.box.Selection().end, 3);
    f.Key('Z', true, true);
    EXPECT_EQ(Text(f.box), L"nPASTE");
    EXPECT_EQ(f.box.Selection().start, 1);
    EXPECT_EQ(f.box.Selection().end, 6);
}

TEST(EditBoxTest, TypingUndoesAWordAtATimeAndTheHistoryStaysBounded) {
    EditFixture f;
    const auto undo = [&](bool redo) {
        TestSupport::SetModifiers(redo, true, false);
        TestSupport::SendKey(f.box.window, 'Z');
        TestSupport::SetModifiers(false, false, false);
    };
    for (wchar_t unit : std::wstring(L"hello  world\r")) SendMessageW(f.box.window, WM_CHAR, unit, 1);
    std::vector<std::wstring> back;
    for (int i = 0; i < 4; ++i) {
        undo(false);
        back.push_back(Text(f.box));
    }
    EXPECT_EQ(back, (std::vector<std::wstring>{L"hello  ", L"hello", L"", L""}));
    undo(true);
    undo(true);
    EXPECT_EQ(Text(f.box), L"hello  ");
    // Typing cuts what could be redone.
    TestSupport::SendKey(f.box.window, VK_END);
    SendMessageW(f.box.window, WM_CHAR, L'!', 1);
    undo(true);
    EXPECT_EQ(Text(f.box), L"hello  !");
    EXPECT_EQ(f.box.undo.Count(), f.box.undoPosition);

    // Typed and deleted characters, each step its own record: only the
    // newest records are kept, and undoing them all reaches the state just
    // as many steps back.
    f.box.SetText(RawString::FromWideText(L""));
    const int steps = WinEditBoxBasic::kUndoLimit + 300;
    for (int i = 0; i < steps; ++i) {
        if (i % 2 == 0) {
            SendMessageW(f.box.window, WM_CHAR, L'a' + i % 26, 1);
        } else {
            TestSupport::SendKey(f.box.window, VK_BACK);
        }
    }
    EXPECT_LE(f.box.undo.Count(), WinEditBoxBasic::kUndoLimit);
    for (int i = 0; i < WinEditBoxBasic::kUndoLimit + 5; ++i) undo(false);
    const int oldest = steps - WinEditBoxBasic::kUndoLimit;
    EXPECT_EQ(Text(f.box), oldest % 2 == 0 ? std::wstring() : std::wstring(1, L'a' + (oldest - 1) % 26));
    EXPECT_EQ(f.box.undoPosition, 0);
    TestSupport::PumpUntilIdle();
}

TEST(EditBoxTest, CutCopiesBeforeDeletingAndReadOnlyOnlyCopies) {
    EditFixture f(0, L"keep CUT keep");
    f.box.SetSelection(5, 8);
    f.Key('X', false, true);
    EXPECT_EQ(Text(f.box), L"keep  keep");
    const RawString cut = RawLayer::ClipboardGetText(100);
    EXPECT_EQ(std::wstring(cut.Wide(), static_cast<size_t>(cut.Length())), L"CUT");
    f.Key('Z', false, true);
    EXPECT_EQ(Text(f.box), L"keep CUT keep");

    EditFixture locked(WinEditBoxBasic::OptionReadOnly, L"fixed words");
    locked.box.SetSelection(0, 5);
    locked.Key('X', false, true);
    EXPECT_EQ(Text(locked.box), L"fixed words");
    const RawString copied = RawLayer::ClipboardGetText(100);
    EXPECT_EQ(std::wstring(copied.Wide(), static_cast<size_t>(copied.Length())), L"fixed");
}

TEST(EditBoxTest, PasswordBoxNeitherCopiesNorCutsItsText) {
    EditFixture f(WinEditBoxBasic::OptionPassword, L"secret");
    const auto clipboard = [] {
        const RawString text = RawLayer::ClipboardGetText(100);
        return std::wstring(text.Wide(), static_cast<size_t>(text.Length()));
    };
    ASSERT_TRUE(RawLayer::ClipboardSetText(RawString::FromWideText(L"before")));
    f.Key('A', false, true);
    f.Key('C', false, true);
    EXPECT_EQ(clipboard(), L"before");
    f.Key('X', false, true);
    EXPECT_EQ(clipboard(), L"before");
    EXPECT_EQ(Text(f.box), L"secret");
    // The context menu's Copy (id 4) as the menu sends it.
    SendMessageW(f.box.window, WinMessage::MenuCommand, 4, 0);
    EXPECT_EQ(clipboard(), L"before");
    // Typing over the selection still works.
    f.Type(L"new");
    EXPECT_EQ(Text(f.box), L"new");
}

TEST(EditBoxTest, UpAndDownInSingleLineBoxAndTextLoadedFromOutside) {
    EditFixture f(0, L"one");
    SetFocus(f.box.window);
    f.Key(VK_DOWN);
    EXPECT_EQ(GetFocus(), f.other.window);
    SetFocus(f.box.window);
    f.Key(VK_UP);
    EXPECT_EQ(GetFocus(), f.other.window);

    EditFixture notifying(WinEditBoxBasic::OptionDownNotifies, L"two");
    SetFocus(notifying.box.window);
    notifying.Key(VK_UP);
    EXPECT_EQ(notifying.Notified(WinNotify::DownKey), 0);
    notifying.Key(VK_DOWN);
    EXPECT_EQ(notifying.Notified(WinNotify::DownKey), 1);
    EXPECT_EQ(GetFocus(), notifying.box.window);

    // Edits, then a shorter text from outside: the caret stays inside it and
    // nothing of the old text can be undone into the new one.
    f.box.SetSelection(3, 3);
    f.Type(L" two three");
    f.box.SetText(RawString::FromWideText(L"ab"));
    f.Key(VK_RIGHT);
    EXPECT_LE(f.box.caret, 2);
    f.Key('Z', false, true);
    EXPECT_EQ(Text(f.box), L"ab");
}

TEST(EditBoxTest, NarrowWrapKeepsOneCharacterPerLineAndPairsWhole) {
    for (const int width : {-1, 0}) {
        const auto started = std::chrono::steady_clock::now();
        // Wrap width 1, or a box 0 pixels wide with wrap at its area.
        EditFixture f(WinEditBoxBasic::OptionMultiLine, L"", width < 0 ? kBoxWidth : 0, 80);
        if (width < 0) f.box.wrapWidth = 1;
        f.box.SetText(RawString::FromWideText(L"abc\xD83D\xDE00"));
        f.box.SyncDisplayText();
        const auto& lines = f.box.drawPart.lines;
        ASSERT_EQ(lines.size(), 4u) << width;
        EXPECT_EQ(lines[3].first, 3);
        EXPECT_EQ(lines[3].end, 5);
        EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(1));
    }
    // A password box shows each unit as '*', yet keeps the pair whole, for
    // lines and for clicks.
    EditFixture secret(WinEditBoxBasic::OptionMultiLine | WinEditBoxBasic::OptionPassword, L"a\xD83D\xDE00",
                       kBoxWidth, 80);
    secret.box.wrapWidth = 1;
    secret.box.SetText(RawString::FromWideText(L"a\xD83D\xDE00"));
    secret.box.SyncDisplayText();
    ASSERT_EQ(secret.box.drawPart.lines.size(), 2u);
    EXPECT_EQ(secret.box.drawPart.lines[1].first, 1);
    // A click at every x across the pair's line, from what the font gives
    // its two stars: before two thirds of the pair the caret goes before
    // it, from there after it, never between its halves.
    const int pair = secret.box.drawPart.widths[1] + secret.box.drawPart.widths[2];
    const int pitch = secret.box.lineHeight + secret.box.lineGap;
    ASSERT_GT(pair, 2);
    ASSERT_GT(pitch, 0);
    for (int x = 0; x <= pair + 2; ++x) {
        const int clientX = secret.box.contentArea.left - secret.box.scroll.x + x;
        const int clientY = secret.box.contentArea.top - secret.box.scroll.y + pitch + pitch / 2;
        TestSupport::SendMouse(secret.box.window, WM_LBUTTONDOWN, clientX, clientY, MK_LBUTTON);
        TestSupport::SendMouse(secret.box.window, WM_LBUTTONUP, clientX, clientY);
        EXPECT_EQ(secret.box.caret, x < 2 * pair / 3 ? 1 : 3) << "x " << x << " of " << pair;
    }
}

TEST(EditBoxTest, MouseClicksAtTwoThirdsDragsAndReleasesOutside) {
    EditFixture f(0, L"WWWW");
    const int left = f.box.contentArea.left;
    const int w = f.box.drawPart.widths[0];
    ASSERT_GT(w, 3);
    const int y = kBoxHeight / 2;
    const int twoThirds = 2 * w / 3;
    TestSupport::SendMouse(f.box.window, WM_LBUTTONDOWN, left + twoThirds - 1, y, MK_LBUTTON);
    TestSupport::SendMouse(f.box.window, WM_LBUTTONUP, left + twoThirds - 1, y);
    EXPECT_EQ(f.box.caret, 0);
    TestSupport::SendMouse(f.box.window, WM_LBUTTONDOWN, left + twoThirds, y, MK_LBUTTON);
    TestSupport::SendMouse(f.box.window, WM_LBUTTONUP, left + twoThirds, y);
    EXPECT_EQ(f.box.caret, 1);

    // A drag selects.
    TestSupport::SendMouse(f.box.window, WM_LBUTTONDOWN, left + 1, y, MK_LBUTTON);
    TestSupport::SendMouse(f.box.window, WM_MOUSEMOVE, left + 3 * w, y, MK_LBUTTON);
    EXPECT_EQ(f.box.Selection().start, 0);
    EXPECT_EQ(f.box.Selection().end, 3);
    // Released outside the box: later hovering selects nothing.
    TestSupport::SendMouse(f.box.window, WM_LBUTTONDOWN, left + 1, y, MK_LBUTTON);
    TestSupport::SendMouse(f.box.window, WM_MOUSEMOVE, left + w, y, 0);
    TestSupport::SendMouse(f.box.window, WM_MOUSEMOVE, left + 3 * w, y, 0);
    EXPECT_EQ(f.box.Selection().end - f.box.Selection().start, 0);
    EXPECT_NE(GetCapture(), f.box.window);
    // Above the box: the line is clamped, no fault.
    TestSupport::SendMouse(f.box.window, WM_LBUTTONDOWN, left + 1, y, MK_LBUTTON);
    TestSupport::SendMouse(f.box.window, WM_MOUSEMOVE, left + 1, -500, MK_LBUTTON);
    TestSupport::SendMouse(f.box.window, WM_LBUTTONUP, left + 1, -500);
    EXPECT_EQ(f.box.caret, 0);
}

// A drop record of wide names, as the shell makes it.
HGLOBAL DropRecord(const std::vector<std::wstring>& names) {
    size_t units = 1;
    for (const std::wstring& name : names) units += name.size() + 1;
    const size_t bytes = sizeof(DROPFILES) + units * sizeof(wchar_t);
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, bytes);
    auto* record = static_cast<DROPFILES*>(GlobalLock(memory));
    record->pFiles = sizeof(DROPFILES);
    record->fWide = TRUE;
    auto* place = reinterpret_cast<wchar_t*>(reinterpret_cast<char*>(record) + sizeof(DROPFILES));
    for (const std::wstring& name : names) {
        std::memcpy(place, name.c_str(), (name.size() + 1) * sizeof(wchar_t));
        place += name.size() + 1;
    }
    GlobalUnlock(memory);
    return memory;
}

TEST(EditBoxTest, DroppedFilesReplaceTheTextWithUndoAndTheRecordIsFreed) {
    const std::vector<std::wstring> names{L"C:\\data\\one file.txt", L"C:\\\u3042\u3044\\two.txt"};
    for (const bool readOnly : {false, true}) {
        EditFixture f(readOnly ? WinEditBoxBasic::OptionReadOnly : 0, L"before");
        HGLOBAL drop = DropRecord(names);
        ASSERT_NE(GlobalSize(drop), 0u);
        PostMessageW(f.box.window, WM_DROPFILES, reinterpret_cast<WPARAM>(drop), 0);
        TestSupport::PumpUntilIdle();
        EXPECT_EQ(GlobalSize(drop), 0u);
        if (readOnly) {
            EXPECT_EQ(Text(f.box), L"before");
            continue;
        }
        EXPECT_EQ(Text(f.box), names[0] + L" " + names[1]);
        EXPECT_EQ(f.Notified(WinNotify::FilesDropped), 1);
        f.Key('Z', false, true);
        EXPECT_EQ(Text(f.box), L"before");
    }
}

TEST(EditBoxTest, DisplayShowsStarsMarksAndCaretOnlyWithFocus) {
    // One '*' per unit, tabs and line breaks included.
    EditFixture secret(WinEditBoxBasic::OptionPassword, L"a\tb\r\n\xD83D\xDE00");
    EditFixture stars(0, L"*******");
    EXPECT_TRUE(secret.Capture().SameAs(stars.Capture()));
    // A pasted CR LF in a single-line box: two marks on the one line.
    EditFixture broken(0, L"x");
    ASSERT_TRUE(RawLayer::ClipboardSetText(RawString::FromWideText(L"a\r\nb")));
    broken.box.SetSelection(1, 1);
    broken.Key('V', false, true);
    EditFixture marked(0, L"xa\u25A0\u25A0b");
    EXPECT_EQ(broken.box.drawPart.lines.size(), 1u);
    EXPECT_TRUE(broken.Capture().SameAs(marked.Capture()));

    // Without focus: no caret, selection or frame.
    EditFixture plain(0, L"text");
    EditFixture selected(0, L"text");
    const int32_t objects = GdiLiveObjects();
    selected.box.SetSelection(0, 4);
    EXPECT_TRUE(plain.Capture().SameAs(selected.Capture()));
    SendMessageW(selected.box.window, WM_SETFOCUS, 0, 0);
    const DibCanvas shown = selected.Capture();
    EXPECT_GT(shown.CountColor(WinEditBox::kSelection), 0);
    EXPECT_EQ(shown.Pixel(0, kBoxHeight / 2), WinEditBox::kFrameFocus);

    // Timer 600 inverts the caret and inverts it back.
    selected.box.SetSelection(2, 2);
    const DibCanvas before = selected.Capture();
    SendMessageW(selected.box.window, WM_TIMER, WinEditBoxBasic::kTimerId, 0);
    const DibCanvas blinked = DibCanvas::CaptureClient(selected.box.window);
    EXPECT_FALSE(before.SameAs(blinked));
    SendMessageW(selected.box.window, WM_TIMER, WinEditBoxBasic::kTimerId, 0);
    EXPECT_TRUE(before.SameAs(DibCanvas::CaptureClient(selected.box.window)));
    // Painting and blinking leave no GDI object behind.
    EXPECT_EQ(GdiLiveObjects(), objects);
}

}  // namespace
