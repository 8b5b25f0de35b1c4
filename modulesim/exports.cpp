// The exported C interface: the vendor entry points and the control calls.

#include "vyr_api.h"
#include "vyrsim.h"

#include "bmp.h"
#include "harness.h"
#include "listener.h"
#include "module.h"
#include "player.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <optional>
#include <string>
#include <type_traits>
#include <vector>

using vyrsim::Harness;
using vyrsim::Module;
using vyrsim::Player;
using vyrsim::control::Listener;

namespace {

std::string arg(int value)
{
    return std::to_string(value);
}

std::string arg(const void *pointer)
{
    if (!pointer)
        return "null";
    char text[32];
    std::snprintf(text, sizeof text, "0x%llx",
                  static_cast<unsigned long long>(reinterpret_cast<std::uintptr_t>(pointer)));
    return text;
}

// One call of an entry point: it waits at a closed gate, then is answered
// by a running replay, an injected failure or the module, in that order, and
// is logged with its arguments and its result.
class Call
{
public:
    template<typename... Args>
    Call(const char *name, recording::ShapeList shapes, Args... args)
        : m_name(name)
        , m_shapes(shapes)
        , m_params {recording::param(args)...}
        , m_fault(Harness::instance().enter(name))
    {
        m_line = name;
        m_line += '(';
        const char *separator = "";
        ((m_line += separator, m_line += arg(args), separator = ", "), ...);
        m_line += ')';
    }

    template<typename Body> int run(Body body)
    {
        Player &player = Player::instance();
        const int result = player.active() ? player.answer(m_name, m_shapes, m_params.data())
            : m_fault                      ? *m_fault
                                           : body();
        Harness::instance().record(m_line + " = " + std::to_string(result));
        return result;
    }

private:
    const char *m_name;
    recording::ShapeList m_shapes;
    std::vector<recording::Param> m_params;
    std::optional<int> m_fault;
    std::string m_line;
};

#define CALL(entry, ...) Call(#entry, recording::shapes::entry, __VA_ARGS__)

vyrsim::Device &device()
{
    return Module::instance().device();
}

vyrsim::DeviceStore &deviceStore()
{
    return Module::instance().deviceStore();
}

vyrsim::TestControl &control()
{
    return Module::instance().control();
}

vyrsim::StoreControl &storeControl()
{
    return Module::instance().storeControl();
}

// Copies a text into a caller's buffer, NUL-terminated, cut to fit; returns
// its whole length.
int copyText(const std::string &text, char *out, int size)
{
    if (!out || size < 1)
        return -1;
    const std::size_t n = std::min(text.size(), std::size_t(size - 1));
    std::memcpy(out, text.data(), n);
    out[n] = '\0';
    return int(text.size());
}

} // namespace

