#include "base/shell.h"

#include <atomic>

#include "base/api_text.h"
#include "base/profile.h"

namespace RawLayer {

namespace {

RAW_CONSTANT_TEXT(ShowNormalText, "Normal")
RAW_CONSTANT_TEXT(ShowMaximizeText, "Maximize")
RAW_CONSTANT_TEXT(ShowMinimizeText, "Minimize")
RAW_CONSTANT_TEXT(ShowHideText, "Hide")

std::atomic<RawShellStartHook>& StartHook() {
    static std::atomic<RawShellStartHook> hook{nullptr};
    return hook;
}

}  // namespace

RawShellStartHook SetRawShellStartHook(RawShellStartHook hook) { return StartHook().exchange(hook); }

RawShell::RawShell() : showMode(SW_SHOWNORMAL), process_(nullptr), processId_(0) {}

RawShell::RawShell(const RawString& command)
    : command(command), showMode(SW_SHOWNORMAL), process_(nullptr), processId_(0) {}

RawShell::RawShell(const RawShell& other)
    : command(other.command),
      parameter(other.parameter),
      directory(other.directory),
      showMode(other.showMode),
      process_(nullptr),
      processId_(0) {}

RawShell& RawShell::operator=(const RawShell& other) {
    if (this != &other) {
        command = other.command;
        parameter = other.parameter;
        directory = other.directory;
        showMode = other.showMode;
    }
    return *this;
}

RawShell::~RawShell() { CloseProcess(); }

void RawShell::CloseProcess() {
    if (process_ != nullptr) CloseHandle(process_);
    process_ = nullptr;
    processId_ = 0;
}

int RawShell::ShowModeFromName(const RawString& name) {
    if (name.Equals(ShowNormalText())) return SW_SHOWNORMAL;
    if (name.Equals(ShowMaximizeText())) return SW_MAXIMIZE;
    if (name.Equals(ShowMinimizeText())) return SW_MINIMIZE;
    if (name.Equals(ShowHideText())) return SW_HIDE;
    return SW_SHOWNORMAL;
}

void RawShell::Load(const RawParameterList& list) {
    if (const RawParameterUnit* unit = list.Find(ShellCommandKeyText())) command = unit->value;
    if (const RawParameterUnit* unit = list.Find(ShellParameterKeyText())) parameter = unit->value;
    if (const RawParameterUnit* unit = list.Find(ShellDirectoryKeyText())) directory = unit->value;
    const RawParameterUnit* show = list.Find(ShellShowStatusKeyText());
    showMode = show != nullptr ? ShowModeFromName(show->value) : SW_SHOWNORMAL;
}

bool RawShell::Execute(const RawString& parameters, const RawString& verb) {
    CloseProcess();
    // With an empty command the shell would take the parameters for the
    // file to open; a command that is missing is a failure instead.
    if (command.IsEmpty()) return false;
    if (RawShellStartHook hook = StartHook().load()) return hook(*this, parameters, verb);
    HANDLE process = ApiShellExecute(verb, command, parameters, directory, showMode);
    if (process == nullptr) return false;
    process_ = process;
    processId_ = GetProcessId(process);
    return true;
}

}  // namespace RawLayer
