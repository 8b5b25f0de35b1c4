#include "modalpilot.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QPushButton>

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
        if (box->button(QMessageBox::Yes)) {
            const QAbstractButton *no = box->button(QMessageBox::No);
            const QAbstractButton *chosen = box->defaultButton();
            defaults << (chosen == no ? "No" : "Yes");
            const bool yes = !confirmations.isEmpty() && confirmations.dequeue();
            box->button(yes ? QMessageBox::Yes : QMessageBox::No)->click();
        } else {
            box->accept();
        }
    } else if (auto *fileDialog = qobject_cast<QFileDialog *>(modal)) {
        fileDialogs << fileDialog->windowTitle() + QLatin1Char('|')
                + fileDialog->directory().path();
        const QString file = files.isEmpty() ? QString() : files.dequeue();
        if (file.isNull()) {
            fileDialog->reject();
        } else {
            fileDialog->selectFile(file);
            static_cast<QDialog *>(fileDialog)->accept(); // protected in QFileDialog
        }
    } else if (auto *dialog = qobject_cast<QInputDialog *>(modal)) {
        prompts << dialog->windowTitle() + QLatin1Char('|') + dialog->labelText();
        const QString answer = answers.isEmpty() ? QString() : answers.dequeue();
        if (answer.isNull()) {
            dialog->reject();
        } else {
            dialog->setTextValue(answer);
            dialog->accept();
        }
    } else if (modal && other) {
        other(modal);
    }
}
