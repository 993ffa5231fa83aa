// The window test harness.
#include "support/window_support.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <cstdio>
#include <vector>

#include "toolkit/bitmap_alpha.h"
#include "toolkit/dialog.h"

namespace TestSupport {

namespace {

int g_quits = 0;

// One message through the toolkit's loop step; quit messages are counted
// instead. False when the queue was empty.
bool StepOne() {
    MSG message;
    if (!PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) return false;
    if (message.message == WM_QUIT) {
        ++g_quits;
    } else {
        WinLayer::WinDialog::StepMessage(message);
    }
    return true;
}

void WaitForInput(DWORD ms) { MsgWaitForMultipleObjects(0, nullptr, FALSE, ms, QS_ALLINPUT); }

}  // namespace

// ---- test windows -------------------------------------------------------------------

TestControl::TestControl(const char* windowClass, const char* caption, DWORD windowStyle) {
    className = RawLayer::RawString::FromText(windowClass);
    text = RawLayer::RawString::FromText(caption);
    viewKind = KindSubclassed;
    style = windowStyle;
}

LRESULT TestControl::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    messages.emplace_back(message, wParam);
    if (handler) {
        const LRESULT answer = handler(message, wParam, lParam);
        if (answer != WinLayer::kNotHandled) return answer;
    }
    return WinView::OnMessage(message, wParam, lParam);
}

void TestControl::OnDestroying() {
    if (journal) journal->push_back("destroying " + std::string(text.Bytes(), text.Length()));
}

int TestControl::Received(UINT message) const {
    int count = 0;
    for (const auto& m : messages) count += m.first == message;
    return count;
}

std::vector<WPARAM> TestControl::ParametersOf(UINT message) const {
    std::vector<WPARAM> values;
    for (const auto& m : messages)
        if (m.first == message) values.push_back(m.second);
    return values;
}

TestDialog::TestDialog(const char* windowClass, const std::wstring& title, RECT windowRect) {
    className = RawLayer::RawString::FromText(windowClass);
    text = RawLayer::RawString::FromWideText(title.c_str()).As(RawLayer::KindUtf8);
    style = WS_OVERLAPPEDWINDOW;
    rect = windowRect;
}

void TestDialog::CreateChildren() {
    if (makeChildren) makeChildren(*this);
}

LRESULT TestDialog::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (handler) {
        const LRESULT answer = handler(message, wParam, lParam);
        if (answer != WinLayer::kNotHandled) return answer;
    }
    if (message == WM_PAINT && paintColour != CLR_INVALID) {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(window, &paint);
        HBRUSH brush = CreateSolidBrush(paintColour);
        RECT client;
        GetClientRect(window, &client);
        FillRect(dc, &client, brush);
        DeleteObject(brush);
        EndPaint(window, &paint);
        return 0;
    }
    return WinDialog::OnMessage(message, wParam, lParam);
}

LRESULT TestDialog::OnCommand(uint16_t code) {
    journal.push_back("command " + std::to_string(code));
    return WinDialog::OnCommand(code);
}

LRESULT TestDialog::OnChildCommand(WinLayer::WinView* child, uint16_t code) {
    journal.push_back("child command " + std::to_string(child ? child->controlId : 0) + " " + std::to_string(code));
    return WinDialog::OnChildCommand(child, code);
}

void TestDialog::SavePlacement(int32_t stateLeft, int32_t stateEntered) {
    journal.push_back("placement " + std::to_string(stateLeft) + " " + std::to_string(stateEntered));
}

void TestDialog::OnDestroying() { journal.push_back("destroying dialog"); }

// ---- pumping ---------------------------------------------------------------------

bool PumpUntilIdle(DWORD limitMs, DWORD quietMs) {
    const DWORD start = GetTickCount();
    DWORD lastMessage = start;
    for (;;) {
        const DWORD now = GetTickCount();
        if (StepOne()) {
            lastMessage = GetTickCount();
        } else if (now - lastMessage >= quietMs) {
            return true;
        } else {
            WaitForInput(5);
        }
        if (GetTickCount() - start >= limitMs) return false;
    }
}

void PumpFor(DWORD ms) {
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < ms) {
        if (!StepOne()) WaitForInput(5);
    }
}

bool PumpUntil(const std::function<bool()>& condition, DWORD limitMs) {
    const DWORD start = GetTickCount();
    while (!condition()) {
        if (GetTickCount() - start >= limitMs) return false;
        if (!StepOne()) WaitForInput(5);
    }
    return true;
}

