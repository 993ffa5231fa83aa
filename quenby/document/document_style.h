// The style set of a help document: every font, length and colour with
// which a document is laid out, painted and printed, read from a style
// profile and from a style file beside the document.
#pragma once

#include <windows.h>

#include <cstdint>

#include "base/profile.h"
#include "base/raw_list.h"
#include "base/raw_string.h"

namespace DocLayer {

using RawLayer::ProfileFileRef;
using RawLayer::RawParameterList;
using RawLayer::RawString;
using RawLayer::RawStringList;

// Derived values are current while an element's stamp equals its base
// font's: reading a section takes 1 from the element's counter, measuring
// a font adds 1 to the font's.
struct ScaleStamp {
    RawString text;
    int32_t counter = 0;
    bool Matches(const ScaleStamp& other) const { return counter == other.counter && text == other.text; }
};

// A length: the pixel value the passes use and the base value the profile
// holds (hundredths of the height of "0" in the base font).
struct StyleLength {
    int32_t value = 0;
    int32_t base = 0;
    StyleLength() = default;
    explicit StyleLength(int32_t b) : base(b) {}
    // value = (base * height + 50) / 100, truncating, raised to the floor.
    void Scale(int32_t height, int32_t floor = INT32_MIN);
};

// The base lengths a profile may give. Lengths are signed: a negative
// margin tightens its rows, but by at most half a height of "0", so that
// the two margins of a row never take more than its line and no row
// vanishes. The largest is ten heights, so that a line with all its margins
// and indents still fits on a page, on the screen and on paper.
constexpr int32_t kStyleLengthLeast = -50;
constexpr int32_t kStyleLengthLimit = 1000;
// A length past a bound but near it (down to two heights of "0" below
// zero, up to twice the largest) asks for as tight or as wide as a length
// goes: it takes the bound, so that a tighter value never lays rows out
// looser. One further out is no length a page can show (a slip of the
// keys, a number meant for something else): it is taken as missing.
constexpr int32_t kStyleLengthShownLeast = -200;
constexpr int32_t kStyleLengthShownLimit = 2000;
// A style font's character height: 0 (the system's size) or 6 to this many
// units either way, the range the font buttons step in; a height outside it
// takes the font's default. The print font counts printer pixels, some five
// to twenty times a screen's at the same size: its limit is ten times the
// screen's (120 points at 600 dots an inch is 1000 of them).
constexpr int32_t kStyleFontHeightLimit = 1000;
constexpr int32_t kStylePrintFontHeightLimit = 10000;

class StyleFont {
public:
    StyleFont(int32_t fontIndex, const RawString& section, const RawString& defaultText);
    ~StyleFont();
    StyleFont(const StyleFont&) = delete;
    StyleFont& operator=(const StyleFont&) = delete;

    int32_t index;
    HWND ownerView = nullptr;   // measures the font; none leaves it unmeasured
    ScaleStamp stamp;
    RawString sectionName;
    ProfileFileRef profile;
    HFONT handle = nullptr;
    LOGFONTW description{};
    SIZE measured{};            // extent of "0"
    RawParameterList keys;      // the section as last read
    // The description parsed from the default text, for the font reset.
    LOGFONTW defaultDescription{};
    RawString defaultText;

    // Extent of "0" in the owner view's screen DC, then counter + 1.
    void Measure();
    // Deletes the old handle and makes one from the description.
    void Recreate();
    // Replaces the description, recreates the handle and measures.
    void Change(const LOGFONTW& newDescription);
    // Sets the description from the key list: numeric keys present replace
    // their fields; a missing "FaceName" keeps the face. A height, width,
    // angle or weight no page could show takes the default description's.
    void ApplyKeys(const RawParameterList& list);
    // The largest height and width the font takes, in its device's pixels.
    int32_t SizeLimit() const;
    // Copies every field but the handle, which is made anew.
    void CopyFrom(const StyleFont& source);
};

// Document-wide settings (section "Overview").
struct OverviewStyle {
    ScaleStamp stamp;
    int32_t tabStop = 8;              // "TabStop": columns of a tab, 1..64
    StyleLength overMargin{6}, underMargin{6}, wrapOverMargin{6};
    StyleLength overParagraphMargin{36}, underParagraphMargin{36}, pageHeadHeight{20};
    COLORREF backgroundColor = RGB(0xFF, 0xFF, 0xFF);
    COLORREF textColor = RGB(0, 0, 0);
    COLORREF pageHeadColor = RGB(0, 0, 0xFF);
    bool underscoreEmphasis = false;  // "UnderscoreEmphasis": '_' marks emphasis too
    // "EnhanceForm" split at its "%s": the opener and closer of a line
    // directive. Both empty (directives off) until a profile sets them.
    RawString enhancePrefix;
    RawString enhanceSuffix;

