// The worker's run frame: open and close, the guard of a closed device and
// of missing entry points, each with its reports in order and its module
// calls; and frames handed over whole and in order.

#include "modulelib.h"
#include "simcontrol.h"
#include "vyrsim.h"
#include "workerharness.h"

#include <QtTest>

namespace {

const QStringList kOpen {"VYR_SETPATH(2, 1) = 0", "VYROpenDeviceEx(hHandle, 2, null, 2, 0) = 0"};
const QStringList kNotOpen {"enable:0", "msg:请先打开设备", "enable:1"};

// Clears one entry point, as a library that lacks it leaves it.
#define ENTRY(result, name, parameters, shapes)                                                    \
    {QStringLiteral(#name), [] {                                                                   \
         name = nullptr;                                                                           \
     }},
const QMap<QString, void (*)()> kClear {VYR_ENTRY_POINTS(ENTRY)};
#undef ENTRY

} // namespace

class tst_Worker : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void runFrame_data();
    void runFrame();
    void missingEntryPoint_data();
    void missingEntryPoint();

    void framesArriveWholeAndInOrder();
    void traceOfModuleCalls();
};

void tst_Worker::initTestCase()
{
    QVERIFY2(SimControl::instance().loaded(), "the simulated module beside the test");
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
    const char *names[] = {"",
                           "",
                           "close",
                           "capture",
                           "enroll",
                           "delete",
                           "search",
                           "match",
                           "export",
                           "import",
                           "empty",
                           "module information",
                           "notepad read",
                           "notepad write",
                           "import check"};
    for (int op = OpClose; op <= OpImportCheck; ++op)
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
        {OpMatch, {"VYRLoadChar", "VYRGetImage", "VYRUpImage", "VYRGenChar", "VYRMatch"}},
        {OpExport, {"VYRLoadChar", "VYRUpChar"}},
        {OpImport, {"VYRDownChar", "VYRStoreChar", "VYRReadIndexTable"}},
        {OpImportCheck, {"VYRGetCharLen", "VYRDownChar", "VYRStoreChar", "VYRReadIndexTable"}},
        {OpEmpty, {"VYREmpty", "VYRReadIndexTable"}},
        {OpModuleInfo, {"VYRReadParTable", "VYRTemplateNum", "VYRGetCharLen"}},
        {OpReadNotepad, {"VYRReadInfo"}},
        {OpWriteNotepad, {"VYRWriteInfo"}},
        {OpBackup, {"VYRReadIndexTable", "VYRLoadChar", "VYRUpChar"}},
        {OpRestore, {"VYRGetCharLen", "VYRDownChar", "VYRStoreChar", "VYRReadIndexTable"}},
        {OpVerifyPassword, {"VYRVfyPwd"}},
        {OpRandomData, {"VYRGetRandomData"}},
        {OpOpenImage, {"VYRGetImgDataFromBMP"}},
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
    SimControl::instance().script({1, 1, 0, 1, 1}); // far enough for every call of every operation
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

namespace {
QStringList traced;
void noteTrace(QtMsgType, const QMessageLogContext &context, const QString &text)
{
    if (QByteArray(context.category) == "fpdesk.module")
        traced << text;
}
} // namespace

// Off by default; once on, each call with its arguments, result and time.
void tst_Worker::traceOfModuleCalls()
{
    WorkerHarness harness;
    QVERIFY(harness.open());
    traced.clear();
    const QtMessageHandler earlier = qInstallMessageHandler(noteTrace);
    QVERIFY(harness.run(OpEmpty));
    QLoggingCategory::setFilterRules(QStringLiteral("fpdesk.module.debug=true"));
    QVERIFY(harness.run(OpModuleInfo));
    QLoggingCategory::setFilterRules(QString());
    qInstallMessageHandler(earlier);
    QCOMPARE(traced.size(), 3);
    const QString handle = QString::number(hHandle[0]);
    const QStringList calls {"VYRReadParTable\\(" + handle + ", -1, 0x[0-9a-f]+\\) = 0",
                             "VYRTemplateNum\\(" + handle + ", -1, 0x[0-9a-f]+\\) = 0",
                             "VYRGetCharLen\\(0x[0-9a-f]+\\) = 0"};
    for (int i = 0; i < 3; ++i)
        QVERIFY2(
            QRegularExpression("^" + calls.at(i) + ", \\d+ us$").match(traced.at(i)).hasMatch(),
            qPrintable(traced.at(i)));
}

QTEST_GUILESS_MAIN(tst_Worker)
#include "tst_worker.moc"
