// The device operations against a scripted sensor: live capture,
// enrollment, deletion, search, 1:1 match, template export and import,
// emptying the store, module information, the notepad and the template
// index query, each with its status texts in order, what it reports, and
// its module calls with their arguments.

#include "backupfile.h"
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

// The module calls each operation may make, as "Name(arguments)".
QStringList allowedCalls(int operation, int id)
{
    const QString image[] = {"VYRGetImage(h, -1)", "VYRUpImage(h, -1, fpimage, ptr)"};
    QStringList index;
    for (int page = 0; page < 4; ++page)
        index << QStringLiteral("VYRReadIndexTable(h, -1, %1, UserContent+%2)")
                     .arg(page)
                     .arg(32 * page);
    switch (operation) {
    case OpCapture:
        return {image[0], image[1]};
    case OpEnroll:
        return QStringList {image[0],
                            image[1],
                            "VYRGenChar(h, -1, 0)",
                            "VYRGenChar(h, -1, 1)",
                            "VYRRegModule(h, -1)",
                            QStringLiteral("VYRStoreChar(h, -1, 1, %1)").arg(id)}
        + index;
    case OpDelete:
        return QStringList(QStringLiteral("VYRDelChar(h, -1, %1, 1)").arg(id)) + index;
    case OpSearch:
        return {image[0], image[1], "VYRGenChar(h, -1, 1)",
                "VYRSearch(h, -1, 1, 0, 1000, ptr, ptr)"};
    case OpMatch:
        return {image[0], image[1], QStringLiteral("VYRLoadChar(h, -1, 0, %1)").arg(id),
                "VYRGenChar(h, -1, 1)", "VYRMatch(h, -1, ptr)"};
    case OpExport:
        return {QStringLiteral("VYRLoadChar(h, -1, 0, %1)").arg(id),
                "VYRUpChar(h, -1, 0, ptr, ptr)"};
    case OpImport:
        return QStringList {"VYRDownChar(h, -1, 0, ptr, 512)",
                            QStringLiteral("VYRStoreChar(h, -1, 0, %1)").arg(id)}
        + index;
    case OpImportCheck:
        return {"VYRGetCharLen(ptr)"};
    case OpEmpty:
        return QStringList("VYREmpty(h, -1)") + index;
    case OpModuleInfo:
        return {"VYRReadParTable(h, -1, ptr)", "VYRTemplateNum(h, -1, ptr)", "VYRGetCharLen(ptr)"};
    case OpReadNotepad: {
        QStringList pages;
        for (int page = 0; page < 16; ++page)
            pages << QStringLiteral("VYRReadInfo(h, -1, %1, ptr)").arg(page);
        return pages;
    }
    case OpVerifyPassword:
        return {"VYRVfyPwd(h, -1, ptr)"};
    case OpRandomData:
        return {"VYRGetRandomData(h, -1, ptr)"};
    default:
        return {QStringLiteral("VYRWriteInfo(h, -1, %1, ptr)").arg(id)};
    }
}

const QByteArray kNotepadPage = QByteArray("fpdesk notepad").leftJustified(32, '\0');

// A reading command reports only when it read everything: the uploaded
// template as the store holds it, the stand-in's parameter table, all 16
// notepad pages; a page written reports itself as written. A page written
// reads back as written.
void checkReport(WorkerHarness &harness, int operation, bool reported)
{
    QCOMPARE(harness.reports.size(), reported ? 1 : 0);
    QCOMPARE(harness.events.filter("report").size(), reported ? 1 : 0);
    if (!reported)
        return;
    const ModuleReport report = harness.reports.first();
    QCOMPARE(report.operation, operation);
    if (operation == OpExport) {
        QCOMPARE(report.id, 3);
        QCOMPARE(report.bytes, SimControl::instance().exported(3));
    } else if (operation == OpModuleInfo) {
        QCOMPARE(report.bytes.toHex(), QByteArray("0000000903e80003ffffffff00020006"));
        QCOMPARE(report.templates, 1);
        QCOMPARE(report.templateLength, 512);
    } else if (operation == OpImportCheck) {
        QCOMPARE(report.templateLength, 512);
    } else if (operation == OpReadNotepad) {
        QCOMPARE(report.bytes, QByteArray(512, '\0'));
    } else if (operation == OpWriteNotepad) {
        QCOMPARE(report.id, 4);
        QCOMPARE(report.bytes, kNotepadPage);
    }
}

} // namespace

