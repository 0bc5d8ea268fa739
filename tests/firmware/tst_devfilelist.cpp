// The device-file list and the names that come from outside (table, file
// and device-type names), without widgets.

#include <QtTest>

#include "escsim.h"
#include "firmware/devfilelist.h"
#include "firmware/firmwarenames.h"
#include "firmwaredb.h"

using devfilelist::Outcome;

namespace {

const QByteArray kFullList =
    "ITEM,NAME,TEST_FILE,LINK_TEST_FILE,RELEASE_FILE,LINK_RELEASE_FILE\n"
    "OTHER,x,o_test.db,http://h/o_test.db,o.db,http://h/o.db\n"
    "P_FLY-ESC,esc,fw_test.v2.db,http://h/d/fw_test.v2.db,fw.db,http://h/d/fw.db\n"
    "P_FLY-ESC,second,late_test.db,http://h/late_test.db,late.db,http://h/late.db\n";
const QByteArray kReleaseHeader = "ITEM,RELEASE_FILE,LINK_RELEASE_FILE\n";

devfilelist::RowChoice release(const QByteArray& list)
{
    return devfilelist::chooseRow(list, devfilelist::releaseColumns(), devfilelist::productKey());
}

} // namespace

class TestDevFileList : public QObject
{
    Q_OBJECT

private slots:
    void modesPickTheirPair();
    void lineEndsAndByteOrderMarkDoNotMatter();
    void rowsWithAnotherCellCountAreSkipped();
    void headerAndKey_data();
    void headerAndKey();
    void fileCellMustBeABareName_data();
    void fileCellMustBeABareName();
    void readsNoMoreThanItNeeds();
    void tableAndDeviceNames();
};

void TestDevFileList::modesPickTheirPair()
{
    const auto test = devfilelist::chooseRow(kFullList, devfilelist::testColumns(), devfilelist::productKey());
    QCOMPARE(test.outcome, Outcome::Matched);
    QCOMPARE(test.fileName + " " + test.link, QStringLiteral("fw_test.v2.db http://h/d/fw_test.v2.db"));
    QCOMPARE(test.validRows, 2); // the first row carrying the key ends the search
    const auto chosen = release(kFullList);
    QCOMPARE(chosen.outcome, Outcome::Matched);
    QCOMPARE(chosen.fileName + " " + chosen.link, QStringLiteral("fw.db http://h/d/fw.db"));

    // A list with one mode's pair serves only that mode.
    const QByteArray releaseOnly = kReleaseHeader + "P_FLY-ESC,r.db,http://h/r.db\n";
    QCOMPARE(devfilelist::chooseRow(releaseOnly, devfilelist::testColumns(), devfilelist::productKey()).outcome,
             Outcome::NoColumns);
    QCOMPARE(release(releaseOnly).outcome, Outcome::Matched);
}

