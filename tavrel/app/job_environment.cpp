// Side operations of the folder box through the job environment.
#include "tavrel/app/job_environment.h"

#include "base/shell.h"
#include "tavrel/app/command_codes.h"
#include "tavrel/jobs/binary_kind.h"

namespace AppLayer {

bool SideCanBeEdited(const JobGroupUnit& job, uint32_t side) {
    const uint16_t flags = job.Content(side).flags;
    constexpr uint16_t kRefused = JobLayer::ContentNoFile | JobLayer::ContentCut | JobLayer::ContentUnreadable;
    return (flags & JobLayer::ContentRead) && !(flags & kRefused);
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
    box.SendCommand(CmdShowEditable);
    return true;
}

void OpenFolderInShell(const RawLayer::RawString& path) {
    RawLayer::RawShell shell(path);
    shell.Execute(RawLayer::RawString(), RawLayer::RawString());
    shell.CloseProcess();
}

}  // namespace AppLayer
