#include "editors/widgets/StringGrid.h"

#include <QFocusEvent>
#include <algorithm>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QStyledItemDelegate>

// The selection model through which every change of the grid's current cell
// passes: it asks the grid's OnSelectCell before the change.
class TStringGridSelection : public QItemSelectionModel {
public:
    TStringGridSelection(TStringGrid* grid, QAbstractItemModel* model)
        : QItemSelectionModel(model, grid)
        , grid(grid)
    {
    }

    void setCurrentIndex(const QModelIndex& index, QItemSelectionModel::SelectionFlags command) override
    {
        if (index.isValid() && index != currentIndex() && !grid->silent) {
            if (grid->dragging)
                return;
            if (index != grid->approved && !grid->AskSelect(index))
                return;
        }
        // A move that selects anew (no Shift) starts the run there.
        if (command != QItemSelectionModel::NoUpdate)
            grid->anchor = index;
        QItemSelectionModel::setCurrentIndex(index, command);
    }

private:
    TStringGrid* grid;
};

// Cell editor: reports every key pressed in it as the grid's key-down event
// before the editor and the view handle it, and lets the grid read the text
// as typed so far.
class TStringGridDelegate : public QStyledItemDelegate {
public:
    explicit TStringGridDelegate(TStringGrid* grid)
        : QStyledItemDelegate(grid)
        , grid(grid)
    {
    }

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override
    {
        QWidget* w = QStyledItemDelegate::createEditor(parent, option, index);
        if (auto* edit = qobject_cast<QLineEdit*>(w)) {
            grid->editor = edit;
            grid->editorIndex = index;
        }
        return w;
    }

    void destroyEditor(QWidget* w, const QModelIndex& index) const override
    {
        if (grid->editor == w) {
            grid->editor = nullptr;
            grid->editorIndex = QPersistentModelIndex();
        }
        QStyledItemDelegate::destroyEditor(w, index);
    }

protected:
    bool eventFilter(QObject* object, QEvent* event) override
    {
        if (event->type() == QEvent::KeyPress && object == grid->editor) {
            grid->editorKey = event;
            if (grid->OnKeyDown) {
                const QPointer<QObject> alive(object);
                const bool goOn = grid->OnKeyDown(static_cast<QKeyEvent*>(event)->key());
                // The handler may have closed the editor; a key it stopped
                // goes no further.
                if (!alive || !goOn) {
                    grid->editorKey = nullptr;
                    return true;
                }
            }
        }
        // The editor stays open while the window is inactive, behind a message
        // box or another program: its text stays as typed and it has the
        // focus again when the window comes back.
        if (event->type() == QEvent::FocusOut && object == grid->editor
            && static_cast<QFocusEvent*>(event)->reason() == Qt::ActiveWindowFocusReason)
            return false;
        return QStyledItemDelegate::eventFilter(object, event);
    }

private:
    TStringGrid* grid;
};

TStringGrid::TStringGrid(QWidget* parent)
    : QTableWidget(11, 9, parent)
{
    horizontalHeader()->hide();
    verticalHeader()->hide();
    horizontalHeader()->setMinimumSectionSize(1);
    verticalHeader()->setMinimumSectionSize(1);
    horizontalHeader()->setDefaultSectionSize(ColumnWidth);
    verticalHeader()->setDefaultSectionSize(RowHeight);
    horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    setShowGrid(true);
    setSelectionMode(QAbstractItemView::ContiguousSelection);
    setSelectionBehavior(QAbstractItemView::SelectItems);
    setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed
                    | QAbstractItemView::AnyKeyPressed);
    setTabKeyNavigation(false);
    setWordWrap(false);

    QItemSelectionModel* old = selectionModel();
    setSelectionModel(new TStringGridSelection(this, model()));
    delete old;
    setItemDelegate(new TStringGridDelegate(this));

    for (int r = 0; r < rowCount(); ++r)
        for (int c = 0; c < columnCount(); ++c) {
            auto* it = new QTableWidgetItem;
            setItem(r, c, it);
            UpdateCellLook(it);
        }
    SetCurrentSilently(0, 0);
}

void TStringGrid::UpdateCellLook(QTableWidgetItem* it)
{
    if (IsFixed(it->column(), it->row())) {
        it->setFlags(Qt::ItemIsEnabled);
        it->setBackground(palette().button());
        it->setForeground(palette().buttonText());
    } else {
        it->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable);
        it->setData(Qt::BackgroundRole, QVariant());
        it->setData(Qt::ForegroundRole, QVariant());
    }
}

void TStringGrid::SetFixedRows(int rows)
{
    if (rows == fixedRows)
        return;
    fixedRows = rows;
    for (int r = 0; r < rowCount(); ++r)
        for (int c = 0; c < columnCount(); ++c)
            UpdateCellLook(item(r, c));
    SetCurrentSilently(fixedCols, fixedRows);
}

