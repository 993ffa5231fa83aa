// Start-up and shutdown of the help viewer.
#include "quenby/app/quenby_main.h"

#include <objbase.h>
#include <objidl.h>

#include <algorithm>
#include <new>

#include "base/api_text.h"
#include "base/command_line.h"
#include "base/file_system.h"
#include "base/language.h"
#include "base/thread.h"
#include "quenby/app/viewer_globals.h"
#include "quenby/document/document_options.h"
#include "toolkit/font_parameter.h"

namespace AppLayer {

using RawLayer::ProfileFileRef;
using RawLayer::RawParameterList;

namespace {

RAW_CONSTANT_TEXT(UserSelectionSection, "UserSelection")
RAW_CONSTANT_TEXT(WindowParameterSection, "WindowParameter")
RAW_CONSTANT_TEXT(WindowFontSection, "WindowFont")
RAW_CONSTANT_TEXT(MarginKey, "Margin")
RAW_CONSTANT_TEXT(NoMemoryText, "Not enough memory: Quenby ends.")

// The switches that take no value, ended by an empty name.
const char* const kSwitchList[] = {"h", "p", "p-", ""};

// A profile value as a path: "$(User)" expanded (any letter case), a
// relative path taken from the program's folder.
RawString ResolveViewerPath(const RawString& value, const RawString& programFolder) {
    if (RawLayer::FindUserMacro(value) < value.Length()) return RawLayer::ResolveProgramPath(value);
    return RawLayer::PathResolve(programFolder, value);
}

RawString FolderOf(const RawString& path) {
    RawString folder;
    folder.AssignRange(path, RawLayer::PathFolderRange(path));
    return folder;
}

// Every run starts from the viewer's built-in options.
void ResetViewerOptions() {
    DocLayer::JobOptions& options = DocLayer::JobOptions::Instance();
    options.autoLoad.Clear();
    options.withTreeDotMark = false;
    options.pageView = false;
    // The built-in document extensions ("txt", "md") stay when the
    // configuration has no section "Job" to add "LinkWith" to them.
    options.extensions = DocLayer::JobOptions().extensions;
    options.pending.Clear();
    options.firstIndex = 0;
}

}  // namespace

QuenbyStart ProcessStart() {
    QuenbyStart start;
    wchar_t path[MAX_PATH * 4] = {};
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH * 4);
    if (length > 0 && length < MAX_PATH * 4) {
        start.programPath = RawString::FromWideText(path, static_cast<int32_t>(length)).As(RawLayer::KindUtf8);
    }
    start.arguments = RawLayer::ParseProcessCommandLine();
    return start;
}

bool ParseArguments(RawParameterList& settings, HINSTANCE instance, const QuenbyStart& start) {
    RawLayer::CommandLineSplit(settings, kSwitchList, start.arguments);
    if (settings.Contains(RawString::FromLiteral("h"))) {
        RawLayer::ApiMessageBox(UsageText(), ProgramNameString());
        return false;
    }
    GuiGlobals::Instance().instance = instance;
    RawString profilePath = start.programPath;
    if (profilePath.Length() > 4) profilePath.Erase(profilePath.Length() - 4, 4);
    profilePath.Append(RawLayer::IniExtensionText());
    const DWORD attributes = RawLayer::ApiGetFileAttributes(profilePath);
    ProfileFileRef profile = ProfileFileRef::FromPath(profilePath);
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        profile.WriteValue(CommonSectionText(), ProgramKeyText(), ProgramNameString());
    } else if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        if (profile.ReadValue(CommonSectionText(), ProgramKeyText()).IsEmpty()) {
            RawLayer::ApiMessageBox(BadProfileText(), ProgramNameString());
            return false;
        }
    }
    LoadProfileSettings(settings, profilePath, FolderOf(start.programPath));
    return true;
}

