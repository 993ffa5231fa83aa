#include "quenby/app/fallback_face.h"

#include <algorithm>
#include <vector>

#include "base/api_text.h"
#include "toolkit/font_parameter.h"

namespace AppLayer {

namespace {

struct FaceSearch {
    std::vector<std::wstring> trueType;
    std::vector<std::wstring> other;
};

int CALLBACK CollectFace(const LOGFONTW* font, const TEXTMETRICW*, DWORD type, LPARAM data) {
    auto* search = reinterpret_cast<FaceSearch*>(data);
    const std::wstring face(font->lfFaceName);
    // Vertical faces ("@name") turn their glyphs on their side.
    if (face.empty() || face[0] == L'@') return 1;
    std::vector<std::wstring>& list = (type & TRUETYPE_FONTTYPE) ? search->trueType : search->other;
    if (std::find(list.begin(), list.end(), face) == list.end() && list.size() < 256) list.push_back(face);
    return 1;
}

// Whether the face, made at a middling size, has a glyph of its own for
// hiragana, katakana and kanji.
bool FaceHasJapanese(HDC dc, const std::wstring& face) {
    LOGFONTW want{};
    want.lfHeight = -16;
    want.lfCharSet = SHIFTJIS_CHARSET;
    RawLayer::CopyFaceName(want, face.c_str());
    HFONT font = CreateFontIndirectW(&want);
    if (!font) return false;
    HGDIOBJ old = SelectObject(dc, font);
    static const wchar_t kSample[] = {0x3042, 0x30A2, 0x65E5, 0x6F22};
    WORD glyphs[4] = {};
    bool all = GetGlyphIndicesW(dc, kSample, 4, glyphs, GGI_MARK_NONEXISTING_GLYPHS) != GDI_ERROR;
    for (WORD g : glyphs) all = all && g != 0xFFFF;
    // A face that is not installed comes back as another one.
    wchar_t got[LF_FACESIZE] = {};
    all = all && GetTextFaceW(dc, LF_FACESIZE, got) > 0 && face == got;
    SelectObject(dc, old);
    DeleteObject(font);
    return all;
}

// The faces the system links to its Latin faces for the characters they
// lack: the values of the SystemLink key are lists of "file,face[,scale]".
// Asking for a few faces by name is cheap where listing every installed
// face is not (a first listing reads them all).
std::vector<std::wstring> LinkedFaces() {
    std::vector<std::wstring> faces;
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\FontLink\\SystemLink", 0,
                      KEY_READ, &key) != ERROR_SUCCESS)
        return faces;
    std::vector<wchar_t> data(4096);
    for (DWORD index = 0; index < 1024 && faces.size() < 64; ++index) {
        wchar_t name[256];
        DWORD nameLength = 256;
        DWORD type = 0;
        DWORD bytes = static_cast<DWORD>(data.size() * sizeof(wchar_t));
        const LONG read =
            RegEnumValueW(key, index, name, &nameLength, nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &bytes);
        if (read == ERROR_NO_MORE_ITEMS) break;
        if (read != ERROR_SUCCESS || type != REG_MULTI_SZ) continue;  // a longer list is not needed
        const size_t count = std::min<size_t>(bytes / sizeof(wchar_t), data.size());
        for (size_t at = 0; at < count;) {
            size_t end = at;
            while (end < count && data[end] != 0) ++end;
            const std::wstring entry(data.data() + at, end - at);
            const size_t comma = entry.find(L',');
            if (comma != std::wstring::npos) {
                const size_t next = entry.find(L',', comma + 1);
                const std::wstring face =
                    entry.substr(comma + 1, next == std::wstring::npos ? std::wstring::npos : next - comma - 1);
                if (!face.empty() && face.size() < LF_FACESIZE && face[0] != L'@' &&
                    std::find(faces.begin(), faces.end(), face) == faces.end() && faces.size() < 64)
                    faces.push_back(face);
            }
            at = end + 1;
        }
    }
    RegCloseKey(key);
    return faces;
}

