#include "kiosk/linuxlocalclock.h"

#include <QDateTime>
#include <QDebug>

#include <cerrno>
#include <cstring>
#include <ctime>

bool LinuxLocalClock::setLocalTime(const QDateTime& dt)
{
    if (!dt.isValid()) {
        qWarning() << "LinuxLocalClock::setLocalTime--invalid time, clock left as it is";
        return false;
    }
    // The system clock counts UTC; the instant is the same whatever zone dt
    // was expressed in.
    const qint64 ms = dt.toMSecsSinceEpoch();
    timespec ts{};
    ts.tv_sec = static_cast<time_t>(ms / 1000);
    ts.tv_nsec = static_cast<long>((ms % 1000) * 1000000);
    if (ts.tv_nsec < 0) {
        ts.tv_sec -= 1;
        ts.tv_nsec += 1000000000L;
    }
    if (clock_settime(CLOCK_REALTIME, &ts) != 0) {
        const int err = errno;
        qWarning() << "LinuxLocalClock::setLocalTime--clock_settime failed:" << std::strerror(err);
        return false;
    }
    return true;
}

LocalClock* systemLocalClock()
{
    static LinuxLocalClock clock;
    return &clock;
}
