// The list row delegate, painted into an image: the card to the pixel in
// each state's colour, the picture's and the caption's places, the painter
// left as it was found, and the picture file read afresh once it is
// replaced, also by another of the same size and time. This test owns the image/ folder beside it
// and writes its own pictures there.

#include "MuItemDelegate.h"
#include "mulistitemdata.h"

#include <QDir>
#include <QPainter>
#include <QStandardItemModel>
#include <QtTest>

namespace {

const QRgb kWhite = qRgb(255, 255, 255);
const QRgb kRed = qRgb(255, 0, 0);
const QRgb kHover = qRgb(235, 236, 237);
const QRgb kSelected = qRgb(227, 227, 229);

QString picturePath()
{
    return QCoreApplication::applicationDirPath() + "/image/finger.jpg";
}

// A picture of one colour. Saved as PNG (or BMP) under the .jpg name: the
// reader goes by the file's content, and both keep the colour exact.
void writePicture(const QColor &color, int size, const char *format = "PNG")
{
    QDir().mkpath(QCoreApplication::applicationDirPath() + "/image");
    QImage picture(size, size, QImage::Format_RGB32);
    picture.fill(color);
    QVERIFY(picture.save(picturePath(), format));
}

// The caption's ink: dark, and black rather than coloured.
bool isInk(QRgb pixel)
{
    return qGray(pixel) < 128 && qAbs(qRed(pixel) - qBlue(pixel)) < 8;
}

} // namespace

class tst_Delegate : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void row_data();
    void row();
    void painterLeftAsFound();
    void pictureReadAfresh();
    void pictureNotSmoothed();

private:
    QImage paint(const QRect &rect, QStyle::State state, const QString &caption = "指纹[5]",
                 QPainter::RenderHints hints = {});
    QStandardItemModel m_model;
    MuItemDelegate m_delegate;
};

void tst_Delegate::init()
{
    writePicture(Qt::red, 40);
}

QImage tst_Delegate::paint(const QRect &rect, QStyle::State state, const QString &caption,
                           QPainter::RenderHints hints)
{
    m_model.clear();
    auto *item = new QStandardItem;
    MuItemData data;
    data.singer = caption;
    item->setData(QVariant::fromValue(data), Qt::UserRole + 1);
    m_model.appendRow(item);

    QImage canvas(240, 120, QImage::Format_RGB32);
    canvas.fill(kWhite);
    QPainter painter(&canvas);
    painter.setRenderHints(hints);
    QStyleOptionViewItem option;
    option.rect = rect;
    option.state = state;
    m_delegate.paint(&painter, option, m_model.index(0, 0));
    return canvas;
}

void tst_Delegate::row_data()
{
    QTest::addColumn<QRect>("rect");
    QTest::addColumn<int>("state");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<uint>("card"); // white: no card

    const QRect top(0, 0, 200, 30);
    const int hover = QStyle::State_MouseOver;
    const int selected = QStyle::State_Selected;
    QTest::newRow("plain") << top << 0 << "指纹[5]" << uint(kWhite);
    QTest::newRow("other flags only")
        << top << int(QStyle::State_Enabled | QStyle::State_HasFocus) << "指纹[5]" << uint(kWhite);
    QTest::newRow("hovered") << top << hover << "指纹[5]" << uint(kHover);
    QTest::newRow("selected") << top << selected << "指纹[5]" << uint(kSelected);
    QTest::newRow("hovered and selected")
        << top << (hover | selected) << "指纹[5]" << uint(kSelected);
    QTest::newRow("further down") << QRect(0, 60, 200, 30) << selected << "指纹[1023]"
                                  << uint(kSelected);
    QTest::newRow("elsewhere, taller")
        << QRect(7, 33, 150, 40) << hover << "指纹[8]" << uint(kHover);
    QTest::newRow("empty caption") << top << hover << "" << uint(kHover);
    QTest::newRow("null caption") << top << selected << QString() << uint(kSelected);
}

// Every pixel: the card covers the row's pixels exactly (its outline runs
// through the last column and row), the picture lies at (5, 5) 20 by 20,
// the caption's ink inside (30, 5) to the card's right edge, 20 high;
// nothing else, least of all over the next row. Rows are 30 high.
void tst_Delegate::row()
{
    QFETCH(QRect, rect);
    QFETCH(int, state);
    QFETCH(QString, caption);
    QFETCH(uint, card);
    const QImage canvas = paint(rect, QStyle::State(state), caption);
    const QRect pictureArea(rect.x() + 5, rect.y() + 5, 20, 20);
    const QRect captionArea(rect.x() + 30, rect.y() + 5, rect.width() - 31, 20);
    int ink = 0;
    for (int y = 0; y < canvas.height(); ++y) {
        for (int x = 0; x < canvas.width(); ++x) {
            const QPoint p(x, y);
            const QRgb pixel = canvas.pixel(p);
            if (captionArea.contains(p)) {
                ink += isInk(pixel);
                continue;
            }
            const QRgb expected = pictureArea.contains(p) ? kRed
                : rect.contains(p)                        ? QRgb(card)
                                                          : kWhite;
            if (pixel != expected)
                QFAIL(qPrintable(QStringLiteral("pixel %1, %2 is %3, not %4")
                                     .arg(x)
                                     .arg(y)
                                     .arg(pixel, 0, 16)
                                     .arg(expected, 0, 16)));
        }
    }
    QCOMPARE(ink > 20, !caption.isEmpty());
    QStyleOptionViewItem option;
    option.rect = rect;
    QCOMPARE(m_delegate.sizeHint(option, m_model.index(0, 0)), QSize(rect.width(), 30));
    QCOMPARE(m_delegate.sizeHint(option, QModelIndex()), QSize(rect.width(), 30));
}

