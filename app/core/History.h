#pragma once

#include "app/core/MapStore.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <optional>

// Restore points: every read from the variator that got all 160 map points
// and every write whose 160 echoes all matched leaves the maps that went over
// the line, with the start timeout, as a map file in the history folder. The
// window and tarvo-cli add to the same folder. Files are only ever added: a
// name that is taken gets a suffix, and nothing is overwritten or deleted.

// A compare reads both maps without taking them into the map store.
enum class TransferKind {
    Read,
    Write,
    Compare
};

// "чтение", "запись", "сравнение"
QString TransferKindText(TransferKind kind);

// $XDG_DATA_HOME/tarvo-gui/history (~/.local/share/tarvo-gui/history where
// XDG_DATA_HOME is unset) on Linux, the platform's data folder elsewhere.
QString HistoryFolder();

// What a restore point records besides its maps; its file name carries it.
struct RestorePointInfo {
    QDateTime when;
    TransferKind kind = TransferKind::Read;
    int port = 0;
    bool hasFirmware = false;
    int firmware = 0;
    QString visit;  // the visit it belongs to ([0-9a-z]); empty: none
};

// yyyyMMdd-HHmmss-read-COM7-fw12.xml, yyyyMMdd-HHmmss-write-COM7.xml,
// yyyyMMdd-HHmmss-compare-COM7.xml; the second point of the same name ends in
// "-2.xml", the third "-3.xml", and so on. A point of a visit carries the
// visit after the firmware: yyyyMMdd-HHmmss-read-COM7-fw12-v<visit>.xml.
QString RestorePointName(const RestorePointInfo& info, int suffix = 1);

// One restore point as the history lists it, all from its file name.
struct RestorePointEntry {
    QString file;
    QString stamp;  // yyyyMMdd-HHmmss, which sorts as the time does
    TransferKind kind = TransferKind::Read;
    int port = 0;
    bool hasFirmware = false;
    int firmware = 0;
    int suffix = 1;
    QString visit;  // empty: made outside a visit
    bool hasNote = false;  // a note file stands beside it (its text may still be damaged)

    // dd.MM.yyyy HH:mm:ss
    QString WhenText() const;
};

// What the history's search looks through for one restore point, in lower
// case: its date and time as listed, its kind ("чтение", and "read" too), its
// port ("com7") and its note. A text matches when this holds it in any case.
QString RestorePointSearchText(const RestorePointEntry& entry, const QString& note);
// The kind as tarvo-cli and the file names write it: "read", "write", "compare".
QString TransferKindWord(TransferKind kind);

// The fields of a restore point's file name; false for any other name. No
// date and time are built: the stamp is only checked to name one.
bool ParseRestorePointName(const QString& fileName, RestorePointEntry& entry);

// The note of a restore point (the car: model, plate, customer) lives beside
// it in a small UTF-8 text file of the same base name ending in ".note", so
// that the map file stays as every map file is. Notes are written whole under
// a temporary name and renamed over the old note; a restore point itself is
// never renamed, rewritten or deleted for its note.
QString RestorePointNoteFile(const QString& restorePointFile);
// Largest note file that is read; a longer note is not written.
constexpr qint64 MaxNoteBytes = 64 * 1024;
// The note of a restore point; empty when it has none. A note file that is
// not a regular file, is too long, is not UTF-8 or holds control characters
// counts as damaged: the note is then empty and damaged, when given, true.
QString ReadRestorePointNote(const QString& restorePointFile, bool* damaged = nullptr);
// Writes the note of a restore point (an empty note leaves an empty note
// file). Control characters become spaces. A restore point that is not there
// gets no note: a note left alone would be taken for the note of whatever
// point gets that name later. On failure returns false with the reason in
// error.
bool SaveRestorePointNote(const QString& restorePointFile, const QString& note, QString* error);

// Writes a restore point into folder, which is created when missing: the whole
// map file under a temporary name, then renamed to a name that no file has
// (the rename never replaces one), and its note beside it when the note is
// not empty. Returns the file's path; on failure an empty text, with the
// reason in error. A note that cannot be written leaves the restore point
// without one, its path returned and the reason in error.
QString SaveRestorePoint(const QString& folder, const RestorePointInfo& info, const MapTable& lpg,
                         const MapTable& petrol, const QString& startTimeout, QString* error,
                         const QString& note = QString());

// The message after a command whose restore point could not be saved.
QString RestorePointFailure(const QString& folder, const QString& reason);
// The message after a note that could not be written beside its restore point.
QString RestorePointNoteFailure(const QString& restorePointFile, const QString& reason);

// A map as it went over the line: each advance as its wire code / 1000.
MapTable WireMap(const MapTable& table);

// Leaves a restore point, dated now, of maps that went over the line on COM
// port (each advance taken as its wire code) with the start-timeout text
// (empty when it was neither read nor sent) and the firmware version where it
// was read, and the note that names the car when there is one. A restore
// point that cannot be saved must cost the transfer nothing: the result is
// the message to tell once the command has ended, empty when the point and
// its note were saved. The point's path goes to file (empty when it was not
// saved); visit, when given, goes into its name.
QString LeaveRestorePoint(TransferKind kind, int port, const MapTable& lpg, const MapTable& petrol,
                          const QString& startTimeout, std::optional<int> firmware = std::nullopt,
                          const QString& note = QString(), const QString& visit = QString(),
                          QString* file = nullptr);

// The restore points of folder, newest first, from the file names alone: no
// file is opened, so the list of years of work is there at once. Whether a
// note stands beside each is seen in the same listing.
QList<RestorePointEntry> ListRestorePoints(const QString& folder);

// Reads a restore point's maps with the map file reader into lpg and petrol,
// all or nothing; std::runtime_error names the fault. Only a regular file is
// read, so that no entry can keep the reader waiting.
void LoadRestorePoint(const QString& file, MapTable& lpg, MapTable& petrol);
