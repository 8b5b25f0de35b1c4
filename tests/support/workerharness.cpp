#include "workerharness.h"

#include "devicestate.h"
#include "handover.h"
#include "simcontrol.h"

#include <QCoreApplication>
#include <QTest>

WorkerHarness::WorkerHarness()
    : recorder(&worker)
{
    SimControl::instance().reset();
    m_option = OpIdle;
    isopenok = false;
    enrollPauseMicroseconds = 1000;
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
    if (!QTest::qWaitFor([this] { return !worker.busy(); }, 60000))
        return false;
    QCoreApplication::sendPostedEvents();
    return true;
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

int WorkerHarness::handle() const
{
    return hHandle[0];
}
