// The viewer options from real configuration profiles, command lines, list
// files and folders.
#include "quenby/document/document_options.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/command_line.h"
#include "support/test_support.h"

using namespace DocLayer;
using TestSupport::TempFolder;
using TestSupport::W;

namespace {

std::vector<std::string> Texts(const RawStringList& list) {
    std::vector<std::string> out;
    for (const RawString& text : list) out.push_back(TestSupport::S(text));
    return out;
}

RawParameterList Split(const std::string& text) {
    RawParameterList list;
    const char* const noValue[] = {"p", "p-", nullptr};
    RawLayer::CommandLineSplit(list, noValue, RawString::FromText(text.c_str()));
    return list;
}

TEST(JobOptionsTest, CommandLineAndListFileKeepTheirOrder) {
    TempFolder folder;
    std::wstring list = folder.Join(L"list.txt");
    // UTF-16 LE with a byte-order mark: a path, an empty line, a non-ASCII path.
    std::wstring lines = L"x.md\r\n\r\n\u65E5\u672C.md\r\n";
    std::string bytes = "\xFF\xFE";
    for (wchar_t c : lines) bytes += std::string{static_cast<char>(c & 0xFF), static_cast<char>(c >> 8)};
    ASSERT_TRUE(TestSupport::WriteFileBytes(list, bytes));
    std::wstring config = folder.Join(L"config.ini");
    ASSERT_TRUE(TestSupport::WriteFileBytes(config, "[Job]\nAutoLoad=*.md\nLinkWith= htm , xhtml\n"));
    std::string listPath = TestSupport::Utf8(list);

    JobOptions options;
    options.Initialize(W(config), Split("-p -l \"" + listPath + "\" a.md -p- -i 2 \"b c.md\" -l missing.txt"));
    EXPECT_FALSE(options.pageView);
    EXPECT_EQ(2, options.firstIndex);
    EXPECT_EQ((std::vector<std::string>{"x.md", "", "\xE6\x97\xA5\xE6\x9C\xAC.md", "a.md", "b c.md"}),
              Texts(options.pending));  // arguments given: no AutoLoad
    EXPECT_EQ((std::vector<std::string>{"txt", "md", "htm", "xhtml"}), Texts(options.extensions));
}

TEST(JobOptionsTest, AutoLoadQueuesOneFileByItsFullPath) {
    TempFolder folder;
    ASSERT_TRUE(TestSupport::WriteFileBytes(folder.Join(L"a.md"), "a"));
    ASSERT_TRUE(TestSupport::WriteFileBytes(folder.Join(L"b.md"), "b"));
    CreateDirectoryW(folder.Join(L"c.md").c_str(), nullptr);
    std::wstring config = folder.Join(L"config.ini");
    ASSERT_TRUE(TestSupport::WriteFileBytes(config, "[Job]\nAutoLoad=*.md\n"));
    JobOptions options;
    options.Initialize(W(config), RawParameterList());
    ASSERT_EQ(1, options.pending.Count());
    std::string path = Texts(options.pending)[0];
    EXPECT_TRUE(path == TestSupport::Utf8(folder.Join(L"a.md")) || path == TestSupport::Utf8(folder.Join(L"b.md")))
        << path;
}

TEST(JobOptionsTest, LinkedFilesResolveFromTheDocumentFolder) {
    TempFolder folder;
    ASSERT_TRUE(TestSupport::WriteFileBytes(folder.Join(L"next.md"), "n"));
    ASSERT_TRUE(TestSupport::WriteFileBytes(folder.Join(L"plain.txt"), "p"));
    CreateDirectoryW(folder.Join(L"sub").c_str(), nullptr);
    RawString current = W(folder.Join(L"doc.md"));
    JobOptions options;
    ASSERT_TRUE(options.QueueLinkedFile(W(folder.Join(L"next.md")), current));  // as the inline pass stores it
    EXPECT_EQ(std::vector<std::string>{TestSupport::Utf8(folder.Join(L"next.md"))}, Texts(options.pending));
    ASSERT_TRUE(options.QueueLinkedFile(W(L"plain"), current));
    EXPECT_EQ(std::vector<std::string>{TestSupport::Utf8(folder.Join(L"plain.txt"))}, Texts(options.pending));
    ASSERT_TRUE(options.QueueLinkedFile(W(L"next.md"), current));
    EXPECT_FALSE(options.QueueLinkedFile(W(L"missing.md"), current));
    EXPECT_FALSE(options.QueueLinkedFile(W(L"sub"), current));
    EXPECT_EQ(std::vector<std::string>{TestSupport::Utf8(folder.Join(L"next.md"))}, Texts(options.pending));
}

}  // namespace
