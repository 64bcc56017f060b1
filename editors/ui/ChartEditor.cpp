#include "editors/ui/ChartEditor.h"

#include "app/core/Advance.h"
#include "editors/core/Calculations.h"
#include "editors/core/PointText.h"
#include "app/ui/Gui2.h"
#include "app/core/MapStore.h"
#include "editors/ui/MapViews.h"
#include "editors/ui/ReferenceView.h"
#include "editors/ui/TableEditor.h"
#include "app/ui/Undo.h"
#include "app/widgets/Seams.h"

#include <QChart>
#include <QCheckBox>
#include <QLabel>
#include <QUndoStack>
#include <QLineSeries>
#include <QValueAxis>
#include <algorithm>
#include <cmath>

int SelectedLPGPoint = 0;
int SelectedPetrolPoint = 0;
ChartRun LPGChartRun;
ChartRun PetrolChartRun;
unsigned char MouseInLPGChart = 0;
unsigned char MouseInPetrolChart = 0;

namespace {

const QColor SelectedColour(255, 0, 0);  // clRed
const QColor SeriesColour(0, 0, 255);    // clBlue

// The run's anchor, or the selected point when the run is not its.
int Anchor(const MapViews& m)
{
    return m.run->point == *m.selectedPoint ? m.run->anchor : *m.selectedPoint;
}

int RunFirst(const MapViews& m) { return std::min(Anchor(m), *m.selectedPoint); }
int RunLast(const MapViews& m) { return std::max(Anchor(m), *m.selectedPoint); }

void LoadChart(const MapViews& m)
{
    QList<QPointF> points;
    points.reserve(MapPoints);
    for (int i = 0; i < MapPoints; ++i)
        points.append(QPointF(m.table->Rpm[i], m.table->Uoz[i]));
    // Only what changed, so that a reload repaints no more than the edit.
    if (!m.series->pointsConfiguration().isEmpty())
        m.series->clearPointsConfiguration();
    if (m.series->points() != points)
        m.series->replace(points);
    // A run of several points stays red, where the range commands act; a
    // point selected alone is red again only when the selection next changes.
    if (!m.fullMap->isChecked() && RunFirst(m) < RunLast(m))
        m.chart->ColourPoints(0, -1, SeriesColour, RunFirst(m), RunLast(m), SelectedColour);
    UpdateReadout(m);
}

// Makes the points from anchor to point the selection: the old run blue, the
// new one red.
void SelectRun(const MapViews& m, int anchor, int point)
{
    const int oldFirst = RunFirst(m);
    const int oldLast = RunLast(m);
    *m.selectedPoint = point;
    *m.run = ChartRun{anchor, point};
    m.chart->ColourPoints(oldFirst, oldLast, SeriesColour, std::min(anchor, point), std::max(anchor, point),
                          SelectedColour);
    UpdateReadout(m);
}

void SelectPoint(const MapViews& m, int index) { SelectRun(m, index, index); }

// Whether the points first..last of `values` may all move by `delta` while
// every value stays strictly within the bounds.
bool RunMayStep(const MapTable& values, int first, int last, double delta)
{
    for (int i = first; i <= last; ++i)
        if (!(delta > 0 ? values.Uoz[i] + delta < AdvanceLimit : values.Uoz[i] + delta > -AdvanceLimit))
            return false;
    return true;
}

// Moves the selected run by `delta`, chart and table alike, unless a point
// would reach the limit: then nothing moves.
void StepRun(const MapViews& m, double delta)
{
    const int first = RunFirst(m);
    const int last = RunLast(m);
    if (!RunMayStep(*m.table, first, last, delta))
        return;
    QList<QPointF> points = m.series->points();
    for (int i = first; i <= last; ++i) {
        m.table->Uoz[i] += delta;
        points[i].ry() += delta;
    }
    m.series->replace(points);
}

// Moves every point of the map by `delta`, chart and table alike, in one
// redraw.
void ShiftMap(const MapViews& m, double delta)
{
    QList<QPointF> points = m.series->points();
    for (int i = 0; i < MapPoints; ++i) {
        points[i].ry() += delta;
        m.table->Uoz[i] += delta;
    }
    m.series->replace(points);
}

void ChartKeyDownIn(const MapViews& m, int key);

void ChartKeyDown(const MapViews& m, int key)
{
    ChartKeyDownIn(m, key);
    if (m.chart->HoverPoint() >= 0)
        UpdateReadout(m);
}

void ChartKeyDownIn(const MapViews& m, int key)
{
    const double step = m.speed->isChecked() ? FastStep : FineStep;
    if (*m.mouseIn != 1)
        return;
    // A chart that was never loaded shows no points: load it before the
    // first edit, so that the table never changes behind the chart.
    if (m.series->count() != MapPoints)
        LoadChart(m);

    if (m.fullMap->isChecked()) {
        if (key == Qt::Key_Up && CanShiftUp(*m.table, step))
            ShiftMap(m, step);
        else if (key == Qt::Key_Down && CanShiftDown(*m.table, step))
            ShiftMap(m, -step);
        return;
    }

    const int p = *m.selectedPoint;
    const bool shift = m.chart->EventModifiers() & Qt::ShiftModifier;
    if (RunFirst(m) < RunLast(m) || shift) {
        switch (key) {
        case Qt::Key_Up:
            StepRun(m, step);
            return;
        case Qt::Key_Down:
            StepRun(m, -step);
            return;
        case Qt::Key_Left:
            if (shift && p > 0)
                SelectRun(m, Anchor(m), p - 1);
            else if (!shift)
                SelectPoint(m, p > 0 ? p - 1 : p);
            return;
        case Qt::Key_Right:
            if (shift && p < MapPoints - 1)
                SelectRun(m, Anchor(m), p + 1);
            else if (!shift)
                SelectPoint(m, p < MapPoints - 1 ? p + 1 : p);
            return;
        default:
            return;
        }
    }
    // One point selected, the key plain: as the editor always did.
    switch (key) {
    case Qt::Key_Up:
        if (RunMayStep(*m.table, p, p, step)) {
            const QPointF point = m.series->at(p);
            m.table->Uoz[p] += step;
            m.series->replace(p, point.x(), point.y() + step);
        }
        break;
    case Qt::Key_Down:
        if (RunMayStep(*m.table, p, p, -step)) {
            const QPointF point = m.series->at(p);
            m.table->Uoz[p] -= step;
            m.series->replace(p, point.x(), point.y() - step);
        }
        break;
    case Qt::Key_Left:
        if (p > 0)
            SelectPoint(m, p - 1);
        break;
    case Qt::Key_Right:
        if (p < MapPoints - 1)
            SelectPoint(m, p + 1);
        break;
    default:
        break;
    }
}

// A drag from a marker: the map's values when it began, the points it moves
// and by how many steps they stand moved. A press on a point of a run of
// several selects that point alone only once released without a drag.
struct MarkerDrag {
    const MapViews* views = nullptr;
    MapTable before;
    int first = 0;
    int last = -1;
    int steps = 0;
    int pendingPoint = -1;
};
MarkerDrag markerDrag;

void ChartClickSeries(const MapViews& m, int valueIndex)
{
    if (m.fullMap->isChecked())
        return;
    if (valueIndex < 0 || valueIndex >= m.series->count())
        return;
    markerDrag.pendingPoint = -1;
    if (m.chart->EventModifiers() & Qt::ShiftModifier)
        SelectRun(m, Anchor(m), valueIndex);
    else if (RunFirst(m) < RunLast(m) && valueIndex >= RunFirst(m) && valueIndex <= RunLast(m))
        markerDrag.pendingPoint = valueIndex;
    else
        SelectPoint(m, valueIndex);
}

// Whether the points first..last of `values` may all move one step by
// `delta`, as the keys allow it: the whole map by the whole-map guards, a run
// or a point while every value stays strictly within the bounds.
bool MayStep(const MapViews& m, const MapTable& values, int first, int last, double delta)
{
    if (m.fullMap->isChecked())
        return delta > 0 ? CanShiftUp(values, delta) : CanShiftDown(values, -delta);
    return RunMayStep(values, first, last, delta);
}

// Puts the moved points at `steps` steps from where the drag began, or as
// near as the limits allow, chart and table alike; each step is added as a
// key press adds it.
void MoveDraggedPoints(const MapViews& m, double stepSize, int steps)
{
    MarkerDrag& d = markerDrag;
    const double delta = steps > 0 ? stepSize : -stepSize;
    MapTable values = d.before;
    int done = 0;
    while (done != steps && MayStep(m, values, d.first, d.last, delta)) {
        for (int i = d.first; i <= d.last; ++i)
            values.Uoz[i] += delta;
        done += steps > 0 ? 1 : -1;
    }
    if (done == d.steps)
        return;
    d.steps = done;
    QList<QPointF> points = m.series->points();
    for (int i = d.first; i <= d.last; ++i) {
        m.table->Uoz[i] = values.Uoz[i];
        points[i].ry() = values.Uoz[i];
    }
    m.series->replace(points);
    UpdateReadout(m);
}

void ChartPointDrag(TForm2* window, const MapViews& m, int index, double delta, PointDrag phase)
{
    MarkerDrag& d = markerDrag;
    if (phase == PointDrag::Click) {
        if (d.pendingPoint == index && !m.fullMap->isChecked())
            SelectPoint(m, index);
        d = MarkerDrag();
        return;
    }
    if (!d.views) {
        if (phase != PointDrag::Move || index < 0 || index >= m.series->count())
            return;
        // A chart that was never loaded is loaded before its points move.
        if (m.series->count() != MapPoints)
            LoadChart(m);
        d.views = &m;
        d.before = *m.table;
        const bool whole = m.fullMap->isChecked();
        d.first = whole ? 0 : RunFirst(m);
        d.last = whole ? MapPoints - 1 : RunLast(m);
        d.steps = 0;
    }
    if (d.views != &m)
        return;
    const double stepSize = m.speed->isChecked() ? FastStep : FineStep;
    switch (phase) {
    case PointDrag::Move:
        MoveDraggedPoints(m, stepSize, static_cast<int>(std::lround(delta / stepSize)));
        break;
    case PointDrag::Release: {
        MoveDraggedPoints(m, stepSize, static_cast<int>(std::lround(delta / stepSize)));
        // One undo step from the values before the drag to the values after.
        const MapTable after = *m.table;
        *m.table = d.before;
        {
            const MapStep step(window, m.chart->chart()->title());
            *m.table = after;
        }
        d = MarkerDrag();
        break;
    }
    case PointDrag::Cancel:
        *m.table = d.before;
        d = MarkerDrag();
        LoadChart(m);
        break;
    case PointDrag::Click:
        break;
    }
}

}  // namespace

