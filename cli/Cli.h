#pragma once

// tarvo-cli: reads, writes, verifies and compares the variator's maps from a
// terminal, on the same link and map file code as the window.

#include <QStringList>

// Runs one command line (without the program name); returns the exit status
// (see CliExit).
int RunCli(const QStringList& arguments);
