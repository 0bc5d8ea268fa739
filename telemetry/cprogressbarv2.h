#ifndef CPROGRESSBARV2_H
#define CPROGRESSBARV2_H

// A throttle bar the user clicks or drags to pick a value. Put it into a
// QFrame: each value it picks is reported with the frame's object name, so
// that one slot can serve every row.
//
//   auto* bar = new CProgressBarV2(frame);   // frame "frame_progress_7"
//   bar->setRange(0, 2048);
//   connect(bar, &CProgressBarV2::changeVale, page, &Page::onBarValue);
//
// The bar's right end lies 30 px before its right edge: a click there gives
// the maximum. The reported value is not clamped (the receiver clamps it);
// a bar 30 px wide or less has no span and ignores the mouse.

#include <QProgressBar>
#include <QString>

class CProgressBarV2 : public QProgressBar
{
    Q_OBJECT
public:
    explicit CProgressBarV2(QWidget* parent = nullptr);

    // The value at a local x position, as a press there would pick it;
    // false when the bar is too narrow to have a span.
    bool valueAt(int x, int* value) const;
    // Ends a drag: moves pick nothing until the next left press.
    void letGo() { m_pressed = false; }

signals:
    void changeVale(int value, QString parentName);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    // Takes the position, sets the value and reports it with `what` in the
    // log line; false when the bar has no span.
    bool pick(QMouseEvent* event, const char* what);

    bool m_pressed = false;
    int m_lastX = 0;
    int m_lastY = 0;
};

#endif // CPROGRESSBARV2_H
