#pragma once

// Recovery files as the recovery suites find them.

#include "app/core/Recovery.h"
#include "common/SampleMaps.h"

// An edited map: base + i / 8 at point i.
inline MapTable Edited(double base)
{
    return SampleTable([base](int i) { return base + i * 0.125; });
}

// Leaves the maps in the folder as a program that was killed leaves them: a
// recovery file whose slot no running program holds. Returns the file.
inline QString LeaveOrphan(const QString& folder, const MapTable& lpg, const MapTable& petrol, const QString& timeout)
{
    RecoverySlot slot;
    if (!ClaimRecoverySlot(folder, slot) || !WriteRecoveryFile(slot, lpg, petrol, timeout, nullptr))
        return QString();
    const QString file = slot.file;
    ReleaseRecoverySlot(slot, false);
    return file;
}
