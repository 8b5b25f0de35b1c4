#include "workerharness.h"

#include "handover.h"
#include "simcontrol.h"

#include <QCoreApplication>
#include <QRegularExpression>
#include <QTest>

#include <cstring>

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

QString idsOf(const unsigned char *bits)
{
    QStringList ids;
    for (int id = 0; id < kIndexBytes * 8; ++id) {
        if (bits[id / 8] & (1 << (id % 8)))
            ids << QString::number(id);
    }
    return ids.join(QLatin1Char(','));
}

WorkerHarness::WorkerHarness()
{
    resetModuleAndDevice();
    const auto note = [this](const QString &event) {
        events << event;
    };
    QObject::connect(&worker, &SThread::SShowMsg, &m_receiver,
                     [=](const QString &msg) { note("msg:" + msg); });
    QObject::connect(&worker, &SThread::SShowAlert, &m_receiver,
                     [=](const QString &msg) { note("alert:" + msg); });
    QObject::connect(&worker, &SThread::SEnable_btn, &m_receiver,
                     [=](bool on) { note(QStringLiteral("enable:%1").arg(on ? 1 : 0)); });
    QObject::connect(&worker, &SThread::SShowfinger, &m_receiver,
                     [this](unsigned char *frame, int w, int h) {
                         HandOver::receive(frame, [&](const unsigned char *data) {
                             events << QStringLiteral("frame");
                             frames << QByteArray(reinterpret_cast<const char *>(data), w * h);
                         });
                     });
    QObject::connect(&worker, &SThread::SShowFinglist, &m_receiver, [=](unsigned char *bits) {
        HandOver::receive(bits, [&](const unsigned char *data) { note("list:" + idsOf(data)); });
    });
    QObject::connect(&worker, &SThread::SShowReport, &m_receiver,
                     [this](const ModuleReport &report) {
                         events << QStringLiteral("report");
                         reports << report;
                     });
    // Direct: on the worker thread, right after each report.
    QObject::connect(
        &worker, &SThread::SShowfinger, &worker,
        [](unsigned char *, int, int) { std::memset(fpimage, 0xee, sizeof fpimage); },
        Qt::DirectConnection);
    QObject::connect(
        &worker, &SThread::SShowFinglist, &worker,
        [](unsigned char *) { std::memset(UserContent, 0xff, sizeof UserContent); },
        Qt::DirectConnection);
}

WorkerHarness::~WorkerHarness()
{
    m_option = OpIdle; // a run under way ends at its next turn, even should stop() not end it
    worker.stop();
    QCoreApplication::sendPostedEvents();
    HandOver::instance().discardAll();
}

QStringList WorkerHarness::messages() const
{
    return events.filter(QRegularExpression("^msg:"))
        .replaceInStrings(QRegularExpression("^msg:"), "");
}

void WorkerHarness::start(Operation operation, int id)
{
    switch (operation) {
    case OpOpen:
        worker.fopen();
        break;
    case OpClose:
        worker.fclose();
        break;
    case OpCapture:
        worker.fviewfinger();
        break;
    case OpEnroll:
        worker.fenrollfinger(id);
        break;
    case OpDelete:
        worker.fdelfinger(id);
        break;
    case OpSearch:
        worker.fsearchfinger();
        break;
    default: {
        // The commands of the table: the ID where they take one, the page
        // where they write one.
        CommandInput input;
        if (operation == OpMatch || operation == OpExport || operation == OpImport)
            input.id = id;
        if (operation == OpWriteNotepad)
            input.page = id;
        input.payload = payload; // those that take none ignore it
        worker.fcommand(operation, input);
        break;
    }
    }
    worker.start(QThread::InheritPriority);
}

bool WorkerHarness::run(Operation operation, int id)
{
    start(operation, id);
    return QTest::qWaitFor([this] { return settled(worker); }, kWaitMs);
}

bool WorkerHarness::open()
{
    if (!run(OpOpen) || !isopenok)
        return false;
    forget();
    return true;
}

void WorkerHarness::forget()
{
    events.clear();
    frames.clear();
    reports.clear();
    SimControl::instance().clearCalls();
}

QStringList WorkerHarness::calls() const
{
    QMap<const void *, QString> names {{fpimage, "fpimage"}, {hHandle, "hHandle"}};
    for (int page = 0; page < 4; ++page)
        names.insert(UserContent + 32 * page, QStringLiteral("UserContent+%1").arg(32 * page));
    // The handle is the first argument of every call after open.
    const QRegularExpression handle(QStringLiteral("\\(%1([,)])").arg(hHandle[0]));
    return SimControl::instance().calls(names).replaceInStrings(handle, "(h\\1");
}

QStringList WorkerHarness::indexCalls() const
{
    QStringList expected;
    for (int page = 0; page < 4; ++page)
        expected << QStringLiteral("VYRReadIndexTable(h, -1, %1, UserContent+%2) = 0")
                        .arg(page)
                        .arg(32 * page);
    return expected;
}
