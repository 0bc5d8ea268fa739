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

} // namespace

class TestDevFileList : public QObject
{
    Q_OBJECT

private slots:
    void modesPickTheirPair();
    void lineEndsAndByteOrderMarkDoNotMatter();
    void rowsWithAnotherCellCountAreSkipped();
    void headerMustNameTheColumnsExactly_data();
    void headerMustNameTheColumnsExactly();
    void keyIsACaseSensitiveSubstring();
    void fileCellMustBeABareName_data();
    void fileCellMustBeABareName();
    void wholeTableForTheLog();
    void tableNames();
    void deviceTypesFindTheirTable();
};

void TestDevFileList::modesPickTheirPair()
{
    const auto test = devfilelist::chooseRow(kFullList, devfilelist::testColumns(), devfilelist::productKey());
    QCOMPARE(test.outcome, Outcome::Matched);
    QCOMPARE(test.fileName, QStringLiteral("fw_test.v2.db"));
    QCOMPARE(test.link, QStringLiteral("http://h/d/fw_test.v2.db"));
    QCOMPARE(test.validRows, 2); // the first row carrying the key ends the search

    const auto release = devfilelist::chooseRow(kFullList, devfilelist::releaseColumns(), devfilelist::productKey());
    QCOMPARE(release.outcome, Outcome::Matched);
    QCOMPARE(release.fileName, QStringLiteral("fw.db"));
    QCOMPARE(release.link, QStringLiteral("http://h/d/fw.db"));

    // A list with one mode's pair serves only that mode.
    const QByteArray releaseOnly = "ITEM,RELEASE_FILE,LINK_RELEASE_FILE\nP_FLY-ESC,r.db,http://h/r.db\n";
    QCOMPARE(devfilelist::chooseRow(releaseOnly, devfilelist::testColumns(), devfilelist::productKey()).outcome,
             Outcome::NoColumns);
    QCOMPARE(devfilelist::chooseRow(releaseOnly, devfilelist::releaseColumns(), devfilelist::productKey()).outcome,
             Outcome::Matched);
}

