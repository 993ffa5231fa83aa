// Start-up and shutdown of the help viewer: the guarded main body with the
// long-lived window objects in its frame, the command line, the program
// profile and everything that hangs on it.
#pragma once

#include <windows.h>

#include <memory>

#include "base/profile.h"
#include "base/raw_string.h"
#include "quenby/app/main_dialog.h"

namespace AppLayer {

// What a run starts from: the program file's full path and the command line
// after the program's own path. QuenbyMain takes both from the process.
struct QuenbyStart {
    RawString programPath;
    RawString arguments;
};

// The process's own start.
QuenbyStart ProcessStart();

// Parses the command line into the settings, answers "-h" with the usage
// box, checks or writes the program profile and loads what hangs on it.
// False when the program is to end at once.
bool ParseArguments(RawLayer::RawParameterList& settings, HINSTANCE instance, const QuenbyStart& start);
// Section "Common" of the program profile: GUI profile, configuration,
// language and language file; then the window part of the GUI profile and
// the viewer options.
void LoadProfileSettings(RawLayer::RawParameterList& settings, const RawString& profilePath,
                         const RawString& programFolder);
// The GUI profile's language choice, control spacing and window font.
void LoadWindowParameters(RawLayer::ProfileFileRef& reference, const RawString& guiProfilePath);

// The frame of one run, in order of construction: GDI+ start-up, the
// settings, the main dialog with its title-menu hook and items. They go in
// reverse order, GDI+ last.
class QuenbyRun {
public:
    QuenbyRun(HINSTANCE instance, const QuenbyStart& start);
    ~QuenbyRun();
    QuenbyRun(const QuenbyRun&) = delete;
    QuenbyRun& operator=(const QuenbyRun&) = delete;

    // Everything before the message loop; true when the main window exists.
    bool Start() { return Prepare() && BuildWindow(); }
    // The crash hook, GDI+, the command line and the profiles; false when
    // the program is to end at once.
    bool Prepare();
    // Builds, places and creates the main window (which opens the start
    // documents); true when it exists.
    bool BuildWindow();
    // Runs the main window's loop until it is destroyed.
    int Loop();

    GuiMainDialog* Dialog() const { return dialog_.get(); }

private:
    HINSTANCE instance_;
    QuenbyStart start_;
    ULONG_PTR gdiplusToken_ = 0;
    bool gdiplusStarted_ = false;
    bool comStarted_ = false;
    RawLayer::RawParameterList settings_;
    std::unique_ptr<GuiMainDialog> dialog_;
};

// The guarded main body: one run from the given start; 0 on every road.
int QuenbyMainWith(HINSTANCE instance, const QuenbyStart& start);
int QuenbyMain(HINSTANCE instance);

}  // namespace AppLayer
