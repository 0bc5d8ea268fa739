// The widgets of the throttle tab on their own: telemetry decoding, status
// lamps, the clickable bar, the settings dialog, the chart's producers, the
// chart with its view and balloons, and the channel tiles.

#include <QtTest>

#include <QChart>
#include <QDir>
#include <QLineSeries>
#include <QSignalSpy>
#include <QValueAxis>

#include <csignal>
#include <vector>

#include "telemetry/callout.h"
#include "telemetry/collectiondata.h"
#include "telemetry/cprogressbarv2.h"
#include "telemetry/customchartview.h"
#include "telemetry/cwaveform.h"
#include "telemetry/esctelemetry.h"
#include "telemetry/mainwindow.h"
#include "telemetry/qcwindicatorlamp.h"
#include "telemetry/statuslampform.h"

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
    for (int i = 0; i < statusLampForm::kLamps; ++i)
        word |= panel.lamp(i)->isAlarm() ? quint16(1u << (15 - i)) : 0;
    return word;
}

// Counts the repaints each watched widget asks for.
struct PaintCounter : QObject {
    QHash<QObject*, int> paints;
    bool eventFilter(QObject* o, QEvent* e) override
    {
        paints[o] += e->type() == QEvent::UpdateRequest || e->type() == QEvent::Paint;
        return false;
    }
};

QVector<QPointF> lastLine(const QSignalSpy& spy) { return spy.last()[1].value<QVector<QPointF>>(); }

} // namespace

class tst_TelemetryWidgets : public QObject
{
    Q_OBJECT
private slots:
    void decoderReadsOnlyItsBytes_data();
    void decoderReadsOnlyItsBytes();
    void lampsRepaintOnlyChangedBits();
    void constantsTable();
    void barMapsClicksAndIgnoresNarrowBars_data();
    void barMapsClicksAndIgnoresNarrowBars();
    void producerRecordsScalesAndWindows();
    void chartZoomAndReset();
    void calloutShowsAndKeepsThree();
    void chartThreadsEndWithIt();
    void tileTogglesOnLeftClickAnywhere();
};

// The values are checked through the page; here each payload is an exact-size
// heap copy, so ASan catches a read past its end.
void tst_TelemetryWidgets::decoderReadsOnlyItsBytes_data()
{
    QTest::addColumn<int>("port");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("ok");

    QTest::newRow("6160") << 6160 << QByteArray("\x39\x30\xfb\xff\x01\x80", 6) << true;
    QTest::newRow("6161") << 6161 << QByteArray("\xe8\x03\xfb\xff\x00\x28\xff", 7) << true;
    QTest::newRow("6160 short") << 6160 << QByteArray("\x39\x30\xfb\xff\x01", 5) << false;
    QTest::newRow("6161 short") << 6161 << QByteArray("\xe8\x03\xfb\xff\x00\x28", 6) << false;
}

void tst_TelemetryWidgets::decoderReadsOnlyItsBytes()
{
    QFETCH(int, port);
    QFETCH(QByteArray, bytes);
    QFETCH(bool, ok);
    std::vector<uint8_t> payload(bytes.begin(), bytes.end());
    EscTelemetry t;
    QCOMPARE(decodeEscTelemetry(uint16_t(port), payload.data(), payload.size(), &t), ok);
}

void tst_TelemetryWidgets::lampsRepaintOnlyChangedBits()
{
    statusLampForm panel;
    PaintCounter counter;
    for (int i = 0; i < statusLampForm::kLamps; ++i)
        panel.lamp(i)->installEventFilter(&counter);
    panel.show();
    QVERIFY(QTest::qWaitForWindowExposed(&panel));
    // Sets a word and answers the lamps that repainted.
    const auto repainted = [&](quint16 word, bool valid) {
        QTest::qWait(50);
        counter.paints.clear();
        panel.setStatusWord(word, valid);
        QTest::qWait(20);
        QList<int> out;
        for (int i = 0; i < statusLampForm::kLamps; ++i) {
            if (counter.paints.value(panel.lamp(i)))
                out << i;
        }
        return out;
    };

    QCOMPARE(repainted(0x8001, true), QList<int>({0, 15}));
    QCOMPARE(repainted(0x8001, true), QList<int>());
    QCOMPARE(repainted(0x0001, true), QList<int>({0}));
    QCOMPARE(litWord(panel), quint16(0x0001));
    // Invalid: all off, the word back to 0, so the same bit lights again.
    panel.setStatusWord(0x1234, false);
    QCOMPARE(litWord(panel), quint16(0));
    QCOMPARE(panel.statusWord(), quint16(0));
    panel.setStatusWord(0x0001, true);
    QCOMPARE(litWord(panel), quint16(0x0001));
}

