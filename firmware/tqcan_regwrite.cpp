// Writing a device's parameters: the options the table shows (or the
// defaults) converted into register values, one write each, the store
// command once every write is answered; and the Options combos' changes.
//
// A write sequence converts the whole list first and then sends, 20 ms
// apart, so the count holds exactly the writes sent; replies are queued
// events and none is handled before the last write is out.

#include "configurator/tqcan.h"
#include "ui_tqcan.h"

#include <QComboBox>
#include <QDebug>
#include <QInputDialog>
#include <QMessageBox>
#include <QPointer>
#include <QThread>

#include "app/tqformalpagecontrol.h"
#include "app/tqpagecontrol.h"
#include "firmware/regtext.h"

namespace {

constexpr unsigned long kWritePacingMs = 20;
constexpr unsigned long kStoreDelayMs = 20;
constexpr unsigned long kRestoreReadDelayMs = 100;
constexpr int kRegOpWrite = 2;
constexpr uint8_t kOpWriteOk = 0x20;
// Execute-command code that stores the persistent states.
constexpr int kCmdStorePersistent = 0xFFFA;

int firstRegisterWithAddress(const QList<RegRecord>& records, const QString& address)
{
    for (int i = 0; i < records.size(); ++i) {
        if (records.at(i).attr == QLatin1String("REG") && records.at(i).m_reg == address)
            return i;
    }
    return -1;
}

} // namespace

bool TQCAN::handleSetCfgReg()
{
    qDebug() << "handleSetCfgReg--0---";
    if (getDevTableCheckedRow() == -1) {
        QMessageBox::information(nullptr, tr("Info"), tr("Please Chose One Dev"));
        return false;
    }
    endRegisterSequences();
    const QStringList values = getCurSetPageValues();
    mRecoveryFlag = false;
    qDebug() << "----handleSetCfgReg---" << values;
    writeSettingRegValue(values, false);
    updataAllSettingRegValue(values, regtext::kRegListKey);
    return true;
}

bool TQCAN::handleRecoveyCfgReg()
{
    qDebug() << "handleRecoveyCfgReg--0---";
    if (getDevTableCheckedRow() == -1) {
        QMessageBox::information(nullptr, tr("Info"), tr("Please Chose One Dev"));
        return false;
    }
    endRegisterSequences();
    const QStringList values = getDefaultRegValueList();
    mRecoveryFlag = true;
    writeSettingRegValue(values, true);
    return true;
}

bool TQCAN::writeSettingRegValue(QStringList values, bool bRawValue)
{
    if (values.isEmpty() || m_setDevId == 0)
        return false;

    struct Write {
        int reg;
        int value;
        QString address;
    };
    QList<Write> writes;
    bool complete = true;
    for (const QString& item : qAsConst(values)) {
        QString address;
        QString valueText;
        if (!regtext::splitValueItem(item, &address, &valueText))
            continue;
        qDebug() << "--writeSettingRegValue----" << address << "--" << valueText << regtext::numericPart(valueText);
        const int index = regtext::findRegister(mRegParaList, address);
        int reg = 0;
        if (index < 0 || !regtext::parseRegAddress(address, &reg))
            continue;
        int value = 0;
        const regtext::Conversion result =
            regtext::writeValue(mRegParaList.at(index).optionText, valueText, bRawValue, &value);
        if (result == regtext::Conversion::EndOfList) {
            qWarning() << "--writeSettingRegValue----range without ~ for" << address << ": the rest is not sent";
            complete = false;
            break;
        }
        if (result == regtext::Conversion::Value)
            writes.append({reg, value, address});
    }

    if (writes.isEmpty())
        return complete;
    mReadRegCount += writes.size();
    m_regWriteRunning = true;
    const int devId = m_setDevId;
    for (const Write& w : qAsConst(writes)) {
        qDebug() << "-----writeSettingRegValue-------opCmd=" << kRegOpWrite << "-nodeId=" << devId
                 << "-regAddr=" << w.reg << "_0x" << w.address << "-regValue=" << w.value;
        emit TQPageControl::getInstance()->signalSeachReg(devId, w.reg, kRegOpWrite, w.value);
        QThread::msleep(kWritePacingMs);
    }
    return complete;
}

bool TQCAN::updataAllSettingRegValue(QStringList values, qint16 devRow)
{
    if (values.isEmpty() || m_setDevId == 0)
        return false;
    for (const QString& item : qAsConst(values)) {
        QString address;
        QString valueText;
        if (!regtext::splitValueItem(item, &address, &valueText))
            continue;
        qDebug() << "--updataAllSettingRegValue----" << address << "--" << valueText;
        const int index = regtext::findRegister(mRegParaList, address);
        if (index < 0)
            continue;
        RegRecord record;
        if (!regtext::refreshValue(mRegParaList.at(index).optionText, valueText, &record.curValue))
            continue;
        record.m_reg = address;
        record.devRow = devRow;
        upsertRegRecord(devRow, record);
    }
    return true;
}

