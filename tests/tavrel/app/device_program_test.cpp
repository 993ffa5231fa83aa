// Tavrel.exe as a process of its own on paths whose names the system takes
// for devices (COM1 and the like): opening one must never read the device,
// whose read of a serial port would wait for ever on the window's thread.
// The program must keep answering, say that the path cannot be read, and
// end on WM_CLOSE. A program that hangs all the same is ended hard, so a
// failing run does not hold up the suite. The pixels are read from the
// screen, so no other test's window may cover the program's:
// USES_FOREGROUND (runs alone).
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "support/process_window.h"
#include "support/test_support.h"
#include "support/window_support.h"
#include "tavrel/app/command_codes.h"

using TestSupport::TempFolder;

namespace {

constexpr int kFolderBoxId = 2518;
constexpr int kStatusBoxId = 2524;
// Distinct colours for the profile (0xRRGGBB there).
constexpr COLORREF kReadFail = RGB(0x1B, 0x2B, 0x3B);
constexpr COLORREF kOnly1 = RGB(0x12, 0x22, 0x32);

std::wstring BuildFolder() {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder = path;
    folder = folder.substr(0, folder.rfind(L'\\'));
    return folder.substr(0, folder.rfind(L'\\'));
}

// Whether the window answers a message within the limit; a thread that
// waits for a device never does.
bool Answers(HWND window, DWORD limitMs) {
    DWORD_PTR result = 0;
    return window && SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, limitMs, &result) != 0;
}

// Asked again until the window answers or 20 s have passed.
bool AnswersWithin20s(HWND window) {
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < 20000) {
        if (Answers(window, 2000)) return true;
    }
    return false;
}

// The client area of another process's window as the screen shows it.
TestSupport::DibCanvas CaptureOnScreen(HWND window) {
    RECT client{};
    GetClientRect(window, &client);
    POINT origin{0, 0};
    ClientToScreen(window, &origin);
    TestSupport::DibCanvas canvas(std::max<LONG>(client.right, 1), std::max<LONG>(client.bottom, 1));
    HDC screen = GetDC(nullptr);
    BitBlt(canvas.Dc(), 0, 0, client.right, client.bottom, screen, origin.x, origin.y, SRCCOPY);
    ReleaseDC(nullptr, screen);
    return canvas;
}

// The vertical middles of the runs of a colour down one pixel column.
std::vector<int> BandMiddles(const TestSupport::DibCanvas& canvas, int x, COLORREF colour) {
    std::vector<int> middles;
    int start = -1;
    for (int y = 0; y <= canvas.Height(); ++y) {
        const bool in = y < canvas.Height() && canvas.Pixel(x, y) == colour;
        if (in && start < 0) start = y;
        if (!in && start >= 0) {
            middles.push_back((start + y) / 2);
            start = -1;
        }
    }
    return middles;
}

// A started Tavrel.exe. It is ended hard when it did not end by itself:
// a thread that waits for a serial port holds the process.
struct Started {
    PROCESS_INFORMATION info{};
    HWND main = nullptr;
    ~Started() {
        TestSupport::EndProcessHard(info);
    }
    // WM_CLOSE; whether the process ended within 10 s.
    bool Close() const {
        PostMessageW(main, WM_CLOSE, 0, 0);
        return WaitForSingleObject(info.hProcess, 10000) == WAIT_OBJECT_0;
    }
};

