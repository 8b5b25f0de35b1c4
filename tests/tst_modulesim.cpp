// The simulated module against what the program and the tests rely on:
// open and its handle, the refusals of a closed device, the sensor and its
// script, store and delete within the store, search, the index pages and
// their bit order, fault injection, gates, the call log, and use from two
// threads at once.

#include "vyr_api.h"
#include "vyrsim.h"

#include <QtTest>

#include <algorithm>
#include <atomic>
#include <functional>
#include <numeric>
#include <thread>
#include <vector>

namespace {

constexpr int kAddr = -1;
constexpr int kFrame = 256 * 288;

int openDevice()
{
    int handle = 0;
    return VYROpenDeviceEx(&handle, 2, nullptr, 2, 0) == 0 ? handle : 0;
}

// One upload into a buffer larger than a frame; -1 where nothing was written.
std::vector<int> upload(int h)
{
    std::vector<unsigned char> pixels(92160, 0x5a);
    int length = 0;
    if (VYRUpImage(h, kAddr, pixels.data(), &length) != 0 || length != kFrame
        || pixels[kFrame] != 0x5a)
        return {};
    return std::vector<int>(pixels.begin(), pixels.begin() + kFrame);
}

int darkPixels(const std::vector<int> &frame)
{
    return int(std::count_if(frame.begin(), frame.end(), [](int p) { return p < 110; }));
}

} // namespace

class tst_ModuleSim : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void device();
    void closedDeviceRefuses();
    void sensor();
    void storeAndDelete_data();
    void storeAndDelete();
    void searchFindsLowestMatch();
    void indexBitOrder();
    void faultsHitChosenCalls();
    void gateHoldsCalls();
    void logWritesArgumentsAndResult();
    void twoThreadsAtOnce();
};

void tst_ModuleSim::init()
{
    vyrsim_reset();
}

void tst_ModuleSim::device()
{
    QCOMPARE(VYR_SETPATH(2, 1), 0);
    const int first = openDevice();
    QVERIFY(first != 0);
    QCOMPARE(VYRGetImage(first, kAddr), int(VYRSIM_ERR_NO_FINGER));
    QVERIFY(VYRGetImage(first + 1, kAddr) != 0); // wrong handle
    QVERIFY(VYRGetImage(first, 0x12345678) != 0); // wrong address
    const int second = openDevice(); // a reopen hands out a new handle
    QVERIFY(second != 0 && second != first);
    QCOMPARE(VYRGetImage(first, kAddr), int(VYRSIM_ERR_NO_DEVICE));
    QCOMPARE(VYRCloseDeviceEx(second), 0);
    QVERIFY(VYRCloseDeviceEx(second) != 0); // closed already

    vyrsim_set_attached(0);
    int handle = 1234;
    QVERIFY(VYROpenDeviceEx(&handle, 2, nullptr, 2, 0) != 0);
    QCOMPARE(handle, 1234); // untouched when no module answers
}

void tst_ModuleSim::closedDeviceRefuses()
{
    const int h = openDevice();
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
        [&] {
            return VYRCloseDeviceEx(h);
        }};
    for (int i = 0; i < calls.size(); ++i)
        QVERIFY2(calls[i]() == VYRSIM_ERR_NO_DEVICE, qPrintable(QString::number(i)));
    QCOMPARE(buffer[0], 0); // nothing written
    QCOMPARE(vyrsim_stored(5), 1); // nothing deleted
}

// An image request succeeds only with a finger on; an upload writes the
// frame of the last request, or the counter's frame; a script gives one
// state a request and then holds its last entry.
void tst_ModuleSim::sensor()
{
    const int h = openDevice();
    QCOMPARE(upload(h).size(), std::size_t(kFrame)); // before any request
    vyrsim_set_finger(2);
    QCOMPARE(VYRGetImage(h, kAddr), 0);
    QVERIFY(darkPixels(upload(h)) > 5000);
    vyrsim_set_finger(0);
    QCOMPARE(VYRGetImage(h, kAddr), int(VYRSIM_ERR_NO_FINGER));
    const std::vector<int> empty = upload(h);
    QCOMPARE(darkPixels(empty), 0);
    QVERIFY(std::accumulate(empty.begin(), empty.end(), 0.0) / kFrame > 200);
    vyrsim_set_frame_mode(VYRSIM_FRAMES_COUNTER);
    QCOMPARE(upload(h), std::vector<int>(kFrame, 4)); // the fourth upload since the reset

    const int script[] = {0, 1, 0, 3};
    vyrsim_script(script, 4);
    QCOMPARE(vyrsim_script_left(), 4);
    QVector<int> results;
    for (int i = 0; i < 6; ++i)
        results << VYRGetImage(h, kAddr);
    QCOMPARE(results, QVector<int>({2, 0, 2, 0, 0, 0}));
    QCOMPARE(vyrsim_script_left(), 0);
}

void tst_ModuleSim::storeAndDelete_data()
{
    QTest::addColumn<int>("id");
    QTest::addColumn<bool>("inside");
    QTest::newRow("0") << 0 << true;
    QTest::newRow("999") << 999 << true;
    QTest::newRow("1000") << 1000 << false;
    QTest::newRow("1500") << 1500 << false;
    QTest::newRow("-1") << -1 << false;
}

