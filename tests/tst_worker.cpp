// The worker's run frame: open and close, the guard of a closed device and
// of missing entry points, each with its reports in order and its module
// calls; and the hand-over of frames and bitmaps to the window.

#include "handover.h"
#include "modulelib.h"
#include "simcontrol.h"
#include "vyrsim.h"
#include "watchdog.h"
#include "workerharness.h"

#include <QtTest>

#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

namespace {

const QStringList kOpen {"VYR_SETPATH(2, 1) = 0", "VYROpenDeviceEx(hHandle, 2, null, 2, 0) = 0"};
const QStringList kNotOpen {"enable:0", "msg:请先打开设备", "enable:1"};

// Clears one entry point, as a library that lacks it leaves it.
#define ENTRY(name)                                                                                \
    {                                                                                              \
        QStringLiteral(#name), [] {                                                                \
            name = nullptr;                                                                        \
        }                                                                                          \
    }
const QMap<QString, void (*)()> kClear {
    ENTRY(VYR_SETPATH), ENTRY(VYROpenDeviceEx), ENTRY(VYRCloseDeviceEx),  ENTRY(VYRGetImage),
    ENTRY(VYRUpImage),  ENTRY(VYRGenChar),      ENTRY(VYRRegModule),      ENTRY(VYRStoreChar),
    ENTRY(VYRDelChar),  ENTRY(VYRSearch),       ENTRY(VYRReadIndexTable),
};
#undef ENTRY

} // namespace

class tst_Worker : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();

    void runFrame_data();
    void runFrame();
    void missingEntryPoint_data();
    void missingEntryPoint();

    void framesArriveWholeAndInOrder();
    void slotHoldsContentOfTheMoment();
    void reportsInFlightAreBounded();
    void noWaitWhileReceiverWaits();
};

void tst_Worker::initTestCase()
{
    QVERIFY2(SimControl::instance().loaded(), "the simulated module beside the test");
}

void tst_Worker::cleanup()
{
    HandOver::instance().setReceiverWaiting(false);
    HandOver::instance().discardAll();
}

void tst_Worker::runFrame_data()
{
    QTest::addColumn<bool>("openFirst");
    QTest::addColumn<QString>("fault"); // "entry code", or empty
    QTest::addColumn<int>("operation");
    QTest::addColumn<QStringList>("events");
    QTest::addColumn<QStringList>("calls");
    QTest::addColumn<bool>("openAfter");

    const QStringList opened {"enable:0", "alert:打开设备成功", "list:3", "enable:1"};
    QTest::newRow("open") << false << "" << int(OpOpen) << opened
                          << kOpen + WorkerHarness().indexCalls() << true;
    QTest::newRow("open again") << true << "" << int(OpOpen) << opened
                                << kOpen + WorkerHarness().indexCalls() << true;
    QTest::newRow("open, no module")
        << false << "detach" << int(OpOpen)
        << QStringList {"enable:0", "list:", "alert:打开设备失败", "msg:请先打开设备", "enable:1"}
        << QStringList {kOpen[0], "VYROpenDeviceEx(hHandle, 2, null, 2, 0) = -1"} << false;
    // A failed second open empties the list, yet the device stays open.
    QTest::newRow("second open fails")
        << true << "VYROpenDeviceEx 4" << int(OpOpen)
        << QStringList {"enable:0", "list:", "alert:打开设备失败", "enable:1"}
        << QStringList {kOpen[0], "VYROpenDeviceEx(hHandle, 2, null, 2, 0) = 4"} << true;
    QTest::newRow("close") << true << "" << int(OpClose)
                           << QStringList {"enable:0", "alert:关闭设备成功", "list:", "enable:1"}
                           << QStringList {"VYRCloseDeviceEx(h) = 0"} << false;
    // A failed close says so; the device counts as closed all the same.
    QTest::newRow("close fails") << true << "VYRCloseDeviceEx 8" << int(OpClose)
                                 << QStringList {"enable:0", "alert:关闭设备失败",
                                                 "list:", "enable:1"}
                                 << QStringList {"VYRCloseDeviceEx(h) = 8"} << false;
    const char *names[] = {"", "", "close", "capture", "enroll", "delete", "search"};
    for (int op = OpClose; op <= OpSearch; ++op)
        QTest::addRow("%s, device closed", names[op])
            << false << "" << op << kNotOpen << QStringList() << false;
}

