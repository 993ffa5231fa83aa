// The path chooser: a modal dialog in which the user picks a file or folder
// path. A path bar (one-line edit box) with an open button sits over the
// path box, with Finish, Cancel and Hidden below. The bar, the box and the
// dialog share one path text (the info record); accepting runs a fixed
// series of checks that may ask questions or show messages through the
// information dialog, and may create the missing folders of the path.
//
// The bar and the box talk to the dialog with message 0x8006 (wParam the
// sub-command). A path the bar shows because the box's cursor moved is not
// listed again: only the user's typing relists, so the two never feed each
// other and a partial name being typed stays as typed.
//
// The dialog answers no automation request by WM_COPYDATA: the data of
// that message comes from another process and is never taken for an
// in-process list.
#pragma once

#include <windows.h>

#include <cstdint>

#include "base/raw_string.h"
#include "toolkit/button.h"
#include "toolkit/dialog.h"
#include "toolkit/edit_box.h"
#include "toolkit/info_dialog.h"
#include "toolkit/path_box.h"

namespace WinLayer {

// What the chooser's parts share: the path being chosen and the options
// (the box reads the path and bits 0x01 and 0x08), and the default
// extension.
struct WinPathDialogInfo : public WinPathBoxShared {
    enum : uint32_t {
        // A folder is wanted.
        OptionFolder = 0x01,
        // A file is wanted (always set by Setup).
        OptionFile = 0x02,
        // The path must exist.
        OptionMustExist = 0x04,
        // Hidden and system entries are listed (the Hidden button).
        OptionHiddenShown = 0x08,
        // Ask before accepting an existing file.
        OptionAskOverwrite = 0x10,
        // Offer to create a missing folder.
        OptionOfferCreate = 0x20,
        // Create a missing folder without asking.
        OptionCreate = 0x40,
    };
    // Empty unless the caller sets it; may begin with '.'.
    RawLayer::RawString defaultExtension;
};

// The path bar: the chooser's one-line edit box.
class WinPathBar : public WinEditBox {
public:
    // Sub-commands of message 0x8006 the bar sends.
    enum : uint32_t {
        CommandCancel = 0,
        CommandAccept = 1,
        CommandListPath = 2,
        CommandTakeCursor = 3,
        CommandOpenCursor = 4,
        CommandMoveCursor = 5,
    };

    explicit WinPathBar(WinPathDialogInfo* shared) : info(shared) {}

    // Shows the text with the caret at its end, stores it into the shared
    // path and has the dialog list it (sub-command 2).
    void SetPath(const RawLayer::RawString& path);
    // Shows the text with the caret at its end; nothing is listed.
    void ShowPath(const RawLayer::RawString& path);
    // Copies the bar's text (UTF-8) into the shared path.
    void StorePath();

    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    // A text change stores the text and has the dialog list it.
    LRESULT OnCommand(uint16_t code) override;

    WinPathDialogInfo* info;

private:
    void Tell(uint32_t command, LPARAM value = 0);
    // Set by Ctrl+Space: the space character it types is swallowed.
    bool swallowSpace_ = false;
};

class WinPathDialog : public WinDialog, public WinPathDialogInfo {
public:
    // Sub-command 6: the box's cursor path is in the shared path.
    enum : uint32_t { CommandShowPath = WinPathBox::CommandPathShown };
    // The buttons' notification codes.
    enum : uint16_t {
        CodeCancel = 0x1100,
        CodeFinish = 0x1101,
        CodeOpen = 0x1102,
        CodeHidden = 0x1103,
    };

    WinPathDialog();

    // Prepares a run: the title (kept when empty), the start path (kept when
    // empty), option 0x02, the children's captions and anchors and the
    // window's place: the last run's rectangle, else a quarter of the work
    // area's width by a third of its height over the owner's rectangle. The
    // closing flag and the result start afresh. The caller runs it with
    // RunModal: 1 accepted (the chosen path is `path`), 0 cancelled.
    void Setup(const RECT& ownerRect, const RawLayer::RawString& title, const RawLayer::RawString& startPath);

    // The window rectangle of the last run, kept for the process (all zero
    // before the first run ends).
    static RECT& LastRect();

    void CreateChildren() override;
    // Hidden shows option 0x08, the bar takes the focus and lists the path.
    void OnCreated() override;
    void OnDestroying() override;
    void OnLayout() override;
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    LRESULT OnChildCommand(WinView* child, uint16_t code) override;

    // The ten checks of accepting; the run ends with 1 when all pass.
    void Accept();
    // Ends the run with a result as WinDialog::Finish does, ending an open
    // question first.
    void Finish(int32_t value);
    // The "Overwrite" question about a path the caller chose after the run
    // (a name it completed), asked over the owner; true for OK.
    bool ConfirmOverwrite(WinView& owner, const RawLayer::RawString& path);

    // The rows of the layout, following the client rectangle; the children
    // follow their row.
    WinViewResize topRow;
    WinViewResize boxArea;
    WinViewResize bottomRow;
    WinPathBar bar;
    WinButton openButton;
    WinPathBox box;
    WinButton finishButton;
    WinButton cancelButton;
    WinButton hiddenButton;
    // Every message and question of the checks.
    WinInfoDialog question;

private:
    void OnPathCommand(WPARAM command, LPARAM value);
    void PlaceChildren(const RECT& client);
    void OpenInShell();
    // Shows a message or question of the "PathBox" texts about a path over
    // the dialog; the value of the button chosen.
    // 0 when the chooser was cancelled meanwhile.
    int32_t Ask(const RawLayer::RawString& key, const RawLayer::RawString& about, const RawLayer::RawLabelUnit* table,
                uint32_t icon);

    // Set while a question of the checks is open.
    bool asking_ = false;
};

}  // namespace WinLayer
