// A file written by tarvo-cli read opens in the window ("Файл" → "Открыть")
// with the values the variator held, in both grids and both charts.

#include "CliFixture.h"
#include "device/wire/Frame.h"
#include "editors/widgets/StringGrid.h"
#include "common/ShownNumber.h"
#include "common/WindowTestBase.h"

#include <QAction>
#include <QFileDialog>
#include <QLineSeries>
#include <QLocale>

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
