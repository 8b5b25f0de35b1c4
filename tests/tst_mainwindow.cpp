// The window with its worker on the simulated module: its start-up state,
// the commands with their notices, prompts, status line, image and list,
// the commands of its context menus started by their shortcuts, the image
// saved as shown, the image view and the list built from bitmaps, and the
// guards around a run under way: the hand-over of frames, commands refused
// during a run, closing the window during a run or an open, and a close
// while the window is behind.

#include "backupfile.h"
#include "handover.h"
#include "mainwindow.h"
#include "modalpilot.h"
#include "modulecommands.h"
#include "mulistitemdata.h"
#include "qttranslation.h"
#include "simcontrol.h"
#include "watchdog.h"
#include "windowparts.h"
#include "workerharness.h"

#include <QAction>
#include <QDialogButtonBox>
#include <QImageReader>
#include <QListView>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QRegularExpression>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

#include <sys/stat.h>

namespace {

using Bitmap = QVector<unsigned char>;

const QStringList kButtons {"打开设备", "关闭设备", "连续采图", "注册指纹", "删除指纹", "搜索指纹"};

bool allEnabled(MainWindow &window)
{
    for (const QString &text : kButtons) {
        if (!button(window, text)->isEnabled())
            return false;
    }
    return true;
}

QImage shown(const MainWindow &window)
{
    return labelPixmap(window.f_finger).toImage();
}

Bitmap bitmap(std::initializer_list<std::pair<int, unsigned char>> bytes)
{
    Bitmap bits(512, 0);
    for (const auto &byte : bytes)
        bits[byte.first] = byte.second;
    return bits;
}

QStringList range(int from, int to)
{
    QStringList texts;
    for (int id = from; id <= to; ++id)
        texts << QStringLiteral("指纹[%1]").arg(id);
    return texts;
}

QAction *action(MainWindow &window, const QString &text)
{
    for (QAction *a : window.actions()) {
        if (a->text() == text)
            return a;
    }
    return nullptr;
}

// The module calls since the log was cleared, image requests and uploads
// left out, with the handle written as "h".
QStringList moduleCalls()
{
    const QRegularExpression handle(QStringLiteral("\\(%1([,)])").arg(hHandle[0]));
    return SimControl::instance()
        .calls()
        .filter(QRegularExpression("^VYR(?!GetImage|UpImage)"))
        .replaceInStrings(handle, "(h\\1");
}

QStringList indexCalls()
{
    QStringList calls;
    for (int page = 0; page < 4; ++page)
        calls << QStringLiteral("VYRReadIndexTable(h, -1, %1, ptr) = 0").arg(page);
    return calls;
}

} // namespace

class tst_MainWindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void startUpState();
    void commandsThroughTheWindow();
    void idPrompt_data();
    void idPrompt();
    void moreCommands_data();
    void moreCommands();
    void openedImageShownAsFrame();
    void saveImage_data();
    void saveImage();

    void imageView();
    void rowsFromBitmap_data();
    void rowsFromBitmap();
    void newIdScrolledIntoView();
    void qtTextsInChinese();

    void framesShownWholeAndInOrder();
    void bitmapReadBeforeItsSlotIsReused();
    void commandsRefusedDuringRun();
    void closingWindowDuringRun();
    void closingWindowDuringOpen();
    void closeWaitsAtMostTheBound_data();
    void closeWaitsAtMostTheBound();
    void closeWhileWindowIsBehind();

private:
    bool idle()
    {
        return QTest::qWaitFor([this] { return settled(*m_window->worker()); }, kWaitMs);
    }
    bool click(const QString &text);
    bool holdRunAtFirstImage();

    std::unique_ptr<ModalPilot> m_pilot;
    std::unique_ptr<MainWindow> m_window;
};

void tst_MainWindow::initTestCase()
{
    QVERIFY(SimControl::instance().loaded());
}

void tst_MainWindow::init()
{
    resetModuleAndDevice();
    m_pilot = std::make_unique<ModalPilot>();
    m_window = std::make_unique<MainWindow>();
    m_window->show();
}

void tst_MainWindow::cleanup()
{
    SimControl::instance().gate("VYRGetImage", false);
    SimControl::instance().gate("VYROpenDeviceEx", false);
    m_window.reset();
    m_pilot.reset();
    HandOver::instance().discardAll();
}

// Clicks a button and waits for its run, reports and notices included.
bool tst_MainWindow::click(const QString &text)
{
    QTest::mouseClick(button(*m_window, text), Qt::LeftButton);
    return idle();
}

// Starts a capture that waits at its first image request for the gate.
bool tst_MainWindow::holdRunAtFirstImage()
{
    if (!click("打开设备"))
        return false;
    SimControl::instance().gate("VYRGetImage", true);
    m_window->btnviewfinger();
    return holdsWithin([] { return SimControl::instance().gateWaiting() == 1; }, kWaitMs);
}

