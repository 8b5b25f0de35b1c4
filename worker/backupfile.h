#ifndef BACKUPFILE_H
#define BACKUPFILE_H

// The file 备份指纹库… writes and 恢复指纹库… reads (docs/backup-file.md):
// a 16-byte header, the templates with their IDs, and a CRC-32 of all
// that. The window checks a file whole before the worker writes any of it
// to the module, and the worker checks it again, since it acts on what it
// is handed alone.

#include <QByteArray>

#include <optional>
#include <vector>

constexpr int kBackupIds = 1024; // IDs 0 to 1023 are backed up and restored
constexpr int kBackupTemplateRoom = 8192; // no module's template is longer

struct BackupTemplate
{
    int id;
    QByteArray bytes;
};

struct Backup
{
    int templateLength = 0;
    std::vector<BackupTemplate> templates; // in the order of the file
};

// The file of templates all `templateLength` bytes long.
QByteArray encodeBackup(const Backup &backup);

// The backup a file holds, or none when anything about it is wrong: its
// size, magic, version, checksum, a length, an ID outside 0..1023 or one
// that comes twice.
std::optional<Backup> decodeBackup(const QByteArray &file);

#endif // BACKUPFILE_H
