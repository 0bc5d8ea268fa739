// The firmware upgrade of one node: ask the node what it is, enter upgrade
// mode, send part 1, restart, ask who it is, send part 2, restart, ask who
// it is, success. A small state machine in
// page members, stepped by the node's replies (device information, execute
// command, register 5, file writes, heartbeats that show a restart), by
// three single-shot timers and by a watchdog on the page's 1 s timer.
//
// The serial worker carries the 256-byte writes of one part by itself; the
// page gives it leave (GO) for each next write once the node acknowledged
// the previous one. Each part ends with a read of register 5, whose value
// tells the next step.
//
// Only the node being upgraded can move the sequence: replies of other nodes
// and stray replies of this one (a store command's status, an answer to a
// restart) change nothing. Any refusal, a restart the upgrade did not cause
// and an answer of another device end the upgrade at once with the failure
// box; a node that goes quiet ends it by the watchdog. After each restart
// the upgrade causes, a device swapped in under the node's ID may look just
// like the node coming back (in its boot loader, with the uptime of a fresh
// start): before part 2 and before the success, the node is asked who it
// is, and only the unique ID the start's answer gave lets it go on.

#include "configurator/tqcan.h"
#include "ui_tqcan.h"

#include <QDebug>
#include <QMessageBox>
#include <QTableWidget>

#include "app/tqformalpagecontrol.h"
#include "configurator/devinfo.h"
#include "configurator/tqcan_private.h"
#include "firmware/firmwarenames.h"
#include "link/crc.h"

namespace {

// Values of m_upgradeState.
enum UpgradeState {
    e_UPGRADE_IDLE = 0,
    e_UPGRADE_MODE = 1,     // enter-upgrade command sent
    e_UPGRADE_READY = 2,    // waiting for register 5 to report ready for part 1
    e_UPGRADE_PART1 = 3,
    e_UPGRADE_REBOOT1 = 4,  // restarting between the parts
    e_UPGRADE_PART2 = 5,
    // Asking the node what it is: the controls are locked, nothing of the
    // upgrade has gone to the node yet.
    e_UPGRADE_IDENTIFY = 6,
    e_UPGRADE_CHECK2 = 7,   // back for part 2: asking who it is
    e_UPGRADE_REBOOT2 = 8,  // restarting after part 2: asking who it is then
};

// The enter-upgrade command has gone out: the node's replies drive the
// sequence.
bool commandSent(int state)
{
    return state != e_UPGRADE_IDLE && state != e_UPGRADE_IDENTIFY;
}

// The steps that read register 5; in the others its value is no answer.
bool readsStatus(int state)
{
    return state >= e_UPGRADE_READY && state <= e_UPGRADE_PART2;
}

// States that wait for the answer to a question who the node is: a restart
// seen meanwhile voids the question, which is asked again. Before part 2
// the node must be in its boot loader (a heartbeat in another mode ends the
// upgrade).
bool asksWhoItIs(int state, int mode)
{
    return state == e_UPGRADE_IDENTIFY || state == e_UPGRADE_REBOOT2
        || (state == e_UPGRADE_CHECK2 && (mode == kModeSoftwareUpdate || mode == kRestartSeenInAnswer));
}

// Commands of the execute-command service.
constexpr int kCmdEnterUpgrade = 0xFFFD;
constexpr int kCmdRestart = 0xFFFF;
// The node checks it; the page only sends it.
const QString kAccessCode = QStringLiteral(" .vr-kisa");

// Register 5 tells how far the node's boot loader is.
constexpr int kRegUpgradeStatus = 5;
constexpr int kRegReadOk = 16;
constexpr int kReadyPart1 = 0x20;
constexpr int kDonePart1 = 0xa0;
constexpr int kReadyPart2 = 0x40;
constexpr int kDonePart2 = 0xa1;

constexpr int kFileWriteOk = 0;
constexpr int kChunkBytes = 256;      // the worker's write size
constexpr int kUniqueDataBytes = 8;   // the file path of every write

constexpr int kWatchdogSeconds = 10;  // without progress
// For the node's device information at the start: some 40 frames, which an
// adapter's full queue holds back for up to 2.6 s.
constexpr int kIdentitySeconds = 4;
constexpr int kRebootWaitMs = 5000;
constexpr int kReReadMs = 2000;
// The node is asked who it is this long after the last restart command, and
// again whenever its restart shows.
constexpr int kInfoAfterRestartMs = 500;

// Columns of the firmware tab's device table.
constexpr int kColNode = 1;
constexpr int kColProgress = 5;

tqformalpagecontrol* control()
{
    return tqformalpagecontrol::getInstance();
}

// Looks up one part of a version. True when a node could take it: an image
// that is not empty, and unique data long enough for the path of every write.
bool findUsablePart(record_db& db, int part, const QString& version, const QString& table,
                    QByteArray* image, QByteArray* uniqueData)
{
    const bool found = db.SearchFirmwareInfoDB(*image, *uniqueData, part, version, table);
    if (found && !image->isEmpty() && uniqueData->size() >= kUniqueDataBytes)
        return true;
    qCritical() << "upgrade: no usable part" << part << "of version" << version << "in table" << table
                << "image bytes" << image->size() << "unique data bytes" << uniqueData->size();
    return false;
}

} // namespace