void TestDevFileList::lineEndsAndByteOrderMarkDoNotMatter()
{
    QByteArray crlf = kFullList;
    crlf.replace("\n", "\r\n");
    QByteArray noFinalEnd = kFullList;
    noFinalEnd.chop(1);
    const QByteArray bom = QByteArray("\xEF\xBB\xBF") + crlf;
    for (const QByteArray& variant : {crlf, noFinalEnd, bom}) {
        const auto choice = devfilelist::chooseRow(variant, devfilelist::releaseColumns(), devfilelist::productKey());
        QCOMPARE(choice.outcome, Outcome::Matched);
        QCOMPARE(choice.fileName, QStringLiteral("fw.db"));
        QCOMPARE(choice.link, QStringLiteral("http://h/d/fw.db")); // no "\r" left on the last cell
        QCOMPARE(choice.headers.first(), QStringLiteral("ITEM"));
        QVERIFY(choice.skipped.isEmpty());
    }
    // A UTF-16 list with its mark reads the same.
    QByteArray utf16("\xFF\xFE");
    const QString text = QString::fromLatin1(kFullList);
    utf16.append(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
    QCOMPARE(devfilelist::chooseRow(utf16, devfilelist::releaseColumns(), devfilelist::productKey()).fileName,
             QStringLiteral("fw.db"));
}

void TestDevFileList::rowsWithAnotherCellCountAreSkipped()
{
    const QByteArray list = "ITEM,RELEASE_FILE,LINK_RELEASE_FILE\n"
                            "P_FLY-ESC,trailing.db,http://h/t.db,\n" // a trailing "," adds a cell
                            "\n"
                            "P_FLY-ESC,\"a,b\".db,http://h/q.db\n"   // no quoting
                            "P_FLY-ESC,\"q\".db,http://h/q2.db\n";   // quotes stay in the cell
    const auto choice = devfilelist::chooseRow(list, devfilelist::releaseColumns(), devfilelist::productKey());
    QCOMPARE(choice.skipped, (QStringList{"P_FLY-ESC,trailing.db,http://h/t.db,", "",
                                          "P_FLY-ESC,\"a,b\".db,http://h/q.db"}));
    QCOMPARE(choice.validRows, 1);
    QCOMPARE(choice.outcome, Outcome::Matched);
    QCOMPARE(choice.fileName, QStringLiteral("\"q\".db"));

    // Only invalid rows: the columns are there, the row is not.
    const QByteArray none = "ITEM,RELEASE_FILE,LINK_RELEASE_FILE\nP_FLY-ESC,x.db\n";
    const auto empty = devfilelist::chooseRow(none, devfilelist::releaseColumns(), devfilelist::productKey());
    QCOMPARE(empty.outcome, Outcome::NoRow);
    QVERIFY(empty.fileName.isEmpty() && empty.link.isEmpty());
}

void TestDevFileList::headerMustNameTheColumnsExactly_data()
{
    QTest::addColumn<QByteArray>("list");
    QTest::addColumn<int>("outcome");
    const QByteArray row = "\nP_FLY-ESC,r.db,http://h/r.db\n";
    QTest::newRow("exact") << ("ITEM,RELEASE_FILE,LINK_RELEASE_FILE" + row) << int(Outcome::Matched);
    QTest::newRow("any order") << QByteArray("LINK_RELEASE_FILE,ITEM,RELEASE_FILE\nhttp://h/r.db,P_FLY-ESC,r.db\n")
                               << int(Outcome::Matched);
    QTest::newRow("blank before ITEM") << (" ITEM,RELEASE_FILE,LINK_RELEASE_FILE" + row) << int(Outcome::NoColumns);
    QTest::newRow("lower case") << ("item,RELEASE_FILE,LINK_RELEASE_FILE" + row) << int(Outcome::NoColumns);
    QTest::newRow("empty file") << QByteArray() << int(Outcome::NoColumns);
    QTest::newRow("blank first line") << ("\nITEM,RELEASE_FILE,LINK_RELEASE_FILE" + row) << int(Outcome::NoColumns);
    QTest::newRow("html") << QByteArray("<html><body>404 Not Found</body></html>") << int(Outcome::NoColumns);
    // ITEM twice: the later one is the item column.
    QTest::newRow("ITEM twice") << QByteArray("ITEM,RELEASE_FILE,LINK_RELEASE_FILE,ITEM\n"
                                              "P_FLY-ESC,r.db,http://h/r.db,none\n")
                                << int(Outcome::NoRow);
}

void TestDevFileList::headerMustNameTheColumnsExactly()
{
    QFETCH(QByteArray, list);
    QFETCH(int, outcome);
    QCOMPARE(int(devfilelist::chooseRow(list, devfilelist::releaseColumns(), devfilelist::productKey()).outcome),
             outcome);
}

void TestDevFileList::keyIsACaseSensitiveSubstring()
{
    const QByteArray list = "ITEM,RELEASE_FILE,LINK_RELEASE_FILE\n"
                            "p_fly-esc,lower.db,http://h/lower.db\n"
                            "NEW P_FLY-ESC 2,inner.db,http://h/inner.db\n";
    const auto choice = devfilelist::chooseRow(list, devfilelist::releaseColumns(), devfilelist::productKey());
    QCOMPARE(choice.fileName, QStringLiteral("inner.db"));
}

void TestDevFileList::fileCellMustBeABareName_data()
{
    QTest::addColumn<QString>("cell");
    QTest::addColumn<bool>("usable");
    QTest::newRow("plain") << "fw.db" << true;
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
    const QByteArray list = "ITEM,RELEASE_FILE,LINK_RELEASE_FILE\nP_FLY-ESC," + cell.toUtf8()
                          + ",http://h/x.db\nP_FLY-ESC,good.db,http://h/good.db\n";
    const auto choice = devfilelist::chooseRow(list, devfilelist::releaseColumns(), devfilelist::productKey());
    QCOMPARE(choice.usable(), usable);
    // The product's row is the first one; a bad one is not replaced by a later row.
    QCOMPARE(choice.fileName, cell);
    if (!usable)
        QCOMPARE(choice.outcome, Outcome::BadFileName);
}

void TestDevFileList::wholeTableForTheLog()
{
    const auto table = devfilelist::readTable("A,B\r\n1,2\r\n3\r\n4,5\r\n");
    QCOMPARE(table.headers, (QStringList{"A", "B"}));
    QCOMPARE(table.rows, (QList<QStringList>{{"1", "2"}, {"4", "5"}}));
    QCOMPARE(table.skipped, QStringList{"3"});
}

void TestDevFileList::tableNames()
{
    using firmwarenames::isPlainTableName;
    for (const char* good : {"P_FLY_ESC_A", "_x", "select", "t1"})
        QVERIFY2(isPlainTableName(QString::fromLatin1(good)), good);
    for (const char* bad : {"", "1t", "a b", "a-b", "a;b", "a\"b", "a]b", "sqlite_master", "SQLITE_x", "é"})
        QVERIFY2(!isPlainTableName(QString::fromUtf8(bad)), bad);
    QCOMPARE(firmwarenames::lastPathPart("http://h/devfile/devFileList.csv"), QStringLiteral("devFileList.csv"));
    QCOMPARE(firmwarenames::lastPathPart("http://h/devfile/"), QString());
    QCOMPARE(firmwarenames::baseBeforeFirstDot("fw.v2.db"), QStringLiteral("fw"));
    QCOMPARE(firmwarenames::baseBeforeFirstDot("fw"), QStringLiteral("fw"));
}

void TestDevFileList::deviceTypesFindTheirTable()
{
    using firmwarenames::matchFirmwareTable;
    const QStringList tables{"P_FLY_MOTOR_B", "P_FLY_ESC_A", "X_ESC_B"};
    QCOMPARE(matchFirmwareTable("P_FLY-ESC_A", tables), QStringLiteral("P_FLY_ESC_A"));
    QCOMPARE(matchFirmwareTable("X_ESC", tables), QStringLiteral("X_ESC_B")); // split at "_"
    QCOMPARE(matchFirmwareTable("NOSEPARATOR", tables), QStringLiteral("P_FLY_MOTOR_B"));
    QCOMPARE(matchFirmwareTable("P_FLY-ESC_C", tables), QString());
    // A node whose information has not arrived matches nothing.
    QCOMPARE(matchFirmwareTable(QString(), tables), QString());
    QCOMPARE(matchFirmwareTable("P_FLY-ESC_A", QStringList()), QString());

    // The simulator's device finds the standard test database's table.
    const QString simName = QString::fromStdString(escsim::Options().name);
    QCOMPARE(simName, QString::fromLatin1(testdb::kSimDeviceName));
    QCOMPARE(matchFirmwareTable(simName, {QString::fromLatin1(testdb::kOtherTable),
                                          QString::fromLatin1(testdb::kSimTable)}),
             QString::fromLatin1(testdb::kSimTable));
}

QTEST_GUILESS_MAIN(TestDevFileList)
#include "tst_devfilelist.moc"
