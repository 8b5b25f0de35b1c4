// The control channel: every command acts through the calls vyrsim.h
// exports; lines travel over the socket and back; bad lines are refused
// with a reason, and so are damaged pictures and files that are no regular
// file (a FIFO nobody writes is answered at once); clients that hang, flood
// or vanish delay no entry point call, and a slow command no other client;
// nobody else may connect; stale sockets are replaced; the vyrsim program
// speaks for scripts.

#include "dispatcher.h"
#include "vyr_api.h"
#include "vyrsim.h"

#include <QImage>
#include <QLocalSocket>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

using vyrsim::control::ControlApi;
using vyrsim::control::Dispatcher;

using PictureWriter = std::function<bool(const QString &path, const QImage &grey)>;
Q_DECLARE_METATYPE(PictureWriter)

namespace {

constexpr int kAddr = -1;
constexpr int kWaitMs = 10000;

sockaddr_un addressOf(const QByteArray &path)
{
    sockaddr_un address {};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.constData(), size_t(path.size()) + 1);
    return address;
}

// One client of the channel.
class Peer
{
public:
    explicit Peer(const QByteArray &path)
    {
        m_socket.connectToServer(QFile::decodeName(path));
        m_socket.waitForConnected(kWaitMs);
    }
    bool send(const QByteArray &bytes)
    {
        m_socket.write(bytes);
        while (m_socket.bytesToWrite() > 0)
            if (!m_socket.waitForBytesWritten(kWaitMs))
                return false;
        return true;
    }
    // The next line, without its newline; "<none>" when none came in time.
    QByteArray line()
    {
        while (!m_socket.canReadLine())
            if (!m_socket.waitForReadyRead(kWaitMs))
                return "<none>";
        return m_socket.readLine().chopped(1);
    }

private:
    QLocalSocket m_socket;
};

QStringList recorded;
QImage placed; // the last picture laid on the sensor

template<typename... Args> int note(const char *call, Args... args)
{
    const QStringList texts {QString::number(args)...};
    recorded << QString("%1(%2)").arg(call, texts.join(','));
    return 0;
}

// Every call the channel may make, recorded instead of made.
const ControlApi recordingApi {
    [](int on) { note("set_attached", on); },
    [](int ms) { note("set_delay_ms", ms); },
    [](const unsigned char *p) { note("set_password", p[0], p[1], p[2], p[3]); },
    [](int on) { note("set_autopilot", on); },
    [](int finger) { note("set_autopilot_finger", finger); },
    [] { return 4; },
    [](int finger) { note("set_finger", finger); },
    [](const unsigned char *pixels, int w, int h) {
        placed = QImage(pixels, w, h, w, QImage::Format_Grayscale8).copy();
        return note("place_image", w, h);
    },
    [](int id, int finger) { return note("store", id, finger); },
    [](int id) { return id == 2 ? 1 : 0; },
    [](int id) { return note("store_delete", id); },
    [] { return note("store_clear"); },
    [](int id, unsigned char *block) {
        std::memset(block, 7, 512);
        return note("store_export", id);
    },
    [](int id, const unsigned char *, int n) { return note("store_import", id, n); },
    [](const char *entry, int first, int count, int code) {
        recorded << QString("fail(%1,%2,%3,%4)").arg(entry).arg(first).arg(count).arg(code);
        return 0;
    },
    [] { note("fail_clear"); },
    [] { return 3; },
    [](int i, char *out, int size) { return std::snprintf(out, size, "call %d", i); },
    [](char *out, int size) {
        return std::snprintf(out, size, "attached=yes");
    }};

void put32(QByteArray &bytes, int at, quint32 value)
{
    for (int i = 0; i < 4; ++i)
        bytes[at + i] = char(value >> (8 * i));
}

