#include "EditorFixture.h"
#include "app/core/NumberText.h"
#include "editors/widgets/StringGrid.h"
#include "app/ui/TarvoApplication.h"

#include <QLineEdit>

class TestTableEditor : public QObject {
    Q_OBJECT

    EditorFixture f;
    TStringGrid* grid = nullptr;

    // The event loop runs after each key (the editor closes on Enter through it).
    void Key(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        WindowTestBase::KeyToFocus(key, modifiers);
    }
    void Type(const QString& text) { WindowTestBase::TypeToFocus(text); }
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

    void reloadLaysOutHeadersAndPoints()
    {
        for (int i = 0; i < MapPoints; ++i)
            LPGTable.Uoz[i] = i / 4.0 - 10;
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
        Key(Qt::Key_Up);
        Key(Qt::Key_Left);
        QCOMPARE(Current(), QPoint(1, 1));
        QCOMPARE(SelectedLPGCol, 0);
    }

    void enterBeforeAnySelectionCommitsFirstCell()
    {
        OpenLPGGrid();
        Type(QStringLiteral("12.5"));
        QVERIFY(grid->Editor());
        Key(Qt::Key_Return);
        QCOMPARE(LPGTable.Uoz[0], 12.5);
        QCOMPARE(SelectedLPGCol, 1);
        QCOMPARE(SelectedLPGRow, 1);
        QCOMPARE(Current(), QPoint(1, 1));
        QCOMPARE(grid->Cell(1, 1), QStringLiteral("12.5"));
        QVERIFY(f.errors.isEmpty());
        // Enter on the unchanged cell stores the same value again.
        LPGTable.Uoz[0] = 0;
        Key(Qt::Key_Return);
        QCOMPARE(LPGTable.Uoz[0], 12.5);
    }

    void moveCommitsCellBeingLeft()
    {
        OpenLPGGrid();
        Type(QStringLiteral("7"));
        Key(Qt::Key_Down);
        QCOMPARE(LPGTable.Uoz[0], 7.0);
        QCOMPARE(Current(), QPoint(1, 2));
        QCOMPARE(SelectedLPGRow, 2);
        // A mouse move commits too: column 2 (1000 rpm), row 2 (100 rpm) is point 11.
        Type(QStringLiteral("-4.25"));
        ClickCell(2, 2);
        QCOMPARE(LPGTable.Uoz[1], -4.25);
        QCOMPARE(Current(), QPoint(2, 2));
        Type(QStringLiteral("3"));
        Key(Qt::Key_Return);
        QCOMPARE(LPGTable.Uoz[11], 3.0);
        // The last cell, column 8, row 10, is point 79.
        ClickCell(8, 10);
        Type(QStringLiteral("1.5"));
        Key(Qt::Key_Return);
        QCOMPARE(LPGTable.Uoz[79], 1.5);
        QCOMPARE(PetrolTable.Uoz[79], 0.0);
        QVERIFY(f.errors.isEmpty());
    }

    void badTextStopsMoveUntilCorrected()
    {
        OpenLPGGrid();
        LPGTable.Uoz[0] = 6;
        Type(QStringLiteral("abc"));
        Key(Qt::Key_Down);
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
            Type(QStringLiteral("x"));
        Key(Qt::Key_Return);
        QCOMPARE(f.errors.size(), 3);
        QCOMPARE(LPGTable.Uoz[0], 6.0);
        // The editor stays open on the typed text.
        QVERIFY(grid->Editor());
        QCOMPARE(grid->Cell(1, 1), QStringLiteral("x"));
        // Corrected, the move goes through and commits.
        Key(Qt::Key_A, Qt::ControlModifier);
        Type(QStringLiteral("2"));
        QCOMPARE(grid->Cell(1, 1), QStringLiteral("2"));
        ClickCell(3, 3);
        QCOMPARE(f.errors.size(), 3);
        QCOMPARE(LPGTable.Uoz[0], 2.0);
        QCOMPARE(Current(), QPoint(3, 3));
    }

