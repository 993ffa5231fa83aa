// The side menu: a right click on a side of the folder box lists what can
// be done with that side, the selection and the job; choosing an item
// sends its command code, runs an edit command, or starts a user command.
#include "base/language.h"
#include "tavrel/app/command_codes.h"
#include "tavrel/app/folder_box.h"
#include "tavrel/app/job_environment.h"
#include "tavrel/jobs/binary/binary_kind.h"
#include "tavrel/jobs/shell_commands.h"
#include "toolkit/popup_menu.h"

namespace AppLayer {

using RawLayer::RawString;

namespace {

RAW_CONSTANT_TEXT(ListMenuText, "ListMenu")
RAW_CONSTANT_TEXT(SideMarkText, "%s")

const RawLayer::RawLocaleRecord* ListMenuTexts() {
    static const RawLayer::RawLocaleRecord table[] = {
        {"ReloadTab", "Reload tab."},
        {"ReloadSide", "Reload side (side%s)"},
        {"SaveSide", "Save to file (side%s)."},
        {"OpenTab", "Open new tab."},
        {"OpenSide", "Open path (side%s)."},
        {"OpenBase", "Open base folder (side%s)."},
        {"DragConnect", "Drag for connect lines"},
        {"DragFloat", "Drag for float lines"},
        {"Disconnect", "Clear connect lines"},
        {"Copy1to2", "Copy selections 1 -> 2."},
        {"Copy2to1", "Copy selections 1 <- 2."},
        {"DeleteSide", "Delete selected lines (side%s)."},
        {"CursorPrev", "Cursor to previous different line."},
        {"CursorNext", "Cursor to next different line."},
        {"ResetDividingPoint", "Reset dividing point to center."},
        {"SetEditable", "Set/Clear editable mode (side%s)."},
        {"SetInsertMode", "Set/Clear binary insert mode (side%s)."},
        {"ClipSide", "Copy to clipboard (side%s)."},
        {"ClipLoad", "Load from clipboard (side%s)."},
        {"ClipPaste", "Paste from clipboard (side%s)."},
        {"Undo", "Undo previous modification (side%s)."},
        {"Redo", "Redo undone operation (side%s)."},
        {"AsText", "Handle this file as text type."},
        {"AsBinary", "Handle this file as binary type."},
        {"SetupTypeFont", "Specify type font."},
        {"UserCommand", "Execute"},
        {"LineCommand", "Execute line"},
        {"", ""},
    };
    return table;
}

// The fixed items in menu order; id 0 stands for a separator.
struct FixedItem {
    uint32_t id;
    const char* key;
};
const FixedItem kFixedItems[] = {
    {1, "ReloadTab"},  {2, "ReloadSide"},   {3, "SaveSide"},    {4, "OpenTab"},        {0, nullptr},
    {5, "OpenSide"},   {6, "OpenBase"},     {0, nullptr},       {7, "DragConnect"},    {8, "DragFloat"},
    {9, "Disconnect"}, {0, nullptr},        {10, "Copy1to2"},   {11, "Copy2to1"},      {12, "DeleteSide"},
    {0, nullptr},      {13, "CursorPrev"},  {14, "CursorNext"}, {0, nullptr},          {15, "ResetDividingPoint"},
    {0, nullptr},      {16, "SetEditable"}, {17, "SetInsertMode"}, {0, nullptr},       {18, "ClipSide"},
    {19, "ClipLoad"},  {20, "ClipPaste"},   {0, nullptr},       {21, "Undo"},          {22, "Redo"},
    {0, nullptr},      {23, "AsText"},      {24, "AsBinary"},   {25, "SetupTypeFont"},
};

constexpr uint32_t kFirstUserId = 26;
// User commands run by id up to this one: the menu lists no more.
constexpr uint32_t kLastUserId = 126;

bool SideHasNoPath(const JobGroupUnit& job, uint32_t side) { return job.Path(side).IsEmpty(); }

bool SideEditable(const JobGroupUnit& job, uint32_t side) { return (side == 0 ? job.edit.edit1 : job.edit.edit2) != 0; }

// Whether a path lies in the temporary folder: the folder's path directly
// followed by a separator. An empty folder path holds nothing.
bool InTempFolder(const RawString& path, const RawString& folder) {
    if (folder.IsEmpty()) return false;
    const RawString inner = path.As(RawLayer::KindUtf8);
    const RawString outer = folder.As(RawLayer::KindUtf8);
    const int32_t n = outer.Length();
    if (inner.Length() <= n || !inner.EqualsRangeNoCase(RawLayer::RawRange{0, n}, outer, outer.All())) return false;
    const char next = inner.Bytes()[n];
    return next == '\\' || next == '/';
}

}  // namespace

bool ClipLoadAllowed(const RawString& path, const RawString& tempFolder) {
    return path.IsEmpty() || InTempFolder(path, tempFolder);
}

void GuiFolderBox::OpenCurrentSideMenu() {
    if (!window || !view_.job) return;
    // Without a current side the menu is side 1's.
    POINT point{CurrentSide() == 1 ? view_.dividingPoint + 6 : clientRect.left + 2, 0};
    const WinLayer::WinListBoxItemUnit* unit = cursor >= 0 ? ItemAt(cursor) : nullptr;
    if (unit) point.y = clientRect.top + unit->rect.top - scroll.y;
    OnContextMenu(point, cursor);
}

void GuiFolderBox::OnContextMenu(POINT point, int32_t) {
    const uint32_t side = HitSide(point);
    if (side > 1) return;
    // A right press ends a line drag and shows no menu.
    JobGroupUnit& job = *view_.job;
    const uint32_t kind = job.kind.kind;
    int32_t first = -1;
    int32_t last = -1;
    const int32_t selected = CountSelection(&first, &last);
    const RawString section = RawLayer::LanguageTable::Lookup(ListMenuText(), ListMenuTexts());
    auto text = [&section](const char* key) { return RawLayer::LanguageTable::Text(section, RawString::FromText(key)); };
    const RawString sideDigit = RawString::FromLiteral(side == 0 ? "1" : "2");
    auto realOn = [&](int32_t row, uint32_t which) {
        const JobReportUnit* report = row >= 0 ? job.rows.At(row) : nullptr;
        const JobLayer::JobContentUnit* unit = report ? report->Unit(which) : nullptr;
        return unit && !unit->IsPlaceholder();
    };
    const bool isFolder = kind == JobLayer::KindPath;
    const bool isText = kind == JobLayer::KindText;
    const bool isBinary = kind == JobLayer::KindBinary;
    auto can = [&](uint32_t command) {
        return view_.editor && job.controller->CanExecute(*view_.editor, job, side, command);
    };
    auto enabled = [&](uint32_t id) -> bool {
        switch (id) {
        case 1: return !(SideHasNoPath(job, 0) && SideHasNoPath(job, 1));
        case 2: return !SideHasNoPath(job, side);
        // A save needs a path to write to, and a kind that writes files.
        case 3: return !SideHasNoPath(job, side) && (isText || isBinary);
        case 4: return isFolder && selected == 1;
        case 5: return !isFolder || selected == 1;
        case 6: return true;
        case 7: return (isFolder || isText) && selected == 1 && realOn(first, side);
        case 8: return isText && selected >= 1 && realOn(first, side);
        case 9: return (isFolder || isText) && selected >= 1;
        case 10: return SideEditable(job, 1) && !job.Path(1).IsEmpty() && AnySelectedRealUnit(0);
        case 11: return SideEditable(job, 0) && !job.Path(0).IsEmpty() && AnySelectedRealUnit(1);
        case 12: return SideEditable(job, side) && AnySelectedRealUnit(side);
        case 13:
        case 14: return !job.rows.IsEmpty();
        case 15: return true;
        case 16: return SideCanBeEdited(job, side);
        case 17: return SideEditable(job, side) && isBinary;
        case 18: return can(JobLayer::CommandCopyToClipboard);
        case 19: return ClipLoadAllowed(job.Path(side), JobLayer::ShellCommandStore::Instance().tempFolder);
        case 20: return can(JobLayer::CommandPasteFromClipboard);
        case 21: return can(JobLayer::CommandUndo);
        case 22: return can(JobLayer::CommandRedo);
        case 23: return isBinary || (isFolder && selected >= 1);
        case 24: return isText || (isFolder && selected >= 1);
        case 25: return kind != JobLayer::KindNone;
        default: return false;
        }
    };
    WinLayer::WinPopupMenu menu;
    if (!menu.Reset()) return;
    const HMENU handle = menu.Handle();
    for (const FixedItem& item : kFixedItems) {
        if (!item.id) {
            menu.AppendSeparator();
            continue;
        }
        RawString label = text(item.key);
        label.ReplaceFirst(SideMarkText(), sideDigit);
        menu.AppendItem(label, item.id);
        if (!enabled(item.id)) EnableMenuItem(handle, item.id, MF_BYCOMMAND | MF_GRAYED);
        const bool checked = (item.id == 16 && SideEditable(job, side)) ||
                             (item.id == 17 && JobLayer::BinaryInsertMode(job.Side(side)) && isBinary);
        if (checked) CheckMenuItem(handle, item.id, MF_BYCOMMAND | MF_CHECKED);
    }
    // User commands.
    RawString label;
    int32_t rows = 0;
    uint32_t userKind = kind;
    if (isText || isBinary) {
        label = text("UserCommand");
        rows = 1;
    } else if (isFolder && selected >= 1) {
        label = text("LineCommand");
        rows = selected;
    }
    if (rows > 0) {
        const JobLayer::JobUserShellList& commands = JobLayer::ShellCommandStore::Instance().userCommands;
        bool separatorPending = true;
        for (uint32_t group = 0; group < 2; ++group) {
            const RawString prefix = label.Concat(RawString::FromLiteral(
                group == 0 ? " : " : side == 0 ? " (side1) : " : " (side2) : "));
            uint32_t n = 0;
            for (const JobLayer::JobUserShellUnit& command : commands) {
                const uint32_t id = kFirstUserId + n++;
                if (id > kLastUserId) break;
                if (command.name.IsEmpty() || command.targetSide != group) continue;
                const bool lines = (command.targetLine == 0 && rows == 1) || (command.targetLine == 1 && rows >= 1);
                if (!lines || !command.AcceptsKind(userKind)) continue;
                // The separator before the first one only: none after the
                // last fixed item when no command is listed.
                if (separatorPending) menu.AppendSeparator();
                separatorPending = false;
                menu.AppendItem(prefix.Concat(command.name), id);
            }
        }
    }
    WinLayer::PopupMenuAt(menu, *this, point, static_cast<LPARAM>(side));
}

LRESULT GuiFolderBox::OnMenuCommand(WPARAM command, LPARAM value) {
    ExecuteSideMenu(static_cast<uint32_t>(command), static_cast<uint32_t>(value));
    return 0;
}

bool GuiFolderBox::ExecuteSideMenu(uint32_t id, uint32_t side) {
    if (side > 1) return false;
    JobGroupUnit& job = *view_.job;
    auto send = [this](uint16_t code) {
        if (window) SendMessageW(window, WM_COMMAND, MAKEWPARAM(controlId, code), 0);
    };
    auto bySide = [side](uint16_t first, uint16_t second) { return side == 0 ? first : second; };
    auto execute = [&](uint32_t command) {
        if (!view_.editor) return;
        JobLayer::ActionArgs args;
        job.controller->Execute(*view_.editor, job, side, command, args);
    };
    switch (id) {
    case 1: send(CmdReloadTab); return true;
    case 2: send(bySide(CmdReloadSide1, CmdReloadSide2)); return true;
    case 3: send(bySide(CmdSaveSide1, CmdSaveSide2)); return true;
    case 4: send(CmdOpenChildTab); return true;
    case 5: ShellOpenPath(*this, side); return true;
    case 6: ShellOpenParent(*this, side); return true;
    case 7: send(bySide(CmdDragConnect1, CmdDragConnect2)); return true;
    case 8: send(bySide(CmdDragFloat1, CmdDragFloat2)); return true;
    case 9: send(CmdDisconnect); return true;
    case 10: send(CmdCopy1to2); return true;
    case 11: send(CmdCopy2to1); return true;
    case 12: send(bySide(CmdDeleteLine1, CmdDeleteLine2)); return true;
    case 13: send(CmdPrevDifferent); return true;
    case 14: send(CmdNextDifferent); return true;
    case 15:
        ResetDividingPoint();
        LayoutColumns();
        return true;
    case 16: SetSideEditable(*this, side, !SideEditable(job, side)); return true;
    case 17:
        if (SideEditable(job, side) && job.kind.kind == JobLayer::KindBinary) {
            JobLayer::JobSideRecord& record = job.Side(side);
            JobLayer::BinaryInsertMode(record) = JobLayer::BinaryInsertMode(record) ? 0 : 1;
            JobLayer::BinaryPendingHalfByte(record) = 0;
            InvalidateViews();
        }
        return true;
    case 18: execute(JobLayer::CommandCopyToClipboard); return true;
    case 19: send(bySide(CmdClipLoad1, CmdClipLoad2)); return true;
    case 20: execute(JobLayer::CommandPasteFromClipboard); return true;
    case 21: execute(JobLayer::CommandUndo); return true;
    case 22: execute(JobLayer::CommandRedo); return true;
    case 23:
    case 24: SetExtensionKind(*this, side, id == 23 ? 1 : 2); return true;
    case 25: {
        const uint32_t kind = job.kind.kind;
        if (kind <= JobLayer::KindBinary && window) {
            SendMessageW(GetAncestor(window, GA_ROOT), WM_SYSCOMMAND, 4113 + kind, 0);
        }
        return true;
    }
    default:
        break;
    }
    if (id < kFirstUserId || id > kLastUserId) return false;
    JobLayer::JobUserShellList& commands = JobLayer::ShellCommandStore::Instance().userCommands;
    JobLayer::JobUserShellUnit* command = commands.At(static_cast<int32_t>(id - kFirstUserId));
    if (!command) return false;
    const uint32_t kind = job.kind.kind;
    if (kind == JobLayer::KindText || kind == JobLayer::KindBinary) {
        const uint32_t wanted = command->targetKind;
        const bool accepts = wanted == JobLayer::UserTargetKindAll || wanted == JobLayer::UserTargetKindFile ||
                             (wanted == JobLayer::UserTargetKindText && kind == JobLayer::KindText) ||
                             (wanted == JobLayer::UserTargetKindBinary && kind == JobLayer::KindBinary);
        return accepts && command->Run(side == 1, job.Path(0), job.Path(1));
    }
    // Folder rows: each selected row the command admits.
    return RunUserCommandOnRows(*this, *command, side);
}

}  // namespace AppLayer
