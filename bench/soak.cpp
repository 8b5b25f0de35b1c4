// A soak of the window on the simulated module. From a seed it plays an
// operator giving thousands of commands (every button, every kind of answer
// to the ID prompt, clicks while a run is under way) while the module fails
// calls, slows down, is unplugged and plugged in again, and fingers come and
// go on its sensor. After every command it checks what the operator sees
// against what the module holds, and that memory stays bounded.
//
//   build/bin/bench_soak [SEED [COMMANDS]] [-v]
//
// Everything the soak does follows from the seed, and the worker's calls
// from what the soak did, so a seed and a command count reproduce a run.
// Faults of the simulated module itself are reported apart ("stand-in:");
// the exit status is 1 when the program broke an invariant.

#include "devicestate.h"
#include "handover.h"
#include "mainwindow.h"
#include "modalpilot.h"
#include "mulistitemdata.h"
#include "simcontrol.h"
#include "vyrsim.h"
#include "windowparts.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QListView>
#include <QPushButton>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSet>
#include <QTest>

#include <algorithm>
#include <cstdio>
#include <random>

#include <unistd.h>

namespace {

enum Kind { Open, Close, Capture, Enroll, Delete, Search, KindCount };
const char *const kKindNames[KindCount]
    = {"open", "close", "capture", "enroll", "delete", "search"};
const char *const kButtonTexts[KindCount]
    = {"打开设备", "关闭设备", "连续采图", "注册指纹", "删除指纹", "搜索指纹"};

// Answers to the ID prompt that the window must refuse, by kind; a null
// text cancels the prompt.
const char *const kRefusedNames[] = {"negative", "huge", "text", "empty", "cancel"};
const QStringList kRefused[] = {{"-1", "-999", "-2147483648"},
                                {"2147483648", "4294967295", "4294967296", "99999999999999999999"},
                                {"abc", "12a", "七", "１２", "١٢", " ", "1 2", "0x10", "1e3"},
                                {""},
                                {QString()}};
const int kBeyondStore[] = {1000, 1023, 1024, 4095, 65535, 2147483647};

// The entry points the program calls, and codes a failing module returns
// (not 9, no match, which only the module's own search may say).
const char *const kEntries[]
    = {"VYR_SETPATH", "VYROpenDeviceEx", "VYRCloseDeviceEx", "VYRGetImage",
       "VYRUpImage",  "VYRGenChar",      "VYRRegModule",     "VYRStoreChar",
       "VYRDelChar",  "VYRSearch",       "VYRReadIndexTable"};
const int kCodes[] = {1, 2, 6, 10, 11, 12, -1, -2, 255};

constexpr int kCapacity = 1000;
constexpr int kFingers = 4;

// Every text the status line can show.
const QRegularExpression kKnownStatus(
    "^(|找不到动态库|请先打开设备|动态库缺少接口 \\w+|等待按压指纹 时间:-?\\d+s|获取图像成功|"
    "请抬起手指\\.{10}|生成特征成功|生成特征失败|注册成功|注册失败|删除指纹\\[\\d+\\] (成功|失败)|"
    "搜索成功 ID:\\d+ 得分:\\d+|搜索失败)$");
const QRegularExpression kSearchFound("^搜索成功 ID:(\\d+) 得分:(\\d+)$");
const QRegularExpression kCountdown("^等待按压指纹 时间:(-?\\d+)s$");
const QString kTimedOut = "等待按压指纹 时间:0s";

bool called(const QStringList &calls, const QString &pattern)
{
    return !calls.filter(QRegularExpression(pattern)).isEmpty();
}

QSet<int> storedIds()
{
    QSet<int> ids;
    for (int id = 0; id < kCapacity; ++id) {
        if (SimControl::instance().stored(id) == 1)
            ids.insert(id);
    }
    return ids;
}

QString idText(const QSet<int> &ids)
{
    QList<int> sorted = ids.values();
    std::sort(sorted.begin(), sorted.end());
    QStringList numbers;
    for (const int id : sorted)
        numbers << QString::number(id);
    return "{" + numbers.join(' ') + "}";
}

} // namespace

