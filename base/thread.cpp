#include "base/thread.h"

#include <dbghelp.h>

#include <atomic>
#include <cassert>

#include "base/api_text.h"
#include "base/date_time.h"
#include "base/profile.h"

namespace RawLayer {

// ---- RawThreadUnit ------------------------------------------------------------

void ReserveCrashStack() {
    ULONG bytes = 64 * 1024;
    SetThreadStackGuarantee(&bytes);
}

RawThreadUnit::RawThreadUnit() {
    InitializeCriticalSection(&stateLock_);
    InitializeCriticalSection(&runLock_);
}

RawThreadUnit::~RawThreadUnit() {
    if (thread_ != nullptr && GetCurrentThreadId() != threadId_) {
        EnterCriticalSection(&stateLock_);
        const bool busy = running_ != 0 || starting_ != 0;
        LeaveCriticalSection(&stateLock_);
        // The owner should have stopped and waited; deleting the locks under
        // a running worker would break it, so stop and wait here instead.
        assert(!busy && "RawThreadUnit destroyed while its thread runs");
        if (busy) StopAndWait();
        // The worker leaves the run lock just before it returns; let it be
        // gone entirely before the lock is deleted.
        WaitForSingleObject(thread_, INFINITE);
    }
    if (thread_ != nullptr) CloseHandle(thread_);
    thread_ = nullptr;
    DeleteCriticalSection(&runLock_);
    DeleteCriticalSection(&stateLock_);
}

bool RawThreadUnit::Start() {
    EnterCriticalSection(&stateLock_);
    if (running_ != 0) {
        LeaveCriticalSection(&stateLock_);
        return false;
    }
    running_ = 1;
    starting_ = 1;
    stopRequest_ = 0;
    finished_ = 0;
    LeaveCriticalSection(&stateLock_);

    if (thread_ != nullptr) {
        CloseHandle(thread_);
        thread_ = nullptr;
    }
    DWORD id = 0;
    HANDLE handle = CreateThread(nullptr, 0, &RawThreadUnit::ThreadEntry, this, 0, &id);
    if (handle == nullptr) {
        EnterCriticalSection(&stateLock_);
        running_ = 0;
        starting_ = 0;
        LeaveCriticalSection(&stateLock_);
        OnEnd();
        return false;
    }
    thread_ = handle;
    threadId_ = id;
    return true;
}

DWORD WINAPI RawThreadUnit::ThreadEntry(void* unit) {
    // Exceptions of the worker reach the process-wide filter of
    // RawThreadHook, which writes the dump and lets them go on.
    return static_cast<RawThreadUnit*>(unit)->ThreadMain();
}

DWORD RawThreadUnit::ThreadMain() {
    ReserveCrashStack();
    EnterCriticalSection(&runLock_);
    EnterCriticalSection(&stateLock_);
    if (priority_ != 0) SetThreadPriority(GetCurrentThread(), priority_);
    starting_ = 0;
    LeaveCriticalSection(&stateLock_);

    Run();

    EnterCriticalSection(&stateLock_);
    running_ = 0;
    starting_ = 0;
    finished_ = 1;
    LeaveCriticalSection(&stateLock_);
    OnEnd();
    LeaveCriticalSection(&runLock_);
    return 0;
}

void RawThreadUnit::Wait() {
    for (;;) {
        EnterCriticalSection(&stateLock_);
        const bool starting = starting_ != 0;
        LeaveCriticalSection(&stateLock_);
        if (!starting) break;
        Sleep(100);
    }
    // The worker holds the run lock until after OnEnd.
    EnterCriticalSection(&runLock_);
    LeaveCriticalSection(&runLock_);
}

void RawThreadUnit::RequestStop() {
    EnterCriticalSection(&stateLock_);
    stopRequest_ = 1;
    LeaveCriticalSection(&stateLock_);
}

void RawThreadUnit::StopAndWait() {
    RequestStop();
    if (GetCurrentThreadId() != threadId_ || thread_ == nullptr) Wait();
}

bool RawThreadUnit::StopRequested() const {
    auto* lock = const_cast<CRITICAL_SECTION*>(&stateLock_);
    EnterCriticalSection(lock);
    const bool value = stopRequest_ != 0;
    LeaveCriticalSection(lock);
    return value;
}

bool RawThreadUnit::IsRunning() const {
    auto* lock = const_cast<CRITICAL_SECTION*>(&stateLock_);
    EnterCriticalSection(lock);
    const bool value = running_ != 0;
    LeaveCriticalSection(lock);
    return value;
}

bool RawThreadUnit::IsStarting() const {
    auto* lock = const_cast<CRITICAL_SECTION*>(&stateLock_);
    EnterCriticalSection(lock);
    const bool value = starting_ != 0;
    LeaveCriticalSection(lock);
    return value;
}

bool RawThreadUnit::IsFinished() const {
    auto* lock = const_cast<CRITICAL_SECTION*>(&stateLock_);
    EnterCriticalSection(lock);
    const bool value = finished_ != 0;
    LeaveCriticalSection(lock);
    return value;
}

void RawThreadUnit::SetPriority(int priority) {
    EnterCriticalSection(&stateLock_);
    priority_ = priority;
    LeaveCriticalSection(&stateLock_);
}

void RawThreadUnit::OnEnd() {}

void RawThreadUnit::Reserved() {}

// ---- RawThreadHook --------------------------------------------------------------

namespace {

std::atomic<RawThreadHook::Handler*>& InstalledHandler() {
    static std::atomic<RawThreadHook::Handler*> handler{nullptr};
    return handler;
}

std::atomic<LPTOP_LEVEL_EXCEPTION_FILTER>& PreviousFilter() {
    static std::atomic<LPTOP_LEVEL_EXCEPTION_FILTER> previous{nullptr};
    return previous;
}

std::atomic<long>& FilterInstalled() {
    static std::atomic<long> installed{0};
    return installed;
}

// The id of the thread whose crash the handler is writing (0 when none). A
// crash inside the handler is not handed to it again; another thread that
// crashes meanwhile waits until the first dump is written, so that the
// process does not end under the writer.
std::atomic<DWORD>& HandlerOwner() {
    static std::atomic<DWORD> owner{0};
    return owner;
}

// The thread whose exception is being handed to the handler.
std::atomic<DWORD>& FaultingThread() {
    static std::atomic<DWORD> thread{0};
    return thread;
}

}  // namespace

RawThreadHook::Handler::~Handler() {}

void RawThreadHook::Install(Handler* handler) {
    InstalledHandler().store(handler);
    if (handler != nullptr && FilterInstalled().exchange(1) == 0) {
        PreviousFilter().store(SetUnhandledExceptionFilter(&RawThreadHook::UnhandledFilter));
    }
}

RawThreadHook::Handler* RawThreadHook::Installed() { return InstalledHandler().load(); }

namespace {

struct DispatchJob {
    RawThreadHook::Handler* handler;
    EXCEPTION_POINTERS* info;
};

DWORD WINAPI DispatchOnHelper(void* argument) {
    auto* job = static_cast<DispatchJob*>(argument);
    job->handler->Handle(job->info);
    return 0;
}

}  // namespace

DWORD RawThreadHook::FaultingThreadId() { return FaultingThread().load(); }

void RawThreadHook::Dispatch(EXCEPTION_POINTERS* info) {
    Handler* handler = InstalledHandler().load();
    if (handler == nullptr) return;
    const DWORD self = GetCurrentThreadId();
    DWORD expected = 0;
    if (!HandlerOwner().compare_exchange_strong(expected, self)) {
        if (expected == self) return;
        while (HandlerOwner().load() != 0) Sleep(50);
        return;
    }
    FaultingThread().store(self);
    const bool stackOverflow = info != nullptr && info->ExceptionRecord != nullptr &&
                               info->ExceptionRecord->ExceptionCode == EXCEPTION_STACK_OVERFLOW;
    bool handled = false;
    if (stackOverflow) {
        // The faulting thread has almost no stack left: the handler runs on
        // a fresh thread while this one waits.
        DispatchJob job{handler, info};
        HANDLE helper = CreateThread(nullptr, 0, &DispatchOnHelper, &job, 0, nullptr);
        if (helper != nullptr) {
            WaitForSingleObject(helper, INFINITE);
            CloseHandle(helper);
            handled = true;
        }
    }
    if (!handled) handler->Handle(info);
    FaultingThread().store(0);
    HandlerOwner().store(0);
}

LONG WINAPI RawThreadHook::UnhandledFilter(EXCEPTION_POINTERS* info) {
    Dispatch(info);
    LPTOP_LEVEL_EXCEPTION_FILTER previous = PreviousFilter().load();
    if (previous != nullptr && previous != &RawThreadHook::UnhandledFilter) return previous(info);
    return EXCEPTION_CONTINUE_SEARCH;
}

// ---- RawThreadDump --------------------------------------------------------------

namespace {

const wchar_t kDumpWord[] = L"_Dump_";
const wchar_t kDumpExtension[] = L".dmp";

// Appends `width` decimal digits of value at out[pos].
int32_t PutDigits(wchar_t* out, int32_t pos, unsigned value, int width) {
    for (int i = width - 1; i >= 0; --i) {
        out[pos + i] = static_cast<wchar_t>(L'0' + value % 10);
        value /= 10;
    }
    return pos + width;
}

// Creates every missing folder of a UTF-16 folder path in place, without
// allocating (the dump is written from a crashed process). The buffer is
// changed while it runs and restored.
bool MakeFolderChain(wchar_t* folder, int32_t length) {
    if (length <= 0) return false;
    DWORD attributes = GetFileAttributesW(folder);
    if (attributes != INVALID_FILE_ATTRIBUTES) return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    // Skip the root: "X:\", "\\server\share\" or a leading separator.
    int32_t start = 0;
    if (length >= 2 && IsPathSeparator(folder[0]) && IsPathSeparator(folder[1])) {
        int separators = 0;
        for (start = 2; start < length && separators < 2; ++start) {
            if (IsPathSeparator(folder[start])) ++separators;
        }
    } else if (length >= 2 && folder[1] == L':') {
        start = 2;
    }
    for (int32_t i = start + 1; i <= length; ++i) {
        if (i < length && !IsPathSeparator(folder[i])) continue;
        const wchar_t kept = folder[i];
        folder[i] = 0;
        if (!IsPathSeparator(folder[i - 1])) CreateDirectoryW(folder, nullptr);
        folder[i] = kept;
    }
    attributes = GetFileAttributesW(folder);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

}  // namespace

RawThreadDump::RawThreadDump(const RawString& folder, const RawString& applicationName)
    : folder_(folder), applicationName_(applicationName) {
    prefix_[0] = 0;
    RawString wideFolder = folder.As(KindUtf16);
    RawString wideName = applicationName.As(KindUtf16);
    int32_t folderLength = wideFolder.Length();
    const int32_t nameLength = wideName.Length();
    if (folderLength == 0 || nameLength == 0) return;
    const int32_t wordLength = static_cast<int32_t>(sizeof(kDumpWord) / sizeof(wchar_t)) - 1;
    const int32_t extensionLength = static_cast<int32_t>(sizeof(kDumpExtension) / sizeof(wchar_t)) - 1;
    // Room for folder, '\', name, "_Dump_", the 19-unit stamp, ".dmp", NUL.
    if (folderLength + 1 + nameLength + wordLength + 19 + extensionLength + 1 > kPathUnits) return;
    const wchar_t* source = wideFolder.Wide();
    int32_t pos = 0;
    for (int32_t i = 0; i < folderLength; ++i) prefix_[pos++] = source[i];
    // The folder part without trailing separators (but keep a drive root).
    folderLength_ = pos;
    while (folderLength_ > 1 && IsPathSeparator(prefix_[folderLength_ - 1]) &&
           prefix_[folderLength_ - 2] != L':') {
        --folderLength_;
    }
    if (!IsPathSeparator(prefix_[pos - 1])) prefix_[pos++] = L'\\';
    const wchar_t* name = wideName.Wide();
    for (int32_t i = 0; i < nameLength; ++i) prefix_[pos++] = name[i];
    for (int32_t i = 0; i < wordLength; ++i) prefix_[pos++] = kDumpWord[i];
    prefix_[pos] = 0;
    prefixLength_ = pos;
}

RawThreadDump::~RawThreadDump() {
    if (RawThreadHook::Installed() == this) RawThreadHook::Install(nullptr);
}

bool RawThreadDump::FormatPath(const SYSTEMTIME& utc, wchar_t* out) const {
    if (prefixLength_ == 0) return false;
    int32_t pos = 0;
    for (; pos < prefixLength_; ++pos) out[pos] = prefix_[pos];
    pos = PutDigits(out, pos, utc.wYear, 4);
    pos = PutDigits(out, pos, utc.wMonth, 2);
    pos = PutDigits(out, pos, utc.wDay, 2);
    out[pos++] = L'_';
    pos = PutDigits(out, pos, utc.wHour, 2);
    pos = PutDigits(out, pos, utc.wMinute, 2);
    pos = PutDigits(out, pos, utc.wSecond, 2);
    out[pos++] = L'_';
    pos = PutDigits(out, pos, utc.wMilliseconds, 3);
    for (int32_t i = 0; kDumpExtension[i] != 0; ++i) out[pos++] = kDumpExtension[i];
    out[pos] = 0;
    return true;
}

RawString RawThreadDump::DumpPathAt(const SYSTEMTIME& utc) const {
    wchar_t path[kPathUnits];
    if (!FormatPath(utc, path)) return RawString(KindUtf16);
    return RawString::FromWideText(path);
}

RawString RawThreadDump::DumpPath() const { return DumpPathAt(CurrentUtcTime()); }

bool RawThreadDump::WriteDumpTo(const wchar_t* path, EXCEPTION_POINTERS* info, DWORD threadId) const {
    // Written without allocating, so not through the text wrappers; the
    // name ("..._Dump_<stamp>.dmp") is no device's, and a handle that is
    // not a disk file's all the same is never written.
    HANDLE file = CreateFileW(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    if (GetFileType(file) != FILE_TYPE_DISK) {
        CloseHandle(file);
        return false;
    }
    MINIDUMP_EXCEPTION_INFORMATION exception;
    exception.ThreadId = threadId;
    exception.ExceptionPointers = info;
    exception.ClientPointers = TRUE;
    const BOOL written =
        MiniDumpWriteDump(GetCurrentProcess(), GetCurrentProcessId(), file, MiniDumpWithFullMemory,
                          info != nullptr ? &exception : nullptr, nullptr, nullptr);
    CloseHandle(file);
    if (!written) DeleteFileW(path);
    return written != FALSE;
}

bool RawThreadDump::WriteDump(EXCEPTION_POINTERS* info) {
    wchar_t path[kPathUnits];
    if (!FormatPath(CurrentUtcTime(), path)) return false;
    path[folderLength_] = 0;
    const bool folderReady = MakeFolderChain(path, folderLength_);
    path[folderLength_] = prefix_[folderLength_];
    if (!folderReady) return false;
    const DWORD faulting = RawThreadHook::FaultingThreadId();
    return WriteDumpTo(path, info, faulting != 0 ? faulting : GetCurrentThreadId());
}

namespace {

RAW_CONSTANT_TEXT(DumpFolderNameText, "Dump")

}  // namespace

RawString ProgramBaseName() {
    RawString path = ApiGetModuleFileName(KindUtf16);
    RawRange name = PathNameRange(path);
    int32_t end = path.FindLastChar(name, '.');
    if (end >= name.end) end = name.end;
    RawString result(KindUtf16);
    result.AppendRange(path, RawRange{name.start, end});
    return result;
}

RawThreadDump& InstallCrashDumpHandler(const RawString& applicationName) {
    static RawThreadDump dump = [&applicationName] {
        RawString folder = ApiGetTempPath(KindUtf16);
        if (!folder.IsEmpty()) folder = PathJoin(folder, DumpFolderNameText());
        return RawThreadDump(folder, applicationName.IsEmpty() ? ProgramBaseName() : applicationName);
    }();
    RawThreadHook::Install(&dump);
    ReserveCrashStack();
    return dump;
}

// ---- serial numbers ---------------------------------------------------------------

namespace {

struct SerialCounter {
    SerialCounter() { InitializeCriticalSection(&lock); }
    ~SerialCounter() { DeleteCriticalSection(&lock); }
    CRITICAL_SECTION lock;
    uint32_t counter = 0;
};

}  // namespace

RawSerialRecord NextSerialNumber(uint32_t value) {
    static SerialCounter counter;
    EnterCriticalSection(&counter.lock);
    const uint32_t serial = ++counter.counter;
    LeaveCriticalSection(&counter.lock);
    return RawSerialRecord{value, serial};
}

}  // namespace RawLayer
