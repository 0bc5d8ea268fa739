#include "kiosk/kiosktranslation.h"

#include <QCoreApplication>

namespace kiosktranslation {

const char* fileForLanguage(int languageType)
{
    static const char* const files[] = {"ORB_KHR.qm", "ORB_EN.qm", "ORB_CN.qm"};
    if (languageType < 0 || languageType > 2)
        return nullptr;
    return files[languageType];
}

void replacePageTranslator(QPointer<QTranslator>& slot, QObject* owner, int languageType)
{
    if (slot) {
        QCoreApplication::removeTranslator(slot);
        delete slot;
    }
    slot = new QTranslator(owner);
    if (const char* file = fileForLanguage(languageType))
        slot->load(QLatin1String(file));
    QCoreApplication::installTranslator(slot);
}

} // namespace kiosktranslation
