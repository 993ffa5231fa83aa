// The configuration of the compare tool: every comparison, backup, editing
// and layout option (section "Option") and the colour table (section
// "ColorSetting") in one process-wide object. It is built with the built-in
// defaults on first use, loaded once at start-up and read-only afterwards;
// the program never writes the configuration file.
#pragma once

#include <windows.h>

#include <cstdint>

#include "base/clamp.h"
#include "base/profile.h"
#include "base/raw_string.h"
#include "tavrel/jobs/color_settings.h"

namespace JobLayer {

using RawLayer::ClampInt;

using RawLayer::ProfileFileRef;
using RawLayer::RawParameterList;
using RawLayer::RawString;

// The memory a loaded and compared side takes in the 32-bit program, per
// byte of its file, for files that cost the most short of pathological ones:
// the growth of committed memory over a load and compare of two files
// (bench/load_memory_bench.sh and bench/memory_bench.sh, 32-bit build; a
// line unit and a binary unit are 28 bytes, a row 20, a detail segment 12):
// - text of source-code lines (46 to 52 bytes on average, line end
//   included) with no line in common: 4.0 bytes a byte; with 1 % of the
//   lines changed 2.8; lines of about 32 bytes 3.4 (peak 3.8); lines of
//   about 5 bytes 11.6 (peak 14.3);
// - binary files: 4.2 to 4.3 whatever their difference (a row's details
//   are made from its two units when asked for).
// Very short lines cost more than these figures: such a file near the limit
// may still run out of memory, and its load then ends cleanly (below).
constexpr int64_t TextMemoryPerFileByte = 5;
constexpr int64_t BinaryMemoryPerFileByte = 5;
// What the two sides of one job may take together: half the 2 GiB address
// space of the 32-bit program. The rest holds the program and its windows,
// the compare's working memory and what the heap loses to fragmentation.
// Files that cost more than the figures above may still run out of memory:
// their load then ends with "TooLargeFile" and frees what it built.
constexpr int64_t JobSidesMemoryBudget = int64_t(1) << 30;

// The wildcard that stands for everything: the default of the four filter
// options (a kind's filter "*" is the default filter), and the target kind
// of a user command that takes every kind.
RAW_CONSTANT_TEXT(WildcardAllText, "*")

// Bounds the store applies to the options it loads. Every user reads the
// option from the store, so the values are kept in range here, in one place.
enum : int32_t {
    ForeReadingLinesMin = 1,
    ForeReadingLinesMax = 1000,
    BackupDaysMax = 36500,
    // What a missing, unreadable or negative "BackupDays" stands for.
    BackupDaysDefault = 10,
    // The largest "MaxTextLoading" and "MaxBinaryLoading": two sides of that
    // size fit the budget (about 102 MiB each).
    MaxTextLoadingLimit = static_cast<int32_t>(JobSidesMemoryBudget / (2 * TextMemoryPerFileByte)),
    MaxBinaryLoadingLimit = static_cast<int32_t>(JobSidesMemoryBudget / (2 * BinaryMemoryPerFileByte)),
    // Clipboard text is read as UTF-16 (2 bytes a unit): 64 Mi units.
    MaxClipLoadingLimit = 0x4000000
};

// A look-ahead window of the line compare within its bounds.
inline int32_t ClampForeReadingLines(int32_t lines) {
    return lines < ForeReadingLinesMin ? ForeReadingLinesMin
                                       : (lines > ForeReadingLinesMax ? ForeReadingLinesMax : lines);
}

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
    int32_t backupDays;            // "BackupDays", 0..36500; a bad value keeps 10
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
    int32_t maxTextLoading;           // "MaxTextLoading", 1..MaxTextLoadingLimit
    int32_t maxBinaryLoading;         // "MaxBinaryLoading", 1..MaxBinaryLoadingLimit
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
