#include "mapfile/ui/HistoryReader.h"

#include "app/core/History.h"
#include "app/core/MapCompare.h"

#include <QElapsedTimer>
#include <QThread>
#include <stdexcept>

namespace {

// The thread that reads the history's files; it runs the work it is given.
class TReader : public QThread {
public:
    explicit TReader(std::function<void()> work)
        : work(std::move(work))
    {
    }

protected:
    void run() override { work(); }

private:
    std::function<void()> work;
};

}  // namespace

QThread* StartHistoryReader(QObject* receiver, const QStringList& files, const QVector<bool>& notes,
                            const QVector<VisitPair>& visits, const MapTable& lpg, const MapTable& petrol,
                            std::function<void(const QVector<Finding>&)> take, std::function<void()> done)
{
    auto* reader = new TReader([receiver, files, notes, visits, lpg, petrol, take, done] {
        QVector<Finding> batch;
        QElapsedTimer since;
        since.start();
        const auto send = [&](bool now) {
            if (batch.isEmpty() || (!now && batch.size() < BatchFindings && since.elapsed() < BatchMilliseconds))
                return;
            QMetaObject::invokeMethod(
                receiver, [take, batch] { take(batch); }, Qt::QueuedConnection);
            batch.clear();
            since.restart();
        };
        QThread* self = QThread::currentThread();
        for (int i = 0; i < files.size() && !self->isInterruptionRequested(); ++i) {
            if (!notes.at(i))
                continue;
            Finding f;
            f.entry = i;
            f.isNote = true;
            f.note = ReadRestorePointNote(files.at(i));
            batch.append(f);
            send(false);
        }
        send(true);
        // A count of differing points, or the fault of a file that did not
        // load, for the list.
        const auto count = [&](Finding f, auto differing) {
            try {
                f.differing = differing();
            } catch (const std::exception& e) {
                f.damaged = true;
                f.fault = QString::fromUtf8(e.what());
            }
            batch.append(f);
            send(false);
        };
        for (int i = 0; i < files.size() && !self->isInterruptionRequested(); ++i) {
            Finding f;
            f.entry = i;
            count(f, [&] {
                MapTable pointLPG = {};
                MapTable pointPetrol = {};
                LoadRestorePoint(files.at(i), pointLPG, pointPetrol);
                return DifferingPointCount(pointLPG, pointPetrol, lpg, petrol);
            });
        }
        send(true);
        for (int v = 0; v < visits.size() && !self->isInterruptionRequested(); ++v) {
            Finding f;
            f.entry = visits.at(v).group;
            f.isVisit = true;
            count(f, [&] {
                MapTable beforeLPG = {};
                MapTable beforePetrol = {};
                MapTable afterLPG = {};
                MapTable afterPetrol = {};
                LoadRestorePoint(visits.at(v).before, beforeLPG, beforePetrol);
                LoadRestorePoint(visits.at(v).after, afterLPG, afterPetrol);
                return DifferingPointCount(beforeLPG, beforePetrol, afterLPG, afterPetrol);
            });
        }
        send(true);
        QMetaObject::invokeMethod(receiver, done, Qt::QueuedConnection);
    });
    reader->setObjectName(QStringLiteral("HistoryReader"));
    reader->start(QThread::LowPriority);
    return reader;
}
