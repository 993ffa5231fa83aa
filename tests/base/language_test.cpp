// Language texts: choosing the language, looking texts up, escapes.
// RUN_UNDER_BOTH_CODE_PAGES: language files hold non-ASCII text.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/language.h"
#include "support/test_support.h"

using namespace RawLayer;
using TestSupport::TempFolder;

namespace {

RawString Text(const char* utf8) { return RawString::FromText(utf8); }

RawString PathOf(const std::wstring& path) { return RawString::FromWideText(path.c_str()); }

std::string Utf8Of(const RawString& text) {
    RawString utf8 = text.As(KindUtf8);
    return std::string(utf8.Bytes(), static_cast<size_t>(utf8.Length()));
}

const RawParameterUnit& UnitAt(const RawParameterList& list, int32_t index) {
    return *static_cast<const RawParameterUnit*>(list.LinkAt(index)->unit);
}

const char kMappedFile[] =
    "\xEF\xBB\xBF"
    "// languages\r\n"
    "[LangMap]\r\n"
    "Japanese=1041\r\n"
    "German=0x407\r\n"
    "[Japanese]\r\n"
    "ToolMessage_SearchTag=\xE6\xA4\x9C\xE7\xB4\xA2:\r\n"
    "Dialog_Lines=Line1\\nLine2\\tEnd\\sX\r\n"
    "Dialog_Path=C:\\\\new\r\n"
    "[German]\r\n"
    "ToolMessage_SearchTag=Suche:\r\n";

const RawLocaleRecord kDialogTexts[] = {
    {"Lines", "One\r\nTwo"},
    {"Path", "C:\\default"},
    {"Plain", "Plain text"},
    {"", ""},
};

}  // namespace

TEST(LanguageChoice, LangMapPicksByUiLanguageElseDefault) {
    TempFolder temp;
    ASSERT_TRUE(TestSupport::WriteFileBytes(temp.Join(L"LanguageFile.ini"), std::string(kMappedFile)));
    struct Case {
        uint32_t ui;
        const char* selected;
        const char* inUse;
        const char* searchTag;
    } cases[] = {
        {1041, "", "Japanese", "\xE6\xA4\x9C\xE7\xB4\xA2:"},
        {0x407, "", "German", "Suche:"},
        {1033, "", "Default", "Search:"},          // no mapping: English
        {1041, "German", "German", "Suche:"},      // the profile's choice wins
        {1041, "Klingon", "Klingon", "Search:"},   // no such section: English
    };
    for (const Case& c : cases) {
        LanguageTable table;
        ASSERT_TRUE(table.LocateFile(PathOf(temp.Path())));
        table.Select(Text(c.selected));
        RawString name = table.ChooseLanguage(c.ui);
        EXPECT_EQ(Utf8Of(name), c.inUse);
        EXPECT_EQ(Utf8Of(table.LanguageInUse()), c.inUse);
        RawString section = table.RegisterTable(ToolMessageSectionText(), InputDialogTexts);
        EXPECT_EQ(Utf8Of(section), "ToolMessage");
        EXPECT_EQ(Utf8Of(table.TextOf(section, Text("SearchTag"), Text("unused"))), c.searchTag) << c.ui;
        // A key the language lacks shows its English default.
        EXPECT_EQ(Utf8Of(table.TextOf(section, Text("ReplaceTag"), Text("unused"))), "Replace:");
    }
}

TEST(LanguageChoice, LanguageListAndIds) {
    TempFolder temp;
    ASSERT_TRUE(TestSupport::WriteFileBytes(temp.Join(L"LanguageFile.ini"), std::string(kMappedFile)));
    LanguageTable table;
    table.SetFilePath(PathOf(temp.Join(L"LanguageFile.ini")));
    table.Load();
    RawParameterList languages = table.Languages();
    ASSERT_EQ(languages.Count(), 2);
    EXPECT_EQ(Utf8Of(languages.Find(Text("Japanese"))->key), "Japanese");
    EXPECT_EQ(languages.Find(Text("Japanese"))->number, 1041u);
    EXPECT_EQ(languages.Find(Text("German"))->number, 0x407u);
    EXPECT_EQ(Utf8Of(table.PickLanguage(1041)), "Japanese");
    EXPECT_EQ(Utf8Of(table.PickLanguage(0)), "Default");
}

