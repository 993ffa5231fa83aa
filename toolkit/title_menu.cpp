// The title-menu hook and its services.
#include "toolkit/title_menu.h"

#include "base/api_text.h"
#include "base/file_system.h"
#include "base/language.h"
#include "base/shell.h"
#include "base/wildcard.h"
#include "toolkit/environment.h"

namespace WinLayer {

using RawLayer::RawString;
using RawLayer::RawStringList;

namespace {

RAW_CONSTANT_TEXT(ManualSectionText, "Manual")
RAW_CONSTANT_TEXT(ViewerKeyText, "Quenby")
RAW_CONSTANT_TEXT(ManualKeyText, "Manual")
RAW_CONSTANT_TEXT(DefaultViewerTypesText, "txt,md")
RAW_CONSTANT_TEXT(DefaultManualPatternsText, "ReadMe_*.txt,ReadMe_*.md,*.pdf")
RAW_CONSTANT_TEXT(ViewerProgramText, "Quenby.exe")
RAW_CONSTANT_TEXT(ViewerFolderText, "Quenby")
RAW_CONSTANT_TEXT(AutoLanguageText, "(Auto)")
RAW_CONSTANT_TEXT(QuoteText, "\"")
RAW_CONSTANT_TEXT(UnderscoreText, "_")
RAW_CONSTANT_TEXT(ParentFolderText, "..")

// The part of a text within a range.
RawString Part(const RawString& text, RawLayer::RawRange range) {
    RawString part;
    part.AssignRange(text, range);
    return part;
}

// The value of a key of the section, or the default when it is missing.
RawString ValueOr(const RawLayer::RawParameterList& section, const RawString& key, const RawString& fallback) {
    const RawLayer::RawParameterUnit* unit = section.Find(key);
    return unit ? unit->value : fallback;
}

// Adds every file of the pattern's folder whose name matches its name part
// (ASCII case ignored), skipping paths already listed.
void AddMatches(RawStringList& files, const RawString& folder, const RawString& pattern) {
    const RawString resolved = RawLayer::PathResolve(folder, pattern);
    const RawLayer::RawRange folderPart = RawLayer::PathFolderRange(resolved);
    const RawString searchFolder = Part(resolved, folderPart);
    const RawLayer::RawRange namePart = RawLayer::PathNameRange(resolved);
    RawLayer::WildcardPatternList record(Part(resolved, namePart), true);
    RawLayer::RawFileFind find(searchFolder);
    while (find.Next(RawLayer::FindSkipFolders | RawLayer::FindSkipDots)) {
        if (!record.Match(find.Name())) continue;
        const RawString path = RawLayer::PathJoin(searchFolder, find.Name());
        if (!files.Contains(path)) files.Add(path);
    }
}

// The font a description really gives on the screen: a face that is not
// installed is replaced by another, and a cell height becomes a different
// character height. The dialog is started from what is shown, so that it
// opens on the face in use rather than on the first of its list. False when
// the font cannot be made or measured.
bool ShownFont(const LOGFONTW& wanted, LOGFONTW& shown) {
    HFONT font = CreateFontIndirectW(&wanted);
    if (!font) return false;
    bool measured = false;
    if (HDC dc = GetDC(nullptr)) {
        HGDIOBJ old = SelectObject(dc, font);
        wchar_t face[LF_FACESIZE + 1] = {};
        TEXTMETRICW metrics{};
        if (old && GetTextFaceW(dc, LF_FACESIZE, face) > 0 && GetTextMetricsW(dc, &metrics) &&
            metrics.tmHeight > metrics.tmInternalLeading) {
            shown = wanted;
            RawLayer::CopyFaceName(shown, face);
            // A character height is the dialog's own measure and stays as
            // it is; a cell height is turned into the character height it
            // gives.
            if (wanted.lfHeight >= 0) shown.lfHeight = -(metrics.tmHeight - metrics.tmInternalLeading);
            shown.lfCharSet = metrics.tmCharSet;
            measured = true;
        }
        if (old) SelectObject(dc, old);
        ReleaseDC(nullptr, dc);
    }
    DeleteObject(font);
    return measured;
}

// Whether the dialog's answer is the font it was started with, as far as
// the dialog can tell fonts apart (face, size, bold, italic, lines, script).
bool SameChoice(const LOGFONTW& a, const LOGFONTW& b) {
    auto bold = [](LONG weight) { return weight >= FW_SEMIBOLD; };
    return _wcsnicmp(a.lfFaceName, b.lfFaceName, LF_FACESIZE) == 0 && a.lfHeight == b.lfHeight &&
           bold(a.lfWeight) == bold(b.lfWeight) && (a.lfItalic != 0) == (b.lfItalic != 0) &&
           (a.lfUnderline != 0) == (b.lfUnderline != 0) && (a.lfStrikeOut != 0) == (b.lfStrikeOut != 0) &&
           a.lfCharSet == b.lfCharSet;
}

// What the dialog itself would answer before the user touches anything.
// The dialog offers whole points only, so a height that is not a whole
// point comes back rounded, and a face it lists under another name comes
// back renamed: an untouched answer is known only by asking the dialog once
// it has filled its fields.
struct UntouchedAnswer {
    LOGFONTW font{};
    bool known = false;
};

UINT_PTR CALLBACK NoteUntouchedAnswer(HWND dialog, UINT message, WPARAM, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        const CHOOSEFONTW* request = reinterpret_cast<const CHOOSEFONTW*>(lParam);
        if (request && request->lCustData) {
            UntouchedAnswer* answer = reinterpret_cast<UntouchedAnswer*>(request->lCustData);
            SendMessageW(dialog, WM_CHOOSEFONT_GETLOGFONT, 0, reinterpret_cast<LPARAM>(&answer->font));
            answer->known = answer->font.lfFaceName[0] != 0;
        }
        // The dialog still sets the focus itself.
        return TRUE;
    }
    return 0;
}

// A height of the record in the dialog's screen pixels and back: a record
// kept in another device's pixels (a printer's) is shown at the size it
// prints at. Cell heights (positive) and character heights (negative) keep
// their sign.
LONG HeightBetween(LONG height, int32_t fromPerInch, int32_t toPerInch) {
    if (fromPerInch <= 0 || toPerInch <= 0 || fromPerInch == toPerInch) return height;
    const LONG scaled = MulDiv(height, toPerInch, fromPerInch);
    if (scaled == 0 && height != 0) return height < 0 ? -1 : 1;
    return scaled;
}

int32_t ScreenPixelsPerInch() {
    int32_t perInch = 96;
    if (HDC dc = GetDC(nullptr)) {
        perInch = GetDeviceCaps(dc, LOGPIXELSY);
        ReleaseDC(nullptr, dc);
    }
    return perInch > 0 ? perInch : 96;
}

}  // namespace

