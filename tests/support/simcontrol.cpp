#include "simcontrol.h"

#include <QCoreApplication>
#include <QRegularExpression>

SimControl::SimControl()
    : m_library(QCoreApplication::applicationDirPath() + "/lib/libvyr_uos.so")
{
    m_loaded = m_library.load() && m_library.resolve("vyrsim_reset");
}

QStringList SimControl::calls(const QMap<const void *, QString> &names)
{
    QMap<QString, QString> byText;
    for (auto it = names.constBegin(); it != names.constEnd(); ++it)
        byText.insert(QStringLiteral("0x%1").arg(quintptr(it.key()), 0, 16), it.value());
    static const QRegularExpression address(QStringLiteral("0x[0-9a-f]+"));

    QStringList lines;
    const int size = VYRSIM_CALL(vyrsim_log_size);
    for (int i = 0; i < size; ++i) {
        char text[512];
        if (VYRSIM_CALL(vyrsim_log_entry, i, text, int(sizeof text)) < 0)
            break;
        QString line = QString::fromUtf8(text);
        QRegularExpressionMatch match;
        int from = 0;
        while ((match = address.match(line, from)).hasMatch()) {
            const QString replacement = byText.value(match.captured(), QStringLiteral("ptr"));
            line.replace(match.capturedStart(), match.capturedLength(), replacement);
            from = match.capturedStart() + replacement.size();
        }
        lines << line;
    }
    return lines;
}
