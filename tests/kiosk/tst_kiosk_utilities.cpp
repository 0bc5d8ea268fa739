// The kiosk utility object: record copies, random text and digests, the
// settings-file operations and the daily transaction number.

#include <QCryptographicHash>
#include <QDate>
#include <QRegularExpression>
#include <QSettings>
#include <QtTest>

#include <cstdlib>
#include <thread>

#include "kiosk/commonmethod.h"
#include "kiosktestsupport.h"

namespace {

Communicat sampleRecord()
{
    Communicat c;
    c.SrcType = 6;
    c.DestType = 9;
    c.cmdtype = QStringLiteral("heart");
    c.arg1 = QStringLiteral("one");
    c.arg2 = QStringLiteral("two");
    c.data = QByteArray("\x01\x02", 2);
    c.sender = 0x1234;
    c.param = 77;
    return c;
}

Communicat otherRecord()
{
    Communicat c;
    c.SrcType = 1;
    c.DestType = 2;
    c.cmdtype = QStringLiteral("old");
    c.arg1 = QStringLiteral("a");
    c.arg2 = QStringLiteral("b");
    c.data = QByteArray("keep");
    c.sender = 5;
    c.param = 3;
    return c;
}

bool sameRecord(const Communicat& a, const Communicat& b)
{
    return a.SrcType == b.SrcType && a.DestType == b.DestType && a.cmdtype == b.cmdtype
        && a.arg1 == b.arg1 && a.arg2 == b.arg2 && a.data == b.data && a.sender == b.sender
        && a.param == b.param;
}

const QRegularExpression kAlnum(QStringLiteral("^[A-Za-z0-9]*$"));

QString today()
{
    return QDate::currentDate().toString(QStringLiteral("yyyyMMdd"));
}

} // namespace

class tst_kiosk_utilities : public QObject
{
    Q_OBJECT

private slots:
    void recordOperationsTouchTheirFields();
    void randomTextAndDigests();
    void randomTextUsesTheProcessGenerator();
    void iniWritesRefuseWithoutTouchingTheFile();
    void iniWritesAndReads();
    void iniKeyRemoval();
    void comValuesDropTheirPrefix();
    void transactionNumbersCountPerDay();
    void transactionNumberSequenceIsSixtyFourBit();
    void transactionNumberNeedsAWritableFile();
    void transactionNumberWithAnUnusableFile();

private:
    commonmethod* cm = commonmethod::getInstance();
};

void tst_kiosk_utilities::recordOperationsTouchTheirFields()
{
    QVERIFY(cm);
    QCOMPARE(commonmethod::getInstance(), cm);
    const Communicat src = sampleRecord();

    QVERIFY(!cm->copyCommunicat(nullptr, src));
    Communicat copy = otherRecord();
    QVERIFY(cm->copyCommunicat(&copy, src));
    QVERIFY(sameRecord(copy, src));

    // The heartbeat store keeps the destination's payload and parameter.
    Communicat heart = otherRecord();
    cm->storeHeartRecord(&heart, src);
    Communicat expected = src;
    expected.data = QByteArray("keep");
    expected.param = 3;
    QVERIFY(sameRecord(heart, expected));
    cm->storeHeartRecord(nullptr, src);

    Communicat cleared = src;
    cm->clearCommunicat(&cleared);
    QCOMPARE(cleared.SrcType, -1);
    QCOMPARE(cleared.DestType, -1);
    QVERIFY(cleared.cmdtype.isEmpty());
    QVERIFY(cleared.arg1.isEmpty());
    QVERIFY(cleared.arg2.isEmpty());
    QCOMPARE(cleared.data, src.data);
    QCOMPARE(cleared.sender, qintptr(0));
    QCOMPARE(cleared.param, 0);
    cm->clearCommunicat(nullptr);
}

void tst_kiosk_utilities::randomTextAndDigests()
{
    QCOMPARE(cm->randomString(0), QString());
    QCOMPARE(cm->randomString(-3), QString());
    const QString five = cm->randomString(5);
    QCOMPARE(five.size(), 5);
    QVERIFY(kAlnum.match(five).hasMatch());
    QVERIFY(kAlnum.match(cm->randomString(500)).hasMatch());

    const QString empty = cm->textDigest(QString());
    QCOMPARE(empty.size(), 41);
    QCOMPARE(empty.mid(5, 32), QStringLiteral("d41d8cd98f00b204e9800998ecf8427e"));
    QVERIFY(kAlnum.match(empty.left(5) + empty.right(4)).hasMatch());

    QString stamp;
    const QString text = QStringLiteral("pay\u4f60\u597d");
    const QString digest = cm->timestampDigest(text, stamp);
    QCOMPARE(digest.size(), 41);
    QVERIFY2(QRegularExpression(QStringLiteral("^\\d{4}-\\d\\d-\\d\\d%20\\d\\d%3A\\d\\d%3A\\d\\d$"))
                 .match(stamp).hasMatch(), qPrintable(stamp));
    // Characters outside Latin-1 are hashed as "?".
    const QByteArray hashed = QByteArray("pay??") + stamp.toLatin1();
    QCOMPARE(digest.mid(5, 32),
             QString::fromLatin1(QCryptographicHash::hash(hashed, QCryptographicHash::Md5).toHex()));
}

