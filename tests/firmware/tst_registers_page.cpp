// The parameter tab's rare paths, with the page fed replies as the link
// delivers them: replies of other nodes, stray and short replies, a range
// too wide to offer, and the choice of a device of another type.

#include <QtTest>

#include <QDir>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QInputDialog>
#include <QLineEdit>
#include <QLabel>
#include <QPointer>
#include <QRadioButton>

#include <memory>

#include <sys/stat.h>

#include "app/tqformalpagecontrol.h"
#include "app/tqpagecontrol.h"
#include "configurator/tqcan.h"
#include "logcapture.h"
#include "modalboxcloser.h"
#include "pagetesthelpers.h"

using namespace pagetest;

namespace {

std::string chunk(const std::string& text) { return fileChunk(0, text) + std::string(1, '\0'); }

// A whole-register reply: value, default, limits.
std::string wholeRegister(uint8_t reg, uint16_t value, uint16_t def, int16_t low, int16_t high)
{
    std::string r(23, '\0');
    r[0] = char(0x10);
    r[1] = char(reg);
    const std::pair<int, uint16_t> fields[] = {{2, value}, {16, def}, {18, uint16_t(low)}, {20, uint16_t(high)}};
    for (const auto& f : fields) {
        r[f.first] = char(f.second & 0xFF);
        r[f.first + 1] = char(f.second >> 8);
    }
    return r;
}

QTableWidget* regTable(const QWidget* page) { return child<QTableWidget>(page, "tableWidget_set_regList"); }

// The rows the register list put in the table (placeholders hold no item):
// their addresses, or address|shown option.
QStringList addresses(const QWidget* page, bool withOption = false)
{
    QStringList out;
    const QTableWidget* t = regTable(page);
    for (int row = 0; row < t->rowCount(); ++row) {
        if (!t->item(row, 0))
            continue;
        const auto* combo = qobject_cast<QComboBox*>(t->cellWidget(row, 3));
        out << t->item(row, 0)->text() + (!withOption ? QString() : combo ? "|" + combo->currentText() : "|-");
    }
    return out;
}

// A register request as the page made it, less its transfer-ID.
QList<QVariant> asked(const QSignalSpy& spy, int i) { return spy.at(i).mid(0, 4); }

// The part of a second in which a coarse 5 s timer, started, would run out
// a quarter second early (Qt moves due times to spread its wake-ups).
void untilACoarseTimerRunsEarly() { QTRY_VERIFY(QDeadlineTimer::current().deadline() % 1000 / 100 == 3); }

QComboBox* comboOf(const QWidget* page, int row) { return qobject_cast<QComboBox*>(regTable(page)->cellWidget(row, 3)); }
QRadioButton* radio(const QWidget* page, int row) { return qobject_cast<QRadioButton*>(devList(page)->cellWidget(row, 0)); }

} // namespace

class tst_RegistersPage : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QVERIFY2(m_env.ready(), "the translations must be built next to the test");
        // Qt's own file dialog, which a test can drive.
        QCoreApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
    }
    void init();
    void otherNodesAndBadAddressesAreIgnored();
    void strayRepliesChangeNothing();
    void repeatedAddressesAndUnchosenValues();
    void aWriteRunsToItsOwnEnd_data();
    void aWriteRunsToItsOwnEnd();
    void aWriteWithoutRepliesEndsAfterItsTimeOut();
    void aNumberTypedIsWhatACancelGoesBackTo();
    void loadEndsTheRunningReads();
    void shortAndUnterminatedRepliesAreSafe();
    void tooWideRangeShowsItsBox();
    void deviceOfAnotherTypeEmptiesTheList();
    void typeWithAPathSeparatorIsNotSaved();

