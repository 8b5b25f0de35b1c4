#ifndef SIMCONTROL_H
#define SIMCONTROL_H

#include "vyrsim.h"

#include <QByteArray>
#include <QFile>
#include <QLibrary>
#include <QMap>
#include <QStringList>
#include <QVector>

#include <initializer_list>

// The control calls of the simulated module, resolved from the very library
// file the worker loads (lib/ beside the executable), so that a test steers
// the module the worker talks to.
#define VYRSIM_CALL(name, ...)                                                                     \
    reinterpret_cast<decltype(&::name)>(m_library.resolve(#name))(__VA_ARGS__)

class SimControl
{
public:
    static SimControl &instance()
    {
        static SimControl control;
        return control;
    }

    bool loaded() const { return m_loaded; }

    void reset() { VYRSIM_CALL(vyrsim_reset); }
    void setAttached(bool attached) { VYRSIM_CALL(vyrsim_set_attached, attached ? 1 : 0); }
    void setCapacity(int ids) { VYRSIM_CALL(vyrsim_set_capacity, ids); }
    void setFrameMode(int mode) { VYRSIM_CALL(vyrsim_set_frame_mode, mode); }
    void setFinger(int finger) { VYRSIM_CALL(vyrsim_set_finger, finger); }
    void script(std::initializer_list<int> fingers)
    {
        VYRSIM_CALL(vyrsim_script, fingers.begin(), int(fingers.size()));
    }
    void script(const QVector<int> &fingers)
    {
        VYRSIM_CALL(vyrsim_script, fingers.constData(), fingers.size());
    }
    void setPassword(const QByteArray &password)
    {
        VYRSIM_CALL(vyrsim_set_password, reinterpret_cast<const unsigned char *>(password.data()));
    }
    // The frame (256 x 288, rows top first) as the library writes a BMP of it.
    bool writeBmp(QByteArray frame, const QString &path)
    {
        using Write = int (*)(unsigned char *, const char *);
        const auto write = reinterpret_cast<Write>(m_library.resolve("VYRImgData2BMP"));
        frame.resize(92160);
        return write
            && write(reinterpret_cast<unsigned char *>(frame.data()),
                     QFile::encodeName(path).constData())
            == 0;
    }
    int store(int id, int finger) { return VYRSIM_CALL(vyrsim_store, id, finger); }
    int stored(int id) { return VYRSIM_CALL(vyrsim_stored, id); }
    // The template under the ID as the module uploads it; empty for none.
    QByteArray exported(int id)
    {
        QByteArray block(512, '\0');
        const bool ok
            = VYRSIM_CALL(vyrsim_store_export, id, reinterpret_cast<unsigned char *>(block.data()))
            == 0;
        return ok ? block : QByteArray();
    }
    bool fail(const char *entry, int first, int count, int code = 1)
    {
        return VYRSIM_CALL(vyrsim_fail, entry, first, count, code) == 0;
    }
    bool gate(const char *entry, bool closed)
    {
        return VYRSIM_CALL(vyrsim_gate, entry, closed ? 1 : 0) == 0;
    }
    int gateWaiting() { return VYRSIM_CALL(vyrsim_gate_waiting); }

    // Answers the module's calls from a recording from now on; an empty
    // path ends the replay.
    int replay(const QString &path, double speed = 0)
    {
        return VYRSIM_CALL(vyrsim_replay,
                           path.isEmpty() ? nullptr : QFile::encodeName(path).constData(), speed);
    }
    QString status()
    {
        char text[2048];
        return VYRSIM_CALL(vyrsim_status, text, int(sizeof text)) < 0 ? QString()
                                                                      : QString::fromUtf8(text);
    }

    // The call log, with the addresses in `names` written as those names and
    // any other non-null address as "ptr".
    QStringList calls(const QMap<const void *, QString> &names = {});
    void clearCalls() { VYRSIM_CALL(vyrsim_log_clear); }

private:
    SimControl();

    QLibrary m_library;
    bool m_loaded = false;
};

#endif // SIMCONTROL_H
