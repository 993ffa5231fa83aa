#include "tavrel/jobs/config_store.h"

#include <cstddef>

#include "base/api_text.h"
#include "base/line_file.h"
#include "tavrel/jobs/job_kind.h"

namespace JobLayer {

using RawLayer::RawLineFile;
using RawLayer::RawParameterUnit;
using RawLayer::RawRange;

namespace {

RAW_CONSTANT_TEXT(OptionSectionText, "Option")
RAW_CONSTANT_TEXT(ColorSettingSectionText, "ColorSetting")
RAW_CONSTANT_TEXT(BackupFolderNameText, "Tavrel_Backup")
RAW_CONSTANT_TEXT(TextNewLineCodeKeyText, "TextNewLineCode")

// The line-end mark drawn after each text line when the key is missing:
// U+FFE9 (HALFWIDTH LEFTWARDS ARROW) as UTF-8.
constexpr uint32_t kDefaultLineEndMark = 0xEFBFA9;

// TypeCount: a number of 0 or more whose bad value must not fall to 0 (see
// ReadCount).
enum OptionType { TypeString, TypeInt, TypeCount, TypeBool, TypeLineEndMark };

struct OptionEntry {
    const char* key;
    OptionType type;
    size_t offset;  // of the member inside ConfigStore
};

#define OPTION(name, type, member) {name, type, offsetof(ConfigStore, member)}

// Every key of section "Option", in reading order.
const OptionEntry kOptions[] = {
    OPTION("TimeForm", TypeString, timeForm),
    OPTION("BackupFolder", TypeString, backupFolder),
    OPTION("BackupDays", TypeCount, backupDays),
    OPTION("PairFileExtension", TypeString, pairFileExtension),
    OPTION("TextNewLineCode", TypeLineEndMark, textNewLineCode),
    OPTION("VirtualKeyFile", TypeString, virtualKeyFile),
    OPTION("KeyBindingFile", TypeString, keyBindingFile),
    OPTION("PathOption", TypeString, pathOption),
    OPTION("TextOption", TypeString, textOption),
    OPTION("BinaryOption", TypeString, binaryOption),
    OPTION("TakeOverPathOption", TypeString, takeOverPathOption),
    OPTION("CompareTimeBySecond", TypeBool, compareTimeBySecond),
    OPTION("CompareTimeAsFatTime", TypeBool, compareTimeAsFatTime),
    OPTION("CompareSizeOnText", TypeBool, compareSizeOnText),
    OPTION("CompareTimeOnText", TypeBool, compareTimeOnText),
    OPTION("CompareByteOnText", TypeBool, compareByteOnText),
    OPTION("CompareDataOnText", TypeBool, compareDataOnText),
    OPTION("CompareSizeOnOther", TypeBool, compareSizeOnOther),
    OPTION("CompareTimeOnOther", TypeBool, compareTimeOnOther),
    OPTION("CompareByteOnOther", TypeBool, compareByteOnOther),
    OPTION("CompareDataOnOther", TypeBool, compareDataOnOther),
    OPTION("BackupDisabled", TypeBool, backupDisabled),
    OPTION("ForeReadingLines", TypeInt, foreReadingLines),
    OPTION("ForeReadingLinesEscaped", TypeInt, foreReadingLinesEscaped),
    OPTION("MatchingRateThreshold", TypeInt, matchingRateThreshold),
    OPTION("MinMatchingChars", TypeInt, minMatchingChars),
    OPTION("TabStop", TypeInt, tabStop),
    OPTION("LRMarginOnPath", TypeInt, lrMarginOnPath),
    OPTION("LRMarginOnText", TypeInt, lrMarginOnText),
    OPTION("LRMarginOnBinary", TypeInt, lrMarginOnBinary),
    OPTION("MaxClipLoading", TypeInt, maxClipLoading),
    OPTION("MaxTextLoading", TypeInt, maxTextLoading),
    OPTION("MaxBinaryLoading", TypeInt, maxBinaryLoading),
};

#undef OPTION

constexpr int kOptionCount = static_cast<int>(sizeof(kOptions) / sizeof(kOptions[0]));

const RawString* OptionKeyTexts() {
    static const struct Holder {
        Holder() {
            for (int i = 0; i < kOptionCount; ++i) texts[i] = RawString::FromLiteral(kOptions[i].key);
        }
        RawString texts[kOptionCount];
    } holder;
    return holder.texts;
}

RAW_CONSTANT_TEXT(NumberBlankText, " \t")

// A count option's value: the number when the value is a whole number of 0
// or more (one too large for 32 bits as the largest), the default when the
// key is missing or its value is empty, not a number or negative. "BackupDays"
// reads this way: 0 deletes every backup at start-up, so only a written 0 may
// mean that, never a typo.
int32_t ReadCount(const RawParameterList& entries, const RawString& key, int32_t defaultValue) {
    bool found = false;
    const RawString value = entries.GetText(key, &found);
    if (!found) return defaultValue;
    const RawRange range = value.TrimRange(value.All(), NumberBlankText());
    RawLayer::RawNumberScan scan;
    const bool parsed = RawLayer::ParseNumber(value, range, scan);
    if (!parsed && !scan.overflow) return defaultValue;
    // At least one digit: "", "0x" and the like are no number.
    const int32_t digits = range.start + (scan.sign ? 1 : 0) + (scan.radix != 10 ? 2 : 0);
    if (range.end <= digits) return defaultValue;
    if (scan.sign == '-' && (scan.overflow || scan.value != 0)) return defaultValue;
    if (scan.overflow || scan.value > 0x7FFFFFFFu) return 0x7FFFFFFF;
    return static_cast<int32_t>(scan.value);
}

}  // namespace

ConfigStore& ConfigStore::Instance() {
    static ConfigStore store;
    return store;
}

ConfigStore::ConfigStore()
    : timeForm(RawString::FromLiteral("%Y/%m/%d %H:%M:%S")),
      backupDays(BackupDaysDefault),
      pairFileExtension(RawString::FromLiteral(".txt")),
      textNewLineCode(LineEndMarkFromValue(kDefaultLineEndMark)),
      virtualKeyFile(RawString::FromLiteral("VirtualKey.ini")),
      keyBindingFile(RawString::FromLiteral("KeyBinding.ini")),
      pathOption(WildcardAllText()),
      textOption(WildcardAllText()),
      binaryOption(WildcardAllText()),
      takeOverPathOption(WildcardAllText()),
      compareTimeBySecond(true),
      compareTimeAsFatTime(true),
      compareSizeOnText(true),
      compareTimeOnText(true),
      compareByteOnText(false),
      compareDataOnText(false),
      compareSizeOnOther(true),
      compareTimeOnOther(true),
      compareByteOnOther(false),
      compareDataOnOther(false),
      backupDisabled(false),
      foreReadingLines(50),
      foreReadingLinesEscaped(20),
      matchingRateThreshold(70),
      minMatchingChars(2),
      tabStop(4),
      lrMarginOnPath(2),
      lrMarginOnText(2),
      lrMarginOnBinary(4),
      maxClipLoading(32767),
      maxTextLoading(0x100000),
      maxBinaryLoading(0x100000) {
    RawString temp = RawLayer::ApiGetTempPath(RawLayer::KindUtf8);
    backupFolder = temp;
    if (!backupFolder.IsEmpty()) backupFolder.AppendAscii("\\");
    backupFolder.Append(BackupFolderNameText());
}

RawString ConfigStore::LineEndMarkFromValue(uint32_t value) {
    char bytes[4];
    int32_t count = 0;
    bool started = false;
    for (int shift = 24; shift >= 0; shift -= 8) {
        char b = static_cast<char>((value >> shift) & 0xFF);
        if (b != 0) started = true;
        if (started) bytes[count++] = b;
    }
    if (count == 0) return RawString(RawLayer::KindUtf8);
    return RawString::FromBytes(bytes, count, RawLayer::KindUtf8);
}

void ConfigStore::Load(const RawString& path) {
    configPath = path;
    fileRef = ProfileFileRef::FromPath(path);
    LoadOptions();
    LoadColorSettings();
    ClampValues();
    RawRange folder = RawLayer::PathFolderRange(configPath);
    RawString base;
    base.AssignRange(configPath, folder);
    virtualKeyFile = RawLayer::PathResolve(base, virtualKeyFile);
    keyBindingFile = RawLayer::PathResolve(base, keyBindingFile);
}

void ConfigStore::LoadOptions() {
    RawParameterList entries(false);
    if (!entries.ReadSection(fileRef, OptionSectionText())) return;
    const RawString* keys = OptionKeyTexts();
    char* base = reinterpret_cast<char*>(this);
    for (int i = 0; i < kOptionCount; ++i) {
        void* member = base + kOptions[i].offset;
        switch (kOptions[i].type) {
            case TypeString: {
                RawParameterUnit* unit = entries.Find(keys[i]);
                if (unit) *static_cast<RawString*>(member) = unit->value;
                break;
            }
            case TypeInt: {
                int32_t* value = static_cast<int32_t*>(member);
                *value = entries.GetInt(keys[i], *value);
                break;
            }
            case TypeCount: {
                int32_t* value = static_cast<int32_t*>(member);
                *value = ReadCount(entries, keys[i], *value);
                break;
            }
            case TypeBool: {
                bool* flag = static_cast<bool*>(member);
                *flag = entries.GetBool(keys[i], *flag);
                break;
            }
            case TypeLineEndMark: {
                // A missing key gives the built-in mark, whatever it was.
                int32_t value = entries.GetInt(keys[i], static_cast<int32_t>(kDefaultLineEndMark));
                *static_cast<RawString*>(member) = LineEndMarkFromValue(static_cast<uint32_t>(value));
                break;
            }
        }
    }
}

void ConfigStore::LoadColorSettings() {
    RawParameterList entries(false);
    if (!entries.ReadSection(fileRef, ColorSettingSectionText())) return;
    ColorSettingKeys(colors, entries);
}

void ConfigStore::ClampValues() {
    backupDays = ClampInt(backupDays, 0, BackupDaysMax);
    foreReadingLines = ClampForeReadingLines(foreReadingLines);
    foreReadingLinesEscaped = ClampForeReadingLines(foreReadingLinesEscaped);
    if (minMatchingChars < 1) minMatchingChars = 1;
    if (tabStop < 1) tabStop = 1;
    maxClipLoading = ClampInt(maxClipLoading, 1, MaxClipLoadingLimit);
    maxTextLoading = ClampInt(maxTextLoading, 1, MaxTextLoadingLimit);
    maxBinaryLoading = ClampInt(maxBinaryLoading, 1, MaxBinaryLoadingLimit);
    colors.lineColorOverwrap = ClampInt(colors.lineColorOverwrap, 0, 255);
    colors.titleColorOverwrap = ClampInt(colors.titleColorOverwrap, 0, 255);
    colors.cursorPivotOverwrap = ClampInt(colors.cursorPivotOverwrap, 0, 255);
    colors.imeClauseOverwrap = ClampInt(colors.imeClauseOverwrap, 0, 255);
}

int32_t KindMargin(uint32_t kind) {
    const ConfigStore& store = ConfigStore::Instance();
    switch (kind) {
        case KindPath: return store.lrMarginOnPath;
        case KindText: return store.lrMarginOnText;
        case KindBinary: return store.lrMarginOnBinary;
        default: return 2;
    }
}

bool ProfileSectionEnumerate(const ProfileFileRef& profile, const RawString& name,
                             JobProfileData::Enumerator& enumerator) {
    RawLineFile reader(profile.path, static_cast<int32_t>(profile.chunkSize));
    if (!reader.Open()) return false;
    RawString section;
    while (RawParameterList::NextSectionLine(reader, section)) {
        if (!RawParameterList::SectionNameEquals(section, name)) continue;
        RawParameterList entries(false);
        if (!entries.ReadEntries(reader)) return false;
        if (!enumerator.OnSection(entries)) return false;
    }
    // The walk ends at the end of the file or on a failure to read on.
    return !reader.HasError();
}

}  // namespace JobLayer
