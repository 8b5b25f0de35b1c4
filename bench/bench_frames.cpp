// What one live frame costs on its way from the module to the screen: the
// simulated module's rendering, the hand-over copy, the window's drawing,
// and a whole capture run with the module answering at once.

#include "SThread.h"
#include "benchmain.h"
#include "devicestate.h"
#include "handover.h"
#include "mainwindow.h"

#include <QApplication>
#include <QLibrary>
#include <QtTest>

#include <vector>

class bench_Frames : public QObject
{
    Q_OBJECT

private slots:
    void handOver();
    void showFrame();
    void captureRun();
};

void bench_Frames::handOver()
{
    std::vector<unsigned char> frame(kImageWidth * kImageHeight, 77);
    QBENCHMARK
    {
        unsigned char *slot = HandOver::instance().post(frame.data(), int(frame.size()));
        const HandOver::Receipt receipt(slot);
    }
}

void bench_Frames::showFrame()
{
    MainWindow window;
    std::vector<unsigned char> frame(kImageWidth * kImageHeight);
    for (std::size_t i = 0; i < frame.size(); ++i)
        frame[i] = static_cast<unsigned char>(i * 7);
    QBENCHMARK
    {
        window.Showfinger(frame.data(), kImageWidth, kImageHeight);
    }
}

// Twenty cycles with no finger, module delays off: the worker's own pace,
// bounded by the window taking the frames.
void bench_Frames::captureRun()
{
    QLibrary module(QCoreApplication::applicationDirPath() + "/lib/libvyr_uos.so");
    QVERIFY(module.load());
    reinterpret_cast<void (*)()>(module.resolve("vyrsim_reset"))();
    MainWindow window;
    SThread *worker = window.worker();
    // Open the module behind the worker's back: the open command's notice
    // would wait for someone to close it.
    using Open = int (*)(int *, int, const char *, int, int);
    QCOMPARE(reinterpret_cast<Open>(module.resolve("VYROpenDeviceEx"))(hHandle, 2, nullptr, 2, 0),
             0);
    isopenok = true;
    QBENCHMARK
    {
        worker->fviewfinger();
        worker->start();
        while (worker->busy())
            QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents();
    }
}

FPDESK_BENCH_MAIN(bench_Frames)
#include "bench_frames.moc"