void TQCAN::startUpgrade()
{
    if (m_upgradeState != e_UPGRADE_IDLE) {
        qDebug() << "startUpgrade: an upgrade is running already, node" << m_upgrade_devId;
        return;
    }
    // Every check comes before any state is set: a refused start leaves the
    // page idle, so that no later reply can drive a phantom upgrade.
    const int row = getUpgradeDevCheckedRow();
    const QTableWidgetItem* nodeItem = row >= 0 ? ui->tableWidget_dev->item(row, kColNode) : nullptr;
    bool ok = false;
    const int node = nodeItem ? nodeItem->text().toInt(&ok, 16) : 0;
    if (!ok || node < kFirstNodeId || node > kLastNodeId) {
        QMessageBox::information(this, tr("Info"), tr("Please Select One Device"));
        return;
    }
    const QString version = ui->comboBox_dev_ver->currentText();
    if (version.isEmpty()) {
        QMessageBox::information(this, tr("Info"),
                                 tr("Not Have Valid Firmware To Updata,Please Check !"));
        return;
    }

    // The versions offered are those of the table last chosen; a node of
    // another type (its box checked by a path that chose nothing, a new
    // node information since) must never get that table's firmware.
    const QString nodeType = getDevTypeById(node);
    const QString nodeTable = firmwarenames::matchFirmwareTable(nodeType, mDbTableNameL);
    if (nodeTable.isEmpty() || nodeTable != m_selTable) {
        qCritical() << "startUpgrade: node" << node << "of type" << nodeType << "has table" << nodeTable
                    << "but the version comes from" << m_selTable;
        showUpgradeFailedBox();
        return;
    }

    // Both parts are checked before the node leaves its application: a node
    // sent into its boot loader for a part that cannot follow stays there.
    int totalLen = 0;
    for (int part : {1, 2}) {
        QByteArray image;
        QByteArray uniqueData;
        if (!findUsablePart(m_recordDb, part, version, m_selTable, &image, &uniqueData)) {
            showUpgradeFailedBox();
            return;
        }
        totalLen += image.size();
    }

    m_upgradeTotalLen = totalLen;
    m_upgradeSentLen = 0;
    m_upgrade_devId = node;
    m_upgradeVersion = version;
    m_upgradeTable = m_selTable;
    m_upgradeState = e_UPGRADE_IDENTIFY;
    qDebug() << "startUpgrade: node" << node << "version" << version << "table" << m_upgradeTable;

    ui->comboBox_dev_ver->setEnabled(false);
    ui->btnUpgradedev->setEnabled(false);
    // No throttle set-points while a node runs its boot loader; a refused
    // start above leaves a running throttle test alone.
    stopThrottleTest();
    ui->comboBoxThrot->setEnabled(false);
    ui->btnDownloadDBCSV->setEnabled(false);

    // The row says what the node was when it last said so: a device swapped
    // in under its ID since (a restart within its first second shows in no
    // heartbeat) would take firmware that is not its own. The node is asked
    // again; the answer to this question alone sends the enter-upgrade
    // command, or refuses.
    m_upgradeInfoTid = askNodeInfo(node);
    m_upgrade_timeout = kIdentitySeconds;
    if (!m_checkDevTimer.isActive())
        m_checkDevTimer.start();
}

