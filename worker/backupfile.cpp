#include "backupfile.h"

#include <QSet>

#include <cstdint>

namespace {

const QByteArray kMagic = QByteArrayLiteral("FPBK");
constexpr quint16 kVersion = 1;
constexpr int kHeaderBytes = 16;
constexpr int kEntryHeadBytes = 8;
constexpr int kChecksumBytes = 4;

void put16(QByteArray &out, quint16 value)
{
    out.append(char(value & 0xff)).append(char(value >> 8));
}

void put32(QByteArray &out, quint32 value)
{
    for (int i = 0; i < 4; ++i)
        out.append(char((value >> (8 * i)) & 0xff));
}

quint32 get32(const QByteArray &in, int at)
{
    quint32 value = 0;
    for (int i = 3; i >= 0; --i)
        value = (value << 8) | quint8(in[at + i]);
    return value;
}

// The CRC-32 of zlib and PNG (reflected polynomial 0xEDB88320), so that any
// tool can check a file.
quint32 crc32(const char *data, qsizetype size)
{
    std::uint32_t crc = 0xffffffffu;
    for (qsizetype i = 0; i < size; ++i) {
        crc ^= quint8(data[i]);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (0xedb88320u & (0u - (crc & 1u)));
    }
    return crc ^ 0xffffffffu;
}

} // namespace

QByteArray encodeBackup(const Backup &backup)
{
    QByteArray out = kMagic;
    put16(out, kVersion);
    put16(out, 0); // reserved
    put32(out, quint32(backup.templates.size()));
    put32(out, quint32(backup.templateLength));
    for (const BackupTemplate &entry : backup.templates) {
        put32(out, quint32(entry.id));
        put32(out, quint32(entry.bytes.size()));
        out += entry.bytes;
    }
    put32(out, crc32(out.constData(), out.size()));
    return out;
}

std::optional<Backup> decodeBackup(const QByteArray &file)
{
    if (file.size() < kHeaderBytes + kChecksumBytes)
        return std::nullopt;
    const qsizetype body = file.size() - kChecksumBytes;
    if (crc32(file.constData(), body) != get32(file, int(body)))
        return std::nullopt;
    if (file.left(4) != kMagic || quint8(file[4]) != kVersion || file[5] != 0)
        return std::nullopt;
    const quint32 count = get32(file, 8);
    const quint32 length = get32(file, 12);
    // An empty store backs up with no length at all.
    const bool lengthFits = count == 0 ? length <= quint32(kBackupTemplateRoom)
                                       : length >= 1 && length <= quint32(kBackupTemplateRoom);
    if (count > quint32(kBackupIds) || !lengthFits
        || body != kHeaderBytes + qsizetype(count) * (kEntryHeadBytes + length))
        return std::nullopt;
    Backup backup;
    backup.templateLength = int(length);
    QSet<int> seen;
    int at = kHeaderBytes;
    for (quint32 i = 0; i < count; ++i) {
        const quint32 id = get32(file, at);
        if (id >= quint32(kBackupIds) || seen.contains(int(id)) || get32(file, at + 4) != length)
            return std::nullopt;
        seen.insert(int(id));
        backup.templates.push_back({int(id), file.mid(at + kEntryHeadBytes, int(length))});
        at += kEntryHeadBytes + int(length);
    }
    return backup;
}
