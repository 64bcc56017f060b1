// Each map beside its reference: which commands move the reference, the grey
// dashed line on the chart, the marked cells of the table, and the menu item
// that shows and hides both.

#include "EditorFixture.h"
#include "common/SampleMaps.h"
#include "app/core/MapCompare.h"
#include "mapfile/core/MapFile.h"
#include "editors/ui/MapViews.h"
#include "editors/ui/ReferenceView.h"
#include "editors/widgets/StringGrid.h"
#include "app/ui/TarvoApplication.h"

#include <QAction>
#include <QCheckBox>
#include <QChart>
#include <QFileDialog>
#include <QLineSeries>
#include <QPushButton>
#include <QScatterSeries>
#include <QTemporaryDir>
#include <QUndoStack>
#include <limits>

namespace {

MapTable Curve(double base)
{
    return SampleTable([base](int i) { return base + i / 10.0; });
}

} // namespace

class TestReference : public QObject {
    Q_OBJECT

    EditorFixture f;
    QTemporaryDir dir;
    QString chosen;  // empty: the file dialog is cancelled

    // The points of the reference line drawn on a chart, run by run.
    static QList<QList<QPointF>> Line(TChart* chart)
    {
        QList<QList<QPointF>> runs;
        for (QLineSeries* s : chart->ReferenceLines())
            if (s->count() > 0)
                runs << s->points();
        return runs;
    }
    // The one run of a reference line through every point of `values`.
    static QList<QList<QPointF>> FullLine(const MapTable& values)
    {
        QList<QPointF> run;
        for (int i = 0; i < MapPoints; ++i)
            run << QPointF(100.0 * i, values.Uoz[i]);
        return {run};
    }
    // Indices of the marked cells of a grid, as map points.
    static QList<int> Marked(TStringGrid* grid)
    {
        QList<int> points;
        for (int i = 0; i < MapPoints; ++i)
            if (grid->CellMarked(i / 10 + 1, i % 10 + 1))
                points << i;
        return points;
    }
    void Save()
    {
        chosen = dir.filePath(QStringLiteral("maps.xml"));
        f.w->N3->trigger();
        QCOMPARE(f.errors, QStringList());
    }
    static void Key(Qt::Key key) { WindowTestBase::KeyToFocus(key); }
    static void Type(TStringGrid* grid, int col, int row, const QString& text)
    {
        grid->setFocus();
        grid->setCurrentCell(row, col);
        WindowTestBase::TypeToFocus(text);
        QCOMPARE(grid->Cell(col, row), text);
    }
    static void Commit(TStringGrid* grid, int col, int row, const QString& text)
    {
        Type(grid, col, row, text);
        Key(Qt::Key_Return);
    }

private slots:
    void initTestCase() { QVERIFY(dir.isValid()); }
    void init()
    {
        chosen.clear();
        f.Open();
        SetFileDialogHook([this](QFileDialog*, QString& fileName) {
            fileName = chosen;
            return !chosen.isEmpty();
        });
    }
    void cleanup()
    {
        SetFileDialogHook({});
        f.Close();
    }

