// Sizes and rectangles under composed keys.

#include "toolkit/size_parameter.h"

#include <cstdint>

#include "base/numbered_key.h"

namespace WinLayer {

using RawLayer::NumberedKeyName;
using RawLayer::RawParameterList;
using RawLayer::RawString;

namespace {

void LoadFields(LONG* const* fields, const char* const* letters, int count, const RawString& prefix,
                const RawParameterList& list) {
    NumberedKeyName name(prefix);
    for (int i = 0; i < count; ++i) {
        bool found = false;
        RawString value = list.GetText(name.ForText(letters[i]), &found);
        if (found) *fields[i] = value.ToInt();
    }
}

void SaveFields(const LONG* const* fields, const char* const* letters, int count, const RawString& prefix,
                RawParameterList& list) {
    NumberedKeyName name(prefix);
    for (int i = 0; i < count; ++i) list.SetInt(name.ForText(letters[i]), *fields[i]);
}

const char* const kSizeLetters[] = {"W", "H"};
const char* const kRectLetters[] = {"L", "T", "R", "B"};

}  // namespace

void WinSizeParameter::Load(SIZE& size, const RawString& prefix, const RawParameterList& list) {
    LONG* const fields[] = {&size.cx, &size.cy};
    LoadFields(fields, kSizeLetters, 2, prefix, list);
}

void WinSizeParameter::Save(const SIZE& size, const RawString& prefix, RawParameterList& list) {
    const LONG* const fields[] = {&size.cx, &size.cy};
    SaveFields(fields, kSizeLetters, 2, prefix, list);
}

void WinRectParameter::Load(RECT& rect, const RawString& prefix, const RawParameterList& list) {
    LONG* const fields[] = {&rect.left, &rect.top, &rect.right, &rect.bottom};
    LoadFields(fields, kRectLetters, 4, prefix, list);
}

void WinRectParameter::Save(const RECT& rect, const RawString& prefix, RawParameterList& list) {
    const LONG* const fields[] = {&rect.left, &rect.top, &rect.right, &rect.bottom};
    SaveFields(fields, kRectLetters, 4, prefix, list);
}

namespace {

LONG Percent(LONG value, LONG size) {
    if (size <= 0) return 0;
    const int64_t scaled = static_cast<int64_t>(value) * 100 / size;
    if (scaled > INT32_MAX) return INT32_MAX;
    if (scaled < INT32_MIN) return INT32_MIN;
    return static_cast<LONG>(scaled);
}

}  // namespace

bool WinRectParameter::FitToArea(RECT& rect, SIZE area, const RECT& limit) {
    rect.left = Percent(rect.left, area.cx);
    rect.right = Percent(rect.right, area.cx);
    rect.top = Percent(rect.top, area.cy);
    rect.bottom = Percent(rect.bottom, area.cy);
    return rect.left < limit.left || rect.top < limit.top || rect.right > limit.right || rect.bottom > limit.bottom;
}

}  // namespace WinLayer
