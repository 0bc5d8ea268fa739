// The page's buttons: one slot, dispatching on the clicked button's name.

#include "configurator/tqcan.h"
#include "ui_tqcan.h"

#include <QDebug>
#include <QMessageBox>

#include "app/tqformalpagecontrol.h"

void TQCAN::doProcessClickedAllBtn()
{
    const QObject* button = sender();
    if (!button)
        return;
    const QString name = button->objectName();
    qDebug() << "doProcessClickedAllBtn--" << name;

    if (name == QLatin1String("btn_read_para")) {
        if (readParaFile())
            QMessageBox::information(nullptr, tr("Info"), tr("Read Para File Completed!"));
    } else if (name == QLatin1String("btn_para_download") || name == QLatin1String("btn_recovery")) {
        if (refuseWithoutParameters())
            return;
        if (name == QLatin1String("btn_para_download"))
            handleSetCfgReg();
        else
            handleRecoveyCfgReg();
    } else if (name == QLatin1String("btn_local_save")) {
        if (refuseWithoutParameters())
            return;
        if (refuseAfterRestart())
            return;
        const int row = getDevTableCheckedRow();
        if (row == -1) {
            QMessageBox::information(nullptr, tr("Info"), tr("Please Chose One Dev"));
        } else if (saveSetRegValueToFile(static_cast<short>(row))) {
            QMessageBox::information(nullptr, tr("Info"), tr("Save File Success !"));
        } else {
            QMessageBox::critical(nullptr, tr("Info"), tr("Save File Err !"));
        }
    } else if (name == QLatin1String("btn_local_load")) {
        loadLocalParaFile();
    } else if (name == QLatin1String("btnOpen")) {
        clearDevAndRegInfo();
        handelClickOpenBtn(0);
    } else if (name == QLatin1String("btn_set_id")) {
        // The node in its boot loader would take the ID too, and the list
        // with the upgrade's progress would be cleared.
        if (refusedDuringUpgrade())
            return;
        changeNodeId();
    } else if (name == QLatin1String("btn_set_baud")) {
        startBaudChange();
    } else if (name == QLatin1String("btn_refresh_port")) {
        emit tqformalpagecontrol::getInstance()->signalSeachPortF();
    } else if (name == QLatin1String("btnDownloadDBCSV")) {
        startDownloadCSVRequest();
    } else if (name == QLatin1String("btnUpgradedev")) {
        startUpgrade(); // switches the throttle test off once the start is accepted
    }
}
