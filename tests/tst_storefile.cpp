// The store file: every change of the store reaches it before the call
// returns, or fails and changes nothing; it survives a reload; a truncated,
// damaged or foreign file is refused and kept aside; a write cut short
// between the temporary file and the rename leaves the old store; a path
// that is no regular file is refused at once, left alone, and every change
// fails while the store in memory stays as it was.

#include "storefile.h"
#include "templatecodec.h"
#include "vyr_api.h"
#include "vyrsim.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <atomic>
#include <functional>

#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

using vyrsim::Store;
using vyrsim::StoreFile;

using Change = std::function<int(int handle)>;
Q_DECLARE_METATYPE(Change)

namespace {

constexpr int kAddr = -1;

// Set, every fsync of a directory fails, as on a disk that reports an error.
std::atomic<bool> failFolderSync {false};

} // namespace

// The store's own fsync calls come here: the module's parts are linked into
// this program.
extern "C" int fsync(int fd)
{
    struct stat info
    {
    };
    if (failFolderSync && ::fstat(fd, &info) == 0 && S_ISDIR(info.st_mode)) {
        errno = EIO;
        return -1;
    }
    return int(::syscall(SYS_fsync, fd));
}

namespace {

vyrsim::Template someTemplate(int seed)
{
    vyrsim::Template t;
    for (int i = 0; i < 30; ++i)
        t.minutiae.push_back({std::int16_t(20 + 7 * i), std::int16_t(30 + seed + 5 * i),
                              std::uint8_t(seed * 40 + i * 9), vyrsim::MinutiaType(i % 2), 80});
    return t;
}

QByteArray storeBytes()
{
    Store store;
    store.put(3, someTemplate(1));
    store.put(999, someTemplate(2));
    const unsigned char note[32] = {7, 7, 7};
    store.setNotepad(15, note);
    const std::vector<unsigned char> bytes = vyrsim::serializeStore(store);
    return QByteArray(reinterpret_cast<const char *>(bytes.data()), int(bytes.size()));
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(bytes), bytes.size());
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QList<int> storedIds(const Store &store)
{
    QList<int> ids;
    for (int id = 0; id < store.capacity(); ++id)
        if (store.occupied(id))
            ids << id;
    return ids;
}

// The checksum made right again after a deliberate change of the bytes.
QByteArray resealed(QByteArray bytes)
{
    const std::uint32_t crc
        = vyrsim::crc32(reinterpret_cast<const unsigned char *>(bytes.data()), bytes.size() - 4);
    for (int i = 0; i < 4; ++i)
        bytes[bytes.size() - 4 + i] = char(crc >> (8 * i));
    return bytes;
}

} // namespace

class tst_StoreFile : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void everyChangeSurvivesReload_data();
    void everyChangeSurvivesReload();
    void truncatedAtEveryLengthIsKeptAside();
    void damagedFileIsKeptAside_data();
    void damagedFileIsKeptAside();
    void interruptedWriteLeavesOldStore();
    void pathNoRegularFile_data();
    void pathNoRegularFile();

private:
    QTemporaryDir m_dir;
    QString m_path;
};

void tst_StoreFile::init()
{
    QVERIFY(m_dir.isValid());
    m_path = m_dir.filePath(QStringLiteral("sub/store"));
    vyrsim_reset();
}

void tst_StoreFile::cleanup()
{
    vyrsim_reset();
    QDir(m_dir.filePath(QStringLiteral("sub"))).removeRecursively();
}

void tst_StoreFile::everyChangeSurvivesReload_data()
{
    QTest::addColumn<Change>("change");
    QTest::addColumn<QList<int>>("ids"); // after the change, from IDs 1 and 2
    QTest::addColumn<int>("notepadByte"); // first byte of page 3 after it

    const auto download = [](int h) {
        unsigned char block[512];
        vyrsim_store_export(1, block);
        return VYRDownChar(h, kAddr, 0, block, 512);
    };
    const QList<std::tuple<const char *, Change, QList<int>, int>> rows = {
        {"VYRStoreChar",
         [=](int h) { return download(h) != 0 ? -100 : VYRStoreChar(h, kAddr, 0, 7); },
         {1, 2, 7},
         0},
        {"VYRDelChar", [](int h) { return VYRDelChar(h, kAddr, 1, 1); }, {2}, 0},
        {"VYREmpty", [](int h) { return VYREmpty(h, kAddr); }, {}, 0},
        {"VYRWriteInfo",
         [](int h) {
             unsigned char note[32] = {42};
             return VYRWriteInfo(h, kAddr, 3, note);
         },
         {1, 2},
         42},
        {"vyrsim_store", [](int) { return vyrsim_store(5, 3); }, {1, 2, 5}, 0},
        {"vyrsim_store_delete", [](int) { return vyrsim_store_delete(2); }, {1}, 0},
        {"vyrsim_store_clear", [](int) { return vyrsim_store_clear(); }, {}, 0},
        {"vyrsim_store_import",
         [](int) {
             unsigned char block[512];
             vyrsim_store_export(2, block);
             return vyrsim_store_import(9, block, 512);
         },
         {1, 2, 9},
         0},
    };
    for (const auto &[name, change, ids, note] : rows) {
        QTest::addRow("%s", name) << change << ids << note;
        QTest::addRow("%s, unwritable", name) << change << QList<int> {1, 2} << 0;
        QTest::addRow("%s, folder not flushed", name) << change << QList<int> {1, 2} << 0;
    }
}

