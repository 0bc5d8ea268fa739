// The common widget's access to the kiosk settings file and the kiosk ID
// label built from the machine ID.

#include "kiosk/commoncontrol.h"

#include <QDebug>
#include <QLabel>

#include "kiosk/kioskini.h"
#include "kiosk/machineid.h"

namespace {

const char kLanguageKey[] = "Language/Type";
const char kUnknownId[] = "unkown";

} // namespace

int commoncontrol::readLanguageType()
{
    const QString text = kioskini::readValue(QLatin1String(kLanguageKey));
    qDebug().noquote() << "ID==" << text;
    if (text == QLatin1String("EN"))
        return 1;
    if (text == QLatin1String("CN"))
        return 2;
    return 0;
}

bool commoncontrol::writeLanguageType(int type, bool create)
{
    QString text = QStringLiteral("KH");
    if (type == 1)
        text = QStringLiteral("EN");
    else if (type == 2)
        text = QStringLiteral("CN");
    return kioskini::storeValue(QLatin1String(kLanguageKey), text, create)
        == kioskini::WriteResult::Stored;
}

int commoncontrol::readVersionFlag()
{
    const int version = kioskini::readValue(QStringLiteral("/versionNeworOld/version")).toInt();
    qDebug().noquote() << "1新版本 0旧版本version ==" << version;
    return version;
}

QString commoncontrol::readIniValue(const QString& key)
{
    return kioskini::readValue(key);
}

bool commoncontrol::writeIniValue(const QString& key, const QString& value, bool create)
{
    return kioskini::writeValue(key, value, create) == kioskini::WriteResult::Stored;
}

QString commoncontrol::readMachineId()
{
    const QString unknown = QLatin1String(kUnknownId);
    const QString id = machineid::readStored(unknown);
    if (id == unknown)
        return id;
    return id.right(4);
}

void commoncontrol::displayATMID(QWidget* frame)
{
    if (!frame)
        return;
    if (mATMID) {
        // Later calls only refit the label; it stays where it was created.
        qDebug() << "--displayATMID--second-mATMID size=" << mATMID->size();
        mATMID->setGeometry(0, 0, frame->width(), frame->height());
        return;
    }

    mATMID = new QLabel(frame);
    mATMID->setGeometry(0, 0, frame->width(), frame->height());
    qDebug() << "--displayATMID--mATMID size=" << mATMID->size();

    QPalette palette = mATMID->palette();
    palette.setBrush(QPalette::WindowText, QBrush(Qt::white));
    mATMID->setPalette(palette);

    const QString id = readMachineId();
    qDebug().noquote() << "displayATMID::id==" << id;
    mATMID->setText(QStringLiteral("ATM ID:") + id);
    setWidgetFont(mATMID, 18, QStringLiteral("./font/Lucida-Grande-Bold.ttf"));
    mATMID->show();
}

void commoncontrol::deleteATMID()
{
    if (!mATMID)
        return;
    delete mATMID;
    mATMID = nullptr;
    qDebug() << "delete mATMID--";
}
