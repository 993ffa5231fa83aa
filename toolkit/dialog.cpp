// Dialogs: registry, class registration, window procedure, message loop,
// modal runs and the dialog's own message handling.
#include "toolkit/dialog.h"

#include <commctrl.h>

#include <algorithm>

#include "base/api_text.h"
#include "base/wildcard.h"
#include "toolkit/environment.h"
#include "toolkit/layout.h"
#include "toolkit/work_counts.h"

namespace WinLayer {

using RawLayer::RawString;

namespace {

// Owner chains are short (a control, its dialog, perhaps one more); a longer
// one can only be a cycle.
constexpr int kMaxOwnerDepth = 64;
// Attempts to force a window to the foreground.
constexpr int kForegroundAttempts = 3;
// Caption flashes when a blocked window is clicked.
constexpr UINT kFlashCount = 5;
constexpr DWORD kFlashInterval = 70;
// IDC_ARROW as a wide resource name.
constexpr WORD kArrowCursorId = 32512;

bool IsButtonDown(UINT mouseMessage) {
    return mouseMessage == WM_LBUTTONDOWN || mouseMessage == WM_RBUTTONDOWN || mouseMessage == WM_MBUTTONDOWN ||
           mouseMessage == WM_XBUTTONDOWN;
}

// What a blocked window refuses: input (keys, characters, mouse, title-menu
// commands) and requests to close. Everything else keeps its handling, so
// the window still paints, sizes, moves and answers text requests.
bool IsInputOrCloseRequest(UINT message) {
    if (message >= WM_KEYFIRST && message <= WM_KEYLAST) return true;
    if (message >= WM_MOUSEFIRST && message <= WM_MOUSELAST) return true;
    if (message >= WM_NCMOUSEMOVE && message <= WM_NCXBUTTONDBLCLK) return true;
    switch (message) {
    case WM_CLOSE:
    case WM_SYSCOMMAND:
    case WM_CONTEXTMENU:
    case WM_MOUSEHOVER:
    case WM_MOUSELEAVE:
    case WM_NCMOUSEHOVER:
    case WM_NCMOUSELEAVE:
    case WM_APPCOMMAND:
    case WM_INPUT:
    case WM_HELP:
        return true;
    default:
        return false;
    }
}

bool PatternMatches(const RawString& pattern, const RawString& text) {
    if (pattern.IsEmpty()) return true;
    RawLayer::WildcardPatternList record(pattern);
    return record.Match(text);
}

}  // namespace

// ---- registry ----------------------------------------------------------------------

WinWindowRegistry& WinWindowRegistry::Instance() {
    static WinWindowRegistry registry;
    return registry;
}

WinWindowRegistry::WinWindowRegistry() { InitializeCriticalSection(&lock_); }
WinWindowRegistry::~WinWindowRegistry() { DeleteCriticalSection(&lock_); }

WinDialog* WinWindowRegistry::FindByHandle(HWND window) {
    if (!window) return nullptr;
    EnterCriticalSection(&lock_);
    WinDialog* found = dialogs_.FindIf([window](const WinDialog& dialog) { return dialog.window == window; });
    LeaveCriticalSection(&lock_);
    return found;
}

WinDialog* WinWindowRegistry::FindRootOf(HWND window) {
    if (!window) return nullptr;
    const HWND root = GetAncestor(window, GA_ROOT);
    return FindByHandle(root ? root : window);
}

bool WinWindowRegistry::Contains(const WinDialog* dialog) {
    EnterCriticalSection(&lock_);
    const bool found = dialogs_.ContainsUnit(dialog);
    LeaveCriticalSection(&lock_);
    return found;
}

bool WinWindowRegistry::HasClass(const RawString& className) {
    const RawString wanted = WinEnvironment::Instance().InTextKind(className);
    EnterCriticalSection(&lock_);
    const bool found = dialogs_.FindIf([&wanted](const WinDialog& dialog) {
        return WinEnvironment::Instance().InTextKind(dialog.className).Equals(wanted);
    }) != nullptr;
    LeaveCriticalSection(&lock_);
    return found;
}

void WinWindowRegistry::Add(WinDialog* dialog) {
    EnterCriticalSection(&lock_);
    if (!dialogs_.ContainsUnit(dialog)) {
        dialog->controlId = nextId++;
        dialogs_.Add(dialog);
    }
    LeaveCriticalSection(&lock_);
}

void WinWindowRegistry::Remove(WinDialog* dialog) {
    EnterCriticalSection(&lock_);
    dialogs_.Remove(dialog);
    LeaveCriticalSection(&lock_);
}

// ---- construction ------------------------------------------------------------------

WinDialog::WinDialog() : WinDialogResize(static_cast<WinView&>(*this)) {}

WinDialog::~WinDialog() {
    ReleaseModalRoot();
    // The children's windows go with this one, below.
    ForgetWindows(ReleaseChildren());
    // A window that outlives its object would hand its messages to freed
    // memory: leave the registry first (messages then go to the default
    // procedure), then take the window down.
    WinWindowRegistry& registry = WinWindowRegistry::Instance();
    const bool bound = registry.Contains(this);
    registry.Remove(this);
    const HWND detached = window;
    window = nullptr;
    if (bound && detached && IsWindow(detached)) DestroyWindow(detached);
}

std::vector<WinView*> WinDialog::ReleaseChildren() {
    // A child out of the list no longer points here, so a child that
    // outlives this dialog never reaches back into it.
    RawLayer::RawListLockGuard guard(children);
    std::vector<WinView*> unsubclassed;
    for (WinView& child : children) {
        child.owner = nullptr;
        child.parentStyle = nullptr;
        if (child.viewKind != KindSubclassed) unsubclassed.push_back(&child);
    }
    children.RemoveAll();
    return unsubclassed;
}

void WinDialog::ForgetWindows(const std::vector<WinView*>& unsubclassed) {
    // A subclassed child forgets its window at WM_NCDESTROY; any other
    // never hears of its end, and a handle kept would measure and paint
    // through a window that is gone (or, once the handle is reused, through
    // another's).
    for (WinView* child : unsubclassed) child->window = nullptr;
}

void WinDialog::MeasureChild(WinView& child, RECT& rect, const RawString& text) {
    // Before its window is made a child may have no parent style yet (or
    // none any more since the last window went): it measures as this
    // dialog will show it. Set only when it differs, so that a child whose
    // window runs on another thread is never written under its paint.
    if (child.parentStyle != this) child.parentStyle = this;
    child.MeasureText(rect, text);
}

void WinDialog::CreateChildren() {}
bool WinDialog::OnClose() { return true; }

LRESULT WinDialog::OnChildCommand(WinView*, uint16_t code) {
    if (code == WinNotify::Cancel) PostClose();
    return 0;
}

void WinDialog::Finish(int32_t value) {
    if (BeginClosing(value)) PostClose();
}

bool WinDialog::BeginClosing(int32_t value) {
    if (closing) return false;
    closing = true;
    result = value;
    return true;
}

void WinDialog::PostClose() {
    if (window) PostMessageW(window, WM_CLOSE, 0, 0);
}

void WinDialog::OnLayout() {
    RawLayer::RawListLockGuard guard(children);
    for (WinView& child : children) {
        if (child.Relayout() && child.window) {
            MoveWindow(child.window, child.rect.left, child.rect.top, child.Width(), child.Height(), FALSE);
        }
    }
}

// ---- windows ----------------------------------------------------------------------------

bool WinDialog::RegisterWindowClass() {
    WinWindowRegistry& registry = WinWindowRegistry::Instance();
    const RawString name = WinEnvironment::Instance().InTextKind(className);
    bool registered = false;
    if (!registry.HasClass(name)) {
        const HINSTANCE module = WinEnvironment::Instance().Module();
        const HICON large = largeIconId ? LoadIconW(module, MAKEINTRESOURCEW(largeIconId)) : nullptr;
        const HICON small = smallIconId ? LoadIconW(module, MAKEINTRESOURCEW(smallIconId)) : nullptr;
        // A class that exists already fails here, which changes nothing.
        const HCURSOR arrow = LoadCursorW(nullptr, MAKEINTRESOURCEW(kArrowCursorId));
        RawLayer::ApiRegisterClass(module, large, arrow, RawString(), name, small, WindowProcedure);
        ++WinWorkCounts::Instance().classRegistrations;
        registered = true;
    }
    registry.Add(this);
    return registered;
}

void WinDialog::Create() {
    WinWindowRegistry& registry = WinWindowRegistry::Instance();
    if (registry.Contains(this)) return;
    RegisterWindowClass();
    window = nullptr;
    const RawString title = GetText().As(RawLayer::KindUtf16);
    const RawString name = WinEnvironment::Instance().InTextKind(className).As(RawLayer::KindUtf16);
    creating_ = true;
    const HWND made = RawLayer::ApiCreateWindow(exStyle, name, title, style, rect.left, rect.top, Width(), Height(),
                                                nullptr, nullptr, WinEnvironment::Instance().Module(), this);
    creating_ = false;
    if (made && window != made) DestroyWindow(made);  // made, but not bound to this dialog
    if (!made || window != made) {
        registry.Remove(this);
        window = nullptr;
    }
    dialogFlags &= static_cast<uint16_t>(~DialogPreTranslates);
    if (window) {
        ShowWindow(window, showCommand);
        UpdateWindow(window);
    }
    {
        RawLayer::RawListLockGuard guard(children);
        for (const WinView& child : children) {
            if (child.flags & StyleWantsPreTranslate) dialogFlags |= DialogPreTranslates;
        }
    }
    OnCreated();
}

void WinDialog::FitChild(WinView& child) {
    child.parentStyle = this;
    child.FitToContent();
}

bool WinDialog::CreateFollowing(WinView& child, const RECT* frame) {
    child.Follow(frame ? frame : &anchor.rect);
    return CreateChild(child);
}

bool WinDialog::CreateChild(WinView& child) {
    // The child joins the list with its id before its window exists, so the
    // messages sent during creation (WM_MEASUREITEM) find it by id.
    children.AppendWithId(&child);
    child.owner = this;
    child.parentStyle = this;
    // Native controls are made through the wide entry point, so that their
    // subclass procedures see UTF-16 characters.
    const RawString name = WinEnvironment::Instance().InTextKind(child.className).As(RawLayer::KindUtf16);
    const RawString title = child.GetText().As(RawLayer::KindUtf16);
    const HWND made = RawLayer::ApiCreateWindow(
        child.exStyle, name, title, child.style, child.rect.left, child.rect.top, child.Width(), child.Height(),
        window, reinterpret_cast<HMENU>(static_cast<UINT_PTR>(child.controlId)),
        WinEnvironment::Instance().Module(), nullptr);
    child.window = made;
    if (made) {
        if (child.viewKind == KindSubclassed) {
            SetWindowSubclass(made, SubclassProc, child.controlId, reinterpret_cast<DWORD_PTR>(&child));
        } else {
            child.flags |= StyleNoTabStop;
        }
        const WinFontParameter& font = child.GetEffectiveFont();
        if (font.handle) SendMessageW(made, WM_SETFONT, reinterpret_cast<WPARAM>(font.handle), 1);
    }
    child.OnCreated();
    return made != nullptr;
}

int WinDialog::MessageLoop() {
    MSG message{};
    int code = 0;
    for (;;) {
        const BOOL got = GetMessageW(&message, nullptr, 0, 0);
        if (got == -1) break;
        if (got == 0) {
            code = static_cast<int>(message.wParam);
            WinWindowRegistry& registry = WinWindowRegistry::Instance();
            if (registry.Contains(this)) {
                // The quit of an outer loop: this dialog's window must not
                // outlive its loop. Its destruction posts a quit of its own,
                // which the outer one then replaces.
                ReleaseModalRoot();
                if (window) DestroyWindow(window);
                registry.Remove(this);
                PostQuitMessage(code);
            }
            break;
        }
        StepMessage(message);
    }
    window = nullptr;
    return code;
}

void WinDialog::StepMessage(MSG& message) {
    WinDialog* dialog = WinWindowRegistry::Instance().FindRootOf(message.hwnd);
    // A pointer request retrieved from the queue was posted, by anyone.
    // Windows that are not the toolkit's keep their own use of the number.
    if (dialog && WinMessage::CarriesPointer(message.message)) return;
    if (dialog && (dialog->dialogFlags & DialogPreTranslates)) {
        WinView* child = dialog->children.FindByHandle(message.hwnd);
        if (child && (child->flags & StyleWantsPreTranslate)) {
            bool swallowed = false;
            try {
                swallowed = child->PreTranslateMessage(message.message, message.wParam, message.lParam, message.pt);
            } catch (...) {
                WinEnvironment::Instance().ReportFailure("Pre-translation", message.message);
            }
            if (swallowed) return;
        }
    }
    TranslateMessage(&message);
    DispatchMessageW(&message);
}

int32_t WinDialog::RunModal(WinView& ownerView) {
    WinView* root = &ownerView;
    for (int depth = 0;; ++depth) {
        // A dialog that blocks itself would never see a click again.
        if (root == this || depth > kMaxOwnerDepth) return 0;
        if (!root->owner) break;
        root = root->owner;
    }
    WinWindowRegistry& registry = WinWindowRegistry::Instance();
    if (modalHeld_) return 0;
    result = 0;
    // The keyboard focus goes back where it was when that was the owner or
    // one of its children: a dialog run over a window must not leave the
    // keys with a window that has no use for them.
    const HWND focused = GetFocus();
    // A dialog whose window exists already runs with that window.
    Create();
    // Without a window no loop could ever end.
    if (!registry.Contains(this)) {
        window = nullptr;
        return 0;
    }
    modalRoot_ = root;
    modalPrevious_ = root->ModalChild();
    modalHeld_ = true;
    root->SetModalChild(window);
    if (root->window) EnableWindow(root->window, FALSE);
    MessageLoop();
    ReleaseModalRoot();
    if (root->window && IsWindow(root->window)) {
        SendMessageW(root->window, WM_MOUSEACTIVATE, reinterpret_cast<WPARAM>(root->window),
                     MAKELPARAM(HTCLIENT, WM_LBUTTONDOWN));
    }
    if (ownerView.window) {
        const bool back = focused && IsWindow(focused) && IsWindowVisible(focused) &&
                          (focused == ownerView.window || IsChild(ownerView.window, focused));
        SetFocus(back ? focused : ownerView.window);
    }
    return result;
}

void WinDialog::ReleaseModalRoot() {
    if (!modalHeld_) return;
    modalHeld_ = false;
    WinView* root = modalRoot_;
    modalRoot_ = nullptr;
    if (!root) return;
    // Runs may end out of order (an outer dialog destroyed while an inner
    // one runs): hand back only this run's own mark, and never a dialog
    // that is gone.
    if (root->ModalChild() == window) {
        const bool previousAlive = WinWindowRegistry::Instance().FindByHandle(modalPrevious_) != nullptr;
        root->SetModalChild(previousAlive ? modalPrevious_ : nullptr);
    }
    modalPrevious_ = nullptr;
    if (!root->ModalChild() && root->window && IsWindow(root->window)) EnableWindow(root->window, TRUE);
}

void WinDialog::BringToFront(WPARAM wParam, LPARAM lParam) {
    if (!window) return;
    if (exStyle & WS_EX_NOACTIVATE) {
        ShowWindow(window, SW_SHOWNOACTIVATE);
        return;
    }
    ShowWindow(window, SW_SHOWNORMAL);
    SetForegroundWindow(window);
    // A window that cannot come to the front must not hang the thread.
    for (int attempt = 0; attempt < kForegroundAttempts && GetForegroundWindow() != window; ++attempt) {
        const HWND foreground = GetForegroundWindow();
        const DWORD self = GetCurrentThreadId();
        const DWORD other = foreground ? GetWindowThreadProcessId(foreground, nullptr) : 0;
        const bool attached = other && other != self && AttachThreadInput(self, other, TRUE);
        SetWindowPos(window, nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE);
        SetForegroundWindow(window);
        if (attached) AttachThreadInput(self, other, FALSE);
    }
    const HWND modal = ModalChild();
    if (modal && modal != window) PostMessageW(modal, WinMessage::BringToFront, wParam, lParam);
}

// ---- window procedure ----------------------------------------------------------------------

LRESULT CALLBACK WinDialog::WindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (!WinMessage::Accepts(message, lParam)) return 0;
    try {
        WinWindowRegistry& registry = WinWindowRegistry::Instance();
        WinDialog* dialog = registry.FindByHandle(window);
        if (!dialog) {
            if (message != WM_NCCREATE && message != WM_CREATE) return DefWindowProcW(window, message, wParam, lParam);
            const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
            auto* candidate = create ? static_cast<WinDialog*>(create->lpCreateParams) : nullptr;
            // Only a dialog that is being created (registered, no window yet)
            // is bound; the pointer is not touched before that is known.
            if (!candidate || !registry.Contains(candidate) || candidate->window) {
                return DefWindowProcW(window, message, wParam, lParam);
            }
            dialog = candidate;
            dialog->window = window;
            if (dialog->viewKind == KindSubclassed) {
                SetWindowSubclass(window, SubclassProc, dialog->controlId, reinterpret_cast<DWORD_PTR>(dialog));
            } else {
                dialog->flags |= StyleNoTabStop;
            }
        }
        const LRESULT result = dialog->ModalChild() ? dialog->HandleBlockedMessage(window, message, wParam, lParam)
                                                    : dialog->HandleMessage(window, message, wParam, lParam);
        if (result != kNotHandled) return result;
    } catch (...) {
        // Nothing may unwind through the system's frames.
        WinEnvironment::Instance().ReportFailure("Dialog handler", message);
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

LRESULT WinDialog::HandleMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CREATE:
        GetClientRect(hwnd, &anchor.rect);
        CreateChildren();
        break;
    case WM_DESTROY:
        OnDestroy();
        break;
    case WM_ENDSESSION:
        // FALSE: the log-off was cancelled and the program goes on.
        if (wParam) OnDestroy();
        break;
    case WM_MOVE:
        if (!IsIconic(hwnd) && !IsZoomed(hwnd)) {
            GetWindowRect(hwnd, &rect);
            normalRect = rect;
        }
        break;
    case WM_SIZE:
        return OnSize(wParam, lParam);
    case WM_PAINT: {
        if (DispatchWithHooks(message, wParam, lParam) == kNotHandled) {
            PAINTSTRUCT paint;
            HDC dc = BeginPaint(hwnd, &paint);
            if (dc) {
                RECT client;
                GetClientRect(hwnd, &client);
                FillRect(dc, &client, GetSysColorBrush(COLOR_BTNFACE));
            }
            EndPaint(hwnd, &paint);
        }
        return 0;
    }
    case WM_CLOSE: {
        if (!OnClose()) return 0;
        const LRESULT answer = DispatchWithHooks(message, wParam, lParam);
        if (answer != kNotHandled) return answer;
        // The root of a modal run must be enabled before this window goes,
        // or activation would pass it by.
        ReleaseModalRoot();
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
    case WM_ERASEBKGND:
        return 1;
    case WM_GETMINMAXINFO:
        if (showState != ShowMinimised) OnMinMaxInfo(reinterpret_cast<MINMAXINFO*>(lParam));
        break;
    case WM_DRAWITEM:
    case WM_MEASUREITEM:
        RouteToChild(message, wParam, lParam);
        return 1;
    case WM_COMMAND: {
        WinView* child = children.FindById(LOWORD(wParam));
        if (!child && lParam == 0 && HIWORD(wParam) == 0) {
            // A menu choice (Wine sends those of the title menu's submenus
            // this way): the hooks that own the menus see it too.
            DispatchWithHooks(message, wParam, lParam);
            return 0;
        }
        (child ? child : this)->OnCommand(HIWORD(wParam));
        return 0;
    }
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORSTATIC: {
        WinView* child = children.FindByHandle(reinterpret_cast<HWND>(lParam));
        if (child) {
            const LRESULT answer = child->OnMessage(message, wParam, lParam);
            if (answer != kNotHandled) return answer;
        }
        break;
    }
    case WM_PARENTNOTIFY:
        if (LOWORD(wParam) == WM_DESTROY) {
            WinView* child = children.FindById(HIWORD(wParam));
            if (child) {
                child->OnDestroying();
                children.RemoveView(child);
                child->owner = nullptr;
                child->parentStyle = nullptr;
                if (child->viewKind != KindSubclassed) ForgetWindows({child});
            }
        }
        return 0;
    case WinMessage::BringToFront:
        BringToFront(wParam, lParam);
        return 0;
    case WinMessage::FocusNext:
        CycleFocus(static_cast<uint32_t>(wParam), lParam == 1);
        return 0;
    default:
        break;
    }
    return DispatchWithHooks(message, wParam, lParam);
}

LRESULT WinDialog::HandleBlockedMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    const HWND modal = ModalChild();
    switch (message) {
    case WM_SETCURSOR:
        // A disabled window learns of a click only here (no activation
        // message reaches it): the modal dialog comes forward.
        if (static_cast<int16_t>(LOWORD(lParam)) == HTERROR && IsButtonDown(HIWORD(lParam))) {
            ActivateModalChild(modal);
            return TRUE;
        }
        return OnMessage(message, wParam, lParam);
    case WM_NCLBUTTONDOWN:
    case WM_NCLBUTTONUP:
        return OnMessage(message, wParam, lParam);
    case WM_MOUSEACTIVATE:
        PostMessageW(modal, WinMessage::ActivateModal, 0, 0);
        return MA_NOACTIVATEANDEAT;
    case WM_WINDOWPOSCHANGED: {
        const auto* position = reinterpret_cast<const WINDOWPOS*>(lParam);
        if (position && !(position->flags & SWP_NOZORDER)) ActivateModalChild(modal);
        break;
    }
    case WinMessage::ActivateModal:
        PostMessageW(modal, WinMessage::ActivateModal, 0, 0);
        return 0;
    case WinMessage::BringToFront:
        BringToFront(wParam, lParam);
        return 0;
    default:
        if (IsInputOrCloseRequest(message)) return 0;
        break;
    }
    return HandleMessage(hwnd, message, wParam, lParam);
}

