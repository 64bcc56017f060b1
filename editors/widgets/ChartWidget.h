#pragma once

#include <QChartView>
#include <QHash>
#include <QRgb>
#include <functional>

class QLineSeries;
class QScatterSeries;
class QValueAxis;
class QXYSeries;

// Shape of the point markers of a map series.
enum class MarkerStyle { Diamond, Hexagon };

// The chart control of a map page: a chart view that reports the events the
// map chart editor handles, the way the window's other controls do.
//
// The map series draws its points as markers of one shape in the series
// colour. A point may carry a colour of its own (the series' point
// configuration, key Color); the chart draws such a point with a marker of
// the same shape in that colour, on top of the series.
class TChart : public QChartView {
    Q_OBJECT
public:
    explicit TChart(QWidget* parent = nullptr);

    // Key pressed while the chart has the keyboard focus (Qt key code).
    std::function<void(int key)> OnKeyDown;
    // A mouse button pressed on a point of the series; valueIndex is the
    // index of the point hit.
    std::function<void(int valueIndex, Qt::MouseButton button)> OnClickSeries;
    std::function<void()> OnMouseEnter;
    std::function<void()> OnMouseLeave;

    // Fixed axes; the map chart sets them up.
    QValueAxis* BottomAxis = nullptr;
    QValueAxis* LeftAxis = nullptr;

    // Makes `series` (already added to the chart, axes attached) the series
    // whose points are clicked and coloured, drawn with markers of `style`.
    void SetMapSeries(QXYSeries* series, MarkerStyle style);
    QXYSeries* MapSeries() const { return series; }

    // The point's own colour; invalid when it has none.
    QColor PointColor(int index) const;

    // Index of the series point whose marker lies under `pos` (viewport
    // coordinates), or -1.
    int PointAt(const QPointF& pos) const;
    // Where point `index` is drawn, in viewport coordinates.
    QPointF PointPosition(int index) const;

    static constexpr int MarkerSize = 10;

    // The reference line: grey, dashed, without markers, behind the map
    // series and its coloured points, through each run of points given (a
    // gap between runs is left empty). No runs: no line.
    void SetReferenceLine(const QList<QList<QPointF>>& runs);
    // The series that draw the reference line, one a run; those beyond the
    // runs given last are empty.
    const QList<QLineSeries*>& ReferenceLines() const { return referenceLines; }

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    void UpdateColouredPoints();
    void KeepMapSeriesInFront();

    QXYSeries* series = nullptr;
    MarkerStyle style = MarkerStyle::Diamond;
    // One scatter series per point colour, holding the points of that colour.
    QHash<QRgb, QScatterSeries*> colouredPoints;
    QList<QLineSeries*> referenceLines;
};
