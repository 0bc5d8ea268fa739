#include "firmware/record_db.h"

#include <QAtomicInt>
#include <QDebug>
#include <QFile>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlRecord>
#include <QUrl>
#include <QVariant>

#include "firmware/firmwarenames.h"
#include "firmware/sqliteheader.h"

namespace {

const QString& connectionName()
{
    static const QString name = QString::fromLatin1(record_db::kConnectionName);
    return name;
}

// The database is only ever read here. Read-only, SQLite refuses to create
// a file that is not there; immutable, it reads the file alone: it takes no
// lock and makes no side file (no "-wal" or "-shm" beside a database in WAL
// mode, none of which a download brings), and a stray journal of the same
// name is not played back into it.
const QString kOpenOptions = QStringLiteral("QSQLITE_OPEN_READONLY;QSQLITE_OPEN_URI");

// The name under which SQLite opens the file at path with those options.
QString immutableUri(const QString& path)
{
    return QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()).toString(QUrl::FullyEncoded)
         + QStringLiteral("?immutable=1");
}

// Points db at the file at path, read-only and immutable.
void configure(QSqlDatabase& db, const QString& path)
{
    db.setDatabaseName(immutableUri(path));
    db.setConnectOptions(kOpenOptions);
}

const char* boolText(bool value)
{
    return value ? "true" : "false";
}

// The handle is open; otherwise logs why the search cannot run.
bool readyToSearch(const QSqlDatabase& database, const char* operation)
{
    if (database.isValid() && database.isOpen())
        return true;
    qDebug() << operation << "--database not open";
    return false;
}

// Why the file at path is no whole SQLite database by its header and its
// length, or empty.
QString wholeFileProblem(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return file.errorString();
    return sqliteheader::wholeFileProblem(file.read(sqliteheader::kHeaderBytes), file.size());
}

// What the searches read of a device's table.
const char* const kReadColumns[] = {"SF-VERSION", "STATUS", "NOTE", "ROM1-FILE", "ROM1-SUM", "ROM2-FILE", "ROM2-SUM"};

// Why the open database db cannot serve the page, or empty: its structure
// must pass SQLite's quick check (which does not notice missing pages at the
// end: the header check does), and at least one table must be one that the
// searches take, by its name and its columns.
QString checkContent(const QSqlDatabase& db)
{
    QSqlQuery query(db);
    if (!query.exec(QStringLiteral("PRAGMA quick_check")))
        return query.lastError().text();
    if (!query.next() || query.value(0).toString() != QLatin1String("ok"))
        return QStringLiteral("damaged: %1").arg(query.value(0).toString());
    query.finish();

    if (!query.exec(QStringLiteral("SELECT name FROM sqlite_master WHERE type='table'")))
        return query.lastError().text();
    QStringList tables;
    while (query.next())
        tables << query.value(0).toString();
    query.finish();

    QStringList columns;
    for (const char* column : kReadColumns)
        columns << QLatin1Char('[') + QLatin1String(column) + QLatin1Char(']');
    for (const QString& table : qAsConst(tables)) {
        if (!firmwarenames::isPlainTableName(table))
            continue;
        const QString sql = QStringLiteral("SELECT %1 FROM \"%2\" LIMIT 1").arg(columns.join(QLatin1Char(',')), table);
        if (query.exec(sql))
            return QString();
        query.finish();
    }
    return QStringLiteral("no usable table");
}

} // namespace

const char* const record_db::kConnectionName = "ConnectDataUpgradeExcel";

const QString& record_db::installableStatus()
{
    static const QString status = QStringLiteral("M1:[可升级]");
    return status;
}

record_db::record_db()
    : m_database()
    , m_query()
{
}

record_db::~record_db()
{
    // Waits for an operation that may still hold a caller's lock.
    if (m_mutex) {
        m_mutex->lock();
        m_mutex->unlock();
    }
    // The connection this object opened goes with it, so that no later
    // object finds it open on a file that it never chose.
    if (m_database.isValid() && m_database.isOpen()) {
        m_query = QSqlQuery();
        m_database.close();
        m_database = QSqlDatabase();
        QSqlDatabase::removeDatabase(connectionName());
    }
}

