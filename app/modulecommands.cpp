#include "modulecommands.h"

#include "askyesno.h"
#include "backupfile.h"
#include "commandtable.h"
#include "mainwindow.h"
#include "moduleinfo.h"
#include "mulistitemdata.h"
#include "notepaddialog.h"
#include "regularfile.h"

#include <QAction>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QImageWriter>
#include <QInputDialog>
#include <QLabel>
#include <QListView>
#include <QMenu>
#include <QMessageBox>
#include <QRegularExpression>
#include <QSet>

#include <optional>
#include <tuple>
#include <utility>

namespace {

const QString kImageFilters = QStringLiteral("PNG 图像 (*.png);;BMP 图像 (*.bmp)");
const QString kTemplateFilters = QStringLiteral("模板文件 (*.dat);;所有文件 (*)");
// No module's template comes near this; a larger file is refused unread.
constexpr qint64 kTemplateFileLimit = 64 * 1024;
const QString kBmpFilters = QStringLiteral("BMP 图像 (*.bmp);;所有文件 (*)");
// A frame of 256 x 288 in any BMP the library reads is far smaller.
constexpr qint64 kImageFileLimit = 4 * 1024 * 1024;
constexpr int kPasswordBytes = 4;
const QString kBackupFilters = QStringLiteral("指纹库备份 (*.fpbak);;所有文件 (*)");
// 1024 templates of the longest length a backup takes, and their heads.
constexpr qint64 kBackupFileLimit = 1024 * (8 + kBackupTemplateRoom) + 20;

// The password typed as 8 hex digits, or the default 00000000 for an
// empty text; none for anything else.
std::optional<QByteArray> passwordOf(const QString &typed)
{
    const QString text = typed.trimmed();
    if (text.isEmpty())
        return QByteArray(kPasswordBytes, '\0');
    static const QRegularExpression hex("^[0-9A-Fa-f]{8}$");
    if (!hex.match(text).hasMatch())
        return std::nullopt;
    return QByteArray::fromHex(text.toLatin1());
}

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

ModuleCommands::ModuleCommands(MainWindow &window, SThread &worker)
    : QObject(&window)
    , m_window(window)
    , m_worker(worker)
{
    // One row a command: its text and shortcut, its slot, where it is
    // offered, and whether a separator stands before it in its menu.
    struct Row
    {
        const char *text;
        const char *shortcut;
        void (ModuleCommands::*slot)();
        Offered offered;
        bool separatorBefore;
    };
    static const Row rows[] = {
        {"保存图像…", "Ctrl+S", &ModuleCommands::saveImage, Offered::Frame, false},
        {"比对指纹", "Ctrl+M", &ModuleCommands::matchFinger, Offered::Row, false},
        {"导出模板…", "Ctrl+E", &ModuleCommands::exportTemplate, Offered::Row, false},
        {"删除", "Del", &ModuleCommands::deleteTemplate, Offered::Row, true},
        {"导入模板…", "Ctrl+O", &ModuleCommands::importTemplate, Offered::Store, false},
        {"清空指纹库", "", &ModuleCommands::emptyStore, Offered::Store, false},
        {"模块信息", "Ctrl+I", &ModuleCommands::showModuleInfo, Offered::Store, false},
        {"记事本…", "", &ModuleCommands::editNotepad, Offered::Store, false},
        {"备份指纹库…", "", &ModuleCommands::backupStore, Offered::Store, true},
        {"恢复指纹库…", "", &ModuleCommands::restoreStore, Offered::Store, false},
        {"验证密码…", "", &ModuleCommands::verifyPassword, Offered::Store, true},
        {"随机数", "", &ModuleCommands::randomData, Offered::Store, false},
        {"打开图像…", "", &ModuleCommands::openImage, Offered::Store, false},
    };
    for (const Row &row : rows) {
        // An action of the window's own, so that its shortcut works wherever
        // the focus is in the window, with or without a menu open.
        auto *action = new QAction(QString::fromUtf8(row.text), this);
        action->setShortcut(QKeySequence(QString::fromLatin1(row.shortcut)));
        action->setShortcutContext(Qt::WindowShortcut);
        connect(action, &QAction::triggered, this, row.slot);
        m_window.addAction(action);
        m_commands.push_back({action, row.offered, row.separatorBefore});
    }

    m_window.f_finger->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_window.f_finger, &QWidget::customContextMenuRequested, this,
            &ModuleCommands::imageMenu);
    m_window.templateList()->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_window.templateList(), &QWidget::customContextMenuRequested, this,
            &ModuleCommands::listMenu);
    connect(&m_worker, &SThread::SShowReport, this, &ModuleCommands::showReport);
}

