// The reader's part of the document style set.

#include "quenby/document/document_style.h"

#include "quenby/document/document_model.h"

namespace DocLayer {

CodeBlockStyle::CodeBlockStyle() { tabWrap.Add(TabWrapDefaultText()); }

void OverviewStyle::SetEnhanceForm(const RawString& form) {
    RawString value = form.As(RawLayer::KindUtf8);
    int32_t start = 0, end = value.Length();
    while (start < end && value.UnitAt(start) == '"') ++start;
    while (end > start && value.UnitAt(end - 1) == '"') --end;
    const RawString& mark = FormatMarkText();
    int32_t at = value.FindRange(RawRange{start, end}, mark, mark.All());
    enhancePrefix = RawString(RawLayer::KindUtf8);
    enhanceSuffix = RawString(RawLayer::KindUtf8);
    if (at >= end) return;
    enhancePrefix.AssignRange(value, RawRange{start, at});
    enhanceSuffix.AssignRange(value, RawRange{at + mark.Length(), end});
}

}  // namespace DocLayer
