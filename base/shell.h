// Shell commands: a program, document or folder started through the shell,
// with its parameters, working folder and show mode, and the process it
// started.
#pragma once

#include <windows.h>

#include <cstdint>

#include "base/raw_string.h"

namespace RawLayer {

class RawParameterList;

RAW_CONSTANT_TEXT(ShellCommandKeyText, "Command")
RAW_CONSTANT_TEXT(ShellParameterKeyText, "Parameter")
RAW_CONSTANT_TEXT(ShellDirectoryKeyText, "Directory")
RAW_CONSTANT_TEXT(ShellShowStatusKeyText, "ShowStatus")

class RawShell;

// A process-wide hook that receives every start in place of the shell
// (tests record starts with it): it gets the shell record, the parameters
// and the verb, and its answer is Execute's. Null (the default) starts
// through the shell.
using RawShellStartHook = bool (*)(const RawShell& shell, const RawString& parameters, const RawString& verb);
// Sets the hook and returns the one it replaces.
RawShellStartHook SetRawShellStartHook(RawShellStartHook hook);

class RawShell {
public:
    // Empty command, parameter and directory, no process, show mode 1
    // (SW_SHOWNORMAL).
    RawShell();
    // The same with a shared copy of the command.
    explicit RawShell(const RawString& command);
    // A copy takes the command, parameter, directory and show mode, never the
    // process of the original.
    RawShell(const RawShell& other);
    RawShell& operator=(const RawShell& other);
    // Closes the handle of the last started process.
    virtual ~RawShell();

    // Takes "Command", "Parameter" and "Directory" from the list when the
    // keys are present (a missing key leaves the field as it is), and the
    // show mode from "ShowStatus" (ShowModeFromName). Keys are looked up by
    // the list's own case rule.
    void Load(const RawParameterList& list);

    // Closes the handle of an earlier start, then starts the command through
    // the shell (ShellExecuteEx by the wrappers' A/W rule) with the verb
    // (none when empty: the shell's default action), the parameter text, the
    // directory (none when empty) and the show mode, without an owner window
    // and without any message of its own. True when a process was started:
    // its handle is kept and its id stored. On failure the handle stays null
    // and the id 0. An empty command fails without calling the shell.
    virtual bool Execute(const RawString& parameters, const RawString& verb);

    // Closes the process handle (when any) and clears the id.
    void CloseProcess();
    HANDLE ProcessHandle() const { return process_; }
    uint32_t ProcessId() const { return processId_; }

    // "Normal" 1, "Maximize" 3, "Minimize" 6, "Hide" 0, compared exactly;
    // anything else 1.
    static int ShowModeFromName(const RawString& name);

    RawString command;
    RawString parameter;
    RawString directory;
    int32_t showMode;

private:
    HANDLE process_;
    uint32_t processId_;
};

}  // namespace RawLayer
