// Open and user commands, failure reports, the temporary folder and the
// clipboard files of the job environment. Commands really run (cmd.exe)
// and report back through marker files.
// RUN_UNDER_BOTH_CODE_PAGES
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/clipboard.h"
#include "base/language.h"
#include "base/profile.h"
#include "support/test_support.h"
#include "tavrel/jobs/job_group.h"
#include "tavrel/jobs/shell_commands.h"
#include "toolkit/bitmap_pool.h"

using namespace JobLayer;
using RawLayer::RawString;
using TestSupport::FileExists;
using TestSupport::FileText;
using TestSupport::S;
using TestSupport::W;
using TestSupport::ReadFileBytes;
using TestSupport::TempFolder;
using TestSupport::Utf8;
using TestSupport::Wide;
using TestSupport::WriteFileBytes;

namespace {

RawString T(const char* text) { return RawString::FromText(text); }

// Waits for a started command to leave its marker file (with content).
bool WaitForFile(const std::wstring& path) {
    for (int i = 0; i < 200; ++i) {
        if (FileExists(path) && !ReadFileBytes(path).empty()) {
            Sleep(100);  // let the writer finish
            return true;
        }
        Sleep(50);
    }
    return false;
}

class TestLogger : public JobServerControl::Logger {
public:
    void Report(const RawString& line) override { lines.push_back(S(line)); }
    std::vector<std::string> lines;
};

// A configuration file in a temporary folder, loaded into a store.
struct Config {
    TempFolder folder;
    std::wstring path;
    ExtensionKindTable table;
    explicit Config(const std::string& text) {
        path = folder.Join(L"Tavrel.ini");
        WriteFileBytes(path, text);
    }
    RawLayer::ProfileFileRef Ref() const { return RawLayer::ProfileFileRef::FromPath(W(path)); }
};

}  // namespace

// ---- failure reports ---------------------------------------------------------

TEST(ReportError, WritesKeyTextAndPath) {
    TestLogger logger;
    ReportError(&logger, ReadOpenErrorText(), T("C:\\data\\a.txt"));
    ReportError(&logger, SaveErrorText(), RawString());
    ReportError(&logger, CopyErrorText(), W(L"C:\\\u65e5\u672c\\\u00e9.txt"));
    ReportError(&logger, T("UnlistedKey"), T("x"));
    ASSERT_EQ(logger.lines.size(), 4u);
    EXPECT_EQ(logger.lines[0], "ReadOpenError (C:\\data\\a.txt)");
    EXPECT_EQ(logger.lines[1], "SaveError");  // no parentheses for an empty path
    EXPECT_EQ(logger.lines[2], Utf8(L"CopyError (C:\\\u65e5\u672c\\\u00e9.txt)"));
    EXPECT_EQ(logger.lines[3], "UnlistedKey (x)");
}

TEST(ReportError, WithoutOutputWritesNothing) {
    ReportError(nullptr, ReadErrorText(), T("C:\\x"));
    ReportError(nullptr, ReadErrorText(), RawString());
    // The job environment has no output until the main dialog sets one.
    ShellCommandStore::Instance().SetOutput(nullptr);
    ReportError(WriteErrorText(), RawString());
    TestLogger logger;
    ShellCommandStore::Instance().SetOutput(&logger);
    ReportError(WriteErrorText(), T("p"));
    ShellCommandStore::Instance().SetOutput(nullptr);
    ReportError(WriteErrorText(), T("q"));
    ASSERT_EQ(logger.lines.size(), 1u);
    EXPECT_EQ(logger.lines[0], "WriteError (p)");
}

