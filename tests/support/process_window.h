// Finding the windows of another process: a program the test started (or
// one it started itself) shows its main window, a dialog or a message box
// some time later, and the test waits for it by what it looks like.
//
//     TestSupport::WindowQuery query;
//     query.process = info.dwProcessId;
//     query.title = L"Tavrel";
//     const HWND main = TestSupport::WaitProcessWindow(query, 10000);
#pragma once

#include <windows.h>

#include <string>

namespace TestSupport {

// What a visible top-level window is found by; a field left unset matches
// every window.
struct WindowQuery {
    DWORD process = 0;                    // the owning process
    DWORD notProcess = 0;                 // a process whose windows are skipped
    const wchar_t* windowClass = nullptr;  // the window class, exactly
    const wchar_t* title = nullptr;        // the window text, exactly
    const wchar_t* childText = nullptr;    // a child (at any depth) shows this text
    const wchar_t* program = nullptr;      // the process's program file, full path, any case
    HWND avoid = nullptr;                  // a window that is never the answer
    bool ownerless = false;                // no owner window: a main window, not its dialog
};

// The first visible top-level window, in Z order, that matches; null when
// none does.
HWND FindProcessWindow(const WindowQuery& query);
// The same, asked again every `stepMs` (sleeping in between) until a window
// matches or `limitMs` passed.
HWND WaitProcessWindow(const WindowQuery& query, DWORD limitMs, DWORD stepMs = 50);
// A child (at any depth) of the window whose text is `text`; null when
// none is.
HWND ChildWithText(HWND window, const wchar_t* text);

// Ends every process started from the program file (full path, any case),
// also those the test's own child started in turn: a program left running
// after a failed test keeps the test's output open until the runner's
// time-out. Returns how many were ended.
int EndProcessesOf(const std::wstring& program);

// The build folder (the one above the test executable's), with a final '\'.
std::wstring BuildRoot();

// Ends a started process that has not ended by itself (a thread waiting on
// a device holds it), then closes its handles.
void EndProcessHard(PROCESS_INFORMATION& info);

}  // namespace TestSupport
