// The kiosk home page: its clock texts, its restyling on language changes,
// its button dispatch and translator slot, and its destruction, which stops
// the worker threads.

#include <QApplication>
#include <iterator>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTimer>
#include <QtTest>

#include "app/auxthreadcontroller.h"
#include "app/communicat.h"
#include "app/mainpagecontrol.h"
#include "kiosk/commoncontrol.h"
#include "kiosk/kioskscale.h"
#include "kiosk/mainpage.h"
#include "kioskpagetestsupport.h"
#include "kiosktestsupport.h"
#include "logcapture.h"

using namespace kioskpagetest;

namespace {

const char* const kButtons[] = {"BTN_charge", "btnDepositCardless", "BTN_search",
                                "btnWithdrawCardless", "BTN_elec", "btnHelp"};
const char* const kPictures[] = {"homepage_deposit_card.png", "homepage_deposit_cardless.png",
                                 "homepage_send_money.png", "homepage_recieve_money.png",
                                 "homepage_phone.png", "homepage_help.png"};

QString text(const mainpage& page, const char* label)
{
    return page.findChild<QLabel*>(QLatin1String(label))->text();
}

QPushButton* button(const mainpage& page, const char* name)
{
    return page.findChild<QPushButton*>(QLatin1String(name));
}

} // namespace

class tst_kiosk_mainpage : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void scaleIsKnownFromConstruction();
    void clockTexts_data();
    void clockTexts();
    void clockSwitchesToOneSecondAfterFirstTick();
    void languageChangeRestyles_data();
    void languageChangeRestyles();
    void otherChangeEventsAreIgnored();
    void initialStyleWithoutLanguageUsesKhmerFolder();
    void withoutCommonWidgetNothingBreaks();
    void buttonsEmitTheControllersSignals();
    void translatorSlotReplacesItsTranslator();
    void destructionStopsTheWorkers();

private:
    QScopedPointer<KioskWorkDir> m_dir;
};

void tst_kiosk_mainpage::init()
{
    m_dir.reset(new KioskWorkDir);
    QVERIFY(m_dir->isValid());
    kioskLanguageType = -1;
    // The common widget the window builds right after the home page.
    delete mainpageControl::getInstance()->mCommonCtrl;
    mainpageControl::getInstance()->mCommonCtrl = new commoncontrol(nullptr);
}

void tst_kiosk_mainpage::cleanup()
{
    delete mainpageControl::getInstance()->mCommonCtrl;
    mainpageControl::getInstance()->mCommonCtrl = nullptr;
    m_dir.reset();
}

void tst_kiosk_mainpage::scaleIsKnownFromConstruction()
{
    mainpage page;
    const float expected = kioskscale::primaryScreenScale();
    QVERIFY(expected > 0.0f);
    QCOMPARE(page.scaleFactor(), expected);
}

void tst_kiosk_mainpage::clockTexts_data()
{
    QTest::addColumn<QDateTime>("now");
    QTest::addColumn<QString>("day");
    QTest::addColumn<QString>("time");
    QTest::addColumn<QString>("amPm");
    QTest::addColumn<QString>("month");
    QTest::addColumn<QString>("weekYear");
    QTest::newRow("Sunday afternoon") << QDateTime(QDate(2026, 12, 6), QTime(14, 5))
                                      << "6" << "14:05" << " pm " << "Dec" << "SUNDAY,2026";
    QTest::newRow("a minute before noon") << QDateTime(QDate(2026, 6, 10), QTime(11, 59))
                                          << "10" << "11:59" << " am " << "June" << "WEDNESDAY,2026";
    QTest::newRow("noon") << QDateTime(QDate(2026, 9, 3), QTime(12, 0))
                          << "3" << "12:00" << " pm " << "Sept" << "THURSDAY,2026";
    QTest::newRow("after midnight") << QDateTime(QDate(2027, 1, 1), QTime(0, 30))
                                    << "1" << "00:30" << " am " << "Jan" << "FRIDAY,2027";
    QTest::newRow("morning") << QDateTime(QDate(2026, 7, 18), QTime(9, 5))
                             << "18" << "09:05" << " am " << "July" << "SATURDAY,2026";
}

