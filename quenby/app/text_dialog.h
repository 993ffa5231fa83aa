// The text dialog: one line of text (the search text of the line views)
// with Finish and Cancel, asked modally over the main window. Another
// process may answer it through WM_COPYDATA.
//
// The dialog handles its own codes: Finish and Cancel (which share numbers
// with the main window's commands) never travel on to the owner.
#pragma once

#include <windows.h>

#include <cstdint>

#include "base/raw_string.h"
#include "toolkit/button.h"
#include "toolkit/dialog.h"
#include "toolkit/edit_box.h"

namespace WinLayer {

class WinTextDialog : public WinDialog {
public:
    enum : uint32_t {
        // A hint button beside the edit box.
        OptionHintButton = 1,
    };
    // A text carried by WM_COPYDATA is cut to this many bytes of UTF-8.
    static constexpr uint32_t kMaxCopyDataBytes = 4096;
    static constexpr uint16_t kHintCode = 0x1102;

    WinTextDialog();

    // Runs the dialog modally over the owner; true when the user confirmed.
    // The result text then holds what the edit box held, in UTF-8.
    bool AskText(const RECT& ownerRect, const RawLayer::RawString& title, const RawLayer::RawString& initialText,
                 WinView& ownerView);

    void CreateChildren() override;
    void OnCreated() override;
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    // A code sent to the dialog's own window is the dialog's own.
    LRESULT OnCommand(uint16_t code) override;
    LRESULT OnChildCommand(WinView* child, uint16_t code) override;
    void SavePlacement(int32_t stateLeft, int32_t stateEntered) override;

    // Where the last run was closed, for the whole process; empty at first.
    static RECT& LastPlacement();
    // The text of a WM_COPYDATA record: exactly its bytes as UTF-8 (cut to
    // kMaxCopyDataBytes), empty without data.
    static RawLayer::RawString CopyDataText(const COPYDATASTRUCT* record);

    uint32_t options = 0;
    WinEditBox edit;
    WinButton hintButton;
    WinButton finishButton;
    WinButton cancelButton;
    RawLayer::RawString resultText;

private:
    void TakeEditText();
};

// Asks for a search text over the view's window (the dialog placed by the
// view's root window) under the title, starting from the last search text;
// true with the new text in UTF-8 when the user confirmed.
bool AskSearchText(WinView& view, const RawLayer::RawString& title, RawLayer::RawString& searchText);

}  // namespace WinLayer
