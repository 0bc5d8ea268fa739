#include "kiosk/mainpage.h"

#include <QDebug>

#include "app/mainpagecontrol.h"

mainpage::mainpage(QWidget* parent) : QWidget(parent) {}

mainpage::~mainpage()
{
    mainpageControl::getInstance()->deleteMutexThread();
}

void mainpage::analyseRecordVideo(int curPage)
{
    qDebug() << "---analyseRecordVideo----curPage=" << curPage;
}
