#ifndef MAINWINDOW_H
#define MAINWINDOW_H

// The live chart of the throttle tab: seven lines (speed, current,
// throttle, voltage, MOS, capacitor and motor temperature) of the ESC whose
// row is ticked. Each line has a producer (CollectionData) that keeps its
// 801-sample window and hands back the points to draw.
//
//   auto* chart = new MainWindow(host);
//   chart->setChannelEnabled(MainWindow::kSpeed, true, 0.1f);
//   chart->addSamples(speed, current, throttle, volt, tMos, tCap, tMot, true);
//
// Wheel zooms, a left drag zooms into a rectangle, a right click shows the
// whole chart again. The producers' threads end with the chart.
//
// Each sample replaces the whole point list of every channel. Laying out an
// 801-point line costs Qt Charts about 0.15 ms, so a line is replaced at
// most once per frame (kFrameMs): a sample that comes sooner after the last
// replace is drawn with the next frame, together with whatever came in
// between. At telemetry rates below the frame rate every sample is drawn as
// it comes.

#include <QElapsedTimer>
#include <QList>
#include <QPointF>
#include <QTimer>
#include <QVector>
#include <QWidget>

#include <array>

class Callout;
class CollectionData;
class CustomChartView;

namespace QtCharts {
class QChart;
class QLineSeries;
class QValueAxis;
}

namespace Ui {
class MainWindow;
}

class MainWindow : public QWidget
{
    Q_OBJECT
public:
    static constexpr int kChannels = 7;
    static constexpr int kFrameMs = 40;
    enum Channel { kSpeed, kCurrent, kThrottle, kVoltage, kTempMos, kTempCap, kTempMotor };

    explicit MainWindow(QWidget* parent = nullptr);
    ~MainWindow() override;

    // One sample for every channel; add = false changes nothing.
    void addSamples(float speed, float current, float throttle, float voltage, float tempMos,
                    float tempCap, float tempMotor, bool add);
    // Channel 0..6 on or off, with the scale of the samples that follow.
    void setChannelEnabled(int channel, bool on, float scale);
    // Every channel's scale, for samples that follow; on/off stays.
    void setAllScale(float scale);
    // The alternative feed with its own 800-sample wrap (not used by the page).
    void appendChannelValue(int channel, float value);
    void clearAllChannels();

    QtCharts::QChart* chart() const { return m_chart; }
    CustomChartView* chartView() const { return m_chartView; }
    QtCharts::QLineSeries* series(int channel) const;
    CollectionData* producer(int channel) const;
    QtCharts::QValueAxis* axisX() const { return m_axisX; }
    QtCharts::QValueAxis* axisY() const { return m_axisY; }
    const QList<Callout*>& keptCallouts() const { return m_callouts; }
    Callout* currentCallout() const { return m_tooltip; }
    // Replaces every line that has new points now, frame or not.
    void flushLines();
    bool linesPending() const { return m_pendingMask != 0; }

public slots:
    void slotUpdate(QVector<QPointF> data);
    void slotUpdateV2(QtCharts::QLineSeries* selSeries, QVector<QPointF> data);
    void keepCallout();
    void tooltip(QPointF point, bool state);

protected:
    void wheelEvent(QWheelEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void scheduleFlush();

    Ui::MainWindow* ui = nullptr;
    QtCharts::QLineSeries* m_baseSeries = nullptr;
    QtCharts::QChart* m_chart = nullptr;
    QtCharts::QValueAxis* m_axisX = nullptr;
    QtCharts::QValueAxis* m_axisY = nullptr;
    CollectionData* m_baseProducer = nullptr;
    CustomChartView* m_chartView = nullptr;
    Callout* m_tooltip = nullptr;
    QList<Callout*> m_callouts;
    std::array<QtCharts::QLineSeries*, kChannels> m_series {};
    std::array<CollectionData*, kChannels> m_producers {};
    int m_appendPos = 0;
    // Points handed over but not drawn yet, per channel (bit c of the mask).
    std::array<QVector<QPointF>, kChannels> m_pending;
    unsigned m_pendingMask = 0;
    bool m_inBatch = false;
    QTimer m_flushTimer;
    QElapsedTimer m_sinceFlush;
};

#endif // MAINWINDOW_H
