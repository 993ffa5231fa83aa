// What the print run asks of the window that started it.
#pragma once

#include <cstdint>

namespace AppLayer {

class WinPrintProgressDialog {
public:
    class Executer {
    public:
        virtual ~Executer() = default;
        // Prints the current document; false when nothing was printed.
        virtual bool PrintDocument() = 0;
        // The pages chosen for printing (0-based, inclusive); false for all.
        virtual bool SelectedPageRange(int32_t& first, int32_t& last) = 0;
    };
};

}  // namespace AppLayer
