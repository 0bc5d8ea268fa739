#ifndef KEYBOARDFORM_H
#define KEYBOARDFORM_H

// The kiosk's on-screen numeric keypad: ten digit keys and a cancel key
// drawn as pictures. Each press is reported as the key's text ("0" to "9",
// "X"). No page hosts it yet.

#include <QWidget>

namespace Ui {
class keyboardForm;
}

class keyboardForm : public QWidget
{
    Q_OBJECT
public:
    explicit keyboardForm(QWidget* parent = nullptr);
    ~keyboardForm() override;

    // Styles and wires the keys again; a key stays connected once.
    void init();

signals:
    void signalBtn(QString btnName);

public slots:
    void doProcessClickedAllBtn();

private:
    void initStyle();
    void initConnect();

    Ui::keyboardForm* ui;
};

#endif // KEYBOARDFORM_H
