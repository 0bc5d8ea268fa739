// The widgets of the throttle tab on their own: telemetry decoding, status
// lamps, the clickable bar, the settings dialog, the chart's producers, the
// chart with its view and balloons, and the channel tiles.

#include <QtTest>

#include <QChart>
#include <QComboBox>
#include <QDir>
#include <QLineSeries>
#include <QPushButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QValueAxis>

#include <cstring>
#include <vector>

#include "link/cyphalports.h"
#include "telemetry/callout.h"
#include "telemetry/collectiondata.h"
#include "telemetry/cprogressbarv2.h"
#include "telemetry/customchartview.h"
#include "telemetry/cwaveform.h"
#include "telemetry/esctelemetry.h"
#include "telemetry/mainwindow.h"
#include "telemetry/qcwindicatorlamp.h"
#include "telemetry/statuslampform.h"
#include "telemetry/throtcfgdialog.h"

using namespace QtCharts;

namespace {

int threadCount()
{
    return QDir("/proc/self/task").entryList(QDir::Dirs | QDir::NoDotAndDotDot).size();
}

// The lit lamps of a panel as a status word (lamp i is bit 15 - i).
quint16 litWord(const statusLampForm& panel)
{
    quint16 word = 0;
    for (int i = 0; i < statusLampForm::kLamps; ++i) {
        if (panel.lamp(i)->isAlarm())
            word |= quint16(1u << (15 - i));
    }
    return word;
}

// Counts the repaints a widget asks for.
struct PaintCounter : QObject {
    int paints = 0;
    bool eventFilter(QObject*, QEvent* e) override
    {
        if (e->type() == QEvent::UpdateRequest || e->type() == QEvent::Paint)
            ++paints;
        return false;
    }
};

QVector<qreal> ys(const QLineSeries* s)
{
    QVector<qreal> out;
    for (const QPointF& p : s->pointsVector())
        out << p.y();
    return out;
}

} // namespace

class tst_TelemetryWidgets : public QObject
{
    Q_OBJECT
private slots:
    void decoderScalesAndRefusesShortPayloads_data();
    void decoderScalesAndRefusesShortPayloads();
    void lampsFollowTheStatusWord();
    void lampLabelsAndBits();
    void barPicksValuesAcrossItsSpan();
    void narrowBarIgnoresTheMouse();
    void dialogClampsAndKeepsItsValues();
    void producerWindowFloorAndScale();
    void producerOffAndClear();
    void producerAppendPath();
    void chartFeedsEnabledChannels();
    void chartConstantsTable();
    void chartZoomAndReset();
    void chartViewPassesKeysOn();
    void calloutWedgeAndSize();
    void chartThreadsEndWithIt();
    void tileTogglesOnLeftClickAnywhere();
};

void tst_TelemetryWidgets::decoderScalesAndRefusesShortPayloads_data()
{
    QTest::addColumn<int>("port");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QVector<float>>("values"); // the channels the port carries
    QTest::addColumn<int>("status");

    QTest::newRow("6160") << 6160 << QByteArray("\x39\x30\xfb\xff\x01\x80", 6) << true
                          << QVector<float>{1234.5f, -0.5f} << 0x8001;
    QTest::newRow("6160 long") << 6160 << QByteArray("\x0a\x00\x00\x00\x20\x00\x00\x00\x00", 9) << true
                               << QVector<float>{1.0f, 0.0f} << 0x0020;
    QTest::newRow("6161") << 6161 << QByteArray("\xe8\x03\xfb\xff\x00\x28\xff", 7) << true
                          << QVector<float>{1000, -0.5f, -40, 0, 215} << 0;
    QTest::newRow("6160 short") << 6160 << QByteArray("\x39\x30\xfb\xff\x01", 5) << false
                                << QVector<float>{} << 0;
    QTest::newRow("6161 short") << 6161 << QByteArray("\xe8\x03\xfb\xff\x00\x28", 6) << false
                                << QVector<float>{} << 0;
    QTest::newRow("6162") << 6162 << QByteArray("\x01\x02\x03\x04", 4) << false << QVector<float>{} << 0;
}

