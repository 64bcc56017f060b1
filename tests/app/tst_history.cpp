// Restore points in the history folder: names that never collide or
// overwrite, the fields their names carry, and a listing that marks a
// damaged file without ever waiting on one.

#include "app/core/History.h"
#include "common/CoreTestBase.h"
#include "mapfile/core/MapFile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <sys/stat.h>

namespace {

MapTable Filled(double value)
{
    MapTable t = {};
    SetSpeedAxis(t);
    for (double& uoz : t.Uoz)
        uoz = value;
    return t;
}

RestorePointInfo Info(TransferKind kind, int port, bool hasFirmware, int firmware)
{
    RestorePointInfo info;
    info.when = QDateTime(QDate(2026, 12, 9), QTime(18, 54, 30));
    info.kind = kind;
    info.port = port;
    info.hasFirmware = hasFirmware;
    info.firmware = firmware;
    return info;
}

} // namespace

class TestHistory : public QObject {
    Q_OBJECT

    QTemporaryDir dir;

private slots:
    void init()
    {
        ResetCoreGlobals();
        QVERIFY(dir.isValid());
        QDir(dir.path()).removeRecursively();
        QDir().mkpath(dir.path());
    }

    // A firmware of -1 and a suffix both follow a '-': the name must still
    // give each field back.
    void nameCarriesItsFields_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<bool>("hasFirmware");
        QTest::addColumn<int>("firmware");
        QTest::addColumn<int>("suffix");
        QTest::addColumn<QString>("name");
        QTest::newRow("read") << int(TransferKind::Read) << true << 12 << 1
                              << QStringLiteral("20261209-185430-read-COM7-fw12.xml");
        QTest::newRow("write, second") << int(TransferKind::Write) << false << 0 << 2
                                       << QStringLiteral("20261209-185430-write-COM7-2.xml");
        QTest::newRow("firmware -1, third") << int(TransferKind::Read) << true << -1 << 3
                                            << QStringLiteral("20261209-185430-read-COM7-fw-1-3.xml");
    }
    void nameCarriesItsFields()
    {
        QFETCH(int, kind);
        QFETCH(bool, hasFirmware);
        QFETCH(int, firmware);
        QFETCH(int, suffix);
        QFETCH(QString, name);
        const RestorePointInfo info = Info(TransferKind(kind), 7, hasFirmware, firmware);
        QCOMPARE(RestorePointName(info, suffix), name);
        RestorePointInfo back;
        int backSuffix = 0;
        QVERIFY(ParseRestorePointName(name, back, &backSuffix));
        QCOMPARE(back.when, info.when);
        QCOMPARE(int(back.kind), kind);
        QCOMPARE(back.port, 7);
        QCOMPARE(back.hasFirmware, hasFirmware);
        QCOMPARE(back.firmware, firmware);
        QCOMPARE(backSuffix, suffix);
    }

    // Points of the same second get names of their own, also past a file
    // that already holds the next name; that file is left as it was, and
    // the listing gives the newest first.
    void pointsOfOneSecondNeverCollide()
    {
        const RestorePointInfo info = Info(TransferKind::Write, 7, false, 0);
        const QString taken = QDir(dir.path()).filePath(RestorePointName(info, 2));
        {
            QFile f(taken);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("somebody's");
        }
        QStringList names;
        for (int k = 1; k <= 3; ++k) {
            QString error;
            const QString saved = SaveRestorePoint(dir.path(), info, Filled(k), Filled(-k), QStringLiteral("30"), &error);
            QVERIFY2(!saved.isEmpty(), qPrintable(error));
            names << QFileInfo(saved).fileName();
        }
        QCOMPARE(names, (QStringList{QStringLiteral("20261209-185430-write-COM7.xml"),
                                     QStringLiteral("20261209-185430-write-COM7-3.xml"),
                                     QStringLiteral("20261209-185430-write-COM7-4.xml")}));
        QFile f(taken);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), QByteArray("somebody's"));
        // Nothing but the points and that file: no temporary is left behind.
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 4);

        const QList<RestorePointEntry> list = ListRestorePoints(dir.path());
        QCOMPARE(list.size(), 4);
        const int suffixes[] = {4, 3, 2, 1};
        const double values[] = {3, 2, 0, 1};
        for (int i = 0; i < 4; ++i) {
            QCOMPARE(list[i].suffix, suffixes[i]);
            QCOMPARE(list[i].damaged, suffixes[i] == 2);
            if (!list[i].damaged) {
                QCOMPARE(list[i].lpg.Uoz[79], values[i]);
                QCOMPARE(list[i].petrol.Uoz[0], -values[i]);
                QCOMPARE(MapFileStartTimeout(list[i].file), QStringLiteral("30"));
            }
        }
    }

    // A damaged file is listed as damaged, with its fault, and nothing of it
    // is loaded; a named pipe is never opened, so the listing cannot wait on it.
    void damagedFileIsListedNotLoaded_data()
    {
        QTest::addColumn<QByteArray>("content");  // "fifo": a named pipe
        QTest::newRow("not XML") << QByteArray("These are not maps.\n");
        QTest::newRow("cut short") << QByteArray("<?xml version=\"1.0\"?><variatorTarvo><LPGmap>LPG map)))");
        QTest::newRow("named pipe") << QByteArray("fifo");
    }
    void damagedFileIsListedNotLoaded()
    {
        QFETCH(QByteArray, content);
        const QString good = SaveRestorePoint(dir.path(), Info(TransferKind::Read, 3, true, 12), Filled(4.5),
                                              Filled(2), QString(), nullptr);
        QVERIFY(!good.isEmpty());
        RestorePointInfo later = Info(TransferKind::Read, 3, true, 12);
        later.when = later.when.addSecs(60);
        const QString bad = QDir(dir.path()).filePath(RestorePointName(later));
        if (content == "fifo") {
            QCOMPARE(mkfifo(QFile::encodeName(bad).constData(), 0600), 0);
        } else {
            QFile f(bad);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(content);
        }
        const QList<RestorePointEntry> list = ListRestorePoints(dir.path());
        QCOMPARE(list.size(), 2);
        QCOMPARE(list[0].file, bad);
        QVERIFY(list[0].damaged);
        QVERIFY(!list[0].fault.isEmpty());
        QCOMPARE(list[0].lpg.Uoz[0], 0.0);
        QCOMPARE(list[1].file, good);
        QVERIFY(!list[1].damaged);
        QCOMPARE(list[1].lpg.Uoz[0], 4.5);
    }
};

QTEST_GUILESS_MAIN(TestHistory)
#include "tst_history.moc"
