#include "StringGrid.h"

TStringGrid::TStringGrid(QWidget* parent)
    : QTableWidget(11, 9, parent)
{
}

void TStringGrid::SetFixedRows(int rows)
{
    fixedRows = rows;
}

void TStringGrid::SetFixedCols(int cols)
{
    fixedCols = cols;
}

QString TStringGrid::Cell(int col, int row) const
{
    const QTableWidgetItem* it = item(row, col);
    return it ? it->text() : QString();
}

void TStringGrid::SetCell(int col, int row, const QString& text)
{
    QTableWidgetItem* it = item(row, col);
    if (!it) {
        it = new QTableWidgetItem;
        setItem(row, col, it);
    }
    it->setText(text);
}