QList<int> ChartSelection(const MapViews& m)
{
    QList<int> points;
    const int first = m.fullMap->isChecked() ? 0 : RunFirst(m);
    const int last = m.fullMap->isChecked() ? MapPoints - 1 : RunLast(m);
    for (int i = first; i <= last; ++i)
        points.append(i);
    return points;
}

void ChartDragSelect(TForm2*, const MapViews& m, int from, int to)
{
    if (m.fullMap->isChecked() || from < 0 || to < 0 || from >= m.series->count() || to >= m.series->count())
        return;
    SelectRun(m, from, to);
}

void UpdateReadout(const MapViews& m)
{
    if (!m.readout)
        return;
    const int hover = m.chart->HoverPoint();
    QString text;
    if (hover >= 0 && hover < MapPoints)
        text = PointReadout(hover, m.table->Uoz[hover]);
    else if (m.fullMap->isChecked())
        text = RunReadout(0, MapPoints - 1);
    else if (RunFirst(m) < RunLast(m))
        text = RunReadout(RunFirst(m), RunLast(m));
    else
        text = PointReadout(*m.selectedPoint, m.table->Uoz[*m.selectedPoint]);
    if (m.readout->text() != text) {
        m.readout->setText(text);
        m.readout->setAccessibleName(text);
    }
}

