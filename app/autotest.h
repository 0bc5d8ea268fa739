#ifndef AUTOTEST_H
#define AUTOTEST_H

class TQCAN;

// Lets the test suite drive the real executable: when the environment
// variable TQ_AUTOTEST_QUIT_MS is set, every modal box is closed as soon as it
// shows and the application quits after that many milliseconds. Without the
// variable nothing happens.
void armAutotestTimers();

// With TQ_AUTOTEST_THROTTLE="<port>,<groups>,<set-point>" the configurator
// page opens the port and starts the throttle test on that many groups,
// each listed node's row at the set-point, once: a stop at any moment wins
// for good, rows listed or not. A line on standard input then presses the
// stop key ("stop") or ends the process with exit(1) ("exit"). Without the
// variable nothing happens.
void armAutotestThrottle(TQCAN* configuratorPage);

#endif // AUTOTEST_H