// A BMP of `bits` a pixel, its header only as far as the pixels' offset,
// then `pixelBytes` zeros; fields as given, for headers that lie.
QByteArray bmpHeader(qint32 width, qint32 height, int bits, quint32 compression,
                     quint32 infoSize = 40, quint32 offset = 54 + 1024, int pixelBytes = 0)
{
    QByteArray bytes(54 + 1024, '\0');
    bytes[0] = 'B';
    bytes[1] = 'M';
    put32(bytes, 10, offset);
    put32(bytes, 14, infoSize);
    put32(bytes, 18, quint32(width));
    put32(bytes, 22, quint32(height));
    bytes[26] = 1;
    bytes[28] = char(bits);
    put32(bytes, 30, compression);
    return bytes + QByteArray(pixelBytes, '\0');
}

// A 32-bit BMP with bit fields: each grey spread over the three masks.
bool writeBitFields(const QString &path, const QImage &grey, const quint32 masks[3])
{
    QByteArray bytes = bmpHeader(grey.width(), grey.height(), 32, 3, 40, 66);
    bytes.truncate(54);
    for (int i = 0; i < 3; ++i) {
        bytes.append(4, '\0');
        put32(bytes, 54 + 4 * i, masks[i]);
    }
    for (int y = grey.height() - 1; y >= 0; --y) { // bottom row first
        for (int x = 0; x < grey.width(); ++x) {
            quint32 pixel = 0;
            for (int i = 0; i < 3; ++i) {
                const int shift = __builtin_ctz(masks[i]);
                const quint64 maximum = masks[i] >> shift;
                pixel |= quint32((grey.scanLine(y)[x] * maximum + 127) / 255) << shift;
            }
            bytes.append(4, '\0');
            put32(bytes, bytes.size() - 4, pixel);
        }
    }
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// A grey pattern that pins every pixel of the sensor's window onto it.
QImage pattern(int width, int height)
{
    QImage image(width, height, QImage::Format_Grayscale8);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.scanLine(y)[x] = uchar((x * 3 + y * 5) % 256);
    return image;
}

// Run in a child process as user nobody: 1 when the connection is refused,
// 2 when it is accepted and closed unanswered, other values otherwise.
int connectAsNobody(const QByteArray &path)
{
    const sockaddr_un address = addressOf(path);
    const pid_t child = fork();
    if (child == 0) {
        if (setgid(65534) != 0 || setuid(65534) != 0)
            _exit(3);
        const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
        if (connect(fd, reinterpret_cast<const sockaddr *>(&address), sizeof address) != 0)
            _exit(errno == EACCES ? 1 : 4);
        // Closed unanswered: the write or the read finds the end.
        if (send(fd, "status\n", 7, MSG_NOSIGNAL) != 7)
            _exit(errno == EPIPE || errno == ECONNRESET ? 2 : 5);
        pollfd polled {fd, POLLIN, 0};
        char c = 0;
        if (poll(&polled, 1, kWaitMs) != 1)
            _exit(6);
        const ssize_t n = read(fd, &c, 1);
        _exit(n == 0 || (n < 0 && errno == ECONNRESET) ? 2 : 7);
    }
    int status = -1;
    waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

} // namespace

class tst_Control : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();

    void commandsCallTheExports_data();
    void commandsCallTheExports();
    void imageFiles_data();
    void imageFiles();
    void refused_data();
    void refused();
    void failedExportKeepsEarlierFile();
    void hangingClientsDelayNoCall();
    void heldCommandDelaysNoOtherClient();
    void otherUserIsRefused();
    void staleSocketsAreReplaced();
    void vyrsimProgram_data();
    void vyrsimProgram();

private:
    QString command(const QString &line); // over the socket; the first line of the reply

    QTemporaryDir m_dir;
    QByteArray m_socket;
};

void tst_Control::initTestCase()
{
    QVERIFY(m_dir.isValid());
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(m_dir.path()));
    vyrsim_control_stop(); // open already, should VYRSIM_CONTROL be unset
    QCOMPARE(vyrsim_control_start(), 0);
    char path[256];
    QVERIFY(vyrsim_control_socket(path, sizeof path) > 0);
    m_socket = path;
    QCOMPARE(m_socket,
             QFile::encodeName(m_dir.path()) + "/vyrsim/" + QByteArray::number(getpid()) + ".sock");
    struct stat info
    {
    };
    QVERIFY(stat(m_socket.constData(), &info) == 0 && (info.st_mode & 0777) == 0600);
    QVERIFY(stat(QFile::encodeName(m_dir.path()) + "/vyrsim", &info) == 0
            && (info.st_mode & 0777) == 0700);
    QVERIFY(pattern(300, 320).save(m_dir.filePath("grey.png")));
    QFile block(m_dir.filePath("block"));
    QVERIFY(block.open(QIODevice::WriteOnly) && block.write(QByteArray(512, '\0')) == 512);
    QVERIFY(mkfifo(QFile::encodeName(m_dir.filePath("fifo")).constData(), 0600) == 0);
    QVERIFY(QDir(m_dir.path()).mkdir("dir"));
}

