// Restore points in the history folder: names that never collide or
// overwrite and give their fields back, notes beside them, and a listing
// that comes from the names alone.

#include "app/core/History.h"
#include "app/core/KeptMaps.h"
#include "app/core/Visit.h"
#include "common/CoreTestBase.h"
#include "common/SampleMaps.h"
#include "common/ScopedEnvironment.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <algorithm>
#include <atomic>
#include <stdexcept>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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

QByteArray Bytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

bool WriteBytes(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// The restore points and notes in folder.
QStringList Names(const QString& folder)
{
    return QDir(folder).entryList(QDir::Files);
}

// A restore point's facts, made at 18:54:<second> on 9 December 2026.
RestorePointInfo At(int second = 30)
{
    RestorePointInfo info;
    info.when = QDateTime(QDate(2026, 12, 9), QTime(18, 54, second));
    return info;
}

// LPG point 0 of the restore point in file.
double FirstLpgPoint(const QString& file)
{
    MapTable lpg = {};
    MapTable petrol = {};
    LoadRestorePoint(file, lpg, petrol);
    return lpg.Uoz[0];
}

} // namespace

Q_DECLARE_METATYPE(PublishWay)

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

    // Each way of moving a file into place takes a free name and refuses a
    // taken one, whose file stays as it was; of eight writers racing for one
    // name exactly one gets it and the others keep their files.
    void publishNeverReplaces_data()
    {
        QTest::addColumn<PublishWay>("way");
        QTest::newRow("the system's move") << PublishWay::Best;
        QTest::newRow("link and unlink") << PublishWay::Link;
        QTest::newRow("claim file") << PublishWay::Claim;
    }
    void publishNeverReplaces()
    {
        QFETCH(PublishWay, way);
        QTemporaryDir dir;
        const QString to = dir.filePath("point.xml");
        QVERIFY(WriteBytes(dir.filePath(".a"), "first") && WriteBytes(dir.filePath(".b"), "second"));
        QString error;
        QCOMPARE(PublishNewFile(dir.filePath(".a"), to, &error, way), 1);
        QCOMPARE(PublishNewFile(dir.filePath(".b"), to, &error, way), 0);
        QCOMPARE(PublishNewFile(dir.filePath(".b"), dir.filePath("gone/point.xml"), &error, way), -1);
        QVERIFY(!error.isEmpty());
        QCOMPARE(Bytes(to) + '|' + Bytes(dir.filePath(".b")), QByteArray("first|second"));

        constexpr int Writers = 8;
        std::atomic<int> ready{0}, won{0}, lost{0}, failed{0};
        std::vector<QThread*> threads;
        const QString race = dir.filePath("race.xml");
        for (int k = 0; k < Writers; ++k) {
            const QString from = dir.filePath(QStringLiteral(".w%1").arg(k));
            QVERIFY(WriteBytes(from, QByteArray::number(k)));
            threads.push_back(QThread::create([&, from] {
                for (++ready; ready < Writers;) {
                }
                const int moved = PublishNewFile(from, race, nullptr, way);
                ++(moved == 1 ? won : moved == 0 ? lost : failed);
            }));
        }
        for (QThread* t : threads)
            t->start();
        for (QThread* t : threads) {
            t->wait();
            delete t;
        }
        QCOMPARE(won.load(), 1);
        QCOMPARE(lost.load(), Writers - 1);
        const QStringList left = QDir(dir.path()).entryList(QDir::Files | QDir::Hidden);
        QCOMPARE(left.filter(QStringLiteral(".w")).size(), Writers - 1);
        QVERIFY(!left.contains(QStringLiteral(".race.xml.claim")));
        QVERIFY(!left.contains(QString::fromLatin1(".w" + Bytes(race))));
    }

    // The workstation and the visit ride in the name between the firmware
    // and the suffix and come back from it; older names read as before.
    void nameCarriesWorkstationAndVisit_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("parses");
        QTest::addColumn<QString>("hostName");  // the workstation's own name
        QTest::addColumn<QString>("visit");
        QTest::addColumn<int>("suffix");
        QTest::newRow("workstation") << "20261209-185430-read-COM7-fw12-hBENCH_PC.xml" << true << "BENCH-PC" << "" << 1;
        QTest::newRow("dotted, second") << "20261209-185430-read-COM7-fw12-hbench_shop_lan-2.xml" << true << "bench.shop.lan" << "" << 2;
        QTest::newRow("cyrillic") << "20261209-185430-read-COM7-fw12-h__________2.xml" << true << "Мастерская2" << "" << 1;
        QTest::newRow("older name") << "20261209-185430-read-COM7-fw12-3.xml" << true << "" << "" << 3;
        QTest::newRow("visit") << "20261209-185430-read-COM7-fw12-v20261209185401a3f2.xml" << true << "" << "20261209185401a3f2" << 1;
        QTest::newRow("visit, suffix") << "20261209-185430-write-COM7-v20261209185401a3f2-3.xml" << true << "" << "20261209185401a3f2" << 3;
        QTest::newRow("capitals are no visit") << "20261209-185430-write-COM7-vABC.xml" << false << "" << "" << 1;
        QTest::newRow("workstation with a dash") << "20261209-185430-read-COM7-hA-B.xml" << false << "" << "" << 1;
        QTest::newRow("a writer's own file") << ".BENCH_PC-4711-1-0badf00d.part" << false << "" << "" << 1;
    }
    void nameCarriesWorkstationAndVisit()
    {
        QFETCH(QString, name);
        QFETCH(bool, parses);
        QFETCH(QString, hostName);
        QFETCH(QString, visit);
        QFETCH(int, suffix);
        RestorePointEntry e;
        QCOMPARE(ParseRestorePointName(name, e), parses);
        if (!parses)
            return;
        QCOMPARE(e.host, HostToken(hostName));
        QCOMPARE(e.visit, visit);
        QCOMPARE(e.suffix, suffix);
        RestorePointInfo info = At();
        info.kind = e.kind;
        info.port = e.port;
        info.hasFirmware = e.hasFirmware;
        info.firmware = e.firmware;
        info.visit = visit;
        info.host = HostToken(hostName);
        QCOMPARE(RestorePointName(info, suffix), name);
    }

    // A reader listing the folder while points are written never lists one
    // that does not read whole.
    void neverListsAHalfWrittenPoint()
    {
        ResetCoreGlobals();
        QTemporaryDir dir;
        RestorePointInfo info = At();
        info.host = LocalHostToken();
        std::atomic<bool> done{false};
        int listed = 0;
        QStringList faults;
        QThread* reader = QThread::create([&] {
            while (!done)
                for (const RestorePointEntry& e : ListRestorePoints(dir.path())) {
                    try {
                        FirstLpgPoint(e.file);
                        ++listed;
                    } catch (const std::exception& x) {
                        faults << QString::fromUtf8(x.what());
                    }
                }
        });
        reader->start();
        for (int k = 0; k < 150; ++k)
            QVERIFY(!SaveRestorePoint(dir.path(), info, LPGTable, PetrolTable, "30", nullptr).isEmpty());
        done = true;
        reader->wait();
        delete reader;
        QVERIFY2(faults.isEmpty(), qPrintable(faults.value(0)));
        QVERIFY(listed > 0);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 150);
    }

    // The choice of folder is the one setting kept, in this test's own
    // configuration folder; a folder given for the run goes before it.
    void chosenFolderKeptInTheSettings()
    {
        const QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
        QVERIFY(!config.isEmpty() && !config.startsWith(QDir::homePath() + QStringLiteral("/.config")));
        KeepChosenHistoryFolder(QStringLiteral("/srv/shop/history/"));
        QCOMPARE(ChosenHistoryFolder(), QStringLiteral("/srv/shop/history"));
        QCOMPARE(HistoryFolder(), QStringLiteral("/srv/shop/history"));
        QVERIFY(QSettings(config + QStringLiteral("/tarvo-gui/tarvo-gui.conf"), QSettings::IniFormat)
                    .value(QStringLiteral("HistoryFolder")).toString().endsWith(QStringLiteral("/shop/history")));
        UseHistoryFolderForRun(QStringLiteral("/mnt/other"));
        QCOMPARE(HistoryFolder(), QStringLiteral("/mnt/other"));
        UseHistoryFolderForRun(QString());
        KeepChosenHistoryFolder(QString());
        QCOMPARE(HistoryFolder(), DefaultHistoryFolder());
    }

    // A history folder that fails sends restore points to the default
    // folder, told once; the first written into it again tells where it
    // went. Root ignores permission bits, so a folder named under a regular
    // file stands for one that cannot be written.
    void failedFolderFallsBackToTheDefault_data()
    {
        QTest::addColumn<QString>("breakage");
        QTest::newRow("vanishes") << "vanishes";
        QTest::newRow("under a regular file") << "under a file";
        QTest::newRow("read-only") << "read-only";
    }
    void failedFolderFallsBackToTheDefault()
    {
        QFETCH(QString, breakage);
        const bool underFile = breakage == QLatin1String("under a file");
        const bool readOnly = breakage == QLatin1String("read-only");
        if (readOnly && ::geteuid() == 0)
            QSKIP("root writes into a read-only folder; the folder under a regular file stands for it");
        ResetCoreGlobals();
        ForgetHistoryFallback();
        QTemporaryDir shop;
        QDir(DefaultHistoryFolder()).removeRecursively();
        const QString folder = shop.filePath(underFile ? "file/history" : "history");
        QVERIFY(WriteBytes(shop.filePath("file"), "x"));
        // The folder's news, then the point's own failure (none here).
        const auto leave = [] {
            const QString own = LeaveRestorePoint(TransferKind::Read, 7, LPGTable, PetrolTable, "30", 12, QStringLiteral("Golf"));
            return TakeHistoryFolderNews() + own;
        };
        QVERIFY(underFile || QDir().mkpath(folder));
        UseHistoryFolderForRun(folder);
        if (!underFile) {
            QCOMPARE(leave(), QString());
            QCOMPARE(Names(folder).size(), 2);
            QVERIFY(readOnly ? QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner) : QDir(folder).removeRecursively());
        }

        const QString first = leave();
        QVERIFY2(first.startsWith(QStringLiteral("Папка истории «%1» недоступна: ").arg(folder)), qPrintable(first));
        QVERIFY2(first.contains(QStringLiteral("сохранена в «%1»").arg(DefaultHistoryFolder())), qPrintable(first));
        QCOMPARE(leave(), QString());
        const QStringList local = Names(DefaultHistoryFolder());
        QCOMPARE(local.size(), 4);
        QCOMPARE(ReadRestorePointNote(DefaultHistoryFolder() + QLatin1Char('/') + local.last()), QStringLiteral("Golf"));

        if (underFile)
            QVERIFY(QFile::remove(shop.filePath("file")));
        if (readOnly)
            QVERIFY(QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        QVERIFY(QDir().mkpath(folder));
        const QString back = leave();
        QVERIFY2(back.startsWith(QStringLiteral("Папка истории снова доступна: точка восстановления сохранена в «%1/").arg(folder)),
                 qPrintable(back));
        QVERIFY(back.contains(DefaultHistoryFolder()));
        QCOMPARE(leave(), QString());
        QCOMPARE(Names(DefaultHistoryFolder()).size(), 4);
        UseHistoryFolderForRun(QString());
    }

    // Looking again gives only what came since: a restore point with its
    // note, and the note that came beside one seen without; a note without
    // its restore point stays unseen until the point comes. No note is
    // written for a point that is gone.
    void lookingAgainGivesOnlyTheNew()
    {
        ResetCoreGlobals();
        QTemporaryDir dir;
        RestorePointInfo info = At();
        const QString bare = SaveRestorePoint(dir.path(), info, LPGTable, PetrolTable, "30", nullptr);
        info.port = 2;
        const QString noted = SaveRestorePoint(dir.path(), info, LPGTable, PetrolTable, "30", nullptr, "Golf");
        QList<RestorePointEntry> found;
        QVERIFY(ListRestorePoints(dir.path(), found));
        SeenNames seen;
        SeeRestorePoints(seen, found);
        QStringList notes;
        QVERIFY(LookAgain(dir.path(), seen, found, notes));
        QVERIFY(found.isEmpty() && notes.isEmpty());

        info.host = QStringLiteral("OTHER");
        const QString added = SaveRestorePoint(dir.path(), info, LPGTable, PetrolTable, "30", nullptr, "Polo");
        QVERIFY(SaveRestorePointNote(bare, QStringLiteral("Passat"), nullptr));
        info.port = 9;
        const QString orphan = dir.filePath(RestorePointName(info));
        QVERIFY(!SaveRestorePointNote(orphan, QStringLiteral("Kalina"), nullptr) && !QFileInfo::exists(RestorePointNoteFile(orphan)));
        QVERIFY(WriteBytes(RestorePointNoteFile(orphan), "Kalina\n"));
        QVERIFY(SaveRestorePointNote(noted, QStringLiteral("Golf 2"), nullptr));
        QVERIFY(LookAgain(dir.path(), seen, found, notes));
        QCOMPARE(found.size(), 1);
        QCOMPARE(found[0].file, added);
        QCOMPARE(found[0].host, QStringLiteral("OTHER"));
        QVERIFY(found[0].hasNote);
        QCOMPARE(notes, QStringList{bare});
        QVERIFY(LookAgain(dir.path(), seen, found, notes));
        QVERIFY(found.isEmpty() && notes.isEmpty());
        // A point saved here never takes the name of a note without its
        // point; another workstation's point that comes under it gets it.
        const QString own = SaveRestorePoint(dir.path(), info, LPGTable, PetrolTable, "30", nullptr);
        QVERIFY(own.endsWith(QLatin1String("-2.xml")) && ReadRestorePointNote(own).isEmpty());
        QVERIFY(WriteBytes(orphan, Bytes(bare)));
        QVERIFY(LookAgain(dir.path(), seen, found, notes));
        QCOMPARE(found.size(), 2);
        for (const RestorePointEntry& e : found)
            QCOMPARE(e.hasNote, e.file == orphan);
        QVERIFY(!LookAgain(dir.filePath("missing"), seen, found, notes));
        QVERIFY(found.isEmpty());
    }

    // A local folder's stamp stays while nothing changes and never stays
    // over a new name; a folder just changed has none yet.
    void folderStampChangesWithEveryName()
    {
        QTemporaryDir dir;
        // As if the last change were seconds ago.
        const auto age = [&](int seconds) {
            struct timespec old[2] = {{::time(nullptr) - seconds, 0}, {::time(nullptr) - seconds, 0}};
            QCOMPARE(::utimensat(AT_FDCWD, QFile::encodeName(dir.path()).constData(), old, 0), 0);
        };
        age(60);
        const QByteArray stamp = FolderStamp(dir.path());
        if (stamp.isEmpty())
            QSKIP("the test folder is not on a local disk");
        QCOMPARE(FolderStamp(dir.path()), stamp);
        QVERIFY(WriteBytes(dir.filePath("a.xml"), "x"));
        QCOMPARE(FolderStamp(dir.path()), QByteArray());
        age(30);
        QVERIFY(!FolderStamp(dir.path()).isEmpty());
        QVERIFY(FolderStamp(dir.path()) != stamp);
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
        const ScopedEnvironment dataHome("XDG_DATA_HOME", data.path().toLocal8Bit());
        StartVisit(QDateTime(QDate(2026, 12, 9), QTime(18, 54, 0)));
        QStringList left;
        for (const QString& step : steps.split(QLatin1Char(' '))) {
            if (step == QLatin1String("r") || step == QLatin1String("w")) {
                const TransferKind kind = step == QLatin1String("r") ? TransferKind::Read : TransferKind::Write;
                QCOMPARE(LeaveVisitRestorePoint(kind, 7, LPGTable, PetrolTable, QStringLiteral("30")), QString());
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
        const QStringList names = Names(HistoryFolder());
        for (const QString& name : names)
            if (name.endsWith(QLatin1String(".note")))
                QVERIFY2(names.contains(name.chopped(5) + QStringLiteral(".xml")), qPrintable(name));
    }

    // The first complete read is the visit's before, whatever follows; with
    // no read, what the variator held before the first write, when it held
    // every point known.
    void beforeIsWhatTheCarCameWith()
    {
        ResetCoreGlobals();
        StartVisit(QDateTime::currentDateTime());
        CarState seen;
        seen.lpg.Uoz[3] = 4.5;
        VisitSawCar(seen, 7);
        seen.lpg.Uoz[3] = 9;
        VisitSawCar(seen, 7);
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
    // for a state that did not stay, never none for one that did. A history
    // that cannot be written is told once per visit, however many points it
    // refuses.
    void liveWritingLeavesSettledStates_data()
    {
        QTest::addColumn<QString>("events");  // at seconds: "w@t" a live write, "q@t" the quiet check, "s@t" settle now, "v@t" a new visit
        QTest::addColumn<bool>("blocked");     // the history folder cannot be made
        QTest::addColumn<QString>("told");     // of each check and settle: '.' nothing, 'F' the failure
        QTest::addColumn<QList<double>>("left");  // LPG point 0 of each point left, oldest first
        QTest::newRow("a run, then a minute of quiet") << "w@0 w@10 q@30 w@40 q@99 q@100 q@200" << false << "...." << QList<double>{3};
        QTest::newRow("two runs") << "w@0 q@61 w@100 w@130 q@189 q@190" << false << "..." << QList<double>{1, 3};
        QTest::newRow("edits keep coming, then unticked") << "w@0 w@50 q@60 w@100 q@110 w@150 s@155" << false << "..." << QList<double>{4};
        QTest::newRow("nothing waits") << "q@0 s@10 q@100" << false << "..." << QList<double>{};
        QTest::newRow("unwritable, two visits") << "w@0 s@1 w@2 s@3 w@4 s@5 v@6 w@7 s@8 w@9 s@10 w@11 s@12" << true << "F..F.."
                                                << QList<double>{};
    }
    void liveWritingLeavesSettledStates()
    {
        QFETCH(QString, events);
        QFETCH(bool, blocked);
        QFETCH(QString, told);
        QFETCH(QList<double>, left);
        ResetCoreGlobals();
        QTemporaryDir data;
        const ScopedEnvironment dataHome("XDG_DATA_HOME", data.path().toLocal8Bit());
        QVERIFY(!blocked || WriteBytes(data.filePath(QStringLiteral("tarvo-gui")), ""));
        const QString failure = RestorePointFailure(HistoryFolder(), QString());
        qint64 now = 0;
        const auto realClock = VisitClock;
        VisitClock = [&now] { return now; };
        StartVisit(QDateTime::currentDateTime());
        int writes = 0;
        QString marks;
        for (const QString& event : events.split(QLatin1Char(' '))) {
            now = event.mid(2).toLongLong() * 1000;
            if (event.startsWith(QLatin1Char('w'))) {
                CarState state;
                state.lpg.Uoz[0] = ++writes;
                NoteLiveWrite(state, 7);
            } else if (event.startsWith(QLatin1Char('v'))) {
                StartVisit(QDateTime::currentDateTime());
            } else {
                const QString said = event.startsWith(QLatin1Char('q')) ? SettleLiveWritingIfQuiet() : SettleLiveWriting();
                marks += said.isEmpty() ? QLatin1Char('.') : said.startsWith(failure) ? QLatin1Char('F') : QLatin1Char('?');
            }
        }
        VisitClock = realClock;
        QCOMPARE(marks, told);
        QList<double> found;
        const QList<RestorePointEntry> list = ListRestorePoints(HistoryFolder());
        for (auto it = list.rbegin(); it != list.rend(); ++it) {
            QCOMPARE(it->kind, TransferKind::Write);
            found << FirstLpgPoint(it->file);
        }
        QCOMPARE(found, left);
    }
};

QTEST_GUILESS_MAIN(TestHistory)
#include "tst_history.moc"
