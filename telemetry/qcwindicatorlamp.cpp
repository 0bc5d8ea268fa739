#include "telemetry/qcwindicatorlamp.h"

#include <QLinearGradient>
#include <QPainter>
#include <QRadialGradient>

#include <algorithm>

QcwIndicatorLamp::QcwIndicatorLamp(QWidget* parent)
    : QWidget(parent)
{
    if (parent) {
        const int side = parent->height();
        resize(side, side);
    } else {
        resize(100, 100);
    }
}

void QcwIndicatorLamp::setRedMode(bool red)
{
    m_red = red;
}

void QcwIndicatorLamp::setAlarm(bool on)
{
    m_alarm = on;
    if (!on)
        m_red = false;
    update();
}

void QcwIndicatorLamp::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);

    // Drawn in a 200 x 200 square centred on the widget and scaled by the
    // shorter side, so the lamp stays round in any area.
    painter.translate(width() / 2, height() / 2);
    const qreal scale = std::min(width(), height()) / 200.0;
    painter.scale(scale, scale);
    painter.setPen(Qt::NoPen);

    QLinearGradient outer(0, -100, 0, 100);
    outer.setColorAt(0, QColor(255, 255, 255));
    outer.setColorAt(1, QColor(166, 166, 166));
    painter.setBrush(outer);
    painter.drawEllipse(-100, -100, 200, 200);

    QLinearGradient inner(0, -87, 0, 87);
    inner.setColorAt(0, QColor(166, 166, 166));
    inner.setColorAt(1, QColor(255, 255, 255));
    painter.setBrush(inner);
    painter.drawEllipse(-87, -87, 174, 174);

    QRadialGradient core(0, 0, 84);
    if (!m_alarm) {
        core.setColorAt(0, QColor(192, 192, 192));
        core.setColorAt(0.6, QColor(160, 160, 160));
        core.setColorAt(1, QColor(80, 80, 80));
    } else if (m_red) {
        core.setColorAt(0, QColor(245, 0, 0));
        core.setColorAt(0.6, QColor(210, 0, 0));
        core.setColorAt(1, QColor(166, 0, 0));
    } else {
        core.setColorAt(0, QColor(0, 245, 0));
        core.setColorAt(0.6, QColor(0, 210, 0));
        core.setColorAt(1, QColor(0, 166, 0));
    }
    painter.setBrush(core);
    painter.drawEllipse(-84, -84, 168, 168);
}
