#ifndef MAINWINDOW_H
#define MAINWINDOW_H

#include "SThread.h"

#include <QImage>
#include <QMainWindow>

#include <functional>

class ModuleCommands;
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

    // A close during a run waits for the module call under way, at most
    // this long; then the program ends with this status, without it.
    static constexpr int kFinishBoundMs = 10000;
    static constexpr int kExitCallHung = 3;
    // For tests: another bound, and what ends the program when it passes.
    void setFinishBound(int ms, std::function<void(int status)> end);

    // What the module's other commands (ModuleCommands) use of the window.
    QListView *templateList() const { return listView; }
    const QImage &frame() const { return m_frame; } // null while the idle picture shows
    bool closing() const { return m_closing; }
    int selectedId() const; // the ID of the selected row, or -1
    bool askTemplateId(const QString &label, int *id);

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

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void startRun();
    void showFrame(const unsigned char *fingerdata, int w, int h);
    void showList(const unsigned char *fplist);

    void updateCommands();

    SThread m_pThread;
    QPushButton *btn_opendevice = nullptr;
    QPushButton *btn_closedevice = nullptr;
    QPushButton *btn_getimage = nullptr;
    QPushButton *btn_enrollfp = nullptr;
    QPushButton *btn_delfp = nullptr;
    QPushButton *btn_searchfp = nullptr;
    // lable_status, like the slot and signal names, is the program's
    // established name, kept as it is spelt.
    QLabel *lable_status = nullptr;
    QListView *listView = nullptr;

    ModuleCommands *m_commands = nullptr; // the commands of the context menus
    bool m_commandsEnabled = true; // as the buttons: off during a run
    bool m_closing = false; // once set, reports show nothing
    bool m_finishing = false; // closed during a run: waiting for its module call
    int m_finishBoundMs = kFinishBoundMs;
    std::function<void(int)> m_end;
    QImage m_frame; // the frame shown, as the module took it; null for the idle picture
};

#endif // MAINWINDOW_H