void tst_Worker::runFrame()
{
    QFETCH(bool, openFirst);
    QFETCH(QString, fault);
    QFETCH(int, operation);
    QFETCH(QStringList, events);
    QFETCH(QStringList, calls);
    QFETCH(bool, openAfter);
    WorkerHarness harness;
    SimControl &module = SimControl::instance();
    module.store(3, 1);
    module.setFinger(1);
    QVERIFY(!openFirst || harness.open());
    if (fault == "detach")
        module.setAttached(false);
    else if (!fault.isEmpty())
        module.fail(qPrintable(fault.section(' ', 0, 0)), 1, 1, fault.section(' ', 1).toInt());
    QVERIFY(harness.run(Operation(operation)));
    QCOMPARE(harness.events, events);
    QCOMPARE(harness.calls(), calls);
    QCOMPARE(isopenok, openAfter);
    QCOMPARE(m_option.load(), int(OpIdle));
}

void tst_Worker::missingEntryPoint_data()
{
    QTest::addColumn<int>("operation");
    QTest::addColumn<QString>("entry");
    const QList<QPair<Operation, QStringList>> needs = {
        {OpOpen, {"VYR_SETPATH", "VYROpenDeviceEx", "VYRReadIndexTable"}},
        {OpClose, {"VYRCloseDeviceEx"}},
        {OpCapture, {"VYRGetImage", "VYRUpImage"}},
        {OpEnroll,
         {"VYRGetImage", "VYRUpImage", "VYRGenChar", "VYRRegModule", "VYRStoreChar",
          "VYRReadIndexTable"}},
        {OpDelete, {"VYRDelChar", "VYRReadIndexTable"}},
        {OpSearch, {"VYRGetImage", "VYRUpImage", "VYRGenChar", "VYRSearch"}},
    };
    for (const auto &[operation, entries] : needs)
        for (const QString &entry : entries)
            QTest::addRow("operation %d without %s", operation, qPrintable(entry))
                << int(operation) << entry;
}

// The library lacks one entry point that the operation calls: the run says
// which, and calls nothing at all. The next harness binds it again.
void tst_Worker::missingEntryPoint()
{
    QFETCH(int, operation);
    QFETCH(QString, entry);
    WorkerHarness harness;
    SimControl::instance().setFinger(1);
    QVERIFY(operation == OpOpen || harness.open());
    kClear.value(entry)();
    QVERIFY(harness.run(Operation(operation)));
    QCOMPARE(harness.events, QStringList({"enable:0", "msg:动态库缺少接口 " + entry, "enable:1"}));
    QCOMPARE(harness.calls(), QStringList());
    QCOMPARE(m_option.load(), int(OpIdle));
}

// The harness scribbles over fpimage right after each frame report; what
// the receiver gets must still be each frame as it was, whole, in turn.
void tst_Worker::framesArriveWholeAndInOrder()
{
    WorkerHarness harness;
    QVERIFY(harness.open());
    SimControl::instance().setFrameMode(VYRSIM_FRAMES_COUNTER);
    for (int run = 0; run < 5; ++run) // 100 frames, no finger: 20 a run
        QVERIFY(harness.run(OpCapture));
    QCOMPARE(harness.frames.size(), 100);
    for (int i = 0; i < 100; ++i)
        QCOMPARE(harness.frames.at(i), QByteArray(256 * 288, char(i + 1)));
}

