// The register list of the device chosen on the parameter tab: its small
// operations, the transfer-IDs of the requests (apart for each node and
// port, so that a node that leaves its requests unanswered holds up only
// its own) and the answers awaited for them, also after their sequence
// ended, and the dropping of all device and register state.

#include "configurator/tqcan.h"

#include <QDebug>
#include <QMessageBox>
#include <QTimer>

#include <algorithm>

#include "link/cyphalports.h"
#include "link/libcanard/canard.h"

namespace {

// Far longer than any line delays an answer: until then the answer to an
// unanswered request may still come, and its transfer-ID is not handed out.
constexpr int kAnswerMayComeMs = 60000;

} // namespace

QString TQCAN::getDevTypeById(int nodeId) const
{
    const auto it = mDevInfoMap.constFind(nodeId);
    if (it == mDevInfoMap.constEnd())
        return QString();
    return it->value(QStringLiteral("devType"));
}

void TQCAN::setRegParaList(const QList<RegRecord>& records)
{
    mRegParaList = records;
    ++m_regListGeneration;
    m_readUnfinishedNode = 0;
}

void TQCAN::removeRegRecord(qint16 devRow)
{
    for (int i = mRegParaList.size() - 1; i >= 0; --i) {
        if (mRegParaList.at(i).devRow == devRow)
            mRegParaList.removeAt(i);
    }
}

void TQCAN::endRegisterReads()
{
    mReadRegCount = 0;
    m_regInfoReading = false;
    if (m_regInfoAwaitedTid >= 0) {
        QList<AwaitedAnswer> chunk {{m_regInfoAwaitedTid, -1}};
        endRequests(&chunk, kPortFileRead);
    }
    m_regInfoAwaitedTid = -1;
    m_regReadRunning = false;
    endRequests(&m_regReadsAwaited, kPortRegAccess);
    m_regReadTimer.stop();
}

void TQCAN::endRequests(QList<AwaitedAnswer>* awaited, int port)
{
    // The chosen node's, which stays chosen while its sequence runs (it
    // ends first); none chosen (the node left), its IDs wait out their time.
    if (m_setDevId != 0 && !awaited->isEmpty())
        m_transferIds[{m_setDevId, port}].ended += *awaited;
    awaited->clear();
}

void TQCAN::endRegisterSequences()
{
    endRegisterReads();
    endWrite();
}

QVector<int> TQCAN::takeTransferIds(int nodeId, int port, int count)
{
    // An ID whose request went unanswered waits for its answer however the
    // request ended, and the one that went out last is never the next (the
    // link drops an answer whose ID repeats the last one's).
    static_assert(std::tuple_size<decltype(TransferIds::out)>::value == canard::kTransferIdModulo,
                  "one deadline per transfer-ID");
    QVector<int> ids;
    if (count < 1)
        return ids;
    TransferIds& t = m_transferIds[{nodeId, port}];
    for (int step = 0; step < canard::kTransferIdModulo && ids.size() < count; ++step) {
        const int id = (t.next + step) % canard::kTransferIdModulo;
        if (id != t.last && t.out[id].hasExpired())
            ids.append(id);
    }
    if (ids.isEmpty() || (ids.size() < 2 && count > 1)) {
        qWarning() << "takeTransferIds--" << count << "requests to node" << nodeId << "port" << port
                   << ", but only" << ids.size() << "transfer-IDs are free of earlier requests";
        QMessageBox::information(nullptr, tr("Info"),
                                 tr("The Dev Has Not Answered Earlier Requests, Please Try Again Shortly!"));
        return {};
    }
    t.next = (ids.last() + 1) % canard::kTransferIdModulo;
    return ids;
}

int TQCAN::requestTransferId(int nodeId, int port, const QVector<int>& ids, int index)
{
    const int id = ids.at(index % ids.size());
    TransferIds& t = m_transferIds[{nodeId, port}];
    t.out[id].setRemainingTime(kAnswerMayComeMs);
    t.last = id;
    // Handed out, the ID has waited its time: an answer to an ended
    // request under it is no longer told from the new request's.
    t.ended.erase(std::remove_if(t.ended.begin(), t.ended.end(),
                                 [id](const AwaitedAnswer& a) { return a.transferId == id; }),
                  t.ended.end());
    return id;
}

bool TQCAN::takeEndedAnswer(int nodeId, int port, int transferId, int reg)
{
    const auto it = m_transferIds.find({nodeId, port});
    if (it == m_transferIds.end() || !takeAwaitedAnswer(&it->ended, nodeId, port, transferId, reg))
        return false;
    qDebug() << "takeEndedAnswer--node" << nodeId << "port" << port << "answered request" << transferId
             << "of a sequence that has ended: it changes nothing but its transfer-ID";
    return true;
}

bool TQCAN::takeAwaitedAnswer(QList<AwaitedAnswer>* awaited, int nodeId, int port, int transferId, int reg)
{
    const auto found = std::find_if(awaited->begin(), awaited->end(), [&](const AwaitedAnswer& a) {
        return a.transferId == transferId && a.reg == reg;
    });
    if (found == awaited->end())
        return false;
    awaited->erase(found);
    // A sequence of more requests than free IDs sends some under one ID.
    if (std::none_of(awaited->cbegin(), awaited->cend(),
                     [&](const AwaitedAnswer& a) { return a.transferId == transferId; }))
        releaseTransferId(nodeId, port, transferId);
    return true;
}

void TQCAN::releaseTransferId(int nodeId, int port, int transferId)
{
    m_transferIds[{nodeId, port}].out.at(transferId) = QDeadlineTimer();
}

void TQCAN::dropRegisterList()
{
    setRegParaList({});
    endRegisterSequences();
    clearSetRegTable();
}

void TQCAN::clearDevAndRegInfo()
{
    const bool writeCut = m_regWriteRunning;
    refreshRegTable();
    dropRegisterList();
    m_setDevRow = -1;
    m_setDevId = 0;
    if (!writeCut)
        return;
    // No store command follows: the node holds the writes it took, unstored.
    // The box waits for the caller's end, so that the page shows its new
    // state (the port closed, say) behind it.
    qWarning() << "clearDevAndRegInfo--a running write was cut short";
    QTimer::singleShot(0, this, [this] {
        QMessageBox::information(this, tr("Info"),
                                 tr("Write Parameter Not Finished, The Dev May Hold Part Of It, Please Check!"));
    });
}
