// The module's commands beyond the six buttons. They live in context menus
// on the image and the list and in shortcuts on the window, so the window
// keeps its six buttons and nothing else. Those that reach the module run on
// the worker like the six; saving the image does not reach it at all.

#include "mainwindow.h"

#include "askyesno.h"
#include "devicestate.h"
#include "moduleinfo.h"
#include "mulistitemdata.h"
#include "notepaddialog.h"
#include "regularfile.h"

#include <QAction>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QImageWriter>
#include <QLabel>
#include <QListView>
#include <QMenu>
#include <QMessageBox>

#include <optional>
#include <tuple>
#include <utility>

namespace {

const QString kImageFilters = QStringLiteral("PNG 图像 (*.png);;BMP 图像 (*.bmp)");
const QString kTemplateFilters = QStringLiteral("模板文件 (*.dat);;所有文件 (*)");
// No module's template comes near this; a larger file is refused unread.
constexpr qint64 kTemplateFileLimit = 64 * 1024;

// The ID a row stands for, or -1.
int idOfRow(const QModelIndex &index)
{
    const QVariant id = index.data(kTemplateIdRole);
    return id.isValid() ? id.toInt() : -1;
}

// The file a frame is written to and its format. A suffix of a format Qt
// writes decides the format ("x.jpg" is a JPEG); otherwise the chosen
// filter's suffix is added ("frame" and "frame.v2" become PNG files
// "frame.png" and "frame.v2.png").
std::pair<QString, QByteArray> imageTarget(const QString &typed, const QString &filter)
{
    const QByteArray suffix = QFileInfo(typed).suffix().toLower().toLatin1();
    if (!suffix.isEmpty() && QImageWriter::supportedImageFormats().contains(suffix))
        return {typed, suffix};
    const QByteArray chosen = filter.contains("bmp") ? "bmp" : "png";
    return {typed + "." + QString::fromLatin1(chosen), chosen};
}

} // namespace

void MainWindow::buildCommands()
{
    act_saveimage = addCommand("保存图像…", QKeySequence("Ctrl+S"), &MainWindow::saveImage);
    act_match = addCommand("比对指纹", QKeySequence("Ctrl+M"), &MainWindow::matchFinger);
    act_export = addCommand("导出模板…", QKeySequence("Ctrl+E"), &MainWindow::exportTemplate);
    act_delete = addCommand("删除", QKeySequence("Del"), &MainWindow::deleteTemplate);
    act_import = addCommand("导入模板…", QKeySequence("Ctrl+O"), &MainWindow::importTemplate);
    act_empty = addCommand("清空指纹库", QKeySequence(), &MainWindow::emptyStore);
    act_moduleinfo = addCommand("模块信息", QKeySequence("Ctrl+I"), &MainWindow::showModuleInfo);
    act_notepad = addCommand("记事本…", QKeySequence(), &MainWindow::editNotepad);

    f_finger->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(f_finger, &QWidget::customContextMenuRequested, this, &MainWindow::imageMenu);
    listView->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(listView, &QWidget::customContextMenuRequested, this, &MainWindow::listMenu);
    updateCommands();
}

// An action of the window's own, so that its shortcut works wherever the
// focus is in the window, with or without a menu open.
QAction *MainWindow::addCommand(const QString &text, const QKeySequence &key,
                                void (MainWindow::*slot)())
{
    auto *action = new QAction(text, this);
    action->setShortcut(key);
    action->setShortcutContext(Qt::WindowShortcut);
    connect(action, &QAction::triggered, this, slot);
    addAction(action);
    return action;
}

void MainWindow::imageMenu(const QPoint &pos)
{
    QMenu menu(this);
    menu.addAction(act_saveimage);
    menu.addSeparator();
    menu.addActions({act_import, act_empty, act_moduleinfo, act_notepad});
    menu.exec(f_finger->mapToGlobal(pos));
}

// On a row: the commands on its ID. Elsewhere: those on the whole store.
void MainWindow::listMenu(const QPoint &pos)
{
    QMenu menu(this);
    const QModelIndex index = listView->indexAt(pos);
    if (index.isValid()) {
        m_menuRow = idOfRow(index);
        menu.addActions({act_match, act_export});
        menu.addSeparator();
        menu.addAction(act_delete);
    } else {
        menu.addActions({act_import, act_empty, act_moduleinfo, act_notepad});
    }
    menu.exec(listView->viewport()->mapToGlobal(pos));
    m_menuRow = -1;
}

void MainWindow::updateCommands()
{
    if (!act_saveimage)
        return;
    for (QAction *action :
         {act_match, act_export, act_delete, act_import, act_empty, act_moduleinfo, act_notepad})
        action->setEnabled(m_commandsEnabled);
    act_saveimage->setEnabled(m_commandsEnabled && !m_frame.isNull());
}

// The row a menu was opened on, or else the selected row; -1 for none.
int MainWindow::targetId() const
{
    return m_menuRow >= 0 ? m_menuRow : selectedId();
}

QString MainWindow::askSavePath(const QString &title, const QString &name, const QString &filters,
                                QString *filter)
{
    const QDir folder(m_folder.isEmpty() ? QDir::homePath() : m_folder);
    // The question before replacing a file is asked of the file really
    // written, once its suffix is known.
    const QString path = QFileDialog::getSaveFileName(this, title, folder.filePath(name), filters,
                                                      filter, QFileDialog::DontConfirmOverwrite);
    if (!path.isEmpty())
        m_folder = QFileInfo(path).absolutePath();
    return path;
}

