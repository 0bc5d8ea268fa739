// The firmware versions offered for the chosen device and the note shown
// for the chosen version.

#include "configurator/tqcan.h"
#include "ui_tqcan.h"

#include <QDebug>

void TQCAN::showDbVersionList(QString table)
{
    mDbVersionL.clear();
    mDbNoteL.clear();
    if (!m_recordDb.SearchVersionInfoDB(mDbVersionL, mDbNoteL, table))
        return;
    qDebug() << "---db version--" << mDbVersionL;
    ui->comboBox_Version->clear();
    ui->comboBox_Version->addItems(mDbVersionL);
    if (!mDbNoteL.isEmpty())
        ui->textEdit->setText(mDbNoteL.first());
}

void TQCAN::doprocessSelVersionChange(int index)
{
    Q_UNUSED(index) // the version is found by its text
    if (!m_portOpen)
        return;
    const QString text = ui->comboBox_dev_ver->currentText();
    if (text.isEmpty() || text == QLatin1String(" ")) {
        qCritical() << "---err-doprocessSelVersionChange--1---";
        return;
    }
    if (mDbVersionL.isEmpty() || mDbVersionL.size() != mDbNoteL.size()) {
        qCritical() << "---err-doprocessSelVersionChange--2---";
        return;
    }
    const int i = mDbVersionL.indexOf(text);
    if (i >= 0)
        ui->textEdit->setText(mDbNoteL.at(i));
}
