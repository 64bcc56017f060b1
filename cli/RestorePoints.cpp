#include "cli/RestorePoints.h"

#include "cli/Console.h"

#include <QDateTime>

namespace cli {

namespace {

QString failure;

} // namespace

void LeaveRestorePoint(TransferKind kind, int port, const Maps& maps, bool hasTimeout, bool hasFirmware)
{
    RestorePointInfo info;
    info.when = QDateTime::currentDateTime();
    info.kind = kind;
    info.port = port;
    info.hasFirmware = hasFirmware;
    info.firmware = maps.firmware;
    const QString folder = HistoryFolder();
    QString error;
    if (SaveRestorePoint(folder, info, WireMap(maps.lpg), WireMap(maps.petrol),
                         hasTimeout ? QString::number(maps.timeout) : QString(), &error)
            .isEmpty()
        && failure.isEmpty())
        failure = RestorePointFailure(folder, error);
}

void ReportRestorePointFailure()
{
    if (!failure.isEmpty())
        PrintFailure(failure);
    failure.clear();
}

} // namespace cli
