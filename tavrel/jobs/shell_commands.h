// Open commands, user commands, failure reports and the job environment.
//
// The configuration names programs that open a path of a given kind
// (sections "OpenCommand") and programs the user runs on the paths or texts
// of a job (sections "UserCommand"). The job environment (ShellCommandStore)
// holds both lists for the process, together with the output through which
// jobs report failures, the extension table, the entry-kind icon slot, the
// program's temporary folder and the counter of clipboard files.
#pragma once

#include <windows.h>

#include <cstdint>

#include "base/language.h"
#include "base/logger.h"
#include "base/profile.h"
#include "base/raw_list.h"
#include "base/raw_string.h"
#include "base/shell.h"
#include "tavrel/jobs/config_store.h"

namespace WinLayer {
class WinBitmapPool;
}

namespace JobLayer {

using RawLayer::JobServerControl;
using RawLayer::RawParameterList;
using RawLayer::RawShell;
using RawLayer::RawString;

class ExtensionKindTable;

// ---- section and key names -------------------------------------------------

RAW_CONSTANT_TEXT(OpenCommandSectionText, "OpenCommand")
RAW_CONSTANT_TEXT(UserCommandSectionText, "UserCommand")
RAW_CONSTANT_TEXT(OpenExtensionKeyText, "Extension")
RAW_CONSTANT_TEXT(OpenParameterNumKeyText, "ParameterNum")
RAW_CONSTANT_TEXT(UserNameKeyText, "Name")
RAW_CONSTANT_TEXT(UserTargetSideKeyText, "TargetSide")
RAW_CONSTANT_TEXT(UserTargetLineKeyText, "TargetLine")
RAW_CONSTANT_TEXT(UserTargetKindKeyText, "TargetKind")
RAW_CONSTANT_TEXT(TempFolderNameText, "Tavrel_Temp")
RAW_CONSTANT_TEXT(ClipFilePrefixText, "Clip")
RAW_CONSTANT_TEXT(ClipFileSuffixText, ".txt")

// ---- failure reports -------------------------------------------------------

// Section of the failure texts; each key is also its English default, but
// for the ones the table below gives a sentence.
RAW_CONSTANT_TEXT(ErrorMessageSectionText, "ErrorMessage")
RAW_CONSTANT_TEXT(ReadOpenErrorText, "ReadOpenError")
RAW_CONSTANT_TEXT(WriteOpenErrorText, "WriteOpenError")
RAW_CONSTANT_TEXT(ReadErrorText, "ReadError")
RAW_CONSTANT_TEXT(WriteErrorText, "WriteError")
RAW_CONSTANT_TEXT(BackupErrorText, "BackupError")
RAW_CONSTANT_TEXT(RestoreErrorText, "RestoreError")
RAW_CONSTANT_TEXT(CopyErrorText, "CopyError")
RAW_CONSTANT_TEXT(DirectoryErrorText, "DirectoryError")
RAW_CONSTANT_TEXT(TooLargeFileText, "TooLargeFile")
RAW_CONSTANT_TEXT(SaveErrorText, "SaveError")
RAW_CONSTANT_TEXT(NoPathSpecifiedErrorText, "NoPathSpecifiedError")
RAW_CONSTANT_TEXT(DifferentKindErrorText, "DifferentKindError")
RAW_CONSTANT_TEXT(OriginalKeptAsErrorText, "OriginalKeptAs")
RAW_CONSTANT_TEXT(NoLinesReadErrorText, "NoLinesReadError")
RAW_CONSTANT_TEXT(UnheldTextErrorText, "UnheldTextError")
RAW_CONSTANT_TEXT(PathTooLongErrorText, "PathTooLongError")

// The default table of section "ErrorMessage", in registration order, ended
// by an empty entry.
extern const RawLayer::RawLocaleRecord ErrorMessageTexts[];

// Reports one failure to an output: the key's text of section
// "ErrorMessage" (the key itself unless a language file replaces it),
// followed by " (", the path and ")" when the path is not empty. A path
// too long for the step that failed (MAX_PATH units or more, with the
// system's "too long" as the last error, or too long for the system in any
// form) gets ": " and the text of "PathTooLongError" after it. Nothing
// happens without an output.
void ReportError(JobServerControl::Logger* output, const RawString& key, const RawString& path);
// The same through the job environment's output (nothing while none is set).
void ReportError(const RawString& key, const RawString& path);

// ---- open commands ---------------------------------------------------------

// A program that opens paths of some extensions or kinds.
class JobOpenShellUnit : public RawShell {
public:
    JobOpenShellUnit() {}
    // "Command", "Parameter", "Directory", "ShowStatus", "Extension",
    // "ParameterNum" of one section.
    void Load(const RawParameterList& section);

