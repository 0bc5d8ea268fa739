#ifndef PARACOMBOBOX_H
#define PARACOMBOBOX_H

// The Options cell of a register row: a combo box that ignores the mouse
// wheel, so that scrolling the register table never changes a register's
// option by accident.

#include <QComboBox>

class paraCombobox : public QComboBox
{
public:
    explicit paraCombobox(QWidget* parent = nullptr);
    ~paraCombobox() override = default;

    bool eventFilter(QObject* watched, QEvent* event) override;
};

#endif // PARACOMBOBOX_H
