// The main window's side of the compare jobs: the editor through which a
// kind's edit commands reach the views.
#pragma once

#include <cstdint>

#include "tavrel/app/view_set.h"
#include "tavrel/jobs/job_kind_control.h"

namespace AppLayer {

class GuiMainDialog;

class GuiMainCommand : public JobLayer::JobViewEditor {
public:
    GuiMainCommand(GuiMainDialog& mainDialog, GuiViewSet& viewSet) : dialog(mainDialog), views(viewSet) {}

    int32_t CountSelectedRows() override;
    int32_t RestoreSelection() override;
    void ResetFilter() override;
    void RefreshViews() override;
    void UpdateCaret() override;
    bool MoveToContentRow() override;
    void RepaintViews() override;
    void RefreshFolderBox() override;
    // A beep, and the main window's caption flashed five times.
    void Alert() override;
    // Runs the input dialog on the request over the folder box, which gets
    // the keys back afterwards; true when it was finished with OK.
    bool RunInputDialog(JobLayer::ActionArgs& request) override;
    WinLayer::WinListBox* FolderBox() override;

    GuiMainDialog& dialog;
    GuiViewSet& views;
};

// The FLASHWINFO of Alert: its real size, five caption flashes of 70 ms.
FLASHWINFO AlertFlash(HWND window);

}  // namespace AppLayer
