#ifndef WORKERHARNESS_H
#define WORKERHARNESS_H

#include "SThread.h"
#include "recorder.h"

#include <QStringList>

// Puts the simulated module and the shared device state back to a fresh
// start: scripted sensor, no delays, short enrollment pauses.
void resetModuleAndDevice();

// Whether the worker's run is over; if so, also delivers every report it queued.
bool settled(SThread &worker);

// A worker with a recorder in the window's place, and the simulated module
// reset for each test: scripted sensor, no delays.
class WorkerHarness
{
public:
    WorkerHarness();
    ~WorkerHarness();

    SThread worker;
    Recorder recorder;

    // Runs one command to its end: the setter, the start, the wait, and the
    // delivery of every report the run queued.
    bool run(void (SThread::*setter)());
    bool run(void (SThread::*setter)(int), int id);
    // Opens the device and forgets what that reported and called.
    bool open();
    void forget();

    // The module calls since the last forget(), with the worker's buffers
    // named: fpimage, hHandle, UserContent+<offset>.
    QStringList calls() const;
    // The four calls of an index query that reads every page.
    QStringList indexCalls() const;
    int handle() const;

private:
    bool finish();
};

#endif // WORKERHARNESS_H
