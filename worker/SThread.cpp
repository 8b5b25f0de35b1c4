#include "SThread.h"

#include "commandtable.h"
#include "devicestate.h"
#include "handover.h"
#include "modulelib.h"
#include "moduletrace.h"

#include <QCoreApplication>
#include <QLibrary>

#include <atomic>
#include <cstring>

namespace {

constexpr int kCountdown = 20; // poll cycles before a wait for a finger gives up
constexpr unsigned long kPollPauseMicroseconds = 300;
constexpr int kIndexPages = 4;
constexpr int kIndexPageBytes = 32;

// Set while run() executes. Its release at the end of a run is what busy()
// acquires, so that the next command sees everything the run wrote.
std::atomic<bool> runUnderWay {false};

class RunMarker
{
public:
    RunMarker() { runUnderWay.store(true, std::memory_order_relaxed); }
    ~RunMarker() { runUnderWay.store(false, std::memory_order_release); }
    RunMarker(const RunMarker &) = delete;
    RunMarker &operator=(const RunMarker &) = delete;
};

QString waitText(int secondsLeft)
{
    return QString::asprintf("等待按压指纹 时间:%ds", secondsLeft);
}

} // namespace

SThread::SThread()
    : QThread(nullptr)
{
    qRegisterMetaType<ModuleReport>("ModuleReport");
    Loadso();
}

SThread::~SThread()
{
    // A thread object must never be destroyed while its thread runs.
    stop();
}

void SThread::Loadso()
{
    const QString path = QCoreApplication::applicationDirPath() + "/" + "lib/libvyr_uos.so";
    // Destroying a QLibrary does not unload the library, so the bound pointers
    // stay valid for the life of the process.
    qlib = new QLibrary(path, this);
    if (!qlib->load() || !qlib->isLoaded())
        return;

        // Each pointer takes the symbol of its own name; a missing one stays null.
#define BIND(result, entry, parameters, shapes)                                                    \
    entry = reinterpret_cast<Q_##entry>(qlib->resolve(#entry));
    VYR_ENTRY_POINTS(BIND)
#undef BIND

    isdllok = true;
}

void SThread::run()
{
    const RunMarker marker;

    if (!isdllok) {
        emit SShowMsg("找不到动态库");
        return;
    }
    emit SEnable_btn(false);

    // The row of the command, read before the open, which may end the run.
    const CommandRow *command = commandRow(m_option);
    const QString missing = command ? missingEntryPoint(*command) : QString();
    if (!missing.isEmpty()) {
        emit SShowMsg(QString("动态库缺少接口 %1").arg(missing));
        m_option = OpIdle;
        emit SEnable_btn(true);
        return;
    }

    runfopen();
    if ((!command || command->needsDevice) && !isopenok) {
        emit SShowMsg("请先打开设备");
        m_option = OpIdle;
        emit SEnable_btn(true);
        return;
    }
    // Every runner acts only while m_option holds its own code.
    if (command && command->operation != OpOpen)
        (this->*command->runner)();

    m_option = OpIdle;
    emit SEnable_btn(true);
}

void SThread::runfopen()
{
    if (m_option != OpOpen)
        return;
    VYR(VYR_SETPATH, 2, 1);
    const int ret = VYR(VYROpenDeviceEx, hHandle, 2, nullptr, 2, 0);
    if (ret == 0) {
        emit SShowAlert("打开设备成功");
        fplist();
        isopenok = true;
    } else {
        std::memset(UserContent, 0, sizeof UserContent);
        showIndex();
        emit SShowAlert("打开设备失败");
    }
}

void SThread::runfclose()
{
    if (m_option != OpClose)
        return;
    const int ret = VYR(VYRCloseDeviceEx, hHandle[0]);
    // The device counts as closed whatever the module says; the notice tells the truth.
    isopenok = false;
    emit SShowAlert(ret == 0 ? "关闭设备成功" : "关闭设备失败");
    std::memset(UserContent, 0, sizeof UserContent);
    showIndex();
}

void SThread::runfviewfinger()
{
    int timeover = kCountdown;
    int isfpon = 0;
    while (m_option == OpCapture) {
        --timeover;
        emit SShowMsg(waitText(timeover));
        const int ret = captureImage();
        QThread::usleep(kPollPauseMicroseconds);
        if (ret != 0) {
            isfpon = 0;
        } else if (++isfpon >= 2) {
            emit SShowMsg("获取图像成功");
            return;
        }
        if (timeover < 1)
            return;
    }
}

void SThread::runfenrollfinger()
{
    int timeover = kCountdown; // cycles without an image; back to full on every image
    int isfpon = 0; // consecutive cycles with an image
    int isfpup = 0; // a feature was attempted from the present press
    int fpbuffer = 0; // features made, and the buffer of the next attempt
    while (m_option == OpEnroll) {
        --timeover;
        int ret = captureImage();
        if (ret != 0) {
            // No finger: the wait goes on, and a lifted finger may press again.
            emit SShowMsg(waitText(timeover));
            isfpon = 0;
            isfpup = 0;
        } else {
            ++isfpon;
            timeover = kCountdown;
            if (isfpon >= 2) {
                emit SShowMsg("获取图像成功");
                if (isfpup != 0) {
                    emit SShowMsg("请抬起手指..........");
                    continue;
                }
                isfpup = 1;
                ret = VYR(VYRGenChar, hHandle[0], DEV_ADDR, fpbuffer);
                if (ret == 0) {
                    ++fpbuffer;
                    emit SShowMsg("生成特征成功");
                } else {
                    emit SShowMsg("生成特征失败");
                }
                QThread::usleep(enrollPauseMicroseconds);
                if (fpbuffer == 2) {
                    ret = VYR(VYRRegModule, hHandle[0], DEV_ADDR);
                    if (ret != 0) {
                        // The two presses do not make one template: start over.
                        isfpon = 0;
                        isfpup = 0;
                        fpbuffer = 0;
                        continue;
                    }
                    ret = VYR(VYRStoreChar, hHandle[0], DEV_ADDR, 1, enrollid);
                    emit SShowMsg(ret != 0 ? "注册失败" : "注册成功");
                    fplist();
                    return;
                }
            }
        }
        if (timeover < 1)
            return;
    }
}

