// The help viewer's main window: the button bar across the top, the tab bar
// of open documents under it, the table of contents on the left and the page
// view on the right, split by a divider. Builds the children, sizes and
// places the window from the GUI profile, lays the children out, saves the
// placement when the window goes and hands every command to the dispatcher.
#pragma once

#include <windows.h>

#include <cstdint>

#include "quenby/app/command_codes.h"
#include "quenby/app/print_progress.h"
#include "quenby/app/tab_bar.h"
#include "quenby/app/title_menu.h"
#include "quenby/app/tree_box.h"
#include "quenby/app/view_box.h"
#include "quenby/app/viewer_pieces.h"
#include "quenby/document/document_model.h"
#include "quenby/document/document_style.h"
#include "toolkit/button.h"
#include "toolkit/dialog.h"
#include "toolkit/divider.h"
#include "toolkit/enter_control.h"

namespace AppLayer {

class GuiMainDialog;

// The construction part of the item set; no operations of its own.
struct GuiMainCreation {};

class GuiMainItems : public GuiMainCreation, public WinPrintProgressDialog::Executer {
public:
    enum : uint16_t {
        // A tab switch restores the boxes' cursors and tops: their
        // notifications are not stored back.
        FlagRestoring = 1,
        // One box moves the other: the echo is ignored.
        FlagSynchronising = 2,
        // Laying out the current document ran out of memory: the boxes show
        // nothing until its tab goes.
        FlagShowFailed = 4,
    };
    static constexpr int32_t kButtonCount = 15;
    // Indices into Buttons() of the buttons named by the commands.
    enum : int32_t {
        ButtonFontReset = 2,
        ButtonResize = 8,
        ButtonMargin = 9,
        ButtonClipToc = 10,
        ButtonPrint = 11,
        ButtonReload = 12,
        ButtonReboot = 13,
        ButtonPage = 14,
    };

    GuiMainItems();
    ~GuiMainItems() override;
    GuiMainItems(const GuiMainItems&) = delete;
    GuiMainItems& operator=(const GuiMainItems&) = delete;

    // The print worker's side: prints the view box's document into the
    // record's printer DC; the pages that hold the selected lines.
    WinPrintListBox::PrintOutcome PrintDocument(WinPrintDialogRecord& record,
                                                WinPrintListBox::PageChecker& checker) override;
    WinPageRange SelectedPageRange(const WinSelectionRecord& selection) override;
    // A print job reads the boxes' lines: they neither lay out nor paint
    // meanwhile, and catch up afterwards.
    void SetPrintJob(bool on);

    // The buttons in construction order.
    WinLayer::WinButton* const* Buttons() const { return buttons_; }
    WinLayer::WinButton& Button(int32_t index) const { return *buttons_[index]; }

    // 1. open-document bookkeeping
    DocumentStyle style;
    JobFileList documents;
    // 2. the rows
    WinLayer::WinViewResize buttonRow;
    WinLayer::WinViewResize tabRow;
    WinLayer::WinViewResize treeViewArea;
    // 3.
    WinLayer::WinDivider divider;
    // 4. the fifteen buttons
    WinLayer::WinButton fontSelect;
    WinLayer::WinButton fontMinus;
    WinLayer::WinIconButton fontReset;
    WinLayer::WinButton fontPlus;
    WinLayer::WinButton fontSave;
    WinLayer::WinButton search;
    WinLayer::WinButton searchPrevious;
    WinLayer::WinButton searchNext;
    WinLayer::WinButton resize;
    WinLayer::WinButton margin;
    WinLayer::WinButton clipToc;
    WinLayer::WinButton print;
    WinLayer::WinButton reload;
    WinLayer::WinButton reboot;
    WinLayer::WinButton page;
    // 5.-7.
    GuiTabBar tabBar;
    GuiTreeBox tree;
    GuiViewBox view;
    // 8.
    JobLineList* currentDocument = nullptr;
    DocumentStyle* currentStyle = nullptr;
    uint16_t flagWord = 0;

private:
    WinLayer::WinButton* buttons_[kButtonCount];
};

// Builds the members' views over the dialog (no windows yet).
void CreateMainItems(GuiMainItems& items, GuiMainDialog& dialog);
// Releases what the members hold, in reverse order.
void DestroyMainItems(GuiMainItems& items);

class GuiMainDialog : public WinLayer::WinDialog {
public:
    // Width of the divider: a vertical scroll bar plus 4.
    static int32_t DividerWidth();
    // Least size of the tree and the view.
    static constexpr int32_t kPaneLeastWidth = 100;
    static constexpr int32_t kPaneLeastHeight = 50;
    // The largest control spacing taken from a profile.
    static constexpr int32_t kMostMargin = 64;