// A template goes under any ID of the store and comes out of it again;
// outside the store both are refused and nothing changes.
void tst_ModuleSim::storeAndDelete()
{
    QFETCH(int, id);
    QFETCH(bool, inside);
    const int h = openDevice();
    vyrsim_store(5, 1);
    const int script[] = {3, 0, 3};
    vyrsim_script(script, 3);
    VYRGetImage(h, kAddr);
    QCOMPARE(VYRGenChar(h, kAddr, 0), 0);
    VYRGetImage(h, kAddr);
    VYRGetImage(h, kAddr);
    QCOMPARE(VYRGenChar(h, kAddr, 1), 0);
    QCOMPARE(VYRRegModule(h, kAddr), 0);
    QCOMPARE(VYRStoreChar(h, kAddr, 1, id) == 0, inside);
    QCOMPARE(vyrsim_stored(id), inside ? 1 : -1);
    QCOMPARE(VYRDelChar(h, kAddr, id, 1) == 0, inside);
    QCOMPARE(VYRDelChar(h, kAddr, 100, 1), 0); // an empty ID: nothing to do
    QCOMPARE(vyrsim_stored(id), inside ? 0 : -1);
    QCOMPARE(vyrsim_stored(5), 1);
}

// Search answers the lowest matching ID of the range, with a score above
// the threshold; no match leaves the answers untouched.
void tst_ModuleSim::searchFindsLowestMatch()
{
    const int h = openDevice();
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
    QVERIFY2(score >= VYRSIM_MATCH_THRESHOLD && score < 300, qPrintable(QString::number(score)));
    QCOMPARE(VYRSearch(h, kAddr, 1, 41, 1000, &id, &score), 0);
    QCOMPARE(id, 700);
    id = score = -1;
    QCOMPARE(VYRSearch(h, kAddr, 1, 0, 40, &id, &score), int(VYRSIM_ERR_NO_MATCH));
    QCOMPARE(id + score, -2);
}

void tst_ModuleSim::indexBitOrder()
{
    const int h = openDevice();
    for (int id : {0, 9, 255, 256, 999})
        vyrsim_store(id, 1);
    unsigned char pages[4][32];
    memset(pages, 0xee, sizeof pages);
    for (int page = 0; page < 4; ++page)
        QCOMPARE(VYRReadIndexTable(h, kAddr, page, pages[page]), 0);
    QCOMPARE(int(pages[0][0]), 0x01); // ID 0: byte 0, bit 0
    QCOMPARE(int(pages[0][1]), 0x02); // ID 9: byte 1, bit 1
    QCOMPARE(int(pages[0][31]), 0x80); // ID 255
    QCOMPARE(int(pages[1][0]), 0x01); // ID 256 opens page 1
    QCOMPARE(int(pages[3][28]), 0x80); // ID 999 = 768 + 8 * 28 + 7
    int set = 0;
    for (auto &page : pages)
        for (unsigned char byte : page)
            set += __builtin_popcount(byte);
    QCOMPARE(set, 5);
}

void tst_ModuleSim::faultsHitChosenCalls()
{
    const int h = openDevice();
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
}

void tst_ModuleSim::gateHoldsCalls()
{
    const int h = openDevice();
    QCOMPARE(vyrsim_gate("VYRGetImage", 1), 0);
    std::atomic<int> result {-100};
    std::thread caller([&] { result = VYRGetImage(h, kAddr); });
    const bool held = QTest::qWaitFor([] { return vyrsim_gate_waiting() == 1; }, 20000);
    const int early = result.load();
    vyrsim_gate("VYRGetImage", 0);
    caller.join();
    QVERIFY(held);
    QCOMPARE(early, -100);
    QCOMPARE(result.load(), int(VYRSIM_ERR_NO_FINGER));
    QCOMPARE(vyrsim_gate_waiting(), 0);
}

void tst_ModuleSim::logWritesArgumentsAndResult()
{
    int handle = 0;
    VYR_SETPATH(2, 1);
    VYROpenDeviceEx(&handle, 2, nullptr, 2, 0);
    VYRDelChar(handle, kAddr, 1500, 1);
    QCOMPARE(vyrsim_log_size(), 3);
    QStringList lines;
    char line[256];
    for (int i = 0; vyrsim_log_entry(i, line, sizeof line) > 0; ++i)
        lines << line;
    QCOMPARE(lines,
             QStringList({"VYR_SETPATH(2, 1) = 0",
                          QStringLiteral("VYROpenDeviceEx(0x%1, 2, null, 2, 0) = 0")
                              .arg(quintptr(&handle), 0, 16),
                          QStringLiteral("VYRDelChar(%1, -1, 1500, 1) = %2")
                              .arg(handle)
                              .arg(VYRSIM_ERR_BAD_ID)}));
    char tiny[4];
    QVERIFY(vyrsim_log_entry(0, tiny, sizeof tiny) > 3);
    QCOMPARE(QByteArray(tiny), QByteArray("VYR"));
}

// The worker's calls on one thread while a test steers the module from
// another: ThreadSanitizer watches; the log holds every call.
void tst_ModuleSim::twoThreadsAtOnce()
{
    const int h = openDevice();
    std::atomic<bool> done {false};
    std::thread device([&] {
        for (int i = 0; i < 40; ++i) {
            VYRGetImage(h, kAddr);
            upload(h);
            VYRGenChar(h, kAddr, 0);
            unsigned char page[32];
            VYRReadIndexTable(h, kAddr, i % 4, page);
        }
        done = true;
    });
    for (int round = 0; !done; ++round) {
        vyrsim_set_finger(round % 3);
        if (round < 4)
            vyrsim_store(round, 1 + round % 2);
        vyrsim_log_size();
        vyrsim_set_frame_mode(round % 2);
    }
    device.join();
    QVERIFY(vyrsim_log_size() >= 160);
}

QTEST_GUILESS_MAIN(tst_ModuleSim)
#include "tst_modulesim.moc"
