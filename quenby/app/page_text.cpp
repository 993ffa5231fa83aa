// The page view's per-page texts.
#include "quenby/app/page_text.h"

#include <new>

namespace AppLayer {

bool PageTextArrays::Resize(int32_t pages) {
    Clear();
    if (pages <= 0) return true;
    headers = new (std::nothrow) PageTextRecord[pages];
    footers = new (std::nothrow) PageTextRecord[pages];
    if (!headers || !footers) {
        Clear();
        return false;
    }
    count = pages;
    return true;
}

void PageTextArrays::Clear() {
    delete[] headers;
    delete[] footers;
    headers = nullptr;
    footers = nullptr;
    count = 0;
}

}  // namespace AppLayer
