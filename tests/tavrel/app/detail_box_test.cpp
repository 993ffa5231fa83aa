// The detail boxes on a real text pair: the default drawing of a missing
// side, the segment colours of a changed row, bands that move with the
// horizontal scroll, the field to the right edge, a larger kind font moving
// the layout, a font refitted by a resize drawing as a fresh show, the
// changed characters' bands over their own glyphs in two faces; and every
// view painted a thousand times with the GDI handles nearly used up.
#include "tab_view_fixture.h"

#include <usp10.h>

#include <algorithm>
#include <cwchar>
#include <functional>
#include <vector>

#include "tavrel/app/command_bar.h"
#include "tavrel/app/detail_box.h"
#include "tavrel/jobs/color_settings.h"
#include "tavrel/jobs/gui_profile.h"
#include "tavrel/jobs/job_report.h"
#include "tavrel/jobs/text/line_unit.h"
#include "toolkit/environment.h"
#include "toolkit/gdi_scope.h"

namespace TabViewTest {
namespace {

using AppLayer::DetailBoxPair;
using AppLayer::GuiDetailBox;

constexpr COLORREF kDetailDiff1 = RGB(0x41, 0x51, 0x61);
constexpr COLORREF kDetailDiff2 = RGB(0x42, 0x52, 0x62);
constexpr COLORREF kDetailOnly1 = RGB(0x43, 0x53, 0x63);
constexpr COLORREF kDetailOnly2 = RGB(0x44, 0x54, 0x64);
constexpr COLORREF kPosSide1 = RGB(0x45, 0x55, 0x65);

class DetailBoxTest : public MainWindowFixture {
protected:
    // Side 2 changes a character in the middle of a long line and has a
    // line of its own.
    // The lines of the detail colours in section "ColorSetting".
    static std::string DetailColours() {
        return "DetailDiff1Color=" + Hex(kDetailDiff1) + "\r\nDetailDiff2Color=" + Hex(kDetailDiff2) +
               "\r\nDetailOnly1Color=" + Hex(kDetailOnly1) + "\r\nDetailOnly2Color=" + Hex(kDetailOnly2) +
               "\r\nDetailBlankColor=" + Hex(kDetailOnly1) + "\r\n";
    }
    void OpenChangedPair() {
        WriteProfile(DetailColours() + "PosBarSide1Color=" + Hex(kPosSide1) + "\r\n");
        const std::string head(60, 'a');
        ASSERT_TRUE(WriteFileBytes(temp.Join(L"a.txt"), "same\r\n" + head + "XYZ" + std::string(200, 'b') + "\r\n"));
        ASSERT_TRUE(WriteFileBytes(temp.Join(L"b.txt"),
                                   "same\r\n" + head + "QRS" + std::string(200, 'b') + "\r\nonly here\r\n"));
        OpenPair(temp.Join(L"a.txt"), temp.Join(L"b.txt"));
        ASSERT_EQ(Current()->kind.kind, JobLayer::KindText);
    }
    // A text view font far too tall for the window (the profile's extra
    // comes first), and a pair whose second line differs, with the cursor
    // on that line.
    void OpenHugeFontPair(const std::string& extra, const std::string& line1, const std::string& line2) {
        WriteProfile(extra + "[TextViewFont]\r\nHeight=100000\r\n");
        const std::string more = "3\r\n4\r\n5\r\n6\r\n7\r\n8\r\n";
        ASSERT_TRUE(WriteFileBytes(temp.Join(L"a.txt"), "same\r\n" + line1 + "\r\n" + more));
        ASSERT_TRUE(WriteFileBytes(temp.Join(L"b.txt"), "same\r\n" + line2 + "\r\n" + more));
        OpenPair(temp.Join(L"a.txt"), temp.Join(L"b.txt"));
        ASSERT_EQ(Current()->kind.kind, JobLayer::KindText);
        CursorTo(ItemOfKind(JobLayer::RowChanged));
        PumpUntilIdle();
    }
    // Puts the folder box's cursor on an item and lets the boxes follow.
    void CursorTo(int32_t item) {
        ASSERT_GE(item, 0);
        Box().cursor = item;
        AppLayer::ShowCursorRowDetails(Views());
    }
    static DibCanvas Paint(WinLayer::WinView& view) {
        InvalidateRect(view.window, nullptr, FALSE);
        UpdateWindow(view.window);
        return DibCanvas::CaptureClient(view.window);
    }
    // The x range of the pixels of a colour along the box's middle line.
    static std::pair<LONG, LONG> Band(const DibCanvas& canvas, COLORREF colour) {
        const int y = canvas.Height() / 2;
        LONG first = -1, last = -1;
        for (int x = 0; x < canvas.Width(); ++x) {
            if (canvas.Pixel(x, y) != colour) continue;
            if (first < 0) first = x;
            last = x;
        }
        return {first, last};
    }
    static RECT Placed(WinLayer::WinView& view, HWND parent) {
        RECT rect{};
        GetWindowRect(view.window, &rect);
        MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rect), 2);
        return rect;
    }
};

TEST_F(DetailBoxTest, ARowOnlyOnSideTwoLeavesBoxOneEmptyAndPaintsBoxTwo) {
    OpenChangedPair();
    CursorTo(ItemOfKind(JobLayer::RowOnly2));
    GuiDetailBox& box1 = Views().detail1;
    GuiDetailBox& box2 = Views().detail2;
    EXPECT_EQ(box1.EditText().Length(), 0);
    EXPECT_EQ(box1.draw, &JobLayer::JobBaseDBoxDraw::Shared());
    EXPECT_EQ(TestSupport::S(box2.EditText()), "only here");
    EXPECT_EQ(Paint(box1).CountColor(kDetailOnly1), 0);
    const auto band = Band(Paint(box2), kDetailOnly2);
    EXPECT_GE(band.first, 0);
    EXPECT_GT(band.second - band.first, 20);
}

