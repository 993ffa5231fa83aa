// Font records and their profile keys.
#include "toolkit/font_parameter.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <cwchar>

#include "base/api_text.h"

namespace WinLayer {

using RawLayer::RawParameterList;
using RawLayer::RawString;

namespace {

// Largest character cell GDI is asked for; a profile cannot make a font so
// large that every text of a window turns into one glyph.
constexpr int32_t kFontSizeLimit = 16384;
constexpr int32_t kWeightLimit = 1000;

// The numeric fields in key order.
struct NumericKey {
    const RawString& (*key)();
    size_t offset;
    bool byte;
    int32_t low, high;  // the range a 32-bit field is clamped to
};

constexpr int32_t kAny = INT32_MAX;

const NumericKey kNumericKeys[] = {
    {FontHeightKeyText, offsetof(LOGFONTW, lfHeight), false, -kFontSizeLimit, kFontSizeLimit},
    {FontWidthKeyText, offsetof(LOGFONTW, lfWidth), false, -kFontSizeLimit, kFontSizeLimit},
    {FontEscapementKeyText, offsetof(LOGFONTW, lfEscapement), false, -kAny, kAny},
    {FontOrientationKeyText, offsetof(LOGFONTW, lfOrientation), false, -kAny, kAny},
    {FontWeightKeyText, offsetof(LOGFONTW, lfWeight), false, 0, kWeightLimit},
    {FontItalicKeyText, offsetof(LOGFONTW, lfItalic), true, 0, 0},
    {FontUnderlineKeyText, offsetof(LOGFONTW, lfUnderline), true, 0, 0},
    {FontStrikeOutKeyText, offsetof(LOGFONTW, lfStrikeOut), true, 0, 0},
    {FontCharsetKeyText, offsetof(LOGFONTW, lfCharSet), true, 0, 0},
    {FontOutPrecisionKeyText, offsetof(LOGFONTW, lfOutPrecision), true, 0, 0},
    {FontClipPrecisionKeyText, offsetof(LOGFONTW, lfClipPrecision), true, 0, 0},
    {FontQualityKeyText, offsetof(LOGFONTW, lfQuality), true, 0, 0},
    {FontPitchFamilyKeyText, offsetof(LOGFONTW, lfPitchAndFamily), true, 0, 0},
};

int32_t FieldValue(const LOGFONTW& font, const NumericKey& k) {
    const uint8_t* base = reinterpret_cast<const uint8_t*>(&font) + k.offset;
    if (k.byte) return *base;
    LONG value;
    std::memcpy(&value, base, sizeof(value));
    return value;
}

void SetField(LOGFONTW& font, const NumericKey& k, int32_t value) {
    uint8_t* base = reinterpret_cast<uint8_t*>(&font) + k.offset;
    if (k.byte) {
        *base = static_cast<uint8_t>(value & 0xFF);
        return;
    }
    value = std::max(k.low, std::min(value, k.high));
    LONG stored = value;
    std::memcpy(base, &stored, sizeof(stored));
}

LOGFONTW ReadDefaultFont() {
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = 504;
    static_assert(sizeof(NONCLIENTMETRICSW) >= 504, "metrics structure with the padded border");
    if (SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, metrics.cbSize, &metrics, 0)) {
        LOGFONTW font = metrics.lfMenuFont;
        font.lfFaceName[LF_FACESIZE - 1] = 0;
        return font;
    }
    LOGFONTW font{};
    font.lfHeight = 12;
    font.lfCharSet = DEFAULT_CHARSET;
    return font;
}

}  // namespace

void WinFontParameter::Init() {
    handle = nullptr;
    description = DefaultFont();
}

LOGFONTW WinFontParameter::DefaultFont() {
    static const LOGFONTW font = ReadDefaultFont();
    return font;
}

void WinFontParameter::CopyLogFont(LOGFONTW& target, const LOGFONTW& source) {
    // The source's face may fill all 32 units without a terminator.
    wchar_t face[LF_FACESIZE + 1] = {};
    std::memcpy(face, source.lfFaceName, sizeof(source.lfFaceName));
    LOGFONTW copy = source;
    RawLayer::CopyFaceName(copy, face);
    target = copy;
}

bool WinFontParameter::SameDescription(const LOGFONTW& a, const LOGFONTW& b) {
    return std::memcmp(&a, &b, offsetof(LOGFONTW, lfFaceName)) == 0 &&
           std::wcsncmp(a.lfFaceName, b.lfFaceName, LF_FACESIZE) == 0;
}

void WinFontParameter::Read(LOGFONTW& description, const RawParameterList& list) {
    for (const NumericKey& k : kNumericKeys) {
        if (!list.Contains(k.key())) continue;
        SetField(description, k, list.GetInt(k.key(), FieldValue(description, k)));
    }
    bool found = false;
    RawString face = list.GetText(FontFaceNameKeyText(), &found);
    if (found) {
        RawLayer::CopyFaceName(description, face);
    } else {
        description.lfFaceName[0] = 0;
    }
}

void WinFontParameter::Write(const LOGFONTW& description, RawParameterList& list) {
    for (const NumericKey& k : kNumericKeys) list.SetInt(k.key(), FieldValue(description, k));
    int32_t length = 0;
    while (length < LF_FACESIZE && description.lfFaceName[length] != 0) ++length;
    RawString face = RawString::FromWideText(description.lfFaceName, length);
    list.SetText(FontFaceNameKeyText(), face.As(RawLayer::KindUtf8));
}

}  // namespace WinLayer
