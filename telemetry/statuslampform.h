#ifndef STATUSLAMPFORM_H
#define STATUSLAMPFORM_H

// The 16 status lamps of the ticked ESC on the throttle tab, one per bit of
// its status word: lamp i shows bit 15 - i ("Running" is bit 15,
// "Overvoltage" bit 0). A valid word repaints only the lamps whose bit
// changed; an invalid one switches every lamp off.
//
//   panel->setStatusWord(0x8001, true);   // "Running" and "Overvoltage" lit
//   panel->setStatusWord(0, false);       // all off

#include <QList>
#include <QWidget>

class QcwIndicatorLamp;

namespace Ui {
class statusLampForm;
}

class statusLampForm : public QWidget
{
    Q_OBJECT
public:
    static constexpr int kLamps = 16;

    explicit statusLampForm(QWidget* parent = nullptr);
    ~statusLampForm() override;

    void setStatusWord(quint16 status, bool valid);
    quint16 statusWord() const { return m_status; }

    void setLamp(int index, bool on);
    void clearLamps();
    // Lamp i (0..15) and its caption.
    QcwIndicatorLamp* lamp(int index) const { return m_lamps.value(index); }
    QString lampText(int index) const;

protected:
    void changeEvent(QEvent* event) override;

private:
    void initLamps();

    Ui::statusLampForm* ui = nullptr;
    quint16 m_status = 0;
    QList<QcwIndicatorLamp*> m_lamps;
};

#endif // STATUSLAMPFORM_H
