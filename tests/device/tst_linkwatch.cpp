// How an exchange ended, as the transfers' watchers see it, and a watcher
// ending a transfer after any exchange.

#include "common/SimLine.h"

#include "app/core/MapStore.h"

namespace {

// Time-out T of the line (short: a silent exchange then costs 7 T).
const int T = 60;

} // namespace

class TestLinkWatch : public QObject, public SimLine {
    Q_OBJECT

private slots:
    void initTestCase() { StartLine(T); }
    void init() { ResetLine(); }
    void cleanupTestCase() { StopLine(); }

    void outcomeOfEachFault_data()
    {
        QTest::addColumn<int>("fault");
        QTest::addColumn<int>("argument");
        QTest::addColumn<int>("outcome");
        QTest::newRow("valid") << int(SimFault::None) << 0 << int(ExchangeOutcome::Valid);
        QTest::newRow("silent") << int(SimFault::Silent) << 0 << int(ExchangeOutcome::NoReply);
        QTest::newRow("one byte") << int(SimFault::Short) << 1 << int(ExchangeOutcome::ShortReply);
        QTest::newRow("five bytes") << int(SimFault::Short) << 5 << int(ExchangeOutcome::ShortReply);
        QTest::newRow("bad checksum") << int(SimFault::BadChecksum) << 0 << int(ExchangeOutcome::BadChecksum);
        QTest::newRow("error report") << int(SimFault::ErrorReport) << 7 << int(ExchangeOutcome::ErrorReport);
        QTest::newRow("wrong echo") << int(SimFault::WrongEcho) << 3 << int(ExchangeOutcome::Valid);
    }
    void outcomeOfEachFault()
    {
        QFETCH(int, fault);
        QFETCH(int, argument);
        QFETCH(int, outcome);
        if (fault != int(SimFault::None))
            sim.AddFault(Fault(SimFault(fault), argument));
        bool valid = true;
        ExchangeOutcome ended = ExchangeOutcome::NotSent;
        ExchangeFrame(&port, ExchangeKind::Read, 85, MapReadData, MessageSink(), &valid, &ended);
        QCOMPARE(int(ended), outcome);
        QCOMPARE(valid, ended == ExchangeOutcome::Valid);
        // A broken-off reply must not leave bytes behind for the next one.
        sim.ClearFaults();
        ExchangeFrame(&port, ExchangeKind::Read, 85, MapReadData, MessageSink(), &valid, &ended);
        QCOMPARE(int(ended), int(ExchangeOutcome::Valid));
    }

    void closedPortIsNotSent()
    {
        ComPort closed;
        ExchangeOutcome ended = ExchangeOutcome::Valid;
        ExchangeFrame(&closed, ExchangeKind::Write, 3, 5, MessageSink(), nullptr, &ended);
        QCOMPARE(int(ended), int(ExchangeOutcome::NotSent));
    }

    // The watcher sees every point with what was sent and what came back,
    // and false from it ends the transfer right after that exchange.
    void watcherSeesEveryPointAndCanStop()
    {
        MapTable table;
        for (int i = 0; i < MapPoints; ++i)
            table.Uoz[i] = i / 10.0;
        sim.AddFault(Fault(SimFault::WrongEcho, 1, LPGFirstParameter + 3));
        QList<PointExchange> seen;
        WriteMapPoints(&port, table, LPGFirstParameter, QStringLiteral("mismatch"), MessageSink(), ProgressStep(),
                       [&](const PointExchange& e) {
                           seen << e;
                           return e.point < 5;
                       });
        QCOMPARE(seen.size(), 6);
        QCOMPARE(sim.RequestCount(), 6);
        QCOMPARE(seen[2].parameter, LPGFirstParameter + 2);
        QCOMPARE(int(seen[2].sent), 200);
        QVERIFY(seen[2].ok);
        QCOMPARE(seen[3].value, 301);
        QVERIFY(!seen[3].ok);
        QCOMPARE(int(seen[3].outcome), int(ExchangeOutcome::Valid));

        // A read: a point whose exchange failed is reported and keeps its value.
        sim.ClearFaults();
        sim.ClearRequests();
        sim.AddFault(Fault(SimFault::BadChecksum, 0, PetrolFirstParameter + 1));
        table.Uoz[1] = 99;
        seen.clear();
        ReadMapPoints(&port, table, PetrolFirstParameter, MessageSink(), ProgressStep(), [&](const PointExchange& e) {
            seen << e;
            return e.point < 2;
        });
        QCOMPARE(sim.RequestCount(), 3);
        QVERIFY(seen[0].ok && !seen[1].ok && seen[2].ok);
        QCOMPARE(int(seen[1].outcome), int(ExchangeOutcome::BadChecksum));
        QCOMPARE(table.Uoz[1], 99.0);
    }
};

QTEST_GUILESS_MAIN(TestLinkWatch)
#include "tst_linkwatch.moc"