void tst_StoreFile::everyChangeSurvivesReload()
{
    QFETCH(Change, change);
    QFETCH(QList<int>, ids);
    QFETCH(int, notepadByte);
    const bool unwritable = QByteArray(QTest::currentDataTag()).endsWith("unwritable");
    const bool unflushed = QByteArray(QTest::currentDataTag()).endsWith("not flushed");
    const auto moduleHolds = [&] {
        int handle = 0;
        unsigned char page[32] = {};
        QCOMPARE(VYROpenDeviceEx(&handle, 2, nullptr, 2, 0), 0);
        QCOMPARE(VYRReadInfo(handle, kAddr, 3, page), 0);
        QCOMPARE(int(page[0]), notepadByte);
        for (int id = 0; id < 10; ++id)
            QCOMPARE(vyrsim_stored(id), ids.contains(id) ? 1 : 0);
    };

    QCOMPARE(vyrsim_use_store(qPrintable(m_path)), 0);
    QCOMPARE(vyrsim_store(1, 1), 0);
    QCOMPARE(vyrsim_store(2, 2), 0);
    // A directory where the temporary file goes fails every write, root or not.
    if (unwritable)
        QVERIFY(
            QDir().mkdir(QString::fromStdString(StoreFile(m_path.toStdString()).temporaryPath())));
    int handle = 0;
    QCOMPARE(VYROpenDeviceEx(&handle, 2, nullptr, 2, 0), 0);
    failFolderSync = unflushed;
    const int result = change(handle);
    failFolderSync = false;
    QCOMPARE(result, unwritable || unflushed ? int(VYRSIM_ERR_FILE) : 0);
    moduleHolds();
    if (unflushed)
        return; // what the file holds after a failed flush is not known

    vyrsim_reset(); // the module forgets; the file remembers
    QCOMPARE(vyrsim_stored(1), 0);
    QCOMPARE(vyrsim_use_store(qPrintable(m_path)), 0);
    moduleHolds();
}

void tst_StoreFile::truncatedAtEveryLengthIsKeptAside()
{
    const QByteArray whole = storeBytes();
    QVERIFY(QDir().mkpath(QFileInfo(m_path).path()));
    const QString aside = m_path + QStringLiteral(".damaged");
    for (int length = 0; length <= whole.size(); ++length) {
        writeFile(m_path, whole.left(length));
        StoreFile file(m_path.toStdString());
        const StoreFile::Loaded loaded = file.load();
        const QByteArray tag = "length " + QByteArray::number(length);
        if (length == whole.size()) {
            QVERIFY2(loaded.problem.empty(), tag);
            QCOMPARE(storedIds(loaded.store), (QList<int> {3, 999}));
            break;
        }
        QVERIFY2(!loaded.problem.empty(), tag);
        QVERIFY2(loaded.store.count() == 0, tag);
        QCOMPARE(QString::fromStdString(loaded.keptAs), aside);
        QVERIFY2(!QFile::exists(m_path) && readFile(aside) == whole.left(length), tag);
        QVERIFY(QFile::remove(aside));
    }
}

void tst_StoreFile::damagedFileIsKeptAside_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("problem");
    const QByteArray good = storeBytes();
    QByteArray flipped = good;
    flipped[600] = char(flipped[600] ^ 0x10); // inside the first template
    QByteArray newer = good;
    newer[8] = 2;
    QByteArray beyond = good; // the second record's ID past the capacity
    beyond[532 + 516] = char(0xe8), beyond[532 + 516 + 1] = 0x03;
    QByteArray badBlock = good;
    badBlock[532 + 4 + 100] = char(badBlock[532 + 4 + 100] ^ 1);

    QTest::newRow("foreign") << QByteArray("\x89PNG\r\n\x1a\n", 8) + good << "not a store file";
    QTest::newRow("bit flipped") << flipped << "checksum";
    QTest::newRow("newer layout") << resealed(newer) << "layout version 2";
    QTest::newRow("ID past the capacity") << resealed(beyond) << "damaged";
    QTest::newRow("damaged template") << resealed(badBlock) << "damaged";
}

