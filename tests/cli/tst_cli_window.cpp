// A file written by tarvo-cli read opens in the window ("Файл" → "Открыть")
// with the values the variator held, in both grids and both charts; an open
// "История…" shows the restore points the tool adds to its folder.

#include "CliFixture.h"
#include "device/wire/Frame.h"
#include "editors/widgets/StringGrid.h"
#include "common/ShownNumber.h"
#include "common/WindowTestBase.h"
#include "app/core/History.h"
#include "mapfile/ui/HistoryDialog.h"
#include "mapfile/ui/HistoryModel.h"
#include "mapfile/ui/HistoryWatch.h"

#include <QAction>
#include <QFileDialog>
#include <QLineSeries>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QTreeView>

class TestCliWindow : public QObject, public WindowTestBase {
    Q_OBJECT

    CliFixture f;

private slots:
    void initTestCase() { f.InitRuntime(); }
    void init() { StartWindow(); }
    void cleanup()
    {
        EndWindow();
        f.Cleanup();
        KeepChosenHistoryFolder(QString());
    }

    // The folder chosen in the dialog is kept and used by the tool, which is
    // given no --history; the open dialog takes its restore point into its
    // place in the list, by time, with the workstation, the port, the car and
    // the count, and keeps the row chosen before; a note that comes later
    // beside a listed point shows too. Nothing is reopened.
    void openHistoryShowsWhatAnotherProgramAdds()
    {
        QTemporaryDir shop;
        RestorePointInfo info;
        info.host = QStringLiteral("BENCH");
        info.when = QDateTime(QDate(2099, 1, 1), QTime(9, 0));
        const QString later = SaveRestorePoint(shop.path(), info, LPGTable, PetrolTable, "30", nullptr);
        info.when = QDateTime(QDate(2020, 1, 1), QTime(9, 0));
        const QString earlier = SaveRestorePoint(shop.path(), info, LPGTable, PetrolTable, "30", nullptr);

        SetFileDialogHook([&](QFileDialog* dialog, QString& fileName) {
            fileName = shop.path();
            return dialog->fileMode() == QFileDialog::Directory;
        });
        {
            THistoryDialog d(w, HistoryFolder());
            d.FolderButton->click();
            QCOMPARE(d.result(), THistoryDialog::FolderChosen);
        }
        QCOMPARE(HistoryFolder(), shop.path());
        THistoryDialog d(w, HistoryFolder());
        QAbstractItemModel* m = d.List->model();
        QCOMPARE(m->rowCount(), 2);
        d.List->setCurrentIndex(m->index(1, 0));
        QVERIFY(d.Chosen() && d.Chosen()->file == earlier);

        VariatorSim* sim = f.AddSim(7);
        StoreMaps(*sim, [](int i) { return 1000 + i; }, [](int i) { return -1 - i; });
        const CliRun run = f.Run({QStringLiteral("read"), QStringLiteral("--port"), QStringLiteral("7"),
                                  f.Path(QStringLiteral("read.xml")), QStringLiteral("--note"), QStringLiteral("Octavia")});
        QCOMPARE(run.status, 0);
        QTRY_COMPARE_WITH_TIMEOUT(m->rowCount(), 3, 4 * HistoryLookMilliseconds);
        QCOMPARE(m->index(0, 0).data().toString(), QStringLiteral("01.01.2099 09:00:00"));
        QCOMPARE(m->index(1, THistoryModel::HostColumn).data().toString(), LocalHostToken());
        QCOMPARE(m->index(1, THistoryModel::PortColumn).data().toString(), QStringLiteral("COM7"));
        QTRY_COMPARE(m->index(1, THistoryModel::NoteColumn).data().toString(), QStringLiteral("Octavia"));
        QTRY_COMPARE(m->index(1, THistoryModel::DifferColumn).data().toString(), QStringLiteral("160"));
        QVERIFY(d.Chosen() && d.Chosen()->file == earlier);

        QVERIFY(SaveRestorePointNote(later, QStringLiteral("Passat"), nullptr));
        QTRY_COMPARE_WITH_TIMEOUT(m->index(0, THistoryModel::NoteColumn).data().toString(), QStringLiteral("Passat"),
                                  4 * HistoryLookMilliseconds);
        d.SearchEdit->setText(QStringLiteral("bench"));  // the workstation, in any case
        QCOMPARE(m->rowCount(), 2);
    }

    // A chosen folder that cannot be read is said above the list, which then
    // shows the default folder.
    void unreadableFolderSaidInTheDialog()
    {
        QTemporaryDir shop;
        QFile file(shop.filePath(QStringLiteral("file")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        RestorePointInfo info;
        info.when = QDateTime(QDate(2026, 12, 9), QTime(18, 54, 30));
        QVERIFY(!SaveRestorePoint(DefaultHistoryFolder(), info, LPGTable, PetrolTable, "30", nullptr).isEmpty());
        KeepChosenHistoryFolder(shop.filePath(QStringLiteral("file/history")));
        THistoryDialog d(w, HistoryFolder());
        QCOMPARE(d.FolderLabel->text(), QStringLiteral("Папку истории «%1/file/history» не удаётся прочитать; показана "
                                                       "папка по умолчанию: %2")
                                            .arg(shop.path(), DefaultHistoryFolder()));
        QCOMPARE(d.List->model()->rowCount(), 1);
    }

    void readFileOpensInTheWindow()
    {
        VariatorSim* sim = f.AddSim(7);
        // Codes that a careless encoding would bend: odd thousandths, both
        // ends of the 16-bit range, -0.001.
        StoreMaps(*sim, [](int i) { return i == 0 ? 32767 : i == 1 ? -32768 : 4350 - 1117 * i; },
                  [](int i) { return i == 5 ? -1 : 333 * i - 9001; });
        const QString file = f.Path(QStringLiteral("from-cli.xml"));
        const CliRun run = f.Run({QStringLiteral("read"), QStringLiteral("--port"), QStringLiteral("7"), file});
        QCOMPARE(run.status, 0);

        SetFileDialogHook([&](QFileDialog*, QString& fileName) {
            fileName = file;
            return true;
        });
        w->N2->trigger();
        QCOMPARE(errors, QStringList());
        QVERIFY(messages.isEmpty());

        const struct {
            int first;
            TStringGrid* grid;
            QLineSeries* series;
        } maps[] = {{LPGFirstParameter, w->StringGridLPG, w->LineSeries1},
                    {PetrolFirstParameter, w->StringGridPetrol, w->Series1}};
        for (const auto& m : maps) {
            QCOMPARE(m.series->count(), MapPoints);
            for (int i = 0; i < MapPoints; ++i) {
                const double degrees = sim->Value(m.first + i) / 1000.0;
                QVERIFY(ShowsValue(m.grid->Cell(i / 10 + 1, i % 10 + 1), degrees));
                QCOMPARE(m.series->at(i), QPointF(100.0 * i, degrees));
            }
        }
    }
};

QTEST_MAIN(TestCliWindow)
#include "tst_cli_window.moc"
