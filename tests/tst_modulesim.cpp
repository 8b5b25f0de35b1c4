// The simulated module against what the program relies on: open and its
// handle, images, features, merge, store, delete, search, the index pages
// and their bit order, failures on a closed device, fault injection,
// scripting, the call log and use from two threads at once.

#include "vyr_api.h"
#include "vyrsim.h"

#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

#include <atomic>
#include <functional>
#include <thread>
#include <vector>

namespace {

constexpr int kAddr = -1;
constexpr int kFrame = 256 * 288;

struct Frame
{
    std::vector<unsigned char> pixels = std::vector<unsigned char>(92160, 0x5a);
    int length = 0;
};

double mean(const unsigned char *p, int x0, int y0, int w, int h)
{
    double sum = 0;
    for (int y = y0; y < y0 + h; ++y)
        for (int x = x0; x < x0 + w; ++x)
            sum += p[y * 256 + x];
    return sum / (w * h);
}

int darkPixels(const unsigned char *p, int x0, int y0, int w, int h)
{
    int n = 0;
    for (int y = y0; y < y0 + h; ++y)
        for (int x = x0; x < x0 + w; ++x)
            n += p[y * 256 + x] < 110;
    return n;
}

} // namespace

class tst_ModuleSim : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void openWritesHandle();
    void openFailsWithoutModule();
    void reopenHandsOutNewHandle();
    void closedDeviceRefuses();
    void badArguments();

    void imageOnlyWithFinger();
    void uploadWritesFrameOfLastRequest();
    void framesLookLikeFingerprints();
    void scriptHoldsLastEntry();

    void featureNeedsImage();
    void mergeNeedsOneFinger();
    void storeRange_data();
    void storeRange();
    void deleteRange_data();
    void deleteRange();
    void searchFindsBestMatchInRange();
    void indexBitOrder();
    void capacityUpTo1024();

    void otherEntryPointsKeepToTheStore();
    void bitmapRoundTrip();

    void faultsHitChosenCalls();
    void gateHoldsCalls();
    void logWritesArgumentsAndResult();
    void twoThreadsAtOnce();

private:
    int open();
    int press(int h, int finger); // one image with the finger on, then a feature in buffer 0
    int m_handle = 0;
};

void tst_ModuleSim::init()
{
    vyrsim_reset();
    m_handle = 0;
}

int tst_ModuleSim::open()
{
    int handle = 0;
    if (VYROpenDeviceEx(&handle, 2, nullptr, 2, 0) != 0)
        return 0;
    return handle;
}

void tst_ModuleSim::openWritesHandle()
{
    int handle = 0;
    QCOMPARE(VYR_SETPATH(2, 1), 0);
    QCOMPARE(VYROpenDeviceEx(&handle, 2, nullptr, 2, 0), 0);
    QVERIFY(handle != 0);
    QCOMPARE(VYRGetImage(handle, kAddr), int(VYRSIM_ERR_NO_FINGER));
    QVERIFY(VYRGetImage(handle + 1, kAddr) != 0); // wrong handle
    QVERIFY(VYRGetImage(handle, 0x12345678) != 0); // wrong address
    QCOMPARE(VYRCloseDeviceEx(handle), 0);
    QVERIFY(VYRCloseDeviceEx(handle) != 0); // closed already
}

void tst_ModuleSim::openFailsWithoutModule()
{
    vyrsim_set_attached(0);
    int handle = 1234;
    QVERIFY(VYROpenDeviceEx(&handle, 2, nullptr, 2, 0) != 0);
    QCOMPARE(handle, 1234);
    QVERIFY(VYROpenDeviceEx(nullptr, 2, nullptr, 2, 0) != 0);
}

void tst_ModuleSim::reopenHandsOutNewHandle()
{
    const int first = open();
    const int second = open();
    QVERIFY(first != 0 && second != 0 && first != second);
    QVERIFY(VYRGetImage(first, kAddr) == VYRSIM_ERR_NO_DEVICE);
    QCOMPARE(VYRGetImage(second, kAddr), int(VYRSIM_ERR_NO_FINGER));
}

