// The table of contents beside the page view: the document's heading lines.
#pragma once

#include "quenby/app/line_list_box.h"

namespace AppLayer {

class GuiTreeBox : public GuiLineListBox {
public:
    // Only headings get a row.
    bool Shows(const JobLineUnit& line) const override;
};

}  // namespace AppLayer
