#ifndef LOCALCLOCK_H
#define LOCALCLOCK_H

// The machine's clock, as the time synchronisation sees it. Kept behind an
// interface so that the synchronisation can be exercised without touching
// the real clock.

class QDateTime;

class LocalClock
{
public:
    virtual ~LocalClock() = default;

    // Sets the clock to the instant dt. False when the clock was not set
    // (invalid time, or no right to change the clock).
    virtual bool setLocalTime(const QDateTime& dt) = 0;
};

// The process's real clock; never deleted.
LocalClock* systemLocalClock();

#endif // LOCALCLOCK_H
