// Composed section and key names.

#include "base/numbered_key.h"

namespace RawLayer {

void NumberedKeyName::Begin() {
    name_ = RawString(prefix_.Kind());
    name_.Append(prefix_);
    name_.AppendAscii("_");
}

const RawString& NumberedKeyName::ForText(const RawString& text) {
    Begin();
    name_.Append(text);
    return name_;
}

const RawString& NumberedKeyName::ForNumber(int32_t number) {
    Begin();
    name_.AppendInt(number);
    return name_;
}

}  // namespace RawLayer
