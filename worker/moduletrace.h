#ifndef MODULETRACE_H
#define MODULETRACE_H

#include <QElapsedTimer>
#include <QLoggingCategory>
#include <QString>
#include <QStringList>

// A trace of the module library calls, for finding out what a vendor's
// library does with what it is given. Off unless asked for with
// QT_LOGGING_RULES="fpdesk.module.debug=true"; while off, a call costs one
// test of the category.
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

// Calls `entry` with `args` and, when the trace is on, logs the call, its
// result and the microseconds it took.
template<typename Entry, typename... Args> int call(const char *name, Entry entry, Args... args)
{
    if (!lcModule().isDebugEnabled())
        return entry(args...);
    QElapsedTimer timer;
    timer.start();
    const int result = entry(args...);
    const qint64 micros = timer.nsecsElapsed() / 1000;
    const QStringList texts {argument(args)...};
    qCDebug(lcModule, "%s(%s) = %d, %lld us", name, qPrintable(texts.join(QStringLiteral(", "))),
            result, static_cast<long long>(micros));
    return result;
}

} // namespace moduletrace

// Every module library call goes through this, named as the library names it.
#define VYR(entry, ...) moduletrace::call(#entry, entry, __VA_ARGS__)

#endif // MODULETRACE_H