void tst_ModuleSim::closedDeviceRefuses()
{
    const int h = open();
    vyrsim_store(5, 1);
    QCOMPARE(VYRCloseDeviceEx(h), 0);
    unsigned char buffer[92160] = {};
    int a = 0;
    int b = 0;
    const QVector<std::function<int()>> calls {
        [&] { return VYRGetImage(h, kAddr); },
        [&] { return VYRUpImage(h, kAddr, buffer, &a); },
        [&] { return VYRGenChar(h, kAddr, 0); },
        [&] { return VYRRegModule(h, kAddr); },
        [&] { return VYRStoreChar(h, kAddr, 1, 3); },
        [&] { return VYRDelChar(h, kAddr, 5, 1); },
        [&] { return VYRSearch(h, kAddr, 1, 0, 1000, &a, &b); },
        [&] { return VYRReadIndexTable(h, kAddr, 0, buffer); },
        [&] { return VYRCloseDeviceEx(h); },
        [&] { return VYRTemplateNum(h, kAddr, &a); },
        [&] {
            return VYREmpty(h, kAddr);
        }};
    for (int i = 0; i < calls.size(); ++i)
        QVERIFY2(calls[i]() == VYRSIM_ERR_NO_DEVICE, qPrintable(QString::number(i)));
    QCOMPARE(buffer[0], 0); // nothing written
    QCOMPARE(vyrsim_stored(5), 1); // nothing deleted
}

void tst_ModuleSim::badArguments()
{
    const int h = open();
    vyrsim_set_finger(1);
    VYRGetImage(h, kAddr);
    QCOMPARE(VYRGenChar(h, kAddr, 1), 0);
    unsigned char buffer[92160] = {};
    int a = 0;
    const QVector<std::function<int()>> calls {
        [&] { return VYRUpImage(h, kAddr, nullptr, &a); },
        [&] { return VYRUpImage(h, kAddr, buffer, nullptr); },
        [&] { return VYRGenChar(h, kAddr, 4); },
        [&] { return VYRGenChar(h, kAddr, -1); },
        [&] { return VYRSearch(h, kAddr, 1, 0, 1000, nullptr, &a); },
        [&] { return VYRSearch(h, kAddr, 1, 0, -5, &a, &a); },
        [&] { return VYRSearch(h, kAddr, 1, -1, 1000, &a, &a); },
        [&] { return VYRReadIndexTable(h, kAddr, 4, buffer); },
        [&] { return VYRReadIndexTable(h, kAddr, -1, buffer); },
        [&] { return VYRReadIndexTable(h, kAddr, 0, nullptr); },
        [&] { return VYRDelChar(h, kAddr, 0, 0); },
        [&] { return VYRDelChar(h, kAddr, 0, -3); },
        [&] { return VYRStoreChar(h, kAddr, 9, 0); },
        [&] { return VYRTemplateNum(h, kAddr, nullptr); },
        [&] { return VYRReadInfo(h, kAddr, 16, buffer); },
        [&] { return VYRGetImgDataFromBMP(nullptr, buffer, &a); },
        [&] { return VYRMatch(h, kAddr, nullptr); },
        [&] {
            return VYRDownChar(h, kAddr, 0, buffer, 10);
        }};
    for (int i = 0; i < calls.size(); ++i)
        QVERIFY2(calls[i]() != 0, qPrintable(QString::number(i)));
    QCOMPARE(vyrsim_stored(0), 0);
}

void tst_ModuleSim::imageOnlyWithFinger()
{
    const int h = open();
    QCOMPARE(VYRGetImage(h, kAddr), int(VYRSIM_ERR_NO_FINGER));
    vyrsim_set_finger(2);
    QCOMPARE(VYRGetImage(h, kAddr), 0);
    QCOMPARE(VYRGetImage(h, kAddr), 0);
    vyrsim_set_finger(0);
    QVERIFY(VYRGetImage(h, kAddr) != 0);
}

void tst_ModuleSim::uploadWritesFrameOfLastRequest()
{
    const int h = open();
    Frame before;
    QCOMPARE(VYRUpImage(h, kAddr, before.pixels.data(), &before.length), 0); // no request yet
    QCOMPARE(before.length, kFrame);
    QCOMPARE(before.pixels[kFrame], 0x5a); // nothing beyond 256 x 288

    vyrsim_set_finger(1);
    VYRGetImage(h, kAddr);
    Frame finger;
    QCOMPARE(VYRUpImage(h, kAddr, finger.pixels.data(), &finger.length), 0);
    QVERIFY(darkPixels(finger.pixels.data(), 0, 0, 256, 288) > 5000);

    vyrsim_set_finger(0);
    VYRGetImage(h, kAddr);
    Frame empty;
    QCOMPARE(VYRUpImage(h, kAddr, empty.pixels.data(), &empty.length), 0);
    QCOMPARE(darkPixels(empty.pixels.data(), 0, 0, 256, 288), 0);
    QVERIFY(mean(empty.pixels.data(), 0, 0, 256, 288) > 200);

    vyrsim_set_frame_mode(VYRSIM_FRAMES_COUNTER);
    Frame counted;
    QCOMPARE(VYRUpImage(h, kAddr, counted.pixels.data(), &counted.length), 0);
    QCOMPARE(int(counted.pixels[0]), 4); // the fourth upload since the reset
    QCOMPARE(int(counted.pixels[kFrame - 1]), 4);
}

