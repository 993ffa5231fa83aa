// The information dialog: a system icon, a text and a row of buttons named
// by the caller's table; a run returns the value of the button chosen (0
// when the dialog is closed otherwise). Every message and question of the
// toolkit and the compare tool goes through it.
//
// A letter key chooses the first button whose label starts with it. The
// automation request 0x8005 (a parameter list whose "Button" entry names
// a label) is honoured only when the program sends it on the GUI thread.
#pragma once

#include <windows.h>

#include <cstdint>

#include "base/raw_list.h"
#include "base/raw_string.h"
#include "toolkit/dialog.h"
#include "toolkit/image_box.h"
#include "toolkit/radio_button.h"
#include "toolkit/static_box.h"

namespace WinLayer {

// The button table of a one-button dialog: "OK" giving 1, then the end
// mark (an empty label).
const RawLayer::RawLabelUnit* OkButtonTable();

class WinInfoDialog : public WinDialog, public WinSelectorButton::KeyScanner {
public:
    // The system icons the programs use (LoadIcon without instance).
    enum : uint32_t {
        IconQuestion = 32514,
        IconExclamation = 32515,
        IconAsterisk = 32516,
    };

    WinInfoDialog();
    ~WinInfoDialog() override;

    // Prepares a run: the system icon (0 for none), the buttons of the table
    // up to its empty label, the title (kept when empty) and the text, laid
    // out and placed relative to the owner's rectangle. May be called again
    // for the next run; the closing flag and the result start afresh.
    void Setup(const RECT& ownerRect, const RawLayer::RawString& title, const RawLayer::RawString& text,
               const RawLayer::RawLabelUnit* table, uint32_t iconId);

    void CreateChildren() override;
    // The button row takes the focus.
    void OnCreated() override;
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    // A pressed button ends the run with its value.
    LRESULT OnChildCommand(WinView* child, uint16_t code) override;
    // A letter A-Z chooses the first button whose label starts with it
    // (ASCII case ignored) and ends the run; other keys are left.
    bool ScanKey(WPARAM key) override;

    RECT iconRegion{};
    RECT buttonRegion{};
    WinImageBox iconBox;
    WinStaticBox textBox;
    RawLayer::RawLabelList buttons;
    WinSelectorButton buttonRow;
    WinIconRecord icon;
    // Whether the icon is the dialog's to destroy (a shared system icon is
    // not).
    bool ownsIcon = false;
    HICON smallIcon = nullptr;

private:
    void ReleaseIcons();
};

}  // namespace WinLayer
