// The simulated module judges the image on its sensor: presses of one
// finger match and of different fingers do not, poor frames are refused,
// placed images are centred, and templates survive their byte form.

#include "features/qualitygate.h"
#include "vyr_api.h"
#include "vyrsim.h"

#include <QtTest>

#include <cmath>
#include <vector>

namespace {

constexpr int kAddr = -1;
constexpr int kWidth = 256;
constexpr int kHeight = 288;
using Pixels = std::vector<unsigned char>;

// CRC-32 as the template block carries it, so that a test can forge a block
// that is damaged only in what it says.
quint32 crc32(const unsigned char *data, int length)
{
    quint32 crc = 0xffffffffu;
    for (int i = 0; i < length; ++i) {
        crc ^= data[i];
        for (int k = 0; k < 8; ++k)
            crc = (crc & 1) ? 0xedb88320u ^ (crc >> 1) : crc >> 1;
    }
    return ~crc;
}

struct Forged
{
    int x;
    int y;
    int angle; // 256 steps a turn
    int quality = 60; // 0 to 100
};

// A template block holding exactly these minutiae, its checksum right; with
// ridge cells all of one value when `cells` is 0 to 15.
std::vector<unsigned char> forge(const std::vector<Forged> &minutiae, int cells = -1)
{
    std::vector<unsigned char> b(512, 0);
    b[0] = 'V';
    b[1] = 'Y';
    b[2] = 'T';
    b[3] = cells < 0 ? 1 : 2;
    b[5] = static_cast<unsigned char>(minutiae.size());
    const std::size_t first = cells < 0 ? 8 : 152;
    for (std::size_t i = 8; i < first; ++i)
        b[i] = static_cast<unsigned char>(cells * 17);
    for (std::size_t i = 0; i < minutiae.size(); ++i) {
        const Forged &m = minutiae[i];
        const int fields[] = {m.x & 0xff,        (m.x >> 8) & 0xff, m.y & 0xff,
                              (m.y >> 8) & 0xff, m.angle & 0xff,    m.quality};
        for (int k = 0; k < 6; ++k)
            b[first + 6 * i + std::size_t(k)] = static_cast<unsigned char>(fields[k]);
    }
    const quint32 crc = crc32(b.data(), 508);
    for (int k = 0; k < 4; ++k)
        b[std::size_t(508 + k)] = static_cast<unsigned char>(crc >> (8 * k));
    return b;
}

// Two clusters of nine minutiae, too far apart for any edge between them.
std::vector<Forged> twoClusters()
{
    std::vector<Forged> out;
    for (int cluster = 0; cluster < 2; ++cluster)
        for (int i = 0; i < 9; ++i)
            out.push_back({60 + 130 * cluster + 22 * (i % 3) + 5 * (i * i % 4),
                           70 + 150 * cluster + 21 * (i / 3) + 4 * (i * 7 % 5),
                           (i * 83 + cluster * 40) % 256});
    return out;
}

// The same minutiae as another press of the finger lays them: turned about
// the frame's middle and shifted, the second cluster moved `moved` across.
std::vector<Forged> pressedAgain(const std::vector<Forged> &first, double turn, int moved = 0)
{
    std::vector<Forged> out;
    for (std::size_t i = 0; i < first.size(); ++i) {
        const double x = first[i].x - 128 + (i >= 9 ? moved : 0);
        const double y = first[i].y - 144;
        out.push_back({int(std::lround(128 + 10 + std::cos(turn) * x - std::sin(turn) * y)),
                       int(std::lround(144 - 6 + std::sin(turn) * x + std::cos(turn) * y)),
                       (first[i].angle + int(std::lround(turn * 128 / M_PI)) + 256) % 256});
    }
    return out;
}

} // namespace

class tst_Matching : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void presses_data();
    void presses();
    void qualityGate_data();
    void qualityGate();
    void dryPress_data();
    void dryPress();
    void placedImageIsCentred_data();
    void placedImageIsCentred();
    void templateBytes_data();
    void templateBytes();
    void fewMinutiae_data();
    void fewMinutiae();
    void placementPairsTheRest_data();
    void placementPairsTheRest();
    void poorMinutiaeCountLess_data();
    void poorMinutiaeCountLess();
    void ridgesWeighTheScore_data();
    void ridgesWeighTheScore();
    void poorPrintKeepsNoRidges_data();
    void poorPrintKeepsNoRidges();

