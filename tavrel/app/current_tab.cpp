// The current tab in the views, and the buttons that mirror its options.
#include "tavrel/app/current_tab.h"

#include "tavrel/jobs/pair_line.h"

namespace AppLayer {

namespace {

JobGroupUnit* ShownJob(GuiViewSet& views) { return views.tabBar.CurrentJob(); }

void Repaint(WinLayer::WinView& view) {
    if (view.window) InvalidateRect(view.window, nullptr, FALSE);
}

}  // namespace

void SetButtonChecked(GuiButton& button, bool on) {
    if (button.checked == on) return;
    button.checked = on;
    Repaint(button);
}

void ShowCurrentTab(GuiViewSet& views) {
    views.folderBox.SetJob(ShownJob(views));
    ShowEditableStates(views);
    ShowSimpleState(views);
    ShowFilterStates(views);
    Repaint(views.tabBar);
    Repaint(views.positionBar);
}

void RefreshAfterJobChange(GuiViewSet& views) {
    views.folderBox.RefreshRows();
    Repaint(views.positionBar);
    Repaint(views.tabBar);
}

void ShowEditableStates(GuiViewSet& views) {
    const JobGroupUnit* job = ShownJob(views);
    SetButtonChecked(views.buttons[BtnEditable1], job && job->edit.edit1);
    SetButtonChecked(views.buttons[BtnEditable2], job && job->edit.edit2);
}

void ShowSimpleState(GuiViewSet& views) {
    const JobGroupUnit* job = ShownJob(views);
    SetButtonChecked(views.buttons[BtnSimple], job && job->edit.simple);
}

void ShowFilterStates(GuiViewSet& views) {
    const JobGroupUnit* job = ShownJob(views);
    const uint16_t word = job ? job->statusMask : static_cast<uint16_t>(JobLayer::StatusAll);
    static constexpr uint16_t kBits[4] = {JobLayer::StatusSame, JobLayer::StatusDifferent, JobLayer::StatusOnly1,
                                          JobLayer::StatusOnly2};
    for (int32_t i = 0; i < 4; ++i) SetButtonChecked(views.FilterButton(i), (word & kBits[i]) != 0);
}

uint16_t FilterWordOfButtons(GuiViewSet& views) {
    const bool same = views.FilterButton(0).checked;
    const bool different = views.FilterButton(1).checked;
    uint16_t word = 12;
    if (same) word |= JobLayer::StatusSame;
    if (different) word |= JobLayer::StatusDifferent;
    if (!views.FilterButton(2).checked) word = static_cast<uint16_t>(word & ~JobLayer::StatusOnly1);
    if (!views.FilterButton(3).checked) word = static_cast<uint16_t>(word & ~JobLayer::StatusOnly2);
    return word;
}

void SetFilterWord(GuiViewSet& views, uint16_t word) {
    JobGroupUnit* job = ShownJob(views);
    if (!job) return;
    job->statusMask = word;
    views.folderBox.RefreshRows();
}

}  // namespace AppLayer
