#include "telemetry/mainwindow.h"
#include "ui_mainwindow.h"

#include <QChart>
#include <QLineSeries>
#include <QPen>
#include <QResizeEvent>
#include <QValueAxis>
#include <QWheelEvent>

#include <algorithm>

#include "telemetry/callout.h"
#include "telemetry/collectiondata.h"
#include "telemetry/customchartview.h"

using namespace QtCharts;

namespace {

struct ChannelStyle {
    Qt::GlobalColor colour;
    int offset; // the producer's offset; no effect on the live feed
};

constexpr ChannelStyle kChannelStyles[MainWindow::kChannels] = {
    {Qt::blue, 30},     {Qt::red, 40},     {Qt::green, 50},       {Qt::darkBlue, 60},
    {Qt::darkRed, 70},  {Qt::darkGreen, 80}, {Qt::darkYellow, 90},
};

constexpr int kMaxKeptCallouts = 3;
constexpr qreal kWheelZoom = 1.1;

} // namespace

MainWindow::MainWindow(QWidget* parent)
    : QWidget(parent)
    , ui(new Ui::MainWindow)
{
    ui->setupUi(this);
    m_baseSeries = new QLineSeries;
    m_baseSeries->setPointLabelsVisible(false);
    m_chart = new QChart;
    m_chart->addSeries(m_baseSeries);

    m_axisX = new QValueAxis;
    m_axisX->setRange(0, 800);
    m_axisX->setTickCount(11);
    m_axisX->setTitleText(QStringLiteral("Time/sec"));
    m_axisX->setGridLineVisible(false);
    m_axisY = new QValueAxis;
    m_axisY->setRange(-400, 4000);
    m_axisY->setTickCount(12);
    m_axisY->setTitleText(tr("Range of value"));
    // Whole numbers in a small font: twelve labels must fit the height of
    // a low chart, or Qt Charts elides them.
    m_axisY->setLabelFormat(QStringLiteral("%d"));
    QFont labels = m_axisY->labelsFont();
    labels.setPointSize(7);
    m_axisY->setLabelsFont(labels);
    m_axisY->setGridLineVisible(false);
    m_chart->legend()->hide();
    m_chart->addAxis(m_axisX, Qt::AlignBottom);
    m_chart->addAxis(m_axisY, Qt::AlignLeft);
    m_baseSeries->attachAxis(m_axisX);
    m_baseSeries->attachAxis(m_axisY);

    m_chartView = new CustomChartView(m_chart, this);
    ui->gridLayout->addWidget(m_chartView);
    m_chartView->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    m_chartView->setRenderHint(QPainter::Antialiasing);

    m_baseProducer = new CollectionData(nullptr, 0, nullptr);
    connect(m_baseProducer, &CollectionData::sendSeries, this, &MainWindow::slotUpdate);
    connect(m_baseSeries, &QLineSeries::clicked, this, &MainWindow::keepCallout);
    connect(m_baseSeries, &QLineSeries::hovered, this, &MainWindow::tooltip);

    for (int i = 0; i < kChannels; ++i) {
        auto* line = new QLineSeries;
        line->setPen(QPen(QBrush(kChannelStyles[i].colour), 1, Qt::SolidLine));
        m_chart->addSeries(line);
        line->attachAxis(m_axisX);
        line->attachAxis(m_axisY);
        m_series[i] = line;
        // No parent: a producer lives in a thread of its own; deleted below.
        m_producers[i] = new CollectionData(nullptr, kChannelStyles[i].offset, line);
        connect(m_producers[i], &CollectionData::sendSeriesV2, this, &MainWindow::slotUpdateV2);
    }

    m_flushTimer.setSingleShot(true);
    connect(&m_flushTimer, &QTimer::timeout, this, &MainWindow::flushLines);
}

MainWindow::~MainWindow()
{
    // Each producer ends and deletes its thread.
    for (CollectionData* producer : m_producers)
        delete producer;
    delete m_baseProducer;
    delete ui;
}

QLineSeries* MainWindow::series(int channel) const
{
    return channel >= 0 && channel < kChannels ? m_series[channel] : nullptr;
}

