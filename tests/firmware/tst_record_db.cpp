// The firmware database object on real SQLite files written by the test.

#include <QtTest>

#include <QSqlDatabase>
#include <QSqlQuery>

#include <sys/stat.h>

#include "firmware/record_db.h"
#include "firmware/sqliteheader.h"
#include "firmwaredb.h"
#include "logcapture.h"
#include "tempworkdir.h"

using testdb::Row;
using testdb::Table;

namespace {

const QString kSim = QString::fromLatin1(testdb::kSimTable);

// (Re)points db at path and opens it.
void openDb(record_db& db, const QString& path)
{
    db.dbClose();
    db.setDbName(path);
    db.init();
}

QStringList tableNames(record_db& db)
{
    QStringList names;
    db.SearchTableNameInfoDB(names);
    return names;
}

} // namespace

class TestRecordDb : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void listsTablesAndVersionsWithNotes();
    void fetchesEachPartWithItsUniqueData();
    void versionIsNeverPartOfTheStatement();
    void refusesTablesThatAreNoPlainNames();
    void survivesCloseInitTwiceAndRename();
    void neverCreatesAFile();
    void checksStagedFilesOnItsOwnConnection();
    void readsTheHeaderLayout_data();
    void readsTheHeaderLayout();
    void refusesAFileThatIsNotWhole_data();
    void refusesAFileThatIsNotWhole();
    void readsTheFileAloneWithoutSideFiles_data();
    void readsTheFileAloneWithoutSideFiles();
    void takesOnlyARegularFile_data();
    void takesOnlyARegularFile();

private:
    QString write(const QString& relative, const QList<Table>& tables = {});

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

// A database file in the test's folder: the standard one unless given tables.
QString TestRecordDb::write(const QString& relative, const QList<Table>& tables)
{
    const QString path = m_dir->filePath(relative);
    QString error;
    if (!(tables.isEmpty() ? testdb::writeStandardDb(path, &error) : testdb::writeDb(path, tables, &error)))
        qWarning() << "writing" << relative << "failed:" << error;
    return path;
}

void TestRecordDb::listsTablesAndVersionsWithNotes()
{
    record_db db;
    openDb(db, write("fw.db"));
    // AUTOINCREMENT made SQLite add "sqlite_sequence": it is no device's.
    QStringList names{QStringLiteral("earlier")};
    QVERIFY(db.SearchTableNameInfoDB(names));
    QCOMPARE(names, (QStringList{"earlier", QString::fromLatin1(testdb::kOtherTable), kSim}));
    // The installable rows in table order, appended.
    QStringList versions{QStringLiteral("kept")};
    QStringList texts{QStringLiteral("kept note")};
    QVERIFY(db.SearchVersionInfoDB(versions, texts, kSim));
    QCOMPARE(versions, (QStringList{"kept", "2.3.0", "2.4.0", "2.5.0"}));
    QCOMPARE(texts, (QStringList{"kept note", "first release", "fixes", "newest: faster start"}));
    versions.clear();
    texts.clear();
    QVERIFY(!db.SearchVersionInfoDB(versions, texts, QStringLiteral("NO_SUCH_TABLE")));
    QVERIFY(versions.isEmpty() && texts.isEmpty());

    // The NOTE cases, and the STATUS filter: exact text only.
    Table notes{QStringLiteral("NOTES"), {}};
    Row nullNote = testdb::row(QStringLiteral("null"), QByteArray(), 16);
    nullNote.note = QVariant(); // SQL NULL
    Row trailingBlank = testdb::row(QStringLiteral("blank"), QByteArray("x"), 16);
    trailingBlank.status = testdb::installable() + QLatin1Char(' ');
    Row otherCase = testdb::row(QStringLiteral("case"), QByteArray("x"), 16);
    otherCase.status = QStringLiteral("m1:[可升级]");
    notes.rows << nullNote << testdb::row(QStringLiteral("empty"), QByteArray(""), 16)
               << testdb::row(QStringLiteral("nulFirst"), QByteArray("\0x", 2), 16)
               << testdb::row(QStringLiteral("cut"), QByteArray("abc\0def", 7), 16)
               << testdb::row(QStringLiteral("utf8"), QByteArray("版本说明"), 16) << trailingBlank << otherCase;
    openDb(db, write("n.db", {notes}));
    QVERIFY(db.SearchVersionInfoDB(versions, texts, QStringLiteral("NOTES")));
    QCOMPARE(versions, (QStringList{"null", "empty", "nulFirst", "cut", "utf8"}));
    QCOMPARE(texts, (QStringList{" ", " ", "", "abc", QStringLiteral("版本说明")}));
}

