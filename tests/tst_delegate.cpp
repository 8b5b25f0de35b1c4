// The list row delegate, painted into an image: card colours per state, the
// picture's and the caption's places, the painter left as it was found, and
// the picture file read afresh once it is replaced. This test owns the
// image/ folder beside it and writes its own pictures there.

#include "MuItemDelegate.h"
#include "mulistitemdata.h"

#include <QDir>
#include <QPainter>
#include <QStandardItemModel>
#include <QtTest>

namespace {

const QRgb kWhite = qRgb(255, 255, 255);
const QRgb kHover = qRgb(235, 236, 237);
const QRgb kSelected = qRgb(227, 227, 229);

QString picturePath()
{
    return QCoreApplication::applicationDirPath() + "/image/finger.jpg";
}

// A picture of one colour. Saved as PNG under the .jpg name: the reader
// goes by the file's content, and PNG keeps the colour exact.
void writePicture(const QColor &color, int size)
{
    QDir().mkpath(QCoreApplication::applicationDirPath() + "/image");
    QImage picture(size, size, QImage::Format_RGB32);
    picture.fill(color);
    QVERIFY(picture.save(picturePath(), "PNG"));
}

bool isDark(QRgb pixel)
{
    return qGray(pixel) < 128;
}

// Whether any caption ink lies inside the rectangle.
bool inkIn(const QImage &canvas, const QRect &area)
{
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (isDark(canvas.pixel(x, y)))
                return true;
    return false;
}

} // namespace

class tst_Delegate : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void plainRow();
    void cardColours_data();
    void cardColours();
    void rowFurtherDown();
    void invalidIndexDrawsNothing();
    void painterRestored();
    void missingPicture();
    void emptyCaption();
    void replacedPictureShowsAtNextPaint();
    void sizeHint();

private:
    QImage paint(const QRect &rect, QStyle::State state, const QString &caption = "指纹[5]");
    QStandardItemModel m_model;
    MuItemDelegate m_delegate;
};

void tst_Delegate::init()
{
    writePicture(Qt::red, 40);
}

QImage tst_Delegate::paint(const QRect &rect, QStyle::State state, const QString &caption)
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
    QStyleOptionViewItem option;
    option.rect = rect;
    option.state = state;
    m_delegate.paint(&painter, option, m_model.index(0, 0));
    return canvas;
}

void tst_Delegate::plainRow()
{
    const QImage canvas = paint(QRect(0, 0, 200, 30), QStyle::State_None);
    QCOMPARE(canvas.pixel(2, 2), kWhite); // no card
    QCOMPARE(canvas.pixel(150, 27), kWhite);
    // The picture fills (5, 5) to (24, 24), scaled from 40 x 40.
    QCOMPARE(canvas.pixel(5, 5), qRgb(255, 0, 0));
    QCOMPARE(canvas.pixel(24, 24), qRgb(255, 0, 0));
    QCOMPARE(canvas.pixel(4, 15), kWhite);
    QCOMPARE(canvas.pixel(25, 15), kWhite);
    QCOMPARE(canvas.pixel(15, 25), kWhite);
    // The caption, in black, inside (30, 5, 169 x 20).
    int dark = 0;
    int darkest = 255;
    for (int y = 0; y < canvas.height(); ++y) {
        for (int x = 26; x < canvas.width(); ++x) {
            const QRgb p = canvas.pixel(x, y);
            if (!isDark(p))
                continue;
            QVERIFY2(x >= 30 && x <= 199 && y >= 5 && y <= 24,
                     qPrintable(QString("dark pixel at %1,%2").arg(x).arg(y)));
            QVERIFY(qAbs(qRed(p) - qBlue(p)) < 8); // black text, no colour
            darkest = qMin(darkest, qGray(p));
            ++dark;
        }
    }
    QVERIFY(dark > 20);
    QVERIFY(darkest < 60);
}

void tst_Delegate::cardColours_data()
{
    QTest::addColumn<int>("state");
    QTest::addColumn<uint>("card");
    QTest::newRow("hovered") << int(QStyle::State_MouseOver) << uint(kHover);
    QTest::newRow("selected") << int(QStyle::State_Selected) << uint(kSelected);
    QTest::newRow("hovered and selected")
        << int(QStyle::State_MouseOver | QStyle::State_Selected) << uint(kSelected);
    QTest::newRow("other flags only")
        << int(QStyle::State_Enabled | QStyle::State_HasFocus) << uint(kWhite);
}

