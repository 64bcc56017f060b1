// Restore points of the window's transfers: one after every read that got
// all 160 map points and every write whose 160 echoes matched, holding what
// went over the line; none after one that failed. A point that cannot be
// saved is told once, after the transfer. The history dialog lists them.

#include "LinkFixture.h"
#include "app/core/History.h"
#include "app/core/KeptMaps.h"
#include "app/core/MapCompare.h"
#include "mapfile/core/MapFile.h"
#include "mapfile/ui/HistoryDialog.h"
#include "app/ui/Undo.h"

#include <QAction>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QUndoStack>

class TestRestorePoints : public QObject, public LinkFixture {
    Q_OBJECT

    QTemporaryDir data;
    VariatorSim* sim = nullptr;

private slots:
    void initTestCase() { InitRuntime(); }
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
        QFile block(data.path() + QStringLiteral("/tarvo-gui"));
        QVERIFY(!blocked || block.open(QIODevice::WriteOnly));
        StoreMaps(*sim, [](int i) { return 1000 + 7 * i; }, [](int i) { return -500 - 3 * i; });
        // The gas map goes out truncated.
        FillMaps([](int i) { return 2.0004 + i / 10.0; }, [](int i) { return -1.5 - i / 100.0; });
        w->EEditVariatorStartTimeout->setText(QStringLiteral("17"));
        if (faultParameter >= 0)
            sim->AddFault(Fault(SimFault::BadChecksum, 0, faultParameter));
        const bool write = command == QLatin1String("write");
        if (command == QLatin1String("read"))
            w->ReadData->click();
        else if (write)
            w->WriteData->click();
        else
            w->N19->trigger();

        const QString folder = HistoryFolder();
        const QStringList files = QDir(folder).entryList(QDir::Files | QDir::Hidden);
        QCOMPARE(files.size(), name.isEmpty() ? 0 : 1);
        QCOMPARE(MapsKept(LPGTable, PetrolTable), kept);
        const QString failure = QStringLiteral("Не удалось сохранить точку восстановления: %1: ").arg(folder);
        QCOMPARE(!messages.isEmpty() && messages.last().startsWith(failure), blocked);
        if (name.isEmpty())
            return;
        QVERIFY2(files[0].endsWith(name), qPrintable(files[0]));
        MapTable lpg = {};
        MapTable petrol = {};
        const QString file = QDir(folder).filePath(files[0]);
        LoadMapFile(file, lpg, petrol);
        for (int i = 0; i < MapPoints; ++i) {
            QCOMPARE(lpg.Uoz[i], write ? (2000 + 100 * i) / 1000.0 : (1000 + 7 * i) / 1000.0);
            QCOMPARE(petrol.Uoz[i], write ? (-1500 - 10 * i) / 1000.0 : (-500 - 3 * i) / 1000.0);
        }
        QCOMPARE(MapFileStartTimeout(file), QString(write ? "17" : command == QLatin1String("read") ? "30" : ""));
    }

    // A damaged file is listed and cannot be opened; "Открыть" loads a point
    // as one step that becomes the reference, "Сравнить" only makes it the
    // reference.
    void historyDialog_data()
    {
        QTest::addColumn<int>("row");
        QTest::addColumn<bool>("open");
        QTest::addColumn<double>("lpg0");       // LPGTable.Uoz[0] afterwards
        QTest::addColumn<double>("reference0"); // LPGReference.Uoz[0] afterwards; 0: none
        QTest::newRow("damaged") << 0 << true << 1.5 << 0.0;
        QTest::newRow("open") << 1 << true << 6.25 << 6.25;
        QTest::newRow("compare") << 1 << false << 1.5 << 6.25;
    }
    void historyDialog()
    {
        QFETCH(int, row);
        QFETCH(bool, open);
        QFETCH(double, lpg0);
        QFETCH(double, reference0);
        RestorePointInfo info;
        info.when = QDateTime(QDate(2026, 12, 9), QTime(18, 54, 30));
        LPGTable.Uoz[0] = 6.25;
        QVERIFY(!SaveRestorePoint(HistoryFolder(), info, LPGTable, PetrolTable, QString(), nullptr).isEmpty());
        QFile bad(HistoryFolder() + QLatin1Char('/') + RestorePointName(info).replace(QStringLiteral("30-"), QStringLiteral("31-")));
        QVERIFY(bad.open(QIODevice::WriteOnly) && bad.write("not a map") > 0);
        bad.close();
        {
            const MapStep step(w, QStringLiteral("edit"));
            LPGTable.Uoz[0] = 1.5;
        }
        THistoryDialog d(w, HistoryFolder());
        QCOMPARE(d.List->topLevelItem(0)->text(4), QStringLiteral("файл повреждён"));
        QCOMPARE(d.List->topLevelItem(1)->text(4), QStringLiteral("1"));
        d.List->setCurrentItem(d.List->topLevelItem(row));
        QCOMPARE(d.OpenButton->isEnabled(), row != 0);
        (open ? d.OpenButton : d.CompareButton)->click();

        QCOMPARE(LPGTable.Uoz[0], lpg0);
        QCOMPARE(LPGReference.exists ? LPGReference.Uoz[0] : 0.0, reference0);
        QCOMPARE(w->UndoStack->count(), lpg0 == 1.5 ? 1 : 2);
        QCOMPARE(MapsKept(LPGTable, PetrolTable), lpg0 != 1.5);
    }
};

QTEST_MAIN(TestRestorePoints)
#include "tst_restorepoints.moc"
