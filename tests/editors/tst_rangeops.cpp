// The range operations and the clipboard text on a map table, without
// widgets: results rounded to thousandths, all or nothing at the bounds,
// interpolation ends, smoothing from the values before, pasted text read or
// refused with its line and column.

#include "common/CoreTestBase.h"

#include "common/SampleMaps.h"

#include "app/core/NumberText.h"
#include "editors/core/Calculations.h"
#include "editors/core/MapClipboard.h"
#include "editors/core/PointText.h"
#include "editors/core/RangeOps.h"

#include <QMap>
#include <QTest>
#include <cmath>
#include <cstring>
#include <limits>

using Values = QMap<int, double>;
Q_DECLARE_METATYPE(RangeOp)

static QList<int> Run(int first, int last)
{
    QList<int> points;
    for (int i = first; i <= last; ++i)
        points << i;
    return points;
}

class TestRangeOps : public QObject {
    Q_OBJECT

private slots:
    void init() { ResetCoreGlobals(); }
    void cleanup() { ResetCoreGlobals(); }

    void operations_data()
    {
        QTest::addColumn<RangeOp>("op");
        QTest::addColumn<QList<int>>("points");
        QTest::addColumn<double>("argument");
        QTest::addColumn<Values>("start");     // points other than 0.0
        QTest::addColumn<Values>("expected");  // points that change
        QTest::addColumn<int>("refused");      // first point out of bounds, or -1
        using O = RangeOp;
        QTest::newRow("set 32") << O::Set << Run(3, 5) << 32.0 << Values{} << Values{{3, 32}, {4, 32}, {5, 32}} << -1;
        QTest::newRow("set 32.001") << O::Set << Run(3, 5) << 32.001 << Values{} << Values{} << 3;
        QTest::newRow("add: first out of bounds") << O::Add << Run(10, 20) << 0.6 << Values{{15, 31.5}, {18, -31.9}, {19, 31.8}} << Values{} << 15;
        QTest::newRow("add to no number") << O::Add << Run(0, 1) << 1.0 << Values{{1, std::nan("")}} << Values{} << 1;
        QTest::newRow("rounding") << O::Add << Run(0, 2) << 0.0004 << Values{{0, 1.0001}, {1, -1.0009}, {2, 4e-7}}
                                  << Values{{0, 1.001}, {1, -1.001}, {2, 0.0}} << -1;
        QTest::newRow("a half thousandth as typed") << O::Set << Run(0, 0) << 4.0005 << Values{} << Values{{0, 4.001}} << -1;
        QTest::newRow("rounded to zero: no sign") << O::Add << Run(0, 0) << 0.0 << Values{{0, -0.0001}} << Values{{0, 0.0}} << -1;
        QTest::newRow("multiply") << O::Multiply << Run(7, 8) << 110.0 << Values{{7, 10}, {8, 1.2345}} << Values{{7, 11}, {8, 1.358}} << -1;
        QTest::newRow("interpolate: ends stay") << O::Interpolate << Run(10, 14) << 0.0 << Values{{10, 5.00001}, {11, 9}, {12, -3}, {14, 7.00001}}
                                                << Values{{11, 5.5}, {12, 6.0}, {13, 6.5}} << -1;
        QTest::newRow("interpolate a block") << O::Interpolate << QList<int>{12, 13, 22, 23} << 0.0 << Values{{12, 1}, {23, 12}}
                                             << Values{{13, 2}, {22, 11}} << -1;
        QTest::newRow("smooth from old values") << O::Smooth << Run(20, 24) << 0.0 << Values{{19, 8}, {21, 4}, {23, 4}, {25, 8}}
                                                << Values{{21, 2}, {22, 2}, {23, 2}} << -1;
        QTest::newRow("two points") << O::Interpolate << Run(30, 31) << 0.0 << Values{{30, 1}, {31, 9}} << Values{} << -1;
    }

    void operations()
    {
        QFETCH(RangeOp, op);
        QFETCH(Values, start);
        QFETCH(Values, expected);
        QFETCH(QList<int>, points);
        QFETCH(double, argument);
        QFETCH(int, refused);
        for (auto it = start.cbegin(); it != start.cend(); ++it)
            LPGTable.Uoz[it.key()] = it.value();
        const MapTable before = LPGTable;
        QCOMPARE(ApplyRangeOp(LPGTable, points, op, argument), refused);
        for (int i = 0; i < MapPoints; ++i) {
            if (expected.contains(i))
                QVERIFY(std::memcmp(&LPGTable.Uoz[i], &expected[i], sizeof(double)) == 0);
            else  // bit for bit, NaN included
                QVERIFY(std::memcmp(&LPGTable.Uoz[i], &before.Uoz[i], sizeof(double)) == 0);
        }
    }

