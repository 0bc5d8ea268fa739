// The parameter tab at a test bench: the real window with its hub and serial
// worker, and esc-sim's nodes on a pseudo-terminal, each serving its
// register description and the registers it lists. The technician reads a
// node's parameters, edits and writes them, restores the defaults, and
// saves and loads parameter files.

#include <QtTest>

#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>

#include <csignal>
#include <sys/resource.h>

#include <vector>

#include "app/appwidget.h"
#include "app/tqpagecontrol.h"
#include "configurator/tqcan.h"
#include "linkharness.h"
#include "pagetesthelpers.h"

using namespace pagetest;

namespace {

struct Bench {
    explicit Bench(std::vector<uint8_t> nodes = {16}) : bus(options(std::move(nodes))) { window.show(); }
    // The port is closed and the replies already on their way are taken
    // before the window goes: a reply queued to a page that is gone would
    // never be freed.
    ~Bench()
    {
        if (caption(page(), "btnOpen") == QLatin1String("Close"))
            click(page(), "btnOpen");
        bus.stop();
        QTest::qWait(200);
    }
    static escsim::Options options(std::vector<uint8_t> nodes)
    {
        escsim::Options o;
        o.nodes = std::move(nodes);
        return o;
    }
    TQCAN* page() { return window.configuratorPage(); }

    escsim::Bus bus;
    std::string error;
    const QString path = QString::fromStdString(startOnThread(bus, &error));
    appwidget window;
};

// Answers every modal dialog the page opens, as a technician would: a file
// dialog with `file`, an integer dialog with `integer`, a message box with
// its default button (its text is kept).
class DialogDriver : public QObject
{
public:
    DialogDriver()
    {
        connect(&m_timer, &QTimer::timeout, this, &DialogDriver::answer);
        m_timer.start(20);
    }
    QString file;
    int integer = 0;
    QStringList texts;

private:
    void answer()
    {
        QWidget* modal = QApplication::activeModalWidget();
        if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            texts << box->text();
            if (QPushButton* ok = box->defaultButton())
                ok->click();
            else
                box->close();
        } else if (auto* dialog = qobject_cast<QFileDialog*>(modal)) {
            // What the user types into the name box (selectFile leaves a
            // focused box alone).
            if (auto* name = dialog->findChild<QLineEdit*>("fileNameEdit"))
                name->setText(file);
            static_cast<QDialog*>(dialog)->accept(); // QFileDialog's own, through its public base
        } else if (auto* input = qobject_cast<QInputDialog*>(modal)) {
            input->setIntValue(integer);
            input->accept();
        } else if (modal) {
            modal->close();
        }
    }
    QTimer m_timer;
};

QTableWidget* regTable(const QWidget* page) { return child<QTableWidget>(page, "tableWidget_set_regList"); }

// Rows with a caption or a register: address | description | shown option.
QStringList tableRows(const QWidget* page)
{
    const QTableWidget* t = regTable(page);
    QStringList out;
    for (int row = 0; row < t->rowCount(); ++row) {
        if (!t->item(row, 2) || t->item(row, 2)->text().isEmpty())
            continue;
        const auto* combo = qobject_cast<QComboBox*>(t->cellWidget(row, 3));
        out << t->item(row, 0)->text() + "|" + t->item(row, 2)->text() + "|"
                + (combo ? combo->currentText() : QString("-"));
    }
    return out;
}

QComboBox* comboOf(const QWidget* page, const QString& address)
{
    const QTableWidget* t = regTable(page);
    for (int row = 0; row < t->rowCount(); ++row) {
        if (t->item(row, 0) && t->item(row, 0)->text() == address)
            return qobject_cast<QComboBox*>(t->cellWidget(row, 3));
    }
    return nullptr;
}

QString hex(const std::vector<uint8_t>& bytes)
{
    QStringList out;
    for (uint8_t b : bytes)
        out << QString("%1").arg(b, 2, 16, QChar('0')).toUpper();
    return out.join(' ');
}

// The payloads of the requests a node got on a port, as hex text.
QStringList requests(const escsim::Bus& bus, uint8_t node, uint16_t port)
{
    QStringList out;
    for (const escsim::ReceivedRequest& r : bus.requests(node)) {
        if (r.port == port)
            out << hex(r.payload);
    }
    return out;
}

QStringList writesOf(const escsim::Bus& bus, uint8_t node)
{
    return requests(bus, node, 256).filter(QRegularExpression("^02 "));
}

