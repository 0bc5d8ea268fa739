// The currency page and its controller: which currencies the settings
// offer, the pictures of the kiosk language, the hover growth, the menu
// signal, the translator slot, and the screen scale of its title.

#include <QApplication>
#include <QBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QtTest>

#include "app/auxthreadcontroller.h"
#include "app/communicat.h"
#include "kiosk/cashselectpage.h"
#include "kiosk/cashselectpagecontrol.h"
#include "kiosk/commoncontrol.h"
#include "kiosk/kioskscale.h"
#include "kioskpagetestsupport.h"
#include "kiosktestsupport.h"
#include "logcapture.h"
#include "quiethub.h"

using namespace kioskpagetest;

namespace {

// Currency codes in the order of the row, with their buttons.
const char* const kCodes[] = {"khr", "usd", "vnd", "thb", "rmb"};

QPushButton* currencyButton(const CashSelectPage& page, const char* code)
{
    return page.findChild<QPushButton*>(QStringLiteral("btn_cash_") + QLatin1String(code));
}

// The codes of the enabled currency buttons, in row order.
QStringList offered(const CashSelectPage& page)
{
    QStringList codes;
    for (const char* code : kCodes) {
        if (currencyButton(page, code)->isEnabled())
            codes << QString::fromLatin1(code).toUpper();
    }
    return codes;
}

int stretchOf(const CashSelectPage& page, const char* code)
{
    auto* row = page.findChild<QHBoxLayout*>("hLayoutMiddle");
    return row->stretch(row->indexOf(currencyButton(page, code)));
}

} // namespace

class tst_kiosk_cashselect : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    // The controller first, before any page has given it a common widget.
    void controllerIsOneInstance();
    void controllerWithoutHub();
    void controllerKeepsItsHub();

    void scaleFactors_data();
    void scaleFactors();
    void titleFollowsTheScreen();
    void startPreselectsFromMoneyCountry_data();
    void startPreselectsFromMoneyCountry();
    void refreshOffersWhatTheModeNames_data();
    void refreshOffersWhatTheModeNames();
    void languageChangeUsesTheLanguageFolder_data();
    void languageChangeUsesTheLanguageFolder();
    void hoveredCurrencyGrows();
    void menuClickEmitsOnce();
    void translatorSlotFollowsTheController();
    void destructionRemovesTheKioskIdLabel();

private:
    QScopedPointer<KioskWorkDir> m_dir;
};

void tst_kiosk_cashselect::init()
{
    m_dir.reset(new KioskWorkDir);
    QVERIFY(m_dir->isValid());
    kioskModeString.clear();
}

void tst_kiosk_cashselect::cleanup()
{
    kioskModeString.clear();
    m_dir.reset();
}

void tst_kiosk_cashselect::controllerIsOneInstance()
{
    cashselectpageControl* control = cashselectpageControl::getInstance();
    QVERIFY(control);
    QCOMPARE(cashselectpageControl::getInstance(), control);
    // Without the page's common widget the language counts as English.
    QVERIFY(!control->mCommonCtrl);
    QVERIFY(m_dir->writeIni("[Language]\nType=CN\n"));
    QCOMPARE(control->getLanguageType(), 1);
}

void tst_kiosk_cashselect::controllerWithoutHub()
{
    cashselectpageControl* control = cashselectpageControl::getInstance();
    LogCapture log(true);
    control->setAuxThreadCtrl(nullptr);
    QCOMPARE(log.countExact(QtDebugMsg, "registerCallAuxThread err:mAuxThreadCtrl is null"), 1);
    QCOMPARE(control->getAuxThreadController(), nullptr);
    Communicat msg;
    msg.DestType = e_CASHSELPAGE;
    QVERIFY(!control->sendCompack(msg));
    QCOMPARE(log.countExact(QtDebugMsg, "sendCompack err:mAuxThreadCtrl is null"), 1);
}

void tst_kiosk_cashselect::controllerKeepsItsHub()
{
    registerCommunicatMetaTypes();
    cashselectpageControl* control = cashselectpageControl::getInstance();
    auxthreadcontroller hub;
    disconnectWorkers(&hub);
    LogCapture log(true);
    control->setAuxThreadCtrl(&hub);
    control->setAuxThreadCtrl(nullptr);
    QCOMPARE(control->getAuxThreadController(), &hub);
    QCOMPARE(log.count(QtDebugMsg, "mAuxThreadCtrl is null"), 0);

    QSignalSpy toPage(&hub, &auxthreadcontroller::SignalToCashSelPage);
    Communicat msg;
    msg.SrcType = e_TQTHREAD;
    msg.DestType = e_CASHSELPAGE;
    msg.cmdtype = "state";
    QVERIFY(control->sendCompack(msg));
    QCOMPARE(toPage.size(), 1);
    QCOMPARE(toPage.first().first().value<Communicat>().cmdtype, QStringLiteral("state"));
}

