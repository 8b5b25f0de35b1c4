// The hand-over of frames and bitmaps: copies taken at the moment of the
// report, a bound on reports in flight, no wait while the receiver itself
// waits, and slots taken back when the receiver is gone.

#include "handover.h"

#include <QtTest>

#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

class tst_HandOver : public QObject
{
    Q_OBJECT

private slots:
    void cleanup();
    void slotHoldsContentOfTheMoment();
    void foreignMemoryPassesThrough();
    void workerWaitsForSlots();
    void noWaitWhileReceiverWaits();
};

void tst_HandOver::cleanup()
{
    HandOver::instance().setReceiverWaiting(false);
    HandOver::instance().discardAll();
}

void tst_HandOver::slotHoldsContentOfTheMoment()
{
    HandOver &handOver = HandOver::instance();
    std::vector<unsigned char> frame(256 * 288, 7);
    unsigned char *first = handOver.post(frame.data(), int(frame.size()));
    std::fill(frame.begin(), frame.end(), 9); // the worker writes the next frame
    unsigned char *second = handOver.post(frame.data(), int(frame.size()));
    QVERIFY(first != second);
    QVERIFY(first != frame.data());
    QCOMPARE(int(first[0]), 7);
    QCOMPARE(int(first[256 * 288 - 1]), 7);
    QCOMPARE(int(second[0]), 9);
    QCOMPARE(handOver.inFlight(), 2);
    {
        const HandOver::Receipt receipt(first);
        QCOMPARE(handOver.inFlight(), 2); // still held while it is read
    }
    QCOMPARE(handOver.inFlight(), 1);
    {
        const HandOver::Receipt again(first); // a slot given back is not given back twice
    }
    QCOMPARE(handOver.inFlight(), 1);
}

void tst_HandOver::foreignMemoryPassesThrough()
{
    HandOver &handOver = HandOver::instance();
    unsigned char bitmap[512] = {1};
    handOver.post(bitmap, 512);
    {
        const HandOver::Receipt receipt(bitmap);
        const HandOver::Receipt none(nullptr);
    }
    QCOMPARE(handOver.inFlight(), 1);
}

void tst_HandOver::workerWaitsForSlots()
{
    HandOver &handOver = HandOver::instance();
    constexpr int kReports = 50;
    std::mutex mutex;
    std::vector<unsigned char *> posted;
    std::atomic<int> count {0};
    std::thread worker([&] {
        for (int i = 0; i < kReports; ++i) {
            const unsigned char value = static_cast<unsigned char>(i);
            unsigned char *slot = handOver.post(&value, 1);
            const std::lock_guard<std::mutex> lock(mutex);
            posted.push_back(slot);
            ++count;
        }
    });
    std::size_t taken = 0;
    while (taken < kReports) {
        QTRY_VERIFY_WITH_TIMEOUT(count > int(taken), 60000);
        unsigned char *slot = nullptr;
        {
            const std::lock_guard<std::mutex> lock(mutex);
            slot = posted[taken];
        }
        const HandOver::Receipt receipt(slot);
        QCOMPARE(int(*slot), int(taken)); // in order, and each as it was posted
        QVERIFY(handOver.inFlight() <= HandOver::kSlots);
        ++taken;
    }
    worker.join();
    QVERIFY(handOver.slotCount() <= HandOver::kSlots); // memory stayed bounded
    QCOMPARE(handOver.inFlight(), 0);
}

void tst_HandOver::noWaitWhileReceiverWaits()
{
    HandOver &handOver = HandOver::instance();
    const unsigned char byte = 1;
    for (int i = 0; i < HandOver::kSlots; ++i)
        handOver.post(&byte, 1);
    std::atomic<bool> posted {false};
    std::thread worker([&] {
        handOver.post(&byte, 1);
        posted = true;
    });
    handOver.setReceiverWaiting(true); // as the close command before its wait
    worker.join(); // would hang if the post waited for a slot
    QVERIFY(posted);
    QCOMPARE(handOver.inFlight(), HandOver::kSlots + 1);
    handOver.setReceiverWaiting(false);
    handOver.discardAll(); // the receiver is gone
    QCOMPARE(handOver.inFlight(), 0);
    QCOMPARE(handOver.slotCount(), HandOver::kSlots);
}

QTEST_GUILESS_MAIN(tst_HandOver)
#include "tst_handover.moc"