void TQCAN::handleUpgradeIdentity(int nodeId, int transferId, const DevInfoTexts& info)
{
    if (m_upgradeState == e_UPGRADE_IDLE || nodeId != m_upgrade_devId)
        return;
    const QString& devType = info.devType;
    // The rule the version list was chosen by.
    const bool ownTable = firmwarenames::matchFirmwareTable(devType, mDbTableNameL) == m_upgradeTable;
    if (commandSent(m_upgradeState)) {
        if (!ownTable || info.uniqueId != m_upgradeUniqueId) {
            qCritical() << "handleUpgradeIdentity: node" << nodeId << "now answers as another device," << devType
                        << info.uniqueId << "; state" << m_upgradeState;
            failUpgrade();
            return;
        }
        if (transferId != m_upgradeInfoTid)
            return;
        if (m_upgradeState == e_UPGRADE_CHECK2) {
            qDebug() << "handleUpgradeIdentity: node" << nodeId << "is the one that took part 1";
            m_upgradeState = e_UPGRADE_PART2;
            reqUpgradeFile409Msg(e_UPGRADE_PART2);
        } else if (m_upgradeState == e_UPGRADE_REBOOT2) {
            qDebug() << "handleUpgradeIdentity: node" << nodeId << "is back with its new firmware";
            endUpgrade();
            QMessageBox::information(nullptr, tr("Info"), tr("Upgrade success!"));
        }
        return;
    }
    // An answer to an earlier question (the one after an earlier upgrade,
    // say) may come from the device before a swap.
    if (transferId != m_upgradeInfoTid)
        return;
    if (!ownTable) {
        qCritical() << "startUpgrade: node" << nodeId << "now reports" << devType << "; version"
                    << m_upgradeVersion << "is of table" << m_upgradeTable;
        refuseUpgrade(tr("Node 0x%1 now reports itself as \"%2\", but version %3 is firmware for %4: "
                         "nothing was sent to it. The list now shows the versions for its type.")
                          .arg(nodeId, 0, 16)
                          .arg(devType, m_upgradeVersion, m_upgradeTable));
        return;
    }

    m_upgradeState = e_UPGRADE_MODE;
    m_upgradeUniqueId = info.uniqueId;
    emit control()->signalModeCtrlF(m_upgrade_devId, kCmdEnterUpgrade, kAccessCode);
    QTableWidget* table = ui->tableWidget_dev;
    for (int r = 0; r < table->rowCount(); ++r) {
        QTableWidgetItem* progress = table->item(r, kColProgress);
        if (progress && !progress->text().isEmpty())
            progress->setText(QString());
    }
    m_upgrade_timeout = kWatchdogSeconds;
}

