// The path chooser run modally on real folders: Escape and Enter, the
// questions and messages of accepting answered by their own buttons, folder
// creation, the Hidden button, the rectangle kept across runs, typing in the
// bar against the box's cursor, listings with the GDI handles nearly used
// up, and the automation request that is not kept.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "base/raw_string.h"
#include "support/test_support.h"
#include "support/window_support.h"
#include "toolkit/path_dialog.h"
#include "toolkit/win_message.h"
#include "toolkit/work_counts.h"

using namespace WinLayer;
using RawLayer::RawString;
using TestSupport::S;
using TestSupport::RunLater;
using TestSupport::TempFolder;
using TestSupport::TestDialog;

namespace {

RawString Path(const std::wstring& text) { return RawString::FromWideText(text.c_str()).As(RawLayer::KindUtf8); }

struct Chooser {
    Chooser() : owner("TkPathOwner", L"Owner", RECT{60, 60, 700, 600}) { owner.Create(); }
    // Sets the chooser up on a start path and runs it; `act` runs inside.
    int32_t Run(const std::wstring& start, const std::function<void()>& act) {
        RECT ownerRect{};
        GetWindowRect(owner.window, &ownerRect);
        dialog.Setup(ownerRect, RawString::FromText("Choose"), Path(start));
        RunLater(200, act);
        return dialog.RunModal(owner);
    }
    // Enter in the bar; the question that follows is read into `seen` and
    // answered by the key of one of its buttons; then `then` runs.
    // Runs `action` once the question box shows a text that `ready` accepts,
    // or after ten seconds without one: a busy machine may be slow to show it.
    void WhenQuestion(const std::function<bool(const std::string&)>& ready, const std::function<void()>& action,
                      int tries = 200) {
        const bool shown = IsWindow(dialog.question.window) && ready(S(dialog.question.textBox.GetText()));
        if (shown || tries <= 0) {
            action();
            return;
        }
        RunLater(50, [this, ready, action, tries] { WhenQuestion(ready, action, tries - 1); });
    }
    void AcceptAndAnswer(UINT key, std::string* seen, const std::function<void()>& then) {
        TestSupport::PostKey(dialog.bar.window, VK_RETURN);
        WhenQuestion([](const std::string& text) { return !text.empty(); }, [this, key, seen, then] {
            if (IsWindow(dialog.question.window)) {
                *seen = S(dialog.question.textBox.GetText());
                TestSupport::PostKey(dialog.question.buttonRow.window, key);
            } else {
                seen->clear();
            }
            RunLater(250, then);
        });
    }
    void Escape() { TestSupport::PostKey(dialog.bar.window, VK_ESCAPE); }
    std::string CursorName() {
        WinListBoxItemUnit* unit = dialog.box.cursor >= 0 ? dialog.box.ItemAt(dialog.box.cursor) : nullptr;
        return unit && unit->item ? S(WinPathBox::ItemOf(*unit)->name) : std::string();
    }
    bool Lists(const char* name) {
        for (const WinPathBoxItem& item : dialog.box.pathItems)
            if (item.generated && S(item.name) == name) return true;
        return false;
    }

    TestDialog owner;
    WinPathDialog dialog;
};

std::string Starts(const std::string& text, size_t n) { return text.substr(0, std::min(n, text.size())); }

}  // namespace

TEST(PathDialog, EscapeEnterAndTheRectangleOfTheLastRun) {
    TestSupport::ModalWatchdog watchdog(20000);
    TempFolder temp;
    Chooser c;
    RECT moved{};
    EXPECT_EQ(c.Run(temp.Path() + L"\\", [&] {
        MoveWindow(c.dialog.window, 123, 111, 420, 380, TRUE);
        GetWindowRect(c.dialog.window, &moved);
        c.Escape();
    }), 0);
    // A new file in an existing folder passes every check.
    RECT second{};
    EXPECT_EQ(c.Run(temp.Join(L"new.txt"), [&] {
        GetWindowRect(c.dialog.window, &second);
        TestSupport::PostKey(c.dialog.bar.window, VK_RETURN);
    }), 1);
    EXPECT_EQ(S(c.dialog.path), S(Path(temp.Join(L"new.txt"))));
    EXPECT_TRUE(EqualRect(&moved, &second));
    EXPECT_FALSE(watchdog.Fired());
}

