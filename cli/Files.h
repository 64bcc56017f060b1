#pragma once

// The map files of tarvo-cli, through the window's map file code; each
// failure is printed on standard error.

#include "cli/Maps.h"

#include <QString>

namespace cli {

// Loads both maps of a file, all or nothing, and, when asked, its start-timeout
// text, from one reading of the file.
bool LoadFile(const QString& fileName, Maps& maps, QString* timeoutText = nullptr);
// Whether a file can be written there, found out without touching it.
bool CanSave(const QString& fileName);
// Saves both maps with the start timeout, atomically.
bool SaveFile(const QString& fileName, const Maps& maps);
// FILE.xml -> FILE.before-<date-time>.xml in the same folder, never an
// existing file.
QString BackupName(const QString& fileName);

}  // namespace cli
