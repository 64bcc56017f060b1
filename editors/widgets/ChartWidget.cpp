#include "editors/widgets/ChartWidget.h"

#include "app/widgets/Seams.h"

#include <QAbstractAxis>
#include <QApplication>
#include <QKeyEvent>
#include <QLegendMarker>
#include <QLineSeries>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QScatterSeries>
#include <QValueAxis>
#include <QXYSeries>
#include <cmath>

namespace {

QImage MarkerImage(MarkerStyle style, const QColor& colour)
{
    const int size = TChart::MarkerSize;
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(colour.darker(150), 1));
    painter.setBrush(colour);
    const int corners = style == MarkerStyle::Diamond ? 4 : 6;
    const double start = style == MarkerStyle::Diamond ? -M_PI / 2 : 0.0;
    const double centre = size / 2.0;
    const double radius = size / 2.0 - 0.5;
    QPolygonF polygon;
    for (int k = 0; k < corners; ++k) {
        const double angle = start + 2 * M_PI * k / corners;
        polygon << QPointF(centre + radius * std::cos(angle), centre + radius * std::sin(angle));
    }
    painter.drawPolygon(polygon);
    return image;
}

}  // namespace

TChart::TChart(QWidget* parent)
    : QChartView(parent)
{
    setFocusPolicy(Qt::ClickFocus);
    // The readout follows the pointer without a button held.
    setMouseTracking(true);
    viewport()->setMouseTracking(true);
    // A change repaints the areas that the scene reports. The point markers
    // reach beyond the area of the map series (UpdatePointsArea adds it), and
    // a new axis range or plot area relabels the axes: then the whole view.
    setViewportUpdateMode(QGraphicsView::MinimalViewportUpdate);
    connect(chart(), &QChart::plotAreaChanged, viewport(), [this] {
        pointsArea = QRectF();
        viewport()->update();
    });
}

void TChart::SetMapSeries(QXYSeries* mapSeries, MarkerStyle markerStyle)
{
    series = mapSeries;
    style = markerStyle;
    series->setPointsVisible(true);
    series->setMarkerSize(MarkerSize);
    series->setLightMarker(MarkerImage(style, series->color()));
    connect(series, &QXYSeries::pointsReplaced, this, &TChart::MapSeriesChanged);
    connect(series, &QXYSeries::pointReplaced, this, &TChart::MapSeriesChanged);
    connect(series, &QXYSeries::pointAdded, this, &TChart::MapSeriesChanged);
    connect(series, &QXYSeries::pointRemoved, this, &TChart::MapSeriesChanged);
    connect(series, &QXYSeries::pointsRemoved, this, &TChart::MapSeriesChanged);
    connect(series, &QXYSeries::pointsConfigurationChanged, this, &TChart::MapSeriesChanged);
    for (QAbstractAxis* axis : series->attachedAxes())
        if (auto* value = qobject_cast<QValueAxis*>(axis))
            connect(value, &QValueAxis::rangeChanged, viewport(), [this] {
                pointsArea = QRectF();
                viewport()->update();
            });
}

void TChart::MapSeriesChanged()
{
    UpdateColouredPoints();
    UpdatePointsArea();
}

void TChart::UpdatePointsArea()
{
    QRectF area;
    if (series->count() > 0) {
        double low = series->at(0).y();
        double high = low;
        double left = series->at(0).x();
        double right = left;
        for (int i = 1; i < series->count(); ++i) {
            const QPointF p = series->at(i);
            low = std::min(low, p.y());
            high = std::max(high, p.y());
            left = std::min(left, p.x());
            right = std::max(right, p.x());
        }
        const QPointF a = chart()->mapToPosition(QPointF(left, high), series);
        const QPointF b = chart()->mapToPosition(QPointF(right, low), series);
        const QPointF topLeft = mapFromScene(chart()->mapToScene(a));
        const QPointF bottomRight = mapFromScene(chart()->mapToScene(b));
        // A marker and its outline, the line's pen and antialiasing.
        const double reach = MarkerSize / 2.0 + 4.0;
        area = QRectF(topLeft, bottomRight).normalized().adjusted(-reach, -reach, reach, reach);
    }
    const QRectF dirty = pointsArea.isNull() ? QRectF(viewport()->rect()) : area.united(pointsArea);
    pointsArea = area;
    viewport()->update(dirty.toAlignedRect());
}