QStringList parameterFiles()
{
    return QDir(QCoreApplication::applicationDirPath() + "/SetIns").entryList({"P_FLY-ESC_A_*.txt"}, QDir::Files);
}

// The parameter files that are not in `known`.
QStringList newFiles(const QStringList& known)
{
    QStringList out = parameterFiles();
    for (const QString& name : known)
        out.removeAll(name);
    return out;
}

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
    void cleanup();
    void readFillsTheTable();
    void descriptionLanguageIsFixedWhenTheReadStarts();
    void readErrorReplyShowsItsBox();
    void writeSendsTheEditedValuesThenStores();
    void writeErrorEndsTheSequence();
    void integerEntryIsWritten();
    void restoreWritesDefaultsStoresAndRereads();
    void saveWritesTheGrammarWithoutBom();
    void saveAndLoadReproduceTheTableOnRowTwo();
    void wrongTypeFileLeavesTheListEmpty();
    void fullDiskReportsASaveError();
    void wheelOverOptionsChangesNothing();
    void thirteenNodesGetThirteenRows();

private:
    // Opens the bench's port and chooses the node on `row` of the parameter
    // tab's device list, once `count` nodes are listed.
    void openAndChoose(Bench& bench, int row, int count = 1);
    // Reads the chosen node's parameters until the table shows them.
    void readParameters(Bench& bench);

    PageEnv m_env;
    QStringList m_filesBefore;
};

void tst_RegistersBus::cleanup()
{
    // Parameter files this test wrote next to the executable go.
    for (const QString& name : newFiles(m_filesBefore))
        QFile::remove(QCoreApplication::applicationDirPath() + "/SetIns/" + name);
}

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
    DialogDriver boxes;
    click(bench.page(), "btn_read_para");
    // The nodes here hold their defaults; an earlier table stays until the
    // new description is in.
    QTRY_COMPARE_WITH_TIMEOUT(tableRows(bench.page()), kEnglishTable, kSlowMs);
    QCOMPARE(boxes.texts, QStringList({"Read Para File Completed!"}));
}

void tst_RegistersBus::readFillsTheTable()
{
    Bench bench;
    openAndChoose(bench, 0);
    readParameters(bench);

    // The description in two chunks (it is longer than 256 bytes), in
    // English, then every register read whole, in description order.
    QVERIFY(escsim::sampleDescription().size() > 256);
    QCOMPARE(requests(bench.bus, 16, 257), QStringList({"00 00 00 00 00 E9 03", "00 01 00 00 00 E9 03"}));
    QCOMPARE(requests(bench.bus, 16, 256),
             QStringList({"01 0A", "01 0B", "01 0C", "01 0D", "01 10", "01 11", "01 12", "01 13", "01 14"}));
    QCOMPARE(tableRows(bench.page()), kEnglishTable);
    QCOMPARE(child<QLabel>(bench.page(), "label_set_regList")->text(), QString("Register list_P_FLY-ESC_A"));

    // Every option kind: labels, scaled steps, integers with their entry item.
    QComboBox* startup = comboOf(bench.page(), "0C");
    QCOMPARE(startup->count(), 101);
    QCOMPARE(startup->itemText(1), QString("0.5%"));
    QComboBox* current = comboOf(bench.page(), "12");
    QCOMPARE(current->count(), 2);
    QCOMPARE(current->itemText(1), QString("0~2000,I,[1]x0.1A"));
    QComboBox* timing = comboOf(bench.page(), "0D");
    QCOMPARE(timing->itemText(3), QString("22.5deg"));
}

void tst_RegistersBus::descriptionLanguageIsFixedWhenTheReadStarts()
{
    Bench bench;
    openAndChoose(bench, 0);
    auto* language = child<QComboBox>(bench.page(), "comboBox_lang");
    language->setCurrentIndex(1);

    // The user switches back to English as soon as the read is asked for.
    QObject guard;
    connect(TQPageControl::getInstance(), &TQPageControl::signalReadFile257, &guard,
            [language] { language->setCurrentIndex(0); }, Qt::DirectConnection);
    DialogDriver boxes;
    click(bench.page(), "btn_read_para");
    QTRY_COMPARE_WITH_TIMEOUT(tableRows(bench.page()).size(), kEnglishTable.size(), kSlowMs);
    QCOMPARE(requests(bench.bus, 16, 257), QStringList({"00 00 00 00 00 E8 03", "00 01 00 00 00 E8 03"}));
    QCOMPARE(tableRows(bench.page()).at(1), QString("0A|电机转向|*正转"));
    QCOMPARE(tableRows(bench.page()).at(7), QString("11|温度保护|*110℃"));
}

