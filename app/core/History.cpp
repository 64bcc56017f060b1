#include "app/core/History.h"

#include "device/core/Dataextractor.h"
#include "mapfile/core/MapFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardPaths>
#include <algorithm>
#include <stdexcept>

namespace {

const QString StampFormat = QStringLiteral("yyyyMMdd-HHmmss");
// A folder full of points of one second is a fault of its own, not a reason
// to try names for ever.
constexpr int MaxSuffix = 9999;

QString KindWord(TransferKind kind)
{
    return kind == TransferKind::Write ? QStringLiteral("write") : QStringLiteral("read");
}

} // namespace

QString HistoryFolder()
{
    const QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (data.isEmpty())
        return QString();
    return QDir::cleanPath(data + QStringLiteral("/tarvo-gui/history"));
}

QString RestorePointName(const RestorePointInfo& info, int suffix)
{
    QString name = info.when.toString(StampFormat) + QLatin1Char('-') + KindWord(info.kind)
        + QStringLiteral("-COM") + QString::number(info.port);
    if (info.hasFirmware)
        name += QStringLiteral("-fw") + QString::number(info.firmware);
    if (suffix > 1)
        name += QLatin1Char('-') + QString::number(suffix);
    return name + QStringLiteral(".xml");
}

bool ParseRestorePointName(const QString& fileName, RestorePointInfo& info, int* suffix)
{
    static const QRegularExpression pattern(QStringLiteral(
        "^([0-9]{8}-[0-9]{6})-(read|write)-COM(-?[0-9]{1,9})(?:-fw(-?[0-9]{1,9}))?(?:-([0-9]{1,9}))?\\.xml$"));
    const QRegularExpressionMatch m = pattern.match(fileName);
    if (!m.hasMatch())
        return false;
    const QDateTime when = QDateTime::fromString(m.captured(1), StampFormat);
    if (!when.isValid())
        return false;
    info.when = when;
    info.kind = m.captured(2) == QLatin1String("write") ? TransferKind::Write : TransferKind::Read;
    info.port = m.captured(3).toInt();
    info.hasFirmware = m.capturedLength(4) > 0;
    info.firmware = info.hasFirmware ? m.captured(4).toInt() : 0;
    if (suffix)
        *suffix = m.capturedLength(5) > 0 ? m.captured(5).toInt() : 1;
    return true;
}

QString SaveRestorePoint(const QString& folder, const RestorePointInfo& info, const MapTable& lpg,
                         const MapTable& petrol, const QString& startTimeout, QString* error)
{
    const auto fail = [error](const QString& reason) {
        if (error)
            *error = reason;
        return QString();
    };
    if (folder.isEmpty())
        return fail(QStringLiteral("there is no data folder for this user"));
    if (!QDir().mkpath(folder))
        return fail(QStringLiteral("the folder cannot be created"));

    // Written whole under a name of this process's own first, so that a
    // restore point is either complete or not there at all.
    static int serial = 0;
    const QDir dir(folder);
    const QString temporary = dir.filePath(QStringLiteral(".%1-%2.part")
                                               .arg(QCoreApplication::applicationPid())
                                               .arg(++serial));
    try {
        SaveMapFile(temporary, lpg, petrol, startTimeout);
    } catch (const std::exception& e) {
        QFile::remove(temporary);
        return fail(QString::fromUtf8(e.what()));
    }

    // The rename refuses a name that exists, at the moment of the rename: two
    // programs saving in the same second each get a name of their own.
    QFile file(temporary);
    for (int suffix = 1; suffix <= MaxSuffix; ++suffix) {
        const QString name = dir.filePath(RestorePointName(info, suffix));
        if (file.rename(name))
            return name;
        if (!QFileInfo::exists(name)) {
            const QString reason = file.errorString();
            QFile::remove(temporary);
            return fail(reason);
        }
    }
    QFile::remove(temporary);
    return fail(QStringLiteral("every name for %1 is taken").arg(RestorePointName(info)));
}

QString RestorePointFailure(const QString& folder, const QString& reason)
{
    return QStringLiteral("Не удалось сохранить точку восстановления: %1: %2")
        .arg(QDir::toNativeSeparators(folder), reason);
}

MapTable WireMap(const MapTable& table)
{
    MapTable wire = table;
    for (double& uoz : wire.Uoz) {
        short code = 0;
        if (AdvanceToThousandths(uoz, &code))
            uoz = code / 1000.0;
    }
    return wire;
}

QString LeaveRestorePoint(TransferKind kind, int port, const MapTable& lpg, const MapTable& petrol,
                          const QString& startTimeout, std::optional<int> firmware)
{
    RestorePointInfo info;
    info.when = QDateTime::currentDateTime();
    info.kind = kind;
    info.port = port;
    info.hasFirmware = firmware.has_value();
    info.firmware = firmware.value_or(0);
    const QString folder = HistoryFolder();
    QString error;
    if (SaveRestorePoint(folder, info, WireMap(lpg), WireMap(petrol), startTimeout, &error).isEmpty())
        return RestorePointFailure(folder, error);
    return QString();
}

QList<RestorePointEntry> ListRestorePoints(const QString& folder)
{
    QList<RestorePointEntry> entries;
    if (folder.isEmpty())
        return entries;
    const QFileInfoList files = QDir(folder).entryInfoList({QStringLiteral("*.xml")}, QDir::Files | QDir::System);
    for (const QFileInfo& f : files) {
        RestorePointEntry entry;
        if (!ParseRestorePointName(f.fileName(), entry.info, &entry.suffix))
            continue;
        entry.file = f.filePath();
        SetSpeedAxis(entry.lpg);
        SetSpeedAxis(entry.petrol);
        if (!f.isFile()) {
            // A pipe or a device would keep the reader waiting.
            entry.damaged = true;
            entry.fault = QStringLiteral("'%1' is not a regular file").arg(f.filePath());
        } else {
            try {
                LoadMapFile(entry.file, entry.lpg, entry.petrol);
            } catch (const std::exception& e) {
                entry.damaged = true;
                entry.fault = QString::fromUtf8(e.what());
            }
        }
        entries.append(entry);
    }
    std::sort(entries.begin(), entries.end(), [](const RestorePointEntry& a, const RestorePointEntry& b) {
        if (a.info.when != b.info.when)
            return a.info.when > b.info.when;
        if (a.suffix != b.suffix)
            return a.suffix > b.suffix;
        return a.file > b.file;
    });
    return entries;
}