    // Takes a form value: double quotes at its start and end are dropped and
    // the rest is split at its first "%s" into prefix and suffix; a value
    // without "%s" turns directives off (both empty).
    void SetEnhanceForm(const RawString& form);
    void Read(const RawParameterList& list);
    void Scale(int32_t h);
};

struct HeadlineLevelStyle {
    HFONT handle = nullptr;
    LOGFONTW description{};
    StyleLength overline{0}, underline{0}, overSpace{24}, underSpace{0};
    StyleLength overlineMargin{18}, underlineMargin{30};
    COLORREF underlineColor = RGB(0x80, 0x80, 0x80);
    COLORREF overlineColor = RGB(0x80, 0x80, 0x80);
    int32_t fontRatio = 0;            // 0..1000 percent; 0 = the level's size
    void Read(const RawParameterList& list);
    void Scale(int32_t h);
};

struct HeadlineStyle {
    ScaleStamp stamp;
    HeadlineLevelStyle levels[6];
};

struct HorizontalLineStyle {
    ScaleStamp stamp;
    StyleLength overMargin{6}, underMargin{6}, lineHeight{6};
    COLORREF lineColor = RGB(0x80, 0x80, 0x80);
    void Read(const RawParameterList& list);
    void Scale(int32_t h);
};

struct BlockquoteStyle {
    ScaleStamp stamp;
    StyleLength barWidth{26}, sideMargin{80};
    COLORREF barColor = RGB(0xD0, 0xD0, 0xD0);
    COLORREF textColor = RGB(0x60, 0x60, 0x60);
    void Read(const RawParameterList& list);
    void Scale(int32_t h);
};

struct ItemizationStyle {
    ScaleStamp stamp;
    StyleLength markDistance{140}, markSize{36};
    StyleLength indents[6] = {StyleLength(140), StyleLength(240), StyleLength(340),
                              StyleLength(440), StyleLength(540), StyleLength(640)};
    void Read(const RawParameterList& list);
    void Scale(int32_t h);
};

// Code blocks (section "CodeBlock").
struct CodeBlockStyle {
    CodeBlockStyle();
    ScaleStamp stamp;
    StyleLength innerTBMargin{20}, innerLMargin{40}, innerRMargin{20}, leftMargin{120}, rightMargin{32};
    // "TabWrap": the texts that lay out an indented code line as tab
    // columns; the first one found in a line counts.
    RawStringList tabWrap;
    bool wrapLines = true;
    COLORREF frameColor = RGB(0xC0, 0xC0, 0xC0);
    COLORREF innerColor = RGB(0xF0, 0xF0, 0xF0);
    void Read(const RawParameterList& list);
    void Scale(int32_t h);
};

struct ImageStyle {
    ScaleStamp stamp;
    StyleLength overMargin{62}, underMargin{62}, interMargin{62};
    int32_t maxWidthRate = 80;        // 1..100
    int32_t expandOnPrint = 0;        // 0..1000
    bool pageMode = false;
    int32_t screenRatio = 0;
    int32_t printRatio = 0;
    void Read(const RawParameterList& list);
    void Scale(int32_t h);
    // The drawn size of a picture of the natural size, requested in pixels
    // and in percent (0 or less: none), within the available width. Never
    // negative, at most 100,000 pixels a side.
    SIZE FitImageSize(SIZE natural, SIZE requested, SIZE percent, int32_t available) const;
};

struct TableStyle {
    ScaleStamp stamp;
    StyleLength outerMargin{62}, leftMargin{32}, rightMargin{32}, topMargin{16}, bottomMargin{16};
    StyleLength frameWidth{6};
    COLORREF frameColor = RGB(0x80, 0x80, 0x80);
    COLORREF titleColor = RGB(0xF0, 0xF0, 0xF0);
    COLORREF innerColor = RGB(0xFF, 0xFF, 0xFF);
    void Read(const RawParameterList& list);
    void Scale(int32_t h);
};

struct TocStyle {
    ScaleStamp stamp;
    StyleLength indents[6] = {StyleLength(0), StyleLength(100), StyleLength(200),
                              StyleLength(300), StyleLength(400), StyleLength(500)};
    StyleLength linePageArea{600}, lineHeight{3};
    COLORREF lineColor = RGB(0xE0, 0xE0, 0xE0);
    void Read(const RawParameterList& list);
    void Scale(int32_t h);
};

struct PrintImageSettings {
    ProfileFileRef profile;           // where "PrintImage" is written back
    SIZE imageSize{4961, 7016};       // printer pixels
    SIZE milliSize{210, 297};         // millimetres
    RECT margin{100, 100, 100, 100};  // printer pixels
    void Read(const RawParameterList& list);
};

// Sizes out of range take the defaults; margins that are negative, or that
// leave no page between them, take 100.
void CheckPrintImageSettings(PrintImageSettings& settings);
// The printer's pixels per inch down the page, from the page's size in
// printer pixels and in millimetres: the unit the print font's heights are
// kept in. 0 when the settings do not tell.
int32_t PrintPixelsPerInch(const PrintImageSettings& settings);
// Writes section "PrintImage" into the settings' profile; false when the
// file could not be rewritten (the settings in memory stay).
bool SavePrintImageSettings(const PrintImageSettings& settings);

struct PrintBandStyle {
    explicit PrintBandStyle(const RawString& section) : sectionName(section) {}
    ScaleStamp stamp;
    RawString sectionName;
    StyleLength interMargin{16}, lineHeight{10}, textHeight{100};
    COLORREF lineColor = RGB(0x40, 0x40, 0x40);
    COLORREF textColor = RGB(0x40, 0x40, 0x40);
    int32_t fontRatio = 0;            // 0..1000 percent; 0 = the base height
    HFONT handle = nullptr;
    LOGFONTW description{};
    void Read(const RawParameterList& list);
    void Scale(int32_t h);
};

class DocumentStyle {
public:
    // Bits of the flag word.
    enum : uint32_t {
        FlagPageMode = 1,   // the print font is the base font
        FlagFenceOpen = 4   // the reader is inside a fenced code block
    };