TEST(ReportError, DefaultsRegisteredInOrderAndLanguageReplaces) {
    const char* const keys[] = {"ReadOpenError", "WriteOpenError", "ReadError", "WriteError",
                                "BackupError", "RestoreError", "CopyError", "DirectoryError",
                                "TooLargeFile", "SaveError", "NoPathSpecifiedError",
                                "DifferentKindError", "OriginalKeptAs", "NoLinesReadError", "UnheldTextError",
                                "PathTooLongError"};
    for (size_t i = 0; i < 16; ++i) {
        ASSERT_NE(ErrorMessageTexts[i].key, nullptr);
        EXPECT_EQ(std::string(ErrorMessageTexts[i].key), keys[i]);
        // The key is its own text but where a sentence says more.
        if (i < 14) {
            EXPECT_EQ(std::string(ErrorMessageTexts[i].text), keys[i]);
        }
    }
    EXPECT_EQ(std::string(ErrorMessageTexts[14].text),
              "Nothing changed: the side's encoding cannot hold every character of the text");
    EXPECT_EQ(std::string(ErrorMessageTexts[15].text), "the path is too long for this step");
    EXPECT_EQ(ErrorMessageTexts[16].key, nullptr);

    TempFolder temp;
    std::wstring file = temp.Join(L"LanguageFile.ini");
    WriteFileBytes(file, std::string("[LangMap]\r\nGerman=1031\r\n[German]\r\n"
                                     "ErrorMessage_ReadError=Lesefehler\r\n"
                                     "ErrorMessage_TooLargeFile=Datei zu gro\xC3\x9F\r\n"));
    RawLayer::LanguageTable& table = RawLayer::LanguageTable::Construct();
    table.SetFilePath(W(file));
    ASSERT_TRUE(table.UseLanguage(T("German")));
    TestLogger logger;
    ReportError(&logger, ReadErrorText(), T("a.txt"));
    ReportError(&logger, TooLargeFileText(), RawString());
    ReportError(&logger, WriteErrorText(), RawString());
    table.UseLanguage(T("NoSuchLanguage"));
    ReportError(&logger, ReadErrorText(), RawString());
    ASSERT_EQ(logger.lines.size(), 4u);
    EXPECT_EQ(logger.lines[0], "Lesefehler (a.txt)");
    EXPECT_EQ(logger.lines[1], "Datei zu gro\xC3\x9F");
    EXPECT_EQ(logger.lines[2], "WriteError");
    EXPECT_EQ(logger.lines[3], "ReadError");
}

// ---- templates -----------------------------------------------------------------

TEST(CommandTemplates, OpenParameterExpansion) {
    struct Case {
        const char* pattern;
        const wchar_t* path;
        int32_t number;
        const wchar_t* expected;
    };
    const Case cases[] = {
        {"\"%s\"", L"C:\\a b.txt", 0, L"\"C:\\a b.txt\""},
        {"-n%n \"%s\"", L"C:\\a.txt", 12, L"-n12 \"C:\\a.txt\""},
        {"-n%n \"%s\"", L"C:\\a.txt", 0, L"-n%n \"C:\\a.txt\""},  // no number: %n stays
        {"%s %s", L"x", 0, L"x %s"},                             // only the first %s
        {"%s -l%n %n", L"x", 3, L"x -l3 %n"},
        {"no marks", L"x", 5, L"no marks"},
        {"", L"x", 5, L""},
        // A path that holds marks is put in as it is.
        {"%s:%n", L"C:\\100%n\\%s.txt", 7, L"C:\\100%n\\%s.txt:7"},
        {"%s", L"%s%s", 0, L"%s%s"},
        {"%n %s", L"\u65e5%n.txt", 9, L"9 \u65e5%n.txt"},
    };
    for (const Case& c : cases) {
        RawString result = ExpandOpenParameter(T(c.pattern), W(c.path), c.number);
        EXPECT_EQ(S(result), Utf8(c.expected)) << c.pattern;
    }
    // An ANSI template with a UTF-16 path loses nothing.
    RawString ansi = RawString::FromBytes("\"%s\"", 4, RawLayer::KindAnsi);
    EXPECT_EQ(S(ExpandOpenParameter(ansi, W(L"\u4e2d.txt"), 0)), Utf8(L"\"\u4e2d.txt\""));
}

TEST(CommandTemplates, UserParameterExpansion) {
    struct Case {
        uint32_t side;
        bool second;
        const char* pattern;
        const wchar_t* text1;
        const wchar_t* text2;
        const wchar_t* expected;
    };
    const Case cases[] = {
        {UserTargetSideBoth, false, "\"%s1\" \"%s2\"", L"a", L"b", L"\"a\" \"b\""},
        {UserTargetSideBoth, false, "%s2 %s1", L"a", L"b", L"b a"},
        {UserTargetSideBoth, false, "%s1 %s1 %s2 %s2", L"a", L"b", L"a %s1 b %s2"},
        {UserTargetSideEach, false, "%s1 %s1", L"a", L"b", L"a %s1"},  // first only
        {UserTargetSideEach, true, "-x %s1", L"a", L"b", L"-x b"},
        {UserTargetSideEach, false, "%s1 %s2", L"a", L"b", L"a %s2"},
        // Texts put in are never searched again.
        {UserTargetSideBoth, false, "%s1|%s2", L"has %s2", L"B", L"has %s2|B"},
        {UserTargetSideBoth, false, "%s1|%s2", L"A", L"%s1", L"A|%s1"},
        {UserTargetSideEach, true, "%s1 %s1", L"a", L"x%s1", L"x%s1 %s1"},
        {UserTargetSideBoth, false, "%s1", L"\u00e9\u65e5", L"", L"\u00e9\u65e5"},
    };
    for (const Case& c : cases) {
        JobUserShellUnit unit;
        unit.targetSide = c.side;
        unit.parameter = T(c.pattern);
        EXPECT_EQ(S(unit.ExpandParameter(c.second, W(c.text1), W(c.text2))), Utf8(c.expected))
            << c.pattern;
    }
}

