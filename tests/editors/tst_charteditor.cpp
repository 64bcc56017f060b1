#include "editors/widgets/ChartWidget.h"
#include "EditorFixture.h"
#include "common/ShownNumber.h"
#include "common/SampleMaps.h"
#include "app/core/NumberText.h"
#include "editors/widgets/StringGrid.h"
#include "app/ui/TarvoApplication.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QUndoStack>
#include <QScreen>
#include <QLineSeries>
#include <QMap>
#include <QMouseEvent>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTabWidget>
#include <QValueAxis>
#include <cmath>

using Values = QMap<int, double>;

namespace {

const QColor Red(255, 0, 0);
const QColor Blue(0, 0, 255);

} // namespace

class TestChartEditor : public QObject {
    Q_OBJECT

    EditorFixture f;

    TChart* chart() const { return f.w->ChartLPG; }
    QLineSeries* series() const { return f.w->LineSeries1; }

    void PointerOverChart(TChart* c)
    {
        QTest::mouseMove(c, QPoint(c->width() / 2, c->height() / 2));
        QCoreApplication::processEvents();
    }
    void Press(TChart* c, Qt::Key key, int times = 1)
    {
        for (int k = 0; k < times; ++k)
            QTest::keyClick(c, key);
    }
    void SinglePoint(bool fine = false)
    {
        f.w->LPGFulMapMoveCheckBox->setChecked(false);
        f.w->LPGSpeedCheckBox->setChecked(!fine);
    }
    // The chart and the table agree on every point.
    void VerifyInStep(TChart* c, const MapTable& table)
    {
        QCOMPARE(c->MapSeries()->count(), MapPoints);
        for (int i = 0; i < MapPoints; ++i) {
            QCOMPARE(c->MapSeries()->at(i).x(), 100.0 * i);
            QCOMPARE(c->MapSeries()->at(i).y(), table.Uoz[i]);
        }
    }
    // Where the chart draws the value v at the speed of point i.
    QPoint ValuePosition(int i, double v) const
    {
        const QPointF inChart = chart()->chart()->mapToPosition(QPointF(100.0 * i, v), series());
        return chart()->mapFromScene(chart()->chart()->mapToScene(inChart));
    }
    int ColouredPoints(TChart* c) const
    {
        int n = 0;
        for (int i = 0; i < MapPoints; ++i)
            n += c->PointColor(i).isValid();
        return n;
    }

private slots:
    void init() { f.Open(); }
    void cleanup() { f.Close(); }

    void firstKeyOnUnloadedChartLoadsIt()
    {
        LPGTable.Uoz[3] = 2;
        QCOMPARE(series()->count(), 0);
        PointerOverChart(chart());
        QCOMPARE(MouseInLPGChart, 1);
        Press(chart(), Qt::Key_Up);
        QCOMPARE(LPGTable.Uoz[0], 0.5);
        QCOMPARE(LPGTable.Uoz[3], 2.5);
        VerifyInStep(chart(), LPGTable);
        QCOMPARE(PetrolTable.Uoz[0], 0.0);
    }

    // The whole map moves up (down) by the step and stops once a point would
    // pass 32 (-32); the fine step stops there too, and the other way is
    // still open. Left and Right do nothing in whole-map mode.
    void wholeMapLimit_data()
    {
        QTest::addColumn<double>("sign");
        QTest::newRow("up") << 1.0;
        QTest::newRow("down") << -1.0;
    }
    void wholeMapLimit()
    {
        QFETCH(double, sign);
        const Qt::Key toward = sign > 0 ? Qt::Key_Up : Qt::Key_Down;
        LPGTable.Uoz[7] = 31.9 * sign;
        RefreshChart(f.w, QStringLiteral("LPG"));
        PointerOverChart(chart());
        QSignalSpy replaced(series(), &QXYSeries::pointsReplaced);
        QSignalSpy onePoint(series(), &QXYSeries::pointReplaced);
        Press(chart(), toward);
        // One redraw for the whole map.
        QCOMPARE(replaced.size(), 1);
        QCOMPARE(onePoint.size(), 0);
        QCOMPARE(LPGTable.Uoz[7], 31.9 * sign + 0.5 * sign);
        QCOMPARE(LPGTable.Uoz[0], 0.5 * sign);
        VerifyInStep(chart(), LPGTable);
        Press(chart(), toward);
        QCOMPARE(LPGTable.Uoz[7], 31.9 * sign + 0.5 * sign);
        f.w->LPGSpeedCheckBox->setChecked(false);
        Press(chart(), toward);
        QCOMPARE(LPGTable.Uoz[0], 0.5 * sign);
        Press(chart(), sign > 0 ? Qt::Key_Down : Qt::Key_Up);
        QCOMPARE(LPGTable.Uoz[0], 0.5 * sign - 0.01 * sign);
        Press(chart(), Qt::Key_Right);
        QCOMPARE(SelectedLPGPoint, 0);
        QCOMPARE(ColouredPoints(chart()), 0);
        VerifyInStep(chart(), LPGTable);
    }

