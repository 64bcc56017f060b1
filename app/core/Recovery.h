#pragma once

#include <QString>
#include <functional>
#include <memory>

class QLockFile;
struct MapTable;

// Recovery after a crash. While the program runs it keeps both maps and the
// start-timeout text in a recovery file, a map file in the recovery folder,
// rewritten shortly after every change; a normal end removes it. Each running
// program holds a slot of the folder: the lock file "recovery-N.lock", which
// names its process, and the recovery file "recovery-N.xml" of the same
// number. Programs running at the same time therefore never share a file, and
// a recovery file whose lock no running program holds is an orphan: the maps of
// a run that did not end properly.

// $XDG_STATE_HOME/tarvo-gui, or ~/.local/state/tarvo-gui where XDG_STATE_HOME
// is unset or not absolute, on Linux and the other Unix systems; the
// application-data folder elsewhere.
QString RecoveryFolder();

// A slot of the recovery folder, held through its lock.
struct RecoverySlot {
    std::unique_ptr<QLockFile> lock;
    QString file;  // the recovery file; empty while no slot is held
    RecoverySlot();
    ~RecoverySlot();
};

// Slots looked at; a folder full of live programs gets no slot.
constexpr int RecoverySlots = 64;

// Takes the first free slot that has no recovery file, creating the folder.
// 1 on success, 0 when the folder cannot be used or every slot is taken.
int ClaimRecoverySlot(const QString& folder, RecoverySlot& slot);

// Takes the orphaned recovery file written last and holds its slot, so that
// no other program starting at the same time takes it too. 1 when there was
// one, 0 when there is none.
int TakeRecoveryOrphan(const QString& folder, RecoverySlot& orphan);

// Gives up a slot, deleting its recovery file when removeFile is set.
void ReleaseRecoverySlot(RecoverySlot& slot, bool removeFile);

// Writes the maps and the start-timeout text to the slot's recovery file with
// the map file writer (atomically: the file is replaced only when complete).
// 1 on success; 0 with the reason in error.
int WriteRecoveryFile(const RecoverySlot& slot, const MapTable& lpg, const MapTable& petrol,
                      const QString& startTimeout, QString* error);

// Reads a recovery file with the map file reader: on any fault
// std::runtime_error names it and neither table is touched. startTimeout gets
// the file's start-timeout text.
void ReadRecoveryFile(const QString& fileName, MapTable& lpg, MapTable& petrol, QString& startTimeout);

// Time from a change to the write of the recovery file. Changes in that time
// are written together, never on the change itself.
constexpr int RecoveryDelayMs = 500;

// From now on every RecoveryTouched() leads to a write of the map store and
// the text that startTimeout gives into the slot's file. A failed write is
// reported once on the program's error output and retried at the next change.
void StartRecoveryWrites(RecoverySlot* slot, std::function<QString()> startTimeout);
void RecoveryTouched();
// Writes the map store and the start-timeout text now, while the writes are on.
void RecoveryWriteNow();
// Stops the writes; a write still pending is dropped.
void StopRecoveryWrites();
