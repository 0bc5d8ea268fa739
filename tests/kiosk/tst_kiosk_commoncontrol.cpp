// The kiosk common widget: the process-wide language, the settings-file
// rules, the language selector, fonts, the kiosk ID label and the firmware
// database object it carries.

#include <QApplication>
#include <QComboBox>
#include <QFontDatabase>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QSqlDatabase>
#include <QtTest>

#include "firmware/record_db.h"
#include "kiosk/commoncontrol.h"
#include "kiosk/machineid.h"
#include "kiosktestsupport.h"

namespace {

// A font file present on the test machines: the Chinese font the test
// dependencies install, or the default Latin one.
QString systemFontFile()
{
    for (const char* path : {"/usr/share/fonts/truetype/wqy/wqy-microhei.ttc",
                             "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf"}) {
        if (QFile::exists(QLatin1String(path)))
            return QLatin1String(path);
    }
    return QString();
}

QComboBox* selectorIn(QWidget* frame)
{
    return frame->findChild<QComboBox*>(QString(), Qt::FindDirectChildrenOnly);
}

} // namespace

class tst_kiosk_commoncontrol : public QObject
{
    Q_OBJECT

public:
    explicit tst_kiosk_commoncontrol(const QString& configHome) : m_configHome(configHome) {}

private slots:
    void languageTypeFollowsEachConstruction();
    void languageTypeReadsAndWrites();
    void iniWriteRules();
    void selectorWithoutSettingsFile();
    void selectorStyleFollowsScale();
    void selectorChoiceWritesAndSignals();
    void selectorRefreshKeepsFirstBuild();
    void fontsAreRegisteredOnce();
    void machineId_data();
    void machineId();
    void machineIdLabel();
    void firmwareDatabaseObjectOpensNothing();

private:
    void storeMachineId(const QByteArray& value);

    QString m_configHome;
};

void tst_kiosk_commoncontrol::storeMachineId(const QByteArray& value)
{
    const QString folder = m_configHome + QLatin1Char('/') + QLatin1String(machineid::kOrganisation);
    const QString file = folder + QLatin1Char('/') + QLatin1String(machineid::kApplication)
        + QStringLiteral(".conf");
    QFile::remove(file);
    if (value.isNull())
        return;
    QDir().mkpath(folder);
    QFile out(file);
    QVERIFY(out.open(QIODevice::WriteOnly));
    out.write("[General]\n" + QByteArray(machineid::kValueName) + "=" + value + "\n");
}

void tst_kiosk_commoncontrol::languageTypeFollowsEachConstruction()
{
    KioskWorkDir dir;
    QVERIFY(dir.writeIni("[Language]\nType=CN\n"));
    QCOMPARE(kioskLanguageType, -1);
    QVERIFY(kioskModeString.isEmpty());

    commoncontrol first;
    QCOMPARE(kioskLanguageType, 2);
    commoncontrol helper;
    QVERIFY(helper.writeLanguageType(1, false));
    QCOMPARE(kioskLanguageType, 2);
    commoncontrol second;
    QCOMPARE(kioskLanguageType, 1);
    QVERIFY(!first.isVisible());

    // The saved value is one for the whole process.
    first.setSavedValue(12345);
    QCOMPARE(second.getSavedValue(), 12345);
}

void tst_kiosk_commoncontrol::languageTypeReadsAndWrites()
{
    KioskWorkDir dir;
    commoncontrol ctrl;
    QCOMPARE(ctrl.readLanguageType(), 0);   // no file

    const struct { const char* text; int type; } reads[] = {
        {"EN", 1}, {"CN", 2}, {"KH", 0}, {"en", 0}, {"XX", 0}};
    for (const auto& r : reads) {
        QVERIFY(ctrl.writeIniValue(QStringLiteral("Language/Type"), QLatin1String(r.text), true));
        QCOMPARE(ctrl.readLanguageType(), r.type);
    }

    QVERIFY(ctrl.writeLanguageType(7, false));
    QCOMPARE(ctrl.readIniValue(QStringLiteral("Language/Type")), QStringLiteral("KH"));
    QVERIFY(ctrl.writeLanguageType(2, false));
    QCOMPARE(ctrl.readIniValue(QStringLiteral("Language/Type")), QStringLiteral("CN"));

    LogCapture log;
    QVERIFY(ctrl.readLanguageType() == 2);
    QVERIFY(log.has(QtDebugMsg, QStringLiteral("ID== CN")));

    // The version flag is read under a key written with a leading "/".
    QCOMPARE(ctrl.readVersionFlag(), 0);
    QVERIFY(ctrl.writeIniValue(QStringLiteral("versionNeworOld/version"), QStringLiteral("1"), true));
    QCOMPARE(ctrl.readVersionFlag(), 1);
    QVERIFY(log.has(QtDebugMsg, QStringLiteral("1新版本 0旧版本version == 1")));
}