    // Whether the "Extension" list holds the key as a whole item: the first
    // occurrence of the key in the list text (only that one) must start at
    // the beginning or after a ',' and end at the end or before a ','.
    bool HoldsKey(const RawString& key, bool ignoreCase) const;

    RawString extension;     // "Extension"
    RawString parameterNum;  // "ParameterNum"
};

class JobOpenShellListAllocator : public RawLayer::RawListDeleteAllocator<JobOpenShellUnit> {};

class JobOpenShellList : public RawLayer::RawListR<JobOpenShellListAllocator, JobOpenShellUnit>,
                         public JobProfileData::Enumerator {
public:
    // Appends one command made from the section.
    bool OnSection(const RawParameterList& entries) override;

    // The first command whose list holds the path's keys (for a folder
    // "Folder"; for a file its extension, ASCII case ignored, else its
    // kind name from the extension table, compared exactly); null when
    // none does.
    JobOpenShellUnit* FindCommand(const RawString& path) const;
    JobOpenShellUnit* FindCommand(const RawString& path, const ExtensionKindTable& table) const;

    // Opens the path with its command ("ParameterNum" when a number above 0
    // is given and the text is not empty, else "Parameter"; its first "%s"
    // becomes the path and, with a number above 0, its first "%n" the
    // number), or, when no command matches, through the path's own shell
    // association. The process handle is closed at once. True when started.
    bool OpenPath(const RawString& path, int32_t number) const;
    bool OpenPath(const RawString& path, int32_t number, const ExtensionKindTable& table) const;
};

// ---- user commands ---------------------------------------------------------

enum : uint32_t {
    UserTargetSideBoth = 0,
    UserTargetSideEach = 1,
    UserTargetLineSingle = 0,
    UserTargetLineMultiple = 1,
    UserTargetKindAll = 0,
    UserTargetKindFolder = 1,
    UserTargetKindFile = 2,
    UserTargetKindText = 3,
    UserTargetKindBinary = 4
};

class JobUserShellUnit : public RawShell {
public:
    JobUserShellUnit() {}
    // "Command", "Parameter", "Directory", "ShowStatus", "Name",
    // "TargetSide", "TargetLine", "TargetKind" of one section.
    void Load(const RawParameterList& section);

    // Whether the command applies to a job of a kind (0 path, 1 text,
    // 2 binary).
    bool AcceptsKind(uint32_t jobKind) const;

    // The parameter text for the sides: "Each" fills the first "%s1" with
    // side 2's text when `secondSide` is set, else side 1's; "Both" fills
    // the first "%s1" with side 1's text and the first "%s2" with side 2's.
    // Texts put in are never scanned again.
    RawString ExpandParameter(bool secondSide, const RawString& text1, const RawString& text2) const;
    // Starts the command with ExpandParameter's text and closes the process
    // handle; true when started.
    bool Run(bool secondSide, const RawString& text1, const RawString& text2);