class Soak
{
public:
    Soak(quint32 seed, int commands, bool verbose);
    int run();

private:
    struct Before
    {
        QString status;
        QSet<int> listed;
        QSet<int> stored;
    };

    int pick(int n) { return int(m_rng() % quint32(n)); }
    bool chance(int percent) { return pick(100) < percent; }
    int weighted(std::initializer_list<double> w) { return std::discrete_distribution<>(w)(m_rng); }
    template<typename T, std::size_t N> T pickFrom(const T (&items)[N]) { return items[pick(N)]; }

    void command(Kind kind);
    void perturb(Kind kind);
    void duringRun();
    void armFault();
    void setAttached(bool attached);
    QString answer(int *id, bool *starts);
    void settle();
    void check(Kind kind, int id, bool starts, const Before &before);
    void checkMemory();
    void expect(bool ok, const QString &what);
    QSet<int> listedIds() const;

    const quint32 m_seed;
    const int m_commands;
    const bool m_verbose;
    std::mt19937 m_rng;
    ModalPilot m_pilot;
    MainWindow m_window;
    QVector<QPushButton *> m_buttons; // by Kind
    QLabel *m_status = nullptr;
    QListView *m_list = nullptr;
    QImage m_idlePicture;

    int m_command = 0;
    QString m_what; // the command, as the reports name it
    QStringList m_messages; // status texts reported during the command
    int m_runs = 0; // runs begun during the command
    bool m_open = false; // whether the program holds the device open
    int m_finger = 0; // the finger pressed for the command; -1: two different ones
    QMap<int, int> m_fingerOf; // the finger stored under each ID
    bool m_attached = true;

    QMap<QString, int> m_counts;
    int m_checked = 0, m_broken = 0, m_brokenByStandIn = 0;
    long m_base[3] = {}; // resident kB, window objects, threads after the first tenth
    long m_peak[3] = {};
};

Soak::Soak(quint32 seed, int commands, bool verbose)
    : m_seed(seed)
    , m_commands(commands)
    , m_verbose(verbose)
    , m_rng(seed)
{
    const QList<QPushButton *> buttons = m_window.findChildren<QPushButton *>();
    for (const char *text : kButtonTexts)
        m_buttons << *std::find_if(buttons.begin(), buttons.end(),
                                   [text](QPushButton *b) { return b->text() == text; });
    m_status = statusLine(m_window);
    m_list = m_window.findChild<QListView *>();
    m_idlePicture = labelPixmap(m_window.f_finger).toImage();
    // Queued, as the window's own connections are: the reports arrive in order.
    QObject::connect(
        m_window.worker(), &SThread::SShowMsg, &m_pilot, [this](QString msg) { m_messages << msg; },
        Qt::QueuedConnection);
    QObject::connect(
        m_window.worker(), &SThread::SEnable_btn, &m_pilot,
        [this](bool enabled) { m_runs += enabled ? 0 : 1; }, Qt::QueuedConnection);
    m_window.show();
}

int Soak::run()
{
    SimControl::instance().reset(); // attached, no delay, no autopilot, empty store
    enrollPauseMicroseconds = 1000; // the operator lifts at once
    QElapsedTimer clock;
    clock.start();
    for (m_command = 1; m_command <= m_commands; ++m_command)
        command(Kind(weighted({4, 1, 3, 5, 4, 4})));

    std::printf("seed %u: %d commands in %.0f s\n", m_seed, m_commands, clock.elapsed() / 1000.0);
    for (auto it = m_counts.constBegin(); it != m_counts.constEnd(); ++it)
        std::printf("  %-40s %6d\n", qPrintable(it.key()), it.value());
    std::printf("  resident memory %ld MB after the first tenth, peak %ld MB\n"
                "  window objects %ld, peak %ld; threads %ld, peak %ld\n"
                "  invariants checked %d, broken %d, of them by the stand-in %d\n",
                m_base[0] / 1024, m_peak[0] / 1024, m_base[1], m_peak[1], m_base[2], m_peak[2],
                m_checked, m_broken + m_brokenByStandIn, m_brokenByStandIn);
    return m_broken;
}