int QuitsSeen() { return g_quits; }

std::wstring WindowTitle(HWND window) {
    const int length = GetWindowTextLengthW(window);
    std::wstring title(static_cast<size_t>(length > 0 ? length : 0) + 1, L'\0');
    const int copied = GetWindowTextW(window, &title[0], static_cast<int>(title.size()));
    title.resize(copied > 0 ? static_cast<size_t>(copied) : 0);
    return title;
}

int DrainQuit() {
    int drained = 0;
    MSG message;
    while (drained < 100 && PeekMessageW(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) ++drained;
    return drained;
}

// ---- timed callbacks ---------------------------------------------------------------

namespace {

std::map<UINT_PTR, std::function<void()>>& Callbacks() {
    static std::map<UINT_PTR, std::function<void()>> callbacks;
    return callbacks;
}

void CALLBACK RunTimedCallback(HWND, UINT, UINT_PTR id, DWORD) {
    KillTimer(nullptr, id);
    auto found = Callbacks().find(id);
    if (found == Callbacks().end()) return;
    std::function<void()> callback = std::move(found->second);
    Callbacks().erase(found);
    callback();
}

}  // namespace

void RunLater(DWORD ms, std::function<void()> callback) {
    const UINT_PTR id = SetTimer(nullptr, 0, ms, RunTimedCallback);
    ASSERT_NE(id, 0u) << "no timer for a timed callback";
    Callbacks()[id] = std::move(callback);
}

namespace {

BOOL CALLBACK FindThreadSystemDialog(HWND window, LPARAM found) {
    wchar_t name[16] = {};
    GetClassNameW(window, name, 15);
    if (std::wstring(name) != L"#32770" || !IsWindowVisible(window)) return TRUE;
    *reinterpret_cast<HWND*>(found) = window;
    return FALSE;
}

void LookForSystemDialog(std::shared_ptr<std::function<void(HWND)>> answer, DWORD triesLeft) {
    HWND dialog = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), FindThreadSystemDialog, reinterpret_cast<LPARAM>(&dialog));
    if (dialog) {
        (*answer)(dialog);
        return;
    }
    if (triesLeft == 0) return;
    RunLater(50, [answer, triesLeft] { LookForSystemDialog(answer, triesLeft - 1); });
}

}  // namespace

void WhenSystemDialogUp(std::function<void(HWND)> answer, DWORD limitMs) {
    auto shared = std::make_shared<std::function<void(HWND)>>(std::move(answer));
    RunLater(50, [shared, limitMs] { LookForSystemDialog(shared, limitMs / 50); });
}

void AnswerSystemDialog(WPARAM command, bool* seen, DWORD limitMs) {
    if (seen) *seen = false;
    WhenSystemDialogUp(
        [command, seen](HWND dialog) {
            if (seen) *seen = true;
            PostMessageW(dialog, WM_COMMAND, command, 0);
        },
        limitMs);
}

// ---- watchdog ----------------------------------------------------------------------

namespace {

// How long a thread that no longer takes messages may stay hung before the
// process is ended.
constexpr DWORD kHardHangGrace = 5000;

}  // namespace

struct ModalWatchdog::State {
    HANDLE stop = nullptr;
    DWORD guiThread = 0;
    DWORD limit = 0;
    std::atomic<bool> fired{false};
};

namespace {

DWORD WINAPI WatchdogThread(void* parameter) {
    auto* state = static_cast<std::shared_ptr<ModalWatchdog::State>*>(parameter);
    std::shared_ptr<ModalWatchdog::State> s = *state;
    delete state;
    if (WaitForSingleObject(s->stop, s->limit) != WAIT_TIMEOUT) return 0;
    s->fired = true;
    // A posted quit comes before paints and timers, so even a loop that
    // spins on WM_PAINT takes it.
    PostThreadMessageW(s->guiThread, WM_QUIT, 0, 0);
    if (WaitForSingleObject(s->stop, kHardHangGrace) == WAIT_TIMEOUT) {
        std::fputs("\nwatchdog: the GUI thread takes no messages any more; ending the test\n", stderr);
        std::fflush(stderr);
        TerminateProcess(GetCurrentProcess(), 3);
    }
    return 0;
}

BOOL CALLBACK DestroyThreadWindow(HWND window, LPARAM) {
    DestroyWindow(window);
    return TRUE;
}

}  // namespace

