// Pictures in documents: every format painted centred, unreadable files as
// their alternative text in a red frame, requested sizes, the page-view
// size, the file left free while shown, and the stack of a line's pictures.
#include "quenby/app/pictures.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "pass_support.h"

using namespace AppLayer;
using PassTest::PassFixture;
using TestSupport::DibCanvas;

namespace {

constexpr COLORREF kPicture = RGB(0x20, 0xA0, 0x40);
constexpr COLORREF kRed = RGB(0xFF, 0, 0);

bool Near(COLORREF a, COLORREF b) {
    return std::abs(GetRValue(a) - GetRValue(b)) < 24 && std::abs(GetGValue(a) - GetGValue(b)) < 24 &&
           std::abs(GetBValue(a) - GetBValue(b)) < 24;
}

// The columns of the item holding the colour (within a tolerance).
RECT ColumnsOf(const DibCanvas& canvas, const RECT& item, COLORREF colour) {
    RECT box{canvas.Width(), item.bottom, -1, item.top};
    for (int32_t y = item.top; y < item.bottom && y < canvas.Height(); ++y)
        for (int32_t x = 0; x < canvas.Width(); ++x)
            if (Near(canvas.Pixel(x, y), colour)) {
                box.left = std::min<LONG>(box.left, x);
                box.right = std::max<LONG>(box.right, x + 1);
                box.top = std::min<LONG>(box.top, y);
                box.bottom = std::max<LONG>(box.bottom, y + 1);
            }
    return box;
}

// A GIF of one colour written byte by byte (the platform's GIF encoder
// under Wine writes no image): two palette entries, 3-bit LZW codes with a
// clear code before every pair of pixels so the code width never grows.
bool WriteGif(const std::wstring& path, int width, int height, COLORREF colour) {
    std::string b = "GIF89a";
    auto word = [&](int v) {
        b += static_cast<char>(v & 0xFF);
        b += static_cast<char>((v >> 8) & 0xFF);
    };
    word(width);
    word(height);
    b += static_cast<char>(0x80);  // global table of 2 entries
    b += '\0';
    b += '\0';
    b += static_cast<char>(GetRValue(colour));
    b += static_cast<char>(GetGValue(colour));
    b += static_cast<char>(GetBValue(colour));
    b += std::string(3, '\0');
    b += ',';
    word(0);
    word(0);
    word(width);
    word(height);
    b += '\0';
    b += '\2';  // minimum code size
    std::string data;
    uint32_t bits = 0;
    int count = 0;
    auto code = [&](uint32_t c) {
        bits |= c << count;
        count += 3;
        while (count >= 8) {
            data += static_cast<char>(bits & 0xFF);
            bits >>= 8;
            count -= 8;
        }
    };
    for (int pixel = 0; pixel < width * height; pixel += 2) {
        code(4);
        code(0);
        if (pixel + 1 < width * height) code(0);
    }
    code(5);
    if (count > 0) data += static_cast<char>(bits & 0xFF);
    for (size_t at = 0; at < data.size(); at += 255) {
        std::string block = data.substr(at, 255);
        b += static_cast<char>(block.size());
        b += block;
    }
    b += '\0';
    b += ';';
    return TestSupport::WriteFileBytes(path, b);
}

}  // namespace

