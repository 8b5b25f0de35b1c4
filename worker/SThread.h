#ifndef STHREAD_H
#define STHREAD_H

#include <QString>
#include <QThread>

class QLibrary;

// The device worker. Every start runs one operator command on a new thread:
// the setter called before the start chooses which. The worker reports only
// through its five signals, which reach the window queued, in order.
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

    void fopen();
    void fclose();
    void fviewfinger();
    void fenrollfinger(int id);
    void fdelfinger(int id);
    void fsearchfinger();

    // Whether a run is under way or its thread still winding down. Once this
    // says false, everything the last run wrote is visible to the caller.
    bool busy() const;
    // Waits until the run under way has returned and its thread is gone.
    void waitForRun();
    // Ends a run under way at its next turn and waits for it.
    void stop();

signals:
    void SShowMsg(QString msg);
    void SShowAlert(QString msg);
    void SEnable_btn(bool bEnabled);
    void SShowfinger(unsigned char *fingerdata, int w, int h);
    void SShowFinglist(unsigned char *fplist);

private:
    int captureImage();
    void showImage();
    void showIndex();

    QLibrary *qlib = nullptr;
};

#endif // STHREAD_H