void Soak::command(Kind kind)
{
    ++m_counts[QString("command ") + kKindNames[kind]];
    perturb(kind);
    int id = -1;
    bool starts = true;
    m_what = kKindNames[kind];
    m_pilot.answers.clear();
    if (kind == Enroll || kind == Delete) {
        const QString typed = answer(&id, &starts);
        m_pilot.answers.enqueue(typed);
        m_what += typed.isNull() ? QString(", cancelled") : " \"" + typed + "\"";
    }
    const Before before {m_status->text(), listedIds(), storedIds()};
    SimControl::instance().clearCalls();
    m_pilot.alerts.clear();
    m_pilot.prompts.clear();
    m_messages.clear();
    m_runs = 0;

    // Held at its first image request, a run is surely under way: clicks
    // land while the buttons are still enabled (their disabling report not
    // yet delivered), and again once they are grey.
    const bool hold = chance(25);
    SimControl::instance().gate("VYRGetImage", hold);
    QTest::mouseClick(m_buttons[kind], Qt::LeftButton);
    if (hold) {
        while (SimControl::instance().gateWaiting() == 0 && m_window.worker()->busy())
            QThread::yieldCurrentThread();
        if (SimControl::instance().gateWaiting() > 0) {
            for (int n = pick(3); n > 0; --n, ++m_counts["clicks during a run, buttons enabled"])
                QTest::mouseClick(m_buttons[pick(KindCount)], Qt::LeftButton);
            QCoreApplication::processEvents();
            duringRun();
        }
        SimControl::instance().gate("VYRGetImage", false);
    }
    settle();
    m_counts["runs"] += m_runs;
    check(kind, id, starts, before);
    checkMemory();
    if (m_verbose)
        std::printf("%5d %-30s -> %s %s\n", m_command, qPrintable(m_what),
                    qPrintable(m_status->text()), qPrintable(m_pilot.alerts.join(' ')));
}

// Between commands the module is unplugged or plugged in, fails, slows
// down, gains a template behind the window's back; the operator puts a
// finger on the sensor the way the coming command wants, mostly.
void Soak::perturb(Kind kind)
{
    if (m_attached ? chance(3) : chance(60))
        setAttached(!m_attached);
    if (chance(10))
        armFault();
    if (chance(5)) {
        static const auto setDelay = reinterpret_cast<decltype(&vyrsim_set_delay_ms)>(
            QLibrary::resolve(QCoreApplication::applicationDirPath() + "/lib/libvyr_uos.so",
                              "vyrsim_set_delay_ms"));
        setDelay(pick(4));
        ++m_counts["stand-in delays set (0-3 ms)"];
    }
    if (chance(4)) {
        const int id = pick(kCapacity), finger = 1 + pick(kFingers);
        if (SimControl::instance().store(id, finger) == 0)
            m_fingerOf[id] = finger;
        ++m_counts["stand-in templates stored by the soak"];
    }
    const int f = 1 + pick(kFingers), g = 1 + f % kFingers;
    const QVector<int> twoPresses {f, f, 0, f, f, 0}, twoFingers {f, f, f, f, 0, g, g, 0};
    const QVector<int> touchThenPress {0, f, 0, f, f, 0}, nothing {0};
    const Kind wanted = chance(85) ? kind : Kind(pick(KindCount));
    const bool usual = chance(80);
    if (wanted == Enroll) {
        SimControl::instance().script(usual ? twoPresses : twoFingers);
        m_finger = usual ? f : -1;
    } else if (wanted == Capture || wanted == Search) {
        SimControl::instance().script(usual ? touchThenPress : nothing);
        m_finger = usual ? f : 0;
    } else {
        SimControl::instance().script(nothing);
        m_finger = 0;
    }
}

