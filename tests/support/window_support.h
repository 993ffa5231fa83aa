// The window test harness: pumping through the toolkit's own loop step,
// callbacks that run inside whichever loop runs next, a watchdog for modal
// runs, pixel captures, posted, sent and real input, message counts, GDI
// exhaustion and readable message names.
//
// A modal test arms its way out before it enters the run:
//
//     TestSupport::ModalWatchdog watchdog(10000);    // a hang fails fast
//     TestSupport::RunLater(200, [&] { ...; PostMessageW(dialog.window, WM_CLOSE, 0, 0); });
//     EXPECT_EQ(dialog.RunModal(owner), 0);
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "toolkit/dialog.h"
#include "toolkit/view.h"

namespace TestSupport {

// ---- test windows ---------------------------------------------------------------

// A native control view ("BUTTON" by default), subclassed, that records the
// messages it receives and may answer some through `handler` (which gives
// kNotHandled for the rest).
class TestControl : public WinLayer::WinView {
public:
    explicit TestControl(const char* windowClass = "BUTTON", const char* caption = "",
                         DWORD windowStyle = WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON);
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    void OnDestroying() override;
    // How often a message arrived, and its wParams in order.
    int Received(UINT message) const;
    std::vector<WPARAM> ParametersOf(UINT message) const;

    std::function<LRESULT(UINT, WPARAM, LPARAM)> handler;
    std::vector<std::pair<UINT, WPARAM>> messages;
    std::vector<std::string>* journal = nullptr;  // "destroying <caption>"
};

// A dialog for tests: a class name and title, a window rectangle, children
// made by `makeChildren`, a journal of placement, destruction and command
// events, an optional client colour painted on WM_PAINT, and a close switch.
// Its window goes with the object.
class TestDialog : public WinLayer::WinDialog {
public:
    TestDialog(const char* windowClass, const std::wstring& title, RECT windowRect);
    void CreateChildren() override;
    bool OnClose() override { return closeAllowed; }
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    LRESULT OnCommand(uint16_t code) override;
    LRESULT OnChildCommand(WinLayer::WinView* child, uint16_t code) override;
    void SavePlacement(int32_t stateLeft, int32_t stateEntered) override;
    void OnDestroying() override;

    std::function<void(TestDialog&)> makeChildren;
    std::function<LRESULT(UINT, WPARAM, LPARAM)> handler;
    std::vector<std::string> journal;
    COLORREF paintColour = CLR_INVALID;
    bool closeAllowed = true;
};

// ---- pumping ------------------------------------------------------------------

// Runs every waiting message through the toolkit's loop step until the
// queue stays empty for `quietMs` or `limitMs` passed. True when it went
// idle. Quit messages are taken out and counted (QuitsSeen).
bool PumpUntilIdle(DWORD limitMs = 2000, DWORD quietMs = 30);
// Pumps for the whole time.
void PumpFor(DWORD ms);
// Pumps until the condition holds (true) or the time is up (false).
bool PumpUntil(const std::function<bool()>& condition, DWORD limitMs = 3000);
// The window's title as UTF-16.
std::wstring WindowTitle(HWND window);
// Quit messages the pumps took out since the start.
int QuitsSeen();
// Takes pending quit messages out of the queue; how many there were.
int DrainQuit();

// ---- timed callbacks ------------------------------------------------------------

// Runs the callback once, `ms` from now, inside whichever message loop of
// this thread dispatches then (a modal run, a popup menu, a pump).
void RunLater(DWORD ms, std::function<void()> callback);

// Waits, inside this thread's message loops, for a system dialog ("#32770")
// of this thread to come up (a font, print or message box run by the code
// under test) and posts it a WM_COMMAND of `command`. It looks every 50 ms
// for up to `limitMs`, since a loaded machine may take seconds to show one;
// `seen` (optional, must outlive the wait) tells whether it came.
void AnswerSystemDialog(WPARAM command, bool* seen = nullptr, DWORD limitMs = 15000);
// The same wait, calling `answer` once with the dialog when it is up.
void WhenSystemDialogUp(std::function<void(HWND)> answer, DWORD limitMs = 15000);

// ---- watchdog -------------------------------------------------------------------

// While it lives, a modal run that outlives `limitMs` is ended: a quit
// message ends every loop of the thread (each destroys its dialog), the
// test fails, and the thread's remaining windows are destroyed when the
// watchdog dies. A thread that does not even take messages any more is
// ended with the process a few seconds later, so a hang never holds the
// test runner.
class ModalWatchdog {
public:
    explicit ModalWatchdog(DWORD limitMs);
    ~ModalWatchdog();
    ModalWatchdog(const ModalWatchdog&) = delete;
    ModalWatchdog& operator=(const ModalWatchdog&) = delete;
    bool Fired() const;