// The commands offered there, in the order of their rows.
void ModuleCommands::addCommands(QMenu &menu, Offered offered) const
{
    for (const Command &command : m_commands) {
        if (command.offered != offered)
            continue;
        if (command.separatorBefore)
            menu.addSeparator();
        menu.addAction(command.action);
    }
}

void ModuleCommands::imageMenu(const QPoint &pos)
{
    QMenu menu(&m_window);
    addCommands(menu, Offered::Frame);
    menu.addSeparator();
    addCommands(menu, Offered::Store);
    menu.exec(m_window.f_finger->mapToGlobal(pos));
}

// On a row: the commands on its ID. Elsewhere: those on the whole store.
void ModuleCommands::listMenu(const QPoint &pos)
{
    QMenu menu(&m_window);
    const QModelIndex index = m_window.templateList()->indexAt(pos);
    if (index.isValid()) {
        m_menuRow = idOfRow(index);
        addCommands(menu, Offered::Row);
    } else {
        addCommands(menu, Offered::Store);
    }
    menu.exec(m_window.templateList()->viewport()->mapToGlobal(pos));
    m_menuRow = -1;
}

void ModuleCommands::update(bool enabled, bool frameShown)
{
    m_enabled = enabled;
    for (const Command &command : m_commands)
        command.action->setEnabled(enabled && (command.offered != Offered::Frame || frameShown));
}

// The row a menu was opened on, or else the selected row; -1 for none.
int ModuleCommands::targetId() const
{
    return m_menuRow >= 0 ? m_menuRow : m_window.selectedId();
}

bool ModuleCommands::start(Operation operation, const CommandInput &input)
{
    if (m_worker.busy())
        return false;
    m_worker.fcommand(operation, input);
    m_worker.start(QThread::InheritPriority);
    return true;
}

QString ModuleCommands::askSavePath(const QString &title, const QString &name,
                                    const QString &filters, QString *filter)
{
    const QDir folder(m_folder.isEmpty() ? QDir::homePath() : m_folder);
    // The question before replacing a file is asked of the file really
    // written, once its suffix is known.
    const QString path
        = QFileDialog::getSaveFileName(&m_window, title, folder.filePath(name), filters, filter,
                                       QFileDialog::DontConfirmOverwrite);
    if (!path.isEmpty())
        m_folder = QFileInfo(path).absolutePath();
    return path;
}

// The file picked in an open dialog, read whole when it is a regular file
// of at most `limit` bytes; nothing when cancelled. `refused` is shown when
// it cannot be read.
std::optional<QByteArray> ModuleCommands::askOpenFile(const QString &title, const QString &filters,
                                                      qint64 limit, const QString &refused)
{
    const QDir folder(m_folder.isEmpty() ? QDir::homePath() : m_folder);
    const QString path = QFileDialog::getOpenFileName(&m_window, title, folder.path(), filters);
    if (path.isEmpty())
        return std::nullopt;
    m_folder = QFileInfo(path).absolutePath();
    std::optional<QByteArray> bytes = readRegularFile(path, limit);
    if (!bytes)
        m_window.ShowMsg(refused);
    return bytes;
}

// All of the bytes or none: a failed write leaves an earlier file as it was.
bool ModuleCommands::saveBytes(const QString &path, const QByteArray &bytes)
{
    return writeRegularFile(path,
                            [&](QIODevice &file) { return file.write(bytes) == bytes.size(); });
}

void ModuleCommands::saveImage()
{
    const QImage frame = m_window.frame(); // the frame shown when the operator asked
    if (m_worker.busy() || frame.isNull())
        return;
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
            || askYesNo(&m_window,
                        QString("%1 已存在，要替换它吗？").arg(QFileInfo(path).fileName())))
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
    m_window.ShowMsg(saved ? "保存图像成功" : "保存图像失败");
}

