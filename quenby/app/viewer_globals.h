// Process-wide settings of the help viewer: its name, the caption prefix of
// its small dialogs, its language sections, its window environment values,
// the GUI profile reference and the language file path.
#pragma once

#include "base/language.h"
#include "base/profile.h"
#include "base/raw_string.h"
#include "toolkit/environment.h"

namespace AppLayer {

using RawLayer::RawString;

// The caption of the start-up message boxes, the value written under
// "Program", the crash-dump name and the restart folder name.
RAW_CONSTANT_TEXT(ProgramNameString, "Quenby")
// Put before the titles of the small dialogs and the print run.
RAW_CONSTANT_TEXT(CaptionPrefixText, "Quenby - ")
RAW_CONSTANT_TEXT(ViewTextSection, "ViewText")
RAW_CONSTANT_TEXT(MenuTextSection, "MenuText")
RAW_CONSTANT_TEXT(ItemLabelsSection, "ItemLabels")

// Keys and names of the program profile.
RAW_CONSTANT_TEXT(CommonSectionText, "Common")
RAW_CONSTANT_TEXT(ProgramKeyText, "Program")
RAW_CONSTANT_TEXT(GuiProfileKeyText, "GuiProfile")
RAW_CONSTANT_TEXT(ConfigFileKeyText, "ConfigFile")
RAW_CONSTANT_TEXT(LanguageKeyText, "Language")
RAW_CONSTANT_TEXT(LanguageFileKeyText, "LanguageFile")
RAW_CONSTANT_TEXT(BadProfileText, "Bad format profile !!")
RAW_CONSTANT_TEXT(UsageText, "Arguments = [-h] [-p|-p-] [-l ListFile] [-i FileIndex] [file]")

// The default texts of the sections "ViewText" and "MenuText".
extern const RawLayer::RawLocaleRecord ViewTexts[];
extern const RawLayer::RawLocaleRecord MenuTexts[];

// Registers a default table under its section once per process and gives
// the section name back.
RawString LookUpViewTextIn(const RawString& section, const RawLayer::RawLocaleRecord* table);
// The translated text of a key of a section, else its registered default.
RawString LookUpViewText(const RawString& section, const RawString& key);

// The window environment with the viewer's values.
struct GuiGlobals {
    static WinLayer::WinEnvironment& Instance() { return WinLayer::WinEnvironment::Instance(); }
    // Height 12, DEFAULT_CHARSET, spacing 4, texts held as UTF-8: the values
    // every start begins from before the GUI profile is read.
    static void ApplyViewerDefaults();
};

// The GUI profile: the main dialog reads and writes its section through it.
RawLayer::ProfileFileRef& GuiProfileParameters();
// The path of the language file; empty until start-up sets it.
RawString& LanguagePath();

}  // namespace AppLayer