void tst_TelemetryWidgets::constantsTable()
{
    // The lamps' captions from bit 15 down to bit 0, each lit green by its own bit.
    const QStringList labels = {"Running", "P-P S/C", "Encode id", "Current error", "Motor O/T",
                                "Mos S/C", "Mos O/C", "Stalling", "Capacitor O/T", "Mos O/T",
                                "Throt not 0", "No singal", "CAN SR", "Overcurrent",
                                "Undervoltage", "Overvoltage"};
    statusLampForm panel;
    for (int i = 0; i < statusLampForm::kLamps; ++i) {
        QCOMPARE(panel.lampText(i), labels[i]);
        panel.setStatusWord(quint16(1u << (15 - i)), true);
        QCOMPARE(litWord(panel), quint16(1u << (15 - i)));
        QVERIFY(!panel.lamp(i)->isRedMode());
    }
    // The chart's line colours and axes.
    MainWindow chart;
    const QList<QColor> colours = {Qt::blue, Qt::red, Qt::green, Qt::darkBlue, Qt::darkRed,
                                   Qt::darkGreen, Qt::darkYellow};
    for (int c = 0; c < MainWindow::kChannels; ++c) {
        QCOMPARE(chart.series(c)->pen().color(), colours[c]);
        QCOMPARE(chart.series(c)->attachedAxes().size(), 2);
    }
    struct Axis { QValueAxis* axis; qreal min, max; int ticks; QString title; };
    for (const Axis& a : {Axis {chart.axisX(), 0, 800, 11, "Time/sec"},
                          Axis {chart.axisY(), -400, 4000, 12, "Range of value"}}) {
        QCOMPARE(a.axis->min(), a.min);
        QCOMPARE(a.axis->max(), a.max);
        QCOMPARE(a.axis->tickCount(), a.ticks);
        QCOMPARE(a.axis->titleText(), a.title);
    }
}

void tst_TelemetryWidgets::barMapsClicksAndIgnoresNarrowBars_data()
{
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("x");
    QTest::addColumn<int>("value"); // -1: the mouse is ignored

    // The span is the width less 30 px: 200 px for 2048 steps.
    QTest::newRow("left edge") << 230 << 0 << 0;
    QTest::newRow("middle") << 230 << 100 << 1024;
    QTest::newRow("end of span") << 230 << 200 << 2048;
    QTest::newRow("30 px") << 30 << 0 << -1;
    QTest::newRow("1 px") << 1 << 0 << -1;
}

void tst_TelemetryWidgets::barMapsClicksAndIgnoresNarrowBars()
{
    QFETCH(int, width);
    QFETCH(int, x);
    QFETCH(int, value);
    QFrame frame;
    frame.setObjectName("frame_progress_7");
    auto* bar = new CProgressBarV2(&frame);
    bar->setRange(0, 2048);
    bar->setValue(7);
    bar->setFixedSize(width, 20);
    frame.show();
    QVERIFY(QTest::qWaitForWindowExposed(&frame));
    QSignalSpy spy(bar, &CProgressBarV2::changeVale);
    const auto send = [bar](QEvent::Type type, int at, Qt::MouseButton button, Qt::MouseButtons held) {
        QMouseEvent event(type, QPoint(at, 10), button, held, Qt::NoModifier);
        QApplication::sendEvent(bar, &event);
    };
    // Dragged with the left button held: each move picks, with the right
    // button down too or released again; the left release ends it.
    send(QEvent::MouseButtonPress, x, Qt::LeftButton, Qt::LeftButton);
    send(QEvent::MouseButtonPress, x, Qt::RightButton, Qt::LeftButton | Qt::RightButton);
    send(QEvent::MouseMove, 0, Qt::NoButton, Qt::LeftButton | Qt::RightButton);
    send(QEvent::MouseButtonRelease, 0, Qt::RightButton, Qt::LeftButton);
    send(QEvent::MouseMove, x, Qt::NoButton, Qt::LeftButton);
    send(QEvent::MouseButtonRelease, x, Qt::LeftButton, Qt::NoButton);
    send(QEvent::MouseMove, width - 1, Qt::NoButton, Qt::NoButton);
    // Over: a later drag with another button picks nothing.
    send(QEvent::MouseButtonPress, 0, Qt::RightButton, Qt::RightButton);
    send(QEvent::MouseMove, width / 2, Qt::NoButton, Qt::RightButton);
    send(QEvent::MouseButtonRelease, width / 2, Qt::RightButton, Qt::NoButton);
    if (value < 0) {
        QCOMPARE(spy.size(), 0);
        QCOMPARE(bar->value(), 7);
    } else {
        QCOMPARE(bar->value(), value);
        const QString frame("frame_progress_7");
        QCOMPARE(QList<QVariantList>(spy),
                 QList<QVariantList>({{value, frame}, {0, frame}, {value, frame}}));
    }
}