bool MarkerDragHeld(const TForm2* window)
{
    return window->ChartLPG->MarkerHeld() || window->ChartPetrol->MarkerHeld();
}

bool PutBackMarkerDrag(TForm2* window)
{
    const bool lpg = window->ChartLPG->CancelPointDrag();
    const bool petrol = window->ChartPetrol->CancelPointDrag();
    return lpg || petrol;
}

void SetupChartPointer(TForm2* w)
{
    for (const MapViews* views : {&w->LPGViews, &w->PetrolViews}) {
        QLabel* label = views->readout;
        label->setObjectName(views == &w->LPGViews ? QStringLiteral("LPGReadoutLabel")
                                                   : QStringLiteral("PetrolReadoutLabel"));
        label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        // The pointer goes through to the chart below.
        label->setAttribute(Qt::WA_TransparentForMouseEvents);
        views->chart->OnHoverPoint = [views](int) { RunEventHandler([&] { UpdateReadout(*views); }); };
        views->chart->OnPointDrag = [w, views](int index, double delta, PointDrag phase) {
            RunEventHandler([&] { ChartPointDrag(w, *views, index, delta, phase); });
        };
        QObject::connect(views->fullMap, &QCheckBox::toggled, label, [views] { UpdateReadout(*views); });
        // An undo or redo during a drag (its shortcut works anywhere) puts
        // other values in place: the drag goes on from those.
        QObject::connect(w->UndoStack, &QUndoStack::indexChanged, label, [] { markerDrag = MarkerDrag(); });
        UpdateReadout(*views);
    }
}

