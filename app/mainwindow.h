#ifndef MAINWINDOW_H
#define MAINWINDOW_H

#include "SThread.h"

#include <QMainWindow>

class QLabel;
class QListView;
class QPushButton;

// The one window: six command buttons, the status line, the finger image
// and the list of stored templates. It does no device work itself: a
// command hands an operation to the worker and starts it, and everything
// the operator sees of it comes back through the worker's signals.
class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    QLabel *f_finger = nullptr;

    explicit MainWindow(QWidget *parent = nullptr);
    ~MainWindow() override;

    // The worker, for tools and tests that watch its reports.
    SThread *worker() { return &m_pThread; }

public slots:
    void btnopen();
    void btnclose();
    void btnviewfinger();
    void btnenrollfp();
    void btndelfp();
    void btnsearchfp();
    void ShowMsg(QString msg);
    void Enable_btn(bool bEnabled);
    void Showfinger(unsigned char *fingerdata, int w, int h);
    void Showlogo();
    void ShowFinglist(unsigned char *fplist);
    void ShowAlert(QString msg);

private:
    bool askTemplateId(const QString &label, int *id);
    void startRun();

    SThread m_pThread;
    QPushButton *btn_opendevice = nullptr;
    QPushButton *btn_closedevice = nullptr;
    QPushButton *btn_getimage = nullptr;
    QPushButton *btn_enrollfp = nullptr;
    QPushButton *btn_delfp = nullptr;
    QPushButton *btn_searchfp = nullptr;
    QLabel *lable_status = nullptr;
    QListView *listView = nullptr;
};

#endif // MAINWINDOW_H
