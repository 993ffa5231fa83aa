// Small operations shared by the compare jobs: word boundaries for
// double-click selection and word-wise cursor moves, a 64-bit string hash and
// the path signature built from it, moving and copying whole folder trees,
// and a few drawing helpers of the views.
#pragma once

#include <windows.h>
#include <unknwn.h>

#include <cstdint>
#include <vector>

#include "base/file_system.h"
#include "base/raw_string.h"

namespace RawLayer {

// h starts at 0; for each code unit u: h = ((h << 7) ^ h) + u, wrapping in 64
// bits. The empty text gives 0.
uint64_t StringHash64(const RawString& text);
// Continues a hash over further units.
uint64_t StringHash64(uint64_t hash, const RawString& text, RawRange range);

// The signature of a file or folder tree; 0 when the path finds no entry.
// StringHash64 of the entry's name plus, for a file, the low 32 bits of its
// last-write time, for a folder the sum of the same terms over everything
// below it (a sub-folder's term is its name's hash plus its own content's).
// All sums wrap in 64 bits. A changed name, write time, or added or removed
// entry anywhere below changes it. Names are hashed in their UTF-16 form, so
// the encoding kind of the given path does not matter. Junctions and folder
// links count like files (name and time) and are never entered; nesting
// deeper than MaxTreeDepth is not entered either.
uint64_t PathSignature(const RawString& path);
// A stronger signature of the same walk, never 0 for an entry: each entry's
// term mixes its path relative to the given one with its full last-write
// time (files) or a folder mark, so that it also changes when an entry moves
// between sub-folders or two files swap their times.
uint64_t StrictPathSignature(const RawString& path);

// Moves every entry of the source folder into the target folder (made with
// its missing parents): files with MoveFileEx and MOVEFILE_COPY_ALLOWED,
// sub-folders by the same walk; junctions and folder links are moved as
// links (renamed), never entered. The emptied source folders stay. The first
// failure stops the walk: `failingPath` receives the path that failed, the
// result is false, and whatever was not moved yet stays in place. A source
// that is not a folder, and a target that is the source or lies inside it,
// are refused before anything is touched (the failing path is the source or
// the target). An empty source gives a new empty target and true. The walk
// runs on UTF-16 paths, so `failingPath` is UTF-16 (kind 7).
bool MoveFolderTree(const RawString& target, const RawString& source, RawString& failingPath);

// What a folder copy left behind: the number of entries it could not copy
// and the paths of the first MaxListed of them, in walk order (UTF-16).
struct TreeCopyFailures {
    enum : uint32_t { MaxListed = 16 };
    uint32_t count = 0;
    std::vector<RawString> paths;
    void Add(const RawString& path) {
        if (count < MaxListed) paths.push_back(path);
        ++count;
    }
};

// The same walk, copying: each file is copied keeping its last-write time
// and then given the source's read-only, hidden and system bits. Unlike a
// move, a copy goes on past an entry it cannot copy (a file it cannot read
// or write, a folder it cannot make, a junction or folder link, which is
// never entered), so that every other entry arrives; the result is false
// when any entry was left, `failingPath` is the first one and `failures`
// (when given) counts and lists them. A source or target refused before
// the walk stops it at once, as for a move.
bool CopyFolderTree(const RawString& target, const RawString& source, RawString& failingPath,
                    TreeCopyFailures* failures = nullptr);

// Class of a unit for word boundaries: letters A-Z, a-z and digits 3; blank
// and tab 0; below 0x20 and 0x7F 1; '_' 3 with the underscore flag, else 2;
// other units below 0x80 2; from 0x80 up 4.
int WordClass(uint32_t unit, bool underscore);
// The start of the run of units of one class around the index: moves left
// while the unit before has the index's class. An index outside the text
// counts as class 1; an index at or before 0 gives 0; an index past the end
// is taken as the end.
int32_t WordStartAt(const RawString& text, int32_t index, bool underscore);
// The end (one past the last unit) of that run: moves right while the next
// unit has the class. A negative index gives 0, an index at or past the end
// gives the length.
int32_t WordEndAt(const RawString& text, int32_t index, bool underscore);

// Prepares a context for drawing a view's text: selects the font (when not
// null), text alignment 0, transparent background, the text colour; `area`
// (when given) becomes (0, 0, width, height) of the rectangle. Returns the
// font it replaced (null when none was selected), for the caller to select
// back.
HFONT PrepareTextDC(HDC dc, const RECT& rect, HFONT font, COLORREF textColor, RECT* area);

// The value of a colour that is switched off ("NoColor"): nothing is painted
// with it.
constexpr COLORREF NoColorValue = 0xFFFFFFFF;

// For a non-empty text: fills the rectangle with the marking colour (no fill
// when it is NoColorValue), draws the text single-line, vertically centred,
// with tabs expanded and without prefix processing, in the context's text
// colour, and draws a line in that colour along the rectangle's bottom.
void DrawMarkedText(HDC dc, const RawString& text, const RECT& rect, COLORREF markColor);

// A kind-7 string of count units 0x0100 (empty for a count of 0 or less).
RawString FilledPlaceholder(int32_t count);

// A holder of two interface pointers.
struct RawInterfacePair {
    IUnknown* first = nullptr;
    IUnknown* second = nullptr;
};
// Releases each pointer that is set and clears both.
void ReleaseInterfacePair(RawInterfacePair& holder);

}  // namespace RawLayer
