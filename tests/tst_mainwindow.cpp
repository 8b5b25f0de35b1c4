// The window with its worker on the simulated module: start-up state and
// layout, the commands and their notices, the ID prompts, the image view,
// and the guards around a run under way (hand-over of frames, commands
// during a run, closing the window during a run).

#include "devicestate.h"
#include "handover.h"
#include "mainwindow.h"
#include "modalpilot.h"
#include "simcontrol.h"
#include "vyrsim.h"
#include "windowparts.h"
#include "workerharness.h"

#include <QLabel>
#include <QListView>
#include <QMetaMethod>
#include <QPushButton>
#include <QRegularExpression>
#include <QtTest>

#include <memory>
#include <thread>

namespace {

QPushButton *button(MainWindow &window, const QString &text)
{
    for (QPushButton *b : window.findChildren<QPushButton *>()) {
        if (b->text() == text)
            return b;
    }
    return nullptr;
}

QImage shown(const MainWindow &window)
{
    return labelPixmap(window.f_finger).toImage();
}

bool idle(MainWindow &window)
{
    return settled(*window.worker());
}

const QStringList kButtons {"打开设备", "关闭设备", "连续采图", "注册指纹", "删除指纹", "搜索指纹"};

} // namespace

class tst_MainWindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void startUpState();
    void slotsAndSignalsInOrder();
    void enableButtonsTouchesOnlyButtons();
    void openAndClose();
    void closeWithoutDevice();
    void openWithoutModule();
    void closeFailureIsReported();
    void idPrompt_data();
    void idPrompt();

    void imageShownPixelForPixel();
    void imageSqueezedToLabel();
    void imageNothingToShow_data();
    void imageNothingToShow();

    void framesShownWholeAndInOrder();
    void commandsRefusedDuringRun();
    void closingWindowDuringRun();
    void closeWhileWindowIsBehind();

private:
    std::unique_ptr<MainWindow> m_window;
    std::unique_ptr<ModalPilot> m_pilot;
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
    m_window.reset();
    m_pilot.reset();
}

