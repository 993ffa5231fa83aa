// The compare tool started in the test process with its real start-up code:
// a temporary program folder (the program file itself need not exist: only
// its path and its profile beside it count), a command line, the main
// window built, placed and created, and its messages pumped.
#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "support/test_support.h"
#include "support/window_support.h"
#include "tavrel/app/start_up.h"
#include "tavrel/jobs/job_group.h"

namespace AppTest {

using TestSupport::TempFolder;

class AppRun {
public:
    AppRun() : program(folder.Join(L"Tavrel.exe")), backups(folder.Join(L"Backups")) {}
    ~AppRun() {
        Close();
        app.reset();
    }

    std::wstring Profile() const { return folder.Join(L"Tavrel.ini"); }
    // A profile naming the program, backups inside the folder, and more.
    void WriteProfile(const std::string& extra = std::string()) {
        const std::string text = "[Common]\r\nProgram=Tavrel\r\n[Option]\r\nBackupFolder=" +
                                 TestSupport::Utf8(backups) + "\r\n" + extra;
        TestSupport::WriteFileBytes(Profile(), text);
    }

    // Start-up with the arguments; then the main window, pumped until idle.
    // False when start-up ended the run.
    bool Start(const std::wstring& arguments) {
        app = std::make_unique<AppLayer::GuiApplication>(GetModuleHandleW(nullptr));
        AppLayer::StartUpInput input;
        input.programPath = TestSupport::W(program);
        input.arguments = TestSupport::W(arguments).As(RawLayer::KindUtf8);
        if (!app->Start(input)) return false;
        app->CreateMainWindow();
        TestSupport::PumpUntilIdle(3000);
        return Window() != nullptr;
    }
    AppLayer::GuiMainDialog& Dialog() { return *app->dialog; }
    AppLayer::GuiViewSet& Views() { return app->dialog->views; }
    HWND Window() const { return app && app->dialog && IsWindow(app->dialog->window) ? app->dialog->window : nullptr; }
    // WM_CLOSE, pumped until the window is gone; whether it went.
    bool Close() {
        const HWND window = Window();
        if (!window) return true;
        PostMessageW(window, WM_CLOSE, 0, 0);
        const bool gone = TestSupport::PumpUntil([window] { return !IsWindow(window); }, 5000);
        TestSupport::PumpUntilIdle(500);
        return gone;
    }
    // A command as a control sends it: WM_COMMAND to the control's window.
    void SendFrom(WinLayer::WinView& view, uint16_t code) {
        SendMessageW(view.window, WM_COMMAND, MAKEWPARAM(view.controlId, code), 0);
        TestSupport::PumpUntilIdle(1000);
    }
    // The number of jobs of the job list that are not closed.
    static int OpenJobs() {
        int open = 0;
        for (const JobLayer::JobGroupUnit& job : JobLayer::JobGroupList::Instance())
            if (!job.IsClosed()) ++open;
        return open;
    }

    TempFolder folder;
    std::wstring program;
    std::wstring backups;
    std::unique_ptr<AppLayer::GuiApplication> app;
};

struct ThreadWindowSearch {
    const wchar_t* windowClass;
    const wchar_t* title;
    HWND found;
};

inline BOOL CALLBACK MatchThreadWindow(HWND window, LPARAM record) {
    auto* search = reinterpret_cast<ThreadWindowSearch*>(record);
    wchar_t name[64] = {}, text[64] = {};
    GetClassNameW(window, name, 64);
    GetWindowTextW(window, text, 64);
    if (lstrcmpW(name, search->windowClass) != 0 || (search->title && lstrcmpW(text, search->title) != 0)) {
        return TRUE;
    }
    search->found = window;
    return FALSE;
}

// A top-level window of this thread with the class (and title, when given):
// other test processes show windows of the same classes.
inline HWND FindThreadWindow(const wchar_t* windowClass, const wchar_t* title = nullptr) {
    ThreadWindowSearch search{windowClass, title, nullptr};
    EnumThreadWindows(GetCurrentThreadId(), MatchThreadWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// "Z:\..." style paths of the test's own files, quoted for a command line.
inline std::wstring Quoted(const std::wstring& path) { return L"\"" + path + L"\""; }

}  // namespace AppTest
