// The title-menu hook and the services behind the title menus of both
// programs: the language submenu, centring a window in the work area, and
// finding and starting the help viewer with a read-me or manual.
//
// A program's subclass decides which entries its window (system) menu
// carries and which ids they have; the hook only calls it when the window
// is created, before the menu opens, and when an entry is chosen. The hook
// never answers a message, so the default procedure still runs the system
// commands (closing, moving, sizing).
#pragma once

#include <windows.h>
#include <commdlg.h>

#include <cstdint>

#include "base/profile.h"
#include "base/raw_list.h"
#include "base/raw_string.h"
#include "toolkit/font_parameter.h"
#include "toolkit/popup_menu.h"
#include "toolkit/view.h"

// The system header maps ChooseFont to its ANSI entry point; the hook's
// operation of that name calls the wide one itself.
#ifdef ChooseFont
#undef ChooseFont
#endif

namespace WinLayer {

// The documents a title menu offers, rebuilt before the menu opens.
struct HelpFileSet {
    // Where the read-me, the manuals and the viewer are looked for; the
    // running program's folder when left empty.
    RawLayer::RawString programFolder;
    // Empty when no read-me exists.
    RawLayer::RawString readMe;
    // Full paths, sorted by code units.
    RawLayer::RawStringList manualFiles;
    // Extensions (without the dot) of documents the help viewer shows.
    RawLayer::RawStringList viewerTypes;
};

class WinTMenuExecution : public WinViewHook {
public:
    // At most this many languages get an entry of their own.
    static constexpr int32_t kMaxLanguages = 29;

    explicit WinTMenuExecution(WinView& servedView) : view(servedView) {}

    // Takes the system menu when the window is created, and calls the
    // operations below; always kNotHandled.
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

    // ---- what a program's title menu does ------------------------------------------
    // Adds the program's entries once the window exists.
    virtual void BuildMenu(HMENU menu) = 0;
    // Refreshes them before the system menu opens.
    virtual void InitMenu(HMENU menu) = 0;
    virtual void MenuClosed() {}
    // The mouse over or pressed on the non-client area (hit code, screen
    // point).
    virtual void OnNonClientMouse(WPARAM hitCode, POINT point) {
        (void)hitCode;
        (void)point;
    }
    // A system command chosen (the program's own ids among them).
    virtual void Execute(WPARAM command) = 0;

    // ---- services ----------------------------------------------------------------------
    // The system's font dialog owned by the view's window, started from the
    // font record: the chosen font under the fourteen font keys, or an
    // empty list when cancelled. A record whose heights are another
    // device's pixels (a printer's) names that device's pixels per inch, so
    // that the dialog shows and sets the size it prints at; 0 is the
    // screen. Confirmed untouched, the record comes back as it went in.
    static RawLayer::RawParameterList ChooseFont(WinView& owner, const WinFontParameter& font,
                                                 int32_t pixelsPerInch = 0);
    // Fills the set: the read-me (its variant for the selected language when
    // present), the viewer types and the manual files by the patterns of
    // section "Manual" of the configuration file (defaults when missing).
    static void ListHelpFiles(HelpFileSet& set, const RawLayer::RawString& configPath,
                              const RawLayer::RawString& readMeName);
    // The path of a document or its variant for the selected language
    // ("_L" before the extension) when that exists as a file; empty when
    // neither exists.
    static RawLayer::RawString LanguageVariant(const RawLayer::RawString& path);
    // "Quenby.exe" beside the program, in its "Quenby" folder, or in the
    // "Quenby" folder beside the program folder; empty when none exists.
    static RawLayer::RawString FindHelpViewer(const RawLayer::RawString& programFolder);
    // Opens a document: a viewer type in the help viewer (the path quoted),
    // anything else (or with no viewer) through the shell. A failed start is
    // silent; false when nothing was started.
    static bool StartHelpViewer(const HelpFileSet& set, const RawLayer::RawString& document);
    // Rebuilds a language submenu of the table's languages: "(Auto)" with the
    // first id, then a name per id (at most 29), the selected one checked;
    // false (the menu untouched) with fewer than two languages.
    static bool BuildPopupMenu(WinPopupMenu& menu, UINT firstId);
    // Entry n (1-based) of the languages becomes the selected language and
    // is returned; any other n returns to the automatic choice (empty).
    static RawLayer::RawString SelectEntry(int32_t entry);
    // Centres the window in the primary work area, never before its top-left
    // corner.
    static void MoveToWorkArea(HWND window);

    WinView& view;
    HMENU systemMenu = nullptr;
};

}  // namespace WinLayer
