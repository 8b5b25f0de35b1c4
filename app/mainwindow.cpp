#include "mainwindow.h"

#include "MuItemDelegate.h"
#include "handover.h"
#include "modulecommands.h"
#include "moduleformat.h"
#include "mulistitemdata.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QIcon>
#include <QInputDialog>
#include <QLabel>
#include <QListView>
#include <QMessageBox>
#include <QPixmap>
#include <QPushButton>
#include <QSet>
#include <QStandardItemModel>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <limits>

namespace {

// How often a close during a run looks whether the run has ended.
constexpr int kFinishPollMs = 20;

QString besideProgram(const char *relativePath)
{
    return QCoreApplication::applicationDirPath() + "/" + relativePath;
}

} // namespace

MainWindow::MainWindow(QWidget *parent)
    : QMainWindow(parent, Qt::WindowFlags())
    // Past the bound nothing of the program may wait for the thread that is
    // stuck in the library, least of all the destructors.
    , m_end([](int status) { std::_Exit(status); })
{
    const int mleft = 270;
    const int mtop = 10;
    const int mwidth = 90;
    const int mheight = 35;
    const int mstop1 = 10; // gap between the two button columns
    const int mstop2 = 40; // pitch of the button rows

    setFixedSize(480, 320);
    setWindowFlags(Qt::Dialog | Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint);
    setWindowIcon(QIcon(besideProgram("image/logo.png")));

    // Created without a parent, the label takes Qt's initial 640 x 480 at the
    // origin; the maximum size clamps it to exactly the image.
    f_finger = new QLabel();
    f_finger->setParent(this);
    f_finger->setMaximumSize(kImageWidth, kImageHeight);
    Showlogo();

    auto makeButton = [this](const QString &text, const QRect &geometry, const char *slot) {
        auto *button = new QPushButton(this);
        button->setGeometry(geometry);
        button->setText(text);
        connect(button, SIGNAL(clicked(bool)), this, slot);
        return button;
    };
    btn_opendevice = makeButton("打开设备", QRect(mleft, mtop, mwidth, mheight), SLOT(btnopen()));
    btn_closedevice = makeButton("关闭设备", QRect(mleft + mwidth + mstop1, mtop, mwidth, mheight),
                                 SLOT(btnclose()));
    btn_getimage = makeButton("连续采图", QRect(mleft, mtop + mstop2, mwidth, mheight),
                              SLOT(btnviewfinger()));
    btn_enrollfp = makeButton("注册指纹", QRect(mleft, mtop + 2 * mstop2, mwidth, mheight),
                              SLOT(btnenrollfp()));
    btn_delfp
        = makeButton("删除指纹", QRect(mleft + mwidth + mstop1, mtop + 2 * mstop2, mwidth, mheight),
                     SLOT(btndelfp()));
    btn_searchfp = makeButton("搜索指纹", QRect(mleft, mtop + 3 * mstop2, mwidth, mheight),
                              SLOT(btnsearchfp()));

    lable_status = new QLabel(this);
    lable_status->setGeometry(10, 290, 450, 22);
    lable_status->setText("");

    listView = new QListView(this);
    // The delegate paints a card under the pointer; the view only tracks the
    // row under the pointer when its viewport receives hover events.
    listView->viewport()->setAttribute(Qt::WA_Hover);
    auto *pItemDelegate = new MuItemDelegate(this);
    listView->setItemDelegate(pItemDelegate);
    listView->setGeometry(272, 180, 200, 110);

    connect(&m_pThread, SIGNAL(SShowMsg(QString)), this, SLOT(ShowMsg(QString)));
    connect(&m_pThread, SIGNAL(SShowAlert(QString)), this, SLOT(ShowAlert(QString)));
    connect(&m_pThread, SIGNAL(SEnable_btn(bool)), this, SLOT(Enable_btn(bool)));
    connect(&m_pThread, SIGNAL(SShowFinglist(unsigned char *)), this,
            SLOT(ShowFinglist(unsigned char *)));
    connect(&m_pThread, SIGNAL(SShowfinger(unsigned char *, int, int)), this,
            SLOT(Showfinger(unsigned char *, int, int)));

    m_commands = new ModuleCommands(*this, m_pThread);
    updateCommands();
}

MainWindow::~MainWindow()
{
    m_closing = true;
    // A run under way ends at its next turn; the thread object must not be
    // destroyed while it runs. Its reports still queued die with this window,
    // so their hand-over slots are taken back.
    m_pThread.stop();
    HandOver::instance().discardAll();
}