CollectionData* MainWindow::producer(int channel) const
{
    return channel >= 0 && channel < kChannels ? m_producers[channel] : nullptr;
}

void MainWindow::addSamples(float speed, float current, float throttle, float voltage,
                            float tempMos, float tempCap, float tempMotor, bool add)
{
    if (!add)
        return;
    const float values[kChannels] = {speed, current, throttle, voltage, tempMos, tempCap, tempMotor};
    // The seven lines of one sample go out in the same frame.
    m_inBatch = true;
    for (int i = 0; i < kChannels; ++i)
        m_producers[i]->addPoint(values[i], true, m_producers[i]->isEnabled());
    m_inBatch = false;
    scheduleFlush();
}

void MainWindow::setChannelEnabled(int channel, bool on, float scale)
{
    if (CollectionData* p = producer(channel))
        p->setEnabledScale(on, scale);
}

void MainWindow::setAllScale(float scale)
{
    for (CollectionData* p : m_producers)
        p->setEnabledScale(p->isEnabled(), scale);
}

void MainWindow::appendChannelValue(int channel, float value)
{
    CollectionData* p = producer(channel);
    if (!p || !p->isEnabled())
        return;
    m_appendPos = p->appendValue(value, m_appendPos);
    if (m_appendPos == 0)
        clearAllChannels();
}

void MainWindow::clearAllChannels()
{
    for (CollectionData* p : m_producers)
        p->resetHistory();
}

void MainWindow::slotUpdate(QVector<QPointF> data)
{
    m_baseSeries->replace(data);
}

void MainWindow::slotUpdateV2(QLineSeries* selSeries, QVector<QPointF> data)
{
    if (!selSeries)
        return;
    const auto it = std::find(m_series.begin(), m_series.end(), selSeries);
    if (it == m_series.end()) {
        selSeries->replace(data);
        return;
    }
    const int channel = int(it - m_series.begin());
    m_pending[channel] = std::move(data);
    m_pendingMask |= 1u << channel;
    if (!m_inBatch)
        scheduleFlush();
}

void MainWindow::scheduleFlush()
{
    if (m_pendingMask == 0 || m_flushTimer.isActive())
        return;
    const qint64 since = m_sinceFlush.isValid() ? m_sinceFlush.elapsed() : kFrameMs;
    if (since >= kFrameMs)
        flushLines();
    else
        m_flushTimer.start(int(kFrameMs - since));
}

void MainWindow::flushLines()
{
    m_flushTimer.stop();
    for (int c = 0; c < kChannels; ++c) {
        if (m_pendingMask & (1u << c)) {
            // One bulk replace of the whole list.
            m_series[c]->replace(m_pending[c]);
            m_pending[c] = QVector<QPointF>();
        }
    }
    m_pendingMask = 0;
    m_sinceFlush.start();
}

void MainWindow::keepCallout()
{
    if (!m_tooltip)
        return; // nothing shown yet, nothing to keep
    m_callouts.append(m_tooltip);
    m_tooltip = new Callout(m_chart);
    if (m_callouts.size() > kMaxKeptCallouts)
        delete m_callouts.takeFirst();
}

void MainWindow::tooltip(QPointF point, bool state)
{
    if (!m_tooltip)
        m_tooltip = new Callout(m_chart);
    if (!state) {
        m_tooltip->hide();
        return;
    }
    m_tooltip->setText(QStringLiteral("X: %1 \nY: %2 ").arg(point.x()).arg(point.y()));
    m_tooltip->setAnchor(point);
    m_tooltip->setZValue(11);
    m_tooltip->updateGeometry();
    m_tooltip->show();
}

void MainWindow::wheelEvent(QWheelEvent* event)
{
    m_chart->zoom(event->angleDelta().y() > 0 ? kWheelZoom : 1 / kWheelZoom);
    QWidget::wheelEvent(event);
}

void MainWindow::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::LanguageChange)
        m_axisY->setTitleText(tr("Range of value"));
}

void MainWindow::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    resize(event->size());
    m_chartView->resize(event->size());
}