// ---- loading -------------------------------------------------------------------

TEST(CommandLists, SectionsLoadInFileOrder) {
    Config config(
        "[Option]\r\nTabStop=4\r\n"
        "[OpenCommand]\r\nCommand=first.exe\r\nParameter=\"%s\"\r\nExtension=cpp,h,Text\r\n"
        "ParameterNum=-n%n \"%s\"\r\nDirectory=C:\\work\r\nShowStatus=Maximize\r\n"
        "[UserCommand]\r\nName=Diff\r\nCommand=diff.exe\r\nParameter=%s1 %s2\r\n"
        "TargetSide=Each\r\nTargetLine=Multiple\r\nTargetKind=Text\r\n"
        "[Extension]\r\ntxt=Text\r\ndat=Binary\r\n"
        "[opencommand]\r\nCommand=second.exe\r\nExtension=Folder\r\n"
        "[UserCommand]\r\nName=Other\r\nCommand=o.exe\r\nTargetSide=each\r\nTargetLine=x\r\n"
        "TargetKind=Whatever\r\n"
        "[UserCommand]\r\nName=Bin\r\nTargetKind=Binary\r\n"
        "[UserCommand]\r\nName=Files\r\nTargetKind=File\r\nTargetSide=Both\r\n");
    ShellCommandStore store(config.table, W(config.folder.Join(L"tmp")));
    store.Load(config.Ref());

    ASSERT_EQ(store.openCommands.Count(), 2);
    const JobOpenShellUnit* open1 = store.openCommands.At(0);
    EXPECT_EQ(S(open1->command), "first.exe");
    EXPECT_EQ(S(open1->parameter), "\"%s\"");
    EXPECT_EQ(S(open1->extension), "cpp,h,Text");
    EXPECT_EQ(S(open1->parameterNum), "-n%n \"%s\"");
    EXPECT_EQ(S(open1->directory), "C:\\work");
    EXPECT_EQ(open1->showMode, 3);
    EXPECT_EQ(S(store.openCommands.At(1)->command), "second.exe");
    EXPECT_EQ(S(store.openCommands.At(1)->extension), "Folder");
    EXPECT_TRUE(store.openCommands.At(1)->parameterNum.IsEmpty());

    struct Expected {
        const char* name;
        uint32_t side, line, kind;
    };
    const Expected users[] = {{"Diff", 1, 1, 3}, {"Other", 0, 0, 0}, {"Bin", 0, 0, 4}, {"Files", 0, 0, 2}};
    ASSERT_EQ(store.userCommands.Count(), 4);
    for (int i = 0; i < 4; ++i) {
        const JobUserShellUnit* unit = store.userCommands.At(i);
        EXPECT_EQ(S(unit->name), users[i].name);
        EXPECT_EQ(unit->targetSide, users[i].side) << users[i].name;
        EXPECT_EQ(unit->targetLine, users[i].line) << users[i].name;
        EXPECT_EQ(unit->targetKind, users[i].kind) << users[i].name;
    }
    EXPECT_EQ(S(store.userCommands.At(0)->parameter), "%s1 %s2");
    // The extension table came along.
    EXPECT_EQ(config.table.KindOfPath(T("x.dat")), 2u);
    EXPECT_EQ(config.table.KindOfPath(T("x.TXT")), 1u);
    // The entry-kind icons: folder, text file, other file.
    ASSERT_NE(store.iconPool, nullptr);
    EXPECT_EQ(store.iconPool->used, 3);

    // Loading again does not double the lists.
    store.Load(config.Ref());
    EXPECT_EQ(store.openCommands.Count(), 2);
    EXPECT_EQ(store.userCommands.Count(), 4);
}

