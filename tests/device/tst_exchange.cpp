#include "common/CoreTestBase.h"
#include "device/wire/Crc.h"
#include "device/core/Dataextractor.h"
#include "common/DeviceTestSupport.h"

#include <QElapsedTimer>

namespace {

const QString NoReply = QStringLiteral("UARTdataExchange: Вариатор не отвечает");
const QString SendFailed = QStringLiteral(
    "Невозможно отправить запрос вариатору. Com-port не удается открыть или отправить ему данные");
const QString BadChecksum = QStringLiteral(
    "UARTdataExchange: Ошибка контрольной суммы пакета, принятого от вариатора");
const QString ReportChecksum = QStringLiteral(
    "UARTdataExchange: Вариатор сообщает о получении пакета с неверной контрольной суммой");
const QString ReportParameter = QStringLiteral(
    "UARTdataExchange: Вариатор сообщает о получении пакета с неверным параметром");
const QString ReportOther = QStringLiteral(
    "UARTdataExchange: Вариатор отвечает параметром 0xFF с кодом ошибки ");

// Time-out T of the exchanges that get an answer, and of those that wait for
// a silent line (kept short so the suite stays fast).
const int AnswerT = 300;
const int SilentT = 30;

} // namespace

class TestExchange : public QObject {
    Q_OBJECT
    VariatorSim sim;

private slots:
    void initTestCase()
    {
        QVERIFY(StartSim(sim));
    }

    void init()
    {
        ResetCoreGlobals();
        sim.ClearFaults();
        sim.ClearRequests();
        if (!VariatorPort->IsOpen())
            QCOMPARE(VariatorPort->Open(sim.DevicePath().c_str(), VariatorBaudRate, AnswerT), 1);
        QCOMPARE(VariatorPort->SetTimeouts(AnswerT), 1);
    }

    void cleanupTestCase()
    {
        VariatorPort->Close();
        sim.Stop();
    }

    void checksum()
    {
        const unsigned char digits[] = "123456789";
        QCOMPARE(Crc16(digits, 9), uint16_t(0x29B1));
        QCOMPARE(Crc16(digits, 0), uint16_t(0xFFFF));
        const unsigned char frame[] = {0x55, 0xFF, 0x00, 0x0B};
        QCOMPARE(Crc16(frame, 4), uint16_t(0x33B6));
    }

    void exampleRequestsGoOutByteForByte()
    {
        MessageLog messages;
        bool valid = false;
        QCOMPARE(UARTdataExchange("read", 255, 11, 0, &valid), 1);
        QVERIFY(valid);
        sim.SetValue(80, 4350);
        QCOMPARE(UARTdataExchange("read", 80, 100, 1, &valid), 4350);
        QVERIFY(valid);
        QCOMPARE(UARTdataExchange("write", 166, 5, 1, &valid), 5);
        QVERIFY(valid);
        QCOMPARE(sim.Value(166), int16_t(5));

        const std::vector<SimRequest> sent = sim.Requests();
        QCOMPARE(int(sent.size()), 3);
        QCOMPARE(Bytes(sent[0]), QByteArray::fromHex("55FF000B33B6"));
        QCOMPARE(Bytes(sent[1]), QByteArray::fromHex("555000643F52"));
        QCOMPARE(Bytes(sent[2]), QByteArray::fromHex("AAA600055984"));
        QVERIFY(messages.texts.isEmpty());
    }

    // One exchange against a reply of each kind: what it returns, whether it
    // counts as valid, and the message it shows when asked to (none when not).
    void replies_data()
    {
        QTest::addColumn<QString>("fault");  // as the simulator's --fault takes it; empty: none
        QTest::addColumn<QString>("command");
        QTest::addColumn<int>("parameter");
        QTest::addColumn<int>("data");
        QTest::addColumn<int>("stored");     // the simulator's value of the parameter
        QTest::addColumn<int>("value");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<QString>("message");
        QTest::newRow("-1") << "" << "read" << 3 << 100 << -1 << -1 << true << "";
        QTest::newRow("-32768") << "" << "read" << 4 << 100 << -32768 << -32768 << true << "";
        QTest::newRow("32767") << "" << "read" << 5 << 100 << 32767 << 32767 << true << "";
        QTest::newRow("write -1") << "" << "write" << 6 << -1 << 0 << -1 << true << "";
        QTest::newRow("report 1") << "error,1" << "read" << 10 << 100 << 0 << 1 << false << ReportChecksum;
        QTest::newRow("report 2") << "error,2" << "read" << 10 << 100 << 0 << 2 << false << ReportParameter;
        QTest::newRow("report 5") << "error,5" << "read" << 10 << 100 << 0 << 5 << false << ReportOther + "5";
        QTest::newRow("report FF FE") << "error,0xFFFE" << "read" << 10 << 100 << 0 << -2 << false
                                      << ReportOther + "65534";
        QTest::newRow("unknown parameter") << "" << "read" << 200 << 100 << 0 << 2 << false << ReportParameter;
        // The data field is returned even behind a spoilt checksum.
        QTest::newRow("bad checksum") << "bad-crc" << "read" << 7 << 100 << 1234 << 1234 << false << BadChecksum;
        // The reply's header is not checked; a wrong echo is a valid reply.
        QTest::newRow("foreign header") << "foreign-header" << "read" << 8 << 100 << 777 << 777 << true << "";
        QTest::newRow("wrong echo") << "wrong-echo,1" << "write" << 9 << 500 << 0 << 501 << true << "";
    }
    void replies()
    {
        QFETCH(QString, fault);
        QFETCH(QString, command);
        QFETCH(int, parameter);
        QFETCH(int, data);
        QFETCH(int, stored);
        QFETCH(int, value);
        QFETCH(bool, valid);
        QFETCH(QString, message);
        sim.SetValue(parameter, int16_t(stored));
        QVERIFY(fault.isEmpty() || AddFaults(sim, {fault}));
        MessageLog messages;
        const QStringList shown = message.isEmpty() ? QStringList() : QStringList{message};
        for (int report : {1, 0}) {
            bool isValid = !valid;
            QCOMPARE(UARTdataExchange(command, uchar(parameter), short(data), report, &isValid), value);
            QCOMPARE(isValid, valid);
            QCOMPARE(messages.texts, shown);
        }
        if (command == QLatin1String("write"))
            QCOMPARE(int(sim.Value(parameter)), data);
    }