void TestRecordDb::fetchesEachPartWithItsUniqueData()
{
    record_db db;
    openDb(db, write("fw.db"));
    for (int part : {1, 2}) {
        QByteArray file("head");
        QByteArray sum;
        QVERIFY(db.SearchFirmwareInfoDB(file, sum, part, QStringLiteral("2.4.0"), kSim));
        QCOMPARE(file, QByteArray("head") + testdb::image(QStringLiteral("2.4.0"), part, part == 1 ? 1000 : 520));
        QCOMPARE(sum, testdb::uniqueData(QStringLiteral("2.4.0"), part));
    }
    // A row that is not installable is not fetched, even by its exact version.
    QByteArray file;
    QByteArray sum;
    QVERIFY(!db.SearchFirmwareInfoDB(file, sum, 1, QStringLiteral("9.9.9"), kSim));
    QVERIFY(file.isEmpty() && sum.isEmpty());

    Table noPart2Columns{QStringLiteral("ONE_PART"), {testdb::row(QStringLiteral("1.0"), "n", 64)}};
    noPart2Columns.part2Columns = false;
    Row sumOnly = testdb::row(QStringLiteral("sumOnly"), "n", 64);
    sumOnly.rom1File = QByteArray("");
    Table parts{QStringLiteral("PARTS"), {testdb::row(QStringLiteral("1.0"), "n", 10),
                                          testdb::row(QStringLiteral("1.0"), "second", 20), sumOnly}};
    openDb(db, write("p.db", {noPart2Columns, parts}));
    // No ROM2 columns at all, or NULL ones, or a part without columns: nothing.
    QVERIFY(!db.SearchFirmwareInfoDB(file, sum, 2, QStringLiteral("1.0"), QStringLiteral("ONE_PART")));
    QVERIFY(!db.SearchFirmwareInfoDB(file, sum, 2, QStringLiteral("1.0"), QStringLiteral("PARTS")));
    QVERIFY(!db.SearchFirmwareInfoDB(file, sum, 3, QStringLiteral("1.0"), QStringLiteral("PARTS")));
    QVERIFY(file.isEmpty() && sum.isEmpty());
    // Two installable rows of one version: the first one's part.
    QVERIFY(db.SearchFirmwareInfoDB(file, sum, 1, QStringLiteral("1.0"), QStringLiteral("PARTS")));
    QCOMPARE(file.size(), 10);
    // An empty image with unique data: the data is handed on, the result is false.
    file.clear();
    sum.clear();
    QVERIFY(!db.SearchFirmwareInfoDB(file, sum, 1, QStringLiteral("sumOnly"), QStringLiteral("PARTS")));
    QVERIFY(file.isEmpty());
    QCOMPARE(sum, testdb::uniqueData(QStringLiteral("sumOnly"), 1));
}

void TestRecordDb::versionIsNeverPartOfTheStatement()
{
    Table quotes{QStringLiteral("QUOTES"), {testdb::row(QStringLiteral("1.0"), "plain", 32),
                                            testdb::row(QStringLiteral("2.0'beta"), "quoted", 48)}};
    record_db db;
    openDb(db, write("q.db", {quotes}));
    QByteArray file;
    QByteArray sum;
    QVERIFY(!db.SearchFirmwareInfoDB(file, sum, 1, QStringLiteral("x' OR '1'='1"), QStringLiteral("QUOTES")));
    QVERIFY(file.isEmpty() && sum.isEmpty());
    QVERIFY(db.SearchFirmwareInfoDB(file, sum, 1, QStringLiteral("2.0'beta"), QStringLiteral("QUOTES")));
    QCOMPARE(file, testdb::image(QStringLiteral("2.0'beta"), 1, 48));
}

