#include "cli/Commands.h"

#include "app/core/History.h"
#include "cli/Console.h"
#include "cli/Format.h"

#include <QDateTime>
#include <QDir>
#include <QJsonArray>
#include <QJsonObject>

namespace cli {

int ListHistory(const Options& o)
{
    const QString text = o.files.isEmpty() ? QString() : o.files.at(0).trimmed().toLower();
    QJsonArray points;
    for (const RestorePointEntry& e : ListRestorePoints(HistoryFolder())) {
        // A damaged note is no car: the point is listed without one.
        bool damaged = false;
        const QString car = e.hasNote ? ReadRestorePointNote(e.file, &damaged) : QString();
        if (!text.isEmpty() && !RestorePointSearchText(e, car).contains(text))
            continue;
        const QString file = QDir::toNativeSeparators(e.file);
        if (!o.json) {
            PrintResult(QStringLiteral("%1\t%2\tCOM%3\t%4\t%5").arg(e.WhenText(), TransferKindWord(e.kind)).arg(e.port).arg(car, file));
            continue;
        }
        QJsonObject point{{QStringLiteral("date"),
                           QDateTime::fromString(e.stamp, QStringLiteral("yyyyMMdd-HHmmss")).toString(Qt::ISODate)},
                          {QStringLiteral("kind"), TransferKindWord(e.kind)},
                          {QStringLiteral("port"), e.port},
                          {QStringLiteral("car"), car},
                          {QStringLiteral("file"), file}};
        if (e.hasFirmware)
            point.insert(QStringLiteral("firmware"), e.firmware);
        if (!e.visit.isEmpty())
            point.insert(QStringLiteral("visit"), e.visit);
        if (damaged)
            point.insert(QStringLiteral("note_damaged"), true);
        points.append(point);
    }
    if (o.json)
        PrintJson(QJsonObject{{QStringLiteral("command"), QStringLiteral("history")},
                              {QStringLiteral("folder"), QDir::toNativeSeparators(HistoryFolder())},
                              {QStringLiteral("restore_points"), points}});
    return ExitDone;
}

}  // namespace cli