void tst_Control::cleanupTestCase()
{
    vyrsim_control_stop();
    QVERIFY(!QFile::exists(m_socket));
    QCOMPARE(vyrsim_control_socket(nullptr, 0), -1);
}

void tst_Control::init()
{
    vyrsim_reset();
}

QString tst_Control::command(const QString &line)
{
    Peer peer(m_socket);
    peer.send(line.toUtf8() + '\n');
    return QString::fromUtf8(peer.line());
}

void tst_Control::commandsCallTheExports_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("calls");
    QTest::addColumn<QString>("reply");
    const char *const rows[][3] = {
        {"press", "set_autopilot(0) set_finger(1)", "ok finger 1"},
        {"press 2", "set_autopilot(0) set_finger(2)", "ok finger 2"},
        {"lift", "set_autopilot(0) set_finger(0)", "ok"},
        {"image $/grey.png", "place_image(300,320)", "ok the 300 x 320"},
        {"autopilot 4", "set_autopilot_finger(4) set_finger(0) set_autopilot(1)",
         "ok the autopilot is on, pressing finger 4\n"},
        {"autopilot on", "set_finger(0) set_autopilot(1)", "ok the autopilot is on\n"},
        {"autopilot off", "set_autopilot(0)", "ok"},
        {"detach", "set_attached(0)", "ok"},
        {"  attach\r", "set_attached(1)", "ok"},
        {"delay 40", "set_delay_ms(40)", "ok"},
        {"password 0A1b2C3d", "set_password(10,27,44,61)", "ok the password is 0A1b2C3d\n"},
        {"password 1234567", "", "error: HEX"},
        {"password 1234567g", "", "error: HEX"},
        {"fail VYRGenChar", "fail(VYRGenChar,1,-1,1)", "ok every call"},
        {"fail VYRMatch 9 1", "fail(VYRMatch,1,1,9)", "ok the next call of VYRMatch fails with 9"},
        {"fail VYRSearch 9 all", "fail(VYRSearch,1,-1,9)", "ok every call"},
        {"fail clear", "fail_clear()", "ok"},
        {"store add 3 2", "store(3,2)", "ok finger 2"},
        {"store delete 3", "store_delete(3)", "ok"},
        {"store clear", "store_clear()", "ok"},
        {"store list", "", "ok 1 of 4 IDs hold a template\n2\n\n"},
        {"store export 1 $/out", "store_export(1)", "ok"},
        {"store import 1 $/block", "store_import(1,512)", "ok"},
        {"status", "", "ok attached=yes\n"},
        {"log 2", "", "ok 2 of 3 calls\ncall 1\ncall 2\n\n"},
        {"press 0", "", "error: FINGER"},
        {"store add 4 1", "", "error: say an ID from 0 to 3"},
        {"delay 60001", "", "error: MS"},
        {"delay 40ms", "", "error: MS"},
        {"store add 3x 1", "", "error: say an ID from 0 to 3"},
        {"fail VYRGenChar 0", "", "error: CODE"},
        {"lift 2", "", "error: too many arguments; usage: lift"},
        {"store", "",
         "error: store needs one of: list, add, delete, clear, export, import; help lists the "
         "commands\n"},
        {"store lists", "", "error: store needs one of: list, add,"},
        {"fail", "", "error: too few arguments; usage: fail ENTRY [CODE] [COUNT]\n"},
    };
    for (const auto &[line, calls, reply] : rows)
        QTest::newRow(line) << QString(line) << QString(calls) << QString(reply);
}

