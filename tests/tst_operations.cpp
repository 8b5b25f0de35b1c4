// The device operations against a scripted sensor: live capture,
// enrollment, deletion, search and the template index query, each with its
// status texts in order and its module calls with their arguments.

#include "simcontrol.h"
#include "workerharness.h"

#include <QRegularExpression>
#include <QtTest>

namespace {

QString wait(int seconds)
{
    return QStringLiteral("等待按压指纹 时间:%1s").arg(seconds);
}

QStringList countdown(int from, int to)
{
    QStringList texts;
    for (int s = from; s >= to; --s)
        texts << wait(s);
    return texts;
}

QVector<int> repeat(int finger, int times)
{
    return QVector<int>(times, finger);
}

const QString kImage = QStringLiteral("获取图像成功");
const QString kLift = QStringLiteral("请抬起手指..........");
const QString kFeature = QStringLiteral("生成特征成功");
const QString kNoFeature = QStringLiteral("生成特征失败");
const QRegularExpression kNoImageCalls("^VYR(?!GetImage|UpImage)");

} // namespace

class tst_Operations : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void capture_data();
    void capture();
    void captureCallsEachCycle();

    void enroll_data();
    void enroll();
    void enrollCallsModuleWithBuffersAndId();
    void enrollWaitsWhileFingerStays();

    void remove_data();
    void remove();

    void search_data();
    void search();
    void searchMatchShowsIdThenScore();

    void indexQuery_data();
    void indexQuery();
};

void tst_Operations::initTestCase()
{
    QVERIFY(SimControl::instance().loaded());
}

void tst_Operations::capture_data()
{
    QTest::addColumn<QVector<int>>("sensor");
    QTest::addColumn<QStringList>("messages");
    QTest::addColumn<int>("frames");

    QTest::newRow("finger already on")
        << QVector<int> {1} << QStringList {wait(19), wait(18), kImage} << 2;
    QTest::newRow("no finger") << QVector<int> {0} << countdown(19, 0) << 20;
    QTest::newRow("broken run of images")
        << QVector<int> {1, 0, 1, 1} << (countdown(19, 16) << kImage) << 4;
    QTest::newRow("finger in the last cycle only")
        << (repeat(0, 19) << 1) << countdown(19, 0) << 20;
    QTest::newRow("finger in the last two cycles")
        << (repeat(0, 18) << 1 << 1) << (countdown(19, 0) << kImage) << 20;
}

void tst_Operations::capture()
{
    QFETCH(QVector<int>, sensor);
    QFETCH(QStringList, messages);
    QFETCH(int, frames);
    WorkerHarness harness;
    QVERIFY(harness.open());
    SimControl::instance().script(sensor);
    QVERIFY(harness.run(OpCapture));
    QCOMPARE(harness.messages(), messages);
    QCOMPARE(harness.frames.size(), frames);
    QCOMPARE(harness.calls().filter("VYRGetImage").size(), frames);
}

void tst_Operations::captureCallsEachCycle()
{
    WorkerHarness harness;
    QVERIFY(harness.open());
    SimControl::instance().setFinger(1);
    QVERIFY(harness.run(OpCapture));
    QCOMPARE(harness.events,
             QStringList({"enable:0", "msg:" + wait(19), "frame", "msg:" + wait(18), "frame",
                          "msg:" + kImage, "enable:1"}));
    const QString get = QStringLiteral("VYRGetImage(h, -1) = 0");
    const QString up = QStringLiteral("VYRUpImage(h, -1, fpimage, ptr) = 0");
    QCOMPARE(harness.calls(), QStringList({get, up, get, up}));
    // The frames are the module's pictures of the finger, not an empty buffer.
    QVERIFY(harness.frames.at(1).count(char(0)) < 1000);
}

void tst_Operations::enroll_data()
{
    QTest::addColumn<QVector<int>>("sensor");
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QStringList>("messages");
    QTest::addColumn<QString>("list"); // the bitmap sent at the end, or "none"

    QTest::newRow("usual course") << QVector<int> {1, 1, 1, 0, 1, 1} << QString()
                                  << QStringList {kImage,   kFeature, kImage,   kLift,
                                                  wait(19), kImage,   kFeature, "注册成功"}
                                  << "list:3,7";
    QTest::newRow("failed feature costs a press")
        << QVector<int> {1, 1, 0, 1, 1, 0, 1, 1} << "VYRGenChar"
        << QStringList {kImage,   kNoFeature, wait(19), kImage,    kFeature,
                        wait(19), kImage,     kFeature, "注册成功"}
        << "list:3,7";
    QTest::newRow("failed merge starts over")
        << QVector<int> {1, 1, 0, 2, 2, 2, 2, 2, 0, 2, 2} << QString()
        << QStringList {kImage, kFeature, wait(19), kImage, kFeature, kImage,    kFeature,
                        kImage, kLift,    wait(19), kImage, kFeature, "注册成功"}
        << "list:3,7";
    QTest::newRow("refused store")
        << QVector<int> {1, 1, 0, 1, 1} << "VYRStoreChar"
        << QStringList {kImage, kFeature, wait(19), kImage, kFeature, "注册失败"} << "list:3";
    QTest::newRow("timeout after one feature")
        << QVector<int> {1, 1, 0} << QString()
        << (QStringList {kImage, kFeature} << countdown(19, 0)) << "none";
    QTest::newRow("no press") << QVector<int> {0} << QString() << countdown(19, 0) << "none";
    QTest::newRow("press seen in one cycle only")
        << QVector<int> {0, 1, 0} << QString() << (QStringList {wait(19)} << countdown(19, 0))
        << "none";
}

