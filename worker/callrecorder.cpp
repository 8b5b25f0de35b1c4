#include "callrecorder.h"

#include <cstdio>

std::atomic<CallRecorder *> CallRecorder::s_active {nullptr};
std::unique_ptr<CallRecorder> CallRecorder::s_owner;

QString CallRecorder::start(const QString &path, bool leaveOutPrints, const QString &about)
{
    stop();
    std::unique_ptr<CallRecorder> recorder(new CallRecorder);
    const std::uint16_t flags
        = leaveOutPrints ? recording::kFramesLeftOut | recording::kTemplatesLeftOut : 0;
    std::string error;
    if (!recorder->m_writer.open(path.toStdString(), flags, about.toStdString(), error))
        return QString::fromStdString(error);
    recorder->m_origin = std::chrono::steady_clock::now();
    recorder->m_path = path;
    s_owner = std::move(recorder);
    s_active.store(s_owner.get(), std::memory_order_release);
    return {};
}

void CallRecorder::stop()
{
    s_active.store(nullptr, std::memory_order_release);
    s_owner.reset();
}

recording::Call CallRecorder::begin(const char *name, recording::ShapeList shapes,
                                    const recording::Param *params) const
{
    recording::Call call;
    call.name = name;
    call.startMicros = std::uint64_t(std::chrono::duration_cast<std::chrono::microseconds>(
                                         std::chrono::steady_clock::now() - m_origin)
                                         .count());
    call.arguments = recording::captureInputs(shapes, params);
    return call;
}

void CallRecorder::end(recording::Call &call, recording::ShapeList shapes,
                       const recording::Param *params, int result, qint64 micros)
{
    recording::captureOutputs(shapes, params, call.arguments);
    call.result = result;
    call.durationMicros = std::uint32_t(qBound<qint64>(0, micros, UINT32_MAX));
    const std::lock_guard<std::mutex> lock(m_mutex);
    std::string error;
    if (m_failed || m_writer.write(call, error))
        return;
    // One line, once: the session goes on without its recording.
    m_failed = true;
    std::fprintf(stderr, "fpdesk: recording to %s stopped: %s\n", qPrintable(m_path),
                 error.c_str());
}
