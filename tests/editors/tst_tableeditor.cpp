#include "EditorFixture.h"
#include "common/SampleMaps.h"
#include "app/core/NumberText.h"
#include "editors/widgets/StringGrid.h"
#include "app/ui/TarvoApplication.h"

#include "editors/ui/RangeCommands.h"

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QLineEdit>
#include <QMap>

using Values = QMap<int, double>;

class TestTableEditor : public QObject {
    Q_OBJECT

    EditorFixture f;
    TStringGrid* grid = nullptr;

    void ClickCell(int col, int row) { WindowTestBase::ClickCell(grid, col, row); }
    QPoint Current() const { return WindowTestBase::CurrentCell(grid); }
    static QString BadText(const QString& text) { return WindowTestBase::BadNumber(text); }

    void OpenLPGGrid()
    {
        f.ShowPage(f.w->TabSheetUOZGrid);
        grid = f.w->StringGridLPG;
        grid->setFocus();
        QVERIFY(grid->hasFocus());
    }

private slots:
    void init() { f.Open(); }
    void cleanup() { f.Close(); grid = nullptr; }

    // The table selects runs of speeds, down a column and on into the next,
    // from the cell where the selection began, whichever way the pointer or
    // the Shift keys go; "Правка" takes the run, "Копировать" gives it as
    // speed and value lines, all 80 as the table's block.
    void selectionIsARunOfSpeeds_data()
    {
        // c2.6: click column 2, row 6 (1500 rpm); C: Shift+click; d2.6-3.2-4.6: a drag through those cells;
        // D U R L: Shift+Down, Up, Right, Left; a: Ctrl+A
        QTest::addColumn<QString>("input");
        QTest::addColumn<int>("first");
        QTest::addColumn<int>("last");
        QTest::newRow("Shift+click 1500 to 3500") << "c2.6 C4.6" << 15 << 35;
        QTest::newRow("drag down and right") << "d2.6-3.2-4.6" << 15 << 35;
        QTest::newRow("drag up and left") << "d4.6-3.9-2.6" << 15 << 35;
        QTest::newRow("drag back to where it began") << "d2.6-3.2-2.6" << 15 << 15;
        QTest::newRow("drag up in a column") << "d2.9-2.3" << 12 << 18;
        QTest::newRow("Shift+Down across the foot of a column") << "c2.10 D D" << 19 << 21;
        QTest::newRow("Shift+Up across the head of a column") << "c3.2 U U" << 19 << 21;
        QTest::newRow("Shift+Right takes a column on") << "c2.6 R" << 15 << 25;
        QTest::newRow("Shift+Left back a column") << "c4.6 L" << 25 << 35;
        QTest::newRow("Ctrl+A all 80") << "c3.3 a" << 0 << 79;
        QTest::newRow("a plain click starts anew") << "c2.6 C4.6 c5.1" << 40 << 40;
    }

