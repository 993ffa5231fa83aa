// The help viewer's title menu.
#include "quenby/app/title_menu.h"

#include "base/api_text.h"
#include "base/language.h"
#include "base/shell.h"
#include "quenby/app/viewer_globals.h"
#include "quenby/document/document_options.h"

namespace AppLayer {

using RawLayer::RawString;
using WinLayer::WinTMenuExecution;

namespace {

RAW_CONSTANT_TEXT(TitleMenuSectionText, "TitleMenu")
RAW_CONSTANT_TEXT(ViewHelpKeyText, "ViewHelp")
RAW_CONSTANT_TEXT(MoveToPrimaryScreenKeyText, "MoveToPrimaryScreen")
RAW_CONSTANT_TEXT(OpenGuiProfileKeyText, "OpenGuiProfile")
RAW_CONSTANT_TEXT(SelectLanguageKeyText, "SelectLanguage")
RAW_CONSTANT_TEXT(SelectWindowFontKeyText, "SelectWindowFont")
RAW_CONSTANT_TEXT(VersionText, "Version 1.48.2024.0907")
RAW_CONSTANT_TEXT(ReadMeNameText, "ReadMe_Quenby.txt")
RAW_CONSTANT_TEXT(UserSelectionSectionText, "UserSelection")
RAW_CONSTANT_TEXT(WindowFontSectionText, "WindowFont")

const RawLayer::RawLocaleRecord kTitleMenuTexts[] = {
    {"ViewHelp", "View help."},
    {"MoveToPrimaryScreen", "Move to primary screen."},
    {"OpenGuiProfile", "Open gui profile."},
    {"SelectLanguage", "Select language."},
    {"SelectWindowFont", "Select window font."},
    {"", ""},
};

constexpr UINT kDisabled = MF_DISABLED | MF_GRAYED;

void InsertSeparator(HMENU menu, UINT position) {
    InsertMenuW(menu, position, MF_BYPOSITION | MF_SEPARATOR, 0, nullptr);
}

void InsertText(HMENU menu, UINT position, UINT flags, UINT_PTR id, const RawString& text) {
    RawLayer::ApiInsertMenu(menu, position, MF_BYPOSITION | MF_STRING | flags, id, WinLayer::MenuText(text));
}

}  // namespace

GuiTMenuExecution::GuiTMenuExecution(WinLayer::WinView& mainDialog) : WinTMenuExecution(mainDialog), owner(mainDialog) {}

GuiTMenuExecution::GuiTMenuExecution(WinLayer::WinView& mainDialog, const RawString& guiProfilePath)
    : WinTMenuExecution(mainDialog),
      owner(mainDialog),
      ownProfile(RawLayer::ProfileFileRef::FromPath(guiProfilePath)),
      hasOwnProfile(true) {}

RawLayer::ProfileFileRef& GuiTMenuExecution::GuiProfile() { return hasOwnProfile ? ownProfile : GuiProfileParameters(); }

LRESULT GuiTMenuExecution::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_CREATE || message == WM_SYSCOMMAND || message == WM_INITMENUPOPUP) {
        return WinTMenuExecution::OnMessage(message, wParam, lParam);
    }
    return WinLayer::kNotHandled;
}

void GuiTMenuExecution::BuildMenu(HMENU) {}

