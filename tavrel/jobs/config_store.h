// The configuration of the compare tool: every comparison, backup, editing
// and layout option (section "Option") and the colour table (section
// "ColorSetting") in one process-wide object. It is built with the built-in
// defaults on first use, loaded once at start-up and read-only afterwards;
// the program never writes the configuration file.
#pragma once

#include <windows.h>

#include <cstdint>

#include "base/profile.h"
#include "base/raw_string.h"
#include "tavrel/jobs/color_settings.h"

namespace JobLayer {

using RawLayer::ProfileFileRef;
using RawLayer::RawParameterList;
using RawLayer::RawString;

// Bounds the store applies to the options it loads. Every user reads the
// option from the store, so the values are kept in range here, in one place.
enum : int32_t {
    ForeReadingLinesMin = 1,
    ForeReadingLinesMax = 1000,
    BackupDaysMax = 36500,
    // A file loaded whole into a 32-bit process is held as bytes, then as
    // lines or rows: 256 MiB leaves room for that in a 2 GiB address space.
    MaxFileLoadingLimit = 0x10000000,
    // Clipboard text is read as UTF-16 (2 bytes a unit): 64 Mi units.
    MaxClipLoadingLimit = 0x4000000
};

class ConfigStore {
public:
    // The process-wide store, built with its defaults on first use.
    static ConfigStore& Instance();

    // A store holding the built-in defaults (the backup folder is the
    // temporary folder joined with "Tavrel_Backup").
    ConfigStore();
    ConfigStore(const ConfigStore&) = delete;
    ConfigStore& operator=(const ConfigStore&) = delete;

    // Loads the configuration file: the options, then the colours, then
    // the key files resolved against the file's folder. A missing file or
    // section keeps the defaults without a message.
    void Load(const RawString& path);
    // Section "Option" of the file named by the file reference; nothing
    // changes when the section is missing.
    void LoadOptions();
    // Section "ColorSetting" into the colour table, when it exists.
    void LoadColorSettings();

    // ---- members, in the order of the configuration ------------------------
    RawString configPath;
    ProfileFileRef fileRef;
    RawString timeForm;            // "TimeForm"
    RawString backupFolder;        // "BackupFolder"
    int32_t backupDays;            // "BackupDays", 0..36500
    RawString pairFileExtension;   // "PairFileExtension"
    RawString textNewLineCode;     // "TextNewLineCode", UTF-8 built from a number
    RawString virtualKeyFile;      // "VirtualKeyFile"
    RawString keyBindingFile;      // "KeyBindingFile"
    RawString pathOption;          // "PathOption"
    RawString textOption;          // "TextOption"
    RawString binaryOption;        // "BinaryOption"
    RawString takeOverPathOption;  // "TakeOverPathOption"
    bool compareTimeBySecond;      // "CompareTimeBySecond"
    bool compareTimeAsFatTime;     // "CompareTimeAsFatTime"
    bool compareSizeOnText;        // "CompareSizeOnText"
    bool compareTimeOnText;        // "CompareTimeOnText"
    bool compareByteOnText;        // "CompareByteOnText"
    bool compareDataOnText;        // "CompareDataOnText"
    bool compareSizeOnOther;       // "CompareSizeOnOther"
    bool compareTimeOnOther;       // "CompareTimeOnOther"
    bool compareByteOnOther;       // "CompareByteOnOther"
    bool compareDataOnOther;       // "CompareDataOnOther"
    bool backupDisabled;           // "BackupDisabled"
    int32_t foreReadingLines;         // "ForeReadingLines", 1..1000
    int32_t foreReadingLinesEscaped;  // "ForeReadingLinesEscaped", 1..1000
    int32_t matchingRateThreshold;    // "MatchingRateThreshold"
    int32_t minMatchingChars;         // "MinMatchingChars", at least 1
    int32_t tabStop;                  // "TabStop", at least 1
    int32_t lrMarginOnPath;           // "LRMarginOnPath"
    int32_t lrMarginOnText;           // "LRMarginOnText"
    int32_t lrMarginOnBinary;         // "LRMarginOnBinary"
    int32_t maxClipLoading;           // "MaxClipLoading", 1..MaxClipLoadingLimit
    int32_t maxTextLoading;           // "MaxTextLoading", 1..MaxFileLoadingLimit
    int32_t maxBinaryLoading;         // "MaxBinaryLoading", 1..MaxFileLoadingLimit
    ColorTable colors;                // section "ColorSetting"

    // The line-end mark of a number: its bytes from the most significant
    // non-zero byte down, read as UTF-8; 0 gives the empty text.
    static RawString LineEndMarkFromValue(uint32_t value);

private:
    // Puts every bounded option and weight into its range.
    void ClampValues();
};

// The cell margin of a kind: "LRMarginOnPath", "LRMarginOnText",
// "LRMarginOnBinary" for kinds 0, 1, 2; 2 for any other kind.
int32_t KindMargin(uint32_t kind);

// A receiver of profile sections.
class JobProfileData {
public:
    class Enumerator {
    public:
        virtual ~Enumerator() {}
        // One section's entries; false stops the walk.
        virtual bool OnSection(const RawParameterList& entries) = 0;
    };
};

// Hands every section of the profile whose name equals `name` (ASCII case
// ignored) to the enumerator, in file order. False when the file cannot be
// opened or read, or the enumerator stopped the walk; true otherwise (also
// when no section matched).
bool ProfileSectionEnumerate(const ProfileFileRef& profile, const RawString& name,
                             JobProfileData::Enumerator& enumerator);

}  // namespace JobLayer