    void selectionIsARunOfSpeeds()
    {
        QFETCH(QString, input);
        QFETCH(int, first);
        QFETCH(int, last);
        for (int i = 0; i < MapPoints; ++i)
            LPGTable.Uoz[i] = i / 4.0;
        OpenLPGGrid();
        auto cell = [this](const QString& text) {
            const QModelIndex index =
                grid->model()->index(text.section(QLatin1Char('.'), 1).toInt(), text.section(QLatin1Char('.'), 0, 0).toInt());
            return grid->visualRect(index).center();
        };
        for (const QString& step : input.split(QLatin1Char(' '))) {
            const QChar c = step[0];
            const QStringList cells = step.mid(1).split(QLatin1Char('-'));
            if (c == QLatin1Char('c') || c == QLatin1Char('C'))
                QTest::mouseClick(grid->viewport(), Qt::LeftButton,
                                  c == QLatin1Char('C') ? Qt::ShiftModifier : Qt::NoModifier, cell(cells[0]));
            else if (c == QLatin1Char('d')) {
                QTest::mousePress(grid->viewport(), Qt::LeftButton, Qt::NoModifier, cell(cells[0]));
                for (const QString& through : cells.mid(1))
                    QTest::mouseMove(grid->viewport(), cell(through));
                QTest::mouseRelease(grid->viewport(), Qt::LeftButton, Qt::NoModifier, cell(cells.back()));
            } else if (c == QLatin1Char('a'))
                QTest::keyClick(grid, Qt::Key_A, Qt::ControlModifier);
            else
                QTest::keyClick(grid,
                                c == QLatin1Char('D') ? Qt::Key_Down
                                    : c == QLatin1Char('U') ? Qt::Key_Up
                                    : c == QLatin1Char('R') ? Qt::Key_Right
                                                            : Qt::Key_Left,
                                Qt::ShiftModifier);
            QCoreApplication::processEvents();
        }
        RangeTarget t;
        QVERIFY(PageTarget(f.w, t));
        QList<int> run;
        for (int i = first; i <= last; ++i)
            run << i;
        QCOMPARE(t.points, run);
        f.w->N31->trigger();
        const QStringList lines = QGuiApplication::clipboard()->text().split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        if (run.size() == MapPoints) {
            QCOMPARE(lines.size(), GridRows);
            QCOMPARE(lines[1].split(QLatin1Char('\t')).size(), GridCols);
        } else {
            QCOMPARE(lines.size(), run.size());
            QCOMPARE(lines.front(), QStringLiteral("%1\t%2").arg(first * 100).arg(FloatToStr(first / 4.0)));
        }
    }

    void reloadLaysOutHeadersAndPoints()
    {
        LPGTable = SampleTable([](int i) { return i / 4.0 - 10; });
        OpenLPGGrid();
        QCOMPARE(grid->Cell(0, 0), QString());
        for (int c = 1; c <= 8; ++c)
            QCOMPARE(grid->Cell(c, 0), QString::number((c - 1) * 1000));
        for (int r = 1; r <= 10; ++r)
            QCOMPARE(grid->Cell(0, r), QString::number((r - 1) * 100));
        // Point i in column i / 10 + 1, row i mod 10 + 1.
        QCOMPARE(grid->Cell(1, 1), QStringLiteral("-10"));      // point 0
        QCOMPARE(grid->Cell(1, 10), QStringLiteral("-7.75"));   // point 9
        QCOMPARE(grid->Cell(2, 1), QStringLiteral("-7.5"));     // point 10
        QCOMPARE(grid->Cell(8, 10), QStringLiteral("9.75"));    // point 79
        // The fixed row and column cannot be edited or selected.
        QCOMPARE(grid->FixedRows(), 1);
        QCOMPARE(grid->FixedCols(), 1);
        QVERIFY(!(grid->item(0, 3)->flags() & Qt::ItemIsEditable));
        QVERIFY(!(grid->item(4, 0)->flags() & Qt::ItemIsEditable));
        QVERIFY(grid->item(4, 3)->flags() & Qt::ItemIsEditable);
        QCOMPARE(grid->columnWidth(5), 64);
        QCOMPARE(grid->rowHeight(5), 24);
        // The first reload makes column 1, row 1 current without a select-cell event.
        QCOMPARE(Current(), QPoint(1, 1));
        QCOMPARE(SelectedLPGCol, 0);
        QCOMPARE(SelectedLPGRow, 0);
        // Clicking a header or moving onto one does not move the current cell.
        ClickCell(0, 3);
        ClickCell(4, 0);
        f.KeyToFocus(Qt::Key_Up);
        f.KeyToFocus(Qt::Key_Left);
        QCOMPARE(Current(), QPoint(1, 1));
        QCOMPARE(SelectedLPGCol, 0);
    }

