// Worker threads, the crash hook with its minidumps, and serial numbers.
//
// The crash tests start this same executable again as a child process with
// the environment variable TAVREL_THREAD_CHILD set; a test-environment hook
// sees it before any test runs and makes the child crash (on its main thread
// or on a worker), with TMP and TEMP pointing into a test folder.
#include <gtest/gtest.h>

#include <atomic>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "base/api_text.h"
#include "base/thread.h"
#include "support/test_support.h"

using namespace RawLayer;
using TestSupport::ModulePath;
using TestSupport::TempFolder;

namespace {

const wchar_t kChildVariable[] = L"TAVREL_THREAD_CHILD";

// A real access violation: a write into a read-only page. (Wine maps the
// lowest pages on demand, so a write through a null pointer may not fault.)
void CrashHere() {
    void* page = VirtualAlloc(nullptr, 4096, MEM_COMMIT | MEM_RESERVE, PAGE_READONLY);
    int* volatile target = static_cast<int*>(page);
    *target = 42;
}

class CrashingUnit : public RawThreadUnit {
protected:
    void Run() override { CrashHere(); }
};

class ChildModeEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        wchar_t mode[64] = {};
        const DWORD length = GetEnvironmentVariableW(kChildVariable, mode, 64);
        if (length == 0 || length >= 64) return;
        const std::wstring value(mode);
        if (value == L"crash-main") {
            InstallCrashDumpHandler();
            CrashHere();
        } else if (value == L"crash-worker") {
            InstallCrashDumpHandler(RawString::FromText("Worker"));
            CrashingUnit unit;
            unit.Start();
            unit.Wait();
            ExitProcess(3);
        }
        ExitProcess(2);
    }
};

::testing::Environment* const childEnvironment =
    ::testing::AddGlobalTestEnvironment(new ChildModeEnvironment);

// The current environment with the given variables replaced or added.
std::vector<wchar_t> EnvironmentWith(const std::vector<std::pair<std::wstring, std::wstring>>& set) {
    std::vector<wchar_t> block;
    wchar_t* current = GetEnvironmentStringsW();
    for (const wchar_t* entry = current; *entry != 0; entry += wcslen(entry) + 1) {
        std::wstring text(entry);
        bool replaced = false;
        for (const auto& pair : set) {
            const std::wstring prefix = pair.first + L"=";
            if (text.size() >= prefix.size() &&
                CompareStringOrdinal(text.c_str(), static_cast<int>(prefix.size()), prefix.c_str(),
                                     static_cast<int>(prefix.size()), TRUE) == CSTR_EQUAL) {
                replaced = true;
            }
        }
        if (!replaced) block.insert(block.end(), text.c_str(), text.c_str() + text.size() + 1);
    }
    FreeEnvironmentStringsW(current);
    for (const auto& pair : set) {
        const std::wstring text = pair.first + L"=" + pair.second;
        block.insert(block.end(), text.c_str(), text.c_str() + text.size() + 1);
    }
    block.push_back(0);
    return block;
}

