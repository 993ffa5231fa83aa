// How often the toolkit has done work it means to do only once or only on
// request: window class registrations, fillings of the path boxes' icon
// pool, and path-box listings; and how many rows the passes over long lists
// visited, so that a test can tell a step that costs what changed from one
// that walks every row. Nothing in the programs reads them; tests and
// benchmarks read them to show that the work was not repeated.
#pragma once

#include <cstdint>

namespace WinLayer {

struct WinWorkCounts {
    // The process-wide counts, all 0 at first.
    static WinWorkCounts& Instance();

    // Window classes registered by dialogs.
    uint32_t classRegistrations = 0;
    // Times the shared icon pool's cells were made (once per icon size
    // while a path box lives).
    int32_t iconLoads = 0;
    // Listings of a folder by any path box (Refresh).
    int32_t listings = 0;
    // List-box units stepped over by walks along a list's links (a range,
    // or the whole list).
    int64_t listUnitsWalked = 0;
    // List-box units made (added to a list).
    int64_t listUnitsMade = 0;
    // Rows the position bar read to make its marks.
    int64_t positionBarRows = 0;
    // Text lines measured with the device context for a side's width.
    int64_t linesMeasured = 0;
    // Text lines looked at (measured or not) for a side's width.
    int64_t linesWalked = 0;
    // List-box units given a row by a rebuild of a list's rows.
    int64_t listUnitsPlaced = 0;
    // Paints of a list at its logical width that kept the last picture and
    // painted only the rows that changed.
    int64_t listPicturesKept = 0;
};

}  // namespace WinLayer
