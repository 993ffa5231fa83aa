// The help viewer's key steps on one document in the real main window, each
// step with its repaint:
//   down       Down 500 times from the middle line
//   page       Page Down 100 times from the middle line
//   scroll     a wheel step down 500 times from the middle
// (a step at the end of a short document, which moves nothing, is not
// counted: the run goes on from the top)
//   end-home   Ctrl+End then Ctrl+Home, 20 times each
// For each: the mean, the slowest step, and the steps over 16 ms and over
// 50 ms, in seconds ("NAME MEAN SLOWEST OVER16 OVER50 COUNT"), after
// "lines N" (the document's line records). With "page" after the file the
// steps run in page view, switched on by the Page button's command.
//
//   quenby_keys_bench FILE [page]

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>

#include "bench/step_times.h"
#include "quenby/app/command_codes.h"
#include "quenby/app/main_dialog.h"
#include "quenby/app/quenby_main.h"

using namespace AppLayer;

namespace {

void Pump() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message != WM_QUIT) WinLayer::WinDialog::StepMessage(message);
    }
}

// The state GetKeyState reports for Ctrl in this thread.
void HoldCtrl(bool down) {
    BYTE keys[256] = {};
    GetKeyboardState(keys);
    keys[VK_CONTROL] = down ? 0x80 : 0;
    keys[VK_LCONTROL] = down ? 0x80 : 0;
    SetKeyboardState(keys);
}

double Key(HWND window, UINT key) {
    return TimedStep(window, [&] { SendMessageW(window, WM_KEYDOWN, key, 1); });
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: quenby_keys_bench FILE [page]\n");
        return 2;
    }
    const bool pageView = argc > 2 && std::string(argv[2]) == "page";
    wchar_t base[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, base);
    const std::wstring folder = std::wstring(base) + L"quenby_keys_bench_" + std::to_wstring(GetCurrentProcessId());
    CreateDirectoryW(folder.c_str(), nullptr);
    const std::wstring profile = folder + L"\\Quenby.ini";
    HANDLE file = CreateFileW(profile.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        const char text[] = "[Common]\r\nProgram=Quenby\r\n";
        DWORD written = 0;
        WriteFile(file, text, sizeof text - 1, &written, nullptr);
        CloseHandle(file);
    }
    int status = 0;
    {
        QuenbyStart start;
        start.programPath = RawLayer::RawString::FromWideText((folder + L"\\Quenby.exe").c_str());
        const std::string arguments = std::string("-p- \"") + argv[1] + "\"";
        start.arguments = RawLayer::RawString::FromText(arguments.c_str());
        auto run = std::make_unique<QuenbyRun>(GetModuleHandleW(nullptr), start);
        if (!run->Start() || !run->Dialog()) {
            std::fprintf(stderr, "no viewer window\n");
            status = 1;
        } else {
            GuiMainDialog& dialog = *run->Dialog();
            GuiViewBox& view = dialog.items.view;
            Pump();
            if (pageView) {
                dialog.items.page.checked = true;
                DispatchMainCommand(dialog, &dialog.items.page, CmdPageView);
                Pump();
            }
            view.RefreshIfDirty();
            Pump();
            if (view.Count() < 2) {
                std::fprintf(stderr, "the document did not load: %s\n", argv[1]);
                status = 1;
            } else if (pageView && !view.PageMode()) {
                std::fprintf(stderr, "page view did not come on\n");
                status = 1;
            } else {
                SetFocus(view.window);
                // Each run starts at the middle line. A step that moved
                // neither the cursor nor the view (the end reached on a
                // short document) is not counted, and the run goes on from
                // the top.
                auto place = [&](int32_t line) {
                    view.SetCursor(line);
                    view.ScrollIntoView(line);
                    UpdateWindow(view.window);
                    Pump();
                };
                auto measure = [&](StepTimes& steps, int count, const std::function<void()>& step) {
                    place((view.Count() - 1) / 2);
                    for (int i = 0; i < count; ++i) {
                        const int32_t cursor = view.cursor, top = view.scroll.y;
                        const double s = TimedStep(view.window, step);
                        if (view.cursor != cursor || view.scroll.y != top) {
                            steps.Add(s);
                        } else {
                            place(0);
                        }
                    }
                };
                const HWND window = view.window;
                StepTimes down, page, scroll, ends;
                measure(down, 500, [&] { SendMessageW(window, WM_KEYDOWN, VK_DOWN, 1); });
                measure(page, 100, [&] { SendMessageW(window, WM_KEYDOWN, VK_NEXT, 1); });
                measure(scroll, 500, [&] {
                    SendMessageW(window, WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(-WHEEL_DELTA)), 0);
                });
                Pump();
                HoldCtrl(true);
                for (int i = 0; i < 20; ++i) {
                    ends.Add(Key(view.window, VK_END));
                    ends.Add(Key(view.window, VK_HOME));
                }
                HoldCtrl(false);
                Pump();
                std::printf("lines %d\n", view.Count());
                down.Print("down");
                page.Print("page");
                scroll.Print("scroll");
                ends.Print("end-home");
            }
            DestroyWindow(dialog.window);
            Pump();
        }
        run.reset();
    }
    DeleteFileW(profile.c_str());
    RemoveDirectoryW(folder.c_str());
    return status;
}
