// The GUI profile as the windows see it, until the profile store of the
// compare jobs takes these over: its path and the start source of plain
// command-line paths.
#include "tavrel/app/gui_profile_link.h"

namespace AppLayer {

using RawLayer::RawString;

namespace {

struct LinkState {
    RawLayer::ProfileFileRef file;
    StartSourceRecord source;
};

LinkState& State() {
    static LinkState state;
    return state;
}

}  // namespace

void LoadGuiProfile(const RawString& path, const RawLayer::RawParameterList& settings) {
    LinkState& state = State();
    state.file.SetPath(path);
    StartSourceRecord source;
    const RawString first = settings.GetText(RawString::FromLiteral("NoTag_1"));
    const RawString second = settings.GetText(RawString::FromLiteral("NoTag_2"));
    if (!first.IsEmpty()) {
        source.kind = second.IsEmpty() ? StartSide1 : StartBothSides;
        source.path1 = first;
        source.path2 = second;
    }
    state.source = source;
}

RawLayer::ProfileFileRef& GuiProfileFile() { return State().file; }
StartSourceRecord StartSource() { return State().source; }
void SetStartSource(const StartSourceRecord& source) { State().source = source; }
void ReloadViewFont(uint32_t) {}

}  // namespace AppLayer
