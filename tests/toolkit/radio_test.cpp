// Radio and selector groups on real dialogs: the segment faces, presses,
// releases and keys with disabled segments, empty groups, lists that grow,
// and the automation request 0x8005.
// USES_FOREGROUND: focus is one per display.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/window_support.h"
#include "toolkit/radio_button.h"

using namespace WinLayer;
using RawLayer::RawString;
using TestSupport::DibCanvas;
using TestSupport::TestDialog;

namespace {

constexpr uint16_t kPicked = 0x1100;

RawString Text(const char* text) { return RawString::FromText(text); }

// A dialog with a group of the labels "Yes" (2), "No" (3), "Later" (4),
// fitted to them, posting kPicked.
template <class Group>
struct Row {
    explicit Row(std::vector<const char*> labels = {"Yes", "No", "Later"})
        : dialog("TkRadio", L"Radio", RECT{90, 90, 500, 260}) {
        uint32_t value = 2;
        for (const char* label : labels) list.Add(Text(label), value++);
        group.Construct();
        group.SetItems(RawString(), &list, kPicked);
        group.FitToContent();
        group.rect = RECT{10, 10, 10 + group.fittedWidth, 10 + group.fittedHeight};
        dialog.makeChildren = [this](TestDialog& d) { d.CreateChild(group); };
        dialog.Create();
        TestSupport::PumpUntilIdle();
    }
    // The middle of segment i in client points.
    POINT Middle(int i) const {
        RECT client{};
        GetClientRect(group.window, &client);
        const RECT segment = group.SegmentRect(client, i);
        return POINT{(segment.left + segment.right) / 2, (segment.top + segment.bottom) / 2};
    }
    // A mouse message at the middle of segment i, the left button held
    // for a press.
    void Mouse(UINT message, int i) const {
        const POINT at = Middle(i);
        TestSupport::SendMouse(group.window, message, at.x, at.y, message == WM_LBUTTONUP ? 0 : MK_LBUTTON);
    }
    int Picks() const {
        int picks = 0;
        const std::string line = "child command " + std::to_string(group.controlId) + " " + std::to_string(kPicked);
        for (const std::string& entry : dialog.journal) picks += entry == line;
        return picks;
    }

    RawLayer::RawLabelList list;
    Group group;
    TestDialog dialog;
};

// Takes the letter keys.
class TakesLetters : public WinSelectorButton::KeyScanner {
public:
    bool ScanKey(WPARAM key) override {
        if (key < 'A' || key > 'Z') return false;
        taken.push_back(key);
        return true;
    }
    std::vector<WPARAM> taken;
};

}  // namespace

TEST(RadioGroup, AOneItemGroupIsRoundedAndBorderedOnEverySide) {
    Row<WinRadioButton> row({"Only"});
    row.list.selectedValue = 2;
    InvalidateRect(row.group.window, nullptr, FALSE);
    const DibCanvas face = DibCanvas::CaptureClient(row.group.window);
    const int w = face.Width(), h = face.Height();
    ASSERT_GT(w, 20);
    const COLORREF background = GetSysColor(COLOR_BTNFACE);
    for (POINT corner : {POINT{0, 0}, POINT{w - 1, 0}, POINT{0, h - 1}, POINT{w - 1, h - 1}})
        EXPECT_EQ(face.Pixel(corner.x, corner.y), background) << corner.x << "," << corner.y;
    // The chosen segment's border ring, two pixels wide on every side.
    EXPECT_EQ(face.Pixel(1, h / 4), 0xFF27FFu);
    EXPECT_EQ(face.Pixel(w - 2, h / 4), 0xFF27FFu);
    EXPECT_EQ(face.Pixel(w / 2, 1), 0xFF27FFu);
    EXPECT_EQ(face.Pixel(1, 3 * h / 4), 0xFF00FFu);
    EXPECT_EQ(face.Pixel(w / 2, h - 2), 0xFF00FFu);
}

TEST(RadioGroup, RadiosPickOnThePressSelectorsOnTheReleaseOfTheirOwnPress) {
    static const uint8_t enabled[] = {1, 0, 1};
    Row<WinRadioButton> radio;
    radio.group.SetEnabled(enabled, 3);

    // A disabled segment changes nothing.
    radio.Mouse(WM_LBUTTONDOWN, 1);
    radio.Mouse(WM_LBUTTONUP, 1);
    TestSupport::PumpUntilIdle();
    EXPECT_EQ(radio.list.selectedValue, 0u);
    EXPECT_EQ(radio.Picks(), 0);
    EXPECT_EQ(GetFocus(), radio.group.window) << "the press still takes the focus";

    // The radio picks and notifies on the press.
    radio.Mouse(WM_LBUTTONDOWN, 2);
    TestSupport::PumpUntilIdle();
    EXPECT_EQ(radio.list.selectedValue, 4u);
    EXPECT_EQ(radio.Picks(), 1);
    radio.Mouse(WM_LBUTTONUP, 2);
    TestSupport::PumpUntilIdle();
    EXPECT_EQ(radio.Picks(), 1);

    // The selector notifies on the release of a press on an enabled
    // segment, and not for any other release.
    Row<WinSelectorButton> selector;
    selector.group.SetEnabled(enabled, 3);
    selector.Mouse(WM_LBUTTONUP, 0);
    TestSupport::PumpUntilIdle();
    EXPECT_EQ(selector.Picks(), 0) << "a release without a press";
    selector.Mouse(WM_LBUTTONDOWN, 1);
    selector.Mouse(WM_LBUTTONUP, 1);
    selector.Mouse(WM_LBUTTONDBLCLK, 1);
    selector.Mouse(WM_LBUTTONUP, 1);
    TestSupport::PumpUntilIdle();
    EXPECT_EQ(selector.Picks(), 0) << "clicks on a disabled segment";
    selector.Mouse(WM_LBUTTONDOWN, 0);
    TestSupport::PumpUntilIdle();
    EXPECT_EQ(selector.list.selectedValue, 2u);
    EXPECT_EQ(selector.Picks(), 0);
    selector.Mouse(WM_LBUTTONUP, 0);
    TestSupport::PumpUntilIdle();
    EXPECT_EQ(selector.Picks(), 1);
}

