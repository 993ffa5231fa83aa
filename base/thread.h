// Worker threads, the process-wide crash hook with its minidump writer, and
// the process-wide serial counter.
#pragma once

#include <windows.h>

#include <cstdint>

#include "base/raw_string.h"

namespace RawLayer {

// The base of every worker thread: one thread at a time runs Run() under the
// run lock; the owner asks it to stop with RequestStop() and waits for the
// end with Wait().
//
// Life cycle: idle -> Start -> starting and running -> the thread takes the
// run lock and clears starting -> Run -> running 0, finished 1 -> OnEnd ->
// idle again (Start may run it once more).
//
// The owner stops and waits for the thread before it destroys the unit
// (StopAndWait() in the derived class's destructor: once the derived part is
// gone, Run could no longer be called safely). As a last guard the base
// destructor stops and waits for a thread that is still running, so that it
// never deletes a lock the worker holds; debug builds assert instead.
class RawThreadUnit {
public:
    RawThreadUnit();
    virtual ~RawThreadUnit();
    RawThreadUnit(const RawThreadUnit&) = delete;
    RawThreadUnit& operator=(const RawThreadUnit&) = delete;

    // Starts the thread. False at once (nothing started) while an earlier run
    // is still running; false after OnEnd() on the caller's thread when the
    // thread cannot be created. The handle of an earlier run is closed.
    bool Start();
    // Returns when a started run has ended (OnEnd included); at once when the
    // unit was never started or its run is over.
    void Wait();
    // Sets the stop request that Run() reads between steps of its work.
    void RequestStop();
    // RequestStop() and Wait(), from any thread but the worker itself.
    void StopAndWait();

    bool StopRequested() const;
    bool IsRunning() const;
    bool IsStarting() const;
    bool IsFinished() const;
    // A thread priority for the next start; 0 leaves the default.
    void SetPriority(int priority);
    HANDLE ThreadHandle() const { return thread_; }
    DWORD ThreadId() const { return threadId_; }

protected:
    // The thread's work. Reads StopRequested() between steps.
    virtual void Run() = 0;
    // Called on the thread after Run(), or by Start() on the caller's thread
    // when the thread cannot be created.
    virtual void OnEnd();
    // An operation with an empty body, for subclasses.
    virtual void Reserved();

    // Guards the flags and the priority; subclasses may take it for their
    // own short updates.
    CRITICAL_SECTION stateLock_;

private:
    static DWORD WINAPI ThreadEntry(void* unit);
    DWORD ThreadMain();

    CRITICAL_SECTION runLock_;  // held by the worker for its whole run
    HANDLE thread_ = nullptr;
    DWORD threadId_ = 0;
    int priority_ = 0;
    uint8_t starting_ = 0;
    uint8_t stopRequest_ = 0;
    uint8_t running_ = 0;
    uint8_t finished_ = 0;
};

// The process-wide crash hook: one installed handler that receives the
// exception information of any thread's unhandled exception.
//
// Installing a handler also installs a process-wide unhandled-exception
// filter (this compiler has no structured exception frames), so every thread
// - worker threads, the main body, and threads the system made - reaches the
// handler. The filter hands the exception to the handler and then lets it go
// on to the system's own handling (the filter that was there before, else
// "continue search").
class RawThreadHook {
public:
    class Handler {
    public:
        virtual ~Handler();
        virtual void Handle(EXCEPTION_POINTERS* info) = 0;
    };

    // Stores the handler (null removes it) and installs the filter once.
    static void Install(Handler* handler);
    static Handler* Installed();
    // Calls the installed handler, when there is one. A second crash while a
    // handler runs (on any thread) is not handed to it again. A stack
    // overflow is handed over on a fresh thread, the faulting one waiting.
    static void Dispatch(EXCEPTION_POINTERS* info);
    // The id of the thread whose exception the handler is being given; 0
    // outside Dispatch.
    static DWORD FaultingThreadId();
    // The unhandled-exception filter: Dispatch, then the previous filter, or
    // EXCEPTION_CONTINUE_SEARCH.
    static LONG WINAPI UnhandledFilter(EXCEPTION_POINTERS* info);
};

// Writes a full-memory minidump of the process into a dump folder, named
// <application>_Dump_YYYYMMDD_HHMMSS_mmm.dmp by the current UTC time.
//
// Everything but the time stamp is prepared when the object is made, as
// UTF-16 in a fixed buffer, so that a crash needs no heap: the faulting
// thread's heap may be the thing that broke.
class RawThreadDump : public RawThreadHook::Handler {
public:
    RawThreadDump(const RawString& folder, const RawString& applicationName);
    ~RawThreadDump() override;

    // Handle: WriteDump.
    void Handle(EXCEPTION_POINTERS* info) override { WriteDump(info); }
    // Creates the dump folder with its missing parents and writes the dump;
    // true when a dump file was written. A dump that cannot be written
    // leaves no file and no message.
    virtual bool WriteDump(EXCEPTION_POINTERS* info);
    // The file path for the current UTC time (empty when the folder or the
    // name was empty or the path too long); UTF-16 (kind 7).
    virtual RawString DumpPath() const;
    // The file path for a given UTC time.
    RawString DumpPathAt(const SYSTEMTIME& utc) const;

    const RawString& Folder() const { return folder_; }
    const RawString& ApplicationName() const { return applicationName_; }

private:
    enum { kPathUnits = 1024 };
    // Writes prefix + stamp + ".dmp" into `out` (kPathUnits units); false
    // when there is no prefix.
    bool FormatPath(const SYSTEMTIME& utc, wchar_t* out) const;
    bool WriteDumpTo(const wchar_t* path, EXCEPTION_POINTERS* info, DWORD threadId) const;


    RawString folder_;
    RawString applicationName_;
    wchar_t prefix_[kPathUnits];  // folder, '\', name, "_Dump_" (0-terminated)
    int32_t prefixLength_ = 0;    // 0: no dump can be written
    int32_t folderLength_ = 0;    // units of the folder part inside prefix_
};

// Installs the crash handler of a program's start-up: a function-static
// RawThreadDump whose folder is the temporary folder joined with "Dump" and
// whose application name is the given name (the program file's name without
// its extension when the name is empty). The first call decides; later calls
// only return it.
RawThreadDump& InstallCrashDumpHandler(const RawString& applicationName = RawString());

// Keeps stack in reserve on the calling thread for the crash handler, so that
// a stack overflow can still be reported. Worker threads and the installing
// thread call it themselves.
void ReserveCrashStack();

// The name of the program file without folder and extension, UTF-16.
RawString ProgramBaseName();

// The record handed out by NextSerialNumber.
struct RawSerialRecord {
    uint32_t value;
    uint32_t serial;
};

// Raises the process-wide counter (0 at start) by one under its lock and
// returns (value, counter); the first serial is 1.
RawSerialRecord NextSerialNumber(uint32_t value);

}  // namespace RawLayer