QColor TChart::PointColor(int index) const
{
    if (!series)
        return QColor();
    return series->pointConfiguration(index).value(QXYSeries::PointConfiguration::Color).value<QColor>();
}

void TChart::UpdateColouredPoints()
{
    QHash<QRgb, QList<QPointF>> byColour;
    const QList<QPointF> points = series->points();
    const auto configuration = series->pointsConfiguration();
    for (auto it = configuration.cbegin(); it != configuration.cend(); ++it) {
        const QColor colour = it.value().value(QXYSeries::PointConfiguration::Color).value<QColor>();
        // A point in the series colour looks like every other point.
        if (!colour.isValid() || colour == series->color() || it.key() < 0 || it.key() >= points.size())
            continue;
        byColour[colour.rgba()].append(points[it.key()]);
    }
    for (auto it = byColour.cbegin(); it != byColour.cend(); ++it) {
        QScatterSeries*& marks = colouredPoints[it.key()];
        if (!marks) {
            marks = new QScatterSeries(this);
            marks->setColor(QColor::fromRgba(it.key()));
            marks->setMarkerSize(MarkerSize);
            marks->setLightMarker(MarkerImage(style, QColor::fromRgba(it.key())));
            chart()->addSeries(marks);
            for (QAbstractAxis* axis : series->attachedAxes())
                marks->attachAxis(axis);
            for (QLegendMarker* marker : chart()->legend()->markers(marks))
                marker->setVisible(false);
        }
        marks->replace(it.value());
    }
    for (auto it = colouredPoints.cbegin(); it != colouredPoints.cend(); ++it)
        if (!byColour.contains(it.key()) && it.value()->count() > 0)
            it.value()->clear();
    PlaceUnknownRings();
}

void TChart::SetUnknownPoints(const QList<int>& indices)
{
    if (!series || (indices == unknownIndices && (unknownRings || indices.isEmpty())))
        return;
    unknownIndices = indices;
    if (!unknownRings && !indices.isEmpty()) {
        // Behind the map series: added before it is put in front again.
        unknownRings = new QScatterSeries(this);
        unknownRings->setObjectName(QStringLiteral("UnknownPoints"));
        unknownRings->setMarkerShape(QScatterSeries::MarkerShapeCircle);
        unknownRings->setMarkerSize(MarkerSize + 8);
        unknownRings->setColor(Qt::transparent);
        unknownRings->setBorderColor(QColor(70, 110, 190));
        QPen pen = unknownRings->pen();
        pen.setColor(QColor(70, 110, 190));
        pen.setWidth(2);
        unknownRings->setPen(pen);
        chart()->addSeries(unknownRings);
        for (QAbstractAxis* axis : series->attachedAxes())
            unknownRings->attachAxis(axis);
        for (QLegendMarker* marker : chart()->legend()->markers(unknownRings))
            marker->setVisible(false);
        KeepMapSeriesInFront();
    }
    PlaceUnknownRings();
}

void TChart::PlaceUnknownRings()
{
    if (!unknownRings)
        return;
    QList<QPointF> points;
    for (int i : std::as_const(unknownIndices))
        if (i >= 0 && i < series->count())
            points.append(series->at(i));
    unknownRings->replace(points);
}

void TChart::SetReferenceLine(const QList<QList<QPointF>>& runs)
{
    if (!series)
        return;
    if (referenceLines.size() < runs.size()) {
        while (referenceLines.size() < runs.size()) {
            auto* line = new QLineSeries(this);
            QPen pen(QColor(128, 128, 128), 2, Qt::DashLine);
            line->setPen(pen);
            line->setPointsVisible(false);
            chart()->addSeries(line);
            for (QAbstractAxis* axis : series->attachedAxes())
                line->attachAxis(axis);
            for (QLegendMarker* marker : chart()->legend()->markers(line))
                marker->setVisible(false);
            referenceLines.append(line);
        }
        KeepMapSeriesInFront();
    }
    for (int k = 0; k < referenceLines.size(); ++k) {
        // An unchanged line is not replaced: it would repaint its whole area.
        if (k < runs.size()) {
            if (referenceLines[k]->points() != runs[k])
                referenceLines[k]->replace(runs[k]);
        } else if (referenceLines[k]->count() > 0)
            referenceLines[k]->clear();
    }
}

