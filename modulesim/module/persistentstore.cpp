#include "persistentstore.h"

#include "harness.h"
#include "vyrsim_codes.h"

#include <cstdio>

namespace vyrsim {

int PersistentStore::use(const char *path)
{
    m_file.reset();
    if (path && *path)
        m_file.emplace(path);
    return load();
}

std::optional<std::string> PersistentStore::path() const
{
    if (!m_file)
        return std::nullopt;
    return m_file->path();
}

int PersistentStore::held(int id) const
{
    if (!m_store.contains(id))
        return VYRSIM_ERR_BAD_ID;
    return m_store.occupied(id) ? VYRSIM_OK : VYRSIM_ERR_EMPTY;
}

int PersistentStore::load()
{
    m_failing = false;
    if (!m_file) {
        m_store = Store();
        return VYRSIM_OK;
    }
    StoreFile::Loaded loaded = m_file->load();
    m_store = std::move(loaded.store);
    if (loaded.problem.empty())
        return VYRSIM_OK;
    std::fprintf(stderr, "vyrsim: the store file %s is refused (%s); the module starts empty",
                 m_file->path().c_str(), loaded.problem.c_str());
    if (!loaded.keptAs.empty())
        std::fprintf(stderr, "; the file was kept as %s\n", loaded.keptAs.c_str());
    else
        std::fprintf(stderr, "; it is left as it is and changes of the store will fail\n");
    return VYRSIM_ERR_FILE;
}

int PersistentStore::write(const Store &next)
{
    if (!m_file)
        return VYRSIM_OK;
    Harness::instance().passGate(kStoreWriteGate);
    std::string error;
    if (!m_file->save(next, error)) {
        if (!m_failing)
            std::fprintf(stderr, "vyrsim: the store is not changed: %s\n", error.c_str());
        m_failing = true;
        return VYRSIM_ERR_FILE;
    }
    m_failing = false;
    return VYRSIM_OK;
}

} // namespace vyrsim
