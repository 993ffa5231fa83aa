// Operations of the main window on its tabs: opening the start source, one
// tab from a pair text, and the file of every tab's pair line.
#pragma once

#include <cstdint>

#include "base/raw_string.h"
#include "tavrel/app/view_set.h"
#include "tavrel/jobs/gui_profile.h"

namespace AppLayer {

// Opens the start source by its kind: a pair text as one tab, side 1, side
// 2 or both loaded into the current tab (both in one step, so no side is
// loaded twice). Group files open with the tab operations' file reader.
void OpenStartSource(GuiViewSet& views, const JobLayer::StartSource& source);
// One tab for a pair line after the current tab; an empty start tab (kind
// none) goes. False (nothing opened) when the text is no pair line.
bool OpenPairText(GuiViewSet& views, const RawLayer::RawString& text);
// The pair line of a tab's job: "@Group@", the paths and the options.
RawLayer::RawString PairLineOf(const JobGroupUnit& job);
// Writes one pair line per tab, each ended by CR LF, into a new file
// (written beside it and then moved into place). False when the file could
// not be written whole.
bool WriteTabPairFile(const GuiTabBar& tabBar, const RawLayer::RawString& path);

}  // namespace AppLayer
