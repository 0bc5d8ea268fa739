#ifndef TQCAN_H
#define TQCAN_H

// Placeholder of the configurator page (stack index 3).

#include <QWidget>

#include "app/communicat.h"

class TQCAN : public QWidget
{
    Q_OBJECT
public:
    explicit TQCAN(QWidget* parent = nullptr);

    void setDebugMode(bool bDebug) { m_bDebug = bDebug; }
    bool debugMode() const { return m_bDebug; }
    void initDbPath();

public slots:
    void doProcessRecvTQPack(response_data_struct_t tqcanPack);

private:
    bool m_bDebug = false;
};

#endif // TQCAN_H
