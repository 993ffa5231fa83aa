// The restart road with a recorder in place of the viewer: the list file
// (UTF-8, CR LF, written whole or not at all), the switches with the quoted
// list path that the new process splits back, and no restart reported when
// the list cannot be written or nothing starts.
#include <gtest/gtest.h>

#include <string>

#include "base/command_line.h"
#include "base/profile.h"
#include "quenby/app/restart.h"
#include "quenby/app/restart_support.h"
#include "support/test_support.h"

using RawLayer::RawString;
using RestartTest::BesideTest;
using RestartTest::TempInBlankFolder;
using RestartTest::WaitForFile;

namespace {

RawString Wide(const std::wstring& text) { return RawString::FromWideText(text.c_str()); }

std::wstring WideOf(const RawString& text) {
    const RawString utf16 = text.As(RawLayer::KindUtf16);
    return std::wstring(reinterpret_cast<const wchar_t*>(utf16.Bytes()), utf16.Length());
}




}  // namespace

TEST(Restart, ListFileAndQuotedSwitchesReachTheNewProcessWhole) {
    TestSupport::TempFolder root;
    TempInBlankFolder temp(root.Join(L"tmp with blank"));
    const std::wstring out = root.Join(L"recorded.txt");
    SetEnvironmentVariableW(L"QUENBY_RECORDER_OUT", out.c_str());
    AppLayer::RestartProgramPath() = Wide(BesideTest(L"restart_recorder.exe"));

    const std::wstring documentFolder = root.Join(L"docs with blank \x00FC");
    CreateDirectoryW(documentFolder.c_str(), nullptr);
    RawLayer::RawStringList documents;
    documents.Add(Wide(documentFolder + L"\\a.md"));
    documents.Add(Wide(root.Join(L"b.txt")));

    const RawString listPath = AppLayer::RestartListPath();
    EXPECT_EQ(WideOf(listPath), temp.folder + L"\\Quenby\\Quenby_ListFile.txt");
    const std::wstring parameters = WideOf(AppLayer::RestartParameters(false, listPath, 1));
    EXPECT_EQ(parameters.rfind(L" -p- -l ", 0), 0u);

    ASSERT_TRUE(AppLayer::RestartWithDocuments(false, documents, 1));
    const std::string line = WaitForFile(out);
    ASSERT_FALSE(line.empty());
    EXPECT_EQ(TestSupport::ReadFileBytes(WideOf(listPath)),
              TestSupport::Bytes(TestSupport::Utf8(documentFolder) + "\\a.md\r\n" +
                                 TestSupport::Utf8(root.Join(L"b.txt")) + "\r\n"));
    // The new process splits its line back into the three switches.
    RawLayer::RawParameterList split;
    RawLayer::CommandLineSplit(split, nullptr, RawLayer::CommandLineAfterProgram(RawString::FromText(line.c_str())));
    const RawLayer::RawParameterUnit* list = split.Find(RawString::FromText("l"));
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(WideOf(list->value), WideOf(listPath));
    const RawLayer::RawParameterUnit* index = split.Find(RawString::FromText("i"));
    ASSERT_NE(index, nullptr);
    EXPECT_EQ(WideOf(index->value), L"1");
    EXPECT_NE(split.Find(RawString::FromText("p-")), nullptr);

    // No document: an empty list and index 0.
    DeleteFileW(out.c_str());
    ASSERT_TRUE(AppLayer::RestartWithDocuments(true, RawLayer::RawStringList(), 0));
    const std::string second = WaitForFile(out);
    EXPECT_NE(second.find(" -p -l "), std::string::npos);
    EXPECT_NE(second.find("\" -i 0"), std::string::npos);
    EXPECT_TRUE(TestSupport::ReadFileBytes(WideOf(listPath)).empty());
}

TEST(Restart, NoRestartWhenTheListCannotBeWrittenOrNothingStarts) {
    TestSupport::TempFolder root;
    TempInBlankFolder temp(root.Join(L"tmp with blank"));
    const std::wstring out = root.Join(L"recorded.txt");
    SetEnvironmentVariableW(L"QUENBY_RECORDER_OUT", out.c_str());
    RawLayer::RawStringList documents;
    documents.Add(Wide(root.Join(L"a.md")));

    AppLayer::RestartProgramPath() = Wide(root.Join(L"missing.exe"));
    EXPECT_FALSE(AppLayer::RestartWithDocuments(false, documents, 0));

    // A file where the list's folder belongs.
    AppLayer::RestartProgramPath() = Wide(BesideTest(L"restart_recorder.exe"));
    TestSupport::RemoveTree(temp.folder + L"\\Quenby");
    ASSERT_TRUE(TestSupport::WriteFileBytes(temp.folder + L"\\Quenby", "not a folder"));
    EXPECT_FALSE(AppLayer::RestartWithDocuments(false, documents, 0));
    Sleep(500);
    EXPECT_FALSE(TestSupport::FileExists(out));
}