void tst_ModuleSim::framesLookLikeFingerprints()
{
    const int h = open();
    vyrsim_script({}, 0);
    const int script[] = {1, 0, 1, 2};
    vyrsim_script(script, 4);
    std::vector<Frame> frames(4);
    for (Frame &frame : frames) {
        VYRGetImage(h, kAddr);
        QCOMPARE(VYRUpImage(h, kAddr, frame.pixels.data(), &frame.length), 0);
    }
    for (int i : {0, 2, 3}) {
        const unsigned char *p = frames[std::size_t(i)].pixels.data();
        // Ridges and valleys in the contact area, bare sensor in the corners.
        const int centre = darkPixels(p, 88, 104, 80, 80);
        QVERIFY2(centre > 1200 && centre < 5200, qPrintable(QString::number(centre)));
        QCOMPARE(darkPixels(p, 0, 0, 24, 24), 0);
        QCOMPARE(darkPixels(p, 232, 264, 24, 24), 0);
    }
    // Each press lands differently, and another finger is another pattern.
    QVERIFY(frames[0].pixels != frames[2].pixels);
    QVERIFY(frames[2].pixels != frames[3].pixels);
}

void tst_ModuleSim::scriptHoldsLastEntry()
{
    const int h = open();
    vyrsim_script(std::vector<int>({0, 1, 0, 3}).data(), 4);
    QCOMPARE(vyrsim_script_left(), 4);
    QVector<int> results;
    for (int i = 0; i < 6; ++i)
        results << VYRGetImage(h, kAddr);
    QCOMPARE(results, QVector<int>({2, 0, 2, 0, 0, 0}));
    QCOMPARE(vyrsim_script_left(), 0);
    vyrsim_set_finger(0);
    QVERIFY(VYRGetImage(h, kAddr) != 0);
}

int tst_ModuleSim::press(int h, int finger)
{
    vyrsim_set_finger(0);
    VYRGetImage(h, kAddr);
    vyrsim_set_finger(finger);
    VYRGetImage(h, kAddr);
    return VYRGenChar(h, kAddr, 0);
}

void tst_ModuleSim::featureNeedsImage()
{
    const int h = open();
    QCOMPARE(VYRGenChar(h, kAddr, 0), int(VYRSIM_ERR_FEATURE)); // no image yet
    vyrsim_set_finger(1);
    VYRGetImage(h, kAddr);
    for (int buffer = 0; buffer < 4; ++buffer)
        QCOMPARE(VYRGenChar(h, kAddr, buffer), 0);
    vyrsim_set_finger(0);
    VYRGetImage(h, kAddr);
    QCOMPARE(VYRGenChar(h, kAddr, 0), int(VYRSIM_ERR_FEATURE)); // the last image was empty
}

void tst_ModuleSim::mergeNeedsOneFinger()
{
    const int h = open();
    QCOMPARE(VYRRegModule(h, kAddr), int(VYRSIM_ERR_EMPTY));
    QCOMPARE(press(h, 1), 0);
    QCOMPARE(VYRGenChar(h, kAddr, 1), 0);
    QCOMPARE(VYRRegModule(h, kAddr), 0);

    QCOMPARE(press(h, 1), 0);
    vyrsim_set_finger(2);
    VYRGetImage(h, kAddr);
    QCOMPARE(VYRGenChar(h, kAddr, 1), 0);
    QCOMPARE(VYRRegModule(h, kAddr), int(VYRSIM_ERR_MERGE));
}

void tst_ModuleSim::storeRange_data()
{
    QTest::addColumn<int>("id");
    QTest::addColumn<bool>("stored");
    QTest::newRow("0") << 0 << true;
    QTest::newRow("999") << 999 << true;
    QTest::newRow("1000") << 1000 << false;
    QTest::newRow("1500") << 1500 << false;
    QTest::newRow("-1") << -1 << false;
}