TEST(CommandLists, AcceptsKind) {
    // Rows: TargetKind 0..5; columns: job kinds path, text, binary, none.
    const bool expected[6][4] = {
        {true, true, true, false},  {true, false, false, false}, {false, true, true, false},
        {false, true, false, false}, {false, false, true, false}, {false, false, false, false},
    };
    for (uint32_t target = 0; target < 6; ++target) {
        JobUserShellUnit unit;
        unit.targetKind = target;
        for (uint32_t kind = 0; kind < 4; ++kind)
            EXPECT_EQ(unit.AcceptsKind(kind), expected[target][kind]) << target << "/" << kind;
    }
}

TEST(CommandLists, ChoosesOpenCommandByExtensionThenKind) {
    Config config(
        "[Extension]\r\ntxt=Text\r\nxt=Text\r\nlog=Text\r\nbin=Binary\r\n"
        "[OpenCommand]\r\nCommand=code\r\nExtension=cpp,h,Text\r\n"
        "[OpenCommand]\r\nCommand=wrongcase\r\nExtension=Txt\r\n"
        "[OpenCommand]\r\nCommand=inner\r\nExtension=txt,xt\r\n"
        "[OpenCommand]\r\nCommand=folders\r\nExtension=Folder\r\n"
        "[OpenCommand]\r\nCommand=empty\r\n");
    config.table.Load(config.Ref());
    JobOpenShellList list;
    ASSERT_TRUE(ProfileSectionEnumerate(config.Ref(), OpenCommandSectionText(), list));
    ASSERT_EQ(list.Count(), 5);
    TempFolder files;
    for (const wchar_t* name : {L"a.H", L"b.log", L"c.xt", L"d.bin", L"noext"})
        WriteFileBytes(files.Join(name), std::string("x"));
    CreateDirectoryW(files.Join(L"sub.txt").c_str(), nullptr);

    struct Case {
        std::wstring path;
        const char* command;  // "" for none
    };
    const Case cases[] = {
        {files.Join(L"a.H"), "code"},      // extension, ASCII case ignored
        {files.Join(L"b.log"), "code"},    // a text file by its kind name
        {files.Join(L"missing.log"), ""},  // missing: no kind name
        {files.Join(L"c.xt"), "code"},     // the text kind again; "xt" inside "txt" never counts
        {files.Join(L"d.bin"), ""},
        {files.Join(L"noext"), ""},        // no extension: no empty item matches
        {files.Join(L"sub.txt"), "folders"},
        {L"", ""},
    };
    for (const Case& c : cases) {
        const JobOpenShellUnit* unit = list.FindCommand(W(c.path), config.table);
        EXPECT_EQ(unit ? S(unit->command) : std::string(), c.command) << Utf8(c.path);
    }

    JobOpenShellUnit unit;
    unit.extension = T("txt,xt");
    EXPECT_FALSE(unit.HoldsKey(T("xt"), true));  // only the first occurrence is examined
    EXPECT_TRUE(unit.HoldsKey(T("TXT"), true));
    unit.extension = T("Txt");
    EXPECT_FALSE(unit.HoldsKey(T("Text"), false));
    EXPECT_FALSE(unit.HoldsKey(T("txt"), false));
    unit.extension = T("a,Text,b");
    EXPECT_TRUE(unit.HoldsKey(T("Text"), false));
    EXPECT_FALSE(unit.HoldsKey(T("text"), false));
    EXPECT_FALSE(unit.HoldsKey(T("Tex"), false));
    EXPECT_FALSE(unit.HoldsKey(RawString(), true));
    unit.extension = W(L"\u65e5\u672c,md");
    EXPECT_TRUE(unit.HoldsKey(T("\xE6\x97\xA5\xE6\x9C\xAC"), true));  // same text in UTF-8
}

// ---- running commands ----------------------------------------------------------

