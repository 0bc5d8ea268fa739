// The kiosk utility object, and what it shares with the common widget: the
// shared cases (reply splitting, JSON, expiry, settings-file rules) run
// through both classes and must give the same results and refusals.

#include <QApplication>
#include <QCryptographicHash>
#include <QDate>
#include <QRegularExpression>
#include <QSettings>
#include <QtTest>

#include <climits>
#include <cstdlib>
#include <thread>
#include <utility>

#include "kiosk/commoncontrol.h"
#include "kiosk/commonmethod.h"
#include "kiosktestsupport.h"
#include "recordfields.h"

namespace {

QString today()
{
    return QDate::currentDate().toString(QStringLiteral("yyyyMMdd"));
}

const QString kUnchanged = QStringLiteral("<unchanged>");

} // namespace

class tst_kiosk_utilities : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { m_ctrl.reset(new commoncontrol); }
    void cleanupTestCase() { m_ctrl.reset(); }
    void init() { m_dir.reset(new KioskWorkDir); }
    void cleanup() { m_dir.reset(); }

    void recordCopyStoreAndClear();
    void randomTextAndDigests();
    void randomTextUsesTheProcessGenerator();
    void splitting_data();
    void splitting();
    void jsonOfTheWrongKind();
    void expiryTimes_data();
    void expiryTimes();
    void iniWriteRules();
    void iniValueWithCommas();
    void iniRemoval_data();
    void iniRemoval();
    void refusedWritesLeaveTheFile();
    void languageType();
    void transactionNumbers();

private:
    bool writeVia(int via, const QString& key, const QString& value, bool create)
    {
        return via == 0 ? m_ctrl->writeIniValue(key, value, create) : cm->writeIniValue(key, value, create);
    }

    commonmethod* cm = commonmethod::getInstance();
    QScopedPointer<commoncontrol> m_ctrl;
    QScopedPointer<KioskWorkDir> m_dir;
};

void tst_kiosk_utilities::recordCopyStoreAndClear()
{
    const Communicat src{6, 9, "heart", "one", "two", "\x01\x02", 0x1234, 77};
    const Communicat old{1, 2, "old", "a", "b", "keep", 5, 3};
    QVERIFY(!cm->copyCommunicat(nullptr, src));
    Communicat copy = old;
    QVERIFY(cm->copyCommunicat(&copy, src));
    QCOMPARE(recordFields(copy), recordFields(src));

    // The heartbeat store keeps the destination's payload and parameter.
    Communicat heart = old;
    cm->storeHeartRecord(&heart, src);
    QCOMPARE(recordFields(heart), recordFields({6, 9, "heart", "one", "two", "keep", 0x1234, 3}));

    // Clearing leaves the payload alone.
    Communicat cleared = src;
    cm->clearCommunicat(&cleared);
    QCOMPARE(recordFields(cleared), recordFields({-1, -1, "", "", "", src.data, 0, 0}));
    cm->storeHeartRecord(nullptr, src);
    cm->clearCommunicat(nullptr);
}

void tst_kiosk_utilities::randomTextAndDigests()
{
    const QRegularExpression alnum(QStringLiteral("^[A-Za-z0-9]*$"));
    QCOMPARE(cm->randomString(0), QString());
    QCOMPARE(cm->randomString(5).size(), 5);
    QVERIFY(alnum.match(cm->randomString(500)).hasMatch());

    // Five random characters, the MD5 in hex, four random characters.
    const QString empty = cm->textDigest(QString());
    QCOMPARE(empty.size(), 41);
    QCOMPARE(empty.mid(5, 32), QStringLiteral("d41d8cd98f00b204e9800998ecf8427e"));
    QVERIFY(alnum.match(empty.left(5) + empty.right(4)).hasMatch());
    // The percent-encoded stamp ("2024-01-01%2008%3A00%3A00") is hashed after the text.
    QString stamp;
    const QString digest = cm->timestampDigest(QStringLiteral("pay"), stamp);
    QCOMPARE(digest.size(), 41);
    const QByteArray md5 = QCryptographicHash::hash("pay" + stamp.toLatin1(), QCryptographicHash::Md5);
    QCOMPARE(digest.mid(5, 32), QString::fromLatin1(md5.toHex()));
    QVERIFY2(stamp.contains("%20") && stamp.contains("%3A"), qPrintable(stamp));
}

