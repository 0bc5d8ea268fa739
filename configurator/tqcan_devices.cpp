// The nodes on the bus: heartbeats, device information, the 1 s count-down
// that drops silent nodes, the two device tables and the node selection.
//
// Both device tables list a node on the same row: the firmware tab's table
// (check box, node, type, versions, upgrade progress) and the parameter
// tab's list (radio button, node). They keep at least 12 rows and grow when
// more nodes answer.

#include "configurator/tqcan.h"
#include "ui_tqcan.h"

#include <QDebug>
#include <QRadioButton>
#include <QTableWidget>

#include <algorithm>

#include "app/tqformalpagecontrol.h"
#include "configurator/devinfo.h"
#include "configurator/tqcan_private.h"
#include "firmware/firmwarenames.h"
#include "telemetry/qcwindicatorlamp.h"

namespace {

// Columns of the firmware tab's device table.
enum DevColumn { kColSelect = 0, kColNode, kColType, kColHardVer, kColFirmVer, kColProgress };

// The last row, from the bottom, with any item of non-empty text; -1 if none.
int lastRowWithContent(const QTableWidget* table)
{
    for (int row = table->rowCount() - 1; row >= 0; --row) {
        for (int col = 0; col < table->columnCount(); ++col) {
            const QTableWidgetItem* item = table->item(row, col);
            if (item && !item->text().isEmpty()) {
                qDebug() << "Last row with content is: " << row;
                return row;
            }
        }
    }
    qDebug() << "No rows with content found.";
    return -1;
}

QTableWidgetItem* textItem(const QString& text)
{
    auto* item = new QTableWidgetItem(text);
    item->setTextAlignment(Qt::AlignCenter);
    return item;
}

} // namespace

void TQCAN::handleDevAlive(int nodeId, int mode, qint64 uptime)
{
    if (nodeId < kFirstNodeId || nodeId > kLastNodeId)
        return;
    // The uptime counts from the node's power-up: lower than the last one
    // heard, the node restarted, maybe as another device under the same ID.
    bool afterSilence = false;
    const bool restarted = noteHeartbeat(nodeId, uptime, &afterSilence);
    const auto it = mDevInfoMap.find(nodeId);
    if (it == mDevInfoMap.end()) {
        // A node not yet listed: ask who it is; its answer lists it.
        askNodeInfo(nodeId);
        return;
    }

    if (nodeId == m_upgrade_devId && mode == kModeSoftwareUpdate && m_upgradeState == 1) {
        // The node restarted into its boot loader: ask for the upgrade status.
        m_upgradeState = 2;
        emit tqformalpagecontrol::getInstance()->signalSeachRegF(m_upgrade_devId, 5, 0, 0);
    } else {
        (*it)[QStringLiteral("alive")] = QString::number(kAliveReload);
        setEscRowEnabled(nodeId - 15, true);
    }
    // Last: ending an upgrade shows a box, whose event loop may drop the
    // node's entry. A device swapped in within its first second shows no
    // lower uptime: after a silence its answer tells.
    if (restarted)
        noteNodeRestart(nodeId, mode);
    else if (afterSilence)
        askNodeInfo(nodeId);
}

void TQCAN::updateDevInfoMap(int nodeId, const DevInfoTexts& info, bool anotherDevice)
{
    if (nodeId < kFirstNodeId || nodeId > kLastNodeId)
        return;
    const QString& devType = info.devType;
    const QString& hardVer = info.hardVer;
    const QString& firmVer = info.firmVer;

    QTableWidget* table = ui->tableWidget_dev;
    const auto it = mDevInfoMap.find(nodeId);
    if (it != mDevInfoMap.end()) {
        // Listed already (its information was asked again): refresh the texts.
        (*it)[QStringLiteral("devType")] = devType;
        (*it)[QStringLiteral("hardVer")] = hardVer;
        (*it)[QStringLiteral("firmVer")] = firmVer;
        (*it)[QStringLiteral("uniqueId")] = info.uniqueId;
        const int row = devTableRowOfNode(table, nodeId);
        if (row < 0)
            return;
        table->setItem(row, kColType, textItem(devType));
        table->setItem(row, kColHardVer, textItem(hardVer));
        table->setItem(row, kColFirmVer, textItem(firmVer));
        // The progress shown was of the device before.
        QTableWidgetItem* progress = table->item(row, kColProgress);
        if (anotherDevice && progress)
            progress->setText(QString());
        showCheckedNodeAnswer(nodeId);
        return;
    }

    QMap<QString, QString> entry;
    entry.insert(QStringLiteral("devType"), devType);
    entry.insert(QStringLiteral("hardVer"), hardVer);
    entry.insert(QStringLiteral("firmVer"), firmVer);
    entry.insert(QStringLiteral("uniqueId"), info.uniqueId);
    entry.insert(QStringLiteral("alive"), QString::number(kAliveReload));
    mDevInfoMap.insert(nodeId, entry);

    // The same row in both tables: the one after the parameter list's last.
    const int row = getLastValidRowSetDev() + 1;
    ensureDeviceRow(row);
    auto* select = new QTableWidgetItem;
    select->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
    select->setCheckState(Qt::Unchecked);
    table->setItem(row, kColSelect, select);
    table->setItem(row, kColNode, textItem(nodeText(nodeId)));
    table->setItem(row, kColType, textItem(devType));
    table->setItem(row, kColHardVer, textItem(hardVer));
    table->setItem(row, kColFirmVer, textItem(firmVer));
    qDebug() << "updateDevInfoMap--new node=" << nodeId << devType << hardVer << firmVer
             << "row=" << row;

    makeSetDevRadioCell(nodeId);
}

