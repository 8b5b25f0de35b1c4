#ifndef MULISTITEMDATA_H
#define MULISTITEMDATA_H

#include <QMetaType>
#include <QString>
#include <Qt>

// One row of the template list. The delegate draws `singer` as the caption;
// the other two fields are kept for the row's shape and stay empty. The
// names are the row record's established interface and stay as they are,
// as does the source file MuitemDelegate.cpp beside MuItemDelegate.h.
struct MuItemData
{
    QString iconPath;
    QString singer;
    QString songsNb;
};

Q_DECLARE_METATYPE(MuItemData)

// The roles of a row: the record, and the template ID the row stands for,
// an int, so that nothing reads the ID back out of the caption.
constexpr int kRowRecordRole = Qt::UserRole + 1;
constexpr int kTemplateIdRole = Qt::UserRole + 2;

#endif // MULISTITEMDATA_H
