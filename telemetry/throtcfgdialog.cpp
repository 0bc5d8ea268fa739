#include "telemetry/throtcfgdialog.h"
#include "ui_throtcfgdialog.h"

ThrotCfgDialog::ThrotCfgDialog(QWidget* parent)
    : QDialog(parent)
    , ui(new Ui::ThrotCfgDialog)
{
    ui->setupUi(this);
    setWindowTitle(tr("Throttle Config"));
    ui->spinBox_throt_max->setRange(kMinMaximum, kMaxMaximum);
    setValues(2048, 0);
}

ThrotCfgDialog::~ThrotCfgDialog()
{
    delete ui;
}

void ThrotCfgDialog::setValues(int maximum, int refreshRateIndex)
{
    ui->spinBox_throt_max->setValue(maximum);
    if (refreshRateIndex >= 0 && refreshRateIndex < ui->comBox_throt_freq->count())
        ui->comBox_throt_freq->setCurrentIndex(refreshRateIndex);
}

void ThrotCfgDialog::getValues(int& maximum, int& refreshRateIndex) const
{
    maximum = ui->spinBox_throt_max->value();
    refreshRateIndex = ui->comBox_throt_freq->currentIndex();
}

void ThrotCfgDialog::changeEvent(QEvent* event)
{
    QDialog::changeEvent(event);
    // The page's language switch reaches a dialog kept open since.
    if (event->type() == QEvent::LanguageChange) {
        ui->retranslateUi(this);
        setWindowTitle(tr("Throttle Config"));
    }
}

void ThrotCfgDialog::on_btn_throt_cfg_clicked()
{
    accept();
}
