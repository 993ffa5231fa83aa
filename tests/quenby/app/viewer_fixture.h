// A help viewer run for tests: a temporary program folder (the program file
// "Quenby.exe" is only named, its profile "Quenby.ini" lives there), the real
// start-up steps with a given command line, pumping, and the main window's
// parts.
#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "quenby/app/quenby_main.h"
#include "support/test_support.h"
#include "support/window_support.h"

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

}  // namespace ViewerTest
