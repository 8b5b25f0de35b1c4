#ifndef FUZZSUPPORT_H
#define FUZZSUPPORT_H

// What the fuzz targets share: a check that stops the run with a reason,
// and a folder of their own for the readers that take a path.

#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <ftw.h>
#include <unistd.h>

namespace fuzz {

// An abort is what libFuzzer reports as a crash and keeps the input of.
inline void require(bool holds, const char *what)
{
    if (!holds) {
        std::fprintf(stderr, "fuzz: broken: %s\n", what);
        std::abort();
    }
}

// A folder made under $TMPDIR (or /tmp) for the life of the object, and
// removed with all it holds when the object goes.
class PrivateDir
{
public:
    PrivateDir()
    {
        const char *base = std::getenv("TMPDIR");
        std::string pattern = std::string(base && *base ? base : "/tmp") + "/fpdesk-fuzz-XXXXXX";
        require(::mkdtemp(pattern.data()) != nullptr, "a private folder can be made");
        m_path = pattern;
    }
    ~PrivateDir() { ::nftw(m_path.c_str(), removeEntry, 16, FTW_DEPTH | FTW_PHYS); }
    PrivateDir(const PrivateDir &) = delete;
    PrivateDir &operator=(const PrivateDir &) = delete;

    const std::string &path() const { return m_path; }
    std::string file(const char *name) const { return m_path + "/" + name; }

    // Replaces the file's content by these bytes.
    void write(const char *name, const unsigned char *data, std::size_t size) const
    {
        std::FILE *out = std::fopen(file(name).c_str(), "wb");
        require(out != nullptr, "a file of the private folder can be written");
        const bool whole = std::fwrite(data, 1, size, out) == size;
        require(std::fclose(out) == 0 && whole, "the whole input is written");
    }

    // The whole content of a file of the folder, or of another path.
    std::vector<unsigned char> read(const std::string &path) const
    {
        std::vector<unsigned char> bytes;
        std::FILE *in = std::fopen(path.c_str(), "rb");
        require(in != nullptr, "a file the target wrote can be read");
        for (int c; (c = std::fgetc(in)) != EOF;)
            bytes.push_back(static_cast<unsigned char>(c));
        std::fclose(in);
        return bytes;
    }

private:
    static int removeEntry(const char *path, const struct stat *, int, FTW *)
    {
        ::remove(path);
        return 0;
    }

    std::string m_path;
};

} // namespace fuzz

#endif // FUZZSUPPORT_H