void ModuleCommands::matchFinger()
{
    const int id = targetId();
    if (id >= 0)
        start(OpMatch, {id, {}, 0});
}

void ModuleCommands::exportTemplate()
{
    const int id = targetId();
    if (m_worker.busy() || id < 0)
        return;
    QString filter;
    const QString path
        = askSavePath("导出模板", QString("指纹%1.dat").arg(id), kTemplateFilters, &filter);
    if (!path.isEmpty() && start(OpExport, {id, {}, 0}))
        m_exportPath = path;
}

void ModuleCommands::deleteTemplate()
{
    const int id = targetId();
    if (m_worker.busy() || id < 0)
        return;
    // The button's own command, with the row's ID.
    if (!askYesNo(&m_window, QString("确定删除指纹[%1]？").arg(id)) || m_worker.busy())
        return;
    m_worker.fdelfinger(id);
    m_worker.start(QThread::InheritPriority);
}

// A file of the wrong size is refused before the operator is asked for an
// ID and before any call that reaches the device: a first run asks the
// library its template length, and importChecked() goes on from there.
void ModuleCommands::importTemplate()
{
    if (m_worker.busy())
        return;
    const std::optional<QByteArray> bytes
        = askOpenFile("导入模板", kTemplateFilters, kTemplateFileLimit, "模板文件无效");
    if (bytes && start(OpImportCheck))
        m_importBytes = *bytes;
}

void ModuleCommands::importChecked(const ModuleReport &report)
{
    const QByteArray bytes = std::exchange(m_importBytes, QByteArray());
    if (bytes.size() != report.templateLength) {
        m_window.ShowMsg("模板文件无效");
        return;
    }
    // The checking run has sent its last report; its thread may still be ending.
    m_worker.waitForRun();
    int id = 0;
    if (!m_window.askTemplateId("请输入导入ID(0-999)", &id) || m_window.closing())
        return;
    start(OpImport, {id, bytes, 0});
}

void ModuleCommands::emptyStore()
{
    if (m_worker.busy())
        return;
    if (askYesNo(&m_window, "确定清空指纹库？"))
        start(OpEmpty);
}

void ModuleCommands::showModuleInfo()
{
    start(OpModuleInfo);
}

void ModuleCommands::editNotepad()
{
    start(OpReadNotepad);
}

void ModuleCommands::backupStore()
{
    if (m_worker.busy())
        return;
    QString filter;
    const QString path = askSavePath("备份指纹库", "指纹库.fpbak", kBackupFilters, &filter);
    if (!path.isEmpty() && start(OpBackup))
        m_backupPath = path;
}

void ModuleCommands::saveBackup(const ModuleReport &report)
{
    const bool saved = saveBytes(m_backupPath, report.bytes);
    m_window.ShowMsg(
        saved ? QString("备份完成: 成功 %1 个, 失败 %2 个").arg(report.templates).arg(report.failed)
              : QString("备份指纹库失败"));
}

// The file is checked whole before the question and before any call; the
// question counts the IDs it would write over, as the list shows them.
void ModuleCommands::restoreStore()
{
    if (m_worker.busy())
        return;
    const std::optional<QByteArray> bytes
        = askOpenFile("恢复指纹库", kBackupFilters, kBackupFileLimit, "读取备份文件失败");
    if (!bytes)
        return;
    const std::optional<Backup> backup = decodeBackup(*bytes);
    if (!backup) {
        m_window.ShowMsg("备份文件已损坏");
        return;
    }
    QSet<int> shown;
    const QAbstractItemModel *rows = m_window.templateList()->model();
    for (int row = 0; rows && row < rows->rowCount(); ++row)
        shown.insert(idOfRow(rows->index(row, 0)));
    int occupied = 0;
    for (const BackupTemplate &entry : backup->templates)
        occupied += shown.contains(entry.id) ? 1 : 0;
    const QString question = QString("将写入 %1 个模板，其中 %2 个ID已有模板将被覆盖，确定恢复？")
                                 .arg(backup->templates.size())
                                 .arg(occupied);
    if (askYesNo(&m_window, question) && !m_window.closing())
        start(OpRestore, {std::nullopt, *bytes, 0});
}