TEST_F(DetailBoxTest, AChangedRowPaintsItsChangedCharactersAndTheBandsFollowTheScroll) {
    OpenChangedPair();
    CursorTo(ItemOfKind(JobLayer::RowChanged));
    GuiDetailBox& box1 = Views().detail1;
    GuiDetailBox& box2 = Views().detail2;
    const DibCanvas first = Paint(box1);
    const auto changed1 = Band(first, kDetailDiff1);
    const auto changed2 = Band(Paint(box2), kDetailDiff2);
    ASSERT_GE(changed1.first, 0);
    ASSERT_GE(changed2.first, 0);
    // Same characters before and after keep the box's own background: no
    // band colour in their columns (their glyphs' ink may stand anywhere in
    // them, whatever the face).
    for (const LONG x : {changed1.first - 3, changed1.second + 30}) {
        const RECT column{x, 0, x + 1, first.Height()};
        EXPECT_EQ(first.CountColor(column, kDetailDiff1), 0) << x;
    }
    // The band starts where the 60 same characters end.
    EXPECT_EQ(changed1.first - (box1.contentArea.left), box1.CharX(60));
    // Scrolled by 40 pixels, the band moves by 40.
    box1.scroll.x = 40;
    const auto scrolled = Band(Paint(box1), kDetailDiff1);
    EXPECT_EQ(scrolled.first, changed1.first - 40);
    EXPECT_EQ(scrolled.second, changed1.second - 40);
}

TEST_F(DetailBoxTest, TheFieldAfterTheTextReachesTheRightEdgeAtAnyWidth) {
    OpenChangedPair();
    CursorTo(ItemOfKind(JobLayer::RowSame));
    GuiDetailBox& box = Views().detail1;
    const COLORREF face = JobLayer::ButtonFaceColor();
    const RECT placed = Placed(box, Dialog().window);
    for (LONG width : {placed.right - placed.left, (placed.right - placed.left) / 2 + 7}) {
        MoveWindow(box.window, placed.left, placed.top, width, placed.bottom - placed.top, TRUE);
        PumpUntilIdle();
        const DibCanvas canvas = Paint(box);
        const int y = canvas.Height() / 2;
        EXPECT_EQ(canvas.Pixel(canvas.Width() - box.marginRight - 1, y), face) << width;
        EXPECT_EQ(canvas.Pixel(box.contentArea.left + box.TextEndX() + 1, y), face) << width;
    }
}

TEST_F(DetailBoxTest, AFolderRowsDateEndsInsideTheBoxWheneverThereIsRoom) {
    const std::wstring left = temp.Join(L"l"), right = temp.Join(L"r");
    CreateDirectoryW(left.c_str(), nullptr);
    CreateDirectoryW(right.c_str(), nullptr);
    ASSERT_TRUE(WriteFileBytes(left + L"\\a.txt", std::string(1500, 'x')));
    ASSERT_TRUE(WriteFileBytes(right + L"\\a.txt", std::string(123456, 'y')));
    OpenPair(left, right);
    ASSERT_EQ(Current()->kind.kind, JobLayer::KindPath);
    const int32_t item = ItemOfKind(JobLayer::RowChanged);
    GuiDetailBox* boxes[] = {&Views().detail1, &Views().detail2};
    const RECT placed = Placed(*boxes[0], Dialog().window);
    int32_t checked = 0;
    // Every width from the placed one down by odd steps: whenever the name,
    // the size, the date and a tab before, between and after them fit, the
    // whole text lies inside the box.
    for (LONG width = placed.right - placed.left; width > 60; width -= 13) {
        for (GuiDetailBox* box : boxes) {
            const RECT at = Placed(*box, Dialog().window);
            MoveWindow(box->window, at.left, at.top, width, at.bottom - at.top, TRUE);
        }
        PumpUntilIdle();
        CursorTo(item);
        for (GuiDetailBox* box : boxes) {
            const RawLayer::RawString text = box->EditText();
            const std::string plain = TestSupport::S(text);
            std::vector<std::string> parts;
            for (size_t at = 0; at <= plain.size();) {
                const size_t tab = std::min(plain.find('\t', at), plain.size());
                if (tab > at) parts.push_back(plain.substr(at, tab - at));
                at = tab + 1;
            }
            ASSERT_EQ(parts.size(), 3u) << plain;
            int32_t room = 3 * box->TextWidth(RawLayer::RawString::FromLiteral("\t"));
            for (const std::string& part : parts) room += box->TextWidth(RawLayer::RawString::FromText(part.c_str()));
            if (room > box->ClientWidth()) continue;
            EXPECT_LE(box->TextWidth(text), box->ClientWidth()) << width << " " << plain << " room " << room << " tab " << box->TextWidth(RawLayer::RawString::FromLiteral("\t"));
            ++checked;
        }
    }
    EXPECT_GT(checked, 10);
}

TEST_F(DetailBoxTest, ALargerKindFontMovesTheLayoutAndTheOldOneRestoresIt) {
    OpenChangedPair();
    GuiViewSet& v = Views();
    const HWND parent = Dialog().window;
    WinLayer::WinView* moved[] = {&v.folderBox, &v.positionBar, &v.twinBar, &v.detail1, &v.detail2};
    std::vector<RECT> before;
    for (WinLayer::WinView* view : moved) before.push_back(Placed(*view, parent));
    WinLayer::WinFontParameter& font = JobLayer::GuiProfileStore::Instance().ViewFont(JobLayer::ViewFontText);
    const HFONT kept = font.handle;
    const HFONT large = CreateFontW(-40, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, L"Tahoma");
    ASSERT_NE(large, nullptr);
    font.handle = large;
    const int32_t oldHeight = v.detailPair.lineHeight;
    const int32_t d = v.detailPair.ApplyFont(v.folderBox.FittedViewFont());
    EXPECT_LT(d, 0);
    EXPECT_EQ(v.detailPair.lineHeight, oldHeight - d);
    v.detailPair.lineHeight = oldHeight;
    AppLayer::ApplyDetailKindFont(v, JobLayer::ViewFontText);
    EXPECT_EQ(Placed(v.folderBox, parent).bottom, before[0].bottom + 2 * d);
    EXPECT_EQ(Placed(v.twinBar, parent).top, before[2].top + 2 * d);
    EXPECT_EQ(Placed(v.detail1, parent).top, before[3].top + 2 * d);
    EXPECT_EQ(Placed(v.detail1, parent).bottom, before[3].bottom + d);
    EXPECT_EQ(Placed(v.detail2, parent).top, before[4].top + d);
    font.handle = kept;
    AppLayer::ApplyDetailKindFont(v, JobLayer::ViewFontText);
    for (size_t i = 0; i < before.size(); ++i) {
        const RECT now = Placed(*moved[i], parent);
        EXPECT_TRUE(EqualRect(&now, &before[i])) << i;
    }
    DeleteObject(large);
}

