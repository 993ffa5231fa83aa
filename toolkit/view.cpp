// Views: style, hooks, child lists, the default message handling and the
// subclass procedure of native controls.
#include "toolkit/view.h"

#include <commctrl.h>

#include <vector>

#include "base/api_text.h"
#include "toolkit/dialog.h"
#include "toolkit/draw.h"
#include "toolkit/environment.h"
#include "toolkit/gdi_scope.h"

namespace WinLayer {

using RawLayer::RawString;

namespace {

// The deepest parent-style chain walked for a font; deeper chains (only a
// cycle makes one) end at the default font.
constexpr int kMaxStyleDepth = 64;
// Measuring starts from a rectangle this large.
constexpr LONG kMeasureExtent = 32767;
constexpr int kMeasureTabLength = 4;

int64_t Centre(LONG a, LONG b) { return (static_cast<int64_t>(a) + b) / 2; }

LONG Shifted(LONG value, int64_t shift) {
    int64_t moved = value + shift;
    if (moved > INT32_MAX) moved = INT32_MAX;
    if (moved < INT32_MIN) moved = INT32_MIN;
    return static_cast<LONG>(moved);
}

}  // namespace

// ---- anchor record -----------------------------------------------------------

void WinViewResize::Init() { *this = WinViewResize(); }

bool WinViewResize::Relayout() {
    if (!parent) return false;
    const RECT& p = *parent;
    const RECT& o = lastParent;
    const int64_t dl = static_cast<int64_t>(p.left) - o.left;
    const int64_t dr = static_cast<int64_t>(p.right) - o.right;
    const int64_t dc = Centre(p.left, p.right) - Centre(o.left, o.right);
    const int64_t dt = static_cast<int64_t>(p.top) - o.top;
    const int64_t db = static_cast<int64_t>(p.bottom) - o.bottom;
    const int64_t dm = Centre(p.top, p.bottom) - Centre(o.top, o.bottom);
    int64_t left = 0, right = 0, top = 0, bottom = 0;
    if (anchors & AnchorLeftToLeft) left += dl;
    if (anchors & AnchorLeftToRight) left += dr;
    if (anchors & AnchorLeftToCentre) left += dc;
    if (anchors & AnchorRightToLeft) right += dl;
    if (anchors & AnchorRightToRight) right += dr;
    if (anchors & AnchorRightToCentre) right += dc;
    if (anchors & AnchorTopToTop) top += dt;
    if (anchors & AnchorTopToBottom) top += db;
    if (anchors & AnchorTopToCentre) top += dm;
    if (anchors & AnchorBottomToTop) bottom += dt;
    if (anchors & AnchorBottomToBottom) bottom += db;
    if (anchors & AnchorBottomToCentre) bottom += dm;
    rect.left = Shifted(rect.left, left);
    rect.right = Shifted(rect.right, right);
    rect.top = Shifted(rect.top, top);
    rect.bottom = Shifted(rect.bottom, bottom);
    lastParent = p;
    return true;
}

void WinViewResize::Follow(const RECT* parentRect) {
    parent = parentRect;
    lastParent = parentRect ? *parentRect : RECT{};
}

// ---- style record ------------------------------------------------------------

WinViewStyle::WinViewStyle() = default;
WinViewStyle::~WinViewStyle() = default;

void WinViewStyle::Init() {
    flags = 0;
    controlId = 0;
    className = RawString();
    viewKind = 0;
    text = RawString();
    textRevision = 0;
    style = 0;
    exStyle = 0;
    font = nullptr;
    parentStyle = nullptr;
}

RawString WinViewStyle::GetText() const { return WinEnvironment::Instance().InTextKind(text); }

void WinViewStyle::ClearText() {
    text = RawString(text.Kind());
    ++textRevision;
}

void WinViewStyle::SetText(const RawString& newText) {
    text = newText;
    ++textRevision;
}

void WinViewStyle::AppendText(const RawString& more) {
    text.Append(more);
    ++textRevision;
}

void WinViewStyle::UpdateWindowText() const {
    if (!action_ || !action_->window) return;
    const HWND window = action_->window;
    const RawString shown = GetText();
    switch (RawLayer::ApiKind(shown)) {
    case RawLayer::ApiKindAnsi:
    case RawLayer::ApiKindEmpty:
        SetWindowTextA(window, shown.IsEmpty() ? "" : shown.Bytes());
        break;
    case RawLayer::ApiKindWide:
        SetWindowTextW(window, shown.Wide());
        break;
    default: {
        const RawString wide = shown.As(RawLayer::KindUtf16);
        SetWindowTextW(window, wide.Wide());
        break;
    }
    }
}

// ---- hook and child lists ----------------------------------------------------

void WinViewHookList::AddHook(WinViewHook* hook) {
    if (!hook) return;
    RawLayer::RawListLockGuard guard(*this);
    Add(hook);
}

void WinViewHookList::RemoveHook(WinViewHook* hook) {
    RawLayer::RawListLockGuard guard(*this);
    Remove(hook);
}

void WinViewList::AppendWithId(WinView* view) {
    if (!view) return;
    RawLayer::RawListLockGuard guard(*this);
    view->controlId = nextId++;
    Add(view);
}

bool WinViewList::RemoveView(WinView* view) {
    RawLayer::RawListLockGuard guard(*this);
    return Remove(view);
}

WinView* WinViewList::FindByHandle(HWND window) const {
    if (!window) return nullptr;
    RawLayer::RawListLockGuard guard(*this);
    return FindIf([window](const WinView& view) { return view.window == window; });
}

WinView* WinViewList::FindById(uint32_t id) const {
    RawLayer::RawListLockGuard guard(*this);
    return FindIf([id](const WinView& view) { return view.controlId == id; });
}

void WinViewList::RemoveAll() {
    RawLayer::RawListLockGuard guard(*this);
    while (!IsEmpty()) RemoveLink(FirstLink());
}

// ---- the view ------------------------------------------------------------------

WinView::WinView() : WinViewAction(static_cast<WinViewStyle&>(*this)) {
    action_ = this;
    InitializeCriticalSection(&lock_);
}

WinView::~WinView() {
    DetachWindow();
    DeleteCriticalSection(&lock_);
}

void WinView::DetachWindow() {
    if (owner) owner->children.RemoveView(this);
    const HWND detached = window;
    window = nullptr;
    if (!detached) return;
    if (viewKind == KindSubclassed) RemoveWindowSubclass(detached, SubclassProc, controlId);
    if (IsWindow(detached)) DestroyWindow(detached);
}

HWND WinView::ModalChild() const {
    EnterCriticalSection(&lock_);
    const HWND child = modalChild_;
    LeaveCriticalSection(&lock_);
    return child;
}

void WinView::SetModalChild(HWND child) {
    EnterCriticalSection(&lock_);
    modalChild_ = child;
    LeaveCriticalSection(&lock_);
}

LRESULT WinView::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_COMMAND:
        return OnCommand(HIWORD(wParam));
    case WinMessage::MenuCommand:
        return OnMenuCommand(wParam, lParam);
    case WM_MEASUREITEM:
        if (wParam == 0 && OnMeasureItem(0, reinterpret_cast<MEASUREITEMSTRUCT*>(lParam))) return 1;
        return kNotHandled;
    case WM_DRAWITEM:
        if (wParam == 0 && OnDrawItem(0, reinterpret_cast<DRAWITEMSTRUCT*>(lParam))) return 1;
        return kNotHandled;
    case WM_KEYDOWN:
        if (wParam == VK_TAB) {
            if (owner && owner->window) {
                SendMessageW(owner->window, WinMessage::FocusNext, controlId,
                             KeyHeld(VK_SHIFT) ? 1 : 0);
            }
            return 0;
        }
        if (wParam == VK_ESCAPE) {
            if (window) PostMessageW(window, WM_COMMAND, MAKEWPARAM(controlId, WinNotify::Cancel), 0);
            return 0;
        }
        return kNotHandled;
    default:
        return kNotHandled;
    }
}

