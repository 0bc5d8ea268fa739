// The kiosk common widget: fonts, the kiosk ID label and the overlays
// (round-bar countdown, self-closing warning window).

#include <QApplication>
#include <QComboBox>
#include <QFontDatabase>
#include <QLabel>
#include <QMovie>
#include <QPointer>
#include <QScreen>
#include <QTranslator>
#include <QtTest>

#include "kiosk/commoncontrol.h"
#include "kiosk/machineid.h"
#include "kiosktestsupport.h"

namespace {

// The visible warning windows: top-level windows whose first label says "warn".
QList<QWidget*> warnWindows()
{
    QList<QWidget*> found;
    for (QWidget* w : QApplication::topLevelWidgets()) {
        QLabel* title = w->findChild<QLabel*>();
        if (w->isVisible() && title && title->text() == QStringLiteral("warn"))
            found << w;
    }
    return found;
}

// Title, countdown and message, in creation order.
QString countdownOf(QWidget* window)
{
    return window->findChildren<QLabel*>().value(1)->text();
}

} // namespace

class tst_kiosk_commoncontrol : public QObject
{
    Q_OBJECT

public:
    explicit tst_kiosk_commoncontrol(const QString& configHome) : m_configHome(configHome) {}

private slots:
    void init() { m_dir.reset(new KioskWorkDir); }
    void cleanup() { m_dir.reset(); }

    void fontsAreRegisteredOnce();
    void languageSelectorKeepsItsChoice();
    void machineIdLabel_data();
    void machineIdLabel();
    void roundBarCountdown();
    void progressAnimationShowsOnce();
    void warningClosesByItself();
    void secondWarningLeavesOneWindow();

private:
    void storeMachineId(const QByteArray& value);

    QString m_configHome;
    QScopedPointer<KioskWorkDir> m_dir;
};

void tst_kiosk_commoncontrol::storeMachineId(const QByteArray& value)
{
    const QString folder = m_configHome + QLatin1Char('/') + QLatin1String(machineid::kOrganisation);
    const QString file = folder + QLatin1Char('/') + QLatin1String(machineid::kApplication) + ".conf";
    QFile::remove(file);
    if (value.isNull())
        return;
    QDir().mkpath(folder);
    QFile out(file);
    QVERIFY(out.open(QIODevice::WriteOnly));
    out.write("[General]\n" + QByteArray(machineid::kValueName) + "=" + value + "\n");
}

void tst_kiosk_commoncontrol::fontsAreRegisteredOnce()
{
    QString source = "/usr/share/fonts/truetype/wqy/wqy-microhei.ttc";  // a test dependency
    if (!QFile::exists(source))
        source = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
    if (!QFile::exists(source))
        QSKIP("no font file on this machine");
    QVERIFY(QFile::copy(source, m_dir->filePath("conf/kiosk.ttf")));
    commoncontrol ctrl;

    // The first free slot of the font database, found and given back.
    const int probe = QFontDatabase::addApplicationFont(source);
    QVERIFY(probe >= 0);
    QVERIFY(QFontDatabase::removeApplicationFont(probe));

    QLabel label;
    for (int i = 0; i < 5; ++i)
        ctrl.setWidgetFont(&label, 12 + i, "./conf/kiosk.ttf");
    QCOMPARE(label.font().pixelSize(), 16);
    QCOMPARE(label.font().family(), QFontDatabase::applicationFontFamilies(probe).value(0));
    // Five applications took one slot: the next free one follows it.
    const int next = QFontDatabase::addApplicationFont(source);
    QCOMPARE(next, probe + 1);
    QFontDatabase::removeApplicationFont(next);
}

void tst_kiosk_commoncontrol::languageSelectorKeepsItsChoice()
{
    commoncontrol ctrl;
    QWidget frame;
    frame.resize(180, 45);
    ctrl.displayComboxLang(&frame, 1.0f);
    auto* box = frame.findChild<QComboBox*>();
    QVERIFY(box);
    QCOMPARE(box->currentIndex(), 0);
    box->setCurrentIndex(2);

    // A language change builds the items again in the new language.
    QTranslator chinese;
    QVERIFY(chinese.load(QStringLiteral(TQ_BIN_DIR "/ORB_CN.qm")));
    QCoreApplication::installTranslator(&chinese);
    ctrl.displayComboxLang(&frame, 0.75f);
    QCoreApplication::removeTranslator(&chinese);
    QCOMPARE(frame.findChild<QComboBox*>(), box);
    QCOMPARE(box->count(), 3);
    QCOMPARE(box->itemText(2), QString::fromUtf8("中文"));
    QCOMPARE(box->currentIndex(), 2);
    QVERIFY(box->styleSheet().contains("font:21px"));  // the first call's style stays
}

