// Helpers of the viewer's pass tests: a style profile that gives every
// element its own colour, documents read from real files, and the layout and
// paint passes run over every line into a DIB section, as a list box does.
#pragma once

#include <gtest/gtest.h>

#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "quenby/app/layout_pass.h"
#include "quenby/app/paint_pass.h"
#include "quenby/app/pictures.h"
#include "quenby/document/document_model.h"
#include "support/test_support.h"
#include "support/window_support.h"

namespace PassTest {

using AppLayer::GuiListBoxItemUnit;
using DocLayer::JobLineUnit;
using RawLayer::RawString;

// Colours of the test profile (profile values are 0xRRGGBB).
constexpr COLORREF kText = RGB(0x10, 0x20, 0x30);
constexpr COLORREF kBackground = RGB(0xFF, 0xFF, 0xFF);
constexpr COLORREF kCodeInner = RGB(0xE0, 0xF0, 0xD0);
constexpr COLORREF kCodeFrame = RGB(0x30, 0x90, 0x30);
constexpr COLORREF kTableFrame = RGB(0x70, 0x20, 0x70);
constexpr COLORREF kTableTitle = RGB(0xF0, 0xE0, 0xA0);
constexpr COLORREF kTableInner = RGB(0xF8, 0xF8, 0xE8);
constexpr COLORREF kQuoteBar = RGB(0xA0, 0xA0, 0xF0);
constexpr COLORREF kQuoteText = RGB(0x50, 0x30, 0x10);
constexpr COLORREF kRule = RGB(0x90, 0x10, 0x10);
constexpr COLORREF kOverline = RGB(0x11, 0x88, 0x44);
constexpr COLORREF kUnderline = RGB(0x44, 0x11, 0x88);
constexpr COLORREF kPageHead = RGB(0xD0, 0xE8, 0xFF);

// A colour as a profile value (0xRRGGBB).
inline std::string Hex(COLORREF c) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%02X%02X%02X", GetRValue(c), GetGValue(c), GetBValue(c));
    return text;
}

inline std::string ColourProfile(const std::string& extra = std::string(),
                                 const std::string& codeExtra = std::string()) {
    return "[TextFont]\r\nHeight=-13\r\nQuality=3\r\nFaceName=Tahoma\r\n[Overview]\r\nTextColor=" + Hex(kText) + "\r\nBackgroundColor=" + Hex(kBackground) +
           "\r\nPageHeadColor=" + Hex(kPageHead) + "\r\nEnhanceForm=@%s\r\n[CodeBlock]\r\nInnerColor=" + Hex(kCodeInner) +
           "\r\nFrameColor=" + Hex(kCodeFrame) + "\r\n" + codeExtra + "[Table]\r\nFrameColor=" + Hex(kTableFrame) +
           "\r\nTitleColor=" + Hex(kTableTitle) + "\r\nInnerColor=" + Hex(kTableInner) +
           "\r\n[Blockquote]\r\nBarColor=" + Hex(kQuoteBar) + "\r\nTextColor=" + Hex(kQuoteText) +
           "\r\n[HorizontalLine]\r\nLineColor=" + Hex(kRule) + "\r\n[Headline_1]\r\nOverlineColor=" +
           Hex(kOverline) + "\r\nUnderlineColor=" + Hex(kUnderline) + "\r\n" + extra;
}

// A program style read from a profile in the folder, a document opened over
// it, and its lines laid out and painted with one item per line.
class PassFixture {
public:
    explicit PassFixture(const std::string& profile = ColourProfile()) : draw(), layout(draw) {
        WNDCLASSW wc{};
        wc.lpfnWndProc = DefWindowProcW;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"PassTestOwner";
        RegisterClassW(&wc);
        window = CreateWindowW(L"PassTestOwner", L"pass", WS_OVERLAPPEDWINDOW, 0, 0, 300, 200, nullptr, nullptr,
                               wc.hInstance, nullptr);
        std::wstring path = folder.Join(L"program.ini");
        EXPECT_TRUE(TestSupport::WriteFileBytes(path, profile));
        program.Read(TestSupport::W(path), window);
        gdiplus.Start();
        layout.pictures = &cache;
    }
    ~PassFixture() {
        items.clear();
        doc.reset();
        cache.Clear();
        gdiplus.Shutdown();
        DestroyWindow(window);
    }

