// Gallery pages of the information and input dialogs, each run modally
// over a plain owner window.
#include <windows.h>

#include "base/raw_string.h"
#include "gallery.h"
#include "toolkit/info_dialog.h"
#include "toolkit/input_dialog.h"

using namespace WinLayer;
using RawLayer::RawLabelUnit;
using RawLayer::RawString;

namespace {

// The hint menu of the first row opens this long after the page starts.
constexpr UINT kMenuDelayMs = 300;
// The picture is taken once the menu has painted.
constexpr UINT kInputReadyMs = 900;

class OwnerDialog : public WinDialog {
public:
    OwnerDialog() {
        className = Text("Gallery_DialogOwner");
        text = Text("Owner");
        style = WS_OVERLAPPEDWINDOW;
        rect = RECT{60, 60, 760, 560};
    }
};

WinInputDialog* openInput = nullptr;

void CALLBACK OpenFirstHints(HWND, UINT, UINT_PTR timer, DWORD) {
    KillTimer(nullptr, timer);
    if (openInput && openInput->rows[0].edit.window) {
        PostMessageW(openInput->rows[0].edit.window, WM_KEYDOWN, VK_DOWN, 0);
    }
}

}  // namespace

int ShowInfoPage() {
    OwnerDialog owner;
    owner.Create();
    if (!owner.window) return 1;
    static const RawLabelUnit table[] = {RawLabelUnit(Text("Yes"), 2), RawLabelUnit(Text("No"), 3),
                                         RawLabelUnit(Text("Cancel"), 0), RawLabelUnit(RawString(), 0)};
    WinInfoDialog question;
    RECT ownerRect;
    GetWindowRect(owner.window, &ownerRect);
    question.Setup(ownerRect, Text("Tavrel"), Text("The file has changed on disk.\nReload it and lose the edits?"),
                   table, WinInfoDialog::IconQuestion);
    StartPageTimers();
    question.RunModal(owner);
    return 0;
}

int ShowInputPage() {
    OwnerDialog owner;
    owner.Create();
    if (!owner.window) return 1;
    WinInputParameterList fields;
    fields.title = Text("Search in both files");
    const char* labels[] = {"Find:", "Replace with:", "In files:"};
    const char* texts[] = {"needle", "", "*.txt"};
    for (int i = 0; i < 3; ++i) {
        WinInputParameterUnit field;
        field.label = Text(labels[i]);
        field.initialText = Text(texts[i]);
        field.hints.Add(Text(i == 2 ? "*.cpp;*.h" : "needle"));
        field.hints.Add(Text(i == 2 ? "*.md" : "haystack"));
        fields.Add(field);
    }
    WinInputDialog input;
    RECT ownerRect;
    GetWindowRect(owner.window, &ownerRect);
    input.Build(ownerRect, Text("Search"), fields);
    openInput = &input;
    SetTimer(nullptr, 0, kMenuDelayMs, OpenFirstHints);
    StartPageTimers(kInputReadyMs);
    input.RunModal(owner);
    openInput = nullptr;
    return 0;
}
