// Draws the kiosk pages' pictures as plain placeholders: a coloured panel
// with the picture's name, at the size the pages give it. The real artwork
// is not part of this project; with these every picture a style sheet names
// exists, so the pages draw something recognisable.
//
//   tq_placeholder_pictures OUTDIR RELATIVE_PATH...
// writes OUTDIR/RELATIVE_PATH for each path (.png drawn, .gif a one-frame
// animation), creating folders on the way. Exits 1 when a file cannot be
// written.

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QTextStream>

namespace {

struct Look {
    QSize size;
    QColor colour;
    bool panel = false;  // a backdrop: its caption keeps to a corner
};

// Sizes follow the widgets the pictures fill on a 1920 x 1080 page.
Look lookFor(const QString& path)
{
    const QString name = QFileInfo(path).completeBaseName();
    if (name.startsWith(QLatin1String("backgrond")) || name.endsWith(QLatin1String("_bg")))
        return {QSize(1920, 1080), QColor(18, 40, 64), true};
    if (path.contains(QLatin1String("NationFlag/")))
        return {QSize(60, 40), QColor(200, 60, 60)};
    if (path.contains(QLatin1String("Deposit/key/")))
        return {QSize(105, 92), name.endsWith(QLatin1String("_h")) ? QColor(90, 150, 220)
                                                                    : QColor(40, 90, 160)};
    if (name == QLatin1String("homepage_time"))
        return {QSize(420, 150), QColor(230, 230, 230), true};
    if (name == QLatin1String("homepage_english"))
        return {QSize(180, 45), QColor(40, 90, 160)};
    if (name.startsWith(QLatin1String("homepage_")))
        return {QSize(380, 230), QColor(30, 120, 110)};
    if (name.startsWith(QLatin1String("btn_menu")) || name.startsWith(QLatin1String("btn_next")))
        return {QSize(180, 70), name.endsWith(QLatin1Char('2')) ? QColor(240, 170, 40)
                                                                : QColor(200, 130, 20)};
    if (name.startsWith(QLatin1String("btn_"))) {
        // Currency buttons: "2" not offered (grey), "_big" hovered.
        if (name.endsWith(QLatin1Char('2')))
            return {QSize(260, 400), QColor(120, 120, 120)};
        if (name.endsWith(QLatin1String("_big")))
            return {QSize(321, 480), QColor(60, 170, 90)};
        return {QSize(260, 400), QColor(40, 140, 70)};
    }
    return {QSize(200, 120), QColor(90, 90, 90)};
}

// The caption: the picture's name, with its language folder when it has one.
QString captionFor(const QString& path)
{
    const QFileInfo info(path);
    const QString folder = info.dir().dirName();
    const QString name = info.completeBaseName();
    if (folder == QLatin1String("EN") || folder == QLatin1String("CN") || folder == QLatin1String("KHR"))
        return folder + QLatin1Char('\n') + name;
    return name;
}

bool writePng(const QString& file, const QString& relative)
{
    const Look look = lookFor(relative);
    QImage image(look.size, QImage::Format_ARGB32_Premultiplied);
    image.fill(look.colour);
    QPainter painter(&image);
    painter.setPen(QPen(look.colour.lighter(160), 2));
    painter.drawRect(image.rect().adjusted(1, 1, -2, -2));
    QFont font = painter.font();
    font.setPixelSize(look.panel ? 12 : qBound(8, look.size.height() / 8, 28));
    painter.setFont(font);
    painter.setPen(look.panel ? look.colour.lighter(180) : QColor(Qt::white));
    const int where = look.panel ? Qt::AlignRight | Qt::AlignBottom : Qt::AlignCenter | Qt::TextWordWrap;
    painter.drawText(image.rect().adjusted(4, 4, -4, -4), where, captionFor(relative));
    painter.end();
    return image.save(file, "PNG");
}

// Qt reads GIF but cannot write it: a 1 x 1 transparent GIF89a, which
// QMovie plays as a one-frame animation.
bool writeGif(const QString& file)
{
    static const unsigned char gif[] = {
        0x47, 0x49, 0x46, 0x38, 0x39, 0x61, 0x01, 0x00, 0x01, 0x00, 0x80, 0x00, 0x00,
        0xFF, 0xFF, 0xFF, 0x00, 0x00, 0x00, 0x21, 0xF9, 0x04, 0x01, 0x00, 0x00, 0x00,
        0x00, 0x2C, 0x00, 0x00, 0x00, 0x00, 0x01, 0x00, 0x01, 0x00, 0x00, 0x02, 0x02,
        0x44, 0x01, 0x00, 0x3B,
    };
    QFile out(file);
    const auto size = qint64(sizeof gif);
    return out.open(QIODevice::WriteOnly)
        && out.write(reinterpret_cast<const char*>(gif), size) == size;
}

} // namespace

int main(int argc, char* argv[])
{
    // Text needs a platform; no display is wanted.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QTextStream err(stderr);

    const QStringList args = app.arguments();
    if (args.size() < 2) {
        err << "usage: tq_placeholder_pictures OUTDIR RELATIVE_PATH...\n";
        return 2;
    }
    const QDir outDir(args.at(1));
    int failures = 0;
    for (int i = 2; i < args.size(); ++i) {
        const QString relative = args.at(i);
        const QString file = outDir.filePath(relative);
        const bool ok = QDir().mkpath(QFileInfo(file).absolutePath())
            && (relative.endsWith(QLatin1String(".gif")) ? writeGif(file) : writePng(file, relative));
        if (!ok) {
            err << "cannot write " << file << '\n';
            ++failures;
        }
    }
    return failures ? 1 : 0;
}