void LoadProfileSettings(RawParameterList& settings, const RawString& profilePath, const RawString& programFolder) {
    RawString guiProfilePath = profilePath;
    RawString configPath = profilePath;
    RawString& languagePath = LanguagePath();
    languagePath.Clear();
    RawLayer::LanguageTable::SetLanguage(RawString());
    ProfileFileRef profile = ProfileFileRef::FromPath(profilePath);
    RawParameterList common;
    if (common.ReadSection(profile, CommonSectionText())) {
        bool found = false;
        RawString value = common.GetText(GuiProfileKeyText(), &found);
        if (found) guiProfilePath = ResolveViewerPath(value, programFolder);
        value = common.GetText(ConfigFileKeyText(), &found);
        if (found) configPath = ResolveViewerPath(value, programFolder);
        value = common.GetText(LanguageKeyText(), &found);
        if (found) RawLayer::LanguageTable::SetLanguage(value);
        value = common.GetText(LanguageFileKeyText(), &found);
        if (found) languagePath = ResolveViewerPath(value, programFolder);
    }
    if (languagePath.IsEmpty()) {
        const RawString beside = RawLayer::PathJoin(FolderOf(configPath), RawLayer::LanguageFileNameText());
        const RawString inProgram = RawLayer::PathJoin(programFolder, RawLayer::LanguageFileNameText());
        if (RawLayer::FileExists(beside)) {
            languagePath = beside;
        } else if (RawLayer::FileExists(inProgram)) {
            languagePath = inProgram;
        }
    }
    LoadWindowParameters(GuiProfileParameters(), guiProfilePath);
    RawLayer::LanguageTable& table = RawLayer::LanguageTable::Construct();
    table.SetFilePath(languagePath);
    table.ChooseLanguage();
    ResetViewerOptions();
    DocLayer::JobOptions::Instance().Initialize(configPath, settings);
}

void LoadWindowParameters(ProfileFileRef& reference, const RawString& guiProfilePath) {
    reference = ProfileFileRef::FromPath(guiProfilePath);
    GuiGlobals::ApplyViewerDefaults();
    // The title menu writes the user's choice here; it outranks "Common",
    // and an empty choice means the automatic one.
    bool found = false;
    const RawString chosen = reference.ReadValue(UserSelectionSection(), LanguageKeyText(), &found);
    if (found) RawLayer::LanguageTable::SetLanguage(chosen);
    WinLayer::WinEnvironment& environment = GuiGlobals::Instance();
    RawParameterList section;
    if (section.ReadSection(reference, WindowParameterSection()) && section.Contains(MarginKey())) {
        const int32_t margin = section.GetInt(MarginKey(), environment.margin);
        environment.margin = std::max(0, std::min(margin, GuiMainDialog::kMostMargin));
    }
    RawParameterList fontSection;
    if (fontSection.ReadSection(reference, WindowFontSection())) {
        LOGFONTW description = environment.font.description;
        WinLayer::WinFontParameter::Read(description, fontSection);
        environment.SetFont(description);
    }
}

// ---- the run ----------------------------------------------------------------------------

QuenbyRun::QuenbyRun(HINSTANCE instance, const QuenbyStart& start) : instance_(instance), start_(start) {}

QuenbyRun::~QuenbyRun() {
    if (dialog_ && dialog_->window) DestroyWindow(dialog_->window);
    dialog_.reset();
    settings_.Clear();
    // The main items (and the view's picture cache) are gone: GDI+ may stop.
    gdiplus_.Shutdown();
    if (comStarted_) CoUninitialize();
}

bool QuenbyRun::Prepare() {
    RawLayer::InstallCrashDumpHandler(ProgramNameString());
    gdiplus_.Start();
    if (!ParseArguments(settings_, instance_, start_)) return false;
    // The defaults of the viewer's own sections, for the dialogs that show them.
    LookUpViewTextIn(ViewTextSection(), ViewTexts);
    LookUpViewTextIn(MenuTextSection(), MenuTexts);
    return true;
}

bool QuenbyRun::BuildWindow() {
    if (!comStarted_) comStarted_ = SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
    dialog_ = std::make_unique<GuiMainDialog>();
    dialog_->className = ProgramNameString();
    dialog_->largeIconId = 130;
    dialog_->smallIconId = 131;
    SetUpMainDialog(*dialog_);
    dialog_->Create();
    return dialog_->window != nullptr;
}

int QuenbyRun::Loop() { return dialog_ && dialog_->window ? dialog_->MessageLoop() : 0; }

int QuenbyMainWith(HINSTANCE instance, const QuenbyStart& start) {
    try {
        QuenbyRun run(instance, start);
        // Without a window no loop could ever end.
        if (run.Start()) run.Loop();
    } catch (const std::bad_alloc&) {
        // Whatever ran out of memory outside the document loads is told,
        // not ended in silence.
        RawLayer::ApiMessageBox(NoMemoryText(), ProgramNameString());
        return 3;
    }
    return 0;
}

int QuenbyMain(HINSTANCE instance) { return QuenbyMainWith(instance, ProcessStart()); }

}  // namespace AppLayer
