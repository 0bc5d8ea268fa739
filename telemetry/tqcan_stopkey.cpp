// The stop key of the throttle tab: while the tab is current, a key pressed
// on any control of the tab sets every set-point to 0, as one on the page
// itself does (keyPressEvent), and does nothing else. A control would
// otherwise keep the key for itself (a letter or an arrow on the group combo
// box, Space on a check box or a button), and some of what the controls do
// with keys raises the group count or a set-point. The one exception is
// typing a number into a number box (a row's set-point or pole pairs, the
// settings dialog's maximum): digits and the keys that edit the text there
// keep doing so; any other key there stops too, the step keys included.
//
// The page watches the application's keys: a control's popup (the open list
// of a combo box, a set-point box's menu) is a window of its own, whose keys
// never pass through the page or the tab, and so is every dialog and box
// shown while the tab is current; while the test runs, a key there stops
// too. Text from an input method (a dead key, a compose sequence) arrives
// as an input-method event rather than a key, and stops the same way.

#include "configurator/tqcan.h"
#include "ui_tqcan.h"

#include <QAbstractSpinBox>
#include <QInputMethodEvent>
#include <QKeyEvent>

#include "configurator/tqcan_private.h"

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
    if ((type == QEvent::KeyPress || type == QEvent::ShortcutOverride || type == QEvent::InputMethod)
        && isThrottleStopEvent(watched, event)) {
        // The announcement of the key is taken too: a combo box's open list
        // picks its item on it, before the key itself arrives.
        event->accept();
        if (type != QEvent::ShortcutOverride) {
            QWidget* window = static_cast<QWidget*>(watched)->window();
            if (window->windowType() == Qt::Popup)
                window->close();
            zeroAllSetPoints();
        }
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

bool TQCAN::isThrottleStopEvent(QObject* receiver, QEvent* event) const
{
    if (event->type() != QEvent::InputMethod)
        return isThrottleStopKey(receiver, static_cast<QKeyEvent*>(event)->key());
    // Text an input method composes or commits is no digit key: it stops
    // in a number box too. An event without text only tidies up.
    const auto* im = static_cast<QInputMethodEvent*>(event);
    if (im->commitString().isEmpty() && im->preeditString().isEmpty())
        return false;
    return isThrottleStopKey(receiver, Qt::Key_unknown);
}

bool TQCAN::isThrottleStopKey(QObject* receiver, int key) const
{
    if (!receiver->isWidgetType())
        return false;
    const auto* target = static_cast<const QWidget*>(receiver);
    // Typing counts in the number box's own window only: in its menu, a
    // window of its own, a digit is no number.
    bool inNumberBox = false;
    bool sameWindow = true;
    for (const QWidget* w = target; w; w = w->parentWidget()) {
        if (w == ui->tab_throt)
            return !(inNumberBox && typesANumber(key));
        inNumberBox = inNumberBox || (sameWindow && qobject_cast<const QAbstractSpinBox*>(w));
        sameWindow = sameWindow && !w->isWindow();
    }
    // A dialog or box, while the tab is current and the test runs; the
    // page's own window outside the tab (the port box) keeps its keys.
    if (target->window() == window() || !isVisible() || ui->tabWidget->currentIndex() != kThrottleTab
        || m_throttle.groups() == 0)
        return false;
    return !(inNumberBox && typesANumber(key));
}
