#include "MuItemDelegate.h"

#include "mulistitemdata.h"

#include <QCoreApplication>
#include <QFile>
#include <QPainter>
#include <QPainterPath>
#include <QTextOption>

namespace {

constexpr int kRowHeight = 30;
const QColor kHoverColor("#ebeced");
const QColor kSelectedColor("#e3e3e5");

void drawCard(QPainter *painter, const QPainterPath &path, const QColor &color)
{
    painter->setPen(QPen(color));
    painter->setBrush(QBrush(color, Qt::SolidPattern));
    painter->drawPath(path);
}

} // namespace

MuItemDelegate::MuItemDelegate(QObject *parent)
    : QStyledItemDelegate(parent)
{ }

MuItemDelegate::~MuItemDelegate() = default;

void MuItemDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option,
                           const QModelIndex &index) const
{
    if (!index.isValid())
        return;
    painter->save();
    // The row picture is halved pixel by pixel, as Qt 5's list view draws it:
    // Qt 6's hands over a painter that smooths scaled pictures.
    painter->setRenderHint(QPainter::SmoothPixmapTransform, false);

    const MuItemData itemData = index.data(Qt::UserRole + 1).value<MuItemData>();

    QRectF rect;
    rect.setX(option.rect.x());
    rect.setY(option.rect.y());
    rect.setWidth(option.rect.width() - 1);
    rect.setHeight(option.rect.height() - 1);

    // Square corners, drawn from the top-right corner round and back to it.
    QPainterPath path;
    path.moveTo(rect.topRight());
    path.lineTo(rect.topLeft());
    path.lineTo(rect.bottomLeft());
    path.lineTo(rect.bottomRight());
    path.lineTo(rect.topRight());

    // Both tests apply in turn, so a hovered and selected row ends in the selected colour.
    if (option.state.testFlag(QStyle::State_MouseOver))
        drawCard(painter, path, kHoverColor);
    if (option.state.testFlag(QStyle::State_Selected))
        drawCard(painter, path, kSelectedColor);

    const QRectF iconRect = QRect(int(rect.left() + 5), int(rect.top() + 5), 20, 20);
    const QRectF singerRect = QRect(int(iconRect.right() + 5), int(iconRect.top()),
                                    int(rect.width() - 10 - iconRect.width()), 20);

    const QImage &picture = fingerPicture();
    painter->drawImage(iconRect, picture, QRectF(0, 0, picture.width(), picture.height()),
                       Qt::AutoColor);

    painter->setPen(QPen(Qt::black));
    painter->setFont(QFont("Microsoft Yahei", 10));
    painter->drawText(singerRect, itemData.singer, QTextOption());

    painter->restore();
}

QSize MuItemDelegate::sizeHint(const QStyleOptionViewItem &option, const QModelIndex &) const
{
    return QSize(option.rect.width(), kRowHeight);
}

const QImage &MuItemDelegate::fingerPicture() const
{
    // The file is read on every paint, and decoded again only when its bytes
    // differ: times and size alone miss a picture replaced by another of the
    // same size within the file system's clock tick.
    QFile file(QCoreApplication::applicationDirPath() + "/" + "image/finger.jpg");
    const QByteArray bytes = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    if (!m_picture.loaded || bytes != m_picture.bytes) {
        m_picture.image = QImage::fromData(bytes);
        m_picture.bytes = bytes;
        m_picture.loaded = true;
    }
    return m_picture.image;
}