class tst_Operations : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void operation_data();
    void operation();
    void captureCallsEachCycle();
    void enrollWaitsWhileFingerStays();
    void searchMatchShowsIdThenScore();
    void passwordOfTheModule();
    void backupThenRestore();
    void badBackupWritesNothing_data();
    void badBackupWritesNothing();

    void indexQuery_data();
    void indexQuery();
};

void tst_Operations::initTestCase()
{
    QVERIFY(SimControl::instance().loaded());
}

void tst_Operations::operation_data()
{
    QTest::addColumn<int>("operation");
    QTest::addColumn<int>("id");
    QTest::addColumn<QVector<int>>("sensor");
    QTest::addColumn<QString>("fault"); // "entry first count", or empty
    QTest::addColumn<QStringList>("messages");
    QTest::addColumn<QString>("list"); // the bitmap sent at the end, or empty for none
    QTest::addColumn<int>("moduleCalls"); // besides image requests and uploads

    const QVector<int> on {1};
    QTest::newRow("capture, finger already on")
        << int(OpCapture) << 0 << on << "" << QStringList {wait(19), wait(18), kImage} << "" << 0;
    QTest::newRow("capture, no finger")
        << int(OpCapture) << 0 << QVector<int> {0} << "" << countdown(19, 0) << "" << 0;
    QTest::newRow("capture, broken run of images")
        << int(OpCapture) << 0 << QVector<int> {1, 0, 1, 1} << "" << (countdown(19, 16) << kImage)
        << "" << 0;
    QTest::newRow("capture, finger in the last cycle only")
        << int(OpCapture) << 0 << (repeat(0, 19) << 1) << "" << countdown(19, 0) << "" << 0;
    QTest::newRow("capture, finger in the last two cycles")
        << int(OpCapture) << 0 << (repeat(0, 18) << 1 << 1) << "" << (countdown(19, 0) << kImage)
        << "" << 0;

    QTest::newRow("enroll, usual course")
        << int(OpEnroll) << 7 << QVector<int> {1, 1, 1, 0, 1, 1} << ""
        << QStringList {kImage, kFeature, kImage, kLift, wait(19), kImage, kFeature, "注册成功"}
        << "list:3,7" << 8;
    QTest::newRow("enroll, failed feature costs a press")
        << int(OpEnroll) << 7 << QVector<int> {1, 1, 0, 1, 1, 0, 1, 1} << "VYRGenChar 1 1"
        << QStringList {kImage,   kNoFeature, wait(19), kImage,    kFeature,
                        wait(19), kImage,     kFeature, "注册成功"}
        << "list:3,7" << 9;
    QTest::newRow("enroll, failed merge starts over")
        << int(OpEnroll) << 7 << QVector<int> {1, 1, 0, 2, 2, 2, 2, 2, 0, 2, 2} << ""
        << QStringList {kImage, kFeature, wait(19), kImage, kFeature, kImage,    kFeature,
                        kImage, kLift,    wait(19), kImage, kFeature, "注册成功"}
        << "list:3,7" << 11;
    // No test is made beforehand: the module's answer alone decides.
    QTest::newRow("enroll, ID holding a template")
        << int(OpEnroll) << 3 << QVector<int> {1, 1, 0, 1, 1} << ""
        << QStringList {kImage, kFeature, wait(19), kImage, kFeature, "注册成功"} << "list:3" << 8;
    QTest::newRow("enroll, refused store")
        << int(OpEnroll) << 7 << QVector<int> {1, 1, 0, 1, 1} << "VYRStoreChar 1 1"
        << QStringList {kImage, kFeature, wait(19), kImage, kFeature, "注册失败"} << "list:3" << 8;
    QTest::newRow("enroll, timeout after one feature")
        << int(OpEnroll) << 7 << QVector<int> {1, 1, 0} << ""
        << (QStringList {kImage, kFeature} << countdown(19, 0)) << "" << 1;
    QTest::newRow("enroll, no press")
        << int(OpEnroll) << 7 << QVector<int> {0} << "" << countdown(19, 0) << "" << 0;
    QTest::newRow("enroll, press seen in one cycle only")
        << int(OpEnroll) << 7 << QVector<int> {0, 1, 0} << ""
        << (QStringList {wait(19)} << countdown(19, 0)) << "" << 0;

    // The index is re-read after every deletion, whatever the module said.
    QTest::newRow("delete, stored ID")
        << int(OpDelete) << 3 << on << "" << QStringList {"删除指纹[3] 成功"} << "list:" << 5;
    QTest::newRow("delete, refused") << int(OpDelete) << 3 << on << "VYRDelChar 1 1"
                                     << QStringList {"删除指纹[3] 失败"} << "list:3" << 5;
    QTest::newRow("delete, empty ID")
        << int(OpDelete) << 100 << on << "" << QStringList {"删除指纹[100] 成功"} << "list:3" << 5;
    QTest::newRow("delete, outside the store")
        << int(OpDelete) << 1500 << on << "" << QStringList {"删除指纹[1500] 失败"} << "list:3"
        << 5;

    QTest::newRow("search, no match")
        << int(OpSearch) << 0 << QVector<int> {2} << ""
        << QStringList {wait(19), wait(18), kImage, "搜索失败"} << "" << 2;
    QTest::newRow("search, timeout")
        << int(OpSearch) << 0 << QVector<int> {0} << "" << countdown(19, 0) << "" << 0;
    // The finger stays while every feature fails: one attempt per cycle, the
    // countdown running on below 0 until the finger is lifted.
    QStringList failing {wait(19), wait(18), kImage, kNoFeature};
    for (int s = 17; s >= -5; --s)
        failing << wait(s) << kImage << kNoFeature;
    QTest::newRow("search, features keep failing")
        << int(OpSearch) << 0 << (repeat(1, 25) << 0) << "VYRGenChar 1 -1" << (failing << wait(-6))
        << "" << 24;
    QTest::newRow("search, failed feature in the last cycle")
        << int(OpSearch) << 0 << (repeat(0, 18) << 1 << 1 << 0) << "VYRGenChar 1 -1"
        << (countdown(19, 0) << kImage << kNoFeature << wait(-1)) << "" << 1;

    // 1:1 against ID 3, waiting for a finger as search does; the score is
    // the module's and written as N here.
    QTest::newRow("match, same finger")
        << int(OpMatch) << 3 << QVector<int> {5} << ""
        << QStringList {wait(19), wait(18), kImage, "比对成功 ID:3 得分:N"} << "" << 3;
    QTest::newRow("match, another finger")
        << int(OpMatch) << 3 << QVector<int> {2} << ""
        << QStringList {wait(19), wait(18), kImage, "比对失败"} << "" << 3;
    QTest::newRow("match, empty ID")
        << int(OpMatch) << 100 << on << "" << QStringList {"比对失败"} << "" << 1;
    QTest::newRow("match, timeout")
        << int(OpMatch) << 3 << QVector<int> {0} << "" << countdown(19, 0) << "" << 1;
    // The bytes go to the window in the report, which writes the file.
    QTest::newRow("export") << int(OpExport) << 3 << on << "" << QStringList() << "" << 2;
    QTest::newRow("export, empty ID")
        << int(OpExport) << 100 << on << "" << QStringList {"导出模板失败"} << "" << 1;
    QTest::newRow("import") << int(OpImport) << 7 << on << "" << QStringList {"导入模板成功"}
                            << "list:3,7" << 6;
    QTest::newRow("import, refused store") << int(OpImport) << 7 << on << "VYRStoreChar 1 1"
                                           << QStringList {"导入模板失败"} << "list:3" << 6;
    QTest::newRow("import check") << int(OpImportCheck) << 0 << on << "" << QStringList() << ""
                                  << 1;
    QTest::newRow("import check, refused") << int(OpImportCheck) << 0 << on << "VYRGetCharLen 1 1"
                                           << QStringList {"导入模板失败"} << "" << 1;
    QTest::newRow("empty") << int(OpEmpty) << 0 << on << "" << QStringList {"清空成功"}
                           << "list:" << 5;
    QTest::newRow("empty, refused")
        << int(OpEmpty) << 0 << on << "VYREmpty 1 1" << QStringList {"清空失败"} << "list:3" << 5;
    QTest::newRow("module information")
        << int(OpModuleInfo) << 0 << on << "" << QStringList() << "" << 3;
    QTest::newRow("module information, count refused")
        << int(OpModuleInfo) << 0 << on << "VYRTemplateNum 1 1" << QStringList {"读取模块信息失败"}
        << "" << 2;
    QTest::newRow("notepad read") << int(OpReadNotepad) << 0 << on << "" << QStringList() << ""
                                  << 16;
    QTest::newRow("notepad read, sixth page refused")
        << int(OpReadNotepad) << 0 << on << "VYRReadInfo 6 1" << QStringList {"读取记事本失败"}
        << "" << 6;
    QTest::newRow("notepad write, page 4")
        << int(OpWriteNotepad) << 4 << on << "" << QStringList {"写入记事本成功"} << "" << 1;
    QTest::newRow("notepad write, refused") << int(OpWriteNotepad) << 4 << on << "VYRWriteInfo 1 1"
                                            << QStringList {"写入记事本失败"} << "" << 1;
    // The payload is the module's default password; a wrong one is in
    // passwordOfTheModule().
    QTest::newRow("password, default")
        << int(OpVerifyPassword) << 0 << on << "" << QStringList {"验证密码成功"} << "" << 1;
    QTest::newRow("random data, refused") << int(OpRandomData) << 0 << on << "VYRGetRandomData 1 1"
                                          << QStringList {"读取随机数失败"} << "" << 1;
}

