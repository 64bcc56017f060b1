#include "mapfile/ui/HistoryWatch.h"

#include <QThread>

QThread* StartHistoryLook(QObject* receiver, std::shared_ptr<THistorySeen> seen,
                          std::function<void(const QList<RestorePointEntry>& added, const QStringList& noted)> take)
{
    QThread* look = QThread::create([receiver, seen, take] {
        if (!seen->listed.isEmpty()) {
            SeeRestorePoints(seen->names, seen->listed);
            seen->listed.clear();
        }
        QList<RestorePointEntry> added;
        QStringList noted;
        if (!LookAgain(seen->folder, seen->names, added, noted))
            return;
        if (!added.isEmpty() || !noted.isEmpty())
            QMetaObject::invokeMethod(
                receiver, [take, added, noted] { take(added, noted); }, Qt::QueuedConnection);
    });
    look->setObjectName(QStringLiteral("HistoryLook"));
    look->start(QThread::LowPriority);
    return look;
}