private:
    QWidget* page() const { return m_page.get(); }
    void feed(response_data_struct_t r) { m_page->doProcessRecvTQPack(r); }
    void list(uint8_t node) { feed(heartbeat(node)); feed(deviceInfo(node, "P_FLY-ESC_A")); }
    void choose(int row) { QTest::mouseClick(devList(page())->cellWidget(row, 0), Qt::LeftButton); }
    // Reads node 16's parameters from a description of registers 0A and 0B
    // (and what `more` describes, whose registers `replies` answer); 0B
    // answers only when `whole`.
    void readTwoRegisters(bool whole = true, const std::string& more = std::string(),
                          const std::vector<std::string>& replies = {})
    {
        ModalBoxCloser boxes;
        click(page(), "btn_read_para");
        feed(m_reads.reply(16, chunk(more + ":REG,0A,Dir,0;0,S,Off;1,S,On:REG,0B,Power,7;0~100,N,[0.5]%")));
        for (const std::string& reply : replies)
            feed(m_reads.regReply(16, reply));
        feed(m_reads.regReply(16, wholeRegister(0x0A, 1, 0, 0, 1)));
        if (whole)
            feed(m_reads.regReply(16, wholeRegister(0x0B, 7, 7, 0, 100)));
    }

    // The node answers the write of 0A and 0B: the store command follows the
    // second reply only, and the success box.
    void answerTheWrite(const QSignalSpy& stores)
    {
        ModalBoxCloser boxes;
        feed(m_reads.regReply(16, std::string("\x20\x0A\x01\x00", 4)));
        QCOMPARE(stores.size(), 0);
        feed(m_reads.regReply(16, std::string("\x20\x0B\x07\x00", 4)));
        QTRY_COMPARE(boxes.texts(), QStringList({"Write Parameter Success !"}));
        QCOMPARE(stores.size(), 1);
    }

    PageEnv m_env;
    std::unique_ptr<TQCAN> m_page;
    NumberedRequests m_reads;
    // Nodes 16 and 17 stay on the bus however slowly a test runs.
    QTimer m_alive;
};

void tst_RegistersPage::init()
{
    m_page.reset(new TQCAN);
    m_page->show();
    QVERIFY(QTest::qWaitForWindowExposed(page()));
    typePort(page(), "/dev/tq-test-port");
    click(page(), "btnOpen");
    list(16);
    list(17);
    choose(0);
    m_alive.disconnect();
    connect(&m_alive, &QTimer::timeout, this, [this] { feed(heartbeat(16)); feed(heartbeat(17)); });
    m_alive.start(300);
}

void tst_RegistersPage::otherNodesAndBadAddressesAreIgnored()
{
    ModalBoxCloser boxes;
    QSignalSpy requests(TQPageControl::getInstance(), &TQPageControl::signalSeachReg);
    click(page(), "btn_read_para");
    // Node 17 answers as well: neither its description nor its values count.
    feed(m_reads.reply(17, chunk(":REG,0C,Other,0;0,S,x")));
    QCOMPARE(requests.size(), 0);
    // Addresses that do not parse or exceed a byte are neither read nor
    // written, never as register 0; the others still are.
    feed(m_reads.reply(16, chunk(":REG,zz,Bad,0;0,S,Off:REG,100,Big,0;0,S,Off:REG,0A,Dir,0;0,S,Off;1,S,On")));
    QCOMPARE(requests.size(), 1);
    QCOMPARE(asked(requests, 0), QList<QVariant>({16, 10, 1, 0}));
    feed(record(256, 17, wholeRegister(0x0A, 1, 0, 0, 1)));
    QVERIFY(addresses(page()).isEmpty());
    feed(m_reads.regReply(16, wholeRegister(0x0A, 1, 0, 0, 1)));
    QCOMPARE(addresses(page()), QStringList({"zz", "100", "0A"}));

    requests.clear();
    click(page(), "btn_para_download");
    QCOMPARE(requests.size(), 1);
    QCOMPARE(asked(requests, 0), QList<QVariant>({16, 10, 2, 1}));

    // An option chosen for a register that cannot be written ends the write
    // with the write error box: nothing is sent, and no success follows.
    feed(m_reads.regReply(16, std::string("\x20\x0A\x01\x00", 4)));
    boxes.clear();
    requests.clear();
    comboOf(page(), 0)->setCurrentIndex(0);
    click(page(), "btn_para_download");
    QTRY_COMPARE(boxes.texts(), QStringList({"Write Reg: zz, Err: 0x13, Please Check!"}));
    QCOMPARE(requests.size(), 0);
}

