// The status box: the message list at the bottom of the main window and the
// output through which the compare jobs report. Reports may come from any
// thread: they are queued under the box's lock and moved into the visible
// list on the GUI thread when the main window handles command 4404.
#pragma once

#include <windows.h>

#include <cstdint>
#include <vector>

#include "base/logger.h"
#include "base/raw_list.h"
#include "base/raw_string.h"
#include "toolkit/list_box.h"

namespace AppLayer {

using RawLayer::RawString;

// One reported line: whether it was moved into the list box, and its text.
struct JobStatusUnit {
    uint8_t shown = 0;
    RawString text;
};

class JobStatusListAllocator : public RawLayer::RawListDeleteAllocator<JobStatusUnit> {};
// Every line ever reported, in order; it only grows while the program runs.
class JobStatusList : public RawLayer::RawListR<JobStatusListAllocator, JobStatusUnit> {};

class GuiStatusBox : public WinLayer::WinListBoxR<JobStatusUnit>, public RawLayer::JobServerControl::Logger {
public:
    // The command that moves queued lines into the box.
    static constexpr uint16_t kShowQueuedCode = 4404;
    // Tab length of the drawn text, and the extra height of each line.
    static constexpr int kTabLength = 4;
    static constexpr int kLinePadding = 3;
    // How far the text stands in from the items' margin, so that no line
    // loses the first pixels of its first letter.
    static constexpr int kTextInset = 3;
    // DT_NOPREFIX | DT_TABSTOP | DT_EXPANDTABS: an ampersand stays itself.
    static constexpr UINT kTextFormat = 0x8C0;
    static constexpr COLORREF kSeparatorColour = RGB(0xE0, 0xE0, 0xE0);

    GuiStatusBox();
    ~GuiStatusBox() override;

    // Makes the view the status list: a list box kept scrolled to its end.
    void Construct();

    // Queues a line (any thread) and posts 4404 to the box's own window
    // unless one is waiting already.
    void Report(const RawString& line) override;
    // On the GUI thread (command 4404): every queued line goes into the
    // list box, which is repainted and scrolled to its last line. The number
    // of lines moved.
    int32_t ShowQueued();
    // Lines reported so far, shown or not.
    int32_t ReportedCount();

    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    void FitToText(RECT& rect) override;
    void SetPaintRect(WinLayer::WinDrawContext& dc, const RECT& rect, POINT origin) override;
    void DrawItemOf(WinLayer::WinDrawContext& dc, const RECT& rect, int32_t index, WinLayer::WinListBoxItemUnit& unit,
                    JobStatusUnit* item) override;
    void MeasureItemOf(WinLayer::WinDrawContext& dc, RECT& size, int32_t index, WinLayer::WinListBoxItemUnit& unit,
                       JobStatusUnit* item) override;
    void MeasureRow(WinLayer::WinDrawContext& dc, SIZE& size) override;

private:
    JobStatusList lines_;
    // Units reported and not yet moved, in order (they live in lines_).
    std::vector<JobStatusUnit*> queued_;
    CRITICAL_SECTION lock_;
    // A 4404 is posted and has not started moving lines yet.
    bool posted_ = false;
    RECT itemArea_{};
};

}  // namespace AppLayer
