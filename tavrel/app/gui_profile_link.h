// The one place where the compare tool's windows reach the GUI profile
// store: its file, its start source and its view fonts.
#pragma once

#include <cstdint>

#include "base/profile.h"
#include "base/raw_string.h"

namespace AppLayer {

// Start-source kinds: a group file, a pair text, side 1 only, side 2 only,
// both sides.
enum : uint32_t {
    StartGroupFile = 0,
    StartPairText = 1,
    StartSide1 = 2,
    StartSide2 = 3,
    StartBothSides = 4,
};

struct StartSourceRecord {
    uint32_t kind = StartGroupFile;
    RawLayer::RawString path1;
    RawLayer::RawString path2;
};

// Loads the GUI profile from the path together with the parsed command
// line: language, window parameters, fonts and the start source.
void LoadGuiProfile(const RawLayer::RawString& path, const RawLayer::RawParameterList& settings);
// The GUI profile file (written back when the main window closes).
RawLayer::ProfileFileRef& GuiProfileFile();
// What the main window opens first, and what a drop stores for code 4390.
StartSourceRecord StartSource();
void SetStartSource(const StartSourceRecord& source);
// Reads the view font of a kind (0 path, 1 text, 2 binary) again.
void ReloadViewFont(uint32_t kind);

}  // namespace AppLayer
