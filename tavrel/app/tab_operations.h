// Operations of the main window on its tabs: the start source, group files
// and pair texts, the file of every tab's pair line, the clipboard, a
// second instance on the current pair, and the child and parent jobs.
#pragma once

#include <cstdint>

#include "base/line_file.h"
#include "base/raw_string.h"
#include "tavrel/app/view_set.h"
#include "tavrel/jobs/gui_profile.h"
#include "tavrel/jobs/pair_line.h"
#include "toolkit/path_dialog.h"

namespace AppLayer {

struct ClipHandOver;

// Writes each tab's pair line, ended by CR LF in the file's encoding. A tab
// without a pair line (both sides empty) is left out; a tab whose pair
// cannot be written as one (a path holding "," without a short name) is left
// out and reported.
class GuiEnumTabKeep : public GuiTabBar::GroupEnumeration {
public:
    explicit GuiEnumTabKeep(RawLayer::RawLineFile& target) : file(target) {}
    void Apply(JobGroupUnit& job) override;

    RawLayer::RawLineFile& file;
    ClipHandOver* handOver = nullptr;  // a restart's: the pair lines name the handed clip files
    bool failed = false;
    int32_t written = 0;
};

// Loads both sides of each tab's job again.
class GuiEnumTabReload : public GuiTabBar::GroupEnumeration {
public:
    explicit GuiEnumTabReload(GuiViewSet& viewSet) : views(viewSet) {}
    void Apply(JobGroupUnit& job) override;

