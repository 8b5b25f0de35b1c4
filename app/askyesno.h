#ifndef ASKYESNO_H
#define ASKYESNO_H

// The question before a command that cannot be undone: "No" is the
// default, so that a stray Enter changes nothing.

#include <QMessageBox>

inline bool askYesNo(QWidget *parent, const QString &question)
{
    return QMessageBox::question(parent, "提示", question, QMessageBox::Yes | QMessageBox::No,
                                 QMessageBox::No)
        == QMessageBox::Yes;
}

#endif // ASKYESNO_H
