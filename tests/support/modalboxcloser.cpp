#include "modalboxcloser.h"

#include <QApplication>
#include <QInputDialog>
#include <QMessageBox>
#include <QPushButton>

ModalBoxCloser::ModalBoxCloser(int intervalMs, QObject* parent)
    : QObject(parent)
{
    connect(&m_timer, &QTimer::timeout, this, &ModalBoxCloser::closeActiveModal);
    m_timer.start(intervalMs);
}

void ModalBoxCloser::clear()
{
    m_titles.clear();
    m_texts.clear();
}

void ModalBoxCloser::closeActiveModal()
{
    QWidget* modal = QApplication::activeModalWidget();
    if (!modal)
        return;
    m_titles << modal->windowTitle();
    if (auto* box = qobject_cast<QMessageBox*>(modal)) {
        m_texts << box->text();
        // The chosen answer if the box offers it, else the default button.
        QAbstractButton* answer = m_answer != QMessageBox::NoButton ? box->button(m_answer) : nullptr;
        if (answer)
            answer->click();
        else if (QAbstractButton* def = box->defaultButton())
            def->click();
        else
            box->close();
        return;
    }
    if (auto* input = qobject_cast<QInputDialog*>(modal)) {
        m_texts << input->labelText();
        input->reject();
        return;
    }
    m_texts << QString();
    modal->close();
}