TEST_F(DetailBoxTest, AHugeTextFontLeavesTheFolderBoxShowingItsRows) {
    WriteProfile("[TextViewFont]\r\nHeight=100000\r\n[BinaryViewFont]\r\nHeight=-100000\r\n");
    ASSERT_TRUE(WriteFileBytes(temp.Join(L"a.bin"), std::string(200, '\0')));
    ASSERT_TRUE(WriteFileBytes(temp.Join(L"b.bin"), std::string(201, '\0')));
    OpenPair(temp.Join(L"a.bin"), temp.Join(L"b.bin"));
    ASSERT_EQ(Current()->kind.kind, JobLayer::KindBinary);
    // Below the title row the box shows at least a few whole rows.
    EXPECT_GE(Box().VisibleRows(), 3);
    ASSERT_TRUE(WriteFileBytes(temp.Join(L"a.txt"), "one\r\ntwo\r\n3\r\n4\r\n5\r\n6\r\n7\r\n8\r\n"));
    ASSERT_TRUE(WriteFileBytes(temp.Join(L"b.txt"), "one\r\nTWO\r\n3\r\n4\r\n5\r\n6\r\n7\r\n8\r\n"));
    JobGroupUnit* job = JobLayer::JobGroupList::Instance().FindOrOpenPair(W(temp.Join(L"a.txt")), W(temp.Join(L"b.txt")));
    ASSERT_NE(job, nullptr);
    Views().tabBar.InsertJob(nullptr, job);
    PumpUntilIdle();
    ASSERT_EQ(Current()->kind.kind, JobLayer::KindText);
    EXPECT_GE(Box().VisibleRows(), 3);
    CursorTo(ItemOfKind(JobLayer::RowChanged));
    GuiViewSet& v = Views();
    const HWND parent = Dialog().window;
    RECT client{};
    GetClientRect(parent, &client);
    const RECT folder = Placed(v.folderBox, parent), twin = Placed(v.twinBar, parent);
    const RECT detail1 = Placed(v.detail1, parent), detail2 = Placed(v.detail2, parent);
    // The views keep their order down the window, and the folder box at
    // least half the height it shares with the detail boxes.
    EXPECT_LE(folder.bottom, twin.top);
    EXPECT_LE(twin.bottom, detail1.top);
    EXPECT_LE(detail1.bottom, detail2.top);
    EXPECT_GE(detail1.bottom - detail1.top, 0);
    const LONG shared = (folder.bottom - folder.top) + (detail1.bottom - detail1.top) + (detail2.bottom - detail2.top);
    EXPECT_GE(2 * (folder.bottom - folder.top) + 1, shared);
    // A normal font and the huge one again move the boxes back and forth
    // between the same two places.
    WinLayer::WinFontParameter& font = JobLayer::GuiProfileStore::Instance().ViewFont(JobLayer::ViewFontText);
    const HFONT huge = font.handle;
    font.handle = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    AppLayer::ApplyDetailKindFont(v, JobLayer::ViewFontText);
    const RECT normal = Placed(v.folderBox, parent);
    EXPECT_GT(normal.bottom, folder.bottom);
    font.handle = huge;
    AppLayer::ApplyDetailKindFont(v, JobLayer::ViewFontText);
    const RECT again = Placed(v.folderBox, parent);
    EXPECT_TRUE(EqualRect(&again, &folder));
    font.handle = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    AppLayer::ApplyDetailKindFont(v, JobLayer::ViewFontText);
    const RECT back = Placed(v.folderBox, parent);
    EXPECT_TRUE(EqualRect(&back, &normal));
    font.handle = huge;
}

// A view font far too tall for the window is fitted once, for the folder
// box and the detail boxes alike: the detail boxes show the folder box's
// font, a whole line of it, at the window's first size and after a resize.
TEST_F(DetailBoxTest, AHugeViewFontIsFittedAlikeInTheFolderBoxAndTheDetailBoxes) {
    const std::string line = "one two three";
    OpenHugeFontPair("", line, "one TWO three");
    GuiViewSet& v = Views();
    auto cellHeight = [](HWND window, const WinLayer::WinFontParameter& font) {
        WinLayer::GdiWindowDC dc(window);
        WinLayer::GdiSelection keep(dc.Get(), font.handle);
        TEXTMETRICW metrics{};
        GetTextMetricsW(dc.Get(), &metrics);
        return metrics.tmHeight;
    };
    const LONG chosen =
        cellHeight(Box().window, JobLayer::GuiProfileStore::Instance().ViewFont(JobLayer::ViewFontText));
    auto check = [&] {
        Paint(v.folderBox);
        PumpUntilIdle();
        const LONG rows = cellHeight(Box().window, Box().GetEffectiveFont());
        EXPECT_LT(rows, chosen);
        for (GuiDetailBox* box : {&v.detail1, &v.detail2}) {
            EXPECT_EQ(cellHeight(box->window, box->GetEffectiveFont()), rows);
            // A whole line shows: as high as the font's line, as wide as the
            // row's text.
            RECT client{};
            GetClientRect(box->window, &client);
            EXPECT_GE(client.bottom - client.top, AppLayer::MeasureLineHeight(*box, box->GetEffectiveFont()));
            EXPECT_LE(box->TextWidth(RawLayer::RawString::FromText(line.c_str())), box->ClientWidth());
        }
        EXPECT_GE(Box().VisibleRows(), 3);
    };
    check();
    RECT window{};
    GetWindowRect(Dialog().window, &window);
    SetWindowPos(Dialog().window, nullptr, 0, 0, window.right - window.left, (window.bottom - window.top) * 3 / 4,
                 SWP_NOMOVE | SWP_NOZORDER);
    PumpUntilIdle();
    check();
}

