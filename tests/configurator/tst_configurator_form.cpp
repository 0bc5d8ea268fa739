// The configurator page's form as a technician meets it: the tabs and every
// named widget, the generated ESC rows, the boxes' first state, the port
// list, the stop key, and the language switch with its memory.

#include <QtTest>

#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QSpinBox>
#include <QTabWidget>

#include <memory>

#include "app/communicat.h"
#include "configurator/tqcan.h"
#include "pagetesthelpers.h"

using namespace pagetest;

class tst_ConfiguratorForm : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void tabsAndNamedWidgets();
    void generatedEscRows();
    void boxesAndTablesStartAsStated();
    void portListKeepsWhatTheUserChose();
    void anyKeyStopsTheThrottleOnItsTab();
    void languageSwitchesAndIsRemembered();

private:
    std::unique_ptr<TempWorkDir> m_cwd;
    std::unique_ptr<LanguageSettingGuard> m_language;
    std::unique_ptr<TQCAN> m_page;
};

void tst_ConfiguratorForm::initTestCase()
{
    registerCommunicatMetaTypes();
    m_cwd.reset(new TempWorkDir);
    QVERIFY(m_cwd->isValid());
    QVERIFY2(addTranslations(*m_cwd), "the translations must be built next to the test");
    m_language.reset(new LanguageSettingGuard);
}

void tst_ConfiguratorForm::init()
{
    LanguageSettingGuard::set(0);
    m_page.reset(new TQCAN);
    m_page->resize(1366, 800);
    m_page->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_page.get()));
}

void tst_ConfiguratorForm::cleanup()
{
    m_page.reset();
}

void tst_ConfiguratorForm::tabsAndNamedWidgets()
{
    auto* tabs = child<QTabWidget>(m_page.get(), "tabWidget");
    QVERIFY(tabs);
    // The debug tab is built and removed at once: three tabs remain.
    QCOMPARE(tabs->count(), 3);
    QCOMPARE(tabs->tabText(0), QString("Firmware upgrade"));
    QCOMPARE(tabs->tabText(1), QString("Parameters"));
    QCOMPARE(tabs->tabText(2), QString("Throttle test"));
    QCOMPARE(tabs->widget(2)->objectName(), QString("tab_throt"));
    auto* debug = child<QWidget>(m_page.get(), "tableDebug");
    QVERIFY(debug);
    QCOMPARE(tabs->indexOf(debug), -1);
    QVERIFY(!debug->isVisible());

    const char* const names[] = {
        // header
        "btnOpen", "comboBox_lang", "comboBox_serial", "btn_refresh_port", "label_port_led",
        "frame_link_led",
        // firmware tab
        "tableWidget_dev", "lEdit_upgrade_db", "btnDownloadDBCSV", "lEdit_upgrade_devType",
        "lEdit_upgrade_hardver", "lEdit_upgrade_firmver", "comboBox_dev_ver", "textEdit",
        "btnUpgradedev",
        // parameter tab
        "tab_para", "tableWidget_set_devList", "tableWidget_set_regList", "label_set_regList",
        "btn_read_para", "btn_para_download", "btn_recovery", "btn_local_save", "btn_local_load",
        "comboBox_baud", "comboBox_baud_set", "comboBox_id_set", "btn_set_id", "btn_set_baud",
        // throttle tab
        "comboBoxThrot", "btn_throt_set", "scrollArea", "scrollAreaWidgetContents", "statusframe",
        "groupBox_ID", "speed_wave_frame", "a_wave_frame", "gas_wave_frame", "vol_wave_frame",
        "tmos_wave_frame", "tcap_wave_frame", "tmot_wave_frame", "groupBox_Ratio",
        "speed_rate_comb", "amp_rate_comb", "gas_rate_comb", "vol_rate_comb", "tmos_rate_comb",
        "tcap_rate_comb", "tmot_rate_comb", "waveformwidget", "btnSuspend", "btnDefaultPara",
        // debug tab
        "comboBox_table", "comboBox_Version", "radioBPart1", "radioBPart2", "lEditHttps",
        "lEditFirmwareDB", "textBrowser", "btnOpenFirmware", "btnDownLoadFirmware", "btn_read_db",
        "btn_download", "btn_read_excel", "btn_read_excel_csv", "btn_download_firmware_auto",
    };
    for (const char* name : names)
        QVERIFY2(child<QWidget>(m_page.get(), name), name);
    for (int i = 1; i <= 11; ++i)
        QVERIFY(child<QLabel>(m_page.get(), QString("label_gas_%1").arg(i).toLatin1()));

    QVERIFY(child<QAbstractButton>(m_page.get(), "radioBPart1")->isChecked());
    QVERIFY(child<QLineEdit>(m_page.get(), "lEditHttps")->text().endsWith("/devfile/devFileList.csv"));
    QCOMPARE(child<QPushButton>(m_page.get(), "btnSuspend")->text(), QString("Show"));
}