extern "C" {

int VYR_SETPATH(int path, int option)
{
    return CALL(VYR_SETPATH, path, option).run([&] { return device().setPath(path, option); });
}

int VYR_MODE(int mode)
{
    return CALL(VYR_MODE, mode).run([&] { return device().setMode(mode); });
}

void VYR_Delaytime(int ms)
{
    CALL(VYR_Delaytime, ms).run([&] {
        control().setDelayMs(ms);
        return 0;
    });
}

int VYROpenDeviceEx(int *handle, int type, const char *name, int port, int baud)
{
    return CALL(VYROpenDeviceEx, handle, type, name, port, baud).run([&] {
        return device().open(handle);
    });
}

int VYRCloseDeviceEx(int h)
{
    return CALL(VYRCloseDeviceEx, h).run([&] { return device().close(h); });
}

int VYRVfyPwd(int h, int addr, unsigned char *password)
{
    return CALL(VYRVfyPwd, h, addr, password).run([&] {
        return device().verifyPassword(h, addr, password);
    });
}

int VYRGetImage(int h, int addr)
{
    return CALL(VYRGetImage, h, addr).run([&] { return device().getImage(h, addr); });
}

int VYRUpImage(int h, int addr, unsigned char *image, int *length)
{
    return CALL(VYRUpImage, h, addr, image, length).run([&] {
        return device().upImage(h, addr, image, length);
    });
}

int VYRGenChar(int h, int addr, int buffer)
{
    return CALL(VYRGenChar, h, addr, buffer).run([&] { return device().genChar(h, addr, buffer); });
}

int VYRMatch(int h, int addr, int *score)
{
    return CALL(VYRMatch, h, addr, score).run([&] { return device().match(h, addr, score); });
}

int VYRSearch(int h, int addr, int buffer, int start, int count, int *id, int *score)
{
    return CALL(VYRSearch, h, addr, buffer, start, count, id, score).run([&] {
        return device().search(h, addr, buffer, start, count, id, score);
    });
}

int VYRRegModule(int h, int addr)
{
    return CALL(VYRRegModule, h, addr).run([&] { return device().regModule(h, addr); });
}

int VYRStoreChar(int h, int addr, int buffer, int id)
{
    return CALL(VYRStoreChar, h, addr, buffer, id).run([&] {
        return deviceStore().storeChar(h, addr, buffer, id);
    });
}

int VYRLoadChar(int h, int addr, int buffer, int id)
{
    return CALL(VYRLoadChar, h, addr, buffer, id).run([&] {
        return deviceStore().loadChar(h, addr, buffer, id);
    });
}

int VYRUpChar(int h, int addr, int buffer, unsigned char *data, int *length)
{
    return CALL(VYRUpChar, h, addr, buffer, data, length).run([&] {
        return device().upChar(h, addr, buffer, data, length);
    });
}

int VYRDownChar(int h, int addr, int buffer, unsigned char *data, int length)
{
    return CALL(VYRDownChar, h, addr, buffer, data, length).run([&] {
        return device().downChar(h, addr, buffer, data, length);
    });
}

int VYRDelChar(int h, int addr, int id, int count)
{
    return CALL(VYRDelChar, h, addr, id, count).run([&] {
        return deviceStore().delChar(h, addr, id, count);
    });
}

int VYREmpty(int h, int addr)
{
    return CALL(VYREmpty, h, addr).run([&] { return deviceStore().empty(h, addr); });
}

int VYRReadParTable(int h, int addr, unsigned char *table)
{
    return CALL(VYRReadParTable, h, addr, table).run([&] {
        return deviceStore().readParTable(h, addr, table);
    });
}

int VYRTemplateNum(int h, int addr, int *count)
{
    return CALL(VYRTemplateNum, h, addr, count).run([&] {
        return deviceStore().templateNum(h, addr, count);
    });
}

int VYRReadIndexTable(int h, int addr, int page, unsigned char *bits)
{
    return CALL(VYRReadIndexTable, h, addr, page, bits).run([&] {
        return deviceStore().readIndexTable(h, addr, page, bits);
    });
}

int VYRGetRandomData(int h, int addr, unsigned char *data)
{
    return CALL(VYRGetRandomData, h, addr, data).run([&] {
        return device().randomData(h, addr, data);
    });
}

int VYRDoUserDefine(int h, int addr, int port, int level)
{
    return CALL(VYRDoUserDefine, h, addr, port, level).run([&] {
        return device().userDefine(h, addr, port, level);
    });
}

int VYRSetCharLen(int length)
{
    return CALL(VYRSetCharLen, length).run([&] { return device().setCharLen(length); });
}

int VYRGetCharLen(int *length)
{
    return CALL(VYRGetCharLen, length).run([&] { return device().getCharLen(length); });
}

int VYRImgData2BMP(unsigned char *image, const char *path)
{
    return CALL(VYRImgData2BMP, image, path).run([&] { return vyrsim::writeBmp(image, path); });
}

int VYRGetImgDataFromBMP(const char *path, unsigned char *image, int *length)
{
    return CALL(VYRGetImgDataFromBMP, path, image, length).run([&] {
        return vyrsim::readBmp(path, image, length);
    });
}

int VYRReadInfo(int h, int addr, int page, unsigned char *data)
{
    return CALL(VYRReadInfo, h, addr, page, data).run([&] {
        return deviceStore().readInfo(h, addr, page, data);
    });
}

int VYRWriteInfo(int h, int addr, int page, unsigned char *data)
{
    return CALL(VYRWriteInfo, h, addr, page, data).run([&] {
        return deviceStore().writeInfo(h, addr, page, data);
    });
}

} // extern "C"

