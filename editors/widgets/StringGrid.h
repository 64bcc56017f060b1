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

    // The selected block of non-fixed cells (x: columns, y: rows), or the
    // current cell alone when no block is selected; null when not even that
    // is a non-fixed cell.
    QRect SelectedBlock() const;

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
    QPersistentModelIndex approved;

    QPointer<QLineEdit> editor;
    QPersistentModelIndex editorIndex;
    // The last key event the editor reported, so that the grid does not
    // report it again when the editor passes it on.
    const QEvent* editorKey = nullptr;
};
