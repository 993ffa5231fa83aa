// Shell commands. The start tests run this same executable through the shell;
// with TAVREL_SHELL_CHILD_EXIT set, a test-environment hook makes the child
// write its folder and command line into the file named by
// TAVREL_SHELL_CHILD_REPORT (when set) and exit at once with that code.
#include <gtest/gtest.h>

#include <string>

#include "base/profile.h"
#include "base/shell.h"
#include "support/test_support.h"

using namespace RawLayer;
using TestSupport::TempFolder;
using TestSupport::FileText;
using TestSupport::ModulePath;

namespace {

const wchar_t kExitVariable[] = L"TAVREL_SHELL_CHILD_EXIT";
const wchar_t kReportVariable[] = L"TAVREL_SHELL_CHILD_REPORT";

std::wstring Variable(const wchar_t* name) {
    wchar_t value[1024] = {};
    const DWORD length = GetEnvironmentVariableW(name, value, 1024);
    if (length == 0 || length >= 1024) return std::wstring();
    return value;
}

class ChildModeEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        const std::wstring code = Variable(kExitVariable);
        if (code.empty()) return;
        const std::wstring report = Variable(kReportVariable);
        if (!report.empty()) {
            wchar_t folder[MAX_PATH + 1] = {};
            GetCurrentDirectoryW(MAX_PATH, folder);
            TestSupport::WriteFileBytes(report,
                                        TestSupport::Utf8(std::wstring(folder) + L"|" + GetCommandLineW()));
        }
        ExitProcess(static_cast<UINT>(_wtoi(code.c_str())));
    }
};

::testing::Environment* const childEnvironment =
    ::testing::AddGlobalTestEnvironment(new ChildModeEnvironment);

// Sets the child's variables for the lifetime of the object.
class ChildVariables {
public:
    ChildVariables(const std::wstring& code, const std::wstring& report) {
        SetEnvironmentVariableW(kExitVariable, code.c_str());
        SetEnvironmentVariableW(kReportVariable, report.empty() ? nullptr : report.c_str());
    }
    ~ChildVariables() {
        SetEnvironmentVariableW(kExitVariable, nullptr);
        SetEnvironmentVariableW(kReportVariable, nullptr);
    }
};

DWORD WaitForExit(HANDLE process) {
    EXPECT_EQ(WaitForSingleObject(process, 60000), WAIT_OBJECT_0);
    DWORD code = 0xFFFFFFFF;
    GetExitCodeProcess(process, &code);
    return code;
}

bool HandleIsOpen(HANDLE handle) {
    DWORD flags = 0;
    return GetHandleInformation(handle, &flags) != FALSE;
}

}  // namespace

TEST(RawShell, StartsAProgramAndKeepsItsProcess) {
    TempFolder temp;
    const std::wstring report = temp.Join(L"report.txt");
    ChildVariables variables(L"37", report);
    // The command as UTF-16 and as UTF-8 text.
    const RawString commands[] = {RawString::FromWideText(ModulePath().c_str()),
                                  RawString::FromWideText(ModulePath().c_str()).As(KindUtf8)};
    for (const RawString& command : commands) {
        DeleteFileW(report.c_str());
        RawShell shell(command);
        shell.directory = RawString::FromWideText(temp.Path().c_str());
        ASSERT_TRUE(shell.Execute(RawString::FromText("--alpha beta"), RawString()));
        ASSERT_NE(shell.ProcessHandle(), nullptr);
        EXPECT_EQ(shell.ProcessId(), GetProcessId(shell.ProcessHandle()));
        EXPECT_NE(shell.ProcessId(), 0u);
        EXPECT_EQ(WaitForExit(shell.ProcessHandle()), 37u);
        const std::string text = FileText(report);
        const size_t bar = text.find('|');
        ASSERT_NE(bar, std::string::npos) << text;
        EXPECT_EQ(CompareStringOrdinal(TestSupport::Wide(text.substr(0, bar)).c_str(), -1, temp.Path().c_str(),
                                       -1, TRUE),
                  CSTR_EQUAL)
            << text;
        EXPECT_NE(text.find("--alpha beta", bar), std::string::npos) << text;
    }
}

TEST(RawShell, ExecutingAgainClosesTheFirstHandle) {
    ChildVariables variables(L"5", L"");
    RawShell shell(RawString::FromWideText(ModulePath().c_str()));
    ASSERT_TRUE(shell.Execute(RawString(), RawString()));
    const HANDLE first = shell.ProcessHandle();
    const uint32_t firstId = shell.ProcessId();
    EXPECT_EQ(WaitForExit(first), 5u);
    ASSERT_TRUE(shell.Execute(RawString(), RawString::FromText("open")));
    EXPECT_NE(shell.ProcessId(), firstId);
    // The old handle is gone: either closed, or its value taken again by the
    // new process handle.
    if (shell.ProcessHandle() != first) {
        EXPECT_FALSE(HandleIsOpen(first));
    }
    EXPECT_EQ(WaitForExit(shell.ProcessHandle()), 5u);
}