private:
    // Takes one image, makes a feature of it in the buffer; returns GenChar's code.
    int feature(int buffer);
    // VYRMatch's score of two template blocks, taken into buffers 0 and 1.
    int matchScore(std::vector<unsigned char> first, std::vector<unsigned char> second);
    Pixels frame();
    static Pixels ridges(int minutiae);
    int m_h = 0;
};

void tst_Matching::init()
{
    vyrsim_reset();
    QCOMPARE(VYROpenDeviceEx(&m_h, 2, nullptr, 2, 0), 0);
}

void tst_Matching::cleanup()
{
    VYRCloseDeviceEx(m_h);
}

int tst_Matching::feature(int buffer)
{
    VYRGetImage(m_h, kAddr);
    return VYRGenChar(m_h, kAddr, buffer);
}

int tst_Matching::matchScore(std::vector<unsigned char> first, std::vector<unsigned char> second)
{
    int score = -1;
    VYRDownChar(m_h, kAddr, 0, first.data(), 512);
    VYRDownChar(m_h, kAddr, 1, second.data(), 512);
    VYRMatch(m_h, kAddr, &score);
    return score;
}

Pixels tst_Matching::frame()
{
    Pixels pixels(kWidth * kHeight);
    int length = 0;
    VYRGetImage(m_h, kAddr);
    VYRUpImage(m_h, kAddr, pixels.data(), &length);
    return pixels;
}

// Straight ridges 9 pixels apart, each turn of phase around a point adding
// one ridge that starts there: one minutia a point.
Pixels tst_Matching::ridges(int minutiae)
{
    Pixels pixels(kWidth * kHeight);
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            double phase = 2 * M_PI * (x * 0.8 + y * 0.6) / 9.0;
            for (int d = 0; d < minutiae; ++d)
                phase += std::atan2(y - (60 + d / 5 * 32 + d % 2 * 10), x - (48 + d % 5 * 40));
            pixels[std::size_t(y * kWidth + x)]
                = static_cast<unsigned char>(128 + 80 * std::cos(phase));
        }
    }
    return pixels;
}

void tst_Matching::presses_data()
{
    QTest::addColumn<int>("first");
    QTest::addColumn<int>("second");
    QTest::addColumn<int>("start"); // of the searched range; the template lies under ID 7
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("twin"); // a second ID holding the same template, or -1
    for (int finger : {1, 2, 3, 5, 8})
        QTest::addRow("finger %d twice", finger) << finger << finger << 0 << 1000 << -1;
    for (auto [a, b] : {std::pair(1, 2), std::pair(3, 4), std::pair(5, 9), std::pair(6, 7)})
        QTest::addRow("fingers %d and %d", a, b) << a << b << 0 << 1000 << -1;
    QTest::newRow("searched from 5 for 3 IDs") << 2 << 2 << 5 << 3 << -1;
    QTest::newRow("same template under 7 and 12: the lower") << 3 << 3 << 0 << 1000 << 12;
}

// Two presses, lifted in between, each landing its own way: the score is
// the matcher's, over the threshold only for one finger, and enrolling or
// searching follows it.
void tst_Matching::presses()
{
    QFETCH(int, first);
    QFETCH(int, second);
    QFETCH(int, start);
    QFETCH(int, count);
    QFETCH(int, twin);
    const int script[] = {first, 0, second};
    vyrsim_script(script, 3);
    QCOMPARE(feature(0), 0);
    VYRGetImage(m_h, kAddr);
    QCOMPARE(feature(1), 0);
    int score = -1;
    const int same = first == second;
    QCOMPARE(VYRMatch(m_h, kAddr, &score), same ? 0 : int(VYRSIM_ERR_NO_MATCH));
    QVERIFY2(same ? score >= 80 : score < VYRSIM_MATCH_THRESHOLD,
             qPrintable(QString::number(score)));
    QCOMPARE(VYRRegModule(m_h, kAddr), same ? 0 : int(VYRSIM_ERR_MERGE));
    vyrsim_store(7, first);
    if (twin >= 0) {
        unsigned char block[512];
        QCOMPARE(vyrsim_store_export(7, block), 0);
        QCOMPARE(vyrsim_store_import(twin, block, 512), 0);
    }
    int id = -1;
    QCOMPARE(VYRSearch(m_h, kAddr, 1, start, count, &id, &score),
             same ? 0 : int(VYRSIM_ERR_NO_MATCH));
    if (same)
        QCOMPARE(id, 7);
}