std::wstring FindFallbackFace() {
    HDC dc = CreateCompatibleDC(nullptr);
    if (!dc) return std::wstring();
    // A Japanese face the system links already draws, when there is one.
    for (const std::wstring& face : LinkedFaces()) {
        if (FaceHasJapanese(dc, face)) {
            DeleteDC(dc);
            return face;
        }
    }
    FaceSearch search;
    LOGFONTW want{};
    want.lfCharSet = SHIFTJIS_CHARSET;
    EnumFontFamiliesExW(dc, &want, &CollectFace, reinterpret_cast<LPARAM>(&search), 0);
    std::wstring found;
    // Outline faces first: they print at any size.
    for (const std::vector<std::wstring>* list : {&search.trueType, &search.other}) {
        for (const std::wstring& face : *list) {
            if (FaceHasJapanese(dc, face)) {
                found = face;
                break;
            }
        }
        if (!found.empty()) break;
    }
    DeleteDC(dc);
    return found;
}

int CALLBACK NoteBoldStyle(const LOGFONTW* font, const TEXTMETRICW*, DWORD, LPARAM data) {
    if (font->lfWeight < FW_SEMIBOLD) return 1;
    *reinterpret_cast<bool*>(data) = true;
    return 0;
}

}  // namespace

bool FaceHasBoldStyle(const std::wstring& face) {
    if (face.empty()) return false;
    HDC dc = CreateCompatibleDC(nullptr);
    if (!dc) return false;
    LOGFONTW want{};
    want.lfCharSet = DEFAULT_CHARSET;
    RawLayer::CopyFaceName(want, face.c_str());
    bool bold = false;
    EnumFontFamiliesExW(dc, &want, &NoteBoldStyle, reinterpret_cast<LPARAM>(&bold), 0);
    DeleteDC(dc);
    return bold;
}

bool BoldStyleCache::Has(const wchar_t* face) {
    Entry* slot = &entries_[0];
    for (Entry& e : entries_) {
        if (e.lastUse != 0 && e.face == face) {
            e.lastUse = ++clock_;
            return e.bold;
        }
        if (e.lastUse < slot->lastUse) slot = &e;
    }
    slot->face = face;
    slot->bold = FaceHasBoldStyle(slot->face);
    slot->lastUse = ++clock_;
    return slot->bold;
}

const std::wstring& InstalledFallbackFace() {
    static const std::wstring face = FindFallbackFace();
    return face;
}

FallbackFontCache::~FallbackFontCache() {
    for (Slot& f : slots_)
        if (f.font) DeleteObject(f.font);
}

HFONT FallbackFontCache::For(HDC dc) {
    const std::wstring& face = InstalledFallbackFace();
    if (face.empty()) return nullptr;
    HGDIOBJ current = GetCurrentObject(dc, OBJ_FONT);
    LOGFONTW base{};
    if (!current || GetObjectW(current, sizeof base, &base) != static_cast<int>(sizeof base)) return nullptr;
    base.lfFaceName[LF_FACESIZE - 1] = 0;
    if (face == base.lfFaceName) return nullptr;
    Slot* slot = &slots_[0];
    for (Slot& f : slots_) {
        if (f.font && WinLayer::WinFontParameter::SameDescription(f.base, base)) {
            f.lastUse = ++clock_;
            return f.font;
        }
        if (f.lastUse < slot->lastUse) slot = &f;
    }
    LOGFONTW want = base;
    RawLayer::CopyFaceName(want, face.c_str());
    want.lfCharSet = SHIFTJIS_CHARSET;
    HFONT font = CreateFontIndirectW(&want);
    if (!font) return nullptr;
    // The slot's old font is never left selected: a caller selects a
    // fallback font only for the length of one call.
    if (slot->font) DeleteObject(slot->font);
    slot->base = base;
    slot->font = font;
    slot->lastUse = ++clock_;
    return font;
}

}  // namespace AppLayer
