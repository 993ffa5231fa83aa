// Tab operations: start source, group files and pair texts, the pair file,
// the clipboard, a second instance, and the child and parent jobs.
#include "tavrel/app/tab_operations.h"

#include <string>
#include <utility>
#include <vector>

#include "base/api_text.h"
#include "base/clipboard.h"
#include "base/file_system.h"
#include "base/language.h"
#include "base/line_file.h"
#include "base/profile.h"
#include "base/shell.h"
#include "tavrel/app/current_tab.h"
#include "tavrel/app/job_environment.h"
#include "tavrel/app/main_dialog.h"
#include "tavrel/jobs/config_store.h"
#include "tavrel/jobs/pair_line.h"
#include "tavrel/jobs/shell_commands.h"

namespace AppLayer {

using JobLayer::JobGroupList;
using RawLayer::RawString;

namespace {

RAW_CONSTANT_TEXT(TemporarySuffixText, ".tmp")
RAW_CONSTANT_TEXT(PairSwitchText, "-t ")
RAW_CONSTANT_TEXT(BlankText, " ")
RAW_CONSTANT_TEXT(NoPairLineErrorText, "NoPairLineError")
RAW_CONSTANT_TEXT(ClipboardErrorText, "ClipboardError")
RAW_CONSTANT_TEXT(RestartFilePrefixText, "Tavrel_Restart_")
RAW_CONSTANT_TEXT(RestartFileSuffixText, ".txt")
RAW_CONSTANT_TEXT(RestartMarkerText, "@Restart@")

// The longest clipboard text taken, in UTF-16 units.
constexpr int32_t kClipUnits = 4096;

void FocusFolderBox(GuiViewSet& views) {
    if (views.folderBox.window) SetFocus(views.folderBox.window);
}

void RepaintTabBar(GuiViewSet& views) {
    if (views.tabBar.window) InvalidateRect(views.tabBar.window, nullptr, FALSE);
}

bool IsEmptyPair(const JobGroupUnit& job) { return job.Path(0).IsEmpty() && job.Path(1).IsEmpty(); }

// The empty start tab gives way: a tab whose job has no path on either
// side. A pair that opened as kind none (a folder against a file, a missing
// path) keeps its tab.
void DropEmptyTab(GuiViewSet& views, WinTabBarItemUnit* tab) {
    const JobGroupUnit* job = GuiTabBar::JobOf(tab);
    if (tab && tab != views.tabBar.current && job && IsEmptyPair(*job) && views.tabBar.Count() > 1) {
        views.tabBar.RemoveTab(tab);
    }
}

// Inserts a job after the current tab; an empty tab that was current goes.
void InsertAfterCurrent(GuiViewSet& views, JobGroupUnit* job) {
    GuiTabBar& bar = views.tabBar;
    WinTabBarItemUnit* before = bar.current;
    bar.InsertJob(bar.NextItem(before), job);
    DropEmptyTab(views, before);
    RepaintTabBar(views);
}

// One tab for a parsed pair after the current tab, with the pair's options
// when the line had them.
bool OpenPair(GuiViewSet& views, const JobLayer::TabPairRecord& pair) {
    JobGroupUnit* job = JobGroupList::Instance().FindOrOpenPair(pair.path1, pair.path2);
    if (!job) return false;
    if (pair.hasOptions) {
        job->statusMask = pair.statusMask;
        job->edit = pair.edit;
    }
    InsertAfterCurrent(views, job);
    return true;
}

std::wstring WideOf(const RawString& text) {
    const RawString wide = text.As(RawLayer::KindUtf16);
    return std::wstring(wide.Wide(), static_cast<size_t>(wide.Length()));
}

bool IsEmptyRange(RawLayer::RawRange range) { return range.end <= range.start; }

bool IsLineEnd(uint32_t unit) { return unit == '\r' || unit == '\n'; }
bool IsTrimmed(uint32_t unit) { return unit == ' ' || unit == '\t' || IsLineEnd(unit); }

// The folder beside a restart's pair file (its path without ".txt") that
// carries the clip files to the next instance.
RawString HandOverFolderOf(const RawString& restartFile) {
    RawString folder = restartFile.As(RawLayer::KindUtf8);
    const int32_t suffix = RestartFileSuffixText().Length();
    folder.Erase(folder.Length() - suffix, suffix);
    return folder;
}

// A path's extension with its dot; empty without one.
RawString ExtensionOf(const RawString& path) {
    const RawString source = path.As(RawLayer::KindUtf8);
    RawString extension;
    extension.AssignRange(source, RawLayer::PathExtensionRange(source, true));
    return extension;
}

// A path for a file of this instance's temporary folder: a new clip file
// name with the extension of `like`. Empty without a temporary folder.
RawString NewClipPathLike(const RawString& like) {
    RawString path = JobLayer::ShellCommandStore::Instance().ClipFilePath().As(RawLayer::KindUtf8);
    if (path.IsEmpty()) return path;
    const int32_t dot = RawLayer::PathExtensionRange(path, true).start;
    path.Erase(dot, path.Length() - dot);
    path.Append(ExtensionOf(like));
    return path;
}

// Says in the status box that a pair has no pair line.
void ReportNoPairLine(const RawString& path1, const RawString& path2) {
    RawString pair = path1;
    pair.AppendAscii(" | ");
    pair.Append(path2);
    JobLayer::ReportError(NoPairLineErrorText(), pair);
}

// A new name beside the path for its temporary file.
RawString TemporaryBeside(const RawString& path) {
    RawString candidate = path.Concat(TemporarySuffixText());
    for (int32_t n = 1; n < 1000 && RawLayer::PathExists(candidate); ++n) {
        candidate = path.Concat(TemporarySuffixText());
        candidate.AppendInt(n);
    }
    return candidate;
}

}  // namespace

// ---- the restart's clip files -----------------------------------------------------

// A restart's clip files, handed from the closing instance to the next one.
// The closing instance's temporary folder goes with its window: each side
// file inside it is copied into the hand-over folder and the pair line names
// the copy. The next instance moves the copies into its own temporary
// folder, which it removes when it closes. One copy per file, however many
// tabs show it.
struct ClipHandOver {
    // The first line of a restart's pair file: the marker and the file's own
    // name. Only a file that begins with it is a restart's, to be deleted
    // with its hand-over folder once read; a user's file of a like name is
    // an ordinary group file.
    static RawString MarkerOf(const RawString& restartFile) {
        RawString name;
        const RawString path = restartFile.As(RawLayer::KindUtf8);
        name.AssignRange(path, RawLayer::PathNameRange(path));
        return RestartMarkerText().Concat(name);
    }