TEST(RawShell, DestructionClosesTheHandle) {
    ChildVariables variables(L"6", L"");
    HANDLE handle = nullptr;
    {
        RawShell shell(RawString::FromWideText(ModulePath().c_str()));
        ASSERT_TRUE(shell.Execute(RawString(), RawString()));
        handle = shell.ProcessHandle();
        EXPECT_EQ(WaitForExit(handle), 6u);
        EXPECT_TRUE(HandleIsOpen(handle));
    }
    EXPECT_FALSE(HandleIsOpen(handle));
}

TEST(RawShell, MissingOrEmptyCommandFailsWithoutProcess) {
    TempFolder temp;
    RawShell missing(RawString::FromWideText(temp.Join(L"no_such_program.exe").c_str()));
    EXPECT_FALSE(missing.Execute(RawString(), RawString()));
    EXPECT_EQ(missing.ProcessHandle(), nullptr);
    EXPECT_EQ(missing.ProcessId(), 0u);

    // An empty command never lets the shell open the parameter instead.
    ASSERT_TRUE(TestSupport::WriteFileBytes(temp.Join(L"doc.txt"), std::string("x")));
    RawShell empty;
    EXPECT_FALSE(empty.Execute(RawString::FromWideText(temp.Join(L"doc.txt").c_str()), RawString()));
    EXPECT_EQ(empty.ProcessHandle(), nullptr);
    EXPECT_EQ(empty.ProcessId(), 0u);
}

TEST(RawShell, ConstructionAndCopies) {
    RawShell shell;
    EXPECT_TRUE(shell.command.IsEmpty());
    EXPECT_TRUE(shell.parameter.IsEmpty());
    EXPECT_TRUE(shell.directory.IsEmpty());
    EXPECT_EQ(shell.showMode, 1);
    EXPECT_EQ(shell.ProcessHandle(), nullptr);

    ChildVariables variables(L"0", L"");
    RawShell started(RawString::FromWideText(ModulePath().c_str()));
    started.showMode = 6;
    ASSERT_TRUE(started.Execute(RawString(), RawString()));
    RawShell copy(started);
    EXPECT_TRUE(copy.command.Equals(started.command));
    EXPECT_EQ(copy.showMode, 6);
    EXPECT_EQ(copy.ProcessHandle(), nullptr);  // the process stays with the original
    EXPECT_EQ(copy.ProcessId(), 0u);
    WaitForExit(started.ProcessHandle());
}

TEST(RawShell, ShowModeNames) {
    struct Case {
        const char* name;
        int mode;
    } cases[] = {{"Normal", 1}, {"Maximize", 3}, {"Minimize", 6}, {"Hide", 0},
                 {"maximize", 1}, {"HIDE", 1}, {"", 1}, {"Other", 1}};
    for (const Case& c : cases) {
        EXPECT_EQ(RawShell::ShowModeFromName(RawString::FromText(c.name)), c.mode) << c.name;
    }
}

TEST(RawShell, LoadTakesPresentKeysOnly) {
    RawParameterList section(false);  // keys without case
    section.Add(RawString::FromText("command"), RawString::FromText("notepad.exe"));
    section.Add(RawString::FromText("Parameter"), RawString::FromText("%s"));
    section.Add(RawString::FromText("ShowStatus"), RawString::FromText("Maximize"));
    RawShell shell;
    shell.directory = RawString::FromText("C:\\kept");
    shell.Load(section);
    EXPECT_TRUE(shell.command.EqualsAscii("notepad.exe"));
    EXPECT_TRUE(shell.parameter.EqualsAscii("%s"));
    EXPECT_TRUE(shell.directory.EqualsAscii("C:\\kept"));
    EXPECT_EQ(shell.showMode, 3);

    // Exact keys: "command" is not "Command"; a missing "ShowStatus" gives 1.
    RawParameterList exact(true);
    exact.Add(RawString::FromText("command"), RawString::FromText("other.exe"));
    exact.Add(RawString::FromText("Directory"), RawString::FromText("D:\\work"));
    shell.Load(exact);
    EXPECT_TRUE(shell.command.EqualsAscii("notepad.exe"));
    EXPECT_TRUE(shell.directory.EqualsAscii("D:\\work"));
    EXPECT_EQ(shell.showMode, 1);

    // A section without "Command" leaves the command empty, and Execute fails.
    RawShell fresh;
    fresh.Load(exact);
    EXPECT_TRUE(fresh.command.IsEmpty());
    EXPECT_FALSE(fresh.Execute(RawString(), RawString()));
}
