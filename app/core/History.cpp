#include "app/core/History.h"

#include "app/core/Advance.h"
#include "mapfile/core/MapFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QMutex>
#include <QRandomGenerator>
#include <QSaveFile>
#include <QSet>
#include <QSettings>
#include <QStringDecoder>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QSysInfo>
#include <algorithm>
#include <atomic>
#ifdef Q_OS_UNIX
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif
#ifdef Q_OS_LINUX
#include <sys/vfs.h>
#endif
#ifdef Q_OS_WIN
#include <windows.h>
#endif
#include <stdexcept>
#include <utility>

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

namespace {

// The setting of the history folder, and the folder of this run.
const QString HistoryFolderKey = QStringLiteral("HistoryFolder");
QString runFolder;

QSettings Settings()
{
    return QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("tarvo-gui"),
                     QStringLiteral("tarvo-gui"));
}

}  // namespace

QString ChosenHistoryFolder()
{
    return Settings().value(HistoryFolderKey).toString();
}

void KeepChosenHistoryFolder(const QString& folder)
{
    QSettings settings = Settings();
    if (folder.isEmpty())
        settings.remove(HistoryFolderKey);
    else
        settings.setValue(HistoryFolderKey, QDir::cleanPath(QDir::fromNativeSeparators(folder)));
    settings.sync();
}

void UseHistoryFolderForRun(const QString& folder)
{
    runFolder = folder.isEmpty() ? QString() : QDir::cleanPath(QDir::fromNativeSeparators(folder));
}

QString HistoryFolder()
{
    if (!runFolder.isEmpty())
        return runFolder;
    const QString chosen = ChosenHistoryFolder();
    return chosen.isEmpty() ? DefaultHistoryFolder() : chosen;
}