void TestRecordDb::refusesTablesThatAreNoPlainNames()
{
    // A table whose name needs quoting exists in the file, but the
    // statements take plain identifiers only.
    Table spaced{QStringLiteral("bad name"), {testdb::row(QStringLiteral("1"), "n", 8)}};
    Table keyword{QStringLiteral("select"), {testdb::row(QStringLiteral("1"), "n", 8)}};
    record_db db;
    openDb(db, write("b.db", {spaced, keyword}));

    LogCapture log(true);
    const QStringList refused{"bad name", "x; DROP TABLE select", "sqlite_master", "1abc", QString(), "t\"x"};
    for (const QString& table : refused) {
        QStringList versions{QStringLiteral("v")};
        QStringList notes{QStringLiteral("n")};
        QVERIFY(db.SearchVersionInfoDB(versions, notes, table)); // true: the list was not empty
        QCOMPARE(versions + notes, (QStringList{"v", "n"}));
        QByteArray file;
        QByteArray sum("s");
        QVERIFY(!db.SearchFirmwareInfoDB(file, sum, 1, QStringLiteral("1"), table));
        QCOMPARE(sum, QByteArray("s"));
    }
    QCOMPARE(log.count(QtDebugMsg, QStringLiteral("refused table name")), 2 * refused.size());
    // A keyword is a plain name: quoted, it works; both tables are still there.
    QStringList versions;
    QStringList notes;
    QVERIFY(db.SearchVersionInfoDB(versions, notes, QStringLiteral("select")));
    QCOMPARE(tableNames(db).size(), 2);
}

void TestRecordDb::survivesCloseInitTwiceAndRename()
{
    const QString path = write("fw.db");
    record_db db;
    db.dbClose(); // a new object: nothing to close
    db.setDbName(path);
    db.init();
    db.init(); // open already: changes nothing
    QVERIFY(db.isOpen());
    QCOMPARE(tableNames(db).size(), 2);

    db.dbClose();
    QVERIFY(!db.isOpen());
    QVERIFY(!QSqlDatabase::contains(QString::fromLatin1(record_db::kConnectionName)));
    QVERIFY(tableNames(db).isEmpty());
    QByteArray file;
    QByteArray sum;
    QVERIFY(!db.SearchFirmwareInfoDB(file, sum, 1, QStringLiteral("2.5.0"), kSim));
    db.dbClose(); // twice: harmless

    // Renamed on disk: the old name is gone and is not brought back.
    const QString renamed = m_dir->filePath("renamed.db");
    QVERIFY(QFile::rename(path, renamed));
    db.init();
    QVERIFY(!db.isOpen());
    QVERIFY(!QFile::exists(path));
    openDb(db, renamed);
    QVERIFY(db.SearchFirmwareInfoDB(file, sum, 1, QStringLiteral("2.5.0"), kSim));

}

void TestRecordDb::neverCreatesAFile()
{
    record_db db;
    db.init(); // no name: nothing opened
    QVERIFY(!db.isOpen());
    const QString missing = m_dir->filePath("download/missing.db");
    openDb(db, missing);
    QVERIFY(!db.isOpen());
    QVERIFY(!QFileInfo::exists(m_dir->filePath("download")));

    // A folder is no database either, nor is a file of text, which is left as it was.
    QVERIFY(QDir().mkpath(m_dir->filePath("download")));
    openDb(db, m_dir->filePath("download/"));
    QVERIFY(!db.isOpen());
    QVERIFY(m_dir->write("junk.db", "not a database at all, just text"));
    openDb(db, m_dir->filePath("junk.db"));
    QVERIFY(tableNames(db).isEmpty());
    QCOMPARE(m_dir->read("junk.db"), QByteArray("not a database at all, just text"));
    db.dbClose();
}

