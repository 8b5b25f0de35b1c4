#ifndef WORKERHARNESS_H
#define WORKERHARNESS_H

#include "SThread.h"
#include "devicestate.h"

#include <QByteArray>
#include <QObject>
#include <QStringList>
#include <QVector>

// How long a test waits for a run to end, or for anything else it started.
constexpr int kWaitMs = 10000;

// Puts the simulated module and the shared device state back to a fresh
// start: scripted sensor, no delays, short enrollment pauses.
void resetModuleAndDevice();

// Whether the worker's run is over; if so, also delivers every report it queued.
bool settled(SThread &worker);

// The IDs set in a 512-byte template index bitmap, comma-separated.
QString idsOf(const unsigned char *bits);

// A worker with a recorder in the window's place, and the simulated module
// reset. The recorder takes the reports queued, as the window does, and
// writes them down in order: "msg:<text>", "alert:<text>", "enable:1",
// "frame", "list:<ids>"; it reads each frame and bitmap inside a receipt.
// Right after every frame and bitmap report the worker's buffers are
// scribbled over, as its next upload or query would: what arrives must be
// the content at the moment of the report.
class WorkerHarness
{
public:
    WorkerHarness();
    ~WorkerHarness();

    SThread worker;
    QStringList events;
    QVector<QByteArray> frames;
    QVector<ModuleReport> reports; // each also noted as "report" in events
    // The payload of the table's commands (import, notepad writing, the
    // password); notepad writing takes the id as its page.
    QByteArray payload;

    QStringList messages() const; // the msg: events, without their prefix
    // Runs one operation to its end: the setter, the start, the wait, and
    // the delivery of every report the run queued. Any Operation but idle.
    bool run(Operation operation, int id = 7);
    void start(Operation operation, int id = 7); // the setter and the start only
    bool open(); // and forget what that reported and called
    void forget();

    // The module calls since the last forget(), with the worker's buffers
    // named: fpimage, hHandle, UserContent+<offset>, and the handle as "h".
    QStringList calls() const;
    // The four calls of an index query that reads every page.
    QStringList indexCalls() const;

private:
    QObject m_receiver; // the recorder's end of the queued connections
};

#endif // WORKERHARNESS_H
