// Drives a running Quenby.exe into three scenes and writes a picture of the
// screen for each into the folder given as the only argument:
// "quenby-toc-tip.png" (the table of contents with a heading's tip),
// "quenby-title-menu.png" (the system menu open) and "quenby-search.png"
// (the search prompt). Built with the tests for scripts/quenby-screenshot.sh;
// never run as a test. Exits 0 when all three were written.
#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

#include <cstdio>
#include <string>

#include "support/process_window.h"

namespace {

namespace Flat = Gdiplus::DllExports;

HWND WaitFor(const wchar_t* className, DWORD limitMs) {
    for (DWORD waited = 0; waited < limitMs; waited += 50) {
        const HWND found = FindWindowW(className, nullptr);
        if (found && IsWindowVisible(found)) return found;
        Sleep(50);
    }
    return nullptr;
}

// The whole screen as a PNG file.
bool SaveScreen(const std::wstring& path) {
    const int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
    HGDIOBJ previous = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, 0, 0, SRCCOPY);
    SelectObject(memory, previous);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    Gdiplus::GpBitmap* image = nullptr;
    bool saved = false;
    if (Flat::GdipCreateBitmapFromHBITMAP(bitmap, nullptr, &image) == Gdiplus::Ok) {
        // The PNG encoder.
        const CLSID png = {0x557CF406, 0x1A04, 0x11D3, {0x9A, 0x73, 0x00, 0x00, 0xF8, 0x1E, 0xF3, 0x2E}};
        saved = Flat::GdipSaveImageToFile(image, path.c_str(), &png, nullptr) == Gdiplus::Ok;
        Flat::GdipDisposeImage(image);
    }
    DeleteObject(bitmap);
    std::printf("%s %ls\n", saved ? "wrote" : "could not write", path.c_str());
    return saved;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 2) return 2;
    const std::wstring folder = argv[1];
    Gdiplus::GdiplusStartupInput input;
    ULONG_PTR token = 0;
    if (Gdiplus::GdiplusStartup(&token, &input, nullptr) != Gdiplus::Ok) return 1;

    // The main window: a visible top-level window with a child button "Reload".
    TestSupport::WindowQuery viewer;
    viewer.childText = L"Reload";
    const HWND main = TestSupport::WaitProcessWindow(viewer, 120000, 100);
    if (!main) {
        std::printf("no viewer window\n");
        return 1;
    }
    SetForegroundWindow(main);
    Sleep(800);
    int written = 0;

    // 1. A heading's tip over the table of contents: the tree is the child
    // after the fifteen buttons, the divider and the tab bar. The third
    // heading row is hovered.
    const HWND tree = GetDlgItem(main, 2517);
    RECT client{};
    GetClientRect(tree, &client);
    POINT screenPoint{40, 0};
    // Rows of about 20 pixels: the first heading past the second row.
    for (int y = 44; y < client.bottom && !FindWindowW(L"Class_TipDialog", nullptr); y += 4) {
        screenPoint = POINT{40, y};
        POINT onScreen = screenPoint;
        ClientToScreen(tree, &onScreen);
        SetCursorPos(onScreen.x, onScreen.y);
        SendMessageW(tree, WM_MOUSEMOVE, 0, MAKELPARAM(screenPoint.x, screenPoint.y));
        SendMessageW(tree, WM_MOUSEHOVER, 0, MAKELPARAM(screenPoint.x, screenPoint.y));
        Sleep(100);
    }
    if (WaitFor(L"Class_TipDialog", 3000)) {
        Sleep(400);
        written += SaveScreen(folder + L"\\quenby-toc-tip.png");
    } else {
        std::printf("no tip\n");
    }
    SendMessageW(tree, WM_MOUSELEAVE, 0, 0);
    Sleep(300);

    // 2. The system menu open.
    PostMessageW(main, WM_SYSCOMMAND, SC_KEYMENU, ' ');
    Sleep(1200);
    written += SaveScreen(folder + L"\\quenby-title-menu.png");
    keybd_event(VK_ESCAPE, 0, 0, 0);
    keybd_event(VK_ESCAPE, 0, KEYEVENTF_KEYUP, 0);
    Sleep(300);
    PostMessageW(main, WM_CANCELMODE, 0, 0);
    Sleep(300);

    // 3. The search prompt, with a word typed; answered by WM_COPYDATA.
    PostMessageW(main, WM_COMMAND, MAKEWPARAM(0, 4363), 0);
    const HWND prompt = WaitFor(L"Class_TextDialog", 5000);
    if (prompt) {
        for (const wchar_t* c = L"heading"; *c; ++c) {
            keybd_event(static_cast<BYTE>(VkKeyScanW(*c) & 0xFF), 0, 0, 0);
            keybd_event(static_cast<BYTE>(VkKeyScanW(*c) & 0xFF), 0, KEYEVENTF_KEYUP, 0);
        }
        Sleep(600);
        written += SaveScreen(folder + L"\\quenby-search.png");
        COPYDATASTRUCT cancel{1, 0, nullptr};
        SendMessageW(prompt, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&cancel));
    } else {
        std::printf("no search prompt\n");
    }
    Sleep(300);
    PostMessageW(main, WM_CLOSE, 0, 0);
    Gdiplus::GdiplusShutdown(token);
    return written == 3 ? 0 : 1;
}