void TestRecordDb::checksStagedFilesOnItsOwnConnection()
{
    {
        // An object that is gone leaves no open connection behind.
        record_db early;
        openDb(early, write("early.db"));
    }
    record_db working;
    openDb(working, write("fw.db"));

    QString why;
    QVERIFY2(record_db::checkDatabaseFile(write("staged.db"), &why), qPrintable(why));
    QVERIFY(m_dir->write("page.html", "<html><body>Not Found</body></html>"));
    QVERIFY(m_dir->write("empty.db", QByteArray()));
    QVERIFY(m_dir->write("broken.db", QByteArray("SQLite format 3\0", 16) + QByteArray(600, 'x')));
    // A real database whose only table was dropped again.
    write("notables.db", {Table{QStringLiteral("GONE"), {}}});
    {
        QSqlDatabase raw = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("raw"));
        raw.setDatabaseName(m_dir->filePath("notables.db"));
        QVERIFY(raw.open());
        QSqlQuery(raw).exec(QStringLiteral("DROP TABLE GONE"));
        raw.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("raw"));
    // Tables the searches do not take: a name that is no plain identifier,
    // a table without the part-2 columns.
    const Table injected{QStringLiteral("P_FLY_ESC_A'; DROP TABLE P_FLY_ESC_A;--"), {testdb::row("1.0", "n", 64, 64)}};
    Table onePart{QStringLiteral("P_FLY_ESC_B"), {testdb::row("1.0", "n", 64)}};
    onePart.part2Columns = false;
    write("injected.db", {injected});
    write("onepart.db", {onePart, injected});
    // A file cut short, as by a reply shorter than the file; one whose last
    // page (the end of the last row's image) is garbage.
    const Table bigLastRow{kSim, {testdb::row("1.0", "n", 64, 64), testdb::row("2.0", "n", 30000, 64)}};
    QFile cut(write("cut.db", {bigLastRow}));
    QVERIFY(cut.resize(cut.size() - 4096));
    QFile damaged(write("damaged.db", {bigLastRow}));
    QVERIFY(damaged.open(QIODevice::ReadWrite) && damaged.seek(damaged.size() - 4096));
    damaged.write(QByteArray(4096, '\xff'));
    damaged.close();
    // A whole database followed by more than the bound (a sparse file).
    QFile huge(write("huge.db"));
    QVERIFY(huge.resize(record_db::kMaxDatabaseBytes + 1));
    for (const char* bad : {"none.db", "page.html", "empty.db", "broken.db", "cut.db", "damaged.db", "huge.db",
                            "injected.db", "onepart.db", "notables.db"})
        QVERIFY2(!record_db::checkDatabaseFile(m_dir->filePath(bad), &why), bad);
    QCOMPARE(why, QStringLiteral("no usable table"));
    // One usable table is enough.
    QVERIFY2(record_db::checkDatabaseFile(write("mixed.db", {injected, onePart, Table{kSim, testdb::standardRows()}}), &why),
             qPrintable(why));

    // The working database is still open and answers.
    QVERIFY(working.isOpen());
    QCOMPARE(tableNames(working).size(), 2);
}

void TestRecordDb::readsTheHeaderLayout_data()
{
    // A header with the given page size field, change counter, page count
    // and version-valid-for number; the layout read, or none (-1).
    QTest::addColumn<QByteArray>("magic");
    QTest::addColumn<int>("pageSizeField");
    QTest::addColumn<quint32>("counter");
    QTest::addColumn<quint32>("pages");
    QTest::addColumn<quint32>("validFor");
    QTest::addColumn<qint64>("pageSize");
    QTest::addColumn<bool>("countValid");
    const QByteArray magic("SQLite format 3\0", 16);
    QTest::newRow("4096-byte pages") << magic << 4096 << 7u << 9u << 7u << qint64(4096) << true;
    QTest::newRow("512-byte pages") << magic << 512 << 7u << 9u << 7u << qint64(512) << true;
    QTest::newRow("1 stands for 65536") << magic << 1 << 7u << 9u << 7u << qint64(65536) << true;
    QTest::newRow("count 0") << magic << 4096 << 7u << 0u << 7u << qint64(4096) << false;
    QTest::newRow("stale count") << magic << 4096 << 8u << 9u << 7u << qint64(4096) << false;
    QTest::newRow("page size 256") << magic << 256 << 7u << 9u << 7u << qint64(-1) << false;
    QTest::newRow("page size 4097") << magic << 4097 << 7u << 9u << 7u << qint64(-1) << false;
    QTest::newRow("page size 0") << magic << 0 << 7u << 9u << 7u << qint64(-1) << false;
    QTest::newRow("another magic") << QByteArray("SQLite format 2\0", 16) << 4096 << 7u << 9u << 7u << qint64(-1) << false;
}

