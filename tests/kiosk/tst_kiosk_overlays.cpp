// The common widget's overlays: progress animation, round-bar countdown,
// self-closing warning window and maintenance page.

#include <QApplication>
#include <QLabel>
#include <QPointer>
#include <QScreen>
#include <QtTest>

#include "kiosk/commoncontrol.h"
#include "kiosktestsupport.h"

namespace {

// The warning windows: top-level windows whose first label says "warn".
QList<QWidget*> warnWindows()
{
    QList<QWidget*> found;
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (!w->isVisible())
            continue;
        for (QLabel* label : w->findChildren<QLabel*>()) {
            if (label->text() == QStringLiteral("warn")) {
                found << w;
                break;
            }
        }
    }
    return found;
}

// The shown progress windows: frameless top-level windows holding one label
// with a movie.
QList<QWidget*> progressWindows()
{
    QList<QWidget*> found;
    for (QWidget* w : QApplication::topLevelWidgets()) {
        const QList<QLabel*> labels = w->findChildren<QLabel*>();
        if (w->isVisible() && labels.size() == 1 && labels.first()->movie())
            found << w;
    }
    return found;
}

QLabel* countdownOf(QWidget* window)
{
    // Title, countdown, message, in creation order.
    return window->findChildren<QLabel*>().value(1);
}

} // namespace

class tst_kiosk_overlays : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();

    void progressWindowSizeAndRemoval();
    void progressFlagIsSharedWindowsAreNot();
    void roundBarCountdown();
    void warningCountsDownAndCloses();
    void warningClosesByItself();
    void secondWarningReplacesTheFirst();
    void maintenancePageIsNeverBuilt();

private:
    KioskWorkDir* m_dir = nullptr;
    commoncontrol* m_ctrl = nullptr;
};

void tst_kiosk_overlays::initTestCase()
{
    m_dir = new KioskWorkDir;
    m_ctrl = new commoncontrol(nullptr);
}

void tst_kiosk_overlays::cleanupTestCase()
{
    m_ctrl->deleteWarnMsg();
    delete m_ctrl;
    delete m_dir;
}

void tst_kiosk_overlays::progressWindowSizeAndRemoval()
{
    LogCapture log;
    m_ctrl->DeleteProcess();
    QVERIFY(log.has(QtDebugMsg, QStringLiteral("DeleteProcess")));
    QVERIFY(log.has(QtDebugMsg, QStringLiteral("process is not visavle")));
    QVERIFY(!log.has(QtDebugMsg, QStringLiteral("ProcessWidg")));

    m_ctrl->displayProcess();
    QCOMPARE(progressWindows().size(), 1);
    QWidget* window = progressWindows().first();
    const int side = QGuiApplication::primaryScreen()->availableGeometry().width() * 300 / 1920;
    QCOMPARE(window->size(), QSize(side, side));
    QVERIFY(window->windowFlags() & Qt::FramelessWindowHint);
    QCOMPARE(window->windowModality(), Qt::ApplicationModal);
    QVERIFY(!window->parentWidget());

    log.clear();
    m_ctrl->displayProcess();
    QVERIFY(log.has(QtDebugMsg, QStringLiteral("process is visavle")));
    QCOMPARE(progressWindows().size(), 1);

    QPointer<QWidget> watched(window);
    log.clear();
    m_ctrl->DeleteProcess();
    QVERIFY(watched.isNull());
    QVERIFY(log.has(QtDebugMsg, QStringLiteral("process is DeleteProcess")));
    QCOMPARE(log.count(QtDebugMsg, QStringLiteral("ProcessWidg")), 2);
    QCOMPARE(log.count(QtDebugMsg, QStringLiteral("ProcessMovie")), 2);
}

void tst_kiosk_overlays::progressFlagIsSharedWindowsAreNot()
{
    commoncontrol other;
    m_ctrl->displayProcess();
    QPointer<QWidget> shown(progressWindows().value(0));
    QVERIFY(shown);

    LogCapture log;
    other.displayProcess();
    QVERIFY(log.has(QtDebugMsg, QStringLiteral("process is visavle")));
    QCOMPARE(progressWindows().size(), 1);

    // The other instance clears the flag but has no window of its own.
    other.DeleteProcess();
    QVERIFY(shown);
    QVERIFY(shown->isVisible());
    log.clear();
    m_ctrl->DeleteProcess();
    QVERIFY(log.has(QtDebugMsg, QStringLiteral("process is not visavle")));
    QVERIFY(shown);

    // Shown again, the first instance reuses its window, then removes it.
    m_ctrl->displayProcess();
    QCOMPARE(progressWindows().value(0), shown.data());
    m_ctrl->DeleteProcess();
    QVERIFY(shown.isNull());
}

