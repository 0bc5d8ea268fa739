// The kiosk pages size their fonts for the primary screen's available width
// over the 1920 pixels they are drawn for, from their construction on. Run
// on the offscreen platform it checks the pages against the factor of
// whatever screen there is; under Xvfb with TQ_SCREEN_WIDTH set it checks
// that real screen's available width and the font sizes the kiosk is built
// for, and with TQ_SCREEN_FULL_WIDTH also that the screen keeps space aside.

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
    const QScreen* screen = QGuiApplication::primaryScreen();
    const int width = screen->availableGeometry().width();
    if (qEnvironmentVariableIsSet("TQ_SCREEN_WIDTH"))
        QCOMPARE(width, qEnvironmentVariableIntValue("TQ_SCREEN_WIDTH"));
    // A screen that keeps space for a panel: the pages scale for the rest.
    if (qEnvironmentVariableIsSet("TQ_SCREEN_FULL_WIDTH"))
        QCOMPARE(screen->geometry().width(), qEnvironmentVariableIntValue("TQ_SCREEN_FULL_WIDTH"));
    const float scale = kioskscale::scaleForWidth(width);
    // Pixel sizes of the currency title (24 design pixels), its Khmer size
    // (30), the welcome text (52) and the date (13) on the widths the kiosk
    // meets (800: the offscreen screen). Exact products stay whole: 24 and
    // 30 at 800 and 1600.
    const QMap<int, QVector<int>> known{{800, {10, 12, 21, 5}}, {1366, {17, 21, 36, 9}},
                                        {1600, {20, 25, 43, 10}}, {1920, {24, 30, 52, 13}}};
    QVector<int> sizes;
    for (double design : {24.0, 30.0, 52.0, 13.0})
        sizes << kioskscale::pixelSize(design, scale);
    sizes = known.value(width, sizes);

    mainpageControl::getInstance()->mCommonCtrl = new commoncontrol(nullptr);
    {
        mainpage home;
        CashSelectPage cash;
        QCOMPARE(home.scaleFactor(), scale);
        QCOMPARE(cash.scaleFactor(), scale);
        if (fonts) {
            auto* title = cash.findChild<QLabel*>("labelSelect");
            QCOMPARE(title->font().pixelSize(), sizes[0]);
            sendLanguageChange(&cash);  // Khmer
            QCOMPARE(title->font().pixelSize(), sizes[1]);
            sendLanguageChange(&home);
            QCOMPARE(home.findChild<QLabel*>("labelWel")->font().pixelSize(), sizes[2]);
            for (const char* date : {"labelMonth", "labelWeekAndYear"})
                QCOMPARE(home.findChild<QLabel*>(date)->font().pixelSize(), sizes[3]);
            // The home page's own set-up sizes.
            home.initFont();
            const std::pair<const char*, int> setUp[] = {{"labelWel", 46}, {"label_amOrpm", 16},
                {"labelMonth", 10}, {"labelWeekAndYear", 10}, {"labelDay", 24}, {"labelCurTime", 24}};
            for (const auto& [label, design] : setUp)
                QCOMPARE(home.findChild<QLabel*>(label)->font().pixelSize(), kioskscale::pixelSize(design, scale));
        }
    }
    delete mainpageControl::getInstance()->mCommonCtrl;
    mainpageControl::getInstance()->mCommonCtrl = nullptr;
    if (!fonts)
        QSKIP("scale checked; font sizes need the DejaVu fonts");
}

KIOSK_PAGE_TEST_MAIN(tst_kiosk_screenscale)
#include "tst_kiosk_screenscale.moc"