void tst_kiosk_utilities::randomTextUsesTheProcessGenerator()
{
    // Seeding once in any thread fixes what every thread draws.
    std::srand(4242);
    const QString inMain = cm->randomString(24);
    std::srand(4242);
    QString inWorker;
    std::thread worker([&] { inWorker = cm->randomString(24); });
    worker.join();
    QCOMPARE(inWorker, inMain);
}

void tst_kiosk_utilities::splitting_data()
{
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("key");
    QTest::addColumn<bool>("found");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("critical");  // the one critical line, or empty

    QTest::newRow("plain") << "code=100:msg=ok" << "msg" << true << "ok" << "";
    QTest::newRow("key as value") << "code=100:msg=ok" << "ok" << true << "ok" << "";
    QTest::newRow("only part of a name") << "code=100:msgx=1" << "msg" << false << kUnchanged << "";
    QTest::newRow("piece without =") << "msg:code=1" << "msg" << true << kUnchanged << "";
    QTest::newRow("msg=a=b") << "msg=a=b" << "msg" << true << "a" << "";
    QTest::newRow("first piece wins") << "code=1:code=2" << "code" << true << "1" << "";
    QTest::newRow("empty pieces kept") << "::msg=ok:" << "msg" << true << "ok" << "";
    QTest::newRow("empty source") << "" << "msg" << false << kUnchanged << "Charge reply message err 1";
    QTest::newRow("key absent") << "code=100" << "msg" << false << kUnchanged
                                << "Charge reply message err 2,not have msg ; sourceTemp= code=100";
    QTest::newRow("case matters") << "MSG=1" << "msg" << false << kUnchanged
                                  << "Charge reply message err 2,not have msg ; sourceTemp= MSG=1";
}

void tst_kiosk_utilities::splitting()
{
    QFETCH(QString, source);
    QFETCH(QString, key);
    QFETCH(bool, found);
    QFETCH(QString, value);
    QFETCH(QString, critical);

    for (int via = 0; via < 2; ++via) {
        const char* who = via == 0 ? "commoncontrol" : "commonmethod";
        LogCapture log(true);
        QString out = kUnchanged;
        QCOMPARE(via == 0 ? m_ctrl->SplitMessageSimple(source, key, out)
                          : cm->SplitMessageSimple(source, key, out), found);
        QVERIFY2(out == value, who);
        QVERIFY2(log.count(QtCriticalMsg, QString()) == (critical.isEmpty() ? 0 : 1), who);
        QVERIFY2(critical.isEmpty() || log.countExact(QtCriticalMsg, critical) == 1, who);
        // Each class keeps its own trace, written once the reply is split.
        const QString trace = via == 0 ? QStringLiteral("SplitMessageSimple :: listCheck==")
                                       : QStringLiteral("commonmethod SplitMessageSimple :: listCheck");
        QVERIFY2(log.contains(QtDebugMsg, trace) == !source.isEmpty(), who);
    }
}