void tst_kiosk_commoncontrol::machineIdLabel_data()
{
    QTest::addColumn<QByteArray>("stored");
    QTest::addColumn<QString>("shown");
    QTest::newRow("long") << QByteArray("ABC123456") << "3456";
    QTest::newRow("short") << QByteArray("ab") << "ab";
    QTest::newRow("none") << QByteArray() << "unkown";
}

void tst_kiosk_commoncontrol::machineIdLabel()
{
    QFETCH(QByteArray, stored);
    QFETCH(QString, shown);
    storeMachineId(stored);
    commoncontrol ctrl;
    QWidget frame;
    frame.resize(240, 30);
    ctrl.displayATMID(&frame);
    QLabel* label = frame.findChild<QLabel*>();
    QVERIFY(label);
    QCOMPARE(label->text(), "ATM ID:" + shown);
}

void tst_kiosk_commoncontrol::roundBarCountdown()
{
    commoncontrol ctrl;
    QCOMPARE(ctrl.tickRoundBar(), -1);  // no bar yet
    QWidget frame;
    frame.resize(90, 30);
    QVERIFY(ctrl.displayRoundProcess(&frame));
    QLabel* bar = frame.findChild<QLabel*>();
    QVERIFY(bar);
    // Created with a count of 60: the first tick shows 00:59.
    QCOMPARE(ctrl.tickRoundBar(), 59);
    QCOMPARE(bar->text(), QStringLiteral("00:59"));
    QCOMPARE(ctrl.setRoundBarSeconds(60), 61);
    QCOMPARE(ctrl.tickRoundBar(), 60);
    QCOMPARE(bar->text(), QStringLiteral("01:00"));
}

void tst_kiosk_commoncontrol::progressAnimationShowsOnce()
{
    const auto animations = [] {
        QList<QWidget*> found;
        for (QWidget* w : QApplication::topLevelWidgets()) {
            const QLabel* player = w->findChild<QLabel*>();
            if (w->isVisible() && player && player->movie())
                found << w;
        }
        return found;
    };
    commoncontrol ctrl;
    commoncontrol other;
    ctrl.displayProcess();
    ctrl.displayProcess();
    other.displayProcess();  // one animation for both
    QCOMPARE(animations().size(), 1);
    QPointer<QWidget> window(animations().first());
    // 300 pixels of the 1920-pixel design width.
    const int side = QGuiApplication::primaryScreen()->availableGeometry().width() * 300 / 1920;
    QCOMPARE(window->size(), QSize(side, side));
    QVERIFY(window->windowFlags().testFlag(Qt::FramelessWindowHint));
    ctrl.DeleteProcess();
    QVERIFY(window.isNull());
}

void tst_kiosk_commoncontrol::warningClosesByItself()
{
    commoncontrol ctrl;
    ctrl.displayWarnMsg("please wait", 2);
    QCOMPARE(warnWindows().size(), 1);
    QPointer<QWidget> window(warnWindows().first());
    QCOMPARE(countdownOf(window), QStringLiteral("2"));
    ctrl.startWarnTimer(true);
    ctrl.startWarnTimer(true);  // still one connection: one step per tick
    QTRY_VERIFY_WITH_TIMEOUT(window.isNull() || countdownOf(window) != QStringLiteral("2"), 20000);
    QVERIFY(window.isNull() || countdownOf(window) == QStringLiteral("1"));
    QTRY_VERIFY_WITH_TIMEOUT(window.isNull(), 20000);
}

void tst_kiosk_commoncontrol::secondWarningLeavesOneWindow()
{
    commoncontrol ctrl;
    ctrl.displayWarnMsg("first", 5);
    QPointer<QWidget> first(warnWindows().value(0));
    QVERIFY(first);
    ctrl.displayWarnMsg("second", 5);
    QVERIFY(first.isNull());
    const QList<QWidget*> windows = warnWindows();
    QCOMPARE(windows.size(), 1);
    // A frameless, see-through dark window of its own.
    QVERIFY(windows.first()->isWindow() && windows.first()->windowFlags().testFlag(Qt::FramelessWindowHint));
    QCOMPARE(windows.first()->windowOpacity(), 0.8);
    QCOMPARE(windows.first()->styleSheet(), QStringLiteral("background-color: rgb(14,26,24)"));
    QCOMPARE(windows.first()->findChildren<QLabel*>().value(2)->text(), QStringLiteral("second"));
    ctrl.deleteWarnMsg();
    QVERIFY(warnWindows().isEmpty());
}

int main(int argc, char** argv)
{
    // The machine ID store is found through XDG_CONFIG_HOME, read once per
    // process: point it at a folder of our own before anything looks.
    QTemporaryDir configHome;
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(configHome.path()));
    QApplication app(argc, argv);
    tst_kiosk_commoncontrol test(configHome.path());
    return QTest::qExec(&test, argc, argv);
}

#include "tst_kiosk_commoncontrol.moc"