void tst_Delegate::cardColours()
{
    QFETCH(int, state);
    QFETCH(uint, card);
    const QImage canvas = paint(QRect(0, 0, 200, 30), QStyle::State(state));
    for (const QPoint &p : {QPoint(0, 0), QPoint(2, 2), QPoint(150, 27), QPoint(198, 28),
                            QPoint(199, 15), QPoint(100, 29)})
        QCOMPARE(canvas.pixel(p), QRgb(card));
    // Nothing beyond the card: it is one pixel narrower and lower than the row.
    QCOMPARE(canvas.pixel(201, 15), kWhite);
    QCOMPARE(canvas.pixel(100, 31), kWhite);
    QCOMPARE(canvas.pixel(10, 10), qRgb(255, 0, 0)); // the picture over the card
}

void tst_Delegate::rowFurtherDown()
{
    const QImage canvas = paint(QRect(0, 60, 200, 30), QStyle::State_Selected);
    QCOMPARE(canvas.pixel(5, 65), qRgb(255, 0, 0));
    QCOMPARE(canvas.pixel(24, 84), qRgb(255, 0, 0));
    QCOMPARE(canvas.pixel(5, 64), kSelected);
    QCOMPARE(canvas.pixel(150, 59), kWhite);
    QCOMPARE(canvas.pixel(150, 20), kWhite);
    QVERIFY(inkIn(canvas, QRect(30, 65, 169, 20)));
}

void tst_Delegate::invalidIndexDrawsNothing()
{
    QImage canvas(240, 120, QImage::Format_RGB32);
    canvas.fill(kWhite);
    QPainter painter(&canvas);
    painter.setPen(QPen(Qt::green, 3));
    painter.save(); // one level of saved state, which paint must not pop
    QStyleOptionViewItem option;
    option.rect = QRect(0, 0, 200, 30);
    option.state = QStyle::State_Selected | QStyle::State_MouseOver;
    m_delegate.paint(&painter, option, QModelIndex());
    QCOMPARE(painter.pen(), QPen(Qt::green, 3));
    painter.restore();
    painter.end();
    QImage blank(240, 120, QImage::Format_RGB32);
    blank.fill(kWhite);
    QCOMPARE(canvas, blank);
}

void tst_Delegate::painterRestored()
{
    m_model.clear();
    m_model.appendRow(new QStandardItem);
    QImage canvas(240, 120, QImage::Format_RGB32);
    QPainter painter(&canvas);
    const QPen pen(Qt::green, 3);
    const QBrush brush(Qt::blue, Qt::Dense4Pattern);
    const QFont font("Serif", 23);
    painter.setPen(pen);
    painter.setBrush(brush);
    painter.setFont(font);
    const QFont before = painter.font();
    QStyleOptionViewItem option;
    option.rect = QRect(0, 0, 200, 30);
    option.state = QStyle::State_Selected;
    m_delegate.paint(&painter, option, m_model.index(0, 0));
    QCOMPARE(painter.pen(), pen);
    QCOMPARE(painter.brush(), brush);
    QCOMPARE(painter.font(), before);
}

void tst_Delegate::missingPicture()
{
    QFile::remove(picturePath());
    const QImage canvas = paint(QRect(0, 0, 200, 30), QStyle::State_Selected);
    QCOMPARE(canvas.pixel(10, 10), kSelected); // no picture, card as usual
    QVERIFY(inkIn(canvas, QRect(30, 5, 169, 20)));
}

void tst_Delegate::emptyCaption()
{
    // An empty caption, null or not: card and picture only.
    for (const QString &caption : {QString(), QString("")}) {
        const QImage canvas = paint(QRect(0, 0, 200, 30), QStyle::State_MouseOver, caption);
        QCOMPARE(canvas.pixel(10, 10), qRgb(255, 0, 0));
        QVERIFY(!inkIn(canvas, QRect(26, 0, 214, 120)));
    }
}

void tst_Delegate::replacedPictureShowsAtNextPaint()
{
    QCOMPARE(paint(QRect(0, 0, 200, 30), QStyle::State_None).pixel(10, 10), qRgb(255, 0, 0));
    writePicture(Qt::blue, 32);
    QCOMPARE(paint(QRect(0, 0, 200, 30), QStyle::State_None).pixel(10, 10), qRgb(0, 0, 255));
    QFile::remove(picturePath());
    QCOMPARE(paint(QRect(0, 0, 200, 30), QStyle::State_None).pixel(10, 10), kWhite);
}

void tst_Delegate::sizeHint()
{
    m_model.clear();
    m_model.appendRow(new QStandardItem);
    QStyleOptionViewItem option;
    option.rect = QRect(0, 0, 200, 17);
    QCOMPARE(m_delegate.sizeHint(option, m_model.index(0, 0)), QSize(200, 30));
    QCOMPARE(m_delegate.sizeHint(option, QModelIndex()), QSize(200, 30));
    option.rect = QRect(10, 10, 90, 50);
    QCOMPARE(m_delegate.sizeHint(option, QModelIndex()), QSize(90, 30));
}

QTEST_MAIN(tst_Delegate)
#include "tst_delegate.moc"
