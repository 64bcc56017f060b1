#include "common/CoreTestBase.h"
#include "device/core/Dataextractor.h"
#include "common/DeviceTestSupport.h"
#include "common/ScopedEnvironment.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const unsigned char Handshake[6] = {0x55, 0xFF, 0x00, 0x0B, 0x33, 0xB6};

// Sends the handshake through port and checks that the answer is 1.
bool Answers(ComPort& port)
{
    unsigned char frame[6];
    std::memcpy(frame, Handshake, 6);
    return port.Write(frame, 6) == 1 && port.Read(frame, 6) == 1 && frame[2] == 0 && frame[3] == 1;
}

} // namespace

class TestComPort : public QObject {
    Q_OBJECT
    VariatorSim sim;
    QTemporaryDir runtime;
    QByteArray path;

private slots:
    void initTestCase()
    {
        QVERIFY(runtime.isValid());
        // The alias folder lives under XDG_RUNTIME_DIR, so the tests get one
        // of their own.
        qputenv("XDG_RUNTIME_DIR", runtime.path().toLocal8Bit());
        QVERIFY(StartSim(sim));
        path = QByteArray::fromStdString(sim.DevicePath());
    }

    void cleanupTestCase() { sim.Stop(); }

    void init()
    {
        ResetCoreGlobals();
        sim.ClearFaults();
    }

    void stateRules()
    {
        ComPort port;
        QVERIFY(!port.IsOpen());
        QCOMPARE(port.Close(), 1);
        QCOMPARE(port.Open("/dev/no-such-device", 9600, 100), 0);
        QVERIFY(!port.IsOpen());
        QCOMPARE(port.Open(path.constData(), 9600, 100), 1);
        QVERIFY(port.IsOpen());
        // A second open fails and keeps the device that is open.
        QCOMPARE(port.Open("/dev/no-such-device", 9600, 100), 0);
        QCOMPARE(port.Open(path.constData(), 9600, 100), 0);
        QVERIFY(port.IsOpen());
        QVERIFY(Answers(port));
        QCOMPARE(port.Purge(), 1);
        QCOMPARE(port.SetTimeouts(0), 0);
        QCOMPARE(port.Close(), 1);
        QVERIFY(!port.IsOpen());
        QCOMPARE(port.Close(), 1);
        // The simulator holds its end: the line survives close and reopen.
        QCOMPARE(port.Open(path.constData(), 9600, 100), 1);
        QVERIFY(Answers(port));
    }

    void closedPortFailsAtOnce()
    {
        ComPort port;
        unsigned char buffer[6] = {1, 2, 3, 4, 5, 6};
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(port.Write(buffer, 6), 0);
        QCOMPARE(port.Read(buffer, 6), 0);
        QCOMPARE(port.Purge(), 0);
        QCOMPARE(port.SetTimeouts(100), 0);
        QVERIFY(clock.elapsed() < 50);
        QCOMPARE(QByteArray(reinterpret_cast<char*>(buffer), 6), QByteArray::fromHex("010203040506"));
    }