    // None at start and after the template; the maps as saved, as opened;
    // a cancelled, refused or failed file command leaves it where it was.
    void referenceAfterSaveOpenAndTemplate()
    {
        TForm2* w = f.w;
        f.ShowPage(w->TabSheetUOZGrid);
        QVERIFY(!LPGReference.exists && !PetrolReference.exists);
        QVERIFY(Line(w->ChartLPG).isEmpty() && Line(w->ChartPetrol).isEmpty());
        w->Button1->click();
        QVERIFY(!LPGReference.exists && !PetrolReference.exists);
        QVERIFY(Line(w->ChartLPG).isEmpty());
        QCOMPARE(Marked(w->StringGridLPG), QList<int>());

        LPGTable = Curve(10.0);
        PetrolTable = Curve(-6.0);
        Save();
        QVERIFY(LPGReference.exists && PetrolReference.exists);
        QCOMPARE(Line(w->ChartLPG), FullLine(Curve(10.0)));
        QCOMPARE(Line(w->ChartPetrol), FullLine(Curve(-6.0)));
        QCOMPARE(Marked(w->StringGridLPG), QList<int>());
        QCOMPARE(Marked(w->StringGridPetrol), QList<int>());

        // The template changes the maps, not the reference.
        w->Button1->click();
        QCOMPARE(Line(w->ChartLPG), FullLine(Curve(10.0)));
        QCOMPARE(Marked(w->StringGridLPG).size(), MapPoints);
        QCOMPARE(Marked(w->StringGridPetrol).size(), MapPoints);

        // Cancelled, refused and failed file commands.
        chosen.clear();
        w->N2->trigger();
        w->N3->trigger();
        const QString notXml = dir.filePath(QStringLiteral("not.xml"));
        QFile bad(notXml);
        QVERIFY(bad.open(QIODevice::WriteOnly) && bad.write("no map") > 0);
        bad.close();
        chosen = notXml;
        w->N2->trigger();
        chosen = dir.path();  // a folder cannot be saved into
        w->N3->trigger();
        QCOMPARE(f.errors.size(), 2);
        f.errors.clear();
        QCOMPARE(LPGReference.Uoz[79], Curve(10.0).Uoz[79]);
        QCOMPARE(Line(w->ChartPetrol), FullLine(Curve(-6.0)));

        // Opening makes the file's maps the reference.
        const QString file = dir.filePath(QStringLiteral("other.xml"));
        SaveMapFile(file, Curve(11.0), Curve(1.0), QStringLiteral("0"));
        chosen = file;
        w->N2->trigger();
        QCOMPARE(f.errors, QStringList());
        QCOMPARE(Line(w->ChartLPG), FullLine(Curve(11.0)));
        QCOMPARE(Line(w->ChartPetrol), FullLine(Curve(1.0)));
        QCOMPARE(Marked(w->StringGridLPG), QList<int>());

        // Undo takes the opened maps back, not the reference.
        w->UndoStack->undo();
        QCOMPARE(LPGTable.Uoz[0], 9.0);
        QCOMPARE(Line(w->ChartLPG), FullLine(Curve(11.0)));
        QCOMPARE(Marked(w->StringGridLPG).size(), MapPoints);
    }

    // A committed cell is marked at once; a chart edit shows in the marks at
    // the next reload; undo and redo take the marks with the values.
    void marksFollowEditsAndUndo()
    {
        TForm2* w = f.w;
        LPGTable = Curve(5.0);
        PetrolTable = Curve(5.0);
        Save();
        f.ShowPage(w->TabSheetUOZGrid);
        TStringGrid* grid = w->StringGridLPG;

        // Point 12 is column 2, row 3.
        Commit(grid, 2, 3, QStringLiteral("20"));
        QCOMPARE(Marked(grid), QList<int>{12});
        QCOMPARE(grid->Cell(2, 3), QStringLiteral("20"));  // texts stay as typed
        // Typed back to the reference's value: unmarked.
        Commit(grid, 2, 3, QStringLiteral("6.2"));
        QCOMPARE(Marked(grid), QList<int>());
        // Text not yet committed marks nothing.
        Type(grid, 3, 5, QStringLiteral("1"));
        QCOMPARE(Marked(grid), QList<int>());
        Key(Qt::Key_Escape);

        // Single-point Up on the chart at point 40.
        f.ShowPage(w->TabSheetLPGmap);
        w->LPGFulMapMoveCheckBox->setChecked(false);
        SelectedLPGPoint = 40;
        QTest::mouseMove(w->ChartLPG, QPoint(w->ChartLPG->width() / 2, w->ChartLPG->height() / 2));
        QCoreApplication::processEvents();
        QTest::keyClick(w->ChartLPG, Qt::Key_Up);
        QCOMPARE(LPGTable.Uoz[40], 9.5);
        f.ShowPage(w->TabSheetUOZGrid);
        QCOMPARE(Marked(grid), QList<int>{40});

        w->UndoStack->undo();
        QCOMPARE(Marked(grid), QList<int>());
        w->UndoStack->redo();
        QCOMPARE(Marked(grid), QList<int>{40});
        QCOMPARE(Marked(w->StringGridPetrol), QList<int>());
        // The line keeps the saved values whatever the edits.
        QCOMPARE(Line(w->ChartLPG), FullLine(Curve(5.0)));
        QCOMPARE(w->ChartLPG->MapSeries()->at(40).y(), 9.5);
    }

