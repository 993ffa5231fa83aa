// The print progress dialog and print worker: a small modal window that
// shows which page prints out of how many and offers a Stop button, while
// its worker thread runs the print loop through the main item set.
//
// The worker never sends a message to a GUI-thread window: it posts the page
// index, and the dialog sets its own text. Closing the dialog stops the job
// and waits for the worker while still answering sent messages, so a
// closing dialog cannot deadlock with a worker inside a printer call.
#pragma once

#include <windows.h>
#include <commdlg.h>

#include <atomic>
#include <cstdint>

#include "base/raw_string.h"
#include "base/thread.h"
#include "quenby/app/print_header.h"
#include "toolkit/button.h"
#include "toolkit/dialog.h"
#include "toolkit/static_box.h"

namespace AppLayer {

// The system print dialog's record, the printer's page in pixels and
// millimetres once the user confirmed, and the dialog's error code.
struct WinPrintDialogRecord {
    PRINTDLGW dialog{};
    int32_t pageWidth = 0;
    int32_t pageHeight = 0;
    int32_t milliWidth = 0;
    int32_t milliHeight = 0;
    DWORD error = 0;
};

// The view's selection: count (0 for none), first and last line index.
struct WinSelectionRecord {
    int32_t count = 0;
    int32_t first = 0;
    int32_t last = 0;
};

// Pages [first, end) counted from 0; {0, 0} means every page.
struct WinPageRange {
    int32_t first = 0;
    int32_t end = 0;
};

class WinPrintProgressDialog : public WinLayer::WinDialog,
                               public WinPrintListBox::PageChecker,
                               public RawLayer::RawThreadUnit {
public:
    // The print side of the main item set.
    class Executer {
    public:
        virtual ~Executer() = default;
        // Prints the shown document page by page, asking the checker.
        virtual WinPrintListBox::PrintOutcome PrintDocument(WinPrintDialogRecord& record,
                                                            WinPrintListBox::PageChecker& checker) = 0;
        // The pages that hold the selected lines.
        virtual WinPageRange SelectedPageRange(const WinSelectionRecord& selection) = 0;
    };

    // The end code the worker posts, and the Stop button's code.
    enum : uint16_t { CodeEnd = 0x1100, CodeStop = 0x1101 };
    // Posted by the worker: wParam the page index, lParam the page count.
    static constexpr UINT kProgressMessage = WM_APP + 0x133;

    WinPrintProgressDialog(Executer& executer, WinPrintDialogRecord& record, const WinSelectionRecord& selection);
    ~WinPrintProgressDialog() override;

    // Lays out the text and the button, sets the title (when not empty) and
    // centres the window in the work area.
    void Build(WinLayer::WinView& owner, const RawLayer::RawString& title);

    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    LRESULT OnCommand(uint16_t code) override;
    void OnCreated() override;
    void OnDestroying() override;
    LRESULT OnChildCommand(WinLayer::WinView* child, uint16_t code) override;
    bool OnMinMaxSize(SIZE& shrink, SIZE& growth) override;
    void OnLayout() override;
    void CreateChildren() override;

    bool IsStopped() override { return StopRequested(); }
    bool IsPageWanted(int32_t k) override;
    void OnPageCount(int32_t count) override { pageCount_.store(count); }

    // The progress text for page k of a count, set into the text view.
    void UpdateProgress(int32_t k, int32_t count);
    // How the job ended; PrintFailed also when the worker could not start.
    WinPrintListBox::PrintOutcome Outcome() const { return outcome_.load(); }
    // The text the progress view shows.
    RawLayer::RawString ProgressText() const { return textBox.GetText(); }

    WinLayer::WinStaticBox textBox;
    WinLayer::WinButton stopButton;

protected:
    void Run() override;
    // Starts the worker; false when it could not be started.
    virtual bool StartWorker() { return Start(); }

private:
    // Ends the modal run once (result 1).
    void End();

    Executer& executer_;
    WinPrintDialogRecord& record_;
    const WinSelectionRecord selection_;
    WinPageRange range_;
    std::atomic<int32_t> pageCount_{0};
    std::atomic<WinPrintListBox::PrintOutcome> outcome_{WinPrintListBox::PrintFailed};
    bool closing_ = false;
};

}  // namespace AppLayer
