// The option store and the colour table: defaults, type rules, clamping,
// the colour byte swap, key file resolution and the section walker.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/test_support.h"
#include "tavrel/jobs/color_settings.h"
#include "tavrel/jobs/config_store.h"
#include "base/language.h"

using namespace JobLayer;
using RawLayer::RawString;
using TestSupport::TempFolder;
using TestSupport::S;
using TestSupport::W;
using TestSupport::Utf8;
using TestSupport::Wide;
using TestSupport::WriteFileBytes;

namespace {

RawString T(const char* text) { return RawString::FromText(text); }

// A store loaded from a file holding the given text.
struct Loaded {
    TempFolder folder;
    std::wstring path;
    ConfigStore store;
    explicit Loaded(const std::string& text, bool write = true) {
        path = folder.Join(L"Tavrel.ini");
        if (write) WriteFileBytes(path, text);
        store.Load(W(path));
    }
};

void ExpectOptionDefaults(const ConfigStore& s) {
    EXPECT_EQ(S(s.timeForm), "%Y/%m/%d %H:%M:%S");
    EXPECT_EQ(s.backupDays, 10);
    EXPECT_EQ(S(s.pairFileExtension), ".txt");
    EXPECT_EQ(S(s.textNewLineCode), "\xEF\xBF\xA9");
    EXPECT_EQ(S(s.pathOption), "*");
    EXPECT_EQ(S(s.textOption), "*");
    EXPECT_EQ(S(s.binaryOption), "*");
    EXPECT_EQ(S(s.takeOverPathOption), "*");
    EXPECT_TRUE(s.compareTimeBySecond);
    EXPECT_TRUE(s.compareTimeAsFatTime);
    EXPECT_TRUE(s.compareSizeOnText);
    EXPECT_TRUE(s.compareTimeOnText);
    EXPECT_FALSE(s.compareByteOnText);
    EXPECT_FALSE(s.compareDataOnText);
    EXPECT_TRUE(s.compareSizeOnOther);
    EXPECT_TRUE(s.compareTimeOnOther);
    EXPECT_FALSE(s.compareByteOnOther);
    EXPECT_FALSE(s.compareDataOnOther);
    EXPECT_FALSE(s.backupDisabled);
    EXPECT_EQ(s.foreReadingLines, 50);
    EXPECT_EQ(s.foreReadingLinesEscaped, 20);
    EXPECT_EQ(s.matchingRateThreshold, 70);
    EXPECT_EQ(s.minMatchingChars, 2);
    EXPECT_EQ(s.tabStop, 4);
    EXPECT_EQ(s.lrMarginOnPath, 2);
    EXPECT_EQ(s.lrMarginOnText, 2);
    EXPECT_EQ(s.lrMarginOnBinary, 4);
    EXPECT_EQ(s.maxClipLoading, 32767);
    EXPECT_EQ(s.maxTextLoading, 0x100000);
    EXPECT_EQ(s.maxBinaryLoading, 0x100000);
    std::string backup = S(s.backupFolder);
    ASSERT_GE(backup.size(), 14u);
    EXPECT_EQ(backup.substr(backup.size() - 14), "\\Tavrel_Backup");
}

}  // namespace

TEST(ConfigStoreTest, DefaultsWithoutFile) {
    Loaded l("", false);
    ExpectOptionDefaults(l.store);
    EXPECT_EQ(l.store.colors.tabModifiedColor, 0x000000FFu);
    EXPECT_EQ(l.store.colors.detailBlankColor, NoColorValue);
    // The key files still resolve against the configuration's folder.
    EXPECT_EQ(S(l.store.keyBindingFile), Utf8(l.folder.Join(L"KeyBinding.ini")));
    EXPECT_EQ(S(l.store.virtualKeyFile), Utf8(l.folder.Join(L"VirtualKey.ini")));
}

TEST(ConfigStoreTest, MissingOptionSectionKeepsDefaultsAndReadsColours) {
    Loaded l("[Common]\r\nProgram=x\r\n[ColorSetting]\r\nLineDiff2Color=0x00FF00\r\n");
    ExpectOptionDefaults(l.store);
    EXPECT_EQ(l.store.colors.lineDiff2Color, 0x0000FF00u);
}

