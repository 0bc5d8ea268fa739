#ifndef KIOSKPAGETESTSUPPORT_H
#define KIOSKPAGETESTSUPPORT_H

// What the kiosk page tests share: stand-in fonts under the names the pages
// load (the real ones are not shipped), language changes delivered the way
// Qt delivers them, the picture paths of style sheets, and a main() that
// keeps the user's kiosk ID store (below XDG_CONFIG_HOME) out of reach.

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

namespace kioskpagetest {

// Every Latin and Chinese font name gets the sans face, the Khmer font the
// serif face, so the pages' font choices can be told apart.
constexpr char kSansFile[] = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
constexpr char kSerifFile[] = "/usr/share/fonts/truetype/dejavu/DejaVuSerif.ttf";
constexpr char kSansFamily[] = "DejaVu Sans";
constexpr char kSerifFamily[] = "DejaVu Serif";

// Copies the stand-ins into ./font/ of the working directory; false when
// the DejaVu fonts are not installed.
inline bool installStandInFonts()
{
    if (!QFile::exists(QLatin1String(kSansFile)) || !QFile::exists(QLatin1String(kSerifFile)))
        return false;
    QDir().mkpath(QStringLiteral("font"));
    bool ok = QFile::copy(QLatin1String(kSerifFile), QStringLiteral("font/KHMEROSCONTENT_1.ttf"));
    for (const char* name : {"HiraginoSansCNS-W6.otf", "Futura-LT-W01-Book.ttf", "HelveticaExt-Normal.ttf",
                             "HelveticaNeue-Heavy.otf", "Lucida-Grande-Bold.ttf"})
        ok = QFile::copy(QLatin1String(kSansFile), QStringLiteral("font/") + QLatin1String(name)) && ok;
    return ok;
}

inline void sendLanguageChange(QWidget* widget)
{
    QEvent change(QEvent::LanguageChange);
    QCoreApplication::sendEvent(widget, &change);
}

// Every "url(...)" of the style sheets of the widget and its children.
inline QStringList styleSheetPictures(QWidget* root)
{
    static const QRegularExpression url(QStringLiteral("url\\(([^)]*)\\)"));
    QStringList paths;
    QList<QWidget*> widgets = root->findChildren<QWidget*>();
    widgets << root;
    for (const QWidget* w : widgets) {
        for (auto it = url.globalMatch(w->styleSheet()); it.hasNext();)
            paths << it.next().captured(1);
    }
    return paths;
}

} // namespace kioskpagetest

#define KIOSK_PAGE_TEST_MAIN(TestClass)                                                            \
    int main(int argc, char** argv)                                                                \
    {                                                                                              \
        QTemporaryDir configHome;                                                                  \
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(configHome.path()));                          \
        QApplication app(argc, argv);                                                              \
        TestClass test;                                                                            \
        return QTest::qExec(&test, argc, argv);                                                    \
    }

#endif // KIOSKPAGETESTSUPPORT_H