void tst_ConfiguratorForm::generatedEscRows()
{
    const char* const prefixes[] = {
        "lEdit_id_y1_", "spinBox_y_", "frame_progress_", "lEdit_zs_y1_", "lEdit_dl_y1_",
        "lEdit_ym_y1_", "lEdit_dy_y1_", "lEdit_tmos_y1_", "lEdit_tcap_y1_", "lEdit_tmot_y1_",
        "lEdit_sta_y1_", "spinBox_jdz_y1_", "checkBox_y1_",
    };
    auto* rows = child<QWidget>(m_page.get(), "scrollAreaWidgetContents");
    const QList<QWidget*> children = rows->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly);
    QCOMPARE(children.size(), 32 * 13);
    // Row by row, in the stated order within a row.
    for (int row = 1; row <= 32; ++row) {
        for (int col = 0; col < 13; ++col) {
            const QString expected = QString::fromLatin1(prefixes[col]) + QString::number(row);
            QCOMPARE(children.at((row - 1) * 13 + col)->objectName(), expected);
        }
    }
    QCOMPARE(child<QLineEdit>(m_page.get(), "lEdit_id_y1_1")->text(), QString("0x10"));
    QCOMPARE(child<QLineEdit>(m_page.get(), "lEdit_id_y1_32")->text(), QString("0x2f"));
    QCOMPARE(child<QCheckBox>(m_page.get(), "checkBox_y1_7")->text(), QString("c"));
    QVERIFY(qobject_cast<QFrame*>(children.at(2)));
    QVERIFY(qobject_cast<QSpinBox*>(children.at(11)));

    // The column headers sit outside the rows, so that row 1's suffix does
    // not catch "label_gas_1".
    for (int i = 1; i <= 11; ++i)
        QVERIFY(child<QLabel>(m_page.get(), QString("label_gas_%1").arg(i).toLatin1())->parent() != rows);

    // No node is listed: every row is disabled.
    for (QWidget* w : children)
        QVERIFY2(!w->isEnabled(), qPrintable(w->objectName()));
}

