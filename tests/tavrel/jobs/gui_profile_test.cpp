// The GUI profile: language choice and its section, window parameters, the
// window and view fonts, and the start source from real argument texts.
#include <gtest/gtest.h>

#include <string>

#include "base/command_line.h"
#include "base/language.h"
#include "support/test_support.h"
#include "tavrel/jobs/gui_profile.h"
#include "toolkit/environment.h"

using namespace JobLayer;
using RawLayer::LanguageTable;
using RawLayer::RawParameterList;
using RawLayer::RawString;
using TestSupport::FileText;
using TestSupport::S;
using TestSupport::TempFolder;
using TestSupport::W;
using TestSupport::WriteFileBytes;
using WinLayer::WinEnvironment;
using WinLayer::WinFontParameter;

namespace {

RawParameterList Arguments(const char* text) {
    static const char* const kSwitches[] = {"h", nullptr};
    RawParameterList list(true);
    RawLayer::CommandLineSplit(list, kSwitches, RawString::FromText(text));
    return list;
}

StartSource SourceOf(const char* arguments) {
    GuiProfileStore store;
    store.ReadStartSource(Arguments(arguments));
    return store.startSource;
}

// A store loaded from a GUI profile holding the text (no command line).
struct LoadedProfile {
    TempFolder folder;
    GuiProfileStore store;
    explicit LoadedProfile(const std::string& text) {
        std::wstring path = folder.Join(L"Gui.ini");
        WriteFileBytes(path, text);
        store.Load(W(path), RawParameterList(true));
    }
};

std::wstring FaceOf(const LOGFONTW& font) { return std::wstring(font.lfFaceName); }

TEXTMETRICW MetricsOf(HFONT font) {
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, font);
    TEXTMETRICW metrics{};
    GetTextMetricsW(dc, &metrics);
    SelectObject(dc, old);
    DeleteDC(dc);
    return metrics;
}

}  // namespace

TEST(GuiStartSource, OptionsAndPlainPathsGiveTheirKinds) {
    StartSource both = SourceOf("-g C:\\g.txt -t @Group@x,y");
    EXPECT_EQ(both.kind, StartPairText);
    EXPECT_EQ(S(both.path1), "@Group@x,y");

    StartSource plain = SourceOf("-t @Group@x,y C:\\A D:\\B");
    EXPECT_EQ(plain.kind, StartPairText);
    EXPECT_EQ(S(plain.path1), "@Group@C:\\A,D:\\B");

    StartSource one = SourceOf("C:\\A");
    EXPECT_EQ(one.kind, StartPairText);
    EXPECT_EQ(S(one.path1), "@Group@C:\\A,");

    StartSource group = SourceOf("-g C:\\g.txt");
    EXPECT_EQ(group.kind, StartGroupFile);
    EXPECT_EQ(S(group.path1), "C:\\g.txt");

    StartSource none = SourceOf("");
    EXPECT_EQ(none.kind, StartGroupFile);
    EXPECT_TRUE(none.path1.IsEmpty());
}

TEST(GuiStartSource, PathWithCommaOpensAsGiven) {
    StartSource two = SourceOf("\"C:\\a,b\" D:\\c");
    EXPECT_EQ(two.kind, StartBothSides);
    EXPECT_EQ(S(two.path1), "C:\\a,b");
    EXPECT_EQ(S(two.path2), "D:\\c");

    StartSource second = SourceOf("C:\\a \"D:\\c,d\"");
    EXPECT_EQ(second.kind, StartBothSides);
    EXPECT_EQ(S(second.path2), "D:\\c,d");

    StartSource one = SourceOf("\"C:\\a,b\"");
    EXPECT_EQ(one.kind, StartSide1);
    EXPECT_EQ(S(one.path1), "C:\\a,b");
    EXPECT_TRUE(one.path2.IsEmpty());
}

TEST(GuiWindowParameters, MarginAndRadiusAreClamped) {
    WinEnvironment& environment = WinEnvironment::Instance();
    {
        LoadedProfile low("[WindowParameter]\r\nMargin=-5\r\nButtonR=0x7\r\n");
        EXPECT_EQ(environment.margin, 0);
        EXPECT_EQ(environment.buttonRadius, 7);
    }
    {
        LoadedProfile high("[WindowParameter]\r\nMargin=100000\r\nButtonR=99\r\n");
        EXPECT_EQ(environment.margin, 64);
        EXPECT_EQ(environment.buttonRadius, 64);
    }
    {
        LoadedProfile missing("[WindowParameter]\r\nButtonR=3\r\n");
        EXPECT_EQ(environment.margin, 64);
        EXPECT_EQ(environment.buttonRadius, 3);
    }
    environment.margin = 4;
    environment.buttonRadius = 4;
}

TEST(GuiFonts, DefaultsWithoutSections) {
    WinEnvironment& environment = WinEnvironment::Instance();
    const LOGFONTW before = environment.font.description;
    HFONT beforeHandle = environment.font.handle;
    LoadedProfile profile("[UserSelection]\r\n");

    // The window font stays and its description is put into the list.
    EXPECT_EQ(environment.font.handle, beforeHandle);
    EXPECT_EQ(profile.store.windowFont.GetInt(WinLayer::FontHeightKeyText(), 0), before.lfHeight);
    EXPECT_EQ(TestSupport::Ws(profile.store.windowFont.GetText(WinLayer::FontFaceNameKeyText())), FaceOf(before));

    // Path and text views take the menu font.
    const LOGFONTW menu = WinFontParameter::DefaultFont();
    for (uint32_t kind : {ViewFontPath, ViewFontText}) {
        const WinFontParameter& record = profile.store.ViewFont(kind);
        ASSERT_NE(record.handle, nullptr);
        EXPECT_EQ(record.description.lfHeight, menu.lfHeight);
        EXPECT_EQ(FaceOf(record.description), FaceOf(menu));
    }
    // The binary view takes a fixed-pitch font: i and W advance alike.
    const WinFontParameter& binary = profile.store.ViewFont(ViewFontBinary);
    ASSERT_NE(binary.handle, nullptr);
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, binary.handle);
    INT narrow = 0, wide = 0;
    ASSERT_TRUE(GetCharWidth32W(dc, L'i', L'i', &narrow));
    ASSERT_TRUE(GetCharWidth32W(dc, L'W', L'W', &wide));
    SelectObject(dc, old);
    DeleteDC(dc);
    EXPECT_GT(narrow, 0);
    EXPECT_EQ(narrow, wide);
}