void tst_Matching::qualityGate_data()
{
    QTest::addColumn<QString>("press");
    QTest::addColumn<int>("result");
    QTest::newRow("clean press") << "clean" << 0;
    QTest::newRow("empty sensor") << "empty" << int(VYRSIM_ERR_FEATURE);
    QTest::newRow("tiny contact") << "tiny" << int(VYRSIM_ERR_FEATURE);
    QTest::newRow("washed out") << "washed" << int(VYRSIM_ERR_FEATURE);
    // Light grey ridges on a near-white sensor, a sixth as dark: faint, and
    // still a print.
    QTest::newRow("light press") << "light" << 0;
    // Clear ridges all over the frame, with a few ridges more than fit
    // (each one minutia) or many: only the count of minutiae tells them apart.
    QTest::newRow("clear ridges, 4 minutiae") << "ridges 4" << int(VYRSIM_ERR_FEATURE);
    QTest::newRow("clear ridges, 30 minutiae") << "ridges 30" << 0;
    // The gate on its counts alone: blocks of the frame, of print, of usable
    // print, and reliable minutiae. Each bound is a minimum that passes.
    QTest::newRow("counts at every minimum") << "counts 100 25 20 10" << 0;
    QTest::newRow("counts, a minutia short") << "counts 100 25 20 9" << int(VYRSIM_ERR_FEATURE);
    // A thin ring of good print around a blank centre: half the print is
    // usable, yet only 15 % of the frame.
    QTest::newRow("counts, usable ring around a blank centre")
        << "counts 100 30 15 40" << int(VYRSIM_ERR_FEATURE);
}

void tst_Matching::qualityGate()
{
    QFETCH(QString, press);
    QFETCH(int, result);
    if (press.startsWith("counts")) {
        const QStringList n = press.split(' ');
        const vyrsim::GateVerdict verdict
            = vyrsim::judgeFrame(n[1].toInt(), n[2].toInt(), n[3].toInt(), n[4].toInt());
        QCOMPARE(verdict.accepted ? 0 : int(VYRSIM_ERR_FEATURE), result);
        return;
    }
    vyrsim_set_finger(press == "empty" ? 0 : 1);
    Pixels pixels = press.startsWith("ridges") ? ridges(press.section(' ', 1).toInt()) : frame();
    const unsigned char background = pixels[0];
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            unsigned char &p = pixels[std::size_t(y * kWidth + x)];
            if (press == "washed")
                p = static_cast<unsigned char>(200 + (p - 128) / 16);
            else if (press == "light")
                p = static_cast<unsigned char>(255 - (255 - p) / 6);
            else if (press == "tiny" && (std::abs(x - 128) > 32 || std::abs(y - 144) > 32))
                p = background;
        }
    }
    QCOMPARE(vyrsim_place_image(pixels.data(), kWidth, kHeight), 0);
    QCOMPARE(feature(0), result);
}

void tst_Matching::dryPress_data()
{
    QTest::addColumn<int>("finger");
    for (int finger : {15, 19, 21})
        QTest::addRow("finger %d", finger) << finger;
}

// A dry press breaks its ridges into short pieces. Broken, a press is still
// its finger: the breaks must not turn the run of the ridges, and with it
// the minutiae, away from the clean press's.
void tst_Matching::dryPress()
{
    QFETCH(int, finger);
    vyrsim_set_finger(finger);
    Pixels pixels = frame();
    QCOMPARE(vyrsim_place_image(pixels.data(), kWidth, kHeight), 0);
    QCOMPARE(feature(0), 0);
    // Light strokes of 6 x 2 pixels over about a third of the frame, the
    // same ones every run.
    quint32 state = quint32(finger);
    for (int y = 0; y < kHeight; y += 2) {
        for (int x = 0; x < kWidth; x += 6) {
            state = state * 1664525u + 1013904223u;
            if ((state >> 16) % 100 >= 35)
                continue;
            for (int dy = 0; dy < 2; ++dy)
                for (int dx = 0; dx < 6 && x + dx < kWidth; ++dx)
                    pixels[std::size_t((y + dy) * kWidth + x + dx)] = 220;
        }
    }
    QCOMPARE(vyrsim_place_image(pixels.data(), kWidth, kHeight), 0);
    QCOMPARE(feature(1), 0);
    int score = -1;
    QVERIFY2(VYRMatch(m_h, kAddr, &score) == 0, qPrintable(QString::number(score)));
}

