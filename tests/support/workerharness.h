#ifndef WORKERHARNESS_H
#define WORKERHARNESS_H

#include "SThread.h"
#include "recorder.h"

#include <QStringList>

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
    int handle() const;

private:
    bool finish();
};

#endif // WORKERHARNESS_H
