// Process-wide settings of the help viewer.
#include "quenby/app/viewer_globals.h"

namespace AppLayer {

const RawLayer::RawLocaleRecord ViewTexts[] = {
    {"MarginTitle", "Resize margin"},
    {"ProgressTitle", "Print progress"},
    {"ImageSizeChanged", "Image size changed. Continue to print ?"},
    {"PrintFailed", "Printing failed."},
    {"NoPageInRange", "No page of the document lies in the chosen range: nothing is printed."},
    {"SearchTextTitle", "Input search text ?"},
    {"DocumentTooLarge", "%s\nis larger than %d MB and is not opened."},
    {"DocumentNoMemory", "%s\nneeds more memory than there is and is not opened."},
    {"DocumentUnreadable", "%s\ncould not be read."},
    {nullptr, nullptr},
};

const RawLayer::RawLocaleRecord MenuTexts[] = {
    {"Copy", "Copy text to clipboard."},
    {"Search", "Search specified text."},
    {"SearchPrev", "Search previous text."},
    {"SearchNext", "Search next text."},
    {"ClipTOC", "Copy TOC to clipboard."},
    {nullptr, nullptr},
};

RawString LookUpViewTextIn(const RawString& section, const RawLayer::RawLocaleRecord* table) {
    return RawLayer::LanguageTable::Lookup(section, table);
}

RawString LookUpViewText(const RawString& section, const RawString& key) {
    return RawLayer::LanguageTable::Text(section, key);
}

void GuiGlobals::ApplyViewerDefaults() {
    WinLayer::WinEnvironment& environment = Instance();
    LOGFONTW font{};
    font.lfHeight = 12;
    font.lfCharSet = DEFAULT_CHARSET;
    environment.SetFont(font);
    environment.margin = 4;
    environment.textKind = RawLayer::KindUtf8;
}

RawLayer::ProfileFileRef& GuiProfileParameters() {
    static RawLayer::ProfileFileRef reference;
    return reference;
}

RawString& LanguagePath() {
    static RawString path;
    return path;
}

}  // namespace AppLayer
