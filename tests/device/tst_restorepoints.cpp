// Restore points of the window's transfers: one after every read that got
// all 160 map points and every write whose 160 echoes matched, holding what
// went over the line; none after one that failed. A point that cannot be
// saved is told once, after the transfer. The history dialog lists them.

#include "common/LinkFixture.h"
#include "app/core/History.h"
#include "app/core/Visit.h"
#include "app/core/KeptMaps.h"
#include "app/core/MapCompare.h"
#include "mapfile/core/MapFile.h"
#include "mapfile/ui/HistoryDialog.h"
#include "mapfile/ui/HistoryModel.h"
#include "app/ui/Undo.h"
#include "app/ui/VisitHooks.h"
#include "mapfile/ui/HistoryReader.h"
#include "device/ui/TransferRun.h"

#include <QAction>
#include <QEventLoop>
#include <QThread>
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
        QTest::addColumn<QString>("name");         // of the one point, before its visit; empty: none
        QTest::addColumn<bool>("kept");
        QTest::newRow("read") << "read" << -1 << false << "-read-COM5-fw12" << true;
        QTest::newRow("read, LPG point 3 fails") << "read" << 83 << false << "" << false;
        QTest::newRow("read, firmware fails") << "read" << 160 << false << "-read-COM5" << true;
        QTest::newRow("write") << "write" << -1 << false << "-write-COM5" << true;
        QTest::newRow("write, petrol point 7 fails") << "write" << 7 << false << "" << false;
        QTest::newRow("compare") << "compare" << -1 << false << "-compare-COM5" << false;
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
        w->CarNoteEdit->setText(QStringLiteral(" Golf А123ВС "));
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
        const QStringList files = QDir(folder).entryList({QStringLiteral("*.xml")}, QDir::Files | QDir::Hidden);
        QCOMPARE(files.size(), name.isEmpty() ? 0 : 1);
        QCOMPARE(MapsKept(LPGTable, PetrolTable), kept);
        const QString failure = QStringLiteral("Не удалось сохранить точку восстановления: %1: ").arg(folder);
        QCOMPARE(!messages.isEmpty() && messages.last().startsWith(failure), blocked);
        if (name.isEmpty())
            return;
        // The visit started by the connect names it, and the workstation
        // follows.
        QVERIFY(!CurrentVisit.id.isEmpty());
        const QString host = LocalHostToken().isEmpty() ? QString() : QStringLiteral("-h") + LocalHostToken();
        QVERIFY2(files[0].endsWith(name + QStringLiteral("-v") + CurrentVisit.id + host + QStringLiteral(".xml")),
                 qPrintable(files[0]));
        MapTable lpg = {};
        MapTable petrol = {};
        const QString file = QDir(folder).filePath(files[0]);
        LoadMapFile(file, lpg, petrol);
        for (int i = 0; i < MapPoints; ++i) {
            QCOMPARE(lpg.Uoz[i], write ? (2000 + 100 * i) / 1000.0 : (1000 + 7 * i) / 1000.0);
            QCOMPARE(petrol.Uoz[i], write ? (-1500 - 10 * i) / 1000.0 : (-500 - 3 * i) / 1000.0);
        }
        QCOMPARE(MapFileStartTimeout(file), QString(write ? "17" : command == QLatin1String("read") ? "30" : ""));
        QCOMPARE(ReadRestorePointNote(file), QStringLiteral("Golf А123ВС"));
    }

    // A damaged file is listed once read and cannot be opened; "Открыть"
    // loads a point, both maps or one, as one step whose maps become their
    // references and are kept, the other map staying as it was; "Сравнить"
    // only makes it the reference.
    void historyDialog_data()
    {
        QTest::addColumn<int>("row");
        QTest::addColumn<QString>("button");
        QTest::addColumn<double>("lpg0");        // LPGTable.Uoz[0] afterwards
        QTest::addColumn<double>("petrol0");     // PetrolTable.Uoz[0] afterwards
        QTest::addColumn<double>("reference0");  // LPGReference.Uoz[0] afterwards; 0: none
        QTest::addColumn<bool>("kept");
        QTest::newRow("damaged") << 0 << "HistoryOpen" << 1.5 << -2.0 << 0.0 << false;
        QTest::newRow("open") << 1 << "HistoryOpen" << 6.25 << -4.5 << 6.25 << true;
        QTest::newRow("gas only") << 1 << "HistoryOpenLPG" << 6.25 << -2.0 << 6.25 << false;
        QTest::newRow("petrol only") << 1 << "HistoryOpenPetrol" << 1.5 << -4.5 << 0.0 << false;
        QTest::newRow("compare") << 1 << "HistoryCompare" << 1.5 << -2.0 << 6.25 << false;
    }
    void historyDialog()
    {
        QFETCH(int, row);
        QFETCH(QString, button);
        QFETCH(double, lpg0);
        QFETCH(double, petrol0);
        QFETCH(double, reference0);
        QFETCH(bool, kept);
        RestorePointInfo info;
        info.when = QDateTime(QDate(2026, 12, 9), QTime(18, 54, 30));
        LPGTable.Uoz[0] = 6.25;
        PetrolTable.Uoz[0] = -4.5;
        const QString point = SaveRestorePoint(HistoryFolder(), info, LPGTable, PetrolTable, QString(), nullptr);
        QVERIFY(!point.isEmpty());
        QFile bad(HistoryFolder() + QLatin1Char('/') + RestorePointName(info).replace(QStringLiteral("30-"), QStringLiteral("31-")));
        QVERIFY(bad.open(QIODevice::WriteOnly) && bad.write("not a map") > 0);
        bad.close();
        {
            const MapStep step(w, QStringLiteral("edit"));
            LPGTable.Uoz[0] = 1.5;
            PetrolTable.Uoz[0] = -2.0;
        }
        THistoryDialog d(w, HistoryFolder());
        const QAbstractItemModel* m = d.List->model();
        QTRY_VERIFY(d.Filled());
        QCOMPARE(m->index(0, THistoryModel::DifferColumn).data().toString(), QStringLiteral("файл повреждён"));
        QCOMPARE(m->index(1, THistoryModel::DifferColumn).data().toString(), QStringLiteral("2"));
        // A car written into the row afterwards goes to its note file.
        QVERIFY(d.List->model()->setData(m->index(1, THistoryModel::NoteColumn), QStringLiteral("Octavia")));
        QCOMPARE(ReadRestorePointNote(point), QStringLiteral("Octavia"));
        d.List->setCurrentIndex(m->index(row, 0));
        QCOMPARE(d.OpenButton->isEnabled(), row != 0);
        d.findChild<QPushButton*>(button)->click();

        QCOMPARE(LPGTable.Uoz[0], lpg0);
        QCOMPARE(PetrolTable.Uoz[0], petrol0);
        QCOMPARE(LPGReference.exists ? LPGReference.Uoz[0] : 0.0, reference0);
        QCOMPARE(w->UndoStack->count(), lpg0 == 1.5 && petrol0 == -2.0 ? 1 : 2);
        QCOMPARE(MapsKept(LPGTable, PetrolTable), kept);
    }

    // The search keeps the rows whose car, date, port or kind holds the
    // text, in any case; the chosen row stays chosen while it is shown.
    void historySearch_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("rows");  // their cars, as listed
        QTest::newRow("nothing typed") << "" << QStringList{"", "Лада Веста", "Golf А123ВС"};
        QTest::newRow("car, other case") << "ВЕСТА" << QStringList{"Лада Веста"};
        QTest::newRow("plate") << "а123" << QStringList{"Golf А123ВС"};
        QTest::newRow("date") << "10.12.2026" << QStringList{"", "Лада Веста"};
        QTest::newRow("time") << "18:54:31" << QStringList{"Лада Веста"};
        QTest::newRow("port") << "com12" << QStringList{""};
        QTest::newRow("kind") << "сравнение" << QStringList{""};
        QTest::newRow("no match") << "Passat" << QStringList{};
    }
    void historySearch()
    {
        QFETCH(QString, text);
        QFETCH(QStringList, rows);
        const struct {
            int day, second;
            TransferKind kind;
            int port;
            const char* note;
        } points[] = {{9, 30, TransferKind::Read, 5, "Golf А123ВС"},
                      {10, 31, TransferKind::Write, 7, "Лада Веста"},
                      {10, 32, TransferKind::Compare, 12, ""}};
        for (const auto& p : points) {
            RestorePointInfo info;
            info.when = QDateTime(QDate(2026, 12, p.day), QTime(18, 54, p.second));
            info.kind = p.kind;
            info.port = p.port;
            QVERIFY(!SaveRestorePoint(HistoryFolder(), info, LPGTable, PetrolTable, QString(), nullptr,
                                      QString::fromUtf8(p.note))
                         .isEmpty());
        }
        THistoryDialog d(w, HistoryFolder());
        QTRY_VERIFY(d.Filled());
        const QAbstractItemModel* m = d.List->model();
        d.List->setCurrentIndex(m->index(2, 0));
        d.SearchEdit->setText(text);
        QStringList shown;
        for (int r = 0; r < m->rowCount(); ++r)
            shown << m->index(r, THistoryModel::NoteColumn).data().toString();
        QCOMPARE(shown, rows);
        QCOMPARE(d.Chosen() != nullptr, rows.contains(QStringLiteral("Golf А123ВС")));
    }
    // Through the window: a read, then live writing over runs of edits
    // leaves one restore point per settled state (a minute of quiet on the
    // visit's clock, the untick, the disconnect), and the car typed late
    // becomes the note of all of them, the read's too, in one visit.
    void liveWritingLeavesSettledStatesInOneVisit()
    {
        qint64 now = 0;
        const auto realClock = VisitClock;
        VisitClock = [&now] { return now; };
        StoreMaps(*sim, [](int) { return 1000; }, [](int) { return 0; });
        w->ReadData->click();
        w->N51->setChecked(true);
        int edits = 0;
        const auto edit = [&] {
            {
                const MapStep step(w, QStringLiteral("edit"));
                LPGTable.Uoz[3] = 1.5 + ++edits;
            }
            QTRY_COMPARE_WITH_TIMEOUT(int(sim->Value(83)), 1500 + 1000 * edits, 3000);
            QTRY_VERIFY(!TransferRunning());
        };
        const auto points = [] { return ListRestorePoints(HistoryFolder()).size(); };
        edit();
        edit();
        now += 61 * 1000;
        SettleIfQuiet(w);
        QCOMPARE(points(), 2);
        edit();
        w->N51->setChecked(false);
        QCOMPARE(points(), 3);
        w->N51->setChecked(true);
        edit();
        w->CarNoteEdit->setText(QStringLiteral("Golf А123ВС"));
        emit w->CarNoteEdit->editingFinished();
        w->N12->trigger();
        VisitClock = realClock;
        QCOMPARE(messages, QStringList{DisconnectedMessage});

        const QList<RestorePointEntry> list = ListRestorePoints(HistoryFolder());
        QCOMPARE(list.size(), 4);
        const double lpg3[] = {5.5, 4.5, 3.5, 1.0};  // newest first
        for (int i = 0; i < list.size(); ++i) {
            QCOMPARE(list[i].kind, i == 3 ? TransferKind::Read : TransferKind::Write);
            QCOMPARE(list[i].visit, list[0].visit);
            QCOMPARE(ReadRestorePointNote(list[i].file), QStringLiteral("Golf А123ВС"));
            MapTable lpg = {};
            MapTable petrol = {};
            LoadRestorePoint(list[i].file, lpg, petrol);
            QCOMPARE(lpg.Uoz[3], lpg3[i]);
        }
    }

    // The list's columns: only the car's can be edited, in a point's row and
    // a visit's; a compare is listed as "сравнение"; a visit gathers its
    // points under one row, with before and after and the points changed.
    void listColumnsAndVisitRows()
    {
        const struct { int second; TransferKind kind; const char* visit; double lpg01; } made[] = {
            {30, TransferKind::Read, "v1", 1.0}, {31, TransferKind::Write, "v1", 2.5}, {32, TransferKind::Compare, "", 2.5}};
        for (const auto& p : made) {
            RestorePointInfo info;
            info.when = QDateTime(QDate(2026, 12, 9), QTime(18, 54, p.second));
            info.kind = p.kind;
            info.port = 5;
            info.visit = QString::fromLatin1(p.visit);
            LPGTable.Uoz[0] = LPGTable.Uoz[1] = p.lpg01;
            QVERIFY(!SaveRestorePoint(HistoryFolder(), info, LPGTable, PetrolTable, QString(), nullptr).isEmpty());
        }
        THistoryDialog d(w, HistoryFolder());
        QTRY_VERIFY(d.Filled());
        const QAbstractItemModel* m = d.List->model();
        QCOMPARE(m->rowCount(), 2);
        QCOMPARE(m->headerData(THistoryModel::NoteColumn, Qt::Horizontal).toString(), QStringLiteral("Автомобиль"));
        const QModelIndex visit = m->index(1, 0);
        for (const QModelIndex& row : {m->index(0, 0), visit, m->index(0, 0, visit)})
            for (int c = 0; c < THistoryModel::Columns; ++c)
                QCOMPARE(bool(m->flags(row.siblingAtColumn(c)) & Qt::ItemIsEditable), c == THistoryModel::NoteColumn);
        QCOMPARE(m->index(0, THistoryModel::KindColumn).data().toString(), QStringLiteral("сравнение"));
        QCOMPARE(m->rowCount(visit), 2);
        QCOMPARE(m->index(1, THistoryModel::KindColumn, visit).data().toString(), QStringLiteral("чтение"));
        QCOMPARE(visit.siblingAtColumn(THistoryModel::VisitColumn).data().toString(),
                 QStringLiteral("чтение 18:54:30 → запись 18:54:31, изменено точек: 2"));
        // The car written into the visit's row goes to both its points.
        QVERIFY(d.List->model()->setData(visit.siblingAtColumn(THistoryModel::NoteColumn), QStringLiteral("Vesta")));
        for (int r = 0; r < 2; ++r)
            QCOMPARE(ReadRestorePointNote(ListRestorePoints(HistoryFolder())[r + 1].file), QStringLiteral("Vesta"));
        d.SearchEdit->setText(QStringLiteral("vesta"));
        QCOMPARE(m->rowCount(), 1);
        QCOMPARE(m->rowCount(m->index(0, 0)), 2);
    }

    // A car written in the list stays when the reader brings the older note
    // afterwards; a note the reader brings late lets the search find its visit.
    void readerNeverOverwritesAWrittenCar()
    {
        RestorePointInfo info;
        info.when = QDateTime(QDate(2026, 12, 9), QTime(18, 54, 30));
        info.visit = QStringLiteral("v1");
        const QString point = SaveRestorePoint(HistoryFolder(), info, LPGTable, PetrolTable, QString(), nullptr,
                                               QStringLiteral("Golf"));
        THistoryModel model(ListRestorePoints(HistoryFolder()), nullptr);
        model.SetSearch(QStringLiteral("golf"));
        QCOMPARE(model.rowCount(), 0);
        Finding late;
        late.isNote = true;
        late.note = QStringLiteral("Golf");
        model.Take({late});
        QCOMPARE(model.rowCount(), 1);
        const QModelIndex child = model.index(0, THistoryModel::NoteColumn, model.index(0, 0));
        QVERIFY(model.setData(child, QStringLiteral("Passat"), Qt::EditRole));
        model.Take({late});
        QCOMPARE(child.data().toString(), QStringLiteral("Passat"));
        QCOMPARE(ReadRestorePointNote(point), QStringLiteral("Passat"));
    }

    // The reader's batches and its end reach the list on the window's thread.
    void readerBatchesArriveOnTheWindowThread()
    {
        QStringList files;
        for (int k = 0; k < 600; ++k)
            files << QStringLiteral("/nonexistent/%1.xml").arg(k);
        QObject receiver;
        QList<bool> onWindowThread;
        int findings = 0;
        QEventLoop loop;
        QThread* reader = StartHistoryReader(
            &receiver, files, QVector<bool>(files.size(), true), {{0, files[0], files[1]}}, LPGTable, PetrolTable,
            [&](const QVector<Finding>& batch) {
                onWindowThread << (QThread::currentThread() == receiver.thread());
                findings += batch.size();
            },
            [&] {
                onWindowThread << (QThread::currentThread() == receiver.thread());
                loop.quit();
            });
        loop.exec();
        reader->wait();
        delete reader;
        QCOMPARE(findings, 2 * 600 + 1);
        QVERIFY(onWindowThread.size() > 2);
        QVERIFY(!onWindowThread.contains(false));
    }
};

QTEST_MAIN(TestRestorePoints)
#include "tst_restorepoints.moc"