// The program copied into the folder with a profile of distinct colours,
// started there on the arguments; its main window is waited for up to 20 s.
void Start(const TempFolder& folder, const std::wstring& arguments, Started& started) {
    const std::wstring exe = folder.Join(L"Tavrel.exe");
    ASSERT_TRUE(CopyFileW((BuildFolder() + L"\\Tavrel.exe").c_str(), exe.c_str(), FALSE));
    // F9 selects every row: a key without modifiers, which a posted key
    // message can give (the program reads modifiers from the key state).
    ASSERT_TRUE(TestSupport::WriteFileBytes(folder.Join(L"VirtualKey.ini"), "[VirtualKey]\r\nF9=0x78\r\n"));
    ASSERT_TRUE(TestSupport::WriteFileBytes(folder.Join(L"KeyBinding.ini"), "[KeyBinding]\r\nF9=SelectAll\r\n"));
    ASSERT_TRUE(TestSupport::WriteFileBytes(
        folder.Join(L"Tavrel.ini"), "[Common]\r\nProgram=Tavrel\r\n[Option]\r\nBackupFolder=" +
                                        TestSupport::Utf8(folder.Join(L"Backups")) +
                                        "\r\n[ColorSetting]\r\nReadFailColor=0x1B2B3B\r\nLineOnly1Color=0x122232\r\n"));
    std::wstring line = L"\"" + exe + L"\" " + arguments;
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    ASSERT_TRUE(CreateProcessW(exe.c_str(), &line[0], nullptr, nullptr, FALSE, 0, nullptr, folder.Path().c_str(),
                               &startup, &started.info));
    TestSupport::WindowQuery query;
    query.process = started.info.dwProcessId;
    query.title = L"Tavrel";
    query.ownerless = true;
    started.main = TestSupport::WaitProcessWindow(query, 20000);
    ASSERT_NE(started.main, nullptr);
}

// Sends a message and waits up to 20 s for it to be handled: false when
// the handler did not come back (it waits for a device).
bool Handled(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    DWORD_PTR result = 0;
    return SendMessageTimeoutW(window, message, wParam, lParam, SMTO_NORMAL, 20000, &result) != 0;
}

// A command code to the main window as a button gives it.
bool Command(HWND main, uint16_t code) { return Handled(main, WM_COMMAND, MAKEWPARAM(0, code), 0); }

// A click at a client point of the folder box, by its messages.
bool Click(HWND box, int x, int y) {
    return Handled(box, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y)) && Handled(box, WM_LBUTTONUP, 0, MAKELPARAM(x, y));
}

}  // namespace

TEST(DeviceProgramTest, ATextPairWithADeviceNameAnswersShowsTheSideUnreadableAndCloses) {
    TempFolder folder;
    ASSERT_TRUE(TestSupport::WriteFileBytes(folder.Join(L"a.txt"), "alpha\r\nbeta\r\n"));
    Started started;
    ASSERT_NO_FATAL_FAILURE(Start(folder, L"a.txt COM1.txt", started));
    ASSERT_TRUE(AnswersWithin20s(started.main)) << "the main window waits for the serial port";
    SetForegroundWindow(started.main);
    const HWND box = GetDlgItem(started.main, kFolderBoxId);
    ASSERT_NE(box, nullptr);
    // The side of COM1.txt is drawn in the colour of a side that cannot be
    // read.
    EXPECT_TRUE(TestSupport::PumpUntil([&] { return CaptureOnScreen(box).CountColor(kReadFail) > 20; }, 10000));
    EXPECT_TRUE(started.Close()) << "WM_CLOSE did not end the program";
}

