#ifndef RATEFLOOR_H
#define RATEFLOOR_H

// Tells a transfer that trickles from one that is slow but goes. The bytes
// each second brings are kept for a window of seconds; a transfer that has
// run for the whole window and brought less than the floor in it is too
// slow to wait for. (A watchdog that only waits for progress is kept alive
// by a byte now and then for good.)
//
// Plain C++: the caller counts the bytes and the seconds.

#include <cstdint>
#include <deque>

class RateFloor
{
public:
    // By default a floor of nothing: no transfer is too slow.
    explicit RateFloor(int windowSeconds = 1, std::int64_t floorBytes = 0);

    // A new transfer: nothing counted yet.
    void restart();
    // Bytes that arrived.
    void add(std::int64_t bytes) { m_current += bytes; }
    // A second has passed. True when the last window of seconds, all of
    // them counted since the restart, brought less than the floor.
    bool tick();

    int windowSeconds() const { return m_window; }
    std::int64_t floorBytes() const { return m_floor; }

private:
    int m_window;
    std::int64_t m_floor;
    std::int64_t m_current = 0;       // bytes of the second that runs
    std::deque<std::int64_t> m_seconds; // bytes of each of the last seconds, oldest first
};

#endif // RATEFLOOR_H