void tst_RegistersPage::strayRepliesChangeNothing()
{
    readTwoRegisters();
    QCOMPARE(addresses(page(), true), QStringList({"0A|On", "0B|*3.5%"}));
    // Neither a description chunk nor a read reply outside a read replaces
    // anything.
    {
        LogCapture log(true);
        const QPointer<QComboBox> built = comboOf(page(), 1);
        feed(m_reads.reply(16, chunk(":REG,0C,Stray,0;0,S,x")));
        feed(record(256, 16, wholeRegister(0x0B, 9, 7, 0, 100)));
        QCOMPARE(addresses(page()), QStringList({"0A", "0B"}));
        QCOMPARE(comboOf(page(), 1), built.data());
        QVERIFY(log.contains(QtDebugMsg, "no description read running"));
    }
    ModalBoxCloser boxes;
    QSignalSpy stores(tqformalpagecontrol::getInstance(), &tqformalpagecontrol::signalModeCtrlF);
    feed(record(256, 16, std::string("\x20\x77\x01\x00", 4))); // a register the list does not hold
    feed(record(256, 16, std::string("\x20\x0A\x01\x00", 4)));
    feed(record(256, 16, std::string("\x13\x0A", 2)));
    QTest::qWait(100);
    QCOMPARE(stores.size(), 0);
    QCOMPARE(boxes.texts(), QStringList());

    // A real sequence still ends with its store command, once.
    QSignalSpy writes(TQPageControl::getInstance(), &TQPageControl::signalSeachReg);
    click(page(), "btn_para_download");
    QCOMPARE(writes.size(), 2);
    feed(m_reads.regReply(16, std::string("\x20\x0A\x01\x00", 4)));
    QCOMPARE(stores.size(), 0);
    feed(m_reads.regReply(16, std::string("\x20\x0B\x07\x00", 4)));
    QTRY_COMPARE(boxes.texts(), QStringList({"Write Parameter Success !"}));
    QCOMPARE(stores.size(), 1);
    QCOMPARE(stores.at(0), QList<QVariant>({16, 0xFFFA, "0"}));
    feed(record(256, 16, std::string("\x20\x0B\x07\x00", 4)));
    QCOMPARE(stores.size(), 1);

    // A write, then a stray read reply: the table stays as the user left
    // it, and a second write sends the same values.
    comboOf(page(), 1)->setCurrentText("15%");
    const QPointer<QComboBox> power = comboOf(page(), 1);
    writes.clear();
    click(page(), "btn_para_download");
    feed(m_reads.regReply(16, std::string("\x20\x0A\x01\x00", 4)));
    feed(m_reads.regReply(16, std::string("\x20\x0B\x1E\x00", 4)));
    QTRY_COMPARE(stores.size(), 2);
    feed(record(256, 16, std::string("\x11\x0B", 2)));
    feed(record(256, 16, wholeRegister(0x0B, 9, 7, 0, 100)));
    QCOMPARE(comboOf(page(), 1), power.data());
    QCOMPARE(addresses(page(), true), QStringList({"0A|On", "0B|15%"}));
    click(page(), "btn_para_download");
    QCOMPARE(writes.size(), 4);
    QCOMPARE(asked(writes, 1), QList<QVariant>({16, 11, 2, 30}));
    QCOMPARE(asked(writes, 2) + asked(writes, 3), asked(writes, 0) + asked(writes, 1));
}

void tst_RegistersPage::repeatedAddressesAndUnchosenValues()
{
    ModalBoxCloser boxes;
    QSignalSpy requests(TQPageControl::getInstance(), &TQPageControl::signalSeachReg);
    click(page(), "btn_read_para");
    feed(m_reads.reply(16, chunk(":REG,09,Odd,0;0,S,Off;1,S,On:REG,0A,Dir,0;0,S,Off;1,S,On:REG,0C,Bad,0;5,N,[1]V"
                               ":REG,0C,Good,0;0~3,N,[1]V:REG,0D,Last,0;0,S,x;1,S,y")));
    QCOMPARE(requests.size(), 5);
    // Register 9 holds a value none of its options shows; the two records
    // of 0C take the replies for 0C in order (the first answers the first
    // request).
    const std::string first0C = wholeRegister(0x0C, 5, 5, 5, 5);
    for (const std::string& reply : {wholeRegister(0x09, 7, 0, 0, 7), wholeRegister(0x0A, 1, 0, 0, 1), first0C,
                                     wholeRegister(0x0C, 2, 0, 0, 3), wholeRegister(0x0D, 1, 0, 0, 1)})
        feed(m_reads.regReply(16, reply, reply == first0C));
    QCOMPARE(addresses(page(), true), QStringList({"09|", "0A|On", "0C|-", "0C|2V", "0D|y"}));

    // A write sends nothing for the option nobody chose, nor for the record
    // of 0C whose range has no "~" (it offers no option); the other record
    // of 0C writes its own option, converted with its own options, and the
    // write goes on to 0D and ends with its store command.
    requests.clear();
    boxes.clear();
    QSignalSpy stores(tqformalpagecontrol::getInstance(), &tqformalpagecontrol::signalModeCtrlF);
    click(page(), "btn_para_download");
    QCOMPARE(requests.size(), 3);
    QCOMPARE(asked(requests, 0), QList<QVariant>({16, 10, 2, 1}));
    QCOMPARE(asked(requests, 1), QList<QVariant>({16, 12, 2, 2}));
    QCOMPARE(asked(requests, 2), QList<QVariant>({16, 13, 2, 1}));
    for (const char* reply : {"\x20\x0A\x01\x00", "\x20\x0C\x02\x00", "\x20\x0D\x01\x00"})
        feed(m_reads.regReply(16, std::string(reply, 4)));
    QTRY_COMPARE(boxes.texts(), QStringList({"Write Parameter Success !"}));
    QCOMPARE(stores.size(), 1);
}