TEST(LanguageChoice, WithoutLangMapTheSectionsAreTheLanguages) {
    TempFolder temp;
    ASSERT_TRUE(TestSupport::WriteFileBytes(temp.Join(L"LanguageFile.ini"),
                                            std::string("top=ignored\r\n[French]\r\nA_b=c\r\n[Italian]\r\n"
                                                        "A_b=d\r\n[French]\r\nA_c=e\r\n")));
    LanguageTable table;
    table.SetFilePath(PathOf(temp.Join(L"LanguageFile.ini")));
    table.Load();
    RawParameterList languages = table.Languages();
    ASSERT_EQ(languages.Count(), 2);
    EXPECT_EQ(Utf8Of(UnitAt(languages, 0).key), "French");
    EXPECT_EQ(Utf8Of(UnitAt(languages, 1).key), "Italian");
    EXPECT_TRUE(UnitAt(languages, 0).value.IsEmpty());
    EXPECT_EQ(Utf8Of(table.PickLanguage(1041)), "Default");
    EXPECT_EQ(Utf8Of(table.ChooseLanguage(1041)), "Default");
    EXPECT_EQ(Utf8Of(table.TextOf(Text("A"), Text("b"), Text("English"))), "English");
}

TEST(LanguageChoice, LocateFileOrder) {
    TempFolder temp;
    // A folder of that name is not a language file.
    ASSERT_TRUE(CreateDirectoryW(temp.Join(L"LanguageFile.ini").c_str(), nullptr));
    LanguageTable table;
    EXPECT_FALSE(table.LocateFile(PathOf(temp.Path())));
    EXPECT_TRUE(table.FilePath().IsEmpty());

    TempFolder other;
    ASSERT_TRUE(TestSupport::WriteFileBytes(other.Join(L"LanguageFile.ini"), std::string("[LangMap]\r\n")));
    EXPECT_TRUE(table.LocateFile(PathOf(other.Path())));
    EXPECT_EQ(Utf8Of(table.FilePath()), TestSupport::Utf8(other.Join(L"LanguageFile.ini")));
    // A path already set is kept.
    EXPECT_TRUE(table.LocateFile(PathOf(temp.Path())));
    EXPECT_EQ(Utf8Of(table.FilePath()), TestSupport::Utf8(other.Join(L"LanguageFile.ini")));
}

TEST(LanguageTexts, StoredEscapesAreShownUnescaped) {
    TempFolder temp;
    ASSERT_TRUE(TestSupport::WriteFileBytes(temp.Join(L"LanguageFile.ini"), std::string(kMappedFile)));
    LanguageTable table;
    table.SetFilePath(PathOf(temp.Join(L"LanguageFile.ini")));
    ASSERT_TRUE(table.UseLanguage(Text("Japanese")));
    RawString section = table.RegisterTable(Text("Dialog"), kDialogTexts);
    EXPECT_EQ(Utf8Of(table.TextOf(section, Text("Lines"), Text(""))), "Line1\r\nLine2\tEnd X");
    EXPECT_EQ(Utf8Of(table.TextOf(section, Text("Path"), Text(""))), "C:\\new");
    // Defaults from the table keep their backslashes and line breaks.
    EXPECT_EQ(Utf8Of(table.TextOf(section, Text("Plain"), Text(""))), "Plain text");
    ASSERT_TRUE(table.UseLanguage(Text("German")));
    EXPECT_EQ(Utf8Of(table.TextOf(section, Text("Path"), Text(""))), "C:\\default");
    EXPECT_EQ(Utf8Of(table.TextOf(section, Text("Lines"), Text(""))), "One\r\nTwo");
    RawString wide = table.TextOf(section, Text("Lines"), Text(""), KindUtf16);
    ASSERT_EQ(wide.Kind(), KindUtf16);
    EXPECT_EQ(std::wstring(wide.Wide(), wide.Length()), L"One\r\nTwo");
    RawString translated;
    EXPECT_FALSE(table.FindTranslation(section, Text("Lines"), translated));
    EXPECT_TRUE(table.FindTranslation(ToolMessageSectionText(), Text("SearchTag"), translated));
    EXPECT_EQ(Utf8Of(translated), "Suche:");
}