void TQCAN::handleNodeRestart(int nodeId, int mode, int answerTid)
{
    // The device that answers a question who it is may be the one from
    // before: the question is asked again, within the same bound. An
    // answer to it that shows the restart is the new device's.
    if (nodeId == m_upgrade_devId && asksWhoItIs(m_upgradeState, mode)) {
        if (answerTid < 0 || answerTid != m_upgradeInfoTid)
            m_upgradeInfoTid = askNodeInfo(nodeId);
        return;
    }
    // The answer that showed it is at hand (and checked by the upgrade).
    if (mode == kRestartSeenInAnswer)
        return;
    const bool upgrading = nodeId == m_upgrade_devId && commandSent(m_upgradeState);
    // The restarts the upgrade causes bring the node back in its boot
    // loader, waiting for a part: into it after the enter-upgrade command,
    // and between the parts. It is the node the start asked about.
    if (upgrading && mode == kModeSoftwareUpdate && m_upgradeState != e_UPGRADE_PART1
        && m_upgradeState != e_UPGRADE_PART2) {
        qDebug() << "handleNodeRestart: node" << nodeId << "restarted for the upgrade, state" << m_upgradeState;
        return;
    }
    qDebug() << "handleNodeRestart: node" << nodeId << "restarted, mode" << mode << "; asked what it is now";
    askNodeInfo(nodeId);
    if (upgrading) {
        qCritical() << "handleNodeRestart: node" << nodeId << "restarted in the middle of the upgrade, state"
                    << m_upgradeState;
        failUpgrade();
    }
}

void TQCAN::setUpgradeControlsEnabled()
{
    ui->btnDownloadDBCSV->setEnabled(true);
    ui->comboBox_dev_ver->setEnabled(true);
    ui->btnUpgradedev->setEnabled(true);
    ui->comboBoxThrot->setEnabled(true);
}

void TQCAN::endUpgrade()
{
    const int node = m_upgrade_devId;
    m_upgradeState = e_UPGRADE_IDLE;
    m_upgrade_devId = 0;
    m_upgrade_timeout = 0;
    m_upgradeInfoTid = -1;
    m_upgradeUniqueId.clear();
    m_upgradeVersion.clear();
    m_upgradeTable.clear();
    setUpgradeControlsEnabled();
    if (!m_portOpen && m_checkDevTimer.isActive() && m_upDB_timeout == 0)
        m_checkDevTimer.stop();
    // No longer being upgraded, the node's versions offered follow what it
    // last said it is (its row already does).
    showCheckedNodeAnswer(node);
}

// In both, the page is idle before the box opens: replies that arrive while
// it is shown find nothing to drive.
void TQCAN::failUpgrade()
{
    endUpgrade();
    showUpgradeFailedBox();
}

void TQCAN::refuseUpgrade(const QString& reason)
{
    endUpgrade();
    QMessageBox::information(nullptr, tr("Info"), reason);
}

void TQCAN::showUpgradeFailedBox()
{
    QMessageBox::information(nullptr, tr("Info"), tr("Upgrade failed, please try again!"));
}

void TQCAN::upgradeWatchdogTick()
{
    if (m_upgrade_timeout <= 0 || m_upgradeState == e_UPGRADE_IDLE)
        return;
    if (--m_upgrade_timeout > 0)
        return;
    if (m_upgradeState == e_UPGRADE_IDENTIFY) {
        qCritical() << "startUpgrade: node" << m_upgrade_devId << "did not say what it is";
        refuseUpgrade(tr("Node 0x%1 did not say what device it is: nothing was sent to it. Please try again.")
                          .arg(m_upgrade_devId, 0, 16));
        return;
    }
    qCritical() << "Error: m_upgrade_timeout timeout " << m_upgrade_timeout;
    failUpgrade();
}

void TQCAN::startUpgradeReadReg5()
{
    m_upgradeState = e_UPGRADE_READY;
    emit control()->signalSeachRegF(m_upgrade_devId, kRegUpgradeStatus, 0, 0);
}

