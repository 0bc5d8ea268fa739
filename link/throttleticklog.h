#ifndef TQ_LINK_THROTTLETICKLOG_H
#define TQ_LINK_THROTTLETICKLOG_H

// The throttle test's lines of every tick (the sender's and the serial
// worker's, a hundred and more a second while the test runs) go to this
// category, which prints nothing unless asked for:
//   QT_LOGGING_RULES="tq.throttle.ticks.debug=true"

#include <QLoggingCategory>

inline const QLoggingCategory& lcThrottleTicks()
{
    static const QLoggingCategory category("tq.throttle.ticks", QtInfoMsg);
    return category;
}

#endif // TQ_LINK_THROTTLETICKLOG_H