void TestDevFileList::lineEndsAndByteOrderMarkDoNotMatter()
{
    QByteArray crlf = kFullList;
    crlf.replace("\n", "\r\n");
    QByteArray utf16("\xFF\xFE");
    const QString text = QString::fromLatin1(kFullList);
    utf16.append(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
    for (const QByteArray& variant : {crlf, kFullList.chopped(1), "\xEF\xBB\xBF" + crlf, utf16}) {
        const auto choice = release(variant);
        QCOMPARE(choice.outcome, Outcome::Matched);
        QCOMPARE(choice.link, QStringLiteral("http://h/d/fw.db")); // no "\r" left on the last cell
        QCOMPARE(choice.headers.first(), QStringLiteral("ITEM"));
        QVERIFY(choice.skipped.isEmpty());
    }
}

void TestDevFileList::rowsWithAnotherCellCountAreSkipped()
{
    const auto choice = release(kReleaseHeader
                                + "P_FLY-ESC,trailing.db,http://h/t.db,\n" // a trailing "," adds a cell
                                  "\n"
                                  "P_FLY-ESC,\"a,b\".db,http://h/q.db\n"   // no quoting
                                  "P_FLY-ESC,\"q\".db,http://h/q2.db\n");  // quotes stay in the cell
    QCOMPARE(choice.skipped, (QStringList{"P_FLY-ESC,trailing.db,http://h/t.db,", "", "P_FLY-ESC,\"a,b\".db,http://h/q.db"}));
    QCOMPARE(choice.validRows, 1);
    QCOMPARE(choice.fileName, QStringLiteral("\"q\".db"));

    // Only invalid rows: the columns are there, the row is not.
    const auto empty = release(kReleaseHeader + "P_FLY-ESC,x.db\n");
    QCOMPARE(empty.outcome, Outcome::NoRow);
    QVERIFY(empty.fileName.isEmpty() && empty.link.isEmpty());
}

void TestDevFileList::headerAndKey_data()
{
    QTest::addColumn<QByteArray>("list");
    QTest::addColumn<int>("outcome");
    const QByteArray row = "P_FLY-ESC,r.db,http://h/r.db\n";
    QTest::newRow("exact") << (kReleaseHeader + row) << int(Outcome::Matched);
    QTest::newRow("any order") << QByteArray("LINK_RELEASE_FILE,ITEM,RELEASE_FILE\nhttp://h/r.db,P_FLY-ESC,r.db\n")
                               << int(Outcome::Matched);
    QTest::newRow("blank before ITEM") << (" " + kReleaseHeader + row) << int(Outcome::NoColumns);
    QTest::newRow("lower case") << ("item,RELEASE_FILE,LINK_RELEASE_FILE\n" + row) << int(Outcome::NoColumns);
    QTest::newRow("empty file") << QByteArray() << int(Outcome::NoColumns);
    QTest::newRow("blank first line") << ("\n" + kReleaseHeader + row) << int(Outcome::NoColumns);
    QTest::newRow("html") << QByteArray("<html><body>404 Not Found</body></html>") << int(Outcome::NoColumns);
    // ITEM twice: the later one is the item column.
    QTest::newRow("ITEM twice") << QByteArray("ITEM,RELEASE_FILE,LINK_RELEASE_FILE,ITEM\nP_FLY-ESC,r.db,http://h/r.db,none\n")
                                << int(Outcome::NoRow);
    // The key is a case-sensitive part of the item.
    QTest::newRow("key in lower case") << (kReleaseHeader + "p_fly-esc,r.db,http://h/r.db\n") << int(Outcome::NoRow);
    QTest::newRow("key inside the item") << (kReleaseHeader + "NEW P_FLY-ESC 2,r.db,http://h/r.db\n")
                                         << int(Outcome::Matched);
}

void TestDevFileList::headerAndKey()
{
    QFETCH(QByteArray, list);
    QFETCH(int, outcome);
    const auto choice = release(list);
    QCOMPARE(int(choice.outcome), outcome);
    if (choice.outcome == Outcome::Matched)
        QCOMPARE(choice.fileName, QStringLiteral("r.db"));
}

void TestDevFileList::fileCellMustBeABareName_data()
{
    QTest::addColumn<QString>("cell");
    QTest::addColumn<bool>("usable");
    QTest::newRow("dots") << "fw.v1.2.db" << true;
    QTest::newRow("parent") << "../evil.db" << false;
    QTest::newRow("absolute") << "/etc/passwd" << false;
    QTest::newRow("backslash") << "..\\evil.db" << false;
    QTest::newRow("dot") << "." << false;
    QTest::newRow("dotdot") << ".." << false;
    QTest::newRow("empty") << "" << false;
}

void TestDevFileList::fileCellMustBeABareName()
{
    QFETCH(QString, cell);
    QFETCH(bool, usable);
    const auto choice = release(kReleaseHeader + "P_FLY-ESC," + cell.toUtf8() + ",http://h/x.db\nP_FLY-ESC,good.db,http://h/good.db\n");
    QCOMPARE(choice.usable(), usable);
    // The product's row is the first one; a bad one is not replaced by a later row.
    QCOMPARE(choice.fileName, cell);
    QCOMPARE(choice.outcome, usable ? Outcome::Matched : Outcome::BadFileName);
}

void TestDevFileList::readsNoMoreThanItNeeds()
{
    // The product's row on line 2 of a long list: the rest stays unread.
    QByteArray longList = kReleaseHeader + "P_FLY-ESC,r.db,http://h/r.db\n";
    while (longList.size() < 1024 * 1024)
        longList += "OTHER,o.db,http://h/o.db\n";
    QBuffer buffer(&longList);
    QVERIFY(buffer.open(QIODevice::ReadOnly));
    const auto early = devfilelist::chooseRow(buffer, devfilelist::releaseColumns(), devfilelist::productKey());
    QCOMPARE(early.outcome, Outcome::Matched);
    QVERIFY2(buffer.pos() < 64 * 1024, qPrintable(QString::number(buffer.pos())));

    // Above the bound a list is refused before it is read; at the bound it is read.
    const QByteArray list = kReleaseHeader + "P_FLY-ESC,r.db,http://h/r.db\n";
    const auto refused = devfilelist::chooseRow(list, devfilelist::releaseColumns(), devfilelist::productKey(), list.size() - 1);
    QCOMPARE(refused.outcome, Outcome::TooLarge);
    QVERIFY(refused.headers.isEmpty() && refused.fileName.isEmpty());
    QCOMPARE(devfilelist::chooseRow(list, devfilelist::releaseColumns(), devfilelist::productKey(), list.size()).fileName,
             QStringLiteral("r.db"));
    QVERIFY(devfilelist::readTable(list, list.size() - 1).tooLarge);
    QCOMPARE(devfilelist::readTable(list, list.size()).rows.size(), 1);

    // A device of unknown size is read only up to the bound: a row past it,
    // or one endless line, is not taken.
    QFile zero(QStringLiteral("/dev/zero"));
    QVERIFY(zero.open(QIODevice::ReadOnly));
    QCOMPARE(devfilelist::chooseRow(zero, devfilelist::releaseColumns(), devfilelist::productKey(), 4096).outcome,
             Outcome::TooLarge);
    QVERIFY(zero.pos() < 64 * 1024);
    QVERIFY(devfilelist::readTable(zero, 4096).tooLarge);
    QProcess cat;
    cat.start(QStringLiteral("cat"), QStringList());
    QVERIFY(cat.waitForStarted());
    cat.write(kReleaseHeader + "OTHER,o.db,http://h/o.db\n" + "P_FLY-ESC,r.db,http://h/r.db\n");
    cat.closeWriteChannel();
    QVERIFY(cat.waitForFinished());
    cat.setReadChannel(QProcess::StandardOutput);
    const qint64 untilRow = kReleaseHeader.size() + 25;
    QCOMPARE(devfilelist::chooseRow(cat, devfilelist::releaseColumns(), devfilelist::productKey(), untilRow).outcome,
             Outcome::TooLarge);
}

void TestDevFileList::tableAndDeviceNames()
{
    using firmwarenames::isPlainTableName;
    for (const char* good : {"P_FLY_ESC_A", "_x", "select", "t1"})
        QVERIFY2(isPlainTableName(QString::fromLatin1(good)), good);
    for (const char* bad : {"", "1t", "a b", "a-b", "a;b", "a\"b", "a]b", "sqlite_master", "SQLITE_x", "é"})
        QVERIFY2(!isPlainTableName(QString::fromUtf8(bad)), bad);
    QCOMPARE(firmwarenames::lastPathPart("http://h/devfile/"), QString());
    QCOMPARE(firmwarenames::baseBeforeFirstDot("fw.v2.db"), QStringLiteral("fw"));

    using firmwarenames::matchFirmwareTable;
    const QStringList tables{"P_FLY_MOTOR_B", "P_FLY_ESC_A", "X_ESC_B"};
    QCOMPARE(matchFirmwareTable("P_FLY-ESC_A", tables), QStringLiteral("P_FLY_ESC_A"));
    QCOMPARE(matchFirmwareTable("X_ESC", tables), QStringLiteral("X_ESC_B")); // split at "_"
    QCOMPARE(matchFirmwareTable("NOSEPARATOR", tables), QStringLiteral("P_FLY_MOTOR_B"));
    QCOMPARE(matchFirmwareTable("P_FLY-ESC_C", tables), QString());
    // A node whose information has not arrived matches nothing.
    QCOMPARE(matchFirmwareTable(QString(), tables), QString());

    // The simulator's device finds the standard test database's table.
    const QString simName = QString::fromStdString(escsim::Options().name);
    QCOMPARE(matchFirmwareTable(simName, {QString::fromLatin1(testdb::kOtherTable), QString::fromLatin1(testdb::kSimTable)}),
             QString::fromLatin1(testdb::kSimTable));
}

QTEST_GUILESS_MAIN(TestDevFileList)
#include "tst_devfilelist.moc"