// The chart draws its series in the order they were added: the map series
// and its coloured points are added again after a new reference line.
void TChart::KeepMapSeriesInFront()
{
    QList<QXYSeries*> front{series};
    for (QScatterSeries* marks : std::as_const(colouredPoints))
        front.append(marks);
    for (QXYSeries* s : front) {
        const QList<QAbstractAxis*> axes = s->attachedAxes();
        chart()->removeSeries(s);
        chart()->addSeries(s);
        for (QAbstractAxis* axis : axes)
            s->attachAxis(axis);
        for (QLegendMarker* marker : chart()->legend()->markers(s))
            marker->setVisible(false);
    }
}

QPointF TChart::PointPosition(int index) const
{
    const QPointF inChart = chart()->mapToPosition(series->at(index), series);
    return mapFromScene(chart()->mapToScene(inChart));
}

int TChart::PointAt(const QPointF& pos) const
{
    if (!series)
        return -1;
    const double reach = MarkerSize / 2.0 + 2.0;
    const QRectF plot = chart()->plotArea().adjusted(-reach, -reach, reach, reach);
    int best = -1;
    double bestDistance = reach;
    for (int i = 0; i < series->count(); ++i) {
        const QPointF inChart = chart()->mapToPosition(series->at(i), series);
        if (!plot.contains(inChart))
            continue;
        const QPointF d = QPointF(mapFromScene(chart()->mapToScene(inChart))) - pos;
        const double distance = std::hypot(d.x(), d.y());
        if (distance <= bestDistance) {
            best = i;
            bestDistance = distance;
        }
    }
    return best;
}

void TChart::ColourPoints(int beforeFirst, int beforeLast, const QColor& outside, int first, int last,
                          const QColor& inside)
{
    if (!series)
        return;
    auto configuration = series->pointsConfiguration();
    const int count = series->count();
    for (int i = std::max(beforeFirst, 0); i <= beforeLast && i < count; ++i)
        if (i < first || i > last)
            configuration[i][QXYSeries::PointConfiguration::Color] = outside;
    for (int i = std::max(first, 0); i <= last && i < count; ++i)
        configuration[i][QXYSeries::PointConfiguration::Color] = inside;
    series->setPointsConfiguration(configuration);
}

void TChart::keyPressEvent(QKeyEvent* event)
{
    const QPointer<TChart> alive(this);
    eventModifiers = event->modifiers();
    if (pressPoint >= 0 && event->key() == Qt::Key_Escape) {
        CancelPointDrag();
        if (alive)
            event->accept();
        return;
    }
    // Other keys are discarded while a marker is dragged.
    if (pressPoint >= 0 && dragged) {
        event->accept();
        return;
    }
    if (OnKeyDown)
        OnKeyDown(event->key());
    if (alive)
        QChartView::keyPressEvent(event);
}

bool TChart::CancelPointDrag()
{
    if (pressPoint < 0)
        return false;
    // The drag ends here; the release that follows is an ordinary one.
    const int index = pressPoint;
    pressPoint = -1;
    pressed = dragged = false;
    if (OnPointDrag)
        OnPointDrag(index, 0.0, PointDrag::Cancel);
    return true;
}

double TChart::ValueAt(const QPointF& pos) const
{
    return chart()->mapToValue(chart()->mapFromScene(mapToScene(pos.toPoint())), series).y();
}

void TChart::SetHoverPoint(int index)
{
    if (index == hoverPoint)
        return;
    hoverPoint = index;
    if (OnHoverPoint)
        OnHoverPoint(index);
}

