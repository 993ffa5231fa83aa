// The main window of the compare tool: its placement and the writing back
// of its rectangle, the creation of its children, what creating and
// destroying the window start and stop, the command dispatcher, restart,
// and closing with unsaved edits.
#pragma once

#include <windows.h>

#include <cstdint>
#include <vector>

#include "base/raw_string.h"
#include "tavrel/app/main_command.h"
#include "tavrel/app/title_menu.h"
#include "tavrel/app/view_set.h"
#include "toolkit/dialog.h"
#include "toolkit/path_dialog.h"

namespace AppLayer {

using RawLayer::RawString;

RAW_CONSTANT_TEXT(ApplicationNameText, "Tavrel")
// A text of the language section "ToolMessage" (titles, labels and
// questions of the dialogs the main window and its folder box open).
RawString ToolMessageText(const char* key);
// The title of such a dialog: "Tavrel - " and the text of the key.
RawString ToolMessageTitle(const char* key);
RAW_CONSTANT_TEXT(MainDialogSectionText, "MainDialog")
RAW_CONSTANT_TEXT(WindowRectPrefixText, "WindowRect")
RAW_CONSTANT_TEXT(FixRectKeyText, "FixRect")

// The window rectangle to create the main window with: the stored one when
// it is readable and lies on a monitor (one on no monitor keeps its size
// and is centred), else the default size centred. A rectangle larger than
// the work area is first shrunk to it.
RECT MainWindowPlacement(const RECT& defaultRect, const RawLayer::RawParameterList* stored, const RECT& workArea);
// Every job open in this process, for the window closing.
std::vector<JobGroupUnit*> EveryOpenJob();

class GuiMainDialog : public WinLayer::WinDialog {
public:
    // Answers of the question before edits would be lost.
    enum : int32_t {
        AnswerSave = 1,
        AnswerDiscard = 2,
        AnswerStay = 3,
    };

    GuiMainDialog();
    ~GuiMainDialog() override;

    // Builds the command bar and places the window (before Create).
    void Setup();

    LRESULT OnCommand(uint16_t code) override;
    void OnCreated() override;
    void OnDestroying() override;
    LRESULT OnChildCommand(WinLayer::WinView* child, uint16_t code) override;
    bool OnMinMaxSize(SIZE& shrink, SIZE& growth) override;
    void OnLayout() override;
    void SavePlacement(int32_t stateLeft, int32_t stateEntered) override;
    void CreateChildren() override;
    // With unsaved edits asks first: with backups disabled, whether to save
    // them; with backups on, only when their backup failed. False stays.
    bool OnClose() override;

    // ---- commands (main_dispatch.cpp) ---------------------------------------------
    void MainCommandDispatch(WinLayer::WinView* sender, uint16_t code);
    void UpdateButtonStates();
    // Writes the rectangle, starts the program again with "-g" and a file
    // of every tab's pair line (with the clip files handed over), and closes
    // this window once the start succeeded. False (nothing closed) when the start failed or edits are
    // to be kept.
    bool Restart();

    // Whether any tab's job holds unsaved edits.
    bool HasUnsavedEdits() const;
    // Asks Save / Discard / Stay (a modal question); saves on Save (every
    // tab's job, or only the one given). False when the window or the tab
    // is to stay.
    bool ConfirmUnsavedEdits(JobGroupUnit* only = nullptr);
    // Before a reload throws edits away: without backups, a job (or every
    // tab's, for none) with edits on a side of the mode is asked about as
    // closing asks. False when the edits are to stay.
    bool ConfirmReload(JobGroupUnit* only, uint32_t mode);
    // Before edits are dropped (a reload of the mode, a tab or the window
    // closing) with backups on: puts the edited sides of the jobs into a
    // backup; when one fails, asks whether to keep the edits. False when
    // they are kept (nothing is then to be reloaded or closed).
    bool BackUpEditsBeforeDrop(const std::vector<JobGroupUnit*>& jobs, uint32_t mode);

    GuiTMenuExecution titleMenu;
    GuiViewSet views;
    GuiMainCommand command;
    // The program a restart or "new dialog" starts; this program's own file
    // when empty.
    RawString restartProgram;
    // The group file the last restart wrote.
    RawString restartFile;
    // The chooser of the pair file's name.
    WinLayer::WinPathDialog pairChooser;
    // Set once a restart is under way; a second request does nothing.
    uint8_t restarting = 0;

private:
    void LayoutAnchors();
    // Scrolls the folder box so that the row the position bar was clicked
    // at stands in the middle.
    void CentreClickedRow();
    void RunSideCommand(uint32_t command, uint32_t side);
    void ReloadCurrent(uint32_t mode);
    void SaveCurrent(uint32_t mode);
};

}  // namespace AppLayer