    // The chart's step guards take the whole-degree part of the extreme
    // value, starting from 0 and skipping what is no number; the down guard
    // sees the same map negated.
    void shiftGuards_data()
    {
        QTest::addColumn<double>("fill");     // every point but 40
        QTest::addColumn<double>("extreme");  // point 40
        QTest::addColumn<double>("step");
        QTest::addColumn<bool>("allowed");
        const double inf = std::numeric_limits<double>::infinity(), nan = std::nan("");
        QTest::newRow("31.9 by 0.5") << 0.25 << 31.9 << 0.5 << true;
        QTest::newRow("31.4 by 0.5") << 0.25 << 31.4 << 0.5 << true;
        QTest::newRow("32 by 0.01") << 0.25 << 32.0 << 0.01 << false;
        QTest::newRow("32.4 by 0.01") << 0.25 << 32.4 << 0.01 << false;
        QTest::newRow("31.99 by 0.99") << 0.25 << 31.99 << 0.99 << true;
        QTest::newRow("31 by 1") << 0.25 << 31.0 << 1.0 << false;
        QTest::newRow("below one") << 0.25 << 0.99 << 0.5 << true;
        QTest::newRow("huge") << 0.25 << 1e300 << 0.5 << false;
        QTest::newRow("infinite") << 0.25 << inf << 0.5 << false;
        QTest::newRow("all below one, by 31.9") << -20.0 << -20.0 << 31.9 << true;
        QTest::newRow("all below one, by 32") << -20.0 << -20.0 << 32.0 << false;
        QTest::newRow("no numbers") << nan << nan << 0.5 << true;
    }
    void shiftGuards()
    {
        QFETCH(double, fill);
        QFETCH(double, extreme);
        QFETCH(double, step);
        QFETCH(bool, allowed);
        auto at = [&](int i) { return i == 40 ? extreme : fill; };
        QCOMPARE(CanShiftUp(SampleTable(at), step), allowed);
        QCOMPARE(CanShiftDown(SampleTable([&](int i) { return -at(i); }), step), allowed);
    }

    // The other map, rounded; a value out of bounds in it refuses the copy.
    void copyMapAndMessage()
    {
        PetrolTable.Uoz[5] = 3.14159;
        QCOMPARE(CopyMapValues(LPGTable, PetrolTable), -1);
        QCOMPARE(LPGTable.Uoz[5], 3.142);
        PetrolTable.Uoz[12] = -32.5;
        QCOMPARE(CopyMapValues(LPGTable, PetrolTable), 12);
        QCOMPARE(LPGTable.Uoz[12], 0.0);
        QCOMPARE(OutOfRangeMessage(QStringLiteral("газ"), 12), QStringLiteral("Значение вне допустимого диапазона: газ, 1200 об/мин"));
    }

