// A module library that lacks VYRSearch: the pointer stays empty and is
// never called, the search ends with a text naming it, and the rest of the
// program works as usual.

#include "devicestate.h"
#include "modulelib.h"
#include "simcontrol.h"
#include "workerharness.h"

#include <QtTest>

class tst_PartialLibrary : public QObject
{
    Q_OBJECT

private slots:
    void bindsWhatIsThere();
    void searchNamesMissingEntryPoint();
};

void tst_PartialLibrary::bindsWhatIsThere()
{
    WorkerHarness harness;
    QVERIFY(isdllok);
    QVERIFY(VYRSearch == nullptr);
    QVERIFY(VYRGetImage != nullptr);
    QCOMPARE(missingEntryPoint(OpSearch), QString("VYRSearch"));
    QVERIFY(missingEntryPoint(OpEnroll).isEmpty());
}

void tst_PartialLibrary::searchNamesMissingEntryPoint()
{
    WorkerHarness harness;
    QVERIFY(harness.open());
    SimControl::instance().setFinger(1);
    QVERIFY(harness.run(&SThread::fsearchfinger));
    QCOMPARE(harness.recorder.events,
             QStringList({"enable:0", "msg:动态库缺少接口 VYRSearch", "enable:1"}));
    QCOMPARE(harness.calls(), QStringList()); // not even an image request
    QCOMPARE(m_option.load(), int(OpIdle));

    // Everything that does not need it still works.
    harness.forget();
    QVERIFY(harness.run(&SThread::fviewfinger));
    QVERIFY(harness.recorder.messages().contains("获取图像成功"));
    harness.forget();
    QVERIFY(harness.run(&SThread::fclose));
    QCOMPARE(harness.recorder.events,
             QStringList({"enable:0", "alert:关闭设备成功", "list:", "enable:1"}));
}

QTEST_GUILESS_MAIN(tst_PartialLibrary)
#include "tst_partiallibrary.moc"
