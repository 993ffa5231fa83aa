// Start-up and shutdown of the compare tool: the command line, the program
// profile (the program's path with ".ini" for its last four characters) and
// its section "Common", the language file, the GUI profile and the
// configuration; then the main window, its message loop and the teardown.
#pragma once

#include <windows.h>

#include <memory>

#include "base/profile.h"
#include "base/raw_string.h"
#include "tavrel/app/main_dialog.h"
#include "tavrel/jobs/job_kind_control.h"

namespace AppLayer {

RAW_CONSTANT_TEXT(UsageText, "Arguments = [-g GroupFile] [Path1 [Path2]]")
RAW_CONSTANT_TEXT(BadProfileText, "Bad format profile !!")
RAW_CONSTANT_TEXT(CommonSectionText, "Common")
RAW_CONSTANT_TEXT(ProgramKeyText, "Program")
RAW_CONSTANT_TEXT(GuiProfileKeyText, "GuiProfile")
RAW_CONSTANT_TEXT(ConfigFileKeyText, "ConfigFile")
RAW_CONSTANT_TEXT(LanguageFileKeyText, "LanguageFile")

// What start-up reads: the program file's path and the arguments after it.
struct StartUpInput {
    RawString programPath;
    RawString arguments;
    // This process's own: its module file name and command line.
    static StartUpInput FromProcess();
};

// The program profile of a program path: its last four characters (of a
// path longer than four) replaced by ".ini".
RawString ProgramProfilePath(const RawString& programPath);
// Parses the arguments, checks the program profile and reads its keys.
// False when the program is to end at once (usage shown, or a profile
// without "Program").
bool StartUpSettings(RawLayer::RawParameterList& settings, HINSTANCE instance, const StartUpInput& input);
// Section "Common": GUI profile, configuration and language paths; then the
// language file, the GUI profile and the configuration are loaded.
void ReadProfileKeys(RawLayer::RawParameterList& settings, RawLayer::ProfileFileRef& profile);

// The frame of a run, owning every long-lived window object; they die in
// reverse order.
class GuiApplication {
public:
    explicit GuiApplication(HINSTANCE instance);
    ~GuiApplication();
    GuiApplication(const GuiApplication&) = delete;
    GuiApplication& operator=(const GuiApplication&) = delete;

    // Start-up settings; false ends the run.
    bool Start(const StartUpInput& input);
    // Builds, places and creates the main window; false when no window.
    bool CreateMainWindow();
    // The message loop, until the main window is destroyed.
    int Run();

    HINSTANCE instance;
    JobLayer::JobKindPool pool;
    RawLayer::RawParameterList settings;
    std::unique_ptr<GuiMainDialog> dialog;
};

// The whole run; 0 on every road.
int RunApplication(HINSTANCE instance);

}  // namespace AppLayer