// When a resize fits the huge font to another size, the detail boxes draw
// the row they show as if it were shown afresh in that size: the changed
// characters' colours and the line's field bands are measured in it.
TEST_F(DetailBoxTest, AViewFontRefittedByAResizeDrawsTheDetailsAsShownAfresh) {
    // A window of 900 x 700.
    OpenHugeFontPair(DetailColours() + "[MainDialog]\r\nWindowRect_L=40\r\nWindowRect_T=30\r\nWindowRect_R=940\r\n"
                     "WindowRect_B=730\r\n",
                     "Wide words here, and more", "Wide WORDS here and more!");
    GuiViewSet& v = Views();
    const HWND window = Dialog().window;
    for (int show : {SW_MAXIMIZE, SW_RESTORE}) {
        const HFONT before = v.detail1.GetEffectiveFont().handle;
        ShowWindow(window, show);
        PumpUntilIdle();
        // The font was fitted to the new size.
        ASSERT_NE(v.detail1.GetEffectiveFont().handle, before) << show;
        const DibCanvas refitted1 = Paint(v.detail1), refitted2 = Paint(v.detail2);
        AppLayer::ShowCursorRowDetails(v);
        const DibCanvas afresh1 = Paint(v.detail1), afresh2 = Paint(v.detail2);
        EXPECT_GT(afresh1.CountColor(kDetailDiff1), 0) << show;
        EXPECT_TRUE(refitted1.SameAs(afresh1)) << show;
        EXPECT_TRUE(refitted2.SameAs(afresh2)) << show;
    }
}

int CALLBACK KeepTrueTypeFace(const LOGFONTW* font, const TEXTMETRICW*, DWORD type, LPARAM list) {
    auto& names = *reinterpret_cast<std::vector<std::wstring>*>(list);
    if ((type & TRUETYPE_FONTTYPE) && font->lfFaceName[0] != L'@') names.push_back(font->lfFaceName);
    return 1;
}

// The TrueType faces of the machine of a character set (DEFAULT_CHARSET:
// of any), by name.
std::vector<std::wstring> Faces(BYTE charset) {
    std::vector<std::wstring> faces;
    WinLayer::GdiWindowDC screen(nullptr);
    LOGFONTW wanted{};
    wanted.lfCharSet = charset;
    EnumFontFamiliesExW(screen.Get(), &wanted, KeepTrueTypeFace, reinterpret_cast<LPARAM>(&faces), 0);
    std::sort(faces.begin(), faces.end());
    faces.erase(std::unique(faces.begin(), faces.end()), faces.end());
    return faces;
}

std::vector<std::wstring> LatinFaces() { return Faces(ANSI_CHARSET); }

