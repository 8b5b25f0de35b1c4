#ifndef MODALPILOT_H
#define MODALPILOT_H

#include <QObject>
#include <QQueue>
#include <QStringList>
#include <QTimer>

// Plays the operator in front of modal dialogs: notes the text of every
// message box and closes it, and answers ID prompts from a queue of texts
// (a null QString cancels the prompt).
class ModalPilot : public QObject
{
    Q_OBJECT

public:
    explicit ModalPilot(QObject *parent = nullptr);

    QStringList alerts; // "title|text" of every message box
    QStringList prompts; // "title|label" of every input dialog
    QQueue<QString> answers;

private:
    void look();

    QTimer m_timer;
};

#endif // MODALPILOT_H
