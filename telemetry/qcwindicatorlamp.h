#ifndef QCWINDICATORLAMP_H
#define QCWINDICATORLAMP_H

// A small round lamp with a metallic bezel: grey when off, green or red when
// lit. The status lamp panel shows one per status bit; the configurator page
// shows one as its link lamp.
//
// Set the red flag first, then light the lamp:
//     lamp->setRedMode(true);
//     lamp->setAlarm(true);

#include <QWidget>

class QcwIndicatorLamp : public QWidget
{
    Q_OBJECT
public:
    // Without a parent the lamp is 100 x 100; with one, a square as high as
    // the parent. A layout usually governs the size afterwards.
    explicit QcwIndicatorLamp(QWidget* parent = nullptr);

    // Stores the red flag only; it shows with the next setAlarm or repaint.
    void setRedMode(bool red);

    bool isAlarm() const { return m_alarm; }
    bool isRedMode() const { return m_red; }

public slots:
    // Lights the lamp or turns it off; off also forgets the red flag.
    void setAlarm(bool on);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    bool m_alarm = false;
    bool m_red = false;
};

#endif // QCWINDICATORLAMP_H
