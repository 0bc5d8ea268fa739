// The firmware database object on real SQLite files written by the test.

#include <QtTest>

#include <QSqlDatabase>
#include <QSqlQuery>

#include "firmware/record_db.h"
#include "firmwaredb.h"
#include "logcapture.h"
#include "tempworkdir.h"

using testdb::Row;
using testdb::Table;

class TestRecordDb : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void listsTablesWithoutSqliteOwn();
    void listsInstallableVersionsWithNotes();
    void fetchesEachPartWithItsUniqueData();
    void missingOrEmptyPartsFindNothing();
    void versionIsNeverPartOfTheStatement();
    void refusesTablesThatAreNoPlainNames();
    void survivesCloseInitTwiceAndRename();
    void neverCreatesAFile();
    void goneObjectLeavesNoOpenConnection();
    void checksStagedFilesOnItsOwnConnection();
    void appendsLogLines();

private:
    QString writeStandard(const QString& relative = QStringLiteral("fw.db"));

    TempWorkDir* m_dir = nullptr;
};

void TestRecordDb::init()
{
    m_dir = new TempWorkDir;
    QVERIFY(m_dir->isValid());
}

void TestRecordDb::cleanup()
{
    delete m_dir;
    m_dir = nullptr;
    // Every test's objects are gone, and so must be the shared connection.
    QVERIFY(!QSqlDatabase::contains(QString::fromLatin1(record_db::kConnectionName))
            || !QSqlDatabase::database(QString::fromLatin1(record_db::kConnectionName), false).isOpen());
}

QString TestRecordDb::writeStandard(const QString& relative)
{
    const QString path = m_dir->filePath(relative);
    QString error;
    if (!testdb::writeStandardDb(path, &error))
        qWarning() << "writeStandardDb:" << error;
    return path;
}

void TestRecordDb::listsTablesWithoutSqliteOwn()
{
    record_db db;
    db.setDbName(writeStandard());
    db.init();
    QVERIFY(db.isOpen());

    // AUTOINCREMENT made SQLite add "sqlite_sequence": it is no device's.
    QStringList names{QStringLiteral("earlier")};
    QVERIFY(db.SearchTableNameInfoDB(names));
    QCOMPARE(names, (QStringList{QStringLiteral("earlier"), QString::fromLatin1(testdb::kOtherTable),
                                 QString::fromLatin1(testdb::kSimTable)}));
}

void TestRecordDb::listsInstallableVersionsWithNotes()
{
    Table notes{QStringLiteral("NOTES"), {}};
    Row nullNote = testdb::row(QStringLiteral("null"), QByteArray(), 16);
    nullNote.note = QVariant(); // SQL NULL
    notes.rows << nullNote
               << testdb::row(QStringLiteral("empty"), QByteArray(""), 16)
               << testdb::row(QStringLiteral("nulFirst"), QByteArray("\0x", 2), 16)
               << testdb::row(QStringLiteral("cut"), QByteArray("abc\0def", 7), 16)
               << testdb::row(QStringLiteral("utf8"), QByteArray("版本说明"), 16);
    Row trailingBlank = testdb::row(QStringLiteral("blank"), QByteArray("x"), 16);
    trailingBlank.status = testdb::installable() + QLatin1Char(' ');
    Row otherCase = testdb::row(QStringLiteral("case"), QByteArray("x"), 16);
    otherCase.status = QStringLiteral("m1:[可升级]");
    notes.rows << trailingBlank << otherCase;
    QString error;
    QVERIFY2(testdb::writeDb(m_dir->filePath("n.db"), {notes}, &error), qPrintable(error));

    record_db db;
    db.setDbName(m_dir->filePath("n.db"));
    db.init();
    QStringList versions;
    QStringList texts;
    QVERIFY(db.SearchVersionInfoDB(versions, texts, QStringLiteral("NOTES")));
    QCOMPARE(versions, (QStringList{"null", "empty", "nulFirst", "cut", "utf8"}));
    QCOMPARE(texts, (QStringList{" ", " ", "", "abc", QStringLiteral("版本说明")}));

    // The standard table: its installable rows in table order, appended.
    db.dbClose();
    db.setDbName(writeStandard());
    db.init();
    versions = QStringList{QStringLiteral("kept")};
    texts = QStringList{QStringLiteral("kept note")};
    QVERIFY(db.SearchVersionInfoDB(versions, texts, QString::fromLatin1(testdb::kSimTable)));
    QCOMPARE(versions, (QStringList{"kept", "2.3.0", "2.4.0", "2.5.0"}));
    QCOMPARE(texts, (QStringList{"kept note", "first release", "fixes", "newest: faster start"}));

    // A table without installable rows, or one that is not there: nothing.
    versions.clear();
    texts.clear();
    QVERIFY(!db.SearchVersionInfoDB(versions, texts, QStringLiteral("NO_SUCH_TABLE")));
    QVERIFY(versions.isEmpty() && texts.isEmpty());
}

