// Clipboard text and colour blend.
#include "base/clipboard.h"

#include <cstring>

#include "base/api_text.h"

namespace RawLayer {

namespace {

// Another program (or a clipboard viewer) may hold the clipboard for a
// moment: try a few times before giving up.
const int kOpenTries = 10;
const DWORD kOpenPauseMs = 20;

bool OpenClipboardRetrying() {
    for (int i = 0; i < kOpenTries; ++i) {
        if (OpenClipboard(nullptr)) return true;
        if (i + 1 < kOpenTries) Sleep(kOpenPauseMs);
    }
    return false;
}

// Copies `bytes` bytes into a new zeroed block of `bytes + terminator`
// bytes and hands it to the clipboard as `format`. The block belongs to the
// clipboard only when SetClipboardData succeeded; otherwise it is freed.
bool PutBlock(UINT format, const void* data, size_t bytes, size_t terminator) {
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, bytes + terminator);
    if (block == nullptr) return false;
    void* target = GlobalLock(block);
    if (target == nullptr) {
        GlobalFree(block);
        return false;
    }
    if (bytes > 0) std::memcpy(target, data, bytes);
    std::memset(static_cast<char*>(target) + bytes, 0, terminator);
    GlobalUnlock(block);
    if (!OpenClipboardRetrying()) {
        GlobalFree(block);
        return false;
    }
    if (!EmptyClipboard() || SetClipboardData(format, block) == nullptr) {
        CloseClipboard();
        GlobalFree(block);
        return false;
    }
    CloseClipboard();
    return true;
}

}  // namespace

bool ClipboardSetText(const RawString& text, RawRange range) {
    RawRange r = text.ClampEnd(range);
    int code = ApiKind(text);
    if (code == ApiKindAnsi || code == ApiKindEmpty) {
        const char* p = text.IsEmpty() ? "" : text.Bytes() + r.start;
        int32_t count = 0;
        while (count < r.end - r.start && p[count] != 0) ++count;
        return PutBlock(CF_TEXT, p, static_cast<size_t>(count), 1);
    }
    RawString wide;
    const wchar_t* p;
    int32_t count = 0;
    if (code == ApiKindWide) {
        p = text.Wide() + r.start;
        while (count < r.end - r.start && p[count] != 0) ++count;
    } else {
        bool ok = true;
        wide = RawString::InitBodyFromRange(KindUtf16, text, r, &ok);
        if (!ok) return false;
        p = wide.IsEmpty() ? L"" : wide.Wide();
        count = wide.Length();
    }
    return PutBlock(CF_UNICODETEXT, p, static_cast<size_t>(count) * sizeof(wchar_t),
                    sizeof(wchar_t));
}

RawString ClipboardGetText(int32_t maximum) {
    if (!OpenClipboardRetrying()) return RawString(KindUtf16);
    HANDLE data = GetClipboardData(CF_UNICODETEXT);
    if (data == nullptr) {
        CloseClipboard();
        return RawString(KindUtf16);
    }
    // The block need not hold a terminator: read no further than its size.
    SIZE_T limit = GlobalSize(data) / sizeof(wchar_t);
    const wchar_t* p = static_cast<const wchar_t*>(GlobalLock(data));
    if (p == nullptr) {
        CloseClipboard();
        return RawString(KindUtf16);
    }
    SIZE_T wanted = maximum > 0 ? static_cast<SIZE_T>(maximum) : 0;
    SIZE_T count = 0;
    while (count < limit && count < wanted && p[count] != 0) ++count;
    RawString text = count > 0 ? RawString::FromWideText(p, static_cast<int32_t>(count))
                               : RawString(KindUtf16);
    GlobalUnlock(data);
    CloseClipboard();
    return text;
}

COLORREF BlendColor(COLORREF a, COLORREF b, COLORREF plain, int weight) {
    if (a == plain) return b;
    if (b == plain) return a;
    // A weight outside 0..256 would turn a channel negative and spill into
    // its neighbour.
    unsigned w = weight < 0 ? 0u : (weight > 256 ? 256u : static_cast<unsigned>(weight));
    COLORREF result = 0;
    for (int shift = 0; shift < 24; shift += 8) {
        unsigned ca = (a >> shift) & 0xFF;
        unsigned cb = (b >> shift) & 0xFF;
        cb -= cb * w / 256;
        result |= ((ca + cb) / 2) << shift;
    }
    return result;
}

}  // namespace RawLayer
