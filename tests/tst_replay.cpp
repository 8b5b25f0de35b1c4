// A session recorded through the window and replayed on the simulated
// module with the same clicks: the same reports, frames and rows; a click
// that leaves the recording, said where it left; recordings that are cut
// short or lie about their lengths, refused with one line.
#include "callrecorder.h"
#include "mainwindow.h"
#include "modalpilot.h"
#include "recordingreader.h"
#include "recordingwriter.h"
#include "simcontrol.h"
#include "windowparts.h"
#include "workerharness.h"

#include <QDir>
#include <QLibrary>
#include <QProcess>
#include <QTemporaryDir>
#include <QtEndian>
#include <QtTest>

#include <zlib.h>

#include <memory>

namespace {

// What the operator saw: every status text and notice in order, the frame
// and the list's rows after each click.
struct Session
{
    QStringList reports;
    QVector<QImage> frames;
    QVector<QStringList> rows;
};

// Pixel for pixel, whatever the two formats (a PNG of grey reads as grey,
// the window's frame as RGB).
bool samePixels(const QImage &a, const QImage &b)
{
    if (a.size() != b.size())
        return false;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            if (a.pixel(x, y) != b.pixel(x, y))
                return false;
        }
    }
    return true;
}

void poke(QByteArray &bytes, int at, quint32 value)
{
    for (int i = 0; i < 4; ++i)
        bytes[at + i] = char(value >> (8 * i));
}

// The number (from 1) of the first call to `entry` in a recording.
int firstCallTo(const QString &path, const std::string &entry)
{
    std::string error;
    const auto recording = recording::readRecording(QFile::encodeName(path).toStdString(), error);
    for (std::size_t i = 0; recording && i < recording->calls.size(); ++i) {
        if (recording->calls[i].name == entry)
            return int(i + 1);
    }
    return -1;
}

} // namespace

class tst_Replay : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(SimControl::instance().loaded()); }
    void init();
    void cleanup();

    void sameClicksSameSession_data();
    void sameClicksSameSession();
    void anotherClickIsSaidWhereItLeft();
    void badRecordingRefusedInOneLine_data();
    void badRecordingRefusedInOneLine();

private:
    void openWindow();
    bool click(const QString &text, Session &session);
    // Open, capture, enroll 7, search it, search a finger not stored (a
    // failing call), delete 7, close; `swapped` takes the capture's place.
    bool play(Session &session, const QString &swapped = QString());
    QString vyrsim() const { return QCoreApplication::applicationDirPath() + "/vyrsim"; }

    QTemporaryDir m_dir;
    std::unique_ptr<ModalPilot> m_pilot;
    std::unique_ptr<MainWindow> m_window;
};

void tst_Replay::init()
{
    resetModuleAndDevice();
}

void tst_Replay::cleanup()
{
    m_window.reset();
    m_pilot.reset();
    CallRecorder::stop();
    SimControl::instance().replay(QString());
}

void tst_Replay::openWindow()
{
    m_window.reset();
    m_pilot = std::make_unique<ModalPilot>();
    m_window = std::make_unique<MainWindow>();
    m_window->show();
}

bool tst_Replay::click(const QString &text, Session &session)
{
    QPushButton *target = button(*m_window, text);
    if (!target)
        return false;
    QTest::mouseClick(target, Qt::LeftButton);
    if (!QTest::qWaitFor([this] { return settled(*m_window->worker()); }, kWaitMs))
        return false;
    session.frames << labelPixmap(m_window->f_finger).toImage();
    session.rows << captions(*m_window);
    return true;
}

bool tst_Replay::play(Session &session, const QString &swapped)
{
    openWindow();
    SThread *worker = m_window->worker();
    connect(worker, &SThread::SShowMsg, this,
            [&session](const QString &t) { session.reports << t; });
    connect(worker, &SThread::SShowAlert, this,
            [&session](const QString &t) { session.reports << "alert:" + t; });
    SimControl &module = SimControl::instance();
    m_pilot->answers << "7"
                     << "7";
    bool ok = click("打开设备", session);
    module.setFinger(1);
    ok = ok && click(swapped.isEmpty() ? QStringLiteral("连续采图") : swapped, session);
    module.script({1, 1, 0, 1, 1});
    ok = ok && click("注册指纹", session);
    module.setFinger(1);
    ok = ok && click("搜索指纹", session);
    module.setFinger(2);
    ok = ok && click("搜索指纹", session);
    ok = ok && click("删除指纹", session) && click("关闭设备", session);
    m_window.reset();
    return ok;
}