LRESULT WinView::OnMessageNoButton(UINT message, WPARAM wParam, LPARAM lParam) {
    const LRESULT answer = WinView::OnMessage(message, wParam, lParam);
    if (answer != kNotHandled || !window) return answer;
    switch (message) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
        if (GetFocus() != window) SetFocus(window);
        return DefWindowProcW(window, message, wParam, lParam);
    case WM_LBUTTONUP:
    case WM_KEYDOWN:
    case WM_KEYUP:
    case WM_CHAR:
        return DefWindowProcW(window, message, wParam, lParam);
    default:
        return answer;
    }
}

LRESULT WinView::OnCommand(uint16_t code) { return owner ? owner->OnChildCommand(this, code) : -1; }
LRESULT WinView::OnMenuCommand(WPARAM, LPARAM) { return -1; }
bool WinView::OnMeasureItem(WPARAM, MEASUREITEMSTRUCT*) { return false; }
bool WinView::OnDrawItem(WPARAM, DRAWITEMSTRUCT*) { return false; }
bool WinView::PreTranslateMessage(UINT, WPARAM, LPARAM, POINT) { return false; }
void WinView::OnCreated() {}
void WinView::OnDestroying() {}
LRESULT WinView::OnChildCommand(WinView*, uint16_t) { return 0; }
bool WinView::OnMinMaxSize(SIZE&, SIZE&) { return false; }
void WinView::OnLayout() {}
void WinView::SavePlacement(int32_t, int32_t) {}
void WinView::OnReserved(uintptr_t, uintptr_t) {}

