// Font records kept in profile files on disk.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "base/api_text.h"
#include "base/profile.h"
#include "support/test_support.h"
#include "toolkit/environment.h"
#include "toolkit/font_parameter.h"

using namespace WinLayer;
using RawLayer::RawParameterList;
using RawLayer::RawString;

namespace {

RawString Text(const char* text) { return RawString::FromText(text); }

std::wstring Face(const LOGFONTW& font) { return std::wstring(font.lfFaceName); }

// The section of a profile file written with the given lines, read back.
RawParameterList SectionOf(const TestSupport::TempFolder& temp, const std::string& lines) {
    const std::wstring path = temp.Join(L"Font.ini");
    EXPECT_TRUE(TestSupport::WriteFileBytes(path, "[WindowFont]\r\n" + lines));
    RawLayer::ProfileFileRef file = RawLayer::ProfileFileRef::FromPath(RawString::FromWideText(path.c_str()));
    RawParameterList list;
    EXPECT_TRUE(list.ReadSection(file, Text("WindowFont")));
    return list;
}

}  // namespace

TEST(FontParameter, FourteenKeysRoundTripThroughAFile) {
    TestSupport::TempFolder temp;
    LOGFONTW font = WinFontParameter::DefaultFont();
    font.lfHeight = -12;
    font.lfWeight = 700;
    font.lfCharSet = 128;
    font.lfItalic = 1;
    RawLayer::CopyFaceName(font, L"\u6E38\u30B4\u30B7\u30C3\u30AF Arial");
    RawParameterList written;
    WinFontParameter::Write(font, written);
    EXPECT_EQ(written.Count(), 14);
    const std::wstring path = temp.Join(L"Gui.ini");
    RawLayer::ProfileFileRef file = RawLayer::ProfileFileRef::FromPath(RawString::FromWideText(path.c_str()));
    ASSERT_TRUE(written.WriteSection(file, Text("WindowFont")));
    const std::string content = TestSupport::FileText(path);
    for (const char* line : {"Height=-12", "Weight=700", "Charset=128", "Italic=1"})
        EXPECT_NE(content.find(line), std::string::npos) << line;
    EXPECT_NE(content.find("FaceName=" + TestSupport::Utf8(L"\u6E38\u30B4\u30B7\u30C3\u30AF Arial")),
              std::string::npos);

    RawParameterList read;
    ASSERT_TRUE(read.ReadSection(file, Text("WindowFont")));
    LOGFONTW back{};
    WinFontParameter::Read(back, read);
    EXPECT_EQ(std::memcmp(&back, &font, offsetof(LOGFONTW, lfFaceName)), 0);
    EXPECT_EQ(Face(back), Face(font));
}

TEST(FontParameter, ReadKeepsLowBitsClampsSizesAndEmptiesAMissingFace) {
    TestSupport::TempFolder temp;
    LOGFONTW font = WinFontParameter::DefaultFont();
    RawLayer::CopyFaceName(font, L"Before");
    const LOGFONTW original = font;
    WinFontParameter::Read(font, SectionOf(temp, "Italic=300\r\nWidth=2000000\r\nWeight=-5\r\n"));
    EXPECT_EQ(font.lfItalic, 44);
    EXPECT_EQ(font.lfWidth, 16384) << "a size from a profile is clamped";
    EXPECT_EQ(font.lfWeight, 0);
    EXPECT_EQ(font.lfHeight, original.lfHeight) << "fields without a key keep their value";
    EXPECT_EQ(Face(font), L"");
}

TEST(FontParameter, ALongFaceNameIsCutWithoutSplittingASurrogatePair) {
    TestSupport::TempFolder temp;
    const std::wstring plain(40, L'C');
    LOGFONTW font{};
    WinFontParameter::Read(font, SectionOf(temp, "FaceName=" + TestSupport::Utf8(plain) + "\r\n"));
    EXPECT_EQ(Face(font), plain.substr(0, 31));
    // A pair at units 30 and 31 would be cut in half: it goes whole.
    const std::wstring paired = std::wstring(30, L'A') + L"\U0001F600" + std::wstring(8, L'B');
    ASSERT_EQ(paired.size(), 40u);
    WinFontParameter::Read(font, SectionOf(temp, "FaceName=" + TestSupport::Utf8(paired) + "\r\n"));
    EXPECT_EQ(Face(font), std::wstring(30, L'A'));
    EXPECT_EQ(font.lfFaceName[30], 0);
}

TEST(FontParameter, TheDefaultIsTheSystemMenuFont) {
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof(metrics);
    ASSERT_TRUE(SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, metrics.cbSize, &metrics, 0));
    const LOGFONTW font = WinFontParameter::DefaultFont();
    EXPECT_EQ(std::memcmp(&font, &metrics.lfMenuFont, offsetof(LOGFONTW, lfFaceName)), 0);
    EXPECT_EQ(Face(font), Face(metrics.lfMenuFont));
    WinFontParameter record;
    record.Init();
    EXPECT_EQ(record.handle, nullptr);
    EXPECT_EQ(Face(record.description), Face(font));
    const WinEnvironment& environment = WinEnvironment::Instance();
    EXPECT_NE(environment.font.handle, nullptr);
    EXPECT_EQ(Face(environment.font.description), Face(font));
}
