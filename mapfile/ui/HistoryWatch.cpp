#include "mapfile/ui/HistoryWatch.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QThread>

QThread* StartHistoryLook(QObject* receiver, std::shared_ptr<THistorySeen> seen,
                          std::function<void(const QList<RestorePointEntry>& added, const QStringList& noted)> take)
{
    QThread* look = QThread::create([receiver, seen, take] {
        QElapsedTimer took;
        took.start();
        if (!seen->listed.isEmpty()) {
            SeeRestorePoints(seen->names, seen->listed);
            seen->listed.clear();
        }
        // The stamp before the listing, so that a name added during it
        // changes the stamp the next look compares.
        const QByteArray stamp = FolderStamp(seen->folder);
        const qint64 now = QDateTime::currentMSecsSinceEpoch();
        if (!stamp.isEmpty() && stamp == seen->stamp && now - seen->listedAt < HistoryListAnywayMilliseconds)
            return;
        QList<RestorePointEntry> added;
        QStringList noted;
        const bool readable = LookAgain(seen->folder, seen->names, added, noted);
        seen->stamp = readable ? stamp : QByteArray();
        seen->listedAt = now;
        seen->lastLookMs = took.elapsed();
        ++seen->listings;
        if (!readable)
            return;
        if (!added.isEmpty() || !noted.isEmpty())
            QMetaObject::invokeMethod(
                receiver, [take, added, noted] { take(added, noted); }, Qt::QueuedConnection);
    });
    look->setObjectName(QStringLiteral("HistoryLook"));
    look->start(QThread::LowPriority);
    return look;
}
