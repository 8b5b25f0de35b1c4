// What a recording of module calls costs and weighs, and how fast it
// replays: the time a call takes more while recorded, the file for 1,000
// captured frames and for ten minutes of capture at the module's default
// delay, and the calls a second the stand-in answers from a recording at
// VYRSIM_REPLAY_SPEED=0. Runs the program's own recorder on the stand-in:
// build/bin/bench_recording [FOLDER] (a temporary folder when none is named).

#include "callrecorder.h"
#include "devicestate.h"
#include "modulelib.h"
#include "moduletrace.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLibrary>
#include <QTemporaryDir>

#include <cstdio>
#include <vector>

namespace {

QLibrary *module = nullptr;

template<typename T> T control(const char *name)
{
    return reinterpret_cast<T>(module->resolve(name));
}

int handle = 0;
std::vector<unsigned char> frame(kImageBufferBytes);

// One capture as the worker makes it: an image request and its upload.
void capture()
{
    int length = 0;
    VYR(VYRGetImage, handle, DEV_ADDR);
    VYR(VYRUpImage, handle, DEV_ADDR, frame.data(), &length);
}

double microsPerCall(int calls, void (*body)())
{
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < calls; ++i)
        body();
    return timer.nsecsElapsed() / 1000.0 / calls;
}

void countTemplates()
{
    int count = 0;
    VYR(VYRTemplateNum, handle, DEV_ADDR, &count);
}

// Records `frames` captures into `path`; the file's size in bytes.
qint64 recordCaptures(const QString &path, int frames, bool lean)
{
    CallRecorder::start(path, lean, QStringLiteral("bench_recording"));
    for (int i = 0; i < frames; ++i)
        capture();
    CallRecorder::stop();
    return QFileInfo(path).size();
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QLibrary library(QCoreApplication::applicationDirPath() + "/lib/libvyr_uos.so");
    if (!library.load()) {
        std::fprintf(stderr, "bench_recording: %s\n", qPrintable(library.errorString()));
        return 1;
    }
    module = &library;
#define BIND(result, entry, parameters, shapes)                                                    \
    entry = reinterpret_cast<Q_##entry>(library.resolve(#entry));
    VYR_ENTRY_POINTS(BIND)
#undef BIND
    QTemporaryDir temporary;
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : temporary.path();

    control<void (*)()>("vyrsim_reset")();
    VYR(VYROpenDeviceEx, &handle, 2, nullptr, 2, 0);
    control<void (*)(int)>("vyrsim_set_finger")(1);

    // The cost of recording: the same calls, off and on, the module at once.
    const int calls = 20000;
    const double off = microsPerCall(calls, countTemplates);
    CallRecorder::start(folder + "/cost.rec", false, QStringLiteral("bench_recording"));
    const double on = microsPerCall(calls, countTemplates);
    CallRecorder::stop();
    const double captureOff = microsPerCall(200, capture);
    CallRecorder::start(folder + "/cost.rec", false, QStringLiteral("bench_recording"));
    const double captureOn = microsPerCall(200, capture);
    CallRecorder::stop();
    std::printf("recording costs %.2f us a call (VYRTemplateNum: %.2f us, recorded %.2f us)\n",
                on - off, off, on);
    std::printf("and %.0f us a capture with its frame (%.0f us, recorded %.0f us)\n",
                captureOn - captureOff, captureOff, captureOn);

    // 1,000 frames of a finger on the sensor, and of a bare sensor.
    const QString thousand = folder + "/1000-frames.rec";
    const qint64 fingerBytes = recordCaptures(thousand, 1000, false);
    control<void (*)(int)>("vyrsim_set_finger")(0);
    const qint64 bareBytes = recordCaptures(folder + "/1000-bare.rec", 1000, false);
    const qint64 leanBytes = recordCaptures(folder + "/1000-lean.rec", 1000, true);
    std::printf("1,000 frames: %.1f MB with a finger, %.1f MB of a bare sensor, %.0f kB without "
                "frames (raw: %.1f MB)\n",
                fingerBytes / 1e6, bareBytes / 1e6, leanBytes / 1e3,
                1000.0 * kImageWidth * kImageHeight / 1e6);

    // Ten minutes at the module's own pace: the default delay, measured on
    // 100 captures and taken to 600 s.
    control<void (*)(int)>("vyrsim_set_delay_ms")(30);
    control<void (*)(int)>("vyrsim_set_finger")(1);
    const double pace = microsPerCall(100, capture);
    const double perMinute = 60e6 / pace;
    std::printf("at the default delay (30 ms) a capture takes %.1f ms: ten minutes hold %.0f "
                "frames, %.0f MB with a finger, %.0f MB of a bare sensor\n",
                pace / 1000, 10 * perMinute, 10 * perMinute * fingerBytes / 1000 / 1e6,
                10 * perMinute * bareBytes / 1000 / 1e6);
    control<void (*)(int)>("vyrsim_set_delay_ms")(0);

    // The 1,000 finger frames answered from their recording, at once.
    using Replay = int (*)(const char *, double);
    if (control<Replay>("vyrsim_replay")(QFile::encodeName(thousand).constData(), 0) != 0)
        return 1;
    const double replayed = microsPerCall(1000, capture);
    control<Replay>("vyrsim_replay")(nullptr, 0);
    std::printf("replay at speed 0: %.0f calls a second, %.0f frames a second\n", 2e6 / replayed,
                1e6 / replayed);
    return 0;
}
