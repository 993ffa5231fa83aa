// The document style set: defaults, profile reading, scaling and fonts.

#include "quenby/document/document_style.h"

#include <algorithm>

#include "base/numbered_key.h"
#include "base/raw_string_tokenizer.h"

#include "quenby/document/document_model.h"
#include "quenby/document/document_reader.h"
#include "toolkit/font_parameter.h"
#include "toolkit/size_parameter.h"

namespace DocLayer {

using RawLayer::NumberedKeyName;
using RawLayer::RawParameterUnit;

namespace {

RAW_CONSTANT_TEXT(TextFontText, "TextFont")
RAW_CONSTANT_TEXT(PrintFontText, "PrintFont")
RAW_CONSTANT_TEXT(TextFontDefaultText,
                  "Height=-13,Width=0,Escapement=0,Orientation=0,Weight=400,Italic=0,Underline=0,"
                  "StrikeOut=0,Charset=0,OutPrecision=3,ClipPrecision=2,Quality=1,PitchFamily=50,"
                  "FaceName=Meiryo UI")
RAW_CONSTANT_TEXT(PrintFontDefaultText,
                  "Height=-64,Width=0,Escapement=0,Orientation=0,Weight=400,Italic=0,Underline=0,"
                  "StrikeOut=0,Charset=0,OutPrecision=3,ClipPrecision=2,Quality=1,PitchFamily=50,"
                  "FaceName=Meiryo UI")
RAW_CONSTANT_TEXT(PrintHeaderText, "PrintHeader")
RAW_CONSTANT_TEXT(PrintFooterText, "PrintFooter")
RAW_CONSTANT_TEXT(PrintImageText, "PrintImage")
RAW_CONSTANT_TEXT(ImageSizeText, "ImageSize")
RAW_CONSTANT_TEXT(MilliSizeText, "MilliSize")
RAW_CONSTANT_TEXT(MarginText, "Margin")

// The style fonts' indexes.
constexpr int32_t kTextFontIndex = 0;
constexpr int32_t kPrintFontIndex = 1;

// A font's default text: key=value fields split at every ',', blanks and
// tabs trimmed.
RawParameterList ParseFontText(const RawString& text) {
    RawParameterList parsed;
    RawLayer::RawStringTokenizer fields(text);
    while (!(fields.State() & RawLayer::RawStringTokenizer::FieldEnded))
        parsed.ParseLine(fields.NextField(','), BlankSetText());
    return parsed;
}

RawString Key(const char* name) { return RawString::FromLiteral(name); }

RawString NumberedName(const char* stem, int32_t number) { return NumberedKeyName(stem).ForNumber(number); }

// The number of a present key, read as RawString::ToInt reads it but not
// cut to 32 bits: a number past them stays outside every range. False when
// the key is missing.
bool ReadNumber(const RawParameterList& list, const RawString& key, int64_t& number) {
    bool found = false;
    const RawString text = list.GetText(key, &found);
    if (!found) return false;
    RawLayer::RawNumberScan scan{};
    RawLayer::ParseNumber(text, text.TrimRange(text.All(), BlankSetText()), scan);
    const uint64_t magnitude = scan.overflow || scan.value > static_cast<uint64_t>(INT64_MAX)
                                   ? static_cast<uint64_t>(INT64_MAX)
                                   : scan.value;
    number = scan.sign == '-' ? -static_cast<int64_t>(magnitude) : static_cast<int64_t>(magnitude);
    return true;
}

// A present number key inside its range replaces the value; a missing key
// or one outside the range keeps it (the default, or the program style's
// value under a per-folder file).
template <class Number>
void ReadInt(const RawParameterList& list, const RawString& key, Number& value, int32_t low, int32_t high) {
    int64_t number = 0;
    if (ReadNumber(list, key, number) && number >= low && number <= high) value = static_cast<Number>(number);
}
void ReadLength(const RawParameterList& list, const RawString& key, StyleLength& length) {
    int64_t number = 0;
    if (!ReadNumber(list, key, number) || number < kStyleLengthShownLeast || number > kStyleLengthShownLimit) return;
    length.base = static_cast<int32_t>(ClampInt(number, kStyleLengthLeast, kStyleLengthLimit));
}
void ReadLength(const RawParameterList& list, const char* key, StyleLength& length) {
    ReadLength(list, Key(key), length);
}
void ReadBool(const RawParameterList& list, const char* key, bool& value) {
    value = list.GetBool(Key(key), value);
}

// Profiles write colours as 0xRRGGBB. A value that is not a number, or a
// number outside 0 .. 0xFFFFFF (-1 would be white text on the white page),
// keeps the colour.
void ReadColour(const RawParameterList& list, const char* key, COLORREF& colour) {
    bool found = false;
    RawString text = list.GetText(Key(key), &found);
    if (!found || text.IsEmpty()) return;
    RawLayer::RawNumberScan scan{};
    if (!RawLayer::ParseNumber(text, text.All(), scan) || scan.overflow) return;
    if (scan.value > 0xFFFFFFu || (scan.sign == '-' && scan.value != 0)) return;
    const uint32_t v = static_cast<uint32_t>(scan.value);
    colour = RGB((v >> 16) & 0xFF, (v >> 8) & 0xFF, v & 0xFF);
}

// Whether a font field read from a profile gives text a page can show; a
// size is judged against the font's limit.
bool FontHeightShows(int64_t height, int64_t limit) {
    const int64_t size = height < 0 ? -height : height;
    return size == 0 || (size >= 6 && size <= limit);
}
bool FontWidthShows(int64_t width, int64_t limit) { return width >= -limit && width <= limit; }
// Turned text leaves its line: only a full turn either way is an angle.
bool FontAngleShows(int64_t angle, int64_t) { return angle >= -3600 && angle <= 3600; }
bool FontWeightShows(int64_t weight, int64_t) { return weight >= 0 && weight <= 1000; }

}  // namespace

void StyleLength::Scale(int32_t height, int32_t floor) {
    int64_t scaled = (static_cast<int64_t>(base) * height + 50) / 100;
    value = ClampInt(scaled, INT32_MIN, INT32_MAX);
    if (value < floor) value = floor;
}

void ReplaceFontHandle(HFONT& handle, const LOGFONTW& description) {
    HFONT made = CreateFontIndirectW(&description);
    if (handle) DeleteObject(handle);
    handle = made;
}

// ---- StyleFont -------------------------------------------------------------

StyleFont::StyleFont(int32_t fontIndex, const RawString& section, const RawString& defaults)
    : index(fontIndex), sectionName(section), defaultText(defaults) {
    stamp.text = section;
    description.lfHeight = 12;
    description.lfCharSet = DEFAULT_CHARSET;
    defaultDescription = description;
    WinLayer::WinFontParameter::Read(defaultDescription, ParseFontText(defaults));
}

StyleFont::~StyleFont() {
    if (handle) DeleteObject(handle);
}

void StyleFont::Measure() {
    if (!ownerView) return;
    HDC dc = GetDC(ownerView);
    if (!dc) return;
    HGDIOBJ old = handle ? SelectObject(dc, handle) : nullptr;
    SetTextAlign(dc, 0);
    SIZE size{};
    if (GetTextExtentPoint32W(dc, L"0", 1, &size)) measured = size;
    ++stamp.counter;
    // The old font goes back before the DC is released: a font left in a
    // window's own DC could never be freed.
    if (old) SelectObject(dc, old);
    ReleaseDC(ownerView, dc);
}

void StyleFont::Recreate() { ReplaceFontHandle(handle, description); }

void StyleFont::Change(const LOGFONTW& newDescription) {
    WinLayer::WinFontParameter::CopyLogFont(description, newDescription);
    Recreate();
    Measure();
}

void StyleFont::ApplyKeys(const RawParameterList& list) {
    LOGFONTW kept = description;
    WinLayer::WinFontParameter::Read(description, list);
    // Without "FaceName" a style font keeps its face.
    if (!list.Contains(WinLayer::FontFaceNameKeyText()))
        std::copy(kept.lfFaceName, kept.lfFaceName + LF_FACESIZE, description.lfFaceName);
    // A size or angle no page could show (a glyph taller than any page,
    // text turned off its line) takes the default font's.
    const struct {
        const RawString& (*key)();
        LONG LOGFONTW::*field;
        bool (*shows)(int64_t, int64_t);
    } checked[] = {
        {WinLayer::FontHeightKeyText, &LOGFONTW::lfHeight, FontHeightShows},
        {WinLayer::FontWidthKeyText, &LOGFONTW::lfWidth, FontWidthShows},
        {WinLayer::FontEscapementKeyText, &LOGFONTW::lfEscapement, FontAngleShows},
        {WinLayer::FontOrientationKeyText, &LOGFONTW::lfOrientation, FontAngleShows},
        {WinLayer::FontWeightKeyText, &LOGFONTW::lfWeight, FontWeightShows},
    };
    for (const auto& c : checked) {
        int64_t number = 0;
        if (ReadNumber(list, c.key(), number) && !c.shows(number, SizeLimit()))
            description.*c.field = defaultDescription.*c.field;
    }
}

int32_t StyleFont::SizeLimit() const {
    return index == kPrintFontIndex ? kStylePrintFontHeightLimit : kStyleFontHeightLimit;
}

void StyleFont::CopyFrom(const StyleFont& source) {
    index = source.index;
    ownerView = source.ownerView;
    stamp = source.stamp;
    sectionName = source.sectionName;
    profile = source.profile;
    description = source.description;
    measured = source.measured;
    keys = source.keys;
    defaultDescription = source.defaultDescription;
    defaultText = source.defaultText;
    if (source.handle) {
        Recreate();
    } else if (handle) {
        DeleteObject(handle);
        handle = nullptr;
    }
}

// ---- element records ----------------------------------------------------------

void OverviewStyle::SetEnhanceForm(const RawString& form) {
    RawString value = form.As(RawLayer::KindUtf8);
    RawRange unquoted = value.TrimRange(value.All(), Key("\""));
    int32_t start = unquoted.start, end = unquoted.end;
    const RawString& mark = FormatMarkText();
    int32_t at = value.FindRange(RawRange{start, end}, mark, mark.All());
    enhancePrefix = RawString(RawLayer::KindUtf8);
    enhanceSuffix = RawString(RawLayer::KindUtf8);
    if (at >= end) return;
    enhancePrefix.AssignRange(value, RawRange{start, at});
    enhanceSuffix.AssignRange(value, RawRange{at + mark.Length(), end});
}

void OverviewStyle::Read(const RawParameterList& list) {
    ReadInt(list, Key("TabStop"), tabStop, 1, 64);
    ReadLength(list, "OverMargin", overMargin);
    ReadLength(list, "UnderMargin", underMargin);
    ReadLength(list, "WrapOverMargin", wrapOverMargin);
    ReadLength(list, "OverParagraphMargin", overParagraphMargin);
    ReadLength(list, "UnderParagraphMargin", underParagraphMargin);
    ReadLength(list, "PageHeadHeight", pageHeadHeight);
    ReadColour(list, "BackgroundColor", backgroundColor);
    ReadColour(list, "TextColor", textColor);
    ReadColour(list, "PageHeadColor", pageHeadColor);
    ReadBool(list, "UnderscoreEmphasis", underscoreEmphasis);
    bool found = false;
    RawString form = list.GetText(Key("EnhanceForm"), &found);
    SetEnhanceForm(found ? form : Key("@%s"));
}

void OverviewStyle::Scale(int32_t h) {
    for (StyleLength* l : {&overMargin, &underMargin, &wrapOverMargin, &overParagraphMargin,
                           &underParagraphMargin, &pageHeadHeight})
        l->Scale(h);
}

void HeadlineLevelStyle::Read(const RawParameterList& list) {
    ReadLength(list, "Overline", overline);
    ReadLength(list, "Underline", underline);
    ReadLength(list, "OverSpace", overSpace);
    ReadLength(list, "UnderSpace", underSpace);
    ReadLength(list, "OverlineMargin", overlineMargin);
    ReadLength(list, "UnderlineMargin", underlineMargin);
    ReadColour(list, "UnderlineColor", underlineColor);
    ReadColour(list, "OverlineColor", overlineColor);
    ReadInt(list, Key("FontRatio"), fontRatio, 0, 1000);
}

void HeadlineLevelStyle::Scale(int32_t h) {
    // A rule asked for never thins away; one not asked for stays 0.
    overline.Scale(h, overline.base >= 1 ? 1 : INT32_MIN);
    underline.Scale(h, underline.base >= 1 ? 1 : INT32_MIN);
    for (StyleLength* l : {&overSpace, &underSpace, &overlineMargin, &underlineMargin}) l->Scale(h);
}

void HorizontalLineStyle::Read(const RawParameterList& list) {
    ReadLength(list, "OverMargin", overMargin);
    ReadLength(list, "UnderMargin", underMargin);
    ReadLength(list, "LineHeight", lineHeight);
    ReadColour(list, "LineColor", lineColor);
}

void HorizontalLineStyle::Scale(int32_t h) {
    overMargin.Scale(h);
    underMargin.Scale(h);
    lineHeight.Scale(h, 1);
}

void BlockquoteStyle::Read(const RawParameterList& list) {
    ReadLength(list, "BarWidth", barWidth);
    ReadLength(list, "SideMargin", sideMargin);
    ReadColour(list, "BarColor", barColor);
    ReadColour(list, "TextColor", textColor);
}

void BlockquoteStyle::Scale(int32_t h) {
    barWidth.Scale(h, 1);
    sideMargin.Scale(h, 2);
}

void ItemizationStyle::Read(const RawParameterList& list) {
    markDistance.base = 140;
    markSize.base = 36;
    for (int32_t i = 0; i < 6; ++i)
        ReadLength(list, NumberedName("Indent", i + 1), indents[i]);
    if (indents[0].base < 140) markDistance.base = indents[0].base;
}

void ItemizationStyle::Scale(int32_t h) {
    markDistance.Scale(h, 3);
    markSize.Scale(h, 1);
    for (StyleLength& l : indents) l.Scale(h);
}

CodeBlockStyle::CodeBlockStyle() { tabWrap.Add(TabWrapDefaultText()); }

void CodeBlockStyle::Read(const RawParameterList& list) {
    ReadLength(list, "InnerTBMargin", innerTBMargin);
    ReadLength(list, "InnerLMargin", innerLMargin);
    ReadLength(list, "InnerRMargin", innerRMargin);
    ReadLength(list, "LeftMargin", leftMargin);
    ReadLength(list, "RightMargin", rightMargin);
    bool found = false;
    RawString wrap = list.GetText(Key("TabWrap"), &found);
    if (!found) wrap = TabWrapDefaultText();
    RawStringList fresh;
    RawLayer::RawStringTokenizer fields(wrap);
    fields.SetState(RawLayer::RawStringTokenizer::FieldQuotes);
    while (!(fields.State() & RawLayer::RawStringTokenizer::FieldEnded)) fresh.Add(fields.NextField(','));
    tabWrap = fresh;
    ReadBool(list, "WrapLines", wrapLines);
    ReadColour(list, "FrameColor", frameColor);
    ReadColour(list, "InnerColor", innerColor);
}

void CodeBlockStyle::Scale(int32_t h) {
    for (StyleLength* l : {&innerTBMargin, &innerLMargin, &innerRMargin, &leftMargin, &rightMargin})
        l->Scale(h);
}

void ImageStyle::Read(const RawParameterList& list) {
    ReadLength(list, "OverMargin", overMargin);
    ReadLength(list, "UnderMargin", underMargin);
    ReadLength(list, "InterMargin", interMargin);
    ReadInt(list, Key("MaxWidthRate"), maxWidthRate, 1, 100);
    ReadInt(list, Key("ExpandOnPrint"), expandOnPrint, 0, 1000);
}

void ImageStyle::Scale(int32_t h) {
    for (StyleLength* l : {&overMargin, &underMargin, &interMargin}) l->Scale(h);
}

SIZE ImageStyle::FitImageSize(SIZE natural, SIZE requested, SIZE percent, int32_t available) const {
    const int64_t limit = 100000;
    int64_t nw = natural.cx < 0 ? 0 : natural.cx, nh = natural.cy < 0 ? 0 : natural.cy;
    int64_t w = requested.cx < 0 ? 0 : requested.cx, h = requested.cy < 0 ? 0 : requested.cy;
    if (percent.cx > 0) w = nw * percent.cx / 100;
    if (percent.cy > 0) h = nh * percent.cy / 100;
    // A missing natural size cannot give the other side: it stays as it is.
    if (w > 0 && h == 0 && nw > 0) h = nh * w / nw;
    else if (h > 0 && w == 0 && nh > 0) w = nw * h / nh;
    if (w == 0 || h == 0) w = nw, h = nh;
    w = w > limit ? limit : w;
    h = h > limit ? limit : h;
    if (pageMode) {
        int32_t rate = ClampInt(expandOnPrint, 0, 1000);
        if (rate != 0) {
            w = w * rate / 100;
            h = h * rate / 100;
        } else if (screenRatio > 0 && printRatio > 0) {
            w = w * printRatio / screenRatio;
            h = h * printRatio / screenRatio;
        }
        w = w > limit ? limit : w;
        h = h > limit ? limit : h;
    }
    int64_t l = static_cast<int64_t>(ClampInt(maxWidthRate, 1, 100)) * (available < 0 ? 0 : available) / 100;
    if (w > l) {
        h = w > 0 ? h * l / w : 0;
        w = l;
    }
    SIZE out;
    out.cx = ClampInt(w, 0, limit);
    out.cy = ClampInt(h, 0, limit);
    return out;
}

void TableStyle::Read(const RawParameterList& list) {
    ReadLength(list, "OuterMargin", outerMargin);
    ReadLength(list, "LeftMargin", leftMargin);
    ReadLength(list, "RightMargin", rightMargin);
    ReadLength(list, "TopMargin", topMargin);
    ReadLength(list, "BottomMargin", bottomMargin);
    ReadLength(list, "FrameWidth", frameWidth);
    ReadColour(list, "FrameColor", frameColor);
    ReadColour(list, "TitleColor", titleColor);
    ReadColour(list, "InnerColor", innerColor);
}

void TableStyle::Scale(int32_t h) {
    for (StyleLength* l : {&outerMargin, &leftMargin, &rightMargin, &topMargin, &bottomMargin}) l->Scale(h);
    frameWidth.Scale(h, 1);
}

void TocStyle::Read(const RawParameterList& list) {
    for (int32_t i = 0; i < 6; ++i)
        ReadLength(list, NumberedName("Indent", i + 1), indents[i]);
    ReadLength(list, "LinePageArea", linePageArea);
    ReadLength(list, "LineHeight", lineHeight);
    ReadColour(list, "LineColor", lineColor);
}

void TocStyle::Scale(int32_t h) {
    for (StyleLength& l : indents) l.Scale(h);
    linePageArea.Scale(h, 100);
    lineHeight.Scale(h, 1);
}

void PrintImageSettings::Read(const RawParameterList& list) {
    // CheckPrintImageSettings judges the values.
    WinLayer::WinSizeParameter::Load(imageSize, ImageSizeText(), list);
    WinLayer::WinSizeParameter::Load(milliSize, MilliSizeText(), list);
    WinLayer::WinRectParameter::Load(margin, MarginText(), list);
}

void CheckPrintImageSettings(PrintImageSettings& s) {
    PrintImageSettings defaults;
    if (s.imageSize.cx <= 200 || s.imageSize.cy <= 200 || s.imageSize.cx > 100000 || s.imageSize.cy > 100000)
        s.imageSize = defaults.imageSize;
    if (s.milliSize.cx <= 50 || s.milliSize.cy <= 50 || s.milliSize.cx > 2000 || s.milliSize.cy > 2000)
        s.milliSize = defaults.milliSize;
    for (LONG* m : {&s.margin.left, &s.margin.top, &s.margin.right, &s.margin.bottom})
        if (*m < 0) *m = 100;
    // Margins that leave no page take the margin dialog's default.
    if (static_cast<int64_t>(s.margin.left) + s.margin.right >= s.imageSize.cx - 100 ||
        static_cast<int64_t>(s.margin.top) + s.margin.bottom >= s.imageSize.cy - 100)
        s.margin = defaults.margin;
}

int32_t PrintPixelsPerInch(const PrintImageSettings& s) {
    if (s.imageSize.cy <= 0 || s.milliSize.cy <= 0) return 0;
    // 25.4 millimetres an inch, rounded to the nearest pixel.
    const int64_t perInch = (static_cast<int64_t>(s.imageSize.cy) * 254 + s.milliSize.cy * 5) / (s.milliSize.cy * 10);
    return perInch > 0 && perInch <= 100000 ? static_cast<int32_t>(perInch) : 0;
}

bool SavePrintImageSettings(const PrintImageSettings& s) {
    RawParameterList list;
    WinLayer::WinSizeParameter::Save(s.imageSize, ImageSizeText(), list);
    WinLayer::WinSizeParameter::Save(s.milliSize, MilliSizeText(), list);
    WinLayer::WinRectParameter::Save(s.margin, MarginText(), list);
    ProfileFileRef file = s.profile;
    return !file.path.IsEmpty() && list.WriteSection(file, PrintImageText());
}

void PrintBandStyle::Read(const RawParameterList& list) {
    ReadLength(list, "InterMargin", interMargin);
    ReadLength(list, "LineHeight", lineHeight);
    ReadLength(list, "TextHeight", textHeight);
    ReadColour(list, "LineColor", lineColor);
    ReadColour(list, "TextColor", textColor);
    ReadInt(list, Key("FontRatio"), fontRatio, 0, 1000);
}

void PrintBandStyle::Scale(int32_t h) {
    interMargin.Scale(h);
    lineHeight.Scale(h, 0);
    textHeight.Scale(h, 50);
}

// ---- DocumentStyle -------------------------------------------------------------

DocumentStyle::DocumentStyle()
    : textFont(kTextFontIndex, TextFontText(), TextFontDefaultText()),
      printFont(kPrintFontIndex, PrintFontText(), PrintFontDefaultText()),
      printHeader(PrintHeaderText()),
      printFooter(PrintFooterText()) {}

DocumentStyle::~DocumentStyle() {
    for (HeadlineLevelStyle& level : headline.levels)
        if (level.handle) DeleteObject(level.handle);
    if (printHeader.handle) DeleteObject(printHeader.handle);
    if (printFooter.handle) DeleteObject(printFooter.handle);
}

namespace {

// Copies a record that owns a font handle: the handle is made anew from
// the copied description, and the target's old one deleted.
template <class Record>
void CopyWithFont(Record& target, const Record& source) {
    HFONT kept = target.handle;
    target = source;
    target.handle = kept;
    if (source.handle) {
        ReplaceFontHandle(target.handle, target.description);
    } else if (target.handle) {
        DeleteObject(target.handle);
        target.handle = nullptr;
    }
}

}  // namespace

void DocumentStyle::Assign(const DocumentStyle& source) {
    if (&source == this) return;
    textFont.CopyFrom(source.textFont);
    printFont.CopyFrom(source.printFont);
    overview = source.overview;
    headline.stamp = source.headline.stamp;
    for (int i = 0; i < 6; ++i) CopyWithFont(headline.levels[i], source.headline.levels[i]);
    horizontalLine = source.horizontalLine;
    blockquote = source.blockquote;
    itemization = source.itemization;
    codeBlock = source.codeBlock;
    image = source.image;
    table = source.table;
    toc = source.toc;
    printImage = source.printImage;
    CopyWithFont(printHeader, source.printHeader);
    CopyWithFont(printFooter, source.printFooter);
    profilePath = source.profilePath;
}

void DocumentStyle::ReadElements(ProfileFileRef& file, bool overlay) {
    RawParameterList list;
    auto section = [&](const RawString& name, ScaleStamp& stamp) {
        if (!list.ReadSection(file, name)) return false;
        --stamp.counter;
        return true;
    };
    if (section(Key("Overview"), overview.stamp)) overview.Read(list);
    for (int32_t i = 0; i < 6; ++i)
        if (section(NumberedName("Headline", i + 1), headline.stamp)) headline.levels[i].Read(list);
    if (section(Key("HorizontalLine"), horizontalLine.stamp)) horizontalLine.Read(list);
    if (section(Key("Blockquote"), blockquote.stamp)) blockquote.Read(list);
    if (section(Key("Itemization"), itemization.stamp)) itemization.Read(list);
    if (section(Key("Image"), image.stamp)) image.Read(list);
    if (section(Key("CodeBlock"), codeBlock.stamp)) codeBlock.Read(list);
    if (section(Key("Table"), table.stamp)) table.Read(list);
    if (section(Key("TOC"), toc.stamp)) toc.Read(list);
    if (!overlay) printImage.profile = file;
    if (list.ReadSection(file, PrintImageText())) {
        if (overlay) printImage.profile = file;
        printImage.Read(list);
        CheckPrintImageSettings(printImage);
    }
    if (section(PrintHeaderText(), printHeader.stamp)) printHeader.Read(list);
    if (section(PrintFooterText(), printFooter.stamp)) printFooter.Read(list);
}

void DocumentStyle::Read(const RawString& path, HWND view) {
    if (&path != &profilePath) profilePath = path;
    textFont.ownerView = view;
    printFont.ownerView = view;
    ProfileFileRef file = ProfileFileRef::FromPath(profilePath);
    for (StyleFont* font : {&textFont, &printFont}) {
        font->profile = file;
        RawParameterList keys;
        if (!keys.ReadSection(file, font->sectionName)) keys = ParseFontText(font->defaultText);
        font->keys = keys;
        // A key missing from the program's section keeps the default text's
        // value, not the built-in record's (a height of 12 pixels would
        // print lines a few rows of dots high).
        WinLayer::WinFontParameter::CopyLogFont(font->description, font->defaultDescription);
        font->ApplyKeys(keys);
        font->Recreate();
        font->Measure();
    }
    ReadElements(file, false);
    UpdateMetrics();
}

void DocumentStyle::ReadOverlay(const RawString& path) {
    if (RawString::EqualsNoCase(path, profilePath)) return;
    ProfileFileRef file = ProfileFileRef::FromPath(path);
    for (StyleFont* font : {&textFont, &printFont}) {
        RawParameterList keys;
        if (!keys.ReadSection(file, font->sectionName)) continue;
        font->profile = file;
        font->keys = keys;
        font->ApplyKeys(keys);
        font->Recreate();
        font->Measure();
    }
    ReadElements(file, true);
}

void DocumentStyle::UpdateMetrics() {
    const StyleFont& base = BaseFont();
    const int32_t h = base.measured.cy;
    auto stale = [&](ScaleStamp& stamp) {
        if (stamp.Matches(base.stamp)) return false;
        stamp = base.stamp;
        return true;
    };
    if (stale(overview.stamp)) overview.Scale(h);
    if (stale(headline.stamp)) {
        const int64_t fontHeight = base.description.lfHeight;
        for (int32_t k = 1; k <= 6; ++k) {
            HeadlineLevelStyle& level = headline.levels[k - 1];
            level.Scale(h);
            int64_t height = level.fontRatio > 0 ? level.fontRatio * fontHeight / 100
                                                 : fontHeight + (6 - k) * fontHeight / 10;
            level.description = base.description;
            level.description.lfWeight = 600;
            level.description.lfHeight = ClampInt(height, -100000, 100000);
            ReplaceFontHandle(level.handle, level.description);
        }
    }
    if (stale(horizontalLine.stamp)) horizontalLine.Scale(h);
    if (stale(blockquote.stamp)) blockquote.Scale(h);
    if (stale(itemization.stamp)) itemization.Scale(h);
    if (stale(image.stamp)) {
        image.Scale(h);
        (&base == &printFont ? image.printRatio : image.screenRatio) = h;
    }
    if (stale(codeBlock.stamp)) codeBlock.Scale(h);
    if (stale(table.stamp)) table.Scale(h);
    if (stale(toc.stamp)) toc.Scale(h);
    for (PrintBandStyle* band : {&printHeader, &printFooter}) {
        if (!stale(band->stamp)) continue;
        band->Scale(h);
        band->description = base.description;
        if (band->fontRatio > 0)
            band->description.lfHeight =
                ClampInt(static_cast<int64_t>(band->fontRatio) * base.description.lfHeight / 100, -100000, 100000);
        ReplaceFontHandle(band->handle, band->description);
    }
}

// ---- opening a document ------------------------------------------------------

DocumentLoad JobLineList::OpenFile(const RawString& path, const DocumentStyle& programStyle) {
    DocumentStyle& style = *style_;
    RawRange folder = RawLayer::PathFolderRange(path);
    RawString folderText;
    folderText.AssignRange(path, folder);
    style.Assign(programStyle);
    RawString styleFile = RawLayer::PathJoin(folderText, StyleFileNameText());
    if (RawLayer::FileExists(styleFile)) {
        style.ReadOverlay(styleFile);
        style.UpdateMetrics();
    }
    style.documentPath = path;
    style.documentFolder = folderText;
    title.AssignRange(path, RawLayer::PathNameRange(path));
    return LoadDocumentLines(*this);
}

}  // namespace DocLayer