void tst_RegistersBus::readErrorReplyShowsItsBox()
{
    Bench bench;
    bench.bus.setRegisterFault(16, 0x0A, 0x11);
    openAndChoose(bench, 0);
    DialogDriver boxes;
    click(bench.page(), "btn_read_para");
    QTRY_COMPARE_WITH_TIMEOUT(boxes.texts.size(), 2, kSlowMs);
    QVERIFY(boxes.texts.contains("Read Para File Completed!"));
    QVERIFY(boxes.texts.contains("Read Reg: 0x0A, Err: 0x11, Please Check!"));
    // The other registers answer, but the table waits for the missing one.
    QTRY_COMPARE_WITH_TIMEOUT(requests(bench.bus, 16, 256).size(), 9, kSlowMs);
    QTest::qWait(300);
    QVERIFY(tableRows(bench.page()).isEmpty());
    QCOMPARE(boxes.texts.size(), 2);
}

void tst_RegistersBus::writeSendsTheEditedValuesThenStores()
{
    Bench bench;
    openAndChoose(bench, 0);
    readParameters(bench);
    comboOf(bench.page(), "0B")->setCurrentText("12");
    comboOf(bench.page(), "0C")->setCurrentText("30%");

    DialogDriver boxes;
    click(bench.page(), "btn_para_download");
    QTRY_COMPARE_WITH_TIMEOUT(boxes.texts, QStringList({"Write Parameter Success !"}), kSlowMs);
    QCOMPARE(writesOf(bench.bus, 16),
             QStringList({"02 0A 00 00", "02 0B 0C 00", "02 0C 3C 00", "02 0D 00 00", "02 10 02 00",
                          "02 11 6E 00", "02 12 58 02", "02 13 00 00"}));
    QTRY_COMPARE_WITH_TIMEOUT(requests(bench.bus, 16, 435), QStringList({"FA FF 30"}), kSlowMs);
    int16_t value = 0;
    QVERIFY(bench.bus.registerValue(16, 0x0B, &value));
    QCOMPARE(value, int16_t(12));
    QVERIFY(bench.bus.registerValue(16, 0x0C, &value));
    QCOMPARE(value, int16_t(60));
}

void tst_RegistersBus::writeErrorEndsTheSequence()
{
    Bench bench;
    openAndChoose(bench, 0);
    readParameters(bench);
    bench.bus.setRegisterFault(16, 0x0C, 0x13);

    DialogDriver boxes;
    click(bench.page(), "btn_para_download");
    QTRY_COMPARE_WITH_TIMEOUT(boxes.texts, QStringList({"Write Reg: 0x0C, Err: 0x13, Please Check!"}), kSlowMs);
    QTRY_COMPARE_WITH_TIMEOUT(writesOf(bench.bus, 16).size(), 8, kSlowMs);
    QTest::qWait(500); // the later replies come and go
    QCOMPARE(boxes.texts.size(), 1);
    QVERIFY(requests(bench.bus, 16, 435).isEmpty());
}

void tst_RegistersBus::integerEntryIsWritten()
{
    Bench bench;
    openAndChoose(bench, 0);
    readParameters(bench);
    DialogDriver dialogs;
    dialogs.integer = 1234;
    QComboBox* current = comboOf(bench.page(), "12");
    current->setCurrentIndex(current->count() - 1); // the integer-entry item
    QCOMPARE(current->currentText(), QString("1234x0.1A"));

    click(bench.page(), "btn_para_download");
    QTRY_COMPARE_WITH_TIMEOUT(dialogs.texts, QStringList({"Write Parameter Success !"}), kSlowMs);
    QVERIFY(writesOf(bench.bus, 16).contains("02 12 D2 04"));
    int16_t value = 0;
    QVERIFY(bench.bus.registerValue(16, 0x12, &value));
    QCOMPARE(value, int16_t(1234));
}

