// Page view speed: a help document laid out whole at a 1200-pixel width
// (the layout pass over every line, as the view box lays out), then frame
// times of a 1200 x 900 screen painted by the paint pass: the first screen,
// the end of the document, one wheel step at 100 places through the
// document, a search from the top to the last line and a relayout after a
// one-pixel width change; with a second document, the scrolling of a screen
// that shows two pictures. Memory is the growth of committed bytes per byte
// of the document.
//
//   quenby_view_bench FILE [PICTURE_FILE | -brief]
//
// Prints "seconds S" (the layout of the first pass) and one line per figure.
// With "-brief" the wheel step is timed at 5 places, and the search and the
// relayout are left out (for single long lines and wide tables).

#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "bench/bench_clock.h"
#include "quenby/app/layout_pass.h"
#include "quenby/app/paint_pass.h"
#include "quenby/app/pictures.h"
#include "quenby/app/view_box.h"
#include "quenby/document/document_model.h"

using namespace AppLayer;

namespace {

constexpr int32_t kWidth = 1200;
constexpr int32_t kHeight = 900;

double Now() {
    LARGE_INTEGER at, frequency;
    QueryPerformanceCounter(&at);
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(at.QuadPart) / static_cast<double>(frequency.QuadPart);
}

double CommittedBytes() {
    PROCESS_MEMORY_COUNTERS_EX counters = {};
    counters.cb = sizeof(counters);
    GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                         sizeof(counters));
    return static_cast<double>(counters.PagefileUsage);
}

double FileBytes(const char* path) {
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    if (!GetFileAttributesExA(path, GetFileExInfoStandard, &data)) return 0;
    return static_cast<double>(data.nFileSizeHigh) * 4294967296.0 + data.nFileSizeLow;
}