QString HostToken(const QString& hostName)
{
    QString token = hostName.left(63);
    for (QChar& c : token) {
        const char16_t u = c.unicode();
        if (!((u >= '0' && u <= '9') || (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z')))
            c = QLatin1Char('_');
    }
    return token;
}

QString LocalHostToken()
{
    static const QString token = HostToken(QSysInfo::machineHostName());
    return token;
}

QString DefaultHistoryFolder()
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
    if (!info.host.isEmpty())
        name += QStringLiteral("-h") + info.host;
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
            + entry.host + QLatin1Char('\n') + note)
        .toLower();
}

bool ParseRestorePointName(const QString& fileName, RestorePointEntry& entry)
{
    static const QRegularExpression pattern(QStringLiteral(
        "^(([0-9]{4})([0-9]{2})([0-9]{2})-([0-9]{2})([0-9]{2})([0-9]{2}))-(read|write|compare)-COM(-?[0-9]{1,9})"
        "(?:-fw(-?[0-9]{1,9}))?(?:-v(?<visit>[0-9a-z]{1,32}))?(?:-h(?<host>[A-Za-z0-9_]{1,63}))?(?:-(?<suffix>[0-9]{1,9}))?\\.xml$"));
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
    static const int visitGroup = int(pattern.namedCaptureGroups().indexOf(QStringLiteral("visit")));
    static const int hostGroup = int(pattern.namedCaptureGroups().indexOf(QStringLiteral("host")));
    static const int suffixGroup = int(pattern.namedCaptureGroups().indexOf(QStringLiteral("suffix")));
    entry.visit = m.captured(visitGroup);
    entry.suffix = m.capturedLength(suffixGroup) > 0 ? field(suffixGroup) : 1;
    entry.host = m.captured(hostGroup);
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

    // Written whole under a name of this workstation's and process's own
    // first, which no listing takes for a restore point, so that a restore
    // point is either complete or not there at all.
    static std::atomic<int> serial{0};
    const QDir dir(folder);
    const QString temporary = dir.filePath(QStringLiteral(".%1-%2-%3-%4.part")
                                               .arg(LocalHostToken())
                                               .arg(QCoreApplication::applicationPid())
                                               .arg(++serial)
                                               .arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0')));
    try {
        SaveMapFile(temporary, lpg, petrol, startTimeout);
    } catch (const std::exception& e) {
        QFile::remove(temporary);
        return fail(QString::fromUtf8(e.what()));
    }

    // The move refuses a name that exists, at the moment of the move: any
    // number of programs, on any number of computers, saving in the same
    // second each get a name of their own.
    for (int suffix = 1; suffix <= MaxSuffix; ++suffix) {
        const QString name = dir.filePath(RestorePointName(info, suffix));
        // A note left without its restore point must not become the note of
        // a new one.
        if (QFileInfo::exists(RestorePointNoteFile(name)))
            continue;
        QString reason;
        const int moved = PublishNewFile(temporary, name, &reason);
        if (moved > 0) {
            if (!note.isEmpty() && !SaveRestorePointNote(name, note, &reason) && error)
                *error = reason;
            return name;
        }
        if (moved < 0) {
            QFile::remove(temporary);
            return fail(reason);
        }
    }
    QFile::remove(temporary);
    return fail(QStringLiteral("все имена для %1 заняты").arg(RestorePointName(info)));
}

namespace {

#ifdef Q_OS_UNIX
// Whether a failed move or link says the file system lacks it, rather than
// that it failed.
bool Unsupported(int error)
{
    return error == EINVAL || error == ENOSYS || error == EOPNOTSUPP || error == ENOTSUP || error == EPERM
        || error == EMLINK || error == EXDEV;
}

// An exclusive create or a link over NFS can be done by the server and still
// be answered "exists" when the reply is lost and the call is sent again:
// then from has two links, one of them the new name.
bool LinkedTwice(const QByteArray& from)
{
    struct stat st = {};
    return ::stat(from.constData(), &st) == 0 && st.st_nlink == 2;
}

int LinkInPlace(const QByteArray& from, const QByteArray& to, int* error)
{
    if (::link(from.constData(), to.constData()) != 0) {
        *error = errno;
        if (*error != EEXIST || !LinkedTwice(from))
            return *error == EEXIST ? 0 : -1;
    }
    ::unlink(from.constData());
    return 1;
}

// The name's claim file: created exclusively by the one writer that may move
// a file to the name, and removed once it has (or has seen the name taken).
int MoveClaimed(const QByteArray& from, const QString& to, int* error)
{
    const QFileInfo target(to);
    const QByteArray name = QFile::encodeName(to);
    const QByteArray claim
        = QFile::encodeName(target.path() + QStringLiteral("/.") + target.fileName() + QStringLiteral(".claim"));
    const int fd = ::open(claim.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) {
        *error = errno;
        return *error == EEXIST ? 0 : -1;
    }
    ::close(fd);
    int moved = 0;
    struct stat st = {};
    if (::lstat(name.constData(), &st) == 0) {
        moved = 0;
    } else if (errno != ENOENT) {
        *error = errno;
        moved = -1;
    } else if (::rename(from.constData(), name.constData()) == 0) {
        moved = 1;
    } else {
        *error = errno;
        moved = -1;
    }
    ::unlink(claim.constData());
    return moved;
}
#endif

}  // namespace

int PublishNewFile(const QString& from, const QString& to, QString* error, PublishWay way)
{
    int code = 0;
    int moved = -1;
#ifdef Q_OS_WIN
    // MoveFileExW without MOVEFILE_REPLACE_EXISTING fails on a taken name, and
    // a share's server does the same; no other way is needed here.
    Q_UNUSED(way);
    const QString source = QDir::toNativeSeparators(from);
    const QString target = QDir::toNativeSeparators(to);
    if (MoveFileExW(reinterpret_cast<const wchar_t*>(source.utf16()), reinterpret_cast<const wchar_t*>(target.utf16()),
                    MOVEFILE_WRITE_THROUGH)) {
        moved = 1;
    } else {
        code = int(GetLastError());
        moved = code == ERROR_ALREADY_EXISTS || code == ERROR_FILE_EXISTS ? 0 : -1;
    }
#else
    const QByteArray source = QFile::encodeName(from);
    const QByteArray target = QFile::encodeName(to);
    bool tried = false;
#ifdef Q_OS_LINUX
    if (way == PublishWay::Best) {
        tried = ::renameat2(AT_FDCWD, source.constData(), AT_FDCWD, target.constData(), RENAME_NOREPLACE) == 0;
        code = errno;
        if (tried)
            moved = 1;
        else if (code == EEXIST)
            moved = 0;
        tried = tried || !Unsupported(code);
    }
#endif
    if (!tried && way != PublishWay::Claim) {
        moved = LinkInPlace(source, target, &code);
        tried = moved >= 0 || !Unsupported(code);
    }
    if (!tried)
        moved = MoveClaimed(source, to, &code);
#endif
    if (moved < 0 && error)
        *error = qt_error_string(code);
    return moved;
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
            uoz = AdvanceFromThousandths(code);
    }
    return wire;
}

namespace {

// The history folder in use that failed, while restore points go to the
// default folder instead; empty while it takes them.
QMutex fallbackLock;
QString failedFolder;
QString folderNews;  // not yet told

// Saves a restore point into the history folder in use, or, when that fails,
// into the default folder; the message to tell is left in told.
QString SaveWhereItCan(const RestorePointInfo& info, const MapTable& lpg, const MapTable& petrol,
                       const QString& startTimeout, const QString& note, QString* error, QString* told)
{
    const QString folder = HistoryFolder();
    const QString local = DefaultHistoryFolder();
    if (folder == local)
        return SaveRestorePoint(folder, info, lpg, petrol, startTimeout, error, note);
    // A chosen folder is never made: one that is missing is a share not
    // mounted, a folder moved away, a network that is down.
    QString file;
    if (QFileInfo(folder).isDir())
        file = SaveRestorePoint(folder, info, lpg, petrol, startTimeout, error, note);
    else if (error)
        *error = QStringLiteral("папки нет или она недоступна");
    const QMutexLocker locker(&fallbackLock);
    if (!file.isEmpty()) {
        if (failedFolder == folder)
            *told = QStringLiteral("Папка истории снова доступна: точка восстановления сохранена в «%1». "
                                   "Сохранённые, пока она была недоступна, лежат в «%2».")
                        .arg(QDir::toNativeSeparators(file), QDir::toNativeSeparators(local));
        failedFolder.clear();
        return file;
    }
    const QString reason = error ? *error : QString();
    QString localError;
    file = SaveRestorePoint(local, info, lpg, petrol, startTimeout, &localError, note);
    if (file.isEmpty()) {
        if (error)
            *error = reason + QStringLiteral("; в папке по умолчанию тоже: ") + localError;
        return file;
    }
    if (error)
        *error = localError;
    if (failedFolder != folder)
        *told = QStringLiteral("Папка истории «%1» недоступна: %2. Точка восстановления сохранена в «%3»; "
                               "следующие, пока папка недоступна, тоже будут сохраняться туда.")
                    .arg(QDir::toNativeSeparators(folder), reason, QDir::toNativeSeparators(local));
    failedFolder = folder;
    return file;
}

}  // namespace

void ForgetHistoryFallback()
{
    const QMutexLocker locker(&fallbackLock);
    failedFolder.clear();
    folderNews.clear();
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
    info.host = LocalHostToken();
    QString error;
    QString told;
    const QString saved = SaveWhereItCan(info, WireMap(lpg), WireMap(petrol), startTimeout, note, &error, &told);
    if (!told.isEmpty()) {
        const QMutexLocker locker(&fallbackLock);
        folderNews = told;
    }
    if (file)
        *file = saved;
    if (saved.isEmpty())
        return RestorePointFailure(HistoryFolder(), error);
    if (!error.isEmpty())
        return RestorePointNoteFailure(saved, error);
    return QString();
}

QString TakeHistoryFolderNews()
{
    const QMutexLocker locker(&fallbackLock);
    return std::exchange(folderNews, QString());
}

namespace {

// Each name of folder's files as the system gives it, with the platform's
// own listing where it can give them without looking at each file; a folder
// gives no name, nor a name that starts with a dot. False when the folder
// cannot be read.
template <typename Take>
bool EachName(const QString& folder, Take take)
{
#ifdef Q_OS_UNIX
    DIR* dir = ::opendir(QFile::encodeName(folder).constData());
    if (!dir)
        return false;
    while (const dirent* e = ::readdir(dir)) {
        if (e->d_type == DT_DIR || e->d_name[0] == '.')
            continue;
        take(QByteArray::fromRawData(e->d_name, int(std::strlen(e->d_name))));
    }
    ::closedir(dir);
    return true;
#else
    const QFileInfo info(folder);
    if (!info.isDir() || !info.isReadable())
        return false;
    QDirIterator it(folder, QDir::Files | QDir::System);
    while (it.hasNext()) {
        it.next();
        if (!it.fileName().startsWith(QLatin1Char('.')))
            take(QFile::encodeName(it.fileName()));
    }
    return true;
#endif
}

const QByteArray NoteBytes = QByteArrayLiteral(".note");

}  // namespace

bool ListedBefore(const RestorePointEntry& a, const RestorePointEntry& b)
{
    if (a.stamp != b.stamp)
        return a.stamp > b.stamp;
    if (a.suffix != b.suffix)
        return a.suffix > b.suffix;
    return a.file > b.file;
}

QList<RestorePointEntry> ListRestorePoints(const QString& folder)
{
    QList<RestorePointEntry> entries;
    ListRestorePoints(folder, entries);
    return entries;
}

namespace {

// A listing of folder that leaves out what seen has seen, and, when seen is
// given, takes what it finds in.
bool Look(const QString& folder, SeenNames* seen, QList<RestorePointEntry>& found, QStringList& noted);

}  // namespace

bool ListRestorePoints(const QString& folder, QList<RestorePointEntry>& list)
{
    QStringList noted;
    return Look(folder, nullptr, list, noted);
}

bool LookAgain(const QString& folder, SeenNames& seen, QList<RestorePointEntry>& found, QStringList& noted)
{
    return Look(folder, &seen, found, noted);
}

QByteArray FolderStamp(const QString& folder)
{
#ifdef Q_OS_LINUX
    const QByteArray path = QFile::encodeName(folder);
    struct statfs fs = {};
    if (::statfs(path.constData(), &fs) != 0)
        return QByteArray();
    // ext2/3/4, xfs, btrfs, tmpfs
    const long local[] = {0xEF53, 0x58465342, 0x9123683E, 0x01021994};
    if (std::find(std::begin(local), std::end(local), long(fs.f_type)) == std::end(local))
        return QByteArray();
    struct stat st = {};
    if (::stat(path.constData(), &st) != 0)
        return QByteArray();
    // A change in the same tick of the clock as the last one keeps the
    // time: a folder changed lately has no stamp to trust yet.
    if (QDateTime::currentSecsSinceEpoch() - qint64(st.st_mtim.tv_sec) < 3)
        return QByteArray();
    return QByteArray::number(qulonglong(st.st_dev)) + ':' + QByteArray::number(qulonglong(st.st_ino)) + ':'
         + QByteArray::number(qlonglong(st.st_mtim.tv_sec)) + '.' + QByteArray::number(qlonglong(st.st_mtim.tv_nsec))
         + ':' + QByteArray::number(qlonglong(st.st_size));
#else
    Q_UNUSED(folder);
    return QByteArray();
#endif
}

void SeeRestorePoints(SeenNames& seen, const QList<RestorePointEntry>& entries)
{
    seen.names.reserve(seen.names.size() + 2 * entries.size());
    for (const RestorePointEntry& e : entries) {
        const QByteArray name = QFile::encodeName(QFileInfo(e.file).fileName());
        seen.names.insert(name);
        const QByteArray base = name.chopped(4);
        if (e.hasNote)
            seen.names.insert(base + NoteBytes);
        else
            seen.withoutNote.insert(base);
    }
}

namespace {

bool Look(const QString& folder, SeenNames* seen, QList<RestorePointEntry>& found, QStringList& noted)
{
    found.clear();
    noted.clear();
    if (folder.isEmpty())
        return false;
    // The names alone: nothing is opened and no file is looked at one by
    // one. A name that is not a regular file is refused when it is read.
    QSet<QByteArray> notes;
    QList<QByteArray> bases;
    const QString prefix = folder + QLatin1Char('/');
    const bool readable = EachName(folder, [&](const QByteArray& raw) {
        if (seen && seen->names.contains(raw))
            return;
        if (raw.endsWith(NoteBytes)) {
            notes.insert(raw.chopped(NoteBytes.size()));
            return;
        }
        const QString name = QFile::decodeName(raw);
        RestorePointEntry entry;
        if (!ParseRestorePointName(name, entry))
            return;
        entry.file = prefix + name;
        found.append(entry);
        bases.append(QByteArray(raw.constData(), raw.size() - 4));
    });
    if (!readable)
        return false;
    for (int i = 0; i < found.size(); ++i) {
        found[i].hasNote = notes.remove(bases.at(i));
        if (!seen)
            continue;
        seen->names.insert(bases.at(i) + QByteArrayLiteral(".xml"));
        if (found[i].hasNote)
            seen->names.insert(bases.at(i) + NoteBytes);
        else
            seen->withoutNote.insert(bases.at(i));
    }
    // Notes of restore points seen before; a note whose restore point is
    // not there is left for a later look, when its point may have come.
    for (const QByteArray& base : std::as_const(notes)) {
        if (!seen || !seen->withoutNote.remove(base))
            continue;
        seen->names.insert(base + NoteBytes);
        noted << prefix + QFile::decodeName(base) + QStringLiteral(".xml");
    }
    std::sort(found.begin(), found.end(), ListedBefore);
    return true;
}

}  // namespace

void LoadRestorePoint(const QString& file, MapTable& lpg, MapTable& petrol)
{
    // A pipe or a device would keep the reader waiting.
    if (!QFileInfo(file).isFile())
        throw std::runtime_error(QStringLiteral("«%1» — не обычный файл").arg(file).toStdString());
    LoadMapFile(file, lpg, petrol);
}