void tst_Control::commandsCallTheExports()
{
    QFETCH(QString, line);
    QFETCH(QString, calls);
    QFETCH(QString, reply);
    recorded.clear();
    const Dispatcher dispatcher(recordingApi);
    const std::string answer = dispatcher.reply(line.replace("$", m_dir.path()).toStdString());
    QCOMPARE(recorded.join(' '), calls);
    QVERIFY2(QString::fromStdString(answer).startsWith(reply), answer.c_str());
    QVERIFY(answer.back() == '\n');
}

void tst_Control::imageFiles_data()
{
    QTest::addColumn<PictureWriter>("write");
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("tolerance"); // grey from colour may round by one

    const auto as = [](QImage::Format format, const char *type) {
        return PictureWriter([=](const QString &path, const QImage &grey) {
            QVector<QRgb> greys;
            for (int i = 0; i < 256; ++i)
                greys << qRgb(i, i, i);
            const QImage image = format == QImage::Format_Indexed8
                ? grey.convertToFormat(format, greys)
                : grey.convertToFormat(format);
            return image.save(path, type);
        });
    };
    QTest::newRow("PNG grey") << as(QImage::Format_Grayscale8, "PNG") << 300 << 0;
    QTest::newRow("PNG 5000 wide") << as(QImage::Format_Grayscale8, "PNG") << 5000 << 0;
    QTest::newRow("PNG colour") << as(QImage::Format_ARGB32, "PNG") << 300 << 1;
    QTest::newRow("BMP 8 bits") << as(QImage::Format_Indexed8, "BMP") << 300 << 0;
    QTest::newRow("BMP 24 bits") << as(QImage::Format_RGB32, "BMP") << 300 << 0;
    QTest::newRow("PGM up to 255") << as(QImage::Format_Grayscale8, "PGM") << 300 << 0;
    const PictureWriter pgm16([](const QString &path, const QImage &grey) {
        QByteArray bytes = QString("P5\n# 16 bits a sample\n%1 %2\n65535\n")
                               .arg(grey.width())
                               .arg(grey.height())
                               .toLatin1();
        for (int y = 0; y < grey.height(); ++y)
            for (int x = 0; x < grey.width(); ++x)
                bytes.append(2, char(grey.scanLine(y)[x])); // big-endian, grey times 257
        QFile file(path);
        return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
    });
    QTest::newRow("PGM up to 65535") << pgm16 << 300 << 0;
    const auto fields = [](quint32 red, quint32 green, quint32 blue) {
        return PictureWriter([=](const QString &path, const QImage &grey) {
            const quint32 masks[3] = {red, green, blue};
            return writeBitFields(path, grey, masks);
        });
    };
    QTest::newRow("BMP bit fields 8 8 8") << fields(0xff0000, 0xff00, 0xff) << 300 << 0;
    QTest::newRow("BMP bit fields 10 10 10") << fields(0x3ff00000, 0xffc00, 0x3ff) << 300 << 1;
    QTest::newRow("BMP bit fields of all 32 bits")
        << fields(0xffffffff, 0xffffffff, 0xffffffff) << 300 << 0;
}

void tst_Control::imageFiles()
{
    QFETCH(PictureWriter, write);
    QFETCH(int, width);
    QFETCH(int, tolerance);
    const QImage grey = pattern(width, 320);
    const QString path = m_dir.filePath("picture with blanks");
    QVERIFY(write(path, grey));
    const std::string reply = Dispatcher(recordingApi).reply("image " + path.toStdString());
    QCOMPARE(reply, QString("ok the %1 x 320 image lies on the sensor\n").arg(width).toStdString());
    // Wider than the module takes: its centre, which is all the sensor shows.
    const QImage expected = grey.copy((width - placed.width()) / 2, 0, qMin(width, 4096), 320);
    QCOMPARE(placed.size(), expected.size());
    for (int y = 0; y < placed.height(); ++y)
        for (int x = 0; x < placed.width(); ++x)
            if (qAbs(placed.scanLine(y)[x] - expected.scanLine(y)[x]) > tolerance)
                QFAIL(qPrintable(QString("pixel %1, %2").arg(x).arg(y)));
}

