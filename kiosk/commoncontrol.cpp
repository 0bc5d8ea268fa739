#include "kiosk/commoncontrol.h"

commoncontrol::commoncontrol(QWidget* parent) : QWidget(parent) {}