void tst_kiosk_cashselect::scaleFactors_data()
{
    QTest::addColumn<int>("width");
    QTest::addColumn<float>("scale");
    QTest::addColumn<int>("title");       // 24 times the scale
    QTest::addColumn<int>("khmerTitle");  // 30 times the scale
    QTest::newRow("1920") << 1920 << 1.0f << 24 << 30;
    QTest::newRow("1366") << 1366 << 0.71145833f << 17 << 21;
    QTest::newRow("800") << 800 << 0.41666667f << 10 << 12;
    QTest::newRow("3840") << 3840 << 2.0f << 48 << 60;
}

void tst_kiosk_cashselect::scaleFactors()
{
    QFETCH(int, width);
    QFETCH(float, scale);
    QFETCH(int, title);
    QFETCH(int, khmerTitle);
    const float factor = kioskscale::scaleForWidth(width);
    QCOMPARE(factor, scale);
    QCOMPARE(kioskscale::pixelSize(24.0, factor), title);
    QCOMPARE(kioskscale::pixelSize(30.0, factor), khmerTitle);
}

void tst_kiosk_cashselect::titleFollowsTheScreen()
{
    if (!standInFontsAvailable())
        QSKIP("the DejaVu fonts are missing");
    QVERIFY(installStandInFonts());
    CashSelectPage page;
    const float expected = kioskscale::scaleForWidth(QGuiApplication::primaryScreen()->availableGeometry().width());
    QCOMPARE(page.scaleFactor(), expected);
    QLabel* title = page.findChild<QLabel*>("labelSelect");
    QCOMPARE(title->text(), QStringLiteral("Please select the currency"));
    QCOMPARE(title->font().family(), QString(kSansFamily));
    QCOMPARE(title->font().pixelSize(), kioskscale::pixelSize(24.0, expected));
    QCOMPARE(title->palette().color(QPalette::Disabled, QPalette::WindowText), QColor(Qt::white));
}

void tst_kiosk_cashselect::startPreselectsFromMoneyCountry_data()
{
    QTest::addColumn<QByteArray>("ini");
    QTest::addColumn<QStringList>("enabled");
    QTest::newRow("dollar") << QByteArray("[money]\ncountry=785\n") << QStringList{"USD"};
    QTest::newRow("riel") << QByteArray("[money]\ncountry=23185\n") << QStringList{"KHR"};
    QTest::newRow("other number") << QByteArray("[money]\ncountry=840\n") << QStringList();
    QTest::newRow("not a number") << QByteArray("[money]\ncountry=abc\n") << QStringList();
    QTest::newRow("trailing text") << QByteArray("[money]\ncountry=785usd\n") << QStringList();
    QTest::newRow("other base") << QByteArray("[money]\ncountry=0x311\n") << QStringList();
    QTest::newRow("no key") << QByteArray() << QStringList();
}

void tst_kiosk_cashselect::startPreselectsFromMoneyCountry()
{
    QFETCH(QByteArray, ini);
    QFETCH(QStringList, enabled);
    // The language does not matter at start: the pictures come from KHR.
    QVERIFY(m_dir->writeIni(ini + "[Language]\nType=EN\n"));
    CashSelectPage page;
    QCOMPARE(offered(page), enabled);
    QCOMPARE(page.offeredCurrency(), enabled.value(0));
    for (const char* code : kCodes) {
        const QString style = currencyButton(page, code)->styleSheet();
        const QString prefix = QStringLiteral("./resource/pic/CashSelect/KHR/btn_") + QLatin1String(code);
        if (enabled.contains(QString::fromLatin1(code).toUpper())) {
            QCOMPARE(style.count("url(" + prefix + ".png)"), 1);
            QCOMPARE(style.count("url(" + prefix + "_big.png)"), 2);
        } else {
            QCOMPARE(style.count("url(" + prefix + "2.png)"), 3);
        }
    }
    QVERIFY(page.findChild<QPushButton*>("btnMenu")->styleSheet().contains("CashSelect/KHR/btn_menu.png"));
    QVERIFY(page.findChild<QPushButton*>("btnNext")->isHidden());
    QVERIFY(page.findChild<QPushButton*>("btnNext")->sizePolicy().retainSizeWhenHidden());
}

