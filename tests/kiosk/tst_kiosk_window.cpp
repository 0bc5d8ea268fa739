// The kiosk pages in the real window: built hidden in the stack, restyled
// by every language change of the application, and the home page's end
// stops the worker threads.

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QStackedWidget>

#include "app/appwidget.h"
#include "app/auxthreadcontroller.h"
#include "app/communicat.h"
#include "app/mainpagecontrol.h"
#include "configurator/tqcan.h"
#include "kiosk/cashselectpage.h"
#include "kiosk/commoncontrol.h"
#include "kiosk/mainpage.h"
#include "kioskpagetestsupport.h"
#include "kiosktestsupport.h"
#include "logcapture.h"

class tst_kiosk_window : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void kioskPagesFollowTheApplicationsLanguageAndStopTheWorkers();

private:
    KioskWorkDir m_dir;
};

void tst_kiosk_window::initTestCase()
{
    registerCommunicatMetaTypes();
    QVERIFY(m_dir.isValid());
    // The translations where the window and the configurator page load them.
    for (const char* file : {"ORB_EN.qm", "ORB_CN.qm", "ORB_KHR.qm", "lang_en.qm", "lang_zh_CN.qm"})
        QVERIFY(QFile::copy(QStringLiteral(TQ_BIN_DIR "/") + file, QLatin1String(file)));
    QVERIFY(m_dir.writeIni("[Language]\nType=CN\n[money]\ncountry=785\n"));
    // The configurator page keeps its language in the working folder here,
    // not beside the executables where the other page tests keep theirs.
    TQCAN::setSettingsFolder(QDir::currentPath() + QStringLiteral("/SetIns"));
}

void tst_kiosk_window::kioskPagesFollowTheApplicationsLanguageAndStopTheWorkers()
{
    LogCapture log(true);
    auto* window = new appwidget;
    QStackedWidget* stack = window->stackWidget();
    QCOMPARE(stack->count(), 4);
    QCOMPARE(stack->currentIndex(), 3);
    auto* home = qobject_cast<mainpage*>(stack->widget(0));
    auto* cash = qobject_cast<CashSelectPage*>(stack->widget(1));
    QVERIFY(home && cash && !home->isVisible() && !cash->isVisible());
    auto* charge = home->findChild<QPushButton*>("BTN_charge");
    auto* menu = cash->findChild<QPushButton*>("btnMenu");
    auto* welcome = home->findChild<QLabel*>("labelWel");
    auto* title = cash->findChild<QLabel*>("labelSelect");
    // The window's Chinese kiosk translator arrives once events run.
    QTRY_VERIFY(charge->styleSheet().contains("/MainPage/CN/"));
    QTRY_VERIFY(menu->styleSheet().contains("/CashSelect/CN/"));
    QCOMPARE(welcome->text(), QString::fromUtf8("欢迎！"));
    QCOMPARE(title->text(), QString::fromUtf8("请选择币种"));

    // The configurator page's language switch reaches both hidden pages.
    kioskLanguageType = 1;
    welcome->setText("stale");
    title->setText("stale");
    auto* pageLanguage = window->configuratorPage()->findChild<QComboBox*>("comboBox_lang");
    pageLanguage->setCurrentIndex(pageLanguage->currentIndex() == 1 ? 0 : 1);
    QTRY_VERIFY(charge->styleSheet().contains("/MainPage/EN/"));
    QTRY_VERIFY(menu->styleSheet().contains("/CashSelect/EN/"));
    QCOMPARE(welcome->text(), QString::fromUtf8("欢迎！"));
    QCOMPARE(title->text(), QString::fromUtf8("请选择币种"));
    QCOMPARE(stack->currentIndex(), 3);

    // Closing the window ends the home page, which stops both workers.
    window->show();
    auxthreadcontroller* hub = mainpageControl::getInstance()->getAuxThreadController();
    QThread* heart = hub->getHeartWorker()->thread();
    QThread* serial = hub->getSerialWorker()->thread();
    QTRY_VERIFY(heart->isRunning() && serial->isRunning());
    QSignalSpy heartDone(heart, &QThread::finished);
    QSignalSpy serialDone(serial, &QThread::finished);
    QVERIFY(window->close());
    delete window;
    QCOMPARE(heartDone.size(), 1);
    QCOMPARE(serialDone.size(), 1);
    QCOMPARE(mainpageControl::getInstance()->getAuxThreadController(), nullptr);
    QCOMPARE(log.countExact(QtDebugMsg, "auxthreadcontroller-----quit--over"), 1);
    // The home page asked for the stop as well and found nothing to stop.
    QCOMPARE(log.countExact(QtDebugMsg, "deleteMutexThread--begin"), 2);
}

KIOSK_PAGE_TEST_MAIN(tst_kiosk_window)
#include "tst_kiosk_window.moc"
