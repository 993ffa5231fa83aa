// The colour table of the compare views (section "ColorSetting"), the column
// titles of the three kinds, the kind names used in messages and the cached
// button-face colour of the system.
//
// Colours are held as COLORREF (0x00BBGGRR) and written in the profile as
// 0xRRGGBB. NoColorValue (-1) means "no colour": whatever would be painted
// with it is not painted.
#pragma once

#include <windows.h>

#include <cstdint>

#include "base/profile.h"
#include "base/raw_string.h"
#include "base/text_ops.h"

namespace JobLayer {

using RawLayer::NoColorValue;
using RawLayer::RawParameterList;
using RawLayer::RawString;

// The colour table, members in the order of the section.
struct ColorTable {
    bool lineColorSeparation = true;        // "LineColorSeparation"
    bool lineDetailSeparation = true;       // "LineDetailSeparation"
    int32_t lineColorOverwrap = 50;         // "LineColorOverwrap", 0..255
    int32_t titleColorOverwrap = 50;        // "TitleColorOverwrap", 0..255
    COLORREF tabSameColor = 0x00808080;          // "TabSameColor"
    COLORREF tabModifiedColor = 0x000000FF;      // "TabModifiedColor"
    COLORREF lineDiff1Color = 0x00D0FFD0;        // "LineDiff1Color"
    COLORREF lineDiff2Color = 0x00B0DFFF;        // "LineDiff2Color"
    COLORREF lineOnly1Color = 0x0080FF80;        // "LineOnly1Color"
    COLORREF lineOnly2Color = 0x0060C0FF;        // "LineOnly2Color"
    COLORREF lineBlankColor = 0x00E0E0E0;        // "LineBlankColor"
    COLORREF detailDiff1Color = 0x0080FF80;      // "DetailDiff1Color"
    COLORREF detailDiff2Color = 0x0000A5FF;      // "DetailDiff2Color"
    COLORREF detailOnly1Color = 0x0080FF80;      // "DetailOnly1Color"
    COLORREF detailOnly2Color = 0x0060C0FF;      // "DetailOnly2Color"
    COLORREF detailBlankColor = NoColorValue;    // "DetailBlankColor"
    COLORREF connectedColor = 0x00FF40FF;        // "ConnectedColor"
    COLORREF floatedColor = 0x00B469FF;          // "FloatedColor"
    COLORREF frameFocusColor = 0x00FF8080;       // "FrameFocusColor"
    COLORREF frameImeColor = 0x00FF80FF;         // "FrameImeColor"
    COLORREF frameInsertModeColor = 0x0080C5FF;  // "FrameInsertModeColor"
    COLORREF nullPathColor = 0x00E0E0E0;         // "NullPathColor"
    COLORREF editableColor = 0x0080FFFF;         // "EditableColor"
    COLORREF modifiedColor = 0x0020E0F0;         // "ModifiedColor"
    COLORREF readFailColor = 0x00C0C0FF;         // "ReadFailColor"
    COLORREF overSizeColor = 0x00C0C0FF;         // "OverSizeColor"
    COLORREF posBarSameColor = 0x00E0E0E0;       // "PosBarSameColor"
    COLORREF posBarSide1Color = 0x0000F000;      // "PosBarSide1Color"
    COLORREF posBarSide2Color = 0x0000A5FF;      // "PosBarSide2Color"
    COLORREF posBarBlankColor = 0x00808080;      // "PosBarBlankColor"
    COLORREF cursorPivotColor = 0x00FF80FF;      // "CursorPivotColor"
    COLORREF imeClause1Color = 0x0000FFFF;       // "ImeClause1Color"
    COLORREF imeClause2Color = 0x00FFD0FF;       // "ImeClause2Color"
    COLORREF textNewLineColor = 0x00A0A0A0;      // "TextNewLineColor"
    COLORREF charSetBackColor = 0x00FFC0C0;      // "CharSetBackColor"
    int32_t cursorPivotOverwrap = 128;      // "CursorPivotOverwrap", 0..255
    int32_t imeClauseOverwrap = 255;        // "ImeClauseOverwrap", 0..255
};

// The number of keys of section "ColorSetting".
enum : int { ColorSettingKeyCount = 37 };

// The key of the i-th entry of the section in reading order (0..36); the
// empty text outside.
const RawString& ColorSettingKeyName(int index);

// Reads the keys of section "ColorSetting" from its entries into the table;
// a missing key keeps its member.
void ColorSettingKeys(ColorTable& table, const RawParameterList& entries);

// A colour of the section: the default when the key is missing or its value
// is empty (or not a number); NoColorValue for "NoColor"; else the value
// 0xRRGGBB (a leading '-' negates it) returned as COLORREF 0x00BBGGRR.
COLORREF ColorValue(const RawParameterList& entries, const RawString& key, COLORREF defaultValue);

// The title of a column of a side of a kind: the fixed hex headers for the
// binary kind's columns 1 and 2, else ListLabelText.
RawString ColumnTitles(uint32_t kind, int column);
// The language text of section "ListLabel" for a column of a kind.
RawString ListLabelText(uint32_t kind, int column);
// "Path type", "Text type", "Binary type"; empty for any other kind.
const RawString& KindName(uint32_t kind);
// GetSysColor(COLOR_BTNFACE), asked once per process.
COLORREF ButtonFaceColor();

}  // namespace JobLayer