// With ID 3 holding finger 5: the status texts in order, the bitmap sent at
// the end, and every module call one the operation may make, as many as due.
void tst_Operations::operation()
{
    QFETCH(int, operation);
    QFETCH(int, id);
    QFETCH(QVector<int>, sensor);
    QFETCH(QString, fault);
    QFETCH(QStringList, messages);
    QFETCH(QString, list);
    QFETCH(int, moduleCalls);
    WorkerHarness harness;
    SimControl::instance().store(3, 5);
    harness.payload = operation == OpImport ? SimControl::instance().exported(3)
        : operation == OpVerifyPassword     ? QByteArray(4, '\0')
                                            : kNotepadPage;
    QVERIFY(harness.open());
    SimControl::instance().script(sensor);
    if (!fault.isEmpty())
        SimControl::instance().fail(qPrintable(fault.section(' ', 0, 0)),
                                    fault.section(' ', 1, 1).toInt(),
                                    fault.section(' ', 2, 2).toInt());
    QVERIFY(harness.run(Operation(operation), id));
    const QRegularExpression score(QStringLiteral("得分:(\\d+)$"));
    const QRegularExpressionMatch scored = score.match(harness.messages().value(3));
    QVERIFY(!scored.hasMatch() || scored.captured(1).toInt() >= VYRSIM_MATCH_THRESHOLD);
    QCOMPARE(harness.messages().replaceInStrings(score, "得分:N"), messages);
    QCOMPARE(harness.events.filter("list:"), list.isEmpty() ? QStringList() : QStringList {list});
    if (!list.isEmpty())
        QCOMPARE(harness.events.at(harness.events.size() - 2), list);
    QCOMPARE(harness.events.first() + harness.events.last(), QString("enable:0enable:1"));
    if (operation == OpCapture || operation == OpSearch || operation == OpMatch)
        QCOMPARE(harness.frames.size(), messages.filter("等待").size());
    checkReport(harness, operation,
                operation == OpWriteNotepad ? messages.contains("写入记事本成功")
                                            : messages.isEmpty());

    const QStringList calls = harness.calls();
    const QStringList allowed = allowedCalls(operation, id);
    for (const QString &call : calls)
        QVERIFY2(allowed.contains(call.section(" = ", 0, 0)), qPrintable(call));
    QCOMPARE(calls.filter(kNoImageCalls).size(), moduleCalls);
    QCOMPARE(SimControl::instance().stored(7) > 0, list.contains("7"));
    if (operation == OpWriteNotepad) { // what was written reads back
        harness.forget();
        QVERIFY(harness.run(OpReadNotepad));
        QCOMPARE(harness.reports.value(0).bytes.mid(32 * id, 32),
                 messages.contains("写入记事本成功") ? kNotepadPage : QByteArray(32, '\0'));
    }
}