void tst_kiosk_commoncontrol::iniWriteRules()
{
    KioskWorkDir dir;
    QVERIFY(dir.writeIni("[money]\ncountry=785\n"));
    const QByteArray before = dir.iniBytes();
    commoncontrol ctrl;
    LogCapture log;

    // Without the key and without create: nothing written, nothing logged.
    QVERIFY(!ctrl.writeLanguageType(1, false));
    QCOMPARE(log.countOfType(QtCriticalMsg), 0);
    QCOMPARE(dir.iniBytes(), before);

    QVERIFY(!ctrl.writeIniValue(QStringLiteral("Type"), QStringLiteral("EN"), true));
    QVERIFY(log.has(QtCriticalMsg, QStringLiteral("ini:写入的变量名格式错误，无/符号，路径不完整，异常")));
    QVERIFY(!ctrl.writeIniValue(QStringLiteral("Language/Type"), QString(), true));
    QVERIFY(log.has(QtCriticalMsg, QStringLiteral("ini:写入的变量为空，异常， [Language/Type,]")));
    QVERIFY(!ctrl.writeIniValue(QStringLiteral("Language/Type"), QStringLiteral("EN"), false));
    QCOMPARE(log.countOfType(QtCriticalMsg), 2);
    QCOMPARE(dir.iniBytes(), before);

    QVERIFY(ctrl.writeLanguageType(1, true));
    QCOMPARE(ctrl.readIniValue(QStringLiteral("Language/Type")), QStringLiteral("EN"));

    // A file that cannot be written turns a write into a refusal.
    const QByteArray written = dir.iniBytes();
    {
        UnwritableIni locked(dir);
        log.clear();
        QVERIFY(!ctrl.writeIniValue(QStringLiteral("money/country"), QStringLiteral("23185"), false));
        QVERIFY(!ctrl.writeLanguageType(2, true));
        QCOMPARE(log.count(QtCriticalMsg, QStringLiteral("not saved")), 2);
        QCOMPARE(ctrl.readLanguageType(), 1);
    }
    QCOMPARE(dir.iniBytes(), written);
}

void tst_kiosk_commoncontrol::selectorWithoutSettingsFile()
{
    KioskWorkDir dir;
    commoncontrol ctrl;
    QCOMPARE(kioskLanguageType, 0);
    QWidget frame;
    frame.resize(200, 80);
    ctrl.displayComboxLang(nullptr, 1.0f);

    ctrl.displayComboxLang(&frame, 1.0f);
    QComboBox* box = selectorIn(&frame);
    QVERIFY(box);
    QCOMPARE(box->geometry(), QRect(0, 0, 200, 80));
    QCOMPARE(box->count(), 3);
    QCOMPARE(box->currentIndex(), 0);
    const QList<QLabel*> labels = frame.findChildren<QLabel*>();
    QCOMPARE(labels.size(), 2);
    bool code = false;
    bool flag = false;
    for (QLabel* label : labels) {
        code = code || label->text() == QStringLiteral("KH");
        flag = flag || label->styleSheet().contains(QStringLiteral("deposit_cambodia.png"));
    }
    QVERIFY(code);
    QVERIFY(flag);

    // Only the selector goes; the labels stay.
    LogCapture log;
    ctrl.deleteComboxLang();
    QVERIFY(!selectorIn(&frame));
    QCOMPARE(frame.findChildren<QLabel*>().size(), 2);
    QVERIFY(log.has(QtDebugMsg, QStringLiteral("delete comboxLang--")));
    log.clear();
    ctrl.deleteComboxLang();
    QCOMPARE(log.countOfType(QtDebugMsg), 0);
}

