#include "firmware/paracombobox.h"

#include <QEvent>

paraCombobox::paraCombobox(QWidget* parent) : QComboBox(parent)
{
    installEventFilter(this);
}

bool paraCombobox::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::Wheel)
        return true;
    return QObject::eventFilter(watched, event);
}
