#include "cli/Cli.h"

#include "cli/Commands.h"
#include "cli/Console.h"
#include "cli/Options.h"

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
    if (o.command == QLatin1String("ports"))
        return ListPorts();
    if (o.command == QLatin1String("read"))
        return ReadToFile(o);
    if (o.command == QLatin1String("write"))
        return WriteFromFile(o);
    if (o.command == QLatin1String("verify"))
        return VerifyAgainstFile(o);
    return DiffFiles(o);
}
