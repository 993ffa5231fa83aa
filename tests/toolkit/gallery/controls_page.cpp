// The "controls" page: push buttons in their states, labels and an image
// box, a radio and a selector group, a scrolled tab bar with the extra
// glyph, two panes with a divider, and a hint button with its menu open.
#include <windows.h>

#include "base/profile.h"
#include "base/raw_list.h"
#include "base/raw_string.h"
#include "gallery/gallery.h"
#include "toolkit/button.h"
#include "toolkit/dialog.h"
#include "toolkit/divider.h"
#include "toolkit/hint_button.h"
#include "toolkit/image_box.h"
#include "toolkit/radio_button.h"
#include "toolkit/static_box.h"
#include "toolkit/tab_bar.h"

using namespace WinLayer;
using RawLayer::RawString;

namespace {

constexpr int kMargin = 12;
constexpr int kButtonWidth = 96;
constexpr int kButtonHeight = 44;
constexpr int kRowGap = 14;
// The hint menu opens after the page has painted once.
constexpr UINT kMenuDelayMs = 300;
constexpr UINT_PTR kMenuTimer = 1;
// The picture is taken once the menu has been up for a while.
constexpr UINT kReadyDelayMs = 1500;

class ControlsDialog : public WinDialog {
public:
    ControlsDialog() {
        className = Text("TavrelGalleryControls");
        text = Text("Toolkit gallery - controls");
        style = WS_OVERLAPPEDWINDOW;
        rect = RECT{20, 20, 800, 600};
        choices.Add(Text("Text"), 1);
        choices.Add(Text("Binary"), 2);
        choices.Add(Text("Folder"), 3);
        choices.selectedValue = 2;
        answers.Add(Text("Yes"), 2);
        answers.Add(Text("No"), 3);
        answers.Add(Text("Cancel"), 0);
        answers.selectedValue = 3;
    }

    void CreateChildren() override {
        int y = kMargin;
        CreateButtons(y);
        y += kButtonHeight + kRowGap;
        CreateLabels(y);
        y += 40 + kRowGap;
        CreateGroups(y);
        y += 32 + kRowGap;
        CreateTabs(y);
        y += 30 + kRowGap;
        CreatePanes(y);
        y += 120 + kRowGap;
        CreateHint(y);
        SetTimer(window, kMenuTimer, kMenuDelayMs, nullptr);
    }

    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override {
        if (message == WM_TIMER && wParam == kMenuTimer) {
            KillTimer(window, kMenuTimer);
            hint.ShowHints();
            return 0;
        }
        return WinDialog::OnMessage(message, wParam, lParam);
    }

    HWND FocusedButton() const { return buttons[2].window; }

private:
    void CreateButtons(int y) {
        const char* captions[] = {"Normal", "Pressed", "Focused", "Disabled", "Checked", "Check\\nAll"};
        for (int i = 0; i < 6; ++i) {
            WinButton& button = buttons[i];
            button.Construct();
            const uint32_t buttonStyle = i == 4 ? 0x10FF : 0x0F;
            button.SetCaption(Text(captions[i]), buttonStyle, 0);
            if (i == 3) button.style |= WS_DISABLED;
            if (i == 4) button.checked = true;
            const int x = kMargin + i * (kButtonWidth + 8);
            button.rect = RECT{x, y, x + kButtonWidth, y + kButtonHeight};
            CreateChild(button);
        }
        SendMessageW(buttons[1].window, BM_SETSTATE, TRUE, 0);
    }

    void CreateLabels(int y) {
        plain.Construct();
        plain.SetText(Text("A plain label"));
        plain.rect = RECT{kMargin, y, kMargin + 150, y + 40};
        CreateChild(plain);
        banded.Construct();
        banded.SetText(Text("Two bands"));
        banded.background = RGB(250, 240, 200);
        banded.lowerHalf = RGB(200, 225, 250);
        banded.rect = RECT{kMargin + 160, y, kMargin + 310, y + 40};
        CreateChild(banded);
        greyed.Construct();
        greyed.SetText(Text("A disabled label"));
        greyed.style |= WS_DISABLED;
        greyed.rect = RECT{kMargin + 320, y, kMargin + 470, y + 40};
        CreateChild(greyed);
        icon.icon = LoadIconW(nullptr, MAKEINTRESOURCEW(32516));
        icon.width = icon.height = 32;
        image.Construct();
        image.image = &icon;
        image.rect = RECT{kMargin + 490, y, kMargin + 530, y + 40};
        CreateChild(image);
    }

