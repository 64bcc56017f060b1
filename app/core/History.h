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

enum class TransferKind { Read, Write };

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
};

// yyyyMMdd-HHmmss-read-COM7-fw12.xml, yyyyMMdd-HHmmss-write-COM7.xml; the
// second point of the same name ends in "-2.xml", the third "-3.xml", and so on.
QString RestorePointName(const RestorePointInfo& info, int suffix = 1);
// The fields of a restore point's file name; false for any other name.
bool ParseRestorePointName(const QString& fileName, RestorePointInfo& info, int* suffix = nullptr);

// Writes a restore point into folder, which is created when missing: the whole
// map file under a temporary name, then renamed to a name that no file has
// (the rename never replaces one). Returns the file's path; on failure an
// empty text, with the reason in error.
QString SaveRestorePoint(const QString& folder, const RestorePointInfo& info, const MapTable& lpg,
                         const MapTable& petrol, const QString& startTimeout, QString* error);

// The message after a command whose restore point could not be saved.
QString RestorePointFailure(const QString& folder, const QString& reason);

// A map as it went over the line: each advance as its wire code / 1000.
MapTable WireMap(const MapTable& table);

// Leaves a restore point, dated now, of maps that went over the line on COM
// port (each advance taken as its wire code) with the start-timeout text
// (empty when it was neither read nor sent) and the firmware version where it
// was read. A restore point that cannot be saved must cost the transfer
// nothing: the result is the message to tell once the command has ended,
// empty when the point was saved.
QString LeaveRestorePoint(TransferKind kind, int port, const MapTable& lpg, const MapTable& petrol,
                          const QString& startTimeout, std::optional<int> firmware = std::nullopt);

// One restore point as the history lists it.
struct RestorePointEntry {
    QString file;
    RestorePointInfo info;
    int suffix = 1;
    bool damaged = false;  // not a map file that opens; fault says why
    QString fault;
    MapTable lpg = {};
    MapTable petrol = {};
};

// The restore points of folder, newest first, each read with the map file
// reader. A file that does not open is listed as damaged; only regular files
// are read, so no entry can keep the list waiting.
QList<RestorePointEntry> ListRestorePoints(const QString& folder);
