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
    QTimer::singleShot(quitMs, qApp, []() {
        qDebug() << "autotest: quitting";
        QApplication::quit();
    });
}