void GuiTMenuExecution::InitMenu(HMENU menu) {
    if (built || !menu) return;
    built = 1;
    const RawString section = RawLayer::LanguageTable::Lookup(TitleMenuSectionText(), kTitleMenuTexts);
    auto text = [&section](const RawString& key) { return RawLayer::LanguageTable::Text(section, key); };

    InsertText(menu, 0, 0, VersionId, VersionText());
    InsertSeparator(menu, 1);

    WinTMenuExecution::ListHelpFiles(help, DocLayer::JobOptions::Instance().configPath, ReadMeNameText());
    const int32_t documents = help.manualFiles.Count();
    if (documents >= 2) {
        HMENU popup = CreatePopupMenu();
        UINT id = FirstHelpDocumentId;
        for (const RawString& path : help.manualFiles) {
            if (id > LastHelpDocumentId) break;
            RawString name;
            name.AssignRange(path, RawLayer::PathNameRange(path));
            RawLayer::ApiInsertMenu(popup, static_cast<UINT>(-1), MF_BYPOSITION | MF_STRING, id++,
                                    WinLayer::MenuText(name));
        }
        InsertText(menu, 2, MF_POPUP, reinterpret_cast<UINT_PTR>(popup), text(ViewHelpKeyText()));
    } else {
        InsertText(menu, 2, documents == 1 ? 0 : kDisabled, HelpId, text(ViewHelpKeyText()));
    }
    InsertText(menu, 3, 0, MoveId, text(MoveToPrimaryScreenKeyText()));
    InsertSeparator(menu, 4);
    if (WinTMenuExecution::BuildPopupMenu(languageMenu, AutoLanguageId)) {
        InsertText(menu, 5, MF_POPUP, reinterpret_cast<UINT_PTR>(languageMenu.Handle()), text(SelectLanguageKeyText()));
    } else {
        InsertText(menu, 5, kDisabled, AutoLanguageId, text(SelectLanguageKeyText()));
    }
    InsertText(menu, 6, 0, GuiProfileId, text(OpenGuiProfileKeyText()));
    InsertText(menu, 7, 0, WindowFontId, text(SelectWindowFontKeyText()));
    InsertSeparator(menu, 8);
}

void GuiTMenuExecution::Execute(WPARAM command) {
    // The system adds its own bits to the low four of its ids; the
    // program's ids are plain numbers.
    const UINT id = static_cast<UINT>(command);
    if (id == VersionId) {
        WinTMenuExecution::StartHelpViewer(help, help.readMe);
    } else if (id == HelpId) {
        OpenManual(0);
    } else if (id >= FirstHelpDocumentId && id <= LastHelpDocumentId) {
        OpenManual(static_cast<int32_t>(id - FirstHelpDocumentId));
    } else if (id >= AutoLanguageId && id <= LastLanguageId) {
        ChooseLanguage(static_cast<int32_t>(id - AutoLanguageId));
    } else if (id == MoveId) {
        WinTMenuExecution::MoveToWorkArea(owner.window);
    } else if (id == GuiProfileId) {
        RawLayer::RawShell shell(GuiProfile().path);
        shell.Execute(RawString(), RawString());
    } else if (id == WindowFontId) {
        ChooseWindowFont();
    }
}

void GuiTMenuExecution::OpenManual(int32_t n) {
    RawString path;
    if (n >= 0 && n < help.manualFiles.Count()) path = *help.manualFiles.At(n);
    WinTMenuExecution::StartHelpViewer(help, path);
}

void GuiTMenuExecution::ChooseLanguage(int32_t entry) {
    const RawString name = WinTMenuExecution::SelectEntry(entry);
    // A choice that could not be stored would come back unchanged after the
    // restart: the viewer stays as it is.
    if (!GuiProfile().WriteValue(UserSelectionSectionText(), LanguageKeyText(), name)) return;
    PostCommand(RestartCode);
}

void GuiTMenuExecution::ChooseWindowFont() {
    RawLayer::RawParameterList chosen = WinTMenuExecution::ChooseFont(owner, owner.GetEffectiveFont());
    if (chosen.Count() == 0) return;
    if (!chosen.WriteSection(GuiProfile(), WindowFontSectionText())) return;
    PostCommand(WindowFontCode);
}

void GuiTMenuExecution::PostCommand(uint16_t code) {
    if (owner.window) PostMessageW(owner.window, WM_COMMAND, MAKEWPARAM(owner.controlId, code), 0);
}

}  // namespace AppLayer
