#ifndef LINUXLOCALCLOCK_H
#define LINUXLOCALCLOCK_H

// The real clock on Linux: CLOCK_REALTIME through clock_settime, which needs
// the right to set the time (CAP_SYS_TIME).

#include "kiosk/localclock.h"

class LinuxLocalClock : public LocalClock
{
public:
    bool setLocalTime(const QDateTime& dt) override;
};

#endif // LINUXLOCALCLOCK_H
