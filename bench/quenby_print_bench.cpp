// Printing speed of the help viewer: the page cutter over a laid-out help
// document (page records included), and the print loop into a printer DC
// whose output goes to a file (so the spooler is not timed), beside a bare
// loop of ExtTextOutW calls over the same lines and pages.
//
//   quenby_print_bench FILE OUTPUT_FOLDER
//
// Prints "paginate MS", "print S", "bare S" (best of three, in turns) and
// the page counts.

#include <windows.h>
#include <winspool.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "quenby/app/layout_pass.h"
#include "quenby/app/paint_pass.h"
#include "quenby/app/view_box.h"
#include "quenby/document/document_model.h"

using namespace AppLayer;

namespace {

// The pages the benchmark prints.
constexpr int32_t kPrinted = 10;

double Now() {
    LARGE_INTEGER at, frequency;
    QueryPerformanceCounter(&at);
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(at.QuadPart) / static_cast<double>(frequency.QuadPart);
}

class FirstPages : public WinPrintListBox::PageChecker {
public:
    bool IsStopped() override { return false; }
    bool IsPageWanted(int32_t k) override { return k < kPrinted; }
};

std::wstring Wide(const char* text) {
    std::wstring out;
    for (const char* c = text; *c; ++c) out += static_cast<wchar_t>(static_cast<unsigned char>(*c));
    return out;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: quenby_print_bench FILE OUTPUT_FOLDER\n");
        return 2;
    }
    // Listing the printers makes a queue added since winspool last ran
    // usable for CreateDC.
    DWORD needed = 0, count = 0;
    EnumPrintersW(PRINTER_ENUM_LOCAL, nullptr, 4, nullptr, 0, &needed, &count);
    HDC printer = CreateDCW(nullptr, L"Quenby_PDF", nullptr, nullptr);
    if (!printer) {
        std::printf("no printer \"Quenby_PDF\": run scripts/print-queue.sh\n");
        return 1;
    }
    // The style measures its fonts in the view's window, as the viewer's
    // does: without one every margin and spacing would be 0.
    HWND owner = CreateWindowA("STATIC", "bench", WS_OVERLAPPED, 0, 0, 100, 100, nullptr, nullptr, nullptr, nullptr);
    if (!owner) {
        std::printf("no window (is there a display?)\n");
        return 1;
    }
    DocLayer::DocumentStyle program;
    program.Read(RawLayer::RawString::FromText("Z:\\nonexistent\\quenby_bench.ini"), owner);
    program.overview.SetEnhanceForm(RawLayer::RawString::FromLiteral("@%s"));
    DocLayer::JobFileUnit doc;
    doc.OpenFile(RawLayer::RawString::FromText(argv[1]), program);
    DocLayer::DocumentStyle& style = doc.style;
    style.flags |= DocLayer::DocumentStyle::FlagPageMode;
    style.image.pageMode = true;
    style.UpdateMetrics();
    const DocLayer::PrintImageSettings& image = style.printImage;

    GuiViewBox box;
    box.style = &program;
    box.SetDocument(&doc);
    box.layoutPending = 0;
    box.drawFlags |= GuiLineListBox::DrawPageMode;
    box.pageHeight = image.imageSize.cy;
    box.pageMargins = image.margin;
    box.logicalWidth = image.imageSize.cx;
    box.clientRect = RECT{0, 0, image.imageSize.cx, image.imageSize.cy};
    box.layout.style = &style;

    // The layout as the view box lays out, at the page's text width.
    HDC measure = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(measure, style.BaseFont().handle);
    SIZE zero = TextLayout::MeasureZero(measure);
    box.layout.textHeight = zero.cy;
    box.textDraw.tabs.mode = 1;
    box.textDraw.tabs.count = style.overview.tabStop;
    box.textDraw.tabs.unit = zero.cx;
    box.textDraw.tabs.wrapGap = style.overview.wrapOverMargin.value;
    box.textDraw.breakMode = 2;
    const int32_t width = image.imageSize.cx - image.margin.left - image.margin.right;
    int32_t y = 0;
    for (WinLayer::WinListBoxItemUnit& unit : box.items) {
        RECT r{0, y, width, y};
        LayOutDocument(box.layout, measure, r, static_cast<GuiListBoxItemUnit&>(unit),
                       *static_cast<DocLayer::JobLineUnit*>(unit.item));
        unit.rect = RECT{0, y, image.imageSize.cx, r.bottom};
        y = r.bottom;
    }
    SelectObject(measure, old);
    DeleteDC(measure);
    std::vector<RECT> laidOut;
    for (WinLayer::WinListBoxItemUnit& unit : box.items) laidOut.push_back(unit.rect);

