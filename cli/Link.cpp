#include "cli/Link.h"

#include "cli/Format.h"
#include "cli/RestorePoints.h"
#include "device/wire/Frame.h"

namespace cli {

namespace {

const int SearchFirst = FirstListedPort;
const int SearchEnd = LastListedPort + 1;

bool ReadMap(Link& s, MapTable& table, int firstParameter, int& valid)
{
    MapTally& tally = s.tally.Of(firstParameter);
    ReadMapPoints(&s.port, table, firstParameter, s.Sink(), s.Step(), [&](const PointExchange& e) {
        valid += e.ok ? 1 : 0;
        s.tally.CountPoint(tally, e.outcome, e.ok);
        return s.After(PointName(firstParameter, e.point), e.ok, e.outcome);
    });
    return s.stopped.isEmpty();
}

bool ReadSetting(Link& s, unsigned char parameter, const QString& where, int& value, bool& ok)
{
    s.progress->Show(s.done);
    ExchangeOutcome outcome = ExchangeOutcome::NotSent;
    const int v = ExchangeFrame(&s.port, ExchangeKind::Read, parameter, SettingReadData, s.Sink(), &ok, &outcome);
    if (ok)
        value = v;
    if (parameter == StartTimeoutParameter)
        s.tally.CountSetting(nullptr, &s.tally.timeoutDone, outcome, ok);
    else
        s.tally.CountSetting(nullptr, &s.tally.firmwareDone, outcome, ok);
    return s.After(where, ok, outcome);
}

}  // namespace

bool ReadVariator(Link& s, Maps& maps, bool settings, const QString& label, TransferKind kind)
{
    Progress progress(label, settings ? ReadExchanges : MapExchanges);
    s.Begin(&progress);
    int valid = 0;
    bool timeoutRead = false;
    bool firmwareRead = false;
    s.tally.timeoutPlanned = s.tally.firmwarePlanned = settings;
    s.tally.lpg.planned = s.tally.petrol.planned = MapPoints;
    bool going = ReadMap(s, maps.lpg, LPGFirstParameter, valid) && ReadMap(s, maps.petrol, PetrolFirstParameter, valid);
    if (settings && going) {
        going = ReadSetting(s, StartTimeoutParameter, QStringLiteral("start timeout (parameter 166)"), maps.timeout,
                            timeoutRead)
             && ReadSetting(s, FirmwareParameter, QStringLiteral("firmware version (parameter 160)"), maps.firmware,
                            firmwareRead);
    }
    progress.Finish(s.done);
    // Every read that got both maps whole, whatever the command, leaves a
    // restore point.
    if (valid == MapExchanges)
        LeaveRestorePoint(kind, s.number, maps, timeoutRead, firmwareRead);
    return s.Clean();
}

int Connect(const Options& o, Link& s, bool announce)
{
    if (o.autoPort) {
        Progress progress(QStringLiteral("search"), SearchEnd - SearchFirst);
        int found = 0;
        const bool ok = SearchPorts(
            &s.port, SearchFirst, SearchEnd,
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
        if (!ConnectPort(
                &s.port, o.port, 1, [&](const QString& text) { message = text; }, StatusSink())) {
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

}  // namespace cli
