#ifndef FIRMWAREDB_H
#define FIRMWAREDB_H

// Writes firmware database files for tests: real SQLite files in the layout
// the application reads (one table per device type; columns "SF-VERSION",
// "STATUS", "NOTE", "ROM1-FILE", "ROM1-SUM", "ROM2-FILE", "ROM2-SUM").
// Header only; link the test to Qt5::Sql (tq_firmware brings it).
//
//   #include "firmwaredb.h"
//   // The standard database: table testdb::kSimTable, which matches the
//   // device name esc-sim reports by default (testdb::kSimDeviceName), with
//   // the versions of testdb::standardRows().
//   QString error;
//   QVERIFY2(testdb::writeStandardDb(dir.filePath("download/fw.db"), &error), qPrintable(error));
//   // Or any tables and rows:
//   testdb::Table t{"P_FLY_ESC_B", {testdb::row("1.0", "note", 300)}};
//   testdb::writeDb(path, {t}, &error);
//   // The image and unique data a row() of a given version carries:
//   QByteArray part1 = testdb::image("1.0", 1, 300);
//   QByteArray sum1 = testdb::uniqueData("1.0", 1);
//
// Every write runs on a connection of its own name and removes it again, so
// it never disturbs the application's shared connection.

#include <QAtomicInt>
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QList>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QString>
#include <QVariant>

#include "firmware/devfilelist.h"

namespace testdb {

// The device name esc-sim reports unless told otherwise (--name), and the
// table of the standard database that it selects: the type splits at "-"
// into "P_FLY" and "ESC_A", both found in the table name.
inline const char* const kSimDeviceName = "P_FLY-ESC_A";
inline const char* const kSimTable = "P_FLY_ESC_A";
// Another device's table, listed before the simulator's.
inline const char* const kOtherTable = "P_FLY_MOTOR_B";
// The status of an installable row.
inline QString installable() { return QStringLiteral("M1:[可升级]"); }

struct Row {
    QString version;
    QString status = installable();
    QVariant note;      // QByteArray, or a null QVariant for SQL NULL
    QVariant rom1File;  // QByteArray or null
    QVariant rom1Sum;
    QVariant rom2File;
    QVariant rom2Sum;
};

struct Table {
    QString name;
    QList<Row> rows;
    bool part2Columns = true; // false: the table has no ROM2 columns at all
};

// Deterministic image bytes of one part of one version.
inline QByteArray image(const QString& version, int part, int size)
{
    QByteArray bytes(size, '\0');
    const QByteArray seed = version.toUtf8();
    quint32 state = 2166136261u ^ static_cast<quint32>(part);
    for (const char c : seed)
        state = (state ^ static_cast<quint8>(c)) * 16777619u;
    for (int i = 0; i < size; ++i) {
        state = state * 1103515245u + 12345u;
        bytes[i] = static_cast<char>(state >> 16);
    }
    return bytes;
}

// Unique data of one part of one version: 8 bytes, as the node expects.
inline QByteArray uniqueData(const QString& version, int part)
{
    return QByteArray("UD") + QByteArray::number(part) + version.toUtf8().left(5).leftJustified(5, '.');
}

// An installable row with both parts: images of part1Size and part2Size
// bytes (0: NULL) and their unique data.
inline Row row(const QString& version, const QByteArray& note, int part1Size, int part2Size = 0)
{
    Row r;
    r.version = version;
    r.note = note;
    if (part1Size > 0) {
        r.rom1File = image(version, 1, part1Size);
        r.rom1Sum = uniqueData(version, 1);
    }
    if (part2Size > 0) {
        r.rom2File = image(version, 2, part2Size);
        r.rom2Sum = uniqueData(version, 2);
    }
    return r;
}

// Writes path (replacing any file there) with the given tables. False, with
// the reason in error, when SQLite refuses.
inline bool writeDb(const QString& path, const QList<Table>& tables, QString* error = nullptr)
{
    static QAtomicInt serial;
    const QString name = QStringLiteral("testdb_writer_%1").arg(serial.fetchAndAddRelaxed(1));
    QFile::remove(path);
    QDir().mkpath(QFileInfo(path).absolutePath());
    QString failure;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(path);
        if (!db.open()) {
            failure = db.lastError().text();
        } else {
            db.transaction();
            for (const Table& table : tables) {
                QSqlQuery query(db);
                const QString quoted = QLatin1Char('"') + QString(table.name).replace(
                    QLatin1Char('"'), QLatin1String("\"\"")) + QLatin1Char('"');
                QString create = QStringLiteral(
                    "CREATE TABLE %1 ([ID] INTEGER PRIMARY KEY AUTOINCREMENT, [SF-VERSION] TEXT, "
                    "[STATUS] TEXT, [NOTE] BLOB, [ROM1-FILE] BLOB, [ROM1-SUM] BLOB").arg(quoted);
                if (table.part2Columns)
                    create += QStringLiteral(", [ROM2-FILE] BLOB, [ROM2-SUM] BLOB");
                create += QLatin1Char(')');
                if (!query.exec(create)) {
                    failure = query.lastError().text();
                    break;
                }
                for (const Row& r : table.rows) {
                    QSqlQuery insert(db);
                    insert.prepare(table.part2Columns
                        ? QStringLiteral("INSERT INTO %1 ([SF-VERSION],[STATUS],[NOTE],[ROM1-FILE],"
                                         "[ROM1-SUM],[ROM2-FILE],[ROM2-SUM]) VALUES (?,?,?,?,?,?,?)")
                              .arg(quoted)
                        : QStringLiteral("INSERT INTO %1 ([SF-VERSION],[STATUS],[NOTE],[ROM1-FILE],"
                                         "[ROM1-SUM]) VALUES (?,?,?,?,?)").arg(quoted));
                    insert.addBindValue(r.version);
                    insert.addBindValue(r.status);
                    insert.addBindValue(r.note);
                    insert.addBindValue(r.rom1File);
                    insert.addBindValue(r.rom1Sum);
                    if (table.part2Columns) {
                        insert.addBindValue(r.rom2File);
                        insert.addBindValue(r.rom2Sum);
                    }
                    if (!insert.exec()) {
                        failure = insert.lastError().text();
                        break;
                    }
                }
                if (!failure.isEmpty())
                    break;
            }
            if (failure.isEmpty())
                db.commit();
            else
                db.rollback();
            db.close();
        }
    }
    QSqlDatabase::removeDatabase(name);
    if (error)
        *error = failure;
    return failure.isEmpty();
}

