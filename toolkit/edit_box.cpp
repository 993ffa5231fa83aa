// The edit box's editing model: selection, edits with undo, clipboard,
// keys, mouse, the context menu and dropped files.
#include "toolkit/edit_box.h"

#include <shellapi.h>

#include <algorithm>

#include "base/api_text.h"
#include "base/clipboard.h"
#include "base/language.h"
#include "toolkit/environment.h"
#include "toolkit/dialog.h"
#include "toolkit/popup_menu.h"

namespace WinLayer {

using RawLayer::KindUtf16;
using RawLayer::RawRange;
using RawLayer::RawString;

namespace {

// Clipboard text is read up to this many units.
constexpr int32_t kPasteLimit = 0x7FFFFFF;

RawString Units(const RawString& text, RawRange range) {
    RawString part(KindUtf16);
    part.AppendRange(text, range);
    return part;
}

// Whether typed units at `start` go on the typed record `last`: right after
// its text and of the same character class (one word, one run of blanks).
bool ContinuesTyping(const WinEditBoxUndoUnit& last, int32_t start, const RawString& units) {
    const int32_t length = last.inserted.Length();
    if (!last.typed || length == 0 || units.IsEmpty() || start != last.start + length) return false;
    return RawLayer::CharClass(units.UnitAt(0)) == RawLayer::CharClass(last.inserted.UnitAt(length - 1));
}

// Texts of the context menu.
const RawLayer::RawLocaleRecord kEditBarTexts[] = {
    {"Cancel", "Cancel edit."},
    {"Undo", "Undo modification."},
    {"Redo", "Redo modification."},
    {"Copy", "Copy to clipboard."},
    {"Paste", "Paste from clipboard."},
    {"Delete", "Delete text."},
    {"Select", "Select all text."},
    {"InsertTab", "Insert tab code."},
    {"IME", "Open IME."},
    {"Register", "Register selection."},
    {"", ""},
};

enum : UINT {
    MenuCancel = 1,
    MenuUndo,
    MenuRedo,
    MenuCopy,
    MenuPaste,
    MenuDelete,
    MenuSelectAll,
    MenuInsertTab,
    MenuIme,
    MenuRegister,
};

}  // namespace

// ---- construction -------------------------------------------------------------------

WinEditBox::~WinEditBox() {
    DetachWindow();
    DestroyBase();
}

void WinEditBox::Construct() {
    WinPlaneBox::Construct();
    planeFlags |= PlaneNoMarginFill;
    style &= ~static_cast<uint32_t>(WS_VSCROLL);
}

void WinEditBox::DestroyBase() {
    if (!ime) return;
    if (window && (options & OptionImeAttached)) ImmAssociateContext(window, nullptr);
    options &= static_cast<uint16_t>(~OptionImeAttached);
    ImmDestroyContext(ime);
    ime = nullptr;
}

void WinEditBox::ReattachIme() {
    if (window && ime && (options & OptionImeAttached)) ImmAssociateContext(window, ime);
}

void WinEditBox::Reset() {
    display = RawString(KindUtf16);
    undo.Clear();
    undoPosition = 0;
    compositionStart = compositionEnd = 0;
    caret = anchor = 0;
    rememberedX = -1;
    scroll = POINT{};
}

// ---- selection ------------------------------------------------------------------------

RawRange WinEditBox::Selection() const { return RawRange{std::min(caret, anchor), std::max(caret, anchor)}; }

void WinEditBox::SetSelection(int32_t newAnchor, int32_t newCaret) {
    anchor = std::max(0, std::min(newAnchor, Length()));
    caret = std::max(0, std::min(newCaret, Length()));
    ScrollCaretIntoView();
    Invalidate();
}

bool WinEditBox::MoveCaret(int32_t index, bool extend) {
    if (index < 0 || index > Length()) return false;
    caret = index;
    if (!extend) anchor = caret;
    ScrollCaretIntoView();
    Invalidate();
    return true;
}

int32_t WinEditBox::NextCharIndex(int32_t index) const {
    const int32_t length = Length();
    if (index >= length) return length;
    if (index < 0) return 0;
    const wchar_t* units = edit.Wide();
    if (index + 1 < length) {
        if (units[index] == L'\r' && units[index + 1] == L'\n') return index + 2;
        if (RawLayer::IsHighSurrogate(units[index]) && RawLayer::IsLowSurrogate(units[index + 1])) return index + 2;
    }
    return index + 1;
}

int32_t WinEditBox::PrevCharIndex(int32_t index) const {
    if (index < 1) return 0;
    index = std::min(index, Length());
    const wchar_t* units = edit.Wide();
    if (index >= 2) {
        if (units[index - 2] == L'\r' && units[index - 1] == L'\n') return index - 2;
        if (RawLayer::IsHighSurrogate(units[index - 2]) && RawLayer::IsLowSurrogate(units[index - 1])) return index - 2;
    }
    return index - 1;
}

// ---- edits -------------------------------------------------------------------------------

void WinEditBox::ReplaceText(RawRange range, const RawString& text) {
    const RawString inserted = text.Kind() == KindUtf16 ? text : text.As(KindUtf16);
    const int32_t start = std::max(0, std::min(range.start, Length()));
    const int32_t end = std::max(start, std::min(range.end, Length()));
    edit.ReplaceRange(RawRange{start, end}, inserted, inserted.All());
    caret = anchor = start;
    ++editRevision;
    SetText(edit);
    // The box wrote this revision: it is no new text from outside.
    viewRevision = textRevision;
    MakeDisplayText();
    caret = anchor = std::min(start + inserted.Length(), Length());
    UpdateLayout(true);
    ScrollCaretIntoView();
    if (window) PostMessageW(window, WM_COMMAND, MAKEWPARAM(controlId, WinNotify::TextChanged), 0);
}

void WinEditBox::ReplaceRange(RawRange range, const RawString& text) { ReplaceText(range, text); }

void WinEditBox::DeleteRange(RawRange range) {
    ReplaceText(range, RawString(KindUtf16));
    const int32_t start = std::max(0, std::min(range.start, Length()));
    caret = anchor = start;
}

void WinEditBox::PushUndoRecord(int32_t start, const RawString& replaced, const RawString& inserted, bool typed) {
    // What could be redone goes, from the tail (a look-up from the head per
    // record made this quadratic).
    while (undo.Count() > undoPosition) undo.RemoveLink(undo.LastLink());
    const RawString units = inserted.Kind() == KindUtf16 ? inserted : inserted.As(KindUtf16);
    WinEditBoxUndoUnit* last = undo.Last();
    if (typed && last && replaced.IsEmpty() && ContinuesTyping(*last, start, units)) {
        last->inserted.Append(units);
        return;
    }
    auto* unit = new WinEditBoxUndoUnit();
    unit->start = start;
    unit->replaced = replaced;
    unit->inserted = units;
    unit->typed = typed;
    undo.Add(unit);
    while (undo.Count() > kUndoLimit) undo.RemoveLink(undo.FirstLink());
    undoPosition = undo.Count();
}

void WinEditBox::PushUndo(RawRange range, const RawString& text) {
    const RawRange clamped = edit.ClampEnd(RawRange{std::max(range.start, 0), range.end});
    PushUndoRecord(clamped.start, Units(edit, clamped), text);
}

// An edit of the user: recorded, then made.
void WinEditBox::EditRange(RawRange range, const RawString& text) {
    PushUndo(range, text);
    ReplaceRange(range, text);
}

void WinEditBox::ReplaceAllWithUndo(const RawString& text) {
    // A view text set from outside meanwhile is taken in first, so the
    // record holds the text the user sees.
    SyncDisplayText();
    EditRange(RawRange{0, Length()}, text);
}

void WinEditBox::InsertChar(uint32_t character) {
    RawString text(KindUtf16);
    if (character > 0xFFFF) {
        const uint32_t value = character - 0x10000;
        text.AppendChar(0xD800 + (value >> 10));
        text.AppendChar(0xDC00 + (value & 0x3FF));
    } else {
        text.AppendChar(character);
    }
    const RawRange range = edit.ClampEnd(Selection());
    PushUndoRecord(range.start, Units(edit, range), text, true);
    ReplaceRange(range, text);
}

void WinEditBox::CopySelection() {
    // A password never leaves the box as plain text.
    if (options & OptionPassword) return;
    const RawRange range = Selection();
    if (range.end > range.start) RawLayer::ClipboardSetText(edit, range);
}

void WinEditBox::PasteText() {
    if (IsReadOnly()) return;
    RawString text = RawLayer::ClipboardGetText(kPasteLimit);
    if (!IsMultiLine() && pasteFilter) text = pasteFilter->Filter(text);
    EditRange(Selection(), text);
}

void WinEditBox::Undo() {
    if (IsReadOnly() || undoPosition <= 0 || undoPosition > undo.Count()) return;
    --undoPosition;
    const WinEditBoxUndoUnit record = *undo.At(undoPosition);
    ReplaceRange(RawRange{record.start, record.start + record.inserted.Length()}, record.replaced);
    SetSelection(record.start, record.start + record.replaced.Length());
}

void WinEditBox::Redo() {
    if (IsReadOnly() || undoPosition >= undo.Count()) return;
    const WinEditBoxUndoUnit record = *undo.At(undoPosition);
    ++undoPosition;
    ReplaceRange(RawRange{record.start, record.start + record.replaced.Length()}, record.inserted);
    SetSelection(record.start, record.start + record.inserted.Length());
}

void WinEditBox::SelectWordAt(int32_t index) {
    const int32_t length = Length();
    if (length == 0) return;
    index = std::max(0, std::min(index, length - 1));
    // Never start inside a surrogate pair or a CR LF.
    if (index > 0 && NextCharIndex(index - 1) > index) --index;
    const wchar_t* units = edit.Wide();
    const int kind = RawLayer::CharClass(units[index]);
    int32_t start = index;
    while (start > 0) {
        const int32_t previous = PrevCharIndex(start);
        if (RawLayer::CharClass(units[previous]) != kind) break;
        start = previous;
    }
    int32_t end = NextCharIndex(start);
    while (end < length && RawLayer::CharClass(units[end]) == kind) end = NextCharIndex(end);
    SetSelection(start, end);
}

void WinEditBox::CaretToPoint(POINT point, bool newAnchor) {
    const int32_t lineCount = static_cast<int32_t>(drawPart.lines.size());
    const int32_t pitch = lineHeight + lineGap;
    int32_t line = 0;
    if (IsMultiLine() && pitch > 0) line = (point.y + scroll.y - contentArea.top) / pitch;
    line = std::max(0, std::min(line, lineCount - 1));
    if (lineCount == 0) {
        caret = Length();
    } else if (IsMultiLine() && pitch > 0 && (point.y + scroll.y - contentArea.top) / pitch >= lineCount) {
        caret = Length();
    } else {
        caret = drawPart.IndexAtX(edit, line, point.x + scroll.x - contentArea.left);
    }
    if (newAnchor) anchor = caret;
    ScrollCaretIntoView();
    Invalidate();
}

// ---- typed characters ---------------------------------------------------------------------

void WinEditBox::OnCharUnit(wchar_t unit) {
    if (RawLayer::IsHighSurrogate(unit)) {
        pendingHigh = unit;
        return;
    }
    const wchar_t high = pendingHigh;
    pendingHigh = 0;
    if (RawLayer::IsLowSurrogate(unit)) {
        if (high) InsertChar(0x10000 + ((static_cast<uint32_t>(high) - 0xD800) << 10) + (unit - 0xDC00));
        return;
    }
    if (unit < 32 || unit == 127) return;
    InsertChar(unit);
}

// ---- keys ----------------------------------------------------------------------------------------

void WinEditBox::MoveVertically(int32_t direction, bool extend) {
    const int32_t line = drawPart.LineOf(caret) + direction;
    if (line < 0 || line >= static_cast<int32_t>(drawPart.lines.size())) return;
    if (rememberedX < 0) rememberedX = drawPart.XOf(caret);
    MoveCaret(drawPart.IndexAtX(edit, line, rememberedX), extend);
}

bool WinEditBox::OnKey(WPARAM key) {
    const bool ctrl = KeyHeld(VK_CONTROL);
    const bool shift = KeyHeld(VK_SHIFT);
    const bool readOnly = IsReadOnly();
    if (key != VK_UP && key != VK_DOWN) rememberedX = -1;
    const RawRange selection = Selection();
    const bool hasSelection = selection.end > selection.start;
    switch (key) {
    case VK_BACK:
    case VK_DELETE:
        if (readOnly) return true;
        if (hasSelection) {
            EditRange(selection, RawString(KindUtf16));
        } else if (key == VK_BACK && caret > 0) {
            EditRange(RawRange{PrevCharIndex(caret), caret}, RawString(KindUtf16));
        } else if (key == VK_DELETE && caret < Length()) {
            EditRange(RawRange{caret, NextCharIndex(caret)}, RawString(KindUtf16));
        }
        return true;
    case VK_TAB:
        if ((options & OptionTabNotText) || ctrl || shift) return false;
        if (!readOnly) InsertChar(L'\t');
        return true;
    case VK_RETURN:
        if (IsMultiLine() && !ctrl) {
            if (!readOnly) {
                InsertChar(L'\r');
                InsertChar(L'\n');
            }
        } else {
            SendCommand(WinNotify::Activate);
        }
        return true;
    case VK_ESCAPE:
        SendCommand(WinNotify::Cancel);
        return true;
    case VK_HOME:
        MoveCaret(0, shift);
        return true;
    case VK_END:
        MoveCaret(Length(), shift);
        return true;
    case VK_LEFT:
    case VK_RIGHT: {
        const bool left = key == VK_LEFT;
        if (ctrl) {
            MoveCaret(left ? 0 : Length(), shift);
        } else if (hasSelection && !shift) {
            MoveCaret(left ? selection.start : selection.end, false);
        } else {
            MoveCaret(left ? PrevCharIndex(caret) : NextCharIndex(caret), shift);
        }
        return true;
    }
    case VK_UP:
    case VK_DOWN:
        if (IsMultiLine()) {
            MoveVertically(key == VK_UP ? -1 : 1, shift);
        } else if (options & OptionDownNotifies) {
            if (key == VK_DOWN) SendCommand(WinNotify::DownKey);
        } else if (owner && owner->window) {
            SendMessageW(owner->window, WinMessage::FocusNext, controlId, key == VK_UP ? 1 : 0);
        }
        return true;
    default:
        break;
    }
    if (!ctrl) return false;
    switch (key) {
    case 'H':
        return OnKey(VK_BACK);
    case 'M':
        if (!readOnly) {
            InsertChar(L'\r');
            InsertChar(L'\n');
        }
        return true;
    case 'A':
        SetSelection(0, Length());
        return true;
    case 'C':
        CopySelection();
        return true;
    case 'V':
        PasteText();
        return true;
    case 'X':
        // Cut copies first: the text the user cuts must not be lost. A
        // password box copies nothing, so it cuts nothing either.
        if (options & OptionPassword) return true;
        CopySelection();
        if (!readOnly && hasSelection) EditRange(selection, RawString(KindUtf16));
        return true;
    case 'Z':
        if (shift) {
            Redo();
        } else {
            Undo();
        }
        return true;
    case 'Q':
        return true;
    default:
        return false;
    }
}

// ---- mouse and drops ------------------------------------------------------------------------

void WinEditBox::EndDrag() {
    if (!(options & OptionDragging)) return;
    options &= static_cast<uint16_t>(~OptionDragging);
    if (window && GetCapture() == window) ReleaseCapture();
}

void WinEditBox::OnMouseMove(POINT point, WPARAM keys) {
    if (!(options & OptionDragging)) return;
    // The button went up where the box could not see it.
    if (!(keys & MK_LBUTTON)) {
        EndDrag();
        return;
    }
    RECT client{};
    if (window) GetClientRect(window, &client);
    if (point.x <= 7 && scroll.x >= 1) {
        scroll.x = std::max<LONG>(scroll.x - 2, 0);
    } else if (caret < Length() && point.x > client.right - 8) {
        scroll.x += 2;
    }
    CaretToPoint(point, false);
}

void WinEditBox::OnDropFiles(HDROP drop) {
    if (!IsReadOnly()) {
        const UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
        RawString names(KindUtf16);
        for (UINT i = 0; i < count; ++i) {
            if (i > 0) names.AppendChar(L' ');
            names.Append(RawLayer::ApiDragQueryFile(drop, i, KindUtf16));
        }
        EditRange(RawRange{0, Length()}, names);
        if (window) PostMessageW(window, WM_COMMAND, MAKEWPARAM(controlId, WinNotify::FilesDropped), 0);
    }
    // The drop record is freed whatever the box did with it.
    DragFinish(drop);
}

// ---- context menu -------------------------------------------------------------------------------

void WinEditBox::ShowContextMenu(POINT point) {
    static const RawString section = RawLayer::LanguageTable::Lookup(RawString::FromText("EditBar"), kEditBarTexts);
    const auto text = [](UINT id) { return RawLayer::LanguageTable::Text(section, RawString::FromText(kEditBarTexts[id - 1].key)); };
    WinPopupMenu menu;
    const bool readOnly = IsReadOnly();
    if (options & OptionMenuCancel) {
        menu.AppendItem(text(MenuCancel), MenuCancel);
        menu.AppendSeparator();
    }
    for (UINT id = MenuUndo; id <= MenuRegister; ++id) {
        menu.AppendItem(text(id), id);
        if (id == MenuRedo || id == MenuInsertTab) menu.AppendSeparator();
    }
    const auto enable = [&](UINT id, bool on) {
        EnableMenuItem(menu.Handle(), id, MF_BYCOMMAND | (on ? MF_ENABLED : MF_GRAYED));
    };
    enable(MenuUndo, !readOnly && undoPosition > 0);
    enable(MenuRedo, !readOnly && undoPosition < undo.Count());
    enable(MenuCopy, !(options & OptionPassword));
    enable(MenuIme, ime != nullptr);
    enable(MenuRegister, ime != nullptr);
    PopupMenuAt(menu, *this, point, 0);
    // Texts the menu met for the first time go to the language file.
    RawLayer::LanguageTable::SaveChanges();
}

LRESULT WinEditBox::OnMenuCommand(WPARAM command, LPARAM) {
    const bool readOnly = IsReadOnly();
    switch (command) {
    case MenuCancel:
        SendCommand(WinNotify::Cancel);
        return 0;
    case MenuUndo:
        Undo();
        return 0;
    case MenuRedo:
        Redo();
        return 0;
    case MenuCopy:
        CopySelection();
        return 0;
    case MenuPaste:
        PasteText();
        return 0;
    case MenuDelete:
        if (!readOnly) EditRange(Selection(), RawString(KindUtf16));
        return 0;
    case MenuSelectAll:
        SetSelection(0, Length());
        return 0;
    case MenuInsertTab:
        if (!readOnly) InsertChar(L'\t');
        return 0;
    case MenuIme:
        if (!readOnly && ime) {
            ImmSetOpenStatus(ime, TRUE);
            const RawString selected = Units(edit, Selection());
            ImmSetCompositionStringW(ime, SCS_SETSTR, const_cast<wchar_t*>(selected.Wide()),
                                     static_cast<DWORD>(selected.Length() * 2), nullptr, 0);
        }
        return 0;
    case MenuRegister:
        if (ime) {
            static const HKL layout = GetKeyboardLayout(0);
            RawString selected = Units(edit, Selection());
            REGISTERWORDW word{};
            word.lpReading = nullptr;
            word.lpWord = selected.WritableWide();
            ImmConfigureIMEW(layout, window, IME_CONFIG_REGISTERWORD, &word);
        }
        return 0;
    default:
        return -1;
    }
}

// ---- life and messages ------------------------------------------------------------------------

void WinEditBox::OnCreated() {
    UpdateLineMetrics();
    // Without an input method the context would only offer menu entries
    // that do nothing.
    if (!ime && WinEnvironment::Instance().LayoutHasIme()) ime = ImmCreateContext();
    if (!ime || !window) return;
    if (options & (OptionReadOnly | OptionPassword)) {
        if (options & OptionImeAttached) ImmAssociateContext(window, nullptr);
        options &= static_cast<uint16_t>(~OptionImeAttached);
    } else {
        ImmAssociateContext(window, ime);
        options |= OptionImeAttached;
    }
}

void WinEditBox::OnDestroying() {
    if (window) KillTimer(window, kTimerId);
}

LRESULT WinEditBox::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    SyncDisplayText();
    if (!IsReadOnly()) {
        const LRESULT answer = HandleImeMessage(message, wParam, lParam);
        if (answer != kNotHandled) return answer;
    }
    switch (message) {
    case WM_KEYDOWN:
        if (OnKey(wParam)) return 0;
        break;
    case WM_CHAR:
        if (!IsReadOnly()) OnCharUnit(static_cast<wchar_t>(wParam));
        return 0;
    case WM_GETDLGCODE:
        return DLGC_WANTARROWS | DLGC_WANTCHARS | DLGC_WANTALLKEYS;
    case WM_SIZE: {
        WinPlaneBox::OnMessage(message, wParam, lParam);
        const POINT kept = scroll;
        UpdateLayout(true);
        scroll = kept;
        ClampScroll();
        ScrollCaretIntoView();
        return 0;
    }
    case WM_SETFOCUS:
        if (window) SetTimer(window, kTimerId, kBlinkMs, nullptr);
        SetSelection(0, Length());
        break;
    case WM_KILLFOCUS:
        if (window) KillTimer(window, kTimerId);
        break;
    case WM_TIMER:
        if (wParam != kTimerId) break;
        BlinkCaret();
        return 0;
    case WM_LBUTTONDOWN:
        if (window) {
            SetFocus(window);
            SetCapture(window);
        }
        options |= OptionDragging;
        CaretToPoint(PointFromLParam(lParam), true);
        return 0;
    case WM_MOUSEMOVE:
        OnMouseMove(PointFromLParam(lParam), wParam);
        return 0;
    case WM_LBUTTONUP:
        EndDrag();
        return 0;
    case WM_CAPTURECHANGED:
        if (reinterpret_cast<HWND>(lParam) != window) options &= static_cast<uint16_t>(~OptionDragging);
        break;
    case WM_LBUTTONDBLCLK:
        SelectWordAt(caret);
        return 0;
    case WM_RBUTTONDOWN:
        ShowContextMenu(PointFromLParam(lParam));
        return 0;
    case WM_DROPFILES:
        OnDropFiles(reinterpret_cast<HDROP>(wParam));
        return 0;
    default:
        break;
    }
    return WinPlaneBox::OnMessage(message, wParam, lParam);
}

}  // namespace WinLayer
