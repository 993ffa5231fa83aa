// The kind controller interface (one stateless object per kind does the
// loading, comparing, editing and saving of every job of its kind), the
// editor interface through which the controllers call back into the main
// window, and the factory that hands controllers and detail-box drawing
// strategies out by kind.
#pragma once

#include <windows.h>

#include <cstdint>

#include "tavrel/jobs/job_content.h"
#include "tavrel/jobs/job_kind.h"

namespace WinLayer {
class WinListBox;
}

namespace JobLayer {

struct ActionArgs;
struct JobGroupUnit;
class JobKindDBoxDraw;

// Load, save and discard modes.
enum : uint32_t {
    ModeSide1 = 0,
    ModeSide2 = 1,
    ModeBoth = 3
};

// Whether a mode names a side (0 or 1).
inline bool ModeNamesSide(uint32_t mode, uint32_t side) { return mode == ModeBoth || mode == side; }

// ---- running out of memory -------------------------------------------------
// Loading or comparing large files can exhaust the address space of the
// 32-bit program; the pool and the heap then throw std::bad_alloc. Each kind
// catches it where it loads a side and where it compares, gives back what
// it built, and goes on: the job stays usable, and a later load may work.

// Empties a side whose load ran out of memory (the job's rows must hold none
// of its units), marks it cut and not read, so that it is never edited or
// saved, and reports "TooLargeFile" with its path.
void DropSideOutOfMemory(JobGroupUnit& job, uint32_t side);
// Empties the rows of a compare that ran out of memory, clears the job's
// Same bit and reports "TooLargeFile" with each side's path. The sides stay:
// they may hold edits that are not saved.
void DropRowsOutOfMemory(JobGroupUnit& job);

// Connect modes.
enum : uint32_t {
    ConnectModeConnect = 1,
    ConnectModeFloat = 2
};

// Edit command numbers run through Execute; the same number means the same
// command for every kind.
enum : uint32_t {
    FirstEditCommand = 1,
    CommandSelectAll = 1,
    CommandSelectWholeLine = 2,
    CommandSnapToLineEdge = 3,
    CommandSelectWord = 4,
    CommandSelectWordEx = 5,
    CommandInsertLineTabs = 6,
    CommandRemoveLineTabs = 7,
    CommandInsertNewLine = 8,
    CommandBackspace = 9,
    CommandDeleteCharOrSelections = 10,
    CommandDeleteSelections = 11,
    CommandCopyToClipboard = 12,
    CommandPasteFromClipboard = 13,
    CommandUndo = 14,
    CommandRedo = 15,
    CommandInsertText = 16,
    CommandCopyLinesTo = 17,
    CommandDeleteLines = 18,
    CommandSearchForward = 19,
    CommandSearchBackward = 20,
    CommandReplaceText = 21,
    CommandGotoLine = 22,
    CommandImeCompositionStart = 23,
    CommandImeCompositionEnd = 24,
    CommandImeCompositionUpdate = 25,
    CommandInsertTypedText = 26,
    LastEditCommand = 26
};

// The editor: the main window's side of an edit command (implemented by the
// main window's command object). Slots in order.
class JobViewEditor {
public:
    virtual ~JobViewEditor() {}
    // 1: copies the compare box's selection marks into the job's rows; the
    // number of selected rows.
    virtual int32_t CountSelectedRows() = 0;
    // 2: selection changed: copies the rows' marks back into the box.
    virtual int32_t RestoreSelection() = 0;
    // 3: prepare for a text change: shows all four row kinds.
    virtual void ResetFilter() = 0;
    // 4: content changed: rebuilds the compare box's rows.
    virtual void RefreshViews() = 0;
    // 5, 8, 6 (called in this order): cursor changed.
    virtual void UpdateCaret() = 0;
    virtual bool MoveToContentRow() = 0;
    // 7: repaints the tab bar, compare box, scroll bar and position bar.
    virtual void RepaintViews() = 0;
    virtual void RefreshFolderBox() = 0;
    // 9: a beep and a flash of the main window (a command not enabled).
    virtual void Alert() = 0;
    // 10: asks the user for an operand; true when confirmed.
    virtual bool RunInputDialog(ActionArgs& request) = 0;
    // 11: the compare box.
    virtual WinLayer::WinListBox* FolderBox() = 0;
};

// The controller of a kind. The base class is the controller of kind 3
// (none): it loads, compares and edits nothing.
class JobKindControl {
public:
    // The base controller, a function-local static.
    static JobKindControl& NoneControl();

    virtual ~JobKindControl() {}
    // 1: loads the sides of the mode and compares; a refresh code.
    virtual uint32_t Load(JobGroupUnit& job, uint32_t mode);
    // 2: makes the side lay its units out again.
    virtual void InvalidateSide(JobGroupUnit& job, uint32_t side);
    // 3: saves the changed sides of the mode; false on a failure.
    virtual bool SaveFile(JobGroupUnit& job, uint32_t mode);
    // 4: discards the unsaved edits of the sides of the mode.
    virtual bool DiscardFile(JobGroupUnit& job, uint32_t mode);
    // 5: compares again without reloading; a refresh code.
    virtual uint32_t Compare(JobGroupUnit& job);
    // 6: no operation.
    virtual void Idle(JobGroupUnit& job);
    // 7: connects (1) or floats (2) lines; true when lines changed.
    virtual bool ConnectLines(JobGroupUnit& job, int32_t row, uint32_t side, uint32_t mode);
    // 8: removes the marks of the marked rows; true when any was removed.
    virtual bool DisconnectLines(JobGroupUnit& job);
    // 9: the row kind of a pair of units (3, changed, here).
    virtual uint32_t PairStatus(JobGroupUnit& job, JobContentUnit* unit1, JobContentUnit* unit2);
    // 10: a click on the side's title at a point of the box window; true
    // when the controller consumed it.
    virtual bool SideMenu(JobGroupUnit& job, uint32_t side, HWND box, POINT point);
    // 11: runs an edit command; beeps through the editor and gives false
    // when it is not enabled.
    virtual bool Execute(JobViewEditor& editor, JobGroupUnit& job, uint32_t side, uint32_t command,
                         ActionArgs& args);
    // 12: whether an edit command is enabled.
    virtual bool CanExecute(JobViewEditor& editor, JobGroupUnit& job, uint32_t side,
                            uint32_t command);
};

// The factory of controllers and drawing strategies. Slots in order.
class JobKindServer {
public:
    virtual ~JobKindServer() {}
    // 1: the controller of a kind.
    virtual JobKindControl* CreateControl(const JobKindType& kindType) = 0;
    // 2: the detail-box drawing strategy of a kind.
    virtual JobKindDBoxDraw* CreateDraw(const JobKindType& kindType) = 0;
    // 3: whether the kind's own controller is available; a kind that is not
    // is opened as kind 3 (none).
    virtual bool HasKind(const JobKindType& kindType) const = 0;
};

// The pool of the program: the function-local static controller of each
// kind, built on first use (kind 3, none, gets the base controller, which
// does nothing), and the base detail-box drawing strategy for every kind.
// The pool lives in the start-up frame.
class JobKindPool : public JobKindServer {
public:
    JobKindControl* CreateControl(const JobKindType& kindType) override;
    JobKindDBoxDraw* CreateDraw(const JobKindType& kindType) override;
    bool HasKind(const JobKindType& kindType) const override;
};

}  // namespace JobLayer