LRESULT WinTMenuExecution::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CREATE:
        if (view.window && (GetWindowLongW(view.window, GWL_STYLE) & WS_SYSMENU)) {
            systemMenu = GetSystemMenu(view.window, FALSE);
            BuildMenu(systemMenu);
        }
        break;
    case WM_INITMENUPOPUP:
        if (systemMenu && reinterpret_cast<HMENU>(wParam) == systemMenu) InitMenu(systemMenu);
        break;
    case WM_UNINITMENUPOPUP:
        if (systemMenu && reinterpret_cast<HMENU>(wParam) == systemMenu) MenuClosed();
        break;
    case WM_SYSCOMMAND:
        Execute(wParam);
        break;
    case WM_COMMAND:
        // Wine sends the choice of a submenu of the title menu (a language,
        // a help file) as a menu command: taken when the id is the menu's.
        if (systemMenu && lParam == 0 && HIWORD(wParam) == 0 &&
            GetMenuState(systemMenu, LOWORD(wParam), MF_BYCOMMAND) != static_cast<UINT>(-1)) {
            Execute(LOWORD(wParam));
        }
        break;
    case WM_NCMOUSEMOVE:
    case WM_NCLBUTTONDOWN:
        OnNonClientMouse(wParam, PointFromLParam(lParam));
        break;
    default:
        break;
    }
    return kNotHandled;
}

