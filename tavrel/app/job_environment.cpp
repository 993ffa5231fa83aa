// Side operations of the folder box through the job environment.
#include "tavrel/app/job_environment.h"

#include "base/profile.h"
#include "base/shell.h"
#include "tavrel/app/command_codes.h"
#include "tavrel/jobs/binary/binary_kind.h"
#include "tavrel/jobs/config_store.h"

namespace AppLayer {

using RawLayer::RawString;

bool SideCanBeEdited(const JobGroupUnit& job, uint32_t side) {
    const uint16_t flags = job.Content(side).flags;
    constexpr uint16_t kRefused = JobLayer::ContentNoFile | JobLayer::ContentCut | JobLayer::ContentUnreadable;
    return (flags & JobLayer::ContentRead) && !(flags & kRefused);
}

const JobLayer::JobContentUnit* RealEntry(const JobReportUnit* row, uint32_t side) {
    const JobLayer::JobContentUnit* unit = RealUnit(row, side);
    return unit && !unit->IsHeader() ? unit : nullptr;
}

bool SideEditable(const JobGroupUnit& job, uint32_t side) {
    return side < 2 && (side == 0 ? job.edit.edit1 : job.edit.edit2) != 0;
}

void ToggleInsertMode(GuiFolderBox& box, uint32_t side) {
    JobGroupUnit* job = box.Job();
    if (!job || job->kind.kind != JobLayer::KindBinary || !SideEditable(*job, side)) return;
    JobLayer::JobSideRecord& record = job->Side(side);
    JobLayer::BinaryInsertMode(record) = JobLayer::BinaryInsertMode(record) ? 0 : 1;
    JobLayer::BinaryPendingHalfByte(record) = 0;
    box.InvalidateViews();
}

bool SetSideEditable(GuiFolderBox& box, uint32_t side, bool on) {
    JobGroupUnit* job = box.Job();
    if (!job || side > 1 || !SideCanBeEdited(*job, side)) return false;
    uint8_t& editable = side == 0 ? job->edit.edit1 : job->edit.edit2;
    if (editable && job->kind.kind == JobLayer::KindBinary) {
        JobLayer::JobSideRecord& record = job->Side(side);
        JobLayer::BinaryInsertMode(record) = 0;
        JobLayer::BinaryPendingHalfByte(record) = 0;
        if (box.window) InvalidateRect(box.window, nullptr, FALSE);
    }
    editable = on ? 1 : 0;
    box.RefreshCaret();
    box.SendCommand(CmdShowEditable);
    return true;
}

namespace {

using WinLayer::WinListBoxItemUnit;


// Calls `each` with every selected row of the box, in row order, after the
// rows took the box's selection.
template <typename Each>
void ForSelectedRows(GuiFolderBox& box, Each each) {
    box.MarkSelectedRows();
    box.ForEachSelected([&](const WinListBoxItemUnit& item, int32_t) {
        const JobReportUnit* row = GuiFolderBox::ItemOf(item);
        return !row || each(*row);
    });
}

JobLayer::ShellCommandStore& Environment() { return JobLayer::ShellCommandStore::Instance(); }

bool IsFileKind(uint32_t kind) { return kind == JobLayer::KindText || kind == JobLayer::KindBinary; }

bool SetKindReported(const RawString& name, uint32_t kind) {
    if (JobLayer::ExtensionKindTable::LowerExtension(name).IsEmpty()) return true;
    if (Environment().extensionTable.SetKind(name, kind)) return true;
    JobLayer::ReportError(JobLayer::WriteErrorText(), JobLayer::ConfigStore::Instance().configPath);
    return false;
}

}  // namespace

void ShellOpenPath(GuiFolderBox& box, uint32_t side) {
    JobGroupUnit* job = box.Job();
    if (!job || side > 1) return;
    const JobLayer::JobOpenShellList& commands = Environment().openCommands;
    if (job->kind.kind == JobLayer::KindPath) {
        ForSelectedRows(box, [&](const JobReportUnit& row) {
            const JobLayer::JobContentUnit* unit = RealEntry(&row, side);
            if (unit && !unit->Name().IsEmpty()) commands.OpenPath(unit->Name(), 0);
            return true;
        });
        return;
    }
    if (!IsFileKind(job->kind.kind) || job->Path(side).IsEmpty()) return;
    int32_t line = 0;
    bool found = false;
    for (const WinListBoxItemUnit& item : box.items) {
        const JobReportUnit* row = GuiFolderBox::ItemOf(item);
        if (RealEntry(row, side)) ++line;
        if (item.flags & WinListBoxItemUnit::ItemSelected) {
            found = true;
            break;
        }
    }
    commands.OpenPath(job->Path(side), found ? line : 0);
}

void ShellOpenParent(GuiFolderBox& box, uint32_t side) {
    JobGroupUnit* job = box.Job();
    if (!job || side > 1 || job->Path(side).IsEmpty()) return;
    const RawString& path = job->Path(side);
    if (job->kind.kind == JobLayer::KindPath) {
        Environment().openCommands.OpenPath(path, 0);
    } else if (IsFileKind(job->kind.kind)) {
        RawString folder;
        folder.AssignRange(path, RawLayer::PathFolderRange(path));
        if (!folder.IsEmpty()) Environment().openCommands.OpenPath(folder, 0);
    }
}

bool SetExtensionKind(GuiFolderBox& box, uint32_t side, uint32_t kind) {
    JobGroupUnit* job = box.Job();
    if (!job || side > 1) return false;
    if (IsFileKind(job->kind.kind)) return SetKindReported(job->Path(side), kind);
    if (job->kind.kind != JobLayer::KindPath) return false;
    bool written = true;
    ForSelectedRows(box, [&](const JobReportUnit& row) {
        for (uint32_t each = 0; each < 2; ++each) {
            JobLayer::JobContentUnit* unit = row.Unit(each);
            if (!RealEntry(&row, each)) continue;
            written = SetKindReported(unit->ColumnText(0), kind) && written;
            unit->UpdateKind();
        }
        return true;
    });
    if (box.window) InvalidateRect(box.window, nullptr, FALSE);
    return written;
}

bool RunUserCommandOnRows(GuiFolderBox& box, JobLayer::JobUserShellUnit& command, uint32_t side) {
    bool started = true;
    ForSelectedRows(box, [&](const JobReportUnit& row) {
        const JobLayer::JobContentUnit* unit1 = RealEntry(&row, 0);
        const JobLayer::JobContentUnit* unit2 = RealEntry(&row, 1);
        const JobLayer::JobKindType pair = JobLayer::JobKindType::FromSideKinds(
            unit1 ? unit1->EntryKind() : JobLayer::KindNone, unit2 ? unit2->EntryKind() : JobLayer::KindNone);
        if (!command.AcceptsKind(pair.kind)) return true;
        started = command.Run(side == 1, unit1 ? unit1->Name() : RawString(), unit2 ? unit2->Name() : RawString());
        return started;
    });
    return started;
}

void ResetDividingPoint(GuiFolderBox& box) {
    box.ResetDividingPoint();
    box.LayoutColumns();
    box.InvalidateViews();
}

void OpenFolderInShell(const RawLayer::RawString& path) {
    RawLayer::RawShell shell(path);
    shell.Execute(RawLayer::RawString(), RawLayer::RawString());
    shell.CloseProcess();
}

}  // namespace AppLayer
