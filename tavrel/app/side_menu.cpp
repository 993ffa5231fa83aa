// The side menu: a right click on a side of the folder box lists what can
// be done with that side, the selection and the job; choosing an item
// sends its command code, runs an edit command, or starts a user command.
#include "base/language.h"
#include "tavrel/app/command_codes.h"
#include "tavrel/app/folder_box.h"
#include "tavrel/app/job_environment.h"
#include "tavrel/app/tab_operations.h"
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

// The ids of the fixed items, named by their language keys; user commands
// follow them.
enum SideMenuId : uint32_t {
    ItemReloadTab = 1, ItemReloadSide, ItemSaveSide, ItemOpenTab, ItemOpenSide, ItemOpenBase, ItemDragConnect,
    ItemDragFloat, ItemDisconnect, ItemCopy1to2, ItemCopy2to1, ItemDeleteSide, ItemCursorPrev, ItemCursorNext,
    ItemResetDividingPoint, ItemSetEditable, ItemSetInsertMode, ItemClipSide, ItemClipLoad, ItemClipPaste, ItemUndo,
    ItemRedo, ItemAsText, ItemAsBinary, ItemSetupTypeFont, kFirstUserId
};

// The fixed items in menu order; id 0 stands for a separator.
struct FixedItem {
    uint32_t id;
    const char* key;
};
const FixedItem kFixedItems[] = {
    {ItemReloadTab, "ReloadTab"}, {ItemReloadSide, "ReloadSide"}, {ItemSaveSide, "SaveSide"},
    {ItemOpenTab, "OpenTab"}, {0, nullptr}, {ItemOpenSide, "OpenSide"}, {ItemOpenBase, "OpenBase"}, {0, nullptr},
    {ItemDragConnect, "DragConnect"}, {ItemDragFloat, "DragFloat"}, {ItemDisconnect, "Disconnect"}, {0, nullptr},
    {ItemCopy1to2, "Copy1to2"}, {ItemCopy2to1, "Copy2to1"}, {ItemDeleteSide, "DeleteSide"}, {0, nullptr},
    {ItemCursorPrev, "CursorPrev"}, {ItemCursorNext, "CursorNext"}, {0, nullptr},
    {ItemResetDividingPoint, "ResetDividingPoint"}, {0, nullptr}, {ItemSetEditable, "SetEditable"},
    {ItemSetInsertMode, "SetInsertMode"}, {0, nullptr}, {ItemClipSide, "ClipSide"}, {ItemClipLoad, "ClipLoad"},
    {ItemClipPaste, "ClipPaste"}, {0, nullptr}, {ItemUndo, "Undo"}, {ItemRedo, "Redo"}, {0, nullptr},
    {ItemAsText, "AsText"}, {ItemAsBinary, "AsBinary"}, {ItemSetupTypeFont, "SetupTypeFont"},
};

// User commands run by id up to this one: the menu lists no more.
constexpr uint32_t kLastUserId = 126;