    void fineStepResidueShowsInExponentNotation()
    {
        RefreshChart(f.w, QStringLiteral("LPG"));
        PointerOverChart(chart());
        SinglePoint(true);
        Press(chart(), Qt::Key_Up, 3);
        QCOMPARE(LPGTable.Uoz[0], 0.01 + 0.01 + 0.01);
        Press(chart(), Qt::Key_Down, 3);
        QVERIFY(LPGTable.Uoz[0] != 0.0);
        QVERIFY(std::fabs(LPGTable.Uoz[0]) < 1e-15);
        VerifyInStep(chart(), LPGTable);
        f.ShowPage(f.w->TabSheetUOZGrid);
        const QString text = f.w->StringGridLPG->Cell(1, 1);
        QVERIFY2(text.contains(QLatin1Char('E')), qPrintable(text));
        // The text is the residue to fifteen significant digits.
        QVERIFY(ShowsValue(text, LPGTable.Uoz[0]));
        QVERIFY2(text.section(QLatin1Char('E'), 0, 0).remove(QLatin1Char('.')).remove(QLatin1Char('-')).size() <= 15,
                 qPrintable(text));
    }

    void leftRightSelectionAndColours()
    {
        RefreshChart(f.w, QStringLiteral("LPG"));
        PointerOverChart(chart());
        SinglePoint();
        Press(chart(), Qt::Key_Left);
        QCOMPARE(SelectedLPGPoint, 0);
        QCOMPARE(ColouredPoints(chart()), 0);
        Press(chart(), Qt::Key_Right);
        QCOMPARE(SelectedLPGPoint, 1);
        QCOMPARE(chart()->PointColor(0), Blue);
        QCOMPARE(chart()->PointColor(1), Red);
        SelectedLPGPoint = 78;
        Press(chart(), Qt::Key_Right);
        QCOMPARE(SelectedLPGPoint, 79);
        QCOMPARE(chart()->PointColor(79), Red);
        QCOMPARE(chart()->PointColor(78), Blue);
        QCOMPARE(chart()->PointColor(1), Red);  // the mark moved by hand above stays
        Press(chart(), Qt::Key_Right);
        QCOMPARE(SelectedLPGPoint, 79);
        Press(chart(), Qt::Key_Up);
        QCOMPARE(LPGTable.Uoz[79], 0.5);

        // A reload drops the colours and keeps the selection.
        f.ShowPage(f.w->TabSheetLPGmap);
        QCOMPARE(ColouredPoints(chart()), 0);
        QCOMPARE(SelectedLPGPoint, 79);
        PointerOverChart(chart());
        Press(chart(), Qt::Key_Up);
        QCOMPARE(LPGTable.Uoz[79], 1.0);
        QCOMPARE(ColouredPoints(chart()), 0);
        VerifyInStep(chart(), LPGTable);
    }