bool TQCAN::handleWriteSetRegValue(int nodeId, const uint8_t* payload, uint32_t size)
{
    Q_UNUSED(size) // the reply's value is only logged, from the zero-padded view
    if (!payload)
        return false;
    const int reg = payload[1];
    const int op = payload[0];
    qDebug() << "handleWriteSetRegValue start-----------------selReg=" << reg;
    if (!isParameterReply(nodeId)) {
        qDebug() << "handleWriteSetRegValue---reply of node" << nodeId << "ignored";
        return false;
    }
    if (!m_regWriteRunning) {
        qDebug() << "handleWriteSetRegValue---no write running: reply ignored";
        return false;
    }

    int found = -1;
    for (int i = 0; i < mRegParaList.size() && found < 0; ++i) {
        const RegRecord& r = mRegParaList.at(i);
        qDebug() << "handleWriteSetRegValue---1--------------------selReg=" << r.m_reg;
        int address = -1;
        if (r.attr == QLatin1String("REG") && regtext::parseRegAddress(r.m_reg, &address) && address == reg)
            found = i;
    }
    if (found >= 0) {
        qDebug() << "handleWriteSetRegValue---2-------reg=" << mRegParaList.at(found).m_reg
                 << "----------op state=" << QString::number(op, 16) << "--value=" << (payload[2] | payload[3] << 8);
        if (op != kOpWriteOk) {
            // The sequence is over before the box: replies handled while it
            // is open find no write running.
            mReadRegCount = -1;
            m_regWriteRunning = false;
            mRecoveryFlag = false;
            QMessageBox::information(this, tr("Info"),
                                     tr("Write Reg: %1, Err: %2, Please Check!").arg(regtext::hexByte(reg), regtext::hexByte(op)));
            return false;
        }
        --mReadRegCount;
    }
    if (mReadRegCount != 0) {
        qDebug() << "handleWriteSetRegValue---3--------------------mReadRegCount=" << mReadRegCount;
        return true;
    }

    m_regWriteRunning = false;
    QThread::msleep(kStoreDelayMs);
    emit tqformalpagecontrol::getInstance()->signalModeCtrlF(m_setDevId, kCmdStorePersistent, QStringLiteral("0"));
    if (mRecoveryFlag) {
        // Read everything again so that the table shows the restored values.
        QThread::msleep(kRestoreReadDelayMs);
        readParaFile();
    }
    mRecoveryFlag = false;
    QMessageBox::information(this, tr("Info"), tr("Write Parameter Success !"));
    return true;
}

QString TQCAN::getRegAddrByCombo(QWidget* combo)
{
    QTableWidget* table = ui->tableWidget_set_regList;
    for (int row = 0; row < table->rowCount() && table->columnCount() > 3; ++row) {
        if (table->cellWidget(row, 3) == combo) {
            const QTableWidgetItem* address = table->item(row, 0);
            return address ? address->text() : QString();
        }
    }
    return QString();
}

void TQCAN::doprocessSelSetRegChange(int selIndex)
{
    Q_UNUSED(selIndex)
    // The dialog below runs an event loop: the table may be rebuilt, and
    // this combo deleted, before it returns.
    QPointer<QComboBox> combo = qobject_cast<QComboBox*>(sender());
    if (!combo)
        return;
    const QString text = combo->currentText();
    if (text.isEmpty() || text == QLatin1String(" ")) {
        qCritical() << "---err-doprocessSelSetRegChange--1---";
        return;
    }

    if (!regtext::isIntegerEntryItem(text)) {
        const QString address = getRegAddrByCombo(combo);
        if (address.isEmpty())
            return;
        const int index = firstRegisterWithAddress(mRegParaList, address);
        if (index >= 0 && !mRegParaList.at(index).curOptionText.isEmpty())
            mRegParaList[index].curOptionText = text;
        return;
    }

    regtext::IntegerEntry entry;
    if (!regtext::parseIntegerEntry(text, &entry))
        return;
    bool accepted = false;
    const int value = QInputDialog::getInt(this, tr("Input Value"), tr("Enter an integer:"), entry.lo, entry.lo,
                                           entry.hi, 1, &accepted);
    if (!combo)
        return;

    if (accepted) {
        qDebug() << "User entered:" << value;
        qDebug() << "Number of items in the combo box:" << combo->count();
        const QString newText = QString::number(value) + entry.unit;
        int item = combo->findText(newText, Qt::MatchExactly | Qt::MatchCaseSensitive);
        if (item < 0) {
            combo->addItem(newText);
            item = combo->count() - 1;
        }
        combo->setCurrentIndex(item);
        if (!combo)
            return;
        const QString address = getRegAddrByCombo(combo);
        const int index = address.isEmpty() ? -1 : firstRegisterWithAddress(mRegParaList, address);
        if (index >= 0)
            mRegParaList[index].curOptionText = newText;
        return;
    }

    // Cancelled: back to the option the register showed.
    const QString address = getRegAddrByCombo(combo);
    const int index = address.isEmpty() ? -1 : firstRegisterWithAddress(mRegParaList, address);
    if (index < 0)
        return;
    const QString previous = mRegParaList.at(index).curOptionText;
    if (previous.isEmpty())
        return;
    int item = combo->findText(previous, Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (item < 0)
        item = combo->findText(QLatin1Char('*') + previous, Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (item >= 0)
        combo->setCurrentIndex(item);
}
