// The folder box's input method: compositions go to the editable text side
// as edit commands, and the input method learns where the caret is.
#include "tavrel/app/folder_box.h"

#include <algorithm>

#include "tavrel/app/job_environment.h"

namespace AppLayer {

GuiFolderBoxImeControl::GuiFolderBoxImeControl(GuiFolderBox& owner) : WinImeControl(owner), box(owner) {}

void GuiFolderBoxImeControl::RunCommand(uint32_t command) {
    const uint32_t side = box.CurrentSide();
    JobLayer::JobViewEditor* editor = box.View().editor;
    if (side > 1 || !editor) return;
    JobGroupUnit& job = *box.Job();
    JobLayer::ActionArgs args;
    job.controller->Execute(*editor, job, side, command, args);
    box.InvalidateViews();
}

// The side's record of the input method: both texts and their words empty.
static void ClearSideComposition(JobLayer::JobSideRecord& record) {
    record.compositionContents = 0;
    WinLayer::ClearAttributedText(record.composition[0]);
    WinLayer::ClearAttributedText(record.composition[1]);
}

void GuiFolderBoxImeControl::OnStartComposition() {
    const uint32_t side = box.CurrentSide();
    if (side < 2) ClearSideComposition(box.Job()->Side(side));
    RunCommand(JobLayer::CommandImeCompositionStart);
}

void GuiFolderBoxImeControl::OnEndComposition() {
    const uint32_t side = box.CurrentSide();
    if (side < 2) ClearSideComposition(box.Job()->Side(side));
    RunCommand(JobLayer::CommandImeCompositionEnd);
}

void GuiFolderBoxImeControl::OnComposition(const WinLayer::WinImeComposition& record) {
    const uint32_t side = box.CurrentSide();
    if (side > 1) return;
    JobLayer::JobSideRecord& target = box.Job()->Side(side);
    target.compositionContents = record.contents;
    CopyComposition(target.composition[0], record.main);
    CopyComposition(target.composition[1], record.reading);
    RunCommand(JobLayer::CommandImeCompositionUpdate);
}

void GuiFolderBoxImeControl::OnOpenStatus(bool open) {
    const uint32_t side = box.CurrentSide();
    if (side < 2) {
        uint16_t& state = box.Job()->Side(side).imeState;
        state = static_cast<uint16_t>(open ? (state | 0x2) : (state & ~0x2));
    }
    box.InvalidateViews();
}

void GuiFolderBoxImeControl::QueryCharPosition(IMECHARPOSITION& position) {
    // The position the input method asked about stays as it gave it.
    RECT caret = box.CaretRect();
    POINT point{caret.left, caret.top};
    if (box.window) ClientToScreen(box.window, &point);
    position.pt = point;
    position.cLineHeight = static_cast<UINT>(std::max(box.RowHeight(), 0));
    RECT document{};
    if (box.window) GetWindowRect(box.window, &document);
    position.rcDocument = document;
}

LRESULT GuiFolderBoxImeControl::AnswerCharPosition(LPARAM lParam) {
    // Only a record of the size the input method and this program agree on
    // is read or written.
    auto* record = reinterpret_cast<IMECHARPOSITION*>(lParam);
    if (!record || record->dwSize < sizeof(IMECHARPOSITION)) return 0;
    QueryCharPosition(*record);
    return 1;
}

void GuiFolderBoxImeControl::UpdateImeState() {
    if (HasState(StateComposing) || !box.window) return;
    const uint32_t side = box.CurrentSide();
    JobGroupUnit& job = *box.Job();
    const bool editable = job.kind.kind == JobLayer::KindText && SideEditable(job, side);
    if (editable) {
        if (context && !HasState(StateAssociated)) Attach();
        SetOpen((job.Side(side).imeState & 0x2) != 0);
        return;
    }
    if (!context) return;
    SetOpen(false);
    if (HasState(StateAssociated)) {
        // Detaching: the same road as Release, keeping the context.
        HIMC kept = context;
        context = nullptr;
        Release();
        context = kept;
    }
}

}  // namespace AppLayer