    void clickSelectsInSinglePointModeOnly()
    {
        LPGTable = SampleTable([](int i) { return i % 2 ? 12.0 : 8.0; });
        RefreshChart(f.w, QStringLiteral("LPG"));
        QCoreApplication::processEvents();
        auto click = [this](Qt::MouseButton button, int point, QPoint off = {}) {
            QTest::mouseClick(chart()->viewport(), button, Qt::NoModifier, chart()->PointPosition(point).toPoint() + off);
        };
        click(Qt::LeftButton, 20);
        QCOMPARE(SelectedLPGPoint, 0);
        QCOMPARE(ColouredPoints(chart()), 0);
        SinglePoint();
        click(Qt::LeftButton, 20);
        QCOMPARE(SelectedLPGPoint, 20);
        QCOMPARE(chart()->PointColor(20), Red);
        QCOMPARE(chart()->PointColor(0), Blue);
        QVERIFY(chart()->hasFocus());
        click(Qt::RightButton, 57);
        QCOMPARE(SelectedLPGPoint, 57);
        QCOMPARE(chart()->PointColor(57), Red);
        QCOMPARE(chart()->PointColor(20), Blue);
        // A click away from the points selects nothing.
        click(Qt::LeftButton, 30, QPoint(0, 40));
        QCOMPARE(SelectedLPGPoint, 57);
    }

    // A run of points in one-point mode: Shift with Left, Right or a click,
    // or a drag, extends it; the plain key or click makes one point of it
    // again. Every point of the run is red, also after a reload; Up and Down
    // move the run, or nothing when a point of it would reach 32 (-32).
    void runSelection_data()
    {
        // c/C: click/Shift+click, l r L R: Left Right (capital: Shift), u d: Up Down, p: reload, g: drag,
        // m11+2.2: marker 11 dragged 2.2 degrees up, M: the same ended by Escape, z: Ctrl+Z
        QTest::addColumn<QString>("input");
        QTest::addColumn<Values>("start");   // points other than 0
        QTest::addColumn<int>("first");
        QTest::addColumn<int>("last");
        QTest::addColumn<Values>("changed");  // points that hold another value at the end
        auto up = [](int first, int last) {
            Values v;
            for (int i = first; i <= last; ++i)
                v[i] = 0.5;
            return v;
        };
        QTest::newRow("Shift+Right twice, Up") << "c10 R R u" << Values{} << 10 << 12 << up(10, 12);
        QTest::newRow("Shift+click, plain Left collapses") << "c10 C14 l u" << Values{} << 13 << 13 << up(13, 13);
        QTest::newRow("Shift+Left at 0 stays") << "c0 L" << Values{} << 0 << 0 << Values{};
        QTest::newRow("a drag from right to left, Up") << "g25-15 u" << Values{} << 15 << 25 << up(15, 25);
        QTest::newRow("the run stays red after a reload") << "c10 R p u" << Values{} << 10 << 11 << up(10, 11);
        QTest::newRow("a point at the limit refuses the run") << "c10 C12 u" << Values{{12, 31.6}} << 10 << 12 << Values{};
        QTest::newRow("a marker of the run drags the run by whole steps") << "c10 C12 m11+2.2" << Values{} << 10 << 12
                                                                          << Values{{10, 2.0}, {11, 2.0}, {12, 2.0}};
        QTest::newRow("a marker outside the run drags its point alone, down")
            << "c10 C12 m20-1.2" << Values{} << 20 << 20 << Values{{20, -1.0}};
        QTest::newRow("a drag clamped below 32, all or nothing") << "c10 C12 m12+5" << Values{{11, 30.6}} << 10 << 12
                                                                 << Values{{10, 1.0}, {11, 31.6}, {12, 1.0}};
        QTest::newRow("Escape puts the dragged run back") << "c10 C12 M11+2.2" << Values{} << 10 << 12 << Values{};
        QTest::newRow("a drag is undone in one step") << "c10 C12 m11+1 m11+1 z" << Values{} << 10 << 12
                                                      << Values{{10, 1.0}, {11, 1.0}, {12, 1.0}};
        QTest::newRow("a click on a point of the run without a drag selects it alone")
            << "c10 C12 c11 u" << Values{} << 11 << 11 << up(11, 11);
        QTest::newRow("one point up to the limit, down to it, back")
            << "u r u r d u" << Values{{0, 31.5}, {1, 31.4}, {2, -31.5}} << 2 << 2 << Values{{1, 31.9}, {2, -31.0}};
    }

