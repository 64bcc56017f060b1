// Restore points in the history folder: names that never collide or
// overwrite and give their fields back, notes beside them, and a listing
// that comes from the names alone.

#include "app/core/History.h"
#include "app/core/KeptMaps.h"
#include "app/core/Visit.h"
#include "common/CoreTestBase.h"
#include "common/SampleMaps.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
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
    // The visit's token sits between the firmware and the suffix and comes
    // back from the name; names without it list as before.
    void visitInTheName_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("parses");
        QTest::addColumn<QString>("visit");
        QTest::addColumn<int>("suffix");
        QTest::newRow("older name") << "20261209-185430-read-COM7-fw12-2.xml" << true << "" << 2;
        QTest::newRow("visit") << "20261209-185430-read-COM7-fw12-v20261209185401a3f2.xml" << true << "20261209185401a3f2" << 1;
        QTest::newRow("visit, suffix") << "20261209-185430-write-COM7-v20261209185401a3f2-3.xml" << true << "20261209185401a3f2" << 3;
        QTest::newRow("capitals are no visit") << "20261209-185430-write-COM7-vABC.xml" << false << "" << 1;
    }
    void visitInTheName()
    {
        QFETCH(QString, name);
        QFETCH(bool, parses);
        QFETCH(QString, visit);
        QFETCH(int, suffix);
        RestorePointEntry e;
        QCOMPARE(ParseRestorePointName(name, e), parses);
        if (!parses)
            return;
        QCOMPARE(e.visit, visit);
        QCOMPARE(e.suffix, suffix);
        RestorePointInfo info;
        info.when = QDateTime(QDate(2026, 12, 9), QTime(18, 54, 30));
        info.kind = e.kind;
        info.port = e.port;
        info.hasFirmware = e.hasFirmware;
        info.firmware = e.firmware;
        info.visit = e.visit;
        QCOMPARE(RestorePointName(info, e.suffix), name);
    }

    // The car typed at any moment of a visit is the note of all its restore
    // points, those left before too; a correction before any point carried
    // the car stays in the visit, another car after that starts a new one.
    // A note is never written where the restore point is gone.
    void carReachesTheVisitsEarlierPoints_data()
    {
        QTest::addColumn<QString>("steps");   // r: a read left; w: a write left; x: the last point deleted; else the car typed
        QTest::addColumn<QStringList>("notes");  // of the points, oldest first; "-": no note file
        QTest::addColumn<int>("visits");
        QTest::newRow("typed after the read") << "r w Golf" << QStringList{"Golf", "Golf"} << 1;
        QTest::newRow("corrected before a point") << "r Gof Golf" << QStringList{"Golf"} << 1;
        QTest::newRow("typed before, then points") << "Golf r w" << QStringList{"Golf", "Golf"} << 1;
        QTest::newRow("another car") << "r Golf w Passat w" << QStringList{"Golf", "Golf", "Passat"} << 2;
        QTest::newRow("point gone") << "r r x Golf" << QStringList{"Golf"} << 1;
    }
    void carReachesTheVisitsEarlierPoints()
    {
        QFETCH(QString, steps);
        QFETCH(QStringList, notes);
        QFETCH(int, visits);
        ResetCoreGlobals();
        QTemporaryDir data;
        qputenv("XDG_DATA_HOME", data.path().toLocal8Bit());
        StartVisit(QDateTime(QDate(2026, 12, 9), QTime(18, 54, 0)));
        QStringList left;
        for (const QString& step : steps.split(QLatin1Char(' '))) {
            if (step == QLatin1String("r") || step == QLatin1String("w")) {
                const QString told = LeaveVisitRestorePoint(step == QLatin1String("r") ? TransferKind::Read : TransferKind::Write,
                                                            7, LPGTable, PetrolTable, QStringLiteral("30"));
                QCOMPARE(told, QString());
                left << CurrentVisit.points.last();
            } else if (step == QLatin1String("x")) {
                QVERIFY(QFile::remove(left.takeLast()));
            } else {
                QCOMPARE(SetVisitCar(step), QString());
            }
        }
        QStringList read;
        QSet<QString> ids;
        for (const QString& point : left) {
            RestorePointEntry e;
            QVERIFY(ParseRestorePointName(QFileInfo(point).fileName(), e));
            ids.insert(e.visit);
            read << (QFileInfo::exists(RestorePointNoteFile(point)) ? ReadRestorePointNote(point) : QStringLiteral("-"));
        }
        QCOMPARE(read, notes);
        QCOMPARE(int(ids.size()), visits);
        // No note stands without its point.
        const QStringList names = QDir(HistoryFolder()).entryList(QDir::Files);
        for (const QString& name : names)
            if (name.endsWith(QLatin1String(".note")))
                QVERIFY2(names.contains(name.chopped(5) + QStringLiteral(".xml")), qPrintable(name));
        qunsetenv("XDG_DATA_HOME");
    }

    // The first complete read is the visit's before, whatever follows; with
    // no read, what the variator held before the first write, when it held
    // every point known.
    void beforeIsWhatTheCarCameWith()
    {
        ResetCoreGlobals();
        StartVisit(QDateTime::currentDateTime());
        CarState first;
        first.lpg.Uoz[3] = 4.5;
        VisitSawCar(first, 7);
        CarState second;
        second.lpg.Uoz[3] = 9;
        VisitSawCar(second, 7);
        QCOMPARE(CurrentVisit.before.lpg.Uoz[3], 4.5);
        QCOMPARE(CurrentVisit.after.lpg.Uoz[3], 9.0);
        QVERIFY(CurrentVisit.beforeRead);

        StartVisit(QDateTime::currentDateTime());
        HeldValues held;
        for (int p = 0; p < HeldParameters; ++p) {
            held.known[p] = p != 5;
            held.code[p] = short(p * 10);
        }
        VisitBeforeWrite(held);
        QVERIFY(!CurrentVisit.hasBefore);
        held.known[5] = true;
        VisitBeforeWrite(held);
        QVERIFY(CurrentVisit.hasBefore && !CurrentVisit.beforeRead);
        QCOMPARE(CurrentVisit.before.petrol.Uoz[5], 0.05);
        QCOMPARE(CurrentVisit.before.lpg.Uoz[5], 0.85);
    }

    // Live writing over a run of edits leaves one restore point per state
    // that settled: a minute of quiet, or something else coming; never one
    // for a state that did not stay, never none for one that did.
    void liveWritingLeavesSettledStates_data()
    {
        QTest::addColumn<QString>("events");  // at seconds: "w@t" a live write, "q@t" the quiet check, "s@t" settle now
        QTest::addColumn<QList<double>>("left");  // LPG point 0 of each point left, oldest first
        QTest::newRow("a run, then a minute of quiet") << "w@0 w@10 q@30 w@40 q@99 q@100 q@200" << QList<double>{3};
        QTest::newRow("two runs") << "w@0 q@61 w@100 w@130 q@189 q@190" << QList<double>{1, 3};
        QTest::newRow("edits keep coming, then unticked") << "w@0 w@50 q@60 w@100 q@110 w@150 s@155" << QList<double>{4};
        QTest::newRow("nothing waits") << "q@0 s@10 q@100" << QList<double>{};
    }
    void liveWritingLeavesSettledStates()
    {
        QFETCH(QString, events);
        QFETCH(QList<double>, left);
        ResetCoreGlobals();
        QTemporaryDir data;
        qputenv("XDG_DATA_HOME", data.path().toLocal8Bit());
        qint64 now = 0;
        const auto realClock = VisitClock;
        VisitClock = [&now] { return now; };
        StartVisit(QDateTime::currentDateTime());
        int writes = 0;
        for (const QString& event : events.split(QLatin1Char(' '))) {
            now = event.mid(2).toLongLong() * 1000;
            if (event.startsWith(QLatin1Char('w'))) {
                CarState state;
                state.lpg.Uoz[0] = ++writes;
                NoteLiveWrite(state, 7);
            } else if (event.startsWith(QLatin1Char('q'))) {
                QCOMPARE(SettleLiveWritingIfQuiet(), QString());
            } else {
                QCOMPARE(SettleLiveWriting(), QString());
            }
        }
        VisitClock = realClock;
        QList<double> found;
        const QList<RestorePointEntry> list = ListRestorePoints(HistoryFolder());
        for (auto it = list.rbegin(); it != list.rend(); ++it) {
            QCOMPARE(it->kind, TransferKind::Write);
            MapTable lpg = {};
            MapTable petrol = {};
            LoadRestorePoint(it->file, lpg, petrol);
            found << lpg.Uoz[0];
        }
        QCOMPARE(found, left);
        qunsetenv("XDG_DATA_HOME");
    }

    // A history that cannot be written is told once per visit, however many
    // points it refuses.
    void unwritableHistoryToldOncePerVisit()
    {
        ResetCoreGlobals();
        QTemporaryDir data;
        qputenv("XDG_DATA_HOME", data.path().toLocal8Bit());
        QFile block(data.filePath(QStringLiteral("tarvo-gui")));
        QVERIFY(block.open(QIODevice::WriteOnly));
        QStringList told;
        for (int visit = 0; visit < 2; ++visit) {
            StartVisit(QDateTime::currentDateTime());
            for (int k = 0; k < 3; ++k) {
                CarState state;
                NoteLiveWrite(state, 7);
                told << SettleLiveWriting();
            }
        }
        const QString failure = RestorePointFailure(HistoryFolder(), QString());
        QVERIFY2(told[0].startsWith(failure) && told[3].startsWith(failure), qPrintable(told.join('|')));
        QCOMPARE(told.count(QString()), 4);
        qunsetenv("XDG_DATA_HOME");
    }

    // A note left without its restore point is never the note of a point
    // that gets its name later, and no note is written for a point that is gone.
    void orphanNoteNeverJoinsANewPoint()
    {
        ResetCoreGlobals();
        QTemporaryDir dir;
        RestorePointInfo info;
        info.when = QDateTime(QDate(2026, 12, 9), QTime(18, 54, 30));
        const QString gone = dir.filePath(RestorePointName(info));
        QString error;
        QVERIFY(!SaveRestorePointNote(gone, QStringLiteral("Golf"), &error));
        QVERIFY(!QFileInfo::exists(RestorePointNoteFile(gone)));
        QFile orphan(RestorePointNoteFile(gone));
        QVERIFY(orphan.open(QIODevice::WriteOnly) && orphan.write("Passat\n") == 7);
        orphan.close();
        const QString point = SaveRestorePoint(dir.path(), info, LPGTable, PetrolTable, QString(), &error);
        QVERIFY(point.endsWith(QLatin1String("-2.xml")));
        QCOMPARE(ReadRestorePointNote(point), QString());
    }
};


QTEST_GUILESS_MAIN(TestHistory)
#include "tst_history.moc"