ModalWatchdog::ModalWatchdog(DWORD limitMs) : state_(std::make_shared<State>()), thread_(nullptr) {
    state_->stop = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    state_->guiThread = GetCurrentThreadId();
    state_->limit = limitMs;
    thread_ = CreateThread(nullptr, 0, WatchdogThread, new std::shared_ptr<State>(state_), 0, nullptr);
}

ModalWatchdog::~ModalWatchdog() {
    SetEvent(state_->stop);
    if (thread_) {
        WaitForSingleObject(thread_, INFINITE);
        CloseHandle(thread_);
    }
    CloseHandle(state_->stop);
    if (state_->fired) {
        ADD_FAILURE() << "a modal run outlived its limit of " << state_->limit << " ms";
        EnumThreadWindows(GetCurrentThreadId(), DestroyThreadWindow, 0);
        PumpUntilIdle(500);
        DrainQuit();
    }
}

bool ModalWatchdog::Fired() const { return state_->fired; }

// ---- pixels ------------------------------------------------------------------------------

DibCanvas::DibCanvas(int width, int height, COLORREF fill)
    : width_(width > 0 ? width : 1), height_(height > 0 ? height : 1) {
    BITMAPINFO info = WinLayer::WinBitmapAlpha::TopDownHeader(width_, height_);
    void* bits = nullptr;
    bitmap_ = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    bits_ = static_cast<uint32_t*>(bits);
    dc_ = CreateCompatibleDC(nullptr);
    if (dc_ && bitmap_) previous_ = SelectObject(dc_, bitmap_);
    Fill(fill);
}

DibCanvas::~DibCanvas() {
    if (dc_) {
        if (previous_) SelectObject(dc_, previous_);
        DeleteDC(dc_);
    }
    if (bitmap_) DeleteObject(bitmap_);
}

DibCanvas::DibCanvas(DibCanvas&& other) noexcept
    : dc_(other.dc_), bitmap_(other.bitmap_), previous_(other.previous_), bits_(other.bits_), width_(other.width_),
      height_(other.height_) {
    other.dc_ = nullptr;
    other.bitmap_ = nullptr;
    other.previous_ = nullptr;
    other.bits_ = nullptr;
}

DibCanvas DibCanvas::CaptureClient(HWND window) {
    UpdateWindow(window);
    RECT client{};
    GetClientRect(window, &client);
    DibCanvas canvas(client.right, client.bottom, RGB(0, 0, 0));
    HDC source = GetDC(window);
    BitBlt(canvas.dc_, 0, 0, canvas.width_, canvas.height_, source, 0, 0, SRCCOPY);
    ReleaseDC(window, source);
    GdiFlush();
    return canvas;
}

void DibCanvas::Fill(COLORREF colour) {
    if (!bits_) return;
    GdiFlush();
    const uint32_t value = (GetRValue(colour) << 16) | (GetGValue(colour) << 8) | GetBValue(colour);
    for (int i = 0, n = width_ * height_; i < n; ++i) bits_[i] = value;
}

COLORREF DibCanvas::Pixel(int x, int y) const {
    if (!bits_ || x < 0 || y < 0 || x >= width_ || y >= height_) return CLR_INVALID;
    GdiFlush();
    const uint32_t v = bits_[y * width_ + x];
    return RGB((v >> 16) & 0xFF, (v >> 8) & 0xFF, v & 0xFF);
}

int DibCanvas::CountColor(const RECT& area, COLORREF colour) const {
    int count = 0;
    for (int y = std::max<LONG>(area.top, 0); y < std::min<LONG>(area.bottom, height_); ++y) {
        for (int x = std::max<LONG>(area.left, 0); x < std::min<LONG>(area.right, width_); ++x) {
            if (Pixel(x, y) == colour) ++count;
        }
    }
    return count;
}

int DibCanvas::CountColor(COLORREF colour) const { return CountColor(RECT{0, 0, width_, height_}, colour); }

RECT DibCanvas::BoundsOf(COLORREF colour) const {
    RECT bounds{width_, height_, 0, 0};
    for (int y = 0; y < height_; ++y) {
        for (int x = 0; x < width_; ++x) {
            if (Pixel(x, y) != colour) continue;
            bounds.left = std::min<LONG>(bounds.left, x);
            bounds.top = std::min<LONG>(bounds.top, y);
            bounds.right = std::max<LONG>(bounds.right, x + 1);
            bounds.bottom = std::max<LONG>(bounds.bottom, y + 1);
        }
    }
    if (bounds.right <= bounds.left) return RECT{};
    return bounds;
}