void tst_MainWindow::startUpState()
{
    MainWindow &window = *m_window;
    QCOMPARE(window.size(), QSize(480, 320));
    QCOMPARE(window.minimumSize(), QSize(480, 320));
    QCOMPARE(window.maximumSize(), QSize(480, 320));
    QVERIFY(window.windowFlags().testFlag(Qt::Dialog));
    QVERIFY(window.windowTitle().isEmpty());
    QVERIFY(!window.windowIcon().isNull());

    const QVector<QRect> geometry {{270, 10, 90, 35}, {370, 10, 90, 35}, {270, 50, 90, 35},
                                   {270, 90, 90, 35}, {370, 90, 90, 35}, {270, 130, 90, 35}};
    QCOMPARE(window.findChildren<QPushButton *>().size(), 6);
    for (int i = 0; i < kButtons.size(); ++i) {
        QVERIFY2(button(window, kButtons.at(i)), qPrintable(kButtons.at(i)));
        QCOMPARE(button(window, kButtons.at(i))->geometry(), geometry.at(i));
    }
    QVERIFY(allEnabled(window));
    QCOMPARE(statusLine(window)->geometry(), QRect(10, 290, 450, 22));
    QVERIFY(statusLine(window)->text().isEmpty());
    QCOMPARE(listOf(window)->geometry(), QRect(272, 180, 200, 110));
    QVERIFY(listOf(window)->model() == nullptr);

    QCOMPARE(window.f_finger->geometry(), QRect(0, 0, 256, 288));
    const QImage idlePicture(QCoreApplication::applicationDirPath() + "/image/default.jpg");
    QVERIFY(!idlePicture.isNull());
    QCOMPARE(shown(window),
             QPixmap::fromImage(idlePicture)
                 .scaled(256, 288, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                 .toImage());

    // Exactly the six buttons go grey; the list can still be scrolled.
    window.Enable_btn(false);
    for (const QString &text : kButtons)
        QVERIFY(!button(window, text)->isEnabled());
    QVERIFY(listOf(window)->isEnabled() && statusLine(window)->isEnabled());
    window.Enable_btn(true);
    QVERIFY(allEnabled(window));
}

// The operator's round: each command's notice, status line, image and list.
void tst_MainWindow::commandsThroughTheWindow()
{
    MainWindow &window = *m_window;
    SimControl &module = SimControl::instance();
    const QImage idlePicture = shown(window);
    module.store(3, 1);
    module.store(40, 2);
    QVERIFY(click("打开设备"));
    QCOMPARE(m_pilot->alerts, QStringList({"提示|打开设备成功"}));
    QCOMPARE(captions(window), QStringList({"指纹[3]", "指纹[40]"}));

    module.setFinger(1);
    QVERIFY(click("连续采图"));
    QCOMPARE(statusLine(window)->text(), QString("获取图像成功"));
    QVERIFY(shown(window) != idlePicture);
    QCOMPARE(shown(window).size(), QSize(256, 288));

    module.script({1, 1, 0, 1, 1});
    m_pilot->answers << "7";
    QVERIFY(click("注册指纹"));
    QCOMPARE(statusLine(window)->text(), QString("注册成功"));
    QCOMPARE(captions(window), QStringList({"指纹[3]", "指纹[7]", "指纹[40]"}));

    m_pilot->answers << "3";
    QVERIFY(click("删除指纹"));
    QCOMPARE(statusLine(window)->text(), QString("删除指纹[3] 成功"));
    QCOMPARE(captions(window), QStringList({"指纹[7]", "指纹[40]"}));

    // A failed close says so; the idle picture is back as the command returns.
    module.fail("VYRCloseDeviceEx", 1, 1, 3);
    QTest::mouseClick(button(window, "关闭设备"), Qt::LeftButton);
    QCOMPARE(shown(window), idlePicture);
    QVERIFY(idle());
    QCOMPARE(m_pilot->alerts.last(), QString("提示|关闭设备失败"));
    QCOMPARE(captions(window), QStringList());

    // Closed: a second close calls nothing, yet shows the idle picture at once.
    module.clearCalls();
    window.Showfinger(nullptr, 0, 0);
    QTest::mouseClick(button(window, "关闭设备"), Qt::LeftButton);
    QCOMPARE(shown(window), idlePicture);
    QVERIFY(idle());
    QCOMPARE(statusLine(window)->text(), QString("请先打开设备"));
    QCOMPARE(module.calls(), QStringList());

    module.setAttached(false);
    QVERIFY(click("打开设备"));
    QCOMPARE(m_pilot->alerts.last(), QString("提示|打开设备失败"));
    QCOMPARE(m_pilot->alerts.size(), 3);
    QCOMPARE(statusLine(window)->text(), QString("请先打开设备"));
    QVERIFY(listOf(window)->model() != nullptr);
    QCOMPARE(captions(window), QStringList());
    QVERIFY(allEnabled(window));
}

void tst_MainWindow::idPrompt_data()
{
    QTest::addColumn<QString>("typed"); // null: the prompt is cancelled
    QTest::addColumn<QString>("id"); // what reaches the module, or empty for nothing

    const auto row = [](const char *tag, const QString &typed, const QString &id) {
        QTest::newRow(tag) << typed << id;
    };
    row("letters", "abc", "");
    row("empty", "", "");
    row("cancel", QString(), "");
    row("negative", "-5", "");
    row("in range", "7", "7");
    row("leading zeros, decimal", "010", "10");
    row("hexadecimal", "0x10", "");
    row("1500", "1500", "1500");
    row("2147483647", "2147483647", "2147483647");
    row("2147483648", "2147483648", "");
    row("4294967295", "4294967295", "");
    row("above 4294967295", "4294967296", "");
    row("surrounding spaces", " 12 ", "12");
    row("inner space", "1 2", "");
}

void tst_MainWindow::idPrompt()
{
    QFETCH(QString, typed);
    QFETCH(QString, id);
    MainWindow &window = *m_window;
    QVERIFY(click("打开设备"));
    SimControl::instance().clearCalls();

    for (const bool enroll : {false, true}) {
        m_pilot->prompts.clear();
        m_pilot->answers.enqueue(typed);
        if (enroll)
            window.btnenrollfp();
        else
            window.btndelfp();
        QCOMPARE(m_pilot->prompts,
                 QStringList({enroll ? "提示|请输入注册ID(0-999)" : "提示|请输入删除ID(0-999)"}));
        if (id.isEmpty()) {
            QVERIFY(!window.worker()->busy());
            QCOMPARE(enrollid, 1000);
            QVERIFY(allEnabled(window));
        } else {
            QVERIFY(idle());
            QCOMPARE(QString::number(enrollid), id);
        }
    }
    const int result = id.toInt() < 1000 ? 0 : int(VYRSIM_ERR_BAD_ID);
    QCOMPARE(SimControl::instance().calls().filter("VYRDelChar"),
             id.isEmpty() ? QStringList()
                          : QStringList(QStringLiteral("VYRDelChar(%1, -1, %2, 1) = %3")
                                            .arg(hHandle[0])
                                            .arg(id)
                                            .arg(result)));
}

void tst_MainWindow::moreCommands_data()
{
    QTest::addColumn<QString>("trigger"); // a shortcut, or the text of a command without one
    QTest::addColumn<bool>("confirm"); // the answer to a question
    QTest::addColumn<QString>("status"); // a pattern for the status line at the end
    QTest::addColumn<QString>("alert"); // the last notice or question, or empty for none
    QTest::addColumn<QStringList>("calls");

    const QString load = "VYRLoadChar(h, -1, 0, 3) = 0";
    QTest::newRow("Ctrl+M, match")
        << "Ctrl+M" << false << "^比对成功 ID:3 得分:\\d+$"
        << "" << QStringList {load, "VYRGenChar(h, -1, 1) = 0", "VYRMatch(h, -1, ptr) = 0"};
    QTest::newRow("Ctrl+E, export")
        << "Ctrl+E" << false << "^导出模板成功$"
        << "" << QStringList {load, "VYRUpChar(h, -1, 0, ptr, ptr) = 0"};
    QTest::newRow("Del, confirmed")
        << "Del" << true << "^删除指纹\\[3\\] 成功$"
        << "提示|确定删除指纹[3]？" << (QStringList("VYRDelChar(h, -1, 3, 1) = 0") + indexCalls());
    QTest::newRow("Del, declined") << "Del" << false << "^$"
                                   << "提示|确定删除指纹[3]？" << QStringList();
    QTest::newRow("Ctrl+O, import")
        << "Ctrl+O" << false << "^导入模板成功$"
        << ""
        << (QStringList {"VYRGetCharLen(ptr) = 0", "VYRDownChar(h, -1, 0, ptr, 512) = 0",
                         "VYRStoreChar(h, -1, 0, 7) = 0"}
            + indexCalls());
    // Refused before the ID prompt: no device call at all.
    QTest::newRow("Ctrl+O, wrong size") << "Ctrl+O" << false << "^模板文件无效$"
                                        << "" << QStringList {"VYRGetCharLen(ptr) = 0"};
    // Refused at once, unread: opening a FIFO nobody writes to would hold the window.
    QTest::newRow("Ctrl+O, a FIFO") << "Ctrl+O" << false << "^模板文件无效$"
                                    << "" << QStringList();
    QTest::newRow("empty the store, confirmed")
        << "清空指纹库" << true << "^清空成功$"
        << "提示|确定清空指纹库？" << (QStringList("VYREmpty(h, -1) = 0") + indexCalls());
    QTest::newRow("empty the store, declined") << "清空指纹库" << false << "^$"
                                               << "提示|确定清空指纹库？" << QStringList();
    QTest::newRow("Ctrl+I, module information")
        << "Ctrl+I" << false << "^$"
        << "提示|已存模板: 2/1000\n安全等级: 3\n设备地址: 0xFFFFFFFF\n数据包大小: 128 字节\n"
           "波特率: 57600\n模板长度: 512 字节\n"
           "参数表:\n00 00 00 09 03 E8 00 03\nFF FF FF FF 00 02 00 06"
        << QStringList {"VYRReadParTable(h, -1, ptr) = 0", "VYRTemplateNum(h, -1, ptr) = 0",
                        "VYRGetCharLen(ptr) = 0"};
    QStringList notepad;
    for (int page = 0; page < 16; ++page)
        notepad << QStringLiteral("VYRReadInfo(h, -1, %1, ptr) = 0").arg(page);
    QTest::newRow("notepad, page 2 written")
        << "记事本…" << true << "^写入记事本成功$"
        << "提示|确定写入记事本第2页？" << (notepad << "VYRWriteInfo(h, -1, 2, ptr) = 0");
    QTest::newRow("backup") << "备份指纹库…" << false << "^备份完成: 成功 2 个, 失败 0 个$"
                            << ""
                            << (indexCalls() << load << "VYRUpChar(h, -1, 0, ptr, ptr) = 0"
                                             << "VYRLoadChar(h, -1, 0, 40) = 0"
                                             << "VYRUpChar(h, -1, 0, ptr, ptr) = 0");
    // Refused before the question and before any call.
    QTest::newRow("restore, a damaged file") << "恢复指纹库…" << false << "^备份文件已损坏$"
                                             << "" << QStringList();
    // The password typed is "7" but for the rows that name theirs.
    QTest::newRow("password, empty for the default")
        << "验证密码…" << false << "^验证密码成功$"
        << "" << QStringList {"VYRVfyPwd(h, -1, ptr) = 0"};
    QTest::newRow("password, malformed") << "验证密码…" << false << "^密码格式无效$"
                                         << "" << QStringList();
    QTest::newRow("random data") << "随机数" << false << "^随机数: [0-9A-F]{2}( [0-9A-F]{2}){3}$"
                                 << "" << QStringList {"VYRGetRandomData(h, -1, ptr) = 0"};
    QTest::newRow("open image") << "打开图像…" << false << "^打开图像成功$"
                                << ""
                                << QStringList {"VYRImgData2BMP(ptr, ptr) = 0", // the test's file
                                                "VYRGetImgDataFromBMP(ptr, ptr, ptr) = 0"};
    // Looked at, not opened: the library would wait on a FIFO nobody writes to.
    QTest::newRow("open image, a FIFO") << "打开图像…" << false << "^打开图像失败$"
                                        << "" << QStringList();
}

// With ID 3 selected and a finger on the sensor, each command started as
// the operator starts it: its dialogs, its module calls, what it shows.
void tst_MainWindow::moreCommands()
{
    QFETCH(QString, trigger);
    QFETCH(bool, confirm);
    QFETCH(QString, status);
    QFETCH(QString, alert);
    QFETCH(QStringList, calls);
    MainWindow &window = *m_window;
    SimControl &module = SimControl::instance();
    module.store(3, 1);
    module.store(40, 2);
    QVERIFY(click("打开设备"));
    m_pilot->alerts.clear();
    module.setFinger(1);
    module.clearCalls();
    listOf(window)->setCurrentIndex(listOf(window)->model()->index(0, 0));

    const QTemporaryDir folder;
    const QString file = folder.filePath("template.dat");
    const bool import = trigger == "Ctrl+O";
    const bool image = trigger == "打开图像…";
    const bool backup = trigger.contains("指纹库…");
    const QByteArray tag = QTest::currentDataTag();
    if (tag.endsWith("FIFO"))
        QCOMPARE(::mkfifo(QFile::encodeName(file).constData(), 0600), 0);
    else if (image)
        QVERIFY(module.writeBmp(QByteArray(92160, 'A'), file));
    else if (trigger == "恢复指纹库…")
        QVERIFY(writeFile(file, QByteArray(100, 'x')));
    else if (import)
        QVERIFY(
            writeFile(file, tag == "Ctrl+O, import" ? module.exported(3) : QByteArray(100, 'x')));
    if (import || image || backup || trigger == "Ctrl+E")
        m_pilot->files << file;
    m_pilot->answers << (tag == "password, empty for the default" ? "" : "7");
    m_pilot->confirmations << confirm;
    // The notepad: page 2 written, and the dialog closed once it shows the
    // page as the module took it.
    m_pilot->other = [](QWidget *dialog) {
        auto *page = dialog->findChild<QSpinBox *>();
        auto *pages = dialog->findChild<QPlainTextEdit *>("pages");
        if (!page || !pages)
            return;
        if (page->value() == 2) {
            if (pages->toPlainText().contains("02页 00h  41 42 43 00"))
                static_cast<QDialog *>(dialog)->reject();
            return;
        }
        page->setValue(2);
        dialog->findChild<QPlainTextEdit *>("pageBytes")->setPlainText("41 42 43");
        for (QPushButton *b : dialog->findChildren<QPushButton *>()) {
            if (b->text() == "写入…") // queued: its question needs the pilot back
                QMetaObject::invokeMethod(b, "click", Qt::QueuedConnection);
        }
    };

    if (QAction *command = action(window, trigger)) {
        command->trigger();
    } else {
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        QTest::keySequence(&window, QKeySequence(trigger));
    }
    QVERIFY(idle());
    QVERIFY(
        QTest::qWaitFor([&] { return settled(*window.worker()) && allEnabled(window); }, kWaitMs));
    QVERIFY2(QRegularExpression(status).match(statusLine(window)->text()).hasMatch(),
             qPrintable(statusLine(window)->text()));
    QCOMPARE(m_pilot->alerts.value(m_pilot->alerts.size() - 1), alert);
    // A question that cannot be undone is answered No by a stray Enter.
    QCOMPARE(m_pilot->defaults, alert.contains("确定") ? QStringList("No") : QStringList());
    QCOMPARE(moduleCalls(), calls);
    for (QAction *command : window.actions())
        QVERIFY(command->isEnabled() || command->text() == "保存图像…");
    if (trigger == "Ctrl+E")
        QCOMPARE(readFile(file), module.exported(3));
    if (trigger == "备份指纹库…") {
        const std::optional<Backup> written = decodeBackup(readFile(file));
        QVERIFY(written && written->templates.size() == 2);
        QCOMPARE(written->templates[1].id, 40);
        QCOMPARE(written->templates[1].bytes, module.exported(40));
    }
    if (import) {
        QCOMPARE(m_pilot->prompts,
                 calls.size() > 1 ? QStringList("提示|请输入导入ID(0-999)") : QStringList());
        QCOMPARE(captions(window).contains("指纹[7]"), calls.size() > 1);
    }
}

// A BMP the library wrote comes back pixel for pixel, with no device open,
// and can be saved as a captured frame can.
void tst_MainWindow::openedImageShownAsFrame()
{
    MainWindow &window = *m_window;
    const QTemporaryDir folder;
    const QString file = folder.filePath("frame.bmp");
    QByteArray pixels(256 * 288, '\0');
    for (int i = 0; i < pixels.size(); ++i)
        pixels[i] = char((i / 256) * 7 + (i % 256));
    QVERIFY(SimControl::instance().writeBmp(pixels, file));
    m_pilot->files << file;
    action(window, "打开图像…")->trigger();
    QVERIFY(QTest::qWaitFor(
        [&] { return settled(*window.worker()) && statusLine(window)->text() == "打开图像成功"; },
        kWaitMs));
    const QImage frame = window.frame().convertToFormat(QImage::Format_Grayscale8);
    QCOMPARE(frame.size(), QSize(256, 288));
    for (int y = 0; y < 288; ++y)
        QCOMPARE(QByteArray(reinterpret_cast<const char *>(frame.constScanLine(y)), 256),
                 pixels.mid(256 * y, 256));
    QVERIFY(action(window, "保存图像…")->isEnabled());
}

void tst_MainWindow::saveImage_data()
{
    QTest::addColumn<QString>("name"); // as typed in the file dialog
    QTest::addColumn<QString>("existing"); // at `target` before: "", "file" or "fifo"
    QTest::addColumn<bool>("replace"); // the answer to the question before replacing
    QTest::addColumn<QString>("target"); // the file the frame goes to
    QTest::addColumn<QByteArray>("format"); // as read back; empty when nothing is written
    QTest::addColumn<QString>("status");

    const auto row = [](const char *tag, const QString &name, const QString &existing, bool replace,
                        const QString &target, const QByteArray &format) {
        QTest::newRow(tag) << name << existing << replace << target << format
                           << (format.isEmpty() ? QString() : QString("保存图像成功"));
    };
    row("PNG", "frame.png", "", false, "frame.png", "png");
    row("BMP", "frame.bmp", "", false, "frame.bmp", "bmp");
    row("no suffix: PNG", "frame", "", false, "frame.png", "png");
    row("a suffix Qt writes: JPEG", "x.jpg", "", false, "x.jpg", "jpeg");
    row("another suffix: PNG added", "frame.v2", "", false, "frame.v2.png", "png");
    // The question is asked of the file really written, suffix and all.
    row("over a file, replaced", "frame", "file", true, "frame.png", "png");
    row("over a file, declined", "frame", "file", false, "frame.png", "");
    QTest::newRow("a FIFO") << "frame.png"
                            << "fifo" << false << "frame.png" << QByteArray() << "保存图像失败";
}

// The file holds the frame as the module took it, pixel for pixel, with no
// device call, written whole or not at all, never over a file the operator
// did not agree to replace, and never into anything but a regular file;
// with the idle picture shown there is nothing to save; the next dialog
// opens where the last one was left.
void tst_MainWindow::saveImage()
{
    QFETCH(QString, name);
    QFETCH(QString, existing);
    QFETCH(bool, replace);
    QFETCH(QString, target);
    QFETCH(QByteArray, format);
    QFETCH(QString, status);
    MainWindow &window = *m_window;
    QAction *command = action(window, "保存图像…");
    QVERIFY(!command->isEnabled());
    command->trigger();
    QVERIFY(m_pilot->fileDialogs.isEmpty());

    QVector<unsigned char> frame(256 * 288);
    for (int i = 0; i < frame.size(); ++i)
        frame[i] = static_cast<unsigned char>((i / 256) * 7 + (i % 256) * 3);
    window.Showfinger(frame.data(), 256, 288);
    QVERIFY(command->isEnabled());
    const QTemporaryDir folder;
    const QString path = folder.filePath(target);
    if (existing == "file")
        QVERIFY(writeFile(path, "old"));
    else if (existing == "fifo")
        QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    m_pilot->files << folder.filePath(name) << QString(); // a dialog again is cancelled
    m_pilot->confirmations << replace;
    command->trigger();
    QCOMPARE(statusLine(window)->text(), status);
    QCOMPARE(m_pilot->alerts,
             existing == "file" ? QStringList("提示|" + target + " 已存在，要替换它吗？")
                                : QStringList());
    QCOMPARE(m_pilot->defaults, existing == "file" ? QStringList("No") : QStringList());
    QCOMPARE(SimControl::instance().calls(), QStringList());
    if (existing == "fifo")
        QVERIFY(QFileInfo(path).exists() && !QFileInfo(path).isFile());
    if (format.isEmpty()) {
        if (existing == "file")
            QCOMPARE(readFile(path), QByteArray("old"));
        return;
    }
    QImageReader reader(path);
    QCOMPARE(reader.format(), format);
    const QImage image = reader.read();
    QCOMPARE(image.size(), QSize(256, 288));
    for (int y = 0; format != "jpeg" && y < 288; ++y)
        for (int x = 0; x < 256; ++x)
            if (image.pixel(x, y)
                != qRgb(frame[y * 256 + x], frame[y * 256 + x], frame[y * 256 + x]))
                QFAIL(qPrintable(QStringLiteral("pixel %1, %2").arg(x).arg(y)));
    QCOMPARE(QDir(folder.path()).entryList(QDir::Files), QStringList(target)); // no temporary left

    command->trigger(); // cancelled
    QCOMPARE(m_pilot->fileDialogs.last(), "保存图像|" + QDir(folder.path()).canonicalPath());
    window.Showlogo();
    QVERIFY(!command->isEnabled());
}

// A frame of 256 x 288 is shown pixel for pixel in grey; a taller one is
// squeezed into the label with nothing cut off; without a frame the label
// is blank.
void tst_MainWindow::imageView()
{
    QVector<unsigned char> frame(92160);
    for (int r = 0; r < 288; ++r)
        for (int c = 0; c < 256; ++c)
            frame[r * 256 + c] = static_cast<unsigned char>((r + 3 * c) & 0xff);
    m_window->Showfinger(frame.data(), 256, 288);
    QImage image = shown(*m_window);
    QCOMPARE(image.size(), QSize(256, 288));
    for (int r = 0; r < 288; ++r)
        for (int c = 0; c < 256; ++c)
            if (image.pixel(c, r)
                != qRgb(frame[r * 256 + c], frame[r * 256 + c], frame[r * 256 + c]))
                QFAIL(qPrintable(QStringLiteral("pixel %1, %2").arg(c).arg(r)));

    // 360 rows growing lighter downwards keep the whole range in 288.
    for (int r = 0; r < 360; ++r)
        memset(frame.data() + r * 256, r * 255 / 359, 256);
    m_window->Showfinger(frame.data(), 256, 360);
    image = shown(*m_window);
    QCOMPARE(image.size(), QSize(256, 288));
    QVERIFY(qGray(image.pixel(128, 0)) <= 2);
    QVERIFY(qGray(image.pixel(128, 287)) >= 253);
    QVERIFY(qAbs(qGray(image.pixel(128, 144)) - 144 * 360 / 288 * 255 / 359) <= 3);

    for (const QSize &size : {QSize(0, 288), QSize(256, 0), QSize(256, -3)}) {
        m_window->Showfinger(frame.data(), size.width(), size.height());
        QVERIFY(shown(*m_window).isNull());
    }
    m_window->Showfinger(nullptr, 256, 288);
    QVERIFY(shown(*m_window).isNull());
}

void tst_MainWindow::rowsFromBitmap_data()
{
    QTest::addColumn<Bitmap>("bits");
    QTest::addColumn<QStringList>("rows");
    QTest::newRow("all zero") << bitmap({}) << QStringList();
    QTest::newRow("ID 0") << bitmap({{0, 0x01}}) << range(0, 0);
    QTest::newRow("ID 7") << bitmap({{0, 0x80}}) << range(7, 7);
    QTest::newRow("ID 8") << bitmap({{1, 0x01}}) << range(8, 8);
    QTest::newRow("0, 2 and 23") << bitmap({{0, 0x05}, {2, 0x80}})
                                 << QStringList({"指纹[0]", "指纹[2]", "指纹[23]"});
    QTest::newRow("ID 1023") << bitmap({{127, 0x80}}) << range(1023, 1023);
    QTest::newRow("ID 4095") << bitmap({{511, 0x80}}) << range(4095, 4095);
    QTest::newRow("all set") << Bitmap(512, 0xff) << range(0, 4095);
}

// Shown over an earlier list with ID 1 selected: the new rows only, ID 1
// still selected where it is still stored, and the earlier model and
// selection model released.
void tst_MainWindow::rowsFromBitmap()
{
    QFETCH(Bitmap, bits);
    QFETCH(QStringList, rows);
    QListView *view = listOf(*m_window);
    Bitmap earlier = bitmap({{0, 0x03}});
    m_window->ShowFinglist(earlier.data());
    view->setCurrentIndex(view->model()->index(1, 0));
    const QPointer<QAbstractItemModel> earlierModel = view->model();
    const QPointer<QItemSelectionModel> earlierSelection = view->selectionModel();
    const int objects = view->findChildren<QObject *>().size();
    m_window->ShowFinglist(bits.data());
    QCOMPARE(captions(*m_window), rows);
    QStringList selected;
    for (const QModelIndex &index : view->selectionModel()->selectedIndexes())
        selected << index.data(kRowRecordRole).value<MuItemData>().singer;
    QCOMPARE(selected, rows.contains("指纹[1]") ? QStringList("指纹[1]") : QStringList());
    QVERIFY(earlierModel.isNull() && earlierSelection.isNull());
    QCOMPARE(view->findChildren<QObject *>().size(), objects);
    if (rows.isEmpty())
        return;
    // The caption is all a row shows; its ID is kept as data beside it.
    const QModelIndex last = view->model()->index(rows.size() - 1, 0);
    QVERIFY(last.data(Qt::DisplayRole).isNull() && last.data(Qt::DecorationRole).isNull());
    const MuItemData record = last.data(kRowRecordRole).value<MuItemData>();
    QVERIFY(record.iconPath.isEmpty() && record.songsNb.isEmpty());
    QCOMPARE(QStringLiteral("指纹[%1]").arg(last.data(kTemplateIdRole).toInt()), rows.last());
}

// An ID stored since the last read is scrolled into view, below the three
// rows the list shows; the selected ID stays selected.
void tst_MainWindow::newIdScrolledIntoView()
{
    QListView *view = listOf(*m_window);
    Bitmap bits = bitmap({{0, 0x3f}});
    m_window->ShowFinglist(bits.data());
    view->setCurrentIndex(view->model()->index(2, 0));
    bits[1] = 0x02; // ID 9
    m_window->ShowFinglist(bits.data());
    QCOMPARE(captions(*m_window).last(), QString("指纹[9]"));
    QVERIFY(view->viewport()->rect().contains(view->visualRect(view->model()->index(6, 0))));
    QCOMPARE(view->selectionModel()->selectedIndexes(), {view->model()->index(2, 0)});
}

// The worker's buffer is scribbled over right after each frame report, and
// each report is held until the worker waits for a slot for the image
// after the next eight: a slot given back before the window has read it is
// then written over at once. The window must still draw every frame whole,
// in order, and the worker must never run more than the bound ahead.
void tst_MainWindow::framesShownWholeAndInOrder()
{
    MainWindow &window = *m_window;
    QVERIFY(click("打开设备"));
    SimControl::instance().setFrameMode(VYRSIM_FRAMES_COUNTER);
    connect(
        window.worker(), &SThread::SShowfinger, window.worker(),
        [](unsigned char *, int, int) { memset(fpimage, 0xee, sizeof fpimage); },
        Qt::DirectConnection);
    int shownThisRun = 0;
    int mostInFlight = 0;
    const auto workerWaits = [&] {
        mostInFlight = qMax(mostInFlight, HandOver::instance().inFlight());
        const int uploads = SimControl::instance().calls().filter("VYRUpImage").size();
        return uploads >= qMin(shownThisRun + HandOver::kSlots + 1, 20) || !window.worker()->busy();
    };
    // Connected after the window, this runs right after each Showfinger.
    QVector<int> levels;
    QObject watcher;
    connect(window.worker(), &SThread::SShowfinger, &watcher, [&](unsigned char *, int, int) {
        const QImage image = shown(window);
        const int level = qGray(image.pixel(0, 0));
        bool whole = true;
        for (int y = 0; y < 288; y += 3)
            for (int x = 0; x < 256; x += 16)
                whole = whole && qGray(image.pixel(x, y)) == level;
        levels << (whole ? level : -1);
        ++shownThisRun;
        holdsWithin(workerWaits, kWaitMs);
    });
    for (int run = 0; run < 5; ++run) {
        SimControl::instance().clearCalls();
        shownThisRun = 0;
        window.btnviewfinger();
        QVERIFY(holdsWithin(workerWaits, kWaitMs));
        QVERIFY(idle());
    }
    QCOMPARE(levels.size(), 100);
    for (int i = 0; i < 100; ++i)
        QCOMPARE(levels.at(i), i + 1);
    // The worker waited for the window rather than run ahead: memory stayed bounded.
    QCOMPARE(mostInFlight, HandOver::kSlots);
    QCOMPARE(HandOver::instance().slotCount(), HandOver::kSlots);
}

// A bitmap's slot given back before the window has read it would take the
// frame of a worker that waits for a slot, while the list is being built.
void tst_MainWindow::bitmapReadBeforeItsSlotIsReused()
{
    QVERIFY(click("打开设备"));
    HandOver &handOver = HandOver::instance();
    const auto post = [&](const QByteArray &bytes) {
        return handOver.post(reinterpret_cast<const unsigned char *>(bytes.constData()),
                             bytes.size());
    };
    for (int i = 0; i < HandOver::kSlots; ++i) // slots as large as a frame: reused in place
        post(QByteArray(256 * 288, 0));
    handOver.discardAll();
    QVector<unsigned char *> untaken;
    for (int i = 1; i < HandOver::kSlots; ++i)
        untaken << post("x");
    unsigned char *bits = post(QByteArray(512, char(0xff)));
    SimControl::instance().setFrameMode(VYRSIM_FRAMES_COUNTER);
    SimControl::instance().clearCalls();
    m_window->btnviewfinger(); // its first frame waits for a slot
    QVERIFY(holdsWithin(
        [] { return SimControl::instance().calls().filter("VYRUpImage").size() == 1; }, kWaitMs));
    m_window->ShowFinglist(bits);
    QCOMPARE(captions(*m_window), range(0, 4095));
    for (unsigned char *slot : untaken)
        const HandOver::Receipt receipt(slot);
    QVERIFY(idle());
}

void tst_MainWindow::commandsRefusedDuringRun()
{
    MainWindow &window = *m_window;
    SimControl::instance().store(3, 1);
    QVERIFY(holdRunAtFirstImage());
    SimControl::instance().clearCalls();
    m_pilot->answers << QStringList {"5", "5"};
    window.btnopen();
    window.btnclose();
    window.btnviewfinger();
    window.btnenrollfp();
    window.btndelfp();
    window.btnsearchfp();
    // The other commands: their shortcuts are off, and called all the same
    // they refuse before any dialog.
    listOf(window)->setCurrentIndex(listOf(window)->model()->index(0, 0));
    m_pilot->confirmations << true << true;
    m_pilot->alerts.clear();
    QCoreApplication::sendPostedEvents(); // the run's first reports: the commands are off
    window.activateWindow();
    for (QAction *command : window.actions()) {
        QVERIFY(!command->isEnabled());
        if (!command->shortcut().isEmpty())
            QTest::keySequence(&window, command->shortcut());
    }
    for (const char *slot : {"saveImage", "matchFinger", "exportTemplate", "deleteTemplate",
                             "importTemplate", "emptyStore", "showModuleInfo", "editNotepad"})
        QVERIFY(QMetaObject::invokeMethod(window.findChild<ModuleCommands *>(), slot));
    QVERIFY(m_pilot->fileDialogs.isEmpty() && m_pilot->alerts.isEmpty());
    QCOMPARE(m_option.load(), int(OpCapture)); // the operation under way is untouched
    QCOMPARE(enrollid, 1000);
    QVERIFY(m_pilot->prompts.isEmpty());

    SimControl::instance().setFinger(1);
    SimControl::instance().gate("VYRGetImage", false);
    QVERIFY(idle());
    QCOMPARE(statusLine(window)->text(), QString("获取图像成功"));
    QVERIFY(SimControl::instance()
                .calls()
                .filter(QRegularExpression("^VYR(?!GetImage|UpImage)"))
                .isEmpty());
    QCOMPARE(m_option.load(), int(OpIdle));
    QVERIFY(allEnabled(window));
    for (QAction *command : window.actions())
        QVERIFY(command->isEnabled() || command->text() == "保存图像…");
}

// Closing the window ends the run at its next turn and waits for it.
void tst_MainWindow::closingWindowDuringRun()
{
    QVERIFY(holdRunAtFirstImage());
    SimControl::instance().clearCalls();
    {
        // The request in front of the gate goes on once the run is told to end.
        const Watchdog operatorHand([] { return m_option.load() == OpIdle; },
                                    [](bool) { SimControl::instance().gate("VYRGetImage", false); },
                                    kWaitMs);
        m_window.reset();
    }
    QCOMPARE(SimControl::instance().calls().filter("VYRGetImage").size(), 1);
    QCOMPARE(HandOver::instance().inFlight(), 0);
}

void tst_MainWindow::closeWaitsAtMostTheBound_data()
{
    QTest::addColumn<int>("boundMs");
    QTest::addColumn<bool>("outlasts"); // the call under way returns only after the bound
    QTest::newRow("the call returns in time") << int(MainWindow::kFinishBoundMs) << false;
    QTest::newRow("the call outlasts the bound") << 100 << true;
}

// Closed while an image request is held: the window stays and says why,
// the run is told to end at its next turn, and the program ends either once
// the run has returned, the window closing as usual, or when the bound
// passes, with its own status, whatever the call under way does.
void tst_MainWindow::closeWaitsAtMostTheBound()
{
    QFETCH(int, boundMs);
    QFETCH(bool, outlasts);
    int ended = -1;
    m_window->setFinishBound(boundMs, [&](int status) { ended = status; });
    QVERIFY(holdRunAtFirstImage());
    SimControl::instance().clearCalls();
    m_pilot->alerts.clear();
    m_window->close();
    QVERIFY(m_window->isVisible());
    QCOMPARE(statusLine(*m_window)->text(), QString("正在结束模块调用，请稍候…"));
    QCOMPARE(m_option.load(), int(OpIdle));
    if (outlasts) {
        QTRY_COMPARE_WITH_TIMEOUT(ended, int(MainWindow::kExitCallHung), kWaitMs);
        QVERIFY(m_window->isVisible());
    }
    SimControl::instance().gate("VYRGetImage", false);
    QTRY_VERIFY_WITH_TIMEOUT(!m_window->isVisible(), kWaitMs);
    QCOMPARE(ended, outlasts ? int(MainWindow::kExitCallHung) : -1);
    QCOMPARE(SimControl::instance().calls().filter("VYRGetImage").size(), 1);
    // Nothing more was started, nor any notice shown, once the window was closed.
    QVERIFY(!button(*m_window, "打开设备")->isEnabled() && m_pilot->alerts.isEmpty());
}

// Qt's own buttons speak the window's language.
void tst_MainWindow::qtTextsInChinese()
{
    QVERIFY(installQtChineseTranslation(*QCoreApplication::instance()));
    QMessageBox box;
    box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
    QVERIFY2(box.button(QMessageBox::No)->text().startsWith("否"),
             qPrintable(box.button(QMessageBox::No)->text()));
    QDialogButtonBox buttons(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    QCOMPARE(buttons.button(QDialogButtonBox::Cancel)->text().left(2), QString("取消"));
}

// A window closed while the device opens shows none of the open's reports:
// no notice after the window has gone.
void tst_MainWindow::closingWindowDuringOpen()
{
    SimControl::instance().gate("VYROpenDeviceEx", true);
    m_window->btnopen();
    QVERIFY(holdsWithin([] { return SimControl::instance().gateWaiting() == 1; }, kWaitMs));
    m_window->close();
    SimControl::instance().gate("VYROpenDeviceEx", false);
    QVERIFY(idle());
    QVERIFY(isopenok);
    QCOMPARE(m_pilot->alerts, QStringList());
}

// Every hand-over slot is held by reports the window has not taken when the
// close command blocks in its wait: the close run must not wait for a slot
// that the waiting window cannot give back.
void tst_MainWindow::closeWhileWindowIsBehind()
{
    QVERIFY(click("打开设备"));
    const unsigned char untaken = 0;
    for (int i = 0; i < HandOver::kSlots; ++i)
        HandOver::instance().post(&untaken, 1);
    std::atomic<bool> returned {false};
    std::atomic<bool> inTime {false};
    {
        const Watchdog rescue([&] { return returned.load(); },
                              [&](bool ok) {
                                  inTime = ok;
                                  if (!ok)
                                      HandOver::instance().discardAll();
                              },
                              kWaitMs);
        m_window->btnclose(); // returns only once the close run has
        returned = true;
    }
    QVERIFY(inTime);
    QVERIFY(idle());
    QCOMPARE(m_pilot->alerts.last(), QString("提示|关闭设备成功"));
}

QTEST_MAIN(tst_MainWindow)
#include "tst_mainwindow.moc"
