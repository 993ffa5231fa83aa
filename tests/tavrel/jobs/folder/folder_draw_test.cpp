// Folder rows on screen through the row host under Xvfb (pixels read with
// BitBlt from the window's DC): the kind icon, the name, the right-aligned
// size, the date and the separators of an entry row, the empty placeholder,
// the red fill of a replaced entry; and the detail boxes of a folder row,
// lined up at the same tab stops.
// RUN_UNDER_BOTH_CODE_PAGES
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "support/job_support.h"
#include "support/window_rows.h"
#include "support/window_support.h"
#include "tavrel/jobs/entry_icons.h"
#include "tavrel/jobs/folder/folder_copy.h"
#include "tavrel/jobs/folder/folder_draw.h"
#include "tavrel/jobs/folder/folder_kind.h"
#include "tavrel/jobs/job_dbox_draw.h"
#include "tavrel/jobs/job_group.h"
#include "toolkit/bitmap_pool.h"

using namespace JobLayer;
using RawLayer::RawString;
using TestSupport::DibCanvas;
using TestSupport::PutFile;
using TestSupport::RowHost;
using TestSupport::S;
using TestSupport::W;

namespace {

// Left: sub\, a.txt (2,000 bytes), b.bin (1,000,000); right: a.txt, c.txt.
// Rows: 0 sub|sub, 1 a.txt|a.txt, 2 b.bin|-, 3 -|c.txt.
class FolderDrawTest : public TestSupport::FolderJobFixture {
protected:
    void SetUp() override {
        FolderJobFixture::SetUp();
        CreateDirectoryW((left + L"\\sub").c_str(), nullptr);
        CreateDirectoryW((right + L"\\sub").c_str(), nullptr);
        PutFile(left + L"\\a.txt", std::string(2000, 'a'));
        PutFile(right + L"\\a.txt", "short");
        PutFile(left + L"\\b.bin", std::string(1000000, 'b'));  // a wider size text
        PutFile(right + L"\\c.txt", "c");
        job = JobGroupList::Instance().OpenPair(W(left), W(right));
        ASSERT_NE(job, nullptr);
        ASSERT_EQ(RowText(job), "0:sub|sub 3:a.txt|a.txt 1:b.bin| 2:|c.txt ");
    }
    std::unique_ptr<RowHost> Show() {
        std::unique_ptr<RowHost> host(new RowHost(job, RECT{20, 20, 860, 220}));
        host->showCaret = false;
        host->Create();
        TestSupport::PumpUntilIdle();
        InvalidateRect(host->window, nullptr, FALSE);
        UpdateWindow(host->window);
        host->Layout();
        return host;
    }
    // Columns of [from, to) holding a pixel unlike the window colour in
    // the row's band.
    static std::vector<int> Ink(const DibCanvas& canvas, const RECT& band, int from, int to) {
        const COLORREF window = GetSysColor(COLOR_WINDOW);
        std::vector<int> columns;
        for (int x = from; x < to; ++x)
            for (int y = band.top; y < band.bottom; ++y)
                if (canvas.Pixel(x, y) != window) {
                    columns.push_back(x);
                    break;
                }
        return columns;
    }

    JobGroupUnit* job = nullptr;
};

// A detail box of a given width that measures with the GUI font and tab
// stops every four characters, as the main window's boxes do.
class MeasuringBox : public JobDetailBox {
public:
    explicit MeasuringBox(int32_t width) : width_(width), dc_(CreateCompatibleDC(nullptr)) {
        old_ = SelectObject(dc_, GetStockObject(DEFAULT_GUI_FONT));
    }
    ~MeasuringBox() override {
        SelectObject(dc_, old_);
        DeleteDC(dc_);
    }
    bool AllowsTyping() const override { return false; }
    void AttachIme(bool attach) override { ime = attach ? 1 : 0; }
    void SetBackColor(COLORREF) override {}
    void SetTabWidth(int32_t characters) override { tabCharacters = characters; }
    void SetDrawFlag(uint32_t, bool) override {}
    int32_t TextEndX() const override { return 0; }
    int32_t ClientWidth() const override { return width_; }
    int32_t TextWidth(const RawString& text) const override {
        RawString wide = text.As(RawLayer::KindUtf16);
        if (wide.IsEmpty() || tabCharacters <= 0) return 0;
        RECT rect = {0, 0, 32767, 0};
        DRAWTEXTPARAMS params = {sizeof(params), tabCharacters, 0, 0, 0};
        DrawTextExW(dc_, const_cast<wchar_t*>(wide.Wide()), wide.Length(), &rect,
                    DT_CALCRECT | DT_NOPREFIX | DT_EXPANDTABS | DT_TABSTOP | DT_SINGLELINE, &params);
        return rect.right;
    }
    HDC Dc() const { return dc_; }
    int32_t tabCharacters = 0;
    int ime = -1;

private:
    int32_t width_;
    HDC dc_;
    HGDIOBJ old_;
};

// Where the size and the date begin in a detail text, in the box.
struct DetailStops {
    int32_t size, date;
    int tabs1, tabs2;
};
DetailStops StopsOf(const MeasuringBox& box, const RawString& text) {
    RawString wide = text.As(RawLayer::KindUtf16);
    int32_t i = 0;
    const int32_t n = wide.Length();
    while (i < n && wide.UnitAt(i) != '\t') ++i;
    int tabs1 = 0;
    while (i < n && wide.UnitAt(i) == '\t') ++i, ++tabs1;
    const int32_t sizeAt = i;
    while (i < n && wide.UnitAt(i) != '\t') ++i;
    int tabs2 = 0;
    while (i < n && wide.UnitAt(i) == '\t') ++i, ++tabs2;
    RawString head1, head2;
    head1.AssignRange(wide, RawLayer::RawRange{0, sizeAt});
    head2.AssignRange(wide, RawLayer::RawRange{0, i});
    // The width of a text ending in tabs is where the next part begins.
    return DetailStops{box.TextWidth(head1), box.TextWidth(head2), tabs1, tabs2};
}

}  // namespace

