#ifndef LABELPIXMAP_H
#define LABELPIXMAP_H

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

#endif // LABELPIXMAP_H
