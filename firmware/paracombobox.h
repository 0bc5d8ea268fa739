#ifndef PARACOMBOBOX_H
#define PARACOMBOBOX_H

// The Options cell of a register row: a combo box that ignores the mouse
// wheel, so that scrolling the register table never changes a register's
// option by accident.
//
// Other value widgets ignore the wheel the same way (the throttle tab's
// group count and set-points, the firmware version, new node ID, port and
// target bit-rate boxes, the language box): WheelBlocker::install(widget).

#include <QComboBox>

// Keeps the mouse wheel from the widgets it is installed on. The wheel is
// offered to what holds them instead, so a table or a scrolled area around
// them still scrolls, and their value stays.
class WheelBlocker : public QObject
{
public:
    // A blocker owned by w, filtering w's events.
    static void install(QWidget* w);

    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    using QObject::QObject;
};

class paraCombobox : public QComboBox
{
public:
    explicit paraCombobox(QWidget* parent = nullptr);
    ~paraCombobox() override = default;
};

#endif // PARACOMBOBOX_H
