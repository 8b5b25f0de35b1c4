#include "modalpilot.h"

#include <QApplication>
#include <QInputDialog>
#include <QMessageBox>

ModalPilot::ModalPilot(QObject *parent)
    : QObject(parent)
{
    connect(&m_timer, &QTimer::timeout, this, &ModalPilot::look);
    m_timer.start(2);
}

void ModalPilot::look()
{
    QWidget *modal = QApplication::activeModalWidget();
    if (auto *box = qobject_cast<QMessageBox *>(modal)) {
        alerts << box->windowTitle() + QLatin1Char('|') + box->text();
        box->accept();
    } else if (auto *dialog = qobject_cast<QInputDialog *>(modal)) {
        prompts << dialog->windowTitle() + QLatin1Char('|') + dialog->labelText();
        const QString answer = answers.isEmpty() ? QString() : answers.dequeue();
        if (answer.isNull()) {
            dialog->reject();
        } else {
            dialog->setTextValue(answer);
            dialog->accept();
        }
    }
}
