// Pages of the toolkit gallery, one function each, and the timers every
// page starts once its windows exist.
#pragma once

#include <windows.h>

#include "base/raw_string.h"

// Writes the ready file after the delay (0: the usual one, by which a page
// has painted) and ends the process after a while, should nobody end it.
void StartPageTimers(UINT readyDelayMs = 0);

// A page's literal text as the toolkit's string.
inline RawLayer::RawString Text(const char* text) { return RawLayer::RawString::FromText(text); }

// Buttons, labels, groups, the tab bar, a divider and a hint menu.
int ShowControlsPage();

// A list box with header, selection, cursor and end row; edit boxes.
int ShowListsPage();

// A three-button question of the information dialog.
int ShowInfoPage();

// The input dialog with three rows and the first row's hint menu open.
int ShowInputPage();

// The path chooser on a small tree with a hidden file and a shortcut.
int ShowPathPage();
