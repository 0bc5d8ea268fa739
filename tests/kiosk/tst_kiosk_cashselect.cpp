// The currency page and its controller: which currencies the settings
// offer, the pictures of the kiosk language, the hover growth, the menu
// signal and the translator slot.

#include <QBoxLayout>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QTranslator>

#include "app/auxthreadcontroller.h"
#include "app/communicat.h"
#include "kiosk/cashselectpage.h"
#include "kiosk/cashselectpagecontrol.h"
#include "kiosk/commoncontrol.h"
#include "kioskpagetestsupport.h"
#include "kiosktestsupport.h"
#include "logcapture.h"
#include "quiethub.h"

using namespace kioskpagetest;

namespace {

// Currency codes in the order of the row.
const char* const kCodes[] = {"khr", "usd", "vnd", "thb", "rmb"};

QPushButton* button(const CashSelectPage& page, const QString& code)
{
    return page.findChild<QPushButton*>(code.startsWith("btn") ? code : "btn_cash_" + code);
}

// The codes of the enabled currency buttons, in row order.
QStringList offered(const CashSelectPage& page)
{
    QStringList codes;
    for (const char* code : kCodes) {
        if (button(page, code)->isEnabled())
            codes << QString::fromLatin1(code).toUpper();
    }
    return codes;
}

QList<int> stretches(const CashSelectPage& page)
{
    auto* row = page.findChild<QHBoxLayout*>("hLayoutMiddle");
    QList<int> result;
    for (const char* code : kCodes)
        result << row->stretch(row->indexOf(button(page, code)));
    return result;
}

} // namespace

class tst_kiosk_cashselect : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void controller();  // first, before any page has given it a common widget
    void currencyOffer_data();
    void currencyOffer();
    void languageChangeUsesTheLanguageFolder_data();
    void languageChangeUsesTheLanguageFolder();
    void hoverAndMenu();
    void translatorGoesWithItsPage();

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

void tst_kiosk_cashselect::controller()
{
    registerCommunicatMetaTypes();
    cashselectpageControl* control = cashselectpageControl::getInstance();
    QCOMPARE(cashselectpageControl::getInstance(), control);
    // Without the page's common widget the language counts as English.
    QVERIFY(!control->mCommonCtrl);
    QVERIFY(m_dir->writeIni("[Language]\nType=CN\n"));
    QCOMPARE(control->getLanguageType(), 1);

    LogCapture log(true);
    control->setAuxThreadCtrl(nullptr);
    QCOMPARE(log.countExact(QtDebugMsg, "registerCallAuxThread err:mAuxThreadCtrl is null"), 1);
    Communicat msg;
    msg.DestType = e_CASHSELPAGE;
    msg.cmdtype = "state";
    QVERIFY(!control->sendCompack(msg));

    // Once set, a null hub does not replace it.
    auxthreadcontroller hub;
    disconnectWorkers(&hub);
    control->setAuxThreadCtrl(&hub);
    control->setAuxThreadCtrl(nullptr);
    QCOMPARE(control->getAuxThreadController(), &hub);
    QSignalSpy toPage(&hub, &auxthreadcontroller::SignalToCashSelPage);
    QVERIFY(control->sendCompack(msg));
    QCOMPARE(toPage.size(), 1);
    QCOMPARE(toPage.first().first().value<Communicat>().cmdtype, QStringLiteral("state"));

    // Its translator is its own child.
    QCOMPARE(control->findChildren<QTranslator*>().size(), 1);

    // Built before main, it asked for its next signal to reach a slot that no
    // class has: Qt refused and said so on the console, as this program
    // shows again when it only lists its tests.
    QProcess self;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_FORCE_STDERR_LOGGING", "1");
    self.setProcessEnvironment(env);
    self.start(QCoreApplication::applicationFilePath(), {"-functions"});
    QVERIFY(self.waitForFinished(60000));
    QVERIFY(self.readAllStandardOutput().contains("controller()"));
    const QByteArray warnings = self.readAllStandardError();
    QVERIFY2(warnings.contains("QObject::connect: No such slot cashselectpageControl::doProcessClickedNext()"),
             warnings.constData());
}