    void badTextStopsMoveUntilCorrected()
    {
        OpenLPGGrid();
        LPGTable.Uoz[0] = 6;
        f.TypeToFocus(QStringLiteral("abc"));
        f.KeyToFocus(Qt::Key_Down);
        QCOMPARE(f.errors, QStringList{BadText(QStringLiteral("abc"))});
        QCOMPARE(Current(), QPoint(1, 1));
        QCOMPARE(grid->Cell(1, 1), QStringLiteral("abc"));
        QCOMPARE(LPGTable.Uoz[0], 6.0);
        // Every further attempt to leave reports it again, by mouse too.
        ClickCell(3, 3);
        QCOMPARE(f.errors.size(), 2);
        QCOMPARE(f.errors.last(), BadText(QStringLiteral("abc")));
        QCOMPARE(Current(), QPoint(1, 1));
        QCOMPARE(SelectedLPGCol, 1);
        QCOMPARE(SelectedLPGRow, 1);
        // Enter reports it as well and stores nothing.
        if (!grid->Editor())
            f.TypeToFocus(QStringLiteral("x"));
        f.KeyToFocus(Qt::Key_Return);
        QCOMPARE(f.errors.size(), 3);
        QCOMPARE(LPGTable.Uoz[0], 6.0);
        // The editor stays open on the typed text.
        QVERIFY(grid->Editor());
        QCOMPARE(grid->Cell(1, 1), QStringLiteral("x"));
        // Corrected, the move goes through and commits.
        f.KeyToFocus(Qt::Key_A, Qt::ControlModifier);
        f.TypeToFocus(QStringLiteral("2"));
        QCOMPARE(grid->Cell(1, 1), QStringLiteral("2"));
        ClickCell(3, 3);
        QCOMPARE(f.errors.size(), 3);
        QCOMPARE(LPGTable.Uoz[0], 2.0);
        QCOMPARE(Current(), QPoint(3, 3));
    }

