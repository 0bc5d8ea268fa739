#include "telemetry/cwaveform.h"

#include <QChart>
#include <QChartView>
#include <QDebug>
#include <QGraphicsLayout>
#include <QLineSeries>
#include <QMouseEvent>

#include <cmath>

using namespace QtCharts;

namespace {
constexpr double kPi = 3.14159265358979323846;
constexpr int kWavePoints = 501;
}

CWaveForm::CWaveForm(QWidget* parent, QColor colour)
    : QWidget(parent)
    , m_colour(colour)
{
    setMouseTracking(true);

    m_chart = new QChart;
    m_chart->legend()->hide();
    m_chart->layout()->setContentsMargins(1.0, 1.0, 1.0, 1.0);
    m_chart->setMargins(QMargins(0, 0, 0, 0));
    m_chart->setBackgroundRoundness(0);
    m_chart->setBackgroundBrush(QBrush(Qt::gray));

    m_view = new QChartView(m_chart, parent);
    m_view->setRenderHint(QPainter::Antialiasing);
    if (parent)
        m_view->resize(parent->size());
    // The whole tile is the switch: a click on the drawn line must reach
    // the host frame as a click anywhere else does.
    m_view->setAttribute(Qt::WA_TransparentForMouseEvents);

    m_line = new QLineSeries;
    fillWave();
    m_line->setColor(m_colour);
    m_chart->addSeries(m_line);
    m_view->setContentsMargins(0, 0, 0, 0);
    m_view->show();
}

CWaveForm::~CWaveForm()
{
    // The view owns the chart, the chart the line; the view is the frame's
    // child and may outlive the tile by an event-loop turn.
    if (m_view)
        m_view->deleteLater();
    m_view = nullptr;
    m_chart = nullptr;
    m_line = nullptr;
}

void CWaveForm::fillWave()
{
    m_line->clear();
    QVector<QPointF> points;
    points.reserve(kWavePoints);
    const double period = 2 * kPi / m_frequency;
    for (int i = 0; i < kWavePoints; ++i) {
        const double x = i * kPi / 250.0;
        const double m = std::fmod(x, period);
        const double y = m < period / 2 ? 2 * m_amplitude * m / period
                                         : 2 * m_amplitude * (period - m) / period;
        points.append(QPointF(x, y));
    }
    m_line->replace(points);
}

void CWaveForm::setState(bool on)
{
    m_on = on;
    m_chart->setBackgroundBrush(QBrush(on ? Qt::white : Qt::gray));
}

bool CWaveForm::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::MouseButtonPress) {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::LeftButton) {
            qDebug() << "Chart clicked with left button at:" << mouse->pos();
            setState(!m_on);
            emit waveStateChange(m_on);
        }
    }
    return QObject::eventFilter(watched, event);
}