    void runSelection()
    {
        QFETCH(QString, input);
        QFETCH(Values, start);
        QFETCH(int, first);
        QFETCH(int, last);
        QFETCH(Values, changed);
        for (auto it = start.cbegin(); it != start.cend(); ++it)
            LPGTable.Uoz[it.key()] = it.value();
        f.ShowPage(f.w->TabSheetLPGmap);
        SinglePoint();
        QCoreApplication::processEvents();
        auto at = [&](int i) { return chart()->PointPosition(i).toPoint(); };
        for (const QString& step : input.split(QLatin1Char(' '))) {
            const QChar c = step[0];
            const int n = step.mid(1).section(QRegularExpression(QStringLiteral("[+-]")), 0, 0).toInt();
            if (c == QLatin1Char('c') || c == QLatin1Char('C'))
                QTest::mouseClick(chart()->viewport(), Qt::LeftButton,
                                  c == QLatin1Char('C') ? Qt::ShiftModifier : Qt::NoModifier, at(n));
            else if (c == QLatin1Char('g')) {
                const int to = step.section(QLatin1Char('-'), 1).toInt();
                // Above the line, a little beyond both end points.
                const QPoint out(n > to ? 3 : -3, -30);
                QTest::mousePress(chart()->viewport(), Qt::LeftButton, Qt::NoModifier, at(n) + out);
                QTest::mouseMove(chart()->viewport(), at(n) + out - QPoint(out.x() * 5, 0));
                QTest::mouseMove(chart()->viewport(), at(to) - QPoint(out.x(), -out.y()));
                QTest::mouseRelease(chart()->viewport(), Qt::LeftButton, Qt::NoModifier, at(to) - QPoint(out.x(), -out.y()));
            } else if (c == QLatin1Char('m') || c == QLatin1Char('M')) {
                const double by = step.mid(step.indexOf(QRegularExpression(QStringLiteral("[+-]")))).toDouble();
                const QPoint from = at(n);
                const QPoint to = ValuePosition(n, series()->at(n).y() + by);
                QTest::mousePress(chart()->viewport(), Qt::LeftButton, Qt::NoModifier, from);
                for (int k = 1; k <= 3; ++k)
                    QTest::mouseMove(chart()->viewport(), from + (to - from) * k / 3);
                if (c == QLatin1Char('M'))
                    QTest::keyClick(chart(), Qt::Key_Escape);
                QTest::mouseRelease(chart()->viewport(), Qt::LeftButton, Qt::NoModifier, to);
            } else if (c == QLatin1Char('z'))
                QTest::keyClick(chart(), Qt::Key_Z, Qt::ControlModifier);
            else if (c == QLatin1Char('p'))
                f.ShowPage(f.w->TabSheetLPGmap);
            else {
                PointerOverChart(chart());
                const Qt::Key key = c.toLower() == QLatin1Char('l') ? Qt::Key_Left
                    : c.toLower() == QLatin1Char('r')               ? Qt::Key_Right
                    : c == QLatin1Char('d')                         ? Qt::Key_Down
                                                                    : Qt::Key_Up;
                QTest::keyClick(chart(), key, c.isUpper() ? Qt::ShiftModifier : Qt::NoModifier);
            }
            QCoreApplication::processEvents();
        }
        QCOMPARE(ChartSelection(f.w->LPGViews).size(), last - first + 1);
        QCOMPARE(ChartSelection(f.w->LPGViews).front(), first);
        for (int i = 0; i < MapPoints; ++i) {
            const bool in = i >= first && i <= last;
            QCOMPARE(chart()->PointColor(i) == Red, in);
            QCOMPARE(LPGTable.Uoz[i], changed.value(i, start.value(i, 0.0)));
        }
        VerifyInStep(chart(), LPGTable);
    }