TEST_F(FolderDrawTest, EntryRowShowsIconNameSizeDateAndSeparators) {
    auto host = Show();
    DibCanvas canvas = DibCanvas::CaptureClient(host->window);
    const JobSideRecord& side = job->side1;
    const int margin = host->geometry.margin;
    const RECT band = host->geometry.SideRect(0, 1);  // a.txt
    const int x1 = band.left + side.layoutWidth[0];
    const int x2 = x1 + side.layoutWidth[1];
    const int x3 = x2 + side.layoutWidth[2];
    ASSERT_GT(side.layoutWidth[1], 0);
    ASSERT_GT(side.layoutWidth[2], 0);
    EXPECT_EQ(x3, band.right);
    // Separators over the whole row height at each column's right edge.
    const COLORREF separator = GetSysColor(COLOR_BTNSHADOW);
    for (int x : {x1 - 1, x2 - 1, x3 - 1})
        for (int y = band.top; y < band.bottom; ++y) EXPECT_EQ(canvas.Pixel(x, y), separator) << x << "," << y;
    // The icon, then the name after it.
    const int icon = EntryIconSide(host->geometry.rowHeight);
    ASSERT_GT(icon, 0);
    const std::vector<int> iconInk = Ink(canvas, band, band.left + margin, band.left + margin + icon);
    EXPECT_GE(static_cast<int>(iconInk.size()), icon / 2);
    EXPECT_FALSE(Ink(canvas, band, band.left + margin + icon + margin, x1 - 1).empty());
    // The size ends at the column's right margin; the date starts at its left.
    const std::vector<int> size = Ink(canvas, band, x1, x2 - 1);
    ASSERT_FALSE(size.empty());
    EXPECT_GE(size.back(), x2 - 1 - margin - 3);
    EXPECT_GT(size.front(), x1 + margin + 2);
    const std::vector<int> date = Ink(canvas, band, x2, x3 - 1);
    ASSERT_FALSE(date.empty());
    EXPECT_LE(date.front(), x2 + margin + 2);
    // The placeholder row: nothing but the separators.
    const RECT empty = host->geometry.SideRect(0, 3);
    std::vector<int> ink = Ink(canvas, empty, empty.left, empty.right);
    EXPECT_EQ(ink, (std::vector<int>{x1 - 1, x2 - 1, x3 - 1}));
    // Each entry kind has its icon: a folder's differs from a text file's.
    const RECT folderBand = host->geometry.SideRect(0, 0);
    int differing = 0;
    for (int y = 0; y < icon; ++y)
        for (int x = 0; x < icon; ++x)
            differing += canvas.Pixel(band.left + margin + x, band.top + (band.bottom - band.top - icon) / 2 + y) !=
                         canvas.Pixel(folderBand.left + margin + x,
                                      folderBand.top + (folderBand.bottom - folderBand.top - icon) / 2 + y);
    EXPECT_GT(differing, icon);
}

TEST_F(FolderDrawTest, ReplacedEntryIsFilledRedOnlyThen) {
    JobContentUnit* entry = job->rows.At(2)->unit1;
    entry->flags = static_cast<uint16_t>(entry->flags | PathUnitLink);
    auto host = Show();
    const RECT band = host->geometry.SideRect(0, 2);
    const int nameEnd = band.left + job->side1.layoutWidth[0] - 3;
    DibCanvas plain = DibCanvas::CaptureClient(host->window);
    EXPECT_EQ(plain.Pixel(nameEnd, band.top + 1), GetSysColor(COLOR_WINDOW));
    entry->flags = static_cast<uint16_t>(entry->flags | PathUnitReplaced);
    InvalidateRect(host->window, nullptr, FALSE);
    DibCanvas red = DibCanvas::CaptureClient(host->window);
    EXPECT_EQ(red.Pixel(nameEnd, band.top + 1), RGB(255, 0, 0));
    EXPECT_EQ(red.Pixel(band.right - 3, band.bottom - 2), RGB(255, 0, 0));
    entry->flags = static_cast<uint16_t>(entry->flags & ~(PathUnitReplaced | PathUnitLink));
}