void tst_ModuleSim::storeRange()
{
    QFETCH(int, id);
    QFETCH(bool, stored);
    const int h = open();
    QCOMPARE(VYRStoreChar(h, kAddr, 1, 0), int(VYRSIM_ERR_EMPTY)); // nothing in buffer 1
    QCOMPARE(press(h, 3), 0);
    QCOMPARE(VYRGenChar(h, kAddr, 1), 0);
    QCOMPARE(VYRRegModule(h, kAddr), 0);
    QCOMPARE(VYRStoreChar(h, kAddr, 1, id) == 0, stored);
    QCOMPARE(vyrsim_stored(id), stored ? 1 : -1);
}

void tst_ModuleSim::deleteRange_data()
{
    QTest::addColumn<int>("id");
    QTest::addColumn<int>("count");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QVector<int>>("left");
    QTest::newRow("one") << 7 << 1 << true << QVector<int> {5, 8};
    QTest::newRow("empty ID") << 100 << 1 << true << QVector<int> {5, 7, 8};
    QTest::newRow("three") << 6 << 3 << true << QVector<int> {5};
    QTest::newRow("last") << 999 << 1 << true << QVector<int> {5, 7, 8};
    QTest::newRow("beyond") << 998 << 3 << false << QVector<int> {5, 7, 8};
    QTest::newRow("1500") << 1500 << 1 << false << QVector<int> {5, 7, 8};
    QTest::newRow("negative") << -1 << 1 << false << QVector<int> {5, 7, 8};
}

void tst_ModuleSim::deleteRange()
{
    QFETCH(int, id);
    QFETCH(int, count);
    QFETCH(bool, ok);
    QFETCH(QVector<int>, left);
    const int h = open();
    for (int stored : {5, 7, 8})
        QCOMPARE(vyrsim_store(stored, 1), 0);
    QCOMPARE(VYRDelChar(h, kAddr, id, count) == 0, ok);
    QVector<int> remaining;
    for (int i = 0; i < 1000; ++i) {
        if (vyrsim_stored(i) > 0)
            remaining << i;
    }
    QCOMPARE(remaining, left);
}

void tst_ModuleSim::searchFindsBestMatchInRange()
{
    const int h = open();
    vyrsim_store(3, 2);
    vyrsim_store(40, 1);
    vyrsim_store(700, 1);
    vyrsim_set_finger(1);
    VYRGetImage(h, kAddr);
    QCOMPARE(VYRGenChar(h, kAddr, 1), 0);
    int id = -1;
    int score = -1;
    QCOMPARE(VYRSearch(h, kAddr, 1, 0, 1000, &id, &score), 0);
    QCOMPARE(id, 40);
    QVERIFY2(score >= 50 && score < 300, qPrintable(QString::number(score)));
    QCOMPARE(VYRSearch(h, kAddr, 1, 41, 1000, &id, &score), 0);
    QCOMPARE(id, 700);
    QCOMPARE(VYRSearch(h, kAddr, 1, 40, 1, &id, &score), 0);
    QCOMPARE(id, 40);
    id = score = -1;
    QCOMPARE(VYRSearch(h, kAddr, 1, 0, 40, &id, &score), int(VYRSIM_ERR_NO_MATCH));
    QCOMPARE(id, -1); // outputs untouched on no match
    QCOMPARE(VYRSearch(h, kAddr, 2, 0, 1000, &id, &score), int(VYRSIM_ERR_EMPTY));

    vyrsim_set_finger(4); // enrolled nowhere
    VYRGetImage(h, kAddr);
    QCOMPARE(VYRGenChar(h, kAddr, 1), 0);
    QCOMPARE(VYRSearch(h, kAddr, 1, 0, 1000, &id, &score), int(VYRSIM_ERR_NO_MATCH));
}