    // The readout names the point under the pointer, else the selection, as
    // its accessible name; in whole-map mode a marker drags the whole map, one
    // undo step.
    void readoutAndWholeMapDrag()
    {
        f.w->Button1->click();
        f.ShowPage(f.w->TabSheetLPGmap);
        QLabel* readout = f.w->LPGReadoutLabel;
        QCOMPARE(readout->accessibleName(), QStringLiteral("0–7900 об/мин, 80 точек"));
        const QPoint marker = chart()->PointPosition(15).toPoint();
        QTest::mouseMove(chart()->viewport(), marker + QPoint(3, -3));
        QCOMPARE(readout->accessibleName(), QStringLiteral("1500 об/мин: 9°"));
        QCOMPARE(readout->text(), readout->accessibleName());
        const int steps = f.w->UndoStack->count();
        QTest::mousePress(chart()->viewport(), Qt::LeftButton, Qt::NoModifier, marker);
        QTest::mouseMove(chart()->viewport(), ValuePosition(15, 9.5));
        QTest::mouseMove(chart()->viewport(), ValuePosition(15, 10.1));
        QCOMPARE(readout->accessibleName(), QStringLiteral("1500 об/мин: 10°"));
        QTest::mouseRelease(chart()->viewport(), Qt::LeftButton, Qt::NoModifier, ValuePosition(15, 10.1));
        for (int i = 0; i < MapPoints; ++i)
            QCOMPARE(LPGTable.Uoz[i], 10.0);
        VerifyInStep(chart(), LPGTable);
        QCOMPARE(f.w->UndoStack->count(), steps + 1);
        f.w->UndoStack->undo();
        QCOMPARE(LPGTable.Uoz[40], 9.0);
        QTest::mouseMove(chart()->viewport(), QPoint(5, 5));
        QCOMPARE(readout->accessibleName(), QStringLiteral("0–7900 об/мин, 80 точек"));
    }

    // A marker drag ends once, as one step or put back: at its release, at
    // the first move that finds the button up (the release went elsewhere),
    // or put back by Escape or Ctrl+Z, which undoes nothing else. After its
    // end nothing follows the pointer. A "Правка" command that changes the
    // maps does nothing while the marker is held.
    void markerDragEndsOnce_data()
    {
        QTest::addColumn<int>("how");  // 0 release, 1 a move without the button, 2 Escape, 3 Ctrl+Z,
                                       // 4 the petrol map copied in, then the release
        QTest::addColumn<bool>("kept");
        QTest::newRow("release") << 0 << true;
        QTest::newRow("release unseen") << 1 << true;
        QTest::newRow("Escape") << 2 << false;
        QTest::newRow("Ctrl+Z") << 3 << false;
        QTest::newRow("copy map, release") << 4 << true;
    }
    void markerDragEndsOnce()
    {
        QFETCH(int, how);
        QFETCH(bool, kept);
        f.w->Button1->click();  // the template, a step of its own
        f.ShowPage(f.w->TabSheetLPGmap);
        const int steps = f.w->UndoStack->count();
        QWidget* view = chart()->viewport();
        const auto moveUp = [&](double to) {
            const QPoint at = ValuePosition(15, to);
            QMouseEvent move(QEvent::MouseMove, at, view->mapToGlobal(at), Qt::NoButton, Qt::NoButton,
                             Qt::NoModifier);
            QApplication::sendEvent(view, &move);
        };
        QTest::mousePress(view, Qt::LeftButton, Qt::NoModifier, chart()->PointPosition(15).toPoint());
        QTest::mouseMove(view, ValuePosition(15, 9.5));
        QTest::mouseMove(view, ValuePosition(15, 10.1));
        QCOMPARE(LPGTable.Uoz[40], 10.0);
        QVERIFY(chart()->MarkerHeld());
        if (how == 0)
            QTest::mouseRelease(view, Qt::LeftButton, Qt::NoModifier, ValuePosition(15, 10.1));
        else if (how == 1)
            moveUp(12.1);
        else if (how == 2)
            QTest::keyClick(chart(), Qt::Key_Escape);
        else if (how == 3)
            QTest::keyClick(chart(), Qt::Key_Z, Qt::ControlModifier);
        else {
            f.w->N40->trigger();
            QCOMPARE(LPGTable.Uoz[40], 10.0);
            QTest::mouseRelease(view, Qt::LeftButton, Qt::NoModifier, ValuePosition(15, 10.1));
        }
        QCoreApplication::processEvents();
        QVERIFY(!chart()->MarkerHeld());
        moveUp(14.1);
        if (how != 0 && how != 4)
            QTest::mouseRelease(view, Qt::LeftButton, Qt::NoModifier, ValuePosition(15, 15.1));
        for (int i : {0, 15, 79})
            QCOMPARE(LPGTable.Uoz[i], kept ? 10.0 : 9.0);
        VerifyInStep(chart(), LPGTable);
        QCOMPARE(f.w->UndoStack->count(), steps + (kept ? 1 : 0));
        QCOMPARE(f.w->UndoStack->index(), f.w->UndoStack->count());
    }