// Only the password the module was given passes; the default no longer does.
void tst_Operations::passwordOfTheModule()
{
    WorkerHarness harness;
    SimControl::instance().setPassword(QByteArray::fromHex("0a1b2c3d"));
    QVERIFY(harness.open());
    harness.payload = QByteArray(4, '\0');
    QVERIFY(harness.run(OpVerifyPassword));
    harness.payload = QByteArray::fromHex("0a1b2c3e");
    QVERIFY(harness.run(OpVerifyPassword));
    harness.payload = QByteArray::fromHex("0a1b2c3d");
    QVERIFY(harness.run(OpVerifyPassword));
    QCOMPARE(harness.messages(), QStringList({"验证密码失败", "验证密码失败", "验证密码成功"}));
}

// Three templates backed up, the store emptied, the file restored: the
// same IDs hold the same bytes, and one failing upload is skipped, counted.
void tst_Operations::backupThenRestore()
{
    WorkerHarness harness;
    SimControl &module = SimControl::instance();
    const int ids[] = {3, 40, 999};
    QMap<int, QByteArray> before;
    for (int id : ids) {
        QCOMPARE(module.store(id, id + 1), 0);
        before[id] = module.exported(id);
    }
    QCOMPARE(module.store(7, 2), 0);
    QVERIFY(harness.open());
    QVERIFY(module.fail("VYRUpChar", 2, 1)); // ID 7
    QVERIFY(harness.run(OpBackup));
    QCOMPARE(harness.messages(),
             QStringList({"备份指纹库 1/4", "备份指纹库 2/4", "备份指纹库 3/4", "备份指纹库 4/4"}));
    QCOMPARE(harness.reports.size(), 1);
    const ModuleReport report = harness.reports.first();
    QCOMPARE(report.templates, 3);
    QCOMPARE(report.failed, 1);
    QVERIFY(harness.run(OpEmpty));
    QCOMPARE(module.stored(3), 0);

    harness.forget();
    harness.payload = report.bytes;
    QVERIFY(harness.run(OpRestore));
    QCOMPARE(harness.messages(),
             QStringList({"恢复指纹库 1/3", "恢复指纹库 2/3", "恢复指纹库 3/3",
                          "恢复完成: 成功 3 个, 失败 0 个"}));
    for (int id : ids)
        QCOMPARE(module.exported(id), before[id]);
    QCOMPARE(module.stored(7), 0);
    QCOMPARE(harness.events.filter("list:"), QStringList("list:3,40,999"));
}

