#include "telemetry/customchartview.h"

#include <QKeyEvent>
#include <QMouseEvent>

#include <cmath>

using QtCharts::QChart;

CustomChartView::CustomChartView(QChart* chart, QWidget* parent)
    : QChartView(chart, parent)
{
    setRubberBand(QChartView::RectangleRubberBand);
}

void CustomChartView::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::RightButton)
        chart()->zoomReset();
    QChartView::mousePressEvent(event);
}

void CustomChartView::mouseReleaseEvent(QMouseEvent* event)
{
    if (m_dragging) {
        m_dragging = false;
        m_lastX = 0;
        m_lastY = 0;
    }
    // QChartView would zoom out one step on a right release; the press
    // already showed the whole chart.
    if (event->button() == Qt::RightButton) {
        event->accept();
        return;
    }
    QChartView::mouseReleaseEvent(event);
}

void CustomChartView::mouseMoveEvent(QMouseEvent* event)
{
    if (!m_dragging) {
        QChartView::mouseMoveEvent(event);
        return;
    }
    const int x = int(std::lround(event->localPos().x()));
    const int y = int(std::lround(event->localPos().y()));
    if (m_lastX != 0 || m_lastY != 0)
        chart()->scroll(-(x - m_lastX), y - m_lastY);
    m_lastX = x;
    m_lastY = y;
    event->accept();
}

void CustomChartView::keyPressEvent(QKeyEvent* event)
{
    // Not the view's (QGraphicsView would scroll on arrows): the page's.
    event->ignore();
}
