// The entry-kind icons of the folder rows (a folder, a text file, any other
// file): one pool, kept by the environment (ShellCommandStore::iconPool)
// and filled again at the size the rows ask for.
#pragma once

#include <cstdint>

namespace WinLayer {
class WinBitmapPool;
}

namespace JobLayer {

// Icon resources of the entry kinds: a folder, a text file, any other file.
enum : int32_t {
    FolderIconResource = 995,
    TextFileIconResource = 132,
    OtherFileIconResource = 996
};

// The icon size the pool is first filled at.
constexpr int32_t kDefaultEntryIconSide = 16;

// The cell of the icon pool for an entry kind: 0 a folder, 1 a text file,
// 2 any other kind.
int32_t EntryIconCell(uint32_t entryKind);
// The icon pool of the entry kinds, its cells `side` pixels square: the
// icon resources of the program's module, or, for one the module does not
// hold, a drawn folder or file glyph, so every entry shows an icon. Filled
// again when the size changes; null when no pool can be made.
WinLayer::WinBitmapPool* EntryIconPool(int32_t side);
// The icon side for a row height: two pixels less, within 0-32.
int32_t EntryIconSide(int32_t rowHeight);

}  // namespace JobLayer