void TQCAN::handleUpgrade435Msg(int nodeId, int status)
{
    // A store reply of the parameter tab, or another node's answer, is none
    // of the upgrade's business.
    if (!commandSent(m_upgradeState) || nodeId != m_upgrade_devId)
        return;
    if (status != 0) {
        qCritical() << "handleUpgrade435Msg: node" << nodeId << "refused a command, status" << status
                    << "state" << m_upgradeState;
        failUpgrade();
        return;
    }
    // Only the answer to the enter-upgrade command counts: a status 0 later
    // on (a node answering its restart) must not send the sequence back.
    if (m_upgradeState == e_UPGRADE_MODE)
        startUpgradeReadReg5();
}

void TQCAN::handleRegReadWrite256MsgUpgrade(int op, int reg, int value)
{
    if (!readsStatus(m_upgradeState))
        return;
    if (op != kRegReadOk || reg != kRegUpgradeStatus)
        return;

    if (m_upgradeState == e_UPGRADE_READY) {
        if (value != kReadyPart1)
            return;
        qDebug() << "-----handleRegReadWrite256MsgUpgrade----upgrade-0x0020----e_UPGRADE_PART1--";
        m_upgradeState = e_UPGRADE_PART1;
        reqUpgradeFile409Msg(e_UPGRADE_PART1);
        if (m_upgradeState != e_UPGRADE_IDLE)
            m_upgrade_timeout = kWatchdogSeconds;
        return;
    }

    if (m_upgradeState == e_UPGRADE_PART1 && value == kDonePart1) {
        qDebug() << "-----handleRegReadWrite256MsgUpgrade----upgrade-0x00a0----e_UPGRADE_REBOOT1--";
        m_upgradeState = e_UPGRADE_REBOOT1;
        emit control()->signalModeCtrlF(m_upgrade_devId, kCmdRestart, QStringLiteral("0"));
        QTimer::singleShot(kRebootWaitMs, this, SLOT(doProcessSingleTimerOut()));
        m_upgrade_timeout = kWatchdogSeconds;
    } else if (m_upgradeState == e_UPGRADE_REBOOT1 && value == kReadyPart2) {
        // Back from the restart, waiting for part 2: the device there now
        // must be the one that took part 1.
        qDebug() << "-----handleRegReadWrite256MsgUpgrade----upgrade-0x0040----e_UPGRADE_PART2--";
        m_upgradeState = e_UPGRADE_CHECK2;
        m_upgradeInfoTid = askNodeInfo(m_upgrade_devId);
        m_upgrade_timeout = kWatchdogSeconds;
    } else if (m_upgradeState == e_UPGRADE_PART2 && value == kDonePart2) {
        // The node's answer to the restart, if it gives one, finds nothing
        // to drive; its answer who it is once back ends the upgrade.
        m_upgradeState = e_UPGRADE_REBOOT2;
        m_upgradeInfoTid = -1;
        emit control()->signalModeCtrlF(m_upgrade_devId, kCmdRestart, QStringLiteral("0"));
        qDebug() << "-----handleRegReadWrite256MsgUpgrade----upgrade-finish------";
        m_upgrade_timeout = kWatchdogSeconds;
        QTimer::singleShot(kInfoAfterRestartMs, this, SLOT(doProcessFroceSearchDev()));
    } else {
        // Not there yet (or a value this step does not know): ask again.
        QTimer::singleShot(kReReadMs, this, SLOT(doProcessSingleTimerOutReadReg()));
    }
}