    void closedPort()
    {
        VariatorPort->Close();
        MessageLog messages;
        bool valid = true;
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(UARTdataExchange("read", 255, 11, 0, &valid), 11);
        QVERIFY(!valid);
        QVERIFY(messages.texts.isEmpty());
        QCOMPARE(UARTdataExchange("write", 20, -5, 1, &valid), -5);
        QVERIFY(!valid);
        QCOMPARE(messages.texts, QStringList{SendFailed});
        QVERIFY(clock.elapsed() < 500);
        QCOMPARE(sim.RequestCount(), 0);
    }

    // A silent variator, or one whose reply breaks off, must not look like
    // one that answers: the handshake never gets 1, a write never gets a
    // valid echo.
    void noWholeReply_data()
    {
        QTest::addColumn<int>("bytes");  // of the reply that arrive; 0: silent
        for (int k = 0; k <= 5; ++k)
            QTest::newRow(qPrintable(QString::number(k))) << k;
    }
    void noWholeReply()
    {
        QFETCH(int, bytes);
        QCOMPARE(VariatorPort->SetTimeouts(SilentT), 1);
        sim.AddFault(bytes ? Fault(SimFault::Short, bytes) : Fault(SimFault::Silent));
        MessageLog messages;
        bool valid = true;
        QCOMPARE(UARTdataExchange("read", 255, 11, 0, &valid), 11);
        QVERIFY(!valid);
        QVERIFY(messages.texts.isEmpty());
        valid = true;
        QCOMPARE(UARTdataExchange("write", 30, 1500, 1, &valid), 1500);
        QVERIFY(!valid);
        QCOMPARE(messages.texts, QStringList{NoReply});
    }

    // Stray bytes spoil one reply, not every reply after it.
    void strayBytesDoNotShiftLaterReplies()
    {
        sim.SetValue(40, 4000);
        sim.SetValue(41, 4100);
        sim.AddFault(Fault(SimFault::Stray, 2, 40));
        MessageLog messages;
        bool valid = true;
        UARTdataExchange("read", 40, 100, 1, &valid);
        QVERIFY(!valid);
        QCOMPARE(messages.texts, QStringList{BadChecksum});
        QTest::qWait(50); // the rest of that reply has surely arrived
        QCOMPARE(UARTdataExchange("read", 41, 100, 1, &valid), 4100);
        QVERIFY(valid);
        QCOMPARE(messages.texts.size(), 1);
    }

    // A reply that comes after the time-out is not taken for the answer to
    // the next request.
    void lateReplyIsNotTakenForTheNext()
    {
        QCOMPARE(VariatorPort->SetTimeouts(SilentT), 1);
        sim.SetValue(60, 6000);
        sim.SetValue(61, 6100);
        sim.AddFault(Fault(SimFault::Delay, 300, 60));
        MessageLog messages;
        bool valid = true;
        QCOMPARE(UARTdataExchange("read", 60, 100, 1, &valid), 100);
        QVERIFY(!valid);
        QTest::qWait(400);
        QCOMPARE(UARTdataExchange("read", 61, 100, 1, &valid), 6100);
        QVERIFY(valid);
        QCOMPARE(messages.texts, QStringList{NoReply});
    }

    void lineClosedMidReply()
    {
        VariatorSim other;
        QVERIFY(StartSim(other));
        VariatorPort->Close();
        QCOMPARE(VariatorPort->Open(other.DevicePath().c_str(), VariatorBaudRate, AnswerT), 1);
        other.AddFault(Fault(SimFault::Hangup, 3));
        MessageLog messages;
        bool valid = true;
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(UARTdataExchange("write", 50, 321, 1, &valid), 321);
        QVERIFY(!valid);
        QVERIFY(other.HungUp());
        UARTdataExchange("write", 51, 321, 1, &valid);
        QVERIFY(!valid);
        QVERIFY2(clock.elapsed() < 6 * AnswerT, "a dead line is noticed within the time-outs");
        QCOMPARE(messages.texts.first(), NoReply);
        QCOMPARE(messages.texts.size(), 2);
        VariatorPort->Close();
    }
};

QTEST_MAIN(TestExchange)
#include "tst_exchange.moc"