TEST(LanguageTexts, MissingKeysAreRegisteredEscaped) {
    LanguageTable table;
    EXPECT_FALSE(table.IsModified());
    for (int round = 0; round < 2; ++round) {
        EXPECT_EQ(Utf8Of(table.TextOf(Text("Sec"), Text("Path"), Text("C:\\new\\table"))), "C:\\new\\table");
        EXPECT_EQ(Utf8Of(table.TextOf(Text("Sec"), Text("Two"), Text("a\r\nb\tc"))), "a\r\nb\tc");
    }
    EXPECT_TRUE(table.IsModified());
    RawParameterList defaults = table.Defaults();
    ASSERT_EQ(defaults.Count(), 2);
    EXPECT_EQ(Utf8Of(defaults.Find(Text("Sec_Path"))->value), "C:\\\\new\\\\table");
    EXPECT_EQ(Utf8Of(defaults.Find(Text("Sec_Two"))->value), "a\\nb\\tc");
    // The key itself is the default when none is given.
    EXPECT_EQ(Utf8Of(table.LookupText(Text("ErrorMessage"), Text("ReadError"))), "ReadError");
}

TEST(LanguageTexts, NewEntriesAreSavedAfterTheTranslationsAndAReadOnlyFileStays) {
    TempFolder temp;
    const std::wstring path = temp.Join(L"LanguageFile.ini");
    ASSERT_TRUE(TestSupport::WriteFileBytes(path, std::string("[English]\r\nSec_Old=Alt \xC3\xA4\r\n")));
    LanguageTable table;
    table.SetFilePath(PathOf(path));
    ASSERT_TRUE(table.UseLanguage(Text("English")));
    // Nothing met yet: nothing written.
    EXPECT_TRUE(table.SaveNewEntries());
    EXPECT_EQ(TestSupport::ReadFileBytes(path).size(), std::string("[English]\r\nSec_Old=Alt \xC3\xA4\r\n").size());
    EXPECT_EQ(Utf8Of(table.TextOf(Text("Sec"), Text("Old"), Text("old"))), "Alt \xC3\xA4");
    EXPECT_EQ(Utf8Of(table.TextOf(Text("Sec"), Text("New"), Text("a\r\nb"))), "a\r\nb");
    ASSERT_TRUE(table.IsModified());
    // Read-only: refused, the file as it was, the mark kept for a later save.
    const std::vector<uint8_t> before = TestSupport::ReadFileBytes(path);
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_READONLY);
    EXPECT_FALSE(table.SaveNewEntries());
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(TestSupport::ReadFileBytes(path), before);
    EXPECT_TRUE(table.IsModified());
    // Saved: the translation first, the new text escaped after it, and a
    // fresh table reads both back.
    EXPECT_TRUE(table.SaveNewEntries());
    EXPECT_FALSE(table.IsModified());
    LanguageTable again;
    again.SetFilePath(PathOf(path));
    ASSERT_TRUE(again.UseLanguage(Text("English")));
    RawString text;
    ASSERT_TRUE(again.FindTranslation(Text("Sec"), Text("Old"), text));
    EXPECT_EQ(Utf8Of(text), "Alt \xC3\xA4");
    ASSERT_TRUE(again.FindTranslation(Text("Sec"), Text("New"), text));
    EXPECT_EQ(Utf8Of(again.TextOf(Text("Sec"), Text("New"), Text("x"))), "a\r\nb");
}

TEST(LanguageTexts, TablesRegisterOnceAndOverrideEarlierDefaults) {
    LanguageTable table;
    // A key met before its table: the table's default replaces it.
    EXPECT_EQ(Utf8Of(table.TextOf(Text("Dialog"), Text("Plain"), Text("early"))), "early");
    EXPECT_EQ(Utf8Of(table.RegisterTable(Text("Dialog"), kDialogTexts)), "Dialog");
    EXPECT_EQ(Utf8Of(table.TextOf(Text("Dialog"), Text("Plain"), Text("early"))), "Plain text");
    EXPECT_EQ(table.Defaults().Count(), 3);
    table.RegisterTable(Text("Dialog"), kDialogTexts);
    EXPECT_EQ(table.Defaults().Count(), 3);
    table.RegisterTable(ToolMessageSectionText(), InputDialogTexts);
    EXPECT_EQ(table.Defaults().Count(), 3 + 13);
}

