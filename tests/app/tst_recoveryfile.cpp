// The recovery files of the core: the folder, the slots of programs running
// at the same time, the orphan offered, and the delayed write on the writer
// thread.

#include "app/core/MapStore.h"
#include "common/Orphans.h"

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <atomic>

// The thread a failed write was reported on.
static std::atomic<QThread*> reportedOn{nullptr};

class TestRecoveryFile : public QObject {
    Q_OBJECT

    QTemporaryDir state;
    QString folder;

private slots:
    void initTestCase()
    {
        QVERIFY(state.isValid());
        qputenv("XDG_STATE_HOME", state.path().toLocal8Bit());
        folder = RecoveryFolder();
    }
    void init() { QDir(folder).removeRecursively(); }
    void cleanup() { qputenv("XDG_STATE_HOME", state.path().toLocal8Bit()); }

    void folderFollowsXdgStateHome()
    {
        QCOMPARE(folder, state.path() + QStringLiteral("/tarvo-gui"));
        const QString home = QDir::homePath() + QStringLiteral("/.local/state/tarvo-gui");
        qputenv("XDG_STATE_HOME", "relative/state");
        QCOMPARE(RecoveryFolder(), home);
        qunsetenv("XDG_STATE_HOME");
        QCOMPARE(RecoveryFolder(), home);
    }

    // Two programs at once write two files; neither is an orphan while both
    // run, and the file of the one that is gone is offered, never the other's.
    void runningProgramsDoNotMix()
    {
        RecoverySlot a, b;
        QVERIFY(ClaimRecoverySlot(folder, a));
        QVERIFY(ClaimRecoverySlot(folder, b));
        QVERIFY(a.file != b.file);
        QVERIFY(WriteRecoveryFile(a, Edited(1), Edited(2), QStringLiteral("7"), nullptr));
        QVERIFY(WriteRecoveryFile(b, Edited(3), Edited(4), QStringLiteral("8"), nullptr));
        RecoverySlot orphan;
        QVERIFY(!TakeRecoveryOrphan(folder, orphan));

        ReleaseRecoverySlot(a, false);  // gone without a normal end
        QVERIFY(TakeRecoveryOrphan(folder, orphan));
        MapTable lpg{}, petrol{};
        QString timeout;
        ReadRecoveryFile(orphan.file, lpg, petrol, timeout);
        QCOMPARE(lpg.Uoz[9], Edited(1).Uoz[9]);
        QCOMPARE(timeout, QStringLiteral("7"));
        // Held while offered: a program starting meanwhile neither takes it
        // nor claims its slot.
        RecoverySlot other, c;
        QVERIFY(!TakeRecoveryOrphan(folder, other));
        QVERIFY(ClaimRecoverySlot(folder, c));
        QVERIFY(c.file != orphan.file && c.file != b.file);
        ReleaseRecoverySlot(orphan, true);
        ReleaseRecoverySlot(b, true);
        ReleaseRecoverySlot(c, true);
        QVERIFY(QDir(folder).entryList({QStringLiteral("recovery-*.xml")}, QDir::Files).isEmpty());
    }

    // Of several orphans the one written last is offered first, whatever
    // the numbers of their slots.
    void newestOrphanFirst()
    {
        QFile older(LeaveOrphan(folder, Edited(1), Edited(2), QStringLiteral("7")));
        const QString newest = LeaveOrphan(folder, Edited(3), Edited(4), QStringLiteral("8"));
        QVERIFY(older.open(QIODevice::ReadWrite));
        QVERIFY(older.setFileTime(QDateTime::currentDateTime().addSecs(-3600), QFileDevice::FileModificationTime));
        older.close();
        RecoverySlot offered;
        QVERIFY(TakeRecoveryOrphan(folder, offered));
        QCOMPARE(offered.file, newest);
        ReleaseRecoverySlot(offered, true);
    }

    // Changes made at once are one write, of the last of them, once the
    // delay has run out; never a write on the change itself.
    void writtenOnceAfterTheDelay()
    {
        RecoverySlot slot;
        QVERIFY(ClaimRecoverySlot(folder, slot));
        StartRecoveryWrites(&slot, [] { return QStringLiteral("0"); });
        QElapsedTimer clock;
        clock.start();
        for (int change = 1; change <= 5; ++change) {
            LPGTable.Uoz[40] = change;
            RecoveryTouched();
        }
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(slot.file), 5000);
        QVERIFY(clock.elapsed() >= 450);  // half a second, less the 5 % a coarse timer may be early
        StopRecoveryWrites();
        MapTable lpg{}, petrol{};
        QString timeout;
        ReadRecoveryFile(slot.file, lpg, petrol, timeout);
        QCOMPARE(lpg.Uoz[40], 5.0);
        ReleaseRecoverySlot(slot, true);
    }

    // The file is written on the writer thread, never on the window's: a
    // write that fails is reported from there.
    void writtenOnTheWriterThread()
    {
        RecoverySlot slot;
        slot.file = folder + QStringLiteral("/no/such/folder/recovery-1.xml");
        reportedOn = nullptr;
        const QtMessageHandler before = qInstallMessageHandler(
            [](QtMsgType, const QMessageLogContext&, const QString&) { reportedOn = QThread::currentThread(); });
        StartRecoveryWrites(&slot, [] { return QStringLiteral("0"); });
        RecoveryWriteNow();
        QTRY_VERIFY_WITH_TIMEOUT(reportedOn != nullptr, 5000);
        StopRecoveryWrites();
        qInstallMessageHandler(before);
        QVERIFY(reportedOn != QThread::currentThread());
    }

    // A steady run of changes (a key held down, repeating every 30 ms for
    // 3 s) is written within a second of its first change, while the run
    // still goes on.
    void steadyRunWrittenWhileItGoesOn()
    {
        RecoverySlot run;
        QVERIFY(ClaimRecoverySlot(folder, run));
        StartRecoveryWrites(&run, [] { return QStringLiteral("0"); });
        int changes = 0;
        QTimer repeat;
        connect(&repeat, &QTimer::timeout, [&] {
            LPGTable.Uoz[40] = ++changes * 0.01;
            RecoveryTouched();
            if (changes == 100)
                repeat.stop();
        });
        repeat.start(30);
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(run.file), 1000);
        QVERIFY(repeat.isActive());
        StopRecoveryWrites();
        ReleaseRecoverySlot(run, true);
    }

};

QTEST_GUILESS_MAIN(TestRecoveryFile)
#include "tst_recoveryfile.moc"
