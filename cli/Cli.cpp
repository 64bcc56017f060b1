#include "Cli.h"

#include "device/wire/ComPort.h"
#include "Console.h"
#include "device/core/Dataextractor.h"
#include "device/wire/Frame.h"
#include "app/core/MapCompare.h"
#include "mapfile/core/MapFile.h"
#include "app/core/MapStore.h"
#include "app/core/NumberText.h"
#include "device/wire/PortPath.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>
#include <QSerialPortInfo>
#include <QVector>
#include <stdexcept>

#ifndef TARVO_VERSION
#define TARVO_VERSION "unknown"
#endif

namespace {

const int RpmStep = 100;
const int MapExchanges = 2 * MapPoints;        // both maps: 160
const int ReadExchanges = MapExchanges + 2;    // and the start timeout and firmware version: 162
const int WriteExchanges = MapExchanges + 1;   // and the start timeout: 161
const int SearchFirst = 1;                     // the window's "Автовыбор": 1..254
const int SearchEnd = 255;

const QString ReadKind = QStringLiteral("read");
const QString WriteKind = QStringLiteral("write");
const QString DecimalPoint = QStringLiteral(".");

const char HelpText[] =
    "Usage:\n"
    "  tarvo-cli ports\n"
    "  tarvo-cli read   (--port N | --auto) FILE.xml [--json]\n"
    "  tarvo-cli write  (--port N | --auto) FILE.xml [--timeout T] [--no-verify] [--backup PATH]\n"
    "  tarvo-cli verify (--port N | --auto) FILE.xml [--json]\n"
    "  tarvo-cli diff   A.xml B.xml [--json]\n"
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
    "\n"
    "  --port N     COM port N (an alias com<N> in the port folder, else\n"
    "               1-32 /dev/ttyS*, 33-64 /dev/ttyUSB*, 65-96 /dev/ttyACM*)\n"
    "  --auto       try COM 1 to 254 and use the first that answers\n"
    "  --json       print the result as one JSON object\n"
    "\n"
    "Progress goes to standard error, results to standard output. Ctrl+C during a\n"
    "transfer stops after the exchange in flight.\n"
    "Exit status: 0 done (verify, diff: equal), 1 the device or the link failed,\n"
    "2 bad input (usage, unreadable or refused file, value out of range),\n"
    "3 verify or diff found differences.\n";

// ---------------------------------------------------------------- options

struct Options {
    QString command;
    QStringList files;
    bool hasPort = false;
    QString portText;
    int port = 0;
    bool autoPort = false;
    bool hasTimeout = false;
    QString timeoutText;
    bool hasBackup = false;
    QString backup;
    bool noVerify = false;
    bool json = false;
};

int Usage(const QString& why)
{
    PrintFailure(why + QStringLiteral(" (see tarvo-cli --help)"));
    return ExitInput;
}

// Fills options from the arguments; on a fault returns false with why set.
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

// Checks which options the command takes; on a fault returns false with why.
bool CheckOptions(Options& o, QString& why)
{
    const QString& c = o.command;
    const bool device = c == QLatin1String("read") || c == QLatin1String("write") || c == QLatin1String("verify");
    const int files = c == QLatin1String("ports") ? 0 : c == QLatin1String("diff") ? 2 : 1;
    if (!device && c != QLatin1String("ports") && c != QLatin1String("diff")) {
        why = c.isEmpty() ? QStringLiteral("no command given") : QStringLiteral("unknown command ") + c;
        return false;
    }
    if (o.files.size() != files) {
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
    if (o.json && (c == QLatin1String("ports") || c == QLatin1String("write"))) {
        why = QStringLiteral("--json belongs to read, verify and diff");
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

// ---------------------------------------------------------------- maps

MapTable FreshTable()
{
    MapTable table;
    for (int i = 0; i < MapPoints; ++i) {
        table.Rpm[i] = double(i * RpmStep);
        table.Uoz[i] = 0;
    }
    return table;
}

// What the variator holds, or what a file holds.
struct Maps {
    MapTable lpg = FreshTable();
    MapTable petrol = FreshTable();
    int timeout = 0;
    int firmware = 0;
};

QString Degrees(double value)
{
    return FormatGeneral(value, DecimalPoint);
}

QString PointName(int firstParameter, int point)
{
    return QStringLiteral("%1 map, %2 rpm (parameter %3)")
        .arg(firstParameter == LPGFirstParameter ? QStringLiteral("LPG") : QStringLiteral("petrol"))
        .arg(point * RpmStep)
        .arg(firstParameter + point);
}

struct Difference {
    QString map;
    int rpm;
    double a;
    double b;
};

QVector<Difference> Compare(const MapTable& lpgA, const MapTable& petrolA, const MapTable& lpgB,
                            const MapTable& petrolB)
{
    QVector<Difference> differences;
    // The window's comparison: the same code on the wire is the same point.
    const auto compare = [&](const QString& map, const MapTable& a, const MapTable& b) {
        for (int i : DifferingPoints(a, b))
            differences.push_back({map, i * RpmStep, a.Uoz[i], b.Uoz[i]});
    };
    compare(QStringLiteral("LPG"), lpgA, lpgB);
    compare(QStringLiteral("Petrol"), petrolA, petrolB);
    return differences;
}

QString DifferenceLine(const Difference& d)
{
    return QStringLiteral("%1 %2 %3 %4").arg(d.map).arg(d.rpm).arg(Degrees(d.a), Degrees(d.b));
}

void PrintJson(const QJsonObject& object)
{
    PrintResult(QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact)));
}

QJsonArray JsonMap(const MapTable& table)
{
    QJsonArray values;
    for (int i = 0; i < MapPoints; ++i)
        values.append(table.Uoz[i]);
    return values;
}

// The comparison as the result of verify or diff; returns the exit status.
int ReportComparison(const QString& command, const QVector<Difference>& differences, const char* nameA,
                     const char* nameB, bool json, QJsonObject object)
{
    if (json) {
        QJsonArray list;
        for (const Difference& d : differences)
            list.append(QJsonObject{{QStringLiteral("map"), d.map},
                                    {QStringLiteral("rpm"), d.rpm},
                                    {QLatin1String(nameA), d.a},
                                    {QLatin1String(nameB), d.b}});
        object.insert(QStringLiteral("command"), command);
        object.insert(QStringLiteral("equal"), differences.isEmpty());
        object.insert(QStringLiteral("points"), MapExchanges);
        object.insert(QStringLiteral("differences"), list);
        PrintJson(object);
    } else {
        for (const Difference& d : differences)
            PrintResult(DifferenceLine(d));
        if (differences.isEmpty())
            PrintResult(QStringLiteral("equal %1 points").arg(MapExchanges));
        else
            PrintResult(QStringLiteral("different %1 of %2 points").arg(differences.size()).arg(MapExchanges));
    }
    return differences.isEmpty() ? ExitDone : ExitDifferent;
}

// Both maps and, when asked, the start-timeout text, from one reading of the file.
bool LoadFile(const QString& fileName, Maps& maps, QString* timeoutText = nullptr)
{
    try {
        LoadMapFile(fileName, maps.lpg, maps.petrol, timeoutText);
    } catch (const std::exception& e) {
        PrintFailure(QString::fromUtf8(e.what()));
        return false;
    }
    return true;
}

// Whether a file can be written there, found out without touching it.
bool CanSave(const QString& fileName)
{
    QSaveFile probe(fileName);
    if (!probe.open(QIODevice::WriteOnly)) {
        PrintFailure(QStringLiteral("cannot write '%1': %2").arg(fileName, probe.errorString()));
        return false;
    }
    probe.cancelWriting();
    return true;
}

bool SaveFile(const QString& fileName, const Maps& maps)
{
    try {
        SaveMapFile(fileName, maps.lpg, maps.petrol, QString::number(maps.timeout));
    } catch (const std::exception& e) {
        PrintFailure(QString::fromUtf8(e.what()));
        return false;
    }
    return true;
}

// FILE.xml -> FILE.before-<date-time>.xml in the same folder, never an
// existing file.
QString BackupName(const QString& fileName)
{
    const QFileInfo info(fileName);
    QString base = info.fileName();
    if (base.endsWith(QLatin1String(".xml"), Qt::CaseInsensitive))
        base.chop(4);
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString name = info.dir().filePath(QStringLiteral("%1.before-%2.xml").arg(base, stamp));
    for (int n = 2; QFileInfo::exists(name); ++n)
        name = info.dir().filePath(QStringLiteral("%1.before-%2-%3.xml").arg(base, stamp).arg(n));
    return name;
}

// ---------------------------------------------------------------- the link

struct Failure {
    QString where;
    QString what;
};

// One connection to the variator and the record of a series of exchanges.
class Session {
public:
    ComPort port;
    int number = 0;
    QVector<Failure> failures;
    QString stopped;  // why the series ended early; empty when it ran through
    int done = 0;     // exchanges of the series so far
    Progress* progress = nullptr;

    MessageSink Sink()
    {
        return [this](const QString& text) { linkMessages << text; };
    }
    ProgressStep Step()
    {
        return [this](int) { progress->Show(done); };
    }

    // After each exchange: records a failure; false ends the series (no reply
    // at all, the line gone, or Ctrl+C).
    bool After(const QString& where, bool ok, ExchangeOutcome outcome, const QString& detail = QString())
    {
        ++done;
        const QString messages = linkMessages.join(QStringLiteral("; "));
        linkMessages.clear();
        if (outcome == ExchangeOutcome::NoReply) {
            stopped = QStringLiteral("no reply from the variator at %1").arg(where);
            return false;
        }
        if (outcome == ExchangeOutcome::NotSent) {
            stopped = QStringLiteral("the request for %1 could not be sent: %2").arg(where, messages);
            return false;
        }
        if (!ok)
            failures.push_back({where, messages + detail
                                           + (outcome == ExchangeOutcome::ShortReply
                                                  ? QStringLiteral(" (the reply broke off before its sixth byte)")
                                                  : QString())});
        if (Interrupted()) {
            stopped = QStringLiteral("stopped by Ctrl+C");
            return false;
        }
        return true;
    }

    void Begin(Progress* p)
    {
        progress = p;
        done = 0;
        failures.clear();
        stopped.clear();
    }
    bool Clean() const { return failures.isEmpty() && stopped.isEmpty(); }

    void ReportFailures() const
    {
        for (const Failure& f : failures)
            PrintFailure(f.where + QStringLiteral(": ") + f.what);
        if (!stopped.isEmpty())
            PrintFailure(stopped);
    }

private:
    QStringList linkMessages;
};

bool ReadMap(Session& s, MapTable& table, int firstParameter)
{
    ReadMapPoints(&s.port, table, firstParameter, s.Sink(), s.Step(), [&](const PointExchange& e) {
        return s.After(PointName(firstParameter, e.point), e.ok, e.outcome);
    });
    return s.stopped.isEmpty();
}

bool ReadSetting(Session& s, unsigned char parameter, const QString& where, int& value)
{
    s.progress->Show(s.done);
    bool ok = false;
    ExchangeOutcome outcome = ExchangeOutcome::NotSent;
    const int v = ExchangeFrame(&s.port, ReadKind, parameter, SettingReadData, s.Sink(), &ok, &outcome);
    if (ok)
        value = v;
    return s.After(where, ok, outcome);
}

// Reads both maps (LPG first, as the window does) and, with settings, the
// start timeout and the firmware version; true when every exchange got a
// valid reply.
bool ReadVariator(Session& s, Maps& maps, bool settings, const QString& label)
{
    Progress progress(label, settings ? ReadExchanges : MapExchanges);
    s.Begin(&progress);
    bool going = ReadMap(s, maps.lpg, LPGFirstParameter) && ReadMap(s, maps.petrol, PetrolFirstParameter);
    if (settings && going) {
        going = ReadSetting(s, StartTimeoutParameter, QStringLiteral("start timeout (parameter 166)"), maps.timeout)
            && ReadSetting(s, FirmwareParameter, QStringLiteral("firmware version (parameter 160)"), maps.firmware);
    }
    progress.Finish(s.done);
    return s.Clean();
}

// Opens the port of the options and shakes hands; an exit status on failure,
// -1 when connected.
int Connect(const Options& o, Session& s, bool announce)
{
    if (o.autoPort) {
        Progress progress(QStringLiteral("search"), SearchEnd - SearchFirst);
        int found = 0;
        const bool ok = SearchPorts(&s.port, SearchFirst, SearchEnd,
                                    [&](int number) { progress.Show(number - SearchFirst); }, StatusSink(), &found);
        progress.Finish(ok ? found - SearchFirst + 1 : SearchEnd - SearchFirst);
        if (!ok) {
            PrintFailure(QStringLiteral("no variator answered on COM%1 to COM%2").arg(SearchFirst).arg(SearchEnd - 1));
            return ExitDevice;
        }
        s.number = found;
        if (announce)
            PrintResult(QStringLiteral("port %1").arg(found));
    } else {
        QString message;
        if (!ConnectPort(&s.port, o.port, 1, [&](const QString& text) { message = text; }, StatusSink())) {
            PrintFailure(QStringLiteral("COM%1: %2").arg(o.port).arg(message));
            return ExitDevice;
        }
        s.number = o.port;
        PrintNote(QStringLiteral("COM%1: %2").arg(o.port).arg(message));
    }
    // From here on Ctrl+C lets the exchange in flight finish.
    CatchInterrupt();
    return -1;
}

// ---------------------------------------------------------------- commands

#ifndef _WIN32
QByteArray TablePath(int number)
{
    if (number >= 1 && number <= 32)
        return "/dev/ttyS" + QByteArray::number(number - 1);
    if (number >= 33 && number <= 64)
        return "/dev/ttyUSB" + QByteArray::number(number - 33);
    if (number >= 65 && number <= 96)
        return "/dev/ttyACM" + QByteArray::number(number - 65);
    return QByteArray();
}
#endif

QString Known(const QString& text)
{
    return text.isEmpty() ? QStringLiteral("-") : text;
}

QString PortLine(int number, const QString& device, const QString& source, const QSerialPortInfo* info)
{
    QString usb = QStringLiteral("-");
    if (info && info->hasVendorIdentifier() && info->hasProductIdentifier())
        usb = QStringLiteral("%1:%2")
                  .arg(info->vendorIdentifier(), 4, 16, QLatin1Char('0'))
                  .arg(info->productIdentifier(), 4, 16, QLatin1Char('0'));
    return QStringLiteral("COM%1\t%2\t%3\t%4\t%5\t%6")
        .arg(number)
        .arg(device, source, Known(info ? info->description() : QString()),
             Known(info ? info->manufacturer() : QString()), usb);
}

int ListPorts()
{
    const QList<QSerialPortInfo> infos = QSerialPortInfo::availablePorts();
    int listed = 0;
#ifdef _WIN32
    for (const QSerialPortInfo& info : infos) {
        const QString name = info.portName();
        bool ok = false;
        const int number = name.startsWith(QLatin1String("COM")) ? name.mid(3).toInt(&ok) : 0;
        if (!ok || number <= 0)
            continue;
        PrintResult(PortLine(number, info.systemLocation(), QStringLiteral("system"), &info));
        ++listed;
    }
#else
    for (int number = 1; number <= 999; ++number) {
        const QByteArray name = "\\\\.\\COM" + QByteArray::number(number);
        const QByteArray device = ResolvePortPath(name.constData());
        if (device.isEmpty())
            continue;
        const bool alias = device != TablePath(number);
        const QString canonical = QFileInfo(QString::fromLocal8Bit(device)).canonicalFilePath();
        const QSerialPortInfo* info = nullptr;
        for (const QSerialPortInfo& candidate : infos) {
            if (QFileInfo(candidate.systemLocation()).canonicalFilePath() == canonical)
                info = &candidate;
        }
        // A table entry counts only where the system knows a serial port
        // behind it; an alias always names a device (it was checked).
        if (!alias && (canonical.isEmpty() || !info))
            continue;
        PrintResult(PortLine(number, QString::fromLocal8Bit(device),
                             alias ? QStringLiteral("alias") : QStringLiteral("table"), info));
        ++listed;
    }
#endif
    if (listed == 0) {
        PrintFailure(QStringLiteral("no COM port names a device on this machine"));
        return ExitDevice;
    }
    return ExitDone;
}

int ReadToFile(const Options& o)
{
    const QString file = o.files.at(0);
    if (!CanSave(file))
        return ExitInput;
    Session s;
    const int failed = Connect(o, s, !o.json);
    if (failed >= 0)
        return failed;
    Maps maps;
    if (!ReadVariator(s, maps, true, ReadKind)) {
        s.ReportFailures();
        PrintFailure(QStringLiteral("'%1' was not written").arg(file));
        return ExitDevice;
    }
    if (!SaveFile(file, maps))
        return ExitInput;
    if (o.json) {
        PrintJson(QJsonObject{{QStringLiteral("command"), QStringLiteral("read")},
                              {QStringLiteral("port"), s.number},
                              {QStringLiteral("file"), file},
                              {QStringLiteral("timeout"), maps.timeout},
                              {QStringLiteral("firmware"), maps.firmware},
                              {QStringLiteral("lpg"), JsonMap(maps.lpg)},
                              {QStringLiteral("petrol"), JsonMap(maps.petrol)}});
    } else {
        PrintResult(QStringLiteral("saved %1").arg(file));
        PrintResult(QStringLiteral("timeout %1").arg(maps.timeout));
        PrintResult(QStringLiteral("firmware %1").arg(maps.firmware));
    }
    return ExitDone;
}

int WriteFromFile(const Options& o)
{
    const QString file = o.files.at(0);
    Maps maps;
    QString timeoutText;
    if (!LoadFile(file, maps, &timeoutText))
        return ExitInput;
    if (o.hasTimeout)
        timeoutText = o.timeoutText;

    // Everything is checked before the first frame, as the window does.
    QString refusal;
    const MessageSink refuse = [&](const QString& text) { refusal = text; };
    if (!MapFitsWire(maps.lpg, QStringLiteral("карта газа"), refuse)
        || !MapFitsWire(maps.petrol, QStringLiteral("карта бензина"), refuse)) {
        PrintFailure(refusal);
        return ExitInput;
    }
    try {
        maps.timeout = StrToInt(timeoutText);
    } catch (const std::exception& e) {
        PrintFailure(QStringLiteral("start timeout (%1): %2; give --timeout T")
                         .arg(o.hasTimeout ? QStringLiteral("--timeout") : QStringLiteral("Timeout in ") + file)
                         .arg(QString::fromUtf8(e.what())));
        return ExitInput;
    }
    if (!FitsData(maps.timeout)) {
        RefuseWrite(QStringLiteral("(время до включения вариатора)"), refuse);
        PrintFailure(refusal);
        return ExitInput;
    }
    const QString backup = o.hasBackup ? o.backup : BackupName(file);
    if (QFileInfo(backup).absoluteFilePath() == QFileInfo(file).absoluteFilePath()) {
        PrintFailure(QStringLiteral("the backup would replace '%1'").arg(file));
        return ExitInput;
    }
    if (!CanSave(backup))
        return ExitInput;

    Session s;
    const int failed = Connect(o, s, true);
    if (failed >= 0)
        return failed;

    // What the variator holds goes to disk before anything is sent.
    Maps old;
    if (!ReadVariator(s, old, true, QStringLiteral("backup"))) {
        s.ReportFailures();
        PrintFailure(QStringLiteral("could not read what the variator holds; nothing was written"));
        return ExitDevice;
    }
    if (!SaveFile(backup, old)) {
        PrintFailure(QStringLiteral("nothing was written"));
        return ExitInput;
    }
    PrintResult(QStringLiteral("backup %1").arg(backup));

    {
        Progress progress(WriteKind, WriteExchanges);
        s.Begin(&progress);
        int mapPointsSent = 0;
        const auto writeMap = [&](const MapTable& table, int firstParameter, const QString& mismatch) {
            WriteMapPoints(&s.port, table, firstParameter, mismatch, s.Sink(), s.Step(), [&](const PointExchange& e) {
                if (e.outcome != ExchangeOutcome::NotSent)
                    ++mapPointsSent;
                const QString detail = e.outcome == ExchangeOutcome::Valid
                    ? QStringLiteral(" (sent %1, echo %2)").arg(e.sent).arg(e.value)
                    : QString();
                return s.After(PointName(firstParameter, e.point), e.ok, e.outcome, detail);
            });
            return s.stopped.isEmpty();
        };
        bool going = writeMap(maps.lpg, LPGFirstParameter, LPGWriteMismatch)
            && writeMap(maps.petrol, PetrolFirstParameter, PetrolWriteMismatch);
        bool timeoutSent = false;
        if (going) {
            progress.Show(s.done);
            bool valid = false;
            ExchangeOutcome outcome = ExchangeOutcome::NotSent;
            const short code = static_cast<short>(maps.timeout);
            const int echo = ExchangeFrame(&s.port, WriteKind, StartTimeoutParameter, code, s.Sink(), &valid, &outcome);
            timeoutSent = outcome != ExchangeOutcome::NotSent;
            s.After(QStringLiteral("start timeout (parameter 166)"), valid && echo == code, outcome,
                    outcome == ExchangeOutcome::Valid ? QStringLiteral(" (sent %1, echo %2)").arg(code).arg(echo)
                                                      : QString());
        }
        progress.Finish(s.done);
        if (!s.Clean()) {
            s.ReportFailures();
            PrintFailure(QStringLiteral("%1 of %2 map points went out, the start timeout %3; the old maps are in '%4'")
                             .arg(mapPointsSent)
                             .arg(MapExchanges)
                             .arg(timeoutSent ? QStringLiteral("went out") : QStringLiteral("did not"))
                             .arg(backup));
            return ExitDevice;
        }
    }
    PrintResult(QStringLiteral("written %1 points, start timeout %2").arg(MapExchanges).arg(maps.timeout));
    if (o.noVerify)
        return ExitDone;

    Maps back;
    if (!ReadVariator(s, back, false, QStringLiteral("read-back"))) {
        s.ReportFailures();
        PrintFailure(QStringLiteral("the read-back failed; the old maps are in '%1'").arg(backup));
        return ExitDevice;
    }
    const QVector<Difference> differences = Compare(maps.lpg, maps.petrol, back.lpg, back.petrol);
    if (!differences.isEmpty()) {
        for (const Difference& d : differences)
            PrintResult(DifferenceLine(d));
        PrintFailure(QStringLiteral("the variator holds %1 points other than written; the old maps are in '%2'")
                         .arg(differences.size())
                         .arg(backup));
        return ExitDevice;
    }
    PrintResult(QStringLiteral("verified %1 points").arg(MapExchanges));
    return ExitDone;
}

int VerifyAgainstFile(const Options& o)
{
    const QString file = o.files.at(0);
    Maps maps;
    if (!LoadFile(file, maps))
        return ExitInput;
    Session s;
    const int failed = Connect(o, s, !o.json);
    if (failed >= 0)
        return failed;
    Maps device;
    if (!ReadVariator(s, device, false, QStringLiteral("verify"))) {
        s.ReportFailures();
        return ExitDevice;
    }
    return ReportComparison(QStringLiteral("verify"), Compare(maps.lpg, maps.petrol, device.lpg, device.petrol),
                            "file", "device", o.json,
                            QJsonObject{{QStringLiteral("port"), s.number}, {QStringLiteral("file"), file}});
}

int DiffFiles(const Options& o)
{
    Maps a;
    Maps b;
    if (!LoadFile(o.files.at(0), a) || !LoadFile(o.files.at(1), b))
        return ExitInput;
    return ReportComparison(QStringLiteral("diff"), Compare(a.lpg, a.petrol, b.lpg, b.petrol), "a", "b", o.json,
                            QJsonObject{{QStringLiteral("a"), o.files.at(0)}, {QStringLiteral("b"), o.files.at(1)}});
}

} // namespace

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
