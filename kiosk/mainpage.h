#ifndef MAINPAGE_H
#define MAINPAGE_H

// Placeholder of the kiosk home page (stack index 0). Its destructor stops
// the worker threads, as the real page does.

#include <QWidget>

class mainpage : public QWidget
{
    Q_OBJECT
public:
    explicit mainpage(QWidget* parent = nullptr);
    ~mainpage() override;

    void analyseRecordVideo(int curPage);
};

#endif // MAINPAGE_H