void tst_Control::refused_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<QString>("error");
    QTest::addColumn<bool>("ended"); // sent with its newline
    const QByteArray dir = QFile::encodeName(m_dir.path());
    const QList<QPair<const char *, QByteArray>> damaged = {
        {"height-2^31.bmp", bmpHeader(10, qint32(0x80000000u), 8, 0)},
        {"width-5.bmp", bmpHeader(-5, 10, 8, 0)},
        {"huge.bmp", bmpHeader(16385, 1, 8, 0)},
        {"16bits.bmp", bmpHeader(10, 10, 16, 0)},
        {"fields24.bmp", bmpHeader(10, 10, 24, 3)},
        {"runlength.bmp", bmpHeader(10, 10, 8, 1)},
        {"infosize.bmp", bmpHeader(10, 10, 8, 0, 0xffffffffu)},
        {"offset.bmp", bmpHeader(10, 10, 8, 0, 40, 0xfffffff0u, 200)},
        {"rows.bmp", bmpHeader(10, 10, 8, 0, 40, 54 + 1024, 119)},
        {"fieldsshort.bmp", bmpHeader(10, 10, 32, 3).left(60)},
        {"max0.pgm", "P5 10 10 0\n" + QByteArray(100, '\0')},
        {"max65536.pgm", "P5 10 10 65536\n" + QByteArray(200, '\0')},
        {"short16.pgm", "P5 10 10 65535\n" + QByteArray(199, '\0')},
        {"nosize.pgm", "P5 0 10 255\n"},
        {"digits.pgm", "P5 12345678901234 10 255\n"},
        {"ascii.pgm", "P2 2 1 255\n0 255\n"},
    };
    for (const auto &[name, bytes] : damaged) {
        QFile file(m_dir.filePath(name));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
    }
    const QList<QPair<QByteArray, QString>> rows = {
        {"pres 2", "unknown command 'pres'"},
        {QByteArray("\x01\xff\x80 \x7f", 5), "unknown command"},
        {QByteArray(4097, 'a'), "line longer than 4096 bytes"},
        {"store delete 5", "ID 5 holds no template"},
        {"image " + dir + "/none.png", "cannot read " + m_dir.path() + "/none.png: No such file"},
        {"image " + dir + "/block", "block is not a PNG, BMP or binary PGM image"},
        {"image " + dir + "/ascii.pgm", "ascii.pgm is not a PNG, BMP or binary PGM image"},
        {"store import 3 " + dir + "/block", "is no template block"},
        // Answered at once: none of these is opened in a way that waits.
        {"image " + dir + "/fifo", "fifo: it is a FIFO, not a regular file"},
        {"store import 3 " + dir + "/fifo", "fifo: it is a FIFO, not a regular file"},
        {"store export 7 " + dir + "/fifo", "fifo: it is a FIFO, not a regular file"},
        {"image " + dir + "/dir", "dir: it is a directory, not a regular file"},
        {"store import 3 " + dir + "/dir", "dir: it is a directory, not a regular file"},
        {"store export 7 " + dir + "/dir", "dir: it is a directory, not a regular file"},
        {"image /dev/zero", "/dev/zero: it is a device, not a regular file"},
        {"store export 7 /dev/null", "/dev/null: it is a device, not a regular file"},
        {"image " + dir + "/height-2^31.bmp", "height-2^31.bmp is too large (10 x 2147483648"},
        {"image " + dir + "/width-5.bmp", "width-5.bmp has no pixels"},
        {"image " + dir + "/huge.bmp", "huge.bmp is too large (16385 x 1"},
        {"image " + dir + "/16bits.bmp",
         "16bits.bmp is a BMP image of 16 bits a pixel or compressed"},
        {"image " + dir + "/fields24.bmp",
         "fields24.bmp is a BMP image of 24 bits a pixel or compressed"},
        {"image " + dir + "/runlength.bmp",
         "runlength.bmp is a BMP image of 8 bits a pixel or compressed"},
        {"image " + dir + "/infosize.bmp", "infosize.bmp is a truncated BMP"},
        {"image " + dir + "/offset.bmp", "offset.bmp is a truncated BMP"},
        {"image " + dir + "/rows.bmp", "rows.bmp is a truncated BMP"},
        {"image " + dir + "/fieldsshort.bmp", "fieldsshort.bmp is a truncated BMP"},
        {"image " + dir + "/max0.pgm", "max0.pgm is a PGM image with a damaged header"},
        {"image " + dir + "/max65536.pgm", "max65536.pgm is a PGM image with a damaged header"},
        {"image " + dir + "/short16.pgm", "short16.pgm is a truncated PGM"},
        {"image " + dir + "/nosize.pgm", "nosize.pgm has no pixels"},
        {"image " + dir + "/digits.pgm", "digits.pgm is a PGM image with a damaged header"},
    };
    for (const auto &[line, error] : rows)
        QTest::newRow(qPrintable(error)) << line << error << true;
    // Refused as soon as it passes the limit, not held until its end comes.
    QTest::newRow("line still coming, past the limit")
        << QByteArray(100000, 'a') << "line longer than 4096 bytes" << false;
}

