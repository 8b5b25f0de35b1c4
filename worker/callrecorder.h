#ifndef CALLRECORDER_H
#define CALLRECORDER_H

#include "callcapture.h"
#include "recordingwriter.h"

#include <QString>

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>

// Records every module library call into a file, as it happens: arguments
// by what they point to, result, start, duration and every output. Whatever
// library lies in lib/ is recorded, the vendor's too; the stand-in replays
// the file (VYRSIM_REPLAY). While nothing is recorded, a call costs one load
// of the active recorder.
class CallRecorder
{
public:
    // Starts recording into `path`, with frames and templates left out
    // when `leaveOutPrints`. Empty, or why the file cannot be written.
    static QString start(const QString &path, bool leaveOutPrints, const QString &about);
    // Ends the recording; no module call may be under way.
    static void stop();
    static CallRecorder *active() { return s_active.load(std::memory_order_acquire); }

    // The call's inputs, taken before it runs (a call may change what it
    // is given), and the time it starts.
    recording::Call begin(const char *name, recording::ShapeList shapes,
                          const recording::Param *params) const;
    // Adds what the call wrote and writes its record.
    void end(recording::Call &call, recording::ShapeList shapes, const recording::Param *params,
             int result, qint64 micros);

private:
    CallRecorder() = default;

    static std::atomic<CallRecorder *> s_active;
    static std::unique_ptr<CallRecorder> s_owner;

    std::mutex m_mutex; // the worker records; a test's thread may too
    recording::RecordingWriter m_writer;
    std::chrono::steady_clock::time_point m_origin;
    QString m_path;
    bool m_failed = false;
};

#endif // CALLRECORDER_H
