#ifndef COMMONCONTROL_H
#define COMMONCONTROL_H

// Placeholder of the kiosk pages' shared, never-shown widget.

#include <QWidget>

class commoncontrol : public QWidget
{
    Q_OBJECT
public:
    explicit commoncontrol(QWidget* parent = nullptr);
};

#endif // COMMONCONTROL_H
