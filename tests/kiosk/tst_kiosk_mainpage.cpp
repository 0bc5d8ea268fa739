// The kiosk home page: its clock texts, its restyling on language changes,
// its button dispatch and its translator slot.

#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>

#include "app/mainpagecontrol.h"
#include "kiosk/commoncontrol.h"
#include "kiosk/kioskscale.h"
#include "kiosk/mainpage.h"
#include "kioskpagetestsupport.h"
#include "kiosktestsupport.h"

using namespace kioskpagetest;

namespace {

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
    void clockTexts_data();
    void clockTexts();
    void clockTicks();
    void languageChangeRestyles_data();
    void languageChangeRestyles();
    void withoutCommonWidgetNothingBreaks();
    void buttonsEmitTheControllersSignals();
    void translatorGoesWithItsPage();

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

void tst_kiosk_mainpage::clockTexts_data()
{
    QTest::addColumn<QDateTime>("now");
    QTest::addColumn<QStringList>("texts");  // day, time, am/pm, month, weekday and year
    QTest::newRow("Sunday afternoon") << QDateTime(QDate(2026, 12, 6), QTime(14, 5))
                                      << QStringList{"6", "14:05", " pm ", "Dec", "SUNDAY,2026"};
    QTest::newRow("a minute before noon") << QDateTime(QDate(2026, 6, 10), QTime(11, 59))
                                          << QStringList{"10", "11:59", " am ", "June", "WEDNESDAY,2026"};
    QTest::newRow("noon") << QDateTime(QDate(2026, 9, 3), QTime(12, 0))
                          << QStringList{"3", "12:00", " pm ", "Sept", "THURSDAY,2026"};
    QTest::newRow("after midnight") << QDateTime(QDate(2027, 1, 1), QTime(0, 30))
                                    << QStringList{"1", "00:30", " am ", "Jan", "FRIDAY,2027"};
}

void tst_kiosk_mainpage::clockTexts()
{
    QFETCH(QDateTime, now);
    QFETCH(QStringList, texts);
    mainpage page;
    page.showDateTime(now);
    const struct { const char* label; const char* colour; Qt::Alignment alignment; } looks[] = {
        {"labelDay", "#F3F3F3", Qt::AlignHCenter | Qt::AlignBottom},
        {"labelCurTime", "#333333", Qt::AlignHCenter | Qt::AlignBottom},
        {"label_amOrpm", "#000000", Qt::AlignBottom},
        {"labelMonth", "#B5B7B8", Qt::AlignHCenter | Qt::AlignBaseline},
        {"labelWeekAndYear", "#646464", Qt::AlignHCenter | Qt::AlignBaseline},
    };
    for (int i = 0; i < texts.size(); ++i) {
        QCOMPARE(text(page, looks[i].label),
                 QString("<font style = 'color:%1;'>%2</font>").arg(looks[i].colour, texts[i]));
        QCOMPARE(page.findChild<QLabel*>(looks[i].label)->alignment(), looks[i].alignment);
    }
}

void tst_kiosk_mainpage::clockTicks()
{
    mainpage page;
    page.initDateTimeTimer();
    QTRY_VERIFY(!text(page, "labelDay").isEmpty());
    // After the first tick the clock keeps going.
    page.findChild<QLabel*>("labelDay")->clear();
    QTRY_VERIFY_WITH_TIMEOUT(!text(page, "labelDay").isEmpty(), 10000);
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
    if (!installStandInFonts())
        QSKIP("the DejaVu fonts are missing");
    mainpage page;
    QLabel* welcome = page.findChild<QLabel*>("labelWel");
    const QFont formFont = welcome->font();
    const char* const dateLabels[] = {"labelMonth", "labelWeekAndYear"};
    QList<QFont> dateFonts;
    for (const char* name : dateLabels)
        dateFonts << page.findChild<QLabel*>(name)->font();
    welcome->setText("stale");
    kioskLanguageType = language;
    sendLanguageChange(&page);

    // The form is translated again whatever the language.
    QCOMPARE(welcome->text(), QStringLiteral("Welcome !"));
    const char* const buttons[] = {"BTN_charge", "btnDepositCardless", "BTN_search",
                                   "btnWithdrawCardless", "BTN_elec", "btnHelp"};
    const char* const pictures[] = {"deposit_card", "deposit_cardless", "send_money",
                                    "recieve_money", "phone", "help"};
    for (int i = 0; i < 6; ++i) {
        const QString style = button(page, buttons[i])->styleSheet();
        const QString picture = "url(./resource/pic/MainPage/" + folder + "/homepage_" + pictures[i] + ".png)";
        // Normal, hover and pressed all show the same picture; with no
        // language the form's own style stays.
        QCOMPARE(style.count("url("), folder.isEmpty() ? 0 : 3);
        QCOMPARE(style.count(picture), folder.isEmpty() ? 0 : 3);
    }
    QCOMPARE(welcome->font().family(), titleFamily.isEmpty() ? formFont.family() : titleFamily);
    // The welcome text at 52 design pixels, both date labels in the
    // language's date font at 13.
    const float scale = page.scaleFactor();
    QCOMPARE(welcome->font().pixelSize(),
             titleFamily.isEmpty() ? formFont.pixelSize() : kioskscale::pixelSize(52, scale));
    for (int i = 0; i < 2; ++i) {
        const QFont font = page.findChild<QLabel*>(dateLabels[i])->font();
        QCOMPARE(font.family(), titleFamily.isEmpty() ? dateFonts[i].family() : titleFamily);
        QCOMPARE(font.pixelSize(), titleFamily.isEmpty() ? dateFonts[i].pixelSize() : kioskscale::pixelSize(13, scale));
    }
}

void tst_kiosk_mainpage::withoutCommonWidgetNothingBreaks()
{
    delete mainpageControl::getInstance()->mCommonCtrl;
    mainpageControl::getInstance()->mCommonCtrl = nullptr;
    const bool fonts = installStandInFonts();
    mainpage page;
    const QFont formFont = page.findChild<QLabel*>("labelWel")->font();
    kioskLanguageType = 2;
    page.initComAtmId();
    page.initComLanguage();
    page.showATMID();
    page.initFont();
    sendLanguageChange(&page);
    QVERIFY(button(page, "BTN_elec")->styleSheet().contains("/MainPage/CN/"));
    // No widget to apply fonts through: the form's stay.
    QVERIFY(!fonts || page.findChild<QLabel*>("labelWel")->font().family() == formFont.family());
    // The clock's labels let the time panel's picture show through.
    for (const char* clock : {"labelDay", "labelMonth", "labelCurTime", "labelWeekAndYear", "label_amOrpm"})
        QVERIFY(page.findChild<QLabel*>(clock)->testAttribute(Qt::WA_TranslucentBackground));
    QVERIFY(page.findChild<QFrame*>("frame_curTime")->styleSheet().contains("MainPage/homepage_time.png"));
}

void tst_kiosk_mainpage::buttonsEmitTheControllersSignals()
{
    mainpageControl* control = mainpageControl::getInstance();
    QSignalSpy deposit(control, &mainpageControl::signalDepositStart);
    QSignalSpy clessDeposit(control, &mainpageControl::signalCLessDepositStart);
    QSignalSpy withdraw(control, &mainpageControl::signalWithdrawStart);
    QSignalSpy clessWithdraw(control, &mainpageControl::signalCLessWithdrawStart);
    auto counts = [&] {
        return QList<int>{deposit.size(), clessDeposit.size(), withdraw.size(), clessWithdraw.size()};
    };

    mainpage page;
    page.ButtonInit();
    page.ButtonInit();  // still one connection per button
    // Dispatch is by object name; the page has no card withdrawal button,
    // so one is added.
    QPushButton withdrawCard(&page);
    withdrawCard.setObjectName("btnWithdrawCard");
    connect(&withdrawCard, &QPushButton::clicked, &page, &mainpage::doProcessClickedAllBtn);
    for (QPushButton* b : {button(page, "BTN_charge"), button(page, "btnDepositCardless"),
                           button(page, "btnWithdrawCardless"), &withdrawCard, button(page, "BTN_search")})
        b->click();
    QCOMPARE(counts(), QList<int>({1, 1, 1, 1}));

    // Called directly there is no sender: nothing is emitted.
    page.doProcessClickedAllBtn();
    QCOMPARE(counts(), QList<int>({1, 1, 1, 1}));
}

void tst_kiosk_mainpage::translatorGoesWithItsPage()
{
    QVERIFY(QFile::copy(QStringLiteral(TQ_BIN_DIR "/ORB_CN.qm"), "ORB_CN.qm"));
    auto welcome = [] { return QCoreApplication::translate("mainpage", "Welcome !"); };
    auto* page = new mainpage;
    page->initConnect();
    emit mainpageControl::getInstance()->signalUpdateLang(2);
    QCOMPARE(welcome(), QString::fromUtf8("欢迎！"));
    page->doProcessShowFixLanguage(5);  // the old one goes, an empty one comes
    QCOMPARE(welcome(), QStringLiteral("Welcome !"));
    QCOMPARE(page->findChildren<QTranslator*>().size(), 1);
    // A later page must not find the translator of a page that is gone.
    page->doProcessShowFixLanguage(2);
    delete page;
    QCOMPARE(welcome(), QStringLiteral("Welcome !"));
    mainpage().doProcessShowFixLanguage(-1);
}

KIOSK_PAGE_TEST_MAIN(tst_kiosk_mainpage)
#include "tst_kiosk_mainpage.moc"
