#ifndef MODULETRACE_H
#define MODULETRACE_H

#include "callrecorder.h"

#include <QElapsedTimer>
#include <QLoggingCategory>
#include <QString>
#include <QStringList>

// A trace of the module library calls, for finding out what a vendor's
// library does with what it is given. Off unless asked for with
// QT_LOGGING_RULES="fpdesk.module.debug=true"; while off, a call costs one
// test of the category. A recording (CallRecorder) takes the same calls with
// what their pointers point to.
Q_DECLARE_LOGGING_CATEGORY(lcModule)

namespace moduletrace {

inline QString argument(int value)
{
    return QString::number(value);
}

inline QString argument(const void *address)
{
    return address ? QStringLiteral("0x%1").arg(quintptr(address), 0, 16) : QStringLiteral("null");
}

// Calls `entry` with `args`, each converted to its parameter's type, and,
// when the trace is on, logs the call, its result and the microseconds it
// took; when a recording runs, records it.
template<typename... Params, typename... Args>
int call(const char *name, recording::ShapeList shapes, int (*entry)(Params...), Args... args)
{
    CallRecorder *const recorder = CallRecorder::active();
    const bool tracing = lcModule().isDebugEnabled();
    if (!recorder && !tracing)
        return entry(args...);
    const recording::Param params[] = {recording::param(static_cast<Params>(args))...};
    recording::Call recorded;
    if (recorder)
        recorded = recorder->begin(name, shapes, params);
    QElapsedTimer timer;
    timer.start();
    const int result = entry(args...);
    const qint64 micros = timer.nsecsElapsed() / 1000;
    if (recorder)
        recorder->end(recorded, shapes, params, result, micros);
    if (tracing) {
        const QStringList texts {argument(static_cast<Params>(args))...};
        qCDebug(lcModule, "%s(%s) = %d, %lld us", name,
                qPrintable(texts.join(QStringLiteral(", "))), result,
                static_cast<long long>(micros));
    }
    return result;
}

} // namespace moduletrace

// Every module library call goes through this, named as the library names it.
#define VYR(entry, ...) moduletrace::call(#entry, recording::shapes::entry, entry, __VA_ARGS__)

#endif // MODULETRACE_H