void tst_kiosk_cashselect::refreshOffersWhatTheModeNames_data()
{
    QTest::addColumn<QString>("mode");
    QTest::addColumn<QByteArray>("ini");
    QTest::addColumn<QStringList>("enabled");
    QTest::addColumn<QString>("last");
    const QByteArray both = "[money]\ncountry=23185\n"
                            "[valiator0]\ncountry=USD\n[valiator1]\ncountry=THB\n"
                            "[dispense]\ncurrency1=VND\ncurrency2=RMB\ncurrency3=KHR\n";
    QTest::newRow("card") << "zdx_mode_card" << both << QStringList{"USD", "THB"} << "THB";
    QTest::newRow("cardless") << "zdx_mode_cardless" << both << QStringList{"USD", "THB"} << "THB";
    QTest::newRow("withdraw cardless") << "zdx_mode_withdraw_cardless" << both
                                       << QStringList{"KHR", "VND", "RMB"} << "KHR";
    // The first language change undoes the preselection at start.
    QTest::newRow("no mode") << "" << both << QStringList() << "";
    QTest::newRow("mode in other case") << "ZDX_MODE_CARD" << both << QStringList() << "";
    QTest::newRow("lower-case code") << "zdx_mode_card" << QByteArray("[valiator2]\ncountry=usd\n")
                                     << QStringList() << "";
    QTest::newRow("named twice") << "zdx_mode_card"
                                 << QByteArray("[valiator0]\ncountry=RMB\n[valiator1]\ncountry=VND\n"
                                               "[valiator2]\ncountry=RMB\n")
                                 << QStringList{"VND", "RMB"} << "RMB";
}

void tst_kiosk_cashselect::refreshOffersWhatTheModeNames()
{
    QFETCH(QString, mode);
    QFETCH(QByteArray, ini);
    QFETCH(QStringList, enabled);
    QFETCH(QString, last);
    QVERIFY(m_dir->writeIni(ini));
    CashSelectPage page;
    kioskModeString = mode;
    sendLanguageChange(&page);
    QCOMPARE(offered(page), enabled);
    QCOMPARE(page.offeredCurrency(), last);

    // A switch to the page runs the same pass.
    QVERIFY(m_dir->writeIni(QByteArray()));
    page.ButtonInitRefresh(1);
    QCOMPARE(offered(page), QStringList());
    QCOMPARE(page.offeredCurrency(), QString());
}

void tst_kiosk_cashselect::languageChangeUsesTheLanguageFolder_data()
{
    QTest::addColumn<int>("language");
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("titleFamily");
    QTest::addColumn<double>("titleSize");
    QTest::newRow("Khmer") << 0 << "KHR" << kSerifFamily << 30.0;
    QTest::newRow("English") << 1 << "EN" << kSansFamily << 24.0;
    QTest::newRow("Chinese") << 2 << "CN" << kSansFamily << 24.0;
    QTest::newRow("none yet") << -1 << "KHR" << "" << 0.0;
}

void tst_kiosk_cashselect::languageChangeUsesTheLanguageFolder()
{
    QFETCH(int, language);
    QFETCH(QString, folder);
    QFETCH(QString, titleFamily);
    QFETCH(double, titleSize);
    if (!standInFontsAvailable())
        QSKIP("the DejaVu fonts are missing");
    QVERIFY(installStandInFonts());
    QVERIFY(m_dir->writeIni("[valiator0]\ncountry=VND\n"));
    CashSelectPage page;
    kioskModeString = "zdx_mode_card";
    QLabel* title = page.findChild<QLabel*>("labelSelect");
    title->setText("stale");
    const QFont before = title->font();
    kioskLanguageType = language;
    sendLanguageChange(&page);

    const QString base = "./resource/pic/CashSelect/" + folder + "/";
    QVERIFY(currencyButton(page, "vnd")->styleSheet().contains("url(" + base + "btn_vnd_big.png)"));
    QVERIFY(currencyButton(page, "khr")->styleSheet().contains("url(" + base + "btn_khr2.png)"));
    const QString menu = page.findChild<QPushButton*>("btnMenu")->styleSheet();
    QVERIFY(menu.contains("url(" + base + "btn_menu.png)") && menu.contains("url(" + base + "btn_menu2.png)"));
    QVERIFY(page.findChild<QPushButton*>("btnNext")->styleSheet().contains("url(" + base + "btn_next2.png)"));
    QCOMPARE(title->text(), QStringLiteral("Please select the currency"));
    if (titleFamily.isEmpty()) {
        QCOMPARE(title->font(), before);
    } else {
        QCOMPARE(title->font().family(), titleFamily);
        QCOMPARE(title->font().pixelSize(), kioskscale::pixelSize(titleSize, page.scaleFactor()));
    }
}

