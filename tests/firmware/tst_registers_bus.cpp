// The parameter tab at a test bench: the real window with its hub and serial
// worker, and esc-sim's nodes on a pseudo-terminal, each serving its
// register description and the registers it lists. The technician reads a
// node's parameters, edits and writes them, restores the defaults, and
// saves and loads parameter files.

#include <QtTest>

#include <QLabel>
#include <QRandomGenerator>
#include <QRadioButton>

#include <csignal>
#include <sys/resource.h>

#include "app/tqpagecontrol.h"
#include "logcapture.h"
#include "registerbench.h"

using namespace registerbench;

namespace {

// The values item of a file saved from a node that holds its defaults.
const QByteArray kDefaultValues = "reg_0A,cur_0,def_0,low_0,upper_1;reg_0B,cur_7,def_7,low_1,upper_50;"
                                  "reg_0C,cur_20,def_40,low_0,upper_100;reg_0D,cur_0,def_0,low_0,upper_3;"
                                  "reg_10,cur_2,def_2,low_0,upper_3;reg_11,cur_110,def_110,low_60,upper_140;"
                                  "reg_12,cur_600,def_600,low_0,upper_2000;reg_13,cur_0,def_0,low_0,upper_1;"
                                  "reg_14,cur_3,def_3,low_0,upper_10;";

const QStringList kEnglishTable {
    " |Motor|-",
    "0A|Motor direction|*Normal",
    "0B|Pole pairs|*7",
    "0C|Startup power|*20%",
    "0D|Timing advance|*0deg",
    " |Protection|-",
    "10|Low-voltage cut-off|*3.2V per cell",
    "11|Temperature limit|*110C",
    "12|Current limit|*600x0.1A",
    "13|Signal loss action|*Stop",
    "14|Beep volume|-",
};

} // namespace

class tst_RegistersBus : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QVERIFY2(m_env.ready(), "the translations must be built next to the test");
        // Qt's own file dialog, which a test can drive, whatever the desktop.
        QCoreApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
    }
    void cleanup()
    {
        // Parameter files this test wrote next to the executable go.
        for (const QString& name : newFiles(m_filesBefore))
            QFile::remove(setIns() + name);
    }
    void readFillsTheTableSavesAndReadsInChinese();
    void errorRepliesShowOneBox();
    void writeStoresThenRestoreRereads();
    void thirteenNodesAndSaveLoadOnRowTwo();
    void fullDiskAndRefusedFiles();
    void everyOptionKeepsItsValue_data();
    void everyOptionKeepsItsValue();
    void eachRowKeepsItsRegister_data();
    void eachRowKeepsItsRegister();
    void aWriteEndsWithItsStoreCommand_data();
    void aWriteEndsWithItsStoreCommand();

private:
    // Opens the bench's port and chooses the node on `row` of the parameter
    // tab's device list, once `count` nodes are listed.
    void openAndChoose(Bench& bench, int row = 0, int count = 1);
    // Reads the chosen node's parameters until the table shows them.
    void readParameters(Bench& bench);
    // Clicks `button` and waits for exactly the boxes `texts`.
    void clickFor(Bench& bench, const char* button, const QStringList& texts, const QString& file = QString());
    // Saves a file, whose values item must be `saved`, and loads it until
    // the table shows `shown`.
    void saveAndLoad(Bench& bench, const QString& saved, const QStringList& shown);

    PageEnv m_env;
    QStringList m_filesBefore;
};

void tst_RegistersBus::openAndChoose(Bench& bench, int row, int count)
{
    QVERIFY2(!bench.path.isEmpty(), bench.error.c_str());
    m_filesBefore = parameterFiles();
    typePort(bench.page(), bench.path);
    click(bench.page(), "btnOpen");
    QTRY_COMPARE_WITH_TIMEOUT(listed(bench.page()).size(), count, kSlowMs);
    auto* radio = qobject_cast<QRadioButton*>(devList(bench.page())->cellWidget(row, 0));
    QVERIFY(radio);
    QTest::mouseClick(radio, Qt::LeftButton);
    QVERIFY(radio->isChecked());
}

void tst_RegistersBus::readParameters(Bench& bench)
{
    // The nodes here hold their defaults; an earlier table stays until the
    // new description is in.
    clickFor(bench, "btn_read_para", {"Read Para File Completed!"});
    QTRY_COMPARE_WITH_TIMEOUT(tableRows(bench.page()), kEnglishTable, kSlowMs);
}

void tst_RegistersBus::clickFor(Bench& bench, const char* button, const QStringList& texts, const QString& file)
{
    DialogDriver boxes;
    boxes.file = file;
    click(bench.page(), button);
    QTRY_COMPARE_WITH_TIMEOUT(boxes.texts, texts, kSlowMs);
}

void tst_RegistersBus::saveAndLoad(Bench& bench, const QString& saved, const QStringList& shown)
{
    clickFor(bench, "btn_local_save", {"Save File Success !"});
    const QStringList added = newFiles(m_filesBefore);
    QCOMPARE(added.size(), 1);
    QFile file(setIns() + added[0]);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QVERIFY2(file.readAll().endsWith("@" + saved.toUtf8()), qPrintable(saved));
    clickFor(bench, "btn_local_load", {}, file.fileName());
    QTRY_COMPARE_WITH_TIMEOUT(tableRows(bench.page()), shown, kSlowMs);
}