void TestRecordDb::fetchesEachPartWithItsUniqueData()
{
    record_db db;
    db.setDbName(writeStandard());
    db.init();
    const QString table = QString::fromLatin1(testdb::kSimTable);
    for (int part : {1, 2}) {
        QByteArray file("head");
        QByteArray sum;
        QVERIFY(db.SearchFirmwareInfoDB(file, sum, part, QStringLiteral("2.4.0"), table));
        QCOMPARE(file, QByteArray("head") + testdb::image(QStringLiteral("2.4.0"), part,
                                                           part == 1 ? 1000 : 520));
        QCOMPARE(sum, testdb::uniqueData(QStringLiteral("2.4.0"), part));
    }
    // A row that is not installable is not fetched, even by its exact version.
    QByteArray file;
    QByteArray sum;
    QVERIFY(!db.SearchFirmwareInfoDB(file, sum, 1, QStringLiteral("9.9.9"), table));
    QVERIFY(file.isEmpty() && sum.isEmpty());

    // Two installable rows of one version: the first one's part.
    Table twice{QStringLiteral("TWICE"), {testdb::row(QStringLiteral("1"), "a", 10),
                                          testdb::row(QStringLiteral("1"), "b", 20)}};
    QVERIFY(testdb::writeDb(m_dir->filePath("t.db"), {twice}));
    db.dbClose();
    db.setDbName(m_dir->filePath("t.db"));
    db.init();
    QVERIFY(db.SearchFirmwareInfoDB(file, sum, 1, QStringLiteral("1"), QStringLiteral("TWICE")));
    QCOMPARE(file.size(), 10);
}

void TestRecordDb::missingOrEmptyPartsFindNothing()
{
    Table noPart2Columns{QStringLiteral("ONE_PART"), {testdb::row(QStringLiteral("1.0"), "n", 64)}};
    noPart2Columns.part2Columns = false;
    Row sumOnly = testdb::row(QStringLiteral("sumOnly"), "n", 64);
    sumOnly.rom1File = QByteArray("");
    Table parts{QStringLiteral("PARTS"), {testdb::row(QStringLiteral("1.0"), "n", 64), sumOnly}};
    QVERIFY(testdb::writeDb(m_dir->filePath("p.db"), {noPart2Columns, parts}));

    record_db db;
    db.setDbName(m_dir->filePath("p.db"));
    db.init();
    QByteArray file;
    QByteArray sum;
    // No ROM2 columns at all: the statement fails; nothing changes.
    QVERIFY(!db.SearchFirmwareInfoDB(file, sum, 2, QStringLiteral("1.0"), QStringLiteral("ONE_PART")));
    QVERIFY(db.SearchFirmwareInfoDB(file, sum, 1, QStringLiteral("1.0"), QStringLiteral("ONE_PART")));
    file.clear();
    sum.clear();
    // ROM2 columns that are NULL: nothing found.
    QVERIFY(!db.SearchFirmwareInfoDB(file, sum, 2, QStringLiteral("1.0"), QStringLiteral("PARTS")));
    QVERIFY(file.isEmpty() && sum.isEmpty());
    // An empty image with unique data: the data is handed on, the result is false.
    QVERIFY(!db.SearchFirmwareInfoDB(file, sum, 1, QStringLiteral("sumOnly"), QStringLiteral("PARTS")));
    QVERIFY(file.isEmpty());
    QCOMPARE(sum, testdb::uniqueData(QStringLiteral("sumOnly"), 1));
    // A part number the table has no columns for.
    sum.clear();
    QVERIFY(!db.SearchFirmwareInfoDB(file, sum, 3, QStringLiteral("1.0"), QStringLiteral("PARTS")));
    QVERIFY(file.isEmpty() && sum.isEmpty());
}

void TestRecordDb::versionIsNeverPartOfTheStatement()
{
    Table quotes{QStringLiteral("QUOTES"), {testdb::row(QStringLiteral("1.0"), "plain", 32),
                                            testdb::row(QStringLiteral("2.0'beta"), "quoted", 48)}};
    QVERIFY(testdb::writeDb(m_dir->filePath("q.db"), {quotes}));
    record_db db;
    db.setDbName(m_dir->filePath("q.db"));
    db.init();

    QByteArray file;
    QByteArray sum;
    QVERIFY(!db.SearchFirmwareInfoDB(file, sum, 1, QStringLiteral("x' OR '1'='1"), QStringLiteral("QUOTES")));
    QVERIFY(file.isEmpty() && sum.isEmpty());
    QVERIFY(db.SearchFirmwareInfoDB(file, sum, 1, QStringLiteral("2.0'beta"), QStringLiteral("QUOTES")));
    QCOMPARE(file, testdb::image(QStringLiteral("2.0'beta"), 1, 48));

    QStringList versions;
    QStringList notes;
    QVERIFY(db.SearchVersionInfoDB(versions, notes, QStringLiteral("QUOTES")));
    QCOMPARE(versions, (QStringList{"1.0", "2.0'beta"}));
}

