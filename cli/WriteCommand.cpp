#include "cli/Commands.h"

#include "app/core/NumberText.h"
#include "cli/Files.h"
#include "cli/Format.h"
#include "cli/Link.h"
#include "cli/RestorePoints.h"
#include "device/wire/Frame.h"

#include <QFileInfo>
#include <stdexcept>

namespace cli {

namespace {

// What a write sends, and where the variator's old maps go.
struct WritePlan {
    QString file;
    Maps maps;
    QString backup;
};

// Whether two names reach the same file: in another spelling, or through a
// symbolic link to it or to a folder on its way.
bool SameFile(const QString& a, const QString& b)
{
    const QFileInfo first(a), second(b);
    if (first.absoluteFilePath() == second.absoluteFilePath())
        return true;
    const QString canonical = first.canonicalFilePath();
    return !canonical.isEmpty() && canonical == second.canonicalFilePath();
}

// Step 1: loads the file and checks every value and the backup's place
// before anything is sent, as the window does. ExitDone when the write may go.
int CheckWrite(const Options& o, WritePlan& plan)
{
    plan.file = o.files.at(0);
    const QString& file = plan.file;
    Maps& maps = plan.maps;
    QString timeoutText;
    if (!LoadFile(file, maps, &timeoutText))
        return ExitInput;
    if (o.hasTimeout)
        timeoutText = o.timeoutText;

    QString refusal;
    const MessageSink refuse = [&](const QString& text) { refusal = text; };
    if (!MapsFitWire(maps.lpg, maps.petrol, refuse)) {
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
    if (!StartTimeoutFitsWire(maps.timeout, refuse)) {
        PrintFailure(refusal);
        return ExitInput;
    }
    plan.backup = o.hasBackup ? o.backup : BackupName(file);
    if (SameFile(plan.backup, file)) {
        PrintFailure(QStringLiteral("the backup would replace '%1'").arg(file));
        return ExitInput;
    }
    if (!CanSave(plan.backup))
        return ExitInput;
    return ExitDone;
}

// Step 2: what the variator holds goes to disk before anything is sent.
int BackupVariator(Link& s, const WritePlan& plan)
{
    Maps old;
    if (!ReadVariator(s, old, true, QStringLiteral("backup"))) {
        s.ReportFailures();
        PrintFailure(QStringLiteral("could not read what the variator holds; nothing was written"));
        return ExitDevice;
    }
    if (!SaveFile(plan.backup, old)) {
        PrintFailure(QStringLiteral("nothing was written"));
        return ExitInput;
    }
    PrintResult(QStringLiteral("backup %1").arg(plan.backup));
    return ExitDone;
}

// Step 3: both maps, then the start timeout, every echo checked.
int WriteVariator(Link& s, const WritePlan& plan)
{
    const Maps& maps = plan.maps;
    Progress progress(QStringLiteral("write"), WriteExchanges);
    s.Begin(&progress, TransferKind::Write);
    s.tally.timeoutPlanned = true;
    s.tally.lpg.planned = s.tally.petrol.planned = MapPoints;
    int mapPointsSent = 0;
    int mapPointsEchoed = 0;
    const auto writeMap = [&](const MapTable& table, int firstParameter, const QString& mismatch) {
        MapTally& tally = s.tally.Of(firstParameter);
        WriteMapPoints(&s.port, table, firstParameter, mismatch, s.Sink(), s.Step(), [&](const PointExchange& e) {
            s.tally.CountPoint(tally, e.outcome, e.ok);
            if (e.outcome != ExchangeOutcome::NotSent)
                ++mapPointsSent;
            mapPointsEchoed += e.ok ? 1 : 0;
            const QString detail = e.outcome == ExchangeOutcome::Valid
                                     ? QStringLiteral(" (sent %1, echo %2)").arg(e.sent).arg(e.value)
                                     : QString();
            return s.After(PointName(firstParameter, e.point), e.ok, e.outcome, detail);
        });
        return s.stopped.isEmpty();
    };
    const bool going = writeMap(maps.lpg, LPGFirstParameter, LPGWriteMismatch)
                    && writeMap(maps.petrol, PetrolFirstParameter, PetrolWriteMismatch);
    bool timeoutSent = false;
    if (going) {
        progress.Show(s.done);
        bool valid = false;
        ExchangeOutcome outcome = ExchangeOutcome::NotSent;
        const short code = static_cast<short>(maps.timeout);
        const int echo = ExchangeFrame(&s.port, ExchangeKind::Write, StartTimeoutParameter, code, s.Sink(), &valid, &outcome);
        timeoutSent = outcome != ExchangeOutcome::NotSent;
        s.tally.CountSetting(&s.tally.timeoutTried, &s.tally.timeoutDone, outcome, valid && echo == code);
        s.After(QStringLiteral("start timeout (parameter 166)"), valid && echo == code, outcome,
                outcome == ExchangeOutcome::Valid ? QStringLiteral(" (sent %1, echo %2)").arg(code).arg(echo)
                                                  : QString());
    }
    progress.Finish(s.done);
    // Every map point echoed: the car holds these maps.
    if (mapPointsEchoed == MapExchanges)
        LeaveRestorePoint(TransferKind::Write, s.number, maps, timeoutSent, false);
    if (!s.Clean()) {
        s.ReportFailures();
        PrintFailure(QStringLiteral("%1 of %2 map points went out, the start timeout %3; the old maps are in '%4'")
                         .arg(mapPointsSent)
                         .arg(MapExchanges)
                         .arg(timeoutSent ? QStringLiteral("went out") : QStringLiteral("did not"))
                         .arg(plan.backup));
        return ExitDevice;
    }
    PrintResult(QStringLiteral("written %1 points, start timeout %2").arg(MapExchanges).arg(maps.timeout));
    return ExitDone;
}

// Step 4: both maps read back and compared with what was written.
int ReadBack(Link& s, const WritePlan& plan)
{
    Maps back;
    if (!ReadVariator(s, back, false, QStringLiteral("read-back"))) {
        s.ReportFailures();
        PrintFailure(QStringLiteral("the read-back failed; the old maps are in '%1'").arg(plan.backup));
        return ExitDevice;
    }
    const QVector<Difference> differences = Compare(plan.maps.lpg, plan.maps.petrol, back.lpg, back.petrol);
    if (!differences.isEmpty()) {
        for (const Difference& d : differences)
            PrintResult(DifferenceLine(d));
        PrintFailure(QStringLiteral("the variator holds %1 points other than written; the old maps are in '%2'")
                         .arg(differences.size())
                         .arg(plan.backup));
        return ExitDevice;
    }
    PrintResult(QStringLiteral("verified %1 points").arg(MapExchanges));
    return ExitDone;
}

}  // namespace

int WriteFromFile(const Options& o)
{
    WritePlan plan;
    if (const int status = CheckWrite(o, plan); status != ExitDone)
        return status;
    Link s;
    if (const int failed = Connect(o, s, true); failed >= 0)
        return failed;
    if (const int status = BackupVariator(s, plan); status != ExitDone)
        return status;
    if (const int status = WriteVariator(s, plan); status != ExitDone)
        return status;
    return o.noVerify ? ExitDone : ReadBack(s, plan);
}

}  // namespace cli
