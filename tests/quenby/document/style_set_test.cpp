// The style set read from real profile files, measured in real windows:
// defaults, scaling, font handles, key rules and the per-folder style file.
#include "quenby/document/document_style.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "quenby/document/document_model.h"
#include "support/test_support.h"
#include "toolkit/font_parameter.h"

using namespace DocLayer;
using TestSupport::TempFolder;
using TestSupport::W;

namespace {

// A window of a registered class, with or without its own DC, that owns
// the fonts of a style set.
class FontOwner {
public:
    explicit FontOwner(bool ownDc) {
        const wchar_t* name = ownDc ? L"StyleTestOwnDc" : L"StyleTestPlain";
        WNDCLASSW wc{};
        wc.style = ownDc ? CS_OWNDC : 0;
        wc.lpfnWndProc = DefWindowProcW;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = name;
        RegisterClassW(&wc);
        hwnd = CreateWindowW(name, L"style", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr, nullptr,
                             wc.hInstance, nullptr);
    }
    ~FontOwner() { DestroyWindow(hwnd); }
    HWND hwnd;
};

RawString WriteProfile(const TempFolder& folder, const wchar_t* name, const std::string& text) {
    std::wstring path = folder.Join(name);
    EXPECT_TRUE(TestSupport::WriteFileBytes(path, text));
    return W(path);
}

LONG HeightOf(HFONT font) {
    LOGFONTW lf{};
    EXPECT_EQ(static_cast<int>(sizeof lf), GetObjectW(font, sizeof lf, &lf));
    return lf.lfHeight;
}

std::vector<HFONT> Handles(const DocumentStyle& s) {
    std::vector<HFONT> out{s.textFont.handle, s.printFont.handle, s.printHeader.handle, s.printFooter.handle};
    for (const HeadlineLevelStyle& level : s.headline.levels) out.push_back(level.handle);
    return out;
}

int32_t Scaled(int32_t base, int32_t h) { return (base * h + 50) / 100; }

class StyleWindowTest : public ::testing::TestWithParam<bool> {};

TEST_P(StyleWindowTest, DefaultsScaleFromTheMeasuredZero) {
    FontOwner owner(GetParam());
    TempFolder folder;
    RawString path = WriteProfile(folder, L"style.ini",
                                  "[Headline_1]\nOverline=1\n[Headline_2]\nOverline=0\n"
                                  "[Overview]\nOverMargin=-50\n[PrintHeader]\nTextHeight=1\n");
    DocumentStyle style;
    style.Read(path, owner.hwnd);
    EXPECT_EQ(-13, style.textFont.description.lfHeight);
    EXPECT_EQ(400, style.textFont.description.lfWeight);
    EXPECT_EQ(14, style.textFont.keys.Count());
    EXPECT_EQ(-64, style.printFont.description.lfHeight);
    const int32_t h = style.textFont.measured.cy;
    ASSERT_GT(h, 0);
    EXPECT_EQ(std::max(1, Scaled(1, h)), style.headline.levels[0].overline.value);
    EXPECT_EQ(0, style.headline.levels[1].overline.value);
    EXPECT_EQ(std::max(1, Scaled(6, h)), style.table.frameWidth.value);
    EXPECT_EQ(50, style.printHeader.textHeight.value);
    // Lengths are signed: a negative base scales to a negative length.
    EXPECT_EQ(Scaled(-50, h), style.overview.overMargin.value);
    EXPECT_LT(style.overview.overMargin.value, 0);
    const LONG expected[6] = {-19, -18, -16, -15, -14, -13};
    for (int i = 0; i < 6; ++i) EXPECT_EQ(expected[i], HeightOf(style.headline.levels[i].handle)) << i;

    std::vector<HFONT> before = Handles(style);
    style.UpdateMetrics();
    EXPECT_EQ(before, Handles(style));

    style.flags |= DocumentStyle::FlagPageMode;
    style.UpdateMetrics();
    const int32_t p = style.printFont.measured.cy;
    ASSERT_GT(p, h);
    EXPECT_EQ(Scaled(36, p), style.overview.overParagraphMargin.value);
    EXPECT_EQ(-96, HeightOf(style.headline.levels[0].handle));
    EXPECT_EQ(p, style.image.printRatio);

    DocumentStyle bigger;
    bigger.Read(WriteProfile(folder, L"big.ini", "[TextFont]\nHeight=-20\n"), owner.hwnd);
    const LONG big[6] = {-30, -28, -26, -24, -22, -20};
    for (int i = 0; i < 6; ++i) EXPECT_EQ(big[i], HeightOf(bigger.headline.levels[i].handle)) << i;
    EXPECT_EQ(Scaled(36, bigger.textFont.measured.cy), bigger.overview.overParagraphMargin.value);
}

TEST_P(StyleWindowTest, EveryReplacedHandleIsDeleted) {
    FontOwner owner(GetParam());
    TempFolder folder;
    RawString path = WriteProfile(folder, L"style.ini", "[PrintFont]\nHeight=-40\n");
    RawString overlay = WriteProfile(folder, L"Quenby.ini", "[TextFont]\nHeight=-17\n[PrintFont]\nWeight=700\n");
    DocumentStyle style, other;
    other.Read(path, owner.hwnd);
    std::vector<HFONT> replaced;
    for (int round = 0; round < 4; ++round) {
        std::vector<HFONT> now = Handles(style);
        replaced.insert(replaced.end(), now.begin(), now.end());
        if (round < 2) style.Read(path, owner.hwnd);
        if (round == 2) style.Assign(other);
        if (round == 3) {
            style.ReadOverlay(overlay);
            style.UpdateMetrics();
        }
    }
    // The font change measures anew, so the headings follow it.
    HFONT changed = style.textFont.handle;
    LOGFONTW larger = style.textFont.description;
    larger.lfHeight = -26;
    style.textFont.Change(larger);
    style.UpdateMetrics();
    EXPECT_EQ(0u, GetObjectType(changed));
    EXPECT_EQ(-39, HeightOf(style.headline.levels[0].handle));
    larger.lfHeight = -17;
    style.textFont.Change(larger);
    style.UpdateMetrics();
    for (HFONT old : replaced) {
        if (old) {
            EXPECT_EQ(0u, GetObjectType(old));
        }
    }
    EXPECT_EQ(-17, style.textFont.description.lfHeight);
    EXPECT_EQ(-40, style.printFont.description.lfHeight);  // a section without the key keeps it
    EXPECT_EQ(700, style.printFont.description.lfWeight);

    std::vector<HFONT> kept = Handles(style);
    style.Assign(style);
    EXPECT_EQ(kept, Handles(style));
    for (HFONT font : kept) EXPECT_EQ(static_cast<DWORD>(OBJ_FONT), GetObjectType(font));
}

INSTANTIATE_TEST_SUITE_P(Owners, StyleWindowTest, ::testing::Values(false, true));

TEST(DocumentStyleKeys, ProfileValuesFollowTheirRules) {
    TempFolder folder;
    std::string face(40, 'F');
    RawString path = WriteProfile(
        folder, L"style.ini",
        "[TextFont]\nFaceName=" + face +
            "\n"
            "[Overview]\nPageHeadColor=0xFF0000\nBackgroundColor=NoColor\nTextColor=0x1FF0000\n"
            "TabStop=0\nOverMargin=2000000000\nEnhanceForm=\"<!--%s-->\"\n"
            "[Headline_3]\nFontRatio=99999\n"
            "[Itemization]\nIndent_1=100\n"
            "[CodeBlock]\nWrapLines=false\nTabWrap=\"a,b\",c\n"
            "[Table]\nFrameColor=\n"
            "[PrintImage]\nImageSize_W=200\nImageSize_H=9000\nMargin_T=-1\nMargin_L=7\n");
    DocumentStyle style;
    style.Read(path, nullptr);
    EXPECT_EQ(RGB(0xFF, 0, 0), style.overview.pageHeadColor);
    EXPECT_EQ(RGB(0xFF, 0xFF, 0xFF), style.overview.backgroundColor);  // kept
    EXPECT_EQ(RGB(0, 0, 0), style.overview.textColor);  // past 24 bits: kept
    EXPECT_EQ(RGB(0x80, 0x80, 0x80), style.table.frameColor);
    EXPECT_EQ(8, style.overview.tabStop);
    EXPECT_EQ(6, style.overview.overMargin.base);
    EXPECT_EQ(0, style.headline.levels[2].fontRatio);
    EXPECT_EQ("<!--", TestSupport::S(style.overview.enhancePrefix));
    EXPECT_EQ("-->", TestSupport::S(style.overview.enhanceSuffix));
    EXPECT_EQ(100, style.itemization.markDistance.base);
    EXPECT_FALSE(style.codeBlock.wrapLines);
    ASSERT_EQ(2, style.codeBlock.tabWrap.Count());
    EXPECT_EQ("a,b", TestSupport::S(*style.codeBlock.tabWrap.begin()));
    EXPECT_EQ(4961, style.printImage.imageSize.cx);
    EXPECT_EQ(7016, style.printImage.imageSize.cy);
    EXPECT_EQ(100, style.printImage.margin.top);
    EXPECT_EQ(7, style.printImage.margin.left);
    EXPECT_EQ(31u, wcslen(style.textFont.description.lfFaceName));
    HFONT made = CreateFontIndirectW(&style.textFont.description);
    EXPECT_NE(nullptr, made);
    DeleteObject(made);

    DocumentStyle other;
    other.Read(WriteProfile(folder, L"b.ini",
                            "[Overview]\nTabStop=4\n[Itemization]\nIndent_1=200\n[CodeBlock]\nWrapLines=0\n"
                            "[PrintImage]\nMargin_L=3000\nMargin_R=3000\nMargin_T=5\n"),
               nullptr);
    EXPECT_EQ("@", TestSupport::S(other.overview.enhancePrefix));
    EXPECT_TRUE(other.overview.enhanceSuffix.IsEmpty());
    EXPECT_EQ(140, other.itemization.markDistance.base);
    EXPECT_TRUE(other.codeBlock.wrapLines);
    EXPECT_EQ(100, other.printImage.margin.left);
    EXPECT_EQ(100, other.printImage.margin.right);
    EXPECT_EQ(100, other.printImage.margin.top);

    DocumentStyle none;
    none.Read(WriteProfile(folder, L"c.ini", "[Overview]\nEnhanceForm=no mark\n"), nullptr);
    EXPECT_TRUE(none.overview.enhancePrefix.IsEmpty());
    DocumentStyle fresh;
    fresh.Read(WriteProfile(folder, L"d.ini", "[Table]\n"), nullptr);
    EXPECT_TRUE(fresh.overview.enhancePrefix.IsEmpty());
}

// A font section of the program's style with only a face keeps the default
// text's height, weight and every other field; a per-folder file still
// overlays the document's font. The print font counts printer pixels: a
// height past the screen's limit is taken, one past any page is not.
TEST(DocumentStyleKeys, AFontSectionKeepsTheDefaultTextForEveryMissingKey) {
    TempFolder folder;
    DocumentStyle style;
    style.Read(WriteProfile(folder, L"faces.ini", "[TextFont]\nFaceName=Tahoma\n[PrintFont]\nFaceName=IPAGothic\n"),
               nullptr);
    DocumentStyle plain;
    plain.Read(WriteProfile(folder, L"plain.ini", "[Overview]\nTabStop=8\n"), nullptr);
    const struct {
        const StyleFont& font;
        const StyleFont& defaults;
        const wchar_t* face;
    } fonts[] = {{style.textFont, plain.textFont, L"Tahoma"}, {style.printFont, plain.printFont, L"IPAGothic"}};
    for (const auto& f : fonts) {
        LOGFONTW wanted = f.defaults.description;
        wcscpy(wanted.lfFaceName, f.face);
        EXPECT_TRUE(WinLayer::WinFontParameter::SameDescription(wanted, f.font.description)) << f.font.index;
        EXPECT_EQ(f.defaults.description.lfHeight, f.font.description.lfHeight);
        EXPECT_EQ(f.defaults.description.lfWeight, f.font.description.lfWeight);
    }
    EXPECT_EQ(-13, style.textFont.description.lfHeight);
    EXPECT_EQ(-64, style.printFont.description.lfHeight);
    EXPECT_EQ(400, style.printFont.description.lfWeight);

    // Under a per-folder file the keys it has overlay the program's font.
    std::wstring sub = folder.Join(L"sub");
    ASSERT_TRUE(CreateDirectoryW(sub.c_str(), nullptr));
    ASSERT_TRUE(
        TestSupport::WriteFileBytes(sub + L"\\Quenby.ini", "[PrintFont]\nHeight=-1500\n[TextFont]\nWeight=700\n"));
    ASSERT_TRUE(TestSupport::WriteFileBytes(sub + L"\\doc.md", "text\n"));
    JobFileUnit document;
    document.OpenFile(W(sub + L"\\doc.md"), style);
    EXPECT_EQ(-1500, document.style.printFont.description.lfHeight);
    EXPECT_EQ(std::wstring(L"IPAGothic"), document.style.printFont.description.lfFaceName);
    EXPECT_EQ(700, document.style.textFont.description.lfWeight);
    EXPECT_EQ(-13, document.style.textFont.description.lfHeight);
    EXPECT_EQ(std::wstring(L"Tahoma"), document.style.textFont.description.lfFaceName);

    DocumentStyle sizes;
    sizes.Read(WriteProfile(folder, L"sizes.ini", "[TextFont]\nHeight=-1500\n[PrintFont]\nHeight=-10001\n"), nullptr);
    EXPECT_EQ(-13, sizes.textFont.description.lfHeight);
    EXPECT_EQ(-64, sizes.printFont.description.lfHeight);
}

TEST(DocumentStyleKeys, FitImageSizeStaysInRange) {
    ImageStyle image;
    auto fit = [&](SIZE n, SIZE r, SIZE p, int32_t a) { return image.FitImageSize(n, r, p, a); };
    SIZE s = fit({400, 300}, {200, 0}, {0, 0}, 1000);
    EXPECT_EQ(200, s.cx);
    EXPECT_EQ(150, s.cy);
    s = fit({400, 300}, {0, 0}, {0, 0}, 200);
    EXPECT_EQ(160, s.cx);
    EXPECT_EQ(120, s.cy);
    s = fit({0, 300}, {0, 0}, {99999999, 0}, 1000);
    EXPECT_GE(s.cx, 0);
    EXPECT_GE(s.cy, 0);
    for (LONG n : {0L, 1L, 7L, 5000L, 2000000000L})
        for (LONG r : {-5L, 0L, 3L, 2000000000L}) {
            image.pageMode = (n & 1) != 0;
            image.expandOnPrint = 1000;
            s = fit({n, 2000000000L - n}, {r, r / 2}, {r, 0}, 2000000000);
            EXPECT_TRUE(s.cx >= 0 && s.cx <= 100000 && s.cy >= 0 && s.cy <= 100000) << n << " " << r;
        }
}

TEST(DocumentStyleFiles, PerFolderFileChangesOnlyItsDocument) {
    TempFolder root;
    std::wstring a = root.Join(L"a"), b = root.Join(L"b");
    CreateDirectoryW(a.c_str(), nullptr);
    CreateDirectoryW(b.c_str(), nullptr);
    const std::string folderStyle =
        "[Keep]\r\nx=1\r\n[CodeBlock]\r\nFrameColor=0x0000FF\r\n[Overview]\r\nEnhanceForm=<!--%s-->\r\n"
        "[PrintImage]\r\nImageSize_W=3000\r\n[Tail]\r\ny=2\r\n";
    ASSERT_TRUE(TestSupport::WriteFileBytes(a + L"\\Quenby.ini", folderStyle));
    const std::string text = "first\n\n<!--PageBreak-->\n";
    ASSERT_TRUE(TestSupport::WriteFileBytes(a + L"\\doc.md", text));
    ASSERT_TRUE(TestSupport::WriteFileBytes(b + L"\\doc.md", text));
    RawString config = WriteProfile(root, L"config.ini", "[TextFont]\nHeight=-15\n");
    const std::string configBytes = TestSupport::FileText(root.Join(L"config.ini"));

    DocumentStyle program;
    program.Read(config, nullptr);
    JobFileUnit inA, inB;
    inA.OpenFile(W(a + L"\\doc.md"), program);
    inB.OpenFile(W(b + L"\\doc.md"), program);
    EXPECT_EQ(RGB(0, 0, 0xFF), inA.style.codeBlock.frameColor);
    EXPECT_EQ(RGB(0xC0, 0xC0, 0xC0), inB.style.codeBlock.frameColor);
    EXPECT_EQ(RGB(0xC0, 0xC0, 0xC0), program.codeBlock.frameColor);
    EXPECT_EQ(-15, inA.style.textFont.description.lfHeight);
    EXPECT_EQ("doc.md", TestSupport::S(inA.title));
    EXPECT_EQ(TestSupport::Utf8(a + L"\\doc.md"), TestSupport::S(inA.style.documentPath));
    EXPECT_EQ(TestSupport::Utf8(a), TestSupport::S(inA.style.documentFolder));
    auto kinds = [](JobFileUnit& doc) {
        std::vector<int32_t> out;
        for (JobLineUnit& line : doc) out.push_back(line.kind);
        return out;
    };
    std::vector<int32_t> ka = kinds(inA), kb = kinds(inB);
    ASSERT_EQ(3u, ka.size());
    ASSERT_EQ(3u, kb.size());
    EXPECT_NE(ka[2], kb[2]);
    EXPECT_EQ(kb[0], kb[2]);  // a paragraph in the folder without the style

    // Page-size saves go to the per-folder file; its other sections stay.
    inA.style.printImage.imageSize.cx = 4000;
    ASSERT_TRUE(SavePrintImageSettings(inA.style.printImage));
    std::string written = TestSupport::FileText(a + L"\\Quenby.ini");
    EXPECT_NE(std::string::npos, written.find("ImageSize_W=4000"));
    EXPECT_NE(std::string::npos, written.find("[Keep]\r\nx=1\r\n[CodeBlock]\r\nFrameColor=0x0000FF\r\n"));
    EXPECT_NE(std::string::npos, written.find("[Tail]\r\ny=2\r\n"));
    EXPECT_EQ(configBytes, TestSupport::FileText(root.Join(L"config.ini")));

    // A read-only file: the save fails, the settings in memory stay.
    SetFileAttributesW((a + L"\\Quenby.ini").c_str(), FILE_ATTRIBUTE_READONLY);
    inA.style.printImage.imageSize.cx = 4100;
    EXPECT_FALSE(SavePrintImageSettings(inA.style.printImage));
    EXPECT_EQ(4100, inA.style.printImage.imageSize.cx);
    EXPECT_EQ(written, TestSupport::FileText(a + L"\\Quenby.ini"));
    SetFileAttributesW((a + L"\\Quenby.ini").c_str(), FILE_ATTRIBUTE_NORMAL);

    // The configuration profile itself as the folder's style file.
    RawString same = WriteProfile(root, L"Quenby.ini", "[Table]\nFrameWidth=9\n");
    DocumentStyle self;
    self.Read(same, nullptr);
    int32_t counter = self.table.stamp.counter;
    self.ReadOverlay(same);
    EXPECT_EQ(counter, self.table.stamp.counter);
}

}  // namespace
