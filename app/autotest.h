#ifndef AUTOTEST_H
#define AUTOTEST_H

// Lets the test suite drive the real executable: when the environment
// variable TQ_AUTOTEST_QUIT_MS is set, every modal box is closed as soon as it
// shows and the application quits after that many milliseconds. Without the
// variable nothing happens.
void armAutotestTimers();

#endif // AUTOTEST_H