// An invalid index draws nothing and leaves the painter alone; a valid one
// gives back the pen, brush and font it found, and pops no state of ours.
void tst_Delegate::painterLeftAsFound()
{
    QImage canvas(240, 120, QImage::Format_RGB32);
    canvas.fill(kWhite);
    const QImage blank = canvas;
    QPainter painter(&canvas);
    const QPen pen(Qt::green, 3);
    const QBrush brush(Qt::blue, Qt::Dense4Pattern);
    painter.setPen(pen);
    painter.setBrush(brush);
    painter.setFont(QFont("Serif", 23));
    const QFont font = painter.font();
    QStyleOptionViewItem option;
    option.rect = QRect(0, 0, 200, 30);
    option.state = QStyle::State_Selected | QStyle::State_MouseOver;

    painter.save();
    painter.setPen(Qt::yellow);
    m_delegate.paint(&painter, option, QModelIndex());
    QCOMPARE(canvas, blank);
    m_model.clear();
    m_model.appendRow(new QStandardItem); // no record: card and picture only
    m_delegate.paint(&painter, option, m_model.index(0, 0));
    QCOMPARE(painter.pen(), QPen(Qt::yellow));
    QCOMPARE(painter.brush(), brush);
    QCOMPARE(painter.font(), font);
    painter.restore();
    QCOMPARE(painter.pen(), pen);
    painter.end();
    QCOMPARE(canvas.pixel(100, 15), kSelected);
}

void tst_Delegate::pictureReadAfresh()
{
    QCOMPARE(paint(QRect(0, 0, 200, 30), QStyle::State_None).pixel(10, 10), kRed);
    writePicture(Qt::blue, 32);
    QCOMPARE(paint(QRect(0, 0, 200, 30), QStyle::State_None).pixel(10, 10), qRgb(0, 0, 255));
    // The same size to the byte and the same time of change: only the
    // content tells them apart.
    writePicture(Qt::green, 32, "BMP");
    QFileInfo before(picturePath());
    const QDateTime modified = before.lastModified();
    QCOMPARE(paint(QRect(0, 0, 200, 30), QStyle::State_None).pixel(10, 10), qRgb(0, 255, 0));
    writePicture(Qt::blue, 32, "BMP");
    QFile file(picturePath());
    QVERIFY(file.open(QIODevice::ReadWrite)
            && file.setFileTime(modified, QFileDevice::FileModificationTime));
    file.close();
    QFileInfo after(picturePath());
    QCOMPARE(after.size(), before.size());
    QCOMPARE(after.lastModified(), modified);
    QCOMPARE(paint(QRect(0, 0, 200, 30), QStyle::State_None).pixel(10, 10), qRgb(0, 0, 255));
    QFile::remove(picturePath());
    const QImage canvas = paint(QRect(0, 0, 200, 30), QStyle::State_Selected);
    QCOMPARE(canvas.pixel(10, 10), kSelected); // no picture; card and caption as usual
    QCOMPARE(canvas.pixel(150, 27), kSelected);
    int ink = 0;
    for (int y = 5; y < 25; ++y)
        for (int x = 30; x < 199; ++x)
            ink += isInk(canvas.pixel(x, y));
    QVERIFY(ink > 20);
}

// Qt 6's list view paints with smoothing on; the halved picture must still
// show only its own colours, as with Qt 5.
void tst_Delegate::pictureNotSmoothed()
{
    QImage stripes(40, 40, QImage::Format_RGB32);
    for (int x = 0; x < 40; ++x) {
        for (int y = 0; y < 40; ++y)
            stripes.setPixel(x, y, x % 2 ? qRgb(0, 0, 255) : kRed);
    }
    QVERIFY(stripes.save(picturePath(), "PNG"));
    const QImage canvas = paint(QRect(0, 0, 200, 30), QStyle::State_None, "指纹[5]",
                                QPainter::SmoothPixmapTransform);
    for (int y = 5; y < 25; ++y) {
        for (int x = 5; x < 25; ++x) {
            const QRgb pixel = canvas.pixel(x, y);
            QVERIFY2(
                pixel == kRed || pixel == qRgb(0, 0, 255),
                qPrintable(QStringLiteral("pixel %1, %2 is %3").arg(x).arg(y).arg(pixel, 0, 16)));
        }
    }
}

QTEST_MAIN(tst_Delegate)
#include "tst_delegate.moc"
