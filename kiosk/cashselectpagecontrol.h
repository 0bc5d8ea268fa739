#ifndef CASHSELECTPAGECONTROL_H
#define CASHSELECTPAGECONTROL_H

// Placeholder of the currency page's controller.

#include "app/pagecontrolbase.h"

class cashselectpageControl : public PageControlBase
{
    Q_OBJECT
public:
    static cashselectpageControl* getInstance();

signals:
    void signalJumpPage(int destPage);

private:
    explicit cashselectpageControl(QObject* parent = nullptr);
};

#endif // CASHSELECTPAGECONTROL_H
