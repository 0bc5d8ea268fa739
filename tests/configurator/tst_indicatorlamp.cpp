// The round lamp: its size, its three states and how the red flag takes
// effect, checked on the pixels it paints.

#include <QtTest>

#include "telemetry/qcwindicatorlamp.h"

namespace {

// The colour the lamp paints at p, by default at its centre.
QString colour(QWidget& lamp, QPoint p = QPoint(-1, -1))
{
    const QImage image = lamp.grab().toImage();
    const QColor c = image.pixelColor(p.x() < 0 ? image.rect().center() : p);
    if (c.green() > 150 && c.red() < 40 && c.blue() < 40)
        return "green";
    if (c.red() > 150 && c.green() < 40 && c.blue() < 40)
        return "red";
    if (c.red() > 150 && qAbs(c.red() - c.green()) < 8 && qAbs(c.green() - c.blue()) < 8)
        return "grey";
    return "other";
}

// Counts the paint events a widget receives.
struct PaintCounter : QObject {
    int paints = 0;
    bool eventFilter(QObject*, QEvent* e) override
    {
        paints += e->type() == QEvent::Paint ? 1 : 0;
        return false;
    }
};

} // namespace

class tst_IndicatorLamp : public QObject
{
    Q_OBJECT
private slots:
    void colourFollowsFlagAndLighting_data();
    void colourFollowsFlagAndLighting();
    void redFlagOnALitLampWaitsForTheNextLighting();
    void sizeFollowsParentAndStaysRound();
};

void tst_IndicatorLamp::colourFollowsFlagAndLighting_data()
{
    QTest::addColumn<QString>("steps"); // l: light, o: off, r: red flag
    QTest::addColumn<QString>("expected");
    QTest::newRow("new") << "" << "grey";
    QTest::newRow("lit") << "l" << "green";
    QTest::newRow("red flag, lit") << "rl" << "red";
    QTest::newRow("red flag on an unlit lamp") << "r" << "grey";
    QTest::newRow("off") << "rlo" << "grey";
    QTest::newRow("off forgets the red flag") << "rlol" << "green";
}

void tst_IndicatorLamp::colourFollowsFlagAndLighting()
{
    QFETCH(QString, steps);
    QFETCH(QString, expected);
    QcwIndicatorLamp lamp;
    for (QChar step : steps) {
        if (step == 'r')
            lamp.setRedMode(true);
        else
            lamp.setAlarm(step == 'l');
    }
    QCOMPARE(colour(lamp), expected);
    QCOMPARE(lamp.isAlarm(), steps.endsWith('l'));
    QCOMPARE(lamp.isRedMode(), expected == "red" || steps == "r");
}

void tst_IndicatorLamp::redFlagOnALitLampWaitsForTheNextLighting()
{
    QcwIndicatorLamp lamp;
    lamp.setAlarm(true);
    lamp.show();
    QVERIFY(QTest::qWaitForWindowExposed(&lamp));
    PaintCounter counter;
    lamp.installEventFilter(&counter);
    QTest::qWait(50);
    counter.paints = 0;
    lamp.setRedMode(true); // schedules no repaint
    QTest::qWait(100);
    QCOMPARE(counter.paints, 0);
    lamp.setAlarm(true);
    QTRY_VERIFY(counter.paints > 0);
    QCOMPARE(colour(lamp), QString("red"));
}

void tst_IndicatorLamp::sizeFollowsParentAndStaysRound()
{
    QWidget host;
    host.resize(80, 30);
    QCOMPARE(QcwIndicatorLamp(&host).size(), QSize(30, 30));
    QcwIndicatorLamp lamp;
    QCOMPARE(lamp.size(), QSize(100, 100));
    lamp.resize(200, 100);
    lamp.setAlarm(true);
    // Scaled by the shorter side and centred: a circle of radius 50 around
    // (100, 50); the core fills most of it, the sides stay clear.
    QStringList seen;
    for (const QPoint& p : {QPoint(100, 50), QPoint(100, 12), QPoint(138, 50), QPoint(20, 50), QPoint(180, 50)})
        seen << (colour(lamp, p) == "green" ? "green" : "clear");
    QCOMPARE(seen, QStringList({"green", "green", "green", "clear", "clear"}));
}

QTEST_MAIN(tst_IndicatorLamp)
#include "tst_indicatorlamp.moc"