void tst_RegistersBus::restoreWritesDefaultsStoresAndRereads()
{
    Bench bench;
    openAndChoose(bench, 0);
    readParameters(bench);
    {
        comboOf(bench.page(), "0B")->setCurrentText("12");
        DialogDriver boxes;
        click(bench.page(), "btn_para_download");
        QTRY_COMPARE_WITH_TIMEOUT(boxes.texts.size(), 1, kSlowMs);
    }
    const int writesBefore = writesOf(bench.bus, 16).size();

    DialogDriver boxes;
    click(bench.page(), "btn_recovery");
    QTRY_COMPARE_WITH_TIMEOUT(boxes.texts, QStringList({"Write Parameter Success !"}), kSlowMs);
    // Every register's default, the one without options included.
    QCOMPARE(writesOf(bench.bus, 16).mid(writesBefore),
             QStringList({"02 0A 00 00", "02 0B 07 00", "02 0C 28 00", "02 0D 00 00", "02 10 02 00",
                          "02 11 6E 00", "02 12 58 02", "02 13 00 00", "02 14 03 00"}));
    QTRY_COMPARE_WITH_TIMEOUT(requests(bench.bus, 16, 435), QStringList({"FA FF 30", "FA FF 30"}), kSlowMs);
    // Then the description is read again and the table shows the defaults.
    QTRY_COMPARE_WITH_TIMEOUT(requests(bench.bus, 16, 257).size(), 4, kSlowMs);
    QTRY_COMPARE_WITH_TIMEOUT(tableRows(bench.page()), kEnglishTable, kSlowMs);
    int16_t value = 0;
    QVERIFY(bench.bus.registerValue(16, 0x0B, &value));
    QCOMPARE(value, int16_t(7));
}

void tst_RegistersBus::saveWritesTheGrammarWithoutBom()
{
    Bench bench;
    openAndChoose(bench, 0);
    readParameters(bench);
    DialogDriver boxes;
    click(bench.page(), "btn_local_save");
    QTRY_COMPARE_WITH_TIMEOUT(boxes.texts, QStringList({"Save File Success !"}), kSlowMs);

    const QStringList added = newFiles(m_filesBefore);
    QCOMPARE(added.size(), 1);
    QVERIFY(QRegularExpression("^P_FLY-ESC_A_\\d{4}-\\d\\d-\\d\\d-\\d\\d-\\d\\d-\\d\\d\\.txt$").match(added[0]).hasMatch());
    QFile file(QCoreApplication::applicationDirPath() + "/SetIns/" + added[0]);
    QVERIFY(file.open(QIODevice::ReadOnly));
    // The device's description with each register's fourth field as 0, then
    // the values: N registers as the number shown, the others as stored.
    const QString description = QString::fromStdString(escsim::sampleDescription())
                                    .replace(QRegularExpression("(:REG,[^,;:]*,[^,;:]*,)[^;:]*"), "\\1\x01")
                                    .replace(QChar(1), "0");
    const QByteArray expected = description.toUtf8() + "@"
        "reg_0A,cur_0,def_0,low_0,upper_1;reg_0B,cur_7,def_7,low_1,upper_50;"
        "reg_0C,cur_20,def_40,low_0,upper_100;reg_0D,cur_0,def_0,low_0,upper_3;"
        "reg_10,cur_2,def_2,low_0,upper_3;reg_11,cur_110,def_110,low_60,upper_140;"
        "reg_12,cur_600,def_600,low_0,upper_2000;reg_13,cur_0,def_0,low_0,upper_1;"
        "reg_14,cur_3,def_3,low_0,upper_10;";
    QCOMPARE(file.readAll(), expected);
}

