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
enum class MarkerStyle {
    Diamond,
    Hexagon
};

// What a drag that began on a marker reports: the pointer moved with the
// button held, the button released after such moves, the button released
// without any (a click), or Escape pressed during the drag.
enum class PointDrag {
    Move,
    Release,
    Click,
    Cancel
};

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
    // The left button dragged across the chart from one place to another:
    // the points whose engine speed lies between the two, from the one
    // nearest the press (from) to the one nearest the release (to).
    std::function<void(int from, int to)> OnDragSelect;
    // The left button went down on the marker of point `index` and the
    // pointer moved `delta` (in units of the vertical axis, up positive)
    // since; see PointDrag. After a Cancel the drag reports nothing more;
    // until then other keys are not reported.
    std::function<void(int index, double delta, PointDrag phase)> OnPointDrag;
    // The point whose marker is under the pointer (or within a few pixels of
    // it) changed to `index`, -1 for none. During a drag from a marker it
    // stays that marker's point.
    std::function<void(int index)> OnHoverPoint;
    std::function<void()> OnMouseEnter;
    std::function<void()> OnMouseLeave;

    // Fixed axes; the map chart sets them up.
    QValueAxis* BottomAxis = nullptr;
    QValueAxis* LeftAxis = nullptr;

    // Makes `series` (already added to the chart, axes attached) the series
    // whose points are clicked and coloured, drawn with markers of `style`.
    void SetMapSeries(QXYSeries* series, MarkerStyle style);
    QXYSeries* MapSeries() const { return series; }

    // The modifier keys held with the key or mouse button being reported.
    Qt::KeyboardModifiers EventModifiers() const { return eventModifiers; }

    // Gives the points from `first` to `last` the colour `inside`, and those
    // of `before` (a range too; empty when first > last) that lie outside
    // it the colour `outside`, in one change of the series.
    void ColourPoints(int beforeFirst, int beforeLast, const QColor& outside, int first, int last,
                      const QColor& inside);

    // The point's own colour; invalid when it has none.
    QColor PointColor(int index) const;

    // Index of the series point whose marker lies under `pos` (viewport
    // coordinates), or -1.
    int PointAt(const QPointF& pos) const;
    // Where point `index` is drawn, in viewport coordinates.
    QPointF PointPosition(int index) const;

    int HoverPoint() const { return hoverPoint; }

    // Whether the left button holds a marker (a press on one, not yet let go).
    bool MarkerHeld() const { return pressPoint >= 0; }
    // Ends a held marker's drag as Escape does (Cancel); false when none is held.
    bool CancelPointDrag();

    static constexpr int MarkerSize = 10;

    // The reference line: grey, dashed, without markers, behind the map
    // series and its coloured points, through each run of points given (a
    // gap between runs is left empty). No runs: no line.
    void SetReferenceLine(const QList<QList<QPointF>>& runs);
    // The series that draw the reference line, one a run; those beyond the
    // runs given last are empty.
    const QList<QLineSeries*>& ReferenceLines() const { return referenceLines; }
    // Rings around the map points whose reference value is unknown; they
    // follow the points as they move.
    void SetUnknownPoints(const QList<int>& indices);
    const QList<int>& UnknownPoints() const { return unknownIndices; }
    const QScatterSeries* UnknownRings() const { return unknownRings; }

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    void MapSeriesChanged();
    void UpdateColouredPoints();
    void UpdatePointsArea();
    void SetHoverPoint(int index);
    double ValueAt(const QPointF& pos) const;
    void KeepMapSeriesInFront();

    QXYSeries* series = nullptr;
    MarkerStyle style = MarkerStyle::Diamond;
    // One scatter series per point colour, holding the points of that colour.
    QHash<QRgb, QScatterSeries*> colouredPoints;
    QList<QLineSeries*> referenceLines;
    void PlaceUnknownRings();
    QList<int> unknownIndices;
    QScatterSeries* unknownRings = nullptr;
    Qt::KeyboardModifiers eventModifiers;
    // Where the left button went down, and whether it has been dragged.
    QPointF pressAt;
    bool pressed = false;
    bool dragged = false;
    // The marker the left button went down on, or -1.
    int pressPoint = -1;
    // The delta the drag last reported.
    double dragDelta = 0.0;
    int hoverPoint = -1;
    // Where the map series' markers were last drawn, in viewport
    // coordinates: a change repaints that area and the new one.
    QRectF pointsArea;
};