bool SideHasNoPath(const JobGroupUnit& job, uint32_t side) { return job.Path(side).IsEmpty(); }

}  // namespace

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
    JobGroupUnit& job = *view_.job;
    const uint32_t kind = job.kind.kind;
    int32_t first = -1;
    int32_t last = -1;
    const int32_t selected = CountSelection(&first, &last);
    const RawString section = RawLayer::LanguageTable::Lookup(ListMenuText(), ListMenuTexts());
    auto text = [&section](const char* key) { return RawLayer::LanguageTable::Text(section, RawString::FromText(key)); };
    const RawString sideDigit = RawString::FromLiteral(side == 0 ? "1" : "2");
    auto realOn = [&](int32_t row, uint32_t which) { return RealUnit(job, row, which) != nullptr; };
    const bool isFolder = kind == JobLayer::KindPath;
    const bool isText = kind == JobLayer::KindText;
    const bool isBinary = kind == JobLayer::KindBinary;
    auto can = [&](uint32_t command) {
        return view_.editor && job.controller->CanExecute(*view_.editor, job, side, command);
    };
    auto enabled = [&](uint32_t id) -> bool {
        switch (id) {
        case ItemReloadTab: return !(SideHasNoPath(job, 0) && SideHasNoPath(job, 1));
        case ItemReloadSide: return !SideHasNoPath(job, side);
        // A save needs a path to write to, and a kind that writes files.
        case ItemSaveSide: return !SideHasNoPath(job, side) && (isText || isBinary);
        case ItemOpenTab: return isFolder && selected == 1;
        case ItemOpenSide: return !isFolder || selected == 1;
        case ItemOpenBase: return true;
        case ItemDragConnect: return (isFolder || isText) && selected == 1 && realOn(first, side);
        case ItemDragFloat: return isText && selected >= 1 && realOn(first, side);
        case ItemDisconnect: return (isFolder || isText) && selected >= 1;
        case ItemCopy1to2: return SideEditable(job, 1) && !job.Path(1).IsEmpty() && AnySelectedRealUnit(0);
        case ItemCopy2to1: return SideEditable(job, 0) && !job.Path(0).IsEmpty() && AnySelectedRealUnit(1);
        case ItemDeleteSide: return SideEditable(job, side) && AnySelectedRealUnit(side);
        case ItemCursorPrev:
        case ItemCursorNext: return !job.rows.IsEmpty();
        case ItemResetDividingPoint: return true;
        case ItemSetEditable: return SideCanBeEdited(job, side);
        case ItemSetInsertMode: return SideEditable(job, side) && isBinary;
        case ItemClipSide: return can(JobLayer::CommandCopyToClipboard);
        case ItemClipLoad: return ClipLoadAllowed(job.Path(side), JobLayer::ShellCommandStore::Instance().tempFolder);
        case ItemClipPaste: return can(JobLayer::CommandPasteFromClipboard);
        case ItemUndo: return can(JobLayer::CommandUndo);
        case ItemRedo: return can(JobLayer::CommandRedo);
        case ItemAsText: return isBinary || (isFolder && selected >= 1);
        case ItemAsBinary: return isText || (isFolder && selected >= 1);
        case ItemSetupTypeFont: return kind != JobLayer::KindNone;
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
        const bool checked = (item.id == ItemSetEditable && SideEditable(job, side)) ||
                             (item.id == ItemSetInsertMode && JobLayer::BinaryInsertMode(job.Side(side)) && isBinary);
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
    case ItemReloadTab: send(CmdReloadTab); return true;
    case ItemReloadSide: send(bySide(CmdReloadSide1, CmdReloadSide2)); return true;
    case ItemSaveSide: send(bySide(CmdSaveSide1, CmdSaveSide2)); return true;
    case ItemOpenTab: send(CmdOpenChildTab); return true;
    case ItemOpenSide: ShellOpenPath(*this, side); return true;
    case ItemOpenBase: ShellOpenParent(*this, side); return true;
    case ItemDragConnect: send(bySide(CmdDragConnect1, CmdDragConnect2)); return true;
    case ItemDragFloat: send(bySide(CmdDragFloat1, CmdDragFloat2)); return true;
    case ItemDisconnect: send(CmdDisconnect); return true;
    case ItemCopy1to2: send(CmdCopy1to2); return true;
    case ItemCopy2to1: send(CmdCopy2to1); return true;
    case ItemDeleteSide: send(bySide(CmdDeleteLine1, CmdDeleteLine2)); return true;
    case ItemCursorPrev: send(CmdPrevDifferent); return true;
    case ItemCursorNext: send(CmdNextDifferent); return true;
    case ItemResetDividingPoint:
        ResetDividingPoint();
        LayoutColumns();
        return true;
    case ItemSetEditable: SetSideEditable(*this, side, !SideEditable(job, side)); return true;
    case ItemSetInsertMode: ToggleInsertMode(*this, side); return true;
    case ItemClipSide: execute(JobLayer::CommandCopyToClipboard); return true;
    case ItemClipLoad: send(bySide(CmdClipLoad1, CmdClipLoad2)); return true;
    case ItemClipPaste: execute(JobLayer::CommandPasteFromClipboard); return true;
    case ItemUndo: execute(JobLayer::CommandUndo); return true;
    case ItemRedo: execute(JobLayer::CommandRedo); return true;
    case ItemAsText:
    case ItemAsBinary: SetExtensionKind(*this, side, id == ItemAsText ? 1 : 2); return true;
    case ItemSetupTypeFont: {
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