// One document laid out as the view box lays it out, and painted a screen
// at a time into a 1200 x 900 DIB section.
class Screen {
public:
    Screen(HWND owner, const char* path) : layout(draw) {
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = kWidth;
        info.bmiHeader.biHeight = -kHeight;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        void* bits = nullptr;
        const double bare = CommittedBytes();
        dc = CreateCompatibleDC(nullptr);
        bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        previous = SelectObject(dc, bitmap);
        // A window's surface is there before its first paint: the first
        // touch of the bitmap's fresh pages is no part of a frame time, and
        // its memory none of the document's.
        RECT whole{0, 0, kWidth, kHeight};
        FillRect(dc, &whole, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
        surfaceBytes = CommittedBytes() - bare;
        program.Read(RawLayer::RawString::FromText("Z:\\nonexistent\\quenby_bench.ini"), owner);
        program.overview.SetEnhanceForm(RawLayer::RawString::FromLiteral("@%s"));
        const double t0 = Now();
        doc.OpenFile(RawLayer::RawString::FromText(path), program);
        readSeconds = Now() - t0;
        for (DocLayer::JobLineUnit& line : doc) {
            lines.push_back(&line);
            items.emplace_back(new GuiListBoxItemUnit());
        }
        layout.pictures = &cache;
    }
    ~Screen() {
        SelectObject(dc, previous);
        DeleteObject(bitmap);
        DeleteDC(dc);
    }

    // The whole layout at a width; the total height.
    int32_t LayOut(int32_t width) {
        layout.style = &doc.style;
        HGDIOBJ old = SelectObject(dc, doc.style.textFont.handle);
        SIZE zero = TextLayout::MeasureZero(dc);
        layout.textHeight = zero.cy;
        draw.tabs.mode = 1;
        draw.tabs.count = doc.style.overview.tabStop;
        draw.tabs.unit = zero.cx;
        draw.tabs.wrapGap = doc.style.overview.wrapOverMargin.value;
        draw.breakMode = 2;
        doc.ResetCellWidths();
        int32_t y = 0;
        for (size_t i = 0; i < lines.size(); ++i) {
            RECT r{0, y, width, y};
            LayOutDocument(layout, dc, r, *items[i], *lines[i]);
            items[i]->rect = RECT{0, y, std::max<LONG>(r.right, width), r.bottom};
            y = r.bottom;
        }
        SelectObject(dc, old);
        total = y;
        return y;
    }
    // Paints the screen whose top is at y.
    void Paint(int32_t y) {
        RECT whole{0, 0, kWidth, kHeight};
        HBRUSH white = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
        FillRect(dc, &whole, white);
        HGDIOBJ old = SelectObject(dc, doc.style.textFont.handle);
        size_t first = static_cast<size_t>(
            std::lower_bound(items.begin(), items.end(), y,
                             [](const std::unique_ptr<GuiListBoxItemUnit>& u, int32_t v) { return u->rect.bottom <= v; }) -
            items.begin());
        for (size_t i = first; i < items.size() && items[i]->rect.top < y + kHeight; ++i) {
            if (items[i]->rect.bottom <= items[i]->rect.top) continue;
            RECT r = items[i]->rect;
            OffsetRect(&r, 0, -y);
            r.right = kWidth;
            PaintPage(layout, dc, r, *items[i], *lines[i]);
        }
        SelectObject(dc, old);
    }
    double TimePaint(int32_t y) {
        double t0 = Now();
        Paint(std::max(0, std::min(y, total - kHeight)));
        return Now() - t0;
    }

    DocLayer::DocumentStyle program;
    DocLayer::JobFileUnit doc;
    GuiTextDraw draw;
    GuiLayout layout;
    GuiPictureCache cache;
    std::vector<DocLayer::JobLineUnit*> lines;
    std::vector<std::unique_ptr<GuiListBoxItemUnit>> items;
    HDC dc = nullptr;
    HBITMAP bitmap = nullptr;
    HGDIOBJ previous = nullptr;
    int32_t total = 0;
    double readSeconds = 0;
    double surfaceBytes = 0;
};

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: quenby_view_bench FILE [PICTURE_FILE]\n");
        return 2;
    }
    GdiplusSession gdiplus;
    gdiplus.Start();
    HWND owner = CreateWindowA("STATIC", "bench", WS_OVERLAPPED, 0, 0, 100, 100, nullptr, nullptr, nullptr, nullptr);
    if (!owner) {
        // The style measures its fonts in the view's window: without one
        // every margin and spacing would be 0, a layout the viewer never has.
        std::fprintf(stderr, "no window (is there a display?)\n");
        return 1;
    }
    const bool brief = argc > 2 && std::string(argv[2]) == "-brief";
    {
        const double before = CommittedBytes();
        Screen screen(owner, argv[1]);
        if (screen.lines.empty()) {
            std::fprintf(stderr, "nothing loaded from %s\n", argv[1]);
            return 1;
        }
        const double read = CommittedBytes() - screen.surfaceBytes;
        double t0 = Now();
        screen.LayOut(kWidth);
        double layoutSeconds = Now() - t0;
        const double after = CommittedBytes() - screen.surfaceBytes;
        std::printf("lines %d, height %d pixels\n", static_cast<int>(screen.lines.size()), screen.total);
        std::printf("read %.4f s, open (read and layout) %.4f s\n", screen.readSeconds,
                    screen.readSeconds + layoutSeconds);
        std::printf("layout of the whole document %.4f s\n", layoutSeconds);
        std::printf("memory %.1f bytes per input byte (layout and document; %.1f the document alone)\n",
                    (after - before) / std::max(1.0, FileBytes(argv[1])),
                    (read - before) / std::max(1.0, FileBytes(argv[1])));
        const WinTextDraw::GlyphStats& glyphs = screen.draw.GlyphStatistics();
        std::printf("glyph check of the layout: %llu blocks, %llu characters asked of the link, %llu ranges "
                    "measured in the fallback\n",
                    static_cast<unsigned long long>(glyphs.blockChecks),
                    static_cast<unsigned long long>(glyphs.linkChecks),
                    static_cast<unsigned long long>(glyphs.fallbackMeasures));
        std::printf("first screen %.2f ms\n", screen.TimePaint(0) * 1000);
        std::printf("end of the document (End key) %.2f ms\n", screen.TimePaint(screen.total) * 1000);
        double sum = 0, worst = 0;
        const int32_t step = 3 * screen.layout.textHeight;
        const int places = brief ? 5 : 100;
        for (int k = 0; k < places; ++k) {
            int32_t y = static_cast<int32_t>(static_cast<int64_t>(screen.total) * k / places);
            screen.Paint(y);
            double t = screen.TimePaint(y + step);
            sum += t;
            worst = std::max(worst, t);
        }
        std::printf("one wheel step mean %.2f ms, worst %.2f ms (%d places)\n", sum / places * 1000, worst * 1000,
                    places);
        if (brief) {
            std::printf("seconds %.4f\n", layoutSeconds);
            DestroyWindow(owner);
            return 0;
        }
        // Search from the top to the last line's text.
        GuiViewBox box;
        box.SetDocument(&screen.doc);
        box.layoutPending = 0;
        size_t n = 0;
        for (WinLayer::WinListBoxItemUnit& unit : box.items) unit.rect = screen.items[n++]->rect;
        int32_t lastLine = -1;
        for (int32_t i = static_cast<int32_t>(screen.lines.size()) - 1; i >= 0 && lastLine < 0; --i)
            if (screen.lines[static_cast<size_t>(i)]->rawText.Length() > 8) lastLine = i;
        box.searchText = screen.lines[static_cast<size_t>(lastLine)]->rawText;
        t0 = Now();
        box.SearchNext();
        double searchSeconds = Now() - t0;
        std::printf("search from the top to line %d: %.2f ms (cursor %d)\n", lastLine, searchSeconds * 1000,
                    box.cursor);
        box.SetDocument(nullptr);
        t0 = Now();
        screen.LayOut(kWidth - 1);
        std::printf("relayout after a one-pixel width change %.4f s\n", Now() - t0);
        std::printf("seconds %.4f\n", layoutSeconds);
    }
    if (argc > 2 && !brief) {
        Screen pictures(owner, argv[2]);
        double t0 = Now();
        pictures.LayOut(kWidth);
        std::printf("pictures: layout of the whole document %.4f s\n", Now() - t0);
        // The first line with a picture, a little below the top of a screen.
        size_t at = 0;
        for (size_t i = 0; i < pictures.items.size(); ++i)
            if (pictures.items[i]->pictureHeight > 0) {
                at = i;
                break;
            }
        const int32_t top = std::max<int32_t>(0, pictures.items[at]->rect.top - 100);
        double first = pictures.TimePaint(top);
        double sum = 0, worst = 0;
        for (int k = 1; k <= 50; ++k) {
            double t = pictures.TimePaint(top + k * 8);
            sum += t;
            worst = std::max(worst, t);
        }
        std::printf("pictures: first paint %.2f ms, then scrolling mean %.2f ms, worst %.2f ms per frame\n",
                    first * 1000, sum / 50 * 1000, worst * 1000);
    }
    DestroyWindow(owner);
    return 0;
}
