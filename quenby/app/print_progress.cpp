#include "quenby/app/print_progress.h"

#include <algorithm>

#include "quenby/app/viewer_globals.h"
#include "toolkit/environment.h"

namespace AppLayer {

using RawLayer::RawString;

namespace {

RAW_CONSTANT_TEXT(ProgressDialogClassText, "Class_PrintProgressDialog")
RAW_CONSTANT_TEXT(ProgressSectionText, "PrintProgressDialog")
RAW_CONSTANT_TEXT(StopButtonKeyText, "StopButton")
// Not a language text; the spelling is the program's own.
RAW_CONSTANT_TEXT(ProgressFormText, "\n  Printng pages ( %p / %t ).  \n")
// Sized for the widest text the dialog shows.
RAW_CONSTANT_TEXT(ProgressSampleText, "\n  Printng pages ( 0000000 / 0000000 ).  \n")

const RawLayer::RawLocaleRecord ProgressTexts[] = {
    {"StopButton", "Stop !"},
    {nullptr, nullptr},
};

constexpr uint32_t kDialogStyle = WS_CAPTION | WS_SYSMENU | WS_THICKFRAME;
constexpr uint16_t kTextAnchors = WinLayer::AnchorLeftToLeft | WinLayer::AnchorRightToRight |
                                  WinLayer::AnchorTopToTop | WinLayer::AnchorBottomToBottom;
constexpr uint16_t kButtonAnchors = WinLayer::AnchorLeftToCentre | WinLayer::AnchorRightToCentre |
                                    WinLayer::AnchorTopToBottom | WinLayer::AnchorBottomToBottom;
// Face of the Stop button (a finishing button).
constexpr uint32_t kStopFace = 3;

RawString ProgressFor(int32_t k, int32_t count) {
    WinPrintHeader band;
    band.page = k;
    band.total = count;
    return band.ExpandText(ProgressFormText());
}

}  // namespace

WinPrintProgressDialog::WinPrintProgressDialog(Executer& executer, WinPrintDialogRecord& record,
                                               const WinSelectionRecord& selection)
    : executer_(executer), record_(record), selection_(selection) {
    className = ProgressDialogClassText();
    largeIconId = 130;
    smallIconId = 131;
    textBox.Construct();
    stopButton.Construct();
    pageCount_.store(static_cast<int32_t>(record.dialog.nMaxPage));
}

WinPrintProgressDialog::~WinPrintProgressDialog() {
    // The window is gone before the object; a worker never outlives it.
    RequestStop();
    Wait();
}

void WinPrintProgressDialog::Build(WinLayer::WinView& owner, const RawString& title) {
    (void)owner;
    if (!title.IsEmpty()) text = title;
    style = kDialogStyle;
    exStyle = WS_EX_TOOLWINDOW;
    const int32_t margin = WinLayer::WinEnvironment::Instance().margin;
    textBox.parentStyle = this;
    textBox.SetText(ProgressSampleText());
    textBox.FitToContent();
    const RawString section = LookUpViewTextIn(ProgressSectionText(), ProgressTexts);
    stopButton.parentStyle = this;
    stopButton.SetCaption(LookUpViewText(section, StopButtonKeyText()), kStopFace, CodeStop);
    stopButton.FitToContent();
    const int32_t width = std::max(textBox.fittedWidth, stopButton.fittedWidth) + 2 * margin;
    textBox.rect = RECT{margin, margin, width - margin, margin + textBox.fittedHeight};
    textBox.anchors = kTextAnchors;
    const int32_t left = (width - stopButton.fittedWidth) / 2;
    const int32_t top = textBox.rect.bottom + margin;
    stopButton.rect = RECT{left, top, left + stopButton.fittedWidth, top + stopButton.fittedHeight};
    stopButton.anchors = kButtonAnchors;
    textBox.SetText(ProgressFor(0, pageCount_.load()));
    rect = RECT{0, 0, width, stopButton.rect.bottom + margin};
    anchor.minimum = rect;
    WindowRectFromClient();
    RECT work{};
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    PlaceOnWorkArea(work);
}

void WinPrintProgressDialog::CreateChildren() {
    textBox.Follow(&anchor.rect);
    CreateChild(textBox);
    stopButton.Follow(&anchor.rect);
    CreateChild(stopButton);
}

void WinPrintProgressDialog::OnLayout() {
    for (WinLayer::WinView* child : {static_cast<WinLayer::WinView*>(&textBox),
                                     static_cast<WinLayer::WinView*>(&stopButton)}) {
        child->Relayout();
        if (child->window) {
            MoveWindow(child->window, child->rect.left, child->rect.top, child->Width(), child->Height(), FALSE);
        }
    }
    if (window) InvalidateRect(window, nullptr, TRUE);
}

bool WinPrintProgressDialog::OnMinMaxSize(SIZE& shrink, SIZE&) {
    // Down to the size the text and the button need, never below it.
    shrink.cx = std::max<LONG>(shrink.cx, 0);
    shrink.cy = std::max<LONG>(shrink.cy, 0);
    return true;
}

void WinPrintProgressDialog::OnCreated() {
    WinDialog::OnCreated();
    UpdateProgress(0, pageCount_.load());
    if (!StartWorker()) {
        // Nothing prints: the dialog ends at once and the command tells.
        outcome_.store(WinPrintListBox::PrintFailed);
        if (window) PostMessageW(window, WM_COMMAND, MAKEWPARAM(controlId, CodeEnd), 0);
    }
}

void WinPrintProgressDialog::Run() {
    WinPageRange range;
    if (record_.dialog.Flags & PD_SELECTION) range = executer_.SelectedPageRange(selection_);
    range_ = range;
    outcome_.store(executer_.PrintDocument(record_, *this));
    HWND own = window;
    if (own && IsWindow(own)) PostMessageW(own, WM_COMMAND, MAKEWPARAM(controlId, CodeEnd), 0);
}

bool WinPrintProgressDialog::IsPageWanted(int32_t k) {
    const int64_t number = static_cast<int64_t>(k) + 1;
    // The range in either order: "from 5 to 3" are pages 3 to 5.
    const int64_t from = std::min(record_.dialog.nFromPage, record_.dialog.nToPage);
    const int64_t to = std::max(record_.dialog.nFromPage, record_.dialog.nToPage);
    if ((record_.dialog.Flags & PD_PAGENUMS) && (number < from || number > to)) return false;
    if (range_.first < range_.end && (k < range_.first || k >= range_.end)) return false;
    HWND own = window;
    if (own) PostMessageW(own, kProgressMessage, static_cast<WPARAM>(k), static_cast<LPARAM>(pageCount_.load()));
    return true;
}

void WinPrintProgressDialog::UpdateProgress(int32_t k, int32_t count) {
    textBox.SetText(ProgressFor(k, count));
    if (textBox.window) {
        InvalidateRect(textBox.window, nullptr, TRUE);
        UpdateWindow(textBox.window);
    }
}

LRESULT WinPrintProgressDialog::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == kProgressMessage) {
        UpdateProgress(static_cast<int32_t>(wParam), static_cast<int32_t>(lParam));
        return 0;
    }
    return WinDialog::OnMessage(message, wParam, lParam);
}

