#ifndef SIMCONTROL_H
#define SIMCONTROL_H

#include <QLibrary>
#include <QMap>
#include <QString>
#include <QStringList>

#include <initializer_list>

// The control calls of the simulated module, resolved from the very library
// file the worker loads (lib/ beside the test executable), so that the test
// steers the module the worker talks to.
class SimControl
{
public:
    static SimControl &instance();

    bool loaded() const { return m_loaded; }

    void reset();
    void setAttached(bool attached);
    void setCapacity(int ids);
    void setFrameMode(int mode);
    void setFinger(int finger);
    void script(std::initializer_list<int> fingers);
    void script(const QVector<int> &fingers);
    int store(int id, int finger);
    int stored(int id);
    bool fail(const char *entry, int first, int count, int code = 1);
    bool gate(const char *entry, bool closed);
    int gateWaiting();

    // The call log, with the addresses in `names` written as those names and
    // any other non-null address as "ptr".
    QStringList calls(const QMap<const void *, QString> &names = {});
    void clearCalls();

private:
    SimControl();

    QLibrary m_library;
    bool m_loaded = false;
};

#endif // SIMCONTROL_H
