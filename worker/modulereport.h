#ifndef MODULEREPORT_H
#define MODULEREPORT_H

#include <QByteArray>
#include <QMetaType>

// What a command that reads from the module hands to the window. It travels
// by value in a queued signal, so the worker may reuse its buffers at once.
struct ModuleReport
{
    int operation = 0; // the Operation that read it
    int id = -1; // the template ID it concerns, or -1
    QByteArray bytes; // an uploaded template, the parameter table or the notepad pages
    int templates = 0; // templates stored (module information)
    int templateLength = 0; // the library's template length (module information)
    int failed = 0; // templates that could not be read (backup)
};

Q_DECLARE_METATYPE(ModuleReport)

#endif // MODULEREPORT_H
