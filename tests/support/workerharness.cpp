#include "workerharness.h"

#include "devicestate.h"
#include "handover.h"
#include "simcontrol.h"

#include <QCoreApplication>
#include <QTest>

void resetModuleAndDevice()
{
    SimControl::instance().reset();
    m_option = OpIdle;
    isopenok = false;
    enrollid = 1000;
    enrollPauseMicroseconds = 1000;
}

bool settled(SThread &worker)
{
    if (worker.busy())
        return false;
    QCoreApplication::sendPostedEvents();
    return true;
}

WorkerHarness::WorkerHarness()
    : recorder(&worker)
{
    resetModuleAndDevice();
}

WorkerHarness::~WorkerHarness()
{
    worker.stop();
    QCoreApplication::sendPostedEvents();
    HandOver::instance().discardAll();
}

bool WorkerHarness::run(void (SThread::*setter)())
{
    (worker.*setter)();
    return finish();
}

bool WorkerHarness::run(void (SThread::*setter)(int), int id)
{
    (worker.*setter)(id);
    return finish();
}

bool WorkerHarness::finish()
{
    worker.start(QThread::InheritPriority);
    return QTest::qWaitFor([this] { return settled(worker); }, 60000);
}

bool WorkerHarness::open()
{
    if (!run(&SThread::fopen) || !isopenok)
        return false;
    forget();
    return true;
}

void WorkerHarness::forget()
{
    recorder.clear();
    SimControl::instance().clearCalls();
}

QStringList WorkerHarness::calls() const
{
    QMap<const void *, QString> names {{fpimage, "fpimage"}, {hHandle, "hHandle"}};
    for (int page = 0; page < 4; ++page)
        names.insert(UserContent + 32 * page, QStringLiteral("UserContent+%1").arg(32 * page));
    return SimControl::instance().calls(names);
}

QStringList WorkerHarness::indexCalls() const
{
    QStringList expected;
    for (int page = 0; page < 4; ++page)
        expected << QStringLiteral("VYRReadIndexTable(%1, -1, %2, UserContent+%3) = 0")
                        .arg(handle())
                        .arg(page)
                        .arg(32 * page);
    return expected;
}

int WorkerHarness::handle() const
{
    return hHandle[0];
}
