#include "cli/Options.h"

#include "app/core/NumberText.h"
#include "cli/Console.h"
#include "device/core/Dataextractor.h"

#include <stdexcept>

namespace cli {

const char HelpText[] =
    "Usage:\n"
    "  tarvo-cli ports\n"
    "  tarvo-cli read   (--port N | --auto) FILE.xml [--json] [--note TEXT]\n"
    "  tarvo-cli write  (--port N | --auto) FILE.xml [--timeout T] [--no-verify] [--backup PATH] [--note TEXT]\n"
    "  tarvo-cli verify (--port N | --auto) FILE.xml [--json] [--note TEXT]\n"
    "  tarvo-cli diff   A.xml B.xml [--json]\n"
    "  tarvo-cli history [TEXT] [--json]\n"
    "  tarvo-cli --help | --version\n"
    "\n"
    "Reads, writes, verifies and compares the two ignition-advance maps of a Tarvo\n"
    "variator in the map file format of tarvo-gui.\n"
    "\n"
    "  ports    one line per COM number that names a device here: number, device,\n"
    "           where the name comes from (alias or table), description, maker,\n"
    "           USB vendor:product\n"
    "  read     reads both maps, the start timeout and the firmware version and\n"
    "           saves them to FILE.xml, only when every exchange got a valid reply\n"
    "  write    checks FILE.xml, saves what the variator holds to\n"
    "           FILE.before-<date-time>.xml (or --backup PATH), writes both maps and\n"
    "           the start timeout (--timeout T, else the file's Timeout), checks every\n"
    "           echo and, unless --no-verify, reads both maps back and compares them\n"
    "  verify   reads both maps and prints each point that differs from FILE.xml:\n"
    "           map, rpm, file value, device value\n"
    "  diff     the same comparison between two files\n"
    "  history  lists the restore points of the window's history, newest first:\n"
    "           date and time, kind, port, car, file; with TEXT only those whose\n"
    "           car, date, kind or port hold it, in any letter case\n"
    "\n"
    "  --port N     COM port N (an alias com<N> in the port folder, else\n"
    "               1-32 /dev/ttyS*, 33-64 /dev/ttyUSB*, 65-96 /dev/ttyACM*)\n"
    "  --auto       try COM 1 to 254 and use the first that answers\n"
    "  --json       print the result as one JSON object\n"
    "  --note TEXT  the car (model, plate, customer) kept beside the restore\n"
    "               points the command leaves in the window's history\n"
    "\n"
    "Progress goes to standard error, results to standard output. Ctrl+C during a\n"
    "transfer stops after the exchange in flight.\n"
    "Exit status: 0 done (verify, diff: equal), 1 the device or the link failed,\n"
    "2 bad input (usage, unreadable or refused file, value out of range),\n"
    "3 verify or diff found differences.\n";

int Usage(const QString& why)
{
    PrintFailure(why + QStringLiteral(" (see tarvo-cli --help)"));
    return ExitInput;
}

bool ParseArguments(const QStringList& arguments, Options& o, QString& why)
{
    bool positionalOnly = false;
    for (int i = 0; i < arguments.size(); ++i) {
        const QString a = arguments.at(i);
        // 1: a is the option name and out its value; 0: another argument;
        // -1: the value is missing.
        const auto value = [&](const char* name, QString& out) {
            const QString option = QLatin1String(name);
            if (a == option) {
                if (i + 1 >= arguments.size()) {
                    why = option + QStringLiteral(" needs a value");
                    return -1;
                }
                out = arguments.at(++i);
                return 1;
            }
            if (a.startsWith(option + QLatin1Char('='))) {
                out = a.mid(option.size() + 1);
                return 1;
            }
            return 0;
        };
        int found = 0;
        if (positionalOnly || !a.startsWith(QLatin1String("--")) || a == QLatin1String("-")) {
            if (o.command.isEmpty())
                o.command = a;
            else
                o.files << a;
        } else if (a == QLatin1String("--")) {
            positionalOnly = true;
        } else if ((found = value("--port", o.portText))) {
            if (found < 0)
                return false;
            o.hasPort = true;
        } else if ((found = value("--timeout", o.timeoutText))) {
            if (found < 0)
                return false;
            o.hasTimeout = true;
        } else if ((found = value("--note", o.note))) {
            if (found < 0)
                return false;
            o.hasNote = true;
        } else if ((found = value("--backup", o.backup))) {
            if (found < 0)
                return false;
            o.hasBackup = true;
        } else if (a == QLatin1String("--auto")) {
            o.autoPort = true;
        } else if (a == QLatin1String("--no-verify")) {
            o.noVerify = true;
        } else if (a == QLatin1String("--json")) {
            o.json = true;
        } else {
            why = QStringLiteral("unknown option ") + a;
            return false;
        }
    }
    return true;
}

bool CheckOptions(Options& o, QString& why)
{
    const QString& c = o.command;
    const bool device = c == QLatin1String("read") || c == QLatin1String("write") || c == QLatin1String("verify");
    const bool history = c == QLatin1String("history");
    const int files = c == QLatin1String("ports") ? 0 : c == QLatin1String("diff") ? 2
                                                                                   : 1;
    if (!device && !history && c != QLatin1String("ports") && c != QLatin1String("diff")) {
        why = c.isEmpty() ? QStringLiteral("no command given") : QStringLiteral("unknown command ") + c;
        return false;
    }
    if (history && o.files.size() > 1) {
        why = QStringLiteral("history takes at most one text");
        return false;
    }
    if (!history && o.files.size() != files) {
        why = QStringLiteral("%1 takes %2 file name%3").arg(c).arg(files).arg(files == 1 ? "" : "s");
        return false;
    }
    if (device && o.hasPort == o.autoPort) {
        why = QStringLiteral("%1 needs either --port N or --auto").arg(c);
        return false;
    }
    if (!device && (o.hasPort || o.autoPort)) {
        why = QStringLiteral("%1 takes no port").arg(c);
        return false;
    }
    if (c != QLatin1String("write") && (o.hasTimeout || o.hasBackup || o.noVerify)) {
        why = QStringLiteral("--timeout, --backup and --no-verify belong to write");
        return false;
    }
    if (o.hasNote && !device) {
        why = QStringLiteral("--note belongs to read, write and verify");
        return false;
    }
    if (o.json && (c == QLatin1String("ports") || c == QLatin1String("write"))) {
        why = QStringLiteral("--json belongs to read, verify, diff and history");
        return false;
    }
    if (o.hasPort) {
        // The same reading of a port number as the window's port box.
        try {
            o.port = StrToInt(o.portText);
        } catch (const std::exception& e) {
            why = QStringLiteral("--port: ") + QString::fromUtf8(e.what());
            return false;
        }
        if (o.port == 0 || !PortNumberFits(o.port)) {
            why = QStringLiteral("--port %1: Неверный номер порта").arg(o.portText);
            return false;
        }
    }
    return true;
}

}  // namespace cli
