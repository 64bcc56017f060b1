#include "editors/ui/TableEditor.h"

#include "app/core/Advance.h"
#include "app/ui/Gui2.h"
#include "app/core/MapStore.h"
#include "editors/ui/MapViews.h"
#include "app/core/NumberText.h"
#include "editors/ui/ReferenceView.h"
#include "editors/widgets/StringGrid.h"
#include "app/ui/Undo.h"

int SelectedLPGCol = 0;
int SelectedLPGRow = 0;
int SelectedPetrolCol = 0;
int SelectedPetrolRow = 0;

namespace {

void SelectCell(TForm2* window, const MapViews& m, int col, int row)
{
    // Stores the cell being left; a conversion error ends the handler here
    // and so stops the move.
    CommitGridCell(window, m);
    *m.col = col;
    *m.row = row;
}

void GridKeyDown(TForm2* window, const MapViews& m, int key)
{
    if (key == Qt::Key_Return || key == Qt::Key_Enter)
        CommitGridCell(window, m);
}

}  // namespace

void RefreshGrid(TForm2* window, const QString& selector)
{
    if (const MapViews* m = ViewsOf(window, selector))
        RefreshGrid(window, *m);
}

void RefreshGrid(TForm2* window, const MapViews& m)
{
    m.grid->SetFixedRows(1);
    m.grid->SetFixedCols(1);
    for (int r = 1; r <= GridRows; ++r)
        m.grid->SetCell(0, r, QString::number((r - 1) * RpmStep));
    for (int c = 1; c <= GridCols; ++c)
        m.grid->SetCell(c, 0, QString::number((c - 1) * GridRows * RpmStep));
    for (int i = 0; i < MapPoints; ++i)
        m.grid->SetCell(PointCol(i), PointRow(i), FloatToStr(m.table->Uoz[i]));
    ShowGridMarks(window, m);
}

void CommitGridCell(TForm2* window, const QString& selector)
{
    if (const MapViews* m = ViewsOf(window, selector))
        CommitGridCell(window, *m);
}

void CommitGridCell(TForm2* window, const MapViews& m)
{
    if (*m.col < 1)
        *m.col = 1;
    if (*m.row < 1)
        *m.row = 1;
    const double value = StrToFloat(m.grid->Cell(*m.col, *m.row));
    // NaN counts as outside.
    const bool inRange = AdvanceInBounds(value);
    const bool inGrid = *m.col <= GridCols && *m.row <= GridRows;
    if (inRange && inGrid) {
        m.table->Uoz[CellPoint(*m.col, *m.row)] = value;
        ShowGridMarks(window, m);
    } else
        RefreshGrid(window, m);
}

void TForm2::StringGridLPGSelectCell(int col, int row, bool&)
{
    const MapStep step(this, QStringLiteral("Таблица УОЗ для газа"));
    SelectCell(this, LPGViews, col, row);
}

void TForm2::StringGridPetrolSelectCell(int col, int row, bool&)
{
    const MapStep step(this, QStringLiteral("Таблица УОЗ для бензина"));
    SelectCell(this, PetrolViews, col, row);
}

// Enter commits and the selection stays; the grid's own handling of every key
// follows.
void TForm2::StringGridLPGKeyDown(int key)
{
    const MapStep step(this, QStringLiteral("Таблица УОЗ для газа"));
    GridKeyDown(this, LPGViews, key);
}

void TForm2::StringGridPetrolKeyDown(int key)
{
    const MapStep step(this, QStringLiteral("Таблица УОЗ для бензина"));
    GridKeyDown(this, PetrolViews, key);
}
