// The debug tab's tools for trying the firmware database and the device-file
// list by hand. The page removes the tab at start; the slots stay connected
// by name and only fill the tab's own widgets and the log.

#include "configurator/tqcan.h"
#include "ui_tqcan.h"

#include <QDebug>
#include <QDir>

#include "firmware/firmwarenames.h"

void TQCAN::on_btn_read_excel_clicked()
{
    const QString path = QDir::currentPath();
    qDebug() << "----path:" << path;
    // Reading the list through a spreadsheet application needs COM
    // automation, which this platform lacks; the CSV button reads it.
    qDebug() << "on_btn_read_excel_clicked--no spreadsheet automation available; nothing read from"
             << path + QStringLiteral("/devFileList.csv");
}

void TQCAN::on_btn_read_db_clicked()
{
    mDbTableNameL.clear();
    if (!m_recordDb.SearchTableNameInfoDB(mDbTableNameL))
        return;
    qDebug() << "---db table name--" << mDbTableNameL;
    ui->comboBox_table->clear();
    ui->comboBox_table->addItems(mDbTableNameL);
}

void TQCAN::on_btn_read_excel_csv_clicked()
{
    qDebug() << "----path:" << QDir::currentPath();
    readCSVFile(QDir::currentPath() + QStringLiteral("/devFileList.csv"));
}

void TQCAN::on_btn_download_clicked()
{
    const QString url = ui->lEditHttps->text();
    m_downloadUrl = url;
    m_downloadFilePath = QStringLiteral("%1/%2").arg(QDir::currentPath(), firmwarenames::lastPathPart(url));
    qDebug() << "--download----path:" << url << m_downloadFilePath;
    m_downloadRedirects = 0;
    startHttpGet();
    qDebug() << "----start download-----";
}

void TQCAN::on_btnOpenFirmware_clicked()
{
    showDbVersionList(ui->comboBox_table->currentText());
}

void TQCAN::on_btnDownLoadFirmware_clicked()
{
    const int part = ui->radioBPart1->isChecked() ? 1 : 2;
    const QString version = ui->comboBox_Version->currentText();
    QByteArray image;
    QByteArray uniqueData;
    if (!m_recordDb.SearchFirmwareInfoDB(image, uniqueData, part, version, ui->comboBox_table->currentText()))
        return;
    qDebug() << "---firmware file len=" << image.size() << ", file:" << image;
    qDebug() << "---db version--2-" << version << ", iPart=" << part << "---firmware file len=" << image.size();
}