RawLayer::RawParameterList WinTMenuExecution::ChooseFont(WinView& owner, const WinFontParameter& font,
                                                         int32_t pixelsPerInch) {
    const int32_t screenPerInch = ScreenPixelsPerInch();
    LOGFONTW onScreen{};
    WinFontParameter::CopyLogFont(onScreen, font.description);
    onScreen.lfHeight = HeightBetween(onScreen.lfHeight, pixelsPerInch, screenPerInch);
    LOGFONTW start{};
    if (!ShownFont(onScreen, start)) WinFontParameter::CopyLogFont(start, onScreen);
    LOGFONTW description = start;
    UntouchedAnswer untouched;
    CHOOSEFONTW request{};
    request.lStructSize = sizeof(request);
    request.hwndOwner = owner.window;
    request.lpLogFont = &description;
    request.Flags = CF_INITTOLOGFONTSTRUCT | CF_EFFECTS | CF_FORCEFONTEXIST | CF_NOVERTFONTS | CF_ENABLEHOOK;
    request.lpfnHook = NoteUntouchedAnswer;
    request.lCustData = reinterpret_cast<LPARAM>(&untouched);
    RawLayer::RawParameterList chosen;
    if (!ChooseFontW(&request)) return chosen;
    // Confirmed without a change: the record stays as it was, its face
    // name and height too, so a font missing here is still asked for where
    // it exists and a height between two whole points is not rounded.
    if (SameChoice(description, untouched.known ? untouched.font : start)) {
        WinFontParameter::Write(font.description, chosen);
        return chosen;
    }
    if (pixelsPerInch > 0 && pixelsPerInch != screenPerInch) {
        // The size the user chose, in the record's own pixels: from the
        // dialog's points, which are exact, rather than its screen pixels.
        description.lfHeight = request.iPointSize > 0
                                   ? -MulDiv(request.iPointSize, pixelsPerInch, 720)
                                   : HeightBetween(description.lfHeight, screenPerInch, pixelsPerInch);
    }
    WinFontParameter::Write(description, chosen);
    return chosen;
}

void WinTMenuExecution::ListHelpFiles(HelpFileSet& set, const RawString& configPath, const RawString& readMeName) {
    if (set.programFolder.IsEmpty()) set.programFolder = RawLayer::ProgramFolder(RawLayer::KindUtf16);
    set.readMe = LanguageVariant(RawLayer::PathJoin(set.programFolder, readMeName));

    RawLayer::RawParameterList section(false);
    if (!configPath.IsEmpty()) {
        RawLayer::ProfileFileRef file = RawLayer::ProfileFileRef::FromPath(configPath);
        section.ReadSection(file, ManualSectionText());
    }
    RawLayer::WildcardPatternList types;
    types.Init(ValueOr(section, ViewerKeyText(), DefaultViewerTypesText()));
    set.viewerTypes = RawStringList();
    for (const RawString& type : types.items) set.viewerTypes.Add(type);

    RawLayer::WildcardPatternList patterns;
    patterns.Init(ValueOr(section, ManualKeyText(), DefaultManualPatternsText()));
    set.manualFiles = RawStringList();
    for (const RawString& pattern : patterns.items) AddMatches(set.manualFiles, set.programFolder, pattern);
    set.manualFiles.Sort(RawLayer::RawStringListSort());
}

