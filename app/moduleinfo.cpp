#include "moduleinfo.h"

#include <QStringList>

namespace {

// Word `index` of the table, big-endian; 0 beyond its end.
quint32 word(const QByteArray &table, int index)
{
    if (table.size() < 2 * index + 2)
        return 0;
    return quint32(quint8(table.at(2 * index))) << 8 | quint8(table.at(2 * index + 1));
}

// Eight bytes a line: a notice wraps a longer line where it likes.
QString hexBytes(const QByteArray &bytes)
{
    QString text;
    for (int i = 0; i < bytes.size(); ++i) {
        if (i > 0)
            text += i % 8 == 0 ? QLatin1Char('\n') : QLatin1Char(' ');
        text += QStringLiteral("%1").arg(quint8(bytes.at(i)), 2, 16, QLatin1Char('0')).toUpper();
    }
    return text;
}

} // namespace

QString moduleInfoText(const QByteArray &table, int templates, int templateLength)
{
    const quint32 address = word(table, 4) << 16 | word(table, 5);
    // Packet sizes 32, 64, 128 and 256 bytes go by the codes 0 to 3; the
    // baud rate is a multiple of 9600.
    const quint32 packetCode = word(table, 6);
    const QString packet = packetCode <= 3 ? QString("%1 字节").arg(32u << packetCode)
                                           : QString("未知(%1)").arg(packetCode);
    QStringList lines;
    lines << QString("已存模板: %1/%2").arg(templates).arg(word(table, 2))
          << QString("安全等级: %1").arg(word(table, 3))
          << QString("设备地址: 0x%1")
                 .arg(QString::number(address, 16).toUpper().rightJustified(8, QLatin1Char('0')))
          << QString("数据包大小: %1").arg(packet)
          << QString("波特率: %1").arg(9600u * word(table, 7))
          << QString("模板长度: %1 字节").arg(templateLength)
          << QString("参数表:\n%1").arg(hexBytes(table));
    return lines.join(QLatin1Char('\n'));
}
