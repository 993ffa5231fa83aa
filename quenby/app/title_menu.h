// The help viewer's entries in its main window's system menu: the version
// line (the viewer's own read-me), help documents, moving the window back to
// the primary screen, the language, the GUI profile and the window font.
// Effects that need the main window reach it as posted command codes.
#pragma once

#include <windows.h>

#include <cstdint>

#include "base/profile.h"
#include "base/raw_string.h"
#include "toolkit/popup_menu.h"
#include "toolkit/title_menu.h"
#include "toolkit/view.h"

namespace AppLayer {

class GuiTMenuExecution : public WinLayer::WinTMenuExecution {
public:
    enum : UINT {
        VersionId = 4108,
        HelpId = 4109,
        MoveId = 4110,
        GuiProfileId = 4111,
        WindowFontId = 4112,
        FirstHelpDocumentId = 4113,
        LastHelpDocumentId = 4142,
        AutoLanguageId = 4144,
        LastLanguageId = 4173,
    };
    enum : uint16_t {
        // Posted to the main window.
        RestartCode = 4353,
        WindowFontCode = 4354,
    };

    // The hook of the main dialog, writing the language and window font
    // choices into the start-up's GUI profile.
    explicit GuiTMenuExecution(WinLayer::WinView& mainDialog);
    // The same with a GUI profile of its own.
    GuiTMenuExecution(WinLayer::WinView& mainDialog, const RawLayer::RawString& guiProfilePath);

    // Only window creation, system commands and the system menu opening
    // reach the operations; never answered.
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    void BuildMenu(HMENU menu) override;
    // Inserts the entries, on the first call only.
    void InitMenu(HMENU menu) override;
    void Execute(WPARAM command) override;
    // Opens help document n (nothing for an n outside the list).
    void OpenManual(int32_t n);

    // The GUI profile the choices are written to.
    RawLayer::ProfileFileRef& GuiProfile();

    WinLayer::WinView& owner;
    // Used when given; else the start-up's reference.
    RawLayer::ProfileFileRef ownProfile;
    bool hasOwnProfile = false;
    WinLayer::HelpFileSet help;
    WinLayer::WinPopupMenu languageMenu;
    uint8_t built = 0;

private:
    void PostCommand(uint16_t code);
    void ChooseLanguage(int32_t entry);
    void ChooseWindowFont();
};

}  // namespace AppLayer
