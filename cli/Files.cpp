#include "cli/Files.h"

#include "cli/Console.h"
#include "mapfile/core/MapFile.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QSaveFile>
#include <stdexcept>

namespace cli {

bool LoadFile(const QString& fileName, Maps& maps, QString* timeoutText)
{
    try {
        LoadMapFile(fileName, maps.lpg, maps.petrol, timeoutText);
    } catch (const std::exception& e) {
        PrintFailure(QString::fromUtf8(e.what()));
        return false;
    }
    return true;
}

bool CanSave(const QString& fileName)
{
    QSaveFile probe(fileName);
    if (!probe.open(QIODevice::WriteOnly)) {
        PrintFailure(QStringLiteral("cannot write '%1': %2").arg(fileName, probe.errorString()));
        return false;
    }
    probe.cancelWriting();
    return true;
}

bool SaveFile(const QString& fileName, const Maps& maps)
{
    try {
        SaveMapFile(fileName, maps.lpg, maps.petrol, QString::number(maps.timeout));
    } catch (const std::exception& e) {
        PrintFailure(QString::fromUtf8(e.what()));
        return false;
    }
    return true;
}

QString BackupName(const QString& fileName)
{
    const QFileInfo info(fileName);
    QString base = info.fileName();
    if (base.endsWith(QLatin1String(".xml"), Qt::CaseInsensitive))
        base.chop(4);
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString name = info.dir().filePath(QStringLiteral("%1.before-%2.xml").arg(base, stamp));
    for (int n = 2; QFileInfo::exists(name); ++n)
        name = info.dir().filePath(QStringLiteral("%1.before-%2-%3.xml").arg(base, stamp).arg(n));
    return name;
}

}  // namespace cli
