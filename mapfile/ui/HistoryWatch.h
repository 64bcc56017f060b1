#pragma once

#include "app/core/History.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

class QObject;
class QThread;

// An open history looks at its folder again this often, by listing its names
// on a thread of its own: a share delivers no change notifications. On a
// local disk the folder's stamp (FolderStamp) tells when nothing changed, and
// then it lists again only every HistoryListAnywayMilliseconds; a look that
// took long (a slow share) waits three times as long before the next.
constexpr int HistoryLookMilliseconds = 2000;
constexpr int HistoryListAnywayMilliseconds = 30000;

// What an open history has seen of its folder, kept by the thread of one look
// at a time. The first look takes in listed, the list the dialog opened with.
struct THistorySeen {
    QString folder;
    QList<RestorePointEntry> listed;
    SeenNames names;
    QByteArray stamp;       // the folder's at the last listing
    qint64 listedAt = 0;    // ms since the epoch, of the last listing
    qint64 lastLookMs = 0;  // how long the last look took
    int listings = 0;       // how many looks listed the folder
};

// Starts a thread that looks at seen's folder once: take then runs on
// receiver's thread with the restore points that came since, in the list's
// order, and the files of those already listed whose note came since. The
// owner waits for the thread and deletes it.
QThread* StartHistoryLook(QObject* receiver, std::shared_ptr<THistorySeen> seen,
                          std::function<void(const QList<RestorePointEntry>& added, const QStringList& noted)> take);
