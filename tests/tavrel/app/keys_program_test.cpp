// Tavrel.exe with the key files the build puts beside it, driven by real
// input (SendInput) on a text pair: a side made editable, typed into and
// saved by Ctrl+S; Alt+1 and Alt+2 choose the side.
#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "support/process_window.h"
#include "support/test_support.h"
#include "support/window_support.h"

using TestSupport::TempFolder;

namespace {

std::wstring BuildFolder() {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder = path;
    folder = folder.substr(0, folder.rfind(L'\\'));
    return folder.substr(0, folder.rfind(L'\\'));
}

// The process's visible top-level window titled `title`, waited for up to
// 10 s; null when it did not come.
HWND WaitTitled(DWORD process, const wchar_t* title) {
    TestSupport::WindowQuery query;
    query.process = process;
    query.title = title;
    return TestSupport::WaitProcessWindow(query, 10000);
}

// The widest visible child: the folder box.
BOOL CALLBACK FindWidest(HWND window, LPARAM record) {
    auto* best = reinterpret_cast<std::pair<HWND, LONG>*>(record);
    RECT rect{};
    GetWindowRect(window, &rect);
    const LONG area = (rect.right - rect.left) * (rect.bottom - rect.top);
    if (IsWindowVisible(window) && area > best->second) *best = {window, area};
    return TRUE;
}

void Keys(std::initializer_list<WORD> down) {
    std::vector<INPUT> inputs;
    for (WORD key : down) {
        INPUT input{};
        input.type = INPUT_KEYBOARD;
        input.ki.wVk = key;
        inputs.push_back(input);
    }
    for (auto it = down.end(); it != down.begin();) {
        INPUT input{};
        input.type = INPUT_KEYBOARD;
        input.ki.wVk = *--it;
        input.ki.dwFlags = KEYEVENTF_KEYUP;
        inputs.push_back(input);
    }
    SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
    Sleep(150);
}

// "Save File" (both sides) until the files show what the test waits for.
// Typed keys reach the program through the display, a posted command
// straight: a save may come before the last key and find nothing to write
// (it then writes nothing), so it is asked again until the keys are in.
void SaveUntil(HWND main, const std::function<bool()>& saved) {
    for (int tries = 0; tries < 20 && !saved(); ++tries) {
        PostMessageW(main, WM_COMMAND, MAKEWPARAM(0, 4380), 0);
        TestSupport::PumpUntil(saved, 500);
    }
}

// Pixels of a colour in a window's client area, left and right of its middle.
// Read from the screen: the window is another process's, in front.
std::pair<int, int> CountColour(HWND window, COLORREF colour) {
    RECT client{};
    GetClientRect(window, &client);
    POINT origin{0, 0};
    ClientToScreen(window, &origin);
    TestSupport::DibCanvas canvas(client.right, client.bottom);
    HDC screen = GetDC(nullptr);
    BitBlt(canvas.Dc(), 0, 0, client.right, client.bottom, screen, origin.x, origin.y, SRCCOPY);
    ReleaseDC(nullptr, screen);
    const int middle = canvas.Width() / 2;
    return {canvas.CountColor(RECT{0, 0, middle, canvas.Height()}, colour),
            canvas.CountColor(RECT{middle, 0, canvas.Width(), canvas.Height()}, colour)};
}

// The profile (backups in the given folder) and the text pair the tests
// start the program on.
void WriteProfileAndPair(const TempFolder& folder, const std::wstring& backups) {
    ASSERT_TRUE(TestSupport::WriteFileBytes(folder.Join(L"Tavrel.ini"),
                                            "[Common]\r\nProgram=Tavrel\r\n[Option]\r\nBackupFolder=" +
                                                TestSupport::Utf8(backups) + "\r\n"));
    ASSERT_TRUE(TestSupport::WriteFileBytes(folder.Join(L"1.txt"), "abc\r\ndef\r\n"));
    ASSERT_TRUE(TestSupport::WriteFileBytes(folder.Join(L"2.txt"), "abc\r\nxef\r\n"));
}

// A started Tavrel.exe: the process, its main window, the folder box.
// The program ends with the test, also when an assertion stopped it early:
// a program left running would hold the test's output open.
struct Started {
    PROCESS_INFORMATION info{};
    HWND main = nullptr;
    HWND box = nullptr;
    ~Started() {
        if (!info.hProcess) return;
        if (main && IsWindow(main)) PostMessageW(main, WM_CLOSE, 0, 0);
        if (WaitForSingleObject(info.hProcess, 5000) != WAIT_OBJECT_0) TerminateProcess(info.hProcess, 1);
        CloseHandle(info.hProcess);
        CloseHandle(info.hThread);
    }
};

// Tavrel.exe with the shipped key files, started in the folder on the
// arguments (the profile written before): the process, its main window and
// the folder box.
void StartProgram(const TempFolder& folder, const std::wstring& arguments, Started& started) {
    const std::wstring exe = folder.Join(L"Tavrel.exe");
    ASSERT_TRUE(CopyFileW((BuildFolder() + L"\\Tavrel.exe").c_str(), exe.c_str(), FALSE));
    for (const wchar_t* name : {L"VirtualKey.ini", L"KeyBinding.ini"}) {
        ASSERT_TRUE(CopyFileW((BuildFolder() + L"\\" + name).c_str(), folder.Join(name).c_str(), FALSE)) << name;
    }
    std::wstring line = L"\"" + exe + L"\" " + arguments;
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    ASSERT_TRUE(CreateProcessW(exe.c_str(), &line[0], nullptr, nullptr, FALSE, 0, nullptr, folder.Path().c_str(),
                               &startup, &started.info));
    started.main = WaitTitled(started.info.dwProcessId, L"Tavrel");
    ASSERT_NE(started.main, nullptr);
    Sleep(500);
    std::pair<HWND, LONG> box{nullptr, 0};
    EnumChildWindows(started.main, FindWidest, reinterpret_cast<LPARAM>(&box));
    ASSERT_NE(box.first, nullptr);
    started.box = box.first;
}

// A click on the command button with that text (a toggle flips).
void ClickButton(HWND main, const wchar_t* text) {
    const HWND button = TestSupport::ChildWithText(main, text);
    ASSERT_NE(button, nullptr) << TestSupport::Utf8(text);
    SendMessageW(button, BM_CLICK, 0, 0);
}

// The program on the text pair with side 2 made editable.
void StartWithSide2Editable(const TempFolder& folder, const std::wstring& backups, Started& started) {
    ASSERT_NO_FATAL_FAILURE(WriteProfileAndPair(folder, backups));
    ASSERT_NO_FATAL_FAILURE(StartProgram(folder, L"1.txt 2.txt", started));
    ASSERT_NO_FATAL_FAILURE(ClickButton(started.main, L"Editable2"));
}

}  // namespace

