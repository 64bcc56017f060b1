#include "cli/Link.h"

#include "cli/Format.h"
#include "device/wire/Frame.h"

namespace cli {

namespace {

const int SearchFirst = 1;  // the window's "Автовыбор": 1..254
const int SearchEnd = 255;
const QString ReadKind = QStringLiteral("read");

bool ReadMap(Link& s, MapTable& table, int firstParameter)
{
    ReadMapPoints(&s.port, table, firstParameter, s.Sink(), s.Step(), [&](const PointExchange& e) {
        return s.After(PointName(firstParameter, e.point), e.ok, e.outcome);
    });
    return s.stopped.isEmpty();
}

bool ReadSetting(Link& s, unsigned char parameter, const QString& where, int& value)
{
    s.progress->Show(s.done);
    bool ok = false;
    ExchangeOutcome outcome = ExchangeOutcome::NotSent;
    const int v = ExchangeFrame(&s.port, ReadKind, parameter, SettingReadData, s.Sink(), &ok, &outcome);
    if (ok)
        value = v;
    return s.After(where, ok, outcome);
}

} // namespace

bool ReadVariator(Link& s, Maps& maps, bool settings, const QString& label)
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

int Connect(const Options& o, Link& s, bool announce)
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

} // namespace cli