void tst_kiosk_mainpage::clockTexts()
{
    QFETCH(QDateTime, now);
    QFETCH(QString, day);
    QFETCH(QString, time);
    QFETCH(QString, amPm);
    QFETCH(QString, month);
    QFETCH(QString, weekYear);
    mainpage page;
    page.showDateTime(now);
    QCOMPARE(text(page, "labelDay"), "<font style = 'color:#F3F3F3;'>" + day + "</font>");
    QCOMPARE(text(page, "labelCurTime"), "<font style = 'color:#333333;'>" + time + "</font>");
    QCOMPARE(text(page, "label_amOrpm"), "<font style = 'color:#000000;'>" + amPm + "</font>");
    QCOMPARE(text(page, "labelMonth"), "<font style = 'color:#B5B7B8;'>" + month + "</font>");
    QCOMPARE(text(page, "labelWeekAndYear"), "<font style = 'color:#646464;'>" + weekYear + "</font>");
    QCOMPARE(page.findChild<QLabel*>("labelDay")->alignment(), Qt::AlignHCenter | Qt::AlignBottom);
    QCOMPARE(page.findChild<QLabel*>("label_amOrpm")->alignment(), Qt::Alignment(Qt::AlignBottom));
    QCOMPARE(page.findChild<QLabel*>("labelMonth")->alignment(), Qt::AlignHCenter | Qt::AlignBaseline);
}

void tst_kiosk_mainpage::clockSwitchesToOneSecondAfterFirstTick()
{
    LogCapture log(true);
    mainpage page;
    page.initDateTimeTimer();
    QTimer* timer = page.findChild<QTimer*>();
    QVERIFY(timer);
    QVERIFY(timer->isSingleShot());
    QCOMPARE(timer->interval(), 20);
    QTRY_COMPARE(log.countExact(QtDebugMsg, "showDateTime--1000ms"), 1);
    QVERIFY(!timer->isSingleShot());
    QCOMPARE(timer->interval(), 1000);
    QVERIFY(timer->isActive());
    QVERIFY(!text(page, "labelDay").isEmpty());

    // The next tick fills the labels again and leaves the timer alone.
    page.findChild<QLabel*>("labelDay")->clear();
    QTRY_VERIFY_WITH_TIMEOUT(!text(page, "labelDay").isEmpty(), 10000);
    QCOMPARE(log.countExact(QtDebugMsg, "showDateTime--1000ms"), 1);
    QCOMPARE(timer->interval(), 1000);
}

void tst_kiosk_mainpage::languageChangeRestyles_data()
{
    QTest::addColumn<int>("language");
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("titleFamily");
    QTest::newRow("Khmer") << 0 << "KHR" << kSerifFamily;
    QTest::newRow("English") << 1 << "EN" << kSansFamily;
    QTest::newRow("Chinese") << 2 << "CN" << kSansFamily;
    QTest::newRow("none yet") << -1 << "" << "";
}