void tst_Operations::enroll()
{
    QFETCH(QVector<int>, sensor);
    QFETCH(QString, fault);
    QFETCH(QStringList, messages);
    QFETCH(QString, list);
    WorkerHarness harness;
    SimControl::instance().store(3, 5);
    QVERIFY(harness.open());
    SimControl::instance().script(sensor);
    if (!fault.isEmpty())
        SimControl::instance().fail(qPrintable(fault), 1, 1, 1);
    QVERIFY(harness.run(OpEnroll, 7));
    QCOMPARE(harness.messages(), messages);
    QCOMPARE(harness.events.filter("list:"), list == "none" ? QStringList() : QStringList {list});
    QCOMPARE(SimControl::instance().stored(7) > 0, list.contains("7"));
    QCOMPARE(harness.events.last(), QString("enable:1"));
}

void tst_Operations::enrollCallsModuleWithBuffersAndId()
{
    WorkerHarness harness;
    SimControl::instance().store(7, 9); // the ID holds a template already
    QVERIFY(harness.open());
    SimControl::instance().script({1, 1, 0, 1, 1});
    QVERIFY(harness.run(OpEnroll, 7));
    QCOMPARE(harness.calls().filter(kNoImageCalls),
             QStringList({"VYRGenChar(h, -1, 0) = 0", "VYRGenChar(h, -1, 1) = 0",
                          "VYRRegModule(h, -1) = 0", "VYRStoreChar(h, -1, 1, 7) = 0"})
                 + harness.indexCalls());
    QCOMPARE(harness.messages().last(), QString("注册成功")); // the module's answer alone decides
}

void tst_Operations::enrollWaitsWhileFingerStays()
{
    WorkerHarness harness;
    QVERIFY(harness.open());
    SimControl::instance().setFinger(1);
    harness.start(OpEnroll);
    // Far more cycles than the countdown allows: the run is still waiting.
    QVERIFY(QTest::qWaitFor([&] { return harness.calls().filter("VYRGetImage").size() > 45; },
                            kWaitMs));
    QVERIFY(harness.worker.busy());
    harness.worker.stop();
    QCoreApplication::sendPostedEvents();
    const QStringList messages = harness.messages();
    QCOMPARE(messages.mid(0, 4), QStringList({kImage, kFeature, kImage, kLift}));
    QVERIFY(messages.filter("等待").isEmpty());
    QCOMPARE(harness.calls().filter("VYRGenChar").size(), 1);
}

void tst_Operations::remove_data()
{
    QTest::addColumn<int>("id");
    QTest::addColumn<bool>("refuse");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("list");
    QTest::addColumn<int>("result");

    QTest::newRow("stored ID") << 7 << false << "删除指纹[7] 成功"
                               << "list:3" << 0;
    QTest::newRow("refused") << 7 << true << "删除指纹[7] 失败"
                             << "list:3,7" << 1;
    QTest::newRow("empty ID") << 100 << false << "删除指纹[100] 成功"
                              << "list:3,7" << 0;
    QTest::newRow("outside the store") << 1500 << false << "删除指纹[1500] 失败"
                                       << "list:3,7" << int(VYRSIM_ERR_BAD_ID);
}

void tst_Operations::remove()
{
    QFETCH(int, id);
    QFETCH(bool, refuse);
    QFETCH(QString, message);
    QFETCH(QString, list);
    QFETCH(int, result);
    WorkerHarness harness;
    SimControl::instance().store(3, 1);
    SimControl::instance().store(7, 2);
    QVERIFY(harness.open());
    if (refuse)
        SimControl::instance().fail("VYRDelChar", 1, 1, 1);
    QVERIFY(harness.run(OpDelete, id));
    QCOMPARE(harness.events, QStringList({"enable:0", "msg:" + message, list, "enable:1"}));
    // The index is re-read in every case.
    QCOMPARE(harness.calls(),
             QStringList(QStringLiteral("VYRDelChar(h, -1, %1, 1) = %2").arg(id).arg(result))
                 + harness.indexCalls());
}

