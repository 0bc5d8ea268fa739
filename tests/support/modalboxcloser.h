#ifndef MODALBOXCLOSER_H
#define MODALBOXCLOSER_H

// Closes every modal box that a test provokes and keeps what it said, so a
// test can click a button that shows a QMessageBox without blocking.
//
//   ModalBoxCloser boxes;
//   QTest::mouseClick(button, Qt::LeftButton);
//   QTRY_COMPARE(boxes.texts().size(), 1);
//
// A box is answered with its default button, as a user pressing Enter
// would; after setAnswer(QMessageBox::Yes) the boxes that offer Yes get Yes.

#include <QMessageBox>
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
    void setAnswer(QMessageBox::StandardButton answer) { m_answer = answer; }

private:
    void closeActiveModal();

    QTimer m_timer;
    QStringList m_titles;
    QStringList m_texts;
    QMessageBox::StandardButton m_answer = QMessageBox::NoButton;
};

#endif // MODALBOXCLOSER_H
