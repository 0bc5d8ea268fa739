#include "app/appwidget.h"

#include <QApplication>
#include <QDebug>
#include <QGuiApplication>
#include <QIcon>
#include <QScreen>
#include <QStackedWidget>
#include <QTranslator>
#include <QVBoxLayout>

#include "app/auxthreadcontroller.h"
#include "app/mainpagecontrol.h"
#include "app/tqformalpagecontrol.h"
#include "app/tqpagecontrol.h"
#include "configurator/tqcan.h"
#include "devpanel/tqwidget.h"
#include "kiosk/cashselectpage.h"
#include "kiosk/cashselectpagecontrol.h"
#include "kiosk/commoncontrol.h"
#include "kiosk/kioskini.h"
#include "kiosk/kiosktranslation.h"
#include "kiosk/mainpage.h"

namespace {

// The kiosk language as the settings file names it: 1 English, 2 Chinese,
// 0 (Khmer) for anything else.
int readKioskLanguageType()
{
    const QString lang = kioskini::readValue(QStringLiteral("Language/Type"));
    qDebug() << "lang ==" << lang;
    if (lang == QLatin1String("EN"))
        return 1;
    if (lang == QLatin1String("CN"))
        return 2;
    return 0;
}

} // namespace

appwidget::appwidget(QWidget* parent)
    : QWidget(parent)
{
    setWindowIcon(QIcon(QStringLiteral(":/resource/pic/app_icon.png")));
    loadKioskTranslator();

    m_stackWidget = new QStackedWidget(this);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_stackWidget);

    buildStackPages();
    fitToScreen();
}

appwidget::~appwidget()
{
    // However the application ends (its quit, a signal, the window's close),
    // the throttle test stops while the link still carries its zeros; the
    // hub's end lets the serial worker write them out before the port
    // closes. A port lost meanwhile shows no box that would hold the end.
    m_tqcanPage->setEnding();
    m_tqcanPage->stopThrottleTest();
    // Stop the workers while every page is still whole: the hub delivers the
    // replies still queued before it stops, and those events must not reach
    // a page half way through its destruction. The home page's destructor
    // asks for the same stop again and finds nothing left to do.
    mainpageControl::getInstance()->deleteMutexThread();
}

void appwidget::closeEvent(QCloseEvent* event)
{
    // No motor keeps turning behind a closed window.
    m_tqcanPage->stopThrottleTest();
    QWidget::closeEvent(event);
}

void appwidget::loadKioskTranslator()
{
    m_translator = new QTranslator(this);
    const char* file = kiosktranslation::fileForLanguage(readKioskLanguageType());
    if (!m_translator->load(QString::fromLatin1(file)))
        qDebug() << "appwidget: kiosk translation not loaded:" << file;
    // Installed even when empty, so that the kiosk pages see the same
    // translator chain whatever files are present.
    qApp->installTranslator(m_translator);
}

void appwidget::buildStackPages()
{
    m_mainPage = new mainpage(this);
    mainpageControl* homeCtrl = mainpageControl::getInstance();
    homeCtrl->mCommonCtrl = new commoncontrol(nullptr);
    auxthreadcontroller* hub = homeCtrl->createAuxThreadCtrl();

    m_cashSelPage = new CashSelectPage(this);
    m_tqWidget = new tqWidget(this);
    m_tqcanPage = new TQCAN(this);

    m_stackWidget->addWidget(m_mainPage);
    m_stackWidget->addWidget(m_cashSelPage);
    m_stackWidget->addWidget(m_tqWidget);
    m_stackWidget->addWidget(m_tqcanPage);

    m_curPage = -1;
    doProcessJumpPage(kPageConfigurator);

    connect(homeCtrl, &mainpageControl::signalJumpPage, this, &appwidget::doProcessJumpPage);
    connect(cashselectpageControl::getInstance(), &cashselectpageControl::signalJumpPage,
            this, &appwidget::doProcessJumpPage);

    // Asked before the controllers have the hub: it only logs, as intended.
    m_tqWidget->getSerialWorker();

    cashselectpageControl::getInstance()->setAuxThreadCtrl(hub);
    TQPageControl::getInstance()->setAuxThreadCtrl(hub);
    tqformalpagecontrol::getInstance()->setAuxThreadCtrl(hub);

    connect(hub->getSerialWorker(), &subSerialTQThread::signalNotifyTQPage,
            m_tqcanPage, &TQCAN::doProcessRecvTQPack,
            static_cast<Qt::ConnectionType>(Qt::QueuedConnection | Qt::UniqueConnection));

    emit tqformalpagecontrol::getInstance()->signalSeachPortF();
}

void appwidget::fitToScreen()
{
    // Designed for 1366 x 800; smaller screens get 95 % of what they have.
    setMinimumSize(1024, 640);
    QSize size(1366, 800);
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect avail = screen->availableGeometry();
        size = size.boundedTo(avail.size() * 0.95).expandedTo(minimumSize());
        resize(size);
        move(avail.center() - rect().center());
    } else {
        resize(size);
    }
}

void appwidget::doProcessJumpPage(int destPage)
{
    if (destPage < kPageHome || destPage > kPageConfigurator || destPage == m_curPage)
        return;
    m_curPage = destPage;
    m_stackWidget->setCurrentIndex(destPage);
    if (destPage == kPageHome)
        m_mainPage->analyseRecordVideo(0);
    else if (destPage == kPageCashSelect)
        m_cashSelPage->ButtonInitRefresh(1);
}

void appwidget::setTqcanWorkMode(bool bDebug)
{
    qDebug() << "--setTqcanWorkMode--sub page count=" << m_stackWidget->count();
    if (auto* page = qobject_cast<TQCAN*>(m_stackWidget->widget(kPageConfigurator))) {
        page->setDebugMode(bDebug);
        page->initDbPath();
    }
    qDebug() << "---setTqcanWorkMode----bDebug=" << (bDebug ? "true" : "false");
}
