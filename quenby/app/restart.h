// Restarting the viewer with its open documents: the list file the new
// process reads through "-l", the switches handed to it, and the start.
//
// A restart never leaves the user with nothing: when the list cannot be
// written whole, or no process starts, the caller keeps its window.
#pragma once

#include <cstdint>

#include "base/raw_list.h"
#include "base/raw_string.h"

namespace AppLayer {

// "Quenby_ListFile.txt" in the folder "Quenby" under the temporary folder.
RawLayer::RawString RestartListPath();
// Writes the paths, one a line, UTF-8, each ended by CR LF, into a
// temporary file beside the list that then replaces it (the folder is made
// when missing). False, with any earlier list left as it was, when the file
// could not be written whole.
bool WriteRestartListFile(const RawLayer::RawString& listPath, const RawLayer::RawStringList& documents);
// " -p" or " -p-", " -l" with the quoted list path, " -i" with the index.
RawLayer::RawString RestartParameters(bool pageView, const RawLayer::RawString& listPath, int32_t index);
// The program a restart starts: the running program's own file, unless set
// otherwise (tests point it at a recorder).
RawLayer::RawString& RestartProgramPath();
// Writes the list and starts the program with the switches; the process
// handle is closed at once. False when the list was not written whole or no
// process started.
bool RestartWithDocuments(bool pageView, const RawLayer::RawStringList& documents, int32_t index);

}  // namespace AppLayer
