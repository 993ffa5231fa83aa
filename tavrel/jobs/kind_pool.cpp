// The one place that knows every kind: the pool makes each kind's
// controller and detail-box strategy, so it alone includes the kind folders.
#include "tavrel/jobs/binary/binary_kind.h"
#include "tavrel/jobs/folder/folder_draw.h"
#include "tavrel/jobs/folder/folder_kind.h"
#include "tavrel/jobs/job_dbox_draw.h"
#include "tavrel/jobs/job_kind_control.h"
#include "tavrel/jobs/text/text_kind.h"

namespace JobLayer {

// Every kind has its controller: the folder (0), text (1) and binary (2)
// kinds their own, kind 3 (none) the base one, which does nothing.
bool JobKindPool::HasKind(const JobKindType& kindType) const {
    return kindType.kind <= KindNone;
}

JobKindControl* JobKindPool::CreateControl(const JobKindType& kindType) {
    switch (kindType.kind) {
        case KindPath:
            return &JobPathControl::Shared();
        case KindText:
            return &JobLineControl::Shared();
        case KindBinary:
            return &JobBinaryControl::Shared();
        default:
            return &JobKindControl::NoneControl();
    }
}

JobKindDBoxDraw* JobKindPool::CreateDraw(const JobKindType& kindType) {
    // The text, folder and binary kinds have their own detail-box
    // strategies; the others draw with the base one.
    if (kindType.kind == KindText) return &JobLineDBoxDraw::Shared();
    if (kindType.kind == KindPath) return &JobPathDBoxDraw::Shared();
    if (kindType.kind == KindBinary) return &JobBinaryDBoxDraw::Shared();
    return &JobBaseDBoxDraw::Shared();
}

}  // namespace JobLayer
