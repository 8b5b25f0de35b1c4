// The simulated module loaded where no thread can be had: the process that
// loads it lives on, is told so in one line, finds every entry point
// answering, and keeps no socket file and no descriptor of the channel that
// could not start.
//
// No Qt here: this program refuses every thread, and is linked with its
// symbols exported so that the C++ runtime's std::thread lands on the
// refusal below too.

#include "vyr_api.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>

#include <dirent.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <pthread.h>
#include <unistd.h>

extern "C" int pthread_create(pthread_t *, const pthread_attr_t *, void *(*)(void *),
                              void *) noexcept
{
    return EAGAIN;
}

namespace {

std::set<std::string> entries(const std::string &directory)
{
    std::set<std::string> names;
    if (DIR *dir = opendir(directory.c_str())) {
        while (const dirent *entry = readdir(dir))
            names.insert(entry->d_name);
        closedir(dir);
    }
    return names;
}

// The descriptors open, each as the file it names.
std::set<std::string> descriptors()
{
    std::set<std::string> open;
    for (const std::string &name : entries("/proc/self/fd")) {
        char target[4096] = {};
        const std::string link = "/proc/self/fd/" + name;
        if (readlink(link.c_str(), target, sizeof target - 1) > 0)
            open.insert(name + " " + target);
    }
    return open;
}

std::string fileText(const std::string &path)
{
    std::string text;
    if (FILE *file = std::fopen(path.c_str(), "r")) {
        char chunk[4096];
        for (std::size_t n; (n = std::fread(chunk, 1, sizeof chunk, file)) > 0;)
            text.append(chunk, n);
        std::fclose(file);
    }
    return text;
}

int failed(const std::string &what)
{
    std::printf("FAIL: %s\n", what.c_str());
    return 1;
}

} // namespace

int main()
{
    char top[] = "/tmp/tst_nothread.XXXXXX";
    if (!mkdtemp(top))
        return failed("no temporary directory");
    const std::string dir = top;
    setenv("XDG_RUNTIME_DIR", top, 1);
    unsetenv("VYRSIM_CONTROL"); // the channel is wanted, and cannot start
    setenv("VYRSIM_STORE", "none", 1);

    // What the library says on standard error goes to a file, to be read.
    const std::string said = dir + "/stderr";
    const int saved = dup(2);
    const int sink = open(said.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    dup2(sink, 2);
    close(sink);
    const std::set<std::string> before = descriptors();
    void *library = dlopen(VYR_LIBRARY, RTLD_NOW | RTLD_LOCAL);
    const std::set<std::string> after = descriptors();
    dup2(saved, 2);
    close(saved);

    if (!library)
        return failed(std::string("the library did not load: ") + dlerror());
    const std::string text = fileText(said);
    std::fputs(text.c_str(), stdout);
    if (text.compare(0, 8, "vyrsim: ") != 0 || text.find('\n') != text.size() - 1)
        return failed("not one line beginning \"vyrsim: \" on standard error");
    if (after != before)
        return failed("the load left descriptors open");
    const auto open
        = reinterpret_cast<decltype(&VYROpenDeviceEx)>(dlsym(library, "VYROpenDeviceEx"));
    int handle = 0;
    if (!open || open(&handle, 2, nullptr, 2, 0) != 0 || handle == 0)
        return failed("VYROpenDeviceEx does not answer");
    for (const std::string &name : entries(dir + "/vyrsim"))
        if (name != "." && name != "..")
            return failed("left behind: " + name);
    unlink(said.c_str());
    rmdir((dir + "/vyrsim").c_str());
    rmdir(top);
    std::printf("PASS\n");
    return 0;
}