// A text that is not 8 hex digits is told so, rather than ignored as the
// ID prompts do: a password typed with a space or one digit short would
// otherwise look like a module that said nothing.
void ModuleCommands::verifyPassword()
{
    if (m_worker.busy())
        return;
    bool typed = false;
    const QString text
        = QInputDialog::getText(&m_window, "提示", "请输入密码(8位十六进制，空为00000000)",
                                QLineEdit::Normal, "", &typed, Qt::WindowFlags(), Qt::ImhNone);
    if (!typed || m_window.closing())
        return;
    const std::optional<QByteArray> password = passwordOf(text);
    if (!password) {
        m_window.ShowMsg("密码格式无效");
        return;
    }
    start(OpVerifyPassword, {std::nullopt, *password, 0});
}

void ModuleCommands::randomData()
{
    start(OpRandomData);
}

// The library opens the file itself, so what it is given is looked at
// first without opening it: a FIFO picked in the dialog would hold the
// worker, and a huge file is no frame.
void ModuleCommands::openImage()
{
    if (m_worker.busy())
        return;
    const QDir folder(m_folder.isEmpty() ? QDir::homePath() : m_folder);
    const QString path
        = QFileDialog::getOpenFileName(&m_window, "打开图像", folder.path(), kBmpFilters);
    if (path.isEmpty())
        return;
    m_folder = QFileInfo(path).absolutePath();
    const QFileInfo file(path);
    if (!file.isFile() || file.size() > kImageFileLimit) {
        m_window.ShowMsg("打开图像失败");
        return;
    }
    start(OpOpenImage, {std::nullopt, QFile::encodeName(file.absoluteFilePath()), 0});
}

// Each command's row says how its report is shown.
void ModuleCommands::showReport(const ModuleReport &report)
{
    using Show = void (ModuleCommands::*)(const ModuleReport &);
    static const std::pair<ReportShown, Show> shows[] = {
        {ReportShown::TemplateFile, &ModuleCommands::saveTemplate},
        {ReportShown::ModuleInfo, &ModuleCommands::showParameters},
        {ReportShown::Notepad, &ModuleCommands::openNotepad},
        {ReportShown::NotepadPage, &ModuleCommands::showPageWritten},
        {ReportShown::TemplateLength, &ModuleCommands::importChecked},
        {ReportShown::BackupFile, &ModuleCommands::saveBackup},
    };
    const CommandRow *command = commandRow(report.operation);
    if (m_window.closing() || !command)
        return;
    for (const auto &[shown, show] : shows) {
        if (shown == command->report)
            (this->*show)(report);
    }
}

void ModuleCommands::showParameters(const ModuleReport &report)
{
    QMessageBox::information(&m_window, "提示",
                             moduleInfoText(report.bytes, report.templates, report.templateLength),
                             QMessageBox::Ok, QMessageBox::Ok);
}

void ModuleCommands::showPageWritten(const ModuleReport &report)
{
    if (m_notepad)
        m_notepad->pageWritten(report.id, report.bytes);
}

void ModuleCommands::saveTemplate(const ModuleReport &report)
{
    m_window.ShowMsg(saveBytes(m_exportPath, report.bytes) ? "导出模板成功" : "导出模板失败");
}

// The dialog stays open across writes: each page written is shown in it as
// the module took it.
void ModuleCommands::openNotepad(const ModuleReport &report)
{
    NotepadDialog dialog(report.bytes, &m_window);
    connect(&dialog, &NotepadDialog::writeRequested, this, &ModuleCommands::writeNotepadPage);
    m_notepad = &dialog;
    dialog.exec();
    m_notepad = nullptr;
}

void ModuleCommands::writeNotepadPage(int page, const QByteArray &bytes)
{
    // A write still under way is not overtaken; the reading run, or the last
    // write, has sent its last report, but its thread may still be ending.
    if (m_window.closing() || !m_enabled)
        return;
    m_worker.waitForRun();
    start(OpWriteNotepad, {std::nullopt, bytes, page});
}