void tst_ModuleSim::indexBitOrder()
{
    const int h = open();
    for (int id : {0, 9, 255, 256, 999})
        vyrsim_store(id, 1);
    unsigned char pages[4][32];
    memset(pages, 0xee, sizeof pages);
    unsigned char guard[8];
    memset(guard, 0xee, sizeof guard);
    for (int page = 0; page < 4; ++page)
        QCOMPARE(VYRReadIndexTable(h, kAddr, page, pages[page]), 0);
    QCOMPARE(int(pages[0][0]), 0x01); // ID 0: byte 0, bit 0
    QCOMPARE(int(pages[0][1]), 0x02); // ID 9: byte 1, bit 1
    QCOMPARE(int(pages[0][31]), 0x80); // ID 255
    QCOMPARE(int(pages[1][0]), 0x01); // ID 256 opens page 1
    QCOMPARE(int(pages[3][28]), 0x80); // ID 999 = 768 + 8 * 28 + 7
    QCOMPARE(int(pages[3][29]), 0x00);
    int set = 0;
    for (auto &page : pages)
        for (unsigned char byte : page)
            set += __builtin_popcount(byte);
    QCOMPARE(set, 5);
    QCOMPARE(int(guard[0]), 0xee);
    QVERIFY(VYRReadIndexTable(h, kAddr, 4, guard) != 0);
    QCOMPARE(int(guard[0]), 0xee);
}

void tst_ModuleSim::capacityUpTo1024()
{
    vyrsim_set_capacity(1024);
    const int h = open();
    QCOMPARE(vyrsim_store(1023, 1), 0);
    unsigned char page[32] = {};
    QCOMPARE(VYRReadIndexTable(h, kAddr, 3, page), 0);
    QCOMPARE(int(page[31]), 0x80);
    vyrsim_set_capacity(1000);
    QCOMPARE(vyrsim_stored(1023), -1);
}

// The entry points the program binds but never calls, each against the store.
void tst_ModuleSim::otherEntryPointsKeepToTheStore()
{
    const int h = open();
    QCOMPARE(press(h, 5), 0);
    unsigned char data[512];
    int length = 0;
    QCOMPARE(VYRUpChar(h, kAddr, 0, data, &length), 0);
    QCOMPARE(VYRDownChar(h, kAddr, 2, data, length), 0);
    QCOMPARE(VYRStoreChar(h, kAddr, 2, 11), 0);
    QCOMPARE(vyrsim_stored(11), 1);
    data[100] ^= 0xff; // a damaged template is refused
    QVERIFY(VYRDownChar(h, kAddr, 3, data, length) != 0);
    QCOMPARE(VYRLoadChar(h, kAddr, 1, 11), 0);
    QVERIFY(VYRLoadChar(h, kAddr, 1, 12) != 0);
    int score = 0;
    QCOMPARE(VYRMatch(h, kAddr, &score), 0);
    QVERIFY(score >= 50);

    int count = -1;
    QCOMPARE(VYRTemplateNum(h, kAddr, &count), 0);
    QCOMPARE(count, 1);
    unsigned char table[16] = {};
    QCOMPARE(VYRReadParTable(h, kAddr, table), 0);
    QCOMPARE(table[4] << 8 | table[5], 1000);
    QCOMPARE(VYREmpty(h, kAddr), 0);
    QCOMPARE(VYRTemplateNum(h, kAddr, &count), 0);
    QCOMPARE(count, 0);

    unsigned char note[32];
    for (int i = 0; i < 32; ++i)
        note[i] = static_cast<unsigned char>(i * 7);
    QCOMPARE(VYRWriteInfo(h, kAddr, 15, note), 0);
    unsigned char back[32] = {};
    QCOMPARE(VYRReadInfo(h, kAddr, 15, back), 0);
    QCOMPARE(memcmp(note, back, 32), 0);
    unsigned char password[4] = {0, 0, 0, 1};
    QVERIFY(VYRVfyPwd(h, kAddr, password) != 0);
}

void tst_ModuleSim::bitmapRoundTrip()
{
    const int h = open();
    vyrsim_set_finger(1);
    VYRGetImage(h, kAddr);
    Frame frame;
    QCOMPARE(VYRUpImage(h, kAddr, frame.pixels.data(), &frame.length), 0);
    QTemporaryDir dir;
    const QByteArray path = QDir(dir.path()).filePath("frame.bmp").toLocal8Bit();
    QCOMPARE(VYRImgData2BMP(frame.pixels.data(), path.constData()), 0);
    const QImage picture(QString::fromLocal8Bit(path));
    QCOMPARE(picture.size(), QSize(256, 288));
    QCOMPARE(qGray(picture.pixel(100, 10)), int(frame.pixels[10 * 256 + 100]));
    Frame back;
    QCOMPARE(VYRGetImgDataFromBMP(path.constData(), back.pixels.data(), &back.length), 0);
    QVERIFY(std::equal(frame.pixels.begin(), frame.pixels.begin() + kFrame, back.pixels.begin()));
    QVERIFY(VYRImgData2BMP(frame.pixels.data(), "/nonexistent/frame.bmp") != 0);
}

