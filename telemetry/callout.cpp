#include "telemetry/callout.h"

#include <QChart>
#include <QFontMetrics>
#include <QGraphicsSceneMouseEvent>
#include <QPainter>

#include <cmath>

using QtCharts::QChart;

Callout::Callout(QChart* chart)
    : QGraphicsItem(chart)
    , m_chart(chart)
{
}

void Callout::setText(const QString& text)
{
    m_text = text;
    const QFontMetrics metrics(m_font);
    m_textRect = metrics.boundingRect(QRect(0, 0, 150, 150), Qt::AlignLeft, m_text);
    m_textRect.translate(5, 5);
    prepareGeometryChange();
    m_rect = m_textRect.adjusted(-5, -5, 5, 5);
}

void Callout::setAnchor(QPointF point)
{
    m_anchor = point;
}

void Callout::updateGeometry()
{
    prepareGeometryChange();
    setPos(m_chart->mapToPosition(m_anchor) + QPoint(10, -50));
}

QRectF Callout::boundingRect() const
{
    const QPointF anchor = mapFromParent(m_chart->mapToPosition(m_anchor));
    QRectF rect;
    rect.setLeft(std::min(m_rect.left(), anchor.x()));
    rect.setRight(std::max(m_rect.right(), anchor.x()));
    rect.setTop(std::min(m_rect.top(), anchor.y()));
    rect.setBottom(std::max(m_rect.bottom(), anchor.y()));
    return rect;
}

QPainterPath Callout::outline() const
{
    QPainterPath path;
    path.addRoundedRect(m_rect, 5, 5);
    const QPointF anchor = mapFromParent(m_chart->mapToPosition(m_anchor));
    if (m_rect.contains(anchor))
        return path;

    // Where the anchor lies against the box, each class 1 or 0.
    const bool above = anchor.y() <= m_rect.top();
    const bool aboveCenter = anchor.y() > m_rect.top() && anchor.y() <= m_rect.center().y();
    const bool belowCenter = anchor.y() > m_rect.center().y() && anchor.y() <= m_rect.bottom();
    const bool below = anchor.y() > m_rect.bottom();
    const bool onLeft = anchor.x() <= m_rect.left();
    const bool leftOfCenter = anchor.x() > m_rect.left() && anchor.x() <= m_rect.center().x();
    const bool rightOfCenter = anchor.x() > m_rect.center().x() && anchor.x() <= m_rect.right();
    const bool onRight = anchor.x() > m_rect.right();

    // The corner of the box nearest to the anchor; the wedge starts beside it.
    const qreal x = (onRight + rightOfCenter) * m_rect.width();
    const qreal y = (below + belowCenter) * m_rect.height();
    const bool cornerCase = (above && onLeft) || (above && onRight) || (below && onLeft) || (below && onRight);
    const bool vertical = std::abs(anchor.x() - x) > std::abs(anchor.y() - y);

    const qreal x1 = x + leftOfCenter * 10 - rightOfCenter * 20
        + cornerCase * !vertical * (onLeft * 10 - onRight * 20);
    const qreal y1 = y + aboveCenter * 10 - belowCenter * 20
        + cornerCase * vertical * (above * 10 - below * 20);
    const qreal x2 = x + leftOfCenter * 20 - rightOfCenter * 10
        + cornerCase * !vertical * (onLeft * 20 - onRight * 10);
    const qreal y2 = y + aboveCenter * 20 - belowCenter * 10
        + cornerCase * vertical * (above * 20 - below * 10);

    path.moveTo(x1, y1);
    path.lineTo(anchor);
    path.lineTo(x2, y2);
    return path.simplified();
}

void Callout::paint(QPainter* painter, const QStyleOptionGraphicsItem*, QWidget*)
{
    painter->setBrush(QColor(255, 255, 255));
    painter->drawPath(outline());
    painter->drawText(m_textRect, m_text);
}

void Callout::mousePressEvent(QGraphicsSceneMouseEvent* event)
{
    event->setAccepted(true);
}

void Callout::mouseMoveEvent(QGraphicsSceneMouseEvent* event)
{
    if (event->buttons() & Qt::LeftButton) {
        setPos(mapToParent(event->pos() - event->buttonDownPos(Qt::LeftButton)));
        event->setAccepted(true);
    } else {
        event->setAccepted(false);
    }
}