void tst_kiosk_utilities::randomTextUsesTheProcessGenerator()
{
    // Seeding once in any thread fixes what every thread draws: the serial
    // and heartbeat workers see the seed of the start-up.
    std::srand(4242);
    const QString inMain = cm->randomString(24);
    std::srand(4242);
    QString inWorker;
    std::thread worker([&] { inWorker = cm->randomString(24); });
    worker.join();
    QCOMPARE(inWorker, inMain);
}

void tst_kiosk_utilities::iniWritesRefuseWithoutTouchingTheFile()
{
    KioskWorkDir dir;
    QVERIFY(dir.writeIni("[Language]\nType=EN\n"));
    const QByteArray before = dir.iniBytes();
    LogCapture log;

    QVERIFY(!cm->writeIniValue(QStringLiteral("Charge"), QStringLiteral("x"), true));
    QVERIFY(log.has(QtCriticalMsg, QStringLiteral("ini:写入的变量名格式错误，无/符号，路径不完整，异常")));
    QVERIFY(!cm->writeIniValue(QStringLiteral("Language/Type"), QString(), true));
    QVERIFY(log.has(QtCriticalMsg, QStringLiteral("ini:写入的变量为空，异常， [Language/Type,]")));

    log.clear();
    QVERIFY(!cm->writeIniValue(QStringLiteral("net/atm_code"), QStringLiteral("K07"), false));
    QCOMPARE(log.countOfType(QtCriticalMsg), 0);
    QCOMPARE(dir.iniBytes(), before);
    QCOMPARE(cm->readIniValue(QStringLiteral("net/atm_code")), QString());
}

void tst_kiosk_utilities::iniWritesAndReads()
{
    KioskWorkDir dir;
    QCOMPARE(cm->readIniValue(QStringLiteral("Language/Type")), QString());
    QVERIFY(!QFile::exists(dir.iniPath()));

    QVERIFY(cm->writeIniValue(QStringLiteral("net/atm_code"), QStringLiteral("K07"), true));
    QVERIFY(cm->writeIniValue(QStringLiteral("net/atm_code"), QStringLiteral("K08"), false));
    QCOMPARE(cm->readIniValue(QStringLiteral("net/atm_code")), QStringLiteral("K08"));
    // Written through to disk by the time the call returns.
    QVERIFY(dir.iniBytes().contains("atm_code=K08"));

    // A refused write to an existing file is taken back completely: later
    // reads and later successful writes do not bring the refused value.
    {
        UnwritableIni locked(dir);
        LogCapture log;
        QVERIFY(!cm->writeIniValue(QStringLiteral("net/atm_code"), QStringLiteral("K99"), false));
        QVERIFY(log.has(QtCriticalMsg, QStringLiteral("not saved")));
        QCOMPARE(cm->readIniValue(QStringLiteral("net/atm_code")), QStringLiteral("K08"));
    }
    QVERIFY(cm->writeIniValue(QStringLiteral("net/other"), QStringLiteral("1"), true));
    QCOMPARE(cm->readIniValue(QStringLiteral("net/atm_code")), QStringLiteral("K08"));
    QVERIFY(!dir.iniBytes().contains("K99"));
}

void tst_kiosk_utilities::iniKeyRemoval()
{
    KioskWorkDir dir;
    QVERIFY(dir.writeIni("[Serial]\nCom1=COM3\nCom2=COM4\nbaud=9600\n[net]\natm_code=K07\n"));

    QVERIFY(!cm->removeIniKey(QString()));
    QVERIFY(!cm->removeIniKeysContaining(QString()));
    QVERIFY(cm->removeIniKey(QStringLiteral("nothing/here")));

    QVERIFY(cm->removeIniKeysContaining(QStringLiteral("/Com")));
    QCOMPARE(cm->readIniValue(QStringLiteral("Serial/Com1")), QString());
    QCOMPARE(cm->readIniValue(QStringLiteral("Serial/baud")), QStringLiteral("9600"));

    QVERIFY(cm->removeIniKey(QStringLiteral("Serial")));
    QCOMPARE(cm->readIniValue(QStringLiteral("Serial/baud")), QString());
    QCOMPARE(cm->readIniValue(QStringLiteral("net/atm_code")), QStringLiteral("K07"));

    {
        UnwritableIni locked(dir);
        QVERIFY(!cm->removeIniKey(QStringLiteral("net")));
    }
    QCOMPARE(cm->readIniValue(QStringLiteral("net/atm_code")), QStringLiteral("K07"));
}