void tst_kiosk_commoncontrol::selectorStyleFollowsScale()
{
    KioskWorkDir dir;
    commoncontrol ctrl;
    QWidget frame;
    ctrl.displayComboxLang(&frame, 1.0f);
    QVERIFY(selectorIn(&frame)->styleSheet().contains(QStringLiteral("font:21px 黑体;")));

    commoncontrol other;
    QWidget small;
    other.displayComboxLang(&small, 0.75f);
    QVERIFY(selectorIn(&small)->styleSheet().contains(QStringLiteral("font:15px 黑体;")));
}

void tst_kiosk_commoncontrol::selectorChoiceWritesAndSignals()
{
    KioskWorkDir dir;
    QVERIFY(dir.writeIni("[Language]\nType=KH\n"));
    commoncontrol ctrl;
    QWidget frame;
    frame.resize(200, 80);
    ctrl.displayComboxLang(&frame, 1.0f);
    QComboBox* box = selectorIn(&frame);
    QSignalSpy changes(&ctrl, &commoncontrol::upDateLanguage);

    // The second item, chosen from the keyboard.
    QTest::keyClick(box, Qt::Key_Down);
    QCOMPARE(box->currentIndex(), 1);
    QCOMPARE(kioskLanguageType, 1);
    QCOMPARE(ctrl.readIniValue(QStringLiteral("Language/Type")), QStringLiteral("EN"));
    QCOMPARE(changes.size(), 1);
    QCOMPARE(changes.first().first().toInt(), 1);

    // The language already in the file: nothing written, nothing emitted,
    // even when the process-wide value says otherwise.
    kioskLanguageType = 2;
    const QByteArray before = dir.iniBytes();
    ctrl.onComboxLangChange(1);
    QCOMPARE(changes.size(), 1);
    QCOMPARE(kioskLanguageType, 2);
    QCOMPARE(dir.iniBytes(), before);
}

void tst_kiosk_commoncontrol::selectorRefreshKeepsFirstBuild()
{
    KioskWorkDir dir;
    QVERIFY(dir.writeIni("[Language]\nType=EN\n"));
    commoncontrol ctrl;
    QWidget frame;
    frame.resize(200, 80);
    ctrl.displayComboxLang(&frame, 1.0f);
    QComboBox* box = selectorIn(&frame);
    const QString style = box->styleSheet();
    QLayout* layout = frame.layout();
    QVERIFY(layout);
    box->setCurrentIndex(2);

    frame.resize(300, 90);
    ctrl.displayComboxLang(&frame, 0.5f);
    QCOMPARE(selectorIn(&frame), box);
    QCOMPARE(box->currentIndex(), 2);
    QCOMPARE(box->count(), 3);
    QCOMPARE(box->styleSheet(), style);
    QCOMPARE(box->geometry(), QRect(0, 0, 300, 90));
    QCOMPARE(frame.layout(), layout);
    QCOMPARE(frame.findChildren<QLabel*>().size(), 2);

    // Fitting moves the selector to another frame's size.
    QWidget other;
    other.resize(120, 40);
    ctrl.fitComboxAndATMID(&other, &other);
    QCOMPARE(box->geometry(), QRect(0, 0, 120, 40));
}

