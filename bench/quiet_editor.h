// An editor with no views behind it, for the benchmarks that run edit
// commands: only the command itself is measured. It counts the commands
// that were refused.
#pragma once

#include "tavrel/jobs/action_args.h"
#include "tavrel/jobs/job_kind_control.h"

class QuietEditor : public JobLayer::JobViewEditor {
public:
    int32_t CountSelectedRows() override { return 0; }
    int32_t RestoreSelection() override { return 0; }
    void ResetFilter() override {}
    void RefreshViews() override {}
    void UpdateCaret() override {}
    bool MoveToContentRow() override { return true; }
    void RepaintViews() override {}
    void RefreshFolderBox() override {}
    void Alert() override { ++alerts; }
    bool RunInputDialog(JobLayer::ActionArgs&) override { return false; }
    WinLayer::WinListBox* FolderBox() override { return nullptr; }
    int alerts = 0;
};
