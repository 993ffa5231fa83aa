#include "support/process_window.h"

#include <tlhelp32.h>

#include <string>

namespace TestSupport {

namespace {

std::wstring TextOf(HWND window) {
    std::wstring text(static_cast<size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
    text.resize(static_cast<size_t>(GetWindowTextW(window, &text[0], static_cast<int>(text.size()))));
    return text;
}

struct ChildSearch {
    const wchar_t* text;
    HWND found;
};

BOOL CALLBACK MatchChild(HWND child, LPARAM data) {
    auto* search = reinterpret_cast<ChildSearch*>(data);
    if (TextOf(child) != search->text) return TRUE;
    search->found = child;
    return FALSE;
}

// Whether the process was started from the program file.
bool StartedFrom(DWORD process, const wchar_t* program) {
    HANDLE handle = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, process);
    if (!handle) return false;
    wchar_t image[MAX_PATH] = {};
    DWORD size = MAX_PATH;
    const bool named = QueryFullProcessImageNameW(handle, 0, image, &size) != 0;
    CloseHandle(handle);
    return named && lstrcmpiW(image, program) == 0;
}

bool Matches(HWND window, const WindowQuery& query) {
    if (window == query.avoid || !IsWindowVisible(window)) return false;
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if ((query.process && owner != query.process) || (query.notProcess && owner == query.notProcess)) return false;
    if (query.ownerless && GetWindow(window, GW_OWNER) != nullptr) return false;
    if (query.windowClass) {
        wchar_t name[256] = {};
        GetClassNameW(window, name, 256);
        if (lstrcmpW(name, query.windowClass) != 0) return false;
    }
    if (query.title && TextOf(window) != query.title) return false;
    if (query.childText && !ChildWithText(window, query.childText)) return false;
    return !query.program || StartedFrom(owner, query.program);
}

struct WindowSearch {
    const WindowQuery* query;
    HWND found;
};

BOOL CALLBACK MatchWindow(HWND window, LPARAM data) {
    auto* search = reinterpret_cast<WindowSearch*>(data);
    if (!Matches(window, *search->query)) return TRUE;
    search->found = window;
    return FALSE;
}

}  // namespace

HWND FindProcessWindow(const WindowQuery& query) {
    WindowSearch search{&query, nullptr};
    EnumWindows(MatchWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND WaitProcessWindow(const WindowQuery& query, DWORD limitMs, DWORD stepMs) {
    const DWORD start = GetTickCount();
    for (;;) {
        if (const HWND found = FindProcessWindow(query)) return found;
        if (GetTickCount() - start >= limitMs) return nullptr;
        Sleep(stepMs);
    }
}

HWND ChildWithText(HWND window, const wchar_t* text) {
    ChildSearch search{text, nullptr};
    EnumChildWindows(window, MatchChild, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

int EndProcessesOf(const std::wstring& program) {
    const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return 0;
    int ended = 0;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof(entry);
    for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry)) {
        if (entry.th32ProcessID == GetCurrentProcessId() || !StartedFrom(entry.th32ProcessID, program.c_str())) {
            continue;
        }
        const HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, entry.th32ProcessID);
        if (!process) continue;
        if (TerminateProcess(process, 1)) {
            WaitForSingleObject(process, 5000);
            ++ended;
        }
        CloseHandle(process);
    }
    CloseHandle(snapshot);
    return ended;
}

std::wstring BuildRoot() {
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring path(self);
    path = path.substr(0, path.find_last_of(L"\\/"));
    return path.substr(0, path.find_last_of(L"\\/") + 1);
}

void EndProcessHard(PROCESS_INFORMATION& info) {
    if (!info.hProcess) return;
    if (WaitForSingleObject(info.hProcess, 0) != WAIT_OBJECT_0) {
        TerminateProcess(info.hProcess, 1);
        WaitForSingleObject(info.hProcess, 10000);
    }
    CloseHandle(info.hProcess);
    CloseHandle(info.hThread);
    info = PROCESS_INFORMATION{};
}

}  // namespace TestSupport
