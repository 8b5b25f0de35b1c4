#ifndef MUITEMDELEGATE_H
#define MUITEMDELEGATE_H

#include <QByteArray>
#include <QImage>
#include <QStyledItemDelegate>

// Paints a template list row as a flat card (only while hovered or
// selected), the finger picture at its left and the caption beside it.
class MuItemDelegate : public QStyledItemDelegate
{
public:
    explicit MuItemDelegate(QObject *parent = nullptr);
    ~MuItemDelegate() override;

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override;
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;

private:
    const QImage &fingerPicture() const;

    // The decoded picture and the bytes it was decoded from: a replaced file
    // is decoded again at the next paint, an unchanged one never.
    struct Picture
    {
        QImage image;
        QByteArray bytes;
        bool loaded = false;
    };
    mutable Picture m_picture;
};

#endif // MUITEMDELEGATE_H
