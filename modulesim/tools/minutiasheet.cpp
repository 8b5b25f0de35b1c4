// Pictures of how the simulated module judges prints.
//
//   vyrsim_minutiae frames <out.png> [image.png | FINGER:PRESS ...]
//       For each frame the image, the enhanced ridges and the skeleton, with
//       the minutiae the module kept drawn over them (endings red, forks
//       blue, a tail along the direction; faint: the ones the filters took
//       away). FINGER:PRESS is a press of a synthetic finger; without frames
//       it shows a press of each of two fingers.
//
//   vyrsim_minutiae scores <out.png> [FINGERS [PRINTS]]
//       The genuine and impostor score distributions of a synthetic
//       population (FINGERS fingers, 100 unless given, 8 presses each),
//       through the module's own entry points; below them those of the real
//       prints in every set folder under PRINTS, pooled.

#include "extractor.h"
#include "fingersynth.h"
#include "population.h"
#include "sensor.h"
#include "vyrsim.h"

#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

using namespace vyrsim;

namespace {

// The frame the module takes of a picture placed on its sensor.
GreyImage fromQImage(const QImage &picture)
{
    return centreOnSensor(greyPixels(picture).data(), picture.width(), picture.height());
}

QImage toQImage(const GreyImage &image)
{
    QImage out(image.cols, image.rows, QImage::Format_RGB32);
    for (int y = 0; y < image.rows; ++y)
        for (int x = 0; x < image.cols; ++x) {
            const int v = image.at(x, y);
            out.setPixel(x, y, qRgb(v, v, v));
        }
    return out;
}

QImage enhancedPicture(const ExtractionTrace &trace)
{
    QImage out(trace.enhanced.cols, trace.enhanced.rows, QImage::Format_RGB32);
    float scale = 1;
    for (float v : trace.enhanced.cells)
        scale = std::max(scale, std::fabs(v));
    for (int y = 0; y < out.height(); ++y)
        for (int x = 0; x < out.width(); ++x) {
            const int v = 128 + int(127 * trace.enhanced.at(x, y) / scale);
            out.setPixel(x, y, qRgb(v, v, v));
        }
    return out;
}

QImage skeletonPicture(const ExtractionTrace &trace)
{
    QImage out(trace.skeleton.cols, trace.skeleton.rows, QImage::Format_RGB32);
    for (int y = 0; y < out.height(); ++y)
        for (int x = 0; x < out.width(); ++x) {
            const int c = std::min(x / kBlock, trace.mask.cols - 1);
            const int r = std::min(y / kBlock, trace.mask.rows - 1);
            const int shade
                = trace.mask.at(c, r) ? 255 - int(80 * (1 - trace.quality.at(c, r))) : 150;
            QRgb colour = qRgb(shade, shade, shade);
            if (trace.skeleton.at(x, y))
                colour = qRgb(0, 0, 0);
            else if (trace.ridges.at(x, y))
                colour = qRgb(200, 200, 200);
            out.setPixel(x, y, colour);
        }
    return out;
}

void drawMinutiae(QPainter &painter, const std::vector<MinutiaCandidate> &minutiae,
                  const QPoint &origin, bool faint)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.translate(origin);
    for (const MinutiaCandidate &m : minutiae) {
        QColor colour = m.type == MinutiaType::Ending ? QColor(220, 30, 30) : QColor(30, 90, 230);
        if (faint)
            colour.setAlpha(90);
        painter.setPen(QPen(colour, 1.6));
        painter.setBrush(Qt::NoBrush);
        const QPointF at(m.x + 0.5, m.y + 0.5);
        painter.drawEllipse(at, 3.5, 3.5);
        painter.drawLine(at, at + QPointF(11 * std::cos(m.angle), 11 * std::sin(m.angle)));
    }
    painter.restore();
}

} // namespace

