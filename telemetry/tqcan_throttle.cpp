// The throttle test: eight groups of four ESC rows, each group one Cyphal
// message every 10 ms while the test runs, carrying the rows' set-points.
// A set-point is shown twice, as a spin box and as a clickable bar, which
// follow each other; the settings dialog sets the common maximum.

#include "configurator/tqcan.h"
#include "ui_tqcan.h"

#include <QDebug>
#include <QGridLayout>
#include <QSpinBox>

#include <algorithm>

#include "app/tqformalpagecontrol.h"
#include "link/cyphalports.h"
#include "telemetry/cprogressbarv2.h"
#include "telemetry/throtcfgdialog.h"

namespace {

constexpr int kGroups = 8;
constexpr int kRowsPerGroup = 4;

} // namespace

void TQCAN::on_comboBoxThrot_currentIndexChanged(int index)
{
    // Every way of switching the test off or lowering the count ends here.
    zeroGasGroupsAfter(index);
    m_gas_update_index = index;
    if (index != 0 && !m_gasTimer.isActive())
        m_gasTimer.start();
    else if (index == 0 && m_gasTimer.isActive())
        m_gasTimer.stop();
    qDebug() << "--------on_comboBoxThrot---index=" << index << ",m_gas_update_index=" << m_gas_update_index;
}

void TQCAN::stopThrottleTest()
{
    // Setting the index calls the slot when it changes; the direct call
    // covers a combo box already at 0 with the timer somehow running.
    ui->comboBoxThrot->setCurrentIndex(0);
    on_comboBoxThrot_currentIndexChanged(0);
}

void TQCAN::doProcessGasTimerOut()
{
    sendGasGroups(m_gas_update_index);
}

void TQCAN::sendGasGroups(int groups)
{
    int lastSubject = 0;
    auto* control = tqformalpagecontrol::getInstance();
    for (int g = 1; g <= groups && g <= kGroups; ++g) {
        int values[kRowsPerGroup] = {};
        for (int i = 0; i < kRowsPerGroup; ++i) {
            const QSpinBox* box = m_escRows[(g - 1) * kRowsPerGroup + i].setPoint;
            values[i] = box ? box->value() : 0;
        }
        lastSubject = kPortThrottleFirst + g - 1;
        emit control->signalGasMode6152F(lastSubject, values[0], values[1], values[2], values[3]);
    }
    // Every 10 ms: at debug level only, so as not to flood a log.
    if (groups > 0)
        qDebug() << "-------------spinbox change---updateIndex=" << groups << ",cmd=" << lastSubject;
}

void TQCAN::zeroGasGroupsAfter(int kept)
{
    // A node keeps the last set-point it heard, so a group whose messages
    // stop would go on turning at it.
    auto* control = tqformalpagecontrol::getInstance();
    for (int g = std::max(kept, 0) + 1; g <= m_gas_update_index && g <= kGroups; ++g)
        emit control->signalGasMode6152F(kPortThrottleFirst + g - 1, 0, 0, 0, 0);
}

int TQCAN::gasIndexToSubjectId(int escIndex)
{
    if (escIndex < 0 || escIndex >= kGroups * kRowsPerGroup)
        return 0;
    return kPortThrottleFirst + escIndex / kRowsPerGroup;
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
    for (EscRow& r : m_escRows) {
        if (!r.setPoint)
            continue;
        r.setPoint->setRange(0, m_throttleMax);
        r.setPoint->setValue(0);
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
    for (EscRow& r : m_escRows) {
        if (r.setPoint)
            r.setPoint->setValue(0);
    }
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
