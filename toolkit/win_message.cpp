// The guard for toolkit messages whose lParam is a pointer.
#include "toolkit/win_message.h"

namespace WinLayer {

namespace {

// Pointers this thread is sending right now, innermost last. Sends nest
// only as deep as handlers send again from inside a handler.
constexpr int kMaxNestedSends = 16;
thread_local LPARAM t_sending[kMaxNestedSends];
thread_local int t_depth = 0;

}  // namespace

bool WinMessage::CarriesPointer(UINT message) { return message == PressButton; }

LRESULT WinMessage::SendPointer(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (t_depth >= kMaxNestedSends) return 0;
    t_sending[t_depth++] = lParam;
    const LRESULT result = SendMessageW(window, message, wParam, lParam);
    --t_depth;
    return result;
}

bool WinMessage::Accepts(UINT message, LPARAM lParam) {
    if (!CarriesPointer(message)) return true;
    if (InSendMessage()) return false;
    return t_depth > 0 && t_sending[t_depth - 1] == lParam;
}

}  // namespace WinLayer