void WinDialog::ActivateModalChild(HWND modal) {
    if (!modal || !IsWindow(modal)) return;
    SendMessageW(modal, WM_MOUSEACTIVATE, reinterpret_cast<WPARAM>(modal), MAKELPARAM(HTCLIENT, WM_LBUTTONDOWN));
    SetForegroundWindow(modal);
    MessageBeep(MB_OK);
    FLASHWINFO flash{};
    flash.cbSize = sizeof(flash);
    flash.hwnd = modal;
    flash.dwFlags = FLASHW_CAPTION;
    flash.uCount = kFlashCount;
    flash.dwTimeout = kFlashInterval;
    FlashWindowEx(&flash);
}

void WinDialog::OnDestroy() {
    ReleaseModalRoot();
    SavePlacement(showState, ShowDestroying);
    {
        RawLayer::RawListLockGuard guard(children);
        for (WinView& child : children) child.OnDestroying();
    }
    const std::vector<WinView*> unsubclassed = ReleaseChildren();
    OnDestroying();
    // The children's windows go once this message returns; until then the
    // dialog's own last steps may still use them.
    ForgetWindows(unsubclassed);
    WinWindowRegistry::Instance().Remove(this);
    // A window that dies while being made has no loop waiting for it.
    if (!creating_) PostQuitMessage(0);
}

