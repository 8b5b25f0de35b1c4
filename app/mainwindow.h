#ifndef MAINWINDOW_H
#define MAINWINDOW_H

#include "SThread.h"

#include <QImage>
#include <QMainWindow>

#include <functional>

class NotepadDialog;
class QAction;
class QKeySequence;
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

private slots:
    // The module's other commands, from context menus and shortcuts
    // (morecommands.cpp).
    void saveImage();
    void matchFinger();
    void exportTemplate();
    void deleteTemplate();
    void importTemplate();
    void emptyStore();
    void showModuleInfo();
    void editNotepad();
    void ShowReport(ModuleReport report);

private:
    bool askTemplateId(const QString &label, int *id);
    void startRun();
    void showFrame(const unsigned char *fingerdata, int w, int h);
    void showList(const unsigned char *fplist);

    void buildCommands();
    QAction *addCommand(const QString &text, const QKeySequence &key, void (MainWindow::*slot)());
    void imageMenu(const QPoint &pos);
    void listMenu(const QPoint &pos);
    void updateCommands();
    int targetId() const;
    QString askSavePath(const QString &title, const QString &name, const QString &filters,
                        QString *filter);
    void saveTemplate(const ModuleReport &report);
    void openNotepad(const QByteArray &pages);
    void writeNotepadPage(int page, const QByteArray &bytes);
    void importChecked(int templateLength);
    int selectedId() const;

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

    QAction *act_saveimage = nullptr;
    QAction *act_match = nullptr;
    QAction *act_export = nullptr;
    QAction *act_delete = nullptr;
    QAction *act_import = nullptr;
    QAction *act_empty = nullptr;
    QAction *act_moduleinfo = nullptr;
    QAction *act_notepad = nullptr;
    bool m_commandsEnabled = true; // as the buttons: off during a run
    bool m_closing = false; // once set, reports show nothing
    bool m_finishing = false; // closed during a run: waiting for its module call
    int m_finishBoundMs = kFinishBoundMs;
    std::function<void(int)> m_end;
    int m_menuRow = -1; // the ID of the row a context menu was opened on
    QImage m_frame; // the frame shown, as the module took it; null for the idle picture
    QString m_folder; // the last folder of a file dialog, for this session only
    QString m_exportPath; // where the template on its way from the module goes
    QByteArray m_importBytes; // the template file on its way to the module
    NotepadDialog *m_notepad = nullptr; // open while the notepad is shown
};

#endif // MAINWINDOW_H
