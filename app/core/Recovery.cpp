#include "app/core/Recovery.h"

#include "mapfile/core/MapFile.h"
#include "app/core/MapStore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QThread>
#include <QTimer>
#include <QtGlobal>
#include <stdexcept>

namespace {

QString LockName(const QString& folder, int n) { return QStringLiteral("%1/recovery-%2.lock").arg(folder).arg(n); }
QString FileName(const QString& folder, int n) { return QStringLiteral("%1/recovery-%2.xml").arg(folder).arg(n); }

// A lock that counts as free when its process has ended, however long it was
// held before.
std::unique_ptr<QLockFile> TryLock(const QString& name)
{
    auto lock = std::make_unique<QLockFile>(name);
    lock->setStaleLockTime(0);
    if (!lock->tryLock(0))
        return nullptr;
    return lock;
}

// The file is written on a thread of its own, so that no edit waits for the
// disk: the window's thread takes a copy of the maps and the start-timeout
// text when the delay has run out and hands it over. One writer thread keeps
// the writes in the order they were taken.
struct Snapshot {
    QString file;
    MapTable lpg;
    MapTable petrol;
    QString startTimeout;
};

struct Writes {
    RecoverySlot* slot = nullptr;
    std::function<QString()> startTimeout;
    QTimer* timer = nullptr;
    QThread* thread = nullptr;
    QObject* writer = nullptr;  // lives on thread
    bool reported = false;      // touched by the writer thread only
};
Writes writes;

// On the writer thread.
void WriteSnapshot(const Snapshot& s)
{
    QString error;
    // A start-timeout text that an XML file cannot hold must not cost the
    // maps: they are then kept without it.
    RecoverySlot slot;
    slot.file = s.file;
    if (WriteRecoveryFile(slot, s.lpg, s.petrol, s.startTimeout, &error)
        || WriteRecoveryFile(slot, s.lpg, s.petrol, QString(), nullptr)) {
        writes.reported = false;
    } else if (!writes.reported) {
        writes.reported = true;
        qWarning("tarvo-gui: the recovery file cannot be written: %s", qUtf8Printable(error));
    }
}

void WriteNow()
{
    if (!writes.slot || writes.slot->file.isEmpty() || !writes.writer)
        return;
    const Snapshot s{writes.slot->file, LPGTable, PetrolTable, writes.startTimeout()};
    QMetaObject::invokeMethod(
        writes.writer, [s] { WriteSnapshot(s); }, Qt::QueuedConnection);
}

}  // namespace

RecoverySlot::RecoverySlot() = default;
RecoverySlot::~RecoverySlot() = default;

QString RecoveryFolder()
{
#if defined(Q_OS_UNIX) && !defined(Q_OS_MACOS)
    QString state = QString::fromLocal8Bit(qgetenv("XDG_STATE_HOME"));
    if (!QDir::isAbsolutePath(state))
        state = QDir::homePath() + QStringLiteral("/.local/state");
    return QDir::cleanPath(state + QStringLiteral("/tarvo-gui"));
#else
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
#endif
}

int ClaimRecoverySlot(const QString& folder, RecoverySlot& slot)
{
    if (folder.isEmpty() || !QDir().mkpath(folder))
        return 0;
    for (int n = 1; n <= RecoverySlots; ++n) {
        if (QFileInfo::exists(FileName(folder, n)))
            continue;  // a live program's, or an orphan waiting to be offered
        auto lock = TryLock(LockName(folder, n));
        if (!lock)
            continue;
        // An orphan may have appeared before the lock was ours.
        if (QFileInfo::exists(FileName(folder, n)))
            continue;
        slot.lock = std::move(lock);
        slot.file = FileName(folder, n);
        return 1;
    }
    return 0;
}

int TakeRecoveryOrphan(const QString& folder, RecoverySlot& orphan)
{
    static const QRegularExpression name(QStringLiteral("^recovery-([0-9]+)\\.xml$"));
    const QFileInfoList files = QDir(folder).entryInfoList(QDir::Files, QDir::Time);  // newest first
    for (const QFileInfo& f : files) {
        const QRegularExpressionMatch m = name.match(f.fileName());
        if (!m.hasMatch())
            continue;
        auto lock = TryLock(LockName(folder, m.captured(1).toInt()));
        if (!lock || !f.exists())
            continue;
        orphan.lock = std::move(lock);
        orphan.file = f.filePath();
        return 1;
    }
    return 0;
}

void ReleaseRecoverySlot(RecoverySlot& slot, bool removeFile)
{
    if (removeFile && !slot.file.isEmpty())
        QFile::remove(slot.file);
    if (slot.lock)
        slot.lock->unlock();
    slot.lock.reset();
    slot.file.clear();
}

int WriteRecoveryFile(const RecoverySlot& slot, const MapTable& lpg, const MapTable& petrol,
                      const QString& startTimeout, QString* error)
{
    try {
        SaveMapFile(slot.file, lpg, petrol, startTimeout);
        return 1;
    } catch (const std::exception& e) {
        if (error)
            *error = QString::fromUtf8(e.what());
        return 0;
    }
}

void ReadRecoveryFile(const QString& fileName, MapTable& lpg, MapTable& petrol, QString& startTimeout)
{
    LoadMapFile(fileName, lpg, petrol, &startTimeout);
}

void StartRecoveryWrites(RecoverySlot* slot, std::function<QString()> startTimeout)
{
    StopRecoveryWrites();
    writes.slot = slot;
    writes.startTimeout = std::move(startTimeout);
    writes.timer = new QTimer;
    writes.timer->setSingleShot(true);
    writes.timer->setInterval(RecoveryDelayMs);
    QObject::connect(writes.timer, &QTimer::timeout, WriteNow);
    writes.thread = new QThread;
    writes.thread->setObjectName(QStringLiteral("recovery writer"));
    writes.writer = new QObject;
    writes.writer->moveToThread(writes.thread);
    writes.thread->start(QThread::LowPriority);
}

void RecoveryTouched()
{
    // Not restarted by later changes: a long run of key presses is written
    // within the delay of its first press.
    if (writes.timer && !writes.timer->isActive())
        writes.timer->start();
}

void RecoveryWriteNow()
{
    if (!writes.timer)
        return;
    writes.timer->stop();
    WriteNow();
}

void StopRecoveryWrites()
{
    delete writes.timer;
    writes.timer = nullptr;
    if (writes.thread) {
        // A write in progress ends first, so that the file is not written
        // again after it has been removed; one not yet begun is dropped.
        writes.thread->quit();
        writes.thread->wait();
        delete writes.writer;  // with whatever it was still given
        delete writes.thread;
    }
    writes = Writes();
}