void TChart::mousePressEvent(QMouseEvent* event)
{
    setFocus(Qt::MouseFocusReason);
    eventModifiers = event->modifiers();
    pressed = event->button() == Qt::LeftButton;
    dragged = false;
    pressAt = event->position();
    dragDelta = 0.0;
    const int index = PointAt(event->position());
    pressPoint = pressed && OnPointDrag ? index : -1;
    const QPointer<TChart> alive(this);
    if (OnClickSeries && index >= 0) {
        OnClickSeries(index, event->button());
        if (!alive)
            return;
    }
    if (pressPoint >= 0) {
        SetHoverPoint(pressPoint);
        if (!alive)
            return;
    }
    QChartView::mousePressEvent(event);
}

void TChart::mouseMoveEvent(QMouseEvent* event)
{
    if (pressPoint >= 0 && !(event->buttons() & Qt::LeftButton)) {
        // The button was let go where the chart did not see it: the drag
        // ends as that release would have ended it, where it last stood.
        const int index = pressPoint;
        const bool moved = dragged;
        pressed = dragged = false;
        pressPoint = -1;
        const QPointer<TChart> alive(this);
        OnPointDrag(index, moved ? dragDelta : 0.0, moved ? PointDrag::Release : PointDrag::Click);
        if (!alive)
            return;
    }
    if (pressed && (event->buttons() & Qt::LeftButton)
        && (event->position() - pressAt).manhattanLength() >= QApplication::startDragDistance())
        dragged = true;
    const QPointer<TChart> alive(this);
    if (pressPoint >= 0) {
        // The marker follows the pointer; the readout stays on its point.
        if (dragged && series) {
            dragDelta = ValueAt(event->position()) - ValueAt(pressAt);
            OnPointDrag(pressPoint, dragDelta, PointDrag::Move);
        }
        if (alive)
            event->accept();
        return;
    }
    if (!(event->buttons() & Qt::LeftButton)) {
        SetHoverPoint(PointAt(event->position()));
        if (!alive)
            return;
    }
    QChartView::mouseMoveEvent(event);
}

void TChart::mouseReleaseEvent(QMouseEvent* event)
{
    if (pressPoint >= 0 && event->button() == Qt::LeftButton) {
        const int index = pressPoint;
        const bool moved = dragged;
        pressed = dragged = false;
        pressPoint = -1;
        const QPointer<TChart> alive(this);
        OnPointDrag(index, moved && series ? ValueAt(event->position()) - ValueAt(pressAt) : 0.0,
                    moved ? PointDrag::Release : PointDrag::Click);
        if (alive)
            SetHoverPoint(PointAt(event->position()));
        return;
    }
    const bool drag = pressed && dragged && event->button() == Qt::LeftButton;
    pressed = dragged = false;
    if (drag && OnDragSelect && series && series->count() > 0) {
        // From viewport to the chart's values.
        auto value = [this](const QPointF& pos) {
            return chart()->mapToValue(chart()->mapFromScene(mapToScene(pos.toPoint())), series).x();
        };
        const double a = value(pressAt);
        const double b = value(event->position());
        const double low = std::min(a, b);
        const double high = std::max(a, b);
        int first = -1;
        int last = -1;
        for (int i = 0; i < series->count(); ++i) {
            const double x = series->at(i).x();
            if (x >= low && x <= high) {
                if (first < 0)
                    first = i;
                last = i;
            }
        }
        if (first >= 0) {
            eventModifiers = event->modifiers();
            const QPointer<TChart> alive(this);
            if (a <= b)
                OnDragSelect(first, last);
            else
                OnDragSelect(last, first);
            if (!alive)
                return;
        }
    }
    QChartView::mouseReleaseEvent(event);
}

void TChart::enterEvent(QEnterEvent* event)
{
    if (OnMouseEnter)
        OnMouseEnter();
    QChartView::enterEvent(event);
}

void TChart::leaveEvent(QEvent* event)
{
    const QPointer<TChart> alive(this);
    if (pressPoint < 0)
        SetHoverPoint(-1);
    if (!alive)
        return;
    if (OnMouseLeave)
        OnMouseLeave();
    QChartView::leaveEvent(event);
}