void TQCAN::showCheckedNodeAnswer(int nodeId)
{
    const int row = devTableRowOfNode(ui->tableWidget_dev, nodeId);
    const auto it = mDevInfoMap.constFind(nodeId);
    if (row < 0 || row != getUpgradeDevCheckedRow() || it == mDevInfoMap.constEnd())
        return;
    // Its own type's list (or the version being installed on it) keeps the
    // user's choice.
    const bool beingUpgraded = m_upgradeState != 0 && nodeId == m_upgrade_devId;
    const QString table = firmwarenames::matchFirmwareTable(it->value(QStringLiteral("devType")), mDbTableNameL);
    if (beingUpgraded || table == m_selTable) {
        ui->lEdit_upgrade_hardver->setText(it->value(QStringLiteral("hardVer")));
        ui->lEdit_upgrade_firmver->setText(it->value(QStringLiteral("firmVer")));
    } else {
        chooseUpgradeRow(row);
    }
}

void TQCAN::doProcessCheckDevTimerOut()
{
    QList<int> silent;
    for (auto it = mDevInfoMap.begin(); it != mDevInfoMap.end(); ++it) {
        // The node being upgraded restarts and goes quiet on purpose; its
        // row carries the progress and must stay.
        if (m_upgradeState != 0 && it.key() == m_upgrade_devId)
            continue;
        const int alive = it->value(QStringLiteral("alive")).toInt() - 1;
        (*it)[QStringLiteral("alive")] = QString::number(alive);
        if (alive <= 0)
            silent << it.key();
    }
    for (int nodeId : qAsConst(silent)) {
        qDebug() << "doProcessCheckDevTimerOut--node gone:" << nodeId;
        removeDevice(nodeId);
    }

    updateLinkLamp();
    upgradeWatchdogTick();
    downloadWatchdogTick();
}

void TQCAN::updateLinkLamp()
{
    if (!mDevInfoMap.isEmpty()) {
        m_linkLamp->setRedMode(false);
        m_linkLamp->setAlarm(true);
        return;
    }
    const int before = m_linkCount;
    m_linkCount = std::max(m_linkCount - 1, kLinkCountFloor);
    if (before < 0 && m_portOpen) {
        // The adapter answered, but no node has for several ticks.
        m_linkLamp->setRedMode(true);
        m_linkLamp->setAlarm(true);
    }
}

void TQCAN::removeDevice(int nodeId)
{
    mDevInfoMap.remove(nodeId);
    nodeLeft(nodeId);

    QTableWidget* devTable = ui->tableWidget_dev;
    const int devRow = devTableRowOfNode(devTable, nodeId);
    if (devRow >= 0) {
        devTable->removeRow(devRow);
        keepMinimumRows(devTable);
    }

    QTableWidget* setTable = ui->tableWidget_set_devList;
    const int setRow = devTableRowOfNode(setTable, nodeId);
    if (setRow >= 0) {
        setTable->removeRow(setRow);
        keepMinimumRows(setTable);
        if (setRow == m_setDevRow) {
            m_setDevRow = -1;
            m_setDevId = 0;
        } else if (setRow < m_setDevRow) {
            --m_setDevRow;
        }
    }

    setEscRowEnabled(nodeId - 15, false);
}

void TQCAN::refreshRegTable()
{
    for (auto it = mDevInfoMap.cbegin(); it != mDevInfoMap.cend(); ++it)
        setEscRowEnabled(it.key() - 15, false);
    mDevInfoMap.clear();
    for (int nodeId : m_nodeWatch.keys())
        nodeLeft(nodeId);

    // Items and the radio buttons go; the rows stay.
    ui->tableWidget_dev->clearContents();
    ui->tableWidget_set_devList->clearContents();
}

int TQCAN::devTableRowOfNode(QTableWidget* table, int nodeId) const
{
    const QString text = nodeText(nodeId);
    for (int row = 0; row < table->rowCount(); ++row) {
        const QTableWidgetItem* item = table->item(row, kColNode);
        if (item && item->text() == text)
            return row;
    }
    return -1;
}

void TQCAN::keepMinimumRows(QTableWidget* table)
{
    if (table->rowCount() < kDevTableMinRows)
        table->setRowCount(kDevTableMinRows);
}

