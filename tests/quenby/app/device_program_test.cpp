// Quenby.exe as a process of its own on a document path that the system
// takes for a device (COM1), given on the command line or followed from a
// link: the device is never read (a serial port's read would wait for ever
// on the window's thread), the viewer says the document cannot be read,
// keeps answering and ends on WM_CLOSE. A viewer that hangs all the same is
// ended hard. USES_FOREGROUND: the program's windows take the foreground.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "support/process_window.h"
#include "support/test_support.h"

namespace {

constexpr int kViewBoxId = 2518;

using TestSupport::BuildRoot;

bool Answers(HWND window, DWORD limitMs) {
    DWORD_PTR result = 0;
    return window && SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, limitMs, &result) != 0;
}

// Appends a child window's text and a '|' to the string at `out`.
BOOL CALLBACK AppendChildText(HWND child, LPARAM out) {
    wchar_t text[512] = {};
    GetWindowTextW(child, text, 511);
    *reinterpret_cast<std::wstring*>(out) += std::wstring(text) + L"|";
    return TRUE;
}

// A started Quenby.exe, ended hard when it did not end by itself.
struct Viewer {
    TestSupport::TempFolder folder;
    PROCESS_INFORMATION info{};
    HWND main = nullptr;

    Viewer() {
        EXPECT_TRUE(CopyFileW((BuildRoot() + L"Quenby.exe").c_str(), folder.Join(L"Quenby.exe").c_str(), FALSE));
        TestSupport::WriteFileBytes(folder.Join(L"Quenby.ini"), "[Common]\r\nProgram=Quenby\r\n");
    }
    ~Viewer() {
        TestSupport::EndProcessHard(info);
    }
    // Started in its folder on the arguments; the main window within 20 s.
    bool Start(const std::wstring& arguments) {
        const std::wstring exe = folder.Join(L"Quenby.exe");
        std::wstring line = L"\"" + exe + L"\" " + arguments;
        STARTUPINFOW startup{};
        startup.cb = sizeof(startup);
        if (!CreateProcessW(exe.c_str(), &line[0], nullptr, nullptr, FALSE, 0, nullptr, folder.Path().c_str(), &startup,
                            &info))
            return false;
        TestSupport::WindowQuery query;
        query.process = info.dwProcessId;
        query.childText = L"Reload";
        main = TestSupport::WaitProcessWindow(query, 20000, 100);
        return main != nullptr;
    }
    // Within 20 s: the viewer's message box, whose text is given back after
    // it was answered with its button; empty when none came.
    std::wstring AnswerMessage() {
        TestSupport::WindowQuery query;
        query.process = info.dwProcessId;
        query.windowClass = L"Class_InfoDialog";
        const HWND box = TestSupport::WaitProcessWindow(query, 20000, 100);
        if (!box) return std::wstring();
        std::wstring told;
        EnumChildWindows(box, AppendChildText, reinterpret_cast<LPARAM>(&told));
        // The box's button takes Enter as its press.
        const HWND ok = TestSupport::ChildWithText(box, L"OK");
        if (ok) {
            PostMessageW(ok, WM_KEYDOWN, VK_RETURN, 0);
        } else {
            PostMessageW(box, WM_CLOSE, 0, 0);
        }
        for (int i = 0; i < 100 && IsWindow(box); ++i) Sleep(100);
        if (IsWindow(box)) told += L"(the box stayed)";
        return told;
    }
    // WM_CLOSE; whether the process ended within 10 s.
    bool Close() const {
        PostMessageW(main, WM_CLOSE, 0, 0);
        return WaitForSingleObject(info.hProcess, 10000) == WAIT_OBJECT_0;
    }
};

}  // namespace

TEST(ViewerDeviceProgram, ADeviceNameOnTheCommandLineIsRefusedAndTheViewerAnswersAndCloses) {
    Viewer viewer;
    ASSERT_TRUE(viewer.Start(L"COM1"));
    const std::wstring told = viewer.AnswerMessage();
    EXPECT_NE(told.find(L"could not be read."), std::wstring::npos) << TestSupport::Utf8(told);
    EXPECT_NE(told.find(L"COM1"), std::wstring::npos) << TestSupport::Utf8(told);
    EXPECT_TRUE(Answers(viewer.main, 5000)) << "the viewer waits for the serial port";
    EXPECT_TRUE(viewer.Close());
}

TEST(ViewerDeviceProgram, ALinkToADeviceNameFollowedWithEnterIsRefusedAndTheViewerAnswersAndCloses) {
    Viewer viewer;
    TestSupport::WriteFileBytes(viewer.folder.Join(L"doc.md"), "[the serial port](COM1.md)\r\n");
    ASSERT_TRUE(viewer.Start(L"doc.md"));
    ASSERT_TRUE(Answers(viewer.main, 5000));
    const HWND view = GetDlgItem(viewer.main, kViewBoxId);
    ASSERT_NE(view, nullptr);
    // The cursor to the link's line, then Enter follows the link.
    PostMessageW(view, WM_KEYDOWN, VK_HOME, 0);
    PostMessageW(view, WM_KEYDOWN, VK_RETURN, 0);
    const std::wstring told = viewer.AnswerMessage();
    EXPECT_NE(told.find(L"could not be read."), std::wstring::npos) << TestSupport::Utf8(told);
    EXPECT_NE(told.find(L"COM1.md"), std::wstring::npos) << TestSupport::Utf8(told);
    EXPECT_TRUE(Answers(viewer.main, 5000)) << "the viewer waits for the serial port";
    EXPECT_TRUE(viewer.Close());
}