void tst_Control::refused()
{
    QFETCH(QByteArray, line);
    QFETCH(QString, error);
    QFETCH(bool, ended);
    QCOMPARE(vyrsim_store(7, 1), 0); // something to export
    Peer peer(m_socket);
    QVERIFY(peer.send(ended ? line + "\n" : line));
    const QString reply = QString::fromUtf8(peer.line());
    QVERIFY2(reply.startsWith("error: ") && reply.contains(error), qPrintable(reply));
    if (!ended)
        QVERIFY(peer.send("\n")); // ends the refused line
    QVERIFY(peer.send("store list\n")); // the connection carries on
    QCOMPARE(peer.line(), QByteArray("ok 1 of 1000 IDs hold a template"));
    QCOMPARE(peer.line(), QByteArray("7"));
    QCOMPARE(peer.line(), QByteArray());
    QCOMPARE(vyrsim_stored(3), 0);
}

void tst_Control::failedExportKeepsEarlierFile()
{
    QVERIFY(QDir(m_dir.path()).mkpath("exports"));
    const QString path = m_dir.filePath("exports/template");
    const QByteArray earlier(512, '\1');
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(earlier) == 512);
    file.close();
    // Files may grow to 100 bytes: the write of the 512-byte block fails
    // part way, as on a full disk.
    rlimit limit {};
    QVERIFY(getrlimit(RLIMIT_FSIZE, &limit) == 0);
    const rlimit small {100, limit.rlim_max};
    const auto oldHandler = signal(SIGXFSZ, SIG_IGN);
    QVERIFY(setrlimit(RLIMIT_FSIZE, &small) == 0);
    const std::string reply
        = Dispatcher(recordingApi).reply("store export 1 " + path.toStdString());
    setrlimit(RLIMIT_FSIZE, &limit);
    signal(SIGXFSZ, oldHandler);
    QVERIFY2(QString::fromStdString(reply).startsWith("error: cannot write " + path),
             reply.c_str());
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), earlier);
    QCOMPARE(QDir(m_dir.filePath("exports")).entryList(QDir::Files), QStringList {"template"});
}

void tst_Control::hangingClientsDelayNoCall()
{
    Peer silent(m_socket);
    Peer midLine(m_socket);
    QVERIFY(midLine.send("store add 1"));
    Peer greedy(m_socket); // asks for far more replies than it reads
    QVERIFY(greedy.send(QByteArray("help\n").repeated(2000)));
    Peer flood(m_socket); // ten megabytes of one line, still going on
    QVERIFY(flood.send(QByteArray(10 << 20, 'x')));
    QCOMPARE(vyrsim_store(4, 1), 0);
    {
        Peer vanishing(m_socket); // a line cut short is never run
        QVERIFY(vanishing.send("store clear"));
    }

    // While they hang, calls return and another client is served.
    int handle = 0;
    QCOMPARE(VYROpenDeviceEx(&handle, 2, nullptr, 2, 0), 0);
    QCOMPARE(VYRGetImage(handle, kAddr), int(VYRSIM_ERR_NO_FINGER));
    QVERIFY(command("status").startsWith("ok attached=yes open=yes"));

    QCOMPARE(flood.line(), QByteArray("error: line longer than 4096 bytes"));
    QVERIFY(flood.send("\nstore list\n")); // the rest of the line is dropped, then served
    QCOMPARE(flood.line(), QByteArray("ok 1 of 1000 IDs hold a template"));
    QCOMPARE(vyrsim_stored(4), 1);
    QVERIFY(greedy.line().startsWith("ok"));
}

