// Draws the program's pictures: the window icon, the idle picture, the small
// fingerprint at the left of each list row, and the icon for menus in the
// sizes the desktop asks for (logo.png is its 128-pixel size).
//
//   makepictures <directory>   writes logo.png, default.jpg, finger.jpg,
//                              fpdesk-48.png and fpdesk-256.png there

#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include <cmath>
#include <cstdio>

namespace {

// A stylised fingerprint: nested loops open towards the bottom, each broken
// once, as ridges around a core.
void drawGlyph(QPainter &painter, const QRectF &box, const QColor &color, qreal width,
               int rings = 6)
{
    const QPointF core(box.center().x(), box.top() + box.height() * 0.42);
    const qreal stepX = box.width() / 2.0 / (rings + 0.5);
    const qreal stepY = box.height() * 0.42 / (rings + 0.5);
    QPen pen(color, width, Qt::SolidLine, Qt::RoundCap);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    for (int i = 1; i <= rings; ++i) {
        const qreal rx = stepX * i;
        const qreal ry = stepY * i;
        QPainterPath path;
        // The upper half-ellipse, continued by two legs running down.
        const qreal leg = box.height() * 0.5 - ry * 0.2 - i * stepY * 0.35;
        path.moveTo(core.x() - rx, core.y() + leg * (0.55 + 0.07 * (i % 3)));
        path.lineTo(core.x() - rx, core.y());
        path.arcTo(QRectF(core.x() - rx, core.y() - ry, 2 * rx, 2 * ry), 180, -180);
        path.lineTo(core.x() + rx, core.y() + leg * (0.45 + 0.08 * ((i + 1) % 3)));
        // One break per ridge, at a different place each time.
        const qreal gapAt = 0.15 + 0.13 * ((i * 5) % 6);
        const qreal length = path.length();
        QPainterPath first;
        QPainterPath second;
        const int steps = 120;
        for (int s = 0; s <= steps; ++s) {
            const qreal t = qreal(s) / steps;
            const QPointF p = path.pointAtPercent(t);
            if (t < gapAt)
                s == 0 ? first.moveTo(p) : first.lineTo(p);
            else if (t > gapAt + 6.0 / length)
                second.elementCount() == 0 ? second.moveTo(p) : second.lineTo(p);
        }
        painter.drawPath(first);
        painter.drawPath(second);
    }
    // The core itself: a short ridge end.
    painter.drawLine(QPointF(core.x(), core.y() - stepY * 0.3),
                     QPointF(core.x(), core.y() + stepY));
}

// The icon is drawn on a 128-unit grid, scaled to the size. Small sizes get
// fewer and bolder ridges, which a few pixels could not keep apart otherwise.
QImage logo(int size)
{
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(size / 128.0, size / 128.0);
    QLinearGradient fill(0, 0, 0, 128);
    fill.setColorAt(0, QColor(0x2b, 0x7a, 0xc9));
    fill.setColorAt(1, QColor(0x17, 0x4a, 0x86));
    painter.setPen(Qt::NoPen);
    painter.setBrush(fill);
    painter.drawRoundedRect(QRectF(4, 4, 120, 120), 26, 26);
    const bool small = size < 96;
    drawGlyph(painter, QRectF(26, 20, 76, 92), Qt::white, small ? 7 : 5, small ? 4 : 6);
    return image;
}

QImage idlePicture()
{
    QImage image(256, 288, QImage::Format_RGB32);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    QRadialGradient glow(128, 140, 190);
    glow.setColorAt(0, QColor(0xf4, 0xf6, 0xf8));
    glow.setColorAt(1, QColor(0xd9, 0xde, 0xe4));
    painter.fillRect(image.rect(), glow);
    // The outline of a fingertip, with its ridges faint inside.
    painter.setPen(QPen(QColor(0xb5, 0xbf, 0xca), 3));
    painter.setBrush(QColor(0xea, 0xee, 0xf2));
    painter.drawRoundedRect(QRectF(58, 34, 140, 220), 70, 70);
    drawGlyph(painter, QRectF(74, 58, 108, 172), QColor(0x9a, 0xa8, 0xb8), 4);
    return image;
}

QImage rowPicture()
{
    QImage image(40, 40, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    drawGlyph(painter, QRectF(4, 2, 32, 36), QColor(0x1f, 0x5f, 0xa8), 3.2, 4);
    return image;
}

} // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: makepictures <directory>\n");
        return 2;
    }
    const QString dir = QString::fromLocal8Bit(argv[1]);
    const bool written = logo(128).save(dir + "/logo.png") && logo(48).save(dir + "/fpdesk-48.png")
        && logo(256).save(dir + "/fpdesk-256.png")
        && idlePicture().save(dir + "/default.jpg", "JPG", 92)
        && rowPicture().save(dir + "/finger.jpg", "JPG", 95);
    if (!written) {
        std::fprintf(stderr, "makepictures: could not write to %s\n", argv[1]);
        return 1;
    }
    return 0;
}
