// Throttle-test and telemetry members of the configurator page, as the page
// reaches them. These bodies only log (the tab-change wiring excepted, which
// the page relies on): the throttle test, telemetry rows, lamps and chart
// replace this file.

#include "configurator/tqcan.h"
#include "ui_tqcan.h"

#include <QDebug>

void TQCAN::initEscWidgetLists()
{
    connect(ui->tabWidget, &QTabWidget::currentChanged, this, &TQCAN::doProcessTabChanged,
            Qt::UniqueConnection);
    qDebug() << "initEscWidgetLists: throttle rows not built yet";
}

void TQCAN::initWaveGroupBox()
{
    qDebug() << "initWaveGroupBox: chart not built yet";
}

void TQCAN::initThrottleBars()
{
    qDebug() << "initThrottleBars: throttle bars not built yet";
}

void TQCAN::handleEscTelemetryMsg(quint16 port, int nodeId, const uint8_t*, quint32 size)
{
    qDebug() << "handleEscTelemetryMsg: telemetry not built yet, port" << port << "node" << nodeId
             << "size" << size;
}

void TQCAN::doProcessGasTimerOut()
{
    qDebug() << "doProcessGasTimerOut: throttle test not built yet";
}

void TQCAN::on_comboBoxThrot_currentIndexChanged(int index)
{
    qDebug() << "on_comboBoxThrot_currentIndexChanged: throttle test not built yet, index" << index;
}

void TQCAN::on_btn_throt_set_clicked()
{
    qDebug() << "on_btn_throt_set_clicked: throttle settings not built yet";
}

void TQCAN::on_btnDefaultPara_clicked()
{
    qDebug() << "on_btnDefaultPara_clicked: chart not built yet";
}

void TQCAN::on_btnSuspend_clicked()
{
    qDebug() << "on_btnSuspend_clicked: chart not built yet";
}
