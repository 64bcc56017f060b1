// What the variator is known to hold after each kind of exchange, and the
// summary of a transfer that did not run clean.

#include "common/SimLine.h"

namespace {

const int T = 60;

} // namespace

class TestHeld : public QObject, public SimLine {
    Q_OBJECT

private slots:
    void initTestCase() { StartLine(T); }
    void init() { ResetLine(); }
    void cleanupTestCase() { StopLine(); }

    // LPG point 5 is first known from a clean read; then one more exchange.
    void knownAfterEachExchange_data()
    {
        QTest::addColumn<QString>("fault");  // as the simulator's --fault takes it
        QTest::addColumn<int>("parameter");
        QTest::addColumn<bool>("write");
        QTest::addColumn<bool>("known");
        QTest::addColumn<int>("code");
        QTest::newRow("read") << "" << 85 << false << true << 1234;
        QTest::newRow("write echoed") << "" << 85 << true << true << 777;
        QTest::newRow("wrong echo") << "wrong-echo,1" << 85 << true << false << 0;
        QTest::newRow("error report") << "error,5" << 85 << false << false << 0;
        QTest::newRow("bad checksum") << "bad-crc" << 85 << false << false << 0;
        QTest::newRow("short reply") << "short,3" << 85 << false << false << 0;
        QTest::newRow("no reply to a write") << "silent" << 85 << true << false << 0;
        QTest::newRow("start timeout written") << "" << 166 << true << true << 777;
        QTest::newRow("start timeout, error report") << "error,2" << 166 << true << false << 0;
        QTest::newRow("start timeout, another value echoed") << "wrong-echo,1" << 166 << true << false << 0;
    }
    void knownAfterEachExchange()
    {
        QFETCH(QString, fault);
        QFETCH(int, parameter);
        QFETCH(bool, write);
        QFETCH(bool, known);
        QFETCH(int, code);
        sim.SetValue(85, 1234);
        sim.SetValue(166, 1234);
        ExchangeFrame(&port, ExchangeKind::Read, 85, MapReadData, MessageSink());
        ExchangeFrame(&port, ExchangeKind::Read, 166, SettingReadData, MessageSink());
        short held = 0;
        QVERIFY(HeldPoint(LPGFirstParameter, 5, &held) && held == 1234 && VariatorHolds.timeoutKnown);
        if (!fault.isEmpty())
            QVERIFY(AddFaults(sim, {fault}));
        ExchangeFrame(&port, write ? ExchangeKind::Write : ExchangeKind::Read, static_cast<unsigned char>(parameter),
                      write ? 777 : MapReadData, MessageSink());
        const bool isKnown = parameter == 166 ? VariatorHolds.timeoutKnown : HeldPoint(LPGFirstParameter, 5, &held);
        QCOMPARE(isKnown, known);
        if (known)
            QCOMPARE(int(parameter == 166 ? VariatorHolds.timeout : held), code);
        QCOMPARE(KnownPoints(), parameter == 166 || known ? 1 : 0);
    }

    // A connect, a disconnect and a port search start from nothing known.
    void forgottenByEachChangeOfLink()
    {
        QVERIFY(ResetAliasFolder());
        QVERIFY(AliasToDevNull(7));
        const std::function<void()> changes[] = {
            [] { DisconnectVariator(); },
            [] {
                ComPort other;
                ConnectPort(&other, 7, 0, MessageSink(), StatusSink());
            },
            [] {
                ComPort other;
                SearchPorts(&other, 7, 8, ProgressStep(), StatusSink(), nullptr);
            },
        };
        for (const auto& change : changes) {
            ExchangeFrame(&port, ExchangeKind::Read, 85, MapReadData, MessageSink());
            QCOMPARE(KnownPoints(), 1);
            change();
            QCOMPARE(KnownPoints(), 0);
        }
    }

    void summaryTexts_data()
    {
        QTest::addColumn<int>("command");
        QTest::addColumn<int>("end");
        QTest::addColumn<QList<int>>("counts");  // planned, tried, done of LPG, then of petrol
        QTest::addColumn<QString>("text");       // empty: no summary owed
        QTest::newRow("clean write") << int(TransferKind::Write) << int(TransferEnd::RanThrough)
                                     << QList<int>{80, 80, 80, 80, 80, 80} << "";
        QTest::newRow("changes stopped") << int(TransferKind::Write) << int(TransferEnd::Stopped)
                                         << QList<int>{5, 3, 3, 0, 0, 0}
                                         << "Запись прервана пользователем. Записано точек: 3 из 5 (газ: 3 из 5). В "
                                            "неотправленных точках (2) вариатор хранит прежние значения. Время до "
                                            "включения не записано.";
        QTest::newRow("read not sent") << int(TransferKind::Read) << int(TransferEnd::NotSent)
                                       << QList<int>{80, 0, 0, 80, 0, 0}
                                       << "Чтение прервано: запрос не удалось отправить вариатору. Прочитано точек: 0 "
                                          "из 160 (газ: 0 из 80, бензин: 0 из 80). Остальные точки сохранили прежние "
                                          "значения. Время до включения не прочитано. Версия прошивки не прочитана.";
    }
    // A point whose request could not be sent counts as not sent: it was
    // not tried, so the variator still holds its old value.
    void pointNotSentCountsAsNotSent()
    {
        TransferTally t;
        t.command = TransferKind::Write;
        t.lpg.planned = 3;
        t.CountPoint(t.lpg, ExchangeOutcome::Valid, true);
        t.CountPoint(t.lpg, ExchangeOutcome::NotSent, false);
        QVERIFY(!t.GoesOn(ExchangeOutcome::NotSent, false));
        QCOMPARE(TransferSummary(t), QStringLiteral("Запись прервана: запрос не удалось отправить вариатору. "
                                                    "Записано точек: 1 из 3 (газ: 1 из 3). В неотправленных точках "
                                                    "(2) вариатор хранит прежние значения."));
    }

    void summaryTexts()
    {
        QFETCH(int, command);
        QFETCH(int, end);
        QFETCH(QList<int>, counts);
        QFETCH(QString, text);
        TransferTally t;
        t.command = TransferKind(command);
        t.end = TransferEnd(end);
        t.lpg = {counts[0], counts[1], counts[2]};
        t.petrol = {counts[3], counts[4], counts[5]};
        t.timeoutPlanned = true;
        t.firmwarePlanned = t.command == TransferKind::Read;
        t.timeoutDone = text.isEmpty();
        QCOMPARE(NeedsSummary(t), !text.isEmpty());
        if (!text.isEmpty())
            QCOMPARE(TransferSummary(t), text);
    }
};

QTEST_MAIN(TestHeld)
#include "tst_held.moc"
