// A node's restarts, and its answers to the question who it is.
//
// A node restarts when its heartbeat's uptime is lower than the last one
// heard, or when, asked who it is, it answers otherwise than its row holds
// (another name, versions or unique ID): the page asks that of a node heard
// again after a silence of more than two heartbeat periods, whose uptime may
// not show a restart (a device swapped in within its first second). That
// is decided here alone, and every tab that holds a fact about the node
// hears of it here: its throttle set-point goes to 0, a parameter list read
// before is not written, restored or saved for it (a write under way
// ends), nor is any list loaded, written, restored or saved for it until
// it has said what it is now, and the firmware tab asks it what it is now
// (an upgrade running on it decides for itself).
//
// Each question carries a transfer-ID of the page's choosing, which the
// answer carries back. Answers to questions asked before the node's last
// restart seen tell of the device before it and count for nothing.

#include "configurator/tqcan.h"

#include <QDebug>

#include "app/tqformalpagecontrol.h"
#include "configurator/devinfo.h"
#include "configurator/tqcan_private.h"
#include "link/libcanard/canard.h"

namespace {

constexpr quint32 bitOf(int transferId)
{
    return 1u << transferId;
}

} // namespace

int TQCAN::askNodeInfo(int nodeId)
{
    NodeWatch& watch = m_nodeWatch[nodeId];
    // Never the ID of a question whose answer may still come: it would
    // count for this one.
    if ((watch.pending | watch.voided) == ~0u) {
        qWarning() << "askNodeInfo--node" << nodeId << "left every transfer-ID unanswered; the old ones are dropped";
        watch.voided = 0;
        watch.pending = 0;
    }
    int transferId = watch.nextTid;
    while ((watch.pending | watch.voided) & bitOf(transferId))
        transferId = (transferId + 1) % canard::kTransferIdModulo;
    watch.nextTid = (transferId + 1) % canard::kTransferIdModulo;
    watch.pending |= bitOf(transferId);
    emit tqformalpagecontrol::getInstance()->signalSeachVersionF(nodeId, transferId);
    return transferId;
}

void TQCAN::handleNodeAnswer(int nodeId, int transferId, const DevInfoTexts& info)
{
    NodeWatch& watch = m_nodeWatch[nodeId];
    const quint32 bit = bitOf(transferId % canard::kTransferIdModulo);
    if (watch.voided & bit) {
        watch.voided &= ~bit;
        qDebug() << "handleNodeAnswer--node" << nodeId << "answered question" << transferId
                 << "asked before its last restart: ignored";
        return;
    }
    watch.pending &= ~bit;

    const auto it = mDevInfoMap.constFind(nodeId);
    const bool listed = it != mDevInfoMap.constEnd();
    const bool anotherDevice = listed
        && (it->value(QStringLiteral("devType")) != info.devType || it->value(QStringLiteral("uniqueId")) != info.uniqueId);
    const bool otherThanRow = anotherDevice
        || (listed && (it->value(QStringLiteral("hardVer")) != info.hardVer || it->value(QStringLiteral("firmVer")) != info.firmVer));
    // A row not yet refreshed since a restart seen may differ: that restart
    // is the one the answer shows.
    if (otherThanRow && watch.rowKnown) {
        qDebug() << "handleNodeAnswer--node" << nodeId << "is no longer what its row holds:" << info.devType
                 << info.hardVer << info.firmVer << info.uniqueId;
        noteNodeRestart(nodeId, kRestartSeenInAnswer, transferId);
    }
    m_nodeWatch[nodeId].rowKnown = true;
    updateDevInfoMap(nodeId, info, anotherDevice);
    handleUpgradeIdentity(nodeId, transferId, info);
}

void TQCAN::noteNodeRestart(int nodeId, int mode, int answerTid)
{
    NodeWatch& watch = m_nodeWatch[nodeId];
    qDebug() << "noteNodeRestart--node" << nodeId << "restarted, mode" << mode;
    watch.voided |= watch.pending;
    watch.pending = 0;
    watch.rowKnown = false;
    // The parameter tab: a list read before is another device's, and the
    // answers of a write under way are the device before's.
    watch.restartedAt = ++m_restartCount;
    endWriteAfterRestart(nodeId);
    // The throttle test: nobody set anything for the device there now.
    zeroSetPoint(nodeId - 15);
    // Last: ending an upgrade shows a box, whose event loop may drop the
    // node's entry.
    handleNodeRestart(nodeId, mode, answerTid);
}

bool TQCAN::noteHeartbeat(int nodeId, qint64 uptime, bool* afterSilence)
{
    NodeWatch& watch = m_nodeWatch[nodeId];
    *afterSilence = watch.heard.isValid() && watch.heard.elapsed() > 2 * kHeartbeatPeriodMs;
    watch.heard.start();
    const bool lower = uptime >= 0 && uptime < watch.uptime;
    if (lower)
        qDebug() << "noteHeartbeat--node" << nodeId << "uptime" << uptime << "below" << watch.uptime;
    if (uptime >= 0)
        watch.uptime = uptime;
    return lower;
}

void TQCAN::stampRegList()
{
    m_regListRestartCount = m_restartCount;
    m_regListType = getDevTypeById(m_setDevId);
}

bool TQCAN::restartOutdatesList(bool loading) const
{
    // No node chosen: the caller says so.
    if (m_setDevId == 0)
        return false;
    // Until the node's answer after a restart, its type is not known: a
    // list taken meanwhile is stamped with the type its row held.
    const auto it = m_nodeWatch.constFind(m_setDevId);
    if (it != m_nodeWatch.constEnd() && !it->rowKnown)
        return true;
    if (loading)
        return false;
    return (it != m_nodeWatch.constEnd() && it->restartedAt > m_regListRestartCount)
        || m_regListType != getDevTypeById(m_setDevId);
}

void TQCAN::nodeLeft(int nodeId)
{
    NodeWatch& watch = m_nodeWatch[nodeId];
    watch.voided |= watch.pending;
    watch.pending = 0;
    watch.heard.invalidate();
    watch.uptime = -1;
}