TEST(LanguageTexts, ProcessTable) {
    EXPECT_EQ(&LanguageTable::Construct(), &LanguageTable::Construct());
    LanguageTable::SetLanguage(Text("Japanese"));
    EXPECT_EQ(Utf8Of(LanguageTable::Construct().SelectedLanguage()), "Japanese");
    LanguageTable::SetLanguage(RawString());
    EXPECT_TRUE(LanguageTable::Construct().SelectedLanguage().IsEmpty());
    RawString section = LanguageTable::Lookup(ToolMessageSectionText(), InputDialogTexts);
    EXPECT_EQ(Utf8Of(LanguageTable::Text(section, Text("GotoLineTag"))), "Line:");
    EXPECT_EQ(Utf8Of(LanguageTable::Text(section, Text("Unlisted"))), "Unlisted");
    EXPECT_EQ(Utf8Of(LanguageTextLookup(section, Text("NewKey"), Text("x\ty"))), "x\\ty");
    EXPECT_EQ(Utf8Of(TitlePrefixText()), "Tavrel - ");
    EXPECT_EQ(std::string(DialogButtonTexts[1].text), "No");
    EXPECT_EQ(DialogButtonTexts[1].result, 3u);
    EXPECT_EQ(std::string(DialogButtonTexts[3].text), "");
}

TEST(Escapes, RoundTripsAndEdges) {
    struct Case {
        const char* plain;
        const char* escaped;
        const char* back;
    } cases[] = {
        {"C:\\new", "C:\\\\new", "C:\\new"},
        {"a\r\nb\rc\nd", "a\\nb\\nc\\nd", "a\r\nb\r\nc\r\nd"},
        {"tab\there", "tab\\there", "tab\there"},
        {"blank stays", "blank stays", "blank stays"},
        {"end\\", "end\\\\", "end\\"},
        {"\\\\", "\\\\\\\\", "\\\\"},
        {"", "", ""},
    };
    for (const Case& c : cases) {
        RawString escaped = EscapeText(Text(c.plain));
        EXPECT_EQ(Utf8Of(escaped), c.escaped) << c.plain;
        EXPECT_EQ(Utf8Of(UnescapeText(escaped)), c.back) << c.plain;
    }
    struct Unescape {
        const char* text;
        const char* expected;
    } unescapes[] = {
        {"Line1\\nLine2\\tEnd\\sX", "Line1\r\nLine2\tEnd X"},
        {"trailing\\", "trailing\\"},
        {"\\q\\\\", "q\\"},
        {"\\", "\\"},
    };
    for (const Unescape& u : unescapes) EXPECT_EQ(Utf8Of(UnescapeText(Text(u.text))), u.expected) << u.text;
}

TEST(Escapes, WholeCharactersAndKinds) {
    // The Shift_JIS character 0x95 0x5C has a trail byte that looks like a
    // backslash; it is one character and stays as it is.
    RawString sjis = RawString::FromBytes("\x95\x5C\t", 3, KindSjis);
    RawString escaped = EscapeText(sjis);
    ASSERT_EQ(escaped.Kind(), KindSjis);
    EXPECT_EQ(std::string(escaped.Bytes(), escaped.Length()), "\x95\x5C\\t");
    EXPECT_EQ(std::string(UnescapeText(escaped).Bytes(), 3), "\x95\x5C\t");

    RawString wide = RawString::FromWideText(L"\u65E5\\\r\n");
    RawString wideEscaped = EscapeText(wide);
    ASSERT_EQ(wideEscaped.Kind(), KindUtf16);
    EXPECT_EQ(std::wstring(wideEscaped.Wide(), wideEscaped.Length()), L"\u65E5\\\\\\n");
}
