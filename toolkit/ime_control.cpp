#include "toolkit/ime_control.h"

#include <cstring>
#include <vector>

#include "base/encoding.h"
#include "toolkit/environment.h"
#include "toolkit/win_message.h"

namespace WinLayer {

using RawLayer::RawString;

namespace {

// Clause offsets read at most (a 200-byte buffer).
constexpr int32_t kMaxClauseOffsets = 50;
// The longest string read, in bytes: far beyond any composition, and a
// bound on what a broken input method could make the control allocate.
constexpr LONG kMaxStringBytes = 1 << 21;
// The header of a RECONVERTSTRING record.
constexpr DWORD kReconvertHeader = 32;

}  // namespace

void ClearAttributedText(AttributedText& text) {
    text.text = RawString();
    text.clauses.Clear();
    text.attributes.Clear();
}

WinImeControl::WinImeControl(WinView& owner) : view(owner) {
    InitializeCriticalSection(&lock_);
    composition.kind = WinEnvironment::Instance().textKind;
}

WinImeControl::~WinImeControl() {
    Release();
    DeleteCriticalSection(&lock_);
}

void WinImeControl::OnStartComposition() {}
void WinImeControl::OnEndComposition() {}
void WinImeControl::OnComposition(const WinImeComposition&) {}
void WinImeControl::OnOpenStatus(bool) {}

void WinImeControl::QueryCharPosition(IMECHARPOSITION* position) {
    if (!position) return;
    RECT rect = {0, 0, 0, 0};
    if (view.window) GetWindowRect(view.window, &rect);
    position->dwSize = sizeof(IMECHARPOSITION);
    position->dwCharPos = 0;
    position->pt.x = rect.left;
    position->pt.y = rect.top;
    position->cLineHeight = static_cast<UINT>(rect.bottom - rect.top);
    position->rcDocument = rect;
}

void WinImeControl::SetCompositionFont() {
    if (!context) return;
    LOGFONTW font = view.GetEffectiveFont().description;
    ImmSetCompositionFontW(context, &font);
}

bool WinImeControl::PrepareReconversion() { return false; }

uint16_t WinImeControl::State() const {
    EnterCriticalSection(const_cast<CRITICAL_SECTION*>(&lock_));
    uint16_t state = state_;
    LeaveCriticalSection(const_cast<CRITICAL_SECTION*>(&lock_));
    return state;
}

void WinImeControl::SetState(uint16_t bit, bool on) {
    EnterCriticalSection(&lock_);
    state_ = static_cast<uint16_t>(on ? (state_ | bit) : (state_ & ~bit));
    LeaveCriticalSection(&lock_);
}

bool WinImeControl::Attach() {
    if (context) return true;
    if (!view.window) return false;
    context = ImmCreateContext();
    if (!context) return false;
    ImmAssociateContext(view.window, context);
    SetState(StateAssociated, true);
    return true;
}

void WinImeControl::SetOpen(bool open) {
    if (((State() & StateOpen) != 0) == open) return;
    SetState(StateOpen, open);
    if (context) ImmSetOpenStatus(context, open ? TRUE : FALSE);
}

void WinImeControl::Release() {
    if (State() & StateAssociated) {
        SetState(StateAssociated, false);
        if (view.window && IsWindow(view.window)) ImmAssociateContext(view.window, nullptr);
    }
    if (context) {
        ImmDestroyContext(context);
        context = nullptr;
    }
}

void WinImeControl::CopyComposition(AttributedText& target, const AttributedText& source) {
    target.text = source.text;
    target.clauses = source.clauses;
    target.attributes = source.attributes;
}

bool WinImeControl::ReadString(DWORD stringIndex, DWORD clauseIndex, DWORD attributeIndex, AttributedText& out) {
    // A negative answer is an error code: nothing is read.
    LONG bytes = ImmGetCompositionStringW(context, stringIndex, nullptr, 0);
    if (bytes < 0) return false;
    if (bytes > kMaxStringBytes) bytes = kMaxStringBytes;
    int32_t units = static_cast<int32_t>(bytes / 2);
    std::vector<wchar_t> buffer(static_cast<size_t>(units) + 1, 0);
    if (units > 0) {
        LONG got = ImmGetCompositionStringW(context, stringIndex, buffer.data(), static_cast<DWORD>(units) * 2);
        if (got < 0) return false;
        if (got / 2 < units) units = static_cast<int32_t>(got / 2);
    }
    RawString wide = RawString::FromWideText(buffer.data(), units);
    out.text = wide.As(static_cast<uint8_t>(composition.kind));

    if (clauseIndex) {
        DWORD offsets[kMaxClauseOffsets] = {};
        LONG got = ImmGetCompositionStringW(context, clauseIndex, offsets, sizeof(offsets));
        int32_t count = got > 0 ? static_cast<int32_t>(got / sizeof(DWORD)) : 0;
        if (count > kMaxClauseOffsets) count = kMaxClauseOffsets;
        // Offsets count UTF-16 units: each becomes the index of the same
        // place in the stored string, clamped to it and kept ascending.
        std::vector<int32_t> index;
        DWORD previous = 0;
        for (int32_t i = 0; i < count; ++i) {
            DWORD offset = offsets[i] > static_cast<DWORD>(units) ? static_cast<DWORD>(units) : offsets[i];
            if (offset < previous) offset = previous;
            previous = offset;
            RawString head = RawString::FromWideText(buffer.data(), static_cast<int32_t>(offset));
            index.push_back(head.As(static_cast<uint8_t>(composition.kind)).Length());
        }
        for (size_t i = 0; i + 1 < index.size(); ++i) out.clauses.Append(WinImeClause{index[i], index[i + 1]});
    }
    if (attributeIndex) {
        LONG size = ImmGetCompositionStringW(context, attributeIndex, nullptr, 0);
        if (size > units) size = units;
        if (size > 0) {
            std::vector<uint8_t> attributes(static_cast<size_t>(size), 0);
            LONG got = ImmGetCompositionStringW(context, attributeIndex, attributes.data(), static_cast<DWORD>(size));
            for (LONG i = 0; i < got && i < size; ++i) out.attributes.Append(attributes[static_cast<size_t>(i)]);
        }
    }
    return true;
}

void WinImeControl::OnCompositionMessage(LPARAM flags) {
    composition.contents = 0;
    composition.cursor = 0;
    ClearAttributedText(composition.main);
    ClearAttributedText(composition.reading);
    if ((flags & GCS_COMPSTR) &&
        ReadString(GCS_COMPSTR, (flags & GCS_COMPCLAUSE) ? GCS_COMPCLAUSE : 0, (flags & GCS_COMPATTR) ? GCS_COMPATTR : 0,
                   composition.main))
        composition.contents |= WinImeComposition::CompositionRead;
    if ((flags & GCS_COMPREADSTR) &&
        ReadString(GCS_COMPREADSTR, (flags & GCS_COMPREADCLAUSE) ? GCS_COMPREADCLAUSE : 0,
                   (flags & GCS_COMPREADATTR) ? GCS_COMPREADATTR : 0, composition.reading))
        composition.contents |= WinImeComposition::CompositionReadingRead;
    if (flags & GCS_CURSORPOS) {
        LONG cursor = ImmGetCompositionStringW(context, GCS_CURSORPOS, nullptr, 0);
        composition.cursor = cursor < 0 ? 0 : static_cast<int32_t>(cursor);
    }
    if (composition.contents & WinImeComposition::CompositionRead) OnComposition(composition);

    composition.contents = 0;
    composition.cursor = 0;
    ClearAttributedText(composition.main);
    ClearAttributedText(composition.reading);
    if ((flags & GCS_RESULTSTR) &&
        ReadString(GCS_RESULTSTR, (flags & GCS_RESULTCLAUSE) ? GCS_RESULTCLAUSE : 0, 0, composition.main))
        composition.contents |= WinImeComposition::ResultRead;
    if ((flags & GCS_RESULTREADSTR) &&
        ReadString(GCS_RESULTREADSTR, (flags & GCS_RESULTREADCLAUSE) ? GCS_RESULTREADCLAUSE : 0, 0,
                   composition.reading))
        composition.contents |= WinImeComposition::ResultReadingRead;
    if (composition.contents & WinImeComposition::ResultRead) OnComposition(composition);
}

LRESULT WinImeControl::OnRequest(WPARAM request, LPARAM data) {
    if (request == IMR_QUERYCHARPOSITION) {
        QueryCharPosition(reinterpret_cast<IMECHARPOSITION*>(data));
        return 1;
    }
    if (request != IMR_RECONVERTSTRING || !PrepareReconversion()) return 0;
    RawString wide = composition.main.text.As(RawLayer::KindUtf16);
    const DWORD n = static_cast<DWORD>(wide.Length());
    if (n == 0) return 0;
    if (!data) return static_cast<LRESULT>(2 * n + kReconvertHeader);
    RECONVERTSTRING* record = reinterpret_cast<RECONVERTSTRING*>(data);
    // The caller's record must hold the text: a short one is never written.
    if (record->dwSize < kReconvertHeader + 2 * n) return 0;
    record->dwStrLen = n;
    record->dwStrOffset = kReconvertHeader;
    record->dwCompStrLen = n;
    record->dwCompStrOffset = 0;
    record->dwTargetStrLen = n;
    record->dwTargetStrOffset = 0;
    std::memcpy(reinterpret_cast<uint8_t*>(record) + kReconvertHeader, wide.Wide(), 2 * n);
    return 1;
}

LRESULT WinImeControl::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (!context) return kNotHandled;
    switch (message) {
    case WM_IME_STARTCOMPOSITION:
        SetState(StateComposing, true);
        OnStartComposition();
        SetCompositionFont();
        return 0;
    case WM_IME_ENDCOMPOSITION:
        SetState(StateComposing, false);
        OnEndComposition();
        return 0;
    case WM_IME_COMPOSITION:
        OnCompositionMessage(lParam);
        return 0;
    case WM_IME_NOTIFY:
        if (wParam != IMN_SETOPENSTATUS) return kNotHandled;
        SetState(StateOpen, ImmGetOpenStatus(context) != FALSE);
        OnOpenStatus((State() & StateOpen) != 0);
        return 0;
    case WM_IME_CHAR:
        // The characters come through the result string.
        return 0;
    case WM_IME_REQUEST:
        return OnRequest(wParam, lParam);
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
    case WM_KILLFOCUS:
        if (Composing()) ImmNotifyIME(context, NI_COMPOSITIONSTR, CPS_COMPLETE, 0);
        return kNotHandled;
    default:
        return kNotHandled;
    }
}

}  // namespace WinLayer