// A command given while the worker still runs (before its buttons went grey,
// or after they came back but before its thread has ended) would change the
// operation under way; it is refused. Otherwise the setter chooses the
// operation and startRun() starts it.
void MainWindow::btnopen()
{
    if (m_pThread.busy())
        return;
    m_pThread.fopen();
    startRun();
}

void MainWindow::btnclose()
{
    if (m_pThread.busy())
        return;
    m_pThread.fclose();
    startRun();
    m_pThread.waitForRun();
    Showlogo();
}

void MainWindow::btnviewfinger()
{
    if (m_pThread.busy())
        return;
    m_pThread.fviewfinger();
    startRun();
}

void MainWindow::btnenrollfp()
{
    int fpnumber = 0;
    if (m_pThread.busy() || !askTemplateId("请输入注册ID(0-999)", &fpnumber))
        return;
    m_pThread.fenrollfinger(fpnumber);
    startRun();
}

void MainWindow::btndelfp()
{
    int fpnumber = 0;
    if (m_pThread.busy() || !askTemplateId("请输入删除ID(0-999)", &fpnumber))
        return;
    m_pThread.fdelfinger(fpnumber);
    startRun();
}

void MainWindow::btnsearchfp()
{
    if (m_pThread.busy())
        return;
    m_pThread.fsearchfinger();
    startRun();
}

// Any decimal text that fits a signed int is handed on, beyond the 0 to 999
// the prompt names: the module itself refuses IDs outside its store. A text
// from 2147483648 up would reach the worker as a negative number and is
// ignored like one that does not convert.
bool MainWindow::askTemplateId(const QString &label, int *id)
{
    bool inputok = false;
    const QString fpno = QInputDialog::getText(this, "提示", label, QLineEdit::Normal, "", &inputok,
                                               Qt::WindowFlags(), Qt::ImhNone);
    const uint value = fpno.toUInt(&inputok, 10);
    if (!inputok || value > uint(std::numeric_limits<int>::max()))
        return false;
    *id = int(value);
    return true;
}

void MainWindow::startRun()
{
    m_pThread.start(QThread::InheritPriority);
}

// A report that arrives once the window began to close belongs to a window
// the operator has dismissed: it shows nothing, least of all a notice.
//
// A close during a run tells the run to end at its next turn and keeps the
// window, saying so, until its thread has gone: the thread object must not
// be destroyed while it runs, and the module stays held until then. A
// module call that has not returned within the bound never may; the
// program then ends without it, with its own exit status.
void MainWindow::closeEvent(QCloseEvent *event)
{
    m_closing = true;
    if (!m_pThread.busy()) {
        QMainWindow::closeEvent(event);
        return;
    }
    event->ignore();
    if (m_finishing)
        return;
    m_finishing = true;
    m_pThread.requestStop();
    Enable_btn(false);
    lable_status->setText("正在结束模块调用，请稍候…");
    // Looked for rather than connected to QThread::finished: a connection
    // would have the ending thread call into this object while it goes.
    auto *poll = new QTimer(this);
    connect(poll, &QTimer::timeout, this, [this, poll] {
        if (m_pThread.busy())
            return;
        poll->stop();
        m_pThread.waitForRun(); // the thread is on its way out
        close();
    });
    poll->start(kFinishPollMs);
    QTimer::singleShot(m_finishBoundMs, this, [this] {
        if (!m_pThread.busy())
            return;
        std::fprintf(stderr,
                     "fpdesk: the module call under way did not return within %d s; the "
                     "program ends without it (exit status %d)\n",
                     (m_finishBoundMs + 999) / 1000, kExitCallHung);
        std::fflush(stderr);
        m_end(kExitCallHung);
    });
}

void MainWindow::setFinishBound(int ms, std::function<void(int status)> end)
{
    m_finishBoundMs = ms;
    m_end = std::move(end);
}

void MainWindow::ShowMsg(QString msg)
{
    if (m_closing)
        return;
    lable_status->setText(msg);
}

void MainWindow::updateCommands()
{
    if (m_commands)
        m_commands->update(m_commandsEnabled, !m_frame.isNull());
}

