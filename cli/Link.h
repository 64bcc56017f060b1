#pragma once

// tarvo-cli's connection to the variator: the port, the handshake or the
// port search, and the record of a series of exchanges.

#include "app/core/History.h"
#include "cli/Console.h"
#include "cli/Maps.h"
#include "cli/Options.h"
#include "device/core/Dataextractor.h"
#include "device/wire/ComPort.h"

#include <QString>
#include <QStringList>
#include <QVector>

namespace cli {

struct Failure {
    QString where;
    QString what;
};

// One connection to the variator and the record of a series of exchanges:
// what failed, and why the series ended early.
class Link {
public:
    ComPort port;
    int number = 0;
    QVector<Failure> failures;
    QString stopped;  // why the series ended early; empty when it ran through
    int done = 0;     // exchanges of the series so far
    Progress* progress = nullptr;
    // The count of the series, as the window's summary tells it.
    TransferTally tally;

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
        if (!ok && !LinkLost(outcome))
            failures.push_back({where, messages + detail
                                           + (outcome == ExchangeOutcome::ShortReply
                                                  ? QStringLiteral(" (the reply broke off before its sixth byte)")
                                                  : QString())});
        if (tally.GoesOn(outcome, Interrupted()))
            return true;
        if (tally.end == TransferEnd::NoReply)
            stopped = QStringLiteral("no reply from the variator at %1").arg(where);
        else if (tally.end == TransferEnd::NotSent)
            stopped = QStringLiteral("the request for %1 could not be sent: %2").arg(where, messages);
        else
            stopped = QStringLiteral("stopped by Ctrl+C");
        return false;
    }

    void Begin(Progress* p, TransferKind command = TransferKind::Read)
    {
        progress = p;
        tally = TransferTally();
        tally.command = command;
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
        // The same facts in the words of the window's summary.
        if (NeedsSummary(tally))
            PrintFailure(TransferSummary(tally));
    }

private:
    QStringList linkMessages;
};

// Reads both maps (LPG first, as the window does) and, with settings, the
// start timeout and the firmware version; true when every exchange got a
// valid reply.
// The restore point it leaves is of kind.
bool ReadVariator(Link& s, Maps& maps, bool settings, const QString& label, TransferKind kind = TransferKind::Read);

// Opens the port of the options and shakes hands; an exit status on failure,
// -1 when connected.
int Connect(const Options& o, Link& s, bool announce);

}  // namespace cli
