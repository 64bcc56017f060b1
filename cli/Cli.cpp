#include "cli/Cli.h"

#include "cli/Commands.h"
#include "cli/Console.h"
#include "cli/Options.h"
#include "cli/RestorePoints.h"

#ifndef TARVO_VERSION
#define TARVO_VERSION "unknown"
#endif

using namespace cli;

int RunCli(const QStringList& arguments)
{
    if (arguments.contains(QLatin1String("--help")) || arguments.contains(QLatin1String("-h"))) {
        PrintResult(QString::fromUtf8(HelpText).trimmed());
        return ExitDone;
    }
    if (arguments.contains(QLatin1String("--version"))) {
        PrintResult(QStringLiteral("tarvo-cli " TARVO_VERSION));
        return ExitDone;
    }
    Options o;
    QString why;
    if (!ParseArguments(arguments, o, why) || !CheckOptions(o, why))
        return Usage(why);
    SetRestorePointNote(o.note);
    int status = ExitDone;
    if (o.command == QLatin1String("ports"))
        status = ListPorts();
    else if (o.command == QLatin1String("read"))
        status = ReadToFile(o);
    else if (o.command == QLatin1String("write"))
        status = WriteFromFile(o);
    else if (o.command == QLatin1String("verify"))
        status = VerifyAgainstFile(o);
    else if (o.command == QLatin1String("history"))
        status = ListHistory(o);
    else
        status = DiffFiles(o);
    ReportRestorePointFailure();
    return status;
}
