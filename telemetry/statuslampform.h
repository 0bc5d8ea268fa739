#ifndef STATUSLAMPFORM_H
#define STATUSLAMPFORM_H

// The 16 status lamps of the ticked ESC on the throttle tab. This version
// only takes the status word; the lamps themselves come with the throttle
// test.

#include <QWidget>

class statusLampForm : public QWidget
{
    Q_OBJECT
public:
    explicit statusLampForm(QWidget* parent = nullptr);

    // A valid word is shown; an invalid one turns every lamp off.
    void setStatusWord(quint16 status, bool valid);
    quint16 statusWord() const { return m_status; }

private:
    quint16 m_status = 0;
};

#endif // STATUSLAMPFORM_H
