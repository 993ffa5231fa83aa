// The list box on 100,000 text rows: the first layout, one screen's paint,
// Page Down with its repaint, and a Ctrl+wheel zoom (a full relayout with
// its repaint). Beside them the bare floor: the same rows measured with
// DrawTextExW, and one screen drawn directly into a memory bitmap and
// copied to the window once. Last, one Down over 32,000 hidden rows (as the
// status filter hides them), whose floor is the same Down with none hidden.
// Prints milliseconds, "ours floor" per line.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "bench/bench_clock.h"
#include "toolkit/dialog.h"
#include "toolkit/list_box.h"

using namespace WinLayer;

namespace {

constexpr int kRows = 100000;
constexpr int kHiddenRows = 32000;
constexpr UINT kTextFormat = DT_SINGLELINE | DT_NOPREFIX;

class TextList : public WinListBoxR<std::wstring> {
public:
    void DrawItemOf(WinDrawContext& dc, const RECT& rect, int32_t, WinListBoxItemUnit& unit,
                    std::wstring* row) override {
        FillBackground(dc, rect, ItemColor(unit));
        RECT text = rect;
        DrawTextExW(dc.dc, &(*row)[0], static_cast<int>(row->size()), &text, kTextFormat, nullptr);
    }
    void MeasureItemOf(WinDrawContext& dc, RECT& size, int32_t, WinListBoxItemUnit&, std::wstring* row) override {
        RECT text{0, 0, 0, 0};
        DrawTextExW(dc.dc, &(*row)[0], static_cast<int>(row->size()), &text, kTextFormat | DT_CALCRECT, nullptr);
        size.right = size.left + text.right;
        size.bottom = size.top + text.bottom;
    }
};

class BenchDialog : public WinDialog {
public:
    BenchDialog() {
        className = RawLayer::RawString::FromText("TavrelListBench");
        text = RawLayer::RawString::FromText("list bench");
        style = WS_OVERLAPPEDWINDOW | WS_VISIBLE;
        rect = RECT{0, 0, 640, 860};
    }
    void CreateChildren() override {
        list.Construct();
        list.rect = RECT{0, 0, 600, 800};
        CreateChild(list);
    }
    TextList list;
};

double Milliseconds(LARGE_INTEGER from) {
    LARGE_INTEGER to;
    QueryPerformanceCounter(&to);
    return Seconds(from, to) * 1000.0;
}

LARGE_INTEGER Now() {
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return now;
}

void Repaint(HWND window) {
    InvalidateRect(window, nullptr, FALSE);
    UpdateWindow(window);
    GdiFlush();
}

// The floor of one screen: rows drawn into a memory bitmap, copied once.
double FloorScreen(HWND window, const std::vector<std::wstring>& rows, int rowHeight) {
    const LARGE_INTEGER start = Now();
    HDC target = GetDC(window);
    RECT client{};
    GetClientRect(window, &client);
    HDC memory = CreateCompatibleDC(target);
    HBITMAP bitmap = CreateCompatibleBitmap(target, client.right, client.bottom);
    HGDIOBJ previous = SelectObject(memory, bitmap);
    HGDIOBJ font = SelectObject(memory, GetStockObject(DEFAULT_GUI_FONT));
    FillRect(memory, &client, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    for (int i = 0; i * rowHeight < client.bottom && i < static_cast<int>(rows.size()); ++i) {
        RECT text{0, i * rowHeight, client.right, (i + 1) * rowHeight};
        DrawTextExW(memory, const_cast<wchar_t*>(rows[static_cast<size_t>(i)].c_str()),
                    static_cast<int>(rows[static_cast<size_t>(i)].size()), &text, kTextFormat, nullptr);
    }
    BitBlt(target, 0, 0, client.right, client.bottom, memory, 0, 0, SRCCOPY);
    GdiFlush();
    SelectObject(memory, font);
    SelectObject(memory, previous);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(window, target);
    return Milliseconds(start);
}

double FloorMeasure(const std::vector<std::wstring>& rows) {
    const LARGE_INTEGER start = Now();
    HDC screen = GetDC(nullptr);
    HGDIOBJ font = SelectObject(screen, GetStockObject(DEFAULT_GUI_FONT));
    for (const std::wstring& row : rows) {
        RECT text{0, 0, 0, 0};
        DrawTextExW(screen, const_cast<wchar_t*>(row.c_str()), static_cast<int>(row.size()), &text,
                    kTextFormat | DT_CALCRECT, nullptr);
    }
    SelectObject(screen, font);
    ReleaseDC(nullptr, screen);
    return Milliseconds(start);
}

void Pump() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

}  // namespace

int main() {
    std::vector<std::wstring> rows;
    rows.reserve(kRows);
    for (int i = 0; i < kRows; ++i) {
        rows.push_back(L"row " + std::to_wstring(i) + L"  src\\folder " + std::to_wstring(i % 97) +
                       L"\\file_" + std::to_wstring(i * 7 % 1000) + L".cpp  12,345 bytes  2026-12-09 02:00");
    }
    BenchDialog dialog;
    dialog.Create();
    TextList& list = dialog.list;
    if (!list.window) {
        std::printf("no window\n");
        return 1;
    }
    Pump();
    for (std::wstring& row : rows) list.AddItem(&row);

    LARGE_INTEGER start = Now();
    list.RefreshNoPaint();
    const double layout = Milliseconds(start);
    const double floorLayout = FloorMeasure(rows);

    // Steady paints: the best of five.
    Repaint(list.window);
    double paint = 1e9;
    for (int i = 0; i < 5; ++i) {
        start = Now();
        Repaint(list.window);
        paint = std::min(paint, Milliseconds(start));
    }
    const int rowHeight = list.lineStep.cy;
    const double floorScreen = FloorScreen(list.window, rows, rowHeight);

    double pageDown = 1e9;
    for (int i = 0; i < 5; ++i) {
        Repaint(list.window);
        start = Now();
        SendMessageW(list.window, WM_KEYDOWN, VK_NEXT, 0);
        UpdateWindow(list.window);
        GdiFlush();
        pageDown = std::min(pageDown, Milliseconds(start));
    }

    start = Now();
    SendMessageW(list.window, WM_MOUSEWHEEL, MAKEWPARAM(MK_CONTROL, WHEEL_DELTA), 0);
    UpdateWindow(list.window);
    GdiFlush();
    const double zoom = Milliseconds(start);

    // The floor of the step: the same Down with nothing hidden.
    list.MoveCursorTo(0);
    UpdateWindow(list.window);
    start = Now();
    SendMessageW(list.window, WM_KEYDOWN, VK_DOWN, 0);
    const double floorStep = Milliseconds(start);
    for (int i = 1; i <= kHiddenRows; ++i) list.ItemAt(i)->flags |= WinListBoxItemUnit::ItemHidden;
    list.MoveCursorTo(0);
    UpdateWindow(list.window);
    start = Now();
    SendMessageW(list.window, WM_KEYDOWN, VK_DOWN, 0);
    const double hiddenStep = Milliseconds(start);
    if (list.cursor != kHiddenRows + 1) {
        std::printf("the step landed on %d\n", static_cast<int>(list.cursor));
        return 1;
    }

    std::printf("first layout %.2f %.2f\n", layout, floorLayout);
    std::printf("one screen %.2f %.2f\n", paint, floorScreen);
    std::printf("page down %.2f %.2f\n", pageDown, floorScreen);
    std::printf("zoom %.2f %.2f\n", zoom, floorLayout + floorScreen);
    std::printf("step over hidden rows %.2f %.2f\n", hiddenStep, floorStep);
    DestroyWindow(dialog.window);
    return 0;
}
