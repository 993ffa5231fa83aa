// The title-menu hook of the main window: at the top of its system menu the
// version line (the read-me), the help documents, moving the window onto
// the primary screen, the language choice, opening the GUI profile and the
// four font choices. Effects that need the main window (restart, new view
// fonts) are posted to it as command codes.
#pragma once

#include <cstdint>

#include "toolkit/popup_menu.h"
#include "toolkit/title_menu.h"

namespace AppLayer {

RAW_CONSTANT_TEXT(TitleMenuSectionText, "TitleMenu")
RAW_CONSTANT_TEXT(VersionLineText, "Version 2.08.2026.0329")
RAW_CONSTANT_TEXT(TavrelReadMeText, "ReadMe_Tavrel.txt")

class GuiTMenuExecution : public WinLayer::WinTMenuExecution {
public:
    enum : UINT {
        IdVersion = 4108,
        IdViewHelp = 4109,
        IdMoveToPrimary = 4110,
        IdOpenGuiProfile = 4111,
        IdWindowFont = 4112,
        IdPathViewFont = 4113,
        IdTextViewFont = 4114,
        IdBinaryViewFont = 4115,
        IdFirstManual = 4116,
        IdLastManual = 4145,
        IdFirstLanguage = 4147,
        IdLastLanguage = 4176,
    };
    static constexpr int32_t kMaxManuals = 30;

    explicit GuiTMenuExecution(WinLayer::WinView& mainDialog) : WinTMenuExecution(mainDialog) {}
    void BuildMenu(HMENU menu) override;
    // Inserts the entries once, on the first opening.
    void InitMenu(HMENU menu) override;
    void Execute(WPARAM command) override;
    // Opens help document n; nothing outside the list.
    void OpenManual(int32_t n);
    // Lists the read-me and help documents when they have not been listed:
    // a help command may come before the menu was ever opened.
    void ListHelpOnce();

    WinLayer::HelpFileSet help;
    WinLayer::WinPopupMenu helpMenu;
    bool helpListed = false;
    WinLayer::WinPopupMenu languageMenu;
    uint8_t built = 0;

private:
    // The font dialog from a font; the chosen font written as the section
    // and the code posted to the main window.
    void ChooseFontFor(const WinLayer::WinFontParameter& font, const RawLayer::RawString& section, uint16_t code);
    void ChooseLanguage(int32_t entry);
};

}  // namespace AppLayer
