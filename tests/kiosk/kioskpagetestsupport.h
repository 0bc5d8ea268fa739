#ifndef KIOSKPAGETESTSUPPORT_H
#define KIOSKPAGETESTSUPPORT_H

// What the kiosk page tests share: stand-in font files under the names the
// pages load (the real ones are not shipped), language changes delivered
// the way Qt delivers them, and the picture paths of style sheets.

#include <QCoreApplication>
#include <QDir>
#include <QEvent>
#include <QFile>
#include <QRegularExpression>
#include <QStringList>
#include <QWidget>

namespace kioskpagetest {

// Two families that tell the pages' font choices apart: every Latin and
// Chinese font name gets the sans face, the Khmer font the serif face.
constexpr char kSansFile[] = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
constexpr char kSerifFile[] = "/usr/share/fonts/truetype/dejavu/DejaVuSerif.ttf";
constexpr char kSansFamily[] = "DejaVu Sans";
constexpr char kSerifFamily[] = "DejaVu Serif";

inline bool standInFontsAvailable()
{
    return QFile::exists(QLatin1String(kSansFile)) && QFile::exists(QLatin1String(kSerifFile));
}

// Copies the stand-ins into ./font/ of the working directory.
inline bool installStandInFonts()
{
    QDir().mkpath(QStringLiteral("font"));
    const char* const sansNames[] = {
        "HiraginoSansCNS-W6.otf", "Futura-LT-W01-Book.ttf", "HelveticaExt-Normal.ttf",
        "HelveticaNeue-Heavy.otf", "Lucida-Grande-Bold.ttf",
    };
    bool ok = true;
    for (const char* name : sansNames)
        ok = QFile::copy(QLatin1String(kSansFile), QStringLiteral("font/") + QLatin1String(name)) && ok;
    return QFile::copy(QLatin1String(kSerifFile), QStringLiteral("font/KHMEROSCONTENT_1.ttf")) && ok;
}

// A language change as a translator installation delivers it to a widget.
inline void sendLanguageChange(QWidget* widget)
{
    QEvent change(QEvent::LanguageChange);
    QCoreApplication::sendEvent(widget, &change);
}

// Every "url(...)" of the style sheets of the widget and its children.
inline QStringList styleSheetPictures(const QWidget* root)
{
    static const QRegularExpression url(QStringLiteral("url\\(([^)]*)\\)"));
    QList<const QWidget*> widgets{root};
    for (const QWidget* child : root->findChildren<QWidget*>())
        widgets << child;
    QStringList paths;
    for (const QWidget* w : widgets) {
        auto it = url.globalMatch(w->styleSheet());
        while (it.hasNext())
            paths << it.next().captured(1);
    }
    return paths;
}

} // namespace kioskpagetest

#endif // KIOSKPAGETESTSUPPORT_H