TEST(KeysProgramTest, ShippedKeysEditSaveAndChooseTheSide) {
    TempFolder folder;
    const std::wstring backups = folder.Join(L"Backups");
    Started started;
    ASSERT_NO_FATAL_FAILURE(StartWithSide2Editable(folder, backups, started));
    const HWND main = started.main;
    const std::pair<HWND, LONG> box{started.box, 0};

    SetForegroundWindow(main);
    // A click into the first line of side 2, at its right end.
    RECT client{};
    GetClientRect(box.first, &client);
    POINT point{client.right - 20, 0};
    TEXTMETRICW metrics{};
    {
        HDC dc = GetDC(box.first);
        GetTextMetricsW(dc, &metrics);
        ReleaseDC(box.first, dc);
    }
    // Rows are at least a line of the view font; the title row comes first.
    point.y = metrics.tmHeight + metrics.tmHeight / 2 + 4;
    ClientToScreen(box.first, &point);
    SetCursorPos(point.x, point.y);
    INPUT click[2] = {};
    click[0].type = click[1].type = INPUT_MOUSE;
    click[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    click[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
    SendInput(2, click, sizeof(INPUT));
    Sleep(300);
    // End of the line, then "xyz" and Ctrl+S.
    Keys({VK_END});
    Keys({'X'});
    Keys({'Y'});
    Keys({'Z'});
    Keys({VK_CONTROL, 'S'});
    TestSupport::PumpUntil(
        [&folder] { return TestSupport::FileText(folder.Join(L"2.txt")).find("xyz") != std::string::npos; }, 10000);
    const std::string saved = TestSupport::FileText(folder.Join(L"2.txt"));
    EXPECT_NE(saved.find("xyz"), std::string::npos) << saved;
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((backups + L"\\*").c_str(), &data);
    bool dated = false;
    if (find != INVALID_HANDLE_VALUE) {
        do dated = dated || (data.cFileName[0] >= L'0' && data.cFileName[0] <= L'9');
        while (FindNextFileW(find, &data));
        FindClose(find);
    }
    EXPECT_TRUE(dated) << "a dated backup folder";

    // Alt+1: the focus frame moves to side 1.
    const COLORREF frame = RGB(0x80, 0x80, 0xFF);
    Keys({VK_MENU, '1'});
    std::pair<int, int> one;
    TestSupport::PumpUntil([&] { one = CountColour(box.first, frame); return one.first > one.second; }, 5000);
    EXPECT_GT(one.first, one.second);
    Keys({VK_MENU, '2'});
    std::pair<int, int> two;
    TestSupport::PumpUntil([&] { two = CountColour(box.first, frame); return two.second > two.first; }, 5000);
    EXPECT_GT(two.second, two.first);
}

TEST(KeysProgramTest, KeysGoOnToTheSideAfterTheSearchDialogAndEscapeClosesTheBackupsAfterARestore) {
    TempFolder folder;
    Started started;
    ASSERT_NO_FATAL_FAILURE(StartWithSide2Editable(folder, folder.Join(L"Backups"), started));
    PROCESS_INFORMATION& info = started.info;
    auto wait = [&info](const wchar_t* title) { return WaitTitled(info.dwProcessId, title); };
    const HWND main = started.main;
    const std::pair<HWND, LONG> box{started.box, 0};
    SetForegroundWindow(main);
    // Side 2 becomes the current side by a click into it.
    RECT client{};
    GetClientRect(box.first, &client);
    TestSupport::RealClick(box.first, client.right - 20, client.bottom - 4);
    Sleep(300);

    // Ctrl+F, "ef", Enter: the hit is selected; typing replaces it and
    // Ctrl+S saves, with no click in between.
    Keys({VK_CONTROL, 'F'});
    ASSERT_NE(wait(L"Tavrel - Input text for search."), nullptr);
    Keys({'E'});
    Keys({'F'});
    Keys({VK_RETURN});
    Sleep(300);
    Keys({'Q'});
    Keys({VK_CONTROL, 'S'});
    TestSupport::PumpUntil([&folder] { return TestSupport::FileText(folder.Join(L"2.txt")) == "abc\r\nxq\r\n"; }, 10000);
    EXPECT_EQ(TestSupport::FileText(folder.Join(L"2.txt")), "abc\r\nxq\r\n");

    // The backups, the save restored; after the result box, Escape still
    // closes the backup dialog.
    PostMessageW(main, WM_COMMAND, MAKEWPARAM(0, 4387), 0);
    const HWND backups = wait(L"Backupped list");
    ASSERT_NE(backups, nullptr);
    Sleep(300);
    Keys({VK_HOME});
    const HWND restore = TestSupport::ChildWithText(backups, L"Restore !");
    ASSERT_NE(restore, nullptr);
    // A real click: it is taken after the Home key that chose the entry, as
    // the user's are (a posted click would overtake the key).
    RECT button{};
    GetClientRect(restore, &button);
    TestSupport::RealClick(restore, button.right / 2, button.bottom / 2);
    TestSupport::WindowQuery infoBox;
    infoBox.process = info.dwProcessId;
    infoBox.windowClass = L"Class_InfoDialog";
    const HWND message = TestSupport::WaitProcessWindow(infoBox, 10000);
    ASSERT_NE(message, nullptr);
    PostMessageW(message, WM_CLOSE, 0, 0);
    TestSupport::PumpUntil([message] { return !IsWindow(message); }, 10000);
    EXPECT_EQ(TestSupport::FileText(folder.Join(L"2.txt")), "abc\r\nxef\r\n");
    Keys({VK_ESCAPE});
    TestSupport::PumpUntil([backups] { return !IsWindow(backups); }, 10000);
    EXPECT_FALSE(IsWindow(backups));
}

TEST(KeysProgramTest, EditKeysEditOnlyTheSideTheCursorShows) {
    TempFolder folder;
    Started started;
    ASSERT_NO_FATAL_FAILURE(WriteProfileAndPair(folder, folder.Join(L"Backups")));
    ASSERT_NO_FATAL_FAILURE(StartProgram(folder, L"1.txt 2.txt", started));
    SetForegroundWindow(started.main);
    ASSERT_NO_FATAL_FAILURE(ClickButton(started.main, L"Editable1"));
    ASSERT_NO_FATAL_FAILURE(ClickButton(started.main, L"Editable2"));
    Sleep(300);
    // No click yet: no side is current, and the edit keys and typing
    // change neither side.
    Keys({VK_DELETE});
    Keys({VK_BACK});
    Keys({VK_RETURN});
    Keys({'Z'});
    // F8 finds the changed row on side 1, which shows the focus frame;
    // the edits land at its caret.
    Keys({VK_F8});
    const COLORREF frame = RGB(0x80, 0x80, 0xFF);
    std::pair<int, int> framed;
    TestSupport::PumpUntil([&] { framed = CountColour(started.box, frame); return framed.first > framed.second; }, 5000);
    EXPECT_GT(framed.first, framed.second);
    Keys({VK_DELETE});
    Keys({'Q'});
    Keys({VK_RETURN});
    SaveUntil(started.main, [&folder] { return TestSupport::FileText(folder.Join(L"1.txt")) == "abc\r\nq\r\nef\r\n"; });
    Sleep(500);
    EXPECT_EQ(TestSupport::FileText(folder.Join(L"1.txt")), "abc\r\nq\r\nef\r\n");
    EXPECT_EQ(TestSupport::FileText(folder.Join(L"2.txt")), "abc\r\nxef\r\n");
}

TEST(KeysProgramTest, AFileRowOpenedByDoubleClickTakesTheKeysOnTheClickedSide) {
    TempFolder folder;
    Started started;
    ASSERT_NO_FATAL_FAILURE(WriteProfileAndPair(folder, folder.Join(L"Backups")));
    // Enough changed files that the rows fill the box: a double click
    // anywhere in it opens one of them.
    const std::wstring a = folder.Join(L"a"), b = folder.Join(L"b");
    ASSERT_TRUE(CreateDirectoryW(a.c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryW(b.c_str(), nullptr));
    std::vector<std::wstring> names;
    for (int i = 0; i < 80; ++i) {
        names.push_back(L"f" + std::to_wstring(100 + i) + L".txt");
        ASSERT_TRUE(TestSupport::WriteFileBytes(a + L"\\" + names.back(), "one\r\ntwo\r\n"));
        ASSERT_TRUE(TestSupport::WriteFileBytes(b + L"\\" + names.back(), "one\r\nTWO\r\n"));
    }
    ASSERT_NO_FATAL_FAILURE(StartProgram(folder, L"a b", started));
    SetForegroundWindow(started.main);
    RECT client{};
    GetClientRect(started.box, &client);
    TestSupport::RealClick(started.box, client.right / 4, client.bottom / 2);
    TestSupport::RealClick(started.box, client.right / 4, client.bottom / 2);
    Sleep(800);
    ASSERT_NO_FATAL_FAILURE(ClickButton(started.main, L"Editable1"));
    Sleep(300);
    // The caret of side 1 at the head of the first line: End, typing and
    // Enter edit there.
    Keys({VK_END});
    Keys({'Q'});
    Keys({VK_RETURN});
    Keys({'Z'});
    auto changed = [&names](const std::wstring& side, const std::string& original) {
        std::vector<std::string> texts;
        for (const std::wstring& name : names) {
            const std::string text = TestSupport::FileText(side + L"\\" + name);
            if (text != original) texts.push_back(text);
        }
        return texts;
    };
    SaveUntil(started.main, [&] { return changed(a, "one\r\ntwo\r\n") == std::vector<std::string>{"oneq\r\nz\r\ntwo\r\n"}; });
    Sleep(500);
    EXPECT_EQ(changed(a, "one\r\ntwo\r\n"), std::vector<std::string>{"oneq\r\nz\r\ntwo\r\n"});
    EXPECT_TRUE(changed(b, "one\r\nTWO\r\n").empty());
}
