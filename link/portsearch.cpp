#include "link/portsearch.h"

#include <QSerialPortInfo>

QString portListText(QStringList names, int* count)
{
    names.removeAll(QString());
    names.sort();
    QString text;
    for (const QString& n : qAsConst(names))
        text += n + QLatin1Char(',');
    if (count)
        *count = names.size();
    return text;
}

QString portSearchText(int* count)
{
    QStringList names;
    const auto ports = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo& info : ports)
        names << info.portName();
    return portListText(names, count);
}
