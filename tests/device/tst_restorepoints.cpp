// Restore points of the window's transfers: one after every read that got
// all 160 map points and every write whose 160 echoes matched, holding what
// went over the line; none after one that failed. The maps then count as
// kept. A point that cannot be saved costs the transfer nothing and is told
// once, after it.

#include "LinkFixture.h"
#include "app/core/History.h"
#include "app/core/KeptMaps.h"
#include "mapfile/core/MapFile.h"

#include <QAction>
#include <QLineEdit>
#include <QPushButton>

class TestRestorePoints : public QObject, public LinkFixture {
    Q_OBJECT

    QTemporaryDir data;
    VariatorSim* sim = nullptr;

    QString Folder() const { return data.path() + QStringLiteral("/tarvo-gui/history"); }

private slots:
    void initTestCase()
    {
        InitRuntime();
        QVERIFY(data.isValid());
    }
    void init()
    {
        QDir(data.path()).removeRecursively();
        QDir().mkpath(data.path());
        qputenv("XDG_DATA_HOME", data.path().toLocal8Bit());
        InitWindow();
        sim = AddSim(5);
        ConnectTo(5);
        messages.clear();
    }
    void cleanup() { CleanupWindow(); }

    void oneAfterEachCompleteTransfer_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<int>("faultParameter");  // a bad checksum there; -1: none
        QTest::addColumn<bool>("blocked");         // the history folder cannot be made
        QTest::addColumn<QString>("name");         // of the one point; empty: none
        QTest::addColumn<bool>("kept");
        QTest::newRow("read") << "read" << -1 << false << "-read-COM5-fw12.xml" << true;
        QTest::newRow("read, LPG point 3 fails") << "read" << 83 << false << "" << false;
        QTest::newRow("read, firmware fails") << "read" << 160 << false << "-read-COM5.xml" << true;
        QTest::newRow("write") << "write" << -1 << false << "-write-COM5.xml" << true;
        QTest::newRow("write, petrol point 7 fails") << "write" << 7 << false << "" << false;
        QTest::newRow("compare") << "compare" << -1 << false << "-read-COM5.xml" << false;
        QTest::newRow("compare, petrol point 0 fails") << "compare" << 0 << false << "" << false;
        QTest::newRow("read, no folder") << "read" << -1 << true << "" << true;
    }
    void oneAfterEachCompleteTransfer()
    {
        QFETCH(QString, command);
        QFETCH(int, faultParameter);
        QFETCH(bool, blocked);
        QFETCH(QString, name);
        QFETCH(bool, kept);
        if (blocked) {
            QFile f(data.path() + QStringLiteral("/tarvo-gui"));
            QVERIFY(f.open(QIODevice::WriteOnly));
        }
        for (int i = 0; i < MapPoints; ++i) {
            sim->SetValue(80 + i, int16_t(1000 + 7 * i));
            sim->SetValue(i, int16_t(-500 - 3 * i));
            // Residue below a thousandth goes out truncated.
            LPGTable.Uoz[i] = 2.0004 + i / 10.0;
            PetrolTable.Uoz[i] = -1.5 - i / 100.0;
        }
        w->EEditVariatorStartTimeout->setText(QStringLiteral("17"));
        if (faultParameter >= 0)
            sim->AddFault(Fault(SimFault::BadChecksum, 0, faultParameter));

        if (command == QLatin1String("read"))
            w->ReadData->click();
        else if (command == QLatin1String("write"))
            w->WriteData->click();
        else
            w->N19->trigger();

        const QStringList files = QDir(Folder()).entryList(QDir::Files | QDir::Hidden);
        QCOMPARE(files.size(), name.isEmpty() ? 0 : 1);
        QCOMPARE(MapsKept(LPGTable, PetrolTable), kept);
        const QString failure = QStringLiteral("Не удалось сохранить точку восстановления: %1: ").arg(Folder());
        QCOMPARE(!messages.isEmpty() && messages.last().startsWith(failure), blocked);
        if (name.isEmpty())
            return;
        QVERIFY2(files[0].endsWith(name), qPrintable(files[0]));
        MapTable lpg = {};
        MapTable petrol = {};
        const QString file = QDir(Folder()).filePath(files[0]);
        LoadMapFile(file, lpg, petrol);
        const bool write = command == QLatin1String("write");
        for (int i = 0; i < MapPoints; ++i) {
            QCOMPARE(lpg.Uoz[i], write ? (2000 + 100 * i) / 1000.0 : (1000 + 7 * i) / 1000.0);
            QCOMPARE(petrol.Uoz[i], write ? (-1500 - 10 * i) / 1000.0 : (-500 - 3 * i) / 1000.0);
        }
        QCOMPARE(MapFileStartTimeout(file), write ? QStringLiteral("17")
                                                  : command == QLatin1String("read") ? QStringLiteral("30")
                                                                                      : QString());
    }
};

QTEST_MAIN(TestRestorePoints)
#include "tst_restorepoints.moc"
