#include "tavrel/jobs/shell_commands.h"

#include <algorithm>
#include <vector>

#include "base/api_text.h"
#include "base/clipboard.h"
#include "base/file_system.h"
#include "tavrel/jobs/entry_icons.h"
#include "tavrel/jobs/job_group.h"

namespace JobLayer {

using RawLayer::LanguageTable;
using RawLayer::ProfileFileRef;
using RawLayer::RawRange;

namespace {

RAW_CONSTANT_TEXT(FolderKindNameText, "Folder")
RAW_CONSTANT_TEXT(PathMarkText, "%s")
RAW_CONSTANT_TEXT(NumberMarkText, "%n")
RAW_CONSTANT_TEXT(Side1MarkText, "%s1")
RAW_CONSTANT_TEXT(Side2MarkText, "%s2")
RAW_CONSTANT_TEXT(TargetSideBothText, "Both")
RAW_CONSTANT_TEXT(TargetSideEachText, "Each")
RAW_CONSTANT_TEXT(TargetLineSingleText, "Single")
RAW_CONSTANT_TEXT(TargetLineMultipleText, "Multiple")
RAW_CONSTANT_TEXT(TargetKindFileText, "File")
RAW_CONSTANT_TEXT(ClipTempSuffixText, ".tmp")

// Kinds whose units the ASCII marks can be searched in directly.
bool SearchableKind(uint8_t kind) {
    return kind == RawLayer::KindAnsi || kind == RawLayer::KindSjis || kind == RawLayer::KindUtf8 ||
           kind == RawLayer::KindUtf16;
}

bool IsSevenBit(const RawString& text) {
    for (int32_t i = 0; i < text.Length(); ++i)
        if (text.UnitAt(i) >= 0x80) return false;
    return true;
}

// Whether a value can be put into text of a kind without conversion loss.
bool FitsKind(const RawString& value, uint8_t kind) {
    if (value.IsEmpty() || value.Kind() == kind) return true;
    if (value.Kind() == RawLayer::KindUtf8 && kind != RawLayer::KindUtf16) return IsSevenBit(value);
    return false;
}

// The index of a name in a table of names (compared exactly); 0 when absent.
uint32_t NameCode(const RawString& value, const RawString* const* names, uint32_t count) {
    for (uint32_t i = 0; i < count; ++i)
        if (value.Equals(*names[i])) return i;
    return 0;
}

}  // namespace

// ---- failure reports ---------------------------------------------------------

const RawLayer::RawLocaleRecord ErrorMessageTexts[] = {
    {"ReadOpenError", "ReadOpenError"},
    {"WriteOpenError", "WriteOpenError"},
    {"ReadError", "ReadError"},
    {"WriteError", "WriteError"},
    {"BackupError", "BackupError"},
    {"RestoreError", "RestoreError"},
    {"CopyError", "CopyError"},
    {"DirectoryError", "DirectoryError"},
    {"TooLargeFile", "TooLargeFile"},
    {"SaveError", "SaveError"},
    {"NoPathSpecifiedError", "NoPathSpecifiedError"},
    {"DifferentKindError", "DifferentKindError"},
    {"OriginalKeptAs", "OriginalKeptAs"},
    {"NoLinesReadError", "NoLinesReadError"},
    {"UnheldTextError", "Nothing changed: the side's encoding cannot hold every character of the text"},
    {"PathTooLongError", "the path is too long for this step"},
    {nullptr, nullptr}};

void ReportError(JobServerControl::Logger* output, const RawString& key, const RawString& path) {
    const DWORD error = GetLastError();
    if (!output) return;
    RawString section = LanguageTable::Lookup(ErrorMessageSectionText(), ErrorMessageTexts);
    RawString text = LanguageTable::Text(section, key);
    if (text.IsEmpty()) text = key;
    if (!path.IsEmpty()) {
        text.AppendAscii(" (");
        text.Append(path);
        text.AppendAscii(")");
        // The user cannot tell from the path alone why a long one failed.
        const bool tooLong = RawLayer::PathTooLongForSystem(path) ||
                             (error == ERROR_FILENAME_EXCED_RANGE && path.As(RawLayer::KindUtf16).Length() >= MAX_PATH);
        if (tooLong) {
            RawString note = LanguageTable::Text(section, PathTooLongErrorText());
            text.AppendAscii(": ");
            text.Append(note.IsEmpty() ? PathTooLongErrorText() : note);
        }
    }
    output->Report(text);
    SetLastError(error);
}

void ReportError(const RawString& key, const RawString& path) {
    ReportError(ShellCommandStore::Instance().Output(), key, path);
}

// ---- templates -----------------------------------------------------------------

RawString ExpandCommandTemplate(const RawString& pattern, const CommandMark* marks, int count) {
    RawString text = SearchableKind(pattern.Kind()) ? pattern : pattern.As(RawLayer::KindUtf16);
    const uint8_t kind = text.Kind();

    // Every mark is looked for in the template as written, before anything
    // is put in, so no value is ever searched.
    struct Hit {
        int32_t start;
        int32_t end;
        int index;
    };
    std::vector<Hit> hits;
    for (int i = 0; i < count; ++i) {
        const RawString& mark = marks[i].mark;
        if (mark.IsEmpty()) continue;
        RawString wanted = mark.Kind() == kind || IsSevenBit(mark) ? mark : mark.As(kind);
        int32_t at = text.Find(wanted);
        if (at >= text.Length()) continue;
        hits.push_back(Hit{at, at + wanted.Length(), i});
    }
    std::stable_sort(hits.begin(), hits.end(), [](const Hit& a, const Hit& b) { return a.start < b.start; });

    uint8_t resultKind = kind;
    if (kind != RawLayer::KindUtf8 && kind != RawLayer::KindUtf16) {
        for (const Hit& hit : hits)
            if (!FitsKind(marks[hit.index].value, kind)) resultKind = RawLayer::KindUtf8;
    }

    RawString result(resultKind);
    int32_t done = 0;
    for (const Hit& hit : hits) {
        if (hit.start < done) continue;  // overlaps a mark already filled
        result.AppendRange(text, RawRange{done, hit.start});
        result.Append(marks[hit.index].value);
        done = hit.end;
    }
    result.AppendRange(text, RawRange{done, text.Length()});
    return result;
}

RawString ExpandOpenParameter(const RawString& pattern, const RawString& path, int32_t number) {
    CommandMark marks[2] = {{PathMarkText(), path}, {NumberMarkText(), RawString()}};
    int count = 1;
    if (number > 0) {
        marks[1].value = RawString::FromInt(number);
        count = 2;
    }
    return ExpandCommandTemplate(pattern, marks, count);
}

// ---- open commands -------------------------------------------------------------

void JobOpenShellUnit::Load(const RawParameterList& section) {
    RawShell::Load(section);
    bool found = false;
    RawString value = section.GetText(OpenExtensionKeyText(), &found);
    if (found) extension = value;
    value = section.GetText(OpenParameterNumKeyText(), &found);
    if (found) parameterNum = value;
}

bool JobOpenShellUnit::HoldsKey(const RawString& key, bool ignoreCase) const {
    // An empty key (a file without extension, a missing path) names nothing.
    if (key.IsEmpty() || extension.IsEmpty()) return false;
    bool ok = true;
    RawString wanted = key.Kind() == extension.Kind() ? key : key.As(extension.Kind(), &ok);
    if (!ok || wanted.IsEmpty()) return false;
    RawRange all = extension.All();
    int32_t at = ignoreCase ? extension.FindNoCase(all, wanted, wanted.All())
                            : extension.FindRange(all, wanted, wanted.All());
    if (at >= extension.Length()) return false;
    int32_t end = at + wanted.Length();
    bool startsItem = at == 0 || extension.UnitAt(at - 1) == ',';
    bool endsItem = end == extension.Length() || extension.UnitAt(end) == ',';
    return startsItem && endsItem;
}

bool JobOpenShellList::OnSection(const RawParameterList& entries) {
    JobOpenShellUnit* unit = new JobOpenShellUnit();
    unit->Load(entries);
    Add(unit);
    return true;
}

JobOpenShellUnit* JobOpenShellList::FindCommand(const RawString& path) const {
    return FindCommand(path, ExtensionKindTable::Shared());
}

JobOpenShellUnit* JobOpenShellList::FindCommand(const RawString& path,
                                                const ExtensionKindTable& table) const {
    RawString first;
    bool firstNoCase = false;
    RawString second;
    if (!path.IsEmpty() && RawLayer::FolderExists(path)) {
        second = FolderKindNameText();
    } else {
        RawString name;
        name.AssignRange(path, RawLayer::PathNameRange(path));
        first.AssignRange(name, RawLayer::PathExtensionRange(name, false));
        firstNoCase = true;
        if (!path.IsEmpty() && RawLayer::PathExists(path))
            second = table.KindOfPath(path) == 1 ? TextKindNameText() : BinaryKindNameText();
    }
    return FindIf([&](const JobOpenShellUnit& unit) {
        return unit.HoldsKey(first, firstNoCase) || unit.HoldsKey(second, false);
    });
}

bool JobOpenShellList::OpenPath(const RawString& path, int32_t number) const {
    return OpenPath(path, number, ExtensionKindTable::Shared());
}

bool JobOpenShellList::OpenPath(const RawString& path, int32_t number,
                                const ExtensionKindTable& table) const {
    const JobOpenShellUnit* unit = FindCommand(path, table);
    if (!unit) {
        // No command of its own: the path's shell association opens it.
        RawShell shell(path);
        bool started = shell.Execute(RawString(), RawString());
        shell.CloseProcess();
        return started;
    }
    const RawString& pattern =
        number > 0 && !unit->parameterNum.IsEmpty() ? unit->parameterNum : unit->parameter;
    RawShell shell(*unit);
    bool started = shell.Execute(ExpandOpenParameter(pattern, path, number), RawString());
    shell.CloseProcess();
    return started;
}

// ---- user commands -------------------------------------------------------------

void JobUserShellUnit::Load(const RawParameterList& section) {
    RawShell::Load(section);
    bool found = false;
    RawString value = section.GetText(UserNameKeyText(), &found);
    if (found) name = value;

    static const RawString* const sideNames[] = {&TargetSideBothText(), &TargetSideEachText()};
    static const RawString* const lineNames[] = {&TargetLineSingleText(), &TargetLineMultipleText()};
    static const RawString* const kindNames[] = {&WildcardAllText(), &FolderKindNameText(),
                                                 &TargetKindFileText(), &TextKindNameText(),
                                                 &BinaryKindNameText()};
    targetSide = NameCode(section.GetText(UserTargetSideKeyText()), sideNames, 2);
    targetLine = NameCode(section.GetText(UserTargetLineKeyText()), lineNames, 2);
    targetKind = NameCode(section.GetText(UserTargetKindKeyText()), kindNames, 5);
}

bool JobUserShellUnit::AcceptsKind(uint32_t jobKind) const {
    const bool path = jobKind == 0, text = jobKind == 1, binary = jobKind == 2;
    switch (targetKind) {
    case UserTargetKindAll: return path || text || binary;
    case UserTargetKindFolder: return path;
    case UserTargetKindFile: return text || binary;
    case UserTargetKindText: return text;
    case UserTargetKindBinary: return binary;
    default: return false;
    }
}

RawString JobUserShellUnit::ExpandParameter(bool secondSide, const RawString& text1,
                                            const RawString& text2) const {
    if (targetSide == UserTargetSideEach) {
        CommandMark mark = {Side1MarkText(), secondSide ? text2 : text1};
        return ExpandCommandTemplate(parameter, &mark, 1);
    }
    CommandMark marks[2] = {{Side1MarkText(), text1}, {Side2MarkText(), text2}};
    return ExpandCommandTemplate(parameter, marks, 2);
}

bool JobUserShellUnit::Run(bool secondSide, const RawString& text1, const RawString& text2) {
    bool started = Execute(ExpandParameter(secondSide, text1, text2), RawString());
    CloseProcess();
    return started;
}

bool JobUserShellList::OnSection(const RawParameterList& entries) {
    JobUserShellUnit* unit = new JobUserShellUnit();
    unit->Load(entries);
    Add(unit);
    return true;
}

// ---- temporary folder and clipboard files ----------------------------------------

RawString MakeTempFolder() { return MakeTempFolder(RawString()); }

RawString MakeTempFolder(const RawString& parent) {
    RawString base = parent.IsEmpty() ? RawLayer::ApiGetTempPath(RawLayer::KindUtf16) : parent;
    if (base.IsEmpty() || !RawLayer::ApiCreateDirectoryTree(base)) return RawString();
    // Creating the folder itself is the claim: it fails on an existing name,
    // so an instance that lost the race goes on to the next number.
    const uint32_t kMaxTries = 100000;
    for (uint32_t counter = 0; counter < kMaxTries; ++counter) {
        RawString name = TempFolderNameText();
        if (counter > 0) name.AppendUnsigned(counter, 10);
        RawString path = RawLayer::PathJoin(base, name);
        if (RawLayer::ApiCreateDirectory(path)) return path;
        // Only a name that is taken moves on; any other failure ends the
        // search (the parent cannot hold new folders).
        if (RawLayer::ApiGetFileAttributes(path) == INVALID_FILE_ATTRIBUTES) return RawString();
    }
    return RawString();
}

bool RemoveTempFolder(RawString& folder) {
    if (folder.IsEmpty()) return true;
    if (!RawLayer::DeleteFolderTree(folder)) return false;
    folder = RawString();
    return true;
}

bool WriteClipboardToFile(const RawString& path) {
    return WriteClipboardToFile(path, ConfigStore::Instance().maxClipLoading);
}

bool WriteClipboardToFile(const RawString& path, int32_t maxUnits) {
    if (path.IsEmpty()) return false;
    if (maxUnits < 1) maxUnits = 1;
    if (maxUnits > MaxClipLoadingLimit) maxUnits = MaxClipLoadingLimit;
    RawString text = RawLayer::ClipboardGetText(maxUnits);
    if (text.IsEmpty()) return false;
    bool ok = true;
    RawString bytes = text.As(RawLayer::KindUtf8, &ok);
    if (!ok) return false;

    RawString temporary = path.Concat(ClipTempSuffixText());
    bool written = false;
    {
        RawLayer::RawFileHandle file;
        if (file.OpenWrite(temporary)) {
            DWORD size = static_cast<DWORD>(bytes.Length());
            written = file.Write(bytes.Data(), size) && file.Transferred() == size && file.Flush();
            file.Close();
        }
    }
    if (written)
        written = RawLayer::ApiMoveFileEx(temporary, path, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
    if (!written) RawLayer::ApiDeleteFile(temporary);
    return written;
}

// ---- the job environment -----------------------------------------------------------

ShellCommandStore& ShellCommandStore::Instance() {
    static ShellCommandStore store(ExtensionKindTable::Shared());
    return store;
}

ShellCommandStore::ShellCommandStore(ExtensionKindTable& table, const RawString& tempParent)
    : extensionTable(table) {
    InitializeCriticalSection(&lock_);
    tempFolder = MakeTempFolder(tempParent);
}

ShellCommandStore::~ShellCommandStore() {
    RemoveTempFolder();
    DeleteCriticalSection(&lock_);
}

void ShellCommandStore::Load() { Load(ConfigStore::Instance().fileRef); }

void ShellCommandStore::Load(const ProfileFileRef& configuration) {
    extensionTable.Load(configuration);
    openCommands.Clear();
    userCommands.Clear();
    ProfileSectionEnumerate(configuration, OpenCommandSectionText(), openCommands);
    ProfileSectionEnumerate(configuration, UserCommandSectionText(), userCommands);
    // The entry-kind icons (resources 995, 132, 996, or drawn glyphs where
    // the program holds none); the folder rows fill the pool again at their
    // own icon size.
    iconPool = EntryIconPool(kDefaultEntryIconSide);
}

RawString ShellCommandStore::ClipFilePath() {
    EnterCriticalSection(&lock_);
    RawString path;
    if (!tempFolder.IsEmpty()) {
        ++clipCounter;
        RawString name = ClipFilePrefixText();
        name.AppendUnsigned(clipCounter, 10);
        name.Append(ClipFileSuffixText());
        path = RawLayer::PathJoin(tempFolder, name);
    }
    LeaveCriticalSection(&lock_);
    return path;
}

bool ShellCommandStore::RemoveTempFolder() {
    EnterCriticalSection(&lock_);
    bool gone = JobLayer::RemoveTempFolder(tempFolder);
    LeaveCriticalSection(&lock_);
    return gone;
}

void ShellCommandStore::SetOutput(JobServerControl::Logger* logger) {
    EnterCriticalSection(&lock_);
    output = logger;
    LeaveCriticalSection(&lock_);
}

JobServerControl::Logger* ShellCommandStore::Output() const {
    EnterCriticalSection(&lock_);
    JobServerControl::Logger* logger = output;
    LeaveCriticalSection(&lock_);
    return logger;
}

}  // namespace JobLayer
