// A module library that lacks VYRSearch, bound as the program binds it:
// the pointer stays empty and is never called, the search ends with a text
// naming it, and what does not need it works as usual.

#include "modulelib.h"
#include "simcontrol.h"
#include "workerharness.h"

#include <QtTest>

class tst_PartialLibrary : public QObject
{
    Q_OBJECT

private slots:
    void searchNamesMissingEntryPoint();
};

void tst_PartialLibrary::searchNamesMissingEntryPoint()
{
    WorkerHarness harness;
    QVERIFY(isdllok);
    QVERIFY(VYRSearch == nullptr && VYRGetImage != nullptr);
    QVERIFY(harness.open());
    SimControl::instance().setFinger(1);
    QVERIFY(harness.run(OpSearch));
    QCOMPARE(harness.events, QStringList({"enable:0", "msg:动态库缺少接口 VYRSearch", "enable:1"}));
    QCOMPARE(harness.calls(), QStringList()); // not even an image request
    harness.forget();
    QVERIFY(harness.run(OpCapture));
    QCOMPARE(harness.messages().last(), QString("获取图像成功"));
}

QTEST_GUILESS_MAIN(tst_PartialLibrary)
#include "tst_partiallibrary.moc"
