// The configurator page at start: the device-file list and the firmware
// database it names below the working directory, the versions offered for a
// clicked device, and the removed debug tab's slots. Real SQLite files.

#include <QtTest>

#include <QRadioButton>
#include <QTabWidget>

#include <memory>

#include "firmwarepagehelpers.h"
#include "logcapture.h"
#include "modalboxcloser.h"

using namespace fwpage;

namespace {
const QString kStartBox = QStringLiteral("Please click upgrade database button");
}

class TestFirmwareDbPath : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { QVERIFY2(m_env.ready(), "the translations must be built next to the test"); }
    void init();
    void cleanup();

    void modeChoosesTheDatabase();
    void unusableListAsksForTheUpdate_data();
    void unusableListAsksForTheUpdate();
    void clickedDeviceOffersItsVersions();
    void deviceWithoutTypeOrTableOffersNothing();
    void debugTabSlotsRunWithTheTabRemoved();

private:
    TQCAN* page() const { return m_page.get(); }
    void start(bool developer);

    pagetest::PageEnv m_env;
    std::unique_ptr<TQCAN> m_page;
};

void TestFirmwareDbPath::init()
{
    cleanBase();
    // Written as a spreadsheet program saves it: a byte-order mark and CR LF.
    QVERIFY(writeFile("download/devFileList.csv",
                      "\xEF\xBB\xBF" + list("fw.v2.db", "http://h/fw.v2.db", "fw_test.db",
                                              "http://h/fw_test.db", "\r\n")));
    QVERIFY(testdb::writeStandardDb(inBase("download/fw.v2.db")));
    QVERIFY(writeSingleVersionDb("download/fw_test.db", QStringLiteral("7.0.0-test")));
}

void TestFirmwareDbPath::cleanup()
{
    m_page.reset();
    cleanBase();
}

void TestFirmwareDbPath::start(bool developer)
{
    m_page.reset(new TQCAN);
    m_page->resize(1366, 800);
    m_page->show();
    QVERIFY(QTest::qWaitForWindowExposed(page()));
    m_page->setDebugMode(developer);
    m_page->initDbPath();
}

void TestFirmwareDbPath::modeChoosesTheDatabase()
{
    ModalBoxCloser boxes;
    start(false);
    QCOMPARE(shownDb(page()), QStringLiteral("fw"));
    openPort(page());
    QCOMPARE(clickSimDevice(page()), (QStringList{"2.3.0", "2.4.0", "2.5.0"}));

    start(true);
    QCOMPARE(shownDb(page()), QStringLiteral("fw_test"));
    openPort(page());
    QCOMPARE(clickSimDevice(page()), QStringList{"7.0.0-test"});
    QVERIFY(boxes.texts().isEmpty());
}

void TestFirmwareDbPath::unusableListAsksForTheUpdate_data()
{
    QTest::addColumn<QString>("listPath");
    QTest::addColumn<QByteArray>("listBytes");
    const QString listPath = QStringLiteral("download/devFileList.csv");
    QTest::newRow("no list") << QString() << QByteArray();
    QTest::newRow("database missing") << listPath << list("gone.db", "http://h/gone.db");
    QTest::newRow("columns missing") << listPath << QByteArray("ITEM,TEST_FILE,LINK_TEST_FILE\nP_FLY-ESC,fw.v2.db,x\n");
    QTest::newRow("no row for the key") << listPath << QByteArray("ITEM,RELEASE_FILE,LINK_RELEASE_FILE\nOTHER,fw.v2.db,x\n");
    QTest::newRow("parent folder") << listPath << list("../evil.db", "http://h/evil.db");
    QTest::newRow("absolute path") << listPath << list(inBase("download/fw.v2.db"), "http://h/fw.v2.db");
    QTest::newRow("folder itself") << listPath << list(".", "http://h/x");
}

void TestFirmwareDbPath::unusableListAsksForTheUpdate()
{
    QFETCH(QString, listPath);
    QFETCH(QByteArray, listBytes);
    QFile::remove(inBase("download/devFileList.csv"));
    if (!listPath.isEmpty())
        QVERIFY(writeFile(listPath, listBytes));
    // A real database where "../evil.db" would point.
    QVERIFY(testdb::writeStandardDb(inBase("evil.db")));
    const auto before = snapshot(base());

    ModalBoxCloser boxes;
    start(false);
    QCOMPARE(boxes.texts(), QStringList{kStartBox});
    QCOMPARE(boxes.titles(), QStringList{QStringLiteral("Notify")});
    QVERIFY(shownDb(page()).isEmpty());
    openPort(page());
    QVERIFY(clickSimDevice(page()).isEmpty()); // no database, no tables
    QCOMPARE(snapshot(base()), before);        // nothing created, nothing changed
}

