#include "configurator/tqcan.h"

TQCAN::TQCAN(QWidget* parent) : QWidget(parent) {}

void TQCAN::initDbPath() {}

void TQCAN::doProcessRecvTQPack(response_data_struct_t tqcanPack)
{
    delete[] tqcanPack.payload;
}