void TestRecordDb::readsTheHeaderLayout()
{
    QFETCH(QByteArray, magic);
    QFETCH(int, pageSizeField);
    QFETCH(quint32, counter);
    QFETCH(quint32, pages);
    QFETCH(quint32, validFor);
    QFETCH(qint64, pageSize);
    QFETCH(bool, countValid);
    QByteArray header = magic + QByteArray(sqliteheader::kHeaderBytes - magic.size(), '\0');
    const auto put = [&header](int offset, quint32 value, int width) {
        for (int i = 0; i < width; ++i)
            header[offset + i] = char(value >> (8 * (width - 1 - i)));
    };
    put(16, quint32(pageSizeField), 2);
    put(24, counter, 4);
    put(28, pages, 4);
    put(92, validFor, 4);

    sqliteheader::Layout layout;
    QCOMPARE(sqliteheader::readLayout(header, &layout), pageSize > 0);
    QCOMPARE(sqliteheader::readLayout(header.left(sqliteheader::kHeaderBytes - 1), &layout), false);
    if (pageSize < 0)
        return;
    QCOMPARE(layout.pageSize, pageSize);
    QCOMPARE(layout.pageCount, qint64(pages));
    QCOMPARE(layout.countValid, countValid);
}

void TestRecordDb::refusesAFileThatIsNotWhole_data()
{
    // A file whose end is missing, as a download cut short leaves it.
    // SQLite reads the missing bytes as zeros and its quick check passes;
    // only the header, by its page count and page size, tells. Where the
    // count is not valid (a writer older than the field: the change counter
    // differs from the version-valid-for number) the file must at least
    // hold whole pages.
    QTest::addColumn<int>("cut");
    QTest::addColumn<int>("pageSize");
    QTest::addColumn<bool>("countValid");
    QTest::newRow("whole") << 0 << 4096 << true;
    QTest::newRow("cut by 1 byte") << 1 << 4096 << true;
    QTest::newRow("cut by 1024 bytes") << 1024 << 4096 << true;
    QTest::newRow("cut by 4000 bytes") << 4000 << 4096 << true;
    QTest::newRow("cut by a page") << 4096 << 4096 << true;
    QTest::newRow("64 KiB pages, whole") << 0 << 65536 << true;
    QTest::newRow("64 KiB pages, cut by 1 byte") << 1 << 65536 << true;
    QTest::newRow("page count not valid, whole") << 0 << 4096 << false;
    QTest::newRow("page count not valid, cut by 1 byte") << 1 << 4096 << false;
}

void TestRecordDb::refusesAFileThatIsNotWhole()
{
    QFETCH(int, cut);
    QFETCH(int, pageSize);
    QFETCH(bool, countValid);
    // One version with large images: the file's last pages hold image bytes
    // only, whose loss SQLite's own check does not see.
    const QString path = write("fw.db", {Table{kSim, {testdb::row(QStringLiteral("3.0.0"), "last", 30000, 20000)}}});
    if (pageSize != 4096) {
        QSqlDatabase raw = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("raw"));
        raw.setDatabaseName(path);
        QVERIFY(raw.open());
        QSqlQuery(raw).exec(QStringLiteral("PRAGMA page_size=%1").arg(pageSize));
        QVERIFY(QSqlQuery(raw).exec(QStringLiteral("VACUUM")));
        raw.close();
        raw = QSqlDatabase();
        QSqlDatabase::removeDatabase(QStringLiteral("raw"));
    }
    QByteArray bytes = m_dir->read("fw.db");
    QCOMPARE(int(quint8(bytes.at(16))) << 8 | quint8(bytes.at(17)), pageSize == 65536 ? 1 : pageSize);
    QCOMPARE(bytes.size() % pageSize, 0);
    if (!countValid)
        bytes[95] = char(bytes.at(27) + 1); // version-valid-for no longer the change counter
    bytes.chop(cut);
    QVERIFY(m_dir->write("fw.db", bytes));

    QString why;
    QCOMPARE(record_db::checkDatabaseFile(path, &why), cut == 0);
    if (cut != 0)
        QVERIFY2(why.contains(countValid ? QStringLiteral("cut short") : QStringLiteral("whole number of")), qPrintable(why));
    QCOMPARE(m_dir->read("fw.db"), bytes); // read, never changed
}