void tst_RegistersPage::aWriteRunsToItsOwnEnd_data()
{
    // While the replies of a write of 0A and 0B are awaited, the user
    // presses `button` (or chooses the device on `row`): refused with a box,
    // nothing sent; the write then ends with its store command and its box.
    QTest::addColumn<QString>("button");
    QTest::addColumn<int>("row");
    QTest::newRow("Read") << "btn_read_para" << -1;
    QTest::newRow("Load") << "btn_local_load" << -1;
    QTest::newRow("Write") << "btn_para_download" << -1;
    QTest::newRow("Restore") << "btn_recovery" << -1;
    QTest::newRow("another device of the type") << QString() << 1;
    QTest::newRow("the device itself") << QString() << 0;
    // Answering with other versions, the node is another device: the write
    // ends, and the answers the device before sent are late.
    QTest::newRow("the device restarts") << "restart" << -1;
}

void tst_RegistersPage::aWriteRunsToItsOwnEnd()
{
    QFETCH(QString, button);
    QFETCH(int, row);
    readTwoRegisters();
    QSignalSpy sent(TQPageControl::getInstance(), &TQPageControl::signalSeachReg);
    QSignalSpy reads(TQPageControl::getInstance(), &TQPageControl::signalReadFile257);
    QSignalSpy stores(tqformalpagecontrol::getInstance(), &tqformalpagecontrol::signalModeCtrlF);
    click(page(), "btn_para_download");
    QCOMPARE(sent.size(), 2);
    {
        ModalBoxCloser boxes;
        if (button == "restart")
            feed(deviceInfo(16, "P_FLY-ESC_A", 1, 0, 2, 4));
        else if (row < 0)
            click(page(), qPrintable(button));
        else
            choose(row);
        const QStringList refused {button == "restart" ? "The Dev Restarted During The Write, Please Read Its Parameters Again !"
                                                       : "Parameters Are Being Written, Please Wait !"};
        QTRY_COMPARE(boxes.texts(), row == 0 ? QStringList() : refused);
    }
    QCOMPARE(sent.size(), 2);
    QCOMPARE(reads.size(), 0);
    QVERIFY(radio(page(), 0)->isChecked() && !radio(page(), 1)->isChecked());
    QCOMPARE(addresses(page(), true), QStringList({"0A|On", "0B|*3.5%"}));

    if (button == "restart") { // no store, no success
        ModalBoxCloser boxes;
        feed(m_reads.regReply(16, std::string("\x20\x0A\x01\x00", 4)));
        feed(m_reads.regReply(16, std::string("\x20\x0B\x07\x00", 4)));
        QVERIFY(boxes.texts().isEmpty() && stores.isEmpty());
        // A device of the same type, restarted: the list is not written to it.
        click(page(), "btn_para_download");
        QTRY_COMPARE(boxes.texts(), QStringList({"The Dev Restarted After Its Parameters Were Read, Please Read Them Again !"}));
        QCOMPARE(sent.size(), 2);
        return;
    }
    answerTheWrite(stores);
    // Ended, the write lets the next action run.
    ModalBoxCloser boxes;
    click(page(), "btn_read_para");
    QTRY_COMPARE(boxes.texts(), QStringList({"Read Para File Completed!"}));
    QCOMPARE(reads.size(), 1);
}