// Versions of the simulator's table in the standard database, in table
// order: "2.3.0" (the simulator's current firmware), "2.4.0" with a
// NUL-ended note, and "2.5.0" (the newest) with both parts; plus a row
// that is not installable ("9.9.9").
inline QList<Row> standardRows()
{
    QList<Row> rows;
    rows << row(QStringLiteral("2.3.0"), QByteArray("first release"), 700, 300);
    rows << row(QStringLiteral("2.4.0"), QByteArray("fixes\0junk", 10), 1000, 520);
    rows << row(QStringLiteral("2.5.0"), QByteArray("newest: faster start"), 1300, 600);
    Row hidden = row(QStringLiteral("9.9.9"), QByteArray("not released"), 256, 256);
    hidden.status = QStringLiteral("M0:[测试]");
    rows << hidden;
    return rows;
}

// The standard database: kOtherTable with one version, then kSimTable with
// standardRows().
inline bool writeStandardDb(const QString& path, QString* error = nullptr)
{
    Table other{QString::fromLatin1(kOtherTable),
                {row(QStringLiteral("1.0.0"), QByteArray("motor"), 512, 512)}};
    Table sim{QString::fromLatin1(kSimTable), standardRows()};
    return writeDb(path, {other, sim}, error);
}

// Switches the database at path to WAL mode: the mode stays in the file's
// header, and a reader that is not told otherwise then makes "-wal" and
// "-shm" files beside it.
inline bool toWalMode(const QString& path)
{
    static QAtomicInt serial;
    const QString name = QStringLiteral("testdb_wal_%1").arg(serial.fetchAndAddRelaxed(1));
    bool wal = false;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(path);
        if (db.open()) {
            QSqlQuery query(db);
            wal = query.exec(QStringLiteral("PRAGMA journal_mode=WAL")) && query.next()
                && query.value(0).toString() == QLatin1String("wal");
            query.finish();
            db.close();
        }
    }
    QSqlDatabase::removeDatabase(name);
    return wal;
}

// The bytes of a database file with these tables, written at scratchPath
// and removed again.
inline QByteArray dbBytes(const QString& scratchPath, const QList<Table>& tables)
{
    QByteArray bytes;
    QFile file(scratchPath);
    if (writeDb(scratchPath, tables) && file.open(QIODevice::ReadOnly))
        bytes = file.readAll();
    file.close();
    file.remove();
    return bytes;
}

// A rollback journal as a writer leaves it that dies in the middle of a
// transaction. Beside a database of its name ("<file>-journal") SQLite takes
// it for one to be played back, which a read-only connection cannot do: that
// database then does not read, wherever it came from.
inline QByteArray hotJournal(const QString& scratchPath)
{
    static QAtomicInt serial;
    const QString name = QStringLiteral("testdb_journal_%1").arg(serial.fetchAndAddRelaxed(1));
    QList<Row> rows;
    for (int i = 0; i < 8; ++i)
        rows << row(QString::number(i), "n", 4000);
    QByteArray journal;
    if (writeDb(scratchPath, {Table{QStringLiteral("T"), rows}})) {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(scratchPath);
        if (db.open()) {
            QSqlQuery(db).exec(QStringLiteral("PRAGMA cache_size=1"));
            db.transaction();
            QSqlQuery(db).exec(QStringLiteral("UPDATE T SET [ROM1-FILE]=randomblob(4000)"));
            QFile file(scratchPath + QStringLiteral("-journal"));
            if (file.open(QIODevice::ReadOnly))
                journal = file.readAll();
            db.rollback();
            db.close();
        }
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase(name);
    }
    QFile::remove(scratchPath);
    return journal;
}

// Installs a database of the standard table with these rows where the page
// looks at start: download/<fileName> below the working directory, named by
// both rows (test and release) of a device-file list for this product.
// Another device's table (kOtherTable) follows with version "1.0.0".
inline bool installForPage(const QString& fileName, const QList<Row>& rows, QString* error = nullptr)
{
    const QString dir = QDir::currentPath() + QStringLiteral("/download");
    const Table table{QString::fromLatin1(kSimTable), rows};
    const Table other{QString::fromLatin1(kOtherTable), {row(QStringLiteral("1.0.0"), QByteArray("B"), 512, 512)}};
    if (!writeDb(dir + QLatin1Char('/') + fileName, {table, other}, error))
        return false;
    QFile list(dir + QStringLiteral("/devFileList.csv"));
    if (!list.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        if (error)
            *error = list.errorString();
        return false;
    }
    const QByteArray name = fileName.toUtf8();
    const QByteArray link = "http://127.0.0.1/" + name;
    list.write("ITEM,TEST_FILE,LINK_TEST_FILE,RELEASE_FILE,LINK_RELEASE_FILE\n" +
               devfilelist::productKey().toUtf8() + ',' + name + ',' + link + ',' + name + ',' + link + '\n');
    return true;
}

} // namespace testdb

#endif // FIRMWAREDB_H
