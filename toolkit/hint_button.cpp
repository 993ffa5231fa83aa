// The hint button.
#include "toolkit/hint_button.h"

#include <algorithm>

#include "toolkit/draw.h"
#include "toolkit/edit_box.h"
#include "toolkit/environment.h"

namespace WinLayer {

using RawLayer::RawParameterUnit;
using RawLayer::RawString;

namespace {

RAW_CONSTANT_TEXT(SeparatorHintText, "-")
RAW_CONSTANT_TEXT(ValueOpenText, " (")
RAW_CONSTANT_TEXT(ValueCloseText, ")")

// The triangle is drawn this many times larger and shrunk onto the face.
constexpr int32_t kSymbolScale = 5;
constexpr int32_t kSymbolInset = 3;
constexpr COLORREF kSymbolGrey = RGB(0x80, 0x80, 0x80);

bool Contains(const RawString& text, const RawString& part, bool exactCase) {
    const int32_t at = exactCase ? text.FindRange(text.All(), part, part.All())
                                 : text.FindNoCase(text.All(), part, part.All());
    return at + part.Length() <= text.Length();
}

}  // namespace

LRESULT WinHintButton::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_KEYDOWN && wParam == VK_DOWN) {
        PostCommand(0);
        return 0;
    }
    return WinButton::OnMessage(message, wParam, lParam);
}

LRESULT WinHintButton::OnCommand(uint16_t code) {
    if (code == openCode && !hints.IsEmpty()) ShowHints();
    return WinButton::OnCommand(code);
}

int32_t WinHintButton::FillMenu(const RawString& filter) {
    int32_t nextId = 1;
    for (RawParameterUnit& hint : hints) {
        hint.number = 0;
        if (hint.key.Equals(SeparatorHintText())) {
            menu.AppendSeparator();
            continue;
        }
        RawString shown = hint.key;
        if ((hintOptions & HintShowValue) && !hint.value.IsEmpty()) {
            shown = RawString::ConcatMany(hint.key, ValueOpenText(), hint.value);
            shown.Append(ValueCloseText());
        }
        if (!filter.IsEmpty() && !Contains(shown, filter, hints.ExactCase())) continue;
        if (menu.AppendItem(shown, static_cast<UINT>(nextId))) hint.number = static_cast<uint32_t>(nextId++);
    }
    return nextId - 1;
}

bool WinHintButton::ShowHints() {
    if (hints.IsEmpty() || !window) return false;
    const RawString text = target ? target->GetText() : RawString();
    const RawString filter = KeyHeld(VK_CONTROL) ? text : RawString();
    if (!menu.Reset()) return false;
    FillMenu(filter);
    for (const RawParameterUnit& hint : hints) {
        if (hint.number != 0 && hints.KeyEquals(hint.key, text)) {
            menu.CheckItem(hint.number);
            break;
        }
    }
    POINT corner{0, 0};
    if (target && target->window) {
        RECT box{};
        GetWindowRect(target->window, &box);
        corner = POINT{box.left, box.bottom};
        ScreenToClient(window, &corner);
    }
    return PopupMenuAt(menu, *this, corner, 0);
}

LRESULT WinHintButton::OnMenuCommand(WPARAM command, LPARAM) {
    if (command == 0) return -1;
    const RawParameterUnit* chosen = hints.FindIf(
        [command](const RawParameterUnit& hint) { return hint.number == static_cast<uint32_t>(command); });
    if (!chosen) return -1;
    if (auto* box = dynamic_cast<WinEditBox*>(target)) {
        // An edit, not new text from outside: what the user typed before
        // stays in the box's undo history.
        box->ReplaceAllWithUndo(chosen->key);
    } else if (target) {
        target->SetText(chosen->key);
        target->UpdateWindowText();
    }
    if (chosenCode) PostCommand(static_cast<uint16_t>(chosenCode));
    return 0;
}

void WinHintButton::FitToText(RECT& rect) {
    WinView::FitToText(rect);
    if (!GetText().IsEmpty()) return;
    const int32_t height = rect.bottom - rect.top;
    rect.right = rect.left + height;
    const int32_t face = height + marginTop + marginBottom;
    symbolSize = SIZE{face / 2, face / 3};
}

void WinHintButton::DrawFace(WinDrawContext& dc, RECT& textRect, uint32_t faceFlags) {
    if (!GetText().IsEmpty()) {
        WinButton::DrawFace(dc, textRect, faceFlags);
        return;
    }
    RECT face = textRect;
    face.left -= marginLeft;
    face.top -= marginTop;
    face.right += marginRight;
    face.bottom += marginBottom;
    const int32_t faceHeight = face.bottom - face.top;
    SIZE symbol = symbolSize;
    if (symbol.cx <= 0 || symbol.cy <= 0) symbol = SIZE{faceHeight / 2, faceHeight / 3};
    if (symbol.cx <= 0 || symbol.cy <= 0) return;
    const LONG left = (face.left + face.right - symbol.cx) / 2;
    const LONG top = (face.top + face.bottom - symbol.cy) / 2;
    const RECT place{left, top, left + symbol.cx, top + symbol.cy};
    const SIZE large{symbol.cx * kSymbolScale + 1, symbol.cy * kSymbolScale + 1};
    WinMemoryDC memory;
    if (!memory.Begin(dc.dc, place, large)) return;
    memory.CopyRect();
    WinDraw::Triangle(memory, RECT{0, 0, large.cx, large.cy}, 0);
    WinDraw::Triangle(memory, RECT{kSymbolInset, kSymbolInset, large.cx - kSymbolInset, large.cy - kSymbolInset},
                      kSymbolGrey);
    memory.CopyBack();
}

}  // namespace WinLayer