QMutex* record_db::lockMutex()
{
    if (!m_mutex) {
        m_ownMutex = std::make_unique<QMutex>();
        m_mutex = m_ownMutex.get();
    }
    return m_mutex;
}

void record_db::setDbName(const QString& name)
{
    m_dbName = name;
}

bool record_db::isOpen() const
{
    return m_database.isValid() && m_database.isOpen();
}

void record_db::init()
{
    qDebug() << "record_db::init--0-----";
    QMutexLocker locker(lockMutex());
    if (m_database.isValid() && m_database.isOpen())
        return;
    if (m_dbName.isEmpty())
        return;
    if (!QFileInfo(m_dbName).isFile()) {
        qDebug() << "Error: record_db::init  Failed to connect record_database. no such file"
                 << m_dbName;
        return;
    }

    // Taken without opening: a connection left behind by a failed open must
    // not reopen on its earlier file.
    if (QSqlDatabase::contains(connectionName()))
        m_database = QSqlDatabase::database(connectionName(), false);
    else
        m_database = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connectionName());

    if (m_database.isOpen()) {
        // Another record_db holds the shared connection open.
        qDebug() << "Error record_db::init---err already open " << m_dbName;
        return;
    }
    configure(m_database, m_dbName);
    if (m_database.open())
        m_query = QSqlQuery(m_database);
    else
        qDebug() << "Error: record_db::init  Failed to connect record_database."
                 << m_database.lastError().text();
}

void record_db::initWithLock(QMutex* lock)
{
    if (!lock) {
        qDebug() << "initWithLock--failed";
        return;
    }
    m_mutex = lock;
    init();
    qDebug() << "initWithLock--ok";
}

bool record_db::setLock(QMutex* lock)
{
    if (!lock)
        return false;
    m_mutex = lock;
    return true;
}

void record_db::dbClose()
{
    QMutexLocker locker(lockMutex());
    if (!m_database.isValid() || !m_database.isOpen()) {
        qDebug() << "record_db::dbClose--record_database invalid ";
        return;
    }
    qDebug() << "record_db::dbClose---set name sysdb = " << m_dbName;
    // Nothing may refer to the connection when it leaves the registry.
    m_query = QSqlQuery();
    m_database.close();
    m_database = QSqlDatabase();
    QSqlDatabase::removeDatabase(connectionName());
    qDebug() << "warn record_db::dbClose---open--to--close--,open status=" << boolText(isOpen());
}

bool record_db::SearchTableNameInfoDB(QStringList& names)
{
    {
        QMutexLocker locker(lockMutex());
        qDebug() << "SearchTableNameInfoDB-------------------------valid=" << boolText(m_query.isValid())
                 << "driver status= " << boolText(isOpen());
        if (readyToSearch(m_database, "SearchTableNameInfoDB")) {
            m_query = QSqlQuery(m_database);
            if (m_query.exec(QStringLiteral("SELECT name FROM sqlite_master WHERE type='table'"))) {
                while (m_query.next()) {
                    const QString name = m_query.value(0).toString();
                    // SQLite's own bookkeeping is no device's firmware.
                    if (!firmwarenames::isSqliteInternalTable(name))
                        names.append(name);
                }
            } else {
                qDebug() << m_query.lastError().text();
            }
            m_query.finish();
        }
        for (const QString& name : qAsConst(names))
            qDebug() << "Table Name: " << name;
    }
    qDebug() << "SearchTableNameInfoDB-------------OVER------------";
    return !names.isEmpty();
}