void tst_kiosk_mainpage::languageChangeRestyles()
{
    QFETCH(int, language);
    QFETCH(QString, folder);
    QFETCH(QString, titleFamily);
    if (!standInFontsAvailable())
        QSKIP("the DejaVu fonts are missing");
    QVERIFY(installStandInFonts());

    mainpage page;
    QLabel* welcome = page.findChild<QLabel*>("labelWel");
    const QFont formFont = welcome->font();
    welcome->setText("stale");
    kioskLanguageType = language;
    sendLanguageChange(&page);

    // The form is translated again whatever the language.
    QCOMPARE(welcome->text(), QStringLiteral("Welcome !"));
    for (size_t i = 0; i < std::size(kButtons); ++i) {
        const QString style = button(page, kButtons[i])->styleSheet();
        if (folder.isEmpty()) {
            QVERIFY2(!style.contains("url("), qPrintable(style));  // the form's own style
            continue;
        }
        const QString picture = "./resource/pic/MainPage/" + folder + "/" + kPictures[i];
        // Normal, hover and pressed all show the same picture.
        QCOMPARE(style.count("url(" + picture + ")"), 3);
        QCOMPARE(style.count("url("), 3);
    }
    if (titleFamily.isEmpty()) {
        QCOMPARE(welcome->font(), formFont);
        return;
    }
    QCOMPARE(welcome->font().family(), titleFamily);
    QCOMPARE(welcome->font().pixelSize(), kioskscale::pixelSize(52, page.scaleFactor()));
    for (const char* name : {"labelMonth", "labelWeekAndYear"}) {
        const QFont font = page.findChild<QLabel*>(name)->font();
        QCOMPARE(font.family(), QString(language == 0 ? kSerifFamily : kSansFamily));
        QCOMPARE(font.pixelSize(), kioskscale::pixelSize(13, page.scaleFactor()));
    }
}

void tst_kiosk_mainpage::otherChangeEventsAreIgnored()
{
    mainpage page;
    kioskLanguageType = 1;
    QLabel* welcome = page.findChild<QLabel*>("labelWel");
    welcome->setText("kept");
    for (QEvent::Type type : {QEvent::FontChange, QEvent::PaletteChange, QEvent::StyleChange}) {
        QEvent change(type);
        QCoreApplication::sendEvent(&page, &change);
    }
    QCOMPARE(welcome->text(), QStringLiteral("kept"));
    QVERIFY(button(page, "BTN_charge")->styleSheet().contains("Aharoni"));
    QVERIFY(!button(page, "BTN_charge")->styleSheet().contains("url("));
}

void tst_kiosk_mainpage::initialStyleWithoutLanguageUsesKhmerFolder()
{
    mainpage page;
    kioskLanguageType = -1;
    page.initFont();
    QVERIFY(button(page, "btnHelp")->styleSheet().contains("./resource/pic/MainPage/KHR/homepage_help.png"));
    QVERIFY(page.findChild<QLabel*>("labelDay")->testAttribute(Qt::WA_TranslucentBackground));
    QCOMPARE(page.findChild<QFrame*>("frame_curTime")->styleSheet(),
             QStringLiteral("QFrame{border-image:url(./resource/pic/MainPage/homepage_time.png)}"));
}

void tst_kiosk_mainpage::withoutCommonWidgetNothingBreaks()
{
    delete mainpageControl::getInstance()->mCommonCtrl;
    mainpageControl::getInstance()->mCommonCtrl = nullptr;
    auto* page = new mainpage;
    kioskLanguageType = 2;
    page->initComAtmId();
    page->initComLanguage();
    page->showATMID();
    page->initFont();
    sendLanguageChange(page);
    QVERIFY(button(*page, "BTN_elec")->styleSheet().contains("/MainPage/CN/"));
    LogCapture log(true);
    delete page;
    QCOMPARE(log.countExact(QtDebugMsg, "mainpage::delete comLanguage "), 1);
    QCOMPARE(log.countExact(QtDebugMsg, "deleteMutexThread--begin"), 1);
}

