#ifndef STHREAD_H
#define STHREAD_H

#include "modulereport.h"

#include <QByteArray>
#include <QString>
#include <QThread>

class QLibrary;

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

    // The module's other commands (moreoperations.cpp).
    void runfmatchfinger();
    void runfexportchar();
    void runfimportcheck();
    void runfimportchar();
    void runfempty();
    void runfmoduleinfo();
    void runfreadinfo();
    void runfwriteinfo();

    void fopen();
    void fclose();
    void fviewfinger();
    void fenrollfinger(int id);
    void fdelfinger(int id);
    void fsearchfinger();
    void fmatchfinger(int id);
    void fexportchar(int id);
    void fimportcheck();
    void fimportchar(int id, const QByteArray &templateBytes);
    void fempty();
    void fmoduleinfo();
    void freadinfo();
    void fwriteinfo(int page, const QByteArray &pageBytes);

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