bool DibCanvas::SameAs(const DibCanvas& other) const {
    if (width_ != other.width_ || height_ != other.height_ || !bits_ || !other.bits_) return false;
    GdiFlush();
    for (int i = 0, n = width_ * height_; i < n; ++i) {
        if ((bits_[i] & 0xFFFFFF) != (other.bits_[i] & 0xFFFFFF)) return false;
    }
    return true;
}

// ---- input --------------------------------------------------------------------------------

void SetModifiers(bool shift, bool ctrl, bool alt) {
    BYTE keys[256];
    GetKeyboardState(keys);
    const BYTE down = 0x80;
    keys[VK_SHIFT] = keys[VK_LSHIFT] = shift ? down : 0;
    keys[VK_CONTROL] = keys[VK_LCONTROL] = ctrl ? down : 0;
    keys[VK_MENU] = keys[VK_LMENU] = alt ? down : 0;
    SetKeyboardState(keys);
}

LPARAM KeyLParam(UINT virtualKey, bool up) {
    const UINT scan = MapVirtualKeyW(virtualKey, MAPVK_VK_TO_VSC);
    uint32_t value = 1 | ((scan & 0xFF) << 16);
    if (up) value |= (1u << 30) | (1u << 31);
    return static_cast<LPARAM>(static_cast<LONG>(value));
}

void PostKey(HWND window, UINT virtualKey) {
    PostMessageW(window, WM_KEYDOWN, virtualKey, KeyLParam(virtualKey, false));
    PostMessageW(window, WM_KEYUP, virtualKey, KeyLParam(virtualKey, true));
}

void SendKey(HWND window, UINT virtualKey) {
    SendMessageW(window, WM_KEYDOWN, virtualKey, KeyLParam(virtualKey, false));
    SendMessageW(window, WM_KEYUP, virtualKey, KeyLParam(virtualKey, true));
}

void PostChar(HWND window, wchar_t unit) { PostMessageW(window, WM_CHAR, unit, 1); }

void PostMouse(HWND window, UINT message, int x, int y, WPARAM keys) {
    PostMessageW(window, message, keys, MAKELPARAM(x, y));
}

LRESULT SendMouse(HWND window, UINT message, int x, int y, WPARAM keys) {
    return SendMessageW(window, message, keys, MAKELPARAM(x, y));
}

