#pragma once

#include "app/core/MapStore.h"

#include <QDateTime>
#include <QByteArray>
#include <QList>
#include <QSet>
#include <QStringList>
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

// The history folder in use: tarvo-cli's --history DIR for its run, else the
// folder chosen in "Папка истории…" (kept in the settings), else the default.
QString HistoryFolder();
// $XDG_DATA_HOME/tarvo-gui/history (~/.local/share/tarvo-gui/history where
// XDG_DATA_HOME is unset) on Linux, the platform's data folder elsewhere. It
// is made when missing; a folder chosen is not, so that a share that is not
// mounted never turns into a local folder of the same name.
QString DefaultHistoryFolder();
// The folder chosen in "Папка истории…", the one setting the program keeps
// between runs (QSettings: $XDG_CONFIG_HOME/tarvo-gui/tarvo-gui.conf on
// Linux, the registry on Windows); empty when none is. Keeping an empty
// folder goes back to the default.
QString ChosenHistoryFolder();
void KeepChosenHistoryFolder(const QString& folder);
// For this run only, folder instead of the choice; empty: the choice again.
void UseHistoryFolderForRun(const QString& folder);

// The computer's name as a restore point's name carries it: every character
// outside [A-Za-z0-9] becomes '_'; empty when the computer has no name.
QString HostToken(const QString& hostName);
// This computer's.
QString LocalHostToken();

// What a restore point records besides its maps; its file name carries it.
struct RestorePointInfo {
    QDateTime when;
    TransferKind kind = TransferKind::Read;
    int port = 0;
    bool hasFirmware = false;
    int firmware = 0;
    QString visit;  // the visit it belongs to ([0-9a-z]); empty: none
    QString host;   // HostToken of the workstation that made it; empty: none
};

// yyyyMMdd-HHmmss-read-COM7-fw12.xml, yyyyMMdd-HHmmss-write-COM7.xml,
// yyyyMMdd-HHmmss-compare-COM7.xml; the second point of the same name ends in
// "-2.xml", the third "-3.xml", and so on. A point of a visit carries the
// visit after the firmware: yyyyMMdd-HHmmss-read-COM7-fw12-v<visit>.xml; the
// workstation follows as "-h<host>"
// (20261209-185430-read-COM7-fw12-v20261209185401a3f2-hBENCH_PC-2.xml).
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
    QString visit;         // empty: made outside a visit
    QString host;          // the workstation's HostToken; empty in older names
    bool hasNote = false;  // a note file stands beside it (its text may still be damaged)

    // dd.MM.yyyy HH:mm:ss
    QString WhenText() const;
};

// What the history's search looks through for one restore point, in lower
// case: its date and time as listed, its kind ("чтение", and "read" too), its
// port ("com7"), its workstation and its note. A text matches when this
// holds it in any case.
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

// How a file is moved to a new name without replacing one that is there.
enum class PublishWay {
    Best,   // the system's own move that refuses a taken name, else the ones below
    Link,   // a second link under the new name, then the old name removed
    Claim,  // the new name claimed by creating a claim file exclusively, then moved
};

// Moves the whole file from to the name to in the same folder, unless a file
// of that name is there at the moment of the move: 1 moved; 0 the name is
// taken; -1 failed, with the reason in error. from stays unless it moved.
// Linux: renameat2 with RENAME_NOREPLACE; where the file system lacks it (NFS,
// SMB), link and unlink; without links, an exclusively created claim file
// ".<name>.claim" that every writer of the name honours. Windows: MoveFileExW,
// which never replaces a file unless told to, on a share as well.
int PublishNewFile(const QString& from, const QString& to, QString* error, PublishWay way = PublishWay::Best);

