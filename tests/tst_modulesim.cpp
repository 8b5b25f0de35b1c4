// The simulated module against what the program relies on: open and its
// handle, the sensor and its script, store and delete within the store,
// the index pages and their bit order, use from two threads at once, no call
// waiting while a finger is enrolled for the store, and the BMP entry points
// against damaged headers and files that cannot be written whole. Faults,
// gates and the call log are the instruments of every other test, which fail
// when one of them does.

#include "plumbing.h"
#include "vyr_api.h"
#include "vyrsim.h"

#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>
#include <atomic>
#include <functional>
#include <numeric>
#include <thread>
#include <vector>

using HeaderEdit = std::function<void(QByteArray &file)>;
Q_DECLARE_METATYPE(HeaderEdit)

namespace {

constexpr int kAddr = -1;
constexpr int kWaitMs = 10000;
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

void put32(QByteArray &bytes, int at, quint32 value)
{
    for (int i = 0; i < 4; ++i)
        bytes[at + i] = char(value >> (8 * i));
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
    void sensor();
    void storeAndDelete();
    void indexBitOrder();
    void twoThreadsAtOnce();
    void noCallWaitsWhileEnrolling();
    void noCallWaitsWhileWriting();
    void threadJoinedOnThrow();
    void bmpHeaders_data();
    void bmpHeaders();
    void bmpWriteMustComplete();
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

// A template goes under any ID of the store and comes out of it again;
// outside the store both are refused and nothing changes.
void tst_ModuleSim::storeAndDelete()
{
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
    for (const int id : {0, 999, 1000, 1500, -1}) {
        const bool inside = id >= 0 && id < 1000;
        QCOMPARE(VYRStoreChar(h, kAddr, 1, id) == 0, inside);
        QCOMPARE(vyrsim_stored(id), inside ? 1 : -1);
        QCOMPARE(VYRDelChar(h, kAddr, id, 1) == 0, inside);
        QCOMPARE(vyrsim_stored(id), inside ? 0 : -1);
    }
    QCOMPARE(VYRDelChar(h, kAddr, 100, 1), 0); // an empty ID: nothing to do
    QCOMPARE(vyrsim_stored(5), 1);
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

// A finger not enrolled before is held at the enrollment's gate, where the
// module's lock must be free: calls from another thread return while it
// waits. Were the lock held there, they would wait for the gate, which opens
// only after they returned, and the bounded wait below would fail.
void tst_ModuleSim::noCallWaitsWhileEnrolling()
{
    const int h = openDevice();
    QCOMPARE(vyrsim_gate("vyrsim_store", 1), 0);
    std::atomic<int> stored {-1};
    std::thread enrolling([&] { stored = vyrsim_store(7, 4242); });
    QTRY_COMPARE_WITH_TIMEOUT(vyrsim_gate_waiting(), 1, kWaitMs);
    std::atomic<bool> answered {false};
    std::thread calls([&] {
        unsigned char page[32];
        int count = -1;
        char status[512];
        answered = VYRGetImage(h, kAddr) == VYRSIM_ERR_NO_FINGER && upload(h).size() == kFrame
            && VYRReadIndexTable(h, kAddr, 0, page) == 0 && VYRTemplateNum(h, kAddr, &count) == 0
            && count == 0 && vyrsim_status(status, sizeof status) > 0 && vyrsim_stored(7) == 0;
    });
    QTRY_VERIFY_WITH_TIMEOUT(answered, kWaitMs);
    QCOMPARE(vyrsim_gate_waiting(), 1); // the enrollment still waits: they did not wait for it
    QCOMPARE(vyrsim_gate("vyrsim_store", 0), 0);
    calls.join();
    enrolling.join();
    QCOMPARE(stored.load(), 0);
    QCOMPARE(vyrsim_stored(7), 1);
    // Known now: stored again without an enrollment, so past the closed gate.
    QCOMPARE(vyrsim_gate("vyrsim_store", 1), 0);
    QCOMPARE(vyrsim_store(8, 4242), 0);
    QCOMPARE(vyrsim_gate("vyrsim_store", 0), 0);
}

// A change of a store kept in a file is held before its write, where only
// the store's writer lock may be taken: other calls return meanwhile, and
// show the store the file still holds.
void tst_ModuleSim::noCallWaitsWhileWriting()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QCOMPARE(vyrsim_use_store(qPrintable(dir.filePath("store"))), 0);
    QCOMPARE(vyrsim_store(3, 1), 0);
    const int h = openDevice();
    QCOMPARE(vyrsim_gate("vyrsim_store_write", 1), 0);
    std::atomic<int> stored {-1};
    std::atomic<bool> answered {false};
    std::thread writing;
    std::thread calls;
    // Should a call wait after all, the gate opens and every thread ends.
    const auto finish = qScopeGuard([&] {
        vyrsim_gate("vyrsim_store_write", 0);
        for (std::thread *thread : {&calls, &writing})
            if (thread->joinable())
                thread->join();
    });
    writing = std::thread([&] { stored = vyrsim_store(7, 1); });
    QTRY_COMPARE_WITH_TIMEOUT(vyrsim_gate_waiting(), 1, kWaitMs);
    calls = std::thread([&] {
        unsigned char page[32] = {};
        answered = VYRReadIndexTable(h, kAddr, 0, page) == 0 && page[0] == 1 << 3
            && VYRGetImage(h, kAddr) == VYRSIM_ERR_NO_FINGER && vyrsim_stored(7) == 0;
    });
    QTRY_VERIFY_WITH_TIMEOUT(answered, kWaitMs);
    QCOMPARE(vyrsim_gate_waiting(), 1); // the write still waits: they did not wait for it
    QCOMPARE(vyrsim_gate("vyrsim_store_write", 0), 0);
    writing.join();
    QCOMPARE(stored.load(), 0);
    QCOMPARE(vyrsim_stored(7), 1);
}

// The helper thread of a search is joined however the search ends: a scan
// that throws while it runs must not end the process.
void tst_ModuleSim::threadJoinedOnThrow()
{
    std::atomic<bool> go {false};
    std::atomic<bool> done {false};
    try {
        vyrsim::JoinedThread helper;
        helper.start([&] {
            while (!go) { }
            done = true;
        });
        go = true;
        throw std::bad_alloc();
    } catch (const std::bad_alloc &) {
        QVERIFY(done); // joined before the exception left its scope
        return;
    }
    QFAIL("the exception was lost");
}

void tst_ModuleSim::bmpHeaders_data()
{
    QTest::addColumn<HeaderEdit>("edit");
    QTest::addColumn<int>("result");
    QTest::addColumn<bool>("upsideDown"); // rows stored top first
    const auto field = [](int at, quint32 value) {
        return HeaderEdit([=](QByteArray &file) { put32(file, at, value); });
    };
    const int ok = 0;
    const int refused = VYRSIM_ERR_FILE;
    QTest::newRow("as written") << HeaderEdit([](QByteArray &) {}) << ok << false;
    QTest::newRow("top row first") << field(22, quint32(-288)) << ok << true;
    QTest::newRow("height -2^31") << field(22, 0x80000000u) << refused << false;
    QTest::newRow("height 2^31 - 1") << field(22, 0x7fffffffu) << refused << false;
    QTest::newRow("height 0") << field(22, 0) << refused << false;
    QTest::newRow("width -256") << field(18, quint32(-256)) << refused << false;
    QTest::newRow("24 bits") << field(28, 24) << refused << false;
    QTest::newRow("bit fields") << field(30, 3) << refused << false;
    QTest::newRow("old header of 12 bytes") << field(14, 12) << refused << false;
    QTest::newRow("pixels past the end") << field(10, 0x7ffffff0u) << refused << false;
    QTest::newRow("pixels inside the header") << field(10, 0) << refused << false;
    QTest::newRow("cut short") << HeaderEdit([](QByteArray &file) { file.chop(1); }) << refused
                               << false;
    QTest::newRow("header only") << HeaderEdit([](QByteArray &file) { file.truncate(54); })
                                 << refused << false;
    QTest::newRow("not a BMP") << HeaderEdit([](QByteArray &file) { file[0] = 'P'; }) << refused
                               << false;
}

void tst_ModuleSim::bmpHeaders()
{
    QFETCH(HeaderEdit, edit);
    QFETCH(int, result);
    QFETCH(bool, upsideDown);
    QTemporaryDir dir;
    const QByteArray path = QFile::encodeName(dir.filePath("frame.bmp"));
    std::vector<unsigned char> frame(kFrame);
    for (int i = 0; i < kFrame; ++i)
        frame[std::size_t(i)] = static_cast<unsigned char>(i / 256 + i % 7);
    QCOMPARE(VYRImgData2BMP(frame.data(), path.constData()), 0);
    QFile file(QFile::decodeName(path));
    QVERIFY(file.open(QIODevice::ReadWrite));
    QByteArray bytes = file.readAll();
    edit(bytes);
    QVERIFY(file.resize(0) && file.seek(0) && file.write(bytes) == bytes.size());
    file.close();

    std::vector<unsigned char> read(kFrame, 0xee);
    int length = -1;
    QCOMPARE(VYRGetImgDataFromBMP(path.constData(), read.data(), &length), result);
    if (result != 0) {
        QCOMPARE(length, -1); // nothing written on failure
        QCOMPARE(read, std::vector<unsigned char>(kFrame, 0xee));
        return;
    }
    QCOMPARE(length, kFrame);
    for (int row = 0; row < 288; ++row) {
        const int from = upsideDown ? 287 - row : row;
        QVERIFY(std::equal(read.begin() + row * 256, read.begin() + row * 256 + 256,
                           frame.begin() + from * 256));
    }
}

// Success means the whole file is there: a full disk fails the write even
// when it shows only as the buffer is flushed at the close.
void tst_ModuleSim::bmpWriteMustComplete()
{
    std::vector<unsigned char> frame(kFrame, 100);
    QTemporaryDir dir;
    QCOMPARE(VYRImgData2BMP(frame.data(), "/dev/full"), int(VYRSIM_ERR_FILE));
    QCOMPARE(VYRImgData2BMP(frame.data(), QFile::encodeName(dir.path()).constData()),
             int(VYRSIM_ERR_FILE));
    const QByteArray path = QFile::encodeName(dir.filePath("frame.bmp"));
    QCOMPARE(VYRImgData2BMP(frame.data(), path.constData()), 0);
    QCOMPARE(QFileInfo(QFile::decodeName(path)).size(), 14 + 40 + 1024 + kFrame);
}

QTEST_GUILESS_MAIN(tst_ModuleSim)
#include "tst_modulesim.moc"