void tst_kiosk_commoncontrol::fontsAreRegisteredOnce()
{
    const QString source = systemFontFile();
    if (source.isEmpty())
        QSKIP("no font file on this machine");
    KioskWorkDir dir;
    QDir().mkpath(QStringLiteral("font"));
    QVERIFY(QFile::copy(source, QStringLiteral("font/HiraginoSansCNS-W6.otf")));
    commoncontrol ctrl;

    // The first free slot of the font database, found and given back.
    const int probe = QFontDatabase::addApplicationFont(source);
    QVERIFY(probe >= 0);
    QVERIFY(QFontDatabase::removeApplicationFont(probe));

    QLabel label;
    for (int i = 0; i < 5; ++i)
        ctrl.setWidgetFont(&label, 12 + i, QStringLiteral("./font/HiraginoSansCNS-W6.otf"));
    QCOMPARE(label.font().pixelSize(), 16);
    QCOMPARE(label.font().family(), QFontDatabase::applicationFontFamilies(probe).value(0));

    // Five applications took one slot: the next free one follows it.
    const int next = QFontDatabase::addApplicationFont(source);
    QCOMPARE(next, probe + 1);
    QFontDatabase::removeApplicationFont(next);

    // Only labels and line edits take the font; a missing file changes nothing.
    QPushButton button;
    const QFont buttonFont = button.font();
    ctrl.setWidgetFont(&button, 30, source);
    QCOMPARE(button.font(), buttonFont);
    ctrl.setWidgetFont(nullptr, 30, source);
    QLineEdit edit;
    ctrl.setWidgetFont(&edit, 30, source);
    QCOMPARE(edit.font().pixelSize(), 30);
    ctrl.setWidgetFont(&label, 30, QStringLiteral("./font/missing.ttf"));
    QCOMPARE(label.font().pixelSize(), 16);
}

void tst_kiosk_commoncontrol::machineId_data()
{
    QTest::addColumn<QByteArray>("stored");
    QTest::addColumn<QString>("shown");
    QTest::newRow("long") << QByteArray("ABC123456") << "3456";
    QTest::newRow("short") << QByteArray("ab") << "ab";
    QTest::newRow("unkown stored") << QByteArray("unkown") << "unkown";
    QTest::newRow("none") << QByteArray() << "unkown";
}

void tst_kiosk_commoncontrol::machineId()
{
    QFETCH(QByteArray, stored);
    QFETCH(QString, shown);
    storeMachineId(stored);
    KioskWorkDir dir;
    commoncontrol ctrl;
    QCOMPARE(ctrl.readMachineId(), shown);

    QWidget frame;
    frame.resize(240, 30);
    ctrl.displayATMID(&frame);
    QLabel* label = frame.findChild<QLabel*>();
    QVERIFY(label);
    QCOMPARE(label->text(), QStringLiteral("ATM ID:") + shown);
}

void tst_kiosk_commoncontrol::machineIdLabel()
{
    storeMachineId("KIOSK-0042");
    KioskWorkDir dir;
    commoncontrol ctrl;
    QWidget frame;
    frame.resize(240, 30);
    ctrl.displayATMID(&frame);
    QLabel* label = frame.findChild<QLabel*>();
    QVERIFY(label);
    QCOMPARE(label->geometry(), QRect(0, 0, 240, 30));
    QCOMPARE(label->palette().color(QPalette::WindowText), QColor(Qt::white));

    // A second call only refits: same label, same frame, same text.
    storeMachineId("ZZZZ9999");
    QWidget other;
    other.resize(100, 20);
    ctrl.displayATMID(&other);
    QCOMPARE(frame.findChild<QLabel*>(), label);
    QVERIFY(!other.findChild<QLabel*>());
    QCOMPARE(label->size(), QSize(100, 20));
    QCOMPARE(label->text(), QStringLiteral("ATM ID:0042"));

    LogCapture log;
    ctrl.deleteATMID();
    QVERIFY(!frame.findChild<QLabel*>());
    QVERIFY(log.has(QtDebugMsg, QStringLiteral("delete mATMID--")));
    log.clear();
    ctrl.deleteATMID();
    QCOMPARE(log.countOfType(QtDebugMsg), 0);

    // A frame that goes first takes the label with it.
    QWidget* doomed = new QWidget;
    ctrl.displayATMID(doomed);
    delete doomed;
    ctrl.deleteATMID();
    ctrl.fitComboxAndATMID(&frame, &frame);
}

void tst_kiosk_commoncontrol::firmwareDatabaseObjectOpensNothing()
{
    KioskWorkDir dir;
    {
        commoncontrol ctrl;
        QVERIFY(QSqlDatabase::connectionNames().isEmpty());
    }
    record_db db;
    db.setDbName(QString());
    QVERIFY(!db.init());
    QVERIFY(QSqlDatabase::connectionNames().isEmpty());
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