void tst_Operations::badBackupWritesNothing_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QStringList>("calls");
    const QByteArray block(512, 'T');
    const QByteArray good = encodeBackup({512, {{3, block}, {5, block}}});
    QByteArray damaged = good;
    damaged[100] = char(damaged[100] ^ 0x10);
    const QString broken = "备份文件已损坏";
    QTest::newRow("one byte changed") << damaged << broken << QStringList();
    QTest::newRow("truncated") << good.left(good.size() - 1) << broken << QStringList();
    QTest::newRow("empty") << QByteArray() << broken << QStringList();
    QTest::newRow("the backup of an empty store")
        << encodeBackup({}) << "恢复完成: 成功 0 个, 失败 0 个" << WorkerHarness().indexCalls();
    QTest::newRow("an ID twice") << encodeBackup({512, {{3, block}, {3, block}}}) << broken
                                 << QStringList();
    QTest::newRow("an ID beyond 1023")
        << encodeBackup({512, {{1024, block}}}) << broken << QStringList();
    // Whole and sound, but of a length the module does not use.
    QTest::newRow("another template length")
        << encodeBackup({100, {{3, QByteArray(100, 'T')}}}) << "备份文件模板长度不符"
        << QStringList("VYRGetCharLen(ptr) = 0");
}

void tst_Operations::badBackupWritesNothing()
{
    QFETCH(QByteArray, file);
    QFETCH(QString, message);
    QFETCH(QStringList, calls);
    WorkerHarness harness;
    QVERIFY(harness.open());
    harness.payload = file;
    QVERIFY(harness.run(OpRestore));
    QCOMPARE(harness.messages(), QStringList(message));
    QCOMPARE(harness.calls(), calls);
    // Only a restore that went on reads the list again.
    QCOMPARE(harness.events.filter("list:").size(), message.startsWith("恢复完成") ? 1 : 0);
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

// The finger stays after the first feature: far more cycles than the
// countdown allows, and the run still waits; lifted, the countdown starts.
void tst_Operations::enrollWaitsWhileFingerStays()
{
    WorkerHarness harness;
    QVERIFY(harness.open());
    SimControl::instance().setFinger(1);
    harness.start(OpEnroll);
    QVERIFY(QTest::qWaitFor([&] { return harness.calls().filter("VYRGetImage").size() > 45; },
                            kWaitMs));
    QVERIFY(harness.worker.busy());
    const QStringList messages = harness.messages();
    QCOMPARE(messages.mid(0, 4), QStringList({kImage, kFeature, kImage, kLift}));
    QVERIFY(messages.filter("等待").isEmpty());
    QCOMPARE(harness.calls().filter("VYRGenChar").size(), 1);
    SimControl::instance().setFinger(0);
    QVERIFY(QTest::qWaitFor([&] { return settled(harness.worker); }, kWaitMs));
    QCOMPARE(harness.messages().mid(harness.messages().size() - 20), countdown(19, 0));
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
    QVERIFY(match.captured(2).toInt() >= 50 && match.captured(2).toInt() < 1000);
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
