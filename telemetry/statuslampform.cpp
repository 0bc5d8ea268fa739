#include "telemetry/statuslampform.h"

#include <QDebug>

statusLampForm::statusLampForm(QWidget* parent)
    : QWidget(parent)
{
}

void statusLampForm::setStatusWord(quint16 status, bool valid)
{
    const quint16 shown = valid ? status : 0;
    if (shown == m_status)
        return;
    m_status = shown;
    qDebug() << "statusLampForm::setStatusWord" << Qt::hex << shown;
}