    // The page cutter, best of five from the laid-out rectangles.
    double paginate = 1e9;
    for (int round = 0; round < 5; ++round) {
        size_t n = 0;
        for (WinLayer::WinListBoxItemUnit& unit : box.items) unit.rect = laidOut[n++];
        SIZE content{image.imageSize.cx, y};
        const double t0 = Now();
        box.PaginatePages(content);
        paginate = std::min(paginate, Now() - t0);
    }
    std::printf("lines %d, pages %d\n", box.Count(), box.pageCount);
    std::printf("paginate %.2f ms\n", paginate * 1000);

    const std::wstring folder = Wide(argv[2]);
    const std::wstring oursFile = folder + L"\\ours.ps", bareFile = folder + L"\\bare.ps";
    DOCINFOW ours{};
    ours.cbSize = sizeof(DOCINFOW);
    ours.lpszDocName = L"quenby_print_bench";
    ours.lpszOutput = oursFile.c_str();
    FirstPages checker;
    // The bare loop: each line's text at its place on the same pages.
    DOCINFOW bare = ours;
    bare.lpszOutput = bareFile.c_str();
    auto bareLoop = [&]() {
        bool ok = StartDocW(printer, &bare) > 0;
        for (int32_t k = 0; ok && k < kPrinted && k < box.pageCount; ++k) {
            StartPage(printer);
            HGDIOBJ font = SelectObject(printer, style.BaseFont().handle);
            const int64_t top = static_cast<int64_t>(k) * box.pageHeight;
            for (WinLayer::WinListBoxItemUnit& unit : box.items) {
                if (unit.rect.top < top || unit.rect.top >= top + box.pageHeight) continue;
                const auto* line = static_cast<const DocLayer::JobLineUnit*>(unit.item);
                const RawLayer::RawString text(RawLayer::KindUtf16, VisibleLineText(line->rawText));
                ExtTextOutW(printer, image.margin.left, static_cast<int>(unit.rect.top - top), 0, nullptr,
                            text.Wide(), static_cast<UINT>(text.Length()), nullptr);
            }
            SelectObject(printer, font);
            EndPage(printer);
        }
        return ok && EndDoc(printer) > 0;
    };
    // Best of three each, taken in turns so neither gets the warm caches.
    double printSeconds = 1e9, bareSeconds = 1e9;
    WinPrintListBox::PrintOutcome outcome = WinPrintListBox::PrintDone;
    bool bareOk = true;
    for (int round = 0; round < 3; ++round) {
        double t0 = Now();
        if (WinPrintListBox::Print(box, printer, ours, checker) != WinPrintListBox::PrintDone) {
            outcome = WinPrintListBox::PrintFailed;
        }
        printSeconds = std::min(printSeconds, Now() - t0);
        t0 = Now();
        bareOk = bareLoop() && bareOk;
        bareSeconds = std::min(bareSeconds, Now() - t0);
    }
    // The viewer's own share: the same pages painted into a memory DC.
    HDC memory = CreateCompatibleDC(nullptr);
    HBITMAP page = CreateCompatibleBitmap(memory, 64, 64);
    HGDIOBJ previousBitmap = SelectObject(memory, page);
    double ownSeconds = 1e9;
    for (int round = 0; round < 3; ++round) {
        const double t0 = Now();
        for (int32_t k = 0; k < kPrinted && k < box.pageCount; ++k) box.PaintPrintedPage(memory, k);
        ownSeconds = std::min(ownSeconds, Now() - t0);
    }
    SelectObject(memory, previousBitmap);
    DeleteObject(page);
    DeleteDC(memory);
    std::printf("the viewer's own painting of the %d pages (no driver) %.4f s\n", kPrinted, ownSeconds);
    DeleteDC(printer);
    box.SetDocument(nullptr);
    if (outcome != WinPrintListBox::PrintDone || !bareOk) {
        std::printf("printing failed\n");
        return 1;
    }
    std::printf("print %.4f\n", printSeconds);
    std::printf("bare %.4f\n", bareSeconds);
    DestroyWindow(owner);
    return 0;
}