void tst_ConfiguratorForm::boxesAndTablesStartAsStated()
{
    auto* port = child<QComboBox>(m_page.get(), "comboBox_serial");
    QVERIFY(port->isEditable());
    QVERIFY(port->isEnabled());
    QCOMPARE(child<QPushButton>(m_page.get(), "btnOpen")->text(), QString("Open"));
    QVERIFY(!child<QLabel>(m_page.get(), "label_port_led")->pixmap(Qt::ReturnByValue).isNull());

    for (const char* name : {"comboBox_baud", "comboBox_baud_set"}) {
        auto* box = child<QComboBox>(m_page.get(), name);
        QCOMPARE(box->count(), 4);
        QCOMPARE(box->currentText(), QString("500K"));
        QCOMPARE(box->itemText(3), QString("1000K"));
    }
    auto* ids = child<QComboBox>(m_page.get(), "comboBox_id_set");
    QCOMPARE(ids->count(), 33);
    QCOMPARE(ids->itemText(0), QString("0x10"));
    QCOMPARE(ids->itemText(31), QString("0x2f"));
    QCOMPARE(ids->itemText(32), QString("encoder"));
    auto* lang = child<QComboBox>(m_page.get(), "comboBox_lang");
    QCOMPARE(lang->count(), 2);
    QCOMPARE(lang->currentIndex(), 0);

    auto* dev = child<QTableWidget>(m_page.get(), "tableWidget_dev");
    QCOMPARE(dev->columnCount(), 6);
    QCOMPARE(dev->rowCount(), 12);
    const QStringList devHeaders = {"Select", "Node", "Type of device", "Hardware version",
                                    "Firmware version", "Upgrade progress bar"};
    for (int c = 0; c < devHeaders.size(); ++c)
        QCOMPARE(headerText(dev, c), devHeaders.at(c));
    QCOMPARE(dev->editTriggers(), QAbstractItemView::NoEditTriggers);

    auto* devList = child<QTableWidget>(m_page.get(), "tableWidget_set_devList");
    QCOMPARE(devList->columnCount(), 2);
    QCOMPARE(devList->rowCount(), 12);
    QCOMPARE(headerText(devList, 1), QString("ID"));

    auto* regList = child<QTableWidget>(m_page.get(), "tableWidget_set_regList");
    QCOMPARE(regList->columnCount(), 9);
    QCOMPARE(regList->rowCount(), 12);
    QCOMPARE(headerText(regList, 2), QString("Option Names"));
    for (int c = 0; c < 9; ++c)
        QCOMPARE(regList->isColumnHidden(c), c == 1 || c >= 4);
    QCOMPARE(child<QLabel>(m_page.get(), "label_set_regList")->text(), QString("Register list"));

    // Widths follow the register table's header: 2/16 and 4/16 of it.
    auto* tabs = child<QTabWidget>(m_page.get(), "tabWidget");
    tabs->setCurrentIndex(1);
    const int length = regList->horizontalHeader()->length();
    QVERIFY(length > 100);
    QCOMPARE(regList->columnWidth(0), length * 2 / 16);
    QCOMPARE(regList->columnWidth(2), length * 4 / 16);
}

void tst_ConfiguratorForm::portListKeepsWhatTheUserChose()
{
    auto* port = child<QComboBox>(m_page.get(), "comboBox_serial");
    const auto search = [&](const QString& text) {
        CommunicatPage result;
        result.code = 100;
        result.name = "TQ_OPAL_SEARCH";
        result.text = text;
        m_page->doProcessRecvPagePack(result);
    };

    search("ttyACM0,ttyUSB0,");
    QCOMPARE(port->count(), 2);
    QCOMPARE(port->currentText(), QString("ttyACM0"));

    port->setCurrentIndex(1);
    search("ttyACM0,ttyUSB0,ttyUSB1,");
    QCOMPARE(port->currentText(), QString("ttyUSB0"));

    // A chosen port that went away gives way to the first listed one.
    search("ttyACM0,");
    QCOMPARE(port->currentText(), QString("ttyACM0"));

    // A path typed by hand is never listed, and stays.
    typePort(m_page.get(), "/dev/serial/by-id/usb-CAN_adapter-if00");
    search("ttyACM0,ttyUSB3,");
    QCOMPARE(port->count(), 2);
    QCOMPARE(port->currentText(), QString("/dev/serial/by-id/usb-CAN_adapter-if00"));

    // An empty search leaves an empty list; other codes change nothing.
    search("");
    QCOMPARE(port->count(), 0);
    CommunicatPage other;
    other.code = 7;
    other.name = "TQ_OPAL_SEARCH";
    other.text = "ttyS9,";
    m_page->doProcessRecvPagePack(other);
    QCOMPARE(port->count(), 0);
}

