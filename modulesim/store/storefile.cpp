#include "storefile.h"

#include "plumbing.h"
#include "templatecodec.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vyrsim {

namespace {

constexpr unsigned char kMagic[8] = {'V', 'Y', 'R', 'S', 'T', 'O', 'R', 'E'};
constexpr std::uint32_t kVersion = 1;
constexpr std::size_t kHeaderBytes = 20;
constexpr std::size_t kNotepadBytes = Store::kNotepadPages * Store::kNotepadPageBytes;
constexpr std::size_t kRecordBytes = 4 + kTemplateBytes;
constexpr std::size_t kEmptyFileBytes = kHeaderBytes + kNotepadBytes + 4;
constexpr std::size_t kLargestFileBytes = kEmptyFileBytes + kRecordBytes * Store::kMaxCapacity;

std::string parentOf(const std::string &path)
{
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string nameOf(const std::string &path)
{
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// mkdir -p, private to the user: the store says what they enrolled.
bool makeDirectories(const std::string &dir)
{
    for (std::size_t at = 1; at <= dir.size(); ++at) {
        if (at < dir.size() && dir[at] != '/')
            continue;
        const std::string part = dir.substr(0, at);
        if (::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST)
            return false;
    }
    return true;
}

bool writeAll(int fd, const unsigned char *data, std::size_t size)
{
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data += n;
        size -= std::size_t(n);
    }
    return true;
}

} // namespace

std::vector<unsigned char> serializeStore(const Store &store)
{
    std::vector<unsigned char> out(kMagic, kMagic + sizeof kMagic);
    appendLe32(out, kVersion);
    appendLe32(out, std::uint32_t(store.capacity()));
    appendLe32(out, std::uint32_t(store.count()));
    for (int page = 0; page < Store::kNotepadPages; ++page)
        out.insert(out.end(), store.notepad(page).begin(), store.notepad(page).end());
    for (int id = 0; id < store.capacity(); ++id) {
        if (!store.occupied(id))
            continue;
        appendLe32(out, std::uint32_t(id));
        const TemplateBytes block = encodeTemplate(store.at(id));
        out.insert(out.end(), block.begin(), block.end());
    }
    appendLe32(out, crc32(out.data(), int(out.size())));
    return out;
}

std::optional<Store> parseStore(const unsigned char *data, std::size_t size, std::string &problem)
{
    if (size >= sizeof kMagic && std::memcmp(data, kMagic, sizeof kMagic) != 0) {
        problem = "not a store file";
        return std::nullopt;
    }
    if (size < kEmptyFileBytes) {
        problem = "truncated to " + std::to_string(size) + " bytes";
        return std::nullopt;
    }
    const std::uint32_t version = getLe32(data + 8);
    const std::uint32_t capacity = getLe32(data + 12);
    const std::uint32_t count = getLe32(data + 16);
    if (version != kVersion) {
        problem = "layout version " + std::to_string(version) + ", this module reads "
            + std::to_string(kVersion);
        return std::nullopt;
    }
    if (capacity < 1 || capacity > std::uint32_t(Store::kMaxCapacity) || count > capacity) {
        problem = "capacity " + std::to_string(capacity) + " or count " + std::to_string(count)
            + " out of range";
        return std::nullopt;
    }
    const std::size_t expected = kEmptyFileBytes + kRecordBytes * count;
    if (size != expected) {
        problem = std::to_string(size) + " bytes where " + std::to_string(count)
            + " templates take " + std::to_string(expected);
        return std::nullopt;
    }
    if (crc32(data, int(size - 4)) != getLe32(data + size - 4)) {
        problem = "checksum mismatch";
        return std::nullopt;
    }
    Store store {int(capacity)};
    const unsigned char *at = data + kHeaderBytes;
    for (int page = 0; page < Store::kNotepadPages; ++page, at += Store::kNotepadPageBytes)
        store.setNotepad(page, at);
    long long previous = -1;
    for (std::uint32_t i = 0; i < count; ++i, at += kRecordBytes) {
        const std::uint32_t id = getLe32(at);
        std::optional<Template> t = decodeTemplate(at + 4, kTemplateBytes);
        if (id >= capacity || (long long)id <= previous || !t || t->empty()) {
            problem = "record " + std::to_string(i) + " (ID " + std::to_string(id) + ") is damaged";
            return std::nullopt;
        }
        previous = id;
        store.put(int(id), std::move(*t));
    }
    return store;
}

StoreFile::StoreFile(std::string path)
    : m_path(std::move(path))
{ }

std::string StoreFile::defaultPath()
{
    const char *data = std::getenv("XDG_DATA_HOME");
    if (data && data[0] == '/')
        return std::string(data) + "/fpdesk/modulesim/store";
    const char *home = std::getenv("HOME");
    std::string homeDir = home && home[0] == '/' ? home : "";
    if (homeDir.empty()) {
        char buffer[4096];
        passwd entry {};
        passwd *found = nullptr;
        if (::getpwuid_r(::getuid(), &entry, buffer, sizeof buffer, &found) == 0 && found
            && found->pw_dir && found->pw_dir[0] == '/')
            homeDir = found->pw_dir;
    }
    return homeDir.empty() ? std::string() : homeDir + "/.local/share/fpdesk/modulesim/store";
}

std::string StoreFile::temporaryPath() const
{
    return m_path + "." + std::to_string(::getpid()) + ".tmp";
}

// A process killed between writing its temporary file and renaming it
// leaves that file behind; once the process is gone it is only litter.
void StoreFile::removeDeadTemporaries() const
{
    const std::string dir = parentOf(m_path);
    const std::string prefix = nameOf(m_path) + ".";
    DIR *listing = ::opendir(dir.c_str());
    if (!listing)
        return;
    while (const dirent *entry = ::readdir(listing)) {
        const std::string name = entry->d_name;
        if (name.size() <= prefix.size() + 4 || name.compare(0, prefix.size(), prefix) != 0
            || name.compare(name.size() - 4, 4, ".tmp") != 0)
            continue;
        const std::string digits = name.substr(prefix.size(), name.size() - prefix.size() - 4);
        if (digits.find_first_not_of("0123456789") != std::string::npos || digits.size() > 9)
            continue;
        const pid_t pid = pid_t(std::stol(digits));
        if (pid > 0 && pid != ::getpid() && ::kill(pid, 0) != 0 && errno == ESRCH)
            ::unlink((dir + "/" + name).c_str());
    }
    ::closedir(listing);
}

StoreFile::Loaded StoreFile::load()
{
    removeDeadTemporaries();
    Loaded result;
    // Never waits: a FIFO in the store's place would hold the process's
    // start for good.
    const Fd fd(::open(m_path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
    if (fd.get() < 0 && errno == ENOENT)
        return result;
    struct stat info
    {
    };
    if (fd.get() >= 0 && ::fstat(fd.get(), &info) == 0 && !S_ISREG(info.st_mode)) {
        result.problem = "it is no regular file";
        m_refusal = "the store file " + m_path + " is no regular file, so it is left as it is";
        return result;
    }
    std::vector<unsigned char> bytes(kLargestFileBytes + 1);
    std::size_t size = 0;
    bool readable = fd.get() >= 0;
    while (readable && size < bytes.size()) {
        const ssize_t n = ::read(fd.get(), bytes.data() + size, bytes.size() - size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            readable = false;
        if (n <= 0)
            break;
        size += std::size_t(n);
    }
    if (!readable) {
        result.problem = "it cannot be read: " + lastError();
        m_refusal = "the store file " + m_path + " could not be read, so it is left as it is";
        return result;
    }
    std::optional<Store> store;
    if (size > kLargestFileBytes)
        result.problem = "larger than any store file";
    else
        store = parseStore(bytes.data(), size, result.problem);
    if (store) {
        result.store = std::move(*store);
        return result;
    }
    // Kept under a name of its own, never over an earlier refused file.
    for (int n = 1; n <= 1000 && result.keptAs.empty(); ++n) {
        const std::string aside = m_path + ".damaged" + (n > 1 ? "." + std::to_string(n) : "");
        if (::renameat2(AT_FDCWD, m_path.c_str(), AT_FDCWD, aside.c_str(), RENAME_NOREPLACE) == 0)
            result.keptAs = aside;
        else if (errno != EEXIST)
            break;
    }
    if (result.keptAs.empty())
        m_refusal = "the refused store file " + m_path + " could not be moved aside";
    return result;
}

bool StoreFile::writeTemporary(const Store &store, std::string &error)
{
    const std::string temporary = temporaryPath();
    if (!makeDirectories(parentOf(m_path))) {
        error = "cannot create " + parentOf(m_path) + ": " + lastError();
        return false;
    }
    Fd fd(::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0600));
    if (fd.get() < 0) {
        error = "cannot create " + temporary + ": " + lastError();
        return false;
    }
    const std::vector<unsigned char> bytes = serializeStore(store);
    const bool written = writeAll(fd.get(), bytes.data(), bytes.size()) && ::fsync(fd.get()) == 0
        && ::close(fd.release()) == 0;
    if (!written) {
        error = "cannot write " + temporary + ": " + lastError();
        ::unlink(temporary.c_str());
    }
    return written;
}

bool StoreFile::replaceByTemporary(std::string &error)
{
    const std::string temporary = temporaryPath();
    if (::rename(temporary.c_str(), m_path.c_str()) != 0) {
        error = "cannot rename " + temporary + " to " + m_path + ": " + lastError();
        ::unlink(temporary.c_str());
        return false;
    }
    // The rename itself lasts only once the directory is on disk too: a
    // save not known to last is a failed one. The file may hold the new
    // store by now, but the caller keeps the old, as with any failed write.
    const Fd dir(::open(parentOf(m_path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.get() < 0 || ::fsync(dir.get()) != 0) {
        error = "cannot flush the folder " + parentOf(m_path) + ": " + lastError();
        return false;
    }
    return true;
}

bool StoreFile::save(const Store &store, std::string &error)
{
    if (!m_refusal.empty()) {
        error = m_refusal;
        return false;
    }
    return writeTemporary(store, error) && replaceByTemporary(error);
}

} // namespace vyrsim