// A command that takes long holds its own client's replies only: the
// enrollment of a finger new to the module waits at its gate while another
// client is answered.
void tst_Control::heldCommandDelaysNoOtherClient()
{
    QCOMPARE(vyrsim_gate("vyrsim_store", 1), 0);
    Peer held(m_socket);
    QVERIFY(held.send("store add 5 4343\n"));
    QTRY_COMPARE_WITH_TIMEOUT(vyrsim_gate_waiting(), 1, kWaitMs);
    const QString status = command("status");
    const int waiting = vyrsim_gate_waiting();
    QCOMPARE(vyrsim_gate("vyrsim_store", 0), 0);
    QVERIFY2(status.startsWith("ok attached=yes"), qPrintable(status));
    QCOMPARE(waiting, 1); // answered while the other command still waited
    QCOMPARE(held.line(), QByteArray("ok finger 4343 is stored under ID 5"));
    QCOMPARE(vyrsim_stored(5), 1);
}

void tst_Control::otherUserIsRefused()
{
    if (geteuid() != 0)
        QSKIP("only root can act as another user here");
    const QByteArray top = QFile::encodeName(m_dir.path());
    const QByteArray dir = top + "/vyrsim";
    QVERIFY(chmod(top, 0755) == 0);
    QCOMPARE(connectAsNobody(m_socket), 1); // the directory keeps others out
    // Opened up by mistake, the channel still checks who connects.
    QVERIFY(chmod(dir, 0755) == 0 && chmod(m_socket, 0666) == 0);
    const int opened = connectAsNobody(m_socket);
    QVERIFY(chmod(top, 0700) == 0 && chmod(dir, 0700) == 0 && chmod(m_socket, 0600) == 0);
    QCOMPARE(opened, 2);
    QVERIFY(command("status").startsWith("ok"));
}

void tst_Control::staleSocketsAreReplaced()
{
    vyrsim_control_stop();
    QVERIFY(!QFile::exists(m_socket));
    const pid_t gone = fork();
    if (gone == 0)
        _exit(0);
    QVERIFY(gone > 0 && waitpid(gone, nullptr, 0) == gone);
    const QByteArray dir = QFile::encodeName(m_dir.path()) + "/vyrsim/";
    const QByteArray stale = dir + QByteArray::number(gone) + ".sock";
    for (const QByteArray &path : {stale, m_socket}) { // as a killed process leaves them
        const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
        const sockaddr_un address = addressOf(path);
        QVERIFY(bind(fd, reinterpret_cast<const sockaddr *>(&address), sizeof address) == 0);
        close(fd);
    }
    QCOMPARE(vyrsim_control_start(), 0);
    QVERIFY(!QFile::exists(stale));
    QVERIFY(command("status").startsWith("ok"));
}