bool record_db::SearchVersionInfoDB(QStringList& versions, QStringList& notes, QString table)
{
    QMutexLocker locker(lockMutex());
    qDebug() << "SearchVersionInfoDB-------------------------";
    if (!firmwarenames::isPlainTableName(table)) {
        qDebug() << "SearchVersionInfoDB--refused table name:" << table;
        return !versions.isEmpty();
    }
    if (!readyToSearch(m_database, "SearchVersionInfoDB"))
        return !versions.isEmpty();

    m_query = QSqlQuery(m_database);
    const QString sql =
        QStringLiteral("select  [SF-VERSION],[NOTE] from \"%1\" where STATUS=? ").arg(table);
    qDebug() << "sql:" << sql;
    m_query.prepare(sql);
    m_query.addBindValue(installableStatus());
    if (!m_query.exec()) {
        qDebug() << m_query.lastError().text();
        return !versions.isEmpty();
    }
    qDebug() << "--SearchVersionInfoDB--------size=" << m_query.size();
    qDebug() << "--SearchVersionInfoDB--------count=" << m_query.record().count();
    while (m_query.next()) {
        versions.append(m_query.value(0).toString());
        QString note = QStringLiteral(" ");
        const QByteArray bytes = m_query.value(1).toByteArray();
        if (!bytes.isEmpty()) {
            const int nul = bytes.indexOf('\0');
            note = QString::fromUtf8(nul < 0 ? bytes : bytes.left(nul));
        }
        qDebug() << "BLOB data converted to QString:" << note;
        notes.append(note);
    }
    m_query.finish();
    return !versions.isEmpty();
}

bool record_db::SearchFirmwareInfoDB(QByteArray& file, QByteArray& sum, int romIndex,
                                     QString version, QString table)
{
    QMutexLocker locker(lockMutex());
    qDebug() << "SearchFirmwareInfoDB-------------------------";
    if (!firmwarenames::isPlainTableName(table)) {
        qDebug() << "SearchFirmwareInfoDB--refused table name:" << table;
        return !file.isEmpty();
    }
    if (!readyToSearch(m_database, "SearchFirmwareInfoDB"))
        return !file.isEmpty();

    const QString fileColumn = QStringLiteral("ROM%1-FILE").arg(romIndex);
    const QString sumColumn = QStringLiteral("ROM%1-SUM").arg(romIndex);
    m_query = QSqlQuery(m_database);
    const QString sql = QStringLiteral("select  [%1],[%2] from \"%3\" where  [SF-VERSION]=? and "
                                       "STATUS=? ")
                            .arg(fileColumn, sumColumn, table);
    qDebug() << "SearchFirmwareInfoDB--sql:" << sql;
    m_query.prepare(sql);
    m_query.addBindValue(version);
    m_query.addBindValue(installableStatus());
    if (!m_query.exec()) {
        qDebug() << m_query.lastError().text();
        return !file.isEmpty();
    }
    qDebug() << "--SearchFirmwareInfoDB--------size=" << m_query.size();
    if (m_query.next()) {
        file.append(m_query.value(0).toByteArray());
        sum.append(m_query.value(1).toByteArray());
    }
    m_query.finish();
    return !file.isEmpty();
}

void record_db::appendLogLine(const QString& text)
{
    QFile file(QStringLiteral("log.txt"));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append))
        return;
    file.write(text.toLocal8Bit() + "\r\n");
    file.flush();
    file.close();
}

bool record_db::checkDatabaseFile(const QString& path, QString* why)
{
    const auto fail = [why](const QString& reason) {
        if (why)
            *why = reason;
        return false;
    };
    if (!QFileInfo(path).isFile())
        return fail(QStringLiteral("no such file"));
    if (QFileInfo(path).size() > kMaxDatabaseBytes)
        return fail(QStringLiteral("larger than %1 bytes").arg(kMaxDatabaseBytes));
    const QString notWhole = wholeFileProblem(path);
    if (!notWhole.isEmpty())
        return fail(notWhole);

    // A connection of its own: the shared one may hold the working database.
    static QAtomicInt serial;
    const QString name = QStringLiteral("record_db_check_%1").arg(serial.fetchAndAddRelaxed(1));
    QString error;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        configure(db, path);
        if (db.open())
            error = checkContent(db);
        else
            error = db.lastError().text();
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    return error.isEmpty() || fail(error);
}
