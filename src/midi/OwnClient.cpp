#include "OwnClient.h"

#include "AlsaOwnClient.h"
#include "JackOwnClient.h"

#include <algorithm>

namespace vkv::midi {

std::unique_ptr<OwnClient> OwnClient::make(Backend backend, std::shared_ptr<OwnPortLink> link,
                                           const std::string &wanted) {
    switch (backend) {
    case Backend::Alsa:
        return AlsaOwnClient::make(std::move(link), wanted);
    case Backend::Jack:
        return JackOwnClient::make(std::move(link), wanted);
    default:
        return nullptr;
    }
}

std::vector<std::string> OwnClient::candidateNames(const std::string &wanted) {
    std::vector<std::string> names;
    if (!wanted.empty())
        names.push_back(wanted);
    for (int instance = 1; instance <= MaxInstances; ++instance) {
        std::string name = ownClientName(instance);
        if (std::find(names.begin(), names.end(), name) == names.end())
            names.push_back(std::move(name));
    }
    return names;
}

} // namespace vkv::midi