// The worker waits at its first image request; the buttons are grey.
void Soak::duringRun()
{
    const char *const what[] = {"clicks", "finger lifted", "finger pressed", "detached", "fault"};
    const int choice = pick(5), f = 1 + pick(kFingers);
    ++m_counts[QString("during a run: ") + what[choice]];
    for (int n = choice == 0 ? 1 + pick(3) : 0; n > 0; --n)
        QTest::mouseClick(m_buttons[pick(KindCount)], Qt::LeftButton);
    if (choice == 1)
        SimControl::instance().setFinger(m_finger = 0);
    else if (choice == 2)
        SimControl::instance().script({m_finger = f, f, 0, f, f, f, 0});
    else if (choice == 3)
        setAttached(false);
    else if (choice == 4)
        armFault();
}

void Soak::armFault()
{
    SimControl::instance().fail(pickFrom(kEntries), 1 + pick(6), 1 + pick(3), pickFrom(kCodes));
    ++m_counts["stand-in faults armed"];
}

void Soak::setAttached(bool attached)
{
    SimControl::instance().setAttached(attached);
    m_attached = attached;
    ++m_counts[attached ? "stand-in re-attached" : "stand-in detached"];
}

QString Soak::answer(int *id, bool *starts)
{
    const int kind = weighted({12, 2, 1, 1, 1, 1, 2});
    *starts = kind < 2;
    if (kind == 0) {
        ++m_counts["answer 0-999"];
        *id = chance(70) ? pick(24) : pick(kCapacity); // a few IDs again and again
        const char *const forms[] = {"%1", "%1", "%1", " %1 ", "0%1", "+%1"};
        return QString(pickFrom(forms)).arg(*id);
    }
    if (kind == 1) {
        ++m_counts["answer beyond 999"];
        *id = chance(50) ? pickFrom(kBeyondStore) : kCapacity + pick(1000000);
        return QString::number(*id);
    }
    ++m_counts[QString("answer ") + kRefusedNames[kind - 2]];
    const QStringList &texts = kRefused[kind - 2];
    return texts.at(pick(texts.size()));
}

void Soak::settle()
{
    const auto idle = [this] {
        if (m_window.worker()->busy() || QApplication::activeModalWidget())
            return false;
        QCoreApplication::sendPostedEvents(); // the run's reports, notices included
        return !QApplication::activeModalWidget();
    };
    if (QTest::qWaitFor(idle, 60000))
        return;
    expect(false, "the run did not end within 60 s");
    SimControl::instance().setFinger(0);
    setAttached(false);
    if (!QTest::qWaitFor(idle, 60000))
        qFatal("bench_soak: the run does not end even with the module unplugged");
}

