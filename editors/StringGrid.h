#pragma once

#include <QTableWidget>
#include <functional>

// The string grid of a map table page: a table of texts whose first row and
// column can be fixed (shown as headers, not editable), with the two events the
// map table editor handles.
class TStringGrid : public QTableWidget {
    Q_OBJECT
public:
    explicit TStringGrid(QWidget* parent = nullptr);

    // Fired before the current cell moves to (col, row), by mouse or keyboard;
    // the move happens only if canSelect is still true afterwards.
    std::function<void(int col, int row, bool& canSelect)> OnSelectCell;
    // Fired for every key pressed in the grid, also while the cell editor is
    // open (Qt key code).
    std::function<void(int key)> OnKeyDown;

    int FixedRows() const { return fixedRows; }
    int FixedCols() const { return fixedCols; }
    void SetFixedRows(int rows);
    void SetFixedCols(int cols);

    // Text of a cell; while the cell editor is open on that cell, the text as
    // typed so far.
    QString Cell(int col, int row) const;
    void SetCell(int col, int row, const QString& text);

private:
    int fixedRows = 0;
    int fixedCols = 0;
};
