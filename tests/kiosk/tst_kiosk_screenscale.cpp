// The kiosk pages size their fonts for the primary screen's available width
// over the 1920 pixels they are drawn for. Run on the offscreen platform it
// checks the pages against the factor of whatever screen there is; run under
// Xvfb with TQ_SCREEN_WIDTH set to the screen's width it checks the factor
// and font sizes of that real screen.

#include <QApplication>
#include <QLabel>
#include <QScreen>
#include <QtTest>

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
    const bool fonts = standInFontsAvailable() && installStandInFonts();
    const int width = QGuiApplication::primaryScreen()->availableGeometry().width();
    bool given = false;
    const int expectedWidth = qEnvironmentVariableIntValue("TQ_SCREEN_WIDTH", &given);
    if (given)
        QCOMPARE(width, expectedWidth);
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
            QCOMPARE(title->font().pixelSize(), kioskscale::pixelSize(30.0, scale));
            sendLanguageChange(&home);
            QCOMPARE(home.findChild<QLabel*>("labelWel")->font().pixelSize(),
                     kioskscale::pixelSize(52.0, scale));
            if (width == 1920)
                QCOMPARE(title->font().pixelSize(), 30);
            if (width == 1366)
                QCOMPARE(title->font().pixelSize(), 21);
        }
    }
    delete mainpageControl::getInstance()->mCommonCtrl;
    mainpageControl::getInstance()->mCommonCtrl = nullptr;
    if (!fonts)
        QSKIP("scale checked; font sizes need the DejaVu fonts");
}

int main(int argc, char** argv)
{
    QTemporaryDir configHome;
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(configHome.path()));
    QApplication app(argc, argv);
    tst_kiosk_screenscale test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_kiosk_screenscale.moc"
