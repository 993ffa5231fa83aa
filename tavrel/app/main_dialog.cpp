// The main window: placement, children, the start and end of a run, layout
// and closing with unsaved edits.
#include "tavrel/app/main_dialog.h"

#include <algorithm>

#include "base/api_text.h"
#include "base/file_system.h"
#include "base/language.h"
#include "tavrel/app/command_bar.h"
#include "tavrel/app/command_codes.h"
#include "tavrel/app/current_tab.h"
#include "tavrel/app/tab_operations.h"
#include "tavrel/jobs/backup/backup_store.h"
#include "tavrel/jobs/config_store.h"
#include "tavrel/jobs/gui_profile.h"
#include "tavrel/jobs/shell_commands.h"
#include "toolkit/bitmap_pool.h"
#include "toolkit/environment.h"
#include "toolkit/info_dialog.h"
#include "toolkit/layout.h"

namespace AppLayer {

using JobLayer::JobGroupList;
using RawLayer::RawParameterList;
using WinLayer::WinView;

namespace {

RAW_CONSTANT_TEXT(MainDialogClassText, "Tavrel_Main")

constexpr uint16_t kApplicationIcon = 130;

// The program's own questions; the input dialogs' prompts of the same
// section are the base library's defaults.
const RawLayer::RawLocaleRecord* QuestionTexts() {
    static const RawLayer::RawLocaleRecord table[] = {
        {"Yes", "Yes"},
        {"No", "No"},
        {"Cancel", "Cancel"},
        {"UnsavedEdits", "Edits are not saved, and backups are disabled: a discarded edit is lost.\n"
                         "Save them ?"},
        {"Keep", "Keep"},
        {"Discard", "Discard"},
        {"BackupFailedEdits", "Edits are not saved, and their backup failed: a discarded edit is lost.\n"
                              "Keep them ?"},
        {"", ""},
    };
    return table;
}

LONG RectWidth(const RECT& rect) { return rect.right - rect.left; }
LONG RectHeight(const RECT& rect) { return rect.bottom - rect.top; }

RECT CentredIn(LONG width, LONG height, const RECT& area) {
    const LONG left = (RectWidth(area) - width) / 2 + area.left;
    const LONG top = (RectHeight(area) - height) / 2 + area.top;
    return RECT{left, top, left + width, top + height};
}

// Whether the job holds edits not saved yet: the job's mark or a side's
// content.
bool JobHasEdits(const JobGroupUnit* job) {
    return job && ((job->flags & JobLayer::JobChanged) || (job->Content(0).flags & JobLayer::ContentChanged) ||
                   (job->Content(1).flags & JobLayer::ContentChanged));
}

// The sides of the mode whose edits are not saved, as bits 1 (side 1) and
// 2 (side 2).
uint32_t EditedSides(const JobGroupUnit& job, uint32_t mode) {
    uint32_t sides = 0;
    for (uint32_t side = 0; side < 2; ++side) {
        if (JobLayer::ModeNamesSide(mode, side) && (job.Content(side).flags & JobLayer::ContentChanged))
            sides |= 1u << side;
    }
    return sides;
}

void MarkSidesChanged(JobGroupUnit& job, uint32_t sides, bool changed) {
    for (uint32_t side = 0; side < 2; ++side) {
        if (!(sides & (1u << side))) continue;
        JobLayer::JobContentList& content = job.Content(side);
        content.flags = static_cast<uint16_t>(changed ? content.flags | JobLayer::ContentChanged
                                                      : content.flags & ~JobLayer::ContentChanged);
    }
    JobGroupUnit::UpdateSideFlag(&job);
}

// The jobs whose edits go when the tab of a job closes: the job itself when
// no other tab holds it, and every job its folder compare opened.
std::vector<JobGroupUnit*> JobsClosedWith(JobGroupUnit* job) {
    std::vector<JobGroupUnit*> jobs;
    if (!job || job->useCount > 1) return jobs;
    jobs.push_back(job);
    for (JobGroupUnit& other : JobGroupList::Instance()) {
        if (&other != job && other.useCount <= 0 && JobGroupUnit::IsAncestor(job, &other)) jobs.push_back(&other);
    }
    return jobs;
}

}  // namespace

std::vector<JobGroupUnit*> EveryOpenJob() {
    // Every open job goes with the window, also those only a folder
    // compare opened.
    std::vector<JobGroupUnit*> jobs;
    for (JobGroupUnit& job : JobGroupList::Instance()) jobs.push_back(&job);
    return jobs;
}

RECT MainWindowPlacement(const RECT& defaultRect, const RawParameterList* stored, const RECT& workArea) {
    RECT placed = defaultRect;
    bool fromProfile = false;
    if (stored) {
        RECT candidate = defaultRect;
        // An inverted, empty or out-of-range rectangle is refused whole.
        fromProfile = WinLayer::WinWindowRect::Read(candidate, WindowRectPrefixText(), *stored);
        if (fromProfile) placed = candidate;
    }
    const LONG width = std::min(RectWidth(placed), RectWidth(workArea));
    const LONG height = std::min(RectHeight(placed), RectHeight(workArea));
    if (!fromProfile || width != RectWidth(placed) || height != RectHeight(placed)) {
        // Shrunk before centring: the title bar never lies above the screen.
        return CentredIn(width, height, workArea);
    }
    RECT kept = placed;
    if (!WinLayer::WinWindowRect::KeepOnScreen(kept)) kept = CentredIn(width, height, workArea);
    return kept;
}

GuiMainDialog::GuiMainDialog() : titleMenu(*this), command(*this, views) {
    className = MainDialogClassText();
    largeIconId = kApplicationIcon;
    smallIconId = kApplicationIcon;
    hooks.AddHook(&titleMenu);
    views.folderBox.View().editor = &command;
    // Closing a tab or replacing its pair may discard edits: without
    // backups, the user is asked first.
    views.tabBar.confirmRelease = [this](JobGroupUnit* job) {
        if (!JobLayer::ConfigStore::Instance().backupDisabled)
            return BackUpEditsBeforeDrop(JobsClosedWith(job), JobLayer::ModeBoth);
        if (!JobHasEdits(job)) return true;
        return ConfirmUnsavedEdits(job);
    };
}

GuiMainDialog::~GuiMainDialog() { hooks.RemoveHook(&titleMenu); }

void GuiMainDialog::Setup() {
    const RECT client = MainCommandButtons(views);
    SetText(ApplicationNameText());
    style |= WS_OVERLAPPEDWINDOW;
    anchor.rect = client;
    rect = client;
    WindowRectFromClient();
    RECT area{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
    const RECT centred = CentredIn(Width(), Height(), area);

    WinLayer::WinViewResize* records = views.anchors;
    records[AnchorButtonArea].anchors = 0x2111;
    records[AnchorViewArea].anchors = 0x1111;
    records[AnchorStatusArea].anchors = 0x1211;
    for (int32_t i = AnchorButtonArea; i <= AnchorStatusArea; ++i) records[i].Follow(&anchor.rect);
    views.divider.anchors = 0x1211;
    views.divider.Follow(&anchor.rect);

    RawParameterList section;
    const bool readable = section.ReadSection(JobLayer::GuiProfileStore::Instance().file, MainDialogSectionText());
    rect = MainWindowPlacement(centred, readable ? &section : nullptr, area);
    normalRect = rect;
}

void GuiMainDialog::CreateChildren() {
    for (GuiButton& button : views.buttons) CreateChild(button);
    CreateChild(views.tabBar);
    CreateChild(views.folderBox);
    CreateChild(views.twinBar);
    CreateChild(views.positionBar);
    CreateChild(views.detail1);
    CreateChild(views.detail2);
    CreateChild(views.divider);
    CreateChild(views.statusBox);
    anchor.minimum = RECT{};
}

void GuiMainDialog::OnCreated() {
    JobLayer::ShellCommandStore& environment = JobLayer::ShellCommandStore::Instance();
    environment.Load();
    environment.SetOutput(&views.statusBox);
    // A message handler that fails is reported there too.
    WinLayer::WinEnvironment::Instance().logger = &views.statusBox;
    const JobLayer::ConfigStore& options = JobLayer::ConfigStore::Instance();
    JobLayer::JobBackupList& backups = JobLayer::JobBackupList::Instance();
    backups.SetOptions(options.backupFolder, options.backupDays, options.backupDisabled);
    backups.StartLoader();

    JobGroupUnit* first = JobGroupList::Instance().CreateUnit(JobLayer::JobKindType::FromKind(JobLayer::KindNone));
    views.tabBar.InsertJob(nullptr, first);
    if (views.tabBar.window) InvalidateRect(views.tabBar.window, nullptr, FALSE);
    // The layout was made with the boxes' first font: changes of the line
    // height are counted from it.
    views.detailPair.lineHeight = MeasureLineHeight(views.detail1, views.detail1.GetEffectiveFont());
    views.detailPair.Reset();
    OpenStartSource(views, JobLayer::GuiProfileStore::Instance().startSource);
    if (views.folderBox.window) SetFocus(views.folderBox.window);
    ShowCurrentTab(views);
    UpdateButtonStates();
}

void GuiMainDialog::OnDestroying() {
    // Views that show a job let go of it first: from here on only the spare
    // job (kind none) is shown.
    views.folderBox.ReleaseJob();
    views.tabBar.ReleaseAllJobs();
    JobGroupList::Instance().PurgeClosed();
    JobLayer::JobBackupList::Instance().StopLoader();
    // Nothing may report to the status box any more: neither a late loader
    // line nor the environment removing its folder at exit.
    JobLayer::ShellCommandStore& environment = JobLayer::ShellCommandStore::Instance();
    environment.SetOutput(nullptr);
    WinLayer::WinEnvironment& windows = WinLayer::WinEnvironment::Instance();
    if (windows.logger == &views.statusBox) windows.logger = nullptr;
    environment.RemoveTempFolder();
    RemoveHandOverLeftovers();
    if (environment.iconPool) environment.iconPool->Release();
}

bool GuiMainDialog::OnMinMaxSize(SIZE& shrink, SIZE&) {
    const LONG g = WinLayer::WinEnvironment::Instance().margin;
    const RECT& least = views.anchors[AnchorToggleGroup].rect;
    const LONG leastWidth = RectWidth(least) + 2 * g;
    const LONG leastHeight = least.bottom + g;
    shrink.cx = std::min<LONG>(shrink.cx, std::max<LONG>(RectWidth(anchor.rect) - leastWidth, 0));
    shrink.cy = std::min<LONG>(shrink.cy, std::max<LONG>(RectHeight(anchor.rect) - leastHeight, 0));
    return true;
}

void GuiMainDialog::LayoutAnchors() {
    for (WinLayer::WinViewResize& record : views.anchors) record.Relayout();
}

void GuiMainDialog::OnLayout() {
    LayoutAnchors();
    WinDialog::OnLayout();
    const LONG limit = views.buttons[BtnEditable1].rect.left;
    for (int32_t i = 0; i < kPushButtonCount; ++i) UpdateButtonVisibility(views.buttons[i], limit);
}

void GuiMainDialog::SavePlacement(int32_t, int32_t stateEntered) {
    if (stateEntered != ShowDestroying) return;
    RawParameterList section;
    RawLayer::ProfileFileRef& file = JobLayer::GuiProfileStore::Instance().file;
    if (file.path.IsEmpty()) return;
    if (section.ReadSection(file, MainDialogSectionText())) {
        const RawLayer::RawParameterUnit* fix = section.Find(FixRectKeyText());
        if (fix && !fix->value.EqualsRangeNoCase(fix->value.All(), RawLayer::FalseText(),
                                                 RawLayer::FalseText().All())) {
            return;
        }
    } else {
        section = RawParameterList();
    }
    WinLayer::WinWindowRect::Write(normalRect, WindowRectPrefixText(), section);
    section.SetText(FixRectKeyText(), RawLayer::FalseText());
    // A failure to write the GUI profile is not reported.
    section.WriteSection(file, MainDialogSectionText());
}

RawString ToolMessageText(const char* key) {
    RawLayer::LanguageTable::Lookup(RawLayer::ToolMessageSectionText(), RawLayer::InputDialogTexts);
    const RawString section = RawLayer::LanguageTable::Lookup(RawLayer::ToolMessageSectionText(), QuestionTexts());
    return RawLayer::LanguageTable::Text(section, RawString::FromText(key));
}

RawString ToolMessageTitle(const char* key) { return RawLayer::TitlePrefixText().Concat(ToolMessageText(key)); }

bool GuiMainDialog::HasUnsavedEdits() const {
    for (const WinTabBarItemUnit& tab : views.tabBar.items) {
        if (JobHasEdits(GuiTabBar::JobOf(&tab))) return true;
    }
    return false;
}

bool GuiMainDialog::ConfirmUnsavedEdits(JobGroupUnit* only) {
    auto text = [](const char* key) { return ToolMessageText(key); };
    const RawLayer::RawLabelUnit table[] = {
        RawLayer::RawLabelUnit(text("Yes"), AnswerSave), RawLayer::RawLabelUnit(text("No"), AnswerDiscard),
        RawLayer::RawLabelUnit(text("Cancel"), AnswerStay), RawLayer::RawLabelUnit(RawString(), 0)};
    WinLayer::WinInfoDialog question;
    question.Setup(rect, ApplicationNameText(), text("UnsavedEdits"), table, WinLayer::WinInfoDialog::IconQuestion);
    const int32_t answer = question.RunModal(*this);
    if (answer == AnswerDiscard) return true;
    if (answer != AnswerSave) return false;
    bool saved = true;
    for (const WinTabBarItemUnit& tab : views.tabBar.items) {
        JobGroupUnit* job = GuiTabBar::JobOf(&tab);
        if ((!only || job == only) && JobHasEdits(job)) saved = job->controller->SaveFile(*job, JobLayer::ModeBoth) && saved;
    }
    // A save that failed keeps the window, so the edit is not lost.
    return saved;
}

bool GuiMainDialog::BackUpEditsBeforeDrop(const std::vector<JobGroupUnit*>& jobs, uint32_t mode) {
    if (JobLayer::ConfigStore::Instance().backupDisabled) return true;
    struct Outcome {
        JobGroupUnit* job;
        uint32_t backedUp;
        uint32_t failed;
    };
    std::vector<Outcome> outcomes;
    bool anyFailed = false;
    for (JobGroupUnit* job : jobs) {
        if (!job || job->IsClosed() || !job->controller) continue;
        const uint32_t edited = EditedSides(*job, mode);
        if (!edited) continue;
        // The same discard the reload or close would run; a side it could
        // not put into a backup stays marked changed.
        job->controller->DiscardFile(*job, mode);
        const uint32_t failed = EditedSides(*job, mode);
        outcomes.push_back(Outcome{job, edited & ~failed, failed});
        if (failed) anyFailed = true;
    }
    if (!anyFailed) return true;

    auto text = [](const char* key) { return ToolMessageText(key); };
    const RawLayer::RawLabelUnit table[] = {RawLayer::RawLabelUnit(text("Keep"), AnswerStay),
                                            RawLayer::RawLabelUnit(text("Discard"), AnswerDiscard),
                                            RawLayer::RawLabelUnit(RawString(), 0)};
    WinLayer::WinInfoDialog question;
    question.Setup(rect, ApplicationNameText(), text("BackupFailedEdits"), table,
                   WinLayer::WinInfoDialog::IconQuestion);
    const bool drop = question.RunModal(*this) == AnswerDiscard;
    for (const Outcome& outcome : outcomes) {
        if (drop) {
            MarkSidesChanged(*outcome.job, outcome.failed, false);
        } else if (outcome.backedUp) {
            // Nothing is reloaded or closed: edits that did reach a backup
            // are still the unsaved state of their side.
            MarkSidesChanged(*outcome.job, outcome.backedUp, true);
        }
    }
    if (!drop && views.tabBar.window) InvalidateRect(views.tabBar.window, nullptr, FALSE);
    return drop;
}

bool GuiMainDialog::ConfirmReload(JobGroupUnit* only, uint32_t mode) {
    if (!JobLayer::ConfigStore::Instance().backupDisabled) {
        std::vector<JobGroupUnit*> jobs;
        if (only) {
            jobs.push_back(only);
        } else {
            for (const WinTabBarItemUnit& tab : views.tabBar.items) jobs.push_back(GuiTabBar::JobOf(&tab));
        }
        return BackUpEditsBeforeDrop(jobs, mode);
    }
    bool edited = false;
    for (const WinTabBarItemUnit& tab : views.tabBar.items) {
        const JobGroupUnit* job = GuiTabBar::JobOf(&tab);
        if (!job || (only && job != only)) continue;
        if (mode == JobLayer::ModeBoth && (job->flags & JobLayer::JobChanged)) edited = true;
        for (uint32_t side = 0; side < 2; ++side) {
            if (JobLayer::ModeNamesSide(mode, side) && (job->Content(side).flags & JobLayer::ContentChanged))
                edited = true;
        }
    }
    return !edited || ConfirmUnsavedEdits(only);
}

bool GuiMainDialog::OnClose() {
    if (restarting) return true;
    if (JobLayer::ConfigStore::Instance().backupDisabled) return !HasUnsavedEdits() || ConfirmUnsavedEdits();
    return BackUpEditsBeforeDrop(EveryOpenJob(), JobLayer::ModeBoth);
}

}  // namespace AppLayer
