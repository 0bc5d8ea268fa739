#include "telemetry/throttlesender.h"

#include <QDebug>

#include <algorithm>

#include "app/tqformalpagecontrol.h"
#include "link/cyphalports.h"
#include "link/lastresort.h"
#include "link/throttleticklog.h"

namespace {

void sendGroup(int group, const int (&values)[ThrottleSender::kRowsPerGroup])
{
    emit tqformalpagecontrol::getInstance()->signalGasMode6152F(kPortThrottleFirst + group - 1, values[0],
                                                                values[1], values[2], values[3]);
}

} // namespace

ThrottleSender::ThrottleSender(std::function<int(int row)> setPoint, QObject* parent)
    : QObject(parent), m_setPoint(std::move(setPoint))
{
    m_timer.setInterval(kIntervalMs);
    connect(&m_timer, &QTimer::timeout, this, &ThrottleSender::tick);
}

ThrottleSender::~ThrottleSender()
{
    setGroups(0);
}

void ThrottleSender::setGroups(int groups)
{
    groups = std::clamp(groups, 0, kGroups);
    // Started (again): set-points go out once more after a stop of the
    // process, which halted them.
    if (m_groups == 0 && groups > 0)
        lastresort::resume();
    zeroGroups(groups + 1, m_groups);
    m_groups = groups;
    if (groups == 0)
        m_timer.stop();
    else if (!m_timer.isActive())
        m_timer.start();
}

void ThrottleSender::sendZeros()
{
    zeroGroups(1, m_groups);
}

void ThrottleSender::zeroGroups(int first, int last)
{
    static const int zeros[kRowsPerGroup] = {};
    for (int g = first; g <= last; ++g)
        sendGroup(g, zeros);
}

void ThrottleSender::tick()
{
    for (int g = 1; g <= m_groups; ++g) {
        int values[kRowsPerGroup] = {};
        for (int i = 0; i < kRowsPerGroup; ++i)
            values[i] = m_setPoint((g - 1) * kRowsPerGroup + i);
        sendGroup(g, values);
    }
    // Every 10 ms: only when its category is turned on, so as not to flood
    // a log or fill the pipe it goes to.
    qCDebug(lcThrottleTicks) << "-------------spinbox change---updateIndex=" << m_groups
                             << ",cmd=" << kPortThrottleFirst + m_groups - 1;
}
