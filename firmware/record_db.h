#ifndef RECORD_DB_H
#define RECORD_DB_H

// Access object for the firmware database: an SQLite file with one table per
// device type. Each row is one firmware version ("SF-VERSION", "STATUS",
// "NOTE") with, for part 1 and part 2, its image ("ROM<n>-FILE") and unique
// data ("ROM<n>-SUM"). Only rows whose STATUS is "M1:[可升级]" are offered.
//
// Every record_db uses the one process-wide connection named
// "ConnectDataUpgradeExcel", opened read-only and immutable: opening never
// creates a file, nothing here writes to the database, and no side file
// ("-wal", "-shm", "-journal") is made or read beside it. GUI thread only; the operations
// that touch the connection hold the object's mutex.
//
// The searches append to their outputs and never clear them; they return
// false, outputs unchanged, when the statement fails, when the table name is
// not a plain identifier, or when nothing was found. No statement is built
// from the database's own content: the version is a bound parameter and a
// table name is quoted only after it passed the identifier check.

#include <QByteArray>
#include <QMutex>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QStringList>

#include <memory>

class record_db
{
public:
    record_db();
    ~record_db();

    record_db(const record_db&) = delete;
    record_db& operator=(const record_db&) = delete;

    // Name of the shared connection.
    static const char* const kConnectionName;
    // The STATUS text of an installable row.
    static const QString& installableStatus();

    // Stores the path of the database file; an open connection is not
    // affected until dbClose and the next init.
    void setDbName(const QString& name);
    QString dbName() const { return m_dbName; }

    // Opens the file named by setDbName, unless the connection is open
    // already. An empty name opens nothing; a missing file is not created.
    // Failures are logged; isOpen tells the outcome.
    void init();
    // Installs a caller's mutex, then init. A null lock does nothing.
    void initWithLock(QMutex* lock);
    // Installs a caller's mutex; false (and nothing changes) for null.
    bool setLock(QMutex* lock);
    // Closes the connection and removes it from the registry.
    void dbClose();
    bool isOpen() const;

    // Appends the file's table names; SQLite's own tables are left out.
    bool SearchTableNameInfoDB(QStringList& names);
    // Appends the installable versions of table and their notes, index for
    // index. A note is the UTF-8 text before the first NUL byte; an empty or
    // NULL note reads " ".
    bool SearchVersionInfoDB(QStringList& versions, QStringList& notes, QString table);
    // Appends the image and unique data of part romIndex of the first
    // installable row of version in table. True when an image was found.
    bool SearchFirmwareInfoDB(QByteArray& file, QByteArray& sum, int romIndex, QString version,
                              QString table);

    // Appends text and CR LF to "log.txt" in the working folder.
    static void appendLogLine(const QString& text);

    // The largest database file taken (firmware databases are a few MB).
    static constexpr qint64 kMaxDatabaseBytes = 256 * 1024 * 1024;

    // Checks a database file on a connection of its own (the shared one
    // stays as it is): the file must exist, be no larger than the bound,
    // hold every page its SQLite header counts, open read-only, pass
    // SQLite's quick check, and hold at least one table that the searches
    // take: a plain name with every column they read. On false, why says
    // what failed.
    static bool checkDatabaseFile(const QString& path, QString* why = nullptr);

private:
    QMutex* lockMutex();

    // Declared in this order so that destruction runs name, mutex, query, handle.
    QSqlDatabase m_database;
    QSqlQuery m_query;
    QMutex* m_mutex = nullptr;          // the one in use: ours or a caller's
    std::unique_ptr<QMutex> m_ownMutex; // created here when no caller gave one
    QString m_dbName;
};

#endif // RECORD_DB_H
