// The backup dialog: the backups newest first, coloured by state, the
// items of one backup in a nested dialog of the same class, opening the
// backup or the source folder, and restoring the selected backups or items
// with one message telling how it went.
#pragma once

#include <windows.h>

#include <cstdint>
#include <vector>

#include "base/raw_string.h"
#include "tavrel/jobs/backup/backup_store.h"
#include "toolkit/button.h"
#include "toolkit/dialog.h"
#include "toolkit/list_box.h"

namespace AppLayer {

using JobLayer::JobBackupListLink;
using JobLayer::JobBackupUnitLink;
using RawLayer::RawString;

RAW_CONSTANT_TEXT(BackupDialogSectionText, "BackupDialog")
RAW_CONSTANT_TEXT(BackuppedListKeyText, "BackuppedList")
RAW_CONSTANT_TEXT(RestoreMessageSectionText, "RestoreMessage")

class GuiBackupDialog;

// The list of backups or items. Each item's state is read when the list is
// filled and again after a restore, never while painting: the state of an
// item compares whole folder trees.
class GuiBackupBox : public WinLayer::WinListBoxR<JobBackupUnitLink> {
public:
    // Colours of the entries by state.
    static COLORREF StateColor(uint32_t state);
    static constexpr COLORREF kKeyColor = 0x608080;
    static constexpr COLORREF kRuleColor = 0xE0E0E0;

    GuiBackupBox(GuiBackupDialog& dialog, JobBackupListLink& link);

    // Reloads the items from the link: a backup list newest first, items in
    // their order.
    void Fill();
    // Reads every item's state again.
    void ReadStates();
    uint32_t StateAt(int32_t index) const;
    // The nested dialog of the one selected backup.
    void OpenDetail();
    // The message of restore result bits.
    void ShowRestoreResult(uint32_t bits);

    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    bool OnItemDoubleClick(POINT point, int32_t index) override;
    void SetPaintRect(WinLayer::WinDrawContext& dc, const RECT& rect, POINT origin) override;
    void MeasureRow(WinLayer::WinDrawContext& dc, SIZE& size) override;
    void BeginMeasure(WinLayer::WinDrawContext& dc, int32_t count) override;
    void MeasureItemOf(WinLayer::WinDrawContext& dc, RECT& size, int32_t index, WinLayer::WinListBoxItemUnit& unit,
                       JobBackupUnitLink* record) override;
    void DrawItemOf(WinLayer::WinDrawContext& dc, const RECT& rect, int32_t index, WinLayer::WinListBoxItemUnit& unit,
                    JobBackupUnitLink* record) override;

    GuiBackupDialog& dialog;
    JobBackupListLink& link;
    int32_t tabLength = 4;
    int32_t rowHeight = 0;
    int32_t keyWidth = 0;
    RECT paintArea{};

private:
    LONG MeasureWidth(WinLayer::WinDrawContext& dc, const RawString& text) const;
    // The label column: the widest label of every entry, plus 3.
    void MeasureKeyColumn(WinLayer::WinDrawContext& dc);

    std::vector<uint32_t> states_;
};

class GuiBackupDialog : public WinLayer::WinDialog {
public:
    enum ButtonIndex : int32_t {
        ButtonRestore,
        ButtonForce,
        ButtonBackuppedData,
        ButtonSourceFolder,
        ButtonDetail,
        ButtonClose,
        ButtonCount,
    };
    // Notification codes of the buttons.
    enum : uint16_t {
        CodeDetail = 0x1100,
        CodeBackuppedData = 0x1101,
        CodeSourceFolder = 0x1102,
        CodeRestore = 0x1103,
        CodeForce = 0x1104,
        CodeClose = 0x1105,
    };

    explicit GuiBackupDialog(JobBackupListLink& link);

    // Captions, layout, the least size, and the place over the owner.
    void Setup(WinLayer::WinView& ownerView, const RawString& caption);
    // Enables the buttons for the selection.
    void UpdateButtons();
    // Whether the list is one of backups (with a Detail button).
    bool ListsBackups() const { return link.Kind() == JobBackupListLink::KindBackups; }
    // Runs a dialog modally over this one; the outer buttons and Escape do
    // nothing meanwhile.
    int32_t RunNested(WinLayer::WinDialog& nested);

    bool OnClose() override;
    void OnCreated() override;
    LRESULT OnChildCommand(WinLayer::WinView* child, uint16_t code) override;
    bool OnMinMaxSize(SIZE& shrink, SIZE& growth) override;
    void OnLayout() override;
    void CreateChildren() override;

    JobBackupListLink& link;
    WinLayer::WinViewResize buttonRow;
    WinLayer::WinViewResize listGroup;
    WinLayer::WinButton buttons[ButtonCount];
    GuiBackupBox list;
    // The list group's set-up size: the least it may become.
    SIZE leastList{};
    // Set when the list could not be read in time.
    bool notLoaded = false;
    int32_t nested = 0;

private:
    void Restore();
    void OpenSelectedFolder(bool source);
    void Close();
};

// The backup dialog of the main window over the store's list (command 4387).
void RunBackupDialog(WinLayer::WinView& mainDialog);

}  // namespace AppLayer
