#include "app/autotest.h"

#include <QApplication>
#include <QDebug>
#include <QTimer>
#include <QWidget>

void armAutotestTimers()
{
    bool ok = false;
    const int quitMs = qEnvironmentVariableIntValue("TQ_AUTOTEST_QUIT_MS", &ok);
    if (!ok)
        return;
    auto* closer = new QTimer(qApp);
    QObject::connect(closer, &QTimer::timeout, qApp, []() {
        if (QWidget* box = QApplication::activeModalWidget()) {
            qDebug() << "autotest: closing modal box" << box->windowTitle();
            box->close();
        }
    });
    closer->start(50);
    // Quit, and keep asking: a quit that lands in the nested loop of a box
    // shown before the main loop runs (a slow start) ends only that loop.
    auto* quitter = new QTimer(qApp);
    QObject::connect(quitter, &QTimer::timeout, qApp, [quitter]() {
        qDebug() << "autotest: quitting";
        QApplication::quit();
        quitter->start(200);
    });
    quitter->setSingleShot(true);
    quitter->start(quitMs);
}
