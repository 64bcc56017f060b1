// The shaping commands of "Правка" in the window, through their shortcuts:
// each change is one undo step that puts both maps back bit for bit, reloads
// the changed map's views and keeps the references; a cancelled dialog, a
// refusal, the settings page and an open cell editor change nothing.

#include "EditorFixture.h"
#include "common/BothMaps.h"

#include "app/core/MapCompare.h"
#include "app/core/MapStore.h"
#include "app/core/NumberText.h"
#include "editors/ui/RangeCommands.h"
#include "editors/widgets/StringGrid.h"

#include <QAction>
#include <QCheckBox>
#include <QClipboard>
#include <QGuiApplication>
#include <QLineEdit>
#include <QLineSeries>
#include <QUndoStack>
#include <cmath>
#include <cstring>

class TestRangeCommands : public QObject {
    Q_OBJECT

    EditorFixture f;

private slots:
    void init() { f.Open(); }
    void cleanup()
    {
        f.Close();
        ClearMapReferences();
    }

    // "Копировать" and "Вставить" take the run as the page shows it: the
    // whole map of a chart as speed and value lines (the table's shape is the
    // table's alone), a block at the run's lowest speed, wherever the current
    // cell is.
    void copyAndPasteTakeTheRun()
    {
        FillMaps([](int i) { return i / 4.0; }, [](int i) { return -i / 8.0; });
        TForm2* w = f.w;
        f.ShowPage(w->TabSheetLPGmap);
        QVERIFY(w->LPGFulMapMoveCheckBox->isChecked());
        w->ChartLPG->setFocus();
        w->N31->trigger();
        const QStringList lines = QGuiApplication::clipboard()->text().split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), MapPoints);
        for (int i : {0, 41, 79})
            QCOMPARE(lines[i], QStringLiteral("%1\t%2").arg(i * RpmStep).arg(FloatToStr(i / 4.0)));

        TStringGrid* grid = w->StringGridLPG;
        f.ShowPage(w->TabSheetUOZGrid);
        auto cell = [grid](int col, int row) { return grid->visualRect(grid->model()->index(row, col)).center(); };
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, Qt::NoModifier, cell(2, 2));
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, Qt::ShiftModifier, cell(3, 5));
        grid->setFocus();
        QGuiApplication::clipboard()->setText(QStringLiteral("1\t2\n3\t4\n"));
        w->N32->trigger();
        for (int i = 0; i < MapPoints; ++i) {
            const double pasted = i == 11 ? 1 : i == 21 ? 2 : i == 12 ? 3 : i == 22 ? 4 : i / 4.0;
            QCOMPARE(LPGTable.Uoz[i], pasted);
        }
    }

    void commands_data()
    {
        QTest::addColumn<QString>("page");   // lpg-grid, lpg-chart(-all), petrol-grid, petrol-chart, settings, editor
        QTest::addColumn<QString>("keys");
        // The number answered (none: cancelled), the clipboard's text, or
        // for a map copy the value at 1100 rpm of the map copied from.
        QTest::addColumn<QString>("input");
        QTest::addColumn<QString>("message");
        QTest::addColumn<bool>("changes");
        QTest::newRow("set, table block") << "lpg-grid" << "Ctrl+E" << "5.5" << "" << true;
        QTest::newRow("add, chart run") << "petrol-chart" << "Ctrl+D" << "-1.5" << "" << true;
        QTest::newRow("multiply, whole map") << "lpg-chart-all" << "Ctrl+M" << "110" << "" << true;
        QTest::newRow("interpolate") << "petrol-grid" << "Ctrl+I" << "" << "" << true;
        QTest::newRow("smooth") << "lpg-chart" << "Ctrl+G" << "" << "" << true;
        QTest::newRow("paste a column") << "petrol-grid" << "Ctrl+V" << "1\n2.25\n3\n" << "" << true;
        QTest::newRow("copy petrol to LPG") << "lpg-grid" << "Ctrl+Shift+G" << "" << "" << true;
        QTest::newRow("copy refused") << "lpg-grid" << "Ctrl+Shift+G" << "40" << "Значение вне допустимого диапазона: бензин, 1100 об/мин" << false;
        QTest::newRow("cancelled") << "lpg-grid" << "Ctrl+E" << "" << "" << false;
        QTest::newRow("refused") << "lpg-grid" << "Ctrl+E" << "40" << "Значение вне допустимого диапазона: газ, 1100 об/мин" << false;
        QTest::newRow("paste refused") << "lpg-grid" << "Ctrl+V" << "1\nabc" << "Вставка отменена: не число «abc», строка 2, столбец 1" << false;
        QTest::newRow("settings page") << "settings" << "Ctrl+E" << "5" << "" << false;
        QTest::newRow("open cell editor") << "editor" << "Ctrl+E" << "5" << "" << false;
    }

    void commands()
    {
        QFETCH(QString, page);
        QFETCH(QString, keys);
        QFETCH(QString, input);
        QFETCH(QString, message);
        QFETCH(bool, changes);

        // Values with residue in both maps, and references beside them.
        FillMaps([](int i) { return std::sin(i) * 10 + 1e-9; }, [](int i) { return std::cos(i) * 10 - 3e-9; });
        SetMapReference(LPGReference, LPGTable);
        SetMapReference(PetrolReference, PetrolTable);
        const MapReference lpgReference = LPGReference;
        const bool petrol = page.startsWith(QLatin1String("petrol"));
        if (keys.startsWith(QLatin1String("Ctrl+Shift")) && !input.isEmpty())
            (petrol ? LPGTable : PetrolTable).Uoz[11] = input.toDouble();
        TForm2* w = f.w;
        QWidget* target = nullptr;
        if (page.contains(QLatin1String("chart"))) {
            TChart* chart = petrol ? w->ChartPetrol : w->ChartLPG;
            f.ShowPage(petrol ? w->TabSheetPetrolmap : w->TabSheetLPGmap);
            (petrol ? w->PetrolScaleCheckBox : w->LPGScaleCheckBox)->setChecked(true);  // negative values shown
            if (!page.endsWith(QLatin1String("all"))) {
                (petrol ? w->PetrolFulMapMoveCheckBox : w->LPGFulMapMoveCheckBox)->setChecked(false);
                QTest::mouseClick(chart->viewport(), Qt::LeftButton, Qt::NoModifier, chart->PointPosition(11).toPoint());
                QTest::mouseClick(chart->viewport(), Qt::LeftButton, Qt::ShiftModifier, chart->PointPosition(25).toPoint());
            }
            target = chart;
        } else if (page == QLatin1String("settings")) {
            f.ShowPage(w->TabSheetVariatorSettings);
            target = w->EEditVariatorStartTimeout;
        } else {
            TStringGrid* grid = petrol ? w->StringGridPetrol : w->StringGridLPG;
            f.ShowPage(petrol ? w->TabSheetPetrolGrid : w->TabSheetUOZGrid);
            auto cell = [grid](int col, int row) { return grid->visualRect(grid->model()->index(row, col)).center(); };
            QTest::mouseClick(grid->viewport(), Qt::LeftButton, Qt::NoModifier, cell(2, 2));
            QTest::mouseClick(grid->viewport(), Qt::LeftButton, Qt::ShiftModifier, cell(3, 5));
            target = grid;
            if (page == QLatin1String("editor")) {
                QTest::keyClicks(grid, QStringLiteral("7"));
                target = grid->Editor();
                QVERIFY(target);
            }
        }
        target->setFocus();
        QGuiApplication::clipboard()->setText(input);
        SetNumberHook([&](const QString&, const QString&, QString& text) {
            text = input;
            return !input.isEmpty();
        });
        const Maps before = Now();
        const int steps = w->UndoStack->count();
        QTest::keySequence(target, QKeySequence(keys));
        QCoreApplication::processEvents();

        QCOMPARE(f.messages, message.isEmpty() ? QStringList() : QStringList{message});
        QCOMPARE(w->UndoStack->count(), steps + (changes ? 1 : 0));
        QCOMPARE(!SameBits(Now(), before), changes);
        if (page == QLatin1String("settings"))  // every range command is off there
            for (QAction* a : {w->N31, w->N32, w->N34, w->N35, w->N36, w->N37, w->N38, w->N40, w->N41})
                QVERIFY(!a->isEnabled());
        QVERIFY(std::memcmp(&LPGReference, &lpgReference, sizeof lpgReference) == 0);
        // The changed map's views show it.
        if (page != QLatin1String("editor"))
            f.CheckViewsShow(petrol);
        if (!changes)
            return;
        const Maps after = Now();
        w->UndoStack->undo();
        QVERIFY(SameBits(Now(), before));
        w->UndoStack->redo();
        QVERIFY(SameBits(Now(), after));
    }
};

QTEST_MAIN(TestRangeCommands)
#include "tst_rangecommands.moc"