// Every changed character band of a detail box lies over exactly its
// characters' glyphs, at the view font and in a second face, with tabs of
// eight: the box's pixels are its background, its bands and field, and its
// text drawn run by run at the places the box measured, and the ink of a
// band's characters lies inside the band but for the overhang the face
// gives the glyphs themselves.
TEST_F(DetailBoxTest, EveryChangedBandLiesOverTheGlyphsOfItsCharactersInTwoFaces) {
    WriteProfile(DetailColours(), "TabStop=8\r\n");
    const std::pair<std::string, std::string> lines[] = {
        {"#define M_CBC_X 0x2", "#define EVP_CIPH_CBC_MODE 0x2"},
        {"x = a[1] + b.c(2, 3); // ok?", "x = A[10] - b.c(2; 3); /* no! */"},
        {"Price: $4.50 (tax 7%) @ W&M", "Price: #14.05 [tax 17%] @ w&m"},
        {"wWmM iIl1 0O8B, \"quoted\"", "WwMm Il1i O08B; 'quoted'..."},
        {"\tid\t= 0x2a;\t// one", "\tids\t= 0x2B;\t\t// two"},
        {"key:\tvalue 12", "key =\tValue 21\t!"},
    };
    std::string text1, text2;
    for (const auto& line : lines) {
        text1 += line.first + "\r\n";
        text2 += line.second + "\r\n";
    }
    ASSERT_TRUE(WriteFileBytes(temp.Join(L"a.txt"), text1));
    ASSERT_TRUE(WriteFileBytes(temp.Join(L"b.txt"), text2));
    OpenPair(temp.Join(L"a.txt"), temp.Join(L"b.txt"));
    ASSERT_EQ(Current()->kind.kind, JobLayer::KindText);
    GuiViewSet& v = Views();
    WinLayer::WinFontParameter& font = JobLayer::GuiProfileStore::Instance().ViewFont(JobLayer::ViewFontText);
    const HFONT kept = font.handle;
    // The second face: a Latin one that sets the first line otherwise than
    // the view font, at the view font's height.
    auto widthIn = [](HFONT face) {
        WinLayer::GdiWindowDC screen(nullptr);
        WinLayer::GdiSelection keep(screen.Get(), face);
        SIZE size{};
        GetTextExtentPoint32W(screen.Get(), L"#define EVP_CIPH_CBC_MODE 0x2", 29, &size);
        return size.cx;
    };
    HFONT other = nullptr;
    for (const std::wstring& face : LatinFaces()) {
        LOGFONTW description = font.description;
        wcsncpy(description.lfFaceName, face.c_str(), LF_FACESIZE - 1);
        description.lfCharSet = DEFAULT_CHARSET;
        const HFONT made = CreateFontIndirectW(&description);
        if (made && widthIn(made) != widthIn(kept)) {
            other = made;
            break;
        }
        if (made) DeleteObject(made);
    }
    ASSERT_NE(other, nullptr);
    int32_t bandsChecked = 0;
    for (const HFONT face : {kept, other}) {
        font.handle = face;
        AppLayer::ApplyDetailKindFont(v, JobLayer::ViewFontText);
        for (int32_t item = 0; item < Box().Count(); ++item) {
            CursorTo(item);
            for (GuiDetailBox* box : {&v.detail1, &v.detail2}) {
                const uint32_t side = box->record.side & 1;
                const RawLayer::RawString shown = box->EditText();
                SCOPED_TRACE(TestSupport::S(shown) + (face == kept ? " (view font)" : " (second face)"));
                const RECT area = box->contentArea;
                const LONG left = area.left - box->scroll.x;
                const LONG top = area.top - box->scroll.y + (box->lineGap + 1) / 2;
                const DibCanvas shot = Paint(*box);
                // The same picture made here, on a bitmap like the box's
                // own: background, bands at the measured places of their
                // characters, the field after the text, and the text run
                // by run at those places.
                const HDC windowDc = GetDC(box->window);
                const HDC memory = CreateCompatibleDC(windowDc);
                const HBITMAP bitmap = CreateCompatibleBitmap(windowDc, shot.Width(), shot.Height());
                ReleaseDC(box->window, windowDc);
                const HGDIOBJ oldBitmap = SelectObject(memory, bitmap);
                const HGDIOBJ oldFont = SelectObject(memory, box->GetEffectiveFont().handle);
                auto fill = [memory](LONG l, LONG t, LONG r, LONG b, COLORREF colour) {
                    const RECT rect{l, t, r, b};
                    WinLayer::GdiBrush brush(colour);
                    FillRect(memory, &rect, brush.Handle());
                };
                fill(area.left, area.top, area.right, area.bottom, box->backgroundColour);
                struct Band {
                    int32_t start, end;
                    LONG from, to;
                };
                std::vector<Band> bands;
                int32_t start = 0;
                for (const JobLayer::JobDetailUnit& segment : box->segments) {
                    const int32_t length = side == 0 ? segment.length1 : segment.length2;
                    COLORREF colour = CLR_INVALID;
                    if (segment.kind == JobLayer::SegmentChanged) colour = side == 0 ? kDetailDiff1 : kDetailDiff2;
                    if (segment.kind == JobLayer::SegmentOnly1 || segment.kind == JobLayer::SegmentOnly2)
                        colour = side == 1 && segment.kind == JobLayer::SegmentOnly2 ? kDetailOnly2 : kDetailOnly1;
                    if (colour != CLR_INVALID && length > 0) {
                        const Band band{start, start + length, left + box->CharX(start),
                                        left + box->CharX(start + length)};
                        fill(band.from, area.top, band.to, area.bottom, colour);
                        bands.push_back(band);
                    }
                    start += length;
                }
                fill(left + box->TextEndX(), area.top, area.right, area.bottom, JobLayer::ButtonFaceColor());
                SetBkMode(memory, TRANSPARENT);
                SetTextColor(memory, WinLayer::ListTextColor());
                const wchar_t* units = shown.Wide();
                auto drawRuns = [&](int32_t from, int32_t to) {
                    for (int32_t run = from; run < to;) {
                        if (units[run] == L'\t') {
                            ++run;
                            continue;
                        }
                        std::vector<int> advances;
                        int32_t end = run;
                        for (; end < to && units[end] != L'\t'; ++end)
                            advances.push_back(box->CharX(end + 1) - box->CharX(end));
                        ExtTextOutW(memory, left + box->CharX(run), top, 0, nullptr, units + run,
                                    static_cast<UINT>(end - run), advances.data());
                        run = end;
                    }
                };
                drawRuns(0, shown.Length());
                DibCanvas expected(shot.Width(), shot.Height());
                BitBlt(expected.Dc(), 0, 0, shot.Width(), shot.Height(), memory, 0, 0, SRCCOPY);
                int32_t different = 0;
                for (LONG y = area.top; y < area.bottom; ++y)
                    for (LONG x = area.left; x < area.right; ++x) different += shot.Pixel(x, y) != expected.Pixel(x, y);
                EXPECT_EQ(different, 0);
                // Each band's characters alone, on white: their ink lies
                // inside the band, but for the glyphs' own overhang.
                for (const Band& band : bands) {
                    fill(0, 0, shot.Width(), shot.Height(), RGB(255, 255, 255));
                    SetTextColor(memory, RGB(0, 0, 0));
                    drawRuns(band.start, band.end);
                    BitBlt(expected.Dc(), 0, 0, shot.Width(), shot.Height(), memory, 0, 0, SRCCOPY);
                    ABC first{}, last{};
                    GetCharABCWidthsW(memory, units[band.start], units[band.start], &first);
                    GetCharABCWidthsW(memory, units[band.end - 1], units[band.end - 1], &last);
                    // The widths are whole pixels; a smoothed glyph's edge may
                    // shade one more.
                    const LONG inkLeft = band.from + std::min(first.abcA, 0) - 1;
                    const LONG inkRight = band.to - std::min(static_cast<int>(last.abcC), 0) + 1;
                    int32_t outside = 0;
                    for (LONG y = area.top; y < area.bottom; ++y) {
                        for (LONG x = 0; x < shot.Width(); ++x) {
                            if (expected.Pixel(x, y) != RGB(255, 255, 255)) outside += x < inkLeft || x >= inkRight;
                        }
                    }
                    EXPECT_EQ(outside, 0) << band.start << ".." << band.end;
                    ++bandsChecked;
                }
                SelectObject(memory, oldFont);
                SelectObject(memory, oldBitmap);
                DeleteObject(bitmap);
                DeleteDC(memory);
            }
        }
    }
    font.handle = kept;
    AppLayer::ApplyDetailKindFont(v, JobLayer::ViewFontText);
    DeleteObject(other);
    EXPECT_GE(bandsChecked, 2 * 12);
}

