// The window environment and the small shared routines that the toolkit
// reads and each program sets: the instance handle, the default font, the
// encoding of window texts, the spacing of dialogs, the corner radius of
// button faces, and the logger that hears of failed message handlers.
#pragma once

#include <windows.h>
#include <imm.h>

#include <cstdint>

#include "base/logger.h"
#include "base/raw_string.h"
#include "toolkit/font_parameter.h"

namespace WinLayer {

class WinEnvironment {
public:
    // The process-wide environment, built on first use and destroyed at
    // exit: no instance handle, the default font record (description from
    // WinFontParameter::DefaultFont and a handle made from it), window texts
    // in UTF-8, margin 4, button radius 4, no logger.
    static WinEnvironment& Instance();

    WinEnvironment(const WinEnvironment&) = delete;
    WinEnvironment& operator=(const WinEnvironment&) = delete;

    // Replaces the default font (description and handle).
    void SetFont(const LOGFONTW& description);
    // The instance handle, or the program's module while start-up has not
    // stored one.
    HINSTANCE Module() const;
    // Reports a message handler that failed (threw). The first failure of a
    // message number goes to the logger; repeats of it are only counted, so
    // a handler that fails on every paint cannot flood the output.
    void ReportFailure(const char* where, UINT message);
    // Whether the keyboard layout of the thread has an input method
    // (ImmIsIME), read at the first question and kept in `layoutHasIme`.
    // Edit boxes make an input context only then.
    bool LayoutHasIme();
    // Failures seen so far, reported or not.
    uint32_t FailureCount() const { return failures_; }
    // The text in the encoding of window texts (itself when already so).
    RawLayer::RawString InTextKind(const RawLayer::RawString& text) const {
        return text.Kind() == textKind ? text : text.As(textKind);
    }

    HINSTANCE instance = nullptr;
    WinFontParameter font;
    uint8_t textKind = RawLayer::KindUtf8;
    int32_t margin = 4;
    int32_t buttonRadius = 4;
    RawLayer::JobServerControl::Logger* logger = nullptr;
    // -1 until LayoutHasIme reads the layout, then 1 or 0.
    int8_t layoutHasIme = -1;

private:
    WinEnvironment();
    ~WinEnvironment();

    uint32_t failures_ = 0;
    // One bit per message number already reported.
    uint32_t reported_[0x10000 / 32] = {};
    CRITICAL_SECTION lock_;
};

// x is the signed low word, y the signed high word.
POINT PointFromLParam(LPARAM lParam);
// Whether the key was down when the message being handled was sent
// (GetKeyState: the thread's input state, not the live keyboard).
bool KeyHeld(int virtualKey);
// COLOR_WINDOW and COLOR_WINDOWTEXT, each read on the first call and kept
// for the rest of the run. The text colour is that of list and tab text.
COLORREF ListWindowColor();
COLORREF ListTextColor();

}  // namespace WinLayer