void tst_Control::vyrsimProgram_data()
{
    QTest::addColumn<QString>("arguments");
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("output"); // stdout, or stderr when it begins "vyrsim:"
    const QString cannotRead = "error: cannot read " + m_dir.path() + "/x y.png";
    const QList<std::tuple<const char *, QString, QByteArray, int, QString>> rows = {
        {"one command", "press|3", "", 0, "ok finger 3 lies on the sensor\n"},
        {"script", "", "lift\n# comment\n\nlog 1\n", 0,
         "ok nothing lies on the sensor\nok 0 of 0 calls\n\n"},
        {"error in a script", "", "pres\nlift", 1,
         "error: unknown command 'pres'; help lists the commands\nok nothing lies"},
        {"error reply", "store|delete|5", "", 1, "error: ID 5 holds no template\n"},
        {"relative path", "image|x y.png", "", 1, cannotRead},
        {"wrong command", "pres", "", 2, "vyrsim: error: unknown command 'pres'"},
        {"wrong pid", "--pid|1|lift", "", 1,
         "vyrsim: no simulated module runs in process 1 (looked for " + m_dir.path()
             + "/vyrsim/1.sock)\n"},
        // XDG_RUNTIME_DIR set to m_dir/dir, which holds no vyrsim folder.
        {"no module", "status", "", 1,
         "vyrsim: no simulated module is running (no folder " + m_dir.path() + "/dir/vyrsim)\n"},
        // Standard input a terminal: a hint once, a prompt before each line.
        {"terminal", "", "status\n", 0,
         "vyrsim: one command a line; help lists them, Ctrl+D ends\nvyrsim> vyrsim> "},
        {"version", "--version", "", 0, "vyrsim 1."},
        {"two modules", "lift", "", 1, "vyrsim: 2 simulated modules are running"},
        // A program that takes the connection and never answers: 5 s, then given up.
        {"module that does not answer", "--pid|" + QString::number(getppid()) + "|status", "", 1,
         "vyrsim: the simulated module gave no reply within 5 s"},
        {"short version", "-v", "", 0, "vyrsim 1."},
        {"usage", "-h", "", 0,
         "usage: vyrsim [--pid N] [COMMAND [ARGUMENT...]]\n"
         "       vyrsim -h | --help | -v | --version\n"},
        {"--pid after the command", "status|--pid|1", "", 2,
         "vyrsim: --pid goes before the command: vyrsim --pid N COMMAND"},
    };
    for (const auto &[tag, arguments, input, exitCode, output] : rows)
        QTest::newRow(tag) << arguments << input << exitCode << output;
}

void tst_Control::vyrsimProgram()
{
    QFETCH(QString, arguments);
    QFETCH(QByteArray, input);
    QFETCH(int, exitCode);
    QFETCH(QString, output);
    // A second module: any live process's socket that accepts connections.
    const QByteArray other
        = QFile::encodeName(m_dir.path()) + "/vyrsim/" + QByteArray::number(getppid()) + ".sock";
    const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
    const QByteArray tag = QTest::currentDataTag();
    if (tag == "two modules" || tag == "module that does not answer") {
        const sockaddr_un address = addressOf(other);
        QVERIFY(bind(fd, reinterpret_cast<const sockaddr *>(&address), sizeof address) == 0);
        QVERIFY(listen(fd, 1) == 0);
    }
    QProcess vyrsim;
    vyrsim.setWorkingDirectory(m_dir.path());
    if (tag == "no module") {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("XDG_RUNTIME_DIR", m_dir.filePath("dir"));
        vyrsim.setProcessEnvironment(environment);
    }
    const int terminal = tag == "terminal" ? posix_openpt(O_RDWR | O_NOCTTY) : -1;
    if (tag == "terminal") {
        QVERIFY(terminal >= 0 && grantpt(terminal) == 0 && unlockpt(terminal) == 0);
        vyrsim.setStandardInputFile(QFile::decodeName(ptsname(terminal)));
    }
    vyrsim.start(QCoreApplication::applicationDirPath() + "/vyrsim",
                 arguments.split('|', Qt::SkipEmptyParts));
    if (terminal >= 0) {
        const QByteArray typed = input + "\x04"; // Ctrl+D at the start of a line
        QCOMPARE(write(terminal, typed.constData(), size_t(typed.size())), ssize_t(typed.size()));
    } else {
        vyrsim.write(input);
        vyrsim.closeWriteChannel();
    }
    QVERIFY(vyrsim.waitForFinished(kWaitMs));
    if (terminal >= 0)
        close(terminal);
    close(fd);
    unlink(other.constData());
    const QByteArray text = output.startsWith("vyrsim:") ? vyrsim.readAllStandardError()
                                                         : vyrsim.readAllStandardOutput();
    QVERIFY2(QString::fromUtf8(text).startsWith(output), text.constData());
    QCOMPARE(vyrsim.exitCode(), exitCode);
}

QTEST_GUILESS_MAIN(tst_Control)
#include "tst_control.moc"
