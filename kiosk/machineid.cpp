#include "kiosk/machineid.h"

#include <QSettings>
#include <QVariant>

namespace machineid {

QString readStored(const QString& fallback)
{
    QSettings store(QSettings::NativeFormat, QSettings::UserScope,
                    QLatin1String(kOrganisation), QLatin1String(kApplication));
    return store.value(QLatin1String(kValueName), fallback).toString();
}

} // namespace machineid
