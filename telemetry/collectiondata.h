#ifndef COLLECTIONDATA_H
#define COLLECTIONDATA_H

// The sample window of one live-chart channel. Each telemetry packet of the
// ticked ESC adds one value; the producer hands back the whole point list
// the channel's line shows (newest sample at the right end, x = 0, 1, ...).
//
//   CollectionData speed(nullptr, 30, speedSeries);
//   connect(&speed, &CollectionData::sendSeriesV2, chart, &MainWindow::slotUpdateV2);
//   speed.setEnabledScale(true, 0.1f);
//   speed.addPoint(1234.0f, true, speed.isEnabled());
//
// The producer is moved to a thread of its own when it is built (its start
// slot runs there), but every live call comes straight from the GUI thread,
// which is also where its signals are emitted. The thread is stopped and
// deleted with the producer, so build it without a parent and delete it
// from the thread that created it.

#include <QObject>
#include <QPointF>
#include <QVector>

class QThread;
class QTimer;

namespace QtCharts {
class QLineSeries;
}
using QtCharts::QLineSeries;

class CollectionData : public QObject
{
    Q_OBJECT
public:
    // Samples of the live window, and of the append and demonstration paths.
    static constexpr int kLiveWindow = 801;
    static constexpr int kLongWindow = 8000;
    // A value at or below this is no sample (a channel with nothing yet).
    static constexpr float kFloor = -41.0f;

    CollectionData(QObject* parent, int offset, QLineSeries* series);
    ~CollectionData() override;

    // The live feed: records value (unless add is false, which clears the
    // line and the window) and emits the points, or an empty line when the
    // channel is off. Without a series nothing is emitted.
    void addPoint(float value, bool add, bool enabled);
    // Switches the channel; the scale applies to samples that come later.
    void setEnabledScale(bool on, float scale);
    bool isEnabled() const { return m_enabled; }
    void resetHistory();
    // The alternative feed with its own 800-sample wrap; returns the next
    // start position, 0 when the window was cleared.
    int appendValue(float value, int startIndex);
    void stopTimer();

    const QVector<QPointF>& history() const { return m_history; }
    quint16 counter() const { return m_counter; }
    float scale() const { return m_scale; }
    QLineSeries* series() const { return m_series; }

signals:
    void startInit();
    void sendSeries(QVector<QPointF> points);
    void sendSeriesV2(QLineSeries* series, QVector<QPointF> points);

public slots:
    void slotStartInit();
    void slotStartInit2();
    void slotStartInit3();
    void processSinData();
    void processData();

private:
    float scaled(float value) const;
    void createTimer();
    void emitPoints(const QVector<QPointF>& points);
    void appendGenerated(double x, double y);

    QTimer* m_timer = nullptr;
    QVector<QPointF> m_history;
    QLineSeries* m_series = nullptr;
    quint16 m_counter = 0;
    int m_offset = 0;
    int m_startIndex = -1;
    bool m_enabled = false;
    float m_scale = 0.0f;
    QThread* m_thread = nullptr;
};

#endif // COLLECTIONDATA_H