void TestFirmwareDbPath::clickedDeviceOffersItsVersions()
{
    ModalBoxCloser boxes;
    start(false);
    openPort(page());
    QCOMPARE(clickSimDevice(page()), (QStringList{"2.3.0", "2.4.0", "2.5.0"}));
    QCOMPARE(currentVersion(page()), QStringLiteral("2.5.0"));
    QCOMPARE(note(page()), QStringLiteral("newest: faster start"));
    QCOMPARE(pagetest::child<QLineEdit>(page(), "lEdit_upgrade_devType")->text(),
             QString::fromLatin1(testdb::kSimTable));

    // With the port open the note follows the combo; its text ends at NUL.
    auto* combo = pagetest::child<QComboBox>(page(), "comboBox_dev_ver");
    combo->setCurrentIndex(1);
    QCOMPARE(note(page()), QStringLiteral("fixes"));
    combo->setCurrentIndex(0);
    QCOMPARE(note(page()), QStringLiteral("first release"));

    // With the port closed it stays.
    pagetest::click(page(), "btnOpen");
    QCOMPARE(pagetest::caption(page(), "btnOpen"), QStringLiteral("Open"));
    QCOMPARE(combo->count(), 3);
    combo->setCurrentIndex(2);
    QCOMPARE(note(page()), QStringLiteral("first release"));
    QVERIFY(boxes.texts().isEmpty());
}

void TestFirmwareDbPath::deviceWithoutTypeOrTableOffersNothing()
{
    ModalBoxCloser boxes;
    start(false);
    openPort(page());
    // A node whose type has not arrived is no match for the first table.
    QVERIFY(clickSimDevice(page(), "").isEmpty());
    QVERIFY(pagetest::child<QLineEdit>(page(), "lEdit_upgrade_devType")->text().isEmpty());
    // A type of another product.
    QVERIFY(clickSimDevice(page(), "Q_OTHER-ESC_Z").isEmpty());
    QVERIFY(note(page()).isEmpty());
    // Back to the simulator's type: offered again.
    QCOMPARE(clickSimDevice(page()).size(), 3);
}

void TestFirmwareDbPath::debugTabSlotsRunWithTheTabRemoved()
{
    ModalBoxCloser boxes;
    LogCapture log(true);
    // Without a database the table list stays as it is.
    m_page.reset(new TQCAN);
    auto* tables = pagetest::child<QComboBox>(page(), "comboBox_table");
    QVERIFY(QMetaObject::invokeMethod(page(), "on_btn_read_db_clicked"));
    QCOMPARE(tables->count(), 0);

    start(false);
    tables = pagetest::child<QComboBox>(page(), "comboBox_table");
    auto* tabs = pagetest::child<QTabWidget>(page(), "tabWidget");
    QWidget* debugTab = pagetest::child(page(), "tableDebug");
    QVERIFY(debugTab);
    QCOMPARE(tabs->indexOf(debugTab), -1);
    QVERIFY(!debugTab->isVisible());

    QVERIFY(QMetaObject::invokeMethod(page(), "on_btn_read_db_clicked"));
    QCOMPARE(tables->count(), 2);
    QVERIFY(log.contains(QtDebugMsg, QStringLiteral("---db table name--")));

    tables->setCurrentText(QString::fromLatin1(testdb::kSimTable));
    QVERIFY(QMetaObject::invokeMethod(page(), "on_btnOpenFirmware_clicked"));
    auto* versions = pagetest::child<QComboBox>(page(), "comboBox_Version");
    QCOMPARE(versions->count(), 3);
    QCOMPARE(note(page()), QStringLiteral("first release"));

    versions->setCurrentText(QStringLiteral("2.4.0"));
    pagetest::child<QRadioButton>(page(), "radioBPart2")->setChecked(true);
    QVERIFY(QMetaObject::invokeMethod(page(), "on_btnDownLoadFirmware_clicked"));
    QCOMPARE(log.startingWith(QStringLiteral("---db version--2- \"2.4.0\" , iPart= 2 ---firmware file len= 520")).size(), 1);

    QVERIFY(QMetaObject::invokeMethod(page(), "on_btn_read_excel_clicked"));
    QVERIFY(log.contains(QtDebugMsg, QStringLiteral("no spreadsheet automation")));

    QVERIFY(writeFile("devFileList.csv", list("fw.v2.db", "http://h/fw.v2.db") + "short,row\n"));
    QVERIFY(QMetaObject::invokeMethod(page(), "on_btn_read_excel_csv_clicked"));
    QVERIFY(log.contains(QtDebugMsg, QStringLiteral("  RELEASE_FILE:fw.v2.db")));
    QVERIFY(log.contains(QtDebugMsg, QStringLiteral("Skipping invalid row: \"short,row\"")));
    QCOMPARE(log.startingWith(QStringLiteral("Number of rows: 2")).size(), 1);
    QVERIFY(boxes.texts().isEmpty());
}

QTEST_MAIN(TestFirmwareDbPath)
#include "tst_firmware_dbpath.moc"