    GuiViewSet& views;
};

// Opens the start source by its kind: a group file, a pair text as one tab,
// side 1, side 2 or both loaded into the current tab (both in one step, so
// no side is loaded twice). A restart's pair file (one that begins with its
// marker line) is deleted once read, and not remembered as the last pair
// file; the clip files handed with it move into this instance's temporary
// folder, and its hand-over folder goes.
void OpenStartSource(GuiViewSet& views, const JobLayer::StartSource& source);
// One tab per pair line of the file, in file order after the current tab;
// an empty start tab gives way to the first pair. False when the file
// cannot be read.
bool OpenGroupFile(GuiViewSet& views, const RawLayer::RawString& path);
// One tab for a pair line after the current tab; an empty start tab (both
// paths empty) goes. False (nothing opened) when the text is no pair line.
bool OpenPairText(GuiViewSet& views, const RawLayer::RawString& text);

// The form of a path that a pair line carries: the path itself, or for a
// path holding "," (a pair line has no quoting) its short name. Empty when
// such a path has no short name free of ",".
RawLayer::RawString PairLinePath(const RawLayer::RawString& path);
// The pair line of two paths and their options, each path in its pair-line
// form. Empty when both paths are empty or when no line would read back as
// these paths. Every pair line written goes through here.
RawLayer::RawString PairLineOfPaths(const RawLayer::RawString& path1, const RawLayer::RawString& path2,
                                    uint16_t statusMask, const JobLayer::JobEditFlags& edit);
// The pair line of a job: "@Group@", the paths and the options. Empty when
// the job has no pair line (see PairLineOfPaths).
RawLayer::RawString PairLineOf(const JobGroupUnit& job);
// The current job's pair line; empty without one.
RawLayer::RawString CurrentPairLine(GuiViewSet& views);

// Writes one pair line per tab into a file, UTF-8 with a byte-order mark: a
// temporary file beside it is written whole and then put in place, so a
// failure keeps the old file as it was. A read-only file is never replaced.
// False when the file could not be written whole.
bool WriteTabPairFile(const GuiTabBar& tabBar, const RawLayer::RawString& path, ClipHandOver* handOver = nullptr);
// Asks for a file (the chooser run over the owner) and writes the pair file
// there; a name without extension gets "PairFileExtension", and an existing
// file is replaced only after the chooser's "Overwrite" question. A failed
// write reports "WriteError". True when the file was written.
bool SaveTabPairs(GuiViewSet& views, WinLayer::WinPathDialog& chooser, WinLayer::WinView& owner);

// A new path for the pair file a restart hands to the next instance: in the
// system's temporary folder (the program's own goes at close), named
// "Tavrel_Restart_<process>_<tick>.txt".
RawLayer::RawString NewRestartFilePath();
// Writes the restart's pair file. The temporary folder goes with this
// window, so a side showing a file inside it (a clip file) is handed over: the
// file is copied into the folder beside the pair file (its path without
// ".txt") and the pair line names the copy; the next instance moves the
// copies into its own temporary folder and deletes that folder. The file's
// first line marks it as the restart's own. False, with nothing left
// behind, when the file could not be written.
bool WriteRestartFile(const GuiTabBar& tabBar, const RawLayer::RawString& file);
// Deletes a restart's pair file and its hand-over folder (a restart that
// could not start the next instance).
void DiscardRestartFile(const RawLayer::RawString& file);
// Whether a path names such a file (by its name and place; only a file that
// also begins with the restart's own marker line is deleted once read).
bool IsRestartFilePath(const RawLayer::RawString& path);
// Removes what a restart handed to this instance and could not be removed
// when it was read (run when the main window goes).
void RemoveHandOverLeftovers();

// The current pair line on the clipboard; nothing without one (reported
// when the tab has paths but no pair line can carry them).
bool CopyPairPathsToClipboard(GuiViewSet& views);
// Starts the program (its own module when empty) on the current pair: "-t"
// and the quoted pair line, the two quoted paths when no pair line can
// carry them, or
// no parameter for a tab without a pair. True when it started.
bool OpenNewInstance(GuiViewSet& views, const RawLayer::RawString& program);

// The clipboard's text, cleaned: at most 4096 units (a longer text is
// refused, not cut), in UTF-8, without surrounding blanks, tabs, CR and LF
// and one pair of surrounding double quotes. Empty when there is none, when
// it is too long, or when a line break stands inside it.
RawLayer::RawString CleanClipboardText();
// The same cleaning of a given text (UTF-16 units counted).
RawLayer::RawString CleanClipText(const RawLayer::RawString& text);
// A tab for the pair line in the clipboard.
bool OpenClipPaths(GuiViewSet& views);
// Loads a side from the clipboard: the same side of a pair line, or an
// absolute path that exists. False when nothing was loaded.
bool LoadClipSide(GuiViewSet& views, uint32_t side);
// The clipboard text as the side's file: a new clip file in the program's
// temporary folder for an empty side, that file overwritten for a side that
// shows one; then the side is loaded again. A side showing any other file
// is neither written nor reloaded. False when nothing was loaded.
bool LoadClipAsFile(GuiViewSet& views, uint32_t side);
// Whether the clipboard may be loaded into a side of this path (the one
// rule of the command and of its menu item): an empty side when there is a
// temporary folder for its clip file, or a path inside that folder.
bool ClipLoadAllowed(const RawLayer::RawString& path, const RawLayer::RawString& tempFolder);
// Whether the path lies inside the folder: both made absolute and
// normalised ("." and ".." resolved, "/" read as "\"), compared without
// case. An empty folder holds nothing.
bool PathInsideFolder(const RawLayer::RawString& path, const RawLayer::RawString& folder);
// The absolute, normalised form of a path ("\" separators); empty for a
// path that is not absolute.
RawLayer::RawString NormalisedPath(const RawLayer::RawString& path);

// The job of the folder box's cursor row (a sub-folder pair) in a tab after
// the current one, with the parent's listed options. A side without the
// entry takes the other side's name.
bool OpenChildTab(GuiViewSet& views);
// The parent job's tab, or a new tab on the two parent folders.
bool OpenParentTab(GuiViewSet& views);
// The folder that holds a path ("C:\x" gives "C:\"); empty for a drive or
// share root and for a path without a folder. A trailing separator is
// dropped first.
RawLayer::RawString ParentFolderOf(const RawLayer::RawString& path);

// Every tab's job loaded again; the views and the tab bar repainted.
void ReloadAllTabs(GuiViewSet& views);

}  // namespace AppLayer