    void boundsIncludedOutsideReverts_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("stored");
        QTest::addColumn<double>("value");
        QTest::newRow("32") << "32" << true << 32.0;
        QTest::newRow("-32") << "-32" << true << -32.0;
        QTest::newRow("32.01") << "32.01" << false << 4.5;
        QTest::newRow("-32.5") << "-32.5" << false << 4.5;
        QTest::newRow("exponent") << "1e3" << false << 4.5;
    }
    void boundsIncludedOutsideReverts()
    {
        QFETCH(QString, text);
        QFETCH(bool, stored);
        QFETCH(double, value);
        LPGTable.Uoz[12] = 4.5;
        OpenLPGGrid();
        ClickCell(2, 3);  // point 12
        // Another cell with typed, uncommitted text: a revert reloads it too.
        Type(text);
        Key(Qt::Key_Return);
        QVERIFY(f.errors.isEmpty());
        if (stored) {
            QCOMPARE(LPGTable.Uoz[12], value);
            QCOMPARE(grid->Cell(2, 3), text);
        } else {
            QCOMPARE(LPGTable.Uoz[12], 4.5);
            QCOMPARE(grid->Cell(2, 3), QStringLiteral("4.5"));
        }
        // Also by a move.
        Type(text);
        Key(Qt::Key_Down);
        QCOMPARE(Current(), QPoint(2, 4));
        QCOMPARE(grid->Cell(2, 3), stored ? text : QStringLiteral("4.5"));
        QCOMPARE(LPGTable.Uoz[12], value);
    }

    void revertReplacesOtherTypedText()
    {
        OpenLPGGrid();
        Type(QStringLiteral("5"));
        Key(Qt::Key_Down);  // point 0 := 5
        Type(QStringLiteral("40"));
        Key(Qt::Key_Return);  // out of range: the whole grid reloads
        QCOMPARE(grid->Cell(1, 2), QStringLiteral("0"));
        QCOMPARE(grid->Cell(1, 1), QStringLiteral("5"));
        QCOMPARE(LPGTable.Uoz[1], 0.0);
    }

    void commaLocaleKeepsTypedTextUntilReload()
    {
        QLocale::setDefault(QLocale(QLocale::Russian));
        OpenLPGGrid();
        Type(QStringLiteral("5,50"));
        Key(Qt::Key_Return);
        QCOMPARE(LPGTable.Uoz[0], 5.5);
        QCOMPARE(grid->Cell(1, 1), QStringLiteral("5,50"));
        f.ShowPage(f.w->TabSheetUOZGrid);
        QCOMPARE(grid->Cell(1, 1), QStringLiteral("5,5"));
    }

    void uncommittedTextGivesWayAtPageChange()
    {
        LPGTable.Uoz[0] = 3;
        OpenLPGGrid();
        Type(QStringLiteral("9"));
        f.ShowPage(f.w->TabSheetLPGmap);
        QCOMPARE(LPGTable.Uoz[0], 3.0);
        f.ShowPage(f.w->TabSheetUOZGrid);
        QCOMPARE(grid->Cell(1, 1), QStringLiteral("3"));
        QVERIFY(f.errors.isEmpty());
    }

    void petrolGridWorksOnPetrolTable()
    {
        f.ShowPage(f.w->TabSheetPetrolGrid);
        grid = f.w->StringGridPetrol;
        grid->setFocus();
        Key(Qt::Key_Right);
        QCOMPARE(SelectedPetrolCol, 2);
        Type(QStringLiteral("-1.25"));
        Key(Qt::Key_Return);
        QCOMPARE(PetrolTable.Uoz[10], -1.25);
        QCOMPARE(LPGTable.Uoz[10], 0.0);
        QCOMPARE(SelectedLPGCol, 0);
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