    // The closing side: the path the pair line names for a side.
    RawString Handed(const RawString& path) {
        JobLayer::ShellCommandStore& environment = JobLayer::ShellCommandStore::Instance();
        if (folder.IsEmpty() || !PathInsideFolder(path, environment.tempFolder) || !RawLayer::FileExists(path)) {
            return path;
        }
        for (const auto& copy : moves) {
            if (copy.first == path) return copy.second;
        }
        if (moves.empty() && !RawLayer::ApiCreateDirectoryTree(folder)) return path;
        RawString name;
        name.AppendInt(static_cast<int32_t>(moves.size() + 1));
        name.Append(ExtensionOf(path));
        const RawString copy = RawLayer::PathJoin(folder, name);
        RawLayer::RawFileCopier copier;
        if (!RawLayer::CopyFileKeepTimes(copier, copy, path)) return path;
        moves.emplace_back(path, copy);
        return copy;
    }
    // The starting side: the path of a side in this instance, a handed
    // copy moved into the temporary folder, or copied there when it cannot
    // be moved (someone still holds it). One that can be neither stays where
    // it is, and the hand-over folder then goes when this instance closes.
    RawString Adopted(const RawString& path) {
        if (folder.IsEmpty() || !PathInsideFolder(path, folder)) return path;
        for (const auto& move : moves) {
            if (move.first == path) return move.second;
        }
        const RawString target = NewClipPathLike(path);
        bool adopted = !target.IsEmpty() && RawLayer::ApiMoveFileEx(path, target, MOVEFILE_COPY_ALLOWED);
        if (!adopted && !target.IsEmpty()) {
            RawLayer::RawFileCopier copier;
            adopted = RawLayer::CopyFileKeepTimes(copier, target, path);
            if (!adopted) RawLayer::ApiDeleteFile(target);
        }
        if (!adopted) {
            kept = true;
            return path;
        }
        moves.emplace_back(path, target);
        return target;
    }