TEST(PathDialog, ExistingFolderAndDefaultExtension) {
    TestSupport::ModalWatchdog watchdog(30000);
    TempFolder temp;
    CreateDirectoryW(temp.Join(L"sub").c_str(), nullptr);
    Chooser c;
    std::string seen;
    bool open = false;
    EXPECT_EQ(c.Run(temp.Join(L"sub"), [&] {
        c.AcceptAndAnswer('O', &seen, [&] {
            open = IsWindow(c.dialog.window) != FALSE;
            c.Escape();
        });
    }), 0);
    EXPECT_EQ(seen, "Must specify the file !\r\n" + S(Path(temp.Join(L"sub"))));
    EXPECT_TRUE(open);

    // "txt" without its dot: Yes takes "name.txt", No keeps "name", Cancel
    // stays open.
    c.dialog.defaultExtension = RawString::FromText("txt");
    EXPECT_EQ(c.Run(temp.Join(L"name"), [&] { c.AcceptAndAnswer('Y', &seen, [] {}); }), 1);
    EXPECT_EQ(seen, "You want expand extension ?\r\n" + S(Path(temp.Join(L"name.txt"))));
    EXPECT_EQ(S(c.dialog.path), S(Path(temp.Join(L"name.txt"))));
    EXPECT_EQ(c.Run(temp.Join(L"name"), [&] { c.AcceptAndAnswer('N', &seen, [] {}); }), 1);
    EXPECT_EQ(S(c.dialog.path), S(Path(temp.Join(L"name"))));
    EXPECT_EQ(c.Run(temp.Join(L"name"), [&] {
        c.AcceptAndAnswer('C', &seen, [&] {
            open = IsWindow(c.dialog.window) != FALSE;
            c.Escape();
        });
    }), 0);
    EXPECT_TRUE(open);
    EXPECT_FALSE(watchdog.Fired());
}

TEST(PathDialog, FoldersCreatedAskedOrNotAndAFileInTheWay) {
    TestSupport::ModalWatchdog watchdog(30000);
    TempFolder temp;
    Chooser c;
    std::string seen;
    // Option 0x20 asks, then creates both missing levels.
    c.dialog.options = WinPathDialogInfo::OptionOfferCreate;
    EXPECT_EQ(c.Run(temp.Join(L"one\\two\\file.txt"), [&] { c.AcceptAndAnswer('O', &seen, [] {}); }), 1);
    EXPECT_EQ(seen, "Create specified folder ?\r\n" + S(Path(temp.Join(L"one\\two"))));
    EXPECT_TRUE(RawLayer::FolderExists(Path(temp.Join(L"one\\two"))));

    // Option 0x40 alone creates the folder part without a question.
    c.dialog.options = WinPathDialogInfo::OptionCreate;
    EXPECT_EQ(c.Run(temp.Join(L"three\\four\\file.txt"), [&] { TestSupport::PostKey(c.dialog.bar.window, VK_RETURN); }),
              1);
    EXPECT_TRUE(RawLayer::FolderExists(Path(temp.Join(L"three\\four"))));
    EXPECT_FALSE(RawLayer::PathExists(Path(temp.Join(L"three\\four\\file.txt"))));

    // A file where a folder should go: the creation fails and says so.
    ASSERT_TRUE(TestSupport::WriteFileBytes(temp.Join(L"block"), std::string("x")));
    c.dialog.options = WinPathDialogInfo::OptionOfferCreate;
    std::string error;
    EXPECT_EQ(c.Run(temp.Join(L"block\\deep\\file.txt"), [&] {
        c.AcceptAndAnswer('O', &seen, [&] {
            c.WhenQuestion([](const std::string& text) { return text.rfind("Error", 0) == 0; }, [&] {
                error = IsWindow(c.dialog.question.window) ? S(c.dialog.question.textBox.GetText()) : "";
                TestSupport::PostKey(c.dialog.question.buttonRow.window, 'O');
                RunLater(200, [&] { c.Escape(); });
            });
        });
    }), 0);
    EXPECT_EQ(Starts(seen, 25), "Create specified folder ?");
    EXPECT_EQ(error, "Error occured on creating folders !\r\n" + S(Path(temp.Join(L"block\\deep"))));
    EXPECT_TRUE(TestSupport::FileExists(temp.Join(L"block")));
    EXPECT_FALSE(watchdog.Fired());
}

