// The worker's run frame, open and close: the reports of each path in
// their order, the module calls with their arguments, the hand-over of
// frames under pressure, and stopping a run under way.

#include "devicestate.h"
#include "handover.h"
#include "simcontrol.h"
#include "vyrsim.h"
#include "workerharness.h"

#include <QtTest>

#include <thread>

namespace {

QString h(const WorkerHarness &harness)
{
    return QString::number(harness.handle());
}

using Setter = void (SThread::*)();

} // namespace

Q_DECLARE_METATYPE(Setter)

class tst_Worker : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void openSucceeds();
    void openFailsOnClosedDevice();
    void openFailsOnOpenDevice();
    void openTwice();
    void closeOpenDevice();
    void closeReportsFailure();
    void commandsNeedOpenDevice_data();
    void commandsNeedOpenDevice();

    void framesArriveWholeAndInOrder();
    void workerWaitsForSlowWindow();
    void stopEndsRunAtNextTurn();
};

void tst_Worker::initTestCase()
{
    QVERIFY2(SimControl::instance().loaded(), "the simulated module beside the test");
}

void tst_Worker::openSucceeds()
{
    WorkerHarness harness;
    SimControl::instance().store(3, 1);
    QVERIFY(harness.run(&SThread::fopen));
    QCOMPARE(harness.recorder.events,
             QStringList({"enable:0", "alert:打开设备成功", "list:3", "enable:1"}));
    QStringList expected {"VYR_SETPATH(2, 1) = 0", "VYROpenDeviceEx(hHandle, 2, null, 2, 0) = 0"};
    expected << harness.indexCalls();
    QCOMPARE(harness.calls(), expected);
    QVERIFY(isopenok);
    QCOMPARE(m_option.load(), int(OpIdle));
}

void tst_Worker::openFailsOnClosedDevice()
{
    WorkerHarness harness;
    SimControl::instance().setAttached(false);
    QVERIFY(harness.run(&SThread::fopen));
    QCOMPARE(
        harness.recorder.events,
        QStringList({"enable:0", "list:", "alert:打开设备失败", "msg:请先打开设备", "enable:1"}));
    QCOMPARE(
        harness.calls(),
        QStringList({"VYR_SETPATH(2, 1) = 0", "VYROpenDeviceEx(hHandle, 2, null, 2, 0) = -1"}));
    QVERIFY(!isopenok);
}

void tst_Worker::openFailsOnOpenDevice()
{
    WorkerHarness harness;
    SimControl::instance().store(3, 1);
    QVERIFY(harness.open());
    SimControl::instance().fail("VYROpenDeviceEx", 1, 1, 4);
    QVERIFY(harness.run(&SThread::fopen));
    QCOMPARE(harness.recorder.events,
             QStringList({"enable:0", "list:", "alert:打开设备失败", "enable:1"}));
    QVERIFY(isopenok); // a failed second open leaves the device open
    harness.forget();
    SimControl::instance().setFinger(1);
    QVERIFY(harness.run(&SThread::fviewfinger));
    QVERIFY(harness.recorder.messages().contains("获取图像成功"));
}

void tst_Worker::openTwice()
{
    WorkerHarness harness;
    QVERIFY(harness.open());
    const int first = harness.handle();
    QVERIFY(harness.run(&SThread::fopen));
    QCOMPARE(harness.recorder.events,
             QStringList({"enable:0", "alert:打开设备成功", "list:", "enable:1"}));
    QStringList expected {"VYR_SETPATH(2, 1) = 0", "VYROpenDeviceEx(hHandle, 2, null, 2, 0) = 0"};
    expected << harness.indexCalls();
    QCOMPARE(harness.calls(), expected);
    QVERIFY(harness.handle() != first);
}

void tst_Worker::closeOpenDevice()
{
    WorkerHarness harness;
    SimControl::instance().store(3, 1);
    QVERIFY(harness.open());
    QVERIFY(harness.run(&SThread::fclose));
    QCOMPARE(harness.recorder.events,
             QStringList({"enable:0", "alert:关闭设备成功", "list:", "enable:1"}));
    QCOMPARE(harness.calls(), QStringList({"VYRCloseDeviceEx(" + h(harness) + ") = 0"}));
    QVERIFY(!isopenok);
}

void tst_Worker::closeReportsFailure()
{
    WorkerHarness harness;
    QVERIFY(harness.open());
    SimControl::instance().fail("VYRCloseDeviceEx", 1, 1, 8);
    QVERIFY(harness.run(&SThread::fclose));
    QCOMPARE(harness.recorder.events,
             QStringList({"enable:0", "alert:关闭设备失败", "list:", "enable:1"}));
    QVERIFY(!isopenok); // counts as closed all the same
    harness.forget();
    QVERIFY(harness.run(&SThread::fviewfinger));
    QCOMPARE(harness.recorder.events, QStringList({"enable:0", "msg:请先打开设备", "enable:1"}));
}

