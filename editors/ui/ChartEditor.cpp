#include "editors/ui/ChartEditor.h"

#include "editors/core/Calculations.h"
#include "app/ui/Gui2.h"
#include "app/core/MapStore.h"
#include "editors/ui/MapViews.h"
#include "editors/ui/ReferenceView.h"
#include "editors/ui/TableEditor.h"
#include "app/ui/Undo.h"

#include <QChart>
#include <QCheckBox>
#include <QLineSeries>
#include <QValueAxis>

int SelectedLPGPoint = 0;
int SelectedPetrolPoint = 0;
unsigned char MouseInLPGChart = 0;
unsigned char MouseInPetrolChart = 0;

namespace {

const QColor SelectedColour(255, 0, 0);   // clRed
const QColor SeriesColour(0, 0, 255);     // clBlue

constexpr double FastStep = 0.5;
constexpr double FineStep = 0.01;
constexpr double PointLimit = 32.0;

void LoadChart(const MapViews& m)
{
    QList<QPointF> points;
    points.reserve(MapPoints);
    for (int i = 0; i < MapPoints; ++i)
        points.append(QPointF(m.table->Rpm[i], m.table->Uoz[i]));
    m.series->clearPointsConfiguration();
    m.series->replace(points);
}

void SetPointColour(const MapViews& m, int index, const QColor& colour)
{
    m.series->setPointConfiguration(index, QXYSeries::PointConfiguration::Color, colour);
}

void SelectPoint(const MapViews& m, int index)
{
    SetPointColour(m, *m.selectedPoint, SeriesColour);
    *m.selectedPoint = index;
    SetPointColour(m, *m.selectedPoint, SelectedColour);
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

void ChartKeyDown(const MapViews& m, int key)
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
    switch (key) {
    case Qt::Key_Up:
        if (m.table->Uoz[p] + step < PointLimit) {
            const QPointF point = m.series->at(p);
            m.table->Uoz[p] += step;
            m.series->replace(p, point.x(), point.y() + step);
        }
        break;
    case Qt::Key_Down:
        if (m.table->Uoz[p] - step > -PointLimit) {
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

void ChartClickSeries(const MapViews& m, int valueIndex)
{
    if (m.fullMap->isChecked())
        return;
    if (valueIndex < 0 || valueIndex >= m.series->count())
        return;
    SelectPoint(m, valueIndex);
}

void ScaleBoxClick(const MapViews& m)
{
    m.chart->LeftAxis->setMin(m.scale->isChecked() ? -35.0 : 0.0);
}

} // namespace

QLineSeries* SetupMapChart(TChart* chart, const QString& title, MarkerStyle marker)
{
    QChart* c = chart->chart();
    c->setTitle(title);
    c->legend()->hide();

    chart->BottomAxis = new QValueAxis;
    chart->BottomAxis->setRange(0, 8000);
    chart->LeftAxis = new QValueAxis;
    chart->LeftAxis->setRange(0, 35);
    // Grid lines every 1000 rpm and every 5 degrees, whole-number labels,
    // also when the scale box extends the range to -35.
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
        LoadChart(*m);
    ShowChartReference(window, selector);
}

void TForm2::ChartLPGKeyDown(int key)
{
    const MapStep step(this, QStringLiteral("Карта УОЗ для газа"), StepKind::LPGChartKey);
    ChartKeyDown(LPGViews, key);
}

void TForm2::ChartPetrolKeyDown(int key)
{
    const MapStep step(this, QStringLiteral("Карта УОЗ для бензина"), StepKind::PetrolChartKey);
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
