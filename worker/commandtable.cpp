#include "commandtable.h"

#include "SThread.h"
#include "modulelib.h"

// The entry point by its name, and whether it is bound; the pointer is read
// when a run asks, not when the table is built.
#define NEED(entry)                                                                                \
    (EntryNeed {#entry, [] {                                                                       \
                    return entry != nullptr;                                                       \
                }})

const std::vector<CommandRow> &commandTable()
{
    using R = ReportShown;
    static const std::vector<CommandRow> table = {
        // The six buttons.
        {OpOpen,
         &SThread::runfopen,
         {NEED(VYR_SETPATH), NEED(VYROpenDeviceEx)},
         true,
         R::StatusOnly},
        {OpClose, &SThread::runfclose, {NEED(VYRCloseDeviceEx)}, false, R::StatusOnly},
        {OpCapture,
         &SThread::runfviewfinger,
         {NEED(VYRGetImage), NEED(VYRUpImage)},
         false,
         R::StatusOnly},
        {OpEnroll,
         &SThread::runfenrollfinger,
         {NEED(VYRGetImage), NEED(VYRUpImage), NEED(VYRGenChar), NEED(VYRRegModule),
          NEED(VYRStoreChar)},
         true,
         R::StatusOnly},
        {OpDelete, &SThread::runfdelfinger, {NEED(VYRDelChar)}, true, R::StatusOnly},
        {OpSearch,
         &SThread::runfsearchfinger,
         {NEED(VYRGetImage), NEED(VYRUpImage), NEED(VYRGenChar), NEED(VYRSearch)},
         false,
         R::StatusOnly},
        // The commands of the context menus.
        {OpMatch,
         &SThread::runfmatchfinger,
         {NEED(VYRLoadChar), NEED(VYRGetImage), NEED(VYRUpImage), NEED(VYRGenChar), NEED(VYRMatch)},
         false,
         R::StatusOnly},
        {OpExport,
         &SThread::runfexportchar,
         {NEED(VYRLoadChar), NEED(VYRUpChar)},
         false,
         R::TemplateFile},
        // Asks only the template length, but refuses early what the import
        // that follows would lack.
        {OpImportCheck,
         &SThread::runfimportcheck,
         {NEED(VYRGetCharLen), NEED(VYRDownChar), NEED(VYRStoreChar)},
         true,
         R::TemplateLength},
        {OpImport,
         &SThread::runfimportchar,
         {NEED(VYRDownChar), NEED(VYRStoreChar)},
         true,
         R::StatusOnly},
        {OpEmpty, &SThread::runfempty, {NEED(VYREmpty)}, true, R::StatusOnly},
        {OpModuleInfo,
         &SThread::runfmoduleinfo,
         {NEED(VYRReadParTable), NEED(VYRTemplateNum), NEED(VYRGetCharLen)},
         false,
         R::ModuleInfo},
        {OpReadNotepad, &SThread::runfreadinfo, {NEED(VYRReadInfo)}, false, R::Notepad},
        {OpWriteNotepad, &SThread::runfwriteinfo, {NEED(VYRWriteInfo)}, false, R::NotepadPage},
        // The index is read first, not again at the end.
        {OpBackup,
         &SThread::runfbackup,
         {NEED(VYRReadIndexTable), NEED(VYRLoadChar), NEED(VYRUpChar)},
         false,
         R::BackupFile},
        {OpRestore,
         &SThread::runfrestore,
         {NEED(VYRGetCharLen), NEED(VYRDownChar), NEED(VYRStoreChar)},
         true,
         R::StatusOnly},
        {OpVerifyPassword, &SThread::runfverifypassword, {NEED(VYRVfyPwd)}, false, R::StatusOnly},
        {OpRandomData, &SThread::runfrandomdata, {NEED(VYRGetRandomData)}, false, R::StatusOnly},
        {OpOpenImage,
         &SThread::runfopenimage,
         {NEED(VYRGetImgDataFromBMP)},
         false,
         R::StatusOnly,
         false},
    };
    return table;
}

const CommandRow *commandRow(int operation)
{
    for (const CommandRow &row : commandTable()) {
        if (row.operation == operation)
            return &row;
    }
    return nullptr;
}

QString missingEntryPoint(const CommandRow &command)
{
    for (const EntryNeed &need : command.needs) {
        if (!need.bound())
            return QString::fromLatin1(need.name);
    }
    if (command.readsIndex && !VYRReadIndexTable)
        return QStringLiteral("VYRReadIndexTable");
    return QString();
}