    RawString name;           // "Name"
    uint32_t targetSide = 0;  // "TargetSide": "Both" 0, "Each" 1
    uint32_t targetLine = 0;  // "TargetLine": "Single" 0, "Multiple" 1
    uint32_t targetKind = 0;  // "TargetKind": "*" 0, "Folder" 1, "File" 2, "Text" 3, "Binary" 4
};

class JobUserShellListAllocator : public RawLayer::RawListDeleteAllocator<JobUserShellUnit> {};

class JobUserShellList : public RawLayer::RawListR<JobUserShellListAllocator, JobUserShellUnit>,
                         public JobProfileData::Enumerator {
public:
    bool OnSection(const RawParameterList& entries) override;
};

// ---- templates ---------------------------------------------------------------

// One mark of a command template and the text that takes its place.
struct CommandMark {
    RawString mark;
    RawString value;
};

// Fills a template in one pass: the first occurrence of each mark in the
// template as written is replaced by its value; a mark that does not occur
// is skipped. Values are never scanned for marks, so a path or text that
// holds "%s", "%n", "%s1" or "%s2" is put in as it is. The result keeps the
// template's kind when every value fits it without loss, else it is UTF-8
// (UTF-16 templates stay UTF-16).
RawString ExpandCommandTemplate(const RawString& pattern, const CommandMark* marks, int count);
// The parameter of an open command: the first "%s" becomes the path and,
// with a number above 0, the first "%n" becomes the number in decimal.
RawString ExpandOpenParameter(const RawString& pattern, const RawString& path, int32_t number);

// ---- temporary folder and clipboard files ------------------------------------

// The system's temporary folder joined with "Tavrel_Temp", with 1, 2, 3, ...
// appended while a file or folder of that name exists. The chosen folder is
// claimed by creating it (after any missing parents), and creating a folder
// that already exists fails, so two instances never share one. Empty when no
// folder could be claimed.
RawString MakeTempFolder();
RawString MakeTempFolder(const RawString& parent);
// Deletes the folder tree and empties the path (nothing when it is empty).
// Empty, relative and root paths are refused. When the tree could not be
// deleted whole the path is kept, so that a later call can try again; the
// result tells whether the folder is gone.
bool RemoveTempFolder(RawString& folder);

// Writes the clipboard's text (at most `maxUnits` UTF-16 units) as UTF-8
// without byte-order mark into a new file at the path (written beside and
// moved in place). False when there is no text or the file cannot be
// written.
bool WriteClipboardToFile(const RawString& path, int32_t maxUnits);
// The same with the "MaxClipLoading" option.
bool WriteClipboardToFile(const RawString& path);

// ---- the job environment -------------------------------------------------------

class ShellCommandStore {
public:
    // The process-wide store, built on first use (the temporary folder is
    // claimed then) and destroyed at exit (the folder removed).
    static ShellCommandStore& Instance();

    // A store over the given extension table and temporary folder parent
    // (empty: the system's temporary folder).
    explicit ShellCommandStore(ExtensionKindTable& table, const RawString& tempParent = RawString());
    ~ShellCommandStore();
    ShellCommandStore(const ShellCommandStore&) = delete;
    ShellCommandStore& operator=(const ShellCommandStore&) = delete;

    // Loads the extension table, then the "OpenCommand" and "UserCommand"
    // sections of the configuration into the two lists (the icon pool is
    // filled by the window toolkit's side).
    void Load();
    void Load(const RawLayer::ProfileFileRef& configuration);

    // The temporary folder, "\", "Clip", the counter (counted up by one for
    // each call, the first path ends in "Clip1.txt") and ".txt". Empty when
    // the store has no temporary folder.
    RawString ClipFilePath();
    // Removes the temporary folder (safe to call again); true when it is gone.
    bool RemoveTempFolder();

    void SetOutput(JobServerControl::Logger* output);
    JobServerControl::Logger* Output() const;

    JobServerControl::Logger* output = nullptr;  // the status box; null before it exists
    ExtensionKindTable& extensionTable;
    JobOpenShellList openCommands;
    JobUserShellList userCommands;
    // The three entry-kind icons (folder, text file, other file); filled
    // from icon resources 995, 132 and 996 once the toolkit's icon pool
    // exists.
    WinLayer::WinBitmapPool* iconPool = nullptr;
    RawString tempFolder;
    uint32_t clipCounter = 0;

private:
    mutable CRITICAL_SECTION lock_;
};

}  // namespace JobLayer
