#ifndef REFRESHDATA_H
#define REFRESHDATA_H

// One per ESC row and telemetry channel (224 on the page): a signal that
// would write a new value into its row's line edit. The page connects them
// all but writes the rows directly; nothing emits dataChanged.

#include <QObject>
#include <QString>

class RefreshData : public QObject
{
    Q_OBJECT
public:
    explicit RefreshData(QObject* parent = nullptr) : QObject(parent) {}

signals:
    void dataChanged(float newData);

private:
    QString m_name;
    float m_value = 0.0f;
};

#endif // REFRESHDATA_H
