#include "tavrel/jobs/pair_line.h"

#include "tavrel/jobs/config_store.h"

namespace JobLayer {

using RawLayer::RawRange;

namespace {

RAW_CONSTANT_TEXT(CommaText, ",")

struct StatusWord {
    uint16_t bit;
    const RawString& (*word)();
};

const StatusWord kStatusWords[4] = {
    {StatusSame, &SameTagText},
    {StatusDifferent, &UnequalTagText},
    {StatusOnly1, &Only1TagText},
    {StatusOnly2, &Only2TagText},
};

void AppendWord(RawString& text, const RawString& word) {
    text.Append(CommaText());
    text.Append(word);
}

}  // namespace

RawString StatusWords(uint16_t mask) {
    RawString text(RawLayer::KindUtf8);
    for (const StatusWord& w : kStatusWords)
        if (mask & w.bit) AppendWord(text, w.word());
    return text;
}

RawString FormatTabPairLine(const RawString& path1, const RawString& path2, uint16_t statusMask,
                            const JobEditFlags& edit) {
    RawString line(path1.IsEmpty() ? path2.Kind() : path1.Kind());
    line.Append(GroupMarkerText());
    line.Append(path1);
    line.Append(CommaText());
    line.Append(path2);
    line.Append(CommaText());
    line.Append(OptionMarkerText());
    line.Append(StatusWords(statusMask));
    if (edit.simple) AppendWord(line, SimpleTagText());
    if (edit.edit1) AppendWord(line, Edit1TagText());
    if (edit.edit2) AppendWord(line, Edit2TagText());
    return line;
}

void StatusMaskFromList(uint16_t& mask, const RawStringList& words) {
    for (const StatusWord& w : kStatusWords) {
        if (words.Contains(w.word()))
            mask = static_cast<uint16_t>(mask | w.bit);
        else
            mask = static_cast<uint16_t>(mask & ~w.bit);
    }
}

void EditFlagsFromList(JobEditFlags& edit, const RawStringList& words) {
    edit.simple = words.Contains(SimpleTagText()) ? 1 : 0;
    edit.edit1 = words.Contains(Edit1TagText()) ? 1 : 0;
    edit.edit2 = words.Contains(Edit2TagText()) ? 1 : 0;
}

uint8_t ParseTabPairLine(TabPairRecord& record, const RawString& text) {
    const RawString& marker = GroupMarkerText();
    record.valid = text.EqualsAt(0, marker, marker.All()) ? 1 : 0;
    if (!record.valid) return 0;

    RawStringList items(false);
    text.SplitToList(items, RawRange{marker.Length(), text.Length()});

    // The option marker and the words after it; the two paths before it are
    // never read as words.
    RawStringList words(false);
    bool hasOptions = false;
    int32_t index = 0;
    for (const RawString& item : items) {
        if (index == 0)
            record.path1 = item;
        else if (index == 1)
            record.path2 = item;
        if (hasOptions)
            words.Add(item);
        else if (index >= 2 && RawString::EqualsNoCase(item, OptionMarkerText()))
            hasOptions = true;
        ++index;
    }
    if (hasOptions) {
        record.hasOptions = 1;
        StatusMaskFromList(record.statusMask, words);
        EditFlagsFromList(record.edit, words);
    }
    return record.valid;
}

RawStringList TakeOverListFrom(const RawString& option) {
    const RawString& text = option.Equals(WildcardAllText()) ? TakeOverDefaultText() : option;
    return RawStringList::FromCommaText(text, false);
}

const RawStringList& TakeOverList() {
    static const RawStringList list = TakeOverListFrom(ConfigStore::Instance().takeOverPathOption);
    return list;
}

void CopyListedStatusFlags(uint16_t& destination, uint16_t source) {
    CopyListedStatusFlags(destination, source, TakeOverList());
}

void CopyListedEditFlags(JobEditFlags& destination, const JobEditFlags& source) {
    CopyListedEditFlags(destination, source, TakeOverList());
}

void CopyListedStatusFlags(uint16_t& destination, uint16_t source, const RawStringList& listed) {
    for (const StatusWord& w : kStatusWords) {
        if (!listed.Contains(w.word())) continue;
        destination = static_cast<uint16_t>((destination & ~w.bit) | (source & w.bit));
    }
}

void CopyListedEditFlags(JobEditFlags& destination, const JobEditFlags& source,
                         const RawStringList& listed) {
    if (listed.Contains(SimpleTagText())) destination.simple = source.simple;
    if (listed.Contains(Edit1TagText())) destination.edit1 = source.edit1;
    if (listed.Contains(Edit2TagText())) destination.edit2 = source.edit2;
}

}  // namespace JobLayer
