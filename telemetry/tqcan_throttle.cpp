// The throttle test: eight groups of four ESC rows, each group one Cyphal
// message every 10 ms while the test runs, carrying the rows' set-points
// (the sender, telemetry/throttlesender.h, sends them and the zeros of a
// group it stops sending). A set-point is shown twice, as a spin box and as
// a clickable bar, which follow each other; the settings dialog sets the
// common maximum.

#include "configurator/tqcan.h"
#include "ui_tqcan.h"

#include <QCoreApplication>
#include <QDebug>
#include <QGridLayout>
#include <QMouseEvent>
#include <QSpinBox>

#include "firmware/paracombobox.h"
#include "link/cyphalports.h"
#include "telemetry/cprogressbarv2.h"
#include "telemetry/throtcfgdialog.h"

void TQCAN::on_comboBoxThrot_currentIndexChanged(int index)
{
    // Every way of switching the test off or lowering the count ends here;
    // the groups left out get their zeros from the sender.
    m_throttle.setGroups(index);
    qDebug() << "--------on_comboBoxThrot---index=" << index << ",m_gas_update_index=" << m_throttle.groups();
}

void TQCAN::stopThrottleTest()
{
    // Setting the index calls the slot when it changes; the direct call
    // covers a combo box already at 0 with the timer somehow running.
    ui->comboBoxThrot->setCurrentIndex(0);
    on_comboBoxThrot_currentIndexChanged(0);
}

int TQCAN::throttleSetPoint(int row) const
{
    const QSpinBox* box = m_escRows[size_t(row)].setPoint;
    return box ? box->value() : 0;
}

int TQCAN::gasIndexToSubjectId(int escIndex)
{
    if (escIndex < 0 || escIndex >= ThrottleSender::kGroups * ThrottleSender::kRowsPerGroup)
        return 0;
    return kPortThrottleFirst + escIndex / ThrottleSender::kRowsPerGroup;
}

void TQCAN::initThrottleBars()
{
    for (EscRow& r : m_escRows) {
        if (!r.barFrame)
            continue;
        auto* bar = new CProgressBarV2(r.barFrame);
        bar->setRange(0, m_throttleMax);
        bar->resize(r.barFrame->size());
        connect(bar, &CProgressBarV2::changeVale, this, &TQCAN::doProcessGasValueChange,
                Qt::UniqueConnection);
        bar->setValue(0);
        auto* grid = new QGridLayout(r.barFrame);
        grid->setContentsMargins(0, 0, 0, 0);
        grid->addWidget(bar, 0, 0);
        grid->setRowStretch(0, 1);
        grid->setColumnStretch(0, 1);
        r.bar = bar;
    }
    // Scrolling the rows with the wheel changes neither the group count
    // (whatever has the focus) nor a set-point on its way.
    WheelBlocker::install(ui->comboBoxThrot);
    for (EscRow& r : m_escRows) {
        if (!r.setPoint)
            continue;
        r.setPoint->setRange(0, m_throttleMax);
        r.setPoint->setValue(0);
        WheelBlocker::install(r.setPoint);
        connect(r.setPoint, QOverload<int>::of(&QSpinBox::valueChanged), this,
                &TQCAN::doProcessChangeBar, Qt::UniqueConnection);
    }
}

void TQCAN::doProcessGasValueChange(int value, QString parentName)
{
    for (EscRow& r : m_escRows) {
        if (r.barFrame && r.barFrame->objectName() == parentName) {
            // Values past the bar's ends are clamped by the spin box.
            r.setPoint->setValue(value);
            return;
        }
    }
}

void TQCAN::doProcessChangeBar(int value)
{
    const int row = m_escRowOfWidget.value(sender(), 0);
    if (row < 1 || row > kEscRows)
        return;
    if (CProgressBarV2* bar = m_escRows[row - 1].bar)
        bar->setValue(value);
}

void TQCAN::applyThrottleRange(int min, int max)
{
    for (EscRow& r : m_escRows) {
        if (r.setPoint)
            r.setPoint->setRange(min, max); // a larger value drops to max; its bar follows
    }
    for (EscRow& r : m_escRows) {
        if (r.bar)
            r.bar->setRange(min, max);
    }
}

void TQCAN::zeroAllSetPoints()
{
    for (int row = 1; row <= kEscRows; ++row)
        zeroSetPoint(row);
    emit stopKeyPressed();
}

void TQCAN::zeroSetPoint(int row)
{
    if (row < 1 || row > kEscRows)
        return;
    EscRow& r = m_escRows[size_t(row - 1)];
    if (r.setPoint) {
        // An arrow held down steps its box up again and again: the box
        // lets go as at the button's release, and steps again only on
        // the next press.
        QMouseEvent release(QEvent::MouseButtonRelease, QPointF(), Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
        QCoreApplication::sendEvent(r.setPoint, &release);
        r.setPoint->setValue(0);
    }
    // A bar being dragged would set its row again on the next move.
    if (r.bar)
        r.bar->letGo();
}

void TQCAN::on_btn_throt_set_clicked()
{
    if (!m_throtCfgDialog) {
        m_throtCfgDialog = new ThrotCfgDialog(this);
        m_throtCfgDialog->resize(250, 300);
        Qt::WindowFlags flags = m_throtCfgDialog->windowFlags();
        flags &= ~Qt::WindowMaximizeButtonHint;
        flags |= Qt::MSWindowsFixedSizeDialogHint;
        m_throtCfgDialog->setWindowFlags(flags);
        m_throtCfgDialog->show();
        m_throtCfgDialog->setWindowFlags(m_throtCfgDialog->windowFlags() | Qt::Dialog
                                         | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
        m_throtCfgDialog->setSizeGripEnabled(true);
        m_throtCfgDialog->setModal(true);
    }
    if (m_throtCfgDialog->exec() != QDialog::Accepted)
        return;
    m_throtCfgDialog->getValues(m_throttleMax, m_throttleFreqIndex);
    applyThrottleRange(0, m_throttleMax);
    qDebug() << "on_btn_throt_set_clicked: maximum" << m_throttleMax << "refresh index"
             << m_throttleFreqIndex << "(the send interval stays 10 ms)";
}
