#pragma once

// The command line of tarvo-cli: its words, checked against what each command
// takes.

#include <QString>
#include <QStringList>

namespace cli {

extern const char HelpText[];

struct Options {
    QString command;
    QStringList files;
    bool hasPort = false;
    QString portText;
    int port = 0;
    bool autoPort = false;
    bool hasTimeout = false;
    QString timeoutText;
    bool hasNote = false;
    QString note;  // goes with the restore points of the command
    bool hasHistory = false;
    QString history;  // the history folder of this run
    bool hasBackup = false;
    QString backup;
    bool noVerify = false;
    bool json = false;
};

// Prints the usage fault on standard error; returns the exit status of bad input.
int Usage(const QString& why);

// Fills options from the arguments; on a fault returns false with why set.
bool ParseArguments(const QStringList& arguments, Options& o, QString& why);

// Checks which options the command takes and reads the port number as the
// window's port box does; on a fault returns false with why set.
bool CheckOptions(Options& o, QString& why);

}  // namespace cli