    void keysIgnoredWithPointerOffChart()
    {
        RefreshChart(f.w, QStringLiteral("LPG"));
        PointerOverChart(chart());
        QCOMPARE(MouseInLPGChart, 1);
        // A check box lies on the chart: moving onto it leaves the chart.
        QCheckBox* box = f.w->LPGFulMapMoveCheckBox;
        QTest::mouseMove(box, box->rect().center());
        QCoreApplication::processEvents();
        QCOMPARE(MouseInLPGChart, 0);
        Press(chart(), Qt::Key_Up);
        QCOMPARE(LPGTable.Uoz[0], 0.0);
        PointerOverChart(chart());
        QCOMPARE(MouseInLPGChart, 1);
        Press(chart(), Qt::Key_Up);
        QCOMPARE(LPGTable.Uoz[0], 0.5);
        // Off the window altogether.
        QTest::mouseMove(f.w->Button1, f.w->Button1->rect().center());
        QCoreApplication::processEvents();
        QCOMPARE(MouseInLPGChart, 0);
        Press(chart(), Qt::Key_Up);
        QCOMPARE(LPGTable.Uoz[0], 0.5);
        // An unloaded chart stays unloaded when the key is ignored.
        QCOMPARE(f.w->Series1->count(), 0);
    }

    void scaleBoxSetsAxisMinimum()
    {
        QCOMPARE(chart()->LeftAxis->min(), 0.0);
        QCOMPARE(chart()->LeftAxis->max(), 35.0);
        QCOMPARE(chart()->BottomAxis->min(), 0.0);
        QCOMPARE(chart()->BottomAxis->max(), 8000.0);
        QTest::mouseClick(f.w->LPGScaleCheckBox, Qt::LeftButton);
        QCOMPARE(chart()->LeftAxis->min(), -AdvanceAxisTop);
        QCOMPARE(chart()->LeftAxis->max(), 35.0);
        QCOMPARE(f.w->ChartPetrol->LeftAxis->min(), 0.0);
        QTest::mouseClick(f.w->LPGScaleCheckBox, Qt::LeftButton);
        QCOMPARE(chart()->LeftAxis->min(), 0.0);
        f.w->PetrolScaleCheckBox->click();
        QCOMPARE(f.w->ChartPetrol->LeftAxis->min(), -AdvanceAxisTop);
    }

    // What is on the screen after the scale box is ticked and unticked is what
    // a fresh paint of the chart shows: no old axis labels, no ghost markers.
    void scaleBoxRepaintsTheWholeChart()
    {
        f.w->Button1->click();
        TChart* c = chart();
        // The part of the chart inside the window and below the check boxes
        // that lie on top of it, in window coordinates.
        const QPoint at = c->viewport()->mapTo(f.w, QPoint(0, 0));
        const int below = f.w->LPGScaleCheckBox->mapTo(f.w, QPoint(0, f.w->LPGScaleCheckBox->height())).y() + 4;
        const QRect page(f.w->TabSheetLPGmap->mapTo(f.w, QPoint(0, 0)), f.w->TabSheetLPGmap->size());
        QRect area = QRect(at, c->viewport()->size()).intersected(page.adjusted(2, 0, -2, -2));
        area.setTop(below);
        auto onScreen = [this, area] {
            QTest::qWait(100);
            // What the window system holds for the window (the offscreen
            // platform grabs the window's backing store), not a new paint.
            return f.w->screen()
                ->grabWindow(f.w->winId(), area.x(), area.y(), area.width(), area.height())
                .toImage()
                .convertToFormat(QImage::Format_RGB32);
        };
        auto fresh = [c, area, at] {
            return c->viewport()->grab(area.translated(-at)).toImage().convertToFormat(QImage::Format_RGB32);
        };
        const QImage before = onScreen();
        QCOMPARE(before, fresh());
        QTest::mouseClick(f.w->LPGScaleCheckBox, Qt::LeftButton);
        const QImage negative = onScreen();
        QVERIFY(negative != before);
        QCOMPARE(negative, fresh());
        QTest::mouseClick(f.w->LPGScaleCheckBox, Qt::LeftButton);
        QCOMPARE(onScreen(), before);

        // Key edits repaint only what changed; that too must leave nothing
        // behind: the whole map moved, then one point moved and recoloured.
        PointerOverChart(c);
        Press(c, Qt::Key_Up, 3);
        QCOMPARE(onScreen(), fresh());
        f.w->LPGFulMapMoveCheckBox->setChecked(false);
        Press(c, Qt::Key_Right, 7);
        Press(c, Qt::Key_Down, 5);
        QCOMPARE(onScreen(), fresh());
    }