void tst_kiosk_cashselect::currencyOffer_data()
{
    QTest::addColumn<QByteArray>("ini");
    QTest::addColumn<QString>("mode");
    QTest::addColumn<QString>("atStart");          // from [money] country alone
    QTest::addColumn<QStringList>("afterChange");  // from the mode's keys, in row order
    QTest::addColumn<QString>("lastNamed");
    const QByteArray keys = "[valiator0]\ncountry=USD\n[valiator1]\ncountry=THB\n[valiator2]\ncountry=vnd\n"
                            "[dispense]\ncurrency1=VND\ncurrency2=RMB\ncurrency3=KHR\n";
    const QByteArray riel = "[money]\ncountry=23185\n" + keys;
    QTest::newRow("card") << riel << "zdx_mode_card" << "KHR" << QStringList{"USD", "THB"} << "THB";
    QTest::newRow("cardless") << riel << "zdx_mode_cardless" << "KHR" << QStringList{"USD", "THB"} << "THB";
    QTest::newRow("withdraw cardless") << riel << "zdx_mode_withdraw_cardless" << "KHR"
                                       << QStringList{"KHR", "VND", "RMB"} << "KHR";
    // The first language change undoes the preselection at start.
    QTest::newRow("no mode") << QByteArray("[money]\ncountry=785\n") + keys << "" << "USD" << QStringList() << "";
    QTest::newRow("mode in other case") << riel << "ZDX_MODE_CARD" << "KHR" << QStringList() << "";
    QTest::newRow("other number") << QByteArray("[money]\ncountry=840\n") << "" << "" << QStringList() << "";
    QTest::newRow("trailing text") << QByteArray("[money]\ncountry=785usd\n") << "" << "" << QStringList() << "";
    QTest::newRow("other base") << QByteArray("[money]\ncountry=0x311\n") << "" << "" << QStringList() << "";
}

void tst_kiosk_cashselect::currencyOffer()
{
    QFETCH(QByteArray, ini);
    QFETCH(QString, mode);
    QFETCH(QString, atStart);
    QFETCH(QStringList, afterChange);
    QFETCH(QString, lastNamed);
    // The language does not matter at start: the pictures come from KHR.
    QVERIFY(m_dir->writeIni(ini + "[Language]\nType=EN\n"));
    CashSelectPage page;
    QCOMPARE(offered(page), atStart.isEmpty() ? QStringList() : QStringList{atStart});
    QCOMPARE(page.offeredCurrency(), atStart);
    for (const char* code : kCodes) {
        const QString picture = QStringLiteral("url(./resource/pic/CashSelect/KHR/btn_") + code
                                + (atStart == QString(code).toUpper() ? "_big.png)" : "2.png)");
        QVERIFY2(button(page, code)->styleSheet().contains(picture), code);
    }
    QVERIFY(button(page, "btnMenu")->styleSheet().contains("url(./resource/pic/CashSelect/KHR/btn_menu.png)"));
    QCOMPARE(page.findChild<QLabel*>("labelSelect")->text(), QStringLiteral("Please select the currency"));
    QVERIFY(button(page, "btnNext")->isHidden());

    kioskModeString = mode;
    // Only a language change refreshes the page.
    for (QEvent::Type type : {QEvent::FontChange, QEvent::StyleChange, QEvent::PaletteChange,
                              QEvent::EnabledChange, QEvent::LocaleChange}) {
        QEvent change(type);
        QCoreApplication::sendEvent(&page, &change);
    }
    QCOMPARE(page.offeredCurrency(), atStart);
    sendLanguageChange(&page);
    QCOMPARE(offered(page), afterChange);
    QCOMPARE(page.offeredCurrency(), lastNamed);
    // A switch to the page runs the same pass.
    QVERIFY(m_dir->writeIni(QByteArray()));
    page.ButtonInitRefresh(1);
    QCOMPARE(offered(page), QStringList());
}