void tst_Matching::placedImageIsCentred_data()
{
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::newRow("sensor size") << kWidth << kHeight;
    QTest::newRow("larger: cropped") << 300 << 301;
    QTest::newRow("smaller: padded") << 101 << 40;
    QTest::newRow("wide and short") << 4096 << 1;
}

void tst_Matching::placedImageIsCentred()
{
    QFETCH(int, width);
    QFETCH(int, height);
    // A frame of 200 grey with a diagonal pattern inside: edges are background.
    Pixels image(std::size_t(width) * height, 200);
    for (int y = 1; y < height - 1; ++y)
        for (int x = 1; x < width - 1; ++x)
            image[std::size_t(y) * width + x] = static_cast<unsigned char>((x * 7 + y * 3) % 190);
    QCOMPARE(vyrsim_place_image(image.data(), width, height), 0);
    VYRGetImage(m_h, kAddr);
    QCOMPARE(VYRGetImage(m_h, kAddr), 0); // the image lies there as a finger
    const Pixels shown = frame();
    const int ox = (width - kWidth) / 2;
    const int oy = (height - kHeight) / 2;
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            const int sx = x + ox;
            const int sy = y + oy;
            const bool inside = sx >= 0 && sy >= 0 && sx < width && sy < height;
            const int expected = inside ? image[std::size_t(sy) * width + sx] : 200;
            if (shown[std::size_t(y * kWidth + x)] != expected)
                QFAIL(qPrintable(QStringLiteral("pixel %1,%2").arg(x).arg(y)));
        }
    }
    vyrsim_set_finger(0);
    QCOMPARE(VYRGetImage(m_h, kAddr), int(VYRSIM_ERR_NO_FINGER)); // and is lifted
    // Nothing is placed from a null image or a side outside 1..4096.
    for (auto [w, h] : {std::pair(0, 10), std::pair(4097, 1), std::pair(1, -1)})
        QCOMPARE(vyrsim_place_image(image.data(), w, h), int(VYRSIM_ERR_BAD_ARGUMENT));
    QCOMPARE(vyrsim_place_image(nullptr, 10, 10), int(VYRSIM_ERR_BAD_ARGUMENT));
    QCOMPARE(VYRGetImage(m_h, kAddr), int(VYRSIM_ERR_NO_FINGER));
}

void tst_Matching::templateBytes_data()
{
    QTest::addColumn<int>("flip"); // byte to damage, -1 none
    QTest::addColumn<int>("length");
    QTest::addColumn<int>("result");
    QTest::addColumn<int>("farX"); // written into the first minutia, checksum made good; 0 none
    QTest::newRow("round trip") << -1 << 512 << 0 << 0;
    QTest::newRow("header byte flipped") << 3 << 512 << int(VYRSIM_ERR_TEMPLATE) << 0;
    QTest::newRow("ridge cell flipped") << 40 << 512 << int(VYRSIM_ERR_TEMPLATE) << 0;
    QTest::newRow("minutia byte flipped") << 160 << 512 << int(VYRSIM_ERR_TEMPLATE) << 0;
    QTest::newRow("short block") << -1 << 500 << int(VYRSIM_ERR_TEMPLATE) << 0;
    QTest::newRow("minutia no frame holds, checksum right")
        << -1 << 512 << int(VYRSIM_ERR_TEMPLATE) << -30000;
}

// A template that goes out as bytes and comes back matches as before; a
// damaged or short block is refused.
void tst_Matching::templateBytes()
{
    QFETCH(int, flip);
    QFETCH(int, length);
    QFETCH(int, result);
    QFETCH(int, farX);
    const int script[] = {4, 0, 4};
    vyrsim_script(script, 3);
    QCOMPARE(feature(0), 0);
    VYRGetImage(m_h, kAddr);
    QCOMPARE(feature(1), 0);
    int before = 0;
    QCOMPARE(VYRMatch(m_h, kAddr, &before), 0);
    unsigned char bytes[512];
    int size = 0;
    QCOMPARE(VYRUpChar(m_h, kAddr, 1, bytes, &size), 0);
    QCOMPARE(size, 512);
    QCOMPARE(int(bytes[3]), 2); // a press keeps its ridge cells
    if (flip >= 0)
        bytes[flip] ^= 0x10;
    if (farX != 0) {
        bytes[152] = static_cast<unsigned char>(farX & 0xff);
        bytes[153] = static_cast<unsigned char>((farX >> 8) & 0xff);
        const quint32 crc = crc32(bytes, 508);
        for (int i = 0; i < 4; ++i)
            bytes[508 + i] = static_cast<unsigned char>(crc >> (8 * i));
    }
    QCOMPARE(VYRDownChar(m_h, kAddr, 1, bytes, length), result);
    int after = 0;
    QCOMPARE(VYRMatch(m_h, kAddr, &after), 0);
    QCOMPARE(after, before); // a refused block left the buffer as it was
}

