// The process-wide work counts.
#include "toolkit/work_counts.h"

namespace WinLayer {

WinWorkCounts& WinWorkCounts::Instance() {
    static WinWorkCounts counts;
    return counts;
}

}  // namespace WinLayer