    RawString folder;  // empty: nothing is handed
    std::vector<std::pair<RawString, RawString>> moves;  // from, to
    bool kept = false;
};

namespace {

// One tab per pair line of the file, each after the one before it
// (insertion makes it current); a side the hand-over holds is adopted first.
bool ReadGroupFile(GuiViewSet& views, const RawString& path, ClipHandOver& handOver) {
    RawLayer::RawLineFile file(path);
    if (path.IsEmpty() || !file.Open()) return false;
    while (file.ReadLine()) {
        JobLayer::TabPairRecord pair;
        if (!JobLayer::ParseTabPairLine(pair, file.Line().text.As(RawLayer::KindUtf8))) continue;
        pair.path1 = handOver.Adopted(pair.path1);
        pair.path2 = handOver.Adopted(pair.path2);
        OpenPair(views, pair);
    }
    file.Close();
    return true;
}

// Whether the file was written by a restart: its first line is the marker
// with the file's own name.
bool IsMadeByRestart(const RawString& path) {
    RawLayer::RawLineFile file(path);
    if (!file.Open()) return false;
    const bool made = file.ReadLine() && file.Line().text.As(RawLayer::KindUtf16).Equals(
                                             ClipHandOver::MarkerOf(path).As(RawLayer::KindUtf16));
    file.Close();
    return made;
}

// What a restart handed over and could not be removed at once (a file
// still held, or shown from there): removed when this instance closes.
std::vector<RawString>& HandOverLeftovers() {
    static std::vector<RawString> leftovers;
    return leftovers;
}

}  // namespace

void RemoveHandOverLeftovers() {
    std::vector<RawString>& leftovers = HandOverLeftovers();
    for (const RawString& path : leftovers) {
        if (RawLayer::FolderExists(path)) {
            RawLayer::DeleteFolderTree(path);
        } else {
            RawLayer::ApiDeleteFile(path);
        }
    }
    leftovers.clear();
}

// ---- the tab walk -------------------------------------------------------------

void GuiTabBar::Enumerate(GroupEnumeration& walk) const {
    for (const WinTabBarItemUnit& tab : items) {
        JobGroupUnit* job = JobOf(&tab);
        if (job) walk.Apply(*job);
    }
}

void GuiEnumTabKeep::Apply(JobGroupUnit& job) {
    if (failed || IsEmptyPair(job)) return;
    const RawString line = handOver ? PairLineOfPaths(handOver->Handed(job.Path(0)), handOver->Handed(job.Path(1)),
                                                      job.statusMask, job.edit)
                                    : PairLineOf(job);
    if (line.IsEmpty()) {
        // No pair line can carry it: it would read back as other paths.
        ReportNoPairLine(job.Path(0), job.Path(1));
        return;
    }
    if (file.WriteLine(line) && file.WriteLineBreak()) {
        ++written;
    } else {
        failed = true;
    }
}

void GuiEnumTabReload::Apply(JobGroupUnit& job) {
    job.controller->Load(job, JobLayer::ModeBoth);
    views.folderBox.ForgetJob(&job);
    job.flags = static_cast<uint16_t>(job.flags | JobLayer::JobTabStateChanged);
}

void ReloadAllTabs(GuiViewSet& views) {
    WaitCursor wait;
    GuiEnumTabReload reload(views);
    views.tabBar.Enumerate(reload);
    RefreshAfterJobChange(views);
    RepaintTabBar(views);
}

// ---- opening ----------------------------------------------------------------------

bool OpenPairText(GuiViewSet& views, const RawString& text) {
    JobLayer::TabPairRecord pair;
    return JobLayer::ParseTabPairLine(pair, text) && OpenPair(views, pair);
}

bool OpenGroupFile(GuiViewSet& views, const RawString& path) {
    JobLayer::GuiProfileStore::Instance().lastPairFile = path;
    ClipHandOver none;
    return ReadGroupFile(views, path, none);
}

void OpenStartSource(GuiViewSet& views, const JobLayer::StartSource& source) {
    switch (source.kind) {
    case JobLayer::StartGroupFile:
        if (IsRestartFilePath(source.path1) && IsMadeByRestart(source.path1)) {
            // The previous instance's tabs: the file is no pair file of the
            // user's (it is not remembered), and nobody else reads it. The
            // clip files handed with it become this instance's; whatever
            // cannot go now goes when this instance closes.
            ClipHandOver handOver;
            handOver.folder = HandOverFolderOf(source.path1);
            ReadGroupFile(views, source.path1, handOver);
            if (!RawLayer::ApiDeleteFile(source.path1) && RawLayer::PathExists(source.path1)) {
                HandOverLeftovers().push_back(source.path1);
            }
            if (handOver.kept || !RawLayer::DeleteFolderTree(handOver.folder)) {
                HandOverLeftovers().push_back(handOver.folder);
            }
            return;
        }
        OpenGroupFile(views, source.path1);
        return;
    case JobLayer::StartPairText:
        OpenPairText(views, source.path1);
        return;
    case JobLayer::StartSide1:
        FocusFolderBox(views);
        views.tabBar.LoadSide(0, source.path1);
        break;
    case JobLayer::StartSide2:
        FocusFolderBox(views);
        views.tabBar.LoadSide(1, source.path2);
        break;
    case JobLayer::StartBothSides:
        FocusFolderBox(views);
        views.tabBar.LoadPair(source.path1, source.path2);
        break;
    default:
        return;
    }
    ShowCurrentTab(views);
}

// ---- pair lines and the pair file ------------------------------------------------

RawString PairLinePath(const RawString& path) {
    if (!path.ContainsUnit(',')) return path;
    // The short (8.3) name holds no ",", so any reader of pair lines reads
    // it back as the same file. A file that is gone, or a volume without
    // short names, has none.
    const std::wstring wide = WideOf(path);
    const DWORD needed = GetShortPathNameW(wide.c_str(), nullptr, 0);
    if (needed == 0 || needed > 32768) return RawString();
    std::wstring shortName(needed, L'\0');
    const DWORD length = GetShortPathNameW(wide.c_str(), &shortName[0], needed);
    if (length == 0 || length >= needed) return RawString();
    shortName.resize(length);
    if (shortName.find(L',') != std::wstring::npos) return RawString();
    return RawString::FromWideText(shortName.c_str(), static_cast<int32_t>(shortName.size()));
}

RawString PairLineOfPaths(const RawString& path1, const RawString& path2, uint16_t statusMask,
                          const JobLayer::JobEditFlags& edit) {
    if (path1.IsEmpty() && path2.IsEmpty()) return RawString();
    const RawString line1 = PairLinePath(path1), line2 = PairLinePath(path2);
    if (line1.IsEmpty() != path1.IsEmpty() || line2.IsEmpty() != path2.IsEmpty()) return RawString();
    RawString line = JobLayer::FormatTabPairLine(line1, line2, statusMask, edit);
    // Only a line that reads back as these very paths is ever written.
    JobLayer::TabPairRecord back;
    if (!JobLayer::ParseTabPairLine(back, line) || WideOf(back.path1) != WideOf(line1) ||
        WideOf(back.path2) != WideOf(line2)) {
        return RawString();
    }
    return line;
}

RawString PairLineOf(const JobGroupUnit& job) {
    return PairLineOfPaths(job.Path(0), job.Path(1), job.statusMask, job.edit);
}

RawString CurrentPairLine(GuiViewSet& views) {
    const JobGroupUnit* job = views.tabBar.CurrentJob();
    return job ? PairLineOf(*job) : RawString();
}

bool WriteTabPairFile(const GuiTabBar& tabBar, const RawString& path, ClipHandOver* handOver) {
    if (path.IsEmpty()) return false;
    const DWORD attributes = RawLayer::ApiGetFileAttributes(path);
    const bool hadOld = attributes != INVALID_FILE_ATTRIBUTES;
    // A read-only file or a folder is never replaced.
    if (hadOld && (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY))) return false;
    const RawString temporary = TemporaryBeside(path);
    bool written = false;
    {
        RawLayer::RawLineFile file(temporary);
        // UTF-8 with a byte-order mark: without the mark a short file of
        // paths can be guessed as another encoding and read back as other
        // paths.
        file.SetTextKind(RawLayer::KindUtf8);
        file.SetOptions(file.Options() | RawLayer::LineFileWriteMark);
        written = file.BeginWrite();
        if (written && handOver) {
            written = file.WriteLine(ClipHandOver::MarkerOf(path)) && file.WriteLineBreak();
        }
        if (written) {
            GuiEnumTabKeep keep(file);
            keep.handOver = handOver;
            tabBar.Enumerate(keep);
            written = !keep.failed;
        }
        written = file.Close() && written;
    }
    if (written) {
        written = hadOld ? RawLayer::ApiReplaceFile(path, temporary, RawString::Empty())
                         : RawLayer::ApiMoveFileEx(temporary, path, MOVEFILE_WRITE_THROUGH);
    }
    if (!written) RawLayer::ApiDeleteFile(temporary);
    return written;
}

