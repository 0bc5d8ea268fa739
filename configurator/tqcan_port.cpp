// The adapter's serial port: the port list, opening and closing, and how the
// page shows the port's state (button caption, port picture, link lamp).

#include "configurator/tqcan.h"
#include "ui_tqcan.h"

#include <QDebug>
#include <QMessageBox>
#include <QPixmap>

#include "app/msgtypes.h"
#include "app/tqformalpagecontrol.h"
#include "configurator/canbaud.h"
#include "configurator/tqcan_private.h"
#include "telemetry/qcwindicatorlamp.h"
#include "telemetry/statuslampform.h"

void TQCAN::handelClickOpenBtn(int force)
{
    if (m_portOpen || force) {
        // Closed by the user: the running throttle groups get their zeros
        // while the port still carries them. A lost port carries nothing.
        if (m_portOpen && !force)
            m_throttle.sendZeros();
        if (m_portOpen)
            emit tqformalpagecontrol::getInstance()->signalOpenOrClosePortF(false, m_openPortName, 0);
        m_portOpen = false;
        if (m_baudSeqActive || m_baudAwaitingReturn)
            finishBaudChange(); // the port went away under the bit-rate change
        setOpenBtnName(false);
        showPortClosed();
        return;
    }

    // A listed port, or any path typed into the box (/dev/serial/by-id/...).
    const QString name = ui->comboBox_serial->currentText().trimmed();
    if (name.isEmpty()) {
        QMessageBox::information(this, tr("Info"), tr("Please Chose Serial Port"));
        return;
    }
    const int rate = static_cast<int>(canbaud::rateOf(ui->comboBox_baud->currentIndex()));
    emit tqformalpagecontrol::getInstance()->signalOpenOrClosePortF(true, name, rate);
    // Shown open at once; the link's open result corrects it if it failed.
    m_openPortName = name;
    m_portOpen = true;
    m_linkCount = kLinkCountReload;
    setOpenBtnName(true);
    ui->comboBox_serial->setEnabled(false);
    ui->comboBox_baud->setEnabled(false);
}

void TQCAN::setOpenBtnName(bool bStatus)
{
    setOpenBtnCaption(bStatus);
    ui->label_port_led->setPixmap(QPixmap(bStatus ? QStringLiteral(":/resource/pic/port_open.png")
                                                  : QStringLiteral(":/resource/pic/port_close.png")));
    if (bStatus) {
        if (!m_checkDevTimer.isActive())
            m_checkDevTimer.start();
    } else if (m_checkDevTimer.isActive() && m_upgrade_timeout == 0 && m_upDB_timeout == 0) {
        // A running upgrade or download keeps its watchdog ticking.
        m_checkDevTimer.stop();
    }
}

void TQCAN::setOpenBtnCaption(bool open)
{
    ui->btnOpen->setText(open ? tr("关闭") : tr("打开"));
}

void TQCAN::showPortClosed()
{
    m_linkLamp->setAlarm(false);
    m_statusLampForm->setStatusWord(0, false);
    ui->comboBox_serial->setEnabled(true);
    ui->comboBox_baud->setEnabled(true);
}

void TQCAN::doProcessRecvPagePack(CommunicatPage page)
{
    if (page.code == kPageCodeSearchResult && page.name == g_strCmdType[e_TQ_OPAL_SEARCH])
        refillPortList(page.text);
}

void TQCAN::refillPortList(const QString& listText)
{
    const QStringList names = listText.split(QLatin1Char(','), Qt::SkipEmptyParts);
    qDebug() << "refillPortList--ports:" << names;

    QComboBox* box = ui->comboBox_serial;
    QStringList oldItems;
    for (int i = 0; i < box->count(); ++i)
        oldItems << box->itemText(i);
    // The open port stays shown; a path typed by hand is kept, as ports
    // reached by path (pseudo-terminals, by-id links) are never listed.
    const QString keep = m_portOpen ? m_openPortName : box->currentText().trimmed();
    const bool typedByHand = !keep.isEmpty() && !oldItems.contains(keep);

    const QSignalBlocker blocker(box);
    box->clear();
    box->addItems(names);
    const int index = names.indexOf(keep);
    if (index >= 0)
        box->setCurrentIndex(index);
    else if (m_portOpen || typedByHand)
        box->setEditText(keep);
}
