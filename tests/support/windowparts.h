#ifndef WINDOWPARTS_H
#define WINDOWPARTS_H

#include "mainwindow.h"

#include <QLabel>
#include <QPixmap>

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

#endif // WINDOWPARTS_H