// Runs this executable as a crashing child; its exit code.
DWORD RunCrashChild(const std::wstring& mode, const std::wstring& temp) {
    std::vector<wchar_t> environment =
        EnvironmentWith({{kChildVariable, mode}, {L"TMP", temp}, {L"TEMP", temp}});
    const std::wstring module = ModulePath();
    std::wstring commandLine = L"\"" + module + L"\"";
    // The child's output (and the system debugger's report of the crash)
    // goes nowhere.
    SECURITY_ATTRIBUTES inherit = {sizeof(inherit), nullptr, TRUE};
    HANDLE nul = CreateFileW(L"NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                             &inherit, OPEN_EXISTING, 0, nullptr);
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = nul;
    startup.hStdOutput = nul;
    startup.hStdError = nul;
    PROCESS_INFORMATION process = {};
    const BOOL started = CreateProcessW(module.c_str(), &commandLine[0], nullptr, nullptr, TRUE,
                                        CREATE_UNICODE_ENVIRONMENT, environment.data(), nullptr, &startup,
                                        &process);
    CloseHandle(nul);
    if (!started) {
        ADD_FAILURE() << "CreateProcessW failed: " << GetLastError();
        return 0;
    }
    // A full-memory dump copies the whole process through the Wine server:
    // a few seconds on a quiet machine, minutes on a loaded one.
    const DWORD waited = WaitForSingleObject(process.hProcess, 300000);
    EXPECT_EQ(waited, WAIT_OBJECT_0);
    // A child that hangs is ended, or it would keep the test's output open.
    if (waited != WAIT_OBJECT_0) TerminateProcess(process.hProcess, 99);
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return code;
}

std::string Content(const std::wstring& path) {
    std::vector<uint8_t> bytes = TestSupport::ReadFileBytes(path);
    return std::string(bytes.begin(), bytes.end());
}

std::vector<std::wstring> FilesIn(const std::wstring& folder) {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return names;
    do {
        if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.push_back(data.cFileName);
    } while (FindNextFileW(find, &data));
    FindClose(find);
    return names;
}

bool IsDigits(const std::wstring& text, size_t from, size_t count) {
    if (from + count > text.size()) return false;
    for (size_t i = from; i < from + count; ++i) {
        if (text[i] < L'0' || text[i] > L'9') return false;
    }
    return true;
}

// name_Dump_YYYYMMDD_HHMMSS_mmm.dmp with a stamp within a day of now.
void ExpectDumpName(const std::wstring& file, const std::wstring& program) {
    const std::wstring head = program + L"_Dump_";
    ASSERT_EQ(file.compare(0, head.size(), head), 0) << TestSupport::Utf8(file);
    const size_t at = head.size();
    ASSERT_EQ(file.size(), at + 19 + 4) << TestSupport::Utf8(file);
    EXPECT_TRUE(IsDigits(file, at, 8));
    EXPECT_EQ(file[at + 8], L'_');
    EXPECT_TRUE(IsDigits(file, at + 9, 6));
    EXPECT_EQ(file[at + 15], L'_');
    EXPECT_TRUE(IsDigits(file, at + 16, 3));
    EXPECT_EQ(file.substr(at + 19), L".dmp");
    SYSTEMTIME now;
    GetSystemTime(&now);
    wchar_t today[16];
    swprintf(today, 16, L"%04u", static_cast<unsigned>(now.wYear));
    EXPECT_EQ(file.substr(at, 4), today);
}

void ExpectMinidump(const std::wstring& path) {
    bool ok = false;
    std::vector<uint8_t> bytes = TestSupport::ReadFileBytes(path, &ok);
    ASSERT_TRUE(ok);
    ASSERT_GT(bytes.size(), 32u);
    EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 4), "MDMP");
}

// A unit whose run waits for a release and can be told to spin until
// stopped.
class ProbeUnit : public RawThreadUnit {
public:
    ~ProbeUnit() override { StopAndWait(); }
    std::atomic<int> runs{0};
    std::atomic<int> ends{0};
    std::atomic<bool> release{false};
    std::atomic<bool> untilStopped{false};
    std::atomic<int> endDelay{0};
    std::atomic<int> priority{0};
    std::atomic<DWORD> endThread{0};

protected:
    void Run() override {
        ++runs;
        priority = GetThreadPriority(GetCurrentThread());
        while (untilStopped ? !StopRequested() : !release.load()) Sleep(5);
    }
    void OnEnd() override {
        if (endDelay > 0) Sleep(endDelay);
        endThread = GetCurrentThreadId();
        ++ends;
    }
};

}  // namespace

TEST(RawThreadUnit, WaitReturnsOnlyAfterOnEnd) {
    ProbeUnit unit;
    unit.release = true;
    unit.endDelay = 300;
    ASSERT_TRUE(unit.Start());
    unit.Wait();
    EXPECT_EQ(unit.runs, 1);
    EXPECT_EQ(unit.ends, 1);
    EXPECT_NE(unit.endThread.load(), GetCurrentThreadId());
    EXPECT_FALSE(unit.IsRunning());
    EXPECT_TRUE(unit.IsFinished());
    EXPECT_FALSE(unit.IsStarting());
}

TEST(RawThreadUnit, StartWhileRunningStartsNothing) {
    ProbeUnit unit;
    ASSERT_TRUE(unit.Start());
    EXPECT_TRUE(unit.IsRunning());
    EXPECT_FALSE(unit.Start());
    unit.release = true;
    unit.Wait();
    EXPECT_EQ(unit.runs, 1);
    EXPECT_EQ(unit.ends, 1);
    // Once it has ended it may run again, with a fresh stop request.
    unit.RequestStop();
    ASSERT_TRUE(unit.Start());
    EXPECT_FALSE(unit.StopRequested());
    unit.Wait();
    EXPECT_EQ(unit.runs, 2);
    EXPECT_EQ(unit.ends, 2);
}