void tst_kiosk_utilities::jsonOfTheWrongKind()
{
    QCOMPARE(m_ctrl->jsonObjectToString(QJsonObject{{"a", 1}}), QStringLiteral("{\"a\":1}"));
    QCOMPARE(cm->jsonArrayToString(QJsonArray{1, "x"}), QStringLiteral("[1,\"x\"]"));
    for (int via = 0; via < 2; ++via) {
        LogCapture log;
        QVERIFY((via == 0 ? m_ctrl->stringToJsonObject("[1,2]") : cm->stringToJsonObject("[1,2]")).isEmpty());
        QVERIFY((via == 0 ? m_ctrl->stringToJsonArray("{}") : cm->stringToJsonArray("{}")).isEmpty());
        QVERIFY((via == 0 ? m_ctrl->stringToJsonObject("{oops") : cm->stringToJsonObject("{oops")).isEmpty());
        QCOMPARE(log.countExact(QtWarningMsg, "Json msg is not object: [1,2]"), 1);
        QCOMPARE(log.countExact(QtWarningMsg, "Json msg is not array: {}"), 1);
        QCOMPARE(log.count(QtWarningMsg, QString()), 3);
    }
}

void tst_kiosk_utilities::expiryTimes_data()
{
    // The widget reads both formats, the utility only the dashed one.
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("viaControl");  // 3600: an hour, less the seconds the test took
    QTest::addColumn<int>("viaMethod");
    const QDateTime now = QDateTime::currentDateTime();
    QTest::newRow("empty") << QString() << 1 << 1;
    QTest::newRow("garbage") << "garbage" << 1 << 1;
    QTest::newRow("past") << now.addSecs(-3600).toString("yyyy-MM-dd hh-mm-ss") << 1 << 1;
    QTest::newRow("ahead, colons") << now.addSecs(3600).toString("yyyy-MM-dd hh:mm:ss") << 3600 << 1;
    QTest::newRow("ahead, dashes") << now.addSecs(3600).toString("yyyy-MM-dd hh-mm-ss") << 3600 << 3600;
    QTest::newRow("far future is clamped") << "9999-12-31 23-59-59" << INT_MAX << INT_MAX;
}

void tst_kiosk_utilities::expiryTimes()
{
    QFETCH(QString, text);
    QFETCH(int, viaControl);
    QFETCH(int, viaMethod);
    LogCapture log(true);
    for (const auto& [got, want] : {std::pair{m_ctrl->caclExpiryTimeToSec(text), viaControl},
                                    std::pair{cm->secsToExpiry(text), viaMethod}}) {
        QVERIFY2(want == 3600 ? got > 3000 && got <= 3600 : got == want, qPrintable(QString::number(got)));
    }
    // Only the widget traces the computation, and not for an empty text.
    QCOMPARE(log.count(QtDebugMsg, QString()), text.isEmpty() ? 0 : 1);
    QCOMPARE(log.count(QtDebugMsg, "--pylon--caclExpiryTimeToSec--0---start time="), text.isEmpty() ? 0 : 1);
}

void tst_kiosk_utilities::iniWriteRules()
{
    QVERIFY(m_dir->writeIni("[money]\ncountry=785\n"));
    const QByteArray before = m_dir->iniBytes();
    for (int via = 0; via < 2; ++via) {
        LogCapture log;
        QVERIFY(!writeVia(via, "Charge", "x", true));
        QCOMPARE(log.countExact(QtCriticalMsg, "ini:写入的变量名格式错误，无/符号，路径不完整，异常"), 1);
        QVERIFY(!writeVia(via, "Language/Type", QString(), true));
        QCOMPARE(log.countExact(QtCriticalMsg, "ini:写入的变量为空，异常， [Language/Type,]"), 1);
        // A key the file lacks, without create: refused quietly.
        QVERIFY(!writeVia(via, "net/atm_code", "K07", false));
        QCOMPARE(log.count(QtCriticalMsg, QString()), 2);
        QCOMPARE(m_dir->iniBytes(), before);
    }

    QVERIFY(m_ctrl->writeIniValue("net/atm_code", "K07", true));
    QVERIFY(cm->writeIniValue("net/atm_code", "K08", false));
    QCOMPARE(m_ctrl->readIniValue("net/atm_code"), QStringLiteral("K08"));
    QVERIFY(m_dir->iniBytes().contains("atm_code=K08"));  // on disk when the call returns
}