void tst_kiosk_utilities::comValuesDropTheirPrefix()
{
    KioskWorkDir dir;
    QCOMPARE(cm->readComValues(), QStringList());
    QVERIFY(dir.writeIni("[Serial]\nCom1=COM3\nCom2=CO\nbaud=9600\n[Com]\nx=COM9\n"));
    QCOMPARE(cm->readComValues(), (QStringList{QStringLiteral("3"), QString()}));
}

void tst_kiosk_utilities::transactionNumbersCountPerDay()
{
    KioskWorkDir dir;
    QVERIFY(dir.writeIni("[net]\natm_code=K07\n"));
    const QString day = today();

    QCOMPARE(cm->makeTransactionNo(QStringLiteral("A")), QStringLiteral("DDK07") + day + "A0001");
    QCOMPARE(cm->makeTransactionNo(QStringLiteral("A")), QStringLiteral("DDK07") + day + "A0002");
    QCOMPARE(cm->readIniValue(QStringLiteral("Charge/atm_transaction_id")), QStringLiteral("0002"));
    QCOMPARE(cm->readIniValue(QStringLiteral("Charge/deposit_time")), day);

    QVERIFY(cm->writeIniValue(QStringLiteral("Charge/atm_transaction_id"), QStringLiteral("9999"), false));
    QCOMPARE(cm->makeTransactionNo(QString()), QStringLiteral("DDK07") + day + "10000");

    // Another day starts over.
    QVERIFY(cm->writeIniValue(QStringLiteral("Charge/deposit_time"), QStringLiteral("20000101"), false));
    QCOMPARE(cm->makeTransactionNo(QStringLiteral("B")), QStringLiteral("DDK07") + day + "B0001");
    QCOMPARE(cm->readIniValue(QStringLiteral("Charge/deposit_time")), day);
    QCOMPARE(cm->readIniValue(QStringLiteral("Charge/atm_transaction_id")), QStringLiteral("0001"));
}

void tst_kiosk_utilities::transactionNumberSequenceIsSixtyFourBit()
{
    KioskWorkDir dir;
    QVERIFY(dir.writeIni(QByteArray("[Charge]\ndeposit_time=") + today().toLatin1()
                         + "\natm_transaction_id=4294967296\n"));
    QCOMPARE(cm->makeTransactionNo(QString()), QStringLiteral("DD") + today() + "4294967297");

    // At the largest number there is no next one.
    QVERIFY(cm->writeIniValue(QStringLiteral("Charge/atm_transaction_id"),
                              QStringLiteral("9223372036854775807"), false));
    LogCapture log;
    QCOMPARE(cm->makeTransactionNo(QString()), QString());
    QCOMPARE(log.countOfType(QtCriticalMsg), 1);
    QCOMPARE(cm->readIniValue(QStringLiteral("Charge/atm_transaction_id")),
             QStringLiteral("9223372036854775807"));
}

void tst_kiosk_utilities::transactionNumberNeedsAWritableFile()
{
    KioskWorkDir dir;
    QVERIFY(dir.writeIni(QByteArray("[Charge]\ndeposit_time=") + today().toLatin1()
                         + "\natm_transaction_id=0005\n"));
    const QByteArray before = dir.iniBytes();
    {
        UnwritableIni locked(dir);
        LogCapture log;
        QCOMPARE(cm->makeTransactionNo(QStringLiteral("A")), QString());
        QCOMPARE(cm->makeTransactionNo(QStringLiteral("A")), QString());
        QVERIFY(log.has(QtCriticalMsg, QStringLiteral("not saved")));
    }
    QCOMPARE(dir.iniBytes(), before);
    // Nothing was handed out, so the next number follows the stored one.
    QCOMPARE(cm->makeTransactionNo(QStringLiteral("A")), QStringLiteral("DD") + today() + "A0006");

    // On a new day neither the date nor the sequence is left half written.
    QVERIFY(cm->writeIniValue(QStringLiteral("Charge/deposit_time"), QStringLiteral("20000101"), false));
    const QByteArray dayBefore = dir.iniBytes();
    {
        UnwritableIni locked(dir);
        QCOMPARE(cm->makeTransactionNo(QStringLiteral("A")), QString());
    }
    QCOMPARE(dir.iniBytes(), dayBefore);
    QCOMPARE(cm->makeTransactionNo(QStringLiteral("A")), QStringLiteral("DD") + today() + "A0001");
}

void tst_kiosk_utilities::transactionNumberWithAnUnusableFile()
{
    // A folder where the file should be: neither readable nor writable as a
    // settings file, for any user.
    KioskWorkDir dir;
    QVERIFY(QDir().mkpath(dir.iniPath()));
    LogCapture log;
    QCOMPARE(cm->makeTransactionNo(QStringLiteral("A")), QString());
    QVERIFY(log.has(QtCriticalMsg, QStringLiteral("not saved")));
    QVERIFY(QFileInfo(dir.iniPath()).isDir());
}

QTEST_GUILESS_MAIN(tst_kiosk_utilities)
#include "tst_kiosk_utilities.moc"