void tst_kiosk_mainpage::buttonsEmitTheControllersSignals()
{
    mainpageControl* control = mainpageControl::getInstance();
    QSignalSpy deposit(control, &mainpageControl::signalDepositStart);
    QSignalSpy clessDeposit(control, &mainpageControl::signalCLessDepositStart);
    QSignalSpy withdraw(control, &mainpageControl::signalWithdrawStart);
    QSignalSpy clessWithdraw(control, &mainpageControl::signalCLessWithdrawStart);
    auto total = [&] { return deposit.size() + clessDeposit.size() + withdraw.size() + clessWithdraw.size(); };

    mainpage page;
    page.ButtonInit();
    page.ButtonInit();  // still one connection per button
    button(page, "BTN_charge")->click();
    QCOMPARE(deposit.size(), 1);
    button(page, "btnDepositCardless")->click();
    QCOMPARE(clessDeposit.size(), 1);
    button(page, "btnWithdrawCardless")->click();
    QCOMPARE(clessWithdraw.size(), 1);
    button(page, "BTN_search")->click();  // wired to nothing
    QCOMPARE(total(), 3);

    // Dispatch is by exact object name.
    QPushButton withdrawCard(&page);
    withdrawCard.setObjectName("btnWithdrawCard");
    QPushButton wrongCase(&page);
    wrongCase.setObjectName("btn_Charge");
    for (QPushButton* b : {&withdrawCard, &wrongCase})
        connect(b, &QPushButton::clicked, &page, &mainpage::doProcessClickedAllBtn);
    withdrawCard.click();
    QCOMPARE(withdraw.size(), 1);
    wrongCase.click();
    QCOMPARE(total(), 4);

    // Called directly there is no sender: nothing is emitted.
    page.doProcessClickedAllBtn();
    QCOMPARE(total(), 4);
}

void tst_kiosk_mainpage::translatorSlotReplacesItsTranslator()
{
    const QString qm = QStringLiteral(TQ_BIN_DIR "/ORB_CN.qm");
    QVERIFY(QFile::copy(qm, "ORB_CN.qm"));
    auto welcome = [] { return QCoreApplication::translate("mainpage", "Welcome !"); };

    auto* first = new mainpage;
    first->doProcessShowFixLanguage(2);
    QCOMPARE(welcome(), QString::fromUtf8("欢迎！"));
    QCOMPARE(QCoreApplication::translate("mainpage", "SUNDAY"), QString::fromUtf8("星期日"));
    // The translator goes with the page that made it; a later page must not
    // find it again.
    delete first;
    QCOMPARE(welcome(), QStringLiteral("Welcome !"));

    mainpage page;
    page.doProcessShowFixLanguage(2);
    QCOMPARE(welcome(), QString::fromUtf8("欢迎！"));
    page.doProcessShowFixLanguage(5);  // the old one goes, an empty one comes
    QCOMPARE(welcome(), QStringLiteral("Welcome !"));
    QCOMPARE(page.findChildren<QTranslator*>().size(), 1);

    // Emitted by the controller once the page is connected.
    page.initConnect();
    emit mainpageControl::getInstance()->signalUpdateLang(2);
    QCOMPARE(welcome(), QString::fromUtf8("欢迎！"));
    QCOMPARE(page.findChildren<QTranslator*>().size(), 1);
    page.doProcessShowFixLanguage(-1);
}

void tst_kiosk_mainpage::destructionStopsTheWorkers()
{
    registerCommunicatMetaTypes();
    LogCapture log(true);
    auxthreadcontroller* hub = mainpageControl::getInstance()->createAuxThreadCtrl();
    QThread* heart = hub->getHeartWorker()->thread();
    QThread* serial = hub->getSerialWorker()->thread();
    QTRY_VERIFY(heart->isRunning() && serial->isRunning());
    QSignalSpy heartDone(heart, &QThread::finished);
    QSignalSpy serialDone(serial, &QThread::finished);

    delete new mainpage;
    QCOMPARE(heartDone.size(), 1);
    QCOMPARE(serialDone.size(), 1);
    QCOMPARE(mainpageControl::getInstance()->getAuxThreadController(), nullptr);
    QCOMPARE(log.countExact(QtDebugMsg, "auxthreadcontroller-----quit--over"), 1);
}

int main(int argc, char** argv)
{
    // The kiosk ID comes from a store below XDG_CONFIG_HOME: keep the
    // user's own out of reach.
    QTemporaryDir configHome;
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(configHome.path()));
    QApplication app(argc, argv);
    tst_kiosk_mainpage test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_kiosk_mainpage.moc"