    // "Вид" / "Показывать исходную карту" takes the lines and the marks of
    // both maps away and brings them back, changing nothing else.
    void menuTogglesLinesAndMarks()
    {
        TForm2* w = f.w;
        LPGTable = Curve(1.0);
        PetrolTable = Curve(2.0);
        Save();
        LPGTable.Uoz[0] = 4.0;
        PetrolTable.Uoz[79] = 4.0;
        RefreshAllViews(w);
        QCOMPARE(Marked(w->StringGridLPG), QList<int>{0});
        QCOMPARE(Marked(w->StringGridPetrol), QList<int>{79});
        const int steps = w->UndoStack->count();

        w->N18->trigger();
        QVERIFY(!w->N18->isChecked());
        QVERIFY(Line(w->ChartLPG).isEmpty() && Line(w->ChartPetrol).isEmpty());
        QCOMPARE(Marked(w->StringGridLPG), QList<int>());
        QCOMPARE(Marked(w->StringGridPetrol), QList<int>());
        // Reloads and edits while hidden draw nothing either.
        f.ShowPage(w->TabSheetPetrolGrid);
        Commit(w->StringGridPetrol, 1, 1, QStringLiteral("9"));
        QVERIFY(Line(w->ChartPetrol).isEmpty());
        QCOMPARE(Marked(w->StringGridPetrol), QList<int>());

        w->N18->trigger();
        QVERIFY(w->N18->isChecked());
        QCOMPARE(Line(w->ChartLPG), FullLine(Curve(1.0)));
        QCOMPARE(Line(w->ChartPetrol), FullLine(Curve(2.0)));
        QCOMPARE(Marked(w->StringGridLPG), QList<int>{0});
        QCOMPARE(Marked(w->StringGridPetrol), QList<int>({0, 79}));
        QCOMPARE(w->UndoStack->count(), steps + 1);  // the committed cell alone
        QCOMPARE(LPGTable.Uoz[0], 4.0);
    }

    // Grey, dashed, no markers, on the map's axes, behind the map series and
    // its coloured points; a point without a reference value leaves a gap.
    void lineIsGreyDashedBehindTheMap()
    {
        TForm2* w = f.w;
        TChart* chart = w->ChartLPG;
        LPGTable = SampleTable([](int) { return 10.0; });
        for (int i = 0; i < MapPoints; ++i)
            LPGReference.Uoz[i] = i >= 30 && i <= 32 ? std::numeric_limits<double>::quiet_NaN() : 20.0;
        LPGReference.exists = true;
        RefreshChart(w, QStringLiteral("LPG"));
        QTest::mouseMove(chart, QPoint(chart->width() / 2, chart->height() / 2));
        QCoreApplication::processEvents();
        w->LPGFulMapMoveCheckBox->setChecked(false);
        SelectedLPGPoint = 59;
        QTest::keyClick(chart, Qt::Key_Right);  // point 60 red, 59 blue

        QList<QList<QPointF>> runs = Line(chart);
        QCOMPARE(runs.size(), 2);
        QCOMPARE(runs[0].size(), 30);
        QCOMPARE(runs[1].size(), 47);
        QCOMPARE(runs[1].first(), QPointF(3300, 20.0));
        // A third run needs a new line, made while the red point has its own
        // series.
        LPGReference.Uoz[50] = std::numeric_limits<double>::quiet_NaN();
        ShowChartReference(w, w->LPGViews);
        runs = Line(chart);
        QCOMPARE(runs.size(), 3);
        QCOMPARE(runs[2].first(), QPointF(5100, 20.0));
        for (QLineSeries* line : chart->ReferenceLines()) {
            QCOMPARE(line->pen().color(), QColor(128, 128, 128));
            QCOMPARE(line->pen().style(), Qt::DashLine);
            QVERIFY(!line->pointsVisible());
            QCOMPARE(line->attachedAxes().size(), 2);
        }
        // Drawn first: every reference line comes before the map series and
        // the series of its coloured points.
        const QList<QAbstractSeries*> order = chart->chart()->series();
        const int map = order.indexOf(chart->MapSeries());
        for (QLineSeries* line : chart->ReferenceLines())
            QVERIFY(order.indexOf(line) < map);
        QVERIFY(order.size() > map + 1);
        for (int k = map + 1; k < order.size(); ++k)
            QVERIFY(qobject_cast<QScatterSeries*>(order[k]));
        // Added again, the red point is still drawn where it belongs, and
        // only there.
        QCoreApplication::processEvents();
        const QImage image = chart->grab().toImage();
        for (int i : {59, 60, 61}) {
            const QColor drawn = image.pixelColor(chart->PointPosition(i).toPoint());
            QCOMPARE(drawn.red() > 200 && drawn.green() < 80 && drawn.blue() < 80, i == 60);
        }
        QCOMPARE(chart->PointColor(59), QColor(0, 0, 255));
    }

};

int main(int argc, char** argv)
{
    TarvoApplication app(argc, argv);
    TestReference test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_reference.moc"