void tst_MainWindow::startUpState()
{
    MainWindow &window = *m_window;
    QCOMPARE(window.size(), QSize(480, 320));
    QCOMPARE(window.minimumSize(), QSize(480, 320));
    QCOMPARE(window.maximumSize(), QSize(480, 320));
    QVERIFY(window.windowFlags().testFlag(Qt::Dialog));
    QVERIFY(window.windowFlags().testFlag(Qt::WindowCloseButtonHint));
    QVERIFY(window.windowTitle().isEmpty());

    const QVector<QRect> geometry {{270, 10, 90, 35}, {370, 10, 90, 35}, {270, 50, 90, 35},
                                   {270, 90, 90, 35}, {370, 90, 90, 35}, {270, 130, 90, 35}};
    for (int i = 0; i < kButtons.size(); ++i) {
        QPushButton *b = button(window, kButtons.at(i));
        QVERIFY2(b, qPrintable(kButtons.at(i)));
        QCOMPARE(b->geometry(), geometry.at(i));
        QVERIFY(b->isEnabled());
    }
    QCOMPARE(window.findChildren<QPushButton *>().size(), 6);
    QCOMPARE(statusLine(window)->geometry(), QRect(10, 290, 450, 22));
    QVERIFY(statusLine(window)->text().isEmpty());
    QListView *list = window.findChild<QListView *>();
    QCOMPARE(list->geometry(), QRect(272, 180, 200, 110));
    QVERIFY(list->model() == nullptr);

    QCOMPARE(window.f_finger->geometry(), QRect(0, 0, 256, 288));
    QImage idlePicture(QCoreApplication::applicationDirPath() + "/image/default.jpg");
    QVERIFY(!idlePicture.isNull());
    const QImage expected = QPixmap::fromImage(idlePicture)
                                .scaled(256, 288, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                                .toImage();
    QCOMPARE(shown(window), expected);
    QVERIFY(!window.windowIcon().isNull());
}

void tst_MainWindow::slotsAndSignalsInOrder()
{
    const QMetaObject &window = MainWindow::staticMetaObject;
    const QStringList slotNames {"btnopen()",
                                 "btnclose()",
                                 "btnviewfinger()",
                                 "btnenrollfp()",
                                 "btndelfp()",
                                 "btnsearchfp()",
                                 "ShowMsg(QString)",
                                 "Enable_btn(bool)",
                                 "Showfinger(unsigned char*,int,int)",
                                 "Showlogo()",
                                 "ShowFinglist(unsigned char*)",
                                 "ShowAlert(QString)"};
    QCOMPARE(window.methodCount() - window.methodOffset(), slotNames.size());
    for (int i = 0; i < slotNames.size(); ++i)
        QCOMPARE(QString(window.method(window.methodOffset() + i).methodSignature()),
                 slotNames.at(i));

    const QMetaObject &worker = SThread::staticMetaObject;
    const QStringList signalNames {"SShowMsg(QString)", "SShowAlert(QString)", "SEnable_btn(bool)",
                                   "SShowfinger(unsigned char*,int,int)",
                                   "SShowFinglist(unsigned char*)"};
    QCOMPARE(worker.methodCount() - worker.methodOffset(), signalNames.size());
    for (int i = 0; i < signalNames.size(); ++i) {
        const QMetaMethod method = worker.method(worker.methodOffset() + i);
        QCOMPARE(method.methodType(), QMetaMethod::Signal);
        QCOMPARE(QString(method.methodSignature()), signalNames.at(i));
    }
}

void tst_MainWindow::enableButtonsTouchesOnlyButtons()
{
    MainWindow &window = *m_window;
    window.Enable_btn(false);
    for (const QString &text : kButtons)
        QVERIFY(!button(window, text)->isEnabled());
    QVERIFY(window.findChild<QListView *>()->isEnabled());
    QVERIFY(statusLine(window)->isEnabled());
    window.Enable_btn(true);
    for (const QString &text : kButtons)
        QVERIFY(button(window, text)->isEnabled());
}

void tst_MainWindow::openAndClose()
{
    MainWindow &window = *m_window;
    QTest::mouseClick(button(window, "打开设备"), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(idle(window), 60000);
    QCOMPARE(m_pilot->alerts, QStringList({"提示|打开设备成功"}));
    for (const QString &text : kButtons)
        QVERIFY(button(window, text)->isEnabled());

    SimControl::instance().setFinger(1);
    QTest::mouseClick(button(window, "连续采图"), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(idle(window), 60000);
    QCOMPARE(statusLine(window)->text(), QString("获取图像成功"));
    const QImage finger = shown(window);

    QTest::mouseClick(button(window, "关闭设备"), Qt::LeftButton);
    QVERIFY(shown(window) != finger); // the idle picture, at once
    QTRY_VERIFY_WITH_TIMEOUT(idle(window), 60000);
    QCOMPARE(m_pilot->alerts, QStringList({"提示|打开设备成功", "提示|关闭设备成功"}));
    QVERIFY(SimControl::instance().calls().contains(
        QStringLiteral("VYRCloseDeviceEx(%1) = 0").arg(hHandle[0])));
    QCOMPARE(m_option.load(), int(OpIdle));
}

void tst_MainWindow::closeWithoutDevice()
{
    MainWindow &window = *m_window;
    window.Showfinger(nullptr, 0, 0);
    QVERIFY(shown(window).isNull());
    QTest::mouseClick(button(window, "关闭设备"), Qt::LeftButton);
    QVERIFY(!shown(window).isNull()); // the idle picture came back before any report
    QTRY_VERIFY_WITH_TIMEOUT(idle(window), 60000);
    QCOMPARE(statusLine(window)->text(), QString("请先打开设备"));
    QCOMPARE(SimControl::instance().calls(), QStringList());
    QVERIFY(m_pilot->alerts.isEmpty());
    QVERIFY(button(window, "关闭设备")->isEnabled());
}

void tst_MainWindow::openWithoutModule()
{
    MainWindow &window = *m_window;
    SimControl::instance().setAttached(false);
    window.btnopen();
    QTRY_VERIFY_WITH_TIMEOUT(idle(window), 60000);
    QCOMPARE(m_pilot->alerts, QStringList({"提示|打开设备失败"}));
    QCOMPARE(statusLine(window)->text(), QString("请先打开设备"));
    QVERIFY(window.findChild<QListView *>()->model() != nullptr);
    QCOMPARE(window.findChild<QListView *>()->model()->rowCount(), 0);
    for (const QString &text : kButtons)
        QVERIFY(button(window, text)->isEnabled());
}

void tst_MainWindow::closeFailureIsReported()
{
    MainWindow &window = *m_window;
    window.btnopen();
    QTRY_VERIFY_WITH_TIMEOUT(idle(window), 60000);
    SimControl::instance().fail("VYRCloseDeviceEx", 1, 1, 3);
    window.btnclose();
    QTRY_VERIFY_WITH_TIMEOUT(idle(window), 60000);
    QCOMPARE(m_pilot->alerts.last(), QString("提示|关闭设备失败"));
    window.btnviewfinger();
    QTRY_VERIFY_WITH_TIMEOUT(idle(window), 60000);
    QCOMPARE(statusLine(window)->text(), QString("请先打开设备"));
}

void tst_MainWindow::idPrompt_data()
{
    QTest::addColumn<QString>("typed"); // null: the prompt is cancelled
    QTest::addColumn<QString>("id"); // what reaches the module, or empty for nothing

    const struct
    {
        const char *tag;
        QString typed;
        QString id;
    } cases[] = {
        {"letters", "abc", ""},
        {"empty", "", ""},
        {"cancel", QString(), ""},
        {"negative", "-5", ""},
        {"in range", "7", "7"},
        {"1500", "1500", "1500"},
        {"2147483647", "2147483647", "2147483647"},
        {"2147483648", "2147483648", ""},
        {"4294967295", "4294967295", ""},
        {"above 4294967295", "4294967296", ""},
        {"surrounding spaces", " 12 ", "12"},
        {"inner space", "1 2", ""},
    };
    for (const auto &c : cases)
        QTest::newRow(c.tag) << c.typed << c.id;
}

void tst_MainWindow::idPrompt()
{
    QFETCH(QString, typed);
    QFETCH(QString, id);
    MainWindow &window = *m_window;
    window.btnopen();
    QTRY_VERIFY_WITH_TIMEOUT(idle(window), 60000);
    SimControl::instance().clearCalls();
    statusLine(window)->clear();

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
            for (const QString &text : kButtons)
                QVERIFY(button(window, text)->isEnabled());
        } else {
            QTRY_VERIFY_WITH_TIMEOUT(idle(window), 60000);
            QCOMPARE(enrollid, id.toInt());
        }
    }
    QCOMPARE(SimControl::instance().calls().filter("VYRDelChar"),
             id.isEmpty()
                 ? QStringList()
                 : QStringList({QStringLiteral("VYRDelChar(%1, -1, %2, 1) = %3")
                                    .arg(hHandle[0])
                                    .arg(id)
                                    .arg(id.toInt() < 1000 ? 0 : int(VYRSIM_ERR_BAD_ID))}));
}

void tst_MainWindow::imageShownPixelForPixel()
{
    QVector<unsigned char> frame(256 * 288);
    for (int r = 0; r < 288; ++r)
        for (int c = 0; c < 256; ++c)
            frame[r * 256 + c] = static_cast<unsigned char>((r + 3 * c) & 0xff);
    m_window->Showfinger(frame.data(), 256, 288);
    const QImage image = shown(*m_window);
    QCOMPARE(image.size(), QSize(256, 288));
    for (int r = 0; r < 288; r += 7)
        for (int c = 0; c < 256; c += 5)
            QCOMPARE(image.pixel(c, r),
                     qRgb(frame[r * 256 + c], frame[r * 256 + c], frame[r * 256 + c]));
}

void tst_MainWindow::imageSqueezedToLabel()
{
    // Rows of 256 x 360 grow darker downwards; squeezed, the 288 rows keep
    // the whole range, top to bottom.
    QVector<unsigned char> frame(92160);
    for (int r = 0; r < 360; ++r)
        memset(frame.data() + r * 256, r * 255 / 359, 256);
    m_window->Showfinger(frame.data(), 256, 360);
    const QImage image = shown(*m_window);
    QCOMPARE(image.size(), QSize(256, 288));
    QVERIFY(qGray(image.pixel(128, 0)) <= 2);
    QVERIFY(qGray(image.pixel(128, 287)) >= 253);
    QVERIFY(qAbs(qGray(image.pixel(128, 144)) - 144 * 360 / 288 * 255 / 359) <= 3);
}

void tst_MainWindow::imageNothingToShow_data()
{
    QTest::addColumn<bool>("null");
    QTest::addColumn<int>("w");
    QTest::addColumn<int>("h");
    QTest::newRow("null pointer") << true << 256 << 288;
    QTest::newRow("zero width") << false << 0 << 288;
    QTest::newRow("zero height") << false << 256 << 0;
    QTest::newRow("negative height") << false << 256 << -3;
}

void tst_MainWindow::imageNothingToShow()
{
    QFETCH(bool, null);
    QFETCH(int, w);
    QFETCH(int, h);
    QVector<unsigned char> frame(92160, 9);
    m_window->Showfinger(null ? nullptr : frame.data(), w, h);
    QVERIFY(shown(*m_window).isNull());
}

// The worker's buffer is scribbled over right after each frame report; the
// window must still draw every frame as it was reported, whole, in order.
void tst_MainWindow::framesShownWholeAndInOrder()
{
    MainWindow &window = *m_window;
    window.btnopen();
    QTRY_VERIFY_WITH_TIMEOUT(idle(window), 60000);
    SimControl::instance().setFrameMode(VYRSIM_FRAMES_COUNTER);
    connect(
        window.worker(), &SThread::SShowfinger, window.worker(),
        [](unsigned char *, int, int) { memset(fpimage, 0xee, sizeof fpimage); },
        Qt::DirectConnection);
    // Connected after the window, this runs right after each Showfinger.
    QVector<int> levels;
    QObject watcher;
    connect(
        window.worker(), &SThread::SShowfinger, &watcher,
        [&](unsigned char *, int, int) {
            const QImage image = shown(window);
            const int level = qGray(image.pixel(0, 0));
            bool whole = true;
            for (int y = 0; y < 288; y += 9)
                for (int x = 0; x < 256; x += 8)
                    whole = whole && qGray(image.pixel(x, y)) == level;
            levels << (whole ? level : -1);
        },
        Qt::QueuedConnection);
    for (int run = 0; run < 5; ++run) {
        window.btnviewfinger();
        QTRY_VERIFY_WITH_TIMEOUT(idle(window), 60000);
    }
    QCOMPARE(levels.size(), 100);
    for (int i = 0; i < 100; ++i)
        QCOMPARE(levels.at(i), i + 1);
}

void tst_MainWindow::commandsRefusedDuringRun()
{
    MainWindow &window = *m_window;
    window.btnopen();
    QTRY_VERIFY_WITH_TIMEOUT(idle(window), 60000);
    SimControl::instance().gate("VYRGetImage", true);
    window.btnviewfinger();
    QTRY_COMPARE_WITH_TIMEOUT(SimControl::instance().gateWaiting(), 1, 60000);
    SimControl::instance().clearCalls();
    m_pilot->answers << "5"
                     << "5";

    window.btnopen();
    window.btnclose();
    window.btnviewfinger();
    window.btnenrollfp();
    window.btndelfp();
    window.btnsearchfp();
    QCOMPARE(m_option.load(), int(OpCapture)); // the operation under way is untouched
    QCOMPARE(enrollid, 1000);
    QVERIFY(m_pilot->prompts.isEmpty());

    SimControl::instance().setFinger(1);
    SimControl::instance().gate("VYRGetImage", false);
    QTRY_VERIFY_WITH_TIMEOUT(idle(window), 60000);
    QCOMPARE(statusLine(window)->text(), QString("获取图像成功"));
    const QStringList calls = SimControl::instance().calls();
    QVERIFY(calls.filter(QRegularExpression("^VYR(?!GetImage|UpImage)")).isEmpty());
    QCOMPARE(m_option.load(), int(OpIdle));
    for (const QString &text : kButtons)
        QVERIFY(button(window, text)->isEnabled());
}

void tst_MainWindow::closingWindowDuringRun()
{
    m_window->btnopen();
    QTRY_VERIFY_WITH_TIMEOUT(idle(*m_window), 60000);
    SimControl::instance().gate("VYRGetImage", true);
    m_window->btnviewfinger();
    QTRY_COMPARE_WITH_TIMEOUT(SimControl::instance().gateWaiting(), 1, 60000);
    SimControl::instance().clearCalls();
    std::thread operatorHand([] {
        while (m_option.load() != OpIdle)
            std::this_thread::yield();
        SimControl::instance().gate("VYRGetImage", false);
    });
    m_window.reset(); // the run ends at its next turn, and the window waits for it
    operatorHand.join();
    QCOMPARE(SimControl::instance().calls().filter("VYRGetImage").size(), 1);
    QCOMPARE(HandOver::instance().inFlight(), 0);
}

// Every hand-over slot is still held by reports the window has not taken
// when the close command blocks in its wait: the close run must not wait
// for a slot the waiting window cannot give back.
void tst_MainWindow::closeWhileWindowIsBehind()
{
    MainWindow &window = *m_window;
    window.btnopen();
    QTRY_VERIFY_WITH_TIMEOUT(idle(window), 60000);
    const unsigned char untaken = 0;
    for (int i = 0; i < HandOver::kSlots; ++i)
        HandOver::instance().post(&untaken, 1);
    window.btnclose(); // returns only once the close run has
    QVERIFY(!window.worker()->busy());
    QTRY_COMPARE_WITH_TIMEOUT(m_pilot->alerts.last(), QString("提示|关闭设备成功"), 60000);
    HandOver::instance().discardAll();
}

QTEST_MAIN(tst_MainWindow)
#include "tst_mainwindow.moc"