void tst_Operations::search_data()
{
    QTest::addColumn<QVector<int>>("sensor");
    QTest::addColumn<int>("failingFeatures");
    QTest::addColumn<QStringList>("messages");

    QTest::newRow("no match") << QVector<int> {2} << 0
                              << QStringList {wait(19), wait(18), kImage, "搜索失败"};
    QTest::newRow("timeout") << QVector<int> {0} << 0 << countdown(19, 0);

    // The finger stays while every feature fails: one attempt per cycle, the
    // countdown running on below 0 until the finger is lifted.
    QStringList failing {wait(19), wait(18), kImage, kNoFeature};
    for (int s = 17; s >= -5; --s)
        failing << wait(s) << kImage << kNoFeature;
    failing << wait(-6);
    QTest::newRow("features keep failing") << (repeat(1, 25) << 0) << -1 << failing;

    QTest::newRow("failed feature in the last cycle")
        << (repeat(0, 18) << 1 << 1 << 0) << -1
        << (countdown(19, 0) << kImage << kNoFeature << wait(-1));
}

void tst_Operations::search()
{
    QFETCH(QVector<int>, sensor);
    QFETCH(int, failingFeatures);
    QFETCH(QStringList, messages);
    WorkerHarness harness;
    SimControl::instance().store(7, 1);
    QVERIFY(harness.open());
    SimControl::instance().script(sensor);
    if (failingFeatures)
        SimControl::instance().fail("VYRGenChar", 1, failingFeatures, 1);
    QVERIFY(harness.run(OpSearch));
    QCOMPARE(harness.messages(), messages);
    const QStringList features = harness.calls().filter("VYRGenChar");
    QCOMPARE(features.size(), messages.count(kImage));
    for (const QString &call : features)
        QVERIFY2(call.startsWith("VYRGenChar(h, -1, 1)"), qPrintable(call));
    QVERIFY(harness.events.filter("list:").isEmpty());
}

void tst_Operations::searchMatchShowsIdThenScore()
{
    WorkerHarness harness;
    SimControl::instance().store(2, 3);
    SimControl::instance().store(7, 1);
    QVERIFY(harness.open());
    SimControl::instance().setFinger(1);
    QVERIFY(harness.run(OpSearch));
    const QStringList messages = harness.messages();
    QCOMPARE(messages.mid(0, 3), QStringList({wait(19), wait(18), kImage}));
    const QRegularExpressionMatch match
        = QRegularExpression("^搜索成功 ID:(\\d+) 得分:(\\d+)$").match(messages.value(3));
    QVERIFY2(match.hasMatch(), qPrintable(messages.value(3)));
    QCOMPARE(match.captured(1), QString("7"));
    QVERIFY(match.captured(2).toInt() >= 50 && match.captured(2).toInt() < 300);
    QCOMPARE(harness.calls().filter("VYRSearch"),
             QStringList("VYRSearch(h, -1, 1, 0, 1000, ptr, ptr) = 0"));
}

void tst_Operations::indexQuery_data()
{
    QTest::addColumn<QVector<int>>("stored");
    QTest::addColumn<int>("failingPage"); // -1: none
    QTest::addColumn<QString>("list"); // empty: none sent
    QTest::addColumn<int>("pagesRead");

    QTest::newRow("four zero pages") << QVector<int> {} << -1 << "list:" << 4;
    QTest::newRow("first and last ID") << QVector<int> {0, 1023} << -1 << "list:0,1023" << 4;
    QTest::newRow("first page fails") << QVector<int> {5} << 0 << "" << 1;
    QTest::newRow("third page fails") << QVector<int> {5} << 2 << "" << 3;
}

void tst_Operations::indexQuery()
{
    QFETCH(QVector<int>, stored);
    QFETCH(int, failingPage);
    QFETCH(QString, list);
    QFETCH(int, pagesRead);
    WorkerHarness harness;
    SimControl::instance().setCapacity(1024);
    for (int id : stored)
        SimControl::instance().store(id, 1);
    if (failingPage >= 0)
        SimControl::instance().fail("VYRReadIndexTable", failingPage + 1, 1, 1);
    QVERIFY(harness.run(OpOpen));
    QStringList events {"enable:0", "alert:打开设备成功", list, "enable:1"};
    events.removeAll(QString());
    QCOMPARE(harness.events, events);
    QStringList pages = harness.indexCalls().mid(0, pagesRead);
    if (failingPage >= 0)
        pages.last().replace("= 0", "= 1");
    QCOMPARE(harness.calls().filter("VYRReadIndexTable"), pages);
}

QTEST_GUILESS_MAIN(tst_Operations)
#include "tst_operations.moc"
