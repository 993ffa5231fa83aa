// The table of contents.
#include "quenby/app/tree_box.h"

namespace AppLayer {

bool GuiTreeBox::Shows(const JobLineUnit& line) const { return line.kind == DocLayer::KindHeading; }

}  // namespace AppLayer