    void eachChartFollowsItsOwnSpeedBox()
    {
        // The two pages' "Быстрое изменение" boxes set opposite ways: each
        // chart steps by its own box.
        f.w->LPGFulMapMoveCheckBox->setChecked(false);
        f.w->PetrolFulMapMoveCheckBox->setChecked(false);
        f.w->PetrolSpeedCheckBox->setChecked(false);
        f.ShowPage(f.w->TabSheetPetrolmap);
        PointerOverChart(f.w->ChartPetrol);
        Press(f.w->ChartPetrol, Qt::Key_Up);
        QCOMPARE(PetrolTable.Uoz[0], 0.01);
        QCOMPARE(f.w->Series1->at(0).y(), 0.01);
        f.ShowPage(f.w->TabSheetLPGmap);
        PointerOverChart(f.w->ChartLPG);
        Press(f.w->ChartLPG, Qt::Key_Up);
        QCOMPARE(LPGTable.Uoz[0], 0.5);
        QCOMPARE(PetrolTable.Uoz[0], 0.01);
    }

    void templateReloadsAllFourViews()
    {
        LPGTable.Uoz[5] = 3;
        SelectedLPGPoint = 12;
        SelectedPetrolPoint = 44;
        QTest::mouseClick(f.w->Button1, Qt::LeftButton);
        VerifyInStep(f.w->ChartLPG, LPGTable);
        VerifyInStep(f.w->ChartPetrol, PetrolTable);
        for (int i = 0; i < MapPoints; ++i) {
            QCOMPARE(f.w->StringGridLPG->Cell(i / 10 + 1, i % 10 + 1), QStringLiteral("9"));
            QCOMPARE(f.w->StringGridPetrol->Cell(i / 10 + 1, i % 10 + 1), QStringLiteral("2"));
        }
        QCOMPARE(SelectedLPGPoint, 12);
        QCOMPARE(SelectedPetrolPoint, 44);
        QVERIFY(f.messages.isEmpty());
        QVERIFY(f.errors.isEmpty());
    }

    void pageChangeReloadsAllFourViews()
    {
        f.ShowPage(f.w->TabSheetPetrolmap);
        PointerOverChart(f.w->ChartPetrol);
        f.w->PetrolFulMapMoveCheckBox->setChecked(false);
        Press(f.w->ChartPetrol, Qt::Key_Right);
        Press(f.w->ChartPetrol, Qt::Key_Up);
        QCOMPARE(PetrolTable.Uoz[1], 0.5);
        QCOMPARE(LPGTable.Uoz[1], 0.0);
        QCOMPARE(SelectedPetrolPoint, 1);
        QCOMPARE(SelectedLPGPoint, 0);
        QCOMPARE(f.w->ChartPetrol->PointColor(1), Red);
        // The table of the map shows the edit at the next change of page.
        QCOMPARE(f.w->StringGridPetrol->Cell(1, 2), QStringLiteral("0"));
        LPGTable.Uoz[79] = -7.5;
        f.ShowPage(f.w->TabSheetPetrolGrid);
        QCOMPARE(f.w->StringGridPetrol->Cell(1, 2), QStringLiteral("0.5"));
        QCOMPARE(f.w->StringGridLPG->Cell(8, 10), QStringLiteral("-7.5"));
        VerifyInStep(f.w->ChartLPG, LPGTable);
        VerifyInStep(f.w->ChartPetrol, PetrolTable);
        QCOMPARE(ColouredPoints(f.w->ChartPetrol), 0);
    }
};

int main(int argc, char** argv)
{
    TarvoApplication app(argc, argv);
    TestChartEditor test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_charteditor.moc"
