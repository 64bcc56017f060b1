#include "common/SimLine.h"
#include "common/ScopedEnvironment.h"
#include "device/wire/Crc.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <cstring>

namespace {

// Sends one raw frame to the simulator and returns its raw reply.
QByteArray Exchange(ComPort& port, const QByteArray& request)
{
    unsigned char frame[6];
    std::memcpy(frame, request.constData(), 6);
    if (!port.Write(frame, 6) || !port.Read(frame, 6))
        return QByteArray();
    return QByteArray(reinterpret_cast<char*>(frame), 6);
}

QByteArray Frame(const char* hex)
{
    QByteArray frame = QByteArray::fromHex(hex);
    frame.resize(FrameSize);
    PutChecksum(reinterpret_cast<unsigned char*>(frame.data()));
    return frame;
}

} // namespace

class TestVariatorSim : public QObject, public SimLine {
    Q_OBJECT

private slots:
    void initTestCase() { StartLine(200); }
    void init() { ResetLine(); }
    void cleanupTestCase() { StopLine(); }

    void answersLikeTheVariator()
    {
        // Handshake: 1, with a parameter byte that is no error report.
        QCOMPARE(Exchange(port, Frame("55FF000B")), Frame("5500" "0001"));
        // A bad request checksum: error report 1.
        QCOMPARE(Exchange(port, QByteArray::fromHex("55FF000B33B7")), Frame("55FF0001"));
        // Unknown parameter, and a write to the firmware version: error report 2.
        QCOMPARE(Exchange(port, Frame("55A10064")), Frame("55FF0002"));
        QCOMPARE(Exchange(port, Frame("AAA00005")), Frame("AAFF0002"));
        // A write stores and echoes; a read gives the stored value.
        QCOMPARE(Exchange(port, Frame("AA9FFF38")), Frame("AA9FFF38"));
        QCOMPARE(sim.Value(159), int16_t(-200));
        QCOMPARE(Exchange(port, Frame("559F0064")), Frame("559FFF38"));
        QCOMPARE(sim.RequestCount(), 6);
        QVERIFY(!sim.Requests()[1].checksumOk);
        QVERIFY(sim.Requests()[2].checksumOk);
    }

    void holdsMapsAndSettings()
    {
        MessageLog messages;
        port.Close();
        QCOMPARE(VariatorPort->Open(sim.DevicePath().c_str(), 9600, 200), 1);
        for (int p = 0; p < 160; ++p)
            QCOMPARE(UARTdataExchange("write", uchar(p), short(p * 100 - 8000), 1), p * 100 - 8000);
        for (int p = 0; p < 160; ++p)
            QCOMPARE(int(sim.Value(p)), p * 100 - 8000);
        QCOMPARE(UARTdataExchange("write", 166, 45, 1), 45);
        QCOMPARE(UARTdataExchange("read", 166, 1000, 1), 45);
        sim.SetValue(160, 17);
        QCOMPARE(UARTdataExchange("read", 160, 1000, 1), 17);
        QVERIFY(messages.texts.isEmpty());
        VariatorPort->Close();
        QCOMPARE(port.Open(sim.DevicePath().c_str(), 9600, 200), 1);
    }

    void faultSelection()
    {
        sim.AddFault(Fault(SimFault::BadChecksum, 0, -1, 3));
        sim.AddFault(Fault(SimFault::ErrorReport, 9, 70));
        QByteArray bad;
        for (int i = 1; i <= 6; ++i) {
            const QByteArray reply = Exchange(port, Frame("55000064"));
            const uint16_t crc = Crc16(reinterpret_cast<const unsigned char*>(reply.constData()), 4);
            bad += (uchar(reply[5]) != (crc & 0xFF)) ? '1' : '0';
        }
        QCOMPARE(bad, QByteArray("001001"));
        QCOMPARE(Exchange(port, Frame("55460064")), Frame("55FF0009"));

        sim.ClearFaults();
        sim.ClearRequests();
        sim.AddFault(Fault(SimFault::Silent, 0, -1, 0, 3));
        QCOMPARE(port.SetTimeouts(20), 1);
        QVERIFY(!Exchange(port, Frame("55FF000B")).isEmpty());
        QVERIFY(!Exchange(port, Frame("55FF000B")).isEmpty());
        QVERIFY(Exchange(port, Frame("55FF000B")).isEmpty());
        QVERIFY(Exchange(port, Frame("55FF000B")).isEmpty());
        QCOMPARE(sim.RequestCount(), 4);
        QCOMPARE(port.SetTimeouts(200), 1);
    }