void tst_RegistersPage::aWriteWithoutRepliesEndsAfterItsTimeOut()
{
    // The node answers the first write only: some seconds after that reply
    // the write ends with a box naming the register still unanswered, and
    // no store command; writes and a Read then run.
    readTwoRegisters();
    QSignalSpy stores(tqformalpagecontrol::getInstance(), &tqformalpagecontrol::signalModeCtrlF);
    QSignalSpy sent(TQPageControl::getInstance(), &TQPageControl::signalSeachReg);
    ModalBoxCloser boxes;
    click(page(), "btn_para_download");
    untilACoarseTimerRunsEarly();
    QElapsedTimer waited;
    waited.start();
    feed(m_reads.regReply(16, std::string("\x20\x0A\x01\x00", 4)));
    QTRY_COMPARE_WITH_TIMEOUT(boxes.texts(), QStringList({"Write Reg: 0x0B, No Reply, Please Check!"}), kSlowMs);
    QVERIFY2(waited.elapsed() >= 5000, "the write waits 5 s for its replies");
    QCOMPARE(stores.size(), 0);

    // Through more writes than there are transfer-IDs, the unanswered one
    // is not handed out again, and no two requests in a row share one.
    const QVariant late = sent.at(1).at(4);
    sent.clear();
    for (int i = 0; i < 17; ++i) {
        click(page(), "btn_para_download");
        feed(m_reads.regReply(16, std::string("\x20\x0A\x01\x00", 4)));
        feed(m_reads.regReply(16, std::string("\x20\x0B\x07\x00", 4)));
    }
    for (int i = 0; i < sent.size(); ++i)
        QVERIFY(sent.at(i).at(4) != late && (i == 0 || sent.at(i).at(4) != sent.at(i - 1).at(4)));
    QCOMPARE(stores.size(), 17);
    feed(record(256, 16, std::string("\x20\x0B\x07\x00", 4), uint8_t(late.toInt()))); // too late: nothing follows
    QCOMPARE(stores.size(), 17);

    // A Read still starts; its description never comes: from its first
    // request on, no row of the list before is offered and Write, Restore
    // and Save wait for it, until it ends some seconds later; then they say so.
    boxes.clear();
    click(page(), "btn_read_para");
    QVERIFY(addresses(page()).isEmpty());
    for (const char* button : {"btn_para_download", "btn_recovery", "btn_local_save"})
        click(page(), button);
    const QString reading = "Parameters Are Being Read, Please Wait !";
    QTRY_COMPARE_WITH_TIMEOUT(boxes.texts(), QStringList({"Read Para File Completed!", reading, reading, reading,
                                                          "Read Register List, No Reply, Please Check!"}),
                              kSlowMs);
    click(page(), "btn_local_save");
    QTRY_COMPARE(boxes.texts().last(), QString("Read Parameters Not Finished, Please Read Again !"));
    // Another node chosen ends a running read: nothing of it is left.
    readTwoRegisters(false);
    choose(1);
    boxes.clear();
    click(page(), "btn_para_download");
    QTRY_COMPARE(boxes.texts(), QStringList({"Please Get Setting Parameter First !"}));
    // Each answer gives the next its 5 s: answers 4.9 s apart fill the table.
    click(page(), "btn_read_para");
    untilACoarseTimerRunsEarly();
    feed(m_reads.reply(17, chunk(":REG,0A,Dir,0;0,S,Off;1,S,On:REG,0B,Power,7;0~100,N,[0.5]%")));
    for (uint8_t reg : {0x0A, 0x0B}) {
        QTest::qWait(4900); // what a slow line takes, within the bound
        feed(m_reads.regReply(17, wholeRegister(reg, 1, 0, 0, 1)));
    }
    QCOMPARE(addresses(page()), QStringList({"0A", "0B"}));
}

void tst_RegistersPage::aNumberTypedIsWhatACancelGoesBackTo()
{
    // Two integer registers, the first of the list among them: a number
    // typed into a row is kept for that row's own register, so that a
    // later cancelled entry goes back to it, and the other row keeps its own.
    {
        ModalBoxCloser boxes;
        click(page(), "btn_read_para");
        feed(m_reads.reply(16, chunk(":REG,12,A,0;0~100,I,[1]mA:REG,12,B,0;0~100,I,[1]mA")));
        feed(m_reads.regReply(16, wholeRegister(0x12, 5, 5, 0, 100), 1));
        feed(m_reads.regReply(16, wholeRegister(0x12, 5, 5, 0, 100), 0));
    }
    QCOMPARE(addresses(page(), true), QStringList({"12|*5mA", "12|*5mA"}));
    int typed = 0; // the number the dialog is answered with; negative: cancelled
    QTimer answer;
    connect(&answer, &QTimer::timeout, [&] {
        if (auto* input = qobject_cast<QInputDialog*>(QApplication::activeModalWidget())) {
            input->setIntValue(typed);
            typed < 0 ? input->reject() : input->accept();
        }
    });
    answer.start(20);
    const QStringList shown {"42mA", "43mA"};
    for (const int cancelled : {0, 1}) {
        for (int row : {0, 1}) {
            typed = cancelled ? -1 : 42 + row;
            QComboBox* combo = comboOf(page(), row);
            combo->setCurrentIndex(combo->findText("0~100,I,[1]mA"));
            QCOMPARE(combo->currentText(), shown.at(row));
        }
    }
}

