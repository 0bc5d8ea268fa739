#include "telemetry/cprogressbarv2.h"

#include <QDebug>
#include <QFrame>
#include <QMouseEvent>

#include <cmath>

namespace {
// The bar's usable width is its width less this margin.
constexpr int kSpanMargin = 30;
}

CProgressBarV2::CProgressBarV2(QWidget* parent)
    : QProgressBar(parent)
{
}

bool CProgressBarV2::valueAt(int x, int* value) const
{
    const int span = (geometry().right() - geometry().left()) - (kSpanMargin - 1);
    if (span <= 0)
        return false;
    *value = int(double(x) / span * (maximum() - minimum()) + minimum());
    return true;
}

bool CProgressBarV2::pick(QMouseEvent* event, const char* what)
{
    // Halves round upward.
    const int x = int(std::floor(event->localPos().x() + 0.5));
    const int y = int(std::floor(event->localPos().y() + 0.5));
    int value = 0;
    if (!valueAt(x, &value))
        return false;
    m_lastX = x;
    m_lastY = y;
    setValue(value); // a value outside the range leaves the bar as it is
    if (auto* frame = qobject_cast<QFrame*>(parentWidget())) {
        qDebug() << what << frame->objectName();
        emit changeVale(value, frame->objectName());
    }
    return true;
}

void CProgressBarV2::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    int value = 0;
    if (!valueAt(0, &value))
        return; // too narrow to pick anything
    m_pressed = true;
    pick(event, "qprogress clicked. Parent frame name:");
    QWidget::mousePressEvent(event);
}

void CProgressBarV2::mouseMoveEvent(QMouseEvent* event)
{
    if (m_pressed)
        pick(event, "qprogress move. Parent frame name:");
    QWidget::mouseMoveEvent(event);
}

void CProgressBarV2::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        m_pressed = false;
    QWidget::mouseReleaseEvent(event);
}