void tst_RegistersBus::saveAndLoadReproduceTheTableOnRowTwo()
{
    Bench bench({16, 17, 18});
    openAndChoose(bench, 2, 3);
    readParameters(bench);
    QCOMPARE(requests(bench.bus, 18, 257).size(), 2);
    QVERIFY(requests(bench.bus, 16, 257).isEmpty());
    comboOf(bench.page(), "0B")->setCurrentText("12");
    comboOf(bench.page(), "0C")->setCurrentText("30%");
    comboOf(bench.page(), "10")->setCurrentText("Off");
    const QStringList edited = tableRows(bench.page());

    QString path;
    QByteArray bytes;
    {
        DialogDriver boxes;
        click(bench.page(), "btn_local_save");
        QTRY_COMPARE_WITH_TIMEOUT(boxes.texts, QStringList({"Save File Success !"}), kSlowMs);
        const QStringList added = newFiles(m_filesBefore);
        QCOMPARE(added.size(), 1);
        path = QCoreApplication::applicationDirPath() + "/SetIns/" + added[0];
        QFile saved(path);
        QVERIFY(saved.open(QIODevice::ReadOnly));
        bytes = saved.readAll();
    }
    // The choices of the table are the ones saved; the "n" register keeps
    // its register value.
    QVERIFY(bytes.contains("reg_0B,cur_12,"));
    QVERIFY(bytes.contains("reg_0C,cur_30,"));
    QVERIFY(bytes.contains("reg_10,cur_0,"));
    QVERIFY(bytes.contains("reg_14,cur_3,"));

    // A new read puts the device's values back; the load brings the file's.
    readParameters(bench);
    {
        DialogDriver dialogs;
        dialogs.file = path;
        click(bench.page(), "btn_local_load");
        QTRY_COMPARE_WITH_TIMEOUT(tableRows(bench.page()), edited, kSlowMs);
        QVERIFY(dialogs.texts.isEmpty());
    }
    QCOMPARE(child<QLabel>(bench.page(), "label_set_regList")->text(), QString("Register list_P_FLY-ESC_A"));

    // Saved again, the same bytes.
    const QStringList known = parameterFiles();
    QTest::qWait(1100); // a new time stamp
    DialogDriver boxes;
    click(bench.page(), "btn_local_save");
    QTRY_COMPARE_WITH_TIMEOUT(boxes.texts, QStringList({"Save File Success !"}), kSlowMs);
    const QStringList again = newFiles(known);
    QCOMPARE(again.size(), 1);
    QFile second(QCoreApplication::applicationDirPath() + "/SetIns/" + again[0]);
    QVERIFY(second.open(QIODevice::ReadOnly));
    QCOMPARE(second.readAll(), bytes);
}

void tst_RegistersBus::wrongTypeFileLeavesTheListEmpty()
{
    Bench bench;
    openAndChoose(bench, 0);
    readParameters(bench);
    QTemporaryDir dir;
    const QString path = dir.filePath("OTHER-ESC_B_2024-01-02-03-04-05.txt");
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(":REG,0A,Other,0;0,S,x;1,S,y@reg_0A,cur_1,def_0,low_0,upper_1;\n");
    file.close();

    DialogDriver dialogs;
    dialogs.file = path;
    click(bench.page(), "btn_local_load");
    QTRY_COMPARE_WITH_TIMEOUT(dialogs.texts,
                              QStringList({"Load Local File Err, Dev Type Is Different, Please Check!"}), kSlowMs);
    QVERIFY(tableRows(bench.page()).isEmpty());
    // Nothing left to write or save.
    click(bench.page(), "btn_para_download");
    QTRY_COMPARE_WITH_TIMEOUT(dialogs.texts.size(), 2, kSlowMs);
    QCOMPARE(dialogs.texts.at(1), QString("Please Get Setting Parameter First !"));
    QVERIFY(writesOf(bench.bus, 16).isEmpty());
}

void tst_RegistersBus::fullDiskReportsASaveError()
{
    Bench bench;
    openAndChoose(bench, 0);
    readParameters(bench);

    // Files of this process may not grow past 64 bytes: a full disk, as far
    // as the save can tell.
    rlimit old {};
    QVERIFY(getrlimit(RLIMIT_FSIZE, &old) == 0);
    const auto previous = std::signal(SIGXFSZ, SIG_IGN);
    rlimit tiny = old;
    tiny.rlim_cur = 64;
    QVERIFY(setrlimit(RLIMIT_FSIZE, &tiny) == 0);
    DialogDriver boxes;
    click(bench.page(), "btn_local_save");
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, previous);

    QTRY_COMPARE_WITH_TIMEOUT(boxes.texts, QStringList({"Save File Err !"}), kSlowMs);
    QCOMPARE(parameterFiles(), m_filesBefore);
}

void tst_RegistersBus::wheelOverOptionsChangesNothing()
{
    Bench bench;
    openAndChoose(bench, 0);
    readParameters(bench);
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
    // Code and keys still change it.
    poles->setCurrentIndex(index + 1);
    QCOMPARE(changed.size(), 1);
}

void tst_RegistersBus::thirteenNodesGetThirteenRows()
{
    std::vector<uint8_t> nodes;
    for (uint8_t n = 16; n < 29; ++n)
        nodes.push_back(n);
    Bench bench(nodes);
    openAndChoose(bench, 12, 13);
    QCOMPARE(listedNodes(devTable(bench.page())).size(), 13);
    QCOMPARE(listedNodes(devList(bench.page())).size(), 13);
}

QTEST_MAIN(tst_RegistersBus)
#include "tst_registers_bus.moc"