void WinPrintProgressDialog::End() {
    if (closing_) return;
    closing_ = true;
    result = 1;
    if (window) DestroyWindow(window);
}

LRESULT WinPrintProgressDialog::OnCommand(uint16_t code) {
    // The dialog's codes are its own: 4353 here is Stop, never the main
    // window's restart, so nothing goes on to the owner.
    if (code == CodeEnd) End();
    if (code == CodeStop) RequestStop();
    return 0;
}

LRESULT WinPrintProgressDialog::OnChildCommand(WinLayer::WinView*, uint16_t code) {
    if (code == CodeStop) {
        RequestStop();
    } else if (code == WinLayer::WinNotify::Cancel) {
        if (window) PostMessageW(window, WM_CLOSE, 0, 0);
    }
    return 0;
}

void WinPrintProgressDialog::OnDestroying() {
    RequestStop();
    // The worker may be inside a printer call that sends a message to this
    // thread: keep answering sent messages while waiting for it.
    HANDLE thread = ThreadHandle();
    while (thread) {
        const DWORD woke = MsgWaitForMultipleObjects(1, &thread, FALSE, INFINITE, QS_SENDMESSAGE);
        if (woke != WAIT_OBJECT_0 + 1) break;
        MSG message;
        PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
    Wait();
    WinDialog::OnDestroying();
}

}  // namespace AppLayer