void tst_kiosk_cashselect::hoveredCurrencyGrows()
{
    CashSelectPage page;
    for (const char* code : kCodes)
        QCOMPARE(stretchOf(page, code), 260);

    QEvent enter(QEvent::Enter);
    QCoreApplication::sendEvent(currencyButton(page, "vnd"), &enter);
    for (const char* code : kCodes)
        QCOMPARE(stretchOf(page, code), qstrcmp(code, "vnd") == 0 ? 321 : 260);
    // Disabled buttons grow too: the filter does not look at the state.
    QCoreApplication::sendEvent(currencyButton(page, "rmb"), &enter);
    QCOMPARE(stretchOf(page, "rmb"), 321);
    QCOMPARE(stretchOf(page, "vnd"), 260);

    // Leaving any currency button puts every one back.
    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(currencyButton(page, "khr"), &leave);
    for (const char* code : kCodes)
        QCOMPARE(stretchOf(page, code), 260);
    // The spacers keep their stretches.
    auto* row = page.findChild<QHBoxLayout*>("hLayoutMiddle");
    QCOMPARE(row->stretch(0), 201);
    QCOMPARE(row->stretch(2), 34);
    QCOMPARE(row->stretch(10), 283);
}

void tst_kiosk_cashselect::menuClickEmitsOnce()
{
    QVERIFY(m_dir->writeIni("[money]\ncountry=785\n"));
    CashSelectPage page;
    QSignalSpy menu(cashselectpageControl::getInstance(), &cashselectpageControl::signalClickMenu);
    page.findChild<QPushButton*>("btnMenu")->click();
    QCOMPARE(menu.size(), 1);
    currencyButton(page, "usd")->click();
    QCOMPARE(menu.size(), 1);
    // A second refresh adds no second connection.
    page.ButtonInitRefresh(1);
    page.findChild<QPushButton*>("btnMenu")->click();
    QCOMPARE(menu.size(), 2);
}

void tst_kiosk_cashselect::translatorSlotFollowsTheController()
{
    QVERIFY(QFile::copy(QStringLiteral(TQ_BIN_DIR "/ORB_KHR.qm"), "ORB_KHR.qm"));
    auto* page = new CashSelectPage;
    QLabel* title = page->findChild<QLabel*>("labelSelect");
    const QString khmer = QString::fromUtf8("សូមជ្រើសរើសរូបិយប័ណ្ណ");
    emit cashselectpageControl::getInstance()->signalUpdateLang(0);
    // The translator's installation reaches the page as a language change.
    QTRY_COMPARE(title->text(), khmer);
    emit cashselectpageControl::getInstance()->signalUpdateLang(5);
    QTRY_COMPARE(title->text(), QStringLiteral("Please select the currency"));
    QCOMPARE(page->findChildren<QTranslator*>().size(), 1);

    // The translator goes with its page; the next page starts afresh.
    emit cashselectpageControl::getInstance()->signalUpdateLang(0);
    delete page;
    QCOMPARE(QCoreApplication::translate("CashSelectPage", "Please select the currency"),
             QStringLiteral("Please select the currency"));
    CashSelectPage next;
    emit cashselectpageControl::getInstance()->signalUpdateLang(0);
    QTRY_COMPARE(next.findChild<QLabel*>("labelSelect")->text(), khmer);
    emit cashselectpageControl::getInstance()->signalUpdateLang(-1);
}

void tst_kiosk_cashselect::destructionRemovesTheKioskIdLabel()
{
    auto* page = new CashSelectPage;
    QFrame* frame = page->findChild<QFrame*>("frame_sel_atm_id");
    QLabel* label = frame->findChild<QLabel*>();
    QVERIFY(label);
    QCOMPARE(label->text(), QStringLiteral("ATM ID:unkown"));
    // A refresh fits the label again and keeps it.
    page->ButtonInitRefresh(-1);
    QCOMPARE(frame->findChildren<QLabel*>().size(), 1);

    LogCapture log(true);
    delete page;
    QCOMPARE(log.countExact(QtDebugMsg, "delete mATMID--"), 1);
    QCOMPARE(log.countExact(QtDebugMsg, "CashSelectPage::delete comLanguage "), 1);
}

int main(int argc, char** argv)
{
    // The kiosk ID comes from a store below XDG_CONFIG_HOME: an empty one.
    QTemporaryDir configHome;
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(configHome.path()));
    QApplication app(argc, argv);
    tst_kiosk_cashselect test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_kiosk_cashselect.moc"