bool SaveTabPairs(GuiViewSet& views, WinLayer::WinPathDialog& chooser, WinLayer::WinView& owner) {
    const RawString title = ToolMessageTitle("SaveTabPairs");
    RECT over{};
    if (views.tabBar.window) GetWindowRect(GetAncestor(views.tabBar.window, GA_ROOT), &over);
    JobLayer::GuiProfileStore& profile = JobLayer::GuiProfileStore::Instance();
    chooser.Setup(over, title, profile.lastPairFile);
    chooser.options |= WinLayer::WinPathDialogInfo::OptionAskOverwrite;
    if (chooser.RunModal(owner) != 1 || chooser.path.IsEmpty()) return false;
    RawString path = chooser.path.As(RawLayer::KindUtf8);
    if (IsEmptyRange(RawLayer::PathExtensionRange(path, false))) {
        path.Append(JobLayer::ConfigStore::Instance().pairFileExtension);
        // The user chose another name: the completed one is asked about.
        if (RawLayer::PathExists(path) && !chooser.ConfirmOverwrite(owner, path)) return false;
    }
    profile.lastPairFile = path;
    const bool written = WriteTabPairFile(views.tabBar, path);
    if (!written) JobLayer::ReportError(JobLayer::WriteErrorText(), path);
    // Texts the chooser met for the first time go to the language file.
    RawLayer::LanguageTable::SaveChanges();
    return written;
}

