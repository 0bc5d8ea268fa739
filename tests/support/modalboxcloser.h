#ifndef MODALBOXCLOSER_H
#define MODALBOXCLOSER_H

// Closes every modal box that a test provokes and keeps what it said, so a
// test can click a button that shows a QMessageBox without blocking.
//
//   ModalBoxCloser boxes;
//   QTest::mouseClick(button, Qt::LeftButton);
//   QTRY_COMPARE(boxes.texts().size(), 1);

#include <QObject>
#include <QStringList>
#include <QTimer>

class ModalBoxCloser : public QObject
{
    Q_OBJECT
public:
    explicit ModalBoxCloser(int intervalMs = 20, QObject* parent = nullptr);

    QStringList titles() const { return m_titles; }
    QStringList texts() const { return m_texts; }
    void clear();

private:
    void closeActiveModal();

    QTimer m_timer;
    QStringList m_titles;
    QStringList m_texts;
};

#endif // MODALBOXCLOSER_H
