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
#include <random>

class TestRandomInput : public QObject, public ConnectedWindow {
    Q_OBJECT

    std::mt19937 random;
    unsigned seed = 0;
    // The codes of both maps at every undo step the screen has shown.
    QSet<QByteArray> shown;
    int transfers = 0;
    int dropped = 0;
    // Input is being given while a transfer runs: the test itself changes no
    // page then, and leaves the stop out.
    bool inTransfer = false;

    int Pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(random); }
    bool Chance(int percent) { return Pick(100) < percent; }

    QString Seed() const { return QStringLiteral("seed %1").arg(seed); }

    static QByteArray TableCodes()
    {
        QByteArray codes;
        for (const MapTable* table : {&LPGTable, &PetrolTable})
            for (double uoz : table->Uoz) {
                short code = 0;
                AdvanceToThousandths(uoz, &code);
                codes.append(reinterpret_cast<const char*>(&code), sizeof code);
            }
        return codes;
    }
    QByteArray SimCodes() const
    {
        QByteArray codes;
        for (int first : {LPGFirstParameter, PetrolFirstParameter})
            for (int i = 0; i < MapPoints; ++i) {
                const short code = static_cast<short>(sim->Value(first + i));
                codes.append(reinterpret_cast<const char*>(&code), sizeof code);
            }
        return codes;
    }

    // The chart of the page shown, the LPG chart's page shown first when
    // none is.
    TChart* ShownChart()
    {
        QWidget* page = w->PageControl1->currentWidget();
        if (page != w->TabSheetLPGmap && page != w->TabSheetPetrolmap && !inTransfer) {
            w->PageControl1->setCurrentWidget(Chance(50) ? w->TabSheetLPGmap : w->TabSheetPetrolmap);
            page = w->PageControl1->currentWidget();
        }
        const bool lpg = page == w->TabSheetLPGmap;
        MouseInLPGChart = lpg ? 1 : 0;
        MouseInPetrolChart = lpg ? 0 : 1;
        return lpg ? w->ChartLPG : w->ChartPetrol;
    }
    static QPoint ValueAt(TChart* c, int i, double v)
    {
        return c->mapFromScene(c->chart()->mapToScene(c->chart()->mapToPosition(QPointF(100.0 * i, v), c->MapSeries())));
    }
    static void MoveWithoutButton(QWidget* view, const QPoint& at)
    {
        QMouseEvent move(QEvent::MouseMove, at, view->mapToGlobal(at), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(view, &move);
    }

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
        for (int k = Pick(4) + 1; k > 0; --k) {
            to = from + (Pick(81) - 40) / 10.0;
            QTest::mouseMove(view, ValueAt(c, i, to));
        }
        // A transfer asked for while the marker is held does not start.
        if (c->MarkerHeld()) {
            const int requests = sim->RequestCount();
            if (Chance(20))
                QTest::keyClick(c, Qt::Key_W, Qt::ControlModifier | Qt::ShiftModifier);
            if (Chance(20))
                QTest::mouseClick(w->WriteData, Qt::LeftButton);
            QCOMPARE(sim->RequestCount(), requests);
        }
        switch (inTransfer ? 0 : Pick(4)) {
        case 0:
            QTest::mouseRelease(view, Qt::LeftButton, Qt::NoModifier, ValueAt(c, i, to));
            return;
        case 1:
            QTest::keyClick(c, Qt::Key_Escape);
            break;
        case 2:
            QTest::keyClick(c, Qt::Key_Z, Qt::ControlModifier);
            break;
        default:
            MoveWithoutButton(view, ValueAt(c, i, to + 1.0));
            break;
        }
        QTest::mouseRelease(view, Qt::LeftButton, Qt::NoModifier, ValueAt(c, i, to + 2.0));
    }

    void Cell()
    {
        if (w->PageControl1->currentWidget() != w->TabSheetUOZGrid
            && w->PageControl1->currentWidget() != w->TabSheetPetrolGrid && !inTransfer)
            w->PageControl1->setCurrentWidget(Chance(50) ? w->TabSheetUOZGrid : w->TabSheetPetrolGrid);
        TStringGrid* grid = w->PageControl1->currentWidget() == w->TabSheetUOZGrid ? w->StringGridLPG
                                                                                  : w->StringGridPetrol;
        const QRect r = grid->visualRect(grid->model()->index(Pick(10) + 1, Pick(8) + 1));
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, Qt::NoModifier, r.center());
        QTest::keyClicks(grid, QString::number((Pick(641) - 320) / 10.0));
        QTest::keyClick(grid, Qt::Key_Return);
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
            TChart* c = ShownChart();
            QCheckBox* box = c == w->ChartLPG ? (Chance(50) ? w->LPGFulMapMoveCheckBox : w->LPGSpeedCheckBox)
                                              : (Chance(50) ? w->PetrolFulMapMoveCheckBox : w->PetrolSpeedCheckBox);
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
        case 5:
            Cell();
            break;
        case 6: {
            const Qt::KeyboardModifiers undo[] = {Qt::ControlModifier, Qt::ControlModifier | Qt::ShiftModifier};
            const int which = Pick(3);
            QTest::keyClick(ShownChart(), which == 2 ? Qt::Key_Y : Qt::Key_Z, undo[which == 1 ? 1 : 0]);
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
            break;
        }
    }

    // After a transfer: the variator holds what the screen showed at one of
    // the undo steps.
    void CheckVariator(const char* what)
    {
        ++transfers;
        QVERIFY2(!TransferRunning(), qPrintable(Seed()));
        QVERIFY2(shown.contains(SimCodes()), qPrintable(QStringLiteral("%1: after %2 the variator holds maps never "
                                                                        "shown at an undo step")
                                                             .arg(Seed(), QLatin1String(what))));
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
        seed = qEnvironmentVariableIntValue("TARVO_RANDOM_SEED", &given);
        if (!given)
            seed = std::random_device()();
        random.seed(seed);
        bool sized = false;
        int actions = qEnvironmentVariableIntValue("TARVO_RANDOM_ACTIONS", &sized);
        if (!sized || actions <= 0)
            actions = 70;
        qInfo("%s, %d actions", qPrintable(Seed()), actions);

        StoreMaps(*sim, [](int i) { return 4000 + 50 * i; }, [](int i) { return 8000 - 30 * i; });
        sim->SetValue(166, 30);
        w->ReadData->click();
        shown.insert(TableCodes());
        connect(w->UndoStack, &QUndoStack::indexChanged, this, [this] { shown.insert(TableCodes()); });
        QTimer* liveTimer = w->findChild<QTimer*>(QStringLiteral("ChangeWritingTimer"));
        QVERIFY(liveTimer);

        // Input given while a transfer runs, at a point chosen beforehand.
        int inputAt = -1;
        connect(w->ProgressBar1, &QProgressBar::valueChanged, this, [&](int i) {
            if (i != inputAt || !TransferRunning())
                return;
            inputAt = -1;
            const QByteArray before = TableCodes();
            const int steps = w->UndoStack->index();
            QWidget* page = w->PageControl1->currentWidget();
            inTransfer = true;
            for (int k = Pick(4) + 1; k > 0; --k)
                Input();
            inTransfer = false;
            ++dropped;
            QVERIFY2(w->PageControl1->currentWidget() == page, qPrintable(Seed() + QStringLiteral(": the page changed")));
            QVERIFY2(TableCodes() == before && w->UndoStack->index() == steps,
                     qPrintable(Seed() + QStringLiteral(": input changed the maps during a transfer")));
        });

        for (int n = 0; n < actions; ++n) {
            if (Chance(40))
                inputAt = Pick(MapPoints);
            switch (Pick(40)) {
            case 0:
                w->WriteData->click();
                CheckVariator("the write");
                break;
            case 1:
                QTest::keyClick(w->ChartLPG, Qt::Key_W, Qt::ControlModifier | Qt::ShiftModifier);
                CheckVariator("\"Записать изменения\"");
                break;
            case 2:
                w->ReadData->click();
                CheckVariator("the read");
                break;
            case 3:
                w->N19->trigger();
                CheckVariator("the compare");
                break;
            case 4:
                w->N51->trigger();
                break;
            case 5:
            case 6:
            case 7:
            case 8:
                // A pause: a live write due now runs to its end.
                QTRY_VERIFY_WITH_TIMEOUT(!liveTimer->isActive() && !TransferRunning(), 30000);
                CheckVariator("a live write");
                break;
            default:
                Input();
                break;
            }
            if (QTest::currentTestFailed())
                return;
            QVERIFY2(w->Label2->text() == ConnectedCaption, qPrintable(Seed()));
        }
        // Whatever is still to be written goes out, and matches the screen.
        QTRY_VERIFY_WITH_TIMEOUT(!liveTimer->isActive() && !TransferRunning(), 30000);
        w->N50->trigger();
        CheckVariator("the last \"Записать изменения\"");
        QCOMPARE(SimCodes(), TableCodes());
        qInfo("%d transfers, input during %d of them", transfers, dropped);
    }
};

QTEST_MAIN(TestRandomInput)
#include "tst_randominput.moc"