void tst_Replay::sameClicksSameSession_data()
{
    QTest::addColumn<bool>("lean");
    QTest::newRow("whole") << false;
    QTest::newRow("without frames and templates") << true;
}

void tst_Replay::sameClicksSameSession()
{
    QFETCH(bool, lean);
    const QString path = m_dir.filePath(QStringLiteral("session-%1.rec").arg(lean));
    QVERIFY(CallRecorder::start(path, lean, QStringLiteral("tst_replay")).isEmpty());
    Session recorded;
    QVERIFY(play(recorded));
    CallRecorder::stop();
    QVERIFY(recorded.reports.filter(QRegularExpression("^搜索成功 ID:7 ")).size() == 1);
    QVERIFY(recorded.reports.filter(QRegularExpression("^搜索失败")).size() == 1);

    // The module now knows nothing of ID 7 or the finger: all comes from the file.
    resetModuleAndDevice();
    QCOMPARE(SimControl::instance().replay(path), 0);
    Session replayed;
    QVERIFY(play(replayed));
    const QString status = SimControl::instance().status();
    QVERIFY2(status.contains(QRegularExpression("replay=\"playing .*, (\\d+) of \\1 calls")),
             qPrintable(status));
    QCOMPARE(replayed.reports, recorded.reports);
    QCOMPARE(replayed.rows, recorded.rows);
    // One click more than the recording holds is said as its end.
    Session beyond;
    openWindow();
    QVERIFY(click("打开设备", beyond));
    QCOMPARE(m_pilot->alerts, QStringList({"提示|打开设备失败"}));
    const QString ended = SimControl::instance().status();
    QVERIFY2(ended.contains(QRegularExpression("replay=\"the recording ended after call (\\d+); "
                                               "call \\d+ came: VYR_SETPATH\\(2, 1\\)")),
             qPrintable(ended));
    QCOMPARE(replayed.frames.size(), recorded.frames.size());
    if (lean) {
        // Frames left out come back black.
        QCOMPARE(replayed.frames.at(1).pixelColor(128, 144), QColor(Qt::black));
        return;
    }
    QCOMPARE(replayed.frames, recorded.frames);

    // The frames as PNG files: the captured one among them, pixel for pixel.
    const QString frames = m_dir.filePath("frames");
    QProcess tool;
    tool.start(vyrsim(), {"replay", "--frames", path, frames});
    QVERIFY(tool.waitForFinished(kWaitMs));
    QCOMPARE(tool.exitCode(), 0);
    bool found = false;
    for (const QString &name : QDir(frames).entryList({"*VYRUpImage.png"}))
        found = found || samePixels(QImage(frames + "/" + name), recorded.frames.at(1));
    QVERIFY(found);
}

void tst_Replay::anotherClickIsSaidWhereItLeft()
{
    const QString path = m_dir.filePath("astray.rec");
    QVERIFY(CallRecorder::start(path, false, QStringLiteral("tst_replay")).isEmpty());
    Session recorded;
    QVERIFY(play(recorded));
    CallRecorder::stop();
    const int left = firstCallTo(path, "VYRGetImage");
    QVERIFY(left > 1);

    resetModuleAndDevice();
    QCOMPARE(SimControl::instance().replay(path), 0);
    SimControl::instance().clearCalls();
    Session replayed;
    play(replayed, QStringLiteral("删除指纹"));
    const QString status = SimControl::instance().status();
    QVERIFY2(status.contains(QStringLiteral("replay=\"call %1 went another way: the recording "
                                            "holds VYRGetImage(")
                                 .arg(left)),
             qPrintable(status));
    QVERIFY2(status.contains(", came VYRDelChar("), qPrintable(status));
    // That call and every later one fail with the replay's own code.
    const QStringList calls = SimControl::instance().calls();
    const int astray = calls.indexOf(QRegularExpression("^VYRDelChar.* = 90$"));
    QVERIFY2(astray >= 0, qPrintable(calls.join('\n')));
    QVERIFY(calls.mid(astray).filter(QRegularExpression(" = 90$")).size() == calls.size() - astray);
    QCOMPARE(replayed.reports.last(), QString("alert:关闭设备失败"));
}