TEST(PicturesTest, FormatsPaintCentredAndBrokenFilesShowTheirText) {
    PassFixture f;
    const wchar_t* names[] = {L"p.png", L"a.png", L"j.jpg", L"g.gif", L"b.bmp", L"\x65E5\x672C.png"};
    const wchar_t* mimes[] = {L"image/png", L"image/png", L"image/jpeg", L"image/gif", L"image/bmp", L"image/png"};
    for (int i = 0; i < 6; ++i) {
        const std::wstring path = f.folder.Join(names[i]);
        ASSERT_TRUE(i == 3 ? WriteGif(path, 40, 30, kPicture)
                           : PassTest::WritePicture(path, 40, 30, kPicture, mimes[i], i == 1)) << i;
    }
    std::string png = TestSupport::FileText(f.folder.Join(L"p.png"));
    TestSupport::WriteFileBytes(f.folder.Join(L"cut.png"), png.substr(0, png.size() / 2));
    TestSupport::WriteFileBytes(f.folder.Join(L"text.png"), "not a picture\n");
    TestSupport::WriteFileBytes(f.folder.Join(L"empty.png"), "");
    f.Load("![p](p.png)\n\n![a](a.png)\n\n![j](j.jpg)\n\n![g](g.gif)\n\n![b](b.bmp)\n\n"
           "![n](\xE6\x97\xA5\xE6\x9C\xAC.png)\n\n![cut](cut.png)\n\n![text](text.png)\n\n![empty](empty.png)\n\n"
           "![missing](missing.png)\n\n<img src=\"p.png\" width=\"50%\">\n\n<img src=\"p.png\" width=\"120px\">\n");
    DibCanvas canvas(400, 1200, RGB(0xFF, 0xFF, 0xFF));
    f.LayOut(canvas.Dc(), 400);
    f.Paint(canvas.Dc());
    std::vector<size_t> pictures;
    for (size_t i = 0; i < f.lines.size(); ++i)
        if (f.items[i]->pictureHeight > 0) pictures.push_back(i);
    ASSERT_EQ(pictures.size(), 12u);
    for (size_t k = 0; k < 6; ++k) {
        const RECT& item = f.items[pictures[k]]->rect;
        RECT box = ColumnsOf(canvas, item, kPicture);
        ASSERT_LT(box.left, box.right) << k;
        // The alpha picture's left half is transparent: only 20 columns show.
        const int32_t shown = k == 1 ? 20 : 40;
        EXPECT_NEAR(box.right - box.left, shown, 1) << k;
        const int32_t left = k == 1 ? box.left - 20 : box.left;
        EXPECT_NEAR(left + 20, 200, 2) << k;  // centred in the 400-pixel line
        // A line holding only a picture is as high as its stack.
        EXPECT_EQ(item.bottom - item.top, f.items[pictures[k]]->pictureHeight) << k;
    }
    for (size_t k = 6; k < 10; ++k) {
        const RECT& item = f.items[pictures[k]]->rect;
        EXPECT_GT(canvas.CountColor(item, kRed), 20) << k;
        EXPECT_EQ(ColumnsOf(canvas, item, kPicture).right, -1) << k;
    }
    auto drawn = [&](size_t k) {
        const DocLayer::JobLinkDataUnit& unit = *f.lines[pictures[k]]->links.begin();
        return unit.drawnSize;
    };
    EXPECT_EQ(drawn(10).cx, 20);
    EXPECT_EQ(drawn(10).cy, 15);
    EXPECT_EQ(drawn(11).cx, 120);
    EXPECT_EQ(drawn(11).cy, 90);
    // The shown picture's file is free: it can be opened exclusively.
    HANDLE file = CreateFileW(f.folder.Join(L"p.png").c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    EXPECT_NE(file, INVALID_HANDLE_VALUE);
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
}

TEST(PicturesTest, TwoPicturesStackBelowTheText) {
    PassFixture f;
    ASSERT_TRUE(PassTest::WritePicture(f.folder.Join(L"p.png"), 40, 30, kPicture, L"image/png"));
    f.Load("Words ![p](p.png) ![q](p.png)\n");
    DibCanvas canvas(400, 400);
    f.LayOut(canvas.Dc(), 400);
    f.Paint(canvas.Dc());
    const GuiListBoxItemUnit& item = *f.items[0];
    const DocLayer::ImageStyle& image = f.doc->style.image;
    EXPECT_EQ(item.pictureHeight, image.overMargin.value + 30 + image.interMargin.value + 30 + image.underMargin.value);
    RECT box = ColumnsOf(canvas, item.rect, kPicture);
    EXPECT_EQ(box.top, item.rect.bottom - item.pictureHeight + image.overMargin.value);
    EXPECT_EQ(box.bottom, item.rect.bottom - image.underMargin.value);
    EXPECT_GT(item.rect.bottom - item.rect.top, item.pictureHeight);  // the text row stays
}

TEST(PicturesTest, ExpandOnPrintHalvesPageViewPictures) {
    DocLayer::ImageStyle image;
    image.pageMode = true;
    image.expandOnPrint = 50;
    SIZE size = image.FitImageSize(SIZE{400, 300}, SIZE{0, 0}, SIZE{0, 0}, 10000);
    EXPECT_EQ(size.cx, 200);
    EXPECT_EQ(size.cy, 150);
    image.expandOnPrint = 0;
    image.screenRatio = 4;
    image.printRatio = 2;
    size = image.FitImageSize(SIZE{400, 300}, SIZE{0, 0}, SIZE{0, 0}, 10000);
    EXPECT_EQ(size.cx, 200);
    EXPECT_EQ(size.cy, 150);
}

TEST(PicturesTest, PaintsStayRightWithGdiHandlesNearlyUsedUp) {
    PassFixture f;
    ASSERT_TRUE(PassTest::WritePicture(f.folder.Join(L"p.png"), 40, 30, kPicture, L"image/png"));
    f.Load("# Head *it*\n\ntext **b** [l](x.md) ~~s~~\n\n- [x] task\n- dot\n\n1. one\n\n> quote\n\n"
           "```\ncode\n```\n\n| a | b |\n|:-|-:|\n| c | d |\n\n---\n\n![p](p.png)\n\n@TOC:1:3:\"Head\"\n");
    DibCanvas first(400, 700);
    f.LayOut(first.Dc(), 400);
    f.Paint(first.Dc());
    ASSERT_GT(ColumnsOf(first, RECT{0, 0, 400, 700}, kPicture).right, 0);
    TestSupport::GdiHog hog(300);
    DibCanvas again(400, 700);
    for (int i = 0; i < 2000; ++i) {
        again.Fill(RGB(0xFF, 0xFF, 0xFF));
        f.Paint(again.Dc());
    }
    EXPECT_TRUE(again.SameAs(first));
}
