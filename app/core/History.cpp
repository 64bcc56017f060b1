#include "app/core/History.h"

#include "app/core/Advance.h"
#include "mapfile/core/MapFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QSaveFile>
#include <QSet>
#include <QStringDecoder>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardPaths>
#include <algorithm>
#ifdef Q_OS_UNIX
#include <dirent.h>
#endif
#include <stdexcept>

namespace {

const QString StampFormat = QStringLiteral("yyyyMMdd-HHmmss");
// A folder full of points of one second is a fault of its own, not a reason
// to try names for ever.
constexpr int MaxSuffix = 9999;

}  // namespace

QString TransferKindWord(TransferKind kind)
{
    switch (kind) {
    case TransferKind::Write:
        return QStringLiteral("write");
    case TransferKind::Compare:
        return QStringLiteral("compare");
    case TransferKind::Read:
        break;
    }
    return QStringLiteral("read");
}

namespace {

const QString NoteSuffix = QStringLiteral(".note");

// The base name of a restore point's file: its name without ".xml".
QString BaseOf(const QString& restorePointFile)
{
    QString base = restorePointFile;
    if (base.endsWith(QLatin1String(".xml")))
        base.chop(4);
    return base;
}

// Whether text holds a character that a one-line note cannot hold.
bool HoldsControl(const QString& text)
{
    return std::any_of(text.begin(), text.end(), [](QChar c) { return c.category() == QChar::Other_Control; });
}

}  // namespace

QString HistoryFolder()
{
    const QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (data.isEmpty())
        return QString();
    return QDir::cleanPath(data + QStringLiteral("/tarvo-gui/history"));
}

QString RestorePointName(const RestorePointInfo& info, int suffix)
{
    QString name = info.when.toString(StampFormat) + QLatin1Char('-') + TransferKindWord(info.kind)
                 + QStringLiteral("-COM") + QString::number(info.port);
    if (info.hasFirmware)
        name += QStringLiteral("-fw") + QString::number(info.firmware);
    if (!info.visit.isEmpty())
        name += QStringLiteral("-v") + info.visit;
    if (suffix > 1)
        name += QLatin1Char('-') + QString::number(suffix);
    return name + QStringLiteral(".xml");
}

QString TransferKindText(TransferKind kind)
{
    switch (kind) {
    case TransferKind::Write:
        return QStringLiteral("запись");
    case TransferKind::Compare:
        return QStringLiteral("сравнение");
    case TransferKind::Read:
        break;
    }
    return QStringLiteral("чтение");
}

QString RestorePointEntry::WhenText() const
{
    // yyyyMMdd-HHmmss
    return stamp.mid(6, 2) + QLatin1Char('.') + stamp.mid(4, 2) + QLatin1Char('.') + stamp.left(4) + QLatin1Char(' ')
         + stamp.mid(9, 2) + QLatin1Char(':') + stamp.mid(11, 2) + QLatin1Char(':') + stamp.mid(13, 2);
}

QString RestorePointSearchText(const RestorePointEntry& entry, const QString& note)
{
    return (entry.WhenText() + QLatin1Char('\n') + TransferKindText(entry.kind) + QLatin1Char(' ')
            + TransferKindWord(entry.kind) + QStringLiteral("\nCOM") + QString::number(entry.port) + QLatin1Char('\n')
            + note)
        .toLower();
}

bool ParseRestorePointName(const QString& fileName, RestorePointEntry& entry)
{
    static const QRegularExpression pattern(QStringLiteral(
        "^(([0-9]{4})([0-9]{2})([0-9]{2})-([0-9]{2})([0-9]{2})([0-9]{2}))-(read|write|compare)-COM(-?[0-9]{1,9})"
        "(?:-fw(-?[0-9]{1,9}))?(?:-v([0-9a-z]{1,32}))?(?:-([0-9]{1,9}))?\\.xml$"));
    const QRegularExpressionMatch m = pattern.match(fileName);
    if (!m.hasMatch())
        return false;
    // A date and a time of day that exist; building a QDateTime for each of
    // a hundred thousand names would cost the listing seconds.
    const auto field = [&m](int n) { return m.capturedView(n).toInt(); };
    if (!QDate::isValid(field(2), field(3), field(4)) || !QTime::isValid(field(5), field(6), field(7)))
        return false;
    entry.stamp = m.captured(1);
    const QStringView kind = m.capturedView(8);
    entry.kind = kind == QLatin1String("write")   ? TransferKind::Write
               : kind == QLatin1String("compare") ? TransferKind::Compare
                                                  : TransferKind::Read;
    entry.port = field(9);
    entry.hasFirmware = m.capturedLength(10) > 0;
    entry.firmware = entry.hasFirmware ? field(10) : 0;
    entry.visit = m.captured(11);
    entry.suffix = m.capturedLength(12) > 0 ? field(12) : 1;
    return true;
}

QString RestorePointNoteFile(const QString& restorePointFile)
{
    return BaseOf(restorePointFile) + NoteSuffix;
}

QString ReadRestorePointNote(const QString& restorePointFile, bool* damaged)
{
    const auto fail = [damaged] {
        if (damaged)
            *damaged = true;
        return QString();
    };
    if (damaged)
        *damaged = false;
    const QString name = RestorePointNoteFile(restorePointFile);
    const QFileInfo info(name);
    if (!info.exists())
        return QString();
    if (!info.isFile())
        return fail();
    QFile file(name);
    if (!file.open(QIODevice::ReadOnly))
        return fail();
    QByteArray bytes = file.read(MaxNoteBytes + 1);
    if (bytes.size() > MaxNoteBytes)
        return fail();
    if (bytes.endsWith('\n'))
        bytes.chop(1);
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString note = utf8.decode(bytes);
    if (utf8.hasError() || HoldsControl(note))
        return fail();
    return note;
}