void tst_Replay::badRecordingRefusedInOneLine_data()
{
    // A recording of two calls: VYRGetCharLen, then VYRUpImage with a frame.
    const QString path = m_dir.filePath("good.rec");
    recording::RecordingWriter writer;
    std::string error;
    QVERIFY(writer.open(QFile::encodeName(path).toStdString(), 0, "tst_replay", error));
    int length = 512, frameLength = 73728;
    std::vector<unsigned char> frame(92160, 0x80);
    const recording::Param lengthParams[] = {recording::param(&length)};
    recording::Call first;
    first.name = "VYRGetCharLen";
    first.arguments = recording::captureInputs(recording::shapes::VYRGetCharLen, lengthParams);
    recording::captureOutputs(recording::shapes::VYRGetCharLen, lengthParams, first.arguments);
    const recording::Param imageParams[]
        = {recording::param(1), recording::param(-1), recording::param(frame.data()),
           recording::param(&frameLength)};
    recording::Call second;
    second.name = "VYRUpImage";
    second.arguments = recording::captureInputs(recording::shapes::VYRUpImage, imageParams);
    recording::captureOutputs(recording::shapes::VYRUpImage, imageParams, second.arguments);
    QVERIFY(writer.write(first, error) && writer.write(second, error));
    writer.close();
    const QByteArray good = readFile(path);
    const int header = 8 + 2 + 2 + 4 + int(strlen("tst_replay"));
    const int firstRecord = header + 8 + int(qFromLittleEndian<quint32>(good.constData() + header));

    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("reason");
    QTest::newRow("empty") << QByteArray() << "not a recording of module calls";
    QTest::newRow("a newer version")
        << QByteArray(good).replace(8, 1, "\x02") << "version 2, this reads version 1";
    QTest::newRow("cut in a record's head")
        << good.left(firstRecord + 5)
        << "call 2 (byte " + QString::number(firstRecord) + "): cut short in its record's head";
    QTest::newRow("cut in a record") << good.left(good.size() - 10)
                                     << "call 2 (byte " + QString::number(firstRecord)
            + "): its length points past the end of the file";
    QByteArray pastEnd = good;
    poke(pastEnd, header, 0x7fffffff);
    QTest::newRow("a record's length past the end")
        << pastEnd << "call 1 (byte " + QString::number(header) + "): its length points past";
    QByteArray damaged = good;
    damaged[good.size() - 100] = char(damaged[good.size() - 100] ^ 0x40);
    QTest::newRow("a damaged byte")
        << damaged
        << "call 2 (byte " + QString::number(firstRecord) + "): its checksum does not match";
    // An argument's stored length past its record, with the checksum made right.
    QByteArray lying = good;
    const int bodyLength = firstRecord - header - 8;
    poke(lying, firstRecord - 8, 100000);
    poke(lying, header + 4,
         quint32(crc32(0, reinterpret_cast<const Bytef *>(lying.constData() + header + 8),
                       uInt(bodyLength))));
    QTest::newRow("an argument's length past its record")
        << lying
        << "call 1 (byte " + QString::number(header)
            + "): VYRGetCharLen argument 1: its length points past the record's end";
}

void tst_Replay::badRecordingRefusedInOneLine()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, reason);
    const QString path = m_dir.filePath("bad.rec");
    QVERIFY(writeFile(path, bytes));

    QProcess tool;
    tool.start(vyrsim(), {"replay", "--list", path});
    QVERIFY(tool.waitForFinished(kWaitMs));
    QCOMPARE(tool.exitCode(), 1);
    const QString said = QString::fromUtf8(tool.readAllStandardError());
    QCOMPARE(said.count('\n'), 1);
    QVERIFY2(said.startsWith("vyrsim: " + path + ": ") && said.contains(reason), qPrintable(said));
    QVERIFY(tool.readAllStandardOutput().isEmpty());

    // The module refuses it too, and every call then fails.
    QCOMPARE(SimControl::instance().replay(path), int(VYRSIM_ERR_FILE));
    QVERIFY2(SimControl::instance().status().contains("replay=\"refused " + path + ": " + reason),
             qPrintable(SimControl::instance().status()));
    QLibrary library(QCoreApplication::applicationDirPath() + "/lib/libvyr_uos.so");
    const auto getCharLen = reinterpret_cast<int (*)(int *)>(library.resolve("VYRGetCharLen"));
    int length = 0;
    QVERIFY(getCharLen);
    QCOMPARE(getCharLen(&length), int(VYRSIM_ERR_REPLAY));
}

QTEST_MAIN(tst_Replay)
#include "tst_replay.moc"
