#pragma once

#include <QChartView>
#include <functional>

class QLineSeries;

// The chart control of a map page: a chart view that reports the events the
// map chart editor handles, the way the window's other controls do.
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

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
};