TEST(RawThreadUnit, StopRequestEndsTheRun) {
    ProbeUnit unit;
    unit.untilStopped = true;
    ASSERT_TRUE(unit.Start());
    Sleep(50);
    EXPECT_TRUE(unit.IsRunning());
    EXPECT_FALSE(unit.IsFinished());
    unit.StopAndWait();
    EXPECT_TRUE(unit.StopRequested());
    EXPECT_FALSE(unit.IsRunning());
    EXPECT_TRUE(unit.IsFinished());
    EXPECT_EQ(unit.ends, 1);
}

TEST(RawThreadUnit, WaitOnUnstartedUnitReturnsAtOnce) {
    ProbeUnit unit;
    const DWORD before = GetTickCount();
    unit.Wait();
    EXPECT_LT(GetTickCount() - before, 50u);
    EXPECT_EQ(unit.ThreadHandle(), nullptr);
    EXPECT_FALSE(unit.IsFinished());
}

TEST(RawThreadUnit, PriorityIsAppliedToTheThread) {
    ProbeUnit unit;
    unit.release = true;
    unit.SetPriority(THREAD_PRIORITY_BELOW_NORMAL);
    ASSERT_TRUE(unit.Start());
    unit.Wait();
    EXPECT_EQ(unit.priority, THREAD_PRIORITY_BELOW_NORMAL);
}

namespace {

std::atomic<bool> forgottenRunLeft{false};

// A unit whose owner forgets to stop it before destroying it.
class ForgottenUnit : public RawThreadUnit {
protected:
    void Run() override {
        while (!StopRequested()) Sleep(5);
        Sleep(100);
        forgottenRunLeft = true;
    }
};

}  // namespace

TEST(RawThreadUnit, DestroyingARunningUnitStopsAndWaitsFirst) {
    auto* unit = new ForgottenUnit;
    ASSERT_TRUE(unit->Start());
    Sleep(50);
    HANDLE thread = nullptr;
    ASSERT_TRUE(DuplicateHandle(GetCurrentProcess(), unit->ThreadHandle(), GetCurrentProcess(), &thread, 0,
                                FALSE, DUPLICATE_SAME_ACCESS));
    delete unit;
    EXPECT_TRUE(forgottenRunLeft);
    EXPECT_EQ(WaitForSingleObject(thread, 0), WAIT_OBJECT_0);
    CloseHandle(thread);
}

TEST(NextSerialNumber, CountsUpAndStaysDistinctAcrossThreads) {
    const RawSerialRecord first = NextSerialNumber(7);
    EXPECT_EQ(first.value, 7u);
    const RawSerialRecord second = NextSerialNumber(9);
    EXPECT_EQ(second.value, 9u);
    EXPECT_EQ(second.serial, first.serial + 1);

    std::vector<uint32_t> a, b;
    std::thread one([&a] {
        for (int i = 0; i < 20000; ++i) a.push_back(NextSerialNumber(1).serial);
    });
    std::thread two([&b] {
        for (int i = 0; i < 20000; ++i) b.push_back(NextSerialNumber(2).serial);
    });
    one.join();
    two.join();
    std::set<uint32_t> all(a.begin(), a.end());
    all.insert(b.begin(), b.end());
    EXPECT_EQ(all.size(), 40000u);
    EXPECT_EQ(*all.begin(), second.serial + 1);
    EXPECT_EQ(*all.rbegin(), second.serial + 40000);
}

