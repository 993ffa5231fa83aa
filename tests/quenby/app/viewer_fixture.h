// A help viewer run for tests: a temporary program folder (the program file
// "Quenby.exe" is only named, its profile "Quenby.ini" lives there), the real
// start-up steps with a given command line, pumping, and the main window's
// parts.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <string>

#include "quenby/app/quenby_main.h"
#include "support/test_support.h"
#include "support/window_support.h"
#include "toolkit/info_dialog.h"
#include "toolkit/win_message.h"

namespace ViewerTest {

using AppLayer::GuiMainDialog;
using AppLayer::QuenbyRun;
using AppLayer::QuenbyStart;

class ViewerRun {
public:
    ViewerRun() : profile(folder.Join(L"Quenby.ini")) {}
    ~ViewerRun() { Stop(); }
    ViewerRun(const ViewerRun&) = delete;
    ViewerRun& operator=(const ViewerRun&) = delete;

    // Runs the start-up with the arguments (UTF-8); true when the main
    // window exists. The window is pumped until idle.
    bool Start(const std::string& arguments) {
        QuenbyStart start;
        start.programPath = TestSupport::W(folder.Join(L"Quenby.exe"));
        start.arguments = RawLayer::RawString::FromText(arguments.c_str());
        run = std::make_unique<QuenbyRun>(GetModuleHandleW(nullptr), start);
        const bool made = run->Start();
        TestSupport::PumpUntilIdle();
        return made;
    }
    // Destroys the window (the placement is saved) and tears the run down.
    void Stop() {
        if (!run) return;
        if (Dialog() && Dialog()->window) DestroyWindow(Dialog()->window);
        TestSupport::DrainQuit();
        run.reset();
        TestSupport::DrainQuit();
    }
    GuiMainDialog* Dialog() const { return run ? run->Dialog() : nullptr; }
    HWND Window() const { return Dialog() ? Dialog()->window : nullptr; }
    AppLayer::GuiTabBar& Tabs() const { return Dialog()->items.tabBar; }
    // The tab labels in order, joined with '|'.
    std::string TabLabels() const {
        std::string labels;
        for (const WinLayer::WinTabBarItemUnit& item : Tabs().items) {
            if (!labels.empty()) labels += "|";
            labels += TestSupport::S(item.text);
        }
        return labels;
    }
    std::string CurrentLabel() const {
        const WinLayer::WinTabBarItemUnit* item = Tabs().CurrentDocumentTab();
        return item ? TestSupport::S(item->text) : std::string();
    }
    std::wstring Write(const std::wstring& name, const std::string& text) const {
        const std::wstring path = folder.Join(name);
        TestSupport::WriteFileBytes(path, text);
        return path;
    }

    TestSupport::TempFolder folder;
    std::wstring profile;
    std::unique_ptr<QuenbyRun> run;
};

// Runs the action; a message box it shows is read and answered with OK. The
// text of that box, empty when none came within the given number of looks
// (one each 100 ms).
inline std::string ReadAndAnswerMessage(const std::function<void()>& action, int looks) {
    struct Watch {
        std::string told;
        std::function<void(int)> look;
    };
    // The watch ends with the call: a look still queued then does nothing.
    auto watch = std::make_shared<Watch>();
    std::weak_ptr<Watch> weak = watch;
    watch->look = [weak](int tries) {
        TestSupport::RunLater(100, [weak, tries] {
            std::shared_ptr<Watch> w = weak.lock();
            if (!w) return;
            HWND box = FindWindowW(L"Class_InfoDialog", nullptr);
            auto* info = box ? static_cast<WinLayer::WinInfoDialog*>(WinLayer::WinWindowRegistry::Instance().FindByHandle(box))
                             : nullptr;
            if (!info) {
                if (tries > 0) w->look(tries - 1);
                return;
            }
            w->told = TestSupport::S(info->textBox.GetText());
            RawLayer::RawParameterList press;
            press.SetText(RawLayer::RawString::FromText("Button"), RawLayer::RawString::FromText("OK"));
            WinLayer::WinMessage::SendPointer(box, WinLayer::WinMessage::PressButton, 0, reinterpret_cast<LPARAM>(&press));
        });
    };
    watch->look(looks);
    action();
    return watch->told;
}

}  // namespace ViewerTest