void tst_StoreFile::damagedFileIsKeptAside()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, problem);
    QVERIFY(QDir().mkpath(QFileInfo(m_path).path()));
    writeFile(m_path, "an earlier refused file");
    QVERIFY(QFile::rename(m_path, m_path + ".damaged"));
    writeFile(m_path, bytes);

    StoreFile file(m_path.toStdString());
    const StoreFile::Loaded loaded = file.load();
    QVERIFY2(QString::fromStdString(loaded.problem).contains(problem), loaded.problem.c_str());
    QCOMPARE(loaded.store.count(), 0);
    QCOMPARE(readFile(m_path + ".damaged"), QByteArray("an earlier refused file"));
    QCOMPARE(readFile(m_path + ".damaged.2"), bytes);

    // The module refuses it alike, starts empty, and may write a new store.
    writeFile(m_path, bytes);
    QCOMPARE(vyrsim_use_store(qPrintable(m_path)), int(VYRSIM_ERR_FILE));
    QCOMPARE(vyrsim_stored(3), 0);
    QCOMPARE(readFile(m_path + ".damaged.3"), bytes);
    QCOMPARE(vyrsim_store(4, 1), 0);
    QCOMPARE(vyrsim_use_store(qPrintable(m_path)), 0);
    QCOMPARE(vyrsim_stored(4), 1);
}

void tst_StoreFile::interruptedWriteLeavesOldStore()
{
    StoreFile file(m_path.toStdString());
    Store old;
    old.put(3, someTemplate(1));
    std::string error;
    QVERIFY(file.save(old, error));
    Store next = old;
    next.put(4, someTemplate(2));
    QVERIFY(file.writeTemporary(next, error)); // and the process dies before the rename
    QVERIFY(QFile::exists(QString::fromStdString(file.temporaryPath())));

    // The litter of a writer that is gone is swept; our own is written over.
    const pid_t child = fork();
    if (child == 0)
        _exit(0);
    QVERIFY(child > 0 && waitpid(child, nullptr, 0) == child);
    const QString litter = m_path + "." + QString::number(child) + ".tmp";
    writeFile(litter, "half a store");

    const StoreFile::Loaded loaded = StoreFile(m_path.toStdString()).load();
    QVERIFY(loaded.problem.empty());
    QCOMPARE(storedIds(loaded.store), QList<int> {3});
    QVERIFY(!QFile::exists(litter));
    QVERIFY(file.save(next, error));
    QCOMPARE(storedIds(StoreFile(m_path.toStdString()).load().store), (QList<int> {3, 4}));
}

void tst_StoreFile::pathNoRegularFile_data()
{
    QTest::addColumn<bool>("fifo"); // else a directory
    QTest::newRow("directory") << false;
    QTest::newRow("FIFO") << true; // nobody writes: an open that waits would never return
}

void tst_StoreFile::pathNoRegularFile()
{
    QFETCH(bool, fifo);
    QVERIFY(QDir().mkpath(QFileInfo(m_path).path()));
    if (!fifo) {
        // A directory put in the store file's place while the module uses it.
        QCOMPARE(vyrsim_use_store(qPrintable(m_path)), 0);
        QCOMPARE(vyrsim_store(4, 1), 0);
        QVERIFY(QFile::remove(m_path) && QDir().mkdir(m_path));
        QCOMPARE(vyrsim_store(5, 1), int(VYRSIM_ERR_FILE));
        QCOMPARE(vyrsim_store_delete(4), int(VYRSIM_ERR_FILE));
        QCOMPARE(vyrsim_stored(4), 1);
        QCOMPARE(vyrsim_stored(5), 0);
    } else {
        QVERIFY(mkfifo(QFile::encodeName(m_path).constData(), 0600) == 0);
    }

    const StoreFile::Loaded loaded = StoreFile(m_path.toStdString()).load();
    QVERIFY2(QString::fromStdString(loaded.problem).contains("no regular file"),
             loaded.problem.c_str());
    QVERIFY(loaded.keptAs.empty());

    QCOMPARE(vyrsim_use_store(qPrintable(m_path)), int(VYRSIM_ERR_FILE));
    QCOMPARE(vyrsim_store(5, 1), int(VYRSIM_ERR_FILE));
    QCOMPARE(vyrsim_stored(5), 0);
    unsigned char block[512];
    QCOMPARE(vyrsim_store_import(6, block, 0), int(VYRSIM_ERR_TEMPLATE));
    QCOMPARE(vyrsim_store_clear(), int(VYRSIM_ERR_FILE));
    const int h = [] {
        int handle = 0;
        return VYROpenDeviceEx(&handle, 2, nullptr, 2, 0) == 0 ? handle : 0;
    }();
    unsigned char page[32] = {1};
    QCOMPARE(VYRWriteInfo(h, kAddr, 0, page), int(VYRSIM_ERR_FILE));
    QCOMPARE(VYREmpty(h, kAddr), int(VYRSIM_ERR_FILE));
    int count = -1;
    QCOMPARE(VYRTemplateNum(h, kAddr, &count), 0);
    QCOMPARE(count, 0); // the store the refused file stood for: empty, and still so

    struct stat info
    {
    };
    QVERIFY(stat(QFile::encodeName(m_path).constData(), &info) == 0);
    QVERIFY(fifo ? S_ISFIFO(info.st_mode) : S_ISDIR(info.st_mode)); // left as it was
    QVERIFY(QDir(QFileInfo(m_path).path()).entryList(QDir::Files).isEmpty()); // no litter
    QVERIFY(fifo ? QFile::remove(m_path) : QDir().rmdir(m_path));
}

QTEST_GUILESS_MAIN(tst_StoreFile)
#include "tst_storefile.moc"
