#ifndef COMMANDTABLE_H
#define COMMANDTABLE_H

#include "devicestate.h"

#include <QString>

#include <vector>

class SThread;

// How the window shows what a run reports besides its status texts.
enum class ReportShown {
    StatusOnly, // the status line says it all
    TemplateFile, // the uploaded template goes into the file chosen
    ModuleInfo, // a notice with the module's parameters
    Notepad, // the notepad dialog with the pages read
    NotepadPage, // a page written, shown in the notepad dialog still open
    TemplateLength, // the library's template length, before an import goes on
    BackupFile, // the backup of the store goes into the file chosen
};

// An entry point a command calls: its name, and whether the library has it.
struct EntryNeed
{
    const char *name;
    bool (*bound)();
};

// One module command. The worker's dispatch, its check for entry points
// the library lacks, and the window's handling of the command's report all
// read this one row; adding a command means writing its runner, adding its
// row and adding its action to the window.
struct CommandRow
{
    Operation operation;
    void (SThread::*runner)();
    std::vector<EntryNeed> needs; // in the order the runner calls them
    bool readsIndex; // it ends with the index query, which needs VYRReadIndexTable
    ReportShown report;
    // False for a command of the library alone (a file's image): its run
    // goes on without an open device.
    bool needsDevice = true;
};

const std::vector<CommandRow> &commandTable();
// The row of the operation, or null for OpIdle and codes of no command.
const CommandRow *commandRow(int operation);

// The first entry point that the command would call but the library lacks,
// or an empty string when it can call all of them.
QString missingEntryPoint(const CommandRow &command);

#endif // COMMANDTABLE_H
