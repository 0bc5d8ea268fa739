#include "telemetry/collectiondata.h"

#include <QLineSeries>
#include <QMetaType>
#include <QTimer>

#include <cmath>

#include "link/appthread.h"

namespace {

// The triangle wave of the demonstration generator, shared by every producer.
double g_triangleLevel = 0.0;
bool g_triangleRising = true;

constexpr double kPi = 3.14159265358979323846;

} // namespace

CollectionData::CollectionData(QObject* parent, int offset, QLineSeries* series)
    : QObject(parent)
    , m_series(series)
    , m_offset(offset)
{
    qRegisterMetaType<QVector<QPointF>>("QVector<QPointF>");
    qRegisterMetaType<QLineSeries*>("QLineSeries*");
    if (offset == 0)
        connect(this, &CollectionData::startInit, this, &CollectionData::slotStartInit);
    else if (offset == 1)
        connect(this, &CollectionData::startInit, this, &CollectionData::slotStartInit2);
    else
        connect(this, &CollectionData::startInit, this, &CollectionData::slotStartInit3);

    m_thread = new AppThread;
    moveToThread(m_thread);
    m_thread->start(QThread::InheritPriority);
    emit startInit();
}

CollectionData::~CollectionData()
{
    // The object (and its timer) belong to the thread: end it first, so
    // that nothing of the producer runs while it goes.
    m_thread->quit();
    m_thread->wait();
    delete m_thread;
}

void CollectionData::createTimer()
{
    m_timer = new QTimer(this);
    connect(m_timer, &QTimer::timeout, this, &CollectionData::processData);
}

void CollectionData::slotStartInit()
{
    createTimer();
}

void CollectionData::slotStartInit2()
{
    createTimer();
}

void CollectionData::slotStartInit3()
{
    createTimer();
}

float CollectionData::scaled(float value) const
{
    return m_scale > 0.0001f ? value * m_scale : value;
}

void CollectionData::emitPoints(const QVector<QPointF>& points)
{
    if (m_series)
        emit sendSeriesV2(m_series, points);
    else
        emit sendSeries(points);
}

void CollectionData::addPoint(float value, bool add, bool enabled)
{
    if (value <= kFloor)
        return;
    if (m_history.size() >= kLiveWindow)
        m_history.removeFirst();
    if (add)
        m_history.append(QPointF(m_counter, scaled(value)));
    ++m_counter;
    if (!m_series)
        return;
    if (!add) {
        emit sendSeriesV2(m_series, QVector<QPointF>());
        m_history.clear();
        return;
    }
    if (!enabled) {
        emit sendSeriesV2(m_series, QVector<QPointF>());
        return;
    }
    // One vector, filled in place and handed over whole: the line takes it
    // in a single replace.
    const int n = m_history.size();
    QVector<QPointF> points(n);
    QPointF* out = points.data();
    const QPointF* in = m_history.constData();
    for (int i = 0; i < n; ++i)
        out[i] = QPointF(i, in[i].y());
    emit sendSeriesV2(m_series, points);
}

void CollectionData::setEnabledScale(bool on, float scale)
{
    if (!on)
        m_startIndex = -1;
    m_enabled = on;
    m_scale = scale;
}

void CollectionData::resetHistory()
{
    m_history.clear();
    m_startIndex = 0;
    ++m_counter;
    emitPoints(QVector<QPointF>());
}

int CollectionData::appendValue(float value, int startIndex)
{
    if (m_startIndex == -1 && startIndex != -1)
        m_startIndex = startIndex;
    m_history.append(QPointF(m_counter, scaled(value)));
    if (m_history.size() >= kLongWindow) {
        m_history.removeFirst();
        stopTimer();
    }
    QVector<QPointF> points;
    points.reserve(m_history.size());
    for (int i = 0; i < m_history.size(); ++i)
        points.append(QPointF(m_startIndex + i, m_history.at(i).y()));
    ++m_counter;
    emitPoints(points);
    const int next = (m_startIndex + m_history.size()) % 800;
    if (next == 0)
        m_history.clear();
    return next;
}

void CollectionData::stopTimer()
{
    if (m_timer && m_timer->isActive())
        m_timer->stop();
}

void CollectionData::appendGenerated(double x, double y)
{
    m_history.append(QPointF(x, y));
    if (m_history.size() >= kLongWindow) {
        m_history.removeFirst();
        stopTimer();
    }
    QVector<QPointF> points;
    for (int i = 0; m_offset + i < m_history.size(); ++i)
        points.append(QPointF(i, m_history.at(m_offset + i).y()));
    ++m_counter;
    emitPoints(points);
}

void CollectionData::processSinData()
{
    appendGenerated(m_counter, 10.0 * std::sin(m_counter * kPi * 4.0 / 180.0));
}

void CollectionData::processData()
{
    if (g_triangleRising) {
        if (g_triangleLevel > 10.0) {
            g_triangleRising = false;
            g_triangleLevel -= 0.1;
        } else {
            g_triangleLevel += 0.1;
        }
    } else {
        if (g_triangleLevel <= -9.9) {
            g_triangleRising = true;
            g_triangleLevel += 0.1;
        } else {
            g_triangleLevel -= 0.1;
        }
    }
    appendGenerated(m_counter, g_triangleLevel);
}