TEST(RunCommands, OpenPathRunsTheMatchingCommand) {
    TempFolder temp;
    std::wstring source = temp.Join(L"in put.cpp");
    std::wstring marker = temp.Join(L"copied.txt");
    std::wstring numbered = temp.Join(L"numbered.txt");
    std::wstring folderMark = temp.Join(L"folder.txt");
    WriteFileBytes(source, std::string("source text"));
    std::string profile = "[OpenCommand]\r\nCommand=cmd.exe\r\nShowStatus=Hide\r\nExtension=cpp\r\n"
                          "Parameter=/c copy \"%s\" \"" + Utf8(marker) + "\"\r\n"
                          "ParameterNum=/c echo line%n> \"" + Utf8(numbered) + "\"\r\n"
                          "[OpenCommand]\r\nCommand=cmd.exe\r\nShowStatus=Hide\r\nExtension=Folder\r\n"
                          "Parameter=/c echo opened> \"" + Utf8(folderMark) + "\"\r\n";
    Config config(profile);
    config.table.Load(config.Ref());
    JobOpenShellList list;
    ASSERT_TRUE(ProfileSectionEnumerate(config.Ref(), OpenCommandSectionText(), list));
    ASSERT_EQ(list.Count(), 2);

    ASSERT_TRUE(list.OpenPath(W(source), 0, config.table));
    ASSERT_TRUE(WaitForFile(marker));
    EXPECT_EQ(FileText(marker), "source text");

    ASSERT_TRUE(list.OpenPath(W(source), 42, config.table));
    ASSERT_TRUE(WaitForFile(numbered));
    EXPECT_EQ(FileText(numbered), "line42\r\n");

    ASSERT_TRUE(list.OpenPath(W(temp.Path()), 0, config.table));
    ASSERT_TRUE(WaitForFile(folderMark));
    EXPECT_EQ(FileText(folderMark), "opened\r\n");
}

TEST(RunCommands, OpenPathWithoutCommandUsesTheAssociation) {
    TempFolder temp;
    std::wstring marker = temp.Join(L"bat.txt");
    std::wstring script = temp.Join(L"run.bat");
    WriteFileBytes(script, "@echo ran> \"" + Utf8(marker) + "\"\r\n");
    JobOpenShellList list;
    ExtensionKindTable table;
    ASSERT_TRUE(list.OpenPath(W(script), 5, table));
    ASSERT_TRUE(WaitForFile(marker));
    EXPECT_EQ(FileText(marker), "ran\r\n");
    EXPECT_FALSE(list.OpenPath(RawString(), 0, table));  // nothing to open
}

TEST(RunCommands, UserCommandRunsWithSideTexts) {
    TempFolder temp;
    std::wstring both = temp.Join(L"both.txt");
    std::wstring each = temp.Join(L"each.txt");
    JobUserShellUnit unit;
    unit.command = T("cmd.exe");
    unit.showMode = SW_HIDE;
    unit.parameter = W(L"/c echo %s1+%s2> \"" + both + L"\"");
    ASSERT_TRUE(unit.Run(false, T("left"), T("right")));
    EXPECT_EQ(unit.ProcessHandle(), nullptr);  // closed at once
    ASSERT_TRUE(WaitForFile(both));
    EXPECT_EQ(FileText(both), "left+right\r\n");

    unit.targetSide = UserTargetSideEach;
    unit.parameter = W(L"/c echo [%s1]> \"" + each + L"\"");
    ASSERT_TRUE(unit.Run(true, T("one"), T("two")));
    ASSERT_TRUE(WaitForFile(each));
    EXPECT_EQ(FileText(each), "[two]\r\n");

    JobUserShellUnit missing;
    missing.command = W(temp.Join(L"no-such-program.exe"));
    EXPECT_FALSE(missing.Run(false, T("a"), T("b")));
    JobUserShellUnit empty;
    EXPECT_FALSE(empty.Run(false, T("a"), T("b")));
}

// ---- temporary folder and clip files -----------------------------------------------

TEST(TempFolders, ClaimsTheFirstFreeName) {
    TempFolder temp;
    RawString parent = W(temp.Join(L"deep\\er"));  // missing parents are made
    RawString first = MakeTempFolder(parent);
    EXPECT_EQ(S(first), Utf8(temp.Join(L"deep\\er\\Tavrel_Temp")));
    RawString second = MakeTempFolder(parent);  // a second instance
    EXPECT_EQ(S(second), Utf8(temp.Join(L"deep\\er\\Tavrel_Temp1")));
    WriteFileBytes(temp.Join(L"deep\\er\\Tavrel_Temp2"), std::string("a file"));
    RawString third = MakeTempFolder(parent);
    EXPECT_EQ(S(third), Utf8(temp.Join(L"deep\\er\\Tavrel_Temp3")));
    EXPECT_NE(GetFileAttributesW(temp.Join(L"deep\\er\\Tavrel_Temp3").c_str()), INVALID_FILE_ATTRIBUTES);

    // A parent that cannot exist gives no folder at all.
    WriteFileBytes(temp.Join(L"plain"), std::string("x"));
    EXPECT_TRUE(MakeTempFolder(W(temp.Join(L"plain"))).IsEmpty());

    // The default lives under the system's temporary folder.
    RawString system = MakeTempFolder();
    ASSERT_FALSE(system.IsEmpty());
    EXPECT_NE(S(system).find("Tavrel_Temp"), std::string::npos);
    EXPECT_TRUE(RemoveTempFolder(system));
}