void tst_TelemetryWidgets::producerRecordsScalesAndWindows()
{
    QLineSeries series;
    CollectionData producer(nullptr, 30, &series);
    QSignalSpy spy(&producer, &CollectionData::sendSeriesV2);
    producer.setEnabledScale(true, 0.0f);
    // Its thread has a stack of its own for the crash handlers.
    stack_t handlerStack {};
    QMetaObject::invokeMethod(&producer, [&] { ::sigaltstack(nullptr, &handlerStack); }, Qt::BlockingQueuedConnection);
    QVERIFY(!(handlerStack.ss_flags & SS_DISABLE));

    // At or below the floor: nothing recorded, counted or emitted.
    producer.addPoint(-41.0f, true, true);
    QCOMPARE(spy.size(), 0);
    QCOMPARE(producer.counter(), quint16(0));
    producer.addPoint(-40.9f, true, true);
    // Scales up to 0.0001 record the raw value; larger ones scale new samples.
    producer.setEnabledScale(true, 0.0001f);
    producer.addPoint(5.0f, true, true);
    producer.setEnabledScale(true, 10.0f);
    producer.addPoint(5.0f, true, true);
    QCOMPARE(lastLine(spy), QVector<QPointF>({{0, -40.9f}, {1, 5}, {2, 50}}));

    // Off: it keeps recording and shows an empty line.
    producer.setEnabledScale(false, 10.0f);
    producer.addPoint(6.0f, true, false);
    QVERIFY(lastLine(spy).isEmpty());
    QCOMPARE(spy.last()[0].value<QLineSeries*>(), &series);
    QCOMPARE(producer.history().size(), 4);

    // The window: 801 samples, the newest at the right end, x from 0.
    producer.setEnabledScale(true, 10.0f);
    for (int i = 4; i < 900; ++i)
        producer.addPoint(float(i), true, true);
    QCOMPARE(lastLine(spy).size(), CollectionData::kLiveWindow);
    QCOMPARE(lastLine(spy).first(), QPointF(0, 99 * 10));
    QCOMPARE(lastLine(spy).last(), QPointF(800, 899 * 10));
    // add = false empties line and history.
    producer.addPoint(5, false, true);
    QVERIFY(lastLine(spy).isEmpty() && producer.history().isEmpty());

    // The append path wraps at the window's end and empties it.
    CollectionData wrap(nullptr, 50, &series);
    QCOMPARE(wrap.appendValue(1.0f, 798), 799);
    QCOMPARE(wrap.appendValue(2.0f, 0), 0);
    QVERIFY(wrap.history().isEmpty());
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

    // A rubber band over the middle of the plot.
    const QPoint centre = view->chart()->plotArea().center().toPoint();
    QTest::mousePress(view->viewport(), Qt::LeftButton, Qt::NoModifier, centre - QPoint(60, 30));
    QMouseEvent move(QEvent::MouseMove, centre + QPoint(60, 30), Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(view->viewport(), &move);
    QTest::mouseRelease(view->viewport(), Qt::LeftButton, Qt::NoModifier, centre + QPoint(60, 30));
    QVERIFY2(x->max() - x->min() < 400, qPrintable(QString::number(x->max() - x->min())));

    // Right click: the whole chart, and the release does not zoom out past it.
    QTest::mouseClick(view->viewport(), Qt::RightButton, Qt::NoModifier, centre);
    QCOMPARE(x->min(), 0.0);
    QCOMPARE(x->max(), 800.0);
}

void tst_TelemetryWidgets::calloutShowsAndKeepsThree()
{
    MainWindow chart;
    chart.resize(800, 400);
    chart.show();
    QVERIFY(QTest::qWaitForWindowExposed(&chart));
    chart.tooltip(QPointF(400, 2000), true);
    Callout* balloon = chart.currentCallout();
    QVERIFY(balloon && balloon->isVisible());
    QCOMPARE(balloon->text(), QString("X: 400 \nY: 2000 "));
    // Placed beside the point: the wedge reaches out of the box to it.
    QVERIFY(balloon->outline().boundingRect().height() > balloon->balloonRect().height());
    chart.tooltip(QPointF(), false);
    QVERIFY(!balloon->isVisible());
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
    frame.show();
    QVERIFY(QTest::qWaitForWindowExposed(&frame));
    tile->setState(true);
    QSignalSpy spy(tile, &CWaveForm::waveStateChange);

    // A click on the drawn line, through the miniature view.
    QChart* chart = tile->chartView()->chart();
    const QPoint onLine = tile->chartView()->mapFromScene(chart->mapToPosition(tile->line()->at(100)));
    QWidget* under = frame.childAt(onLine);
    QVERIFY(under);
    QTest::mouseClick(under, Qt::LeftButton, Qt::NoModifier, under->mapFrom(&frame, onLine));
    QTest::mouseClick(&frame, Qt::RightButton, Qt::NoModifier, QPoint(5, 5));
    QTest::mouseClick(&frame, Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
    QCOMPARE(spy.size(), 2);
    QCOMPARE(spy[0][0].toBool(), false);
    QCOMPARE(spy[1][0].toBool(), true);
    QCOMPARE(chart->backgroundBrush().color(), QColor(Qt::white));
    tile->setState(false);
    QCOMPARE(chart->backgroundBrush().color(), QColor(Qt::gray));
}

QTEST_MAIN(tst_TelemetryWidgets)
#include "tst_telemetry_widgets.moc"