void TestRecordDb::refusesTablesThatAreNoPlainNames()
{
    // A table whose name needs quoting exists in the file, but the
    // statements take plain identifiers only.
    Table spaced{QStringLiteral("bad name"), {testdb::row(QStringLiteral("1"), "n", 8)}};
    Table keyword{QStringLiteral("select"), {testdb::row(QStringLiteral("1"), "n", 8)}};
    QVERIFY(testdb::writeDb(m_dir->filePath("b.db"), {spaced, keyword}));
    record_db db;
    db.setDbName(m_dir->filePath("b.db"));
    db.init();

    LogCapture log(true);
    const QStringList refused{QStringLiteral("bad name"), QStringLiteral("x; DROP TABLE select"),
                              QStringLiteral("sqlite_master"), QStringLiteral("1abc"), QString(),
                              QStringLiteral("t\"x")};
    for (const QString& table : refused) {
        QStringList versions{QStringLiteral("v")};
        QStringList notes{QStringLiteral("n")};
        QVERIFY(db.SearchVersionInfoDB(versions, notes, table)); // true: the list was not empty
        QCOMPARE(versions, QStringList{QStringLiteral("v")});
        QCOMPARE(notes, QStringList{QStringLiteral("n")});
        QByteArray file;
        QByteArray sum("s");
        QVERIFY(!db.SearchFirmwareInfoDB(file, sum, 1, QStringLiteral("1"), table));
        QCOMPARE(sum, QByteArray("s"));
    }
    QCOMPARE(log.count(QtDebugMsg, QStringLiteral("refused table name")), 2 * refused.size());
    // A keyword is a plain name: quoted, it works.
    QStringList versions;
    QStringList notes;
    QVERIFY(db.SearchVersionInfoDB(versions, notes, QStringLiteral("select")));
    // Both tables are still there.
    QStringList names;
    QVERIFY(db.SearchTableNameInfoDB(names));
    QCOMPARE(names.size(), 2);
}

void TestRecordDb::survivesCloseInitTwiceAndRename()
{
    const QString path = writeStandard();
    record_db db;
    LogCapture log(true);
    db.dbClose(); // a new object: nothing to close
    QVERIFY(log.contains(QtDebugMsg, QStringLiteral("record_db::dbClose--record_database invalid")));

    db.setDbName(path);
    db.init();
    db.init(); // open already: changes nothing
    QVERIFY(db.isOpen());
    QVERIFY(!log.contains(QtDebugMsg, QStringLiteral("already open")));
    QStringList names;
    QVERIFY(db.SearchTableNameInfoDB(names));

    db.dbClose();
    QVERIFY(!db.isOpen());
    QVERIFY(!QSqlDatabase::contains(QString::fromLatin1(record_db::kConnectionName)));
    names.clear();
    QVERIFY(!db.SearchTableNameInfoDB(names));
    QStringList versions;
    QStringList notes;
    QVERIFY(!db.SearchVersionInfoDB(versions, notes, QString::fromLatin1(testdb::kSimTable)));
    QByteArray file;
    QByteArray sum;
    QVERIFY(!db.SearchFirmwareInfoDB(file, sum, 1, QStringLiteral("2.5.0"),
                                     QString::fromLatin1(testdb::kSimTable)));
    db.dbClose(); // twice: harmless

    // Renamed on disk: the old name is gone and is not brought back.
    const QString renamed = m_dir->filePath("renamed.db");
    QVERIFY(QFile::rename(path, renamed));
    db.init();
    QVERIFY(!db.isOpen());
    QVERIFY(!QFile::exists(path));
    db.setDbName(renamed);
    db.init();
    QVERIFY(db.isOpen());
    QVERIFY(db.SearchVersionInfoDB(versions, notes, QString::fromLatin1(testdb::kSimTable)));
    QCOMPARE(versions.size(), 3);

    // Another name while open: nothing changes until close and init.
    Table other{QStringLiteral("OTHER"), {testdb::row(QStringLiteral("1"), "n", 8)}};
    QVERIFY(testdb::writeDb(m_dir->filePath("other.db"), {other}));
    db.setDbName(m_dir->filePath("other.db"));
    db.init();
    names.clear();
    QVERIFY(db.SearchTableNameInfoDB(names));
    QCOMPARE(names.size(), 2);
    db.dbClose();
    db.init();
    names.clear();
    QVERIFY(db.SearchTableNameInfoDB(names));
    QCOMPARE(names, QStringList{QStringLiteral("OTHER")});
}

