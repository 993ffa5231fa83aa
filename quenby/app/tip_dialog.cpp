// Dialog threads and the tip window.
#include "quenby/app/tip_dialog.h"

namespace WinLayer {

using RawLayer::RawString;

namespace {

RAW_CONSTANT_TEXT(TipDialogClassText, "Class_TipDialog")

constexpr uint16_t kLargeIcon = 130;
constexpr uint16_t kSmallIcon = 131;
constexpr int32_t kExtraWidth = 6;
constexpr int32_t kExtraHeight = 2;
constexpr uint16_t kFillAnchors = AnchorLeftToLeft | AnchorRightToRight | AnchorTopToTop | AnchorBottomToBottom;
// A dialog object is destroyed only after its thread: this long is waited
// for a thread that does not end on request.
constexpr DWORD kDestructorJoinMs = 5000;
// How long Place waits for a running tip to take its new text.
constexpr DWORD kHandOverMs = 2000;

}  // namespace

// ---- dialog thread -----------------------------------------------------------------

WinDialogThread::WinDialogThread() {
    InitializeCriticalSection(&lock_);
    event_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
}

WinDialogThread::~WinDialogThread() {
    // The thread must be gone before the dialog parts it uses are.
    if (!EndWindow(kDestructorJoinMs)) Wait();
    if (event_) CloseHandle(event_);
    DeleteCriticalSection(&lock_);
}

bool WinDialogThread::WaitHandlingSent(HANDLE handle, DWORD limitMs) {
    if (!handle) return false;
    const DWORD start = GetTickCount();
    for (;;) {
        const DWORD spent = GetTickCount() - start;
        const DWORD left = spent >= limitMs ? 0 : limitMs - spent;
        const DWORD answer = MsgWaitForMultipleObjects(1, &handle, FALSE, left, QS_SENDMESSAGE);
        if (answer == WAIT_OBJECT_0) return true;
        if (answer != WAIT_OBJECT_0 + 1) return false;
        // Delivers the messages sent to this thread; nothing is removed
        // from the posted queue.
        MSG message;
        PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
}

bool WinDialogThread::StartWindow(DWORD limitMs) {
    if (WindowRunning()) return true;
    // A thread of an earlier window still ending is waited for first.
    if (IsRunning() && !EndWindow(limitMs)) return false;
    if (event_) ResetEvent(event_);
    if (!Start()) return false;
    WaitHandlingSent(event_, limitMs);
    return WindowRunning();
}

bool WinDialogThread::EndWindow(DWORD limitMs) {
    const HWND shown = RunningWindow();
    if (shown) PostMessageW(shown, WM_CLOSE, 0, 0);
    if (!IsRunning() || !ThreadHandle()) return true;
    // The thread handle is signalled once the thread has left entirely.
    return WaitHandlingSent(ThreadHandle(), limitMs);
}

bool WinDialogThread::WindowRunning() const {
    EnterCriticalSection(&lock_);
    const bool value = running_;
    LeaveCriticalSection(&lock_);
    return value;
}

HWND WinDialogThread::RunningWindow() const {
    EnterCriticalSection(&lock_);
    const HWND value = running_ ? runningWindow_ : nullptr;
    LeaveCriticalSection(&lock_);
    return value;
}

void WinDialogThread::MarkClosed() {
    EnterCriticalSection(&lock_);
    running_ = false;
    runningWindow_ = nullptr;
    LeaveCriticalSection(&lock_);
    if (event_) SetEvent(event_);
}

void WinDialogThread::Destroy() {
    if (window && GetWindowThreadProcessId(window, nullptr) == GetCurrentThreadId()) DestroyWindow(window);
    MarkClosed();
}

bool WinDialogThread::OnClose() {
    Destroy();
    return false;
}

void WinDialogThread::Run() {
    Create();
    const HWND made = window;
    EnterCriticalSection(&lock_);
    running_ = made != nullptr;
    runningWindow_ = made;
    LeaveCriticalSection(&lock_);
    if (event_) SetEvent(event_);
    if (!made) return;
    MessageLoop();
    // A window that outlived its loop (a stray quit) goes with it.
    if (window && IsWindow(window)) DestroyWindow(window);
    window = nullptr;
    MarkClosed();
}

void WinDialogThread::OnEnd() { MarkClosed(); }

// ---- tip -----------------------------------------------------------------------------

WinTipDialog::WinTipDialog() {
    className = TipDialogClassText();
    largeIconId = kLargeIcon;
    smallIconId = kSmallIcon;
    style = kStyle;
    exStyle = kExStyle;
    showCommand = SW_SHOWNOACTIVATE;
    textBox.Construct();
    textBox.background = kBackground;
    textBox.textColour = kTextColour;
    textBox.viewFlags = static_cast<uint16_t>(
        (textBox.viewFlags & ~(FitAlignRight | FitCentre | FitAlignTop | FitAlignBottom)) | FitAlignLeft | FitMiddle);
    textBox.parentStyle = this;
}

WinTipDialog::~WinTipDialog() {
    // The thread runs this object's operations: end it while they exist.
    if (!EndWindow(kDestructorJoinMs)) Wait();
}

void WinTipDialog::Place(const RawString& tipText) {
    RECT measured{};
    MeasureChild(textBox, measured, tipText);
    clientSize = SIZE{measured.right - measured.left + kExtraWidth, measured.bottom - measured.top + kExtraHeight};
    RECT frame{0, 0, clientSize.cx, clientSize.cy};
    AdjustWindowRectEx(&frame, style, FALSE, exStyle);
    windowSize = SIZE{frame.right - frame.left, frame.bottom - frame.top};
    EnterCriticalSection(&lock_);
    placedText_ = tipText;
    placedSize_ = clientSize;
    textPending_ = true;
    LeaveCriticalSection(&lock_);
    const HWND shown = RunningWindow();
    if (!shown) {
        // No window paints the box: it takes the text here, and the next
        // window is made with it.
        TakePlacedText();
        rect = RECT{rect.left, rect.top, rect.left + windowSize.cx, rect.top + windowSize.cy};
        textBox.rect = RECT{0, 0, clientSize.cx, clientSize.cy};
        textBox.anchors = kFillAnchors;
        return;
    }
    // The tip's thread takes the text between two paints; the caller then
    // moves and sizes the window. A window that does not answer in time
    // takes it when it gets to the message (or the next window on making).
    DWORD_PTR answer = 0;
    SendMessageTimeoutW(shown, kTakeTextMessage, 0, 0, SMTO_NORMAL, kHandOverMs, &answer);
}

void WinTipDialog::TakePlacedText() {
    EnterCriticalSection(&lock_);
    const bool pending = textPending_;
    const RawString taken = placedText_;
    const SIZE size = placedSize_;
    textPending_ = false;
    LeaveCriticalSection(&lock_);
    if (!pending) return;
    if (taken.IsEmpty()) {
        textBox.ClearText();
    } else {
        textBox.SetText(taken);
    }
    if (!textBox.window) return;
    textBox.UpdateWindowText();
    MoveWindow(textBox.window, 0, 0, size.cx, size.cy, FALSE);
    InvalidateRect(textBox.window, nullptr, FALSE);
}

RawString WinTipDialog::TipText() const {
    EnterCriticalSection(&lock_);
    const RawString text = placedText_;
    LeaveCriticalSection(&lock_);
    return text;
}

LRESULT WinTipDialog::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == kTakeTextMessage) {
        TakePlacedText();
        return 0;
    }
    return WinDialogThread::OnMessage(message, wParam, lParam);
}

void WinTipDialog::CreateChildren() {
    // A text handed over while no window ran is the new window's.
    TakePlacedText();
    textBox.Follow(&anchor.rect);
    CreateChild(textBox);
}

void WinTipDialog::OnDestroying() {
    result = 0;
    WinDialogThread::OnDestroying();
}

}  // namespace WinLayer