    struct State;

private:
    std::shared_ptr<State> state_;
    HANDLE thread_;
};

// ---- pixels -------------------------------------------------------------------------

// A 32-bit top-down DIB section selected into a memory DC.
class DibCanvas {
public:
    DibCanvas(int width, int height, COLORREF fill = RGB(255, 255, 255));
    ~DibCanvas();
    DibCanvas(DibCanvas&& other) noexcept;
    DibCanvas(const DibCanvas&) = delete;
    DibCanvas& operator=(const DibCanvas&) = delete;

    // The client area of a window after UpdateWindow, copied with BitBlt
    // from the window's DC (PrintWindow gives only the class background of
    // own-class windows under Wine). BitBlt reads the window's own pixels
    // even where another window covers it.
    static DibCanvas CaptureClient(HWND window);

    HDC Dc() const { return dc_; }
    int Width() const { return width_; }
    int Height() const { return height_; }
    void Fill(COLORREF colour);
    COLORREF Pixel(int x, int y) const;
    // Pixels of a colour inside a rectangle (clipped to the canvas).
    int CountColor(const RECT& area, COLORREF colour) const;
    int CountColor(COLORREF colour) const;
    // The smallest rectangle holding every pixel of the colour; empty when
    // there is none.
    RECT BoundsOf(COLORREF colour) const;
    bool SameAs(const DibCanvas& other) const;

private:
    HDC dc_ = nullptr;
    HBITMAP bitmap_ = nullptr;
    HGDIOBJ previous_ = nullptr;
    uint32_t* bits_ = nullptr;
    int width_ = 0;
    int height_ = 0;
};

// ---- input -----------------------------------------------------------------------------

// Sets the state that GetKeyState reports for Shift, Ctrl and Alt.
void SetModifiers(bool shift, bool ctrl, bool alt);
// The lParam of a key message (repeat 1, the key's scan code, up bits).
LPARAM KeyLParam(UINT virtualKey, bool up);
// WM_KEYDOWN then WM_KEYUP, posted or sent to the window.
void PostKey(HWND window, UINT virtualKey);
void SendKey(HWND window, UINT virtualKey);
// WM_CHAR with one UTF-16 unit.
void PostChar(HWND window, wchar_t unit);
// A mouse message with client coordinates and key state.
void PostMouse(HWND window, UINT message, int x, int y, WPARAM keys = 0);
LRESULT SendMouse(HWND window, UINT message, int x, int y, WPARAM keys = 0);
// Real input through the system: the cursor to a client point of the window,
// then a left click. Tests that use it take the foreground lock.
void RealClick(HWND window, int x, int y);
// A real key press (down and up).
void RealKey(WORD virtualKey);
// A real key going down or up alone (a modifier held over other input).
void RealKeyState(WORD virtualKey, bool down);
// Real mouse input: the cursor to a client point of the window (the
// buttons as they are), and the left button going down or up where the
// cursor is.
void RealMouseMove(HWND window, int x, int y);
void RealLeftButton(bool down);

// ---- message counts --------------------------------------------------------------

// Counts the messages this thread retrieves (WH_GETMESSAGE), per window and
// message, while it lives.
class MessageCounter {
public:
    MessageCounter();
    ~MessageCounter();
    MessageCounter(const MessageCounter&) = delete;
    MessageCounter& operator=(const MessageCounter&) = delete;
    int Count(HWND window, UINT message) const;
    void Reset();

private:
    static LRESULT CALLBACK Hook(int code, WPARAM wParam, LPARAM lParam);
    HHOOK hook_ = nullptr;
    std::map<std::pair<HWND, UINT>, int> counts_;
};

// ---- GDI ----------------------------------------------------------------------------

// Takes all but `leaveFree` of the process's GDI handles while it lives
// (GetGuiResources answers 0 under Wine, so the table is filled until it
// refuses).
class GdiHog {
public:
    explicit GdiHog(int leaveFree = 300);
    ~GdiHog();
    GdiHog(const GdiHog&) = delete;
    GdiHog& operator=(const GdiHog&) = delete;
    int Taken() const;

private:
    struct Objects;
    std::unique_ptr<Objects> objects_;
};

// ---- icons -------------------------------------------------------------------------

// An icon made in code: a 32-bit colour bitmap of pixels 0xAARRGGBB from
// `colour` (no colour bitmap at all when it is empty: a monochrome icon)
// and a mask from `masked` (true: the mask bit is set). Destroy it with
// DestroyIcon.
HICON MakeIcon(int width, int height, const std::function<uint32_t(int, int)>& colour,
               const std::function<bool(int, int)>& masked);

// ---- names -------------------------------------------------------------------------

// "WM_KEYDOWN" for 0x100, the toolkit's names for its own messages, else
// the number in hexadecimal.
std::string MessageName(UINT message);

}  // namespace TestSupport