    GuiMainDialog();
    ~GuiMainDialog() override;

    // ---- the view interface ---------------------------------------------------------
    void CreateChildren() override;
    // Losing the activation ends the tree's tip: a topmost tip would stay
    // over other programs.
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    LRESULT OnCommand(uint16_t code) override;
    void OnCreated() override;
    LRESULT OnChildCommand(WinLayer::WinView* sender, uint16_t code) override;
    bool OnMinMaxSize(SIZE& shrink, SIZE& growth) override;
    void OnLayout() override;
    // Saves the placement when the window is being destroyed and restores
    // the divider on the first sizing.
    void SavePlacement(int32_t stateLeft, int32_t stateEntered) override;
    void OnDestroying() override;

    // ---- placement ------------------------------------------------------------------
    // Writes "WindowRect" (the restored rectangle, also while minimised or
    // maximised) and "DividerPoint" into section "MainDialog".
    void SaveWindowPlacement();
    // Moves the divider to a stored place, within the panes' least sizes.
    void RestoreDivider();
    // Moves the divider to a left edge (clamped) and lays the panes out.
    void MoveDividerTo(int32_t left);

    // ---- start and commands -----------------------------------------------------------
    // When the window has been created: page-view flag, program style, the
    // empty document, the pending documents, the tab of "-i".
    void OpenStartDocuments();
    // Opens each pending document that is an existing file.
    void OpenPendingDocuments();
    // Opens (or reads again) one document into its tab and shows it. A
    // document too large or beyond the memory is told and leaves the tabs
    // as they were (a document read again that ran out of memory loses its
    // tab). True when the document is shown.
    bool OpenDocumentTab(const RawString& path);
    // Shows the four page buttons in page view, hides them otherwise.
    void ShowPageButtons(bool shown);

    GuiTMenuExecution titleMenu;
    GuiMainItems items;
    // Set once the window is being destroyed by a restart.
    bool destroyRequested = false;
};

// The window text, style, least size and start rectangle of the dialog;
// builds the button bar first.
void SetUpMainDialog(GuiMainDialog& dialog);
// Creates the buttons' views (captions from "ItemLabels") and lays out the
// three rows; the least client size that holds them.
SIZE BuildButtonBar(GuiMainDialog& dialog);
// Code 4104 from the tab bar: both boxes show the current tab's document
// where the user left it (cursors and top lines), the page buttons follow
// the page-view flag.
void ShowCurrentDocument(GuiMainDialog& dialog);
// The document's page view follows the flag (its style's page mode; the
// view box's page mode).
void SetDocumentPageView(GuiMainDialog& dialog, JobLineList& document, bool pageView);
// Code 4358: the system print dialog, the page-size check and the print
// run behind its progress dialog; a failed job is told.
void RunPrintCommand(GuiMainDialog& dialog);
// The progress run of one job over the main window: the boxes keep off the
// lines meanwhile; a failed job is told. How the job ended.
WinPrintListBox::PrintOutcome RunPrintJob(GuiMainDialog& dialog, WinPrintDialogRecord& record,
                                          const WinSelectionRecord& selection,
                                          WinPrintProgressDialog::Executer& executer);
// Code 4359: the printer's page size becomes the document's page size.
void RunPrintSetup(GuiMainDialog& dialog);
// Code 4360: the margin dialog; its result becomes the document's margins.
// The page view then shows them (as ShowPageView).
void RunMarginCommand(GuiMainDialog& dialog);
// Turns the page view on (the Page button checked) and lays the document
// out in pages.
void ShowPageView(GuiMainDialog& dialog);
// A message box over the owner with the program's name as its title; the
// button pressed.
int32_t ShowInfoText(WinLayer::WinView& owner, const RawString& text, const RawLayer::RawLabelUnit* table);
// Every command code of the main window.
void DispatchMainCommand(GuiMainDialog& dialog, WinLayer::WinView* sender, uint16_t code);

}  // namespace AppLayer