void RealClick(HWND window, int x, int y) {
    POINT point{x, y};
    ClientToScreen(window, &point);
    SetCursorPos(point.x, point.y);
    INPUT inputs[2] = {};
    inputs[0].type = inputs[1].type = INPUT_MOUSE;
    inputs[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    inputs[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
    SendInput(2, inputs, sizeof(INPUT));
}

void RealKey(WORD virtualKey) {
    INPUT inputs[2] = {};
    inputs[0].type = inputs[1].type = INPUT_KEYBOARD;
    inputs[0].ki.wVk = inputs[1].ki.wVk = virtualKey;
    inputs[1].ki.dwFlags = KEYEVENTF_KEYUP;
    SendInput(2, inputs, sizeof(INPUT));
}

void RealKeyState(WORD virtualKey, bool down) {
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = virtualKey;
    input.ki.dwFlags = down ? 0 : KEYEVENTF_KEYUP;
    SendInput(1, &input, sizeof(INPUT));
}

void RealMouseMove(HWND window, int x, int y) {
    POINT point{x, y};
    ClientToScreen(window, &point);
    // Absolute input runs from 0 to 65535 over the primary screen.
    const int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.dx = static_cast<LONG>((point.x * 65536LL + width / 2) / width);
    input.mi.dy = static_cast<LONG>((point.y * 65536LL + height / 2) / height);
    input.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    SendInput(1, &input, sizeof(INPUT));
}

void RealLeftButton(bool down) {
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.dwFlags = down ? MOUSEEVENTF_LEFTDOWN : MOUSEEVENTF_LEFTUP;
    SendInput(1, &input, sizeof(INPUT));
}

// ---- message counts -------------------------------------------------------------------------

namespace {
MessageCounter* g_counter = nullptr;
}  // namespace

MessageCounter::MessageCounter() {
    g_counter = this;
    hook_ = SetWindowsHookExW(WH_GETMESSAGE, Hook, nullptr, GetCurrentThreadId());
}

MessageCounter::~MessageCounter() {
    if (hook_) UnhookWindowsHookEx(hook_);
    if (g_counter == this) g_counter = nullptr;
}

LRESULT CALLBACK MessageCounter::Hook(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HC_ACTION && wParam == PM_REMOVE && g_counter) {
        const MSG* message = reinterpret_cast<const MSG*>(lParam);
        ++g_counter->counts_[std::make_pair(message->hwnd, message->message)];
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

int MessageCounter::Count(HWND window, UINT message) const {
    auto found = counts_.find(std::make_pair(window, message));
    return found == counts_.end() ? 0 : found->second;
}

void MessageCounter::Reset() { counts_.clear(); }

// ---- GDI --------------------------------------------------------------------------------------

struct GdiHog::Objects {
    std::vector<HGDIOBJ> taken;
};

GdiHog::GdiHog(int leaveFree) : objects_(new Objects) {
    // Far beyond any GDI table (Wine's held about 65,380 objects).
    constexpr size_t kMostObjects = 200000;
    objects_->taken.reserve(70000);
    while (objects_->taken.size() < kMostObjects) {
        HRGN region = CreateRectRgn(0, 0, 1, 1);
        if (!region) break;
        objects_->taken.push_back(region);
    }
    for (int i = 0; i < leaveFree && !objects_->taken.empty(); ++i) {
        DeleteObject(objects_->taken.back());
        objects_->taken.pop_back();
    }
}

GdiHog::~GdiHog() {
    for (HGDIOBJ object : objects_->taken) DeleteObject(object);
}

int GdiHog::Taken() const { return static_cast<int>(objects_->taken.size()); }

// ---- icons -------------------------------------------------------------------------------------

HICON MakeIcon(int width, int height, const std::function<uint32_t(int, int)>& colour,
               const std::function<bool(int, int)>& masked) {
    // The mask: one bit per pixel, rows padded to 16 bits; a monochrome
    // icon's mask holds the AND half over the XOR half.
    const int rowBytes = ((width + 15) / 16) * 2;
    const int maskRows = colour ? height : 2 * height;
    std::vector<uint8_t> bits(static_cast<size_t>(rowBytes) * maskRows, 0);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            if (masked && masked(x, y)) bits[y * rowBytes + x / 8] |= static_cast<uint8_t>(0x80 >> (x % 8));
        }
    }
    HBITMAP mask = CreateBitmap(width, maskRows, 1, 1, bits.data());
    HBITMAP pixels = nullptr;
    if (colour) {
        BITMAPINFO info = WinLayer::WinBitmapAlpha::TopDownHeader(width, height);
        void* memory = nullptr;
        pixels = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &memory, nullptr, 0);
        auto* out = static_cast<uint32_t*>(memory);
        for (int y = 0; y < height && out; ++y)
            for (int x = 0; x < width; ++x) out[y * width + x] = colour(x, y);
        GdiFlush();
    }
    ICONINFO info{};
    info.fIcon = TRUE;
    info.hbmMask = mask;
    info.hbmColor = pixels;
    HICON icon = CreateIconIndirect(&info);
    DeleteObject(mask);
    if (pixels) DeleteObject(pixels);
    return icon;
}

// ---- names ------------------------------------------------------------------------------------

