#ifndef MODULECOMMANDS_H
#define MODULECOMMANDS_H

#include "SThread.h"
#include "modulereport.h"

#include <QByteArray>
#include <QObject>
#include <QString>

#include <optional>
#include <vector>

class MainWindow;
class NotepadDialog;
class QAction;
class QMenu;
class QPoint;

// The module's commands beyond the six buttons: their actions and
// shortcuts, the context menus of the image and the list, their dialogs
// and files, and the reports their runs send back. Those that reach the
// module run on the worker like the six; saving the image does not reach it
// at all. The window stays the window of the six buttons: it hands this
// class its image, its list and its status line through the few hooks it
// offers, and says when a run starts or ends and when the frame changes.
class ModuleCommands : public QObject
{
    Q_OBJECT

public:
    ModuleCommands(MainWindow &window, SThread &worker);

    // The window's buttons went grey or came back; a frame, or the idle
    // picture, is shown.
    void update(bool enabled, bool frameShown);

private slots:
    void saveImage();
    void matchFinger();
    void exportTemplate();
    void deleteTemplate();
    void importTemplate();
    void emptyStore();
    void showModuleInfo();
    void editNotepad();
    void verifyPassword();
    void randomData();
    void openImage();
    void backupStore();
    void restoreStore();
    void showReport(const ModuleReport &report);

private:
    // Where a command is offered: on the frame shown, on one row's ID, or
    // on the whole store.
    enum class Offered { Frame, Row, Store };
    struct Command
    {
        QAction *action;
        Offered offered;
        bool separatorBefore;
    };
    void addCommands(QMenu &menu, Offered offered) const;
    void imageMenu(const QPoint &pos);
    void listMenu(const QPoint &pos);
    int targetId() const;
    // Starts the command unless a run is under way; false when refused.
    bool start(Operation operation, const CommandInput &input = {});
    std::optional<QByteArray> askOpenFile(const QString &title, const QString &filters,
                                          qint64 limit, const QString &refused);
    bool saveBytes(const QString &path, const QByteArray &bytes);
    QString askSavePath(const QString &title, const QString &name, const QString &filters,
                        QString *filter);

    // How each kind of report is shown (commandtable.h).
    void saveTemplate(const ModuleReport &report);
    void showParameters(const ModuleReport &report);
    void openNotepad(const ModuleReport &report);
    void showPageWritten(const ModuleReport &report);
    void importChecked(const ModuleReport &report);
    void saveBackup(const ModuleReport &report);
    void writeNotepadPage(int page, const QByteArray &bytes);

    MainWindow &m_window;
    SThread &m_worker;
    std::vector<Command> m_commands; // in the order of their rows
    bool m_enabled = true; // as the buttons: off during a run
    int m_menuRow = -1; // the ID of the row a context menu was opened on
    QString m_folder; // the last folder of a file dialog, for this session only
    QString m_exportPath; // where the template on its way from the module goes
    QString m_backupPath; // where the backup on its way from the module goes
    QByteArray m_importBytes; // the template file on its way to the module
    NotepadDialog *m_notepad = nullptr; // open while the notepad is shown
};

#endif // MODULECOMMANDS_H
