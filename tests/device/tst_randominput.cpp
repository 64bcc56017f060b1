// Random input against a paced simulated variator: keys, clicks, marker
// drags, cells, shortcuts, undo and redo, page changes, the template and the
// transfers, with live writing on and off; input also falls during the
// transfers. After every transfer the variator holds the maps that the screen
// showed at one of the undo steps. The sequence follows its seed (printed,
// and set with TARVO_RANDOM_SEED); TARVO_RANDOM_ACTIONS sets its length.

#include "app/core/Advance.h"
#include "common/ConnectedWindow.h"
#include "device/ui/TransferRun.h"
#include "editors/ui/ChartEditor.h"
#include "editors/widgets/ChartWidget.h"
#include "editors/widgets/StringGrid.h"

#include <QApplication>
#include <QCheckBox>
#include <QLineSeries>
#include <QMouseEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QSet>
#include <QTabBar>
#include <QTabWidget>
#include <QTimer>
#include <QUndoStack>
#include <functional>
#include <random>

class TestRandomInput : public QObject, public ConnectedWindow {
    Q_OBJECT

    std::mt19937 random;
    QString seed;  // "seed N", said with every failure
    // Both maps' codes at every undo step the screen has shown.
    QSet<QList<int>> shown;
    int transferCount = 0;
    int meddled = 0;
    // Input given while a transfer runs: the test itself changes no page
    // then, and leaves the stop out.
    bool inTransfer = false;