TEST(RawThreadDump, PathFromFolderNameAndUtcStamp) {
    SYSTEMTIME time = {};
    time.wYear = 2026;
    time.wMonth = 12;
    time.wDay = 7;
    time.wHour = 20;
    time.wMinute = 43;
    time.wSecond = 53;
    time.wMilliseconds = 45;
    struct Case {
        const char* folder;
        const char* name;
        const wchar_t* expected;
    } cases[] = {
        {"C:\\T\\Dump", "Tavrel", L"C:\\T\\Dump\\Tavrel_Dump_20261207_204353_045.dmp"},
        {"C:\\T\\Dump\\", "Tavrel", L"C:\\T\\Dump\\Tavrel_Dump_20261207_204353_045.dmp"},
        {"C:/T/Dump/", "Quenby", L"C:/T/Dump/Quenby_Dump_20261207_204353_045.dmp"},
        {"", "Tavrel", L""},
        {"C:\\T", "", L""},
    };
    for (const Case& c : cases) {
        RawThreadDump dump(RawString::FromText(c.folder), RawString::FromText(c.name));
        RawString path = dump.DumpPathAt(time);
        EXPECT_EQ(path.Kind(), KindUtf16);
        EXPECT_EQ(std::wstring(path.Wide(), path.Length()), c.expected) << c.folder;
    }
    // A path too long for the prepared buffer gives no path at all.
    RawThreadDump huge(RawString::FromText(std::string(2000, 'x').c_str()), RawString::FromText("T"));
    EXPECT_TRUE(huge.DumpPathAt(time).IsEmpty());
    EXPECT_FALSE(huge.WriteDump(nullptr));
}

TEST(RawThreadDump, LeavesNothingWhenTheFolderCannotBeMade) {
    TempFolder temp;
    // A folder path that runs through a file: nothing is written.
    ASSERT_TRUE(TestSupport::WriteFileBytes(temp.Join(L"plain"), std::string("x")));
    RawThreadDump blocked(RawString::FromWideText(temp.Join(L"plain\\Dump").c_str()),
                          RawString::FromText("Probe"));
    EXPECT_FALSE(blocked.WriteDump(nullptr));
    EXPECT_TRUE(FilesIn(temp.Join(L"plain\\Dump")).empty());
    EXPECT_EQ(Content(temp.Join(L"plain")), "x");
}

namespace {

class RecordingHandler : public RawThreadHook::Handler {
public:
    void Handle(EXCEPTION_POINTERS* info) override {
        ++calls;
        last = info;
    }
    int calls = 0;
    EXCEPTION_POINTERS* last = nullptr;
};

}  // namespace

TEST(RawThreadHook, DispatchReachesTheInstalledHandlerOnly) {
    RawThreadHook::Handler* before = RawThreadHook::Installed();
    RecordingHandler handler;
    EXCEPTION_POINTERS pointers = {};
    RawThreadHook::Install(nullptr);
    RawThreadHook::Dispatch(&pointers);
    EXPECT_EQ(handler.calls, 0);
    RawThreadHook::Install(&handler);
    EXPECT_EQ(RawThreadHook::Installed(), &handler);
    RawThreadHook::Dispatch(&pointers);
    EXPECT_EQ(handler.calls, 1);
    EXPECT_EQ(handler.last, &pointers);
    RawThreadHook::Install(before);
}

TEST(ProgramBaseName, IsTheExecutableNameWithoutExtension) {
    RawString name = ProgramBaseName();
    EXPECT_EQ(std::wstring(name.Wide(), name.Length()), L"base_thread_test");
}

TEST(CrashDump, CrashOnMainThreadLeavesDumpInTempDumpFolder) {
    TempFolder temp;
    // The temporary folder does not exist yet: the dump folder is made with
    // its missing parents.
    const DWORD code = RunCrashChild(L"crash-main", temp.Join(L"t1\\t2"));
    EXPECT_NE(code, 0u);
    EXPECT_NE(code, 2u);
    std::vector<std::wstring> files = FilesIn(temp.Join(L"t1\\t2\\Dump"));
    ASSERT_EQ(files.size(), 1u);
    ExpectDumpName(files[0], L"base_thread_test");
    ExpectMinidump(temp.Join(L"t1\\t2\\Dump\\" + files[0]));
}

TEST(CrashDump, CrashOnWorkerThreadLeavesDump) {
    TempFolder temp;
    const DWORD code = RunCrashChild(L"crash-worker", temp.Path());
    EXPECT_NE(code, 0u);
    EXPECT_NE(code, 2u);
    EXPECT_NE(code, 3u);  // the crash ended the process, not the main body
    std::vector<std::wstring> files = FilesIn(temp.Join(L"Dump"));
    ASSERT_EQ(files.size(), 1u);
    ExpectDumpName(files[0], L"Worker");
    ExpectMinidump(temp.Join(L"Dump\\" + files[0]));
}

