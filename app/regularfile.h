#ifndef REGULARFILE_H
#define REGULARFILE_H

// The window reads and writes only regular files, and never waits on one:
// a FIFO, a device or a directory picked in a file dialog is refused at
// once, as a file that cannot be read or written is.

#include <QByteArray>
#include <QString>

#include <functional>
#include <optional>

class QIODevice;

// The whole file when it is a regular file of at most `limit` bytes.
std::optional<QByteArray> readRegularFile(const QString &path, qint64 limit);

// Whether `path` names nothing yet or a regular file (through symbolic links).
bool absentOrRegular(const QString &path);

// Writes the file through `write` to a temporary file beside it and renames
// that over it once whole, so that a failed write leaves an earlier file as
// it was. Refused when `path` names something other than a regular file.
bool writeRegularFile(const QString &path, const std::function<bool(QIODevice &)> &write);

#endif // REGULARFILE_H