namespace {

void ScaleBoxClick(const MapViews& m)
{
    m.chart->LeftAxis->setMin(m.scale->isChecked() ? -AdvanceAxisTop : 0.0);
}

}  // namespace

QLineSeries* SetupMapChart(TChart* chart, const QString& title, MarkerStyle marker)
{
    QChart* c = chart->chart();
    c->setTitle(title);
    c->legend()->hide();

    chart->BottomAxis = new QValueAxis;
    chart->BottomAxis->setRange(0, 8000);
    chart->LeftAxis = new QValueAxis;
    chart->LeftAxis->setRange(0, AdvanceAxisTop);
    // Grid lines every 1000 rpm and every 5 degrees, whole-number labels,
    // also when the scale box extends the range below 0.
    const struct {
        QValueAxis* axis;
        double interval;
    } ticks[] = {{chart->BottomAxis, 1000.0}, {chart->LeftAxis, 5.0}};
    for (const auto& t : ticks) {
        t.axis->setTickType(QValueAxis::TicksDynamic);
        t.axis->setTickAnchor(0.0);
        t.axis->setTickInterval(t.interval);
        t.axis->setLabelFormat(QStringLiteral("%d"));
    }
    c->addAxis(chart->BottomAxis, Qt::AlignBottom);
    c->addAxis(chart->LeftAxis, Qt::AlignLeft);

    auto* series = new QLineSeries;
    series->setColor(SeriesColour);
    c->addSeries(series);
    series->attachAxis(chart->BottomAxis);
    series->attachAxis(chart->LeftAxis);
    chart->SetMapSeries(series, marker);
    return series;
}

void RefreshChart(TForm2* window, const QString& selector)
{
    if (const MapViews* m = ViewsOf(window, selector))
        RefreshChart(window, *m);
}

void RefreshChart(TForm2* window, const MapViews& m)
{
    LoadChart(m);
    ShowChartReference(window, m);
}

void TForm2::ChartLPGKeyDown(int key)
{
    const MapStep step(this, QString::fromUtf8(LPGMapTitle), StepKind::LPGChartKey);
    ChartKeyDown(LPGViews, key);
}

void TForm2::ChartPetrolKeyDown(int key)
{
    const MapStep step(this, QString::fromUtf8(PetrolMapTitle), StepKind::PetrolChartKey);
    ChartKeyDown(PetrolViews, key);
}

// Any mouse button selects.
void TForm2::ChartLPGClickSeries(int valueIndex, Qt::MouseButton) { ChartClickSeries(LPGViews, valueIndex); }
void TForm2::ChartPetrolClickSeries(int valueIndex, Qt::MouseButton) { ChartClickSeries(PetrolViews, valueIndex); }

// The check boxes lie on top of the charts: moving onto one leaves the chart.
void TForm2::ChartLPGMouseEnter() { MouseInLPGChart = 1; }
void TForm2::ChartLPGMouseLeave() { MouseInLPGChart = 0; }
void TForm2::ChartPetrolMouseEnter() { MouseInPetrolChart = 1; }
void TForm2::ChartPetrolMouseLeave() { MouseInPetrolChart = 0; }

void TForm2::LPGScaleCheckBoxClick() { ScaleBoxClick(LPGViews); }
void TForm2::PetrolScaleCheckBoxClick() { ScaleBoxClick(PetrolViews); }

void TForm2::PageControl1Change()
{
    RefreshAllViews(this);
}

void TForm2::Button1Click()
{
    const MapStep step(this, QStringLiteral("Шаблон данных"));
    FillTemplate(this);
    RefreshAllViews(this);
}
