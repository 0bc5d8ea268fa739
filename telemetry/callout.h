#ifndef CALLOUT_H
#define CALLOUT_H

// A balloon on the live chart: a white rounded box with text and a wedge
// pointing at an anchor given in the chart's value coordinates.
//
//   auto* balloon = new Callout(chart);   // a child item of the chart
//   balloon->setText("X: 12 \nY: 3.5 ");
//   balloon->setAnchor(QPointF(12, 3.5));
//   balloon->updateGeometry();
//   balloon->show();

#include <QFont>
#include <QGraphicsItem>
#include <QRectF>
#include <QString>

namespace QtCharts {
class QChart;
}

class Callout : public QGraphicsItem
{
public:
    explicit Callout(QtCharts::QChart* chart);

    void setText(const QString& text);
    void setAnchor(QPointF point);
    void updateGeometry();

    QString text() const { return m_text; }
    QPointF anchor() const { return m_anchor; }
    QRectF balloonRect() const { return m_rect; }
    // The outline paint() draws: the box, and the wedge when the anchor is
    // outside the box.
    QPainterPath outline() const;

    QRectF boundingRect() const override;
    void paint(QPainter* painter, const QStyleOptionGraphicsItem* option, QWidget* widget) override;

protected:
    void mousePressEvent(QGraphicsSceneMouseEvent* event) override;
    void mouseMoveEvent(QGraphicsSceneMouseEvent* event) override;

private:
    QString m_text;
    QRectF m_textRect;
    QRectF m_rect;
    QPointF m_anchor;
    QFont m_font;
    QtCharts::QChart* m_chart = nullptr;
};

#endif // CALLOUT_H
