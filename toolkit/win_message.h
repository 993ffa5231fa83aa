// The toolkit's own message numbers, notification codes and the "not
// handled" result, and the guard for messages whose parameter is a pointer.
#pragma once

#include <windows.h>

#include <cstdint>

namespace WinLayer {

// The result a handler gives when it leaves a message to the next stage
// (hooks, then the native or default window procedure).
constexpr LRESULT kNotHandled = 0x7FFFFFFF;

// Messages of the toolkit, all in the WM_APP range.
struct WinMessage {
    enum : UINT {
        // Posted (0, 0) to a modal dialog when its blocked owner is clicked.
        ActivateModal = 0x8000,
        // Show, activate and force a dialog to the foreground.
        BringToFront = 0x8001,
        // Sent by a view to its owner dialog: wParam the view's control id,
        // lParam 1 backwards (Shift held), 0 forwards.
        FocusNext = 0x8002,
        // A chosen popup-menu command (wParam) with the caller's value.
        MenuCommand = 0x8003,
        // lParam is a parameter list whose "Button" entry names a button.
        PressButton = 0x8005,
        // Requests of the path bar and path box to the path dialog.
        PathDialogCommand = 0x8006,
    };

    // Whether a message's lParam is a pointer into this process.
    static bool CarriesPointer(UINT message);
    // Sends a pointer-carrying message on this thread so that its receiver
    // accepts it: only such sends are honoured.
    static LRESULT SendPointer(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    // Whether a message may be handled: always for messages without a
    // pointer; for the others only inside SendPointer of this very thread
    // with this very pointer. A posted copy (which any process can forge)
    // and a send from another thread or process are refused, and their
    // pointer is never dereferenced.
    static bool Accepts(UINT message, LPARAM lParam);
};

// Notification codes, carried in the high word of WM_COMMAND (low word: the
// control id of the sending view, lParam 0).
struct WinNotify {
    enum : uint16_t {
        Activate = 0x1002,          // Enter in an edit box, double click in a list
        DownKey = 0x1003,           // Down key in a single-line edit box
        Cancel = 0x1004,            // Escape in any view; dialogs close on it
        FocusLost = 0x1005,         // a plane box lost the keyboard focus
        TextChanged = 0x1006,       // the text of an edit box changed
        FilesDropped = 0x1007,      // files were dropped on an edit box
        SelectionChanged = 0x1008,  // list cursor or current tab changed
        ItemRemoved = 0x1009,       // a tab was removed
        ScrollChanged = 0x100A,     // scroll position changed
        ExtraButton = 0x100B,       // the tab bar's third hit part
        CancelButton = 0x1100,      // a button set to cancel
        FinishButton = 0x1101,      // a button set to finish
    };
};

}  // namespace WinLayer
