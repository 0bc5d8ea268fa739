#ifndef KIOSKTRANSLATION_H
#define KIOSKTRANSLATION_H

// The kiosk translations: one file per language type (0 Khmer, 1 English,
// 2 Chinese), and the translator a kiosk page swaps on a language change.

#include <QPointer>
#include <QTranslator>

namespace kiosktranslation {

// "ORB_KHR.qm", "ORB_EN.qm" or "ORB_CN.qm"; nullptr for any other type.
const char* fileForLanguage(int languageType);

// Removes and deletes the translator held in `slot`, then installs a new one
// owned by `owner`, loaded with the language's file. It is installed even
// when nothing was loaded (an unknown type, a missing file), so that the next
// change finds it to replace.
void replacePageTranslator(QPointer<QTranslator>& slot, QObject* owner, int languageType);

} // namespace kiosktranslation

#endif // KIOSKTRANSLATION_H