// ---- the restart's pair file ------------------------------------------------------

RawString NewRestartFilePath() {
    RawString name = RestartFilePrefixText();
    name.AppendInt(static_cast<int32_t>(GetCurrentProcessId()));
    name.AppendAscii("_");
    name.AppendInt(static_cast<int32_t>(GetTickCount() & 0x7FFFFFFF));
    const RawString folder = RawLayer::ApiGetTempPath(RawLayer::KindUtf8);
    // A name that neither a file nor a hand-over folder holds yet: what the
    // restart writes and deletes is its own.
    RawString path = RawLayer::PathJoin(folder, name.Concat(RestartFileSuffixText()));
    for (int32_t n = 1; n < 1000 && (RawLayer::PathExists(path) || RawLayer::PathExists(HandOverFolderOf(path))); ++n) {
        RawString other = name;
        other.AppendAscii("_");
        other.AppendInt(n);
        path = RawLayer::PathJoin(folder, other.Concat(RestartFileSuffixText()));
    }
    return path;
}

bool WriteRestartFile(const GuiTabBar& tabBar, const RawString& file) {
    ClipHandOver handOver;
    handOver.folder = HandOverFolderOf(file);
    // A pair line cannot carry a path holding ",": such a folder hands
    // nothing over.
    if (handOver.folder.ContainsUnit(',')) handOver.folder = RawString();
    if (WriteTabPairFile(tabBar, file, &handOver)) return true;
    DiscardRestartFile(file);
    return false;
}