void tst_RegistersBus::readFillsTheTableSavesAndReadsInChinese()
{
    Bench bench;
    openAndChoose(bench);
    readParameters(bench);

    // The description in two chunks (it is longer than 256 bytes), in
    // English, then every register read whole, in description order.
    QCOMPARE(requests(bench.bus, 16, 257), QStringList({"00 00 00 00 00 E9 03", "00 01 00 00 00 E9 03"}));
    QCOMPARE(requests(bench.bus, 16, 256),
             QStringList({"01 0A", "01 0B", "01 0C", "01 0D", "01 10", "01 11", "01 12", "01 13", "01 14"}));
    QCOMPARE(child<QLabel>(bench.page(), "label_set_regList")->text(), QString("Register list_P_FLY-ESC_A"));
    // Every option kind: labels, scaled steps, integers with their entry item.
    QCOMPARE(comboOf(bench.page(), "0C")->itemText(1), QString("0.5%"));
    QCOMPARE(comboOf(bench.page(), "0D")->itemText(3), QString("22.5deg"));
    QCOMPARE(comboOf(bench.page(), "12")->itemText(1), QString("0~2000,I,[1]x0.1A"));

    // A wheel over an Options combo changes nothing; code still does.
    QComboBox* poles = comboOf(bench.page(), "0B");
    QSignalSpy changed(poles, QOverload<int>::of(&QComboBox::currentIndexChanged));
    const int index = poles->currentIndex();
    for (int delta : {120, -120, 480}) {
        const QPoint at = poles->rect().center();
        QWheelEvent wheel(at, poles->mapToGlobal(at), QPoint(), QPoint(0, delta), Qt::NoButton, Qt::NoModifier,
                          Qt::NoScrollPhase, false);
        QApplication::sendEvent(poles, &wheel);
    }
    QCOMPARE(poles->currentIndex(), index);
    QCOMPARE(changed.size(), 0);
    poles->setCurrentIndex(index + 1);
    QCOMPARE(changed.size(), 1);
    poles->setCurrentIndex(index);
    // Nor does it change the firmware version, node ID, target rate or language.
    child<QComboBox>(bench.page(), "comboBox_dev_ver")->addItems({"2.4", "2.5"});
    for (const char* name : {"comboBox_dev_ver", "comboBox_id_set", "comboBox_baud_set", "comboBox_lang"}) {
        auto* box = child<QComboBox>(bench.page(), name);
        const int before = box->currentIndex();
        QWheelEvent wheel(QPointF(), box->mapToGlobal(QPoint()), QPoint(), QPoint(0, -120), Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(box, &wheel);
        QCOMPARE(box->currentIndex(), before);
    }

    clickFor(bench, "btn_local_save", {"Save File Success !"});
    const QStringList added = newFiles(m_filesBefore);
    QCOMPARE(added.size(), 1);
    QVERIFY(QRegularExpression("^P_FLY-ESC_A_\\d{4}-\\d\\d-\\d\\d-\\d\\d-\\d\\d-\\d\\d\\.txt$").match(added[0]).hasMatch());
    QFile file(setIns() + added[0]);
    QVERIFY(file.open(QIODevice::ReadOnly));
    // The device's description with each register's fourth field as 0, then
    // the values: N registers as the number shown, the others as stored.
    const QString description = QString::fromStdString(escsim::sampleDescription())
                                    .replace(QRegularExpression("(:REG,[^,;:]*,[^,;:]*,)[^;:]*"), "\\1\x01")
                                    .replace(QChar(1), "0");
    QCOMPARE(file.readAll(), description.toUtf8() + "@" + kDefaultValues);

    // Read pressed again while the first read's second chunk is on its way
    // (the node holds its answer until then): that chunk is no part of the
    // second read, whose own chunks make the whole list, once.
    {
        DialogDriver boxes;
        LogCapture log(true);
        bench.bus.holdResponses(16, 257, 1);
        click(bench.page(), "btn_read_para");
        QTRY_COMPARE_WITH_TIMEOUT(requests(bench.bus, 16, 257).size(), 4, kSlowMs);
        click(bench.page(), "btn_read_para");
        QTRY_COMPARE_WITH_TIMEOUT(requests(bench.bus, 16, 257).size(), 5, kSlowMs);
        bench.bus.releaseResponses(16);
        QTRY_COMPARE_WITH_TIMEOUT(requests(bench.bus, 16, 256).size(), 18, kSlowMs);
        QCOMPARE(requests(bench.bus, 16, 257).mid(2), QStringList({"00 00 00 00 00 E9 03", "00 01 00 00 00 E9 03",
                                                                  "00 00 00 00 00 E9 03", "00 01 00 00 00 E9 03"}));
        // The table fills once the values read are answered.
        QTRY_COMPARE_WITH_TIMEOUT(tableRows(bench.page()), kEnglishTable, kSlowMs);
        QCOMPARE(log.count(QtDebugMsg, "of a sequence that has ended"), 1);
        QCOMPARE(log.count(QtDebugMsg, "showSetRegInfoFromFireware--text length"), 1);
        QTRY_COMPARE_WITH_TIMEOUT(boxes.texts, QStringList({"Read Para File Completed!", "Read Para File Completed!"}),
                                  kSlowMs);
    }

    // The description language is fixed when a read starts: the user picks
    // Chinese, and switches back to English as soon as the read is asked for.
    auto* language = child<QComboBox>(bench.page(), "comboBox_lang");
    language->setCurrentIndex(1);
    {
        QObject guard;
        connect(TQPageControl::getInstance(), &TQPageControl::signalReadFile257, &guard,
                [language] { language->setCurrentIndex(0); }, Qt::DirectConnection);
        DialogDriver boxes;
        click(bench.page(), "btn_read_para");
        QTRY_COMPARE_WITH_TIMEOUT(tableRows(bench.page()).value(1), QString("0A|电机转向|*正转"), kSlowMs);
        QCOMPARE(requests(bench.bus, 16, 257).mid(6), QStringList({"00 00 00 00 00 E8 03", "00 01 00 00 00 E8 03"}));
        QCOMPARE(tableRows(bench.page()).value(7), QString("11|温度保护|*110℃"));
    }

    // A read in English, and before its first chunk is in, the user picks
    // Chinese and reads again: the English chunk, at the offset the second
    // read awaits, is still no part of it; the list is Chinese throughout.
    const QStringList chinese = tableRows(bench.page());
    language->setCurrentIndex(0);
    DialogDriver boxes;
    bench.bus.holdResponses(16, 257);
    click(bench.page(), "btn_read_para");
    language->setCurrentIndex(1);
    click(bench.page(), "btn_read_para");
    QTRY_COMPARE_WITH_TIMEOUT(requests(bench.bus, 16, 257).size(), 10, kSlowMs);
    bench.bus.releaseResponses(16);
    QTRY_COMPARE_WITH_TIMEOUT(requests(bench.bus, 16, 256).size(), 36, kSlowMs);
    QTRY_COMPARE_WITH_TIMEOUT(tableRows(bench.page()), chinese, kSlowMs);
    QCOMPARE(requests(bench.bus, 16, 257).mid(8), QStringList({"00 00 00 00 00 E9 03", "00 00 00 00 00 E8 03",
                                                              "00 01 00 00 00 E8 03"}));
    language->setCurrentIndex(0); // the language stays for the next page
}

void tst_RegistersBus::errorRepliesShowOneBox()
{
    Bench bench({16, 17});
    bench.bus.setRegisterFault(16, 0x14, 0x11);
    openAndChoose(bench, 0, 2);
    {
        DialogDriver boxes;
        click(bench.page(), "btn_read_para");
        QTRY_COMPARE_WITH_TIMEOUT(boxes.texts.size(), 2, kSlowMs);
        QVERIFY(boxes.texts.contains("Read Para File Completed!"));
        QVERIFY(boxes.texts.contains("Read Reg: 0x14, Err: 0x11, Please Check!"));
        // The read ends there: the other registers answered, and fill no table.
        QTRY_COMPARE_WITH_TIMEOUT(requests(bench.bus, 16, 256).size(), 9, kSlowMs);
        QTest::qWait(300);
        QVERIFY(tableRows(bench.page()).isEmpty());
        QCOMPARE(boxes.texts.size(), 2);
    }
    // The read did not finish: nothing is written, restored or saved; so it
    // goes when an answer is lost on its way, 5 s after the last.
    const QStringList unfinished {"Read Parameters Not Finished, Please Read Again !"};
    for (const char* button : {"btn_para_download", "btn_recovery", "btn_local_save"})
        clickFor(bench, button, unfinished);
    bench.bus.setRegisterFault(16, 0x14, 0);
    bench.bus.holdResponses(16, 256, 8);
    clickFor(bench, "btn_read_para", {"Read Para File Completed!", "Read Reg: 0x14, No Reply, Please Check!"});
    clickFor(bench, "btn_para_download", unfinished);
    bench.bus.releaseResponses(16);
    QCOMPARE(parameterFiles(), m_filesBefore);
    QVERIFY(writesOf(bench.bus, 16).isEmpty());

    // One write error ends the sequence: one box, no store command.
    readParameters(bench);
    bench.bus.setRegisterFault(16, 0x0C, 0x13);
    DialogDriver boxes;
    click(bench.page(), "btn_para_download");
    QTRY_COMPARE_WITH_TIMEOUT(boxes.texts, QStringList({"Write Reg: 0x0C, Err: 0x13, Please Check!"}), kSlowMs);
    QTRY_COMPARE_WITH_TIMEOUT(writesOf(bench.bus, 16).size(), 8, kSlowMs);
    QTest::qWait(500); // the later replies come and go
    QCOMPARE(boxes.texts.size(), 1);
    QVERIFY(requests(bench.bus, 16, 435).isEmpty());

    // A write whose replies come only after its time-out, while a second
    // write runs that the node refuses: they are no replies to the second,
    // which ends with the refusal's box and no store command; the node holds
    // the value chosen last.
    bench.bus.setRegisterFault(16, 0x0C, 0);
    bench.bus.holdResponses(16, 256);
    comboOf(bench.page(), "0B")->setCurrentText("12");
    click(bench.page(), "btn_para_download");
    const QString late = "Write Reg: 0x0A, No Reply, Please Check!";
    QTRY_COMPARE_WITH_TIMEOUT(boxes.texts.mid(1), QStringList({late}), kSlowMs);
    comboOf(bench.page(), "0B")->setCurrentText("9");
    bench.bus.setRegisterFault(16, 0x0C, 0x13);
    click(bench.page(), "btn_para_download");
    QTRY_COMPARE_WITH_TIMEOUT(writesOf(bench.bus, 16).size(), 24, kSlowMs);
    bench.bus.releaseResponses(16);
    QTRY_COMPARE_WITH_TIMEOUT(boxes.texts.mid(1), QStringList({late, "Write Reg: 0x0C, Err: 0x13, Please Check!"}),
                              kSlowMs);
    QCOMPARE(registerValue(bench.bus, 0x0B), int16_t(9));
    QVERIFY(requests(bench.bus, 16, 435).isEmpty());

    // 32 registers, the first refused: the write ends at once, the other 31
    // answers are held, and their transfer-IDs stay out of use until they
    // come. The next write and Read do not start, and leave the table.
    QString many;
    for (int reg = 0x40; reg < 0x60; ++reg)
        many += QString(":REG,%1,R,0;0,S,a;1,S,b").arg(reg, 0, 16);
    bench.bus.setDescription(16, many.toStdString());
    click(bench.page(), "btn_read_para");
    QTRY_COMPARE_WITH_TIMEOUT(tableRows(bench.page()).size(), 32, kSlowMs);
    bench.bus.setRegisterFault(16, 0x40, 0x13);
    bench.bus.holdResponses(16, 256, 1);
    LogCapture log(true);
    click(bench.page(), "btn_para_download");
    QTRY_COMPARE_WITH_TIMEOUT(boxes.texts.last(), QString("Write Reg: 0x40, Err: 0x13, Please Check!"), kSlowMs);
    for (const char* button : {"btn_para_download", "btn_read_para"}) {
        click(bench.page(), button);
        QTRY_COMPARE_WITH_TIMEOUT(boxes.texts.last(),
                                  QString("The Dev Has Not Answered Earlier Requests, Please Try Again Shortly!"), kSlowMs);
    }
    QCOMPARE(tableRows(bench.page()).size(), 32);
    // Those IDs are node 16's alone: node 17 is read as ever. Let go, the
    // answers free them: after an error on a middle register each next Read
    // shows the node's box (were the later answers' IDs kept, the third not).
    QTest::mouseClick(devList(bench.page())->cellWidget(1, 0), Qt::LeftButton);
    click(bench.page(), "btn_read_para");
    QTRY_COMPARE_WITH_TIMEOUT(tableRows(bench.page()), kEnglishTable, kSlowMs);
    bench.bus.releaseResponses(16);
    bench.bus.setRegisterFault(16, 0x40, 0);
    bench.bus.setRegisterFault(16, 0x44, 0x13);
    QTest::mouseClick(devList(bench.page())->cellWidget(0, 0), Qt::LeftButton);
    for (int read = 0; read < 3; ++read) {
        QTRY_COMPARE_WITH_TIMEOUT(log.count(QtDebugMsg, "of a sequence that has ended"), 31 + 27 * read, kSlowMs);
        click(bench.page(), "btn_read_para");
        QTRY_COMPARE_WITH_TIMEOUT(boxes.texts.count("Read Reg: 0x44, Err: 0x13, Please Check!"), read + 1, kSlowMs);
    }
    QVERIFY(requests(bench.bus, 16, 435).isEmpty() && !boxes.texts.contains("Write Parameter Success !"));
    bench.bus.setFileReadError(16, 2); // nor can a node that cannot give its description
    click(bench.page(), "btn_read_para");
    QTRY_VERIFY_WITH_TIMEOUT(boxes.texts.contains("Read Register List, Err: 2, Please Check!"), kSlowMs);
}

void tst_RegistersBus::writeStoresThenRestoreRereads()
{
    Bench bench;
    openAndChoose(bench);
    readParameters(bench);
    comboOf(bench.page(), "0B")->setCurrentText("12");
    comboOf(bench.page(), "0C")->setCurrentText("30%");
    {
        // The integer-entry item asks for the value.
        DialogDriver dialogs;
        dialogs.integer = 1234;
        QComboBox* current = comboOf(bench.page(), "12");
        current->setCurrentIndex(current->count() - 1);
        QCOMPARE(current->currentText(), QString("1234x0.1A"));
    }

    clickFor(bench, "btn_para_download", {"Write Parameter Success !"});
    QCOMPARE(writesOf(bench.bus, 16),
             QStringList({"02 0A 00 00", "02 0B 0C 00", "02 0C 3C 00", "02 0D 00 00", "02 10 02 00",
                          "02 11 6E 00", "02 12 D2 04", "02 13 00 00"}));
    QTRY_COMPARE_WITH_TIMEOUT(requests(bench.bus, 16, 435), QStringList({"FA FF 30"}), kSlowMs);
    QCOMPARE(registerValue(bench.bus, 0x0B), int16_t(12));
    QCOMPARE(registerValue(bench.bus, 0x0C), int16_t(60));
    QCOMPARE(registerValue(bench.bus, 0x12), int16_t(1234));

    // Restoring writes every register's default, the one without options
    // included, stores, and reads the description again.
    const int writesBefore = writesOf(bench.bus, 16).size();
    clickFor(bench, "btn_recovery", {"Write Parameter Success !"});
    QCOMPARE(writesOf(bench.bus, 16).mid(writesBefore),
             QStringList({"02 0A 00 00", "02 0B 07 00", "02 0C 28 00", "02 0D 00 00", "02 10 02 00",
                          "02 11 6E 00", "02 12 58 02", "02 13 00 00", "02 14 03 00"}));
    QTRY_COMPARE_WITH_TIMEOUT(requests(bench.bus, 16, 435), QStringList({"FA FF 30", "FA FF 30"}), kSlowMs);
    QTRY_COMPARE_WITH_TIMEOUT(requests(bench.bus, 16, 257).size(), 4, kSlowMs);
    QTRY_COMPARE_WITH_TIMEOUT(tableRows(bench.page()), kEnglishTable, kSlowMs);
    QCOMPARE(registerValue(bench.bus, 0x0B), int16_t(7));

    // A read's answers held until the node holds another 0A and the next
    // read has asked: they fill none of its rows. A Write waits for the read.
    const int asked = requests(bench.bus, 16, 256).size();
    bench.bus.holdResponses(16, 256);
    clickFor(bench, "btn_read_para", {"Read Para File Completed!"});
    QTRY_COMPARE_WITH_TIMEOUT(requests(bench.bus, 16, 256).size(), asked + 9, kSlowMs);
    clickFor(bench, "btn_para_download", {"Parameters Are Being Read, Please Wait !"});
    bench.bus.setDescription(16, QString::fromStdString(escsim::sampleDescription())
                                     .replace("direction,0;", "direction,1;").toStdString());
    clickFor(bench, "btn_read_para", {"Read Para File Completed!"});
    QTRY_COMPARE_WITH_TIMEOUT(requests(bench.bus, 16, 256).size(), asked + 18, kSlowMs);
    bench.bus.releaseResponses(16);
    QTRY_COMPARE_WITH_TIMEOUT(tableRows(bench.page()).value(1), QString("0A|Motor direction|*Reversed"), kSlowMs);

    // Another device in its place, its answer who it is held: what was read
    // of the one before is not written, restored or saved for it, nothing is
    // loaded, and a list read before the answer, which names another type,
    // is not written or saved either.
    clickFor(bench, "btn_local_save", {"Save File Success !"});
    const QString saved = setIns() + newFiles(m_filesBefore).value(0);
    QTRY_VERIFY_WITH_TIMEOUT(bench.bus.uptime(16) > 0, kSlowMs); // a restart its heartbeat shows
    bench.bus.swapNodes();
    bench.bus.holdResponses(16, 430);
    QTRY_VERIFY_WITH_TIMEOUT(!requests(bench.bus, 16, 430).isEmpty(), kSlowMs); // asked at its first heartbeat
    const QStringList restarted {"The Dev Restarted After Its Parameters Were Read, Please Read Them Again !"};
    for (const char* button : {"btn_local_load", "btn_para_download", "btn_recovery", "btn_local_save"})
        clickFor(bench, button, restarted, saved);
    readParameters(bench);
    clickFor(bench, "btn_para_download", restarted);
    bench.bus.releaseResponses(16);
    QTRY_COMPARE_WITH_TIMEOUT(rowTexts(devTable(bench.page()), 0).value(1), QString("P_FLY-ESC_B"), kSlowMs);
    for (const char* button : {"btn_para_download", "btn_recovery", "btn_local_save"})
        clickFor(bench, button, restarted);
    clickFor(bench, "btn_local_load", {"Load Local File Err, Dev Type Is Different, Please Check!"}, saved);
    QVERIFY(writesOf(bench.bus, 16).isEmpty() && QDir(setIns()).entryList({"P_FLY-ESC_B_*"}).isEmpty());
    readParameters(bench);
    clickFor(bench, "btn_para_download", {"Write Parameter Success !"});
}

void tst_RegistersBus::thirteenNodesAndSaveLoadOnRowTwo()
{
    std::vector<uint8_t> nodes;
    for (uint8_t n = 16; n < 29; ++n)
        nodes.push_back(n);
    Bench bench(nodes);
    openAndChoose(bench, 2, 13);
    QCOMPARE(listedNodes(devTable(bench.page())).size(), 13);
    QCOMPARE(listedNodes(devList(bench.page())).size(), 13);

    readParameters(bench);
    QCOMPARE(requests(bench.bus, 18, 257).size(), 2);
    QVERIFY(requests(bench.bus, 16, 257).isEmpty());
    comboOf(bench.page(), "0B")->setCurrentText("12");
    comboOf(bench.page(), "0C")->setCurrentText("30%");
    comboOf(bench.page(), "10")->setCurrentText("Off");
    const QStringList edited = tableRows(bench.page());

    clickFor(bench, "btn_local_save", {"Save File Success !"});
    const QStringList added = newFiles(m_filesBefore);
    QCOMPARE(added.size(), 1);
    QFile saved(setIns() + added[0]);
    QVERIFY(saved.open(QIODevice::ReadOnly));
    const QByteArray bytes = saved.readAll();
    // The choices of the table are the ones saved; the "n" register keeps
    // its register value.
    for (const char* item : {"reg_0B,cur_12,", "reg_0C,cur_30,", "reg_10,cur_0,", "reg_14,cur_3,"})
        QVERIFY2(bytes.contains(item), item);

    // A new read puts the device's values back; the load brings the file's.
    readParameters(bench);
    clickFor(bench, "btn_local_load", {}, saved.fileName());
    QTRY_COMPARE_WITH_TIMEOUT(tableRows(bench.page()), edited, kSlowMs);
    QCOMPARE(child<QLabel>(bench.page(), "label_set_regList")->text(), QString("Register list_P_FLY-ESC_A"));
}

void tst_RegistersBus::fullDiskAndRefusedFiles()
{
    Bench bench;
    openAndChoose(bench);
    readParameters(bench);

    // Files of this process may not grow past 64 bytes: a full disk, as far
    // as the save can tell.
    rlimit old {};
    QVERIFY(getrlimit(RLIMIT_FSIZE, &old) == 0);
    const auto previous = std::signal(SIGXFSZ, SIG_IGN);
    rlimit tiny = old;
    tiny.rlim_cur = 64;
    QVERIFY(setrlimit(RLIMIT_FSIZE, &tiny) == 0);
    {
        DialogDriver boxes;
        click(bench.page(), "btn_local_save");
        setrlimit(RLIMIT_FSIZE, &old);
        std::signal(SIGXFSZ, previous);
        QTRY_COMPARE_WITH_TIMEOUT(boxes.texts, QStringList({"Save File Err !"}), kSlowMs);
    }
    QCOMPARE(parameterFiles(), m_filesBefore);

    // Files that do not load leave nothing to write or save: another
    // type's, values the registers cannot hold (the box names the first,
    // over the page), and random bytes (a box without a number, or parent).
    QByteArray noise(96 * 1024, '\0');
    for (char& byte : noise)
        byte = char(QRandomGenerator::global()->generate());
    const QByteArray ours = escsim::sampleDescription().c_str() + QByteArray("@");
    const struct {
        QString name; // a path of its own: read as it is
        QByteArray bytes;
        QString box;
        bool overThePage;
        bool keepsTable = false;
    } refused[] = {
        // Files that cannot be read to their end (EIO), or describe more
        // registers than a node has, leave the table as it was.
        {"/proc/self/mem", "", "Load Local File Err, Please Check!", false, true},
        {"P_FLY-ESC_A", QByteArray(":REG,0A,M,0;0,S,a;1,S,b").repeated(257) + "@"
                            + QByteArray("reg_0A,cur_0,def_0,low_0,upper_1;").repeated(257),
         "Load Local File Err, Please Check!", false, true},
        {"OTHER-ESC_B", ":REG,0A,Other,0;0,S,x;1,S,y@reg_0A,cur_1,def_0,low_0,upper_1;\n",
         "Load Local File Err, Dev Type Is Different, Please Check!", false},
        {"P_FLY-ESC_A", ours + QByteArray(kDefaultValues).replace("reg_0C,cur_20,", "reg_0C,cur_150,"),
         "Load Local File Err, Reg 0C, Please Check!", true},
        {"P_FLY-ESC_A", ours + QByteArray(kDefaultValues).replace("reg_10,cur_2,", "reg_10,cur_7,"),
         "Load Local File Err, Reg 10, Please Check!", true},
        {"P_FLY-ESC_A", noise, "Load Local File Err, Please Check!", false},
    };
    QTemporaryDir dir;
    for (const auto& file : refused) {
        QFile out(file.name.startsWith('/') ? file.name : dir.filePath(file.name + "_2024-01-02-03-04-05.txt"));
        QVERIFY(file.name.startsWith('/') || (out.open(QIODevice::WriteOnly) && out.write(file.bytes) == file.bytes.size()));
        out.close();
        {
            DialogDriver boxes;
            boxes.file = out.fileName();
            click(bench.page(), "btn_local_load");
            QTRY_COMPARE_WITH_TIMEOUT(boxes.texts, QStringList({file.box}), kSlowMs);
            QCOMPARE(boxes.parents.value(0), file.overThePage ? static_cast<QWidget*>(bench.page()) : nullptr);
        }
        if (file.keepsTable) {
            QCOMPARE(tableRows(bench.page()), kEnglishTable);
            continue;
        }
        QVERIFY(tableRows(bench.page()).isEmpty());
        clickFor(bench, "btn_para_download", {"Please Get Setting Parameter First !"});
    }
    QVERIFY(writesOf(bench.bus, 16).isEmpty());
    // The node still holds its own values.
    readParameters(bench);
}

void tst_RegistersBus::everyOptionKeepsItsValue_data()
{
    // A node that describes register 0A as `description` (its fourth field
    // the value the node holds): the table shows `shown` for that value,
    // the file saved holds `saved`; `pick` is an option to choose (a number
    // to type for an "I" register), which the write sends as `picked`.
    QTest::addColumn<QString>("description");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QString>("written");
    QTest::addColumn<QString>("saved");
    QTest::addColumn<QString>("pick");
    QTest::addColumn<QString>("picked");
    QTest::newRow("I negative") << ":REG,0A,Trim,-3;-10~10,I,[1]deg" << "*-3deg" << "02 0A FD FF"
                                << "reg_0A,cur_65533,def_65533,low_-10,upper_10;" << "-7" << "02 0A F9 FF";
    QTest::newRow("I with text after its unit") << ":REG,0A,Cur,4;0~10,I,[1]mA;x" << "*4mA;x" << "02 0A 04 00"
                                                << "reg_0A,cur_4,def_4,low_0,upper_10;" << "7" << "02 0A 07 00";
    QTest::newRow("N negative") << ":REG,0A,Offset,-3;-5~5,N,[0.5]V" << "*-1.5V" << "02 0A FD FF"
                                << "reg_0A,cur_-1.5,def_65533,low_-5,upper_5;" << "-2.5V" << "02 0A FB FF";
    QTest::newRow("S negative") << ":REG,0A,Mode,-1;-1,S,Auto;0,S,Off;1,S,On" << "*Auto" << "02 0A FF FF"
                                << "reg_0A,cur_65535,def_65535,low_-1,upper_1;" << "On" << "02 0A 01 00";
    QTest::newRow("S repeated labels") << ":REG,0A,Mode,2;0,S,Normal;1,S,Reserved;2,S,Reserved;3,S,Fast"
                                       << "*Reserved (2)" << "02 0A 02 00" << "reg_0A,cur_2,def_2,low_0,upper_3;"
                                       << "Reserved" << "02 0A 01 00";
    QTest::newRow("S label with _") << ":REG,0A,Mode,0;0,S,Slow;1,S,Fast_mode" << "*Slow" << "02 0A 00 00"
                                    << "reg_0A,cur_0,def_0,low_0,upper_1;" << "Fast_mode" << "02 0A 01 00";
    QTest::newRow("N scale -1") << ":REG,0A,Gain,1;0~4,N,[-1]V" << "*-1V" << "02 0A 01 00"
                                << "reg_0A,cur_-1,def_1,low_0,upper_4;" << "-3V" << "02 0A 03 00";
}

void tst_RegistersBus::everyOptionKeepsItsValue()
{
    QFETCH(QString, description);
    QFETCH(QString, shown);
    QFETCH(QString, written);
    QFETCH(QString, saved);
    QFETCH(QString, pick);
    QFETCH(QString, picked);
    Bench bench({16}, description.toStdString());
    openAndChoose(bench);
    const QString row = "0A|" + description.section(',', 2, 2) + "|";
    clickFor(bench, "btn_read_para", {"Read Para File Completed!"});
    QTRY_COMPARE_WITH_TIMEOUT(tableRows(bench.page()), QStringList({row + shown}), kSlowMs);
    const int16_t held = registerValue(bench.bus, 0x0A);

    // Nobody touched the table: the write sends what the node holds.
    clickFor(bench, "btn_para_download", {"Write Parameter Success !"});
    QCOMPARE(writesOf(bench.bus, 16), QStringList({written}));
    QCOMPARE(registerValue(bench.bus, 0x0A), held);

    // Saved and loaded, the table shows the same option again.
    saveAndLoad(bench, saved, {row + shown});
    if (QTest::currentTestFailed())
        return;

    // The option picked (or the number typed) is what the write sends, and
    // what a read shows again.
    QComboBox* combo = comboOf(bench.page(), "0A");
    if (description.contains(",I,")) {
        DialogDriver dialogs;
        dialogs.integer = pick.toInt();
        combo->setCurrentIndex(combo->count() - 1);
        pick = combo->currentText();
    } else {
        combo->setCurrentText(pick);
    }
    QCOMPARE(combo->currentText(), pick);
    clickFor(bench, "btn_para_download", {"Write Parameter Success !"});
    QCOMPARE(writesOf(bench.bus, 16).mid(1), QStringList({picked}));
    clickFor(bench, "btn_read_para", {"Read Para File Completed!"});
    QTRY_COMPARE_WITH_TIMEOUT(tableRows(bench.page()), QStringList({row + pick}), kSlowMs);
}

void tst_RegistersBus::eachRowKeepsItsRegister_data()
{
    // A node describes `description`: the table shows `shown`, a write of
    // the untouched table sends `written` and leaves the node as it was,
    // and a save stores `saved` behind the "@" (empty: the file could not
    // load back as the list, "Save File Err !" and no file); loaded, the
    // file shows the same table, whose write sends the same again.
    QTest::addColumn<QString>("description");
    QTest::addColumn<QStringList>("shown");
    QTest::addColumn<QStringList>("written");
    QTest::addColumn<QString>("saved");
    QTest::newRow("one address twice, its labels swapped")
        << ":REG,0A,Mode,1;0,S,Off;1,S,On:REG,0A,Mode inverted,1;0,S,On;1,S,Off"
        << QStringList({"0A|Mode|*On", "0A|Mode inverted|*Off"}) << QStringList({"02 0A 01 00", "02 0A 01 00"})
        << "reg_0A,cur_1,def_1,low_0,upper_1;reg_0A,cur_1,def_1,low_0,upper_1;";
    QTest::newRow("one address twice, two scales")
        << ":REG,0A,Volts,3;0~10,N,[1]V:REG,0A,Volts x2,3;0~10,N,[2]V"
        << QStringList({"0A|Volts|*3V", "0A|Volts x2|*6V"}) << QStringList({"02 0A 03 00", "02 0A 03 00"})
        << "reg_0A,cur_3,def_3,low_0,upper_10;reg_0A,cur_6,def_3,low_0,upper_10;";
    // Register "0A_" is no number: never read nor written, never taken
    // for 0A; the list with it unread cannot be saved.
    QTest::newRow("an address holding _") << ":REG,0A,Mode,1;0,S,Off;1,S,_y:REG,0A_,Other,0;0,S,x;1,S,y"
                                          << QStringList({"0A|Mode|*_y", "0A_|Other|"})
                                          << QStringList({"02 0A 01 00"}) << "";
    // A text-mode read drops the "\r": the file would load 3 as 1.
    QTest::newRow("a CR in a kind field") << ":REG,0A,Volts,3;0~10,N\r,[2]V:REG,0B,Mode,1;0,S,Off;1,S,On"
                                          << QStringList({"0A|Volts|-", "0B|Mode|*On"})
                                          << QStringList({"02 0B 01 00"}) << "";
}

void tst_RegistersBus::eachRowKeepsItsRegister()
{
    QFETCH(QString, description);
    QFETCH(QStringList, shown);
    QFETCH(QStringList, written);
    QFETCH(QString, saved);
    Bench bench({16}, description.toStdString());
    openAndChoose(bench);
    clickFor(bench, "btn_read_para", {"Read Para File Completed!"});
    QTRY_COMPARE_WITH_TIMEOUT(tableRows(bench.page()), shown, kSlowMs);
    const QList<int16_t> held {registerValue(bench.bus, 0x0A), registerValue(bench.bus, 0x0B)};

    clickFor(bench, "btn_para_download", {"Write Parameter Success !"});
    QCOMPARE(writesOf(bench.bus, 16), written);
    QCOMPARE(QList<int16_t>({registerValue(bench.bus, 0x0A), registerValue(bench.bus, 0x0B)}), held);

    if (saved.isEmpty()) {
        // Files of the names the save may take in the next minute stay as
        // they are: nothing is put in place, and nothing set aside is left.
        const QDateTime now = QDateTime::currentDateTime();
        QStringList taken;
        for (int s = 0; s < 60; ++s) {
            taken << "P_FLY-ESC_A_" + now.addSecs(s).toString("yyyy-MM-dd-HH-mm-ss") + ".txt";
            QFile old(setIns() + taken.last());
            QVERIFY(old.open(QIODevice::WriteOnly) && old.write("an older file") == 13);
        }
        clickFor(bench, "btn_local_save", {"Save File Err !"});
        QCOMPARE(newFiles(m_filesBefore + taken), QStringList());
        for (const QString& name : taken) {
            QFile old(setIns() + name);
            QVERIFY(old.open(QIODevice::ReadOnly));
            QCOMPARE(old.readAll(), QByteArray("an older file"));
        }
        QCOMPARE(QDir(setIns()).entryList({"*.txt.*"}, QDir::Files), QStringList());
        return;
    }
    saveAndLoad(bench, saved, shown);
    if (QTest::currentTestFailed())
        return;
    clickFor(bench, "btn_para_download", {"Write Parameter Success !"});
    QCOMPARE(writesOf(bench.bus, 16).mid(written.size()), written);
    QCOMPARE(QList<int16_t>({registerValue(bench.bus, 0x0A), registerValue(bench.bus, 0x0B)}), held);
}

void tst_RegistersBus::aWriteEndsWithItsStoreCommand_data()
{
    // While node 16 holds its write replies, the user presses `button` or
    // chooses node 17 (`button` empty): refused with a box; the write ends
    // with the store command once the replies come. Closing the port ends
    // the write: a box says so, and no store command follows.
    QTest::addColumn<QString>("button");
    QTest::newRow("Read") << "btn_read_para";
    QTest::newRow("a file loaded") << "btn_local_load";
    QTest::newRow("another node chosen") << QString();
    QTest::newRow("the port closed") << "btnOpen";
}

void tst_RegistersBus::aWriteEndsWithItsStoreCommand()
{
    QFETCH(QString, button);
    Bench bench({16, 17});
    openAndChoose(bench, 0, 2);
    readParameters(bench);
    bench.bus.holdResponses(16, 256);
    DialogDriver boxes;
    click(bench.page(), "btn_para_download");
    QTRY_COMPARE_WITH_TIMEOUT(writesOf(bench.bus, 16).size(), 8, kSlowMs);
    if (button.isEmpty())
        QTest::mouseClick(devList(bench.page())->cellWidget(1, 0), Qt::LeftButton);
    else
        click(bench.page(), qPrintable(button));
    const QString refused = button == "btnOpen" ? "Write Parameter Not Finished, The Dev May Hold Part Of It, Please Check!"
                                                : "Parameters Are Being Written, Please Wait !";
    QTRY_COMPARE_WITH_TIMEOUT(boxes.texts, QStringList({refused}), kSlowMs);
    bench.bus.releaseResponses(16);
    if (button == "btnOpen") {
        QVERIFY(requests(bench.bus, 16, 435).isEmpty());
        return;
    }
    QTRY_COMPARE_WITH_TIMEOUT(boxes.texts, QStringList({refused, "Write Parameter Success !"}), kSlowMs);
    QTRY_COMPARE_WITH_TIMEOUT(requests(bench.bus, 16, 435), QStringList({"FA FF 30"}), kSlowMs);
    QCOMPARE(requests(bench.bus, 16, 257).size(), 2);
    for (uint16_t port : {256, 257, 435})
        QVERIFY(requests(bench.bus, 17, port).isEmpty());
    QVERIFY(qobject_cast<QRadioButton*>(devList(bench.page())->cellWidget(0, 0))->isChecked());
    QVERIFY(!qobject_cast<QRadioButton*>(devList(bench.page())->cellWidget(1, 0))->isChecked());
    QCOMPARE(tableRows(bench.page()), kEnglishTable);
}

QTEST_MAIN(tst_RegistersBus)
#include "tst_registers_bus.moc"
