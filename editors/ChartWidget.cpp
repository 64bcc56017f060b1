#include "ChartWidget.h"

#include "Seams.h"

#include <QKeyEvent>
#include <QMouseEvent>

TChart::TChart(QWidget* parent)
    : QChartView(parent)
{
    setFocusPolicy(Qt::ClickFocus);
}

void TChart::keyPressEvent(QKeyEvent* event)
{
    if (OnKeyDown)
        OnKeyDown(event->key());
    QChartView::keyPressEvent(event);
}

void TChart::mousePressEvent(QMouseEvent* event)
{
    setFocus(Qt::MouseFocusReason);
    QChartView::mousePressEvent(event);
}

void TChart::enterEvent(QEnterEvent* event)
{
    if (OnMouseEnter)
        OnMouseEnter();
    QChartView::enterEvent(event);
}

void TChart::leaveEvent(QEvent* event)
{
    if (OnMouseLeave)
        OnMouseLeave();
    QChartView::leaveEvent(event);
}