RawString WinTMenuExecution::LanguageVariant(const RawString& path) {
    const RawString language = RawLayer::LanguageTable::Construct().SelectedLanguage();
    if (!language.IsEmpty()) {
        RawString variant = RawLayer::PathWithoutExtension(path);
        variant.Append(UnderscoreText());
        variant.Append(language);
        const RawLayer::RawRange extension = RawLayer::PathExtensionRange(path, true);
        variant.Append(Part(path, extension));
        if (RawLayer::FileExists(variant)) return variant;
    }
    return RawLayer::FileExists(path) ? path : RawString();
}

RawString WinTMenuExecution::FindHelpViewer(const RawString& programFolder) {
    const RawString candidates[] = {
        RawLayer::PathJoin(programFolder, ViewerProgramText()),
        RawLayer::PathJoin(RawLayer::PathJoin(programFolder, ViewerFolderText()), ViewerProgramText()),
        RawLayer::PathJoin(RawLayer::PathJoin(RawLayer::PathResolve(programFolder, ParentFolderText()), ViewerFolderText()), ViewerProgramText()),
    };
    for (const RawString& candidate : candidates) {
        if (RawLayer::FileExists(candidate)) return candidate;
    }
    return RawString();
}

bool WinTMenuExecution::StartHelpViewer(const HelpFileSet& set, const RawString& document) {
    if (document.IsEmpty()) return false;
    const RawLayer::RawRange extension = RawLayer::PathExtensionRange(document, false);
    const RawString type = Part(document, extension);
    bool viewerType = false;
    for (const RawString& candidate : set.viewerTypes) viewerType = viewerType || RawString::EqualsNoCase(candidate, type);
    const RawString viewer = viewerType ? FindHelpViewer(set.programFolder) : RawString();
    bool started = false;
    if (!viewer.IsEmpty()) {
        RawString quoted(QuoteText());
        quoted.Append(document);
        quoted.Append(QuoteText());
        RawLayer::RawShell shell(viewer);
        started = shell.Execute(quoted, RawString());
    } else {
        RawLayer::RawShell shell(document);
        started = shell.Execute(RawString(), RawString());
    }
    return started;
}

bool WinTMenuExecution::BuildPopupMenu(WinPopupMenu& menu, UINT firstId) {
    const RawLayer::LanguageTable& table = RawLayer::LanguageTable::Construct();
    const RawLayer::RawParameterList languages = table.Languages();
    if (languages.Count() < 2) return false;
    const RawString selected = table.SelectedLanguage();
    if (!menu.Reset()) return false;
    menu.AppendItem(AutoLanguageText(), firstId);
    if (selected.IsEmpty()) menu.CheckItem(firstId);
    UINT id = firstId;
    int32_t listed = 0;
    for (const RawLayer::RawParameterUnit& language : languages) {
        if (listed++ >= kMaxLanguages) break;
        menu.AppendItem(language.key, ++id);
        if (!selected.IsEmpty() && language.key == selected) menu.CheckItem(id);
    }
    return true;
}

RawString WinTMenuExecution::SelectEntry(int32_t entry) {
    RawLayer::LanguageTable& table = RawLayer::LanguageTable::Construct();
    const RawLayer::RawParameterList languages = table.Languages();
    int32_t index = 0;
    for (const RawLayer::RawParameterUnit& language : languages) {
        if (++index == entry) {
            RawLayer::LanguageTable::SetLanguage(language.key);
            return language.key;
        }
    }
    RawLayer::LanguageTable::SetLanguage(RawString());
    table.UseLanguage(table.PickLanguage());
    return RawString();
}

void WinTMenuExecution::MoveToWorkArea(HWND window) {
    RECT area{}, place{};
    if (!window || !GetWindowRect(window, &place)) return;
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0);
    const LONG width = place.right - place.left, height = place.bottom - place.top;
    LONG left = area.left + (area.right - area.left - width) / 2;
    LONG top = area.top + (area.bottom - area.top - height) / 2;
    if (left < area.left) left = area.left;
    if (top < area.top) top = area.top;
    MoveWindow(window, left, top, width, height, TRUE);
}

}  // namespace WinLayer