void TestRecordDb::readsTheFileAloneWithoutSideFiles_data()
{
    // A database in WAL mode, which a reader left to SQLite's defaults
    // gives "-wal" and "-shm" files; one beside which a hot journal lies,
    // which such a reader would have to play back into it; and one whose
    // name holds what a URI gives a meaning to.
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("kind");
    QTest::newRow("WAL mode") << "fw.db" << "wal";
    QTest::newRow("a hot journal beside it") << "fw.db" << "journal";
    QTest::newRow("a name of URI characters") << "a b#1?x=%20&y;.db" << QString();
}

void TestRecordDb::readsTheFileAloneWithoutSideFiles()
{
    QFETCH(QString, name);
    QFETCH(QString, kind);
    const QString path = write(name);
    if (kind == "wal")
        QVERIFY(testdb::toWalMode(path));
    else if (kind == "journal")
        QVERIFY(m_dir->write(name + "-journal", testdb::hotJournal(m_dir->filePath("scratch.db"))));
    const QStringList before = QDir(m_dir->path()).entryList(QDir::Files);
    const QByteArray bytes = m_dir->read(name);

    QString why;
    QVERIFY2(record_db::checkDatabaseFile(path, &why), qPrintable(why));
    record_db db;
    openDb(db, path);
    QCOMPARE(tableNames(db).size(), 2);
    QStringList versions;
    QStringList notes;
    QVERIFY(db.SearchVersionInfoDB(versions, notes, kSim));
    QCOMPARE(versions, (QStringList{"2.3.0", "2.4.0", "2.5.0"}));
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files), before); // while open
    db.dbClose();
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files), before);
    QCOMPARE(m_dir->read(name), bytes);
}

void TestRecordDb::takesOnlyARegularFile_data()
{
    // What lies under the database's name: a pipe that no one writes and a
    // link to an endless device are neither checked nor opened, and hold
    // nothing up; a link to a database is the database.
    QTest::addColumn<QString>("kind");
    QTest::addColumn<bool>("taken");
    QTest::newRow("a FIFO") << "fifo" << false;
    QTest::newRow("a link to /dev/zero") << "zero" << false;
    QTest::newRow("a link to a FIFO") << "link to fifo" << false;
    QTest::newRow("a link to a database") << "link" << true;
}

void TestRecordDb::takesOnlyARegularFile()
{
    QFETCH(QString, kind);
    QFETCH(bool, taken);
    const QString path = m_dir->filePath("fw.db");
    const QString fifo = m_dir->filePath(kind == "fifo" ? "fw.db" : "pipe");
    if (kind.contains("fifo"))
        QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    if (kind == "zero")
        QVERIFY(QFile::link("/dev/zero", path));
    else if (kind == "link to fifo")
        QVERIFY(QFile::link(fifo, path));
    else if (kind == "link")
        QVERIFY(QFile::link(write("real.db"), path));

    QString why;
    QCOMPARE(record_db::checkDatabaseFile(path, &why), taken);
    record_db db;
    openDb(db, path);
    QCOMPARE(db.isOpen(), taken);
    QCOMPARE(tableNames(db).size(), taken ? 2 : 0);
    db.dbClose();
}

QTEST_GUILESS_MAIN(TestRecordDb)
#include "tst_record_db.moc"