void Soak::check(Kind kind, int id, bool starts, const Before &before)
{
    const QString status = m_status->text();
    const QSet<int> stored = storedIds();
    const QSet<int> listed = listedIds();
    const QStringList calls = SimControl::instance().calls();
    const QStringList &alerts = m_pilot.alerts;

    for (QPushButton *button : m_buttons)
        expect(button->isEnabled(), button->text() + " left disabled");
    for (const QString &msg : m_messages)
        expect(kKnownStatus.match(msg).hasMatch(), "unknown status text \"" + msg + "\"");
    const int prompts = kind == Enroll || kind == Delete ? 1 : 0;
    expect(m_pilot.prompts.size() == prompts, QString("%1 ID prompts").arg(m_pilot.prompts.size()));
    expect(m_runs == (starts ? 1 : 0), QString("%1 runs").arg(m_runs));

    // How the run may end, and how the store and the list may change.
    QStringList endings; // the status texts it may end with
    QStringList notices; // the one notice it may show
    QSet<int> expected = before.stored;
    bool listCleared = false;
    bool mustQuery = false; // open, enroll once it reached the store, and delete read the index
    if (!starts) {
        endings << before.status;
    } else if (kind != Open && !m_open) {
        endings << "请先打开设备";
        expect(calls.isEmpty(), "the module was called with the device closed");
    } else if (kind == Open) {
        notices = QStringList {"打开设备成功", "打开设备失败"};
        const bool opened = alerts.value(0) == "提示|打开设备成功";
        endings << (opened || m_open ? before.status : "请先打开设备");
        listCleared = !opened;
        mustQuery = opened;
        m_open = m_open || opened;
    } else if (kind == Close) {
        notices = QStringList {"关闭设备成功", "关闭设备失败"};
        endings << before.status;
        listCleared = true;
        m_open = false;
    } else if (kind == Capture) {
        endings << "获取图像成功" << kTimedOut;
    } else if (kind == Enroll) {
        endings = QStringList {"注册成功", "注册失败", kTimedOut};
        mustQuery = called(calls, "^VYRStoreChar\\(");
        if (status == endings.first()) {
            expect(id >= 0 && id < kCapacity, "enrolled outside the store");
            // A failed image request looks like a lifted finger to the program, and
            // leaves the sensor where it was: the presses it then sees are not the script's.
            const bool faked = called(calls, "^VYRGetImage\\(.* = (?!0$|2$)");
            expect(m_finger > 0 || faked, "stand-in: one template made of two different fingers");
            expected.insert(id);
            m_fingerOf[id] = m_finger;
        }
    } else if (kind == Delete) {
        endings << QString("删除指纹[%1] 成功").arg(id) << QString("删除指纹[%1] 失败").arg(id);
        mustQuery = true;
        if (status == endings.first()) {
            expect(id >= 0 && id < kCapacity, "deleted outside the store");
            expected.remove(id);
            m_fingerOf.remove(id);
        }
    } else {
        const QRegularExpressionMatch found = kSearchFound.match(status);
        const QRegularExpressionMatch countdown = kCountdown.match(status);
        endings << "搜索失败";
        if (found.hasMatch() || (countdown.hasMatch() && countdown.captured(1).toInt() <= 0))
            endings << status;
        const int foundId = found.hasMatch() ? found.captured(1).toInt() : -1;
        expect(!found.hasMatch()
                   || (stored.contains(foundId)
                       && found.captured(2).toInt() >= VYRSIM_MATCH_THRESHOLD),
               "found a template the store does not hold");
        // A template of two fingers (reported when it was stored) may match either.
        const int holds = m_fingerOf.value(foundId);
        expect(!found.hasMatch() || m_finger < 0 || holds < 0 || holds == m_finger,
               QString("stand-in: finger %1 found as ID %2, which holds finger %3")
                   .arg(m_finger)
                   .arg(foundId)
                   .arg(holds));
        if (called(calls, "^VYRSearch\\(.* = 9$") && m_fingerOf.key(m_finger, -1) >= 0)
            ++m_counts["stand-in: enrolled finger not found"];
    }
    expect(endings.contains(status), "ends with \"" + status + "\"");
    if (kind == Close)
        expect(labelPixmap(m_window.f_finger).toImage() == m_idlePicture, "no idle picture");
    if (starts) {
        const QString outcome = notices.isEmpty() ? status : alerts.value(0).section('|', 1);
        ++m_counts[QString("ended %1: ").arg(kKindNames[kind])
                   + QString(outcome).replace(QRegularExpression("\\d+"), "n")];
    }
    expect(alerts.size() == (notices.isEmpty() ? 0 : 1)
               && (alerts.isEmpty() || notices.contains(alerts.first().section('|', 1))),
           "notices: " + alerts.join(", "));

    expect(called(calls, "^VYRReadIndexTable\\(") == mustQuery,
           mustQuery ? "index not read" : "index read for nothing");
    expect(stored == expected, "the store holds " + idText(stored) + ", not " + idText(expected));
    if (called(calls, "^VYRReadIndexTable\\(-?\\d+, -1, 3, ptr\\) = 0$"))
        expect(listed == stored,
               "after an index query the list shows " + idText(listed) + ", the store holds "
                   + idText(stored));
    else if (listCleared)
        expect(listed.isEmpty(), "the list was not emptied: " + idText(listed));
    else
        expect(listed == before.listed, "the list changed without an index query");
}