TEST(RadioGroup, KeysSkipDisabledSegmentsAndEmptyGroupsStayEmpty) {
    static const uint8_t enabled[] = {1, 0, 1};
    Row<WinSelectorButton> row;
    row.group.SetEnabled(enabled, 3);
    const HWND window = row.group.window;
    SetFocus(window);
    ASSERT_EQ(GetFocus(), window);
    EXPECT_EQ(row.group.currentIndex, 0);
    TestSupport::SendKey(window, VK_RIGHT);
    EXPECT_EQ(row.group.currentIndex, 2);
    TestSupport::SendKey(window, VK_RIGHT);
    EXPECT_EQ(row.group.currentIndex, 2);
    TestSupport::SendKey(window, VK_LEFT);
    EXPECT_EQ(row.group.currentIndex, 0);
    // Enter and Space on a disabled segment do nothing.
    row.group.currentIndex = 1;
    TestSupport::PostKey(window, VK_RETURN);
    TestSupport::PostKey(window, VK_SPACE);
    TestSupport::PumpUntilIdle();
    EXPECT_EQ(row.Picks(), 0);
    EXPECT_EQ(row.list.selectedValue, 0u);
    row.group.currentIndex = 2;
    TestSupport::PostKey(window, VK_RETURN);
    TestSupport::PumpUntilIdle();
    EXPECT_EQ(row.Picks(), 1);
    EXPECT_EQ(row.list.selectedValue, 4u);

    // A key scanner is asked first and keeps the keys it takes.
    TakesLetters scanner;
    row.group.scanner = &scanner;
    TestSupport::SendKey(window, 'N');
    TestSupport::SendKey(window, VK_LEFT);
    EXPECT_EQ(scanner.taken, std::vector<WPARAM>{'N'});
    EXPECT_EQ(row.group.currentIndex, 0) << "other keys go on to the group";
    row.group.scanner = nullptr;

    // A label added later is measured before it is drawn or hit.
    row.list.Add(Text("Never"), 9);
    InvalidateRect(window, nullptr, FALSE);
    UpdateWindow(window);
    EXPECT_EQ(row.group.itemCount, 4);
    EXPECT_EQ(row.group.itemSizes.Count(), 4);

    // An empty group has no current segment, with the focus or a key.
    Row<WinRadioButton> empty(std::vector<const char*>{});
    SetFocus(empty.group.window);
    EXPECT_EQ(empty.group.currentIndex, -1);
    for (UINT key : {VK_RETURN, VK_SPACE, VK_LEFT, VK_RIGHT}) TestSupport::PostKey(empty.group.window, key);
    TestSupport::PumpUntilIdle();
    EXPECT_EQ(empty.group.currentIndex, -1);
    EXPECT_EQ(empty.Picks(), 0);
    UpdateWindow(empty.group.window);
}

TEST(SelectorGroup, PressButtonSentByTheProgramChoosesByLabel) {
    Row<WinSelectorButton> row;
    const HWND window = row.group.window;
    RawLayer::RawParameterList request;
    request.SetText(Text("Button"), Text("No"));
    WinMessage::SendPointer(window, WinMessage::PressButton, 0, reinterpret_cast<LPARAM>(&request));
    TestSupport::PumpUntilIdle();
    EXPECT_EQ(row.list.selectedValue, 3u);
    EXPECT_EQ(row.Picks(), 1);
    // The focused segment does not replace the named choice.
    row.group.currentIndex = 0;
    request.SetText(Text("Button"), Text("Later"));
    WinMessage::SendPointer(window, WinMessage::PressButton, 0, reinterpret_cast<LPARAM>(&request));
    TestSupport::PumpUntilIdle();
    EXPECT_EQ(row.list.selectedValue, 4u);
    // A missing label chooses 0.
    request.SetText(Text("Button"), Text("Maybe"));
    WinMessage::SendPointer(window, WinMessage::PressButton, 0, reinterpret_cast<LPARAM>(&request));
    TestSupport::PumpUntilIdle();
    EXPECT_EQ(row.list.selectedValue, 0u);
    EXPECT_EQ(row.Picks(), 3);
    // A posted request carries a pointer anyone can forge: ignored.
    row.list.selectedValue = 7;
    PostMessageW(window, WinMessage::PressButton, 0, 0x12345678);
    TestSupport::PumpUntilIdle();
    EXPECT_EQ(row.list.selectedValue, 7u);
    EXPECT_EQ(row.Picks(), 3);
}