void MainWindow::Enable_btn(bool bEnabled)
{
    if (m_finishing)
        bEnabled = false; // nothing more is started while the program ends
    btn_opendevice->setEnabled(bEnabled);
    btn_closedevice->setEnabled(bEnabled);
    btn_getimage->setEnabled(bEnabled);
    btn_enrollfp->setEnabled(bEnabled);
    btn_delfp->setEnabled(bEnabled);
    btn_searchfp->setEnabled(bEnabled);
    m_commandsEnabled = bEnabled;
    updateCommands();
}

void MainWindow::Showfinger(unsigned char *fingerdata, int w, int h)
{
    HandOver::receive(fingerdata, [&](const unsigned char *data) { showFrame(data, w, h); });
}

void MainWindow::showFrame(const unsigned char *fingerdata, int w, int h)
{
    // Rows are taken as 4-byte aligned; a width that is not a multiple of 4
    // would read past the rows the caller wrote, so it shows nothing.
    if (!fingerdata || w <= 0 || h <= 0 || w % 4 != 0) {
        f_finger->setPixmap(QPixmap());
        m_frame = QImage();
        updateCommands();
        return;
    }
    // Grey level i shows as (i, i, i); built once, not for every frame.
    static const QVector<QRgb> grey = [] {
        QVector<QRgb> table;
        table.reserve(256);
        for (int i = 0; i < 256; ++i)
            table.append(qRgb(i, i, i));
        return table;
    }();
    // Kept as the module took it, for saving: the slot goes back when this returns.
    m_frame = QImage(fingerdata, w, h, QImage::Format_Indexed8).copy();
    m_frame.setColorTable(grey);
    updateCommands();
    const QPixmap pixmap = QPixmap::fromImage(m_frame);
    f_finger->setPixmap(
        pixmap.scaled(kImageWidth, kImageHeight, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
}

void MainWindow::Showlogo()
{
    QImage image;
    image.load(besideProgram("image/default.jpg"));
    f_finger->setPixmap(QPixmap::fromImage(image).scaled(
        kImageWidth, kImageHeight, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
    m_frame = QImage();
    updateCommands();
}

void MainWindow::ShowFinglist(unsigned char *fplist)
{
    HandOver::receive(fplist, [this](const unsigned char *bits) { showList(bits); });
}

// The selected ID stays selected when it is still stored, and an ID that
// was not there before is scrolled into view: the one just enrolled or
// imported.
void MainWindow::showList(const unsigned char *fplist)
{
    QAbstractItemModel *oldModel = listView->model();
    QSet<int> before;
    for (int row = 0; oldModel && row < oldModel->rowCount(); ++row)
        before.insert(oldModel->index(row, 0).data(kTemplateIdRole).toInt());
    const int selected = selectedId();

    // The view owns the model it shows; the one it showed before goes with
    // its selection model once the new one is in place.
    auto *model = new QStandardItemModel(listView);
    QString caption;
    int selectedRow = -1;
    int newRow = -1;
    for (int i = 0; fplist && i < kIndexBytes; ++i) {
        for (int j = 0; j < 8; ++j) {
            if ((fplist[i] & (1 << j)) == 0)
                continue;
            const int id = i * 8 + j;
            caption = QString::asprintf("指纹[%d]", id);
            MuItemData itemData;
            itemData.singer = caption;
            auto *item = new QStandardItem;
            item->setData(QVariant::fromValue(itemData), kRowRecordRole);
            item->setData(id, kTemplateIdRole);
            if (id == selected)
                selectedRow = model->rowCount();
            if (newRow < 0 && oldModel && !before.contains(id))
                newRow = model->rowCount();
            model->appendRow(item);
        }
    }
    QItemSelectionModel *oldSelection = listView->selectionModel();
    listView->setModel(model);
    delete oldSelection;
    delete oldModel;
    if (selectedRow >= 0) {
        listView->setCurrentIndex(model->index(selectedRow, 0));
        listView->scrollTo(model->index(selectedRow, 0));
    }
    if (newRow >= 0)
        listView->scrollTo(model->index(newRow, 0));
}

// The ID of the selected row, or -1.
int MainWindow::selectedId() const
{
    const QItemSelectionModel *selection = listView->selectionModel();
    if (!selection || !selection->isSelected(listView->currentIndex()))
        return -1;
    return listView->currentIndex().data(kTemplateIdRole).toInt();
}

void MainWindow::ShowAlert(QString msg)
{
    if (m_closing)
        return;
    QMessageBox::information(this, "提示", msg, QMessageBox::Ok, QMessageBox::Ok);
}
