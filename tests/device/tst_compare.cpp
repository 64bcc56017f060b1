// "Подключение" / "Сравнить с вариатором" over the simulator, the reference a
// read leaves, and the comparison's message.

#include "device/wire/Frame.h"
#include "common/ConnectedWindow.h"
#include "common/DialogAnswerer.h"
#include "app/core/MapCompare.h"
#include "editors/widgets/ChartWidget.h"
#include "editors/widgets/StringGrid.h"
#include "editors/ui/TableEditor.h"

#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QLineSeries>
#include <QScatterSeries>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QUndoStack>
#include <cmath>

namespace {


int LPGCode(int i) { return 4350 + 25 * i; }
int PetrolCode(int i) { return -3000 + 101 * i; }

} // namespace

class TestCompare : public QObject, public ConnectedWindow {
    Q_OBJECT

    QList<int> Marked(TStringGrid* grid, bool unknown = false)
    {
        QList<int> points;
        for (int i = 0; i < MapPoints; ++i)
            if (unknown ? grid->CellUnknown(i / 10 + 1, i % 10 + 1) : grid->CellMarked(i / 10 + 1, i % 10 + 1))
                points << i;
        return points;
    }
    QList<int> Unknown(TStringGrid* grid) { return Marked(grid, true); }
    int LinePoints(TChart* chart)
    {
        int n = 0;
        for (QLineSeries* s : chart->ReferenceLines())
            n += s->count();
        return n;
    }

private slots:
    void initTestCase() { InitRuntime(); }
    // The simulator and the map store hold both code curves.
    void init()
    {
        ConnectWindow(6);
        StoreMaps(*sim, LPGCode, PetrolCode);
        FillMaps([](int i) { return LPGCode(i) / 1000.0; }, [](int i) { return PetrolCode(i) / 1000.0; });
    }
    void cleanup() { CleanupWindow(); }

    // A read makes what it read the reference; a point whose exchange failed
    // has none and gets the mark of an unknown value, not that of a change.
    void readSetsTheReference()
    {
        sim->AddFault({SimFault::BadChecksum, 0, LPGFirstParameter + 3});
        LPGTable.Uoz[3] = 1.5;
        sim->SetValue(PetrolFirstParameter + 7, 1234);
        w->ReadData->click();
        QCOMPARE(messages.size(), 2);  // the exchange's, and the summary
        QVERIFY(LPGReference.exists && PetrolReference.exists);
        QVERIFY(std::isnan(LPGReference.Uoz[3]));
        QCOMPARE(LPGTable.Uoz[3], 1.5);  // kept, as a failed read keeps it
        QCOMPARE(LPGReference.Uoz[4], LPGCode(4) / 1000.0);
        QCOMPARE(PetrolReference.Uoz[7], 1.234);
        QCOMPARE(PetrolTable.Uoz[7], 1.234);
        QCOMPARE(Marked(w->StringGridLPG), QList<int>());
        QCOMPARE(Unknown(w->StringGridLPG), QList<int>{3});
        QCOMPARE(w->ChartLPG->UnknownRings()->count(), 1);
        QCOMPARE(w->ChartLPG->UnknownRings()->at(0), QPointF(300, 1.5));
        QCOMPARE(Marked(w->StringGridPetrol), QList<int>());
        QCOMPARE(w->ChartLPG->ReferenceLines().size(), 2);
        QCOMPARE(LinePoints(w->ChartLPG), MapPoints - 1);
        QCOMPARE(LinePoints(w->ChartPetrol), MapPoints);
    }