void TQCAN::ensureDeviceRow(int row)
{
    for (QTableWidget* table : {ui->tableWidget_dev, ui->tableWidget_set_devList}) {
        if (table->rowCount() <= row)
            table->setRowCount(row + 1);
    }
}

void TQCAN::doProcessClickProTable(int row, int column)
{
    qDebug() << "doProcessClickProTable row=" << row << "column=" << column;
    chooseUpgradeRow(row);
}

void TQCAN::doProcessDevItemChanged(QTableWidgetItem* item)
{
    // A box checked by any means (Space or another key, a click on the box)
    // chooses its row as a click does: the versions offered must always be
    // those of the checked node's type.
    if (item && item->column() == kColSelect && item->checkState() == Qt::Checked)
        chooseUpgradeRow(item->row());
}

void TQCAN::chooseUpgradeRow(int row)
{
    QTableWidget* table = ui->tableWidget_dev;
    {
        // Only the box of this row stays checked; the boxes set here are no
        // new choice.
        const QSignalBlocker blocker(table);
        for (int r = 0; r < table->rowCount(); ++r) {
            if (QTableWidgetItem* select = table->item(r, kColSelect))
                select->setCheckState(r == row ? Qt::Checked : Qt::Unchecked);
        }
    }
    const QTableWidgetItem* node = table->item(row, kColNode);
    const QTableWidgetItem* type = table->item(row, kColType);
    const QTableWidgetItem* hardVer = table->item(row, kColHardVer);
    const QTableWidgetItem* firmVer = table->item(row, kColFirmVer);
    if (node && type && hardVer && firmVer)
        showDevVersionFromDb(type->text(), hardVer->text(), firmVer->text(), node->text());
}

void TQCAN::showDevVersionFromDb(const QString& devType, const QString& hardVer,
                                 const QString& firmVer, const QString& nodeText)
{
    m_selTable.clear();
    ui->comboBox_dev_ver->setEnabled(true);

    // The device type names its database table by its two halves, as in
    // "P_FLY-ESC_A"; a node without a type yet has no table.
    const QString table = firmwarenames::matchFirmwareTable(devType, mDbTableNameL);

    if (table.isEmpty()) {
        ui->comboBox_dev_ver->clear();
        ui->lEdit_upgrade_devType->clear();
        ui->lEdit_upgrade_hardver->setText(hardVer);
        ui->lEdit_upgrade_firmver->setText(firmVer);
        ui->textEdit->clear();
        return;
    }

    showDbVersionList(table);
    ui->comboBox_dev_ver->clear();
    ui->textEdit->clear();
    ui->comboBox_dev_ver->addItems(mDbVersionL);
    ui->comboBox_dev_ver->setCurrentIndex(ui->comboBox_dev_ver->count() - 1);
    if (!mDbNoteL.isEmpty())
        ui->textEdit->setText(mDbNoteL.last());
    m_selTable = table;
    ui->comboBox_dev_ver->setEnabled(true);
    ui->lEdit_upgrade_devType->setText(table);
    ui->lEdit_upgrade_hardver->setText(hardVer);
    ui->lEdit_upgrade_firmver->setText(firmVer);

    // A node in the middle of an upgrade keeps the version being installed.
    if (m_upgrade_devId != 0 && m_upgrade_devId == nodeText.toInt(nullptr, 16)
        && !m_upgradeVersion.isEmpty()) {
        ui->comboBox_dev_ver->setCurrentText(m_upgradeVersion);
        ui->comboBox_dev_ver->setEnabled(false);
    }
}

int TQCAN::getDevTableCheckedRow()
{
    const QTableWidget* table = ui->tableWidget_set_devList;
    for (int row = 0; row < table->rowCount(); ++row) {
        const auto* radio = qobject_cast<QRadioButton*>(table->cellWidget(row, 0));
        if (radio && radio->isChecked())
            return row;
    }
    return -1;
}

bool TQCAN::updataSetPageRadioState(int row, int column, bool checked)
{
    if (row == -1)
        return false;
    auto* radio = qobject_cast<QRadioButton*>(ui->tableWidget_set_devList->cellWidget(row, column));
    if (!radio)
        return true;
    if (radio->isChecked() != checked) {
        qDebug() << "--updataSetPageRadioState--The radio button in cell (row: " << row
                 << ", col: " << column << ") is checked.";
        radio->setChecked(checked);
    }
    return true;
}

int TQCAN::getLastValidRowSetDev()
{
    return lastRowWithContent(ui->tableWidget_set_devList);
}

int TQCAN::getLastValidRowSetReg()
{
    return lastRowWithContent(ui->tableWidget_set_regList);
}

int TQCAN::getUpgradeDevCheckedRow() const
{
    const QTableWidget* table = ui->tableWidget_dev;
    for (int row = 0; row < table->rowCount(); ++row) {
        const QTableWidgetItem* select = table->item(row, kColSelect);
        if (select && select->checkState() == Qt::Checked)
            return row;
    }
    return -1;
}
