#include "tavrel/jobs/color_settings.h"

#include "base/language.h"
#include "base/raw_string.h"

namespace JobLayer {

using RawLayer::RawNumberScan;
using RawLayer::RawRange;

namespace {

RAW_CONSTANT_TEXT(NoColorText, "NoColor")
RAW_CONSTANT_TEXT(BlankSetText, " \t")

// How one key of the section is read.
enum ColorKeyType { TypeBool, TypeWeight, TypeColor };

struct ColorKeyEntry {
    const char* key;
    ColorKeyType type;
    size_t offset;  // of the member inside ColorTable
};

#define COLOR_KEY(name, type, member) {name, type, offsetof(ColorTable, member)}

// The keys in reading order: the table's order, except that each blend
// weight follows the colour it belongs to.
const ColorKeyEntry kColorKeys[ColorSettingKeyCount] = {
    COLOR_KEY("LineColorSeparation", TypeBool, lineColorSeparation),
    COLOR_KEY("LineDetailSeparation", TypeBool, lineDetailSeparation),
    COLOR_KEY("LineColorOverwrap", TypeWeight, lineColorOverwrap),
    COLOR_KEY("TitleColorOverwrap", TypeWeight, titleColorOverwrap),
    COLOR_KEY("TabSameColor", TypeColor, tabSameColor),
    COLOR_KEY("TabModifiedColor", TypeColor, tabModifiedColor),
    COLOR_KEY("LineDiff1Color", TypeColor, lineDiff1Color),
    COLOR_KEY("LineDiff2Color", TypeColor, lineDiff2Color),
    COLOR_KEY("LineOnly1Color", TypeColor, lineOnly1Color),
    COLOR_KEY("LineOnly2Color", TypeColor, lineOnly2Color),
    COLOR_KEY("LineBlankColor", TypeColor, lineBlankColor),
    COLOR_KEY("DetailDiff1Color", TypeColor, detailDiff1Color),
    COLOR_KEY("DetailDiff2Color", TypeColor, detailDiff2Color),
    COLOR_KEY("DetailOnly1Color", TypeColor, detailOnly1Color),
    COLOR_KEY("DetailOnly2Color", TypeColor, detailOnly2Color),
    COLOR_KEY("DetailBlankColor", TypeColor, detailBlankColor),
    COLOR_KEY("ConnectedColor", TypeColor, connectedColor),
    COLOR_KEY("FloatedColor", TypeColor, floatedColor),
    COLOR_KEY("FrameFocusColor", TypeColor, frameFocusColor),
    COLOR_KEY("FrameImeColor", TypeColor, frameImeColor),
    COLOR_KEY("FrameInsertModeColor", TypeColor, frameInsertModeColor),
    COLOR_KEY("NullPathColor", TypeColor, nullPathColor),
    COLOR_KEY("EditableColor", TypeColor, editableColor),
    COLOR_KEY("ModifiedColor", TypeColor, modifiedColor),
    COLOR_KEY("ReadFailColor", TypeColor, readFailColor),
    COLOR_KEY("OverSizeColor", TypeColor, overSizeColor),
    COLOR_KEY("PosBarSameColor", TypeColor, posBarSameColor),
    COLOR_KEY("PosBarSide1Color", TypeColor, posBarSide1Color),
    COLOR_KEY("PosBarSide2Color", TypeColor, posBarSide2Color),
    COLOR_KEY("PosBarBlankColor", TypeColor, posBarBlankColor),
    COLOR_KEY("CursorPivotColor", TypeColor, cursorPivotColor),
    COLOR_KEY("CursorPivotOverwrap", TypeWeight, cursorPivotOverwrap),
    COLOR_KEY("ImeClause1Color", TypeColor, imeClause1Color),
    COLOR_KEY("ImeClause2Color", TypeColor, imeClause2Color),
    COLOR_KEY("ImeClauseOverwrap", TypeWeight, imeClauseOverwrap),
    COLOR_KEY("TextNewLineColor", TypeColor, textNewLineColor),
    COLOR_KEY("CharSetBackColor", TypeColor, charSetBackColor),
};

#undef COLOR_KEY

// The key texts, built once on first use.
const RawString* KeyTexts() {
    static const struct Holder {
        Holder() {
            for (int i = 0; i < ColorSettingKeyCount; ++i)
                texts[i] = RawString::FromLiteral(kColorKeys[i].key);
        }
        RawString texts[ColorSettingKeyCount];
    } holder;
    return holder.texts;
}

// A profile number, blanks and tabs around it allowed; a leading '-'
// negates it. False when the text is not a number of at most 32 bits.
bool ReadNumber(const RawString& text, int64_t& value) {
    RawRange r = text.TrimRange(text.All(), BlankSetText());
    if (r.start >= r.end) return false;
    RawNumberScan scan;
    if (!RawLayer::ParseNumber(text, r, scan)) return false;
    if (scan.position != r.end || scan.value > 0xFFFFFFFFull) return false;
    int64_t v = static_cast<int64_t>(scan.value);
    value = scan.sign == '-' ? -v : v;
    return true;
}

}  // namespace

const RawString& ColorSettingKeyName(int index) {
    if (index < 0 || index >= ColorSettingKeyCount) return RawString::Empty();
    return KeyTexts()[index];
}

COLORREF ColorValue(const RawParameterList& entries, const RawString& key, COLORREF defaultValue) {
    bool found = false;
    RawString value = entries.GetText(key, &found);
    if (!found || value.IsEmpty()) return defaultValue;
    if (value.Equals(NoColorText())) return NoColorValue;
    int64_t number = 0;
    if (!ReadNumber(value, number)) return defaultValue;
    uint32_t rgb = static_cast<uint32_t>(number) & 0x00FFFFFFu;
    uint32_t red = (rgb >> 16) & 0xFF;
    uint32_t green = (rgb >> 8) & 0xFF;
    uint32_t blue = rgb & 0xFF;
    return static_cast<COLORREF>(red | (green << 8) | (blue << 16));
}

void ColorSettingKeys(ColorTable& table, const RawParameterList& entries) {
    const RawString* keys = KeyTexts();
    char* base = reinterpret_cast<char*>(&table);
    for (int i = 0; i < ColorSettingKeyCount; ++i) {
        void* member = base + kColorKeys[i].offset;
        switch (kColorKeys[i].type) {
            case TypeBool: {
                bool* flag = static_cast<bool*>(member);
                *flag = entries.GetBool(keys[i], *flag);
                break;
            }
            case TypeWeight: {
                int32_t* weight = static_cast<int32_t*>(member);
                *weight = entries.GetInt(keys[i], *weight);
                break;
            }
            case TypeColor: {
                COLORREF* color = static_cast<COLORREF*>(member);
                *color = ColorValue(entries, keys[i], *color);
                break;
            }
        }
    }
}

namespace {

RAW_CONSTANT_TEXT(ListLabelSectionText, "ListLabel")

// The English defaults of section "ListLabel".
const RawLayer::RawLocaleRecord kListLabelTexts[] = {
    {"Path_Title", "Title"},
    {"Path_Size", "Size"},
    {"Path_Date", "Date"},
    {"Text_Line", "Line"},
    {"Text_Text", "Text"},
    {"Binary_Address", "Address"},
    {"Binary_HexView", "HexView"},
    {"Binary_CharView", "CharView"},
    {"End", ""},
    {nullptr, nullptr},
};

// The keys of the columns 0..2 of the kinds 0..3.
const char* const kListLabelKeys[4][3] = {
    {"Path_Title", "Path_Size", "Path_Date"},
    {"Text_Line", "Text_Text", "End"},
    {"Binary_Address", "Binary_HexView", "Binary_CharView"},
    {"End", "End", "End"},
};

}  // namespace

RawString ListLabelText(uint32_t kind, int column) {
    static const RawString section =
        RawLayer::LanguageTable::Lookup(ListLabelSectionText(), kListLabelTexts);
    const char* key = "End";
    if (kind <= 3 && column >= 0 && column <= 2) key = kListLabelKeys[kind][column];
    return RawLayer::LanguageTable::Text(section, RawString::FromLiteral(key));
}

RawString ColumnTitles(uint32_t kind, int column) {
    if (kind == 2 && column == 1)
        return RawString::FromLiteral("00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F");
    if (kind == 2 && column == 2) return RawString::FromLiteral("0123456789ABCDEF");
    return ListLabelText(kind, column);
}

const RawString& KindName(uint32_t kind) {
    static const RawString names[3] = {RawString::FromLiteral("Path type"),
                                       RawString::FromLiteral("Text type"),
                                       RawString::FromLiteral("Binary type")};
    return kind <= 2 ? names[kind] : RawString::Empty();
}

COLORREF ButtonFaceColor() {
    static const COLORREF color = GetSysColor(COLOR_BTNFACE);
    return color;
}

}  // namespace JobLayer
