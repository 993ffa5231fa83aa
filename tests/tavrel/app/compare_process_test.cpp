// Tavrel.exe started on two text files: the folder box's pixels read from
// another process, the "Same" button hiding the same rows, and a clean
// close. The pixels are read from the screen, so no other test's window
// may cover the program's: USES_FOREGROUND (runs alone).
#include "support/process_window.h"
#include "tab_view_fixture.h"

namespace TabViewTest {
namespace {

constexpr int kFolderBoxId = 2518;
constexpr int kSameButtonId = 2513;
constexpr int kPositionBarId = 2520;
constexpr int kDetail1Id = 2521;
constexpr int kStatusBoxId = 2524;

std::wstring BuiltProgram() {
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring path(self);
    path = path.substr(0, path.find_last_of(L'\\'));
    path = path.substr(0, path.find_last_of(L'\\'));
    return path + L"\\Tavrel.exe";
}

// The window's client area as the screen shows it: a window DC of another
// process may not reach that process's pixels, the screen does.
DibCanvas CaptureOnScreen(HWND window) {
    RECT client{};
    GetClientRect(window, &client);
    POINT origin{0, 0};
    ClientToScreen(window, &origin);
    DibCanvas canvas(std::max<LONG>(client.right, 1), std::max<LONG>(client.bottom, 1));
    HDC screen = GetDC(nullptr);
    BitBlt(canvas.Dc(), 0, 0, client.right, client.bottom, screen, origin.x, origin.y, SRCCOPY);
    ReleaseDC(nullptr, screen);
    return canvas;
}

// The started program's main window (no owner, titled "Tavrel"), waited
// for up to 10 s with this thread's messages pumped; null when it did not
// come.
HWND WaitMainWindow(DWORD process) {
    TestSupport::WindowQuery query;
    query.process = process;
    query.title = L"Tavrel";
    query.ownerless = true;
    HWND found = nullptr;
    PumpUntil([&] { return (found = TestSupport::FindProcessWindow(query)) != nullptr; }, 10000);
    return found;
}

// The y of the first pixel row (below the title row) where the left half
// shows the colour; -1 when none does.
int FirstRowOf(const DibCanvas& canvas, int x, COLORREF colour) {
    for (int y = 0; y < canvas.Height(); ++y) {
        if (canvas.Pixel(x, y) == colour) return y;
    }
    return -1;
}

// Ends the started program when a check fails half-way.
class ProcessGuard {
public:
    explicit ProcessGuard(HANDLE process) : process_(process) {}
    ~ProcessGuard() {
        if (WaitForSingleObject(process_, 0) != WAIT_OBJECT_0) TerminateProcess(process_, 1);
    }
    ProcessGuard(const ProcessGuard&) = delete;
    ProcessGuard& operator=(const ProcessGuard&) = delete;

private:
    HANDLE process_;
};

std::string Column(const DibCanvas& canvas, int x) {
    std::string text;
    for (int y = 0; y < canvas.Height() && y < 120; y += 3) text += Hex(canvas.Pixel(x, y)) + " ";
    return text;
}

class CompareProcessTest : public MainWindowFixture {};

TEST_F(CompareProcessTest, ChangedRowsShowTheirColoursAndSameRowsHideOnTheButton) {
    const std::wstring program = temp.Join(L"Tavrel.exe");
    ASSERT_TRUE(CopyFileW(BuiltProgram().c_str(), program.c_str(), FALSE)) << Utf8(BuiltProgram());
    WriteProfile();
    const std::wstring a = temp.Join(L"left.txt"), b = temp.Join(L"right.txt");
    ASSERT_TRUE(WriteFileBytes(a, "alpha\nbeta\ngamma\n"));
    ASSERT_TRUE(WriteFileBytes(b, "alpha\nbeta two\ngamma\ndelta\n"));
    std::wstring line = L"\"" + program + L"\" \"" + a + L"\" \"" + b + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    ASSERT_TRUE(CreateProcessW(program.c_str(), &line[0], nullptr, nullptr, FALSE, 0, nullptr, temp.Path().c_str(),
                               &startup, &process));
    ProcessGuard guard(process.hProcess);
    const HWND main = WaitMainWindow(process.dwProcessId);
    ASSERT_NE(main, nullptr);
    HWND box = GetDlgItem(main, kFolderBoxId);
    ASSERT_NE(box, nullptr);
    RECT client{};
    GetClientRect(box, &client);
    const int left = client.right / 4, right = client.right * 3 / 4 + 20;
    // The first paint of the compared pair may take a moment.
    PumpUntil([&] { return FirstRowOf(CaptureOnScreen(box), left, kDiff1) > 0; }, 10000);
    {
        const DibCanvas canvas = CaptureOnScreen(box);
        const int changed = FirstRowOf(canvas, left, kDiff1);
        ASSERT_GT(changed, 0) << "no changed row on side 1: " << Column(canvas, left);
        EXPECT_EQ(canvas.Pixel(right, changed), kDiff2);
        EXPECT_GT(FirstRowOf(canvas, right, kOnly2), changed);
        // The first row is the same row "alpha".
        EXPECT_EQ(canvas.Pixel(left, changed - 4), GetSysColor(COLOR_WINDOW));
    }
    const DibCanvas before = CaptureOnScreen(box);
    const int changedBefore = FirstRowOf(before, left, kDiff1);
    SendMessageW(GetDlgItem(main, kSameButtonId), BM_CLICK, 0, 0);
    PumpFor(300);
    {
        const DibCanvas canvas = CaptureOnScreen(box);
        const int changed = FirstRowOf(canvas, left, kDiff1);
        ASSERT_GT(changed, 0);
        // "alpha" is gone: the changed row moved up by one row.
        EXPECT_LT(changed, changedBefore);
        const int rowHeight = changedBefore - changed;
        EXPECT_GT(rowHeight, 8);
        EXPECT_EQ(canvas.Pixel(right, changed + rowHeight), kOnly2);
    }
    PostMessageW(main, WM_CLOSE, 0, 0);
    ASSERT_EQ(WaitForSingleObject(process.hProcess, 5000), WAIT_OBJECT_0);
    DWORD code = 99;
    GetExitCodeProcess(process.hProcess, &code);
    EXPECT_EQ(code, 0u);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
}

// Starts the built program on two files in the temporary folder; the main
// window, or null.
HWND StartOnPair(const std::wstring& program, const std::wstring& a, const std::wstring& b,
                 PROCESS_INFORMATION& process, const std::wstring& folder) {
    std::wstring line = L"\"" + program + L"\" \"" + a + L"\" \"" + b + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    if (!CreateProcessW(program.c_str(), &line[0], nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(), &startup,
                        &process)) {
        return nullptr;
    }
    return WaitMainWindow(process.dwProcessId);
}

int CountColour(const DibCanvas& canvas, COLORREF colour) { return canvas.CountColor(colour); }

TEST_F(CompareProcessTest, StatusLinePositionMarksAClickThereAndDetailsOfTheCursorRow) {
    const std::wstring program = temp.Join(L"Tavrel.exe");
    ASSERT_TRUE(CopyFileW(BuiltProgram().c_str(), program.c_str(), FALSE)) << Utf8(BuiltProgram());
    const COLORREF posMark = RGB(0x51, 0x61, 0x71), detailDiff = RGB(0x52, 0x62, 0x72);
    WriteProfile("PosBarSide1Color=" + Hex(posMark) + "\r\nDetailDiff1Color=" + Hex(detailDiff) + "\r\n",
                 "MaxTextLoading=4000\r\n");
    std::string left, right;
    for (int i = 0; i < 300; ++i) {
        left += "line " + std::to_string(i) + "\n";
        right += (i == 250 ? "LINE " : "line ") + std::to_string(i) + "\n";
    }
    // Side 2 is larger than the loading limit: it is cut, and reported.
    for (int i = 0; i < 300; ++i) right += "more " + std::to_string(i) + "\n";
    const std::wstring a = temp.Join(L"left.txt"), b = temp.Join(L"right.txt");
    ASSERT_TRUE(WriteFileBytes(a, left));
    ASSERT_TRUE(WriteFileBytes(b, right));
    PROCESS_INFORMATION process{};
    const HWND main = StartOnPair(program, a, b, process, temp.Path());
    ASSERT_NE(main, nullptr);
    ProcessGuard guard(process.hProcess);
    const HWND box = GetDlgItem(main, kFolderBoxId), bar = GetDlgItem(main, kPositionBarId),
               detail = GetDlgItem(main, kDetail1Id), status = GetDlgItem(main, kStatusBoxId);
    ASSERT_TRUE(box && bar && detail && status);
    // The status box shows the line of the cut file.
    EXPECT_TRUE(PumpUntil([&] { return CountColour(CaptureOnScreen(status), GetSysColor(COLOR_WINDOWTEXT)) > 20; },
                          5000));
    // The position bar marks the changed row; the box does not show it yet.
    RECT client{};
    GetClientRect(box, &client);
    const int left1 = client.right / 4;
    int markY = -1;
    PumpUntil(
        [&] {
            const DibCanvas canvas = CaptureOnScreen(bar);
            markY = FirstRowOf(canvas, 4, posMark);
            return markY > 0;
        },
        5000);
    ASSERT_GT(markY, 0);
    EXPECT_LT(FirstRowOf(CaptureOnScreen(box), left1, kDiff1), 0);
    // A click on the mark brings the changed row into view.
    SendMessageW(bar, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(4, markY + 1));
    SendMessageW(bar, WM_LBUTTONUP, 0, MAKELPARAM(4, markY + 1));
    int changedY = -1;
    PumpUntil(
        [&] {
            changedY = FirstRowOf(CaptureOnScreen(box), left1, kDiff1);
            return changedY > 0;
        },
        5000);
    ASSERT_GT(changedY, 0);
    // The cursor put on it: the detail boxes show its changed characters.
    SendMessageW(box, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(left1, changedY + 3));
    SendMessageW(box, WM_LBUTTONUP, 0, MAKELPARAM(left1, changedY + 3));
    EXPECT_TRUE(PumpUntil([&] { return CountColour(CaptureOnScreen(detail), detailDiff) > 10; }, 5000));
    PostMessageW(main, WM_CLOSE, 0, 0);
    ASSERT_EQ(WaitForSingleObject(process.hProcess, 5000), WAIT_OBJECT_0);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
}

}  // namespace
}  // namespace TabViewTest
