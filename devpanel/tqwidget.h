#ifndef TQWIDGET_H
#define TQWIDGET_H

// Placeholder of the developer command panel (stack index 2).

#include <QWidget>

class subSerialTQThread;

class tqWidget : public QWidget
{
    Q_OBJECT
public:
    explicit tqWidget(QWidget* parent = nullptr);
    subSerialTQThread* getSerialWorker();
};

#endif // TQWIDGET_H
