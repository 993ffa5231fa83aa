// The viewer's commands on two 1 MB documents (a heading every tenth
// paragraph) in the real main window: a tab switch, one Ctrl + wheel font
// step in line mode and in page view, the table of contents' layout, and
// the time from a resting mouse to a visible tip. Each stands beside the
// full layout and first paint of the same document (its lines in the view,
// its headings in the tree) in the same run; the tree's layout stands beside
// the view's.
// Prints milliseconds, "name ours reference" per line.
#include <windows.h>

#include <cstdio>
#include <memory>
#include <string>

#include "bench/bench_clock.h"
#include "quenby/app/command_codes.h"
#include "quenby/app/main_dialog.h"
#include "quenby/app/quenby_main.h"

using namespace AppLayer;

namespace {

LARGE_INTEGER Now() {
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return now;
}

double Milliseconds(LARGE_INTEGER from) { return Seconds(from, Now()) * 1000.0; }

void Pump() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) WinLayer::WinDialog::StepMessage(message);
}

void Repaint(WinLayer::WinView& view) {
    if (!view.window) return;
    InvalidateRect(view.window, nullptr, FALSE);
    UpdateWindow(view.window);
    GdiFlush();
}

bool WriteText(const std::wstring& path, const std::string& text) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    const BOOL ok = WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    CloseHandle(file);
    return ok && written == text.size();
}

// About 1 MB of paragraphs with a heading (levels 1 to 3) every tenth.
std::string Document(int seed) {
    std::string text;
    for (int i = 0; text.size() < 1000000; ++i) {
        if (i % 10 == 0) {
            text += std::string(static_cast<size_t>(1 + i / 10 % 3), '#') + " Section " + std::to_string(seed) + "." +
                    std::to_string(i / 10) + "\r\n\r\n";
        } else {
            text += "Paragraph " + std::to_string(i) + " with *some* words, a `code` run and more plain text "
                    "that goes on for a while so the line wraps in the view.\r\n\r\n";
        }
    }
    return text;
}

// The full layout and first paint of the current document: its lines in
// the view and its headings in the table of contents, as opening shows it.
double FullLayout(GuiMainDialog& dialog) {
    GuiMainItems& items = dialog.items;
    const LARGE_INTEGER start = Now();
    for (GuiLineListBox* box : {static_cast<GuiLineListBox*>(&items.view), static_cast<GuiLineListBox*>(&items.tree)}) {
        box->SetDocument(items.currentDocument);
        box->Layout(true);
        Repaint(*box);
    }
    return Milliseconds(start);
}

double Command(GuiMainDialog& dialog, uint16_t code) {
    const LARGE_INTEGER start = Now();
    DispatchMainCommand(dialog, nullptr, code);
    Repaint(dialog.items.view);
    Repaint(dialog.items.tree);
    return Milliseconds(start);
}

void SetPageView(GuiMainDialog& dialog, bool on) {
    dialog.items.page.checked = on;
    DispatchMainCommand(dialog, &dialog.items.page, CmdPageView);
    Pump();
}

// The best of three: each figure is the least of three runs.
template <typename Measure>
double BestOfThree(Measure measure) {
    double best = measure();
    for (int run = 1; run < 3; ++run) {
        const double ms = measure();
        if (ms < best) best = ms;
    }
    return best;
}

// One step larger (measured) and back.
double FontStep(GuiMainDialog& dialog) {
    return BestOfThree([&dialog] {
        const double ms = Command(dialog, CmdFontLarger);
        Command(dialog, CmdFontSmaller);
        return ms;
    });
}

}  // namespace

int main() {
    wchar_t base[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, base);
    const std::wstring folder = std::wstring(base) + L"quenby_commands_bench_" + std::to_wstring(GetCurrentProcessId());
    CreateDirectoryW(folder.c_str(), nullptr);
    const std::wstring first = folder + L"\\first.md", second = folder + L"\\second.md";
    if (!WriteText(folder + L"\\Quenby.ini", "[Common]\r\nProgram=Quenby\r\n") || !WriteText(first, Document(1)) ||
        !WriteText(second, Document(2))) {
        std::printf("no input\n");
        return 1;
    }
    auto utf8 = [](const std::wstring& text) {
        std::string bytes(static_cast<size_t>(text.size() * 3 + 1), '\0');
        const int n = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, &bytes[0], static_cast<int>(bytes.size()),
                                          nullptr, nullptr);
        bytes.resize(n > 0 ? static_cast<size_t>(n - 1) : 0);
        return bytes;
    };
    QuenbyStart start;
    start.programPath = RawLayer::RawString::FromWideText((folder + L"\\Quenby.exe").c_str());
    const std::string arguments = "-p- \"" + utf8(first) + "\" \"" + utf8(second) + "\"";
    start.arguments = RawLayer::RawString::FromText(arguments.c_str());
    auto run = std::make_unique<QuenbyRun>(GetModuleHandleW(nullptr), start);
    if (!run->Start() || !run->Dialog()) {
        std::printf("no window\n");
        return 1;
    }
    GuiMainDialog& dialog = *run->Dialog();
    GuiMainItems& items = dialog.items;
    Pump();

    const double full = BestOfThree([&dialog] { return FullLayout(dialog); });
    // A tab switch back and forth; each way shows a whole document.
    WinLayer::WinTabBarItemUnit* tabs[2] = {items.tabBar.ItemAtIndex(0), items.tabBar.ItemAtIndex(1)};
    int round = 0;
    const double switchMs = BestOfThree([&] {
        const LARGE_INTEGER t = Now();
        items.tabBar.SelectTab(tabs[++round % 2]);
        Repaint(items.view);
        Repaint(items.tree);
        return Milliseconds(t);
    });
    Pump();
    std::printf("tab switch %.2f %.2f\n", switchMs, full);

    std::printf("font step, line mode %.2f %.2f\n", FontStep(dialog), full);
    SetPageView(dialog, true);
    const double pageFull = BestOfThree([&dialog] { return FullLayout(dialog); });
    std::printf("font step, page view %.2f %.2f\n", FontStep(dialog), pageFull);
    SetPageView(dialog, false);

    const LARGE_INTEGER tree = Now();
    items.tree.Layout(true);
    const double treeMs = Milliseconds(tree);
    const LARGE_INTEGER view = Now();
    items.view.Layout(true);
    const double viewMs = Milliseconds(view);
    std::printf("tree layout %.2f %.2f\n", treeMs, viewMs);

    // From a resting mouse to a visible tip over the first heading.
    items.tree.SetTopLine(0);
    int32_t heading = 0;
    while (heading < items.tree.Count() && !items.tree.items.At(heading)->Reachable()) ++heading;
    const RECT row = items.tree.items.At(heading)->rect;
    const LARGE_INTEGER hover = Now();
    SendMessageW(items.tree.window, WM_MOUSEHOVER, 0, MAKELPARAM(row.left + 5, (row.top + row.bottom) / 2));
    const HWND tip = items.tree.tipPart.tip.RunningWindow();
    for (int i = 0; i < 2000 && tip && !IsWindowVisible(tip); ++i) Sleep(1);
    const double tipMs = Milliseconds(hover);
    std::printf("hover to tip %.2f %.2f\n", tip ? tipMs : -1.0, full);
    items.tree.CloseTip();

    DestroyWindow(dialog.window);
    Pump();
    run.reset();
    DeleteFileW(first.c_str());
    DeleteFileW(second.c_str());
    DeleteFileW((folder + L"\\Quenby.ini").c_str());
    RemoveDirectoryW(folder.c_str());
    return 0;
}
