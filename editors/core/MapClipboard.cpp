#include "editors/core/MapClipboard.h"

#include "app/core/MapStore.h"
#include "app/core/NumberText.h"
#include "editors/core/RangeOps.h"

#include <QRegularExpression>
#include <QStringList>
#include <QVector>
#include <cmath>

namespace {

QString Where(const QString& what, int line, int column)
{
    return QStringLiteral("Вставка отменена: %1, строка %2, столбец %3").arg(what).arg(line + 1).arg(column + 1);
}

// An engine speed of the map: a whole multiple of RpmStep within the map.
int SpeedPoint(double value)
{
    if (!(value >= 0.0 && value <= double((MapPoints - 1) * RpmStep)) || value != std::floor(value))
        return -1;
    const int rpm = int(value);
    return rpm % RpmStep == 0 ? rpm / RpmStep : -1;
}

}  // namespace

QString GridBlockText(const MapTable& map, int col0, int row0, int col1, int row1)
{
    QString text;
    for (int row = row0; row <= row1; ++row) {
        QStringList cells;
        for (int col = col0; col <= col1; ++col)
            cells << FloatToStr(map.Uoz[CellPoint(col, row)]);
        text += cells.join(QLatin1Char('\t')) + QLatin1Char('\n');
    }
    return text;
}

QString SpeedValueText(const MapTable& map, const QList<int>& points)
{
    QString text;
    for (int i : points)
        text += QString::number(i * RpmStep) + QLatin1Char('\t') + FloatToStr(map.Uoz[i]) + QLatin1Char('\n');
    return text;
}

PastePlan PlanPaste(const QString& text, bool tablePage, int col, int row, const QList<int>& selection)
{
    PastePlan plan;
    // Lines; the line break after the last one, as spreadsheets write it, ends
    // the text.
    QString all = text;
    all.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(QLatin1Char('\r'), QLatin1Char('\n'));
    QStringList lines = all.split(QLatin1Char('\n'));
    while (!lines.isEmpty() && lines.back().trimmed().isEmpty())
        lines.removeLast();
    if (lines.isEmpty()) {
        plan.error = QStringLiteral("Вставка отменена: в буфере обмена нет чисел");
        return plan;
    }

    static const QRegularExpression separator(QStringLiteral("[\t;]"));
    const QStringList decimal{DecimalSeparator(), QStringLiteral(".")};
    QVector<QVector<double>> cells;
    int widest = 0;
    for (int l = 0; l < lines.size(); ++l) {
        const QStringList fields = lines[l].split(separator);
        QVector<double> numbers;
        for (int c = 0; c < fields.size(); ++c) {
            double v = 0.0;
            if (!TextToFloat(fields[c], decimal, v)) {
                plan.error = Where(QStringLiteral("не число «%1»").arg(fields[c].trimmed()), l, c);
                return plan;
            }
            numbers.append(v);
        }
        widest = std::max(widest, int(numbers.size()));
        cells.append(numbers);
    }

    // Where each number goes: (line, column) of the text to a point.
    struct Cell {
        int line, column, point;
    };
    QList<Cell> targets;
    const int lineCount = cells.size();
    const bool oneColumn = widest == 1;
    bool twoColumns = true;
    bool speeds = true;
    bool anySpeed = false;
    for (const auto& numbers : cells) {
        twoColumns = twoColumns && numbers.size() == 2;
        speeds = speeds && numbers.size() == 2 && SpeedPoint(numbers[0]) >= 0;
        anySpeed = anySpeed || (!numbers.isEmpty() && numbers[0] != 0.0);
    }

    if ((lineCount == 1 && cells[0].size() == MapPoints) || (oneColumn && lineCount == MapPoints)) {
        for (int i = 0; i < MapPoints; ++i)
            targets.append(lineCount == 1 ? Cell{0, i, i} : Cell{i, 0, i});
    } else if (speeds && (anySpeed || !tablePage)) {
        QList<int> seen;
        for (int l = 0; l < lineCount; ++l) {
            const int point = SpeedPoint(cells[l][0]);
            if (seen.contains(point)) {
                plan.error = Where(QStringLiteral("скорость повторяется"), l, 0);
                return plan;
            }
            seen.append(point);
            targets.append(Cell{l, 1, point});
        }
    } else if (!tablePage) {
        // A chart takes the whole map or speeds with values.
        for (int l = 0; l < lineCount; ++l) {
            const int n = cells[l].size();
            if (n != 2) {
                plan.error = Where(QStringLiteral("нужны 80 чисел или два столбца: об/мин и УОЗ"), l, n < 2 ? n : 2);
                return plan;
            }
            if (SpeedPoint(cells[l][0]) < 0) {
                plan.error = Where(QStringLiteral("нет такой скорости"), l, 0);
                return plan;
            }
        }
    } else if (lineCount == 1 && cells[0].size() == 1 && selection.size() > 1) {
        for (int point : selection)
            targets.append(Cell{0, 0, point});
    } else {
        for (int l = 0; l < lineCount; ++l) {
            if (cells[l].size() != widest) {
                plan.error = Where(QStringLiteral("строки разной длины"), l, cells[l].size());
                return plan;
            }
            for (int c = 0; c < widest; ++c) {
                const int gridCol = col + c;
                const int gridRow = row + l;
                if (col < 1 || row < 1 || gridCol > GridCols || gridRow > GridRows) {
                    plan.error = Where(QStringLiteral("не помещается в таблицу"), l, c);
                    return plan;
                }
                targets.append(Cell{l, c, CellPoint(gridCol, gridRow)});
            }
        }
    }

    for (const Cell& t : targets) {
        const double v = RoundToThousandths(cells[t.line][t.column]);
        if (!AdvanceInBounds(v)) {
            plan.error = Where(QStringLiteral("значение вне допустимого диапазона"), t.line, t.column);
            plan.points.clear();
            plan.values.clear();
            return plan;
        }
        plan.points.append(t.point);
        plan.values.append(v);
    }
    return plan;
}
