// Font records: a logical font description with the handle made from it,
// kept in profiles as fourteen keys, one per LOGFONTW field.
#pragma once

#include <windows.h>

#include "base/profile.h"
#include "base/raw_string.h"

namespace WinLayer {

RAW_CONSTANT_TEXT(FontHeightKeyText, "Height")
RAW_CONSTANT_TEXT(FontWidthKeyText, "Width")
RAW_CONSTANT_TEXT(FontEscapementKeyText, "Escapement")
RAW_CONSTANT_TEXT(FontOrientationKeyText, "Orientation")
RAW_CONSTANT_TEXT(FontWeightKeyText, "Weight")
RAW_CONSTANT_TEXT(FontItalicKeyText, "Italic")
RAW_CONSTANT_TEXT(FontUnderlineKeyText, "Underline")
RAW_CONSTANT_TEXT(FontStrikeOutKeyText, "StrikeOut")
RAW_CONSTANT_TEXT(FontCharsetKeyText, "Charset")
RAW_CONSTANT_TEXT(FontOutPrecisionKeyText, "OutPrecision")
RAW_CONSTANT_TEXT(FontClipPrecisionKeyText, "ClipPrecision")
RAW_CONSTANT_TEXT(FontQualityKeyText, "Quality")
RAW_CONSTANT_TEXT(FontPitchFamilyKeyText, "PitchFamily")
RAW_CONSTANT_TEXT(FontFaceNameKeyText, "FaceName")

// A font record. The record owns its handle only where its owner says so
// (the window environment and the profile store do); views refer to a
// record and never delete its handle.
struct WinFontParameter {
    HFONT handle = nullptr;
    LOGFONTW description{};

    // Handle null, description the default one.
    void Init();
    // The menu font of the system's non-client metrics, read on the first
    // call and kept; without metrics an all-zero description of height 12
    // and DEFAULT_CHARSET.
    static LOGFONTW DefaultFont();
    // Copies every field; the face name up to its terminator (at most 31
    // units, always terminated).
    static void CopyLogFont(LOGFONTW& target, const LOGFONTW& source);
    // Whether two descriptions ask for the same font: every field, the face
    // name up to its terminator.
    static bool SameDescription(const LOGFONTW& a, const LOGFONTW& b);
    // Each numeric key present replaces its field (8-bit fields keep the low
    // 8 bits; sizes and the weight are clamped to what GDI can make); the
    // face name becomes the "FaceName" value, cut to 31 units without
    // splitting a surrogate pair, or empty when the key is missing.
    static void Read(LOGFONTW& description, const RawLayer::RawParameterList& list);
    // Sets the thirteen numeric keys to decimal text and "FaceName" to the
    // face name as UTF-8, adding keys that are missing.
    static void Write(const LOGFONTW& description, RawLayer::RawParameterList& list);
};

}  // namespace WinLayer
