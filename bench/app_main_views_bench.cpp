// The views around the folder box, in the main window under Xvfb: one paint
// of the position bar for jobs of 1,000,000 and 4,000,000 rows, one paint of
// both detail boxes for a 100,000-character line with 10,000 changed
// segments, and 100,000 queued status lines moved (one 4404) and painted;
// best of the rounds, in seconds.
//
//   app_main_views_bench [ROUNDS]

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>

#include "bench/app_bench.h"
#include "tavrel/app/command_codes.h"
#include "tavrel/app/start_up.h"
#include "tavrel/jobs/job_report.h"
#include "toolkit/dialog.h"

using namespace JobLayer;
using RawLayer::RawString;

namespace {

// A job's rows: one in 50 changed, one in 70 on one side only.
void FillRows(JobReportList& rows, int32_t count, RawLayer::SmallBlockBatch& batch) {
    for (int32_t i = 0; i < count; ++i) {
        const uint32_t kind = i % 50 == 0 ? RowChanged : i % 70 == 0 ? RowOnly1 : i % 71 == 0 ? RowOnly2 : RowSame;
        rows.Add(NewCompareRow(kind, nullptr, nullptr, &batch));
    }
}

}  // namespace

int main(int argc, char** argv) {
    int rounds = argc > 1 ? std::atoi(argv[1]) : 5;
    rounds = std::min(std::max(rounds, 1), 20);
    const std::wstring folder = AppBench::ProgramFolder(L"tavrel_main_views_bench");
    {
        AppLayer::GuiApplication application(GetModuleHandleW(nullptr));
        if (!AppBench::StartMainWindow(application, folder)) return 1;
        AppLayer::GuiViewSet& views = application.dialog->views;
        ShowWindow(application.dialog->window, SW_SHOW);
        AppBench::Pump();

        // Position bar.
        AppLayer::GuiPositionBar& bar = views.positionBar;
        double posBar[2] = {};
        const int32_t counts[2] = {1000000, 4000000};
        for (int k = 0; k < 2; ++k) {
            RawLayer::SmallBlockBatch batch(sizeof(JobReportUnit));
            JobReportList rows;
            FillRows(rows, counts[k], batch);
            bar.rows = &rows;
            posBar[k] = AppBench::Best(rounds, [] {}, [&] { AppBench::Paint(bar.window); });
            bar.rows = nullptr;
        }
        AppBench::Paint(bar.window);

        // Detail boxes: a 100,000-character line, every other run of 5
        // characters changed.
        std::wstring line;
        for (int i = 0; i < 100000; ++i) line.push_back(static_cast<wchar_t>(L'a' + i % 26));
        const RawString text = RawString::FromWideText(line.c_str());
        JobDetailList segments;
        for (int i = 0; i < 20000; ++i) segments.Add(i % 2 ? SegmentChanged : SegmentSame, 5, 5);
        AppLayer::GuiDetailBox* boxes[2] = {&views.detail1, &views.detail2};
        for (uint32_t side = 0; side < 2; ++side) {
            AppLayer::GuiDetailBox& box = *boxes[side];
            box.record.Init(&box, side);
            AppLayer::ApplyDraw(box, box.record, JobLineDBoxDraw::Shared(), text, segments);
        }
        const double detail = AppBench::Best(rounds, [] {}, [&] {
            AppBench::Paint(views.detail1.window);
            AppBench::Paint(views.detail2.window);
        });

        // The same in Arabic: words of five letters, which the platform
        // shapes and sets right to left.
        std::wstring arabic;
        for (int i = 0; i < 100000; ++i) arabic.push_back(i % 6 == 5 ? L' ' : static_cast<wchar_t>(0x0628 + i % 20));
        const RawString arabicText = RawString::FromWideText(arabic.c_str());
        double arabicLayout = 0;
        for (uint32_t side = 0; side < 2; ++side) {
            AppLayer::GuiDetailBox& box = *boxes[side];
            arabicLayout += AppBench::Best(1, [] {}, [&] {
                AppLayer::ApplyDraw(box, box.record, JobLineDBoxDraw::Shared(), arabicText, segments);
            });
        }
        const double detailArabic = AppBench::Best(rounds, [] {}, [&] {
            AppBench::Paint(views.detail1.window);
            AppBench::Paint(views.detail2.window);
        });

        // Status box: 100,000 queued lines, one 4404, the next paint.
        AppLayer::GuiStatusBox& status = views.statusBox;
        const RawString report = RawString::FromText("TooLargeFile (C:\\some\\folder\\file.txt)");
        const double statusTime = AppBench::Best(
            std::min(rounds, 3),
            [&] {
                for (int i = 0; i < 100000; ++i) status.Report(report);
                // The one waiting 4404 is dispatched below, on the clock.
                MSG waiting;
                while (PeekMessageW(&waiting, status.window, WM_COMMAND, WM_COMMAND, PM_REMOVE)) {
                }
            },
            [&] {
                SendMessageW(status.window, WM_COMMAND, MAKEWPARAM(status.controlId, AppLayer::CmdShowStatus), 0);
                UpdateWindow(status.window);
            });

        std::printf("posbar1m %.4f\n", posBar[0]);
        std::printf("posbar4m %.4f\n", posBar[1]);
        std::printf("detail %.4f\n", detail);
        std::printf("detailar %.4f\n", detailArabic);
        std::printf("layoutar %.4f\n", arabicLayout);
        std::printf("status %.4f\n", statusTime);
        DestroyWindow(application.dialog->window);
        AppBench::Pump();
    }
    DeleteFileW((folder + L"\\Tavrel.ini").c_str());
    RemoveDirectoryW(folder.c_str());
    return 0;
}
