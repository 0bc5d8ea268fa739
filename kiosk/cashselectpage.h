#ifndef CASHSELECTPAGE_H
#define CASHSELECTPAGE_H

// Placeholder of the kiosk currency page (stack index 1).

#include <QWidget>

class CashSelectPage : public QWidget
{
    Q_OBJECT
public:
    explicit CashSelectPage(QWidget* parent = nullptr);
    void ButtonInitRefresh(int page);
};

#endif // CASHSELECTPAGE_H
