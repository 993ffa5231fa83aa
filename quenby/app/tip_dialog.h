// Dialogs on threads of their own, and the tip window of the table of
// contents built on them.
//
// A window belongs to the thread that made it: only that thread can destroy
// it (DestroyWindow from another thread fails with access denied, and a
// sent WM_DESTROY ends the loop but leaves the window alive). So the owner
// never touches the window's life directly: it starts the thread, waits
// until the window exists, posts a close request that the thread answers by
// destroying its own window, and joins the thread. Every wait has a bound
// and handles the messages other threads send meanwhile, so a dialog thread
// that sends to its starter can never deadlock it.
#pragma once

#include <windows.h>

#include <cstdint>

#include "base/raw_string.h"
#include "base/thread.h"
#include "toolkit/dialog.h"
#include "toolkit/static_box.h"

namespace WinLayer {

class WinDialogThread : public WinDialog, public RawLayer::RawThreadUnit {
public:
    WinDialogThread();
    ~WinDialogThread() override;

    // Starts the thread, which makes the window and runs its loop, and waits
    // up to limitMs until the window exists or the thread gave up. Whether
    // the window runs.
    bool StartWindow(DWORD limitMs);
    // Asks the thread to destroy its window and waits up to limitMs for the
    // thread to end; true when no thread is left running.
    bool EndWindow(DWORD limitMs);
    // Whether the window exists and its loop runs (read under the lock).
    bool WindowRunning() const;
    // The running window; none otherwise.
    HWND RunningWindow() const;

    // Destroys the window on its own thread, then marks it closed and wakes
    // a waiting thread.
    virtual void Destroy();
    // A close request (posted by EndWindow) runs Destroy; it never closes
    // the window through the default procedure.
    bool OnClose() override;

    // Waits up to limitMs for the handle while handling the messages sent to
    // this thread; true when the handle was signalled.
    static bool WaitHandlingSent(HANDLE handle, DWORD limitMs);

protected:
    void Run() override;
    // Runs after Run, and on the starter's thread when the thread could not
    // be made: either way the starter's wait ends.
    void OnEnd() override;
    void MarkClosed();

    // Manual-reset: set once the window exists (or could not be made) and
    // again once the loop has ended.
    HANDLE event_ = nullptr;
    mutable CRITICAL_SECTION lock_;
    bool running_ = false;
    HWND runningWindow_ = nullptr;
};

// A borderless topmost tip that never takes the activation.
class WinTipDialog : public WinDialogThread {
public:
    static constexpr COLORREF kBackground = 0xFAFFF5;
    static constexpr COLORREF kTextColour = 0x404040;
    static constexpr uint32_t kStyle = 0x80800000;
    static constexpr uint32_t kExStyle = 0x08000088;

    // Sent to a running tip: take the text handed over by Place.
    static constexpr UINT kTakeTextMessage = 0x8040;

    WinTipDialog();
    ~WinTipDialog() override;

    // Takes the text and sizes the window: the text size grown by 6 pixels
    // across and 2 down, then by the frame. A shown tip repaints with it.
    // The text box of a running tip is painted by the tip's thread, so the
    // text is handed over under the lock and taken by that thread.
    void Place(const RawLayer::RawString& tipText);
    // The text last placed.
    RawLayer::RawString TipText() const;

    void CreateChildren() override;
    void OnDestroying() override;
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

    WinStaticBox textBox;
    SIZE clientSize{};
    // The client size grown by the frame.
    SIZE windowSize{};

private:
    // Puts a handed-over text into the text box, on the thread that paints
    // it (the caller's own when no window runs).
    void TakePlacedText();

    // Under the lock: the text last placed, its client size and whether the
    // text box still has to take it.
    RawLayer::RawString placedText_;
    SIZE placedSize_{};
    bool textPending_ = false;
};

}  // namespace WinLayer