// Writes a restore point into folder, which is created when missing: the whole
// map file under a temporary name of this workstation's own that no listing
// takes for a restore point, then moved to a name that no file has (the move
// never replaces one, whoever writes into the folder at the same time), and
// its note beside it when the note is not empty. Returns the file's path; on failure an empty text, with the
// reason in error. A note that cannot be written leaves the restore point
// without one, its path returned and the reason in error.
QString SaveRestorePoint(const QString& folder, const RestorePointInfo& info, const MapTable& lpg,
                         const MapTable& petrol, const QString& startTimeout, QString* error,
                         const QString& note = QString());

// The message after a command whose restore point could not be saved.
QString RestorePointFailure(const QString& folder, const QString& reason);
// The message after a note that could not be written beside its restore point.
QString RestorePointNoteFailure(const QString& restorePointFile, const QString& reason);

// Where restore points go while the history folder in use fails: to the
// default folder, and that is told once, in the message of the first one
// that went there; the first one written into the folder again tells where
// it went and where the others are. That news is kept apart from a
// restore point's own failure, for the caller to tell after the command,
// and taken once. Forget starts afresh (a new run).
QString TakeHistoryFolderNews();
void ForgetHistoryFallback();

// A map as it went over the line: each advance as its wire code / 1000.
MapTable WireMap(const MapTable& table);

// Leaves a restore point, dated now, of maps that went over the line on COM
// port (each advance taken as its wire code) with the start-timeout text
// (empty when it was neither read nor sent) and the firmware version where it
// was read, and the note that names the car when there is one. A restore
// point that cannot be saved must cost the transfer nothing: the result is
// the message to tell once the command has ended, empty when the point and
// its note were saved. The point's path goes to file (empty when it was not
// saved); visit, when given, goes into its name. A point that the history
// folder in use cannot take goes to the default folder (above), and the news
// of that waits in TakeHistoryFolderNews.
QString LeaveRestorePoint(TransferKind kind, int port, const MapTable& lpg, const MapTable& petrol,
                          const QString& startTimeout, std::optional<int> firmware = std::nullopt,
                          const QString& note = QString(), const QString& visit = QString(),
                          QString* file = nullptr);

// The order of the history's list: newest first, a later suffix of the same
// second before an earlier one, then by file name.
bool ListedBefore(const RestorePointEntry& a, const RestorePointEntry& b);

// The restore points of folder, newest first, from the file names alone: no
// file is opened, so the list of years of work is there at once. Whether a
// note stands beside each is seen in the same listing.
QList<RestorePointEntry> ListRestorePoints(const QString& folder);
// The same, false when the folder cannot be read.
bool ListRestorePoints(const QString& folder, QList<RestorePointEntry>& list);

// What a list kept up to date has seen of its folder: the names of every
// file there (restore points and notes, as the system gives them, so that
// looking again decodes and parses only what is new) and the base names of
// the restore points seen without a note.
struct SeenNames {
    QSet<QByteArray> names;
    QSet<QByteArray> withoutNote;
};
// A stamp of folder that changes whenever a name is added to it or taken
// away, where the file system is known to keep one at once (a local disk:
// ext4, xfs, btrfs, tmpfs); empty where it is not (a share, whose client may
// keep an old one for many seconds) and while the folder's last change is
// less than three seconds old; then only a listing tells.
QByteArray FolderStamp(const QString& folder);
// Takes in entries, as a listing gave them.
void SeeRestorePoints(SeenNames& seen, const QList<RestorePointEntry>& entries);
// Looks at folder again, by its names alone: found gets the restore points
// that came since, in the list's order, and noted the files of those seen
// without a note whose note has come since; seen takes them in. False when
// the folder cannot be read.
bool LookAgain(const QString& folder, SeenNames& seen, QList<RestorePointEntry>& found, QStringList& noted);

// Reads a restore point's maps with the map file reader into lpg and petrol,
// all or nothing; std::runtime_error names the fault. Only a regular file is
// read, so that no entry can keep the reader waiting.
void LoadRestorePoint(const QString& file, MapTable& lpg, MapTable& petrol);
