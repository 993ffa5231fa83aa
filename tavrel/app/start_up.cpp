// Start-up: command line, program profile, profile keys, the run's frame.
#include "tavrel/app/start_up.h"

#include <objbase.h>

#include "base/api_text.h"
#include "base/command_line.h"
#include "base/file_system.h"
#include "base/language.h"
#include "base/thread.h"
#include "tavrel/jobs/config_store.h"
#include "tavrel/jobs/gui_profile.h"
#include "tavrel/jobs/job_group.h"
#include "toolkit/environment.h"

namespace AppLayer {

using RawLayer::ProfileFileRef;
using RawLayer::RawParameterList;

namespace {

// Switches without a value ("h"), ended by an empty name.
const char* const kSwitches[] = {"h", ""};
constexpr int32_t kExtensionLength = 4;

// A profile value made absolute ("$(User)" expanded).
RawString Expanded(const RawString& value) { return RawLayer::ResolveProgramPath(value, ApplicationNameText()); }

}  // namespace

StartUpInput StartUpInput::FromProcess() {
    StartUpInput input;
    input.programPath = RawLayer::ApiGetModuleFileName(RawLayer::KindUtf8);
    input.arguments = RawLayer::ParseProcessCommandLine();
    return input;
}

RawString ProgramProfilePath(const RawString& programPath) {
    RawString path = programPath;
    if (path.Length() > kExtensionLength) path.AssignRange(programPath, RawRange{0, path.Length() - kExtensionLength});
    path.Append(RawLayer::IniExtensionText());
    return path;
}

bool StartUpSettings(RawParameterList& settings, HINSTANCE instance, const StartUpInput& input) {
    RawLayer::CommandLineSplit(settings, kSwitches, input.arguments);
    if (settings.Contains(RawString::FromLiteral("h"))) {
        RawLayer::ApiMessageBox(UsageText(), ApplicationNameText());
        return false;
    }
    WinLayer::WinEnvironment::Instance().instance = instance;
    ProfileFileRef profile = ProfileFileRef::FromPath(ProgramProfilePath(input.programPath));
    const DWORD attributes = RawLayer::ApiGetFileAttributes(profile.path);
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        // A failure to write it is not reported: the defaults serve.
        profile.WriteValue(CommonSectionText(), ProgramKeyText(), ApplicationNameText());
    } else if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        if (profile.ReadValue(CommonSectionText(), ProgramKeyText()).IsEmpty()) {
            RawLayer::ApiMessageBox(BadProfileText(), ApplicationNameText());
            return false;
        }
    }
    ReadProfileKeys(settings, profile);
    return true;
}

void ReadProfileKeys(RawParameterList& settings, ProfileFileRef& profile) {
    RawString guiPath = profile.path;
    RawString configPath = profile.path;
    RawLayer::LanguageTable& language = RawLayer::LanguageTable::Construct();
    RawParameterList common;
    if (common.ReadSection(profile, CommonSectionText())) {
        bool found = false;
        RawString value = common.GetText(GuiProfileKeyText(), &found);
        if (found) guiPath = Expanded(value);
        value = common.GetText(ConfigFileKeyText(), &found);
        if (found) configPath = Expanded(value);
        value = common.GetText(JobLayer::LanguageKeyText(), &found);
        if (found) RawLayer::LanguageTable::SetLanguage(value);
        value = common.GetText(LanguageFileKeyText(), &found);
        if (found) language.SetFilePath(Expanded(value));
    }
    RawString configFolder;
    configFolder.AssignRange(configPath, RawLayer::PathFolderRange(configPath));
    language.LocateFile(configFolder);
    JobLayer::GuiProfileStore::Instance().Load(guiPath, settings);
    JobLayer::ConfigStore::Instance().Load(configPath);
}

GuiApplication::GuiApplication(HINSTANCE module) : instance(module) {
    JobLayer::JobGroupList::Instance().SetKindPool(&pool);
}

GuiApplication::~GuiApplication() {
    dialog.reset();
    // The pool ends with the frame: the list must not ask it any more.
    JobLayer::JobGroupList::Instance().SetKindPool(nullptr);
}

bool GuiApplication::Start(const StartUpInput& input) { return StartUpSettings(settings, instance, input); }

bool GuiApplication::CreateMainWindow() {
    dialog = std::make_unique<GuiMainDialog>();
    dialog->Setup();
    dialog->Create();
    if (!dialog->window) return false;
    // A key file that is there but could not be read is named, as a bad
    // program profile is; the keys it would have bound keep the program's
    // own bindings.
    GuiFolderBox& folderBox = dialog->views.folderBox;
    bool told = false;
    for (const RawString& path : folderBox.Bindings().unreadable) {
        RawLayer::ApiMessageBox(RawString::ConcatMany(BadProfileText(), RawLayer::LineBreakText(), path), ApplicationNameText());
        told = true;
    }
    // A closing message box hands the keys to the main window itself, which
    // has no use for them: they go back to the folder box, as the window's
    // creation left them.
    if (told && folderBox.window) SetFocus(folderBox.window);
    return true;
}

int GuiApplication::Run() {
    if (dialog && dialog->window) dialog->MessageLoop();
    return 0;
}

int RunApplication(HINSTANCE instance) {
    RawLayer::InstallCrashDumpHandler(ApplicationNameText());
    // The shell link object of the path chooser needs COM on this thread,
    // before any window exists.
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    {
        GuiApplication application(instance);
        if (application.Start(StartUpInput::FromProcess()) && application.CreateMainWindow()) application.Run();
    }
    if (SUCCEEDED(com)) CoUninitialize();
    return 0;
}

}  // namespace AppLayer
