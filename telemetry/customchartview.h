#ifndef CUSTOMCHARTVIEW_H
#define CUSTOMCHARTVIEW_H

// The live chart's view: drag with the left button to zoom into a
// rectangle, right-click to see the whole chart again. Keys are not the
// view's: they go on to the page (where any key on the throttle tab stops
// the throttle).

#include <QChartView>

class CustomChartView : public QtCharts::QChartView
{
public:
    CustomChartView(QtCharts::QChart* chart, QWidget* parent = nullptr);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    bool m_dragging = false;
    int m_lastX = 0;
    int m_lastY = 0;
};

#endif // CUSTOMCHARTVIEW_H
