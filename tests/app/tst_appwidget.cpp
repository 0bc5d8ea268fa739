// The window builds its four pages in order, shows the configurator page,
// hands the hub to the controllers and stops the workers when it goes.

#include <QSignalSpy>
#include <QStackedWidget>
#include <QtTest>

#include "app/appwidget.h"
#include "app/auxthreadcontroller.h"
#include "app/debugmode.h"
#include "app/mainpagecontrol.h"
#include "app/tqformalpagecontrol.h"
#include "app/tqpagecontrol.h"
#include "configurator/tqcan.h"
#include "devpanel/tqwidget.h"
#include "kiosk/cashselectpage.h"
#include "kiosk/cashselectpagecontrol.h"
#include "kiosk/mainpage.h"
#include "logcapture.h"
#include "modalboxcloser.h"
#include "tempworkdir.h"

class tst_AppWidget : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void buildsStackAndWiresHub();
    void jumpPageSwitchesOnlyToKnownPages();
    void markerFileNameFollowsTheDate();

private:
    TempWorkDir m_dir;  // the window reads and writes below "./"
};

void tst_AppWidget::initTestCase()
{
    registerCommunicatMetaTypes();
    QVERIFY(m_dir.isValid());
    // Settings of its own: a language a user's run left beside the
    // executables would change the start-up box's text.
    TQCAN::setSettingsFolder(m_dir.filePath("SetIns"));
}

void tst_AppWidget::buildsStackAndWiresHub()
{
    LogCapture log;
    auto* w = new appwidget;
    // The panel asks for the worker before the controllers have the hub.
    QCOMPARE(log.countExact(QtDebugMsg, "registerCallAuxThread err:mAuxThreadCtrl is null"), 1);
    QStackedWidget* stack = w->stackWidget();
    QCOMPARE(stack->count(), 4);
    QVERIFY(qobject_cast<mainpage*>(stack->widget(0)));
    QVERIFY(qobject_cast<CashSelectPage*>(stack->widget(1)));
    QVERIFY(qobject_cast<tqWidget*>(stack->widget(2)));
    QVERIFY(qobject_cast<TQCAN*>(stack->widget(3)));
    QCOMPARE(stack->currentIndex(), 3);

    auxthreadcontroller* hub = mainpageControl::getInstance()->getAuxThreadController();
    QVERIFY(hub);
    QVERIFY(mainpageControl::getInstance()->mCommonCtrl);
    QCOMPARE(tqformalpagecontrol::getInstance()->auxThreadCtrl(), hub);
    QCOMPARE(TQPageControl::getInstance()->auxThreadCtrl(), hub);
    QCOMPARE(cashselectpageControl::getInstance()->auxThreadCtrl(), hub);
    QThread* serial = hub->getSerialWorker()->thread();
    QTRY_VERIFY(serial->isRunning());

    // No device-file list here: the page's start-up box asks for the update.
    ModalBoxCloser boxes;
    w->setTqcanWorkMode(true);
    QCOMPARE(boxes.texts(), QStringList{QStringLiteral("Please click upgrade database button")});
    QCOMPARE(log.countExact(QtDebugMsg, "--setTqcanWorkMode--sub page count= 4"), 1);
    QCOMPARE(log.countExact(QtDebugMsg, "---setTqcanWorkMode----bDebug= true"), 1);
    QVERIFY(w->configuratorPage()->debugMode());

    QSignalSpy serialDone(serial, &QThread::finished);
    delete w;
    QCOMPARE(serialDone.size(), 1);
    QCOMPARE(mainpageControl::getInstance()->getAuxThreadController(), nullptr);
}

void tst_AppWidget::jumpPageSwitchesOnlyToKnownPages()
{
    LogCapture log;
    appwidget w;
    QStackedWidget* stack = w.stackWidget();
    w.doProcessJumpPage(0);
    QCOMPARE(log.countExact(QtDebugMsg, "---analyseRecordVideo----curPage= 0"), 1);
    QCOMPARE(stack->currentIndex(), 0);
    w.doProcessJumpPage(4);
    w.doProcessJumpPage(-1);
    QCOMPARE(stack->currentIndex(), 0);
    emit mainpageControl::getInstance()->signalJumpPage(2);
    QCOMPARE(stack->currentIndex(), 2);
    emit cashselectpageControl::getInstance()->signalJumpPage(3);
    QCOMPARE(stack->currentIndex(), 3);
}

void tst_AppWidget::markerFileNameFollowsTheDate()
{
    QCOMPARE(debugMarkerFileName(QDate(2025, 3, 14)), QString("_20250314.txt"));
    QVERIFY(!checkDebugMode());
    QDir().mkpath("deep/er");
    QFile marker("deep/er/" + debugMarkerFileName(QDate::currentDate()));
    QVERIFY(marker.open(QIODevice::WriteOnly));
    marker.close();
    QVERIFY(checkDebugMode());
    QVERIFY(marker.remove());
}

QTEST_MAIN(tst_AppWidget)
#include "tst_appwidget.moc"