    int Pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(random); }
    bool Chance(int percent) { return Pick(100) < percent; }

    // Both maps as the codes the wire carries: the tables', or the variator's.
    QList<int> Codes(bool variator) const
    {
        QList<int> codes;
        for (int i = 0; i < 2 * MapPoints; ++i) {
            const bool lpg = i < MapPoints;
            short code = 0;
            if (variator)
                code = sim->Value((lpg ? LPGFirstParameter : PetrolFirstParameter) + i % MapPoints);
            else
                AdvanceToThousandths((lpg ? LPGTable : PetrolTable).Uoz[i % MapPoints], &code);
            codes << code;
        }
        return codes;
    }

    // The page shown, page a or b shown first when neither is.
    QWidget* OneOf(QWidget* a, QWidget* b)
    {
        QWidget* page = w->PageControl1->currentWidget();
        if (page != a && page != b && !inTransfer)
            w->PageControl1->setCurrentWidget(page = Chance(50) ? a : b);
        return page;
    }
    TChart* ShownChart()
    {
        const bool lpg = OneOf(w->TabSheetLPGmap, w->TabSheetPetrolmap) == w->TabSheetLPGmap;
        MouseInLPGChart = lpg ? 1 : 0;
        MouseInPetrolChart = lpg ? 0 : 1;
        return lpg ? w->ChartLPG : w->ChartPetrol;
    }
    static QPoint ValueAt(TChart* c, int i, double v)
    {
        return c->mapFromScene(c->chart()->mapToScene(c->chart()->mapToPosition(QPointF(100.0 * i, v), c->MapSeries())));
    }

    // A marker pressed and moved, then released, or first let go by Escape,
    // Ctrl+Z or a move with no button held.
    void Drag()
    {
        TChart* c = ShownChart();
        if (c->MapSeries()->count() != MapPoints && !inTransfer)
            RefreshChart(w, c == w->ChartLPG ? QStringLiteral("LPG") : QStringLiteral("Petrol"));
        QWidget* view = c->viewport();
        const int i = Pick(MapPoints);
        const double from = c->MapSeries()->at(i).y();
        QTest::mousePress(view, Qt::LeftButton, Qt::NoModifier, c->PointPosition(i).toPoint());
        double to = from;
        for (int k = Pick(4) + 1; k > 0; --k)
            QTest::mouseMove(view, ValueAt(c, i, to = from + (Pick(81) - 40) / 10.0));
        const int end = inTransfer ? 0 : Pick(4);
        if (end == 1 || end == 2)
            QTest::keyClick(c, end == 1 ? Qt::Key_Escape : Qt::Key_Z, end == 1 ? Qt::NoModifier : Qt::ControlModifier);
        if (end == 3) {
            const QPoint at = ValueAt(c, i, to + 1.0);
            QMouseEvent move(QEvent::MouseMove, at, view->mapToGlobal(at), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
            QApplication::sendEvent(view, &move);
        }
        QTest::mouseRelease(view, Qt::LeftButton, Qt::NoModifier, ValueAt(c, i, end ? to + 2.0 : to));
    }

    // One input a user might give the window.
    void Input()
    {
        switch (Pick(9)) {
        case 0:
        case 1: {
            TChart* c = ShownChart();
            const Qt::Key keys[] = {Qt::Key_Up, Qt::Key_Down, Qt::Key_Left, Qt::Key_Right};
            for (int k = Pick(4) + 1; k > 0; --k)
                QTest::keyClick(c, keys[Pick(4)], Chance(15) ? Qt::ShiftModifier : Qt::NoModifier);
            break;
        }
        case 2: {
            const bool lpg = ShownChart() == w->ChartLPG, whole = Chance(50);
            QCheckBox* box = lpg ? (whole ? w->LPGFulMapMoveCheckBox : w->LPGSpeedCheckBox)
                                 : (whole ? w->PetrolFulMapMoveCheckBox : w->PetrolSpeedCheckBox);
            QTest::mouseClick(box, Qt::LeftButton, Qt::NoModifier, QPoint(6, box->height() / 2));
            break;
        }
        case 3: {
            TChart* c = ShownChart();
            QTest::mouseClick(c->viewport(), Qt::LeftButton, Qt::NoModifier, c->PointPosition(Pick(MapPoints)).toPoint());
            break;
        }
        case 4:
            Drag();
            break;
        case 5: {
            const bool lpg = OneOf(w->TabSheetUOZGrid, w->TabSheetPetrolGrid) == w->TabSheetUOZGrid;
            TStringGrid* grid = lpg ? w->StringGridLPG : w->StringGridPetrol;
            const QRect r = grid->visualRect(grid->model()->index(Pick(10) + 1, Pick(8) + 1));
            QTest::mouseClick(grid->viewport(), Qt::LeftButton, Qt::NoModifier, r.center());
            QTest::keyClicks(grid, QString::number((Pick(641) - 320) / 10.0));
            QTest::keyClick(grid, Qt::Key_Return);
            break;
        }
        case 6: {  // Ctrl+Z, Ctrl+Shift+Z, Ctrl+Y
            const int which = Pick(3);
            QTest::keyClick(ShownChart(), which == 2 ? Qt::Key_Y : Qt::Key_Z,
                            which == 1 ? Qt::ControlModifier | Qt::ShiftModifier : Qt::ControlModifier);
            break;
        }
        case 7: {
            QTabBar* tabs = w->PageControl1->tabBar();
            QTest::mouseClick(tabs, Qt::LeftButton, Qt::NoModifier, tabs->tabRect(Pick(tabs->count())).center());
            break;
        }
        default:
            if (Chance(30))
                QTest::mouseClick(w->Button1, Qt::LeftButton);
        }
    }

    void CheckVariator(const char* what)
    {
        ++transferCount;
        QVERIFY2(!TransferRunning(), qPrintable(seed));
        QVERIFY2(shown.contains(Codes(true)), qPrintable(QStringLiteral("%1: after %2 the variator holds maps never "
                                                                         "shown at an undo step").arg(seed, what)));
    }

private slots:
    void initTestCase() { InitRuntime(); }
    void init()
    {
        InitWindow();
        sim = AddSim(5, false);
        ConnectTo(5);
        ShowWindow();
    }
    void cleanup() { CleanupWindow(); }

    void randomInputDuringPacedTransfers()
    {
        bool given = false;
        unsigned n = qEnvironmentVariable("TARVO_RANDOM_SEED").toUInt(&given);
        random.seed(n = given ? n : std::random_device()());
        seed = QStringLiteral("seed %1").arg(n);
        int actions = qEnvironmentVariableIntValue("TARVO_RANDOM_ACTIONS");
        actions = actions > 0 ? actions : 70;
        qInfo("%s, %d actions", qPrintable(seed), actions);

        StoreMaps(*sim, [](int i) { return 4000 + 50 * i; }, [](int i) { return 8000 - 30 * i; });
        sim->SetValue(166, 30);
        w->ReadData->click();
        shown.insert(Codes(false));
        connect(w->UndoStack, &QUndoStack::indexChanged, this, [this] { shown.insert(Codes(false)); });
        QTimer* liveTimer = w->findChild<QTimer*>(QStringLiteral("ChangeWritingTimer"));
        QVERIFY(liveTimer);

        // Input given while a transfer runs, at a point chosen beforehand.
        int inputAt = -1;
        connect(w->ProgressBar1, &QProgressBar::valueChanged, this, [&](int i) {
            if (i != inputAt || !TransferRunning())
                return;
            inputAt = -1;
            ++meddled;
            const QList<int> before = Codes(false);
            const int steps = w->UndoStack->index();
            QWidget* page = w->PageControl1->currentWidget();
            inTransfer = true;
            for (int k = Pick(4) + 1; k > 0; --k)
                Input();
            inTransfer = false;
            QVERIFY2(w->PageControl1->currentWidget() == page, qPrintable(seed + QStringLiteral(": the page changed")));
            QVERIFY2(Codes(false) == before && w->UndoStack->index() == steps,
                     qPrintable(seed + QStringLiteral(": input changed the maps during a transfer")));
        });

        const auto settled = [&] { return !liveTimer->isActive() && !TransferRunning(); };
        const std::pair<const char*, std::function<void()>> transfers[] = {
            {"the write", [&] { w->WriteData->click(); }},
            {"\"Записать изменения\"", [&] { QTest::keyClick(w->ChartLPG, Qt::Key_W, Qt::ControlModifier | Qt::ShiftModifier); }},
            {"the read", [&] { w->ReadData->click(); }},
            {"the compare", [&] { w->N19->trigger(); }},
            {"a live write", [&] { QTRY_VERIFY_WITH_TIMEOUT(settled(), 30000); }},  // a pause: one due now ends
        };
        for (int a = 0; a < actions; ++a) {
            if (Chance(40))
                inputAt = Pick(MapPoints);
            const int what = Pick(40);  // 0-3 the commands, 4-7 a pause, 8 the tick
            if (what < 8) {
                transfers[std::min(what, 4)].second();
                CheckVariator(transfers[std::min(what, 4)].first);
            } else if (what == 8) {
                w->N51->trigger();
            } else {
                Input();
            }
            if (QTest::currentTestFailed())
                return;
            QVERIFY2(w->Label2->text() == ConnectedCaption, qPrintable(seed));
        }
        // Whatever is still to be written goes out, and matches the screen.
        QTRY_VERIFY_WITH_TIMEOUT(settled(), 30000);
        w->N50->trigger();
        CheckVariator("the last \"Записать изменения\"");
        QCOMPARE(Codes(true), Codes(false));
        qInfo("%d transfers, input during %d of them", transferCount, meddled);
    }
};

QTEST_MAIN(TestRandomInput)
#include "tst_randominput.moc"
