#include "common/CoreTestBase.h"
#include "device/wire/Crc.h"
#include "device/core/Dataextractor.h"
#include "DeviceTestSupport.h"

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

    void signedValues()
    {
        MessageLog messages;
        sim.SetValue(3, -1);
        QCOMPARE(UARTdataExchange("read", 3, 100, 1), -1);
        sim.SetValue(4, -32768);
        QCOMPARE(UARTdataExchange("read", 4, 100, 1), -32768);
        sim.SetValue(5, 32767);
        QCOMPARE(UARTdataExchange("read", 5, 100, 1), 32767);
        QCOMPARE(UARTdataExchange("write", 6, -1, 1), -1);
        QCOMPARE(Bytes(sim.Requests().back()).mid(0, 4), QByteArray::fromHex("AA06FFFF"));
        QVERIFY(messages.texts.isEmpty());
    }

    void errorReports_data()
    {
        QTest::addColumn<int>("code");
        QTest::addColumn<int>("value");
        QTest::addColumn<QString>("message");
        QTest::newRow("checksum") << 1 << 1 << ReportChecksum;
        QTest::newRow("parameter") << 2 << 2 << ReportParameter;
        QTest::newRow("other") << 5 << 5 << ReportOther + "5";
        QTest::newRow("FF FE") << 0xFFFE << -2 << ReportOther + "65534";
    }
    void errorReports()
    {
        QFETCH(int, code);
        QFETCH(int, value);
        QFETCH(QString, message);
        sim.AddFault(Fault(SimFault::ErrorReport, code));
        MessageLog messages;
        bool valid = true;
        QCOMPARE(UARTdataExchange("read", 10, 100, 1, &valid), value);
        QVERIFY(!valid);
        QCOMPARE(messages.texts, QStringList{message});

        QCOMPARE(UARTdataExchange("read", 10, 100, 0, &valid), value);
        QVERIFY(!valid);
        QCOMPARE(messages.texts.size(), 1);
    }

    void variatorRefusesUnknownParameter()
    {
        MessageLog messages;
        bool valid = true;
        QCOMPARE(UARTdataExchange("read", 200, 100, 1, &valid), 2);
        QVERIFY(!valid);
        QCOMPARE(messages.texts, QStringList{ReportParameter});
    }

    void wrongReplyChecksumStillGivesDataField()
    {
        sim.SetValue(7, 1234);
        sim.AddFault(Fault(SimFault::BadChecksum));
        MessageLog messages;
        bool valid = true;
        QCOMPARE(UARTdataExchange("read", 7, 100, 1, &valid), 1234);
        QVERIFY(!valid);
        QCOMPARE(messages.texts, QStringList{BadChecksum});
        QCOMPARE(UARTdataExchange("read", 7, 100, 0, &valid), 1234);
        QCOMPARE(messages.texts.size(), 1);
    }

    void replyHeaderIsNotChecked()
    {
        sim.SetValue(8, 777);
        sim.AddFault(Fault(SimFault::ForeignHeader));
        MessageLog messages;
        bool valid = false;
        QCOMPARE(UARTdataExchange("read", 8, 100, 1, &valid), 777);
        QVERIFY(valid);
        QVERIFY(messages.texts.isEmpty());
    }

    void wrongEchoIsAValidReply()
    {
        sim.AddFault(Fault(SimFault::WrongEcho, 1));
        bool valid = false;
        QCOMPARE(UARTdataExchange("write", 9, 500, 1, &valid), 501);
        QVERIFY(valid);
        QCOMPARE(sim.Value(9), int16_t(500));
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

    // A silent variator must not look like one that answers: the handshake
    // never gets 1, a write never gets a valid echo.
    void silentVariator()
    {
        QCOMPARE(VariatorPort->SetTimeouts(SilentT), 1);
        sim.AddFault(Fault(SimFault::Silent));
        MessageLog messages;
        bool valid = true;
        QCOMPARE(UARTdataExchange("read", 255, 11, 0, &valid), 11);
        QVERIFY(!valid);
        QVERIFY(messages.texts.isEmpty());
        QCOMPARE(UARTdataExchange("write", 30, 1500, 1, &valid), 1500);
        QVERIFY(!valid);
        QCOMPARE(messages.texts, QStringList{NoReply});
    }

    void shortHandshakeReplyNeverGivesOne_data()
    {
        QTest::addColumn<int>("bytes");
        for (int k = 1; k <= 5; ++k)
            QTest::newRow(qPrintable(QString::number(k))) << k;
    }
    void shortHandshakeReplyNeverGivesOne()
    {
        QFETCH(int, bytes);
        QCOMPARE(VariatorPort->SetTimeouts(SilentT), 1);
        sim.AddFault(Fault(SimFault::Short, bytes));
        MessageLog messages;
        bool valid = true;
        QCOMPARE(UARTdataExchange("read", 255, 11, 0, &valid), 11);
        QVERIFY(!valid);
        QVERIFY(messages.texts.isEmpty());
        QCOMPARE(UARTdataExchange("read", 255, 11, 1, &valid), 11);
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
