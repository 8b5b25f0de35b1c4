// How long the program's calls wait while the control channel enrolls
// fingers: a script of 50 "store add" lines, each a finger not enrolled
// before, sent over the socket, while this thread calls entry points as the
// worker does and times each call. Once with the store in memory, once in a
// file, whose every change is flushed to disk.
//
//   bench_storeadd [LINES]

#include "vyr_api.h"
#include "vyrsim.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kAddr = -1;

double msSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

int connectToChannel()
{
    sockaddr_un address {};
    address.sun_family = AF_UNIX;
    if (vyrsim_control_socket(address.sun_path, sizeof address.sun_path) <= 0)
        return -1;
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd >= 0
        && ::connect(fd, reinterpret_cast<const sockaddr *>(&address), sizeof address) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// Sends the lines one after another, each once the last was answered, and
// returns how long each took; empty when the channel failed.
std::vector<double> runScript(int fd, int lines, int firstFinger)
{
    std::vector<double> times;
    std::string buffer;
    for (int i = 0; i < lines; ++i) {
        const std::string line
            = "store add " + std::to_string(i) + " " + std::to_string(firstFinger + i) + "\n";
        const Clock::time_point start = Clock::now();
        if (::send(fd, line.data(), line.size(), MSG_NOSIGNAL) != ssize_t(line.size()))
            return {};
        while (buffer.find('\n') == std::string::npos) {
            char chunk[512];
            const ssize_t n = ::recv(fd, chunk, sizeof chunk, 0);
            if (n <= 0)
                return {};
            buffer.append(chunk, std::size_t(n));
        }
        if (buffer.compare(0, 2, "ok") != 0) {
            std::fprintf(stderr, "bench_storeadd: %s", buffer.c_str());
            return {};
        }
        buffer.erase(0, buffer.find('\n') + 1);
        times.push_back(msSince(start));
    }
    return times;
}

// The value below which the share `part` of the values lie.
double percentile(std::vector<double> values, double part)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[std::size_t(part * double(values.size() - 1))];
}

int measure(const char *what, int lines, int firstFinger)
{
    const int fd = connectToChannel();
    if (fd < 0) {
        std::fprintf(stderr, "bench_storeadd: no control channel\n");
        return 1;
    }
    int handle = 0;
    if (VYROpenDeviceEx(&handle, 2, nullptr, 2, 0) != 0) {
        std::fprintf(stderr, "bench_storeadd: the module does not open\n");
        return 1;
    }
    std::atomic<bool> done {false};
    std::vector<double> adds;
    std::thread script([&] {
        adds = runScript(fd, lines, firstFinger);
        done = true;
    });
    // The worker's calls of an idle capture loop and of an index query.
    std::vector<double> calls;
    std::vector<unsigned char> frame(256 * 288);
    unsigned char page[32];
    int length = 0;
    int count = 0;
    while (!done) {
        for (int call = 0; call < 4; ++call) {
            const Clock::time_point start = Clock::now();
            switch (call) {
            case 0:
                VYRGetImage(handle, kAddr);
                break;
            case 1:
                VYRUpImage(handle, kAddr, frame.data(), &length);
                break;
            case 2:
                VYRReadIndexTable(handle, kAddr, 0, page);
                break;
            default:
                VYRTemplateNum(handle, kAddr, &count);
                break;
            }
            calls.push_back(msSince(start));
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    script.join();
    ::close(fd);
    VYRCloseDeviceEx(handle);
    if (int(adds.size()) != lines)
        return 1;
    std::printf("%s: %d store add lines, each %.0f ms (median), %.0f ms (slowest); %zu entry "
                "point calls meanwhile, median %.3f ms, 99th percentile %.3f ms, slowest %.2f ms\n",
                what, lines, percentile(adds, 0.5), percentile(adds, 1), calls.size(),
                percentile(calls, 0.5), percentile(calls, 0.99), percentile(calls, 1));
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    const int lines = argc > 1 ? std::atoi(argv[1]) : 50;
    if (argc > 2 || lines < 1 || lines > 1000) {
        std::fprintf(stderr, "usage: bench_storeadd [LINES]   (1 to 1000, default 50)\n");
        return 2;
    }
    char directory[] = "/tmp/bench_storeadd.XXXXXX";
    if (!::mkdtemp(directory)) {
        std::perror("bench_storeadd");
        return 1;
    }
    // A channel of our own, whatever the environment says.
    ::setenv("XDG_RUNTIME_DIR", directory, 1);
    vyrsim_control_stop();
    if (vyrsim_control_start() != 0)
        return 1;
    vyrsim_reset();
    int status = measure("store in memory", lines, 1000);
    const std::string store = std::string(directory) + "/store";
    vyrsim_reset();
    if (status == 0 && vyrsim_use_store(store.c_str()) == 0)
        status = measure("store in a file", lines, 1000 + lines);
    vyrsim_use_store(nullptr);
    vyrsim_control_stop();
    ::unlink(store.c_str());
    ::rmdir((std::string(directory) + "/vyrsim").c_str());
    ::rmdir(directory);
    return status;
}
