#include "handlers.h"

#include "dispatcher.h"
#include "imagefile.h"
#include "replies.h"

namespace vyrsim::control {

namespace {

constexpr int kTemplateBlockBytes = 512;

// A store command's request with the store's size, asked once up front.
struct StoreRequest
{
    explicit StoreRequest(const Request &request)
        : api(request.api)
        , args(request.args)
        , capacity(api.capacity())
    { }

    // The argument as an ID inside the store.
    std::optional<int> id(const std::string &text) const { return number(text, 0, capacity - 1); }
    std::string idRange() const { return "an ID from 0 to " + std::to_string(capacity - 1); }

    // What a store call's code means for the ID it was given.
    std::string result(int code, int id, const std::string &done) const
    {
        switch (code) {
        case VYRSIM_OK:
            return ok(done);
        case VYRSIM_ERR_BAD_ID:
            return failure("ID " + std::to_string(id) + " is outside the store; " + idRange());
        case VYRSIM_ERR_EMPTY:
            return failure("ID " + std::to_string(id) + " holds no template");
        case VYRSIM_ERR_FILE:
            return failure("the store file cannot be written; the store is unchanged");
        default:
            return failure("the module answered " + std::to_string(code));
        }
    }

    const ControlApi &api;
    const std::vector<std::string> &args;
    const int capacity;
};

} // namespace

std::string handleStoreList(const Request &request)
{
    const StoreRequest store(request);
    std::vector<std::string> ids;
    for (int id = 0; id < store.capacity; ++id)
        if (store.api.stored(id) == 1)
            ids.push_back(std::to_string(id));
    return list(std::to_string(ids.size()) + " of " + std::to_string(store.capacity)
                    + " IDs hold a template",
                ids);
}

std::string handleStoreAdd(const Request &request)
{
    const StoreRequest store(request);
    const std::optional<int> id = store.id(store.args[0]);
    const std::optional<int> finger = number(store.args[1], 1, kMaxFinger);
    if (!id || !finger)
        return failure("say " + store.idRange() + " and a finger from 1");
    return store.result(store.api.store(*id, *finger), *id,
                        "finger " + store.args[1] + " is stored under ID " + store.args[0]);
}

std::string handleStoreDelete(const Request &request)
{
    const StoreRequest store(request);
    const std::optional<int> id = store.id(store.args[0]);
    if (!id)
        return failure("say " + store.idRange());
    return store.result(store.api.storeDelete(*id), *id, "ID " + store.args[0] + " is empty");
}

std::string handleStoreClear(const Request &request)
{
    const StoreRequest store(request);
    return store.result(store.api.storeClear(), 0, "the store is empty");
}

std::string handleStoreExport(const Request &request)
{
    const StoreRequest store(request);
    const std::optional<int> id = store.id(store.args[0]);
    if (!id)
        return failure("say " + store.idRange());
    unsigned char block[kTemplateBlockBytes];
    const int code = store.api.storeExport(*id, block);
    if (code != VYRSIM_OK)
        return store.result(code, *id, "");
    std::string error;
    if (!writeFileBytes(store.args[1], block, sizeof block, error))
        return failure(error);
    return ok("the template under ID " + store.args[0] + " is in " + store.args[1]);
}

std::string handleStoreImport(const Request &request)
{
    const StoreRequest store(request);
    const std::optional<int> id = store.id(store.args[0]);
    if (!id)
        return failure("say " + store.idRange());
    std::vector<unsigned char> block;
    std::string error;
    // Any size is read, so that a wrong file is named as such below.
    if (!readFileBytes(store.args[1], 1 << 20, block, error))
        return failure(error);
    const int code = store.api.storeImport(*id, block.data(), int(block.size()));
    if (code == VYRSIM_ERR_TEMPLATE)
        return failure(store.args[1] + " is no template block: short, damaged or foreign");
    return store.result(
        code, *id, "the template in " + store.args[1] + " is stored under ID " + store.args[0]);
}

} // namespace vyrsim::control