void tst_kiosk_utilities::iniValueWithCommas()
{
    // Written by hand, unquoted: the settings reader splits these into lists.
    QVERIFY(m_dir->writeIni("[Serial]\nCom1=COM3,115200\n[net]\natm_code=K07,A\n"
                            "[x]\nthree=a,b,c\nquoted=\"a,b\"\n"));
    for (int via = 0; via < 2; ++via) {
        const auto read = [&](const QString& key) { return via ? cm->readIniValue(key) : m_ctrl->readIniValue(key); };
        QCOMPARE(read("Serial/Com1"), QStringLiteral("COM3,115200"));
        QCOMPARE(read("net/atm_code"), QStringLiteral("K07,A"));
        QCOMPARE(read("x/three"), QStringLiteral("a,b,c"));
        QCOMPARE(read("x/quoted"), QStringLiteral("a,b"));
    }
    QCOMPARE(cm->readComValues(), QStringList{"3,115200"});
    // The transaction number carries the whole code.
    QVERIFY(cm->makeTransactionNo("A").startsWith("DDK07,A" + today()));
}

void tst_kiosk_utilities::iniRemoval_data()
{
    QTest::addColumn<bool>("byPart");  // removeIniKeysContaining, else removeIniKey
    QTest::addColumn<QString>("arg");
    QTest::addColumn<bool>("result");
    QTest::addColumn<QStringList>("left");
    const QStringList all{"Serial/Baud", "Serial/Com1", "Serial/com2", "net/atm", "net/atm_code",
                          "network/host"};
    QTest::newRow("a key, not those it begins") << false << "net/atm" << true
                                                << QStringList{"Serial/Baud", "Serial/Com1", "Serial/com2",
                                                               "net/atm_code", "network/host"};
    QTest::newRow("a group, not a longer one") << false << "/net/" << true
                                               << QStringList{"Serial/Baud", "Serial/Com1", "Serial/com2",
                                                              "network/host"};
    QTest::newRow("absent key") << false << "net/at" << true << all;
    QTest::newRow("empty key") << false << "" << false << all;
    QTest::newRow("part, case kept") << true << "/Com" << true
                                     << QStringList{"Serial/Baud", "Serial/com2", "net/atm", "net/atm_code",
                                                    "network/host"};
    QTest::newRow("empty part") << true << "" << false << all;
}

void tst_kiosk_utilities::iniRemoval()
{
    QFETCH(bool, byPart);
    QFETCH(QString, arg);
    QFETCH(bool, result);
    QFETCH(QStringList, left);
    QVERIFY(m_dir->writeIni("[Serial]\nBaud=9600\nCom1=COM3\ncom2=COM4\n"
                            "[net]\natm=1\natm_code=K07\n[network]\nhost=h\n"));
    QCOMPARE(byPart ? cm->removeIniKeysContaining(arg) : cm->removeIniKey(arg), result);
    QStringList keys = QSettings(m_dir->iniPath(), QSettings::IniFormat).allKeys();
    keys.sort();
    QCOMPARE(keys, left);
}

void tst_kiosk_utilities::refusedWritesLeaveTheFile()
{
    QVERIFY(m_dir->writeIni("[Language]\nType=EN\n[net]\natm_code=K07\n"));
    const QByteArray before = m_dir->iniBytes();
    {
        UnwritableIni locked(*m_dir);
        LogCapture log;
        QVERIFY(!m_ctrl->writeIniValue("net/atm_code", "K98", false));
        QVERIFY(!cm->writeIniValue("net/atm_code", "K99", false));
        QVERIFY(!m_ctrl->writeLanguageType(2, true));
        QVERIFY(!cm->writeIniValue("net/fresh", "1", true));
        QCOMPARE(log.count(QtCriticalMsg, "not saved"), 4);
        QCOMPARE(cm->readIniValue("net/atm_code"), QStringLiteral("K07"));
    }
    QCOMPARE(m_dir->iniBytes(), before);
    // The refused values are taken back, not carried along by a later write.
    QVERIFY(cm->writeIniValue("net/other", "1", true));
    QCOMPARE(m_ctrl->readIniValue("net/atm_code"), QStringLiteral("K07"));
    QCOMPARE(m_ctrl->readLanguageType(), 1);
    QVERIFY(!m_dir->iniBytes().contains("fresh"));
}

