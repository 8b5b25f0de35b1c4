#include "platformstart.h"

#include <QByteArray>
#include <QStringList>
#include <QtGlobal>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

QtMessageHandler previousHandler = nullptr;
QStringList heldMessages;
QByteArray failure; // the one line said when the platform cannot start

void holdOrFail(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (type == QtFatalMsg) {
        std::fputs(failure.constData(), stderr);
        std::fflush(stderr);
        // Nothing of the half-built application may run its destructors.
        std::_Exit(EXIT_FAILURE);
    }
    heldMessages << qFormatLogMessage(type, context, message);
}

QString variable(const char *name)
{
    return QString::fromLocal8Bit(qgetenv(name));
}

// The platform named by -platform, or by QT_QPA_PLATFORM; empty for Qt's choice.
QString namedPlatform(int argc, char *argv[])
{
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], "-platform") == 0)
            return QString::fromLocal8Bit(argv[i + 1]);
    }
    return variable("QT_QPA_PLATFORM");
}

} // namespace

QString PlatformStart::failureLine(const char *program, int argc, char *argv[])
{
    const QString platform = namedPlatform(argc, argv);
    const QString display = variable("DISPLAY");
    const QString wayland = variable("WAYLAND_DISPLAY");
    QString what;
    if (!platform.isEmpty() && !platform.startsWith("xcb") && !platform.startsWith("wayland"))
        return QStringLiteral("fpdesk: the Qt platform '%1' cannot start; to run without a "
                              "display: xvfb-run -a %2\n")
            .arg(platform, QString::fromLocal8Bit(program));
    if (!display.isEmpty())
        what = QStringLiteral("no display (DISPLAY=%1 cannot be opened)").arg(display);
    else if (!wayland.isEmpty())
        what = QStringLiteral("no display (WAYLAND_DISPLAY=%1 cannot be used and DISPLAY is not "
                              "set)")
                   .arg(wayland);
    else
        what = QStringLiteral("no display (DISPLAY is not set)");
    return QStringLiteral("fpdesk: %1; to run without one: xvfb-run -a %2\n")
        .arg(what, QString::fromLocal8Bit(program));
}

PlatformStart::PlatformStart(const char *program, int argc, char *argv[])
{
    failure = failureLine(program, argc, argv).toLocal8Bit();
    previousHandler = qInstallMessageHandler(holdOrFail);
}

PlatformStart::~PlatformStart()
{
    qInstallMessageHandler(previousHandler);
    for (const QString &message : qAsConst(heldMessages))
        std::fprintf(stderr, "%s\n", qPrintable(message));
    heldMessages.clear();
}
