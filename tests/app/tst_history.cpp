// Restore points in the history folder: names that never collide or
// overwrite and give their fields back, and a listing that never waits on a
// file it cannot read.

#include "app/core/History.h"
#include "app/core/KeptMaps.h"
#include "common/CoreTestBase.h"
#include "common/SampleMaps.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <sys/stat.h>

class TestHistory : public QObject {
    Q_OBJECT

private slots:
    // Three points of one second pass a file that holds the second name,
    // which stays as it was; a named pipe named like a point is listed as
    // damaged, never opened. A firmware of -1 and a suffix both follow a '-'.
    void pointsOfOneSecondNeverCollide()
    {
        ResetCoreGlobals();
        QTemporaryDir dir;
        RestorePointInfo info;
        info.when = QDateTime(QDate(2026, 12, 9), QTime(18, 54, 30));
        info.port = 7;
        info.hasFirmware = true;
        info.firmware = -1;
        const QString taken = dir.filePath(RestorePointName(info, 2));
        QFile f(taken);
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write("somebody's") == 10);
        f.close();
        for (int k = 1; k <= 3; ++k) {
            LPGTable.Uoz[0] = k;
            QVERIFY(!SaveRestorePoint(dir.path(), info, LPGTable, PetrolTable, QString(), nullptr).isEmpty());
        }
        info.when = info.when.addSecs(1);
        QCOMPARE(mkfifo(QFile::encodeName(dir.filePath(RestorePointName(info))).constData(), 0600), 0);

        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), QByteArray("somebody's"));
        QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot).size(), 5);
        const QList<RestorePointEntry> list = ListRestorePoints(dir.path());
        const QString names[] = {"20261209-185431-read-COM7-fw-1.xml", "20261209-185430-read-COM7-fw-1-4.xml",
                                 "20261209-185430-read-COM7-fw-1-3.xml", "20261209-185430-read-COM7-fw-1-2.xml",
                                 "20261209-185430-read-COM7-fw-1.xml"};
        const double lpg0[] = {0, 3, 2, 0, 1};
        QCOMPARE(list.size(), 5);
        for (int i = 0; i < 5; ++i) {
            QCOMPARE(QFileInfo(list[i].file).fileName(), names[i]);
            QCOMPARE(list[i].info.firmware, -1);
            QCOMPARE(list[i].damaged, lpg0[i] == 0);
            QCOMPARE(list[i].lpg.Uoz[0], lpg0[i]);
        }
    }

    // The maps count as kept only while both equal what was kept, by wire
    // code: a change of either map is unsaved work, a residue below a
    // thousandth of a degree is none.
    void keptWhileBothMapsEqualByWireCode_data()
    {
        QTest::addColumn<int>("map");  // 0: gas, 1: petrol
        QTest::addColumn<double>("change");
        QTest::addColumn<bool>("kept");
        QTest::newRow("gas changed") << 0 << 0.5 << false;
        QTest::newRow("petrol changed") << 1 << 0.5 << false;
        QTest::newRow("petrol residue") << 1 << 1e-7 << true;
    }
    void keptWhileBothMapsEqualByWireCode()
    {
        QFETCH(int, map);
        QFETCH(double, change);
        QFETCH(bool, kept);
        MapTable lpg = SampleTable([](int i) { return i / 8.0; });
        MapTable petrol = SampleTable([](int i) { return -i / 16.0; });
        KeepMaps(lpg, petrol);
        (map == 0 ? lpg : petrol).Uoz[41] += change;
        QCOMPARE(MapsKept(lpg, petrol), kept);
    }
};

QTEST_GUILESS_MAIN(TestHistory)
#include "tst_history.moc"
