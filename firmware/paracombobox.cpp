#include "firmware/paracombobox.h"

#include <QEvent>

void WheelBlocker::install(QWidget* w)
{
    w->installEventFilter(new WheelBlocker(w));
}

bool WheelBlocker::eventFilter(QObject* watched, QEvent* event)
{
    // Taken from the widget without being accepted: the application offers
    // it to the parent, so a table or a scrolled area around still scrolls.
    if (event->type() == QEvent::Wheel)
        return true;
    return QObject::eventFilter(watched, event);
}

paraCombobox::paraCombobox(QWidget* parent) : QComboBox(parent)
{
    WheelBlocker::install(this);
}
