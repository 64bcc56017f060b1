#pragma once

// The terminal side of tarvo-cli: results on standard output, failures and
// progress on standard error, and Ctrl+C taken as "stop after the exchange in
// flight".

#include <QString>

// Exit statuses of tarvo-cli.
enum CliExit {
    ExitDone = 0,       // done; for verify and diff: equal
    ExitDevice = 1,     // the device or the link failed
    ExitInput = 2,      // usage, an unreadable or refused file, a value out of range
    ExitDifferent = 3,  // verify or diff found differences
};

// One result line on standard output.
void PrintResult(const QString& line);
// One line on standard error, prefixed "tarvo-cli: ".
void PrintFailure(const QString& line);
// One line on standard error without prefix.
void PrintNote(const QString& line);

bool StandardErrorIsTerminal();

// Progress of a series of exchanges on standard error: a bar with the count
// on a terminal, a plain line every few exchanges otherwise.
class Progress {
public:
    Progress(const QString& what, int total);
    ~Progress();
    Progress(const Progress&) = delete;
    Progress& operator=(const Progress&) = delete;
    // Before exchange number done + 1.
    void Show(int done);
    // Ends the bar (a terminal line of its own from here on).
    void Finish(int done);

private:
    QString what;
    int total;
    bool terminal;
    bool finished = false;
    int shown = -1;
};

// Ctrl+C from now on sets the interrupt flag instead of ending the program;
// a second Ctrl+C ends it at once.
void CatchInterrupt();
bool Interrupted();