    // Typing, Enter, moves and page changes on a grid, as the user does them:
    // t<text> types, E is Enter, D Down, R Right, c<col>,<row> clicks a cell,
    // p goes to the chart page and back, s<point>=<value> sets a point of the
    // map behind the grid's back. Afterwards the map holds `values` (0
    // elsewhere), the other map and its selection are untouched, no error
    // was shown, and the cells show `texts` ("col,row=text").
    void scripts_data()
    {
        QTest::addColumn<bool>("petrol");
        QTest::addColumn<bool>("russian");
        QTest::addColumn<QString>("script");
        QTest::addColumn<Values>("values");
        QTest::addColumn<QPoint>("current");
        QTest::addColumn<QPoint>("selected");
        QTest::addColumn<QStringList>("texts");
        const QPoint c11(1, 1);
        QTest::newRow("Enter before any selection commits the first cell, unchanged too")
            << false << false << "t12.5 E s0=0 E" << Values{{0, 12.5}} << c11 << c11 << QStringList{"1,1=12.5"};
        QTest::newRow("a move commits the cell being left; column 2, row 2 is point 11; the last cell point 79")
            << false << false << "t7 D t-4.25 c2,2 t3 E c8,10 t1.5 E" << Values{{0, 7}, {1, -4.25}, {11, 3}, {79, 1.5}}
            << QPoint(8, 10) << QPoint(8, 10) << QStringList{"1,1=7", "1,2=-4.25", "2,2=3", "8,10=1.5"};
        QTest::newRow("a revert replaces other typed text")
            << false << false << "t5 D t40 E" << Values{{0, 5}} << QPoint(1, 2) << QPoint(1, 2) << QStringList{"1,1=5", "1,2=0"};
        QTest::newRow("uncommitted text gives way at a page change")
            << false << false << "s0=3 p t9 p" << Values{{0, 3}} << c11 << QPoint() << QStringList{"1,1=3"};
        QTest::newRow("the petrol grid works on the petrol map")
            << true << false << "R t-1.25 E" << Values{{10, -1.25}} << QPoint(2, 1) << QPoint(2, 1) << QStringList{"2,1=-1.25"};
        QTest::newRow("comma locale: the text as typed") << false << true << "t5,50 E" << Values{{0, 5.5}} << c11 << c11 << QStringList{"1,1=5,50"};
        QTest::newRow("comma locale: the text reloaded") << false << true << "t5,50 E p" << Values{{0, 5.5}} << c11 << c11 << QStringList{"1,1=5,5"};
        // Both bounds are in; a value out of them reverts the grid, by Enter
        // as by a move.
        for (const char* how : {"E", "D"}) {
            const QPoint at(2, *how == 'E' ? 3 : 4);
            for (const auto& [text, value] : {std::pair{"32", 32.0}, {"-32", -32.0}, {"-32.5", 4.5}, {"1e3", 4.5}})
                QTest::addRow("%s by %s", text, how) << false << false << QStringLiteral("s12=4.5 p c2,3 t%1 %2").arg(text, how)
                                                     << Values{{12, value}} << at << at
                                                     << QStringList{QStringLiteral("2,3=") + (value == 4.5 ? "4.5" : text)};
        }
    }
    void scripts()
    {
        QFETCH(bool, petrol);
        QFETCH(bool, russian);
        QFETCH(QString, script);
        QFETCH(Values, values);
        QFETCH(QPoint, current);
        QFETCH(QPoint, selected);
        QFETCH(QStringList, texts);
        if (russian)
            QLocale::setDefault(QLocale(QLocale::Russian));
        MapTable& map = petrol ? PetrolTable : LPGTable;
        QWidget* page = petrol ? f.w->TabSheetPetrolGrid : f.w->TabSheetUOZGrid;
        grid = petrol ? f.w->StringGridPetrol : f.w->StringGridLPG;
        f.ShowPage(page);
        grid->setFocus();
        for (const QString& step : script.split(QLatin1Char(' '))) {
            const QString arg = step.mid(1);
            switch (step[0].toLatin1()) {
            case 't': f.TypeToFocus(arg); break;
            case 'E': f.KeyToFocus(Qt::Key_Return); break;
            case 'D': f.KeyToFocus(Qt::Key_Down); break;
            case 'R': f.KeyToFocus(Qt::Key_Right); break;
            case 'c': ClickCell(arg.section(QLatin1Char(','), 0, 0).toInt(), arg.section(QLatin1Char(','), 1).toInt()); break;
            case 's': map.Uoz[arg.section(QLatin1Char('='), 0, 0).toInt()] = arg.section(QLatin1Char('='), 1).toDouble(); break;
            case 'p':
                f.ShowPage(f.w->TabSheetLPGmap);
                f.ShowPage(page);
                grid->setFocus();
                break;
            }
        }
        QCOMPARE(f.errors, QStringList());
        for (int i = 0; i < MapPoints; ++i) {
            QCOMPARE(map.Uoz[i], values.value(i, 0.0));
            QCOMPARE((petrol ? LPGTable : PetrolTable).Uoz[i], 0.0);
        }
        QCOMPARE(Current(), current);
        QCOMPARE(petrol ? QPoint(SelectedPetrolCol, SelectedPetrolRow) : QPoint(SelectedLPGCol, SelectedLPGRow), selected);
        QCOMPARE(petrol ? QPoint(SelectedLPGCol, SelectedLPGRow) : QPoint(SelectedPetrolCol, SelectedPetrolRow), QPoint());
        for (const QString& t : texts)
            QCOMPARE(grid->Cell(t.section(QLatin1Char(','), 0, 0).toInt(), t.section(QLatin1Char('='), 0, 0).section(QLatin1Char(','), 1).toInt()),
                     t.section(QLatin1Char('='), 1));
    }

    void unknownSelectorDoesNothing()
    {
        OpenLPGGrid();
        LPGTable.Uoz[0] = 1;
        RefreshGrid(f.w, QStringLiteral("lpg"));
        CommitGridCell(f.w, QStringLiteral("Gas"));
        QCOMPARE(grid->Cell(1, 1), QStringLiteral("0"));
        QCOMPARE(SelectedLPGCol, 0);
    }
};

int main(int argc, char** argv)
{
    TarvoApplication app(argc, argv);
    TestTableEditor test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_tableeditor.moc"