// Each export is the function the list names, with the very signature the
// program's pointer type (Q_<name> in worker/modulelib.h) is made from.
#define VYR_CHECK_EXPORT(result, name, parameters, shapes)                                         \
    static_assert(std::is_same_v<decltype(&::name), result(*) parameters>,                         \
                  #name " is exported with another signature than the list gives");
VYR_ENTRY_POINTS(VYR_CHECK_EXPORT)
#undef VYR_CHECK_EXPORT

extern "C" {

// Control

void vyrsim_reset(void)
{
    Player::instance().stop();
    control().reset();
}

int vyrsim_use_store(const char *path)
{
    return storeControl().useStore(path);
}

void vyrsim_set_attached(int attached)
{
    control().setAttached(attached != 0);
}

void vyrsim_set_delay_ms(int ms)
{
    control().setDelayMs(ms);
}

void vyrsim_set_password(const unsigned char *password)
{
    control().setPassword(password);
}

void vyrsim_set_autopilot(int on)
{
    control().setAutopilot(on != 0);
}

void vyrsim_set_autopilot_finger(int finger)
{
    control().setAutopilotFinger(finger);
}

void vyrsim_set_capacity(int ids)
{
    storeControl().setCapacity(ids);
}

int vyrsim_capacity(void)
{
    return storeControl().capacity();
}

void vyrsim_set_frame_mode(int mode)
{
    control().setFrameMode(mode);
}

void vyrsim_set_finger(int finger)
{
    control().setFinger(finger);
}

void vyrsim_script(const int *fingers, int count)
{
    control().setScript(fingers, count);
}

int vyrsim_script_left(void)
{
    return control().scriptLeft();
}

int vyrsim_place_image(const unsigned char *pixels, int width, int height)
{
    return control().placeImage(pixels, width, height);
}

int vyrsim_store(int id, int finger)
{
    return storeControl().storeFinger(id, finger);
}

int vyrsim_stored(int id)
{
    return storeControl().stored(id);
}

int vyrsim_store_delete(int id)
{
    return storeControl().storeDelete(id);
}

int vyrsim_store_clear(void)
{
    return storeControl().storeClear();
}

int vyrsim_store_export(int id, unsigned char *block)
{
    return storeControl().storeExport(id, block);
}

int vyrsim_store_import(int id, const unsigned char *block, int length)
{
    return storeControl().storeImport(id, block, length);
}

int vyrsim_fail(const char *entry, int first, int count, int code)
{
    return entry && Harness::instance().setFault(entry, first, count, code) ? 0 : -1;
}

void vyrsim_fail_clear(void)
{
    Harness::instance().clearFaults();
}

int vyrsim_gate(const char *entry, int closed)
{
    return entry && Harness::instance().setGate(entry, closed != 0) ? 0 : -1;
}

int vyrsim_gate_waiting(void)
{
    return Harness::instance().waiting();
}

int vyrsim_log_size(void)
{
    return Harness::instance().logSize();
}

int vyrsim_log_entry(int index, char *out, int size)
{
    const std::optional<std::string> line = Harness::instance().logEntry(index);
    return line ? copyText(*line, out, size) : -1;
}

void vyrsim_log_clear(void)
{
    Harness::instance().clearLog();
}

int vyrsim_status(char *out, int size)
{
    std::string text = control().describe() + " faults=" + Harness::instance().describeFaults();
    const std::string replay = Player::instance().status();
    if (!replay.empty())
        text += " replay=\"" + replay + "\"";
    return copyText(text, out, size);
}

int vyrsim_replay(const char *path, double speed)
{
    if (!path || !*path) {
        Player::instance().stop();
        return VYRSIM_OK;
    }
    return Player::instance().start(path, speed) ? VYRSIM_OK : VYRSIM_ERR_FILE;
}

int vyrsim_control_start(void)
{
    return Listener::instance().start() ? 0 : -1;
}

void vyrsim_control_stop(void)
{
    Listener::instance().stop();
}

int vyrsim_control_socket(char *out, int size)
{
    const std::string path = Listener::instance().socketPath();
    return path.empty() ? -1 : copyText(path, out, size);
}

} // extern "C"