void TQCAN::reqUpgradeFile409Msg(int state)
{
    const QString version = m_upgradeVersion;
    const QString table = m_upgradeTable;
    qDebug() << "---reqUpgradeFile409Msg----strVersion=" << version << "--strTableName=" << table;

    const int part = state == e_UPGRADE_PART2 ? 2 : 1;
    QByteArray image;
    QByteArray uniqueData;
    const bool usable = findUsablePart(m_recordDb, part, version, table, &image, &uniqueData);
    const uint32_t crc = crc32Firmware(reinterpret_cast<const uint8_t*>(image.constData()),
                                       static_cast<uint32_t>(image.size()));
    qDebug() << "-----------file--fileUniqueData=" << uniqueData;
    qDebug() << "---------reqUpgradeFile409Msg-----fileCRC=" << QString::number(crc, 16);

    // Checked at the start; a database changed since then gives nothing a
    // node could take: no transfer, and the user hears of it now rather
    // than from the watchdog.
    if (!usable) {
        failUpgrade();
        return;
    }
    qDebug() << "-reqUpgradeFile409Msg--firmware file len=" << image.size() << "------";
    qDebug() << "-reqUpgradeFile409Msg--db version--2-" << version << ", iSelPart=" << part
             << "---firmware file len=" << image.size();

    const int dataLen = image.size();
    emit control()->signalDownloadFirmwareF(m_upgrade_devId, dataLen, image, uniqueData);
    qDebug() << "-------------reqUpgradeFile409Msg--" << m_upgrade_devId << 409 << dataLen;
    m_upgrade_timeout = kWatchdogSeconds;
}

void TQCAN::handleUpgrade409Msg(int result)
{
    if (result != kFileWriteOk)
        return; // no leave: the part stops, and the watchdog ends the upgrade
    if (m_upgradeState == e_UPGRADE_PART1)
        qDebug() << "-----handleUpgrade409Msg----e_UPGRADE_PART1---read--05--reg --";
    else if (m_upgradeState == e_UPGRADE_PART2)
        qDebug() << "-----handleUpgrade409Msg----e_UPGRADE_PART2---read--05--reg --";
    else
        return;
    emit control()->signalDownloadFirmwareGOF(m_upgrade_devId);
    m_upgradeSentLen += kChunkBytes;
    showUpgradeProces(m_upgradeSentLen);
    m_upgrade_timeout = kWatchdogSeconds;
}

void TQCAN::showUpgradeProces(int bytesSent)
{
    int percent = 0;
    if (bytesSent > 0 && m_upgradeTotalLen > 0)
        percent = static_cast<int>(qMin<qint64>(qint64(bytesSent) * 100 / m_upgradeTotalLen, 100));

    QTableWidget* table = ui->tableWidget_dev;
    for (int row = 0; m_upgrade_devId != 0 && row < table->rowCount(); ++row) {
        const QTableWidgetItem* node = table->item(row, kColNode);
        if (!node)
            continue;
        qDebug() << "doProcessClickProTable---selDevId = " << node->text()
                 << ",m_upgrade_devId=" << m_upgrade_devId;
        if (node->text().toInt(nullptr, 16) != m_upgrade_devId)
            continue;
        const QString text = QStringLiteral("%1%").arg(percent);
        if (QTableWidgetItem* cell = table->item(row, kColProgress)) {
            cell->setText(text);
        } else {
            auto* item = new QTableWidgetItem(text);
            item->setTextAlignment(Qt::AlignCenter);
            table->setItem(row, kColProgress, item);
        }
        qDebug() << "showUpgradeProces------showPrecent------" << percent;
        break;
    }
}

void TQCAN::doProcessSingleTimerOut()
{
    if (m_upgradeState != e_UPGRADE_REBOOT1)
        return;
    emit control()->signalSeachRegF(m_upgrade_devId, kRegUpgradeStatus, 0, 0);
    qDebug() << "----timerout---e_UPGRADE_REBOOT1---req read 0x05-------";
}

void TQCAN::doProcessSingleTimerOutReadReg()
{
    if (readsStatus(m_upgradeState))
        emit control()->signalSeachRegF(m_upgrade_devId, kRegUpgradeStatus, 0, 0);
}

void TQCAN::doProcessFroceSearchDev()
{
    // Unless its restart showed first, and the question went out then.
    if (m_upgradeState == e_UPGRADE_REBOOT2 && m_upgradeInfoTid < 0)
        m_upgradeInfoTid = askNodeInfo(m_upgrade_devId);
}
