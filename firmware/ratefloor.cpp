#include "firmware/ratefloor.h"

#include <numeric>

RateFloor::RateFloor(int windowSeconds, std::int64_t floorBytes)
    : m_window(windowSeconds > 0 ? windowSeconds : 1), m_floor(floorBytes)
{
}

void RateFloor::restart()
{
    m_current = 0;
    m_seconds.clear();
}

bool RateFloor::tick()
{
    m_seconds.push_back(m_current);
    m_current = 0;
    if (m_seconds.size() > std::size_t(m_window))
        m_seconds.pop_front();
    return m_seconds.size() == std::size_t(m_window)
        && std::accumulate(m_seconds.begin(), m_seconds.end(), std::int64_t(0)) < m_floor;
}
