#ifndef THROTTLESENDER_H
#define THROTTLESENDER_H

// The throttle test's sender: while it runs, every 10 ms one message per
// group chosen (group g, 1 to 8, is subject 6151 + g and carries the
// set-points of rows 4g - 3 to 4g), through the configurator page's
// controller.
//
// A node keeps the last set-point it heard, so a group whose messages stop
// would go on turning at it. The sender therefore never stops sending a
// group without one message of zero set-points to it first: when fewer
// groups are chosen or none, when it is told its nodes are about to be out
// of its reach (the port closing, a new node ID or bit rate), and at its
// own end. Whatever stops the test later keeps this by going through here;
// what ends the process without passing here (exit() deep in a library, a
// crash, a terminal stop) finds the zeros the serial worker keeps ready
// (link/lastresort.h).

#include <QObject>
#include <QTimer>

#include <functional>

class ThrottleSender : public QObject
{
    Q_OBJECT
public:
    static constexpr int kGroups = 8;
    static constexpr int kRowsPerGroup = 4;
    static constexpr int kIntervalMs = 10;

    // setPoint(row) gives the set-point of row 0 to 31 when a message goes out.
    explicit ThrottleSender(std::function<int(int row)> setPoint, QObject* parent = nullptr);
    // The groups still sent get their zeros.
    ~ThrottleSender() override;

    // Groups sent per tick (0: the test is off) and the tick's timer.
    int groups() const { return m_groups; }
    const QTimer& timer() const { return m_timer; }

    // From now on the first `groups` groups (0 to 8) are sent; those past
    // it that were sent get their zeros first.
    void setGroups(int groups);
    // Every group sent now gets its zeros at once, and goes on being sent:
    // for what is about to take its nodes out of reach.
    void sendZeros();

private:
    void tick();
    void zeroGroups(int first, int last);

    std::function<int(int)> m_setPoint;
    QTimer m_timer;
    int m_groups = 0;
};

#endif // THROTTLESENDER_H