TEST(ConfigStoreTest, OptionTypeRules) {
    Loaded l(
        "[option]\r\n"
        "TimeForm=\r\n"
        "backupdisabled=\r\n"
        "CompareTimeBySecond=fAlSe\r\n"
        "CompareByteOnText=0\r\n"
        "BackupDays=0x10\r\n"
        "ForeReadingLines=+7\r\n"
        "MatchingRateThreshold=-5\r\n"
        "LRMarginOnPath=0b101\r\n"
        "LRMarginOnText=0o17\r\n"
        "LRMarginOnBinary=abc\r\n"
        "PathOption=Same,Edit1\r\n");
    const ConfigStore& s = l.store;
    EXPECT_EQ(S(s.timeForm), "");          // present and empty replaces
    EXPECT_TRUE(s.backupDisabled);         // empty value is true
    EXPECT_FALSE(s.compareTimeBySecond);   // "False" in any case
    EXPECT_TRUE(s.compareByteOnText);      // "0" is true
    EXPECT_EQ(s.backupDays, 16);
    EXPECT_EQ(s.foreReadingLines, 7);
    EXPECT_EQ(s.matchingRateThreshold, -5);
    EXPECT_EQ(s.lrMarginOnPath, 5);
    EXPECT_EQ(s.lrMarginOnText, 15);
    EXPECT_EQ(s.lrMarginOnBinary, 0);      // not a number: what the number parser yields
    EXPECT_EQ(S(s.pathOption), "Same,Edit1");
    EXPECT_EQ(s.maxClipLoading, 32767);    // missing key
    EXPECT_EQ(S(s.textNewLineCode), "\xEF\xBF\xA9");  // missing key: the default mark
}

TEST(ConfigStoreTest, LineEndMark) {
    struct Case {
        const char* value;
        std::string expected;
    } cases[] = {{"0", ""}, {"0x0A", "\n"}, {"0xEFBFA9", "\xEF\xBF\xA9"}, {"0x4142", "AB"}};
    for (const Case& c : cases) {
        Loaded l(std::string("[Option]\r\nTextNewLineCode=") + c.value + "\r\n");
        EXPECT_EQ(S(l.store.textNewLineCode), c.expected) << c.value;
    }
    EXPECT_EQ(ConfigStore::LineEndMarkFromValue(0x0A).Length(), 1);
}

TEST(ConfigStoreTest, BoundedOptionsAreClamped) {
    struct Case {
        const char* key;
        const char* value;
        int32_t ConfigStore::*member;
        int32_t expected;
    } cases[] = {
        {"ForeReadingLines", "0", &ConfigStore::foreReadingLines, 1},
        {"ForeReadingLines", "5000", &ConfigStore::foreReadingLines, 1000},
        {"ForeReadingLinesEscaped", "-3", &ConfigStore::foreReadingLinesEscaped, 1},
        {"ForeReadingLinesEscaped", "1001", &ConfigStore::foreReadingLinesEscaped, 1000},
        {"MinMatchingChars", "0", &ConfigStore::minMatchingChars, 1},
        {"MinMatchingChars", "9", &ConfigStore::minMatchingChars, 9},
        {"TabStop", "-4", &ConfigStore::tabStop, 1},
        {"BackupDays", "-1", &ConfigStore::backupDays, 10},
        {"BackupDays", "abc", &ConfigStore::backupDays, 10},
        {"BackupDays", " ", &ConfigStore::backupDays, 10},
        {"BackupDays", "0x", &ConfigStore::backupDays, 10},
        {"BackupDays", " 0 ", &ConfigStore::backupDays, 0},
        {"BackupDays", "99999", &ConfigStore::backupDays, 36500},
        {"MaxTextLoading", "0", &ConfigStore::maxTextLoading, 1},
        {"MaxTextLoading", "0x7FFFFFFF", &ConfigStore::maxTextLoading, MaxTextLoadingLimit},
        {"MaxBinaryLoading", "0x10000000", &ConfigStore::maxBinaryLoading, MaxBinaryLoadingLimit},
        {"MaxBinaryLoading", "-8", &ConfigStore::maxBinaryLoading, 1},
        {"MaxClipLoading", "2147483647", &ConfigStore::maxClipLoading, MaxClipLoadingLimit},
        {"MaxClipLoading", "100", &ConfigStore::maxClipLoading, 100},
    };
    for (const Case& c : cases) {
        Loaded l(std::string("[Option]\r\n") + c.key + "=" + c.value + "\r\n");
        EXPECT_EQ(l.store.*c.member, c.expected) << c.key << "=" << c.value;
    }
    Loaded w(
        "[ColorSetting]\r\nLineColorOverwrap=300\r\nTitleColorOverwrap=-1\r\n"
        "CursorPivotOverwrap=0x80\r\nImeClauseOverwrap=256\r\n");
    EXPECT_EQ(w.store.colors.lineColorOverwrap, 255);
    EXPECT_EQ(w.store.colors.titleColorOverwrap, 0);
    EXPECT_EQ(w.store.colors.cursorPivotOverwrap, 128);
    EXPECT_EQ(w.store.colors.imeClauseOverwrap, 255);
}