void tst_RegistersPage::shortAndUnterminatedRepliesAreSafe()
{
    LogCapture log(true);
    ModalBoxCloser boxes;
    feed(m_reads.reply(16, std::string(3, '\0'))); // no text at all: an empty description
    click(page(), "btn_read_para");
    // A chunk of 300 bytes without its NUL, then the rest, also unterminated.
    const std::string text = ":REG,0A,Dir,0;0,S,Off;1,S,On" + std::string(272, 'x');
    feed(m_reads.reply(16, fileChunk(0, text)));
    feed(m_reads.reply(16, fileChunk(256, ":REG,0B,Poles,7;1~50,N,[1]")));
    for (const std::string& reply : {std::string("\x10", 1), std::string("\x10\x0A", 2),
                                     std::string("\x10\x0A\x01\x00", 4), std::string("\x10\x0A\x01\x00\x00", 5)})
        feed(reply.size() < 2 ? record(256, 16, reply) : m_reads.regReply(16, reply));
    feed({0, 256, 16, 0, 23, nullptr});
    // The short replies fill nothing; whole ones do.
    QVERIFY(addresses(page()).isEmpty());
    feed(m_reads.regReply(16, wholeRegister(0x0A, 1, 0, 0, 1)));
    feed(m_reads.regReply(16, wholeRegister(0x0B, 9, 7, 1, 50)));
    QCOMPARE(addresses(page()), QStringList({"0A", "0B"}));

    // A description the node cannot give, an empty one or one without a
    // register ends the read with its box.
    const std::pair<std::string, QString> failed[] = {
        {fileChunk(0, text, 0xFFFE), "Err: -2"}, {chunk(""), "No Register"}, {chunk(":STR,Motor"), "No Register"}};
    for (const auto& f : failed) {
        boxes.clear();
        click(page(), "btn_read_para");
        feed(m_reads.reply(16, f.first));
        click(page(), "btn_local_save");
        const QString box = "Read Register List, " + f.second + ", Please Check!";
        QTRY_COMPARE(boxes.texts(), QStringList({"Read Para File Completed!", box,
                                                 "Read Parameters Not Finished, Please Read Again !"}));
    }
}

void tst_RegistersPage::tooWideRangeShowsItsBox()
{
    ModalBoxCloser boxes;
    click(page(), "btn_read_para");
    feed(m_reads.reply(16, chunk(":REG,20,Wide,0;0~300,N,[1]:REG,21,Fine,0;0~250,N,[1]")));
    feed(m_reads.regReply(16, wholeRegister(0x20, 1, 0, 0, 300)));
    feed(m_reads.regReply(16, wholeRegister(0x21, 1, 0, 0, 250)));
    QTRY_COMPARE(boxes.texts(), QStringList({"Read Para File Completed!", "Para Is Err,0~300,N,[1]"}));
    QCOMPARE(addresses(page()), QStringList({"20", "21"}));
    QVERIFY(!regTable(page())->cellWidget(0, 3));
    QVERIFY(regTable(page())->cellWidget(1, 3));

    // While the box about register 20 is open, a new read replaces the
    // list: the old build must not go on with it.
    boxes.clear();
    click(page(), "btn_read_para");
    feed(m_reads.reply(16, chunk(":REG,20,Wide,0;0~300,N,[1]:REG,21,Fine,0;0~3,N,[1]")));
    feed(m_reads.regReply(16, wholeRegister(0x20, 1, 0, 0, 300)));
    QTimer::singleShot(0, this, [this] {
        click(page(), "btn_read_para");
        feed(m_reads.reply(16, chunk(":REG,30,A,0;0,S,x:REG,31,B,0;0,S,y:REG,32,C,0;0,S,z")));
    });
    feed(m_reads.regReply(16, wholeRegister(0x21, 1, 0, 0, 3)));
    QTRY_COMPARE(boxes.texts().size(), 3);
    QVERIFY(addresses(page()).isEmpty());
    for (uint8_t reg : {0x30, 0x31, 0x32})
        feed(m_reads.regReply(16, wholeRegister(reg, 0, 0, 0, 0)));
    QCOMPARE(addresses(page()), QStringList({"30", "31", "32"}));
}

