// The title-menu hook of the main window.
#include "tavrel/app/title_menu.h"

#include "base/api_text.h"
#include "base/file_system.h"
#include "base/language.h"
#include "base/shell.h"
#include "tavrel/app/command_codes.h"
#include "tavrel/jobs/config_store.h"
#include "tavrel/jobs/gui_profile.h"

namespace AppLayer {

using RawLayer::LanguageTable;
using RawLayer::RawLocaleRecord;
using RawLayer::RawString;

namespace {

const RawLocaleRecord* TitleMenuTexts() {
    static const RawLocaleRecord table[] = {
        {"ViewHelp", "View help."},
        {"MoveToPrimaryScreen", "Move to primary screen."},
        {"OpenGuiProfile", "Open gui profile."},
        {"SelectLanguage", "Select language."},
        {"SelectWindowFont", "Select window font."},
        {"SelectPathViewFont", "Select path view font."},
        {"SelectTextViewFont", "Select text view font."},
        {"SelectBinaryViewFont", "Select binary view font."},
        {"", ""},
    };
    return table;
}

void InsertItem(HMENU menu, UINT position, UINT flags, UINT_PTR id, const RawString& text) {
    RawLayer::ApiInsertMenu(menu, position, MF_BYPOSITION | flags, id, text);
}

void InsertSeparator(HMENU menu, UINT position) {
    InsertMenuW(menu, position, MF_BYPOSITION | MF_SEPARATOR, 0, nullptr);
}

// The file name of a path: the part after its last separator.
RawString FileNameOf(const RawString& path) {
    RawString name;
    name.AssignRange(path, RawLayer::PathNameRange(path));
    return name;
}

}  // namespace

void GuiTMenuExecution::BuildMenu(HMENU) {}

void GuiTMenuExecution::ListHelpOnce() {
    if (helpListed) return;
    helpListed = true;
    ListHelpFiles(help, JobLayer::ConfigStore::Instance().fileRef.path, TavrelReadMeText());
}

void GuiTMenuExecution::InitMenu(HMENU menu) {
    if (built || !menu) return;
    built = 1;
    const RawString section = LanguageTable::Lookup(TitleMenuSectionText(), TitleMenuTexts());
    auto text = [&section](const char* key) { return LanguageTable::Text(section, RawString::FromText(key)); };

    InsertItem(menu, 0, MF_STRING, IdVersion, VersionLineText());
    InsertSeparator(menu, 1);

    helpListed = false;
    ListHelpOnce();
    const int32_t documents = help.manualFiles.Count();
    if (documents >= 2 && helpMenu.Reset()) {
        UINT id = IdFirstManual;
        for (const RawString& path : help.manualFiles) {
            if (id > IdLastManual) break;
            helpMenu.AppendItem(FileNameOf(path), id++);
        }
        InsertItem(menu, 2, MF_POPUP, reinterpret_cast<UINT_PTR>(helpMenu.Handle()), text("ViewHelp"));
    } else {
        InsertItem(menu, 2, documents == 1 ? MF_STRING : MF_STRING | MF_DISABLED, IdViewHelp, text("ViewHelp"));
    }

    InsertItem(menu, 3, MF_STRING, IdMoveToPrimary, text("MoveToPrimaryScreen"));
    InsertSeparator(menu, 4);
    if (BuildPopupMenu(languageMenu, IdFirstLanguage)) {
        InsertItem(menu, 5, MF_POPUP, reinterpret_cast<UINT_PTR>(languageMenu.Handle()), text("SelectLanguage"));
    } else {
        InsertItem(menu, 5, MF_STRING | MF_DISABLED, IdFirstLanguage, text("SelectLanguage"));
    }
    InsertItem(menu, 6, MF_STRING, IdOpenGuiProfile, text("OpenGuiProfile"));
    InsertItem(menu, 7, MF_STRING, IdWindowFont, text("SelectWindowFont"));
    InsertItem(menu, 8, MF_STRING, IdPathViewFont, text("SelectPathViewFont"));
    InsertItem(menu, 9, MF_STRING, IdTextViewFont, text("SelectTextViewFont"));
    InsertItem(menu, 10, MF_STRING, IdBinaryViewFont, text("SelectBinaryViewFont"));
    InsertSeparator(menu, 11);
}

void GuiTMenuExecution::OpenManual(int32_t n) {
    ListHelpOnce();
    RawString document;
    int32_t index = 0;
    for (const RawString& path : help.manualFiles) {
        if (index++ == n) {
            document = path;
            break;
        }
    }
    StartHelpViewer(help, document);
}

void GuiTMenuExecution::Execute(WPARAM command) {
    JobLayer::GuiProfileStore& profile = JobLayer::GuiProfileStore::Instance();
    if (command >= IdFirstManual && command <= IdLastManual) {
        OpenManual(static_cast<int32_t>(command - IdFirstManual));
        return;
    }
    if (command >= IdFirstLanguage && command <= IdLastLanguage) {
        ChooseLanguage(static_cast<int32_t>(command - IdFirstLanguage));
        return;
    }
    switch (command) {
    case IdVersion:
        ListHelpOnce();
        StartHelpViewer(help, help.readMe);
        break;
    case IdViewHelp:
        OpenManual(0);
        break;
    case IdMoveToPrimary:
        MoveToWorkArea(view.window);
        break;
    case IdOpenGuiProfile:
        if (!profile.file.path.IsEmpty()) {
            RawLayer::RawShell shell(profile.file.path);
            shell.Execute(RawString(), RawString());
        }
        break;
    case IdWindowFont:
        ChooseFontFor(view.GetEffectiveFont(), JobLayer::WindowFontSectionText(), CmdWindowFont);
        break;
    case IdPathViewFont:
    case IdTextViewFont:
    case IdBinaryViewFont: {
        const uint32_t kind = static_cast<uint32_t>(command - IdPathViewFont);
        ChooseFontFor(profile.ViewFont(kind), JobLayer::GuiProfileStore::ViewFontSection(kind),
                      static_cast<uint16_t>(CmdPathViewFont + kind));
        break;
    }
    default:
        break;
    }
}

void GuiTMenuExecution::ChooseFontFor(const WinLayer::WinFontParameter& font, const RawString& section, uint16_t code) {
    const RawLayer::RawParameterList chosen = ChooseFont(view, font);
    if (chosen.Count() == 0) return;
    JobLayer::GuiProfileStore& profile = JobLayer::GuiProfileStore::Instance();
    chosen.WriteSection(profile.file, section);
    // What is kept of the window font is the new one, so nothing written
    // later can put the old one back.
    if (code == CmdWindowFont) profile.windowFont = chosen;
    if (view.window) PostMessageW(view.window, WM_COMMAND, MAKEWPARAM(view.controlId, code), 0);
}

void GuiTMenuExecution::ChooseLanguage(int32_t entry) {
    const RawString name = SelectEntry(entry);
    JobLayer::GuiProfileStore::Instance().file.WriteValue(JobLayer::UserSelectionSectionText(),
                                                          JobLayer::LanguageKeyText(), name);
    if (view.window) PostMessageW(view.window, WM_COMMAND, MAKEWPARAM(view.controlId, CmdRestart), 0);
}

}  // namespace AppLayer
