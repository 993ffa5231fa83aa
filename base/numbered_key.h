// Section and key names composed at run time from a stem, "_" and a
// number or a text ("Headline_3", "Indent_1", "WindowRect_L").
#pragma once

#include <cstdint>

#include "base/raw_string.h"

namespace RawLayer {

class NumberedKeyName {
public:
    explicit NumberedKeyName(const RawString& stem) : prefix_(stem) {}
    explicit NumberedKeyName(const char* stem) : prefix_(RawString::FromText(stem)) {}

    // The name becomes prefix + "_" + the text; the name is returned.
    const RawString& ForText(const RawString& text);
    const RawString& ForText(const char* text) { return ForText(RawString::FromText(text)); }
    // The name becomes prefix + "_" + the decimal number.
    const RawString& ForNumber(int32_t number);
    const RawString& Name() const { return name_; }

private:
    void Begin();

    RawString prefix_;
    RawString name_;
};

}  // namespace RawLayer
