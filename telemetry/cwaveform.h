#ifndef CWAVEFORM_H
#define CWAVEFORM_H

// The on/off tile of one chart channel: a miniature triangle wave in the
// channel's colour, on white when the channel is shown and on grey when it
// is hidden. It watches its host frame (install it as the frame's event
// filter); a left click on the frame toggles it and reports the new state.
//
//   auto* tile = new CWaveForm(frame, Qt::blue);
//   frame->installEventFilter(tile);
//   connect(tile, &CWaveForm::waveStateChange, page, &Page::onChannelSwitched);
//   tile->setState(true);   // sets without reporting

#include <QChartView>
#include <QColor>
#include <QPointer>
#include <QWidget>

namespace QtCharts {
class QChart;
class QLineSeries;
}

class CWaveForm : public QWidget
{
    Q_OBJECT
public:
    CWaveForm(QWidget* parent, QColor colour);
    ~CWaveForm() override;

    void setState(bool on);
    bool isOn() const { return m_on; }
    QtCharts::QChartView* chartView() const { return m_view; }
    QtCharts::QLineSeries* line() const { return m_line; }

    bool eventFilter(QObject* watched, QEvent* event) override;

signals:
    void waveStateChange(bool state);

private:
    void fillWave();

    double m_frequency = 1.5;
    double m_amplitude = 3.0;
    // The host frame's child: the frame may take it down first.
    QPointer<QtCharts::QChartView> m_view;
    QtCharts::QChart* m_chart = nullptr;
    QtCharts::QLineSeries* m_line = nullptr;
    QColor m_colour;
    bool m_on = false;
};

#endif // CWAVEFORM_H