TEST(GuiFonts, ProfileSizesAreClampedAndReloadKeepsAFont) {
    WinEnvironment& environment = WinEnvironment::Instance();
    const LOGFONTW saved = environment.font.description;
    LoadedProfile profile(
        "[WindowFont]\r\nHeight=-100000\r\nWeight=5000\r\nFaceName=Tahoma\r\n"
        "[TextViewFont]\r\nHeight=-100000\r\nWidth=100000\r\nWeight=-3\r\n"
        "[PathViewFont]\r\nHeight=20\r\n");
    EXPECT_EQ(environment.font.description.lfHeight, -256);
    EXPECT_EQ(environment.font.description.lfWeight, 1000);
    EXPECT_EQ(FaceOf(environment.font.description), L"Tahoma");
    EXPECT_EQ(S(profile.store.windowFont.GetText(WinLayer::FontHeightKeyText())), "-100000");

    const WinFontParameter& text = profile.store.ViewFont(ViewFontText);
    ASSERT_NE(text.handle, nullptr);
    EXPECT_EQ(text.description.lfHeight, -256);
    EXPECT_EQ(text.description.lfWidth, 256);
    EXPECT_EQ(text.description.lfWeight, 0);
    TEXTMETRICW metrics = MetricsOf(text.handle);
    EXPECT_LE(metrics.tmHeight - metrics.tmInternalLeading, 256);
    EXPECT_EQ(profile.store.ViewFont(ViewFontPath).description.lfHeight, 20);

    // Reloading replaces the handle with a live one; other kinds do nothing.
    profile.store.ReloadViewFont(ViewFontPath);
    const WinFontParameter& path = profile.store.ViewFont(ViewFontPath);
    ASSERT_NE(path.handle, nullptr);
    LOGFONTW check{};
    EXPECT_EQ(GetObjectW(path.handle, sizeof(check), &check), static_cast<int>(sizeof(check)));
    EXPECT_EQ(check.lfHeight, 20);
    HFONT spare = profile.store.ViewFont(7).handle;
    profile.store.ReloadViewFont(7);
    EXPECT_EQ(profile.store.ViewFont(7).handle, spare);
    environment.SetFont(saved);
}

TEST(GuiLanguage, MissingSectionIsWrittenReadOnlyFileUntouched) {
    LanguageTable& table = LanguageTable::Construct();
    // A default text for the section to carry.
    LanguageTable::Text(RawString::FromText("GuiTest"), RawString::FromText("Hello"),
                        RawString::FromText("Hello there"));
    TempFolder folder;
    const std::wstring languagePath = folder.Join(L"LanguageFile.ini");
    const std::string original = "[LangMap]\r\nGerman=0x407\r\n[German]\r\nGuiTest_Hello=Hallo\r\n";
    WriteFileBytes(languagePath, original);
    table.SetFilePath(W(languagePath));
    WriteFileBytes(folder.Join(L"Gui.ini"), "[UserSelection]\r\nLanguage=Klingon\r\n");

    GuiProfileStore store;
    store.Load(W(folder.Join(L"Gui.ini")), RawParameterList(true));
    EXPECT_EQ(S(table.SelectedLanguage()), "Klingon");
    EXPECT_EQ(S(table.LanguageInUse()), "Klingon");
    std::string written = FileText(languagePath);
    EXPECT_NE(written.find("[German]"), std::string::npos);
    EXPECT_NE(written.find("GuiTest_Hello=Hallo"), std::string::npos);
    EXPECT_NE(written.find("[Klingon]"), std::string::npos);
    EXPECT_NE(written.find("GuiTest_Hello=Hello there"), std::string::npos);
    EXPECT_FALSE(TestSupport::FileExists(languagePath + L".tmp"));

    // A present language is read, not written.
    WriteFileBytes(folder.Join(L"Gui.ini"), "[UserSelection]\r\nLanguage=German\r\n");
    const std::string before = FileText(languagePath);
    store.Load(W(folder.Join(L"Gui.ini")), RawParameterList(true));
    EXPECT_EQ(FileText(languagePath), before);
    EXPECT_EQ(S(LanguageTable::Text(RawString::FromText("GuiTest"), RawString::FromText("Hello"))), "Hallo");

    // A read-only language file stays as it is.
    WriteFileBytes(languagePath, original);
    ASSERT_TRUE(SetFileAttributesW(languagePath.c_str(), FILE_ATTRIBUTE_READONLY));
    WriteFileBytes(folder.Join(L"Gui.ini"), "[UserSelection]\r\nLanguage=Vulcan\r\n");
    store.Load(W(folder.Join(L"Gui.ini")), RawParameterList(true));
    EXPECT_EQ(FileText(languagePath), original);
    EXPECT_FALSE(TestSupport::FileExists(languagePath + L".tmp"));
    SetFileAttributesW(languagePath.c_str(), FILE_ATTRIBUTE_NORMAL);

    table.SetFilePath(RawString());
    LanguageTable::SetLanguage(RawString());
    table.UseLanguage(RawString());
}
