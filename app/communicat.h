#ifndef COMMUNICAT_H
#define COMMUNICAT_H

// The records that travel between the page controllers, the message hub and
// the worker threads. All are passed by value through queued signals.

#include <QByteArray>
#include <QMetaType>
#include <QString>

#include "app/response_data.h"

// A request or reply between a page controller, the hub and a worker.
struct Communicat {
    int SrcType = 0;       // sending page or worker (see e_PageId)
    int DestType = 0;      // destination (see e_PageId)
    QString cmdtype;       // one of the message-type names below
    QString arg1;          // numbers as decimal text, lists joined with ","
    QString arg2;
    QByteArray data;       // payload
    qintptr sender = 0;    // the sending controller's address
    int param = 0;         // node ID, baud rate, file type or 0, by message type
};

// What a page controller hands to its page.
struct CommunicatPage {
    int code = 0;          // 100 for a port-search result
    QString name;          // a message-type name
    QString text;          // the result text
};

// Page and worker identifiers used in SrcType and DestType.
enum e_PageId {
    e_MAINPAGE = 0,
    e_CASHSELPAGE = 1,
    e_TQPAGE = 2,
    e_TQFORMALPAGE = 3,
    e_NETTHREAD_START = 5,
    e_NETTHREAD = 6,
    e_TQTHREAD = 9,
    e_HEART_LOCAL = 10,
};

// Code of a CommunicatPage that carries a port-search result.
constexpr int kPageCodeSearchResult = 100;

Q_DECLARE_METATYPE(Communicat)
Q_DECLARE_METATYPE(CommunicatPage)
Q_DECLARE_METATYPE(response_data_struct_t)

// Registers the three records for queued connections; main calls it once,
// tests call it before they start threads.
void registerCommunicatMetaTypes();

#endif // COMMUNICAT_H