// A face of the machine with a glyph of its own for every character of the
// texts; empty when none has.
std::wstring FaceHolding(const std::vector<std::wstring>& texts) {
    WinLayer::GdiWindowDC screen(nullptr);
    for (const std::wstring& face : Faces(DEFAULT_CHARSET)) {
        LOGFONTW description{};
        description.lfHeight = -16;
        description.lfCharSet = DEFAULT_CHARSET;
        wcsncpy(description.lfFaceName, face.c_str(), LF_FACESIZE - 1);
        const HFONT font = CreateFontIndirectW(&description);
        if (!font) continue;
        const HGDIOBJ old = SelectObject(screen.Get(), font);
        bool all = true;
        for (std::wstring text : texts) {
            // A tab is no glyph of any face.
            text.erase(std::remove(text.begin(), text.end(), L'\t'), text.end());
            std::vector<WORD> glyphs(text.size());
            if (GetGlyphIndicesW(screen.Get(), text.c_str(), static_cast<int>(text.size()), glyphs.data(),
                                 GGI_MARK_NONEXISTING_GLYPHS) == GDI_ERROR ||
                std::count(glyphs.begin(), glyphs.end(), WORD(0xFFFF)) > 0)
                all = false;
        }
        SelectObject(screen.Get(), old);
        DeleteObject(font);
        if (all) return face;
    }
    return std::wstring();
}

// Where the platform sets the characters of a run without tabs in the DC's
// font, by Uniscribe's own caret places: each character's glyphs from its
// leading to its trailing edge, from the run's left edge; and the run's
// width.
std::vector<std::pair<int, int>> PlatformCells(HDC dc, const wchar_t* units, int count, int& width) {
    std::vector<std::pair<int, int>> cells(static_cast<size_t>(count));
    width = 0;
    SCRIPT_STRING_ANALYSIS analysis = nullptr;
    if (count <= 0 || FAILED(ScriptStringAnalyse(dc, units, count, count * 3 / 2 + 16, -1, SSA_GLYPHS, 0, nullptr,
                                                 nullptr, nullptr, nullptr, nullptr, &analysis)))
        return cells;
    width = ScriptString_pSize(analysis)->cx;
    for (int i = 0; i < count; ++i) {
        int leading = 0, trailing = 0;
        ScriptStringCPtoX(analysis, i, FALSE, &leading);
        ScriptStringCPtoX(analysis, i, TRUE, &trailing);
        cells[static_cast<size_t>(i)] = {std::min(leading, trailing), std::max(leading, trailing)};
    }
    ScriptStringFree(&analysis);
    return cells;
}

// A line as the platform draws it, on a bitmap like the view's own
// (background filled already): the band of each coloured unit over the
// glyphs the platform gives it, then `underText` (given the x where the text
// ends), then the text run by run between tabs, each run with one
// ExtTextOutW without advances. `runX` gives the laid-out x of a run that
// starts after a tab.
void DrawLineAsThePlatformSetsIt(HDC memory, const std::wstring& text, LONG left, LONG top, LONG bandTop,
                                 LONG bandBottom, const std::vector<COLORREF>& colourOf,
                                 const std::function<int(int)>& runX, const std::function<void(LONG)>& underText) {
    struct Run {
        int start, end, x;
    };
    std::vector<Run> runs;
    LONG end = left;
    for (int start = 0; start <= static_cast<int>(text.size());) {
        int stop = start;
        while (stop < static_cast<int>(text.size()) && text[static_cast<size_t>(stop)] != L'\t') ++stop;
        const Run run{start, stop, start == 0 ? 0 : runX(start)};
        int width = 0;
        const auto cells = PlatformCells(memory, text.c_str() + start, stop - start, width);
        for (int i = start; i < stop; ++i) {
            const COLORREF colour = colourOf[static_cast<size_t>(i)];
            if (colour == CLR_INVALID) continue;
            const auto& cell = cells[static_cast<size_t>(i - start)];
            const RECT band{left + run.x + cell.first, bandTop, left + run.x + cell.second, bandBottom};
            WinLayer::GdiBrush brush(colour);
            FillRect(memory, &band, brush.Handle());
        }
        runs.push_back(run);
        end = left + run.x + width;
        start = stop + 1;
    }
    underText(end);
    SetBkMode(memory, TRANSPARENT);
    SetTextColor(memory, WinLayer::ListTextColor());
    for (const Run& run : runs) {
        if (run.end > run.start)
            ExtTextOutW(memory, left + run.x, top, 0, nullptr, text.c_str() + run.start,
                        static_cast<UINT>(run.end - run.start), nullptr);
    }
}

// A picture of the shot's size on a bitmap like the window's own, painted
// by `draw` (the DC holds the view's font).
DibCanvas PictureLike(HWND window, const DibCanvas& shot, HFONT font, const std::function<void(HDC)>& draw) {
    const HDC windowDc = GetDC(window);
    const HDC memory = CreateCompatibleDC(windowDc);
    const HBITMAP bitmap = CreateCompatibleBitmap(windowDc, shot.Width(), shot.Height());
    ReleaseDC(window, windowDc);
    const HGDIOBJ oldBitmap = SelectObject(memory, bitmap);
    const HGDIOBJ oldFont = SelectObject(memory, font);
    draw(memory);
    DibCanvas picture(shot.Width(), shot.Height());
    BitBlt(picture.Dc(), 0, 0, shot.Width(), shot.Height(), memory, 0, 0, SRCCOPY);
    SelectObject(memory, oldFont);
    SelectObject(memory, oldBitmap);
    DeleteObject(bitmap);
    DeleteDC(memory);
    return picture;
}

