// Painting text rows: one screen of 60 rows, both sides, of a loaded and
// compared pair of files, the way the folder box paints them (the units'
// layout, measuring and Draw), into a 32-bit DIB section.
//
//   text_rows_bench FILE1 FILE2
//   text_rows_bench --binary FILE1 FILE2
//
//   text_rows_bench --folder FOLDER1 FOLDER2
//
// Frames: the first (every line in view laid out for the first time), a
// jump to the middle of the rows, then 1,000 scrolls by one row. Beside it
// the floor: the same rows drawn directly, one DrawTextExW per cell with no
// layout, selection or segments. Prints the time of each kind of frame.
// With --binary the files are compared as binary sides (the loading limit
// raised to take them whole) and drawn in a fixed-pitch font.

#include <windows.h>

#include "bench/bench_clock.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "base/raw_string.h"
#include "tavrel/jobs/binary/binary_kind.h"
#include "tavrel/jobs/config_store.h"
#include "tavrel/jobs/folder/folder_kind.h"
#include "tavrel/jobs/job_group.h"
#include "tavrel/jobs/text/text_kind.h"
#include "tests/support/row_paint.h"

using namespace JobLayer;
using RawLayer::RawString;

namespace {

constexpr int kRows = 60;
constexpr int kWidth = 1600;
constexpr int kScrolls = 1000;

// The floor: each cell's text with one DrawTextExW, no layout.
void PaintFloor(JobGroupUnit& job, HDC dc, const TestSupport::RowGeometry& geometry) {
    HBRUSH background = CreateSolidBrush(GetSysColor(COLOR_WINDOW));
    FillRect(dc, &geometry.client, background);
    DeleteObject(background);
    SetBkMode(dc, TRANSPARENT);
    const int32_t last = geometry.firstRow + geometry.VisibleRows();
    for (int32_t row = geometry.firstRow; row < last && row < job.rows.Count(); ++row) {
        for (uint32_t side = 0; side < 2; ++side) {
            RECT rect = geometry.SideRect(side, row);
            RawString wide = job.rows.At(row)->Unit(side)->Text().As(RawLayer::KindUtf16);
            DRAWTEXTPARAMS params = {sizeof(params), 4, 0, 0, 0};
            DrawTextExW(dc, const_cast<wchar_t*>(wide.Wide()), wide.Length(), &rect,
                        DT_NOPREFIX | DT_EXPANDTABS | DT_TABSTOP | DT_SINGLELINE | DT_VCENTER, &params);
        }
    }
}

struct Frames {
    double first = 0, jump = 0, scrollMax = 0, scrollMean = 0;
};

template <class Paint>
Frames Measure(JobGroupUnit& job, HDC dc, TestSupport::RowGeometry geometry, Paint paint) {
    Frames frames;
    LARGE_INTEGER t0, t1;
    auto frame = [&](int32_t firstRow) {
        geometry.firstRow = firstRow;
        QueryPerformanceCounter(&t0);
        paint(job, dc, geometry);
        GdiFlush();
        QueryPerformanceCounter(&t1);
        return Seconds(t0, t1);
    };
    frames.first = frame(0);
    const int32_t middle = job.rows.Count() / 2;
    frames.jump = frame(middle);
    double total = 0;
    for (int i = 1; i <= kScrolls; ++i) {
        double t = frame(std::min(middle + i, std::max(0, job.rows.Count() - 1)));
        frames.scrollMax = std::max(frames.scrollMax, t);
        total += t;
    }
    frames.scrollMean = total / kScrolls;
    return frames;
}

// One screen of rows of a loaded job painted into a DIB section in a font:
// the frames of ours and of the floor, printed.
int PrintFrames(JobGroupUnit& job, HFONT font, int32_t margin) {
    HDC dc = CreateCompatibleDC(nullptr);
    SelectObject(dc, font);
    TEXTMETRICW metrics = {};
    GetTextMetricsW(dc, &metrics);
    TestSupport::RowGeometry geometry;
    geometry.rowHeight = metrics.tmHeight + 2;
    geometry.margin = margin;
    geometry.client = RECT{0, 0, kWidth, kRows * geometry.rowHeight};
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = kWidth;
    info.bmiHeader.biHeight = -geometry.client.bottom;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(dc, bitmap);
    // A selection in view, as the user has one.
    job.side1.focusSide = job.side2.focusSide = 0;
    job.side1.anchorRow = 0;
    job.side1.anchorColumn = 0;
    job.side1.cursorRow = std::min(3, job.rows.Count() - 1);
    job.side1.cursorColumn = 0;

    Frames ours = Measure(job, dc, geometry, TestSupport::PaintRows);
    Frames floor = Measure(job, dc, geometry, PaintFloor);
    std::printf("rows %d\n", job.rows.Count());
    std::printf("first %.4f %.4f\n", ours.first, floor.first);
    std::printf("jump %.4f %.4f\n", ours.jump, floor.jump);
    std::printf("scrollmax %.4f %.4f\n", ours.scrollMax, floor.scrollMax);
    std::printf("scrollmean %.4f %.4f\n", ours.scrollMean, floor.scrollMean);
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
    return 0;
}

// The frames of a folder job: two folders loaded and compared, each row an
// entry with its icon, name, size and date.
int RunFolderFrames(const char* folder1, const char* folder2) {
    JobGroupUnit job(JobKindType::FromKind(KindPath), &JobPathControl::Shared());
    job.content1.path = RawString::FromText(folder1);
    job.content2.path = RawString::FromText(folder2);
    job.controller->Load(job, ModeBoth);
    if (job.rows.Count() == 0) {
        std::fprintf(stderr, "cannot read the folders\n");
        return 1;
    }
    return PrintFrames(job, static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT)), KindMargin(KindPath));
}

// Binary sides: the first frame includes nothing of the load (the rows'
// texts are made as they are drawn).
int RunBinaryFrames(const char* file1, const char* file2) {
    ConfigStore::Instance().maxBinaryLoading = MaxBinaryLoadingLimit;
    JobGroupUnit job(JobKindType::FromKind(KindBinary), &JobBinaryControl::Shared());
    job.content1.path = RawString::FromText(file1);
    job.content2.path = RawString::FromText(file2);
    job.controller->Load(job, ModeBoth);
    if (job.rows.Count() <= 1) {
        std::fprintf(stderr, "cannot read the files\n");
        return 1;
    }
    return PrintFrames(job, static_cast<HFONT>(GetStockObject(ANSI_FIXED_FONT)), KindMargin(KindBinary));
}

}  // namespace

int main(int argc, char** argv) {
    if (argc >= 4 && std::string(argv[1]) == "--binary") return RunBinaryFrames(argv[2], argv[3]);
    if (argc >= 4 && std::string(argv[1]) == "--folder") return RunFolderFrames(argv[2], argv[3]);
    if (argc < 3) {
        std::fprintf(stderr, "usage: text_rows_bench [--binary | --folder] FILE1 FILE2\n");
        return 2;
    }
    ConfigStore::Instance().maxTextLoading = MaxTextLoadingLimit;
    JobGroupUnit job(JobKindType::FromKind(KindText), &JobLineControl::Shared());
    job.content1.path = RawString::FromText(argv[1]);
    job.content2.path = RawString::FromText(argv[2]);
    job.controller->Load(job, ModeBoth);
    if (job.rows.Count() == 0) {
        std::fprintf(stderr, "cannot read the files\n");
        return 1;
    }
    return PrintFrames(job, static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT)), KindMargin(KindText));
}