void tst_TelemetryWidgets::decoderScalesAndRefusesShortPayloads()
{
    QFETCH(int, port);
    QFETCH(QByteArray, bytes);
    QFETCH(bool, ok);
    QFETCH(QVector<float>, values);
    QFETCH(int, status);
    // An exact-size heap copy: ASan catches a read past its end.
    std::vector<uint8_t> payload(bytes.begin(), bytes.end());
    EscTelemetry t;
    QCOMPARE(decodeEscTelemetry(uint16_t(port), payload.data(), payload.size(), &t), ok);
    if (!ok)
        return;
    QCOMPARE(t.count, values.size());
    for (int i = 0; i < t.count; ++i)
        QCOMPARE(t.values[t.first + i], values[i]);
    QCOMPARE(t.hasStatus, port == 6160);
    QCOMPARE(int(t.status), status);
}

void tst_TelemetryWidgets::lampsFollowTheStatusWord()
{
    statusLampForm panel;
    QCOMPARE(litWord(panel), quint16(0));
    QVector<PaintCounter*> counters;
    for (int i = 0; i < statusLampForm::kLamps; ++i) {
        counters << new PaintCounter;
        counters.last()->setParent(&panel);
        panel.lamp(i)->installEventFilter(counters.last());
    }
    panel.show();
    QVERIFY(QTest::qWaitForWindowExposed(&panel));
    const auto settle = [&] {
        QApplication::processEvents();
        QTest::qWait(50);
        for (PaintCounter* c : counters)
            c->paints = 0;
    };
    const auto repainted = [&] {
        QApplication::processEvents();
        QTest::qWait(20);
        QList<int> out;
        for (int i = 0; i < counters.size(); ++i) {
            if (counters[i]->paints)
                out << i;
        }
        return out;
    };
    settle();

    panel.setStatusWord(0x8001, true);
    QCOMPARE(litWord(panel), quint16(0x8001));
    QCOMPARE(repainted(), QList<int>({0, 15}));
    settle();
    // The same word again repaints nothing; a change repaints only its bits.
    panel.setStatusWord(0x8001, true);
    QCOMPARE(repainted(), QList<int>());
    panel.setStatusWord(0x0001, true);
    QCOMPARE(litWord(panel), quint16(0x0001));
    QCOMPARE(repainted(), QList<int>({0}));

    // Invalid: all off once, the word back to 0; then the same bit lights again.
    panel.setStatusWord(0x0400, true);
    panel.setStatusWord(0x1234, false);
    QCOMPARE(litWord(panel), quint16(0));
    QCOMPARE(panel.statusWord(), quint16(0));
    panel.setStatusWord(0x0400, true);
    QCOMPARE(litWord(panel), quint16(0x0400));
    settle();
    panel.setStatusWord(0, false);
    panel.setStatusWord(0, false);
    QCOMPARE(litWord(panel), quint16(0));
}

void tst_TelemetryWidgets::lampLabelsAndBits()
{
    // One table for the panel's captions, from bit 15 down to bit 0.
    const QStringList labels = {"Running", "P-P S/C", "Encode id", "Current error", "Motor O/T",
                                "Mos S/C", "Mos O/C", "Stalling", "Capacitor O/T", "Mos O/T",
                                "Throt not 0", "No singal", "CAN SR", "Overcurrent",
                                "Undervoltage", "Overvoltage"};
    statusLampForm panel;
    for (int i = 0; i < statusLampForm::kLamps; ++i) {
        QCOMPARE(panel.lampText(i), labels[i]);
        panel.setStatusWord(quint16(1u << (15 - i)), true);
        QCOMPARE(litWord(panel), quint16(1u << (15 - i)));
        QVERIFY(!panel.lamp(i)->isRedMode()); // lit lamps are green
    }
}

