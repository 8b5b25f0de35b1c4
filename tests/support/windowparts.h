#ifndef WINDOWPARTS_H
#define WINDOWPARTS_H

#include "mainwindow.h"
#include "mulistitemdata.h"

#include <QFile>
#include <QLabel>
#include <QListView>
#include <QPixmap>
#include <QPushButton>

// The picture a label shows, null when it shows none.
inline QPixmap labelPixmap(const QLabel *label)
{
#if QT_VERSION >= QT_VERSION_CHECK(5, 15, 0)
    return label->pixmap(Qt::ReturnByValue);
#else
    return label->pixmap() ? *label->pixmap() : QPixmap();
#endif
}

// The window's status line: its one label besides the image label.
inline QLabel *statusLine(MainWindow &window)
{
    for (QLabel *label : window.findChildren<QLabel *>(QString(), Qt::FindDirectChildrenOnly)) {
        if (label != window.f_finger)
            return label;
    }
    return nullptr;
}

// The window's button with this text.
inline QPushButton *button(MainWindow &window, const QString &text)
{
    for (QPushButton *b : window.findChildren<QPushButton *>()) {
        if (b->text() == text)
            return b;
    }
    return nullptr;
}

inline QListView *listOf(MainWindow &window)
{
    return window.findChild<QListView *>();
}

// The captions of the template list's rows, in order.
inline QStringList captions(MainWindow &window)
{
    QStringList texts;
    const QAbstractItemModel *model = listOf(window)->model();
    for (int row = 0; model && row < model->rowCount(); ++row)
        texts << model->index(row, 0).data(kRowRecordRole).value<MuItemData>().singer;
    return texts;
}

inline bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

inline QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

#endif // WINDOWPARTS_H
