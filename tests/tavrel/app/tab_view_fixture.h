// The main window built by the real start-up code in a temporary program
// folder, with the colours of the configuration set to distinct values, for
// tests of the tab bar, the folder box and the current-tab commands.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "app_fixture.h"
#include "support/test_support.h"
#include "support/window_support.h"
#include "tavrel/app/command_codes.h"
#include "tavrel/app/current_tab.h"
#include "tavrel/app/main_dialog.h"
#include "tavrel/jobs/config_store.h"
#include "tavrel/jobs/job_group.h"

namespace TabViewTest {

using namespace TestSupport;

using AppLayer::GuiFolderBox;
using AppLayer::ShowCurrentTab;
using AppLayer::GuiMainDialog;
using AppLayer::GuiViewSet;
using JobLayer::JobGroupUnit;

// The distinct colours the configuration holds (0xRRGGBB in the file, so
// the COLORREF values below are their byte-swapped forms).
constexpr COLORREF kDiff1 = RGB(0x10, 0x20, 0x30);
constexpr COLORREF kDiff2 = RGB(0x11, 0x21, 0x31);
constexpr COLORREF kOnly1 = RGB(0x12, 0x22, 0x32);
constexpr COLORREF kOnly2 = RGB(0x13, 0x23, 0x33);
constexpr COLORREF kBlank = RGB(0x14, 0x24, 0x34);
constexpr COLORREF kConnected = RGB(0x15, 0x25, 0x35);
constexpr COLORREF kFloated = RGB(0x16, 0x26, 0x36);
constexpr COLORREF kFrameFocus = RGB(0x17, 0x27, 0x37);
constexpr COLORREF kNullPath = RGB(0x18, 0x28, 0x38);
constexpr COLORREF kEditable = RGB(0x19, 0x29, 0x39);
constexpr COLORREF kModified = RGB(0x1A, 0x2A, 0x3A);
constexpr COLORREF kReadFail = RGB(0x1B, 0x2B, 0x3B);
constexpr COLORREF kOverSize = RGB(0x1C, 0x2C, 0x3C);
constexpr COLORREF kTabSame = RGB(0x1D, 0x2D, 0x3D);
constexpr COLORREF kTabModified = RGB(0x1E, 0x2E, 0x3E);

inline std::string Hex(COLORREF c) {
    char text[16];
    snprintf(text, sizeof text, "0x%02X%02X%02X", GetRValue(c), GetGValue(c), GetBValue(c));
    return text;
}

// The Windows path of the fixture's folders as a RawString.
inline RawLayer::RawString P(const std::wstring& path) { return W(path); }

class MainWindowFixture : public ::testing::Test {
protected:
    // The profile: colours, the backup root inside the temporary folder,
    // and whatever the two extras add to sections "ColorSetting" and
    // "Option".
    void WriteProfile(const std::string& colourExtra = "", const std::string& optionExtra = "") {
        std::string text = optionExtra + "[ColorSetting]\r\nLineColorSeparation=False\r\n";
        const struct {
            const char* key;
            COLORREF colour;
        } colours[] = {
            {"LineDiff1Color", kDiff1},       {"LineDiff2Color", kDiff2},   {"LineOnly1Color", kOnly1},
            {"LineOnly2Color", kOnly2},       {"LineBlankColor", kBlank},   {"ConnectedColor", kConnected},
            {"FloatedColor", kFloated},       {"FrameFocusColor", kFrameFocus}, {"NullPathColor", kNullPath},
            {"EditableColor", kEditable},     {"ModifiedColor", kModified}, {"ReadFailColor", kReadFail},
            {"OverSizeColor", kOverSize},     {"TabSameColor", kTabSame},   {"TabModifiedColor", kTabModified},
        };
        for (const auto& entry : colours) text += std::string(entry.key) + "=" + Hex(entry.colour) + "\r\n";
        run.WriteProfile(text + colourExtra);
        written = true;
    }

    // Starts the main window on the arguments (quoted paths); the folder
    // box gets the focus.
    void Open(const std::wstring& arguments) {
        if (!written) WriteProfile();
        ASSERT_TRUE(run.Start(arguments));
        ShowWindow(run.Window(), SW_SHOW);
        if (Box().window) SetFocus(Box().window);
        PumpUntilIdle();
    }

    static std::wstring Quoted(const std::wstring& path) { return AppTest::Quoted(path); }
    void OpenPair(const std::wstring& a, const std::wstring& b) { Open(Quoted(a) + L" " + Quoted(b)); }

    void TearDown() override { run.Close(); }

    GuiMainDialog& Dialog() { return run.Dialog(); }
    GuiViewSet& Views() { return run.Views(); }
    GuiFolderBox& Box() { return run.Views().folderBox; }
    JobGroupUnit* Current() { return Views().tabBar.CurrentJob(); }

    // Sends a command code to the main window as a button would.
    void Command(uint16_t code) {
        SendMessageW(Dialog().window, WM_COMMAND, MAKEWPARAM(0, code), 0);
        PumpUntilIdle();
    }

    // The box's client area as painted now.
    DibCanvas Capture() {
        InvalidateRect(Box().window, nullptr, FALSE);
        UpdateWindow(Box().window);
        return DibCanvas::CaptureClient(Box().window);
    }

    // The client y range of an item (-2: the title row).
    RECT RowRect(int32_t index) {
        GuiFolderBox& box = Box();
        box.RefreshIfDirty();
        if (index == -2) {
            return RECT{0, box.marginTop, 0, box.marginTop + box.header.Height()};
        }
        const WinLayer::WinListBoxItemUnit* unit = box.ItemAt(index);
        if (!unit) return RECT{};
        const LONG top = box.clientRect.top + unit->rect.top - box.scroll.y;
        return RECT{0, top, 0, top + unit->Height()};
    }

    // The first item whose row is of the kind; -1 when none.
    int32_t ItemOfKind(uint32_t kind) {
        int32_t index = 0;
        for (const WinLayer::WinListBoxItemUnit& unit : Box().items) {
            const auto* row = GuiFolderBox::ItemOf(unit);
            if (row && row->kind == kind) return index;
            ++index;
        }
        return -1;
    }

    int32_t ShownRows() {
        int32_t shown = 0;
        for (const WinLayer::WinListBoxItemUnit& unit : Box().items) {
            if (!(unit.flags & WinLayer::WinListBoxItemUnit::ItemHidden)) ++shown;
        }
        return shown;
    }

    AppTest::AppRun run;
    const TempFolder& temp = run.folder;
    bool written = false;
};

}  // namespace TabViewTest