void tst_RegistersPage::loadEndsTheRunningReads()
{
    QTemporaryDir dir;
    QFile file(dir.filePath("P_FLY-ESC_A_2024-01-02-03-04-05.txt"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(":REG,0A,Dir,0;0,S,Off;1,S,On:REG,0B,Power,7;0~100,N,[0.5]%@"
               "reg_0A,cur_0,def_0,low_0,upper_1;reg_0B,cur_10,def_7,low_0,upper_100;");
    file.close();
    // Answers the file dialog with the file; the load itself shows no box.
    const auto load = [&] {
        QTimer answer;
        connect(&answer, &QTimer::timeout, [&] {
            if (auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget())) {
                dialog->findChild<QLineEdit*>("fileNameEdit")->setText(file.fileName());
                static_cast<QDialog*>(dialog)->accept();
            }
        });
        answer.start(20);
        click(page(), "btn_local_load");
    };
    const QStringList loaded {"0A|*Off", "0B|10%"};

    // A file loaded while the description is still on its way: the
    // description, when it comes, replaces nothing.
    {
        ModalBoxCloser boxes;
        click(page(), "btn_read_para");
    }
    load();
    QCOMPARE(addresses(page(), true), loaded);
    feed(m_reads.reply(16, chunk(":REG,0C,Late,0;0,S,x")));
    QCOMPARE(addresses(page(), true), loaded);

    // A file loaded while values are awaited: a late value rebuilds nothing.
    readTwoRegisters(false);
    load();
    comboOf(page(), 1)->setCurrentText("15%");
    feed(record(256, 16, wholeRegister(0x0B, 7, 7, 0, 100)));
    QCOMPARE(addresses(page(), true), QStringList({"0A|*Off", "0B|15%"}));

    // A file chosen while a write (or a restore) is answered waits for the
    // write's end: the load is refused with a box, the write ends with the
    // store command and its box (a restore with its read of the node), and
    // the file then loads, also one that lacks a register written (an older
    // firmware's file), and ends the restore's read.
    const struct {
        const char* button;
        QByteArray content;
        QStringList shown;
    } writes[] = {
        {"btn_para_download", QByteArray(), loaded},
        {"btn_recovery", ":REG,0A,Dir,0;0,S,Off;1,S,On@reg_0A,cur_1,def_0,low_0,upper_1;", {"0A|On"}},
    };
    for (const auto& write : writes) {
        if (!write.content.isEmpty()) {
            QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
            file.write(write.content);
            file.close();
        }
        readTwoRegisters();
        QSignalSpy stores(tqformalpagecontrol::getInstance(), &tqformalpagecontrol::signalModeCtrlF);
        QSignalSpy reads(TQPageControl::getInstance(), &TQPageControl::signalReadFile257);
        click(page(), write.button);
        {
            ModalBoxCloser boxes;
            click(page(), "btn_local_load");
            QTRY_COMPARE(boxes.texts(), QStringList({"Parameters Are Being Written, Please Wait !"}));
        }
        QCOMPARE(addresses(page(), true), QStringList({"0A|On", "0B|*3.5%"}));
        answerTheWrite(stores);
        QCOMPARE(reads.size(), write.content.isEmpty() ? 0 : 1);
        load();
        QCOMPARE(addresses(page(), true), write.shown);
        feed(m_reads.reply(16, chunk(":REG,0C,Late,0;0,S,x")));
        QCOMPARE(addresses(page(), true), write.shown);
    }

    // A file gone by the time it is read (removed once chosen) is no empty
    // file; a FIFO nobody writes to, a link to /dev/zero and a file past
    // 1 MiB are no parameter files: the failure box at once, and the list
    // and the table stay.
    const QStringList shown = addresses(page(), true);
    QFile big(dir.filePath("big.txt"));
    QVERIFY(big.open(QIODevice::WriteOnly) && big.resize(1024 * 1024 + 1));
    QVERIFY(QFile::link("/dev/zero", dir.filePath("zero.txt")));
    QCOMPARE(::mkfifo(QFile::encodeName(dir.filePath("fifo.txt")).constData(), 0600), 0);
    for (const QString& name : {file.fileName(), dir.filePath("fifo.txt"), dir.filePath("zero.txt"), big.fileName()}) {
        QStringList texts;
        QTimer answer;
        connect(&answer, &QTimer::timeout, [&] {
            if (auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget())) {
                dialog->findChild<QLineEdit*>("fileNameEdit")->setText(name);
                static_cast<QDialog*>(dialog)->accept();
                file.remove();
            } else if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                texts << box->text();
                box->close();
            }
        });
        answer.start(20);
        click(page(), "btn_local_load");
        QCOMPARE(texts, QStringList({"Load Local File Err, Please Check!"}));
        QCOMPARE(addresses(page(), true), shown);
    }
}

