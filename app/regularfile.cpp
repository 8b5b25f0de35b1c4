#include "regularfile.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

std::optional<QByteArray> readRegularFile(const QString &path, qint64 limit)
{
    // Opened without blocking: opening a FIFO that nobody writes to would
    // otherwise hold the window until somebody does.
    const int fd
        = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0)
        return std::nullopt;
    struct stat info
    {
    };
    QFile file;
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_size > limit
        || !file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return std::nullopt;
    }
    const QByteArray bytes = file.read(limit + 1);
    if (bytes.size() > limit || file.error() != QFileDevice::NoError)
        return std::nullopt;
    return bytes;
}

bool absentOrRegular(const QString &path)
{
    const QFileInfo info(path);
    return !info.exists() ? !info.isSymLink() : info.isFile();
}

bool writeRegularFile(const QString &path, const std::function<bool(QIODevice &)> &write)
{
    if (!absentOrRegular(path))
        return false;
    QSaveFile file(path);
    return file.open(QIODevice::WriteOnly) && write(file) && file.commit();
}