void tst_kiosk_overlays::roundBarCountdown()
{
    commoncontrol ctrl;
    QCOMPARE(ctrl.tickRoundBar(), -1);
    QVERIFY(!ctrl.showRoundBar());

    LogCapture log;
    QVERIFY(!ctrl.displayRoundProcess(nullptr));
    QVERIFY(log.has(QtCriticalMsg, QStringLiteral("showFrame is NULL")));

    QWidget frame;
    frame.resize(90, 30);
    QVERIFY(ctrl.displayRoundProcess(&frame));
    QLabel* bar = frame.findChild<QLabel*>();
    QVERIFY(bar);
    QVERIFY(bar->isHidden());
    QCOMPARE(bar->size(), QSize(90, 30));
    // Created with a count of 60: the first tick shows 00:59.
    QCOMPARE(ctrl.tickRoundBar(), 59);
    QCOMPARE(bar->text(), QStringLiteral("00:59"));

    QCOMPARE(ctrl.setRoundBarSeconds(60), 61);
    QCOMPARE(ctrl.tickRoundBar(), 60);
    QCOMPARE(bar->text(), QStringLiteral("01:00"));
    ctrl.setRoundBarSeconds(0);
    QCOMPARE(ctrl.tickRoundBar(), 0);
    QCOMPARE(bar->text(), QStringLiteral("00:00"));
    ctrl.setRoundBarSeconds(400);
    QCOMPARE(ctrl.tickRoundBar(), 0);
    QCOMPARE(bar->text(), QStringLiteral("00:00"));

    frame.show();
    QVERIFY(ctrl.showRoundBar());
    QVERIFY(bar->isVisible());
    ctrl.hideRoundBar();
    QVERIFY(!bar->isVisible());

    // A second call only resizes the bar it already has.
    frame.resize(120, 40);
    QVERIFY(ctrl.displayRoundProcess(&frame));
    QCOMPARE(frame.findChildren<QLabel*>().size(), 1);
    QCOMPARE(bar->size(), QSize(120, 40));
}

void tst_kiosk_overlays::warningCountsDownAndCloses()
{
    m_ctrl->displayWarnMsg(QStringLiteral("card jammed"), 3);
    QCOMPARE(warnWindows().size(), 1);
    QPointer<QWidget> window(warnWindows().first());
    QCOMPARE(window->size(), QSize(480, 330));
    QCOMPARE(window->windowModality(), Qt::ApplicationModal);
    QLabel* countdown = countdownOf(window);
    QCOMPARE(countdown->text(), QStringLiteral("3"));

    // Driven tick by tick: 2, 1, then gone at the third tick.
    m_ctrl->doProcessWarnPageTimeout();
    QCOMPARE(countdown->text(), QStringLiteral("2"));
    m_ctrl->doProcessWarnPageTimeout();
    QCOMPARE(countdown->text(), QStringLiteral("1"));
    QVERIFY(window);
    m_ctrl->doProcessWarnPageTimeout();
    QVERIFY(window.isNull());

    // Removing the progress animation is part of showing a warning.
    m_ctrl->displayProcess();
    m_ctrl->displayWarnMsg(QStringLiteral("again"), 0);
    QVERIFY(progressWindows().isEmpty());
    QPointer<QWidget> zero(warnWindows().value(0));
    QVERIFY(zero);
    m_ctrl->doProcessWarnPageTimeout();
    QVERIFY(zero.isNull());
}

void tst_kiosk_overlays::warningClosesByItself()
{
    m_ctrl->displayWarnMsg(QStringLiteral("please wait"), 2);
    QPointer<QWidget> window(warnWindows().value(0));
    QVERIFY(window);
    m_ctrl->startWarnTimer(true);
    m_ctrl->startWarnTimer(true);   // still one connection: one step per tick
    QTRY_VERIFY_WITH_TIMEOUT(window && countdownOf(window)->text() != QStringLiteral("2"), 20000);
    QVERIFY(window.isNull() || countdownOf(window)->text() == QStringLiteral("1"));
    QTRY_VERIFY_WITH_TIMEOUT(window.isNull(), 20000);
}

void tst_kiosk_overlays::secondWarningReplacesTheFirst()
{
    m_ctrl->displayWarnMsg(QStringLiteral("first"), 5);
    QPointer<QWidget> first(warnWindows().value(0));
    QVERIFY(first);

    LogCapture log;
    m_ctrl->displayWarnMsg(QStringLiteral("second"), 5);
    QVERIFY(log.has(QtDebugMsg, QStringLiteral("displayWarnMsg: delete CountdownLabel, goon---")));
    QVERIFY(log.has(QtDebugMsg, QStringLiteral("WarnMsgWidg is already visavle,delete WarnMsgWidg, goon--")));
    QVERIFY(first.isNull());
    const QList<QWidget*> windows = warnWindows();
    QCOMPARE(windows.size(), 1);
    bool hasText = false;
    for (QLabel* label : windows.first()->findChildren<QLabel*>())
        hasText = hasText || label->text() == QStringLiteral("second");
    QVERIFY(hasText);

    m_ctrl->deleteWarnMsg();
    QVERIFY(warnWindows().isEmpty());
    m_ctrl->deleteWarnMsg();
}

void tst_kiosk_overlays::maintenancePageIsNeverBuilt()
{
    LogCapture log;
    m_ctrl->deleteMaintenacePage();
    QCOMPARE(log.countOfType(QtDebugMsg), 1);
    QVERIFY(log.has(QtDebugMsg, QStringLiteral("deleteMaintenacePage---over--------")));
}

QTEST_MAIN(tst_kiosk_overlays)
#include "tst_kiosk_overlays.moc"