    DocumentStyle();
    ~DocumentStyle();
    DocumentStyle(const DocumentStyle&) = delete;
    DocumentStyle& operator=(const DocumentStyle&) = delete;

    StyleFont textFont;
    StyleFont printFont;
    OverviewStyle overview;
    HeadlineStyle headline;
    HorizontalLineStyle horizontalLine;
    BlockquoteStyle blockquote;
    ItemizationStyle itemization;
    CodeBlockStyle codeBlock;
    ImageStyle image;
    TableStyle table;
    TocStyle toc;
    PrintImageSettings printImage;
    PrintBandStyle printHeader;
    PrintBandStyle printFooter;
    RawString profilePath;
    // The flag word and the reader's fence state beside it: the quote depth
    // of the line that opened the fence and that line's indent column. None
    // of them is copied from another style set.
    uint32_t flags = 0;
    uint16_t fenceQuoteDepth = 0;
    int32_t fenceIndent = 0;
    // The document's file and its folder (links and pictures resolve
    // against the folder).
    RawString documentPath;
    RawString documentFolder;

    // Copies every member but the flag word, the fence state and the
    // document's path and folder; handles are made anew.
    void Assign(const DocumentStyle& source);
    // Reads the program style from the profile; the view measures the fonts.
    void Read(const RawString& path, HWND view);
    // Applies a style file over the set (the caller runs UpdateMetrics).
    void ReadOverlay(const RawString& path);
    // Recomputes the derived values of every element whose stamp differs
    // from the base font's.
    void UpdateMetrics();

    const StyleFont& BaseFont() const { return (flags & FlagPageMode) ? printFont : textFont; }
    bool FenceOpen() const { return (flags & FlagFenceOpen) != 0; }
    // Back to the state a load starts from: fence closed, depth and indent 0.
    void ResetFence() {
        flags &= ~static_cast<uint32_t>(FlagFenceOpen);
        fenceQuoteDepth = 0;
        fenceIndent = 0;
    }

private:
    void ReadElements(ProfileFileRef& file, bool overlay);
};

// Replaces the handle with one made from the description (null when it
// cannot be made) and deletes the old one.
void ReplaceFontHandle(HFONT& handle, const LOGFONTW& description);

}  // namespace DocLayer
