#include "firmware/record_db.h"

#include <QDebug>

record_db::record_db()
    : m_database()
    , m_query(m_database)
{
}

record_db::~record_db()
{
    // Waits for an operation that may still hold the lock in another owner's
    // hands; the members go afterwards in reverse declaration order, and the
    // named connection, if any, is left to whoever closes it.
    if (m_mutex) {
        m_mutex->lock();
        m_mutex->unlock();
    }
}

void record_db::setDbName(const QString& name)
{
    m_dbName = name;
}

bool record_db::init()
{
    qDebug() << "record_db::init--0-----";
    if (m_database.isValid() && m_database.isOpen())
        return true;
    // No file chosen yet: the page asks for a database only once the
    // device-file list names one.
    if (m_dbName.isEmpty())
        return false;
    qDebug().noquote() << "record_db::init--no database support for" << m_dbName;
    return false;
}