void MainWindow::saveImage()
{
    if (m_pThread.busy() || m_frame.isNull())
        return;
    const QImage frame = m_frame; // the frame shown when the operator asked
    QString name = "指纹.png";
    QString path;
    QByteArray format;
    for (;;) {
        QString filter;
        const QString typed = askSavePath("保存图像", name, kImageFilters, &filter);
        if (typed.isEmpty())
            return;
        std::tie(path, format) = imageTarget(typed, filter);
        if (!QFileInfo(path).isFile()
            || askYesNo(this, QString("%1 已存在，要替换它吗？").arg(QFileInfo(path).fileName())))
            break;
        name = QFileInfo(path).fileName(); // declined: the dialog again
    }
    // PNG and the other grey formats keep the grey levels as grey; BMP takes
    // them with a grey palette.
    const QImage image = format == "bmp" ? frame : frame.convertToFormat(QImage::Format_Grayscale8);
    const bool saved = writeRegularFile(path, [&](QIODevice &file) {
        QImageWriter writer(&file, format);
        return writer.write(image);
    });
    ShowMsg(saved ? "保存图像成功" : "保存图像失败");
}

void MainWindow::matchFinger()
{
    const int id = targetId();
    if (m_pThread.busy() || id < 0)
        return;
    m_pThread.fmatchfinger(id);
    startRun();
}

void MainWindow::exportTemplate()
{
    const int id = targetId();
    if (m_pThread.busy() || id < 0)
        return;
    QString filter;
    const QString path
        = askSavePath("导出模板", QString("指纹%1.dat").arg(id), kTemplateFilters, &filter);
    if (path.isEmpty() || m_pThread.busy())
        return;
    m_exportPath = path;
    m_pThread.fexportchar(id);
    startRun();
}

void MainWindow::deleteTemplate()
{
    const int id = targetId();
    if (m_pThread.busy() || id < 0)
        return;
    if (!askYesNo(this, QString("确定删除指纹[%1]？").arg(id)) || m_pThread.busy())
        return;
    m_pThread.fdelfinger(id);
    startRun();
}

// A file of the wrong size is refused before the operator is asked for an
// ID and before any call that reaches the device: a first run asks the
// library its template length, and importChecked() goes on from there.
void MainWindow::importTemplate()
{
    if (m_pThread.busy())
        return;
    const QDir folder(m_folder.isEmpty() ? QDir::homePath() : m_folder);
    const QString path
        = QFileDialog::getOpenFileName(this, "导入模板", folder.path(), kTemplateFilters);
    if (path.isEmpty())
        return;
    m_folder = QFileInfo(path).absolutePath();
    const std::optional<QByteArray> bytes = readRegularFile(path, kTemplateFileLimit);
    if (!bytes) {
        ShowMsg("模板文件无效");
        return;
    }
    m_importBytes = *bytes;
    m_pThread.fimportcheck();
    startRun();
}

void MainWindow::importChecked(int templateLength)
{
    const QByteArray bytes = std::exchange(m_importBytes, QByteArray());
    if (bytes.size() != templateLength) {
        ShowMsg("模板文件无效");
        return;
    }
    // The checking run has sent its last report; its thread may still be ending.
    m_pThread.waitForRun();
    int id = 0;
    if (!askTemplateId("请输入导入ID(0-999)", &id) || m_closing || m_pThread.busy())
        return;
    m_pThread.fimportchar(id, bytes);
    startRun();
}

void MainWindow::emptyStore()
{
    if (m_pThread.busy())
        return;
    if (!askYesNo(this, "确定清空指纹库？") || m_pThread.busy())
        return;
    m_pThread.fempty();
    startRun();
}

void MainWindow::showModuleInfo()
{
    if (m_pThread.busy())
        return;
    m_pThread.fmoduleinfo();
    startRun();
}

void MainWindow::editNotepad()
{
    if (m_pThread.busy())
        return;
    m_pThread.freadinfo();
    startRun();
}

void MainWindow::ShowReport(ModuleReport report)
{
    if (m_closing)
        return;
    switch (report.operation) {
    case OpExport:
        saveTemplate(report);
        break;
    case OpModuleInfo:
        QMessageBox::information(
            this, "提示", moduleInfoText(report.bytes, report.templates, report.templateLength),
            QMessageBox::Ok, QMessageBox::Ok);
        break;
    case OpReadNotepad:
        openNotepad(report.bytes);
        break;
    case OpWriteNotepad:
        if (m_notepad)
            m_notepad->pageWritten(report.id, report.bytes);
        break;
    case OpImportCheck:
        importChecked(report.templateLength);
        break;
    default:
        break;
    }
}

// All of the bytes or none: a failed write leaves an earlier file as it was.
void MainWindow::saveTemplate(const ModuleReport &report)
{
    const bool saved = writeRegularFile(m_exportPath, [&](QIODevice &file) {
        return file.write(report.bytes) == report.bytes.size();
    });
    ShowMsg(saved ? "导出模板成功" : "导出模板失败");
}

// The dialog stays open across writes: each page written is shown in it as
// the module took it.
void MainWindow::openNotepad(const QByteArray &pages)
{
    NotepadDialog dialog(pages, this);
    connect(&dialog, &NotepadDialog::writeRequested, this, &MainWindow::writeNotepadPage);
    m_notepad = &dialog;
    dialog.exec();
    m_notepad = nullptr;
}

void MainWindow::writeNotepadPage(int page, const QByteArray &bytes)
{
    // A write still under way is not overtaken; the reading run, or the last
    // write, has sent its last report, but its thread may still be ending.
    if (m_closing || !m_commandsEnabled)
        return;
    m_pThread.waitForRun();
    m_pThread.fwriteinfo(page, bytes);
    startRun();
}
