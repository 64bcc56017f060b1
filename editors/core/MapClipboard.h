#pragma once

#include <QList>
#include <QString>

struct MapTable;

// Maps as text on the clipboard, the way spreadsheets (LibreOffice Calc,
// Excel) exchange cells: one line per row, cells separated by tabs. Numbers
// go out with the regional decimal separator, as the views show them; pasted
// text may use it or ".", and tabs, semicolons or line breaks between
// numbers.

// The cells of the table page's data area from (col0, row0) to (col1, row1),
// both corners included: one line per grid row, tab-separated.
QString GridBlockText(const MapTable& map, int col0, int row0, int col1, int row1);

// One line "rpm<TAB>value" for each of the points.
QString SpeedValueText(const MapTable& map, const QList<int>& points);

// Where pasted text goes: the points and their values, rounded to whole
// thousandths, or the reason it cannot be pasted, naming the line and column
// of the text where it lies. Nothing is changed here.
struct PastePlan {
    QList<int> points;
    QList<double> values;
    QString error;  // empty when the text can be pasted
};

// Reads pasted text for one map. The text is taken as
// - exactly 80 numbers in one column or one row: the whole map in
//   engine-speed order;
// - two columns whose first holds engine speeds of the map (0..7900 in steps
//   of 100; on a table page not all 0): those points, by speed;
// - on a table page (tablePage), any other block: laid over the grid with its
//   top left corner at (col, row); one number while more than one point is
//   selected fills the selection.
// Every number must lie within -32..32.
PastePlan PlanPaste(const QString& text, bool tablePage, int col, int row, const QList<int>& selection);