void TStringGrid::SetFixedCols(int cols)
{
    if (cols == fixedCols)
        return;
    fixedCols = cols;
    for (int r = 0; r < rowCount(); ++r)
        for (int c = 0; c < columnCount(); ++c)
            UpdateCellLook(item(r, c));
    SetCurrentSilently(fixedCols, fixedRows);
}

void TStringGrid::SetCurrentSilently(int col, int row)
{
    silent = true;
    setCurrentCell(row, col, QItemSelectionModel::ClearAndSelect);
    silent = false;
}

const QColor TStringGrid::MarkColour(255, 236, 160);
const QColor TStringGrid::UnknownColour(205, 218, 240);

void TStringGrid::SetCellMarked(int col, int row, bool marked)
{
    if (CellMarked(col, row) != marked)
        SetCellBackground(col, row, marked ? MarkColour : QColor());
}

void TStringGrid::SetCellUnknown(int col, int row, bool unknown)
{
    if (CellUnknown(col, row) != unknown)
        SetCellBackground(col, row, unknown ? UnknownColour : QColor());
}

bool TStringGrid::CellUnknown(int col, int row) const
{
    return CellBackground(col, row) == UnknownColour;
}

// An invalid colour takes the background away.
void TStringGrid::SetCellBackground(int col, int row, const QColor& colour)
{
    QTableWidgetItem* it = item(row, col);
    if (!it || IsFixed(col, row) || CellBackground(col, row) == colour)
        return;
    // The view refreshes an editor open on a changed cell from the cell's
    // text: what was typed stays.
    QLineEdit* open = editor && editorIndex.isValid() && editorIndex.row() == row && editorIndex.column() == col
                        ? editor.data()
                        : nullptr;
    const QString typed = open ? open->text() : QString();
    const int cursor = open ? open->cursorPosition() : 0;
    if (colour.isValid())
        it->setBackground(colour);
    else
        it->setData(Qt::BackgroundRole, QVariant());
    if (open && open->text() != typed) {
        open->setText(typed);
        open->setCursorPosition(cursor);
    }
}

bool TStringGrid::CellMarked(int col, int row) const
{
    return CellBackground(col, row) == MarkColour;
}

QColor TStringGrid::CellBackground(int col, int row) const
{
    const QTableWidgetItem* it = item(row, col);
    if (!it || IsFixed(col, row))
        return QColor();
    const QVariant background = it->data(Qt::BackgroundRole);
    return background.isValid() ? background.value<QBrush>().color() : QColor();
}

QList<QPoint> TStringGrid::SelectedCells() const
{
    QList<QPoint> cells;
    for (const QModelIndex& index : selectionModel()->selectedIndexes())
        if (!IsFixed(index.column(), index.row()))
            cells.append(QPoint(index.column(), index.row()));
    std::sort(cells.begin(), cells.end(),
              [](const QPoint& a, const QPoint& b) { return a.x() != b.x() ? a.x() < b.x() : a.y() < b.y(); });
    if (cells.isEmpty() && currentIndex().isValid() && !IsFixed(currentColumn(), currentRow()))
        cells.append(QPoint(currentColumn(), currentRow()));
    return cells;
}

void TStringGrid::SelectRun(int anchorCol, int anchorRow, int col, int row)
{
    const int rows = rowCount() - fixedRows;
    if (rows <= 0 || columnCount() <= fixedCols)
        return;
    auto clamp = [this](int v, int low, int high) { return std::min(std::max(v, low), high); };
    anchorCol = clamp(anchorCol, fixedCols, columnCount() - 1);
    col = clamp(col, fixedCols, columnCount() - 1);
    anchorRow = clamp(anchorRow, fixedRows, rowCount() - 1);
    row = clamp(row, fixedRows, rowCount() - 1);
    anchor = model()->index(anchorRow, anchorCol);
    // Positions in column order.
    int from = (anchorCol - fixedCols) * rows + (anchorRow - fixedRows);
    int to = (col - fixedCols) * rows + (row - fixedRows);
    if (from > to)
        std::swap(from, to);
    QItemSelection selection;
    for (int c = from / rows; c <= to / rows; ++c) {
        const int top = c == from / rows ? from % rows : 0;
        const int bottom = c == to / rows ? to % rows : rows - 1;
        selection.select(model()->index(top + fixedRows, c + fixedCols), model()->index(bottom + fixedRows, c + fixedCols));
    }
    selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
}

void TStringGrid::setSelection(const QRect&, QItemSelectionModel::SelectionFlags)
{
    // The view asks for the rectangle between the anchor and the pointer or
    // the current cell; the run between them is selected instead.
    const QModelIndex end = dragging && dragEnd.isValid() ? QModelIndex(dragEnd) : currentIndex();
    if (!end.isValid())
        return;
    const QModelIndex start = anchor.isValid() ? QModelIndex(anchor) : end;
    SelectRun(start.column(), start.row(), end.column(), end.row());
}