// The bounds are what the first tenth of the commands needed.
void Soak::checkMemory()
{
    expect(HandOver::instance().inFlight() == 0, "reports never taken by the window");
    QFile statm("/proc/self/statm");
    const long rss = statm.open(QIODevice::ReadOnly)
        ? statm.readAll().split(' ').value(1).toLong() * (sysconf(_SC_PAGESIZE) / 1024)
        : 0;
    const long now[3]
        = {rss, m_window.findChildren<QObject *>().size(),
           QDir("/proc/self/task").entryList(QDir::Dirs | QDir::NoDotAndDotDot).size()};
    // A sanitizer's quarantine holds freed memory back for a while.
    const long slack[3] = {std::max(32 * 1024L, m_base[0] / 4), 2, 1};
    const char *const what[3] = {"resident kB", "window objects", "threads"};
    for (int i = 0; i < 3; ++i) {
        m_peak[i] = std::max(m_peak[i], now[i]);
        if (m_command <= std::max(1, m_commands / 10))
            m_base[i] = m_peak[i];
        else
            expect(now[i] <= m_base[i] + slack[i], QString("%1 %2").arg(now[i]).arg(what[i]));
    }
}

void Soak::expect(bool ok, const QString &what)
{
    ++m_checked;
    if (ok)
        return;
    // The stand-in's own faults are told apart from the program's.
    if ((what.startsWith("stand-in") ? ++m_brokenByStandIn : ++m_broken) <= 100)
        std::printf("BROKEN seed %u command %d (%s): %s\n", m_seed, m_command, qPrintable(m_what),
                    qPrintable(what));
    std::fflush(stdout);
}

QSet<int> Soak::listedIds() const
{
    QSet<int> ids;
    const QAbstractItemModel *model = m_list->model();
    for (int row = 0; model && row < model->rowCount(); ++row) {
        const QString caption
            = model->index(row, 0).data(Qt::UserRole + 1).value<MuItemData>().singer;
        ids.insert(caption.mid(3).chopped(1).toInt()); // 指纹[n]
    }
    return ids;
}

int main(int argc, char *argv[])
{
    // The offscreen platform warns about every dialog it shows, and Qt about
    // a missing XDG_RUNTIME_DIR.
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &msg) {
        if (!msg.contains("propagateSizeHints") && !msg.contains("XDG_RUNTIME_DIR"))
            std::fprintf(stderr, "%s\n", qPrintable(msg));
    });
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    const bool verbose = args.removeAll("-v") > 0;
    bool ok = true;
    const quint32 seed
        = args.isEmpty() ? QRandomGenerator::system()->generate() : args.first().toUInt(&ok);
    const int commands = args.size() > 1 ? args.at(1).toInt() : 2000;
    if (!ok || commands < 1 || args.size() > 2) {
        std::fprintf(stderr, "usage: bench_soak [SEED [COMMANDS]] [-v]\n");
        return 2;
    }
    if (!SimControl::instance().loaded()) {
        std::fprintf(stderr, "bench_soak: no simulated module in lib/ beside the program\n");
        return 2;
    }
    std::printf("seed %u, %d commands (again: bench_soak %u %d)\n", seed, commands, seed, commands);
    std::fflush(stdout);
    Soak soak(seed, commands, verbose);
    return soak.run() == 0 ? 0 : 1;
}