void tst_kiosk_cashselect::languageChangeUsesTheLanguageFolder_data()
{
    QTest::addColumn<int>("language");
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("titleFamily");
    QTest::newRow("Khmer") << 0 << "KHR" << kSerifFamily;
    QTest::newRow("English") << 1 << "EN" << kSansFamily;
    QTest::newRow("Chinese") << 2 << "CN" << kSansFamily;
    QTest::newRow("none yet") << -1 << "KHR" << "";
}

void tst_kiosk_cashselect::languageChangeUsesTheLanguageFolder()
{
    QFETCH(int, language);
    QFETCH(QString, folder);
    QFETCH(QString, titleFamily);
    if (!installStandInFonts())
        QSKIP("the DejaVu fonts are missing");
    QVERIFY(m_dir->writeIni("[valiator0]\ncountry=VND\n"));
    CashSelectPage page;
    kioskModeString = "zdx_mode_card";
    QLabel* title = page.findChild<QLabel*>("labelSelect");
    title->setText("stale");
    const QFont before = title->font();
    kioskLanguageType = language;
    sendLanguageChange(&page);

    const QString base = "url(./resource/pic/CashSelect/" + folder + "/";
    QVERIFY(button(page, "vnd")->styleSheet().contains(base + "btn_vnd_big.png)"));
    QVERIFY(button(page, "khr")->styleSheet().contains(base + "btn_khr2.png)"));
    QVERIFY(button(page, "btnMenu")->styleSheet().contains(base + "btn_menu.png)"));
    QVERIFY(button(page, "btnNext")->styleSheet().contains(base + "btn_next2.png)"));
    QCOMPARE(title->text(), QStringLiteral("Please select the currency"));
    QCOMPARE(title->font().family(), titleFamily.isEmpty() ? before.family() : titleFamily);
}

void tst_kiosk_cashselect::hoverAndMenu()
{
    QVERIFY(m_dir->writeIni("[money]\ncountry=785\n"));
    CashSelectPage page;
    const QList<int> normal{260, 260, 260, 260, 260};
    QCOMPARE(stretches(page), normal);
    // Disabled buttons grow too; leaving any currency button puts all back.
    for (QEvent::Type type : {QEvent::Enter, QEvent::Leave}) {
        QEvent event(type);
        QCoreApplication::sendEvent(button(page, "rmb"), &event);
        QCOMPARE(stretches(page), (type == QEvent::Leave ? normal : QList<int>{260, 260, 260, 260, 321}));
    }

    QSignalSpy menu(cashselectpageControl::getInstance(), &cashselectpageControl::signalClickMenu);
    button(page, "btnMenu")->click();
    button(page, "usd")->click();
    QCOMPARE(menu.size(), 1);
    page.ButtonInitRefresh(1);  // adds no second connection
    button(page, "btnMenu")->click();
    QCOMPARE(menu.size(), 2);
    QVERIFY(QMetaObject::invokeMethod(&page, "doProcessClickedAllBtn"));  // no sender: nothing
    QCOMPARE(menu.size(), 2);
}

void tst_kiosk_cashselect::translatorGoesWithItsPage()
{
    QVERIFY(QFile::copy(QStringLiteral(TQ_BIN_DIR "/ORB_KHR.qm"), "ORB_KHR.qm"));
    auto* page = new CashSelectPage;
    emit cashselectpageControl::getInstance()->signalUpdateLang(0);
    QTRY_COMPARE(page->findChild<QLabel*>("labelSelect")->text(), QString::fromUtf8("សូមជ្រើសរើសរូបិយប័ណ្ណ"));
    delete page;
    QCOMPARE(QCoreApplication::translate("CashSelectPage", "Please select the currency"),
             QStringLiteral("Please select the currency"));
}

KIOSK_PAGE_TEST_MAIN(tst_kiosk_cashselect)
#include "tst_kiosk_cashselect.moc"