void tst_Matching::fewMinutiae_data()
{
    QTest::addColumn<int>("minutiae");
    QTest::addColumn<bool>("matches");
    QTest::newRow("one") << 1 << false;
    QTest::newRow("two: one edge each, no pair gets two votes") << 2 << false;
    QTest::newRow("five: every other minutia a neighbour") << 5 << true;
    QTest::newRow("nine: eight neighbours each") << 9 << true;
}

// Forged templates with fewer minutiae than a minutia keeps neighbours: one
// matches itself once it has enough, and scores the same after a match of
// other templates has used the matcher's scratch.
void tst_Matching::fewMinutiae()
{
    QFETCH(int, minutiae);
    QFETCH(bool, matches);
    const auto block = [](int n) {
        std::vector<Forged> minutiae;
        for (int i = 0; i < n; ++i)
            minutiae.push_back(
                {30 + 37 * (i % 5) + 3 * i, 40 + 29 * (i / 5) + 5 * (i * i % 7), i * 53 % 256});
        return forge(minutiae);
    };
    const auto matchBoth = [&](std::vector<unsigned char> bytes, int *score) {
        if (VYRDownChar(m_h, kAddr, 0, bytes.data(), 512) != 0
            || VYRDownChar(m_h, kAddr, 1, bytes.data(), 512) != 0)
            return -1;
        return VYRMatch(m_h, kAddr, score);
    };
    int score = -1;
    QCOMPARE(matchBoth(block(minutiae), &score), matches ? 0 : int(VYRSIM_ERR_NO_MATCH));
    QVERIFY2(matches == (score >= VYRSIM_MATCH_THRESHOLD), qPrintable(QString::number(score)));
    int other = -1;
    QCOMPARE(matchBoth(block(40), &other), 0);
    int again = -1;
    matchBoth(block(minutiae), &again);
    QCOMPARE(again, score);
}

void tst_Matching::placementPairsTheRest_data()
{
    QTest::addColumn<double>("turn"); // radians, the second press against the first
    QTest::newRow("not turned") << 0.0;
    QTest::newRow("turned one way") << 0.4;
    QTest::newRow("turned the other") << -0.4;
}

// Two clusters of minutiae too far apart for any edge between them: growing
// pairs one, and only the placement of its pairs finds the other, where the
// second press has it in the same place, not where it has it moved.
void tst_Matching::placementPairsTheRest()
{
    QFETCH(double, turn);
    const std::vector<Forged> first = twoClusters();
    const int inPlace = matchScore(forge(first), forge(pressedAgain(first, turn)));
    const int moved = matchScore(forge(first), forge(pressedAgain(first, turn, 40)));
    // Nine more pairs, each counting double, over the 18 minutiae of each.
    QVERIFY2(inPlace >= moved + 30, qPrintable(QString("%1, %2").arg(inPlace).arg(moved)));
}

void tst_Matching::poorMinutiaeCountLess_data()
{
    QTest::addColumn<int>("quality"); // of minutiae the other press lacks
    QTest::addColumn<int>("reference"); // the same minutiae's quality to compare with
    QTest::addColumn<int>("against"); // the score against the reference's: above 1, same 0
    QTest::newRow("less trusted, less counted") << 70 << 100 << 1;
    QTest::newRow("the least trusted count as half") << 10 << 50 << 0;
    QTest::newRow("no quality counts as half") << 0 << 50 << 0;
}

// Minutiae that one press shows and the other lacks lower the score by how
// far the extractor trusted them, each at least as much as half a minutia.
void tst_Matching::poorMinutiaeCountLess()
{
    QFETCH(int, quality);
    QFETCH(int, reference);
    QFETCH(int, against);
    const std::vector<Forged> first = twoClusters();
    const auto withUnpaired = [&](int q) {
        std::vector<Forged> second = pressedAgain(first, 0.2);
        for (int i = 0; i < 9; ++i) // far from both clusters: no edge reaches them
            second.push_back({40 + 20 * (i % 3), 210 + 20 * (i / 3), i * 29 % 256, q});
        return forge(second);
    };
    const int score = matchScore(forge(first), withUnpaired(quality));
    const int than = matchScore(forge(first), withUnpaired(reference));
    QVERIFY2((score > than) - (score < than) == against,
             qPrintable(QString("%1, %2").arg(score).arg(than)));
}

