#pragma once

#include "app/core/MapStore.h"

#include <QString>
#include <QStringList>
#include <QVector>
#include <functional>

class QObject;
class QThread;

// What the reading thread found about one restore point: its note, or how
// its maps compare with the maps being edited; or, for a visit (isVisit, its
// group in entry), how many points its last restore point changed against
// its first (differing; damaged when one of them does not open).
struct Finding {
    int entry = 0;
    bool isNote = false;
    bool isVisit = false;
    QString note;
    bool damaged = false;
    QString fault;
    int differing = 0;
};

// The two restore points of a visit whose maps are compared: the one it came
// in with and the one it left with.
struct VisitPair {
    int group = 0;
    QString before;
    QString after;
};

// A batch goes to the list this often, or every so many findings.
constexpr int BatchMilliseconds = 50;
constexpr int BatchFindings = 256;

// Starts a thread of low priority that reads the notes of files (those whose
// notes[i] is set), which the search needs, then their maps, newest first, so
// that the rows at the top of the list get their counts first; each map is
// compared with lpg and petrol, copies of the maps being edited; then the two
// restore points of each visit, compared with each other. The findings
// go in batches to take, and after the last one done is called; both run on
// receiver's thread, never on the reader's. The thread stops early when it is
// asked to (requestInterruption); its owner waits for it and deletes it.
QThread* StartHistoryReader(QObject* receiver, const QStringList& files, const QVector<bool>& notes,
                            const QVector<VisitPair>& visits, const MapTable& lpg, const MapTable& petrol,
                            std::function<void(const QVector<Finding>&)> take, std::function<void()> done);
