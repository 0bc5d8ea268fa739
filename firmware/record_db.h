#ifndef RECORD_DB_H
#define RECORD_DB_H

// Access object for the firmware database (an SQLite file). This version
// holds the handle, the query object, the optional lock and the file name,
// and opens nothing yet; the kiosk's shared widget and the configurator page
// each carry one from construction on.

#include <QMutex>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>

class record_db
{
public:
    record_db();
    ~record_db();

    record_db(const record_db&) = delete;
    record_db& operator=(const record_db&) = delete;

    // Stores the path of the database file; an open connection is not affected.
    void setDbName(const QString& name);
    // Opens the database named by setDbName. Without a name nothing is opened
    // and the result is false.
    bool init();

private:
    // Declared in this order so that destruction runs name, query, handle.
    QSqlDatabase m_database;
    QSqlQuery m_query;
    QMutex* m_mutex = nullptr;   // belongs to whoever installs it; never deleted here
    QString m_dbName;
};

#endif // RECORD_DB_H
