// Every picture the kiosk pages name exists in the folder the application
// runs in: the build draws them there.

#include <QFrame>
#include <QImage>
#include <QMovie>
#include <QPixmap>
#include <QSet>

#include "app/mainpagecontrol.h"
#include "kiosk/cashselectpage.h"
#include "kiosk/commoncontrol.h"
#include "kiosk/keyboardform.h"
#include "kiosk/mainpage.h"
#include "kioskpagetestsupport.h"
#include "kiosktestsupport.h"

using namespace kioskpagetest;

class tst_kiosk_pictures : public QObject
{
    Q_OBJECT
private slots:
    void everyPictureExists();
    void backgroundsAreDrawn();
};

void tst_kiosk_pictures::everyPictureExists()
{
    KioskWorkDir dir;
    // Every currency offered in one pass, none in the next.
    QVERIFY(dir.writeIni("[valiator0]\ncountry=KHR\n[valiator1]\ncountry=USD\n[valiator2]\ncountry=VND\n"
                         "[dispense]\ncurrency1=THB\ncurrency2=RMB\n"));
    QSet<QString> pictures;
    auto collect = [&pictures](QWidget* root) {
        for (const QString& path : styleSheetPictures(root))
            pictures.insert(path);
    };
    mainpageControl::getInstance()->mCommonCtrl = new commoncontrol(nullptr);
    {
        mainpage home;
        CashSelectPage cash;
        keyboardForm keypad;
        QFrame languageFrame;
        languageFrame.resize(180, 45);
        commoncontrol common;
        home.initFont();
        collect(&home);
        collect(&cash);
        collect(&keypad);
        for (int language : {0, 1, 2}) {
            kioskLanguageType = language;
            sendLanguageChange(&home);
            collect(&home);
            for (const char* mode : {"", "zdx_mode_card", "zdx_mode_withdraw_cardless"}) {
                kioskModeString = QLatin1String(mode);
                sendLanguageChange(&cash);
                collect(&cash);
            }
            common.displayComboxLang(&languageFrame, 1.0f);
            collect(&languageFrame);
        }
        kioskModeString.clear();
    }
    delete mainpageControl::getInstance()->mCommonCtrl;
    mainpageControl::getInstance()->mCommonCtrl = nullptr;

    // Home: 6 buttons in 3 folders and the time panel. Currency page:
    // 5 currencies x 3 states and 4 menu and next pictures, in 3 folders.
    // Keypad: 11 keys x 2. Language selector and its 3 flags.
    QCOMPARE(pictures.size(), 19 + 57 + 22 + 4);
    // The pages' painted backgrounds are named in code, not in style sheets.
    pictures << "./resource/pic/backgrond_main.png" << "./resource/pic/deposit_bg.png";
    const QDir bin(QStringLiteral(TQ_BIN_DIR));
    for (const QString& path : qAsConst(pictures)) {
        QVERIFY2(path.startsWith(QLatin1String("./resource/pic/")), qPrintable(path));
        QVERIFY2(!QPixmap(bin.filePath(path)).isNull(), qPrintable("missing or unreadable: " + path));
    }
    QMovie progress(bin.filePath(QStringLiteral("resource/pic/Process.gif")));
    QVERIFY(progress.isValid() && progress.jumpToFrame(0));
}

void tst_kiosk_pictures::backgroundsAreDrawn()
{
    // Each page fills itself with its background picture, stretched; here
    // one of a single colour each.
    KioskWorkDir dir;
    const struct { const char* file; QColor colour; } backgrounds[] = {
        {"resource/pic/backgrond_main.png", QColor(200, 30, 30)},
        {"resource/pic/deposit_bg.png", QColor(30, 200, 30)},
    };
    for (const auto& b : backgrounds) {
        QImage picture(8, 6, QImage::Format_RGB32);
        picture.fill(b.colour);
        QVERIFY(QDir().mkpath("resource/pic") && picture.save(b.file));
    }
    mainpage home;
    CashSelectPage cash;
    for (QWidget* page : {static_cast<QWidget*>(&home), static_cast<QWidget*>(&cash)}) {
        const QColor want = backgrounds[page == &home ? 0 : 1].colour;
        page->resize(400, 300);
        QImage drawn(page->size(), QImage::Format_RGB32);
        drawn.fill(Qt::black);
        page->render(&drawn, QPoint(), QRegion(), QWidget::DrawWindowBackground);  // no children
        for (const QPoint& at : {QPoint(0, 0), QPoint(399, 299), QPoint(200, 150)})
            QCOMPARE(drawn.pixelColor(at), want);
    }
}

KIOSK_PAGE_TEST_MAIN(tst_kiosk_pictures)
#include "tst_kiosk_pictures.moc"
