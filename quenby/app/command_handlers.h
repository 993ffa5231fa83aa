// The main window's commands that act on more than one part: the font
// commands, reloading the current document, restarting the viewer with its
// open documents, and the stored places of a document made to fit it.
#pragma once

#include <cstdint>

#include "quenby/app/main_dialog.h"

namespace AppLayer {

// 4365-4369 on the current document's print font in page view, else its
// text font.
void RunFontCommand(GuiMainDialog& dialog, uint16_t code);
// 4355: the current document read again from its file and shown afresh.
void ReloadCurrentDocument(GuiMainDialog& dialog);
// 4353 and 4356: the open documents written to the list file and the viewer
// started with it, page view and the current tab; this window then goes
// (once). When nothing started, the window is restored and stays.
void RestartViewer(GuiMainDialog& dialog, bool minimiseFirst);
// A stored cursor beyond the document becomes -1, a stored top line is kept
// inside it: a reload or a reopened path can shorten a document.
void ClampStoredPlaces(JobLineList& document);

}  // namespace AppLayer
