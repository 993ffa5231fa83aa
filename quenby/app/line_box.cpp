#include "quenby/app/line_box.h"

#include <cstring>

#include "base/clipboard.h"
#include "base/language.h"
#include "quenby/app/text_dialog.h"
#include "quenby/app/viewer_globals.h"

namespace AppLayer {

using WinLayer::WinListBoxItemUnit;

namespace {

RAW_CONSTANT_TEXT(MenuTextSectionText, "MenuText")
RAW_CONSTANT_TEXT(SearchTextTitleKeyText, "SearchTextTitle")

bool Blank(const RawString& text) {
    for (int32_t i = 0; i < text.Length(); ++i) {
        uint32_t c = text.UnitAt(i);
        if (c != ' ' && c != '\t') return false;
    }
    return true;
}

JobLineUnit* LineOf(const WinListBoxItemUnit* unit) {
    return unit ? static_cast<JobLineUnit*>(unit->item) : nullptr;
}

}  // namespace

bool IsJoinedSourceLine(const JobLineUnit& drawn, const JobLineUnit& next) {
    bool joins = drawn.kind == DocLayer::KindParagraph || drawn.kind == DocLayer::KindBullet ||
                 drawn.kind == DocLayer::KindNumbered;
    return joins && next.kind == DocLayer::KindHidden && !(next.flags & DocLayer::LineConsumed) &&
           !Blank(next.rawText);
}

void GuiLineBox::PostToOwner(uint16_t code) {
    if (owner && owner->window) PostMessageW(owner->window, WM_COMMAND, MAKEWPARAM(controlId, code), 0);
}

DocumentStyle* GuiLineBox::DocumentStyleOf() const { return Document() ? Document()->Style() : nullptr; }

DocumentStyle* GuiLineBox::CurrentStyle() const {
    DocumentStyle* own = DocumentStyleOf();
    return own ? own : style;
}

JobLineUnit* GuiLineBox::LineAt(int32_t index) {
    return index >= 0 && index < Count() ? LineOf(items.At(index)) : nullptr;
}

int32_t GuiLineBox::DrawnIndex(RawLayer::RawListLink* link, int32_t index) {
    // Links, not units: a unit's neighbour is found through its link.
    for (; link && !items.IsEnd(link); link = link->prev, --index)
        if (static_cast<WinListBoxItemUnit*>(link->unit)->Reachable()) return index;
    return -1;
}

bool GuiLineBox::Matches(const WinListBoxItemUnit& unit) {
    const JobLineUnit* line = LineOf(&unit);
    if (!line || searchText.IsEmpty()) return false;
    if (searchAs_.Kind() != line->rawText.Kind() || searchAs_.IsEmpty()) {
        bool ok = true;
        searchAs_ = searchText.As(line->rawText.Kind(), &ok);
        if (!ok) return false;
    }
    const RawString& raw = line->rawText;
    if (raw.Kind() == RawLayer::KindUtf8 && searchAs_.Kind() == raw.Kind()) {
        // Bytes: a whole UTF-8 text only matches at a character start.
        const char* hay = raw.Bytes();
        const char* needle = searchAs_.Bytes();
        const int32_t n = searchAs_.Length(), last = raw.Length() - n;
        for (int32_t at = 0; at <= last; ++at) {
            const void* found = std::memchr(hay + at, needle[0], static_cast<size_t>(last - at + 1));
            if (!found) return false;
            at = static_cast<int32_t>(static_cast<const char*>(found) - hay);
            if (std::memcmp(hay + at, needle, static_cast<size_t>(n)) == 0) return true;
        }
        return false;
    }
    return raw.Find(searchAs_) < raw.Length();
}

void GuiLineBox::SearchNext() {
    if (searchText.IsEmpty()) return;
    searchAs_ = RawString();
    RefreshIfDirty();
    const int32_t count = Count();
    const int32_t from = cursor >= 0 && cursor < count ? cursor : -1;
    int32_t index = from + 1;
    if (index >= count) return;
    for (RawLayer::RawListLink* link = items.LinkAt(index); link && !items.IsEnd(link); link = link->next, ++index) {
        if (!Matches(*static_cast<WinListBoxItemUnit*>(link->unit))) continue;
        const int32_t drawn = DrawnIndex(link, index);
        if (drawn > from) {
            MoveCursorTo(drawn);
            return;
        }
    }
}

void GuiLineBox::SearchPrevious() {
    if (searchText.IsEmpty()) return;
    searchAs_ = RawString();
    RefreshIfDirty();
    const int32_t count = Count();
    const bool valid = cursor >= 0 && cursor < count;
    int32_t index = valid ? cursor - 1 : count - 1;
    if (index < 0) return;
    for (RawLayer::RawListLink* link = items.LinkAt(index); link && !items.IsEnd(link); link = link->prev, --index) {
        if (!Matches(*static_cast<WinListBoxItemUnit*>(link->unit))) continue;
        const int32_t drawn = DrawnIndex(link, index);
        if (drawn >= 0 && (!valid || drawn < cursor)) {
            MoveCursorTo(drawn);
            return;
        }
    }
}

void GuiLineBox::AskSearch() {
    RawString title(CaptionPrefixText());
    title.Append(LookUpViewText(LookUpViewTextIn(ViewTextSection(), ViewTexts), SearchTextTitleKeyText()));
    if (WinLayer::AskSearchText(*this, title, searchText)) SearchNext();
}

void GuiLineBox::CopySelection() {
    RawString text(RawLayer::KindUtf8);
    bool any = false;
    const JobLineUnit* drawn = nullptr;
    for (WinListBoxItemUnit& unit : items) {
        JobLineUnit* line = LineOf(&unit);
        if (!line) continue;
        if (unit.flags & WinListBoxItemUnit::ItemSelected) {
            if (any) text.Append(RawLayer::LineBreakText());
            text.Append(RawString(text.Kind(), line->rawText));
            any = true;
            drawn = line;
        } else if (drawn && IsJoinedSourceLine(*drawn, *line)) {
            text.Append(RawLayer::LineBreakText());
            text.Append(RawString(text.Kind(), line->rawText));
        } else {
            drawn = nullptr;
        }
    }
    if (any) text.Append(RawLayer::LineBreakText());
    RawLayer::ClipboardSetText(text);
}

void GuiLineBox::AddMenuItem(WinLayer::WinPopupMenu& menu, const char* key, const char* defaultText, UINT id,
                             bool enabled) {
    RawString label = RawLayer::LanguageTextLookup(MenuTextSectionText(), RawString::FromText(key),
                                                   RawString::FromText(defaultText));
    menu.AppendItem(label, id);
    if (!enabled) EnableMenuItem(menu.Handle(), id, MF_BYCOMMAND | MF_GRAYED);
}

void GuiLineBox::BuildContextMenu(WinLayer::WinPopupMenu& menu) {
    AddMenuItem(menu, "Copy", "Copy text to clipboard.", MenuCopy, CountSelection() > 0);
}

void GuiLineBox::ShowContextMenu(POINT point) {
    WinLayer::WinPopupMenu menu;
    if (!menu.Reset()) return;
    BuildContextMenu(menu);
    WinLayer::PopupMenuAt(menu, *this, point, 0);
}

void GuiLineBox::OnContextMenu(POINT point, int32_t) { ShowContextMenu(point); }

LRESULT GuiLineBox::OnMenuCommand(WPARAM command, LPARAM) {
    switch (command) {
    case MenuCopy: CopySelection(); break;
    case MenuSearch: AskSearch(); break;
    case MenuSearchPrevious: SearchPrevious(); break;
    case MenuSearchNext: SearchNext(); break;
    case MenuClipToc: ClipTableOfContents(); break;
    default: break;
    }
    return 0;
}

}  // namespace AppLayer