    // Equal maps: the one message, the read command's 160 map exchanges, and
    // neither the map store, the undo steps, the settings nor a typed cell
    // touched.
    void compareWhenEqual()
    {
        RefreshGrid(w, QStringLiteral("LPG"));
        w->StringGridLPG->SetCell(4, 4, QStringLiteral("typed"));
        w->EEditVariatorStartTimeout->setText(QStringLiteral("7"));
        const MapTable lpg = LPGTable;
        const MapTable petrol = PetrolTable;
        const int steps = w->UndoStack->count();

        w->N19->trigger();

        QCOMPARE(messages, QStringList{"Карты совпадают с вариатором"});
        QCOMPARE(errors, QStringList());
        const auto requests = sim->Requests();
        QCOMPARE(int(requests.size()), 160);
        for (int k = 0; k < 160; ++k) {
            QCOMPARE(int(requests[k].bytes[0]), 0x55);
            QCOMPARE(int(requests[k].bytes[1]), k < 80 ? LPGFirstParameter + k : PetrolFirstParameter + k - 80);
            QCOMPARE(DataField(requests[k].bytes), 100);
        }
        QVERIFY(SameTable(LPGTable, lpg));
        QVERIFY(SameTable(PetrolTable, petrol));
        QCOMPARE(w->UndoStack->count(), steps);
        QCOMPARE(w->EEditVariatorStartTimeout->text(), QStringLiteral("7"));
        QCOMPARE(w->StringGridLPG->Cell(4, 4), QStringLiteral("typed"));
        QVERIFY(!w->ProgressBar1->isVisibleTo(w));
        QCOMPARE(LinePoints(w->ChartLPG), MapPoints);
        QCOMPARE(Marked(w->StringGridLPG), QList<int>());
    }

    // One point changed in the map store, one in the variator: both named,
    // the variator's values become the reference, the store keeps its own.
    void compareAfterChangedPoints()
    {
        LPGTable.Uoz[12] += 0.5;
        sim->SetValue(PetrolFirstParameter + 0, 999);
        w->N19->trigger();
        QCOMPARE(messages, QStringList{"Отличаются точек: 2 (газ: 1200 об/мин; бензин: 0 об/мин)"});
        QCOMPARE(LPGTable.Uoz[12], LPGCode(12) / 1000.0 + 0.5);
        QCOMPARE(PetrolTable.Uoz[0], PetrolCode(0) / 1000.0);
        QCOMPARE(LPGReference.Uoz[12], LPGCode(12) / 1000.0);
        QCOMPARE(PetrolReference.Uoz[0], 0.999);
        RefreshGrid(w, QStringLiteral("LPG"));
        QCOMPARE(Marked(w->StringGridLPG), QList<int>{12});
        QCOMPARE(Marked(w->StringGridPetrol), QList<int>{0});
    }

    // An exchange that fails is reported as a read reports it, and its point
    // counts as differing.
    void compareWithAFailingPoint()
    {
        sim->AddFault({SimFault::ErrorReport, 5, PetrolFirstParameter + 5});
        const MapTable petrol = PetrolTable;
        w->N19->trigger();
        QCOMPARE(messages, QStringList({"UARTdataExchange: Вариатор отвечает параметром 0xFF с кодом ошибки 5",
                                        "Отличаются точек: 1 (бензин: 500 об/мин)",
                                        "Сравнение завершено с ошибками: 1. Прочитано точек: 159 из 160 (газ: 80 из "
                                        "80, бензин: 79 из 80). Непрочитанные точки считаются отличающимися."}));
        QCOMPARE(sim->RequestCount(), 160);
        QVERIFY(SameTable(PetrolTable, petrol));
        QVERIFY(std::isnan(PetrolReference.Uoz[5]));
        QCOMPARE(Unknown(w->StringGridPetrol), QList<int>{5});
        QCOMPARE(LinePoints(w->ChartPetrol), MapPoints - 1);
    }

    void compareWhenNotConnected()
    {
        w->N19->trigger();
        messages.clear();
        const double before = LPGReference.Uoz[0];
        sim->ClearRequests();
        w->N12Click();
        messages.clear();
        w->N19->trigger();
        QCOMPARE(messages, QStringList{DisconnectedMessage});
        QCOMPARE(sim->RequestCount(), 0);
        QCOMPARE(LPGReference.Uoz[0], before);
        QCOMPARE(w->Label2->text(), QStringLiteral("Не подключен"));
    }

    // With the real message box, answered from its own loop.
    void compareShowsARealBox()
    {
        SetMessageHook({});
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w));
        LPGTable.Uoz[0] = 0;
        DialogAnswerer dialogs;
        w->N19->trigger();
        QCOMPARE(dialogs.Texts(), QStringList{"Отличаются точек: 1 (газ: 0 об/мин)"});
        QCOMPARE(dialogs.boxes.first().caption, QStringLiteral("Message"));
    }
};

QTEST_MAIN(TestCompare)
#include "tst_compare.moc"
