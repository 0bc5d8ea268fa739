#include "app/communicat.h"

void registerCommunicatMetaTypes()
{
    qRegisterMetaType<Communicat>("Communicat");
    qRegisterMetaType<CommunicatPage>("CommunicatPage");
    qRegisterMetaType<response_data_struct_t>("response_data_struct_t");
}