TEST_F(FolderDrawTest, IconResourceOfTextFilesIsLinked) {
    HANDLE icon = LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(TextFileIconResource), IMAGE_ICON, 16, 16,
                             LR_DEFAULTCOLOR);
    ASSERT_NE(icon, nullptr);
    DestroyIcon(static_cast<HICON>(icon));
    // Every cell of the pool holds a picture, whatever the module holds.
    WinLayer::WinBitmapPool* pool = EntryIconPool(20);
    ASSERT_NE(pool, nullptr);
    for (int32_t cell = 0; cell < 3; ++cell) {
        const uint32_t* pixels = pool->CellPixels(cell);
        ASSERT_NE(pixels, nullptr);
        int opaque = 0;
        for (int i = 0; i < 20 * 20; ++i) opaque += (pixels[i] >> 24) > 0x80;
        EXPECT_GT(opaque, 100) << cell;
    }
    EXPECT_EQ(EntryIconPool(0), nullptr);
    EXPECT_EQ(EntryIconPool(100000), nullptr);
}

TEST_F(FolderDrawTest, DetailBoxesLineUpAtOneWidthEvenWhenNarrow) {
    JobKindPool pool;
    JobKindDBoxDraw* draw = pool.CreateDraw(JobKindType::FromKind(KindPath));
    ASSERT_EQ(draw, &JobPathDBoxDraw::Shared());
    JobReportUnit* row = job->rows.At(1);  // a.txt, changed
    ASSERT_EQ(row->kind, uint32_t(RowChanged));
    for (int32_t width : {520, 10, 0}) {
        MeasuringBox box1(width), box2(width == 520 ? 380 : width);
        DetailDrawRecord record1, record2;
        record1.InitWith(&box1, job, row, 0);
        record2.InitWith(&box2, job, row, 1);
        draw->PrepareBox(record1);
        draw->PrepareBox(record2);
        EXPECT_EQ(box1.tabCharacters, kPathDetailTabCharacters);
        EXPECT_EQ(box1.ime, 0);
        for (uint32_t s = 0; s < 2; ++s) PathBaseData(job->Side(s))->UpdateMetrics(box1.Dc(), 18, width);
        draw->MeasureBox(record1, record2);
        const JobPathBaseData& data1 = *PathBaseData(job->side1);
        const JobPathBaseData& data2 = *PathBaseData(job->side2);
        EXPECT_EQ(data1.extent[0], data2.extent[0]) << width;
        EXPECT_GE(data1.extent[0], std::max(box1.ClientWidth(), box2.ClientWidth()));
        const RawString text1 = draw->DetailText(record1, row->unit1);
        const RawString text2 = draw->DetailText(record2, row->unit2);
        const DetailStops stops1 = StopsOf(box1, text1);
        const DetailStops stops2 = StopsOf(box2, text2);
        EXPECT_EQ(stops1.size, stops2.size) << width;
        EXPECT_EQ(stops1.date, stops2.date) << width;
        EXPECT_GE(stops1.tabs1, 1);
        EXPECT_GE(stops1.tabs2, 1);
        EXPECT_GE(stops2.tabs1, 1);
        EXPECT_GE(stops2.tabs2, 1);
        EXPECT_GT(stops1.size, box1.TextWidth(RawString::FromText("a.txt")));
        if (width == 520) {
            // Room enough: the date ends inside the box.
            EXPECT_LE(box1.TextWidth(text1), data1.extent[0]);
        }
        // The segments of the changed row cover both texts.
        const JobDetailList list = draw->DetailList(row, text1, text2);
        int32_t length1 = 0, length2 = 0;
        for (const JobDetailUnit& unit : list) {
            length1 += unit.length1;
            length2 += unit.length2;
        }
        EXPECT_EQ(length1, text1.As(RawLayer::KindUtf16).Length());
        EXPECT_EQ(length2, text2.As(RawLayer::KindUtf16).Length());
        EXPECT_TRUE(draw->DetailList(job->rows.At(0), text1, text2).IsEmpty());
    }
    // No tab width anywhere: no division by zero, still a tab between parts.
    for (uint32_t s = 0; s < 2; ++s) PathBaseData(job->Side(s))->tabWidth = 0;
    DetailDrawRecord bare1, bare2;
    bare1.InitWith(nullptr, job, row, 0);
    bare2.InitWith(nullptr, job, row, 1);
    draw->MeasureBox(bare1, bare2);
    EXPECT_GE(PathBaseData(job->side1)->tabCount[0], 1);
    EXPECT_GE(PathBaseData(job->side1)->tabCount[1], 1);
    // The placeholder has no detail text.
    EXPECT_TRUE(draw->DetailText(bare2, job->rows.At(2)->unit2).IsEmpty());
}