TEST(ConfigStoreTest, KeyFilesResolveAgainstConfigurationFolder) {
    Loaded l("[Option]\r\nKeyBindingFile=keys\\My.ini\r\nVirtualKeyFile=C:\\Fixed\\V.ini\r\n");
    EXPECT_EQ(S(l.store.keyBindingFile), Utf8(l.folder.Join(L"keys\\My.ini")));
    EXPECT_EQ(S(l.store.virtualKeyFile), "C:\\Fixed\\V.ini");
}

TEST(ConfigStoreTest, KindMarginDefaults) {
    EXPECT_EQ(KindMargin(0), ConfigStore::Instance().lrMarginOnPath);
    EXPECT_EQ(KindMargin(1), ConfigStore::Instance().lrMarginOnText);
    EXPECT_EQ(KindMargin(2), ConfigStore::Instance().lrMarginOnBinary);
    EXPECT_EQ(KindMargin(3), 2);
    EXPECT_EQ(KindMargin(77), 2);
}

// ---- colours ----------------------------------------------------------------

TEST(ColorSettingsTest, ValueSwapNoColorAndEmpty) {
    RawLayer::RawParameterList entries(false);
    entries.Add(T("A"), T("0x00FF00"));
    entries.Add(T("B"), T("0x123456"));
    entries.Add(T("C"), T("NoColor"));
    entries.Add(T("D"), T(""));
    entries.Add(T("E"), T("-1"));
    entries.Add(T("F"), T("junk"));
    entries.Add(T("G"), T(" 0xFF0000 "));
    EXPECT_EQ(ColorValue(entries, T("A"), 7), 0x0000FF00u);
    EXPECT_EQ(ColorValue(entries, T("B"), 7), 0x00563412u);
    EXPECT_EQ(ColorValue(entries, T("C"), 7), NoColorValue);
    EXPECT_EQ(ColorValue(entries, T("D"), 7), 7u);
    EXPECT_EQ(ColorValue(entries, T("missing"), 7), 7u);
    EXPECT_EQ(ColorValue(entries, T("E"), 7), 0x00FFFFFFu);  // top byte always 0
    EXPECT_EQ(ColorValue(entries, T("F"), 7), 7u);
    EXPECT_EQ(ColorValue(entries, T("G"), 7), 0x000000FFu);
}

TEST(ColorSettingsTest, DefaultsAndFlags) {
    ColorTable t;
    EXPECT_EQ(t.tabModifiedColor, 0x000000FFu);
    EXPECT_EQ(t.lineDiff2Color, 0x00B0DFFFu);
    EXPECT_EQ(t.detailBlankColor, NoColorValue);
    EXPECT_EQ(t.charSetBackColor, 0x00FFC0C0u);
    EXPECT_TRUE(t.lineColorSeparation);
    Loaded l("[ColorSetting]\r\nLineColorSeparation=\r\nLineDetailSeparation=FALSE\r\n"
             "LineDiff2Color=NoColor\r\nTabSameColor=\r\n");
    EXPECT_TRUE(l.store.colors.lineColorSeparation);
    EXPECT_FALSE(l.store.colors.lineDetailSeparation);
    EXPECT_EQ(l.store.colors.lineDiff2Color, NoColorValue);
    EXPECT_EQ(l.store.colors.tabSameColor, 0x00808080u);
}

TEST(ColorSettingsTest, EveryKeyIsRead) {
    // Each key gets its own value; every member must change accordingly.
    std::string text = "[ColorSetting]\r\n";
    for (int i = 0; i < ColorSettingKeyCount; ++i) {
        std::string key = S(ColorSettingKeyName(i));
        ASSERT_FALSE(key.empty());
        std::string value;
        if (key == "LineColorSeparation" || key == "LineDetailSeparation")
            value = "False";
        else
            value = std::to_string(i + 1);  // a weight, or 0x0000RR as a colour
        text += key + "=" + value + "\r\n";
    }
    EXPECT_TRUE(ColorSettingKeyName(ColorSettingKeyCount).IsEmpty());
    EXPECT_EQ(S(ColorSettingKeyName(31)), "CursorPivotOverwrap");
    EXPECT_EQ(S(ColorSettingKeyName(34)), "ImeClauseOverwrap");
    Loaded l(text);
    const ColorTable& c = l.store.colors;
    EXPECT_FALSE(c.lineColorSeparation);
    EXPECT_FALSE(c.lineDetailSeparation);
    EXPECT_EQ(c.lineColorOverwrap, 3);
    EXPECT_EQ(c.titleColorOverwrap, 4);
    // A decimal value n is 0x0000nn: blue, so the COLORREF is n << 16.
    EXPECT_EQ(c.tabSameColor, 5u << 16);
    EXPECT_EQ(c.detailBlankColor, 16u << 16);
    EXPECT_EQ(c.cursorPivotColor, 31u << 16);
    EXPECT_EQ(c.cursorPivotOverwrap, 32);
    EXPECT_EQ(c.imeClause2Color, 34u << 16);
    EXPECT_EQ(c.imeClauseOverwrap, 35);
    EXPECT_EQ(c.charSetBackColor, 37u << 16);
}