void TStringGrid::selectAll()
{
    SelectRun(fixedCols, fixedRows, columnCount() - 1, rowCount() - 1);
}

QLineEdit* TStringGrid::Editor() const
{
    return editor;
}

QString TStringGrid::Cell(int col, int row) const
{
    if (editor && editorIndex.isValid() && editorIndex.row() == row && editorIndex.column() == col)
        return editor->text();
    const QTableWidgetItem* it = item(row, col);
    return it ? it->text() : QString();
}

void TStringGrid::SetCell(int col, int row, const QString& text)
{
    QTableWidgetItem* it = item(row, col);
    if (!it) {
        it = new QTableWidgetItem;
        setItem(row, col, it);
        UpdateCellLook(it);
    }
    it->setText(text);
    // The view refreshes an open editor from a changed cell; make sure of it.
    if (editor && editorIndex.isValid() && editorIndex.row() == row && editorIndex.column() == col
        && editor->text() != text)
        editor->setText(text);
}

bool TStringGrid::AskSelect(const QModelIndex& index)
{
    bool canSelect = true;
    if (OnSelectCell)
        OnSelectCell(index.column(), index.row(), canSelect);
    return canSelect;
}

QModelIndex TStringGrid::moveCursor(CursorAction cursorAction, Qt::KeyboardModifiers modifiers)
{
    // Tab leaves the grid instead of moving between cells.
    if (cursorAction == MoveNext || cursorAction == MovePrevious)
        return QModelIndex();
    // Shift+Down at the foot of a column goes on at the head of the next one,
    // Shift+Up at the head back to the foot of the one before.
    const QModelIndex current = currentIndex();
    if ((modifiers & Qt::ShiftModifier) && current.isValid()) {
        if (cursorAction == MoveDown && current.row() == rowCount() - 1 && current.column() + 1 < columnCount())
            return model()->index(fixedRows, current.column() + 1);
        if (cursorAction == MoveUp && current.row() == fixedRows && current.column() - 1 >= fixedCols)
            return model()->index(rowCount() - 1, current.column() - 1);
    }
    const QModelIndex target = QTableWidget::moveCursor(cursorAction, modifiers);
    if (!target.isValid())
        return target;
    // The fixed row and column cannot become current.
    const int row = std::max(target.row(), fixedRows);
    const int col = std::max(target.column(), fixedCols);
    return model()->index(row, col);
}

void TStringGrid::keyPressEvent(QKeyEvent* event)
{
    // A key that the open editor passed on to the grid has already been
    // reported by the editor.
    const bool fromEditor = event == editorKey && state() == EditingState;
    editorKey = nullptr;
    if (!fromEditor && OnKeyDown) {
        const QPointer<TStringGrid> alive(this);
        const bool goOn = OnKeyDown(event->key());
        if (!alive)
            return;
        if (!goOn) {
            event->accept();
            return;
        }
    }
    QTableWidget::keyPressEvent(event);
}

void TStringGrid::mousePressEvent(QMouseEvent* event)
{
    const QModelIndex index = indexAt(event->position().toPoint());
    if (index.isValid() && IsFixed(index.column(), index.row())) {
        setFocus(Qt::MouseFocusReason);
        return;
    }
    if (index.isValid() && index != currentIndex()) {
        const QPointer<TStringGrid> alive(this);
        const bool move = AskSelect(index);
        if (!alive)
            return;
        if (!move) {
            setFocus(Qt::MouseFocusReason);
            return;
        }
        approved = index;
    }
    if (index.isValid() && !(event->modifiers() & Qt::ShiftModifier))
        anchor = index;
    else if (!anchor.isValid())
        anchor = currentIndex();
    QTableWidget::mousePressEvent(event);
    approved = QPersistentModelIndex();
}

void TStringGrid::mouseMoveEvent(QMouseEvent* event)
{
    const QModelIndex under = indexAt(event->position().toPoint());
    if (under.isValid())
        dragEnd = under;
    dragging = true;
    QTableWidget::mouseMoveEvent(event);
    // Also back on the cell the drag began at, where the view asks nothing.
    if ((event->buttons() & Qt::LeftButton) && state() != EditingState && under.isValid() && anchor.isValid())
        SelectRun(anchor.column(), anchor.row(), under.column(), under.row());
    dragging = false;
    dragEnd = QPersistentModelIndex();
}

void TStringGrid::mouseDoubleClickEvent(QMouseEvent* event)
{
    const QModelIndex index = indexAt(event->position().toPoint());
    if (index.isValid() && index != currentIndex())
        return;
    QTableWidget::mouseDoubleClickEvent(event);
}
