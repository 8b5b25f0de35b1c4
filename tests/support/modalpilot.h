#ifndef MODALPILOT_H
#define MODALPILOT_H

#include <QObject>
#include <QQueue>
#include <QStringList>
#include <QTimer>

#include <functional>

// Plays the operator in front of modal dialogs: notes the text of every
// message box and closes it (a question with the answer next in
// `confirmations`, No when none is left), answers ID prompts and file
// dialogs from queues of texts (a null QString cancels), and hands any
// other dialog to `other`.
class ModalPilot : public QObject
{
    Q_OBJECT

public:
    explicit ModalPilot(QObject *parent = nullptr);

    QStringList alerts; // "title|text" of every message box
    QStringList defaults; // the default button of every question: "Yes" or "No"
    QStringList prompts; // "title|label" of every input dialog
    QQueue<QString> answers;
    QQueue<bool> confirmations;
    QQueue<QString> files; // absolute paths
    QStringList fileDialogs; // "title|folder" of every file dialog
    std::function<void(QWidget *)> other;

private:
    void look();

    QTimer m_timer;
};

#endif // MODALPILOT_H