LRESULT WinDialog::OnSize(WPARAM wParam, LPARAM lParam) {
    const int32_t sizeType = static_cast<int32_t>(wParam);
    GetWindowRect(window, &rect);
    if (sizeType != SIZE_MINIMIZED && sizeType != SIZE_MAXIMIZED) normalRect = rect;
    // The view sees WM_SIZE here and once more in the dispatch below.
    if (OnMessage(WM_SIZE, wParam, lParam) == kNotHandled) {
        const int32_t before = showState;
        if (sizeType != showState) {
            SavePlacement(showState, sizeType);
            showState = sizeType;
        }
        if (sizeType == SIZE_RESTORED || sizeType == SIZE_MAXIMIZED) {
            anchor.rect = RECT{0, 0, LOWORD(lParam), HIWORD(lParam)};
            OnLayout();
            InvalidateRect(window, nullptr, FALSE);
        }
        if (before == ShowCreated) SavePlacement(ShowFirstSizing, sizeType);
    }
    return DispatchWithHooks(WM_SIZE, wParam, lParam);
}

void WinDialog::OnMinMaxInfo(MINMAXINFO* info) {
    normalRect = rect;
    if (!info || IsIconic(window)) return;
    GetWindowRect(window, &rect);
    GetClientRect(window, &anchor.rect);
    if (OnMessage(WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(info)) != kNotHandled) return;
    RECT area{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
    const LONG w = Width(), h = Height();
    const LONG cw = anchor.rect.right - anchor.rect.left, ch = anchor.rect.bottom - anchor.rect.top;
    const LONG mw = anchor.minimum.right - anchor.minimum.left, mh = anchor.minimum.bottom - anchor.minimum.top;
    SIZE shrink{std::min(cw - mw, w), std::min(ch - mh, h)};
    SIZE growth{(area.right - area.left) - w, (area.bottom - area.top) - h};
    OnMinMaxSize(shrink, growth);
    info->ptMinTrackSize = POINT{w - shrink.cx, h - shrink.cy};
    info->ptMaxTrackSize = POINT{w + growth.cx, h + growth.cy};
}

void WinDialog::CycleFocus(uint32_t senderId, bool backwards) {
    HWND target = nullptr;
    {
        RawLayer::RawListLockGuard guard(children);
        RawLayer::RawListLink* start = children.FirstLink();
        while (!children.IsEnd(start) && children.UnitOf(start)->controlId != senderId) start = start->next;
        if (children.IsEnd(start)) return;
        RawLayer::RawListLink* link = start;
        for (int32_t step = 0, count = children.Count(); step < count; ++step) {
            link = backwards ? link->prev : link->next;
            if (children.IsEnd(link)) link = backwards ? children.LastLink() : children.FirstLink();
            if (link == start) break;
            const WinView* candidate = children.UnitOf(link);
            if (!candidate->window || !IsWindowEnabled(candidate->window) || !IsWindowVisible(candidate->window) ||
                (candidate->flags & StyleNoTabStop)) {
                continue;
            }
            target = candidate->window;
            break;
        }
    }
    if (target) SetFocus(target);
}

LRESULT WinDialog::RouteToChild(UINT message, WPARAM wParam, LPARAM lParam) {
    if (wParam == 0) return OnMessage(message, wParam, lParam);
    WinView* child = children.FindById(static_cast<uint32_t>(wParam));
    return child ? child->OnMessage(message, wParam, lParam) : kNotHandled;
}

// ---- children and geometry ------------------------------------------------------------------

WinView* WinDialog::FindChild(const RawString& classPattern, const RawString& textPattern) {
    RawLayer::RawListLockGuard guard(children);
    return children.FindIf([&](const WinView& child) {
        return PatternMatches(classPattern, child.className) && PatternMatches(textPattern, child.text);
    });
}

void WinDialog::WindowRectFromClient() { AdjustWindowRectEx(&rect, style, FALSE, exStyle); }

void WinDialog::PlaceOnWorkArea(const RECT& reference) {
    RECT area{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
    rect = PlaceRectOnWorkArea(rect, reference, area);
}

}  // namespace WinLayer