int32_t DifferingPixels(const DibCanvas& shot, const DibCanvas& expected, const RECT& area) {
    int32_t different = 0;
    for (LONG y = area.top; y < area.bottom; ++y)
        for (LONG x = area.left; x < area.right; ++x) different += shot.Pixel(x, y) != expected.Pixel(x, y);
    return different;
}

// Lines of Arabic and Hebrew, with Latin words, digits and a tab among
// them, in the detail boxes and in the folder box's rows, in a face that
// holds their letters: every line's pixels are those of the platform
// drawing each run between tabs with one ExtTextOutW (letters joined, right
// to left), and the bands of the changed characters lie over the glyphs
// the platform gives them.
TEST_F(DetailBoxTest, ArabicAndHebrewLinesAreDrawnAsThePlatformShapesThemWithTheirBandsOverTheirGlyphs) {
    const std::pair<std::wstring, std::wstring> lines[] = {
        {L"\u0645\u0631\u062D\u0628\u0627 \u0644\u0627 \u0627\u0644\u0639\u0631\u0628\u064A\u0629",
         L"\u0645\u0631\u062D\u0628\u0627 \u0644\u0627 \u0627\u0644\u0639\u062C\u0628\u064A\u0629"},
        {L"\u05E9\u05DC\u05D5\u05DD \u05E2\u05D5\u05DC\u05DD", L"\u05E9\u05DC\u05D5\u05DD \u05E2\u05D5\u05DC\u05DE\u05D9"},
        {L"abc \u0645\u0631\u062D\u0628\u0627 123 def", L"abc \u0645\u0631\u062D\u0628\u062A 124 def"},
        {L"\u0633\u0644\u0627\u0645\t\u05D0\u05D1\u05D2 cd", L"\u0633\u0644\u0645\t\u05D0\u05D1\u05D3 cd"},
    };
    std::vector<std::wstring> all;
    for (const auto& line : lines) {
        all.push_back(line.first);
        all.push_back(line.second);
    }
    const std::wstring face = FaceHolding(all);
    if (face.empty()) GTEST_SKIP() << "no face of this machine has glyphs for Arabic and Hebrew";
    WriteProfile(DetailColours() + "[TextViewFont]\r\nFaceName=" + TestSupport::Utf8(face) + "\r\nHeight=-16\r\n",
                 "TabStop=4\r\n");
    // UTF-16 files: a line's units are its characters' UTF-16 units.
    auto utf16 = [](const std::wstring& text) {
        std::string bytes = "\xFF\xFE";
        for (const wchar_t unit : text) {
            bytes += static_cast<char>(unit & 0xFF);
            bytes += static_cast<char>((unit >> 8) & 0xFF);
        }
        return bytes;
    };
    std::wstring text1 = L"same\r\n", text2 = L"same\r\n";
    for (const auto& line : lines) {
        text1 += line.first + L"\r\n";
        text2 += line.second + L"\r\n";
    }
    ASSERT_TRUE(WriteFileBytes(temp.Join(L"a.txt"), utf16(text1)));
    ASSERT_TRUE(WriteFileBytes(temp.Join(L"b.txt"), utf16(text2)));
    OpenPair(temp.Join(L"a.txt"), temp.Join(L"b.txt"));
    ASSERT_EQ(Current()->kind.kind, JobLayer::KindText);
    GuiViewSet& v = Views();
    auto faceOf = [](HFONT font) {
        WinLayer::GdiWindowDC screen(nullptr);
        WinLayer::GdiSelection keep(screen.Get(), font);
        wchar_t name[LF_FACESIZE] = {};
        GetTextFaceW(screen.Get(), LF_FACESIZE, name);
        return std::wstring(name);
    };
    auto colourOfSegment = [](uint32_t kind, uint32_t side) {
        if (kind == JobLayer::SegmentChanged) return side == 0 ? kDetailDiff1 : kDetailDiff2;
        if (kind == JobLayer::SegmentOnly1 || kind == JobLayer::SegmentOnly2)
            return side == 1 && kind == JobLayer::SegmentOnly2 ? kDetailOnly2 : kDetailOnly1;
        return static_cast<COLORREF>(CLR_INVALID);
    };
    auto coloursOf = [&](const JobLayer::JobDetailList& segments, uint32_t side, size_t length) {
        std::vector<COLORREF> colours(length, CLR_INVALID);
        size_t start = 0;
        for (const JobLayer::JobDetailUnit& segment : segments) {
            const size_t count = static_cast<size_t>(std::max(side == 0 ? segment.length1 : segment.length2, 0));
            for (size_t i = start; i < start + count && i < length; ++i) colours[i] = colourOfSegment(segment.kind, side);
            start += count;
        }
        return colours;
    };

    // The folder box's rows, the cursor on the same first line.
    CursorTo(0);
    GuiFolderBox& folderBox = Box();
    const HFONT rowFont = folderBox.GetEffectiveFont().handle;
    ASSERT_EQ(faceOf(rowFont), face);
    const DibCanvas rows = Capture();
    int32_t bandsChecked = 0;
    for (int32_t item = 1; item <= static_cast<int32_t>(std::size(lines)); ++item) {
        const JobLayer::JobReportUnit* row = GuiFolderBox::ItemOf(*folderBox.ItemAt(item));
        ASSERT_NE(row, nullptr);
        ASSERT_EQ(row->kind, JobLayer::RowChanged) << item;
        for (uint32_t side = 0; side < 2; ++side) {
            const std::wstring& text = side == 0 ? lines[item - 1].first : lines[item - 1].second;
            SCOPED_TRACE(TestSupport::Utf8(text) + (side == 0 ? " (row, side 1)" : " (row, side 2)"));
            auto* unit = static_cast<JobLayer::JobLineUnit*>(row->Unit(side));
            JobLayer::JobSideRecord& record = Current()->Side(side);
            JobLayer::JobDrawContext context;
            context.rect = folderBox.SideRect(item, side);
            context.side = &record;
            context.row = item;
            context.margin = folderBox.View().kindMargin;
            const RECT area = unit->TextAreaRect(context);
            const LONG left = area.left - record.scrollX;
            const std::vector<COLORREF> colours = coloursOf(row->Details(1), side, text.size());
            bandsChecked += static_cast<int32_t>(std::count_if(colours.begin(), colours.end(),
                                                               [](COLORREF c) { return c != CLR_INVALID; }));
            LONG textEnd = area.right;
            const DibCanvas expected = PictureLike(folderBox.window, rows, rowFont, [&](HDC memory) {
                TEXTMETRICW metrics{};
                GetTextMetricsW(memory, &metrics);
                const LONG top = area.top + (area.bottom - area.top - metrics.tmHeight) / 2;
                WinLayer::GdiBrush background(side == 0 ? kDiff1 : kDiff2);
                FillRect(memory, &area, background.Handle());
                DrawLineAsThePlatformSetsIt(
                    memory, text, left, top, area.top, area.bottom, colours,
                    [unit](int i) { return unit->DrawData()->PositionX(i); }, [&](LONG end) { textEnd = end; });
            });
            // Up to the line's end (the line-end mark follows it), above the
            // row's bottom line.
            const RECT compared{area.left, area.top, std::min(area.right, textEnd), area.bottom - 1};
            EXPECT_GT(compared.right, compared.left);
            EXPECT_EQ(DifferingPixels(rows, expected, compared), 0);
        }
    }

    // The detail boxes, row by row.
    for (int32_t item = 1; item <= static_cast<int32_t>(std::size(lines)); ++item) {
        CursorTo(item);
        for (GuiDetailBox* box : {&v.detail1, &v.detail2}) {
            const uint32_t side = box->record.side & 1;
            const std::wstring& text = side == 0 ? lines[item - 1].first : lines[item - 1].second;
            SCOPED_TRACE(TestSupport::Utf8(text) + (side == 0 ? " (detail box 1)" : " (detail box 2)"));
            ASSERT_EQ(TestSupport::Ws(box->EditText()), text);
            const HFONT font = box->GetEffectiveFont().handle;
            ASSERT_EQ(faceOf(font), face);
            const RECT area = box->contentArea;
            const LONG left = area.left - box->scroll.x;
            const LONG top = area.top - box->scroll.y + (box->lineGap + 1) / 2;
            const std::vector<COLORREF> colours = coloursOf(box->segments, side, text.size());
            bandsChecked += static_cast<int32_t>(std::count_if(colours.begin(), colours.end(),
                                                               [](COLORREF c) { return c != CLR_INVALID; }));
            const DibCanvas shot = Paint(*box);
            const DibCanvas expected = PictureLike(box->window, shot, font, [&](HDC memory) {
                WinLayer::GdiBrush background(box->backgroundColour);
                FillRect(memory, &area, background.Handle());
                DrawLineAsThePlatformSetsIt(
                    memory, text, left, top, area.top, area.bottom, colours, [box](int i) { return box->CharX(i); },
                    [&](LONG end) {
                        const RECT field{end, area.top, area.right, area.bottom};
                        WinLayer::GdiBrush brush(JobLayer::ButtonFaceColor());
                        FillRect(memory, &field, brush.Handle());
                    });
            });
            EXPECT_EQ(DifferingPixels(shot, expected, area), 0);
        }
    }
    EXPECT_GE(bandsChecked, 8);
}

