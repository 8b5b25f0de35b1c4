#ifndef STHREAD_H
#define STHREAD_H

#include "devicestate.h"
#include "modulereport.h"

#include <QByteArray>
#include <QString>
#include <QThread>

#include <optional>

class QLibrary;

// What a command of the table works on, handed to the worker with its code.
struct CommandInput
{
    std::optional<int> id; // the template ID, into enrollid; none leaves it
    QByteArray payload; // the template to import, the notepad page to write
    int page = 0; // the notepad page to write
};

// The device worker. Every start runs one operator command on a new thread:
// the setter called before the start chooses which. The worker reports only
// through its signals, which reach the window queued, in order.
class SThread : public QThread
{
    Q_OBJECT

public:
    SThread();
    ~SThread() override;

    void run() override;

    void Loadso();

    void runfopen();
    void runfclose();
    void runfviewfinger();
    void runfenrollfinger();
    void runfdelfinger();
    void runfsearchfinger();
    void fplist();

    // The module's other commands: on stored templates
    // (templateoperations.cpp), on the module's own data
    // (moduledataoperations.cpp).
    void runfmatchfinger();
    void runfexportchar();
    void runfimportcheck();
    void runfimportchar();
    void runfempty();
    void runfmoduleinfo();
    void runfreadinfo();
    void runfwriteinfo();
    void runfbackup();
    void runfrestore();
    void runfverifypassword();
    void runfrandomdata();
    void runfopenimage();

    void fopen();
    void fclose();
    void fviewfinger();
    void fenrollfinger(int id);
    void fdelfinger(int id);
    void fsearchfinger();
    // The setter of every other command in the command table
    // (commandtable.h): its code and what it works on.
    void fcommand(Operation operation, const CommandInput &input = {});

    // Whether a run is under way or its thread still winding down. Once this
    // says false, everything the last run wrote is visible to the caller.
    bool busy() const;
    // Waits until the run under way has returned and its thread is gone.
    void waitForRun();
    // Ends a run under way at its next turn, without waiting for it.
    void requestStop();
    // Ends a run under way at its next turn and waits for it.
    void stop();

signals:
    void SShowMsg(QString msg);
    void SShowAlert(QString msg);
    void SEnable_btn(bool bEnabled);
    void SShowfinger(unsigned char *fingerdata, int w, int h);
    void SShowFinglist(unsigned char *fplist);
    // What a reading command got from the module, by value.
    void SShowReport(ModuleReport report);

private:
    bool featureFromPress(int operation);
    // The 4 pages of the index into `bits` (kIndexBytes); false when a page
    // could not be read.
    bool readIndex(unsigned char *bits);
    int captureImage();
    void showImage();
    void showIndex();

    QLibrary *qlib = nullptr;
    // Input of import and notepad writing, written by the setters before
    // the start like enrollid.
    QByteArray m_payload;
    int m_page = 0;
};

#endif // STHREAD_H