TEST(DeviceProgramTest, AFolderPairWithAFileNamedLikeADeviceOpensCopiesAndRefusesOnlyThatFile) {
    TempFolder folder;
    const std::wstring left = folder.Join(L"left"), right = folder.Join(L"right");
    ASSERT_TRUE(CreateDirectoryW(left.c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryW(right.c_str(), nullptr));
    // "com1.txt" sorts before the other two, so it is the first row.
    ASSERT_TRUE(TestSupport::WriteFileRawPath(left + L"\\com1.txt", "made elsewhere\r\n"));
    ASSERT_TRUE(TestSupport::WriteFileBytes(left + L"\\x1.txt", "one\r\n"));
    ASSERT_TRUE(TestSupport::WriteFileBytes(left + L"\\y2.txt", "two\r\n"));
    ASSERT_EQ(TestSupport::FolderNames(left), (std::set<std::wstring>{L"com1.txt", L"x1.txt", L"y2.txt"}));

    Started started;
    ASSERT_NO_FATAL_FAILURE(Start(folder, L"left right", started));
    const HWND main = started.main;
    ASSERT_TRUE(AnswersWithin20s(main));
    SetForegroundWindow(main);
    const HWND box = GetDlgItem(main, kFolderBoxId), status = GetDlgItem(main, kStatusBoxId);
    ASSERT_TRUE(box && status);
    RECT client{};
    GetClientRect(box, &client);
    const int x1 = client.right / 4;

    // The compare lists all three entries, each only on side 1.
    std::vector<int> rows;
    TestSupport::PumpUntil([&] { return (rows = BandMiddles(CaptureOnScreen(box), x1, kOnly1)).size() == 3; },
                           10000);
    ASSERT_EQ(rows.size(), 3u) << "the rows of the three entries";

    // The row of com1.txt opened in a tab of its own: the side says it
    // cannot be read, the status box says why, and the program answers.
    const TestSupport::DibCanvas quiet = CaptureOnScreen(status);
    ASSERT_TRUE(Click(box, x1, rows[0]));
    ASSERT_TRUE(Command(main, AppLayer::CmdOpenChildTab)) << "opening the row read the device";
    ASSERT_TRUE(AnswersWithin20s(main));
    EXPECT_TRUE(TestSupport::PumpUntil([&] { return CaptureOnScreen(box).CountColor(kReadFail) > 20; }, 10000));
    EXPECT_TRUE(TestSupport::PumpUntil([&] { return !CaptureOnScreen(status).SameAs(quiet); }, 10000))
        << "nothing in the status box";

    // Back in the folder tab: a click on side 1, every row selected (F9)
    // and copied to side 2.
    ASSERT_TRUE(Command(main, AppLayer::CmdOpenParentTab));
    ASSERT_TRUE(TestSupport::PumpUntil(
        [&] { return BandMiddles(CaptureOnScreen(box), x1, kOnly1).size() == 3; }, 10000));
    Sleep(600);  // no double click with the click before
    ASSERT_TRUE(Click(box, x1, rows[0]));
    ASSERT_TRUE(Handled(box, WM_KEYDOWN, VK_F9, 0) && Handled(box, WM_KEYUP, VK_F9, 0));
    // The selected rows are no longer drawn in the plain colour.
    ASSERT_TRUE(TestSupport::PumpUntil(
        [&] { return BandMiddles(CaptureOnScreen(box), x1, kOnly1).empty(); }, 10000)) << "no rows selected";
    const TestSupport::DibCanvas beforeCopy = CaptureOnScreen(status);
    ASSERT_TRUE(Command(main, AppLayer::CmdCopy1to2)) << "the copy read the device";
    // The other two are copied whole; com1.txt is refused and said so.
    const std::set<std::wstring> copied{L"x1.txt", L"y2.txt"};
    EXPECT_TRUE(TestSupport::PumpUntil([&] { return TestSupport::FolderNames(right) == copied; }, 10000));
    EXPECT_EQ(TestSupport::FolderNames(right), copied);
    EXPECT_EQ(TestSupport::FileText(right + L"\\x1.txt"), "one\r\n");
    EXPECT_EQ(TestSupport::FileText(right + L"\\y2.txt"), "two\r\n");
    EXPECT_TRUE(TestSupport::PumpUntil([&] { return !CaptureOnScreen(status).SameAs(beforeCopy); }, 10000))
        << "the refusal was not reported";
    // The file named like the device is still there, untouched.
    EXPECT_EQ(TestSupport::FolderNames(left), (std::set<std::wstring>{L"com1.txt", L"x1.txt", L"y2.txt"}));
    EXPECT_TRUE(AnswersWithin20s(main));
    EXPECT_TRUE(started.Close()) << "WM_CLOSE did not end the program";
    // The file cannot be removed by its plain name.
    DeleteFileW((L"\\\\?\\" + left + L"\\com1.txt").c_str());
}