TEST(TempFolders, RemovalDeletesTheTreeAndEmptiesThePath) {
    TempFolder temp;
    RawString folder = MakeTempFolder(W(temp.Path()));
    ASSERT_FALSE(folder.IsEmpty());
    std::wstring wide = Wide(S(folder));
    CreateDirectoryW((wide + L"\\inner").c_str(), nullptr);
    WriteFileBytes(wide + L"\\inner\\Clip1.txt", std::string("x"));
    EXPECT_TRUE(RemoveTempFolder(folder));
    EXPECT_TRUE(folder.IsEmpty());
    EXPECT_EQ(GetFileAttributesW(wide.c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_TRUE(RemoveTempFolder(folder));  // again: nothing to do

    RawString root = T("Q:\\");
    EXPECT_FALSE(RemoveTempFolder(root));
    EXPECT_EQ(S(root), "Q:\\");
    RawString relative = T("Tavrel_Temp");
    EXPECT_TRUE(RemoveTempFolder(relative));  // names nothing: gone already
}

TEST(TempFolders, StoreClaimsCountsClipFilesAndCleansUp) {
    TempFolder temp;
    ExtensionKindTable table;
    std::wstring folder1, folder2;
    {
        ShellCommandStore store1(table, W(temp.Path()));
        ShellCommandStore store2(table, W(temp.Path()));
        folder1 = Wide(S(store1.tempFolder));
        folder2 = Wide(S(store2.tempFolder));
        EXPECT_EQ(folder1, temp.Join(L"Tavrel_Temp"));
        EXPECT_EQ(folder2, temp.Join(L"Tavrel_Temp1"));
        EXPECT_EQ(S(store1.ClipFilePath()), Utf8(folder1 + L"\\Clip1.txt"));
        EXPECT_EQ(S(store1.ClipFilePath()), Utf8(folder1 + L"\\Clip2.txt"));
        EXPECT_EQ(S(store2.ClipFilePath()), Utf8(folder2 + L"\\Clip1.txt"));
        EXPECT_EQ(store1.clipCounter, 2u);
        EXPECT_EQ(store1.Output(), nullptr);
        EXPECT_TRUE(store2.RemoveTempFolder());
        EXPECT_TRUE(store2.tempFolder.IsEmpty());
        EXPECT_TRUE(store2.ClipFilePath().IsEmpty());  // no folder, no clip files
    }
    EXPECT_EQ(GetFileAttributesW(folder1.c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetFileAttributesW(folder2.c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST(ClipFiles, WriteClipboardTextAsUtf8) {
    TempFolder temp;
    const std::wstring text = L"Gr\u00fc\u00dfe \u65e5\u672c\u8a9e\r\nline 2 \U0001F600";
    ASSERT_TRUE(RawLayer::ClipboardSetText(W(text)));
    std::wstring path = temp.Join(L"Clip1.txt");
    ASSERT_TRUE(WriteClipboardToFile(W(path), 1000));
    EXPECT_EQ(FileText(path), Utf8(text));  // no byte-order mark
    EXPECT_FALSE(FileExists(path + L".tmp"));

    // Cut to the limit; an existing file is replaced.
    ASSERT_TRUE(WriteClipboardToFile(W(path), 3));
    EXPECT_EQ(FileText(path), "Gr\xC3\xBC");
    // The option's limit (32767 by default) keeps the whole text.
    std::wstring path2 = temp.Join(L"Clip2.txt");
    ASSERT_TRUE(WriteClipboardToFile(W(path2)));
    EXPECT_EQ(FileText(path2), Utf8(text));

    EXPECT_FALSE(WriteClipboardToFile(RawString(), 100));
    EXPECT_FALSE(WriteClipboardToFile(W(temp.Join(L"missing\\Clip3.txt")), 100));
    EXPECT_FALSE(FileExists(temp.Join(L"missing\\Clip3.txt.tmp")));
    ASSERT_TRUE(RawLayer::ClipboardSetText(W(L"")));
    EXPECT_FALSE(WriteClipboardToFile(W(temp.Join(L"Clip4.txt")), 100));
}
