#pragma once

#include <QColor>
#include <QPersistentModelIndex>
#include <QPointer>
#include <QTableWidget>
#include <functional>

class QLineEdit;

// The string grid of a map table page: a table of texts whose first row and
// column can be fixed (shown as headers, not editable), with the two events the
// map table editor handles.
//
// Every change of the current cell, by mouse or keyboard, first goes through
// OnSelectCell, which can stop it. Dragging with the mouse extends the
// selection without moving the current cell.
//
// The selection is a run of data cells in column order, as text is selected
// across lines: from the cell where it began (the anchor: the cell clicked
// or moved to without Shift) down its column and on into the next ones, to
// the cell under the pointer (a drag) or the current cell (Shift with a click
// or an arrow key). Shift+Down at the foot of a column goes on at the head of
// the next one, Shift+Up at the head back to the foot of the one before.
// Ctrl+A selects every data cell.
class TStringGrid : public QTableWidget {
    Q_OBJECT
public:
    explicit TStringGrid(QWidget* parent = nullptr);

    // Fired before the current cell moves to (col, row), by mouse or keyboard;
    // the move happens only if canSelect is still true afterwards.
    std::function<void(int col, int row, bool& canSelect)> OnSelectCell;
    // Fired for every key pressed in the grid, also while the cell editor is
    // open (Qt key code). Returning false stops the key there: neither the
    // editor nor the grid handles it.
    std::function<bool(int key)> OnKeyDown;

    int FixedRows() const { return fixedRows; }
    int FixedCols() const { return fixedCols; }
    // A change of the fixed counts makes the first non-fixed cell current,
    // without OnSelectCell.
    void SetFixedRows(int rows);
    void SetFixedCols(int cols);

    // Text of a cell; while the cell editor is open on that cell, the text as
    // typed so far.
    QString Cell(int col, int row) const;
    // Sets the text of a cell; an editor open on it shows the new text.
    void SetCell(int col, int row, const QString& text);

    // Marks a cell with a light background, or takes the mark away; the text
    // stays as it is.
    void SetCellMarked(int col, int row, bool marked);
    bool CellMarked(int col, int row) const;
    static const QColor MarkColour;
    // The other mark: a cell whose reference value is unknown (the variator
    // did not give it). A cell has one mark at most.
    void SetCellUnknown(int col, int row, bool unknown);
    bool CellUnknown(int col, int row) const;
    static const QColor UnknownColour;

    // The selected data cells (x: column, y: row) in column order, or the
    // current cell alone when none is selected; empty when not even that is
    // a data cell.
    QList<QPoint> SelectedCells() const;
    // Selects the run of data cells from (anchorCol, anchorRow) to (col,
    // row) in column order; the anchor stays for Shift to extend from.
    void SelectRun(int anchorCol, int anchorRow, int col, int row);

    // The open cell editor, or null.
    QLineEdit* Editor() const;

    static constexpr int ColumnWidth = 64;
    static constexpr int RowHeight = 24;

protected:
    QModelIndex moveCursor(CursorAction cursorAction, Qt::KeyboardModifiers modifiers) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void setSelection(const QRect& rect, QItemSelectionModel::SelectionFlags command) override;

public slots:
    void selectAll() override;

private:
    void SetCellBackground(int col, int row, const QColor& colour);
    QColor CellBackground(int col, int row) const;
    friend class TStringGridSelection;
    friend class TStringGridDelegate;

    bool IsFixed(int col, int row) const { return col < fixedCols || row < fixedRows; }
    void UpdateCellLook(QTableWidgetItem* item);
    void SetCurrentSilently(int col, int row);
    // Runs OnSelectCell for a move to `index`; true when the move may go on.
    bool AskSelect(const QModelIndex& index);

    int fixedRows = 0;
    int fixedCols = 0;
    // Moves that need no OnSelectCell: our own, the one a mouse press has
    // already asked about, and those while dragging (which are dropped).
    bool silent = false;
    bool dragging = false;
    // Where the run of the selection begins, and the cell under the pointer
    // while the left button drags.
    QPersistentModelIndex anchor;
    QPersistentModelIndex dragEnd;
    QPersistentModelIndex approved;

    QPointer<QLineEdit> editor;
    QPersistentModelIndex editorIndex;
    // The last key event the editor reported, so that the grid does not
    // report it again when the editor passes it on.
    const QEvent* editorKey = nullptr;
};