// Every real set in the folder, pooled: genuine pairs within each set,
// impostor pairs within each set and across sets.
Scores realScores(const ModuleSession &module, const QString &folder)
{
    Scores pooled;
    if (folder.isEmpty())
        return pooled;
    std::vector<std::vector<Impression>> sets;
    const QDir prints(folder);
    for (const QString &name : prints.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name)) {
        std::vector<Impression> set = imageImpressions(module, prints.filePath(name));
        if (set.empty())
            continue;
        const Scores s = compareImpressions(module, set, true);
        pooled.genuine.insert(pooled.genuine.end(), s.genuine.begin(), s.genuine.end());
        pooled.impostor.insert(pooled.impostor.end(), s.impostor.begin(), s.impostor.end());
        pooled.refused += s.refused;
        for (const std::vector<Impression> &other : sets) {
            const std::vector<int> cross = crossImpostors(module, other, set);
            pooled.impostor.insert(pooled.impostor.end(), cross.begin(), cross.end());
        }
        sets.push_back(std::move(set));
    }
    return pooled;
}

// Histograms of both distributions, each scaled to its own peak (impostor
// scores crowd near 0 and would flatten the genuine ones), with the
// threshold marked.
void drawPanel(QPainter &painter, const QRect &plot, const Scores &scores, const QString &title)
{
    constexpr int kBin = 10;
    constexpr int kBins = 70; // up to 700, the last bin holding everything above
    auto histogram = [&](const std::vector<int> &values) {
        std::vector<double> share(kBins, 0);
        for (int v : values)
            share[std::size_t(std::min(v / kBin, kBins - 1))] += 1.0 / double(values.size());
        return share;
    };
    const double barWidth = plot.width() / double(kBins);
    auto bars = [&](const std::vector<double> &share, const QColor &colour) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(colour);
        const double top = std::max(1e-9, *std::max_element(share.begin(), share.end()));
        for (int i = 0; i < kBins; ++i) {
            const double h = share[std::size_t(i)] / top * plot.height();
            painter.drawRect(QRectF(plot.left() + i * barWidth, plot.bottom() - h, barWidth, h));
        }
    };
    bars(histogram(scores.impostor), QColor(220, 60, 50, 170));
    bars(histogram(scores.genuine), QColor(40, 140, 70, 170));
    painter.setPen(QPen(Qt::black, 1));
    painter.drawLine(plot.bottomLeft(), plot.bottomRight());
    painter.drawLine(plot.bottomLeft(), plot.topLeft());
    for (int v = 0; v <= kBins * kBin; v += 50) {
        const double x = plot.left() + v / double(kBin) * barWidth;
        painter.drawLine(QPointF(x, plot.bottom()), QPointF(x, plot.bottom() + 5));
        painter.drawText(QRectF(x - 30, plot.bottom() + 8, 60, 16), Qt::AlignCenter,
                         v == kBins * kBin ? QStringLiteral("%1+").arg(v - kBin)
                                           : QString::number(v));
    }
    const double threshold = plot.left() + VYRSIM_MATCH_THRESHOLD / double(kBin) * barWidth;
    painter.setPen(QPen(Qt::black, 1.5, Qt::DashLine));
    painter.drawLine(QPointF(threshold, plot.top() - 10), QPointF(threshold, plot.bottom()));
    painter.setPen(Qt::black);
    painter.drawText(QPointF(threshold + 6, plot.top() - 2),
                     QStringLiteral("threshold %1").arg(VYRSIM_MATCH_THRESHOLD));
    painter.drawText(QRectF(plot.left(), plot.bottom() + 28, plot.width(), 20), Qt::AlignCenter,
                     QStringLiteral("score of VYRMatch"));
    painter.drawText(QRectF(plot.left(), plot.top() - 54, plot.width(), 40), Qt::AlignLeft, title);
}

