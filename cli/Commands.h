#pragma once

// The commands of tarvo-cli; each returns its exit status (CliExit).

#include "cli/Options.h"

namespace cli {

// ports: one line per COM number that names a device here.
int ListPorts();
// read: both maps, the start timeout and the firmware version into a file.
int ReadToFile(const Options& o);
// write: a file's maps and start timeout into the variator, in four steps:
// check, backup, write, read-back.
int WriteFromFile(const Options& o);
// verify: the variator's maps against a file's.
int VerifyAgainstFile(const Options& o);
// diff: two files' maps.
int DiffFiles(const Options& o);
// history: the restore points of the window's history folder, newest first,
// those whose car, date, kind or port hold the text given.
int ListHistory(const Options& o);

}  // namespace cli