void tst_kiosk_utilities::languageType()
{
    QCOMPARE(m_ctrl->readLanguageType(), 0);  // no file
    QVERIFY(!m_ctrl->writeLanguageType(1, false));  // no key, no create: nothing written
    QVERIFY(!QFile::exists(m_dir->iniPath()));
    for (const auto& [text, type] : {std::pair<QString, int>{"EN", 1}, {"CN", 2}, {"KH", 0}, {"en", 0}}) {
        QVERIFY(m_ctrl->writeIniValue("Language/Type", text, true));
        QCOMPARE(m_ctrl->readLanguageType(), type);
    }
    QVERIFY(m_ctrl->writeLanguageType(2, false));
    QCOMPARE(m_ctrl->readIniValue("Language/Type"), QStringLiteral("CN"));
    QVERIFY(m_ctrl->writeLanguageType(7, false));  // any other type is Khmer
    QCOMPARE(m_ctrl->readIniValue("Language/Type"), QStringLiteral("KH"));
}

void tst_kiosk_utilities::transactionNumbers()
{
    QVERIFY(m_dir->writeIni("[net]\natm_code=K07\n"));
    const QString prefix = "DDK07" + today();
    QCOMPARE(cm->makeTransactionNo("A"), prefix + "A0001");
    // Several on one day: each follows the one stored before it.
    QCOMPARE(cm->makeTransactionNo("A"), prefix + "A0002");
    QCOMPARE(cm->makeTransactionNo("C"), prefix + "C0003");
    QCOMPARE(cm->makeTransactionNo("A"), prefix + "A0004");
    QCOMPARE(cm->readIniValue("Charge/atm_transaction_id"), QStringLiteral("0004"));
    QCOMPARE(cm->readIniValue("Charge/deposit_time"), today());
    QVERIFY(cm->writeIniValue("Charge/atm_transaction_id", "9999", false));
    QCOMPARE(cm->makeTransactionNo("A"), prefix + "A10000");
    // Another day starts over.
    QVERIFY(cm->writeIniValue("Charge/deposit_time", "20000101", false));
    QCOMPARE(cm->makeTransactionNo("B"), prefix + "B0001");
    QCOMPARE(cm->readIniValue("Charge/deposit_time"), today());

    // A file that cannot be written: no number, the file untouched, and
    // since nothing was handed out the next number follows the stored one.
    const QByteArray before = m_dir->iniBytes();
    {
        UnwritableIni locked(*m_dir);
        LogCapture log;
        QCOMPARE(cm->makeTransactionNo("B"), QString());
        QVERIFY(log.contains(QtCriticalMsg, "not saved"));
    }
    QCOMPARE(m_dir->iniBytes(), before);
    QCOMPARE(cm->makeTransactionNo("B"), prefix + "B0002");

    // The sequence is a 64-bit number; at its end there is no next one.
    QVERIFY(cm->writeIniValue("Charge/atm_transaction_id", "4294967296", false));
    QCOMPARE(cm->makeTransactionNo(QString()), prefix + "4294967297");
    QVERIFY(cm->writeIniValue("Charge/atm_transaction_id", "9223372036854775807", false));
    LogCapture log;
    QCOMPARE(cm->makeTransactionNo(QString()), QString());
    QCOMPARE(log.count(QtCriticalMsg, QString()), 1);
}

QTEST_MAIN(tst_kiosk_utilities)
#include "tst_kiosk_utilities.moc"
