// The shared popup-menu record and PopupMenuAt.
#include "toolkit/popup_menu.h"

#include "base/api_text.h"
#include "toolkit/view.h"

namespace WinLayer {

using RawLayer::RawString;

struct WinPopupMenu::Body {
    CRITICAL_SECTION lock;
    // Holders besides the first.
    uint32_t shares = 0;
    HMENU menu = nullptr;
    int32_t items = 0;
    // The last item inserted was an entry, not a separator.
    bool afterEntry = false;
    bool open = false;
};

namespace {

class BodyLock {
public:
    explicit BodyLock(CRITICAL_SECTION& lock) : lock_(lock) { EnterCriticalSection(&lock_); }
    ~BodyLock() { LeaveCriticalSection(&lock_); }
    BodyLock(const BodyLock&) = delete;
    BodyLock& operator=(const BodyLock&) = delete;

private:
    CRITICAL_SECTION& lock_;
};

}  // namespace

WinPopupMenu::WinPopupMenu() : body_(new Body) { InitializeCriticalSection(&body_->lock); }

WinPopupMenu::~WinPopupMenu() { Drop(); }

WinPopupMenu::WinPopupMenu(const WinPopupMenu& other) : body_(other.body_) {
    BodyLock guard(body_->lock);
    ++body_->shares;
}

WinPopupMenu& WinPopupMenu::operator=(const WinPopupMenu& other) {
    if (other.body_ == body_) return *this;
    {
        BodyLock guard(other.body_->lock);
        ++other.body_->shares;
    }
    Drop();
    body_ = other.body_;
    return *this;
}

void WinPopupMenu::Drop() {
    bool last;
    {
        BodyLock guard(body_->lock);
        last = body_->shares == 0;
        if (!last) --body_->shares;
    }
    if (!last) return;
    if (body_->menu) DestroyMenu(body_->menu);
    DeleteCriticalSection(&body_->lock);
    delete body_;
    body_ = nullptr;
}

bool WinPopupMenu::Reset() {
    BodyLock guard(body_->lock);
    if (body_->menu) DestroyMenu(body_->menu);
    body_->menu = CreatePopupMenu();
    body_->items = 0;
    body_->afterEntry = false;
    return body_->menu != nullptr;
}

bool WinPopupMenu::AppendItem(const RawString& text, UINT id, bool mnemonic) {
    BodyLock guard(body_->lock);
    if (!body_->menu) return false;
    const RawString shown = mnemonic ? text : MenuText(text);
    if (!RawLayer::ApiInsertMenu(body_->menu, static_cast<UINT>(-1), MF_BYPOSITION | MF_STRING, id, shown)) {
        return false;
    }
    ++body_->items;
    body_->afterEntry = true;
    return true;
}

bool WinPopupMenu::AppendSeparator() {
    BodyLock guard(body_->lock);
    if (!body_->menu || !body_->afterEntry) return false;
    if (!InsertMenuW(body_->menu, static_cast<UINT>(-1), MF_BYPOSITION | MF_SEPARATOR, 0, nullptr)) return false;
    ++body_->items;
    body_->afterEntry = false;
    return true;
}

bool WinPopupMenu::CheckItem(UINT id) {
    BodyLock guard(body_->lock);
    if (!body_->menu) return false;
    MENUITEMINFOA info{};
    info.cbSize = sizeof(info);
    info.fMask = MIIM_STATE | MIIM_ID;
    info.fState = MFS_CHECKED;
    info.wID = id;
    return SetMenuItemInfoA(body_->menu, id, FALSE, &info) != FALSE;
}

HMENU WinPopupMenu::Handle() const {
    BodyLock guard(body_->lock);
    return body_->menu;
}

int32_t WinPopupMenu::ItemCount() const {
    BodyLock guard(body_->lock);
    return body_->items;
}

bool WinPopupMenu::IsOpen() const {
    BodyLock guard(body_->lock);
    return body_->open;
}

void WinPopupMenu::SetOpen(bool open) {
    BodyLock guard(body_->lock);
    body_->open = open;
}

bool PopupMenuAt(WinPopupMenu& menu, WinView& view, POINT point, LPARAM value) {
    const HMENU handle = menu.Handle();
    if (!handle || !view.window) return false;
    ClientToScreen(view.window, &point);
    menu.SetOpen(true);
    const UINT chosen = static_cast<UINT>(
        TrackPopupMenuEx(handle, TPM_RETURNCMD | TPM_RIGHTBUTTON, point.x, point.y, view.window, nullptr));
    menu.SetOpen(false);
    if (chosen == 0) return false;
    if (view.window) PostMessageW(view.window, WinMessage::MenuCommand, chosen, value);
    return true;
}

RawString MenuText(const RawString& text) {
    if (text.FindChar(text.All(), '&') >= text.Length()) return text;
    RawString doubled(text.Kind());
    for (int32_t i = 0; i < text.Length(); ++i) {
        const uint32_t unit = text.UnitAt(i);
        doubled.AppendChar(unit);
        if (unit == '&') doubled.AppendChar(unit);
    }
    return doubled;
}

}  // namespace WinLayer