void tst_ConfiguratorForm::anyKeyStopsTheThrottleOnItsTab()
{
    auto* tabs = child<QTabWidget>(m_page.get(), "tabWidget");
    auto* first = child<QSpinBox>(m_page.get(), "spinBox_y_1");
    auto* last = child<QSpinBox>(m_page.get(), "spinBox_y_32");
    first->setValue(40);
    last->setValue(90);

    tabs->setCurrentIndex(0);
    QTest::keyClick(m_page.get(), Qt::Key_Space);
    QCOMPARE(first->value(), 40);

    tabs->setCurrentIndex(2);
    QTRY_COMPARE(m_page->focusWidget(), static_cast<QWidget*>(m_page.get()));
    QTest::keyClick(m_page.get(), Qt::Key_A);
    QCOMPARE(first->value(), 0);
    QCOMPARE(last->value(), 0);
}

void tst_ConfiguratorForm::languageSwitchesAndIsRemembered()
{
    auto* lang = child<QComboBox>(m_page.get(), "comboBox_lang");
    auto* dev = child<QTableWidget>(m_page.get(), "tableWidget_dev");
    auto* regList = child<QTableWidget>(m_page.get(), "tableWidget_set_regList");
    auto* devList = child<QTableWidget>(m_page.get(), "tableWidget_set_devList");
    auto* tabs = child<QTabWidget>(m_page.get(), "tabWidget");
    const auto text = [&](const char* name) { return child<QAbstractButton>(m_page.get(), name)->text(); };

    QCOMPARE(headerText(dev, 1), QString("Node"));
    QCOMPARE(text("btnOpen"), QString("Open"));
    QCOMPARE(text("btn_read_para"), QString("Read parameters"));

    lang->setCurrentIndex(1);
    QCOMPARE(headerText(dev, 1), QString("节点"));
    QCOMPARE(headerText(dev, 2), QString("设备类型"));
    QCOMPARE(headerText(regList, 0), QString("寄存器地址"));
    QCOMPARE(headerText(devList, 0), QString("选择"));
    QCOMPARE(text("btnOpen"), QString("打开"));
    QCOMPARE(text("btn_read_para"), QString("读取参数"));
    QCOMPARE(text("btn_set_baud"), QString("设置波特率"));
    QCOMPARE(text("btnSuspend"), QString("显示"));
    QCOMPARE(tabs->tabText(0), QString("固件升级"));
    QCOMPARE(child<QLabel>(m_page.get(), "label_set_regList")->text(), QString("寄存器列表"));
    QCOMPARE(LanguageSettingGuard::stored().toInt(), 1);

    // After a restart the page opens in Chinese.
    m_page.reset(new TQCAN);
    lang = child<QComboBox>(m_page.get(), "comboBox_lang");
    dev = child<QTableWidget>(m_page.get(), "tableWidget_dev");
    QCOMPARE(lang->currentIndex(), 1);
    QCOMPARE(headerText(dev, 1), QString("节点"));
    QCOMPARE(text("btnOpen"), QString("打开"));
    QCOMPARE(text("btn_local_save"), QString("保存到本地"));

    lang->setCurrentIndex(0);
    QCOMPARE(headerText(dev, 1), QString("Node"));
    QCOMPARE(text("btnOpen"), QString("Open"));
    QCOMPARE(text("btn_local_save"), QString("Save to file"));
    QCOMPARE(child<QTabWidget>(m_page.get(), "tabWidget")->tabText(2), QString("Throttle test"));
    QCOMPARE(LanguageSettingGuard::stored().toInt(), 0);

    m_page.reset(new TQCAN);
    QCOMPARE(child<QComboBox>(m_page.get(), "comboBox_lang")->currentIndex(), 0);
    QCOMPARE(headerText(child<QTableWidget>(m_page.get(), "tableWidget_dev"), 1), QString("Node"));
}

QTEST_MAIN(tst_ConfiguratorForm)
#include "tst_configurator_form.moc"
