// The kiosk pages size their fonts for the primary screen's available width
// over the 1920 pixels they are drawn for, from their construction on. Run
// on the offscreen platform it checks the pages against the factor of
// whatever screen there is; under Xvfb with TQ_SCREEN_WIDTH set it checks
// that real screen's width and the title sizes the kiosk is built for.

#include <QLabel>
#include <QScreen>

#include "app/mainpagecontrol.h"
#include "kiosk/cashselectpage.h"
#include "kiosk/commoncontrol.h"
#include "kiosk/kioskscale.h"
#include "kiosk/mainpage.h"
#include "kioskpagetestsupport.h"
#include "kiosktestsupport.h"

using namespace kioskpagetest;

class tst_kiosk_screenscale : public QObject
{
    Q_OBJECT
private slots:
    void pagesScaleForThePrimaryScreen();
};

void tst_kiosk_screenscale::pagesScaleForThePrimaryScreen()
{
    KioskWorkDir dir;
    QVERIFY(dir.writeIni("[Language]\nType=KH\n"));
    const bool fonts = installStandInFonts();
    const int width = QGuiApplication::primaryScreen()->availableGeometry().width();
    if (qEnvironmentVariableIsSet("TQ_SCREEN_WIDTH"))
        QCOMPARE(width, qEnvironmentVariableIntValue("TQ_SCREEN_WIDTH"));
    const float scale = kioskscale::scaleForWidth(width);

    mainpageControl::getInstance()->mCommonCtrl = new commoncontrol(nullptr);
    {
        mainpage home;
        CashSelectPage cash;
        QCOMPARE(home.scaleFactor(), scale);
        QCOMPARE(cash.scaleFactor(), scale);
        if (fonts) {
            auto* title = cash.findChild<QLabel*>("labelSelect");
            QCOMPARE(title->font().pixelSize(), kioskscale::pixelSize(24.0, scale));
            sendLanguageChange(&cash);  // Khmer: 30 times the factor
            const QMap<int, int> khmerTitle{{1920, 30}, {1366, 21}};
            QCOMPARE(title->font().pixelSize(), khmerTitle.value(width, kioskscale::pixelSize(30.0, scale)));
            sendLanguageChange(&home);
            QCOMPARE(home.findChild<QLabel*>("labelWel")->font().pixelSize(),
                     kioskscale::pixelSize(52.0, scale));
        }
    }
    delete mainpageControl::getInstance()->mCommonCtrl;
    mainpageControl::getInstance()->mCommonCtrl = nullptr;
    if (!fonts)
        QSKIP("scale checked; font sizes need the DejaVu fonts");
}

KIOSK_PAGE_TEST_MAIN(tst_kiosk_screenscale)
#include "tst_kiosk_screenscale.moc"
