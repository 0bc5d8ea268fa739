// The stop key of the throttle tab: while the tab is current, a key pressed
// on any control of the tab sets every set-point to 0, as one on the page
// itself does (keyPressEvent), and does nothing else. A control would
// otherwise keep the key for itself (a letter or an arrow on the group combo
// box, Space on a check box or a button), and some of what the controls do
// with keys raises the group count or a set-point. The one exception is
// typing a number into a row's number box (its set-point or its pole pairs):
// digits and the keys that edit the text there keep doing so; any other key
// there stops too, the step keys included.
//
// The page watches the application's key presses: a control's popup (the
// open list of a combo box) is a window of its own, whose keys never pass
// through the page or the tab.

#include "configurator/tqcan.h"
#include "ui_tqcan.h"

#include <QKeyEvent>

namespace {

// The keys that type or edit a number in a spin box, none of which can
// raise it past what is typed: digits, deleting, moving in the text.
bool typesANumber(int key)
{
    if (key >= Qt::Key_0 && key <= Qt::Key_9)
        return true;
    switch (key) {
    case Qt::Key_Backspace:
    case Qt::Key_Delete:
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_Home:
    case Qt::Key_End:
        return true;
    default:
        return false;
    }
}

} // namespace

bool TQCAN::eventFilter(QObject* watched, QEvent* event)
{
    const QEvent::Type type = event->type();
    if ((type == QEvent::KeyPress || type == QEvent::ShortcutOverride)
        && isThrottleStopKey(watched, static_cast<QKeyEvent*>(event)->key())) {
        // The announcement of the key is taken too: a combo box's open list
        // picks its item on it, before the key itself arrives.
        event->accept();
        if (type == QEvent::KeyPress) {
            QWidget* window = static_cast<QWidget*>(watched)->window();
            if (window->windowType() == Qt::Popup)
                window->close();
            zeroAllSetPoints();
        }
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

bool TQCAN::isThrottleStopKey(QObject* receiver, int key) const
{
    // Only the current tab's widgets have the focus, and up from there
    // through popups too, which are windows of their own.
    if (!receiver->isWidgetType())
        return false;
    bool inNumberBox = false;
    for (const QWidget* w = static_cast<QWidget*>(receiver); w; w = w->parentWidget()) {
        if (w == ui->tab_throt)
            return !(inNumberBox && typesANumber(key));
        inNumberBox = inNumberBox || isRowNumberBox(w);
    }
    return false;
}

bool TQCAN::isRowNumberBox(const QWidget* w) const
{
    for (const EscRow& r : m_escRows) {
        if (w == r.setPoint || w == r.poles)
            return true;
    }
    return false;
}