void SThread::runfdelfinger()
{
    if (m_option != OpDelete)
        return;
    const int ret = VYR(VYRDelChar, hHandle[0], DEV_ADDR, enrollid, 1);
    emit SShowMsg(
        QString::asprintf(ret == 0 ? "删除指纹[%d] 成功" : "删除指纹[%d] 失败", enrollid));
    fplist();
}

void SThread::runfsearchfinger()
{
    if (!featureFromPress(OpSearch))
        return;
    int nFinger = 0;
    int nSorce = 0; // the search's score; the name is established, spelling and all
    const int ret = VYR(VYRSearch, hHandle[0], DEV_ADDR, 1, 0, 1000, &nFinger, &nSorce);
    emit SShowMsg(ret == 0 ? QString::asprintf("搜索成功 ID:%d 得分:%d", nFinger, nSorce)
                           : QString("搜索失败"));
}

// The wait for a finger of search and 1:1 match: a countdown of 20 cycles
// that is never set back, two consecutive images, then a feature into
// buffer 1. True once the feature is made; false when the countdown ran out
// or the run was told to end.
bool SThread::featureFromPress(int operation)
{
    int timeover = kCountdown;
    int isfpon = 0;
    while (m_option == operation) {
        --timeover;
        emit SShowMsg(waitText(timeover));
        int ret = captureImage();
        QThread::usleep(kPollPauseMicroseconds);
        if (ret != 0) {
            isfpon = 0;
        } else if (++isfpon >= 2) {
            emit SShowMsg("获取图像成功");
            ret = VYR(VYRGenChar, hHandle[0], DEV_ADDR, 1);
            if (ret != 0) {
                // The finger is still on: the next cycle tries again, without the timeout test.
                emit SShowMsg("生成特征失败");
                continue;
            }
            return true;
        }
        if (timeover < 1)
            return false;
    }
    return false;
}

void SThread::fplist()
{
    if (readIndex(UserContent))
        showIndex();
}

bool SThread::readIndex(unsigned char *bits)
{
    std::memset(bits, 0, kIndexBytes);
    int ret = -1;
    for (int page = 0; page < kIndexPages; ++page) {
        ret = VYR(VYRReadIndexTable, hHandle[0], DEV_ADDR, page, bits + kIndexPageBytes * page);
        if (ret != 0)
            break;
    }
    return ret == 0;
}

// The setters run on the GUI thread while no run is under way. Exchanging
// the code (rather than storing it) also reads the end-of-run reset, which
// orders the last run's writes before this command's run.
void SThread::fopen()
{
    m_option.exchange(OpOpen);
}

void SThread::fclose()
{
    m_option.exchange(OpClose);
}

void SThread::fviewfinger()
{
    m_option.exchange(OpCapture);
}

void SThread::fenrollfinger(int id)
{
    m_option.exchange(OpEnroll);
    enrollid = id;
}

void SThread::fdelfinger(int id)
{
    m_option.exchange(OpDelete);
    enrollid = id;
}

void SThread::fsearchfinger()
{
    m_option.exchange(OpSearch);
}

void SThread::fcommand(Operation operation, const CommandInput &input)
{
    m_option.exchange(operation);
    if (input.id)
        enrollid = *input.id;
    m_payload = input.payload;
    m_page = input.page;
}

bool SThread::busy() const
{
    return runUnderWay.load(std::memory_order_acquire) || isRunning();
}

void SThread::requestStop()
{
    m_option = OpIdle;
}

void SThread::stop()
{
    requestStop();
    waitForRun();
}

void SThread::waitForRun()
{
    // Waited for even when isRunning() already says false: that is so while
    // the thread still emits finished(), which reads this object. The window
    // cannot take reports while it waits here, so the run must not wait for
    // it to give hand-over slots back.
    const HandOver::ReceiverWaiting waiting;
    wait();
    busy(); // orders the last run's writes before whatever the caller does next
}

int SThread::captureImage()
{
    int nImageLen = 0;
    const int ret = VYR(VYRGetImage, hHandle[0], DEV_ADDR);
    VYR(VYRUpImage, hHandle[0], DEV_ADDR, fpimage, &nImageLen);
    showImage();
    return ret;
}

void SThread::showImage()
{
    emit SShowfinger(HandOver::instance().post(fpimage, kImageWidth * kImageHeight), kImageWidth,
                     kImageHeight);
}

void SThread::showIndex()
{
    emit SShowFinglist(HandOver::instance().post(UserContent, kIndexBytes));
}