void TestRecordDb::neverCreatesAFile()
{
    record_db db;
    db.init(); // no name: nothing opened
    QVERIFY(!db.isOpen());

    const QString missing = m_dir->filePath("download/missing.db");
    db.setDbName(missing);
    db.init();
    QVERIFY(!db.isOpen());
    QVERIFY(!QFileInfo::exists(missing));
    QVERIFY(!QFileInfo::exists(m_dir->filePath("download")));

    // A folder is no database either.
    QVERIFY(QDir().mkpath(m_dir->filePath("download")));
    db.setDbName(m_dir->filePath("download/"));
    db.init();
    QVERIFY(!db.isOpen());
    QStringList names;
    QVERIFY(!db.SearchTableNameInfoDB(names));

    // A file that is no database opens nothing useful and is left as it was.
    QVERIFY(m_dir->write("junk.db", "not a database at all, just text"));
    db.setDbName(m_dir->filePath("junk.db"));
    db.init();
    QVERIFY(!db.SearchTableNameInfoDB(names));
    QCOMPARE(m_dir->read("junk.db"), QByteArray("not a database at all, just text"));
    db.dbClose();
}

void TestRecordDb::goneObjectLeavesNoOpenConnection()
{
    const QString first = writeStandard(QStringLiteral("first.db"));
    Table other{QStringLiteral("SECOND"), {testdb::row(QStringLiteral("1"), "n", 8)}};
    QVERIFY(testdb::writeDb(m_dir->filePath("second.db"), {other}));
    {
        record_db early;
        early.setDbName(first);
        early.init();
        QVERIFY(early.isOpen());
    }
    record_db later;
    later.setDbName(m_dir->filePath("second.db"));
    later.init();
    QStringList names;
    QVERIFY(later.SearchTableNameInfoDB(names));
    QCOMPARE(names, QStringList{QStringLiteral("SECOND")});

    // A caller's lock is used, and a null one is refused.
    QMutex lock;
    QVERIFY(!later.setLock(nullptr));
    QVERIFY(later.setLock(&lock));
    QVERIFY(lock.tryLock());
    lock.unlock();
    later.initWithLock(nullptr);
    later.initWithLock(&lock);
    QVERIFY(later.isOpen());
}

void TestRecordDb::checksStagedFilesOnItsOwnConnection()
{
    record_db working;
    working.setDbName(writeStandard());
    working.init();

    QString why;
    QVERIFY2(record_db::checkDatabaseFile(writeStandard(QStringLiteral("staged.db")), &why),
             qPrintable(why));
    QVERIFY(!record_db::checkDatabaseFile(m_dir->filePath("none.db"), &why));
    QVERIFY(m_dir->write("page.html", "<html><body>Not Found</body></html>"));
    QVERIFY(!record_db::checkDatabaseFile(m_dir->filePath("page.html"), &why));
    QVERIFY(m_dir->write("empty.db", QByteArray()));
    QVERIFY(!record_db::checkDatabaseFile(m_dir->filePath("empty.db"), &why));
    // A real database whose only table was dropped again.
    QVERIFY(testdb::writeDb(m_dir->filePath("notables.db"), {Table{QStringLiteral("GONE"), {}}}));
    {
        QSqlDatabase raw = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("raw"));
        raw.setDatabaseName(m_dir->filePath("notables.db"));
        QVERIFY(raw.open());
        QSqlQuery(raw).exec(QStringLiteral("DROP TABLE GONE"));
        raw.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("raw"));
    QVERIFY(!record_db::checkDatabaseFile(m_dir->filePath("notables.db"), &why));
    QCOMPARE(why, QStringLiteral("no table"));
    // A header followed by garbage.
    QVERIFY(m_dir->write("broken.db", QByteArray("SQLite format 3\0", 16) + QByteArray(600, 'x')));
    QVERIFY(!record_db::checkDatabaseFile(m_dir->filePath("broken.db"), &why));

    // The working database is still open and answers.
    QVERIFY(working.isOpen());
    QStringList names;
    QVERIFY(working.SearchTableNameInfoDB(names));
    QCOMPARE(names.size(), 2);
}

void TestRecordDb::appendsLogLines()
{
    record_db::appendLogLine(QStringLiteral("a"));
    record_db::appendLogLine(QStringLiteral("b"));
    QCOMPARE(m_dir->read("log.txt"), QByteArray("a\r\nb\r\n"));
}

QTEST_GUILESS_MAIN(TestRecordDb)
#include "tst_record_db.moc"
