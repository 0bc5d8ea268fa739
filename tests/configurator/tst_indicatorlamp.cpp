// The round lamp: its size, its three states and how the red flag takes
// effect, checked on the pixels it paints.

#include <QtTest>

#include "telemetry/qcwindicatorlamp.h"

namespace {

QColor centre(QWidget& w)
{
    const QImage image = w.grab().toImage();
    return image.pixelColor(image.width() / 2, image.height() / 2);
}

bool isGreen(const QColor& c) { return c.green() > 150 && c.red() < 40 && c.blue() < 40; }
bool isRed(const QColor& c) { return c.red() > 150 && c.green() < 40 && c.blue() < 40; }
bool isGrey(const QColor& c)
{
    return c.red() > 150 && qAbs(c.red() - c.green()) < 8 && qAbs(c.green() - c.blue()) < 8;
}

// Counts the paint events a widget receives.
class PaintCounter : public QObject
{
public:
    int paints = 0;
    bool eventFilter(QObject*, QEvent* e) override
    {
        if (e->type() == QEvent::Paint)
            ++paints;
        return false;
    }
};

} // namespace

class tst_IndicatorLamp : public QObject
{
    Q_OBJECT
private slots:
    void sizeFollowsParent();
    void threeStates();
    void redFlagWaitsForTheNextLighting();
    void switchingOffForgetsRed();
    void staysRoundInAWideArea();
};

void tst_IndicatorLamp::sizeFollowsParent()
{
    QcwIndicatorLamp alone;
    QCOMPARE(alone.size(), QSize(100, 100));

    QWidget host;
    host.resize(80, 30);
    QcwIndicatorLamp lamp(&host);
    QCOMPARE(lamp.size(), QSize(30, 30));
    QVERIFY(!lamp.isAlarm());
    QVERIFY(!lamp.isRedMode());
}

void tst_IndicatorLamp::threeStates()
{
    QcwIndicatorLamp lamp;
    QVERIFY(isGrey(centre(lamp)));

    lamp.setAlarm(true);
    QVERIFY(lamp.isAlarm());
    QVERIFY(isGreen(centre(lamp)));

    lamp.setRedMode(true);
    lamp.setAlarm(true);
    QVERIFY(isRed(centre(lamp)));

    lamp.setAlarm(false);
    QVERIFY(isGrey(centre(lamp)));
}

void tst_IndicatorLamp::redFlagWaitsForTheNextLighting()
{
    // On a lamp that is off, the red flag shows nothing.
    QcwIndicatorLamp off;
    off.setRedMode(true);
    QVERIFY(isGrey(centre(off)));
    off.setAlarm(true);
    QVERIFY(isRed(centre(off)));

    // On a green lamp it schedules no repaint; the next lighting is red.
    QcwIndicatorLamp lamp;
    lamp.setAlarm(true);
    lamp.show();
    QVERIFY(QTest::qWaitForWindowExposed(&lamp));
    PaintCounter counter;
    lamp.installEventFilter(&counter);
    QTest::qWait(50);
    counter.paints = 0;
    lamp.setRedMode(true);
    QTest::qWait(100);
    QCOMPARE(counter.paints, 0);
    lamp.setAlarm(true);
    QTRY_VERIFY(counter.paints > 0);
    QVERIFY(isRed(centre(lamp)));
}

void tst_IndicatorLamp::switchingOffForgetsRed()
{
    QcwIndicatorLamp lamp;
    lamp.setRedMode(true);
    lamp.setAlarm(true);
    lamp.setAlarm(false);
    QVERIFY(!lamp.isRedMode());
    lamp.setAlarm(true);
    QVERIFY(isGreen(centre(lamp)));
}

void tst_IndicatorLamp::staysRoundInAWideArea()
{
    QcwIndicatorLamp lamp;
    lamp.resize(200, 100);
    lamp.setAlarm(true);
    const QImage image = lamp.grab().toImage();
    // Scaled by the shorter side and centred: a circle of radius 50 around
    // (100, 50); the core fills most of it, the sides stay clear.
    QVERIFY(isGreen(image.pixelColor(100, 50)));
    QVERIFY(isGreen(image.pixelColor(100, 12)));
    QVERIFY(isGreen(image.pixelColor(100 + 38, 50)));
    QVERIFY(!isGreen(image.pixelColor(20, 50)));
    QVERIFY(!isGreen(image.pixelColor(180, 50)));
}

QTEST_MAIN(tst_IndicatorLamp)
#include "tst_indicatorlamp.moc"