void tst_Worker::commandsNeedOpenDevice_data()
{
    QTest::addColumn<Setter>("setter");
    QTest::newRow("close") << Setter(&SThread::fclose);
    QTest::newRow("capture") << Setter(&SThread::fviewfinger);
    QTest::newRow("search") << Setter(&SThread::fsearchfinger);
    QTest::newRow("enroll") << Setter(nullptr);
    QTest::newRow("delete") << Setter(nullptr);
}

void tst_Worker::commandsNeedOpenDevice()
{
    QFETCH(Setter, setter);
    WorkerHarness harness;
    SimControl::instance().setFinger(1);
    if (setter)
        QVERIFY(harness.run(setter));
    else if (QByteArray(QTest::currentDataTag()) == "enroll")
        QVERIFY(harness.run(&SThread::fenrollfinger, 5));
    else
        QVERIFY(harness.run(&SThread::fdelfinger, 5));
    QCOMPARE(harness.recorder.events, QStringList({"enable:0", "msg:请先打开设备", "enable:1"}));
    QCOMPARE(harness.calls(), QStringList());
    QCOMPARE(m_option.load(), int(OpIdle));
}

// Right after each frame report the worker's buffer is scribbled over, as
// the next upload would do. What the receiver gets must still be the frame
// as it was reported: whole, and each one in turn.
void tst_Worker::framesArriveWholeAndInOrder()
{
    WorkerHarness harness;
    QVERIFY(harness.open());
    SimControl::instance().setFrameMode(VYRSIM_FRAMES_COUNTER);
    QObject::connect(
        &harness.worker, &SThread::SShowfinger, &harness.worker,
        [](unsigned char *, int, int) { memset(fpimage, 0xee, sizeof fpimage); },
        Qt::DirectConnection);
    for (int run = 0; run < 5; ++run) // 100 frames, no finger: 20 per run
        QVERIFY(harness.run(&SThread::fviewfinger));
    QCOMPARE(harness.recorder.frames.size(), 100);
    for (int i = 0; i < 100; ++i) {
        const QByteArray &frame = harness.recorder.frames.at(i);
        QCOMPARE(frame.size(), 256 * 288);
        QCOMPARE(frame, QByteArray(256 * 288, char((i + 1) & 0xff)));
    }
}

void tst_Worker::workerWaitsForSlowWindow()
{
    WorkerHarness harness;
    QVERIFY(harness.open());
    SimControl::instance().setFrameMode(VYRSIM_FRAMES_COUNTER);
    harness.worker.fviewfinger();
    harness.worker.start();
    // The window takes nothing meanwhile: the worker must stop at the bound
    // rather than run ahead through its 20 frames.
    while (HandOver::instance().inFlight() < HandOver::kSlots)
        std::this_thread::yield();
    QVERIFY(harness.worker.busy());
    QVERIFY(HandOver::instance().slotCount() <= HandOver::kSlots);
    QTRY_VERIFY_WITH_TIMEOUT(!harness.worker.busy(), 60000);
    QCoreApplication::sendPostedEvents();
    QCOMPARE(harness.recorder.frames.size(), 20);
    for (int i = 0; i < 20; ++i)
        QCOMPARE(int(uchar(harness.recorder.frames.at(i).at(0))), i + 1);
    QVERIFY(HandOver::instance().slotCount() <= HandOver::kSlots);
}

void tst_Worker::stopEndsRunAtNextTurn()
{
    WorkerHarness harness;
    QVERIFY(harness.open());
    SimControl::instance().gate("VYRGetImage", true);
    harness.worker.fviewfinger();
    harness.worker.start();
    QTRY_COMPARE_WITH_TIMEOUT(SimControl::instance().gateWaiting(), 1, 60000);
    std::thread operatorHand([] {
        // Let the request in front of the gate through once stop() has begun.
        while (m_option.load() != OpIdle)
            std::this_thread::yield();
        SimControl::instance().gate("VYRGetImage", false);
    });
    harness.worker.stop();
    operatorHand.join();
    QVERIFY(!harness.worker.isRunning());
    const QStringList calls = harness.calls();
    QCOMPARE(calls.filter("VYRGetImage").size(), 1); // no second cycle
    QCOMPARE(m_option.load(), int(OpIdle));
}

QTEST_GUILESS_MAIN(tst_Worker)
#include "tst_worker.moc"