    void Load(const std::string& bytes, const wchar_t* name = L"doc.md") {
        std::wstring path = folder.Join(name);
        EXPECT_TRUE(TestSupport::WriteFileBytes(path, bytes));
        LoadPath(path);
    }
    void LoadPath(const std::wstring& path) {
        items.clear();
        doc.reset(new DocLayer::JobFileUnit());
        doc->OpenFile(TestSupport::W(path), program);
        lines.clear();
        for (JobLineUnit& line : *doc) {
            lines.push_back(&line);
            items.emplace_back(new GuiListBoxItemUnit());
        }
    }

    // Lays every line out at the width, stacked from y = 0, as the view box
    // sets the layout up; the total height.
    int32_t LayOut(HDC dc, int32_t width) {
        layout.style = &doc->style;
        HGDIOBJ old = SelectObject(dc, doc->style.textFont.handle);
        SIZE zero = AppLayer::TextLayout::MeasureZero(dc);
        layout.textHeight = zero.cy;
        draw.tabs.mode = 1;
        draw.tabs.count = doc->style.overview.tabStop;
        draw.tabs.unit = zero.cx;
        draw.tabs.wrapGap = doc->style.overview.wrapOverMargin.value;
        draw.breakMode = 2;
        int32_t y = 0;
        for (size_t i = 0; i < lines.size(); ++i) {
            RECT r{0, y, width, y};
            AppLayer::LayOutDocument(layout, dc, r, *items[i], *lines[i]);
            r.left = 0;
            if (r.right < width) r.right = width;
            items[i]->rect = r;
            y = r.bottom;
        }
        SelectObject(dc, old);
        return y;
    }
    void Paint(HDC dc) {
        HGDIOBJ old = SelectObject(dc, doc->style.textFont.handle);
        for (size_t i = 0; i < lines.size(); ++i) AppLayer::PaintPage(layout, dc, items[i]->rect, *items[i], *lines[i]);
        SelectObject(dc, old);
    }
    // The first line of a kind (null when none).
    size_t IndexOfKind(int32_t kind, size_t from = 0) const {
        for (size_t i = from; i < lines.size(); ++i)
            if (lines[i]->kind == kind) return i;
        return lines.size();
    }

    TestSupport::TempFolder folder;
    HWND window = nullptr;
    DocLayer::DocumentStyle program;
    AppLayer::GdiplusSession gdiplus;
    AppLayer::GuiPictureCache cache;
    AppLayer::GuiTextDraw draw;
    AppLayer::GuiLayout layout;
    std::unique_ptr<DocLayer::JobFileUnit> doc;
    std::vector<JobLineUnit*> lines;
    std::vector<std::unique_ptr<GuiListBoxItemUnit>> items;
};

inline RawString U8(const std::string& text) {
    return RawString::FromBytes(text.data(), static_cast<int32_t>(text.size()), RawLayer::KindUtf8);
}

}  // namespace PassTest

namespace PassTest {

// Writes a picture of a size in one colour (the left half transparent when
// `alpha`) in the encoder's format: "image/png", "image/jpeg", "image/gif"
// or "image/bmp". GDI+ must be started.
inline bool WritePicture(const std::wstring& path, int width, int height, COLORREF colour, const wchar_t* mime,
                         bool alpha = false) {
    namespace Flat = Gdiplus::DllExports;
    UINT count = 0, bytes = 0;
    if (Flat::GdipGetImageEncodersSize(&count, &bytes) != Gdiplus::Ok || bytes == 0) return false;
    std::vector<unsigned char> buffer(bytes);
    auto* codecs = reinterpret_cast<Gdiplus::ImageCodecInfo*>(buffer.data());
    if (Flat::GdipGetImageEncoders(count, bytes, codecs) != Gdiplus::Ok) return false;
    const CLSID* encoder = nullptr;
    for (UINT i = 0; i < count; ++i)
        if (std::wstring(codecs[i].MimeType) == mime) encoder = &codecs[i].Clsid;
    if (!encoder) return false;
    std::vector<uint32_t> pixels(static_cast<size_t>(width) * height);
    uint32_t argb = 0xFF000000u | (GetRValue(colour) << 16) | (GetGValue(colour) << 8) | GetBValue(colour);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) pixels[static_cast<size_t>(y) * width + x] = (alpha && x < width / 2) ? 0 : argb;
    Gdiplus::GpBitmap* bitmap = nullptr;
    if (Flat::GdipCreateBitmapFromScan0(width, height, width * 4, PixelFormat32bppARGB,
                                        reinterpret_cast<BYTE*>(pixels.data()), &bitmap) != Gdiplus::Ok)
        return false;
    bool ok = Flat::GdipSaveImageToFile(bitmap, path.c_str(), encoder, nullptr) == Gdiplus::Ok;
    Flat::GdipDisposeImage(bitmap);
    return ok;
}

}  // namespace PassTest