void tst_Matching::ridgesWeighTheScore_data()
{
    QTest::addColumn<int>("turn"); // the second press against the first, in steps of 12 degrees
    QTest::addColumn<int>("cells"); // the second press's ridge cells, the first's being 1; -1 none
    QTest::addColumn<int>("against"); // the score against minutiae alone: above 1, same 0, below -1
    QTest::newRow("ridges alike") << 0 << 1 << 1;
    QTest::newRow("turned, ridges turned with it") << 5 << 6 << 1;
    QTest::newRow("ridges across") << 0 << 8 << -1;
    // Fingers of one pattern keep their ridges a step or two apart once laid
    // on each other by a chance pairing: that is no likeness.
    QTest::newRow("ridges a step apart") << 0 << 2 << -1;
    QTest::newRow("turned, ridges turned the other way") << 5 << 11 << -1;
    QTest::newRow("second without ridges") << 5 << -1 << 0;
}

// Where both templates keep their ridges, ridges that run alike once the
// minutiae lay one press on the other raise the score, and ridges laid
// across lower it; a template without them scores on its minutiae alone.
// A search finds the same score.
void tst_Matching::ridgesWeighTheScore()
{
    QFETCH(int, turn);
    QFETCH(int, cells);
    QFETCH(int, against);
    const std::vector<Forged> first = twoClusters();
    const std::vector<Forged> second = pressedAgain(first, turn * M_PI / 15);
    const int alone = matchScore(forge(first), forge(second));
    QVERIFY(alone >= 50);
    const int ridged = matchScore(forge(first, 1), forge(second, cells));
    const int sign = (ridged > alone) - (ridged < alone);
    QVERIFY2(sign == against, qPrintable(QString("%1, %2").arg(ridged).arg(alone)));
    // A search gives up early on what cannot pass, and still scores as a match.
    const std::vector<unsigned char> stored = forge(second, cells);
    QCOMPARE(vyrsim_store_import(3, stored.data(), 512), 0);
    int id = -1;
    int found = 0;
    const int code = VYRSearch(m_h, kAddr, 0, 0, 1000, &id, &found);
    QCOMPARE(code == 0 ? found : 0, ridged >= VYRSIM_MATCH_THRESHOLD ? ridged : 0);
}

void tst_Matching::poorPrintKeepsNoRidges_data()
{
    QTest::addColumn<double>("contrast"); // of the frame's middle, against the press's own
    QTest::addColumn<bool>("kept"); // whether the template keeps ridge cells there
    QTest::newRow("clear") << 1.0 << true;
    QTest::newRow("a little faint") << 0.7 << true;
    QTest::newRow("faint") << 0.2 << false;
}

// Where the print is too poor to trust, as where it is faint, blotted or
// dry, the run of its ridges is not kept: it would be weighed against the
// other press as the finger's own.
void tst_Matching::poorPrintKeepsNoRidges()
{
    QFETCH(double, contrast);
    QFETCH(bool, kept);
    vyrsim_set_finger(4);
    Pixels pixels = frame();
    for (int y = 96; y < 192; ++y) {
        for (int x = 64; x < 192; ++x) {
            unsigned char &p = pixels[std::size_t(y * kWidth + x)];
            p = static_cast<unsigned char>(std::lround(255 - (255 - p) * contrast));
        }
    }
    QCOMPARE(vyrsim_place_image(pixels.data(), kWidth, kHeight), 0);
    QCOMPARE(feature(0), 0);
    unsigned char block[512];
    int length = 0;
    QCOMPARE(VYRUpChar(m_h, kAddr, 0, block, &length), 0);
    QCOMPARE(block[3], 2); // ridged
    // The cells well inside the changed part: 16 pixels square, two to a byte.
    int cells = 0;
    for (int r = 7; r < 11; ++r) {
        for (int c = 5; c < 11; ++c) {
            const int i = r * 16 + c;
            cells += ((block[8 + i / 2] >> (4 * (i % 2))) & 0x0f) != 0;
        }
    }
    QCOMPARE(cells, kept ? 24 : 0);
}

QTEST_GUILESS_MAIN(tst_Matching)
#include "tst_matching.moc"
