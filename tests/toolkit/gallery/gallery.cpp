// The toolkit gallery: one toolkit dialog per page name, shown until the
// process is ended, for screenshots (scripts/toolkit-shot.sh).
//
//     toolkit_gallery.exe <page> [ready-file]
//
// Once the page is on screen and painted, the ready file is written, so a
// script knows when to take its picture. Pages: "dialog", "controls"
// (controls_page.cpp), "lists" (lists_page.cpp), "info" and "input"
// (dialogs_page.cpp), "path" (path_page.cpp).
#include "gallery/gallery.h"

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "base/raw_string.h"
#include "toolkit/dialog.h"
#include "toolkit/draw.h"
#include "toolkit/environment.h"
#include "toolkit/gdi_scope.h"
#include "toolkit/view.h"

using namespace WinLayer;
using RawLayer::RawString;

namespace {

// A page closes itself after this long, should nobody end it.
constexpr UINT kLifetimeMs = 120000;
constexpr UINT kReadyDelayMs = 700;
constexpr int kRowHeight = 26;
constexpr COLORREF kPageColour = RGB(245, 245, 240);
constexpr COLORREF kInk = RGB(20, 20, 20);
constexpr COLORREF kLabelInk = RGB(90, 90, 110);

std::wstring g_readyFile;

void CALLBACK WriteReadyFile(HWND, UINT, UINT_PTR id, DWORD) {
    KillTimer(nullptr, id);
    if (g_readyFile.empty()) return;
    HANDLE file = CreateFileW(g_readyFile.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
}

void CALLBACK EndOfLife(HWND, UINT, UINT_PTR id, DWORD) {
    KillTimer(nullptr, id);
    PostQuitMessage(0);
}

// One sample text held in each encoding kind.
struct Sample {
    const char* label;
    RawString text;
};

// The owner page: text from every encoding, round boxes, frames, glyphs.
class SamplesDialog : public WinDialog {
public:
    SamplesDialog() {
        className = RawString::FromText("TavrelGallerySamples");
        text = RawString::FromWideText(L"Toolkit gallery \u2013 dialog").As(RawLayer::KindUtf8);
        style = WS_OVERLAPPEDWINDOW;
        rect = RECT{30, 30, 690, 470};
    }

    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override {
        if (message != WM_PAINT) return WinDialog::OnMessage(message, wParam, lParam);
        PAINTSTRUCT paint;
        HDC target = BeginPaint(window, &paint);
        RECT client;
        GetClientRect(window, &client);
        WinMemoryDC memory;
        if (memory.Begin(target, client)) {
            Paint(memory, client);
            memory.CopyBack();
            memory.End();
        }
        EndPaint(window, &paint);
        return 0;
    }

private:
    void Paint(WinDrawContext& dc, const RECT& client) {
        GdiBrush page(kPageColour);
        FillRect(dc.dc, &client, page.Handle());
        dc.Select(WinEnvironment::Instance().font.handle);
        SetBkMode(dc.dc, TRANSPARENT);

        // Every character of the sample exists in Shift_JIS as well.
        const RawString wide =
            RawString::FromWideText(L"Vergleich \u300C\u6BD4\u8F03\u300D \u3042\u3044\u3046 \u00A7 (x)");
        const Sample samples[] = {
            {"UTF-8", RawString(RawLayer::KindUtf8, wide)},
            {"Shift_JIS", RawString(RawLayer::KindSjis, wide)},
            {"UTF-16", wide},
            {"7-bit UTF-8", RawString::FromText("Plain ASCII through the ANSI entry point")},
        };
        int y = 14;
        for (const Sample& sample : samples) {
            SetTextColor(dc.dc, kLabelInk);
            const RawString label = RawString::FromText(sample.label);
            RECT labelRect{16, y, 130, y + kRowHeight};
            WinView::DrawTextRange(dc, labelRect, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX, label, label.All(), 4);
            SetTextColor(dc.dc, kInk);
            RECT textRect{130, y, client.right - 16, y + kRowHeight};
            WinView::DrawTextRange(dc, textRect, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX, sample.text,
                                   sample.text.All(), 4);
            y += kRowHeight;
        }

        y += 16;
        const int radii[] = {0, 4, 10};
        int x = 16;
        for (int r : radii) {
            WinDraw::FillRoundBox(dc, RECT{x, y, x + 110, y + 44}, r, r, r, r, RGB(250, 250, 255), RGB(205, 215, 240));
            WinDraw::FrameRoundBox(dc, RECT{x, y, x + 110, y + 44}, r, r, r, r, RGB(255, 255, 255), RGB(90, 100, 130));
            x += 130;
        }
        WinDraw::FillRoundBox(dc, RECT{x, y, x + 110, y + 44}, 10, 0, 0, 10, RGB(255, 230, 200), RGB(240, 170, 110));
        WinDraw::FrameRoundBox(dc, RECT{x, y, x + 110, y + 44}, 10, 0, 0, 10, RGB(255, 250, 240), RGB(150, 90, 40));

        y += 64;
        GdiBrush dark(RGB(60, 70, 90));
        RECT glyphArea{16, y, 260, y + 50};
        FillRect(dc.dc, &glyphArea, dark.Handle());
        WinDraw::WhiteEllipse(dc, RECT{26, y + 10, 56, y + 40});
        WinDraw::Triangle(dc, RECT{76, y + 16, 106, y + 34}, RGB(255, 200, 60));
        WinDraw::Triangle(dc, RECT{126, y + 18, 146, y + 30}, RGB(255, 255, 255));
        WinDraw::WhiteEllipse(dc, RECT{166, y + 18, 180, y + 32});
        dc.Restore();
    }
};

// The modal dialog above the blocked owner.
class NoticeDialog : public WinDialog {
public:
    NoticeDialog() {
        className = RawString::FromText("TavrelGalleryNotice");
        text = RawString::FromText("Modal dialog");
        style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU;
        rect = RECT{0, 0, 360, 150};
    }

    void CreateChildren() override {
        button.className = RawString::FromText("BUTTON");
        button.text = RawString::FromText("OK");
        button.viewKind = KindSubclassed;
        button.style = WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON;
        const int margin = WinEnvironment::Instance().margin;
        button.rect = RECT{anchor.rect.right - 90 - 3 * margin, anchor.rect.bottom - 30 - 3 * margin,
                           anchor.rect.right - 3 * margin, anchor.rect.bottom - 3 * margin};
        CreateChild(button);
    }

    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override {
        if (message != WM_PAINT) return WinDialog::OnMessage(message, wParam, lParam);
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(window, &paint);
        RECT client;
        GetClientRect(window, &client);
        FillRect(dc, &client, GetSysColorBrush(COLOR_BTNFACE));
        WinDrawContext record(dc);
        record.Select(WinEnvironment::Instance().font.handle);
        SetBkMode(dc, TRANSPARENT);
        const RawString notice = RawString::FromText("The owner is blocked while this dialog runs.");
        RECT line{16, 16, client.right - 16, 60};
        WinView::DrawTextRange(record, line, DT_WORDBREAK | DT_NOPREFIX, notice, notice.All(), 4);
        record.Restore();
        EndPaint(window, &paint);
        return 0;
    }

    LRESULT OnChildCommand(WinView* child, uint16_t code) override {
        if (child == &button && code == BN_CLICKED) PostMessageW(window, WM_CLOSE, 0, 0);
        return WinDialog::OnChildCommand(child, code);
    }

private:
    WinView button;
};

int ShowDialogPage() {
    SamplesDialog owner;
    owner.Create();
    if (!owner.window) return 1;
    NoticeDialog notice;
    RECT ownerRect;
    GetWindowRect(owner.window, &ownerRect);
    // Over the owner's lower right corner, so both show.
    notice.PlaceOnWorkArea(RECT{ownerRect.right - 220, ownerRect.bottom - 110, ownerRect.right + 120,
                                ownerRect.bottom + 50});
    StartPageTimers();
    notice.RunModal(owner);
    return 0;
}

}  // namespace

void StartPageTimers(UINT readyDelayMs) {
    SetTimer(nullptr, 0, readyDelayMs ? readyDelayMs : kReadyDelayMs, WriteReadyFile);
    SetTimer(nullptr, 0, kLifetimeMs, EndOfLife);
}

int main(int argc, char** argv) {
    const std::string page = argc > 1 ? argv[1] : "";
    if (argc > 2) {
        const int length = MultiByteToWideChar(CP_UTF8, 0, argv[2], -1, nullptr, 0);
        g_readyFile.resize(length > 0 ? static_cast<size_t>(length) : 0);
        if (length > 0) MultiByteToWideChar(CP_UTF8, 0, argv[2], -1, &g_readyFile[0], length);
        if (!g_readyFile.empty()) g_readyFile.pop_back();
    }
    if (page == "dialog") return ShowDialogPage();
    if (page == "controls") return ShowControlsPage();
    if (page == "lists") return ShowListsPage();
    if (page == "info") return ShowInfoPage();
    if (page == "input") return ShowInputPage();
    if (page == "path") return ShowPathPage();
    std::fprintf(stderr, "usage: toolkit_gallery <page> [ready-file]\npages: dialog, controls, lists, info, input, path\n");
    return 2;
}