// The synthetic population, and beside it the real prints pooled when the
// folder holds any.
int drawScores(const QString &out, int fingers, const QString &prints)
{
    const ModuleSession module;
    const Scores synthetic
        = compareImpressions(module, syntheticImpressions(module, fingers, 8), false);
    const Scores real = realScores(module, prints);
    const bool withReal = !real.genuine.empty();

    const QSize panel(780, 300);
    QImage picture(panel.width() + 80, (withReal ? 2 : 1) * (panel.height() + 130),
                   QImage::Format_RGB32);
    picture.fill(Qt::white);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    drawPanel(painter, QRect(QPoint(40, 60), panel), synthetic,
              QStringLiteral("%1 synthetic fingers x 8 presses, each histogram scaled to its peak\n"
                             "green: %2 genuine pairs; red: %3 impostor pairs of first presses")
                  .arg(fingers)
                  .arg(synthetic.genuine.size())
                  .arg(synthetic.impostor.size()));
    if (withReal)
        drawPanel(painter, QRect(QPoint(40, 60 + panel.height() + 130), panel), real,
                  QStringLiteral("real prints, every set under %1 pooled; refused presses: %2, "
                                 "scoring 0\ngreen: %3 genuine pairs; red: %4 impostor pairs "
                                 "within and across sets")
                      .arg(QDir(prints).dirName())
                      .arg(real.refused)
                      .arg(real.genuine.size())
                      .arg(real.impostor.size()));
    painter.end();
    return picture.save(out) ? 0 : 1;
}

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QString mode = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();
    if (argc < 3 || (mode != "frames" && mode != "scores")) {
        std::fprintf(stderr,
                     "usage: vyrsim_minutiae frames <out.png> [image.png | FINGER:PRESS ...]\n"
                     "       vyrsim_minutiae scores <out.png> [FINGERS [PRINTS]]\n");
        return 2;
    }
    if (mode == "scores")
        return drawScores(QString::fromLocal8Bit(argv[2]), argc > 3 ? std::atoi(argv[3]) : 100,
                          argc > 4 ? QString::fromLocal8Bit(argv[4]) : QString());
    std::vector<GreyImage> frames;
    std::vector<QString> labels;
    for (int i = 3; i < argc; ++i) {
        const QString arg = QString::fromLocal8Bit(argv[i]);
        const QStringList synthetic = arg.split(':');
        if (synthetic.size() == 2 && synthetic[0].toInt() > 0) {
            const int finger = synthetic[0].toInt();
            const unsigned press = synthetic[1].toUInt();
            GreyImage frame(kFrameWidth, kFrameHeight);
            renderFinger(finger, pressFor(finger, press), press, frame.cells.data());
            frames.push_back(std::move(frame));
            labels.push_back(QStringLiteral("finger %1, press %2").arg(finger).arg(press));
            continue;
        }
        const QImage picture(arg);
        if (picture.isNull()) {
            std::fprintf(stderr, "vyrsim_minutiae: cannot read %s\n", argv[i]);
            return 1;
        }
        frames.push_back(fromQImage(picture));
        labels.push_back(QString::fromLocal8Bit(argv[i]).section('/', -1));
    }
    if (frames.empty()) {
        for (int finger : {1, 2}) {
            GreyImage frame(kFrameWidth, kFrameHeight);
            renderFinger(finger, pressFor(finger, 1), 7, frame.cells.data());
            frames.push_back(std::move(frame));
            labels.push_back(QStringLiteral("finger %1").arg(finger));
        }
    }

    constexpr int kGap = 8;
    const int w = kFrameWidth;
    const int h = kFrameHeight;
    QImage sheet(3 * w + 4 * kGap, int(frames.size()) * (h + kGap + 16) + kGap,
                 QImage::Format_RGB32);
    sheet.fill(QColor(0x30, 0x30, 0x30));
    QPainter painter(&sheet);
    for (std::size_t i = 0; i < frames.size(); ++i) {
        ExtractionTrace trace;
        const Extraction result = extractFeatures(frames[i], &trace);
        const int top = kGap + int(i) * (h + kGap + 16);
        const QPoint image(kGap, top);
        const QPoint enhanced(2 * kGap + w, top);
        const QPoint skeleton(3 * kGap + 2 * w, top);
        painter.drawImage(image, toQImage(frames[i]));
        painter.drawImage(enhanced, enhancedPicture(trace));
        painter.drawImage(skeleton, skeletonPicture(trace));
        drawMinutiae(painter, trace.candidates, skeleton, true);
        drawMinutiae(painter, trace.minutiae, skeleton, false);
        drawMinutiae(painter, trace.minutiae, image, false);
        painter.setPen(Qt::white);
        painter.drawText(QPoint(kGap, top + h + 13),
                         QStringLiteral("%1: %2 minutiae, print %3%, usable %4%: %5")
                             .arg(labels[i])
                             .arg(result.feature.minutiae.size())
                             .arg(result.printPercent)
                             .arg(result.usablePercent)
                             .arg(result.accepted ? "accepted" : "refused"));
    }
    painter.end();
    return sheet.save(QString::fromLocal8Bit(argv[2])) ? 0 : 1;
}