void DiscardRestartFile(const RawString& file) {
    RawLayer::ApiDeleteFile(file);
    RawLayer::DeleteFolderTree(HandOverFolderOf(file));
}

bool IsRestartFilePath(const RawString& path) {
    const RawString full = NormalisedPath(path);
    const RawString temporary = NormalisedPath(RawLayer::ApiGetTempPath(RawLayer::KindUtf8));
    if (full.IsEmpty() || temporary.IsEmpty()) return false;
    std::wstring folder = WideOf(RawLayer::PathWithoutTrailingSeparators(temporary));
    if (folder.empty() || folder.back() != L'\\') folder += L'\\';
    const std::wstring head = folder + WideOf(RestartFilePrefixText());
    const std::wstring tail = WideOf(RestartFileSuffixText());
    std::wstring name = WideOf(full);
    if (name.size() <= head.size() + tail.size()) return false;
    // Directly in the temporary folder, compared without case.
    if (name.find(L'\\', folder.size()) != std::wstring::npos) return false;
    std::wstring upperHead = head, upperTail = tail;
    CharUpperBuffW(&name[0], static_cast<DWORD>(name.size()));
    CharUpperBuffW(&upperHead[0], static_cast<DWORD>(upperHead.size()));
    CharUpperBuffW(&upperTail[0], static_cast<DWORD>(upperTail.size()));
    return name.compare(0, upperHead.size(), upperHead) == 0 &&
           name.compare(name.size() - upperTail.size(), upperTail.size(), upperTail) == 0;
}

// ---- the current pair ------------------------------------------------------------

bool CopyPairPathsToClipboard(GuiViewSet& views) {
    const JobGroupUnit* job = views.tabBar.CurrentJob();
    if (!job || IsEmptyPair(*job)) return false;
    const RawString line = PairLineOf(*job);
    if (line.IsEmpty()) {
        ReportNoPairLine(job->Path(0), job->Path(1));
        return false;
    }
    return RawLayer::ClipboardSetText(line);
}

bool OpenNewInstance(GuiViewSet& views, const RawString& program) {
    RawLayer::RawShell shell(program.IsEmpty() ? RawLayer::ApiGetModuleFileName(RawLayer::KindUtf8) : program);
    const JobGroupUnit* job = views.tabBar.CurrentJob();
    RawString parameters;
    if (job && !IsEmptyPair(*job)) {
        const RawString line = PairLineOf(*job);
        // A path holding "," goes as a plain path, which the start-up
        // reads as it is; its options stay behind.
        parameters = line.IsEmpty() ? RawString::ConcatMany(job->Path(0).Quoted(), BlankText(), job->Path(1).Quoted())
                                    : PairSwitchText().Concat(line.Quoted());
    }
    const bool started = shell.Execute(parameters, RawString());
    shell.CloseProcess();
    return started;
}

// ---- the clipboard --------------------------------------------------------------

RawString CleanClipText(const RawString& text) {
    const RawString wide = text.As(RawLayer::KindUtf16);
    if (wide.Length() > kClipUnits) return RawString();
    int32_t start = 0, end = wide.Length();
    while (start < end && IsTrimmed(wide.UnitAt(start))) ++start;
    while (end > start && IsTrimmed(wide.UnitAt(end - 1))) --end;
    if (end - start >= 2 && wide.UnitAt(start) == '"' && wide.UnitAt(end - 1) == '"') {
        ++start;
        --end;
    }
    for (int32_t i = start; i < end; ++i) {
        if (IsLineEnd(wide.UnitAt(i))) return RawString();
    }
    RawString cleaned(RawLayer::KindUtf16);
    cleaned.AssignRange(wide, RawLayer::RawRange{start, end});
    return cleaned.As(RawLayer::KindUtf8);
}

