#ifndef WORKERHARNESS_H
#define WORKERHARNESS_H

// Runs a real serial worker in a thread of its own, the way the hub does,
// and collects what it reports. Records arrive queued in the test's thread;
// their payloads are copied and freed at once, as the page does.

#include <QByteArray>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QList>
#include <QObject>
#include <QTest>
#include <QThread>

#include <functional>

#include "app/communicat.h"
#include "app/msgtypes.h"
#include "link/subserialtqthread.h"

struct LinkRecord {
    quint16 port = 0;
    quint8 node = 0;
    quint8 extra = 0;
    quint8 priority = 0;
    quint32 size = 0;
    bool hasPayload = false;
    QByteArray payload;

    quint16 u16(int at) const
    {
        return quint16(quint8(payload.at(at)) | (quint8(payload.at(at + 1)) << 8));
    }
};

class RecordSink : public QObject
{
    Q_OBJECT
public:
    QList<LinkRecord> records;

    // Waits until a record at index >= from satisfies pred; returns its
    // index, or -1 after timeoutMs.
    int waitFor(int from, const std::function<bool(const LinkRecord&)>& pred, int timeoutMs = 10000)
    {
        QDeadlineTimer deadline(timeoutMs);
        for (;;) {
            for (int i = from; i < records.size(); ++i) {
                if (pred(records.at(i)))
                    return i;
            }
            if (deadline.hasExpired())
                return -1;
            QTest::qWait(5);
        }
    }
    int waitForPort(int from, quint16 port, int timeoutMs = 10000)
    {
        return waitFor(from, [port](const LinkRecord& r) { return r.port == port; }, timeoutMs);
    }
    int count(quint16 port, int from = 0) const
    {
        int n = 0;
        for (int i = from; i < records.size(); ++i)
            n += records.at(i).port == port ? 1 : 0;
        return n;
    }

public slots:
    void onRecord(response_data_struct_t r)
    {
        LinkRecord x;
        x.port = r.port_id;
        x.node = r.remote_node_id;
        x.extra = r.extra;
        x.priority = r.priority;
        x.size = r.payload_size;
        x.hasPayload = r.payload != nullptr;
        if (r.payload)
            x.payload = QByteArray(reinterpret_cast<const char*>(r.payload), int(r.payload_size));
        delete[] r.payload;
        records.append(x);
    }
};

class WorkerHarness
{
public:
    WorkerHarness()
    {
        worker = new subSerialTQThread;
        QObject::connect(worker, &subSerialTQThread::signalNotifyTQPage, &sink, &RecordSink::onRecord,
                         Qt::QueuedConnection);
        QObject::connect(&thread, &QThread::finished, worker, &subSerialTQThread::cleanup);
        worker->moveToThread(&thread);
        thread.start(QThread::InheritPriority);
    }
    ~WorkerHarness()
    {
        thread.quit();
        thread.wait();
        delete worker;
        // Records still queued to the sink: take them, so that no payload leaks.
        QCoreApplication::sendPostedEvents(&sink);
    }

    void send(const Communicat& c)
    {
        subSerialTQThread* w = worker;
        QMetaObject::invokeMethod(worker, [w, c]() { w->doProcessRecvReq(c); }, Qt::QueuedConnection);
    }
    void send(int cmd, const QString& arg1, const QString& arg2, int param, const QByteArray& data = QByteArray())
    {
        Communicat c;
        c.SrcType = e_TQFORMALPAGE;
        c.DestType = e_TQTHREAD;
        c.cmdtype = g_strCmdType[cmd];
        c.arg1 = arg1;
        c.arg2 = arg2;
        c.data = data;
        c.param = param;
        send(c);
    }

    QThread thread;
    subSerialTQThread* worker = nullptr;
    RecordSink sink;
};

#endif // WORKERHARNESS_H
