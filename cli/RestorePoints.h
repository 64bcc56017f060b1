#pragma once

// tarvo-cli's restore points, in the window's history folder through the
// same core code: one after every read that got all 160 map points and one
// after every write whose 160 echoes matched.

#include "app/core/History.h"
#include "cli/Maps.h"

namespace cli {

// Saves a restore point of maps as they went over the line on COM port; the
// start timeout and firmware version go with it where they are known. A
// failure costs the transfer nothing: it is told after the command.
void LeaveRestorePoint(TransferKind kind, int port, const Maps& maps, bool hasTimeout, bool hasFirmware);

// The note that goes with every restore point of the command (--note).
void SetRestorePointNote(const QString& note);

// After the command: the first failure to save a restore point, if there was
// one, on standard error. The exit status stays the command's.
void ReportRestorePointFailure();

}  // namespace cli