void tst_RegistersPage::deviceOfAnotherTypeEmptiesTheList()
{
    feed(deviceInfo(17, "OTHER-ESC_B")); // node 17 turns out to be another type
    // The chosen device's radio clicked again keeps the choice.
    choose(0);
    QVERIFY(radio(page(), 0)->isChecked());
    // Rows with an empty caption or description are the list's too.
    readTwoRegisters(true, ":STR,;:REG,0C,,0;0,S,Off;1,S,On", {wholeRegister(0x0C, 1, 0, 0, 1)});
    readTwoRegisters(true, ":STR,;:REG,0C,,0;0,S,Off;1,S,On", {wholeRegister(0x0C, 1, 0, 0, 1)});
    QCOMPARE(addresses(page()), QStringList({" ", "0C", "0A", "0B"}));

    // No: the choice, its radio and the firmware table's current cell stay.
    ModalBoxCloser boxes;
    boxes.setAnswer(QMessageBox::No);
    devTable(page())->setCurrentCell(1, 2);
    choose(1);
    QTRY_COMPARE(boxes.texts(), QStringList({"Chose New Type Dev, The Para Will Clear,\r\nChose Yes To Clear !"}));
    QVERIFY(radio(page(), 0)->isChecked() && !radio(page(), 1)->isChecked());
    QCOMPARE(QList<int>({devTable(page())->currentRow(), devTable(page())->currentColumn()}), QList<int>({0, 1}));
    QCOMPARE(addresses(page()).size(), 4);
    // No to the node-ID question keeps all too, an option not written yet.
    comboOf(page(), 1)->setCurrentIndex(0);
    const QStringList edited = addresses(page(), true);
    click(page(), "btn_set_id");
    QTRY_COMPARE(boxes.texts().size(), 2);
    QCOMPARE(addresses(page(), true), edited);
    QVERIFY(radio(page(), 0)->isChecked());

    boxes.clear();
    boxes.setAnswer(QMessageBox::Yes);
    choose(1);
    QTRY_COMPARE(boxes.texts().size(), 1);
    QVERIFY(addresses(page()).isEmpty());
    QCOMPARE(regTable(page())->rowCount(), 12);
    // Nothing of node 16 can be written to, or restored on, node 17.
    QSignalSpy writes(TQPageControl::getInstance(), &TQPageControl::signalSeachReg);
    click(page(), "btn_recovery");
    click(page(), "btn_para_download");
    QTRY_COMPARE(boxes.texts().size(), 3);
    QCOMPARE(boxes.texts().mid(1), QStringList({"Please Get Setting Parameter First !", "Please Get Setting Parameter First !"}));
    QCOMPARE(writes.size(), 0);

    // A list still waiting for a value has no table, so no question; but
    // node 16's defaults must not reach node 17 either.
    choose(0);
    readTwoRegisters(false);
    QVERIFY(addresses(page()).isEmpty());
    boxes.clear();
    writes.clear();
    choose(1);
    click(page(), "btn_recovery");
    QTRY_COMPARE(boxes.texts(), QStringList({"Please Get Setting Parameter First !"}));
    QCOMPARE(writes.size(), 0);

    // The chosen node goes silent, its table stays; No to node 17 leaves
    // no device chosen.
    choose(0);
    readTwoRegisters();
    m_alive.stop();
    for (int tick = 0; tick < 4; ++tick) {
        feed(heartbeat(17));
        QMetaObject::invokeMethod(m_page.get(), "doProcessCheckDevTimerOut");
    }
    QCOMPARE(listed(page()), QStringList({"11"}));
    boxes.clear();
    boxes.setAnswer(QMessageBox::No);
    choose(0);
    QTRY_COMPARE(boxes.texts().size(), 1);
    QVERIFY(!radio(page(), 0)->isChecked());
    QCOMPARE(addresses(page()).size(), 2);
    click(page(), "btn_read_para");
    QTRY_COMPARE(boxes.texts().mid(1), QStringList({"Please Chose One Dev"}));
}

void tst_RegistersPage::typeWithAPathSeparatorIsNotSaved()
{
    feed(deviceInfo(16, "../evil")); // node 16 names itself with a path
    readTwoRegisters();
    QCOMPARE(addresses(page()).size(), 2);
    ModalBoxCloser boxes;
    click(page(), "btn_local_save");
    QTRY_COMPARE(boxes.texts(), QStringList({"Save File Err !"}));
    const QString bin = QCoreApplication::applicationDirPath();
    QVERIFY(QDir(bin).entryList({"evil_*"}).isEmpty() && QDir(bin + "/SetIns").entryList({"*evil*"}).isEmpty());
}

QTEST_MAIN(tst_RegistersPage)
#include "tst_registers_page.moc"