void tst_ModuleSim::faultsHitChosenCalls()
{
    const int h = open();
    QCOMPARE(vyrsim_fail("VYRReadIndexTable", 2, 2, 77), 0);
    unsigned char page[32];
    QVector<int> results;
    for (int i = 0; i < 5; ++i)
        results << VYRReadIndexTable(h, kAddr, 0, page);
    QCOMPARE(results, QVector<int>({0, 77, 77, 0, 0}));

    QCOMPARE(vyrsim_fail("VYRCloseDeviceEx", 1, -1, 5), 0);
    QCOMPARE(VYRCloseDeviceEx(h), 5);
    QCOMPARE(VYRCloseDeviceEx(h), 5);
    QCOMPARE(VYRGetImage(h, kAddr), int(VYRSIM_ERR_NO_FINGER)); // a failed close does nothing
    QCOMPARE(vyrsim_fail("NoSuchEntry", 1, 1, 1), -1);
    QCOMPARE(vyrsim_fail("VYRGetImage", 0, 1, 1), -1);
}

void tst_ModuleSim::gateHoldsCalls()
{
    const int h = open();
    QCOMPARE(vyrsim_gate("VYRGetImage", 1), 0);
    std::atomic<int> result {-100};
    std::thread caller([&] { result = VYRGetImage(h, kAddr); });
    QTRY_COMPARE_WITH_TIMEOUT(vyrsim_gate_waiting(), 1, 60000);
    QCOMPARE(result.load(), -100);
    vyrsim_gate("VYRGetImage", 0);
    caller.join();
    QCOMPARE(result.load(), int(VYRSIM_ERR_NO_FINGER));
    QCOMPARE(vyrsim_gate_waiting(), 0);
}

void tst_ModuleSim::logWritesArgumentsAndResult()
{
    vyrsim_log_clear();
    int handle = 0;
    VYR_SETPATH(2, 1);
    VYROpenDeviceEx(&handle, 2, nullptr, 2, 0);
    VYRDelChar(handle, kAddr, 1500, 1);
    QCOMPARE(vyrsim_log_size(), 3);
    char line[256];
    QVERIFY(vyrsim_log_entry(0, line, sizeof line) > 0);
    QCOMPARE(QByteArray(line), QByteArray("VYR_SETPATH(2, 1) = 0"));
    vyrsim_log_entry(1, line, sizeof line);
    QCOMPARE(QByteArray(line),
             QByteArray("VYROpenDeviceEx(0x") + QByteArray::number(quintptr(&handle), 16)
                 + ", 2, null, 2, 0) = 0");
    vyrsim_log_entry(2, line, sizeof line);
    QCOMPARE(QByteArray(line),
             QByteArray("VYRDelChar(") + QByteArray::number(handle)
                 + ", -1, 1500, 1) = " + QByteArray::number(VYRSIM_ERR_BAD_ID));
    QCOMPARE(vyrsim_log_entry(3, line, sizeof line), -1);
    char tiny[4];
    QVERIFY(vyrsim_log_entry(0, tiny, sizeof tiny) > 3);
    QCOMPARE(QByteArray(tiny), QByteArray("VYR"));
}

void tst_ModuleSim::twoThreadsAtOnce()
{
    const int h = open();
    std::atomic<bool> done {false};
    std::thread device([&] {
        Frame frame;
        for (int i = 0; i < 300; ++i) {
            VYRGetImage(h, kAddr);
            VYRUpImage(h, kAddr, frame.pixels.data(), &frame.length);
            VYRGenChar(h, kAddr, 0);
            unsigned char page[32];
            VYRReadIndexTable(h, kAddr, i % 4, page);
        }
        done = true;
    });
    int rounds = 0;
    while (!done) {
        vyrsim_set_finger(rounds % 3);
        vyrsim_store(rounds % 1000, 1 + rounds % 2);
        vyrsim_log_size();
        vyrsim_set_frame_mode(rounds % 2);
        ++rounds;
    }
    device.join();
    QVERIFY(vyrsim_log_size() >= 1200);
}

QTEST_GUILESS_MAIN(tst_ModuleSim)
#include "tst_modulesim.moc"
