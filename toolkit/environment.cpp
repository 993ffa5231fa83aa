// The window environment and the shared colour and point routines.
#include "toolkit/environment.h"

namespace WinLayer {

WinEnvironment& WinEnvironment::Instance() {
    static WinEnvironment environment;
    return environment;
}

WinEnvironment::WinEnvironment() {
    InitializeCriticalSection(&lock_);
    SetFont(WinFontParameter::DefaultFont());
}

WinEnvironment::~WinEnvironment() {
    if (font.handle) DeleteObject(font.handle);
    DeleteCriticalSection(&lock_);
}

void WinEnvironment::SetFont(const LOGFONTW& description) {
    LOGFONTW copy;
    WinFontParameter::CopyLogFont(copy, description);
    HFONT made = CreateFontIndirectW(&copy);
    HFONT old = font.handle;
    font.description = copy;
    font.handle = made;
    if (old) DeleteObject(old);
}

bool WinEnvironment::LayoutHasIme() {
    if (layoutHasIme < 0) layoutHasIme = ImmIsIME(GetKeyboardLayout(0)) ? 1 : 0;
    return layoutHasIme != 0;
}

HINSTANCE WinEnvironment::Module() const {
    return instance ? instance : GetModuleHandleW(nullptr);
}

void WinEnvironment::ReportFailure(const char* where, UINT message) {
    bool first;
    EnterCriticalSection(&lock_);
    ++failures_;
    const UINT slot = message & 0xFFFF;
    first = (reported_[slot / 32] & (1u << (slot % 32))) == 0;
    reported_[slot / 32] |= 1u << (slot % 32);
    RawLayer::JobServerControl::Logger* output = logger;
    LeaveCriticalSection(&lock_);
    if (!first || !output) return;
    RawLayer::RawString line = RawLayer::RawString::FromText(where);
    line.AppendAscii(" failed on message 0x");
    line.AppendUnsigned(message, 16);
    output->Report(line);
}

POINT PointFromLParam(LPARAM lParam) {
    POINT point;
    point.x = static_cast<int16_t>(static_cast<uint16_t>(lParam & 0xFFFF));
    point.y = static_cast<int16_t>(static_cast<uint16_t>((lParam >> 16) & 0xFFFF));
    return point;
}

bool KeyHeld(int virtualKey) { return GetKeyState(virtualKey) < 0; }

COLORREF ListWindowColor() {
    static const COLORREF colour = GetSysColor(COLOR_WINDOW);
    return colour;
}

COLORREF ListTextColor() {
    static const COLORREF colour = GetSysColor(COLOR_WINDOWTEXT);
    return colour;
}

}  // namespace WinLayer