void tst_TelemetryWidgets::barPicksValuesAcrossItsSpan()
{
    QFrame frame;
    frame.setObjectName("frame_progress_7");
    auto* bar = new CProgressBarV2(&frame);
    bar->setRange(0, 2048);
    bar->resize(230, 20);
    frame.resize(230, 20);
    frame.show();
    QVERIFY(QTest::qWaitForWindowExposed(&frame));
    QSignalSpy spy(bar, &CProgressBarV2::changeVale);
    const int w = bar->width();

    QTest::mousePress(bar, Qt::LeftButton, Qt::NoModifier, QPoint(0, 10));
    QTest::mouseRelease(bar, Qt::LeftButton, Qt::NoModifier, QPoint(0, 10));
    QTest::mousePress(bar, Qt::LeftButton, Qt::NoModifier, QPoint(w - 30, 10));
    QCOMPARE(bar->value(), 2048);
    // A drag past the end reports more than the maximum; the bar keeps its value.
    QMouseEvent drag(QEvent::MouseMove, QPoint(w - 5, 10), Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(bar, &drag);
    QCOMPARE(bar->value(), 2048);
    QTest::mouseRelease(bar, Qt::LeftButton, Qt::NoModifier, QPoint(w - 5, 10));
    QCOMPARE(spy.size(), 3);
    QCOMPARE(spy[0], QVariantList({0, QString("frame_progress_7")}));
    QCOMPARE(spy[1], QVariantList({2048, QString("frame_progress_7")}));
    QVERIFY(spy[2][0].toInt() > 2048);

    // After the release a move picks nothing; right and middle do nothing.
    QMouseEvent idleMove(QEvent::MouseMove, QPoint(50, 10), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(bar, &idleMove);
    QTest::mouseClick(bar, Qt::RightButton, Qt::NoModifier, QPoint(100, 10));
    QTest::mouseClick(bar, Qt::MiddleButton, Qt::NoModifier, QPoint(100, 10));
    QCOMPARE(spy.size(), 3);
    QCOMPARE(bar->value(), 2048);

    // Outside a frame the bar moves but reports nothing.
    CProgressBarV2 loose;
    loose.setRange(0, 100);
    loose.resize(130, 20);
    loose.show();
    QSignalSpy looseSpy(&loose, &CProgressBarV2::changeVale);
    QTest::mouseClick(&loose, Qt::LeftButton, Qt::NoModifier, QPoint(50, 10));
    QCOMPARE(loose.value(), 50);
    QCOMPARE(looseSpy.size(), 0);
}

void tst_TelemetryWidgets::narrowBarIgnoresTheMouse()
{
    for (int width : {30, 20, 1}) {
        QFrame frame;
        frame.setObjectName("frame_progress_1");
        auto* bar = new CProgressBarV2(&frame);
        bar->setRange(0, 2048);
        bar->setValue(7);
        bar->setFixedSize(width, 20);
        frame.show();
        QSignalSpy spy(bar, &CProgressBarV2::changeVale);
        QTest::mousePress(bar, Qt::LeftButton, Qt::NoModifier, QPoint(0, 10));
        QMouseEvent drag(QEvent::MouseMove, QPoint(width - 1, 10), Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(bar, &drag);
        QTest::mouseRelease(bar, Qt::LeftButton, Qt::NoModifier, QPoint(width - 1, 10));
        QCOMPARE(spy.size(), 0);
        QCOMPARE(bar->value(), 7);
    }
}

void tst_TelemetryWidgets::dialogClampsAndKeepsItsValues()
{
    ThrotCfgDialog dialog;
    QCOMPARE(dialog.windowTitle(), QString("Throttle Config"));
    int maximum = 0, index = -1;
    dialog.getValues(maximum, index);
    QCOMPARE(maximum, 2048);
    QCOMPARE(index, 0);
    dialog.setValues(50, 3);
    dialog.getValues(maximum, index);
    QCOMPARE(maximum, 100);
    QCOMPARE(index, 3);
    dialog.setValues(20000, 7); // index out of range: unchanged
    dialog.getValues(maximum, index);
    QCOMPARE(maximum, 16383);
    QCOMPARE(index, 3);

    QTimer::singleShot(0, &dialog, [&] {
        QTest::mouseClick(dialog.findChild<QPushButton*>("btn_throt_cfg"), Qt::LeftButton);
    });
    QCOMPARE(dialog.exec(), int(QDialog::Accepted));
    QTimer::singleShot(0, &dialog, [&] { QTest::keyClick(&dialog, Qt::Key_Escape); });
    QCOMPARE(dialog.exec(), int(QDialog::Rejected));
    dialog.getValues(maximum, index);
    QCOMPARE(maximum, 16383);
}

void tst_TelemetryWidgets::producerWindowFloorAndScale()
{
    QLineSeries series;
    CollectionData producer(nullptr, 30, &series);
    QSignalSpy spy(&producer, &CollectionData::sendSeriesV2);
    producer.setEnabledScale(true, 0.0f);

    // At or below the floor: nothing recorded, counted or emitted.
    producer.addPoint(-41.0f, true, true);
    producer.addPoint(-100.0f, true, true);
    QCOMPARE(spy.size(), 0);
    QCOMPARE(producer.counter(), quint16(0));
    producer.addPoint(-40.9f, true, true);
    QCOMPARE(spy.size(), 1);
    QCOMPARE(producer.history().size(), 1);

    // Scales up to 0.0001 record the raw value; larger ones scale new samples.
    producer.setEnabledScale(true, 0.0001f);
    producer.addPoint(5.0f, true, true);
    producer.setEnabledScale(true, 10.0f);
    producer.addPoint(5.0f, true, true);
    const auto points = spy.last()[1].value<QVector<QPointF>>();
    QCOMPARE(points, QVector<QPointF>({{0, -40.9f}, {1, 5}, {2, 50}}));

    // The window: 801 samples, the newest at the right end, x from 0.
    for (int i = 3; i < 900; ++i)
        producer.addPoint(float(i), true, true);
    const auto full = spy.last()[1].value<QVector<QPointF>>();
    QCOMPARE(full.size(), CollectionData::kLiveWindow);
    QCOMPARE(full.first(), QPointF(0, 99 * 10));
    QCOMPARE(full.last(), QPointF(800, 899 * 10));
}

void tst_TelemetryWidgets::producerOffAndClear()
{
    QLineSeries series;
    CollectionData producer(nullptr, 40, &series);
    QSignalSpy spy(&producer, &CollectionData::sendSeriesV2);
    producer.setEnabledScale(true, 1.0f);
    producer.addPoint(1, true, true);
    producer.setEnabledScale(false, 1.0f);
    QVERIFY(!producer.isEnabled());
    // Off: keeps recording, shows an empty line.
    producer.addPoint(2, true, false);
    producer.addPoint(3, true, false);
    QVERIFY(spy.last()[1].value<QVector<QPointF>>().isEmpty());
    QCOMPARE(spy.last()[0].value<QLineSeries*>(), &series);
    producer.setEnabledScale(true, 1.0f);
    producer.addPoint(4, true, true);
    QCOMPARE(spy.last()[1].value<QVector<QPointF>>().size(), 4);
    // add = false empties line and history.
    producer.addPoint(5, false, true);
    QVERIFY(spy.last()[1].value<QVector<QPointF>>().isEmpty());
    QVERIFY(producer.history().isEmpty());

    // The base producer records and never emits.
    CollectionData base(nullptr, 0, nullptr);
    QSignalSpy baseSpy(&base, &CollectionData::sendSeries);
    base.addPoint(1, true, true);
    QCOMPARE(base.history().size(), 1);
    QCOMPARE(baseSpy.size(), 0);
}

void tst_TelemetryWidgets::producerAppendPath()
{
    QLineSeries series;
    CollectionData producer(nullptr, 50, &series);
    QSignalSpy spy(&producer, &CollectionData::sendSeriesV2);
    QCOMPARE(producer.appendValue(1.0f, 795), 796);
    QCOMPARE(spy.last()[1].value<QVector<QPointF>>(), QVector<QPointF>({{795, 1}}));
    for (int i = 0; i < 3; ++i)
        producer.appendValue(1.0f, 0);
    // Position 800 wraps to 0 and empties the window.
    QCOMPARE(producer.appendValue(2.0f, 0), 0);
    QVERIFY(producer.history().isEmpty());
    producer.resetHistory();
    QVERIFY(spy.last()[1].value<QVector<QPointF>>().isEmpty());
}

void tst_TelemetryWidgets::chartFeedsEnabledChannels()
{
    MainWindow chart;
    chart.resize(600, 300);
    chart.show();
    for (int c = 0; c < MainWindow::kChannels; ++c)
        chart.setChannelEnabled(c, c != MainWindow::kCurrent, 1.0f);
    chart.setChannelEnabled(7, false, 0);  // ignored
    chart.setChannelEnabled(-1, false, 0); // ignored
    QVERIFY(chart.producer(6)->isEnabled());

    chart.addSamples(1, 2, 3, 4, 5, 6, 7, true);
    chart.flushLines();
    QCOMPARE(ys(chart.series(MainWindow::kSpeed)), QVector<qreal>({1}));
    QCOMPARE(ys(chart.series(MainWindow::kTempMotor)), QVector<qreal>({7}));
    QVERIFY(ys(chart.series(MainWindow::kCurrent)).isEmpty());
    // add = false: nothing changes.
    chart.addSamples(9, 9, 9, 9, 9, 9, 9, false);
    chart.flushLines();
    QCOMPARE(ys(chart.series(MainWindow::kSpeed)), QVector<qreal>({1}));

    // The scale applies to new samples only; the channel switched on again
    // shows what was recorded while it was off.
    chart.setAllScale(10.0f);
    chart.addSamples(1, 2, 3, 4, 5, 6, 7, true);
    QTRY_VERIFY(!chart.linesPending()); // drawn with the next frame
    QCOMPARE(ys(chart.series(MainWindow::kSpeed)), QVector<qreal>({1, 10}));
    QVERIFY(ys(chart.series(MainWindow::kCurrent)).isEmpty());
    chart.setChannelEnabled(MainWindow::kCurrent, true, 1.0f);
    chart.addSamples(1, 2, 3, 4, 5, 6, 7, true);
    chart.flushLines();
    QCOMPARE(ys(chart.series(MainWindow::kCurrent)), QVector<qreal>({2, 20, 2}));

    // Full window: 801 points spanning the X axis.
    for (int i = 0; i < 900; ++i)
        chart.addSamples(i, i, i, i, i, i, i, true);
    QTRY_VERIFY(!chart.linesPending());
    QCOMPARE(chart.series(MainWindow::kVoltage)->count(), 801);
    QCOMPARE(chart.series(MainWindow::kVoltage)->at(800), QPointF(800, 8990)); // still x10
}

void tst_TelemetryWidgets::chartConstantsTable()
{
    MainWindow chart;
    const QList<QColor> colours = {Qt::blue, Qt::red, Qt::green, Qt::darkBlue, Qt::darkRed,
                                   Qt::darkGreen, Qt::darkYellow};
    for (int c = 0; c < MainWindow::kChannels; ++c) {
        QCOMPARE(chart.series(c)->pen().color(), colours[c]);
        QCOMPARE(chart.series(c)->attachedAxes().size(), 2);
    }
    struct Axis { QValueAxis* axis; qreal min, max; int ticks; QString title; };
    const Axis axes[] = {{chart.axisX(), 0, 800, 11, "Time/sec"},
                         {chart.axisY(), -400, 4000, 12, "Range of value"}};
    for (const Axis& a : axes) {
        QCOMPARE(a.axis->min(), a.min);
        QCOMPARE(a.axis->max(), a.max);
        QCOMPARE(a.axis->tickCount(), a.ticks);
        QCOMPARE(a.axis->titleText(), a.title);
        QVERIFY(!a.axis->isGridLineVisible());
    }
    QVERIFY(!chart.chart()->legend()->isVisible());
}

void tst_TelemetryWidgets::chartZoomAndReset()
{
    MainWindow chart;
    chart.resize(800, 400);
    chart.show();
    QVERIFY(QTest::qWaitForWindowExposed(&chart));
    CustomChartView* view = chart.chartView();
    QValueAxis* x = chart.axisX();

    // Wheel: in by 1.1.
    QWheelEvent wheel(QPointF(400, 200), view->mapToGlobal(QPoint(400, 200)), QPoint(), QPoint(0, 120),
                      Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(&chart, &wheel);
    QVERIFY(x->max() - x->min() < 800);
    view->chart()->zoomReset();
    QCOMPARE(x->max() - x->min(), 800.0);

    // A rubber band over the middle of the plot.
    const QRectF plot = view->chart()->plotArea();
    const QPoint from = plot.center().toPoint() - QPoint(60, 30);
    const QPoint to = plot.center().toPoint() + QPoint(60, 30);
    QTest::mousePress(view->viewport(), Qt::LeftButton, Qt::NoModifier, from);
    QMouseEvent move(QEvent::MouseMove, to, Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(view->viewport(), &move);
    QTest::mouseRelease(view->viewport(), Qt::LeftButton, Qt::NoModifier, to);
    QVERIFY2(x->max() - x->min() < 400, qPrintable(QString::number(x->max() - x->min())));

    // Right click: the whole chart, and the release does not zoom out past it.
    QTest::mouseClick(view->viewport(), Qt::RightButton, Qt::NoModifier, plot.center().toPoint());
    QCOMPARE(x->min(), 0.0);
    QCOMPARE(x->max(), 800.0);
}

void tst_TelemetryWidgets::chartViewPassesKeysOn()
{
    struct KeySink : QWidget {
        QList<int> keys;
        void keyPressEvent(QKeyEvent* e) override { keys << e->key(); }
    } sink;
    sink.resize(600, 300);
    auto* chart = new MainWindow(&sink);
    chart->resize(600, 300);
    sink.show();
    QVERIFY(QTest::qWaitForWindowExposed(&sink));
    chart->chartView()->setFocus();
    chart->axisX()->setRange(100, 200);
    QTest::keyClick(chart->chartView(), Qt::Key_Left);
    QTest::keyClick(chart->chartView(), Qt::Key_A);
    QCOMPARE(sink.keys, QList<int>({Qt::Key_Left, Qt::Key_A}));
    QCOMPARE(chart->axisX()->min(), 100.0); // the view did not scroll
}

void tst_TelemetryWidgets::calloutWedgeAndSize()
{
    MainWindow chart;
    chart.resize(800, 400);
    chart.show();
    QVERIFY(QTest::qWaitForWindowExposed(&chart));
    chart.tooltip(QPointF(400, 2000), true);
    Callout* balloon = chart.currentCallout();
    QVERIFY(balloon && balloon->isVisible());
    QCOMPARE(balloon->text(), QString("X: 400 \nY: 2000 "));
    // Placed right of and above the point: the wedge reaches out of the box.
    const QRectF box = balloon->balloonRect();
    QVERIFY(balloon->outline().boundingRect().height() > box.height());
    QVERIFY(balloon->boundingRect().contains(balloon->mapFromParent(chart.chart()->mapToPosition(QPointF(400, 2000)))));
    // An anchor inside the box: no wedge.
    balloon->setPos(chart.chart()->mapToPosition(QPointF(400, 2000)) - box.center());
    QCOMPARE(balloon->outline().boundingRect(), box);
    // A long text is measured on one line.
    balloon->setText(QString(60, 'W'));
    QVERIFY(balloon->balloonRect().width() > 160);
    chart.tooltip(QPointF(), false);
    QVERIFY(!balloon->isVisible());

    // At most three kept balloons.
    for (int i = 0; i < 5; ++i) {
        chart.tooltip(QPointF(i * 100, 100), true);
        chart.keepCallout();
    }
    QCOMPARE(chart.keptCallouts().size(), 3);
}

void tst_TelemetryWidgets::chartThreadsEndWithIt()
{
    QWidget host;
    { MainWindow warm(&host); } // Qt's own threads, started once
    QTest::qWait(50);
    const int before = threadCount();
    for (int i = 0; i < 20; ++i) {
        auto* chart = new MainWindow(&host);
        QVERIFY(threadCount() > before);
        delete chart;
    }
    QTRY_COMPARE(threadCount(), before);
}

void tst_TelemetryWidgets::tileTogglesOnLeftClickAnywhere()
{
    QFrame frame;
    frame.setFixedSize(40, 20);
    auto* tile = new CWaveForm(&frame, Qt::darkRed);
    tile->resize(frame.size());
    frame.installEventFilter(tile);
    QCOMPARE(tile->line()->count(), 501);
    QCOMPARE(tile->line()->color(), QColor(Qt::darkRed));
    frame.show();
    QVERIFY(QTest::qWaitForWindowExposed(&frame));
    tile->setState(true);
    QSignalSpy spy(tile, &CWaveForm::waveStateChange);

    // A click on the drawn line, through the miniature view.
    QtCharts::QChart* chart = tile->chartView()->chart();
    const QPoint onLine = tile->chartView()->mapFromScene(chart->mapToPosition(tile->line()->at(100)));
    QWidget* under = frame.childAt(onLine);
    QVERIFY(under);
    QTest::mouseClick(under, Qt::LeftButton, Qt::NoModifier, under->mapFrom(&frame, onLine));
    QTest::mouseClick(&frame, Qt::RightButton, Qt::NoModifier, QPoint(5, 5));
    QTest::mouseClick(&frame, Qt::MiddleButton, Qt::NoModifier, QPoint(5, 5));
    QTest::mouseClick(&frame, Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
    QCOMPARE(spy.size(), 2);
    QCOMPARE(spy[0][0].toBool(), false);
    QCOMPARE(spy[1][0].toBool(), true);
    QCOMPARE(chart->backgroundBrush().color(), QColor(Qt::white));
    tile->setState(false);
    QCOMPARE(chart->backgroundBrush().color(), QColor(Qt::gray));
    QCOMPARE(spy.size(), 2);
}

QTEST_MAIN(tst_TelemetryWidgets)
#include "tst_telemetry_widgets.moc"
