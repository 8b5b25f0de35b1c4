#include "simcontrol.h"

#include "vyrsim.h"

#include <QCoreApplication>
#include <QRegularExpression>

namespace {

template<typename F> F bind(QLibrary &library, const char *name)
{
    return reinterpret_cast<F>(library.resolve(name));
}

#define CALL(name, ...) bind<decltype(&::name)>(m_library, #name)(__VA_ARGS__)

} // namespace

SimControl &SimControl::instance()
{
    static SimControl control;
    return control;
}

SimControl::SimControl()
    : m_library(QCoreApplication::applicationDirPath() + "/lib/libvyr_uos.so")
{
    m_loaded = m_library.load() && m_library.resolve("vyrsim_reset");
}

void SimControl::reset()
{
    CALL(vyrsim_reset);
}

void SimControl::setAttached(bool attached)
{
    CALL(vyrsim_set_attached, attached ? 1 : 0);
}

void SimControl::setCapacity(int ids)
{
    CALL(vyrsim_set_capacity, ids);
}

void SimControl::setFrameMode(int mode)
{
    CALL(vyrsim_set_frame_mode, mode);
}

void SimControl::setFinger(int finger)
{
    CALL(vyrsim_set_finger, finger);
}

void SimControl::script(std::initializer_list<int> fingers)
{
    CALL(vyrsim_script, fingers.begin(), int(fingers.size()));
}

void SimControl::script(const QVector<int> &fingers)
{
    CALL(vyrsim_script, fingers.constData(), fingers.size());
}

int SimControl::store(int id, int finger)
{
    return CALL(vyrsim_store, id, finger);
}

int SimControl::stored(int id)
{
    return CALL(vyrsim_stored, id);
}

bool SimControl::fail(const char *entry, int first, int count, int code)
{
    return CALL(vyrsim_fail, entry, first, count, code) == 0;
}

bool SimControl::gate(const char *entry, bool closed)
{
    return CALL(vyrsim_gate, entry, closed ? 1 : 0) == 0;
}

int SimControl::gateWaiting()
{
    return CALL(vyrsim_gate_waiting);
}

QStringList SimControl::calls(const QMap<const void *, QString> &names)
{
    QMap<QString, QString> byText;
    for (auto it = names.constBegin(); it != names.constEnd(); ++it)
        byText.insert(QStringLiteral("0x%1").arg(quintptr(it.key()), 0, 16), it.value());
    static const QRegularExpression address(QStringLiteral("0x[0-9a-f]+"));

    QStringList lines;
    const int size = CALL(vyrsim_log_size);
    for (int i = 0; i < size; ++i) {
        char text[512];
        if (CALL(vyrsim_log_entry, i, text, int(sizeof text)) < 0)
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

void SimControl::clearCalls()
{
    CALL(vyrsim_log_clear);
}
