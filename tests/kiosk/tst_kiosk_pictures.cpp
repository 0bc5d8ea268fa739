// Every picture the kiosk pages name exists in the folder the application
// runs in: the build draws them there.

#include <QApplication>
#include <QDir>
#include <QFrame>
#include <QMovie>
#include <QPixmap>
#include <QSet>
#include <QtTest>

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
    void everyStyleSheetPictureExists();
    void paintedPicturesExist();
};

void tst_kiosk_pictures::everyStyleSheetPictureExists()
{
    KioskWorkDir dir;
    // Every currency offered in one pass, none in the next.
    QVERIFY(dir.writeIni("[valiator0]\ncountry=KHR\n[valiator1]\ncountry=USD\n[valiator2]\ncountry=VND\n"
                         "[dispense]\ncurrency1=THB\ncurrency2=RMB\n"));
    QSet<QString> pictures;
    auto collect = [&pictures](const QWidget* root) {
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
        for (const QWidget* page : {static_cast<QWidget*>(&home), static_cast<QWidget*>(&cash)})
            collect(page);
        for (int language : {0, 1, 2}) {
            kioskLanguageType = language;
            sendLanguageChange(&home);
            for (const char* mode : {"", "zdx_mode_card", "zdx_mode_withdraw_cardless"}) {
                kioskModeString = QLatin1String(mode);
                sendLanguageChange(&cash);
                collect(&cash);
            }
            common.displayComboxLang(&languageFrame, 1.0f);
            collect(&home);
            collect(&languageFrame);
        }
        collect(&keypad);
        kioskModeString.clear();
    }
    delete mainpageControl::getInstance()->mCommonCtrl;
    mainpageControl::getInstance()->mCommonCtrl = nullptr;

    // Home: 6 buttons in 3 folders and the time panel. Currency page:
    // 5 currencies x 3 states and 4 menu and next pictures, in 3 folders.
    // Keypad: 11 keys x 2. Language selector and its 3 flags.
    QCOMPARE(pictures.size(), 19 + 57 + 22 + 4);
    const QDir bin(QStringLiteral(TQ_BIN_DIR));
    for (const QString& path : qAsConst(pictures)) {
        QVERIFY2(path.startsWith(QLatin1String("./resource/pic/")), qPrintable(path));
        QVERIFY2(!QPixmap(bin.filePath(path)).isNull(), qPrintable("missing or unreadable: " + path));
    }
}

void tst_kiosk_pictures::paintedPicturesExist()
{
    const QDir bin(QStringLiteral(TQ_BIN_DIR));
    for (const char* path : {"resource/pic/backgrond_main.png", "resource/pic/deposit_bg.png"}) {
        const QPixmap picture(bin.filePath(QLatin1String(path)));
        QVERIFY2(!picture.isNull(), path);
        QCOMPARE(picture.size(), QSize(1920, 1080));
    }
    QMovie progress(bin.filePath(QStringLiteral("resource/pic/Process.gif")));
    QVERIFY(progress.isValid());
    QVERIFY(progress.jumpToFrame(0));
}

int main(int argc, char** argv)
{
    QTemporaryDir configHome;
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(configHome.path()));
    QApplication app(argc, argv);
    tst_kiosk_pictures test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_kiosk_pictures.moc"
