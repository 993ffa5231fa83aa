// Binary rows on screen, through the row host under Xvfb: the pixels of a
// mismatch and of a selection, the caret after a full row, clicks on the
// drawn hex pairs and characters, typing by WM_CHAR, the encoding menu of
// the side's title; without a window the hit test before the metrics and
// the detail-box strategy. Pixels are read with BitBlt from the window's DC.
// USES_FOREGROUND: the row host is shown and takes the focus.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "support/job_support.h"
#include "support/text_edit_support.h"
#include "support/window_rows.h"
#include "support/window_support.h"
#include "tavrel/jobs/binary/binary_kind.h"
#include "tavrel/jobs/job_dbox_draw.h"
#include "toolkit/environment.h"

using namespace JobLayer;
using RawLayer::RawString;
using TestSupport::DibCanvas;
using TestSupport::RowHost;
using TestSupport::S;
using TestSupport::W;

namespace {

constexpr DWORD kMenuWaitMs = 300;

class BinaryRowsTest : public TestSupport::BackupFixture {
protected:
    std::unique_ptr<JobGroupUnit> Open(const std::string& bytes1, const std::string& bytes2) {
        std::unique_ptr<JobGroupUnit> job(
            new JobGroupUnit(JobKindType::FromKind(KindBinary), &JobBinaryControl::Shared()));
        job->content1.path = W(File(L"one" + std::to_wstring(serial) + L".bin", bytes1));
        job->content2.path = W(File(L"two" + std::to_wstring(serial++) + L".bin", bytes2));
        job->edit.edit1 = job->edit.edit2 = 1;
        job->controller->Load(*job, ModeBoth);
        return job;
    }
    std::unique_ptr<RowHost> Show(JobGroupUnit* job) { return RowHost::Shown(job, RECT{20, 20, 1220, 220}); }
    // The left edge of the hex and character texts of a side's row.
    static int32_t HexLeft(const RowHost& host, uint32_t side, int32_t row) {
        const JobSideRecord& s = host.job->Side(side);
        return host.geometry.SideRect(side, row).left - s.scrollX + s.layoutWidth[0] + host.geometry.margin;
    }
    static int32_t CharLeft(const RowHost& host, uint32_t side, int32_t row) {
        return HexLeft(host, side, row) + host.job->Side(side).layoutWidth[1];
    }
    static int32_t Cell(JobGroupUnit& job, uint32_t side) { return BinaryDataOf(job.Side(side))->cellWidth; }
    static bool Near(COLORREF a, COLORREF b, int tolerance) { return TestSupport::NearColor(a, b, tolerance); }
    static COLORREF Blend(COLORREF over, COLORREF under, int opacity) {
        return TestSupport::BlendColor(over, under, opacity);
    }
    void Click(RowHost& host, int x, int y) {
        SendMessageW(host.window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
    }

    TestSupport::RecordingEditor editor;
    int serial = 0;
};

std::string Sixteen(char fifth) {
    std::string s = "0123456789abcdef";
    s[5] = fifth;
    return s;
}

// A detail box that measures every character as 7 pixels and keeps the
// indexes it was asked for.
class MeasuringBox : public JobDetailBox {
public:
    bool AllowsTyping() const override { return false; }
    void AttachIme(bool) override {}
    void SetBackColor(COLORREF color) override { back = color; }
    void SetTabWidth(int32_t) override {}
    void SetDrawFlag(uint32_t, bool) override {}
    int32_t TextEndX() const override { return 7 * 65; }
    int32_t CharX(int32_t index) const override {
        asked.push_back(index);
        return 7 * index;
    }
    COLORREF back = 0;
    mutable std::vector<int32_t> asked;
};

}  // namespace

TEST_F(BinaryRowsTest, MismatchSelectionCaretAndClicksMeetTheDrawnCells) {
    std::unique_ptr<JobGroupUnit> job = Open(Sixteen('5'), Sixteen('X'));
    ASSERT_EQ(job->rows.At(0)->kind, uint32_t(RowChanged));
    job->side1.anchorRow = job->side1.cursorRow = 0;
    job->side1.anchorColumn = 8;
    job->side1.cursorColumn = 11;
    auto host = Show(job.get());
    const int32_t cw = Cell(*job, 0);
    ASSERT_GT(cw, 0);
    DibCanvas canvas = DibCanvas::CaptureClient(host->window);
    const ColorTable& colors = ConfigStore::Instance().colors;
    const COLORREF window = GetSysColor(COLOR_WINDOW);
    for (uint32_t side = 0; side < 2; ++side) {
        const COLORREF changed = side == 0 ? colors.detailDiff1Color : colors.detailDiff2Color;
        const int top = host->geometry.SideRect(side, 0).top;
        const int hex = HexLeft(*host, side, 0);
        const int chars = CharLeft(*host, side, 0);
        // Under the two hex characters of position 5, and nowhere else.
        for (int x = hex; x < hex + 47 * cw; ++x) {
            const bool under = x >= hex + 15 * cw && x < hex + 17 * cw;
            EXPECT_EQ(canvas.Pixel(x, top) == changed, under) << "side " << side << " hex x " << x - hex;
        }
        for (int x = chars; x < chars + 16 * cw; ++x) {
            const bool under = x >= chars + 5 * cw && x < chars + 6 * cw;
            EXPECT_EQ(canvas.Pixel(x, top) == changed, under) << "side " << side << " char x " << x - chars;
        }
    }
    // The selection of positions 8-10: three cells a position in hex.
    const int top = host->geometry.SideRect(0, 0).top;
    const COLORREF selected = Blend(colors.cursorPivotColor, window, colors.cursorPivotOverwrap);
    const int hex = HexLeft(*host, 0, 0);
    for (int x = hex + 24 * cw; x < hex + 33 * cw; ++x) EXPECT_TRUE(Near(canvas.Pixel(x, top), selected, 2)) << x;
    EXPECT_EQ(canvas.Pixel(hex + 24 * cw - 1, top), window);
    EXPECT_EQ(canvas.Pixel(hex + 33 * cw, top), window);
    const int chars = CharLeft(*host, 0, 0);
    for (int x = chars + 8 * cw; x < chars + 11 * cw; ++x) EXPECT_TRUE(Near(canvas.Pixel(x, top), selected, 2)) << x;

    // The caret after a full row stands at character 47 of the hex column.
    JobContentUnit* unit = job->rows.At(0)->unit1;
    EXPECT_EQ(unit->CaretRect(host->Context(0, 0), 16).left, hex + 47 * cw);
    EXPECT_EQ(unit->CaretRect(host->Context(0, 0), 3).left, hex + 9 * cw);

    // A click on each drawn hex pair and character gives its position.
    const int y = (host->geometry.SideRect(0, 0).top + host->geometry.SideRect(0, 0).bottom) / 2;
    for (int32_t p = 0; p < 16; ++p) {
        for (int part = 0; part < 2; ++part) {
            Click(*host, hex + (3 * p + part) * cw + cw / 2, y);
            EXPECT_EQ(job->side1.cursorColumn, p) << "hex " << p << " part " << part;
        }
    }
    job->side1.activeColumn = 2;
    for (int32_t p = 0; p < 16; ++p) {
        Click(*host, chars + p * cw + cw / 2, y);
        EXPECT_EQ(job->side1.cursorColumn, p) << "char " << p;
    }
    // With the character column active, a click left of it gives 0.
    Click(*host, hex + 20 * cw, y);
    EXPECT_EQ(job->side1.cursorColumn, 0);
}

TEST_F(BinaryRowsTest, DigitsTypedIntoTheHostFillOneByte) {
    std::unique_ptr<JobGroupUnit> job = Open(std::string(3, '\0'), "");
    auto host = Show(job.get());
    SendMessageW(host->window, WM_CHAR, '4', 0);
    SendMessageW(host->window, WM_CHAR, '1', 0);
    JobBinaryBaseData* data = BinaryDataOf(job->side1);
    EXPECT_EQ(data->ByteAt(0), 0x41u);
    EXPECT_EQ(job->side1.cursorColumn, 1);
    EXPECT_TRUE(host->Execute(CommandUndo));
    EXPECT_EQ(data->ByteAt(0), 0x00u);
    EXPECT_EQ(data->Length(), 3);
}

TEST_F(BinaryRowsTest, EncodingMenuOpensOnTheTextAndSetsTheChosenKind) {
    std::unique_ptr<JobGroupUnit> job = Open("abc", "abc");
    auto host = Show(job.get());
    const RECT rect = job->side1.encodingRect;
    ASSERT_GT(rect.right, rect.left);
    EXPECT_EQ(S(job->side1.encodingText), "UTF8");
    // Dismissed: true, the kind kept. The right edge belongs to the text.
    bool seen = false;
    TestSupport::RunLater(kMenuWaitMs, [&] {
        seen = true;
        EndMenu();
    });
    EXPECT_TRUE(job->controller->SideMenu(*job, 0, host->window, POINT{rect.right, rect.top}));
    EXPECT_TRUE(seen);
    EXPECT_EQ(BinaryEncodingKind(job->side1), uint32_t(RawLayer::KindUtf8));
    // An item chosen by keys: the sixth, UTF16LE.
    TestSupport::RunLater(kMenuWaitMs, [&] {
        for (int i = 0; i < 6; ++i) TestSupport::PostKey(host->window, VK_DOWN);
        TestSupport::PostKey(host->window, VK_RETURN);
    });
    EXPECT_TRUE(job->controller->SideMenu(*job, 0, host->window, POINT{rect.left, rect.bottom}));
    EXPECT_EQ(BinaryEncodingKind(job->side1), 6u);
    EXPECT_EQ(S(job->side1.encodingText), "UTF16LE");
    // Outside: false, no menu (a menu would wait for the watchdog).
    EXPECT_FALSE(job->controller->SideMenu(*job, 0, host->window, POINT{rect.right + 1, rect.top}));
    EXPECT_FALSE(job->controller->SideMenu(*job, 0, host->window, POINT{rect.left, rect.bottom + 1}));
    EXPECT_EQ(BinaryEncodingKind(job->side1), 6u);
    TestSupport::PumpUntilIdle();
}

TEST_F(BinaryRowsTest, HitTestsStayInsideTheRowWithoutMetrics) {
    std::unique_ptr<JobGroupUnit> job = Open(std::string(20, 'a'), "");
    JobSideRecord& side = job->side1;
    BinaryDataOf(side)->cellWidth = 0;
    side.layoutWidth[0] = 40;
    side.layoutWidth[1] = 200;
    side.layoutWidth[2] = 80;
    BinaryVisibleTextWidth(side) = 280;
    for (int32_t row = 0; row < 2; ++row) {
        const JobBinaryUnit* unit = static_cast<JobBinaryUnit*>(job->content1.At(row));
        const int32_t last = std::min<int32_t>(16, unit->extent);
        for (uint32_t column : {1u, 2u}) {
            side.activeColumn = column;
            for (int32_t scroll : {0, 37, 500}) {
                side.scrollX = scroll;
                for (int32_t margin : {0, 4, 300}) {
                    JobDrawContext context;
                    context.rect = RECT{10, 0, 600, 16};
                    context.side = &side;
                    context.margin = margin;
                    for (int32_t x = -50; x < 700; x += 7) {
                        const int32_t index = unit->CharIndexAtX(context, x);
                        ASSERT_GE(index, 0);
                        ASSERT_LE(index, last);
                    }
                }
            }
        }
    }
}

TEST_F(BinaryRowsTest, DetailBoxShowsHexAndCharactersAndGreysWhatAShortRowLacks) {
    std::unique_ptr<JobGroupUnit> job = Open(Sixteen('5'), Sixteen('X'));
    JobKindPool pool;
    JobKindDBoxDraw* draw = pool.CreateDraw(JobKindType::FromKind(KindBinary));
    ASSERT_EQ(draw, &JobBinaryDBoxDraw::Shared());
    MeasuringBox box;
    DetailDrawRecord record;
    record.InitWith(&box, job.get(), job->rows.At(0), 0);
    draw->PrepareBox(record);
    EXPECT_EQ(box.back, WinLayer::ListWindowColor());
    const RawString text = draw->DetailText(record, job->rows.At(0)->unit1);
    EXPECT_EQ(S(text), "30 31 32 33 34 35 36 37 38 39 61 62 63 64 65 66  0123456789abcdef");
    JobDetailList list = draw->DetailList(job->rows.At(0), text, text);
    int32_t total = 0;
    for (const JobDetailUnit& segment : list) total += segment.length1;
    EXPECT_EQ(total, 65);
    // A full row: the field after the text and the separator line.
    draw->FillFields(record);
    EXPECT_EQ(record.fields.Count(), 2);
    // The end row (extent 0): the missing hex and characters, no index
    // below 0 asked for.
    record.InitWith(&box, job.get(), job->rows.At(1), 0);
    box.asked.clear();
    draw->FillFields(record);
    EXPECT_EQ(record.fields.Count(), 4);
    for (int32_t index : box.asked) EXPECT_GE(index, 0);
    bool hexField = false;
    for (const JobDrawFieldUnit& field : record.fields)
        hexField = hexField || (field.xStart == 0 && field.xEnd == 7 * 47);
    EXPECT_TRUE(hexField);
}

TEST_F(BinaryRowsTest, DrawingKeepsTheClipAndLeavesNoObjectBehind) {
    std::unique_ptr<JobGroupUnit> job = Open(Sixteen('5') + "tail", Sixteen('X'));
    job->side1.focusSide = 0;
    job->side1.anchorRow = 0;
    job->side1.anchorColumn = 2;
    job->side1.cursorRow = 1;
    job->side1.cursorColumn = 2;
    DibCanvas canvas(900, 60);
    HGDIOBJ font = SelectObject(canvas.Dc(), GetStockObject(ANSI_FIXED_FONT));
    TestSupport::RowGeometry geometry;
    geometry.client = RECT{0, 0, 900, 60};
    geometry.rowHeight = 18;
    geometry.margin = 4;
    TestSupport::LayoutRows(*job, canvas.Dc(), geometry);
    // With all but 200 GDI handles taken, a row that left one behind would
    // use the rest up long before the last round.
    TestSupport::GdiHog hog(200);
    for (int i = 0; i < 1000; ++i) {
        for (int32_t row = 0; row < job->rows.Count(); ++row)
            for (uint32_t side = 0; side < 2; ++side)
                job->rows.At(row)->Unit(side)->Draw(TestSupport::RowContext(*job, side, row, canvas.Dc(), geometry));
        HRGN clip = CreateRectRgn(0, 0, 0, 0);
        EXPECT_EQ(GetClipRgn(canvas.Dc(), clip), 0);  // no clip region left behind
        DeleteObject(clip);
    }
    HBRUSH brush = CreateSolidBrush(RGB(1, 2, 3));
    EXPECT_NE(brush, nullptr);
    DeleteObject(brush);
    SelectObject(canvas.Dc(), font);
}
