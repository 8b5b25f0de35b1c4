#ifndef PLATFORMSTART_H
#define PLATFORMSTART_H

#include <QString>

// Qt ends the process with a long message and abort() when no platform
// plug-in can start: a display that cannot be reached, a Wayland session
// without Qt's Wayland plug-in, a plug-in that is not installed. While one
// of these guards lives (around the construction of the application
// object), such a failure instead ends the program with one line on
// standard error, saying what was tried and how to run without a display,
// and exit status 1. Qt's other messages of that time are held back and
// passed on when the guard goes, so that a successful start loses none.
class PlatformStart
{
public:
    explicit PlatformStart(const char *program, int argc, char *argv[]);
    ~PlatformStart();
    PlatformStart(const PlatformStart &) = delete;
    PlatformStart &operator=(const PlatformStart &) = delete;

    // What the program would say without a display, before Qt is asked.
    static QString failureLine(const char *program, int argc, char *argv[]);
};

#endif // PLATFORMSTART_H
