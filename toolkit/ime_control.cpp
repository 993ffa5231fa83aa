// Input method support for owner-drawn views.
#include "toolkit/ime_control.h"

#include <algorithm>
#include <cstring>

namespace WinLayer {

using RawLayer::KindUtf16;
using RawLayer::RawRange;
using RawLayer::RawString;

namespace {

constexpr int32_t kReconvertHeader = static_cast<int32_t>(sizeof(RECONVERTSTRING));

}  // namespace

int32_t ReconvertSize(int32_t units) { return kReconvertHeader + 2 * units; }

bool FillReconvert(RECONVERTSTRING& record, const wchar_t* text, int32_t units) {
    if (units < 0 || static_cast<int64_t>(record.dwSize) < ReconvertSize(units)) return false;
    record.dwStrLen = static_cast<DWORD>(units);
    record.dwStrOffset = static_cast<DWORD>(kReconvertHeader);
    record.dwCompStrLen = static_cast<DWORD>(units);
    record.dwCompStrOffset = 0;
    record.dwTargetStrLen = static_cast<DWORD>(units);
    record.dwTargetStrOffset = 0;
    if (units > 0) std::memcpy(reinterpret_cast<char*>(&record) + kReconvertHeader, text, static_cast<size_t>(units) * 2);
    return true;
}

void AttributedText::Construct() { ClearAttributedText(*this); }

void ClearAttributedText(AttributedText& text) {
    text.text = RawString(text.text.Kind());
    text.clauses.clear();
    text.attributes.clear();
}

WinImeControl::WinImeControl(WinView& owner) : view(owner) { InitializeCriticalSection(&lock_); }

WinImeControl::~WinImeControl() {
    Release();
    DeleteCriticalSection(&lock_);
}

bool WinImeControl::HasState(uint16_t state) const {
    EnterCriticalSection(&lock_);
    const bool on = (state_ & state) != 0;
    LeaveCriticalSection(&lock_);
    return on;
}

void WinImeControl::SetState(uint16_t state, bool on) {
    EnterCriticalSection(&lock_);
    state_ = static_cast<uint16_t>(on ? (state_ | state) : (state_ & ~state));
    LeaveCriticalSection(&lock_);
}

void WinImeControl::OnStartComposition() {}
void WinImeControl::OnEndComposition() {}
void WinImeControl::OnComposition(const WinImeComposition&) {}
void WinImeControl::OnOpenStatus(bool) {}

void WinImeControl::QueryCharPosition(IMECHARPOSITION& position) {
    RECT rect{};
    if (view.window) GetWindowRect(view.window, &rect);
    position.dwSize = sizeof(IMECHARPOSITION);
    position.dwCharPos = 0;
    position.pt = POINT{rect.left, rect.top};
    position.cLineHeight = static_cast<UINT>(rect.bottom - rect.top);
    position.rcDocument = rect;
}

void WinImeControl::SetCompositionFont() {
    LOGFONTW description = view.GetEffectiveFont().description;
    ImmSetCompositionFontW(context, &description);
}

bool WinImeControl::PrepareReconversion() { return false; }

bool WinImeControl::Attach() {
    if (!context) context = ImmCreateContext();
    if (!context || !view.window) return false;
    ImmAssociateContext(view.window, context);
    SetState(StateAssociated, true);
    return true;
}

void WinImeControl::SetOpen(bool open) {
    if (HasState(StateOpen) == open) return;
    SetState(StateOpen, open);
    if (context) ImmSetOpenStatus(context, open ? TRUE : FALSE);
}

void WinImeControl::Release() {
    if (HasState(StateAssociated)) {
        SetState(StateAssociated, false);
        if (view.window) ImmAssociateContext(view.window, nullptr);
    }
    if (context) ImmDestroyContext(context);
    context = nullptr;
}

void WinImeControl::CopyComposition(AttributedText& target, const AttributedText& source) {
    target.text = source.text;
    target.clauses = source.clauses;
    target.attributes = source.attributes;
}

bool WinImeControl::ReadString(DWORD index, AttributedText& target) {
    const LONG bytes = ImmGetCompositionStringW(context, index, nullptr, 0);
    if (bytes <= 0) return false;
    const LONG wanted = std::min<LONG>(bytes, kMaxUnits * 2);
    lastUnits_.assign(static_cast<size_t>(kMaxUnits) + 1, 0);
    const LONG got = ImmGetCompositionStringW(context, index, lastUnits_.data(), static_cast<DWORD>(wanted));
    if (got < 0) {
        lastUnits_.clear();
        return false;
    }
    lastUnits_.resize(static_cast<size_t>(std::min(got, wanted) / 2));
    const RawString wide = RawString::FromWideText(lastUnits_.data(), static_cast<int32_t>(lastUnits_.size()));
    target.text = composition.kind == KindUtf16 ? wide : wide.As(composition.kind);
    return true;
}

void WinImeControl::ReadClauses(DWORD index, AttributedText& target, const std::vector<wchar_t>& units) {
    DWORD offsets[kMaxClauseOffsets] = {};
    const LONG bytes = ImmGetCompositionStringW(context, index, offsets, sizeof(offsets));
    const int32_t count = bytes > 0 ? std::min<int32_t>(bytes / 4, kMaxClauseOffsets) : 0;
    const int32_t length = static_cast<int32_t>(units.size());
    // Offsets count UTF-16 units; the string may be in another kind.
    const auto place = [&](int32_t offset) {
        if (composition.kind == KindUtf16) return offset;
        return RawString::FromWideText(units.data(), offset).As(composition.kind).Length();
    };
    int32_t previous = 0;
    int32_t previousIndex = 0;
    for (int32_t i = 0; i < count; ++i) {
        const int32_t offset = std::max(previous, std::min(static_cast<int32_t>(offsets[i]), length));
        const int32_t at = place(offset);
        if (i > 0) target.clauses.push_back(RawRange{previousIndex, at});
        previous = offset;
        previousIndex = at;
    }
}

void WinImeControl::ReadAttributes(DWORD index, AttributedText& target) {
    const LONG bytes = ImmGetCompositionStringW(context, index, nullptr, 0);
    if (bytes <= 0) return;
    target.attributes.assign(static_cast<size_t>(std::min<LONG>(bytes, kMaxUnits)), 0);
    const LONG got = ImmGetCompositionStringW(context, index, target.attributes.data(),
                                              static_cast<DWORD>(target.attributes.size()));
    target.attributes.resize(got > 0 ? std::min<size_t>(static_cast<size_t>(got), target.attributes.size()) : 0);
}

void WinImeControl::ReadComposition(LPARAM flags) {
    const auto empty = [this] {
        composition.kind = view.text.Kind();
        composition.contents = 0;
        composition.cursor = 0;
        ClearAttributedText(composition.main);
        ClearAttributedText(composition.reading);
    };
    empty();
    if ((flags & GCS_COMPSTR) && ReadString(GCS_COMPSTR, composition.main)) {
        composition.contents |= WinImeComposition::ContentComposition;
        if (flags & GCS_COMPCLAUSE) ReadClauses(GCS_COMPCLAUSE, composition.main, lastUnits_);
        if (flags & GCS_COMPATTR) ReadAttributes(GCS_COMPATTR, composition.main);
    }
    if ((flags & GCS_COMPREADSTR) && ReadString(GCS_COMPREADSTR, composition.reading)) {
        composition.contents |= WinImeComposition::ContentCompositionReading;
        if (flags & GCS_COMPREADCLAUSE) ReadClauses(GCS_COMPREADCLAUSE, composition.reading, lastUnits_);
        if (flags & GCS_COMPREADATTR) ReadAttributes(GCS_COMPREADATTR, composition.reading);
    }
    if (flags & GCS_CURSORPOS) composition.cursor = ImmGetCompositionStringW(context, GCS_CURSORPOS, nullptr, 0);
    if (composition.contents & WinImeComposition::ContentComposition) OnComposition(composition);

    empty();
    if ((flags & GCS_RESULTSTR) && ReadString(GCS_RESULTSTR, composition.main)) {
        composition.contents |= WinImeComposition::ContentResult;
        if (flags & GCS_RESULTCLAUSE) ReadClauses(GCS_RESULTCLAUSE, composition.main, lastUnits_);
    }
    if ((flags & GCS_RESULTREADSTR) && ReadString(GCS_RESULTREADSTR, composition.reading)) {
        composition.contents |= WinImeComposition::ContentResultReading;
        if (flags & GCS_RESULTREADCLAUSE) ReadClauses(GCS_RESULTREADCLAUSE, composition.reading, lastUnits_);
    }
    if (composition.contents & WinImeComposition::ContentResult) OnComposition(composition);
}

LRESULT WinImeControl::Reconvert(RECONVERTSTRING* buffer) {
    if (!PrepareReconversion()) return 0;
    const RawString wide = composition.main.text.As(KindUtf16);
    const int32_t units = wide.Length();
    if (units == 0) return 0;
    if (!buffer) return ReconvertSize(units);
    return FillReconvert(*buffer, wide.Wide(), units) ? 1 : 0;
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
        ReadComposition(lParam);
        return 0;
    case WM_IME_NOTIFY:
        if (wParam == IMN_SETOPENSTATUS) {
            const bool open = ImmGetOpenStatus(context) != FALSE;
            SetState(StateOpen, open);
            OnOpenStatus(open);
        }
        return 0;
    case WM_IME_CHAR:
        return 0;
    case WM_IME_REQUEST:
        if (wParam == IMR_QUERYCHARPOSITION && lParam) {
            QueryCharPosition(*reinterpret_cast<IMECHARPOSITION*>(lParam));
            return 1;
        }
        if (wParam == IMR_RECONVERTSTRING) return Reconvert(reinterpret_cast<RECONVERTSTRING*>(lParam));
        return 0;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
    case WM_KILLFOCUS:
        if (HasState(StateComposing)) ImmNotifyIME(context, NI_COMPOSITIONSTR, CPS_COMPLETE, 0);
        return kNotHandled;
    default:
        return kNotHandled;
    }
}

}  // namespace WinLayer