void tst_Worker::slotHoldsContentOfTheMoment()
{
    HandOver &handOver = HandOver::instance();
    std::vector<unsigned char> frame(256 * 288, 7);
    unsigned char *first = handOver.post(frame.data(), int(frame.size()));
    std::fill(frame.begin(), frame.end(), 9); // the worker writes the next frame
    unsigned char *second = handOver.post(frame.data(), int(frame.size()));
    QVERIFY(first != frame.data() && second != first);
    QCOMPARE(int(first[0]) + int(first[256 * 288 - 1]) + int(second[0]), 7 + 7 + 9);
    {
        const HandOver::Receipt receipt(first);
        QCOMPARE(handOver.inFlight(), 2); // still held while it is read
    }
    QCOMPARE(handOver.inFlight(), 1);
    {
        const HandOver::Receipt again(first); // a slot given back is not given back twice
        const HandOver::Receipt foreign(frame.data()); // nor is memory that is no slot
        const HandOver::Receipt none(nullptr);
    }
    QCOMPARE(handOver.inFlight(), 1);
}

// A receiver that falls behind holds the worker back: never more than the
// bound in flight, every report in order and as it was posted.
void tst_Worker::reportsInFlightAreBounded()
{
    HandOver &handOver = HandOver::instance();
    constexpr int kReports = 50;
    std::mutex mutex;
    std::vector<unsigned char *> posted;
    std::thread worker([&] {
        for (int i = 0; i < kReports; ++i) {
            const unsigned char value = static_cast<unsigned char>(i);
            unsigned char *slot = handOver.post(&value, 1);
            const std::lock_guard<std::mutex> lock(mutex);
            posted.push_back(slot);
        }
    });
    const auto postedCount = [&] {
        const std::lock_guard<std::mutex> lock(mutex);
        return posted.size();
    };
    QString wrong;
    for (std::size_t taken = 0; taken < kReports && wrong.isEmpty(); ++taken) {
        if (!holdsWithin([&] { return postedCount() > taken; }, kWaitMs))
            wrong = "the worker stopped at report " + QString::number(taken);
        else if (handOver.inFlight() > HandOver::kSlots)
            wrong = "more reports in flight than slots";
        const std::lock_guard<std::mutex> lock(mutex);
        const HandOver::Receipt receipt(wrong.isEmpty() ? posted[taken] : nullptr);
        if (wrong.isEmpty() && int(*posted[taken]) != int(taken))
            wrong = "report " + QString::number(taken) + " changed";
    }
    if (!wrong.isEmpty())
        handOver.discardAll(); // lets a worker that waits go
    worker.join();
    QVERIFY2(wrong.isEmpty(), qPrintable(wrong));
    QVERIFY(handOver.slotCount() <= HandOver::kSlots); // memory stayed bounded
    QCOMPARE(handOver.inFlight(), 0);
}

// While the receiver itself waits (close, shutdown) the worker takes an
// extra slot rather than wait for one; the receiver gone, all come back.
void tst_Worker::noWaitWhileReceiverWaits()
{
    HandOver &handOver = HandOver::instance();
    const unsigned char byte = 1;
    for (int i = 0; i < HandOver::kSlots; ++i)
        handOver.post(&byte, 1);
    handOver.setReceiverWaiting(true);
    std::atomic<bool> posted {false};
    std::thread worker([&] {
        handOver.post(&byte, 1);
        posted = true;
    });
    const bool inTime = holdsWithin([&] { return posted.load(); }, kWaitMs);
    const int inFlight = handOver.inFlight();
    handOver.discardAll(); // the receiver is gone; this also lets a post that waits go
    worker.join();
    QVERIFY(inTime);
    QCOMPARE(inFlight, HandOver::kSlots + 1);
    QCOMPARE(handOver.inFlight(), 0);
    QCOMPARE(handOver.slotCount(), HandOver::kSlots);
}

QTEST_GUILESS_MAIN(tst_Worker)
#include "tst_worker.moc"