LRESULT WinView::DispatchWithHooks(UINT message, WPARAM wParam, LPARAM lParam) {
    const LRESULT result = OnMessage(message, wParam, lParam);
    const int32_t count = hooks.Count();
    if (count == 0) return result;
    // A hook may take itself (or another) off the list while it runs: walk
    // a copy, and skip a hook that has left the list meanwhile.
    std::vector<WinViewHook*> snapshot;
    snapshot.reserve(static_cast<size_t>(count));
    for (WinViewHook& hook : hooks) snapshot.push_back(&hook);
    for (WinViewHook* hook : snapshot) {
        if (!hooks.Contains(hook)) continue;
        const LRESULT answer = hook->OnMessage(message, wParam, lParam);
        if (answer != kNotHandled) return answer;
    }
    return result;
}

LRESULT CALLBACK WinView::SubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                       DWORD_PTR reference) {
    WinView* view = reinterpret_cast<WinView*>(reference);
    if (!view) return -1;
    if (!WinMessage::Accepts(message, lParam)) return 0;
    LRESULT result;
    try {
        result = view->DispatchWithHooks(message, wParam, lParam);
    } catch (...) {
        // Nothing may unwind through the system's frames.
        WinEnvironment::Instance().ReportFailure("View handler", message);
        result = kNotHandled;
    }
    if (result == kNotHandled) result = DefSubclassProc(window, message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        RemoveWindowSubclass(window, SubclassProc, id);
        if (view->window == window) view->window = nullptr;
    }
    return result;
}

void WinView::SendCommand(uint16_t code) {
    if (window) SendMessageW(window, WM_COMMAND, MAKEWPARAM(controlId, code), 0);
}

// ---- size and font -----------------------------------------------------------------

void WinView::FitToContent() {
    RECT rect{0, 0, 0, 0};
    FitToText(rect);
    naturalWidth = rect.right - rect.left;
    naturalHeight = rect.bottom - rect.top;
    rect.left -= marginLeft;
    rect.top -= marginTop;
    rect.right += marginRight;
    rect.bottom += marginBottom;
    AdjustRect(rect);
    fittedWidth = rect.right - rect.left;
    fittedHeight = rect.bottom - rect.top;
}

void WinView::FitToText(RECT& rect) { MeasureText(rect, GetText()); }

void WinView::AdjustRect(RECT& rect) {
    static const int scrollBar = GetSystemMetrics(SM_CXVSCROLL);
    AdjustWindowRectEx(&rect, style, FALSE, exStyle);
    if (style & WS_VSCROLL) rect.right += scrollBar;
    if (style & WS_HSCROLL) rect.bottom += scrollBar;
}

void WinView::MeasureText(RECT& rect, const RawString& measured) {
    rect = RECT{0, 0, kMeasureExtent, kMeasureExtent};
    // The start rectangle is no size: nothing measured is nothing.
    const auto measureIn = [&](HDC dc) {
        if (!dc) return false;
        WinDrawContext context(dc);
        const WinFontParameter& effective = GetEffectiveFont();
        if (effective.handle) context.Select(effective.handle);
        UINT format = DT_NOPREFIX;
        if (viewFlags & FitWordBreak) format |= DT_WORDBREAK | DT_EDITCONTROL;
        if (MeasureTextRange(context, rect, format, measured, measured.All(), kMeasureTabLength) == 0)
            rect = RECT{0, 0, 0, 0};
        context.Restore();
        return true;
    };
    if (window && IsWindow(window)) {
        GdiWindowDC own(window);
        if (measureIn(own.Get())) return;
    }
    // A window that is gone (one on another thread may go at any moment)
    // measures as the screen does: the font, not the window, sets the size.
    GdiWindowDC screen(nullptr);
    if (!measureIn(screen.Get())) rect = RECT{0, 0, 0, 0};
}

const WinFontParameter& WinView::GetEffectiveFont() const {
    const WinViewStyle* record = this;
    for (int depth = 0; record && depth < kMaxStyleDepth; ++depth, record = record->parentStyle) {
        if (record->font) return *record->font;
    }
    return WinEnvironment::Instance().font;
}

}  // namespace WinLayer