TEST(ColorSettingsTest, KindNamesAndButtonFace) {
    EXPECT_EQ(S(KindName(0)), "Path type");
    EXPECT_EQ(S(KindName(1)), "Text type");
    EXPECT_EQ(S(KindName(2)), "Binary type");
    EXPECT_TRUE(KindName(3).IsEmpty());
    EXPECT_EQ(ButtonFaceColor(), GetSysColor(COLOR_BTNFACE));
}

// ---- section walker ----------------------------------------------------------

namespace {

struct Collect : JobProfileData::Enumerator {
    std::vector<std::string> names;
    size_t stopAfter = 1000;
    bool OnSection(const RawLayer::RawParameterList& entries) override {
        names.push_back(S(entries.GetText(T("name"))));
        return names.size() < stopAfter;
    }
};

}  // namespace

TEST(ProfileSectionEnumerateTest, RepeatedSectionsInFileOrder) {
    TempFolder folder;
    std::wstring path = folder.Join(L"c.ini");
    WriteFileBytes(path,
                   "[UserCommand]\r\nName=A\r\n[Other]\r\nName=X\r\n[usercommand]\r\n// c\r\nName=B\r\n"
                   "\r\n[UserCommand]\r\nName=C\r\n[UserCommandX]\r\nName=Y\r\n");
    RawLayer::ProfileFileRef ref = RawLayer::ProfileFileRef::FromPath(W(path));
    Collect all;
    EXPECT_TRUE(ProfileSectionEnumerate(ref, T("UserCommand"), all));
    EXPECT_EQ(all.names, (std::vector<std::string>{"A", "B", "C"}));

    Collect stop;
    stop.stopAfter = 1;
    EXPECT_FALSE(ProfileSectionEnumerate(ref, T("UserCommand"), stop));
    EXPECT_EQ(stop.names, (std::vector<std::string>{"A"}));

    Collect none;
    EXPECT_TRUE(ProfileSectionEnumerate(ref, T("OpenCommand"), none));
    EXPECT_TRUE(none.names.empty());

    RawLayer::ProfileFileRef missing = RawLayer::ProfileFileRef::FromPath(W(folder.Join(L"no.ini")));
    EXPECT_FALSE(ProfileSectionEnumerate(missing, T("UserCommand"), none));
}

// ---- column titles ------------------------------------------------------------

TEST(ColumnTitlesTest, EnglishDefaultsThenLanguageFile) {
    struct Case {
        uint32_t kind;
        int column;
        const char* title;
    } cases[] = {
        {0, 0, "Title"}, {0, 1, "Size"}, {0, 2, "Date"},
        {1, 0, "Line"},  {1, 1, "Text"}, {1, 2, ""},
        {2, 0, "Address"},
        {2, 1, "00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F"},
        {2, 2, "0123456789ABCDEF"},
        {3, 0, ""}, {3, 1, ""}, {3, 2, ""}, {0, 3, ""}, {1, -1, ""}, {9, 0, ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(S(ColumnTitles(c.kind, c.column)), c.title) << c.kind << "/" << c.column;
    EXPECT_EQ(S(ListLabelText(2, 1)), "HexView");

    // A language replaces the label texts, never the fixed binary headers.
    TempFolder folder;
    std::wstring path = folder.Join(L"LanguageFile.ini");
    WriteFileBytes(path,
                   "[LangMap]\r\nTest=1\r\n[Test]\r\nListLabel_Binary_Address=Adresse\r\n"
                   "ListLabel_Binary_HexView=Hex\r\nListLabel_Text_Line=Zeile\r\n");
    RawLayer::LanguageTable& table = RawLayer::LanguageTable::Construct();
    table.SetFilePath(W(path));
    ASSERT_TRUE(table.UseLanguage(T("Test")));
    EXPECT_EQ(S(ColumnTitles(2, 0)), "Adresse");
    EXPECT_EQ(S(ColumnTitles(2, 1)), "00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F");
    EXPECT_EQ(S(ListLabelText(2, 1)), "Hex");
    EXPECT_EQ(S(ColumnTitles(1, 0)), "Zeile");
    EXPECT_EQ(S(ColumnTitles(0, 0)), "Title");
}