    void unfinishedRequestIsDropped()
    {
        unsigned char half[3] = {0x55, 0xFF, 0x00};
        QCOMPARE(port.Write(half, 3), 1);
        QTest::qWait(250);
        QCOMPARE(Exchange(port, Frame("55FF000B")), Frame("55000001"));
        QCOMPARE(sim.RequestCount(), 1);
    }

    void pacedLikeA9600BaudLine()
    {
        VariatorSim paced;
        QVERIFY(paced.Start());
        ComPort line;
        QCOMPARE(line.Open(paced.DevicePath().c_str(), 9600, 200), 1);
        QElapsedTimer clock;
        clock.start();
        for (int i = 0; i < 10; ++i)
            QCOMPARE(Exchange(line, Frame("55FF000B")), Frame("55000001"));
        // Twelve characters of ~1.04 ms per exchange.
        QVERIFY2(clock.elapsed() >= 100, qPrintable(QString::number(clock.elapsed())));
    }

    void parseFaults()
    {
        SimFaultRule rule;
        std::string error;
        QVERIFY(ParseSimFault("short,2,param=80,every=3,from=5", &rule, &error));
        QCOMPARE(int(rule.fault), int(SimFault::Short));
        QCOMPARE(rule.argument, 2);
        QCOMPARE(rule.parameter, 80);
        QCOMPARE(rule.every, 3);
        QCOMPARE(rule.from, 5);
        QVERIFY(ParseSimFault("error,0xFFFE", &rule, &error));
        QCOMPARE(rule.argument, 0xFFFE);
        QVERIFY(ParseSimFault("silent", &rule, &error));
        QCOMPARE(rule.parameter, -1);
        for (const char* bad : {"", "loud", "short,6", "short,x", "error,1,param=256", "stray,0",
                                "bad-crc,every=0", "silent,from=", "wrong-echo,0"}) {
            error.clear();
            QVERIFY2(!ParseSimFault(bad, &rule, &error), bad);
            QVERIFY(!error.empty());
        }
    }

    void command()
    {
        QTemporaryDir runtime;
        QVERIFY(runtime.isValid());
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_RUNTIME_DIR", runtime.path());

        QProcess help;
        help.start(VARIATOR_SIM_PATH, {"--help"});
        QVERIFY(help.waitForFinished(5000));
        const QString text = QString::fromUtf8(help.readAllStandardOutput());
        for (const char* word : {"--fault", "--instant", "--com", "silent", "short", "bad-crc", "error",
                                 "wrong-echo", "stray", "hangup", "param=P", "every=N", "from=N"})
            QVERIFY2(text.contains(word), word);

        QProcess wrong;
        wrong.start(VARIATOR_SIM_PATH, {"--fault=loud"});
        QVERIFY(wrong.waitForFinished(5000));
        QCOMPARE(wrong.exitCode(), 2);

        QProcess serving;
        serving.setProcessEnvironment(env);
        serving.start(VARIATOR_SIM_PATH, {"--instant", "--com=9", "--value=166:77"});
        QVERIFY(serving.waitForReadyRead(5000));
        const QByteArray device = serving.readLine().trimmed();
        QVERIFY(device.startsWith("/dev/pts/"));
        const QString alias = runtime.path() + "/tarvo-gui/com9";
        QCOMPARE(QFileInfo(alias).symLinkTarget(), QString::fromLocal8Bit(device));
        QCOMPARE(QFileInfo(runtime.path() + "/tarvo-gui").permissions() & 0x0077, QFileDevice::Permissions());

        {
            const ScopedEnvironment simRuntime("XDG_RUNTIME_DIR", runtime.path().toLocal8Bit());
            ComPort program;
            QCOMPARE(program.Open("\\\\.\\COM9", 9600, 300), 1);
            QCOMPARE(Exchange(program, Frame("55A603E8")), Frame("55A6004D"));
        }

        serving.terminate();
        QVERIFY(serving.waitForFinished(5000));
        QCOMPARE(serving.exitStatus(), QProcess::NormalExit);
        QCOMPARE(serving.exitCode(), 0);
        QVERIFY(!QFileInfo(alias).isSymLink());
    }
};

QTEST_MAIN(TestVariatorSim)
#include "tst_variatorsim.moc"
