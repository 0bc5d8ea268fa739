// The configurator page at start: the device-file list and the firmware
// database it names below the working directory, the versions offered for a
// clicked device, and the removed debug tab's slots. Real SQLite files.

#include <QtTest>

#include <QRadioButton>
#include <QTabWidget>

#include <sys/stat.h>

#include "firmware/devfilelist.h"
#include "firmwarepagehelpers.h"
#include "logcapture.h"
#include "modalboxcloser.h"

using namespace fwpage;

class TestFirmwareDbPath : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { QVERIFY2(m_env.ready(), "the translations must be built next to the test"); }
    void init();
    void cleanup()
    {
        m_page.reset();
        cleanBase();
    }

    void releaseDeviceOffersItsVersions();
    void developerModeTakesTheTestDatabase();
    void unusableListAsksForTheUpdate_data();
    void unusableListAsksForTheUpdate();
    void debugTabSlotsRunWithTheTabRemoved();

private:
    TQCAN* page() const { return m_page.get(); }

    pagetest::PageEnv m_env;
    std::unique_ptr<TQCAN> m_page;
};

void TestFirmwareDbPath::init()
{
    cleanBase();
    // Written as a spreadsheet program saves it: a byte-order mark and CR LF.
    QVERIFY(writeFile("download/devFileList.csv",
                      "\xEF\xBB\xBF" + list("fw.v2.db", "http://h/fw.v2.db", "fw_test.db", "http://h/fw_test.db", "\r\n")));
    QVERIFY(testdb::writeStandardDb(inBase("download/fw.v2.db")));
    QVERIFY(writeSingleVersionDb("download/fw_test.db", QStringLiteral("7.0.0-test")));
}

void TestFirmwareDbPath::releaseDeviceOffersItsVersions()
{
    ModalBoxCloser boxes;
    m_page = startPage(false);
    QCOMPARE(shownDb(page()), QStringLiteral("fw"));
    openPort(page());
    QCOMPARE(clickSimDevice(page()), (QStringList{"2.3.0", "2.4.0", "2.5.0"}));
    auto* combo = pagetest::child<QComboBox>(page(), "comboBox_dev_ver");
    QCOMPARE(combo->currentText(), QStringLiteral("2.5.0"));
    QCOMPARE(note(page()), QStringLiteral("newest: faster start"));
    QCOMPARE(pagetest::child<QLineEdit>(page(), "lEdit_upgrade_devType")->text(), QString::fromLatin1(testdb::kSimTable));

    // With the port open the note follows the combo; its text ends at NUL.
    combo->setCurrentIndex(1);
    QCOMPARE(note(page()), QStringLiteral("fixes"));
    combo->setCurrentIndex(0);
    QCOMPARE(note(page()), QStringLiteral("first release"));

    // A node whose type has not arrived is no match for the first table, nor
    // is a type of another product.
    QVERIFY(clickSimDevice(page(), "").isEmpty());
    QVERIFY(pagetest::child<QLineEdit>(page(), "lEdit_upgrade_devType")->text().isEmpty());
    QVERIFY(clickSimDevice(page(), "Q_OTHER-ESC_Z").isEmpty());
    QVERIFY(note(page()).isEmpty());
    QCOMPARE(clickSimDevice(page()).size(), 3);

    // With the port closed the note stays.
    pagetest::click(page(), "btnOpen");
    QCOMPARE(pagetest::caption(page(), "btnOpen"), QStringLiteral("Open"));
    combo->setCurrentIndex(0);
    QCOMPARE(note(page()), QStringLiteral("newest: faster start"));
    QVERIFY(boxes.texts().isEmpty());
}

void TestFirmwareDbPath::developerModeTakesTheTestDatabase()
{
    ModalBoxCloser boxes;
    m_page = startPage(true);
    QCOMPARE(shownDb(page()), QStringLiteral("fw_test"));
    openPort(page());
    QCOMPARE(clickSimDevice(page()), QStringList{"7.0.0-test"});
    QVERIFY(boxes.texts().isEmpty());
}

void TestFirmwareDbPath::unusableListAsksForTheUpdate_data()
{
    QTest::addColumn<bool>("hasList");
    QTest::addColumn<QByteArray>("listBytes");
    QTest::newRow("no list") << false << QByteArray();
    QTest::newRow("database missing") << true << list("gone.db", "http://h/gone.db");
    QTest::newRow("no row for the key") << true << QByteArray("ITEM,RELEASE_FILE,LINK_RELEASE_FILE\nOTHER,fw.v2.db,x\n");
    QTest::newRow("parent folder") << true << list("../evil.db", "http://h/evil.db");
    QTest::newRow("absolute path") << true << list(inBase("download/fw.v2.db"), "http://h/fw.v2.db");
    // The right row on line 3 of a list far larger than a real one, and a
    // "list" that never ends: neither is read.
    QTest::newRow("list above the bound")
        << true << list("fw.v2.db", "http://h/fw.v2.db") + QByteArray(int(devfilelist::kMaxListBytes), '\n');
    QTest::newRow("endless list") << true << QByteArray("-> /dev/zero");
    // A pipe that no one writes would hold the start for good.
    QTest::newRow("a FIFO for a list") << true << QByteArray("fifo");
}

void TestFirmwareDbPath::unusableListAsksForTheUpdate()
{
    QFETCH(bool, hasList);
    QFETCH(QByteArray, listBytes);
    QFile::remove(inBase("download/devFileList.csv"));
    if (listBytes.startsWith("-> "))
        QVERIFY(QFile::link(QString::fromUtf8(listBytes.mid(3)), inBase("download/devFileList.csv")));
    else if (listBytes == "fifo")
        QCOMPARE(::mkfifo(QFile::encodeName(inBase("download/devFileList.csv")).constData(), 0600), 0);
    else if (hasList)
        QVERIFY(writeFile("download/devFileList.csv", listBytes));
    // A real database where "../evil.db" would point.
    QVERIFY(testdb::writeStandardDb(inBase("evil.db")));
    const auto before = snapshot(base());

    ModalBoxCloser boxes;
    m_page = startPage(false);
    QCOMPARE(boxes.texts(), QStringList{QStringLiteral("Please click upgrade database button")});
    QCOMPARE(boxes.titles(), QStringList{QStringLiteral("Notify")});
    QVERIFY(shownDb(page()).isEmpty());
    openPort(page());
    QVERIFY(clickSimDevice(page()).isEmpty()); // no database, no tables
    QCOMPARE(snapshot(base()), before);        // nothing created, nothing changed
}

void TestFirmwareDbPath::debugTabSlotsRunWithTheTabRemoved()
{
    ModalBoxCloser boxes;
    LogCapture log(true);
    // Without a database the table list stays as it is.
    m_page.reset(new TQCAN);
    QVERIFY(QMetaObject::invokeMethod(page(), "on_btn_read_db_clicked"));
    QCOMPARE(pagetest::child<QComboBox>(page(), "comboBox_table")->count(), 0);

    m_page = startPage(false);
    auto* tables = pagetest::child<QComboBox>(page(), "comboBox_table");
    QWidget* debugTab = pagetest::child(page(), "tableDebug");
    QVERIFY(debugTab && !debugTab->isVisible());
    QCOMPARE(pagetest::child<QTabWidget>(page(), "tabWidget")->indexOf(debugTab), -1);

    QVERIFY(QMetaObject::invokeMethod(page(), "on_btn_read_db_clicked"));
    QCOMPARE(tables->count(), 2);
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
