#ifndef THROTCFGDIALOG_H
#define THROTCFGDIALOG_H

// The small modal dialog of the throttle tab: the throttle maximum (100 to
// 16383, the 14-bit set-point field's largest value) and a refresh-rate
// choice. The dialog keeps what was last entered between openings; read it
// with getValues only when exec() returns Accepted.

#include <QDialog>

namespace Ui {
class ThrotCfgDialog;
}

class ThrotCfgDialog : public QDialog
{
    Q_OBJECT
public:
    static constexpr int kMinMaximum = 100;
    static constexpr int kMaxMaximum = 16383;

    explicit ThrotCfgDialog(QWidget* parent = nullptr);
    ~ThrotCfgDialog() override;

    // The maximum is clamped to its range; an index outside 0..4 leaves the
    // refresh rate as it is.
    void setValues(int maximum, int refreshRateIndex);
    void getValues(int& maximum, int& refreshRateIndex) const;

protected:
    void changeEvent(QEvent* event) override;

private slots:
    void on_btn_throt_cfg_clicked();

private:
    Ui::ThrotCfgDialog* ui = nullptr;
};

#endif // THROTCFGDIALOG_H