    void paste_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("tablePage");
        QTest::addColumn<QPoint>("cell");
        QTest::addColumn<QList<int>>("selection");
        QTest::addColumn<Values>("expected");
        QTest::addColumn<QString>("error");
        Values whole;
        QStringList column, row;
        for (int i = 0; i < MapPoints; ++i) {
            whole[i] = i / 4.0;
            column << QString::number(i / 4.0);
            row << QString::number(i / 4.0).replace(QLatin1Char('.'), QLatin1Char(','));
        }
        const QPoint c11(1, 1);
        const QString none, refused = QStringLiteral("Вставка отменена: ");
        QTest::newRow("80 in a column, CR LF, '.'") << column.join("\r\n") + "\r\n" << true << QPoint(5, 5) << QList<int>{} << whole << none;
        QTest::newRow("80 in a row, ';', ','") << row.join(';') << false << QPoint() << QList<int>{} << whole << none;
        QTest::newRow("speeds, ',' and '.'") << "1200\t5,5\n1300\t6.25\n" << false << QPoint() << QList<int>{} << Values{{12, 5.5}, {13, 6.25}} << none;
        QTest::newRow("zeros and values: a block") << "0\t5\n0\t6" << true << QPoint(7, 1) << QList<int>{} << Values{{60, 0}, {70, 5}, {61, 0}, {71, 6}} << none;
        QTest::newRow("a block in the last corner") << "1\t2\n3\t4\n" << true << QPoint(7, 9) << QList<int>{} << Values{{68, 1}, {78, 2}, {69, 3}, {79, 4}} << none;
        QTest::newRow("one number fills") << "7.0005" << true << QPoint(2, 2) << QList<int>{11, 12, 21} << Values{{11, 7.001}, {12, 7.001}, {21, 7.001}} << none;
        QTest::newRow("one bad cell") << "1\t2\n3\tabc\n" << true << c11 << QList<int>{} << Values{} << refused + "не число «abc», строка 2, столбец 2";
        QTest::newRow("out of bounds") << "1\n32.01" << true << c11 << QList<int>{} << Values{} << refused + "значение вне допустимого диапазона, строка 2, столбец 1";
        QTest::newRow("does not fit") << "1\t2\n3\t4" << true << QPoint(8, 9) << QList<int>{} << Values{} << refused + "не помещается в таблицу, строка 1, столбец 2";
        QTest::newRow("ragged") << "1\t2\n3" << true << c11 << QList<int>{} << Values{} << refused + "строки разной длины, строка 2, столбец 2";
        QTest::newRow("a speed twice") << "100\t1\n100\t2" << false << QPoint() << QList<int>{} << Values{} << refused + "скорость повторяется, строка 2, столбец 1";
        QTest::newRow("a block on a chart") << "1\n2\n3" << false << QPoint() << QList<int>{} << Values{}
                                            << refused + "нужны 80 чисел или два столбца: об/мин и УОЗ, строка 1, столбец 2";
    }

    void paste()
    {
        QFETCH(QString, text);
        QFETCH(bool, tablePage);
        QFETCH(QPoint, cell);
        QFETCH(QList<int>, selection);
        QFETCH(Values, expected);
        QFETCH(QString, error);
        QLocale::setDefault(QLocale(QLocale::Russian));
        const PastePlan plan = PlanPaste(text, tablePage, cell.x(), cell.y(), selection);
        QCOMPARE(plan.error, error);
        Values got;
        for (int k = 0; k < plan.points.size(); ++k)
            got[plan.points[k]] = plan.values[k];
        QCOMPARE(got, expected);
    }

    // Copied text shows the numbers as the views do, under a comma locale
    // too, and pastes back as the same values.
    void copiedTextPastesBack()
    {
        QLocale::setDefault(QLocale(QLocale::Russian));
        LPGTable.Uoz[12] = 1.25, LPGTable.Uoz[22] = -3.5, LPGTable.Uoz[79] = 0.001;
        const QString block = GridBlockText(LPGTable, 2, 3, 3, 4);
        QCOMPARE(block, QStringLiteral("1,25\t-3,5\n0\t0\n"));
        QCOMPARE(PlanPaste(block, true, 6, 1, {}).values, (QList<double>{1.25, -3.5, 0, 0}));
        QCOMPARE(SpeedValueText(LPGTable, {12, 79}), QStringLiteral("1200\t1,25\n7900\t0,001\n"));
    }

    // What a chart says of a point (last < 0) or of a run, under both number
    // styles, with the three Russian forms of "точка".
    void readouts_data()
    {
        QTest::addColumn<bool>("russian");
        QTest::addColumn<int>("first");
        QTest::addColumn<int>("last");
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("expected");
        QTest::newRow("point, C") << false << 15 << -1 << 12.5 << "1500 об/мин: 12.5°";
        QTest::newRow("point, ru_RU") << true << 15 << -1 << 12.5 << "1500 об/мин: 12,5°";
        QTest::newRow("residue of fine steps dropped") << true << 79 << -1 << -3.25 + 1e-15 << "7900 об/мин: -3,25°";
        // As the table's cell reads: the value held, not what the wire sends.
        QTest::newRow("beyond thousandths") << true << 12 << -1 << 12.3456 << "1200 об/мин: 12,3456°";
        QTest::newRow("near zero") << true << 0 << -1 << -3.5e-18 << "0 об/мин: -3,5E-18°";
        QTest::newRow("run given backwards") << true << 35 << 15 << 0.0 << "1500–3500 об/мин, 21 точка";
        for (const auto& [n, word] : {std::pair<int, const char*>{2, "точки"}, {4, "точки"}, {5, "точек"}, {11, "точек"},
                                     {12, "точек"}, {14, "точек"}, {22, "точки"}, {80, "точек"},
                                     {101, "точка"}, {111, "точек"}})
            QTest::addRow("%d points", n) << true << 0 << n - 1 << 0.0
                                          << QStringLiteral("0–%1 об/мин, %2 ").arg((n - 1) * 100).arg(n) + word;
    }

    void readouts()
    {
        QFETCH(bool, russian);
        QFETCH(int, first);
        QFETCH(int, last);
        QFETCH(double, value);
        QFETCH(QString, expected);
        QLocale::setDefault(russian ? QLocale(QLocale::Russian, QLocale::Russia) : QLocale::c());
        QCOMPARE(last < 0 ? PointReadout(first, value) : RunReadout(first, last), expected);
    }
};

QTEST_GUILESS_MAIN(TestRangeOps)
#include "tst_rangeops.moc"
