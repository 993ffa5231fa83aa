// The GUI profile store: language, window parameters, fonts, start source.
#include "tavrel/jobs/gui_profile.h"

#include <algorithm>

#include "base/language.h"
#include "tavrel/jobs/pair_line.h"
#include "toolkit/environment.h"

namespace JobLayer {

using RawLayer::LanguageTable;
using WinLayer::WinEnvironment;
using WinLayer::WinFontParameter;

namespace {

int32_t ClampWindowParameter(int32_t value) { return std::max(0, std::min(value, kWindowParameterLimit)); }

int32_t ClampFontSize(LONG value) {
    return std::max(-kProfileFontSizeLimit, std::min(static_cast<int32_t>(value), kProfileFontSizeLimit));
}

// Makes a font from the description into the record. The old handle is
// deleted only once the new one exists; when none can be made the record
// keeps its font (or, having none, takes the stock GUI font, which deleting
// later leaves alone), so a view never draws with a null font.
void MakeFont(WinFontParameter& record, const LOGFONTW& description) {
    LOGFONTW copy;
    WinFontParameter::CopyLogFont(copy, description);
    HFONT made = CreateFontIndirectW(&copy);
    if (made == nullptr) {
        if (record.handle == nullptr) record.handle = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
        return;
    }
    HFONT old = record.handle;
    record.handle = made;
    record.description = copy;
    if (old != nullptr) DeleteObject(old);
}

LOGFONTW ReadFixedPitchFont() {
    LOGFONTW font{};
    HGDIOBJ stock = GetStockObject(OEM_FIXED_FONT);
    if (stock == nullptr || GetObjectW(stock, sizeof(font), &font) != sizeof(font)) {
        font = LOGFONTW{};
        font.lfHeight = 12;
        font.lfCharSet = OEM_CHARSET;
        font.lfPitchAndFamily = FIXED_PITCH | FF_MODERN;
    }
    font.lfFaceName[LF_FACESIZE - 1] = 0;
    return font;
}

}  // namespace

void ClampProfileFont(LOGFONTW& description) {
    description.lfHeight = ClampFontSize(description.lfHeight);
    description.lfWidth = ClampFontSize(description.lfWidth);
    description.lfWeight = std::max<LONG>(0, std::min<LONG>(description.lfWeight, 1000));
}

GuiProfileStore& GuiProfileStore::Instance() {
    static GuiProfileStore store;
    return store;
}

GuiProfileStore::GuiProfileStore() : file(ProfileFileRef::Construct()) {
    for (WinFontParameter& record : viewFonts) record.Init();
}

GuiProfileStore::~GuiProfileStore() {
    for (WinFontParameter& record : viewFonts) {
        if (record.handle != nullptr) DeleteObject(record.handle);
        record.handle = nullptr;
    }
}

void GuiProfileStore::Load(const RawString& path, const RawParameterList& commandLine) {
    file.SetPath(path);
    LoadLanguage();
    LoadWindowParameters();
    LoadWindowFont();
    for (uint32_t kind = 0; kind < ViewFontCount; ++kind) ReloadViewFont(kind);
    ReadStartSource(commandLine);
}

void GuiProfileStore::LoadLanguage() {
    LanguageTable& table = LanguageTable::Construct();
    RawString chosen = file.ReadValue(UserSelectionSectionText(), LanguageKeyText(), table.SelectedLanguage());
    LanguageTable::SetLanguage(chosen);
    table.Load();
    RawString inUse = table.SelectedLanguage();
    if (inUse.IsEmpty()) inUse = table.PickLanguage();
    const bool read = table.UseLanguage(inUse);
    const RawString path = table.FilePath();
    if (read || path.IsEmpty()) return;
    // The file lacks this language: give the translator its section with
    // the English texts. The profile writer replaces the file through
    // "<path>.tmp" and leaves a read-only file alone.
    ProfileFileRef languageFile = ProfileFileRef::FromPath(path);
    table.Defaults().WriteSection(languageFile, inUse);
}

void GuiProfileStore::LoadWindowParameters() {
    RawParameterList list(true);
    if (!list.ReadSection(file, WindowParameterSectionText())) return;
    WinEnvironment& environment = WinEnvironment::Instance();
    environment.margin = ClampWindowParameter(list.GetInt(MarginKeyText(), environment.margin));
    environment.buttonRadius = ClampWindowParameter(list.GetInt(ButtonRadiusKeyText(), environment.buttonRadius));
}

void GuiProfileStore::LoadWindowFont() {
    WinEnvironment& environment = WinEnvironment::Instance();
    RawParameterList list(true);
    if (list.ReadSection(file, WindowFontSectionText())) {
        LOGFONTW description = environment.font.description;
        WinFontParameter::Read(description, list);
        ClampProfileFont(description);
        MakeFont(environment.font, description);
        windowFont = list;
        return;
    }
    WinFontParameter::Write(environment.font.description, windowFont);
}

RawString GuiProfileStore::ViewFontSection(uint32_t kind) {
    switch (kind) {
    case ViewFontPath: return PathViewFontSectionText();
    case ViewFontText: return TextViewFontSectionText();
    case ViewFontBinary: return BinaryViewFontSectionText();
    default: return RawString();
    }
}

LOGFONTW GuiProfileStore::FixedPitchFont() {
    static const LOGFONTW font = ReadFixedPitchFont();
    return font;
}

WinFontParameter& GuiProfileStore::ViewFont(uint32_t kind) {
    return viewFonts[std::min<uint32_t>(kind, ViewFontCount)];
}

void GuiProfileStore::ReloadViewFont(uint32_t kind) {
    if (kind >= ViewFontCount) return;
    LOGFONTW description = kind == ViewFontBinary ? FixedPitchFont() : WinFontParameter::DefaultFont();
    RawParameterList list(true);
    if (list.ReadSection(file, ViewFontSection(kind))) {
        WinFontParameter::Read(description, list);
        ClampProfileFont(description);
    }
    MakeFont(viewFonts[kind], description);
}

void GuiProfileStore::ReadStartSource(const RawParameterList& commandLine) {
    startSource = StartSource();
    bool found = false;
    RawString group = commandLine.GetText(GroupFileOptionText(), &found);
    if (found) {
        startSource.kind = StartGroupFile;
        startSource.path1 = group;
    }
    RawString pair = commandLine.GetText(PairTextOptionText(), &found);
    if (found) {
        startSource = StartSource();
        startSource.kind = StartPairText;
        startSource.path1 = pair;
    }
    RawString first = commandLine.GetText(FirstPlainArgumentText(), &found);
    if (!found) return;
    bool hasSecond = false;
    RawString second = commandLine.GetText(SecondPlainArgumentText(), &hasSecond);
    startSource = StartSource();
    if (first.ContainsUnit(',') || second.ContainsUnit(',')) {
        // A pair line splits at every ',': the paths open as they are.
        startSource.kind = hasSecond ? StartBothSides : StartSide1;
        startSource.path1 = first;
        startSource.path2 = second;
        return;
    }
    startSource.kind = StartPairText;
    RawString text = RawString::WithCapacity(GroupMarkerText().Length() + first.Length() + second.Length() + 1);
    text.Append(GroupMarkerText());
    text.Append(first);
    text.AppendChar(',');
    text.Append(second);
    startSource.path1 = text;
}

}  // namespace JobLayer