RawString CleanClipboardText() {
    // One unit more than is taken, so that a longer text is seen as such.
    return CleanClipText(RawLayer::ClipboardGetText(kClipUnits + 1));
}

bool OpenClipPaths(GuiViewSet& views) {
    const RawString text = CleanClipboardText();
    return !text.IsEmpty() && OpenPairText(views, text);
}

bool LoadClipSide(GuiViewSet& views, uint32_t side) {
    const RawString text = CleanClipboardText();
    if (text.IsEmpty() || side > 1) return false;
    JobLayer::TabPairRecord pair;
    RawString path;
    if (JobLayer::ParseTabPairLine(pair, text)) {
        path = side == 0 ? pair.path1 : pair.path2;
    } else if (RawLayer::PathIsAbsolute(text) && RawLayer::PathExists(text)) {
        path = text;
    } else {
        return false;
    }
    FocusFolderBox(views);
    views.tabBar.LoadSide(side, path);
    ShowCurrentTab(views);
    return true;
}

RawString NormalisedPath(const RawString& path) {
    if (!RawLayer::PathIsAbsolute(path)) return RawString();
    std::wstring wide = WideOf(path);
    for (wchar_t& c : wide) {
        if (c == L'/') c = L'\\';
    }
    const DWORD needed = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
    if (needed == 0 || needed > 32768) return RawString();
    std::wstring full(needed, L'\0');
    const DWORD length = GetFullPathNameW(wide.c_str(), needed, &full[0], nullptr);
    if (length == 0 || length >= needed) return RawString();
    full.resize(length);
    return RawString::FromWideText(full.c_str(), static_cast<int32_t>(full.size()));
}

bool PathInsideFolder(const RawString& path, const RawString& folder) {
    const RawString folderFull = NormalisedPath(folder);
    const RawString pathFull = NormalisedPath(path);
    if (folderFull.IsEmpty() || pathFull.IsEmpty()) return false;
    std::wstring prefix = WideOf(RawLayer::PathWithoutTrailingSeparators(folderFull));
    std::wstring full = WideOf(pathFull);
    if (prefix.empty() || prefix.back() != L'\\') prefix += L'\\';
    if (full.size() <= prefix.size()) return false;
    full.resize(prefix.size());
    CharUpperBuffW(&prefix[0], static_cast<DWORD>(prefix.size()));
    CharUpperBuffW(&full[0], static_cast<DWORD>(full.size()));
    return full == prefix;
}

bool ClipLoadAllowed(const RawString& path, const RawString& tempFolder) {
    return path.IsEmpty() ? !tempFolder.IsEmpty() : PathInsideFolder(path, tempFolder);
}

bool LoadClipAsFile(GuiViewSet& views, uint32_t side) {
    JobGroupUnit* job = views.tabBar.CurrentJob();
    if (!job || side > 1) return false;
    JobLayer::ShellCommandStore& environment = JobLayer::ShellCommandStore::Instance();
    RawString path = job->Path(side);
    if (path.IsEmpty()) {
        path = environment.ClipFilePath();
        if (path.IsEmpty()) {
            JobLayer::ReportError(JobLayer::DirectoryErrorText(), environment.tempFolder);
            return false;
        }
    } else if (!ClipLoadAllowed(path, environment.tempFolder)) {
        // Any other file is the user's: never written, and not reloaded
        // either, which would throw its unsaved edits away.
        return false;
    }
    if (!JobLayer::WriteClipboardToFile(path)) {
        JobLayer::ReportError(ClipboardErrorText(), path);
        return false;
    }
    const JobGroupUnit* before = job;
    views.tabBar.LoadSide(side, path);
    // An unchanged pair keeps its open job, which still holds the old text.
    if (views.tabBar.CurrentJob() == before) {
        ShowCurrentTab(views);
        ReloadSide(views, side == 0 ? JobLayer::ModeSide1 : JobLayer::ModeSide2);
    }
    ShowCurrentTab(views);
    return true;
}

// ---- child and parent -------------------------------------------------------------

