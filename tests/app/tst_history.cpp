// Restore points in the history folder: names that never collide or
// overwrite and give their fields back, notes beside them, and a listing
// that comes from the names alone.

#include "app/core/History.h"
#include "app/core/KeptMaps.h"
#include "common/CoreTestBase.h"
#include "common/SampleMaps.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <stdexcept>
#include <sys/stat.h>

namespace {

// The read calls this process has made so far (Linux).
qint64 ReadCalls()
{
    QFile io(QStringLiteral("/proc/self/io"));
    if (!io.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : io.readAll().split('\n'))
        if (line.startsWith("syscr:"))
            return line.mid(6).trimmed().toLongLong();
    return 0;
}

} // namespace

class TestHistory : public QObject {
    Q_OBJECT

private slots:
    // Three points of one second pass a file that holds the second name,
    // which stays as it was; a named pipe named like a point is listed and
    // refused by the reader, never opened. A firmware of -1 and a suffix both
    // follow a '-'.
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
            QCOMPARE(list[i].firmware, -1);
            MapTable lpg = {};
            MapTable petrol = {};
            bool refused = false;
            try {
                LoadRestorePoint(list[i].file, lpg, petrol);
            } catch (const std::runtime_error&) {
                refused = true;
            }
            QCOMPARE(refused, lpg0[i] == 0);
            QCOMPARE(lpg.Uoz[0], lpg0[i]);
        }
        QCOMPARE(list[0].WhenText(), QStringLiteral("09.12.2026 18:54:31"));
    }

    // A note goes beside its restore point, whose map file stays byte for
    // byte what it is without one, and reads back as written (a control
    // character as a space). A note file that is damaged reads as no note.
    void noteBesideTheRestorePoint_data()
    {
        QTest::addColumn<QString>("note");       // saved with the point; empty: none
        QTest::addColumn<QByteArray>("file");    // then written into the note file; empty: left
        QTest::addColumn<QString>("read");
        QTest::addColumn<bool>("damaged");
        QTest::newRow("car") << "Golf А123ВС, Иванов" << QByteArray() << "Golf А123ВС, Иванов" << false;
        QTest::newRow("tab and line feed") << "Лада\tВеста\n2107" << QByteArray() << "Лада Веста 2107" << false;
        QTest::newRow("none") << "" << QByteArray() << "" << false;
        QTest::newRow("not UTF-8") << "Golf" << QByteArray("Golf \xc0\xaf\n") << "" << true;
        QTest::newRow("a NUL") << "Golf" << QByteArray("Go\0lf\n", 6) << "" << true;
        QTest::newRow("too long") << "Golf" << QByteArray(MaxNoteBytes + 1, 'x') << "" << true;
        QTest::newRow("hand-written, no line feed") << "Golf" << QByteArray("Octavia") << "Octavia" << false;
    }
    void noteBesideTheRestorePoint()
    {
        QFETCH(QString, note);
        QFETCH(QByteArray, file);
        QFETCH(QString, read);
        QFETCH(bool, damaged);
        ResetCoreGlobals();
        QTemporaryDir dir;
        RestorePointInfo info;
        info.when = QDateTime(QDate(2026, 12, 9), QTime(18, 54, 30));
        LPGTable.Uoz[5] = 7.125;
        QString error;
        const QString plain = SaveRestorePoint(dir.filePath("plain"), info, LPGTable, PetrolTable, "30", &error);
        const QString point = SaveRestorePoint(dir.path(), info, LPGTable, PetrolTable, "30", &error, note);
        QVERIFY2(!point.isEmpty() && error.isEmpty(), qPrintable(error));
        QFile noteFile(RestorePointNoteFile(point));
        QCOMPARE(noteFile.exists(), !note.isEmpty());
        if (!file.isEmpty()) {
            QVERIFY(noteFile.open(QIODevice::WriteOnly) && noteFile.write(file) == file.size());
            noteFile.close();
        }
        QFile a(plain);
        QFile b(point);
        QVERIFY(a.open(QIODevice::ReadOnly) && b.open(QIODevice::ReadOnly));
        QCOMPARE(b.readAll(), a.readAll());

        const QList<RestorePointEntry> list = ListRestorePoints(dir.path());
        QCOMPARE(list.size(), 1);
        QCOMPARE(list[0].hasNote, !note.isEmpty());
        bool wasDamaged = !damaged;
        QCOMPARE(ReadRestorePointNote(point, &wasDamaged), read);
        QCOMPARE(wasDamaged, damaged);
        // Written again, whole, over whatever was there.
        QVERIFY(SaveRestorePointNote(point, QStringLiteral("Passat"), &error));
        QCOMPARE(ReadRestorePointNote(point), QStringLiteral("Passat"));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 2);
    }

    // The listing of a year's work comes from the names alone: of 15,000
    // restore points, half with a note, not one is read.
    void fifteenThousandListedWithoutReading()
    {
        QTemporaryDir dir;
        const QByteArray body(1024, 'x');
        const int count = 15000;
        for (int i = 0; i < count; ++i) {
            const int second = i % 1000;
            const QString base = dir.filePath(QStringLiteral("2026%1-10%2%3-read-COM%4")
                                                  .arg(1201 + i / 1000)
                                                  .arg(second / 60, 2, 10, QLatin1Char('0'))
                                                  .arg(second % 60, 2, 10, QLatin1Char('0'))
                                                  .arg(i % 40));
            QFile map(base + QStringLiteral(".xml"));
            QVERIFY(map.open(QIODevice::WriteOnly) && map.write(body) == body.size());
            if (i % 2 == 0) {
                QFile note(base + QStringLiteral(".note"));
                QVERIFY(note.open(QIODevice::WriteOnly) && note.write("Golf\n") == 5);
            }
        }
        const qint64 readsBefore = ReadCalls();
        const QList<RestorePointEntry> list = ListRestorePoints(dir.path());
        const qint64 reads = ReadCalls() - readsBefore;
        QVERIFY2(reads < 50, qPrintable(QString::number(reads)));
        QCOMPARE(list.size(), count);
        QCOMPARE(list.first().stamp, QStringLiteral("20261215-101639"));
        QCOMPARE(list.last().stamp, QStringLiteral("20261201-100000"));
        QCOMPARE(std::count_if(list.begin(), list.end(), [](const RestorePointEntry& e) { return e.hasNote; }), count / 2);
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