    void CreateGroups(int y) {
        radio.Construct();
        radio.SetItems(Text("Compare"), &choices, 0);
        radio.FitToContent();
        radio.rect = RECT{kMargin, y, kMargin + radio.fittedWidth, y + 32};
        CreateChild(radio);
        static const uint8_t enabled[] = {1, 1, 0};
        selector.Construct();
        selector.SetItems(RawString(), &answers, 0);
        selector.SetEnabled(enabled, 3);
        selector.FitToContent();
        selector.rect = RECT{kMargin + 360, y, kMargin + 360 + selector.fittedWidth, y + 32};
        CreateChild(selector);
    }

    void CreateTabs(int y) {
        tabs.Construct();
        tabs.extraShown = 1;
        tabs.rect = RECT{kMargin, y, kMargin + 520, y + 30};
        CreateChild(tabs);
        const char* names[] = {"readme.md",    "main.cpp",   "tab_bar.cpp", "Backup.ini",
                               "profile.h",    "notes.txt",  "a & b.txt",   "last one.log"};
        for (const char* name : names) tabs.AddItem(Text(name), nullptr);
        tabs.ItemAtIndex(2)->flags |= WinTabBarItemUnit::ItemShadow;
        tabs.ItemAtIndex(5)->flags |= WinTabBarItemUnit::ItemCloseDisabled;
        tabs.SelectTab(tabs.ItemAtIndex(7));
        SendMessageW(tabs.window, WM_KEYDOWN, VK_RIGHT, 0);
    }

    void CreatePanes(int y) {
        left.Construct();
        left.SetText(Text("Left pane"));
        left.background = RGB(255, 255, 255);
        left.rect = RECT{kMargin, y, kMargin + 250, y + 120};
        left.minimum = RECT{0, 0, 80, 0};
        CreateChild(left);
        divider.Construct(true, &left, &right);
        divider.rect = RECT{kMargin + 250, y, kMargin + 258, y + 120};
        CreateChild(divider);
        right.Construct();
        right.SetText(Text("Right pane"));
        right.background = RGB(255, 255, 255);
        right.rect = RECT{kMargin + 258, y, kMargin + 520, y + 120};
        right.minimum = RECT{0, 0, 80, 0};
        CreateChild(right);
    }

    void CreateHint(int y) {
        field.className = Text("EDIT");
        field.viewKind = KindSubclassed;
        field.style = WS_CHILD | WS_VISIBLE | WS_BORDER | ES_AUTOHSCROLL;
        field.SetText(Text("beta"));
        field.rect = RECT{kMargin, y, kMargin + 200, y + 26};
        CreateChild(field);
        hint.Construct();
        hint.rect = RECT{kMargin + 204, y, kMargin + 230, y + 26};
        hint.target = &field;
        for (const char* key : {"alpha", "beta", "-", "&mark", "gamma"}) hint.hints.Add(Text(key));
        CreateChild(hint);
    }

    WinButton buttons[6];
    WinStaticBox plain, banded, greyed, left, right;
    WinIconRecord icon;
    WinImageBox image;
    RawLayer::RawLabelList choices, answers;
    WinRadioButton radio;
    WinSelectorButton selector;
    WinTabBar tabs;
    WinDivider divider;
    WinView field;
    WinHintButton hint;
};

}  // namespace

int ShowControlsPage() {
    ControlsDialog dialog;
    dialog.Create();
    if (!dialog.window) return 1;
    SetFocus(dialog.FocusedButton());
    StartPageTimers(kReadyDelayMs);
    dialog.MessageLoop();
    return 0;
}
