#include "mapfile/ui/HistoryWatch.h"

#include <QFileInfo>
#include <QThread>

namespace {

// The base name of a restore point's file, as the listing gives its notes.
QString BaseName(const QString& file)
{
    return QFileInfo(file).completeBaseName();
}

}  // namespace

QThread* StartHistoryLook(QObject* receiver, std::shared_ptr<THistorySeen> seen,
                          std::function<void(const QList<RestorePointEntry>& added, const QStringList& noted)> take)
{
    QThread* look = QThread::create([receiver, seen, take] {
        if (!seen->listed.isEmpty()) {
            seen->known.reserve(seen->listed.size());
            for (const RestorePointEntry& e : std::as_const(seen->listed)) {
                seen->known.insert(QFileInfo(e.file).fileName());
                if (!e.hasNote)
                    seen->withoutNote.insert(BaseName(e.file));
            }
            seen->listed.clear();
        }
        QList<RestorePointEntry> added;
        QSet<QString> notes;
        if (!ListNewRestorePoints(seen->folder, seen->known, added, &notes))
            return;
        for (const RestorePointEntry& e : std::as_const(added)) {
            seen->known.insert(QFileInfo(e.file).fileName());
            if (!e.hasNote)
                seen->withoutNote.insert(BaseName(e.file));
        }
        QStringList noted;
        if (!seen->withoutNote.isEmpty())
            for (const QString& base : std::as_const(notes))
                if (seen->withoutNote.remove(base))
                    noted << seen->folder + QLatin1Char('/') + base + QStringLiteral(".xml");
        if (!added.isEmpty() || !noted.isEmpty())
            QMetaObject::invokeMethod(
                receiver, [take, added, noted] { take(added, noted); }, Qt::QueuedConnection);
    });
    look->setObjectName(QStringLiteral("HistoryLook"));
    look->start(QThread::LowPriority);
    return look;
}