std::string MessageName(UINT message) {
#define TAVREL_MESSAGE_NAME(name) {name, #name}
    static const std::map<UINT, const char*> names = {
        TAVREL_MESSAGE_NAME(WM_NULL), TAVREL_MESSAGE_NAME(WM_CREATE), TAVREL_MESSAGE_NAME(WM_DESTROY),
        TAVREL_MESSAGE_NAME(WM_MOVE), TAVREL_MESSAGE_NAME(WM_SIZE), TAVREL_MESSAGE_NAME(WM_ACTIVATE),
        TAVREL_MESSAGE_NAME(WM_SETFOCUS), TAVREL_MESSAGE_NAME(WM_KILLFOCUS), TAVREL_MESSAGE_NAME(WM_ENABLE),
        TAVREL_MESSAGE_NAME(WM_SETTEXT), TAVREL_MESSAGE_NAME(WM_GETTEXT), TAVREL_MESSAGE_NAME(WM_PAINT),
        TAVREL_MESSAGE_NAME(WM_CLOSE), TAVREL_MESSAGE_NAME(WM_QUIT), TAVREL_MESSAGE_NAME(WM_ERASEBKGND),
        TAVREL_MESSAGE_NAME(WM_SHOWWINDOW), TAVREL_MESSAGE_NAME(WM_ACTIVATEAPP), TAVREL_MESSAGE_NAME(WM_SETCURSOR),
        TAVREL_MESSAGE_NAME(WM_MOUSEACTIVATE), TAVREL_MESSAGE_NAME(WM_GETMINMAXINFO),
        TAVREL_MESSAGE_NAME(WM_DRAWITEM), TAVREL_MESSAGE_NAME(WM_MEASUREITEM), TAVREL_MESSAGE_NAME(WM_SETFONT),
        TAVREL_MESSAGE_NAME(WM_WINDOWPOSCHANGING), TAVREL_MESSAGE_NAME(WM_WINDOWPOSCHANGED),
        TAVREL_MESSAGE_NAME(WM_NCCREATE), TAVREL_MESSAGE_NAME(WM_NCDESTROY), TAVREL_MESSAGE_NAME(WM_NCCALCSIZE),
        TAVREL_MESSAGE_NAME(WM_NCHITTEST), TAVREL_MESSAGE_NAME(WM_NCPAINT), TAVREL_MESSAGE_NAME(WM_NCACTIVATE),
        TAVREL_MESSAGE_NAME(WM_NCMOUSEMOVE), TAVREL_MESSAGE_NAME(WM_NCLBUTTONDOWN),
        TAVREL_MESSAGE_NAME(WM_NCLBUTTONUP), TAVREL_MESSAGE_NAME(WM_KEYDOWN), TAVREL_MESSAGE_NAME(WM_KEYUP),
        TAVREL_MESSAGE_NAME(WM_CHAR), TAVREL_MESSAGE_NAME(WM_SYSKEYDOWN), TAVREL_MESSAGE_NAME(WM_SYSKEYUP),
        TAVREL_MESSAGE_NAME(WM_SYSCHAR), TAVREL_MESSAGE_NAME(WM_COMMAND), TAVREL_MESSAGE_NAME(WM_SYSCOMMAND),
        TAVREL_MESSAGE_NAME(WM_TIMER), TAVREL_MESSAGE_NAME(WM_INITMENUPOPUP), TAVREL_MESSAGE_NAME(WM_CTLCOLOREDIT),
        TAVREL_MESSAGE_NAME(WM_CTLCOLORSTATIC), TAVREL_MESSAGE_NAME(WM_CTLCOLORBTN),
        TAVREL_MESSAGE_NAME(WM_MOUSEMOVE), TAVREL_MESSAGE_NAME(WM_LBUTTONDOWN), TAVREL_MESSAGE_NAME(WM_LBUTTONUP),
        TAVREL_MESSAGE_NAME(WM_LBUTTONDBLCLK), TAVREL_MESSAGE_NAME(WM_RBUTTONDOWN),
        TAVREL_MESSAGE_NAME(WM_RBUTTONUP), TAVREL_MESSAGE_NAME(WM_MOUSEWHEEL), TAVREL_MESSAGE_NAME(WM_PARENTNOTIFY),
        TAVREL_MESSAGE_NAME(WM_ENTERMENULOOP), TAVREL_MESSAGE_NAME(WM_EXITMENULOOP),
        TAVREL_MESSAGE_NAME(WM_CAPTURECHANGED), TAVREL_MESSAGE_NAME(WM_DROPFILES), TAVREL_MESSAGE_NAME(WM_ENDSESSION),
        TAVREL_MESSAGE_NAME(WM_IME_STARTCOMPOSITION), TAVREL_MESSAGE_NAME(WM_IME_COMPOSITION),
        TAVREL_MESSAGE_NAME(WM_IME_ENDCOMPOSITION), TAVREL_MESSAGE_NAME(WM_MOUSELEAVE),
        TAVREL_MESSAGE_NAME(WM_MOUSEHOVER),
        {WinLayer::WinMessage::ActivateModal, "WinMessage::ActivateModal"},
        {WinLayer::WinMessage::BringToFront, "WinMessage::BringToFront"},
        {WinLayer::WinMessage::FocusNext, "WinMessage::FocusNext"},
        {WinLayer::WinMessage::MenuCommand, "WinMessage::MenuCommand"},
        {WinLayer::WinMessage::PressButton, "WinMessage::PressButton"},
        {WinLayer::WinMessage::PathDialogCommand, "WinMessage::PathDialogCommand"},
    };
#undef TAVREL_MESSAGE_NAME
    auto found = names.find(message);
    if (found != names.end()) return found->second;
    char text[16];
    std::snprintf(text, sizeof(text), "0x%X", message);
    return text;
}

}  // namespace TestSupport
