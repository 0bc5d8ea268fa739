#include <QDebug>
#include <QMessageBox>

#include "app/appwidget.h"
#include "app/autotest.h"
#include "app/communicat.h"
#include "app/debugmode.h"
#include "app/qtsingleapplication.h"
#include "app/quitsignals.h"
#include "configurator/tqcan.h"
#include "link/lastresort.h"

static const char* const kVersion = "TQ_TOPAZ_V2.2.0.16";

int main(int argc, char* argv[])
{
    QCoreApplication::setAttribute(Qt::AA_EnableHighDpiScaling);
    QCoreApplication::setAttribute(Qt::AA_UseHighDpiPixmaps);
    QGuiApplication::setHighDpiScaleFactorRoundingPolicy(
        Qt::HighDpiScaleFactorRoundingPolicy::PassThrough);

    QtSingleApplication app(QStringLiteral("TQ_SingleApp"), argc, argv);
    armAutotestTimers();
    if (app.isRunning()) {
        app.sendMessage(QStringLiteral("raies"), 5000);
        QMessageBox::warning(nullptr, QStringLiteral("warnning"),
                             QStringLiteral("The application is already running.\n"
                                            "Allowed to run only one instance of the application."));
        return 0;
    }

    registerCommunicatMetaTypes();
    // Before the window and its serial worker: from their start on, every
    // end of the process a program can see leaves no throttle set-point
    // behind.
    lastresort::install();
    QuitSignals quitSignals;
    QObject::connect(&quitSignals, &QuitSignals::caught, &app, &QApplication::quit);

    int result = 0;
    {
        appwidget w;
        QObject::connect(&app, &QtSingleApplication::messageReceived, &w,
                         [&w](const QString& message) {
                             qDebug() << "another instance said:" << message;
                             w.raise();
                             w.activateWindow();
                         });
        QObject::connect(&quitSignals, &QuitSignals::stopped, &w,
                         [&w] { w.configuratorPage()->stopThrottleTest(); });
        w.setWindowFlags((w.windowFlags() | Qt::MSWindowsFixedSizeDialogHint)
                         & ~Qt::WindowMaximizeButtonHint);
        w.show();
        const bool bDebug = checkDebugMode();
        w.setWindowTitle(QString(bDebug ? "%1_dev" : "%1").arg(QLatin1String(kVersion)));
        qDebug() << "window title:" << w.windowTitle();
        w.setTqcanWorkMode(bDebug);
        armAutotestThrottle(w.configuratorPage());
        // A signal caught before the main loop runs (in the start-up box)
        // ended only the box's loop.
        if (!quitSignals.anyCaught())
            result = app.exec();
    }
    return result;
}