TEST_F(DetailBoxTest, AThousandPaintsOfEveryViewLeaveNoGdiObjectBehind) {
    OpenChangedPair();
    CursorTo(ItemOfKind(JobLayer::RowChanged));
    GuiViewSet& v = Views();
    v.statusBox.Report(RawLayer::RawString::FromText("a status line"));
    PumpUntilIdle();
    {
        EnterCriticalSection(&v.twinBar.lock);
        v.twinBar.halves[0].maximum = 100000;
        LeaveCriticalSection(&v.twinBar.lock);
    }
    // Take every GDI handle but a few hundred.
    std::vector<HBRUSH> taken;
    for (int i = 0; i < 70000; ++i) {
        const HBRUSH brush = CreateSolidBrush(RGB(i & 0xFF, 1, 2));
        if (!brush) break;
        taken.push_back(brush);
    }
    ASSERT_GT(taken.size(), 1000u);
    const size_t spare = std::min<size_t>(300, taken.size());
    for (size_t i = 0; i < spare; ++i) DeleteObject(taken[taken.size() - 1 - i]);
    taken.resize(taken.size() - spare);
    WinLayer::WinView* views[] = {&v.buttons[AppLayer::BtnReloadTab], &v.statusBox, &v.positionBar, &v.twinBar,
                                  &v.detail1};
    for (int round = 0; round < 1000; ++round) {
        for (WinLayer::WinView* view : views) {
            InvalidateRect(view->window, nullptr, FALSE);
            UpdateWindow(view->window);
        }
    }
    const DibCanvas status = DibCanvas::CaptureClient(v.statusBox.window);
    const DibCanvas bar = DibCanvas::CaptureClient(v.positionBar.window);
    const DibCanvas twin = DibCanvas::CaptureClient(v.twinBar.window);
    const DibCanvas detail = DibCanvas::CaptureClient(v.detail1.window);
    for (HBRUSH brush : taken) DeleteObject(brush);
    EXPECT_GT(status.CountColor(AppLayer::GuiStatusBox::kSeparatorColour), 10);
    EXPECT_GT(bar.CountColor(kPosSide1), 0);
    EXPECT_GT(twin.CountColor(AppLayer::GuiTwinScrollBar::kThumbColour), 10);
    EXPECT_GT(detail.CountColor(kDetailDiff1), 10);
}

}  // namespace
}  // namespace TabViewTest
