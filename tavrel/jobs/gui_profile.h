// The GUI profile: what the user chose about the look of the compare tool
// (language, the window environment's margin and button radius, the window
// font and one font per view kind), read once at start-up, and the start
// source that the command line asks the main window to open first.
//
// Sections read:
//   "UserSelection"   "Language"            the chosen language name
//   "WindowParameter" "Margin", "ButtonR"   dialog margin, button corner radius
//   "WindowFont"      font keys             the window environment's font
//   "PathViewFont", "TextViewFont", "BinaryViewFont"   the three view fonts
#pragma once

#include <windows.h>

#include <cstdint>

#include "base/profile.h"
#include "base/raw_string.h"
#include "toolkit/font_parameter.h"

namespace JobLayer {

using RawLayer::ProfileFileRef;
using RawLayer::RawParameterList;
using RawLayer::RawString;

RAW_CONSTANT_TEXT(UserSelectionSectionText, "UserSelection")
RAW_CONSTANT_TEXT(LanguageKeyText, "Language")
RAW_CONSTANT_TEXT(WindowParameterSectionText, "WindowParameter")
RAW_CONSTANT_TEXT(MarginKeyText, "Margin")
RAW_CONSTANT_TEXT(ButtonRadiusKeyText, "ButtonR")
RAW_CONSTANT_TEXT(WindowFontSectionText, "WindowFont")
RAW_CONSTANT_TEXT(PathViewFontSectionText, "PathViewFont")
RAW_CONSTANT_TEXT(TextViewFontSectionText, "TextViewFont")
RAW_CONSTANT_TEXT(BinaryViewFontSectionText, "BinaryViewFont")

// Command-line parameter names of the start source.
RAW_CONSTANT_TEXT(GroupFileOptionText, "g")
RAW_CONSTANT_TEXT(PairTextOptionText, "t")
RAW_CONSTANT_TEXT(FirstPlainArgumentText, "NoTag_1")
RAW_CONSTANT_TEXT(SecondPlainArgumentText, "NoTag_2")

// What the main window opens after its first empty tab.
enum StartSourceKind : uint32_t {
    StartGroupFile = 0,  // path1: a file of pair lines
    StartPairText = 1,   // path1: one pair line
    StartSide1 = 2,      // path1: side 1 only
    StartSide2 = 3,      // path2: side 2 only
    StartBothSides = 4,  // path1 and path2
};

struct StartSource {
    uint32_t kind = StartGroupFile;
    RawString path1;
    RawString path2;
};

// The view kinds that have a font of their own.
enum ViewFontKind : uint32_t {
    ViewFontPath = 0,
    ViewFontText = 1,
    ViewFontBinary = 2,
    ViewFontCount = 3,
};

// The profile limits: a dialog margin or button radius beyond 64 px, or a
// font cell beyond 256 px, makes the windows unusable.
constexpr int32_t kWindowParameterLimit = 64;
constexpr int32_t kProfileFontSizeLimit = 256;

class GuiProfileStore {
public:
    // The process-wide store, built on first use: empty path, start source
    // kind 0 with empty paths, no fonts made, empty "WindowFont" list.
    static GuiProfileStore& Instance();

    GuiProfileStore();
    ~GuiProfileStore();
    GuiProfileStore(const GuiProfileStore&) = delete;
    GuiProfileStore& operator=(const GuiProfileStore&) = delete;

    // Start-up: remembers the profile path, then the language, the window
    // parameters, the window font, the three view fonts and the start
    // source from the command line (a list made by CommandLineSplit). A
    // missing profile, section or key keeps the built-in values.
    void Load(const RawString& path, const RawParameterList& commandLine);
    // The "Language" of "UserSelection" (default: the table's selected
    // name) becomes the selected language; the language list is loaded and
    // the language in use (the selection, else the one matching the user's
    // UI language) has its texts read. A language file without that
    // language's section gets the default texts written as that section.
    void LoadLanguage();
    // "Margin" and "ButtonR" of "WindowParameter", each clamped to 0-64,
    // replace the environment's values; a missing key keeps its value.
    void LoadWindowParameters();
    // With a "WindowFont" section: the environment's font is made from it
    // (and the list kept); without: the environment's current description
    // goes into the list, so that it can be saved later.
    void LoadWindowFont();
    // Re-reads the font of a view kind (0-2; others do nothing) from its
    // section, else the menu font (0, 1) or the fixed-pitch font (2).
    // Sizes are clamped to 256 px. The previous handle is kept when no font
    // can be made from the description, so a view never holds a null font.
    void ReloadViewFont(uint32_t kind);
    // The start source from the command line: "g" a group file (kind 0),
    // "t" a pair text (kind 1), plain paths "NoTag_1" [, "NoTag_2"] the
    // pair text "@Group@" A "," B (kind 1). A pair text cannot carry a
    // path holding ',', so such plain paths open as given: kind 2 (one
    // path) or 4 (two paths).
    void ReadStartSource(const RawParameterList& commandLine);

    // The font record of a view kind (kinds above 2 give the spare record).
    WinLayer::WinFontParameter& ViewFont(uint32_t kind);
    // The section name of a view kind's font; empty for other kinds.
    static RawString ViewFontSection(uint32_t kind);
    // The description of the built-in fixed-pitch font (OEM_FIXED_FONT).
    static LOGFONTW FixedPitchFont();

    ProfileFileRef file;
    StartSource startSource;
    // The last pair-file path (set by the application).
    RawString lastPairFile;
    // The view fonts by kind, then a spare record for the application.
    WinLayer::WinFontParameter viewFonts[ViewFontCount + 1];
    RawParameterList windowFont;
};

// Clamps the sizes of a profile font description to the profile limits.
void ClampProfileFont(LOGFONTW& description);

}  // namespace JobLayer