TEST(PathDialog, HiddenButtonTogglesTheListing) {
    TestSupport::ModalWatchdog watchdog(20000);
    TempFolder temp;
    TestSupport::WriteFileBytes(temp.Join(L"plain.txt"), std::string("x"));
    TestSupport::WriteFileBytes(temp.Join(L"secret.txt"), std::string("x"));
    SetFileAttributesW(temp.Join(L"secret.txt").c_str(), FILE_ATTRIBUTE_HIDDEN);
    Chooser c;
    bool before = true, after = false, back = true;
    EXPECT_EQ(c.Run(temp.Path() + L"\\", [&] {
        before = c.Lists("secret.txt");
        SendMessageW(c.dialog.hiddenButton.window, WM_COMMAND, MAKEWPARAM(c.dialog.hiddenButton.controlId, 0), 0);
        RunLater(150, [&] {
            after = c.Lists("secret.txt") && c.Lists("plain.txt");
            SendMessageW(c.dialog.hiddenButton.window, WM_COMMAND, MAKEWPARAM(c.dialog.hiddenButton.controlId, 0), 0);
            RunLater(150, [&] {
                back = c.Lists("secret.txt");
                c.Escape();
            });
        });
    }), 0);
    EXPECT_FALSE(before);
    EXPECT_TRUE(after);
    EXPECT_FALSE(back);
    EXPECT_FALSE(watchdog.Fired());
}

TEST(PathDialog, TypingKeepsTheBarAndTheCursorMovesWithoutFeedback) {
    TestSupport::ModalWatchdog watchdog(20000);
    TempFolder temp;
    CreateDirectoryW(temp.Join(L"alpha").c_str(), nullptr);
    CreateDirectoryW(temp.Join(L"sub").c_str(), nullptr);
    TestSupport::WriteFileBytes(temp.Join(L"zeta.txt"), std::string("x"));
    Chooser c;
    const std::string typed = S(Path(temp.Path() + L"\\su"));
    std::string barText, cursor, shownAfterMove, movedPath;
    int typingListings = -1, moveListings = -1;
    bool moved = false;
    EXPECT_EQ(c.Run(temp.Path() + L"\\", [&] {
        const int32_t start = WinWorkCounts::Instance().listings;
        TestSupport::PostChar(c.dialog.bar.window, L's');
        TestSupport::PostChar(c.dialog.bar.window, L'u');
        RunLater(200, [&, start] {
            typingListings = WinWorkCounts::Instance().listings - start;
            barText = S(c.dialog.bar.GetText());
            cursor = c.CursorName();
            const int32_t row = c.dialog.box.cursor;
            const int32_t before = WinWorkCounts::Instance().listings;
            // Down, or Up when "sub" is the last row.
            TestSupport::PostKey(c.dialog.bar.window, row + 1 < c.dialog.box.Count() ? VK_DOWN : VK_UP);
            RunLater(200, [&, row, before] {
                moveListings = WinWorkCounts::Instance().listings - before;
                moved = c.dialog.box.cursor != row;
                WinListBoxItemUnit* unit = c.dialog.box.ItemAt(c.dialog.box.cursor);
                movedPath = unit ? S(WinPathBox::ItemOf(*unit)->path) : "";
                shownAfterMove = S(c.dialog.bar.GetText());
                c.Escape();
            });
        });
    }), 0);
    EXPECT_EQ(barText, typed);
    EXPECT_EQ(cursor, "sub");
    EXPECT_EQ(typingListings, 2);
    EXPECT_TRUE(moved);
    EXPECT_EQ(moveListings, 0);
    EXPECT_EQ(shownAfterMove, movedPath);
    EXPECT_FALSE(watchdog.Fired());
}