bool SaveRestorePointNote(const QString& restorePointFile, const QString& note, QString* error)
{
    const auto fail = [error](const QString& reason) {
        if (error)
            *error = reason;
        return false;
    };
    QString line = note;
    for (QChar& c : line)
        if (c.category() == QChar::Other_Control)
            c = QLatin1Char(' ');
    const QByteArray bytes = line.toUtf8() + '\n';
    if (bytes.size() > MaxNoteBytes)
        return fail(QStringLiteral("заметка длиннее %1 байт").arg(MaxNoteBytes - 1));
    if (!QFileInfo(restorePointFile).isFile())
        return fail(QStringLiteral("точки восстановления «%1» нет").arg(restorePointFile));
    const QString name = RestorePointNoteFile(restorePointFile);
    if (QFileInfo::exists(name) && !QFileInfo(name).isFile())
        return fail(QStringLiteral("«%1» — не обычный файл").arg(name));
    QSaveFile file(name);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
        return fail(file.errorString());
    return true;
}

QString SaveRestorePoint(const QString& folder, const RestorePointInfo& info, const MapTable& lpg,
                         const MapTable& petrol, const QString& startTimeout, QString* error, const QString& note)
{
    const auto fail = [error](const QString& reason) {
        if (error)
            *error = reason;
        return QString();
    };
    if (folder.isEmpty())
        return fail(QStringLiteral("у пользователя нет папки данных"));
    if (!QDir().mkpath(folder))
        return fail(QStringLiteral("папку не удаётся создать"));

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
        // A note left without its restore point must not become the note of
        // a new one.
        if (QFileInfo::exists(RestorePointNoteFile(name)))
            continue;
        if (file.rename(name)) {
            QString reason;
            if (!note.isEmpty() && !SaveRestorePointNote(name, note, &reason) && error)
                *error = reason;
            return name;
        }
        if (!QFileInfo::exists(name)) {
            const QString reason = file.errorString();
            QFile::remove(temporary);
            return fail(reason);
        }
    }
    QFile::remove(temporary);
    return fail(QStringLiteral("все имена для %1 заняты").arg(RestorePointName(info)));
}

QString RestorePointFailure(const QString& folder, const QString& reason)
{
    return QStringLiteral("Не удалось сохранить точку восстановления: %1: %2")
        .arg(QDir::toNativeSeparators(folder), reason);
}

QString RestorePointNoteFailure(const QString& restorePointFile, const QString& reason)
{
    return QStringLiteral("Не удалось сохранить запись об автомобиле: %1: %2")
        .arg(QDir::toNativeSeparators(RestorePointNoteFile(restorePointFile)), reason);
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
                          const QString& startTimeout, std::optional<int> firmware, const QString& note,
                          const QString& visit, QString* file)
{
    RestorePointInfo info;
    info.when = QDateTime::currentDateTime();
    info.kind = kind;
    info.port = port;
    info.hasFirmware = firmware.has_value();
    info.firmware = firmware.value_or(0);
    info.visit = visit;
    const QString folder = HistoryFolder();
    QString error;
    const QString saved = SaveRestorePoint(folder, info, WireMap(lpg), WireMap(petrol), startTimeout, &error, note);
    if (file)
        *file = saved;
    if (saved.isEmpty())
        return RestorePointFailure(folder, error);
    if (!error.isEmpty())
        return RestorePointNoteFailure(saved, error);
    return QString();
}

namespace {

// Each name of folder's files, with the platform's own listing where it can
// give them without looking at each file; a folder gives no name.
template <typename Take>
void EachName(const QString& folder, Take take)
{
#ifdef Q_OS_UNIX
    DIR* dir = ::opendir(QFile::encodeName(folder).constData());
    if (!dir)
        return;
    while (const dirent* e = ::readdir(dir)) {
        if (e->d_type == DT_DIR || e->d_name[0] == '.')
            continue;
        take(QFile::decodeName(e->d_name));
    }
    ::closedir(dir);
#else
    QDirIterator it(folder, QDir::Files | QDir::System);
    while (it.hasNext()) {
        it.next();
        take(it.fileName());
    }
#endif
}

}  // namespace

QList<RestorePointEntry> ListRestorePoints(const QString& folder)
{
    QList<RestorePointEntry> entries;
    if (folder.isEmpty())
        return entries;
    // The names alone: nothing is opened and no file is looked at one by
    // one. A name that is not a regular file is refused when it is read.
    QSet<QString> notes;
    QStringList bases;
    const QString prefix = folder + QLatin1Char('/');
    EachName(folder, [&](const QString& name) {
        if (name.endsWith(NoteSuffix)) {
            notes.insert(name.chopped(NoteSuffix.size()));
            return;
        }
        RestorePointEntry entry;
        if (!ParseRestorePointName(name, entry))
            return;
        entry.file = prefix + name;
        entries.append(entry);
        bases.append(name.chopped(4));
    });
    for (int i = 0; i < entries.size(); ++i)
        entries[i].hasNote = notes.contains(bases.at(i));
    std::sort(entries.begin(), entries.end(), [](const RestorePointEntry& a, const RestorePointEntry& b) {
        if (a.stamp != b.stamp)
            return a.stamp > b.stamp;
        if (a.suffix != b.suffix)
            return a.suffix > b.suffix;
        return a.file > b.file;
    });
    return entries;
}

void LoadRestorePoint(const QString& file, MapTable& lpg, MapTable& petrol)
{
    // A pipe or a device would keep the reader waiting.
    if (!QFileInfo(file).isFile())
        throw std::runtime_error(QStringLiteral("«%1» — не обычный файл").arg(file).toStdString());
    LoadMapFile(file, lpg, petrol);
}