    void failedConfigurationLeavesPortClosed()
    {
        ComPort port;
        // A time-out of 0 would mean waiting for ever: refused.
        QCOMPARE(port.Open(path.constData(), 9600, 0), 0);
        QVERIFY(!port.IsOpen());
        // A file that is no terminal refuses the line settings.
        QTemporaryDir dir;
        QFile file(dir.filePath("plain"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();
        QCOMPARE(port.Open(QFile::encodeName(file.fileName()).constData(), 9600, 100), 0);
        QVERIFY(!port.IsOpen());
        // Nothing of those attempts holds the device.
        QCOMPARE(port.Open(path.constData(), 9600, 100), 1);
        QVERIFY(Answers(port));
    }

    void exclusiveUse()
    {
        ComPort first;
        ComPort second;
        QCOMPARE(first.Open(path.constData(), 9600, 100), 1);
        QCOMPARE(second.Open(path.constData(), 9600, 100), 0);
        QVERIFY(!second.IsOpen());
        // Also under another name of the same device.
        QVERIFY(sim.RegisterAlias(11));
        QCOMPARE(second.Open("\\\\.\\COM11", 9600, 100), 0);
        first.Close();
        QCOMPARE(second.Open("\\\\.\\COM11", 9600, 100), 1);
        QVERIFY(Answers(second));
        sim.RemoveAlias();
        {
            ComPort scoped;
            QCOMPARE(scoped.Open(path.constData(), 9600, 100), 0);
        }
        second.Close();
        {
            ComPort scoped;
            QCOMPARE(scoped.Open(path.constData(), 9600, 100), 1);
        }
        // Destruction released the device.
        QCOMPARE(first.Open(path.constData(), 9600, 100), 1);
    }

    void readTimeouts()
    {
        ComPort port;
        QCOMPARE(port.Open(path.constData(), 9600, 50), 1);
        unsigned char buffer[6];

        // Nothing arrives: n*T + T in all, buffer untouched.
        sim.AddFault(Fault(SimFault::Silent));
        std::memcpy(buffer, Handshake, 6);
        QCOMPARE(port.Write(buffer, 6), 1);
        std::memset(buffer, 0xEE, 6);
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(port.Read(buffer, 6), 0);
        qint64 elapsed = clock.elapsed();
        QVERIFY2(elapsed >= 330 && elapsed < 2000, qPrintable(QString::number(elapsed)));
        QCOMPARE(QByteArray(reinterpret_cast<char*>(buffer), 6), QByteArray(6, char(0xEE)));

        // Three bytes, then a pause longer than T: the read ends about T after
        // the last byte, long before n*T + T, with those bytes in front.
        sim.ClearFaults();
        sim.AddFault(Fault(SimFault::Short, 3));
        QCOMPARE(port.SetTimeouts(200), 1);
        std::memcpy(buffer, Handshake, 6);
        QCOMPARE(port.Write(buffer, 6), 1);
        std::memset(buffer, 0xEE, 6);
        clock.restart();
        QCOMPARE(port.Read(buffer, 6), 0);
        elapsed = clock.elapsed();
        QVERIFY2(elapsed >= 150 && elapsed < 1000, qPrintable(QString::number(elapsed)));
        QCOMPARE(QByteArray(reinterpret_cast<char*>(buffer), 6), QByteArray::fromHex("550000EEEEEE"));
    }

    void intervalCountsOnlyAfterFirstByte()
    {
        // T = 50, six bytes: the read may last 350 ms in all. A reply that
        // starts 150 ms late still counts; one that starts after 350 ms not.
        ComPort port;
        QCOMPARE(port.Open(path.constData(), 9600, 50), 1);
        unsigned char buffer[6];
        sim.AddFault(Fault(SimFault::Delay, 150, -1, 0, 0));
        std::memcpy(buffer, Handshake, 6);
        QCOMPARE(port.Write(buffer, 6), 1);
        QCOMPARE(port.Read(buffer, 6), 1);
        QCOMPARE(buffer[3], 1);

        sim.ClearFaults();
        sim.AddFault(Fault(SimFault::Delay, 600));
        std::memcpy(buffer, Handshake, 6);
        QCOMPARE(port.Write(buffer, 6), 1);
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(port.Read(buffer, 6), 0);
        QVERIFY2(clock.elapsed() < 590, qPrintable(QString::number(clock.elapsed())));
        sim.ClearFaults();
        QTest::qWait(400); // let the late reply pass
        QCOMPARE(port.Purge(), 1);
    }

    void tableOfComNumbers_data()
    {
        QTest::addColumn<QByteArray>("given");
        QTest::addColumn<QByteArray>("device");
        QTest::newRow("COM1") << QByteArray("\\\\.\\COM1") << QByteArray("/dev/ttyS0");
        QTest::newRow("COM32") << QByteArray("\\\\.\\COM32") << QByteArray("/dev/ttyS31");
        QTest::newRow("COM33") << QByteArray("\\\\.\\COM33") << QByteArray("/dev/ttyUSB0");
        QTest::newRow("COM64") << QByteArray("\\\\.\\COM64") << QByteArray("/dev/ttyUSB31");
        QTest::newRow("COM65") << QByteArray("\\\\.\\COM65") << QByteArray("/dev/ttyACM0");
        QTest::newRow("COM96") << QByteArray("\\\\.\\COM96") << QByteArray("/dev/ttyACM31");
        QTest::newRow("COM97") << QByteArray("\\\\.\\COM97") << QByteArray();
        QTest::newRow("COM254") << QByteArray("\\\\.\\COM254") << QByteArray();
        QTest::newRow("COM0") << QByteArray("\\\\.\\COM0") << QByteArray();
        QTest::newRow("COM07") << QByteArray("\\\\.\\COM07") << QByteArray();
        QTest::newRow("no number") << QByteArray("\\\\.\\COM") << QByteArray();
        QTest::newRow("junk") << QByteArray("\\\\.\\COM5x") << QByteArray();
        QTest::newRow("device path") << QByteArray("/dev/ttyUSB3") << QByteArray("/dev/ttyUSB3");
        QTest::newRow("plain name") << QByteArray("COM5") << QByteArray("COM5");
    }
    void tableOfComNumbers()
    {
        QFETCH(QByteArray, given);
        QFETCH(QByteArray, device);
        QCOMPARE(ResolvePortPath(given.constData()), device);
    }

    void aliasFolder()
    {
        QCOMPARE(PortAliasFolder(), runtime.path().toLocal8Bit() + "/tarvo-gui");
        const ScopedEnvironment unset("XDG_RUNTIME_DIR", QByteArray());
        QCOMPARE(PortAliasFolder(), "/tmp/tarvo-gui-" + QByteArray::number(uint(getuid())));
    }

    void aliasNamesTheSimulatedLine()
    {
        QVERIFY(sim.RegisterAlias(7));
        const QByteArray folder = PortAliasFolder();
        struct stat st;
        QCOMPARE(lstat(folder.constData(), &st), 0);
        QCOMPARE(int(st.st_mode & 0777), 0700);
        QCOMPARE(ResolvePortPath("\\\\.\\COM7"), path);
        QCOMPARE(ResolvePortPath("\\\\.\\COM8"), QByteArray("/dev/ttyS7"));

        VariatorPort->Close();
        MessageLog messages;
        QCOMPARE(VariatorPort->Open("\\\\.\\COM7", VariatorBaudRate, 300), 1);
        QCOMPARE(UARTdataExchange("read", 255, 11, 0), 1);
        VariatorPort->Close();

        // An alias in a folder others may write to is not followed.
        QCOMPARE(chmod(folder.constData(), 0770), 0);
        QCOMPARE(ResolvePortPath("\\\\.\\COM7"), QByteArray("/dev/ttyS6"));
        QCOMPARE(chmod(folder.constData(), 0702), 0);
        QCOMPARE(ResolvePortPath("\\\\.\\COM7"), QByteArray("/dev/ttyS6"));
        QCOMPARE(chmod(folder.constData(), 0700), 0);
        QCOMPARE(ResolvePortPath("\\\\.\\COM7"), path);
        if (geteuid() == 0) {
            // Nor in one that belongs to somebody else.
            QCOMPARE(chown(folder.constData(), 65534, 65534), 0);
            QCOMPARE(ResolvePortPath("\\\\.\\COM7"), QByteArray("/dev/ttyS6"));
            QCOMPARE(chown(folder.constData(), 0, 0), 0);
            QCOMPARE(ResolvePortPath("\\\\.\\COM7"), path);
        }
        sim.RemoveAlias();
        QCOMPARE(ResolvePortPath("\\\\.\\COM7"), QByteArray("/dev/ttyS6"));
    }

    void onlyLinksToDevicesCount()
    {
        const QByteArray folder = PortAliasFolder();
        QDir().mkpath(QString::fromLocal8Bit(folder));
        QCOMPARE(chmod(folder.constData(), 0700), 0);
        // A plain file named like an alias.
        QFile plain(QString::fromLocal8Bit(folder + "/com9"));
        QVERIFY(plain.open(QIODevice::WriteOnly));
        plain.close();
        QCOMPARE(ResolvePortPath("\\\\.\\COM9"), QByteArray("/dev/ttyS8"));
        // A link to something that is no device, and a dangling link.
        QCOMPARE(symlink(QFile::encodeName(plain.fileName()).constData(), (folder + "/com10").constData()), 0);
        QCOMPARE(ResolvePortPath("\\\\.\\COM10"), QByteArray("/dev/ttyS9"));
        QCOMPARE(symlink("/dev/gone-device", (folder + "/com12").constData()), 0);
        QCOMPARE(ResolvePortPath("\\\\.\\COM12"), QByteArray("/dev/ttyS11"));
        // The alias folder must be a folder, not a link to one.
        QVERIFY(sim.RegisterAlias(7));
        QTemporaryDir other;
        const QByteArray linked = other.path().toLocal8Bit() + "/tarvo-gui";
        QCOMPARE(symlink(folder.constData(), linked.constData()), 0);
        {
            const ScopedEnvironment linkedRuntime("XDG_RUNTIME_DIR", other.path().toLocal8Bit());
            QCOMPARE(ResolvePortPath("\\\\.\\COM7"), QByteArray("/dev/ttyS6"));
        }
        QCOMPARE(ResolvePortPath("\\\\.\\COM7"), path);
        sim.RemoveAlias();
    }
};

QTEST_MAIN(TestComPort)
#include "tst_comport.moc"