bool OpenChildTab(GuiViewSet& views) {
    GuiFolderBox& box = views.folderBox;
    JobGroupUnit* parent = views.tabBar.CurrentJob();
    if (!parent || parent != box.Job() || parent->kind.kind != JobLayer::KindPath || box.cursor < 0) return false;
    const WinLayer::WinListBoxItemUnit* item = box.ItemAt(box.cursor);
    const JobReportUnit* row = item ? GuiFolderBox::ItemOf(*item) : nullptr;
    if (!row) return false;
    auto entryOf = [row](uint32_t side) {
        const JobLayer::JobContentUnit* unit = RealEntry(row, side);
        return unit ? unit->Name() : RawString();
    };
    const RawString entry1 = entryOf(0), entry2 = entryOf(1);
    if (entry1.IsEmpty() && entry2.IsEmpty()) return false;
    // A side without the entry takes the other side's name, as the folder
    // compare names its child jobs.
    JobGroupUnit* child = JobGroupUnit::ChildJob(parent, entry1, entry2, false);
    if (!child) return false;
    if (child->kind.kind == JobLayer::KindPath) {
        JobLayer::CopyListedStatusFlags(child->statusMask, parent->statusMask);
        JobLayer::CopyListedEditFlags(child->edit, parent->edit);
    }
    // The side the user works on in the folder tab (a double click makes
    // it current) is current in the child's tab too, which shows its caret
    // there and takes the keys there; a child shown before keeps its own.
    const uint32_t side = box.CurrentSide();
    if (side < 2 && child->side1.focusSide > 1) child->side1.focusSide = child->side2.focusSide = side;
    InsertAfterCurrent(views, child);
    ShowCurrentTab(views);
    return true;
}

RawString ParentFolderOf(const RawString& path) {
    const RawString trimmed = RawLayer::PathWithoutTrailingSeparators(path).As(RawLayer::KindUtf8);
    // A drive root has no parent.
    if (trimmed.Length() <= 3 && trimmed.Length() >= 2 && trimmed.UnitAt(1) == ':') return RawString();
    const RawLayer::RawRange folder = RawLayer::PathFolderRange(trimmed);
    if (IsEmptyRange(folder)) return RawString();
    RawString parent;
    parent.AssignRange(trimmed, folder);
    const int32_t n = parent.Length();
    // "C:" names the current folder of drive C: the root is "C:\".
    if (n == 2 && parent.UnitAt(1) == ':') {
        parent.AppendChar('\\');
        return parent;
    }
    // A share root ("\\server\share") or the bare "\\server" has no parent
    // beyond it: the folder part must still hold a share and a name.
    if (n >= 2 && (parent.UnitAt(0) == '\\' || parent.UnitAt(0) == '/') &&
        (parent.UnitAt(1) == '\\' || parent.UnitAt(1) == '/')) {
        int32_t separators = 0;
        for (int32_t i = 2; i < n; ++i) {
            const uint32_t c = parent.UnitAt(i);
            if (c == '\\' || c == '/') ++separators;
        }
        if (separators < 1) return RawString();
    }
    return parent;
}

bool OpenParentTab(GuiViewSet& views) {
    JobGroupUnit* job = views.tabBar.CurrentJob();
    bool opened = false;
    if (job && job->parent) {
        InsertAfterCurrent(views, job->parent);
        opened = true;
    } else if (job) {
        const RawString parent1 = ParentFolderOf(job->Path(0));
        const RawString parent2 = ParentFolderOf(job->Path(1));
        if (!parent1.IsEmpty() && !parent2.IsEmpty() && RawLayer::FolderExists(parent1) &&
            RawLayer::FolderExists(parent2)) {
            JobGroupUnit* fresh =
                JobGroupList::Instance().CreateUnit(JobLayer::JobKindType::FromKind(JobLayer::KindNone));
            views.tabBar.InsertJob(nullptr, fresh);
            RepaintTabBar(views);
            FocusFolderBox(views);
            views.tabBar.LoadPair(parent1, parent2);
            opened = true;
        }
    }
    ShowCurrentTab(views);
    return opened;
}

}  // namespace AppLayer
