#include "cli/RestorePoints.h"

#include "cli/Console.h"

namespace cli {

namespace {

QString failure;
QString restorePointNote;

}  // namespace

void LeaveRestorePoint(TransferKind kind, int port, const Maps& maps, bool hasTimeout, bool hasFirmware)
{
    const QString message = ::LeaveRestorePoint(kind, port, maps.lpg, maps.petrol,
                                                hasTimeout ? QString::number(maps.timeout) : QString(),
                                                hasFirmware ? std::optional<int>(maps.firmware) : std::nullopt,
                                                restorePointNote);
    if (failure.isEmpty())
        failure = message;
}

void SetRestorePointNote(const QString& note)
{
    restorePointNote = note.trimmed();
}

void ReportRestorePointFailure()
{
    if (!failure.isEmpty())
        PrintFailure(failure);
    failure.clear();
}

}  // namespace cli
