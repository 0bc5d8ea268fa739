#include "telemetry/statuslampform.h"
#include "ui_statuslampform.h"

#include <QGridLayout>
#include <QLabel>

#include "telemetry/qcwindicatorlamp.h"

statusLampForm::statusLampForm(QWidget* parent)
    : QWidget(parent)
    , ui(new Ui::statusLampForm)
{
    ui->setupUi(this);
    initLamps();
}

statusLampForm::~statusLampForm()
{
    delete ui;
}

void statusLampForm::initLamps()
{
    for (int i = 0; i < kLamps; ++i) {
        auto* frame = findChild<QFrame*>(QStringLiteral("stateFrame_%1").arg(i + 1));
        auto* lamp = new QcwIndicatorLamp(frame);
        m_lamps.append(lamp);
        auto* grid = new QGridLayout(frame);
        grid->addWidget(lamp, 0, 0, 1, 1);
        grid->setContentsMargins(0, 0, 0, 0);
        grid->setSpacing(0);
    }
    m_status = 0;
    for (QcwIndicatorLamp* lamp : qAsConst(m_lamps))
        lamp->setAlarm(false);
}

void statusLampForm::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::LanguageChange)
        ui->retranslateUi(this);
}

QString statusLampForm::lampText(int index) const
{
    const auto* label = findChild<QLabel*>(QStringLiteral("labelLamp_%1").arg(index + 1));
    return label ? label->text() : QString();
}

void statusLampForm::setLamp(int index, bool on)
{
    if (QcwIndicatorLamp* lamp = m_lamps.value(index % kLamps))
        lamp->setAlarm(on);
}

void statusLampForm::clearLamps()
{
    m_status = 0;
    for (int i = 0; i < kLamps; ++i)
        setLamp(i, false);
}

void statusLampForm::setStatusWord(quint16 status, bool valid)
{
    if (!valid) {
        if (m_status != 0)
            clearLamps();
        return;
    }
    const quint16 changed = m_status ^ status;
    for (int bit = 15; bit >= 0; --bit) {
        if (changed & (1u << bit))
            setLamp(15 - bit, (status >> bit) & 1u);
    }
    m_status = status;
}