TEST(PathDialog, ListingsThroughTheBarPaintIconsWithFewGdiHandles) {
    TestSupport::ModalWatchdog watchdog(60000);
    TempFolder temp;
    CreateDirectoryW(temp.Join(L"folder").c_str(), nullptr);
    Chooser c;
    int yellow = 0;
    EXPECT_EQ(c.Run(temp.Path() + L"\\", [&] {
        TestSupport::GdiHog hog(300);
        for (int i = 0; i < 300; ++i) {
            c.dialog.bar.SetPath(Path(temp.Path() + (i % 2 ? L"\\f" : L"\\fo")));
            UpdateWindow(c.dialog.box.window);
        }
        const TestSupport::DibCanvas shot = TestSupport::DibCanvas::CaptureClient(c.dialog.box.window);
        yellow = shot.CountColor(RGB(0xF0, 0xD0, 0x40));
        c.Escape();
    }), 0);
    EXPECT_GT(yellow, 0);
    EXPECT_FALSE(watchdog.Fired());
}

TEST(PathDialog, CopyDataRequestIsNotTaken) {
    TestSupport::ModalWatchdog watchdog(20000);
    TempFolder temp;
    Chooser c;
    RawLayer::RawParameterList request;
    request.Add(RawString::FromText("Text"), RawString::FromText("C:\\elsewhere"));
    request.Add(RawString::FromText("Button"), RawString::FromText("Finish"));
    std::string path;
    bool open = false;
    EXPECT_EQ(c.Run(temp.Join(L"kept.txt"), [&] {
        COPYDATASTRUCT data{0, sizeof(request), &request};
        SendMessageW(c.dialog.window, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data));
        RunLater(200, [&] {
            open = IsWindow(c.dialog.window) != FALSE;
            path = S(c.dialog.path);
            c.Escape();
        });
    }), 0);
    EXPECT_TRUE(open);
    EXPECT_EQ(path, S(Path(temp.Join(L"kept.txt"))));
    EXPECT_FALSE(watchdog.Fired());
}

TEST(PathDialog, CtrlSpaceTakesAndCtrlOOpensTheCursorItem) {
    TestSupport::ModalWatchdog watchdog(20000);
    TempFolder temp;
    CreateDirectoryW(temp.Join(L"inner").c_str(), nullptr);
    TestSupport::WriteFileBytes(temp.Join(L"inner\\leaf.txt"), std::string("x"));
    Chooser c;
    std::string taken, cursor;
    bool opened = false;
    EXPECT_EQ(c.Run(temp.Join(L"inn"), [&] {
        cursor = c.CursorName();
        TestSupport::SetModifiers(false, true, false);
        // The space character the key would type is swallowed.
        TestSupport::PostKey(c.dialog.bar.window, VK_SPACE);
        RunLater(150, [&] {
            taken = S(c.dialog.bar.GetText());
            TestSupport::PostKey(c.dialog.bar.window, 'O');
            RunLater(150, [&] {
                TestSupport::SetModifiers(false, false, false);
                opened = c.Lists("leaf.txt");
                c.Escape();
            });
        });
    }), 0);
    TestSupport::SetModifiers(false, false, false);
    EXPECT_EQ(cursor, "inner");
    EXPECT_EQ(taken, S(Path(temp.Join(L"inner"))));
    EXPECT_TRUE(opened);
    EXPECT_FALSE(watchdog.Fired());
}

TEST(PathDialog, EscapeWhileAQuestionIsOpenEndsBothRunsCleanly) {
    TestSupport::ModalWatchdog watchdog(20000);
    TempFolder temp;
    Chooser c;
    c.dialog.options = WinPathDialogInfo::OptionOfferCreate;
    bool asked = false;
    EXPECT_EQ(c.Run(temp.Join(L"five\\six\\file.txt"), [&] {
        TestSupport::PostKey(c.dialog.bar.window, VK_RETURN);
        RunLater(250, [&] {
            asked = IsWindow(c.dialog.question.window) != FALSE;
            c.Escape();
        });
    }), 0);
    EXPECT_TRUE(asked);
    EXPECT_FALSE(RawLayer::PathExists(Path(temp.Join(L"five"))));
    // No quit is left behind for the next run.
    EXPECT_EQ(TestSupport::DrainQuit(), 0);
    c.dialog.options = 0;
    EXPECT_EQ(c.Run(temp.Join(L"next.txt"), [&] { TestSupport::PostKey(c.dialog.bar.window, VK_RETURN); }), 1);
    EXPECT_FALSE(watchdog.Fired());
}
