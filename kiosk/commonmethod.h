#ifndef COMMONMETHOD_H
#define COMMONMETHOD_H

// Placeholder of the kiosk utility object: only the record copy the serial
// worker needs.

#include "app/communicat.h"

class commonmethod
{
public:
    static commonmethod* getInstance();
    bool copyCommunicat(Communicat* dest, const Communicat& src);

private:
    commonmethod() = default;
};

#endif // COMMONMETHOD_H
