// The view set: every child of the main window constructed, no window yet.
#include "tavrel/app/view_set.h"

namespace AppLayer {

GuiViewSet::GuiViewSet() {
    tabBar.Construct();
    // Tabs move by dragging: refused places show "no", accepted ones a hand.
    tabBar.DragPart().noDropCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32648));
    tabBar.DragPart().dropCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32649));
    twinBar.Construct();
    folderBox.Construct();
    positionBar.Construct();
    for (GuiButton& button : buttons) button.Construct();
    detail1.Construct();
    detail2.Construct();
    detailPair.box1 = &detail1;
    detailPair.box2 = &detail2;
    divider.Construct(false, &anchors[AnchorViewArea], &anchors[AnchorStatusArea]);
    statusBox.Construct();
}

}  // namespace AppLayer
