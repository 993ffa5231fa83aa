// The base library's lists: strings, labels and ranges, and
// RawString::SplitToList.
#include "base/raw_list.h"
#include "base/raw_string_tokenizer.h"

namespace RawLayer {

int RawStringListSort::CompareTyped(const RawString& a, const RawString& b) const {
    return a.CompareTo(b);
}

bool RawStringList::TextEquals(const RawString& a, const RawString& b) const {
    return caseFlag_ ? a.Equals(b) : RawString::EqualsNoCase(a, b);
}

RawString* RawStringList::Find(const RawString& text) const {
    for (RawListLink* l = FirstLink(); !IsEnd(l); l = l->next) {
        RawString* s = static_cast<RawString*>(l->unit);
        if (TextEquals(*s, text)) return s;
    }
    return nullptr;
}

int32_t RawStringList::FindIndex(const RawString& text) const {
    int32_t i = 0;
    for (RawListLink* l = FirstLink(); !IsEnd(l); l = l->next, ++i)
        if (TextEquals(*static_cast<RawString*>(l->unit), text)) return i;
    return -1;
}

RawString* RawStringList::FindOrAppend(const RawString& text) {
    RawString* s = Find(text);
    return s ? s : Add(text);
}

RawString RawStringList::Join(const RawString& separator) const {
    if (IsEmpty()) return RawString();
    RawString out(First()->Kind());
    bool first = true;
    for (const RawString& s : *this) {
        if (!first) out.Append(separator);
        out.Append(s);
        first = false;
    }
    return out;
}

RawStringList RawStringList::FromCommaText(const RawString& text, bool exactCase) {
    RawStringList list(exactCase);
    text.SplitToList(list, text.All());
    return list;
}

namespace {
RAW_CONSTANT_TEXT(BlankTabText, " \t")
}  // namespace

void RawString::SplitToList(RawStringList& list, RawRange range) const {
    RawRange r = ClampEnd(range);
    RawStringTokenizer tokenizer(*this, RawString(), RawString(), true);
    int32_t pos = r.start;
    while (pos < r.end) {
        int32_t end = tokenizer.Next(RawRange{pos, r.end});
        if (end < pos) end = pos;
        if (end > r.end) end = r.end;
        RawRange item = TrimRange(RawRange{pos, end}, BlankTabText());
        list.Add(InitBodyFromRange(Kind(), *this, item));
        pos = end + 1;  // past the ',' that ended the item
    }
}

// ---------------------------------------------------------------------------
// RawLabelList
// ---------------------------------------------------------------------------

RawListLink* RawLabelList::FindLink(const RawString& label) const {
    RawListLink* l = FirstLink();
    for (; !IsEnd(l); l = l->next) {
        const RawString& s = static_cast<RawLabelUnit*>(l->unit)->label;
        if (caseFlag_ ? s.Equals(label) : RawString::EqualsNoCase(s, label)) break;
    }
    return l;
}

uint32_t RawLabelList::Value(const RawString& label) const {
    RawLabelUnit* u = FindLabel(label);
    return u ? u->value : 0;
}

void RawLabelList::CopyFrom(const RawLabelList& other) {
    RawLabelList fresh(other.ExactCase());
    for (const RawLabelUnit& u : other) fresh.Add(u.label, u.value);
    caseFlag_ = fresh.caseFlag_;
    *this = std::move(fresh);
}

// ---------------------------------------------------------------------------
// RawRangeList
// ---------------------------------------------------------------------------

RawRange RawRangeList::RangeAt(int32_t index) const {
    RawRange* r = At(index);
    return r ? *r : RawRange{0, 0};
}

bool RawRangeList::SetAt(int32_t index, RawRange range) {
    if (index < 0) return false;
    int32_t count = Count();
    if (index > count && index - count > kMaxPadding) return false;
    while (Count() < index) AddNew(RawRange{0, 0});
    if (index == Count()) {
        AddNew(range);
    } else {
        *At(index) = range;
    }
    return true;
}

}  // namespace RawLayer
